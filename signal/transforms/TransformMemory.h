// Block allocation of the transform unit (internal).
//
// Every block of the unit (FFT specs and tables, the forward transform's work
// block, IIR states) is a 32-byte aligned block from `AlignedAlloc`. Sizes are
// computed in 64 bits and every block is limited to a signed 31-bit byte
// count, so an absurd order or size is refused as "no memory" instead of
// wrapping into a short block, and a 64-bit build never asks for gigabytes.
#pragma once

#include <cstdint>

// Largest byte count of one block.
inline constexpr std::int64_t kMaxTransformBlockBytes = 0x7FFFFFFF;

// A 32-byte aligned block of `bytes` bytes, not initialised; null when bytes
// is below 1, above kMaxTransformBlockBytes, or the heap cannot supply it.
// Release it with AlignedFree.
void* AlignedAllocBytes(std::int64_t bytes);

// `bytes` rounded up to a multiple of 16.
constexpr std::int64_t RoundUpTo16(std::int64_t bytes) {
  return (bytes + 15) & ~std::int64_t{15};
}
