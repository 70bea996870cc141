// Variants B and C of the 16-bit block add, subtract and multiply and of the
// 16-bit fill, and the set-B and set-C 2-D fills (the same front-ends; the
// arithmetic calls each set's own row kernels).
#include <xmmintrin.h>

#include <cstring>

#include "signal/primitives/ArgumentChecks.h"
#include "signal/primitives/Int16BlockVariant.h"
#include "signal/primitives/MoskBasicVariants.h"
#include "signal/primitives/RoundingControl.h"
#include "signal/primitives/UnalignedAccess.h"
#include "signal/primitives/kernels/VariantKernels.h"

using namespace primitives_detail;

namespace {

using Int16FillKernel = std::int16_t* (*)(std::int16_t value, std::int16_t* dst, std::int64_t len);

PrimitiveStatus SetInt16BC(std::int16_t value, std::int16_t* dst, std::int32_t len,
                           Int16FillKernel fill) {
  if (const PrimitiveStatus status = CheckVectorArguments({dst}, len); status != StatusOk) {
    return status;
  }
  fill(value, dst, len);
  return StatusOk;
}

}  // namespace

PrimitiveStatus VectorSetInt16B(std::int16_t value, std::int16_t* dst, std::int32_t len) {
  return SetInt16BC(value, dst, len, &FillInt16KernelB);
}

PrimitiveStatus VectorSetInt16C(std::int16_t value, std::int16_t* dst, std::int32_t len) {
  return SetInt16BC(value, dst, len, &FillInt16KernelC);
}

namespace {

using PatternRowKernel = void (*)(const std::uint8_t* pattern, void* dst, std::int64_t nBytes,
                                  bool stream);

PrimitiveStatus RoiFillInt16BC(std::int16_t value, std::int16_t* dst, std::int32_t dstStep,
                               std::int32_t width, std::int32_t height, PatternRowKernel fillRow) {
  if (const PrimitiveStatus status = CheckBlockArguments({dst}, width, height, {dstStep});
      status != StatusOk) {
    return status;
  }
  std::uint8_t pattern[32];
  for (int k = 0; k < 32; k += 2) {
    std::memcpy(pattern + k, &value, 2);
  }
  const bool stream = std::int64_t{height} * width * 2 > 180000;
  auto* row = reinterpret_cast<std::uint8_t*>(dst);
  for (std::int32_t r = 0; r < height; ++r, row += dstStep) {
    fillRow(pattern, row, std::int64_t{width} * 2, stream);
  }
  return StatusOk;
}

}  // namespace

PrimitiveStatus RoiFillInt16B(std::int16_t value, std::int16_t* dst, std::int32_t dstStep,
                              std::int32_t width, std::int32_t height) {
  return RoiFillInt16BC(value, dst, dstStep, width, height, &FillPatternRowB);
}

PrimitiveStatus RoiFillInt16C(std::int16_t value, std::int16_t* dst, std::int32_t dstStep,
                              std::int32_t width, std::int32_t height) {
  return RoiFillInt16BC(value, dst, dstStep, width, height, &FillPatternRowC);
}

namespace {

// The row kernels of each operation in sets B and C, by scale case.
constexpr Int16RowKernels kAddRowsB{&AddInt16SatRowB, &AddInt16HalfRowB, &AddInt16ShiftDownRowB,
                                    &AddInt16ShiftUpRowB, &AddInt16SignRowB};
constexpr Int16RowKernels kAddRowsC{&AddInt16SatRowC, &AddInt16HalfRowC, &AddInt16ShiftDownRowC,
                                    &AddInt16ShiftUpRowC, &AddInt16SignRowC};
constexpr Int16RowKernels kSubRowsB{&SubInt16SatRowB, &SubInt16HalfRowB, &SubInt16ShiftDownRowB,
                                    &SubInt16ShiftUpRowB, &SubInt16SignRowB};
constexpr Int16RowKernels kSubRowsC{&SubInt16SatRowC, &SubInt16HalfRowC, &SubInt16ShiftDownRowC,
                                    &SubInt16ShiftUpRowC, &SubInt16SignRowC};
constexpr Int16RowKernels kMulRowsB{&MulInt16SatRowB, &MulInt16HalfRowB, &MulInt16ShiftDownRowB,
                                    &MulInt16ShiftUpRowB, &MulInt16SignRowB};
constexpr Int16RowKernels kMulRowsC{&MulInt16SatRowC, &MulInt16HalfRowC, &MulInt16ShiftDownRowC,
                                    &MulInt16ShiftUpRowC, &MulInt16SignRowC};

}  // namespace

