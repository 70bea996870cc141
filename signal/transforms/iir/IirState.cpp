// Creation and release of an IirState.
#include "signal/transforms/iir/IirState.h"

#include <cmath>
#include <cstdint>

#include "signal/primitives/LPMalloc.h"
#include "signal/primitives/LibCDispatcher.h"
#include "signal/transforms/TransformMemory.h"

namespace {

// Loads the caller's delay values bit for bit, or zeros, and sets d[N] = 0.
void IirInitDelayLine(IirState* state, const float* delayLine) {
  const std::int32_t order = state->order;
  if (order <= 0) {
    return;
  }
  auto* words = reinterpret_cast<std::int32_t*>(state->delayLine);
  if (delayLine != nullptr) {
    CopyInt32Checked(reinterpret_cast<const std::int32_t*>(delayLine), words, order);
  } else {
    ZeroInt32Checked(words, order);
  }
  state->delayLine[order] = 0.0f;
}

// Stores each tap times r = 1/a0, the reciprocal kept in the extended format
// and each product rounded once to single precision. False when a0 is 0.0 or
// NaN (a quiet comparison: nothing traps).
bool IirNormaliseTaps(const float* taps, IirState* state) {
  const std::int32_t order = state->order;
  const float a0 = taps[order + 1];
  if (a0 == 0.0f || std::isnan(a0)) {
    return false;
  }
  const long double r = 1.0L / static_cast<long double>(a0);
  float* stored = state->taps;
  stored[0] = static_cast<float>(taps[0] * r);
  for (std::int32_t i = 1; i <= order; ++i) {
    stored[i] = static_cast<float>(taps[i] * r);
    stored[order + i] = static_cast<float>(taps[order + 1 + i] * r);
  }
  return true;
}

}  // namespace

std::int64_t IirStateSize(std::int64_t order) {
  return IirDelayAreaBytes(order) + IirTapsAreaBytes(order) +
         static_cast<std::int64_t>(sizeof(IirState)) + 16;
}

std::int64_t IirSimdStateSize(std::int64_t order, std::uint32_t id) {
  const std::int64_t work = id == kIirDirectFormId ? kIirWorkFloats : 2 * kIirWorkFloats;
  return (4 * order + 12 + 4 * order + 4 + work + 10) * 4 +
         static_cast<std::int64_t>(sizeof(IirState)) + IirTapsAreaBytes(order) +
         IirDelayAreaBytes(order) + 16;
}

PrimitiveStatus IirCreateStatePortable(IirState** ppState, const float* taps, std::int32_t order,
                                       const float* delayLine) {
  if (taps == nullptr || ppState == nullptr) {
    return StatusNullPointer;
  }
  if (order < 0) {
    return StatusNegativeIirOrder;
  }
  void* block = AlignedAllocBytes(IirStateSize(order));
  if (block == nullptr) {
    return StatusNoMemory;
  }

  // AlignedAlloc's blocks are 32-byte aligned, so the state starts at the
  // block itself and IirFreeState can hand its own address back.
  auto* state = static_cast<IirState*>(block);
  auto* bytes = static_cast<unsigned char*>(block);
  state->id = kIirDirectFormId;
  state->taps = reinterpret_cast<float*>(bytes + sizeof(IirState));
  state->delayLine = reinterpret_cast<float*>(bytes + sizeof(IirState) + IirTapsAreaBytes(order));
  state->order = order;
  state->broadcastTaps = nullptr;
  state->blockCoefs = nullptr;
  state->sectionCount = 0;
  state->sectionCoefs = nullptr;
  state->workArea = nullptr;
  state->workArea2 = nullptr;
  state->ownsMemory = 0;
  state->reserved = 0;

  IirInitDelayLine(state, delayLine);
  if (!IirNormaliseTaps(taps, state)) {
    // The block is ours whatever ownsMemory says: release it here rather
    // than through IirFreeState, which would keep a block it does not own.
    AlignedFree(block);
    return StatusZeroFeedbackTap;
  }
  state->ownsMemory = 1;
  *ppState = state;
  return StatusOk;
}

PrimitiveStatus IirFreeStatePortable(IirState* state) {
  if (state == nullptr) {
    return StatusNullPointer;
  }
  if (state->id != kIirDirectFormId && state->id != kIirBiquadCascadeId) {
    return StatusBadObjectId;
  }
  if (state->ownsMemory != 0) {
    AlignedFree(state);
  }
  return StatusOk;
}
