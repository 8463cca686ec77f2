// The number grammar on any text, against a second reading of its rules:
// blanks, one sign, "$", "x", "X" or "0x" for hexadecimal up to FFFFFFFF
// (wrapping), decimal within the signed 32-bit range, nothing else.
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

#include "settings/IniNumber.h"

namespace {

std::optional<std::int32_t> Reference(const std::string& text) {
  std::size_t pos = text.find_first_not_of(' ');
  if (pos == std::string::npos) return std::nullopt;
  bool negative = false;
  if (text[pos] == '+' || text[pos] == '-') negative = text[pos++] == '-';
  int base = 10;
  if (text.compare(pos, 1, "$") == 0 || text.compare(pos, 1, "x") == 0 ||
      text.compare(pos, 1, "X") == 0) {
    base = 16;
    pos += 1;
  } else if (text.compare(pos, 2, "0x") == 0 || text.compare(pos, 2, "0X") == 0) {
    base = 16;
    pos += 2;
  }
  const std::string digits = text.substr(pos);
  const char* allowed = base == 16 ? "0123456789abcdefABCDEF" : "0123456789";
  if (digits.empty() || digits.find_first_not_of(allowed) != std::string::npos) return std::nullopt;
  const std::string significant =
      digits.substr(std::min(digits.find_first_not_of('0'), digits.size()));
  if (significant.size() > 10) return std::nullopt;
  const unsigned long long value =
      significant.empty() ? 0 : std::stoull(significant, nullptr, base);
  if (base == 16) {
    if (value > 0xFFFFFFFFull) return std::nullopt;
    const auto bits = static_cast<std::uint32_t>(negative ? 0ull - value : value);
    return static_cast<std::int32_t>(bits);
  }
  const long long signedValue =
      negative ? -static_cast<long long>(value) : static_cast<long long>(value);
  if (signedValue < INT32_MIN || signedValue > INT32_MAX) return std::nullopt;
  return static_cast<std::int32_t>(signedValue);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  if (ombrels::ParseInt32(text) != Reference(text)) std::abort();
  std::u16string wide(text.begin(), text.end());
  for (char16_t& c : wide) c = static_cast<unsigned char>(c);
  bool ascii = true;
  for (unsigned char c : text) ascii = ascii && c < 0x80;
  if (ascii && ombrels::ParseInt32(wide) != ombrels::ParseInt32(text)) std::abort();
  return 0;
}