#define KESTRUNE_INT16_BLOCK_BODY(op, kernels, fill)                                         \
  return Int16BlockVariant(Int16Op::op, src, srcStep, srcDst, srcDstStep, width, height, sf, \
                           kernels, &fill)

KESTRUNE_INT16_BLOCK_VARIANT(RoiAddInt16InPlaceScaledB) {
  KESTRUNE_INT16_BLOCK_BODY(Add, kAddRowsB, RoiFillInt16B);
}
KESTRUNE_INT16_BLOCK_VARIANT(RoiAddInt16InPlaceScaledC) {
  KESTRUNE_INT16_BLOCK_BODY(Add, kAddRowsC, RoiFillInt16C);
}
KESTRUNE_INT16_BLOCK_VARIANT(RoiSubInt16InPlaceScaledB) {
  KESTRUNE_INT16_BLOCK_BODY(Sub, kSubRowsB, RoiFillInt16B);
}
KESTRUNE_INT16_BLOCK_VARIANT(RoiSubInt16InPlaceScaledC) {
  KESTRUNE_INT16_BLOCK_BODY(Sub, kSubRowsC, RoiFillInt16C);
}
KESTRUNE_INT16_BLOCK_VARIANT(RoiMulInt16InPlaceScaledB) {
  KESTRUNE_INT16_BLOCK_BODY(Mul, kMulRowsB, RoiFillInt16B);
}
KESTRUNE_INT16_BLOCK_VARIANT(RoiMulInt16InPlaceScaledC) {
  KESTRUNE_INT16_BLOCK_BODY(Mul, kMulRowsC, RoiFillInt16C);
}

#undef KESTRUNE_INT16_BLOCK_BODY

namespace {

using Int16DivisionKernel = int (*)(const std::int16_t* src, const std::int16_t* src2,
                                    std::int16_t* dst, std::int32_t len, std::int32_t sf);

// The row routine of sets B and C: the set's row kernel for -30 <= sf <= 15;
// beyond, every quotient with a non-zero divisor is 0 (sf >= 16) or
// saturates by the signs (sf <= -31).
PrimitiveStatus DivInt16ScaledRowBC(const std::int16_t* src, const std::int16_t* src2,
                                    std::int16_t* dst, std::int32_t len, std::int32_t sf,
                                    Int16DivisionKernel kernel) {
  if (const PrimitiveStatus status = CheckVectorArguments({src, src2, dst}, len);
      status != StatusOk) {
    return status;
  }
  if (sf >= -30 && sf <= 15) {
    return kernel(src, src2, dst, len, sf) != 0 ? StatusZeroDivisor : StatusOk;
  }
  PrimitiveStatus status = StatusOk;
  for (std::int32_t i = 0; i < len; ++i) {
    const std::int32_t d = unaligned::Load(src + i);
    const std::int32_t n = unaligned::Load(src2 + i);
    std::int32_t q;
    if (d == 0) {
      q = n > 0 ? 32767 : (n < 0 ? -32768 : 0);
      status = StatusZeroDivisor;
    } else if (sf >= 16 || n == 0) {
      q = 0;
    } else {
      q = (n < 0) == (d < 0) ? 32767 : -32768;
    }
    unaligned::Store(dst + i, static_cast<std::int16_t>(q));
  }
  return status;
}

}  // namespace

