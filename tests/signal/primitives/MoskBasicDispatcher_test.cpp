// 16-bit block arithmetic, the 16-bit division and the 16-bit fills, called
// through the pointer variables.
#include "signal/primitives/MoskBasicDispatcher.h"

#include <gtest/gtest.h>

#include <cfenv>
#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "signal/primitives/PortableKernels.h"
#include "tests/signal/primitives/PrimitiveReference.h"

namespace {

using primitives_test::SampleValues;
using primitives_test::ScaledQuotientReference;
using primitives_test::ScaledReference;

using BlockOp = PrimitivePointer<decltype(RoiAddInt16InPlaceScaledPortable)>;

// A block of int16 samples stored at an odd byte offset inside a byte buffer
// with guard bytes, rows `step` bytes apart, as one channel of interleaved
// 24-bit-aligned audio would lie.
class Int16Block {
 public:
  Int16Block(std::int32_t width, std::int32_t height, std::int32_t step, std::int32_t offset = 1)
      : width_(width),
        height_(height),
        step_(step),
        offset_(offset),
        bytes_(static_cast<std::size_t>(offset + step * height + 2 * width + 8), 0xEE) {}

  std::int16_t* data() { return reinterpret_cast<std::int16_t*>(bytes_.data() + offset_); }
  std::int32_t step() const { return step_; }
  std::int16_t Get(std::int32_t row, std::int32_t column) const {
    std::int16_t v;
    std::memcpy(&v, bytes_.data() + offset_ + row * step_ + column * 2, 2);
    return v;
  }
  void Set(std::int32_t row, std::int32_t column, std::int16_t v) {
    std::memcpy(bytes_.data() + offset_ + row * step_ + column * 2, &v, 2);
  }
  // Bytes outside the block's elements still hold the guard value.
  bool GuardsIntact() const {
    std::vector<bool> inside(bytes_.size(), false);
    for (std::int32_t r = 0; r < height_; ++r) {
      for (std::int32_t c = 0; c < width_ * 2; ++c) {
        inside[static_cast<std::size_t>(offset_ + r * step_ + c)] = true;
      }
    }
    for (std::size_t i = 0; i < bytes_.size(); ++i) {
      if (!inside[i] && bytes_[i] != 0xEE) {
        return false;
      }
    }
    return true;
  }
  const std::vector<unsigned char>& bytes() const { return bytes_; }

