// Kernels of the processor-specific variants, one set per letter: set A
// (x87, MMX and the integer extensions of SSE), set B (SSE2) and set C (SSE2
// with SSE3 loads). A variant calls only the kernels of its own set, plus the
// SSE2 kernels that sets B and C share (suffix Sse2). Kernels take plain
// pointers and counts, check nothing (the front-ends check first) and need
// count >= 1 unless stated. Every MMX kernel empties the MMX state before it
// returns and every kernel with non-temporal stores ends with a store fence;
// none changes the x87 control word or MXCSR unless stated.
//
// Internal to the primitives module and its tests.
#pragma once

#include <cstdint>

#include "signal/primitives/PrimitiveDispatch.h"

// ---- Cache-size query of the set-B and set-C copy, zero and fill kernels.

// What the processor identification instruction reports for the query.
struct CpuidCacheWords {
  bool vendorMatches = false;   // leaf 0's vendor is the one the table is for
  std::uint32_t maxLeaf = 0;    // leaf 0, first word
  std::uint32_t leaf2[4] = {};  // leaf 2, the four result words
  std::uint32_t leaf4Eax = 0;   // leaf 4 (sub-leaf 0), first word
};

// The cache size in bytes the words describe, or 0 when they describe none:
// another vendor, a leaf-2 round count other than 1, or no listed descriptor.
// `perCore` divides it by the core count of leaf 4 (1 when the processor has
// no leaf 4). Pure; the kernels feed it the processor's words.
std::int64_t DecodeCacheSize(const CpuidCacheWords& words, bool perCore);

// The running processor's cache size (per core when asked), 0 when unknown.
// Asked afresh on every call.
std::int64_t QueryCacheSize(bool perCore);

// Test only: makes QueryCacheSize answer `bytes` (per core or not alike);
// a negative value returns to asking the processor.
void ForceCacheSizeForTesting(std::int64_t bytes);

// ---- Set A.

// Byte copies in ascending address order; a destination below an
// overlapping source gets the source's contents as they were (as a byte by
// byte ascending copy gives). Medium and Large write with non-temporal
// stores; Large walks the source page by page, each page prefetched first.
void* CopyBytesKernelA(const void* src, void* dst, std::int64_t nBytes);
void* CopyBytesKernelAMedium(const void* src, void* dst, std::int64_t nBytes);
void* CopyBytesKernelALarge(const void* src, void* dst, std::int64_t nBytes);
// Reads the first and last byte of every 4096-byte piece of [p, p + nBytes)
// and prefetches each of its 32-byte lines with the non-temporal hint.
void PrefetchBlockA(const void* p, std::int64_t nBytes);
// Zero fills of nBytes bytes; Large with non-temporal stores.
void* ZeroBytesKernelA(void* dst, std::int64_t nBytes);
void* ZeroBytesKernelALarge(void* dst, std::int64_t nBytes);
// Variant A of the checked int32 zero fill: -8 for a null dst, -6 for
// len < 1, else 0 after zeroing len elements (non-temporal from 5120 on).
PrimitiveStatus ZeroInt32CheckedA(std::int32_t* dst, std::int32_t len);
// The 16-bit fills behind VectorSetInt16A: the cached one (below 10240
// elements) and the streaming one. dst may be at any address. Return dst.
std::int16_t* FillInt16KernelA(std::int16_t value, std::int16_t* dst, std::int64_t len);
std::int16_t* FillInt16StreamKernelA(std::int16_t value, std::int16_t* dst, std::int64_t len);
// One row of the set-A 2-D fill (always streaming).
void FillInt16StreamRowA(std::int16_t value, std::int16_t* dst, std::int64_t len);
// The row copy of the set-A 2-D copies: ascending, with non-temporal stores.
void CopyRowKernelA(const void* src, void* dst, std::int64_t nBytes);

// ---- Sets B and C.

