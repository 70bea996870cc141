// Math shims and the byte copy and zero-fill kernels shared by the portable
// primitives (vector, block and transform primitives).
//
// Everything here is reentrant, keeps no state and may be called from any
// thread. Byte counts are 64-bit so that a caller's element count times the
// element size cannot wrap.
#pragma once

#include <cstdint>

#include "signal/primitives/PrimitiveDispatch.h"

// Sine of x (radians), computed in extended precision and rounded to double.
// A finite x with |x| >= 2^63 gives 0.0; infinities and NaN give NaN.
double LibCSin(double x);

// Cosine of x, as `LibCSin`.
double LibCCos(double x);

// Square root of x, correctly rounded to double; a negative x gives NaN.
double LibCSqrt(double x);

// Copies nBytes bytes from src to dst in ascending address order and returns
// dst; nothing happens for nBytes < 1. Checks nothing else. A destination
// that overlaps the source from below (dst < src) receives the source's
// contents as they were before the copy (a memory move); a destination above
// an overlapping source also gets the source's old contents.
void* CopyBytesKernel(const void* src, void* dst, std::int64_t nBytes);

// Sets nBytes bytes at dst to 0 and returns dst; nothing happens for
// nBytes < 1. Checks nothing else.
void* ZeroBytesKernel(void* dst, std::int64_t nBytes);

// Checked wrappers: pointers first (-8), then the count (-6); on success the
// work is done and StatusOk returned; on an error nothing is written.
// Copies len 32-bit elements (src, then dst checked for null).
PrimitiveStatus CopyInt32Checked(const std::int32_t* src, std::int32_t* dst, std::int32_t len);
// Zeroes len 32-bit elements.
PrimitiveStatus ZeroInt32Checked(std::int32_t* dst, std::int32_t len);
// Zeroes n bytes.
PrimitiveStatus ZeroBytesChecked(void* dst, std::int32_t n);
