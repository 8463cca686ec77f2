// How long one value takes, asked through the built module's exports the
// way a host fills a panel, against the floor: every operation that this
// value requires by design, done here with plain system calls and nothing
// else. The floor reads the registry value for each use of the install
// directory, tests each file and folder the design tests (existence and
// date tests, the per-user folder chain), looks the user up, and reads each
// settings and language file whole, scanning it for line ends; it parses
// nothing.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <pwd.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "platform/Utf8.h"
#include "settings/CandidateLines.h"
#include "support/CountingAllocator.h"
#include "tools/PluginModule.h"

namespace {

namespace fs = std::filesystem;

enum Encoding { kAnsi, kUtf8Bom, kUtf16Le };
enum Mode { kShared, kPerUser };
// spread: many folders, keys differ early. The others are folders of
// numbered names, listed by the panel as a host lists a folder: camera
// (long prefix, one length, differ near their end), start (differ in their
// first characters, long shared ending), middle (long shared prefix and
// ending), end (differ in their last characters, lengths vary), nonascii
// (as middle, in Cyrillic, Greek, German and CJK), case (the nonascii names
// in another letter case than asked: every other one stored in capitals and
// asked in small letters, the others stored in small letters and asked in
// capitals, so that no single trick of case suits the whole store);
// periodic (made to defeat a search: keys of one short period, asked for
// names of that period alone, longer than the keys' runs).
enum Shape { kSpread, kCamera, kStart, kMiddle, kEnd, kNonAscii, kCase, kPeriodic, kShapeCount };
constexpr const char* kEncodingNames[] = {"ansi", "utf8bom", "utf16le"};
constexpr const char* kModeNames[] = {"shared", "peruser"};
constexpr const char* kShapeNames[] = {"spread", "camera",   "start", "middle",
                                       "end",    "nonascii", "case",  "periodic"};
constexpr int kPanelSize = 2000;
constexpr int kFieldString = 8;  // ft_string: the value is a text

// UTF-8 text as code points (the bench writes well-formed text only).
std::u32string CodePoints(const std::string& text) {
  std::u32string out;
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const int extra = lead < 0x80 ? 0 : lead < 0xE0 ? 1 : lead < 0xF0 ? 2 : 3;
    char32_t c = extra == 0 ? lead : lead & (0x3F >> extra);
    for (int k = 1; k <= extra; ++k)
      c = (c << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
    out += c;
    i += 1 + extra;
  }
  return out;
}

std::string Utf8Of(char32_t c) {
  std::string out;
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
  return out;
}

// The capital of each small letter the shapes use (ASCII, Latin-1,
// Greek, Cyrillic): its simple uppercase mapping. ß and CJK stay.
char32_t Capital(char32_t c) {
  if ((c >= U'a' && c <= U'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7)) return c - 0x20;
  if ((c >= 0x3B1 && c <= 0x3C1) || (c >= 0x3C3 && c <= 0x3CB)) return c - 0x20;  // α-ρ, σ-ϋ
  if (c == 0x3C2) return 0x3A3;                                                   // ς: Σ
  if (c == 0x3AC) return 0x386;                                                   // ά
  if (c >= 0x3AD && c <= 0x3AF) return c - 0x25;                                  // έ ή ί
  if (c == 0x3CC) return 0x38C;                                                   // ό
  if (c == 0x3CD || c == 0x3CE) return c - 0x3F;                                  // ύ ώ
  if (c >= 0x430 && c <= 0x44F) return c - 0x20;                                  // а-я
  if (c >= 0x450 && c <= 0x45F) return c - 0x50;                                  // ѐ-џ
  return c;
}

// The small letter of each capital the shapes use: the other way round.
char32_t Small(char32_t c) {
  if ((c >= U'A' && c <= U'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) return c + 0x20;
  if ((c >= 0x391 && c <= 0x3A1) || (c >= 0x3A3 && c <= 0x3AB)) return c + 0x20;  // Α-Ρ, Σ-Ϋ
  if (c == 0x386) return 0x3AC;                                                   // Ά
  if (c >= 0x388 && c <= 0x38A) return c + 0x25;                                  // Έ Ή Ί
  if (c == 0x38C) return 0x3CC;                                                   // Ό
  if (c == 0x38E || c == 0x38F) return c + 0x3F;                                  // Ύ Ώ
  if (c >= 0x410 && c <= 0x42F) return c + 0x20;                                  // А-Я
  if (c >= 0x400 && c <= 0x40F) return c + 0x50;                                  // Ѐ-Џ
  return c;
}

std::string InCase(const std::string& text, bool capitals) {
  std::string out;
  for (char32_t c : CodePoints(text)) out += Utf8Of(capitals ? Capital(c) : Small(c));
  return out;
}

// ANSI is the code page's bytes, which on this system are UTF-8.
std::string Encode(const std::string& text, Encoding encoding) {
  if (encoding == kAnsi) return text;
  if (encoding == kUtf8Bom) return "\xEF\xBB\xBF" + text;
  std::string out = "\xFF\xFE";
  const auto unit = [&out](char32_t u) {
    out += static_cast<char>(u & 0xFF);
    out += static_cast<char>(u >> 8);
  };
  for (char32_t c : CodePoints(text)) {
    if (c < 0x10000) {
      unit(c);
    } else {
      unit(0xD800 + ((c - 0x10000) >> 10));
      unit(0xDC00 + ((c - 0x10000) & 0x3FF));
    }
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

// The folders of the other shapes: a name is `before`, the file's number
// (five digits, or as written for the end shape, or its digits last first
// for the start shape), then `after`.
struct Folder {
  const char* before;
  const char* after;
};
constexpr Folder kCameraFolders[] = {
    {"/home/anna/Pictures/Camera Roll/2019/Holiday/IMG_", ".JPG"},
    {"/media/anna/SD-Karte 64GB/DCIM/100CANON/Urlaub Südküste 2019/IMG_", ".JPG"},
    {"/home/anna/Pictures/Camera Roll/2021/Geburtstag Oma Hildegard 80/DSC_", ".NEF"},
    {"/srv/share/Familie/Fotos/Archiv/Eingescannt/1998-2004/Alben Kassel/Scan_", ".tif"},
    {"/home/anna/Documents/Kundenprojekte/2020/Müller GmbH/Baustelle/Fotos/IMG_", ".jpg"},
    {"/home/anna/Pictures/Camera Roll/2019/Holiday/Bearbeitet/IMG_", ".JPG"},
};
constexpr Folder kStartFolders[] = {
    {"/", "-Sicherung/home/anna/Documents/Projekte/2019/Angebot Mueller GmbH/Entwurf final.docx"},
    {"/", "-Sicherung/home/anna/Pictures/Camera Roll/2019/Holiday/Bearbeitet/Panorama.jpg"},
    {"/", "-Sicherung/srv/share/Familie/Fotos/Archiv/Eingescannt/Alben Kassel/Deckblatt.tif"},
};
constexpr Folder kMiddleFolders[] = {
    {"/home/anna/Pictures/Camera Roll/2019/Urlaub an der Nordsee/Bearbeitet/IMG_",
     " bearbeitet mit Filter (Kopie) - Version fuer den Druck.jpg"},
    {"/srv/share/Familie/Fotos/Archiv/Eingescannt/1998-2004/Alben Kassel/Scan ",
     " Seite links oben, 600 dpi, Farbe korrigiert und zugeschnitten.tif"},
    {"/home/anna/Documents/Kundenprojekte/2020/Mueller GmbH/Baustelle/Protokolle/Protokoll ",
     " Begehung mit Bauherr und Architekt, unterschrieben.pdf"},
};
constexpr Folder kEndFolders[] = {
    {"/home/anna/Documents/Buchhaltung/Belege 2019/Quittungen Barkasse/Quittung Nr. ", ""},
    {"/srv/share/Verwaltung/Rechnungen/Eingang/2020/Lieferant Schmidt und Partner/Rechnung ", ""},
    {"/home/anna/Music/Aufnahmen/Probe Chor Sommerkonzert im Stadtpark/Spur ", ""},
};
constexpr Folder kNonAsciiFolders[] = {
    {"/home/anna/Документы/Фотографии/Отпуск в Крыму 2019/Снимок ",
     " — набережная вечером, обработанный"},
    {"/home/anna/Έγγραφα/Φωτογραφίες/Διακοπές στην Κρήτη/Εικόνα ",
     " παραλία το βράδυ, επεξεργασμένη"},
    {"/home/anna/Bilder/Ausflüge/Grüße aus Köln/Bild ", " Straßenfest am Rhein, größere Übersicht"},
    {"/home/anna/文档/照片/京都旅行 2019/写真 ", " 金閣寺の庭園と池"},
};

struct FolderSet {
  const Folder* folders;
  int count;
};

template <std::size_t N>
constexpr FolderSet SetOf(const Folder (&folders)[N]) {
  return {folders, static_cast<int>(N)};
}

FolderSet FoldersOf(Shape shape) {
  switch (shape) {
    case kStart:
      return SetOf(kStartFolders);
    case kMiddle:
      return SetOf(kMiddleFolders);
    case kEnd:
      return SetOf(kEndFolders);
    case kNonAscii:
    case kCase:
      return SetOf(kNonAsciiFolders);
    default:
      return SetOf(kCameraFolders);
  }
}

// The name as written, before any change of case.
std::string WrittenPath(Shape shape, int folder, int number) {
  std::string digits;
  if (shape == kEnd || shape == kStart) {
    digits = std::to_string(number);
    if (shape == kStart) std::reverse(digits.begin(), digits.end());
  } else {
    char padded[8];
    std::snprintf(padded, sizeof padded, "%05d", number);
    digits = padded;
  }
  const Folder& f = FoldersOf(shape).folders[folder];
  return f.before + digits + f.after;
}

// The name a host asks for, and the name as the store holds it.
std::string FolderPath(Shape shape, int folder, int number) {
  const std::string written = WrittenPath(shape, folder, number);
  return shape == kCase ? InCase(written, number % 2 == 1) : written;
}
std::string StoredPath(Shape shape, int folder, int number) {
  const std::string written = WrittenPath(shape, folder, number);
  return shape == kCase ? InCase(written, number % 2 == 0) : written;
}

// The logon name, as the module finds it.
std::string UserName() {
  struct passwd entry {};
  struct passwd* found = nullptr;
  std::vector<char> buffer(16384);
  if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found)
    return "error";
  return found->pw_name;
}

// A demo install: registry stand-in, store of `entries` marks, language
// file, and the panel of file names a host asks for.
struct Install {
  fs::path root;
  std::vector<std::string> panel;
  std::vector<int> expected;  // each panel file's stored number, 0 when none
  std::size_t largestFile = 0;
  std::string storePath;   // the settings file in force, which holds [Files]
  double candidates = -1;  // lines the search reports per mark lookup
  // What the design does for one value, in order, for a number shown as
  // digits or empty, and for a mark name, which is translated.
  struct Step {
    enum Kind { kRegistry, kTest, kRead, kUser } kind;
    std::string path;
  };
  std::vector<Step> untranslated, translated;
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
  std::map<std::string, int> last;  // each asked name's number, the last line winning
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

Store FolderStore(Shape shape, std::mt19937& random, int entries, std::vector<std::string>& panel) {
  Store store;
  const int folders = FoldersOf(shape).count;
  // Every other file of a folder, at random, is marked; the marks were set
  // in runs of neighbouring files, folder after folder.
  const int perFolder = 2 * entries / folders + 2;
  std::vector<std::pair<int, int>> marked;  // folder, number
  for (int f = 0; f < folders; ++f)
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
      const int mark = MarkNumber(random);
      store.text += StoredPath(shape, folder, number) + "=" + std::to_string(mark) + "\r\n";
      store.last[FolderPath(shape, folder, number)] = mark;
    }
  }
  // The panel lists folders as a host does: neighbouring names, about half
  // of them unmarked.
  while (static_cast<int>(panel.size()) < kPanelSize) {
    const int folder = static_cast<int>(random() % static_cast<unsigned>(folders));
    const int first = static_cast<int>(random() % static_cast<unsigned>(perFolder));
    for (int n = first;
         n < std::min(first + 100, perFolder) && static_cast<int>(panel.size()) < kPanelSize; ++n)
      panel.push_back(FolderPath(shape, folder, n));
  }
  return store;
}

// Keys of one period, "/a" 97 times, then "b" and a number; half of the
// panel asks for them, the other half for names of that period alone, 240
// to 270 units long, which no key holds: every window of a search that
// compares from the name's start goes a long way before it fails.
Store PeriodicStore(std::mt19937& random, int entries, std::vector<std::string>& panel) {
  const auto periodic = [](int units) {
    std::string text;
    while (static_cast<int>(text.size()) < units) text += "/a";
    return text;
  };
  const auto key = [&](int number) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%05d", number);
    return periodic(194) + "b" + digits;
  };
  Store store;
  store.text = "[Files]\r\n";
  for (int n = 0; n < entries; ++n) {
    const int mark = MarkNumber(random);
    store.text += key(n) + "=" + std::to_string(mark) + "\r\n";
    store.last[key(n)] = mark;
  }
  for (int i = 0; i < kPanelSize; ++i) {
    panel.push_back(i % 2 ? periodic(240 + 2 * (i % 16))
                          : key(static_cast<int>(random() % static_cast<unsigned>(entries))));
  }
  return store;
}

// The steps of one value by design, in the order the module takes them.
class Steps {
 public:
  Steps(std::vector<Install::Step>& steps, const std::string& registryValue,
        const std::string& shared)
      : steps_(steps), registryValue_(registryValue), shared_(shared) {}

  void Registry() { steps_.push_back({Install::Step::kRegistry, registryValue_}); }
  void Test(const std::string& path) { steps_.push_back({Install::Step::kTest, path}); }
  void User() { steps_.push_back({Install::Step::kUser, {}}); }
  // A profile reader: the file loaded when it is made (the read tests it
  // first), its date tested again before the read.
  void Reader(const std::string& path) {
    steps_.push_back({Install::Step::kRead, path});
    Test(path);
  }
  // Naming the settings file in force: the install directory for the
  // shared file, which is read for the option; in shared mode the install
  // directory again, in per-user mode each folder of the chain tested and
  // the user looked up.
  void SettingsFileInForce(const std::vector<std::string>& chain) {
    Registry();
    Reader(shared_);
    if (chain.empty()) {
      Registry();
    } else {
      for (const auto& folder : chain) Test(folder);
      User();
    }
  }

 private:
  std::vector<Install::Step>& steps_;
  const std::string& registryValue_;
  const std::string& shared_;
};

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
  const std::string registryValue =
      (install.root / "registry/HKEY_LOCAL_MACHINE/Software/Quorvel/Ombrels/@").string();
  Write(registryValue, dir.string() + '\0');

  std::mt19937 random(entries);
  const Store store = shape == kSpread     ? SpreadStore(random, entries, install.panel)
                      : shape == kPeriodic ? PeriodicStore(random, entries, install.panel)
                                           : FolderStore(shape, random, entries, install.panel);
  for (const auto& name : install.panel) {
    const auto hit = store.last.find(name);
    install.expected.push_back(hit == store.last.end() ? 0 : hit->second);
  }
  const std::string translate = "[Translate]\r\nCurLang=Deutsch\r\n";
  const std::string options =
      std::string("[Options]\r\nBasePerUser=") + (mode == kPerUser ? "1" : "0") + "\r\n";
  const std::string shared = (dir / "settings.ini").string();
  const std::string userFolder = (install.root / "config/Quorvel Ombrels").string();
  const std::string user = userFolder + "/" + UserName() + ".ini";
  if (mode == kShared) {
    Write(shared, Encode(options + translate + store.text, encoding));
  } else {
    Write(shared, Encode(options, encoding));
    Write(user, Encode(translate + store.text, encoding));
  }
  const std::string language = (dir / "langs/Deutsch").string();
  Write(language,
        Encode("[Dict]\r\nCertified=Beglaubigt\r\nCool=Klasse\r\nDanger=Gefahr\r\n"
               "Delete=Löschen\r\nDistinguished=Ausgezeichnet\r\nFavorite=Favorit\r\n"
               "Important=Wichtig/nSofort\r\nNew=Neu\r\nPersonal=Persönlich\r\nWeb=Netz\r\n",
               encoding));
  for (const auto& f : {shared, user})
    if (fs::exists(f))
      install.largestFile = std::max<std::size_t>(install.largestFile, fs::file_size(f));

  // The per-user folder chain: each prefix up to a separator, and the
  // folder itself.
  std::vector<std::string> chain;
  if (mode == kPerUser) {
    for (std::size_t at = 0; (at = userFolder.find('/', at)) != std::string::npos; ++at)
      chain.push_back(userFolder.substr(0, at + 1));
    chain.push_back(userFolder + "/");
  }
  const std::string& inForce = mode == kShared ? shared : user;
  install.storePath = inForce;
  // Looking up the number: the settings file named, then read.
  for (auto* steps : {&install.untranslated, &install.translated}) {
    Steps value(*steps, registryValue, shared);
    value.SettingsFileInForce(chain);
    value.Reader(inForce);
  }
  // A mark name besides: the language named in the settings file in force,
  // in the install directory's langs folder; the file tested, then read.
  Steps name(install.translated, registryValue, shared);
  name.SettingsFileInForce(chain);
  name.Reader(inForce);
  name.Registry();
  name.Test(language);
  name.Reader(language);
  return install;
}

wdxhost::Plugin Load(const char* path) {
  std::string error;
  auto loaded = wdxhost::LoadPlugin(path, error);
  if (!loaded) {
    std::fprintf(stderr, "%s\n", error.c_str());
    std::exit(1);
  }
  return std::move(*loaded);
}

// The module built with this tree; and the baseline, the same module built
// from another revision, when OMBRELS_BASELINE_MODULE names it.
wdxhost::Plugin& Module() {
  static wdxhost::Plugin plugin = Load(OMBRELS_MODULE_PATH);
  return plugin;
}
const char* BaselinePath() { return std::getenv("OMBRELS_BASELINE_MODULE"); }
wdxhost::Plugin& Baseline() {
  static wdxhost::Plugin plugin = Load(BaselinePath());
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

// How many lines of the store's [Files] section the reader's search reports
// per lookup of a panel name, over a sample of the panel: near one for each
// line that holds the name, all of them for a search that finds every place.
double CandidatesPerLookup(const Install& install, Encoding encoding) {
  std::ifstream in(install.storePath, std::ios::binary);
  const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  const std::string header = Encode("[Files]\r\n", encoding)
                                 .substr(encoding == kAnsi      ? 0
                                         : encoding == kUtf8Bom ? 3
                                                                : 2);
  std::size_t reported = 0, lookups = 0;
  for (std::size_t i = 0; i < install.panel.size(); i += 40, ++lookups) {
    const std::u16string name = ombrels::platform::Utf8ToUtf16(install.panel[i]);
    const auto count = [&](std::size_t, std::size_t) { ++reported; };
    if (encoding == kUtf16Le) {
      const ombrels::text::Utf16Text text{std::string_view(bytes).substr(2), false};
      const std::size_t from = (bytes.find(header) - 2) / 2 + header.size() / 2;
      ombrels::text::ForEachCandidateLine(text, name, from, text.size(), count);
    } else {
      const ombrels::text::Utf8Text text{std::string_view(bytes).substr(encoding == kAnsi ? 0 : 3)};
      const std::size_t from = text.bytes.find(header) + header.size();
      ombrels::text::ForEachCandidateLine(text, name, from, text.size(), count);
    }
  }
  return static_cast<double>(reported) / static_cast<double>(lookups);
}

void ValueThrough(benchmark::State& state, wdxhost::Plugin& plugin) {
  const Config config = ConfigOf(state);
  Install& install = GetInstall(config.entries, config.shape, config.mode, config.encoding);
  UseInstall(install);
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
void BM_Value(benchmark::State& state) {
  ValueThrough(state, Module());
  const Config config = ConfigOf(state);
  Install& install = GetInstall(config.entries, config.shape, config.mode, config.encoding);
  if (install.candidates < 0) install.candidates = CandidatesPerLookup(install, config.encoding);
  state.counters["candidates_per_lookup"] = install.candidates;
}
void BM_Baseline(benchmark::State& state) { ValueThrough(state, Baseline()); }

// A file read whole: tested to be a regular file (nothing else is opened),
// opened, its size taken, read, closed. The buffer only grows, so no read
// pays for clearing it.
std::size_t ReadWhole(const char* path, std::vector<char>& buffer) {
  struct stat before {};
  if (::stat(path, &before) != 0 || !S_ISREG(before.st_mode)) return 0;
  const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return 0;
  struct stat st {};
  std::size_t done = 0;
  if (::fstat(fd, &st) == 0) {
    const auto size = static_cast<std::size_t>(st.st_size);
    if (buffer.size() < size) buffer.resize(size);
    while (done < size) {
      const ssize_t n = ::read(fd, buffer.data() + done, size - done);
      if (n <= 0) break;
      done += static_cast<std::size_t>(n);
    }
  }
  ::close(fd);
  return done;
}

std::size_t LineEnds(const std::vector<char>& buffer, std::size_t size) {
  std::size_t lines = 0;
  const char* p = buffer.data();
  const char* end = p + size;
  while ((p = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p))))) {
    ++lines;
    ++p;
  }
  return lines;
}

// The floor of each value by its stored number: a mark from 1 to 10 is
// translated, anything else is shown empty or as digits.
void BM_Floor(benchmark::State& state) {
  const Config config = ConfigOf(state);
  Install& install = GetInstall(config.entries, config.shape, config.mode, config.encoding);
  std::vector<char> buffer;
  static char userBuffer[16384];
  int i = 0;
  for (auto _ : state) {
    const int number = install.expected[i];
    const bool translated = number >= 1 && number <= 10;
    std::size_t work = 0;
    for (const Install::Step& step : translated ? install.translated : install.untranslated) {
      struct stat st {};
      struct passwd entry {};
      struct passwd* found = nullptr;
      switch (step.kind) {
        case Install::Step::kRegistry:
          work += ReadWhole(step.path.c_str(), buffer);
          break;
        case Install::Step::kTest:
          work += ::stat(step.path.c_str(), &st) == 0;
          break;
        case Install::Step::kRead:
          work += LineEnds(buffer, ReadWhole(step.path.c_str(), buffer));
          break;
        case Install::Step::kUser:
          work += ::getpwuid_r(::geteuid(), &entry, userBuffer, sizeof userBuffer, &found) == 0;
          break;
      }
    }
    benchmark::DoNotOptimize(work);
    i = (i + 1) % kPanelSize;
  }
  state.SetLabel(config.Label());
}

// Each configuration's value and floor are registered one after the
// other, so that without random interleaving they also run so, and a change
// in the machine's load between them weighs little on the ratio. Each run
// is long enough for a few hundred values at 10,000 entries and some
// thirty at 100,000 (a few milliseconds each).
void RegisterAll() {
  using Function = void (*)(benchmark::State&);
  for (int entries : {100, 10000, 100000})
    for (int shape = 0; shape < kShapeCount; ++shape)
      for (int mode : {kShared, kPerUser})
        for (int encoding : {kAnsi, kUtf8Bom, kUtf16Le})
          for (const auto& [name, function] :
               {std::pair<const char*, Function>{"BM_Value", BM_Value},
                std::pair<const char*, Function>{"BM_Floor", BM_Floor},
                std::pair<const char*, Function>{"BM_Baseline", BM_Baseline}}) {
            if (function == BM_Baseline && !BaselinePath()) continue;
            if (shape == kPeriodic && entries < 10000) continue;  // (a store that large only)
            benchmark::RegisterBenchmark(name, function)
                ->Args({entries, shape, mode, encoding})
                ->Unit(benchmark::kMicrosecond)
                ->MinTime(entries == 100     ? 0.2
                          : entries == 10000 ? 0.15
                                             : 0.25);
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
