// Processor-specific variants of the 16-bit block add, subtract and multiply
// and of the 16-bit fill (see MoskBasicDispatcher.h for the contracts), and
// the set forms of the 2-D 16-bit fill that those sets' block arithmetic
// uses to clear its destination. Their results equal the portable ones.
#pragma once

#include <cstdint>

#include "signal/primitives/PrimitiveDispatch.h"

#define KESTRUNE_INT16_BLOCK_VARIANT(name)                                                  \
  PrimitiveStatus name(const std::int16_t* src, std::int32_t srcStep, std::int16_t* srcDst, \
                       std::int32_t srcDstStep, std::int32_t width, std::int32_t height,    \
                       std::int32_t sf)
KESTRUNE_INT16_BLOCK_VARIANT(RoiAddInt16InPlaceScaledA);
KESTRUNE_INT16_BLOCK_VARIANT(RoiAddInt16InPlaceScaledB);
KESTRUNE_INT16_BLOCK_VARIANT(RoiAddInt16InPlaceScaledC);
KESTRUNE_INT16_BLOCK_VARIANT(RoiSubInt16InPlaceScaledA);
KESTRUNE_INT16_BLOCK_VARIANT(RoiSubInt16InPlaceScaledB);
KESTRUNE_INT16_BLOCK_VARIANT(RoiSubInt16InPlaceScaledC);
KESTRUNE_INT16_BLOCK_VARIANT(RoiMulInt16InPlaceScaledA);
KESTRUNE_INT16_BLOCK_VARIANT(RoiMulInt16InPlaceScaledB);
KESTRUNE_INT16_BLOCK_VARIANT(RoiMulInt16InPlaceScaledC);
// The division: A differs from the portable results by one where its
// single-precision sum q + 32768 turns a quotient within half a step of a
// half-integer into that half-integer.
KESTRUNE_INT16_BLOCK_VARIANT(RoiDivInt16InPlaceScaledA);
KESTRUNE_INT16_BLOCK_VARIANT(RoiDivInt16InPlaceScaledB);
KESTRUNE_INT16_BLOCK_VARIANT(RoiDivInt16InPlaceScaledC);

// The checked 2-D divisions of the sets (the checks of RoiDivInt16Scaled,
// then the set's row loop), their row loops (arguments checked: every row by
// the set's row routine, the first non-zero status kept) and the row routines
// of sets B and C.
PrimitiveStatus RoiDivInt16ScaledA(const std::int16_t* src, std::int32_t srcStep,
                                   const std::int16_t* src2, std::int32_t src2Step,
                                   std::int16_t* dst, std::int32_t dstStep, std::int32_t width,
                                   std::int32_t height, std::int32_t sf);
PrimitiveStatus RoiDivInt16ScaledB(const std::int16_t* src, std::int32_t srcStep,
                                   const std::int16_t* src2, std::int32_t src2Step,
                                   std::int16_t* dst, std::int32_t dstStep, std::int32_t width,
                                   std::int32_t height, std::int32_t sf);
PrimitiveStatus RoiDivInt16ScaledC(const std::int16_t* src, std::int32_t srcStep,
                                   const std::int16_t* src2, std::int32_t src2Step,
                                   std::int16_t* dst, std::int32_t dstStep, std::int32_t width,
                                   std::int32_t height, std::int32_t sf);
PrimitiveStatus RoiDivInt16ScaledRowsA(const std::int16_t* src, std::int32_t srcStep,
                                       const std::int16_t* src2, std::int32_t src2Step,
                                       std::int16_t* dst, std::int32_t dstStep, std::int32_t width,
                                       std::int32_t height, std::int32_t sf);
PrimitiveStatus RoiDivInt16ScaledRowsB(const std::int16_t* src, std::int32_t srcStep,
                                       const std::int16_t* src2, std::int32_t src2Step,
                                       std::int16_t* dst, std::int32_t dstStep, std::int32_t width,
                                       std::int32_t height, std::int32_t sf);
PrimitiveStatus RoiDivInt16ScaledRowsC(const std::int16_t* src, std::int32_t srcStep,
                                       const std::int16_t* src2, std::int32_t src2Step,
                                       std::int16_t* dst, std::int32_t dstStep, std::int32_t width,
                                       std::int32_t height, std::int32_t sf);
PrimitiveStatus DivInt16ScaledRowB(const std::int16_t* src, const std::int16_t* src2,
                                   std::int16_t* dst, std::int32_t len, std::int32_t sf);
