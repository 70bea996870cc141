// Set A of the strided conversions: x87 for single elements, MMX with SSE
// for the blocks, always with non-temporal stores. Every routine that uses
// the MMX registers empties the MMX state before it returns, so the x87
// code after it finds its registers free.
#include <mmintrin.h>
#include <xmmintrin.h>

#include <cstdint>

#include "signal/transforms/RoiConvertVariants.h"
#include "signal/transforms/VectorIirVariants.h"

namespace {

using namespace roi_convert_detail;

// Clamp bounds, next to the kernels that load them.
alignas(16) constexpr float kInt16BoundsA[2][4] = {{32767.0f, 32767.0f, 32767.0f, 32767.0f},
                                                   {-32768.0f, -32768.0f, -32768.0f, -32768.0f}};
alignas(16) constexpr float kInt8BoundsA[2][4] = {{127.0f, 127.0f, 127.0f, 127.0f},
                                                  {-128.0f, -128.0f, -128.0f, -128.0f}};

// The x87 conversion of one sample (exact).
[[gnu::noinline]] void Int16ToFloatX87(const std::int16_t* src, float* dst, std::int64_t count) {
  for (std::int64_t x = 0; x < count; ++x) {
    const long double value = Load(src + x);
    Store(dst + x, static_cast<float>(value));
  }
}

// Eight samples per step into a 16-byte aligned dst with non-temporal
// stores, then a store fence and the MMX state emptied.
[[gnu::noinline]] void Int16ToFloatMmx(const std::int16_t* src, float* dst, std::int64_t steps) {
  for (std::int64_t i = 0; i < steps; ++i, src += 8, dst += 8) {
    __m64 lo;
    __m64 hi;
    __builtin_memcpy(&lo, src, 8);
    __builtin_memcpy(&hi, src + 4, 8);
    _mm_stream_ps(dst, _mm_cvtpi16_ps(lo));
    _mm_stream_ps(dst + 4, _mm_cvtpi16_ps(hi));
  }
  _mm_sfence();
  _mm_empty();
}

void Int16ToFloatRowA(const std::int16_t* src, float* dst, std::int64_t width) {
  if ((Address(dst) & 3) != 0) {
    Int16ToFloatX87(src, dst, width);  // dst can never be aligned
    return;
  }
  std::int64_t head = static_cast<std::int64_t>(((16 - (Address(dst) & 15)) & 15) / 4);
  head = head < width ? head : width;
  Int16ToFloatX87(src, dst, head);
  const std::int64_t steps = (width - head) / 8;
  if (steps > 0) {
    Int16ToFloatMmx(src + head, dst + head, steps);
  }
  const std::int64_t done = head + 8 * steps;
  Int16ToFloatX87(src + done, dst + done, width - done);
}

// One float clamped (minimum with the upper bound first: a NaN gives the
// upper bound) and converted under MXCSR's rounding.
template <const float (&Bounds)[2][4]>
inline std::int32_t ClampConvert1A(const float* src) {
  const __m128 clamped =
      _mm_max_ss(_mm_min_ss(_mm_load_ss(src), _mm_load_ss(Bounds[0])), _mm_load_ss(Bounds[1]));
  return _mm_cvtss_si32(clamped);
}

// Eight floats per step: SSE clamps, pairs converted into MMX registers,
// packed with signed saturation and stored non-temporally, the source
// prefetched 64 bytes ahead; then a store fence and the MMX state emptied.
[[gnu::noinline]] void FloatToInt16Mmx(const float* src, std::int16_t* dst, std::int64_t steps) {
  const __m128 hi = _mm_load_ps(kInt16BoundsA[0]);
  const __m128 lo = _mm_load_ps(kInt16BoundsA[1]);
  for (std::int64_t i = 0; i < steps; ++i, src += 8, dst += 8) {
    _mm_prefetch(reinterpret_cast<const char*>(src) + 64, _MM_HINT_NTA);
    const __m128 a = _mm_max_ps(_mm_min_ps(_mm_loadu_ps(src), hi), lo);
    const __m128 b = _mm_max_ps(_mm_min_ps(_mm_loadu_ps(src + 4), hi), lo);
    const __m64 first = _mm_packs_pi32(_mm_cvtps_pi32(a), _mm_cvtps_pi32(_mm_movehl_ps(a, a)));
    const __m64 second = _mm_packs_pi32(_mm_cvtps_pi32(b), _mm_cvtps_pi32(_mm_movehl_ps(b, b)));
    _mm_stream_pi(reinterpret_cast<__m64*>(dst), first);
    _mm_stream_pi(reinterpret_cast<__m64*>(dst + 4), second);
  }
  _mm_sfence();
  _mm_empty();
}

void FloatToInt16RowA(const float* src, std::int16_t* dst, std::int64_t width) {
  std::int64_t x = 0;
  if ((Address(src) & 7) == 4 && width > 0) {
    Store(dst, static_cast<std::int16_t>(ClampConvert1A<kInt16BoundsA>(src)));
    x = 1;
  }
  const std::int64_t steps = (width - x) / 8;
  // A row of 16-bit samples at an odd address goes element by element.
  if (steps > 0 && (Address(dst + x) & 1) == 0) {
    FloatToInt16Mmx(src + x, dst + x, steps);
    x += 8 * steps;
  }
  for (; x < width; ++x) {
    Store(dst + x, static_cast<std::int16_t>(ClampConvert1A<kInt16BoundsA>(src + x)));
  }
}

void FloatToInt8RowA(const float* src, std::int8_t* dst, std::int64_t width) {
  for (std::int64_t x = 0; x < width; ++x) {
    Store(dst + x, static_cast<std::int8_t>(ClampConvert1A<kInt8BoundsA>(src + x)));
  }
}

template <typename Dst, typename Row>
PrimitiveStatus FloatToIntegerA(const float* src, std::int32_t srcStep, Dst* dst,
                                std::int32_t dstStep, std::int32_t width, std::int32_t height,
                                std::int32_t rndMode, Row row) {
  if (const PrimitiveStatus status =
          primitives_detail::CheckBlockArguments({src, dst}, width, height, {srcStep, dstStep});
      status != StatusOk) {
    return status;
  }
  const SseRoundingBracket rounding(rndMode);
  return ConvertRowsWith(
      src, srcStep, dst, dstStep, width, height,
      [&](const float* s, Dst* d, std::int64_t w, std::int64_t) { row(s, d, w); });
}

}  // namespace

PrimitiveStatus RoiConvertInt16ToFloatA(const std::int16_t* src, std::int32_t srcStep, float* dst,
                                        std::int32_t dstStep, std::int32_t width,
                                        std::int32_t height) {
  return ConvertRowsWith(src, srcStep, dst, dstStep, width, height,
                         [](const std::int16_t* s, float* d, std::int64_t w, std::int64_t) {
                           Int16ToFloatRowA(s, d, w);
                         });
}

PrimitiveStatus RoiConvertFloatToInt16A(const float* src, std::int32_t srcStep, std::int16_t* dst,
                                        std::int32_t dstStep, std::int32_t width,
                                        std::int32_t height, std::int32_t rndMode) {
  return FloatToIntegerA(src, srcStep, dst, dstStep, width, height, rndMode, &FloatToInt16RowA);
}

PrimitiveStatus RoiConvertFloatToInt8A(const float* src, std::int32_t srcStep, std::int8_t* dst,
                                       std::int32_t dstStep, std::int32_t width,
                                       std::int32_t height, std::int32_t rndMode) {
  return FloatToIntegerA(src, srcStep, dst, dstStep, width, height, rndMode, &FloatToInt8RowA);
}