PrimitiveStatus DivInt16ScaledRowB(const std::int16_t* src, const std::int16_t* src2,
                                   std::int16_t* dst, std::int32_t len, std::int32_t sf) {
  return DivInt16ScaledRowBC(src, src2, dst, len, sf, &DivInt16RowKernelB);
}

PrimitiveStatus DivInt16ScaledRowC(const std::int16_t* src, const std::int16_t* src2,
                                   std::int16_t* dst, std::int32_t len, std::int32_t sf) {
  return DivInt16ScaledRowBC(src, src2, dst, len, sf, &DivInt16RowKernelC);
}

PrimitiveStatus RoiDivInt16ScaledRowsB(const std::int16_t* src, std::int32_t srcStep,
                                       const std::int16_t* src2, std::int32_t src2Step,
                                       std::int16_t* dst, std::int32_t dstStep, std::int32_t width,
                                       std::int32_t height, std::int32_t sf) {
  return Int16DivisionRows(&DivInt16ScaledRowB, src, srcStep, src2, src2Step, dst, dstStep, width,
                           height, sf);
}

PrimitiveStatus RoiDivInt16ScaledRowsC(const std::int16_t* src, std::int32_t srcStep,
                                       const std::int16_t* src2, std::int32_t src2Step,
                                       std::int16_t* dst, std::int32_t dstStep, std::int32_t width,
                                       std::int32_t height, std::int32_t sf) {
  return Int16DivisionRows(&DivInt16ScaledRowC, src, srcStep, src2, src2Step, dst, dstStep, width,
                           height, sf);
}

PrimitiveStatus RoiDivInt16ScaledB(const std::int16_t* src, std::int32_t srcStep,
                                   const std::int16_t* src2, std::int32_t src2Step,
                                   std::int16_t* dst, std::int32_t dstStep, std::int32_t width,
                                   std::int32_t height, std::int32_t sf) {
  if (const PrimitiveStatus status =
          CheckInt16DivisionArguments(src, srcStep, src2, src2Step, dst, dstStep, width, height);
      status != StatusOk) {
    return status;
  }
  return RoiDivInt16ScaledRowsB(src, srcStep, src2, src2Step, dst, dstStep, width, height, sf);
}

PrimitiveStatus RoiDivInt16ScaledC(const std::int16_t* src, std::int32_t srcStep,
                                   const std::int16_t* src2, std::int32_t src2Step,
                                   std::int16_t* dst, std::int32_t dstStep, std::int32_t width,
                                   std::int32_t height, std::int32_t sf) {
  if (const PrimitiveStatus status =
          CheckInt16DivisionArguments(src, srcStep, src2, src2Step, dst, dstStep, width, height);
      status != StatusOk) {
    return status;
  }
  return RoiDivInt16ScaledRowsC(src, srcStep, src2, src2Step, dst, dstStep, width, height, sf);
}

KESTRUNE_INT16_BLOCK_VARIANT(RoiDivInt16InPlaceScaledB) {
  return RoiDivInt16ScaledB(src, srcStep, srcDst, srcDstStep, srcDst, srcDstStep, width, height,
                            sf);
}

KESTRUNE_INT16_BLOCK_VARIANT(RoiDivInt16InPlaceScaledC) {
  return RoiDivInt16ScaledC(src, srcStep, srcDst, srcDstStep, srcDst, srcDstStep, width, height,
                            sf);
}

