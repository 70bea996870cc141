// Variant A of the basic primitives' copies, fills, zero fills, chirp and
// conversion to double. The copies pick their kernel by size (cached below
// 8192 bytes, non-temporal below 16384, page by page with prefetching from
// there), the fills and zero fills stream from 20480 bytes on; the chirp
// and the conversion run the portable arithmetic.
#include "signal/primitives/TrelBasicDispatcher.h"
#include "signal/primitives/TrelBasicVariantFrontEnds.h"
#include "signal/primitives/TrelBasicVariants.h"
#include "signal/primitives/kernels/VariantKernels.h"

namespace {

struct KernelsA {
  static void Copy(const void* src, void* dst, std::int64_t nBytes) {
    if (nBytes < 8192) {
      CopyBytesKernelA(src, dst, nBytes);
    } else if (nBytes < 16384) {
      CopyBytesKernelAMedium(src, dst, nBytes);
    } else {
      CopyBytesKernelALarge(src, dst, nBytes);
    }
  }
  static void Fill(void* dst, const void* value, int size, std::int64_t nBytes) {
    nBytes < 20480 ? FillElementsKernelA(dst, value, size, nBytes)
                   : FillElementsKernelALarge(dst, value, size, nBytes);
  }
  static void Zero(void* dst, std::int64_t nBytes) {
    nBytes < 20480 ? ZeroBytesKernelA(dst, nBytes) : ZeroBytesKernelALarge(dst, nBytes);
  }
};

}  // namespace

KESTRUNE_DEFINE_BASIC_DATA_MOVEMENT(A, KernelsA)

PrimitiveStatus VectorChirpDoubleA(double* dst, std::int32_t len, double magnitude) {
  return VectorChirpDoublePortable(dst, len, magnitude);
}

PrimitiveStatus VectorConvertInt32ToDoubleA(const std::int32_t* src, double* dst,
                                            std::int32_t len) {
  return VectorConvertInt32ToDoublePortable(src, dst, len);
}

PrimitiveStatus VectorMaxDoubleA(const double* src, std::int32_t len, double* pMax) {
  if (const PrimitiveStatus status = primitives_detail::CheckVectorArguments({src, pMax}, len);
      status != StatusOk) {
    return status;
  }
  MaxDoubleKernelA(src, len, pMax);
  return StatusOk;
}

PrimitiveStatus VectorMinDoubleA(const double* src, std::int32_t len, double* pMin) {
  if (const PrimitiveStatus status = primitives_detail::CheckVectorArguments({src, pMin}, len);
      status != StatusOk) {
    return status;
  }
  MinDoubleKernelA(src, len, pMin);
  return StatusOk;
}
