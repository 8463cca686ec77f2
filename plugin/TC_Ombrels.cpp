#include "plugin/TC_Ombrels.h"

#include <cstring>

#include "platform/platform.h"
#include "plugin/ContPlug.h"
#include "plugin/MarkStore.h"
#include "translation/Translation.h"

namespace ombrels {
namespace {

struct Field {
  const char* name;
  int type;
  const char* units;
};
constexpr Field kFields[] = {{"Ombrel", ft_string, ""}};
constexpr int kFieldCount = static_cast<int>(sizeof kFields / sizeof kFields[0]);

constexpr const char* kMarkNames[] = {"Certified",     "Cool",     "Danger",    "Delete",
                                      "Distinguished", "Favorite", "Important", "New",
                                      "Personal",      "Web"};

bool IsField(int index) { return index >= 0 && index < kFieldCount; }

std::string NoFileHasTheName(MarkText* steps) {
  if (steps) steps->nameTooLong = true;
  return {};
}

}  // namespace

void BoundedCopy(char* dest, std::string_view source, std::int32_t maxLen) {
  if (maxLen <= 0 || dest == nullptr) return;
  source = source.substr(0, source.find('\0'));
  const auto limit = static_cast<std::size_t>(maxLen) - 1;
  std::size_t length = source.size();
  if (length > limit) {  // back off to the last whole character that fits
    auto& os = platform::os();
    length = 0;
    for (std::size_t next; length < source.size(); length = next) {
      next = length + os.CharLength(source, length);
      if (next > limit) break;
    }
  }
  std::memcpy(dest, source.data(), length);
  dest[length] = '\0';
}

std::string MarkNameOf(std::int32_t number, std::optional<Translation>* translation) {
  auto& os = platform::os();
  std::u16string text = os.AnsiToWide(std::to_string(number));
  if (number >= 1 && number <= 10) {
    text = Translate(kMarkNames[number - 1], translation ? &translation->emplace() : nullptr);
  }
  if (number == 0) text.clear();
  return os.WideToAnsi(text);
}

std::string GetMarkText(std::string_view fileName, MarkText* steps) {
  // A name longer than any path is no file's: nothing is read for it.
  if (fileName.size() > platform::kLongestPath) return NoFileHasTheName(steps);
  const std::u16string wide = platform::os().AnsiToWide(fileName);
  if (wide.size() > platform::kLongestPathUnits) return NoFileHasTheName(steps);
  const std::int32_t number = LookupMarkNumber(wide, steps ? &steps->lookup : nullptr);
  std::string text = MarkNameOf(number, steps ? &steps->translation : nullptr);
  if (steps) {
    steps->number = number;
    steps->text = text;
  }
  return text;
}

int GetFieldValue(const char* fileName, int fieldIndex, void* fieldValue, int maxLen,
                  std::optional<MarkText>* steps) {
  if (!IsField(fieldIndex)) return ft_nosuchfield;
  if (fieldValue == nullptr || maxLen <= 0) return ft_fieldempty;
  char* const value = static_cast<char*>(fieldValue);
  try {
    const std::string text =
        fileName ? GetMarkText(fileName, steps ? &steps->emplace() : nullptr) : std::string();
    BoundedCopy(value, text, maxLen);
    const int type = kFields[fieldIndex].type;
    if (type == ft_string && value[0] == '\0') return ft_fieldempty;
    return type;
  } catch (...) {
    value[0] = '\0';
    return ft_fieldempty;
  }
}

}  // namespace ombrels

// The exports: thin, and nothing escapes into the host.

extern "C" OMBRELS_EXPORT int OMBRELS_CALL ContentGetSupportedField(int FieldIndex, char* FieldName,
                                                                    char* Units, int maxlen) {
  using namespace ombrels;
  if (!IsField(FieldIndex)) return ft_nomorefields;
  try {
    BoundedCopy(FieldName, kFields[FieldIndex].name, maxlen);
    BoundedCopy(Units, kFields[FieldIndex].units, maxlen);
  } catch (...) {
    // Copying constant texts does not fail; the type is still the answer.
  }
  return kFields[FieldIndex].type;
}

extern "C" OMBRELS_EXPORT int OMBRELS_CALL ContentGetValue(const char* FileName, int FieldIndex,
                                                           int /*UnitIndex*/, void* FieldValue,
                                                           int maxlen, int /*flags*/) {
  return ombrels::GetFieldValue(FileName, FieldIndex, FieldValue, maxlen);
}
