#include "translation/Translation.h"

#include "platform/platform.h"
#include "plugin/InstallDir.h"
#include "settings/SettingsFile.h"
#include "settings/TntIniFiles.h"
#include "settings/Trim.h"

namespace ombrels {
namespace {

void ReplaceLineBreaks(std::u16string& value) {
  constexpr std::u16string_view marker = u"/n";
  for (auto pos = value.find(marker); pos != std::u16string::npos;
       pos = value.find(marker, pos + platform::kLineBreak.size())) {
    value.replace(pos, marker.size(), platform::kLineBreak);
  }
}

}  // namespace

std::string GetLanguageFilePath() {
  try {
    auto& os = platform::os();
    std::string language;
    {
      TTntIniFile ini(os.AnsiToWide(GetSettingsFilePath()));
      language = os.WideToAnsi(ini.ReadEntry(u"Translate", u"CurLang", u"Default"));
    }
    constexpr char sep = platform::kPathSeparator;
    return GetInstallDir() + sep + "langs" + sep + language;
  } catch (...) {
    return "Default";
  }
}

std::u16string Translate(std::string_view text) {
  auto& os = platform::os();
  const std::u16string key = os.AnsiToWide(Trim(text));
  const std::string languageFile = GetLanguageFilePath();
  if (!os.IsFile(languageFile)) return os.AnsiToWide(text);

  std::u16string value;
  try {
    TTntIniFile ini(os.AnsiToWide(languageFile));
    value = ini.ReadEntry(u"Dict", key, key);
  } catch (...) {
    return os.AnsiToWide(text);
  }
  if (Trim(std::u16string_view(value)).empty()) return os.AnsiToWide(text);
  ReplaceLineBreaks(value);
  return value;
}

}  // namespace ombrels
