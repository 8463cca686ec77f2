#include "settings/MemIniText.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <iterator>

#include "platform/Utf8.h"
#include "platform/platform.h"

namespace ombrels {
namespace {

constexpr std::size_t npos = std::string_view::npos;

#include "settings/UpperCaseTable.inc"

// Lengths a matching line key may have (bytes or units, by the text's
// encoding); by default every length.
struct LengthRange {
  std::size_t shortest = 0, longest = npos;
  bool Holds(std::size_t length) const { return length >= shortest && length <= longest; }
};

bool IsBlank(char16_t c) { return c <= 32; }

std::u16string Folded(std::u16string_view text) {
  std::u16string folded(text);
  for (char16_t& c : folded) c = FoldCase(c);
  return folded;
}

// Text held as UTF-8 bytes. Every unit the rules look for (blanks, line
// breaks, "[", "]", ";", "=") is ASCII, and no byte of a multi-byte
// sequence is: lines are found on the bytes themselves.
class Utf8Text {
 public:
  explicit Utf8Text(std::string_view bytes) : bytes_(bytes) {}
  std::size_t size() const { return bytes_.size(); }
  char16_t operator[](std::size_t i) const { return static_cast<unsigned char>(bytes_[i]); }

  std::size_t Find(char c, std::size_t from, std::size_t to) const {
    const void* hit = std::memchr(bytes_.data() + from, c, to - from);
    return hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - bytes_.data()) : npos;
  }

  // Where [from, to) stops matching `target` (folded) character by
  // character, decoding as the reader decodes (a byte that starts no
  // well-formed sequence is U+FFFD); npos when it does not match it whole.
  std::size_t MatchEnd(std::size_t from, std::size_t to, std::u16string_view target) const {
    const std::string_view text = bytes_.substr(0, to);
    std::size_t pos = from;
    for (std::size_t i = 0; i < target.size();) {
      if (pos >= to) return npos;
      const auto lead = static_cast<unsigned char>(text[pos]);
      if (lead < 0x80) {
        if (FoldCase(lead) != target[i++]) return npos;
        ++pos;
        continue;
      }
      std::size_t length = 0;
      char16_t units[2];
      const std::size_t count = platform::DecodeUtf8At(text, pos, length, units);
      pos += length;
      for (std::size_t u = 0; u < count; ++u) {
        if (i >= target.size() || FoldCase(units[u]) != target[i++]) return npos;
      }
    }
    return pos;
  }

  // The byte lengths of the texts that match `key`. Folding may change a
  // character's UTF-8 length (U+0131 and I, U+2C65 and U+023A), so each
  // character adds the range of its folded form's partners. No narrowing
  // for U+FFFD (it stands for bad bytes of any count) or a lone surrogate.
  static LengthRange MatchLengths(std::u16string_view key) {
    LengthRange range{0, 0};
    for (std::size_t i = 0; i < key.size(); ++i) {
      const char16_t c = key[i];
      if (c == u'\uFFFD') return {};
      if (c >= 0xD800 && c <= 0xDBFF && i + 1 < key.size() && key[i + 1] >= 0xDC00 &&
          key[i + 1] <= 0xDFFF) {
        range.shortest += 4;
        range.longest += 4;
        ++i;
        continue;
      }
      if (c >= 0xD800 && c <= 0xDFFF) return {};
      const char16_t folded = FoldCase(c);
      const auto* const end = std::end(kUpperCaseLengths);
      const auto* const found =
          std::lower_bound(std::begin(kUpperCaseLengths), end, folded,
                           [](const UpperCaseLengths& e, char16_t u) { return e.unit < u; });
      if (found != end && found->unit == folded) {
        range.shortest += found->shortest;
        range.longest += found->longest;
      } else {
        const std::size_t length = folded < 0x80 ? 1 : folded < 0x800 ? 2 : 3;
        range.shortest += length;
        range.longest += length;
      }
    }
    return range;
  }

  std::u16string Copy(std::size_t from, std::size_t to) const {
    return platform::Utf8ToUtf16(bytes_.substr(from, to - from));
  }

