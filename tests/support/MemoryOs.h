// A whole small system in memory: registry install directory, files,
// folders, user and application-data folder, all chosen by the test.
#pragma once

#include <map>
#include <set>
#include <tuple>
#include <vector>

#include "support/ForwardingOs.h"

namespace ombrels::testing {

struct MemoryOs : ForwardingOs {
  std::optional<std::string> installDir;     // stored with its terminating zero
  std::map<std::string, std::string> files;  // ANSI name -> bytes
  std::set<std::string> unreadable;          // files that exist but cannot be opened
  std::set<std::string> raising;             // files whose reading throws no std::exception
  std::set<std::string> directories;         // folders that exist
  std::set<std::string> uncreatable;         // folders whose creation fails
  std::vector<std::string> created;          // folders made, in order
  std::optional<std::string> appData;
  std::optional<std::string> logonName = "anna";

  std::optional<std::string> RegistryValue(platform::RegistryRoot, const std::string&,
                                           const std::string&) override {
    if (!installDir) return std::nullopt;
    return *installDir + '\0';
  }
  platform::PlatformFamily Family() override { return platform::PlatformFamily::Windows95; }
  bool IsFile(const std::string& path) override { return files.count(path) > 0; }
  bool IsDirectory(const std::string& path) override { return directories.count(path) > 0; }
  bool MakeDirectory(const std::string& path) override {
    if (uncreatable.count(path) || directories.count(path)) return false;
    directories.insert(path);
    created.push_back(path);
    return true;
  }
  std::optional<std::int64_t> FileDate(const std::u16string& fileName) override {
    if (!files.count(WideToAnsi(fileName))) return std::nullopt;
    return 1;
  }
  platform::FileBytes ReadWholeFile(const std::u16string& fileName) override {
    const std::string name = WideToAnsi(fileName);
    if (!files.count(name)) return {false, {}, "The system cannot find the file specified.", true};
    if (unreadable.count(name)) return {false, {}, "Access is denied."};
    if (raising.count(name)) throw 42;
    return {true, files[name], {}, false, 1};
  }
  std::optional<std::string> LogonName(std::size_t capacity) override {
    if (logonName && logonName->size() + 1 > capacity) return std::nullopt;
    return logonName;
  }
  std::optional<std::string> AppDataFolder() override { return appData; }
};

// The same system on the Windows NT family: every profile read goes to the
// platform's API, played from a table of its answers. The API may answer
// with blanks at either end (a quoted value, unquoted), which the in-memory
// reader never does.
struct ProfileApiOs : MemoryOs {
  // (file, section, key) -> the API's answer; anything else gets the default.
  std::map<std::tuple<std::string, std::u16string, std::u16string>, std::u16string> answers;

  platform::PlatformFamily Family() override { return platform::PlatformFamily::WindowsNT; }
  std::u16string ProfileString(const std::u16string& section, const std::u16string& key,
                               const std::u16string& defaultValue, const std::u16string& fileName,
                               std::size_t capacity) override {
    const auto hit = answers.find({WideToAnsi(fileName), section, key});
    return (hit == answers.end() ? defaultValue : hit->second).substr(0, capacity - 1);
  }
  void FlushProfile(const std::u16string&) override {}
};

}  // namespace ombrels::testing
