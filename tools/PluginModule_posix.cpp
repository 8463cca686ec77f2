#include <dlfcn.h>

#include "tools/PluginModule.h"

namespace wdxhost {

void ModuleHandle::reset() {
  if (handle_) dlclose(handle_);
  handle_ = nullptr;
}

std::optional<ModuleHandle> OpenModule(const std::string& path, std::string& error) {
  // A path without a slash would be searched for on the library path.
  const std::string name = path.find('/') == std::string::npos ? "./" + path : path;
  void* handle = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    const char* message = dlerror();
    error = message ? message : "unknown error";
    return std::nullopt;
  }
  return ModuleHandle(handle);
}

void* FindExport(const ModuleHandle& module, const char* name) { return dlsym(module.get(), name); }

}  // namespace wdxhost