PrimitiveStatus RoiSetInt32B(std::int32_t value, std::int32_t* dst, std::int32_t dstStep,
                             std::int32_t width, std::int32_t height) {
  if (const PrimitiveStatus status = CheckBlockArguments({dst}, width, height, {dstStep});
      status != StatusOk) {
    return status;
  }
  std::uint8_t pattern[32];
  for (int k = 0; k < 32; k += 4) {
    std::memcpy(pattern + k, &value, 4);
  }
  const bool stream = std::int64_t{width} * height * 4 > 1400000;
  auto* row = reinterpret_cast<std::uint8_t*>(dst);
  for (std::int32_t r = 0; r < height; ++r, row += dstStep) {
    FillPatternRowB(pattern, row, std::int64_t{width} * 4, stream);
  }
  return StatusOk;
}

// Sets B and C copy rows with their row kernels (one routine), streaming
// above 131072 bytes.
#define KESTRUNE_DEFINE_BLOCK_COPY_BC(name, T, copyRow)                                   \
  KESTRUNE_DECLARE_BLOCK_COPY(name, T) {                                                  \
    return BlockCopyVariant(src, srcStep, dst, dstStep, width, height, 131072, &copyRow); \
  }
KESTRUNE_DEFINE_BLOCK_COPY_BC(RoiCopyUInt8B, std::uint8_t, CopyRowKernelB)
KESTRUNE_DEFINE_BLOCK_COPY_BC(RoiCopyInt16B, std::int16_t, CopyRowKernelB)
KESTRUNE_DEFINE_BLOCK_COPY_BC(RoiCopyInt32B, std::int32_t, CopyRowKernelB)
KESTRUNE_DEFINE_BLOCK_COPY_BC(RoiCopyUInt8C, std::uint8_t, CopyRowKernelC)
KESTRUNE_DEFINE_BLOCK_COPY_BC(RoiCopyInt16C, std::int16_t, CopyRowKernelC)
KESTRUNE_DEFINE_BLOCK_COPY_BC(RoiCopyInt32C, std::int32_t, CopyRowKernelC)
#undef KESTRUNE_DEFINE_BLOCK_COPY_BC

namespace {

// When a conversion of sets B and C streams: n = width * height elements
// (64 bits) from `packedFrom` on for a packed block (one row), from
// `rowsFrom` on row by row when the width is at least `minWidth`.
struct StreamRule {
  std::int64_t packedFrom;
  std::int64_t rowsFrom;
  std::int32_t minWidth;
};

constexpr std::int64_t kNever = INT64_MAX;
constexpr StreamRule kNoStreaming{kNever, kNever, 0};

constexpr StreamRule StreamFrom(std::int64_t n) {
  return {n, n, 0};
}

// The conversions of sets B and C: the portable checks (pointers, sizes,
// steps), one row of width * height elements when both blocks are packed,
// else row by row, streamed past the set's threshold; the rounded
// narrowings run with MXCSR set to nearest for the call and put the
// caller's rounding back.
template <typename From, typename To>
PrimitiveStatus ConvertBlockBC(BlockConversion kind, const From* src, std::int32_t srcStep, To* dst,
                               std::int32_t dstStep, std::int32_t width, std::int32_t height,
                               bool rounded, StreamRule rule) {
  if (const PrimitiveStatus status =
          CheckBlockArguments({src, dst}, width, height, {srcStep, dstStep});
      status != StatusOk) {
    return status;
  }
  const std::uint32_t saved = rounded ? SseSetRoundingBits(kSseRoundNearest) : 0;
  std::int64_t rows = height;
  std::int64_t columns = width;
  const std::int64_t elements = rows * columns;
  const bool packed = srcStep == columns * static_cast<std::int64_t>(sizeof(From)) &&
                      dstStep == columns * static_cast<std::int64_t>(sizeof(To));
  const bool stream =
      packed ? elements >= rule.packedFrom : elements >= rule.rowsFrom && width >= rule.minWidth;
  if (packed) {
    columns = elements;
    rows = 1;
  }
  const auto* s = reinterpret_cast<const std::uint8_t*>(src);
  auto* d = reinterpret_cast<std::uint8_t*>(dst);
  for (std::int64_t r = 0; r < rows; ++r) {
    ConvertRowSse2(kind, s + r * srcStep, d + r * dstStep, columns, stream);
  }
  if (rounded && (saved & kSseRoundingMask) != kSseRoundNearest) {
    SseRestoreControlWord(saved);
  }
  return StatusOk;
}

// The streaming thresholds of a set: the widening to float streams above
// 420000 elements packed (840000 row by row, rows above 256 elements) in
// both sets; set B streams the other widenings and the shift narrowing of
// 16-bit samples from half of set C's element counts.
struct SetThresholds {
  std::int64_t toInt16;  // UInt8ToInt16 and the Int16ToUInt8 shift mapping
  std::int64_t toInt32;
};
constexpr SetThresholds kSetC{349525, 209716};
constexpr SetThresholds kSetB{174762, 104858};
constexpr StreamRule kToFloat{420001, 840001, 257};

}  // namespace

