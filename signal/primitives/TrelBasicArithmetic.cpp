// Portable variants of the in-place vector arithmetic.
//
// Precision: the double primitives compute in double precision (each
// operation correctly rounded, as IEEE defines it). The complex multiply and
// divide form their intermediates in long double (the extended format on x86)
// so that a product or the divisor's squared magnitude neither overflows nor
// underflows where the final result is representable. The integer divisions
// are computed exactly in integer arithmetic.
#include <bit>
#include <cmath>
#include <cstddef>
#include <limits>
#include <type_traits>

#include "signal/primitives/ArgumentChecks.h"
#include "signal/primitives/LibCDispatcher.h"
#include "signal/primitives/PortableKernels.h"
#include "signal/primitives/ScaledArithmetic.h"
#include "signal/primitives/TrelBasicDispatcher.h"
#include "signal/primitives/UnalignedAccess.h"

namespace {

using namespace primitives_detail;

constexpr std::int64_t kInt32Min = std::numeric_limits<std::int32_t>::min();
constexpr std::int64_t kInt32Max = std::numeric_limits<std::int32_t>::max();

// The NaN the divisions store for 0 / 0 and for a complex zero divisor.
inline double DivisionNaN() {
  return std::bit_cast<double>(std::uint64_t{0xFFF8000000000000});
}

// Shared body of the scaled int32 add, subtract and multiply. The zero case
// ends in the int32 zero-fill, whose status is returned.
// `saturating`, when given, computes the sf = 0 case in 32 bits.
template <typename Combine, typename Saturating = std::nullptr_t>
PrimitiveStatus Int32InPlaceScaled(const std::int32_t* src, std::int32_t* srcDst, std::int32_t len,
                                   std::int32_t sf, std::int32_t rightLimit, std::int32_t leftLimit,
                                   bool clampBeforeLeftShift, Combine combine,
                                   Saturating saturating = nullptr) {
  if (const PrimitiveStatus status = CheckVectorArguments({src, srcDst}, len); status != StatusOk) {
    return status;
  }
  const ScaleCase scaleCase = ClassifyScale(sf, rightLimit, leftLimit);
  if (scaleCase == ScaleCase::Zero) {
    return ZeroInt32Checked(srcDst, len);
  }
  if constexpr (!std::is_same_v<Saturating, std::nullptr_t>) {
    if (scaleCase == ScaleCase::Saturate) {
      InPlaceBlocks(src, srcDst, len, saturating);
      return StatusOk;
    }
  }
  ScaledInPlaceRow<std::int32_t, std::int64_t>(scaleCase, sf, src, srcDst, len,
                                               clampBeforeLeftShift, combine);
  return StatusOk;
}

// Shared body of the scaled byte add, subtract and multiply.
template <typename Combine>
PrimitiveStatus UInt8InPlaceScaled(const std::uint8_t* src, std::uint8_t* srcDst, std::int32_t len,
                                   std::int32_t sf, std::int32_t rightLimit, Combine combine) {
  if (const PrimitiveStatus status = CheckVectorArguments({src, srcDst}, len); status != StatusOk) {
    return status;
  }
  // From sf = -8 on every non-zero t (at least 1) shifts to 256 or more.
  const ScaleCase scaleCase = ClassifyScale(sf, rightLimit, -7);
  if (scaleCase == ScaleCase::Zero) {
    return VectorZeroUInt8Portable(srcDst, len);
  }
  ScaledInPlaceRow<std::uint8_t, std::int32_t>(scaleCase, sf, src, srcDst, len, false, combine);
  return StatusOk;
}

// Unchecked element loops of the double arithmetic, over 64-bit counts so
// that the complex primitives can hand them 2 * len doubles.
template <typename Op>
void DoubleInPlaceRun(const double* src, double* srcDst, std::int64_t count, Op op) {
  InPlaceBlocks(src, srcDst, count, op);
}

template <typename Op>
PrimitiveStatus DoubleInPlace(const double* src, double* srcDst, std::int32_t len, Op op) {
  if (const PrimitiveStatus status = CheckVectorArguments({src, srcDst}, len); status != StatusOk) {
    return status;
  }
  DoubleInPlaceRun(src, srcDst, len, op);
  return StatusOk;
}

// The complex add and subtract check the count first, then work on the
// 2 * len doubles with the double primitive's pointer checks.
template <typename Op>
PrimitiveStatus ComplexAsDoublesInPlace(const std::complex<double>* src,
                                        std::complex<double>* srcDst, std::int32_t len, Op op) {
  if (len < 1) {
    return StatusBadLength;
  }
  if (src == nullptr || srcDst == nullptr) {
    return StatusNullPointer;
  }
  // The standard guarantees that a complex<double> is accessible as double[2].
  DoubleInPlaceRun(reinterpret_cast<const double*>(src), reinterpret_cast<double*>(srcDst),
                   std::int64_t{len} * 2, op);
  return StatusOk;
}

constexpr auto kAddDouble = [](double a, double b) { return a + b; };
constexpr auto kSubDouble = [](double a, double b) { return a - b; };
constexpr auto kMulDouble = [](double a, double b) { return a * b; };

// One element of the exact int32 division, b != 0: a * 2^-sf / b rounded to
// nearest with ties to even and saturated. The exact numerator and
// denominator fit 64 bits for -31 <= sf <= 32 (|a| * 2^31 <= 2^62 and
// |b| * 2^32 <= 2^63) and 128 bits down to sf = -62.
template <typename UInt>
std::int32_t DivInt32Element(std::int32_t a, std::int32_t b, std::int32_t sf) {
  UInt numerator = Magnitude(a);
  UInt denominator = Magnitude(b);
  if (sf >= 0) {
    denominator <<= sf;
  } else {
    numerator <<= -sf;
  }
  return static_cast<std::int32_t>(SaturatedRoundedQuotient<UInt>(
      numerator, denominator, (a < 0) != (b < 0), kInt32Min, kInt32Max));
}

}  // namespace

