// A plain model of the in-memory reader's rules: decode the whole file,
// build every section and line, look up the last match. Slow and obvious;
// the product's one-pass reader must answer exactly as this does.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Utf8.h"
#include "platform/platform.h"

namespace ombrels::testing {

namespace reference_case {
#include "settings/UpperCaseTable.inc"
}  // namespace reference_case

// A unit's simple uppercase mapping, looked up here on its own (the
// generated table is the data both sides follow).
inline char16_t ReferenceUpper(char16_t c) {
  using namespace reference_case;
  const unsigned block = kUpperCaseBlock[c / 256];
  return static_cast<char16_t>((c + kUpperCaseDelta[block][c % 256]) % 0x10000);
}

inline std::u16string ReferenceDecode(std::string_view bytes) {
  std::u16string text;
  const auto utf16 = [&](bool bigEndian) {
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
      const auto a = static_cast<unsigned char>(bytes[i]);
      const auto b = static_cast<unsigned char>(bytes[i + 1]);
      text.push_back(static_cast<char16_t>(bigEndian ? (a << 8) | b : (b << 8) | a));
    }
  };
  if (bytes.substr(0, 2) == "\xFF\xFE") {
    utf16(false);
  } else if (bytes.substr(0, 2) == "\xFE\xFF") {
    utf16(true);
  } else if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
    text = platform::Utf8ToUtf16(bytes.substr(3));
  } else {
    text = platform::os().AnsiToWide(bytes.substr(0, bytes.find('\0')));
  }
  return text.substr(0, text.find(u'\0'));
}

class ReferenceIni {
 public:
  explicit ReferenceIni(std::string_view bytes) {
    const std::u16string text = ReferenceDecode(bytes);
    Section* current = nullptr;
    std::size_t pos = 0;
    while (pos < text.size()) {
      std::size_t end = pos;
      while (end < text.size() && text[end] != u'\r' && text[end] != u'\n') ++end;
      const std::u16string line = Trim(text.substr(pos, end - pos));
      pos = end;
      if (pos < text.size() && text[pos] == u'\r') ++pos;
      if (pos < text.size() && text[pos] == u'\n' && (pos == end || text[pos - 1] == u'\r')) ++pos;
      if (line.empty() || line[0] == u';') continue;
      if (line.size() >= 2 && line.front() == u'[' && line.back() == u']') {
        sections_.push_back({Trim(line.substr(1, line.size() - 2)), {}});
        current = &sections_.back();
      } else if (current) {
        const auto eq = line.find(u'=');
        if (eq == std::u16string::npos) continue;
        current->lines.push_back({Trim(line.substr(0, eq)), Trim(line.substr(eq + 1))});
      }
    }
  }

  std::optional<std::u16string> Find(std::u16string_view section, std::u16string_view key) const {
    for (auto s = sections_.rbegin(); s != sections_.rend(); ++s) {
      if (!Same(s->name, section)) continue;
      for (auto l = s->lines.rbegin(); l != s->lines.rend(); ++l)
        if (Same(l->first, key)) return l->second;
      return std::nullopt;
    }
    return std::nullopt;
  }

 private:
  static std::u16string Trim(std::u16string text) {
    while (!text.empty() && text.back() <= 32) text.pop_back();
    std::size_t start = 0;
    while (start < text.size() && text[start] <= 32) ++start;
    return text.substr(start);
  }
  static bool Same(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
      if (ReferenceUpper(a[i]) != ReferenceUpper(b[i])) return false;
    return true;
  }
  struct Section {
    std::u16string name;
    std::vector<std::pair<std::u16string, std::u16string>> lines;
  };
  std::vector<Section> sections_;
};

}  // namespace ombrels::testing
