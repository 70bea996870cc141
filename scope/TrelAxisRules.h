// The numeric rules of the scope's axes, apart from any drawing: the
// value-to-pixel mapping, the major step (automatic and custom), the tick
// walk, the digits and text of axis labels, and the unit exponents and
// captions of the X axis.
//
// The axis classes (TrelScopeAxes.h) feed these functions with their cached
// ranges, pixel lengths and settings. Every function is pure: no state, no
// lock, any thread. Computed doubles that become pixels are saturated to 32
// bits; non-finite inputs give the fall-backs each function states.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

// The mapping of an axis: a value v is placed at
// far edge - 1 - Offset - round(single(v' * Scale)), v' = v or SignedLog10(v).
struct TTrelAxisMapping {
  std::int32_t Offset = 0;
  double Scale = 1.0;
};

// The mapping of an axis of `pixelLength` pixels (the data view's height for
// the Y axis, its width for the X axis) showing min..max. The Y axis maps
// max near the top (the far edge is the bottom), the X axis max at the right
// edge - 1; `reversed` turns either. A zero (or non-finite) range puts the
// offset in the middle with scale 1.0.
TTrelAxisMapping AxisMapping(double max, double min, std::int32_t pixelLength, bool isXAxis,
                             bool reversed, bool logarithmic);

// v * scale narrowed to single precision (clipped to its range; NaN becomes
// its lowest value) and rounded to the nearest int32 with ties to even,
// saturated: the conversion chain of the trace and tick placement.
std::int32_t ScaledToPixelUnits(double scaledValue);

// The pixel of `value` under `mapping`, with `farEdge` the data view's bottom
// (Y axis) or right edge (X axis); saturated to 32 bits.
std::int32_t PlaceValue(double value, const TTrelAxisMapping& mapping, std::int32_t farEdge,
                        bool logarithmic);

// What the automatic major step needs of its axis.
struct TTrelAutoStepInput {
  std::int32_t StripWidth = 0;   // the width the layout gave the axis strip
  double Range = 0.0;            // RangeMax - RangeMin, linear
  double OwnRange = 0.0;         // the same in the axis's own form (logarithmic or not)
  std::int32_t PixelLength = 0;  // the data view's extent along the axis
  double MinTickSpacing = 20.0;  // pixels
  double LabelExtent = 0.0;      // pixels
  bool Logarithmic = false;
};

// The smallest of 1, 2, 2.5, 5 x 10^K at least as wide as the minimum tick
// spacing, grown through the same sequence until one interval is wider than
// a label plus 2 pixels. A strip width of 0, or a range that is zero,
// inverted or not finite, gives 1.0; the growth is bounded (1.0 when it
// finds nothing).
double AutomaticMajorStep(const TTrelAutoStepInput& in);

// The custom step rule: `step` doubled (step x 2^n) until one interval spans
// more than `gap` pixels (|trunc(pixelLength * S / ownRange)| > gap). A zero
// or non-finite range or pixel length, or a non-finite step, keeps `step`.
double CustomMajorStep(double step, double gap, std::int32_t pixelLength, double ownRange);

// One tick handed to a painter.
struct TTrelTick {
  bool IsZero = false;  // |Value| < step / 2
  std::int32_t Pixel = 0;
  double Value = 0.0;
  bool IsMinor = false;
  std::int32_t HalfLabelExtent = 0;
};

// What the tick walk needs.
struct TTrelTickWalk {
  double Step = 1.0;    // from the major step rule
  double High = 0.0;    // A: the range's high value
  double Low = 0.0;     // B: the range's low value
  std::int32_t Lo = 0;  // the data view's extent along the axis, [Lo, Hi)
  std::int32_t Hi = 0;
  double Gap = 0.0;  // the minimum label gap in pixels
  std::int32_t LabelExtent = 0;
  bool PixelFallsWithValue = false;  // the Y axis in its normal direction
  bool Logarithmic = false;
  std::uint32_t MinorCount = 0;
  // The pixel of a value.
  std::function<std::int32_t(double)> Pixel;
  // Optional: (value, step in out, draw in out), with the positive step.
  std::function<void(double, double&, bool&)> CustomStep;
  // Applied to a step that CustomStep changed.
  std::function<double(double)> CustomStepRule;
  // Receives every painted tick.
  std::function<void(const TTrelTick&)> Paint;
};

// Visits the ticks of the range in two passes from a start value and hands
// every accepted tick inside [Lo, Hi) to Paint, with the minor ticks between
// accepted majors. Each pass takes at most 100000 steps and stops when a step
// leaves the value unchanged; a step that is zero or not finite walks
// nothing.
void WalkTicks(const TTrelTickWalk& walk);

// The decimals of an axis label: Precision when fixed; otherwise 0 for a
// precision below 1, else Precision - (trunc(log10 D) + 1) with D = |high -
// low| (0 when D is 0 or not finite), one more when D < 1, never below 0.
int AxisLabelDigits(int precision, bool fixedPrecision, double high, double low);

// The label text of `value` with `digits` decimals ("%.<digits>f" through
// Format, trimmed); with `fixedPrecision` an exponent-form text keeps
// `precision` decimals (TrimFloatText).
std::string AxisLabelText(double value, int digits, bool fixedPrecision, int precision);

// The unit exponents of the X axis: 3 x trunc(log10(x) / 3) of
// rate / count x 1000 (time) or of the rate (frequency); 0 when the rate or
// count is zero or the logarithm is not finite.
int TimeUnitExponent(double sampleRate, double sampleCount);
int FrequencyUnitExponent(double sampleRate);
// "Sec", "mSec", "uSec", "nSec", else "Sec (E<-E>)".
std::string TimeUnitCaption(int exponent);
// "nHz" .. "GHz", else "Hz (E<E>)": the power of ten of the unit.
std::string FrequencyUnitCaption(int exponent);
