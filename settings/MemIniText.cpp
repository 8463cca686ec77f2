#include "settings/MemIniText.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <utility>

#include "platform/Utf8.h"
#include "platform/platform.h"

namespace ombrels {
namespace {

#include "settings/UpperCaseTable.inc"

constexpr std::size_t npos = std::string_view::npos;

bool IsBlank(char16_t c) { return c <= 32; }
bool IsBreak(char16_t c) { return c == u'\r' || c == u'\n'; }

// Each unit of the same upper case as `c`, `c` among them.
template <typename Each>
void ForEachPartner(char16_t c, Each each) {
  const char16_t upper = FoldCase(c);
  if (FoldCase(upper) == upper) each(upper);
  const auto below = [](const UpperCaseMember& m, char16_t u) { return m.upper < u; };
  const auto* end = std::end(kUpperCaseMembers);
  for (auto* m = std::lower_bound(std::begin(kUpperCaseMembers), end, upper, below);
       m != end && m->upper == upper; ++m)
    each(m->unit);
}

// The units (UTF-8 bytes or UTF-16 units) that may stand at one place of a
// match: no unit has more than three others of the same upper case.
constexpr bool AtMostThreeByUpperCase() {
  for (std::size_t i = 3; i < std::size(kUpperCaseMembers); ++i)
    if (kUpperCaseMembers[i].upper == kUpperCaseMembers[i - 3].upper) return false;
  return true;
}
static_assert(AtMostThreeByUpperCase());
struct UnitSet {
  std::array<char16_t, 4> units{};
  std::size_t size = 0;
  void Add(char16_t u) {
    if (!Has(u)) units[size++] = u;
  }
  bool Has(char16_t u) const {
    return std::find(units.begin(), units.begin() + size, u) != units.begin() + size;
  }
};

// How many first bytes `a` and `b` share.
std::size_t SharedBytes(std::string_view a, std::string_view b) {
  return static_cast<std::size_t>(std::mismatch(a.begin(), a.end(), b.begin(), b.end()).first -
                                  a.begin());
}

// Text held as UTF-8 bytes, positions counted in bytes. Every unit the
// rules look for (blanks, line breaks, "[", "]", ";", "=") is ASCII, and no
// byte of a multi-byte sequence is: lines are found on the bytes.
struct Utf8Text {
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
  Utf8Text Before(std::size_t end) const { return {bytes.substr(0, end)}; }
  // How many bytes of text[from, to) are the name's first bytes, up to the
  // start of one of its characters. The name is well-formed: its characters
  // before that place are whole in the text and decode alike.
  std::size_t Same(std::size_t from, std::size_t to, const Utf8Text& name) const {
    std::size_t same = SharedBytes(bytes.substr(from, to - from), name.bytes);
    while (same < name.size() && (name[same] & 0xC0) == 0x80) --same;
    return same;
  }
  // The first zero unit before `end`; `end` when there is none.
  std::size_t ZeroBefore(std::size_t end) const {
    return std::min(bytes.substr(0, end).find('\0'), end);
  }
  // Whether text[from, to) holds these bytes.
  bool Holds(std::size_t from, std::size_t to, std::string_view sought) const {
    for (std::size_t at = from; (at = Find(sought[0], at)) + sought.size() <= to; ++at)
      if (bytes.substr(at, sought.size()) == sought) return true;
    return false;
  }
  // Adds the bytes that may match the unit name[i] to `out`, and passes
  // it. False when a text of another length may match it too: a partner of
  // another length that `holds(bytes)` finds in the text, or that is ASCII;
  // U+FFFD, which bytes of any length may stand for; a surrogate (alone it
  // encodes to one zero byte, not to the three bytes of its length).
  template <typename Held>
  bool AddUnits(std::u16string_view name, std::size_t& i, std::vector<UnitSet>& out,
                Held holds) const {
    const char16_t c = name[i++];
    const auto length = static_cast<std::size_t>(Length(c));
    std::array<UnitSet, 3> sets;
    bool alike = c != 0xFFFD;
    ForEachPartner(c, [&](char16_t unit) {
      const std::string bytes = Encode(std::u16string_view(&unit, 1));
      if (bytes.size() != length) {
        alike = alike && bytes.size() > 1 && !holds(bytes);
      } else {
        for (std::size_t k = 0; k < length; ++k) sets[k].Add(static_cast<unsigned char>(bytes[k]));
      }
    });
    if (alike)
      out.insert(out.end(), sets.begin(), sets.begin() + static_cast<std::ptrdiff_t>(length));
    return alike;
  }

