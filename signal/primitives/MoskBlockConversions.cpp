// Portable variants and pointer variables of the 32-bit block fill, the block
// copies and the sample-width conversions.
//
// The narrowing conversions use exact integer formulas: the shift mapping
// ((x - (x >> 8)) >> 8 or >> 24) + 128 and, for mode 2, the nearest integer
// to (x + 2^15) / 257 or (x + 2^31) / 16843009, which needs no rounding
// control because both divisors are odd (no input lies halfway).
#include <cstring>

#include "signal/primitives/ArgumentChecks.h"
#include "signal/primitives/LibCDispatcher.h"
#include "signal/primitives/MoskBasicDispatcher.h"
#include "signal/primitives/MoskBasicVariants.h"
#include "signal/primitives/ScaledArithmetic.h"

namespace {

using namespace primitives_detail;

// Copies a block row by row; the steps are added as signed byte offsets.
template <typename T>
PrimitiveStatus CopyBlock(const T* src, std::int32_t srcStep, T* dst, std::int32_t dstStep,
                          std::int32_t width, std::int32_t height) {
  // The steps are not checked: any value is added per row.
  if (const PrimitiveStatus status = CheckBlockArguments({src, dst}, width, height);
      status != StatusOk) {
    return status;
  }
  const auto* srcBytes = reinterpret_cast<const unsigned char*>(src);
  auto* dstBytes = reinterpret_cast<unsigned char*>(dst);
  const std::int64_t rowBytes = std::int64_t{width} * static_cast<std::int64_t>(sizeof(T));
  for (std::int64_t row = 0; row < height; ++row) {
    CopyBytesKernel(RowAt(srcBytes, row, srcStep), RowAt(dstBytes, row, dstStep), rowBytes);
  }
  return StatusOk;
}

// Converts a block element by element. Packed rows on both sides are
// processed as one row of width * height elements (a 64-bit count).
template <typename From, typename To, typename Convert>
PrimitiveStatus ConvertBlock(const From* src, std::int32_t srcStep, To* dst, std::int32_t dstStep,
                             std::int32_t width, std::int32_t height, Convert convert) {
  if (const PrimitiveStatus status =
          CheckBlockArguments({src, dst}, width, height, {srcStep, dstStep});
      status != StatusOk) {
    return status;
  }
  const auto* srcBytes = reinterpret_cast<const unsigned char*>(src);
  auto* dstBytes = reinterpret_cast<unsigned char*>(dst);
  std::int64_t rows = height;
  std::int64_t columns = width;
  if (srcStep == columns * static_cast<std::int64_t>(sizeof(From)) &&
      dstStep == columns * static_cast<std::int64_t>(sizeof(To))) {
    columns *= rows;
    rows = 1;
  }
  for (std::int64_t row = 0; row < rows; ++row) {
    const unsigned char* in = RowAt(srcBytes, row, srcStep);
    unsigned char* out = RowAt(dstBytes, row, dstStep);
    ConvertBlocks(reinterpret_cast<const From*>(in), reinterpret_cast<To*>(out), columns, convert);
  }
  return StatusOk;
}

// Shift mapping of the narrowing conversions: x - (x >> 8) cannot overflow,
// and the shifted value lies in -128..127, so the byte is that value + 128.
template <int kShift>
std::uint8_t ShiftToByte(std::int32_t x) {
  return static_cast<std::uint8_t>(((x - (x >> 8)) >> kShift) + 128);
}

}  // namespace

PrimitiveStatus RoiSetInt32Portable(std::int32_t value, std::int32_t* dst, std::int32_t dstStep,
                                    std::int32_t width, std::int32_t height) {
  return FillBlockChecked(value, dst, dstStep, width, height);
}

PrimitiveStatus RoiCopyUInt8Portable(const std::uint8_t* src, std::int32_t srcStep,
                                     std::uint8_t* dst, std::int32_t dstStep, std::int32_t width,
                                     std::int32_t height) {
  return CopyBlock(src, srcStep, dst, dstStep, width, height);
}

PrimitiveStatus RoiCopyInt16Portable(const std::int16_t* src, std::int32_t srcStep,
                                     std::int16_t* dst, std::int32_t dstStep, std::int32_t width,
                                     std::int32_t height) {
  return CopyBlock(src, srcStep, dst, dstStep, width, height);
}

PrimitiveStatus RoiCopyInt32Portable(const std::int32_t* src, std::int32_t srcStep,
                                     std::int32_t* dst, std::int32_t dstStep, std::int32_t width,
                                     std::int32_t height) {
  return CopyBlock(src, srcStep, dst, dstStep, width, height);
}

PrimitiveStatus RoiConvertUInt8ToFloatPortable(const std::uint8_t* src, std::int32_t srcStep,
                                               float* dst, std::int32_t dstStep, std::int32_t width,
                                               std::int32_t height) {
  return ConvertBlock(src, srcStep, dst, dstStep, width, height,
                      [](std::uint8_t x) { return static_cast<float>(x); });
}