// Byte copies in ascending order with the overlap rule of set A; above
// their large-copy bound (set B 128 KiB, set C 512 KiB) a copy of at least
// half the cache size streams. Set C reads unaligned sources with the SSE3
// load.
void* CopyBytesKernelB(const void* src, void* dst, std::int64_t nBytes);
void* CopyBytesKernelC(const void* src, void* dst, std::int64_t nBytes);
// The row copy of the 2-D copies of sets B and C (one routine): ascending,
// with non-temporal stores when `stream`, unless the source lies 16 to 320
// bytes below the destination modulo 64 KiB (where streaming stalls).
void CopyRowKernelSse2(const void* src, void* dst, std::int64_t nBytes, bool stream);
void CopyRowKernelB(const void* src, void* dst, std::int64_t nBytes, bool stream);
void CopyRowKernelC(const void* src, void* dst, std::int64_t nBytes, bool stream);
// Zero fill (the same routine in both sets): cached 16-byte stores up to
// 256 KiB, above that streaming when the rest is at least the per-core cache
// size.
void* ZeroBytesKernelSse2(void* dst, std::int64_t nBytes);
// The 16-bit fill of VectorSetInt16B and C (the same routine in both sets).
std::int16_t* FillInt16KernelSse2(std::int16_t value, std::int16_t* dst, std::int64_t len);
std::int16_t* FillInt16KernelB(std::int16_t value, std::int16_t* dst, std::int64_t len);
std::int16_t* FillInt16KernelC(std::int16_t value, std::int16_t* dst, std::int64_t len);
// Writes nBytes bytes (>= 1) of the 32-byte pattern (copies of one element
// of 1, 2, 4, 8 or 16 bytes) from dst on, the pattern's byte phase following
// dst; streams when `stream`. The row kernel of the set-B and set-C 2-D
// fills (the same routine in both sets).
void FillPatternRowSse2(const std::uint8_t* pattern, void* dst, std::int64_t nBytes, bool stream);
void FillPatternRowB(const std::uint8_t* pattern, void* dst, std::int64_t nBytes, bool stream);
void FillPatternRowC(const std::uint8_t* pattern, void* dst, std::int64_t nBytes, bool stream);

// Fills of sets B and C (the same routine in both): nBytes bytes of copies of
// the element `value` of `size` bytes (1, 2, 4, 8 or 16) from dst on, at any
// address; above 256 KiB streaming when the rest is at least the per-core
// cache size.
void* FillElementsSse2(void* dst, const void* value, int size, std::int64_t nBytes);
// dst[i] = src[i] exactly.
void ConvertInt32ToDoubleKernelSse2(const std::int32_t* src, double* dst, std::int64_t len);
// The set-A fill of copies of an element of 1 to 16 bytes, cached below
// 20480 bytes by the front-ends and streaming (Large) from there on.
void* FillElementsKernelA(void* dst, const void* value, int size, std::int64_t nBytes);
void* FillElementsKernelALarge(void* dst, const void* value, int size, std::int64_t nBytes);

// Extremum kernels of set A: the largest (smallest) element in the order of
// the bit patterns read as sign-magnitude numbers (numeric order, except
// that +0.0 ranks above -0.0, NaNs with a clear sign bit above +infinity and
// those with the sign bit set below -infinity). len >= 1.
void MaxDoubleKernelA(const double* src, std::int64_t len, double* result);
void MinDoubleKernelA(const double* src, std::int64_t len, double* result);
// Extremum kernel of sets B and C: NaN elements are skipped (the result is
// src[0] when every element is NaN); a zero result is the first zero
// element, as in the portable variant. Eight elements per step.
void ExtremumDoubleSse2(const double* src, std::int64_t len, double* result, bool maximum);

