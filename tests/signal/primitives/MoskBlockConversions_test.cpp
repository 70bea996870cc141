// The 32-bit block fill, block copies and sample-width conversions, called
// through the pointer variables.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <numeric>
#include <string>
#include <vector>

#include "signal/primitives/MoskBasicDispatcher.h"
#include "tests/signal/primitives/PrimitiveReference.h"

namespace {

using primitives_test::RoundHalfEven;

template <typename T>
T Load(const unsigned char* p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

// ---- Argument checks --------------------------------------------------------------

using Call =
    std::function<PrimitiveStatus(bool nullSrc, bool nullDst, std::int32_t srcStep,
                                  std::int32_t dstStep, std::int32_t width, std::int32_t height)>;

struct CheckRow {
  const char* name;
  Call call;
  bool hasSource;
  bool checksSourceStep;
  bool checksDestinationStep;
};

alignas(16) unsigned char gSource[256];
alignas(16) unsigned char gTarget[256];

template <typename T>
T* Ptr(unsigned char* area, bool null) {
  return null ? nullptr : reinterpret_cast<T*>(area);
}

template <typename S, typename D, typename P>
Call Block(P& pointer) {
  return [&pointer](bool ns, bool nd, std::int32_t ss, std::int32_t ds, std::int32_t w,
                    std::int32_t h) {
    return pointer(Ptr<S>(gSource, ns), ss, Ptr<D>(gTarget, nd), ds, w, h);
  };
}

template <typename S, typename P>
Call Narrowing(P& pointer) {
  return [&pointer](bool ns, bool nd, std::int32_t ss, std::int32_t ds, std::int32_t w,
                    std::int32_t h) {
    return pointer(Ptr<S>(gSource, ns), ss, Ptr<std::uint8_t>(gTarget, nd), ds, w, h, 1);
  };
}

class BlockCheckTest : public ::testing::TestWithParam<CheckRow> {};

TEST_P(BlockCheckTest, PointersThenSizesThenStepsAndNothingWritten) {
  const CheckRow& row = GetParam();
  std::fill(std::begin(gTarget), std::end(gTarget), 0x5A);
  if (row.hasSource) {
    EXPECT_EQ(row.call(true, false, 0, 0, 0, 0), StatusNullPointer);
  }
  EXPECT_EQ(row.call(false, true, 0, 0, 0, 0), StatusNullPointer);
  EXPECT_EQ(row.call(false, false, 0, 0, 0, 1), StatusBadLength);
  EXPECT_EQ(row.call(false, false, 0, 0, 1, 0), StatusBadLength);
  if (row.checksSourceStep) {
    EXPECT_EQ(row.call(false, false, 0, 16, 1, 2), StatusBadStep);
  }
  if (row.checksDestinationStep) {
    EXPECT_EQ(row.call(false, false, 16, -16, 1, 2), StatusBadStep);
  }
  for (const unsigned char byte : gTarget) {
    ASSERT_EQ(byte, 0x5A);
  }
  // Steps a primitive does not check are accepted.
  if (!row.checksSourceStep) {
    EXPECT_EQ(row.call(false, false, 0, 16, 1, 2), StatusOk);
  }
  if (!row.checksDestinationStep) {
    EXPECT_EQ(row.call(false, false, 16, 0, 1, 2), StatusOk);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Primitives, BlockCheckTest,
    ::testing::Values(
        CheckRow{"SetInt32",
                 [](bool, bool nd, std::int32_t, std::int32_t ds, std::int32_t w, std::int32_t h) {
                   return RoiSetInt32(7, Ptr<std::int32_t>(gTarget, nd), ds, w, h);
                 },
                 false, false, true},
        CheckRow{"CopyUInt8", Block<std::uint8_t, std::uint8_t>(RoiCopyUInt8), true, false, false},
        CheckRow{"CopyInt16", Block<std::int16_t, std::int16_t>(RoiCopyInt16), true, false, false},
        CheckRow{"CopyInt32", Block<std::int32_t, std::int32_t>(RoiCopyInt32), true, false, false},
        CheckRow{"UInt8ToFloat", Block<std::uint8_t, float>(RoiConvertUInt8ToFloat), true, true,
                 true},
        CheckRow{"UInt8ToInt16", Block<std::uint8_t, std::int16_t>(RoiConvertUInt8ToInt16), true,
                 true, true},
        CheckRow{"UInt8ToInt32", Block<std::uint8_t, std::int32_t>(RoiConvertUInt8ToInt32), true,
                 true, true},
        CheckRow{"Int16ToUInt8", Narrowing<std::int16_t>(RoiConvertInt16ToUInt8), true, true, true},
        CheckRow{"Int32ToUInt8", Narrowing<std::int32_t>(RoiConvertInt32ToUInt8), true, true,
                 true}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Widening: every byte ----------------------------------------------------------------

TEST(WideningTest, EveryByte) {
  std::vector<std::uint8_t> bytes(256);
  std::iota(bytes.begin(), bytes.end(), 0);
  std::vector<float> floats(256);
  std::vector<std::int16_t> shorts(256);
  std::vector<std::int32_t> ints(256);
  ASSERT_EQ(RoiConvertUInt8ToFloat(bytes.data(), 256, floats.data(), 1024, 256, 1), StatusOk);
  ASSERT_EQ(RoiConvertUInt8ToInt16(bytes.data(), 16, shorts.data(), 32, 16, 16), StatusOk);
  ASSERT_EQ(RoiConvertUInt8ToInt32(bytes.data(), 1, ints.data(), 4, 1, 256), StatusOk);
  for (int x = 0; x < 256; ++x) {
    EXPECT_EQ(floats[x], static_cast<float>(x));
    EXPECT_EQ(shorts[x], x * 257 - 32768);
    EXPECT_EQ(ints[x], static_cast<std::int64_t>(x) * 16843009 - 2147483648LL);
  }
  EXPECT_EQ(shorts[128], 128);
  EXPECT_EQ(ints[128], 8421504);
}

// ---- Narrowing 16 -> 8 bits: exhaustive ------------------------------------------------------

// The rounded mappings computed in floating point, for comparison: y = x *
// scale + offset on extended registers, truncated, then made even when exact.
int FloatingPointRounded(long double x, long double scale, long double offset) {
  const long double y = x * scale + offset;
  auto n = static_cast<long long>(y);
  if ((n & 1) != 0 && static_cast<long double>(n) == y) {
    --n;
  }
  return static_cast<int>(n & 0xFF);
}

// 16 -> 8 bits, with single-precision constants.
int FloatingPointRounded16(int x) {
  return FloatingPointRounded(x, 0.0038910505827516317f, 128.001953125f);
}

TEST(NarrowingTest, Int16ToUInt8EveryInputBothMappings) {
  std::vector<std::int16_t> samples(65536);
  for (int i = 0; i < 65536; ++i) {
    samples[i] = static_cast<std::int16_t>(i - 32768);
  }
  std::vector<std::uint8_t> rounded(65536);
  std::vector<std::uint8_t> shifted(65536);
  ASSERT_EQ(RoiConvertInt16ToUInt8(samples.data(), 2 * 256, rounded.data(), 256, 256, 256, 2),
            StatusOk);
  ASSERT_EQ(RoiConvertInt16ToUInt8(samples.data(), 2 * 65536, shifted.data(), 65536, 65536, 1, 1),
            StatusOk);
  int previous = 0;
  for (int i = 0; i < 65536; ++i) {
    const int x = i - 32768;
    // Nearest integer to (x + 32768) / 257, from the definition.
    ASSERT_EQ(rounded[i], RoundHalfEven(x + 32768, 257)) << x;
    ASSERT_EQ(rounded[i], FloatingPointRounded16(x)) << x;
    // The shift mapping is monotone, covers 0..255, and lies within one step
    // of the exact scaling (x + 32768) / 257.
    ASSERT_GE(shifted[i], previous) << x;
    ASSERT_LE(std::abs(shifted[i] - (x + 32768) / 257.0), 1.0) << x;
    previous = shifted[i];
  }
  EXPECT_EQ(shifted.front(), 0);
  EXPECT_EQ(shifted.back(), 255);
}

TEST(NarrowingTest, Int16ToUInt8Examples) {
  struct Row {
    std::int16_t x;
    std::int32_t mode;
    std::uint8_t expected;
  };
  const Row rows[] = {{-32768, 1, 0}, {-129, 1, 127}, {-1, 1, 128},    {0, 1, 128},
                      {256, 1, 128},  {257, 1, 129},  {32767, 1, 255}, {-32768, 2, 0},
                      {-1, 2, 127},   {0, 2, 128},    {32767, 2, 255}, {257, 0, 129},
                      {257, 3, 129},  {257, -1, 129}};
  for (const Row& row : rows) {
    std::uint8_t out = 0xEE;
    ASSERT_EQ(RoiConvertInt16ToUInt8(&row.x, 2, &out, 1, 1, 1, row.mode), StatusOk);
    EXPECT_EQ(out, row.expected) << row.x << " mode " << row.mode;
  }
}

// ---- Narrowing 32 -> 8 bits: every boundary ----------------------------------------------

// 32 -> 8 bits, with double-precision constants.
int FloatingPointRounded32(std::int64_t x) {
  return FloatingPointRounded(static_cast<long double>(x), 5.937181414556033e-08,
                              128.0000000296859);
}

// For every result k = 1..255 the first input giving k and the input just
// below it, plus both ends of the range.
TEST(NarrowingTest, Int32ToUInt8RoundedAtEveryBoundary) {
  std::vector<std::int32_t> inputs = {std::numeric_limits<std::int32_t>::min(),
                                      std::numeric_limits<std::int32_t>::max(), -1, 0, 8421504};
  for (std::int64_t k = 1; k <= 255; ++k) {
    const std::int64_t first = 16843009 * k - 8421504 - 2147483648LL;  // v >= 16843009 k - 8421504
    inputs.push_back(static_cast<std::int32_t>(first));
    inputs.push_back(static_cast<std::int32_t>(first - 1));
  }
  std::vector<std::uint8_t> out(inputs.size());
  ASSERT_EQ(RoiConvertInt32ToUInt8(inputs.data(), 4, out.data(), 1, 1,
                                   static_cast<std::int32_t>(inputs.size()), 2),
            StatusOk);
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    const std::int64_t v = std::int64_t{inputs[i]} + 2147483648LL;
    EXPECT_EQ(out[i], RoundHalfEven(v, 16843009)) << inputs[i];
    EXPECT_EQ(out[i], FloatingPointRounded32(inputs[i])) << inputs[i];
  }
  EXPECT_EQ(out[2], 127);
  EXPECT_EQ(out[4], 128);
  EXPECT_EQ(out[1], 255);
}

TEST(NarrowingTest, Int32ToUInt8ShiftMappingExamples) {
  const std::int32_t inputs[] = {
      std::numeric_limits<std::int32_t>::min(), -1,       0,        16843009,
      std::numeric_limits<std::int32_t>::max(), 16843008, -16843009};
  const std::uint8_t expected[] = {0, 128, 128, 129, 255, 128, 127};
  std::uint8_t out[7];
  ASSERT_EQ(RoiConvertInt32ToUInt8(inputs, 28, out, 7, 7, 1, 1), StatusOk);
  for (int i = 0; i < 7; ++i) {
    EXPECT_EQ(out[i], expected[i]) << inputs[i];
  }
}

TEST(NarrowingTest, WideningThenNarrowingGivesEveryByteBack) {
  std::vector<std::uint8_t> bytes(256);
  std::iota(bytes.begin(), bytes.end(), 0);
  std::vector<std::int16_t> shorts(256);
  std::vector<std::int32_t> ints(256);
  ASSERT_EQ(RoiConvertUInt8ToInt16(bytes.data(), 256, shorts.data(), 512, 256, 1), StatusOk);
  ASSERT_EQ(RoiConvertUInt8ToInt32(bytes.data(), 256, ints.data(), 1024, 256, 1), StatusOk);
  for (const std::int32_t mode : {1, 2}) {
    std::vector<std::uint8_t> back16(256);
    std::vector<std::uint8_t> back32(256);
    ASSERT_EQ(RoiConvertInt16ToUInt8(shorts.data(), 512, back16.data(), 256, 256, 1, mode),
              StatusOk);
    ASSERT_EQ(RoiConvertInt32ToUInt8(ints.data(), 1024, back32.data(), 256, 256, 1, mode),
              StatusOk);
    EXPECT_EQ(back16, bytes) << mode;
    EXPECT_EQ(back32, bytes) << mode;
  }
}

// Interleaved stereo bytes (one channel: width 1, steps 2 and 4) go row by
// row and give the same samples as the packed mono conversion.
TEST(NarrowingTest, OneChannelOfInterleavedDataMatchesPackedConversion) {
  std::vector<std::uint8_t> stereo(2 * 100);
  for (std::size_t i = 0; i < stereo.size(); ++i) {
    stereo[i] = static_cast<std::uint8_t>(i * 37 + 11);
  }
  std::vector<std::uint8_t> left(100);
  for (int i = 0; i < 100; ++i) {
    left[i] = stereo[2 * i];
  }
  std::vector<std::int16_t> out(2 * 100, 7);
  std::vector<std::int16_t> packed(100);
  ASSERT_EQ(RoiConvertUInt8ToInt16(stereo.data(), 2, out.data(), 4, 1, 100), StatusOk);
  ASSERT_EQ(RoiConvertUInt8ToInt16(left.data(), 1, packed.data(), 2, 1, 100), StatusOk);
  for (int i = 0; i < 100; ++i) {
    EXPECT_EQ(out[2 * i], packed[i]);
    EXPECT_EQ(out[2 * i + 1], 7);  // the other channel is untouched
  }
}

// ---- Copies and the 32-bit fill ------------------------------------------------------------

TEST(BlockCopyTest, StepsAreAddedAsGivenIncludingZeroAndNegative) {
  const std::int32_t src[6] = {1, 2, 3, 4, 5, 6};
  std::int32_t dst[6] = {};
  // srcStep 0: the first source row goes into every destination row.
  EXPECT_EQ(RoiCopyInt32(src, 0, dst, 8, 2, 3), StatusOk);
  EXPECT_EQ((std::vector<std::int32_t>(dst, dst + 6)),
            (std::vector<std::int32_t>{1, 2, 1, 2, 1, 2}));
  // A negative source step walks the rows upward.
  EXPECT_EQ(RoiCopyInt32(src + 4, -8, dst, 8, 2, 3), StatusOk);
  EXPECT_EQ((std::vector<std::int32_t>(dst, dst + 6)),
            (std::vector<std::int32_t>{5, 6, 3, 4, 1, 2}));
}

// A 24-bit sample channel of interleaved stereo (6-byte frames) copied as a
// 16-bit copy of its first two bytes plus a byte copy of the third: rows at
// odd addresses.
TEST(BlockCopyTest, TwentyFourBitChannelAtOddOffsets) {
  constexpr int kFrames = 50;
  std::vector<unsigned char> from(6 * kFrames + 8);
  std::vector<unsigned char> to(6 * kFrames + 8, 0xEE);
  for (std::size_t i = 0; i < from.size(); ++i) {
    from[i] = static_cast<unsigned char>(i * 13 + 1);
  }
  const int channel = 3;  // the right channel starts 3 bytes into each frame
  ASSERT_EQ(RoiCopyInt16(reinterpret_cast<const std::int16_t*>(from.data() + channel), 6,
                         reinterpret_cast<std::int16_t*>(to.data() + channel), 6, 1, kFrames),
            StatusOk);
  ASSERT_EQ(RoiCopyUInt8(from.data() + channel + 2, 6, to.data() + channel + 2, 6, 1, kFrames),
            StatusOk);
  for (int f = 0; f < kFrames; ++f) {
    for (int b = 0; b < 6; ++b) {
      const std::size_t i = static_cast<std::size_t>(6 * f + b);
      EXPECT_EQ(to[i], b >= channel ? from[i] : 0xEE) << f << "," << b;
    }
  }
}

// Filling a run of 24-bit samples: three calls with width 1, step 12 and the
// start offsets 0, 4 and 8, each with that position's 32-bit word of the
// 12-byte period, starting at an odd address.
TEST(BlockFillTest, TwentyFourBitRunThroughThreeInterleavedFills) {
  const unsigned char sample[3] = {0x11, 0x22, 0x33};
  constexpr int kPeriods = 10;
  std::vector<unsigned char> area(12 * kPeriods + 4, 0xEE);
  unsigned char* start = area.data() + 1;
  unsigned char period[12];
  for (int i = 0; i < 12; ++i) {
    period[i] = sample[i % 3];
  }
  for (const int offset : {0, 4, 8}) {
    const std::int32_t word = Load<std::int32_t>(period + offset);
    ASSERT_EQ(RoiSetInt32(word, reinterpret_cast<std::int32_t*>(start + offset), 12, 1, kPeriods),
              StatusOk);
  }
  EXPECT_EQ(area[0], 0xEE);
  for (int i = 0; i < 12 * kPeriods; ++i) {
    EXPECT_EQ(start[i], sample[i % 3]) << i;
  }
  EXPECT_EQ(start[12 * kPeriods], 0xEE);
}

}  // namespace
