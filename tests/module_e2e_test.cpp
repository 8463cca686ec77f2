// The built module, loaded as a host loads it and driven through its
// exports only; the registry and the settings file are real.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

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

}  // namespace
}  // namespace ombrels
