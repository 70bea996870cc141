// The processor-specific IIR filters (internal): one body, instantiated by
// sets A and C with their own traits (copy and zero wrappers, the streaming
// bound of the multiply). Everything is a template on the set, so that each
// set's file builds its own copy for its own instruction set.
//
// Arithmetic is single precision throughout (every product and sum rounded
// to single). The vector is filtered in blocks of at most kIirWorkFloats
// samples, the delay line carried from block to block:
// - "10II" of order 0: MulConstantFloatChecked with b0;
// - "10II", a block of at most 4N samples: the one-sample recursion of the
//   transposed direct form, four delay values per vector operation;
// - "10II", longer blocks: the feed-forward sums w[n] = b0 x[n] + ... +
//   bN x[n-N] of samples N onward into workArea, the first N samples by the
//   one-sample recursion, the feed-forward part of the new delay values from
//   the last N inputs, the feedback recursion four outputs per step with
//   blockCoefs (layout in IirState.h), the feedback part of the new delay
//   values from the last N outputs;
// - "20II": `sectionCount` sections; a block of at most 4 samples per
//   section sample by sample through every section (sectionCoefs), longer
//   blocks section after section as a "10II" block of order 2 on the
//   section's tables; no sections: the samples stay as they are.
#pragma once

#include <xmmintrin.h>

#include <cmath>
#include <cstdint>

#include "signal/primitives/ArgumentChecks.h"
#include "signal/transforms/iir/IirState.h"

