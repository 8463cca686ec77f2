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

// Characters that fold to ASCII are at most two bytes long: the UTF-8 key
// check relies on it.
constexpr bool AsciiPartnersFitTwoBytes() {
  for (const UpperCaseLengths& e : kUpperCaseLengths)
    if (e.unit < 0x80 && e.longest > 2) return false;
  return true;
}
static_assert(AsciiPartnersFitTwoBytes());

// Whether a character of another UTF-8 length folds as `unit` does (the
// dotless i folds to I).
bool HasWiderPartner(char16_t unit) {
  return std::any_of(std::begin(kUpperCaseLengths), std::end(kUpperCaseLengths),
                     [unit](const UpperCaseLengths& e) { return e.unit == unit; });
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

  // The text is cut at its first zero byte when it is made: only "[" is
  // looked for.
  std::size_t FindBracketOrZero(std::size_t from) const {
    const std::size_t at = Find('[', from, size());
    return at == npos ? size() : at;
  }
  std::size_t FindZero(std::size_t, std::size_t) const { return npos; }
  Utf8Text Prefix(std::size_t units) const { return Utf8Text(bytes_.substr(0, units)); }

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

  // The key's last characters, where they are ASCII: a text byte that is
  // ASCII is a character of its own, and the only other characters that
  // fold to ASCII are two bytes long (the dotless i folds to I), so the
  // key's end is checked from the back without decoding the line.
  class Tail {
   public:
    explicit Tail(std::u16string_view folded) {
      for (; count_ < kMax && count_ < folded.size(); ++count_) {
        const char16_t c = folded[folded.size() - 1 - count_];
        if (c >= 0x80) break;
        units_[count_] = static_cast<char>(c);
      }
      // The last eight at once, when each of them is one byte in any match.
      if (count_ < 8) return;
      char last[8];
      for (std::size_t i = 0; i < 8; ++i) {
        if (HasWiderPartner(static_cast<unsigned char>(units_[i]))) return;
        last[7 - i] = units_[i];
      }
      std::memcpy(&last8_, last, 8);
      wordwise_ = true;
    }

    // False when no key that ends at `end` (after `floor`) can be the key.
    bool MayEnd(const Utf8Text& text, std::size_t floor, std::size_t end) const {
      if (end - floor < count_) return false;
      const auto* const data = reinterpret_cast<const unsigned char*>(text.bytes_.data());
      std::size_t i = 0;
      if (wordwise_) {
        std::uint64_t word;
        std::memcpy(&word, data + end - 8, 8);
        if (UpperAscii8(word) != last8_) return false;
        i = 8;
        end -= 8;
      }
      for (; i < count_; ++i) {
        if (end <= floor) return false;
        const unsigned char b = data[end - 1];
        if (b < 0x80) {
          if (FoldCase(b) != static_cast<unsigned char>(units_[i])) return false;
          --end;
          continue;
        }
        // A two-byte character (its lead byte starts a sequence, whatever
        // stands before it) that folds to this letter.
        if (end - 1 <= floor) return false;
        const unsigned char lead = data[end - 2];
        if (lead < 0xC2 || lead > 0xDF || b > 0xBF) return false;
        const auto c = static_cast<char16_t>(((lead & 0x1F) << 6) | (b & 0x3F));
        if (FoldCase(c) != static_cast<unsigned char>(units_[i])) return false;
        end -= 2;
      }
      return true;
    }

   private:
    // Eight bytes at once, each ASCII small letter made capital.
    static std::uint64_t UpperAscii8(std::uint64_t x) {
      constexpr std::uint64_t ones = 0x0101010101010101ull, tops = 0x8080808080808080ull;
      const std::uint64_t low7 = x & ~tops;
      const std::uint64_t fromA = low7 + ones * (0x80 - 'a');      // top bit: low7 >= 'a'
      const std::uint64_t pastZ = low7 + ones * (0x80 - 'z' - 1);  // top bit: low7 > 'z'
      const std::uint64_t small = fromA & ~pastZ & ~x & tops;
      return x - (small >> 2);  // 0x80 >> 2 is the distance from small to capital
    }

    static constexpr std::size_t kMax = 16;
    char units_[kMax] = {};  // from the last unit backwards
    std::size_t count_ = 0;
    std::uint64_t last8_ = 0;
    bool wordwise_ = false;
  };

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

  // The key's last units: folding maps a unit to a unit, so a matching key
  // ends in units that fold to these.
  class Tail {
   public:
    explicit Tail(std::u16string_view folded)
        : units_(folded.substr(folded.size() - std::min(folded.size(), kMax))) {
      // The last four at once, where they are ASCII with no partner beyond
      // ASCII, and the text is in this machine's byte order.
      if (units_.size() < 4) return;
      std::uint16_t last[4];
      for (std::size_t i = 0; i < 4; ++i) {
        last[i] = units_[units_.size() - 4 + i];
        if (last[i] >= 0x80 || HasWiderPartner(last[i])) return;
      }
      std::memcpy(&last4_, last, 8);
      wordwise_ = true;
    }
    bool MayEnd(const Utf16Text& text, std::size_t floor, std::size_t end) const {
      if (end - floor < units_.size()) return false;
      std::size_t i = units_.size();
      if (wordwise_ && text.bigEndian_ == (std::endian::native == std::endian::big)) {
        std::uint64_t word;
        std::memcpy(&word, text.bytes_.data() + 2 * (end - 4), 8);
        if (UpperAscii4(word) != last4_) return false;
        i -= 4;
        end -= 4;
      }
      for (; i > 0; --i) {
        if (FoldCase(text[--end]) != units_[i - 1]) return false;
      }
      return true;
    }

   private:
    // Four units at once, each ASCII small letter made capital; a unit
    // beyond ASCII stays beyond it.
    static std::uint64_t UpperAscii4(std::uint64_t x) {
      constexpr std::uint64_t ones = 0x0001000100010001ull, bit7 = 0x0080008000800080ull;
      const std::uint64_t low7 = x & (ones * 0x7F);
      const std::uint64_t fromA = low7 + ones * (0x80 - 'a');
      const std::uint64_t pastZ = low7 + ones * (0x80 - 'z' - 1);
      const std::uint64_t small = fromA & ~pastZ & ~x & bit7;
      return x - (small >> 2);
    }

    static constexpr std::size_t kMax = 16;
    std::u16string_view units_;
    std::uint64_t last4_ = 0;
    bool wordwise_ = false;
  };

  // The first "[" or zero unit from `from` on, size() when there is none.
  // Blocks are tested whole, a loop the compiler turns into vector
  // compares; only the block with a hit is searched unit by unit. A zero
  // unit ends the text, so this one scan finds where it ends as well.
  std::size_t FindBracketOrZero(std::size_t from) const {
    constexpr std::size_t kBlock = 64;
    const bool native = bigEndian_ == (std::endian::native == std::endian::big);
    const std::uint16_t bracket = native ? 0x005B : 0x5B00;
    const std::size_t units = size();
    std::size_t i = from;
    for (; i + kBlock <= units; i += kBlock) {
      std::uint16_t block[kBlock];
      std::memcpy(block, bytes_.data() + 2 * i, sizeof block);
      std::uint16_t hit = 0;  // top bit set where a unit is zero or "["
      for (std::size_t k = 0; k < kBlock; ++k) {
        const std::uint16_t u = block[k], v = u ^ bracket;
        hit |= static_cast<std::uint16_t>(((u - 1u) & ~u) | ((v - 1u) & ~v));
      }
      if (hit & 0x8000) break;
    }
    for (; i < units; ++i) {
      const char16_t u = (*this)[i];
      if (u == 0 || u == u'[') return i;
    }
    return units;
  }

  std::size_t FindZero(std::size_t from, std::size_t to) const {
    for (std::size_t i = from; i < to; ++i)
      if ((*this)[i] == 0) return i;
    return npos;
  }

  Utf16Text Prefix(std::size_t units) const {
    return Utf16Text(bytes_.substr(0, 2 * units), bigEndian_);
  }

 private:
  std::string_view bytes_;
  bool bigEndian_;
};