PrimitiveStatus VectorAddInt32InPlaceScaledPortable(const std::int32_t* src, std::int32_t* srcDst,
                                                    std::int32_t len, std::int32_t sf) {
  // |t| <= 2^32: the rounded result is 0 for every t once sf > 32, and a left
  // shift by up to 30 stays inside 64 bits.
  return Int32InPlaceScaled(
      src, srcDst, len, sf, 32, -30, false, [](std::int64_t d, std::int64_t s) { return d + s; },
      SaturatingAddInt32);
}

PrimitiveStatus VectorSubInt32InPlaceScaledPortable(const std::int32_t* src, std::int32_t* srcDst,
                                                    std::int32_t len, std::int32_t sf) {
  return Int32InPlaceScaled(
      src, srcDst, len, sf, 32, -30, false, [](std::int64_t d, std::int64_t s) { return d - s; },
      SaturatingSubInt32);
}

PrimitiveStatus VectorMulInt32InPlaceScaledPortable(const std::int32_t* src, std::int32_t* srcDst,
                                                    std::int32_t len, std::int32_t sf) {
  // |p| <= 2^62: rounding stays inside 64 bits up to sf = 62; for negative sf
  // p is saturated to the int32 range first so the shift by up to 31 fits.
  return Int32InPlaceScaled(src, srcDst, len, sf, 62, -31, true,
                            [](std::int64_t d, std::int64_t s) { return d * s; });
}

PrimitiveStatus VectorDivInt32InPlaceScaledPortable(const std::int32_t* src, std::int32_t* srcDst,
                                                    std::int32_t len, std::int32_t sf) {
  if (const PrimitiveStatus status = CheckVectorArguments({src, srcDst}, len); status != StatusOk) {
    return status;
  }
  return DivInt32ScaledKernel(src, srcDst, srcDst, len, sf);
}

