// Set A's copy and zero wrappers of the transform unit.
#include "signal/primitives/ArgumentChecks.h"
#include "signal/primitives/kernels/VariantKernels.h"
#include "signal/transforms/TransformMemory.h"

namespace transforms_detail {

PrimitiveStatus CopyInt32CheckedA(const std::int32_t* src, std::int32_t* dst, std::int32_t len) {
  if (const PrimitiveStatus status = primitives_detail::CheckVectorArguments({src, dst}, len);
      status != StatusOk) {
    return status;
  }
  const std::int64_t nBytes = std::int64_t{len} * 4;
  if (len < 2048) {
    CopyBytesKernelA(src, dst, nBytes);
  } else if (len < 4096) {
    CopyBytesKernelAMedium(src, dst, nBytes);
  } else {
    CopyBytesKernelALarge(src, dst, nBytes);
  }
  return StatusOk;
}

PrimitiveStatus ZeroInt32CheckedA(std::int32_t* dst, std::int32_t len) {
  return ::ZeroInt32CheckedA(dst, len);
}

PrimitiveStatus ZeroBytesCheckedA(void* dst, std::int32_t n) {
  if (const PrimitiveStatus status = primitives_detail::CheckVectorArguments({dst}, n);
      status != StatusOk) {
    return status;
  }
  n < 20480 ? ZeroBytesKernelA(dst, n) : ZeroBytesKernelALarge(dst, n);
  return StatusOk;
}

}  // namespace transforms_detail
