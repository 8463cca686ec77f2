// Many small generated stores, shaped where the reader takes shortcuts, and
// every short text: the reader checked against the plain model of the rules
// in every encoding, the candidate search against brute force.
#include <gtest/gtest.h>

#include <cstdint>
#include <iterator>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "settings/CandidateLines.h"
#include "settings/MemIniText.h"
#include "support/CandidateCheck.h"
#include "support/ReferenceIni.h"

namespace ombrels {
namespace {

// A fixed sequence (xorshift), the same on every platform.
class Random {
 public:
  std::size_t Below(std::size_t n) {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 7;
    state_ ^= state_ << 17;
    return static_cast<std::size_t>(state_ % n);
  }
  bool Percent(std::size_t p) { return Below(100) < p; }
  template <typename T, std::size_t N>
  const T& Of(const T (&items)[N]) {
    return items[Below(N)];
  }

 private:
  std::uint64_t state_ = 0x2545F4914F6CDD1Dull;
};

// Letters whose upper case is ASCII from two UTF-8 bytes (dotless i, long
// s) or changes length (a with stroke), other scripts, a pair of
// surrogates, and ASCII around the letters the shortcuts compare.
const std::u16string kUnits[] = {
    u"a",      u"A",      u"i",          u"I",      u"s",      u"S",      u"k",
    u"K",      u"z",      u"Z",          u"0",      u"9",      u"/",      u".",
    u"_",      u"@",      u"`",          u"{",      u"[",      u"]",      u" ",
    u"\u0131", u"\u017F", u"\u2C65",     u"\u023A", u"\u00E9", u"\u00C9", u"\u0436",
    u"\u0416", u"\u20AC", u"\U0001F600", u"\u00DF", u"\u00B5"};
// Where a key is likely to differ: its case, the letters above.
const std::pair<std::u16string, std::u16string> kFolds[] = {
    {u"i", u"\u0131"}, {u"I", u"\u0131"},     {u"s", u"\u017F"},      {u"S", u"\u017F"},
    {u"a", u"A"},      {u"k", u"K"},          {u"\u2C65", u"\u023A"}, {u"\u00E9", u"\u00C9"},
    {u"z", u"Z"},      {u"\u0436", u"\u0416"}};
const std::size_t kLengths[] = {0, 1, 2, 3, 4, 5, 7, 8, 9, 15, 16, 17};
const std::u16string kBreaks[] = {u"\n", u"\r", u"\r\n", u"\n\r", u"\r\n"};
const std::u16string kBlanks[] = {u"", u"", u"", u" ", u"\t", u" \t "};
// (A zero that ends the text may cut a line into a header: "[S]" then "x".)
const std::u16string kHeaders[] = {u"[S]",
                                   u"[s]",
                                   u"[T]",
                                   u" [ S ] ",
                                   u"[S]x",
                                   u"x[S]",
                                   u"[]",
                                   u"[\u0131]",
                                   u"[I]",
                                   u"[S",
                                   std::u16string(u"[S]\0x", 5)};
const std::u16string kSections[] = {u"S", u"s", u"T", u"", u"I", u"i"};

std::u16string Key(Random& random) {
  std::u16string key;
  for (std::size_t n = random.Of(kLengths); key.size() < n;) key += random.Of(kUnits);
  while (!key.empty() && key.back() == u' ') key.pop_back();
  while (!key.empty() && key.front() == u' ') key.erase(0, 1);
  return key;
}

// The key changed where the shortcuts look: its first or last units, its
// case, a unit more or less.
std::u16string Variant(Random& random, std::u16string key) {
  if (key.empty()) return random.Percent(50) ? key : random.Of(kUnits);
  const std::size_t at = random.Percent(50) ? key.size() - 1 : random.Below(key.size());
  switch (random.Below(6)) {
    case 0:
      return key;
    case 1: {  // a folding partner, or its case
      for (const auto& [a, b] : kFolds) {
        if (key.compare(at, a.size(), a) == 0) return key.replace(at, a.size(), b);
        if (key.compare(at, b.size(), b) == 0) return key.replace(at, b.size(), a);
      }
      return key;
    }
    case 2:
      return key.replace(at, 1, random.Of(kUnits));
    case 3:
      return key.erase(at, 1);
    case 4:
      return random.Percent(50) ? key + random.Of(kUnits) : random.Of(kUnits) + key;
    default:
      return key.replace(0, 1, random.Of(kUnits));
  }
}

std::u16string Store(Random& random, const std::vector<std::u16string>& keys, std::size_t& values) {
  std::u16string text;
  const std::size_t lines = 1 + random.Below(14);
  for (std::size_t n = 0; n < lines; ++n) {
    const std::size_t lineStart = text.size();
    const std::u16string key = Variant(random, keys[random.Below(keys.size())]);
    const std::u16string value =
        u"v" + std::u16string(1, static_cast<char16_t>(u'A' + values++ % 26));
    switch (random.Below(12)) {
      case 0:
        text += random.Of(kHeaders);
        break;
      case 1:  // a comment, or the key after another line's "="
        text += random.Of(kBlanks) + (random.Percent(50) ? u";" + key : u"x=" + key) + u"=" + value;
        break;
      case 2:  // no "=", or nothing but blanks
        text += random.Percent(50) ? key : random.Of(kBlanks);
        break;
      case 3:  // "=" and "[" in the value
        text += key + u"=" + value + (random.Percent(50) ? u"=[S]" : u"[");
        break;
      case 4:  // the shortest line, empty values
        text += key + u"=";
        break;
      default:
        text += random.Of(kBlanks) + key + random.Of(kBlanks) + u"=" + random.Of(kBlanks) + value +
                random.Of(kBlanks);
    }
    if (random.Percent(3))
      text.insert(lineStart + random.Below(text.size() - lineStart + 1), 1, u'\0');
    if (n + 1 < lines || random.Percent(80))
      text += random.Of(kBreaks);  // (a last line may end the file)
  }
  return text;
}

// UTF-8 written here; a lone surrogate becomes U+FFFD.
std::string Utf8(std::u16string_view text) {
  std::string bytes;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    const auto put = [&](unsigned b) { bytes.push_back(static_cast<char>(b)); };
    if (c < 0x80) {
      put(c);
    } else if (c < 0x800) {
      put(0xC0 | (c >> 6)), put(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      put(0xE0 | (c >> 12)), put(0x80 | ((c >> 6) & 0x3F)), put(0x80 | (c & 0x3F));
    } else {
      put(0xF0 | (c >> 18)), put(0x80 | ((c >> 12) & 0x3F)), put(0x80 | ((c >> 6) & 0x3F)),
          put(0x80 | (c & 0x3F));
    }
  }
  return bytes;
}

std::string Utf16(std::u16string_view text, bool bigEndian) {
  std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
  for (const char16_t c : text) {
    const auto high = static_cast<char>(c >> 8), low = static_cast<char>(c & 0xFF);
    bytes += bigEndian ? std::string{high, low} : std::string{low, high};
  }
  return bytes;
}

std::string Show(std::string_view bytes) {
  std::string shown;
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    if (b >= 32 && b < 127) {
      shown += c;
    } else {
      const char* const hex = "0123456789ABCDEF";
      shown += std::string("\\x") + hex[b >> 4] + hex[b & 15];
    }
  }
  return shown;
}

// The generated stores, each in its four encodings (UTF-16 LE and BE, UTF-8
// with and without the mark), with six queries, section and key, and the
// keys the store was made from.
template <typename Each>
void ForEachGeneratedStore(Each each) {
  Random random;
  std::size_t values = 0;
  for (int store = 0; store < 1000; ++store) {
    std::vector<std::u16string> keys;
    for (std::size_t n = 1 + random.Below(3); n > 0; --n) keys.push_back(Key(random));
    std::u16string text = (random.Percent(60) ? u"[S]" : random.Of(kHeaders)) + random.Of(kBreaks);
    if (random.Percent(30)) text = u"k=0\n" + text;
    text += Store(random, keys, values);
    if (random.Percent(10)) text += u"=";  // the shortest key line, last in the file
    std::string utf8 = Utf8(text);
    if (random.Percent(15)) {  // a byte that starts no sequence, or one cut short
      const char stray[] = {'\x80', '\xB1', '\xBF', '\xC1', '\xC4', '\xC5', '\xE2', '\xFF'};
      utf8.insert(random.Below(utf8.size() + 1), 1, random.Of(stray));
    }
    const std::string encodings[] = {Utf16(text, false), Utf16(text, true), "\xEF\xBB\xBF" + utf8,
                                     utf8};
    std::vector<std::pair<std::u16string, std::u16string>> queries;
    for (int q = 0; q < 6; ++q) {
      queries.emplace_back(random.Percent(70) ? u"S" : random.Of(kSections),
                           random.Percent(40) ? keys[random.Below(keys.size())]
                                              : Variant(random, keys[random.Below(keys.size())]));
    }
    for (const std::string& bytes : encodings) each(store, bytes, queries, keys);
  }
}

TEST(MemIniText, GeneratedStoresAnswerAsThePlainModelDoes) {
  std::size_t found = 0, missing = 0;
  ForEachGeneratedStore([&](int store, const std::string& bytes, const auto& queries, const auto&) {
    if (::testing::Test::HasFatalFailure()) return;
    const MemIniText product{std::string(bytes)};
    const testing::ReferenceIni model(bytes);
    for (const auto& [section, key] : queries) {
      const auto expected = model.Find(section, key);
      ++(expected ? found : missing);
      ASSERT_EQ(product.Find(section, key), expected)
          << "store " << store << " key \"" << Show(Utf8(key)) << "\" section \""
          << Show(Utf8(section)) << "\" in \"" << Show(bytes) << "\"";
      ASSERT_EQ(product.Keys(section), model.Keys(section))
          << "store " << store << " keys of section \"" << Show(Utf8(section)) << "\" in \""
          << Show(bytes) << "\"";
    }
  });
  // The stores are shaped so that many lookups find a line and many do not
  // (about 4,600 and 19,000 here; fewer found on Windows, where the text
  // without a mark is ANSI).
  EXPECT_GT(found, 3000u);
  EXPECT_GT(missing, 3000u);
}

// Every text of up to five units over the units the rules look at and
// letters that match across case and UTF-8 length (i, I, the dotless i; e
// with acute accent), in UTF-16 and in UTF-8, each in its two forms by turns
// (little- and big-endian; with and without the mark). Returns the count.
template <typename Each>
std::size_t ForEachShortText(Each each) {
  const char16_t units[] = {u'[',  u']',  u'=', u';', u' ',      u'\t',    u'\r',
                            u'\n', u'\0', u'i', u'I', u'\u0131', u'\u00E9'};
  constexpr std::size_t kUnitCount = std::size(units), kLongest = 5;
  std::size_t texts = 0;
  std::vector<std::size_t> digits;  // the text, as indexes into `units`
  for (;;) {
    std::u16string text;
    for (const std::size_t d : digits) text += units[d];
    const bool turn = texts % 2 == 1;
    for (const std::string& bytes : {Utf16(text, turn), (turn ? "" : "\xEF\xBB\xBF") + Utf8(text)})
      each(bytes);
    ++texts;
    // The next text: count up in base kUnitCount, one unit longer after
    // the last text of a length.
    std::size_t at = 0;
    while (at < digits.size() && ++digits[at] == kUnitCount) digits[at++] = 0;
    if (at == digits.size()) {
      if (digits.size() == kLongest) return texts;
      digits.push_back(0);
    }
  }
}

// Each short text answers as the model does (asked as stored, in capitals,
// in other UTF-8 lengths), so that the run takes a few seconds.
TEST(MemIniText, EveryShortTextAnswersAsThePlainModelDoes) {
  const std::pair<std::u16string, std::u16string> queries[] = {
      {u"", u""}, {u"i", u""}, {u"]", u""}, {u"", u";"}, {u"", u"\u0131"}, {u"", u"\u00C9"}};
  std::size_t found = 0, missing = 0;
  const std::size_t texts = ForEachShortText([&](const std::string& bytes) {
    if (::testing::Test::HasFatalFailure()) return;
    const MemIniText product{bytes};
    const testing::ReferenceIni model(bytes);
    for (const auto& [section, key] : queries) {
      const auto expected = model.Find(section, key);
      ++(expected ? found : missing);
      ASSERT_EQ(product.Find(section, key), expected)
          << "key \"" << Show(Utf8(key)) << "\" section \"" << Show(Utf8(section)) << "\" in \""
          << Show(bytes) << "\"";
      ASSERT_EQ(product.Keys(section), model.Keys(section))
          << "keys of section \"" << Show(Utf8(section)) << "\" in \"" << Show(bytes) << "\"";
    }
  });
  EXPECT_EQ(texts, 1 + 13 + 13 * 13 + 13 * 13 * 13 + 13 * 13 * 13 * 13 + 13 * 13 * 13 * 13 * 13);
  EXPECT_GT(found, 100u);
  EXPECT_GT(missing, texts);
}

// The candidate search against brute force, on the generated stores and the
// short texts, searched however short they are, and as the reader searches.
TEST(CandidateLines, ReportEveryLineThatHoldsTheName) {
  std::size_t holding = 0, skipped = 0;
  const auto check = [&](const std::string& bytes, std::u16string_view name) {
    for (const std::size_t shortRange : {std::size_t{0}, text::kShortRange}) {
      if (::testing::Test::HasFatalFailure()) return;
      const testing::CandidateCheck result = testing::CheckCandidateLines(bytes, name, shortRange);
      ASSERT_EQ(result.wrong, "") << "name \"" << Show(Utf8(name)) << "\" in \"" << Show(bytes)
                                  << "\"";
      holding += result.holding, skipped += result.skipped;
    }
  };
  ForEachGeneratedStore([&](int, const std::string& bytes, const auto& queries, const auto& keys) {
    for (const auto& [section, key] : queries) check(bytes, key), check(bytes, section);
    for (const auto& key : keys) check(bytes, key);
  });
  ForEachShortText([&](const std::string& bytes) { check(bytes, u"=\u00C9i"); });
  // Units at the edges of the UTF-8 lengths, and characters beyond U+FFFF
  // whose pairs begin or end their ranges, some of their low surrogates
  // among the escapes (U+DC80 to U+DCFF), in a name with runs around them.
  std::vector<std::u16string> edges = {u"\u007F", u"\u0080", u"\u07FF", u"\u0800"};
  for (const char16_t high : {0xD800, 0xD801, 0xDBFF})
    for (const char16_t low : {0xDC00, 0xDC80, 0xDCC0, 0xDCFF, 0xDFFF})
      edges.push_back({high, low});
  for (const std::u16string& edge : edges) {
    const std::u16string line = u"[S]\nxAB" + edge + u"CDx=1\nab" + edge + u"\n";
    for (const std::string& bytes : {Utf16(line, false), "\xEF\xBB\xBF" + Utf8(line)})
      check(bytes, u"ab" + edge + u"cd");
  }
  EXPECT_GT(holding, 20000u);
  EXPECT_GT(skipped, 20000u);
}

}  // namespace
}  // namespace ombrels
