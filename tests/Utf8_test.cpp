// The UTF-8 decoder and encoder at the edges of every range: shortest and
// longest forms of each length, overlong forms, surrogates, the end of
// Unicode, cut and broken sequences.
#include "platform/Utf8.h"

#include <gtest/gtest.h>

namespace ombrels {
namespace {

struct Case {
  std::string_view bytes;
  std::u16string_view text;
  std::size_t firstLength;  // of the sequence at the start; 0 when it is none
};

const Case kCases[] = {
    {"\x7F", u"\u007F", 1},
    {"\xC2\x80", u"\u0080", 2},
    {"\xDF\xBF", u"\u07FF", 2},
    {"\xC1\xBF", u"\uFFFD\uFFFD", 0},  // overlong
    {"\xC2\x7F", u"\uFFFD\u007F", 0},
    {"\xC2\xC0", u"\uFFFD\uFFFD", 0},
    {"\xE0\xA0\x80", u"\u0800", 3},
    {"\xE0\x9F\xBF", u"\uFFFD\uFFFD\uFFFD", 0},  // overlong
    {"\xE4\xB8\xAD", u"\u4E2D", 3},
    {"\xED\x9F\xBF", u"\uD7FF", 3},
    {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD", 0},  // a surrogate
    {"\xEE\x80\x80", u"\uE000", 3},
    {"\xEF\xBF\xBF", u"\uFFFF", 3},
    {"\xE4\xB8\x41", u"\uFFFD\uFFFD\u0041", 0},
    {"\xE4\xB8", u"\uFFFD\uFFFD", 0},  // cut
    {"\xF0\x90\x80\x80", u"\U00010000", 4},
    {"\xF0\x8F\xBF\xBF", u"\uFFFD\uFFFD\uFFFD\uFFFD", 0},  // overlong
    {"\xF3\xB0\x80\x81", u"\U000F0001", 4},
    {"\xF4\x8F\xBF\xBF", u"\U0010FFFF", 4},
    {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD", 0},  // beyond U+10FFFF
    {"\xF5\x80\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD", 0},
    {"\xF0\x90\x80\x41", u"\uFFFD\uFFFD\uFFFD\u0041", 0},
    {"\xF0\x90\x80", u"\uFFFD\uFFFD\uFFFD", 0},  // cut
};

TEST(Utf8, EdgesOfEveryRange) {
  for (const Case& c : kCases) {
    const std::string hex = ::testing::PrintToString(std::string(c.bytes));
    EXPECT_EQ(platform::Utf8ToUtf16(c.bytes), c.text) << hex;
    EXPECT_EQ(platform::Utf8SequenceLength(c.bytes, 0), c.firstLength) << hex;
    // Character by character, as the reader matches names, with a byte
    // before it so that positions other than 0 are read.
    const std::string shifted = "a" + std::string(c.bytes);
    std::u16string text;
    for (std::size_t pos = 1, length = 0; pos < shifted.size(); pos += length) {
      char16_t units[2];
      const std::size_t count = platform::DecodeUtf8At(shifted, pos, length, units);
      text.append(units, count);
    }
    EXPECT_EQ(text, c.text) << hex;
    if (c.firstLength == c.bytes.size()) {
      EXPECT_EQ(platform::Utf16ToUtf8(c.text), c.bytes) << hex;
    }
  }
}

TEST(Utf8, OnlyAHighAndALowSurrogateMakeAPair) {
  const auto encode = [](std::initializer_list<char16_t> units, std::size_t count) {
    return platform::Utf16ToUtf8(std::u16string_view(units.begin(), count));
  };
  EXPECT_EQ(encode({0xD7FF, 0xDC00}, 2), "\xED\x9F\xBF?");
  EXPECT_EQ(encode({0xDC00, 0xDC00}, 2), "??");
  EXPECT_EQ(encode({0xD800, 0xDBFF}, 2), "??");
  EXPECT_EQ(encode({0xDBFF, 0xE000}, 2), "?\xEE\x80\x80");
  EXPECT_EQ(encode({0xDFFF}, 1), "?");
  EXPECT_EQ(encode({0xD800, 0xDC00}, 1), "?");  // the pair's end lies beyond the text
}

}  // namespace
}  // namespace ombrels
