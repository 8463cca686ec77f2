// The contract every platform backend keeps: the same cases run against
// the Win32 backend on Windows and the POSIX stand-ins elsewhere.
#include <gtest/gtest.h>

#include "platform/testing.h"
#include "support/TempDir.h"
#include "support/TestEnvironment.h"

namespace ombrels {
namespace {

using namespace std::string_literals;
using platform::RegistryRoot;
using testing::TempDir;
using testing::WriteBytes;

constexpr const char* kKey = "Software\\Quorvel\\OmbrelsTest";

class PlatformTest : public ::testing::Test {
 protected:
  platform::Os& os_ = platform::NativeOs();
  testing::TestRegistry registry_;
  TempDir dir_;
};

TEST_F(PlatformTest, RegistryValueHandsOutTheStoredBytes) {
  registry_.Set(RegistryRoot::LocalMachine, kKey, "", "C:\\Ombrels\0"s);
  registry_.Set(RegistryRoot::LocalMachine, kKey, "Raw", "\x01\x00\x02"s, true);
  registry_.Set(RegistryRoot::CurrentUser, kKey, "Name", "user value\0"s);
  EXPECT_EQ(os_.RegistryValue(RegistryRoot::LocalMachine, kKey, ""), "C:\\Ombrels\0"s);
  EXPECT_EQ(os_.RegistryValue(RegistryRoot::LocalMachine, kKey, "Raw"), "\x01\x00\x02"s);
  EXPECT_EQ(os_.RegistryValue(RegistryRoot::CurrentUser, kKey, "Name"), "user value\0"s);
  EXPECT_EQ(os_.RegistryValue(RegistryRoot::LocalMachine, kKey, "Missing"), std::nullopt);
  EXPECT_EQ(os_.RegistryValue(RegistryRoot::CurrentUser, kKey, ""), std::nullopt);
  registry_.DeleteKey(RegistryRoot::LocalMachine, kKey);
  EXPECT_EQ(os_.RegistryValue(RegistryRoot::LocalMachine, kKey, ""), std::nullopt);
}

TEST_F(PlatformTest, RegistryValueOfSizeZeroIsEmpty) {
  registry_.Set(RegistryRoot::LocalMachine, kKey, "Empty", "", true);
  EXPECT_EQ(os_.RegistryValue(RegistryRoot::LocalMachine, kKey, "Empty"), "");
}

TEST_F(PlatformTest, AsciiConvertsBothWays) {
  EXPECT_EQ(os_.AnsiToWide("C:\\Data\\file 1.txt"), u"C:\\Data\\file 1.txt");
  EXPECT_EQ(os_.WideToAnsi(u"C:\\Data\\file 1.txt"), "C:\\Data\\file 1.txt");
  EXPECT_EQ(os_.AnsiToWide(""), u"");
  EXPECT_EQ(os_.WideToAnsi(u""), "");
  EXPECT_EQ(os_.CharLength("a\\b", 0), 1u);
  EXPECT_EQ(os_.CharLength("a\\b", 1), 1u);
}

TEST_F(PlatformTest, FilesAndDirectories) {
  const std::string file = dir_.file("a.ini");
  const std::string sub = dir_.file("sub");
  WriteBytes(file, "x");
  EXPECT_TRUE(os_.IsFile(file));
  EXPECT_FALSE(os_.IsDirectory(file));
  EXPECT_FALSE(os_.IsFile(dir_.path().string()));
  EXPECT_TRUE(os_.IsDirectory(dir_.path().string()));
  EXPECT_FALSE(os_.IsFile(dir_.file("none")));
  EXPECT_FALSE(os_.IsDirectory(dir_.file("none")));

  EXPECT_TRUE(os_.MakeDirectory(sub));
  EXPECT_TRUE(os_.IsDirectory(sub));
  EXPECT_FALSE(os_.MakeDirectory(sub));  // already there
  EXPECT_FALSE(os_.MakeDirectory(dir_.file("none/deeper")));
  EXPECT_FALSE(os_.IsDirectory(dir_.file("none")));
}

TEST_F(PlatformTest, WholeFileAndItsDate) {
  const auto wide = [&](const std::string& name) { return os_.AnsiToWide(dir_.file(name)); };
  const std::string bytes = "\xFF\xFE[\0F\0]\0\0\0tail"s;
  WriteBytes(dir_.file("a.ini"), bytes);
  const platform::FileBytes read = os_.ReadWholeFile(wide("a.ini"));
  EXPECT_TRUE(read.ok);
  EXPECT_EQ(read.bytes, bytes);

  const platform::FileBytes missing = os_.ReadWholeFile(wide("none.ini"));
  EXPECT_FALSE(missing.ok);
  EXPECT_TRUE(missing.absent);
  EXPECT_FALSE(missing.error.empty());

  const auto date = os_.FileDate(wide("a.ini"));
  ASSERT_TRUE(date.has_value());
  EXPECT_EQ(read.date, *date);
  std::filesystem::last_write_time(
      dir_.path() / "a.ini",
      std::filesystem::last_write_time(dir_.path() / "a.ini") + std::chrono::hours(2));
  EXPECT_NE(os_.FileDate(wide("a.ini")), date);
  EXPECT_EQ(os_.FileDate(wide("none.ini")), std::nullopt);
  std::filesystem::create_directories(dir_.path() / "d");
  EXPECT_EQ(os_.FileDate(wide("d")), std::nullopt);
  EXPECT_TRUE(os_.ReadWholeFile(wide("d")).absent);
  EXPECT_FALSE(read.absent);
}

TEST_F(PlatformTest, FullPathNameOfARelativeName) {
  const std::u16string full = os_.FullPathName(u"settings.ini");
  EXPECT_GT(full.size(), std::u16string(u"settings.ini").size());
  EXPECT_EQ(full.substr(full.size() - 12), u"settings.ini");
}

TEST_F(PlatformTest, LogonNameFitsItsBufferOrFails) {
  const auto name = os_.LogonName(253);
  ASSERT_TRUE(name.has_value());
  EXPECT_FALSE(name->empty());
  EXPECT_EQ(os_.LogonName(name->size()), std::nullopt);  // no room for the zero
  EXPECT_EQ(os_.LogonName(name->size() + 1), name);
}

}  // namespace
}  // namespace ombrels
