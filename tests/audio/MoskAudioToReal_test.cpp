// The audio-to-real converter: a known two-channel signal pushed by an audio
// source arrives as the right real-valued buffer per channel at real sinks,
// for every container width; only linked channels are produced; the stream's
// start, stop and resume are passed on; the channel count is clamped.
#include "audio/MoskChannelSplitter.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tests/audio/MoskSplitterTestSupport.h"

namespace {

using namespace splittertest;
using Values = std::vector<double>;
using Kinds = std::vector<std::string>;

class AudioToRealTest : public SplitterTest {
 public:
  void SetUp() override {
    SplitterTest::SetUp();
    conv_ = Create<TMoskAudioToReal>(form_);
    conv_->SetName("Conv");
    ASSERT_TRUE(conv_->GetInputPin()->Connect(source_));
  }
  TVekBasicPin* Output(int i) { return conv_->GetOutputPins()->GetPin(i); }
  void LinkScope(int channel) { ASSERT_TRUE(scope_->Channel(channel)->Connect(Output(channel))); }

  TMoskAudioToReal* conv_ = nullptr;
};

// ---------------------------------------------------------------------------
// Sample widths

struct WidthRow {
  const char* name;
  std::uint32_t bits;
  // Four samples, little-endian bytes of one sample each, and their values.
  std::vector<std::vector<std::uint8_t>> samples;
  Values values;
};

class AudioToRealWidthTest : public AudioToRealTest,
                             public ::testing::WithParamInterface<WidthRow> {};

TEST_P(AudioToRealWidthTest, EachChannelArrivesAsItsOwnRealBufferUnscaled) {
  const WidthRow& row = GetParam();
  LinkScope(0);
  LinkScope(1);
  // Frame f holds sample f mod 4 on channel 0 and sample 3 - f mod 4 on
  // channel 1; 13 frames make runs of four frames and a shorter tail.
  std::vector<std::uint8_t> bytes;
  for (int f = 0; f < 4; ++f) {
    bytes.insert(bytes.end(), row.samples[f].begin(), row.samples[f].end());
    bytes.insert(bytes.end(), row.samples[3 - f].begin(), row.samples[3 - f].end());
  }
  constexpr int kFrames = 13;
  IPtr<IMoskAudioBuffer> buffer = AudioBuffer(44100, 2, row.bits, kFrames, bytes);
  StartWave(buffer.get());
  source_->SendData(buffer.get());

  Values forward;
  Values reversed;
  for (int f = 0; f < kFrames; ++f) {
    forward.push_back(row.values[f % 4]);
    reversed.push_back(row.values[3 - f % 4]);
  }
  for (int channel = 0; channel < 2; ++channel) {
    const Received& got = scope_->Got[channel];
    EXPECT_EQ(got.Kinds, (Kinds{"TVekStartSampleRateOperation", "TVekSuppliedBufferOperation"}))
        << channel;
    EXPECT_EQ(got.StartRates, Values{44100.0}) << channel;
    EXPECT_EQ(got.StartCounts, std::vector<std::int32_t>{0}) << channel;
    ASSERT_EQ(got.Buffers.size(), 1u) << channel;
    EXPECT_EQ(got.Buffers[0], channel == 0 ? forward : reversed) << channel;
  }
  // The source's buffer is not touched.
  EXPECT_EQ(std::vector<std::uint8_t>(buffer->GetData(), buffer->GetData() + bytes.size()), bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Widths, AudioToRealWidthTest,
    ::testing::Values(
        // The zero level of 8-bit samples is 127.
        WidthRow{"Bits8", 8, {{0x7F}, {0x80}, {0x00}, {0xFF}}, {0.0, 1.0, -127.0, 128.0}},
        WidthRow{"Bits16",
                 16,
                 {{0x00, 0x80}, {0xFF, 0x7F}, {0xFF, 0xFF}, {0x34, 0x12}},
                 {-32768.0, 32767.0, -1.0, 4660.0}},
        WidthRow{"Bits24",
                 24,
                 {{0x00, 0x00, 0x80}, {0xFF, 0xFF, 0xFF}, {0xFF, 0xFF, 0x7F}, {0x01, 0x00, 0x00}},
                 {-8388608.0, -1.0, 8388607.0, 1.0}},
        WidthRow{"Bits32",
                 32,
                 {{0x00, 0x00, 0x00, 0x80},
                  {0xFF, 0xFF, 0xFF, 0x7F},
                  {0xFF, 0xFF, 0xFF, 0xFF},
                  {0x00, 0x01, 0x00, 0x00}},
                 {-2147483648.0, 2147483647.0, -1.0, 256.0}}),
    [](const ::testing::TestParamInfo<WidthRow>& info) { return info.param.name; });

// ---------------------------------------------------------------------------
// Which channels are produced

struct ChannelRow {
  const char* name;
  std::uint32_t formatChannels;
  std::vector<int> linked;
  std::vector<std::size_t> buffersPerSink;  // for sinks 0 and 1
};

class AudioToRealChannelTest : public AudioToRealTest,
                               public ::testing::WithParamInterface<ChannelRow> {};

TEST_P(AudioToRealChannelTest, OnlyLinkedChannelsOfTheFormatAreProduced) {
  const ChannelRow& row = GetParam();
  for (int channel : row.linked)
    LinkScope(channel);
  IPtr<IMoskAudioBuffer> buffer = AudioBuffer(11025, row.formatChannels, 16, 1024, {1, 0});
  StartWave(buffer.get());
  source_->SendData(buffer.get());
  for (int sink = 0; sink < 2; ++sink) {
    const Received& got = scope_->Got[sink];
    ASSERT_EQ(got.Buffers.size(), row.buffersPerSink[sink]) << sink;
    for (const Values& values : got.Buffers)
      EXPECT_EQ(values, Values(1024, 1.0)) << sink;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Channels, AudioToRealChannelTest,
    ::testing::Values(ChannelRow{"StereoOnlyOutput1Linked", 2, {1}, {0, 1}},
                      ChannelRow{"StereoNoneLinked", 2, {}, {0, 0}},
                      ChannelRow{"MonoFormatConvertsChannel0Only", 1, {0, 1}, {1, 0}},
                      ChannelRow{"ThreeChannelsIntoTwoOutputs", 3, {0, 1}, {1, 1}}),
    [](const ::testing::TestParamInfo<ChannelRow>& info) { return info.param.name; });

TEST_F(AudioToRealTest, TrailingPartialFrameIsIgnored) {
  LinkScope(0);
  LinkScope(1);
  // 4099 sample bytes under a stereo 16-bit format: 1024 whole frames.
  IPtr<IMoskAudioBuffer> stereo = AudioBuffer(11025, 2, 16, 1, {});
  StartWave(stereo.get());
  IPtr<IMoskAudioBuffer> bytes = AudioBuffer(11025, 1, 8, 4099, {0x02, 0x00, 0xFE, 0xFF});
  source_->SendData(bytes.get());
  ASSERT_EQ(scope_->Got[0].Buffers.size(), 1u);
  ASSERT_EQ(scope_->Got[1].Buffers.size(), 1u);
  EXPECT_EQ(scope_->Got[0].Buffers[0], Values(1024, 2.0));
  EXPECT_EQ(scope_->Got[1].Buffers[0], Values(1024, -2.0));
}

TEST_F(AudioToRealTest, NoOutputBeforeTheFirstStartWaveNorForOtherWidthsOrShortFrames) {
  LinkScope(0);
  LinkScope(1);
  IPtr<IMoskAudioBuffer> buffer = AudioBuffer(8000, 2, 16, 16, {1, 0});
  source_->SendData(buffer.get());
  EXPECT_TRUE(scope_->Got[0].Buffers.empty());

  // A 12-bit container is not read.
  WAVEFORMATEXTENSIBLE odd = FormatOf(buffer.get());
  odd.Format.wBitsPerSample = 12;
  StartWave(odd);
  source_->SendData(buffer.get());
  EXPECT_TRUE(scope_->Got[0].Buffers.empty());

  // A malformed format whose frames are shorter than two samples: channel 1
  // would read past the frame (and, on the last frame, past the buffer).
  WAVEFORMATEXTENSIBLE shortFrames = FormatOf(buffer.get());
  shortFrames.Format.nBlockAlign = 2;
  StartWave(shortFrames);
  source_->SendData(buffer.get());
  EXPECT_EQ(scope_->Got[0].Buffers.size(), 1u);
  EXPECT_TRUE(scope_->Got[1].Buffers.empty());

  // A block align of 0 divides nothing.
  WAVEFORMATEXTENSIBLE noFrames = FormatOf(buffer.get());
  noFrames.Format.nBlockAlign = 0;
  StartWave(noFrames);
  source_->SendData(buffer.get());
  EXPECT_EQ(scope_->Got[0].Buffers.size(), 1u);
}

// ---------------------------------------------------------------------------
// Stream control

TEST_F(AudioToRealTest, StopAndResumeReachEveryLinkedOutputAndDestructionStops) {
  LinkScope(0);
  LinkScope(1);
  Push<TVekTrelResumeOperation>();
  Push<TVekEndStopOperation>();
  for (int sink = 0; sink < 2; ++sink) {
    EXPECT_EQ(scope_->Got[sink].Kinds, (Kinds{"TVekTrelResumeOperation", "TVekStopOperation"}))
        << sink;
  }
  FreeAndNil(conv_);
  for (int sink = 0; sink < 2; ++sink) {
    ASSERT_FALSE(scope_->Got[sink].Kinds.empty());
    EXPECT_EQ(scope_->Got[sink].Kinds.back(), "TVekStopOperation") << sink;
    EXPECT_EQ(scope_->Channel(sink)->GetSourcePin(), nullptr);
  }
}

TEST_F(AudioToRealTest, OperationsFromASinkGoUpstreamOrAreTakenAsInput) {
  LinkScope(0);
  LinkScope(1);
  IPtr<IVekNotifyOperation> pump = NewOperation<TVekMasterPumpOperation>();
  scope_->Channel(0)->Notify(pump.get());
  EXPECT_EQ(upstream_, Kinds{"TVekMasterPumpOperation"});

  // With the input unlinked, a stop sent back by a sink is handled as if it
  // came from the input: every output stops.
  conv_->GetInputPin()->DisconnectAll();
  for (Received& got : scope_->Got)
    got.Kinds.clear();
  IPtr<IVekNotifyOperation> stop = NewOperation<TVekStopOperation>();
  scope_->Channel(1)->Notify(stop.get());
  EXPECT_EQ(scope_->Got[0].Kinds, Kinds{"TVekStopOperation"});
  EXPECT_EQ(scope_->Got[1].Kinds, Kinds{"TVekStopOperation"});
  EXPECT_EQ(upstream_.size(), 1u);
}

// ---------------------------------------------------------------------------
// Channel count

TEST_F(AudioToRealTest, ChannelCountIsClampedAndLoweringFreesTheHighestPins) {
  EXPECT_EQ(conv_->GetCountChannels(), 2);
  conv_->SetCountChannels(40);
  EXPECT_EQ(conv_->GetCountChannels(), 32);
  TVekBasicPin* first = Output(0);
  TVekBasicPin* second = Output(1);
  conv_->SetCountChannels(2);
  ASSERT_EQ(conv_->GetCountChannels(), 2);
  EXPECT_EQ(Output(0), first);
  EXPECT_EQ(Output(1), second);
  conv_->SetCountChannels(0);
  ASSERT_EQ(conv_->GetCountChannels(), 1);
  EXPECT_EQ(Output(0), first);

  // A pin made later converts like the first ones.
  conv_->SetCountChannels(3);
  ASSERT_TRUE(scope_->Channel(2)->Connect(Output(2)));
  IPtr<IMoskAudioBuffer> buffer = AudioBuffer(11025, 3, 8, 2, {0x7F, 0x80, 0x81});
  StartWave(buffer.get());
  source_->SendData(buffer.get());
  ASSERT_EQ(scope_->Got[2].Buffers.size(), 1u);
  EXPECT_EQ(scope_->Got[2].Buffers[0], (Values{2.0, 2.0}));
}

}  // namespace
