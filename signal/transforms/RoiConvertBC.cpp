// Sets B and C of the strided conversions (one set of row kernels: set C's
// entries are the same code built for SSE3).
#include <emmintrin.h>

#include <cstdint>

#include "signal/transforms/RoiConvertVariants.h"
#include "signal/transforms/VectorIirVariants.h"

namespace {

using namespace roi_convert_detail;

// Streaming bounds of the 16-bit to float rows: the fast path streams when
// its source exceeds this many bytes, the row path when the block exceeds
// this many elements in rows of more than kStreamRowWidth.
constexpr std::int64_t kStreamBytes = 700000;
constexpr std::int64_t kStreamRowWidth = 256;

// Clamp bounds, next to the kernels that load them.
alignas(16) constexpr float kInt16Bounds[2][4] = {{32767.0f, 32767.0f, 32767.0f, 32767.0f},
                                                  {-32768.0f, -32768.0f, -32768.0f, -32768.0f}};
alignas(16) constexpr float kInt8Bounds[2][4] = {{127.0f, 127.0f, 127.0f, 127.0f},
                                                 {-128.0f, -128.0f, -128.0f, -128.0f}};

[[gnu::always_inline]] inline __m128 Int16LanesToFloat(__m128i samples, bool high) {
  const __m128i spread =
      high ? _mm_unpackhi_epi16(samples, samples) : _mm_unpacklo_epi16(samples, samples);
  return _mm_cvtepi32_ps(_mm_srai_epi32(spread, 16));
}

enum class StoreKind { Unaligned, Aligned, Streaming };

template <StoreKind Kind>
[[gnu::always_inline]] inline void StoreFloats(float* dst, __m128 value) {
  if constexpr (Kind == StoreKind::Unaligned) {
    _mm_storeu_ps(dst, value);
  } else if constexpr (Kind == StoreKind::Aligned) {
    _mm_store_ps(dst, value);
  } else {
    _mm_stream_ps(dst, value);
  }
}

// 16 samples per step from x on while 16 remain; returns where it stopped.
template <StoreKind Kind>
[[gnu::always_inline]] inline std::int64_t Int16ToFloatBlocks(const std::int16_t* src, float* dst,
                                                              std::int64_t x, std::int64_t width) {
  for (; x + 16 <= width; x += 16) {
    const __m128i lo = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + x));
    const __m128i hi = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + x + 8));
    StoreFloats<Kind>(dst + x, Int16LanesToFloat(lo, false));
    StoreFloats<Kind>(dst + x + 4, Int16LanesToFloat(lo, true));
    StoreFloats<Kind>(dst + x + 8, Int16LanesToFloat(hi, false));
    StoreFloats<Kind>(dst + x + 12, Int16LanesToFloat(hi, true));
  }
  return x;
}

// One row of 16-bit samples to floats: single elements until dst is 16-byte
// aligned, then 16 per step (aligned or non-temporal stores; unaligned
// stores where dst can never be aligned), then the tail.
[[gnu::always_inline]] inline void Int16ToFloatRow(const std::int16_t* src, float* dst,
                                                   std::int64_t width, bool stream) {
  std::int64_t x = 0;
  if ((Address(dst) & 3) != 0) {
    x = Int16ToFloatBlocks<StoreKind::Unaligned>(src, dst, x, width);
  } else {
    for (; x < width && (Address(dst + x) & 15) != 0; ++x) {
      Store(dst + x, static_cast<float>(Load(src + x)));
    }
    if (stream && x + 16 <= width) {
      x = Int16ToFloatBlocks<StoreKind::Streaming>(src, dst, x, width);
      _mm_sfence();
    } else {
      x = Int16ToFloatBlocks<StoreKind::Aligned>(src, dst, x, width);
    }
  }
  for (; x < width; ++x) {
    Store(dst + x, static_cast<float>(Load(src + x)));
  }
}