 private:
  std::string_view bytes_;
};

// Text held as UTF-16 bytes in either byte order, read where it lies.
class Utf16Text {
 public:
  Utf16Text(std::string_view bytes, bool bigEndian)
      : bytes_(bytes.substr(0, bytes.size() & ~std::size_t{1})), bigEndian_(bigEndian) {}
  std::size_t size() const { return bytes_.size() / 2; }
  char16_t operator[](std::size_t i) const {
    const auto a = static_cast<unsigned char>(bytes_[2 * i]);
    const auto b = static_cast<unsigned char>(bytes_[2 * i + 1]);
    return static_cast<char16_t>(bigEndian_ ? (a << 8) | b : (b << 8) | a);
  }

  // An ASCII unit: its low byte is found with memchr, then checked.
  std::size_t Find(char c, std::size_t from, std::size_t to) const {
    const std::size_t low = bigEndian_ ? 1 : 0;
    std::size_t pos = 2 * from + low;
    while (pos < 2 * to) {
      const void* hit = std::memchr(bytes_.data() + pos, c, 2 * to - pos);
      if (!hit) return npos;
      const auto at = static_cast<std::size_t>(static_cast<const char*>(hit) - bytes_.data());
      if (at % 2 == low && bytes_[at ^ 1] == '\0') return at / 2;
      pos = at + 1;
    }
    return npos;
  }

  std::size_t MatchEnd(std::size_t from, std::size_t to, std::u16string_view target) const {
    if (to - from < target.size()) return npos;
    for (char16_t t : target) {
      if (FoldCase((*this)[from++]) != t) return npos;
    }
    return from;
  }

  // Folding keeps every unit a single unit.
  static LengthRange MatchLengths(std::u16string_view key) { return {key.size(), key.size()}; }

  std::u16string Copy(std::size_t from, std::size_t to) const {
    std::u16string text(to - from, u'\0');
    for (std::size_t i = from; i < to; ++i) text[i - from] = (*this)[i];
    return text;
  }

  // Units before the first zero unit, found eight bytes at a time.
  std::size_t LengthToZero() const {
    const std::size_t units = size();
    std::size_t i = 0;
    constexpr std::uint64_t ones = 0x0001000100010001ull, highs = 0x8000800080008000ull;
    for (; i + 4 <= units; i += 4) {
      std::uint64_t word;
      std::memcpy(&word, bytes_.data() + 2 * i, 8);
      if ((word - ones) & ~word & highs) break;  // some aligned 16-bit unit is zero
    }
    for (; i < units; ++i)
      if ((*this)[i] == 0) return i;
    return units;
  }

 private:
  std::string_view bytes_;
  bool bigEndian_;
};

// Line ends: the next CR or LF, or the end of the text. Each break found is
// kept until the scan passes it, so that no part of the text is searched
// twice, whichever breaks the file uses.
template <typename Text>
class LineEnds {
 public:
  explicit LineEnds(const Text& text) : text_(text) {}

  // `from` never decreases from one call to the next.
  std::size_t EndOf(std::size_t from) {
    Next(lf_, '\n', from);
    Next(cr_, '\r', from);
    return std::min(lf_, cr_);
  }

 private:
  void Next(std::size_t& at, char c, std::size_t from) {
    if (at != npos && at >= from) return;
    const std::size_t hit = text_.Find(c, from, text_.size());
    at = hit == npos ? text_.size() : hit;
  }

