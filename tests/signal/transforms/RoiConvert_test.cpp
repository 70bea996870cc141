// Strided conversions between 16-bit or 8-bit samples and floats.
#include <gtest/gtest.h>

#include <algorithm>
#include <cfenv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

#include "signal/transforms/MoskDispatcher.h"

namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

struct RoundCase {
  const char* name;
  float value;
  std::int32_t rndMode;
  std::int32_t expected16;
  std::int32_t expected8;
};

// Each row converts one value in both widths.
const RoundCase kRoundCases[] = {
    {"HalfUpToEven", 1.5f, 1, 2, 2},
    {"HalfDownToEven", 2.5f, 1, 2, 2},
    {"NegativeHalfToEven", -1.5f, 1, -2, -2},
    {"NegativeHalfDownToEven", -2.5f, 1, -2, -2},
    {"HalfToZero", 0.5f, 1, 0, 0},
    {"NegativeHalfToZero", -0.5f, 1, 0, 0},
    {"NearestAboveHalf", 2.5000002f, 1, 3, 3},
    {"TruncatePositive", 1.9f, 0, 1, 1},
    {"TruncateNegative", -1.9f, 0, -1, -1},
    {"AnyOtherModeTruncates", 1.9f, 2, 1, 1},
    {"NegativeModeTruncates", -1.9f, -1, -1, -1},
    {"Int16TieBelowBound", 32766.5f, 1, 32766, 127},
    {"Int16NearBound", 32766.6f, 1, 32767, 127},
    {"Int16UpperBound", 32767.0f, 0, 32767, 127},
    {"Int16LowerBound", -32768.0f, 1, -32768, -128},
    {"Huge", 1e10f, 1, 32767, 127},
    {"HugeNegative", -1e10f, 0, -32768, -128},
    {"PlusInfinity", kInf, 1, 32767, 127},
    {"MinusInfinity", -kInf, 1, -32768, -128},
    {"NaNGivesLowerBound", std::numeric_limits<float>::quiet_NaN(), 1, -32768, -128},
    {"Int8TieBelowBound", 126.5f, 1, 126, 126},
    {"Int8UpperBound", 127.0f, 1, 127, 127},
    {"Int8AboveBound", 127.6f, 0, 127, 127},
    {"Int8LowerBound", -128.0f, 0, -128, -128},
    {"Int8TieAtLowerBound", -127.5f, 1, -128, -128},
    {"Int8TruncateNearLowerBound", -127.5f, 0, -127, -127},
};

TEST(RoiConvertTest, FloatToIntegerRoundsAndSaturates) {
  for (const RoundCase& row : kRoundCases) {
    std::int16_t out16 = 99;
    std::int8_t out8 = 99;
    ASSERT_EQ(RoiConvertFloatToInt16(&row.value, 4, &out16, 2, 1, 1, row.rndMode), StatusOk);
    ASSERT_EQ(RoiConvertFloatToInt8(&row.value, 4, &out8, 1, 1, 1, row.rndMode), StatusOk);
    EXPECT_EQ(out16, row.expected16) << row.name;
    EXPECT_EQ(out8, row.expected8) << row.name;
  }
}

// The floating-point environment is not touched: the rounding mode the
// caller set is the one it finds afterwards.
TEST(RoiConvertTest, LeavesTheRoundingModeAlone) {
  const int saved = std::fegetround();
  ASSERT_EQ(std::fesetround(FE_UPWARD), 0);
  const float values[2] = {1.5f, -2.7f};
  std::int16_t out[2] = {};
  ASSERT_EQ(RoiConvertFloatToInt16(values, 8, out, 4, 2, 1, 0), StatusOk);
  EXPECT_EQ(std::fegetround(), FE_UPWARD);
  EXPECT_EQ(out[0], 1);
  EXPECT_EQ(out[1], -2);
  std::fesetround(saved);
}

TEST(RoiConvertTest, Int16ToFloatIsExact) {
  std::vector<std::int16_t> all(65536);
  for (std::int32_t i = 0; i < 65536; ++i) {
    all[i] = static_cast<std::int16_t>(i - 32768);
  }
  std::vector<float> out(65536, -1.0f);
  ASSERT_EQ(RoiConvertInt16ToFloat(all.data(), 2 * 65536, out.data(), 4 * 65536, 65536, 1),
            StatusOk);
  for (std::int32_t i = 0; i < 65536; ++i) {
    ASSERT_EQ(out[i], static_cast<float>(i - 32768));
  }
}

