// The audio buffer against plain reference loops: the block layout and
// header, sample access by width (24-bit samples sign-extended) and its
// errors, the channel-matched copy counted in frames (offset, target, target
// offset, count), copy on write with the header kept, resizing, the
// whole-buffer operations, and the pooled blocks.
#include "audio/MoskAudioBuffer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "platform/rtl/SysUtils.h"
#include "signal/core/TrelSimpleDataBuffer.h"
#include "tests/signal/core/BufferUnitEnvironment.h"

namespace {

constexpr std::uint32_t kFrontLeft = 1u << 0;
constexpr std::uint32_t kFrontRight = 1u << 1;
constexpr std::uint32_t kFrontCenter = 1u << 2;
constexpr std::uint32_t kStereo = kFrontLeft | kFrontRight;

struct Shape {
  std::uint32_t channels;
  std::uint32_t validBits;
  std::uint32_t mask;
  std::int32_t frames;
};

IPtr<IMoskAudioBuffer> Make(const Shape& s, std::uint32_t sampleRate = 44100) {
  return TMoskAudioBuffer::Create(sampleRate, s.mask, s.frames, s.channels, s.validBits);
}

TMoskAudioBuffer* ObjectOf(IMoskAudioBuffer* buffer) {
  return static_cast<TMoskAudioBuffer*>(buffer->GetBufferObject());
}

std::vector<std::uint8_t> SampleBytesOf(IMoskAudioBuffer* buffer) {
  const std::uint8_t* data = buffer->GetData();
  return std::vector<std::uint8_t>(data, data + buffer->GetByteSize());
}

std::vector<std::uint8_t> HeaderBytesOf(IMoskAudioBuffer* buffer) {
  const auto* header =
      reinterpret_cast<const std::uint8_t*>(ObjectOf(buffer)->AudioBlock()->Header());
  return std::vector<std::uint8_t>(header, header + MoskAudioHeaderSize);
}

// ---------------------------------------------------------------------------
// The plain reference: sample values by width, independent of the code under
// test. A "stored" value is what GetSample returns (8 bits: the byte); the
// signed value of an 8-bit sample is the byte - 127.

std::int64_t FullScale(std::uint32_t bits) {
  switch (bits) {
    case 8:
      return 127;
    case 16:
      return 32767;
    case 24:
      return 8388607;
    default:
      return 2147483647;
  }
}

std::int64_t Lowest(std::uint32_t bits) {
  return bits == 8 ? -127 : -(std::int64_t{1} << (bits - 1));
}

std::int64_t Highest(std::uint32_t bits) {
  return bits == 8 ? 128 : (std::int64_t{1} << (bits - 1)) - 1;
}

std::int64_t SignedOf(std::uint32_t bits, std::int64_t stored) {
  return bits == 8 ? stored - 127 : stored;
}

std::int64_t StoredOf(std::uint32_t bits, std::int64_t value) {
  return bits == 8 ? value + 127 : value;
}

// floor(a / 2^shift), in exact integer arithmetic.
std::int64_t FloorShift(std::int64_t a, int shift) {
  const std::int64_t b = std::int64_t{1} << shift;
  return a >= 0 ? a / b : -((-a + b - 1) / b);
}

// A width conversion: between 8 bits and 16 or 32 bits the vector
// primitives' rules (b x 257 - 32768; b x 0x01010101 + 2^31 wrapping; and
// floor((x - floor(x / 256)) / 2^8 or 2^24) + 128 back); otherwise
// x x F(target) / F(source), truncated, saturated.
std::int64_t ConvertedStored(std::uint32_t fromBits, std::uint32_t toBits, std::int64_t stored) {
  if (fromBits == toBits) {
    return stored;
  }
  if (fromBits == 8 && toBits == 16) {
    return stored * 257 - 32768;
  }
  if (fromBits == 8 && toBits == 32) {
    return stored * 0x01010101 - 0x80000000LL;  // 0 .. 2^32 - 1, top bit inverted
  }
  if (toBits == 8 && (fromBits == 16 || fromBits == 32)) {
    return FloorShift(stored - FloorShift(stored, 8), static_cast<int>(fromBits) - 8) + 128;
  }
  const std::int64_t y = SignedOf(fromBits, stored) * FullScale(toBits) / FullScale(fromBits);
  return StoredOf(toBits, std::clamp(y, Lowest(toBits), Highest(toBits)));
}

std::uint32_t ContainerOf(std::uint32_t validBits) {
  return (validBits + 7) / 8 * 8;
}

// Frame-major stored values of a whole buffer.
using Samples = std::vector<std::vector<std::int64_t>>;

Samples ReadAll(IMoskAudioBuffer* buffer) {
  Samples all(static_cast<std::size_t>(buffer->GetCount()));
  for (std::uint32_t f = 0; f < all.size(); ++f) {
    for (std::uint32_t c = 0; c < buffer->GetChannels(); ++c) {
      all[f].push_back(buffer->GetSample(f, c));
    }
  }
  return all;
}

// Fills every sample with a value of its width's range from `seed`.
Samples FillRandom(IMoskAudioBuffer* buffer, unsigned seed) {
  std::mt19937 random(seed);
  const std::uint32_t bits = buffer->GetContainerBits();
  std::uniform_int_distribution<std::int64_t> value(Lowest(bits), Highest(bits));
  for (std::uint32_t f = 0; f < static_cast<std::uint32_t>(buffer->GetCount()); ++f) {
    for (std::uint32_t c = 0; c < buffer->GetChannels(); ++c) {
      buffer->SetSample(f, c, static_cast<std::int32_t>(StoredOf(bits, value(random))));
    }
  }
  return ReadAll(buffer);
}

// ---------------------------------------------------------------------------
// Layout

struct LayoutRow {
  const char* name;
  Shape shape;
  std::uint32_t containerBits;
  std::uint32_t blockAlign;
  std::int32_t count;
};
void PrintTo(const LayoutRow& row, std::ostream* os) {
  *os << row.name;
}

class MoskAudioBufferLayout : public testing::TestWithParam<LayoutRow> {};

TEST_P(MoskAudioBufferLayout, HeaderAndCounts) {
  const LayoutRow& row = GetParam();
  IPtr<IMoskAudioBuffer> buffer = Make(row.shape, 48000);

  EXPECT_EQ(buffer->GetContainerBits(), row.containerBits);
  EXPECT_EQ(buffer->GetBlockAlign(), row.blockAlign);
  EXPECT_EQ(buffer->GetCount(), row.count);
  EXPECT_EQ(buffer->GetByteSize(), static_cast<std::int32_t>(row.blockAlign) * row.count);
  EXPECT_EQ(buffer->GetHeaderSize(), 40u);
  EXPECT_EQ(buffer->GetChannels(), row.shape.channels);
  EXPECT_EQ(buffer->GetBits(), row.shape.validBits);
  EXPECT_EQ(buffer->GetChannelMask(), row.shape.mask);
  EXPECT_EQ(buffer->GetSampleRate(), 48000u);

  // The header, field by field, at the start of the block; the frames follow.
  const std::vector<std::uint8_t> header = HeaderBytesOf(buffer.get());
  auto word = [&](int at) { return header[at] | header[at + 1] << 8; };
  auto dword = [&](int at) {
    return static_cast<std::uint32_t>(word(at)) | static_cast<std::uint32_t>(word(at + 2)) << 16;
  };
  EXPECT_EQ(word(0), 0xFFFE);
  EXPECT_EQ(static_cast<std::uint32_t>(word(2)), row.shape.channels);
  EXPECT_EQ(dword(4), 48000u);
  EXPECT_EQ(dword(8), row.blockAlign * 48000u);
  EXPECT_EQ(static_cast<std::uint32_t>(word(12)), row.blockAlign);
  EXPECT_EQ(static_cast<std::uint32_t>(word(14)), row.containerBits);
  EXPECT_EQ(word(16), 22);
  EXPECT_EQ(static_cast<std::uint32_t>(word(18)), row.shape.validBits);
  EXPECT_EQ(dword(20), row.shape.mask);
  const std::uint8_t pcm[16] = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
  EXPECT_EQ(std::memcmp(header.data() + 24, pcm, 16), 0);
  const auto* blockStart =
      reinterpret_cast<const std::uint8_t*>(ObjectOf(buffer.get())->AudioBlock()->GetData());
  EXPECT_EQ(buffer->GetData(), blockStart + 40);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, MoskAudioBufferLayout,
    testing::Values(
        LayoutRow{"Stereo16", {2, 16, kStereo, 1024}, 16, 4, 1024},
        LayoutRow{"TwentyBitsUseTwentyFourBitContainers", {2, 20, kStereo, 10}, 24, 6, 10},
        LayoutRow{"TwelveBitsUseSixteenBitContainers", {1, 12, kFrontLeft, 7}, 16, 2, 7},
        LayoutRow{"ThreeChannelsOfEightBits", {3, 8, 7, 5}, 8, 3, 5},
        LayoutRow{"SixChannelsOfThirtyTwoBits", {6, 32, 0x3F, 3}, 32, 24, 3},
        LayoutRow{"NoFramesAtAll", {2, 16, kStereo, 0}, 16, 4, 0},
        LayoutRow{"NoChannelsMeansBlockAlignZeroAndNoFrames", {0, 16, 0, 100}, 16, 0, 0},
        LayoutRow{"NoBitsMeansBlockAlignZeroAndNoFrames", {2, 0, kStereo, 100}, 0, 0, 0}),
    [](const testing::TestParamInfo<LayoutRow>& info) { return std::string(info.param.name); });

TEST(MoskAudioBuffer, CreateRefusesWhatItCannotHold) {
  const struct {
    const char* name;
    Shape shape;
  } rows[] = {
      {"negative frame count", {2, 16, kStereo, -1}},
      {"33 channels", {33, 16, kStereo, 1}},
      {"33 bits", {2, 33, kStereo, 1}},
      {"more than 2^30 bytes", {32, 32, kStereo, (1 << 30) / 128}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_THROW(Make(row.shape), ERangeError);
  }
}

// ---------------------------------------------------------------------------
// Sample access

struct SampleRow {
  const char* name;
  std::uint32_t validBits;
  std::int32_t written;
  std::vector<std::uint8_t> storedBytes;  // little-endian, the container's width
  std::int32_t read;
};
void PrintTo(const SampleRow& row, std::ostream* os) {
  *os << row.name;
}

class MoskAudioBufferSample : public testing::TestWithParam<SampleRow> {};

TEST_P(MoskAudioBufferSample, StoresLowBytesAndReadsByWidth) {
  const SampleRow& row = GetParam();
  IPtr<IMoskAudioBuffer> buffer = Make({2, row.validBits, kStereo, 3});
  std::uint8_t* data = buffer->GetData();
  std::memset(data, 0xAB, static_cast<std::size_t>(buffer->GetByteSize()));
  std::vector<std::uint8_t> expected = SampleBytesOf(buffer.get());

  buffer->SetSample(1, 1, row.written);  // frame 1, channel 1

  const std::size_t at = buffer->GetBlockAlign() + row.storedBytes.size();
  std::copy(row.storedBytes.begin(), row.storedBytes.end(), expected.begin() + at);
  EXPECT_EQ(SampleBytesOf(buffer.get()), expected) << "only that sample's bytes change";
  EXPECT_EQ(buffer->GetSample(1, 1), row.read);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, MoskAudioBufferSample,
    testing::Values(
        SampleRow{"EightBitsReadAsTheUnsignedByte", 8, 0xFF, {0xFF}, 255},
        SampleRow{"EightBitsKeepTheLowByte", 8, 0x17F, {0x7F}, 127},
        SampleRow{"EightBitsNegativeIsItsLowByte", 8, -1, {0xFF}, 255},
        SampleRow{"SixteenBitsSigned", 16, -32768, {0x00, 0x80}, -32768},
        SampleRow{"SixteenBitsKeepTheLow16Bits", 16, 0x12345, {0x45, 0x23}, 0x2345},
        SampleRow{"TwelveBitsLiveInSixteenBitContainers", 12, -2, {0xFE, 0xFF}, -2},
        SampleRow{
            "TwentyFourBitsMinimumIsSignExtended", 24, -8388608, {0x00, 0x00, 0x80}, -8388608},
        SampleRow{"TwentyFourBitsMinusOneIsSignExtended", 24, -1, {0xFF, 0xFF, 0xFF}, -1},
        SampleRow{"TwentyFourBitsMaximum", 24, 8388607, {0xFF, 0xFF, 0x7F}, 8388607},
        SampleRow{
            "TwentyFourBitsKeepTheLowThreeBytes", 24, 0x01800000, {0x00, 0x00, 0x80}, -8388608},
        SampleRow{"TwentyBitsLiveInTwentyFourBitContainers", 20, -3, {0xFD, 0xFF, 0xFF}, -3},
        SampleRow{"ThirtyTwoBitsMinimum",
                  32,
                  std::numeric_limits<std::int32_t>::min(),
                  {0x00, 0x00, 0x00, 0x80},
                  std::numeric_limits<std::int32_t>::min()}),
    [](const testing::TestParamInfo<SampleRow>& info) { return std::string(info.param.name); });

TEST(MoskAudioBuffer, SampleIndexErrorsTestTheChannelFirstAndChangeNothing) {
  const struct {
    const char* name;
    std::uint32_t frame;
    std::uint32_t channel;
    const char* readText;
    const char* writeText;
  } rows[] = {
      {"channel beyond the count", 0, 2, "Channel out of range = 2", "Channel out of rabge = 2"},
      {"frame beyond the count", 3, 0, "Index out of range = 3", "Index out of rabge = 3"},
      {"both: the channel is named", 7, 9, "Channel out of range = 9", "Channel out of rabge = 9"},
      {"a negative frame reads as unsigned", static_cast<std::uint32_t>(-1), 1,
       "Index out of range = 4294967295", "Index out of rabge = 4294967295"},
  };
  IPtr<IMoskAudioBuffer> buffer = Make({2, 16, kStereo, 3});
  std::memset(buffer->GetData(), 0x11, static_cast<std::size_t>(buffer->GetByteSize()));
  const std::vector<std::uint8_t> before = SampleBytesOf(buffer.get());
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    try {
      buffer->GetSample(row.frame, row.channel);
      ADD_FAILURE() << "no error";
    } catch (const ERangeError& e) {
      EXPECT_EQ(e.Message(), row.readText);
    }
    try {
      buffer->SetSample(row.frame, row.channel, 5);
      ADD_FAILURE() << "no error";
    } catch (const ERangeError& e) {
      EXPECT_EQ(e.Message(), row.writeText);
    }
    EXPECT_EQ(SampleBytesOf(buffer.get()), before);
  }
}

// Stored bytes of the last frame's second channel, read back by width.
TEST(MoskAudioBuffer, GetSampleDecodesEachWidthFromItsBytes) {
  const struct {
    std::uint32_t validBits;
    std::vector<std::uint8_t> bytes;  // little-endian
    std::int32_t value;
  } rows[] = {
      {8, {0x00}, 0},
      {8, {0x80}, 128},
      {8, {0xFF}, 255},
      {16, {0x34, 0x12}, 0x1234},
      {16, {0xFF, 0x7F}, 32767},
      {16, {0x01, 0x80}, -32767},
      {24, {0x56, 0x34, 0x12}, 0x123456},
      {24, {0x01, 0x00, 0x80}, -8388607},
      {24, {0xFE, 0xFF, 0xFF}, -2},
      {32, {0x78, 0x56, 0x34, 0x12}, 0x12345678},
      {32, {0x00, 0x00, 0x00, 0x80}, std::numeric_limits<std::int32_t>::min()},
      {32, {0xFF, 0xFF, 0xFF, 0xFF}, -1},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::Message() << row.validBits << " bits, " << row.value);
    IPtr<IMoskAudioBuffer> buffer = Make({2, row.validBits, kStereo, 3});
    std::uint8_t* data = buffer->GetData();
    // Every other sample holds the bit pattern 0x5A...: a read that strays
    // into a neighbour shows.
    std::memset(data, 0x5A, static_cast<std::size_t>(buffer->GetByteSize()));
    std::copy(row.bytes.begin(), row.bytes.end(),
              data + 2 * buffer->GetBlockAlign() + row.bytes.size());
    EXPECT_EQ(buffer->GetSample(2, 1), row.value);
  }
}

