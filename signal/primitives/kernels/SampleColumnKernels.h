// Vector loops behind the audio components' per-channel sample conversions.
// A column is one channel of interleaved frames: its first sample at `src`,
// the next ones `srcStep` bytes apart, at any byte address. The kernels check
// nothing; their callers pass valid runs. Nothing here allocates or keeps
// state.
#pragma once

#include <cstdint>

// dst[i] = the signed 16-bit little-endian sample at src + i x srcStep, as a
// double (exact). Four frames per step when srcStep is 4 (16-bit stereo);
// never reads past the last sample's two bytes.
void ConvertInt16ColumnToDoubleKernel(const std::uint8_t* src, std::int32_t srcStep, double* dst,
                                      std::uint32_t count);
