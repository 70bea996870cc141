// Creation and release of RealFftSpec: checks, scaling, table contents and
// the large-order plan layout.
#include "signal/transforms/fft/RealFftSpec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "signal/transforms/MoskDispatcher.h"

namespace {

constexpr long double kTwoPi = 6.283185307179586476925286766559L;

// W_L^e computed directly in long double.
void ExpectTwiddle(const double* value, std::int64_t L, std::int64_t e, double tolerance) {
  const long double angle = kTwoPi * static_cast<long double>(e) / static_cast<long double>(L);
  EXPECT_NEAR(value[0], static_cast<double>(std::cos(angle)), tolerance) << "L " << L << " e " << e;
  EXPECT_NEAR(value[1], static_cast<double>(-std::sin(angle)), tolerance)
      << "L " << L << " e " << e;
}

std::int32_t ReverseBits(std::int32_t p, std::int32_t bits) {
  std::int32_t r = 0;
  for (std::int32_t b = 0; b < bits; ++b) {
    r = (r << 1) | ((p >> b) & 1);
  }
  return r;
}

TEST(RealFftSpecTest, CreateChecksInOrderAndLeavesThePointerOnFailure) {
  struct Row {
    const char* name;
    bool nullTarget;
    std::int32_t order;
    std::int32_t flag;
    PrimitiveStatus expected;
  };
  const Row rows[] = {
      {"NullTargetBeforeBadOrder", true, 31, 3, StatusNullPointer},
      {"OrderBelowZero", false, -1, kFftNoScale, StatusBadFftOrder},
      {"OrderAbove30", false, 31, kFftNoScale, StatusBadFftOrder},
      {"BadOrderBeforeBadFlag", false, 31, 3, StatusBadFftOrder},
      {"FlagZero", false, 8, 0, StatusBadFftFlag},
      {"FlagThree", false, 8, 3, StatusBadFftFlag},
      {"FlagFive", false, 0, 5, StatusBadFftFlag},
      {"FlagSixteen", false, 16, 16, StatusBadFftFlag},
      // Blocks beyond the 31-bit limit: the plan from order 28 on, the sine
      // table at order 30. Refused before anything large is allocated.
      {"Order28PlanTooLarge", false, 28, kFftNoScale, StatusNoMemory},
      {"Order29PlanTooLarge", false, 29, kFftScaleForwardByN, StatusNoMemory},
      {"Order30TablesTooLarge", false, 30, kFftScaleBySqrtN, StatusNoMemory},
  };
  for (const Row& row : rows) {
    auto* const sentinel = reinterpret_cast<RealFftSpec*>(std::uintptr_t{0x1234});
    RealFftSpec* spec = sentinel;
    EXPECT_EQ(RealFftCreateSpec(row.nullTarget ? nullptr : &spec, row.order, row.flag, 0),
              row.expected)
        << row.name;
    EXPECT_EQ(spec, sentinel) << row.name;
  }
}

TEST(RealFftSpecTest, ScalingFieldsFollowTheFlag) {
  struct Row {
    std::int32_t flag;
    std::int32_t scaleForward;
    std::int32_t scaleInverse;
    double factor;
  };
  const Row rows[] = {
      {kFftNoScale, 0, 0, 0.0},
      {kFftScaleBySqrtN, 1, 1, 1.0 / 16.0},
      {kFftScaleForwardByN, 1, 0, 1.0 / 256.0},
      {kFftScaleInverseByN, 0, 1, 1.0 / 256.0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.flag);
    RealFftSpec* spec = nullptr;
    ASSERT_EQ(RealFftCreateSpec(&spec, 8, row.flag, 2), StatusOk);
    EXPECT_EQ(spec->id, kRealFftSpecId);
    EXPECT_EQ(spec->order, 8);
    EXPECT_EQ(spec->hint, 2);
    EXPECT_EQ(spec->scaleForward, row.scaleForward);
    EXPECT_EQ(spec->scaleInverse, row.scaleInverse);
    EXPECT_EQ(spec->scaleFactor, row.factor);
    EXPECT_EQ(RealFftFreeSpec(spec), StatusOk);
  }
}

TEST(RealFftSpecTest, SmallOrdersHaveNoTables) {
  for (std::int32_t order = 0; order <= 3; ++order) {
    for (const std::int32_t flag :
         {kFftScaleForwardByN, kFftScaleInverseByN, kFftScaleBySqrtN, kFftNoScale}) {
      RealFftSpec* spec = nullptr;
      ASSERT_EQ(RealFftCreateSpec(&spec, order, flag, 0), StatusOk);
      EXPECT_EQ(spec->bitReverse, nullptr);
      EXPECT_EQ(spec->twiddles, nullptr);
      EXPECT_EQ(spec->forwardRealTwiddles, nullptr);
      EXPECT_EQ(spec->inverseRealTwiddles, nullptr);
      EXPECT_EQ(spec->workBytes, 0);
      EXPECT_EQ(RealFftFreeSpec(spec), StatusOk);
    }
  }
}

TEST(RealFftSpecTest, Order4Tables) {
  RealFftSpec* spec = nullptr;
  ASSERT_EQ(RealFftCreateSpec(&spec, 4, kFftNoScale, 0), StatusOk);
  EXPECT_EQ(spec->bitReverse[0], 0);
  EXPECT_EQ(spec->bitReverse[1], 4);
  EXPECT_EQ(spec->bitReverse[2], 0);
  // Entries k = 0, 1, 2 of (W_8^k, W_8^2k, W_8^3k).
  for (std::int64_t k = 0; k <= 2; ++k) {
    for (std::int64_t power = 1; power <= 3; ++power) {
      ExpectTwiddle(spec->twiddles + 6 * k + 2 * (power - 1), 8, power * k, 2e-16);
    }
  }
  // Exact values at e = 0 and e = L/4 come straight from the sine table.
  EXPECT_EQ(spec->twiddles[0], 1.0);
  EXPECT_EQ(spec->twiddles[1], 0.0);
  EXPECT_TRUE(std::signbit(spec->twiddles[1]));
  EXPECT_EQ(spec->twiddles[6 * 2 + 0], 0.0);  // W_8^2
  EXPECT_EQ(spec->twiddles[6 * 2 + 1], -1.0);
  EXPECT_EQ(spec->forwardRealTwiddles[0], 0.5);
  EXPECT_EQ(spec->forwardRealTwiddles[1], 0.5);
  EXPECT_EQ(spec->inverseRealTwiddles[0], 1.0);
  EXPECT_EQ(spec->inverseRealTwiddles[1], 0.0);
  EXPECT_TRUE(std::signbit(spec->inverseRealTwiddles[1]));
  for (std::int64_t k = 0; k < 4; ++k) {
    const long double angle = kTwoPi * static_cast<long double>(k) / 16.0L;
    EXPECT_NEAR(spec->forwardRealTwiddles[2 * k], 0.5 * static_cast<double>(std::cos(angle)),
                2e-16);
    EXPECT_NEAR(spec->forwardRealTwiddles[2 * k + 1],
                0.5 - 0.5 * static_cast<double>(std::sin(angle)), 2e-16);
    ExpectTwiddle(spec->inverseRealTwiddles + 2 * k, 16, k, 2e-16);
  }
  EXPECT_EQ(RealFftFreeSpec(spec), StatusOk);
}

// The bit-reverse table lists pairs (4i, 4r) with r the reversal of i over
// the middle bits, then 0, then the self-reversed 4i in decreasing order,
// then 0: every middle index from 1 appears exactly once.
TEST(RealFftSpecTest, BitReverseTableListsEveryIndexOnce) {
  for (std::int32_t j = 2; j <= 14; ++j) {
    SCOPED_TRACE(j);
    const std::int32_t q = 1 << (j - 2);
    std::vector<std::int32_t> table(static_cast<std::size_t>(q) + 4, -1);
    BuildBitReverseTable(j, table.data());
    std::vector<int> seen(static_cast<std::size_t>(q), 0);
    std::size_t at = 0;
    for (; table[at] != 0; at += 2) {
      const std::int32_t i = table[at] / 4;
      const std::int32_t r = table[at + 1] / 4;
      ASSERT_LT(i, r);
      ASSERT_EQ(ReverseBits(i, j - 2), r);
      ++seen[i];
      ++seen[r];
    }
    std::int32_t previous = q;
    for (++at; table[at] != 0; ++at) {
      const std::int32_t i = table[at] / 4;
      ASSERT_LT(i, previous);
      ASSERT_EQ(ReverseBits(i, j - 2), i);
      ++seen[i];
      previous = i;
    }
    EXPECT_EQ(at, static_cast<std::size_t>(q));
    for (std::int32_t i = 1; i < q; ++i) {
      EXPECT_EQ(seen[i], 1) << "index " << i;
    }
  }
}

TEST(RealFftSpecTest, RadixFourTwiddlesOfTheLiveOrder) {
  RealFftSpec* spec = nullptr;
  ASSERT_EQ(RealFftCreateSpec(&spec, 8, kFftScaleForwardByN, 2), StatusOk);
  EXPECT_EQ(spec->workBytes, 0);
  // Complex order 7: 33 entries of (W_128^k, W_128^2k, W_128^3k).
  for (std::int64_t k = 0; k <= 32; ++k) {
    for (std::int64_t power = 1; power <= 3; ++power) {
      ExpectTwiddle(spec->twiddles + 6 * k + 2 * (power - 1), 128, power * k, 2e-16);
    }
  }
  for (std::int64_t k = 0; k < 64; ++k) {
    ExpectTwiddle(spec->inverseRealTwiddles + 2 * k, 256, k, 2e-16);
  }
  EXPECT_EQ(RealFftFreeSpec(spec), StatusOk);
}

TEST(RealFftSpecTest, UnsplitPlanLayout) {
  for (const std::int32_t order : {11, 12}) {
    SCOPED_TRACE(order);
    RealFftSpec* spec = nullptr;
    ASSERT_EQ(RealFftCreateSpec(&spec, order, kFftNoScale, 0), StatusOk);
    const std::int64_t m = order - 1;
    const std::int64_t count = std::int64_t{1} << m;
    EXPECT_EQ(spec->workBytes, 0);
    EXPECT_EQ(LargeFftPlanSizes(static_cast<std::int32_t>(m)).plan, 16 * (count / 4) + 8208);
    // The order-9 radix-4 table (129 entries) comes first, then the quarter
    // twiddles W_M^k, k < M/4.
    EXPECT_EQ(spec->quarterTwiddles, spec->twiddles + 6 * 129);
    for (std::int64_t k = 0; k <= 128; ++k) {
      ExpectTwiddle(spec->twiddles + 6 * k, 512, k, 2e-16);
    }
    for (std::int64_t k = 0; k < count / 4; ++k) {
      ExpectTwiddle(spec->quarterTwiddles + 2 * k, count, k, 2e-16);
    }
    EXPECT_EQ(RealFftFreeSpec(spec), StatusOk);
  }
}

// Block twiddle number (j0/4)*4A + 4t + r of a level is
// W_M^(rev(t)(j0 + r)), for every level of one- and two-level plans.
TEST(RealFftSpecTest, SplitPlanLayoutAndBlockTwiddles) {
  struct Level {
    std::int32_t m;
    std::int32_t a;
  };
  struct Row {
    std::int32_t order;
    std::int32_t workBytes;
    std::vector<Level> levels;
  };
  const std::vector<Row> rows = {
      {13, 1024, {{12, 4}}},
      {14, 2048, {{13, 5}}},
      {20, 32768, {{19, 9}}},
      {22, 16384, {{21, 8}, {13, 5}}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.order);
    RealFftSpec* spec = nullptr;
    ASSERT_EQ(RealFftCreateSpec(&spec, row.order, kFftNoScale, 0), StatusOk);
    EXPECT_EQ(spec->workBytes, row.workBytes);
    for (std::size_t level = 0; level < row.levels.size(); ++level) {
      const std::int32_t m = row.levels[level].m;
      const std::int32_t a = row.levels[level].a;
      const std::int64_t outer = std::int64_t{1} << a;
      const std::int64_t inner = std::int64_t{1} << (m - a);
      const std::int64_t full = std::int64_t{1} << m;
      // The level's radix-4 table of order a directly precedes its block
      // twiddles.
      EXPECT_EQ(spec->levelBlockTwiddles[level],
                spec->levelRadix4Twiddles[level] + 6 * (outer / 4 + 1));
      ExpectTwiddle(spec->levelRadix4Twiddles[level] + 6, outer, 1, 2e-16);
      const double* block = spec->levelBlockTwiddles[level];
      long double worst = 0;
      for (std::int64_t j0 = 0; j0 < inner; j0 += 4) {
        for (std::int64_t t = 0; t < outer; ++t) {
          for (std::int64_t r = 0; r < 4; ++r) {
            const std::int64_t number = (j0 / 4) * 4 * outer + 4 * t + r;
            const std::int64_t e = ReverseBits(static_cast<std::int32_t>(t), a) * (j0 + r);
            const long double angle =
                kTwoPi * static_cast<long double>(e) / static_cast<long double>(full);
            worst = std::max({worst, std::fabs(block[2 * number] - std::cos(angle)),
                              std::fabs(block[2 * number + 1] + std::sin(angle))});
          }
        }
      }
      EXPECT_LE(static_cast<double>(worst), 4e-16) << "level " << level;
    }
    EXPECT_EQ(spec->levelRadix4Twiddles[2], nullptr);
    EXPECT_EQ(spec->levelBlockTwiddles[2], nullptr);
    EXPECT_EQ(RealFftFreeSpec(spec), StatusOk);
  }
}

TEST(RealFftSpecTest, Order13LevelTablesFollowTheInnerTable) {
  RealFftSpec* spec = nullptr;
  ASSERT_EQ(RealFftCreateSpec(&spec, 13, kFftNoScale, 0), StatusOk);
  // Inner order 8: 65 entries; outer order 4: 5 entries.
  EXPECT_EQ(spec->levelRadix4Twiddles[0], spec->twiddles + 6 * 65);
  EXPECT_EQ(spec->levelBlockTwiddles[0], spec->levelRadix4Twiddles[0] + 6 * 5);
  EXPECT_EQ(spec->levelRadix4Twiddles[1], nullptr);
  EXPECT_EQ(RealFftFreeSpec(spec), StatusOk);
}

// Work space by order, from the plan sizes (orders 0 to 12 need none).
TEST(RealFftSpecTest, WorkBytesByOrder) {
  const std::int64_t expected[31] = {0,     0,     0,     0,     0,     0,     0,     0,
                                     0,     0,     0,     0,     0,     1024,  2048,  4096,
                                     8192,  8192,  16384, 32768, 32768, 32768, 16384, 16384,
                                     32768, 32768, 32768, 32768, 32768, 32768, 32768};
  for (std::int32_t order = 12; order <= 30; ++order) {
    EXPECT_EQ(LargeFftPlanSizes(order - 1).work, expected[order]) << "order " << order;
  }
  for (std::int32_t order = 0; order <= 21; ++order) {
    RealFftSpec* spec = nullptr;
    ASSERT_EQ(RealFftCreateSpec(&spec, order, kFftNoScale, 0), StatusOk);
    EXPECT_EQ(spec->workBytes, expected[order]) << "order " << order;
    EXPECT_EQ(RealFftFreeSpec(spec), StatusOk);
  }
}

TEST(RealFftSpecTest, FreeChecksTheObject) {
  EXPECT_EQ(RealFftFreeSpec(nullptr), StatusNullPointer);
  // Not a spec: the first word is not the spec id, and nothing is freed.
  RealFftSpec foreign{};
  foreign.id = 0x49493031;
  foreign.ownsMemory = 1;
  EXPECT_EQ(RealFftFreeSpec(&foreign), StatusBadObjectId);
  EXPECT_EQ(foreign.id, 0x49493031);
  // A spec that does not own its memory only has its id cleared.
  RealFftSpec borrowed{};
  borrowed.id = kRealFftSpecId;
  borrowed.ownsMemory = 0;
  EXPECT_EQ(RealFftFreeSpec(&borrowed), StatusOk);
  EXPECT_EQ(borrowed.id, 0);
}

}  // namespace
