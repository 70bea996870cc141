// Creation and release of RealFftSpec: checks, scaling, table contents and
// the large-order plan layout. The checks, the scaling fields and the release
// run for every letter (A's create is the portable one); the tables of
// variants B and C have layouts of their own (fft/FftVariants.h), checked
// against their definitions here.
#include "signal/transforms/fft/RealFftSpec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "signal/transforms/MoskDispatcher.h"
#include "signal/transforms/fft/FftVariants.h"
#include "tests/signal/transforms/fft/FftVariantHarness.h"

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

using fft_test::CheckedCall;
using fft_test::FftLetterBinding;
using fft_test::Letter;

// Binds the letter's create, forward and free for one test and skips a
// letter the processor lacks.
class SpecLetterTest : public ::testing::TestWithParam<Letter> {
 protected:
  void SetUp() override {
    FFT_SKIP_UNLESS_SUPPORTED(GetParam());
    binding_ = std::make_unique<FftLetterBinding>(GetParam());
  }
  void TearDown() override { binding_.reset(); }
  Letter letter() const { return GetParam(); }

  // Create and free with the floating-point state checked around them.
  PrimitiveStatus Create(RealFftSpec** spec, std::int32_t order, std::int32_t flag,
                         std::int32_t hint) {
    PrimitiveStatus status = StatusOk;
    CheckedCall(letter(), [&] { status = RealFftCreateSpec(spec, order, flag, hint); });
    return status;
  }
  PrimitiveStatus Free(RealFftSpec* spec) {
    PrimitiveStatus status = StatusOk;
    CheckedCall(letter(), [&] { status = RealFftFreeSpec(spec); });
    return status;
  }

 private:
  std::unique_ptr<FftLetterBinding> binding_;
};

std::string LetterParamName(const ::testing::TestParamInfo<Letter>& info) {
  return fft_test::LetterName(info.param);
}

TEST_P(SpecLetterTest, CreateChecksInOrderAndLeavesThePointerOnFailure) {
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
    EXPECT_EQ(Create(row.nullTarget ? nullptr : &spec, row.order, row.flag, 0), row.expected)
        << row.name;
    EXPECT_EQ(spec, sentinel) << row.name;
  }
}

TEST_P(SpecLetterTest, ScalingFieldsFollowTheFlag) {
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
    ASSERT_EQ(Create(&spec, 8, row.flag, 2), StatusOk);
    EXPECT_EQ(spec->id, kRealFftSpecId);
    EXPECT_EQ(spec->order, 8);
    EXPECT_EQ(spec->hint, 2);
    EXPECT_EQ(spec->scaleForward, row.scaleForward);
    EXPECT_EQ(spec->scaleInverse, row.scaleInverse);
    EXPECT_EQ(spec->scaleFactor, row.factor);
    EXPECT_EQ(spec->ownsMemory, 1);
    EXPECT_EQ(Free(spec), StatusOk);
  }
}

