// Writing registry values for tests, in the native registry or its stand-in.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "platform/platform.h"

namespace ombrels::testing {

// Gives the test a registry of its own where the platform allows it (the
// stand-in's folder tree), and removes what the test wrote afterwards.
class TestRegistry {
 public:
  TestRegistry();
  ~TestRegistry();
  TestRegistry(const TestRegistry&) = delete;
  TestRegistry& operator=(const TestRegistry&) = delete;

  // Stores `data` as the value, byte for byte, with the registry type of a
  // text value (REG_SZ) unless `binary` is set.
  void Set(platform::RegistryRoot root, const std::string& subKey, const std::string& valueName,
           const std::string& data, bool binary = false);
  void DeleteKey(platform::RegistryRoot root, const std::string& subKey);

 private:
  std::string folder_;  // the stand-in's folder tree, where there is one
  std::vector<std::pair<platform::RegistryRoot, std::string>> keys_;
};

}  // namespace ombrels::testing