PrimitiveStatus DivInt32ScaledKernel(const std::int32_t* src, const std::int32_t* src2,
                                     std::int32_t* dst, std::int32_t len, std::int32_t sf) {
  if (const PrimitiveStatus status = CheckVectorArguments({src, src2, dst}, len);
      status != StatusOk) {
    return status;
  }
  PrimitiveStatus status = StatusOk;
  for (std::int32_t i = 0; i < len; ++i) {
    const std::int32_t b = unaligned::Load(src + i);
    const std::int32_t a = unaligned::Load(src2 + i);
    std::int32_t q;
    if (b == 0) {
      q = a > 0 ? std::numeric_limits<std::int32_t>::max()
                : (a < 0 ? std::numeric_limits<std::int32_t>::min() : 0);
      status = StatusZeroDivisor;
    } else if (sf > 32) {
      q = 0;  // |a / b| <= 2^31, so |q| <= 1/2 and ties go to 0.
    } else if (sf < -62) {
      // |a| * 2^63 / |b| >= 2^32 for any non-zero a: saturated by sign.
      q = a == 0 ? 0
                 : ((a < 0) == (b < 0) ? std::numeric_limits<std::int32_t>::max()
                                       : std::numeric_limits<std::int32_t>::min());
    } else if (sf >= -31) {
      q = DivInt32Element<std::uint64_t>(a, b, sf);
    } else {
      q = DivInt32Element<unsigned __int128>(a, b, sf);
    }
    unaligned::Store(dst + i, q);
  }
  return status;
}

PrimitiveStatus VectorAddDoubleInPlacePortable(const double* src, double* srcDst,
                                               std::int32_t len) {
  return DoubleInPlace(src, srcDst, len, kAddDouble);
}

PrimitiveStatus VectorSubDoubleInPlacePortable(const double* src, double* srcDst,
                                               std::int32_t len) {
  return DoubleInPlace(src, srcDst, len, kSubDouble);
}

PrimitiveStatus VectorMulDoubleInPlacePortable(const double* src, double* srcDst,
                                               std::int32_t len) {
  return DoubleInPlace(src, srcDst, len, kMulDouble);
}

PrimitiveStatus VectorDivDoubleInPlacePortable(const double* src, double* srcDst,
                                               std::int32_t len) {
  if (const PrimitiveStatus status = CheckVectorArguments({src, srcDst}, len); status != StatusOk) {
    return status;
  }
  return DivDoubleKernel(src, srcDst, srcDst, len);
}

PrimitiveStatus DivDoubleKernel(const double* src, const double* src2, double* dst,
                                std::int32_t len) {
  if (const PrimitiveStatus status = CheckVectorArguments({src, src2, dst}, len);
      status != StatusOk) {
    return status;
  }
  // A zero divisor is replaced by 1 before dividing, so no division by zero
  // is executed, and its element then takes the zero-divisor value. A NaN
  // divisor is not a zero divisor: the quotient is NaN. Without branches, so
  // the compiler can use vector division.
  bool zeroDivisor = false;
  TwoSourceBlocks(src, src2, dst, len, [&zeroDivisor](double b, double a) {
    const bool isZero = b == 0.0;
    zeroDivisor |= isZero;
    const double quotient = a / (isZero ? 1.0 : b);
    // A NaN dividend stays NaN.
    const double zeroResult = a > 0.0 ? std::numeric_limits<double>::infinity()
                                      : (a < 0.0 ? -std::numeric_limits<double>::infinity()
                                                 : (a == 0.0 ? DivisionNaN() : a));
    return isZero ? zeroResult : quotient;
  });
  return zeroDivisor ? StatusZeroDivisor : StatusOk;
}

PrimitiveStatus VectorAddComplexInPlacePortable(const std::complex<double>* src,
                                                std::complex<double>* srcDst, std::int32_t len) {
  return ComplexAsDoublesInPlace(src, srcDst, len, kAddDouble);
}

PrimitiveStatus VectorSubComplexInPlacePortable(const std::complex<double>* src,
                                                std::complex<double>* srcDst, std::int32_t len) {
  return ComplexAsDoublesInPlace(src, srcDst, len, kSubDouble);
}

