// Vector loops behind the audio components' sample routines: per-channel
// conversions, 16-bit scaling and the peak meter's block step. A column is
// one channel of interleaved frames: its first sample at `src`, the next ones
// `srcStep` bytes apart, at any byte address. The kernels check nothing;
// their callers pass valid runs. Nothing here allocates or keeps state, and
// no result depends on the floating-point unit's rounding mode.
#pragma once

#include <cstdint>

// dst[i] = the signed 16-bit little-endian sample at src + i x srcStep, as a
// double (exact). Four frames per step when srcStep is 4 (16-bit stereo);
// never reads past the last sample's two bytes.
void ConvertInt16ColumnToDoubleKernel(const std::uint8_t* src, std::int32_t srcStep, double* dst,
                                      std::uint32_t count);

// The nearest integer to v, ties to even, saturated to [lo, hi] (integral
// bounds of at most 2^31 in magnitude); NaN gives 0.
std::int64_t RoundHalfEvenSaturate(double v, std::int64_t lo, std::int64_t hi);

// Every packed 16-bit sample x of `count` at `samples` (any byte address)
// becomes RoundHalfEvenSaturate(x x factor, -32768, 32767). Eight samples per
// step when the factor is finite.
void ScaleInt16RoundedKernel(double factor, std::uint8_t* samples, std::uint32_t count);

// One block of the peak follower: over 16 floats x_i, the largest
// |x_i| x weight[i] (0 when none is above 0; NaN samples are passed over),
// and whether every |x_i| is above `floor` (a NaN is not). `weight` is
// 16-byte aligned; `samples` may be unaligned.
struct TWeightedPeak {
  double peak;
  bool allAbove;
};
TWeightedPeak WeightedPeakOf16Kernel(const float* samples, const double* weight, float floor);