[[gnu::always_inline]] inline PrimitiveStatus Int16ToFloatBC(const std::int16_t* src,
                                                             std::int32_t srcStep, float* dst,
                                                             std::int32_t dstStep,
                                                             std::int32_t width,
                                                             std::int32_t height) {
  return ConvertRowsWith(src, srcStep, dst, dstStep, width, height,
                         [](const std::int16_t* s, float* d, std::int64_t w, std::int64_t rows) {
                           const bool stream = rows == 1
                                                   ? 2 * w > kStreamBytes
                                                   : w * rows > kStreamBytes && w > kStreamRowWidth;
                           Int16ToFloatRow(s, d, w, stream);
                         });
}

// Four floats clamped (minimum with the upper bound first: a NaN gives the
// upper bound) and converted under MXCSR's rounding.
template <const float (&Bounds)[2][4]>
[[gnu::always_inline]] inline __m128i ClampConvert4(const float* src) {
  const __m128 clamped =
      _mm_max_ps(_mm_min_ps(_mm_loadu_ps(src), _mm_load_ps(Bounds[0])), _mm_load_ps(Bounds[1]));
  return _mm_cvtps_epi32(clamped);
}

template <const float (&Bounds)[2][4]>
[[gnu::always_inline]] inline std::int32_t ClampConvert1(const float* src) {
  const __m128 clamped =
      _mm_max_ss(_mm_min_ss(_mm_load_ss(src), _mm_load_ss(Bounds[0])), _mm_load_ss(Bounds[1]));
  return _mm_cvtss_si32(clamped);
}

// One row of floats to 16-bit samples: single elements until src is 16-byte
// aligned, then 16 per step, then 8, then single elements.
[[gnu::always_inline]] inline void FloatToInt16Row(const float* src, std::int16_t* dst,
                                                   std::int64_t width) {
  std::int64_t x = 0;
  if ((Address(src) & 3) == 0) {
    for (; x < width && (Address(src + x) & 15) != 0; ++x) {
      Store(dst + x, static_cast<std::int16_t>(ClampConvert1<kInt16Bounds>(src + x)));
    }
  }
  for (; x + 16 <= width; x += 16) {
    const __m128i a = _mm_packs_epi32(ClampConvert4<kInt16Bounds>(src + x),
                                      ClampConvert4<kInt16Bounds>(src + x + 4));
    const __m128i b = _mm_packs_epi32(ClampConvert4<kInt16Bounds>(src + x + 8),
                                      ClampConvert4<kInt16Bounds>(src + x + 12));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + x), a);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + x + 8), b);
  }
  if (x + 8 <= width) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + x),
                     _mm_packs_epi32(ClampConvert4<kInt16Bounds>(src + x),
                                     ClampConvert4<kInt16Bounds>(src + x + 4)));
    x += 8;
  }
  for (; x < width; ++x) {
    Store(dst + x, static_cast<std::int16_t>(ClampConvert1<kInt16Bounds>(src + x)));
  }
}

// The same to bytes, packed twice; when dst is 4 bytes past an 8-byte
// boundary once src is aligned, four more single elements first.
[[gnu::always_inline]] inline void FloatToInt8Row(const float* src, std::int8_t* dst,
                                                  std::int64_t width) {
  std::int64_t x = 0;
  auto single = [&] {
    Store(dst + x, static_cast<std::int8_t>(ClampConvert1<kInt8Bounds>(src + x)));
    ++x;
  };
  if ((Address(src) & 3) == 0) {
    while (x < width && (Address(src + x) & 15) != 0) {
      single();
    }
    if ((Address(dst + x) & 7) == 4) {
      for (int i = 0; i < 4 && x < width; ++i) {
        single();
      }
    }
  }
  for (; x + 16 <= width; x += 16) {
    const __m128i a = _mm_packs_epi32(ClampConvert4<kInt8Bounds>(src + x),
                                      ClampConvert4<kInt8Bounds>(src + x + 4));
    const __m128i b = _mm_packs_epi32(ClampConvert4<kInt8Bounds>(src + x + 8),
                                      ClampConvert4<kInt8Bounds>(src + x + 12));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + x), _mm_packs_epi16(a, b));
  }
  if (x + 8 <= width) {
    const __m128i a = _mm_packs_epi32(ClampConvert4<kInt8Bounds>(src + x),
                                      ClampConvert4<kInt8Bounds>(src + x + 4));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(dst + x), _mm_packs_epi16(a, a));
    x += 8;
  }
  while (x < width) {
    single();
  }
}

