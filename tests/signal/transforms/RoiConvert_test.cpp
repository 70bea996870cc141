// Strided conversions between 16-bit or 8-bit samples and floats, for
// every letter: the portable results bit for bit, except that the
// processor-specific float-to-integer conversions give the upper bound
// (32767, 127) for a NaN.
#include <gtest/gtest.h>

#include <algorithm>
#include <cfenv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "signal/transforms/MoskDispatcher.h"
#include "tests/signal/primitives/VariantHarness.h"
#include "tests/signal/transforms/TransformLetters.h"

namespace {

using namespace transform_letters;
using variants_test::Guarded;

class RoiConvertTest : public LetterTest {
 protected:
  void SetUp() override {
    LetterTest::SetUp();
    Bind(RoiConvertInt16ToFloat);
    Bind(RoiConvertFloatToInt16);
    Bind(RoiConvertFloatToInt8);
  }
};

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
    // A NaN gives the lower bound in the portable variant, the upper one in
    // the others (see the test).
    {"NaN", std::numeric_limits<float>::quiet_NaN(), 1, -32768, -128},
    {"Int8TieBelowBound", 126.5f, 1, 126, 126},
    {"Int8UpperBound", 127.0f, 1, 127, 127},
    {"Int8AboveBound", 127.6f, 0, 127, 127},
    {"Int8LowerBound", -128.0f, 0, -128, -128},
    {"Int8TieAtLowerBound", -127.5f, 1, -128, -128},
    {"Int8TruncateNearLowerBound", -127.5f, 0, -127, -127},
};

TEST_P(RoiConvertTest, FloatToIntegerRoundsAndSaturates) {
  for (const RoundCase& row : kRoundCases) {
    const bool nanToUpper = simd() && std::isnan(row.value);
    std::int16_t out16 = 99;
    std::int8_t out8 = 99;
    Checked([&] {
      ASSERT_EQ(RoiConvertFloatToInt16(&row.value, 4, &out16, 2, 1, 1, row.rndMode), StatusOk);
      ASSERT_EQ(RoiConvertFloatToInt8(&row.value, 4, &out8, 1, 1, 1, row.rndMode), StatusOk);
    });
    EXPECT_EQ(out16, nanToUpper ? 32767 : row.expected16) << row.name;
    EXPECT_EQ(out8, nanToUpper ? 127 : row.expected8) << row.name;
  }
}