TEST(MoskAudioBuffer, GetSampleRefusesAHeaderWithAnotherWidth) {
  IPtr<IMoskAudioBuffer> buffer = Make({2, 16, kStereo, 3});
  TMoskAudioBuffer* object = ObjectOf(buffer.get());
  object->AudioBlock()->Header()->Format.wBitsPerSample = 12;
  object->RefreshData();
  try {
    buffer->GetSample(2, 1);
    ADD_FAILURE() << "no error";
  } catch (const ERangeError& e) {
    EXPECT_EQ(e.Message(), "Sample width out of range = 12");
  }
}

// ---------------------------------------------------------------------------
// Channel-matched copy

struct CopyRow {
  const char* name;
  Shape source;
  Shape target;
  std::int32_t offset;
  std::int32_t targetOffset;
  std::int32_t count;
};
void PrintTo(const CopyRow& row, std::ostream* os) {
  *os << row.name;
}

// The reference copy: speaker positions 0..17 in order, each side's channel
// index advancing with its own mask, positions past a side's channel count
// skipped; each paired sample converted by width.
Samples ReferenceCopy(const CopyRow& row, const Samples& source, Samples target) {
  std::uint32_t s = 0;
  std::uint32_t t = 0;
  const std::uint32_t fromBits = ContainerOf(row.source.validBits);
  const std::uint32_t toBits = ContainerOf(row.target.validBits);
  for (std::uint32_t position = 0; position < 18; ++position) {
    const bool inSource = (row.source.mask >> position & 1) != 0;
    const bool inTarget = (row.target.mask >> position & 1) != 0;
    if (inSource && inTarget && s < row.source.channels && t < row.target.channels) {
      for (std::int32_t i = 0; i < row.count; ++i) {
        target[row.targetOffset + i][t] =
            ConvertedStored(fromBits, toBits, source[row.offset + i][s]);
      }
    }
    s += inSource;
    t += inTarget;
  }
  return target;
}

