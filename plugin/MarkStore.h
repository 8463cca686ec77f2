// The mark store: the "Files" section of the settings file in force.
#pragma once

#include <cstdint>
#include <string>

#include "settings/SettingsFile.h"

namespace ombrels {

// One lookup in the store, for whoever asks to see it.
struct MarkLookup {
  SettingsFileChoice choice;
  std::string settingsFile;  // the settings file in force
  std::u16string entry;      // the "Files" entry as read, empty when there is none
  std::string failure;       // what stopped the lookup, when something did
};

// The mark number stored for a file; 0 when there is none or on any failure.
// `lookup`, when given, receives how the number was found.
std::int32_t LookupMarkNumber(const std::u16string& fileName, MarkLookup* lookup = nullptr);

}  // namespace ombrels
