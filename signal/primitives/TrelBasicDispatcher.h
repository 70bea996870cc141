// The basic vector primitives: in-place arithmetic on int32, double, complex
// and byte vectors; copy, fill and zero-fill; minimum and maximum; the chirp
// test signal; and the int32 to double conversion.
//
// Every primitive is called through its pointer variable, named after the
// primitive (`VectorAddDoubleInPlace(src, srcDst, len)`); see
// PrimitiveDispatch.h for the dispatch and the threading rule. The portable
// variants (suffix Portable) are declared here so that variant tables and
// tests can name them; callers use the pointer variables.
//
// Common contract of every primitive here:
// - A vector is a pointer to its first element and a signed 32-bit count.
// - Arguments are checked before anything is written: pointers in argument
//   order (StatusNullPointer), then the count (StatusBadLength, count < 1),
//   then values of the primitive itself. On an error nothing is written.
// - Elements are processed in ascending index order; in the in-place
//   primitives element i of both arrays is read before srcDst[i] is written,
//   so src and srcDst may be the same array.
// - Scaled integer primitives store the exact result times 2^-sf, rounded to
//   nearest with ties to even and saturated to the element type. sf = 0 only
//   saturates, a positive sf divides, a negative one multiplies; factors so
//   large that every result is 0 end in a zero-fill whose status is returned.
// - Floating-point exceptions are never unmasked or caught here; overflow
//   gives infinities. The caller's floating-point control state is untouched.
// - No primitive allocates, throws or keeps state; all are reentrant.
#pragma once

#include <complex>
#include <cstdint>

#include "signal/primitives/PrimitiveDispatch.h"

// ---- In-place arithmetic: srcDst[i] = srcDst[i] op src[i] ----------------

// int32 with scale factor. Add/subtract: results 0 for sf > 32; multiply: for
// sf > 62. Divide: srcDst[i] / src[i] * 2^-sf, rounded exactly; a zero
// divisor stores INT32_MAX for a positive dividend, INT32_MIN for a negative
// one and 0 for zero, the rest is still computed, and StatusZeroDivisor is
// returned.
PrimitiveStatus VectorAddInt32InPlaceScaledPortable(const std::int32_t* src, std::int32_t* srcDst,
                                                    std::int32_t len, std::int32_t sf);
PrimitiveStatus VectorSubInt32InPlaceScaledPortable(const std::int32_t* src, std::int32_t* srcDst,
                                                    std::int32_t len, std::int32_t sf);
PrimitiveStatus VectorMulInt32InPlaceScaledPortable(const std::int32_t* src, std::int32_t* srcDst,
                                                    std::int32_t len, std::int32_t sf);
PrimitiveStatus VectorDivInt32InPlaceScaledPortable(const std::int32_t* src, std::int32_t* srcDst,
                                                    std::int32_t len, std::int32_t sf);

// double, IEEE arithmetic in double precision. Divide: a divisor equal to 0.0
// (either sign) stores +inf for a positive dividend, -inf for a negative one,
// the NaN 0xFFF8000000000000 for a zero dividend and the dividend itself for
// a NaN dividend, and gives StatusZeroDivisor; a NaN divisor gives a NaN
// quotient and no warning.
PrimitiveStatus VectorAddDoubleInPlacePortable(const double* src, double* srcDst, std::int32_t len);
PrimitiveStatus VectorSubDoubleInPlacePortable(const double* src, double* srcDst, std::int32_t len);
PrimitiveStatus VectorMulDoubleInPlacePortable(const double* src, double* srcDst, std::int32_t len);
PrimitiveStatus VectorDivDoubleInPlacePortable(const double* src, double* srcDst, std::int32_t len);

// Complex (real part first). Add and subtract check the count first and then
// run the double primitive on 2 * len doubles, which checks the pointers.
// Multiply and divide form their intermediates in extended precision (long
// double). Divide: a divisor (0, 0), and a divisor whose squared magnitude
// is NaN (a NaN part), stores the NaN 0xFFF8000000000000 in both parts and
// gives StatusZeroDivisor.
PrimitiveStatus VectorAddComplexInPlacePortable(const std::complex<double>* src,
                                                std::complex<double>* srcDst, std::int32_t len);
PrimitiveStatus VectorSubComplexInPlacePortable(const std::complex<double>* src,
                                                std::complex<double>* srcDst, std::int32_t len);
PrimitiveStatus VectorMulComplexInPlacePortable(const std::complex<double>* src,
                                                std::complex<double>* srcDst, std::int32_t len);
PrimitiveStatus VectorDivComplexInPlacePortable(const std::complex<double>* src,
                                                std::complex<double>* srcDst, std::int32_t len);

// uint8 with scale factor; the subtraction replaces a negative difference by
// 0 before scaling. Zero-fill beyond sf 9 (add), 8 (subtract), 16 (multiply).
PrimitiveStatus VectorAddUInt8InPlaceScaledPortable(const std::uint8_t* src, std::uint8_t* srcDst,
                                                    std::int32_t len, std::int32_t sf);
PrimitiveStatus VectorSubUInt8InPlaceScaledPortable(const std::uint8_t* src, std::uint8_t* srcDst,
                                                    std::int32_t len, std::int32_t sf);
PrimitiveStatus VectorMulUInt8InPlaceScaledPortable(const std::uint8_t* src, std::uint8_t* srcDst,
                                                    std::int32_t len, std::int32_t sf);

// ---- Copy, fill, zero-fill --------------------------------------------------