class MoskAudioBufferCopy : public testing::TestWithParam<CopyRow> {};

TEST_P(MoskAudioBufferCopy, MatchesTheReference) {
  const CopyRow& row = GetParam();
  IPtr<IMoskAudioBuffer> source = Make(row.source);
  IPtr<IMoskAudioBuffer> target = Make(row.target);
  const Samples sourceValues = FillRandom(source.get(), 1);
  const Samples targetValues = FillRandom(target.get(), 2);

  source->CopyTo(row.offset, target.get(), row.targetOffset, row.count);

  EXPECT_EQ(ReadAll(target.get()), ReferenceCopy(row, sourceValues, targetValues));
  EXPECT_EQ(ReadAll(source.get()), sourceValues);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, MoskAudioBufferCopy,
    testing::Values(
        CopyRow{"StereoIntoStereo", {2, 16, kStereo, 64}, {2, 16, kStereo, 64}, 0, 0, 64},
        // Offsets are frames: the first is this buffer's, the second the target's.
        CopyRow{"OffsetThenTargetThenTargetOffsetThenCount",
                {2, 16, kStereo, 10},
                {2, 16, kStereo, 12},
                2,
                5,
                6},
        CopyRow{"StereoIntoFrontLeftTakesTheLeft",
                {2, 16, kStereo, 9},
                {1, 16, kFrontLeft, 9},
                0,
                0,
                9},
        CopyRow{"StereoIntoFrontRightLandsInChannelZero",
                {2, 16, kStereo, 9},
                {1, 16, kFrontRight, 9},
                0,
                0,
                9},
        CopyRow{"PositionsMissingOnOneSideAreSkipped",
                {2, 16, kFrontLeft | kFrontCenter, 8},
                {3, 16, kStereo | kFrontCenter, 8},
                0,
                0,
                8},
        CopyRow{"MaskNamingMoreSpeakersThanChannelsStaysInside",
                {2, 16, 0x3F, 8},
                {6, 16, 0x3F, 8},
                1,
                0,
                7},
        CopyRow{"SixteenToTwentyFourBits", {2, 16, kStereo, 33}, {2, 24, kStereo, 33}, 0, 0, 33},
        CopyRow{"TwentyFourToSixteenBits", {2, 20, kStereo, 33}, {2, 16, kStereo, 33}, 0, 0, 33},
        CopyRow{"EightToThirtyTwoBits", {2, 8, kStereo, 33}, {2, 32, kStereo, 33}, 0, 0, 33},
        CopyRow{"ThirtyTwoToEightBits", {2, 32, kStereo, 33}, {2, 8, kStereo, 33}, 0, 0, 33},
        CopyRow{"TwentyFourToTwentyFourBits", {3, 24, 7, 17}, {2, 24, kStereo, 20}, 4, 3, 13}),
    [](const testing::TestParamInfo<CopyRow>& info) { return std::string(info.param.name); });

