// Set B (SSE2), and the SSE2 kernels that sets B and C share.
#include <emmintrin.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

#include "signal/primitives/UnalignedAccess.h"
#include "signal/primitives/kernels/Int16RowTemplate.h"
#include "signal/primitives/kernels/Int32Lanes.h"
#include "signal/primitives/kernels/KernelShared.h"
#include "signal/primitives/kernels/Sse2Templates.h"
#include "signal/primitives/kernels/UInt8Template.h"
#include "signal/primitives/kernels/VariantKernels.h"

namespace {

using namespace kernels_detail;

constexpr std::int64_t kCachedZeroLimit = 256 * 1024;
constexpr std::int64_t kCopyLargeB = 128 * 1024;

inline __m128i Load16(const std::uint8_t* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// Set B's unaligned load: two 8-byte halves are no faster here than one
// unaligned 16-byte load, which gives the same bytes.
struct LoadB {
  static __m128i Get(const void* p) { return _mm_loadu_si128(static_cast<const __m128i*>(p)); }
};

}  // namespace

void CopyRowKernelSse2(const void* src, void* dst, std::int64_t nBytes, bool stream) {
  const std::uint64_t alias = (Address(src) - Address(dst)) & 0xFFFF;
  const bool nearAlias = alias >= 65216 && alias <= 65520;
  CopyBytesSse2<LoadB>(src, dst, nBytes, INT64_MAX, 32, stream && !nearAlias);
}

void CopyRowKernelB(const void* src, void* dst, std::int64_t nBytes, bool stream) {
  CopyRowKernelSse2(src, dst, nBytes, stream);
}

void* CopyBytesKernelB(const void* src, void* dst, std::int64_t nBytes) {
  return CopyBytesSse2<LoadB>(src, dst, nBytes, kCopyLargeB + 1, 32);
}

namespace {

enum class Streaming { Never, WhenBeyondCache, Always };

// Writes n bytes (n >= 1) of a repeating 16-byte pattern from p on; `doubled`
// holds the pattern twice, so that the 16 bytes due at byte offset o from p
// are doubled + o mod 16, whatever the alignment. Small counts use single
// bytes, the rest an unaligned head store, aligned 16-byte stores (64 bytes
// per step) and one overlapping store at the end. WhenBeyondCache streams a
// rest above 256 KiB that is at least the per-core cache size.
void FillRunSse2(std::uint8_t* p, std::int64_t n, const std::uint8_t* doubled,
                 Streaming streaming) {
  if (n < 16) {
    for (std::int64_t k = 0; k < n; ++k) {
      p[k] = doubled[k & 15];
    }
    return;
  }
  std::uint8_t* const end = p + n;
  _mm_storeu_si128(reinterpret_cast<__m128i*>(p), Load16(doubled));
  const std::int64_t advance = 16 - static_cast<std::int64_t>(Address(p) & 15);
  std::uint8_t* q = p + advance;
  const __m128i pattern = Load16(doubled + (advance & 15));
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
    _mm_storeu_si128(reinterpret_cast<__m128i*>(end - 16), Load16(doubled + ((n - 16) & 15)));
  }
}

}  // namespace

void* ZeroBytesKernelSse2(void* dst, std::int64_t nBytes) {
  static constexpr std::uint8_t kZeros[32] = {};
  FillRunSse2(static_cast<std::uint8_t*>(dst), nBytes, kZeros, Streaming::WhenBeyondCache);
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
  const Doubled pattern(&value, 2);
  FillRunSse2(p, 2 * len, pattern.bytes,
              len > 131072 ? Streaming::WhenBeyondCache : Streaming::Never);
  return dst;
}

std::int16_t* FillInt16KernelB(std::int16_t value, std::int16_t* dst, std::int64_t len) {
  return FillInt16KernelSse2(value, dst, len);
}

void FillPatternRowSse2(const std::uint8_t* pattern, void* dst, std::int64_t nBytes, bool stream) {
  // The pattern's byte phase follows the row's start, at any address.
  FillRunSse2(static_cast<std::uint8_t*>(dst), nBytes, pattern,
              stream ? Streaming::Always : Streaming::Never);
}

void FillPatternRowB(const std::uint8_t* pattern, void* dst, std::int64_t nBytes, bool stream) {
  FillPatternRowSse2(pattern, dst, nBytes, stream);
}

