// Waveform-audio input on the scripted backend, the format reader, and the
// device-list rules.
#include "platform/win/WaveIn.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <cstring>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/win/ScriptedWaveIn.h"
#include "platform/win/WaveInBackend.h"
#include "tests/platform/win/WaveInTestSupport.h"

namespace {

using kestrune::AlsaCard;
using kestrune::AlsaPcmHint;
using kestrune::CaptureDeviceEntry;
using kestrune::ScriptedDeviceScript;
using kestrune::ScriptedWaveInBackend;
using kestrune::WaveInFormat;
using kestrune::WaveInStatistics;
using kestrune::WaveSampleFormat;
using wavein_test::ExtensibleFormat;
using wavein_test::HoldsCountingSignal;
using wavein_test::MakeBuffers;
using wavein_test::PcmFormat;
using wavein_test::Recorder;
using wavein_test::TestBuffer;

constexpr UINT kHeaderSize = sizeof(WAVEHDR);

// ---------------------------------------------------------------------------
// The device list rules, over tables of what ALSA would report.

struct ExpectedEntry {
  std::string name;
  std::string pcmName;
};

struct ListingRow {
  const char* name;
  std::vector<AlsaPcmHint> hints;
  std::vector<AlsaCard> cards;
  std::set<std::string> answeringServers;
  std::vector<ExpectedEntry> expected;
};

const AlsaPcmHint kPulseHint{"pulse", "PulseAudio Sound Server", true};
const AlsaPcmHint kPipewireHint{"pipewire", "PipeWire Sound Server", true};

AlsaCard Card(int index, std::string id, std::string name,
              std::vector<kestrune::AlsaCardDevice> devices) {
  return AlsaCard{index, std::move(id), std::move(name), std::move(devices)};
}

const ListingRow kListingRows[] = {
    {"NothingThere", {{"null", "Discard all samples", true}}, {}, {}, {}},
    {"ServerFirstWhenItAnswers",
     {kPulseHint},
     {Card(0, "PCH", "HDA Intel PCH", {{0, "ALC892 Analog"}})},
     {"pulse"},
     {{"PulseAudio Sound Server", "pulse"},
      {"HDA Intel PCH: ALC892 Analog", "plughw:CARD=PCH,DEV=0"}}},
    {"SilentServerMakesNoEntry",
     {kPulseHint},
     {Card(0, "PCH", "HDA Intel PCH", {{0, "ALC892 Analog"}})},
     {},
     {{"HDA Intel PCH: ALC892 Analog", "plughw:CARD=PCH,DEV=0"}}},
    {"OneServerEntryPipewirePreferred",
     {kPulseHint, kPipewireHint},
     {},
     {"pulse", "pipewire"},
     {{"PipeWire Sound Server", "pipewire"}}},
    {"PulseWhenPipewireSilent",
     {kPipewireHint, kPulseHint},
     {},
     {"pulse"},
     {{"PulseAudio Sound Server", "pulse"}}},
    {"ServerWithoutHintNotProbed", {}, {}, {"pulse", "pipewire"}, {}},
    {"PlaybackOnlyServerHintSkipped", {{"pulse", "PulseAudio", false}}, {}, {"pulse"}, {}},
    {"ServerNamedAfterFirstDescriptionLine",
     {{"pulse", "Playback/recording\nthrough the server", true}},
     {},
     {"pulse"},
     {{"Playback/recording", "pulse"}}},
    {"AliasHintsMakeNoEntries",
     {{"sysdefault:CARD=PCH", "HDA Intel PCH\nDefault Audio Device", true},
      {"front:CARD=PCH,DEV=0", "HDA Intel PCH, ALC892 Analog\nFront output", false},
      {"dsnoop:CARD=PCH,DEV=0", "HDA Intel PCH\nDirect sample snooping", true},
      {"hw:CARD=PCH,DEV=0", "HDA Intel PCH\nDirect hardware", true},
      {"plughw:CARD=PCH,DEV=0", "HDA Intel PCH\nHardware with conversions", true}},
     {Card(0, "PCH", "HDA Intel PCH", {{0, "ALC892 Analog"}, {2, "ALC892 Alt"}})},
     {},
     {{"HDA Intel PCH: ALC892 Analog", "plughw:CARD=PCH,DEV=0"},
      {"HDA Intel PCH: ALC892 Alt", "plughw:CARD=PCH,DEV=2"}}},
    {"CardsAndDevicesInNumberOrderDuplicatesDropped",
     {},
     {Card(2, "Mic", "USB Mic", {{1, "B"}, {0, "A"}, {1, "B again"}}),
      Card(0, "PCH", "HDA", {{0, "Analog"}})},
     {},
     {{"HDA: Analog", "plughw:CARD=PCH,DEV=0"},
      {"USB Mic: A", "plughw:CARD=Mic,DEV=0"},
      {"USB Mic: B", "plughw:CARD=Mic,DEV=1"}}},
    {"LongNamesCutTo31BytesAndNumbered",
     {},
     {Card(0, "A", "USB Audio Device With A Long Name", {{0, "USB Audio"}}),
      Card(1, "B", "USB Audio Device With A Long Name", {{0, "USB Audio"}})},
     {},
     {{"USB Audio Device With A Long Na", "plughw:CARD=A,DEV=0"},
      {"USB Audio Device With A Lon (2)", "plughw:CARD=B,DEV=0"}}},
    {"NamesUniqueIgnoringCase",
     {},
     {Card(0, "A", "Mic", {{0, ""}}), Card(1, "B", "MIC", {{0, ""}})},
     {},
     {{"Mic", "plughw:CARD=A,DEV=0"}, {"MIC (2)", "plughw:CARD=B,DEV=0"}}},
    {"DefaultIsReservedForTheMapper",
     {},
     {Card(0, "Default", "default", {{0, ""}})},
     {},
     {{"default (2)", "plughw:CARD=Default,DEV=0"}}},
    {"Utf8CharacterNotSplit",
     // 30 ASCII bytes, then a two-byte character that would end at byte 32.
     {},
     {Card(0, "X", "abcdefghijklmnopqrstuvwxyz0123\xC3\xA9", {{0, ""}})},
     {},
     {{"abcdefghijklmnopqrstuvwxyz0123", "plughw:CARD=X,DEV=0"}}},
    {"MissingNamesFallBack",
     {},
     {Card(3, "", "", {{0, ""}}), Card(4, "Id4", " \t", {{1, "\tLine\n"}})},
     {},
     {{"Card 3", "plughw:3,0"}, {"Id4: Line", "plughw:CARD=Id4,DEV=1"}}},
};

void PrintTo(const ListingRow& row, std::ostream* os) {
  *os << row.name;
}

class ListingTest : public ::testing::TestWithParam<ListingRow> {};

TEST_P(ListingTest, FollowsTheRules) {
  const ListingRow& row = GetParam();
  std::vector<std::string> probed;
  const auto entries =
      kestrune::ListCaptureDevices(row.hints, row.cards, [&](const std::string& pcm) {
        probed.push_back(pcm);
        return row.answeringServers.count(pcm) != 0;
      });

  ASSERT_EQ(entries.size(), row.expected.size());
  std::set<std::string> lowered;
  for (size_t i = 0; i < entries.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(entries[i].name, row.expected[i].name);
    EXPECT_EQ(entries[i].pcmName, row.expected[i].pcmName);
    EXPECT_EQ(entries[i].soundServer, entries[i].cardIndex < 0);
    if (!entries[i].soundServer) {
      EXPECT_EQ(entries[i].directPcmName, "hw:" + entries[i].pcmName.substr(7));
    }
    EXPECT_FALSE(entries[i].name.empty());
    EXPECT_LE(entries[i].name.size(), 31u);
    std::string lower = entries[i].name;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    EXPECT_TRUE(lowered.insert(lower).second) << "duplicate name " << entries[i].name;
  }
  // Only listed, capture-capable server PCMs are probed, and none after the
  // first that answers.
  for (const std::string& pcm : probed) {
    EXPECT_TRUE(pcm == "pulse" || pcm == "pipewire") << pcm;
    EXPECT_TRUE(std::any_of(row.hints.begin(), row.hints.end(),
                            [&](const AlsaPcmHint& h) { return h.name == pcm && h.capture; }));
  }
  if (!entries.empty() && entries[0].soundServer) {
    EXPECT_EQ(probed.back(), entries[0].pcmName);
  }
}

INSTANTIATE_TEST_SUITE_P(Rows, ListingTest, ::testing::ValuesIn(kListingRows),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------
// Format headers.

struct FormatRow {
  const char* name;
  std::vector<uint8_t> header;  // the bytes handed over
  bool accepted;
  WaveSampleFormat sampleFormat;
  uint32_t channels;
  uint32_t validBits;
};

template <class T>
std::vector<uint8_t> Bytes(const T& value) {
  const auto* p = reinterpret_cast<const uint8_t*>(&value);
  return std::vector<uint8_t>(p, p + sizeof(T));
}

template <class T, class F>
std::vector<uint8_t> Edited(T value, F edit) {
  edit(value);
  return Bytes(value);
}

const FormatRow kFormatRows[] = {
    {"Pcm16Stereo", Bytes(PcmFormat(2, 11025, 16)), true, WaveSampleFormat::Signed16, 2, 16},
    {"Pcm8Mono", Bytes(PcmFormat(1, 8000, 8)), true, WaveSampleFormat::Unsigned8, 1, 8},
    {"Pcm24Packed", Bytes(PcmFormat(2, 48000, 24)), true, WaveSampleFormat::Signed24Packed, 2, 24},
    {"Pcm32With32Channels", Bytes(PcmFormat(32, 44100, 32)), true, WaveSampleFormat::Signed32, 32,
     32},
    {"Extensible20In24", Bytes(ExtensibleFormat(2, 44100, 24, 20)), true,
     WaveSampleFormat::Signed24Packed, 2, 20},
    {"Extensible16", Bytes(ExtensibleFormat(2, 11025, 16, 16)), true, WaveSampleFormat::Signed16, 2,
     16},
    {"ThirtyThreeChannels", Bytes(PcmFormat(33, 8000, 16)), false, {}, 0, 0},
    {"NoChannels", Bytes(PcmFormat(0, 8000, 16)), false, {}, 0, 0},
    {"TwelveBitContainer", Bytes(PcmFormat(1, 8000, 12)), false, {}, 0, 0},
    {"RateZero", Bytes(PcmFormat(2, 0, 16)), false, {}, 0, 0},
    {"BlockAlignWrong",
     Edited(PcmFormat(2, 8000, 16), [](WAVEFORMATEX& f) { f.nBlockAlign = 2; }),
     false,
     {},
     0,
     0},
    {"FloatTag",
     Edited(PcmFormat(2, 8000, 32), [](WAVEFORMATEX& f) { f.wFormatTag = 3; }),
     false,
     {},
     0,
     0},
    {"ExtensibleExtraTooShort",
     Edited(ExtensibleFormat(2, 8000, 16, 16),
            [](WAVEFORMATEXTENSIBLE& f) { f.Format.cbSize = 0; }),
     false,
     {},
     0,
     0},
    {"ExtensibleFloatSubFormat",
     Edited(ExtensibleFormat(2, 8000, 32, 32),
            [](WAVEFORMATEXTENSIBLE& f) {
              f.SubFormat = TGUID::Parse("{00000003-0000-0010-8000-00AA00389B71}");
            }),
     false,
     {},
     0,
     0},
    {"ExtensibleValidBitsAboveContainer",
     Bytes(ExtensibleFormat(2, 8000, 16, 17)),
     false,
     {},
     0,
     0},
    {"ExtensibleNoValidBits", Bytes(ExtensibleFormat(2, 8000, 16, 0)), false, {}, 0, 0},
};

void PrintTo(const FormatRow& row, std::ostream* os) {
  *os << row.name;
}

class FormatTest : public ::testing::TestWithParam<FormatRow> {};

TEST_P(FormatTest, IsReadOrRefused) {
  const FormatRow& row = GetParam();
  // Copied one byte off alignment: the reader must not rely on it.
  std::vector<uint8_t> storage(row.header.size() + 1);
  std::copy(row.header.begin(), row.header.end(), storage.begin() + 1);
  const auto* header = reinterpret_cast<const WAVEFORMATEX*>(storage.data() + 1);

  WaveInFormat parsed;
  parsed.channels = 99;
  ASSERT_EQ(kestrune::ParseWaveFormat(*header, parsed), row.accepted);
  if (!row.accepted) {
    EXPECT_EQ(parsed.channels, 99u) << "a refused header must leave the output alone";
    return;
  }
  EXPECT_EQ(parsed.sampleFormat, row.sampleFormat);
  EXPECT_EQ(parsed.channels, row.channels);
  EXPECT_EQ(parsed.validBits, row.validBits);
}

INSTANTIATE_TEST_SUITE_P(Rows, FormatTest, ::testing::ValuesIn(kFormatRows),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------
// The calls, on scripted devices.

class WaveInTest : public ::testing::Test {
 protected:
  void Install(std::vector<ScriptedDeviceScript> devices,
               std::optional<ScriptedDeviceScript> mapper = std::nullopt) {
    backend_ = std::make_shared<ScriptedWaveInBackend>(std::move(devices), std::move(mapper));
    kestrune::SetWaveInBackend(backend_);
  }
  void TearDown() override { kestrune::SetWaveInBackend(nullptr); }

  // Opens through the wave mapper with the recorder as callback.
  HWAVEIN Open(const WAVEFORMATEX& format, UINT deviceId = WAVE_MAPPER) {
    HWAVEIN handle{};
    EXPECT_EQ(waveInOpen(&handle, deviceId, &format, &Recorder::Callback, recorder_.Instance(),
                         CALLBACK_FUNCTION),
              MMSYSERR_NOERROR);
    return handle;
  }

  static void PrepareAndAdd(HWAVEIN handle, TestBuffer& buffer) {
    ASSERT_EQ(waveInPrepareHeader(handle, &buffer.header, kHeaderSize), MMSYSERR_NOERROR);
    ASSERT_EQ(waveInAddBuffer(handle, &buffer.header, kHeaderSize), MMSYSERR_NOERROR);
  }

  static WaveInStatistics Statistics(HWAVEIN handle) {
    WaveInStatistics statistics;
    EXPECT_EQ(kestrune::GetWaveInStatistics(handle, statistics), MMSYSERR_NOERROR);
    return statistics;
  }

  // Reset, unprepare every buffer, close.
  static void Finish(HWAVEIN handle, std::vector<std::unique_ptr<TestBuffer>>& buffers) {
    EXPECT_EQ(waveInReset(handle), MMSYSERR_NOERROR);
    for (auto& buffer : buffers)
      EXPECT_EQ(waveInUnprepareHeader(handle, &buffer->header, kHeaderSize), MMSYSERR_NOERROR);
    EXPECT_EQ(waveInClose(handle), MMSYSERR_NOERROR);
  }

  std::shared_ptr<ScriptedWaveInBackend> backend_;
  Recorder recorder_;
};

ScriptedDeviceScript Counting(std::string name = "Scripted capture", uint32_t framesPerRead = 256) {
  ScriptedDeviceScript script;
  script.name = std::move(name);
  script.signal = kestrune::CountingSignal();
  script.framesPerRead = framesPerRead;
  return script;
}

// A known signal arrives in full buffers, in queue order, in every width.
struct BlockRow {
  const char* name;
  WORD channels;
  WORD bits;
  size_t bufferBytes;  // not always a whole number of frames, nor of reads
  uint32_t framesPerRead;
};

const BlockRow kBlockRows[] = {
    {"Stereo16", 2, 16, 1024 * 4, 256},          {"Mono8", 1, 8, 1000, 333},
    {"Stereo24Packed", 2, 24, 6 * 700 + 5, 64},  {"ThreeChannels32", 3, 32, 12 * 100, 1000},
    {"ThirtyTwoChannels16", 32, 16, 64 * 50, 7},
};

void PrintTo(const BlockRow& row, std::ostream* os) {
  *os << row.name;
}

class FullBlockTest : public WaveInTest, public ::testing::WithParamInterface<BlockRow> {};

TEST_P(FullBlockTest, KnownSignalArrivesInFullBuffersInOrder) {
  const BlockRow& row = GetParam();
  Install({Counting("Scripted capture", row.framesPerRead)});
  const WAVEFORMATEX header = PcmFormat(row.channels, 44100, row.bits);
  WaveInFormat format;
  ASSERT_TRUE(kestrune::ParseWaveFormat(header, format));
  const size_t frameBytes = format.BytesPerFrame();
  const size_t filledBytes = row.bufferBytes / frameBytes * frameBytes;

  const HWAVEIN handle = Open(header);
  auto buffers = MakeBuffers(6, row.bufferBytes);
  for (auto& buffer : buffers)
    PrepareAndAdd(handle, *buffer);
  ASSERT_EQ(waveInStart(handle), MMSYSERR_NOERROR);
  ASSERT_TRUE(recorder_.WaitForData(buffers.size()));

  const auto returned = recorder_.Returned();
  uint64_t frame = 0;
  for (size_t i = 0; i < buffers.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(returned[i].header, &buffers[i]->header);
    EXPECT_EQ(returned[i].bytesRecorded, filledBytes);
    EXPECT_EQ(returned[i].flags & (WHDR_DONE | WHDR_PREPARED | WHDR_INQUEUE),
              WHDR_DONE | WHDR_PREPARED);
    EXPECT_TRUE(HoldsCountingSignal(format, buffers[i]->data.data(), filledBytes, frame));
    frame += filledBytes / frameBytes;
  }
  Finish(handle, buffers);
  EXPECT_EQ(recorder_.Messages().front(), WIM_OPEN);
  EXPECT_EQ(recorder_.Messages().back(), WIM_CLOSE);
  EXPECT_EQ(recorder_.DataCount(), buffers.size()) << "the reset found nothing more to return";
  EXPECT_EQ(backend_->OpenStreams(), 0);
}

INSTANTIATE_TEST_SUITE_P(Rows, FullBlockTest, ::testing::ValuesIn(kBlockRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(WaveInTest, OpenFailureReportsAndLeavesNothingOpen) {
  ScriptedDeviceScript busy = Counting("Busy");
  busy.openResult = MMSYSERR_ALLOCATED;
  Install({busy, Counting("Free")});
  ASSERT_EQ(waveInGetNumDevs(), 2u);

  const WAVEFORMATEX format = PcmFormat(2, 11025, 16);
  HWAVEIN handle{123};
  EXPECT_EQ(
      waveInOpen(&handle, 0, &format, &Recorder::Callback, recorder_.Instance(), CALLBACK_FUNCTION),
      MMSYSERR_ALLOCATED);
  EXPECT_EQ(handle, HWAVEIN{});
  EXPECT_EQ(
      waveInOpen(&handle, 2, &format, &Recorder::Callback, recorder_.Instance(), CALLBACK_FUNCTION),
      MMSYSERR_BADDEVICEID);
  const WAVEFORMATEX bad = PcmFormat(2, 11025, 12);
  EXPECT_EQ(
      waveInOpen(&handle, 1, &bad, &Recorder::Callback, recorder_.Instance(), CALLBACK_FUNCTION),
      WAVERR_BADFORMAT);
  EXPECT_EQ(waveInOpen(&handle, 1, &format, nullptr, 0, CALLBACK_FUNCTION), MMSYSERR_INVALPARAM);
  EXPECT_EQ(waveInOpen(&handle, 1, &format, nullptr, 0, 0x10000 /* a window callback */),
            MMSYSERR_INVALFLAG);
  EXPECT_EQ(waveInOpen(nullptr, 1, &format, nullptr, 0, CALLBACK_NULL), MMSYSERR_INVALPARAM);
  EXPECT_TRUE(recorder_.Messages().empty());
  EXPECT_EQ(backend_->OpenStreams(), 0);

  // The other device still works.
  handle = Open(format, 1);
  ASSERT_NE(handle, HWAVEIN{});
  EXPECT_FALSE(backend_->LastOpenMayConvert()) << "a device index without WAVE_MAPPED";
  EXPECT_EQ(waveInClose(handle), MMSYSERR_NOERROR);
  EXPECT_EQ(waveInOpen(&handle, 1, &format, nullptr, 0, CALLBACK_NULL | WAVE_MAPPED),
            MMSYSERR_NOERROR);
  EXPECT_TRUE(backend_->LastOpenMayConvert());
  EXPECT_EQ(waveInClose(handle), MMSYSERR_NOERROR);

  // No device at all: the mapper has nothing to open, nothing fails harder.
  Install({});
  EXPECT_EQ(waveInGetNumDevs(), 0u);
  EXPECT_EQ(waveInOpen(&handle, WAVE_MAPPER, &format, nullptr, 0, CALLBACK_NULL),
            MMSYSERR_NODRIVER);
}

TEST_F(WaveInTest, CapabilitiesNameTheSnapshotDevices) {
  Install({Counting("First"), Counting("A name of exactly thirty-one ch")});
  ASSERT_EQ(waveInGetNumDevs(), 2u);
  WAVEINCAPSA caps;
  std::memset(&caps, 0x55, sizeof(caps));
  ASSERT_EQ(waveInGetDevCapsA(1, &caps, sizeof(caps)), MMSYSERR_NOERROR);
  EXPECT_STREQ(caps.szPname, "A name of exactly thirty-one ch");
  EXPECT_EQ(caps.dwFormats, 0u);
  EXPECT_EQ(waveInGetDevCapsA(2, &caps, sizeof(caps)), MMSYSERR_BADDEVICEID);
  EXPECT_EQ(waveInGetDevCapsA(WAVE_MAPPER, &caps, sizeof(caps)), MMSYSERR_BADDEVICEID);
  EXPECT_EQ(waveInGetDevCapsA(0, nullptr, sizeof(caps)), MMSYSERR_INVALPARAM);

  // A short record gets only its own bytes.
  char small[6];
  std::memset(small, 0x55, sizeof(small));
  ASSERT_EQ(waveInGetDevCapsA(0, reinterpret_cast<WAVEINCAPSA*>(small), 4), MMSYSERR_NOERROR);
  EXPECT_EQ(small[4], 0x55);
}

TEST_F(WaveInTest, SlowConsumerLosesInputBetweenBuffersNeverInside) {
  Install({Counting()});
  const WAVEFORMATEX header = PcmFormat(1, 44100, 32);
  WaveInFormat format;
  ASSERT_TRUE(kestrune::ParseWaveFormat(header, format));
  const HWAVEIN handle = Open(header);
  auto buffers = MakeBuffers(2, 4 * 512);

  // Running with no buffer drops input.
  ASSERT_EQ(waveInStart(handle), MMSYSERR_NOERROR);
  while (Statistics(handle).droppedFrames < 5000)
    std::this_thread::yield();

  // The consumer hands each buffer back only after a pause; meanwhile the
  // device runs dry and drops input, but never inside a buffer.
  const uint64_t droppedBefore = Statistics(handle).droppedFrames;
  for (auto& buffer : buffers)
    PrepareAndAdd(handle, *buffer);
  size_t seen = 0;
  std::vector<uint32_t> firstSamples;
  while (seen < 20) {
    ASSERT_TRUE(recorder_.WaitForData(seen + 1));
    const auto returned = recorder_.Returned()[seen++];
    const auto* data = returned.header->lpData;
    ASSERT_EQ(returned.bytesRecorded, returned.header->dwBufferLength);
    const uint32_t first = wavein_test::RawSample(format, data, 0);
    EXPECT_TRUE(HoldsCountingSignal(format, data, returned.bytesRecorded, first));
    firstSamples.push_back(first);
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    ASSERT_EQ(waveInAddBuffer(handle, returned.header, kHeaderSize), MMSYSERR_NOERROR);
  }
  EXPECT_TRUE(std::is_sorted(firstSamples.begin(), firstSamples.end()));
  EXPECT_GT(Statistics(handle).droppedFrames, droppedBefore);
  Finish(handle, buffers);
}

TEST_F(WaveInTest, EveryFrameReadIsDeliveredOrCountedAsDropped) {
  Install({Counting("Scripted capture", 100)});
  const WAVEFORMATEX header = PcmFormat(2, 44100, 16);
  const HWAVEIN handle = Open(header);
  auto buffers = MakeBuffers(3, 4 * 250);
  ASSERT_EQ(waveInStart(handle), MMSYSERR_NOERROR);
  while (Statistics(handle).droppedFrames < 1000)
    std::this_thread::yield();
  for (auto& buffer : buffers)
    PrepareAndAdd(handle, *buffer);
  ASSERT_TRUE(recorder_.WaitForData(2));
  ASSERT_EQ(waveInReset(handle), MMSYSERR_NOERROR);

  // Stopped: the counts hold still now.
  const WaveInStatistics statistics = Statistics(handle);
  uint64_t delivered = 0;
  for (const auto& returned : recorder_.Returned())
    delivered += returned.bytesRecorded / 4;
  EXPECT_EQ(delivered + statistics.droppedFrames, backend_->FramesRead());
  EXPECT_EQ(statistics.overruns, 0u);
  Finish(handle, buffers);
}

TEST_F(WaveInTest, ResetReturnsBuffersInFlightAndNeverTouchesThemAgain) {
  ScriptedDeviceScript script = Counting("Scripted capture", 16);
  Install({script});
  const WAVEFORMATEX header = PcmFormat(2, 44100, 16);
  WaveInFormat format;
  ASSERT_TRUE(kestrune::ParseWaveFormat(header, format));

  for (int round = 0; round < 20; ++round) {
    SCOPED_TRACE(round);
    Recorder recorder;
    HWAVEIN handle{};
    ASSERT_EQ(waveInOpen(&handle, WAVE_MAPPER, &header, &Recorder::Callback, recorder.Instance(),
                         CALLBACK_FUNCTION),
              MMSYSERR_NOERROR);
    auto buffers = MakeBuffers(8, 4 * 4096);
    for (auto& buffer : buffers)
      PrepareAndAdd(handle, *buffer);
    EXPECT_EQ(waveInClose(handle), WAVERR_STILLPLAYING);
    ASSERT_EQ(waveInStart(handle), MMSYSERR_NOERROR);
    if (round % 2 == 1) {
      ASSERT_TRUE(recorder.WaitForData(1));
    }
    ASSERT_EQ(waveInReset(handle), MMSYSERR_NOERROR);

    // Everything came back before the reset returned, once, in order.
    const auto returned = recorder.Returned();
    ASSERT_EQ(returned.size(), buffers.size());
    bool partialSeen = false;
    for (size_t i = 0; i < returned.size(); ++i) {
      SCOPED_TRACE(i);
      EXPECT_EQ(returned[i].header, &buffers[i]->header);
      EXPECT_EQ(returned[i].flags & (WHDR_DONE | WHDR_INQUEUE), WHDR_DONE);
      const DWORD bytes = returned[i].bytesRecorded;
      if (bytes < buffers[i]->header.dwBufferLength) {
        // Only the buffer being filled holds a part; the rest hold nothing.
        EXPECT_TRUE(!partialSeen || bytes == 0);
        partialSeen = true;
      } else {
        EXPECT_FALSE(partialSeen) << "a full buffer after a partial one";
      }
      EXPECT_EQ(bytes % format.BytesPerFrame(), 0u);
      const uint32_t first = wavein_test::RawSample(format, buffers[i]->data.data(), 0);
      EXPECT_TRUE(HoldsCountingSignal(format, buffers[i]->data.data(), bytes, first / 2));
    }

    // The device may run again with no buffers: ours stay untouched.
    for (auto& buffer : buffers)
      std::fill(buffer->data.begin(), buffer->data.end(), '\x7E');
    ASSERT_EQ(waveInStart(handle), MMSYSERR_NOERROR);
    while (Statistics(handle).droppedFrames < 2000)
      std::this_thread::yield();
    Finish(handle, buffers);
    for (auto& buffer : buffers)
      EXPECT_TRUE(std::all_of(buffer->data.begin(), buffer->data.end(),
                              [](char c) { return c == '\x7E'; }));
    EXPECT_EQ(recorder.DataCount(), buffers.size());
  }
}

TEST_F(WaveInTest, OverrunsAreRecoveredAndCounted) {
  ScriptedDeviceScript script = Counting("Scripted capture", 100);
  script.overrunsAt = {1000, 2500};
  Install({script});
  const WAVEFORMATEX header = PcmFormat(1, 8000, 32);
  WaveInFormat format;
  ASSERT_TRUE(kestrune::ParseWaveFormat(header, format));
  const HWAVEIN handle = Open(header);
  auto buffers = MakeBuffers(1, 4 * 4000);
  PrepareAndAdd(handle, *buffers[0]);
  ASSERT_EQ(waveInStart(handle), MMSYSERR_NOERROR);
  ASSERT_TRUE(recorder_.WaitForData(1));
  EXPECT_EQ(Statistics(handle).overruns, 2u);

  // The buffer holds 0..999, then 1100..2499 (100 frames lost), then
  // 2600.. (another read's worth lost).
  const char* data = buffers[0]->data.data();
  EXPECT_TRUE(HoldsCountingSignal(format, data, 4 * 1000, 0));
  EXPECT_TRUE(HoldsCountingSignal(format, data + 4 * 1000, 4 * 1400, 1100));
  EXPECT_TRUE(HoldsCountingSignal(format, data + 4 * 2400, 4 * 1600, 2600));
  Finish(handle, buffers);
}

// A device that disappears and does not come back: it keeps its queued
// buffers, the reset returns them without the input the third held when the
// stream failed, and a start after the reset tries the device once more.
TEST_F(WaveInTest, LostDeviceThatStaysAwayKeepsItsBuffersUntilTheReset) {
  ScriptedDeviceScript vanishing = Counting("Vanishing", 50);
  vanishing.endAfterFrames = 2 * 300 + 120;
  vanishing.disappearAtEnd = true;
  vanishing.openResults = {MMSYSERR_NOERROR};
  vanishing.openResult = MMSYSERR_NODRIVER;  // every reopen is refused
  Install({vanishing, Counting("Other")});
  ASSERT_EQ(waveInGetNumDevs(), 2u);
  const WAVEFORMATEX header = PcmFormat(2, 11025, 16);
  const HWAVEIN handle = Open(header, 0);
  auto buffers = MakeBuffers(4, 4 * 300);
  for (auto& buffer : buffers)
    PrepareAndAdd(handle, *buffer);
  ASSERT_EQ(waveInStart(handle), MMSYSERR_NOERROR);
  ASSERT_TRUE(recorder_.WaitForData(2));
  while (!Statistics(handle).deviceLost)
    std::this_thread::yield();
  EXPECT_EQ(recorder_.DataCount(), 2u);
  EXPECT_EQ(Statistics(handle).losses, 1u);
  EXPECT_EQ(backend_->OpenStreams(), 0) << "the failed stream is closed";
  EXPECT_EQ(waveInStart(handle), MMSYSERR_NODRIVER);

  // The rest comes back with the reset, all empty: the 120 frames of the
  // third are not handed back.
  ASSERT_EQ(waveInReset(handle), MMSYSERR_NOERROR);
  const auto returned = recorder_.Returned();
  ASSERT_EQ(returned.size(), 4u);
  EXPECT_EQ(returned[2].bytesRecorded, 0u);
  EXPECT_EQ(returned[3].bytesRecorded, 0u);
  const int attempts = backend_->OpenAttempts();
  EXPECT_EQ(waveInStart(handle), MMSYSERR_NODRIVER);
  EXPECT_EQ(backend_->OpenAttempts(), attempts + 1);
  EXPECT_EQ(Statistics(handle).reopens, 0u);
  Finish(handle, buffers);

  // Another device opens and runs.
  Recorder other;
  HWAVEIN second{};
  ASSERT_EQ(
      waveInOpen(&second, 1, &header, &Recorder::Callback, other.Instance(), CALLBACK_FUNCTION),
      MMSYSERR_NOERROR);
  auto more = MakeBuffers(1, 4 * 300);
  PrepareAndAdd(second, *more[0]);
  ASSERT_EQ(waveInStart(second), MMSYSERR_NOERROR);
  EXPECT_TRUE(other.WaitForData(1));
  Finish(second, more);
}

TEST_F(WaveInTest, DeadHandlesAnswerInvalHandleAndAreNeverReused) {
  Install({Counting()});
  const WAVEFORMATEX format = PcmFormat(2, 11025, 16);
  std::set<uint64_t> handles;
  HWAVEIN closed{};
  for (int i = 0; i < 10; ++i) {
    HWAVEIN handle{};
    ASSERT_EQ(waveInOpen(&handle, WAVE_MAPPER, &format, nullptr, 0, CALLBACK_NULL),
              MMSYSERR_NOERROR);
    EXPECT_TRUE(handles.insert(static_cast<uint64_t>(handle)).second);
    ASSERT_EQ(waveInClose(handle), MMSYSERR_NOERROR);
    closed = handle;
  }

  TestBuffer buffer(64);
  WaveInStatistics statistics;
  statistics.overruns = 77;
  for (HWAVEIN dead : {HWAVEIN{}, closed, HWAVEIN{0xFFFFFFFFFFFFull}}) {
    SCOPED_TRACE(static_cast<uint64_t>(dead));
    EXPECT_EQ(waveInClose(dead), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(waveInPrepareHeader(dead, &buffer.header, kHeaderSize), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(waveInAddBuffer(dead, &buffer.header, kHeaderSize), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(waveInUnprepareHeader(dead, &buffer.header, kHeaderSize), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(waveInStart(dead), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(waveInReset(dead), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(kestrune::GetWaveInStatistics(dead, statistics), MMSYSERR_INVALHANDLE);
  }
  EXPECT_EQ(statistics.overruns, 77u);
  EXPECT_EQ(buffer.header.dwFlags, 0u);
}

TEST_F(WaveInTest, HeaderMisuseIsRefusedAndChangesNothing) {
  Install({Counting(), Counting("Second")});
  ASSERT_EQ(waveInGetNumDevs(), 2u);
  const WAVEFORMATEX format = PcmFormat(2, 11025, 16);
  const HWAVEIN first = Open(format, 0);
  const HWAVEIN second = Open(format, 1);

  TestBuffer buffer(4 * 100);
  TestBuffer tiny(3);  // less than one frame
  EXPECT_EQ(waveInAddBuffer(first, &buffer.header, kHeaderSize), WAVERR_UNPREPARED);
  EXPECT_EQ(waveInPrepareHeader(first, &tiny.header, kHeaderSize), MMSYSERR_INVALPARAM);
  EXPECT_EQ(waveInPrepareHeader(first, nullptr, kHeaderSize), MMSYSERR_INVALPARAM);
  EXPECT_EQ(waveInPrepareHeader(first, &buffer.header, kHeaderSize - 1), MMSYSERR_INVALPARAM);

  ASSERT_EQ(waveInPrepareHeader(first, &buffer.header, kHeaderSize), MMSYSERR_NOERROR);
  EXPECT_EQ(waveInAddBuffer(second, &buffer.header, kHeaderSize), WAVERR_UNPREPARED)
      << "prepared for another device";
  EXPECT_EQ(waveInUnprepareHeader(second, &buffer.header, kHeaderSize), WAVERR_UNPREPARED);
  ASSERT_EQ(waveInAddBuffer(first, &buffer.header, kHeaderSize), MMSYSERR_NOERROR);
  EXPECT_EQ(buffer.header.dwFlags, WHDR_PREPARED | WHDR_INQUEUE);
  EXPECT_EQ(waveInAddBuffer(first, &buffer.header, kHeaderSize), WAVERR_STILLPLAYING);
  EXPECT_EQ(waveInUnprepareHeader(first, &buffer.header, kHeaderSize), WAVERR_STILLPLAYING);
  EXPECT_EQ(waveInPrepareHeader(first, &buffer.header, kHeaderSize), WAVERR_STILLPLAYING);
  EXPECT_EQ(waveInClose(first), WAVERR_STILLPLAYING);

  // Not started: the reset returns it empty.
  ASSERT_EQ(waveInReset(first), MMSYSERR_NOERROR);
  ASSERT_EQ(recorder_.DataCount(), 1u);
  EXPECT_EQ(recorder_.Returned()[0].bytesRecorded, 0u);
  EXPECT_EQ(buffer.header.dwFlags, WHDR_PREPARED | WHDR_DONE);
  EXPECT_EQ(waveInUnprepareHeader(first, &buffer.header, kHeaderSize), MMSYSERR_NOERROR);
  EXPECT_EQ(buffer.header.dwFlags, WHDR_DONE);
  EXPECT_EQ(waveInUnprepareHeader(first, &buffer.header, kHeaderSize), MMSYSERR_NOERROR);
  EXPECT_EQ(waveInClose(first), MMSYSERR_NOERROR);
  EXPECT_EQ(waveInClose(second), MMSYSERR_NOERROR);
}

// A header belongs to one device at a time: while it is queued on the first
// device, or prepared for it, the second refuses every header call, even when
// the program has made `reserved` name the second.
struct ForeignHeaderRow {
  const char* name;
  bool queuedOnFirst;  // else only prepared for it
  bool forgeReserved;  // the program writes the second handle into `reserved`
  MMRESULT prepare;    // the second device's answers
  MMRESULT add;
  MMRESULT unprepare;
};

const ForeignHeaderRow kForeignHeaderRows[] = {
    {"QueuedOnFirst", true, false, WAVERR_STILLPLAYING, WAVERR_STILLPLAYING, WAVERR_STILLPLAYING},
    {"QueuedOnFirstReservedForged", true, true, WAVERR_STILLPLAYING, WAVERR_STILLPLAYING,
     WAVERR_STILLPLAYING},
    {"PreparedForFirst", false, false, WAVERR_UNPREPARED, WAVERR_UNPREPARED, WAVERR_UNPREPARED},
};

void PrintTo(const ForeignHeaderRow& row, std::ostream* os) {
  *os << row.name;
}

class ForeignHeaderTest : public WaveInTest,
                          public ::testing::WithParamInterface<ForeignHeaderRow> {};

TEST_P(ForeignHeaderTest, IsRefusedByAnotherDevice) {
  const ForeignHeaderRow& row = GetParam();
  Install({Counting("First"), Counting("Second")});
  ASSERT_EQ(waveInGetNumDevs(), 2u);
  const WAVEFORMATEX format = PcmFormat(2, 11025, 16);
  const HWAVEIN first = Open(format, 0);
  Recorder secondRecorder;
  HWAVEIN second{};
  ASSERT_EQ(waveInOpen(&second, 1, &format, &Recorder::Callback, secondRecorder.Instance(),
                       CALLBACK_FUNCTION),
            MMSYSERR_NOERROR);

  TestBuffer buffer(4 * 100);
  ASSERT_EQ(waveInPrepareHeader(first, &buffer.header, kHeaderSize), MMSYSERR_NOERROR);
  if (row.queuedOnFirst) {
    ASSERT_EQ(waveInAddBuffer(first, &buffer.header, kHeaderSize), MMSYSERR_NOERROR);
  }
  if (row.forgeReserved)
    buffer.header.reserved = static_cast<DWORD_PTR>(second);
  const WAVEHDR before = buffer.header;

  EXPECT_EQ(waveInPrepareHeader(second, &buffer.header, kHeaderSize), row.prepare);
  EXPECT_EQ(waveInAddBuffer(second, &buffer.header, kHeaderSize), row.add);
  EXPECT_EQ(waveInUnprepareHeader(second, &buffer.header, kHeaderSize), row.unprepare);
  EXPECT_EQ(buffer.header.dwFlags, before.dwFlags);
  EXPECT_EQ(buffer.header.reserved, before.reserved);
  // The second device runs and resets with nothing of ours.
  ASSERT_EQ(waveInStart(second), MMSYSERR_NOERROR);
  ASSERT_EQ(waveInReset(second), MMSYSERR_NOERROR);
  EXPECT_EQ(secondRecorder.DataCount(), 0u);
  EXPECT_EQ(waveInClose(second), MMSYSERR_NOERROR);

  // The first device returns it once.
  ASSERT_EQ(waveInReset(first), MMSYSERR_NOERROR);
  EXPECT_EQ(recorder_.DataCount(), row.queuedOnFirst ? 1u : 0u);
  buffer.header.reserved = before.reserved;
  if (row.forgeReserved)
    buffer.header.reserved = static_cast<DWORD_PTR>(first);
  EXPECT_EQ(waveInUnprepareHeader(first, &buffer.header, kHeaderSize), MMSYSERR_NOERROR);
  EXPECT_EQ(waveInClose(first), MMSYSERR_NOERROR);
}

INSTANTIATE_TEST_SUITE_P(Rows, ForeignHeaderTest, ::testing::ValuesIn(kForeignHeaderRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(WaveInTest, HeaderOfAClosedDeviceMayBePreparedForAnother) {
  Install({Counting("First"), Counting("Second")});
  ASSERT_EQ(waveInGetNumDevs(), 2u);
  const WAVEFORMATEX format = PcmFormat(2, 11025, 16);
  HWAVEIN first{};
  ASSERT_EQ(waveInOpen(&first, 0, &format, nullptr, 0, CALLBACK_NULL), MMSYSERR_NOERROR);
  TestBuffer buffer(4 * 100);
  ASSERT_EQ(waveInPrepareHeader(first, &buffer.header, kHeaderSize), MMSYSERR_NOERROR);
  ASSERT_EQ(waveInClose(first), MMSYSERR_NOERROR);

  const HWAVEIN second = Open(format, 1);
  PrepareAndAdd(second, buffer);
  ASSERT_EQ(waveInStart(second), MMSYSERR_NOERROR);
  ASSERT_TRUE(recorder_.WaitForData(1));
  EXPECT_EQ(recorder_.Returned()[0].bytesRecorded, 4u * 100);
  EXPECT_EQ(waveInReset(second), MMSYSERR_NOERROR);
  EXPECT_EQ(waveInUnprepareHeader(second, &buffer.header, kHeaderSize), MMSYSERR_NOERROR);
  EXPECT_EQ(waveInClose(second), MMSYSERR_NOERROR);
}

// The program changes a queued header while the buffer is partly filled (from
// inside the device's read, so the moment is known): the layer goes on
// filling the area it accepted and returns the buffer full, writing nothing
// past it nor into the new area.
struct ChangedHeaderRow {
  const char* name;
  void (*change)(WAVEHDR& header, char* elsewhere);
};

constexpr DWORD kAcceptedBytes = 4 * 1000;  // 32-bit mono: 1000 frames
constexpr size_t kGuardBytes = 4 * 1000;
constexpr char kGuard = '\x5A';

const ChangedHeaderRow kChangedHeaderRows[] = {
    {"ShrunkBelowTheFill", [](WAVEHDR& h, char*) { h.dwBufferLength = 4; }},
    {"ShrunkToZero", [](WAVEHDR& h, char*) { h.dwBufferLength = 0; }},
    {"Grown", [](WAVEHDR& h, char*) { h.dwBufferLength = kAcceptedBytes + kGuardBytes; }},
    {"DataMoved", [](WAVEHDR& h, char* elsewhere) { h.lpData = elsewhere; }},
    {"DataMovedAndShrunk",
     [](WAVEHDR& h, char* elsewhere) {
       h.lpData = elsewhere;
       h.dwBufferLength = 4;
     }},
};

void PrintTo(const ChangedHeaderRow& row, std::ostream* os) {
  *os << row.name;
}

class ChangedHeaderTest : public WaveInTest,
                          public ::testing::WithParamInterface<ChangedHeaderRow> {};

TEST_P(ChangedHeaderTest, BufferIsFilledWhereItWasAccepted) {
  const ChangedHeaderRow& row = GetParam();
  // The accepted area, then guard bytes in the same block.
  std::vector<char> storage(kAcceptedBytes + kGuardBytes, kGuard);
  std::vector<char> elsewhere(kAcceptedBytes + kGuardBytes, kGuard);
  WAVEHDR header{};
  header.lpData = storage.data();
  header.dwBufferLength = kAcceptedBytes;

  ScriptedDeviceScript script = Counting("Scripted capture", 100);
  const kestrune::ScriptedSignal counting = kestrune::CountingSignal();
  script.signal = [&, counting](const WaveInFormat& format, uint64_t firstFrame, uint32_t frames,
                                uint8_t* dest) {
    counting(format, firstFrame, frames, dest);
    if (firstFrame == 300)
      row.change(header, elsewhere.data());
  };
  Install({script});
  const WAVEFORMATEX wave = PcmFormat(1, 44100, 32);
  WaveInFormat format;
  ASSERT_TRUE(kestrune::ParseWaveFormat(wave, format));
  const HWAVEIN handle = Open(wave);
  ASSERT_EQ(waveInPrepareHeader(handle, &header, kHeaderSize), MMSYSERR_NOERROR);
  ASSERT_EQ(waveInAddBuffer(handle, &header, kHeaderSize), MMSYSERR_NOERROR);
  ASSERT_EQ(waveInStart(handle), MMSYSERR_NOERROR);
  ASSERT_TRUE(recorder_.WaitForData(1));
  ASSERT_EQ(waveInReset(handle), MMSYSERR_NOERROR);

  EXPECT_EQ(recorder_.DataCount(), 1u);
  EXPECT_EQ(recorder_.Returned()[0].header, &header);
  EXPECT_EQ(recorder_.Returned()[0].bytesRecorded, kAcceptedBytes);
  EXPECT_TRUE(HoldsCountingSignal(format, storage.data(), kAcceptedBytes, 0));
  EXPECT_TRUE(std::all_of(storage.begin() + kAcceptedBytes, storage.end(), [](char c) {
    return c == kGuard;
  })) << "written past the accepted length";
  EXPECT_TRUE(std::all_of(elsewhere.begin(), elsewhere.end(), [](char c) { return c == kGuard; }))
      << "written into the new area";
  EXPECT_EQ(waveInUnprepareHeader(handle, &header, kHeaderSize), MMSYSERR_NOERROR);
  EXPECT_EQ(waveInClose(handle), MMSYSERR_NOERROR);
}

INSTANTIATE_TEST_SUITE_P(Rows, ChangedHeaderTest, ::testing::ValuesIn(kChangedHeaderRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(WaveInTest, CallbackMayQueueAndResetButNotClose) {
  Install({Counting()});
  const WAVEFORMATEX format = PcmFormat(2, 11025, 16);
  const HWAVEIN handle = Open(format);
  auto buffers = MakeBuffers(2, 4 * 200);
  std::atomic<int> calls{0};
  MMRESULT closeResult = MMSYSERR_NOERROR;
  MMRESULT resetResult = MMSYSERR_ERROR;
  recorder_.onData = [&](WAVEHDR* header) {
    const int call = ++calls;
    if (call < 6) {
      // Hand the buffer straight back.
      EXPECT_EQ(waveInAddBuffer(handle, header, kHeaderSize), MMSYSERR_NOERROR);
    } else if (call == 6) {
      closeResult = waveInClose(handle);
      // The other buffer comes back from inside this reset.
      resetResult = waveInReset(handle);
    }
  };
  for (auto& buffer : buffers)
    PrepareAndAdd(handle, *buffer);
  ASSERT_EQ(waveInStart(handle), MMSYSERR_NOERROR);
  ASSERT_TRUE(recorder_.WaitForData(7));
  // Our own reset waits for the reading thread, so the callback has finished
  // when it returns; it finds nothing more to return.
  Finish(handle, buffers);
  EXPECT_EQ(closeResult, MMSYSERR_HANDLEBUSY);
  EXPECT_EQ(resetResult, MMSYSERR_NOERROR);
  EXPECT_EQ(recorder_.DataCount(), 7u);
}

}  // namespace
