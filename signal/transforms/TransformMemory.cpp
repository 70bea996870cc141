#include "signal/transforms/TransformMemory.h"

#include "signal/primitives/LPMalloc.h"

void* AlignedAllocBytes(std::int64_t bytes) {
  if (bytes < 1 || bytes > kMaxTransformBlockBytes) {
    return nullptr;
  }
  return AlignedAlloc(static_cast<std::int32_t>(bytes));
}
