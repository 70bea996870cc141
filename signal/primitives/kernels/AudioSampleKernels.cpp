#include "signal/primitives/kernels/AudioSampleKernels.h"

#include <emmintrin.h>

#include <cmath>
#include <cstddef>
#include <cstring>

#include "signal/primitives/kernels/Int16Column.h"

namespace {

constexpr std::int64_t kInt16Min = -32768;
constexpr std::int64_t kInt16Max = 32767;

// RoundHalfEvenSaturate on four values that are not NaN, in two vectors, giving four
// 32-bit integers (values of v0 first). The same steps: clamp to [lo, hi]
// (integral, within the 32-bit range), truncate, then step away from zero
// when the exact fraction is above one half in magnitude, or is one half and
// the truncated value odd.
[[gnu::always_inline]] inline __m128i RoundSaturateNotNaN4(__m128d v0, __m128d v1, __m128d lo,
                                                           __m128d hi) {
  v0 = _mm_min_pd(_mm_max_pd(v0, lo), hi);
  v1 = _mm_min_pd(_mm_max_pd(v1, lo), hi);
  const __m128i whole0 = _mm_cvttpd_epi32(v0);
  const __m128i whole1 = _mm_cvttpd_epi32(v1);
  const __m128d signBit = _mm_set1_pd(-0.0);
  const __m128d half = _mm_set1_pd(0.5);
  const __m128d magnitude0 = _mm_andnot_pd(signBit, _mm_sub_pd(v0, _mm_cvtepi32_pd(whole0)));
  const __m128d magnitude1 = _mm_andnot_pd(signBit, _mm_sub_pd(v1, _mm_cvtepi32_pd(whole1)));
  // Two vectors of 64-bit lanes into one of 32-bit lanes, in lane order:
  // the low halves (selector 2, 0, 2, 0) or the high halves (3, 1, 3, 1).
  const auto lowHalves = [](__m128d m0, __m128d m1) {
    return _mm_castps_si128(
        _mm_shuffle_ps(_mm_castpd_ps(m0), _mm_castpd_ps(m1), _MM_SHUFFLE(2, 0, 2, 0)));
  };
  const __m128i whole = _mm_unpacklo_epi64(whole0, whole1);
  const __m128i odd = _mm_cmpeq_epi32(_mm_and_si128(whole, _mm_set1_epi32(1)), _mm_set1_epi32(1));
  const __m128i away = _mm_or_si128(
      lowHalves(_mm_cmpgt_pd(magnitude0, half), _mm_cmpgt_pd(magnitude1, half)),
      _mm_and_si128(odd,
                    lowHalves(_mm_cmpeq_pd(magnitude0, half), _mm_cmpeq_pd(magnitude1, half))));
  // +1 for a positive value, -1 for a negative one: the sign bit of the
  // high half spread over the lane, or 1.
  const __m128i highHalves = _mm_castps_si128(
      _mm_shuffle_ps(_mm_castpd_ps(v0), _mm_castpd_ps(v1), _MM_SHUFFLE(3, 1, 3, 1)));
  const __m128i step = _mm_or_si128(_mm_srai_epi32(highHalves, 31), _mm_set1_epi32(1));
  return _mm_add_epi32(whole, _mm_and_si128(away, step));
}

double Int16At(const std::uint8_t* p) {
  std::int16_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

}  // namespace

void ConvertInt16ColumnToDoubleKernel(const std::uint8_t* src, std::int32_t srcStep, double* dst,
                                      std::uint32_t count) {
  std::uint32_t i = 0;
  if (srcStep == 4) {
    // Four frames per load (Int16Column.h); the sign-extended samples
    // convert exactly.
    i = static_cast<std::uint32_t>(
        kernels_detail::ForEachInt16ColumnGroup(count, [src, dst](std::int64_t row) {
          const __m128i samples = kernels_detail::LoadInt16Column4(src, row);
          _mm_storeu_pd(dst + row, _mm_cvtepi32_pd(samples));
          _mm_storeu_pd(dst + row + 2,
                        _mm_cvtepi32_pd(_mm_shuffle_epi32(samples, _MM_SHUFFLE(3, 2, 3, 2))));
        }));
  }
  for (; i < count; ++i)
    dst[i] = Int16At(src + static_cast<std::int64_t>(i) * srcStep);
}

// The nearest integer to v, ties to even, saturated to [lo, hi]; NaN gives 0.
// Written out rather than left to the floating-point unit, whose rounding
// mode other code may change. The bounds are at most 2^31 in magnitude.
std::int64_t RoundHalfEvenSaturate(double v, std::int64_t lo, std::int64_t hi) {
  if (std::isnan(v))
    return 0;
  if (v <= static_cast<double>(lo))
    return lo;
  if (v >= static_cast<double>(hi))
    return hi;
  // |v| < 2^31: the conversion truncates (it does in every rounding mode)
  // and the fraction v - whole is exact.
  std::int64_t r = static_cast<std::int64_t>(v);
  const double fraction = v - static_cast<double>(r);
  const bool odd = (r & 1) != 0;
  if (fraction > 0.5 || (fraction == 0.5 && odd)) {
    ++r;
  } else if (fraction < -0.5 || (fraction == -0.5 && odd)) {
    --r;
  }
  return r;  // lo < v < hi with integral bounds keeps r within them
}

// Eight samples per step, the rest one by one. A
// finite factor times a sample is never NaN (at worst an infinity, which
// saturates); other factors take the one-by-one path.
void ScaleInt16RoundedKernel(double factor, std::uint8_t* samples, std::uint32_t count) {
  const __m128d f = _mm_set1_pd(factor);
  const __m128d lo = _mm_set1_pd(static_cast<double>(kInt16Min));
  const __m128d hi = _mm_set1_pd(static_cast<double>(kInt16Max));
  std::uint32_t i = 0;
  for (; std::isfinite(factor) && i + 8 <= count; i += 8) {
    auto* p = reinterpret_cast<__m128i*>(samples + static_cast<std::size_t>(i) * 2);
    const __m128i raw = _mm_loadu_si128(p);
    // Each sample into the high half of a 32-bit lane, then shifted down
    // with its sign.
    const __m128i low4 = _mm_srai_epi32(_mm_unpacklo_epi16(raw, raw), 16);
    const __m128i high4 = _mm_srai_epi32(_mm_unpackhi_epi16(raw, raw), 16);
    const __m128d v0 = _mm_mul_pd(_mm_cvtepi32_pd(low4), f);
    const __m128d v1 = _mm_mul_pd(_mm_cvtepi32_pd(_mm_unpackhi_epi64(low4, low4)), f);
    const __m128d v2 = _mm_mul_pd(_mm_cvtepi32_pd(high4), f);
    const __m128d v3 = _mm_mul_pd(_mm_cvtepi32_pd(_mm_unpackhi_epi64(high4, high4)), f);
    // Every value is within the 16-bit range already: the pack does not
    // saturate.
    _mm_storeu_si128(p, _mm_packs_epi32(RoundSaturateNotNaN4(v0, v1, lo, hi),
                                        RoundSaturateNotNaN4(v2, v3, lo, hi)));
  }
  for (; i < count; ++i) {
    std::uint8_t* p = samples + static_cast<std::size_t>(i) * 2;
    std::int16_t x;
    std::memcpy(&x, p, sizeof x);
    const auto y = static_cast<std::int16_t>(
        RoundHalfEvenSaturate(static_cast<double>(x) * factor, kInt16Min, kInt16Max));
    std::memcpy(p, &y, sizeof y);
  }
}

TWeightedPeak WeightedPeakOf16Kernel(const float* samples, const double* weight, float floor) {
  const __m128 magnitudeBits = _mm_castsi128_ps(_mm_set1_epi32(0x7FFFFFFF));
  const __m128 floors = _mm_set1_ps(floor);
  // 0 is the identity of the maximum: every product is >= 0. A NaN sample
  // is passed over by max (it keeps its second operand), and counts as not
  // above the floor.
  __m128d peakLow = _mm_setzero_pd();
  __m128d peakHigh = _mm_setzero_pd();
  __m128 above = _mm_castsi128_ps(_mm_set1_epi32(-1));
  for (int k = 0; k < 16; k += 4) {
    const __m128 x = _mm_and_ps(_mm_loadu_ps(samples + k), magnitudeBits);
    above = _mm_and_ps(above, _mm_cmpgt_ps(x, floors));
    peakLow = _mm_max_pd(_mm_mul_pd(_mm_cvtps_pd(x), _mm_load_pd(weight + k)), peakLow);
    peakHigh = _mm_max_pd(
        _mm_mul_pd(_mm_cvtps_pd(_mm_movehl_ps(x, x)), _mm_load_pd(weight + k + 2)), peakHigh);
  }
  __m128d peak = _mm_max_pd(peakLow, peakHigh);
  peak = _mm_max_sd(peak, _mm_unpackhi_pd(peak, peak));
  return {_mm_cvtsd_f64(peak), _mm_movemask_ps(above) == 0xF};
}
