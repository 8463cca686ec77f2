// The main unit: buffers, mark names and the two exports, in process.
#include "plugin/TC_Ombrels.h"

#include <gtest/gtest.h>

#include <cstring>
#include <new>

#include "plugin/ContPlug.h"
#include "support/ForwardingOs.h"
#include "support/TempDir.h"

namespace ombrels {
namespace {

using testing::ForwardingOs;
using testing::TempDir;

std::string Copied(std::string_view source, int maxLen, std::size_t bufferSize = 16) {
  std::string buffer(bufferSize, '#');
  BoundedCopy(buffer.data(), source, maxLen);
  return buffer;
}

TEST(BoundedCopy, CutsSingleByteTextExactly) {
  EXPECT_EQ(Copied("Cool", 0), "################");
  EXPECT_EQ(Copied("Cool", -1), "################");
  EXPECT_EQ(Copied("Cool", 1).substr(0, 2), std::string("\0#", 2));
  EXPECT_EQ(Copied("Cool", 4).substr(0, 5), std::string("Coo\0#", 5));
  EXPECT_EQ(Copied("Cool", 5).substr(0, 6), std::string("Cool\0#", 6));
  EXPECT_EQ(Copied("Cool", 16).substr(0, 6), std::string("Cool\0#", 6));
}

// A two-byte character may not be cut in half: the copy backs off to it.
// Uses a code page with the same lead-byte idea on every platform.
struct TwoByteLeadOs : ForwardingOs {
  std::size_t CharLength(std::string_view text, std::size_t pos) override {
    return static_cast<unsigned char>(text[pos]) >= 0x81 && pos + 1 < text.size() ? 2 : 1;
  }
};

TEST(BoundedCopy, NeverLeavesPartOfACharacterBehind) {
  TwoByteLeadOs os;
  platform::ScopedOs scoped(os);
  const std::string text =
      "A\x95\x5C"
      "B";  // A, one two-byte character, B
  EXPECT_EQ(Copied(text, 2).substr(0, 3), std::string("A\0#", 3));
  EXPECT_EQ(Copied(text, 3).substr(0, 3), std::string("A\0#", 3));
  EXPECT_EQ(Copied(text, 4).substr(0, 5), std::string("A\x95\x5C\0#", 5));
  EXPECT_EQ(Copied(text, 5).substr(0, 6), std::string("A\x95\x5C"
                                                      "B\0#",
                                                      6));
}

TEST(BoundedCopy, NativeCodePageKeepsWholeCharacters) {
  // On POSIX the code page is UTF-8: "é" is two bytes, "€" three.
  if (platform::NativeOs().WideToAnsi(u"\u00E9") != "\xC3\xA9") GTEST_SKIP() << "not UTF-8";
  const std::string text = "a\xC3\xA9\xE2\x82\xAC";
  EXPECT_EQ(Copied(text, 3).substr(0, 2), std::string("a\0", 2));
  EXPECT_EQ(Copied(text, 4).substr(0, 4), std::string("a\xC3\xA9\0", 4));
  EXPECT_EQ(Copied(text, 6).substr(0, 4), std::string("a\xC3\xA9\0", 4));
  EXPECT_EQ(Copied(text, 7).substr(0, 7), text + '\0');
  // A stray byte is a character of its own.
  EXPECT_EQ(Copied("\xFF\xFF", 2).substr(0, 2), std::string("\xFF\0", 2));
}

TEST(MarkNameOf, NamesDigitsAndEmpty) {
  const char* names[] = {"Certified", "Cool",      "Danger", "Delete",   "Distinguished",
                         "Favorite",  "Important", "New",    "Personal", "Web"};
  for (int n = 1; n <= 10; ++n) EXPECT_EQ(MarkNameOf(n), names[n - 1]);
  EXPECT_EQ(MarkNameOf(0), "");
  EXPECT_EQ(MarkNameOf(11), "11");
  EXPECT_EQ(MarkNameOf(-2), "-2");
  EXPECT_EQ(MarkNameOf(INT32_MIN), "-2147483648");
}

TEST(ContentGetSupportedField, DescribesTheOneField) {
  char name[256], units[256];
  std::memset(units, '#', sizeof units);
  EXPECT_EQ(ContentGetSupportedField(0, name, units, 256), ft_string);
  EXPECT_STREQ(name, "Ombrel");
  EXPECT_STREQ(units, "");

  EXPECT_EQ(ContentGetSupportedField(0, name, units, 4), ft_string);
  EXPECT_STREQ(name, "Omb");

  std::strcpy(name, "untouched");
  std::strcpy(units, "untouched");
  for (int index : {1, -1, 1000}) {
    EXPECT_EQ(ContentGetSupportedField(index, name, units, 256), ft_nomorefields);
    EXPECT_STREQ(name, "untouched");
    EXPECT_STREQ(units, "untouched");
  }
  // Null buffers and a size of zero are written through nowhere.
  EXPECT_EQ(ContentGetSupportedField(0, nullptr, nullptr, 256), ft_string);
  EXPECT_EQ(ContentGetSupportedField(0, name, units, 0), ft_string);
  EXPECT_STREQ(name, "untouched");
}

// A store of marks held in memory: the registry and the file the
// in-memory reader sees are the test's own.
struct StoreOs : ForwardingOs {
  std::string settings = "[Files]\n";
  bool failInLookup = false;
  bool failInConversion = false;
  std::optional<std::string> RegistryValue(platform::RegistryRoot, const std::string&,
                                           const std::string&) override {
    if (failInLookup) throw std::bad_alloc();
    return std::string("/inst", 6);
  }
  std::string WideToAnsi(std::u16string_view text) override {
    if (failInConversion) throw std::bad_alloc();
    return native.WideToAnsi(text);
  }
  platform::PlatformFamily Family() override { return platform::PlatformFamily::Windows95; }
  std::optional<std::int64_t> FileDate(const std::u16string&) override { return 1; }
  platform::FileBytes ReadWholeFile(const std::u16string&) override {
    return {true, settings, {}, false, 1};
  }
};

class ContentGetValueTest : public ::testing::Test {
 protected:
  int Get(const char* file, int maxlen = 2049, int field = 0) {
    std::memset(buffer_, '#', sizeof buffer_);
    return ContentGetValue(file, field, 0, buffer_, maxlen, 0);
  }
  StoreOs os_;
  platform::ScopedOs scoped_{os_};
  char buffer_[2049];
};

TEST_F(ContentGetValueTest, AnswersWithTheMarkText) {
  os_.settings = "[Files]\nf8=8\nf11=11\nfm5=-5\nf2=2\nf0=0\n";
  EXPECT_EQ(Get("f8"), ft_string);
  EXPECT_STREQ(buffer_, "New");
  EXPECT_EQ(Get("f11"), ft_string);
  EXPECT_STREQ(buffer_, "11");
  EXPECT_EQ(Get("fm5"), ft_string);
  EXPECT_STREQ(buffer_, "-5");
  EXPECT_EQ(Get("f0"), ft_fieldempty);
  EXPECT_STREQ(buffer_, "");
  EXPECT_EQ(Get("unmarked"), ft_fieldempty);
  EXPECT_STREQ(buffer_, "");
  EXPECT_EQ(Get("f2", 3), ft_string);
  EXPECT_STREQ(buffer_, "Co");
  EXPECT_EQ(Get("f2", 1), ft_fieldempty);  // only the terminator fits
  EXPECT_STREQ(buffer_, "");
}

TEST_F(ContentGetValueTest, SeesAChangedStoreAtTheNextCall) {
  os_.settings = "[Files]\nf=2\n";
  EXPECT_EQ(Get("f"), ft_string);
  EXPECT_STREQ(buffer_, "Cool");
  os_.settings = "[Files]\nf=10\n";
  EXPECT_EQ(Get("f"), ft_string);
  EXPECT_STREQ(buffer_, "Web");
}

TEST_F(ContentGetValueTest, BadArgumentsLeaveTheBufferAlone) {
  os_.settings = "[Files]\nf=2\n=3\n";
  for (int field : {1, -1}) {
    EXPECT_EQ(Get("f", 2049, field), ft_nosuchfield);
    EXPECT_EQ(buffer_[0], '#');
  }
  EXPECT_EQ(Get("f", 0), ft_fieldempty);
  EXPECT_EQ(buffer_[0], '#');
  EXPECT_EQ(Get("f", -5), ft_fieldempty);
  EXPECT_EQ(buffer_[0], '#');
  EXPECT_EQ(ContentGetValue("f", 0, 0, nullptr, 2049, 0), ft_fieldempty);
  EXPECT_EQ(Get(nullptr), ft_fieldempty);  // no name, no mark
  EXPECT_STREQ(buffer_, "");
}

TEST_F(ContentGetValueTest, FailuresInsideStopAtTheBoundary) {
  os_.settings = "[Files]\nf=2\n";
  os_.failInLookup = true;  // caught by the lookup's guard: no mark
  EXPECT_EQ(Get("f"), ft_fieldempty);
  EXPECT_STREQ(buffer_, "");
  std::optional<MarkText> steps;  // (as --explain shows them: nothing was read)
  EXPECT_EQ(GetFieldValue("f", 0, buffer_, 2049, &steps), ft_fieldempty);
  EXPECT_FALSE(steps->lookup.choice.installDir.read);
  EXPECT_NE(steps->lookup.failure, "");
  os_.failInLookup = false;
  os_.failInConversion = true;  // caught at the export itself
  EXPECT_EQ(Get("f"), ft_fieldempty);
  EXPECT_STREQ(buffer_, "");
}

}  // namespace
}  // namespace ombrels
