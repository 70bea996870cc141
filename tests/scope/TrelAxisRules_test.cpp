// The axes' numeric rules: the value-to-pixel mapping, the major step, the
// tick walk, label digits and the X axis's unit captions.
#include "scope/TrelAxisRules.h"

#include "platform/rtl/SysUtils.h"
#include "scope/TrelScopeRoutines.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace {

// A data view from (20, 10) to (121, 111), right and bottom exclusive: 100
// pixels wide and high as the axes count them (right - left - 1).
constexpr std::int32_t kTop = 10, kBottom = 111, kLeft = 20, kRight = 121, kSize = 100;

TEST(TrelAxisRulesTest, MappingPutsTheRangeEndsOnTheDataViewEdges) {
  struct Case {
    const char* name;
    double min, max;
    bool isX, reversed, log;
    double at;
    std::int32_t pixel;
  };
  const Case cases[] = {
      {"Y RangeMin at bottom - 1", 0.0, 990.0, false, false, false, 0.0, kBottom - 1},
      {"Y RangeMax at top + 1", 0.0, 990.0, false, false, false, 990.0, kTop + 1},
      {"Y around zero, min", -500.0, 490.0, false, false, false, -500.0, kBottom - 1},
      {"Y around zero, max", -500.0, 490.0, false, false, false, 490.0, kTop + 1},
      {"Y reversed: min at the top", 0.0, 990.0, false, true, false, 0.0, kTop + 1},
      {"Y reversed: max at the bottom", 0.0, 990.0, false, true, false, 990.0, kBottom - 1},
      {"X RangeMin at left", 0.0, 1000.0, true, false, false, 0.0, kLeft},
      {"X RangeMax at right - 1", 0.0, 1000.0, true, false, false, 1000.0, kRight - 1},
      {"Y zero range: the middle", 0.0, 0.0, false, false, false, 0.0, 60},
      {"Y zero range: a unit per pixel", 0.0, 0.0, false, false, false, 3.0, 57},
      {"Y logarithmic: zero in the middle", -1000.0, 1000.0, false, false, true, 0.0, 60},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const TTrelAxisMapping m = AxisMapping(c.max, c.min, kSize, c.isX, c.reversed, c.log);
    EXPECT_EQ(PlaceValue(c.at, m, c.isX ? kRight : kBottom, c.log), c.pixel);
  }
  const TTrelAxisMapping zero = AxisMapping(0.0, 0.0, kSize, false, false, false);
  EXPECT_EQ(zero.Scale, 1.0);
  // The logarithmic ends land on the edges, within the half-pixel tie.
  const TTrelAxisMapping log = AxisMapping(1000.0, -1000.0, kSize, false, false, true);
  EXPECT_NEAR(PlaceValue(1000.0, log, kBottom, true), kTop + 1, 1);
  EXPECT_NEAR(PlaceValue(-1000.0, log, kBottom, true), kBottom - 1, 1);
  // Huge values saturate instead of wrapping.
  const TTrelAxisMapping tiny = AxisMapping(1.0, 0.0, kSize, false, false, false);
  EXPECT_LT(PlaceValue(1.7e308, tiny, kBottom, false), kTop);
  EXPECT_GT(PlaceValue(-1.7e308, tiny, kBottom, false), kBottom);
  EXPECT_EQ(ScaledToPixelUnits(std::nan("")), std::numeric_limits<std::int32_t>::min());
  EXPECT_EQ(ScaledToPixelUnits(2.5), 2);
}

TEST(TrelAxisRulesTest, PixelToValueInvertsTheMappingWithinAPixel) {
  struct Case {
    double min, max;
    bool reversed, log;
    int pixels;  // how far the value read back may place
  };
  // The logarithmic inverse counts its zero from the whole extent, the
  // mapping from the inner one: near the ends they part by up to 3 pixels.
  for (const Case& c : {Case{-1000, 1000, false, false, 1}, Case{0, 990, true, false, 1},
                        Case{-3, 250, false, false, 1}, Case{-1000, 1000, false, true, 3}}) {
    const TTrelAxisMapping m = AxisMapping(c.max, c.min, kSize, false, c.reversed, c.log);
    const TTrelValueAxisSpan span{kTop, kBottom, c.reversed, c.log};
    for (double v = c.min; v <= c.max; v += (c.max - c.min) / 37.0) {
      const std::int32_t p = PlaceValue(v, m, kBottom, c.log);
      const double back = PixelToValueOnSpan(p, span, c.max, c.min);
      EXPECT_LE(std::abs(PlaceValue(back, m, kBottom, c.log) - p), c.pixels)
          << c.min << ".." << c.max << " at " << v;
    }
  }
}