// dst[i] = src[i]. A destination overlapping the source from below (a left
// shift inside one buffer) receives the source's old contents.
PrimitiveStatus VectorCopyDoublePortable(const double* src, double* dst, std::int32_t len);
PrimitiveStatus VectorCopyUInt8Portable(const std::uint8_t* src, std::uint8_t* dst,
                                        std::int32_t len);

// Every element = value; the double and complex fills copy the value's bit
// patterns unchanged (NaN payloads, -0.0).
PrimitiveStatus VectorSetInt32Portable(std::int32_t value, std::int32_t* dst, std::int32_t len);
PrimitiveStatus VectorSetDoublePortable(double value, double* dst, std::int32_t len);
PrimitiveStatus VectorSetComplexPortable(double re, double im, std::complex<double>* dst,
                                         std::int32_t len);
PrimitiveStatus VectorSetUInt8Portable(std::uint8_t value, std::uint8_t* dst, std::int32_t len);

// All bytes of the len elements set to 0 (doubles become +0.0).
PrimitiveStatus VectorZeroInt16Portable(std::int16_t* dst, std::int32_t len);
PrimitiveStatus VectorZeroInt32Portable(std::int32_t* dst, std::int32_t len);
PrimitiveStatus VectorZeroDoublePortable(double* dst, std::int32_t len);
PrimitiveStatus VectorZeroComplexPortable(std::complex<double>* dst, std::int32_t len);
PrimitiveStatus VectorZeroUInt8Portable(std::uint8_t* dst, std::int32_t len);

// ---- Extremes, chirp, conversion -------------------------------------------

// *pMax / *pMin = the largest / smallest element. NaN elements are skipped;
// the result is NaN (the first element) only when every element is NaN. Of
// equal values the first wins (so +0.0 and -0.0 keep their order).
PrimitiveStatus VectorMaxDoublePortable(const double* src, std::int32_t len, double* pMax);
PrimitiveStatus VectorMinDoublePortable(const double* src, std::int32_t len, double* pMin);

// dst[n] = magnitude * sin(pi n^2 / (2 len)): a sweep from 0 to half the
// sample rate over the vector; dst[0] = 0. len = 1 writes 0.0. A negative
// magnitude gives StatusNegativeMagnitude (-0.0 and NaN pass). The phase is
// formed in extended precision.
PrimitiveStatus VectorChirpDoublePortable(double* dst, std::int32_t len, double magnitude);

// dst[i] = src[i] exactly.
PrimitiveStatus VectorConvertInt32ToDoublePortable(const std::int32_t* src, double* dst,
                                                   std::int32_t len);

// ---- Pointer variables ------------------------------------------------------

KESTRUNE_DECLARE_PRIMITIVE(VectorAddInt32InPlaceScaled);
KESTRUNE_DECLARE_PRIMITIVE(VectorSubInt32InPlaceScaled);
KESTRUNE_DECLARE_PRIMITIVE(VectorMulInt32InPlaceScaled);
KESTRUNE_DECLARE_PRIMITIVE(VectorDivInt32InPlaceScaled);
KESTRUNE_DECLARE_PRIMITIVE(VectorAddDoubleInPlace);
KESTRUNE_DECLARE_PRIMITIVE(VectorSubDoubleInPlace);
KESTRUNE_DECLARE_PRIMITIVE(VectorMulDoubleInPlace);
KESTRUNE_DECLARE_PRIMITIVE(VectorDivDoubleInPlace);
KESTRUNE_DECLARE_PRIMITIVE(VectorAddComplexInPlace);
KESTRUNE_DECLARE_PRIMITIVE(VectorSubComplexInPlace);
KESTRUNE_DECLARE_PRIMITIVE(VectorMulComplexInPlace);
KESTRUNE_DECLARE_PRIMITIVE(VectorDivComplexInPlace);
KESTRUNE_DECLARE_PRIMITIVE(VectorAddUInt8InPlaceScaled);
KESTRUNE_DECLARE_PRIMITIVE(VectorSubUInt8InPlaceScaled);
KESTRUNE_DECLARE_PRIMITIVE(VectorMulUInt8InPlaceScaled);
KESTRUNE_DECLARE_PRIMITIVE(VectorCopyDouble);
KESTRUNE_DECLARE_PRIMITIVE(VectorCopyUInt8);
KESTRUNE_DECLARE_PRIMITIVE(VectorSetInt32);
KESTRUNE_DECLARE_PRIMITIVE(VectorSetDouble);
KESTRUNE_DECLARE_PRIMITIVE(VectorSetComplex);
KESTRUNE_DECLARE_PRIMITIVE(VectorSetUInt8);
KESTRUNE_DECLARE_PRIMITIVE(VectorZeroInt16);
KESTRUNE_DECLARE_PRIMITIVE(VectorZeroInt32);
KESTRUNE_DECLARE_PRIMITIVE(VectorZeroDouble);
KESTRUNE_DECLARE_PRIMITIVE(VectorZeroComplex);
KESTRUNE_DECLARE_PRIMITIVE(VectorZeroUInt8);
KESTRUNE_DECLARE_PRIMITIVE(VectorMaxDouble);
KESTRUNE_DECLARE_PRIMITIVE(VectorMinDouble);
KESTRUNE_DECLARE_PRIMITIVE(VectorChirpDouble);
KESTRUNE_DECLARE_PRIMITIVE(VectorConvertInt32ToDouble);

// A second pointer variable for the double copy that stays on the
// `VectorCopyDouble` stub for good: every call selects again and has the
// effect of `VectorCopyDouble`. The scope display and the spectrum use it for
// overlapping left shifts of sample windows.
extern PrimitivePointer<decltype(VectorCopyDoublePortable)> VectorCopyDoubleOverlapping;
