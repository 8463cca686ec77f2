#include "tools/PluginModule.h"

namespace wdxhost {

std::optional<Plugin> LoadPlugin(const std::string& path, std::string& error) {
  std::string why;
  auto module = OpenModule(path, why);
  if (!module) {
    error = "cannot load plugin module '" + path + "': " + why;
    return std::nullopt;
  }
  Plugin plugin;
  plugin.getSupportedField = reinterpret_cast<ContentGetSupportedFieldProc>(
      FindExport(*module, "ContentGetSupportedField"));
  plugin.getValue = reinterpret_cast<ContentGetValueProc>(FindExport(*module, "ContentGetValue"));
  for (const auto& [proc, name] :
       {std::pair{reinterpret_cast<void*>(plugin.getSupportedField), "ContentGetSupportedField"},
        std::pair{reinterpret_cast<void*>(plugin.getValue), "ContentGetValue"}}) {
    if (!proc) {
      error = "plugin module '" + path + "' does not export " + name;
      return std::nullopt;
    }
  }
  plugin.module = std::move(*module);
  return plugin;
}

}  // namespace wdxhost
