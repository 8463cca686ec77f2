// The plugin's main unit: the field table, the mark names, and a file's
// value from its name to the text in the host's buffer.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace ombrels {

// Copies `source` (up to its first zero byte) into a host buffer of
// `maxLen` bytes, cut to fit with a terminating zero. A cut never leaves
// part of a multi-byte character behind. Writes nothing when maxLen <= 0.
void BoundedCopy(char* dest, std::string_view source, std::int32_t maxLen);

// The display text of a mark number: "" for 0, the (translated) name for 1
// to 10, the decimal digits for any other number.
std::string MarkNameOf(std::int32_t number);

// The display text of a file's mark.
std::string GetMarkText(std::string_view fileName);

}  // namespace ombrels
