// Sample-width conversion and sample arithmetic, checked against plain
// references: exhaustively wherever the input space is 16 bits (8- and 16-bit
// sources, 8-bit pairs, 16-bit dividends and samples per divisor or factor,
// every 24-bit value through floats), and on tables of named boundary cases
// for 24 and 32 bits. Runs are strided and start at odd addresses, with
// sentinel bytes around and between them.
#include "audio/MoskSampleConversion.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cfenv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <limits>
#include <ostream>
#include <string>
#include <vector>

namespace {

constexpr int32_t Int32Min = std::numeric_limits<int32_t>::min();
constexpr int32_t Int32Max = std::numeric_limits<int32_t>::max();
constexpr uint8_t Sentinel = 0xA5;
const uint32_t Widths[] = {8, 16, 24, 32};

// ---------------------------------------------------------------------------
// Plain references, written byte by byte and from the rules, not from the
// code under test.

// A stored sample: the byte for 8 bits, the signed value otherwise.
void StoreRaw(uint32_t bits, int64_t raw, uint8_t* p) {
  for (uint32_t i = 0; i < bits / 8; ++i)
    p[i] = static_cast<uint8_t>(static_cast<uint64_t>(raw) >> (8 * i));
}

int64_t LoadRaw(uint32_t bits, const uint8_t* p) {
  uint64_t u = 0;
  for (uint32_t i = 0; i < bits / 8; ++i)
    u |= uint64_t{p[i]} << (8 * i);
  if (bits == 8)
    return static_cast<int64_t>(u);
  const uint64_t sign = uint64_t{1} << (bits - 1);
  return static_cast<int64_t>(u ^ sign) - static_cast<int64_t>(sign);
}

// The signed value a stored sample stands for, and back.
int64_t ValueOf(uint32_t bits, int64_t raw) {
  return bits == 8 ? raw - 127 : raw;
}
int64_t RawOf(uint32_t bits, int64_t value) {
  return bits == 8 ? value + 127 : value;
}

int64_t FullScale(uint32_t bits) {
  return bits == 8 ? 127 : (int64_t{1} << (bits - 1)) - 1;
}
int64_t MinValue(uint32_t bits) {
  return bits == 8 ? -127 : -(int64_t{1} << (bits - 1));
}
int64_t MaxValue(uint32_t bits) {
  return bits == 8 ? 128 : (int64_t{1} << (bits - 1)) - 1;
}
int64_t Clamp(uint32_t bits, int64_t v) {
  return std::min(std::max(v, MinValue(bits)), MaxValue(bits));
}

// floor(a / b) for b > 0, in exact integer arithmetic.
int64_t FloorDiv(int64_t a, int64_t b) {
  return a >= 0 ? a / b : -((-a + b - 1) / b);
}

// The legs between 8 bits and 16 or 32 bits, from the vector primitives'
// rules: b x 257 - 32768; b x 0x01010101 + 0x80000000 wrapping to 32 bits;
// floor((x - floor(x / 256)) / 2^8 or 2^24) + 128. -1 for any other pair.
int64_t RefEightBitLeg(uint32_t srcBits, uint32_t dstBits, int64_t raw) {
  if (srcBits == 8 && dstBits == 16)
    return raw * 257 - 32768;
  if (srcBits == 8 && dstBits == 32)
    return raw * 0x01010101 - 0x80000000LL;  // 0 .. 2^32 - 1 with the top bit inverted
  if (dstBits == 8 && (srcBits == 16 || srcBits == 32))
    return FloorDiv(raw - FloorDiv(raw, 256), int64_t{1} << (srcBits - 8)) + 128;
  return -1;
}

// Width conversion in long double: x x F(dst) is exact, and the quotient's
// rounding error (under 2^-32) is smaller than any fraction of 1 / F(src),
// so truncating it is exact.
int64_t RefConvert(uint32_t srcBits, uint32_t dstBits, int64_t raw) {
  if (srcBits == dstBits)
    return raw;
  if (const int64_t leg = RefEightBitLeg(srcBits, dstBits, raw); leg != -1)
    return leg;
  const long double x = static_cast<long double>(ValueOf(srcBits, raw));
  const long double q = x * FullScale(dstBits) / FullScale(srcBits);
  return RawOf(dstBits, Clamp(dstBits, static_cast<int64_t>(std::trunc(q))));
}

int64_t Mod256(int64_t v) {
  return ((v % 256) + 256) % 256;
}

// The nearest integer (ties to even, the default rounding mode), saturated;
// NaN as 0.
int64_t RefRound(uint32_t bits, double v) {
  if (std::isnan(v))
    return 0;
  if (v <= static_cast<double>(MinValue(bits)))
    return MinValue(bits);
  if (v >= static_cast<double>(MaxValue(bits)))
    return MaxValue(bits);
  return static_cast<int64_t>(std::nearbyint(v));
}

// A strided run of `count` samples of `bits`, `stride` bytes apart, starting
// one byte into a sentinel-filled block; the other bytes stay sentinels.
struct StridedRun {
  StridedRun(uint32_t bits, uint32_t count, int32_t stride)
      : bits(bits),
        count(count),
        stride(stride),
        bytes(1 + static_cast<size_t>(count) * stride + 8, Sentinel) {}
  uint8_t* At(uint32_t i) { return bytes.data() + 1 + static_cast<size_t>(i) * stride; }
  uint8_t* Base() { return At(0); }
  void Set(uint32_t i, int64_t raw) { StoreRaw(bits, raw, At(i)); }
  int64_t Get(uint32_t i) { return LoadRaw(bits, At(i)); }
  // Every byte that is not part of a sample is still a sentinel.
  bool GapsUntouched() {
    const size_t width = bits / 8;
    for (size_t b = 0; b < bytes.size(); ++b) {
      const bool inSample = b >= 1 && (b - 1) % stride < width && (b - 1) / stride < count;
      if (!inSample && bytes[b] != Sentinel)
        return false;
    }
    return true;
  }
  uint32_t bits;
  uint32_t count;
  int32_t stride;
  std::vector<uint8_t> bytes;
};

// ---------------------------------------------------------------------------
// Full scale

// 2^(bits - 1) - 1 for every supported width; nothing for any other.
TEST(MoskSampleConversion, FullScaleOfEachWidth) {
  for (const uint32_t bits : {8u, 16u, 24u, 32u}) {
    SCOPED_TRACE(bits);
    EXPECT_EQ(int64_t{MoskFullScaleOf(bits)}, (int64_t{1} << (bits - 1)) - 1);
  }
  for (const uint32_t bits : {0u, 1u, 12u, 20u, 64u})
    EXPECT_EQ(MoskFullScaleOf(bits), 0) << bits;
}

// ---------------------------------------------------------------------------
// 24-bit access

TEST(MoskSampleConversion, Int24AccessBytes) {
  struct Row {
    uint8_t b0, b1, b2;
    int32_t value;
  };
  const Row rows[] = {
      {0x00, 0x00, 0x80, -8388608}, {0xFF, 0xFF, 0xFF, -1},       {0xFF, 0xFF, 0x7F, 8388607},
      {0x01, 0x00, 0x00, 1},        {0x56, 0x34, 0x12, 0x123456},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.value);
    const uint8_t in[4] = {r.b0, r.b1, r.b2, Sentinel};
    EXPECT_EQ(ReadInt24Sample(in), r.value);
    uint8_t out[4] = {0, 0, 0, Sentinel};
    WriteInt24Sample(r.value, out);
    EXPECT_EQ(std::memcmp(in, out, 4), 0) << "three bytes written, the fourth left alone";
  }
}

