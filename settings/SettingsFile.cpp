#include "settings/SettingsFile.h"

#include <exception>

#include "platform/platform.h"
#include "settings/PerUser.h"
#include "settings/Text.h"
#include "settings/TntIniFiles.h"

namespace ombrels {
namespace {

constexpr std::string_view kSep(&platform::kPathSeparator, 1);

// The shared settings file of an install directory.
std::string SharedFileOf(std::string_view installDir) {
  return Join({installDir, kSep, "settings.ini"});
}

// The "BasePerUser" option of the shared file; "0" when it cannot be read.
std::string ReadBasePerUser(SettingsFileChoice* choice) {
  try {
    const std::string shared = SharedFileOf(GetInstallDir(choice ? &choice->installDir : nullptr));
    if (choice) choice->shared = shared;
    std::string option = ReadAnsiEntry(shared, u"Options", u"BasePerUser", u"0");
    if (choice) choice->basePerUser = option;
    return option;
  } catch (const std::exception& error) {
    if (choice) NoteFailure(choice->failure, error.what());
  } catch (...) {
    if (choice) NoteFailure(choice->failure, "unknown failure");
  }
  if (choice) choice->basePerUser = "0";
  return "0";
}

}  // namespace

std::string ReadAnsiEntry(const std::string& file, const std::u16string& section,
                          const std::u16string& key, const std::u16string& defaultValue) {
  auto& os = platform::os();
  std::u16string value;
  {
    TTntIniFile ini(os.AnsiToWide(file));
    value = ini.ReadEntry(section, key, defaultValue);
  }
  return os.WideToAnsi(value);
}

std::string GetSharedSettingsFilePath() { return SharedFileOf(GetInstallDir()); }

std::string GetSettingsFilePath(SettingsFileChoice* choice) {
  if (ReadBasePerUser(choice) == "0") return GetSharedSettingsFilePath();  // the registry again
  if (choice) choice->perUser = true;

  std::string folder;
  if (const auto appData = platform::os().AppDataFolder()) {
    if (choice) choice->appData = *appData;
    folder = Join({*appData, kSep, "Quorvel Ombrels"});
    try {
      ForceDirectoryChain(folder, choice ? &choice->created : nullptr);
    } catch (...) {
      // A folder that cannot be made leaves a file that reads as empty.
    }
  } else {
    folder = GetInstallDir();
  }
  std::string userName = GetCurrentUserName();
  if (choice) {
    choice->folder = folder;
    choice->userName = userName;
  }
  return Join({folder, kSep, userName, ".ini"});
}

}  // namespace ombrels
