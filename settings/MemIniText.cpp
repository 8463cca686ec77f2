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

// How many of the first `n` bytes of `a` and `b` are equal, eight at a time.
std::size_t EqualBytes(const char* a, const char* b, std::size_t n) {
  std::size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    std::uint64_t x, y;
    std::memcpy(&x, a + i, 8);
    std::memcpy(&y, b + i, 8);
    if (x != y) {
      const std::uint64_t differ = x ^ y;
      const int first = std::endian::native == std::endian::little ? std::countr_zero(differ)
                                                                   : std::countl_zero(differ);
      return i + static_cast<std::size_t>(first) / 8;
    }
  }
  while (i < n && a[i] == b[i]) ++i;
  return i;
}

// Text held as UTF-8 bytes, positions counted in bytes. Every unit the
// rules look for (blanks, line breaks, "[", "]", ";", "=") is ASCII, and no
// byte of a multi-byte sequence is: lines are found on the bytes.
struct Utf8Text {
  static constexpr std::size_t kUnitBytes = 1;
  std::string_view bytes;

  std::size_t size() const { return bytes.size(); }
  char16_t operator[](std::size_t i) const { return static_cast<unsigned char>(bytes[i]); }

  // The first `c` from `from` on; size() when there is none.
  std::size_t Find(char c, std::size_t from) const {
    const void* hit = std::memchr(bytes.data() + from, c, bytes.size() - from);
    return hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - bytes.data()) : size();
  }

  // A name in this encoding. A lone surrogate, which no UTF-8 text holds,
  // becomes a zero byte, which this text does not hold either.
  std::string Encode(std::u16string_view name) const { return platform::Utf16ToUtf8(name, '\0'); }
  Utf8Text Over(std::string_view other) const { return {other}; }

  // How far `i`, in this encoded name, lies after the start of its
  // character.
  std::size_t IntoCharacter(std::size_t i) const {
    std::size_t back = 0;
    while ((static_cast<unsigned char>(bytes[i - back]) & 0xC0) == 0x80) ++back;
    return back;
  }

  // The character at `i` as one or two UTF-16 units (a byte that starts no
  // well-formed sequence is U+FFFD); returns its length in bytes.
  std::size_t Decode(std::size_t i, char16_t units[2], std::size_t& count) const {
    std::size_t length = 0;
    count = platform::DecodeUtf8At(bytes, i, length, units);
    return length;
  }

  std::u16string Copy(std::size_t from, std::size_t to) const {
    return platform::Utf8ToUtf16(bytes.substr(from, to - from));
  }
};

// Text held as UTF-16 bytes in either byte order, positions counted in
// units; each unit is upper-cased on its own.
struct Utf16Text {
  static constexpr std::size_t kUnitBytes = 2;
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
    for (std::size_t at = 2 * from + low; at < bytes.size();) {
      const void* hit = std::memchr(bytes.data() + at, c, bytes.size() - at);
      if (!hit) break;
      at = static_cast<std::size_t>(static_cast<const char*>(hit) - bytes.data());
      if (at % 2 == low && bytes[at ^ 1] == '\0') return at / 2;
      ++at;
    }
    return size();
  }

  std::string Encode(std::u16string_view name) const {
    std::string encoded(2 * name.size(), '\0');
    for (std::size_t i = 0; i < name.size(); ++i) {
      encoded[2 * i + (bigEndian ? 1 : 0)] = static_cast<char>(name[i] & 0xFF);
      encoded[2 * i + (bigEndian ? 0 : 1)] = static_cast<char>(name[i] >> 8);
    }
    return encoded;
  }
  Utf16Text Over(std::string_view other) const { return {other, bigEndian}; }

  std::size_t IntoCharacter(std::size_t) const { return 0; }

  std::size_t Decode(std::size_t i, char16_t units[2], std::size_t& count) const {
    units[0] = (*this)[i];
    count = 1;
    return 1;
  }

  std::u16string Copy(std::size_t from, std::size_t to) const {
    std::u16string text(to - from, u'\0');
    for (std::size_t i = from; i < to; ++i) text[i - from] = (*this)[i];
    return text;
  }
};

