// The plugin's main unit: the field table, the mark names, and a file's
// value from its name to the text in the host's buffer.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "plugin/MarkStore.h"
#include "translation/Translation.h"

namespace ombrels {

// Copies `source` (up to its first zero byte) into a host buffer of
// `maxLen` bytes, cut to fit with a terminating zero. A cut never leaves
// part of a multi-byte character behind. Writes nothing when maxLen <= 0.
void BoundedCopy(char* dest, std::string_view source, std::int32_t maxLen);

// The display text of a mark number: "" for 0, the (translated) name for 1
// to 10, the decimal digits for any other number. `translation`, when
// given, receives how a name was translated.
std::string MarkNameOf(std::int32_t number, std::optional<Translation>* translation = nullptr);

// How a file's display text came about, for whoever asks to see it.
struct MarkText {
  bool nameTooLong = false;  // longer than any path: nothing was looked up
  MarkLookup lookup;
  std::int32_t number = 0;
  std::optional<Translation> translation;  // for marks 1 to 10
  std::string text;
};

// The display text of a file's mark; empty, with nothing read, for a name
// longer than any path (platform.h). `steps`, when given, receives how it
// came about.
std::string GetMarkText(std::string_view fileName, MarkText* steps = nullptr);

// What ContentGetValue does: the value of field `fieldIndex` for a file,
// copied into `fieldValue` (a buffer of `maxLen` bytes), and the result
// code. `steps`, when given, receives how the text came about if it was
// looked up.
int GetFieldValue(const char* fileName, int fieldIndex, void* fieldValue, int maxLen,
                  std::optional<MarkText>* steps = nullptr);

}  // namespace ombrels
