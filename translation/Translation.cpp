#include "translation/Translation.h"

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

std::string GetLanguageFilePath() {
  try {
    auto& os = platform::os();
    std::string language;
    {
      TTntIniFile ini(os.AnsiToWide(GetSettingsFilePath()));
      language = os.WideToAnsi(ini.ReadEntry(u"Translate", u"CurLang", u"Default"));
    }
    const std::string_view sep(&platform::kPathSeparator, 1);
    return Join({GetInstallDir(), sep, "langs", sep, language});
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
  return WithLineBreaks(value);
}

}  // namespace ombrels
