// Strided 2-D conversions between 16-bit or 8-bit samples and floats.
//
// The portable conversions round with exact arithmetic instead of switching
// the floating-point unit's rounding mode, so the caller's control state is
// never touched. Elements are moved with memcpy: a byte step may leave a
// row's elements unaligned.
//
// The audio path converts one channel of interleaved 16-bit stereo frames to
// and from packed floats: a block one element wide whose 16-bit side steps
// by 4 bytes. Those columns have vector paths; their results are the same,
// bit for bit, as the element-by-element ones. Writing such a column reads
// and writes back unchanged the other channel's bytes between its elements
// (ConvertFloatGroupsToInt16).
#include <emmintrin.h>

#include <cstdint>
#include <cstring>
#include <utility>

#include "signal/primitives/ArgumentChecks.h"
#include "signal/primitives/kernels/Int16Column.h"
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

// A block one element wide: `height` elements, one per row.
template <typename Src, typename Dst, typename Convert>
void ConvertColumn(const void* src, std::int32_t srcStep, void* dst, std::int32_t dstStep,
                   std::int64_t height, Convert convert) {
  const auto* from = static_cast<const unsigned char*>(src);
  auto* to = static_cast<unsigned char*>(dst);
  for (std::int64_t r = 0; r < height; ++r) {
    StoreElement<Dst>(to + r * dstStep, 0, convert(LoadElement<Src>(from + r * srcStep, 0)));
  }
}

// A column of 16-bit samples 4 bytes apart into packed floats, four at a
// time (Int16Column.h); the sign-extended samples convert exactly.
void ConvertInt16ColumnStep4(const std::int16_t* src, float* dst, std::int64_t height) {
  const auto* from = reinterpret_cast<const unsigned char*>(src);
  const std::int64_t r =
      kernels_detail::ForEachInt16ColumnGroup(height, [from, dst](std::int64_t row) {
        _mm_storeu_ps(dst + row, _mm_cvtepi32_ps(kernels_detail::LoadInt16Column4(from, row)));
      });
  ConvertColumn<std::int16_t, float>(from + 4 * r, 4, dst + r, 4, height - r,
                                     [](std::int16_t x) { return static_cast<float>(x); });
}

// SaturateFloat<32767, -32768> on four floats at once, as 32-bit integers.
// The bounds first: max(x, lo) gives lo for NaN (max keeps its second
// operand then), so NaN and everything not above -32768 become -32768 and
// everything from 32767 up becomes 32767, which then round to themselves.
// Then truncation (the conversion truncates in every rounding mode), and
// with rndMode 1 a step away from zero when the fraction x - trunc(x), exact
// as x and its truncation share their exponent or the truncation is 0, is
// above one half, or is one half and the truncated value odd.
// `nearestInUse`: the thread's MXCSR rounds to nearest, so the converting
// instruction itself gives the rounding to nearest with ties to even.
[[gnu::always_inline]] inline __m128i SaturateFloat4ToInt16Range(__m128 x, bool roundToNearest,
                                                                 bool nearestInUse) {
  x = _mm_min_ps(_mm_max_ps(x, _mm_set1_ps(-32768.0f)), _mm_set1_ps(32767.0f));
  if (roundToNearest && nearestInUse)
    return _mm_cvtps_epi32(x);
  const __m128i whole = _mm_cvttps_epi32(x);
  if (!roundToNearest)
    return whole;
  const __m128 fraction = _mm_sub_ps(x, _mm_cvtepi32_ps(whole));
  // Non-negative floats order as their bit patterns do, so |fraction| > 0.5
  // is an integer comparison, and adding the odd bit of the truncated value
  // turns a tie into "above" exactly when that value is odd.
  const __m128i magnitude = _mm_and_si128(_mm_castps_si128(fraction), _mm_set1_epi32(0x7FFFFFFF));
  const __m128i odd = _mm_and_si128(whole, _mm_set1_epi32(1));
  const __m128i away =
      _mm_cmpgt_epi32(_mm_add_epi32(magnitude, odd), _mm_castps_si128(_mm_set1_ps(0.5f)));
  // +1 for a positive x, -1 for a negative one (its sign bit spread, or 1).
  const __m128i step = _mm_or_si128(_mm_srai_epi32(_mm_castps_si128(x), 31), _mm_set1_epi32(1));
  return _mm_add_epi32(whole, _mm_and_si128(away, step));
}

