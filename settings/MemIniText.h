// The in-memory reader's rules: how a profile file's bytes become text,
// and how sections and keys are found in that text. Fed from memory, so
// that the rules can be checked without files.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ombrels {

// The file's text by its byte-order mark: FF FE UTF-16 LE, FE FF UTF-16 BE,
// EF BB BF UTF-8, none the ANSI code page. The mark is dropped, and a zero
// character ends the text.
std::u16string DecodeProfileBytes(std::string_view bytes);

// Upper-case form of a character, for matching names without regard to case.
char16_t FoldCase(char16_t c);

class MemIniText {
 public:
  MemIniText() = default;
  explicit MemIniText(std::u16string_view text);

  // The value of the key in the last section of that name, from the last
  // line that holds the key; nullopt when the section or key is missing.
  std::optional<std::u16string> Find(std::u16string_view section, std::u16string_view key) const;

 private:
  struct Line {
    std::u16string key;
    std::u16string value;
    bool hasValue = false;  // a line without "=" never matches a key
  };
  struct Section {
    std::u16string name;
    std::vector<Line> lines;
  };
  std::vector<Section> sections_;
};

}  // namespace ombrels
