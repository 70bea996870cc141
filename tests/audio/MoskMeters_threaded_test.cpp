// The meter and the filters fed from a capture thread of their own while the
// main thread serves the notifier and changes their settings: every level
// reaches OnValueChange on the main thread, the pushing thread never waits
// for the main loop, and nothing races (this file also runs under
// ThreadSanitizer).
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <thread>
#include <vector>

#include "audio/MoskFilters.h"
#include "audio/MoskMeters.h"
#include "platform/classes/MainLoop.h"
#include "tests/audio/AudioPushFixtures.h"

namespace {

using namespace audiotest;

constexpr std::uint32_t kRate = 44100;

class TMainThreadCheck {
 public:
  void OnValue(TObject*, std::int32_t, double value, double) {
    ++calls;
    if (!kestrune::MainLoop::Current()->IsMainThread())
      ++offMainThread;
    last = value;
    peak = std::max(peak, value);
  }
  double peak = 0.0;
  int calls = 0;
  int offMainThread = 0;
  double last = 0.0;
};

class MoskMeterThreadTest : public AudioPushTest {
 public:
  void SetUp() override {
    AudioPushTest::SetUp();
    TrelMainThreadNotifyUnit.Initialize();
  }
  kestrune::MainLoop loop_;
};

TEST_F(MoskMeterThreadTest, CaptureThreadPushesWhileTheMainThreadDeliversAndChangesSettings) {
  auto* dc = Create<TMoskRemoveDC>(form_);
  auto* amp = Create<TMoskAmplifier>(form_);
  auto* meter = Create<TMoskPPMMeter>(form_);
  TMainThreadCheck check;
  meter->SetOnValueChange(TMoskMeterValueChangeEvent(&check, &TMainThreadCheck::OnValue));
  meter->SetPeriod(10);
  ASSERT_TRUE(dc->GetInputPin()->Connect(source_));
  ASSERT_TRUE(amp->GetInputPin()->Connect(dc->GetOutputPin()));
  ASSERT_TRUE(meter->GetInputPin()->Connect(amp->GetOutputPin()));

  std::atomic<bool> done{false};
  std::thread capture([&] {
    const WAVEFORMATEXTENSIBLE format = PcmFormat(2, 16, kRate);
    std::int64_t first = 0;
    for (int round = 0; round < 20; ++round) {
      IPtr<IVekNotifyOperation> start =
          NewOperation<TVekStartWaveOperation>(&format, static_cast<float>(kRate));
      source_->Notify(start.get());
      for (int i = 0; i < 20; ++i) {
        IPtr<IMoskAudioBuffer> b = Signal(2, 16, kRate, 512, first, [](std::int64_t n, int c) {
          return static_cast<std::int32_t>(
              2000 + (c + 1) * 5000 * std::sin(2.0 * std::numbers::pi * 440.0 * n / kRate));
        });
        first += 512;
        source_->SendData(b.get());
      }
    }
    done = true;
  });
  int turn = 0;
  while (!done) {
    loop_.ProcessMessages();
    ++turn;
    amp->SetCoefficient(turn % 2 == 0 ? 1.0 : 0.5);
    dc->SetEnabled(turn % 3 != 0);
    meter->SetHalfLife(turn % 2 == 0 ? 0 : 300);
    meter->SetSynchronizeType(turn % 2 == 0 ? stQueue : stSingleBuffer);
    std::this_thread::yield();
  }
  capture.join();
  loop_.ProcessMessages();
  EXPECT_GT(check.calls, 0);
  EXPECT_EQ(check.offMainThread, 0);
  EXPECT_TRUE(std::isfinite(check.last));
}

// Period and CountChannels change on the main thread while long buffers
// flow: each buffer holds several periods, so a buffer measured between a
// Period's store and the blocks' resize would overrun them (AddressSanitizer
// reports it); levels stay within the signal's range throughout.
TEST_F(MoskMeterThreadTest, PeriodAndChannelCountChangeWhileBuffersFlow) {
  auto* meter = Create<TMoskPPMMeter>(form_);
  TMainThreadCheck check;
  meter->SetOnValueChange(TMoskMeterValueChangeEvent(&check, &TMainThreadCheck::OnValue));
  meter->SetSynchronizeType(stQueue);
  meter->SetHalfLife(0);
  ASSERT_TRUE(meter->GetInputPin()->Connect(source_));

  constexpr double kAmplitude = 12000.0;
  std::int64_t first = 0;
  auto SendLong = [&] {
    // 1.1 s of audio: at least one whole period at either Period.
    constexpr std::int32_t kLong = 48510;
    IPtr<IMoskAudioBuffer> b = Signal(2, 16, kRate, kLong, first, [](std::int64_t n, int c) {
      return static_cast<std::int32_t>((c + 1) * kAmplitude / 2 *
                                       std::sin(2.0 * std::numbers::pi * 440.0 * n / kRate));
    });
    first += kLong;
    source_->SendData(b.get());
  };
  std::atomic<bool> done{false};
  std::thread capture([&] {
    const WAVEFORMATEXTENSIBLE format = PcmFormat(2, 16, kRate);
    IPtr<IVekNotifyOperation> start =
        NewOperation<TVekStartWaveOperation>(&format, static_cast<float>(kRate));
    source_->Notify(start.get());
    for (int i = 0; i < 300; ++i)
      SendLong();
    done = true;
  });
  int turn = 0;
  while (!done) {
    ++turn;
    meter->SetPeriod(turn % 2 == 0 ? 1000 : 100);
    meter->SetCountChannels(1 + turn % 3);
    loop_.ProcessMessages();
    std::this_thread::yield();
  }
  capture.join();
  // A change of CountChannels drops the levels still queued, so under load
  // every level measured during the storm may be dropped: one more buffer
  // once the settings rest must reach OnValueChange.
  SendLong();
  loop_.ProcessMessages();
  EXPECT_GT(check.calls, 0);
  EXPECT_EQ(check.offMainThread, 0);
  EXPECT_FALSE(meter->Refused());
  EXPECT_TRUE(std::isfinite(check.last));
  EXPECT_LE(check.peak, kAmplitude * 1.1) << "no level beyond the signal";
}

}  // namespace
