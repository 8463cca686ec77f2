// Registry data of any bytes: the install directory is the data up to its
// first zero byte, and the settings path is built from it unchanged; a
// directory longer than any path is refused.
#include <cstdlib>
#include <string>

#include "platform/platform.h"
#include "plugin/InstallDir.h"
#include "settings/SettingsFile.h"
#include "support/ForwardingOs.h"

namespace {
struct RegistryOs : ombrels::testing::ForwardingOs {
  std::optional<std::string> data;
  std::optional<std::string> RegistryValue(ombrels::platform::RegistryRoot, const std::string&,
                                           const std::string&) override {
    return data;
  }
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static RegistryOs os;
  static ombrels::platform::ScopedOs scoped(os);
  os.data = std::string(reinterpret_cast<const char*>(data), size);
  const std::string expected = os.data->substr(0, os.data->find('\0'));
  if (expected.size() > ombrels::platform::kLongestPath) {
    try {
      ombrels::GetInstallDir();
      std::abort();
    } catch (const ombrels::InstallDirTooLong&) {
      return 0;
    }
  }
  if (ombrels::GetInstallDir() != expected) std::abort();
  if (ombrels::GetSharedSettingsFilePath() !=
      expected + ombrels::platform::kPathSeparator + "settings.ini")
    std::abort();
  return 0;
}
