#include "translation/Translation.h"

#include <exception>

#include "platform/platform.h"
#include "plugin/InstallDir.h"
#include "settings/SettingsFile.h"
#include "settings/Text.h"
#include "settings/TntIniFiles.h"
#include "translation/LanguageName.h"

namespace ombrels {
namespace {

// Every "/n" (a slash and a small n) becomes the platform's line break, in
// place: the break is no longer than the two characters it stands for.
void PutLineBreaks(std::u16string& value) {
  constexpr std::u16string_view marker = u"/n";
  static_assert(platform::kLineBreak.size() <= marker.size());
  std::size_t to = 0;
  for (std::size_t from = 0; from < value.size();) {
    if (value.compare(from, marker.size(), marker) == 0) {
      to += platform::kLineBreak.copy(&value[to], platform::kLineBreak.size());
      from += marker.size();
    } else {
      value[to++] = value[from++];
    }
  }
  value.resize(to);
}

}  // namespace

std::optional<std::string> GetLanguageFilePath(LanguageFileChoice* choice) {
  try {
    std::string settingsFile = GetSettingsFilePath(choice ? &choice->choice : nullptr);
    if (choice) choice->settingsFile = settingsFile;
    const std::string language = ReadAnsiEntry(settingsFile, u"Translate", u"CurLang", u"Default");
    if (choice) choice->curLang = language;
    if (const char* why = WhyNoLanguageFile(language)) {
      if (choice) choice->refused = why;
      return std::nullopt;
    }
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
  const std::optional<std::string> languageFile =
      GetLanguageFilePath(translation ? &translation->language : nullptr);
  const bool exists = languageFile && os.IsFile(*languageFile);
  if (translation) {
    translation->key = key;
    translation->languageFile = languageFile.value_or("");
    translation->languageFileExists = exists;
  }
  if (!exists) return os.AnsiToWide(text);

  std::u16string value;
  try {
    TTntIniFile ini(os.AnsiToWide(*languageFile));
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
  PutLineBreaks(value);
  return value;
}

}  // namespace ombrels
