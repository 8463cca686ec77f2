// The in-memory reader's rules, fed from memory.
#include "settings/MemIniText.h"

#include <gtest/gtest.h>

#include <span>

#include "platform/Utf8.h"
#include "platform/platform.h"
#include "platform/testing.h"
#include "support/ForwardingOs.h"
#include "support/ReferenceIni.h"
#include "support/TempDir.h"

namespace ombrels {
namespace {

std::optional<std::u16string> Lookup(std::string_view bytes, std::u16string_view section,
                                     std::u16string_view key) {
  return MemIniText(std::string(bytes)).Find(section, key);
}

// Each text in UTF-16 LE and BE, UTF-8 with its mark and ANSI answers every
// query as the plain model of the rules does.
void ExpectAnswersOfTheModel(std::span<const std::u16string> texts,
                             std::span<const std::pair<std::u16string, std::u16string>> queries) {
  for (const auto& text : texts) {
    const std::string encodings[] = {
        testing::Utf16Bytes(text, false), testing::Utf16Bytes(text, true),
        "\xEF\xBB\xBF" + platform::Utf16ToUtf8(text), platform::os().WideToAnsi(text)};
    for (const auto& bytes : encodings) {
      const MemIniText product{std::string(bytes)};
      const testing::ReferenceIni model(bytes);
      for (const auto& [section, key] : queries) {
        EXPECT_EQ(product.Find(section, key), model.Find(section, key))
            << "section \"" << platform::Utf16ToUtf8(section) << "\" key \""
            << platform::Utf16ToUtf8(key) << "\" in " << platform::Utf16ToUtf8(text);
      }
    }
  }
}

TEST(MemIniText, ByteOrderMarksSelectTheEncoding) {
  const std::u16string text = u"[S\u00E9]\r\nk\u0416=A\u00E9\U0001F600\r\n";
  const std::string utf8 = platform::Utf16ToUtf8(text);
  for (const std::string& bytes :
       {testing::Utf16Bytes(text, false), testing::Utf16Bytes(text, true), "\xEF\xBB\xBF" + utf8}) {
    EXPECT_EQ(Lookup(bytes, u"S\u00C9", u"k\u0436"), u"A\u00E9\U0001F600");
  }
  // Without a mark the bytes are ANSI text.
  EXPECT_EQ(Lookup(platform::os().WideToAnsi(u"[S]\nk=caf\u00E9"), u"S", u"k"),
            platform::os().AnsiToWide(platform::os().WideToAnsi(u"caf\u00E9")));
  // A mark alone, and an odd last byte of UTF-16.
  EXPECT_EQ(Lookup("\xFF\xFE", u"S", u"k"), std::nullopt);
  EXPECT_EQ(Lookup(testing::Utf16Bytes(u"[S]\nk=v", false) + "x", u"S", u"k"), u"v");
  // A UTF-8 mark does not make the rest ANSI: bad bytes are U+FFFD in
  // values; in names each is its own escape, and only that byte matches it.
  EXPECT_EQ(Lookup("\xEF\xBB\xBF[S]\nk=a\xFF", u"S", u"k"), u"a\uFFFD");
  EXPECT_EQ(Lookup("\xEF\xBB\xBF[S]\nk\x80=1", u"S", u"K\xDC80"), u"1");
  EXPECT_EQ(Lookup("\xEF\xBB\xBF[S]\nk\x80=1", u"S", u"K\xDC81"), std::nullopt);
  EXPECT_EQ(Lookup("\xEF\xBB\xBF[S]\nk\x80=1", u"S", u"K\uFFFD"), std::nullopt);
  EXPECT_EQ(Lookup("\xEF\xBB\xBF[S\xFE]\nk=1", u"S\xDCFE", u"k"), u"1");
  // A name that begins with the escape of a continuation byte.
  EXPECT_EQ(Lookup("\xEF\xBB\xBF[S]\n=3\n", u"S", u"\xDC9A"), std::nullopt);
  EXPECT_EQ(Lookup("\xEF\xBB\xBF[S]\n\x9A=3\n", u"s", u"\xDC9A"), u"3");
  EXPECT_EQ(Lookup("\xEF\xBB\xBF[S]\n\x9B=3\n", u"s", u"\xDC9A"), std::nullopt);
  // Keys of characters at the edges of each UTF-8 length.
  const std::u16string edges = u"\u007F\u0080\u07FF\u0800\uFFFC";
  EXPECT_EQ(Lookup("\xEF\xBB\xBF[S]\n" + platform::Utf16ToUtf8(edges) + "=1", u"S", edges), u"1");
  // Nothing beyond U+10FFFF: each byte of such a sequence is U+FFFD.
  EXPECT_EQ(Lookup("\xEF\xBB\xBF[S]\nk=\xF4\x8F\xBF\xBF\xF4\x90\x80\x80", u"S", u"k"),
            u"\U0010FFFF\uFFFD\uFFFD\uFFFD\uFFFD");
}

TEST(MemIniText, ZeroCharacterEndsTheText) {
  using namespace std::string_literals;
  EXPECT_EQ(Lookup("[S]\na=1\0\nb=2"s, u"S", u"a"), u"1");
  EXPECT_EQ(Lookup("[S]\na=1\0\nb=2"s, u"S", u"b"), std::nullopt);
  EXPECT_EQ(Lookup(testing::Utf16Bytes(u"[S]\na=1\0\nb=2"s, false), u"S", u"b"), std::nullopt);
  EXPECT_EQ(Lookup("\xEF\xBB\xBF[S]\na=1\0\nb=2"s, u"S", u"b"), std::nullopt);
  // UTF-16 is searched for its zero a block of 256 units at a time: a zero
  // at the first places of the first block and around its end, a block
  // searched after it.
  std::vector<std::size_t> pads;
  for (std::size_t pad = 0; pad < 8; ++pad) pads.insert(pads.end(), {pad, 244 + pad, 252 + pad});
  for (const std::size_t pad : pads) {
    const std::u16string text = u"[S]\na=" + std::u16string(pad, u'x') + u'\0' + u"\nb=" +
                                std::u16string(600, u'y') + u"\n[S]\nc=3\nd=4\n";
    for (bool bigEndian : {false, true}) {
      const std::string bytes = testing::Utf16Bytes(text, bigEndian);
      EXPECT_EQ(Lookup(bytes, u"S", u"a"), std::u16string(pad, u'x')) << pad;
      EXPECT_EQ(Lookup(bytes, u"S", u"d"), std::nullopt) << pad;
    }
  }
  // In the first group; and after a group whose last unit has a high byte.
  EXPECT_EQ(Lookup(testing::Utf16Bytes(u"[S]\0\nk=1\n"s), u"S", u"k"), std::nullopt);
  EXPECT_EQ(Lookup(testing::Utf16Bytes(u"[S]\nk=1\u4E00\nm=\0\nn=2\n"s), u"S", u"n"), std::nullopt);
  // Far into a long text, in a line, or in a header line; either order.
  std::u16string keys;
  for (int i = 0; i < 200; ++i) keys += u"key" + std::u16string(1, u'a' + i % 26) + u"=1\r\n";
  const std::u16string lines = u"[S]\r\n" + keys;
  for (const bool bigEndian : {false, true}) {
    const auto utf16 = [&](const std::u16string& text) {
      return testing::Utf16Bytes(text, bigEndian);
    };
    EXPECT_EQ(Lookup(utf16(lines + u"a=1\0\r\nb=2\r\n[S]\r\nc=3"s), u"S", u"a"), u"1");
    EXPECT_EQ(Lookup(utf16(lines + u"a=1\0\r\nb=2\r\n[S]\r\nc=3"s), u"S", u"b"), std::nullopt);
    EXPECT_EQ(Lookup(utf16(lines + u"a=1\0\r\n[S]\r\nc=3"s), u"S", u"c"), std::nullopt);
    EXPECT_EQ(Lookup(utf16(lines + u"[T]\0]\r\nc=3"s), u"T", u"c"), std::nullopt);
    EXPECT_EQ(Lookup(utf16(lines + u"[S]\0\r\nc=3"s), u"S", u"keya"), std::nullopt);
    EXPECT_EQ(Lookup(utf16(lines + u"x[\0\r\n[T]\r\nc=3"s), u"S", u"keyb"), u"1");
    EXPECT_EQ(Lookup(utf16(lines + u"[S]\0\r\nkeya=2"s), u"S", u"keya"), std::nullopt);
    EXPECT_EQ(Lookup(utf16(lines + u"a=1\0\r\n"s + keys + u"a=2\r\n[T]\r\nb=2"), u"S", u"a"), u"1");
    EXPECT_EQ(Lookup(utf16(lines + u"a=1\0\r\n"s + keys + u"a=2\r\n[T]\r\nb=2"), u"T", u"b"),
              std::nullopt);
  }
}

TEST(MemIniText, LineEndsCrLfAndCrLfAreOneBreakEach) {
  const std::string text = "[S]\ra=1\nb=2\r\nc=3\n\rd=4";
  EXPECT_EQ(Lookup(text, u"S", u"a"), u"1");
  EXPECT_EQ(Lookup(text, u"S", u"b"), u"2");
  EXPECT_EQ(Lookup(text, u"S", u"c"), u"3");
  EXPECT_EQ(Lookup(text, u"S", u"d"), u"4");
}

TEST(MemIniText, Utf16LineBreakAfterAUnitWhoseHighByteLooksLikeOne) {
  // U+0A05 is 05 0A in little-endian order, and a line feed 0A 00 follows.
  const std::string bytes = testing::Utf16Bytes(u"[S]\nk=\u0A05\nm=2\n", false);
  EXPECT_EQ(Lookup(bytes, u"S", u"k"), u"\u0A05");
  EXPECT_EQ(Lookup(bytes, u"S", u"m"), u"2");
}

// A single-byte code page that the system decodes (ISO 8859-1), as on
// Windows: the text is held as wide characters.
struct Latin1Os : testing::ForwardingOs {
  std::u16string AnsiToWide(std::string_view text) override {
    std::u16string wide;
    for (char c : text) wide.push_back(static_cast<unsigned char>(c));
    return wide;
  }
  bool AnsiDecodesAsUtf8() override { return false; }
};

TEST(MemIniText, AnsiTextTheSystemDecodes) {
  Latin1Os os;
  platform::ScopedOs scoped(os);
  using namespace std::string_literals;
  EXPECT_EQ(Lookup("[S\xC9]\nk=caf\xE9\0\nm=1"s, u"S\u00E9", u"K"), u"caf\u00E9");
  EXPECT_EQ(Lookup("[S\xC9]\nk=caf\xE9\0\nm=1"s, u"S\u00E9", u"m"), std::nullopt);
}

TEST(MemIniText, TrimsLinesNamesAndValuesButKeepsInnerText) {
  const std::string text = "  [ Files ]  \n\t key one \t=  \"value ; not a comment\"  \n";
  EXPECT_EQ(Lookup(text, u"Files", u"key one"), u"\"value ; not a comment\"");
  EXPECT_EQ(Lookup("[S]\nk=\n", u"S", u"k"), u"");  // present and empty
  EXPECT_EQ(Lookup("[S]\nk = a = b\n", u"S", u"k"), u"a = b");
  EXPECT_EQ(Lookup("[S]\n!k!=!v!\n", u"S", u"!k!"), u"!v!");  // blanks end at 32
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

// Letters of many scripts match their upper-case partners in section names
// and keys, in UTF-8 and UTF-16, also where upper-casing changes a letter's
// UTF-8 length.
TEST(MemIniText, CaseFoldingCoversTheBasicMultilingualPlane) {
  const std::pair<std::u16string, std::u16string> letters[] = {
      {u"\u00E9", u"\u00C9"},  // Latin-1
      {u"\u03AC", u"\u0386"},  // Greek with tonos
      {u"\u0491", u"\u0490"},  // Cyrillic ghe with upturn
      {u"\u0561", u"\u0531"},  // Armenian ayb
      {u"\u1EA1", u"\u1EA0"},  // Vietnamese a with dot below
      {u"\uFF41", u"\uFF21"},  // full-width a
      {u"\u0180", u"\u0243"},  // Latin Extended-B b with stroke
      {u"\uAB70", u"\u13A0"},  // Cherokee a
      {u"\u0131", u"I"},       // dotless i: 2 bytes to 1
      {u"\u017F", u"S"},       // long s: 2 bytes to 1
      {u"\u2C65", u"\u023A"},  // a with stroke: 3 bytes to 2
      {u"\u1FBE", u"\u0399"},  // prosgegrammeni: one of four units of iota's upper case
      // iota and rounded ve: partners of another length that begin with one byte
      {u"\u03B9\u1C80", u"\u0399\u0432"},
  };
  for (const auto& [lower, upper] : letters) {
    for (const auto& [stored, sought] : {std::pair(lower, upper), std::pair(upper, lower)}) {
      const std::u16string text = u"[s" + stored + u"]\n/p/" + stored + u"x" + stored + u"=7\n";
      for (const std::string& bytes :
           {"\xEF\xBB\xBF" + platform::Utf16ToUtf8(text), testing::Utf16Bytes(text, false)}) {
        const std::u16string key = u"/P/" + sought + u"X" + sought;
        EXPECT_EQ(Lookup(bytes, u"S" + sought, key), u"7") << platform::Utf16ToUtf8(key);
        EXPECT_EQ(Lookup(bytes, u"S" + sought, u"/P/" + sought + u"X"), std::nullopt);
      }
    }
  }
  // Every unit is upper-cased on its own: the dotless and the dotted i
  // meet in I, whatever their lengths; distinct letters stay apart.
  const std::string mixed = "\xEF\xBB\xBF[S]\nf\xC4\xB1le=1\n\xE2\xB1\xA5\xE2\xB1\xA5=2\n";
  EXPECT_EQ(Lookup(mixed, u"S", u"file"), u"1");
  EXPECT_EQ(Lookup(mixed, u"S", u"FILE"), u"1");
  EXPECT_EQ(Lookup(mixed, u"S", u"\u023A\u2C65"), u"2");
  EXPECT_EQ(Lookup(mixed, u"S", u"\u023A"), std::nullopt);
  EXPECT_EQ(Lookup("\xEF\xBB\xBF[S]\n\xCE\xB1=1\n", u"S", u"\u0386"), std::nullopt);
  // Beyond the BMP, characters that share one of their surrogates
  // (U+1F601 its first, U+10600 its second) are not U+1F600.
  EXPECT_EQ(
      Lookup("\xEF\xBB\xBF[S]\n\xF0\x9F\x98\x81=1\n\xF0\x90\x98\x80=2\n", u"S", u"\U0001F600"),
      std::nullopt);
  EXPECT_EQ(FoldCase(u'\u00F7'), u'\u00F7');
  EXPECT_EQ(FoldCase(u'\u00DF'), u'\u00DF');                // no single-unit upper case
  EXPECT_EQ(FoldCase(char16_t{0xD801}), char16_t{0xD801});  // surrogates stay
}

// Lines that almost hold the key: names alike but for their start, letters
// that fold across UTF-8 lengths at the key's end, the shortest line that can
// hold the key right after another, "=" and "[" inside lines, blanks, CR alone.
TEST(MemIniText, LinesThatAlmostHoldTheKeyAnswerAsThePlainModelDoes) {
  const std::u16string texts[] = {
      // Equal names in other folders, differing only in their first units.
      u"[Files]\r\n/b/Pictures/IMG_00417.JPG=1\r\n/a/Pictures/IMG_00417.JPG=2\r\n"
      u"/a/Pictures/IMG_00418.JPG=3\r\n/c/Pictures/img_00417.jpg=4\r\n",
      // Dotless i and long s, two bytes in UTF-8, where the key has I and S.
      u"[Files]\n/x/F\u0131LE_NAME.TXT=1\n/x/LIST\u017F=2\n/x/A\u0131=3\n/x/\u017F=4\n"
      u"/x/abcdefgh\u0131jklmnopq=5\n/x/abcdefghijklmnop\u017F=6\n",
      // Shortest distances: an empty value and LF alone before the key line.
      u"[S]\nlongkey=1\nx=\nlongkey=2\n[T]\nk=\nk=3\n[U]\n=\nkk=4\n[V]\nlongkey0=\nlongkey=5\n",
      // "=" after the key inside another line; comments; "[" inside lines.
      u"[S]\nother=key=1\n;key=2\n  ;key=3\nx=[S]\n[S]x=4\nkey=[T]\n",
      u"[S]\nother=key=1\n",
      // Blanks around keys and headers, CR alone, LF CR.
      u"\t [ S ] \t\r key \t= v1 \rkey2\t=v2\n\rkey3=v3\r\n  [T]x\n",
      // Non-ASCII last characters; a key of blanks inside.
      u"[S]\n/r\u00E9sum\u00E9=1\n/R\u00C9SUM\u00C9/x=2\na\tb=3\n\u0416=4\n",
  };
  const std::pair<std::u16string, std::u16string> queries[] = {
      {u"Files", u"/a/Pictures/IMG_00417.JPG"},
      {u"Files", u"/A/PICTURES/img_00417.jpg"},
      {u"Files", u"/c/Pictures/IMG_00417.JPG"},
      {u"Files", u"/a/Pictures/IMG_00419.JPG"},
      {u"files", u"/x/file_name.txt"},
      {u"Files", u"/x/lists"},
      {u"Files", u"/x/ai"},
      {u"Files", u"/x/S"},
      {u"Files", u"/x/abcdefghijklmnopq"},
      {u"Files", u"/x/ABCDEFGHIJKLMNOPS"},
      {u"S", u"longkey"},
      {u"T", u"k"},
      {u"U", u""},
      {u"U", u"kk"},
      {u"V", u"longkey"},
      {u"S", u"key"},
      {u"S", u"other"},
      {u"S", u"[S]x"},
      {u"S", u";key"},
      {u"s", u"KEY2"},
      {u"S", u"key3"},
      {u"T", u"x"},
      {u"S", u"/R\u00C9SUM\u00C9"},
      {u"S", u"/r\u00E9sum\u00E9/X"},
      {u"S", u"A\tB"},
      {u"S", u"\u0436"},
  };
  ExpectAnswersOfTheModel(texts, queries);
  // A few answers spelt out, so that the model is not the only judge.
  const std::string utf8 = "\xEF\xBB\xBF" + platform::Utf16ToUtf8(texts[1]);
  EXPECT_EQ(Lookup(utf8, u"Files", u"/X/FILE_NAME.TXT"), u"1");
  EXPECT_EQ(Lookup(utf8, u"Files", u"/x/lists"), u"2");
  EXPECT_EQ(Lookup(utf8, u"Files", u"/x/s"), u"4");
  EXPECT_EQ(Lookup(utf8, u"Files", u"/x/ABCDEFGHIJKLMNOPS"), u"6");
  EXPECT_EQ(Lookup(platform::Utf16ToUtf8(texts[0]), u"Files", u"/C/PICTURES/IMG_00417.JPG"), u"4");
  EXPECT_EQ(Lookup(platform::Utf16ToUtf8(texts[2]), u"S", u"longkey"), u"2");
  EXPECT_EQ(Lookup(platform::Utf16ToUtf8(texts[2]), u"U", u"kk"), u"4");
  EXPECT_EQ(Lookup(platform::Utf16ToUtf8(texts[2]), u"V", u"longkey"), u"5");
  EXPECT_EQ(Lookup(platform::Utf16ToUtf8(texts[4]), u"S", u"key"), std::nullopt);
}

// Keys found in their other case whose units stand at an edge: ASCII next
// to the small letters ("`" before "a", "{" after "z"), U+007F and U+0080 at
// the edge of ASCII, a last unit beyond ASCII, letters that all have a
// partner of another UTF-8 length.
TEST(MemIniText, KeysWithUnitsAtTheEdgesOfCaseMatchTheirOtherCase) {
  const std::pair<std::u16string, std::u16string> keys[] = {
      {u"/pb@c`z{a", u"/PB@C`Z{A"},
      {u"/abcdefg\u0080", u"/ABCDEFG\u0080"},
      {u"/abcdefg\u007F", u"/ABCDEFG\u007F"},
      {u"a\u007F", u"A\u007F"},
      {u"/abc\u00E9", u"/ABC\u00C9"},
      {u"/\u017F\u0131\u017F\u0131\u017F\u0131s\u0131", u"/SISISISI"},
      {u"/q/abcdefgh\u017F", u"/Q/ABCDEFGHS"},
      {u"/\u017Fabcdefg", u"/SABCDEFG"},
  };
  for (const auto& [stored, sought] : keys) {
    const std::u16string text = u"[S]\n" + stored + u"=1\n";
    for (const std::string& bytes :
         {"\xEF\xBB\xBF" + platform::Utf16ToUtf8(text), testing::Utf16Bytes(text, false),
          testing::Utf16Bytes(text, true)}) {
      EXPECT_EQ(Lookup(bytes, u"S", sought), u"1") << platform::Utf16ToUtf8(sought);
      EXPECT_EQ(Lookup(bytes, u"S", stored), u"1") << platform::Utf16ToUtf8(stored);
    }
  }
}

// UTF-16 is searched for its zero a block of units at a time, and for "["
// by its low byte: a header at every place of a block; a zero right after a
// "[" in a line.
TEST(MemIniText, Utf16HeaderAtEveryPlaceOfABlock) {
  using namespace std::string_literals;
  for (std::size_t pad = 0; pad < 140; ++pad) {
    const std::u16string text = u"[S]\nk=" + std::u16string(pad, u'x') + u"\n[T]\nk=2\n";
    for (const bool bigEndian : {false, true}) {
      const std::string bytes = testing::Utf16Bytes(text, bigEndian);
      EXPECT_EQ(Lookup(bytes, u"T", u"k"), u"2") << pad;
      EXPECT_EQ(Lookup(bytes, u"S", u"k"), std::u16string(pad, u'x')) << pad;
    }
  }
  const std::u16string cut = u"[S]\nk=1\nx[\0\n[S]\nk=2\n"s;
  EXPECT_EQ(Lookup(testing::Utf16Bytes(cut), u"S", u"k"), u"1");
  EXPECT_EQ(Lookup("x[S]\nk=1\n", u"S", u"k"), std::nullopt);  // "[" inside the first line
}
}  // namespace
}  // namespace ombrels

namespace ombrels {
namespace {

// The one-pass reader answers as the plain model of the rules does, in
// every encoding, for every key the texts hold and a few they do not.
TEST(MemIniText, AnswersAsThePlainModelDoes) {
  const std::u16string texts[] = {
      u"[Files]\r\n/a/b.txt=1\r\n/A/B.TXT = 2\r\n[files]\r\n/a/c.txt=3\r\n",
      u"x=0\n[ S ]\n k = v \n[S] tail\n k2=v2\n;k=c\n[S]\r\rk=w\n\rk=\n",
      u"[\u00C9t\u00E9]\nCl\u00E9=\u0416\u00FF\n[\u00E9T\u00C9]\ncl\u00C9=2\n",
      u"[S]\n=empty key\na=b=c\n a b =d\n\t[S]\t\n[]\n=x\n[ ]\nk=v\n",
      u"[S]\nk\uFFFDx=1\nk\U0001F600=2\n\u0178=3\n",
  };
  const std::pair<std::u16string, std::u16string> queries[] = {{u"Files", u"/a/b.txt"},
                                                               {u"FILES", u"/a/c.txt"},
                                                               {u"S", u"k"},
                                                               {u"S", u"k2"},
                                                               {u"s", u""},
                                                               {u"S", u"a"},
                                                               {u"S", u"a b"},
                                                               {u"S", u"a=b"},
                                                               {u"\u00E9t\u00E9", u"CL\u00C9"},
                                                               {u"", u""},
                                                               {u"", u"k"},
                                                               {u"S", u"k\uFFFDx"},
                                                               {u"S", u"K\U0001F600"},
                                                               {u"S", u"\u00FF"},
                                                               {u"S", u" k"},
                                                               {u"Missing", u"k"}};
  ExpectAnswersOfTheModel(texts, queries);
}

}  // namespace
}  // namespace ombrels
