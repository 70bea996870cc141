// Variants B and C of the 16-bit block add, subtract and multiply and of the
// 16-bit fill, and the set-B and set-C 2-D fills (the same front-ends; the
// arithmetic calls each set's own row kernels).
#include <cstring>

#include "signal/primitives/ArgumentChecks.h"
#include "signal/primitives/Int16BlockVariant.h"
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

namespace {

PrimitiveStatus RoiFillInt16BC(std::int16_t value, std::int16_t* dst, std::int32_t dstStep,
                               std::int32_t width, std::int32_t height) {
  if (const PrimitiveStatus status = CheckBlockArguments({dst}, width, height, {dstStep});
      status != StatusOk) {
    return status;
  }
  std::uint8_t pattern[32];
  for (int k = 0; k < 32; k += 2) {
    std::memcpy(pattern + k, &value, 2);
  }
  const bool stream = std::int64_t{height} * width * 2 > 180000;
  auto* row = reinterpret_cast<std::uint8_t*>(dst);
  for (std::int32_t r = 0; r < height; ++r, row += dstStep) {
    FillPatternRowSse2(pattern, row, std::int64_t{width} * 2, stream);
  }
  return StatusOk;
}

}  // namespace

PrimitiveStatus RoiFillInt16B(std::int16_t value, std::int16_t* dst, std::int32_t dstStep,
                              std::int32_t width, std::int32_t height) {
  return RoiFillInt16BC(value, dst, dstStep, width, height);
}

PrimitiveStatus RoiFillInt16C(std::int16_t value, std::int16_t* dst, std::int32_t dstStep,
                              std::int32_t width, std::int32_t height) {
  return RoiFillInt16BC(value, dst, dstStep, width, height);
}

#define KESTRUNE_INT16_BLOCK_BODY(op, kernels, fill)                                         \
  return Int16BlockVariant(Int16Op::op, src, srcStep, srcDst, srcDstStep, width, height, sf, \
                           &kernels, &fill)

KESTRUNE_INT16_BLOCK_VARIANT(RoiAddInt16InPlaceScaledB) {
  KESTRUNE_INT16_BLOCK_BODY(Add, Int16RowKernelB, RoiFillInt16B);
}
KESTRUNE_INT16_BLOCK_VARIANT(RoiAddInt16InPlaceScaledC) {
  KESTRUNE_INT16_BLOCK_BODY(Add, Int16RowKernelC, RoiFillInt16C);
}
KESTRUNE_INT16_BLOCK_VARIANT(RoiSubInt16InPlaceScaledB) {
  KESTRUNE_INT16_BLOCK_BODY(Sub, Int16RowKernelB, RoiFillInt16B);
}
KESTRUNE_INT16_BLOCK_VARIANT(RoiSubInt16InPlaceScaledC) {
  KESTRUNE_INT16_BLOCK_BODY(Sub, Int16RowKernelC, RoiFillInt16C);
}
KESTRUNE_INT16_BLOCK_VARIANT(RoiMulInt16InPlaceScaledB) {
  KESTRUNE_INT16_BLOCK_BODY(Mul, Int16RowKernelB, RoiFillInt16B);
}
KESTRUNE_INT16_BLOCK_VARIANT(RoiMulInt16InPlaceScaledC) {
  KESTRUNE_INT16_BLOCK_BODY(Mul, Int16RowKernelC, RoiFillInt16C);
}

#undef KESTRUNE_INT16_BLOCK_BODY
