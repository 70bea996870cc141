// Set B (SSE2), and the SSE2 kernels that sets B and C share.
#include <emmintrin.h>

#include <cstring>

#include "signal/primitives/kernels/Int16RowTemplate.h"
#include "signal/primitives/kernels/KernelShared.h"
#include "signal/primitives/kernels/VariantKernels.h"

namespace {

using namespace kernels_detail;

constexpr std::int64_t kCachedZeroLimit = 256 * 1024;
constexpr std::int64_t kCopyLargeB = 128 * 1024;

inline __m128i Load16(const std::uint8_t* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// Touches the next chunk of a large copy's source (one byte every `stride`
// bytes) before it is copied, then copies it with non-temporal stores.
void CopyStreamingSse2(const std::uint8_t*& s, std::uint8_t*& d, std::int64_t& n,
                       std::int64_t stride) {
  while (n >= 16) {
    const std::int64_t chunk = (n < 256 * 1024 ? n : 256 * 1024) & ~std::int64_t{15};
    std::uint8_t sink = 0;
    for (std::int64_t k = 0; k < chunk; k += stride) {
      sink ^= *static_cast<const volatile std::uint8_t*>(s + k);
    }
    (void)sink;
    for (std::int64_t k = 0; k < chunk; k += 16) {
      _mm_stream_si128(reinterpret_cast<__m128i*>(d + k), Load16(s + k));
    }
    s += chunk;
    d += chunk;
    n -= chunk;
  }
  _mm_sfence();
}

}  // namespace

void* CopyBytesKernelB(const void* src, void* dst, std::int64_t nBytes) {
  const auto* s = static_cast<const std::uint8_t*>(src);
  auto* d = static_cast<std::uint8_t*>(dst);
  std::int64_t n = nBytes;
  if (const std::int64_t near = DistanceBelowSource(src, dst, n); near > 0 && near < 16) {
    CopyUpwardNear(s, d, n, near);
    return dst;
  }
  if (n >= 64) {
    if ((Address(d) & 15) != 0) {
      _mm_storeu_si128(reinterpret_cast<__m128i*>(d), Load16(s));
      const std::int64_t advance = 16 - static_cast<std::int64_t>(Address(d) & 15);
      s += advance;
      d += advance;
      n -= advance;
    }
    if (n > kCopyLargeB) {
      const std::int64_t size = QueryCacheSize(false);
      if (size > 0 && n >= size / 2) {
        // The destination is 16-byte aligned here.
        CopyStreamingSse2(s, d, n, 32);
        CopyTail(s, d, n);
        return dst;
      }
    }
    for (; n >= 64; s += 64, d += 64, n -= 64) {
      const __m128i a = Load16(s);
      const __m128i b = Load16(s + 16);
      const __m128i c = Load16(s + 32);
      const __m128i e = Load16(s + 48);
      auto* v = reinterpret_cast<__m128i*>(d);
      _mm_store_si128(v, a);
      _mm_store_si128(v + 1, b);
      _mm_store_si128(v + 2, c);
      _mm_store_si128(v + 3, e);
    }
    for (; n >= 16; s += 16, d += 16, n -= 16) {
      _mm_store_si128(reinterpret_cast<__m128i*>(d), Load16(s));
    }
  }
  CopyTail(s, d, n);
  return dst;
}

namespace {

enum class Streaming { Never, WhenBeyondCache, Always };

// Writes n bytes (n >= 1) of a 16-byte pattern from p on; the pattern must
// repeat with a period that divides every advance the alignment step can
// make (the caller's element size). Small counts use overlapping stores.
// WhenBeyondCache streams a rest above 256 KiB that is at least the per-core
// cache size.
void FillRunSse2(std::uint8_t* p, std::int64_t n, __m128i pattern, Streaming streaming) {
  alignas(16) std::uint8_t bytes[16];
  _mm_store_si128(reinterpret_cast<__m128i*>(bytes), pattern);
  if (n < 16) {
    if (n >= 8) {
      std::memcpy(p, bytes, 8);
      std::memcpy(p + n - 8, bytes, 8);
    } else if (n >= 4) {
      std::memcpy(p, bytes, 4);
      std::memcpy(p + n - 4, bytes, 4);
    } else {
      std::memcpy(p, bytes, static_cast<std::size_t>(n));
    }
    return;
  }
  std::uint8_t* const end = p + n;
  _mm_storeu_si128(reinterpret_cast<__m128i*>(p), pattern);
  std::uint8_t* q = p + (16 - static_cast<std::int64_t>(Address(p) & 15));
  std::int64_t rest = end - q;
  bool stream = streaming == Streaming::Always;
  if (rest > kCachedZeroLimit && streaming == Streaming::WhenBeyondCache) {
    const std::int64_t size = QueryCacheSize(true);
    stream = size > 0 && rest >= size;
  }
  if (stream) {
    for (; rest >= 16; q += 16, rest -= 16) {
      _mm_stream_si128(reinterpret_cast<__m128i*>(q), pattern);
    }
    _mm_sfence();
  } else {
    for (; rest >= 64; q += 64, rest -= 64) {
      auto* v = reinterpret_cast<__m128i*>(q);
      _mm_store_si128(v, pattern);
      _mm_store_si128(v + 1, pattern);
      _mm_store_si128(v + 2, pattern);
      _mm_store_si128(v + 3, pattern);
    }
    for (; rest >= 16; q += 16, rest -= 16) {
      _mm_store_si128(reinterpret_cast<__m128i*>(q), pattern);
    }
  }
  if (rest > 0) {
    // The last 16 bytes, overlapping what is already written; the pattern
    // keeps its phase because n - 16 is a multiple of the period.
    _mm_storeu_si128(reinterpret_cast<__m128i*>(end - 16), pattern);
  }
}

}  // namespace

void* ZeroBytesKernelSse2(void* dst, std::int64_t nBytes) {
  FillRunSse2(static_cast<std::uint8_t*>(dst), nBytes, _mm_setzero_si128(),
              Streaming::WhenBeyondCache);
  return dst;
}

std::int16_t* FillInt16KernelSse2(std::int16_t value, std::int16_t* dst, std::int64_t len) {
  auto* p = reinterpret_cast<std::uint8_t*>(dst);
  if ((Address(p) & 1) != 0) {
    // An odd destination never reaches a 16-byte boundary: sample by sample.
    for (std::int64_t i = 0; i < len; ++i) {
      std::memcpy(p + 2 * i, &value, 2);
    }
    return dst;
  }
  FillRunSse2(p, 2 * len, _mm_set1_epi16(value),
              len > 131072 ? Streaming::WhenBeyondCache : Streaming::Never);
  return dst;
}

void FillPatternRowSse2(const std::uint8_t* pattern, void* dst, std::int64_t nBytes, bool stream) {
  auto* p = static_cast<std::uint8_t*>(dst);
  __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pattern));
  if ((Address(p) & 1) != 0) {
    // An odd row: its first and last byte alone, the bytes between from the
    // next (even) address on in the other byte phase of the pattern.
    p[0] = pattern[0];
    p[nBytes - 1] = pattern[1];
    v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pattern + 1));
    ++p;
    nBytes -= 2;
    if (nBytes < 1) {
      return;
    }
  }
  FillRunSse2(p, nBytes, v, stream ? Streaming::Always : Streaming::Never);
}

