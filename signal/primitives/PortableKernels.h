// Kernels of the portable variants that more than one primitive (or a later
// processor-specific variant) calls directly, without dispatch. They check
// only what is stated; the public primitives check first. Internal to the
// primitives module and its tests.
#pragma once

#include <complex>
#include <cstdint>

#include "signal/primitives/PrimitiveDispatch.h"

// dst[i] = src2[i] / src[i] (int32 divisor src, dividend src2) times 2^-sf,
// rounded exactly to nearest with ties to even and saturated. Checks src,
// src2, dst (-8) and len (-6). A zero divisor stores INT32_MAX, INT32_MIN or
// 0 by the dividend's sign and makes the result StatusZeroDivisor. src2 and
// dst may be the same array.
PrimitiveStatus DivInt32ScaledKernel(const std::int32_t* src, const std::int32_t* src2,
                                     std::int32_t* dst, std::int32_t len, std::int32_t sf);

// dst[i] = src2[i] / src[i] for doubles, with the zero-divisor values of
// VectorDivDoubleInPlace. Same checks and aliasing rule.
PrimitiveStatus DivDoubleKernel(const double* src, const double* src2, double* dst,
                                std::int32_t len);

// dst[i] = src2[i] / src[i] for complex values, intermediates in extended
// precision. Same checks and aliasing rule.
PrimitiveStatus DivComplexKernel(const std::complex<double>* src, const std::complex<double>* src2,
                                 std::complex<double>* dst, std::int32_t len);

// Fill kernels: write value into len elements in ascending order; nothing for
// len < 1; no checks. The double and complex kernels copy bit patterns.
void FillInt32Kernel(std::int32_t value, std::int32_t* dst, std::int64_t len);
void FillDoubleKernel(double value, double* dst, std::int64_t len);
void FillComplexKernel(double re, double im, std::complex<double>* dst, std::int64_t len);
void FillBytesKernel(std::uint8_t value, std::uint8_t* dst, std::int64_t nBytes);
// The 16-bit fill behind VectorSetInt16; dst may be at any even or odd
// address. Returns dst.
std::int16_t* FillInt16Kernel(std::int16_t value, std::int16_t* dst, std::int64_t len);

// One row of the 16-bit division: dst[i] = src2[i] * 2^-sf / src[i], rounded
// to nearest with ties to even and saturated to -32768..32767; a zero
// divisor stores 32767, -32768 or 0 by the dividend's sign. Checks the three
// pointers (-8) and len (-6); returns StatusZeroDivisor when a divisor of the
// row was zero, else StatusOk. Rows may lie at any byte address.
PrimitiveStatus DivInt16ScaledRow(const std::int16_t* src, const std::int16_t* src2,
                                  std::int16_t* dst, std::int32_t len, std::int32_t sf);

// The row loop of RoiDivInt16Scaled, arguments already checked: rows top to
// bottom, the first non-zero row status is kept and returned (0 if none);
// every row is processed.
PrimitiveStatus RoiDivInt16ScaledRows(const std::int16_t* src, std::int32_t srcStep,
                                      const std::int16_t* src2, std::int32_t src2Step,
                                      std::int16_t* dst, std::int32_t dstStep, std::int32_t width,
                                      std::int32_t height, std::int32_t sf);

// Checked copy and zero-fill of doubles: pointers (-8), then len (-6).
PrimitiveStatus CopyDoubleChecked(const double* src, double* dst, std::int32_t len);
PrimitiveStatus ZeroDoubleChecked(double* dst, std::int32_t len);
