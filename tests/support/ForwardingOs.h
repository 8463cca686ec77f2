// A platform backend for tests: forwards every operation to the native
// backend; a test derives from it and overrides what it wants to control.
#pragma once

#include "platform/platform.h"
#include "platform/testing.h"

namespace ombrels::testing {

class ForwardingOs : public platform::Os {
 public:
  platform::Os& native = platform::NativeOs();

  std::optional<std::string> RegistryValue(platform::RegistryRoot root, const std::string& subKey,
                                           const std::string& valueName) override {
    return native.RegistryValue(root, subKey, valueName);
  }
  platform::PlatformFamily Family() override { return native.Family(); }
  std::u16string ProfileString(const std::u16string& section, const std::u16string& key,
                               const std::u16string& defaultValue, const std::u16string& fileName,
                               std::size_t capacity) override {
    return native.ProfileString(section, key, defaultValue, fileName, capacity);
  }
  void FlushProfile(const std::u16string& fileName) override { native.FlushProfile(fileName); }
  std::u16string AnsiToWide(std::string_view text) override { return native.AnsiToWide(text); }
  std::string WideToAnsi(std::u16string_view text) override { return native.WideToAnsi(text); }
  bool AnsiDecodesAsUtf8() override { return native.AnsiDecodesAsUtf8(); }
  std::size_t CharLength(std::string_view text, std::size_t pos) override {
    return native.CharLength(text, pos);
  }
  bool IsFile(const std::string& path) override { return native.IsFile(path); }
  bool IsDirectory(const std::string& path) override { return native.IsDirectory(path); }
  bool MakeDirectory(const std::string& path) override { return native.MakeDirectory(path); }
  std::optional<std::int64_t> FileDate(const std::u16string& fileName) override {
    return native.FileDate(fileName);
  }
  platform::FileBytes ReadWholeFile(const std::u16string& fileName) override {
    return native.ReadWholeFile(fileName);
  }
  std::u16string FullPathName(const std::u16string& fileName) override {
    return native.FullPathName(fileName);
  }
  std::optional<std::string> LogonName(std::size_t capacity) override {
    return native.LogonName(capacity);
  }
  std::optional<std::string> AppDataFolder() override { return native.AppDataFolder(); }
};

// The native system, with the install directory of the test's choosing.
struct InstallAtOs : ForwardingOs {
  std::string install;
  explicit InstallAtOs(std::string dir) : install(std::move(dir)) {}
  std::optional<std::string> RegistryValue(platform::RegistryRoot, const std::string&,
                                           const std::string&) override {
    return install + '\0';
  }
};

}  // namespace ombrels::testing
