// The row kernels of the 16-bit block arithmetic, written once over a lane
// set (eight 16-bit lanes of SSE2 or four of MMX) and instantiated by each
// kernel set in its own file. Internal to the kernels.
#pragma once

#include <emmintrin.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "signal/primitives/UnalignedAccess.h"
#include "signal/primitives/kernels/VariantKernels.h"

namespace kernels_detail {

template <Int16Op kOp>
inline std::int32_t ExactInt16(std::int32_t d, std::int32_t s) {
  if constexpr (kOp == Int16Op::Add) {
    return d + s;
  } else if constexpr (kOp == Int16Op::Sub) {
    return d - s;
  } else {
    return d * s;
  }
}

inline std::int16_t Clamp16(std::int32_t x) {
  return static_cast<std::int16_t>(std::clamp(x, -32768, 32767));
}

// One sample by the element formula of its case.
template <Int16Op kOp, Int16Kind kKind>
inline std::int16_t ScalarInt16(std::int16_t d, std::int16_t s, int k) {
  const std::int32_t x = ExactInt16<kOp>(d, s);
  if constexpr (kKind == Int16Kind::Sat) {
    return Clamp16(x);
  } else if constexpr (kKind == Int16Kind::Half) {
    return Clamp16((x + ((x >> 1) & 1)) >> 1);
  } else if constexpr (kKind == Int16Kind::ShiftDown) {
    return Clamp16((x + ((1 << (k - 1)) - 1) + ((x >> k) & 1)) >> k);
  } else if constexpr (kKind == Int16Kind::ShiftUp) {
    // |x| <= 65536 and k <= 15 (add, subtract), or clamped and k <= 14
    // (multiply): the shift stays within 32 bits.
    const std::int32_t base = kOp == Int16Op::Mul ? Clamp16(x) : x;
    return Clamp16(static_cast<std::int32_t>(static_cast<std::uint32_t>(base) << k));
  } else {
    return static_cast<std::int16_t>(x > 0 ? 32767 : (x < 0 ? -32768 : 0));
  }
}

// The vector form of one block of lanes. L supplies the lane operations.
template <typename L, Int16Op kOp, Int16Kind kKind>
inline typename L::V VectorInt16(typename L::V d, typename L::V s, int k) {
  using V = typename L::V;
  if constexpr (kOp != Int16Op::Mul) {
    if constexpr (kKind == Int16Kind::Sat) {
      return kOp == Int16Op::Add ? L::AddSat16(d, s) : L::SubSat16(d, s);
    } else if constexpr (kKind == Int16Kind::Half || kKind == Int16Kind::ShiftDown) {
      // x exactly in 32-bit lanes: pairs (d, s) weighted (1, 1) or (1, -1).
      const V weights =
          L::Set32(kOp == Int16Op::Add ? 0x00010001 : static_cast<std::int32_t>(0xFFFF0001u));
      const int shift = kKind == Int16Kind::Half ? 1 : k;
      const V offset = L::Set32(kKind == Int16Kind::Half ? 0 : (1 << (k - 1)) - 1);
      const V one = L::Set32(1);
      auto scale = [&](V x) {
        const V parity = L::And(L::Srl32(x, shift), one);
        return L::Sra32(L::Add32(L::Add32(x, offset), parity), shift);
      };
      const V lo = scale(L::MulAdd(L::UnpackLo16(d, s), weights));
      const V hi = scale(L::MulAdd(L::UnpackHi16(d, s), weights));
      return L::Pack32(lo, hi);
    } else {
      const V sat = kOp == Int16Op::Add ? L::AddSat16(d, s) : L::SubSat16(d, s);
      if constexpr (kKind == Int16Kind::ShiftUp) {
        // A value clamped before a left shift of at least one bit still
        // lands beyond the 16-bit range on the same side.
        const V sign = L::Sra16(sat, 15);
        return L::Pack32(L::Sll32(L::UnpackLo16(sat, sign), k),
                         L::Sll32(L::UnpackHi16(sat, sign), k));
      } else {
        const V zero = L::Zero();
        return L::Pack32(L::UnpackLo16(zero, sat), L::UnpackHi16(zero, sat));
      }
    }
  } else {
    const V zero = L::Zero();
    if constexpr (kKind == Int16Kind::Sign) {
      const V opposite = L::Sra16(L::Xor(d, s), 15);
      const V r = L::Sub16(L::Set16(32767), opposite);
      const V eitherZero = L::Or(L::CmpEq16(d, zero), L::CmpEq16(s, zero));
      return L::AndNot(eitherZero, r);
    } else {
      // p exactly: pairs (d, 0) times (s, 0).
      const V lo = L::MulAdd(L::UnpackLo16(d, zero), L::UnpackLo16(s, zero));
      const V hi = L::MulAdd(L::UnpackHi16(d, zero), L::UnpackHi16(s, zero));
      if constexpr (kKind == Int16Kind::Sat) {
        return L::Pack32(lo, hi);
      } else if constexpr (kKind == Int16Kind::ShiftUp) {
        // The clamped product in the upper half of a 32-bit lane, shifted
        // right by 16 - k, is the clamped product shifted left by k.
        const V clamped = L::Pack32(lo, hi);
        return L::Pack32(L::Sra32(L::UnpackLo16(zero, clamped), 16 - k),
                         L::Sra32(L::UnpackHi16(zero, clamped), 16 - k));
      } else {
        const int shift = kKind == Int16Kind::Half ? 1 : k;
        const V offset = L::Set32(kKind == Int16Kind::Half ? 0 : (1 << (k - 1)) - 1);
        const V one = L::Set32(1);
        auto scale = [&](V x) {
          const V parity = L::And(L::Srl32(x, shift), one);
          return L::Sra32(L::Add32(L::Add32(x, offset), parity), shift);
        };
        return L::Pack32(scale(lo), scale(hi));
      }
    }
  }
}

// One row: short rows by the element formula; longer ones as a scalar head
// that brings an even srcDst to the lane set's boundary, blocks of lanes
// (each block read whole before it is written) and a scalar tail.
template <typename L, Int16Op kOp, Int16Kind kKind>
void Int16Row(const std::int16_t* src, std::int16_t* srcDst, std::int64_t len, int k) {
  std::int64_t i = 0;
  if (len >= L::template Threshold<kOp, kKind>()) {
    const auto address = reinterpret_cast<std::uintptr_t>(srcDst);
    if ((address & 1) == 0) {
      const std::int64_t head =
          static_cast<std::int64_t>((L::kBytes - address % L::kBytes) % L::kBytes) / 2;
      for (; i < head; ++i) {
        srcDst[i] = ScalarInt16<kOp, kKind>(srcDst[i], unaligned::Load(src + i), k);
      }
    }
    for (; i + L::kLanes <= len; i += L::kLanes) {
      L::Store(srcDst + i, VectorInt16<L, kOp, kKind>(L::Load(srcDst + i), L::Load(src + i), k));
    }
    L::End();
  }
  for (; i < len; ++i) {
    unaligned::Store(srcDst + i, ScalarInt16<kOp, kKind>(unaligned::Load(srcDst + i),
                                                         unaligned::Load(src + i), k));
  }
}

// Eight 16-bit lanes of SSE2, unaligned loads and stores.
struct Sse2Lanes {
  using V = __m128i;
  static constexpr int kLanes = 8;
  static constexpr std::uintptr_t kBytes = 16;
  template <Int16Op kOp, Int16Kind kKind>
  static constexpr std::int64_t Threshold() {
    if (kKind == Int16Kind::Half || kKind == Int16Kind::ShiftDown ||
        (kOp == Int16Op::Mul && kKind == Int16Kind::ShiftUp)) {
      return 15;
    }
    return 23;
  }
  static V Load(const std::int16_t* p) { return _mm_loadu_si128(reinterpret_cast<const V*>(p)); }
  static void Store(std::int16_t* p, V v) { _mm_storeu_si128(reinterpret_cast<V*>(p), v); }
  static void End() {}
  static V AddSat16(V a, V b) { return _mm_adds_epi16(a, b); }
  static V SubSat16(V a, V b) { return _mm_subs_epi16(a, b); }
  static V Sub16(V a, V b) { return _mm_sub_epi16(a, b); }
  static V UnpackLo16(V a, V b) { return _mm_unpacklo_epi16(a, b); }
  static V UnpackHi16(V a, V b) { return _mm_unpackhi_epi16(a, b); }
  static V MulAdd(V a, V b) { return _mm_madd_epi16(a, b); }
  static V Add32(V a, V b) { return _mm_add_epi32(a, b); }
  static V Srl32(V a, int n) { return _mm_srl_epi32(a, _mm_cvtsi32_si128(n)); }
  static V Sra32(V a, int n) { return _mm_sra_epi32(a, _mm_cvtsi32_si128(n)); }
  static V Sll32(V a, int n) { return _mm_sll_epi32(a, _mm_cvtsi32_si128(n)); }
  static V Sra16(V a, int n) { return _mm_sra_epi16(a, _mm_cvtsi32_si128(n)); }
  static V Pack32(V a, V b) { return _mm_packs_epi32(a, b); }
  static V And(V a, V b) { return _mm_and_si128(a, b); }
  static V Or(V a, V b) { return _mm_or_si128(a, b); }
  static V Xor(V a, V b) { return _mm_xor_si128(a, b); }
  static V AndNot(V a, V b) { return _mm_andnot_si128(a, b); }
  static V CmpEq16(V a, V b) { return _mm_cmpeq_epi16(a, b); }
  static V Zero() { return _mm_setzero_si128(); }
  static V Set32(std::int32_t v) { return _mm_set1_epi32(v); }
  static V Set16(std::int16_t v) { return _mm_set1_epi16(v); }
  // Byte operations of the byte arithmetic.
  static V LoadBytes(const std::uint8_t* p) {
    return _mm_loadu_si128(reinterpret_cast<const V*>(p));
  }
  static void StoreBytes(std::uint8_t* p, V v) { _mm_storeu_si128(reinterpret_cast<V*>(p), v); }
  static V SubSatU8(V a, V b) { return _mm_subs_epu8(a, b); }
  static V AddSatU8(V a, V b) { return _mm_adds_epu8(a, b); }
  static V Srl16(V a, int n) { return _mm_srl_epi16(a, _mm_cvtsi32_si128(n)); }
  static V Sll16(V a, int n) { return _mm_sll_epi16(a, _mm_cvtsi32_si128(n)); }
  static V Min16(V a, V b) { return _mm_min_epi16(a, b); }
  static V CmpEq8(V a, V b) { return _mm_cmpeq_epi8(a, b); }
  static V UnpackLo8(V a, V b) { return _mm_unpacklo_epi8(a, b); }
  static V UnpackHi8(V a, V b) { return _mm_unpackhi_epi8(a, b); }
  static V Add16(V a, V b) { return _mm_add_epi16(a, b); }
  static V MulLo16(V a, V b) { return _mm_mullo_epi16(a, b); }
  static V Srl32Logical(V a, int n) { return _mm_srl_epi32(a, _mm_cvtsi32_si128(n)); }
  static V CmpEq32(V a, V b) { return _mm_cmpeq_epi32(a, b); }
  static V PackUs16(V a, V b) { return _mm_packus_epi16(a, b); }
};

}  // namespace kernels_detail

// Defines the named row kernel `name` as lane set L's row of an operation
// (Add, Sub, Mul) and scale case (Sat, Half, Sign; ShiftDown and ShiftUp
// take the shift count k).
#define KESTRUNE_INT16_PLAIN_ROW(name, L, op, kind)                                 \
  void name(const std::int16_t* src, std::int16_t* srcDst, std::int32_t len) {      \
    kernels_detail::Int16Row<L, Int16Op::op, Int16Kind::kind>(src, srcDst, len, 0); \
  }
#define KESTRUNE_INT16_SHIFT_ROW(name, L, op, kind)                                            \
  void name(const std::int16_t* src, std::int16_t* srcDst, std::int32_t len, std::int32_t k) { \
    kernels_detail::Int16Row<L, Int16Op::op, Int16Kind::kind>(src, srcDst, len, k);            \
  }