bool IsBreak(char16_t c) { return c == u'\r' || c == u'\n'; }

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

struct Range {
  std::size_t begin = npos, end = npos;
};

// The lines of the last section named `folded`, from the end of its header
// line to the start of the next header; begin is npos when there is none.
// Only a "[" that starts a line can start a header, so the scan jumps from
// one "[" to the next and never walks the lines of a section. `end` is
// where the text ends: at its first zero unit, which the same scan finds.
template <typename Text>
Range LastSection(const Text& text, std::u16string_view folded, std::size_t& end) {
  LineEnds<Text> lineEnds(text);
  Range body;
  bool open = false;  // no header since the last match
  end = text.size();
  std::size_t pos = 0;
  while (pos < end) {
    const std::size_t at = text.FindBracketOrZero(pos);
    if (at == text.size()) break;
    if (text[at] == 0) {
      end = at;
      break;
    }
    std::size_t start = at;  // the line's first unit, blanks included
    while (start > 0 && IsBlank(text[start - 1]) && !IsBreak(text[start - 1])) --start;
    if (start > 0 && !IsBreak(text[start - 1])) {
      pos = at + 1;  // a "[" inside a line
      continue;
    }
    std::size_t lineEnd = lineEnds.EndOf(at);
    const std::size_t zero = text.FindZero(at, lineEnd);
    if (zero != npos) end = lineEnd = zero;  // the last line of the text
    pos = lineEnd;
    std::size_t last = lineEnd;
    while (IsBlank(text[last - 1])) --last;                 // stops at the "[" at the latest
    if (last - at < 2 || text[last - 1] != u']') continue;  // a line of the section
    std::size_t b = at + 1, e = last - 1;
    while (b < e && IsBlank(text[b])) ++b;
    while (e > b && IsBlank(text[e - 1])) --e;
    if (text.MatchEnd(b, e, folded) == e) {
      body = {lineEnd, npos};  // only the last such section counts
      open = true;
    } else if (open) {
      body.end = at;
      open = false;
    }
  }
  if (open) body.end = end;
  return body;
}

