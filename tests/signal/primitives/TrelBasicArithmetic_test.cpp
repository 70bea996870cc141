// In-place vector arithmetic, called through the pointer variables.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <complex>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "signal/primitives/TrelBasicDispatcher.h"
#include "tests/signal/primitives/PrimitiveReference.h"

namespace {

using primitives_test::SampleValues;
using primitives_test::ScaledQuotientReference;
using primitives_test::ScaledReference;

constexpr std::int64_t kMin32 = std::numeric_limits<std::int32_t>::min();
constexpr std::int64_t kMax32 = std::numeric_limits<std::int32_t>::max();
constexpr std::uint64_t kDivisionNaN = 0xFFF8000000000000;

// ---- Argument checks ---------------------------------------------------------

// Calls one primitive on 16-byte elements (enough room for every element
// type) with src or srcDst possibly null.
using InPlaceCall = std::function<PrimitiveStatus(const void* src, void* srcDst, std::int32_t len)>;

struct CheckRow {
  const char* name;
  InPlaceCall call;
  bool lengthFirst;  // complex add and subtract check the count before the pointers
};

class InPlaceCheckTest : public ::testing::TestWithParam<CheckRow> {};

TEST_P(InPlaceCheckTest, PointersThenLengthAndNothingWritten) {
  const CheckRow& row = GetParam();
  alignas(16) unsigned char src[64] = {};
  alignas(16) unsigned char dst[64];
  std::fill(std::begin(dst), std::end(dst), 0x5A);
  struct Case {
    bool nullSrc, nullDst;
    std::int32_t len;
    PrimitiveStatus expected;
  };
  const PrimitiveStatus nullWithBadLength = row.lengthFirst ? StatusBadLength : StatusNullPointer;
  const Case cases[] = {
      {true, false, 0, nullWithBadLength}, {false, true, -1, nullWithBadLength},
      {true, false, 1, StatusNullPointer}, {false, true, 1, StatusNullPointer},
      {false, false, 0, StatusBadLength},  {false, false, -7, StatusBadLength},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(row.call(c.nullSrc ? nullptr : src, c.nullDst ? nullptr : dst, c.len), c.expected)
        << "nullSrc " << c.nullSrc << " nullDst " << c.nullDst << " len " << c.len;
  }
  for (const unsigned char byte : dst) {
    ASSERT_EQ(byte, 0x5A);
  }
}

template <typename T, typename P>
InPlaceCall Scaled(P& pointer) {
  return [&pointer](const void* s, void* d, std::int32_t len) {
    return pointer(static_cast<const T*>(s), static_cast<T*>(d), len, 0);
  };
}

template <typename T, typename P>
InPlaceCall Plain(P& pointer) {
  return [&pointer](const void* s, void* d, std::int32_t len) {
    return pointer(static_cast<const T*>(s), static_cast<T*>(d), len);
  };
}

using C = std::complex<double>;

INSTANTIATE_TEST_SUITE_P(
    Primitives, InPlaceCheckTest,
    ::testing::Values(
        CheckRow{"AddInt32", Scaled<std::int32_t>(VectorAddInt32InPlaceScaled), false},
        CheckRow{"SubInt32", Scaled<std::int32_t>(VectorSubInt32InPlaceScaled), false},
        CheckRow{"MulInt32", Scaled<std::int32_t>(VectorMulInt32InPlaceScaled), false},
        CheckRow{"DivInt32", Scaled<std::int32_t>(VectorDivInt32InPlaceScaled), false},
        CheckRow{"AddDouble", Plain<double>(VectorAddDoubleInPlace), false},
        CheckRow{"SubDouble", Plain<double>(VectorSubDoubleInPlace), false},
        CheckRow{"MulDouble", Plain<double>(VectorMulDoubleInPlace), false},
        CheckRow{"DivDouble", Plain<double>(VectorDivDoubleInPlace), false},
        CheckRow{"AddComplex", Plain<C>(VectorAddComplexInPlace), true},
        CheckRow{"SubComplex", Plain<C>(VectorSubComplexInPlace), true},
        CheckRow{"MulComplex", Plain<C>(VectorMulComplexInPlace), false},
        CheckRow{"DivComplex", Plain<C>(VectorDivComplexInPlace), false},
        CheckRow{"AddUInt8", Scaled<std::uint8_t>(VectorAddUInt8InPlaceScaled), false},
        CheckRow{"SubUInt8", Scaled<std::uint8_t>(VectorSubUInt8InPlaceScaled), false},
        CheckRow{"MulUInt8", Scaled<std::uint8_t>(VectorMulUInt8InPlaceScaled), false}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- int32 scaled add, subtract, multiply --------------------------------------

struct Int32Row {
  const char* name;
  std::int32_t srcDst, src, sf, expected;
};

// The examples that pin down rounding and saturation at the bounds.
const Int32Row kAddRows[] = {
    {"sf0_saturates_above", 2147483647, 1, 0, 2147483647},
    {"sf0_saturates_below", -2147483647 - 1, -1, 0, -2147483647 - 1},
    {"sf1_three_to_even", 2, 1, 1, 2},
    {"sf1_one_to_even", 1, 0, 1, 0},
    {"sf1_minus_one_to_even", -1, 0, 1, 0},
    {"sf1_minus_three_to_even", -2, -1, 1, -2},
    {"sf33_zero_even_for_min_sum", -2147483647 - 1, -2147483647 - 1, 33, 0},
    {"sf32_min_sum_is_minus_one", -2147483647 - 1, -2147483647 - 1, 32, -1},
    {"sfm31_one_saturates", 1, 0, -31, 2147483647},
    {"sfm31_minus_one_saturates", -1, 0, -31, -2147483647 - 1},
    {"sfm31_zero_stays", 0, 0, -31, 0},
    {"sfm30_one_shifts", 1, 0, -30, 1073741824},
};
const Int32Row kSubRows[] = {
    {"sf1_largest_difference_saturates", 2147483647, -2147483647 - 1, 1, 2147483647},
    {"sf0_saturates_below", -2147483647 - 1, 1, 0, -2147483647 - 1},
};
const Int32Row kMulRows[] = {
    {"sf0_saturates", 65536, 65536, 0, 2147483647},
    {"sf1_saturates", 65536, 65536, 1, 2147483647},
    {"sf2_fits", 65536, 65536, 2, 1073741824},
    {"sf63_zero_fills", 2147483647, 2147483647, 63, 0},
    {"sf62_largest_product_is_one", -2147483647 - 1, -2147483647 - 1, 62, 1},
    {"sfm31_clamps_before_shift", 3, -5, -31, -2147483647 - 1},
};

void ExpectInt32Row(PrimitivePointer<decltype(VectorAddInt32InPlaceScaledPortable)>& pointer,
                    const Int32Row& row) {
  const std::int32_t src[1] = {row.src};
  std::int32_t srcDst[1] = {row.srcDst};
  EXPECT_EQ(pointer(src, srcDst, 1, row.sf), StatusOk) << row.name;
  EXPECT_EQ(srcDst[0], row.expected) << row.name;
}

TEST(Int32ScaledTest, ExamplesAtTheBounds) {
  for (const Int32Row& row : kAddRows) {
    ExpectInt32Row(VectorAddInt32InPlaceScaled, row);
  }
  for (const Int32Row& row : kSubRows) {
    ExpectInt32Row(VectorSubInt32InPlaceScaled, row);
  }
  for (const Int32Row& row : kMulRows) {
    ExpectInt32Row(VectorMulInt32InPlaceScaled, row);
  }
}

// Every pair of a set of boundary and random values, for every scale factor
// from -70 to 70, against the exact reference.
struct Int32OpRow {
  const char* name;
  PrimitivePointer<decltype(VectorAddInt32InPlaceScaledPortable)>* pointer;
  std::function<std::int64_t(std::int64_t, std::int64_t)> exact;
};

class Int32ScaledReferenceTest : public ::testing::TestWithParam<Int32OpRow> {};

TEST_P(Int32ScaledReferenceTest, MatchesExactArithmeticForEverySf) {
  const Int32OpRow& row = GetParam();
  const std::vector<std::int32_t> values = SampleValues<std::int32_t>(26, 11);
  std::vector<std::int32_t> a;
  std::vector<std::int32_t> b;
  for (const std::int32_t x : values) {
    for (const std::int32_t y : values) {
      a.push_back(x);
      b.push_back(y);
    }
  }
  for (std::int32_t sf = -70; sf <= 70; ++sf) {
    std::vector<std::int32_t> result = a;
    ASSERT_EQ((*row.pointer)(b.data(), result.data(), static_cast<std::int32_t>(a.size()), sf),
              StatusOk);
    for (std::size_t i = 0; i < a.size(); ++i) {
      const std::int64_t expected = ScaledReference(row.exact(a[i], b[i]), sf, kMin32, kMax32);
      ASSERT_EQ(result[i], expected) << a[i] << " op " << b[i] << " sf " << sf;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Ops, Int32ScaledReferenceTest,
    ::testing::Values(Int32OpRow{"Add", &VectorAddInt32InPlaceScaled,
                                 [](std::int64_t d, std::int64_t s) { return d + s; }},
                      Int32OpRow{"Sub", &VectorSubInt32InPlaceScaled,
                                 [](std::int64_t d, std::int64_t s) { return d - s; }},
                      Int32OpRow{"Mul", &VectorMulInt32InPlaceScaled,
                                 [](std::int64_t d, std::int64_t s) { return d * s; }}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- int32 divide ------------------------------------------------------------------

TEST(Int32DivideTest, ExamplesRoundToEvenAndSaturate) {
  const Int32Row rows[] = {
      {"seven_halves_to_four", 7, 2, 0, 4},
      {"five_halves_to_two", 5, 2, 0, 2},
      {"minus_five_halves_to_minus_two", -5, 2, 0, -2},
      {"min_over_minus_one_saturates", -2147483647 - 1, -1, 0, 2147483647},
      {"sf1_five_to_two", 5, 1, 1, 2},
      {"sfm1_saturates", 2147483647, 1, -1, 2147483647},
      {"sf33_is_zero", 2147483647, 1, 33, 0},
      {"sfm63_one_saturates_up", 1, 2147483647, -63, 2147483647},
      {"sfm63_opposite_signs_saturate_down", -1, 5, -63, -2147483647 - 1},
      {"sfm63_zero_stays", 0, 5, -63, 0},
      {"sfm32_exact_small_quotient", 1, 2147483647, -32, 2},
  };
  for (const Int32Row& row : rows) {
    ExpectInt32Row(VectorDivInt32InPlaceScaled, row);
  }
}

TEST(Int32DivideTest, MatchesExactArithmeticForEverySf) {
  const std::vector<std::int32_t> values = SampleValues<std::int32_t>(26, 12);
  std::vector<std::int32_t> dividends;
  std::vector<std::int32_t> divisors;
  for (const std::int32_t x : values) {
    for (const std::int32_t y : values) {
      if (y != 0) {
        dividends.push_back(x);
        divisors.push_back(y);
      }
    }
  }
  for (std::int32_t sf = -70; sf <= 40; ++sf) {
    std::vector<std::int32_t> result = dividends;
    ASSERT_EQ(VectorDivInt32InPlaceScaled(divisors.data(), result.data(),
                                          static_cast<std::int32_t>(result.size()), sf),
              StatusOk);
    for (std::size_t i = 0; i < result.size(); ++i) {
      ASSERT_EQ(result[i], ScaledQuotientReference(dividends[i], divisors[i], sf, kMin32, kMax32))
          << dividends[i] << " / " << divisors[i] << " sf " << sf;
    }
  }
}

TEST(Int32DivideTest, ZeroDivisorsWarnAndEveryElementIsWritten) {
  for (const std::int32_t sf : {0, 40, -70}) {
    const std::int32_t divisors[5] = {2, 0, 0, 0, 3};
    std::int32_t values[5] = {8, 5, -5, 0, 9};
    EXPECT_EQ(VectorDivInt32InPlaceScaled(divisors, values, 5, sf), StatusZeroDivisor) << sf;
    EXPECT_EQ(values[1], 2147483647) << sf;
    EXPECT_EQ(values[2], -2147483647 - 1) << sf;
    EXPECT_EQ(values[3], 0) << sf;
    if (sf == 0) {
      EXPECT_EQ(values[0], 4);
      EXPECT_EQ(values[4], 3);
    }
  }
  const std::int32_t divisors[2] = {1, -1};
  std::int32_t values[2] = {4, 4};
  EXPECT_EQ(VectorDivInt32InPlaceScaled(divisors, values, 2, 0), StatusOk);
}

// ---- double and complex ---------------------------------------------------------

TEST(DoubleArithmeticTest, SameArrayAsSourceAndDestination) {
  const double inf = std::numeric_limits<double>::infinity();
  double values[4] = {1.5, -2.0, 1e308, inf};
  EXPECT_EQ(VectorAddDoubleInPlace(values, values, 4), StatusOk);
  EXPECT_EQ(values[0], 3.0);
  EXPECT_EQ(values[1], -4.0);
  EXPECT_EQ(values[2], inf);  // overflow gives the IEEE result
  double same[3] = {1.5, -2.0, 7.0};
  EXPECT_EQ(VectorSubDoubleInPlace(same, same, 3), StatusOk);
  for (const double v : same) {
    EXPECT_EQ(v, 0.0);
  }
  const double src[2] = {3.0, 0.5};
  double prod[2] = {2.0, 5.0};
  EXPECT_EQ(VectorMulDoubleInPlace(src, prod, 2), StatusOk);
  EXPECT_EQ(prod[0], 6.0);
  EXPECT_EQ(prod[1], 2.5);
}

struct DivRow {
  const char* name;
  double dividend, divisor;
  double expected;  // compared bit for bit unless expectNaN
  bool expectNaN;
  bool zeroDivisor;
};

TEST(DoubleDivideTest, ZeroAndNaNDivisors) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const DivRow rows[] = {
      {"one_over_zero", 1.0, 0.0, inf, false, true},
      {"minus_one_over_zero", -1.0, 0.0, -inf, false, true},
      {"one_over_minus_zero", 1.0, -0.0, inf, false, true},
      {"zero_over_zero_default_nan", 0.0, 0.0, std::bit_cast<double>(kDivisionNaN), false, true},
      {"nan_over_zero_stays_nan", nan, 0.0, 0, true, true},
      {"one_over_nan_is_nan", 1.0, nan, 0, true, false},
      {"plain_quotient", 1.0, 4.0, 0.25, false, false},
  };
  for (const DivRow& row : rows) {
    const double divisor[1] = {row.divisor};
    double value[1] = {row.dividend};
    EXPECT_EQ(VectorDivDoubleInPlace(divisor, value, 1),
              row.zeroDivisor ? StatusZeroDivisor : StatusOk)
        << row.name;
    if (row.expectNaN) {
      EXPECT_TRUE(std::isnan(value[0])) << row.name;
    } else {
      EXPECT_EQ(std::bit_cast<std::uint64_t>(value[0]), std::bit_cast<std::uint64_t>(row.expected))
          << row.name;
    }
  }
}

TEST(ComplexArithmeticTest, AddSubtractMultiply) {
  const C src[2] = {{3.0, 4.0}, {1e10, 1e10}};
  C values[2] = {{1.0, 2.0}, {1e300, 1e300}};
  C sum[2] = {values[0], values[1]};
  EXPECT_EQ(VectorAddComplexInPlace(src, sum, 1), StatusOk);
  EXPECT_EQ(sum[0], C(4.0, 6.0));
  EXPECT_EQ(sum[1], C(1e300, 1e300));  // only one element
  EXPECT_EQ(VectorSubComplexInPlace(src, sum, 1), StatusOk);
  EXPECT_EQ(sum[0], C(1.0, 2.0));
  EXPECT_EQ(VectorMulComplexInPlace(src, values, 2), StatusOk);
  EXPECT_EQ(values[0], C(-5.0, 10.0));
  // The products overflow double but not the extended intermediate: the real
  // part cancels to 0 instead of inf - inf.
  EXPECT_EQ(values[1].real(), 0.0);
  EXPECT_EQ(values[1].imag(), std::numeric_limits<double>::infinity());
}

TEST(ComplexArithmeticTest, DivideHandlesZeroAndExtremeDivisors) {
  const C divisors[4] = {{0.0, 0.0}, {1e200, 0.0}, {1e-200, 0.0}, {3.0, 4.0}};
  C values[4] = {{1.0, 1.0}, {1e200, 1e200}, {1e-200, 0.0}, {-5.0, 10.0}};
  EXPECT_EQ(VectorDivComplexInPlace(divisors, values, 4), StatusZeroDivisor);
  EXPECT_EQ(std::bit_cast<std::uint64_t>(values[0].real()), kDivisionNaN);
  EXPECT_EQ(std::bit_cast<std::uint64_t>(values[0].imag()), kDivisionNaN);
  EXPECT_EQ(values[1], C(1.0, 1.0));  // |b|^2 = 1e400 is no overflow
  EXPECT_EQ(values[2], C(1.0, 0.0));  // |b|^2 = 1e-400 is no zero divisor
  EXPECT_EQ(values[3], C(1.0, 2.0));
  const C nonZero[1] = {{0.0, 2.0}};
  C value[1] = {{0.0, 4.0}};
  EXPECT_EQ(VectorDivComplexInPlace(nonZero, value, 1), StatusOk);
  EXPECT_EQ(value[0], C(2.0, 0.0));
}

// A divisor whose squared magnitude is NaN is treated as a zero divisor: both
// parts take the division NaN and the call warns; an infinite magnitude is
// not a zero divisor.
TEST(ComplexArithmeticTest, DivideByNaNMagnitudeWarnsLikeZero) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const struct {
    const char* name;
    C dividend, divisor;
    bool zeroDivisor;
  } rows[] = {
      {"nan_real_part", {1.0, 1.0}, {nan, 1.0}, true},
      {"nan_imaginary_part", {1.0, 1.0}, {1.0, nan}, true},
      {"both_parts_nan", {1.0, 1.0}, {nan, nan}, true},
      {"infinite_beside_nan", {1.0, 1.0}, {inf, nan}, true},
      {"infinite_magnitude_is_no_zero_divisor", {1.0, 1.0}, {inf, 0.0}, false},
      {"nan_dividend_alone_is_no_zero_divisor", {nan, 1.0}, {2.0, 0.0}, false},
  };
  for (const auto& row : rows) {
    const C divisors[2] = {row.divisor, {0.0, 2.0}};
    C values[2] = {row.dividend, {0.0, 4.0}};
    EXPECT_EQ(VectorDivComplexInPlace(divisors, values, 2),
              row.zeroDivisor ? StatusZeroDivisor : StatusOk)
        << row.name;
    if (row.zeroDivisor) {
      EXPECT_EQ(std::bit_cast<std::uint64_t>(values[0].real()), kDivisionNaN) << row.name;
      EXPECT_EQ(std::bit_cast<std::uint64_t>(values[0].imag()), kDivisionNaN) << row.name;
    }
    EXPECT_EQ(values[1], C(2.0, 0.0)) << row.name;  // the next element is still divided
  }
}

// ---- uint8 scaled: exhaustive over all 65536 input pairs --------------------------

struct UInt8OpRow {
  const char* name;
  PrimitivePointer<decltype(VectorAddUInt8InPlaceScaledPortable)>* pointer;
  std::function<std::int64_t(std::int64_t, std::int64_t)> exact;
};

class UInt8ScaledTest : public ::testing::TestWithParam<UInt8OpRow> {};

TEST_P(UInt8ScaledTest, EveryPairAndSfMatchesExactArithmetic) {
  const UInt8OpRow& row = GetParam();
  std::vector<std::uint8_t> a(65536);
  std::vector<std::uint8_t> b(65536);
  for (int i = 0; i < 65536; ++i) {
    a[i] = static_cast<std::uint8_t>(i >> 8);
    b[i] = static_cast<std::uint8_t>(i & 0xFF);
  }
  for (std::int32_t sf = -10; sf <= 18; ++sf) {
    std::vector<std::uint8_t> result = a;
    ASSERT_EQ((*row.pointer)(b.data(), result.data(), 65536, sf), StatusOk);
    for (int i = 0; i < 65536; ++i) {
      ASSERT_EQ(result[i], ScaledReference(row.exact(a[i], b[i]), sf, 0, 255))
          << int{a[i]} << " op " << int{b[i]} << " sf " << sf;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Ops, UInt8ScaledTest,
    ::testing::Values(UInt8OpRow{"Add", &VectorAddUInt8InPlaceScaled,
                                 [](std::int64_t d, std::int64_t s) { return d + s; }},
                      UInt8OpRow{"Sub", &VectorSubUInt8InPlaceScaled,
                                 [](std::int64_t d, std::int64_t s) { return d > s ? d - s : 0; }},
                      UInt8OpRow{"Mul", &VectorMulUInt8InPlaceScaled,
                                 [](std::int64_t d, std::int64_t s) { return d * s; }}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