  // A name in this encoding. A lone surrogate, which no UTF-8 text holds,
  // becomes a zero byte: the text ends before any place that holds one.
  std::string Encode(std::u16string_view name) const { return platform::Utf16ToUtf8(name, '\0'); }
  // A unit's encoded length.
  static int Length(char16_t c) { return c < 0x80 ? 1 : c < 0x800 ? 2 : 3; }
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

// The number of bytes before the first zero unit of UTF-16 bytes (whole
// units). Blocks of units are tested whole, a loop that compilers turn
// into vector compares; only the block with a zero is searched unit by unit.
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
  while (i < bytes.size() && (bytes[i] != '\0' || bytes[i + 1] != '\0')) i += 2;
  return i;
}

// Text held as UTF-16 bytes in either byte order, positions counted in
// units; each unit is upper-cased on its own.
struct Utf16Text {
  std::string_view bytes;
  bool bigEndian = false;

  std::size_t size() const { return bytes.size() / 2; }
  char16_t operator[](std::size_t i) const {
    std::uint16_t unit;
    std::memcpy(&unit, bytes.data() + 2 * i, 2);
    const bool swapped = bigEndian != (std::endian::native == std::endian::big);
    return static_cast<char16_t>(swapped ? (unit >> 8) | (unit << 8) : unit);
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
  Utf16Text Before(std::size_t end) const { return {bytes.substr(0, 2 * end), bigEndian}; }
  std::size_t Same(std::size_t from, std::size_t to, const Utf16Text& name) const {
    return SharedBytes(bytes.substr(2 * from, 2 * (to - from)), name.bytes) / 2;
  }
  std::size_t ZeroBefore(std::size_t end) const {
    return BeforeZeroUnit(bytes.substr(0, 2 * end)) / 2;
  }
  bool Holds(std::size_t, std::size_t, std::string_view) const { return false; }
  // Every unit is matched by units alone.
  template <typename Held>
  bool AddUnits(std::u16string_view name, std::size_t& i, std::vector<UnitSet>& out, Held) const {
    out.emplace_back();
    ForEachPartner(name[i++], [&](char16_t unit) { out.back().Add(unit); });
    return true;
  }

  std::string Encode(std::u16string_view name) const {
    std::string encoded(2 * name.size(), '\0');
    for (std::size_t i = 0; i < name.size(); ++i) {
      encoded[2 * i + (bigEndian ? 1 : 0)] = static_cast<char>(name[i] & 0xFF);
      encoded[2 * i + (bigEndian ? 0 : 1)] = static_cast<char>(name[i] >> 8);
    }
    return encoded;
  }
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

// Where the text from `from` on stops matching the name whole, without
// regard to case; npos when it does not before `to`. Bytes alike match;
// from the first that differ on, character by character.
template <typename Text>
std::size_t MatchEnd(const Text& text, std::size_t from, std::size_t to, const Text& name) {
  std::size_t j = text.Same(from, to, name);
  for (from += j; j < name.size();) {
    std::size_t length = 0, nameLength = 0;
    if (from == to || text.Folded(from, length) != name.Folded(j, nameLength)) return npos;
    from += length;
    j += nameLength;
  }
  return from;
}

// Where the line that holds `at` begins, `from` at the earliest; npos
// when a unit other than a blank stands before `at` in it.
template <typename Text>
std::size_t LineStartBefore(const Text& text, std::size_t from, std::size_t at) {
  while (at > from && IsBlank(text[at - 1]) && !IsBreak(text[at - 1])) --at;
  return at == from || IsBreak(text[at - 1]) ? at : npos;
}

// The lines of the last section of the name: from the break that ends its
// header up to the start of the next header's line, or to the text's end.
// Only a "[" that begins a line can open a header; a header of any other
// name ends a section. `reach` receives the end of the last line that a
// zero could cut into a header of the name: "[" and the name begin it.
template <typename Text>
std::optional<std::pair<std::size_t, std::size_t>> LastSection(const Text& text,
                                                               std::u16string_view sectionName,
                                                               std::size_t& reach) {
  const std::string encoded = text.Encode(sectionName);
  const Text name = text.Over(encoded);
  std::optional<std::pair<std::size_t, std::size_t>> last;
  std::size_t open = npos, lineStart = 0, at = 0;
  reach = 0;
  for (; (at = text.Find('[', at)) < text.size(); ++at) {
    const std::size_t begin = LineStartBefore(text, lineStart, at);
    if (begin == npos) continue;
    std::size_t end = at;
    while (end < text.size() && !IsBreak(text[end])) ++end;
    std::size_t nameBegin = at + 1, nameEnd = end;
    while (nameBegin < end && IsBlank(text[nameBegin])) ++nameBegin;
    if (MatchEnd(text, nameBegin, end, name) != npos) reach = end;
    while (IsBlank(text[nameEnd - 1])) --nameEnd;  // stops at the "[" at the latest
    if (text[nameEnd - 1] != u']') continue;       // a key line
    if (open != npos) last.emplace(open, begin);
    --nameEnd;
    while (nameEnd > nameBegin && IsBlank(text[nameEnd - 1])) --nameEnd;
    open = MatchEnd(text, nameBegin, nameEnd, name) == nameEnd ? end : npos;
    lineStart = end;
    at = end - 1;  // (the loop steps to the break that ends the header)
  }
  if (open != npos) last.emplace(open, at);
  return last;
}

// The places in lines text[from, to) where a name may match without regard
// to case. The name is searched for in the text's units (UTF-8 bytes,
// UTF-16 units), each place allowing the units of any character of the
// same upper case and length; where a character may also match one of
// another length, only the longest run of the others is searched.
// Horspool's search, shifted by the window's last two units (hashed: a
// shift is the least of the units that share its hash). A name shorter than
// that to search is found at every line.
template <typename Text>
class Search {
 public:
  Search(const Text& text, std::u16string_view name, std::size_t from, std::size_t to)
      : text_(text) {
    // Texts of another length, held or not; a first byte that the lines do
    // not hold stands alone, for every text it begins.
    std::vector<std::pair<std::string, bool>> held;
    const auto holds = [&](const std::string& bytes) {
      for (const auto& [known, found] : held)
        if (known == bytes || known == bytes.substr(0, 1)) return found;
      if (text.Find(bytes[0], from) >= to)
        return held.emplace_back(bytes.substr(0, 1), false).second;
      return held.emplace_back(bytes, text.Holds(from, to, bytes)).second;
    };
    std::size_t runStart = 0;
    for (std::size_t i = 0; i < name.size();) {
      if (!text.AddUnits(name, i, classes_, holds)) runStart = classes_.size();
      if (classes_.size() - runStart > size_) start_ = runStart, size_ = classes_.size() - runStart;
    }
    size_ = std::min<std::size_t>(size_, 0xFFFF);
    if (size_ < kGram) return;
    // Each hash of kGram units from place k on, one unit of each set.
    const auto forEachGram = [this](std::size_t k, auto each) {
      std::array<std::size_t, kGram> pick{};
      for (std::size_t j = 0; j < kGram;) {
        std::size_t hash = 0;
        for (std::size_t g = 0; g < kGram; ++g) hash = Hash(hash, At(k + g).units[pick[g]]);
        each(hash);
        for (j = 0; j < kGram && ++pick[j] == At(k + j).size; ++j) pick[j] = 0;
      }
    };
    again_.fill(static_cast<std::uint16_t>(size_ - kGram + 1));
    for (std::size_t k = 0; k + kGram < size_; ++k)
      forEachGram(k, [&](std::size_t hash) {
        again_[hash] = std::min(again_[hash], static_cast<std::uint16_t>(size_ - kGram - k));
      });
    shift_ = again_;
    forEachGram(size_ - kGram, [&](std::size_t hash) { shift_[hash] = 0; });
  }

  // The units a window spans: one when every place is found.
  std::size_t size() const { return std::max<std::size_t>(size_, 1); }

  // Whether a match may end at `end` and start size() units before it: one
  // window of the search. When it may not, `end` moves on.
  bool Found(std::size_t& end) {
    if (size_ < kGram) return true;
    std::size_t hash = 0;
    for (std::size_t g = end - kGram; g < end; ++g) hash = Hash(hash, text_[g]);
    if (shift_[hash] != 0) {
      end += shift_[hash];
      return false;
    }
    // The unit where the last window failed is tried first: in a store of
    // names alike, that is where they differ.
    const std::size_t start = end - size_;
    if (At(guard_).Has(text_[start + guard_])) {
      std::size_t k = 0;
      while (k < size_ && At(k).Has(text_[start + k])) ++k;
      if (k == size_) return true;
      guard_ = k;  // (k is short of size_: a whole match returned)
    }
    end += again_[hash];
    return false;
  }

 private:
  static constexpr std::size_t kGram = 2;  // units that pick a shift
  static std::size_t Hash(std::size_t hash, char16_t u) { return (hash * 31 + u) & 4095; }
  const UnitSet& At(std::size_t k) const { return classes_[start_ + k]; }

  const Text& text_;
  std::vector<UnitSet> classes_;  // the whole name's; the search is `size_` from `start_`
  std::size_t start_ = 0, size_ = 0, guard_ = 0;
  // Shifts by the hash of the window's last kGram units; `again_` the
  // same without the name's last kGram units, for a window that failed.
  std::array<std::uint16_t, 4096> shift_{}, again_{};
};

// Each line of text[from, to) where the search finds a place, trimmed, to
// `line(begin, end)`, in the file's order: empty and comment lines are left
// out. The lines are searched as two halves at once, split at a break: the
// processor overlaps the two searches' windows, each of which waits on its
// loads. The later half's lines are passed when the earlier half is done.
template <typename Text, typename Line>
void ForEachLine(const Text& text, Search<Text>&& search, std::size_t from, std::size_t to,
                 Line line) {
  std::size_t cr = text.Find('\r', from), lf = text.Find('\n', from);
  // The line that holds `at` to `line`; where the next one begins.
  const auto take = [&](std::size_t at) {
    std::size_t begin = at;
    while (begin > from && !IsBreak(text[begin - 1])) --begin;
    if (cr < at) cr = text.Find('\r', at);
    if (lf < at) lf = text.Find('\n', at);
    std::size_t end = std::min({cr, lf, to});
    const std::size_t next = end + 1;  // (CR LF is a break and an empty line, which is skipped)
    while (begin < end && IsBlank(text[begin])) ++begin;
    if (begin == end || text[begin] == u';') return next;
    while (IsBlank(text[end - 1])) --end;  // stops at the first unit at the latest
    line(begin, end);
    return next;
  };
  // Window ends: a match ends `size` units after its place.
  const std::size_t size = search.size();
  const std::size_t mid = std::min(text.Find('\n', from + (to - from) / 2) + 1, to);
  std::vector<std::size_t> later;
  for (std::size_t a = from + size, b = mid + size; a <= mid || b <= to;) {
    if (a <= mid && search.Found(a)) a = take(a - size) + size;
    if (b <= to && search.Found(b)) {
      later.push_back(b - size);
      for (b -= size; b < to && !IsBreak(text[b++]);) {
      }
      b += size;
    }
  }
  for (const std::size_t at : later) take(at);
}

// The value of the key: in the last section of the name, a line with the
// key gives it, a later one replacing it. A zero unit ends the text: it is
// searched for only before the end of that value and of the last line that
// it could cut into a header of the name, for later ones cannot change the
// answer (a cut line holds a key only if it held it whole).
template <typename Text>
std::optional<std::u16string> Lookup(const Text& text, std::u16string_view sectionName,
                                     std::u16string_view keyName) {
  std::size_t reach = 0;
  const auto section = LastSection(text, sectionName, reach);
  std::size_t valueBegin = npos, valueEnd = npos;
  if (section) {
    const auto [from, to] = *section;
    const std::string encoded = text.Encode(keyName);
    const Text key = text.Over(encoded);
    ForEachLine(text, Search<Text>(text, keyName, from, to), from, to,
                [&](std::size_t begin, std::size_t end) {
                  std::size_t equals = MatchEnd(text, begin, end, key);
                  if (equals == npos) return;
                  while (equals < end && IsBlank(text[equals])) ++equals;
                  if (equals == end || text[equals] != u'=') return;
                  valueBegin = equals + 1;
                  while (valueBegin < end && IsBlank(text[valueBegin])) ++valueBegin;
                  valueEnd = end;
                });
  }
  if (valueBegin != npos) reach = std::max(reach, valueEnd);
  const std::size_t zero = text.ZeroBefore(reach);
  if (zero < reach) return Lookup(text.Before(zero), sectionName, keyName);
  if (valueBegin == npos) return std::nullopt;
  return text.Copy(valueBegin, valueEnd);
}

// The keys of the last section of the name: each line's text before its
// first "=", trimmed.
template <typename Text>
std::vector<std::u16string> KeysIn(Text text, std::u16string_view sectionName) {
  std::vector<std::u16string> keys;
  text = text.Before(text.ZeroBefore(text.size()));  // a zero unit ends the text
  std::size_t reach = 0;
  const auto section = LastSection(text, sectionName, reach);
  if (!section) return keys;
  const auto [from, to] = *section;
  ForEachLine(text, Search<Text>(text, u"", from, to), from, to,
              [&](std::size_t begin, std::size_t end) {
                std::size_t equals = std::min(text.Find('=', begin), end);
                if (equals == end) return;
                while (equals > begin && IsBlank(text[equals - 1])) --equals;
                keys.push_back(text.Copy(begin, equals));
              });
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
  if (StartsWith(all, "\xFF\xFE") || StartsWith(all, "\xFE\xFF")) {
    encoding_ = all[0] == '\xFE' ? Encoding::kUtf16Be : Encoding::kUtf16Le;
    begin_ = 2;
    size_ = (all.size() - 2) & ~std::size_t{1};  // whole units
  } else if (StartsWith(all, "\xEF\xBB\xBF") || platform::os().AnsiDecodesAsUtf8()) {
    begin_ = StartsWith(all, "\xEF\xBB\xBF") ? 3 : 0;
    size_ = all.size() - begin_;
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

std::string_view MemIniText::Text() const {
  // Bytes of either kind of storage may be read as chars.
  return wide_.empty()
             ? bytes_.view().substr(begin_, size_)
             : std::string_view(reinterpret_cast<const char*>(wide_.data()), wide_.size() * 2);
}

std::optional<std::u16string> MemIniText::Find(std::u16string_view section,
                                               std::u16string_view key) const {
  // A line's key is trimmed, ends at its first "=" and holds no line
  // break: a key that ends in a blank, or holds any of those, is never found.
  if ((!key.empty() && IsBlank(key.back())) || key.find_first_of(u"=\r\n") != npos)
    return std::nullopt;
  const std::string_view text = Text();
  if (encoding_ == Encoding::kUtf8) return Lookup(Utf8Text{text}, section, key);
  return Lookup(Utf16Text{text, encoding_ == Encoding::kUtf16Be}, section, key);
}

std::vector<std::u16string> MemIniText::Keys(std::u16string_view section) const {
  const std::string_view text = Text();
  if (encoding_ == Encoding::kUtf8) return KeysIn(Utf8Text{text}, section);
  return KeysIn(Utf16Text{text, encoding_ == Encoding::kUtf16Be}, section);
}

}  // namespace ombrels