void ConvertFloatToInt32KernelB(const float* src, std::int32_t* dst, std::int64_t len, float factor,
                                bool nearest) {
  ConvertFloatToInt32Sse2<LoadB>(src, dst, len, factor, nearest);
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
    const __m128d y = _mm_min_sd(_mm_mul_sd(unaligned::LoadSd(src + i), f), top);
    unaligned::Store(dst + i, nearest ? _mm_cvtsd_si32(y) : _mm_cvttsd_si32(y));
  }
}

KESTRUNE_INT16_PLAIN_ROW(AddInt16SatRowB, Sse2Lanes, Add, Sat)
KESTRUNE_INT16_PLAIN_ROW(AddInt16HalfRowB, Sse2Lanes, Add, Half)
KESTRUNE_INT16_SHIFT_ROW(AddInt16ShiftDownRowB, Sse2Lanes, Add, ShiftDown)
KESTRUNE_INT16_SHIFT_ROW(AddInt16ShiftUpRowB, Sse2Lanes, Add, ShiftUp)
KESTRUNE_INT16_PLAIN_ROW(AddInt16SignRowB, Sse2Lanes, Add, Sign)
KESTRUNE_INT16_PLAIN_ROW(SubInt16SatRowB, Sse2Lanes, Sub, Sat)
KESTRUNE_INT16_PLAIN_ROW(SubInt16HalfRowB, Sse2Lanes, Sub, Half)
KESTRUNE_INT16_SHIFT_ROW(SubInt16ShiftDownRowB, Sse2Lanes, Sub, ShiftDown)
KESTRUNE_INT16_SHIFT_ROW(SubInt16ShiftUpRowB, Sse2Lanes, Sub, ShiftUp)
KESTRUNE_INT16_PLAIN_ROW(SubInt16SignRowB, Sse2Lanes, Sub, Sign)
KESTRUNE_INT16_PLAIN_ROW(MulInt16SatRowB, Sse2Lanes, Mul, Sat)
KESTRUNE_INT16_PLAIN_ROW(MulInt16HalfRowB, Sse2Lanes, Mul, Half)
KESTRUNE_INT16_SHIFT_ROW(MulInt16ShiftDownRowB, Sse2Lanes, Mul, ShiftDown)
KESTRUNE_INT16_SHIFT_ROW(MulInt16ShiftUpRowB, Sse2Lanes, Mul, ShiftUp)
KESTRUNE_INT16_PLAIN_ROW(MulInt16SignRowB, Sse2Lanes, Mul, Sign)

namespace {

inline std::int16_t ZeroDivisorValue(std::int32_t n) {
  return static_cast<std::int16_t>(n > 0 ? 32767 : (n < 0 ? -32768 : 0));
}

inline std::int16_t Saturate16(std::int32_t v) {
  return static_cast<std::int16_t>(v < -32768 ? -32768 : (v > 32767 ? 32767 : v));
}

// The eight 16-bit lanes of v widened to two vectors of 32-bit lanes.
inline void Widen(__m128i v, __m128i& lo, __m128i& hi) {
  const __m128i sign = _mm_srai_epi16(v, 15);
  lo = _mm_unpacklo_epi16(v, sign);
  hi = _mm_unpackhi_epi16(v, sign);
}

// n / d for four lanes: a reciprocal estimate refined twice, then raised by
// one unit in the last place (away from zero) with its two lowest bits
// cleared, which lands exact quotients and half-integers on themselves.
inline __m128i QuotientLanes(__m128 n, __m128 d) {
  const __m128 r = _mm_rcp_ps(d);
  const __m128 e = _mm_sub_ps(_mm_set1_ps(1.0f), _mm_mul_ps(d, r));
  const __m128 q0 = _mm_mul_ps(n, r);
  const __m128 q1 = _mm_add_ps(q0, _mm_mul_ps(e, q0));
  const __m128 q2 = _mm_add_ps(q1, _mm_mul_ps(_mm_mul_ps(e, e), q1));
  const __m128i bits =
      _mm_and_si128(_mm_add_epi32(_mm_castps_si128(q2), _mm_set1_epi32(1)), _mm_set1_epi32(~3));
  return _mm_cvtps_epi32(_mm_castsi128_ps(bits));
}

}  // namespace

