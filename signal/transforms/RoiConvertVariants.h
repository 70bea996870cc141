// The frame of the processor-specific strided conversions (internal to the
// conversion variants): the portable checks, the packed-rows fast path and
// the row loop around a letter's row kernel.
#pragma once

#include <cstdint>
#include <cstring>

#include "signal/primitives/ArgumentChecks.h"
#include "signal/primitives/RoundingControl.h"

namespace roi_convert_detail {

// Checks in the portable order (pointers, sizes, steps), then rows: both
// blocks packed (srcStep and dstStep exactly one row of elements) are one
// row of width * height elements. `row(src, dst, width, rowCount)` converts
// one row; rowCount tells the kernel how large the whole block is.
template <typename Src, typename Dst, typename Row>
[[gnu::always_inline]] inline PrimitiveStatus ConvertRowsWith(const Src* src, std::int32_t srcStep,
                                                              Dst* dst, std::int32_t dstStep,
                                                              std::int32_t width,
                                                              std::int32_t height, Row row) {
  if (const PrimitiveStatus status =
          primitives_detail::CheckBlockArguments({src, dst}, width, height, {srcStep, dstStep});
      status != StatusOk) {
    return status;
  }
  std::int64_t rowWidth = width;
  std::int64_t rows = height;
  if (srcStep == static_cast<std::int64_t>(sizeof(Src)) * rowWidth &&
      dstStep == static_cast<std::int64_t>(sizeof(Dst)) * rowWidth) {
    rowWidth *= rows;
    rows = 1;
  }
  const auto* from = reinterpret_cast<const unsigned char*>(src);
  auto* to = reinterpret_cast<unsigned char*>(dst);
  for (std::int64_t r = 0; r < rows; ++r) {
    row(reinterpret_cast<const Src*>(from), reinterpret_cast<Dst*>(to), rowWidth, rows);
    from += srcStep;
    to += dstStep;
  }
  return StatusOk;
}

// The MXCSR rounding of the float-to-integer conversions: rndMode 1 to
// nearest, any other toward zero, set for the whole call and put back after
// it when it differed.
class SseRoundingBracket {
 public:
  explicit SseRoundingBracket(std::int32_t rndMode)
      : bits_(rndMode == 1 ? kSseRoundNearest : kSseRoundTowardZero),
        saved_(SseSetRoundingBits(bits_)) {}
  ~SseRoundingBracket() {
    if ((saved_ & kSseRoundingMask) != bits_) {
      SseRestoreControlWord(saved_);
    }
  }
  SseRoundingBracket(const SseRoundingBracket&) = delete;
  SseRoundingBracket& operator=(const SseRoundingBracket&) = delete;

 private:
  std::uint32_t bits_;
  std::uint32_t saved_;
};

// Elements of a row may lie at any byte address (a byte step need not keep
// them aligned).
template <typename T>
inline T Load(const T* p) {
  T value;
  std::memcpy(&value, p, sizeof(T));
  return value;
}
template <typename T>
inline void Store(T* p, T value) {
  std::memcpy(p, &value, sizeof(T));
}

inline std::uintptr_t Address(const void* p) {
  return reinterpret_cast<std::uintptr_t>(p);
}

}  // namespace roi_convert_detail
