// The per-user settings file: the option, the folder, the user's name.
#include "settings/PerUser.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <new>

#include "plugin/MarkStore.h"
#include "settings/SettingsFile.h"
#include "support/MemoryOs.h"
#include "support/TempDir.h"

namespace ombrels {
namespace {

using testing::MemoryOs;

const std::string S(1, platform::kPathSeparator);

TEST(GetCurrentUserName, TrimmedNameOrError) {
  MemoryOs os;
  platform::ScopedOs scoped(os);
  os.logonName = " anna\t";
  EXPECT_EQ(GetCurrentUserName(), "anna");
  os.logonName = "!anna!";  // trimming stops at code 32
  EXPECT_EQ(GetCurrentUserName(), "!anna!");
  os.logonName = std::nullopt;
  EXPECT_EQ(GetCurrentUserName(), "error");
  os.logonName = std::string(252, 'n');  // with its zero, just fits 253 bytes
  EXPECT_EQ(GetCurrentUserName(), std::string(252, 'n'));
  os.logonName = std::string(253, 'n');
  EXPECT_EQ(GetCurrentUserName(), "error");
}

TEST(GetCurrentUserName, AFailureMeansError) {
  struct FailingOs : MemoryOs {
    std::optional<std::string> LogonName(std::size_t) override { throw std::bad_alloc(); }
  } os;
  platform::ScopedOs scoped(os);
  EXPECT_EQ(GetCurrentUserName(), "error");
}

class ForceDirectoryChainTest : public ::testing::Test {
 protected:
  MemoryOs os_;
  platform::ScopedOs scoped_{os_};
};

TEST_F(ForceDirectoryChainTest, CreatesWhatIsMissingFromTheRootDown) {
  os_.directories = {"C:" + S};
  EXPECT_TRUE(ForceDirectoryChain("C:" + S + "Data" + S + "A" + S + "B"));
  EXPECT_EQ(os_.created,
            (std::vector<std::string>{"C:" + S + "Data" + S, "C:" + S + "Data" + S + "A" + S,
                                      "C:" + S + "Data" + S + "A" + S + "B" + S}));
  os_.created.clear();
  EXPECT_TRUE(ForceDirectoryChain("C:" + S + "Data" + S + "A" + S + "B" + S));  // all there
  EXPECT_TRUE(os_.created.empty());
  EXPECT_TRUE(ForceDirectoryChain(S + "R"));  // the root itself comes first
  EXPECT_EQ(os_.created, (std::vector<std::string>{S, S + "R" + S}));
}

TEST_F(ForceDirectoryChainTest, StopsAtTheFirstFolderThatCannotBeMade) {
  os_.directories = {"R" + S};
  os_.uncreatable = {"R" + S + "x" + S};
  EXPECT_FALSE(ForceDirectoryChain("R" + S + "x" + S + "y"));
  EXPECT_TRUE(os_.created.empty());
}

TEST_F(ForceDirectoryChainTest, EmptyPathOrLoneSeparatorCreatesNothing) {
  EXPECT_FALSE(ForceDirectoryChain(""));
  EXPECT_FALSE(ForceDirectoryChain(S));
  EXPECT_TRUE(os_.created.empty());
}

TEST_F(ForceDirectoryChainTest, NetworkPathStopsAtThePairOfSeparators) {
  os_.directories = {S};
  os_.uncreatable = {S + S};
  EXPECT_FALSE(ForceDirectoryChain(S + S + "server" + S + "share"));
  EXPECT_TRUE(os_.created.empty());
}

// A double-byte code page whose trail byte may equal the separator.
struct TrailIsSeparatorOs : MemoryOs {
  std::size_t CharLength(std::string_view text, std::size_t pos) override {
    return static_cast<unsigned char>(text[pos]) == 0x95 && pos + 1 < text.size() ? 2 : 1;
  }
};

TEST(ForceDirectoryChainDbcs, TrailByteNeverEndsAFolderName) {
  TrailIsSeparatorOs os;
  platform::ScopedOs scoped(os);
  os.directories = {"R" + S};
  const std::string kanji = "\x95" + S;  // one character
  EXPECT_TRUE(ForceDirectoryChain("R" + S + kanji + S + "sub"));
  EXPECT_EQ(os.created,
            (std::vector<std::string>{"R" + S + kanji + S, "R" + S + kanji + S + "sub" + S}));
  // Nor does it count as the path's trailing separator.
  os.created.clear();
  EXPECT_TRUE(ForceDirectoryChain("R" + S + "x" + kanji));
  EXPECT_EQ(os.created, (std::vector<std::string>{"R" + S + "x" + kanji + S}));
}

TEST(ForceDirectoryChainOnDisk, MakesOnlyTheMissingFolders) {
  testing::TempDir dir;
  testing::WriteBytes(dir.path() / "a" / "keep.txt", "x");
  const std::string path = dir.file("a") + S + "b" + S + "c";
  EXPECT_TRUE(ForceDirectoryChain(path));
  EXPECT_TRUE(std::filesystem::is_directory(path));
  EXPECT_TRUE(ForceDirectoryChain(path + S));
  std::vector<std::string> entries;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(dir.path()))
    entries.push_back(entry.path().lexically_relative(dir.path()).generic_string());
  std::sort(entries.begin(), entries.end());
  EXPECT_EQ(entries, (std::vector<std::string>{"a", "a/b", "a/b/c", "a/keep.txt"}));
  EXPECT_EQ(testing::ReadBytes(dir.path() / "a" / "keep.txt"), "x");
  // A file where a folder should be: the chain cannot be made.
  EXPECT_FALSE(ForceDirectoryChain(dir.file("a") + S + "keep.txt" + S + "d"));
}

class SettingsFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    os_.installDir = "I";
    os_.appData = "U";
    os_.directories = {"U" + S};
  }
  void Option(const std::string& line) {
    os_.files[shared_] = "[Options]\n" + line + "\n[Files]\nf=2\n";
  }
  MemoryOs os_;
  platform::ScopedOs scoped_{os_};
  const std::string shared_ = "I" + S + "settings.ini";
  const std::string perUser_ = "U" + S + "Quorvel Ombrels" + S + "anna.ini";
};

