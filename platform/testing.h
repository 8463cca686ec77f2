// Test seam: lets a test put its own Os in place of the native backend.
// Only tests include this header; the shipped module exports none of it.
#pragma once

#include "platform/platform.h"

namespace ombrels::platform {

// The backend of the system the code was built for.
Os& NativeOs();

// Puts `replacement` in force for the lifetime of this object.
class ScopedOs {
 public:
  explicit ScopedOs(Os& replacement);
  ~ScopedOs();
  ScopedOs(const ScopedOs&) = delete;
  ScopedOs& operator=(const ScopedOs&) = delete;

 private:
  Os* previous_;
};

}  // namespace ombrels::platform
