// How long one value takes, asked through the built module's exports the
// way a host fills a panel, against the floor: the file reads that this
// value requires by design (for a mark from 1 to 10 the settings file four
// times and the language file once, for any other the settings file
// twice; each read whole and scanned for line ends), with no parsing.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "support/CountingAllocator.h"
#include "tools/PluginModule.h"

namespace {

namespace fs = std::filesystem;

enum Encoding { kAnsi, kUtf8Bom, kUtf16Le };
enum Mode { kShared, kPerUser };
enum Shape { kSpread, kCamera };
constexpr const char* kEncodingNames[] = {"ansi", "utf8bom", "utf16le"};
constexpr const char* kModeNames[] = {"shared", "peruser"};
constexpr const char* kShapeNames[] = {"spread", "camera"};
constexpr int kPanelSize = 2000;
constexpr int kFieldString = 8;  // ft_string: the value is a text

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

// A store spread over many folders: every key differs early.
std::string SpreadPath(std::mt19937& random, int n) {
  static const char* roots[] = {"/home/anna/Pictures", "/home/anna/Documents/Projects",
                                "/home/anna/Music/Alben", "/srv/share/Büro/Verträge",
                                "/home/anna/Downloads"};
  static const char* exts[] = {".jpg", ".pdf", ".docx", ".mp3", ".txt", ".xlsx"};
  return std::string(roots[random() % 5]) + "/" + std::to_string(2015 + random() % 10) + "/" +
         "Folder " + std::to_string(random() % 50) + "/File_" + std::to_string(n) +
         exts[random() % 6];
}

// A camera roll: a few folders with long prefixes (40 to 80 characters),
// each holding names of one length that differ only near their end.
struct Folder {
  const char* prefix;
  const char* stem;
  const char* ext;
};
constexpr Folder kFolders[] = {
    {"/home/anna/Pictures/Camera Roll/2019/Holiday/", "IMG_", ".JPG"},
    {"/media/anna/SD-Karte 64GB/DCIM/100CANON/Urlaub Südküste 2019/", "IMG_", ".JPG"},
    {"/home/anna/Pictures/Camera Roll/2021/Geburtstag Oma Hildegard 80/", "DSC_", ".NEF"},
    {"/srv/share/Familie/Fotos/Archiv/Eingescannt/1998-2004/Alben Kassel/", "Scan_", ".tif"},
    {"/home/anna/Documents/Kundenprojekte/2020/Müller GmbH/Baustelle/Fotos/", "IMG_", ".jpg"},
    {"/home/anna/Pictures/Camera Roll/2019/Holiday/Bearbeitet/", "IMG_", ".JPG"},
};
constexpr int kFolderCount = sizeof kFolders / sizeof kFolders[0];

std::string CameraPath(int folder, int number) {
  char digits[8];
  std::snprintf(digits, sizeof digits, "%05d", number);
  const Folder& f = kFolders[folder];
  return std::string(f.prefix) + f.stem + digits + f.ext;
}

// A demo install: registry stand-in, store of `entries` marks, language
// file, and the panel of file names a host asks for.
struct Install {
  fs::path root;
  std::vector<std::string> panel;
  std::vector<int> expected;            // each panel file's stored number, 0 when none
  std::vector<fs::path> settingsReads;  // a translated value's reads of settings files
  fs::path languageFile;
  std::size_t largestFile = 0;
};

// A mark number as the other program writes it: mostly 1 to 10, now and
// then 0 (a mark taken away) or a number outside 1 to 10.
int MarkNumber(std::mt19937& random) {
  const unsigned r = random() % 200;
  if (r < 4) return 0;
  if (r == 4) return 11 + static_cast<int>(random() % 90);
  return 1 + static_cast<int>(random() % 10);
}

struct Store {
  std::string text;                 // the [Files] section
  std::map<std::string, int> last;  // each key's number, the last line winning
};

Store SpreadStore(std::mt19937& random, int entries, std::vector<std::string>& panel) {
  Store store;
  std::vector<std::string> stored;
  store.text = "[Files]\r\n";
  const auto add = [&](const std::string& key, int number) {
    store.text += key + "=" + std::to_string(number) + "\r\n";
    store.last[key] = number;
  };
  for (int n = 0; n < entries; ++n) {
    stored.push_back(SpreadPath(random, n));
    if (n % 500 == 0) store.text += "; marked on " + std::to_string(n) + "\r\n";
    add(stored.back(), static_cast<int>(random() % 11));
    if (n % 1000 == 999) add(stored[n - 7], static_cast<int>(random() % 11));
  }
  // Three of four panel files are in the store.
  for (int i = 0; i < kPanelSize; ++i) {
    panel.push_back(i % 4 == 3 ? "/home/anna/Pictures/unmarked/IMG_" + std::to_string(i) + ".jpg"
                               : stored[random() % stored.size()]);
  }
  return store;
}

Store CameraStore(std::mt19937& random, int entries, std::vector<std::string>& panel) {
  Store store;
  // Every other file of a folder, at random, is marked; the marks were set
  // in runs of neighbouring files, folder after folder.
  const int perFolder = 2 * entries / kFolderCount + 2;
  std::vector<std::pair<int, int>> marked;  // folder, number
  for (int f = 0; f < kFolderCount; ++f)
    for (int n = 0; n < perFolder; ++n)
      if (random() % 2) marked.emplace_back(f, n);
  std::shuffle(marked.begin(), marked.end(), random);
  marked.resize(std::min<std::size_t>(marked.size(), static_cast<std::size_t>(entries)));
  std::sort(marked.begin(), marked.end());
  std::vector<std::vector<std::pair<int, int>>> runs;
  for (std::size_t i = 0; i < marked.size(); i += 200)
    runs.emplace_back(
        marked.begin() + static_cast<std::ptrdiff_t>(i),
        marked.begin() + static_cast<std::ptrdiff_t>(std::min(i + 200, marked.size())));
  std::shuffle(runs.begin(), runs.end(), random);
  store.text = "[Files]\r\n";
  for (const auto& run : runs) {
    for (const auto& [folder, number] : run) {
      const std::string key = CameraPath(folder, number);
      const int mark = MarkNumber(random);
      store.text += key + "=" + std::to_string(mark) + "\r\n";
      store.last[key] = mark;
    }
  }
  // The panel lists folders as a host does: neighbouring names, about half
  // of them unmarked.
  while (static_cast<int>(panel.size()) < kPanelSize) {
    const int folder = static_cast<int>(random() % kFolderCount);
    const int first = static_cast<int>(random() % static_cast<unsigned>(perFolder));
    for (int n = first;
         n < std::min(first + 100, perFolder) && static_cast<int>(panel.size()) < kPanelSize; ++n)
      panel.push_back(CameraPath(folder, n));
  }
  return store;
}

std::map<std::tuple<int, int, int, int>, std::unique_ptr<Install>>& Installs() {
  static std::map<std::tuple<int, int, int, int>, std::unique_ptr<Install>> installs;
  return installs;
}

Install& GetInstall(int entries, Shape shape, Mode mode, Encoding encoding) {
  auto& slot = Installs()[{entries, shape, mode, encoding}];
  if (slot) return *slot;
  slot = std::make_unique<Install>();
  Install& install = *slot;
  install.root = fs::temp_directory_path() /
                 ("ombrels-bench-" + std::to_string(getpid()) + "-" + std::to_string(entries) +
                  kShapeNames[shape] + kModeNames[mode] + kEncodingNames[encoding]);
  fs::remove_all(install.root);
  const fs::path dir = install.root / "install";
  Write(install.root / "registry/HKEY_LOCAL_MACHINE/Software/Quorvel/Ombrels/@",
        dir.string() + '\0');

  std::mt19937 random(entries);
  const Store store = shape == kSpread ? SpreadStore(random, entries, install.panel)
                                       : CameraStore(random, entries, install.panel);
  for (const auto& name : install.panel) {
    const auto hit = store.last.find(name);
    install.expected.push_back(hit == store.last.end() ? 0 : hit->second);
  }
  const std::string translate = "[Translate]\r\nCurLang=Deutsch\r\n";
  const std::string options =
      std::string("[Options]\r\nBasePerUser=") + (mode == kPerUser ? "1" : "0") + "\r\n";
  const fs::path shared = dir / "settings.ini";
  const fs::path user = install.root / "config/Quorvel Ombrels" /
                        (std::string(getenv("USER") ? getenv("USER") : "root") + ".ini");
  if (mode == kShared) {
    Write(shared, Encode(options + translate + store.text, encoding));
    install.settingsReads = {shared, shared, shared, shared};
  } else {
    Write(shared, Encode(options, encoding));
    Write(user, Encode(translate + store.text, encoding));
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

struct Config {
  int entries;
  Shape shape;
  Mode mode;
  Encoding encoding;
  std::string Label() const {
    return std::string(kShapeNames[shape]) + "/" + kModeNames[mode] + "/" +
           kEncodingNames[encoding];
  }
};

Config ConfigOf(const benchmark::State& state) {
  return {static_cast<int>(state.range(0)), static_cast<Shape>(state.range(1)),
          static_cast<Mode>(state.range(2)), static_cast<Encoding>(state.range(3))};
}

void BM_Value(benchmark::State& state) {
  const Config config = ConfigOf(state);
  Install& install = GetInstall(config.entries, config.shape, config.mode, config.encoding);
  UseInstall(install);
  auto& plugin = Module();
  char buffer[2049];
  int i = 0, wrong = 0;
  const std::size_t baseline = ombrels::testing::ResetHeapPeak();
  for (auto _ : state) {
    const int result = plugin.getValue(install.panel[i].c_str(), 0, 0, buffer, sizeof buffer, 0);
    wrong += (result == kFieldString) != (install.expected[i] != 0);
    benchmark::DoNotOptimize(buffer);
    i = (i + 1) % kPanelSize;
  }
  if (wrong != 0) state.SkipWithError("a value differs from the store: the install is wrong");
  state.counters["peak_heap_MiB"] =
      static_cast<double>(ombrels::testing::PeakHeapBytes() - baseline) / (1024.0 * 1024.0);
  state.counters["largest_file_MiB"] = static_cast<double>(install.largestFile) / (1024.0 * 1024.0);
  state.SetLabel(config.Label());
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

// The floor of each value by its stored number: a mark from 1 to 10 reads
// the settings files four times (option and mark, option and language
// name) and the language file once; anything else, shown empty or as
// digits, reads the settings files twice (option and mark).
void BM_Floor(benchmark::State& state) {
  const Config config = ConfigOf(state);
  Install& install = GetInstall(config.entries, config.shape, config.mode, config.encoding);
  std::vector<char> buffer;
  int i = 0;
  for (auto _ : state) {
    const int number = install.expected[i];
    const bool translated = number >= 1 && number <= 10;
    std::size_t lines = 0;
    for (std::size_t r = 0; r < (translated ? 4u : 2u); ++r)
      lines += ReadAndScan(install.settingsReads[r], buffer);
    if (translated) lines += ReadAndScan(install.languageFile, buffer);
    benchmark::DoNotOptimize(lines);
    i = (i + 1) % kPanelSize;
  }
  state.SetLabel(config.Label());
}

// Each configuration's value and floor are registered one after the
// other, so that without random interleaving they also run so, and a change
// in the machine's load between them weighs little on the ratio.
void RegisterAll() {
  using Function = void (*)(benchmark::State&);
  for (int entries : {100, 10000, 100000})
    for (int shape : {kSpread, kCamera})
      for (int mode : {kShared, kPerUser})
        for (int encoding : {kAnsi, kUtf8Bom, kUtf16Le})
          for (const auto& [name, function] :
               {std::pair<const char*, Function>{"BM_Value", BM_Value},
                std::pair<const char*, Function>{"BM_Floor", BM_Floor}}) {
            benchmark::RegisterBenchmark(name, function)
                ->Args({entries, shape, mode, encoding})
                ->Unit(benchmark::kMicrosecond)
                ->MinTime(0.3);
          }
}

}  // namespace

int main(int argc, char** argv) {
  RegisterAll();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  for (const auto& [config, install] : Installs()) fs::remove_all(install->root);
  return 0;
}
