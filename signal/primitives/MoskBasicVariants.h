// Processor-specific variants of the 16-bit fill (see MoskBasicDispatcher.h
// for the contracts), and the set-A and set-B forms of the 2-D 16-bit fill
// that those sets' block arithmetic uses to clear its destination. Their
// results equal the portable ones.
#pragma once

#include <cstdint>

#include "signal/primitives/PrimitiveDispatch.h"

PrimitiveStatus VectorSetInt16A(std::int16_t value, std::int16_t* dst, std::int32_t len);
PrimitiveStatus VectorSetInt16B(std::int16_t value, std::int16_t* dst, std::int32_t len);
PrimitiveStatus VectorSetInt16C(std::int16_t value, std::int16_t* dst, std::int32_t len);

// The checks of RoiFillInt16 (-8, -6, -14), then every row filled: set A
// always with non-temporal stores, set B with them when the block holds
// 180001 bytes or more.
PrimitiveStatus RoiFillInt16A(std::int16_t value, std::int16_t* dst, std::int32_t dstStep,
                              std::int32_t width, std::int32_t height);
PrimitiveStatus RoiFillInt16B(std::int16_t value, std::int16_t* dst, std::int32_t dstStep,
                              std::int32_t width, std::int32_t height);
