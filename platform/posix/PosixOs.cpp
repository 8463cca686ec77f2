// POSIX stand-ins for the Windows services the plugin uses.
//
// Registry: a folder tree under $OMBRELS_REGISTRY_ROOT (or
// /etc/ombrels/registry); key = folder, value = file, default value = "@".
// Code page: UTF-8. Profile files: always read by the in-memory reader.
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <type_traits>
#include <vector>

#include "platform/Utf8.h"
#include "platform/platform.h"
#include "platform/testing.h"

namespace ombrels::platform {
namespace {

constexpr const char* kDefaultRegistryRoot = "/etc/ombrels/registry";

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() { reset(); }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }
  explicit operator bool() const { return fd_ >= 0; }
  void reset() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

 private:
  int fd_;
};

std::string ErrorText(int error) {
  char buffer[256] = {};
  // XSI and GNU strerror_r differ in return type; both fill or point.
  auto result = strerror_r(error, buffer, sizeof buffer);
  if constexpr (std::is_same_v<decltype(result), char*>) return result;
  return buffer;
}

// The file's status; nullopt, with errno telling why, when there is none.
std::optional<struct stat> StatOf(const std::string& path) {
  struct stat st {};
  errno = ENOENT;  // (an empty path names no file; stat sets its own reason)
  if (path.empty() || ::stat(path.c_str(), &st) != 0) return std::nullopt;
  return st;
}

// Why a file that is no regular file cannot be read.
int NotRegular(const struct stat& st) { return S_ISDIR(st.st_mode) ? EISDIR : EINVAL; }

// Every file is read through here, and only a regular file is opened: a
// FIFO, device, socket or directory fails as an unreadable file does, and
// is never opened (opening a FIFO would release a writer waiting on it;
// opening a device may act on it). Symbolic links are followed. The open
// never blocks and takes no terminal; a file swapped for another kind
// between the test and the open is refused after it. No more is read than
// the file held when it was opened, so a file that keeps growing cannot
// keep the read going.
FileBytes ReadRegular(const std::string& path) {
  FileBytes result;
  auto st = StatOf(path);
  if (!st || S_ISDIR(st->st_mode)) {
    result.error = ErrorText(st ? EISDIR : errno);
    result.absent = true;
    return result;
  }
  if (!S_ISREG(st->st_mode)) {
    result.error = ErrorText(NotRegular(*st));
    return result;
  }
  FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (!fd) {
    result.error = ErrorText(errno);
    return result;
  }
  if (::fstat(fd.get(), &*st) != 0) {
    result.error = ErrorText(errno);
    return result;
  }
  if (!S_ISREG(st->st_mode)) {
    result.error = ErrorText(NotRegular(*st));
    return result;
  }
  // Read in place, in as few calls as the system allows.
  const auto size = static_cast<std::size_t>(st->st_size);
  Bytes bytes = Bytes::Uninitialized(size);
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::read(fd.get(), bytes.data() + done, size - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      // A file system that honours the flag for regular files may cut the
      // read short: back to blocking reads then (not before, which would
      // cost every read a call).
      if ((errno == EAGAIN || errno == EWOULDBLOCK) && ::fcntl(fd.get(), F_SETFL, 0) == 0) continue;
      result.error = ErrorText(errno);
      return result;
    }
    if (n == 0) break;  // the file shrank
    done += static_cast<std::size_t>(n);
  }
  bytes.Shrink(done);
  result.ok = true;
  result.bytes = std::move(bytes);
  result.date = static_cast<std::int64_t>(st->st_mtime);
  return result;
}

std::string RegistryRootFolder() {
  const char* root = std::getenv("OMBRELS_REGISTRY_ROOT");
  return (root && *root) ? root : kDefaultRegistryRoot;
}

// A path component that would leave the key's folder is no key or value.
bool IsPlainName(const std::string& name) {
  return name != "." && name != ".." && name.find('/') == std::string::npos;
}

std::optional<std::string> KeyFolder(RegistryRoot root, const std::string& subKey) {
  std::string folder = RegistryRootFolder();
  folder += root == RegistryRoot::LocalMachine ? "/HKEY_LOCAL_MACHINE" : "/HKEY_CURRENT_USER";
  // Each part between backslashes, empty ones left out.
  for (std::size_t at = 0; at <= subKey.size();) {
    const std::size_t end = std::min(subKey.find('\\', at), subKey.size());
    const std::string part = subKey.substr(at, end - at);
    if (!part.empty()) {
      if (!IsPlainName(part)) return std::nullopt;
      folder += '/';
      folder += part;
    }
    at = end + 1;
  }
  return folder;
}

