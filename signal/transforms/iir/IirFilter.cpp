// IIR filtering of single-precision samples in place.
//
// Arithmetic: samples, taps and delay values are loaded from single precision
// without loss and rounded to single precision only when an output or a
// delay value is stored.
// - Order 2 (the DC blockers' filter, run on every captured block) computes
//   in double. Outputs stay unrounded inside the recursion, and the delay
//   line is stored once, at the end of the call; four outputs are formed at
//   a time from the four inputs and the two previous inputs and outputs,
//   with coefficients derived in the extended format. The recursion then
//   costs one multiply-add chain per four samples instead of per sample.
//   Each output sees only its own and earlier samples, so an infinity or
//   NaN reaches no output before its own. The DC blocker's taps (b0 = a2 =
//   0) leave out the terms their zero taps make.
// - The other orders form every product and sum in the extended format
//   (long double); the pair step carries y0 and the delay values between the
//   two samples unrounded, so a signal split differently into calls may
//   differ in the last bits.
#include <emmintrin.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>

#include "signal/primitives/ArgumentChecks.h"
#include "signal/transforms/MoskDispatcher.h"
#include "signal/transforms/iir/IirState.h"

namespace {

using Wide = long double;

// The order-2 recursion on its history, y[m] = b0 x[m] + b1 x[m-1] +
// b2 x[m-2] - a1 y[m-1] - a2 y[m-2], as four outputs at a time:
//   y[n+j] = sum over i <= j of c[j-i] x[n+i]
//          + p1[j] x[n-1] + p2[j] x[n-2] + q1[j] y[n-1] + q2[j] y[n-2].
// Each coefficient row is the recursion's response to one unit term, run in
// the extended format and rounded once to double.
struct Order2Block {
  double c[4];
  double p1[4];
  double p2[4];
  double q1[4];
  double q2[4];

