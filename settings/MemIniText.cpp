#include "settings/MemIniText.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

#include "platform/Utf8.h"
#include "platform/platform.h"

namespace ombrels {
namespace {

#include "settings/UpperCaseTable.inc"

constexpr std::size_t npos = std::string_view::npos;

bool IsBlank(char16_t c) { return c <= 32; }
bool IsBreak(char16_t c) { return c == u'\r' || c == u'\n'; }

// How many of the first `n` bytes of `a` and `b` are equal, eight at a time
// up to the last eight that differ.
std::size_t EqualBytes(const char* a, const char* b, std::size_t n) {
  std::size_t i = 0;
  while (i + 8 <= n && std::memcmp(a + i, b + i, 8) == 0) i += 8;
  while (i < n && a[i] == b[i]) ++i;
  return i;
}

// Text held as UTF-8 bytes, positions counted in bytes. Every unit the
// rules look for (blanks, line breaks, "[", "]", ";", "=") is ASCII, and no
// byte of a multi-byte sequence is: lines are found on the bytes.
struct Utf8Text {
  static constexpr std::size_t kUnit = 1;  // bytes a position
  std::string_view bytes;

  std::size_t size() const { return bytes.size(); }
  char16_t operator[](std::size_t i) const { return static_cast<unsigned char>(bytes[i]); }
  // The first `c` from `from` on; size() when there is none.
  std::size_t Find(char c, std::size_t from) const {
    if (from >= size()) return size();  // (an empty text may have no bytes at all)
    const void* hit = std::memchr(bytes.data() + from, c, size() - from);
    return hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - bytes.data()) : size();
  }
  Utf8Text Over(std::string_view other) const { return {other}; }

  // A name in this encoding. A lone surrogate, which no UTF-8 text holds,
  // becomes a zero byte, which the text does not hold either.
  std::string Encode(std::u16string_view name) const { return platform::Utf16ToUtf8(name, '\0'); }
  // A unit's encoded length; a surrogate and its upper case are alike.
  static int Length(char16_t c) { return c < 0x80 ? 1 : c < 0x800 ? 2 : 3; }
  // How far `i`, in an encoded name, lies after the start of its character.
  std::size_t IntoCharacter(std::size_t i) const {
    std::size_t back = 0;
    while ((static_cast<unsigned char>(bytes[i - back]) & 0xC0) == 0x80) ++back;
    return back;
  }
  // The character at `i` upper-cased, its one or two UTF-16 units in one
  // value (a byte that starts no well-formed sequence is U+FFFD; surrogates
  // stay as they are); `length` receives its length in bytes.
  char32_t Folded(std::size_t i, std::size_t& length) const {
    char16_t units[2];
    if (platform::DecodeUtf8At(bytes, i, length, units) == 1) return FoldCase(units[0]);
    return (char32_t{units[0]} << 16) | units[1];
  }
  std::u16string Copy(std::size_t from, std::size_t to) const {
    return platform::Utf8ToUtf16(bytes.substr(from, to - from));
  }
};

// Text held as UTF-16 bytes in either byte order, positions counted in
// units; each unit is upper-cased on its own.
struct Utf16Text {
  static constexpr std::size_t kUnit = 2;
  std::string_view bytes;
  bool bigEndian = false;

  std::size_t size() const { return bytes.size() / 2; }
  char16_t operator[](std::size_t i) const {
    const auto a = static_cast<unsigned char>(bytes[2 * i]);
    const auto b = static_cast<unsigned char>(bytes[2 * i + 1]);
    return static_cast<char16_t>(bigEndian ? (a << 8) | b : (b << 8) | a);
  }
  // An ASCII unit: its low byte is found with memchr, then checked.
  std::size_t Find(char c, std::size_t from) const {
    const std::size_t low = bigEndian ? 1 : 0;
    for (std::size_t at = 2 * from + low; at < bytes.size(); ++at) {
      const void* hit = std::memchr(bytes.data() + at, c, bytes.size() - at);
      if (!hit) break;
      at = static_cast<std::size_t>(static_cast<const char*>(hit) - bytes.data());
      if (at % 2 == low && bytes[at ^ 1] == '\0') return at / 2;
    }
    return size();
  }
  Utf16Text Over(std::string_view other) const { return {other, bigEndian}; }

