// Sets B and C of the conjugate extension and the magnitude.
#include <emmintrin.h>

#include <complex>
#include <cstdint>
#include <limits>

#include "signal/primitives/ArgumentChecks.h"
#include "signal/transforms/VectorIirVariants.h"

namespace {

inline bool Aligned16(const void* p) {
  return (reinterpret_cast<std::uintptr_t>(p) & 15) == 0;
}

inline bool EightPast16(const void* p) {
  return (reinterpret_cast<std::uintptr_t>(p) & 15) == 8;
}

// conj of one complex element: its imaginary half's sign bit flipped.
inline __m128d Conjugate(__m128d value) {
  return _mm_xor_pd(value, _mm_set_pd(-0.0, 0.0));
}

// Element h + 1 + j receives conj(element count - j): the source read from
// element count downward, the destination written upward, `Step` elements
// per pass with aligned stores when the destination is aligned (the whole
// range one element at a time otherwise), then the rest one at a time. The
// two ranges never overlap, so each pass may load all its elements first.
template <int Step>
[[gnu::always_inline]] inline void ConjugateExtendSse2(double* base, std::int64_t h,
                                                       std::int64_t count) {
  const double* from = base + 2 * count;  // element count, then downward
  double* to = base + 2 * (h + 1);        // element h + 1, then upward
  std::int64_t j = 0;
  if (Aligned16(to)) {
    // Every element is 16 bytes, so the source elements are aligned too.
    for (; j + Step <= count; j += Step) {
      __m128d v[Step];
      for (int i = 0; i < Step; ++i) {
        v[i] = Conjugate(_mm_load_pd(from - 2 * i));
      }
      for (int i = 0; i < Step; ++i) {
        _mm_store_pd(to + 2 * i, v[i]);
      }
      from -= 2 * Step;
      to += 2 * Step;
    }
  }
  for (; j < count; ++j) {
    _mm_storeu_pd(to, Conjugate(_mm_loadu_pd(from)));
    from -= 2;
    to += 2;
  }
}

template <int Step>
[[gnu::always_inline]] inline PrimitiveStatus ConjugateExtendBC(std::complex<double>* srcDst,
                                                                std::int32_t len) {
  if (const PrimitiveStatus status = primitives_detail::CheckVectorArguments({srcDst}, len);
      status != StatusOk) {
    return status;
  }
  const std::int64_t count = (std::int64_t{len} - 1) / 2;
  if (count == 0) {
    return StatusOk;
  }
  ConjugateExtendSse2<Step>(reinterpret_cast<double*>(srcDst), len / 2, count);
  return StatusOk;
}

// Set B: (re0^2 + im0^2, re1^2 + im1^2) of two elements, each square and
// the sum rounded to double.
inline __m128d SumsOfSquaresSse2(const double* parts) {
  const __m128d a = _mm_loadu_pd(parts);
  const __m128d b = _mm_loadu_pd(parts + 2);
  const __m128d sa = _mm_mul_pd(a, a);
  const __m128d sb = _mm_mul_pd(b, b);
  return _mm_add_pd(_mm_unpacklo_pd(sa, sb), _mm_unpackhi_pd(sa, sb));
}

inline double MagnitudeOneSse2(const double* parts) {
  const __m128d a = _mm_loadu_pd(parts);
  const __m128d s = _mm_mul_pd(a, a);
  const __m128d sum = _mm_add_sd(s, _mm_unpackhi_pd(s, s));
  return _mm_cvtsd_f64(_mm_sqrt_sd(sum, sum));
}

// re^2 + im^2 in the extended format, rounded once to double (the portable
// sum).
inline double SumOfSquaresX87(const double* parts) {
  const long double re = parts[0];
  const long double im = parts[1];
  return static_cast<double>(re * re + im * im);
}

// sqrt of two positive normal doubles from a single-precision estimate of
// the reciprocal root, refined twice in double: the exponent is halved with
// integer arithmetic and the root taken of a mantissa scaled into [1, 4).
__attribute__((target("sse3"))) inline __m128d RootPairC(__m128d s) {
  const __m128i bits = _mm_castpd_si128(s);
  const __m128i biased = _mm_srli_epi64(bits, 52);
  // 1 when the unbiased exponent is odd: that factor 2 stays with the
  // mantissa so that the rest halves exactly.
  const __m128i odd = _mm_and_si128(_mm_add_epi64(biased, _mm_set1_epi64x(1)), _mm_set1_epi64x(1));
  const __m128i mantissaBits =
      _mm_or_si128(_mm_and_si128(bits, _mm_set1_epi64x(0x000FFFFFFFFFFFFF)),
                   _mm_slli_epi64(_mm_add_epi64(odd, _mm_set1_epi64x(1023)), 52));
  const __m128d m = _mm_castsi128_pd(mantissaBits);
  __m128d y = _mm_cvtps_pd(_mm_rsqrt_ps(_mm_cvtpd_ps(m)));
  const __m128d half = _mm_set1_pd(0.5);
  const __m128d three = _mm_set1_pd(3.0);
  for (int step = 0; step < 2; ++step) {
    y = _mm_mul_pd(_mm_mul_pd(half, y), _mm_sub_pd(three, _mm_mul_pd(m, _mm_mul_pd(y, y))));
  }
  const __m128d root = _mm_mul_pd(m, y);  // sqrt(m), in [1, 2]
  // (unbiased exponent - odd) / 2 into the exponent field: the difference
  // is even, so shifting it by 51 places half of it at bit 52.
  const __m128i exponent =
      _mm_slli_epi64(_mm_sub_epi64(_mm_sub_epi64(biased, _mm_set1_epi64x(1023)), odd), 51);
  return _mm_castsi128_pd(_mm_add_epi64(_mm_castpd_si128(root), exponent));
}

// Set C's root over dst in place. MXCSR: invalid and denormal exceptions
// masked, the invalid flag and denormals-are-zero cleared for the call, put
// back afterwards when that changed anything. A pair that is not two
// positive normal values (zero, subnormal, infinity, negative, NaN) takes
// the correctly rounded root.
__attribute__((target("sse3"))) void RootInPlaceC(double* dst, std::int64_t len) {
  constexpr std::uint32_t kInvalidFlag = 0x0001;
  constexpr std::uint32_t kDenormalsAreZero = 0x0040;
  constexpr std::uint32_t kInvalidMask = 0x0080;
  constexpr std::uint32_t kDenormalMask = 0x0100;
  const std::uint32_t saved = _mm_getcsr();
  const std::uint32_t wanted =
      (saved | kInvalidMask | kDenormalMask) & ~(kInvalidFlag | kDenormalsAreZero);
  if (wanted != saved) {
    _mm_setcsr(wanted);
  }
  std::int64_t k = 0;
  if (EightPast16(dst) && len > 0) {
    const __m128d s = _mm_load_sd(dst);
    _mm_store_sd(dst, _mm_sqrt_sd(s, s));
    k = 1;
  }
  const __m128d smallest = _mm_set1_pd(std::numeric_limits<double>::min());
  const __m128d largest = _mm_set1_pd(std::numeric_limits<double>::max());
  for (; k + 2 <= len; k += 2) {
    // The caller's dst need not even be 8-byte aligned.
    const __m128d s = _mm_loadu_pd(dst + k);
    const int normal =
        _mm_movemask_pd(_mm_and_pd(_mm_cmpge_pd(s, smallest), _mm_cmple_pd(s, largest)));
    _mm_storeu_pd(dst + k, normal == 3 ? RootPairC(s) : _mm_sqrt_pd(s));
  }
  if (k < len) {
    const __m128d s = _mm_load_sd(dst + k);
    _mm_store_sd(dst + k, _mm_sqrt_sd(s, s));
  }
  if (wanted != saved) {
    _mm_setcsr(saved);
  }
}

}  // namespace

