// The front-ends that the processor-specific variants of the 16-bit block
// add, subtract and multiply share: the portable checks and choice of scale
// case, then the row loop with the row kernels of the variant's own set, or
// the set's 2-D fill with 0 where every result is 0. The checks and the row
// loop of the 2-D division, which every set (the portable one too) runs with
// its own row routine. Internal to the primitives module.
#pragma once

#include <cstdint>

#include "signal/primitives/ArgumentChecks.h"
#include "signal/primitives/kernels/VariantKernels.h"

namespace primitives_detail {

using Int16Fill = PrimitiveStatus (*)(std::int16_t value, std::int16_t* dst, std::int32_t dstStep,
                                      std::int32_t width, std::int32_t height);

inline PrimitiveStatus Int16BlockVariant(Int16Op op, const std::int16_t* src, std::int32_t srcStep,
                                         std::int16_t* srcDst, std::int32_t srcDstStep,
                                         std::int32_t width, std::int32_t height, std::int32_t sf,
                                         const Int16RowKernels& kernels, Int16Fill fill) {
  if (const PrimitiveStatus status = CheckBlockArguments({src, srcDst}, width, height);
      status != StatusOk) {
    return status;
  }
  // The largest sf whose result can be non-zero, and the most negative one
  // that still shifts: add and subtract 16 and -15, multiply 30 and -14.
  const std::int32_t right = op == Int16Op::Mul ? 30 : 16;
  const std::int32_t left = op == Int16Op::Mul ? -14 : -15;
  Int16Kind kind = Int16Kind::Sat;
  int k = 0;
  if (sf > right) {
    return fill(0, srcDst, srcDstStep, width, height);
  }
  if (sf == 1) {
    kind = Int16Kind::Half;
  } else if (sf > 1) {
    kind = Int16Kind::ShiftDown;
    k = sf;
  } else if (sf < left) {
    kind = Int16Kind::Sign;
  } else if (sf < 0) {
    kind = Int16Kind::ShiftUp;
    k = -sf;
  }
  const auto* s = reinterpret_cast<const std::uint8_t*>(src);
  auto* d = reinterpret_cast<std::uint8_t*>(srcDst);
  for (std::int32_t r = 0; r < height; ++r, s += srcStep, d += srcDstStep) {
    const auto* row = reinterpret_cast<const std::int16_t*>(s);
    auto* rowDst = reinterpret_cast<std::int16_t*>(d);
    switch (kind) {
      case Int16Kind::Sat:
        kernels.Sat(row, rowDst, width);
        break;
      case Int16Kind::Half:
        kernels.Half(row, rowDst, width);
        break;
      case Int16Kind::ShiftDown:
        kernels.ShiftDown(row, rowDst, width, k);
        break;
      case Int16Kind::ShiftUp:
        kernels.ShiftUp(row, rowDst, width, k);
        break;
      case Int16Kind::Sign:
        kernels.Sign(row, rowDst, width);
        break;
    }
  }
  return StatusOk;
}

using Int16DivisionRow = PrimitiveStatus (*)(const std::int16_t* src, const std::int16_t* src2,
                                             std::int16_t* dst, std::int32_t len, std::int32_t sf);

// The checks of a 2-D division: three pointers (-8), height and width (-6),
// three steps (-14).
inline PrimitiveStatus CheckInt16DivisionArguments(const std::int16_t* src, std::int32_t srcStep,
                                                   const std::int16_t* src2, std::int32_t src2Step,
                                                   const std::int16_t* dst, std::int32_t dstStep,
                                                   std::int32_t width, std::int32_t height) {
  return CheckBlockArguments({src, src2, dst}, width, height, {srcStep, src2Step, dstStep});
}

// The row loop of a 2-D division, arguments checked: every row, top to
// bottom, by the set's row routine; the first non-zero row status is kept.
inline PrimitiveStatus Int16DivisionRows(Int16DivisionRow row, const std::int16_t* src,
                                         std::int32_t srcStep, const std::int16_t* src2,
                                         std::int32_t src2Step, std::int16_t* dst,
                                         std::int32_t dstStep, std::int32_t width,
                                         std::int32_t height, std::int32_t sf) {
  const auto* s = reinterpret_cast<const std::uint8_t*>(src);
  const auto* s2 = reinterpret_cast<const std::uint8_t*>(src2);
  auto* d = reinterpret_cast<std::uint8_t*>(dst);
  PrimitiveStatus status = StatusOk;
  for (std::int32_t r = 0; r < height; ++r, s += srcStep, s2 += src2Step, d += dstStep) {
    const PrimitiveStatus rowStatus =
        row(reinterpret_cast<const std::int16_t*>(s), reinterpret_cast<const std::int16_t*>(s2),
            reinterpret_cast<std::int16_t*>(d), width, sf);
    if (status == StatusOk) {
      status = rowStatus;
    }
  }
  return status;
}

// The 2-D copies of the sets: the portable checks (pointers, sizes; no
// steps), then one row of width * height elements when both steps equal the
// row's bytes, else row by row; `copyRow(src, dst, nBytes, stream)` copies a
// row, `stream` set when the block holds more than `streamAbove` bytes.
template <typename T, typename CopyRow>
PrimitiveStatus BlockCopyVariant(const T* src, std::int32_t srcStep, T* dst, std::int32_t dstStep,
                                 std::int32_t width, std::int32_t height, std::int64_t streamAbove,
                                 CopyRow copyRow) {
  if (const PrimitiveStatus status = CheckBlockArguments({src, dst}, width, height);
      status != StatusOk) {
    return status;
  }
  const std::int64_t rowBytes = std::int64_t{width} * static_cast<std::int64_t>(sizeof(T));
  const bool stream = rowBytes * height > streamAbove;
  if (srcStep == rowBytes && dstStep == rowBytes) {
    copyRow(src, dst, rowBytes * height, stream);
    return StatusOk;
  }
  const auto* s = reinterpret_cast<const std::uint8_t*>(src);
  auto* d = reinterpret_cast<std::uint8_t*>(dst);
  for (std::int64_t r = 0; r < height; ++r) {
    copyRow(s + r * srcStep, d + r * dstStep, rowBytes, stream);
  }
  return StatusOk;
}

}  // namespace primitives_detail