[[gnu::always_inline]] inline PrimitiveStatus FloatToInt16BC(
    const float* src, std::int32_t srcStep, std::int16_t* dst, std::int32_t dstStep,
    std::int32_t width, std::int32_t height, std::int32_t rndMode) {
  // The checks come before the bracket: a failing call touches nothing.
  if (const PrimitiveStatus status =
          primitives_detail::CheckBlockArguments({src, dst}, width, height, {srcStep, dstStep});
      status != StatusOk) {
    return status;
  }
  const SseRoundingBracket rounding(rndMode);
  return ConvertRowsWith(src, srcStep, dst, dstStep, width, height,
                         [](const float* s, std::int16_t* d, std::int64_t w, std::int64_t) {
                           FloatToInt16Row(s, d, w);
                         });
}

[[gnu::always_inline]] inline PrimitiveStatus FloatToInt8BC(const float* src, std::int32_t srcStep,
                                                            std::int8_t* dst, std::int32_t dstStep,
                                                            std::int32_t width, std::int32_t height,
                                                            std::int32_t rndMode) {
  if (const PrimitiveStatus status =
          primitives_detail::CheckBlockArguments({src, dst}, width, height, {srcStep, dstStep});
      status != StatusOk) {
    return status;
  }
  const SseRoundingBracket rounding(rndMode);
  return ConvertRowsWith(src, srcStep, dst, dstStep, width, height,
                         [](const float* s, std::int8_t* d, std::int64_t w, std::int64_t) {
                           FloatToInt8Row(s, d, w);
                         });
}

}  // namespace

PrimitiveStatus RoiConvertInt16ToFloatB(const std::int16_t* src, std::int32_t srcStep, float* dst,
                                        std::int32_t dstStep, std::int32_t width,
                                        std::int32_t height) {
  return Int16ToFloatBC(src, srcStep, dst, dstStep, width, height);
}

__attribute__((target("sse3"))) PrimitiveStatus RoiConvertInt16ToFloatC(
    const std::int16_t* src, std::int32_t srcStep, float* dst, std::int32_t dstStep,
    std::int32_t width, std::int32_t height) {
  return Int16ToFloatBC(src, srcStep, dst, dstStep, width, height);
}

PrimitiveStatus RoiConvertFloatToInt16B(const float* src, std::int32_t srcStep, std::int16_t* dst,
                                        std::int32_t dstStep, std::int32_t width,
                                        std::int32_t height, std::int32_t rndMode) {
  return FloatToInt16BC(src, srcStep, dst, dstStep, width, height, rndMode);
}

__attribute__((target("sse3"))) PrimitiveStatus RoiConvertFloatToInt16C(
    const float* src, std::int32_t srcStep, std::int16_t* dst, std::int32_t dstStep,
    std::int32_t width, std::int32_t height, std::int32_t rndMode) {
  return FloatToInt16BC(src, srcStep, dst, dstStep, width, height, rndMode);
}

PrimitiveStatus RoiConvertFloatToInt8B(const float* src, std::int32_t srcStep, std::int8_t* dst,
                                       std::int32_t dstStep, std::int32_t width,
                                       std::int32_t height, std::int32_t rndMode) {
  return FloatToInt8BC(src, srcStep, dst, dstStep, width, height, rndMode);
}

__attribute__((target("sse3"))) PrimitiveStatus RoiConvertFloatToInt8C(
    const float* src, std::int32_t srcStep, std::int8_t* dst, std::int32_t dstStep,
    std::int32_t width, std::int32_t height, std::int32_t rndMode) {
  return FloatToInt8BC(src, srcStep, dst, dstStep, width, height, rndMode);
}
