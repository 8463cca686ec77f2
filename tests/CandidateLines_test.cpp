// The candidate search on texts made to defeat it: text that shares a short
// period with the name, in runs just short of the name, on lines of one run
// or on one long line. Its work is counted, not timed: every unit it reads
// and every unit a search for a line break goes over stays within a fixed
// multiple of the text and the name, and it still reports every line that
// holds the name; the reader answers there as the plain model does.
#include "settings/CandidateLines.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "settings/MemIniText.h"
#include "support/ReferenceIni.h"

namespace ombrels {
namespace {

// Reads of the text, counted.
template <typename View>
struct Counting : View {
  std::size_t* reads = nullptr;

  char16_t operator[](std::size_t i) const {
    ++*reads;
    return View::operator[](i);
  }
  std::size_t Find(char c, std::size_t from) const {
    const std::size_t at = View::Find(c, from);
    *reads += at - from + 1;
    return at;
  }
  Counting Before(std::size_t end) const { return {View::Before(end), reads}; }
};

// A unit that no text of these holds, to end a run.
constexpr char16_t kBreaker = u'#';

std::u16string Repeated(std::u16string_view period, std::size_t size) {
  std::u16string text;
  while (text.size() < size) text += period;
  text.resize(size);
  return text;
}

std::string Bytes(const std::u16string& text, int encoding) {
  if (encoding == 0) return platform::Utf16ToUtf8(text);
  std::string bytes;
  for (const char16_t c : text) {
    const auto high = static_cast<char>(c >> 8), low = static_cast<char>(c & 0xFF);
    bytes += encoding == 1 ? std::string{low, high} : std::string{high, low};
  }
  return bytes;
}

// The text as a store, its byte-order mark first.
std::string Store(const std::u16string& text, int encoding) {
  const char* const marks[] = {"\xEF\xBB\xBF", "\xFF\xFE", "\xFE\xFF"};
  return marks[encoding] + Bytes(text, encoding);
}

struct Work {
  std::size_t reads = 0, lines = 0;
  std::vector<std::size_t> reported;  // where each reported line begins
};

// One search over the whole text, counted; lines reported in order and whole.
Work Search(const std::string& bytes, int encoding, std::u16string_view name) {
  Work work;
  const auto count = [&](auto view) {
    const std::size_t size = view.size();
    std::size_t next = 0;
    text::ForEachCandidateLine(view, name, 0, size, [&](std::size_t begin, std::size_t end) {
      EXPECT_LE(next, begin);
      EXPECT_TRUE(end == size || text::IsBreak(view[end]));
      work.reported.push_back(begin);
      next = end + 1;
    });
  };
  if (encoding == 0) {
    count(Counting<text::Utf8Text>{{bytes}, &work.reads});
  } else {
    count(Counting<text::Utf16Text>{{bytes, encoding == 2}, &work.reads});
  }
  return work;
}

TEST(CandidateLines, WorkIsLinearOnTextMadeToDefeatTheSearch) {
  // Periods of one to eight units, some of them letters in the other case
  // than the name's, some two bytes long in UTF-8; "~\u00BD" hashes to the
  // last entry of the shift tables (4095) in UTF-16.
  const std::u16string periods[] = {u"a",      u"/a",      u"aB/",          u"/\u00E9/a", u"ab/Cd",
                                    u"a/bc/d", u"~\u00BD", u"/a\u00C9bC/d", u"abcdefg/"};
  const std::size_t lengths[] = {2, 3, 5, 16, 100, 700, 4096};
  constexpr std::size_t kLinear = 8;  // reads per unit of the text and the name
  std::size_t cases = 0, worst = 0;
  for (const std::u16string& period : periods) {
    for (const std::size_t length : lengths) {
      std::u16string name = Repeated(period, length);
      for (char16_t& c : name) c = c < 0x80 ? static_cast<char16_t>(std::toupper(c)) : c;
      const std::size_t size = 32 * length + 8192;
      // Runs just short of the name, ending at each place of the period
      // and at three quarters of the name: several to a line, one to a
      // line, or all on one line; the name itself on a few lines between.
      for (const std::size_t runsPerLine : {4u, 1u, 0u}) {
        std::u16string text;
        std::vector<std::size_t> holding;
        for (std::size_t runs = 0; text.size() < size; ++runs) {
          if (runs % 97 == 50) {  // a line of its own
            if (text.back() != u'\n') text += u'\n';
            holding.push_back(text.size());
            text += Repeated(period, length) + u"=1\n";
          }
          const std::size_t shorter = std::min(runs % (period.size() + 2), length - 1);
          text += Repeated(period, shorter <= period.size() ? length - 1 - shorter
                                                            : length * 3 / 4 + runs % 2) +
                  kBreaker;
          if (runsPerLine != 0 && runs % runsPerLine == runsPerLine - 1) text += u'\n';
        }
        for (int encoding = 0; encoding < 3; ++encoding) {
          const std::string bytes = Bytes(text, encoding);
          const std::size_t units = encoding == 0 ? bytes.size() : text.size();
          const Work work = Search(bytes, encoding, name);
          const double perUnit = double(work.reads) / double(units + length);
          worst = std::max(worst, std::size_t(perUnit * 100));
          ++cases;
          EXPECT_LE(work.reads, kLinear * (units + length))
              << "period \"" << platform::Utf16ToUtf8(period) << "\", name of " << length
              << " units, " << runsPerLine << " runs a line, encoding " << encoding;
          // Each line that holds the name is among those reported (a UTF-8
          // line begins at another byte than its unit, so count them).
          std::size_t found = 0;
          for (const std::size_t at : holding) {
            const std::size_t begin =
                encoding == 0 ? platform::Utf16ToUtf8(text.substr(0, at)).size() : at;
            found += std::count(work.reported.begin(), work.reported.end(), begin);
          }
          EXPECT_EQ(found, holding.size());
          // The reader on the same text as a store answers as the model does.
          const std::string store = Store(u"[S]\n" + text, encoding);
          EXPECT_EQ(MemIniText(std::string(store)).Find(u"S", name),
                    testing::ReferenceIni(store).Find(u"S", name));
        }
      }
    }
  }
  std::printf("%zu cases, at most %.2f reads per unit\n", cases, worst / 100.0);
}

// On a store as users have them (CR LF line ends, ten thousand photos of
// one folder), the search skips most of the text: it reads under a quarter
// of its units, where passing every line reads each unit at least once.
TEST(CandidateLines, AnOrdinaryStoreIsMostlySkipped) {
  std::u16string text;
  for (int n = 0; n < 10000; ++n) {
    const std::string number = std::to_string(100000 + n).substr(1);
    text += u"/home/anna/Pictures/2019-07 Lake/IMG_" +
            std::u16string(number.begin(), number.end()) + u".JPG=" + char16_t(u'1' + n % 9) +
            u"\r\n";
  }
  const std::u16string name = u"/home/anna/Pictures/2019-07 Lake/img_04242.jpg";
  for (int encoding = 0; encoding < 3; ++encoding) {
    const std::string bytes = Bytes(text, encoding);
    const std::size_t units = encoding == 0 ? bytes.size() : text.size();
    const Work work = Search(bytes, encoding, name);
    EXPECT_LT(work.reads, units / 4) << encoding;
    const std::size_t line = text.find(u"IMG_04242"), begin = text.rfind(u'\n', line) + 1;
    EXPECT_EQ(
        std::count(work.reported.begin(), work.reported.end(),
                   encoding == 0 ? platform::Utf16ToUtf8(text.substr(0, begin)).size() : begin),
        1)
        << encoding;
  }
}

// A folder's mark among the marks of its files, whose lines all hold its
// name: the later half passes some thousands of them from its search and
// the rest line by line, down to the folder's own line at the end.
TEST(CandidateLines, EveryLineHoldsTheName) {
  std::u16string text = u"[S]\n";
  for (int n = 0; n < 20000; ++n) text += u"/Dir/f" + std::u16string(1, u'a' + n % 26) + u"=1\n";
  text += u"/dir=5\n";
  for (int encoding = 0; encoding < 3; ++encoding)
    EXPECT_EQ(MemIniText(Store(text, encoding)).Find(u"S", u"/DIR"), u"5") << encoding;
}

}  // namespace
}  // namespace ombrels
