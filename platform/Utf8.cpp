#include "platform/Utf8.h"

namespace ombrels::platform {
namespace {

bool IsContinuation(unsigned char b) { return (b & 0xC0) == 0x80; }

void AppendCodePoint(std::u16string& out, char32_t cp) {
  if (cp < 0x10000) {
    out.push_back(static_cast<char16_t>(cp));
  } else {
    cp -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
  }
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
                         char16_t units[2]) {
  length = Utf8SequenceLength(text, pos);
  if (length == 0) {
    length = 1;
    units[0] = u'\uFFFD';
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

std::u16string Utf8ToUtf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  std::size_t pos = 0;
  while (pos < text.size()) {
    const auto c = static_cast<unsigned char>(text[pos]);
    if (c < 0x80) {
      out.push_back(c);
      ++pos;
      continue;
    }
    const std::size_t length = Utf8SequenceLength(text, pos);
    if (length == 0) {
      out.push_back(u'\uFFFD');
      ++pos;
    } else {
      AppendCodePoint(out, Decode(text, pos, length));
      pos += length;
    }
  }
  return out;
}

std::string Utf16ToUtf8(std::u16string_view text, char replacement) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t cp = text[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      out.push_back(replacement);
      continue;
    }
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

}  // namespace ombrels::platform
