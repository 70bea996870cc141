// Variants B and C of the basic primitives' copies, fills, zero fills, chirp
// and conversion to double (the same front-ends; the copies call each set's
// own byte copy). The chirp runs the portable arithmetic.
#include "signal/primitives/TrelBasicDispatcher.h"
#include "signal/primitives/TrelBasicVariantFrontEnds.h"
#include "signal/primitives/TrelBasicVariants.h"
#include "signal/primitives/kernels/VariantKernels.h"

namespace {

template <void* (*kCopy)(const void*, void*, std::int64_t)>
struct KernelsBC {
  static void Copy(const void* src, void* dst, std::int64_t nBytes) { kCopy(src, dst, nBytes); }
  static void Fill(void* dst, const void* value, int size, std::int64_t nBytes) {
    FillElementsSse2(dst, value, size, nBytes);
  }
  static void Zero(void* dst, std::int64_t nBytes) { ZeroBytesKernelSse2(dst, nBytes); }
};
using KernelsB = KernelsBC<&CopyBytesKernelB>;
using KernelsC = KernelsBC<&CopyBytesKernelC>;

PrimitiveStatus ConvertInt32ToDoubleBC(const std::int32_t* src, double* dst, std::int32_t len) {
  if (const PrimitiveStatus status = primitives_detail::CheckVectorArguments({src, dst}, len);
      status != StatusOk) {
    return status;
  }
  ConvertInt32ToDoubleKernelSse2(src, dst, len);
  return StatusOk;
}

PrimitiveStatus ExtremumBC(const double* src, std::int32_t len, double* result, bool maximum) {
  if (const PrimitiveStatus status = primitives_detail::CheckVectorArguments({src, result}, len);
      status != StatusOk) {
    return status;
  }
  ExtremumDoubleSse2(src, len, result, maximum);
  return StatusOk;
}

}  // namespace

KESTRUNE_DEFINE_BASIC_DATA_MOVEMENT(B, KernelsB)
KESTRUNE_DEFINE_BASIC_DATA_MOVEMENT(C, KernelsC)

PrimitiveStatus VectorChirpDoubleB(double* dst, std::int32_t len, double magnitude) {
  return VectorChirpDoublePortable(dst, len, magnitude);
}

PrimitiveStatus VectorChirpDoubleC(double* dst, std::int32_t len, double magnitude) {
  return VectorChirpDoublePortable(dst, len, magnitude);
}

PrimitiveStatus VectorConvertInt32ToDoubleB(const std::int32_t* src, double* dst,
                                            std::int32_t len) {
  return ConvertInt32ToDoubleBC(src, dst, len);
}

PrimitiveStatus VectorConvertInt32ToDoubleC(const std::int32_t* src, double* dst,
                                            std::int32_t len) {
  return ConvertInt32ToDoubleBC(src, dst, len);
}

PrimitiveStatus VectorMaxDoubleB(const double* src, std::int32_t len, double* pMax) {
  return ExtremumBC(src, len, pMax, true);
}

PrimitiveStatus VectorMaxDoubleC(const double* src, std::int32_t len, double* pMax) {
  return ExtremumBC(src, len, pMax, true);
}

PrimitiveStatus VectorMinDoubleB(const double* src, std::int32_t len, double* pMin) {
  return ExtremumBC(src, len, pMin, false);
}

PrimitiveStatus VectorMinDoubleC(const double* src, std::int32_t len, double* pMin) {
  return ExtremumBC(src, len, pMin, false);
}