TEST(TrelAxisRulesTest, AutomaticStep) {
  struct Case {
    const char* name;
    TTrelAutoStepInput in;
    double step;
  };
  const double nan = std::nan("");
  const double inf = std::numeric_limits<double>::infinity();
  const Case cases[] = {
      {"decade", {50, 1000.0, 1000.0, 200, 20.0, 13.0, false}, 100.0},
      {"mantissa above log10 5 moves up a decade",
       {50, 300.0, 300.0, 100, 20.0, 13.0, false},
       100.0},
      {"grown until a label fits", {50, 1000.0, 1000.0, 200, 20.0, 50.0, false}, 500.0},
      {"mantissa 2.5", {50, 1000.0, 1000.0, 100, 24.0, 13.0, false}, 250.0},
      {"strip width 0", {0, 1000.0, 1000.0, 200, 20.0, 13.0, false}, 1.0},
      {"zero range", {50, 0.0, 0.0, 200, 20.0, 13.0, false}, 1.0},
      {"inverted range", {50, -1000.0, -1000.0, 200, 20.0, 13.0, false}, 1.0},
      {"NaN range", {50, nan, nan, 200, 20.0, 13.0, false}, 1.0},
      {"infinite range", {50, inf, inf, 200, 20.0, 13.0, false}, 1.0},
      {"zero pixel length counts as one", {50, 10.0, 10.0, 0, 30.0, 13.0, false}, 500.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_NEAR(AutomaticMajorStep(c.in), c.step, 1e-9 * c.step);
  }
}

TEST(TrelAxisRulesTest, CustomStepDoublesUntilAnIntervalClearsTheGap) {
  EXPECT_DOUBLE_EQ(CustomMajorStep(1.0, 15.0, 200, 1000.0), 128.0);
  EXPECT_DOUBLE_EQ(CustomMajorStep(1.0, 1.0, 200, 1000.0), 16.0);
  EXPECT_DOUBLE_EQ(CustomMajorStep(100.0, 15.0, 200, 1000.0), 100.0);
  // The gap cannot be met: the step stays.
  EXPECT_DOUBLE_EQ(CustomMajorStep(3.0, 15.0, 200, 0.0), 3.0);
  EXPECT_DOUBLE_EQ(CustomMajorStep(3.0, 15.0, 0, 1000.0), 3.0);
  EXPECT_DOUBLE_EQ(CustomMajorStep(3.0, 15.0, 200, std::nan("")), 3.0);
}

struct Painted {
  std::int32_t pixel;
  double value;
  bool minor;
  bool zero;
  bool operator==(const Painted&) const = default;
};

std::vector<Painted> Walk(TTrelTickWalk w) {
  std::vector<Painted> out;
  w.Paint = [&](const TTrelTick& t) { out.push_back({t.Pixel, t.Value, t.IsMinor, t.IsZero}); };
  WalkTicks(w);
  return out;
}

TTrelTickWalk YWalk() {
  TTrelTickWalk w;
  w.Step = 500.0;
  w.High = 1000.0;
  w.Low = -1000.0;
  w.Lo = kTop;
  w.Hi = kBottom;
  w.Gap = 13.0;
  w.LabelExtent = 13;
  w.PixelFallsWithValue = true;
  w.Pixel = [](double v) { return static_cast<std::int32_t>(60 - v / 20.0); };
  return w;
}

TEST(TrelAxisRulesTest, TickWalkVisitsBothWaysFromZero) {
  const std::vector<Painted> majors = Walk(YWalk());
  const std::vector<Painted> expected = {{60, 0.0, false, true},       {85, -500.0, false, false},
                                         {110, -1000.0, false, false}, {60, 0.0, false, true},
                                         {35, 500.0, false, false},    {10, 1000.0, false, false}};
  EXPECT_EQ(majors, expected);

  TTrelTickWalk withMinor = YWalk();
  withMinor.MinorCount = 1;
  std::vector<std::int32_t> minors;
  for (const Painted& p : Walk(withMinor))
    if (p.minor)
      minors.push_back(p.pixel);
  EXPECT_EQ(minors, (std::vector<std::int32_t>{72, 97, 48, 23}));
}

TEST(TrelAxisRulesTest, TickWalkSpacingCustomStepsAndBelowZero) {
  // Four minor ticks split an interval at 1/5 .. 4/5 in integer pixels.
  TTrelTickWalk four;
  four.Step = 10.0;
  four.High = 10.0;
  four.Low = 0.0;
  four.Lo = 0;
  four.Hi = 101;
  four.Gap = 5.0;
  four.MinorCount = 4;
  four.Pixel = [](double v) { return static_cast<std::int32_t>(v * 10.0); };
  std::vector<std::int32_t> minors;
  for (const Painted& p : Walk(four))
    if (p.minor)
      minors.push_back(p.pixel);
  EXPECT_EQ(minors, (std::vector<std::int32_t>{20, 40, 60, 80}));

  // A tick closer than the gap to the last accepted one is skipped.
  TTrelTickWalk crowded = four;
  crowded.MinorCount = 0;
  crowded.Step = 1.0;
  crowded.Gap = 15.0;
  std::vector<double> values;
  for (const Painted& p : Walk(crowded))
    values.push_back(p.value);
  EXPECT_EQ(values, (std::vector<double>{0.0, 2.0, 4.0, 6.0, 8.0, 10.0}));

  // A hidden tick still counts for spacing.
  TTrelTickWalk hidden = four;
  hidden.MinorCount = 0;
  hidden.CustomStep = [](double v, double&, bool& draw) { draw = v != 10.0; };
  values.clear();
  for (const Painted& p : Walk(hidden))
    values.push_back(p.value);
  EXPECT_EQ(values, (std::vector<double>{0.0}));

  // A range below zero walks down only, from trunc(A / S) * S.
  TTrelTickWalk below;
  below.Step = 250.0;
  below.High = -300.0;
  below.Low = -1000.0;
  below.Lo = 0;
  below.Hi = 200;
  below.Gap = 10.0;
  below.PixelFallsWithValue = true;
  below.Pixel = [](double v) { return static_cast<std::int32_t>(-v / 10.0); };
  values.clear();
  for (const Painted& p : Walk(below))
    values.push_back(p.value);
  // -250 lies above the range's top and is not painted.
  EXPECT_EQ(values, (std::vector<double>{-500.0, -750.0, -1000.0, -1250.0}));
}

TEST(TrelAxisRulesTest, TickWalkEndsOnDegenerateInput) {
  TTrelTickWalk w = YWalk();
  w.High = std::nan("");
  EXPECT_TRUE(Walk(w).empty());
  w = YWalk();
  w.Step = 0.0;
  EXPECT_TRUE(Walk(w).empty());
  // A step too small for the range: bounded, every pixel outside the view.
  w = YWalk();
  w.Step = 1e-300;
  w.High = 1e300;
  w.Low = -1e300;
  w.Pixel = [](double) { return -5; };
  EXPECT_TRUE(Walk(w).empty());
}

TEST(TrelAxisRulesTest, LabelDigitsAndText) {
  struct Case {
    const char* name;
    int precision;
    bool fixed;
    double high, low, value;
    const char* text;
  };
  const Case cases[] = {
      {"-1000..1000 has no decimals", 3, false, 1000.0, -1000.0, -500.0, "-500"},
      {"0..0.5 has three", 3, false, 0.5, 0.0, 0.25, "0.250"},
      {"0..10 has one", 3, false, 10.0, 0.0, 2.5, "2.5"},
      {"zero range has one", 3, false, 4.0, 4.0, 4.0, "4.0"},
      {"precision 0", 0, false, 0.5, 0.0, 0.25, "0"},
      {"fixed precision", 2, true, 1000.0, -1000.0, 12.25, "12.25"},
      {"NaN range", 3, false, std::nan(""), 0.0, 1.0, "1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const int digits = AxisLabelDigits(c.precision, c.fixed, c.high, c.low);
    EXPECT_EQ(AxisLabelText(c.value, digits, c.fixed, c.precision), c.text);
  }
}

TEST(TrelAxisRulesTest, LabelsOfVeryLargeValuesAndTheUsersSeparator) {
  // Format writes 1e20 in exponent form with 15 significant digits; a fixed
  // precision keeps Precision of them and drops the exponent's zeros.
  EXPECT_EQ(AxisLabelText(1e20, 3, true, 3), "1.000E20");
  EXPECT_EQ(AxisLabelText(-2.5e18, 2, true, 2), "-2.50E18");
  EXPECT_EQ(AxisLabelText(1e20, 3, false, 3), "1.00000000000000E020");
  EXPECT_EQ(AxisLabelText(123456789012345.0, 0, true, 3), "123456789012345");
  const char saved = DecimalSeparator.exchange(',');
  EXPECT_EQ(AxisLabelText(2.5, 1, false, 3), "2,5");
  EXPECT_EQ(AxisLabelText(1e20, 1, true, 1), "1,0E20");
  DecimalSeparator = saved;
}

TEST(TrelAxisRulesTest, UnitExponentsAndCaptions) {
  EXPECT_EQ(TimeUnitExponent(44100.0, 1024.0), 3);
  EXPECT_EQ(TimeUnitCaption(TimeUnitExponent(44100.0, 1024.0)), "mSec");
  EXPECT_EQ(TimeUnitCaption(TimeUnitExponent(44100.0, 88200.0)), "Sec");
  EXPECT_EQ(TimeUnitCaption(12), "Sec (E-12)");
  EXPECT_EQ(TimeUnitCaption(6), "uSec");
  EXPECT_EQ(FrequencyUnitCaption(FrequencyUnitExponent(44100.0)), "kHz");
  EXPECT_EQ(FrequencyUnitCaption(FrequencyUnitExponent(10000.0)), "kHz");
  EXPECT_EQ(FrequencyUnitCaption(FrequencyUnitExponent(500.0)), "Hz");
  EXPECT_EQ(FrequencyUnitCaption(12), "Hz (E12)");
  // Zero rates and counts and non-finite values give exponent 0.
  EXPECT_EQ(TimeUnitExponent(0.0, 1024.0), 0);
  EXPECT_EQ(TimeUnitExponent(44100.0, 0.0), 0);
  EXPECT_EQ(FrequencyUnitExponent(0.0), 0);
  EXPECT_EQ(FrequencyUnitExponent(std::nan("")), 0);
  EXPECT_EQ(FrequencyUnitExponent(std::numeric_limits<double>::infinity()), 0);
}

}  // namespace
