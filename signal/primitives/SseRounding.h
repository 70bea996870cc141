// Rounding and scale helpers of the SSE conversions of the processor-specific
// scope variants. They touch only the calling thread's MXCSR.
#pragma once

#include <xmmintrin.h>

#include <cstdint>

// MXCSR bits the helpers read or change.
inline constexpr std::uint32_t kMxcsrInvalidFlag = 0x0001;
inline constexpr std::uint32_t kMxcsrPrecisionFlag = 0x0020;

// rndMode 1 selects round to nearest, any other value round toward zero, in
// MXCSR's rounding field; the invalid-operation and precision flags are
// cleared as well. MXCSR is written only when something changes. Returns the
// previous MXCSR.
std::uint32_t SseSetRoundingForMode(std::int32_t rndMode);

// Writes `saved` back as MXCSR when it differs from the current value in any
// bit but the precision flag.
void SseRestoreRoundingForMode(std::uint32_t saved);

// 2^-sf in single precision in all four lanes, as 1.0 halved sf times (or
// doubled -sf times): exact for -127 <= sf <= 149, +infinity below, 0 above.
__m128 ScaleFactorSingle(std::int32_t sf);