int DivInt16RowKernelSse2(const std::int16_t* src, const std::int16_t* src2, std::int16_t* dst,
                          std::int64_t len, int sf) {
  int zero = 0;
  if (sf <= -6) {
    // Double precision: n * 2^-sf (at most 2^45) and the quotient are
    // exact enough that rounding the double gives the exact rounding.
    for (std::int64_t i = 0; i < len; ++i) {
      const std::int16_t d = unaligned::Load(src + i);
      const std::int16_t n = unaligned::Load(src2 + i);
      if (d == 0) {
        unaligned::Store(dst + i, ZeroDivisorValue(n));
        zero = 1;
        continue;
      }
      double q = static_cast<double>(std::int64_t{n} * (std::int64_t{1} << -sf)) / d;
      q = q < -32768.0 ? -32768.0 : (q > 32767.0 ? 32767.0 : q);
      unaligned::Store(dst + i, static_cast<std::int16_t>(_mm_cvtsd_si32(_mm_set_sd(q))));
    }
    return zero;
  }
  const int up = sf >= 0 ? sf : 0;    // the divisor's shift
  const int down = sf < 0 ? -sf : 0;  // the dividend's shift
  auto scalar = [&](std::int64_t i) {
    const std::int32_t d16 = unaligned::Load(src + i);
    const std::int32_t n16 = unaligned::Load(src2 + i);
    if (d16 == 0) {
      unaligned::Store(dst + i, ZeroDivisorValue(n16));
      zero = 1;
      return;
    }
    const float d = static_cast<float>(d16 * (1 << up));
    const float n = static_cast<float>(n16 * (1 << down));
    unaligned::Store(dst + i, Saturate16(_mm_cvtss_si32(_mm_set_ss(n / d))));
  };
  std::int64_t i = 0;
  for (; i < len && (Address(dst + i) & 15) > 1; ++i) {
    scalar(i);
  }
  // A zero divisor is replaced by 2^-15 (times 2^-sf for negative sf), so
  // its quotient saturates by the dividend's sign (0 for a zero dividend).
  const __m128 replacement = _mm_set1_ps(std::ldexp(1.0f, -15 + down));
  const __m128i upCount = _mm_cvtsi32_si128(up);
  const __m128i downCount = _mm_cvtsi32_si128(down);
  __m128 anyZero = _mm_setzero_ps();
  // Four lanes of quotients from the 32-bit divisors and dividends.
  const bool shifted = up != 0 || down != 0;
  auto quarter = [&](__m128i d32, __m128i n32) {
    if (shifted) {
      d32 = _mm_sll_epi32(d32, upCount);
      n32 = _mm_sll_epi32(n32, downCount);
    }
    __m128 d = _mm_cvtepi32_ps(d32);
    const __m128 n = _mm_cvtepi32_ps(n32);
    const __m128 isZero = _mm_cmpeq_ps(d, _mm_setzero_ps());
    if (_mm_movemask_ps(isZero) != 0) {
      anyZero = _mm_or_ps(anyZero, isZero);
      d = _mm_or_ps(_mm_andnot_ps(isZero, d), _mm_and_ps(isZero, replacement));
    }
    return QuotientLanes(n, d);
  };
  for (; i + 8 <= len; i += 8) {
    __m128i dLo, dHi, nLo, nHi;
    Widen(_mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i)), dLo, dHi);
    Widen(_mm_loadu_si128(reinterpret_cast<const __m128i*>(src2 + i)), nLo, nHi);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i),
                     _mm_packs_epi32(quarter(dLo, nLo), quarter(dHi, nHi)));
  }
  if (_mm_movemask_ps(anyZero) != 0) {
    zero = 1;
  }
  for (; i < len; ++i) {
    scalar(i);
  }
  return zero;
}

int DivInt16RowKernelB(const std::int16_t* src, const std::int16_t* src2, std::int16_t* dst,
                       std::int32_t len, std::int32_t sf) {
  return DivInt16RowKernelSse2(src, src2, dst, len, sf);
}

void* FillElementsSse2(void* dst, const void* value, int size, std::int64_t nBytes) {
  const Doubled pattern(value, size);
  FillRunSse2(static_cast<std::uint8_t*>(dst), nBytes, pattern.bytes, Streaming::WhenBeyondCache);
  return dst;
}

