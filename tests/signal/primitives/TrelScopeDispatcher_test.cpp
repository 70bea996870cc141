// Scope-drawing primitives, called through the pointer variables.
#include "signal/primitives/TrelScopeDispatcher.h"

#include <gtest/gtest.h>

#include <bit>
#include <cfenv>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "tests/signal/primitives/PrimitiveReference.h"

namespace {

using primitives_test::SampleValues;
using primitives_test::ScaledReference;

constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr float kFloatMax = std::numeric_limits<float>::max();

// ---- Argument checks --------------------------------------------------------------

using Call = std::function<PrimitiveStatus(bool nullFirst, bool nullSecond, std::int32_t len)>;

struct CheckRow {
  const char* name;
  Call call;
  bool hasSecondPointer;
};

alignas(16) unsigned char gSource[64];
alignas(16) unsigned char gTarget[64];

template <typename T>
T* Ptr(unsigned char* area, bool null) {
  return null ? nullptr : reinterpret_cast<T*>(area);
}

class ScopeCheckTest : public ::testing::TestWithParam<CheckRow> {};

TEST_P(ScopeCheckTest, PointersThenLengthAndNothingWritten) {
  const CheckRow& row = GetParam();
  std::fill(std::begin(gTarget), std::end(gTarget), 0x5A);
  EXPECT_EQ(row.call(true, false, 0), StatusNullPointer);
  EXPECT_EQ(row.call(false, false, 0), StatusBadLength);
  EXPECT_EQ(row.call(false, false, -2), StatusBadLength);
  if (row.hasSecondPointer) {
    EXPECT_EQ(row.call(false, true, -2), StatusNullPointer);
  }
  for (const unsigned char byte : gTarget) {
    ASSERT_EQ(byte, 0x5A);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Primitives, ScopeCheckTest,
    ::testing::Values(CheckRow{"AddConstant",
                               [](bool a, bool, std::int32_t n) {
                                 return VectorAddConstantInt32InPlaceScaled(
                                     5, Ptr<std::int32_t>(gTarget, a), n, 0);
                               },
                               false},
                      CheckRow{"SubFromConstant",
                               [](bool a, bool, std::int32_t n) {
                                 return VectorSubFromConstantInt32InPlaceScaled(
                                     5, Ptr<std::int32_t>(gTarget, a), n, 0);
                               },
                               false},
                      CheckRow{"DoubleToFloat",
                               [](bool a, bool b, std::int32_t n) {
                                 return VectorConvertDoubleToFloat(Ptr<double>(gSource, a),
                                                                   Ptr<float>(gTarget, b), n);
                               },
                               true},
                      CheckRow{"FloatToInt32",
                               [](bool a, bool b, std::int32_t n) {
                                 return VectorConvertFloatToInt32Scaled(
                                     Ptr<float>(gSource, a), Ptr<std::int32_t>(gTarget, b), n, 1,
                                     0);
                               },
                               true},
                      CheckRow{"DoubleToInt32",
                               [](bool a, bool b, std::int32_t n) {
                                 return VectorConvertDoubleToInt32Scaled(
                                     Ptr<double>(gSource, a), Ptr<std::int32_t>(gTarget, b), n, 1,
                                     0);
                               },
                               true},
                      CheckRow{"MulConstant",
                               [](bool a, bool b, std::int32_t n) {
                                 return VectorMulConstantDouble(Ptr<double>(gSource, a), 2.0,
                                                                Ptr<double>(gTarget, b), n);
                               },
                               true},
                      CheckRow{"ClampAbove",
                               [](bool a, bool, std::int32_t n) {
                                 return VectorClampAboveInt32InPlace(Ptr<std::int32_t>(gTarget, a),
                                                                     n, 0);
                               },
                               false}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Integer offsets --------------------------------------------------------------

struct OffsetRow {
  const char* name;
  bool subtract;
  std::int32_t value, element, sf, expected;
};

TEST(OffsetTest, RoundingAndSaturationAtTheBounds) {
  const OffsetRow rows[] = {
      {"add_sf0_saturates_above", false, 1, kMax, 0, kMax},
      {"add_sf0_saturates_below", false, -1, kMin, 0, kMin},
      {"add_sf1_three_to_even", false, 0, 3, 1, 2},
      {"add_sf1_five_to_even", false, 0, 5, 1, 2},
      {"add_sf1_minus_three_to_even", false, 0, -3, 1, -2},
      {"add_sf33_zero", false, kMax, kMax, 33, 0},
      {"add_sfm31_saturates_up", false, 0, 1, -31, kMax},
      {"add_sfm31_saturates_down", false, 0, -1, -31, kMin},
      {"sub_sf0_min_element_saturates", true, 0, kMin, 0, kMax},
      {"sub_sf1_largest_difference_saturates", true, kMax, kMin, 1, kMax},
  };
  for (const OffsetRow& row : rows) {
    std::int32_t element[1] = {row.element};
    const PrimitiveStatus status =
        row.subtract ? VectorSubFromConstantInt32InPlaceScaled(row.value, element, 1, row.sf)
                     : VectorAddConstantInt32InPlaceScaled(row.value, element, 1, row.sf);
    EXPECT_EQ(status, StatusOk) << row.name;
    EXPECT_EQ(element[0], row.expected) << row.name;
  }
}

TEST(OffsetTest, MatchesExactArithmeticForEverySf) {
  const std::vector<std::int32_t> elements = SampleValues<std::int32_t>(40, 21);
  for (const std::int32_t value : {kMin, -7, 0, 1, 1000, kMax}) {
    for (std::int32_t sf = -70; sf <= 70; ++sf) {
      std::vector<std::int32_t> added = elements;
      std::vector<std::int32_t> subtracted = elements;
      const auto len = static_cast<std::int32_t>(elements.size());
      ASSERT_EQ(VectorAddConstantInt32InPlaceScaled(value, added.data(), len, sf), StatusOk);
      ASSERT_EQ(VectorSubFromConstantInt32InPlaceScaled(value, subtracted.data(), len, sf),
                StatusOk);
      for (std::size_t i = 0; i < elements.size(); ++i) {
        const std::int64_t x = elements[i];
        ASSERT_EQ(added[i], ScaledReference(x + value, sf, kMin, kMax))
            << x << " + " << value << " sf " << sf;
        ASSERT_EQ(subtracted[i], ScaledReference(value - x, sf, kMin, kMax))
            << value << " - " << x << " sf " << sf;
      }
    }
  }
}

// ---- Conversions to int32 ---------------------------------------------------------

struct ConvertRow {
  const char* name;
  double x;
  std::int32_t rndMode, sf, expected;
};

const ConvertRow kConvertRows[] = {
    {"half_to_even_down", 2.5, 1, 0, 2},
    {"half_to_even_up", 3.5, 1, 0, 4},
    {"minus_half_to_even", -2.5, 1, 0, -2},
    {"minus_three_and_a_half", -3.5, 1, 0, -4},
    {"below_half", 2.4999, 1, 0, 2},
    {"truncate_positive", 2.9, 0, 0, 2},
    {"truncate_negative", -2.9, 0, 0, -2},
    {"other_mode_truncates", 2.9, 7, 0, 2},
    {"max_saturates", 2147483647.0, 1, 0, kMax},
    {"above_max_saturates", 1e12, 0, 0, kMax},
    {"infinity_saturates", kInf, 1, 0, kMax},
    {"min_saturates", -2147483648.0, 1, 0, kMin},
    {"minus_infinity_saturates", -kInf, 0, 0, kMin},
    {"nan_is_min", kNaN, 1, 0, kMin},
    {"sf1_three_halves_to_even", 3.0, 1, 1, 2},
    {"sf1_three_halves_truncated", 3.0, 0, 1, 1},
    {"sfm2_multiplies", 3.0, 1, -2, 12},
    {"absurd_negative_sf_saturates", 1e-300, 1, kMin, kMax},
    {"absurd_negative_sf_keeps_zero", 0.0, 1, kMin, 0},
    {"absurd_positive_sf_is_zero", -1e300, 1, kMax, 0},
    {"huge_value_scaled_down_exactly", 0x1p1023, 1, 1023, 1},
    {"tiny_value_scaled_up_exactly", 0x1p-1074, 1, -1100, 67108864},
};

TEST(ConvertToInt32Test, DoubleExamples) {
  for (const ConvertRow& row : kConvertRows) {
    const double src[1] = {row.x};
    std::int32_t dst[1] = {12345};
    EXPECT_EQ(VectorConvertDoubleToInt32Scaled(src, dst, 1, row.rndMode, row.sf), StatusOk)
        << row.name;
    EXPECT_EQ(dst[0], row.expected) << row.name;
  }
}

TEST(ConvertToInt32Test, FloatExamples) {
  for (const ConvertRow& row : kConvertRows) {
    const auto f = static_cast<float>(row.x);
    if (static_cast<double>(f) != row.x && !std::isnan(row.x)) {
      continue;  // not representable as a float
    }
    const float src[1] = {f};
    std::int32_t dst[1] = {12345};
    EXPECT_EQ(VectorConvertFloatToInt32Scaled(src, dst, 1, row.rndMode, row.sf), StatusOk)
        << row.name;
    EXPECT_EQ(dst[0], row.expected) << row.name;
  }
}

// Random values of every magnitude against a reference that scales in long
// double and rounds with the C library, under a caller rounding mode that
// differs from both conversion modes.
TEST(ConvertToInt32Test, MatchesReferenceAndIgnoresTheCallersRoundingMode) {
  std::mt19937_64 rng(5);
  std::vector<double> values;
  for (int i = 0; i < 4000; ++i) {
    const double mantissa = std::uniform_real_distribution<double>(-2.0, 2.0)(rng);
    const int exponent = std::uniform_int_distribution<int>(-40, 40)(rng);
    values.push_back(std::ldexp(mantissa, exponent));
    values.push_back(std::round(std::ldexp(mantissa, 20)) + 0.5);  // exact halves
  }
  const int savedMode = std::fegetround();
  for (const int callerMode : {FE_UPWARD, FE_DOWNWARD}) {
    for (const std::int32_t sf : {-33, -5, -1, 0, 1, 3, 20, 40}) {
      for (const std::int32_t rndMode : {0, 1}) {
        std::vector<std::int32_t> out(values.size());
        std::fesetround(callerMode);
        const PrimitiveStatus status = VectorConvertDoubleToInt32Scaled(
            values.data(), out.data(), static_cast<std::int32_t>(values.size()), rndMode, sf);
        const int modeAfterCall = std::fegetround();
        std::fesetround(FE_TONEAREST);
        ASSERT_EQ(status, StatusOk);
        ASSERT_EQ(modeAfterCall, callerMode);  // the caller's mode is back
        for (std::size_t i = 0; i < values.size(); ++i) {
          const long double y = std::ldexp(static_cast<long double>(values[i]), -sf);
          std::int64_t expected;
          if (y >= 2147483647.0L) {
            expected = kMax;
          } else if (y <= -2147483648.0L) {
            expected = kMin;
          } else {
            expected = static_cast<std::int64_t>(rndMode == 1 ? std::nearbyint(y) : std::trunc(y));
          }
          ASSERT_EQ(out[i], expected) << values[i] << " sf " << sf << " mode " << rndMode;
        }
      }
    }
  }
  std::fesetround(savedMode);
}

// ---- Double to float ----------------------------------------------------------------

TEST(DoubleToFloatTest, ClipsToTheFloatRange) {
  const double src[7] = {1e300, -kInf, kNaN, kInf, 0.1, -3.0e38, 3.4028235677973366e+38};
  float dst[7];
  EXPECT_EQ(VectorConvertDoubleToFloat(src, dst, 7), StatusOk);
  EXPECT_EQ(dst[0], kFloatMax);
  EXPECT_EQ(dst[1], -kFloatMax);
  EXPECT_EQ(dst[2], -kFloatMax);
  EXPECT_EQ(dst[3], kFloatMax);
  EXPECT_EQ(dst[4], 0.1f);
  EXPECT_EQ(dst[5], -3.0e38f);
  EXPECT_EQ(dst[6], kFloatMax);  // above the largest float but rounding to infinity
}

// The scope's sequence inside one buffer: doubles to floats in place, then
// floats to int32 in place.
TEST(InPlaceConversionTest, DoubleToFloatToInt32InsideOneBuffer) {
  constexpr int kLen = 37;
  alignas(8) unsigned char buffer[kLen * sizeof(double)];
  for (int i = 0; i < kLen; ++i) {
    const double value = (i - 18) * 2.5 + (i == 5 ? 1e12 : 0.0);
    std::memcpy(buffer + i * sizeof(double), &value, sizeof value);
  }
  ASSERT_EQ(VectorConvertDoubleToFloat(reinterpret_cast<const double*>(buffer),
                                       reinterpret_cast<float*>(buffer), kLen),
            StatusOk);
  ASSERT_EQ(VectorConvertFloatToInt32Scaled(reinterpret_cast<const float*>(buffer),
                                            reinterpret_cast<std::int32_t*>(buffer), kLen, 1, 0),
            StatusOk);
  for (int i = 0; i < kLen; ++i) {
    std::int32_t pixel;
    std::memcpy(&pixel, buffer + i * sizeof(std::int32_t), sizeof pixel);
    const double exact = (i - 18) * 2.5;
    const std::int32_t expected = i == 5 ? kMax : static_cast<std::int32_t>(std::nearbyint(exact));
    EXPECT_EQ(pixel, expected) << i;
  }
}

TEST(InPlaceConversionTest, DoubleToInt32InsideOneBuffer) {
  double buffer[9] = {-4.5, -3.5, -0.5, 0.5, 1.5, 2.5, 1e10, -1e10, 7.0};
  const std::int32_t expected[9] = {-4, -4, 0, 0, 2, 2, kMax, kMin, 7};
  ASSERT_EQ(
      VectorConvertDoubleToInt32Scaled(buffer, reinterpret_cast<std::int32_t*>(buffer), 9, 1, 0),
      StatusOk);
  for (int i = 0; i < 9; ++i) {
    std::int32_t pixel;
    std::memcpy(&pixel, reinterpret_cast<unsigned char*>(buffer) + i * 4, 4);
    EXPECT_EQ(pixel, expected[i]) << i;
  }
}

// ---- Multiply by a constant, clamp ----------------------------------------------------

TEST(MulConstantTest, OneCopiesBitsAndZeroClearsWithoutReading) {
  const double src[4] = {kNaN, -kInf, -0.0, 3.0};
  double dst[4];
  EXPECT_EQ(VectorMulConstantDouble(src, 1.0, dst, 4), StatusOk);
  EXPECT_EQ(std::memcmp(src, dst, sizeof src), 0);
  EXPECT_EQ(VectorMulConstantDouble(src, -0.0, dst, 4), StatusOk);
  for (const double x : dst) {
    EXPECT_EQ(std::bit_cast<std::uint64_t>(x), 0u);
  }
  double same[3] = {1.5, -2.0, 4.0};
  EXPECT_EQ(VectorMulConstantDouble(same, 2.0, same, 3), StatusOk);
  EXPECT_EQ(same[0], 3.0);
  EXPECT_EQ(same[1], -4.0);
  EXPECT_EQ(same[2], 8.0);
}

TEST(ClampAboveTest, ReplacesOnlyLargerElements) {
  std::int32_t values[5] = {kMin, -1, 10, 11, kMax};
  EXPECT_EQ(VectorClampAboveInt32InPlace(values, 5, 10), StatusOk);
  const std::int32_t expected[5] = {kMin, -1, 10, 10, 10};
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(values[i], expected[i]);
  }
  EXPECT_EQ(VectorClampAboveInt32InPlace(values, 5, kMin), StatusOk);
  for (const std::int32_t v : values) {
    EXPECT_EQ(v, kMin);
  }
}

}  // namespace