namespace iir_detail {

// The taps and tables of one recursion of order N: b[0..N], a[1..N] (a
// points one float before a1), the delay values d[0..N] (d[N] reads 0.0),
// the broadcast b taps (4N + 4 floats) and the block coefficients
// (4N + 12 floats).
struct Recursion {
  const float* b;
  const float* a;
  float* d;
  const float* broadcast;
  const float* coefs;
  std::int64_t order;
};

template <class Set>
[[gnu::always_inline]] inline std::uintptr_t AddressOf(const void* p) {
  return reinterpret_cast<std::uintptr_t>(p);
}

// dst[i] = src[i] * value in single precision; value 1.0 or NaN copies,
// 0.0 (either sign) writes +0.0. Checks: src or dst null -8, len < 1 -6.
template <class Set>
PrimitiveStatus MulConstantFloatChecked(const float* src, float value, float* dst,
                                        std::int32_t len) {
  if (const PrimitiveStatus status = primitives_detail::CheckVectorArguments({src, dst}, len);
      status != StatusOk) {
    return status;
  }
  if (value == 1.0f || std::isnan(value)) {
    return Set::CopyInt32(reinterpret_cast<const std::int32_t*>(src),
                          reinterpret_cast<std::int32_t*>(dst), len);
  }
  if (value == 0.0f) {
    return Set::ZeroInt32(reinterpret_cast<std::int32_t*>(dst), len);
  }
  std::int64_t i = 0;
  const std::int64_t n = len;
  if (n >= 11) {
    const __m128 v = _mm_set1_ps(value);
    if ((AddressOf<Set>(dst) & 3) == 0) {
      for (; (AddressOf<Set>(dst + i) & 15) != 0; ++i) {
        dst[i] = src[i] * value;
      }
      const std::int64_t steps = (n - i) / 8;
      const bool srcAligned = (AddressOf<Set>(src + i) & 15) == 0;
      const bool stream = !srcAligned || steps > Set::kStreamSteps;
      for (std::int64_t s = 0; s < steps; ++s, i += 8) {
        const __m128 lo = _mm_mul_ps(srcAligned ? _mm_load_ps(src + i) : _mm_loadu_ps(src + i), v);
        const __m128 hi =
            _mm_mul_ps(srcAligned ? _mm_load_ps(src + i + 4) : _mm_loadu_ps(src + i + 4), v);
        if (stream) {
          _mm_stream_ps(dst + i, lo);
          _mm_stream_ps(dst + i + 4, hi);
        } else {
          _mm_store_ps(dst + i, lo);
          _mm_store_ps(dst + i + 4, hi);
        }
      }
      if (stream && steps > 0) {
        _mm_sfence();
      }
    } else {
      for (; i + 8 <= n; i += 8) {
        _mm_storeu_ps(dst + i, _mm_mul_ps(_mm_loadu_ps(src + i), v));
        _mm_storeu_ps(dst + i + 4, _mm_mul_ps(_mm_loadu_ps(src + i + 4), v));
      }
    }
  }
  for (; i < n; ++i) {
    dst[i] = src[i] * value;
  }
  return StatusOk;
}

// One sample through the transposed direct form: y = b0 x + d[0], then
// d[k] = (b(k+1) x - a(k+1) y) + d[k+1] for k ascending, four at a time
// while d[k+1..k+4] lies within d[0..N].
template <class Set>
[[gnu::always_inline]] inline float OneSample(const Recursion& r, float x) {
  const float y = r.b[0] * x + r.d[0];
  const __m128 xv = _mm_set1_ps(x);
  const __m128 yv = _mm_set1_ps(y);
  std::int64_t k = 0;
  for (; k + 4 <= r.order; k += 4) {
    const __m128 next = _mm_add_ps(_mm_sub_ps(_mm_mul_ps(_mm_loadu_ps(r.b + k + 1), xv),
                                              _mm_mul_ps(_mm_loadu_ps(r.a + k + 1), yv)),
                                   _mm_loadu_ps(r.d + k + 1));
    _mm_storeu_ps(r.d + k, next);
  }
  for (; k < r.order; ++k) {
    r.d[k] = (r.b[k + 1] * x - r.a[k + 1] * y) + r.d[k + 1];
  }
  return y;
}

// The feed-forward part of one step of four outputs from w[n..n+3]:
// w[n+j] + sum over i < 3 of H(i+1)[j] w[n+i].
template <class Set>
[[gnu::always_inline]] inline __m128 FedStep(const float* coefs, const float* w) {
  return _mm_add_ps(_mm_add_ps(_mm_loadu_ps(w), _mm_mul_ps(_mm_loadu_ps(coefs), _mm_load1_ps(w))),
                    _mm_add_ps(_mm_mul_ps(_mm_loadu_ps(coefs + 4), _mm_load1_ps(w + 1)),
                               _mm_mul_ps(_mm_loadu_ps(coefs + 8), _mm_load1_ps(w + 2))));
}

// The feedback steps of outputs N onward, four per step, while four remain;
// returns the first output not computed. Order 0 stands for any order,
// the outputs before each step read back from x. Orders 1 to 4 keep the
// four outputs before each step in a register: lane 4 - k holds y[n-k].
template <class Set, int Order>
std::int64_t FeedbackSteps(const Recursion& r, float* x, std::int64_t len, const float* work) {
  std::int64_t n = r.order;
  if constexpr (Order == 0) {
    for (; n + 4 <= len; n += 4) {
      const __m128 fed = FedStep<Set>(r.coefs, work + n);
      __m128 back = _mm_mul_ps(_mm_loadu_ps(r.coefs + 12), _mm_load1_ps(x + n - 1));
      for (std::int64_t k = 2; k <= r.order; ++k) {
        back = _mm_add_ps(back,
                          _mm_mul_ps(_mm_loadu_ps(r.coefs + 8 + 4 * k), _mm_load1_ps(x + n - k)));
      }
      _mm_storeu_ps(x + n, _mm_add_ps(fed, back));
    }
  } else {
    __m128 g[Order];
    for (int k = 1; k <= Order; ++k) {
      g[k - 1] = _mm_loadu_ps(r.coefs + 8 + 4 * k);
    }
    // y[0..N-1] into lanes 4 - N .. 3; the lanes before them are not read.
    alignas(16) float first[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    for (int k = 1; k <= Order; ++k) {
      first[4 - k] = x[Order - k];
    }
    __m128 previous = _mm_load_ps(first);
    for (; n + 4 <= len; n += 4) {
      const __m128 fed = FedStep<Set>(r.coefs, work + n);
      __m128 back = _mm_mul_ps(g[0], Set::template Lane<3>(previous));
      if constexpr (Order >= 2) {
        __m128 second = _mm_mul_ps(g[1], Set::template Lane<2>(previous));
        if constexpr (Order >= 3) {
          back = _mm_add_ps(back, _mm_mul_ps(g[2], Set::template Lane<1>(previous)));
        }
        if constexpr (Order >= 4) {
          second = _mm_add_ps(second, _mm_mul_ps(g[3], Set::template Lane<0>(previous)));
        }
        back = _mm_add_ps(back, second);
      }
      previous = _mm_add_ps(fed, back);
      _mm_storeu_ps(x + n, previous);
    }
  }
  return n;
}

// A block of len >= 2N samples (N >= 1) in place, by the feed-forward sums
// and the four-output feedback steps; `work` holds len floats.
template <class Set>
void BlockRecursion(const Recursion& r, float* x, std::int64_t len, float* work) {
  const std::int64_t order = r.order;
  // Feed-forward sums of samples N onward, k ascending.
  std::int64_t n = order;
  for (; n + 4 <= len; n += 4) {
    __m128 sum = _mm_mul_ps(_mm_loadu_ps(r.broadcast), _mm_loadu_ps(x + n));
    for (std::int64_t k = 1; k <= order; ++k) {
      sum = _mm_add_ps(sum, _mm_mul_ps(_mm_loadu_ps(r.broadcast + 4 * k), _mm_loadu_ps(x + n - k)));
    }
    _mm_storeu_ps(work + n, sum);
  }
  for (; n < len; ++n) {
    float sum = r.b[0] * x[n];
    for (std::int64_t k = 1; k <= order; ++k) {
      sum += r.b[k] * x[n - k];
    }
    work[n] = sum;
  }
  // The first N samples from the delay line.
  for (std::int64_t i = 0; i < order; ++i) {
    x[i] = OneSample<Set>(r, x[i]);
  }
  // New delay values, feed-forward part: d[k] = sum over i > k of
  // b(i) x[len + k - i], from the last N inputs (still in place: len >= 2N).
  for (std::int64_t k = 0; k < order; ++k) {
    float sum = 0.0f;
    for (std::int64_t i = k + 1; i <= order; ++i) {
      sum += r.b[i] * x[len + k - i];
    }
    r.d[k] = sum;
  }
  // Feedback, four outputs per step: lane j of
  //   w[n+j] + sum over i < 3 of H(i+1)[j] w[n+i] + sum over k of Gk[j] y[n-k].
  switch (order) {
    case 1:
      n = FeedbackSteps<Set, 1>(r, x, len, work);
      break;
    case 2:
      n = FeedbackSteps<Set, 2>(r, x, len, work);
      break;
    case 3:
      n = FeedbackSteps<Set, 3>(r, x, len, work);
      break;
    case 4:
      n = FeedbackSteps<Set, 4>(r, x, len, work);
      break;
    default:
      n = FeedbackSteps<Set, 0>(r, x, len, work);
      break;
  }
  for (; n < len; ++n) {
    float y = work[n];
    for (std::int64_t k = 1; k <= order; ++k) {
      y -= r.a[k] * x[n - k];
    }
    x[n] = y;
  }
  // New delay values, feedback part, from the last N outputs.
  for (std::int64_t k = 0; k < order; ++k) {
    float sum = 0.0f;
    for (std::int64_t i = k + 1; i <= order; ++i) {
      sum += r.a[i] * x[len + k - i];
    }
    r.d[k] -= sum;
  }
}

template <class Set>
void FilterDirectForm(float* x, std::int64_t len, IirState* state) {
  const std::int64_t order = state->order;
  const Recursion r = {state->taps,          state->taps + order, state->delayLine,
                       state->broadcastTaps, state->blockCoefs,   order};
  for (std::int64_t start = 0; start < len; start += kIirWorkFloats) {
    const std::int64_t block = len - start < kIirWorkFloats ? len - start : kIirWorkFloats;
    float* samples = x + start;
    if (block <= 4 * order) {
      for (std::int64_t i = 0; i < block; ++i) {
        samples[i] = OneSample<Set>(r, samples[i]);
      }
    } else {
      BlockRecursion<Set>(r, samples, block, state->workArea);
    }
  }
}

template <class Set>
void FilterCascade(float* x, std::int64_t len, IirState* state) {
  const std::int64_t sections = state->sectionCount;
  if (sections <= 0) {
    return;
  }
  for (std::int64_t start = 0; start < len; start += kIirWorkFloats) {
    const std::int64_t block = len - start < kIirWorkFloats ? len - start : kIirWorkFloats;
    float* samples = x + start;
    if (block <= 4 * sections) {
      for (std::int64_t i = 0; i < block; ++i) {
        float v = samples[i];
        for (std::int64_t s = 0; s < sections; ++s) {
          const float* c = state->sectionCoefs + 8 * s;
          float* d = state->delayLine + 2 * s;
          const float y = c[0] * v + d[0];
          d[0] = (c[1] * v + d[1]) - c[3] * y;
          d[1] = c[2] * v - c[4] * y;
          v = y;
        }
        samples[i] = v;
      }
      continue;
    }
    for (std::int64_t s = 0; s < sections; ++s) {
      const float* c = state->sectionCoefs + 8 * s;
      // d[2] of a section is the next section's d0: the recursion of order 2
      // must read 0.0 there, so it runs on a copy of the pair.
      float d[3] = {state->delayLine[2 * s], state->delayLine[2 * s + 1], 0.0f};
      const Recursion r = {c, c + 2, d, state->broadcastTaps + 12 * s, state->blockCoefs + 20 * s,
                           2};
      BlockRecursion<Set>(r, samples, block, state->workArea);
      state->delayLine[2 * s] = d[0];
      state->delayLine[2 * s + 1] = d[1];
    }
  }
}

template <class Set>
PrimitiveStatus FilterSimd(float* srcDst, std::int32_t len, IirState* state) {
  if (const PrimitiveStatus status = primitives_detail::CheckVectorArguments({state, srcDst}, len);
      status != StatusOk) {
    return status;
  }
  if (state->id == kIirDirectFormId) {
    if (state->order == 0) {
      return MulConstantFloatChecked<Set>(srcDst, state->taps[0], srcDst, len);
    }
    FilterDirectForm<Set>(srcDst, len, state);
  } else if (state->id == kIirBiquadCascadeId) {
    FilterCascade<Set>(srcDst, len, state);
  } else {
    return StatusBadObjectId;
  }
  return StatusOk;
}

}  // namespace iir_detail
