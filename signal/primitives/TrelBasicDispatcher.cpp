// Portable variants of the basic copy, fill, zero-fill, extreme-value, chirp
// and conversion primitives, and the pointer variables of every basic
// primitive. All of them are four-variant primitives; each pointer variable
// names its A, B and C variants (TrelBasicVariants.h).
#include "signal/primitives/TrelBasicDispatcher.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "signal/primitives/ArgumentChecks.h"
#include "signal/primitives/LibCDispatcher.h"
#include "signal/primitives/PortableKernels.h"
#include "signal/primitives/ScaledArithmetic.h"
#include "signal/primitives/TrelBasicVariants.h"
#include "signal/primitives/UnalignedAccess.h"

namespace {

using primitives_detail::CheckVectorArguments;

// The extreme value of a vector of doubles, NaN elements skipped.
// `better(x, m)` says whether x replaces the running value m; it is an
// ordered comparison, so it is false whenever x is NaN. Four independent
// running values keep the comparisons out of one long dependency chain; the
// running values start at the first non-NaN element, so none of them is ever
// NaN. Equal values are only distinguishable when they are zeros of opposite
// sign, so when the result compares equal to zero the first zero element is
// returned, which keeps the first of equal values.
template <typename Better>
double ExtremeSkippingNaN(const double* src, std::int64_t len, Better better) {
  std::int64_t first = 0;
  while (first < len && std::isnan(unaligned::Load(src + first))) {
    ++first;
  }
  if (first == len) {
    return unaligned::Load(src);
  }
  const double start = unaligned::Load(src + first);
  double running[4] = {start, start, start, start};
  std::int64_t i = first + 1;
  for (; i + 4 <= len; i += 4) {
    for (int lane = 0; lane < 4; ++lane) {
      const double x = unaligned::Load(src + i + lane);
      running[lane] = better(x, running[lane]) ? x : running[lane];
    }
  }
  for (; i < len; ++i) {
    const double x = unaligned::Load(src + i);
    running[0] = better(x, running[0]) ? x : running[0];
  }
  double result = running[0];
  for (int lane = 1; lane < 4; ++lane) {
    if (better(running[lane], result)) {
      result = running[lane];
    }
  }
  if (result == 0.0) {
    for (std::int64_t j = first;; ++j) {
      if (const double x = unaligned::Load(src + j); x == 0.0) {
        return x;
      }
    }
  }
  return result;
}

}  // namespace

void FillInt32Kernel(std::int32_t value, std::int32_t* dst, std::int64_t len) {
  primitives_detail::FillBlocks(dst, len, value);
}

// On x86-64 a double is passed and stored through SSE registers, which move
// its bits unchanged, signalling NaNs included.
void FillDoubleKernel(double value, double* dst, std::int64_t len) {
  primitives_detail::FillBlocks(dst, len, value);
}

void FillComplexKernel(double re, double im, std::complex<double>* dst, std::int64_t len) {
  if (len > 0) {
    // Element by element through memcpy: dst may lie at any byte address.
    const double pair[2] = {re, im};
    auto* bytes = reinterpret_cast<unsigned char*>(dst);
    for (std::int64_t i = 0; i < len; ++i) {
      std::memcpy(bytes + 16 * i, pair, 16);
    }
  }
}

void FillBytesKernel(std::uint8_t value, std::uint8_t* dst, std::int64_t nBytes) {
  if (nBytes > 0) {
    std::fill_n(dst, nBytes, value);
  }
}

PrimitiveStatus VectorCopyDoublePortable(const double* src, double* dst, std::int32_t len) {
  if (const PrimitiveStatus status = CheckVectorArguments({src, dst}, len); status != StatusOk) {
    return status;
  }
  CopyBytesKernel(src, dst, std::int64_t{len} * static_cast<std::int64_t>(sizeof(double)));
  return StatusOk;
}

PrimitiveStatus VectorCopyUInt8Portable(const std::uint8_t* src, std::uint8_t* dst,
                                        std::int32_t len) {
  if (const PrimitiveStatus status = CheckVectorArguments({src, dst}, len); status != StatusOk) {
    return status;
  }
  CopyBytesKernel(src, dst, len);
  return StatusOk;
}

PrimitiveStatus VectorSetInt32Portable(std::int32_t value, std::int32_t* dst, std::int32_t len) {
  if (const PrimitiveStatus status = CheckVectorArguments({dst}, len); status != StatusOk) {
    return status;
  }
  FillInt32Kernel(value, dst, len);
  return StatusOk;
}

