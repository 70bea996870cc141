// Stages of the forward real FFT on their own: bit reversal, the complex
// engines at the edges of their ranges, the real post-pass, and the column
// routines of the split levels of variants B and C against their formulas
// (the whole variants are checked through RealFftForward_test).
#include "signal/transforms/fft/FftEngines.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "signal/transforms/MoskDispatcher.h"
#include "signal/transforms/fft/FftVariants.h"
#include "signal/transforms/fft/RealFftSpec.h"

namespace {

std::int64_t ReverseBits(std::int64_t p, std::int32_t bits) {
  std::int64_t r = 0;
  for (std::int32_t b = 0; b < bits; ++b) {
    r = (r << 1) | ((p >> b) & 1);
  }
  return r;
}

// n complex values whose doubles are distinct NaN payloads, so that any
// value moved through arithmetic or to the wrong place shows.
std::vector<double> NanPatterns(std::int64_t n) {
  std::vector<double> values(static_cast<std::size_t>(2 * n));
  for (std::size_t i = 0; i < values.size(); ++i) {
    const std::uint64_t bits = 0x7FF4000000000000ull | (i + 1) | ((i & 1) << 63);
    std::memcpy(&values[i], &bits, sizeof bits);
  }
  return values;
}

bool SameBits(const double* a, const double* b) {
  return std::memcmp(a, b, 2 * sizeof(double)) == 0;
}

TEST(FftBitReverseTest, CopyAndInPlaceApplyTheReversalBitForBit) {
  for (std::int32_t bits = 0; bits <= 12; ++bits) {
    SCOPED_TRACE(bits);
    const std::int64_t n = std::int64_t{1} << bits;
    std::vector<std::int32_t> table(static_cast<std::size_t>(n / 4 + 4));
    BuildBitReverseTable(bits, table.data());
    const std::vector<double> src = NanPatterns(n);
    const std::vector<double> original = src;
    std::vector<double> dst(src.size(), 0.0);
    FftBitReverseCopy(src.data(), dst.data(), static_cast<std::int32_t>(n), table.data());
    EXPECT_EQ(0, std::memcmp(src.data(), original.data(), src.size() * sizeof(double)));
    for (std::int64_t p = 0; p < n; ++p) {
      ASSERT_TRUE(SameBits(&dst[2 * ReverseBits(p, bits)], &src[2 * p])) << "value " << p;
    }
    if (n < 4) {
      continue;  // nothing to permute in place
    }
    std::vector<double> inPlace = src;
    FftBitReverseInPlace(inPlace.data(), static_cast<std::int32_t>(n), table.data());
    EXPECT_EQ(0, std::memcmp(inPlace.data(), dst.data(), dst.size() * sizeof(double)));
    FftBitReverseInPlace(inPlace.data(), static_cast<std::int32_t>(n), table.data());
    EXPECT_EQ(0, std::memcmp(inPlace.data(), src.data(), src.size() * sizeof(double)));
  }
}

// The radix-4 engine at both ends of its range (4 and 1024 values; the
// forward transform only uses 8 to 512), against a direct DFT.
// The radix-4 engine's tables for 2^bits values, built from the sine table
// of the real order bits + 1, and the bit-reversal table.
struct Radix4Tables {
  explicit Radix4Tables(std::int32_t bits) {
    const std::int64_t n = std::int64_t{1} << bits;
    const std::int32_t order = bits + 1;
    std::vector<double> sine(static_cast<std::size_t>((std::int64_t{1} << order) / 4 + 1));
    BuildQuarterSineTable(order, sine.data());
    twiddles.resize(static_cast<std::size_t>(6 * (n / 4 + 1)));
    BuildRadix4Twiddles(bits, sine.data(), order, twiddles.data());
    reverse.resize(static_cast<std::size_t>(n / 4 + 4));
    BuildBitReverseTable(bits, reverse.data());
  }
  std::vector<double> twiddles;
  std::vector<std::int32_t> reverse;
};

TEST(FftRadix4EngineTest, MatchesDirectDftAtTheEndsOfItsRange) {
  for (const std::int32_t bits : {2, 3, 10}) {
    SCOPED_TRACE(bits);
    const std::int64_t n = std::int64_t{1} << bits;
    const Radix4Tables tables(bits);
    const std::vector<double>& twiddles = tables.twiddles;
    const std::vector<std::int32_t>& table = tables.reverse;

    std::mt19937 generator(11);
    std::uniform_real_distribution<double> value(-1.0, 1.0);
    std::vector<double> z(static_cast<std::size_t>(2 * n));
    for (double& v : z) {
      v = value(generator);
    }
    std::vector<double> buf(z.size());
    FftBitReverseCopy(z.data(), buf.data(), static_cast<std::int32_t>(n), table.data());
    FftRadix4Engine(buf.data(), static_cast<std::int32_t>(n), twiddles.data());

    double worst = 0;
    for (std::int64_t k = 0; k < n; ++k) {
      std::complex<long double> sum = 0;
      for (std::int64_t j = 0; j < n; ++j) {
        const long double angle = -6.283185307179586476925L * static_cast<long double>(k * j % n) /
                                  static_cast<long double>(n);
        sum += std::complex<long double>(z[2 * j], z[2 * j + 1]) *
               std::complex<long double>(std::cos(angle), std::sin(angle));
      }
      worst = std::max(worst, static_cast<double>(std::abs(
                                  sum - std::complex<long double>(buf[2 * k], buf[2 * k + 1]))));
    }
    EXPECT_LE(worst, 1e-14 * static_cast<double>(bits));
  }
}

// The combined entries give the results of the separate stages bit for bit:
// the radix-4 engine with the scaling taken in its last stage, and the one
// whose opening stages read the unreversed values from src. Every size of
// both opening parities, with the opening as the last stage (8, 16) and
// with radix-4 stages after it; buffers one double past their allocation's
// alignment.
TEST(FftRadix4EngineTest, CombinedEntriesMatchTheSeparateStagesBitForBit) {
  const double factor = 0.0625 * 0.7071067811865476;
  for (std::int32_t bits = 3; bits <= 10; ++bits) {
    SCOPED_TRACE(bits);
    const std::int64_t n = std::int64_t{1} << bits;
    const Radix4Tables tables(bits);
    const std::vector<double>& twiddles = tables.twiddles;
    const std::vector<std::int32_t>& table = tables.reverse;

    std::mt19937 generator(17);
    std::uniform_real_distribution<double> value(-1.0, 1.0);
    const std::size_t count = static_cast<std::size_t>(2 * n);
    std::vector<double> srcStore(count + 1);
    for (double& v : srcStore) {
      v = value(generator);
    }
    const double* src = srcStore.data() + 1;

    for (const bool scaled : {false, true}) {
      SCOPED_TRACE(scaled ? "scaled" : "unscaled");
      std::vector<double> expected(count);
      FftBitReverseCopy(src, expected.data(), static_cast<std::int32_t>(n), table.data());
      std::vector<double> reversed = expected;
      FftRadix4Engine(expected.data(), static_cast<std::int32_t>(n), twiddles.data());
      if (scaled) {
        FftScaleDouble(factor, expected.data(), static_cast<std::int64_t>(count));
        FftRadix4EngineScaled(reversed.data(), static_cast<std::int32_t>(n), twiddles.data(),
                              factor);
        EXPECT_EQ(0, std::memcmp(reversed.data(), expected.data(), count * sizeof(double)));
      }

      std::vector<double> dstStore(count + 1, std::nan(""));
      FftBitReverseRadix4Engine(src, dstStore.data() + 1, static_cast<std::int32_t>(n),
                                twiddles.data(), scaled ? &factor : nullptr);
      EXPECT_EQ(0, std::memcmp(dstStore.data() + 1, expected.data(), count * sizeof(double)));
    }
  }
}

// An impulse at value 0 transforms to all ones through every engine path,
// with no rounding at all (every product is by 1 or an exact zero).
TEST(FftEngineTest, ImpulseGivesAllOnes) {
  for (const std::int32_t order : {5, 10, 11, 12, 13, 22}) {
    SCOPED_TRACE(order);
    RealFftSpec* spec = nullptr;
    ASSERT_EQ(RealFftCreateSpec(&spec, order, kFftNoScale, 0), StatusOk);
    const std::int32_t m = order - 1;
    const std::int64_t n = std::int64_t{1} << m;
    std::vector<double> buf(static_cast<std::size_t>(2 * n), 0.0);
    buf[0] = 1.0;
    std::vector<unsigned char> work(static_cast<std::size_t>(spec->workBytes) + 16);
    if (m > 9) {
      const auto address = reinterpret_cast<std::uintptr_t>(work.data());
      FftLargeOrderEngine(spec, buf.data(), m, work.data() + ((16 - (address & 15)) & 15));
    } else {
      FftRadix4Engine(buf.data(), static_cast<std::int32_t>(n), spec->twiddles);
    }
    for (std::int64_t k = 0; k < n; ++k) {
      ASSERT_EQ(buf[2 * k], 1.0) << "value " << k;
      ASSERT_EQ(buf[2 * k + 1], 0.0) << "value " << k;
    }
    EXPECT_EQ(RealFftFreeSpec(spec), StatusOk);
  }
}

TEST(RealFftPostProcessTest, TinySizes) {
  const double twiddles[4] = {0.5, 0.5, 0.25, 0.75};
  double one[2] = {3.0, 4.0};
  RealFftPostProcess(one, 1, 1, twiddles);
  EXPECT_EQ(one[0], 3.0);
  EXPECT_EQ(one[1], 4.0);
  // n = 2: only the imaginary part of value 1 changes sign.
  double two[4] = {3.0, 4.0, 5.0, 6.0};
  RealFftPostProcess(two, 2, 1, twiddles);
  EXPECT_EQ(two[0], 3.0);
  EXPECT_EQ(two[1], 4.0);
  EXPECT_EQ(two[2], 5.0);
  EXPECT_EQ(two[3], -6.0);
}

// ---- Column routines of variants B and C ----

// `count` doubles starting on a 16-byte boundary plus `offsetDoubles`.
class DoubleBlock {
 public:
  DoubleBlock(std::size_t count, std::size_t offsetDoubles, double fill)
      : storage_(count + offsetDoubles + 2, fill) {
    const auto address = reinterpret_cast<std::uintptr_t>(storage_.data());
    start_ = ((16 - (address & 15)) & 15) / sizeof(double) + offsetDoubles;
  }
  double* data() { return storage_.data() + start_; }
  std::vector<double>& storage() { return storage_; }
  std::size_t start() const { return start_; }

