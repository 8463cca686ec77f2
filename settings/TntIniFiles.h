// The profile reader: every read of a settings or language file goes
// through TTntIniFile. A reader is made for one lookup, read once and
// released; it never writes.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "settings/MemIniText.h"

namespace ombrels {

// A profile file that exists but cannot be opened for reading.
class EFOpenError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TTntCustomIniFile {
 public:
  explicit TTntCustomIniFile(std::u16string fileName) : fileName_(std::move(fileName)) {}
  virtual ~TTntCustomIniFile() = default;
  TTntCustomIniFile(const TTntCustomIniFile&) = delete;
  TTntCustomIniFile& operator=(const TTntCustomIniFile&) = delete;

  const std::u16string& FileName() const { return fileName_; }

  // The entry's value; `defaultValue` when the file, section or key is absent.
  virtual std::u16string ReadEntry(const std::u16string& section, const std::u16string& key,
                                   const std::u16string& defaultValue) = 0;
  // The entry as a signed 32-bit integer; `defaultValue` when it is none.
  std::int32_t ReadEntryNumber(const std::u16string& section, const std::u16string& key,
                               std::int32_t defaultValue);
  // An entry's text, read with the empty default, as ReadEntryNumber takes it.
  static std::int32_t EntryNumber(std::u16string text, std::int32_t defaultValue);

 private:
  std::u16string fileName_;
};

// The whole file in memory, for systems without the wide profile API.
class TTntMemIniFile : public TTntCustomIniFile {
 public:
  explicit TTntMemIniFile(std::u16string fileName);
  std::u16string ReadEntry(const std::u16string& section, const std::u16string& key,
                           const std::u16string& defaultValue) override;
  // The keys of the last section of that name, in the file's order.
  std::vector<std::u16string> ReadSection(const std::u16string& section) const;

 protected:
  struct DeferLoad {};
  TTntMemIniFile(std::u16string fileName, DeferLoad);
  // Loads the file again; a missing file gives an empty reader. Returns the
  // file's date seen before the load, 0 when there is no file.
  std::int64_t Load();

 private:
  MemIniText text_;
};

// The in-memory reader that loads the file again when its date changes.
class TTntMemIniFile_V2 : public TTntMemIniFile {
 public:
  explicit TTntMemIniFile_V2(std::u16string fileName);
  std::u16string ReadEntry(const std::u16string& section, const std::u16string& key,
                           const std::u16string& defaultValue) override;

 private:
  std::int64_t fileDate_ = 0;
};

// The reader the system uses: the platform's profile API where there is
// one, the in-memory reader elsewhere.
class TTntIniFile : public TTntCustomIniFile {
 public:
  explicit TTntIniFile(std::u16string fileName);
  ~TTntIniFile() override;
  std::u16string ReadEntry(const std::u16string& section, const std::u16string& key,
                           const std::u16string& defaultValue) override;

 private:
  std::unique_ptr<TTntMemIniFile_V2> memIni_;
};

}  // namespace ombrels
