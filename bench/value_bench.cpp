// How long one value takes, asked through the built module's exports the
// way a host fills a panel, against the floor: the file reads that one
// value requires by design (the settings file four times, the language
// file once, each read whole and scanned for line ends), with no parsing.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "support/CountingAllocator.h"
#include "tools/PluginModule.h"

namespace {

namespace fs = std::filesystem;

enum Encoding { kAnsi, kUtf8Bom, kUtf16Le };
enum Mode { kShared, kPerUser };
constexpr const char* kEncodingNames[] = {"ansi", "utf8bom", "utf16le"};
constexpr const char* kModeNames[] = {"shared", "peruser"};
constexpr int kPanelSize = 2000;

std::string Encode(const std::string& text, Encoding encoding) {
  if (encoding == kAnsi) return text;
  if (encoding == kUtf8Bom) return "\xEF\xBB\xBF" + text;
  // The texts are ASCII, and a few two-byte UTF-8 letters.
  std::string out = "\xFF\xFE";
  for (std::size_t i = 0; i < text.size(); ++i) {
    unsigned c = static_cast<unsigned char>(text[i]);
    if (c >= 0xC0 && i + 1 < text.size()) {
      c = ((c & 0x1F) << 6) | (static_cast<unsigned char>(text[++i]) & 0x3F);
    }
    out += static_cast<char>(c & 0xFF);
    out += static_cast<char>(c >> 8);
  }
  return out;
}

void Write(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

// A realistic path of a user's files.
std::string RealisticPath(std::mt19937& random, int n) {
  static const char* roots[] = {"/home/anna/Pictures", "/home/anna/Documents/Projects",
                                "/home/anna/Music/Alben", "/srv/share/Büro/Verträge",
                                "/home/anna/Downloads"};
  static const char* exts[] = {".jpg", ".pdf", ".docx", ".mp3", ".txt", ".xlsx"};
  return std::string(roots[random() % 5]) + "/" + std::to_string(2015 + random() % 10) + "/" +
         "Folder " + std::to_string(random() % 50) + "/File_" + std::to_string(n) +
         exts[random() % 6];
}

// A demo install: registry stand-in, store of `entries` marks, language
// file, and the panel of file names a host asks for.
struct Install {
  fs::path root;
  std::vector<std::string> panel;
  std::vector<fs::path> settingsReads;  // the files one value reads by design
  fs::path languageFile;
  std::size_t largestFile = 0;
};

Install& GetInstall(int entries, Mode mode, Encoding encoding) {
  static std::map<std::tuple<int, int, int>, std::unique_ptr<Install>> cache;
  auto& slot = cache[{entries, mode, encoding}];
  if (slot) return *slot;
  slot = std::make_unique<Install>();
  Install& install = *slot;
  install.root = fs::temp_directory_path() /
                 ("ombrels-bench-" + std::to_string(getpid()) + "-" + std::to_string(entries) +
                  kModeNames[mode] + kEncodingNames[encoding]);
  fs::remove_all(install.root);
  const fs::path dir = install.root / "install";
  Write(install.root / "registry/HKEY_LOCAL_MACHINE/Software/Quorvel/Ombrels/@",
        dir.string() + '\0');

  std::mt19937 random(entries);
  std::vector<std::string> stored;
  std::string files = "[Files]\r\n";
  for (int n = 0; n < entries; ++n) {
    stored.push_back(RealisticPath(random, n));
    if (n % 500 == 0) files += "; marked on " + std::to_string(n) + "\r\n";
    files += stored.back() + "=" + std::to_string(random() % 11) + "\r\n";
    if (n % 1000 == 999) files += stored[n - 7] + "=" + std::to_string(random() % 11) + "\r\n";
  }
  const std::string translate = "[Translate]\r\nCurLang=Deutsch\r\n";
  const std::string options =
      std::string("[Options]\r\nBasePerUser=") + (mode == kPerUser ? "1" : "0") + "\r\n";
  const fs::path shared = dir / "settings.ini";
  const fs::path user = install.root / "config/Quorvel Ombrels" /
                        (std::string(getenv("USER") ? getenv("USER") : "root") + ".ini");
  if (mode == kShared) {
    Write(shared, Encode(options + translate + files, encoding));
    install.settingsReads = {shared, shared, shared, shared};
  } else {
    Write(shared, Encode(options, encoding));
    Write(user, Encode(translate + files, encoding));
    install.settingsReads = {shared, user, shared, user};
  }
  install.languageFile = dir / "langs/Deutsch";
  Write(install.languageFile,
        Encode("[Dict]\r\nCertified=Beglaubigt\r\nCool=Klasse\r\nDanger=Gefahr\r\n"
               "Delete=Löschen\r\nDistinguished=Ausgezeichnet\r\nFavorite=Favorit\r\n"
               "Important=Wichtig/nSofort\r\nNew=Neu\r\nPersonal=Persönlich\r\nWeb=Netz\r\n",
               encoding));
  for (const auto& f : {shared, user})
    if (fs::exists(f))
      install.largestFile = std::max<std::size_t>(install.largestFile, fs::file_size(f));

  // Three of four panel files are marked; the host passes full paths.
  for (int i = 0; i < kPanelSize; ++i) {
    install.panel.push_back(i % 4 == 3
                                ? "/home/anna/Pictures/unmarked/IMG_" + std::to_string(i) + ".jpg"
                                : stored[random() % stored.size()]);
  }
  return install;
}

wdxhost::Plugin& Module() {
  static wdxhost::Plugin plugin = [] {
    std::string error;
    auto loaded = wdxhost::LoadPlugin(OMBRELS_MODULE_PATH, error);
    if (!loaded) {
      std::fprintf(stderr, "%s\n", error.c_str());
      std::exit(1);
    }
    return std::move(*loaded);
  }();
  return plugin;
}

void UseInstall(const Install& install) {
  setenv("OMBRELS_REGISTRY_ROOT", (install.root / "registry").c_str(), 1);
  setenv("XDG_CONFIG_HOME", (install.root / "config").c_str(), 1);
}

void BM_Value(benchmark::State& state) {
  const auto entries = static_cast<int>(state.range(0));
  const auto mode = static_cast<Mode>(state.range(1));
  const auto encoding = static_cast<Encoding>(state.range(2));
  Install& install = GetInstall(entries, mode, encoding);
  UseInstall(install);
  auto& plugin = Module();
  char buffer[2049];
  int i = 0, marked = 0;
  const std::size_t baseline = ombrels::testing::ResetHeapPeak();
  for (auto _ : state) {
    const int result = plugin.getValue(install.panel[i].c_str(), 0, 0, buffer, sizeof buffer, 0);
    marked += result == 8;
    benchmark::DoNotOptimize(buffer);
    i = (i + 1) % kPanelSize;
  }
  if (marked == 0) state.SkipWithError("no value was found: the install is wrong");
  state.counters["peak_heap_MiB"] =
      static_cast<double>(ombrels::testing::PeakHeapBytes() - baseline) / (1024.0 * 1024.0);
  state.counters["largest_file_MiB"] = static_cast<double>(install.largestFile) / (1024.0 * 1024.0);
  state.SetLabel(std::string(kModeNames[mode]) + "/" + kEncodingNames[encoding]);
}

std::size_t ReadAndScan(const fs::path& path, std::vector<char>& buffer) {
  const int fd = ::open(path.c_str(), O_RDONLY);
  if (fd < 0) return 0;
  const auto size = static_cast<std::size_t>(fs::file_size(path));
  buffer.resize(size);
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::read(fd, buffer.data() + done, size - done);
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  ::close(fd);
  std::size_t lines = 0;
  const char* p = buffer.data();
  const char* end = p + done;
  while ((p = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p))))) {
    ++lines;
    ++p;
  }
  return lines;
}

void BM_Floor(benchmark::State& state) {
  const auto entries = static_cast<int>(state.range(0));
  const auto mode = static_cast<Mode>(state.range(1));
  const auto encoding = static_cast<Encoding>(state.range(2));
  Install& install = GetInstall(entries, mode, encoding);
  std::vector<char> buffer;
  for (auto _ : state) {
    std::size_t lines = 0;
    for (const auto& path : install.settingsReads) lines += ReadAndScan(path, buffer);
    lines += ReadAndScan(install.languageFile, buffer);
    benchmark::DoNotOptimize(lines);
  }
  state.SetLabel(std::string(kModeNames[mode]) + "/" + kEncodingNames[encoding]);
}

void Configurations(benchmark::internal::Benchmark* b) {
  for (int entries : {100, 10000, 100000})
    for (int mode : {kShared, kPerUser})
      for (int encoding : {kAnsi, kUtf8Bom, kUtf16Le}) b->Args({entries, mode, encoding});
  b->Unit(benchmark::kMicrosecond)->MinTime(0.3);
}

BENCHMARK(BM_Value)->Apply(Configurations);
BENCHMARK(BM_Floor)->Apply(Configurations);

}  // namespace

BENCHMARK_MAIN();
