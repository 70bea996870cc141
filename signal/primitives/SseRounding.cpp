#include "signal/primitives/SseRounding.h"

#include <cmath>

#include "signal/primitives/RoundingControl.h"

std::uint32_t SseSetRoundingForMode(std::int32_t rndMode) {
  const std::uint32_t saved = _mm_getcsr();
  const std::uint32_t rounding = rndMode == 1 ? kSseRoundNearest : kSseRoundTowardZero;
  const std::uint32_t wanted =
      (saved & ~(kSseRoundingMask | kMxcsrInvalidFlag | kMxcsrPrecisionFlag)) | rounding;
  if (wanted != saved) {
    _mm_setcsr(wanted);
  }
  return saved;
}

void SseRestoreRoundingForMode(std::uint32_t saved) {
  if (((_mm_getcsr() ^ saved) & ~kMxcsrPrecisionFlag) != 0) {
    _mm_setcsr(saved);
  }
}

__m128 ScaleFactorSingle(std::int32_t sf) {
  // Halving 1.0 is exact down to 2^-149; the next halving is a tie that
  // rounds to 0 (to nearest and toward zero alike). Doubling overflows past
  // 2^127.
  if (sf > 149) {
    return _mm_setzero_ps();
  }
  if (sf < -127) {
    return _mm_set1_ps(HUGE_VALF);
  }
  return _mm_set1_ps(std::ldexp(1.0f, -sf));
}
