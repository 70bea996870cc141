// Portable variants and pointer variables of the scope-drawing primitives.
#include "signal/primitives/TrelScopeDispatcher.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include <emmintrin.h>

#include "signal/primitives/ArgumentChecks.h"
#include "signal/primitives/LibCDispatcher.h"
#include "signal/primitives/PortableKernels.h"
#include "signal/primitives/RoundingControl.h"
#include "signal/primitives/ScaledArithmetic.h"
#include "signal/primitives/TrelScopeVariants.h"

namespace {

using namespace primitives_detail;

constexpr float kFloatMax = std::numeric_limits<float>::max();  // 3.4028234663852886e+38

// x limited to [lo, hi], NaN giving lo. maxsd returns its second operand when
// the first is NaN; the SSE2 forms keep the compiler from turning the two
// comparisons into branches around the conversion that follows.
inline double ClampNaNLow(double x, double lo, double hi) {
  return _mm_cvtsd_f64(_mm_min_sd(_mm_max_sd(_mm_set_sd(x), _mm_set_sd(lo)), _mm_set_sd(hi)));
}

// Multiplication by 2^k, exact whenever the result is a normal double. A
// factor outside the double range is applied in two exact steps. Beyond
// |k| = 2046 every finite non-zero double saturates (k > 0) or rounds to 0
// (k < 0) whatever k is, so k is clamped there; an absurd sf costs nothing.
class PowerOfTwoScale {
 public:
  explicit PowerOfTwoScale(std::int32_t sf) {
    const std::int32_t k = std::clamp<std::int64_t>(-std::int64_t{sf}, -2044, 2046);
    if (k >= -1022 && k <= 1023) {
      first_ = std::ldexp(1.0, k);
    } else {
      first_ = std::ldexp(1.0, k / 2);
      second_ = std::ldexp(1.0, k - k / 2);
    }
  }
  // A step that underflows leaves a value below 2^-1022, which every
  // rounding mode turns into 0 just as the exact value; an overflow gives an
  // infinity, which saturates just as the exact value.
  double Apply(double x) const { return x * first_ * second_; }

 private:
  double first_ = 1.0;
  double second_ = 1.0;
};

// y converted to int32: y >= 2147483647 gives INT32_MAX, y <= -2147483648 and
// NaN give INT32_MIN, else to nearest with ties to even (kNearest) or toward
// zero. The rounding is exact and independent of the caller's rounding mode:
// inside the range the truncation is exact and so is y - n. Written without
// branches, since sample data makes the rounding direction unpredictable.
template <bool kNearest>
std::int32_t ConvertToInt32(double y) {
  const double clamped = ClampNaNLow(y, -2147483648.0, 2147483647.0);
  if constexpr (kNearest) {
    // The processor's conversion rounds by MXCSR, which the caller has set
    // to round to nearest with ties to even (NearestRoundingScope).
    return _mm_cvtsd_si32(_mm_set_sd(clamped));
  } else {
    return static_cast<std::int32_t>(clamped);
  }
}

// Element loop of the conversions to int32; in place when the scope converts
// inside one buffer (see ConvertBlocks).
template <bool kNearest, bool kScaled, typename T>
void ConvertLoop(const T* src, std::int32_t* dst, std::int32_t len, PowerOfTwoScale scale) {
  ConvertBlocks(src, dst, len, [scale](T x) {
    double y = x;
    if constexpr (kScaled) {
      y = scale.Apply(y);
    }
    return ConvertToInt32<kNearest>(y);
  });
}

template <typename T>
PrimitiveStatus ConvertToInt32Scaled(const T* src, std::int32_t* dst, std::int32_t len,
                                     std::int32_t rndMode, std::int32_t sf) {
  if (const PrimitiveStatus status = CheckVectorArguments({src, dst}, len); status != StatusOk) {
    return status;
  }
  const PowerOfTwoScale scale(sf);
  const bool nearest = rndMode == 1;
  const NearestRoundingScope rounding(nearest);
  if (sf == 0) {
    nearest ? ConvertLoop<true, false>(src, dst, len, scale)
            : ConvertLoop<false, false>(src, dst, len, scale);
  } else {
    nearest ? ConvertLoop<true, true>(src, dst, len, scale)
            : ConvertLoop<false, true>(src, dst, len, scale);
  }
  return StatusOk;
}

}  // namespace

PrimitiveStatus CopyDoubleChecked(const double* src, double* dst, std::int32_t len) {
  if (const PrimitiveStatus status = CheckVectorArguments({src, dst}, len); status != StatusOk) {
    return status;
  }
  CopyBytesKernel(src, dst, std::int64_t{len} * 8);
  return StatusOk;
}

PrimitiveStatus ZeroDoubleChecked(double* dst, std::int32_t len) {
  if (const PrimitiveStatus status = CheckVectorArguments({dst}, len); status != StatusOk) {
    return status;
  }
  ZeroBytesKernel(dst, std::int64_t{len} * 8);
  return StatusOk;
}

PrimitiveStatus VectorAddConstantInt32InPlaceScaledPortable(std::int32_t value,
                                                            std::int32_t* srcDst, std::int32_t len,
                                                            std::int32_t sf) {
  if (const PrimitiveStatus status = CheckVectorArguments({srcDst}, len); status != StatusOk) {
    return status;
  }
  if (value == 0 && sf == 0) {
    return StatusOk;
  }
  const ScaleCase scaleCase = ClassifyScale(sf, 32, -30);
  if (scaleCase == ScaleCase::Zero) {
    return ZeroInt32Checked(srcDst, len);
  }
  if (scaleCase == ScaleCase::Saturate) {
    ConvertBlocks(srcDst, srcDst, len,
                  [value](std::int32_t x) { return SaturatingAddInt32(x, value); });
    return StatusOk;
  }
  const std::int64_t offset = value;
  // |t| <= 2^32: sf > 32 rounds every t to 0 and a left shift by up to 30
  // fits 64 bits.
  ScaledUnaryInPlace<std::int32_t, std::int64_t>(scaleCase, sf, srcDst, len,
                                                 [offset](std::int64_t x) { return x + offset; });
  return StatusOk;
}

