// Variant A of the 16-bit block add, subtract and multiply and of the 16-bit
// fill, and the set-A 2-D fill.
#include "signal/primitives/ArgumentChecks.h"
#include "signal/primitives/Int16BlockVariant.h"
#include "signal/primitives/MoskBasicVariants.h"
#include "signal/primitives/RoundingControl.h"
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

namespace {

// The set-A row kernels of each operation, by scale case.
constexpr Int16RowKernels kAddRowsA{&AddInt16SatRowA, &AddInt16HalfRowA, &AddInt16ShiftDownRowA,
                                    &AddInt16ShiftUpRowA, &AddInt16SignRowA};
constexpr Int16RowKernels kSubRowsA{&SubInt16SatRowA, &SubInt16HalfRowA, &SubInt16ShiftDownRowA,
                                    &SubInt16ShiftUpRowA, &SubInt16SignRowA};
constexpr Int16RowKernels kMulRowsA{&MulInt16SatRowA, &MulInt16HalfRowA, &MulInt16ShiftDownRowA,
                                    &MulInt16ShiftUpRowA, &MulInt16SignRowA};

}  // namespace

KESTRUNE_INT16_BLOCK_VARIANT(RoiAddInt16InPlaceScaledA) {
  return Int16BlockVariant(Int16Op::Add, src, srcStep, srcDst, srcDstStep, width, height, sf,
                           kAddRowsA, &RoiFillInt16A);
}

KESTRUNE_INT16_BLOCK_VARIANT(RoiSubInt16InPlaceScaledA) {
  return Int16BlockVariant(Int16Op::Sub, src, srcStep, srcDst, srcDstStep, width, height, sf,
                           kSubRowsA, &RoiFillInt16A);
}

KESTRUNE_INT16_BLOCK_VARIANT(RoiMulInt16InPlaceScaledA) {
  return Int16BlockVariant(Int16Op::Mul, src, srcStep, srcDst, srcDstStep, width, height, sf,
                           kMulRowsA, &RoiFillInt16A);
}

PrimitiveStatus RoiDivInt16ScaledRowsA(const std::int16_t* src, std::int32_t srcStep,
                                       const std::int16_t* src2, std::int32_t src2Step,
                                       std::int16_t* dst, std::int32_t dstStep, std::int32_t width,
                                       std::int32_t height, std::int32_t sf) {
  return Int16DivisionRows(&DivInt16ScaledRowA, src, srcStep, src2, src2Step, dst, dstStep, width,
                           height, sf);
}

PrimitiveStatus RoiDivInt16ScaledA(const std::int16_t* src, std::int32_t srcStep,
                                   const std::int16_t* src2, std::int32_t src2Step,
                                   std::int16_t* dst, std::int32_t dstStep, std::int32_t width,
                                   std::int32_t height, std::int32_t sf) {
  if (const PrimitiveStatus status =
          CheckInt16DivisionArguments(src, srcStep, src2, src2Step, dst, dstStep, width, height);
      status != StatusOk) {
    return status;
  }
  return RoiDivInt16ScaledRowsA(src, srcStep, src2, src2Step, dst, dstStep, width, height, sf);
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
  CopyRowKernelA(src, dst, nBytes);
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

namespace {

// The conversions of set A: the portable checks, one row of width * height
// elements when both blocks are packed, else row by row; the rounded
// narrowings (mode 2) run with the x87 rounding set to nearest for the
// call and put the caller's rounding back.
template <typename From, typename To>
PrimitiveStatus ConvertBlockA(BlockConversion kind, const From* src, std::int32_t srcStep, To* dst,
                              std::int32_t dstStep, std::int32_t width, std::int32_t height,
                              bool rounded) {
  if (const PrimitiveStatus status =
          CheckBlockArguments({src, dst}, width, height, {srcStep, dstStep});
      status != StatusOk) {
    return status;
  }
  const std::uint32_t saved = rounded ? FpuSetControlBits(kFpuRoundNearest, kFpuRoundingMask) : 0;
  std::int64_t rows = height;
  std::int64_t columns = width;
  if (srcStep == columns * static_cast<std::int64_t>(sizeof(From)) &&
      dstStep == columns * static_cast<std::int64_t>(sizeof(To))) {
    columns *= rows;
    rows = 1;
  }
  const auto* s = reinterpret_cast<const std::uint8_t*>(src);
  auto* d = reinterpret_cast<std::uint8_t*>(dst);
  for (std::int64_t r = 0; r < rows; ++r) {
    ConvertRowA(kind, s + r * srcStep, d + r * dstStep, columns);
  }
  if (rounded && (saved & kFpuRoundingMask) != kFpuRoundNearest) {
    FpuRestoreControlWord(saved);
  }
  return StatusOk;
}

}  // namespace

PrimitiveStatus RoiConvertUInt8ToFloatA(const std::uint8_t* src, std::int32_t srcStep, float* dst,
                                        std::int32_t dstStep, std::int32_t width,
                                        std::int32_t height) {
  return ConvertBlockA(BlockConversion::UInt8ToFloat, src, srcStep, dst, dstStep, width, height,
                       false);
}

PrimitiveStatus RoiConvertUInt8ToInt16A(const std::uint8_t* src, std::int32_t srcStep,
                                        std::int16_t* dst, std::int32_t dstStep, std::int32_t width,
                                        std::int32_t height) {
  return ConvertBlockA(BlockConversion::UInt8ToInt16, src, srcStep, dst, dstStep, width, height,
                       false);
}

PrimitiveStatus RoiConvertUInt8ToInt32A(const std::uint8_t* src, std::int32_t srcStep,
                                        std::int32_t* dst, std::int32_t dstStep, std::int32_t width,
                                        std::int32_t height) {
  return ConvertBlockA(BlockConversion::UInt8ToInt32, src, srcStep, dst, dstStep, width, height,
                       false);
}

PrimitiveStatus RoiConvertInt16ToUInt8A(const std::int16_t* src, std::int32_t srcStep,
                                        std::uint8_t* dst, std::int32_t dstStep, std::int32_t width,
                                        std::int32_t height, std::int32_t mode) {
  return ConvertBlockA(
      mode == 2 ? BlockConversion::Int16ToUInt8Rounded : BlockConversion::Int16ToUInt8Shift, src,
      srcStep, dst, dstStep, width, height, mode == 2);
}

PrimitiveStatus RoiConvertInt32ToUInt8A(const std::int32_t* src, std::int32_t srcStep,
                                        std::uint8_t* dst, std::int32_t dstStep, std::int32_t width,
                                        std::int32_t height, std::int32_t mode) {
  return ConvertBlockA(
      mode == 2 ? BlockConversion::Int32ToUInt8Rounded : BlockConversion::Int32ToUInt8Shift, src,
      srcStep, dst, dstStep, width, height, mode == 2);
}
