// A plain model of the in-memory reader's rules: decode the whole file,
// build every section and line, look up the last match. Slow and obvious;
// the product's one-pass reader must answer exactly as this does.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

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

// UTF-8 by the standard's table of well-formed sequences; each byte that
// starts none becomes U+FFFD on its own, or with `escape` the lone
// surrogate U+DC00 + the byte. Written here rather than taken from the
// product, which this model checks.
inline std::u16string ReferenceUtf8(std::string_view bytes, bool escape = false) {
  std::u16string text;
  std::size_t i = 0;
  const auto at = [&](std::size_t k) { return static_cast<unsigned char>(bytes[k]); };
  while (i < bytes.size()) {
    const unsigned lead = at(i);
    const std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
    char32_t cp = length == 1   ? lead
                  : length == 2 ? lead & 0x1F
                  : length == 3 ? lead & 0x0F
                                : lead & 0x07;
    bool ok = (lead < 0x80 || (lead >= 0xC0 && lead <= 0xF4)) && i + length <= bytes.size();
    for (std::size_t k = 1; ok && k < length; ++k) {
      ok = (at(i + k) & 0xC0) == 0x80;
      cp = (cp << 6) | (at(i + k) & 0x3F);
    }
    const char32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    ok = ok && cp >= least[length] && cp <= 0x10FFFF && (cp < 0xD800 || cp > 0xDFFF);
    if (!ok) {
      text.push_back(escape ? static_cast<char16_t>(0xDC00 + lead) : u'\uFFFD');
      ++i;
    } else if (cp >= 0x10000) {
      text.push_back(static_cast<char16_t>(0xD800 | ((cp - 0x10000) >> 10)));
      text.push_back(static_cast<char16_t>(0xDC00 | ((cp - 0x10000) & 0x3FF)));
      i += length;
    } else {
      text.push_back(static_cast<char16_t>(cp));
      i += length;
    }
  }
  return text;
}

// Text without a mark is in the system's code page: decoded as UTF-8 where
// that is the code page, by the system otherwise. With `escape`, bytes that
// are no UTF-8 decode to their escapes, as names are compared.
inline std::u16string ReferenceDecode(std::string_view bytes, bool escape = false) {
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
    text = ReferenceUtf8(bytes.substr(3), escape);
  } else if (platform::os().AnsiDecodesAsUtf8()) {
    text = ReferenceUtf8(bytes.substr(0, bytes.find('\0')), escape);
  } else {
    text = platform::os().AnsiToWide(bytes.substr(0, bytes.find('\0')));
  }
  return text.substr(0, text.find(u'\0'));
}

// Sections and lines are found in the text decoded twice: as the reader
// hands it out (U+FFFD for bytes that are no UTF-8), and as names are
// compared (each such byte its own escape). Both have a unit for each
// invalid byte, so the lines lie at the same places in both.
class ReferenceIni {
 public:
  explicit ReferenceIni(std::string_view bytes) {
    const std::u16string text = ReferenceDecode(bytes), names = ReferenceDecode(bytes, true);
    Section* current = nullptr;
    std::size_t pos = 0;
    while (pos < text.size()) {
      std::size_t end = pos;
      while (end < text.size() && text[end] != u'\r' && text[end] != u'\n') ++end;
      const auto [first, last] = Trimmed(text, pos, end);
      const std::u16string line = text.substr(first, last - first);
      const std::u16string named = names.substr(first, last - first);
      pos = end;
      if (pos < text.size() && text[pos] == u'\r') ++pos;
      if (pos < text.size() && text[pos] == u'\n' && (pos == end || text[pos - 1] == u'\r')) ++pos;
      if (line.empty() || line[0] == u';') continue;
      if (line.size() >= 2 && line.front() == u'[' && line.back() == u']') {
        const auto [begin, end] = Trimmed(line, 1, line.size() - 1);
        sections_.push_back({named.substr(begin, end - begin), {}});
        current = &sections_.back();
      } else if (current) {
        const auto eq = line.find(u'=');
        if (eq == std::u16string::npos) continue;
        const auto [keyBegin, keyEnd] = Trimmed(line, 0, eq);
        const auto [valueBegin, valueEnd] = Trimmed(line, eq + 1, line.size());
        current->lines.push_back({line.substr(keyBegin, keyEnd - keyBegin),
                                  named.substr(keyBegin, keyEnd - keyBegin),
                                  line.substr(valueBegin, valueEnd - valueBegin)});
      }
    }
  }

  std::optional<std::u16string> Find(std::u16string_view section, std::u16string_view key) const {
    for (auto s = sections_.rbegin(); s != sections_.rend(); ++s) {
      if (!Same(s->name, section)) continue;
      for (auto l = s->lines.rbegin(); l != s->lines.rend(); ++l)
        if (Same(l->named, key)) return l->value;
      return std::nullopt;
    }
    return std::nullopt;
  }

  // The keys of the last section of that name, in the file's order.
  std::vector<std::u16string> Keys(std::u16string_view section) const {
    std::vector<std::u16string> keys;
    for (auto s = sections_.rbegin(); s != sections_.rend(); ++s) {
      if (!Same(s->name, section)) continue;
      for (const auto& line : s->lines) keys.push_back(line.key);
      break;
    }
    return keys;
  }

 private:
  // [first, last) of text[begin, end) without the units of 32 or less at
  // both ends.
  static std::pair<std::size_t, std::size_t> Trimmed(std::u16string_view text, std::size_t begin,
                                                     std::size_t end) {
    while (end > begin && text[end - 1] <= 32) --end;
    while (begin < end && text[begin] <= 32) ++begin;
    return {begin, end};
  }
  static bool Same(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
      if (ReferenceUpper(a[i]) != ReferenceUpper(b[i])) return false;
    return true;
  }
  struct Line {
    std::u16string key, named, value;  // the key as handed out, and as compared
  };
  struct Section {
    std::u16string name;  // as compared
    std::vector<Line> lines;
  };
  std::vector<Section> sections_;
};

}  // namespace ombrels::testing
