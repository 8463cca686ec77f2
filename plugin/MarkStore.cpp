#include "plugin/MarkStore.h"

#include "platform/platform.h"
#include "settings/SettingsFile.h"
#include "settings/TntIniFiles.h"

namespace ombrels {

std::int32_t LookupMarkNumber(const std::u16string& fileName) {
  try {
    TTntIniFile ini(platform::os().AnsiToWide(GetSettingsFilePath()));
    return ini.ReadEntryNumber(u"Files", fileName, 0);
  } catch (...) {
    return 0;
  }
}

}  // namespace ombrels