TEST(MoskAudioBuffer, CopyRangeErrorsCopyNothing) {
  IPtr<IMoskAudioBuffer> source = Make({2, 16, kStereo, 8});
  IPtr<IMoskAudioBuffer> target = Make({2, 16, kStereo, 6});
  FillRandom(source.get(), 3);
  const Samples before = FillRandom(target.get(), 4);
  const struct {
    const char* name;
    std::int32_t offset, targetOffset, count;
  } rows[] = {
      {"past this buffer's end", 4, 0, 5},
      {"past the target's end", 0, 2, 5},
      {"negative offset", -1, 0, 2},
      {"negative target offset", 0, -1, 2},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_THROW(source->CopyTo(row.offset, target.get(), row.targetOffset, row.count),
                 ERangeError);
    EXPECT_EQ(ReadAll(target.get()), before);
  }
  source->CopyTo(0, target.get(), 0, 0);
  EXPECT_EQ(ReadAll(target.get()), before) << "a count of 0 copies nothing";
  EXPECT_THROW(source->CopyTo(0, nullptr, 0, 1), EInvalidPointer);
}

TEST(MoskAudioBuffer, CopyIntoAnotherKindOfBufferCopiesSampleBytes) {
  IPtr<IMoskAudioBuffer> source = Make({2, 16, kStereo, 4});  // 16 sample bytes
  for (int i = 0; i < 16; ++i) {
    source->GetData()[i] = static_cast<std::uint8_t>(i + 1);
  }
  IPtr<ITrelBlockBuffer> bytes = TTrelBlockBuffer::CreateSize(10);
  std::memset(bytes->GetData(), 0, 10);
  source->CopyTo(3, bytes.get(), 2, 5);
  const std::vector<std::uint8_t> expected = {0, 0, 4, 5, 6, 7, 8, 0, 0, 0};
  EXPECT_EQ(std::vector<std::uint8_t>(bytes->GetData(), bytes->GetData() + 10), expected);
}