// The 16-bit lanes k... of `packed` to row + k x step, one by one.
template <int... k>
[[gnu::always_inline]] inline void StoreLanes(__m128i packed, unsigned char* row, std::int32_t step,
                                              std::integer_sequence<int, k...>) {
  (StoreElement(row + std::int64_t{k} * step, 0,
                static_cast<std::int16_t>(_mm_extract_epi16(packed, k))),
   ...);
}

// The groups of eight rows of ConvertFloatColumnToInt16, with the rounding
// fixed (SaturateFloat4ToInt16Range's two switches); returns the rows done.
// Each group reads its eight floats before it writes, and the groups go in
// order from the first row.
//
// With `dstStep` 4 (one channel of 16-bit stereo frames) a group is two
// 16-byte stores: each 32-bit lane takes its row's new sample in one half
// and keeps the bytes of the other half, read just before, as they are. So
// the bytes between the column's elements are read and written back
// unchanged, and nothing else may write them meanwhile; the callers convert
// one buffer's channels one after another on one thread. A group from row r
// covers bytes 4r .. 4r + 31, which stay within the column (its last
// element ends at byte 4(height - 1) + 1) while r + 8 < height; the last
// eight rows of a column taller than eight go in a group that starts two
// bytes earlier (the samples in the lanes' high halves), which ends on the
// last element. Other steps, and a column of exactly eight rows, store each
// sample on its own, so only the column's two bytes of each row are written.
template <bool RoundToNearest, bool NearestInUse>
std::int64_t ConvertFloatGroupsToInt16(const float* src, unsigned char* to, std::int32_t dstStep,
                                       std::int64_t height) {
  const auto convertFour = [src](std::int64_t r) {
    return SaturateFloat4ToInt16Range(_mm_loadu_ps(src + r), RoundToNearest, NearestInUse);
  };
  // The values fit 16 bits: as int32 lanes their low halves are the samples.
  const __m128i lowHalves = _mm_set1_epi32(0xFFFF);
  std::int64_t r = 0;
  if (dstStep == 4) {
    for (; r + 8 < height; r += 8) {
      const __m128i first = convertFour(r);
      const __m128i second = convertFour(r + 4);
      auto* group = reinterpret_cast<__m128i*>(to + 4 * r);
      const __m128i kept0 = _mm_andnot_si128(lowHalves, _mm_loadu_si128(group));
      const __m128i kept1 = _mm_andnot_si128(lowHalves, _mm_loadu_si128(group + 1));
      _mm_storeu_si128(group, _mm_or_si128(kept0, _mm_and_si128(first, lowHalves)));
      _mm_storeu_si128(group + 1, _mm_or_si128(kept1, _mm_and_si128(second, lowHalves)));
    }
    if (r >= 1 && r + 8 == height) {
      const __m128i first = _mm_slli_epi32(convertFour(r), 16);
      const __m128i second = _mm_slli_epi32(convertFour(r + 4), 16);
      auto* group = reinterpret_cast<__m128i*>(to + 4 * r - 2);
      const __m128i kept0 = _mm_and_si128(lowHalves, _mm_loadu_si128(group));
      const __m128i kept1 = _mm_and_si128(lowHalves, _mm_loadu_si128(group + 1));
      _mm_storeu_si128(group, _mm_or_si128(kept0, first));
      _mm_storeu_si128(group + 1, _mm_or_si128(kept1, second));
      r += 8;
    }
  }
  for (; r + 8 <= height; r += 8) {
    // The pack does not saturate: the values fit already.
    const __m128i packed = _mm_packs_epi32(convertFour(r), convertFour(r + 4));
    StoreLanes(packed, to + r * dstStep, dstStep, std::make_integer_sequence<int, 8>{});
  }
  return r;
}

