// Set C: SSE2 with the SSE3 load for unaligned data. Every function of this
// file is compiled for SSE3 (the target region below opens after the
// includes, so inline functions of shared headers keep the baseline); the
// dispatch binds set C only on processors with SSE3.
#include <emmintrin.h>
#include <pmmintrin.h>

#include <cstring>

#include "signal/primitives/ScaledArithmetic.h"
#include "signal/primitives/kernels/Int16RowTemplate.h"
#include "signal/primitives/kernels/KernelShared.h"
#include "signal/primitives/kernels/VariantKernels.h"

#pragma GCC push_options
#pragma GCC target("sse3")

// Templates only (see there): instantiated here for set C's SSE3 load.
#include "signal/primitives/kernels/Sse2Templates.h"  // NOLINT(build/include_order)

namespace {

using namespace kernels_detail;

constexpr std::int64_t kCopyLargeC = 512 * 1024;

inline __m128i LoadU(const void* p) {
  return _mm_lddqu_si128(static_cast<const __m128i*>(p));
}

// a + b and a - b saturated to int32, lane by lane: the wrapped result has
// the wrong sign exactly on overflow, and the saturated value then has the
// sign of a.
inline __m128i SaturateOnOverflow(__m128i a, __m128i wrapped, __m128i overflow) {
  const __m128i sat = _mm_xor_si128(_mm_srai_epi32(a, 31), _mm_set1_epi32(0x7FFFFFFF));
  return _mm_or_si128(_mm_and_si128(overflow, sat), _mm_andnot_si128(overflow, wrapped));
}

inline __m128i SatAdd(__m128i a, __m128i b) {
  const __m128i sum = _mm_add_epi32(a, b);
  const __m128i overflow =
      _mm_srai_epi32(_mm_and_si128(_mm_xor_si128(a, sum), _mm_xor_si128(b, sum)), 31);
  return SaturateOnOverflow(a, sum, overflow);
}

inline __m128i SatSub(__m128i a, __m128i b) {
  const __m128i diff = _mm_sub_epi32(a, b);
  const __m128i overflow =
      _mm_srai_epi32(_mm_and_si128(_mm_xor_si128(a, b), _mm_xor_si128(a, diff)), 31);
  return SaturateOnOverflow(a, diff, overflow);
}

// The exact 64-bit t of one element, for the scalar steps.
inline std::int64_t Exact(std::int32_t x, std::int32_t value, bool sub) {
  return sub ? std::int64_t{value} - x : std::int64_t{x} + value;
}

inline std::int32_t Saturate32(std::int64_t t) {
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(t, INT32_MIN, INT32_MAX));
}

template <typename Lanes, typename Scalar>
void RunLanes(std::int32_t* p, std::int64_t len, Lanes lanes, Scalar scalar) {
  std::int64_t i = 0;
  if (len >= 11) {
    for (; i + 8 <= len; i += 8) {
      auto* v = reinterpret_cast<__m128i*>(p + i);
      const __m128i a = LoadU(v);
      const __m128i b = LoadU(v + 1);
      _mm_storeu_si128(v, lanes(a));
      _mm_storeu_si128(v + 1, lanes(b));
    }
  }
  for (; i + 4 <= len; i += 4) {
    auto* v = reinterpret_cast<__m128i*>(p + i);
    _mm_storeu_si128(v, lanes(LoadU(v)));
  }
  for (; i < len; ++i) {
    p[i] = scalar(p[i]);
  }
}

}  // namespace

void OffsetInt32SatKernelC(std::int32_t value, std::int32_t* srcDst, std::int64_t len, bool sub) {
  const __m128i v = _mm_set1_epi32(value);
  auto scalar = [value, sub](std::int32_t x) { return Saturate32(Exact(x, value, sub)); };
  if (sub) {
    RunLanes(
        srcDst, len, [v](__m128i x) { return SatSub(v, x); }, scalar);
  } else {
    RunLanes(
        srcDst, len, [v](__m128i x) { return SatAdd(x, v); }, scalar);
  }
}

