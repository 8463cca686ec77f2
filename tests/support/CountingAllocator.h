// Heap in use and its peak, for the whole program that links
// CountingAllocator.cpp (which replaces the global operator new).
#pragma once

#include <cstddef>

namespace ombrels::testing {

std::size_t LiveHeapBytes();
std::size_t PeakHeapBytes();
// Starts a new peak from what is in use now; returns that amount.
std::size_t ResetHeapPeak();

}  // namespace ombrels::testing