  std::string Encode(std::u16string_view name) const {
    std::string encoded(2 * name.size(), '\0');
    for (std::size_t i = 0; i < name.size(); ++i) {
      encoded[2 * i + (bigEndian ? 1 : 0)] = static_cast<char>(name[i] & 0xFF);
      encoded[2 * i + (bigEndian ? 0 : 1)] = static_cast<char>(name[i] >> 8);
    }
    return encoded;
  }
  static int Length(char16_t) { return 2; }
  std::size_t IntoCharacter(std::size_t) const { return 0; }
  char32_t Folded(std::size_t i, std::size_t& length) const {
    length = 1;
    return FoldCase((*this)[i]);
  }
  std::u16string Copy(std::size_t from, std::size_t to) const {
    std::u16string text;
    for (std::size_t i = from; i < to; ++i) text += (*this)[i];
    return text;
  }
};

// A wanted name in the text's encoding, as asked and upper-cased. A line
// written in capitals matches the upper-cased form byte for byte. It is
// the name as asked where some unit's upper case has another encoded
// length, so that the two would not line up.
template <typename Text>
struct Name {
  Name(const Text& text, std::u16string_view name) : asked(text.Encode(name)), upper(asked) {
    std::u16string folded(name);
    for (char16_t& c : folded) c = FoldCase(c);
    if (folded == name) return;
    for (std::size_t i = 0; i < name.size(); ++i)
      if (Text::Length(name[i]) != Text::Length(folded[i])) return;
    upper = text.Encode(folded);
  }
  std::string asked, upper;
};

// Where the text from `from` on stops matching the name whole, without
// regard to case; npos when it does not before `to`. Bytes equal to the
// name are passed over; only from the start of the character that holds a
// differing byte are both sides decoded and upper-cased.
template <typename Text>
std::size_t MatchEnd(const Text& text, std::size_t from, std::size_t to, const Name<Text>& name) {
  constexpr std::size_t unit = Text::kUnit;
  const Text wanted = text.Over(name.asked);
  std::size_t i = from, j = 0;
  for (;;) {
    const std::size_t n = std::min(to - i, wanted.size() - j) * unit;
    const char* const at = text.bytes.data() + i * unit;
    const std::size_t equal = std::max(EqualBytes(at, name.asked.data() + j * unit, n),
                                       EqualBytes(at, name.upper.data() + j * unit, n));
    i += equal / unit;
    j += equal / unit;
    if (j == wanted.size()) return i;
    const std::size_t back = wanted.IntoCharacter(j);
    i -= back;
    j -= back;
    if (i == to) return npos;
    std::size_t lengthA = 0, lengthB = 0;
    if (text.Folded(i, lengthA) != wanted.Folded(j, lengthB)) return npos;
    i += lengthA;
    j += lengthB;
  }
}

// Whether only blanks stand before `at` in its line, which begins at
// `from` at the earliest.
template <typename Text>
bool BeginsLine(const Text& text, std::size_t from, std::size_t at) {
  while (at > from && IsBlank(text[at - 1]) && !IsBreak(text[at - 1])) --at;
  return at == from || IsBreak(text[at - 1]);
}

// One pass over the lines, in file order: a header of the wanted name
// opens the section searched, any other header closes it, and in it a line
// with the key gives the value, a later one replacing it.
template <typename Text>
std::optional<std::u16string> Lookup(const Text& text, std::u16string_view sectionName,
                                     std::u16string_view keyName) {
  const Name<Text> section(text, sectionName), key(text, keyName);
  // The next CR and LF found are kept until the lines pass them, so that
  // no byte is searched twice, whichever breaks the file uses.
  std::size_t cr = text.Find('\r', 0), lf = text.Find('\n', 0);
  bool open = false;
  std::size_t valueBegin = npos, valueEnd = npos;
  for (std::size_t next = 0; next < text.size();) {
    if (!open) {  // only a header counts: the next "[" that begins a line
      std::size_t at = text.Find('[', next);
      while (at < text.size() && !BeginsLine(text, next, at)) at = text.Find('[', at + 1);
      if (at == text.size()) break;
      next = at;
    }
    if (cr < next) cr = text.Find('\r', next);
    if (lf < next) lf = text.Find('\n', next);
    std::size_t begin = next, end = std::min(cr, lf);
    next = end + 1;  // (CR LF is a break and an empty line, which is skipped)
    while (begin < end && IsBlank(text[begin])) ++begin;
    if (begin == end || text[begin] == u';') continue;
    if (text[begin] == u'[') {
      while (IsBlank(text[end - 1])) --end;  // stops at the "[" at the latest
      if (text[end - 1] == u']') {           // (not the "[" at `begin`)
        std::size_t nameBegin = begin + 1, nameEnd = end - 1;
        while (nameBegin < nameEnd && IsBlank(text[nameBegin])) ++nameBegin;
        while (nameEnd > nameBegin && IsBlank(text[nameEnd - 1])) --nameEnd;
        open = MatchEnd(text, nameBegin, nameEnd, section) == nameEnd;
        if (open) valueBegin = npos;  // only the last section of the name counts
        continue;
      }
    }
    if (!open) continue;
    std::size_t equals = MatchEnd(text, begin, end, key);
    if (equals == npos) continue;
    while (equals < end && IsBlank(text[equals])) ++equals;
    if (equals == end || text[equals] != u'=') continue;
    while (IsBlank(text[end - 1])) --end;  // stops at the "=" at the latest
    valueBegin = equals + 1;
    while (valueBegin < end && IsBlank(text[valueBegin])) ++valueBegin;
    valueEnd = end;
  }
  if (valueBegin == npos) return std::nullopt;
  return text.Copy(valueBegin, valueEnd);
}

// The number of bytes before the first zero unit of UTF-16 bytes. Blocks
// of units are tested whole, a loop that compilers turn into vector
// compares; only the block with a zero is searched unit by unit.
std::size_t BeforeZeroUnit(std::string_view bytes) {
  constexpr std::size_t kBlock = 512;  // bytes
  std::size_t i = 0;
  for (; i + kBlock <= bytes.size(); i += kBlock) {
    std::uint16_t zeros = 0;
    for (std::size_t k = i; k < i + kBlock; k += 2) {
      std::uint16_t unit;
      std::memcpy(&unit, bytes.data() + k, 2);
      zeros += unit == 0;
    }
    if (zeros != 0) break;
  }
  while (i + 1 < bytes.size() && (bytes[i] != '\0' || bytes[i + 1] != '\0')) i += 2;
  return i;
}

bool StartsWith(std::string_view bytes, std::string_view mark) {
  return bytes.substr(0, mark.size()) == mark;
}

}  // namespace

