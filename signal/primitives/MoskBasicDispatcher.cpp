// Portable variants of the 16-bit block arithmetic, the 16-bit division rows
// and the 16-bit fills, and the pointer variables of every primitive of the
// 16-bit and block unit (the block copies and conversions live in
// MoskBlockConversions.cpp).
#include "signal/primitives/MoskBasicDispatcher.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include <emmintrin.h>

#include "signal/primitives/ArgumentChecks.h"
#include "signal/primitives/Int16BlockVariant.h"
#include "signal/primitives/MoskBasicVariants.h"
#include "signal/primitives/PortableKernels.h"
#include "signal/primitives/RoundingControl.h"
#include "signal/primitives/ScaledArithmetic.h"

namespace {

using namespace primitives_detail;

// Shared body of the 16-bit block add, subtract and multiply: the exact value
// is formed in 32 bits; rightLimit is the largest sf whose rounded result can
// be non-zero, leftLimit the most negative sf whose shift stays in 32 bits.
template <typename Combine>
PrimitiveStatus Int16BlockInPlaceScaled(const std::int16_t* src, std::int32_t srcStep,
                                        std::int16_t* srcDst, std::int32_t srcDstStep,
                                        std::int32_t width, std::int32_t height, std::int32_t sf,
                                        std::int32_t rightLimit, std::int32_t leftLimit,
                                        bool clampBeforeLeftShift, Combine combine) {
  if (const PrimitiveStatus status = CheckBlockArguments({src, srcDst}, width, height);
      status != StatusOk) {
    return status;
  }
  const ScaleCase scaleCase = ClassifyScale(sf, rightLimit, leftLimit);
  if (scaleCase == ScaleCase::Zero) {
    return RoiFillInt16(0, srcDst, srcDstStep, width, height);
  }
  const auto* srcBytes = reinterpret_cast<const unsigned char*>(src);
  auto* dstBytes = reinterpret_cast<unsigned char*>(srcDst);
  for (std::int64_t row = 0; row < height; ++row) {
    ScaledInPlaceRow<std::int16_t, std::int32_t>(
        scaleCase, sf, reinterpret_cast<const std::int16_t*>(RowAt(srcBytes, row, srcStep)),
        reinterpret_cast<std::int16_t*>(RowAt(dstBytes, row, srcDstStep)), width,
        clampBeforeLeftShift, combine);
  }
  return StatusOk;
}

// The value a zero divisor stores: the saturated sign of the dividend.
inline std::int16_t ZeroDivisorResult(std::int32_t dividend) {
  return static_cast<std::int16_t>(dividend > 0 ? 32767 : (dividend < 0 ? -32768 : 0));
}

}  // namespace

PrimitiveStatus RoiFillInt16(std::int16_t value, std::int16_t* dst, std::int32_t dstStep,
                             std::int32_t width, std::int32_t height) {
  return FillBlockChecked(value, dst, dstStep, width, height);
}

PrimitiveStatus RoiAddInt16InPlaceScaledPortable(const std::int16_t* src, std::int32_t srcStep,
                                                 std::int16_t* srcDst, std::int32_t srcDstStep,
                                                 std::int32_t width, std::int32_t height,
                                                 std::int32_t sf) {
  // -65536 <= t <= 65534: zero beyond sf 16; t * 2^15 still fits 32 bits.
  return Int16BlockInPlaceScaled(src, srcStep, srcDst, srcDstStep, width, height, sf, 16, -15,
                                 false, [](std::int32_t d, std::int32_t s) { return d + s; });
}

PrimitiveStatus RoiSubInt16InPlaceScaledPortable(const std::int16_t* src, std::int32_t srcStep,
                                                 std::int16_t* srcDst, std::int32_t srcDstStep,
                                                 std::int32_t width, std::int32_t height,
                                                 std::int32_t sf) {
  return Int16BlockInPlaceScaled(src, srcStep, srcDst, srcDstStep, width, height, sf, 16, -15,
                                 false, [](std::int32_t d, std::int32_t s) { return d - s; });
}

PrimitiveStatus RoiMulInt16InPlaceScaledPortable(const std::int16_t* src, std::int32_t srcStep,
                                                 std::int16_t* srcDst, std::int32_t srcDstStep,
                                                 std::int32_t width, std::int32_t height,
                                                 std::int32_t sf) {
  // |p| <= 2^30: zero beyond sf 30; for negative sf p is saturated first, so
  // a shift by up to 14 fits 32 bits.
  return Int16BlockInPlaceScaled(src, srcStep, srcDst, srcDstStep, width, height, sf, 30, -14, true,
                                 [](std::int32_t d, std::int32_t s) { return d * s; });
}

PrimitiveStatus RoiDivInt16InPlaceScaledPortable(const std::int16_t* src, std::int32_t srcStep,
                                                 std::int16_t* srcDst, std::int32_t srcDstStep,
                                                 std::int32_t width, std::int32_t height,
                                                 std::int32_t sf) {
  return RoiDivInt16Scaled(src, srcStep, srcDst, srcDstStep, srcDst, srcDstStep, width, height, sf);
}

PrimitiveStatus RoiDivInt16Scaled(const std::int16_t* src, std::int32_t srcStep,
                                  const std::int16_t* src2, std::int32_t src2Step,
                                  std::int16_t* dst, std::int32_t dstStep, std::int32_t width,
                                  std::int32_t height, std::int32_t sf) {
  if (const PrimitiveStatus status =
          CheckInt16DivisionArguments(src, srcStep, src2, src2Step, dst, dstStep, width, height);
      status != StatusOk) {
    return status;
  }
  return RoiDivInt16ScaledRows(src, srcStep, src2, src2Step, dst, dstStep, width, height, sf);
}

