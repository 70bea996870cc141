// Sample-level routines of the audio buffer: conversion between container
// widths, element-wise arithmetic between two sample runs, fill, zero and
// scaling, the 24-bit sample access, and the 24- and 32-bit conversions to and
// from single floats that the meters and filters use.
//
// Sample encodings (little-endian):
//   8 bits   unsigned bytes; in this file's own formulas (the 24-bit width
//            conversions, the arithmetic, fill and scaling) the zero level is
//            127, so a byte b stands for the value b - 127 (-127 .. 128);
//   16 bits  signed;
//   24 bits  three bytes of a signed value (bit 23 is the sign);
//   32 bits  signed.
// A width is a container width in bits: 8, 16, 24 or 32
// (IsSupportedSampleWidth). Routines given any other width return false and
// touch nothing.
//
// Strided runs: a run is an address, a step in bytes between successive
// samples (the block align to walk one channel of interleaved frames, the
// sample width to walk every sample) and a count. Addresses need no
// alignment. Source and target runs must not overlap, except that a routine
// may run in place on the very same run.
//
// Results that do not fit the target width saturate to its range (8 bits:
// bytes 0 .. 255) in width conversion, scaling and the float-to-integer
// conversions; NaN becomes the zero level there. Addition, subtraction and
// multiplication keep their results modulo the width, except at 16 bits,
// where they saturate. Division truncates toward zero, except at 16 bits,
// where it rounds to nearest with ties to even and saturates; a zero divisor
// gives the width's maximum for a positive dividend, its minimum for a
// negative one and 0 for 0 (8 bits: a divisor at the zero level gives the
// zero level).
//
// Threads: the routines keep no state; any thread may call them on runs it
// may write. Nothing here allocates or throws; passing a null address with a
// count above 0 is a usage error (aborts).
#pragma once

#include <cstdint>

// The byte that stands for 0 in 8-bit samples.
inline constexpr int32_t MoskUInt8ZeroLevel = 127;

// True for the container widths these routines take: 8, 16, 24 and 32.
bool IsSupportedSampleWidth(uint32_t bits);

// Full-scale values: the largest positive sample of each width (8 bits: about
// the zero level).
inline constexpr int32_t MoskFullScale8 = 127;
inline constexpr int32_t MoskFullScale16 = 32767;
inline constexpr int32_t MoskFullScale24 = 8388607;
inline constexpr int32_t MoskFullScale32 = 2147483647;

// The full-scale value of a container width: 2^(bits - 1) - 1, one of the
// constants above; 0 for a width these routines do not take.
int32_t MoskFullScaleOf(uint32_t bits);

// The sample at `address` as it is stored: 8 bits the byte (0 .. 255), 16
// and 32 bits the signed value, 24 bits the signed value with bit 23
// extended. False, with `value` untouched, for an unsupported width.
bool ReadStoredSample(uint32_t bits, const void* address, int32_t& value);

// ---------------------------------------------------------------------------
// 24-bit access

// The three bytes at `address` as a signed value (bit 23 extended).
int32_t ReadInt24Sample(const void* address);
// Stores the low three bytes of `value` at `address` and sets bit 23 when the
// value is negative. Values in -8388608 .. 8388607 are stored exactly.
void WriteInt24Sample(int32_t value, void* address);

// ---------------------------------------------------------------------------
// Width conversion

// Converts `count` samples of width `srcBits` into samples of width
// `dstBits`. Equal widths copy the bytes. Between 8 bits and 16 or 32 bits
// the vector primitives convert: a byte b widens to b x 257 - 32768 (16
// bits) or b x 0x01010101 + 2^31 modulo 2^32 (32 bits), and a sample x
// narrows to ((x - (x >> 8)) >> 8) + 128 (16 bits) or
// ((x - (x >> 8)) >> 24) + 128 (32 bits); so 0 .. 255 spans the whole wide
// range, 16- and 32-bit 0 give the byte 128, and a byte widened and narrowed
// again comes back unchanged. Every other pair takes each value x (8 bits:
// the byte - 127) to x x F(dst) / F(src) in 64-bit integers, truncated toward
// zero, saturated to the target range (8 bits: then + 127), where F is the
// full-scale value of the width (127, 32767, 8388607, 2147483647): so 127 (8
// bits) gives 0 at 24 bits and 255 gives its maximum. False, with nothing
// written, when either width is unsupported.
bool ConvertSampleWidth(const void* src, uint32_t srcBits, int32_t srcStep, uint32_t count,
                        int32_t dstStep, uint32_t dstBits, void* dst);