PrimitiveStatus VectorSubFromConstantInt32InPlaceScaledPortable(std::int32_t value,
                                                                std::int32_t* srcDst,
                                                                std::int32_t len, std::int32_t sf) {
  if (const PrimitiveStatus status = CheckVectorArguments({srcDst}, len); status != StatusOk) {
    return status;
  }
  const ScaleCase scaleCase = ClassifyScale(sf, 32, -30);
  if (scaleCase == ScaleCase::Zero) {
    return ZeroInt32Checked(srcDst, len);
  }
  if (scaleCase == ScaleCase::Saturate) {
    ConvertBlocks(srcDst, srcDst, len,
                  [value](std::int32_t x) { return SaturatingSubInt32(value, x); });
    return StatusOk;
  }
  const std::int64_t minuend = value;
  ScaledUnaryInPlace<std::int32_t, std::int64_t>(scaleCase, sf, srcDst, len,
                                                 [minuend](std::int64_t x) { return minuend - x; });
  return StatusOk;
}

PrimitiveStatus VectorConvertDoubleToFloatPortable(const double* src, float* dst,
                                                   std::int32_t len) {
  if (const PrimitiveStatus status = CheckVectorArguments({src, dst}, len); status != StatusOk) {
    return status;
  }
  // In place when the scope converts inside one buffer (see ConvertBlocks).
  constexpr double kLimit = kFloatMax;
  ConvertBlocks(src, dst, len,
                [](double x) { return static_cast<float>(ClampNaNLow(x, -kLimit, kLimit)); });
  return StatusOk;
}

PrimitiveStatus VectorConvertFloatToInt32ScaledPortable(const float* src, std::int32_t* dst,
                                                        std::int32_t len, std::int32_t rndMode,
                                                        std::int32_t sf) {
  return ConvertToInt32Scaled(src, dst, len, rndMode, sf);
}

PrimitiveStatus VectorConvertDoubleToInt32ScaledPortable(const double* src, std::int32_t* dst,
                                                         std::int32_t len, std::int32_t rndMode,
                                                         std::int32_t sf) {
  return ConvertToInt32Scaled(src, dst, len, rndMode, sf);
}

PrimitiveStatus VectorMulConstantDoublePortable(const double* src, double value, double* dst,
                                                std::int32_t len) {
  if (const PrimitiveStatus status = CheckVectorArguments({src, dst}, len); status != StatusOk) {
    return status;
  }
  if (value == 1.0) {
    return CopyDoubleChecked(src, dst, len);
  }
  if (value == 0.0) {
    return ZeroDoubleChecked(dst, len);
  }
  ConvertBlocks(src, dst, len, [value](double x) { return x * value; });
  return StatusOk;
}

PrimitiveStatus VectorClampAboveInt32InPlacePortable(std::int32_t* srcDst, std::int32_t len,
                                                     std::int32_t level) {
  if (const PrimitiveStatus status = CheckVectorArguments({srcDst}, len); status != StatusOk) {
    return status;
  }
  ConvertBlocks(srcDst, srcDst, len, [level](std::int32_t x) { return std::min(x, level); });
  return StatusOk;
}

KESTRUNE_DEFINE_PRIMITIVE_WITH_VARIANTS(VectorConvertFloatToInt32Scaled,
                                        VariantFamily::FourVariants,
                                        &VectorConvertFloatToInt32ScaledA,
                                        &VectorConvertFloatToInt32ScaledB,
                                        &VectorConvertFloatToInt32ScaledC);
KESTRUNE_DEFINE_PRIMITIVE_WITH_VARIANTS(VectorConvertDoubleToInt32Scaled,
                                        VariantFamily::FourVariants,
                                        &VectorConvertDoubleToInt32ScaledA,
                                        &VectorConvertDoubleToInt32ScaledB,
                                        &VectorConvertDoubleToInt32ScaledC);
KESTRUNE_DEFINE_PRIMITIVE_WITH_VARIANTS(VectorMulConstantDouble, VariantFamily::FourVariants,
                                        &VectorMulConstantDoubleA, &VectorMulConstantDoubleB,
                                        &VectorMulConstantDoubleC);
KESTRUNE_DEFINE_PRIMITIVE_WITH_VARIANTS(VectorAddConstantInt32InPlaceScaled,
                                        VariantFamily::VariantsCA,
                                        &VectorAddConstantInt32InPlaceScaledA, nullptr,
                                        &VectorAddConstantInt32InPlaceScaledC);
KESTRUNE_DEFINE_PRIMITIVE_WITH_VARIANTS(VectorSubFromConstantInt32InPlaceScaled,
                                        VariantFamily::VariantsCA,
                                        &VectorSubFromConstantInt32InPlaceScaledA, nullptr,
                                        &VectorSubFromConstantInt32InPlaceScaledC);
KESTRUNE_DEFINE_PRIMITIVE_WITH_VARIANTS(VectorConvertDoubleToFloat, VariantFamily::VariantsCA,
                                        &VectorConvertDoubleToFloatA, nullptr,
                                        &VectorConvertDoubleToFloatC);
KESTRUNE_DEFINE_PRIMITIVE_WITH_VARIANTS(VectorClampAboveInt32InPlace, VariantFamily::VariantsCA,
                                        &VectorClampAboveInt32InPlaceA, nullptr,
                                        &VectorClampAboveInt32InPlaceC);