PrimitiveStatus VectorSetDoublePortable(double value, double* dst, std::int32_t len) {
  if (const PrimitiveStatus status = CheckVectorArguments({dst}, len); status != StatusOk) {
    return status;
  }
  FillDoubleKernel(value, dst, len);
  return StatusOk;
}

PrimitiveStatus VectorSetComplexPortable(double re, double im, std::complex<double>* dst,
                                         std::int32_t len) {
  if (const PrimitiveStatus status = CheckVectorArguments({dst}, len); status != StatusOk) {
    return status;
  }
  FillComplexKernel(re, im, dst, len);
  return StatusOk;
}

PrimitiveStatus VectorSetUInt8Portable(std::uint8_t value, std::uint8_t* dst, std::int32_t len) {
  if (const PrimitiveStatus status = CheckVectorArguments({dst}, len); status != StatusOk) {
    return status;
  }
  FillBytesKernel(value, dst, len);
  return StatusOk;
}

namespace {

template <typename T>
PrimitiveStatus ZeroVector(T* dst, std::int32_t len) {
  if (const PrimitiveStatus status = CheckVectorArguments({dst}, len); status != StatusOk) {
    return status;
  }
  ZeroBytesKernel(dst, std::int64_t{len} * static_cast<std::int64_t>(sizeof(T)));
  return StatusOk;
}

}  // namespace

PrimitiveStatus VectorZeroInt16Portable(std::int16_t* dst, std::int32_t len) {
  return ZeroVector(dst, len);
}

PrimitiveStatus VectorZeroInt32Portable(std::int32_t* dst, std::int32_t len) {
  return ZeroVector(dst, len);
}

PrimitiveStatus VectorZeroDoublePortable(double* dst, std::int32_t len) {
  return ZeroVector(dst, len);
}

PrimitiveStatus VectorZeroComplexPortable(std::complex<double>* dst, std::int32_t len) {
  return ZeroVector(dst, len);
}

PrimitiveStatus VectorZeroUInt8Portable(std::uint8_t* dst, std::int32_t len) {
  return ZeroVector(dst, len);
}

PrimitiveStatus VectorMaxDoublePortable(const double* src, std::int32_t len, double* pMax) {
  if (const PrimitiveStatus status = CheckVectorArguments({src, pMax}, len); status != StatusOk) {
    return status;
  }
  *pMax = ExtremeSkippingNaN(src, len, [](double x, double m) { return x > m; });
  return StatusOk;
}

PrimitiveStatus VectorMinDoublePortable(const double* src, std::int32_t len, double* pMin) {
  if (const PrimitiveStatus status = CheckVectorArguments({src, pMin}, len); status != StatusOk) {
    return status;
  }
  *pMin = ExtremeSkippingNaN(src, len, [](double x, double m) { return x < m; });
  return StatusOk;
}

PrimitiveStatus VectorChirpDoublePortable(double* dst, std::int32_t len, double magnitude) {
  if (const PrimitiveStatus status = CheckVectorArguments({dst}, len); status != StatusOk) {
    return status;
  }
  if (magnitude < 0.0) {
    return StatusNegativeMagnitude;
  }
  if (len == 1) {
    dst[0] = 0.0;
    return StatusOk;
  }
  // Phase pi n^2 / (2 len) = (c n) n with c = (pi/2) / len formed once. The
  // products are formed in the extended format and rounded to double, and
  // the sine is scaled in the extended format as well.
  const double step = 1.5707963267948966 / static_cast<double>(len);
  for (std::int32_t n = 0; n < len; ++n) {
    const long double index = n;
    const auto phase = static_cast<double>(static_cast<long double>(step) * index * index);
    dst[n] = static_cast<double>(static_cast<long double>(LibCSin(phase)) * magnitude);
  }
  return StatusOk;
}

PrimitiveStatus VectorConvertInt32ToDoublePortable(const std::int32_t* src, double* dst,
                                                   std::int32_t len) {
  if (const PrimitiveStatus status = CheckVectorArguments({src, dst}, len); status != StatusOk) {
    return status;
  }
  primitives_detail::ConvertBlocks(src, dst, len,
                                   [](std::int32_t x) { return static_cast<double>(x); });
  return StatusOk;
}

