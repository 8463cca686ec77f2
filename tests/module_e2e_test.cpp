// The built module, loaded as a host loads it and driven through its
// exports only; the registry and the settings file are real.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <sstream>

#include "platform/platform.h"
#include "platform/testing.h"
#include "support/LoadedModule.h"
#include "support/TempDir.h"
#include "support/TestEnvironment.h"

namespace ombrels {
namespace {

using namespace std::string_literals;
using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

std::vector<std::filesystem::path> Tree(const std::filesystem::path& root) {
  std::vector<std::filesystem::path> entries;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root))
    entries.push_back(entry.path().lexically_relative(root));
  std::sort(entries.begin(), entries.end());
  return entries;
}

std::string UserName() { return platform::NativeOs().LogonName(253).value_or("error"); }

class ModuleTest : public testing::LoadedModule {
 protected:
  std::string Settings() const { return install_.file("settings.ini"); }
  std::string File(const std::string& name) const { return install_.file("data") + sep_ + name; }

  // The result code and the text, as a host sees them.
  std::pair<int, std::string> Value(const std::string& file, int maxlen = 2049) {
    std::string buffer(2049, '#');
    const int result = plugin_.getValue(file.c_str(), 0, 0, buffer.data(), maxlen, 0);
    return {result, buffer.substr(0, buffer.find('\0'))};
  }

  void WriteStore(const std::map<std::string, std::string>& marks) {
    std::string text = "[Options]\r\nBasePerUser=0\r\n[Files]\r\n";
    for (const auto& [name, mark] : marks) text += File(name) + "=" + mark + "\r\n";
    WriteBytes(Settings(), text);
  }

  const std::string sep_ = std::string(1, platform::kPathSeparator);
};

TEST_F(ModuleTest, HostEnumeratesOneStringField) {
  std::vector<std::string> names;
  for (int index = 0; index < 10; ++index) {
    char name[256] = {}, units[256] = "#";
    const int type = plugin_.getSupportedField(index, name, units, 256);
    if (type == ft_nomorefields) break;
    EXPECT_EQ(type, ft_string);
    EXPECT_STREQ(units, "");
    names.push_back(name);
  }
  EXPECT_EQ(names, std::vector<std::string>{"Ombrel"});
}

// The result codes in the host's own numbers, not through our header.
TEST_F(ModuleTest, ResultCodesAreTheHostsNumbers) {
  char name[64], units[64], value[64];
  EXPECT_EQ(plugin_.getSupportedField(0, name, units, 64), 8);                // a string
  EXPECT_EQ(plugin_.getSupportedField(1, name, units, 64), 0);                // no more fields
  EXPECT_EQ(plugin_.getValue(File("none").c_str(), 1, 0, value, 64, 0), -1);  // no such field
  EXPECT_EQ(plugin_.getValue(File("none").c_str(), 0, 0, value, 64, 0), -3);  // empty
}

TEST_F(ModuleTest, ShowsEachFilesMark) {
  WriteStore({{"zero.txt", "0"},
              {"cool.jpg", "2"},
              {"new.doc", "8"},
              {"eleven", "11"},
              {"minus.txt", "-5"},
              {"hex.txt", "0x3"},
              {"bad.txt", "3a"}});
  EXPECT_EQ(Value(File("zero.txt")), std::pair(int{ft_fieldempty}, ""s));
  EXPECT_EQ(Value(File("cool.jpg")), std::pair(int{ft_string}, "Cool"s));
  EXPECT_EQ(Value(File("new.doc")), std::pair(int{ft_string}, "New"s));
  EXPECT_EQ(Value(File("eleven")), std::pair(int{ft_string}, "11"s));
  EXPECT_EQ(Value(File("minus.txt")), std::pair(int{ft_string}, "-5"s));
  EXPECT_EQ(Value(File("hex.txt")), std::pair(int{ft_string}, "Danger"s));
  EXPECT_EQ(Value(File("bad.txt")), std::pair(int{ft_fieldempty}, ""s));
  EXPECT_EQ(Value(File("unmarked.txt")), std::pair(int{ft_fieldempty}, ""s));
  EXPECT_EQ(Value(File("cool.jpg"), 3), std::pair(int{ft_string}, "Co"s));
  EXPECT_EQ(Value(File("cool.jpg"), 1), std::pair(int{ft_fieldempty}, ""s));
}

