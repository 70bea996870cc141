// IIR filtering of single-precision samples in place.
//
// Arithmetic: samples, taps and delay values are loaded from single precision
// without loss; every product and sum is formed in the extended format (long
// double) and rounded to single precision only when an output or a delay
// value is stored. The pair step carries y0 and the delay values between the
// two samples unrounded, so a signal split differently into calls may differ
// in the last bits.
#include <cstdint>

#include "signal/primitives/ArgumentChecks.h"
#include "signal/transforms/MoskDispatcher.h"
#include "signal/transforms/iir/IirState.h"

namespace {

using Wide = long double;

// Order 2, the DC blockers' filter: the pair step of the general form with
// the delay line in locals. Same operations in the same order.
void IirFilterOrder2(const float* src, float* dst, std::int32_t len, IirState* state) {
  const float* b = state->taps;
  const float* a = state->taps + 2;  // a[1], a[2]
  float* d = state->delayLine;
  const Wide b0 = b[0];
  const Wide b1 = b[1];
  const Wide b2 = b[2];
  const Wide a1 = a[1];
  const Wide a2 = a[2];
  const Wide tail = d[2];  // d[N]: 0.0, never written
  float d0 = d[0];
  float d1 = d[1];
  std::int32_t i = 0;
  for (; i + 1 < len; i += 2) {
    const Wide x0 = src[i];
    const Wide x1 = src[i + 1];
    const Wide y0 = b0 * x0 + d0;
    const Wide y1 = ((b1 * x0 + d1) - a1 * y0) + b0 * x1;
    d0 = static_cast<float>((((b1 * x1 - a1 * y1) + b2 * x0) - a2 * y0) + tail);
    d1 = static_cast<float>(b2 * x1 - a2 * y1);
    dst[i] = static_cast<float>(y0);
    dst[i + 1] = static_cast<float>(y1);
  }
  if (i < len) {
    const Wide x = src[i];
    const Wide y = b0 * x + d0;
    d0 = static_cast<float>((b1 * x - a1 * y) + d1);
    d1 = static_cast<float>((b2 * x - a2 * y) + tail);
    dst[i] = static_cast<float>(y);
  }
  d[0] = d0;
  d[1] = d1;
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
  if (n == 2) {
    IirFilterOrder2(src, dst, len, state);
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