// The file that holds a value; nullopt when a name would leave the tree.
std::optional<std::string> ValueFile(RegistryRoot root, const std::string& subKey,
                                     const std::string& valueName) {
  const auto folder = KeyFolder(root, subKey);
  if (!folder) return std::nullopt;
  const std::string file = valueName.empty() ? "@" : valueName;
  if (!IsPlainName(file)) return std::nullopt;
  return *folder + "/" + file;
}

class PosixOs final : public Os {
 public:
  std::optional<std::string> RegistryValue(RegistryRoot root, const std::string& subKey,
                                           const std::string& valueName) override {
    // A key that cannot be opened (no such folder) has no value to read
    // either: opening the value's file tells both at once.
    const auto file = ValueFile(root, subKey, valueName);
    if (!file) return std::nullopt;
    FileBytes data = ReadRegular(*file);
    if (!data.ok) return std::nullopt;
    return std::string(data.bytes.view());
  }

  PlatformFamily Family() override { return PlatformFamily::Windows95; }

  // There is no profile API here, and Family() makes sure nothing asks for
  // one; answer as the API does for a file it cannot find.
  std::u16string ProfileString(const std::u16string&, const std::u16string&,
                               const std::u16string& defaultValue, const std::u16string&,
                               std::size_t capacity) override {
    if (capacity == 0) return {};
    return defaultValue.substr(0, capacity - 1);
  }

  void FlushProfile(const std::u16string&) override {}

  // Bytes that are no UTF-8 stay apart, each as an escape of its own: file
  // names that differ only in them name different files.
  std::u16string AnsiToWide(std::string_view text) override {
    return Utf8ToUtf16(text, InvalidBytes::kEscape);
  }
  std::string WideToAnsi(std::u16string_view text) override { return Utf16ToUtf8(text); }
  bool AnsiDecodesAsUtf8() override { return true; }

  std::size_t CharLength(std::string_view text, std::size_t pos) override {
    const std::size_t length = Utf8SequenceLength(text, pos);
    return length == 0 ? 1 : length;  // a stray byte is a character of its own
  }

  // A FIFO, device or socket exists and is no directory, as for the
  // attribute query; reading it then fails without opening it (ReadRegular).
  bool IsFile(const std::string& path) override {
    const auto st = StatOf(path);
    return st && !S_ISDIR(st->st_mode);
  }

  bool IsDirectory(const std::string& path) override {
    const auto st = StatOf(path);
    return st && S_ISDIR(st->st_mode);
  }

  // The only folders made are those of the user's own settings file: his
  // alone, as the XDG base directory convention asks (the umask can only
  // take more away). A folder that is already there is left as it is.
  bool MakeDirectory(const std::string& path) override {
    return !path.empty() && ::mkdir(path.c_str(), 0700) == 0;
  }

  std::optional<std::int64_t> FileDate(const std::u16string& fileName) override {
    const auto st = StatOf(Utf16ToUtf8(fileName));
    if (!st || S_ISDIR(st->st_mode)) return std::nullopt;
    return static_cast<std::int64_t>(st->st_mtime);
  }

  FileBytes ReadWholeFile(const std::u16string& fileName) override {
    return ReadRegular(Utf16ToUtf8(fileName));
  }

  std::u16string FullPathName(const std::u16string& fileName) override {
    if (!fileName.empty() && fileName.front() == u'/') return fileName;
    std::vector<char> cwd(4096);
    if (!::getcwd(cwd.data(), cwd.size())) return fileName;
    return AnsiToWide(cwd.data()) + u'/' + fileName;
  }

  std::optional<std::string> LogonName(std::size_t capacity) override {
    struct passwd entry {};
    struct passwd* found = nullptr;
    std::vector<char> buffer(16384);
    if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found ||
        !found->pw_name)
      return std::nullopt;
    std::string name = found->pw_name;
    if (name.size() + 1 > capacity) return std::nullopt;
    return name;
  }

  std::optional<std::string> AppDataFolder() override {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config && config[0] == '/') return std::string(config);
    // Relative folders count as unset: nothing is made where the host runs.
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/') return std::string(home) + "/.config";
    return std::nullopt;
  }
};

}  // namespace

std::string DescribeRegistryValue(RegistryRoot root, const std::string& subKey,
                                  const std::string& valueName) {
  const auto file = ValueFile(root, subKey, valueName);
  return file ? "the file " + *file : "no file: a name would leave " + RegistryRootFolder();
}

Os& NativeOs() {
  static PosixOs instance;
  return instance;
}

}  // namespace ombrels::platform
