#include "settings/MemIniText.h"

#include <algorithm>
#include <bit>
#include <utility>

#include "platform/platform.h"
#include "settings/CandidateLines.h"
#include "settings/TextViews.h"

namespace ombrels {

char16_t FoldCase(char16_t c) { return text::UpperOf(c); }

// The encoding by the byte-order mark. The mark stays in the bytes, before
// the text, which is not moved.
MemIniText::MemIniText(platform::Bytes bytes) {
  const std::string_view all = bytes.view();
  const auto marked = [&](std::string_view mark) { return all.substr(0, mark.size()) == mark; };
  if (marked("\xFF\xFE") || marked("\xFE\xFF")) {
    encoding_ = all[0] == '\xFE' ? Encoding::kUtf16Be : Encoding::kUtf16Le;
    begin_ = 2;
    size_ = (all.size() - 2) & ~std::size_t{1};  // whole units
  } else if (marked("\xEF\xBB\xBF") || platform::os().AnsiDecodesAsUtf8()) {
    begin_ = marked("\xEF\xBB\xBF") ? 3 : 0;
    size_ = all.size() - begin_;
  } else {
    // Decoded by the system and held as UTF-16 in this machine's order;
    // the bytes go before the text is searched for its end.
    wide_ = platform::os().AnsiToWide(all.substr(0, all.find('\0')));
    bytes = platform::Bytes();
    encoding_ = std::endian::native == std::endian::big ? Encoding::kUtf16Be : Encoding::kUtf16Le;
    wide_.resize(std::min(wide_.size(), wide_.find(u'\0')));
  }
  bytes_ = std::move(bytes);
}

std::string_view MemIniText::Text() const {
  // Bytes of either kind of storage may be read as chars.
  return wide_.empty()
             ? bytes_.view().substr(begin_, size_)
             : std::string_view(reinterpret_cast<const char*>(wide_.data()), wide_.size() * 2);
}

namespace {

using text::IsBreak;
using Range = std::pair<std::size_t, std::size_t>;  // units [first, second)
constexpr std::size_t npos = std::string_view::npos;

// Trimming removes every unit of 32 or less at both ends.
bool IsBlank(char16_t c) { return c <= 32; }
template <typename Text>
void Trim(const Text& text, std::size_t& begin, std::size_t& end) {
  while (begin < end && IsBlank(text[begin])) ++begin;
  while (end > begin && IsBlank(text[end - 1])) --end;
}

// Where the text from `from` on stops matching the name whole, without
// regard to case; npos when it does not before `to`. Bytes alike match;
// from the first that differ on, character by character.
template <typename Text>
std::size_t MatchEnd(const Text& text, std::size_t from, std::size_t to, const Text& name) {
  std::size_t j = text.Same(from, to, name);
  for (from += j; j < name.size();) {
    std::size_t length = 0, nameLength = 0;
    if (from == to || text.Folded(from, length) != name.Folded(j, nameLength)) return npos;
    from += length;
    j += nameLength;
  }
  return from;
}

// Headers. A line that begins with "[" and ends with "]" opens a section,
// named by the text between them, trimmed. The lines of the last section of
// the name run from the break that ends its header up to the start of the
// next header's line, or to the text's end. `reach` receives the end of the
// last line that a zero could cut into a header of the name: "[" and the
// name begin it.
template <typename Text>
std::optional<Range> LastSection(const Text& text, std::u16string_view sectionName,
                                 std::size_t& reach) {
  const std::string encoded = text.Encode(sectionName);
  const Text name = text.Over(encoded);
  std::optional<Range> last;
  std::size_t open = npos, lineStart = 0, at = 0;
  for (; (at = text.Find('[', at)) < text.size(); ++at) {
    std::size_t begin = at;  // the line's start, when only blanks stand before the "["
    while (begin > lineStart && IsBlank(text[begin - 1]) && !IsBreak(text[begin - 1])) --begin;
    if (begin != lineStart && !IsBreak(text[begin - 1])) continue;
    std::size_t end = at;
    while (end < text.size() && !IsBreak(text[end])) ++end;
    std::size_t nameBegin = at + 1, nameEnd = end;
    Trim(text, nameBegin, nameEnd);
    if (MatchEnd(text, nameBegin, end, name) != npos) reach = end;
    if (nameEnd == nameBegin || text[nameEnd - 1] != u']') continue;  // a key line
    if (open != npos) last.emplace(open, begin);
    Trim(text, nameBegin, --nameEnd);
    open = MatchEnd(text, nameBegin, nameEnd, name) == nameEnd ? end : npos;
    lineStart = end;
    at = end - 1;  // (the loop steps to the break that ends the header)
  }
  if (open != npos) last.emplace(open, at);
  return last;
}

// Each line of the last section of that name that the search reports (every
// line that may hold `name`), trimmed, to `line(begin, end)` in the file's
// order; empty lines and comments (";" first) are skipped.
template <typename Text, typename Line>
void ForEachLine(const Text& text, std::u16string_view section, std::u16string_view name,
                 std::size_t& reach, Line line) {
  const auto range = LastSection(text, section, reach);
  if (!range) return;
  text::ForEachCandidateLine(text, name, range->first, range->second, [&](auto begin, auto end) {
    Trim(text, begin, end);
    if (begin != end && text[begin] != u';') line(begin, end);
  });
}

// Keys. A line whose text before its first "=", trimmed, is the key gives
// the value, the text after it, trimmed; a later line replaces an earlier.
// A zero unit ends the text. It is looked for only as far as the answer
// depends on it: up to the value's end and the last line that a zero could
// cut into a header of the name; a line that a zero cuts holds a key only if
// it held it whole, and no line after it is left. When a zero stands before
// that place, the text before it is read again.
template <typename Text>
std::optional<std::u16string> Lookup(Text text, std::u16string_view section,
                                     std::u16string_view keyName) {
  const std::string encoded = text.Encode(keyName);
  const Text key = text.Over(encoded);
  for (;;) {
    std::size_t reach = 0;
    std::optional<Range> value;
    ForEachLine(text, section, keyName, reach, [&](std::size_t begin, std::size_t end) {
      std::size_t equals = MatchEnd(text, begin, end, key);
      if (equals == npos) return;
      while (equals < end && IsBlank(text[equals])) ++equals;
      if (equals == end || text[equals] != u'=') return;
      std::size_t valueBegin = equals + 1;
      Trim(text, valueBegin, end);
      value.emplace(valueBegin, end);
    });
    if (value) reach = std::max(reach, value->second);
    const std::size_t zero = text.ZeroBefore(reach);
    if (zero == reach)
      return value ? std::optional(text.Copy(value->first, value->second)) : std::nullopt;
    text = text.Before(zero);
  }
}

// The keys of the last section of the name, on the same loop (a name that
// every line may hold): each line's text before its first "=", trimmed.
template <typename Text>
std::vector<std::u16string> KeysIn(Text text, std::u16string_view section) {
  std::vector<std::u16string> keys;
  text = text.Before(text.ZeroBefore(text.size()));
  std::size_t reach = 0;
  ForEachLine(text, section, u"", reach, [&](std::size_t begin, std::size_t end) {
    std::size_t equals = text.Before(end).Find('=', begin);  // (not beyond the line)
    if (equals == end) return;
    Trim(text, begin, equals);
    keys.push_back(text.Copy(begin, equals));
  });
  return keys;
}

}  // namespace

std::optional<std::u16string> MemIniText::Find(std::u16string_view section,
                                               std::u16string_view key) const {
  // A line's key is trimmed, ends at its first "=" and holds no line
  // break: a key that ends in a blank, or holds any of those, is never found.
  if ((!key.empty() && IsBlank(key.back())) || key.find_first_of(u"=\r\n") != npos)
    return std::nullopt;
  if (encoding_ == Encoding::kUtf8) return Lookup(text::Utf8Text{Text()}, section, key);
  return Lookup(text::Utf16Text{Text(), encoding_ == Encoding::kUtf16Be}, section, key);
}

std::vector<std::u16string> MemIniText::Keys(std::u16string_view section) const {
  if (encoding_ == Encoding::kUtf8) return KeysIn(text::Utf8Text{Text()}, section);
  return KeysIn(text::Utf16Text{Text(), encoding_ == Encoding::kUtf16Be}, section);
}

}  // namespace ombrels