PrimitiveStatus RoiConvertUInt8ToInt16Portable(const std::uint8_t* src, std::int32_t srcStep,
                                               std::int16_t* dst, std::int32_t dstStep,
                                               std::int32_t width, std::int32_t height) {
  return ConvertBlock(src, srcStep, dst, dstStep, width, height, [](std::uint8_t x) {
    return static_cast<std::int16_t>(std::int32_t{x} * 257 - 32768);
  });
}

PrimitiveStatus RoiConvertUInt8ToInt32Portable(const std::uint8_t* src, std::int32_t srcStep,
                                               std::int32_t* dst, std::int32_t dstStep,
                                               std::int32_t width, std::int32_t height) {
  // The byte in all four bytes with the top bit inverted.
  return ConvertBlock(src, srcStep, dst, dstStep, width, height, [](std::uint8_t x) {
    return static_cast<std::int32_t>(std::uint32_t{x} * 0x01010101u + 0x80000000u);
  });
}

PrimitiveStatus RoiConvertInt16ToUInt8Portable(const std::int16_t* src, std::int32_t srcStep,
                                               std::uint8_t* dst, std::int32_t dstStep,
                                               std::int32_t width, std::int32_t height,
                                               std::int32_t mode) {
  if (mode == 2) {
    // v = x + 32768 in 0..65535; 257 is odd, so (v + 128) / 257 is the
    // nearest integer to v / 257 with no ties.
    return ConvertBlock(src, srcStep, dst, dstStep, width, height, [](std::int16_t x) {
      return static_cast<std::uint8_t>((std::int32_t{x} + 32768 + 128) / 257);
    });
  }
  return ConvertBlock(src, srcStep, dst, dstStep, width, height,
                      [](std::int16_t x) { return ShiftToByte<8>(x); });
}

PrimitiveStatus RoiConvertInt32ToUInt8Portable(const std::int32_t* src, std::int32_t srcStep,
                                               std::uint8_t* dst, std::int32_t dstStep,
                                               std::int32_t width, std::int32_t height,
                                               std::int32_t mode) {
  if (mode == 2) {
    // v = x + 2^31 in 0..2^32 - 1; 16843009 = 0x01010101 is odd, so
    // (v + 8421504) / 16843009 is the nearest integer to v / 16843009.
    return ConvertBlock(src, srcStep, dst, dstStep, width, height, [](std::int32_t x) {
      const std::uint64_t v = static_cast<std::uint32_t>(x) ^ 0x80000000u;
      return static_cast<std::uint8_t>((v + 8421504u) / 16843009u);
    });
  }
  return ConvertBlock(src, srcStep, dst, dstStep, width, height,
                      [](std::int32_t x) { return ShiftToByte<24>(x); });
}

KESTRUNE_DEFINE_PRIMITIVE_WITH_VARIANTS(RoiSetInt32, VariantFamily::VariantsBA, &RoiSetInt32A,
                                        &RoiSetInt32B, nullptr);
KESTRUNE_DEFINE_PRIMITIVE_WITH_VARIANTS(RoiCopyUInt8, VariantFamily::FourVariants, &RoiCopyUInt8A,
                                        &RoiCopyUInt8B, &RoiCopyUInt8C);
KESTRUNE_DEFINE_PRIMITIVE_WITH_VARIANTS(RoiCopyInt16, VariantFamily::FourVariants, &RoiCopyInt16A,
                                        &RoiCopyInt16B, &RoiCopyInt16C);
KESTRUNE_DEFINE_PRIMITIVE_WITH_VARIANTS(RoiCopyInt32, VariantFamily::FourVariants, &RoiCopyInt32A,
                                        &RoiCopyInt32B, &RoiCopyInt32C);
KESTRUNE_DEFINE_PRIMITIVE_WITH_VARIANTS(RoiConvertUInt8ToFloat, VariantFamily::FourVariants,
                                        &RoiConvertUInt8ToFloatA, &RoiConvertUInt8ToFloatB,
                                        &RoiConvertUInt8ToFloatC);
KESTRUNE_DEFINE_PRIMITIVE_WITH_VARIANTS(RoiConvertUInt8ToInt16, VariantFamily::FourVariants,
                                        &RoiConvertUInt8ToInt16A, &RoiConvertUInt8ToInt16B,
                                        &RoiConvertUInt8ToInt16C);
KESTRUNE_DEFINE_PRIMITIVE_WITH_VARIANTS(RoiConvertUInt8ToInt32, VariantFamily::FourVariants,
                                        &RoiConvertUInt8ToInt32A, &RoiConvertUInt8ToInt32B,
                                        &RoiConvertUInt8ToInt32C);
KESTRUNE_DEFINE_PRIMITIVE_WITH_VARIANTS(RoiConvertInt16ToUInt8, VariantFamily::FourVariants,
                                        &RoiConvertInt16ToUInt8A, &RoiConvertInt16ToUInt8B,
                                        &RoiConvertInt16ToUInt8C);
KESTRUNE_DEFINE_PRIMITIVE_WITH_VARIANTS(RoiConvertInt32ToUInt8, VariantFamily::FourVariants,
                                        &RoiConvertInt32ToUInt8A, &RoiConvertInt32ToUInt8B,
                                        &RoiConvertInt32ToUInt8C);