// Conversions to int32 of sets B and C: dst[i] = src[i] * factor converted
// with the truncating conversion (nearest = false) or the conversion under
// MXCSR's rounding (the caller sets to nearest). Float: a scaled value whose
// pattern exceeds that of 2147483520.0 gives INT32_MAX, others out of range
// INT32_MIN. Double: the scaled value is first limited by a minimum with
// 2147483647.0 (NaN gives INT32_MAX), below -2^31 gives INT32_MIN. In place
// allowed (dst at or below src element for element).
void ConvertFloatToInt32KernelB(const float* src, std::int32_t* dst, std::int64_t len, float factor,
                                bool nearest);
void ConvertFloatToInt32KernelC(const float* src, std::int32_t* dst, std::int64_t len, float factor,
                                bool nearest);
void ConvertDoubleToInt32KernelSse2(const double* src, std::int32_t* dst, std::int64_t len,
                                    double factor, bool nearest);

// The int32 add and subtract of sets B and C (one routine): srcDst[i] =
// rounded, saturated (srcDst[i] + src[i]) * 2^-sf, or the difference
// srcDst[i] - src[i], exact, for -30 <= sf <= 32.
void AddSubInt32KernelSse2(const std::int32_t* src, std::int32_t* srcDst, std::int64_t len,
                           std::int32_t sf, bool sub);

// Row conversions of the 2-D sample-width conversions of sets B and C (one
// routine each): the portable mappings, sixteen elements per step. The
// rounded narrowings (mode 2) round with MXCSR, which the caller sets to
// nearest.
enum class BlockConversion : std::uint8_t {
  UInt8ToFloat,
  UInt8ToInt16,
  UInt8ToInt32,
  Int16ToUInt8Shift,
  Int16ToUInt8Rounded,
  Int32ToUInt8Shift,
  Int32ToUInt8Rounded,
};
void ConvertRowSse2(BlockConversion kind, const void* src, void* dst, std::int64_t len);
// The same with non-temporal stores when `stream` (from the first 16-byte
// boundary of dst on; a dst off its element grid never reaches one and
// takes ordinary stores).
void ConvertRowSse2(BlockConversion kind, const void* src, void* dst, std::int64_t len,
                    bool stream);
// Set A's row conversions: MMX, the widenings streamed from dst's first 16-
// (float) or 8-byte boundary, the shift narrowings from src's first 8-byte
// boundary; the rounded narrowings (mode 2) on the x87 stack, x * scale +
// offset stored under the control word's rounding (the caller sets it to
// nearest). The portable results for every input.
void ConvertRowA(BlockConversion kind, const void* src, void* dst, std::int64_t len);

// The byte add, subtract and multiply of sets B and C (one routine): t =
// srcDst[i] + src[i], max(srcDst[i] - src[i], 0) or srcDst[i] * src[i],
// then sf = 0 saturates, sf > 0 rounds t * 2^-sf half to even, -7 <= sf < 0
// shifts left, sf < -7 gives 255 for every non-zero t; each result clamped
// to 0..255. Sixteen bytes per step. The caller zero-fills past the
// operation's bound (9, 8, 16).
enum class UInt8Op : std::uint8_t { Add, Sub, Mul };
void UInt8ScaledKernelSse2(UInt8Op op, const std::uint8_t* src, std::uint8_t* srcDst,
                           std::int64_t len, std::int32_t sf);
// The same in set A, eight bytes per MMX step.
void UInt8ScaledKernelA(UInt8Op op, const std::uint8_t* src, std::uint8_t* srcDst, std::int64_t len,
                        std::int32_t sf);

// The int32 scaled division of sets B and C (one routine), -62 <= sf <= 32:
// dst[i] = (src2[i] * 2^-sf) / src[i] in double precision, clamped to the
// int32 range and converted under MXCSR's rounding; a zero divisor gives
// INT32_MAX, INT32_MIN or 0 by the dividend's sign. Two elements per step.
// Returns 1 when it met a zero divisor. The double rounding of the quotient
// can turn a quotient just beside a half-integer into a tie (negative sf,
// large quotients and divisors): the result is then one away from the exact
// rounding.
int DivInt32ScaledKernelSse2(const std::int32_t* src, const std::int32_t* src2, std::int32_t* dst,
                             std::int64_t len, std::int32_t sf);