TEST_F(ModuleTest, AChangedStoreShowsAtTheNextCall) {
  WriteStore({{"a.txt", "2"}});
  EXPECT_EQ(Value(File("a.txt")).second, "Cool");
  WriteStore({{"a.txt", "10"}});  // within the same second, same size
  EXPECT_EQ(Value(File("a.txt")).second, "Web");
  WriteStore({});
  EXPECT_EQ(Value(File("a.txt")).first, ft_fieldempty);
}

TEST_F(ModuleTest, MissingRegistryOrStoreMeansNoMark) {
  WriteStore({{"a.txt", "2"}});
  registry_.DeleteKey(platform::RegistryRoot::LocalMachine, "Software\\Quorvel\\Ombrels");
  EXPECT_EQ(Value(File("a.txt")), std::pair(int{ft_fieldempty}, ""s));
  registry_.Set(platform::RegistryRoot::LocalMachine, "Software\\Quorvel\\Ombrels", "",
                install_.file("elsewhere") + '\0');
  EXPECT_EQ(Value(File("a.txt")), std::pair(int{ft_fieldempty}, ""s));
}

TEST_F(ModuleTest, ReadsWithoutWritingAnything) {
  WriteStore({{"a.txt", "2"}, {"b.txt", "5"}});
  const std::string before = ReadBytes(Settings());
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(Value(File("a.txt")).second, "Cool");
    EXPECT_EQ(Value(File("b.txt")).second, "Distinguished");
  }
  EXPECT_EQ(ReadBytes(Settings()), before);
  EXPECT_EQ(Tree(install_.path()), std::vector<std::filesystem::path>{"settings.ini"});
}

TEST_F(ModuleTest, PerUserModeReadsTheUsersOwnFile) {
  TempDir appData;
  testing::ScopedAppData scoped(appData.path().string());
  const auto folder = appData.path() / "Quorvel Ombrels";
  const std::string userFile = UserName() + ".ini";
  WriteBytes(Settings(), "[Options]\r\nBasePerUser=1\r\n[Files]\r\n" + File("a.txt") + "=2\r\n");

  EXPECT_EQ(Value(File("a.txt")).first, ft_fieldempty);  // no file of the user's yet
  EXPECT_TRUE(std::filesystem::is_directory(folder));
  WriteBytes(folder / userFile, "[Files]\r\n" + File("a.txt") + "=8\r\n");
  EXPECT_EQ(Value(File("a.txt")).second, "New");

  WriteBytes(Settings(), "[Options]\r\nBasePerUser=0\r\n[Files]\r\n" + File("a.txt") + "=2\r\n");
  EXPECT_EQ(Value(File("a.txt")).second, "Cool");  // switched back at the next call

  EXPECT_EQ(Tree(appData.path()),
            (std::vector<std::filesystem::path>{
                "Quorvel Ombrels", std::filesystem::path("Quorvel Ombrels") / userFile}));
  EXPECT_EQ(Tree(install_.path()), std::vector<std::filesystem::path>{"settings.ini"});
}

TEST_F(ModuleTest, PerUserModeWithAMissingAppDataFolder) {
  TempDir base;
  const auto missing = base.path() / "x" / "y" / "AppData";
  testing::ScopedAppData scoped(missing.string());
  WriteBytes(Settings(), "[Options]\r\nBasePerUser=yes\r\n");
  WriteBytes(install_.path() / (UserName() + ".ini"), "[Files]\r\n" + File("a.txt") + "=3\r\n");
  const auto answer = Value(File("a.txt"));
  if (platform::NativeOs().AppDataFolder()) {
    // Where the folder can be named though it is missing, it is made, from
    // the root down; the user's file there does not exist yet.
    EXPECT_TRUE(std::filesystem::is_directory(missing / "Quorvel Ombrels"));
    EXPECT_EQ(answer.first, ft_fieldempty);
  } else {
    // Where the shell cannot locate it, the install directory serves.
    EXPECT_EQ(answer.second, "Danger");
    EXPECT_FALSE(std::filesystem::exists(base.path() / "x"));
  }
}

