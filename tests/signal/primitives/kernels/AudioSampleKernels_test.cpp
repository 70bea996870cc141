// The sample kernels over lengths around their vector steps and runs at
// every byte offset, against scalar references written from the rules (the
// rounding reference is the default rounding mode's nearest integer).
#include "signal/primitives/kernels/AudioSampleKernels.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cfenv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

namespace {

// The signed 16-bit little-endian value at p.
double Reference16(const std::uint8_t* p) {
  const auto u = static_cast<std::uint16_t>(p[0] | (p[1] << 8));
  return u >= 0x8000 ? static_cast<double>(u) - 65536.0 : static_cast<double>(u);
}

TEST(AudioSampleKernels, Int16ColumnToDoubleOverLengthsStepsAndOffsets) {
  for (std::int32_t step : {2, 4, 6, -4}) {
    for (std::uint32_t count : {0u, 1u, 3u, 4u, 5u, 7u, 8u, 9u, 16u, 17u, 33u}) {
      for (std::int32_t offset = 0; offset < 4; ++offset) {
        SCOPED_TRACE(testing::Message()
                     << "step " << step << " count " << count << " offset " << offset);
        const std::size_t span = static_cast<std::size_t>(std::abs(step)) * (count + 1) + 8;
        // The column ends exactly at the block's end: a read past its last
        // sample would leave the block (and AddressSanitizer sees it).
        std::vector<std::uint8_t> block(span + static_cast<std::size_t>(offset));
        for (std::size_t b = 0; b < block.size(); ++b)
          block[b] = static_cast<std::uint8_t>(b * 37 + 11);
        const std::int64_t last = count == 0 ? 0 : std::int64_t{count - 1} * step;
        const std::int64_t start = step > 0 ? static_cast<std::int64_t>(block.size()) - 2 - last
                                            : static_cast<std::int64_t>(offset) - last;
        const std::uint8_t* src = block.data() + start;
        std::vector<double> out(count + 1, -1.0);
        ConvertInt16ColumnToDoubleKernel(src, step, out.data(), count);
        for (std::uint32_t i = 0; i < count; ++i)
          ASSERT_EQ(out[i], Reference16(src + std::int64_t{i} * step)) << i;
        EXPECT_EQ(out[count], -1.0) << "written past the count";
      }
    }
  }
}

// Nearest, ties to even (the default rounding mode), saturated; NaN as 0.
std::int64_t ReferenceRound(double v, std::int64_t lo, std::int64_t hi) {
  if (std::isnan(v))
    return 0;
  if (v <= static_cast<double>(lo))
    return lo;
  if (v >= static_cast<double>(hi))
    return hi;
  return static_cast<std::int64_t>(std::nearbyint(v));
}

TEST(AudioSampleKernels, RoundHalfEvenSaturateUnderEveryRoundingMode) {
  const double values[] = {0.5,
                           1.5,
                           2.5,
                           -0.5,
                           -1.5,
                           0.49999999999999994,
                           -2.6,
                           32766.5,
                           32767.5,
                           -32768.5,
                           1e300,
                           -1e300,
                           std::numeric_limits<double>::quiet_NaN()};
  for (int mode : {FE_TONEAREST, FE_UPWARD, FE_DOWNWARD, FE_TOWARDZERO}) {
    for (double v : values) {
      std::fesetround(FE_TONEAREST);
      const std::int64_t expected = ReferenceRound(v, -32768, 32767);
      std::fesetround(mode);
      const std::int64_t got = RoundHalfEvenSaturate(v, -32768, 32767);
      std::fesetround(FE_TONEAREST);
      EXPECT_EQ(got, expected) << v << " mode " << mode;
    }
  }
}

TEST(AudioSampleKernels, ScaleInt16OverLengthsOffsetsAndFactors) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (double factor : {0.5, 1.5, -1.0, 3.7, 1e-3, inf, nan}) {
    for (std::uint32_t count : {0u, 1u, 7u, 8u, 9u, 15u, 16u, 17u, 40u}) {
      for (std::size_t offset = 0; offset < 3; ++offset) {
        SCOPED_TRACE(testing::Message()
                     << "factor " << factor << " count " << count << " offset " << offset);
        std::vector<std::uint8_t> block(offset + 2 * count + 2, 0xA5);
        std::vector<std::int16_t> in(count);
        for (std::uint32_t i = 0; i < count; ++i) {
          in[i] = static_cast<std::int16_t>(i * 9973 % 65536 - 32768);
          std::memcpy(block.data() + offset + 2 * i, &in[i], 2);
        }
        ScaleInt16RoundedKernel(factor, block.data() + offset, count);
        for (std::uint32_t i = 0; i < count; ++i) {
          std::int16_t got;
          std::memcpy(&got, block.data() + offset + 2 * i, 2);
          ASSERT_EQ(got, ReferenceRound(in[i] * factor, -32768, 32767)) << i;
        }
        EXPECT_EQ(block[offset + 2 * count], 0xA5) << "written past the count";
      }
    }
  }
}

TEST(AudioSampleKernels, WeightedPeakOf16AtEveryAlignment) {
  alignas(16) double weight[16];
  for (int i = 0; i < 16; ++i)
    weight[i] = std::pow(0.99, 15 - i);
  const float nan = std::numeric_limits<float>::quiet_NaN();
  struct Case {
    const char* name;
    float fill;
    int special;  // index of `value`, or -1
    float value;
    float floor;
  };
  const Case cases[] = {
      {"AllAboveTheFloor", 0.25f, 3, -0.75f, 0.005f},
      {"OneBelowTheFloor", 0.25f, 9, 0.001f, 0.005f},
      {"NaNIsPassedOverAndNotAbove", 0.25f, 15, nan, 0.005f},
      {"Silence", 0.0f, -1, 0.0f, 0.005f},
  };
  for (const Case& c : cases) {
    for (int offset = 0; offset < 4; ++offset) {
      SCOPED_TRACE(testing::Message() << c.name << " offset " << offset);
      std::vector<float> samples(16 + 4, c.fill);
      float* block = samples.data() + offset;
      for (int i = 0; i < 16; ++i)
        block[i] = (i % 2 == 0 ? 1.0f : -1.0f) * c.fill * (1.0f + static_cast<float>(i) / 16);
      if (c.special >= 0)
        block[c.special] = c.value;
      double peak = 0.0;
      bool above = true;
      for (int i = 0; i < 16; ++i) {
        const double x = std::fabs(static_cast<double>(block[i]));
        if (!std::isnan(x))
          peak = std::max(peak, x * weight[i]);
        above = above && x > c.floor;
      }
      const TWeightedPeak got = WeightedPeakOf16Kernel(block, weight, c.floor);
      EXPECT_EQ(got.peak, peak);
      EXPECT_EQ(got.allAbove, above);
    }
  }
}

}  // namespace
