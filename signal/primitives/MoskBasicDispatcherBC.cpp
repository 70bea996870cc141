// Variants B and C of the 16-bit fill (the same front-end and kernel) and
// the set-B 2-D fill.
#include <cstring>

#include "signal/primitives/ArgumentChecks.h"
#include "signal/primitives/MoskBasicVariants.h"
#include "signal/primitives/kernels/VariantKernels.h"

using namespace primitives_detail;

namespace {

PrimitiveStatus SetInt16BC(std::int16_t value, std::int16_t* dst, std::int32_t len) {
  if (const PrimitiveStatus status = CheckVectorArguments({dst}, len); status != StatusOk) {
    return status;
  }
  FillInt16KernelSse2(value, dst, len);
  return StatusOk;
}

}  // namespace

PrimitiveStatus VectorSetInt16B(std::int16_t value, std::int16_t* dst, std::int32_t len) {
  return SetInt16BC(value, dst, len);
}

PrimitiveStatus VectorSetInt16C(std::int16_t value, std::int16_t* dst, std::int32_t len) {
  return SetInt16BC(value, dst, len);
}

PrimitiveStatus RoiFillInt16B(std::int16_t value, std::int16_t* dst, std::int32_t dstStep,
                              std::int32_t width, std::int32_t height) {
  if (const PrimitiveStatus status = CheckBlockArguments({dst}, width, height, {dstStep});
      status != StatusOk) {
    return status;
  }
  std::uint8_t pattern[32];
  for (int k = 0; k < 32; k += 2) {
    std::memcpy(pattern + k, &value, 2);
  }
  const bool stream = std::int64_t{height} * width * 2 >= 180001;
  auto* row = reinterpret_cast<std::uint8_t*>(dst);
  for (std::int32_t r = 0; r < height; ++r, row += dstStep) {
    FillPatternRowSse2(pattern, row, std::int64_t{width} * 2, stream);
  }
  return StatusOk;
}
