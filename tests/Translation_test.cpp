// Translated mark names: finding the language file, reading it, falling back.
#include "translation/Translation.h"

#include <gtest/gtest.h>

#include "platform/Utf8.h"
#include "plugin/TC_Ombrels.h"
#include "support/MemoryOs.h"
#include "support/TempDir.h"

namespace ombrels {
namespace {

using testing::MemoryOs;

const std::string S(1, platform::kPathSeparator);

class TranslationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    os_.installDir = "I";
    os_.appData = "U";
    os_.directories = {"U" + S, "I" + S + "langs" + S + "Dir"};
  }
  void Settings(const std::string& text) { os_.files[settings_] = text; }
  void Language(const std::string& name, const std::string& dict) {
    os_.files["I" + S + "langs" + S + name] = "[Dict]\n" + dict;
  }
  std::string Marks() {
    std::string all;
    for (int n = 1; n <= 10; ++n) all += MarkNameOf(n) + "|";
    return all;
  }
  MemoryOs os_;
  platform::ScopedOs scoped_{os_};
  const std::string settings_ = "I" + S + "settings.ini";
  const std::string english_ =
      "Certified|Cool|Danger|Delete|Distinguished|Favorite|Important|New|Personal|Web|";
};

TEST_F(TranslationTest, LanguageFileIsNamedByCurLang) {
  EXPECT_EQ(GetLanguageFilePath(), "I" + S + "langs" + S + "Default");
  Settings("[Translate]\nCurLang=Deutsch.lng\n");
  EXPECT_EQ(GetLanguageFilePath(), "I" + S + "langs" + S + "Deutsch.lng");  // no extension added
  Settings("[Translate]\nCurLang=\n");
  EXPECT_EQ(GetLanguageFilePath(), "I" + S + "langs" + S);
}

TEST_F(TranslationTest, DefaultLanguageFileWhenNoneIsNamed) {
  EXPECT_EQ(Marks(), english_);  // neither CurLang nor a file "Default"
  Language("Default", "Cool=Klasse\n");
  EXPECT_EQ(MarkNameOf(2), "Klasse");
}

TEST_F(TranslationTest, EntriesReplaceTheirNamesOthersStayEnglish) {
  Settings("[Translate]\nCurLang=Deutsch\n");
  Language("Deutsch",
           "cool=Klasse\nDanger=\nDelete=  \t \nNew= Neu \nWeb=Netz/nund/nmehr\nPersonal=a/Nb\n"
           "Favorite=Favorit/n\nImportant=/nWichtig\n");
  EXPECT_EQ(MarkNameOf(2), "Klasse");  // keys match without regard to case
  EXPECT_EQ(MarkNameOf(3), "Danger");  // empty
  EXPECT_EQ(MarkNameOf(4), "Delete");  // blanks only
  EXPECT_EQ(MarkNameOf(8), "Neu");     // the reader trims values
  EXPECT_EQ(MarkNameOf(1), "Certified");
  const std::string br = os_.WideToAnsi(platform::kLineBreak);
  EXPECT_EQ(MarkNameOf(10), "Netz" + br + "und" + br + "mehr");
  EXPECT_EQ(MarkNameOf(9), "a/Nb");
  EXPECT_EQ(MarkNameOf(6), "Favorit" + br);  // breaks at either end are kept
  EXPECT_EQ(MarkNameOf(7), br + "Wichtig");
  EXPECT_EQ(MarkNameOf(11), "11");
}

TEST_F(TranslationTest, NoUsableLanguageFileMeansEnglish) {
  Language("Deutsch", "Cool=Klasse\n");
  for (const char* line : {"CurLang=Missing", "CurLang=Dir", "CurLang="}) {
    Settings(std::string("[Translate]\n") + line + "\n");
    EXPECT_EQ(Marks(), english_) << line;
  }
  Settings("[Translate]\nCurLang=Deutsch\n");
  os_.unreadable = {"I" + S + "langs" + S + "Deutsch"};
  EXPECT_EQ(Marks(), english_);
  Translation steps;  // (as --explain shows them: why the file was not read)
  EXPECT_EQ(Translate("Cool", &steps), u"Cool");
  EXPECT_NE(steps.failure.find("Access is denied."), std::string::npos) << steps.failure;
}

// "CurLang" names a file in the "langs" folder and nothing else: a name
// that could leave the folder or open a device names no language file,
// although a file of that very name is there to be read.
TEST_F(TranslationTest, CurLangNamesAFileInLangsOnly) {
  const std::string langs = "I" + S + "langs" + S;
  const std::string refused[] = {"..",
                                 ".",
                                 ".." + S + "evil",
                                 "../evil",
                                 "a\\b",
                                 "a/b",
                                 "C:evil",
                                 "evil:stream",
                                 "NUL",
                                 "nul.txt",
                                 "Con ",
                                 "CON .lng",
                                 "aux",
                                 "PRN",
                                 "COM1",
                                 "lpt9.x",
                                 "COM0",
                                 "CONIN$",
                                 "conout$",
                                 os_.WideToAnsi(u"COM\u00B9"),
                                 os_.WideToAnsi(u"lpt\u00B2"),
                                 os_.WideToAnsi(u"Com\u00B3.txt"),
                                 std::string(platform::kLongestPath + 1, 'x')};
  for (const std::string& name : refused) {
    os_.files[langs + name] = "[Dict]\nCool=Evil\n";
    Settings("[Translate]\nCurLang=" + name + "\n");
    EXPECT_EQ(MarkNameOf(2), "Cool") << name;
    LanguageFileChoice choice;
    EXPECT_EQ(GetLanguageFilePath(&choice), std::nullopt) << name;
    EXPECT_FALSE(choice.refused.empty()) << name;
  }
  // A backslash's byte that is the second byte of a double-byte character
  // (code page 932) is no separator.
  const std::string hyo = "\x95\x5C";
  const bool doubleByte = os_.CharLength(hyo, 0) == 2;
  const std::string accepted[] = {"Deutsch",
                                  "Deutsch.lng",
                                  "x..y",
                                  "..x",
                                  "COM",
                                  "COM10",
                                  "Console",
                                  "LPTx",
                                  "nul2",
                                  "CON_",
                                  "Lux",
                                  "Bom1",
                                  std::string(250, 'x')};
  for (const std::string& name : accepted) {
    os_.files[langs + name] = "[Dict]\nCool=Klasse\n";
    Settings("[Translate]\nCurLang=" + name + "\n");
    EXPECT_EQ(MarkNameOf(2), "Klasse") << name;
  }
  os_.files[langs + hyo] = "[Dict]\nCool=Klasse\n";
  Settings("[Translate]\nCurLang=" + hyo + "\n");
  EXPECT_EQ(MarkNameOf(2), doubleByte ? "Klasse" : "Cool");
}

