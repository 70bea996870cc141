// The spectrum component while a capture thread pushes: the main thread
// changes Normalization (which rebuilds the set-up at once), the window step
// and the event, relinks an output and serves the deliveries, and every
// spectrum and peak still comes out whole. Also run under ThreadSanitizer.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdint>
#include <memory>
#include <numbers>
#include <thread>
#include <vector>

#include "audio/MoskSpectrum.h"
#include "platform/classes/MainLoop.h"
#include "tests/audio/MoskSplitterTestSupport.h"

namespace {

using namespace splittertest;

class SpectrumThreadedTest : public SplitterTest {
 public:
  void SetUp() override {
    loop_ = std::make_unique<kestrune::MainLoop>();
    SplitterTest::SetUp();
    spectrum_ = Create<TMoskSpectrum>(form_);
    spectrum_->SetName("Spectrum");
    ASSERT_TRUE(spectrum_->GetInputPin()->Connect(source_));
  }
  void TearDown() override {
    SplitterTest::TearDown();
    loop_.reset();
  }
  void OnFrequency(TObject*, int channel, double frequency) {
    EXPECT_TRUE(loop_->IsMainThread());
    if (channel == 0)
      frequencies_.push_back(frequency);
  }

  std::unique_ptr<kestrune::MainLoop> loop_;
  TMoskSpectrum* spectrum_ = nullptr;
  std::vector<double> frequencies_;
};

TEST_F(SpectrumThreadedTest, SettingsChangeAndDeliveriesRunWhileTheCaptureThreadPushes) {
  ASSERT_TRUE(scope_->Channel(0)->Connect(spectrum_->GetOutputPins()->GetPin(0)));
  spectrum_->SetOnFrequencyResult(TMoskFrequencyEvent(this, &SpectrumThreadedTest::OnFrequency));

  // A sine on bin 20 of a 256-point window at 44100 Hz, both channels.
  std::vector<std::uint8_t> bytes;
  for (int i = 0; i < 1024; ++i) {
    const auto v = static_cast<std::int16_t>(
        std::lround(12000.0 * std::sin(2.0 * std::numbers::pi * 20.0 * i / 256.0)));
    for (int c = 0; c < 2; ++c) {
      bytes.push_back(static_cast<std::uint8_t>(static_cast<std::uint16_t>(v) & 0xFF));
      bytes.push_back(static_cast<std::uint8_t>(static_cast<std::uint16_t>(v) >> 8));
    }
  }
  IPtr<IMoskAudioBuffer> buffer = AudioBuffer(44100, 2, 16, 1024, bytes);
  StartWave(buffer.get());

  std::atomic<bool> done{false};
  std::thread capture([&] {
    for (int i = 0; i < 300; ++i)
      source_->SendData(buffer.get());
    done = true;
    loop_->WakeUp();
  });
  const TTrelFourierNormalization modes[] = {fnNone, fnNormalize, fnNormalizeSqrt};
  int round = 0;
  while (!done) {
    spectrum_->SetNormalization(modes[round % 3]);
    spectrum_->SetSamplingWindowStep(round % 2 == 0 ? 0u : 256u);
    if (round % 7 == 0) {
      scope_->Channel(1)->DisconnectAll();
      ASSERT_TRUE(scope_->Channel(1)->Connect(spectrum_->GetOutputPins()->GetPin(1)));
    }
    loop_->ProcessMessages();
    ++round;
  }
  capture.join();
  loop_->ProcessMessages();

  // 300 buffers of four windows each, on channel 0.
  ASSERT_EQ(scope_->Got[0].Buffers.size(), 1200u);
  for (const std::vector<double>& m : scope_->Got[0].Buffers) {
    ASSERT_EQ(m.size(), 128u);
    ASSERT_EQ(std::max_element(m.begin(), m.end()) - m.begin(), 20);
  }
  ASSERT_FALSE(frequencies_.empty());
  for (double f : frequencies_)
    ASSERT_EQ(f, 20 * 44100.0 / 256);
}

}  // namespace
