// Set C's IIR filter: the shared single-precision body built for SSE3
// (lanes broadcast with the SSE2 shuffle), this set's copy and zero
// wrappers, streaming multiplies beyond 16384 steps of eight.
#include <emmintrin.h>
#include <xmmintrin.h>

#include <cmath>
#include <cstdint>

#include "signal/primitives/ArgumentChecks.h"
#include "signal/transforms/TransformMemory.h"
#include "signal/transforms/VectorIirVariants.h"
#include "signal/transforms/iir/IirState.h"

#pragma GCC push_options
#pragma GCC target("sse3")

// Templates only: instantiated here for set C.
#include "signal/transforms/iir/IirFilterSimd.h"  // NOLINT(build/include_order)

namespace {

struct FilterSetC {
  static constexpr std::int64_t kStreamSteps = 16384;
  static PrimitiveStatus CopyInt32(const std::int32_t* src, std::int32_t* dst, std::int32_t len) {
    return transforms_detail::CopyInt32CheckedC(src, dst, len);
  }
  // Every lane = lane I of v.
  template <int I>
  static __m128 Lane(__m128 v) {
    return _mm_castsi128_ps(_mm_shuffle_epi32(_mm_castps_si128(v), _MM_SHUFFLE(I, I, I, I)));
  }
  static PrimitiveStatus ZeroInt32(std::int32_t* dst, std::int32_t len) {
    return transforms_detail::ZeroInt32CheckedC(dst, len);
  }
};

}  // namespace

PrimitiveStatus IirFilterFloatInPlaceC(float* srcDst, std::int32_t len, IirState* state) {
  return iir_detail::FilterSimd<FilterSetC>(srcDst, len, state);
}

#pragma GCC pop_options
