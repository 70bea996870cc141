// Processor-specific variants of the scope-drawing primitives (see
// TrelScopeDispatcher.h for the contracts). They are bound through the
// primitives' pointer variables; tests reach them through
// BindVariantForTesting. Stated differences from the portable variants:
// - B and C convert to int32 with rndMode 0 toward zero and any other value
//   to nearest; a NaN with its sign bit clear gives INT32_MAX (B and C, both
//   sources; A, float source); their scale factor is single precision, exact
//   for -127 <= sf <= 149.
// - C narrows NaN to +3.4028234663852886e+38.
// Every other result equals the portable variant's.
#pragma once

#include <cstdint>

#include "signal/primitives/PrimitiveDispatch.h"

PrimitiveStatus VectorAddConstantInt32InPlaceScaledA(std::int32_t value, std::int32_t* srcDst,
                                                     std::int32_t len, std::int32_t sf);
PrimitiveStatus VectorAddConstantInt32InPlaceScaledC(std::int32_t value, std::int32_t* srcDst,
                                                     std::int32_t len, std::int32_t sf);
PrimitiveStatus VectorSubFromConstantInt32InPlaceScaledA(std::int32_t value, std::int32_t* srcDst,
                                                         std::int32_t len, std::int32_t sf);
PrimitiveStatus VectorSubFromConstantInt32InPlaceScaledC(std::int32_t value, std::int32_t* srcDst,
                                                         std::int32_t len, std::int32_t sf);
PrimitiveStatus VectorConvertDoubleToFloatA(const double* src, float* dst, std::int32_t len);
PrimitiveStatus VectorConvertDoubleToFloatC(const double* src, float* dst, std::int32_t len);
PrimitiveStatus VectorConvertFloatToInt32ScaledA(const float* src, std::int32_t* dst,
                                                 std::int32_t len, std::int32_t rndMode,
                                                 std::int32_t sf);
PrimitiveStatus VectorConvertFloatToInt32ScaledB(const float* src, std::int32_t* dst,
                                                 std::int32_t len, std::int32_t rndMode,
                                                 std::int32_t sf);
PrimitiveStatus VectorConvertFloatToInt32ScaledC(const float* src, std::int32_t* dst,
                                                 std::int32_t len, std::int32_t rndMode,
                                                 std::int32_t sf);
PrimitiveStatus VectorConvertDoubleToInt32ScaledA(const double* src, std::int32_t* dst,
                                                  std::int32_t len, std::int32_t rndMode,
                                                  std::int32_t sf);
PrimitiveStatus VectorConvertDoubleToInt32ScaledB(const double* src, std::int32_t* dst,
                                                  std::int32_t len, std::int32_t rndMode,
                                                  std::int32_t sf);
PrimitiveStatus VectorConvertDoubleToInt32ScaledC(const double* src, std::int32_t* dst,
                                                  std::int32_t len, std::int32_t rndMode,
                                                  std::int32_t sf);
PrimitiveStatus VectorMulConstantDoubleA(const double* src, double value, double* dst,
                                         std::int32_t len);
PrimitiveStatus VectorMulConstantDoubleB(const double* src, double value, double* dst,
                                         std::int32_t len);
PrimitiveStatus VectorMulConstantDoubleC(const double* src, double value, double* dst,
                                         std::int32_t len);
PrimitiveStatus VectorClampAboveInt32InPlaceA(std::int32_t* srcDst, std::int32_t len,
                                              std::int32_t level);
PrimitiveStatus VectorClampAboveInt32InPlaceC(std::int32_t* srcDst, std::int32_t len,
                                              std::int32_t level);
