// Stages of the forward real FFT on their own: bit reversal, the complex
// engines at the edges of their ranges, and the real post-pass.
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

}  // namespace
