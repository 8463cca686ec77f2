// The Windows backend: the Win32 APIs behind the platform seam.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <shlobj.h>
#include <windows.h>

#include <algorithm>
#include <vector>

#include "platform/Utf8.h"
#include "platform/platform.h"
#include "platform/testing.h"

namespace ombrels::platform {
namespace {

// Taken once, when the module starts.
const UINT kAnsiCodePage = GetACP();

PlatformFamily DetectFamily() {
  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = sizeof info;
  if (GetVersionExA(&info) && info.dwPlatformId == VER_PLATFORM_WIN32_NT)
    return PlatformFamily::WindowsNT;
  return PlatformFamily::Windows95;
}
const PlatformFamily kFamily = DetectFamily();

const wchar_t* Wide(const std::u16string& text) {
  return reinterpret_cast<const wchar_t*>(text.c_str());
}

class RegistryKey {
 public:
  RegistryKey() = default;
  ~RegistryKey() { reset(); }
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;
  HKEY get() const { return key_; }
  HKEY* put() {
    reset();
    return &key_;
  }
  explicit operator bool() const { return key_ != nullptr; }
  void reset() {
    if (key_) RegCloseKey(key_);
    key_ = nullptr;
  }

 private:
  HKEY key_ = nullptr;
};

class FileHandle {
 public:
  explicit FileHandle(HANDLE handle) : handle_(handle) {}
  ~FileHandle() {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  HANDLE get() const { return handle_; }
  explicit operator bool() const { return handle_ != INVALID_HANDLE_VALUE; }

 private:
  HANDLE handle_;
};

// The shell's allocator, released when it goes out of scope.
class ShellAllocator {
 public:
  ShellAllocator() {
    if (FAILED(SHGetMalloc(&malloc_))) malloc_ = nullptr;
  }
  ~ShellAllocator() {
    if (malloc_) malloc_->Release();
  }
  ShellAllocator(const ShellAllocator&) = delete;
  ShellAllocator& operator=(const ShellAllocator&) = delete;
  IMalloc* get() const { return malloc_; }
  explicit operator bool() const { return malloc_ != nullptr; }