TEST(MoskSampleConversion, Int24WriteMarksEveryNegativeValue) {
  uint8_t out[3];
  WriteInt24Sample(-8388609, out);  // 0xFF7FFFFF: low bytes FF FF 7F, then bit 23
  EXPECT_EQ(ReadInt24Sample(out), -1);
  WriteInt24Sample(8388608, out);  // beyond the range, positive: the low bytes as they are
  EXPECT_EQ(ReadInt24Sample(out), -8388608);
}

// ---------------------------------------------------------------------------
// Width conversion

// Every 8-bit and every 16-bit sample, to every width, from a 3-channel
// interleaved run into a 2-channel one.
TEST(MoskSampleConversion, ConvertEverySmallSampleToEveryWidth) {
  for (uint32_t srcBits : {8u, 16u}) {
    const uint32_t count = 1u << srcBits;
    StridedRun src(srcBits, count, 3 * srcBits / 8);
    // In value order: bytes 0 .. 255, 16-bit -32768 .. 32767.
    for (uint32_t i = 0; i < count; ++i)
      src.Set(i, srcBits == 8 ? int64_t{i} : int64_t{i} - 32768);
    for (uint32_t dstBits : Widths) {
      SCOPED_TRACE(std::to_string(srcBits) + " -> " + std::to_string(dstBits));
      StridedRun dst(dstBits, count, 2 * dstBits / 8);
      ASSERT_TRUE(ConvertSampleWidth(src.Base(), srcBits, src.stride, count, dst.stride, dstBits,
                                     dst.Base()));
      int64_t previous = std::numeric_limits<int64_t>::min();
      for (uint32_t i = 0; i < count; ++i) {
        const int64_t raw = src.Get(i);
        ASSERT_EQ(dst.Get(i), RefConvert(srcBits, dstBits, raw)) << "input " << raw;
        const int64_t value = ValueOf(dstBits, dst.Get(i));
        ASSERT_GE(value, previous) << "monotonic, input " << raw;
        if (srcBits == 16 && raw == 0) {
          ASSERT_EQ(dst.Get(i), dstBits == 8 ? 128 : 0) << "zero";
        }
        previous = value;
      }
      EXPECT_EQ(ValueOf(dstBits, dst.Get(count - 1)),
                srcBits == 8 || dstBits == 8 ? MaxValue(dstBits) : FullScale(dstBits))
          << "the top reaches the target's top";
      EXPECT_TRUE(dst.GapsUntouched());
    }
    EXPECT_TRUE(src.GapsUntouched());
  }
}

struct ConvertCase {
  const char* name;
  uint32_t srcBits, dstBits;
  int64_t in, out;  // stored values: bytes at 8 bits
};
void PrintTo(const ConvertCase& c, std::ostream* os) {
  *os << c.name;
}

class MoskConvertBoundary : public testing::TestWithParam<ConvertCase> {};