// The value of `key` in the lines of `body`, from the last line that holds
// it. Every line that can hold a key holds an "=", so the scan jumps from
// one "=" to the next; where the units before it cannot end the key (the
// key's last units, compared where names differ), the line is passed over
// without finding its start or end.
template <typename Text>
std::optional<std::u16string> FindKey(const Text& text, Range body, std::u16string_view folded,
                                      LengthRange lengths) {
  const typename Text::Tail tail(folded);
  LineEnds<Text> lineEnds(text);
  std::size_t floor = body.begin;  // no line that begins before this is left to look at
  std::size_t valueBegin = npos, valueEnd = npos;
  // The "=" of a line that can hold the key stands at least the key's
  // shortest length after the break that ends the line before it: the scan
  // goes on from there.
  const std::size_t shortest = lengths.shortest;
  std::size_t pos = body.begin + 1 + shortest;
  while (pos < body.end) {
    const std::size_t equals = text.Find('=', pos, body.end);
    if (equals == npos) break;
    pos = equals + 2 + shortest;  // this line ends after its "=" at the earliest
    std::size_t keyEnd = equals;
    while (keyEnd > floor && IsBlank(text[keyEnd - 1]) && !IsBreak(text[keyEnd - 1])) --keyEnd;
    if (!tail.MayEnd(text, floor, keyEnd)) continue;

    // The whole line: its key must be the key (which holds no "=", so this
    // "=" is the line's first when it is).
    std::size_t line = equals;
    while (line > floor && !IsBreak(text[line - 1])) --line;
    const std::size_t lineEnd = lineEnds.EndOf(equals);
    floor = lineEnd;
    pos = lineEnd + 1 + shortest;
    while (IsBlank(text[line])) ++line;  // stops at the "=" at the latest
    if (text[line] == u';') continue;    // a comment
    keyEnd = std::max(line, keyEnd);
    if (!lengths.Holds(keyEnd - line) || text.MatchEnd(line, keyEnd, folded) != keyEnd) continue;
    std::size_t last = lineEnd;
    while (IsBlank(text[last - 1])) --last;  // stops at the "=" at the latest
    valueBegin = equals + 1;
    while (valueBegin < last && IsBlank(text[valueBegin])) ++valueBegin;
    valueEnd = last;
  }
  if (valueBegin == npos) return std::nullopt;
  return text.Copy(valueBegin, valueEnd);
}