// ---- Divisions and products of sets B and C. Complex arrays are given as
// their doubles (real part first) with len the element count.
// Double division dst[i] = src2[i] / src[i] (divisors src): a single
// element (the head when dst is 8 modulo 16, and the rest after the blocks)
// is the correctly rounded quotient; a block of 8 whose partial and whole
// divisor products and their reciprocal are normal numbers takes one
// division per four divisors, each quotient's magnitude then rounded to a
// multiple of four units in the last place (a few units from the correctly
// rounded one, its two lowest bits clear); other blocks go pair by pair. A
// zero divisor gives NaN (whatever the dividend), a NaN divisor NaN.
// Returns 1 when it met a zero divisor.
int DivDoubleKernelSse2(const double* src, const double* src2, double* dst, std::int64_t len);
// Complex division, pairs of elements then a last single one, in double:
// ((br ar + bi ai) / m, (br ai - bi ar) / m) with m = br^2 + bi^2. A pair
// shares one division while the product of its magnitudes is a normal
// number, else each element divides on its own. m = 0 gives the NaN pair
// 0x7FF8000000000000 (and the result 1), a NaN m NaNs without the result.
int DivComplexKernelSse2(const double* src, const double* src2, double* dst, std::int64_t len);
// srcDst[i] = src[i] * srcDst[i] with each product and sum rounded to
// double: set B one element per step, set C two with the SSE3 duplicate
// loads and add-subtract (the same results).
void MulComplexKernelB(const double* src, double* srcDst, std::int64_t len);
void MulComplexKernelC(const double* src, double* srcDst, std::int64_t len);
// The int32 multiply of sets B and C (one routine each): saturating
// (sf = 0), exact; scaled (-31 <= sf <= 62, sf != 0): (src[i] * 2^-sf) *
// srcDst[i] in double, clamped, converted to nearest (MXCSR set to nearest
// for the call when it is not). Exact while sf <= 22 or the product is at
// most 2^53 in magnitude; beyond, the product is first rounded to 53 bits
// and the result can be one away from the exact rounding.
void MulInt32SatKernelSse2(const std::int32_t* src, std::int32_t* srcDst, std::int64_t len);
void MulInt32ScaledKernelSse2(const std::int32_t* src, std::int32_t* srcDst, std::int64_t len,
                              std::int32_t sf);

// ---- Set C lane kernels of the int32 offsets (srcDst[i] = rounded,
// saturated (srcDst[i] + value) * 2^-sf, or (value - srcDst[i]) * 2^-sf
// for the Sub forms), exact for every input: sf = 0, 1 <= sf <= 32 and
// -30 <= sf <= -1.
void OffsetInt32SatKernelC(std::int32_t value, std::int32_t* srcDst, std::int64_t len, bool sub);
void OffsetInt32RoundKernelC(std::int32_t value, std::int32_t* srcDst, std::int64_t len, int sf,
                             bool sub);
void OffsetInt32ShiftUpKernelC(std::int32_t value, std::int32_t* srcDst, std::int64_t len, int k,
                               bool sub);

// ---- Row kernels of the 16-bit block add, subtract and multiply. Each
// stores, for every sample pair (d = srcDst[i], s = src[i]) with x = d + s,
// d - s or d * s, the portable result of its case: Sat x clamped; Half x / 2
// rounded half to even (clamped); ShiftDown x * 2^-k rounded half to even
// (clamped); ShiftUp x clamped-and-shifted left by k (the multiply clamps
// before the shift too); Sign 32767, -32768 or 0 by the sign of x. Rows may
// lie at any address; src and srcDst are disjoint or the same row. k: 2 to
// 16 (add, subtract) or 2 to 30 (multiply) for ShiftDown, 1 to 15 (add,
// subtract) or 1 to 14 (multiply) for ShiftUp. Sets C and B share one SSE2
// form (eight lanes), set A is MMX (four lanes).
enum class Int16Op : std::uint8_t { Add, Sub, Mul };
enum class Int16Kind : std::uint8_t { Sat, Half, ShiftDown, ShiftUp, Sign };
using Int16PlainRow = void (*)(const std::int16_t* src, std::int16_t* srcDst, std::int32_t len);
using Int16ShiftRow = void (*)(const std::int16_t* src, std::int16_t* srcDst, std::int32_t len,
                               std::int32_t k);
