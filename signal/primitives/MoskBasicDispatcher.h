// Primitives on 16-bit samples and on 2-D blocks of samples used by the audio
// components: in-place 16-bit block arithmetic with a scale factor, 16-bit
// fills, the 32-bit block fill, block copies and sample-width conversions.
//
// A 2-D block is a pointer to its first element, a row step in bytes (signed
// 32-bit; row r starts at base + r * step), a width in elements and a height
// in rows. Rows may start at any byte address (one channel of interleaved
// PCM is a block one element wide with the frame size as step), so elements
// are accessed without alignment assumptions.
//
// Called through their pointer variables like every primitive (see
// PrimitiveDispatch.h). Checks come first: pointers in argument order
// (StatusNullPointer), then width and height (StatusBadLength), then the steps
// where a primitive checks them (StatusBadStep); nothing is written on an
// error. Rows are processed top to bottom, elements left to right. Scaled
// results are the exact result times 2^-sf, rounded to nearest with ties to
// even and saturated to -32768..32767, whatever the caller's rounding mode.
// No primitive allocates, throws or keeps state; the 16-bit division sets the
// MXCSR rounding field for the call and leaves the caller's setting as it
// found it.
#pragma once

#include <cstdint>

#include "signal/primitives/PrimitiveDispatch.h"

// ---- 16-bit block arithmetic: srcDst = srcDst op src ----------------------
// Checks: src, srcDst (-8); height, width (-6); the steps are not checked
// (any value, zero and negative included, is added per row) except where the
// block is zero-filled: beyond sf 16 (add, subtract) or 30 (multiply) every
// result is 0 and RoiFillInt16(0, srcDst, srcDstStep, width, height) does the
// work and gives the status (-14 for srcDstStep < 1).
PrimitiveStatus RoiAddInt16InPlaceScaledPortable(const std::int16_t* src, std::int32_t srcStep,
                                                 std::int16_t* srcDst, std::int32_t srcDstStep,
                                                 std::int32_t width, std::int32_t height,
                                                 std::int32_t sf);
PrimitiveStatus RoiSubInt16InPlaceScaledPortable(const std::int16_t* src, std::int32_t srcStep,
                                                 std::int16_t* srcDst, std::int32_t srcDstStep,
                                                 std::int32_t width, std::int32_t height,
                                                 std::int32_t sf);
PrimitiveStatus RoiMulInt16InPlaceScaledPortable(const std::int16_t* src, std::int32_t srcStep,
                                                 std::int16_t* srcDst, std::int32_t srcDstStep,
                                                 std::int32_t width, std::int32_t height,
                                                 std::int32_t sf);
// srcDst = srcDst * 2^-sf / src: RoiDivInt16Scaled(src, srcStep, srcDst,
// srcDstStep, srcDst, srcDstStep, width, height, sf).
PrimitiveStatus RoiDivInt16InPlaceScaledPortable(const std::int16_t* src, std::int32_t srcStep,
                                                 std::int16_t* srcDst, std::int32_t srcDstStep,
                                                 std::int32_t width, std::int32_t height,
                                                 std::int32_t sf);

// The checked three-operand 16-bit division: dst = src2 * 2^-sf / src
// (divisor block src, dividend block src2), computed exactly, rounded to
// nearest with ties to even and saturated. Checks: src, src2, dst (-8);
// height, width (-6); srcStep, src2Step, dstStep (-14). A zero divisor stores
// 32767, -32768 or 0 by the dividend's sign, every other element is still
// computed, and the result is StatusZeroDivisor. src2 and dst may be the same
// block. Not dispatched.
PrimitiveStatus RoiDivInt16Scaled(const std::int16_t* src, std::int32_t srcStep,
                                  const std::int16_t* src2, std::int32_t src2Step,
                                  std::int16_t* dst, std::int32_t dstStep, std::int32_t width,
                                  std::int32_t height, std::int32_t sf);

// ---- 16-bit fills -------------------------------------------------------------
// dst[0 .. len-1] = value. Checks: dst (-8), len (-6).
PrimitiveStatus VectorSetInt16Portable(std::int16_t value, std::int16_t* dst, std::int32_t len);

// Every element of the block = value. Checks: dst (-8); width, height (-6);
// dstStep (-14). Not dispatched.
PrimitiveStatus RoiFillInt16(std::int16_t value, std::int16_t* dst, std::int32_t dstStep,
                             std::int32_t width, std::int32_t height);

