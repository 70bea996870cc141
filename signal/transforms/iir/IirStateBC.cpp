// Sets B and C of IirCreateState: B divides with SSE, C on the x87 unit,
// each rounding 1/a0 to single precision.
#include <xmmintrin.h>

#include "signal/transforms/VectorIirVariants.h"
#include "signal/transforms/iir/IirStateSimd.h"

namespace {

float ReciprocalSse(float a0) {
  return _mm_cvtss_f32(_mm_div_ss(_mm_set_ss(1.0f), _mm_set_ss(a0)));
}

// The extended-format quotient, rounded to single.
float ReciprocalX87(float a0) {
  return static_cast<float>(1.0L / static_cast<long double>(a0));
}

constexpr iir_detail::SimdCreateSet kSetB = {&AlignedAllocBytes,
                                             &transforms_detail::CopyInt32CheckedB,
                                             &transforms_detail::ZeroInt32CheckedB, &ReciprocalSse};
constexpr iir_detail::SimdCreateSet kSetC = {&transforms_detail::AlignedAllocBytesC,
                                             &transforms_detail::CopyInt32CheckedC,
                                             &transforms_detail::ZeroInt32CheckedC, &ReciprocalX87};

}  // namespace

PrimitiveStatus IirCreateStateB(IirState** ppState, const float* taps, std::int32_t order,
                                const float* delayLine) {
  return iir_detail::CreateSimdState(kSetB, ppState, taps, order, delayLine);
}

__attribute__((target("sse3"))) PrimitiveStatus IirCreateStateC(IirState** ppState,
                                                                const float* taps,
                                                                std::int32_t order,
                                                                const float* delayLine) {
  return iir_detail::CreateSimdState(kSetC, ppState, taps, order, delayLine);
}