// The caller's rounding mode (x87 and MXCSR) is the one it finds
// afterwards, and the conversion rounds by rndMode whatever it is.
TEST_P(RoiConvertTest, LeavesTheRoundingModeAlone) {
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

// Every 16-bit value, as one packed row at each offset a float and a
// 16-bit sample allow.
TEST_P(RoiConvertTest, Int16ToFloatIsExactForEveryValue) {
  for (const int srcOffset : {0, 2, 6, 14}) {
    for (const int dstOffset : {0, 4, 8, 12}) {
      SCOPED_TRACE(::testing::Message() << "src " << srcOffset << " dst " << dstOffset);
      Guarded<std::int16_t> all(65536, srcOffset);
      for (std::int32_t i = 0; i < 65536; ++i) {
        all.Set(i, static_cast<std::int16_t>(i - 32768));
      }
      Guarded<float> out(65536, dstOffset);
      PrimitiveStatus status = -1;
      Checked([&] {
        status = RoiConvertInt16ToFloat(all.data(), 2 * 256, out.data(), 4 * 256, 256, 256);
      });
      ASSERT_EQ(status, StatusOk);
      for (std::int32_t i = 0; i < 65536; ++i) {
        ASSERT_EQ(out.Get(i), static_cast<float>(i - 32768));
      }
      ASSERT_TRUE(out.GuardsIntact());
    }
  }
}

// One channel out of interleaved stereo frames and back: element x of row r
// lies at base + r * step + x * size; nothing between the rows is touched.
TEST_P(RoiConvertTest, StridedRowsTakeAndPutOneChannel) {
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
TEST_P(RoiConvertTest, BlockWithPaddedRows) {
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
// default rounding mode (to nearest, ties to even); `nanToUpper` for the
// processor-specific variants.
std::int16_t ExpectedInt16(float x, std::int32_t rndMode, bool nanToUpper = false) {
  if (std::isnan(x))
    return nanToUpper ? 32767 : -32768;
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

// One column of frames `step` bytes apart (the channel at byte 0 or 2 of
// each frame, as the first or second of a stereo pair), `height` rows, to and
// from packed floats; the vector paths start on every lane and their groups
// end on every row. The sample storage ends exactly at the column's last
// element, so a read or write past it is caught under the address sanitizer.
// Every other byte of the frames keeps its own value, and the results hold
// in another rounding mode too.
TEST_P(RoiConvertTest, OneColumnMatchesTheElementRule) {
  for (const std::int32_t step : {4, 6, 8}) {
    for (const std::int32_t height :
         {1, 2, 3, 4, 5, 7, 8, 9, 12, 13, 15, 16, 17, 24, 31, 64, 1024}) {
      for (const std::int32_t channel : {0, 1}) {
        const std::int32_t rowElements = step / 2;
        const auto elements = static_cast<std::size_t>((height - 1) * rowElements + channel + 1);
        const auto filler = [](std::size_t e) {
          return static_cast<std::int16_t>(0x5A5A + 7919 * e);
        };
        const auto isColumn = [&](std::size_t e) {
          return static_cast<std::int32_t>(e % rowElements) == channel;
        };
        for (const int roundingMode : {FE_TONEAREST, FE_UPWARD}) {
          SCOPED_TRACE("step " + std::to_string(step) + " height " + std::to_string(height) +
                       " channel " + std::to_string(channel) +
                       (roundingMode == FE_UPWARD ? " upward" : ""));
          // Floats to the column, with each value on each lane in turn.
          for (std::int32_t shift = 0; shift < 4; ++shift) {
            std::vector<float> floats(static_cast<std::size_t>(height));
            for (std::int32_t r = 0; r < height; ++r)
              floats[r] = kAwkward[(r + shift) % kAwkwardCount];
            for (const std::int32_t rndMode : {1, 0}) {
              std::vector<std::int16_t> frames(elements);
              for (std::size_t e = 0; e < elements; ++e)
                frames[e] = filler(e);
              const int saved = std::fegetround();
              ASSERT_EQ(std::fesetround(roundingMode), 0);
              const PrimitiveStatus status = RoiConvertFloatToInt16(
                  floats.data(), 4, frames.data() + channel, step, 1, height, rndMode);
              std::fesetround(saved);
              ASSERT_EQ(status, StatusOk);
              for (std::size_t e = 0; e < elements; ++e) {
                const std::int16_t expected =
                    isColumn(e) ? ExpectedInt16(floats[e / rowElements], rndMode, simd())
                                : filler(e);
                ASSERT_EQ(frames[e], expected) << "element " << e << " rndMode " << rndMode;
              }
            }
          }
          // The column to floats: values spread over the range, -32768 last.
          for (std::int32_t first = -32768; first < 32768; first += 4099) {
            std::vector<std::int16_t> frames(elements);
            for (std::size_t e = 0; e < elements; ++e)
              frames[e] = filler(e);
            for (std::int32_t r = 0; r < height; ++r)
              frames[r * rowElements + channel] =
                  static_cast<std::int16_t>((first + 257 * r) % 65536);
            frames.back() = -32768;
            std::vector<float> floats(static_cast<std::size_t>(height) + 1, -7.0f);
            const int saved = std::fegetround();
            ASSERT_EQ(std::fesetround(roundingMode), 0);
            const PrimitiveStatus status =
                RoiConvertInt16ToFloat(frames.data() + channel, step, floats.data(), 4, 1, height);
            std::fesetround(saved);
            ASSERT_EQ(status, StatusOk);
            for (std::int32_t r = 0; r < height; ++r)
              ASSERT_EQ(floats[r], static_cast<float>(frames[r * rowElements + channel]))
                  << "row " << r;
            EXPECT_EQ(floats[height], -7.0f) << "nothing written past the column";
          }
        }
      }
    }
  }
}

TEST_P(RoiConvertTest, ArgumentChecksInOrder) {
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

// The floats the row tests convert: the awkward values, zeros, subnormals,
// infinities, NaNs and random values over the 16-bit range and beyond.
std::vector<float> FloatValues(std::int64_t count, std::uint32_t seed) {
  std::mt19937 generator(seed);
  std::uniform_real_distribution<float> wide(-40000.0f, 40000.0f);
  std::uniform_real_distribution<float> bytes(-200.0f, 200.0f);
  const float specials[] = {0.0f, -0.0f, 1e-45f, -1e-40f, 127.5f, -128.5f, 126.5f, 1e30f};
  std::vector<float> values(static_cast<std::size_t>(count));
  for (std::int64_t i = 0; i < count; ++i) {
    const std::uint32_t r = generator();
    switch (r % 6) {
      case 0:
        values[i] = kAwkward[r / 6 % kAwkwardCount];
        break;
      case 1:
        values[i] = specials[r / 6 % std::size(specials)];
        break;
      case 2:
        values[i] = std::round(bytes(generator) * 2.0f) / 2.0f;  // halves
        break;
      case 3:
        values[i] = bytes(generator);
        break;
      default:
        values[i] = wide(generator);
        break;
    }
  }
  return values;
}

// Against the portable variant: one packed row of every length to 33 (twice
// the widest block plus one) and past the streaming bound of the fast path
// (more than 700000 source bytes), at every offset the element types allow,
// both rounding modes; bit for bit but for a NaN's bound; guards untouched,
// the control state unchanged.
TEST_P(RoiConvertTest, PackedRowsMatchThePortableVariant) {
  std::vector<std::int32_t> lengths;
  for (std::int32_t len = 1; len <= 33; ++len) {
    lengths.push_back(len);
  }
  lengths.insert(lengths.end(), {1024, 350000, 350001, 360007});
  for (const std::int32_t len : lengths) {
    const bool longRow = len > 33;
    const std::vector<float> values = FloatValues(len, static_cast<std::uint32_t>(len));
    for (int floatOffset = 0; floatOffset < 16; floatOffset += longRow ? 12 : 4) {
      for (int intOffset = 0; intOffset < 16; intOffset += longRow ? 7 : 1) {
        SCOPED_TRACE(::testing::Message() << "len " << len << " float offset " << floatOffset
                                          << " integer offset " << intOffset);
        Guarded<float> floats(len, floatOffset);
        for (std::int32_t i = 0; i < len; ++i) {
          floats.Set(i, values[i]);
        }
        for (const std::int32_t rndMode : {1, 0}) {
          Guarded<std::int8_t> bytes(len, intOffset);
          Guarded<std::int8_t> bytesExpected = bytes;
          ASSERT_EQ(RoiConvertFloatToInt8Portable(floats.data(), 4 * len, bytesExpected.data(), len,
                                                  len, 1, rndMode),
                    StatusOk);
          PrimitiveStatus status = -1;
          Checked([&] {
            status =
                RoiConvertFloatToInt8(floats.data(), 4 * len, bytes.data(), len, len, 1, rndMode);
          });
          ASSERT_EQ(status, StatusOk);
          for (std::int32_t i = 0; i < len; ++i) {
            const std::int8_t expected =
                simd() && std::isnan(values[i]) ? std::int8_t{127} : bytesExpected.Get(i);
            ASSERT_EQ(bytes.Get(i), expected) << "byte " << i << " of " << values[i];
          }
          ASSERT_TRUE(bytes.GuardsIntact());
          if (intOffset % 2 != 0) {
            continue;
          }
          Guarded<std::int16_t> samples(len, intOffset);
          Guarded<std::int16_t> samplesExpected = samples;
          ASSERT_EQ(RoiConvertFloatToInt16Portable(floats.data(), 4 * len, samplesExpected.data(),
                                                   2 * len, len, 1, rndMode),
                    StatusOk);
          Checked([&] {
            status = RoiConvertFloatToInt16(floats.data(), 4 * len, samples.data(), 2 * len, len, 1,
                                            rndMode);
          });
          ASSERT_EQ(status, StatusOk);
          for (std::int32_t i = 0; i < len; ++i) {
            const std::int16_t expected =
                simd() && std::isnan(values[i]) ? std::int16_t{32767} : samplesExpected.Get(i);
            ASSERT_EQ(samples.Get(i), expected) << "sample " << i << " of " << values[i];
          }
          ASSERT_TRUE(samples.GuardsIntact());
          if (rndMode == 0) {
            continue;
          }
          // And the samples back to floats.
          Guarded<float> back(len, floatOffset);
          Checked([&] {
            status = RoiConvertInt16ToFloat(samples.data(), 2 * len, back.data(), 4 * len, len, 1);
          });
          ASSERT_EQ(status, StatusOk);
          for (std::int32_t i = 0; i < len; ++i) {
            ASSERT_EQ(back.Get(i), static_cast<float>(samples.Get(i))) << "float " << i;
          }
          ASSERT_TRUE(back.GuardsIntact());
        }
      }
    }
  }
}

// Row by row: padded rows (the row path, also past its streaming bound of
// 700000 elements in rows wider than 256) and one-column blocks of every
// height to 33, against the portable variant.
TEST_P(RoiConvertTest, RowByRowMatchesThePortableVariant) {
  struct Shape {
    std::int32_t width;
    std::int32_t height;
    std::int32_t pad;  // elements between rows
  };
  std::vector<Shape> shapes = {{3, 5, 1}, {17, 4, 3}, {33, 3, 7}, {300, 2401, 4}, {257, 8, 0}};
  for (std::int32_t height = 1; height <= 33; ++height) {
    shapes.push_back({1, height, 1});  // one channel of stereo frames
    shapes.push_back({1, height, 2});
  }
  for (const Shape& shape : shapes) {
    SCOPED_TRACE(::testing::Message()
                 << shape.width << " x " << shape.height << " pad " << shape.pad);
    const std::int32_t rowElements = shape.width + shape.pad;
    const std::int64_t count = std::int64_t{rowElements} * shape.height;
    const std::vector<float> values = FloatValues(count, static_cast<std::uint32_t>(count));
    Guarded<float> floats(count, 4);
    for (std::int64_t i = 0; i < count; ++i) {
      floats.Set(i, values[static_cast<std::size_t>(i)]);
    }
    // Floats (packed rows of `width`) to 16-bit rows of rowElements.
    const std::int64_t packed = std::int64_t{shape.width} * shape.height;
    Guarded<std::int16_t> samples(count, 2);
    Guarded<std::int16_t> expected = samples;
    ASSERT_EQ(RoiConvertFloatToInt16Portable(floats.data(), 4 * shape.width, expected.data(),
                                             2 * rowElements, shape.width, shape.height, 1),
              StatusOk);
    PrimitiveStatus status = -1;
    Checked([&] {
      status = RoiConvertFloatToInt16(floats.data(), 4 * shape.width, samples.data(),
                                      2 * rowElements, shape.width, shape.height, 1);
    });
    ASSERT_EQ(status, StatusOk);
    for (std::int64_t i = 0; i < count; ++i) {
      const std::int64_t r = i / rowElements;
      const std::int64_t x = i % rowElements;
      const bool nan =
          x < shape.width && std::isnan(values[static_cast<std::size_t>(r * shape.width + x)]);
      ASSERT_EQ(samples.Get(i), simd() && nan ? std::int16_t{32767} : expected.Get(i))
          << "element " << i;
    }
    Guarded<std::int8_t> bytes(count, 3);
    Guarded<std::int8_t> bytesExpected = bytes;
    ASSERT_EQ(RoiConvertFloatToInt8Portable(floats.data(), 4 * shape.width, bytesExpected.data(),
                                            rowElements, shape.width, shape.height, 0),
              StatusOk);
    Checked([&] {
      status = RoiConvertFloatToInt8(floats.data(), 4 * shape.width, bytes.data(), rowElements,
                                     shape.width, shape.height, 0);
    });
    ASSERT_EQ(status, StatusOk);
    for (std::int64_t i = 0; i < count; ++i) {
      const std::int64_t r = i / rowElements;
      const std::int64_t x = i % rowElements;
      const bool nan =
          x < shape.width && std::isnan(values[static_cast<std::size_t>(r * shape.width + x)]);
      ASSERT_EQ(bytes.Get(i), simd() && nan ? std::int8_t{127} : bytesExpected.Get(i))
          << "element " << i;
    }
    // The 16-bit rows back to packed floats.
    Guarded<float> back(packed, 8);
    Guarded<float> backExpected = back;
    ASSERT_EQ(RoiConvertInt16ToFloatPortable(samples.data(), 2 * rowElements, backExpected.data(),
                                             4 * shape.width, shape.width, shape.height),
              StatusOk);
    Checked([&] {
      status = RoiConvertInt16ToFloat(samples.data(), 2 * rowElements, back.data(), 4 * shape.width,
                                      shape.width, shape.height);
    });
    ASSERT_EQ(status, StatusOk);
    ASSERT_EQ(std::memcmp(back.data(), backExpected.data(), 4 * static_cast<std::size_t>(packed)),
              0);
    ASSERT_TRUE(samples.GuardsIntact());
    ASSERT_TRUE(bytes.GuardsIntact());
    ASSERT_TRUE(back.GuardsIntact());
  }
}

INSTANTIATE_TEST_SUITE_P(Letters, RoiConvertTest, kAllLetters, LetterParamName);

}  // namespace
