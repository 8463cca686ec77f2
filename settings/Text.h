// Text helpers of the settings and translation code.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <type_traits>

namespace ombrels {

// Trimming: every character whose code is at most 32 goes from both ends.
// One rule for ANSI and wide text.
template <typename Char>
std::basic_string_view<Char> Trim(std::basic_string_view<Char> text) {
  const auto blank = [](Char c) {
    return static_cast<unsigned long>(static_cast<std::make_unsigned_t<Char>>(c)) <= 32;
  };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

inline std::string_view Trim(std::string_view text) { return Trim<char>(text); }
inline std::u16string_view Trim(std::u16string_view text) { return Trim<char16_t>(text); }

// Parts joined by plain concatenation, as paths are, in one allocation of
// exactly the size needed (paths may be as long as the registry allows).
inline std::string Join(std::initializer_list<std::string_view> parts) {
  std::size_t size = 0;
  for (std::string_view part : parts) size += part.size();
  std::string joined;
  joined.reserve(size);
  for (std::string_view part : parts) joined.append(part);
  return joined;
}

// Keeps what a guard caught, for whoever looks at the steps of a lookup;
// never fails itself, so that the guard's fallback stands.
inline void NoteFailure(std::string& to, const char* what) noexcept {
  try {
    to = what ? what : "";
  } catch (...) {
    to.clear();
  }
}

}  // namespace ombrels
