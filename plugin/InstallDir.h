// The install directory, read from the registry.
#pragma once

#include <string>

#include "platform/platform.h"

namespace ombrels {

inline constexpr const char* kInstallKey = "Software\\Quorvel\\Ombrels";

// The data of one registry value as ANSI text: up to its first zero byte,
// or all of it when it holds none. Empty when it cannot be read.
std::string ReadRegistryText(const std::string& subKey, const std::string& valueName,
                             platform::RegistryRoot root);

// The default value of the install key under HKEY_LOCAL_MACHINE, unchanged.
std::string GetInstallDir();

}  // namespace ombrels
