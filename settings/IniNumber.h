// The number grammar of profile entries: a signed 32-bit integer in
// decimal or in hexadecimal ("$1F", "x1F", "0x1F"), nothing else around it.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace ombrels {

// nullopt when `text` as a whole is no such number. The wide form reads
// ASCII text (every other character makes the parse fail).
std::optional<std::int32_t> ParseInt32(std::string_view text);
std::optional<std::int32_t> ParseInt32(std::u16string_view text);

}  // namespace ombrels
