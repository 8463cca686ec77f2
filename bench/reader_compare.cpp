// Under Windows (or wine): the same lookups through the platform's profile
// API and through the in-memory reader, on the same files. Prints a
// Markdown table of the time per lookup and their ratio.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "platform/testing.h"
#include "settings/TntIniFiles.h"
#include "support/ForwardingOs.h"

namespace {

namespace fs = std::filesystem;

struct FamilyOs : ombrels::testing::ForwardingOs {
  ombrels::platform::PlatformFamily family;
  explicit FamilyOs(ombrels::platform::PlatformFamily f) : family(f) {}
  ombrels::platform::PlatformFamily Family() override { return family; }
};

std::string Utf16Le(const std::string& ascii) {
  std::string out = "\xFF\xFE";
  for (char c : ascii) out += {c, '\0'};
  return out;
}

// Microseconds per lookup, one reader made and released per lookup as
// the plugin does.
double Measure(ombrels::platform::PlatformFamily family, const std::u16string& file,
               const std::vector<std::u16string>& keys, int lookups, long& found) {
  FamilyOs os(family);
  ombrels::platform::ScopedOs scoped(os);
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < lookups; ++i) {
    ombrels::TTntIniFile ini(file);
    found += ini.ReadEntryNumber(u"Files", keys[i % keys.size()], 0) != 0;
  }
  const std::chrono::duration<double, std::micro> took = std::chrono::steady_clock::now() - start;
  return took.count() / lookups;
}

}  // namespace

int main() {
  const fs::path dir = fs::temp_directory_path() / "ombrels-reader-compare";
  fs::create_directories(dir);
  std::printf("| entries | encoding | profile API (µs) | in-memory reader (µs) | ratio API / reader |\n");
  std::printf("|---:|---|---:|---:|---:|\n");
  for (int entries : {100, 10000, 100000}) {
    std::mt19937 random(entries);
    std::string text = "[Options]\r\nBasePerUser=0\r\n[Files]\r\n";
    std::vector<std::u16string> keys;
    for (int n = 0; n < entries; ++n) {
      const std::string key = "C:\\Users\\anna\\Pictures\\" + std::to_string(2015 + random() % 10) +
                              "\\Folder " + std::to_string(random() % 50) + "\\IMG_" +
                              std::to_string(n) + ".jpg";
      text += key + "=" + std::to_string(1 + random() % 10) + "\r\n";
      if (n % 7 == 0) keys.emplace_back(key.begin(), key.end());
    }
    for (bool utf16 : {false, true}) {
      const fs::path file = dir / (std::to_string(entries) + (utf16 ? "-utf16.ini" : "-ansi.ini"));
      std::ofstream(file, std::ios::binary) << (utf16 ? Utf16Le(text) : text);
      const std::u16string name(reinterpret_cast<const char16_t*>(file.wstring().c_str()));
      const int lookups = entries >= 100000 ? 20 : entries >= 10000 ? 200 : 2000;
      long found = 0;
      const double api = Measure(ombrels::platform::PlatformFamily::WindowsNT, name, keys, lookups, found);
      const double memory = Measure(ombrels::platform::PlatformFamily::Windows95, name, keys, lookups, found);
      if (found != 2L * lookups) {
        std::fprintf(stderr, "lookups found %ld of %d marks\n", found, 2 * lookups);
        return 1;
      }
      std::printf("| %d | %s | %.1f | %.1f | %.2f |\n", entries, utf16 ? "UTF-16 LE" : "ANSI", api,
                  memory, api / memory);
    }
  }
  fs::remove_all(dir);
  return 0;
}
