// The case table against a second source of the same Unicode version: ICU's
// simple uppercase mapping, unit by unit over the whole BMP. Only this test
// links ICU; the product does not.
#include <gtest/gtest.h>
#include <unicode/uchar.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <utility>

#include "settings/MemIniText.h"

namespace ombrels {
namespace {

namespace table {
#include "settings/UpperCaseTable.inc"
}

std::string Hex(char32_t c) {
  char text[16];
  std::snprintf(text, sizeof text, "U+%04X", static_cast<unsigned>(c));
  return text;
}

bool IsSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDFFF; }

// ICU's upper case of one unit; a mapping that needs two units is none.
char16_t IcuUpper(char32_t c) {
  const UChar32 upper = u_toupper(static_cast<UChar32>(c));
  return IsSurrogate(c) || upper > 0xFFFF ? static_cast<char16_t>(c) : static_cast<char16_t>(upper);
}

std::size_t Utf8Length(char32_t c) { return c < 0x80 ? 1 : c < 0x800 ? 2 : 3; }

TEST(CaseTableOracle, SameUnicodeVersionAsIcu) {
  UVersionInfo version;
  u_getUnicodeVersion(version);
  const std::string icu = std::to_string(version[0]) + "." + std::to_string(version[1]) + "." +
                          std::to_string(version[2]);
  EXPECT_EQ(icu, table::kUnicodeVersion);
}

TEST(CaseTableOracle, EveryBmpUnitUpperCasesAsIcuDoes) {
  int mismatches = 0;
  for (char32_t c = 0; c <= 0xFFFF; ++c) {
    const char16_t expected = IcuUpper(c);
    const char16_t actual = FoldCase(static_cast<char16_t>(c));
    if (actual != expected && ++mismatches <= 20)
      ADD_FAILURE() << Hex(c) << ": table " << Hex(actual) << ", ICU " << Hex(expected);
  }
  EXPECT_EQ(mismatches, 0);
}

// The lengths that a matching name may have in UTF-8 hang on this list of
// upper-case units whose partners differ in length.
TEST(CaseTableOracle, PartnersOfAnotherUtf8LengthAsIcuHasThem) {
  std::map<char16_t, std::pair<std::size_t, std::size_t>> range;  // upper -> shortest, longest
  for (char32_t c = 0; c <= 0xFFFF; ++c) {
    if (IsSurrogate(c) || c == 0xFFFD) continue;
    auto [it, added] = range.try_emplace(IcuUpper(c), Utf8Length(c), Utf8Length(c));
    it->second = {std::min(it->second.first, Utf8Length(c)),
                  std::max(it->second.second, Utf8Length(c))};
  }
  std::set<std::tuple<char16_t, std::size_t, std::size_t>> expected, actual;
  for (const auto& [upper, lengths] : range) {
    if (lengths.first != lengths.second) expected.insert({upper, lengths.first, lengths.second});
  }
  for (const auto& entry : table::kUpperCaseLengths)
    actual.insert({entry.unit, entry.shortest, entry.longest});
  EXPECT_EQ(actual, expected);
}

// The search for a key allows, at each character, the units listed with
// its upper case: every unit that ICU changes, paired with what it gives.
TEST(CaseTableOracle, UnitsListedByUpperCaseAsIcuHasThem) {
  std::set<std::pair<char16_t, char16_t>> expected, actual;
  for (char32_t c = 0; c <= 0xFFFF; ++c)
    if (IcuUpper(c) != c) expected.insert({IcuUpper(c), static_cast<char16_t>(c)});
  for (const auto& entry : table::kUpperCaseMembers) actual.insert({entry.upper, entry.unit});
  EXPECT_EQ(actual, expected);
  EXPECT_TRUE(std::is_sorted(std::begin(table::kUpperCaseMembers),
                             std::end(table::kUpperCaseMembers),
                             [](const auto& a, const auto& b) { return a.upper < b.upper; }));
}

}  // namespace
}  // namespace ombrels
