#include "scope/TrelAxisRules.h"

#include <cmath>
#include <limits>

#include "platform/rtl/SysUtils.h"
#include "scope/TrelScopeRoutines.h"

TTrelAxisMapping AxisMapping(double max, double min, std::int32_t pixelLength, bool isXAxis,
                             bool reversed, bool logarithmic) {
  // The Y axis flips a reversed range, the X axis a normal one: both then
  // place with the same formula from their far edge.
  const bool flip = isXAxis ? !reversed : reversed;
  if (flip) {
    const double oldMax = max;
    max = -min;
    min = -oldMax;
  }
  const double range = logarithmic ? SignedLog10(max) - SignedLog10(min) : max - min;
  const double length = static_cast<double>(pixelLength);
  const double effective = isXAxis ? length : length - 1.0;
  TTrelAxisMapping mapping;
  if (range == 0.0 || !std::isfinite(range)) {
    mapping.Offset = RoundSaturated(0.5 * effective);
    mapping.Scale = 1.0;
    return mapping;
  }
  const double origin = logarithmic ? SignedLog10(min) : min;
  mapping.Offset = RoundSaturated(-std::nearbyint(effective * origin / range));
  mapping.Scale = effective / range;
  if (flip)
    mapping.Scale = -mapping.Scale;
  return mapping;
}

std::int32_t ScaledToPixelUnits(double scaledValue) {
  constexpr double kFloatMax = std::numeric_limits<float>::max();
  double v = scaledValue;
  if (std::isnan(v))
    v = -kFloatMax;
  else if (v > kFloatMax)
    v = kFloatMax;
  else if (v < -kFloatMax)
    v = -kFloatMax;
  const float narrowed = static_cast<float>(v);
  return RoundSaturated(static_cast<double>(narrowed));
}

std::int32_t PlaceValue(double value, const TTrelAxisMapping& mapping, std::int32_t farEdge,
                        bool logarithmic) {
  const double v = logarithmic ? SignedLog10(value) : value;
  const std::int64_t units = ScaledToPixelUnits(v * mapping.Scale);
  return ClampToInt32(static_cast<std::int64_t>(farEdge) - 1 - mapping.Offset - units);
}

double AutomaticMajorStep(const TTrelAutoStepInput& in) {
  if (in.StripWidth == 0 || !(in.Range > 0.0) || !std::isfinite(in.Range) || !(in.OwnRange > 0.0) ||
      !std::isfinite(in.OwnRange))
    return 1.0;
  const double length = in.PixelLength == 0 ? 1.0 : static_cast<double>(in.PixelLength);
  double span = in.MinTickSpacing * in.Range / length;
  if (in.Logarithmic)
    span = SignedLog10(span);
  if (!(std::fabs(span) > 0.0) || !std::isfinite(span))
    return 1.0;
  // The mantissas 1, 2, 2.5 and 5, kept as their logarithms.
  static const double kMantissaLog[4] = {0.0, std::log10(2.0), std::log10(2.5), std::log10(5.0)};
  const double e = std::log10(std::fabs(span));
  double k = std::floor(e);
  const double f = e - k;
  int index = 0;
  if (f > kMantissaLog[3]) {
    k += 1.0;
    index = 0;
  } else if (f > kMantissaLog[2]) {
    index = 3;
  } else if (f > kMantissaLog[1]) {
    index = 2;
  } else if (f > 0.0) {
    index = 1;
  }
  const double labelGap = in.LabelExtent + 2.0;
  const double needed = in.Logarithmic ? std::nearbyint(SignedLog10(labelGap)) : labelGap;
  // Each round grows the step by at most 2.5: 1200 rounds cover every
  // finite double range.
  for (int round = 0; round < 1200; ++round) {
    double step = std::exp2(std::log2(10.0) * (k + kMantissaLog[index]));
    if (span < 0.0)
      step = -step;
    if (!std::isfinite(step))
      return 1.0;
    if (needed <= step / in.OwnRange * length)
      return step;
    if (++index > 3) {
      index = 0;
      k += 1.0;
    }
  }
  return 1.0;
}

double CustomMajorStep(double step, double gap, std::int32_t pixelLength, double ownRange) {
  if (pixelLength == 0 || ownRange == 0.0 || !std::isfinite(ownRange) || !std::isfinite(step) ||
      step == 0.0)
    return step;
  const double length = static_cast<double>(pixelLength);
  double s = step;
  double multiplier = 1.0;
  // Doubling leaves the finite range after about 2100 rounds.
  for (int round = 0; round < 2200; ++round) {
    const double pixels = std::trunc(length * s / ownRange);
    if (!std::isfinite(pixels) || std::fabs(pixels) > gap)
      return s;
    multiplier *= 2.0;
    s = step * multiplier;
  }
  return step;
}

