// The scope's shared routines: hit-test geometry with coordinates beyond 16
// bits, the signed logarithm, label macros, pixel-to-value and the trimming
// of exponent texts.
#include "scope/TrelScopeRoutines.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>
#include <string>

namespace {

constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();

TEST(TrelScopeRoutinesTest, GeometryStaysExactInRangeAndFarPointsStayFar) {
  EXPECT_EQ(DotProduct({3, 4}, {5, -6}), 3 * 5 - 4 * 6);
  EXPECT_EQ(VectorLength({3, 4}), 5.0);
  EXPECT_EQ(PointDistance({1, 1}, {4, 5}), 5.0);
  // 32-bit arithmetic would wrap here and report a near hit.
  EXPECT_GT(PointDistance({kMax, 0}, {kMin, 0}), 4.0e9);
  EXPECT_GT(VectorLength({65536, 65536}), 9.0e4);

  struct Case {
    const char* name;
    TTrelIntPoint p, a, b, nearest;
    double t, distance;
  };
  const Case cases[] = {
      {"before the start", {-5, 0}, {0, 0}, {10, 0}, {0, 0}, 0.0, 5.0},
      {"beyond the end", {14, 3}, {0, 0}, {10, 0}, {10, 0}, 1.0, 5.0},
      {"above the middle", {4, 3}, {0, 0}, {10, 0}, {4, 0}, 0.4, 3.0},
      {"diagonal", {0, 2}, {0, 0}, {2, 2}, {1, 1}, 0.5, std::sqrt(2.0)},
      {"zero-length segment", {3, 4}, {0, 0}, {0, 0}, {0, 0}, 0.0, 5.0},
      {"huge segment", {0, 10}, {kMin, 0}, {kMax, 0}, {0, 0}, 0.5, 10.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TTrelIntPoint nearest;
    double t = -1.0;
    const double d = DistanceToSegment(c.p, c.a, c.b, nearest, t);
    EXPECT_NEAR(d, c.distance, 1e-9);
    EXPECT_NEAR(t, c.t, 1e-9);
    EXPECT_NEAR(nearest.X, c.nearest.X, 1);
    EXPECT_EQ(nearest.Y, c.nearest.Y);
  }
  // A point far off a far segment is a miss, not an overflowed near hit.
  TTrelIntPoint nearest;
  double t = 0.0;
  EXPECT_GT(DistanceToSegment({0, 0}, {kMin, kMin}, {kMin + 10, kMin}, nearest, t), 1.0e9);
}

TEST(TrelScopeRoutinesTest, SignedLogarithmAndPowers) {
  EXPECT_DOUBLE_EQ(SignedLog10(99.0), 2.0);
  EXPECT_DOUBLE_EQ(SignedLog10(-999.0), -3.0);
  EXPECT_EQ(SignedLog10(0.0), 0.0);
  EXPECT_NEAR(SignedLog10(1000.0), 3.0004340, 1e-6);
  for (double v : {-12345.0, -1.0, 0.0, 0.5, 7.0, 1e6})
    EXPECT_NEAR(InverseSignedLog10(SignedLog10(v)), v, 1e-9 * (1.0 + std::fabs(v))) << v;
  EXPECT_DOUBLE_EQ(SignedPower10(2.0), 100.0);
  EXPECT_DOUBLE_EQ(SignedPower10(-3.0), -1000.0);
  EXPECT_DOUBLE_EQ(PowerOfTwo(10.0), 1024.0);
  EXPECT_NEAR(PowerOfTwo(2.5), std::exp2(2.5), 1e-12);
  EXPECT_NEAR(PowerOfTwo(-3.4), std::exp2(-3.4), 1e-15);
}

TEST(TrelScopeRoutinesTest, LabelMacros) {
  const std::map<char, std::string> values = {{'X', "1.5"}, {'Y', "-2"}, {'V', "42"}};
  auto macro = [&](char c) -> std::optional<std::string> {
    auto it = values.find(c);
    if (it == values.end())
      return std::nullopt;
    return it->second;
  };
  struct Case {
    const char* name;
    const char* text;
    const char* defaultText;
    const char* expected;
  };
  const Case cases[] = {
      {"empty text uses the default", "", "%X : %Y", "1.5 : -2"},
      {"lower-case letters", "%x/%y", "", "1.5/-2"},
      {"percent sign", "100%%", "", "100%"},
      {"unknown macro vanishes", "a%Qb", "", "ab"},
      {"trailing percent is dropped", "abc%", "", "abc"},
      {"default inserted and expanded", "[%D]", "%X", "[1.5]"},
      {"default holding %D cannot loop", "<%D>", "a%Db", "<ab>"},
      {"empty text whose default holds %D", "", "x%Dy", "xy"},
      {"trailing percent inside the default ends all", "%D tail", "v%", "v"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ExpandLabelMacros(c.text, c.defaultText, macro), c.expected);
  }
}

TEST(TrelScopeRoutinesTest, PixelToValue) {
  // A rectangle from y = 10 to y = 111 (extent 101): max at the top edge,
  // one value step of R / 100 per pixel.
  const TTrelValueAxisSpan normal{10, 111, false, false};
  EXPECT_DOUBLE_EQ(PixelToValueOnSpan(10, normal, 100.0, 0.0), 100.0);
  EXPECT_DOUBLE_EQ(PixelToValueOnSpan(110, normal, 100.0, 0.0), 0.0);
  EXPECT_DOUBLE_EQ(PixelToValueOnSpan(60, normal, 100.0, 0.0), 50.0);
  const TTrelValueAxisSpan reversed{10, 111, true, false};
  EXPECT_DOUBLE_EQ(PixelToValueOnSpan(111, reversed, 100.0, 0.0), 100.0);
  EXPECT_DOUBLE_EQ(PixelToValueOnSpan(11, reversed, 100.0, 0.0), 0.0);
  // A zero range is taken as 1e-05.
  EXPECT_DOUBLE_EQ(PixelToValueOnSpan(60, normal, 5.0, 5.0), 5.0 - 50 * 1e-05 / 100.0);
  // Logarithmic -1000..1000 over 100 pixels: the zero in the middle, the
  // ends at the edges.
  const TTrelValueAxisSpan log{0, 100, false, true};
  EXPECT_NEAR(PixelToValueOnSpan(50, log, 1000.0, -1000.0), 0.0, 1e-9);
  EXPECT_NEAR(PixelToValueOnSpan(0, log, 1000.0, -1000.0), 1000.0, 1e-6);
  EXPECT_NEAR(PixelToValueOnSpan(100, log, 1000.0, -1000.0), -1000.0, 1e-6);
  // Logarithmic with equal ends: the linear formula, no division by zero.
  const double flat = PixelToValueOnSpan(50, log, 7.0, 7.0);
  EXPECT_TRUE(std::isfinite(flat));
  EXPECT_NEAR(flat, 7.0, 1e-3);
  // Logarithmic whose zero falls on the start edge (max 0): linear too.
  EXPECT_DOUBLE_EQ(PixelToValueOnSpan(0, log, 0.0, -99.0), 0.0);
}

TEST(TrelScopeRoutinesTest, TrimFloatText) {
  struct Case {
    const char* text;
    int digits;
    const char* expected;
  };
  const Case cases[] = {
      {"1.23456789012345E+20", 3, "1.234E+20"},
      {"1.23456789012345E20", 3, "1.234E20"},
      {"-9,87654321E0012", 2, "-9,87E12"},
      {"5.5E005", 0, "5.E5"},
      {"123.456", 1, "123.456"},  // not in exponent form
      {"1.2E+5", 4, "1.2E+5"},    // fewer digits than asked
  };
  for (const Case& c : cases)
    EXPECT_EQ(TrimFloatText(c.text, c.digits), c.expected) << c.text;
}

TEST(TrelScopeRoutinesTest, SaturatedConversions) {
  EXPECT_EQ(RoundSaturated(2.5), 2);
  EXPECT_EQ(RoundSaturated(3.5), 4);
  EXPECT_EQ(RoundSaturated(-2.5), -2);
  EXPECT_EQ(RoundSaturated(1e300), kMax);
  EXPECT_EQ(RoundSaturated(-1e300), kMin);
  EXPECT_EQ(RoundSaturated(std::nan("")), 0);
  EXPECT_EQ(TruncSaturated(-7.9), -7);
  EXPECT_EQ(ClampToInt32(std::int64_t{1} << 40), kMax);
}

}  // namespace