// Packed floats into a column of 16-bit samples `dstStep` bytes apart: the
// groups of eight, then the last rows one by one.
template <typename Convert>
void ConvertFloatColumnToInt16(const float* src, std::int16_t* dst, std::int32_t dstStep,
                               std::int64_t height, std::int32_t rndMode, Convert convert) {
  auto* to = reinterpret_cast<unsigned char*>(dst);
  // Read only: the caller's control state is left as it is.
  const bool nearestInUse = (_mm_getcsr() & 0x6000u) == 0;
  std::int64_t r = 0;
  if (rndMode != 1) {
    r = ConvertFloatGroupsToInt16<false, false>(src, to, dstStep, height);
  } else if (nearestInUse) {
    r = ConvertFloatGroupsToInt16<true, true>(src, to, dstStep, height);
  } else {
    r = ConvertFloatGroupsToInt16<true, false>(src, to, dstStep, height);
  }
  ConvertColumn<float, std::int16_t>(src + r, 4, to + r * dstStep, dstStep, height - r, convert);
}

// The body of the three conversions: checks (pointers, then sizes, then
// steps), then the rows. Packed rows on both sides are converted as one row
// of width * height elements; a block one element wide goes down its column.
// `column(height)` converts a column; by default it is ConvertColumn.
template <typename Src, typename Dst, typename Convert, typename Column>
PrimitiveStatus ConvertBlock(const Src* src, std::int32_t srcStep, Dst* dst, std::int32_t dstStep,
                             std::int32_t width, std::int32_t height, Convert convert,
                             Column column) {
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
  if (rowWidth == 1) {
    column(rows);
  } else {
    ConvertRows<Src, Dst>(src, srcStep, dst, dstStep, rowWidth, rows, convert);
  }
  return StatusOk;
}

template <typename Src, typename Dst, typename Convert>
PrimitiveStatus ConvertBlock(const Src* src, std::int32_t srcStep, Dst* dst, std::int32_t dstStep,
                             std::int32_t width, std::int32_t height, Convert convert) {
  return ConvertBlock(src, srcStep, dst, dstStep, width, height, convert, [&](std::int64_t rows) {
    ConvertColumn<Src, Dst>(src, srcStep, dst, dstStep, rows, convert);
  });
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
  const auto convert = [](std::int16_t x) { return static_cast<float>(x); };
  return ConvertBlock(src, srcStep, dst, dstStep, width, height, convert, [&](std::int64_t rows) {
    if (srcStep == 4 && dstStep == 4) {
      ConvertInt16ColumnStep4(src, dst, rows);
    } else {
      ConvertColumn<std::int16_t, float>(src, srcStep, dst, dstStep, rows, convert);
    }
  });
}

PrimitiveStatus RoiConvertFloatToInt16Portable(const float* src, std::int32_t srcStep,
                                               std::int16_t* dst, std::int32_t dstStep,
                                               std::int32_t width, std::int32_t height,
                                               std::int32_t rndMode) {
  const auto convert = [rndMode](float x) {
    return static_cast<std::int16_t>(SaturateFloat<32767, -32768>(x, rndMode));
  };
  return ConvertBlock(src, srcStep, dst, dstStep, width, height, convert, [&](std::int64_t rows) {
    if (srcStep == 4) {
      ConvertFloatColumnToInt16(src, dst, dstStep, rows, rndMode, convert);
    } else {
      ConvertColumn<float, std::int16_t>(src, srcStep, dst, dstStep, rows, convert);
    }
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