void ConvertInt32ToDoubleKernelSse2(const std::int32_t* src, double* dst, std::int64_t len) {
  std::int64_t i = 0;
  if ((Address(dst) & 15) == 8) {
    unaligned::Store(dst, static_cast<double>(unaligned::Load(src)));
    i = 1;
  }
  for (; i + 8 <= len; i += 8) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i + 4));
    _mm_storeu_pd(dst + i, _mm_cvtepi32_pd(a));
    _mm_storeu_pd(dst + i + 2, _mm_cvtepi32_pd(_mm_srli_si128(a, 8)));
    _mm_storeu_pd(dst + i + 4, _mm_cvtepi32_pd(b));
    _mm_storeu_pd(dst + i + 6, _mm_cvtepi32_pd(_mm_srli_si128(b, 8)));
  }
  for (; i + 4 <= len; i += 4) {
    const __m128i a = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(src + i));
    const __m128i b = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(src + i + 2));
    _mm_storeu_pd(dst + i, _mm_cvtepi32_pd(a));
    _mm_storeu_pd(dst + i + 2, _mm_cvtepi32_pd(b));
  }
  for (; i < len; ++i) {
    unaligned::Store(dst + i, static_cast<double>(unaligned::Load(src + i)));
  }
}

void ExtremumDoubleSse2(const double* src, std::int64_t len, double* result, bool maximum) {
  std::int64_t first = 0;
  while (first < len && std::isnan(unaligned::Load(src + first))) {
    ++first;
  }
  if (first == len) {
    std::memcpy(result, src, 8);
    return;
  }
  // x replaces the running value when it is better; a NaN x never is:
  // maxpd (minpd) returns its first operand exactly when it is greater
  // (smaller), else the second.
  __m128d l0 = _mm_set1_pd(unaligned::Load(src + first));
  __m128d l1 = l0, l2 = l0, l3 = l0;
  std::int64_t i = first + 1;
  if (maximum) {
    for (; i + 8 <= len; i += 8) {
      l0 = _mm_max_pd(_mm_loadu_pd(src + i), l0);
      l1 = _mm_max_pd(_mm_loadu_pd(src + i + 2), l1);
      l2 = _mm_max_pd(_mm_loadu_pd(src + i + 4), l2);
      l3 = _mm_max_pd(_mm_loadu_pd(src + i + 6), l3);
    }
    for (; i + 2 <= len; i += 2) {
      l0 = _mm_max_pd(_mm_loadu_pd(src + i), l0);
    }
  } else {
    for (; i + 8 <= len; i += 8) {
      l0 = _mm_min_pd(_mm_loadu_pd(src + i), l0);
      l1 = _mm_min_pd(_mm_loadu_pd(src + i + 2), l1);
      l2 = _mm_min_pd(_mm_loadu_pd(src + i + 4), l2);
      l3 = _mm_min_pd(_mm_loadu_pd(src + i + 6), l3);
    }
    for (; i + 2 <= len; i += 2) {
      l0 = _mm_min_pd(_mm_loadu_pd(src + i), l0);
    }
  }
  double running[8];
  _mm_storeu_pd(running, l0);
  _mm_storeu_pd(running + 2, l1);
  _mm_storeu_pd(running + 4, l2);
  _mm_storeu_pd(running + 6, l3);
  auto better = [maximum](double x, double m) { return maximum ? x > m : x < m; };
  for (; i < len; ++i) {
    const double x = unaligned::Load(src + i);
    running[0] = better(x, running[0]) ? x : running[0];
  }
  double r = running[0];
  for (int lane = 1; lane < 8; ++lane) {
    if (better(running[lane], r)) {
      r = running[lane];
    }
  }
  // Zeros of both signs compare equal: a zero result is the first zero
  // element, as the portable variant keeps it.
  if (r == 0.0) {
    for (std::int64_t j = first;; ++j) {
      if (const double x = unaligned::Load(src + j); x == 0.0) {
        r = x;
        break;
      }
    }
  }
  *result = r;
}

void AddSubInt32KernelSse2(const std::int32_t* src, std::int32_t* srcDst, std::int64_t len,
                           std::int32_t sf, bool sub) {
  const Int32Form form = sub ? Int32Form::Sub : Int32Form::Add;
  if (sf == 0) {
    Int32LaneRun(Int32Case::Sat, form, src, 0, srcDst, len, 0);
  } else if (sf > 0) {
    Int32LaneRun(Int32Case::Round, form, src, 0, srcDst, len, sf);
  } else {
    Int32LaneRun(Int32Case::ShiftUp, form, src, 0, srcDst, len, -sf);
  }
}

