// The IIR filter state (internal to the transform unit).
//
// One block from AlignedAlloc holds, in this order: the header below, the
// taps area and the delay area, each starting on a 16-byte boundary.
// - Taps area: 2N+1 floats b0/a0 .. bN/a0, a1/a0 .. aN/a0 (the leading
//   feedback tap, 1 after normalisation, is not stored), padded to
//   (8N + 19) & ~15 bytes.
// - Delay area: N+1 floats d[0..N], padded to (4N + 19) & ~15 bytes.
//   d[0..N-1] is the running state of the transposed direct form II; d[N] is
//   0.0 from creation on and never written.
// A state serves one thread at a time: filtering writes its delay line.
#pragma once

#include <cstdint>

#include "signal/transforms/MoskDispatcher.h"

// "10II": direct form of arbitrary order (every state created here).
inline constexpr std::uint32_t kIirDirectFormId = 0x49493031;
// "20II": cascade of second-order sections (filtered, never created here).
inline constexpr std::uint32_t kIirBiquadCascadeId = 0x49493032;

struct alignas(16) IirState {
  std::uint32_t id;           // kIirDirectFormId or kIirBiquadCascadeId
  float* taps;                // the normalised taps, right after the header
  float* delayLine;           // d[0..N], right after the taps area
  std::int32_t order;         // N >= 0; in a cascade, twice the number of sections
  float* broadcastTaps;       // processor-specific variants only; null here
  float* blockCoefs;          // processor-specific variants only; null here
  std::int32_t sectionCount;  // 0 in every created state
  float* sectionCoefs;        // processor-specific variants only; null here
  float* workArea;            // processor-specific variants only; null here
  float* workArea2;           // processor-specific variants only; null here
  std::int32_t ownsMemory;    // 1: IirFreeState releases the block
  std::uint32_t reserved;
};

// Bytes of a state of order N: taps area, delay area, header and 16 bytes of
// alignment slack, computed in 64 bits (the caller refuses sizes beyond the
// 31-bit block limit).
std::int64_t IirStateSize(std::int64_t order);