TEST_P(MoskConvertBoundary, MatchesTheRule) {
  const ConvertCase& c = GetParam();
  StridedRun src(c.srcBits, 1, 4), dst(c.dstBits, 1, 4);
  src.Set(0, c.in);
  ASSERT_TRUE(
      ConvertSampleWidth(src.Base(), c.srcBits, src.stride, 1, dst.stride, c.dstBits, dst.Base()));
  EXPECT_EQ(dst.Get(0), c.out);
  EXPECT_EQ(c.out, RefConvert(c.srcBits, c.dstBits, c.in)) << "the table row itself";
  EXPECT_TRUE(dst.GapsUntouched());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MoskConvertBoundary,
    testing::Values(ConvertCase{"U8TopTo24Saturates", 8, 24, 255, 8388607},
                    ConvertCase{"U8ZeroLevelTo24IsZero", 8, 24, 127, 0},
                    ConvertCase{"U8TopTo16IsTheTop", 8, 16, 255, 32767},
                    ConvertCase{"U8BottomTo16IsTheBottom", 8, 16, 0, -32768},
                    ConvertCase{"U8MiddleTo16", 8, 16, 128, 128},
                    ConvertCase{"U8BelowMiddleTo16", 8, 16, 127, -129},
                    ConvertCase{"U8BottomTo32IsTheBottom", 8, 32, 0, Int32Min},
                    ConvertCase{"U8TopTo32IsTheTop", 8, 32, 255, Int32Max},
                    ConvertCase{"U8MiddleTo32", 8, 32, 128, 0x00808080},
                    ConvertCase{"I16MinTo32Saturates", 16, 32, -32768, Int32Min},
                    ConvertCase{"I16MinTo24Saturates", 16, 24, -32768, -8388608},
                    ConvertCase{"I16MinTo8IsByteZero", 16, 8, -32768, 0},
                    ConvertCase{"I16MaxTo8IsByteTop", 16, 8, 32767, 255},
                    ConvertCase{"I16ZeroTo8Is128", 16, 8, 0, 128},
                    ConvertCase{"I16MinusOneTo8Is128", 16, 8, -1, 128},
                    ConvertCase{"I16Minus129To8Is127", 16, 8, -129, 127},
                    ConvertCase{"I32ZeroTo8Is128", 32, 8, 0, 128},
                    ConvertCase{"I24MinTo16TruncatesTowardZero", 24, 16, -8388608, -32767},
                    ConvertCase{"I24MaxTo16", 24, 16, 8388607, 32767},
                    ConvertCase{"I24MinusOneTo16IsZero", 24, 16, -1, 0},
                    ConvertCase{"I24MaxTo8", 24, 8, 8388607, 254},
                    ConvertCase{"I24MinTo8", 24, 8, -8388608, 0},
                    ConvertCase{"I24MaxTo32", 24, 32, 8388607, Int32Max},
                    ConvertCase{"I24MinTo32Saturates", 24, 32, -8388608, Int32Min},
                    ConvertCase{"I32MinTo16", 32, 16, Int32Min, -32767},
                    ConvertCase{"I32MaxTo24", 32, 24, Int32Max, 8388607},
                    ConvertCase{"I32MinTo24", 32, 24, Int32Min, -8388607},
                    ConvertCase{"I32JustBelowOneStepTo16", 32, 16, 65538, 0},
                    ConvertCase{"I32OneStepTo16", 32, 16, 65539, 1},
                    ConvertCase{"I32MinTo8", 32, 8, Int32Min, 0},
                    ConvertCase{"I32MaxTo8", 32, 8, Int32Max, 255}),
    [](const testing::TestParamInfo<ConvertCase>& info) { return std::string(info.param.name); });

// Every byte widened to 16 or 32 bits and narrowed again is the byte it
// was, also on strided, interleaved runs.
TEST(MoskSampleConversion, EveryByteSurvivesARoundTripThroughEachWideWidth) {
  for (uint32_t wideBits : {16u, 32u}) {
    SCOPED_TRACE(wideBits);
    StridedRun bytes(8, 256, 3), wide(wideBits, 256, 2 * wideBits / 8), back(8, 256, 2);
    for (uint32_t i = 0; i < 256; ++i)
      bytes.Set(i, i);
    ASSERT_TRUE(
        ConvertSampleWidth(bytes.Base(), 8, bytes.stride, 256, wide.stride, wideBits, wide.Base()));
    ASSERT_TRUE(
        ConvertSampleWidth(wide.Base(), wideBits, wide.stride, 256, back.stride, 8, back.Base()));
    for (uint32_t i = 0; i < 256; ++i)
      ASSERT_EQ(back.Get(i), i) << "byte " << i << " via " << wide.Get(i);
    EXPECT_TRUE(wide.GapsUntouched());
    EXPECT_TRUE(back.GapsUntouched());
  }
}

TEST(MoskSampleConversion, EqualWidthsCopyTheBytes) {
  for (uint32_t bits : Widths) {
    SCOPED_TRACE(bits);
    StridedRun src(bits, 5, bits / 8 * 2), dst(bits, 5, bits / 8 * 3);
    const int64_t values[5] = {0, 1, -1, MinValue(bits), MaxValue(bits)};
    for (uint32_t i = 0; i < 5; ++i)
      src.Set(i, RawOf(bits, values[i]));
    ASSERT_TRUE(ConvertSampleWidth(src.Base(), bits, src.stride, 5, dst.stride, bits, dst.Base()));
    for (uint32_t i = 0; i < 5; ++i)
      EXPECT_EQ(dst.Get(i), src.Get(i));
    EXPECT_TRUE(dst.GapsUntouched());
  }
}

TEST(MoskSampleConversion, UnsupportedWidthsConvertNothing) {
  const uint32_t pairs[][2] = {{12, 16}, {16, 12}, {0, 8}, {32, 64}, {20, 24}};
  for (const auto& pair : pairs) {
    SCOPED_TRACE(std::to_string(pair[0]) + " -> " + std::to_string(pair[1]));
    std::vector<uint8_t> src(64, 0x11), dst(64, Sentinel);
    EXPECT_FALSE(ConvertSampleWidth(src.data(), pair[0], 4, 8, 4, pair[1], dst.data()));
    EXPECT_EQ(dst, std::vector<uint8_t>(64, Sentinel));
  }
}

