#include "settings/SettingsFile.h"

#include "platform/platform.h"
#include "plugin/InstallDir.h"

namespace ombrels {

std::string GetSharedSettingsFilePath() {
  return GetInstallDir() + platform::kPathSeparator + "settings.ini";
}

std::string GetSettingsFilePath() { return GetSharedSettingsFilePath(); }

}  // namespace ombrels
