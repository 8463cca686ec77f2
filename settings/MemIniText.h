// The in-memory reader's rules over a profile file's bytes, read where they
// lie (TextViews.h): the encoding by byte-order mark; a zero unit ends the
// text; lines end at CR, LF or CR LF and are trimmed; empty lines and
// comments (";" first) are skipped; of the sections that headers open, the
// last of the name counts; in it, the last line whose key is the name gives
// the value. Names match without regard to case. Only the lines that the
// candidate search (CandidateLines.h) reports are read.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace ombrels {

// A UTF-16 unit's simple uppercase mapping (UpperCaseTable.inc), by which
// names match without regard to case; surrogates and units without one stay.
char16_t FoldCase(char16_t c);

class MemIniText {
 public:
  MemIniText() = default;
  // The text by its byte-order mark: FF FE UTF-16 LE, FE FF UTF-16 BE,
  // EF BB BF UTF-8, none the ANSI code page. The mark is dropped.
  explicit MemIniText(platform::Bytes bytes);

  // The value of the key in the last section of that name, from the last
  // line that holds the key; nullopt when the section or key is missing.
  std::optional<std::u16string> Find(std::u16string_view section, std::u16string_view key) const;
  // The keys of the last section of that name, in the file's order: each
  // line's text before its first "=", trimmed (comments hold none).
  std::vector<std::u16string> Keys(std::u16string_view section) const;

 private:
  std::string_view Text() const;  // the text's bytes, in `encoding_`

  enum class Encoding { kUtf8, kUtf16Le, kUtf16Be };
  platform::Bytes bytes_;             // the file's bytes: the text is `size_` bytes from `begin_`
  std::size_t begin_ = 0, size_ = 0;  // (after the mark, whole units); or
  std::u16string wide_;               // ANSI text the system decoded
  Encoding encoding_ = Encoding::kUtf8;
};

}  // namespace ombrels