// ---------------------------------------------------------------------------
// Element-wise arithmetic: srcDst[i] := srcDst[i] op src[i], each run walked
// with its own step, both of width `bits`.
//
//   width  add            subtract       multiply               divide
//   8      t + (s-127)    t - (s-127)    (t-127)(s-127) + 127   (t-127) div (s-127) + 127;
//                                                               127 when s = 127
//          (8-bit results modulo 256)
//   16     saturated      saturated      saturated              rounded, saturated
//   24     modulo 2^24    modulo 2^24    modulo 2^24            truncated, saturated
//   32     modulo 2^32    modulo 2^32    modulo 2^32            truncated, saturated
//
// (t and s are the stored bytes at 8 bits.) Division saturates only where the
// quotient leaves the range: the minimum divided by -1, and a zero divisor
// (see the file comment). False, with nothing written, for an unsupported
// width.
bool AddSamples(uint32_t bits, const void* src, int32_t srcStep, void* srcDst, int32_t srcDstStep,
                uint32_t count);
bool SubtractSamples(uint32_t bits, const void* src, int32_t srcStep, void* srcDst,
                     int32_t srcDstStep, uint32_t count);
bool MultiplySamples(uint32_t bits, const void* src, int32_t srcStep, void* srcDst,
                     int32_t srcDstStep, uint32_t count);
bool DivideSamples(uint32_t bits, const void* src, int32_t srcStep, void* srcDst,
                   int32_t srcDstStep, uint32_t count);

// ---------------------------------------------------------------------------
// Whole runs of packed samples (step = the sample width)

// Every sample := the low bits of `value`: 8 bits store (value + 127) mod
// 256, 16 bits the low 16 bits, 24 bits the low three bytes, 32 bits the
// value. False, with nothing written, for an unsupported width.
bool FillSamples(uint32_t bits, int32_t value, void* dst, uint32_t count);
// Every sample := the width's zero (8 bits: bytes of 127).
bool ZeroSamples(uint32_t bits, void* dst, uint32_t count);
// Every sample x := x x factor rounded to nearest with ties to even (8 bits:
// (x - 127) x factor rounded, + 127), saturated to the width's range; a NaN
// product gives the zero level. The rounding does not depend on the
// floating-point unit's current rounding mode.
bool ScaleSamples(uint32_t bits, double factor, void* srcDst, uint32_t count);

// ---------------------------------------------------------------------------
// Single-float conversions of 24- and 32-bit samples (steps in bytes on both
// sides; 4 for packed floats). The 8- and 16-bit ones are vector primitives.

// Exactly the ReadInt24Sample value.
void ConvertInt24ToFloat(const void* src, int32_t srcStep, float* dst, int32_t dstStep,
                         uint32_t count);
// The integer rounded to the nearest float (ties to even).
void ConvertInt32ToFloat(const void* src, int32_t srcStep, float* dst, int32_t dstStep,
                         uint32_t count);
// Rounded to nearest with ties to even, saturated to -8388608 .. 8388607,
// NaN as 0.
void ConvertFloatToInt24(const float* src, int32_t srcStep, void* dst, int32_t dstStep,
                         uint32_t count);
// Rounded to nearest with ties to even, saturated to the 32-bit range, NaN as
// 0 (2147483647 goes to the float 2^31 and comes back as 2147483647).
void ConvertFloatToInt32(const float* src, int32_t srcStep, void* dst, int32_t dstStep,
                         uint32_t count);

// ---------------------------------------------------------------------------
// Channel columns: one channel of interleaved frames (first sample at `src`
// or `dst`, the others the block align apart) to or from packed values. The
// splitter, the meters and the filters read and write their channels through
// these. False, with nothing written, for an unsupported width.

// As doubles: 8 bits the byte - 127 (-127 .. 128), wider widths the signed
// value.
bool ConvertColumnToDouble(uint32_t bits, const void* src, int32_t srcStep, double* dst,
                           uint32_t count);
// As floats: 8 bits the stored byte (0 .. 255), 16 and 24 bits the value,
// 32 bits the value rounded to the nearest float.
bool ConvertColumnToFloat(uint32_t bits, const void* src, int32_t srcStep, float* dst,
                          uint32_t count);
// Floats back into a channel, rounded to nearest with ties to even and
// saturated: 8 bits centred on 0 (v + 127 within 0 .. 255, NaN as 127), 16
// bits by the float-to-16-bit primitive (NaN as -32768), 24 and 32 bits as
// ConvertFloatToInt24 and ConvertFloatToInt32.
bool ConvertFloatToColumn(uint32_t bits, const float* src, void* dst, int32_t dstStep,
                          uint32_t count);