 private:
  IMalloc* malloc_ = nullptr;
};

std::string ErrorText(DWORD error) {
  char* text = nullptr;
  const DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string result =
      length && text ? std::string(text, length) : "Error " + std::to_string(error);
  if (text) LocalFree(text);
  while (!result.empty() && static_cast<unsigned char>(result.back()) <= 32) result.pop_back();
  return result;
}

HKEY RootKey(RegistryRoot root) {
  return root == RegistryRoot::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

// The 32-bit module reads its own (32-bit) view. The 64-bit module reads the
// same 32-bit view, so that both find one install directory, and falls back
// to the 64-bit view only when the key is absent there.
LONG OpenKey(RegistryRoot root, const std::string& subKey, RegistryKey& key) {
#if defined(_WIN64)
  LONG status =
      RegOpenKeyExA(RootKey(root), subKey.c_str(), 0, KEY_READ | KEY_WOW64_32KEY, key.put());
  if (status == ERROR_FILE_NOT_FOUND)
    status = RegOpenKeyExA(RootKey(root), subKey.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, key.put());
  return status;
#else
  return RegOpenKeyExA(RootKey(root), subKey.c_str(), 0, KEY_READ, key.put());
#endif
}

class Win32Os final : public Os {
 public:
  std::optional<std::string> RegistryValue(RegistryRoot root, const std::string& subKey,
                                           const std::string& valueName) override {
    RegistryKey key;
    if (OpenKey(root, subKey, key) != ERROR_SUCCESS) return std::nullopt;
    DWORD size = 0;
    if (RegQueryValueExA(key.get(), valueName.c_str(), nullptr, nullptr, nullptr, &size) !=
        ERROR_SUCCESS)
      return std::nullopt;
    if (size == 0) return std::string();
    std::vector<BYTE> data(size, 0);
    if (RegQueryValueExA(key.get(), valueName.c_str(), nullptr, nullptr, data.data(), &size) !=
        ERROR_SUCCESS)
      return std::nullopt;
    return std::string(reinterpret_cast<const char*>(data.data()), size);
  }

  PlatformFamily Family() override { return kFamily; }

  std::u16string ProfileString(const std::u16string& section, const std::u16string& key,
                               const std::u16string& defaultValue, const std::u16string& fileName,
                               std::size_t capacity) override {
    if (capacity == 0) return {};
    std::vector<wchar_t> buffer(capacity, L'\0');
    GetPrivateProfileStringW(Wide(section), Wide(key), Wide(defaultValue), buffer.data(),
                             static_cast<DWORD>(capacity), Wide(fileName));
    buffer.back() = L'\0';
    return std::u16string(reinterpret_cast<const char16_t*>(buffer.data()));
  }

  void FlushProfile(const std::u16string& fileName) override {
    WritePrivateProfileStringW(nullptr, nullptr, nullptr, Wide(fileName));
  }

  std::u16string AnsiToWide(std::string_view text) override {
    if (text.empty()) return {};
    const int length = MultiByteToWideChar(kAnsiCodePage, 0, text.data(),
                                           static_cast<int>(text.size()), nullptr, 0);
    if (length <= 0) return {};
    std::u16string wide(static_cast<std::size_t>(length), u'\0');
    if (MultiByteToWideChar(kAnsiCodePage, 0, text.data(), static_cast<int>(text.size()),
                            reinterpret_cast<wchar_t*>(wide.data()), length) != length)
      return {};
    return wide;
  }

  std::string WideToAnsi(std::u16string_view text) override {
    if (text.empty()) return {};
    const auto* source = reinterpret_cast<const wchar_t*>(text.data());
    const int count = static_cast<int>(text.size());
    const int length =
        WideCharToMultiByte(kAnsiCodePage, 0, source, count, nullptr, 0, nullptr, nullptr);
    if (length <= 0) return {};
    std::string ansi(static_cast<std::size_t>(length), '\0');
    if (WideCharToMultiByte(kAnsiCodePage, 0, source, count, ansi.data(), length, nullptr,
                            nullptr) != length)
      return {};
    return ansi;
  }

  // Even with the UTF-8 code page, the system's count of U+FFFD for bad
  // bytes is its own: decode through the system.
  bool AnsiDecodesAsUtf8() override { return false; }

  std::size_t CharLength(std::string_view text, std::size_t pos) override {
    if (kAnsiCodePage == CP_UTF8) {
      const std::size_t length = Utf8SequenceLength(text, pos);
      return length == 0 ? 1 : length;
    }
    // A lead byte with no byte after it stands alone.
    if (IsDBCSLeadByteEx(kAnsiCodePage, static_cast<BYTE>(text[pos])) && pos + 1 < text.size())
      return 2;
    return 1;
  }

  bool IsFile(const std::string& path) override {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
  }

  bool IsDirectory(const std::string& path) override {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
  }

  bool MakeDirectory(const std::string& path) override {
    return CreateDirectoryA(path.c_str(), nullptr) != 0;
  }

  std::optional<std::int64_t> FileDate(const std::u16string& fileName) override {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(Wide(fileName), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
      return std::nullopt;
    return static_cast<std::int64_t>(
        (static_cast<std::uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
        data.ftLastWriteTime.dwLowDateTime);
  }

  FileBytes ReadWholeFile(const std::u16string& fileName) override {
    FileBytes result;
    const auto date = FileDate(fileName);
    if (!date) {
      result.error = ErrorText(ERROR_FILE_NOT_FOUND);
      result.absent = true;
      return result;
    }
    result.date = *date;
    FileHandle file(CreateFileW(Wide(fileName), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
      result.error = ErrorText(GetLastError());
      return result;
    }
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size)) {
      result.error = ErrorText(GetLastError());
      return result;
    }
    // In place, up to the size the file had when it was opened.
    const auto total = static_cast<std::size_t>(size.QuadPart);
    Bytes bytes = Bytes::Uninitialized(total);
    std::size_t done = 0;
    while (done < total) {
      DWORD read = 0;
      const auto want = static_cast<DWORD>(std::min<std::size_t>(total - done, 1u << 30));
      if (!ReadFile(file.get(), bytes.data() + done, want, &read, nullptr)) {
        result.error = ErrorText(GetLastError());
        return result;
      }
      if (read == 0) break;  // the file shrank
      done += read;
    }
    bytes.Shrink(done);
    result.ok = true;
    result.bytes = std::move(bytes);
    return result;
  }

  std::u16string FullPathName(const std::u16string& fileName) override {
    const DWORD length = GetFullPathNameW(Wide(fileName), 0, nullptr, nullptr);
    if (length == 0) return fileName;
    std::vector<wchar_t> buffer(length + 1, L'\0');
    if (GetFullPathNameW(Wide(fileName), length + 1, buffer.data(), nullptr) == 0) return fileName;
    return std::u16string(reinterpret_cast<const char16_t*>(buffer.data()));
  }

  std::optional<std::string> LogonName(std::size_t capacity) override {
    std::vector<char> buffer(capacity + 1, '\0');
    DWORD size = static_cast<DWORD>(capacity);
    if (!GetUserNameA(buffer.data(), &size)) return std::nullopt;
    return std::string(buffer.data());
  }

  std::optional<std::string> AppDataFolder() override {
    ShellAllocator allocator;
    if (!allocator) return std::nullopt;
    LPITEMIDLIST items = nullptr;
    if (FAILED(SHGetSpecialFolderLocation(nullptr, CSIDL_APPDATA, &items)) || !items)
      return std::nullopt;
    char path[261] = {};
    const BOOL found = SHGetPathFromIDListA(items, path);
    allocator.get()->Free(items);
    if (!found) return std::nullopt;
    return std::string(path);
  }
};

}  // namespace

std::string DescribeRegistryValue(RegistryRoot, const std::string&, const std::string&) {
#if defined(_WIN64)
  return "the registry's 32-bit view, then its 64-bit view when the key is absent there";
#else
  return "the registry's 32-bit view";
#endif
}

Os& NativeOs() {
  static Win32Os instance;
  return instance;
}

}  // namespace ombrels::platform