PrimitiveStatus RoiDivInt16ScaledRows(const std::int16_t* src, std::int32_t srcStep,
                                      const std::int16_t* src2, std::int32_t src2Step,
                                      std::int16_t* dst, std::int32_t dstStep, std::int32_t width,
                                      std::int32_t height, std::int32_t sf) {
  return Int16DivisionRows(&DivInt16ScaledRow, src, srcStep, src2, src2Step, dst, dstStep, width,
                           height, sf);
}

// The exact quotient n * 2^-sf / d is rounded to nearest with ties to even.
// For -30 <= sf <= 15 it is computed in double precision, which is exact
// here: n * 2^-sf is exact (at most 2^45), and a quotient that is not a
// half-integer lies at least 2^-31 away from one (for sf >= 0: |2n -
// (2k+1) d 2^sf| >= 1 over 2 |d| 2^sf <= 2^31; for sf < 0 the bound is 2^-16),
// while the double quotient of a value below 2^16 is within one unit of
// 2^-37 of the exact value in every rounding mode. So the double quotient is
// a half-integer exactly when the exact one is, and lies on the same side of
// every half-integer; the processor's conversion under round to nearest then
// gives the exact result.
PrimitiveStatus DivInt16ScaledRow(const std::int16_t* src, const std::int16_t* src2,
                                  std::int16_t* dst, std::int32_t len, std::int32_t sf) {
  if (const PrimitiveStatus status = CheckVectorArguments({src, src2, dst}, len);
      status != StatusOk) {
    return status;
  }
  bool zeroDivisor = false;
  if (sf >= 16 || sf <= -31) {
    // sf >= 16: |n / d| * 2^-16 <= 1/2, and a tie rounds to 0. sf <= -31:
    // |n| * 2^31 / |d| >= 2^16 for any non-zero n, saturated by sign.
    for (std::int32_t i = 0; i < len; ++i) {
      const std::int32_t d = LoadUnaligned<std::int16_t>(src + i);
      const std::int32_t n = LoadUnaligned<std::int16_t>(src2 + i);
      std::int16_t q;
      if (d == 0) {
        q = ZeroDivisorResult(n);
        zeroDivisor = true;
      } else if (sf >= 16 || n == 0) {
        q = 0;
      } else {
        q = (n < 0) == (d < 0) ? std::int16_t{32767} : std::int16_t{-32768};
      }
      StoreUnaligned<std::int16_t>(dst + i, q);
    }
    return zeroDivisor ? StatusZeroDivisor : StatusOk;
  }
  const double scale = std::ldexp(1.0, -sf);
  const NearestRoundingScope rounding(true);
  // A zero divisor is replaced by 1 before dividing (no division by zero is
  // executed) and its element then takes the zero-divisor value. src2 and
  // dst may be the same row (see TwoSourceBlocks).
  auto divide = [scale, &zeroDivisor](std::int32_t d, std::int32_t n) {
    const bool isZero = d == 0;
    zeroDivisor |= isZero;
    double y = n * scale / (isZero ? 1 : d);
    y = y > -32768.0 ? y : -32768.0;
    y = y < 32767.0 ? y : 32767.0;
    // Rounded by MXCSR, which `rounding` holds at round to nearest.
    const auto q = static_cast<std::int16_t>(_mm_cvtsd_si32(_mm_set_sd(y)));
    return isZero ? ZeroDivisorResult(n) : q;
  };
  TwoSourceBlocks(src, src2, dst, len, divide);
  return zeroDivisor ? StatusZeroDivisor : StatusOk;
}

std::int16_t* FillInt16Kernel(std::int16_t value, std::int16_t* dst, std::int64_t len) {
  primitives_detail::FillBlocks(dst, len, value);
  return dst;
}

PrimitiveStatus VectorSetInt16Portable(std::int16_t value, std::int16_t* dst, std::int32_t len) {
  if (const PrimitiveStatus status = CheckVectorArguments({dst}, len); status != StatusOk) {
    return status;
  }
  FillInt16Kernel(value, dst, len);
  return StatusOk;
}

KESTRUNE_DEFINE_PRIMITIVE_WITH_VARIANTS(RoiAddInt16InPlaceScaled, VariantFamily::FourVariants,
                                        &RoiAddInt16InPlaceScaledA, &RoiAddInt16InPlaceScaledB,
                                        &RoiAddInt16InPlaceScaledC);
KESTRUNE_DEFINE_PRIMITIVE_WITH_VARIANTS(RoiSubInt16InPlaceScaled, VariantFamily::FourVariants,
                                        &RoiSubInt16InPlaceScaledA, &RoiSubInt16InPlaceScaledB,
                                        &RoiSubInt16InPlaceScaledC);
KESTRUNE_DEFINE_PRIMITIVE_WITH_VARIANTS(RoiMulInt16InPlaceScaled, VariantFamily::FourVariants,
                                        &RoiMulInt16InPlaceScaledA, &RoiMulInt16InPlaceScaledB,
                                        &RoiMulInt16InPlaceScaledC);
KESTRUNE_DEFINE_PRIMITIVE_WITH_VARIANTS(RoiDivInt16InPlaceScaled, VariantFamily::FourVariants,
                                        &RoiDivInt16InPlaceScaledA, &RoiDivInt16InPlaceScaledB,
                                        &RoiDivInt16InPlaceScaledC);
KESTRUNE_DEFINE_PRIMITIVE_WITH_VARIANTS(VectorSetInt16, VariantFamily::FourVariants,
                                        &VectorSetInt16A, &VectorSetInt16B, &VectorSetInt16C);
