// Files and names no program should write, and the plugin reads anyway:
// it answers with its defined fallback, without crashing, and holds no
// more memory than three times the largest file plus 4 MiB.
#include <gtest/gtest.h>

#include <random>

#include "platform/platform.h"
#include "platform/testing.h"
#include "plugin/ContPlug.h"
#include "support/CountingAllocator.h"
#include "support/TempDir.h"
#include "support/TestEnvironment.h"

namespace ombrels {
namespace {

using namespace std::string_literals;
using testing::WriteBytes;

constexpr std::size_t MiB = 1024 * 1024;

class HostileTest : public ::testing::Test {
 protected:
  void SetUp() override { InstallAt(install_.path().string()); }
  void InstallAt(const std::string& dir) {
    registry_.Set(platform::RegistryRoot::LocalMachine, "Software\\Quorvel\\Ombrels", "",
                  dir + '\0');
  }
  std::string File(const std::string& name) const { return install_.file(name); }

  // One value, as the host asks for it; checks the memory it took.
  std::pair<int, std::string> Value(const std::string& file, std::size_t largestFile) {
    char buffer[2049];
    const std::size_t baseline = testing::ResetHeapPeak();
    const int result = ContentGetValue(file.c_str(), 0, 0, buffer, sizeof buffer, 0);
    const std::size_t used = testing::PeakHeapBytes() - baseline;
    EXPECT_LE(used, 3 * largestFile + 4 * MiB) << "peak heap of one value";
    return {result, buffer};
  }
  void Settings(const std::string& bytes) { WriteBytes(install_.path() / "settings.ini", bytes); }

