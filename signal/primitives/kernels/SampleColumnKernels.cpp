#include "signal/primitives/kernels/SampleColumnKernels.h"

#include <emmintrin.h>

#include <cstring>

namespace {

double Int16At(const std::uint8_t* p) {
  std::int16_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

}  // namespace

void ConvertInt16ColumnToDoubleKernel(const std::uint8_t* src, std::int32_t srcStep, double* dst,
                                      std::uint32_t count) {
  std::uint32_t i = 0;
  if (srcStep == 4) {
    // Four frames per load: each lane's low half shifted up and back down
    // with its sign, then converted exactly. A load reads 16 bytes from the
    // frame's first sample on; the last frames go one by one, so nothing past
    // the column's last sample is read.
    for (; i + 4 < count; i += 4) {
      const __m128i raw = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 4 * i));
      const __m128i samples = _mm_srai_epi32(_mm_slli_epi32(raw, 16), 16);
      _mm_storeu_pd(dst + i, _mm_cvtepi32_pd(samples));
      _mm_storeu_pd(dst + i + 2, _mm_cvtepi32_pd(_mm_unpackhi_epi64(samples, samples)));
    }
  }
  for (; i < count; ++i)
    dst[i] = Int16At(src + static_cast<std::int64_t>(i) * srcStep);
}
