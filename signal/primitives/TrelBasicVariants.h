// Processor-specific variants of the copies, fills, zero fills, chirp and
// int32-to-double conversion of the basic primitives (see
// TrelBasicDispatcher.h for the contracts). Their results equal the portable
// ones; the copies support a destination below an overlapping source.
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
KESTRUNE_BASIC_VARIANTS(KESTRUNE_DECLARE_BASIC_VARIANT)
#undef KESTRUNE_DECLARE_BASIC_VARIANT
