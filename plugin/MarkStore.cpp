#include "plugin/MarkStore.h"

#include <exception>

#include "platform/platform.h"
#include "settings/Text.h"
#include "settings/TntIniFiles.h"

namespace ombrels {
namespace {

std::string SettingsFileOf(MarkLookup* lookup) {
  std::string path = GetSettingsFilePath(lookup ? &lookup->choice : nullptr);
  if (lookup) lookup->settingsFile = path;
  return path;
}

}  // namespace

std::int32_t LookupMarkNumber(const std::u16string& fileName, MarkLookup* lookup) {
  try {
    std::u16string entry;
    {
      TTntIniFile ini(platform::os().AnsiToWide(SettingsFileOf(lookup)));
      entry = ini.ReadEntry(u"Files", fileName, u"");
    }  // (the file's bytes go before the entry is converted)
    if (lookup) lookup->entry = entry;
    return TTntCustomIniFile::EntryNumber(std::move(entry), 0);
  } catch (const std::exception& error) {
    if (lookup) NoteFailure(lookup->failure, error.what());
  } catch (...) {
    if (lookup) NoteFailure(lookup->failure, "unknown failure");
  }
  return 0;
}

}  // namespace ombrels
