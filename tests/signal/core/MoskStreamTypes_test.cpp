// Audio stream pins and the start-wave operation: the wave format travels
// byte for byte, a sink linked mid-stream hears the start and the resume
// before any buffer, and audio buffers pass through untouched.
#include "signal/core/MoskStreamTypes.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "tests/signal/core/StreamPinFixtures.h"

namespace {

using namespace streamtest;
using Lines = std::vector<std::string>;
using Bytes = std::array<std::uint8_t, 40>;

Bytes BytesOf(const WAVEFORMATEXTENSIBLE& format) {
  static_assert(sizeof(format) == 40);
  Bytes bytes;
  std::memcpy(bytes.data(), &format, bytes.size());
  return bytes;
}

// ---------------------------------------------------------------------------
// The start-wave operation

// Offsets: tag 0, channels 2, samples per second 4, bytes per second 8,
// block align 12, bits 14, extra size 16, valid bits 18, channel mask 20,
// sub-format 24 (GUID: 32-bit, two 16-bit fields little-endian, 8 bytes).
constexpr Bytes kDefaultFormat = {0xFE, 0xFF, 0x02, 0x00, 0x11, 0x2B, 0x00, 0x00, 0x44, 0xAC,
                                  0x00, 0x00, 0x04, 0x00, 0x10, 0x00, 0x16, 0x00, 0x10, 0x00,
                                  0x03, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00,
                                  0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
// 6 channels of 24 valid bits in 32, 48000 per second, float sub-format.
constexpr Bytes kSurroundFormat = {0xFE, 0xFF, 0x06, 0x00, 0x80, 0xBB, 0x00, 0x00, 0x00, 0x94,
                                   0x11, 0x00, 0x18, 0x00, 0x20, 0x00, 0x16, 0x00, 0x18, 0x00,
                                   0x3F, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0x00, 0x00,
                                   0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

WAVEFORMATEXTENSIBLE SurroundFormat() {
  WAVEFORMATEXTENSIBLE f{};
  f.Format.wFormatTag = WAVE_FORMAT_EXTENSIBLE;
  f.Format.nChannels = 6;
  f.Format.nSamplesPerSec = 48000;
  f.Format.nAvgBytesPerSec = 48000 * 24;
  f.Format.nBlockAlign = 24;
  f.Format.wBitsPerSample = 32;
  f.Format.cbSize = 22;
  f.wValidBitsPerSample = 24;
  f.dwChannelMask = 0x3F;
  f.SubFormat = TGUID::Parse("{00000003-0000-0010-8000-00AA00389B71}");
  return f;
}

WAVEFORMATEXTENSIBLE Garbage() {
  Bytes bytes;
  bytes.fill(0xA5);
  WAVEFORMATEXTENSIBLE f{};
  std::memcpy(static_cast<void*>(&f), bytes.data(), bytes.size());
  return f;
}

TEST(MoskStartWave, CarriesTheFortyByteFormatExactly) {
  struct Row {
    const char* name;
    std::function<IPtr<TVekStartWaveOperation>(float rate)> make;
    float rate;
    Bytes expected;
  };
  const WAVEFORMATEXTENSIBLE surround = SurroundFormat();
  const WAVEFORMATEXTENSIBLE garbage = Garbage();
  Bytes garbageBytes;
  garbageBytes.fill(0xA5);
  const Row rows[] = {
      {"NoFormatGivesTheDefaultWhateverTheRate",
       [](float rate) { return CreateCounted<TVekStartWaveOperation>(nullptr, rate); }, 44100.0f,
       kDefaultFormat},
      {"GivenFormatIsCopied",
       [&](float rate) { return CreateCounted<TVekStartWaveOperation>(&surround, rate); }, 48000.0f,
       kSurroundFormat},
      {"AnyFortyBytesAreCopiedUnread",
       [&](float rate) { return CreateCounted<TVekStartWaveOperation>(&garbage, rate); }, 8000.0f,
       garbageBytes},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    IPtr<TVekStartWaveOperation> op = row.make(row.rate);
    EXPECT_EQ(BytesOf(op->Format), row.expected);
    EXPECT_EQ(op->SampleRate, row.rate);
    EXPECT_EQ(op->Rate, row.rate);
    EXPECT_EQ(op->Count, 0);
  }
  EXPECT_EQ(BytesOf(SurroundFormat()), kSurroundFormat) << "the fixture itself";
}

// ---------------------------------------------------------------------------
// Links

class MoskAudioPinsTest : public StreamPinTest {};

TEST_F(MoskAudioPinsTest, AudioPinsLinkOnlyWithEachOther) {
  const TVekStreamTypeRecord* registered = LookupStreamType(MoskAudioBufferType);
  ASSERT_NE(registered, nullptr);
  EXPECT_EQ(registered->Function, &BufferTypeFunction);

  auto* audioOut = Pin<TMoskVekAudioSourcePin>("audioOut");
  auto* realOut = Pin<TTrelVekRealSourcePin>("realOut");
  auto* audioIn = Pin<TMoskVekAudioSinkPin>("audioIn");
  auto* realIn = Pin<TTrelVekComboRealIntSinkPin>("realIn");
  auto* signalIn = Pin<TTrelVekSinkPin>("signalIn");
  EXPECT_FALSE(realIn->Connect(audioOut));
  EXPECT_FALSE(signalIn->Connect(audioOut));
  EXPECT_FALSE(audioIn->Connect(realOut));
  ASSERT_TRUE(audioIn->Connect(audioOut));
  EXPECT_EQ(audioOut->GetLinkType(audioIn), MoskAudioBufferType);
  EXPECT_EQ(audioIn->GetLinkType(audioOut), MoskAudioBufferType);
  EXPECT_TRUE(recorder_.Log.empty()) << "a link delivers nothing";
}

TEST_F(MoskAudioPinsTest, AudioBufferPassesThroughUntouched) {
  auto* source = Pin<TMoskVekAudioSourcePin>("source");
  auto* sink = Pin<TMoskVekAudioSinkPin>("sink");
  ASSERT_TRUE(sink->Connect(source));
  // A plain block in the audio buffer's shape: the 40-byte header, then
  // 1024 stereo frames of 16 bits.
  constexpr std::int32_t kBytes = 40 + 1024 * 2 * 2;
  IPtr<ITrelBlockBuffer> block = TTrelBlockBuffer::CreateSize(kBytes);
  std::uint8_t* bytes = block->GetReadData();
  for (std::int32_t i = 0; i < kBytes; ++i)
    bytes[i] = static_cast<std::uint8_t>(i * 7);
  const std::vector<std::uint8_t> before(bytes, bytes + kBytes);

  source->SendData(block.get());

  ASSERT_EQ(recorder_.Log, Lines{"sink TVekSuppliedBufferOperation"});
  EXPECT_EQ(recorder_.Types[0], MoskAudioBufferType);
  EXPECT_EQ(recorder_.Flags[0], VekNotifyLast);
  auto* supplied = OperationAs<TVekSuppliedBufferOperation>(recorder_.Operations[0].get());
  EXPECT_EQ(Supports<ITrelDataBuffer>(supplied->Buffer).get(),
            static_cast<ITrelDataBuffer*>(block.get()));
  EXPECT_EQ(block->GetData(), bytes) << "no copy was made";
  EXPECT_EQ(std::vector<std::uint8_t>(bytes, bytes + kBytes), before);
  recorder_.Clear();
  EXPECT_EQ(block->GetBufferObject()->RefCount(), 1) << "the push keeps no reference";
}

TEST_F(MoskAudioPinsTest, SinkSendsOperationsUpstreamToOnUpstream) {
  auto* source = Pin<TMoskVekAudioSourcePin>("source");
  auto* sink = Pin<TMoskVekAudioSinkPin>("sink");
  ASSERT_TRUE(sink->Connect(source));
  recorder_.Handled = true;
  IPtr<IVekNotifyOperation> pump = NewOperation<TVekMasterPumpOperation>();
  IPtr<IVekStreamReceive> upstream = QueryStreamReceive(sink->GetSourcePin(), sink->LinkType());
  ASSERT_TRUE(upstream);
  EXPECT_TRUE(upstream->Receive(sink->LinkType(), pump.get(), 0));
  EXPECT_EQ(recorder_.Log, Lines{"source TVekMasterPumpOperation"});
}

// ---------------------------------------------------------------------------
// A sink linked mid-stream

enum class Step { StartWave, Resume, Buffer, Stop, SendStop };

struct MidStreamRow {
  const char* name;
  std::vector<Step> pushed;
  bool linkFromSource;  // source->Connect (through ConnectTo) instead of sink->Connect
  Lines heard;          // by the sink linked afterwards, in order
};
void PrintTo(const MidStreamRow& row, std::ostream* os) {
  *os << row.name;
}

class MoskMidStreamTest : public StreamPinTest,
                          public ::testing::WithParamInterface<MidStreamRow> {};

TEST_P(MoskMidStreamTest, NewSinkHearsTheStartThenTheResumeAndNoBuffer) {
  const MidStreamRow& row = GetParam();
  auto* source = Pin<TMoskVekAudioSourcePin>("source");
  auto* early = Pin<TMoskVekAudioSinkPin>("early");
  ASSERT_TRUE(early->Connect(source));
  const WAVEFORMATEXTENSIBLE surround = SurroundFormat();
  for (Step step : row.pushed) {
    switch (step) {
      case Step::StartWave:
        Push<TVekStartWaveOperation>(source, &surround, 48000.0f);
        break;
      case Step::Resume:
        Push<TVekTrelResumeOperation>(source);
        break;
      case Step::Buffer:
        source->SendData(TTrelBlockBuffer::CreateSize(64).get());
        break;
      case Step::Stop:
        Push<TVekStopOperation>(source);
        break;
      case Step::SendStop:
        source->SendStop();
        break;
    }
  }
  recorder_.Clear();

  auto* late = Pin<TMoskVekAudioSinkPin>("late");
  ASSERT_TRUE(row.linkFromSource ? source->Connect(late) : late->Connect(source));

  EXPECT_EQ(recorder_.Of(late), row.heard);
  EXPECT_TRUE(recorder_.Of(early).empty()) << "the replay goes to the new sink alone";
  for (const IPtr<IVekNotifyOperation>& op : recorder_.Operations) {
    if (auto* start = OperationAs<TVekStartWaveOperation>(op.get())) {
      EXPECT_EQ(BytesOf(start->Format), kSurroundFormat);
    }
  }

  // The stream goes on: the next buffer reaches both.
  recorder_.Clear();
  source->SendData(TTrelBlockBuffer::CreateSize(64).get());
  EXPECT_EQ(recorder_.Log.size(), 2u);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, MoskMidStreamTest,
    ::testing::Values(
        MidStreamRow{"StartWaveResumeBuffers",
                     {Step::StartWave, Step::Resume, Step::Buffer, Step::Buffer},
                     false,
                     {"TVekStartWaveOperation", "TVekTrelResumeOperation"}},
        MidStreamRow{
            "StartWaveOnly", {Step::StartWave, Step::Buffer}, false, {"TVekStartWaveOperation"}},
        MidStreamRow{
            "ResumeWithoutStart", {Step::Resume, Step::Buffer}, false, {"TVekTrelResumeOperation"}},
        MidStreamRow{"AfterAStopNothing",
                     {Step::StartWave, Step::Resume, Step::Buffer, Step::Stop},
                     false,
                     {}},
        MidStreamRow{"AfterSendStopNothing",
                     {Step::StartWave, Step::Resume, Step::Buffer, Step::SendStop},
                     false,
                     {}},
        MidStreamRow{"RestartAfterAStopForgetsTheOldResume",
                     {Step::StartWave, Step::Resume, Step::Stop, Step::StartWave},
                     false,
                     {"TVekStartWaveOperation"}},
        MidStreamRow{
            "LinkThroughTheSourceRepeatsOnlyTheStart",
            {Step::StartWave, Step::Resume, Step::Buffer},
            true,
            {"TVekStartWaveOperation", "TVekTrelResumeOperation", "TVekStartWaveOperation"}}),
    [](const ::testing::TestParamInfo<MidStreamRow>& info) { return info.param.name; });

}  // namespace