// One channel out of interleaved stereo frames and back: element x of row r
// lies at base + r * step + x * size; nothing between the rows is touched.
TEST(RoiConvertTest, StridedRowsTakeAndPutOneChannel) {
  constexpr std::int32_t kFrames = 5;
  const std::vector<std::int16_t> stereo = {1, -1, 2, -2, 3, -3, 4, -4, -32768, 32767};
  std::vector<float> channel(kFrames, 0.0f);
  ASSERT_EQ(RoiConvertInt16ToFloat(stereo.data() + 1, 4, channel.data(), 4, 1, kFrames), StatusOk);
  EXPECT_EQ(channel, (std::vector<float>{-1, -2, -3, -4, 32767}));

  std::vector<std::int16_t> back(10, 7);
  channel = {0.5f, 1.5f, -2.5f, 40000.0f, -40000.0f};
  ASSERT_EQ(RoiConvertFloatToInt16(channel.data(), 4, back.data(), 4, 1, kFrames, 1), StatusOk);
  EXPECT_EQ(back, (std::vector<std::int16_t>{0, 7, 2, 7, -2, 7, 32767, 7, -32768, 7}));

  std::vector<std::int8_t> bytes(10, 7);
  ASSERT_EQ(RoiConvertFloatToInt8(channel.data(), 4, bytes.data() + 1, 2, 1, kFrames, 1), StatusOk);
  EXPECT_EQ(bytes, (std::vector<std::int8_t>{7, 0, 7, 2, 7, -2, 7, 127, 7, -128}));
}

// Two rows of three elements with padding after each row, read at an odd
// byte address: rows advance by their step.
TEST(RoiConvertTest, BlockWithPaddedRows) {
  alignas(16) unsigned char storage[64] = {};
  const std::int16_t rows[2][4] = {{10, 20, 30, 999}, {-10, -20, -30, 999}};
  std::memcpy(storage + 1, rows, sizeof rows);
  float out[2][5];
  std::fill(&out[0][0], &out[0][0] + 10, -7.0f);
  ASSERT_EQ(RoiConvertInt16ToFloat(reinterpret_cast<const std::int16_t*>(storage + 1), 8,
                                   &out[0][0], 20, 3, 2),
            StatusOk);
  EXPECT_EQ(out[0][0], 10.0f);
  EXPECT_EQ(out[0][2], 30.0f);
  EXPECT_EQ(out[0][3], -7.0f);
  EXPECT_EQ(out[1][0], -10.0f);
  EXPECT_EQ(out[1][2], -30.0f);
  EXPECT_EQ(out[1][3], -7.0f);
}

// The element rule for floats to 16 bits, from the standard library in the
// default rounding mode (to nearest, ties to even).
std::int16_t ExpectedInt16(float x, std::int32_t rndMode) {
  if (!(x > -32768.0f))
    return -32768;
  if (x >= 32767.0f)
    return 32767;
  return static_cast<std::int16_t>(rndMode == 1 ? std::nearbyint(x) : std::trunc(x));
}

// Awkward values for the rounding and the bounds.
const float kAwkward[] = {0.5f,        -0.5f,       1.5f,       -1.5f,    2.5f,      -2.5f,
                          0.49999997f, 0.50000006f, 1.4999999f, -0.0f,    1e-40f,    3.75f,
                          -7.25f,      100.5f,      -101.5f,    16383.5f, -16384.5f, 32766.5f,
                          32767.5f,    -32767.5f,   -32768.5f,  32767.0f, -32768.0f, 32766.99f,
                          -32767.99f,  1e10f,       -1e10f,     kInf,     -kInf,     kNaN};
constexpr std::int32_t kAwkwardCount = std::size(kAwkward);

