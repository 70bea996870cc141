// Processor-specific variants of the transform unit's conjugate extension,
// magnitude, strided conversions and IIR create and filter (internal: the
// pointer variables in MoskDispatcher.cpp and the tests name them).
//
// Each takes the portable variant's arguments, makes its checks in the same
// order and returns the same statuses; MoskDispatcher.h states the
// contracts. Where the results differ from the portable ones the comment
// says how. Set C runs only on processors with SSE3; none of the variants
// leaves the x87 control word, MXCSR's control fields or the MMX state
// changed.
#pragma once

#include <complex>
#include <cstdint>

#include "signal/transforms/MoskDispatcher.h"

// Conjugate extension: the portable elements bit for bit. B moves three
// complex elements per step, C four. A is the portable variant itself.
PrimitiveStatus VectorConjugateExtendComplexInPlaceB(std::complex<double>* srcDst,
                                                     std::int32_t len);
PrimitiveStatus VectorConjugateExtendComplexInPlaceC(std::complex<double>* srcDst,
                                                     std::int32_t len);

// Magnitude. B: each square and the sum rounded to double (one rounding
// more than the portable sum), then the correctly rounded root. A and C:
// the portable sum of squares, then a root from a reciprocal-square-root
// estimate refined by Newton-Raphson steps, within a few units in the last
// place of the correctly rounded root. A: a sum whose upper 32 bits are
// zero (0 and the smallest subnormals) gives +0.0, +infinity and NaNs with
// a clear sign pass unchanged, a NaN with the sign set gives the positive
// quiet NaN. C: zeros, subnormals, infinities and NaNs take the correctly
// rounded root.
PrimitiveStatus VectorMagnitudeComplexA(const std::complex<double>* src, double* dst,
                                        std::int32_t len);
PrimitiveStatus VectorMagnitudeComplexB(const std::complex<double>* src, double* dst,
                                        std::int32_t len);
PrimitiveStatus VectorMagnitudeComplexC(const std::complex<double>* src, double* dst,
                                        std::int32_t len);

// Conversions: the portable results bit for bit, except that a NaN gives
// the upper bound (32767 or 127) in the float-to-integer conversions. The
// rounding of those runs under MXCSR (set for the call, restored after).
PrimitiveStatus RoiConvertInt16ToFloatA(const std::int16_t* src, std::int32_t srcStep, float* dst,
                                        std::int32_t dstStep, std::int32_t width,
                                        std::int32_t height);
PrimitiveStatus RoiConvertInt16ToFloatB(const std::int16_t* src, std::int32_t srcStep, float* dst,
                                        std::int32_t dstStep, std::int32_t width,
                                        std::int32_t height);
PrimitiveStatus RoiConvertInt16ToFloatC(const std::int16_t* src, std::int32_t srcStep, float* dst,
                                        std::int32_t dstStep, std::int32_t width,
                                        std::int32_t height);
PrimitiveStatus RoiConvertFloatToInt16A(const float* src, std::int32_t srcStep, std::int16_t* dst,
                                        std::int32_t dstStep, std::int32_t width,
                                        std::int32_t height, std::int32_t rndMode);
PrimitiveStatus RoiConvertFloatToInt16B(const float* src, std::int32_t srcStep, std::int16_t* dst,
                                        std::int32_t dstStep, std::int32_t width,
                                        std::int32_t height, std::int32_t rndMode);
PrimitiveStatus RoiConvertFloatToInt16C(const float* src, std::int32_t srcStep, std::int16_t* dst,
                                        std::int32_t dstStep, std::int32_t width,
                                        std::int32_t height, std::int32_t rndMode);
PrimitiveStatus RoiConvertFloatToInt8A(const float* src, std::int32_t srcStep, std::int8_t* dst,
                                       std::int32_t dstStep, std::int32_t width,
                                       std::int32_t height, std::int32_t rndMode);
PrimitiveStatus RoiConvertFloatToInt8B(const float* src, std::int32_t srcStep, std::int8_t* dst,
                                       std::int32_t dstStep, std::int32_t width,
                                       std::int32_t height, std::int32_t rndMode);
PrimitiveStatus RoiConvertFloatToInt8C(const float* src, std::int32_t srcStep, std::int8_t* dst,
                                       std::int32_t dstStep, std::int32_t width,
                                       std::int32_t height, std::int32_t rndMode);

// IIR create: the larger layout of iir/IirState.h with the tables of the
// processor-specific filters. 1/a0 is rounded to single before the taps are
// multiplied by it, so a stored tap may differ from the portable one in its
// last bit. The free variants are the portable one.
PrimitiveStatus IirCreateStateA(IirState** ppState, const float* taps, std::int32_t order,
                                const float* delayLine);
PrimitiveStatus IirCreateStateB(IirState** ppState, const float* taps, std::int32_t order,
                                const float* delayLine);
PrimitiveStatus IirCreateStateC(IirState** ppState, const float* taps, std::int32_t order,
                                const float* delayLine);

// IIR filter in single precision on the tables of a state made by the
// create variant of the same letter (A or C); there is no B. Results differ
// from the portable filter by single-precision rounding; order 0 with a NaN
// or 1.0 tap copies the samples, with 0.0 writes +0.0; a cascade with
// `sectionCount` 0 leaves the samples as they are.
PrimitiveStatus IirFilterFloatInPlaceA(float* srcDst, std::int32_t len, IirState* state);
PrimitiveStatus IirFilterFloatInPlaceC(float* srcDst, std::int32_t len, IirState* state);
