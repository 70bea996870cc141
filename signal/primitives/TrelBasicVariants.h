// Processor-specific variants of the basic primitives (see
// TrelBasicDispatcher.h for the contracts): the copies, fills, zero fills,
// chirp, int32-to-double conversion, maximum and minimum in every letter, the double add,
// subtract and multiply and the complex add and subtract in every letter,
// and variant A of the int32 arithmetic and of every division and the
// complex multiply. Their results equal the portable ones, except variant
// A's maximum and minimum, which order the elements by their bit patterns
// read as sign-magnitude numbers (+0.0 above -0.0, NaNs with a clear sign
// bit above +infinity, with the sign bit set below -infinity). The copies
// support a destination below an overlapping source.
#pragma once

#include <complex>
#include <cstdint>

#include "signal/primitives/PrimitiveDispatch.h"

#define KESTRUNE_BASIC_VARIANTS(X) X(A) X(B) X(C)
#define KESTRUNE_DECLARE_BASIC_VARIANT(L)                                                     \
  PrimitiveStatus VectorCopyDouble##L(const double* src, double* dst, std::int32_t len);      \
  PrimitiveStatus VectorCopyUInt8##L(const std::uint8_t* src, std::uint8_t* dst,              \
                                     std::int32_t len);                                       \
  PrimitiveStatus VectorSetInt32##L(std::int32_t value, std::int32_t* dst, std::int32_t len); \
  PrimitiveStatus VectorSetDouble##L(double value, double* dst, std::int32_t len);            \
  PrimitiveStatus VectorSetComplex##L(double re, double im, std::complex<double>* dst,        \
                                      std::int32_t len);                                      \
  PrimitiveStatus VectorSetUInt8##L(std::uint8_t value, std::uint8_t* dst, std::int32_t len); \
  PrimitiveStatus VectorZeroInt16##L(std::int16_t* dst, std::int32_t len);                    \
  PrimitiveStatus VectorZeroInt32##L(std::int32_t* dst, std::int32_t len);                    \
  PrimitiveStatus VectorZeroDouble##L(double* dst, std::int32_t len);                         \
  PrimitiveStatus VectorZeroComplex##L(std::complex<double>* dst, std::int32_t len);          \
  PrimitiveStatus VectorZeroUInt8##L(std::uint8_t* dst, std::int32_t len);                    \
  PrimitiveStatus VectorChirpDouble##L(double* dst, std::int32_t len, double magnitude);      \
  PrimitiveStatus VectorConvertInt32ToDouble##L(const std::int32_t* src, double* dst,         \
                                                std::int32_t len);
#define KESTRUNE_DECLARE_ARITHMETIC_VARIANT(L)                                                    \
  PrimitiveStatus VectorAddDoubleInPlace##L(const double* src, double* srcDst, std::int32_t len); \
  PrimitiveStatus VectorSubDoubleInPlace##L(const double* src, double* srcDst, std::int32_t len); \
  PrimitiveStatus VectorMulDoubleInPlace##L(const double* src, double* srcDst, std::int32_t len); \
  PrimitiveStatus VectorAddComplexInPlace##L(const std::complex<double>* src,                     \
                                             std::complex<double>* srcDst, std::int32_t len);     \
  PrimitiveStatus VectorSubComplexInPlace##L(const std::complex<double>* src,                     \
                                             std::complex<double>* srcDst, std::int32_t len);
KESTRUNE_BASIC_VARIANTS(KESTRUNE_DECLARE_BASIC_VARIANT)
KESTRUNE_BASIC_VARIANTS(KESTRUNE_DECLARE_ARITHMETIC_VARIANT)
#undef KESTRUNE_DECLARE_BASIC_VARIANT
#undef KESTRUNE_DECLARE_ARITHMETIC_VARIANT

PrimitiveStatus VectorAddInt32InPlaceScaledA(const std::int32_t* src, std::int32_t* srcDst,
                                             std::int32_t len, std::int32_t sf);
PrimitiveStatus VectorSubInt32InPlaceScaledA(const std::int32_t* src, std::int32_t* srcDst,
                                             std::int32_t len, std::int32_t sf);
PrimitiveStatus VectorMulInt32InPlaceScaledA(const std::int32_t* src, std::int32_t* srcDst,
                                             std::int32_t len, std::int32_t sf);
PrimitiveStatus VectorDivInt32InPlaceScaledA(const std::int32_t* src, std::int32_t* srcDst,
                                             std::int32_t len, std::int32_t sf);
