// The SSE2 division and product kernels of sets B and C: the double and
// complex divisions (shared by both sets), the scaled int32 multiply (the
// same in both sets) and set B's complex multiply. Set C's complex multiply
// uses SSE3 and lives in KernelsC.cpp.
#include <emmintrin.h>
#include <xmmintrin.h>

#include <cstdint>

#include "signal/primitives/RoundingControl.h"
#include "signal/primitives/UnalignedAccess.h"
#include "signal/primitives/kernels/KernelShared.h"
#include "signal/primitives/kernels/VariantKernels.h"

namespace {

using kernels_detail::Address;

inline __m128d QuietNaN() {
  return _mm_castsi128_pd(_mm_set1_epi64x(0x7FF8000000000000));
}

inline __m128d Magnitude(__m128d v) {
  return _mm_andnot_pd(_mm_set1_pd(-0.0), v);
}

// All ones in each lane that holds a normal number (exponent field neither
// all zeros nor all ones).
inline __m128d NormalLanes(__m128d v) {
  const __m128d m = Magnitude(v);
  return _mm_and_pd(_mm_cmpge_pd(m, _mm_set1_pd(2.2250738585072014e-308)),
                    _mm_cmple_pd(m, _mm_set1_pd(1.7976931348623157e+308)));
}

// True when both lanes hold normal numbers.
inline bool BothNormal(__m128d v) {
  return _mm_movemask_pd(NormalLanes(v)) == 3;
}

// The block quotient's magnitude rounded to the nearest multiple of four
// units in the last place, halves away from zero: its bit pattern + 2, the
// two lowest bits cleared.
inline __m128d RoundToFourUlps(__m128d q) {
  const __m128i bits = _mm_add_epi64(_mm_castpd_si128(q), _mm_set1_epi64x(2));
  return _mm_castsi128_pd(_mm_and_si128(bits, _mm_set1_epi64x(~std::int64_t{3})));
}

// A finite quotient that the rounding carried into the infinity pattern
// keeps its finite magnitude, rounded down instead (its two lowest bits
// cleared).
inline __m128d KeepFinite(__m128d q, __m128d rounded) {
  const __m128d inf = _mm_set1_pd(__builtin_inf());
  const __m128d carried =
      _mm_andnot_pd(_mm_cmpeq_pd(Magnitude(q), inf), _mm_cmpeq_pd(Magnitude(rounded), inf));
  const __m128d down =
      _mm_castsi128_pd(_mm_and_si128(_mm_castpd_si128(q), _mm_set1_epi64x(~std::int64_t{3})));
  return _mm_or_pd(_mm_and_pd(carried, down), _mm_andnot_pd(carried, rounded));
}

// Two quotients a / b with zero divisors replaced by 1.0 and their
// quotients then turned into NaN by a multiplication; sets `zero` for a
// zero divisor in the lanes of `lanes` (1 the low one, 3 both). A NaN
// divisor gives NaN without it.
inline __m128d PairQuotient(__m128d a, __m128d b, int& zero, int lanes = 3) {
  const __m128d isZero = _mm_cmpeq_pd(b, _mm_setzero_pd());
  const __m128d one = _mm_set1_pd(1.0);
  zero |= (_mm_movemask_pd(isZero) & lanes) != 0 ? 1 : 0;
  const __m128d d = _mm_or_pd(_mm_andnot_pd(isZero, b), _mm_and_pd(isZero, one));
  const __m128d factor = _mm_or_pd(_mm_andnot_pd(isZero, one), _mm_and_pd(isZero, QuietNaN()));
  return _mm_mul_pd(_mm_div_pd(a, d), factor);
}

inline void SingleQuotient(const double* src, const double* src2, double* dst, int& zero) {
  const __m128d b = unaligned::LoadSd(src);
  const __m128d a = unaligned::LoadSd(src2);
  unaligned::StoreSd(dst, PairQuotient(a, b, zero, 1));
}

}  // namespace

