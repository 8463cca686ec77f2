#include "settings/MemIniText.h"

#include <bit>
#include <cstring>

#include "platform/Utf8.h"
#include "platform/platform.h"

namespace ombrels {
namespace {

template <typename Unit>
bool IsBlank(Unit c) {
  return static_cast<std::make_unsigned_t<Unit>>(c) <= 32;
}

std::u16string Utf16FromBytes(std::string_view bytes, bool bigEndian) {
  std::u16string text(bytes.size() / 2, u'\0');  // an odd last byte is dropped
  if (!bigEndian && std::endian::native == std::endian::little) {
    std::memcpy(text.data(), bytes.data(), text.size() * 2);
  } else {
    for (std::size_t i = 0; i < text.size(); ++i) {
      const auto first = static_cast<unsigned char>(bytes[2 * i]);
      const auto second = static_cast<unsigned char>(bytes[2 * i + 1]);
      text[i] = static_cast<char16_t>(bigEndian ? (first << 8) | second : (second << 8) | first);
    }
  }
  return text;
}

std::u16string Folded(std::u16string_view text) {
  std::u16string folded(text);
  for (char16_t& c : folded) c = FoldCase(c);
  return folded;
}

// Units of `target` (already folded) that the text [p, end) matches as a
// prefix, character by character without regard to case; the position
// after the match, or nullptr. UTF-8 is decoded as the reader decodes it:
// a byte that starts no well-formed sequence is U+FFFD.
const char16_t* MatchPrefix(const char16_t* p, const char16_t* end, std::u16string_view target) {
  if (static_cast<std::size_t>(end - p) < target.size()) return nullptr;
  for (char16_t t : target) {
    if (FoldCase(*p++) != t) return nullptr;
  }
  return p;
}

const char* MatchPrefix(const char* p, const char* end, std::u16string_view target) {
  const std::string_view text(p, static_cast<std::size_t>(end - p));
  std::size_t pos = 0;
  for (std::size_t i = 0; i < target.size();) {
    if (pos >= text.size()) return nullptr;
    const auto lead = static_cast<unsigned char>(text[pos]);
    if (lead < 0x80) {
      if (FoldCase(lead) != target[i++]) return nullptr;
      ++pos;
      continue;
    }
    std::size_t length = 0;
    char16_t units[2];
    const std::size_t count = platform::DecodeUtf8At(text, pos, length, units);
    pos += length;
    for (std::size_t u = 0; u < count; ++u) {
      if (i >= target.size() || FoldCase(units[u]) != target[i++]) return nullptr;
    }
  }
  return p + pos;
}

// Length of `key` in the units of a text of type Unit, when every text
// that matches it has that length; 0 when there is no such length.
std::size_t MatchLength(std::u16string_view key, char16_t) { return key.size(); }

std::size_t MatchLength(std::u16string_view key, char) {
  // Folding keeps a character's UTF-8 length, and a well-formed line key
  // re-encodes to its own bytes; only U+FFFD, which stands for bytes of any
  // count, and lone surrogates have no fixed length.
  std::size_t length = 0;
  for (std::size_t i = 0; i < key.size(); ++i) {
    const char16_t c = key[i];
    if (c == u'\uFFFD') return 0;
    if (c < 0x80) {
      length += 1;
    } else if (c < 0x800) {
      length += 2;
    } else if (c >= 0xD800 && c <= 0xDBFF && i + 1 < key.size() && key[i + 1] >= 0xDC00 &&
               key[i + 1] <= 0xDFFF) {
      length += 4;
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      return 0;
    } else {
      length += 3;
    }
  }
  return length;
}

const char* FindUnit(const char* p, const char* end, char c) {
  return static_cast<const char*>(std::memchr(p, c, static_cast<std::size_t>(end - p)));
}

const char16_t* FindUnit(const char16_t* p, const char16_t* end, char16_t c) {
  for (; p < end; ++p)
    if (*p == c) return p;
  return nullptr;
}

// End of the line that starts at p: the next CR or LF, or the end.
template <typename Unit>
const Unit* LineEnd(const Unit* p, const Unit* end) {
  const Unit* lf = FindUnit(p, end, Unit('\n'));
  const Unit* cr = FindUnit(p, lf ? lf : end, Unit('\r'));
  return cr ? cr : lf ? lf : end;
}

std::u16string ToUtf16(const char* p, const char* end) {
  return platform::Utf8ToUtf16(std::string_view(p, static_cast<std::size_t>(end - p)));
}

std::u16string ToUtf16(const char16_t* p, const char16_t* end) { return std::u16string(p, end); }

template <typename Unit>
std::optional<std::u16string> FindIn(std::basic_string_view<Unit> text, std::u16string_view section,
                                     std::u16string_view key) {
  // Line keys are trimmed and end at their first "=": a key with blanks at
  // either end or with an "=" in it is never found.
  if (!key.empty() && (IsBlank(key.front()) || IsBlank(key.back()))) return std::nullopt;
  if (key.find(u'=') != std::u16string_view::npos) return std::nullopt;
  const std::u16string foldedSection = Folded(section);
  const std::u16string foldedKey = Folded(key);
  const std::size_t keyLength = MatchLength(key, Unit());

  bool inSection = false;
  const Unit* valueBegin = nullptr;
  const Unit* valueEnd = nullptr;
  const Unit* p = text.data();
  const Unit* const end = p + text.size();
  while (p < end) {
    // Blanks, line breaks and so empty lines: a line starts at its first
    // non-blank unit.
    if (IsBlank(*p)) {
      ++p;
      continue;
    }
    const Unit* const lineEnd = LineEnd(p, end);
    const Unit* last = lineEnd;
    while (IsBlank(last[-1])) --last;  // the line holds a non-blank unit
    const Unit* const line = p;
    p = lineEnd;

    if (*line == Unit(';')) continue;
    if (*line == Unit('[') && last[-1] == Unit(']') && last - line >= 2) {
      const Unit* b = line + 1;
      const Unit* e = last - 1;
      while (b < e && IsBlank(*b)) ++b;
      while (e > b && IsBlank(e[-1])) --e;
      inSection = MatchPrefix(b, e, foldedSection) == e;
      if (inSection) valueBegin = valueEnd = nullptr;  // only the last such section counts
      continue;
    }
    if (!inSection) continue;

    const Unit* const equals = FindUnit(line, last, Unit('='));
    if (!equals) continue;  // a line without "=" never matches
    const Unit* keyEnd = equals;
    while (keyEnd > line && IsBlank(keyEnd[-1])) --keyEnd;
    if (keyLength != 0 && static_cast<std::size_t>(keyEnd - line) != keyLength) continue;
    if (MatchPrefix(line, keyEnd, foldedKey) != keyEnd) continue;
    valueBegin = equals + 1;
    while (valueBegin < last && IsBlank(*valueBegin)) ++valueBegin;
    valueEnd = last;
  }
  if (!valueBegin) return std::nullopt;
  return ToUtf16(valueBegin, valueEnd);
}

bool StartsWith(std::string_view bytes, std::string_view mark) {
  return bytes.substr(0, mark.size()) == mark;
}

}  // namespace

char16_t FoldCase(char16_t c) {
  if (c < 0x80) return (c >= u'a' && c <= u'z') ? c - 32 : c;
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 32;  // Latin-1
  if (c == 0xFF) return 0x178;
  if (c >= 0x100 && c <= 0x17F) {  // Latin Extended-A: pairs of upper, lower
    if (c >= 0x139 && c <= 0x148) return (c % 2 == 0) ? c - 1 : c;
    if (c >= 0x179 && c <= 0x17E) return (c % 2 == 0) ? c - 1 : c;
    if (c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F) return c;
    return (c % 2 == 1) ? c - 1 : c;
  }
  if (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) return c - 32;  // Greek
  if (c == 0x3C2) return 0x3A3;
  if (c >= 0x430 && c <= 0x44F) return c - 32;  // Cyrillic
  if (c >= 0x450 && c <= 0x45F) return c - 80;
  return c;
}

MemIniText::MemIniText(std::string bytes) {
  if (StartsWith(bytes, "\xFF\xFE") || StartsWith(bytes, "\xFE\xFF")) {
    isUtf16_ = true;
    utf16_ = Utf16FromBytes(std::string_view(bytes).substr(2), bytes[0] == '\xFE');
    utf16_.resize(std::min(utf16_.size(), utf16_.find(u'\0')));
    return;
  }
  if (StartsWith(bytes, "\xEF\xBB\xBF")) {
    bytes.erase(0, 3);
  } else if (!platform::os().AnsiDecodesAsUtf8()) {
    isUtf16_ = true;
    utf16_ = platform::os().AnsiToWide(std::string_view(bytes).substr(0, bytes.find('\0')));
    utf16_.resize(std::min(utf16_.size(), utf16_.find(u'\0')));
    return;
  }
  bytes.resize(std::min(bytes.size(), bytes.find('\0')));
  utf8_ = std::move(bytes);
}

std::optional<std::u16string> MemIniText::Find(std::u16string_view section,
                                               std::u16string_view key) const {
  if (isUtf16_) return FindIn<char16_t>(utf16_, section, key);
  return FindIn<char>(utf8_, section, key);
}

}  // namespace ombrels
