#include <windows.h>

#include <stdexcept>

#include "support/TestRegistry.h"

namespace ombrels::testing {
namespace {

HKEY RootKey(platform::RegistryRoot root) {
  return root == platform::RegistryRoot::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

}  // namespace

// Tests write the 32-bit view, the one both modules read first.
TestRegistry::TestRegistry() = default;

TestRegistry::~TestRegistry() {
  for (const auto& [root, subKey] : keys_) DeleteKey(root, subKey);
}

void TestRegistry::Set(platform::RegistryRoot root, const std::string& subKey,
                       const std::string& valueName, const std::string& data, bool binary) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(RootKey(root), subKey.c_str(), 0, nullptr, 0, KEY_SET_VALUE | KEY_WOW64_32KEY,
                      nullptr, &key, nullptr) != ERROR_SUCCESS)
    throw std::runtime_error("cannot create registry key " + subKey);
  const LONG status =
      RegSetValueExA(key, valueName.c_str(), 0, binary ? REG_BINARY : REG_SZ,
                     reinterpret_cast<const BYTE*>(data.data()), static_cast<DWORD>(data.size()));
  RegCloseKey(key);
  if (status != ERROR_SUCCESS) throw std::runtime_error("cannot set registry value " + valueName);
  keys_.emplace_back(root, subKey);
}

void TestRegistry::DeleteKey(platform::RegistryRoot root, const std::string& subKey) {
  RegDeleteKeyExA(RootKey(root), subKey.c_str(), KEY_WOW64_32KEY, 0);
}

}  // namespace ombrels::testing
