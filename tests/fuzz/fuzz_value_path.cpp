// The whole road of one value through the exports, with everything the
// plugin reads chosen by the fuzzer: registry bytes, the shared and the
// user's settings file, the language file, the file name and the buffer
// size, each of them repeated up to megabytes when the fuzzer asks (text of
// a short period, values without an end). The answer is always a defined
// code, the text always ends within the buffer, nothing past the buffer is
// touched, and the heap never holds more than three times the largest file
// plus 4 MiB; the run's -timeout catches a value that takes more than
// linear time.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <vector>

#include "platform/platform.h"
#include "plugin/ContPlug.h"
#include "support/CountingAllocator.h"
#include "support/ForwardingOs.h"

namespace {

struct FuzzOs : ombrels::testing::ForwardingOs {
  std::string registry;
  std::map<std::string, std::string> files;  // by name as the plugin asks
  std::optional<std::string> appData;
  ombrels::platform::PlatformFamily family = ombrels::platform::PlatformFamily::Windows95;

  std::optional<std::string> RegistryValue(ombrels::platform::RegistryRoot, const std::string&,
                                           const std::string&) override {
    return registry;
  }
  ombrels::platform::PlatformFamily Family() override { return family; }
  std::u16string ProfileString(const std::u16string&, const std::u16string&,
                               const std::u16string& defaultValue, const std::u16string&,
                               std::size_t capacity) override {
    return defaultValue.substr(0, capacity - 1);
  }
  void FlushProfile(const std::u16string&) override {}
  bool IsFile(const std::string& path) override { return files.count(path) > 0; }
  bool IsDirectory(const std::string&) override { return true; }
  bool MakeDirectory(const std::string&) override { return false; }
  std::optional<std::int64_t> FileDate(const std::u16string& name) override {
    if (!files.count(WideToAnsi(name))) return std::nullopt;
    return 1;
  }
  ombrels::platform::FileBytes ReadWholeFile(const std::u16string& name) override {
    const auto file = files.find(WideToAnsi(name));
    if (file == files.end()) return {false, {}, "The system cannot find the file specified.", true};
    return {true, file->second, {}, false, 1};
  }
  std::u16string FullPathName(const std::u16string& name) override { return name; }
  std::optional<std::string> LogonName(std::size_t) override { return "anna"; }
  std::optional<std::string> AppDataFolder() override { return appData; }
};

// `text` repeated up to `size` bytes (nothing when it is empty), doubling.
std::string Repeated(const std::string& text, std::size_t size) {
  std::string out = text.size() <= size ? text : std::string();
  if (out.empty()) return out;
  out.reserve(size);
  while (2 * out.size() <= size) out += out;
  const std::size_t whole = (size - out.size()) / text.size() * text.size();
  out += out.substr(0, whole);
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static FuzzOs os;
  static ombrels::platform::ScopedOs scoped(os);
  FuzzedDataProvider input(data, size);
  const std::string sep(1, ombrels::platform::kPathSeparator);

  os.registry =
      input.ConsumeBool() ? "inst" + std::string(1, '\0') : input.ConsumeRandomLengthString(16);
  const std::string install = os.registry.substr(0, os.registry.find('\0'));
  os.appData = input.ConsumeBool() ? std::optional<std::string>("home") : std::nullopt;
  os.family = input.ConsumeBool() ? ombrels::platform::PlatformFamily::Windows95
                                  : ombrels::platform::PlatformFamily::WindowsNT;
  const int maxlen = input.ConsumeIntegralInRange<int>(-2, 300);
  // (Taken before the last file takes the rest of the bytes.)
  const int scale = input.ConsumeIntegralInRange<int>(0, 22);
  const std::string fileName = input.ConsumeRandomLengthString(64);
  os.files.clear();
  os.files[install + sep + "settings.ini"] = input.ConsumeRandomLengthString(400);
  os.files["home" + sep + "Quorvel Ombrels" + sep + "anna.ini"] =
      input.ConsumeRandomLengthString(400);
  os.files[install + sep + "langs" + sep + "Default"] = input.ConsumeRandomLengthString(400);
  const std::string language = input.ConsumeRandomLengthString(8);
  os.files[install + sep + "langs" + sep + language] = input.ConsumeRemainingBytesAsString();

  // Scaled up: each text repeated to 2^scale bytes, the name no longer
  // than a path, for the inputs that once took quadratic time or memory
  // beyond the bound.
  std::string name = fileName;
  if (scale > 10) {
    const std::size_t size = std::size_t{1} << scale;
    os.registry = Repeated(os.registry, size);
    name = Repeated(name, std::min(size, ombrels::platform::kLongestPath));
    for (auto& [file, bytes] : os.files) bytes = Repeated(bytes, size);
  }
  std::size_t largest = os.registry.size();
  for (const auto& [file, bytes] : os.files) largest = std::max(largest, bytes.size());

  constexpr std::size_t kGuard = 64;
  std::vector<char> buffer(300 + kGuard, '\x5A');
  const std::size_t before = ombrels::testing::ResetHeapPeak();
  const int result = ContentGetValue(name.c_str(), 0, 0, buffer.data(), maxlen, 0);
  if (ombrels::testing::PeakHeapBytes() - before > 3 * largest + (std::size_t{4} << 20))
    std::abort();
  if (result != ft_string && result != ft_fieldempty) std::abort();
  for (std::size_t i = maxlen > 0 ? static_cast<std::size_t>(maxlen) : 0; i < buffer.size(); ++i)
    if (buffer[i] != '\x5A') std::abort();  // written past the buffer
  if (maxlen > 0) {
    const void* end = std::memchr(buffer.data(), '\0', static_cast<std::size_t>(maxlen));
    if (!end) std::abort();
    if ((result == ft_fieldempty) != (buffer[0] == '\0')) std::abort();
  } else if (result != ft_fieldempty) {
    std::abort();
  }
  return 0;
}
