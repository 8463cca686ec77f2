#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "support/TempDir.h"
#include "support/TestRegistry.h"

namespace ombrels::testing {
namespace {

std::filesystem::path KeyFolder(const std::string& root, platform::RegistryRoot key,
                                const std::string& subKey) {
  std::filesystem::path folder = root;
  folder /=
      key == platform::RegistryRoot::LocalMachine ? "HKEY_LOCAL_MACHINE" : "HKEY_CURRENT_USER";
  std::string part;
  for (char c : subKey + '\\') {
    if (c != '\\') {
      part += c;
    } else if (!part.empty()) {
      folder /= part;
      part.clear();
    }
  }
  return folder;
}

}  // namespace

// state_ holds the folder that stands in for the registry.
TestRegistry::TestRegistry() {
  state_ = (std::filesystem::temp_directory_path() /
            ("ombrels-registry-" + std::to_string(std::rand()) + std::to_string(::getpid())))
               .string();
  std::filesystem::create_directories(state_);
  ::setenv("OMBRELS_REGISTRY_ROOT", state_.c_str(), 1);
}

TestRegistry::~TestRegistry() {
  ::unsetenv("OMBRELS_REGISTRY_ROOT");
  std::error_code ignored;
  std::filesystem::remove_all(state_, ignored);
}

void TestRegistry::Set(platform::RegistryRoot root, const std::string& subKey,
                       const std::string& valueName, const std::string& data, bool) {
  WriteBytes(KeyFolder(state_, root, subKey) / (valueName.empty() ? "@" : valueName), data);
}

void TestRegistry::DeleteKey(platform::RegistryRoot root, const std::string& subKey) {
  std::filesystem::remove_all(KeyFolder(state_, root, subKey));
}

}  // namespace ombrels::testing