int DivDoubleKernelSse2(const double* src, const double* src2, double* dst, std::int64_t len) {
  int zero = 0;
  std::int64_t i = 0;
  if ((Address(dst) & 15) == 8) {
    SingleQuotient(src, src2, dst, zero);
    i = 1;
  }
  const __m128d one = _mm_set1_pd(1.0);
  const __m128d inf = _mm_set1_pd(__builtin_inf());
  for (; i + 8 <= len; i += 8) {
    // Lane j of the four divisor vectors holds b[j], b[j+2], b[j+4], b[j+6].
    const __m128d b0 = _mm_loadu_pd(src + i);
    const __m128d b1 = _mm_loadu_pd(src + i + 2);
    const __m128d b2 = _mm_loadu_pd(src + i + 4);
    const __m128d b3 = _mm_loadu_pd(src + i + 6);
    const __m128d a0 = _mm_loadu_pd(src2 + i);
    const __m128d a1 = _mm_loadu_pd(src2 + i + 2);
    const __m128d a2 = _mm_loadu_pd(src2 + i + 4);
    const __m128d a3 = _mm_loadu_pd(src2 + i + 6);
    const __m128d p02 = _mm_mul_pd(b0, b2);
    const __m128d p13 = _mm_mul_pd(b1, b3);
    const __m128d p = _mm_mul_pd(p02, p13);
    // One division for four divisors per lane, while the partial products,
    // the product and its reciprocal are normal numbers; otherwise (a zero,
    // subnormal, infinite or NaN on the way) pair by pair.
    const __m128d normal =
        _mm_and_pd(_mm_and_pd(NormalLanes(p02), NormalLanes(p13)), NormalLanes(p));
    if (_mm_movemask_pd(normal) == 3) {
      const __m128d r = _mm_div_pd(one, p);
      if (BothNormal(r)) {
        const __m128d r13 = _mm_mul_pd(p13, r);  // 1 / (b0 b2)
        const __m128d r02 = _mm_mul_pd(p02, r);  // 1 / (b1 b3)
        const __m128d q0 = _mm_mul_pd(a0, _mm_mul_pd(b2, r13));
        const __m128d q1 = _mm_mul_pd(a1, _mm_mul_pd(b3, r02));
        const __m128d q2 = _mm_mul_pd(a2, _mm_mul_pd(b0, r13));
        const __m128d q3 = _mm_mul_pd(a3, _mm_mul_pd(b1, r02));
        __m128d u0 = RoundToFourUlps(q0), u1 = RoundToFourUlps(q1);
        __m128d u2 = RoundToFourUlps(q2), u3 = RoundToFourUlps(q3);
        const __m128d infinite = _mm_or_pd(
            _mm_or_pd(_mm_cmpeq_pd(Magnitude(u0), inf), _mm_cmpeq_pd(Magnitude(u1), inf)),
            _mm_or_pd(_mm_cmpeq_pd(Magnitude(u2), inf), _mm_cmpeq_pd(Magnitude(u3), inf)));
        if (_mm_movemask_pd(infinite) != 0) {
          u0 = KeepFinite(q0, u0);
          u1 = KeepFinite(q1, u1);
          u2 = KeepFinite(q2, u2);
          u3 = KeepFinite(q3, u3);
        }
        _mm_storeu_pd(dst + i, u0);
        _mm_storeu_pd(dst + i + 2, u1);
        _mm_storeu_pd(dst + i + 4, u2);
        _mm_storeu_pd(dst + i + 6, u3);
        continue;
      }
    }
    _mm_storeu_pd(dst + i, PairQuotient(a0, b0, zero));
    _mm_storeu_pd(dst + i + 2, PairQuotient(a1, b1, zero));
    _mm_storeu_pd(dst + i + 4, PairQuotient(a2, b2, zero));
    _mm_storeu_pd(dst + i + 6, PairQuotient(a3, b3, zero));
  }
  for (; i < len; ++i) {
    SingleQuotient(src + i, src2 + i, dst + i, zero);
  }
  return zero;
}