PrimitiveStatus VectorConjugateExtendComplexInPlaceB(std::complex<double>* srcDst,
                                                     std::int32_t len) {
  return ConjugateExtendBC<3>(srcDst, len);
}

__attribute__((target("sse3"))) PrimitiveStatus VectorConjugateExtendComplexInPlaceC(
    std::complex<double>* srcDst, std::int32_t len) {
  return ConjugateExtendBC<4>(srcDst, len);
}

PrimitiveStatus VectorMagnitudeComplexB(const std::complex<double>* src, double* dst,
                                        std::int32_t len) {
  if (const PrimitiveStatus status = primitives_detail::CheckVectorArguments({src, dst}, len);
      status != StatusOk) {
    return status;
  }
  // Elements k and k + 1 are read before dst[k] and dst[k + 1] are written,
  // and those lie within the bytes of elements up to k: dst may be src.
  const auto* parts = reinterpret_cast<const double*>(src);
  std::int64_t k = 0;
  if (EightPast16(dst)) {
    dst[0] = MagnitudeOneSse2(parts);
    k = 1;
  }
  if (Aligned16(dst + k)) {
    for (; k + 2 <= len; k += 2) {
      _mm_store_pd(dst + k, _mm_sqrt_pd(SumsOfSquaresSse2(parts + 2 * k)));
    }
  } else {
    // dst is not 8-byte aligned: two single stores.
    for (; k + 2 <= len; k += 2) {
      const __m128d root = _mm_sqrt_pd(SumsOfSquaresSse2(parts + 2 * k));
      _mm_storel_pd(dst + k, root);
      _mm_storeh_pd(dst + k + 1, root);
    }
  }
  if (k < len) {
    dst[k] = MagnitudeOneSse2(parts + 2 * k);
  }
  return StatusOk;
}

__attribute__((target("sse3"))) PrimitiveStatus VectorMagnitudeComplexC(
    const std::complex<double>* src, double* dst, std::int32_t len) {
  if (const PrimitiveStatus status = primitives_detail::CheckVectorArguments({src, dst}, len);
      status != StatusOk) {
    return status;
  }
  const auto* parts = reinterpret_cast<const double*>(src);
  std::int64_t k = 0;
  for (; k + 2 <= len; k += 2) {
    const double s0 = SumOfSquaresX87(parts + 2 * k);
    const double s1 = SumOfSquaresX87(parts + 2 * k + 2);
    dst[k] = s0;
    dst[k + 1] = s1;
  }
  if (k < len) {
    dst[k] = SumOfSquaresX87(parts + 2 * k);
  }
  RootInPlaceC(dst, len);
  return StatusOk;
}