KESTRUNE_DEFINE_PRIMITIVE_WITH_VARIANTS(VectorAddInt32InPlaceScaled, VariantFamily::FourVariants,
                                        &VectorAddInt32InPlaceScaledA,
                                        &VectorAddInt32InPlaceScaledB,
                                        &VectorAddInt32InPlaceScaledC);
KESTRUNE_DEFINE_PRIMITIVE_WITH_VARIANTS(VectorSubInt32InPlaceScaled, VariantFamily::FourVariants,
                                        &VectorSubInt32InPlaceScaledA,
                                        &VectorSubInt32InPlaceScaledB,
                                        &VectorSubInt32InPlaceScaledC);
KESTRUNE_DEFINE_PRIMITIVE_WITH_VARIANTS(VectorMulInt32InPlaceScaled, VariantFamily::FourVariants,
                                        &VectorMulInt32InPlaceScaledA,
                                        &VectorMulInt32InPlaceScaledB,
                                        &VectorMulInt32InPlaceScaledC);
KESTRUNE_DEFINE_PRIMITIVE_WITH_VARIANTS(VectorDivInt32InPlaceScaled, VariantFamily::FourVariants,
                                        &VectorDivInt32InPlaceScaledA,
                                        &VectorDivInt32InPlaceScaledB,
                                        &VectorDivInt32InPlaceScaledC);
KESTRUNE_DEFINE_PRIMITIVE_WITH_VARIANTS(VectorAddDoubleInPlace, VariantFamily::FourVariants,
                                        &VectorAddDoubleInPlaceA, &VectorAddDoubleInPlaceB,
                                        &VectorAddDoubleInPlaceC);
KESTRUNE_DEFINE_PRIMITIVE_WITH_VARIANTS(VectorSubDoubleInPlace, VariantFamily::FourVariants,
                                        &VectorSubDoubleInPlaceA, &VectorSubDoubleInPlaceB,
                                        &VectorSubDoubleInPlaceC);
KESTRUNE_DEFINE_PRIMITIVE_WITH_VARIANTS(VectorMulDoubleInPlace, VariantFamily::FourVariants,
                                        &VectorMulDoubleInPlaceA, &VectorMulDoubleInPlaceB,
                                        &VectorMulDoubleInPlaceC);
KESTRUNE_DEFINE_PRIMITIVE_WITH_VARIANTS(VectorDivDoubleInPlace, VariantFamily::FourVariants,
                                        &VectorDivDoubleInPlaceA, &VectorDivDoubleInPlaceB,
                                        &VectorDivDoubleInPlaceC);
KESTRUNE_DEFINE_PRIMITIVE_WITH_VARIANTS(VectorAddComplexInPlace, VariantFamily::FourVariants,
                                        &VectorAddComplexInPlaceA, &VectorAddComplexInPlaceB,
                                        &VectorAddComplexInPlaceC);
KESTRUNE_DEFINE_PRIMITIVE_WITH_VARIANTS(VectorSubComplexInPlace, VariantFamily::FourVariants,
                                        &VectorSubComplexInPlaceA, &VectorSubComplexInPlaceB,
                                        &VectorSubComplexInPlaceC);
KESTRUNE_DEFINE_PRIMITIVE_WITH_VARIANTS(VectorMulComplexInPlace, VariantFamily::FourVariants,
                                        &VectorMulComplexInPlaceA, &VectorMulComplexInPlaceB,
                                        &VectorMulComplexInPlaceC);
KESTRUNE_DEFINE_PRIMITIVE_WITH_VARIANTS(VectorDivComplexInPlace, VariantFamily::FourVariants,
                                        &VectorDivComplexInPlaceA, &VectorDivComplexInPlaceB,
                                        &VectorDivComplexInPlaceC);
KESTRUNE_DEFINE_PRIMITIVE_WITH_VARIANTS(VectorAddUInt8InPlaceScaled, VariantFamily::FourVariants,
                                        &VectorAddUInt8InPlaceScaledA,
                                        &VectorAddUInt8InPlaceScaledB,
                                        &VectorAddUInt8InPlaceScaledC);
KESTRUNE_DEFINE_PRIMITIVE_WITH_VARIANTS(VectorSubUInt8InPlaceScaled, VariantFamily::FourVariants,
                                        &VectorSubUInt8InPlaceScaledA,
                                        &VectorSubUInt8InPlaceScaledB,
                                        &VectorSubUInt8InPlaceScaledC);
