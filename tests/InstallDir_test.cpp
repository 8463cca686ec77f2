// Registry text and the paths built from it.
#include "plugin/InstallDir.h"

#include <gtest/gtest.h>

#include "settings/SettingsFile.h"
#include "support/ForwardingOs.h"

namespace ombrels {
namespace {

using namespace std::string_literals;

struct RegistryOs : testing::ForwardingOs {
  std::optional<std::string> data;
  platform::RegistryRoot root{};
  std::string subKey, valueName;
  std::optional<std::string> RegistryValue(platform::RegistryRoot r, const std::string& k,
                                           const std::string& v) override {
    root = r;
    subKey = k;
    valueName = v;
    return data;
  }
};

TEST(ReadRegistryText, TakesTheDataUpToItsFirstZeroByte) {
  RegistryOs os;
  platform::ScopedOs scoped(os);
  const auto text = [&](std::optional<std::string> data) {
    os.data = std::move(data);
    return ReadRegistryText("Some\\Key", "Name", platform::RegistryRoot::CurrentUser);
  };
  EXPECT_EQ(text("C:\\Ombrels\0"s), "C:\\Ombrels");
  EXPECT_EQ(text("C:\\Ombrels"s), "C:\\Ombrels");  // no terminator: nothing is lost
  EXPECT_EQ(text("C:\\A\0B\0"s), "C:\\A");
  EXPECT_EQ(text("\x2A\0\0\0"s), "\x2A");  // a number is read as its bytes
  EXPECT_EQ(text("\0"s), "");
  EXPECT_EQ(text(""s), "");
  EXPECT_EQ(text(std::nullopt), "");
  EXPECT_EQ(os.subKey, "Some\\Key");
  EXPECT_EQ(os.valueName, "Name");
  EXPECT_EQ(os.root, platform::RegistryRoot::CurrentUser);
}

TEST(GetInstallDir, ReadsTheDefaultValueOfTheInstallKey) {
  RegistryOs os;
  os.data = "/opt/ombrels/\0"s;
  platform::ScopedOs scoped(os);
  EXPECT_EQ(GetInstallDir(), "/opt/ombrels/");
  EXPECT_EQ(os.root, platform::RegistryRoot::LocalMachine);
  EXPECT_EQ(os.subKey, "Software\\Quorvel\\Ombrels");
  EXPECT_EQ(os.valueName, "");
  // Plain concatenation: a trailing separator is doubled, an empty directory
  // leaves the bare file name after the separator.
  const std::string sep(1, platform::kPathSeparator);
  EXPECT_EQ(GetSettingsFilePath(), "/opt/ombrels/" + sep + "settings.ini");
  os.data = std::nullopt;
  EXPECT_EQ(GetSettingsFilePath(), sep + "settings.ini");
  // As long as the longest path, it is taken; one byte longer, refused.
  os.data = std::string(platform::kLongestPath, 'd');
  EXPECT_EQ(GetInstallDir(), *os.data);
  os.data = std::string(platform::kLongestPath + 1, 'd');
  EXPECT_THROW(GetInstallDir(), InstallDirTooLong);
}

}  // namespace
}  // namespace ombrels
