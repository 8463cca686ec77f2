#include "settings/MemIniText.h"

#include "platform/Utf8.h"
#include "platform/platform.h"
#include "settings/Trim.h"

namespace ombrels {
namespace {

std::u16string DecodeUtf16(std::string_view bytes, bool bigEndian) {
  std::u16string text;
  text.reserve(bytes.size() / 2);
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {  // an odd last byte is dropped
    const auto first = static_cast<unsigned char>(bytes[i]);
    const auto second = static_cast<unsigned char>(bytes[i + 1]);
    text.push_back(
        static_cast<char16_t>(bigEndian ? (first << 8) | second : (second << 8) | first));
  }
  return text;
}

bool StartsWith(std::string_view bytes, std::string_view mark) {
  return bytes.substr(0, mark.size()) == mark;
}

bool SameName(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i] != b[i] && FoldCase(a[i]) != FoldCase(b[i])) return false;
  }
  return true;
}

}  // namespace

std::u16string DecodeProfileBytes(std::string_view bytes) {
  std::u16string text;
  if (StartsWith(bytes, "\xFF\xFE")) {
    text = DecodeUtf16(bytes.substr(2), false);
  } else if (StartsWith(bytes, "\xFE\xFF")) {
    text = DecodeUtf16(bytes.substr(2), true);
  } else if (StartsWith(bytes, "\xEF\xBB\xBF")) {
    bytes.remove_prefix(3);
    text = platform::Utf8ToUtf16(bytes.substr(0, bytes.find('\0')));
  } else {
    text = platform::os().AnsiToWide(bytes.substr(0, bytes.find('\0')));
  }
  const auto end = text.find(u'\0');
  if (end != std::u16string::npos) text.resize(end);
  return text;
}

char16_t FoldCase(char16_t c) {
  if (c < 0x80) return (c >= u'a' && c <= u'z') ? c - 32 : c;
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 32;  // Latin-1
  if (c == 0xFF) return 0x178;
  if (c >= 0x100 && c <= 0x17F) {  // Latin Extended-A: pairs of upper, lower
    if (c >= 0x139 && c <= 0x148) return (c % 2 == 0) ? c - 1 : c;
    if (c >= 0x179 && c <= 0x17E) return (c % 2 == 0) ? c - 1 : c;
    if (c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F) return c;
    return (c % 2 == 1) ? c - 1 : c;
  }
  if (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) return c - 32;  // Greek
  if (c == 0x3C2) return 0x3A3;
  if (c >= 0x430 && c <= 0x44F) return c - 32;  // Cyrillic
  if (c >= 0x450 && c <= 0x45F) return c - 80;
  return c;
}

MemIniText::MemIniText(std::u16string_view text) {
  Section* current = nullptr;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = pos;
    while (end < text.size() && text[end] != u'\r' && text[end] != u'\n') ++end;
    const std::u16string_view line = Trim(text.substr(pos, end - pos));
    pos = end;
    if (pos < text.size() && text[pos] == u'\r') {
      ++pos;
      if (pos < text.size() && text[pos] == u'\n') ++pos;  // CR LF is one break
    } else if (pos < text.size()) {
      ++pos;  // LF
    }

    if (line.empty() || line.front() == u';') {
      continue;
    } else if (line.front() == u'[' && line.back() == u']' && line.size() >= 2) {
      sections_.push_back({std::u16string(Trim(line.substr(1, line.size() - 2))), {}});
      current = &sections_.back();
    } else if (current) {
      const auto equals = line.find(u'=');
      Line entry;
      if (equals != std::u16string_view::npos) {
        entry.key = Trim(line.substr(0, equals));
        entry.value = Trim(line.substr(equals + 1));
        entry.hasValue = true;
      }
      current->lines.push_back(std::move(entry));
    }
  }
}

std::optional<std::u16string> MemIniText::Find(std::u16string_view section,
                                               std::u16string_view key) const {
  for (auto s = sections_.rbegin(); s != sections_.rend(); ++s) {
    if (!SameName(s->name, section)) continue;
    for (auto l = s->lines.rbegin(); l != s->lines.rend(); ++l) {
      if (l->hasValue && SameName(l->key, key)) return l->value;
    }
    return std::nullopt;  // only the last section of that name is searched
  }
  return std::nullopt;
}

}  // namespace ombrels