KESTRUNE_DEFINE_PRIMITIVE_WITH_VARIANTS(VectorMulUInt8InPlaceScaled, VariantFamily::FourVariants,
                                        &VectorMulUInt8InPlaceScaledA,
                                        &VectorMulUInt8InPlaceScaledB,
                                        &VectorMulUInt8InPlaceScaledC);
KESTRUNE_DEFINE_PRIMITIVE_WITH_VARIANTS(VectorCopyDouble, VariantFamily::FourVariants,
                                        &VectorCopyDoubleA, &VectorCopyDoubleB, &VectorCopyDoubleC);
KESTRUNE_DEFINE_PRIMITIVE_WITH_VARIANTS(VectorCopyUInt8, VariantFamily::FourVariants,
                                        &VectorCopyUInt8A, &VectorCopyUInt8B, &VectorCopyUInt8C);
KESTRUNE_DEFINE_PRIMITIVE_WITH_VARIANTS(VectorSetInt32, VariantFamily::FourVariants,
                                        &VectorSetInt32A, &VectorSetInt32B, &VectorSetInt32C);
KESTRUNE_DEFINE_PRIMITIVE_WITH_VARIANTS(VectorSetDouble, VariantFamily::FourVariants,
                                        &VectorSetDoubleA, &VectorSetDoubleB, &VectorSetDoubleC);
KESTRUNE_DEFINE_PRIMITIVE_WITH_VARIANTS(VectorSetComplex, VariantFamily::FourVariants,
                                        &VectorSetComplexA, &VectorSetComplexB, &VectorSetComplexC);
KESTRUNE_DEFINE_PRIMITIVE_WITH_VARIANTS(VectorSetUInt8, VariantFamily::FourVariants,
                                        &VectorSetUInt8A, &VectorSetUInt8B, &VectorSetUInt8C);
KESTRUNE_DEFINE_PRIMITIVE_WITH_VARIANTS(VectorZeroInt16, VariantFamily::FourVariants,
                                        &VectorZeroInt16A, &VectorZeroInt16B, &VectorZeroInt16C);
KESTRUNE_DEFINE_PRIMITIVE_WITH_VARIANTS(VectorZeroInt32, VariantFamily::FourVariants,
                                        &VectorZeroInt32A, &VectorZeroInt32B, &VectorZeroInt32C);
KESTRUNE_DEFINE_PRIMITIVE_WITH_VARIANTS(VectorZeroDouble, VariantFamily::FourVariants,
                                        &VectorZeroDoubleA, &VectorZeroDoubleB, &VectorZeroDoubleC);
KESTRUNE_DEFINE_PRIMITIVE_WITH_VARIANTS(VectorZeroComplex, VariantFamily::FourVariants,
                                        &VectorZeroComplexA, &VectorZeroComplexB,
                                        &VectorZeroComplexC);
KESTRUNE_DEFINE_PRIMITIVE_WITH_VARIANTS(VectorZeroUInt8, VariantFamily::FourVariants,
                                        &VectorZeroUInt8A, &VectorZeroUInt8B, &VectorZeroUInt8C);
KESTRUNE_DEFINE_PRIMITIVE_WITH_VARIANTS(VectorMaxDouble, VariantFamily::FourVariants,
                                        &VectorMaxDoubleA, &VectorMaxDoubleB, &VectorMaxDoubleC);
KESTRUNE_DEFINE_PRIMITIVE_WITH_VARIANTS(VectorMinDouble, VariantFamily::FourVariants,
                                        &VectorMinDoubleA, &VectorMinDoubleB, &VectorMinDoubleC);
KESTRUNE_DEFINE_PRIMITIVE_WITH_VARIANTS(VectorChirpDouble, VariantFamily::FourVariants,
                                        &VectorChirpDoubleA, &VectorChirpDoubleB,
                                        &VectorChirpDoubleC);
KESTRUNE_DEFINE_PRIMITIVE_WITH_VARIANTS(VectorConvertInt32ToDouble, VariantFamily::FourVariants,
                                        &VectorConvertInt32ToDoubleA, &VectorConvertInt32ToDoubleB,
                                        &VectorConvertInt32ToDoubleC);

// Starts at the VectorCopyDouble stub, which binds only VectorCopyDouble, so
// this variable is never rebound.
constinit PrimitivePointer<decltype(VectorCopyDoublePortable)> VectorCopyDoubleOverlapping{
    VariantFamily::FourVariants, KESTRUNE_DISPATCH_STUB(VectorCopyDouble),
    &VectorCopyDoublePortable};