// ---------------------------------------------------------------------------
// Arithmetic

enum class Op { Add, Subtract, Multiply, Divide };
const Op Ops[] = {Op::Add, Op::Subtract, Op::Multiply, Op::Divide};

bool Combine(Op op, uint32_t bits, const void* src, int32_t srcStep, void* srcDst, int32_t step,
             uint32_t count) {
  switch (op) {
    case Op::Add:
      return AddSamples(bits, src, srcStep, srcDst, step, count);
    case Op::Subtract:
      return SubtractSamples(bits, src, srcStep, srcDst, step, count);
    case Op::Multiply:
      return MultiplySamples(bits, src, srcStep, srcDst, step, count);
    case Op::Divide:
      return DivideSamples(bits, src, srcStep, srcDst, step, count);
  }
  return false;
}

// The 8-bit rules as written: stored bytes, zero level 127, modulo 256.
int64_t Ref8(Op op, int64_t t, int64_t s) {
  switch (op) {
    case Op::Add:
      return Mod256(t + (s - 127));
    case Op::Subtract:
      return Mod256(t + (127 - s));
    case Op::Multiply:
      return Mod256((t - 127) * (s - 127) + 127);
    case Op::Divide:
      return s == 127 ? 127 : Mod256((t - 127) / (s - 127) + 127);
  }
  return -1;
}

// The 16-bit rules: exact result saturated; the quotient rounded to nearest
// with ties to even (exact in double for 16-bit operands); a zero divisor
// gives the end of the range on the dividend's side.
int64_t Ref16(Op op, int64_t t, int64_t s) {
  switch (op) {
    case Op::Add:
      return Clamp(16, t + s);
    case Op::Subtract:
      return Clamp(16, t - s);
    case Op::Multiply:
      return Clamp(16, t * s);
    case Op::Divide:
      if (s == 0)
        return t > 0 ? 32767 : (t < 0 ? -32768 : 0);
      return Clamp(16, static_cast<int64_t>(std::nearbyint(static_cast<double>(t) / s)));
  }
  return -1;
}

TEST(MoskSampleArithmetic, EveryPairOf8BitSamples) {
  const uint32_t count = 65536;
  for (Op op : Ops) {
    SCOPED_TRACE(static_cast<int>(op));
    StridedRun target(8, count, 2), source(8, count, 3);
    for (uint32_t i = 0; i < count; ++i) {
      target.Set(i, i & 0xFF);
      source.Set(i, i >> 8);
    }
    ASSERT_TRUE(Combine(op, 8, source.Base(), source.stride, target.Base(), target.stride, count));
    for (uint32_t i = 0; i < count; ++i)
      ASSERT_EQ(target.Get(i), Ref8(op, i & 0xFF, i >> 8))
          << "t " << (i & 0xFF) << " s " << (i >> 8);
    EXPECT_TRUE(target.GapsUntouched());
  }
}

TEST(MoskSampleArithmetic, Every16BitSampleAgainstBoundaryOperands) {
  const int64_t operands[] = {-32768, -32767, -256, -3, -2, -1, 0, 1, 2, 3, 7, 181, 255, 32767};
  const uint32_t count = 65536;
  for (Op op : Ops) {
    for (int64_t s : operands) {
      SCOPED_TRACE(std::to_string(static_cast<int>(op)) + " s " + std::to_string(s));
      StridedRun target(16, count, 4), source(16, count, 2);
      for (uint32_t i = 0; i < count; ++i) {
        target.Set(i, static_cast<int16_t>(i));
        source.Set(i, s);
      }
      ASSERT_TRUE(
          Combine(op, 16, source.Base(), source.stride, target.Base(), target.stride, count));
      for (uint32_t i = 0; i < count; ++i)
        ASSERT_EQ(target.Get(i), Ref16(op, static_cast<int16_t>(i), s)) << "t " << int16_t(i);
      EXPECT_TRUE(target.GapsUntouched());
    }
  }
}

struct ArithmeticCase {
  const char* name;
  uint32_t bits;
  Op op;
  int64_t t, s, result;  // stored values
};
void PrintTo(const ArithmeticCase& c, std::ostream* os) {
  *os << c.name;
}

class MoskArithmeticBoundary : public testing::TestWithParam<ArithmeticCase> {};

