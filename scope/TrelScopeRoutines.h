// Shared routines of the scope display: integer-point geometry for hit
// tests, the signed logarithm of logarithmic axes, the label macros, the
// pixel-to-value conversion and the trimming of exponent-form number texts.
//
// Everything here is a pure function of its arguments: no state, no lock,
// callable from any thread.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

// An integer screen point.
struct TTrelIntPoint {
  std::int32_t X = 0;
  std::int32_t Y = 0;
  friend bool operator==(const TTrelIntPoint&, const TTrelIntPoint&) = default;
};

// A.x * B.x + A.y * B.y, computed in double (coordinates reach +-2^31, so
// the products do not fit 32 bits; for points whose products do, the result
// is the exact integer).
double DotProduct(TTrelIntPoint a, TTrelIntPoint b);
// The square root of DotProduct(v, v); 10000.0 when that is not finite.
double VectorLength(TTrelIntPoint v);
// VectorLength(a - b), the difference taken in double.
double PointDistance(TTrelIntPoint a, TTrelIntPoint b);
// The distance from p to the segment a..b. `nearest` is the segment's point
// closest to p (rounded, saturated to 32 bits) and `t` its fraction along
// the segment (0.0 at a, 1.0 at b).
double DistanceToSegment(TTrelIntPoint p, TTrelIntPoint a, TTrelIntPoint b, TTrelIntPoint& nearest,
                         double& t);

// The decimal logarithm.
double Log10(double v);
// log10(v + 1) for v >= 0, -log10(-v + 1) below 0.
double SignedLog10(double v);
// 10^v - 1 for v >= 0, -(10^-v - 1) below 0: the inverse of SignedLog10.
double InverseSignedLog10(double v);
// 10^v for v >= 0, -10^-v below 0.
double SignedPower10(double v);
// 2^Round(v) * 2^(v - Round(v)); a non-finite v gives the plain exp2(v).
double PowerOfTwo(double v);

// For a number text in exponent form ("1.2345678E+20"): keeps `digits`
// characters after the decimal separator (whatever character it is: the
// first one of the mantissa that is not a digit or a sign) and deletes the
// rest of the mantissa up to the "E"; then, as long as "E0" occurs, deletes
// that "0". Other texts come back unchanged.
std::string TrimFloatText(std::string_view text, int digits);

// Expands the label macros of `text` (or of `defaultText` when `text` is
// empty): "%%" is a percent sign; "%D" inserts `defaultText` and goes on
// expanding inside it, where a further "%D" gives nothing (so a default that
// holds "%D" cannot loop); any other "%<c>" asks `macro` for the upper-cased
// letter and gives its text, or nothing when it has none; a "%" at the very
// end ends the result before it.
// With `defaultMacro` false, "%D" is an unknown macro like any other.
std::string ExpandLabelMacros(std::string_view text, std::string_view defaultText,
                              const std::function<std::optional<std::string>(char)>& macro,
                              bool defaultMacro = true);

// Where the value axis runs across a rectangle, for PixelToValue.
struct TTrelValueAxisSpan {
  std::int32_t Start = 0;  // the top (or left, vertical) edge
  std::int32_t End = 0;    // the bottom (or right) edge
  bool Reversed = false;
  bool Logarithmic = false;
};

// The value at `position` on a value axis showing max at its start edge and
// min at its end (reversed: the other way). A zero range is taken as 1e-05.
// Linear: max - P * R / (N - 1), with P the distance from the start edge (the
// end edge when reversed) and N the extent (N - 1 taken as at least 1).
// Logarithmic: from the pixel of the logarithmic zero; when that cannot be
// placed (equal logarithms of the ends, or a zero at the start edge) the
// linear formula.
double PixelToValueOnSpan(std::int32_t position, const TTrelValueAxisSpan& span, double max,
                          double min);

// A computed double as an int32: NaN gives 0, values beyond the range the
// nearest end. Used wherever a computed value becomes a pixel, index or count.
std::int32_t SaturateToInt32(double value);
// Rounded half to even, then saturated as above.
std::int32_t RoundSaturated(double value);
// Truncated toward zero, then saturated as above.
std::int32_t TruncSaturated(double value);
// An int64 saturated to the int32 range.
std::int32_t ClampToInt32(std::int64_t value);
