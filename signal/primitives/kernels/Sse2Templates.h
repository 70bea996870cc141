// The byte copy and the float-to-int32 conversion that sets B and C share,
// written once over the set's unaligned 16-byte load. Only templates live
// here: set C includes this header inside its SSE3 region, and each set's
// instantiation (its own Load type) is a distinct function. Internal to the
// kernels.
#pragma once

#include <emmintrin.h>

#include <cstdint>

#include "signal/primitives/UnalignedAccess.h"
#include "signal/primitives/kernels/KernelShared.h"
#include "signal/primitives/kernels/VariantKernels.h"

namespace kernels_detail {

// Load::Get(p): 16 bytes from any address. Copies in ascending order with
// the overlap rule of the kernels; from `largeBound` bytes on, a copy of at
// least half the cache size touches every `touchStride`-th byte of each
// 256 KiB chunk of the source, then streams it.
// `alwaysStream` (the row copies of the 2-D copies) streams every copy of
// 64 bytes or more without asking the cache size.
template <typename Load>
void* CopyBytesSse2(const void* src, void* dst, std::int64_t nBytes, std::int64_t largeBound,
                    std::int64_t touchStride, bool alwaysStream = false) {
  const auto* s = static_cast<const std::uint8_t*>(src);
  auto* d = static_cast<std::uint8_t*>(dst);
  std::int64_t n = nBytes;
  if (const std::int64_t near = DistanceBelowSource(src, dst, n); near > 0 && near < 16) {
    CopyUpwardNear(s, d, n, near);
    return dst;
  }
  if (n >= 64) {
    if ((Address(d) & 15) != 0) {
      _mm_storeu_si128(reinterpret_cast<__m128i*>(d), Load::Get(s));
      const std::int64_t advance = 16 - static_cast<std::int64_t>(Address(d) & 15);
      s += advance;
      d += advance;
      n -= advance;
    }
    if (alwaysStream || n >= largeBound) {
      const std::int64_t size = alwaysStream ? 0 : QueryCacheSize(false);
      if (alwaysStream || (size > 0 && n >= size / 2)) {
        while (n >= 16) {
          const std::int64_t chunk = (n < 256 * 1024 ? n : 256 * 1024) & ~std::int64_t{15};
          std::uint8_t sink = 0;
          for (std::int64_t k = 0; k < chunk; k += touchStride) {
            sink ^= *static_cast<const volatile std::uint8_t*>(s + k);
          }
          (void)sink;
          for (std::int64_t k = 0; k < chunk; k += 16) {
            _mm_stream_si128(reinterpret_cast<__m128i*>(d + k), Load::Get(s + k));
          }
          s += chunk;
          d += chunk;
          n -= chunk;
        }
        _mm_sfence();
        CopyTail(s, d, n);
        return dst;
      }
    }
    const bool aligned = (Address(s) & 15) == 0;
    for (; n >= 64; s += 64, d += 64, n -= 64) {
      const auto* v = reinterpret_cast<const __m128i*>(s);
      const __m128i a = aligned ? _mm_load_si128(v) : Load::Get(v);
      const __m128i b = aligned ? _mm_load_si128(v + 1) : Load::Get(v + 1);
      const __m128i c = aligned ? _mm_load_si128(v + 2) : Load::Get(v + 2);
      const __m128i e = aligned ? _mm_load_si128(v + 3) : Load::Get(v + 3);
      auto* w = reinterpret_cast<__m128i*>(d);
      _mm_store_si128(w, a);
      _mm_store_si128(w + 1, b);
      _mm_store_si128(w + 2, c);
      _mm_store_si128(w + 3, e);
    }
    for (; n >= 16; s += 16, d += 16, n -= 16) {
      _mm_store_si128(reinterpret_cast<__m128i*>(d), Load::Get(s));
    }
  }
  CopyTail(s, d, n);
  return dst;
}

template <typename Load>
void ConvertFloatToInt32Sse2(const float* src, std::int32_t* dst, std::int64_t len, float factor,
                             bool nearest) {
  const __m128 f = _mm_set1_ps(factor);
  const __m128i limit = _mm_set1_epi32(0x4EFFFFFF);
  const __m128i maxValue = _mm_set1_epi32(0x7FFFFFFF);
  std::int64_t i = 0;
  for (; i + 4 <= len; i += 4) {
    const __m128 y = _mm_mul_ps(_mm_castsi128_ps(Load::Get(src + i)), f);
    const __m128i n = nearest ? _mm_cvtps_epi32(y) : _mm_cvttps_epi32(y);
    const __m128i above = _mm_cmpgt_epi32(_mm_castps_si128(y), limit);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i),
                     _mm_or_si128(_mm_and_si128(above, maxValue), _mm_andnot_si128(above, n)));
  }
  for (; i < len; ++i) {
    const __m128 y = _mm_mul_ss(unaligned::LoadSs(src + i), f);
    const std::int32_t bits = _mm_cvtsi128_si32(_mm_castps_si128(y));
    unaligned::Store(dst + i, bits > 0x4EFFFFFF
                                  ? 0x7FFFFFFF
                                  : (nearest ? _mm_cvtss_si32(y) : _mm_cvttss_si32(y)));
  }
}

}  // namespace kernels_detail
