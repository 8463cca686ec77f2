// The one seam between the plugin and the operating system.
//
// Every service the plugin needs from the system is declared here, in the
// system's own terms. The Win32 backend calls the Windows APIs; the POSIX
// backend stands in for them. Subsystems call these operations through os()
// and never include a system header themselves.
#pragma once

#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace ombrels::platform {

// Separator inside the path literals ("\settings.ini", "\langs\"), and the
// line break that "/n" in a translation stands for.
#if defined(_WIN32)
inline constexpr char kPathSeparator = '\\';
inline constexpr std::u16string_view kLineBreak = u"\r\n";
#else
inline constexpr char kPathSeparator = '/';
inline constexpr std::u16string_view kLineBreak = u"\n";
#endif

// The longest path of a file, in UTF-16 units and in bytes of ANSI text: a
// longer name is no file's name, and a folder with a longer name holds no
// file. Windows: 32,767 units, and no ANSI code page spends more than
// three bytes on one (UTF-8). POSIX: PATH_MAX less its terminating zero, in
// bytes of UTF-8, which has no more units than bytes.
#if defined(_WIN32)
inline constexpr std::size_t kLongestPathUnits = 32767;
inline constexpr std::size_t kLongestPath = 3 * kLongestPathUnits;
#else
#if defined(PATH_MAX)
inline constexpr std::size_t kLongestPath = PATH_MAX - 1;
#else
inline constexpr std::size_t kLongestPath = 4095;  // Linux's
#endif
inline constexpr std::size_t kLongestPathUnits = kLongestPath;
#endif

enum class RegistryRoot { LocalMachine, CurrentUser };

// NT offers the wide profile API; the 95 family reads profile files itself.
enum class PlatformFamily { WindowsNT, Windows95 };

// Bytes of a file, in a buffer the system fills in place: it is not
// cleared first, which for a file of megabytes would cost as much again.
class Bytes {
 public:
  Bytes() = default;
  Bytes(std::string_view bytes) : Bytes(Uninitialized(bytes.size())) {  // a copy
    if (!bytes.empty()) std::memcpy(data_.get(), bytes.data(), bytes.size());
  }
  Bytes(const std::string& bytes) : Bytes(std::string_view(bytes)) {}
  Bytes(const char* bytes) : Bytes(std::string_view(bytes)) {}
  // `size` bytes of no defined value, to be filled.
  static Bytes Uninitialized(std::size_t size) {
    Bytes bytes;
    bytes.data_.reset(new char[size]);
    bytes.size_ = size;
    return bytes;
  }

  char* data() { return data_.get(); }
  const char* data() const { return data_.get(); }
  std::size_t size() const { return size_; }
  // Keeps the first `size` bytes.
  void Shrink(std::size_t size) { size_ = size < size_ ? size : size_; }
  std::string_view view() const { return {data_.get(), size_}; }
  friend bool operator==(const Bytes& a, const Bytes& b) { return a.view() == b.view(); }

 private:
  std::unique_ptr<char[]> data_;
  std::size_t size_ = 0;
};

// A whole file read into memory, or the platform's text for why it was not;
// `absent` when there is no such file (a directory does not count). `date`
// is the file's date, as FileDate gives it, when it was read.
struct FileBytes {
  bool ok = false;
  Bytes bytes;
  std::string error;
  bool absent = false;
  std::int64_t date = 0;
};

class Os {
 public:
  virtual ~Os() = default;

  // Registry: the data of one value, exactly as the registry hands it out
  // (a text value with its terminating zero). nullopt when the key cannot be
  // opened or the value cannot be read; an empty string for data of size 0.
  // An empty value name is the key's default value.
  virtual std::optional<std::string> RegistryValue(RegistryRoot root, const std::string& subKey,
                                                   const std::string& valueName) = 0;

  // Profile API. Family() is taken once, when the module starts.
  virtual PlatformFamily Family() = 0;
  // GetPrivateProfileStringW with a buffer of `capacity` wide characters:
  // the buffer's text up to its first zero.
  virtual std::u16string ProfileString(const std::u16string& section, const std::u16string& key,
                                       const std::u16string& defaultValue,
                                       const std::u16string& fileName, std::size_t capacity) = 0;
  // Asks the platform to flush its cache for the file; writes nothing.
  virtual void FlushProfile(const std::u16string& fileName) = 0;

  // ANSI/wide conversion through the code page taken when the module starts.
  // Characters the code page cannot hold become its best-fit or default one.
  virtual std::u16string AnsiToWide(std::string_view text) = 0;
  virtual std::string WideToAnsi(std::u16string_view text) = 0;
  // True when the code page is UTF-8, so that ANSI text may be scanned as
  // UTF-8 bytes. AnsiToWide then keeps each byte that starts no well-formed
  // sequence as its escape (Utf8.h), and WideToAnsi gives the byte back.
  virtual bool AnsiDecodesAsUtf8() = 0;
  // Length in bytes of the code page's character that starts at `pos`
  // (1 or more; a byte that starts no valid character counts as one).
  virtual std::size_t CharLength(std::string_view text, std::size_t pos) = 0;

  // File system, ANSI names.
  virtual bool IsFile(const std::string& path) = 0;  // exists and is no directory
  virtual bool IsDirectory(const std::string& path) = 0;
  virtual bool MakeDirectory(const std::string& path) = 0;

  // File system, wide names (the profile reader's files).
  // The file's date from the attribute query; nullopt when there is no such
  // file (a directory does not count).
  virtual std::optional<std::int64_t> FileDate(const std::u16string& fileName) = 0;
  // The file's bytes and date, from one test of the file before it is
  // opened: only a regular file is opened.
  virtual FileBytes ReadWholeFile(const std::u16string& fileName) = 0;
  virtual std::u16string FullPathName(const std::u16string& fileName) = 0;

  // User and shell services.
  // The logon name as the platform delivers it into `capacity` bytes (the
  // terminating zero included), without the zero; nullopt on failure.
  virtual std::optional<std::string> LogonName(std::size_t capacity) = 0;
  // The user's application-data folder; nullopt when it cannot be located.
  virtual std::optional<std::string> AppDataFolder() = 0;
};

// The backend in force: the native one, unless a test has put another in.
Os& os();

// Where the native backend reads a registry value, in words for a person:
// the stand-in's file, or the registry views the key is looked up in.
std::string DescribeRegistryValue(RegistryRoot root, const std::string& subKey,
                                  const std::string& valueName);

}  // namespace ombrels::platform
