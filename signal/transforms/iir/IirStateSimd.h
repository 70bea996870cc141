// The create of the processor-specific IIR states (internal): one body for
// sets A, B and C, which differ in the reciprocal of a0, the allocation and
// the copy and zero wrappers they call. The layout is in IirState.h.
#pragma once

#include <cmath>
#include <cstdint>

#include "signal/primitives/LPMalloc.h"
#include "signal/transforms/TransformMemory.h"
#include "signal/transforms/iir/IirState.h"

namespace iir_detail {

struct SimdCreateSet {
  void* (*alloc)(std::int64_t bytes);
  PrimitiveStatus (*copyInt32)(const std::int32_t* src, std::int32_t* dst, std::int32_t len);
  PrimitiveStatus (*zeroInt32)(std::int32_t* dst, std::int32_t len);
  // 1/a0 rounded to single precision.
  float (*reciprocal)(float a0);
};

// Fills `groups` (12 + 4N floats: H1, H2, H3, G1..GN, see IirState.h) from
// the normalised feedback taps a[1..N], in double, rounded to single.
inline void FillBlockCoefs(const float* a, std::int64_t order, float* groups) {
  // The impulse response h0..h3 of y[n] = w[n] - sum a_k y[n-k].
  double h[4] = {1.0, 0.0, 0.0, 0.0};
  for (int m = 1; m < 4; ++m) {
    double sum = 0.0;
    for (std::int64_t k = 1; k <= order && k <= m; ++k) {
      sum -= static_cast<double>(a[k]) * h[m - k];
    }
    h[m] = sum;
  }
  for (int i = 1; i <= 3; ++i) {
    for (int j = 0; j < 4; ++j) {
      groups[4 * (i - 1) + j] = j >= i ? static_cast<float>(h[j - i + 1]) : 0.0f;
    }
  }
  // Gk: the outputs y[n..n+3] when y[n-k] = 1 and every other earlier
  // output and every w is 0: y[n+t] takes -a(t+k) from y[n-k] itself and
  // -a(m) times each output y[n+t-m] of the same step (1 <= m <= t).
  for (std::int64_t k = 1; k <= order; ++k) {
    double g[4];
    for (int t = 0; t < 4; ++t) {
      double sum = k + t <= order ? -static_cast<double>(a[k + t]) : 0.0;
      for (int m = 1; m <= t && m <= order; ++m) {
        sum -= static_cast<double>(a[m]) * g[t - m];
      }
      g[t] = sum;
      groups[12 + 4 * (k - 1) + t] = static_cast<float>(sum);
    }
  }
}

// IirCreateState of a processor-specific set: the portable checks and
// statuses, the larger layout, taps times 1/a0 rounded to single, and the
// tables of the set's filter.
inline PrimitiveStatus CreateSimdState(const SimdCreateSet& set, IirState** ppState,
                                       const float* taps, std::int32_t order,
                                       const float* delayLine) {
  if (taps == nullptr || ppState == nullptr) {
    return StatusNullPointer;
  }
  if (order < 0) {
    return StatusNegativeIirOrder;
  }
  const std::int64_t n = order;
  void* block = set.alloc(IirSimdStateSize(n, kIirDirectFormId));
  if (block == nullptr) {
    return StatusNoMemory;
  }
  auto* state = static_cast<IirState*>(block);
  auto* bytes = static_cast<unsigned char*>(block);
  unsigned char* tapsArea = bytes + sizeof(IirState);
  unsigned char* delayArea = tapsArea + IirTapsAreaBytes(n);
  unsigned char* broadcastArea = delayArea + IirDelayAreaBytes(n);
  unsigned char* coefArea = broadcastArea + (4 * n + 4) * 4;
  unsigned char* workArea = coefArea + (4 * n + 12) * 4;
  state->id = kIirDirectFormId;
  state->taps = reinterpret_cast<float*>(tapsArea);
  state->delayLine = reinterpret_cast<float*>(delayArea);
  state->order = order;
  state->broadcastTaps = reinterpret_cast<float*>(broadcastArea);
  state->blockCoefs = reinterpret_cast<float*>(coefArea);
  state->sectionCount = 0;
  state->sectionCoefs = nullptr;
  state->workArea = reinterpret_cast<float*>(workArea);
  state->workArea2 = nullptr;
  state->ownsMemory = 0;
  state->reserved = 0;

  if (order > 0) {
    auto* words = reinterpret_cast<std::int32_t*>(state->delayLine);
    if (delayLine != nullptr) {
      set.copyInt32(reinterpret_cast<const std::int32_t*>(delayLine), words, order);
    } else {
      set.zeroInt32(words, order);
    }
    state->delayLine[order] = 0.0f;
  }

  const float a0 = taps[n + 1];
  if (a0 == 0.0f || std::isnan(a0)) {
    AlignedFree(block);
    return StatusZeroFeedbackTap;
  }
  const float r = set.reciprocal(a0);
  float* stored = state->taps;
  stored[0] = taps[0] * r;
  for (std::int64_t i = 1; i <= n; ++i) {
    stored[i] = taps[i] * r;
    stored[n + i] = taps[n + 1 + i] * r;
  }
  for (std::int64_t k = 0; k <= n; ++k) {
    for (int lane = 0; lane < 4; ++lane) {
      state->broadcastTaps[4 * k + lane] = stored[k];
    }
  }
  FillBlockCoefs(stored + n, n, state->blockCoefs);

  state->ownsMemory = 1;
  *ppState = state;
  return StatusOk;
}

}  // namespace iir_detail
