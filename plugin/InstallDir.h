// The install directory, read from the registry.
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>

#include "platform/platform.h"

namespace ombrels {

inline constexpr const char* kInstallKey = "Software\\Quorvel\\Ombrels";

// What reading one registry value found: whether it could be read, the
// size of its data in bytes, and the text made of it.
struct RegistryReading {
  bool read = false;
  std::size_t size = 0;
  std::string text;
};

// The data of one registry value as ANSI text: up to its first zero byte,
// or all of it when it holds none. Empty when it cannot be read. `reading`,
// when given, receives what was found.
std::string ReadRegistryText(const std::string& subKey, const std::string& valueName,
                             platform::RegistryRoot root, RegistryReading* reading = nullptr);

// An install directory longer than any path: no file lies in it, so no
// settings file can be read from it.
class InstallDirTooLong : public std::length_error {
 public:
  InstallDirTooLong() : std::length_error("the install directory is longer than any path") {}
};

// The default value of the install key under HKEY_LOCAL_MACHINE, unchanged.
// Throws InstallDirTooLong when it is longer than any path: the guards
// above then answer as for a folder without files, as the system would.
std::string GetInstallDir(RegistryReading* reading = nullptr);

}  // namespace ombrels
