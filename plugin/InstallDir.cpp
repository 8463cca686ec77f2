#include "plugin/InstallDir.h"

#include <string>

namespace ombrels {

std::string ReadRegistryText(const std::string& subKey, const std::string& valueName,
                             platform::RegistryRoot root, RegistryReading* reading) {
  std::optional<std::string> data = platform::os().RegistryValue(root, subKey, valueName);
  if (reading) *reading = {data.has_value(), data ? data->size() : 0, {}};
  if (!data) return {};
  // A text value ends in its terminating zero; data without one is kept whole.
  const auto end = data->find('\0');
  if (end != std::string::npos) data->resize(end);
  if (reading) reading->text = *data;
  return std::move(*data);
}

std::string GetInstallDir(RegistryReading* reading) {
  std::string dir =
      ReadRegistryText(kInstallKey, "", platform::RegistryRoot::LocalMachine, reading);
  if (dir.size() > platform::kLongestPath) throw InstallDirTooLong();
  return dir;
}

}  // namespace ombrels
