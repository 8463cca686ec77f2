// Mark names in the user's language, from the language file that the
// settings file in force names.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "settings/SettingsFile.h"

namespace ombrels {

// How the language file was found, for whoever asks to see it.
struct LanguageFileChoice {
  SettingsFileChoice choice;
  std::string settingsFile;  // the settings file in force
  std::string curLang;       // "CurLang" as read ("Default" when absent)
  std::string refused;       // why "CurLang" names no file in "langs", when it does not
  std::string failure;       // why the path is the bare "Default", when it is
};

// The install directory's "langs" folder and the "CurLang" language name
// (default "Default"); the bare "Default" when it cannot be determined;
// nullopt when "CurLang" names no file in that folder (LanguageName.h).
// `choice`, when given, receives how it was found.
std::optional<std::string> GetLanguageFilePath(LanguageFileChoice* choice = nullptr);

// One mark name's translation, for whoever asks to see it.
struct Translation {
  LanguageFileChoice language;
  std::string languageFile;  // empty when "CurLang" names none
  bool languageFileExists = false;
  std::u16string key;                   // the English name, trimmed
  std::optional<std::u16string> entry;  // the "Dict" entry as read, when the file was read
  std::string failure;                  // why reading the language file failed, when it did
};

// The display text of one English mark name: its "Dict" entry in the
// language file, "/n" standing for a line break; the English name itself
// when there is no usable entry. `translation`, when given, receives how
// it was found.
std::u16string Translate(std::string_view text, Translation* translation = nullptr);

}  // namespace ombrels