namespace {

inline __m128i LoadBytes16(const void* p) {
  return _mm_loadu_si128(static_cast<const __m128i*>(p));
}
// An ordinary store at any address, or a non-temporal one (p on a 16-byte
// boundary).
template <bool kStream = false>
inline void Store16(void* p, __m128i v) {
  if constexpr (kStream) {
    _mm_stream_si128(static_cast<__m128i*>(p), v);
  } else {
    _mm_storeu_si128(static_cast<__m128i*>(p), v);
  }
}

// The narrowing shift mapping on 16-bit lanes, t = (x - (x >> 8)) >> 8 in
// -128..127, and on 32-bit lanes with >> 24; the byte is t + 128.
inline __m128i ShiftMap16(__m128i x) {
  return _mm_srai_epi16(_mm_sub_epi16(x, _mm_srai_epi16(x, 8)), 8);
}
inline __m128i ShiftMap32(__m128i x) {
  return _mm_srai_epi32(_mm_sub_epi32(x, _mm_srai_epi32(x, 8)), 24);
}

// (x + 32768) / 257 to nearest: x + 32768 as a float times the single
// 1/257, rounded by MXCSR.
inline __m128i Rounded16To32(__m128i x16, bool high) {
  const __m128i v = _mm_xor_si128(x16, _mm_set1_epi16(static_cast<std::int16_t>(0x8000)));
  const __m128i wide = high ? _mm_unpackhi_epi16(v, _mm_setzero_si128())
                            : _mm_unpacklo_epi16(v, _mm_setzero_si128());
  return _mm_cvtps_epi32(_mm_mul_ps(_mm_cvtepi32_ps(wide), _mm_set1_ps(0.0038910505827516317f)));
}

// (x + 2^31) / 16843009 to nearest: x * (1 / 16843009) + 2^31 / 16843009 in
// double, rounded by MXCSR.
inline __m128i Rounded32Pair(__m128i x) {
  const __m128d y = _mm_add_pd(_mm_mul_pd(_mm_cvtepi32_pd(x), _mm_set1_pd(5.937181414556033e-08)),
                               _mm_set1_pd(127.5000000296859));
  return _mm_cvtpd_epi32(y);
}

inline __m128i Rounded32Quad(__m128i x) {
  return _mm_unpacklo_epi64(Rounded32Pair(x), Rounded32Pair(_mm_srli_si128(x, 8)));
}

// Sixteen elements from s to d.
template <bool kStream = false>
__attribute__((always_inline)) inline void ConvertBlock16(BlockConversion kind,
                                                          const std::uint8_t* s, std::uint8_t* d) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i top8 = _mm_set1_epi8(static_cast<char>(0x80));
  switch (kind) {
    case BlockConversion::UInt8ToFloat: {
      const __m128i x = LoadBytes16(s);
      const __m128i lo = _mm_unpacklo_epi8(x, zero);
      const __m128i hi = _mm_unpackhi_epi8(x, zero);
      Store16<kStream>(d, _mm_castps_si128(_mm_cvtepi32_ps(_mm_unpacklo_epi16(lo, zero))));
      Store16<kStream>(d + 16, _mm_castps_si128(_mm_cvtepi32_ps(_mm_unpackhi_epi16(lo, zero))));
      Store16<kStream>(d + 32, _mm_castps_si128(_mm_cvtepi32_ps(_mm_unpacklo_epi16(hi, zero))));
      Store16<kStream>(d + 48, _mm_castps_si128(_mm_cvtepi32_ps(_mm_unpackhi_epi16(hi, zero))));
      return;
    }
    case BlockConversion::UInt8ToInt16: {
      // The byte in both halves of the lane, the top bit inverted.
      const __m128i x = _mm_xor_si128(LoadBytes16(s), top8);
      const __m128i same = LoadBytes16(s);
      Store16<kStream>(d, _mm_unpacklo_epi8(same, x));
      Store16<kStream>(d + 16, _mm_unpackhi_epi8(same, x));
      return;
    }
    case BlockConversion::UInt8ToInt32: {
      const __m128i x = LoadBytes16(s);
      const __m128i w0 = _mm_unpacklo_epi8(x, x);
      const __m128i w1 = _mm_unpackhi_epi8(x, x);
      const __m128i top32 = _mm_set1_epi32(static_cast<std::int32_t>(0x80000000u));
      Store16<kStream>(d, _mm_xor_si128(_mm_unpacklo_epi16(w0, w0), top32));
      Store16<kStream>(d + 16, _mm_xor_si128(_mm_unpackhi_epi16(w0, w0), top32));
      Store16<kStream>(d + 32, _mm_xor_si128(_mm_unpacklo_epi16(w1, w1), top32));
      Store16<kStream>(d + 48, _mm_xor_si128(_mm_unpackhi_epi16(w1, w1), top32));
      return;
    }
    case BlockConversion::Int16ToUInt8Shift: {
      const __m128i a = ShiftMap16(LoadBytes16(s));
      const __m128i b = ShiftMap16(LoadBytes16(s + 16));
      Store16<kStream>(d, _mm_xor_si128(_mm_packs_epi16(a, b), top8));
      return;
    }
    case BlockConversion::Int16ToUInt8Rounded: {
      const __m128i a = LoadBytes16(s);
      const __m128i b = LoadBytes16(s + 16);
      const __m128i lo = _mm_packs_epi32(Rounded16To32(a, false), Rounded16To32(a, true));
      const __m128i hi = _mm_packs_epi32(Rounded16To32(b, false), Rounded16To32(b, true));
      Store16<kStream>(d, _mm_packus_epi16(lo, hi));
      return;
    }
    case BlockConversion::Int32ToUInt8Shift: {
      __m128i q[4];
      for (int k = 0; k < 4; ++k) {
        q[k] = ShiftMap32(LoadBytes16(s + 16 * k));
      }
      const __m128i w = _mm_packs_epi16(_mm_packs_epi32(q[0], q[1]), _mm_packs_epi32(q[2], q[3]));
      Store16<kStream>(d, _mm_xor_si128(w, top8));
      return;
    }
    case BlockConversion::Int32ToUInt8Rounded:
      break;
  }
  __m128i q[4];
  for (int k = 0; k < 4; ++k) {
    q[k] = Rounded32Quad(LoadBytes16(s + 16 * k));
  }
  Store16<kStream>(d, _mm_packus_epi16(_mm_packs_epi32(q[0], q[1]), _mm_packs_epi32(q[2], q[3])));
}