void OffsetInt32RoundKernelC(std::int32_t value, std::int32_t* srcDst, std::int64_t len, int sf,
                             bool sub) {
  auto scalar = [value, sub, sf](std::int32_t x) {
    return Saturate32(primitives_detail::RoundShiftRight(Exact(x, value, sub), sf));
  };
  const __m128i v = _mm_set1_epi32(value);
  const __m128i one = _mm_set1_epi32(1);
  const __m128i maxValue = _mm_set1_epi32(0x7FFFFFFF);
  if (sf == 32) {
    // t lies in [-2^32, 2^32 - 1]; its rounded quotient is 1 above 2^31, -1
    // below -2^31 and 0 otherwise (the ties +-2^31 round to 0). The wrapped
    // sum overflows exactly when |t| >= 2^31; on a positive overflow t is
    // 2^31 exactly when the wrapped value is INT32_MIN.
    const __m128i minValue = _mm_set1_epi32(INT32_MIN);
    auto lanes = [=](__m128i x) {
      const __m128i a = sub ? v : x;
      const __m128i b = sub ? x : v;
      const __m128i w = sub ? _mm_sub_epi32(a, b) : _mm_add_epi32(a, b);
      const __m128i overflow =
          sub ? _mm_srai_epi32(_mm_and_si128(_mm_xor_si128(a, b), _mm_xor_si128(a, w)), 31)
              : _mm_srai_epi32(_mm_and_si128(_mm_xor_si128(a, w), _mm_xor_si128(b, w)), 31);
      const __m128i negative = _mm_srai_epi32(a, 31);
      const __m128i up =
          _mm_andnot_si128(_mm_cmpeq_epi32(w, minValue), _mm_andnot_si128(negative, overflow));
      const __m128i down = _mm_and_si128(negative, overflow);
      return _mm_or_si128(_mm_and_si128(up, one), down);
    };
    RunLanes(srcDst, len, lanes, scalar);
    return;
  }
  // 1 <= sf <= 31. t = a + b (+ 1 for the subtraction, with b = ~x), split
  // at bit sf: q = (a >> sf) + (b >> sf) + carry of the low parts, r the
  // low part of t; the result is q, plus 1 when r is above one half, or
  // exactly one half with q odd. The low parts fit 32 unsigned bits.
  const __m128i count = _mm_cvtsi32_si128(sf);
  const __m128i mask = _mm_set1_epi32(static_cast<std::int32_t>((std::uint32_t{1} << sf) - 1));
  const __m128i half = _mm_set1_epi32(static_cast<std::int32_t>(std::uint32_t{1} << (sf - 1)));
  const __m128i extra = sub ? one : _mm_setzero_si128();
  auto lanes = [=](__m128i x) {
    const __m128i a = v;
    const __m128i b = sub ? _mm_xor_si128(x, _mm_set1_epi32(-1)) : x;
    const __m128i lo =
        _mm_add_epi32(_mm_add_epi32(_mm_and_si128(a, mask), _mm_and_si128(b, mask)), extra);
    const __m128i q = _mm_add_epi32(_mm_add_epi32(_mm_sra_epi32(a, count), _mm_sra_epi32(b, count)),
                                    _mm_srl_epi32(lo, count));
    const __m128i r = _mm_and_si128(lo, mask);
    const __m128i above = _mm_cmpgt_epi32(r, half);
    const __m128i tie =
        _mm_and_si128(_mm_cmpeq_epi32(r, half), _mm_cmpeq_epi32(_mm_and_si128(q, one), one));
    __m128i inc = _mm_and_si128(_mm_or_si128(above, tie), one);
    // Only the subtraction's largest t can round past INT32_MAX.
    inc = _mm_andnot_si128(_mm_cmpeq_epi32(q, maxValue), inc);
    return _mm_add_epi32(q, inc);
  };
  RunLanes(srcDst, len, lanes, scalar);
}

void OffsetInt32ShiftUpKernelC(std::int32_t value, std::int32_t* srcDst, std::int64_t len, int k,
                               bool sub) {
  // The saturated t, shifted; a lane whose shift loses bits saturates by its
  // sign (a t beyond int32 already saturated, and shifts further out).
  auto scalar = [value, sub, k](std::int32_t x) {
    return Saturate32(Exact(x, value, sub) * (std::int64_t{1} << k));
  };
  const __m128i v = _mm_set1_epi32(value);
  const __m128i count = _mm_cvtsi32_si128(k);
  const __m128i maxValue = _mm_set1_epi32(0x7FFFFFFF);
  auto lanes = [=](__m128i x) {
    const __m128i t = sub ? SatSub(v, x) : SatAdd(x, v);
    const __m128i shifted = _mm_sll_epi32(t, count);
    const __m128i lost =
        _mm_xor_si128(_mm_cmpeq_epi32(_mm_sra_epi32(shifted, count), t), _mm_set1_epi32(-1));
    const __m128i sat = _mm_xor_si128(_mm_srai_epi32(t, 31), maxValue);
    return _mm_or_si128(_mm_and_si128(lost, sat), _mm_andnot_si128(lost, shifted));
  };
  RunLanes(srcDst, len, lanes, scalar);
}

namespace {

// Set C's unaligned load, the SSE3 load for data split across cache lines.
struct LoadC {
  static __m128i Get(const void* p) { return _mm_lddqu_si128(static_cast<const __m128i*>(p)); }
};

}  // namespace

void ConvertFloatToInt32KernelC(const float* src, std::int32_t* dst, std::int64_t len, float factor,
                                bool nearest) {
  ConvertFloatToInt32Sse2<LoadC>(src, dst, len, factor, nearest);
}

void* CopyBytesKernelC(const void* src, void* dst, std::int64_t nBytes) {
  return CopyBytesSse2<LoadC>(src, dst, nBytes, kCopyLargeC, 64);
}

#pragma GCC pop_options

// The 16-bit row kernels of set C are SSE2 code, like set B's.
Int16RowKernel Int16RowKernelC(Int16Op op, Int16Kind kind) {
  return kernels_detail::Int16RowFor<kernels_detail::Sse2Lanes>(op, kind);
}