// The five kernels of one operation in one set, by scale case.
struct Int16RowKernels {
  Int16PlainRow Sat;
  Int16PlainRow Half;
  Int16ShiftRow ShiftDown;
  Int16ShiftRow ShiftUp;
  Int16PlainRow Sign;
};

void AddInt16SatRowC(const std::int16_t* src, std::int16_t* srcDst, std::int32_t len);
void AddInt16HalfRowC(const std::int16_t* src, std::int16_t* srcDst, std::int32_t len);
void AddInt16ShiftDownRowC(const std::int16_t* src, std::int16_t* srcDst, std::int32_t len,
                           std::int32_t k);
void AddInt16ShiftUpRowC(const std::int16_t* src, std::int16_t* srcDst, std::int32_t len,
                         std::int32_t k);
void AddInt16SignRowC(const std::int16_t* src, std::int16_t* srcDst, std::int32_t len);
void SubInt16SatRowC(const std::int16_t* src, std::int16_t* srcDst, std::int32_t len);
void SubInt16HalfRowC(const std::int16_t* src, std::int16_t* srcDst, std::int32_t len);
void SubInt16ShiftDownRowC(const std::int16_t* src, std::int16_t* srcDst, std::int32_t len,
                           std::int32_t k);
void SubInt16ShiftUpRowC(const std::int16_t* src, std::int16_t* srcDst, std::int32_t len,
                         std::int32_t k);
void SubInt16SignRowC(const std::int16_t* src, std::int16_t* srcDst, std::int32_t len);
void MulInt16SatRowC(const std::int16_t* src, std::int16_t* srcDst, std::int32_t len);
void MulInt16HalfRowC(const std::int16_t* src, std::int16_t* srcDst, std::int32_t len);
void MulInt16ShiftDownRowC(const std::int16_t* src, std::int16_t* srcDst, std::int32_t len,
                           std::int32_t k);
void MulInt16ShiftUpRowC(const std::int16_t* src, std::int16_t* srcDst, std::int32_t len,
                         std::int32_t k);
void MulInt16SignRowC(const std::int16_t* src, std::int16_t* srcDst, std::int32_t len);

void AddInt16SatRowB(const std::int16_t* src, std::int16_t* srcDst, std::int32_t len);
void AddInt16HalfRowB(const std::int16_t* src, std::int16_t* srcDst, std::int32_t len);
void AddInt16ShiftDownRowB(const std::int16_t* src, std::int16_t* srcDst, std::int32_t len,
                           std::int32_t k);
void AddInt16ShiftUpRowB(const std::int16_t* src, std::int16_t* srcDst, std::int32_t len,
                         std::int32_t k);
void AddInt16SignRowB(const std::int16_t* src, std::int16_t* srcDst, std::int32_t len);
void SubInt16SatRowB(const std::int16_t* src, std::int16_t* srcDst, std::int32_t len);
void SubInt16HalfRowB(const std::int16_t* src, std::int16_t* srcDst, std::int32_t len);
void SubInt16ShiftDownRowB(const std::int16_t* src, std::int16_t* srcDst, std::int32_t len,
                           std::int32_t k);
void SubInt16ShiftUpRowB(const std::int16_t* src, std::int16_t* srcDst, std::int32_t len,
                         std::int32_t k);
