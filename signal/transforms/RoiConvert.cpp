// Strided 2-D conversions between 16-bit or 8-bit samples and floats.
//
// The portable conversions round with exact arithmetic instead of switching
// the floating-point unit's rounding mode, so the caller's control state is
// never touched. Elements are moved with memcpy: a byte step may leave a
// row's elements unaligned.
#include <cstdint>
#include <cstring>

#include "signal/primitives/ArgumentChecks.h"
#include "signal/transforms/MoskDispatcher.h"

namespace {

template <typename T>
T LoadElement(const unsigned char* row, std::int64_t x) {
  T value;
  std::memcpy(&value, row + x * static_cast<std::int64_t>(sizeof(T)), sizeof(T));
  return value;
}

template <typename T>
void StoreElement(unsigned char* row, std::int64_t x, T value) {
  std::memcpy(row + x * static_cast<std::int64_t>(sizeof(T)), &value, sizeof(T));
}

// Converts `height` rows of `width` elements; row r of a block starts at
// base + r * step, the product taken in 64 bits.
template <typename Src, typename Dst, typename Convert>
void ConvertRows(const void* src, std::int32_t srcStep, void* dst, std::int32_t dstStep,
                 std::int64_t width, std::int64_t height, Convert convert) {
  const auto* srcRow = static_cast<const unsigned char*>(src);
  auto* dstRow = static_cast<unsigned char*>(dst);
  for (std::int64_t r = 0; r < height; ++r) {
    for (std::int64_t x = 0; x < width; ++x) {
      StoreElement<Dst>(dstRow, x, convert(LoadElement<Src>(srcRow, x)));
    }
    srcRow += srcStep;
    dstRow += dstStep;
  }
}

// The body of the three conversions: checks (pointers, then sizes, then
// steps), then the rows. Packed rows on both sides are converted as one row
// of width * height elements.
template <typename Src, typename Dst, typename Convert>
PrimitiveStatus ConvertBlock(const Src* src, std::int32_t srcStep, Dst* dst, std::int32_t dstStep,
                             std::int32_t width, std::int32_t height, Convert convert) {
  if (const PrimitiveStatus status =
          primitives_detail::CheckBlockArguments({src, dst}, width, height, {srcStep, dstStep});
      status != StatusOk) {
    return status;
  }
  std::int64_t rowWidth = width;
  std::int64_t rows = height;
  if (srcStep == static_cast<std::int64_t>(sizeof(Src)) * rowWidth &&
      dstStep == static_cast<std::int64_t>(sizeof(Dst)) * rowWidth) {
    rowWidth *= rows;
    rows = 1;
  }
  ConvertRows<Src, Dst>(src, srcStep, dst, dstStep, rowWidth, rows, convert);
  return StatusOk;
}

// A float to an integer in lo..hi: x >= hi gives hi; x not above lo (NaN
// included) gives lo; otherwise rndMode 1 rounds to nearest with ties to
// even and any other mode truncates toward zero.
template <std::int32_t Hi, std::int32_t Lo>
std::int32_t SaturateFloat(float x, std::int32_t rndMode) {
  constexpr float hi = static_cast<float>(Hi);
  constexpr float lo = static_cast<float>(Lo);
  if (x >= hi) {
    return Hi;
  }
  if (!(x > lo)) {
    return Lo;
  }
  if (rndMode != 1) {
    return static_cast<std::int32_t>(x);
  }
  // x +/- 0.5 is exact in double for every float in range that matters (a
  // tiny x rounds to +/-0.5, which still truncates to 0). A sum that is an
  // odd integer came from a tie: step toward zero to the even neighbour.
  const double sum = x >= 0.0f ? static_cast<double>(x) + 0.5 : static_cast<double>(x) - 0.5;
  std::int32_t t = static_cast<std::int32_t>(sum);
  if ((t & 1) != 0 && static_cast<double>(t) == sum) {
    t += x >= 0.0f ? -1 : 1;
  }
  return t;
}

}  // namespace

PrimitiveStatus RoiConvertInt16ToFloatPortable(const std::int16_t* src, std::int32_t srcStep,
                                               float* dst, std::int32_t dstStep, std::int32_t width,
                                               std::int32_t height) {
  return ConvertBlock(src, srcStep, dst, dstStep, width, height,
                      [](std::int16_t x) { return static_cast<float>(x); });
}

PrimitiveStatus RoiConvertFloatToInt16Portable(const float* src, std::int32_t srcStep,
                                               std::int16_t* dst, std::int32_t dstStep,
                                               std::int32_t width, std::int32_t height,
                                               std::int32_t rndMode) {
  return ConvertBlock(src, srcStep, dst, dstStep, width, height, [rndMode](float x) {
    return static_cast<std::int16_t>(SaturateFloat<32767, -32768>(x, rndMode));
  });
}

PrimitiveStatus RoiConvertFloatToInt8Portable(const float* src, std::int32_t srcStep,
                                              std::int8_t* dst, std::int32_t dstStep,
                                              std::int32_t width, std::int32_t height,
                                              std::int32_t rndMode) {
  return ConvertBlock(src, srcStep, dst, dstStep, width, height, [rndMode](float x) {
    return static_cast<std::int8_t>(SaturateFloat<127, -128>(x, rndMode));
  });
}
