// Variant A of the 16-bit fill and the set-A 2-D fill.
#include "signal/primitives/ArgumentChecks.h"
#include "signal/primitives/MoskBasicVariants.h"
#include "signal/primitives/kernels/VariantKernels.h"

using namespace primitives_detail;

PrimitiveStatus VectorSetInt16A(std::int16_t value, std::int16_t* dst, std::int32_t len) {
  if (const PrimitiveStatus status = CheckVectorArguments({dst}, len); status != StatusOk) {
    return status;
  }
  len < 10240 ? FillInt16KernelA(value, dst, len) : FillInt16StreamKernelA(value, dst, len);
  return StatusOk;
}

PrimitiveStatus RoiFillInt16A(std::int16_t value, std::int16_t* dst, std::int32_t dstStep,
                              std::int32_t width, std::int32_t height) {
  if (const PrimitiveStatus status = CheckBlockArguments({dst}, width, height, {dstStep});
      status != StatusOk) {
    return status;
  }
  auto* row = reinterpret_cast<std::uint8_t*>(dst);
  for (std::int32_t r = 0; r < height; ++r, row += dstStep) {
    FillInt16StreamRowA(value, reinterpret_cast<std::int16_t*>(row), width);
  }
  return StatusOk;
}
