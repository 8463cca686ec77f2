// The mark store: the "Files" section of the settings file in force.
#pragma once

#include <cstdint>
#include <string>

namespace ombrels {

// The mark number stored for a file; 0 when there is none or on any failure.
std::int32_t LookupMarkNumber(const std::u16string& fileName);

}  // namespace ombrels
