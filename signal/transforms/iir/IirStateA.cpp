// Set A's IirCreateState: 1/a0 by the SSE division.
#include <xmmintrin.h>

#include "signal/transforms/VectorIirVariants.h"
#include "signal/transforms/iir/IirStateSimd.h"

namespace {

float ReciprocalSse(float a0) {
  return _mm_cvtss_f32(_mm_div_ss(_mm_set_ss(1.0f), _mm_set_ss(a0)));
}

constexpr iir_detail::SimdCreateSet kSetA = {&AlignedAllocBytes,
                                             &transforms_detail::CopyInt32CheckedA,
                                             &transforms_detail::ZeroInt32CheckedA, &ReciprocalSse};

}  // namespace

PrimitiveStatus IirCreateStateA(IirState** ppState, const float* taps, std::int32_t order,
                                const float* delayLine) {
  return iir_detail::CreateSimdState(kSetA, ppState, taps, order, delayLine);
}