namespace {

// The quotients of two complex elements from their parts in lanes (lane 0
// the first element): ((br ar + bi ai) / m, (br ai - bi ar) / m) with
// m = br^2 + bi^2, all in double. The reciprocals of both magnitudes come
// from one division while their product is a normal number; otherwise each
// on its own, a zero magnitude giving a NaN reciprocal (and setting `zero`),
// a NaN magnitude a NaN without the warning.
inline void ComplexPair(__m128d br, __m128d bi, __m128d ar, __m128d ai, __m128d& re, __m128d& im,
                        int& zero) {
  const __m128d one = _mm_set1_pd(1.0);
  const __m128d m = _mm_add_pd(_mm_mul_pd(br, br), _mm_mul_pd(bi, bi));
  const __m128d swapped = _mm_shuffle_pd(m, m, 1);
  const __m128d product = _mm_mul_pd(m, swapped);
  __m128d inverse;
  if (BothNormal(product)) {
    inverse = _mm_mul_pd(swapped, _mm_div_pd(one, product));
  } else {
    const __m128d isZero = _mm_cmpeq_pd(m, _mm_setzero_pd());
    zero |= _mm_movemask_pd(isZero) != 0 ? 1 : 0;
    const __m128d d = _mm_or_pd(_mm_andnot_pd(isZero, m), _mm_and_pd(isZero, one));
    inverse = _mm_or_pd(_mm_andnot_pd(isZero, _mm_div_pd(one, d)), _mm_and_pd(isZero, QuietNaN()));
  }
  re = _mm_mul_pd(_mm_add_pd(_mm_mul_pd(br, ar), _mm_mul_pd(bi, ai)), inverse);
  im = _mm_mul_pd(_mm_sub_pd(_mm_mul_pd(br, ai), _mm_mul_pd(bi, ar)), inverse);
}

}  // namespace

int DivComplexKernelSse2(const double* src, const double* src2, double* dst, std::int64_t len) {
  int zero = 0;
  std::int64_t k = 0;
  for (; k + 2 <= len; k += 2) {
    const __m128d b0 = _mm_loadu_pd(src + 2 * k);
    const __m128d b1 = _mm_loadu_pd(src + 2 * k + 2);
    const __m128d a0 = _mm_loadu_pd(src2 + 2 * k);
    const __m128d a1 = _mm_loadu_pd(src2 + 2 * k + 2);
    __m128d re, im;
    ComplexPair(_mm_unpacklo_pd(b0, b1), _mm_unpackhi_pd(b0, b1), _mm_unpacklo_pd(a0, a1),
                _mm_unpackhi_pd(a0, a1), re, im, zero);
    _mm_storeu_pd(dst + 2 * k, _mm_unpacklo_pd(re, im));
    _mm_storeu_pd(dst + 2 * k + 2, _mm_unpackhi_pd(re, im));
  }
  if (k < len) {
    const double br = unaligned::Load(src + 2 * k);
    const double bi = unaligned::Load(src + 2 * k + 1);
    const double ar = unaligned::Load(src2 + 2 * k);
    const double ai = unaligned::Load(src2 + 2 * k + 1);
    const double m = br * br + bi * bi;
    __m128d out;
    if (m == 0.0 || m != m) {
      // A zero magnitude (the warning) or a NaN one: the quiet NaN pair.
      zero |= m == 0.0 ? 1 : 0;
      out = QuietNaN();
    } else {
      const double r = 1.0 / m;
      out = _mm_set_pd((br * ai - bi * ar) * r, (br * ar + bi * ai) * r);
    }
    _mm_storeu_pd(dst + 2 * k, out);
  }
  return zero;
}

