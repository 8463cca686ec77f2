// UTF-8 and UTF-16 conversions: the POSIX code page, and the text of
// profile files that carry the UTF-8 byte-order mark.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace ombrels::platform {

// Length of the well-formed UTF-8 sequence at `pos`, or 0 when the bytes
// there are no such sequence (stray continuation byte, overlong form,
// encoded surrogate, value above U+10FFFF, or a cut sequence).
std::size_t Utf8SequenceLength(std::string_view text, std::size_t pos);

// What a byte that starts no well-formed sequence becomes: U+FFFD, which
// shows that something was lost; or the lone surrogate U+DC80 to U+DCFF
// that stands for that byte alone (as Python's "surrogateescape" does), so
// that texts that differ in such bytes stay different, and encode back to
// the same bytes.
enum class InvalidBytes { kReplace, kEscape };

// The character at `pos` as UTF-16 code units (1 or 2, written to `units`);
// `length` receives its length in bytes. A byte that starts no well-formed
// sequence is one byte long.
std::size_t DecodeUtf8At(std::string_view text, std::size_t pos, std::size_t& length,
                         char16_t units[2], InvalidBytes invalid = InvalidBytes::kReplace);

std::u16string Utf8ToUtf16(std::string_view text, InvalidBytes invalid = InvalidBytes::kReplace);

// A lone surrogate from U+DC80 to U+DCFF becomes the byte it stands for;
// any other, which UTF-8 cannot hold, becomes `replacement`.
std::string Utf16ToUtf8(std::u16string_view text, char replacement = '?');

// One unit on its own, as Utf16ToUtf8 writes it, into `out`: its length, 1
// to 3 bytes (a surrogate alone is one byte).
std::size_t EncodeUnit(char16_t unit, char replacement, char out[3]);

}  // namespace ombrels::platform
