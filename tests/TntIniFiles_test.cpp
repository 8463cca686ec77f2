// The reader classes: both families, reload, failures, release.
#include "settings/TntIniFiles.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/ForwardingOs.h"
#include "support/MemoryOs.h"
#include "support/TempDir.h"

namespace ombrels {
namespace {

using testing::ForwardingOs;
using testing::TempDir;
using testing::WriteBytes;

std::u16string Wide(const std::string& ansi) { return platform::os().AnsiToWide(ansi); }

// The 95 family, whatever the native backend says.
struct Win95Os : ForwardingOs {
  platform::PlatformFamily Family() override { return platform::PlatformFamily::Windows95; }
};

// The NT family with a recording stand-in for the profile API.
struct NtOs : ForwardingOs {
  std::vector<std::u16string> flushed;
  std::size_t capacity = 0;
  std::u16string stored = u"from the profile API";
  platform::PlatformFamily Family() override { return platform::PlatformFamily::WindowsNT; }
  std::u16string ProfileString(const std::u16string&, const std::u16string& key,
                               const std::u16string& defaultValue, const std::u16string&,
                               std::size_t bufferChars) override {
    capacity = bufferChars;
    if (key != u"present") return defaultValue;
    return stored.substr(0, bufferChars - 1);
  }
  void FlushProfile(const std::u16string& fileName) override { flushed.push_back(fileName); }
};

class MemReaderTest : public ::testing::Test {
 protected:
  Win95Os os_;
  platform::ScopedOs scoped_{os_};
  TempDir dir_;
};

TEST_F(MemReaderTest, AbsentFileAndEmptyValues) {
  TTntIniFile missing(Wide(dir_.file("none.ini")));
  EXPECT_EQ(missing.ReadEntry(u"Files", u"k", u"dflt"), u"dflt");
  EXPECT_EQ(missing.ReadEntryNumber(u"Files", u"k", 17), 17);

  WriteBytes(dir_.path() / "s.ini", "[Files]\nempty=\nnum=0x1F\nbad=1.5\nhex=-$10\n");
  TTntIniFile ini(Wide(dir_.file("s.ini")));
  EXPECT_EQ(ini.ReadEntry(u"Files", u"empty", u"dflt"), u"");
  EXPECT_EQ(ini.ReadEntryNumber(u"Files", u"empty", 9), 9);
  EXPECT_EQ(ini.ReadEntryNumber(u"Files", u"num", 0), 31);
  EXPECT_EQ(ini.ReadEntryNumber(u"Files", u"bad", 0), 0);
  EXPECT_EQ(ini.ReadEntryNumber(u"Files", u"hex", 0), -16);
}

TEST_F(MemReaderTest, DirectoryIsNoFile) {
  std::filesystem::create_directories(dir_.path() / "dir.ini");
  TTntIniFile ini(Wide(dir_.file("dir.ini")));
  EXPECT_EQ(ini.ReadEntry(u"Files", u"k", u"dflt"), u"dflt");
}

TEST_F(MemReaderTest, LoadsAgainWhenTheDateChanges) {
  const auto path = dir_.path() / "s.ini";
  WriteBytes(path, "[Files]\nk=1\n");
  TTntIniFile ini(Wide(path.string()));
  EXPECT_EQ(ini.ReadEntryNumber(u"Files", u"k", 0), 1);
  WriteBytes(path, "[Files]\nk=2\n");
  std::filesystem::last_write_time(path,
                                   std::filesystem::last_write_time(path) + std::chrono::hours(1));
  EXPECT_EQ(ini.ReadEntryNumber(u"Files", u"k", 0), 2);
  std::filesystem::remove(path);
  EXPECT_EQ(ini.ReadEntryNumber(u"Files", u"k", 0), 0);
}

TEST_F(MemReaderTest, UnreadableFileRaisesEFOpenErrorWithItsMessage) {
  struct Unreadable : Win95Os {
    platform::FileBytes ReadWholeFile(const std::u16string&) override {
      return {false, {}, "Access is denied."};
    }
    std::u16string FullPathName(const std::u16string&) override { return u"/full/s.ini"; }
  } os;
  platform::ScopedOs scoped(os);
  WriteBytes(dir_.path() / "s.ini", "[Files]\nk=1\n");
  try {
    TTntIniFile ini(Wide(dir_.file("s.ini")));
    FAIL() << "no EFOpenError";
  } catch (const EFOpenError& e) {
    EXPECT_STREQ(e.what(), "Cannot open file \"/full/s.ini\". Access is denied.");
  }
}

TEST_F(MemReaderTest, FixtureFilesInEveryEncoding) {
  for (const char* name : {"utf16le.ini", "utf16be.ini", "utf8bom.ini", "ansi.ini"}) {
    TTntIniFile ini(Wide(std::string(OMBRELS_FIXTURES) + "/" + name));
    EXPECT_EQ(ini.ReadEntryNumber(u"Files", u"/data/Holiday.jpg", 0), 2) << name;
    EXPECT_EQ(ini.ReadEntry(u"Translate", u"CurLang", u"Default"), u"Deutsch") << name;
  }
}

// The keys shown when a path is spelt otherwise: those of the last section
// of the name, as lines split at their first "=", in each encoding.
TEST_F(MemReaderTest, ListsTheKeysOfTheLastSectionOfTheName) {
  const std::u16string text =
      u"[Files]\r\nearly=1\r\n[Other]\r\nx=2\r\n[ files ]\r\n  a b = 3\r\n;c=4\r\n"
      u"no equals\r\n\r\n=5\r\nd\u00E9=6\r[x] tail=9\nk==7\n[Other]\ny=8";
  const std::string utf8 =
      "\xEF\xBB\xBF[Files]\r\nearly=1\r\n[Other]\r\nx=2\r\n[ files ]\r\n  a b = 3\r\n;c=4\r\n"
      "no equals\r\n\r\n=5\r\nd\xC3\xA9=6\r[x] tail=9\nk==7\n[Other]\ny=8";
  const std::string after = "[Files]\nz=1";  // behind a zero, which ends the text
  const std::vector<std::u16string> keys = {u"a b", u"", u"d\u00E9", u"[x] tail", u"k"};
  for (const std::string& bytes :
       {utf8 + '\0' + after, testing::Utf16Bytes(text + u'\0' + u"[Files]\nz=1"),
        testing::Utf16Bytes(text + u'\0' + u"[Files]\nz=1", true)}) {
    WriteBytes(dir_.path() / "s.ini", bytes);
    EXPECT_EQ(TTntMemIniFile(Wide(dir_.file("s.ini"))).ReadSection(u"FILES"), keys);
  }
  EXPECT_TRUE(TTntMemIniFile(Wide(dir_.file("s.ini"))).ReadSection(u"None").empty());
}

TEST(NtReader, GoesThroughTheProfileApiAndFlushesAtRelease) {
  NtOs os;
  platform::ScopedOs scoped(os);
  {
    TTntIniFile ini(u"settings.ini");
    EXPECT_EQ(ini.ReadEntry(u"S", u"present", u"dflt"), u"from the profile API");
    EXPECT_EQ(ini.ReadEntry(u"S", u"absent", u"dflt"), u"dflt");
    EXPECT_EQ(os.capacity, 2048u);
    EXPECT_TRUE(os.flushed.empty());
  }
  EXPECT_EQ(os.flushed, std::vector<std::u16string>{u"settings.ini"});
}

TEST(NtReader, LongValueIsCutTo2047Characters) {
  NtOs os;
  os.stored = std::u16string(3000, u'v');
  platform::ScopedOs scoped(os);
  TTntIniFile ini(u"settings.ini");
  EXPECT_EQ(ini.ReadEntry(u"S", u"present", u""), std::u16string(2047, u'v'));
}

TEST(NtReader, NumberGoesThroughTheHexRewriteAndAnsiText) {
  // A code page that best-fits the full-width digits to digits, as the
  // single-byte code pages of Windows do.
  struct BestFitOs : NtOs {
    std::string WideToAnsi(std::u16string_view text) override {
      std::string ansi;
      for (const char16_t c : text)
        ansi += c >= u'\uFF10' && c <= u'\uFF19' ? static_cast<char>('0' + (c - u'\uFF10'))
                : c < 0x80                       ? static_cast<char>(c)
                                                 : '?';
      return ansi;
    }
  } os;
  platform::ScopedOs scoped(os);
  TTntIniFile ini(u"settings.ini");
  os.stored = u"0x1F";
  EXPECT_EQ(ini.ReadEntryNumber(u"S", u"present", 0), 31);
  os.stored = u"0x";
  EXPECT_EQ(ini.ReadEntryNumber(u"S", u"present", 5), 5);
  os.stored = u"\u4E00";  // no digit in any single-byte code page
  EXPECT_EQ(ini.ReadEntryNumber(u"S", u"present", 5), 5);
  os.stored = u"-\uFF14\uFF12";
  EXPECT_EQ(ini.ReadEntryNumber(u"S", u"present", 5), -42);
  // Only a leading "0x" or "0X" is rewritten.
  os.stored = u"012";
  EXPECT_EQ(ini.ReadEntryNumber(u"S", u"present", 5), 12);
  os.stored = u"1x5";
  EXPECT_EQ(ini.ReadEntryNumber(u"S", u"present", 5), 5);
  os.stored = u"-x5";
  EXPECT_EQ(ini.ReadEntryNumber(u"S", u"present", 0), -5);
}

// A reader lives for one lookup, but it follows its file: one that appears
// or goes after the reader was made is seen at the next read.
TEST(MemReader, FileThatAppearsOrGoesIsSeenAtTheNextRead) {
  testing::MemoryOs os;  // every file has the same date
  platform::ScopedOs scoped(os);
  TTntIniFile ini(u"f.ini");
  EXPECT_EQ(ini.ReadEntry(u"S", u"k", u"d"), u"d");
  os.files["f.ini"] = "[S]\nk=v\n";
  EXPECT_EQ(ini.ReadEntry(u"S", u"k", u"d"), u"v");
  os.files.clear();
  EXPECT_EQ(ini.ReadEntry(u"S", u"k", u"d"), u"d");
}

}  // namespace
}  // namespace ombrels
