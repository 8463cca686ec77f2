#include <dlfcn.h>
#include <unistd.h>

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

std::vector<std::string> DefaultModulePaths() {
  char self[4096];
  const ssize_t length = readlink("/proc/self/exe", self, sizeof self);
  if (length <= 0 || length >= static_cast<ssize_t>(sizeof self)) return {};
  std::string folder(self, static_cast<std::size_t>(length));
  folder.erase(folder.rfind('/') + 1);
  std::vector<std::string> paths{folder + "TC_Ombrels.wdx"};
#ifdef OMBRELS_MODULE_FROM_TOOL
  // Installed: the module folder, relative to the tool's (or absolute).
  const std::string installed = OMBRELS_MODULE_FROM_TOOL;
  paths.push_back((installed.front() == '/' ? installed : folder + installed) + "/TC_Ombrels.wdx");
#endif
  return paths;
}

}  // namespace wdxhost