#define KESTRUNE_DEFINE_BLOCK_CONVERSIONS(L)                                                      \
  PrimitiveStatus RoiConvertUInt8ToFloat##L(const std::uint8_t* src, std::int32_t srcStep,        \
                                            float* dst, std::int32_t dstStep, std::int32_t width, \
                                            std::int32_t height) {                                \
    return ConvertBlockBC(BlockConversion::UInt8ToFloat, src, srcStep, dst, dstStep, width,       \
                          height, false, kToFloat);                                               \
  }                                                                                               \
  PrimitiveStatus RoiConvertUInt8ToInt16##L(const std::uint8_t* src, std::int32_t srcStep,        \
                                            std::int16_t* dst, std::int32_t dstStep,              \
                                            std::int32_t width, std::int32_t height) {            \
    return ConvertBlockBC(BlockConversion::UInt8ToInt16, src, srcStep, dst, dstStep, width,       \
                          height, false, StreamFrom(kSet##L.toInt16));                            \
  }                                                                                               \
  PrimitiveStatus RoiConvertUInt8ToInt32##L(const std::uint8_t* src, std::int32_t srcStep,        \
                                            std::int32_t* dst, std::int32_t dstStep,              \
                                            std::int32_t width, std::int32_t height) {            \
    return ConvertBlockBC(BlockConversion::UInt8ToInt32, src, srcStep, dst, dstStep, width,       \
                          height, false, StreamFrom(kSet##L.toInt32));                            \
  }                                                                                               \
  PrimitiveStatus RoiConvertInt16ToUInt8##L(                                                      \
      const std::int16_t* src, std::int32_t srcStep, std::uint8_t* dst, std::int32_t dstStep,     \
      std::int32_t width, std::int32_t height, std::int32_t mode) {                               \
    return ConvertBlockBC(                                                                        \
        mode == 2 ? BlockConversion::Int16ToUInt8Rounded : BlockConversion::Int16ToUInt8Shift,    \
        src, srcStep, dst, dstStep, width, height, mode == 2,                                     \
        mode == 2 ? kNoStreaming : StreamFrom(kSet##L.toInt16));                                  \
  }                                                                                               \
  PrimitiveStatus RoiConvertInt32ToUInt8##L(                                                      \
      const std::int32_t* src, std::int32_t srcStep, std::uint8_t* dst, std::int32_t dstStep,     \
      std::int32_t width, std::int32_t height, std::int32_t mode) {                               \
    return ConvertBlockBC(                                                                        \
        mode == 2 ? BlockConversion::Int32ToUInt8Rounded : BlockConversion::Int32ToUInt8Shift,    \
        src, srcStep, dst, dstStep, width, height, mode == 2, kNoStreaming);                      \
  }
KESTRUNE_DEFINE_BLOCK_CONVERSIONS(B)
KESTRUNE_DEFINE_BLOCK_CONVERSIONS(C)
#undef KESTRUNE_DEFINE_BLOCK_CONVERSIONS