// Where the text from `from` on stops matching the encoded name `wanted`
// whole, without regard to case; npos when it does not before `to`. Equal
// bytes are equal characters; only from the start of the character that
// holds a differing byte are both sides decoded and upper-cased.
template <typename Text>
std::size_t MatchEnd(const Text& text, std::size_t from, std::size_t to, const Text& wanted) {
  constexpr std::size_t unit = Text::kUnitBytes;
  std::size_t i = from, j = 0;
  for (;;) {
    const std::size_t n = std::min(to - i, wanted.size() - j);
    const std::size_t equal =
        EqualBytes(text.bytes.data() + i * unit, wanted.bytes.data() + j * unit, n * unit) / unit;
    i += equal;
    j += equal;
    if (j == wanted.size()) return i;
    const std::size_t back = wanted.IntoCharacter(j);
    i -= back;
    j -= back;
    if (i == to) return npos;
    char16_t a[2], b[2];
    std::size_t countA = 0, countB = 0;
    i += text.Decode(i, a, countA);
    j += wanted.Decode(j, b, countB);
    if (countA != countB) return npos;
    for (std::size_t k = 0; k < countA; ++k)
      if (FoldCase(a[k]) != FoldCase(b[k])) return npos;
  }
}

// The next line break, CR or LF. Each one found is kept until the lines
// pass it, so that no byte is searched twice, whichever breaks the file
// uses.
template <typename Text>
class LineEnds {
 public:
  explicit LineEnds(const Text& text)
      : text_(text), cr_(text.Find('\r', 0)), lf_(text.Find('\n', 0)) {}
  std::size_t From(std::size_t pos) {
    if (cr_ < pos) cr_ = text_.Find('\r', pos);
    if (lf_ < pos) lf_ = text_.Find('\n', pos);
    return std::min(cr_, lf_);
  }

 private:
  const Text& text_;
  std::size_t cr_, lf_;
};

// One pass over the lines, in file order: a header of the wanted name
// opens the section searched, any other header closes it, and in it a line
// with the key gives the value, a later one replacing it.
template <typename Text>
std::optional<std::u16string> Lookup(const Text& text, std::u16string_view sectionName,
                                     std::u16string_view keyName) {
  const std::string sectionBytes = text.Encode(sectionName), keyBytes = text.Encode(keyName);
  const Text section = text.Over(sectionBytes), key = text.Over(keyBytes);
  LineEnds<Text> lineEnds(text);
  bool open = false;
  std::size_t valueBegin = npos, valueEnd = npos;
  for (std::size_t next = 0; next < text.size();) {
    std::size_t begin = next, end = lineEnds.From(next);
    next = end + (end + 1 < text.size() && text[end] == u'\r' && text[end + 1] == u'\n' ? 2 : 1);
    while (begin < end && IsBlank(text[begin])) ++begin;
    if (begin == end || text[begin] == u';') continue;
    if (text[begin] == u'[') {
      while (IsBlank(text[end - 1])) --end;  // stops at the "[" at the latest
      if (end - begin >= 2 && text[end - 1] == u']') {
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

// The number of bytes before the first zero unit of UTF-16 bytes.
std::size_t BeforeZeroUnit(std::string_view bytes) {
  std::size_t i = 0;
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
  } else if (!StartsWith(all, "\xEF\xBB\xBF") && !platform::os().AnsiDecodesAsUtf8()) {
    // Decoded by the system and held as UTF-16 in this machine's order;
    // the bytes go before the text is searched for its end.
    wide_ = platform::os().AnsiToWide(all.substr(0, all.find('\0')));
    bytes = platform::Bytes();
    encoding_ = std::endian::native == std::endian::big ? Encoding::kUtf16Be : Encoding::kUtf16Le;
    wide_.resize(std::min(wide_.size(), wide_.find(u'\0')));
    return;
  } else {
    begin_ = StartsWith(all, "\xEF\xBB\xBF") ? 3 : 0;
    size_ = std::min(all.size() - begin_, all.find('\0', begin_) - begin_);
  }
  bytes_ = std::move(bytes);
}

std::optional<std::u16string> MemIniText::Find(std::u16string_view section,
                                               std::u16string_view key) const {
  // A line's key is trimmed and ends at its first "=": a key that ends in
  // a blank or holds an "=" is never found.
  if ((!key.empty() && IsBlank(key.back())) || key.find(u'=') != npos) return std::nullopt;
  // Bytes of either kind of storage may be read as chars.
  const std::string_view text =
      wide_.empty()
          ? bytes_.view().substr(begin_, size_)
          : std::string_view(reinterpret_cast<const char*>(wide_.data()), wide_.size() * 2);
  if (encoding_ == Encoding::kUtf8) return Lookup(Utf8Text{text}, section, key);
  return Lookup(Utf16Text{text, encoding_ == Encoding::kUtf16Be}, section, key);
}

}  // namespace ombrels