// The blocks of a row from element i on, for one conversion: the kind is a
// constant here, so the inlined block has no branch left.
template <BlockConversion kKind, bool kStream>
std::int64_t ConvertBlocks(const std::uint8_t* s, std::uint8_t* d, std::int64_t i, std::int64_t len,
                           int fromSize, int toSize) {
  for (; i + 16 <= len; i += 16) {
    ConvertBlock16<kStream>(kKind, s + i * fromSize, d + i * toSize);
  }
  return i;
}

template <bool kStream>
std::int64_t ConvertBlocksOf(BlockConversion kind, const std::uint8_t* s, std::uint8_t* d,
                             std::int64_t i, std::int64_t len, int fromSize, int toSize) {
  switch (kind) {
    case BlockConversion::UInt8ToFloat:
      return ConvertBlocks<BlockConversion::UInt8ToFloat, kStream>(s, d, i, len, fromSize, toSize);
    case BlockConversion::UInt8ToInt16:
      return ConvertBlocks<BlockConversion::UInt8ToInt16, kStream>(s, d, i, len, fromSize, toSize);
    case BlockConversion::UInt8ToInt32:
      return ConvertBlocks<BlockConversion::UInt8ToInt32, kStream>(s, d, i, len, fromSize, toSize);
    case BlockConversion::Int16ToUInt8Shift:
      return ConvertBlocks<BlockConversion::Int16ToUInt8Shift, kStream>(s, d, i, len, fromSize,
                                                                        toSize);
    case BlockConversion::Int16ToUInt8Rounded:
      return ConvertBlocks<BlockConversion::Int16ToUInt8Rounded, kStream>(s, d, i, len, fromSize,
                                                                          toSize);
    case BlockConversion::Int32ToUInt8Shift:
      return ConvertBlocks<BlockConversion::Int32ToUInt8Shift, kStream>(s, d, i, len, fromSize,
                                                                        toSize);
    case BlockConversion::Int32ToUInt8Rounded:
      break;
  }
  return ConvertBlocks<BlockConversion::Int32ToUInt8Rounded, kStream>(s, d, i, len, fromSize,
                                                                      toSize);
}

struct ConversionShape {
  int fromSize;
  int toSize;
};