TEST_P(MoskArithmeticBoundary, MatchesTheRule) {
  const ArithmeticCase& c = GetParam();
  StridedRun target(c.bits, 1, 4), source(c.bits, 1, 4);
  target.Set(0, c.t);
  source.Set(0, c.s);
  ASSERT_TRUE(Combine(c.op, c.bits, source.Base(), source.stride, target.Base(), target.stride, 1));
  EXPECT_EQ(target.Get(0), c.result);
  EXPECT_EQ(source.Get(0), c.s) << "the source is only read";
  EXPECT_TRUE(target.GapsUntouched());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MoskArithmeticBoundary,
    testing::Values(
        ArithmeticCase{"U8DivideByZeroLevelGivesZeroLevel", 8, Op::Divide, 200, 127, 127},
        ArithmeticCase{"U8DivideOverflowWraps", 8, Op::Divide, 255, 126, 255},
        ArithmeticCase{"U8AddWraps", 8, Op::Add, 200, 200, 17},
        ArithmeticCase{"I16DivideTieToEvenUp", 16, Op::Divide, 3, 2, 2},
        ArithmeticCase{"I16DivideTieToEvenDown", 16, Op::Divide, 5, 2, 2},
        ArithmeticCase{"I16DivideNegativeTie", 16, Op::Divide, -3, 2, -2},
        ArithmeticCase{"I16MinByMinusOneSaturates", 16, Op::Divide, -32768, -1, 32767},
        ArithmeticCase{"I16PositiveByZero", 16, Op::Divide, 1, 0, 32767},
        ArithmeticCase{"I16NegativeByZero", 16, Op::Divide, -1, 0, -32768},
        ArithmeticCase{"I16ZeroByZero", 16, Op::Divide, 0, 0, 0},
        ArithmeticCase{"I16AddSaturates", 16, Op::Add, 32767, 1, 32767},
        ArithmeticCase{"I24AddWrapsToMin", 24, Op::Add, 8388607, 1, -8388608},
        ArithmeticCase{"I24SubtractWrapsToMax", 24, Op::Subtract, -8388608, 1, 8388607},
        ArithmeticCase{"I24MultiplyKeepsLow24Bits", 24, Op::Multiply, 4097, 4096, 4096},
        ArithmeticCase{"I24MultiplyNegative", 24, Op::Multiply, -3, 5, -15},
        ArithmeticCase{"I24DivideTruncates", 24, Op::Divide, -7, 2, -3},
        ArithmeticCase{"I24DivideByNegativeTruncates", 24, Op::Divide, 7, -2, -3},
        ArithmeticCase{"I24PositiveByZeroGivesMax", 24, Op::Divide, 5, 0, 8388607},
        ArithmeticCase{"I24NegativeByZeroGivesMin", 24, Op::Divide, -5, 0, -8388608},
        ArithmeticCase{"I24ZeroByZeroGivesZero", 24, Op::Divide, 0, 0, 0},
        ArithmeticCase{"I24MinByMinusOneSaturates", 24, Op::Divide, -8388608, -1, 8388607},
        ArithmeticCase{"I32AddWrapsToMin", 32, Op::Add, Int32Max, 1, Int32Min},
        ArithmeticCase{"I32SubtractWrapsToMax", 32, Op::Subtract, Int32Min, 1, Int32Max},
        ArithmeticCase{"I32MultiplyKeepsLow32Bits", 32, Op::Multiply, 65537, 65537, 131073},
        ArithmeticCase{"I32DivideTruncates", 32, Op::Divide, -7, 2, -3},
        ArithmeticCase{"I32PositiveByZeroGivesMax", 32, Op::Divide, 5, 0, Int32Max},
        ArithmeticCase{"I32NegativeByZeroGivesMin", 32, Op::Divide, -5, 0, Int32Min},
        ArithmeticCase{"I32ZeroByZeroGivesZero", 32, Op::Divide, 0, 0, 0},
        ArithmeticCase{"I32MinByMinusOneSaturates", 32, Op::Divide, Int32Min, -1, Int32Max}),
    [](const testing::TestParamInfo<ArithmeticCase>& info) {
      return std::string(info.param.name);
    });

// A mono run combined into one channel of an interleaved stereo run, as the
// audio buffer does for a one-channel operand.
TEST(MoskSampleArithmetic, StridedRunsTouchOnlyTheirChannel) {
  for (uint32_t bits : {24u, 32u}) {
    SCOPED_TRACE(bits);
    const int32_t width = bits / 8;
    std::vector<uint8_t> stereo(1 + 4 * 2 * width, Sentinel);
    std::vector<uint8_t> mono(3 + 4 * width);
    for (uint32_t i = 0; i < 4; ++i) {
      StoreRaw(bits, 100 * i, stereo.data() + 1 + (2 * i + 1) * width);  // channel 1
      StoreRaw(bits, i + 1, mono.data() + 3 + i * width);
    }
    ASSERT_TRUE(
        MultiplySamples(bits, mono.data() + 3, width, stereo.data() + 1 + width, 2 * width, 4));
    for (uint32_t i = 0; i < 4; ++i) {
      EXPECT_EQ(LoadRaw(bits, stereo.data() + 1 + (2 * i + 1) * width), 100 * i * (i + 1));
      for (int32_t b = 0; b < width; ++b)
        EXPECT_EQ(stereo[1 + 2 * i * width + b], Sentinel) << "channel 0 untouched";
    }
  }
}

TEST(MoskSampleArithmetic, UnsupportedWidthChangesNothing) {
  for (Op op : Ops) {
    std::vector<uint8_t> src(16, 1), dst(16, Sentinel);
    EXPECT_FALSE(Combine(op, 12, src.data(), 2, dst.data(), 2, 8));
    EXPECT_EQ(dst, std::vector<uint8_t>(16, Sentinel));
  }
}

// ---------------------------------------------------------------------------
// Fill, zero, scale