  const Text& text_;
  std::size_t lf_ = npos, cr_ = npos;  // npos: not searched yet
};

template <typename Text>
std::optional<std::u16string> FindIn(const Text& text, std::u16string_view section,
                                     std::u16string_view key) {
  // Line keys are trimmed and end at their first "=": a key with blanks at
  // either end or with an "=" in it is never found.
  if (!key.empty() && (IsBlank(key.front()) || IsBlank(key.back()))) return std::nullopt;
  if (key.find(u'=') != std::u16string_view::npos) return std::nullopt;
  const std::u16string foldedSection = Folded(section);
  const std::u16string foldedKey = Folded(key);
  const LengthRange keyLengths = Text::MatchLengths(key);

  LineEnds<Text> lineEnds(text);
  bool inSection = false;
  std::size_t valueBegin = npos, valueEnd = npos;
  const std::size_t end = text.size();
  std::size_t pos = 0;
  while (pos < end) {
    // Blanks, line breaks and so empty lines: a line starts at its first
    // non-blank unit.
    if (IsBlank(text[pos])) {
      ++pos;
      continue;
    }
    const std::size_t line = pos;
    const std::size_t lineEnd = lineEnds.EndOf(line);
    std::size_t last = lineEnd;
    while (IsBlank(text[last - 1])) --last;  // the line holds a non-blank unit
    pos = lineEnd;

    const char16_t first = text[line];
    if (first == u';') continue;
    if (first == u'[' && text[last - 1] == u']' && last - line >= 2) {
      std::size_t b = line + 1, e = last - 1;
      while (b < e && IsBlank(text[b])) ++b;
      while (e > b && IsBlank(text[e - 1])) --e;
      inSection = text.MatchEnd(b, e, foldedSection) == e;
      if (inSection) valueBegin = valueEnd = npos;  // only the last such section counts
      continue;
    }
    if (!inSection) continue;

    const std::size_t equals = text.Find('=', line, last);
    if (equals == npos) continue;  // a line without "=" never matches
    std::size_t keyEnd = equals;
    while (keyEnd > line && IsBlank(text[keyEnd - 1])) --keyEnd;
    if (!keyLengths.Holds(keyEnd - line)) continue;
    if (text.MatchEnd(line, keyEnd, foldedKey) != keyEnd) continue;
    valueBegin = equals + 1;
    while (valueBegin < last && IsBlank(text[valueBegin])) ++valueBegin;
    valueEnd = last;
  }
  if (valueBegin == npos) return std::nullopt;
  return text.Copy(valueBegin, valueEnd);
}

bool StartsWith(std::string_view bytes, std::string_view mark) {
  return bytes.substr(0, mark.size()) == mark;
}

}  // namespace

char16_t FoldCase(char16_t c) {
  return static_cast<char16_t>(c + kUpperCaseDelta[kUpperCaseBlock[c >> 8]][c & 0xFF]);
}

MemIniText::MemIniText(std::string bytes) {
  if (StartsWith(bytes, "\xFF\xFE") || StartsWith(bytes, "\xFE\xFF")) {
    encoding_ = bytes[0] == '\xFE' ? Encoding::kUtf16Be : Encoding::kUtf16Le;
    bytes.erase(0, 2);
  } else if (StartsWith(bytes, "\xEF\xBB\xBF")) {
    bytes.erase(0, 3);
  } else if (!platform::os().AnsiDecodesAsUtf8()) {
    // Decoded by the system and held as UTF-16 in this machine's order;
    // the bytes go before the text is searched for its end.
    wide_ = platform::os().AnsiToWide(std::string_view(bytes).substr(0, bytes.find('\0')));
    bytes = std::string();
    encoding_ = std::endian::native == std::endian::big ? Encoding::kUtf16Be : Encoding::kUtf16Le;
    wide_.resize(std::min(wide_.size(), wide_.find(u'\0')));
    return;
  }
  if (encoding_ == Encoding::kUtf8) {
    bytes.resize(std::min(bytes.size(), bytes.find('\0')));
  } else {
    bytes.resize(2 * Utf16Text(bytes, encoding_ == Encoding::kUtf16Be).LengthToZero());
  }
  bytes_ = std::move(bytes);
}

std::optional<std::u16string> MemIniText::Find(std::u16string_view section,
                                               std::u16string_view key) const {
  if (encoding_ == Encoding::kUtf8) return FindIn(Utf8Text(bytes_), section, key);
  // Bytes of either kind of storage may be read as chars.
  const std::string_view bytes =
      wide_.empty()
          ? std::string_view(bytes_)
          : std::string_view(reinterpret_cast<const char*>(wide_.data()), wide_.size() * 2);
  return FindIn(Utf16Text(bytes, encoding_ == Encoding::kUtf16Be), section, key);
}

}  // namespace ombrels