ConversionShape ShapeOf(BlockConversion kind) {
  switch (kind) {
    case BlockConversion::UInt8ToFloat:
    case BlockConversion::UInt8ToInt32:
      return {1, 4};
    case BlockConversion::UInt8ToInt16:
      return {1, 2};
    case BlockConversion::Int16ToUInt8Shift:
    case BlockConversion::Int16ToUInt8Rounded:
      return {2, 1};
    case BlockConversion::Int32ToUInt8Shift:
    case BlockConversion::Int32ToUInt8Rounded:
      break;
  }
  return {4, 1};
}

}  // namespace

void ConvertRowSse2(BlockConversion kind, const void* src, void* dst, std::int64_t len) {
  ConvertRowSse2(kind, src, dst, len, false);
}

void ConvertRowSse2(BlockConversion kind, const void* src, void* dst, std::int64_t len,
                    bool stream) {
  const ConversionShape shape = ShapeOf(kind);
  const auto* s = static_cast<const std::uint8_t*>(src);
  auto* d = static_cast<std::uint8_t*>(dst);
  // Up to 16 elements through one block in a local buffer.
  auto few = [&](std::int64_t at, std::int64_t count) {
    alignas(16) std::uint8_t in[64] = {};
    alignas(16) std::uint8_t out[64];
    std::memcpy(in, s + at * shape.fromSize, static_cast<std::size_t>(count * shape.fromSize));
    ConvertBlock16(kind, in, out);
    std::memcpy(d + at * shape.toSize, out, static_cast<std::size_t>(count * shape.toSize));
  };
  std::int64_t i = 0;
  if (stream && Address(d) % shape.toSize == 0) {
    // Single elements until dst lies on a 16-byte boundary, then streamed
    // blocks.
    const std::int64_t head = std::min<std::int64_t>(
        len, static_cast<std::int64_t>((16 - Address(d) % 16) % 16) / shape.toSize);
    if (head > 0) {
      few(0, head);
    }
    i = ConvertBlocksOf<true>(kind, s, d, head, len, shape.fromSize, shape.toSize);
    _mm_sfence();
  } else {
    i = ConvertBlocksOf<false>(kind, s, d, 0, len, shape.fromSize, shape.toSize);
  }
  if (i < len) {
    few(i, len - i);
  }
}

void UInt8ScaledKernelSse2(UInt8Op op, const std::uint8_t* src, std::uint8_t* srcDst,
                           std::int64_t len, std::int32_t sf) {
  UInt8ScaledRow<Sse2Lanes>(op, src, srcDst, len, sf);
}

int DivInt32ScaledKernelSse2(const std::int32_t* src, const std::int32_t* src2, std::int32_t* dst,
                             std::int64_t len, std::int32_t sf) {
  // 2^-sf built directly from its exponent field.
  const double factor = std::bit_cast<double>(std::uint64_t(0x3FF - sf) << 52);
  const __m128d f = _mm_set1_pd(factor);
  const __m128d lo = _mm_set1_pd(-2147483648.0);
  const __m128d hi = _mm_set1_pd(2147483647.0);
  int zero = 0;
  auto single = [&](std::int64_t i) {
    const std::int32_t b = unaligned::Load(src + i);
    const std::int32_t a = unaligned::Load(src2 + i);
    if (b == 0) {
      unaligned::Store(dst + i, a > 0 ? INT32_MAX : (a < 0 ? INT32_MIN : 0));
      zero = 1;
      return;
    }
    const __m128d q = _mm_div_sd(_mm_mul_sd(_mm_set_sd(a), f), _mm_set_sd(b));
    unaligned::Store(dst + i, _mm_cvtsd_si32(_mm_max_sd(_mm_min_sd(q, hi), lo)));
  };
  std::int64_t i = 0;
  for (; i + 2 <= len; i += 2) {
    const __m128i bi = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(src + i));
    const __m128i ai = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(src2 + i));
    const __m128d b = _mm_cvtepi32_pd(bi);
    const __m128d isZero = _mm_cmpeq_pd(b, _mm_setzero_pd());
    if (_mm_movemask_pd(isZero) != 0) {
      // A pair with a zero divisor, lane by lane.
      single(i);
      single(i + 1);
      continue;
    }
    const __m128d q = _mm_div_pd(_mm_mul_pd(_mm_cvtepi32_pd(ai), f), b);
    const __m128i r = _mm_cvtpd_epi32(_mm_max_pd(_mm_min_pd(q, hi), lo));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(dst + i), r);
  }
  for (; i < len; ++i) {
    single(i);
  }
  return zero;
}
