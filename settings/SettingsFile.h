// Which settings file is in force.
#pragma once

#include <string>

namespace ombrels {

// The shared settings file: the install directory and "settings.ini".
std::string GetSharedSettingsFilePath();

// The settings file that lookups and the language choice read.
std::string GetSettingsFilePath();

}  // namespace ombrels
