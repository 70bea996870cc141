// Block allocation of the transform unit (internal).
//
// Every block of the unit (FFT specs and tables, the forward transform's work
// block, IIR states) is a 32-byte aligned block from `AlignedAlloc`. Sizes are
// computed in 64 bits and every block is limited to a signed 31-bit byte
// count, so an absurd order or size is refused as "no memory" instead of
// wrapping into a short block, and a 64-bit build never asks for gigabytes.
#pragma once

#include <cstdint>

#include "signal/primitives/PrimitiveDispatch.h"

// Largest byte count of one block.
inline constexpr std::int64_t kMaxTransformBlockBytes = 0x7FFFFFFF;

// A 32-byte aligned block of `bytes` bytes, not initialised; null when
// bytes is below 1, above kMaxTransformBlockBytes, or the heap cannot supply it.
// Release it with AlignedFree.
void* AlignedAllocBytes(std::int64_t bytes);

// `bytes` rounded up to a multiple of 16.
constexpr std::int64_t RoundUpTo16(std::int64_t bytes) {
  return (bytes + 15) & ~std::int64_t{15};
}

// The copies of the shared services that the processor-specific variants of
// the unit use, one set per letter. Each gives the same bytes and statuses
// as the portable service (LibCDispatcher.h) for blocks that do not
// overlap: checks first (null pointers -8, then a count below 1 -6), the
// byte count formed in 64 bits, then the letter's copy or zero kernel.
namespace transforms_detail {

// As AlignedAllocBytes; the set-C form also hints the cache line 128 bytes
// into the new block (the first lines a new state or table writes).
void* AlignedAllocBytesC(std::int64_t bytes);

// Set A: cached moves below 2048 elements, non-temporal below 4096, then
// page by page with prefetching; zero fills stream from 20 KiB on.
PrimitiveStatus CopyInt32CheckedA(const std::int32_t* src, std::int32_t* dst, std::int32_t len);
PrimitiveStatus ZeroInt32CheckedA(std::int32_t* dst, std::int32_t len);
PrimitiveStatus ZeroBytesCheckedA(void* dst, std::int32_t n);
// Set B: the SSE2 copy (streaming considered above 128 KiB) and zero fill.
PrimitiveStatus CopyInt32CheckedB(const std::int32_t* src, std::int32_t* dst, std::int32_t len);
PrimitiveStatus ZeroInt32CheckedB(std::int32_t* dst, std::int32_t len);
PrimitiveStatus ZeroBytesCheckedB(void* dst, std::int32_t n);
// Set C: the SSE2 copy with SSE3 loads (streaming considered above 512 KiB)
// and the SSE2 zero fill. Only on processors with SSE3.
PrimitiveStatus CopyInt32CheckedC(const std::int32_t* src, std::int32_t* dst, std::int32_t len);
PrimitiveStatus ZeroInt32CheckedC(std::int32_t* dst, std::int32_t len);
PrimitiveStatus ZeroBytesCheckedC(void* dst, std::int32_t n);

}  // namespace transforms_detail
