// Slow, obviously right references for the primitive tests: exact rational
// arithmetic on 128-bit integers, written from the definitions (floor
// division and a comparison of the remainder), not from the primitives'
// formulas.
#pragma once

#include <cstdint>
#include <limits>
#include <random>
#include <vector>

namespace primitives_test {

using Int128 = __int128;

inline Int128 FloorDiv(Int128 num, Int128 den) {
  Int128 q = num / den;
  if ((num % den != 0) && ((num < 0) != (den < 0))) {
    --q;
  }
  return q;
}

// The integer nearest to num / den, ties to even (den != 0).
inline Int128 RoundHalfEven(Int128 num, Int128 den) {
  if (den < 0) {
    num = -num;
    den = -den;
  }
  const Int128 floor = FloorDiv(num, den);
  const Int128 twiceRemainder = 2 * (num - floor * den);  // in [0, 2 den)
  if (twiceRemainder > den || (twiceRemainder == den && (floor % 2 != 0))) {
    return floor + 1;
  }
  return floor;
}

inline std::int64_t Clamp(Int128 v, std::int64_t lo, std::int64_t hi) {
  return v < lo ? lo : (v > hi ? hi : static_cast<std::int64_t>(v));
}

// t * 2^-sf rounded half to even and saturated to [lo, hi], for |t| < 2^64.
inline std::int64_t ScaledReference(Int128 t, std::int32_t sf, std::int64_t lo, std::int64_t hi) {
  if (sf >= 0) {
    if (sf > 100) {
      return 0;  // |t| / 2^100 < 1/2
    }
    return Clamp(RoundHalfEven(t, Int128{1} << sf), lo, hi);
  }
  if (-sf > 60) {
    return t > 0 ? hi : (t < 0 ? lo : 0);
  }
  return Clamp(t * (Int128{1} << -sf), lo, hi);
}

// num * 2^-sf / den rounded half to even and saturated (den != 0, |num| < 2^32).
inline std::int64_t ScaledQuotientReference(std::int64_t num, std::int64_t den, std::int32_t sf,
                                            std::int64_t lo, std::int64_t hi) {
  if (sf > 90) {
    return 0;
  }
  if (sf < -90) {
    return num == 0 ? 0 : ((num < 0) == (den < 0) ? hi : lo);
  }
  if (sf >= 0) {
    return Clamp(RoundHalfEven(num, Int128{den} << sf), lo, hi);
  }
  return Clamp(RoundHalfEven(Int128{num} << -sf, den), lo, hi);
}

// Interesting values of a signed integer type plus random ones (fixed seed).
template <typename T>
std::vector<T> SampleValues(int randomCount, std::uint32_t seed) {
  using L = std::numeric_limits<T>;
  std::vector<T> values = {L::min(),
                           static_cast<T>(L::min() + 1),
                           static_cast<T>(-2),
                           static_cast<T>(-1),
                           0,
                           1,
                           2,
                           3,
                           5,
                           7,
                           static_cast<T>(L::max() - 1),
                           L::max(),
                           static_cast<T>(L::max() / 2),
                           static_cast<T>(L::min() / 2)};
  std::mt19937 rng(seed);
  std::uniform_int_distribution<std::int64_t> any(L::min(), L::max());
  for (int i = 0; i < randomCount; ++i) {
    values.push_back(static_cast<T>(any(rng)));
  }
  return values;
}

}  // namespace primitives_test
