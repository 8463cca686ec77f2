// Mark names in the user's language, from the language file that the
// settings file in force names.
#pragma once

#include <string>
#include <string_view>

namespace ombrels {

// The install directory's "langs" folder and the "CurLang" language name
// (default "Default"); the bare "Default" when it cannot be determined.
std::string GetLanguageFilePath();

// The display text of one English mark name: its "Dict" entry in the
// language file, "/n" standing for a line break; the English name itself
// when there is no usable entry.
std::u16string Translate(std::string_view text);

}  // namespace ombrels