  testing::TestRegistry registry_;
  testing::TempDir install_;
};

TEST_F(HostileTest, FiftyMegabyteStore) {
  std::string store = "[Files]\r\n";
  store.reserve(51 * MiB);
  for (int n = 0; store.size() < 50 * MiB; ++n)
    store += File("folder/file number " + std::to_string(n) + ".dat") + "=3\r\n";
  store += File("last.txt") + "=2\r\n";
  Settings(store);
  EXPECT_EQ(Value(File("last.txt"), store.size()), std::pair(int{ft_string}, "Cool"s));
  EXPECT_EQ(Value(File("absent.txt"), store.size()).first, ft_fieldempty);
}

TEST_F(HostileTest, RandomBytesAndBareMarks) {
  std::mt19937 random(7);
  std::string noise(MiB, '\0');
  for (char& c : noise) c = static_cast<char>(random());
  for (const std::string& bytes : {noise, "\xFF\xFE"s, "\xFE\xFF"s, "\xEF\xBB\xBF"s, ""s}) {
    Settings(bytes);
    const auto [result, text] = Value(File("a.txt"), bytes.size());
    EXPECT_TRUE(result == ft_fieldempty || result == ft_string);
    EXPECT_EQ(result == ft_fieldempty, text.empty());
  }
}

TEST_F(HostileTest, Utf16WithAnOddByteCount) {
  const std::u16string text =
      u"[Files]\r\n" + platform::NativeOs().AnsiToWide(File("a.txt")) + u"=8";
  const std::string bytes = testing::Utf16Bytes(text);
  Settings(bytes + "\x0A");
  const auto value = Value(File("a.txt"), bytes.size());
  // The in-memory reader drops the odd byte. The platform's profile API has
  // its own rule: Wine's takes the byte after its buffer as the high half of
  // a last character, so the value ends in that character or not, by chance.
  if (platform::NativeOs().Family() == platform::PlatformFamily::Windows95)
    EXPECT_EQ(value, std::pair(int{ft_string}, "New"s));
  else
    EXPECT_TRUE(value == std::pair(int{ft_string}, "New"s) || value.first == ft_fieldempty);
}

TEST_F(HostileTest, TenMegabyteLinesAndManySections) {
  const std::string huge(10 * MiB, '7');
  std::string store = "[Files]\r\n" + File("long.txt") + "=" + huge + "\r\n" + huge + "\r\n";
  for (int n = 0; n < 100000; ++n)
    store += "[Files]\r\n" + File("a.txt") + "=" + std::to_string(1 + n % 10) + "\r\n";
  Settings(store);
  // Which of the repeated sections counts is the reader's rule: the last
  // one for the in-memory reader; the platform's profile API has its own.
  const auto repeated = Value(File("a.txt"), store.size());
  if (platform::NativeOs().Family() == platform::PlatformFamily::Windows95) {
    EXPECT_EQ(repeated, std::pair(int{ft_string}, "Web"s));
    EXPECT_EQ(Value(File("long.txt"), store.size()).first, ft_fieldempty);  // an earlier section
  } else {
    EXPECT_TRUE(repeated.first == ft_string || repeated.first == ft_fieldempty);
  }
  Settings("[Files]\r\n" + File("long.txt") + "=" + huge + "\r\n");
  EXPECT_EQ(Value(File("long.txt"), huge.size()).first, ft_fieldempty);  // no 32-bit number
}

// Line breaks of one kind only, in a long file: each is found once.
TEST_F(HostileTest, LongFilesWithOnlyCrOrOnlyLf) {
  for (const char* lineBreak : {"\r", "\n"}) {
    std::string store = "[Files]";
    store += lineBreak;
    for (int n = 0; n < 200000; ++n)
      store += File("f") + std::to_string(n) + "=" + std::to_string(1 + n % 10) + lineBreak;
    Settings(store);
    EXPECT_EQ(Value(File("f199999"), store.size()), std::pair(int{ft_string}, "Web"s));
  }
}

// A name as long as the longest path is looked up; a longer one is no
// file's name, and gets the empty field even where the store holds it.
TEST_F(HostileTest, NamesUpToTheLongestPathAndInvalidBytes) {
  const std::string folder = File("");  // (ASCII: as many units as bytes)
  const std::string longest =
      folder + std::string(platform::kLongestPathUnits - folder.size(), 'n');
  const std::string invalid = File("bad\xC3\x28\xFF\xFE.txt");
  const std::string store = "[Files]\r\n" + longest + "=5\r\n" + longest + "n=7\r\n" + invalid +
                            "=6\r\n" + folder + std::string(MiB, 'n') + "=8\r\n";
  Settings(store);
  EXPECT_EQ(Value(longest, store.size()), std::pair(int{ft_string}, "Distinguished"s));
  EXPECT_EQ(Value(longest + "n", store.size()).first, ft_fieldempty);
  EXPECT_EQ(Value(folder + std::string(MiB, 'n'), store.size()).first, ft_fieldempty);
  // The same bytes, decoded the same way, are the same key.
  EXPECT_EQ(Value(invalid, store.size()), std::pair(int{ft_string}, "Favorite"s));
}

// Values and names of many megabytes, wherever they stand: the install
// directory without its terminating zero, each setting that is read as
// text, a mark, a translation, and the host's name. Each value stays within
// three times the largest file it reads plus 4 MiB.
TEST_F(HostileTest, HugeValuesAndNamesStayWithinTheBound) {
  const std::string huge(16 * MiB, 'x');
  const std::string marks = "[Files]\r\n" + File("a.txt") + "=2\r\n";
  Settings(marks);
  SCOPED_TRACE("the install directory");
  registry_.Set(platform::RegistryRoot::LocalMachine, "Software\\Quorvel\\Ombrels", "", huge);
  EXPECT_EQ(Value(File("a.txt"), huge.size()).first, ft_fieldempty);  // no folder that long
  InstallAt(install_.path().string());

  for (const std::string& settings :
       {"[Translate]\r\nCurLang=" + huge + "\r\n" + marks,       // no such language file
        "[Translate]\r\nCurLang=a/" + huge + "\r\n" + marks}) {  // none outside "langs"
    SCOPED_TRACE(settings.substr(0, 24));
    Settings(settings);
    EXPECT_EQ(Value(File("a.txt"), settings.size()), std::pair(int{ft_string}, "Cool"s));
  }
  testing::TempDir appData;
  testing::ScopedAppData scoped(appData.path().string());
  const std::string perUser = "[Options]\r\nBasePerUser=" + huge + "\r\n" + marks;
  SCOPED_TRACE("BasePerUser");
  Settings(perUser);
  EXPECT_EQ(Value(File("a.txt"), perUser.size()).first, ft_fieldempty);  // the user has no file

  // A mark of megabytes of letters outside ASCII (they go through the code
  // page to be read as a number).
  const std::string wide = platform::NativeOs().WideToAnsi(std::u16string(8 * MiB, u'\u00E9'));
  const std::string letters = "[Files]\r\n" + File("a.txt") + "=" + wide + "\r\n";
  SCOPED_TRACE("a mark");
  Settings(letters);
  EXPECT_EQ(Value(File("a.txt"), letters.size()).first, ft_fieldempty);

  // A translation of megabytes, with line breaks to put in.
  Settings(marks);
  const std::string dict = "[Dict]\r\nCool=" + huge + "/n" + huge + "\r\n";
  WriteBytes(install_.path() / "langs" / "Default", dict);
  SCOPED_TRACE("a translation");
  const auto [result, text] = Value(File("a.txt"), dict.size());
  EXPECT_EQ(result, ft_string);
  EXPECT_EQ(text.substr(0, 2047), std::string(2047, 'x'));  // (the profile API's values end there)

  // The host's name: nothing is read for a name longer than any path.
  SCOPED_TRACE("the host's name");
  EXPECT_EQ(Value(File(std::string(8 * MiB, 'n')), marks.size()).first, ft_fieldempty);
}

}  // namespace
}  // namespace ombrels
