// The Win32 backend against the real APIs: registry views, the wide
// profile API and the code page the process runs with.
#include <gtest/gtest.h>
#include <windows.h>

#include "platform/testing.h"
#include "plugin/InstallDir.h"
#include "plugin/TC_Ombrels.h"
#include "settings/PerUser.h"
#include "settings/TntIniFiles.h"
#include "support/ForwardingOs.h"
#include "support/TempDir.h"
#include "support/TestEnvironment.h"

namespace ombrels {
namespace {

using namespace std::string_literals;
using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

platform::Os& Os() { return platform::NativeOs(); }

UINT CodePage() { return GetACP(); }

void SetInView(REGSAM view, const std::string& subKey, const std::string& data) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, subKey.c_str(), 0, nullptr, 0, KEY_SET_VALUE | view,
                            nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegSetValueExA(key, "", 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                 static_cast<DWORD>(data.size() + 1));
  RegCloseKey(key);
}

void DeleteInView(REGSAM view, const std::string& subKey) {
  RegDeleteKeyExA(HKEY_LOCAL_MACHINE, subKey.c_str(), view, 0);
}

TEST(Win32Os, RegistryViewsOfThe64BitModule) {
  if (sizeof(void*) != 8) GTEST_SKIP() << "32-bit process";
  const std::string key = "Software\\Quorvel\\OmbrelsViewTest";
  // Only in the 64-bit view: found there, since the 32-bit view lacks the key.
  SetInView(KEY_WOW64_64KEY, key, "C:\\From64");
  EXPECT_EQ(ReadRegistryText(key, "", platform::RegistryRoot::LocalMachine), "C:\\From64");
  // In both views: the 32-bit view, the one the 32-bit module reads, wins.
  SetInView(KEY_WOW64_32KEY, key, "C:\\From32");
  EXPECT_EQ(ReadRegistryText(key, "", platform::RegistryRoot::LocalMachine), "C:\\From32");
  DeleteInView(KEY_WOW64_32KEY, key);
  DeleteInView(KEY_WOW64_64KEY, key);
}

TEST(Win32Os, NtFamilyReadsThroughTheProfileApi) {
  ASSERT_EQ(Os().Family(), platform::PlatformFamily::WindowsNT);
  TempDir dir;
  const std::string path = dir.file("s.ini");
  const std::string text =
      "[Files]\r\nC:\\Data\\a.txt=0x1F\r\nempty=\r\nlong=" + std::string(3000, 'v') + "\r\n";
  WriteBytes(path, text);
  {
    TTntIniFile ini(Os().AnsiToWide(path));
    EXPECT_EQ(ini.ReadEntryNumber(u"Files", u"c:\\DATA\\A.TXT", 0), 31);
    EXPECT_EQ(ini.ReadEntry(u"Files", u"empty", u"dflt"), u"");
    EXPECT_EQ(ini.ReadEntry(u"Files", u"absent", u"dflt"), u"dflt");
    EXPECT_EQ(ini.ReadEntry(u"Nothing", u"absent", u"dflt"), u"dflt");
    EXPECT_EQ(ini.ReadEntry(u"Files", u"long", u""), std::u16string(2047, u'v'));
  }
  {
    TTntIniFile missing(Os().AnsiToWide(dir.file("none.ini")));
    EXPECT_EQ(missing.ReadEntry(u"Files", u"k", u"dflt"), u"dflt");
  }
  // Releasing the readers flushed the cache and wrote nothing.
  EXPECT_EQ(ReadBytes(path), text);
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "none.ini"));
}

TEST(Win32Os, SingleByteCodePageBestFitAndDefault) {
  if (CodePage() != 1252) GTEST_SKIP() << "code page " << CodePage();
  EXPECT_EQ(Os().AnsiToWide("caf\xE9"), u"caf\u00E9");
  EXPECT_EQ(Os().WideToAnsi(u"caf\u00E9"), "caf\xE9");
  EXPECT_EQ(Os().WideToAnsi(u"\u0100"), "A");  // best fit
  EXPECT_EQ(Os().WideToAnsi(u"\u4E00"), "?");  // default character
  EXPECT_EQ(Os().CharLength("\x95\x5C\x41", 0), 1u);
}

TEST(Win32Os, TranslationOutsideTheCodePageGetsBestFitOrDefault) {
  if (CodePage() != 1252) GTEST_SKIP() << "code page " << CodePage();
  TempDir dir;
  testing::InstallAtOs os(dir.path().string());
  platform::ScopedOs scoped(os);
  WriteBytes(dir.path() / "langs" / "Default",
             testing::Utf16Bytes(u"[Dict]\r\nCool=\u0100ll\u00E9\r\nNew=\u4E00\r\n"));
  EXPECT_EQ(MarkNameOf(2), "All\xE9");  // best fit for U+0100
  EXPECT_EQ(MarkNameOf(8), "?");        // the default character
}

TEST(Win32Os, DoubleByteCodePageNeverCutsACharacter) {
  if (CodePage() != 932) GTEST_SKIP() << "code page " << CodePage();
  // U+8868 is 0x95 0x5C in Shift-JIS: its trail byte is a backslash.
  EXPECT_EQ(Os().WideToAnsi(u"\u8868"), "\x95\x5C");
  EXPECT_EQ(Os().AnsiToWide("A\x95\x5C"
                            "B"),
            u"A\u8868B");
  const std::string text =
      "A\x95\x5C"
      "B";
  EXPECT_EQ(Os().CharLength(text, 1), 2u);
  EXPECT_EQ(Os().CharLength(text, 3), 1u);
  EXPECT_EQ(Os().CharLength("\x95", 0), 1u);  // a lead byte at the end stands alone
  char buffer[8];
  BoundedCopy(buffer, text, 3);
  EXPECT_STREQ(buffer, "A");
  BoundedCopy(buffer, text, 4);
  EXPECT_STREQ(buffer, "A\x95\x5C");
}

TEST(Win32Os, DirectoryChainWalksDoubleByteCharacters) {
  if (CodePage() != 932) GTEST_SKIP() << "code page " << CodePage();
  TempDir dir;
  // The folder U+8868 is 0x95 0x5C in Shift-JIS; a walk over bytes would
  // make a folder named after its lead byte alone.
  const std::string path = dir.file("") + "\x95\x5C\\sub";
  EXPECT_TRUE(ForceDirectoryChain(path));
  EXPECT_TRUE(std::filesystem::is_directory(dir.path() / L"\u8868" / L"sub"));
  std::vector<std::wstring> entries;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
    entries.push_back(entry.path().filename().wstring());
  EXPECT_EQ(entries, std::vector<std::wstring>{L"\u8868"});
  // A path that ends in the character ends in no separator of its own.
  EXPECT_TRUE(ForceDirectoryChain(dir.file("") + "x\x95\x5C"));
  EXPECT_TRUE(std::filesystem::is_directory(dir.path() / L"x\u8868"));
}

}  // namespace
}  // namespace ombrels