TEST_F(SettingsFileTest, ZeroOrNoOptionMeansTheSharedFile) {
  for (const char* line : {"BasePerUser=0", "BasePerUser = 0 ", "Other=1"}) {
    Option(line);
    EXPECT_EQ(GetSettingsFilePath(), shared_) << line;
  }
  os_.files.clear();
  EXPECT_EQ(GetSettingsFilePath(), shared_);
  Option("BasePerUser=1");
  os_.unreadable = {shared_};  // the option read fails: "0"
  EXPECT_EQ(GetSettingsFilePath(), shared_);
  EXPECT_TRUE(os_.created.empty());
}

TEST_F(SettingsFileTest, AnyOtherValueMeansTheUsersFileInItsOwnFolder) {
  for (const char* line : {"BasePerUser=1", "BasePerUser=yes", "BasePerUser=00", "BasePerUser="}) {
    Option(line);
    EXPECT_EQ(GetSettingsFilePath(), perUser_) << line;
  }
  EXPECT_EQ(os_.created, std::vector<std::string>{"U" + S + "Quorvel Ombrels" + S});
}

TEST_F(SettingsFileTest, FallbacksForFolderAndName) {
  Option("BasePerUser=1");
  os_.uncreatable = {"U" + S + "Quorvel Ombrels" + S};  // named all the same
  EXPECT_EQ(GetSettingsFilePath(), perUser_);
  os_.logonName = std::nullopt;
  EXPECT_EQ(GetSettingsFilePath(), "U" + S + "Quorvel Ombrels" + S + "error.ini");
  os_.logonName = "anna";
  os_.appData = std::nullopt;  // the install directory serves
  EXPECT_EQ(GetSettingsFilePath(), "I" + S + "anna.ini");
}

TEST_F(SettingsFileTest, LookupReadsTheFileInForce) {
  Option("BasePerUser=0");
  EXPECT_EQ(LookupMarkNumber(u"f"), 2);
  Option("BasePerUser=1");
  EXPECT_EQ(LookupMarkNumber(u"f"), 0);  // no user file yet
  os_.files[perUser_] =
      "[Files]\nf=9\n[Options]\nBasePerUser=0\n";  // options count only when shared
  EXPECT_EQ(LookupMarkNumber(u"f"), 9);
}

TEST(SettingsFileProfileApi, OnlyABareZeroMeansTheSharedFile) {
  testing::ProfileApiOs os;
  platform::ScopedOs scoped(os);
  os.installDir = "I";
  os.appData = "U";
  os.directories = {"U" + S};
  const std::string shared = "I" + S + "settings.ini";
  os.answers[{shared, u"Options", u"BasePerUser"}] = u" 0";  // "\" 0\"" unquoted
  EXPECT_EQ(GetSettingsFilePath(), "U" + S + "Quorvel Ombrels" + S + "anna.ini");
  os.answers[{shared, u"Options", u"BasePerUser"}] = u"0";
  EXPECT_EQ(GetSettingsFilePath(), shared);
}

}  // namespace
}  // namespace ombrels