void ConvertFloatToInt32KernelB(const float* src, std::int32_t* dst, std::int64_t len, float factor,
                                bool nearest) {
  const __m128 f = _mm_set1_ps(factor);
  const __m128i limit = _mm_set1_epi32(0x4EFFFFFF);
  const __m128i maxValue = _mm_set1_epi32(0x7FFFFFFF);
  std::int64_t i = 0;
  for (; i + 4 <= len; i += 4) {
    const __m128 y = _mm_mul_ps(_mm_loadu_ps(src + i), f);
    const __m128i n = nearest ? _mm_cvtps_epi32(y) : _mm_cvttps_epi32(y);
    const __m128i above = _mm_cmpgt_epi32(_mm_castps_si128(y), limit);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i),
                     _mm_or_si128(_mm_and_si128(above, maxValue), _mm_andnot_si128(above, n)));
  }
  for (; i < len; ++i) {
    const __m128 y = _mm_mul_ss(_mm_load_ss(src + i), f);
    const std::int32_t bits = _mm_cvtsi128_si32(_mm_castps_si128(y));
    dst[i] = bits > 0x4EFFFFFF ? 0x7FFFFFFF : (nearest ? _mm_cvtss_si32(y) : _mm_cvttss_si32(y));
  }
}

void ConvertDoubleToInt32KernelSse2(const double* src, std::int32_t* dst, std::int64_t len,
                                    double factor, bool nearest) {
  const __m128d f = _mm_set1_pd(factor);
  const __m128d top = _mm_set1_pd(2147483647.0);
  std::int64_t i = 0;
  for (; i + 4 <= len; i += 4) {
    // minpd returns its second operand when the first is NaN.
    const __m128d y0 = _mm_min_pd(_mm_mul_pd(_mm_loadu_pd(src + i), f), top);
    const __m128d y1 = _mm_min_pd(_mm_mul_pd(_mm_loadu_pd(src + i + 2), f), top);
    const __m128i n0 = nearest ? _mm_cvtpd_epi32(y0) : _mm_cvttpd_epi32(y0);
    const __m128i n1 = nearest ? _mm_cvtpd_epi32(y1) : _mm_cvttpd_epi32(y1);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), _mm_unpacklo_epi64(n0, n1));
  }
  for (; i < len; ++i) {
    const __m128d y = _mm_min_sd(_mm_mul_sd(_mm_load_sd(src + i), f), top);
    dst[i] = nearest ? _mm_cvtsd_si32(y) : _mm_cvttsd_si32(y);
  }
}

Int16RowKernel Int16RowKernelB(Int16Op op, Int16Kind kind) {
  return Int16RowFor<Sse2Lanes>(op, kind);
}
