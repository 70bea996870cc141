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
// States made by the processor-specific create variants hold three more
// areas behind the delay area, read by the processor-specific filters:
// - broadcastTaps: 4N+4 floats, four copies of each b tap (b0 first);
// - blockCoefs: 4N+12 floats, the coefficients that give four consecutive
//   outputs of the feedback recursion y[n] = w[n] - a1 y[n-1] - ... -
//   aN y[n-N] from the four feed-forward sums w[n..n+3] and the N outputs
//   before them, each a group of four floats (lane j for output n + j):
//     H1, H2, H3: lane j of Hi holds h(j-i+1) for j >= i, else 0, where h
//       is the recursion's impulse response (h0 = 1), so that output n + j
//       takes w[n+j] plus the sum over i of lane j of H(i+1) times w[n+i];
//     G1 .. GN: lane j of Gk holds the weight of y[n-k] in y[n+j];
//   derived in double from the stored taps and rounded to single;
// - workArea: 1024 floats of scratch (the feed-forward sums of one block),
//   and in a state whose id is not "10II" workArea2, the next 1024 floats.
//
// A cascade ("20II") state is never created here; the processor-specific
// filters read it as follows (the portable filter reads only taps,
// delayLine and order). Per section s, of `sectionCount`:
// - sectionCoefs + 8s: b0, b1, b2, a1, a2 (normalised) and three zeros;
// - broadcastTaps + 12s: four copies each of b0, b1, b2;
// - blockCoefs + 20s: H1, H2, H3, G1, G2 of the section's two-pole
//   recursion, as above with N = 2;
// - delayLine + 2s: the section's delay values d0, d1.
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
  float* broadcastTaps;       // processor-specific states only; else null
  float* blockCoefs;          // processor-specific states only; else null
  std::int32_t sectionCount;  // 0 in every created state
  float* sectionCoefs;        // cascades only; null in created states
  float* workArea;            // processor-specific states only; else null
  float* workArea2;           // cascades only; null in created states
  std::int32_t ownsMemory;    // 1: IirFreeState releases the block
  std::uint32_t reserved;
};

// Bytes of a state of order N: taps area, delay area, header and 16 bytes of
// alignment slack, computed in 64 bits (the caller refuses sizes beyond the
// 31-bit block limit).
std::int64_t IirStateSize(std::int64_t order);

// Bytes of the taps area and of the delay area of a state of order N.
constexpr std::int64_t IirTapsAreaBytes(std::int64_t order) {
  return (8 * order + 19) & ~std::int64_t{15};
}
constexpr std::int64_t IirDelayAreaBytes(std::int64_t order) {
  return (4 * order + 19) & ~std::int64_t{15};
}

// Floats of one work area of the processor-specific filters: the longest
// block they filter at once.
inline constexpr std::int64_t kIirWorkFloats = 1024;

// Bytes of a state of order N made by a processor-specific create variant
// with the given id: the portable areas, broadcastTaps, blockCoefs, one work
// area ("10II") or two (any other id), 40 bytes of slack, the header and 16
// bytes of alignment slack; in 64 bits.
std::int64_t IirSimdStateSize(std::int64_t order, std::uint32_t id);
