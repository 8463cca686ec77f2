// The candidate search against brute force, on one file's bytes (UTF-8 or
// UTF-16 with its mark): each line that holds the name, letter case aside
// and with bytes that are no UTF-8 as their escapes (as names are
// compared), is among the lines it reports; those are whole lines, in file
// order. Shared by the generated tests and the fuzzer.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "settings/CandidateLines.h"
#include "support/ReferenceIni.h"

namespace ombrels::testing {

struct CandidateCheck {
  std::string wrong;                     // what is wrong, "" when nothing is
  std::size_t holding = 0, skipped = 0;  // lines that hold the name, and not
};

// Searches every range, however short, when `shortRange` is 0. Text
// without a mark is not checked (it is the UTF-8 text after one).
inline CandidateCheck CheckCandidateLines(std::string_view bytes, std::u16string_view name,
                                          std::size_t shortRange) {
  CandidateCheck check;
  const bool utf8 = bytes.starts_with("\xEF\xBB\xBF"), bigEndian = bytes.starts_with("\xFE\xFF");
  if (!(utf8 || bigEndian || bytes.starts_with("\xFF\xFE"))) return check;
  // The text after its mark, unit by unit, and each line decoded here.
  const std::string_view body = bytes.substr(utf8 ? 3 : 2);
  const std::size_t size = utf8 ? body.size() : body.size() / 2;
  const auto unit = [&](std::size_t i) -> char16_t {
    if (utf8) return static_cast<unsigned char>(body[i]);
    const auto a = static_cast<unsigned char>(body[2 * i]),
               b = static_cast<unsigned char>(body[2 * i + 1]);
    return static_cast<char16_t>(bigEndian ? a << 8 | b : b << 8 | a);
  };
  const auto folded = [](std::u16string text) {
    for (char16_t& c : text) c = ReferenceUpper(c);
    return text;
  };
  std::vector<std::pair<std::size_t, std::size_t>> reported;
  const auto report = [&](std::size_t begin, std::size_t end) {
    reported.emplace_back(begin, end);
  };
  if (utf8) {
    text::ForEachCandidateLine(text::Utf8Text{body}, name, 0, size, report, shortRange);
  } else {
    text::ForEachCandidateLine(text::Utf16Text{body.substr(0, 2 * size), bigEndian}, name, 0, size,
                               report, shortRange);
  }
  std::size_t next = 0;  // where the next report may begin
  for (std::size_t begin = 0, end = 0; begin <= size; begin = end + 1) {
    for (end = begin; end < size && unit(end) != u'\r' && unit(end) != u'\n';) ++end;
    const bool reports = next < reported.size() && reported[next].first == begin;
    if (reports && reported[next++].second != end) {
      check.wrong = "the line at " + std::to_string(begin) + " is reported to end elsewhere";
      return check;
    }
    std::u16string line;
    if (utf8) {
      line = ReferenceUtf8(body.substr(begin, end - begin), true);
    } else {
      for (std::size_t i = begin; i < end; ++i) line += unit(i);
    }
    const bool holds =  // (an empty line holds no name)
        !line.empty() && folded(line).find(folded(std::u16string(name))) != std::u16string::npos;
    ++(holds ? check.holding : check.skipped);
    if (holds && !reports) {
      check.wrong = "the line at " + std::to_string(begin) + " holds the name and is not reported";
      return check;
    }
  }
  if (next != reported.size()) check.wrong = "a report that is no line, or out of order";
  return check;
}

}  // namespace ombrels::testing
