// Variant A of the scope-drawing primitives: x87, MMX and SSE code. The
// offsets, the narrowing and the multiply run the portable arithmetic with
// this set's zero fill and copy; the conversions to int32 are A's own.
#include <mmintrin.h>
#include <xmmintrin.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "signal/primitives/ArgumentChecks.h"
#include "signal/primitives/RoundingControl.h"
#include "signal/primitives/SseRounding.h"
#include "signal/primitives/TrelScopeDispatcher.h"
#include "signal/primitives/TrelScopeVariants.h"
#include "signal/primitives/UnalignedAccess.h"
#include "signal/primitives/kernels/VariantKernels.h"

namespace {

using namespace primitives_detail;

PrimitiveStatus CopyDoubleCheckedA(const double* src, double* dst, std::int32_t len) {
  const std::int64_t nBytes = std::int64_t{len} * 8;
  if (len < 1024) {
    CopyBytesKernelA(src, dst, nBytes);
  } else if (nBytes < 20480) {
    CopyBytesKernelAMedium(src, dst, nBytes);
  } else {
    CopyBytesKernelALarge(src, dst, nBytes);
  }
  return StatusOk;
}

PrimitiveStatus ZeroDoubleCheckedA(double* dst, std::int32_t len) {
  const std::int64_t nBytes = std::int64_t{len} * 8;
  nBytes < 20480 ? ZeroBytesKernelA(dst, nBytes) : ZeroBytesKernelALarge(dst, nBytes);
  return StatusOk;
}

// The x87 integer store under the rounding the control word sets.
inline std::int32_t StoreIntegerX87(long double y) {
  std::int32_t out;
  asm("fistpl %0" : "=m"(out) : "t"(y) : "st");
  return out;
}

}  // namespace

PrimitiveStatus VectorAddConstantInt32InPlaceScaledA(std::int32_t value, std::int32_t* srcDst,
                                                     std::int32_t len, std::int32_t sf) {
  if (const PrimitiveStatus status = CheckVectorArguments({srcDst}, len); status != StatusOk) {
    return status;
  }
  if (sf > 32) {
    return ZeroInt32CheckedA(srcDst, len);
  }
  return VectorAddConstantInt32InPlaceScaledPortable(value, srcDst, len, sf);
}

PrimitiveStatus VectorSubFromConstantInt32InPlaceScaledA(std::int32_t value, std::int32_t* srcDst,
                                                         std::int32_t len, std::int32_t sf) {
  if (const PrimitiveStatus status = CheckVectorArguments({srcDst}, len); status != StatusOk) {
    return status;
  }
  if (sf > 32) {
    return ZeroInt32CheckedA(srcDst, len);
  }
  return VectorSubFromConstantInt32InPlaceScaledPortable(value, srcDst, len, sf);
}

PrimitiveStatus VectorConvertDoubleToFloatA(const double* src, float* dst, std::int32_t len) {
  return VectorConvertDoubleToFloatPortable(src, dst, len);
}

PrimitiveStatus VectorConvertFloatToInt32ScaledA(const float* src, std::int32_t* dst,
                                                 std::int32_t len, std::int32_t rndMode,
                                                 std::int32_t sf) {
  if (const PrimitiveStatus status = CheckVectorArguments({src, dst}, len); status != StatusOk) {
    return status;
  }
  const std::uint32_t saved = SseSetRoundingForMode(rndMode);
  const __m128 factor = ScaleFactorSingle(sf);
  // Two values per MMX conversion (under the rounding just set); a scaled
  // value whose pattern lies above that of 2147483520.0 (the largest float
  // below 2^31, positive NaNs included) gives INT32_MAX, other values out of
  // range the conversion's INT32_MIN. Blocks of four are read whole before
  // they are written, so the conversion may run in place.
  const __m64 limit = _mm_set1_pi32(0x4EFFFFFF);
  const __m64 maxValue = _mm_set1_pi32(0x7FFFFFFF);
  std::int32_t i = 0;
  for (; i + 4 <= len; i += 4) {
    const __m128 y = _mm_mul_ps(_mm_loadu_ps(src + i), factor);
    __m64 bits[2];
    _mm_storeu_ps(reinterpret_cast<float*>(bits), y);
    const __m64 n[2] = {_mm_cvtps_pi32(y), _mm_cvtps_pi32(_mm_movehl_ps(y, y))};
    for (int h = 0; h < 2; ++h) {
      const __m64 above = _mm_cmpgt_pi32(bits[h], limit);
      const __m64 r = _mm_or_si64(_mm_and_si64(above, maxValue), _mm_andnot_si64(above, n[h]));
      std::memcpy(dst + i + 2 * h, &r, 8);
    }
  }
  for (; i < len; ++i) {
    const __m128 y = _mm_mul_ss(unaligned::LoadSs(src + i), factor);
    std::int32_t bits;
    std::memcpy(&bits, &y, 4);
    unaligned::Store(dst + i, bits > 0x4EFFFFFF ? 0x7FFFFFFF : _mm_cvtss_si32(y));
  }
  SseRestoreRoundingForMode(saved);
  _mm_empty();
  return StatusOk;
}

PrimitiveStatus VectorConvertDoubleToInt32ScaledA(const double* src, std::int32_t* dst,
                                                  std::int32_t len, std::int32_t rndMode,
                                                  std::int32_t sf) {
  if (const PrimitiveStatus status = CheckVectorArguments({src, dst}, len); status != StatusOk) {
    return status;
  }
  const std::uint32_t rounding = rndMode == 1 ? kFpuRoundNearest : kFpuRoundTowardZero;
  const std::uint32_t saved = FpuSetControlBits(rounding, kFpuRoundingMask);
  // The factor 2^-sf, exact in the extended format; beyond +-16000 every
  // finite non-zero value saturates or rounds to 0 whatever sf is, so sf is
  // limited there and 0 stays 0.
  const int k = static_cast<int>(std::clamp<std::int64_t>(-std::int64_t{sf}, -16000, 16000));
  const long double factor = std::ldexp(1.0L, k);
  for (std::int32_t i = 0; i < len; ++i) {
    const double x = unaligned::Load(src + i);
    const long double y = sf == 0 ? static_cast<long double>(x) : x * factor;
    std::int32_t out;
    if (y >= 2147483647.0L) {
      out = 0x7FFFFFFF;
    } else if (!(y > -2147483648.0L)) {  // NaN included
      out = INT32_MIN;
    } else {
      out = StoreIntegerX87(y);
    }
    unaligned::Store(dst + i, out);
  }
  if ((saved & kFpuRoundingMask) != rounding) {
    FpuRestoreControlWord(saved);
  }
  return StatusOk;
}

PrimitiveStatus VectorMulConstantDoubleA(const double* src, double value, double* dst,
                                         std::int32_t len) {
  if (const PrimitiveStatus status = CheckVectorArguments({src, dst}, len); status != StatusOk) {
    return status;
  }
  if (value == 1.0) {
    return CopyDoubleCheckedA(src, dst, len);
  }
  if (value == 0.0) {
    return ZeroDoubleCheckedA(dst, len);
  }
  return VectorMulConstantDoublePortable(src, value, dst, len);
}

PrimitiveStatus VectorClampAboveInt32InPlaceA(std::int32_t* srcDst, std::int32_t len,
                                              std::int32_t level) {
  if (const PrimitiveStatus status = CheckVectorArguments({srcDst}, len); status != StatusOk) {
    return status;
  }
  for (std::int32_t i = 0; i < len; ++i) {
    if (unaligned::Load(srcDst + i) > level) {
      unaligned::Store(srcDst + i, level);
    }
  }
  return StatusOk;
}