TEST(MoskAudioBuffer, CopyWithinOneBlockReadsTheSamplesAsTheyWere) {
  // Overlapping ranges of one buffer, and a copy into another holder of the
  // same block: the source is read as it was before the copy began.
  for (const bool intoItself : {true, false}) {
    SCOPED_TRACE(intoItself ? "into itself" : "into a holder of the same block");
    IPtr<IMoskAudioBuffer> source = Make({2, 16, kStereo, 8});
    const Samples values = FillRandom(source.get(), 5);
    IPtr<IMoskAudioBuffer> target =
        intoItself ? source : TMoskAudioBuffer::CreateShared(source.get());

    source->CopyTo(0, target.get(), 2, 5);

    Samples expected = values;
    for (int i = 0; i < 5; ++i) {
      expected[2 + i] = values[i];
    }
    EXPECT_EQ(ReadAll(target.get()), expected);
    if (!intoItself) {
      EXPECT_EQ(ReadAll(source.get()), values);
    }
  }
}

// ---------------------------------------------------------------------------
// Copy on write

TEST(MoskAudioBuffer, SharedBuffersCopyOnWriteAndKeepTheHeader) {
  IPtr<IMoskAudioBuffer> first = Make({2, 24, kStereo, 16});
  const Samples values = FillRandom(first.get(), 6);
  ObjectOf(first.get())->AudioBlock()->SetFlags(0x5A);
  ObjectOf(first.get())->AudioBlock()->SetStamp(TMLStampRecord{1, 2, 3});

  IPtr<IMoskAudioBuffer> second = TMoskAudioBuffer::CreateShared(first.get());
  TTrelSmartBuffer* block = ObjectOf(first.get())->GetSmartBuffer();
  EXPECT_EQ(second->GetData(), first->GetData()) << "sharing copies nothing";
  EXPECT_EQ(block->RefCount(), 2);
  EXPECT_EQ(block->WriterCount(), 2);

  second->SetSample(3, 1, -77);

  EXPECT_NE(second->GetData(), first->GetData()) << "the writer moved to its own block";
  EXPECT_EQ(ReadAll(first.get()), values) << "the other holder sees nothing";
  Samples changed = values;
  changed[3][1] = -77;
  EXPECT_EQ(ReadAll(second.get()), changed) << "the copy kept every other sample";
  EXPECT_EQ(HeaderBytesOf(second.get()), HeaderBytesOf(first.get()));
  EXPECT_EQ(second->GetCount(), 16);
  TMoskSmartAudioBuffer* copy = ObjectOf(second.get())->AudioBlock();
  EXPECT_EQ(copy->Flags(), 0x5A);
  EXPECT_EQ(copy->Stamp(), (TMLStampRecord{1, 2, 3}));
  EXPECT_EQ(block->RefCount(), 1);
}

