#include <atomic>

#include "platform/platform.h"
#include "platform/testing.h"

namespace ombrels::platform {
namespace {
std::atomic<Os*> replacement{nullptr};
}

Os& os() {
  Os* current = replacement.load(std::memory_order_acquire);
  return current ? *current : NativeOs();
}

ScopedOs::ScopedOs(Os& r) : previous_(replacement.exchange(&r, std::memory_order_acq_rel)) {}

ScopedOs::~ScopedOs() { replacement.store(previous_, std::memory_order_release); }

}  // namespace ombrels::platform
