// Process-heap shims and 32-byte aligned blocks.
//
// The primitives allocate nothing themselves; these routines serve their
// owners: the smart block store takes its blocks from `AlignedAlloc`, the
// transform primitives their FFT tables, filter states and work blocks.
//
// Layout of an aligned block: `AlignedAlloc(n)` asks the heap for n + 40
// bytes at `raw`, places the block at the first 32-byte boundary at or after
// raw + 8 (so between 8 and 39 bytes above raw) and keeps `raw` in the 8-byte
// word just below the block; `AlignedFree` reads it from there. The n usable
// bytes always end inside the heap block. Nothing else may write that word.
//
// Threads: any thread may call these; the heap serialises itself.
#pragma once

#include <cstdint>

// A block of `size` bytes from the process heap, not initialised; null when
// `size` is negative or the heap cannot supply it. The caller owns the block
// and returns it with `ProcessHeapFree`.
void* ProcessHeapAlloc(std::int64_t size);

// Returns a block from `ProcessHeapAlloc` (or null, which does nothing) to the
// heap. Always true: the heap reports no failure.
bool ProcessHeapFree(void* block);

// A 32-byte aligned block of at least `n` bytes, not initialised; null when
// n < 1 (the heap is not asked) or the heap cannot supply it. The size
// arithmetic is done in 64 bits and cannot wrap. The caller owns the block
// and returns it with `AlignedFree`.
void* AlignedAlloc(std::int32_t n);

// Returns a block from `AlignedAlloc`; null does nothing. Any other pointer is
// undefined behaviour.
void AlignedFree(void* block);