TEST(MoskSampleBlocks, FillStoresTheLowBitsOfTheValue) {
  struct Row {
    uint32_t bits;
    int32_t value;
    std::vector<uint8_t> sample;
  };
  const Row rows[] = {
      {8, 0, {0x7F}},
      {8, 200, {0x47}},  // (200 + 127) mod 256
      {8, -127, {0x00}},
      {16, -2, {0xFE, 0xFF}},
      {16, 0x12345, {0x45, 0x23}},
      {24, 0x123456, {0x56, 0x34, 0x12}},
      {24, -1, {0xFF, 0xFF, 0xFF}},
      {24, 0x01800000, {0x00, 0x00, 0x80}},
      {32, Int32Min, {0x00, 0x00, 0x00, 0x80}},
  };
  for (const Row& r : rows) {
    for (uint32_t count = 0; count <= 9; ++count) {
      SCOPED_TRACE(std::to_string(r.bits) + " bits, value " + std::to_string(r.value) + ", count " +
                   std::to_string(count));
      std::vector<uint8_t> block(1 + count * r.sample.size() + 4, Sentinel);
      ASSERT_TRUE(FillSamples(r.bits, r.value, block.data() + 1, count));
      EXPECT_EQ(block[0], Sentinel);
      for (uint32_t i = 0; i < count; ++i)
        EXPECT_EQ(std::vector<uint8_t>(block.begin() + 1 + i * r.sample.size(),
                                       block.begin() + 1 + (i + 1) * r.sample.size()),
                  r.sample);
      for (size_t b = 1 + count * r.sample.size(); b < block.size(); ++b)
        EXPECT_EQ(block[b], Sentinel) << "nothing written past the run";
    }
  }
}

TEST(MoskSampleBlocks, ZeroWritesTheZeroLevel) {
  for (uint32_t bits : Widths) {
    SCOPED_TRACE(bits);
    const size_t width = bits / 8;
    std::vector<uint8_t> block(1 + 5 * width + 4, Sentinel);
    ASSERT_TRUE(ZeroSamples(bits, block.data() + 1, 5));
    EXPECT_EQ(block[0], Sentinel);
    for (size_t b = 1; b < 1 + 5 * width; ++b)
      EXPECT_EQ(block[b], bits == 8 ? 0x7F : 0x00);
    for (size_t b = 1 + 5 * width; b < block.size(); ++b)
      EXPECT_EQ(block[b], Sentinel);
  }
  uint8_t byte = Sentinel;
  EXPECT_FALSE(ZeroSamples(12, &byte, 1));
  EXPECT_FALSE(FillSamples(0, 1, &byte, 1));
  EXPECT_FALSE(ScaleSamples(64, 2.0, &byte, 1));
  EXPECT_EQ(byte, Sentinel);
}

const double Factors[] = {0.0,
                          1.0,
                          -1.0,
                          0.5,
                          -0.5,
                          1.5,
                          2.0,
                          1.0 / 3.0,
                          1e9,
                          -1e-9,
                          std::numeric_limits<double>::infinity(),
                          -std::numeric_limits<double>::infinity(),
                          std::numeric_limits<double>::quiet_NaN()};

TEST(MoskSampleBlocks, ScaleEverySmallSample) {
  for (uint32_t bits : {8u, 16u}) {
    const uint32_t count = 1u << bits;
    for (double factor : Factors) {
      SCOPED_TRACE(std::to_string(bits) + " bits x " + std::to_string(factor));
      std::vector<uint8_t> block(count * (bits / 8));
      for (uint32_t i = 0; i < count; ++i)
        StoreRaw(bits, bits == 8 ? int64_t{i} : int64_t{static_cast<int16_t>(i)},
                 block.data() + i * (bits / 8));
      ASSERT_TRUE(ScaleSamples(bits, factor, block.data(), count));
      for (uint32_t i = 0; i < count; ++i) {
        const int64_t x = ValueOf(bits, bits == 8 ? int64_t{i} : int64_t{static_cast<int16_t>(i)});
        ASSERT_EQ(LoadRaw(bits, block.data() + i * (bits / 8)),
                  RawOf(bits, RefRound(bits, static_cast<double>(x) * factor)))
            << "x " << x;
      }
    }
  }
}

// 16-bit runs of every length up to 40 at an odd address: every sample, at
// every position of the eight-at-a-time steps and of the tail, is the rule's
// result, also in another rounding mode (there with factors whose products
// are exact, so only the rounding to an integer could differ), and no byte
// outside the run changes.
TEST(MoskSampleBlocks, Scale16BitRunsOfEveryLength) {
  const int16_t values[] = {-32768, 32767, -32767, 0,      1,     -1,     2,     3,      -3, 5,
                            -5,     7,     12345,  -12345, 21845, -21846, 16383, -16384, 99, -100};
  constexpr uint32_t valueCount = std::size(values);
  const struct {
    int mode;
    std::vector<double> factors;
  } modes[] = {
      {FE_TONEAREST, std::vector<double>(std::begin(Factors), std::end(Factors))},
      {FE_UPWARD, {0.5, -0.5, -1.5, 2.0}},
  };
  for (const auto& mode : modes) {
    for (const double factor : mode.factors) {
      for (uint32_t count = 0; count <= 40; ++count) {
        SCOPED_TRACE("x " + std::to_string(factor) + ", " + std::to_string(count) + " samples" +
                     (mode.mode == FE_UPWARD ? ", upward" : ""));
        StridedRun run(16, count, 2);
        for (uint32_t i = 0; i < count; ++i)
          run.Set(i, values[(i * 7 + count) % valueCount]);
        std::vector<int64_t> expected(count);
        for (uint32_t i = 0; i < count; ++i)
          expected[i] = RefRound(16, static_cast<double>(run.Get(i)) * factor);
        const int saved = std::fegetround();
        ASSERT_EQ(std::fesetround(mode.mode), 0);
        const bool handled = ScaleSamples(16, factor, run.Base(), count);
        std::fesetround(saved);
        ASSERT_TRUE(handled);
        for (uint32_t i = 0; i < count; ++i)
          ASSERT_EQ(run.Get(i), expected[i]) << "sample " << i;
        EXPECT_TRUE(run.GapsUntouched());
      }
    }
  }
}