 private:
  std::int32_t width_, height_, step_, offset_;
  std::vector<unsigned char> bytes_;
};

// ---- Argument checks --------------------------------------------------------------

struct BlockCheckRow {
  const char* name;
  BlockOp* op;
  bool checksSteps;  // the division checks its steps
};

class BlockCheckTest : public ::testing::TestWithParam<BlockCheckRow> {};

TEST_P(BlockCheckTest, PointersThenSizesThenStepsAndNothingWritten) {
  const BlockCheckRow& row = GetParam();
  std::int16_t src[8] = {1, 1, 1, 1, 1, 1, 1, 1};
  std::int16_t dst[8] = {9, 9, 9, 9, 9, 9, 9, 9};
  BlockOp& op = *row.op;
  EXPECT_EQ(op(nullptr, 4, dst, 4, 0, 0, 0), StatusNullPointer);
  EXPECT_EQ(op(src, 4, nullptr, 4, 2, 2, 0), StatusNullPointer);
  EXPECT_EQ(op(src, 4, dst, 4, 0, 2, 0), StatusBadLength);
  EXPECT_EQ(op(src, 4, dst, 4, 2, -1, 0), StatusBadLength);
  EXPECT_EQ(op(src, 4, dst, 0, 0, 2, 0), StatusBadLength);  // sizes before steps
  if (row.checksSteps) {
    EXPECT_EQ(op(src, 0, dst, 4, 2, 2, 0), StatusBadStep);
    EXPECT_EQ(op(src, 4, dst, -4, 2, 2, 0), StatusBadStep);
  }
  for (const std::int16_t v : dst) {
    EXPECT_EQ(v, 9);
  }
}

INSTANTIATE_TEST_SUITE_P(Primitives, BlockCheckTest,
                         ::testing::Values(BlockCheckRow{"Add", &RoiAddInt16InPlaceScaled, false},
                                           BlockCheckRow{"Sub", &RoiSubInt16InPlaceScaled, false},
                                           BlockCheckRow{"Mul", &RoiMulInt16InPlaceScaled, false},
                                           BlockCheckRow{"Div", &RoiDivInt16InPlaceScaled, true}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- Add, subtract, multiply ----------------------------------------------------------

struct Int16Row {
  const char* name;
  BlockOp* op;
  std::int16_t srcDst, src;
  std::int32_t sf;
  std::int16_t expected;
};

TEST(Int16BlockTest, ExamplesAtTheBounds) {
  const Int16Row rows[] = {
      {"add_sf0_saturates_up", &RoiAddInt16InPlaceScaled, 20000, 20000, 0, 32767},
      {"add_sf0_saturates_down", &RoiAddInt16InPlaceScaled, -20000, -20000, 0, -32768},
      {"add_sf1_three_halves_to_even", &RoiAddInt16InPlaceScaled, 1, 2, 1, 2},
      {"add_sf1_five_halves_to_even", &RoiAddInt16InPlaceScaled, 2, 3, 1, 2},
      {"add_sf1_minus_three_halves", &RoiAddInt16InPlaceScaled, -1, -2, 1, -2},
      {"add_sfm15_saturates", &RoiAddInt16InPlaceScaled, 1, 0, -15, 32767},
      {"add_sfm16_saturates", &RoiAddInt16InPlaceScaled, 1, 0, -16, 32767},
      {"sub_sf1_largest_difference", &RoiSubInt16InPlaceScaled, 32767, -32768, 1, 32767},
      {"mul_sf0_saturates", &RoiMulInt16InPlaceScaled, 300, 300, 0, 32767},
      {"mul_sf15_rounds", &RoiMulInt16InPlaceScaled, 16384, 2, 15, 1},
      {"mul_sf30_largest_product", &RoiMulInt16InPlaceScaled, -32768, -32768, 30, 1},
      {"mul_sf31_zero_fills", &RoiMulInt16InPlaceScaled, -32768, -32768, 31, 0},
  };
  for (const Int16Row& row : rows) {
    const std::int16_t src[1] = {row.src};
    std::int16_t srcDst[1] = {row.srcDst};
    EXPECT_EQ((*row.op)(src, 2, srcDst, 2, 1, 1, row.sf), StatusOk) << row.name;
    EXPECT_EQ(srcDst[0], row.expected) << row.name;
  }
}

struct Int16OpRow {
  const char* name;
  BlockOp* op;
  std::function<std::int64_t(std::int64_t, std::int64_t)> exact;
};

class Int16ReferenceTest : public ::testing::TestWithParam<Int16OpRow> {};

// All pairs of boundary and random samples, laid out as two-row blocks at
// odd addresses with gaps between rows, for every sf from -20 to 34.
TEST_P(Int16ReferenceTest, MatchesExactArithmeticForEverySf) {
  const Int16OpRow& row = GetParam();
  const std::vector<std::int16_t> values = SampleValues<std::int16_t>(50, 31);
  const auto n = static_cast<std::int32_t>(values.size());
  for (std::int32_t sf = -20; sf <= 34; ++sf) {
    Int16Block src(n, n, 2 * n + 6, 3);
    Int16Block dst(n, n, 2 * n + 10, 1);
    for (std::int32_t r = 0; r < n; ++r) {
      for (std::int32_t c = 0; c < n; ++c) {
        dst.Set(r, c, values[r]);
        src.Set(r, c, values[c]);
      }
    }
    ASSERT_EQ((*row.op)(src.data(), src.step(), dst.data(), dst.step(), n, n, sf), StatusOk);
    for (std::int32_t r = 0; r < n; ++r) {
      for (std::int32_t c = 0; c < n; ++c) {
        ASSERT_EQ(dst.Get(r, c),
                  ScaledReference(row.exact(values[r], values[c]), sf, -32768, 32767))
            << values[r] << " op " << values[c] << " sf " << sf;
      }
    }
    ASSERT_TRUE(dst.GuardsIntact()) << sf;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Ops, Int16ReferenceTest,
    ::testing::Values(Int16OpRow{"Add", &RoiAddInt16InPlaceScaled,
                                 [](std::int64_t d, std::int64_t s) { return d + s; }},
                      Int16OpRow{"Sub", &RoiSubInt16InPlaceScaled,
                                 [](std::int64_t d, std::int64_t s) { return d - s; }},
                      Int16OpRow{"Mul", &RoiMulInt16InPlaceScaled,
                                 [](std::int64_t d, std::int64_t s) { return d * s; }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Int16BlockTest, ZeroFillChecksTheStepOnlyWhenItZeroFills) {
  std::int16_t src[4] = {1, 2, 3, 4};
  std::int16_t dst[4] = {5, 6, 7, 8};
  EXPECT_EQ(RoiAddInt16InPlaceScaled(src, 4, dst, 0, 2, 2, 17), StatusBadStep);
  EXPECT_EQ(dst[0], 5);
  // sf 0 accepts step 0: both rows reuse the same memory.
  EXPECT_EQ(RoiAddInt16InPlaceScaled(src, 0, dst, 0, 2, 2, 0), StatusOk);
  EXPECT_EQ(dst[0], 7);   // 5 + 1 + 1
  EXPECT_EQ(dst[1], 10);  // 6 + 2 + 2
  EXPECT_EQ(dst[2], 7);
  EXPECT_EQ(RoiAddInt16InPlaceScaled(src, 4, dst, 4, 2, 2, 17), StatusOk);
  for (const std::int16_t v : dst) {
    EXPECT_EQ(v, 0);
  }
}

// ---- Division ------------------------------------------------------------------------

TEST(Int16DivideTest, ExamplesRoundToEvenAndSaturate) {
  struct Row {
    const char* name;
    std::int16_t dividend, divisor;
    std::int32_t sf;
    std::int16_t expected;
  };
  const Row rows[] = {
      {"seven_halves", 7, 2, 0, 4},
      {"five_halves", 5, 2, 0, 2},
      {"minus_five_halves", -5, 2, 0, -2},
      {"minus_seven_halves", -7, 2, 0, -4},
      {"one_half", 1, 2, 0, 0},
      {"three_halves", 3, 2, 0, 2},
      {"min_over_minus_one", -32768, -1, 0, 32767},
      {"min_over_one", -32768, 1, 0, -32768},
      {"max_over_minus_one", 32767, -1, 0, -32767},
      {"sf1_seven", 7, 1, 1, 4},
      {"sf1_five", 5, 1, 1, 2},
      {"sf1_three", 3, 1, 1, 2},
      {"sfm1_saturates_up", 20000, 1, -1, 32767},
      {"sfm1_saturates_down", -20000, 1, -1, -32768},
      {"sfm1_three_halves_doubled", 3, 2, -1, 3},
      {"sf16_half_to_even", -32768, -1, 16, 0},
      {"sf100_zero", 32767, 1, 100, 0},
      {"sfm100_saturates", 1, 32767, -100, 32767},
      {"sfm100_zero_stays", 0, 3, -100, 0},
      {"close_to_a_half", 16384, 32767, 0, 1},
  };
  for (const Row& row : rows) {
    const std::int16_t divisor[1] = {row.divisor};
    std::int16_t value[1] = {row.dividend};
    EXPECT_EQ(RoiDivInt16InPlaceScaled(divisor, 2, value, 2, 1, 1, row.sf), StatusOk) << row.name;
    EXPECT_EQ(value[0], row.expected) << row.name;
  }
}

// Every dividend against a set of divisors, for the scale factors at and
// around each boundary of the computation.
TEST(Int16DivideTest, EveryDividendMatchesExactArithmetic) {
  const std::int16_t divisors[] = {1,      -1,    2,      -2,     3,     -3,     7,     255,
                                   257,    -257,  1000,   4097,   -4099, 16383,  16384, 16385,
                                   -16384, 32767, -32767, -32768, 12345, -23456, 5,     -9};
  std::vector<std::int16_t> dividends(65536);
  for (int i = 0; i < 65536; ++i) {
    dividends[i] = static_cast<std::int16_t>(i - 32768);
  }
  for (const std::int32_t sf : {-40, -31, -30, -17, -16, -15, -8, -1, 0, 1, 2, 7, 14, 15, 16, 17}) {
    for (const std::int16_t d : divisors) {
      std::vector<std::int16_t> divisorRow(65536, d);
      std::vector<std::int16_t> result = dividends;
      ASSERT_EQ(RoiDivInt16Scaled(divisorRow.data(), 2 * 65536, dividends.data(), 2 * 65536,
                                  result.data(), 2 * 65536, 65536, 1, sf),
                StatusOk);
      for (int i = 0; i < 65536; ++i) {
        ASSERT_EQ(result[i], ScaledQuotientReference(dividends[i], d, sf, -32768, 32767))
            << dividends[i] << " / " << d << " sf " << sf;
      }
    }
  }
}

TEST(Int16DivideTest, IgnoresAndKeepsTheCallersRoundingMode) {
  const std::int16_t divisors[6] = {2, 2, 2, 2, 32767, 3};
  const std::int16_t dividends[6] = {5, 7, -5, -7, 16384, -1};
  const std::int16_t expected[6] = {2, 4, -2, -4, 1, 0};
  const int savedMode = std::fegetround();
  for (const int callerMode : {FE_UPWARD, FE_DOWNWARD, FE_TOWARDZERO}) {
    std::int16_t values[6];
    std::copy(std::begin(dividends), std::end(dividends), values);
    std::fesetround(callerMode);
    const PrimitiveStatus status = RoiDivInt16InPlaceScaled(divisors, 12, values, 12, 6, 1, 0);
    const int modeAfterCall = std::fegetround();
    std::fesetround(savedMode);
    EXPECT_EQ(status, StatusOk);
    EXPECT_EQ(modeAfterCall, callerMode);
    for (int i = 0; i < 6; ++i) {
      EXPECT_EQ(values[i], expected[i]) << dividends[i] << " / " << divisors[i];
    }
  }
}

TEST(Int16DivideTest, ZeroDivisorsWarnWhileEveryOtherSampleIsDivided) {
  // Three rows; the zero divisors lie in the last row only.
  Int16Block divisors(3, 3, 8);
  Int16Block values(3, 3, 10, 3);
  const std::int16_t dividendRows[3][3] = {{8, -9, 10}, {1, 2, 3}, {5, -5, 0}};
  const std::int16_t divisorRows[3][3] = {{2, 3, -4}, {1, 1, 2}, {0, 0, 0}};
  const std::int16_t expected[3][3] = {{4, -3, -2}, {1, 2, 2}, {32767, -32768, 0}};
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 3; ++c) {
      values.Set(r, c, dividendRows[r][c]);
      divisors.Set(r, c, divisorRows[r][c]);
    }
  }
  EXPECT_EQ(RoiDivInt16InPlaceScaled(divisors.data(), divisors.step(), values.data(), values.step(),
                                     3, 3, 0),
            StatusZeroDivisor);
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 3; ++c) {
      EXPECT_EQ(values.Get(r, c), expected[r][c]) << r << "," << c;
    }
  }
  EXPECT_TRUE(values.GuardsIntact());
  // Without zero divisors the status is 0.
  EXPECT_EQ(RoiDivInt16InPlaceScaled(divisors.data(), divisors.step(), values.data(), values.step(),
                                     3, 2, 0),
            StatusOk);
}

TEST(Int16DivideTest, CheckedDivisionChecksInOrder) {
  std::int16_t a[2] = {1, 1};
  std::int16_t b[2] = {1, 1};
  std::int16_t c[2] = {7, 7};
  EXPECT_EQ(RoiDivInt16Scaled(nullptr, 2, a, 2, c, 2, 1, 0, 0), StatusNullPointer);
  EXPECT_EQ(RoiDivInt16Scaled(a, 2, nullptr, 2, c, 2, 1, 1, 0), StatusNullPointer);
  EXPECT_EQ(RoiDivInt16Scaled(a, 2, b, 2, nullptr, 2, 1, 1, 0), StatusNullPointer);
  EXPECT_EQ(RoiDivInt16Scaled(a, 2, b, 2, c, 0, 0, 1, 0), StatusBadLength);
  EXPECT_EQ(RoiDivInt16Scaled(a, 2, b, 0, c, 2, 1, 1, 0), StatusBadStep);
  EXPECT_EQ(RoiDivInt16Scaled(a, 2, b, 2, c, 0, 1, 1, 0), StatusBadStep);
  EXPECT_EQ(c[0], 7);
  EXPECT_EQ(DivInt16ScaledRow(a, b, nullptr, 1, 0), StatusNullPointer);
  EXPECT_EQ(DivInt16ScaledRow(a, b, c, 0, 0), StatusBadLength);
}

// ---- Fills ------------------------------------------------------------------------------

TEST(FillInt16Test, VectorSetWritesExactlyLenSamples) {
  for (const std::int32_t len : {1, 15, 16, 17, 33}) {
    alignas(8) std::int16_t area[44];
    std::fill(std::begin(area), std::end(area), std::int16_t{-1});
    std::int16_t* dst = area + 1;  // an address that is 2 mod 4
    EXPECT_EQ(VectorSetInt16(0x1234, dst, len), StatusOk);
    for (std::int32_t i = 0; i < 44; ++i) {
      EXPECT_EQ(area[i], i >= 1 && i <= len ? 0x1234 : -1) << "len " << len << " i " << i;
    }
  }
  std::int16_t one[1] = {3};
  EXPECT_EQ(VectorSetInt16(5, nullptr, 0), StatusNullPointer);
  EXPECT_EQ(VectorSetInt16(5, one, 0), StatusBadLength);
  EXPECT_EQ(one[0], 3);
}

TEST(FillInt16Test, BlockFillChecksAndFillsOddAddressRows) {
  Int16Block block(40, 3, 90, 1);
  EXPECT_EQ(RoiFillInt16(7, nullptr, 90, 0, 3), StatusNullPointer);
  EXPECT_EQ(RoiFillInt16(7, block.data(), 0, 0, 3), StatusBadLength);
  EXPECT_EQ(RoiFillInt16(7, block.data(), 0, 40, 3), StatusBadStep);
  EXPECT_EQ(RoiFillInt16(-7, block.data(), 90, 40, 3), StatusOk);
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 40; ++c) {
      EXPECT_EQ(block.Get(r, c), -7);
    }
  }
  EXPECT_TRUE(block.GuardsIntact());
}

}  // namespace
