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

ProgramRun RunProgram(const std::vector<std::string>& args) {
  // Each argument quoted as the C runtime splits a command line: backslashes
  // count only before a quotation mark.
  std::string command;
  for (const std::string& arg : args) {
    command += command.empty() ? "\"" : " \"";
    std::size_t slashes = 0;
    for (char c : arg) {
      if (c == '\\') {
        ++slashes;
        continue;
      }
      command.append(c == '"' ? 2 * slashes + 1 : slashes, '\\');
      slashes = 0;
      command += c;
    }
    command.append(2 * slashes, '\\');
    command += '"';
  }
  ProgramRun run;
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE readEnd = nullptr, writeEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return run;
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = writeEnd;
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION process{};
  const BOOL started = CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                      nullptr, &startup, &process);
  CloseHandle(writeEnd);
  if (started) {
    char buffer[4096];
    DWORD n = 0;
    while (ReadFile(readEnd, buffer, sizeof buffer, &n, nullptr) && n > 0)
      run.output.append(buffer, n);
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    if (GetExitCodeProcess(process.hProcess, &code)) run.exitCode = static_cast<int>(code);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
  }
  CloseHandle(readEnd);
  return run;
}

}  // namespace ombrels::testing