TEST(MoskAudioBuffer, ReadDataOnASharedBlockKeepsTheFormat) {
  // GetReadData replaces a shared block without copying the samples: the
  // header must still come along, or the buffer would lose its format.
  IPtr<IMoskAudioBuffer> first = Make({3, 20, 7, 10}, 96000);
  const Samples values = FillRandom(first.get(), 7);
  IPtr<ITrelDataBuffer> clone = first->Clone();
  IPtr<IMoskAudioBuffer> second = Supports<IMoskAudioBuffer>(clone);
  ASSERT_TRUE(second);

  std::uint8_t* fresh = second->GetReadData();

  EXPECT_NE(fresh, first->GetData());
  EXPECT_EQ(HeaderBytesOf(second.get()), HeaderBytesOf(first.get()));
  EXPECT_EQ(second->GetChannels(), 3u);
  EXPECT_EQ(second->GetContainerBits(), 24u);
  EXPECT_EQ(second->GetSampleRate(), 96000u);
  EXPECT_EQ(second->GetCount(), 10);
  EXPECT_EQ(ReadAll(first.get()), values);
}

TEST(MoskAudioBuffer, WholeBufferWritesLeaveOtherHoldersAlone) {
  const struct {
    const char* name;
    void (*write)(IMoskAudioBuffer*);
  } rows[] = {
      {"Fill", [](IMoskAudioBuffer* b) { b->Fill(9); }},
      {"Zero", [](IMoskAudioBuffer* b) { b->Zero(); }},
      {"Scale", [](IMoskAudioBuffer* b) { b->Scale(0.5); }},
      {"Add", [](IMoskAudioBuffer* b) { b->Add(b); }},
      {"CopyTo", [](IMoskAudioBuffer* b) { b->CopyTo(0, b, 1, 2); }},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    IPtr<IMoskAudioBuffer> first = Make({2, 16, kStereo, 4});
    const Samples values = FillRandom(first.get(), 8);
    IPtr<IMoskAudioBuffer> second = TMoskAudioBuffer::CreateShared(first.get());
    row.write(second.get());
    EXPECT_EQ(ReadAll(first.get()), values);
    EXPECT_NE(ReadAll(second.get()), values);
    EXPECT_EQ(second->GetCount(), 4);
  }
}

// Scaling by exactly 1 changes no sample at any width, so it writes nothing:
// the block stays shared, and a later write still copies it.
TEST(MoskAudioBuffer, ScaleByOneKeepsTheBlockShared) {
  for (const std::uint32_t bits : {8u, 12u, 16u, 20u, 24u, 32u}) {
    SCOPED_TRACE(std::to_string(bits) + " bits");
    IPtr<IMoskAudioBuffer> first = Make({2, bits, kStereo, 9});
    const Samples values = FillRandom(first.get(), bits);
    IPtr<IMoskAudioBuffer> second = TMoskAudioBuffer::CreateShared(first.get());
    TTrelSmartBuffer* block = ObjectOf(first.get())->GetSmartBuffer();

    second->Scale(1.0);

    EXPECT_EQ(second->GetData(), first->GetData());
    EXPECT_EQ(block->WriterCount(), 2);
    EXPECT_EQ(ReadAll(second.get()), values);
    second->Scale(0.5);
    EXPECT_NE(second->GetData(), first->GetData());
    EXPECT_EQ(ReadAll(first.get()), values);
  }
}

TEST(MoskAudioBuffer, SharingNeedsAnAudioBuffer) {
  IPtr<ITrelRealBuffer> real = TTrelRealBuffer::CreateCount(8);
  EXPECT_THROW(TMoskAudioBuffer::CreateShared(real.get()), EInvalidCast);
  EXPECT_THROW(TMoskAudioBuffer::CreateShared(nullptr), EInvalidPointer);

  IPtr<IMoskAudioBuffer> audio = Make({2, 16, kStereo, 4});
  const Samples values = FillRandom(audio.get(), 9);
  EXPECT_THROW(audio->ShareFrom(real.get()), EInvalidCast);
  EXPECT_EQ(ReadAll(audio.get()), values);

  // ShareFrom another audio buffer takes its block and its format.
  IPtr<IMoskAudioBuffer> other = Make({1, 8, kFrontCenter, 5});
  audio->ShareFrom(other.get());
  EXPECT_EQ(audio->GetData(), other->GetData());
  EXPECT_EQ(audio->GetChannels(), 1u);
  EXPECT_EQ(audio->GetCount(), 5);
}

