// Exact scaled int32 sums and differences on four 32-bit lanes, shared by the
// int32 offsets of set C and the int32 add and subtract of sets B and C.
// t is x + s, x - s or s - x (x the destination element, s the second
// operand: a source element or a broadcast value), at most 33 bits; every
// form gives t * 2^-sf rounded to nearest with ties to even and saturated,
// without forming 64-bit sums. Internal to the kernels.
#pragma once

#include <emmintrin.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "signal/primitives/ScaledArithmetic.h"

namespace kernels_detail {

enum class Int32Form : std::uint8_t { Add, Sub, SubFrom };
enum class Int32Case : std::uint8_t { Sat, Round, ShiftUp };

// a + b and a - b saturated, lane by lane: the wrapped result has the wrong
// sign exactly on overflow, and the saturated value then has the sign of a.
inline __m128i SaturateOnOverflow(__m128i a, __m128i wrapped, __m128i overflow) {
  const __m128i sat = _mm_xor_si128(_mm_srai_epi32(a, 31), _mm_set1_epi32(0x7FFFFFFF));
  return _mm_or_si128(_mm_and_si128(overflow, sat), _mm_andnot_si128(overflow, wrapped));
}

inline __m128i AddOverflow(__m128i a, __m128i b, __m128i sum) {
  return _mm_srai_epi32(_mm_and_si128(_mm_xor_si128(a, sum), _mm_xor_si128(b, sum)), 31);
}

inline __m128i SubOverflow(__m128i a, __m128i b, __m128i diff) {
  return _mm_srai_epi32(_mm_and_si128(_mm_xor_si128(a, b), _mm_xor_si128(a, diff)), 31);
}

inline __m128i SatAddLanes(__m128i a, __m128i b) {
  const __m128i sum = _mm_add_epi32(a, b);
  return SaturateOnOverflow(a, sum, AddOverflow(a, b, sum));
}

inline __m128i SatSubLanes(__m128i a, __m128i b) {
  const __m128i diff = _mm_sub_epi32(a, b);
  return SaturateOnOverflow(a, diff, SubOverflow(a, b, diff));
}

// The operands of t = a + b or a - b for a form.
inline void Operands(Int32Form form, __m128i x, __m128i s, __m128i& a, __m128i& b) {
  a = form == Int32Form::SubFrom ? s : x;
  b = form == Int32Form::SubFrom ? x : s;
}

inline __m128i SatLanes(Int32Form form, __m128i x, __m128i s) {
  __m128i a, b;
  Operands(form, x, s, a, b);
  return form == Int32Form::Add ? SatAddLanes(a, b) : SatSubLanes(a, b);
}

// 1 <= sf <= 32. For sf <= 31, t = a + b' (+ 1 for a difference, with
// b' = ~b) is split at bit sf: q = (a >> sf) + (b' >> sf) + the carry of the
// low parts, r the low part of t (the low parts fit 32 unsigned bits); the
// result is q, plus 1 when r is above one half, or one half with q odd. For
// sf = 32, t lies in [-2^32, 2^32 - 1] and rounds to 1 above 2^31, -1 below
// -2^31, else 0: the wrapped sum overflows exactly when |t| >= 2^31, and on a
// positive overflow t is 2^31 exactly when the wrapped value is INT32_MIN.
inline __m128i RoundLanes(Int32Form form, __m128i x, __m128i s, int sf) {
  __m128i a, b;
  Operands(form, x, s, a, b);
  const bool difference = form != Int32Form::Add;
  const __m128i one = _mm_set1_epi32(1);
  if (sf == 32) {
    const __m128i w = difference ? _mm_sub_epi32(a, b) : _mm_add_epi32(a, b);
    const __m128i overflow = difference ? SubOverflow(a, b, w) : AddOverflow(a, b, w);
    const __m128i negative = _mm_srai_epi32(a, 31);
    const __m128i up = _mm_andnot_si128(_mm_cmpeq_epi32(w, _mm_set1_epi32(INT32_MIN)),
                                        _mm_andnot_si128(negative, overflow));
    const __m128i down = _mm_and_si128(negative, overflow);
    return _mm_or_si128(_mm_and_si128(up, one), down);
  }
  const __m128i count = _mm_cvtsi32_si128(sf);
  const __m128i mask = _mm_set1_epi32(static_cast<std::int32_t>((std::uint32_t{1} << sf) - 1));
  const __m128i half = _mm_set1_epi32(static_cast<std::int32_t>(std::uint32_t{1} << (sf - 1)));
  const __m128i bb = difference ? _mm_xor_si128(b, _mm_set1_epi32(-1)) : b;
  const __m128i lo = _mm_add_epi32(_mm_add_epi32(_mm_and_si128(a, mask), _mm_and_si128(bb, mask)),
                                   difference ? one : _mm_setzero_si128());
  const __m128i q = _mm_add_epi32(_mm_add_epi32(_mm_sra_epi32(a, count), _mm_sra_epi32(bb, count)),
                                  _mm_srl_epi32(lo, count));
  const __m128i r = _mm_and_si128(lo, mask);
  const __m128i above = _mm_cmpgt_epi32(r, half);
  const __m128i tie =
      _mm_and_si128(_mm_cmpeq_epi32(r, half), _mm_cmpeq_epi32(_mm_and_si128(q, one), one));
  __m128i inc = _mm_and_si128(_mm_or_si128(above, tie), one);
  // Only a difference's largest t can round past INT32_MAX.
  inc = _mm_andnot_si128(_mm_cmpeq_epi32(q, _mm_set1_epi32(0x7FFFFFFF)), inc);
  return _mm_add_epi32(q, inc);
}

// 1 <= k <= 30: the saturated t shifted left; a lane whose shift loses bits
// saturates by its sign (a t beyond int32 has already saturated).
inline __m128i ShiftUpLanes(Int32Form form, __m128i x, __m128i s, int k) {
  const __m128i t = SatLanes(form, x, s);
  const __m128i count = _mm_cvtsi32_si128(k);
  const __m128i shifted = _mm_sll_epi32(t, count);
  const __m128i lost =
      _mm_xor_si128(_mm_cmpeq_epi32(_mm_sra_epi32(shifted, count), t), _mm_set1_epi32(-1));
  const __m128i sat = _mm_xor_si128(_mm_srai_epi32(t, 31), _mm_set1_epi32(0x7FFFFFFF));
  return _mm_or_si128(_mm_and_si128(lost, sat), _mm_andnot_si128(lost, shifted));
}

// The exact t of one element and its stored value, for the scalar steps.
inline std::int32_t ScalarInt32(Int32Case c, Int32Form form, std::int32_t x, std::int32_t s,
                                int k) {
  const std::int64_t t = form == Int32Form::Add
                             ? std::int64_t{x} + s
                             : (form == Int32Form::Sub ? std::int64_t{x} - s : std::int64_t{s} - x);
  std::int64_t r = t;
  if (c == Int32Case::Round) {
    r = primitives_detail::RoundShiftRight(t, k);
  } else if (c == Int32Case::ShiftUp) {
    r = t * (std::int64_t{1} << k);
  }
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(r, INT32_MIN, INT32_MAX));
}

