// Internals shared by the portable primitives: the exact integer arithmetic
// of the scaled integer primitives (scale-factor cases, rounding to nearest
// with ties to even, saturation, the exact rounded quotient) and the element
// loops (in-place, conversion and fill loops over blocks of elements, with
// alignment-free element access).
//
// A scaled result is the exact value t times 2^-sf, rounded to nearest with
// ties to even and saturated to the element type. The primitives choose a
// case once per call (`ClassifyScale`, `WithScale`) and run one loop per
// case, so the loop body contains no test of sf. Internal to the primitives
// module.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <type_traits>

#include "signal/primitives/ArgumentChecks.h"
#include "signal/primitives/PrimitiveDispatch.h"

namespace primitives_detail {

// How a scale factor is applied, decided once per call.
enum class ScaleCase {
  Saturate,    // sf = 0: t saturated.
  RoundRight,  // 1 <= sf <= rightLimit: t / 2^sf rounded half to even, saturated.
  ShiftLeft,   // leftLimit <= sf <= -1: t * 2^-sf saturated (fits the wide type).
  SignOnly,    // sf < leftLimit: every non-zero t saturates; only its sign matters.
  Zero,        // sf > rightLimit: every rounded result is 0.
};

// rightLimit: the largest sf whose rounded result can be non-zero; leftLimit:
// the most negative sf whose left shift still fits the wide type.
constexpr ScaleCase ClassifyScale(std::int32_t sf, std::int32_t rightLimit,
                                  std::int32_t leftLimit) {
  if (sf == 0) {
    return ScaleCase::Saturate;
  }
  if (sf > 0) {
    return sf <= rightLimit ? ScaleCase::RoundRight : ScaleCase::Zero;
  }
  return sf >= leftLimit ? ScaleCase::ShiftLeft : ScaleCase::SignOnly;
}

// t / 2^shift rounded to nearest, ties to even, for shift >= 1, with `>>` an
// arithmetic shift:  (t + 2^(shift-1) - 1 + ((t >> shift) & 1)) >> shift.
// Adding 2^(shift-1) - 1 rounds every fraction above one half up; the odd bit
// of the truncated quotient adds the last unit exactly when the fraction is
// one half and the quotient is odd. The caller guarantees t + 2^(shift-1)
// fits in Wide.
template <typename Wide>
constexpr Wide RoundShiftRight(Wide t, int shift) {
  return (t + ((Wide{1} << (shift - 1)) - 1) + ((t >> shift) & 1)) >> shift;
}

// The stored value of t for scale case C: t scaled by `shift` (sf for
// RoundRight, -sf for ShiftLeft) and saturated to [lo, hi].
template <ScaleCase C, typename Wide>
constexpr Wide ScaleAndSaturate(Wide t, int shift, Wide lo, Wide hi) {
  if constexpr (C == ScaleCase::Saturate) {
    return std::clamp(t, lo, hi);
  } else if constexpr (C == ScaleCase::RoundRight) {
    return std::clamp(RoundShiftRight(t, shift), lo, hi);
  } else if constexpr (C == ScaleCase::ShiftLeft) {
    return std::clamp(static_cast<Wide>(t * (Wide{1} << shift)), lo, hi);
  } else {
    static_assert(C == ScaleCase::SignOnly, "the zero case writes no element values");
    return t > 0 ? hi : (t < 0 ? lo : Wide{0});
  }
}

// a + b and a - b saturated to the int32 range, in 32-bit arithmetic without
// branches (so the compiler can use vector instructions): the wrapped result
// has the wrong sign exactly on overflow, and then the saturated value has
// the sign of a.
constexpr std::int32_t SaturatingAddInt32(std::int32_t a, std::int32_t b) {
  const auto sum =
      static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
  const std::int32_t overflow = ((a ^ sum) & (b ^ sum)) >> 31;  // all ones on overflow
  const std::int32_t saturated = (a >> 31) ^ 0x7FFFFFFF;
  return (sum & ~overflow) | (saturated & overflow);
}

constexpr std::int32_t SaturatingSubInt32(std::int32_t a, std::int32_t b) {
  const auto difference =
      static_cast<std::int32_t>(static_cast<std::uint32_t>(a) - static_cast<std::uint32_t>(b));
  const std::int32_t overflow = ((a ^ b) & (a ^ difference)) >> 31;
  const std::int32_t saturated = (a >> 31) ^ 0x7FFFFFFF;
  return (difference & ~overflow) | (saturated & overflow);
}

// Magnitude of N / D rounded to nearest with ties to even, for magnitudes
// n >= 0 and d >= 1 of any unsigned type.
template <typename UInt>
constexpr UInt RoundedQuotientMagnitude(UInt n, UInt d) {
  UInt q = n / d;
  const UInt r = n % d;
  const UInt rest = d - r;  // r < d, so the comparison r ? d - r never overflows.
  if (r > rest || (r == rest && (q & 1) != 0)) {
    ++q;
  }
  return q;
}

// The nearest integer to num / den (den != 0), ties to even, saturated to
// [lo, hi]. `negative` is the sign of the quotient; magnitudes are passed as
// unsigned values of any width.
template <typename UInt>
constexpr std::int64_t SaturatedRoundedQuotient(UInt numMagnitude, UInt denMagnitude, bool negative,
                                                std::int64_t lo, std::int64_t hi) {
  const UInt q = RoundedQuotientMagnitude(numMagnitude, denMagnitude);
  if (negative) {
    return q > static_cast<UInt>(-lo) ? lo : -static_cast<std::int64_t>(q);
  }
  return q > static_cast<UInt>(hi) ? hi : static_cast<std::int64_t>(q);
}

constexpr std::uint64_t Magnitude(std::int64_t v) {
  return v < 0 ? std::uint64_t{0} - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
}

// Element access that tolerates any address alignment and any overlap of
// arrays of different element types (block rows at odd byte offsets; the
// scope's in-place double -> float -> int32 conversions). memcpy accesses
// carry no type-based aliasing assumptions and compile to plain moves.
template <typename T>
inline T LoadUnaligned(const void* p) {
  T value;
  std::memcpy(&value, p, sizeof value);
  return value;
}

template <typename T>
inline void StoreUnaligned(void* p, T value) {
  std::memcpy(p, &value, sizeof value);
}

// Row r of a block: base + r * step bytes, formed in 64 bits.
template <typename Byte>
inline Byte* RowAt(Byte* base, std::int64_t row, std::int32_t step) {
  return base + row * step;
}

// Elements per block of the element loops below. The loops over a block are
// fully unrolled (the pragmas repeat this number), so the block lives in
// registers and the compiler can combine neighbouring elements into vector
// operations.
inline constexpr int kLoopBlock = 8;

// srcDst[i] = op(srcDst[i], src[i]) for i in [0, len). The loop works in
// blocks: all elements of a block of both arrays are loaded before any
// result of the block is stored. The compiler can then use vector
// instructions without proving that the arrays do not overlap. Element
// accesses go through memcpy, so rows may start at any byte address.
// Correct when src and srcDst are the same array or do not overlap.
template <typename D, typename S, typename Op>
inline void InPlaceBlocks(const S* src, D* srcDst, std::int64_t len, Op op) {
  std::int64_t i = 0;
  for (; i + kLoopBlock <= len; i += kLoopBlock) {
    D d[kLoopBlock];
    S s[kLoopBlock];
#pragma GCC unroll 8
    for (int k = 0; k < kLoopBlock; ++k) {
      d[k] = LoadUnaligned<D>(srcDst + i + k);
      s[k] = LoadUnaligned<S>(src + i + k);
    }
#pragma GCC unroll 8
    for (int k = 0; k < kLoopBlock; ++k) {
      d[k] = op(d[k], s[k]);
    }
#pragma GCC unroll 8
    for (int k = 0; k < kLoopBlock; ++k) {
      StoreUnaligned<D>(srcDst + i + k, d[k]);
    }
  }
  for (; i < len; ++i) {
    StoreUnaligned<D>(srcDst + i, op(LoadUnaligned<D>(srcDst + i), LoadUnaligned<S>(src + i)));
  }
}

// dst[i] = convert(src[i]) for i in [0, len), in blocks as above. A block of
// the source is read whole before any of its results is written, so the
// conversion may run in place inside one buffer when a destination element
// is no larger than a source element (element i of dst then lies at or below
// element i of src).
template <typename From, typename To, typename Convert>
inline void ConvertBlocks(const From* src, To* dst, std::int64_t len, Convert convert) {
  std::int64_t i = 0;
  for (; i + kLoopBlock <= len; i += kLoopBlock) {
    From s[kLoopBlock];
    To d[kLoopBlock];
#pragma GCC unroll 8
    for (int k = 0; k < kLoopBlock; ++k) {
      s[k] = LoadUnaligned<From>(src + i + k);
    }
#pragma GCC unroll 8
    for (int k = 0; k < kLoopBlock; ++k) {
      d[k] = convert(s[k]);
    }
#pragma GCC unroll 8
    for (int k = 0; k < kLoopBlock; ++k) {
      StoreUnaligned<To>(dst + i + k, d[k]);
    }
  }
  for (; i < len; ++i) {
    StoreUnaligned<To>(dst + i, convert(LoadUnaligned<From>(src + i)));
  }
}

// dst[i] = op(src[i], src2[i]) for i in [0, len), in blocks as above: a
// block of both sources is read whole before its results are written, so
// src2 and dst may be the same array.
template <typename S, typename S2, typename D, typename Op>
inline void TwoSourceBlocks(const S* src, const S2* src2, D* dst, std::int64_t len, Op op) {
  std::int64_t i = 0;
  for (; i + kLoopBlock <= len; i += kLoopBlock) {
    D d[kLoopBlock];
#pragma GCC unroll 8
    for (int k = 0; k < kLoopBlock; ++k) {
      d[k] = op(LoadUnaligned<S>(src + i + k), LoadUnaligned<S2>(src2 + i + k));
    }
#pragma GCC unroll 8
    for (int k = 0; k < kLoopBlock; ++k) {
      StoreUnaligned<D>(dst + i + k, d[k]);
    }
  }
  for (; i < len; ++i) {
    StoreUnaligned<D>(dst + i, op(LoadUnaligned<S>(src + i), LoadUnaligned<S2>(src2 + i)));
  }
}

// dst[0 .. len-1] = value, in blocks as above; dst may start at any byte
// address.
template <typename T>
inline void FillBlocks(T* dst, std::int64_t len, T value) {
  std::int64_t i = 0;
  for (; i + kLoopBlock <= len; i += kLoopBlock) {
#pragma GCC unroll 8
    for (int k = 0; k < kLoopBlock; ++k) {
      StoreUnaligned<T>(dst + i + k, value);
    }
  }
  for (; i < len; ++i) {
    StoreUnaligned<T>(dst + i, value);
  }
}

// The checked 2-D fill shared by the block fills: -8 for a null dst, -6 for a
// width or height below 1, -14 for a step below 1, else every element of the
// block set to value.
template <typename T>
inline PrimitiveStatus FillBlockChecked(T value, T* dst, std::int32_t dstStep, std::int32_t width,
                                        std::int32_t height) {
  if (const PrimitiveStatus status = CheckBlockArguments({dst}, width, height, {dstStep});
      status != StatusOk) {
    return status;
  }
  auto* bytes = reinterpret_cast<unsigned char*>(dst);
  for (std::int64_t row = 0; row < height; ++row) {
    FillBlocks(reinterpret_cast<T*>(RowAt(bytes, row, dstStep)), width, value);
  }
  return StatusOk;
}

// Calls run(scale) once, where scale(t) is the stored element value of the
// exact value t for the scale case chosen: the case is decided here, outside
// every element loop, and each case gets its own instantiation of the loop
// (sf = 1 with a constant shift). `scaleCase` must not be ScaleCase::Zero
// (the callers zero-fill instead). With clampBeforeLeftShift (the
// multiplications) t is first saturated to the element range in the
// ShiftLeft case, which keeps the shift inside Wide.
template <typename Elem, typename Wide, typename Run>
inline void WithScale(ScaleCase scaleCase, std::int32_t sf, bool clampBeforeLeftShift, Run run) {
  static constexpr Wide lo = std::numeric_limits<Elem>::min();
  static constexpr Wide hi = std::numeric_limits<Elem>::max();
  switch (scaleCase) {
    case ScaleCase::Saturate:
      run([](Wide t) {
        return static_cast<Elem>(ScaleAndSaturate<ScaleCase::Saturate>(t, 0, lo, hi));
      });
      return;
    case ScaleCase::RoundRight:
      if (sf == 1) {
        run([](Wide t) {
          return static_cast<Elem>(ScaleAndSaturate<ScaleCase::RoundRight>(t, 1, lo, hi));
        });
      } else {
        run([sf](Wide t) {
          return static_cast<Elem>(ScaleAndSaturate<ScaleCase::RoundRight>(t, sf, lo, hi));
        });
      }
      return;
    case ScaleCase::ShiftLeft:
      if (clampBeforeLeftShift) {
        run([sf](Wide t) {
          return static_cast<Elem>(
              ScaleAndSaturate<ScaleCase::ShiftLeft>(std::clamp(t, lo, hi), -sf, lo, hi));
        });
      } else {
        run([sf](Wide t) {
          return static_cast<Elem>(ScaleAndSaturate<ScaleCase::ShiftLeft>(t, -sf, lo, hi));
        });
      }
      return;
    case ScaleCase::SignOnly:
      run([](Wide t) {
        return static_cast<Elem>(ScaleAndSaturate<ScaleCase::SignOnly>(t, 0, lo, hi));
      });
      return;
    case ScaleCase::Zero:
      return;
  }
}

// srcDst[i] = scaled combine(srcDst[i], src[i]) for one vector or block row,
// which may start at any byte address.
template <typename Elem, typename Wide, typename Combine>
inline void ScaledInPlaceRow(ScaleCase scaleCase, std::int32_t sf, const Elem* src, Elem* srcDst,
                             std::int64_t len, bool clampBeforeLeftShift, Combine combine) {
  WithScale<Elem, Wide>(scaleCase, sf, clampBeforeLeftShift, [&](auto scale) {
    InPlaceBlocks(src, srcDst, len, [&](Elem d, Elem s) {
      return scale(combine(static_cast<Wide>(d), static_cast<Wide>(s)));
    });
  });
}

// srcDst[i] = scaled combine(srcDst[i]) for one vector.
template <typename Elem, typename Wide, typename Combine>
inline void ScaledUnaryInPlace(ScaleCase scaleCase, std::int32_t sf, Elem* srcDst, std::int64_t len,
                               Combine combine) {
  WithScale<Elem, Wide>(scaleCase, sf, false, [&](auto scale) {
    ConvertBlocks(srcDst, srcDst, len,
                  [&](Elem x) { return scale(combine(static_cast<Wide>(x))); });
  });
}

}  // namespace primitives_detail
