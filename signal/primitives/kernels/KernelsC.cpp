// Set C: SSE2 with the SSE3 load for unaligned data. Every function of this
// file is compiled for SSE3 (the target region below opens after the
// includes, so inline functions of shared headers keep the baseline); the
// dispatch binds set C only on processors with SSE3.
#include <emmintrin.h>
#include <pmmintrin.h>

#include <cstring>

#include "signal/primitives/ScaledArithmetic.h"
#include "signal/primitives/UnalignedAccess.h"
#include "signal/primitives/kernels/Int16RowTemplate.h"
#include "signal/primitives/kernels/Int32Lanes.h"
#include "signal/primitives/kernels/KernelShared.h"
#include "signal/primitives/kernels/VariantKernels.h"

#pragma GCC push_options
#pragma GCC target("sse3")

// Templates only (see there): instantiated here for set C's SSE3 load.
#include "signal/primitives/kernels/Sse2Templates.h"  // NOLINT(build/include_order)

namespace {

using namespace kernels_detail;

constexpr std::int64_t kCopyLargeC = 512 * 1024;

}  // namespace

// The offsets: t = x + value, or value - x for the subtraction.
void OffsetInt32SatKernelC(std::int32_t value, std::int32_t* srcDst, std::int64_t len, bool sub) {
  Int32LaneRun(Int32Case::Sat, sub ? Int32Form::SubFrom : Int32Form::Add, nullptr, value, srcDst,
               len, 0);
}

void OffsetInt32RoundKernelC(std::int32_t value, std::int32_t* srcDst, std::int64_t len, int sf,
                             bool sub) {
  Int32LaneRun(Int32Case::Round, sub ? Int32Form::SubFrom : Int32Form::Add, nullptr, value, srcDst,
               len, sf);
}

void OffsetInt32ShiftUpKernelC(std::int32_t value, std::int32_t* srcDst, std::int64_t len, int k,
                               bool sub) {
  Int32LaneRun(Int32Case::ShiftUp, sub ? Int32Form::SubFrom : Int32Form::Add, nullptr, value,
               srcDst, len, k);
}

namespace {

// Set C's unaligned load, the SSE3 load for data split across cache lines.
struct LoadC {
  static __m128i Get(const void* p) { return _mm_lddqu_si128(static_cast<const __m128i*>(p)); }
};

}  // namespace

void ConvertFloatToInt32KernelC(const float* src, std::int32_t* dst, std::int64_t len, float factor,
                                bool nearest) {
  ConvertFloatToInt32Sse2<LoadC>(src, dst, len, factor, nearest);
}

void* CopyBytesKernelC(const void* src, void* dst, std::int64_t nBytes) {
  return CopyBytesSse2<LoadC>(src, dst, nBytes, kCopyLargeC, 64);
}

void MulComplexKernelC(const double* src, double* srcDst, std::int64_t len) {
  // Per element: the source's real and imaginary parts duplicated into both
  // lanes times the destination (c, d) and its swap (d, c); the
  // add-subtract forms (c a - d b, d a + c b) at once. Two elements per
  // step; long runs into a 16-byte aligned destination bypass the cache.
  const bool stream = (Address(srcDst) & 15) == 0 && len / 2 > 16384;
  auto one = [](const double* s, double* d) {
    const __m128d x = _mm_loadu_pd(d);
    const __m128d re = _mm_movedup_pd(unaligned::LoadSd(s));
    const __m128d im = _mm_movedup_pd(unaligned::LoadSd(s + 1));
    return _mm_addsub_pd(_mm_mul_pd(x, re), _mm_mul_pd(_mm_shuffle_pd(x, x, 1), im));
  };
  std::int64_t k = 0;
  for (; k + 2 <= len; k += 2) {
    const __m128d first = one(src + 2 * k, srcDst + 2 * k);
    const __m128d second = one(src + 2 * k + 2, srcDst + 2 * k + 2);
    if (stream) {
      _mm_stream_pd(srcDst + 2 * k, first);
      _mm_stream_pd(srcDst + 2 * k + 2, second);
    } else {
      _mm_storeu_pd(srcDst + 2 * k, first);
      _mm_storeu_pd(srcDst + 2 * k + 2, second);
    }
  }
  if (stream) {
    _mm_sfence();
  }
  if (k < len) {
    _mm_storeu_pd(srcDst + 2 * k, one(src + 2 * k, srcDst + 2 * k));
  }
}

#pragma GCC pop_options

// Set C's 16-bit row kernels, division row kernel, 16-bit fill, fill row and
// copy row: the SSE2 code that set B runs too.
KESTRUNE_INT16_PLAIN_ROW(AddInt16SatRowC, kernels_detail::Sse2Lanes, Add, Sat)
KESTRUNE_INT16_PLAIN_ROW(AddInt16HalfRowC, kernels_detail::Sse2Lanes, Add, Half)
KESTRUNE_INT16_SHIFT_ROW(AddInt16ShiftDownRowC, kernels_detail::Sse2Lanes, Add, ShiftDown)
KESTRUNE_INT16_SHIFT_ROW(AddInt16ShiftUpRowC, kernels_detail::Sse2Lanes, Add, ShiftUp)
KESTRUNE_INT16_PLAIN_ROW(AddInt16SignRowC, kernels_detail::Sse2Lanes, Add, Sign)
KESTRUNE_INT16_PLAIN_ROW(SubInt16SatRowC, kernels_detail::Sse2Lanes, Sub, Sat)
KESTRUNE_INT16_PLAIN_ROW(SubInt16HalfRowC, kernels_detail::Sse2Lanes, Sub, Half)
KESTRUNE_INT16_SHIFT_ROW(SubInt16ShiftDownRowC, kernels_detail::Sse2Lanes, Sub, ShiftDown)
KESTRUNE_INT16_SHIFT_ROW(SubInt16ShiftUpRowC, kernels_detail::Sse2Lanes, Sub, ShiftUp)
KESTRUNE_INT16_PLAIN_ROW(SubInt16SignRowC, kernels_detail::Sse2Lanes, Sub, Sign)
KESTRUNE_INT16_PLAIN_ROW(MulInt16SatRowC, kernels_detail::Sse2Lanes, Mul, Sat)
KESTRUNE_INT16_PLAIN_ROW(MulInt16HalfRowC, kernels_detail::Sse2Lanes, Mul, Half)
KESTRUNE_INT16_SHIFT_ROW(MulInt16ShiftDownRowC, kernels_detail::Sse2Lanes, Mul, ShiftDown)
KESTRUNE_INT16_SHIFT_ROW(MulInt16ShiftUpRowC, kernels_detail::Sse2Lanes, Mul, ShiftUp)
KESTRUNE_INT16_PLAIN_ROW(MulInt16SignRowC, kernels_detail::Sse2Lanes, Mul, Sign)

int DivInt16RowKernelC(const std::int16_t* src, const std::int16_t* src2, std::int16_t* dst,
                       std::int32_t len, std::int32_t sf) {
  return DivInt16RowKernelSse2(src, src2, dst, len, sf);
}

std::int16_t* FillInt16KernelC(std::int16_t value, std::int16_t* dst, std::int64_t len) {
  return FillInt16KernelSse2(value, dst, len);
}

void FillPatternRowC(const std::uint8_t* pattern, void* dst, std::int64_t nBytes, bool stream) {
  FillPatternRowSse2(pattern, dst, nBytes, stream);
}

void CopyRowKernelC(const void* src, void* dst, std::int64_t nBytes, bool stream) {
  CopyRowKernelSse2(src, dst, nBytes, stream);
}
