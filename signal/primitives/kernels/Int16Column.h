// One channel of 16-bit stereo frames read four samples at a time: the
// samples lie 4 bytes apart, each 32-bit lane of a 16-byte load holds one in
// its low half and the other channel's in its high half. Shared by the
// column conversions to floats and to doubles. Internal to the kernels.
#pragma once

#include <emmintrin.h>

#include <cstdint>

namespace kernels_detail {

// Samples r .. r + 3 of the column at `column`, sign-extended to 32-bit
// lanes: the multiply-add of 16-bit pairs by (1, 0) keeps each low half.
// Reads bytes 4r .. 4r + 15.
inline __m128i LoadInt16Column4(const unsigned char* column, std::int64_t r) {
  const __m128i raw = _mm_loadu_si128(reinterpret_cast<const __m128i*>(column + 4 * r));
  return _mm_madd_epi16(raw, _mm_set1_epi32(1));
}

// Calls convertFour(r) for the groups of four of a column of `rows` samples
// that its loads may read, and returns the first row left to convert one by
// one. A load at row r ends at byte 4r + 15 and the column's last sample at
// byte 4(rows - 1) + 1, so a group is taken only while r + 4 < rows. Two
// groups per step, each read and then written before the next is read, as
// with one group per step: a destination over the source gives the same
// results.
template <typename ConvertFour>
[[gnu::always_inline]] inline std::int64_t ForEachInt16ColumnGroup(std::int64_t rows,
                                                                   ConvertFour convertFour) {
  std::int64_t r = 0;
  for (; r + 8 < rows; r += 8) {
    convertFour(r);
    convertFour(r + 4);
  }
  if (r + 4 < rows) {
    convertFour(r);
    r += 4;
  }
  return r;
}

}  // namespace kernels_detail
