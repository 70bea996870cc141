// Variants B and C of the scope-drawing primitives whose front-ends the two
// sets share: the conversions to int32 and the multiply by a constant. They
// differ only in the kernels they call.
#include <emmintrin.h>

#include "signal/primitives/ArgumentChecks.h"
#include "signal/primitives/RoundingControl.h"
#include "signal/primitives/SseRounding.h"
#include "signal/primitives/TrelScopeDispatcher.h"
#include "signal/primitives/TrelScopeVariants.h"
#include "signal/primitives/UnalignedAccess.h"
#include "signal/primitives/kernels/VariantKernels.h"

namespace {

using namespace primitives_detail;

// rndMode 0 truncates; any other value rounds to nearest under MXCSR, set to
// nearest for the call when it is not. MXCSR is written back when its
// rounding field or invalid-operation flag changed; every other bit (the
// caller's denormals-are-zero included) is left as it was.
template <typename T, typename Factor, typename Kernel>
PrimitiveStatus ConvertBC(const T* src, std::int32_t* dst, std::int32_t len, std::int32_t rndMode,
                          std::int32_t sf, Kernel kernel) {
  if (const PrimitiveStatus status = CheckVectorArguments({src, dst}, len); status != StatusOk) {
    return status;
  }
  const bool nearest = rndMode != 0;
  const std::uint32_t saved = _mm_getcsr();
  if (nearest && (saved & kSseRoundingMask) != kSseRoundNearest) {
    _mm_setcsr(saved & ~kSseRoundingMask);
  }
  const auto factor = static_cast<Factor>(_mm_cvtss_f32(ScaleFactorSingle(sf)));
  kernel(src, dst, len, factor, nearest);
  if (((_mm_getcsr() ^ saved) & (kSseRoundingMask | kMxcsrInvalidFlag)) != 0) {
    _mm_setcsr(saved);
  }
  return StatusOk;
}

template <typename Copy>
PrimitiveStatus MulConstantBC(const double* src, double value, double* dst, std::int32_t len,
                              Copy copy) {
  if (const PrimitiveStatus status = CheckVectorArguments({src, dst}, len); status != StatusOk) {
    return status;
  }
  if (value == 1.0) {
    copy(src, dst, std::int64_t{len} * 8);
    return StatusOk;
  }
  if (value == 0.0) {
    ZeroBytesKernelSse2(dst, std::int64_t{len} * 8);
    return StatusOk;
  }
  const __m128d v = _mm_set1_pd(value);
  std::int32_t i = 0;
  for (; i + 8 <= len; i += 8) {
    const __m128d a = _mm_mul_pd(_mm_loadu_pd(src + i), v);
    const __m128d b = _mm_mul_pd(_mm_loadu_pd(src + i + 2), v);
    const __m128d c = _mm_mul_pd(_mm_loadu_pd(src + i + 4), v);
    const __m128d e = _mm_mul_pd(_mm_loadu_pd(src + i + 6), v);
    _mm_storeu_pd(dst + i, a);
    _mm_storeu_pd(dst + i + 2, b);
    _mm_storeu_pd(dst + i + 4, c);
    _mm_storeu_pd(dst + i + 6, e);
  }
  for (; i + 2 <= len; i += 2) {
    _mm_storeu_pd(dst + i, _mm_mul_pd(_mm_loadu_pd(src + i), v));
  }
  for (; i < len; ++i) {
    unaligned::StoreSd(dst + i, _mm_mul_sd(unaligned::LoadSd(src + i), v));
  }
  return StatusOk;
}

}  // namespace

PrimitiveStatus VectorConvertFloatToInt32ScaledB(const float* src, std::int32_t* dst,
                                                 std::int32_t len, std::int32_t rndMode,
                                                 std::int32_t sf) {
  return ConvertBC<float, float>(src, dst, len, rndMode, sf, &ConvertFloatToInt32KernelB);
}

PrimitiveStatus VectorConvertFloatToInt32ScaledC(const float* src, std::int32_t* dst,
                                                 std::int32_t len, std::int32_t rndMode,
                                                 std::int32_t sf) {
  return ConvertBC<float, float>(src, dst, len, rndMode, sf, &ConvertFloatToInt32KernelC);
}

PrimitiveStatus VectorConvertDoubleToInt32ScaledB(const double* src, std::int32_t* dst,
                                                  std::int32_t len, std::int32_t rndMode,
                                                  std::int32_t sf) {
  return ConvertBC<double, double>(src, dst, len, rndMode, sf, &ConvertDoubleToInt32KernelSse2);
}

PrimitiveStatus VectorConvertDoubleToInt32ScaledC(const double* src, std::int32_t* dst,
                                                  std::int32_t len, std::int32_t rndMode,
                                                  std::int32_t sf) {
  return ConvertBC<double, double>(src, dst, len, rndMode, sf, &ConvertDoubleToInt32KernelSse2);
}

PrimitiveStatus VectorMulConstantDoubleB(const double* src, double value, double* dst,
                                         std::int32_t len) {
  return MulConstantBC(src, value, dst, len, &CopyBytesKernelB);
}

PrimitiveStatus VectorMulConstantDoubleC(const double* src, double value, double* dst,
                                         std::int32_t len) {
  return MulConstantBC(src, value, dst, len, &CopyBytesKernelC);
}
