// Variant A of the in-place arithmetic: the portable algorithms, with A's own
// int32 zero fill where the scale factor rounds every result to 0.
#include "signal/primitives/ArgumentChecks.h"
#include "signal/primitives/TrelBasicDispatcher.h"
#include "signal/primitives/TrelBasicVariantFrontEnds.h"
#include "signal/primitives/TrelBasicVariants.h"
#include "signal/primitives/kernels/VariantKernels.h"

namespace {

// The int32 add, subtract and multiply past the bound where every rounded
// result is 0 (sf > 32 for the add and subtract, sf > 62 for the multiply).
template <PrimitiveStatus (*kPortable)(const std::int32_t*, std::int32_t*, std::int32_t,
                                       std::int32_t)>
PrimitiveStatus Int32A(const std::int32_t* src, std::int32_t* srcDst, std::int32_t len,
                       std::int32_t sf, std::int32_t zeroBound) {
  if (const PrimitiveStatus status = primitives_detail::CheckVectorArguments({src, srcDst}, len);
      status != StatusOk) {
    return status;
  }
  if (sf > zeroBound) {
    return ZeroInt32CheckedA(srcDst, len);
  }
  return kPortable(src, srcDst, len, sf);
}

// A's byte zero fill: streaming from 20480 bytes on.
void ZeroBytesA(void* dst, std::int64_t nBytes) {
  nBytes < 20480 ? ZeroBytesKernelA(dst, nBytes) : ZeroBytesKernelALarge(dst, nBytes);
}

}  // namespace

KESTRUNE_DEFINE_UINT8_VARIANTS(A, &ZeroBytesA, &UInt8ScaledKernelA)

PrimitiveStatus VectorAddInt32InPlaceScaledA(const std::int32_t* src, std::int32_t* srcDst,
                                             std::int32_t len, std::int32_t sf) {
  return Int32A<&VectorAddInt32InPlaceScaledPortable>(src, srcDst, len, sf, 32);
}

PrimitiveStatus VectorSubInt32InPlaceScaledA(const std::int32_t* src, std::int32_t* srcDst,
                                             std::int32_t len, std::int32_t sf) {
  return Int32A<&VectorSubInt32InPlaceScaledPortable>(src, srcDst, len, sf, 32);
}

PrimitiveStatus VectorMulInt32InPlaceScaledA(const std::int32_t* src, std::int32_t* srcDst,
                                             std::int32_t len, std::int32_t sf) {
  return Int32A<&VectorMulInt32InPlaceScaledPortable>(src, srcDst, len, sf, 62);
}

PrimitiveStatus VectorDivInt32InPlaceScaledA(const std::int32_t* src, std::int32_t* srcDst,
                                             std::int32_t len, std::int32_t sf) {
  return VectorDivInt32InPlaceScaledPortable(src, srcDst, len, sf);
}

PrimitiveStatus VectorAddDoubleInPlaceA(const double* src, double* srcDst, std::int32_t len) {
  return VectorAddDoubleInPlacePortable(src, srcDst, len);
}

PrimitiveStatus VectorSubDoubleInPlaceA(const double* src, double* srcDst, std::int32_t len) {
  return VectorSubDoubleInPlacePortable(src, srcDst, len);
}

PrimitiveStatus VectorMulDoubleInPlaceA(const double* src, double* srcDst, std::int32_t len) {
  return VectorMulDoubleInPlacePortable(src, srcDst, len);
}

PrimitiveStatus VectorDivDoubleInPlaceA(const double* src, double* srcDst, std::int32_t len) {
  return VectorDivDoubleInPlacePortable(src, srcDst, len);
}

PrimitiveStatus VectorAddComplexInPlaceA(const std::complex<double>* src,
                                         std::complex<double>* srcDst, std::int32_t len) {
  return VectorAddComplexInPlacePortable(src, srcDst, len);
}

PrimitiveStatus VectorSubComplexInPlaceA(const std::complex<double>* src,
                                         std::complex<double>* srcDst, std::int32_t len) {
  return VectorSubComplexInPlacePortable(src, srcDst, len);
}

PrimitiveStatus VectorMulComplexInPlaceA(const std::complex<double>* src,
                                         std::complex<double>* srcDst, std::int32_t len) {
  return VectorMulComplexInPlacePortable(src, srcDst, len);
}

PrimitiveStatus VectorDivComplexInPlaceA(const std::complex<double>* src,
                                         std::complex<double>* srcDst, std::int32_t len) {
  return VectorDivComplexInPlacePortable(src, srcDst, len);
}
