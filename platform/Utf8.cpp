#include "platform/Utf8.h"

namespace ombrels::platform {
namespace {

bool IsContinuation(unsigned char b) { return (b & 0xC0) == 0x80; }

// A text up to this long is converted in one pass (paths, names, values).
constexpr std::size_t kShortText = std::size_t{64} << 10;

// The escape of byte b is U+DC00 + b; b is 0x80 or more, since an ASCII
// byte is always well-formed.
constexpr char32_t kEscapeBase = 0xDC00;
bool IsEscape(char32_t c) { return c >= kEscapeBase + 0x80 && c <= kEscapeBase + 0xFF; }

char16_t Invalid(char byte, InvalidBytes invalid) {
  if (invalid == InvalidBytes::kReplace) return u'\uFFFD';
  return static_cast<char16_t>(kEscapeBase + static_cast<unsigned char>(byte));
}

char32_t Decode(std::string_view text, std::size_t pos, std::size_t length) {
  const auto b = [&](std::size_t i) { return static_cast<unsigned char>(text[pos + i]); };
  switch (length) {
    case 1:
      return b(0);
    case 2:
      return ((b(0) & 0x1Fu) << 6) | (b(1) & 0x3Fu);
    case 3:
      return ((b(0) & 0x0Fu) << 12) | ((b(1) & 0x3Fu) << 6) | (b(2) & 0x3Fu);
    default:
      return ((b(0) & 0x07u) << 18) | ((b(1) & 0x3Fu) << 12) | ((b(2) & 0x3Fu) << 6) |
             (b(3) & 0x3Fu);
  }
}

}  // namespace

std::size_t Utf8SequenceLength(std::string_view text, std::size_t pos) {
  const std::size_t left = text.size() - pos;
  const auto lead = static_cast<unsigned char>(text[pos]);
  if (lead < 0x80) return 1;
  std::size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;  // range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;   // no overlong forms
    if (lead == 0xED) high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;  // nothing above U+10FFFF
  } else {
    return 0;
  }
  if (left < length) return 0;
  const auto second = static_cast<unsigned char>(text[pos + 1]);
  if (second < low || second > high) return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if (!IsContinuation(static_cast<unsigned char>(text[pos + i]))) return 0;
  }
  return length;
}

std::size_t DecodeUtf8At(std::string_view text, std::size_t pos, std::size_t& length,
                         char16_t units[2], InvalidBytes invalid) {
  length = Utf8SequenceLength(text, pos);
  if (length == 0) {
    length = 1;
    units[0] = Invalid(text[pos], invalid);
    return 1;
  }
  const char32_t cp = Decode(text, pos, length);
  if (cp < 0x10000) {
    units[0] = static_cast<char16_t>(cp);
    return 1;
  }
  units[0] = static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
  units[1] = static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
  return 2;
}

namespace {

// Each UTF-16 unit of the text to `put`.
template <typename Put>
void Utf16Units(std::string_view text, InvalidBytes invalid, Put put) {
  for (std::size_t pos = 0; pos < text.size();) {
    const auto c = static_cast<unsigned char>(text[pos]);
    const std::size_t length = c < 0x80 ? 1 : Utf8SequenceLength(text, pos);
    if (length == 0) {
      put(Invalid(text[pos++], invalid));
      continue;
    }
    const char32_t cp = Decode(text, pos, length);
    pos += length;
    if (cp < 0x10000) {
      put(static_cast<char16_t>(cp));
    } else {
      put(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
      put(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
    }
  }
}

// The UTF-8 bytes of a code point, or of a lone surrogate (its escape's
// byte, or `replacement`), to `put`.
template <typename Put>
void Utf8Of(char32_t cp, char replacement, Put put) {
  const auto byte = [&](char32_t b) { put(static_cast<char>(b)); };
  if (cp < 0x80) {
    byte(cp);
  } else if (IsEscape(cp)) {
    byte(cp - kEscapeBase);
  } else if (cp >= 0xD800 && cp <= 0xDFFF) {
    put(replacement);
  } else if (cp < 0x800) {
    byte(0xC0 | (cp >> 6)), byte(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    byte(0xE0 | (cp >> 12)), byte(0x80 | ((cp >> 6) & 0x3F)), byte(0x80 | (cp & 0x3F));
  } else {
    byte(0xF0 | (cp >> 18)), byte(0x80 | ((cp >> 12) & 0x3F)), byte(0x80 | ((cp >> 6) & 0x3F)),
        byte(0x80 | (cp & 0x3F));
  }
}

// Each UTF-8 byte of the text to `put`.
template <typename Put>
void Utf8Bytes(std::u16string_view text, char replacement, Put put) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t cp = text[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF)
      cp = 0x10000 + ((cp - 0xD800) << 10) + (text[++i] - 0xDC00);
    Utf8Of(cp, replacement, put);
  }
}

// The converted text of `size` units in. A long one is counted first, then
// written into a string of exactly its size: a text of megabytes is never
// held twice over while it grows, nor in a string larger than it needs.
// A short one goes in one pass into room for the most it can take:
// `most` units out for each unit in.
template <typename Out, typename Each>
Out Converted(std::size_t size, std::size_t most, Each each) {
  Out out;
  std::size_t at = 0;
  if (size <= kShortText) {
    out.resize(most * size);
  } else {
    each([&](auto) { ++at; });
    out.resize(at);
    at = 0;
  }
  each([&](auto unit) { out[at++] = unit; });
  out.resize(at);
  return out;
}

}  // namespace

std::u16string Utf8ToUtf16(std::string_view text, InvalidBytes invalid) {
  return Converted<std::u16string>(text.size(), 1,
                                   [&](auto put) { Utf16Units(text, invalid, put); });
}

std::string Utf16ToUtf8(std::u16string_view text, char replacement) {
  return Converted<std::string>(text.size(), 3,
                                [&](auto put) { Utf8Bytes(text, replacement, put); });
}

std::size_t EncodeUnit(char16_t unit, char replacement, char out[3]) {
  std::size_t length = 0;
  Utf8Of(unit, replacement, [&](char b) { out[length++] = b; });
  return length;
}

}  // namespace ombrels::platform