 private:
  std::vector<double> storage_;
  std::size_t start_ = 0;
};

std::uint64_t BitsOf(double value) {
  std::uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

// Gather copies the columns' bytes as they are; scatter mode 0 puts them
// back and touches nothing else; mode 1 turns each two-lane group (re0,
// re1, im0, im1) into (re0, im0, re1, im1). Rows aligned and 8 bytes off.
TEST(FftColumnRoutinesTest, GatherAndScatterMoveTheColumns) {
  constexpr std::int32_t kRows = 3;
  constexpr std::int32_t kStride = 12;  // complex values per row
  constexpr std::int32_t kCount = 8;
  const std::vector<double> patterns = NanPatterns(kRows * kStride);
  const double sentinel = -7.25;
  for (const std::size_t offset : {std::size_t{0}, std::size_t{1}}) {
    SCOPED_TRACE(offset);
    DoubleBlock rows(patterns.size(), offset, sentinel);
    std::copy(patterns.begin(), patterns.end(), rows.data());
    DoubleBlock gathered(2 * kRows * kCount, 0, sentinel);
    // Columns 2..9 of every row (column 2: the start of a two-lane group).
    FftColumnGather(rows.data() + 4, gathered.data(), kStride, kRows, kCount);
    for (std::int32_t r = 0; r < kRows; ++r) {
      for (std::int32_t d = 0; d < 2 * kCount; ++d) {
        ASSERT_EQ(BitsOf(gathered.data()[2 * r * kCount + d]),
                  BitsOf(patterns[2 * r * kStride + 4 + d]))
            << "row " << r << " double " << d;
      }
    }
    for (const std::int32_t mode : {0, 1}) {
      SCOPED_TRACE(mode);
      DoubleBlock back(patterns.size(), offset, sentinel);
      FftColumnScatter(back.data() + 4, gathered.data(), kStride, kRows, kCount, mode);
      for (std::size_t i = 0; i < back.storage().size(); ++i) {
        const std::ptrdiff_t at = static_cast<std::ptrdiff_t>(i - back.start());
        const std::ptrdiff_t row = at >= 0 ? at / (2 * kStride) : -1;
        const std::ptrdiff_t inRow = at - row * 2 * kStride - 4;
        const bool written = at >= 0 && row < kRows && inRow >= 0 && inRow < 2 * kCount;
        if (!written) {
          ASSERT_EQ(back.storage()[i], sentinel) << "double " << at;
          continue;
        }
        std::ptrdiff_t from = inRow;
        if (mode == 1) {
          // Position p of a group of four came from (0, 2, 1, 3)[p].
          const std::ptrdiff_t within = inRow % 4;
          from = inRow - within + (within == 1 ? 2 : within == 2 ? 1 : within);
        }
        ASSERT_EQ(BitsOf(back.storage()[i]), BitsOf(patterns[row * 2 * kStride + 4 + from]))
            << "double " << at;
      }
    }
  }
}

using LongValue = std::complex<long double>;

// Value j of a two-lane buffer.
LongValue SplitValue(const double* buf, std::int64_t j) {
  const std::int64_t group = 2 * (j & ~std::int64_t{1});
  return {buf[group + (j & 1)], buf[group + 2 + (j & 1)]};
}

// Twiddle number `which` (0..per-1) of value j in a list of `per` twiddles
// per value in two-lane pairs.
LongValue ListTwiddle(const std::vector<double>& list, std::int64_t j, int per, int which) {
  const std::size_t base = static_cast<std::size_t>((j / 2) * 4 * per + 4 * which);
  return {list[base + (j & 1)], list[base + 2 + (j & 1)]};
}

std::vector<double> RandomValues(std::size_t count, std::uint32_t seed) {
  std::mt19937 generator(seed);
  std::uniform_real_distribution<double> value(-1.0, 1.0);
  std::vector<double> values(count);
  for (double& v : values) {
    v = value(generator);
  }
  return values;
}

// The radix-4 and radix-2 passes against their formulas in long double, with
// the twiddle list restarting in every block; in place gives the same bits.
TEST(FftColumnRoutinesTest, RadixPassesFollowTheirFormulas) {
  constexpr std::int64_t kBlocks = 3;
  const LongValue i(0, 1);
  for (const std::int32_t width : {2, 4, 8}) {
    SCOPED_TRACE(width);
    {
      const std::int64_t q = width;
      const std::vector<double> twiddles =
          RandomValues(static_cast<std::size_t>(6 * q), 3u + static_cast<std::uint32_t>(q));
      DoubleBlock src(static_cast<std::size_t>(8 * q * kBlocks), 0, 0.0);
      const std::vector<double> x = RandomValues(static_cast<std::size_t>(8 * q * kBlocks), 9u);
      std::copy(x.begin(), x.end(), src.data());
      DoubleBlock dst(x.size(), 0, 0.0);
      FftColumnRadix4Pass(src.data(), dst.data(), width, kBlocks, twiddles.data());
      long double worst = 0;
      for (std::int64_t b = 0; b < kBlocks; ++b) {
        const double* in = src.data() + 8 * q * b;
        const double* out = dst.data() + 8 * q * b;
        for (std::int64_t j = 0; j < q; ++j) {
          const LongValue wa = ListTwiddle(twiddles, j, 3, 0);
          const LongValue wb = ListTwiddle(twiddles, j, 3, 1);
          const LongValue wc = ListTwiddle(twiddles, j, 3, 2);
          const LongValue a = SplitValue(in, j) + wb * SplitValue(in, j + q);
          const LongValue ad = SplitValue(in, j) - wb * SplitValue(in, j + q);
          const LongValue bs = wa * SplitValue(in, j + 2 * q) + wc * SplitValue(in, j + 3 * q);
          const LongValue d = wa * SplitValue(in, j + 2 * q) - wc * SplitValue(in, j + 3 * q);
          const LongValue expected[4] = {a + bs, ad - i * d, a - bs, ad + i * d};
          for (int k = 0; k < 4; ++k) {
            worst = std::max(worst, std::abs(SplitValue(out, j + k * q) - expected[k]));
          }
        }
      }
      EXPECT_LE(static_cast<double>(worst), 2e-15);
      FftColumnRadix4Pass(src.data(), src.data(), width, kBlocks, twiddles.data());
      EXPECT_EQ(0, std::memcmp(src.data(), dst.data(), x.size() * sizeof(double)));
    }
    {
      const std::int64_t h = width;
      const std::vector<double> twiddles =
          RandomValues(static_cast<std::size_t>(2 * h), 5u + static_cast<std::uint32_t>(h));
      DoubleBlock src(static_cast<std::size_t>(4 * h * kBlocks), 0, 0.0);
      const std::vector<double> x = RandomValues(static_cast<std::size_t>(4 * h * kBlocks), 11u);
      std::copy(x.begin(), x.end(), src.data());
      DoubleBlock dst(x.size(), 0, 0.0);
      FftColumnRadix2Pass(src.data(), dst.data(), width, kBlocks, twiddles.data());
      long double worst = 0;
      for (std::int64_t b = 0; b < kBlocks; ++b) {
        const double* in = src.data() + 4 * h * b;
        const double* out = dst.data() + 4 * h * b;
        for (std::int64_t j = 0; j < h; ++j) {
          const LongValue t = ListTwiddle(twiddles, j, 1, 0) * SplitValue(in, j + h);
          worst = std::max({worst, std::abs(SplitValue(out, j) - (SplitValue(in, j) + t)),
                            std::abs(SplitValue(out, j + h) - (SplitValue(in, j) - t))});
        }
      }
      EXPECT_LE(static_cast<double>(worst), 2e-15);
      FftColumnRadix2Pass(src.data(), src.data(), width, kBlocks, twiddles.data());
      EXPECT_EQ(0, std::memcmp(src.data(), dst.data(), x.size() * sizeof(double)));
    }
  }
}

}  // namespace