// A file name outside ASCII, in the code page the host runs with, against
// a store in UTF-16: on a double-byte code page the name's trail byte may
// be a backslash.
TEST_F(ModuleTest, FindsANonAsciiNameInAUtf16Store) {
  auto& os = platform::NativeOs();
  std::u16string letter;
  for (std::u16string candidate : {u"\u00E9", u"\u8868", u"\u0416"}) {
    if (os.AnsiToWide(os.WideToAnsi(candidate)) == candidate) {
      letter = candidate;
      break;
    }
  }
  ASSERT_FALSE(letter.empty()) << "no test letter in this code page";
  const std::string file = File("d") + os.WideToAnsi(letter) + ".txt";
  const std::u16string text = u"[Files]\r\n" + os.AnsiToWide(file) + u"=7\r\n";
  WriteBytes(Settings(), testing::Utf16Bytes(text));
  EXPECT_EQ(Value(file), std::pair(int{ft_string}, "Important"s));
  EXPECT_EQ(Value(File("d.txt")).first, ft_fieldempty);
}

TEST_F(ModuleTest, TranslatesThroughTheLanguageNamedInTheSettings) {
  const std::string marks = "[Files]\r\n" + File("a.txt") + "=2\r\n" + File("b.txt") + "=7\r\n";
  WriteBytes(install_.path() / "langs" / "Deutsch",
             testing::Utf16Bytes(u"[Dict]\r\nCool=Klasse\r\n"));
  WriteBytes(install_.path() / "langs" / "Empty", testing::Utf16Bytes(u"[Dict]\r\nCool= \r\n"));
  std::filesystem::create_directories(install_.path() / "langs" / "Folder");
  const auto lang = [&](const std::string& name) {
    WriteBytes(Settings(), "[Translate]\r\nCurLang=" + name + "\r\n" + marks);
    return Value(File("a.txt")).second;
  };
  EXPECT_EQ(lang("Deutsch"), "Klasse");
  EXPECT_EQ(Value(File("b.txt")).second, "Important");  // no entry: English
  EXPECT_EQ(lang("Empty"), "Cool");
  EXPECT_EQ(lang("Folder"), "Cool");
  EXPECT_EQ(lang("Missing"), "Cool");
  EXPECT_EQ(lang(""), "Cool");
  EXPECT_EQ(lang("Deutsch"), "Klasse");  // switched back at the next call
  EXPECT_EQ(Tree(install_.path()), (std::vector<std::filesystem::path>{
                                       "langs", std::filesystem::path("langs") / "Deutsch",
                                       std::filesystem::path("langs") / "Empty",
                                       std::filesystem::path("langs") / "Folder", "settings.ini"}));
}

// The host's buffer never ends in half a character, whatever the code page.
TEST_F(ModuleTest, CutTranslationKeepsWholeCharacters) {
  auto& os = platform::NativeOs();
  WriteBytes(install_.path() / "langs" / "Default",
             testing::Utf16Bytes(u"[Dict]\r\nCool=\u8868\u8868\r\n"));
  WriteStore({{"a.txt", "2"}});
  const std::string one = os.WideToAnsi(u"\u8868");
  const int maxlen = static_cast<int>(2 * one.size());  // room for all but one byte
  EXPECT_EQ(Value(File("a.txt"), maxlen), std::pair(int{ft_string}, one));
  EXPECT_EQ(Value(File("a.txt"), maxlen + 1), std::pair(int{ft_string}, one + one));
  if (one.size() > 1) {
    EXPECT_EQ(Value(File("a.txt"), static_cast<int>(one.size())),
              std::pair(int{ft_fieldempty}, ""s));
  }
}

