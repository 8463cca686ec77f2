#include <windows.h>

#include "tools/PluginModule.h"

namespace wdxhost {

void ModuleHandle::reset() {
  if (handle_) FreeLibrary(static_cast<HMODULE>(handle_));
  handle_ = nullptr;
}

std::optional<ModuleHandle> OpenModule(const std::string& path, std::string& error) {
  HMODULE handle = LoadLibraryA(path.c_str());
  if (!handle) {
    const DWORD code = GetLastError();
    char* text = nullptr;
    FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    error = text ? text : "error " + std::to_string(code);
    if (text) LocalFree(text);
    while (!error.empty() && (error.back() == '\n' || error.back() == '\r')) error.pop_back();
    return std::nullopt;
  }
  return ModuleHandle(handle);
}

void* FindExport(const ModuleHandle& module, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module.get()), name));
}

std::vector<std::string> DefaultModulePaths() {
  char self[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, self, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return {};
  std::string folder(self, length);
  folder.erase(folder.find_last_of("\\/") + 1);
  // The 32-bit host loads the .wdx, the 64-bit one the .wdx64.
  return {folder + (sizeof(void*) == 8 ? "TC_Ombrels.wdx64" : "TC_Ombrels.wdx")};
}

}  // namespace wdxhost