// One run: srcDst[i] = f(srcDst[i], s_i) with s_i = src[i], or `value`
// (kBroadcast); eight lanes per step from 11 elements on, then four, then
// single elements. Blocks are read before they are written. The case, form
// and operand kind are template arguments so that each loop is straight.
template <Int32Case kCase, Int32Form kForm, bool kBroadcast>
void Int32LaneLoop(const std::int32_t* src, std::int32_t value, std::int32_t* srcDst,
                   std::int64_t len, int k) {
  const __m128i broadcast = _mm_set1_epi32(value);
  auto second = [&](std::int64_t i) {
    if constexpr (kBroadcast) {
      return broadcast;
    } else {
      return _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
    }
  };
  auto lanes = [k](__m128i x, __m128i s) {
    if constexpr (kCase == Int32Case::Sat) {
      return SatLanes(kForm, x, s);
    } else if constexpr (kCase == Int32Case::Round) {
      return RoundLanes(kForm, x, s, k);
    } else {
      return ShiftUpLanes(kForm, x, s, k);
    }
  };
  std::int64_t i = 0;
  if (len >= 11) {
    for (; i + 8 <= len; i += 8) {
      auto* v = reinterpret_cast<__m128i*>(srcDst + i);
      const __m128i x0 = _mm_loadu_si128(v);
      const __m128i x1 = _mm_loadu_si128(v + 1);
      const __m128i s0 = second(i);
      const __m128i s1 = second(i + 4);
      _mm_storeu_si128(v, lanes(x0, s0));
      _mm_storeu_si128(v + 1, lanes(x1, s1));
    }
  }
  for (; i + 4 <= len; i += 4) {
    auto* v = reinterpret_cast<__m128i*>(srcDst + i);
    _mm_storeu_si128(v, lanes(_mm_loadu_si128(v), second(i)));
  }
  // The tail reads and writes through memcpy: callers may pass int32 rows at
  // any byte address, as the vector loads above allow.
  for (; i < len; ++i) {
    std::int32_t a;
    std::int32_t b = value;
    std::memcpy(&a, srcDst + i, sizeof a);
    if (!kBroadcast)
      std::memcpy(&b, src + i, sizeof b);
    const std::int32_t result = ScalarInt32(kCase, kForm, a, b, k);
    std::memcpy(srcDst + i, &result, sizeof result);
  }
}

template <Int32Case kCase, Int32Form kForm>
void Int32LaneRunFor(const std::int32_t* src, std::int32_t value, std::int32_t* srcDst,
                     std::int64_t len, int k) {
  src == nullptr ? Int32LaneLoop<kCase, kForm, true>(src, value, srcDst, len, k)
                 : Int32LaneLoop<kCase, kForm, false>(src, value, srcDst, len, k);
}

template <Int32Case kCase>
void Int32LaneRunFor(Int32Form form, const std::int32_t* src, std::int32_t value,
                     std::int32_t* srcDst, std::int64_t len, int k) {
  switch (form) {
    case Int32Form::Add:
      return Int32LaneRunFor<kCase, Int32Form::Add>(src, value, srcDst, len, k);
    case Int32Form::Sub:
      return Int32LaneRunFor<kCase, Int32Form::Sub>(src, value, srcDst, len, k);
    case Int32Form::SubFrom:
      break;
  }
  Int32LaneRunFor<kCase, Int32Form::SubFrom>(src, value, srcDst, len, k);
}

// srcDst[i] = f(srcDst[i], s_i), s_i = src[i] or `value` when src is null.
inline void Int32LaneRun(Int32Case c, Int32Form form, const std::int32_t* src, std::int32_t value,
                         std::int32_t* srcDst, std::int64_t len, int k) {
  switch (c) {
    case Int32Case::Sat:
      return Int32LaneRunFor<Int32Case::Sat>(form, src, value, srcDst, len, k);
    case Int32Case::Round:
      return Int32LaneRunFor<Int32Case::Round>(form, src, value, srcDst, len, k);
    case Int32Case::ShiftUp:
      break;
  }
  Int32LaneRunFor<Int32Case::ShiftUp>(form, src, value, srcDst, len, k);
}

}  // namespace kernels_detail
