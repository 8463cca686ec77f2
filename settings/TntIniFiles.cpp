#include "settings/TntIniFiles.h"

#include <algorithm>

#include "platform/platform.h"
#include "settings/IniNumber.h"

namespace ombrels {
namespace {

constexpr std::size_t kProfileBufferChars = 2048;

}  // namespace

std::int32_t TTntCustomIniFile::ReadEntryNumber(const std::u16string& section,
                                                const std::u16string& key,
                                                std::int32_t defaultValue) {
  return EntryNumber(ReadEntry(section, key, u""), defaultValue);
}

std::int32_t TTntCustomIniFile::EntryNumber(std::u16string text, std::int32_t defaultValue) {
  if (text.size() > 2 && text[0] == u'0' && (text[1] == u'x' || text[1] == u'X'))
    text.replace(0, 2, u"$");
  // ASCII text is its own ANSI form; anything else goes through the code
  // page, whose best-fit characters may turn into digits.
  const bool ascii = std::all_of(text.begin(), text.end(), [](char16_t c) { return c < 0x80; });
  if (ascii) return ParseInt32(std::u16string_view(text)).value_or(defaultValue);
  return ParseInt32(platform::os().WideToAnsi(text)).value_or(defaultValue);
}

TTntMemIniFile::TTntMemIniFile(std::u16string fileName) : TTntCustomIniFile(std::move(fileName)) {
  Load();
}

TTntMemIniFile::TTntMemIniFile(std::u16string fileName, DeferLoad)
    : TTntCustomIniFile(std::move(fileName)) {}

std::int64_t TTntMemIniFile::Load() {
  auto& os = platform::os();
  platform::FileBytes file = os.ReadWholeFile(FileName());
  if (file.absent) {
    text_ = MemIniText();
    return 0;
  }
  if (!file.ok) {
    throw EFOpenError("Cannot open file \"" + os.WideToAnsi(os.FullPathName(FileName())) + "\". " +
                      file.error);
  }
  text_ = MemIniText(std::move(file.bytes));
  return file.date;
}

std::u16string TTntMemIniFile::ReadEntry(const std::u16string& section, const std::u16string& key,
                                         const std::u16string& defaultValue) {
  std::optional<std::u16string> value = text_.Find(section, key);
  if (!value) return defaultValue;
  return std::move(*value);
}

std::vector<std::u16string> TTntMemIniFile::ReadSection(const std::u16string& section) const {
  return text_.Keys(section);
}

TTntMemIniFile_V2::TTntMemIniFile_V2(std::u16string fileName)
    : TTntMemIniFile(std::move(fileName), DeferLoad{}) {
  fileDate_ = Load();
}

std::u16string TTntMemIniFile_V2::ReadEntry(const std::u16string& section,
                                            const std::u16string& key,
                                            const std::u16string& defaultValue) {
  if (platform::os().FileDate(FileName()).value_or(0) != fileDate_) fileDate_ = Load();
  return TTntMemIniFile::ReadEntry(section, key, defaultValue);
}

TTntIniFile::TTntIniFile(std::u16string fileName) : TTntCustomIniFile(std::move(fileName)) {
  if (platform::os().Family() == platform::PlatformFamily::Windows95)
    memIni_ = std::make_unique<TTntMemIniFile_V2>(FileName());
}

TTntIniFile::~TTntIniFile() {
  if (!memIni_) platform::os().FlushProfile(FileName());
}

std::u16string TTntIniFile::ReadEntry(const std::u16string& section, const std::u16string& key,
                                      const std::u16string& defaultValue) {
  if (memIni_) return memIni_->ReadEntry(section, key, defaultValue);
  return platform::os().ProfileString(section, key, defaultValue, FileName(), kProfileBufferChars);
}

}  // namespace ombrels
