// Many host threads asking at once while the marking program replaces the
// store and the language file underneath: no crash, and every answer is
// one that some state of the files allows.
#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <thread>

#include "platform/platform.h"
#include "support/TempDir.h"
#include "support/TestEnvironment.h"
#include "tools/PluginModule.h"

namespace ombrels {
namespace {

using testing::TempDir;
using testing::WriteBytes;

constexpr int kReaders = 8;
constexpr int kCallsInAll = 10000;
constexpr int kFiles = 40;

// Writes to a temporary file, then renames it over `path`, as careful
// programs save. A rename that the system refuses while a reader holds the
// file is tried again.
void Replace(const std::filesystem::path& path, const std::string& bytes, int n) {
  const auto temporary =
      path.parent_path() / (path.filename().string() + ".tmp" + std::to_string(n));
  WriteBytes(temporary, bytes);
  for (int attempt = 0; attempt < 1000; ++attempt) {
    std::error_code error;
    std::filesystem::rename(temporary, path, error);
    if (!error) return;
    std::this_thread::yield();
  }
  std::filesystem::remove(temporary);
}

TEST(ModuleConcurrency, AnswersStayConsistentWhileFilesAreReplaced) {
  std::string error;
  auto plugin = wdxhost::LoadPlugin(OMBRELS_MODULE_PATH, error);
  ASSERT_TRUE(plugin) << error;
  testing::TestRegistry registry;
  TempDir install;
  registry.Set(platform::RegistryRoot::LocalMachine, "Software\\Quorvel\\Ombrels", "",
               install.path().string() + '\0');

  // Store A marks file i with 1 + i % 10, store B with 1 + (i + 3) % 10;
  // the language is German or French. Both name the same language file.
  const char* english[] = {"Certified", "Cool",      "Danger", "Delete",   "Distinguished",
                           "Favorite",  "Important", "New",    "Personal", "Web"};
  std::vector<std::string> names;
  std::string storeA = "[Translate]\r\nCurLang=Current\r\n[Files]\r\n", storeB = storeA;
  for (int i = 0; i < kFiles; ++i) {
    names.push_back(install.file("file" + std::to_string(i) + ".txt"));
    storeA += names[i] + "=" + std::to_string(1 + i % 10) + "\r\n";
    storeB += names[i] + "=" + std::to_string(1 + (i + 3) % 10) + "\r\n";
  }
  std::string german = "[Dict]\r\n", french = "[Dict]\r\n";
  for (const char* name : english) {
    german += std::string(name) + "=de " + name + "\r\n";
    french += std::string(name) + "=fr " + name + "\r\n";
  }
  const auto settings = install.path() / "settings.ini";
  const auto language = install.path() / "langs" / "Current";
  WriteBytes(settings, storeA);
  WriteBytes(language, german);

  std::atomic<bool> done{false};
  std::atomic<int> unexpected{0}, answered{0};
  std::thread storeWriter([&] {
    for (int n = 0; !done; ++n) Replace(settings, n % 2 ? storeA : storeB, n % 2);
  });
  std::thread languageWriter([&] {
    for (int n = 0; !done; ++n) Replace(language, n % 2 ? german : french, n % 2);
  });
  std::vector<std::thread> readers;
  for (int r = 0; r < kReaders; ++r) {
    readers.emplace_back([&, r] {
      char buffer[2049];
      for (int call = 0; call < kCallsInAll / kReaders; ++call) {
        const int i = (call * 7 + r) % kFiles;
        const int result = plugin->getValue(names[i].c_str(), 0, 0, buffer, sizeof buffer, 0);
        const std::string value = buffer;
        std::set<std::string> allowed;
        for (int mark : {i % 10, (i + 3) % 10})
          for (const char* prefix : {"de ", "fr "})
            allowed.insert(prefix + std::string(english[mark]));
        if (result != ft_string || !allowed.count(value)) ++unexpected;
        ++answered;
      }
    });
  }
  for (auto& reader : readers) reader.join();
  done = true;
  storeWriter.join();
  languageWriter.join();
  EXPECT_EQ(answered, kCallsInAll);
  EXPECT_EQ(unexpected, 0);
}

}  // namespace
}  // namespace ombrels