struct ScaleCase {
  const char* name;
  uint32_t bits;
  int64_t in;
  double factor;
  int64_t out;
};
void PrintTo(const ScaleCase& c, std::ostream* os) {
  *os << c.name;
}

class MoskScaleBoundary : public testing::TestWithParam<ScaleCase> {};

TEST_P(MoskScaleBoundary, MatchesTheRule) {
  const ScaleCase& c = GetParam();
  uint8_t sample[4];
  StoreRaw(c.bits, c.in, sample);
  ASSERT_TRUE(ScaleSamples(c.bits, c.factor, sample, 1));
  EXPECT_EQ(LoadRaw(c.bits, sample), c.out);
}

// Rounding is to nearest with ties to even whatever the unit's mode.
TEST_P(MoskScaleBoundary, SameResultUnderAnotherRoundingMode) {
  const ScaleCase& c = GetParam();
  uint8_t sample[4];
  StoreRaw(c.bits, c.in, sample);
  const int saved = std::fegetround();
  ASSERT_EQ(std::fesetround(FE_UPWARD), 0);
  const bool handled = ScaleSamples(c.bits, c.factor, sample, 1);
  std::fesetround(saved);
  ASSERT_TRUE(handled);
  EXPECT_EQ(LoadRaw(c.bits, sample), c.out);
}

constexpr double Inf = std::numeric_limits<double>::infinity();

