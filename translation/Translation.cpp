#include "translation/Translation.h"

#include <exception>

#include "platform/platform.h"
#include "plugin/InstallDir.h"
#include "settings/SettingsFile.h"
#include "settings/Text.h"
#include "settings/TntIniFiles.h"

namespace ombrels {
namespace {

// Every "/n" (a slash and a small n) becomes the platform's line break.
std::u16string WithLineBreaks(std::u16string_view value) {
  constexpr std::u16string_view marker = u"/n";
  std::u16string out;
  out.reserve(value.size());
  for (std::size_t pos = 0;;) {
    const std::size_t hit = value.find(marker, pos);
    out.append(value.substr(pos, hit == std::u16string_view::npos ? hit : hit - pos));
    if (hit == std::u16string_view::npos) return out;
    out.append(platform::kLineBreak);
    pos = hit + marker.size();
  }
}

}  // namespace

std::string GetLanguageFilePath(LanguageFileChoice* choice) {
  try {
    auto& os = platform::os();
    std::string language;
    {
      std::string settingsFile = GetSettingsFilePath(choice ? &choice->choice : nullptr);
      if (choice) choice->settingsFile = settingsFile;
      TTntIniFile ini(os.AnsiToWide(settingsFile));
      language = os.WideToAnsi(ini.ReadEntry(u"Translate", u"CurLang", u"Default"));
    }
    if (choice) choice->curLang = language;
    const std::string_view sep(&platform::kPathSeparator, 1);
    return Join({GetInstallDir(), sep, "langs", sep, language});
  } catch (const std::exception& error) {
    if (choice) NoteFailure(choice->failure, error.what());
  } catch (...) {
    if (choice) NoteFailure(choice->failure, "unknown failure");
  }
  return "Default";
}

std::u16string Translate(std::string_view text, Translation* translation) {
  auto& os = platform::os();
  const std::u16string key = os.AnsiToWide(Trim(text));
  const std::string languageFile =
      GetLanguageFilePath(translation ? &translation->language : nullptr);
  const bool exists = os.IsFile(languageFile);
  if (translation) {
    translation->key = key;
    translation->languageFile = languageFile;
    translation->languageFileExists = exists;
  }
  if (!exists) return os.AnsiToWide(text);

  std::u16string value;
  try {
    TTntIniFile ini(os.AnsiToWide(languageFile));
    value = ini.ReadEntry(u"Dict", key, key);
    if (translation) translation->entry = value;
  } catch (const std::exception& error) {
    if (translation) NoteFailure(translation->failure, error.what());
    return os.AnsiToWide(text);
  } catch (...) {
    if (translation) NoteFailure(translation->failure, "unknown failure");
    return os.AnsiToWide(text);
  }
  if (Trim(std::u16string_view(value)).empty()) return os.AnsiToWide(text);
  return WithLineBreaks(value);
}

}  // namespace ombrels
