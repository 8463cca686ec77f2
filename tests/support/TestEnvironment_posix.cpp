#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "support/TempDir.h"
#include "support/TestEnvironment.h"

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

TestRegistry::TestRegistry() {
  folder_ = (std::filesystem::temp_directory_path() /
             ("ombrels-registry-" + std::to_string(std::rand()) + std::to_string(::getpid())))
                .string();
  std::filesystem::create_directories(folder_);
  ::setenv("OMBRELS_REGISTRY_ROOT", folder_.c_str(), 1);
}

TestRegistry::~TestRegistry() {
  ::unsetenv("OMBRELS_REGISTRY_ROOT");
  std::error_code ignored;
  std::filesystem::remove_all(folder_, ignored);
}

void TestRegistry::Set(platform::RegistryRoot root, const std::string& subKey,
                       const std::string& valueName, const std::string& data, bool) {
  WriteBytes(KeyFolder(folder_, root, subKey) / (valueName.empty() ? "@" : valueName), data);
}

void TestRegistry::DeleteKey(platform::RegistryRoot root, const std::string& subKey) {
  std::filesystem::remove_all(KeyFolder(folder_, root, subKey));
}

ScopedAppData::ScopedAppData(const std::string& folder) {
  if (const char* old = std::getenv("XDG_CONFIG_HOME")) previous_ = old;
  ::setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
}

ScopedAppData::~ScopedAppData() {
  if (previous_) {
    ::setenv("XDG_CONFIG_HOME", previous_->c_str(), 1);
  } else {
    ::unsetenv("XDG_CONFIG_HOME");
  }
}

ProgramRun RunProgram(const std::vector<std::string>& args) {
  std::string command;
  for (const std::string& arg : args) {
    command += " '";
    for (char c : arg) command += c == '\'' ? std::string("'\\''") : std::string(1, c);
    command += '\'';
  }
  ProgramRun run;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return run;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
    run.output.append(buffer, n);
  const int status = ::pclose(pipe);
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

}  // namespace ombrels::testing
