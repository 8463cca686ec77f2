#include <windows.h>

#include <stdexcept>

#include "support/TestEnvironment.h"

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

namespace {

constexpr const char* kShellFolders =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";

void SetShellAppData(const std::string& value) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, kShellFolders, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                      nullptr) != ERROR_SUCCESS)
    throw std::runtime_error("cannot open the shell folders key");
  RegSetValueExA(key, "AppData", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                 static_cast<DWORD>(value.size() + 1));
  RegCloseKey(key);
}

}  // namespace

ScopedAppData::ScopedAppData(const std::string& folder) {
  char value[1024] = {};
  DWORD size = sizeof value - 1;
  if (RegGetValueA(HKEY_CURRENT_USER, kShellFolders, "AppData",
                   RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND | RRF_RT_REG_SZ, nullptr, value,
                   &size) == ERROR_SUCCESS)
    previous_ = value;
  SetShellAppData(folder);
}

ScopedAppData::~ScopedAppData() {
  SetShellAppData(previous_.value_or("%USERPROFILE%\\AppData\\Roaming"));
}

}  // namespace ombrels::testing