void SubInt16SignRowB(const std::int16_t* src, std::int16_t* srcDst, std::int32_t len);
void MulInt16SatRowB(const std::int16_t* src, std::int16_t* srcDst, std::int32_t len);
void MulInt16HalfRowB(const std::int16_t* src, std::int16_t* srcDst, std::int32_t len);
void MulInt16ShiftDownRowB(const std::int16_t* src, std::int16_t* srcDst, std::int32_t len,
                           std::int32_t k);
void MulInt16ShiftUpRowB(const std::int16_t* src, std::int16_t* srcDst, std::int32_t len,
                         std::int32_t k);
void MulInt16SignRowB(const std::int16_t* src, std::int16_t* srcDst, std::int32_t len);

void AddInt16SatRowA(const std::int16_t* src, std::int16_t* srcDst, std::int32_t len);
void AddInt16HalfRowA(const std::int16_t* src, std::int16_t* srcDst, std::int32_t len);
void AddInt16ShiftDownRowA(const std::int16_t* src, std::int16_t* srcDst, std::int32_t len,
                           std::int32_t k);
void AddInt16ShiftUpRowA(const std::int16_t* src, std::int16_t* srcDst, std::int32_t len,
                         std::int32_t k);
void AddInt16SignRowA(const std::int16_t* src, std::int16_t* srcDst, std::int32_t len);
void SubInt16SatRowA(const std::int16_t* src, std::int16_t* srcDst, std::int32_t len);
void SubInt16HalfRowA(const std::int16_t* src, std::int16_t* srcDst, std::int32_t len);
void SubInt16ShiftDownRowA(const std::int16_t* src, std::int16_t* srcDst, std::int32_t len,
                           std::int32_t k);
void SubInt16ShiftUpRowA(const std::int16_t* src, std::int16_t* srcDst, std::int32_t len,
                         std::int32_t k);
void SubInt16SignRowA(const std::int16_t* src, std::int16_t* srcDst, std::int32_t len);
void MulInt16SatRowA(const std::int16_t* src, std::int16_t* srcDst, std::int32_t len);
void MulInt16HalfRowA(const std::int16_t* src, std::int16_t* srcDst, std::int32_t len);
void MulInt16ShiftDownRowA(const std::int16_t* src, std::int16_t* srcDst, std::int32_t len,
                           std::int32_t k);
void MulInt16ShiftUpRowA(const std::int16_t* src, std::int16_t* srcDst, std::int32_t len,
                         std::int32_t k);
void MulInt16SignRowA(const std::int16_t* src, std::int16_t* srcDst, std::int32_t len);

// ---- 16-bit division rows: dst[i] = src2[i] * 2^-sf / src[i] rounded to
// nearest with ties to even and saturated; a zero divisor gives 32767, -32768
// or 0 by the dividend's sign.
// The set-B and set-C row kernel (one routine), -30 <= sf <= 15: single
// precision with a refined reciprocal for 0 <= sf <= 15 and -5 <= sf <= -1,
// double precision for -30 <= sf <= -6. It rounds with MXCSR's mode (exact
// under the default, to nearest). Returns 1 when it met a zero divisor.
int DivInt16RowKernelSse2(const std::int16_t* src, const std::int16_t* src2, std::int16_t* dst,
                          std::int64_t len, int sf);
int DivInt16RowKernelB(const std::int16_t* src, const std::int16_t* src2, std::int16_t* dst,
                       std::int32_t len, std::int32_t sf);
int DivInt16RowKernelC(const std::int16_t* src, const std::int16_t* src2, std::int16_t* dst,
                       std::int32_t len, std::int32_t sf);
// The set-A row (checks -8, -6; StatusZeroDivisor after a zero divisor), in
// scalar single precision: a quotient within half a step of a half-integer
// (steps of 1/256 from 0 up, 1/512 below) rounds as that half-integer.
PrimitiveStatus DivInt16ScaledRowA(const std::int16_t* src, const std::int16_t* src2,
                                   std::int16_t* dst, std::int32_t len, std::int32_t sf);