// One column of frames `step` bytes apart (the channel at byte 2 of each
// frame, as the second of a stereo pair), `height` rows, to and from packed
// floats; the vector paths start on every lane. The sample storage ends
// exactly at the column's last element, so a read past it is caught under
// the address sanitizer. Other bytes of the frames keep their values, and
// the results hold in another rounding mode too.
TEST(RoiConvertTest, OneColumnMatchesTheElementRule) {
  for (const std::int32_t step : {4, 6, 8}) {
    for (const std::int32_t height : {1, 2, 3, 4, 5, 7, 8, 9, 12, 13, 16, 17, 31, 64}) {
      const std::int32_t rowElements = step / 2;
      const auto elements = static_cast<std::size_t>((height - 1) * rowElements + 2);
      for (const int roundingMode : {FE_TONEAREST, FE_UPWARD}) {
        SCOPED_TRACE("step " + std::to_string(step) + " height " + std::to_string(height) +
                     (roundingMode == FE_UPWARD ? " upward" : ""));
        // Floats to the column, with each value on each lane in turn.
        for (std::int32_t shift = 0; shift < 4; ++shift) {
          std::vector<float> floats(static_cast<std::size_t>(height));
          for (std::int32_t r = 0; r < height; ++r)
            floats[r] = kAwkward[(r + shift) % kAwkwardCount];
          for (const std::int32_t rndMode : {1, 0}) {
            std::vector<std::int16_t> frames(elements, 0x5A5A);
            const int saved = std::fegetround();
            ASSERT_EQ(std::fesetround(roundingMode), 0);
            const PrimitiveStatus status = RoiConvertFloatToInt16(
                floats.data(), 4, frames.data() + 1, step, 1, height, rndMode);
            std::fesetround(saved);
            ASSERT_EQ(status, StatusOk);
            for (std::size_t e = 0; e < elements; ++e) {
              const bool column = e % rowElements == 1;
              const std::int16_t expected =
                  column ? ExpectedInt16(floats[e / rowElements], rndMode) : 0x5A5A;
              ASSERT_EQ(frames[e], expected) << "element " << e << " rndMode " << rndMode;
            }
          }
        }
        // The column to floats: values spread over the range, -32768 last.
        for (std::int32_t first = -32768; first < 32768; first += 4099) {
          std::vector<std::int16_t> frames(elements, 0x5A5A);
          for (std::int32_t r = 0; r < height; ++r)
            frames[r * rowElements + 1] = static_cast<std::int16_t>((first + 257 * r) % 65536);
          frames.back() = -32768;
          std::vector<float> floats(static_cast<std::size_t>(height) + 1, -7.0f);
          const int saved = std::fegetround();
          ASSERT_EQ(std::fesetround(roundingMode), 0);
          const PrimitiveStatus status =
              RoiConvertInt16ToFloat(frames.data() + 1, step, floats.data(), 4, 1, height);
          std::fesetround(saved);
          ASSERT_EQ(status, StatusOk);
          for (std::int32_t r = 0; r < height; ++r)
            ASSERT_EQ(floats[r], static_cast<float>(frames[r * rowElements + 1])) << "row " << r;
          EXPECT_EQ(floats[height], -7.0f) << "nothing written past the column";
        }
      }
    }
  }
}

TEST(RoiConvertTest, ArgumentChecksInOrder) {
  std::int16_t samples[4] = {1, 2, 3, 4};
  float floats[4] = {1, 2, 3, 4};
  std::int8_t bytes[4] = {1, 2, 3, 4};
  struct Row {
    const char* name;
    bool nullSrc;
    bool nullDst;
    std::int32_t srcStep;
    std::int32_t dstStep;
    std::int32_t width;
    std::int32_t height;
    PrimitiveStatus expected;
  };
  const Row rows[] = {
      {"NullSrcBeforeWidth", true, false, 8, 8, 0, 1, StatusNullPointer},
      {"NullDst", false, true, 8, 8, 2, 2, StatusNullPointer},
      {"WidthBeforeStep", false, false, 0, 8, 0, 1, StatusBadLength},
      {"HeightZero", false, false, 8, 8, 2, 0, StatusBadLength},
      {"NegativeHeight", false, false, 8, 8, 2, -3, StatusBadLength},
      {"SrcStepZero", false, false, 0, 8, 2, 2, StatusBadStep},
      {"DstStepNegative", false, false, 8, -8, 2, 2, StatusBadStep},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(
        RoiConvertInt16ToFloat(row.nullSrc ? nullptr : samples, row.srcStep,
                               row.nullDst ? nullptr : floats, row.dstStep, row.width, row.height),
        row.expected)
        << row.name;
    EXPECT_EQ(RoiConvertFloatToInt16(row.nullSrc ? nullptr : floats, row.srcStep,
                                     row.nullDst ? nullptr : samples, row.dstStep, row.width,
                                     row.height, 1),
              row.expected)
        << row.name;
    EXPECT_EQ(
        RoiConvertFloatToInt8(row.nullSrc ? nullptr : floats, row.srcStep,
                              row.nullDst ? nullptr : bytes, row.dstStep, row.width, row.height, 1),
        row.expected)
        << row.name;
  }
  EXPECT_EQ(samples[0], 1);
  EXPECT_EQ(floats[0], 1.0f);
  EXPECT_EQ(bytes[0], 1);
}

}  // namespace
