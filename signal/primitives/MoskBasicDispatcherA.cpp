// Variant A of the 16-bit block add, subtract and multiply and of the 16-bit
// fill, and the set-A 2-D fill.
#include "signal/primitives/ArgumentChecks.h"
#include "signal/primitives/Int16BlockVariant.h"
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

KESTRUNE_INT16_BLOCK_VARIANT(RoiAddInt16InPlaceScaledA) {
  return Int16BlockVariant(Int16Op::Add, src, srcStep, srcDst, srcDstStep, width, height, sf,
                           &Int16RowKernelA, &RoiFillInt16A);
}

KESTRUNE_INT16_BLOCK_VARIANT(RoiSubInt16InPlaceScaledA) {
  return Int16BlockVariant(Int16Op::Sub, src, srcStep, srcDst, srcDstStep, width, height, sf,
                           &Int16RowKernelA, &RoiFillInt16A);
}

KESTRUNE_INT16_BLOCK_VARIANT(RoiMulInt16InPlaceScaledA) {
  return Int16BlockVariant(Int16Op::Mul, src, srcStep, srcDst, srcDstStep, width, height, sf,
                           &Int16RowKernelA, &RoiFillInt16A);
}

PrimitiveStatus RoiDivInt16ScaledA(const std::int16_t* src, std::int32_t srcStep,
                                   const std::int16_t* src2, std::int32_t src2Step,
                                   std::int16_t* dst, std::int32_t dstStep, std::int32_t width,
                                   std::int32_t height, std::int32_t sf) {
  return Int16DivisionVariant(&DivInt16ScaledRowA, src, srcStep, src2, src2Step, dst, dstStep,
                              width, height, sf);
}

KESTRUNE_INT16_BLOCK_VARIANT(RoiDivInt16InPlaceScaledA) {
  return RoiDivInt16ScaledA(src, srcStep, srcDst, srcDstStep, srcDst, srcDstStep, width, height,
                            sf);
}

PrimitiveStatus RoiSetInt32A(std::int32_t value, std::int32_t* dst, std::int32_t dstStep,
                             std::int32_t width, std::int32_t height) {
  if (const PrimitiveStatus status = CheckBlockArguments({dst}, width, height, {dstStep});
      status != StatusOk) {
    return status;
  }
  auto* row = reinterpret_cast<std::uint8_t*>(dst);
  for (std::int32_t r = 0; r < height; ++r, row += dstStep) {
    FillElementsKernelA(row, &value, 4, std::int64_t{width} * 4);
  }
  return StatusOk;
}

namespace {

// Set A's row copy always streams.
void CopyRowA(const void* src, void* dst, std::int64_t nBytes, bool) {
  CopyBytesKernelAMedium(src, dst, nBytes);
}

}  // namespace

#define KESTRUNE_DEFINE_BLOCK_COPY_A(name, T)                                         \
  KESTRUNE_DECLARE_BLOCK_COPY(name, T) {                                              \
    return BlockCopyVariant(src, srcStep, dst, dstStep, width, height, 0, &CopyRowA); \
  }
KESTRUNE_DEFINE_BLOCK_COPY_A(RoiCopyUInt8A, std::uint8_t)
KESTRUNE_DEFINE_BLOCK_COPY_A(RoiCopyInt16A, std::int16_t)
KESTRUNE_DEFINE_BLOCK_COPY_A(RoiCopyInt32A, std::int32_t)
#undef KESTRUNE_DEFINE_BLOCK_COPY_A
