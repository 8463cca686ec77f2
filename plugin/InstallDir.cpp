#include "plugin/InstallDir.h"

namespace ombrels {

std::string ReadRegistryText(const std::string& subKey, const std::string& valueName,
                             platform::RegistryRoot root) {
  std::optional<std::string> data = platform::os().RegistryValue(root, subKey, valueName);
  if (!data) return {};
  // A text value ends in its terminating zero; data without one is kept whole.
  const auto end = data->find('\0');
  if (end != std::string::npos) data->resize(end);
  return std::move(*data);
}

std::string GetInstallDir() {
  return ReadRegistryText(kInstallKey, "", platform::RegistryRoot::LocalMachine);
}

}  // namespace ombrels