namespace {

constexpr int kMaxStepsPerPass = 100000;

// One pass of the walk. `upwards`: towards higher values.
void WalkPass(const TTrelTickWalk& w, double start, bool upwards, bool firstPass) {
  const bool pixelsGrow = upwards != w.PixelFallsWithValue;  // screen order of this pass
  std::int32_t prev = pixelsGrow ? -100 : ClampToInt32(static_cast<std::int64_t>(w.Hi) + 100);
  bool accepted = false;
  const std::int32_t highPixel = firstPass ? w.Pixel(w.High) : 0;
  double v = start;
  for (int n = 0; n < kMaxStepsPerPass; ++n) {
    if (upwards ? !(v <= w.High + w.Step) : !(v >= w.Low - w.Step))
      break;
    double step = w.Step;
    bool draw = true;
    if (w.CustomStep) {
      double asked = step;
      w.CustomStep(v, asked, draw);
      if (asked != step && w.CustomStepRule)
        step = w.CustomStepRule(asked);
      else
        step = asked;
    }
    const std::int32_t p = w.Pixel(v);
    const bool take = pixelsGrow ? static_cast<std::int64_t>(p) - prev > w.Gap
                                 : static_cast<std::int64_t>(prev) - p > w.Gap;
    if (take) {
      bool inside = draw && w.Lo <= p && p < w.Hi;
      if (inside && firstPass)
        inside = w.PixelFallsWithValue ? p >= highPixel : p <= highPixel;
      if (inside)
        w.Paint({std::fabs(v) < step / 2.0, p, v, false, w.LabelExtent / 2});
      if (accepted && prev != p) {
        std::int64_t q = prev;
        for (std::uint32_t j = 0; j < w.MinorCount; ++j) {
          const std::int64_t parts = static_cast<std::int64_t>(w.MinorCount) - j + 1;
          q += (static_cast<std::int64_t>(p) - q) / parts;
          if (w.Lo <= q && q < w.Hi)
            w.Paint({std::fabs(v) < step / 2.0, static_cast<std::int32_t>(q), v, true,
                     w.LabelExtent / 2});
        }
      }
      prev = p;
      accepted = true;
    }
    double move = step;
    if (w.Logarithmic)
      move = std::fabs(SignedPower10(std::trunc(SignedLog10(v)))) * step;
    const double next = upwards ? v + move : v - move;
    if (next == v || !std::isfinite(next))
      break;
    v = next;
  }
}

}  // namespace

void WalkTicks(const TTrelTickWalk& w) {
  if (!(w.Step > 0.0) || !std::isfinite(w.Step) || !w.Pixel || !w.Paint)
    return;
  const double a = w.High;
  const double b = w.Low;
  if (!std::isfinite(a) || !std::isfinite(b))
    return;
  double start;
  if (b < 0.0 && 0.0 < a)
    start = 0.0;
  else if (b >= 0.0)
    start = std::trunc(b / w.Step) * w.Step;
  else
    start = std::trunc(a / w.Step) * w.Step;
  if (!std::isfinite(start))
    return;
  // Pass 1 runs in screen order from the top or left.
  const bool firstUp = !w.PixelFallsWithValue;
  for (int pass = 0; pass < 2; ++pass) {
    const bool up = pass == 0 ? firstUp : !firstUp;
    if (up ? a > 0.0 : b < 0.0)
      WalkPass(w, start, up, pass == 0);
  }
}

int AxisLabelDigits(int precision, bool fixedPrecision, double high, double low) {
  if (fixedPrecision)
    return precision < 0 ? 0 : precision;
  if (precision < 1)
    return 0;
  const double d = std::fabs(high - low);
  int n = 0;
  if (d != 0.0 && std::isfinite(d)) {
    const double magnitude = std::trunc(std::log10(d)) + 1.0;
    n = precision - TruncSaturated(magnitude);
  }
  if (d < 1.0)
    ++n;
  return n < 0 ? 0 : n;
}

std::string AxisLabelText(double value, int digits, bool fixedPrecision, int precision) {
  std::string text = Trim(Format("%." + std::to_string(digits) + "f", {value}));
  if (fixedPrecision && text.find('E') != std::string::npos)
    text = TrimFloatText(text, precision);
  return text;
}

namespace {

int ThousandsExponent(double x) {
  if (!(x > 0.0) || !std::isfinite(x))
    return 0;
  const double e = std::log10(x);
  if (!std::isfinite(e))
    return 0;
  return 3 * TruncSaturated(e / 3.0);
}

}  // namespace

int TimeUnitExponent(double sampleRate, double sampleCount) {
  if (sampleCount == 0.0 || sampleRate == 0.0)
    return 0;
  return ThousandsExponent(sampleRate / sampleCount * 1000.0);
}

int FrequencyUnitExponent(double sampleRate) {
  return ThousandsExponent(sampleRate);
}

std::string TimeUnitCaption(int exponent) {
  switch (exponent) {
    case 0:
      return "Sec";
    case 3:
      return "mSec";
    case 6:
      return "uSec";
    case 9:
      return "nSec";
    default:
      return "Sec (E" + std::to_string(-static_cast<std::int64_t>(exponent)) + ")";
  }
}

std::string FrequencyUnitCaption(int exponent) {
  switch (exponent) {
    case -9:
      return "nHz";
    case -6:
      return "uHz";
    case -3:
      return "mHz";
    case 0:
      return "Hz";
    case 3:
      return "kHz";
    case 6:
      return "MHz";
    case 9:
      return "GHz";
    default:
      return "Hz (E" + std::to_string(exponent) + ")";
  }
}