template <typename Text>
std::optional<std::u16string> FindIn(const Text& text, std::u16string_view section,
                                     std::u16string_view key) {
  // Line keys are trimmed, end at their first "=" and hold no line break:
  // a key with blanks at either end, or with an "=", CR or LF in it, is
  // never found.
  if (!key.empty() && (IsBlank(key.front()) || IsBlank(key.back()))) return std::nullopt;
  if (key.find_first_of(u"=\r\n") != std::u16string_view::npos) return std::nullopt;
  std::size_t end = 0;
  const Range body = LastSection(text, Folded(section), end);
  if (body.begin == npos) return std::nullopt;
  return FindKey(text.Prefix(end), body, Folded(key), Text::MatchLengths(key));
}

// The keys of the last section named `section`, walked line by line.
template <typename Text>
std::vector<std::u16string> KeysIn(const Text& text, std::u16string_view section) {
  std::vector<std::u16string> keys;
  std::size_t end = 0;
  const Range body = LastSection(text, Folded(section), end);
  if (body.begin == npos) return keys;
  LineEnds<Text> lineEnds(text);
  for (std::size_t line = body.begin; line < body.end;) {
    const std::size_t lineEnd = std::min(lineEnds.EndOf(line), body.end);
    std::size_t b = line;
    while (b < lineEnd && IsBlank(text[b])) ++b;
    const std::size_t equals = text.Find('=', b, lineEnd);
    if (b < lineEnd && text[b] != u';' && equals != npos) {
      std::size_t e = equals;
      while (e > b && IsBlank(text[e - 1])) --e;
      keys.push_back(text.Copy(b, e));
    }
    line = lineEnd + 1;
  }
  return keys;
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
  std::size_t begin = 0;
  if (StartsWith(all, "\xFF\xFE") || StartsWith(all, "\xFE\xFF")) {
    encoding_ = all[0] == '\xFE' ? Encoding::kUtf16Be : Encoding::kUtf16Le;
    begin = 2;
  } else if (StartsWith(all, "\xEF\xBB\xBF")) {
    begin = 3;
  } else if (!platform::os().AnsiDecodesAsUtf8()) {
    // Decoded by the system and held as UTF-16 in this machine's order;
    // the bytes go before the text is searched for its end.
    wide_ = platform::os().AnsiToWide(all.substr(0, all.find('\0')));
    bytes = platform::Bytes();
    encoding_ = std::endian::native == std::endian::big ? Encoding::kUtf16Be : Encoding::kUtf16Le;
    wide_.resize(std::min(wide_.size(), wide_.find(u'\0')));
    return;
  }
  const std::string_view text = all.substr(begin);
  begin_ = begin;
  // UTF-16 is cut at its first zero unit by the lookup's first scan.
  size_ = encoding_ == Encoding::kUtf8 ? std::min(text.size(), text.find('\0')) : text.size();
  bytes_ = std::move(bytes);
}

std::optional<std::u16string> MemIniText::Find(std::u16string_view section,
                                               std::u16string_view key) const {
  const std::string_view text = bytes_.view().substr(begin_, size_);
  if (encoding_ == Encoding::kUtf8) return FindIn(Utf8Text(text), section, key);
  // Bytes of either kind of storage may be read as chars.
  const std::string_view bytes =
      wide_.empty()
          ? text
          : std::string_view(reinterpret_cast<const char*>(wide_.data()), wide_.size() * 2);
  return FindIn(Utf16Text(bytes, encoding_ == Encoding::kUtf16Be), section, key);
}

std::vector<std::u16string> MemIniText::Keys(std::u16string_view section) const {
  const std::string_view text = bytes_.view().substr(begin_, size_);
  if (encoding_ == Encoding::kUtf8) return KeysIn(Utf8Text(text), section);
  const std::string_view bytes =
      wide_.empty()
          ? text
          : std::string_view(reinterpret_cast<const char*>(wide_.data()), wide_.size() * 2);
  return KeysIn(Utf16Text(bytes, encoding_ == Encoding::kUtf16Be), section);
}

}  // namespace ombrels
