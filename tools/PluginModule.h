// Loading a content plugin module and finding its exports, as a host does.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "plugin/ContPlug.h"

namespace wdxhost {

// A loaded module, unloaded when the object goes.
class ModuleHandle {
 public:
  ModuleHandle() = default;
  explicit ModuleHandle(void* handle) : handle_(handle) {}
  ~ModuleHandle() { reset(); }
  ModuleHandle(ModuleHandle&& other) noexcept : handle_(other.release()) {}
  ModuleHandle& operator=(ModuleHandle&& other) noexcept {
    if (this != &other) {
      reset();
      handle_ = other.release();
    }
    return *this;
  }
  void* get() const { return handle_; }
  void* release() {
    void* handle = handle_;
    handle_ = nullptr;
    return handle;
  }
  void reset();
  explicit operator bool() const { return handle_ != nullptr; }

 private:
  void* handle_ = nullptr;
};

// The system's loader: the module, or nullopt and the loader's message.
std::optional<ModuleHandle> OpenModule(const std::string& path, std::string& error);
void* FindExport(const ModuleHandle& module, const char* name);

struct Plugin {
  ModuleHandle module;
  ContentGetSupportedFieldProc getSupportedField = nullptr;
  ContentGetValueProc getValue = nullptr;
};

// Where the tool looks for the module when none is named, in this order:
// the module that a host of the tool's own bitness loads, in the tool's own
// folder (and, for an installed native tool, in the install's module
// folder). Empty when the tool cannot tell where it is.
std::vector<std::string> DefaultModulePaths();

// The module with both exports, or nullopt and a message saying what failed.
std::optional<Plugin> LoadPlugin(const std::string& path, std::string& error);

}  // namespace wdxhost
