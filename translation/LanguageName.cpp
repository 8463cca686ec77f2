#include "translation/LanguageName.h"

#include <string>

#include "platform/platform.h"

namespace ombrels {
namespace {

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool SameLetters(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (Upper(a[i]) != Upper(b[i])) return false;
  return true;
}

// Windows opens a device for these names, whatever extension follows and
// whatever blanks end them: CON, PRN, AUX, NUL, CONIN$, CONOUT$, and COM or
// LPT with a digit or a superscript one, two or three.
bool IsDeviceName(std::string_view name) {
  std::string_view base = name.substr(0, name.find('.'));
  while (!base.empty() && base.back() == ' ') base.remove_suffix(1);
  for (const char* device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"})
    if (SameLetters(base, device)) return true;
  if (base.size() < 4 ||
      !(SameLetters(base.substr(0, 3), "COM") || SameLetters(base.substr(0, 3), "LPT")))
    return false;
  const std::u16string number = platform::os().AnsiToWide(base.substr(3));
  return number.size() == 1 &&
         ((number[0] >= u'0' && number[0] <= u'9') || number[0] == u'\u00B9' ||
          number[0] == u'\u00B2' || number[0] == u'\u00B3');
}

}  // namespace

const char* WhyNoLanguageFile(std::string_view language) {
  if (language.size() > platform::kLongestPath) return "it is longer than any path";
  // Character by character: the second byte of a double-byte character may
  // be a backslash's.
  auto& os = platform::os();
  for (std::size_t pos = 0; pos < language.size(); pos += os.CharLength(language, pos)) {
    if (language[pos] == '/' || language[pos] == '\\') return "it holds a path separator";
    if (language[pos] == ':') return "it holds a colon (a drive or a stream)";
  }
  if (language == "." || language == "..") return "it names a folder, not a file";
  if (IsDeviceName(language)) return "it is the name of a Windows device";
  return nullptr;
}

}  // namespace ombrels
