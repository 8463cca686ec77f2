// Which "CurLang" values name a language file: a file of that name in the
// install directory's "langs" folder, and nothing else.
#pragma once

#include <string_view>

namespace ombrels {

// Why the language name (ANSI text, as "CurLang" holds it) names no file
// in the "langs" folder, or nullptr when it may: a name with a path
// separator, a colon (a drive or a stream), "." or "..", a device name of
// Windows (CON, NUL, COM1, LPT1.txt, ...), or longer than any path. Such a
// name counts as a missing language file; an empty one stays the folder
// itself, which is no file either.
const char* WhyNoLanguageFile(std::string_view language);

}  // namespace ombrels
