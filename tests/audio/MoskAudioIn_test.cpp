// The capture component over a scripted device: a known two-channel signal
// arrives as consecutive audio buffers in the stream order start-wave,
// buffer, resume, buffers, end stop; a device that fails to open keeps the
// component usable; devices are chosen by exact name, alternatives and the
// wave mapper; a block larger than the block store allows refuses the start;
// Enabled is stored by the constructor and acted on by Loaded.
#include "audio/MoskAudioIn.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <exception>
#include <string>
#include <vector>

#include "platform/classes/MainLoop.h"
#include "platform/classes/Streaming.h"
#include "tests/audio/MoskAudioInTestSupport.h"

namespace {

using namespace audiointest;

class MoskAudioIn : public AudioInTest {};

TEST_F(MoskAudioIn, AKnownTwoChannelSignalArrivesAsConsecutiveBuffers) {
  kestrune::ScriptedDeviceScript script;
  script.name = "Counting";
  script.signal = kestrune::CountingSignal();
  script.framesPerRead = 50;  // reads that do not line up with the blocks
  Install({script});
  constexpr uint32_t kFrames = 64;
  TMoskAudioIn* in = Make(kFrames);
  in->GetDevice()->SetDeviceName("Counting");
  in->GetAudioFormat()->SetSampleRate(44100);
  in->SetEnabled(false);
  in->SetEnabled(true);
  ASSERT_TRUE(in->GetEnabled());
  ASSERT_TRUE(in->GetEnablePin()->Value());

  ASSERT_TRUE(sink_.WaitForBuffers(100));
  in->SetEnabled(false);
  EXPECT_FALSE(in->GetEnabled());
  EXPECT_FALSE(in->GetEnablePin()->Value());
  EXPECT_EQ(in->OpenDevice(), HWAVEIN{});
  EXPECT_EQ(in->QueuedBlockCount(), 0u);
  EXPECT_EQ(backend_->OpenStreams(), 0);

  // Every buffer in the format asked for, its frames consecutive. The first
  // 40 blocks were queued before the device started and hold the signal
  // from its first frame on without a gap; the device is not paced, so later
  // blocks may follow a gap (input dropped while no block was queued), but
  // never go back.
  const std::vector<IPtr<IMoskAudioBuffer>> buffers = sink_.Buffers();
  int64_t next = 0;
  for (std::size_t k = 0; k < buffers.size(); ++k) {
    IMoskAudioBuffer* b = buffers[k].get();
    ASSERT_EQ(b->GetCount(), static_cast<int32_t>(kFrames)) << "buffer " << k;
    ASSERT_EQ(b->GetChannels(), 2u);
    ASSERT_EQ(b->GetBits(), 16u);
    ASSERT_EQ(b->GetSampleRate(), 44100u);
    int64_t frame = next;
    if (k >= static_cast<std::size_t>(TMoskAudioIn::CaptureBlockCount)) {
      // Find the block's first frame from its first sample (frames wrap at
      // 2^15), at or after the end of the previous block.
      const int64_t firstSample = static_cast<uint16_t>(b->GetSample(0, 0));
      while ((frame * 2) % 65536 != firstSample) {
        ++frame;
        ASSERT_LT(frame - next, 40000) << "buffer " << k << " is not a later part of the signal";
      }
    }
    for (uint32_t f = 0; f < kFrames; ++f, ++frame) {
      for (uint32_t c = 0; c < 2; ++c) {
        ASSERT_EQ(b->GetSample(f, c), static_cast<int16_t>(frame * 2 + c))
            << "buffer " << k << " frame " << f << " channel " << c;
      }
    }
    next = frame;
  }

  // The stream: the pump request, the start-wave with the format, the first
  // buffer, one resume, more buffers, and the end stop.
  const std::vector<std::string> log = sink_.Log();
  ASSERT_GE(log.size(), 5u);
  EXPECT_EQ(log[0], "TVekPumpRequestOperation");
  EXPECT_EQ(log[1], "TVekStartWaveOperation");
  EXPECT_EQ(log[2], "TVekSuppliedBufferOperation");
  EXPECT_EQ(log[3], "TVekTrelResumeOperation");
  EXPECT_EQ(log.back(), "TVekEndStopOperation");
  EXPECT_EQ(std::count(log.begin(), log.end(), "TVekTrelResumeOperation"), 1);
  const std::vector<WAVEFORMATEXTENSIBLE> formats = sink_.Formats();
  ASSERT_EQ(formats.size(), 1u);
  EXPECT_EQ(0, std::memcmp(&formats[0], in->GetAudioFormat()->GetWaveFormat(), 40));
}

TEST_F(MoskAudioIn, KeepsFortyBlocksWithTheDevice) {
  Install({ConstantDevice("Dev", 5)});
  TMoskAudioIn* in = Make(32);
  // Seen from inside every push: the pushed block has left the list, the
  // other 39 are with the device (or back and waiting to be pushed).
  std::vector<std::size_t> listed;
  sink_.onBuffer = [&](IMoskAudioBuffer*) { listed.push_back(in->QueuedBlockCount()); };
  in->SetEnabled(false);
  in->SetEnabled(true);
  ASSERT_TRUE(sink_.WaitForBuffers(200));
  in->SetEnabled(false);
  EXPECT_EQ(in->QueuedBlockCount(), 0u);
  ASSERT_GE(listed.size(), 200u);
  EXPECT_EQ(std::count(listed.begin(), listed.end(), 39u), static_cast<long>(listed.size()));
}

TEST_F(MoskAudioIn, ADeviceThatFailsToOpenKeepsEverythingRunning) {
  kestrune::ScriptedDeviceScript busy = ConstantDevice("Busy", 1);
  busy.openResult = MMSYSERR_ALLOCATED;
  Install({busy, ConstantDevice("Good", 2)});
  TMoskAudioIn* in = Make();
  in->GetDevice()->SetDeviceName("Busy");
  in->SetEnabled(false);
  in->SetEnabled(true);  // nothing reported, nothing delivered
  EXPECT_TRUE(in->GetEnabled());
  EXPECT_EQ(in->OpenDevice(), HWAVEIN{});
  EXPECT_EQ(in->QueuedBlockCount(), 0u);

  in->SetEnabled(false);
  EXPECT_EQ(sink_.BufferCount(), 0u);
  EXPECT_EQ(sink_.Log().back(), "TVekEndStopOperation");

  in->GetDevice()->SetDeviceName("Good");
  in->SetEnabled(true);
  ASSERT_TRUE(sink_.WaitForBuffers(3));
  EXPECT_EQ(sink_.Buffers()[0]->GetSample(0, 0), 2);
  in->SetEnabled(false);
  EXPECT_EQ(backend_->OpenStreams(), 0);
}

TEST_F(MoskAudioIn, ChoosesTheDeviceByExactNameThenAlternativesThenTheWaveMapper) {
  Install({ConstantDevice("Line In", 1), ConstantDevice("USB Mic", 2)},
          ConstantDevice("Mapper", 3));
  TMoskAudioIn* in = Make();
  in->SetEnabled(false);
  const struct {
    const char* name;
    std::string deviceName;
    std::vector<std::string> alternatives;
    int index;
    int16_t sample;  // which device delivered
  } rows[] = {
      {"exact name", "USB Mic", {}, 1, 2},
      {"first device", "Line In", {}, 0, 1},
      {"Default in any case", "dEfAuLt", {}, -1, 3},
      {"case differs: the mapper", "usb mic", {}, -1, 3},
      {"unknown name: the mapper", "Nothing", {}, -1, 3},
      {"unknown name, an alternative matches", "Nothing", {"Gone", "Line In"}, 0, 1},
      {"an alternative Default ends the search", "Nothing", {"DEFAULT", "Line In"}, -1, 3},
      {"the name wins over alternatives", "USB Mic", {"Line In"}, 1, 2},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    TMoskAudioCaptureDevice* device = in->GetDevice();
    device->SetDeviceName(row.deviceName);
    device->GetAlternativeDevices()->Clear();
    for (const std::string& alternative : row.alternatives) {
      static_cast<TMoskAudioCaptureDeviceItem*>(device->GetAlternativeDevices()->Add())
          ->SetDeviceName(alternative);
    }
    EXPECT_EQ(device->GetDeviceIndex(), row.index);
    sink_.Clear();
    in->SetEnabled(true);
    ASSERT_TRUE(sink_.WaitForBuffers(1));
    in->SetEnabled(false);
    EXPECT_EQ(sink_.Buffers()[0]->GetSample(0, 0), row.sample);
  }
}

TEST_F(MoskAudioIn, ANewAlternativeTakesTheLeastUsedDeviceName) {
  Install({ConstantDevice("A", 1), ConstantDevice("B", 2)});
  TMoskAudioIn* in = Make();
  TMoskAudioCaptureDeviceItems* items = in->GetDevice()->GetAlternativeDevices();
  std::vector<std::string> names;
  for (int i = 0; i < 3; ++i) {
    names.push_back(static_cast<TMoskAudioCaptureDeviceItem*>(items->Add())->GetDeviceName());
  }
  EXPECT_EQ(names, (std::vector<std::string>{"A", "B", "A"}));

  Install({});
  EXPECT_EQ(static_cast<TMoskAudioCaptureDeviceItem*>(items->Add())->GetDeviceName(), "Default");
}

TEST_F(MoskAudioIn, ABlockBeyondTheBlockStoreLimitRefusesToStart) {
  Install({ConstantDevice("Dev", 1)});
  TMoskAudioIn* in = Make();
  in->SetEnabled(false);
  // 2^28 stereo 16-bit frames: 1 GiB of samples plus the header.
  in->GetAudioFormat()->SetBufferSize(1u << 28);
  EXPECT_THROW(in->SetEnabled(true), EMoskAudioIn);
  EXPECT_FALSE(in->GetEnabled());
  EXPECT_FALSE(in->GetEnablePin()->Value());
  EXPECT_EQ(backend_->SuccessfulOpens(), 0);
  EXPECT_THROW(in->Start(), EMoskAudioIn);
  EXPECT_FALSE(in->GetEnabled());

  // The largest block that fits starts.
  in->GetAudioFormat()->SetBufferSize(((1u << 30) - 40) / 4 / 64);
  in->SetEnabled(true);
  EXPECT_TRUE(in->GetEnabled());
  EXPECT_EQ(backend_->SuccessfulOpens(), 1);
  in->SetEnabled(false);
}

TEST_F(MoskAudioIn, TheConstructorStoresEnabledAndLoadedStarts) {
  Install({ConstantDevice("Dev", 7)});
  TMoskAudioIn* in = Make();
  EXPECT_TRUE(in->GetEnabled());
  EXPECT_EQ(backend_->SuccessfulOpens(), 0);
  in->Start();  // already Enabled: nothing
  in->SetEnabled(true);
  EXPECT_EQ(backend_->SuccessfulOpens(), 0);

  in->Loaded();
  ASSERT_TRUE(sink_.WaitForBuffers(2));
  EXPECT_EQ(backend_->SuccessfulOpens(), 1);
  EXPECT_EQ(backend_->OpenStreams(), 1);
  // Destruction while running closes the device.
  FreeAndNil(form_);
  EXPECT_EQ(backend_->OpenStreams(), 0);
}

TEST_F(MoskAudioIn, ARefusedStartOfLoadedIsReportedThroughTheMainLoop) {
  kestrune::MainLoop loop;
  std::vector<std::string> reported;
  loop.SetExceptionHandler(
      [&](std::exception_ptr error) { reported.push_back(kestrune::ExceptionText(error)); });
  Install({ConstantDevice("Dev", 1)});
  TMoskAudioIn* in = Make();
  in->GetAudioFormat()->SetBufferSize(1u << 29);
  in->Loaded();  // does not raise
  EXPECT_FALSE(in->GetEnabled());
  loop.ProcessMessages();
  ASSERT_EQ(reported.size(), 1u);
  EXPECT_NE(reported[0].find("BufferSize"), std::string::npos) << reported[0];
  EXPECT_EQ(backend_->SuccessfulOpens(), 0);
}

TEST_F(MoskAudioIn, PublishedPropertiesRoundTripThroughAStoredDescription) {
  Install({});
  TMoskAudioIn* in = Make();
  sink_pin_->DisconnectAll();  // the test's sink is outside the form
  in->SetEnabled(false);
  in->SetPumpPriority(3);
  in->GetDevice()->SetDeviceName("USB Mic");
  static_cast<TMoskAudioCaptureDeviceItem*>(in->GetDevice()->GetAlternativeDevices()->Add())
      ->SetDeviceName("Line In");
  in->GetAudioFormat()->SetSampleRate(44100);
  in->GetAudioFormat()->SetBufferSize(512);
  const std::string text = WriteComponentToText(form_);
  for (const char* expected : {"Enabled = False", "PumpPriority = 3",
                               "Device.DeviceName = \"USB Mic\"", "DeviceName = \"Line In\"",
                               "AudioFormat.SampleRate = 44100", "AudioFormat.BufferSize = 512"}) {
    EXPECT_NE(text.find(expected), std::string::npos) << expected << "\n" << text;
  }
  // Read into a fresh form, the same description comes back.
  auto* copy = Create<vektest::TTestForm>(nullptr);
  ReadComponentFromText(copy, text);
  EXPECT_EQ(WriteComponentToText(copy), text);
  copy->Free();
}

}  // namespace
