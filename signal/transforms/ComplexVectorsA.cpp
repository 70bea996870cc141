// Set A of the magnitude: the portable sums of squares, then a root in
// groups of four from a single-precision reciprocal-root estimate (the
// conjugate extension of set A is the portable variant).
#include <xmmintrin.h>

#include <cmath>
#include <complex>
#include <cstdint>
#include <cstring>

#include "signal/primitives/ArgumentChecks.h"
#include "signal/transforms/VectorIirVariants.h"

namespace {

std::uint64_t BitsOf(double x) {
  std::uint64_t bits;
  std::memcpy(&bits, &x, sizeof bits);
  return bits;
}

double FromBits(std::uint64_t bits) {
  double x;
  std::memcpy(&x, &bits, sizeof x);
  return x;
}

constexpr std::uint64_t kSignBit = 0x8000000000000000u;
constexpr std::uint64_t kExponentBits = 0x7FF0000000000000u;
constexpr std::uint64_t kMantissaBits = 0x000FFFFFFFFFFFFFu;
constexpr std::uint64_t kQuietNaN = 0x7FF8000000000000u;

// A sum prepared for the estimate: the mantissa m scaled into [0.5, 2) so
// that s = m * 2^(2 half), or a result that needs no root.
struct Prepared {
  bool special;
  double result;  // when special
  double m;
  std::int64_t half;
};

Prepared Prepare(double s) {
  std::uint64_t bits = BitsOf(s);
  if ((bits >> 32) == 0) {
    return {true, 0.0, 0.0, 0};  // 0 and the smallest subnormals
  }
  if ((bits & kExponentBits) == kExponentBits) {
    // +infinity and NaNs with a clear sign pass; a NaN with the sign set
    // (or -infinity, which a sum of squares never is) gives the quiet NaN.
    return {true, (bits & kSignBit) == 0 ? s : FromBits(kQuietNaN), 0.0, 0};
  }
  if ((bits & kSignBit) != 0) {
    return {true, FromBits(kQuietNaN), 0.0, 0};  // no sum of squares is negative
  }
  std::int64_t exponent = static_cast<std::int64_t>(bits >> 52);
  std::int64_t shift = 0;
  if (exponent == 0) {
    // A subnormal above 2^-1042: scaled by 2^54 into the normal range.
    bits = BitsOf(s * 18014398509481984.0);
    exponent = static_cast<std::int64_t>(bits >> 52);
    shift = 27;
  }
  // s = f * 2^e with f in [1, 2); for an odd e the mantissa takes f / 2.
  const std::int64_t e = exponent - 1023;
  const std::int64_t odd = e & 1;
  const double m =
      FromBits((bits & kMantissaBits) | (static_cast<std::uint64_t>(1023 - odd) << 52));
  return {false, 0.0, m, (e + odd) / 2 - shift};
}

// sqrt(s) = sqrt(m) * 2^half, the power of two restored in the exponent.
double Restore(double rootOfM, std::int64_t half) {
  return FromBits(BitsOf(rootOfM) + (static_cast<std::uint64_t>(half) << 52));
}

// The root of four sums: rsqrt estimate, one Newton-Raphson step in single
// precision, one in the extended format; sqrt(m) = m * y.
void RootFourA(double* s) {
  Prepared p[4];
  for (int i = 0; i < 4; ++i) {
    p[i] = Prepare(s[i]);
  }
  const __m128 m = _mm_set_ps(static_cast<float>(p[3].m), static_cast<float>(p[2].m),
                              static_cast<float>(p[1].m), static_cast<float>(p[0].m));
  // Lanes of special sums hold m = 0: their estimate is infinity, unused.
  __m128 y = _mm_rsqrt_ps(m);
  y = _mm_mul_ps(_mm_mul_ps(_mm_set1_ps(0.5f), y),
                 _mm_sub_ps(_mm_set1_ps(3.0f), _mm_mul_ps(m, _mm_mul_ps(y, y))));
  float lanes[4];
  _mm_storeu_ps(lanes, y);
  for (int i = 0; i < 4; ++i) {
    if (p[i].special) {
      s[i] = p[i].result;
      continue;
    }
    const long double mi = p[i].m;
    long double yi = lanes[i];
    yi = 0.5L * yi * (3.0L - mi * yi * yi);
    s[i] = Restore(static_cast<double>(mi * yi), p[i].half);
  }
}

}  // namespace

PrimitiveStatus VectorMagnitudeComplexA(const std::complex<double>* src, double* dst,
                                        std::int32_t len) {
  if (const PrimitiveStatus status = primitives_detail::CheckVectorArguments({src, dst}, len);
      status != StatusOk) {
    return status;
  }
  // Sums first, all of them (element k is read before dst[k] is written,
  // so dst may be src), then the roots over dst in place.
  const auto* parts = reinterpret_cast<const double*>(src);
  for (std::int64_t k = 0; k < len; ++k) {
    const long double re = parts[2 * k];
    const long double im = parts[2 * k + 1];
    dst[k] = static_cast<double>(re * re + im * im);
  }
  std::int64_t k = 0;
  for (; k + 4 <= len; k += 4) {
    RootFourA(dst + k);
  }
  for (; k < len; ++k) {
    dst[k] = static_cast<double>(std::sqrt(static_cast<long double>(dst[k])));
  }
  return StatusOk;
}
