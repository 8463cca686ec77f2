// Reports, in file order, every line of a range that may hold a name without
// regard to letter case; it may report lines that do not, and never skips one
// that does.
//
// The name is searched for in the text's units (UTF-8 bytes, UTF-16 units),
// each place allowing the units of any character of the same upper case and
// length; where a character may also match one of another length, only the
// longest run of the others. Horspool's search, shifted by the window's last
// two units (hashed: a shift is the least of the units that share its hash).
#pragma once

#include <array>
#include <vector>

#include "settings/TextViews.h"

namespace ombrels::text {

// Each unit of the same upper case as `c`, `c` among them.
template <typename Each>
constexpr void ForEachPartner(char16_t c, Each each) {
  const char16_t upper = UpperOf(c);
  if (UpperOf(upper) == upper) each(upper);
  const auto below = [](const UpperCaseMember& m, char16_t u) { return m.upper < u; };
  const auto* end = std::end(kUpperCaseMembers);
  for (auto* m = std::lower_bound(std::begin(kUpperCaseMembers), end, upper, below);
       m != end && m->upper == upper; ++m)
    each(m->unit);
}

// The units that may stand at one place of a match (no unit has more than
// three others of the same upper case); an empty set is not searched.
constexpr bool AtMostThreeByUpperCase() {
  for (std::size_t i = 3; i < std::size(kUpperCaseMembers); ++i)
    if (kUpperCaseMembers[i].upper == kUpperCaseMembers[i - 3].upper) return false;
  return true;
}
static_assert(AtMostThreeByUpperCase());
struct UnitSet {
  std::array<char16_t, 4> units{};
  std::size_t size = 0;
  constexpr void Add(char16_t u) {
    if (!Has(u)) units[size++] = u;
  }
  constexpr bool Has(char16_t u) const {
    return std::find(units.begin(), units.begin() + size, u) != units.begin() + size;
  }
};

// The partners of each ASCII unit, worked out when compiling (names are
// mostly ASCII): those that are ASCII, and the one that is not, if any.
struct AsciiPartners {
  UnitSet ascii;
  char16_t other = 0;
  int others = 0;
};
inline constexpr auto kAsciiPartners = [] {
  std::array<AsciiPartners, 0x80> table{};
  for (char16_t c = 0; c < 0x80; ++c) {
    ForEachPartner(c, [&](char16_t unit) {
      if (unit < 0x80) {
        table[c].ascii.Add(unit);
      } else {
        table[c].other = unit;
        ++table[c].others;
      }
    });
  }
  return table;
}();
static_assert(std::all_of(kAsciiPartners.begin(), kAsciiPartners.end(),
                          [](const AsciiPartners& p) { return p.others <= 1; }));

// UTF-16: each unit of the name is one place, matched by units alone.
inline std::vector<UnitSet> Places(const Utf16Text&, std::u16string_view name, std::size_t,
                                   std::size_t) {
  std::vector<UnitSet> places(name.size());
  for (std::size_t i = 0; i < name.size(); ++i) {
    if (name[i] < 0x80) {
      places[i] = kAsciiPartners[name[i]].ascii;
      if (const char16_t other = kAsciiPartners[name[i]].other) places[i].Add(other);
    } else {
      ForEachPartner(name[i], [&](char16_t unit) { places[i].Add(unit); });
    }
  }
  return places;
}

// UTF-8: each byte of a character is one place. A character is not
// searched (one empty place) when a text of another length may match it: a
// partner of another length that text[from, to) holds, or that is ASCII;
// nor is a pair of surrogates, nor a lone surrogate that is no escape (it
// encodes to one zero byte).
inline std::vector<UnitSet> Places(const Utf8Text& text, std::u16string_view name, std::size_t from,
                                   std::size_t to) {
  const std::string_view lines = text.bytes.substr(from, to - from);
  // Texts of another length, held or not; a first byte that the lines do
  // not hold stands alone, for every text it begins.
  std::vector<std::pair<std::string, bool>> held;
  const auto holds = [&](const std::string& bytes) {
    for (const auto& [known, found] : held)
      if (known == bytes || known == bytes.substr(0, 1)) return found;
    if (lines.find(bytes[0]) == std::string_view::npos)
      return held.emplace_back(bytes.substr(0, 1), false).second;
    return held.emplace_back(bytes, lines.find(bytes) != std::string_view::npos).second;
  };
  std::vector<UnitSet> places;
  places.reserve(name.size());
  for (std::size_t i = 0; i < name.size(); ++i) {
    const char16_t c = name[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < name.size() && name[i + 1] >= 0xDC00 &&
        name[i + 1] <= 0xDFFF) {
      places.emplace_back(), ++i;
      continue;
    }
    if (c < 0x80) {  // (ASCII: one byte; a partner of another length is no ASCII)
      const AsciiPartners& partners = kAsciiPartners[c];
      char other[3];
      const bool alike = !partners.other ||
                         !holds(std::string(other, Utf8Text::EncodeUnit(partners.other, other)));
      places.push_back(alike ? partners.ascii : UnitSet());
      continue;
    }
    char own[3];
    const std::size_t length = Utf8Text::EncodeUnit(c, own);
    std::array<UnitSet, 3> sets;
    bool alike = c == 0 || own[0] != '\0';
    ForEachPartner(c, [&](char16_t unit) {
      char bytes[3];
      const std::size_t size = Utf8Text::EncodeUnit(unit, bytes);
      if (size != length) {
        alike = alike && size > 1 && !holds(std::string(bytes, size));
      } else {
        for (std::size_t k = 0; k < length; ++k) sets[k].Add(static_cast<unsigned char>(bytes[k]));
      }
    });
    places.insert(places.end(), sets.begin(), sets.begin() + (alike ? length : 1));
    if (!alike) places.back() = UnitSet();
  }
  return places;
}

// A range shorter than this is passed line by line: below it, reading every
// line costs less than the search's set-up (the tests search shorter ones
// too). A later half passes this many lines at most from its search; the
// rest line by line.
inline constexpr std::size_t kShortRange = 4096, kLaterLines = 4096;

template <typename Text>
class Search {
 public:
  Search(const Text& text, std::u16string_view name, std::size_t from, std::size_t to)
      : text_(text),
        places_(Places(text, name, from, to)),
        from_(from),
        mask_(to - from < kSmallRange ? kHashes / 4 - 1 : kHashes - 1) {
    for (std::size_t k = 0, run = 0; k < places_.size(); ++k) {
      run = places_[k].size == 0 ? 0 : run + 1;
      if (run > size_) start_ = k + 1 - run, size_ = run;
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
    std::fill_n(again_.begin(), mask_ + 1, static_cast<std::uint16_t>(size_ - kGram + 1));
    for (std::size_t k = 0; k + kGram < size_; ++k)
      forEachGram(k, [&](std::size_t hash) {
        again_[hash] = std::min(again_[hash], static_cast<std::uint16_t>(size_ - kGram - k));
      });
    std::copy_n(again_.begin(), mask_ + 1, shift_.begin());
    forEachGram(size_ - kGram, [&](std::size_t hash) { shift_[hash] = 0; });
  }

  // The units a window spans (one for a name shorter than two, found anywhere).
  std::size_t size() const { return std::max<std::size_t>(size_, 1); }

  // Whether the search has compared more units than the text it went over
  // pays for: the rest is better read line by line.
  bool Costly() const { return costly_; }

  // Whether a match may end at `end` and start size() units before it: one
  // window of the search. When it may not, `end` moves on. A window that
  // makes the search costly is found too: its line is passed like any
  // other, and the caller, seeing Costly(), passes the rest line by line.
  bool Found(std::size_t& end) {
    if (size_ < kGram) return true;
    std::size_t hash = 0;
    for (std::size_t g = end - kGram; g < end; ++g) hash = Hash(hash, text_[g]);
    if (shift_[hash] != 0) {
      end += shift_[hash];
      return false;
    }
    // The place where the last window failed is tried first (the guard):
    // in a store of names alike, that is where they differ.
    const std::size_t start = end - size_;
    if (At(guard_).Has(text_[start + guard_])) {
      std::size_t k = 0;
      while (k < size_ && At(k).Has(text_[start + k])) ++k;
      if (k == size_) return true;
      guard_ = k;  // (k is short of size_: a whole match returned)
      compared_ += k + 1;
      costly_ = compared_ > kComparedPerUnit * (end - from_) + kComparedAtFirst * size_;
      if (costly_) return true;
    }
    end += again_[hash];
    return false;
  }

 private:
  static constexpr std::size_t kGram = 2;  // units that pick a shift
  // Hashes of kGram units; a range under kSmallRange uses a quarter of them,
  // whose tables cost less to fill.
  static constexpr std::size_t kHashes = 4096, kSmallRange = 64 * std::size_t{1024};
  std::size_t Hash(std::size_t hash, char16_t u) const { return (hash * 31 + u) & mask_; }
  const UnitSet& At(std::size_t k) const { return places_[start_ + k]; }

  // Units compared after the guard, for each unit the windows went over,
  // and for a first few windows.
  static constexpr std::size_t kComparedPerUnit = 2, kComparedAtFirst = 8;

  const Text& text_;
  std::vector<UnitSet> places_;  // the whole name's; the search is `size_` from `start_`
  std::size_t from_, mask_;
  std::size_t start_ = 0, size_ = 0, guard_ = 0;
  std::size_t compared_ = 0;
  bool costly_ = false;
  // Shifts by the hash of the window's last kGram units; `again_` the
  // same without the name's last kGram units, for a window that failed.
  // Only the first mask_ + 1 of each are filled and read.
  std::array<std::uint16_t, kHashes> shift_, again_;
};

// Each line of text[from, to) where the search finds a place to `each(begin,
// end)`, from the unit after the break before it (or `from`) to its break (or
// `to`). The two halves of the range, split at a break, are searched at once
// (the processor overlaps their windows, each waiting on its loads); the later
// half's lines are passed when the earlier half is done.
//
// The work is linear in the range and the name, whatever they hold: a range
// too short to pay for the search's set-up, the rest of a range where the
// search compares too much (text that shares a short period with the name),
// and the rest of the later half once it has many lines to pass, are passed
// line by line, every line.
template <typename Text, typename Each>
void ForEachCandidateLine(const Text& text, std::u16string_view name, std::size_t from,
                          std::size_t to, Each each, std::size_t shortRange = kShortRange) {
  const Text range = text.Before(to);  // (breaks are not looked for beyond it)
  std::size_t cr = range.Find('\r', from), lf = range.Find('\n', from);
  // The line that holds `at` to `each`; where the next one begins.
  const auto report = [&](std::size_t at) {
    std::size_t begin = at;
    while (begin > from && !IsBreak(text[begin - 1])) --begin;
    if (cr < at) cr = range.Find('\r', at);
    if (lf < at) lf = range.Find('\n', at);
    const std::size_t end = std::min(cr, lf);
    each(begin, end);
    return end + 1;  // (CR LF is a break and an empty line)
  };
  // Every line from the one that holds `at` to the one that ends at `end`.
  const auto reportAll = [&](std::size_t at, std::size_t end) {
    while (at < end) at = report(at);
  };
  if (to - from < shortRange) return reportAll(from, to);

  Search<Text> search(text, name, from, to);
  const std::size_t size = search.size();  // (a window ends `size` units after its place)
  const std::size_t mid = std::min(range.Find('\n', from + (to - from) / 2) + 1, to);
  std::vector<std::size_t> later;
  std::size_t a = from + size, b = mid + size;
  // (Whether to stop is asked only when a window is found: the search
  // becomes costly only then, and `later` grows only then.)
  while (a <= mid || b <= to) {
    if (a <= mid && search.Found(a)) {
      a = report(a - size) + size;
      if (search.Costly()) break;
    }
    if (b <= to && search.Found(b)) {
      later.push_back(b - size);
      for (b -= size; b < to && !IsBreak(text[b++]);) {
      }
      b += size;
      if (search.Costly() || later.size() == kLaterLines) break;
    }
  }
  if (a <= mid) reportAll(a - size, mid);
  for (const std::size_t at : later) report(at);
  if (b <= to) reportAll(b - size, to);
}

}  // namespace ombrels::text
