// Variant C of the scope-drawing primitives that only set C has: the int32
// offsets (one lane kernel per scale case), the narrowing to float and the
// clamp.
#include <emmintrin.h>

#include <limits>

#include "signal/primitives/ArgumentChecks.h"
#include "signal/primitives/TrelScopeVariants.h"
#include "signal/primitives/UnalignedAccess.h"
#include "signal/primitives/kernels/VariantKernels.h"

namespace {

using namespace primitives_detail;

PrimitiveStatus ZeroInt32CheckedC(std::int32_t* dst, std::int32_t len) {
  if (const PrimitiveStatus status = CheckVectorArguments({dst}, len); status != StatusOk) {
    return status;
  }
  ZeroBytesKernelSse2(dst, std::int64_t{len} * 4);
  return StatusOk;
}

PrimitiveStatus OffsetC(std::int32_t value, std::int32_t* srcDst, std::int32_t len, std::int32_t sf,
                        bool sub) {
  if (const PrimitiveStatus status = CheckVectorArguments({srcDst}, len); status != StatusOk) {
    return status;
  }
  if (sf == 0) {
    if (!sub && value == 0) {
      return StatusOk;
    }
    OffsetInt32SatKernelC(value, srcDst, len, sub);
  } else if (sf > 32) {
    return ZeroInt32CheckedC(srcDst, len);
  } else if (sf > 0) {
    OffsetInt32RoundKernelC(value, srcDst, len, sf, sub);
  } else if (sf >= -30) {
    OffsetInt32ShiftUpKernelC(value, srcDst, len, -sf, sub);
  } else {
    // Every non-zero t saturates: only its sign matters.
    for (std::int32_t i = 0; i < len; ++i) {
      const std::int64_t x = unaligned::Load(srcDst + i);
      const std::int64_t t = sub ? value - x : x + value;
      unaligned::Store(srcDst + i, t > 0 ? INT32_MAX : (t < 0 ? INT32_MIN : 0));
    }
  }
  return StatusOk;
}

}  // namespace

PrimitiveStatus VectorAddConstantInt32InPlaceScaledC(std::int32_t value, std::int32_t* srcDst,
                                                     std::int32_t len, std::int32_t sf) {
  return OffsetC(value, srcDst, len, sf, false);
}

PrimitiveStatus VectorSubFromConstantInt32InPlaceScaledC(std::int32_t value, std::int32_t* srcDst,
                                                         std::int32_t len, std::int32_t sf) {
  return OffsetC(value, srcDst, len, sf, true);
}

PrimitiveStatus VectorConvertDoubleToFloatC(const double* src, float* dst, std::int32_t len) {
  if (const PrimitiveStatus status = CheckVectorArguments({src, dst}, len); status != StatusOk) {
    return status;
  }
  // minpd returns its second operand for a NaN, so NaN becomes the largest
  // float. Blocks are read before they are written (in place allowed).
  const __m128d hi = _mm_set1_pd(std::numeric_limits<float>::max());
  const __m128d lo = _mm_set1_pd(-std::numeric_limits<float>::max());
  std::int32_t i = 0;
  for (; i + 4 <= len; i += 4) {
    const __m128d a = _mm_max_pd(_mm_min_pd(_mm_loadu_pd(src + i), hi), lo);
    const __m128d b = _mm_max_pd(_mm_min_pd(_mm_loadu_pd(src + i + 2), hi), lo);
    _mm_storeu_ps(dst + i, _mm_movelh_ps(_mm_cvtpd_ps(a), _mm_cvtpd_ps(b)));
  }
  for (; i < len; ++i) {
    unaligned::StoreSs(
        dst + i,
        _mm_cvtsd_ss(_mm_setzero_ps(), _mm_max_sd(_mm_min_sd(unaligned::LoadSd(src + i), hi), lo)));
  }
  return StatusOk;
}

PrimitiveStatus VectorClampAboveInt32InPlaceC(std::int32_t* srcDst, std::int32_t len,
                                              std::int32_t level) {
  if (const PrimitiveStatus status = CheckVectorArguments({srcDst}, len); status != StatusOk) {
    return status;
  }
  const __m128i l = _mm_set1_epi32(level);
  auto clamp = [&l](__m128i x) {
    const __m128i above = _mm_cmpgt_epi32(x, l);
    return _mm_or_si128(_mm_and_si128(above, l), _mm_andnot_si128(above, x));
  };
  std::int32_t i = 0;
  for (; i + 16 <= len; i += 16) {
    auto* p = reinterpret_cast<__m128i*>(srcDst + i);
    const __m128i x0 = _mm_loadu_si128(p);
    const __m128i x1 = _mm_loadu_si128(p + 1);
    const __m128i x2 = _mm_loadu_si128(p + 2);
    const __m128i x3 = _mm_loadu_si128(p + 3);
    _mm_storeu_si128(p, clamp(x0));
    _mm_storeu_si128(p + 1, clamp(x1));
    _mm_storeu_si128(p + 2, clamp(x2));
    _mm_storeu_si128(p + 3, clamp(x3));
  }
  for (; i + 4 <= len; i += 4) {
    auto* p = reinterpret_cast<__m128i*>(srcDst + i);
    _mm_storeu_si128(p, clamp(_mm_loadu_si128(p)));
  }
  for (; i < len; ++i) {
    if (unaligned::Load(srcDst + i) > level) {
      unaligned::Store(srcDst + i, level);
    }
  }
  return StatusOk;
}