// ---------------------------------------------------------------------------
// Resizing

TEST(MoskAudioBuffer, SetCountCountsFramesAndKeepsTheHeader) {
  // 2 channels of 16 bits: 40 + 4 x frames bytes; 10 frames take a block of
  // 128 bytes, room for 22 frames.
  const struct {
    const char* name;
    std::int32_t frames;
    bool keepData;
    bool shared;
    bool sameBlock;
    bool contentsKept;
  } rows[] = {
      {"fewer frames keep the block and the samples", 4, false, false, true, true},
      {"more frames grow inside an exclusive block", 22, false, false, true, true},
      {"past the capacity a new block takes the samples", 23, true, false, false, true},
      {"past the capacity without the data only the header moves", 100, false, false, false, false},
      {"a shared block is never grown in place", 12, true, true, false, true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    IPtr<IMoskAudioBuffer> buffer = Make({2, 16, kStereo, 10}, 22050);
    const Samples values = FillRandom(buffer.get(), 10);
    const std::vector<std::uint8_t> header = HeaderBytesOf(buffer.get());
    IPtr<IMoskAudioBuffer> other;
    if (row.shared) {
      other = TMoskAudioBuffer::CreateShared(buffer.get());
    }
    const std::uint8_t* before = buffer->GetData();

    buffer->SetCount(row.frames, row.keepData);

    EXPECT_EQ(buffer->GetCount(), row.frames);
    EXPECT_EQ(buffer->GetByteSize(), 4 * row.frames);
    EXPECT_EQ(buffer->GetData() == before, row.sameBlock);
    EXPECT_EQ(HeaderBytesOf(buffer.get()), header);
    if (row.contentsKept) {
      const Samples now = ReadAll(buffer.get());
      for (std::size_t f = 0; f < std::min(now.size(), values.size()); ++f) {
        EXPECT_EQ(now[f], values[f]) << "frame " << f;
      }
    }
    if (other) {
      EXPECT_EQ(ReadAll(other.get()), values);
    }
  }
}

TEST(MoskAudioBuffer, SetCountRefusalsChangeNothing) {
  IPtr<IMoskAudioBuffer> buffer = Make({2, 16, kStereo, 10});
  const Samples values = FillRandom(buffer.get(), 11);
  buffer->SetCount(0, true);
  EXPECT_EQ(ReadAll(buffer.get()), values) << "0 frames changes nothing";
  EXPECT_THROW(buffer->SetCount(-1, true), ERangeError);
  EXPECT_THROW(buffer->SetCount(1 << 28, true), ERangeError);
  EXPECT_EQ(ReadAll(buffer.get()), values);
}

// ---------------------------------------------------------------------------
// Arithmetic between buffers

std::int64_t Reference(char op, std::int64_t t, std::int64_t s) {
  switch (op) {
    case '+':
      return t + s;
    case '-':
      return t - s;
    case '*':
      return t * s;
    default:
      return t / s;  // the rows avoid remainders and zero divisors
  }
}

struct ArithmeticRow {
  const char* name;
  char op;
  Shape target;
  Shape operand;
  // For each target channel, the operand channel combined into it (-1: none).
  std::vector<int> partner;
};
void PrintTo(const ArithmeticRow& row, std::ostream* os) {
  *os << row.name;
}

class MoskAudioBufferArithmetic : public testing::TestWithParam<ArithmeticRow> {};

TEST_P(MoskAudioBufferArithmetic, PairsChannelsAndStopsAtTheShorterBuffer) {
  const ArithmeticRow& row = GetParam();
  IPtr<IMoskAudioBuffer> target = Make(row.target);
  IPtr<IMoskAudioBuffer> operand = Make(row.operand);
  // Small 16-bit values: no saturation, exact quotients.
  for (std::uint32_t f = 0; f < static_cast<std::uint32_t>(target->GetCount()); ++f) {
    for (std::uint32_t c = 0; c < target->GetChannels(); ++c) {
      target->SetSample(f, c, static_cast<std::int32_t>(12 * (f + 1) * (c + 1)));
    }
  }
  for (std::uint32_t f = 0; f < static_cast<std::uint32_t>(operand->GetCount()); ++f) {
    for (std::uint32_t c = 0; c < operand->GetChannels(); ++c) {
      operand->SetSample(f, c, c % 2 == 0 ? 2 : 3);
    }
  }
  Samples expected = ReadAll(target.get());
  const std::size_t frames = std::min(target->GetCount(), operand->GetCount());
  for (std::size_t f = 0; f < frames; ++f) {
    for (std::size_t c = 0; c < expected[f].size(); ++c) {
      if (row.partner[c] >= 0) {
        expected[f][c] = Reference(row.op, expected[f][c], operand->GetSample(f, row.partner[c]));
      }
    }
  }

  switch (row.op) {
    case '+':
      target->Add(operand.get());
      break;
    case '-':
      target->Subtract(operand.get());
      break;
    case '*':
      target->Multiply(operand.get());
      break;
    default:
      target->Divide(operand.get());
  }

  EXPECT_EQ(ReadAll(target.get()), expected);
}

INSTANTIATE_TEST_SUITE_P(Rows, MoskAudioBufferArithmetic,
                         testing::Values(ArithmeticRow{"StereoPairsLeftWithLeft",
                                                       '+',
                                                       {2, 16, kStereo, 8},
                                                       {2, 16, kStereo, 8},
                                                       {0, 1}},
                                         ArithmeticRow{"OneChannelOperandGoesIntoEveryChannel",
                                                       '-',
                                                       {3, 16, 7, 8},
                                                       {1, 16, kFrontCenter, 8},
                                                       {0, 0, 0}},
                                         ArithmeticRow{"OnlyTheSharedSpeakerIsCombined",
                                                       '*',
                                                       {2, 16, kStereo, 8},
                                                       {2, 16, kFrontRight | kFrontCenter, 8},
                                                       {-1, 0}},
                                         ArithmeticRow{"TheShorterOperandLimitsTheFrames",
                                                       '/',
                                                       {2, 16, kStereo, 8},
                                                       {2, 16, kStereo, 5},
                                                       {0, 1}},
                                         ArithmeticRow{"TheShorterTargetLimitsTheFrames",
                                                       '+',
                                                       {2, 16, kStereo, 3},
                                                       {2, 16, kStereo, 9},
                                                       {0, 1}}),
                         [](const testing::TestParamInfo<ArithmeticRow>& info) {
                           return std::string(info.param.name);
                         });

TEST(MoskAudioBuffer, ArithmeticRefusesOperandsOfAnotherWidth) {
  IPtr<IMoskAudioBuffer> target = Make({2, 32, kStereo, 8});
  const Samples values = FillRandom(target.get(), 12);
  IPtr<IMoskAudioBuffer> narrow = Make({2, 8, kStereo, 8});
  FillRandom(narrow.get(), 13);
  EXPECT_THROW(target->Add(narrow.get()), EConvertError);
  EXPECT_THROW(target->Divide(nullptr), EInvalidPointer);
  EXPECT_EQ(ReadAll(target.get()), values);
}

// ---------------------------------------------------------------------------
// Fill, Zero, Scale

TEST(MoskAudioBuffer, FillZeroAndScaleEveryChannelByWidth) {
  const struct {
    const char* name;
    std::uint32_t bits;
    void (*apply)(IMoskAudioBuffer*);
    std::int32_t start;     // stored value before
    std::int32_t expected;  // stored value after
  } rows[] = {
      {"Fill stores value + 127 at 8 bits", 8, [](IMoskAudioBuffer* b) { b->Fill(5); }, 0, 132},
      {"Fill 24 bits", 24, [](IMoskAudioBuffer* b) { b->Fill(-300000); }, 0, -300000},
      {"Zero at 8 bits is 127", 8, [](IMoskAudioBuffer* b) { b->Zero(); }, 3, 127},
      {"Zero 32 bits", 32, [](IMoskAudioBuffer* b) { b->Zero(); }, -9, 0},
      {"Scale by 0 at 8 bits gives 127", 8, [](IMoskAudioBuffer* b) { b->Scale(0.0); }, 200, 127},
      {"Scale rounds half to even", 16, [](IMoskAudioBuffer* b) { b->Scale(0.5); }, 5, 2},
      {"Scale saturates at 16 bits", 16, [](IMoskAudioBuffer* b) { b->Scale(2.0); }, 20000, 32767},
      {"Scale 24 bits keeps the sign", 24, [](IMoskAudioBuffer* b) { b->Scale(3.0); }, -1000,
       -3000},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    IPtr<IMoskAudioBuffer> buffer = Make({3, row.bits, 7, 5});
    for (std::uint32_t f = 0; f < 5; ++f) {
      for (std::uint32_t c = 0; c < 3; ++c) {
        buffer->SetSample(f, c, row.start);
      }
    }
    row.apply(buffer.get());
    const Samples expected(5, std::vector<std::int64_t>(3, row.expected));
    EXPECT_EQ(ReadAll(buffer.get()), expected);
  }
}

// ---------------------------------------------------------------------------
// Pooling

TEST(MoskAudioBuffer, MakingAndDroppingBuffersReusesPooledBlocks) {
  // The capture path makes one buffer per block: once the store is warm, no
  // block and no block object is taken from the heap.
  auto cycle = [] {
    IPtr<IMoskAudioBuffer> buffer = Make({2, 16, kStereo, 1024});
    IPtr<IMoskAudioBuffer> view = TMoskAudioBuffer::CreateShared(buffer.get());
    view->SetSample(0, 0, 1);  // a private copy: a second block
  };
  cycle();
  const std::uint64_t warm = SmartBufferManager()->HeapAllocationCount();
  for (int i = 0; i < 100; ++i) {
    cycle();
  }
  EXPECT_EQ(SmartBufferManager()->HeapAllocationCount(), warm);
}

}  // namespace