char16_t FoldCase(char16_t c) {
  return static_cast<char16_t>(c + kUpperCaseDelta[kUpperCaseBlock[c >> 8]][c & 0xFF]);
}

MemIniText::MemIniText(platform::Bytes bytes) {
  // The mark stays in the bytes, before the text, which is not moved.
  const std::string_view all = bytes.view();
  if (StartsWith(all, "\xFF\xFE") || StartsWith(all, "\xFE\xFF")) {
    encoding_ = all[0] == '\xFE' ? Encoding::kUtf16Be : Encoding::kUtf16Le;
    begin_ = 2;
    size_ = BeforeZeroUnit(all.substr(2));
  } else if (StartsWith(all, "\xEF\xBB\xBF") || platform::os().AnsiDecodesAsUtf8()) {
    begin_ = StartsWith(all, "\xEF\xBB\xBF") ? 3 : 0;
    size_ = std::min(all.size(), all.find('\0', begin_)) - begin_;
  } else {
    // Decoded by the system and held as UTF-16 in this machine's order;
    // the bytes go before the text is searched for its end.
    wide_ = platform::os().AnsiToWide(all.substr(0, all.find('\0')));
    bytes = platform::Bytes();
    encoding_ = std::endian::native == std::endian::big ? Encoding::kUtf16Be : Encoding::kUtf16Le;
    wide_.resize(std::min(wide_.size(), wide_.find(u'\0')));
  }
  bytes_ = std::move(bytes);
}

std::optional<std::u16string> MemIniText::Find(std::u16string_view section,
                                               std::u16string_view key) const {
  // A line's key is trimmed, ends at its first "=" and holds no line
  // break: a key that ends in a blank, or holds any of those, is never found.
  if ((!key.empty() && IsBlank(key.back())) || key.find_first_of(u"=\r\n") != npos)
    return std::nullopt;
  // Bytes of either kind of storage may be read as chars.
  const std::string_view text =
      wide_.empty()
          ? bytes_.view().substr(begin_, size_)
          : std::string_view(reinterpret_cast<const char*>(wide_.data()), wide_.size() * 2);
  if (encoding_ == Encoding::kUtf8) return Lookup(Utf8Text{text}, section, key);
  return Lookup(Utf16Text{text, encoding_ == Encoding::kUtf16Be}, section, key);
}

}  // namespace ombrels