  // From the five stored taps b0, b1, b2, a1, a2.
  explicit Order2Block(const float* taps) {
    const Wide b0 = taps[0];
    const Wide b1 = taps[1];
    const Wide b2 = taps[2];
    const Wide a1 = taps[3];
    const Wide a2 = taps[4];
    // x[-2], x[-1], x[0..3] at 0..5; y[-2], y[-1], y[0..3] at 0..5.
    auto respond = [&](int xUnit, int yUnit, double* out) {
      Wide x[6] = {};
      Wide y[6] = {};
      if (xUnit >= 0) {
        x[xUnit] = 1.0L;
      }
      if (yUnit >= 0) {
        y[yUnit] = 1.0L;
      }
      for (int m = 2; m < 6; ++m) {
        y[m] = b0 * x[m] + b1 * x[m - 1] + b2 * x[m - 2] - a1 * y[m - 1] - a2 * y[m - 2];
        out[m - 2] = static_cast<double>(y[m]);
      }
    };
    respond(2, -1, c);
    respond(1, -1, p1);
    respond(0, -1, p2);
    respond(-1, 1, q1);
    respond(-1, 0, q2);
  }
};

// The block coefficients of a state's taps. Deriving them costs about as
// much as filtering a hundred samples, and every block of the program runs
// states with the same taps (each channel's DC blocker), so each thread
// keeps those of the taps it filtered last, matched bit for bit.
const Order2Block& Order2BlockFor(const float* taps) {
  struct Cache {
    float taps[5];
    Order2Block block;
  };
  thread_local std::optional<Cache> cache;
  if (!cache || std::memcmp(cache->taps, taps, sizeof cache->taps) != 0) {
    cache.emplace(Cache{{taps[0], taps[1], taps[2], taps[3], taps[4]}, Order2Block(taps)});
  }
  return cache->block;
}

// Both lanes = lane k of v.
inline __m128d Lane0(__m128d v) {
  return _mm_unpacklo_pd(v, v);
}
inline __m128d Lane1(__m128d v) {
  return _mm_unpackhi_pd(v, v);
}

// The order-2 recursion four outputs at a time from sample n on, while four
// samples are left; `xPrev` and `yPrev` hold inputs and outputs n-2 (lane 0)
// and n-1 (lane 1) on entry and on return. Returns the first sample not
// filtered. With `kDcShape` (b0 = a2 = 0) the terms with a zero coefficient
// row are left out, and the steps stop before four samples that hold an
// infinity or NaN (0 times it is NaN: the full terms take over there).
template <bool kDcShape>
std::int32_t FilterOrder2Blocks(const Order2Block& k, float* samples, std::int32_t len,
                                std::int32_t n, __m128d& xPrev, __m128d& yPrev) {
  const __m128d cLo0 = _mm_set_pd(k.c[1], k.c[0]);
  const __m128d cLo1 = _mm_set_pd(k.c[0], 0.0);
  const __m128d cHi0 = _mm_set_pd(k.c[3], k.c[2]);
  const __m128d cHi1 = _mm_set_pd(k.c[2], k.c[1]);
  const __m128d cHi2 = cLo0;
  const __m128d cHi3 = cLo1;
  const __m128d p1Lo = _mm_loadu_pd(k.p1);
  const __m128d p1Hi = _mm_loadu_pd(k.p1 + 2);
  const __m128d p2Lo = _mm_loadu_pd(k.p2);
  const __m128d p2Hi = _mm_loadu_pd(k.p2 + 2);
  const __m128d q1Lo = _mm_loadu_pd(k.q1);
  const __m128d q1Hi = _mm_loadu_pd(k.q1 + 2);
  const __m128d q2Lo = _mm_loadu_pd(k.q2);
  const __m128d q2Hi = _mm_loadu_pd(k.q2 + 2);
  __m128d xp = xPrev;
  __m128d yp = yPrev;
  const __m128i exponent = _mm_set1_epi32(0x7F800000);
  for (; len - n >= 4; n += 4) {
    const __m128 in = _mm_loadu_ps(samples + n);
    if constexpr (kDcShape) {
      const __m128i bits = _mm_and_si128(_mm_castps_si128(in), exponent);
      if (_mm_movemask_epi8(_mm_cmpeq_epi32(bits, exponent)) != 0)
        break;
    }
    const __m128d xLo = _mm_cvtps_pd(in);
    const __m128d xHi = _mm_cvtps_pd(_mm_movehl_ps(in, in));
    const __m128d x0b = Lane0(xLo);
    const __m128d x1b = Lane1(xLo);
    const __m128d x2b = Lane0(xHi);
    const __m128d xm2 = Lane0(xp);
    const __m128d xm1 = Lane1(xp);
    const __m128d ym1 = Lane1(yp);
    // Everything but the previous outputs first: off the recursion's path.
    __m128d fLo;
    __m128d fHi;
    __m128d yLo;
    __m128d yHi;
    if constexpr (kDcShape) {
      fLo = _mm_add_pd(_mm_mul_pd(cLo0, x0b),
                       _mm_add_pd(_mm_mul_pd(p1Lo, xm1), _mm_mul_pd(p2Lo, xm2)));
      fHi = _mm_add_pd(_mm_add_pd(_mm_add_pd(_mm_mul_pd(cHi0, x0b), _mm_mul_pd(cHi1, x1b)),
                                  _mm_mul_pd(cHi2, x2b)),
                       _mm_add_pd(_mm_mul_pd(p1Hi, xm1), _mm_mul_pd(p2Hi, xm2)));
      yLo = _mm_add_pd(fLo, _mm_mul_pd(q1Lo, ym1));
      yHi = _mm_add_pd(fHi, _mm_mul_pd(q1Hi, ym1));
    } else {
      // The inputs n+1 and n+3 only in lane 1, with 0 in lane 0: output n
      // (n+2) must not see them, not even as 0 times an infinity.
      const __m128d x1z = _mm_shuffle_pd(_mm_setzero_pd(), xLo, 2);
      const __m128d x3z = _mm_shuffle_pd(_mm_setzero_pd(), xHi, 2);
      const __m128d ym2 = Lane0(yp);
      fLo = _mm_add_pd(_mm_add_pd(_mm_mul_pd(cLo0, x0b), _mm_mul_pd(cLo1, x1z)),
                       _mm_add_pd(_mm_mul_pd(p1Lo, xm1), _mm_mul_pd(p2Lo, xm2)));
      fHi = _mm_add_pd(_mm_add_pd(_mm_add_pd(_mm_mul_pd(cHi0, x0b), _mm_mul_pd(cHi1, x1b)),
                                  _mm_add_pd(_mm_mul_pd(cHi2, x2b), _mm_mul_pd(cHi3, x3z))),
                       _mm_add_pd(_mm_mul_pd(p1Hi, xm1), _mm_mul_pd(p2Hi, xm2)));
      yLo = _mm_add_pd(fLo, _mm_add_pd(_mm_mul_pd(q1Lo, ym1), _mm_mul_pd(q2Lo, ym2)));
      yHi = _mm_add_pd(fHi, _mm_add_pd(_mm_mul_pd(q1Hi, ym1), _mm_mul_pd(q2Hi, ym2)));
    }
    _mm_storeu_ps(samples + n, _mm_movelh_ps(_mm_cvtpd_ps(yLo), _mm_cvtpd_ps(yHi)));
    xp = xHi;
    yp = yHi;
  }
  xPrev = xp;
  yPrev = yp;
  return n;
}

// Order 2 in double. The first two samples take the transposed-form
// recursion from the stored delay values; from the third on every output
// comes from the history (kept in registers: the vector is overwritten),
// and the delay values are derived from the last two inputs and outputs.
void IirFilterOrder2(float* samples, std::int32_t len, IirState* state) {
  const float* t = state->taps;
  float* d = state->delayLine;
  const double b0 = t[0];
  const double b1 = t[1];
  const double b2 = t[2];
  const double a1 = t[3];
  const double a2 = t[4];

  const double x0 = samples[0];
  const double y0 = b0 * x0 + d[0];
  const double e0 = (b1 * x0 - a1 * y0) + d[1];
  const double e1 = b2 * x0 - a2 * y0;
  samples[0] = static_cast<float>(y0);
  if (len == 1) {
    d[0] = static_cast<float>(e0);
    d[1] = static_cast<float>(e1);
    return;
  }
  const double x1 = samples[1];
  const double y1 = b0 * x1 + e0;
  samples[1] = static_cast<float>(y1);

  // History: inputs and outputs n-2 (lane 0) and n-1 (lane 1).
  __m128d xPrev = _mm_set_pd(x1, x0);
  __m128d yPrev = _mm_set_pd(y1, y0);
  std::int32_t n = 2;
  if (len - n >= 4) {
    const Order2Block& k = Order2BlockFor(t);
    // The DC blocker's shape: b0 and a2 are zero, so the terms of the
    // current input and of y[n-2] vanish. Leaving them out changes no
    // finite result but the sign of a zero; from an infinity or NaN among
    // the samples or the first outputs on, every term is kept.
    if (t[0] == 0.0f && t[4] == 0.0f && std::isfinite(y0) && std::isfinite(y1))
      n = FilterOrder2Blocks<true>(k, samples, len, n, xPrev, yPrev);
    n = FilterOrder2Blocks<false>(k, samples, len, n, xPrev, yPrev);
  }
  double xm2 = _mm_cvtsd_f64(xPrev);
  double xm1 = _mm_cvtsd_f64(Lane1(xPrev));
  double ym2 = _mm_cvtsd_f64(yPrev);
  double ym1 = _mm_cvtsd_f64(Lane1(yPrev));
  for (; n < len; ++n) {
    const double x = samples[n];
    const double y = (((b0 * x + b1 * xm1) + b2 * xm2) - a1 * ym1) - a2 * ym2;
    samples[n] = static_cast<float>(y);
    xm2 = xm1;
    xm1 = x;
    ym2 = ym1;
    ym1 = y;
  }
  d[0] = static_cast<float>(((b1 * xm1 - a1 * ym1) + b2 * xm2) - a2 * ym2);
  d[1] = static_cast<float>(b2 * xm1 - a2 * ym1);
}

// Transposed direct form II of order N: y = b0 x + d[0], then
// d[k] = (b(k+1) x - a(k+1) y) + d[k+1] for k ascending (d[k+1] still the
// value from before this sample; d[N] is 0.0).
void IirFilterDirectForm(const float* src, float* dst, std::int32_t len, IirState* state) {
  const std::int32_t n = state->order;
  const float* b = state->taps;
  const float* a = state->taps + n;  // a[k] for k = 1..N
  float* d = state->delayLine;

  if (n == 0) {
    const Wide b0 = b[0];
    for (std::int32_t i = 0; i < len; ++i) {
      dst[i] = static_cast<float>(b0 * src[i]);
    }
    return;
  }
  if (n == 1) {
    const Wide b0 = b[0];
    const Wide b1 = b[1];
    const Wide a1 = a[1];
    float d0 = d[0];
    for (std::int32_t i = 0; i < len; ++i) {
      const Wide x = src[i];
      const Wide y = b0 * x + d0;
      d0 = static_cast<float>(b1 * x - a1 * y);
      dst[i] = static_cast<float>(y);
    }
    d[0] = d0;
    return;
  }
  if (n == 2 && src == dst) {
    IirFilterOrder2(dst, len, state);
    return;
  }

  const Wide b0 = b[0];
  const Wide b1 = b[1];
  const Wide a1 = a[1];
  std::int32_t i = 0;
  for (; i + 1 < len; i += 2) {
    const Wide x0 = src[i];
    const Wide x1 = src[i + 1];
    const Wide y0 = b0 * x0 + d[0];
    const Wide y1 = ((b1 * x0 + d[1]) - a1 * y0) + b0 * x1;
    for (std::int32_t j = 0; j <= n - 2; ++j) {
      d[j] = static_cast<float>(
          (((b[j + 1] * x1 - a[j + 1] * y1) + b[j + 2] * x0) - a[j + 2] * y0) + d[j + 2]);
    }
    d[n - 1] = static_cast<float>(b[n] * x1 - a[n] * y1);
    dst[i] = static_cast<float>(y0);
    dst[i + 1] = static_cast<float>(y1);
  }
  if (i < len) {
    const Wide x = src[i];
    const Wide y = b0 * x + d[0];
    for (std::int32_t k = 0; k < n; ++k) {
      d[k] = static_cast<float>((b[k + 1] * x - a[k + 1] * y) + d[k + 1]);
    }
    dst[i] = static_cast<float>(y);
  }
}

// Cascade of second-order sections: `order` M gives sections s with 2s < M,
// each with taps b0, b1, b2, a1, a2 at 5s and delay values d0, d1 at 2s. The
// value between sections stays in the extended format. Without sections
// every output is 0.0.
void IirFilterBiquadCascade(const float* src, float* dst, std::int32_t len, IirState* state) {
  const std::int32_t order = state->order;
  const float* taps = state->taps;
  float* d = state->delayLine;
  for (std::int32_t i = 0; i < len; ++i) {
    Wide v = src[i];
    if (order <= 0) {
      v = 0.0L;
    }
    for (std::int32_t s = 0; 2 * s < order; ++s) {
      const float* t = taps + 5 * s;
      float* sd = d + 2 * s;
      const Wide y = t[0] * v + sd[0];
      sd[0] = static_cast<float>((t[1] * v + sd[1]) - t[3] * y);
      sd[1] = static_cast<float>(t[2] * v + (-t[4]) * y);
      v = y;
    }
    dst[i] = static_cast<float>(v);
  }
}

}  // namespace

PrimitiveStatus IirFilterFloatInPlacePortable(float* srcDst, std::int32_t len, IirState* state) {
  if (const PrimitiveStatus status = primitives_detail::CheckVectorArguments({state, srcDst}, len);
      status != StatusOk) {
    return status;
  }
  if (state->id == kIirDirectFormId) {
    IirFilterDirectForm(srcDst, srcDst, len, state);
  } else if (state->id == kIirBiquadCascadeId) {
    IirFilterBiquadCascade(srcDst, srcDst, len, state);
  } else {
    return StatusBadObjectId;
  }
  return StatusOk;
}
