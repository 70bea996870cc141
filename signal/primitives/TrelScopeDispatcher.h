// The scope-drawing primitives: they turn sample values into pixel
// coordinates (scale by a constant, narrow doubles to floats, convert to int32
// with a chosen rounding and a power-of-two scale factor, offset with
// saturation, clamp from above).
//
// Called through their pointer variables like every primitive (see
// PrimitiveDispatch.h). Arguments are checked first, pointers in argument
// order (StatusNullPointer) and then len (StatusBadLength, len < 1); nothing
// is written on an error. Elements are processed in ascending order, in
// blocks read whole before they are written, so the conversions may run in
// place inside one buffer
// (double -> float -> int32: element i of the narrower type lies at or below
// element i of the wider one). Out-of-range values saturate or clip; they are
// never errors. The conversions to int32 do not depend on the caller's
// rounding mode (they round under a NearestRoundingScope, which puts the
// caller's MXCSR setting back); the narrowing to float rounds in the caller's
// mode. No primitive allocates, throws or keeps state.
#pragma once

#include <cstdint>

#include "signal/primitives/PrimitiveDispatch.h"

// srcDst[i] = (srcDst[i] + value) * 2^-sf, rounded to nearest (ties to even)
// and saturated to int32. With value 0 and sf 0 the vector is left untouched.
PrimitiveStatus VectorAddConstantInt32InPlaceScaledPortable(std::int32_t value,
                                                            std::int32_t* srcDst, std::int32_t len,
                                                            std::int32_t sf);

// srcDst[i] = (value - srcDst[i]) * 2^-sf, rounded and saturated likewise.
PrimitiveStatus VectorSubFromConstantInt32InPlaceScaledPortable(std::int32_t value,
                                                                std::int32_t* srcDst,
                                                                std::int32_t len, std::int32_t sf);

// dst[i] = src[i] rounded to float (current rounding mode), clipped to
// +-3.4028234663852886e+38; infinities become the largest finite floats and
// NaN becomes -3.4028234663852886e+38. src and dst may be the same buffer.
PrimitiveStatus VectorConvertDoubleToFloatPortable(const double* src, float* dst, std::int32_t len);

// dst[i] = src[i] * 2^-sf converted to int32: y >= 2147483647 gives
// INT32_MAX; y <= -2147483648 and NaN give INT32_MIN; otherwise rndMode 1
// rounds to nearest with ties to even and any other rndMode toward zero. The
// scaling is exact; any sf is accepted. src and dst may be the same buffer.
PrimitiveStatus VectorConvertFloatToInt32ScaledPortable(const float* src, std::int32_t* dst,
                                                        std::int32_t len, std::int32_t rndMode,
                                                        std::int32_t sf);
PrimitiveStatus VectorConvertDoubleToInt32ScaledPortable(const double* src, std::int32_t* dst,
                                                         std::int32_t len, std::int32_t rndMode,
                                                         std::int32_t sf);

// dst[i] = src[i] * value. value 1.0 copies src bit for bit; value 0.0 (either
// sign) writes +0.0 everywhere without reading src. src and dst may be the
// same array.
PrimitiveStatus VectorMulConstantDoublePortable(const double* src, double value, double* dst,
                                                std::int32_t len);

// srcDst[i] = min(srcDst[i], level).
PrimitiveStatus VectorClampAboveInt32InPlacePortable(std::int32_t* srcDst, std::int32_t len,
                                                     std::int32_t level);

// Four-variant primitives.
KESTRUNE_DECLARE_PRIMITIVE(VectorConvertFloatToInt32Scaled);
KESTRUNE_DECLARE_PRIMITIVE(VectorConvertDoubleToInt32Scaled);
KESTRUNE_DECLARE_PRIMITIVE(VectorMulConstantDouble);
// Three-variant primitives (C, A, portable).
KESTRUNE_DECLARE_PRIMITIVE(VectorAddConstantInt32InPlaceScaled);
KESTRUNE_DECLARE_PRIMITIVE(VectorSubFromConstantInt32InPlaceScaled);
KESTRUNE_DECLARE_PRIMITIVE(VectorConvertDoubleToFloat);
KESTRUNE_DECLARE_PRIMITIVE(VectorClampAboveInt32InPlace);