PrimitiveStatus DivInt16ScaledRowC(const std::int16_t* src, const std::int16_t* src2,
                                   std::int16_t* dst, std::int32_t len, std::int32_t sf);

PrimitiveStatus VectorSetInt16A(std::int16_t value, std::int16_t* dst, std::int32_t len);
PrimitiveStatus VectorSetInt16B(std::int16_t value, std::int16_t* dst, std::int32_t len);
PrimitiveStatus VectorSetInt16C(std::int16_t value, std::int16_t* dst, std::int32_t len);

// The checks of RoiFillInt16 (-8, -6, -14), then every row filled: set A
// always with non-temporal stores, sets B and C with them when the block
// holds more than 180000 bytes.
PrimitiveStatus RoiFillInt16A(std::int16_t value, std::int16_t* dst, std::int32_t dstStep,
                              std::int32_t width, std::int32_t height);
PrimitiveStatus RoiFillInt16B(std::int16_t value, std::int16_t* dst, std::int32_t dstStep,
                              std::int32_t width, std::int32_t height);
PrimitiveStatus RoiFillInt16C(std::int16_t value, std::int16_t* dst, std::int32_t dstStep,
                              std::int32_t width, std::int32_t height);

// The 32-bit block fill (variants A and B) and the block copies (A, B, C).
PrimitiveStatus RoiSetInt32A(std::int32_t value, std::int32_t* dst, std::int32_t dstStep,
                             std::int32_t width, std::int32_t height);
PrimitiveStatus RoiSetInt32B(std::int32_t value, std::int32_t* dst, std::int32_t dstStep,
                             std::int32_t width, std::int32_t height);
#define KESTRUNE_DECLARE_BLOCK_COPY(name, T)                                             \
  PrimitiveStatus name(const T* src, std::int32_t srcStep, T* dst, std::int32_t dstStep, \
                       std::int32_t width, std::int32_t height)
#define KESTRUNE_DECLARE_BLOCK_COPIES(L)                      \
  KESTRUNE_DECLARE_BLOCK_COPY(RoiCopyUInt8##L, std::uint8_t); \
  KESTRUNE_DECLARE_BLOCK_COPY(RoiCopyInt16##L, std::int16_t); \
  KESTRUNE_DECLARE_BLOCK_COPY(RoiCopyInt32##L, std::int32_t);
KESTRUNE_DECLARE_BLOCK_COPIES(A)
KESTRUNE_DECLARE_BLOCK_COPIES(B)
KESTRUNE_DECLARE_BLOCK_COPIES(C)
#undef KESTRUNE_DECLARE_BLOCK_COPIES

// The sample-width conversions of sets A, B and C.
#define KESTRUNE_DECLARE_BLOCK_CONVERSIONS(L)                                                     \
  PrimitiveStatus RoiConvertUInt8ToFloat##L(const std::uint8_t* src, std::int32_t srcStep,        \
                                            float* dst, std::int32_t dstStep, std::int32_t width, \
                                            std::int32_t height);                                 \
  PrimitiveStatus RoiConvertUInt8ToInt16##L(const std::uint8_t* src, std::int32_t srcStep,        \
                                            std::int16_t* dst, std::int32_t dstStep,              \
                                            std::int32_t width, std::int32_t height);             \
  PrimitiveStatus RoiConvertUInt8ToInt32##L(const std::uint8_t* src, std::int32_t srcStep,        \
                                            std::int32_t* dst, std::int32_t dstStep,              \
                                            std::int32_t width, std::int32_t height);             \
  PrimitiveStatus RoiConvertInt16ToUInt8##L(                                                      \
      const std::int16_t* src, std::int32_t srcStep, std::uint8_t* dst, std::int32_t dstStep,     \
      std::int32_t width, std::int32_t height, std::int32_t mode);                                \
  PrimitiveStatus RoiConvertInt32ToUInt8##L(                                                      \
      const std::int32_t* src, std::int32_t srcStep, std::uint8_t* dst, std::int32_t dstStep,     \
      std::int32_t width, std::int32_t height, std::int32_t mode);
KESTRUNE_DECLARE_BLOCK_CONVERSIONS(A)
KESTRUNE_DECLARE_BLOCK_CONVERSIONS(B)
KESTRUNE_DECLARE_BLOCK_CONVERSIONS(C)
#undef KESTRUNE_DECLARE_BLOCK_CONVERSIONS