void MulComplexKernelB(const double* src, double* srcDst, std::int64_t len) {
  // The destination's real part twice times the source, plus its imaginary
  // part twice, the low copy negated, times the source with its halves
  // swapped: (c a - d b, c b + d a).
  const __m128d lowSign = _mm_set_pd(0.0, -0.0);
  const bool prefetch = len > 32768;
  for (std::int64_t k = 0; k < len; ++k) {
    if (prefetch) {
      _mm_prefetch(reinterpret_cast<const char*>(src + 2 * k) + 32, _MM_HINT_NTA);
      _mm_prefetch(reinterpret_cast<const char*>(srcDst + 2 * k) + 32, _MM_HINT_NTA);
    }
    const __m128d x = _mm_loadu_pd(srcDst + 2 * k);
    const __m128d s = _mm_loadu_pd(src + 2 * k);
    const __m128d c = _mm_unpacklo_pd(x, x);
    const __m128d d = _mm_xor_pd(_mm_unpackhi_pd(x, x), lowSign);
    _mm_storeu_pd(srcDst + 2 * k,
                  _mm_add_pd(_mm_mul_pd(c, s), _mm_mul_pd(d, _mm_shuffle_pd(s, s, 1))));
  }
}

void MulInt32SatKernelSse2(const std::int32_t* src, std::int32_t* srcDst, std::int64_t len) {
  const __m128d lo = _mm_set1_pd(-2147483648.0);
  const __m128d hi = _mm_set1_pd(2147483647.0);
  // Products up to 2^31 in magnitude are exact in double and larger ones
  // saturate, so the truncating conversion gives the exact result.
  auto pair = [&](__m128i a, __m128i b) {
    const __m128d p = _mm_mul_pd(_mm_cvtepi32_pd(a), _mm_cvtepi32_pd(b));
    return _mm_cvttpd_epi32(_mm_max_pd(_mm_min_pd(p, hi), lo));
  };
  std::int64_t i = 0;
  for (; i + 4 <= len; i += 4) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(srcDst + i));
    const __m128i low = pair(a, b);
    const __m128i high = pair(_mm_srli_si128(a, 8), _mm_srli_si128(b, 8));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(srcDst + i), _mm_unpacklo_epi64(low, high));
  }
  for (; i < len; ++i) {
    const __m128i r = pair(_mm_cvtsi32_si128(unaligned::Load(src + i)),
                           _mm_cvtsi32_si128(unaligned::Load(srcDst + i)));
    unaligned::Store(srcDst + i, _mm_cvtsi128_si32(r));
  }
}

void MulInt32ScaledKernelSse2(const std::int32_t* src, std::int32_t* srcDst, std::int64_t len,
                              std::int32_t sf) {
  // The rounding to nearest is the processor's: set for the kernel's
  // duration when the caller's MXCSR says otherwise.
  const std::uint32_t saved = _mm_getcsr();
  if ((saved & kSseRoundingMask) != kSseRoundNearest) {
    _mm_setcsr(saved & ~kSseRoundingMask);
  }
  // 2^-sf from its exponent field (-31 <= sf <= 62); a * 2^-sf is exact.
  const __m128d scale =
      _mm_castsi128_pd(_mm_set1_epi64x(static_cast<std::int64_t>(0x3FF - sf) << 52));
  const __m128d lo = _mm_set1_pd(-2147483648.0);
  const __m128d hi = _mm_set1_pd(2147483647.0);
  auto pair = [&](__m128i a, __m128i b) {
    const __m128d p = _mm_mul_pd(_mm_mul_pd(_mm_cvtepi32_pd(a), scale), _mm_cvtepi32_pd(b));
    return _mm_cvtpd_epi32(_mm_max_pd(_mm_min_pd(p, hi), lo));
  };
  std::int64_t i = 0;
  for (; i + 4 <= len; i += 4) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(srcDst + i));
    const __m128i low = pair(a, b);
    const __m128i high = pair(_mm_srli_si128(a, 8), _mm_srli_si128(b, 8));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(srcDst + i), _mm_unpacklo_epi64(low, high));
  }
  for (; i < len; ++i) {
    const __m128i r = pair(_mm_cvtsi32_si128(unaligned::Load(src + i)),
                           _mm_cvtsi32_si128(unaligned::Load(srcDst + i)));
    unaligned::Store(srcDst + i, _mm_cvtsi128_si32(r));
  }
  if ((saved & kSseRoundingMask) != kSseRoundNearest) {
    _mm_setcsr(saved);
  }
}
