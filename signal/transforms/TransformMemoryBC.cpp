// Sets B and C: the copy and zero wrappers of the transform unit and set C's
// aligned allocation.
#include <xmmintrin.h>

#include "signal/primitives/ArgumentChecks.h"
#include "signal/primitives/kernels/VariantKernels.h"
#include "signal/transforms/TransformMemory.h"

namespace transforms_detail {

namespace {

template <void* (*Copy)(const void*, void*, std::int64_t)>
PrimitiveStatus CopyInt32CheckedWith(const std::int32_t* src, std::int32_t* dst, std::int32_t len) {
  if (const PrimitiveStatus status = primitives_detail::CheckVectorArguments({src, dst}, len);
      status != StatusOk) {
    return status;
  }
  Copy(src, dst, std::int64_t{len} * 4);
  return StatusOk;
}

PrimitiveStatus ZeroBytesCheckedSse2(void* dst, std::int64_t n) {
  ZeroBytesKernelSse2(dst, n);
  return StatusOk;
}

}  // namespace

__attribute__((target("sse3"))) void* AlignedAllocBytesC(std::int64_t bytes) {
  void* block = AlignedAllocBytes(bytes);
  // A block of fewer than 129 bytes has no line 128 bytes in; the hint is
  // for blocks whose first lines are written right away.
  if (block != nullptr && bytes > 128) {
    _mm_prefetch(static_cast<const char*>(block) + 128, _MM_HINT_T0);
  }
  return block;
}

PrimitiveStatus CopyInt32CheckedB(const std::int32_t* src, std::int32_t* dst, std::int32_t len) {
  return CopyInt32CheckedWith<&CopyBytesKernelB>(src, dst, len);
}

PrimitiveStatus ZeroInt32CheckedB(std::int32_t* dst, std::int32_t len) {
  if (const PrimitiveStatus status = primitives_detail::CheckVectorArguments({dst}, len);
      status != StatusOk) {
    return status;
  }
  return ZeroBytesCheckedSse2(dst, std::int64_t{len} * 4);
}

PrimitiveStatus ZeroBytesCheckedB(void* dst, std::int32_t n) {
  if (const PrimitiveStatus status = primitives_detail::CheckVectorArguments({dst}, n);
      status != StatusOk) {
    return status;
  }
  return ZeroBytesCheckedSse2(dst, n);
}

__attribute__((target("sse3"))) PrimitiveStatus CopyInt32CheckedC(const std::int32_t* src,
                                                                  std::int32_t* dst,
                                                                  std::int32_t len) {
  return CopyInt32CheckedWith<&CopyBytesKernelC>(src, dst, len);
}

__attribute__((target("sse3"))) PrimitiveStatus ZeroInt32CheckedC(std::int32_t* dst,
                                                                  std::int32_t len) {
  return ZeroInt32CheckedB(dst, len);
}

__attribute__((target("sse3"))) PrimitiveStatus ZeroBytesCheckedC(void* dst, std::int32_t n) {
  return ZeroBytesCheckedB(dst, n);
}

}  // namespace transforms_detail