TEST_P(SpecLetterTest, SmallOrdersHaveNoTables) {
  for (std::int32_t order = 0; order <= 3; ++order) {
    for (const std::int32_t flag :
         {kFftScaleForwardByN, kFftScaleInverseByN, kFftScaleBySqrtN, kFftNoScale}) {
      RealFftSpec* spec = nullptr;
      ASSERT_EQ(Create(&spec, order, flag, 0), StatusOk);
      EXPECT_EQ(spec->bitReverse, nullptr);
      EXPECT_EQ(spec->twiddles, nullptr);
      EXPECT_EQ(spec->forwardRealTwiddles, nullptr);
      EXPECT_EQ(spec->inverseRealTwiddles, nullptr);
      EXPECT_EQ(spec->workBytes, 0);
      EXPECT_EQ(Free(spec), StatusOk);
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

TEST_P(SpecLetterTest, FreeChecksTheObject) {
  EXPECT_EQ(Free(nullptr), StatusNullPointer);
  // Not a spec: the first word is not the spec id, and nothing is freed.
  RealFftSpec foreign{};
  foreign.id = 0x49493031;
  foreign.ownsMemory = 1;
  EXPECT_EQ(Free(&foreign), StatusBadObjectId);
  EXPECT_EQ(foreign.id, 0x49493031);
  // A spec that does not own its memory only has its id cleared.
  RealFftSpec borrowed{};
  borrowed.id = kRealFftSpecId;
  borrowed.ownsMemory = 0;
  EXPECT_EQ(Free(&borrowed), StatusOk);
  EXPECT_EQ(borrowed.id, 0);
}

INSTANTIATE_TEST_SUITE_P(Letters, SpecLetterTest, ::testing::ValuesIn(fft_test::kLetters),
                         LetterParamName);

// ---- The tables of variants B and C ----

using SimdSpecTest = SpecLetterTest;

// Largest error of a table value against W_L^e computed in long double.
struct TwiddleChecker {
  long double worst = 0;
  // The value in lane `lane` of a two-lane group (Re at group[lane], Im at
  // group[2 + lane]).
  void Lane(const double* group, int lane, std::int64_t L, std::int64_t e) {
    const long double angle = kTwoPi * static_cast<long double>(e) / static_cast<long double>(L);
    worst = std::max({worst, std::fabs(group[lane] - std::cos(angle)),
                      std::fabs(group[2 + lane] + std::sin(angle))});
  }
};

// Complex orders up to 13 (B) or 14 (C): the plain bit-reverse list, the
// per-stage radix-4 tables, work space for M values and the two-lane real
// twiddles, each against its definition.
TEST_P(SimdSpecTest, CombinedOrderTables) {
  const std::int32_t lastOrder = letter() == Letter::B ? 14 : 15;
  for (std::int32_t order = 4; order <= lastOrder; ++order) {
    SCOPED_TRACE(order);
    RealFftSpec* spec = nullptr;
    ASSERT_EQ(Create(&spec, order, kFftScaleBySqrtN, 2), StatusOk);
    const std::int32_t m = order - 1;
    const std::int64_t count = std::int64_t{1} << m;
    EXPECT_EQ(spec->workBytes, 16 * count);
    EXPECT_EQ(spec->levelBlockTwiddles[0], nullptr);

    const std::int64_t q = count / 4;
    for (std::int64_t i = 0; i < q; ++i) {
      ASSERT_EQ(spec->bitReverse[i], 2 * ReverseBits(static_cast<std::int32_t>(i), m - 2))
          << "word " << i;
    }
    EXPECT_EQ(spec->bitReverse[q], 0);

    TwiddleChecker stages;
    const double* group = spec->twiddles;
    for (std::int32_t stage = (m % 2 == 0) ? 4 : 5; stage <= m; stage += 2) {
      const std::int64_t size = std::int64_t{1} << stage;
      for (std::int64_t k = 0; k < size / 4; k += 2) {
        for (std::int64_t r = 1; r <= 3; ++r, group += 4) {
          stages.Lane(group, 0, size, r * k);
          stages.Lane(group, 1, size, r * (k + 1));
        }
      }
    }
    EXPECT_LE(static_cast<double>(stages.worst), 2e-16);
    EXPECT_LE(group, spec->twiddles + 2 * (count + 1));
    if (m >= 4) {
      // W^0 is exactly (1, -0) in the first stage's first group.
      EXPECT_EQ(spec->twiddles[0], 1.0);
      EXPECT_EQ(spec->twiddles[2], 0.0);
      EXPECT_TRUE(std::signbit(spec->twiddles[2]));
    }

    const std::int64_t n = std::int64_t{1} << order;
    long double worst = 0;
    TwiddleChecker inverse;
    for (std::int64_t k = 1; k <= n / 4; ++k) {
      const double* f = spec->forwardRealTwiddles + 2 * ((k - 1) & ~std::int64_t{1});
      const int lane = static_cast<int>((k - 1) & 1);
      const long double angle = kTwoPi * static_cast<long double>(k) / static_cast<long double>(n);
      worst = std::max({worst, std::fabs(f[lane] - 0.5L * std::cos(angle)),
                        std::fabs(f[2 + lane] - (0.5L - 0.5L * std::sin(angle)))});
      inverse.Lane(spec->inverseRealTwiddles + 2 * ((k - 1) & ~std::int64_t{1}), lane, n, k);
    }
    EXPECT_LE(static_cast<double>(worst), 2e-16);
    EXPECT_LE(static_cast<double>(inverse.worst), 2e-16);
    // k = N/4: exactly (0, 0) forward and (0, -1) inverse.
    EXPECT_EQ(spec->forwardRealTwiddles[2 * (n / 4) - 3], 0.0);
    EXPECT_EQ(spec->forwardRealTwiddles[2 * (n / 4) - 1], 0.0);
    EXPECT_EQ(spec->inverseRealTwiddles[2 * (n / 4) - 1], -1.0);
    EXPECT_EQ(Free(spec), StatusOk);
  }
}

// Split plans: the innermost per-stage tables at `twiddles`, then each
// level's twiddle list from the innermost level out, each holding, per group
// of G = max(4, 2048 / A) columns j0.., the radix-2 twiddles W_2I^(j0+c)
// (odd a) and for each radix-4 stage of span L = sI the three twiddles
// W_4L^(r (u I + j0 + c)) of every gathered position u G + c below sG.
// Work space: one gathered block of G A values, 32 KiB.
TEST_P(SimdSpecTest, SplitPlanLayout) {
  struct Level {
    std::int32_t m;
    std::int32_t a;
  };
  struct Row {
    std::int32_t order;
    std::vector<Level> levels;
  };
  const std::vector<Row> rows =
      letter() == Letter::B
          ? std::vector<Row>{{15, {{14, 4}}},
                             {16, {{15, 4}}},
                             {19, {{18, 5}}},
                             {20, {{19, 6}}},
                             {23, {{22, 4}, {18, 5}}}}
          : std::vector<Row>{{16, {{15, 6}}}, {17, {{16, 6}}}, {19, {{18, 4}}}, {22, {{21, 8}}}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.order);
    RealFftSpec* spec = nullptr;
    ASSERT_EQ(Create(&spec, row.order, kFftNoScale, 0), StatusOk);
    EXPECT_EQ(spec->workBytes, 32768);
    EXPECT_EQ(spec->quarterTwiddles, nullptr);
    for (int level = 0; level < kFftMaxSplitLevels; ++level) {
      EXPECT_EQ(spec->levelRadix4Twiddles[level], nullptr);
    }
    const std::size_t deepest = row.levels.size() - 1;
    const std::int32_t innermost = row.levels[deepest].m - row.levels[deepest].a;
    EXPECT_EQ(spec->levelBlockTwiddles[deepest],
              spec->twiddles + 2 * ((std::int64_t{1} << innermost) + 1));
    EXPECT_EQ(spec->levelBlockTwiddles[row.levels.size()], nullptr);
    for (std::size_t level = 0; level < row.levels.size(); ++level) {
      const std::int32_t a = row.levels[level].a;
      const std::int64_t full = std::int64_t{1} << row.levels[level].m;
      const std::int64_t outer = std::int64_t{1} << a;
      const std::int64_t inner = full / outer;
      const std::int64_t group = std::max<std::int64_t>(4, 2048 / outer);
      if (level > 0) {
        EXPECT_EQ(spec->levelBlockTwiddles[level - 1],
                  spec->levelBlockTwiddles[level] + 2 * (full - inner));
      }
      TwiddleChecker checker;
      const double* w = spec->levelBlockTwiddles[level];
      std::int64_t pairNumber = 0;
      // Every 5th pair is checked; the walk itself checks the list's length.
      auto check = [&](int lane, std::int64_t e) {
        if (pairNumber % 5 == 0) {
          checker.Lane(w, lane, full, e);
        }
      };
      for (std::int64_t j0 = 0; j0 < inner; j0 += group) {
        std::int64_t span = 1;
        if ((a & 1) != 0) {
          for (std::int64_t c = 0; c < group; c += 2, w += 4, ++pairNumber) {
            for (int lane = 0; lane < 2; ++lane) {
              check(lane, (j0 + c + lane) * (full / (2 * inner)));
            }
          }
          span = 2;
        }
        for (; span < outer; span *= 4) {
          const std::int64_t step = full / (4 * span * inner);
          for (std::int64_t jf = 0; jf < span * group; jf += 2) {
            for (std::int64_t r = 1; r <= 3; ++r, w += 4, ++pairNumber) {
              for (int lane = 0; lane < 2; ++lane) {
                const std::int64_t u = (jf + lane) / group;
                const std::int64_t c = (jf + lane) % group;
                check(lane, r * (u * inner + j0 + c) * step);
              }
            }
          }
        }
      }
      EXPECT_EQ(w, spec->levelBlockTwiddles[level] + 2 * (full - inner)) << "level " << level;
      EXPECT_LE(static_cast<double>(checker.worst), 2e-16) << "level " << level;
    }
    EXPECT_EQ(Free(spec), StatusOk);
  }
}

INSTANTIATE_TEST_SUITE_P(SimdLetters, SimdSpecTest, ::testing::Values(Letter::B, Letter::C),
                         LetterParamName);

// The split-order tables of B and C.
TEST(SimdSplitOrderTest, TablesOfBothSets) {
  const std::int32_t b[20] = {0, 0, 0, 0, 4, 4, 4, 4, 5, 6, 7, 8, 4, 5, 6, 7, 8, 8, 8, 8};
  const std::int32_t c[20] = {0, 0, 0, 0, 0, 6, 6, 4, 4, 6, 6, 8, 8, 8, 8, 8, 8, 8, 8, 8};
  for (std::int32_t m = 10; m <= 29; ++m) {
    EXPECT_EQ(FftSplitOrder(FftSimdSet::B, m), b[m - 10]) << "m " << m;
    EXPECT_EQ(FftSplitOrder(FftSimdSet::C, m), c[m - 10]) << "m " << m;
  }
  EXPECT_EQ(FftCombinedMaxOrder(FftSimdSet::B), 13);
  EXPECT_EQ(FftCombinedMaxOrder(FftSimdSet::C), 14);
}

}  // namespace
