// The in-memory reader on any bytes, any section and key: it must answer
// exactly as the plain model of the rules does, and its candidate search
// must report every line that holds the key.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>

#include "platform/Utf8.h"
#include "settings/MemIniText.h"
#include "support/CandidateCheck.h"
#include "support/ReferenceIni.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  // Names of bytes that are no UTF-8 come as a host's names come (escapes)
  // or as U+FFFD.
  const auto invalid = input.ConsumeBool() ? ombrels::platform::InvalidBytes::kEscape
                                           : ombrels::platform::InvalidBytes::kReplace;
  const std::u16string section =
      ombrels::platform::Utf8ToUtf16(input.ConsumeRandomLengthString(40), invalid);
  const std::u16string key =
      ombrels::platform::Utf8ToUtf16(input.ConsumeRandomLengthString(40), invalid);
  const std::string bytes = input.ConsumeRemainingBytesAsString();
  const ombrels::MemIniText product{std::string(bytes)};
  const ombrels::testing::ReferenceIni model(bytes);
  if (product.Find(section, key) != model.Find(section, key)) std::abort();
  // The candidate search on the same bytes, however short they are.
  if (!ombrels::testing::CheckCandidateLines(bytes, key, 0).wrong.empty()) std::abort();
  return 0;
}
