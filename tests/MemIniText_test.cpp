// The in-memory reader's rules, fed from memory.
#include "settings/MemIniText.h"

#include <gtest/gtest.h>

namespace ombrels {
namespace {

std::optional<std::u16string> Lookup(std::string_view bytes, std::u16string_view section,
                                     std::u16string_view key) {
  return MemIniText(DecodeProfileBytes(bytes)).Find(section, key);
}

TEST(DecodeProfileBytes, ByteOrderMarksSelectTheEncoding) {
  using namespace std::string_literals;
  EXPECT_EQ(DecodeProfileBytes("\xFF\xFE"
                               "A\0\xE9\0"s),
            u"A\u00E9");
  EXPECT_EQ(DecodeProfileBytes("\xFE\xFF"
                               "\0A\x04\x10"s),
            u"A\u0410");
  EXPECT_EQ(DecodeProfileBytes("\xEF\xBB\xBF"
                               "A\xC3\xA9"),
            u"A\u00E9");
  EXPECT_EQ(DecodeProfileBytes("plain"), u"plain");
  // The mark alone is an empty text; an odd last byte of UTF-16 is dropped.
  EXPECT_EQ(DecodeProfileBytes("\xFF\xFE"), u"");
  EXPECT_EQ(DecodeProfileBytes("\xFF\xFE"
                               "A\0B"s),
            u"A");
  // A surrogate pair survives UTF-16 and UTF-8 alike.
  EXPECT_EQ(DecodeProfileBytes("\xFF\xFE"
                               "\x3D\xD8\x00\xDE"s),
            u"\U0001F600");
  EXPECT_EQ(DecodeProfileBytes("\xEF\xBB\xBF"
                               "\xF0\x9F\x98\x80"),
            u"\U0001F600");
}

TEST(DecodeProfileBytes, ZeroCharacterEndsTheText) {
  using namespace std::string_literals;
  EXPECT_EQ(DecodeProfileBytes("ab\0cd"s), u"ab");
  EXPECT_EQ(DecodeProfileBytes("\xFF\xFE"
                               "a\0\0\0b\0"s),
            u"a");
  EXPECT_EQ(DecodeProfileBytes("\xEF\xBB\xBF"
                               "a\0b"s),
            u"a");
}

TEST(MemIniText, LineEndsCrLfAndCrLfAreOneBreakEach) {
  const std::string text = "[S]\ra=1\nb=2\r\nc=3\n\rd=4";
  EXPECT_EQ(Lookup(text, u"S", u"a"), u"1");
  EXPECT_EQ(Lookup(text, u"S", u"b"), u"2");
  EXPECT_EQ(Lookup(text, u"S", u"c"), u"3");
  EXPECT_EQ(Lookup(text, u"S", u"d"), u"4");
}

TEST(MemIniText, TrimsLinesNamesAndValuesButKeepsInnerText) {
  const std::string text = "  [ Files ]  \n\t key one \t=  \"value ; not a comment\"  \n";
  EXPECT_EQ(Lookup(text, u"Files", u"key one"), u"\"value ; not a comment\"");
  EXPECT_EQ(Lookup("[S]\nk=\n", u"S", u"k"), u"");  // present and empty
  EXPECT_EQ(Lookup("[S]\nk = a = b\n", u"S", u"k"), u"a = b");
}

TEST(MemIniText, CommentsHeadersAndLinesBeforeTheFirstSection) {
  const std::string text =
      "a=0\n"
      "[S]\n"
      "; b=1\n"
      "  ;c=2\n"
      "[T] trailing\n"  // no header: a line of section S without "="
      "d=3\n"
      "no equals sign\n"
      "[]\n"
      "e=4\n";
  EXPECT_EQ(Lookup(text, u"S", u"a"), std::nullopt);
  EXPECT_EQ(Lookup(text, u"S", u"b"), std::nullopt);
  EXPECT_EQ(Lookup(text, u"S", u"c"), std::nullopt);
  EXPECT_EQ(Lookup(text, u"T", u"d"), std::nullopt);
  EXPECT_EQ(Lookup(text, u"S", u"d"), u"3");
  EXPECT_EQ(Lookup(text, u"S", u"no equals sign"), std::nullopt);
  EXPECT_EQ(Lookup(text, u"", u"e"), u"4");
}

TEST(MemIniText, LastSectionAndLastKeyWin) {
  const std::string text =
      "[Files]\nC:\\a.txt=1\nC:\\only-early.txt=5\n"
      "[Other]\nx=1\n"
      "[files]\nC:\\a.txt=2\nc:\\A.TXT=3\n";
  EXPECT_EQ(Lookup(text, u"Files", u"C:\\a.txt"), u"3");
  EXPECT_EQ(Lookup(text, u"FILES", u"C:\\A.txt"), u"3");
  EXPECT_EQ(Lookup(text, u"Files", u"C:\\only-early.txt"), std::nullopt);
  EXPECT_EQ(Lookup(text, u"Missing", u"x"), std::nullopt);
}

TEST(MemIniText, KeyContainingEqualsIsNeverFound) {
  const std::string text = "[Files]\nC:\\a=b.txt=4\n";
  EXPECT_EQ(Lookup(text, u"Files", u"C:\\a=b.txt"), std::nullopt);
  EXPECT_EQ(Lookup(text, u"Files", u"C:\\a"), u"b.txt=4");
}

TEST(MemIniText, CaseFoldingReachesBeyondAscii) {
  const std::string text = "\xEF\xBB\xBF[Files]\n/home/\xC3\xA9t\xC3\xA9/\xD1\x84.txt=6\n";
  EXPECT_EQ(Lookup(text, u"files", u"/HOME/\u00C9T\u00C9/\u0424.TXT"), u"6");
  EXPECT_EQ(FoldCase(u'\u0101'), u'\u0100');
  EXPECT_EQ(FoldCase(u'\u013A'), u'\u0139');
  EXPECT_EQ(FoldCase(u'\u00F7'), u'\u00F7');
  EXPECT_EQ(FoldCase(u'\u00FF'), u'\u0178');
}

}  // namespace
}  // namespace ombrels