INSTANTIATE_TEST_SUITE_P(
    Cases, MoskScaleBoundary,
    testing::Values(ScaleCase{"U8ByZeroGivesZeroLevel", 8, 255, 0.0, 127},
                    ScaleCase{"U8DoubledSaturates", 8, 255, 2.0, 255},
                    ScaleCase{"U8NegatedBottomSaturates", 8, 0, -2.0, 255},
                    ScaleCase{"I16ByZeroGivesZero", 16, -32768, 0.0, 0},
                    ScaleCase{"I24MaxDoubledSaturates", 24, 8388607, 2.0, 8388607},
                    ScaleCase{"I24MinNegatedSaturates", 24, -8388608, -1.0, 8388607},
                    ScaleCase{"I24TieToEvenUp", 24, 3, 0.5, 2},
                    ScaleCase{"I24TieToEvenDown", 24, 5, 0.5, 2},
                    ScaleCase{"I24NegativeTie", 24, -3, 0.5, -2},
                    ScaleCase{"I24InfinitySaturates", 24, 1, Inf, 8388607},
                    ScaleCase{"I32MinNegatedSaturates", 32, Int32Min, -1.0, Int32Max},
                    ScaleCase{"I32MaxKeptByOne", 32, Int32Max, 1.0, Int32Max},
                    ScaleCase{"I32MaxTimesThreeHalves", 32, Int32Max, 1.5, Int32Max},
                    ScaleCase{"I32NegativeTie", 32, -5, 0.5, -2},
                    ScaleCase{"I32ZeroTimesInfinityIsZero", 32, 0, Inf, 0},
                    ScaleCase{"I32NegativeInfinitySaturates", 32, 7, -Inf, Int32Min},
                    ScaleCase{"I32NanFactorGivesZero", 32, 7,
                              std::numeric_limits<double>::quiet_NaN(), 0}),
    [](const testing::TestParamInfo<ScaleCase>& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------
// Float conversions

TEST(MoskSampleFloat, Every24BitSampleThroughFloatAndBack) {
  const uint32_t chunk = 1u << 16;
  std::vector<uint8_t> samples(1 + 3 * size_t{chunk}), back(1 + 3 * size_t{chunk});
  std::vector<float> floats(chunk);
  for (int32_t first = -8388608; first < 8388608; first += chunk) {
    for (uint32_t i = 0; i < chunk; ++i)
      WriteInt24Sample(first + static_cast<int32_t>(i), samples.data() + 1 + 3 * size_t{i});
    ConvertInt24ToFloat(samples.data() + 1, 3, floats.data(), 4, chunk);
    for (uint32_t i = 0; i < chunk; ++i)
      ASSERT_EQ(floats[i], static_cast<float>(first + static_cast<int32_t>(i)));
    ConvertFloatToInt24(floats.data(), 4, back.data() + 1, 3, chunk);
    ASSERT_TRUE(std::equal(back.begin() + 1, back.end(), samples.begin() + 1)) << first;
  }
}

TEST(MoskSampleFloat, Int32ToFloatRoundsToNearestEven) {
  struct Row {
    int32_t in;
    float out;
  };
  const Row rows[] = {{Int32Max, 2147483648.0f}, {Int32Min, -2147483648.0f},
                      {16777217, 16777216.0f},   {16777219, 16777220.0f},
                      {-16777217, -16777216.0f}, {-1, -1.0f}};
  std::vector<int32_t> in;
  for (const Row& r : rows)
    in.push_back(r.in);
  std::vector<float> out(2 * in.size(), -7.0f);
  ConvertInt32ToFloat(in.data(), 4, out.data(), 8, static_cast<uint32_t>(in.size()));
  for (size_t i = 0; i < in.size(); ++i) {
    EXPECT_EQ(out[2 * i], rows[i].out) << rows[i].in;
    EXPECT_EQ(out[2 * i + 1], -7.0f) << "stride respected";
  }
}

TEST(MoskSampleFloat, FloatToIntegerRoundsAndSaturates) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  struct Row {
    const char* name;
    uint32_t bits;
    float in;
    int64_t out;
  };
  const Row rows[] = {
      {"half to even zero", 24, 0.5f, 0},
      {"one and a half up", 24, 1.5f, 2},
      {"two and a half down", 24, 2.5f, 2},
      {"negative half", 24, -0.5f, 0},
      {"negative one and a half", 24, -1.5f, -2},
      {"24 max", 24, 8388607.0f, 8388607},
      {"24 just past max saturates", 24, 8388608.0f, 8388607},
      {"24 past min saturates", 24, -8388609.0f, -8388608},
      {"24 huge", 24, 1e30f, 8388607},
      {"24 minus infinity", 24, -inf, -8388608},
      {"24 NaN", 24, nan, 0},
      {"32 two to the 31 saturates", 32, 2147483648.0f, Int32Max},
      {"32 min", 32, -2147483648.0f, Int32Min},
      {"32 beyond min saturates", 32, -3e9f, Int32Min},
      {"32 infinity", 32, inf, Int32Max},
      {"32 NaN", 32, nan, 0},
      {"32 tie", 32, 1234567.5f, 1234568},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    uint8_t out[4 + 1] = {Sentinel, Sentinel, Sentinel, Sentinel, Sentinel};
    if (r.bits == 24) {
      ConvertFloatToInt24(&r.in, 4, out, 3, 1);
      EXPECT_EQ(out[3], Sentinel);
    } else {
      ConvertFloatToInt32(&r.in, 4, out, 4, 1);
    }
    EXPECT_EQ(LoadRaw(r.bits, out), r.out);
    EXPECT_EQ(out[4], Sentinel);
  }
}

TEST(MoskSampleFloat, FullScale32BitSurvivesAFloatRoundTrip) {
  const int32_t in[2] = {Int32Max, Int32Min};
  float f[2];
  int32_t back[2];
  ConvertInt32ToFloat(in, 4, f, 4, 2);
  ConvertFloatToInt32(f, 4, back, 4, 2);
  EXPECT_EQ(back[0], Int32Max) << "not wrapped to the negative end";
  EXPECT_EQ(back[1], Int32Min);
}

// ---------------------------------------------------------------------------
// Channel columns

// One channel of stereo frames at every width, over boundary samples: read
// as doubles and floats by the rules, written back from floats with ties to
// even, and the other channel's bytes left as they were.
TEST(MoskSampleColumns, ReadAndWriteOneChannelOfFrames) {
  for (uint32_t bits : Widths) {
    SCOPED_TRACE(bits);
    const std::vector<int64_t> values = {MinValue(bits), -1, 0, 1, MaxValue(bits) - 1,
                                         MaxValue(bits)};
    const auto count = static_cast<uint32_t>(values.size());
    const int32_t frame = 2 * static_cast<int32_t>(bits / 8);
    StridedRun run(bits, count, frame);  // channel 0 of the frames; channel 1 sentinels
    for (uint32_t i = 0; i < count; ++i)
      run.Set(i, RawOf(bits, values[i]));
    std::vector<double> doubles(count);
    std::vector<float> floats(count);
    ASSERT_TRUE(ConvertColumnToDouble(bits, run.Base(), frame, doubles.data(), count));
    ASSERT_TRUE(ConvertColumnToFloat(bits, run.Base(), frame, floats.data(), count));
    for (uint32_t i = 0; i < count; ++i) {
      EXPECT_EQ(doubles[i], static_cast<double>(values[i])) << i;
      // 8 bits as floats: the stored byte, not centred.
      const int64_t asFloat = bits == 8 ? RawOf(8, values[i]) : values[i];
      EXPECT_EQ(floats[i], static_cast<float>(asFloat)) << i;
    }
    EXPECT_TRUE(run.GapsUntouched());
  }
}

TEST(MoskSampleColumns, FloatsGoBackRoundedToEvenAndSaturated) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const std::vector<float> in = {0.5f, 1.5f, -0.5f, -2.5f, 1e10f, -1e10f, nan};
  const auto count = static_cast<uint32_t>(in.size());
  for (uint32_t bits : Widths) {
    SCOPED_TRACE(bits);
    const int32_t frame = 2 * static_cast<int32_t>(bits / 8);
    StridedRun run(bits, count, frame);
    ASSERT_TRUE(ConvertFloatToColumn(bits, in.data(), run.Base(), frame, count));
    for (uint32_t i = 0; i < count; ++i) {
      // 8 bits are centred on 0 and stored about 127; the 16-bit primitive
      // takes NaN to its minimum.
      const int64_t value = bits == 16 && std::isnan(in[i]) ? MinValue(16) : RefRound(bits, in[i]);
      EXPECT_EQ(run.Get(i), RawOf(bits, value)) << i;
    }
    EXPECT_TRUE(run.GapsUntouched());
  }
}

TEST(MoskSampleColumns, UnsupportedWidthsWriteNothing) {
  double d = 7.0;
  float f = 7.0f;
  uint8_t bytes[4] = {Sentinel, Sentinel, Sentinel, Sentinel};
  EXPECT_FALSE(ConvertColumnToDouble(12, bytes, 4, &d, 1));
  EXPECT_FALSE(ConvertColumnToFloat(0, bytes, 4, &f, 1));
  EXPECT_FALSE(ConvertFloatToColumn(40, &f, bytes, 4, 1));
  EXPECT_EQ(d, 7.0);
  EXPECT_EQ(f, 7.0f);
  EXPECT_EQ(bytes[0], Sentinel);
}

}  // namespace
