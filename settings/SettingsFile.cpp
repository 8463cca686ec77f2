#include "settings/SettingsFile.h"

#include "platform/platform.h"
#include "plugin/InstallDir.h"
#include "settings/PerUser.h"
#include "settings/Text.h"
#include "settings/TntIniFiles.h"

namespace ombrels {
namespace {

constexpr std::string_view kSep(&platform::kPathSeparator, 1);

// The "BasePerUser" option of the shared file; "0" when it cannot be read.
std::string ReadBasePerUser() {
  try {
    auto& os = platform::os();
    TTntIniFile ini(os.AnsiToWide(GetSharedSettingsFilePath()));
    return os.WideToAnsi(ini.ReadEntry(u"Options", u"BasePerUser", u"0"));
  } catch (...) {
    return "0";
  }
}

}  // namespace

std::string GetSharedSettingsFilePath() { return Join({GetInstallDir(), kSep, "settings.ini"}); }

std::string GetSettingsFilePath() {
  if (ReadBasePerUser() == "0") return GetSharedSettingsFilePath();

  std::string folder;
  if (const auto appData = platform::os().AppDataFolder()) {
    folder = Join({*appData, kSep, "Quorvel Ombrels"});
    try {
      ForceDirectoryChain(folder);
    } catch (...) {
      // A folder that cannot be made leaves a file that reads as empty.
    }
  } else {
    folder = GetInstallDir();
  }
  return Join({folder, kSep, GetCurrentUserName(), ".ini"});
}

}  // namespace ombrels
