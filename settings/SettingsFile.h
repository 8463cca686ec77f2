// Which settings file is in force.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "plugin/InstallDir.h"

namespace ombrels {

// The shared settings file: the install directory and "settings.ini".
std::string GetSharedSettingsFilePath();

// One entry of a settings file (an ANSI path) as ANSI text: a reader made
// for it, and released before the value is converted, so that a file's
// bytes, its value and the value's conversion are never held at once.
std::string ReadAnsiEntry(const std::string& file, const std::u16string& section,
                          const std::u16string& key, const std::u16string& defaultValue);

// How the settings file in force was chosen, for whoever asks to see it.
struct SettingsFileChoice {
  RegistryReading installDir;  // the install directory the shared file is named from
  std::string shared;          // the shared settings file
  std::string basePerUser;     // "BasePerUser" as read; "0" when it could not be read
  std::string failure;         // why it could not be read, when so
  // The per-user road: the application-data folder (nullopt when it cannot
  // be located, and the install directory serves), the folders made on the
  // way to the per-user folder, the folder and the logon name.
  bool perUser = false;
  std::optional<std::string> appData;
  std::vector<std::string> created;
  std::string folder;
  std::string userName;
};

// The settings file that lookups and the language choice read. `choice`,
// when given, receives how it was chosen.
std::string GetSettingsFilePath(SettingsFileChoice* choice = nullptr);

}  // namespace ombrels
