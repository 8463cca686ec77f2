// The parts of the system a test sets up: registry values (in the native
// registry or its stand-in) and the user's application-data folder; and
// programs it runs.
#pragma once

#include <optional>
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

// Makes `folder` the user's application-data folder for the lifetime of
// this object (the shell's AppData folder on Windows, XDG_CONFIG_HOME on
// POSIX).
class ScopedAppData {
 public:
  explicit ScopedAppData(const std::string& folder);
  ~ScopedAppData();
  ScopedAppData(const ScopedAppData&) = delete;
  ScopedAppData& operator=(const ScopedAppData&) = delete;

 private:
  std::optional<std::string> previous_;
};

// Runs a program with these arguments (the program's path first) and waits
// for it: its exit code and what it wrote to its standard output.
struct ProgramRun {
  int exitCode = -1;
  std::string output;
};
ProgramRun RunProgram(const std::vector<std::string>& args);

}  // namespace ombrels::testing