// ---- 32-bit block fill, block copies --------------------------------------------
// Every element = value, bit for bit. Checks: dst (-8); width, height (-6);
// dstStep (-14).
PrimitiveStatus RoiSetInt32Portable(std::int32_t value, std::int32_t* dst, std::int32_t dstStep,
                                    std::int32_t width, std::int32_t height);

// Raw element copies of 1, 2 or 4 bytes. Checks: src, dst (-8); width, height
// (-6); the steps are not checked (srcStep 0 copies the first source row into
// every destination row). Within a row bytes move in ascending order.
PrimitiveStatus RoiCopyUInt8Portable(const std::uint8_t* src, std::int32_t srcStep,
                                     std::uint8_t* dst, std::int32_t dstStep, std::int32_t width,
                                     std::int32_t height);
PrimitiveStatus RoiCopyInt16Portable(const std::int16_t* src, std::int32_t srcStep,
                                     std::int16_t* dst, std::int32_t dstStep, std::int32_t width,
                                     std::int32_t height);
PrimitiveStatus RoiCopyInt32Portable(const std::int32_t* src, std::int32_t srcStep,
                                     std::int32_t* dst, std::int32_t dstStep, std::int32_t width,
                                     std::int32_t height);

// ---- Sample-width conversions ---------------------------------------------------
// Checks: src, dst (-8); width, height (-6); srcStep, dstStep (-14). Packed
// blocks are processed as one row.

// d = x as a float (0.0 .. 255.0).
PrimitiveStatus RoiConvertUInt8ToFloatPortable(const std::uint8_t* src, std::int32_t srcStep,
                                               float* dst, std::int32_t dstStep, std::int32_t width,
                                               std::int32_t height);
// d = x * 257 - 32768 (0 -> -32768, 255 -> 32767).
PrimitiveStatus RoiConvertUInt8ToInt16Portable(const std::uint8_t* src, std::int32_t srcStep,
                                               std::int16_t* dst, std::int32_t dstStep,
                                               std::int32_t width, std::int32_t height);
// d = x * 0x01010101 + 0x80000000 modulo 2^32 (0 -> INT32_MIN, 255 -> INT32_MAX).
PrimitiveStatus RoiConvertUInt8ToInt32Portable(const std::uint8_t* src, std::int32_t srcStep,
                                               std::int32_t* dst, std::int32_t dstStep,
                                               std::int32_t width, std::int32_t height);
// mode 2: the nearest integer to (x + 32768) / 257 (the exact inverse of the
// widening); any other mode: ((x - (x >> 8)) >> 8) + 128.
PrimitiveStatus RoiConvertInt16ToUInt8Portable(const std::int16_t* src, std::int32_t srcStep,
                                               std::uint8_t* dst, std::int32_t dstStep,
                                               std::int32_t width, std::int32_t height,
                                               std::int32_t mode);
// mode 2: the nearest integer to (x + 2^31) / 16843009; any other mode:
// ((x - (x >> 8)) >> 24) + 128.
PrimitiveStatus RoiConvertInt32ToUInt8Portable(const std::int32_t* src, std::int32_t srcStep,
                                               std::uint8_t* dst, std::int32_t dstStep,
                                               std::int32_t width, std::int32_t height,
                                               std::int32_t mode);

// ---- Pointer variables ------------------------------------------------------------
// Four-variant primitives.
KESTRUNE_DECLARE_PRIMITIVE(RoiAddInt16InPlaceScaled);
KESTRUNE_DECLARE_PRIMITIVE(RoiSubInt16InPlaceScaled);
KESTRUNE_DECLARE_PRIMITIVE(RoiMulInt16InPlaceScaled);
KESTRUNE_DECLARE_PRIMITIVE(RoiDivInt16InPlaceScaled);
KESTRUNE_DECLARE_PRIMITIVE(VectorSetInt16);
KESTRUNE_DECLARE_PRIMITIVE(RoiCopyUInt8);
KESTRUNE_DECLARE_PRIMITIVE(RoiCopyInt16);
KESTRUNE_DECLARE_PRIMITIVE(RoiCopyInt32);
KESTRUNE_DECLARE_PRIMITIVE(RoiConvertUInt8ToFloat);
KESTRUNE_DECLARE_PRIMITIVE(RoiConvertUInt8ToInt16);
KESTRUNE_DECLARE_PRIMITIVE(RoiConvertUInt8ToInt32);
KESTRUNE_DECLARE_PRIMITIVE(RoiConvertInt16ToUInt8);
KESTRUNE_DECLARE_PRIMITIVE(RoiConvertInt32ToUInt8);
// B, A and portable.
KESTRUNE_DECLARE_PRIMITIVE(RoiSetInt32);
