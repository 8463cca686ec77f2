// A profile file's text where it lies: UTF-8 bytes, or UTF-16 units in
// either byte order. Both views offer the same operations, positions counted
// in the encoding's units (bytes, or units of two bytes).
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "platform/Utf8.h"
#include "settings/MemIniText.h"

namespace ombrels::text {

#include "settings/UpperCaseTable.inc"

// A unit's simple uppercase mapping (FoldCase, here where it is inlined and
// may be worked out when compiling).
constexpr char16_t UpperOf(char16_t c) {
  return static_cast<char16_t>(c + kUpperCaseDelta[kUpperCaseBlock[c >> 8]][c & 0xFF]);
}

// Lines end at CR or at LF.
inline bool IsBreak(char16_t c) { return c == u'\r' || c == u'\n'; }

// How many first bytes `a` and `b` share.
inline std::size_t SharedBytes(std::string_view a, std::string_view b) {
  return static_cast<std::size_t>(std::mismatch(a.begin(), a.end(), b.begin(), b.end()).first -
                                  a.begin());
}

// UTF-8 bytes. Every unit the rules look for (blanks, line breaks, "[", "]",
// ";", "=") is ASCII, and no byte of a multi-byte sequence is: lines are
// found on the bytes.
struct Utf8Text {
  std::string_view bytes;

  std::size_t size() const { return bytes.size(); }
  char16_t operator[](std::size_t i) const { return static_cast<unsigned char>(bytes[i]); }
  // The first `c` from `from` on; size() when there is none.
  std::size_t Find(char c, std::size_t from) const { return std::min(bytes.find(c, from), size()); }
  Utf8Text Over(std::string_view other) const { return {other}; }
  Utf8Text Before(std::size_t end) const { return {bytes.substr(0, end)}; }
  // The first zero unit before `end`; `end` when there is none.
  std::size_t ZeroBefore(std::size_t end) const {
    return std::min(bytes.substr(0, end).find('\0'), end);
  }
  // A name in this encoding: an escape (Utf8.h) as the byte it stands for;
  // any other lone surrogate, which no UTF-8 text holds, as a zero byte:
  // the text ends before any place that holds one.
  std::string Encode(std::u16string_view name) const { return platform::Utf16ToUtf8(name, '\0'); }
  // One unit of a name on its own, the same way: its length, 1 to 3 bytes.
  static std::size_t EncodeUnit(char16_t unit, char out[3]) {
    return platform::EncodeUnit(unit, '\0', out);
  }
  // How many bytes of text[from, to) are the name's first bytes, up to the
  // start of one of its characters (a byte that is no continuation byte, or
  // the name's start: a name may begin with the escape of one), so that its
  // characters before that place are whole in the text and decode alike.
  std::size_t Same(std::size_t from, std::size_t to, const Utf8Text& name) const {
    std::size_t same = SharedBytes(bytes.substr(from, to - from), name.bytes);
    while (same > 0 && same < name.size() && (name[same] & 0xC0) == 0x80) --same;
    return same;
  }
  // The character at `i` upper-cased, its one or two UTF-16 units in one
  // value; `length` receives its length in bytes. A byte that starts no
  // well-formed sequence is its escape, which matches that byte only.
  char32_t Folded(std::size_t i, std::size_t& length) const {
    char16_t units[2];
    if (platform::DecodeUtf8At(bytes, i, length, units, platform::InvalidBytes::kEscape) == 1)
      return UpperOf(units[0]);
    return (char32_t{units[0]} << 16) | units[1];
  }
  // The text as the reader hands it out: a byte that starts no well-formed
  // sequence is U+FFFD.
  std::u16string Copy(std::size_t from, std::size_t to) const {
    return platform::Utf8ToUtf16(bytes.substr(from, to - from));
  }
};

// UTF-16 bytes in either byte order; each unit is upper-cased on its own.
struct Utf16Text {
  std::string_view bytes;
  bool bigEndian = false;

  std::size_t size() const { return bytes.size() / 2; }
  std::uint16_t Raw(std::size_t i) const {  // the unit's two bytes, in the file's order
    std::uint16_t unit;
    std::memcpy(&unit, bytes.data() + 2 * i, 2);
    return unit;
  }
  char16_t operator[](std::size_t i) const {
    const bool swapped = bigEndian != (std::endian::native == std::endian::big);
    return static_cast<char16_t>(swapped ? (Raw(i) >> 8) | (Raw(i) << 8) : Raw(i));
  }
  // An ASCII unit: its low byte is found (with memchr), then checked.
  std::size_t Find(char c, std::size_t from) const {
    const std::size_t low = bigEndian ? 1 : 0;
    for (std::size_t at = 2 * from + low; (at = bytes.find(c, at)) != bytes.npos; ++at)
      if (at % 2 == low && bytes[at ^ 1] == '\0') return at / 2;
    return size();
  }
  Utf16Text Over(std::string_view other) const { return {other, bigEndian}; }
  Utf16Text Before(std::size_t end) const { return {bytes.substr(0, 2 * end), bigEndian}; }
  // Blocks of units are tested whole first, a loop that compilers turn into
  // vector compares; only the block with a zero is searched unit by unit.
  std::size_t ZeroBefore(std::size_t end) const {
    const auto zerosIn = [this](std::size_t i) {  // in 256 units from i
      std::uint16_t zeros = 0;
      for (std::size_t k = i; k < i + 256; ++k) zeros += Raw(k) == 0;
      return zeros;
    };
    std::size_t i = 0;
    while (i + 256 <= end && zerosIn(i) == 0) i += 256;
    while (i < end && Raw(i) != 0) ++i;
    return i;
  }
  std::string Encode(std::u16string_view name) const {
    std::string encoded;
    for (const char16_t u : name)
      encoded +=
          {static_cast<char>(bigEndian ? u >> 8 : u), static_cast<char>(bigEndian ? u : u >> 8)};
    return encoded;
  }
  std::size_t Same(std::size_t from, std::size_t to, const Utf16Text& name) const {
    return SharedBytes(bytes.substr(2 * from, 2 * (to - from)), name.bytes) / 2;
  }
  char32_t Folded(std::size_t i, std::size_t& length) const {
    length = 1;
    return UpperOf((*this)[i]);
  }
  std::u16string Copy(std::size_t from, std::size_t to) const {
    std::u16string text(to - from, u'\0');
    for (std::size_t i = from; i < to; ++i) text[i - from] = (*this)[i];
    return text;
  }
};

}  // namespace ombrels::text
