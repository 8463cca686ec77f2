#include "settings/IniNumber.h"

namespace ombrels {
namespace {

template <typename Char>
int HexDigit(Char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

template <typename Char>
std::optional<std::int32_t> Parse(std::basic_string_view<Char> text) {
  std::size_t pos = 0;
  while (pos < text.size() && text[pos] == ' ') ++pos;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
    negative = text[pos] == '-';
    ++pos;
  }
  const auto at = [&](std::size_t i) { return i < text.size() ? text[i] : Char(0); };

  bool hex = false;
  if (at(pos) == '$' || at(pos) == 'x' || at(pos) == 'X') {
    hex = true;
    pos += 1;
  } else if (at(pos) == '0' && (at(pos + 1) == 'x' || at(pos + 1) == 'X')) {
    hex = true;
    pos += 2;
  }
  if (pos >= text.size()) return std::nullopt;  // no digit at all

  if (hex) {
    std::uint32_t value = 0;
    for (; pos < text.size(); ++pos) {
      const int digit = HexDigit(text[pos]);
      if (digit < 0 || value > 0x0FFFFFFFu) return std::nullopt;
      value = value * 16 + static_cast<std::uint32_t>(digit);
    }
    // 0x80000000 to 0xFFFFFFFF wrap to negative numbers.
    if (negative) value = 0u - value;
    return static_cast<std::int32_t>(value);
  }

  std::int64_t value = 0;
  for (; pos < text.size(); ++pos) {
    const Char c = text[pos];
    if (c < '0' || c > '9' || value > 214748364) return std::nullopt;
    value = value * 10 + (c - '0');
  }
  if (negative) value = -value;
  if (value < INT32_MIN || value > INT32_MAX) return std::nullopt;
  return static_cast<std::int32_t>(value);
}

}  // namespace

std::optional<std::int32_t> ParseInt32(std::string_view text) { return Parse(text); }
std::optional<std::int32_t> ParseInt32(std::u16string_view text) { return Parse(text); }

}  // namespace ombrels
