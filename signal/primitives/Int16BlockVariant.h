// The front-end that the processor-specific variants of the 16-bit block
// add, subtract and multiply share: the portable checks and choice of scale
// case, then the row loop with the row kernel of the variant's own set, or
// the set's 2-D fill with 0 where every result is 0. Internal to the
// primitives module.
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
                                         Int16RowKernel (*kernelFor)(Int16Op, Int16Kind),
                                         Int16Fill fill) {
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
  const Int16RowKernel kernel = kernelFor(op, kind);
  const auto* s = reinterpret_cast<const std::uint8_t*>(src);
  auto* d = reinterpret_cast<std::uint8_t*>(srcDst);
  for (std::int32_t r = 0; r < height; ++r, s += srcStep, d += srcDstStep) {
    kernel(reinterpret_cast<const std::int16_t*>(s), reinterpret_cast<std::int16_t*>(d), width, k);
  }
  return StatusOk;
}

}  // namespace primitives_detail
