// Copy, fill, zero-fill, minimum and maximum, chirp and conversion, called
// through the pointer variables.
#include "signal/primitives/TrelBasicDispatcher.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <complex>
#include <functional>
#include <limits>
#include <numbers>
#include <numeric>
#include <string>
#include <vector>

namespace {

using C = std::complex<double>;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

std::uint64_t Bits(double x) {
  return std::bit_cast<std::uint64_t>(x);
}

// ---- Argument checks: pointers in order, then the count, then the magnitude ----

using Call = std::function<PrimitiveStatus(bool nullFirst, bool nullSecond, std::int32_t len)>;

struct CheckRow {
  const char* name;
  Call call;
  bool hasSecondPointer;
};

class DataCheckTest : public ::testing::TestWithParam<CheckRow> {};

alignas(16) unsigned char gSource[64];
alignas(16) unsigned char gTarget[64];

template <typename T>
T* Ptr(unsigned char* area, bool null) {
  return null ? nullptr : reinterpret_cast<T*>(area);
}

TEST_P(DataCheckTest, PointersThenLengthAndNothingWritten) {
  const CheckRow& row = GetParam();
  std::fill(std::begin(gTarget), std::end(gTarget), 0x5A);
  EXPECT_EQ(row.call(true, false, 0), StatusNullPointer);
  EXPECT_EQ(row.call(false, false, 0), StatusBadLength);
  EXPECT_EQ(row.call(false, false, -1), StatusBadLength);
  if (row.hasSecondPointer) {
    EXPECT_EQ(row.call(false, true, 0), StatusNullPointer);
    EXPECT_EQ(row.call(false, true, 1), StatusNullPointer);
  }
  for (const unsigned char byte : gTarget) {
    ASSERT_EQ(byte, 0x5A);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Primitives, DataCheckTest,
    ::testing::Values(
        CheckRow{"CopyDouble",
                 [](bool a, bool b, std::int32_t n) {
                   return VectorCopyDouble(Ptr<double>(gSource, a), Ptr<double>(gTarget, b), n);
                 },
                 true},
        CheckRow{"CopyUInt8",
                 [](bool a, bool b, std::int32_t n) {
                   return VectorCopyUInt8(Ptr<std::uint8_t>(gSource, a),
                                          Ptr<std::uint8_t>(gTarget, b), n);
                 },
                 true},
        CheckRow{"SetInt32",
                 [](bool a, bool, std::int32_t n) {
                   return VectorSetInt32(1, Ptr<std::int32_t>(gTarget, a), n);
                 },
                 false},
        CheckRow{"SetDouble",
                 [](bool a, bool, std::int32_t n) {
                   return VectorSetDouble(1.0, Ptr<double>(gTarget, a), n);
                 },
                 false},
        CheckRow{"SetComplex",
                 [](bool a, bool, std::int32_t n) {
                   return VectorSetComplex(1.0, 2.0, Ptr<C>(gTarget, a), n);
                 },
                 false},
        CheckRow{"SetUInt8",
                 [](bool a, bool, std::int32_t n) {
                   return VectorSetUInt8(1, Ptr<std::uint8_t>(gTarget, a), n);
                 },
                 false},
        CheckRow{"ZeroInt16",
                 [](bool a, bool, std::int32_t n) {
                   return VectorZeroInt16(Ptr<std::int16_t>(gTarget, a), n);
                 },
                 false},
        CheckRow{"ZeroInt32",
                 [](bool a, bool, std::int32_t n) {
                   return VectorZeroInt32(Ptr<std::int32_t>(gTarget, a), n);
                 },
                 false},
        CheckRow{"ZeroDouble",
                 [](bool a, bool, std::int32_t n) {
                   return VectorZeroDouble(Ptr<double>(gTarget, a), n);
                 },
                 false},
        CheckRow{
            "ZeroComplex",
            [](bool a, bool, std::int32_t n) { return VectorZeroComplex(Ptr<C>(gTarget, a), n); },
            false},
        CheckRow{"ZeroUInt8",
                 [](bool a, bool, std::int32_t n) {
                   return VectorZeroUInt8(Ptr<std::uint8_t>(gTarget, a), n);
                 },
                 false},
        CheckRow{"MaxDouble",
                 [](bool a, bool b, std::int32_t n) {
                   return VectorMaxDouble(Ptr<double>(gSource, a), n, Ptr<double>(gTarget, b));
                 },
                 true},
        CheckRow{"MinDouble",
                 [](bool a, bool b, std::int32_t n) {
                   return VectorMinDouble(Ptr<double>(gSource, a), n, Ptr<double>(gTarget, b));
                 },
                 true},
        CheckRow{"ChirpDouble",
                 [](bool a, bool, std::int32_t n) {
                   return VectorChirpDouble(Ptr<double>(gTarget, a), n, -1.0);
                 },
                 false},
        CheckRow{"ConvertInt32ToDouble",
                 [](bool a, bool b, std::int32_t n) {
                   return VectorConvertInt32ToDouble(Ptr<std::int32_t>(gSource, a),
                                                     Ptr<double>(gTarget, b), n);
                 },
                 true}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Copy ------------------------------------------------------------------------

TEST(CopyTest, LeftShiftInsideOneBufferAndCopyOntoItself) {
  for (const std::int32_t len : {1, 3, 4, 5, 17, 64, 1000}) {
    std::vector<double> buffer(static_cast<std::size_t>(len) + 1);
    std::iota(buffer.begin(), buffer.end(), 0.0);
    EXPECT_EQ(VectorCopyDouble(buffer.data() + 1, buffer.data(), len), StatusOk);
    for (std::int32_t i = 0; i < len; ++i) {
      ASSERT_EQ(buffer[i], i + 1.0) << "len " << len << " element " << i;
    }
    EXPECT_EQ(buffer[len], static_cast<double>(len));
    std::vector<double> before = buffer;
    EXPECT_EQ(VectorCopyDouble(buffer.data(), buffer.data(), len), StatusOk);
    EXPECT_EQ(buffer, before);
  }
}

TEST(CopyTest, BytesToAnOddAddressCopyExactlyTheCount) {
  std::uint8_t src[37];
  std::iota(std::begin(src), std::end(src), 1);
  std::uint8_t dst[48];
  std::fill(std::begin(dst), std::end(dst), 0xEE);
  EXPECT_EQ(VectorCopyUInt8(src, dst + 1, 37), StatusOk);
  EXPECT_EQ(dst[0], 0xEE);
  for (int i = 0; i < 37; ++i) {
    EXPECT_EQ(dst[1 + i], i + 1);
  }
  EXPECT_EQ(dst[38], 0xEE);
}

// ---- Fill and zero-fill -------------------------------------------------------------

TEST(FillTest, DoubleAndComplexFillsKeepBitPatterns) {
  const double signalling = std::bit_cast<double>(std::uint64_t{0x7FF4000000000123});
  for (const double value : {-0.0, kNaN, signalling}) {
    double dst[7];
    EXPECT_EQ(VectorSetDouble(value, dst, 7), StatusOk);
    for (const double x : dst) {
      EXPECT_EQ(Bits(x), Bits(value));
    }
  }
  C complex[5];
  EXPECT_EQ(VectorSetComplex(-0.0, kNaN, complex, 5), StatusOk);
  for (const C& z : complex) {
    EXPECT_EQ(Bits(z.real()), Bits(-0.0));
    EXPECT_EQ(Bits(z.imag()), Bits(kNaN));
  }
}

TEST(FillTest, IntegerFillsWriteExactlyLenElements) {
  for (const std::int32_t len : {1, 7, 8, 9, 33}) {
    std::vector<std::int32_t> words(40, -1);
    EXPECT_EQ(VectorSetInt32(123456, words.data(), len), StatusOk);
    std::vector<std::uint8_t> bytes(40, 0);
    EXPECT_EQ(VectorSetUInt8(0xAB, bytes.data() + 1, len), StatusOk);
    for (std::int32_t i = 0; i < 40; ++i) {
      EXPECT_EQ(words[i], i < len ? 123456 : -1) << len;
      EXPECT_EQ(bytes[i], i >= 1 && i <= len ? 0xAB : 0) << len;
    }
  }
}

TEST(ZeroTest, EveryTypeZeroesExactlyLenElements) {
  std::int16_t shorts[5] = {1, 2, 3, 4, 5};
  std::int32_t ints[5] = {1, 2, 3, 4, 5};
  double doubles[5] = {-0.0, kNaN, 1.0, 2.0, 3.0};
  C complex[3] = {{-0.0, 1.0}, {2.0, 3.0}, {4.0, 5.0}};
  std::uint8_t bytes[5] = {1, 2, 3, 4, 5};
  EXPECT_EQ(VectorZeroInt16(shorts, 4), StatusOk);
  EXPECT_EQ(VectorZeroInt32(ints, 4), StatusOk);
  EXPECT_EQ(VectorZeroDouble(doubles, 4), StatusOk);
  EXPECT_EQ(VectorZeroComplex(complex, 2), StatusOk);
  EXPECT_EQ(VectorZeroUInt8(bytes, 4), StatusOk);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(shorts[i], 0);
    EXPECT_EQ(ints[i], 0);
    EXPECT_EQ(Bits(doubles[i]), 0u);  // -0.0 and NaN become +0.0
    EXPECT_EQ(bytes[i], 0);
  }
  EXPECT_EQ(shorts[4], 5);
  EXPECT_EQ(ints[4], 5);
  EXPECT_EQ(doubles[4], 3.0);
  EXPECT_EQ(bytes[4], 5);
  EXPECT_EQ(Bits(complex[0].real()), 0u);
  EXPECT_EQ(complex[1], C(0.0, 0.0));
  EXPECT_EQ(complex[2], C(4.0, 5.0));
}

// ---- Minimum and maximum --------------------------------------------------------------

struct ExtremeRow {
  const char* name;
  std::vector<double> values;
  double max;
  double min;
};

class ExtremeTest : public ::testing::TestWithParam<ExtremeRow> {};

TEST_P(ExtremeTest, SkipsNaNAndKeepsTheFirstOfEqualValues) {
  const ExtremeRow& row = GetParam();
  double max = 99.0;
  double min = 99.0;
  const auto len = static_cast<std::int32_t>(row.values.size());
  EXPECT_EQ(VectorMaxDouble(row.values.data(), len, &max), StatusOk);
  EXPECT_EQ(VectorMinDouble(row.values.data(), len, &min), StatusOk);
  if (std::isnan(row.max)) {
    EXPECT_TRUE(std::isnan(max));
    EXPECT_TRUE(std::isnan(min));
  } else {
    EXPECT_EQ(Bits(max), Bits(row.max));
    EXPECT_EQ(Bits(min), Bits(row.min));
  }
}

std::vector<double> LongWithNaNs() {
  std::vector<double> v(1001);
  for (std::size_t i = 0; i < v.size(); ++i) {
    v[i] = (i % 7 == 3) ? kNaN : std::sin(static_cast<double>(i)) * 10.0;
  }
  v[500] = 12.5;
  v[777] = -12.5;
  return v;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ExtremeTest,
    ::testing::Values(ExtremeRow{"single", {4.0}, 4.0, 4.0},
                      ExtremeRow{"nan_in_the_middle", {1.0, kNaN, 3.0}, 3.0, 1.0},
                      ExtremeRow{"nan_first", {kNaN, 1.0, 3.0}, 3.0, 1.0},
                      ExtremeRow{"nan_last", {1.0, kNaN}, 1.0, 1.0},
                      ExtremeRow{"nan_then_five", {kNaN, 5.0}, 5.0, 5.0},
                      ExtremeRow{"all_nan", {kNaN, kNaN, kNaN}, kNaN, kNaN},
                      ExtremeRow{"plus_zero_first", {+0.0, -0.0}, +0.0, +0.0},
                      ExtremeRow{"minus_zero_first", {-0.0, +0.0}, -0.0, -0.0},
                      ExtremeRow{"zeros_after_lanes",
                                 {1.0, -1.0, 2.0, -3.0, -0.0, -3.0, 0.0, -0.0, 0.0, -0.0},
                                 2.0,
                                 -3.0},
                      ExtremeRow{"zero_max_found_in_another_lane",
                                 {-1.0, -2.0, -0.0, -3.0, -4.0, 0.0, -1.0, -1.0, -1.0},
                                 -0.0,
                                 -4.0},
                      ExtremeRow{"infinities",
                                 {1.0, -std::numeric_limits<double>::infinity(),
                                  std::numeric_limits<double>::infinity(), kNaN},
                                 std::numeric_limits<double>::infinity(),
                                 -std::numeric_limits<double>::infinity()},
                      ExtremeRow{"long_with_nans", LongWithNaNs(), 12.5, -12.5}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Chirp and conversion -------------------------------------------------------------

TEST(ChirpTest, FirstValuesAndMagnitudeRules) {
  double four[4];
  ASSERT_EQ(VectorChirpDouble(four, 4, 1.0), StatusOk);
  EXPECT_EQ(four[0], 0.0);
  EXPECT_NEAR(four[1], std::sin(std::numbers::pi / 8), 1e-15);
  EXPECT_NEAR(four[2], 1.0, 1e-15);
  EXPECT_NEAR(four[3], std::sin(9 * std::numbers::pi / 8), 1e-15);

  double one[1] = {5.0};
  EXPECT_EQ(VectorChirpDouble(one, 1, 3.0), StatusOk);
  EXPECT_EQ(one[0], 0.0);

  double scaled[8];
  EXPECT_EQ(VectorChirpDouble(scaled, 8, -0.0), StatusOk);  // -0.0 is not negative
  EXPECT_EQ(VectorChirpDouble(scaled, 8, 2.5), StatusOk);
  for (int n = 0; n < 8; ++n) {
    EXPECT_NEAR(scaled[n], 2.5 * std::sin(std::numbers::pi * n * n / 16.0), 1e-14) << n;
  }

  double untouched[3] = {7.0, 7.0, 7.0};
  EXPECT_EQ(VectorChirpDouble(untouched, 3, -1.0), StatusNegativeMagnitude);
  EXPECT_EQ(untouched[0], 7.0);
  EXPECT_EQ(VectorChirpDouble(untouched, 3, kNaN), StatusOk);  // NaN is not negative
}

TEST(ConvertInt32ToDoubleTest, ExactForTheWholeRange) {
  const std::int32_t src[5] = {std::numeric_limits<std::int32_t>::min(), -1, 0, 1,
                               std::numeric_limits<std::int32_t>::max()};
  double dst[5];
  EXPECT_EQ(VectorConvertInt32ToDouble(src, dst, 5), StatusOk);
  EXPECT_EQ(dst[0], -2147483648.0);
  EXPECT_EQ(dst[1], -1.0);
  EXPECT_EQ(dst[2], 0.0);
  EXPECT_EQ(dst[3], 1.0);
  EXPECT_EQ(dst[4], 2147483647.0);
}

}  // namespace