PrimitiveStatus VectorDivDoubleInPlaceA(const double* src, double* srcDst, std::int32_t len);
PrimitiveStatus VectorMulComplexInPlaceA(const std::complex<double>* src,
                                         std::complex<double>* srcDst, std::int32_t len);
PrimitiveStatus VectorDivComplexInPlaceA(const std::complex<double>* src,
                                         std::complex<double>* srcDst, std::int32_t len);

#define KESTRUNE_DECLARE_EXTREMUM_VARIANT(L)                                             \
  PrimitiveStatus VectorMaxDouble##L(const double* src, std::int32_t len, double* pMax); \
  PrimitiveStatus VectorMinDouble##L(const double* src, std::int32_t len, double* pMin);
KESTRUNE_BASIC_VARIANTS(KESTRUNE_DECLARE_EXTREMUM_VARIANT)
#undef KESTRUNE_DECLARE_EXTREMUM_VARIANT

#define KESTRUNE_DECLARE_INT32_VARIANT(L)                                                       \
  PrimitiveStatus VectorAddInt32InPlaceScaled##L(const std::int32_t* src, std::int32_t* srcDst, \
                                                 std::int32_t len, std::int32_t sf);            \
  PrimitiveStatus VectorSubInt32InPlaceScaled##L(const std::int32_t* src, std::int32_t* srcDst, \
                                                 std::int32_t len, std::int32_t sf);
KESTRUNE_DECLARE_INT32_VARIANT(B)
KESTRUNE_DECLARE_INT32_VARIANT(C)
#undef KESTRUNE_DECLARE_INT32_VARIANT

#define KESTRUNE_DECLARE_UINT8_VARIANT(L)                                                       \
  PrimitiveStatus VectorAddUInt8InPlaceScaled##L(const std::uint8_t* src, std::uint8_t* srcDst, \
                                                 std::int32_t len, std::int32_t sf);            \
  PrimitiveStatus VectorSubUInt8InPlaceScaled##L(const std::uint8_t* src, std::uint8_t* srcDst, \
                                                 std::int32_t len, std::int32_t sf);            \
  PrimitiveStatus VectorMulUInt8InPlaceScaled##L(const std::uint8_t* src, std::uint8_t* srcDst, \
                                                 std::int32_t len, std::int32_t sf);
KESTRUNE_DECLARE_UINT8_VARIANT(A)
KESTRUNE_DECLARE_UINT8_VARIANT(B)
KESTRUNE_DECLARE_UINT8_VARIANT(C)
#undef KESTRUNE_DECLARE_UINT8_VARIANT

// The int32 multiply of B and C: one away from the portable result where
// sf >= 23 and the product exceeds 2^53 in magnitude (it is rounded to
// double first). The divisions and the complex multiply of B and C compute
// in double: a zero divisor gives NaN with the warning (complex: when the
// double magnitude is 0), a NaN divisor or magnitude NaN without it, the
// double division's block quotients lie within a few units of the last
// place with their two lowest bits clear, and the complex results within a
// few units of the last place of their largest term.
#define KESTRUNE_DECLARE_SSE2_ARITHMETIC_VARIANT(L)                                               \
  PrimitiveStatus VectorMulInt32InPlaceScaled##L(const std::int32_t* src, std::int32_t* srcDst,   \
                                                 std::int32_t len, std::int32_t sf);              \
  PrimitiveStatus VectorDivDoubleInPlace##L(const double* src, double* srcDst, std::int32_t len); \
  PrimitiveStatus VectorMulComplexInPlace##L(const std::complex<double>* src,                     \
                                             std::complex<double>* srcDst, std::int32_t len);     \
  PrimitiveStatus VectorDivComplexInPlace##L(const std::complex<double>* src,                     \
                                             std::complex<double>* srcDst, std::int32_t len);
KESTRUNE_DECLARE_SSE2_ARITHMETIC_VARIANT(B)
KESTRUNE_DECLARE_SSE2_ARITHMETIC_VARIANT(C)
#undef KESTRUNE_DECLARE_SSE2_ARITHMETIC_VARIANT

PrimitiveStatus VectorDivInt32InPlaceScaledB(const std::int32_t* src, std::int32_t* srcDst,
                                             std::int32_t len, std::int32_t sf);
PrimitiveStatus VectorDivInt32InPlaceScaledC(const std::int32_t* src, std::int32_t* srcDst,
                                             std::int32_t len, std::int32_t sf);