// The host tool's --explain, run as a user runs it, for a translated, a
// plain and a missing mark: from the shared file, then from the user's own.
// Each explanation ends in the module's own answer.
TEST_F(ModuleTest, ExplainShowsTheRoadOfEachValue) {
  TempDir appData;
  testing::ScopedAppData scoped(appData.path().string());
  WriteBytes(install_.path() / "langs" / "Deutsch", "[Dict]\r\nCool=Klasse\r\n");
  const std::string marks = "[Translate]\r\nCurLang=Deutsch\r\n[Files]\r\n" + File("a.txt") +
                            "=2\r\n" + File("b.txt") + "=7\r\n" + install_.file("old") + sep_ +
                            "C.TXT=3\r\n";
  const std::vector<std::string> files = {File("a.txt"), File("b.txt"), File("c.txt")};
  const auto has = [](const std::string& block, const std::string& line) {
    return block.find("\n" + line + "\n") != std::string::npos;
  };

  // Each file's explanation, by the quoted name that heads it.
  const auto explain = [&](const std::vector<std::string>& names) {
    std::vector<std::string> args = {OMBRELS_WDXQUERY_PATH, "--explain", OMBRELS_MODULE_PATH};
    args.insert(args.end(), names.begin(), names.end());
    const testing::ProgramRun run = testing::RunProgram(args);
    EXPECT_EQ(run.exitCode, 0) << run.output;
    std::map<std::string, std::string> blocks;
    std::istringstream lines(run.output);
    std::string head;
    for (std::string line; std::getline(lines, line);) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (line.rfind("  ", 0) == 0) {
        blocks[head] += line + "\n";
      } else {
        head = line;
        blocks[head] = "\n";
      }
    }
    for (const std::string& name : names) {
      const auto [code, text] = Value(name);
      const std::string answer = std::to_string(code) +
                                 (code == ft_string ? " (ft_string) \"" : " (ft_fieldempty) \"") +
                                 text + "\"";
      const std::string& block = blocks["\"" + name + "\""];
      const std::string end = "\n  value: " + answer + "\n  module: " + answer + ", the same\n";
      EXPECT_TRUE(block.size() >= end.size() && block.substr(block.size() - end.size()) == end)
          << "explanation of " << name << " does not end in the module's answer " << answer << ":"
          << block;
    }
    return blocks;
  };
  const auto checkMarks = [&](std::map<std::string, std::string> blocks) {
    const std::string& translated = blocks["\"" + files[0] + "\""];
    EXPECT_TRUE(has(translated,
                    "    language file: \"" + install_.file("langs") + sep_ + "Deutsch\" (exists)"))
        << translated;
    EXPECT_TRUE(has(translated, "    [Dict] entry \"Cool\": \"Klasse\" -> \"Klasse\""))
        << translated;
    const std::string& plain = blocks["\"" + files[1] + "\""];
    EXPECT_TRUE(has(plain, "    [Dict] entry \"Important\": no entry -> English")) << plain;
    const std::string& missing = blocks["\"" + files[2] + "\""];
    EXPECT_TRUE(has(missing, "  [Files] entry \"" + files[2] +
                                 "\": no entry -> mark 0: the store has no mark for this path"))
        << missing;
    EXPECT_TRUE(has(missing, "      \"" + install_.file("old") + sep_ + "C.TXT\"")) << missing;
  };

  WriteBytes(Settings(), "[Options]\r\nBasePerUser=0\r\n" + marks);
  const auto shared = explain(files);
  checkMarks(shared);
  EXPECT_TRUE(has(shared.at("\"" + files[0] + "\""),
                  "  settings file in force: \"" + Settings() + "\" (exists)"));

  // Per user: the first request makes the user's folder; the user's file
  // holds the marks and the language.
  WriteBytes(Settings(), "[Options]\r\nBasePerUser=1\r\n" + marks);
  const std::string userFile = "Quorvel Ombrels" + sep_ + UserName() + ".ini\"";
  const std::string first = explain({files[0]}).at("\"" + files[0] + "\"");
  EXPECT_NE(first.find("Quorvel Ombrels" + sep_ + "\"\n"), std::string::npos) << first;
  EXPECT_NE(first.find(userFile + " (does not exist)\n"), std::string::npos) << first;
  WriteBytes(appData.path() / "Quorvel Ombrels" / (UserName() + ".ini"), marks);
  const auto perUser = explain(files);
  checkMarks(perUser);
  const std::string& again = perUser.at("\"" + files[0] + "\"");
  EXPECT_TRUE(has(again, "    folders created: none")) << again;
  EXPECT_NE(again.find(userFile + " (exists)\n"), std::string::npos) << again;

  // A language name that leaves the "langs" folder names no language file.
  WriteBytes(install_.path() / "evil", "[Dict]\r\nCool=Evil\r\n");
  WriteBytes(Settings(),
             "[Translate]\r\nCurLang=.." + sep_ + "evil\r\n[Files]\r\n" + File("a.txt") + "=2\r\n");
  const std::string refused = explain({files[0]}).at("\"" + files[0] + "\"");
  EXPECT_TRUE(has(refused,
                  "    \"CurLang\" names no file in the langs folder: it holds a path separator -> "
                  "English"))
      << refused;
  EXPECT_EQ(Value(files[0]), std::pair(int{ft_string}, "Cool"s));
}

}  // namespace
}  // namespace ombrels