PrimitiveStatus VectorMulComplexInPlacePortable(const std::complex<double>* src,
                                                std::complex<double>* srcDst, std::int32_t len) {
  if (const PrimitiveStatus status = CheckVectorArguments({src, srcDst}, len); status != StatusOk) {
    return status;
  }
  for (std::int32_t i = 0; i < len; ++i) {
    const auto* b = reinterpret_cast<const double*>(src + i);
    auto* a = reinterpret_cast<double*>(srcDst + i);
    const long double ar = unaligned::Load(a);
    const long double ai = unaligned::Load(a + 1);
    const long double br = unaligned::Load(b);
    const long double bi = unaligned::Load(b + 1);
    unaligned::Store(a, static_cast<double>(ar * br - ai * bi));
    unaligned::Store(a + 1, static_cast<double>(ar * bi + ai * br));
  }
  return StatusOk;
}

PrimitiveStatus VectorDivComplexInPlacePortable(const std::complex<double>* src,
                                                std::complex<double>* srcDst, std::int32_t len) {
  if (const PrimitiveStatus status = CheckVectorArguments({src, srcDst}, len); status != StatusOk) {
    return status;
  }
  return DivComplexKernel(src, srcDst, srcDst, len);
}

PrimitiveStatus DivComplexKernel(const std::complex<double>* src, const std::complex<double>* src2,
                                 std::complex<double>* dst, std::int32_t len) {
  if (const PrimitiveStatus status = CheckVectorArguments({src, src2, dst}, len);
      status != StatusOk) {
    return status;
  }
  PrimitiveStatus status = StatusOk;
  for (std::int32_t i = 0; i < len; ++i) {
    const auto* b = reinterpret_cast<const double*>(src + i);
    const auto* a = reinterpret_cast<const double*>(src2 + i);
    auto* out = reinterpret_cast<double*>(dst + i);
    const long double br = unaligned::Load(b);
    const long double bi = unaligned::Load(b + 1);
    const long double ar = unaligned::Load(a);
    const long double ai = unaligned::Load(a + 1);
    // a / b = a * conj(b) / |b|^2. In the extended format |b|^2 of any
    // non-zero finite double b is a normal non-zero number. A divisor with a
    // NaN part (or an infinite part beside a NaN) has no magnitude to divide
    // by: like (0, 0) it gets the zero-divisor NaNs and the warning.
    const long double d = bi * bi + br * br;
    if (d == 0.0L || std::isnan(d)) {
      unaligned::Store(out, DivisionNaN());
      unaligned::Store(out + 1, DivisionNaN());
      status = StatusZeroDivisor;
      continue;
    }
    const long double r = 1.0L / d;
    unaligned::Store(out, static_cast<double>((br * ar + bi * ai) * r));
    unaligned::Store(out + 1, static_cast<double>((br * ai - bi * ar) * r));
  }
  return status;
}

PrimitiveStatus VectorAddUInt8InPlaceScaledPortable(const std::uint8_t* src, std::uint8_t* srcDst,
                                                    std::int32_t len, std::int32_t sf) {
  // t <= 510: the rounded result is 0 for every t once sf > 9.
  return UInt8InPlaceScaled(src, srcDst, len, sf, 9,
                            [](std::int32_t d, std::int32_t s) { return d + s; });
}

PrimitiveStatus VectorSubUInt8InPlaceScaledPortable(const std::uint8_t* src, std::uint8_t* srcDst,
                                                    std::int32_t len, std::int32_t sf) {
  return UInt8InPlaceScaled(src, srcDst, len, sf, 8, [](std::int32_t d, std::int32_t s) {
    return d > s ? d - s : std::int32_t{0};
  });
}

PrimitiveStatus VectorMulUInt8InPlaceScaledPortable(const std::uint8_t* src, std::uint8_t* srcDst,
                                                    std::int32_t len, std::int32_t sf) {
  return UInt8InPlaceScaled(src, srcDst, len, sf, 16,
                            [](std::int32_t d, std::int32_t s) { return d * s; });
}
