// Set A's IIR filter: SSE single precision (no SSE2: lanes broadcast with
// the SSE shuffle), this set's copy and zero wrappers, streaming multiplies
// beyond 8192 steps of eight.
#include <xmmintrin.h>

#include "signal/transforms/TransformMemory.h"
#include "signal/transforms/VectorIirVariants.h"
#include "signal/transforms/iir/IirFilterSimd.h"

namespace {

struct FilterSetA {
  static constexpr std::int64_t kStreamSteps = 8192;
  static PrimitiveStatus CopyInt32(const std::int32_t* src, std::int32_t* dst, std::int32_t len) {
    return transforms_detail::CopyInt32CheckedA(src, dst, len);
  }
  // Every lane = lane I of v.
  template <int I>
  static __m128 Lane(__m128 v) {
    return _mm_shuffle_ps(v, v, _MM_SHUFFLE(I, I, I, I));
  }
  static PrimitiveStatus ZeroInt32(std::int32_t* dst, std::int32_t len) {
    return transforms_detail::ZeroInt32CheckedA(dst, len);
  }
};

}  // namespace

PrimitiveStatus IirFilterFloatInPlaceA(float* srcDst, std::int32_t len, IirState* state) {
  return iir_detail::FilterSimd<FilterSetA>(srcDst, len, state);
}