// A failure that is no std::exception, from whatever the system layer
// calls, stops where it is caught, and is named for --explain.
TEST_F(TranslationTest, AFailureOfAnyKindIsCaughtAndNamed) {
  Language("Deutsch", "Cool=Klasse\n");
  Settings("[Translate]\nCurLang=Deutsch\n");
  os_.raising = {"I" + S + "langs" + S + "Deutsch"};
  Translation steps;
  EXPECT_EQ(Translate("Cool", &steps), u"Cool");
  EXPECT_EQ(steps.failure, "unknown failure");
  EXPECT_EQ(steps.language.failure, "");
  os_.raising = {settings_};
  steps = {};
  EXPECT_EQ(Translate("Cool", &steps), u"Cool");
  EXPECT_EQ(steps.language.failure, "unknown failure");
  EXPECT_EQ(steps.language.choice.failure, "unknown failure");  // (BasePerUser, same file)
}

TEST_F(TranslationTest, UnreadableSettingsMeanTheBareDefault) {
  Settings("[Translate]\nCurLang=Deutsch\n");
  os_.unreadable = {settings_};
  EXPECT_EQ(GetLanguageFilePath(), "Default");
  EXPECT_EQ(MarkNameOf(2), "Cool");
}

TEST_F(TranslationTest, SwitchingLanguageShowsAtTheNextCall) {
  Language("Deutsch", "Cool=Klasse\n");
  Language("Francais", "Cool=Chouette\n");
  Settings("[Translate]\nCurLang=Deutsch\n");
  EXPECT_EQ(MarkNameOf(2), "Klasse");
  Settings("[Translate]\nCurLang=Francais\n");
  EXPECT_EQ(MarkNameOf(2), "Chouette");
}

TEST_F(TranslationTest, PerUserModeTakesTheLanguageFromTheUsersFile) {
  Language("Deutsch", "Cool=Klasse\n");
  Language("Francais", "Cool=Chouette\n");
  Settings("[Options]\nBasePerUser=1\n[Translate]\nCurLang=Deutsch\n");
  os_.files["U" + S + "Quorvel Ombrels" + S + "anna.ini"] = "[Translate]\nCurLang=Francais\n";
  EXPECT_EQ(MarkNameOf(2), "Chouette");
  os_.files.erase("U" + S + "Quorvel Ombrels" + S + "anna.ini");
  EXPECT_EQ(MarkNameOf(2), "Cool");  // the user's file has no CurLang: "Default"
}

TEST(TranslationProfileApi, ValueIsKeptAsTheApiReturnsIt) {
  testing::ProfileApiOs os;
  platform::ScopedOs scoped(os);
  os.installDir = "I";
  const std::string language = "I" + S + "langs" + S + "Default";
  os.files[language] = "";  // exists; its entries are the API's answers
  os.answers[{language, u"Dict", u"Cool"}] = u" Klasse ";  // "\" Klasse \"" unquoted
  os.answers[{language, u"Dict", u"New"}] = u" \t ";       // a quoted blank
  EXPECT_EQ(MarkNameOf(2), " Klasse ");
  EXPECT_EQ(MarkNameOf(8), "New");
}

TEST(TranslationOnDisk, LanguageFilesInEveryEncoding) {
  // On Windows these go through the platform's profile API, elsewhere
  // through the in-memory reader.
  testing::TempDir dir;
  testing::InstallAtOs os(dir.path().string());
  platform::ScopedOs scoped(os);
  const std::u16string dict =
      u"; translated\r\n[Dict]\r\nCool=Gro\u00DFartig\r\nNew=Neu/nheute\r\n";
  const std::string files[][2] = {{"le", testing::Utf16Bytes(dict)},
                                  {"be", testing::Utf16Bytes(dict, true)},
                                  {"utf8", "\xEF\xBB\xBF" + platform::Utf16ToUtf8(dict)},
                                  {"ansi", os.WideToAnsi(dict)}};
  const std::string br = os.WideToAnsi(platform::kLineBreak);
  for (const auto& [name, bytes] : files) {
    testing::WriteBytes(dir.path() / "settings.ini", "[Translate]\r\nCurLang=" + name + "\r\n");
    testing::WriteBytes(dir.path() / "langs" / name, bytes);
    EXPECT_EQ(MarkNameOf(2), os.WideToAnsi(u"Gro\u00DFartig")) << name;
    EXPECT_EQ(MarkNameOf(8), "Neu" + br + "heute") << name;
    EXPECT_EQ(MarkNameOf(3), "Danger") << name;
  }
}

}  // namespace
}  // namespace ombrels
