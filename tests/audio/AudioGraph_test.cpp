// The main window's processing graph, built on a form by the shared fixture
// and fed by the scripted two-tone capture device: MoskAudioIn1 ->
// MoskAudioIn1PPM, and MoskAudioIn1 -> MoskRemoveDC1 -> MoskAmplifier1 ->
// MoskSpectrum1 and MoskAudioToReal1, whose outputs go to two real sinks
// standing in for the scope's channels. Checked end to end: the converter's
// channels carry the DC-blocked samples, the meter's levels reach
// OnValueChange on the main thread, and after a mode switch the spectrum
// component's outputs peak in the bins of the two tones.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <mutex>
#include <numbers>
#include <vector>

#include "audio/MoskChannelSplitter.h"
#include "audio/MoskFilters.h"
#include "audio/MoskMeters.h"
#include "audio/MoskSpectrum.h"
#include "platform/classes/MainLoop.h"
#include "tests/audio/MoskAudioInTestSupport.h"
#include "tests/fixtures/MainWindowGraph.h"
#include "tests/fixtures/TwoTones.h"

namespace {

using audiointest::Eventually;

constexpr std::uint32_t kRate = 44100;
constexpr std::uint32_t kFrames = 1024;
constexpr std::uint64_t kTotalFrames = 64 * kFrames;  // about 1.5 s
// The spectrum component's default window: N = 2^8 samples, N/2 bins.
constexpr int kWindow = 256;
// The tones sit on bin centres, so every window holds whole cycles.
constexpr int kBin[2] = {6, 20};
constexpr double kAmplitude[2] = {8000.0, 6000.0};
constexpr double kOffset[2] = {0.0, 2000.0};
// The DC blocker's time constant is about 350 samples at 44.1 kHz.
constexpr std::size_t kSettled = 8192;

const fixtures::TwoTones kTones{
    {kBin[0], kBin[1]}, kWindow, {kAmplitude[0], kAmplitude[1]}, {kOffset[0], kOffset[1]}};

// The scope's two input channels: real-buffer sinks that keep every buffer
// they receive, from the capture thread, under a mutex.
class TScopeInputs : public TComponent {
  KESTRUNE_CLASS(TScopeInputs, TComponent)
  explicit TScopeInputs(TComponent* owner) : TComponent(owner) {
    for (auto*& pin : pins_)
      pin = Create<TTrelVekRealSinkPin>(this, TVekNotifyHandler(this, &TScopeInputs::Receive));
  }
  ~TScopeInputs() override {
    for (auto*& pin : pins_)
      FreeAndNil(pin);
  }
  TTrelVekRealSinkPin* Channel(int c) const { return pins_[c]; }

  std::vector<std::vector<double>> Buffers(int c) {
    std::lock_guard lock(mutex_);
    return buffers_[c];
  }
  std::vector<double> Samples(int c) {
    std::lock_guard lock(mutex_);
    std::vector<double> all;
    for (const auto& b : buffers_[c])
      all.insert(all.end(), b.begin(), b.end());
    return all;
  }
  std::vector<double> StartRates(int c) {
    std::lock_guard lock(mutex_);
    return start_rates_[c];
  }
  void Clear() {
    std::lock_guard lock(mutex_);
    for (int c = 0; c < 2; ++c) {
      buffers_[c].clear();
      start_rates_[c].clear();
    }
  }

 private:
  bool Receive(IVekBasicPin* target, const TGUID&, std::uint8_t, IVekNotifyOperation* op) {
    const int c = target->GetPin() == pins_[0] ? 0 : 1;
    std::lock_guard lock(mutex_);
    if (auto* supplied = OperationAs<TVekSuppliedBufferOperation>(op)) {
      IPtr<ITrelRealBuffer> real = Supports<ITrelRealBuffer>(supplied->Buffer);
      if (real)
        buffers_[c].emplace_back(real->GetData(), real->GetData() + real->GetCount());
    } else if (auto* start = OperationAs<TVekStartSampleRateOperation>(op)) {
      start_rates_[c].push_back(start->SampleRate);
    }
    return true;
  }

  TTrelVekRealSinkPin* pins_[2] = {};
  std::mutex mutex_;
  std::vector<std::vector<double>> buffers_[2];
  std::vector<double> start_rates_[2];
};

struct Reading {
  std::int32_t channel;
  double value;
  double max;
  bool onMainThread;
};

class AudioGraphTest : public ::testing::Test {
 public:
  void SetUp() override {
    audiointest::StartUnits();
    TrelMainThreadNotifyUnit.Initialize();
    loop_.SetExceptionHandler(
        [this](std::exception_ptr e) { errors_.push_back(kestrune::ExceptionText(e)); });
    backend_ = std::make_shared<kestrune::ScriptedWaveInBackend>(
        std::vector<kestrune::ScriptedDeviceScript>{
            fixtures::TwoTonesDevice(kTones, {.endAfterFrames = kTotalFrames})});
    kestrune::SetWaveInBackend(backend_);

    form_ = Create<vektest::TTestForm>(nullptr);
    form_->SetName("fmMain");
    audio_in_ = fixtures::MakeMainWindowCapture(form_, "Two tones", kRate, kFrames);
    graph_ = fixtures::BuildMainWindowGraph(form_, audio_in_->GetOutputPin());
    ASSERT_TRUE(graph_.linked);
    graph_.ppm->SetOnValueChange(TMoskMeterValueChangeEvent(this, &AudioGraphTest::OnValue));
    scope_ = Create<TScopeInputs>(form_);
    scope_->SetName("TrelScope1");
  }
  void TearDown() override {
    FreeAndNil(form_);  // the capture component stops its device and thread
    loop_.ProcessMessages();
    EXPECT_EQ(backend_->OpenStreams(), 0);
    kestrune::SetWaveInBackend(nullptr);
  }

  void LinkScopeTo(TVekPinList* outputs) {
    for (int c = 0; c < 2; ++c) {
      scope_->Channel(c)->DisconnectAll();
      ASSERT_TRUE(scope_->Channel(c)->Connect(outputs->GetPin(c)));
    }
  }
  // Starts capture, serves the main loop until both scope channels hold
  // `samples` values, then stops capture and delivers what is still queued.
  bool Run(std::size_t samples) {
    audio_in_->SetEnabled(false);
    audio_in_->SetEnabled(true);
    const bool arrived = Eventually([&] {
      loop_.ProcessMessages();
      return scope_->Samples(0).size() >= samples && scope_->Samples(1).size() >= samples;
    });
    audio_in_->SetEnabled(false);
    loop_.ProcessMessages();
    if (!arrived)
      ADD_FAILURE() << "got " << scope_->Samples(0).size() << " and " << scope_->Samples(1).size()
                    << " samples of " << samples << "; the device read " << backend_->FramesRead()
                    << " frames";
    return arrived;
  }
  void OnValue(TObject*, std::int32_t channel, double value, double max) {
    readings_.push_back({channel, value, max, kestrune::MainLoop::Current()->IsMainThread()});
  }

  kestrune::MainLoop loop_;
  std::vector<std::string> errors_;
  std::vector<Reading> readings_;
  std::shared_ptr<kestrune::ScriptedWaveInBackend> backend_;
  vektest::TTestForm* form_ = nullptr;
  TMoskAudioIn* audio_in_ = nullptr;
  fixtures::MainWindowGraph graph_;
  TScopeInputs* scope_ = nullptr;
};

// What the DC blocker makes of channel c: y[n] = x[n-1] - x[n-2] + R y[n-1],
// R = 1 - 40 pi / rate, from a zero state.
std::vector<double> DcBlocked(int c, std::size_t count) {
  const double r = 1.0 - 40.0 * std::numbers::pi / kRate;
  std::vector<double> y(count, 0.0);
  double x1 = 0.0, x2 = 0.0, y1 = 0.0;
  for (std::size_t n = 0; n < count; ++n) {
    y[n] = x1 - x2 + r * y1;
    x2 = x1;
    x1 = kTones.Sample(n, c);
    y1 = y[n];
  }
  return y;
}

TEST_F(AudioGraphTest, OscilloscopeModeCarriesTheChannelsWithoutDcAndMetersOnTheMainThread) {
  LinkScopeTo(graph_.toReal->GetOutputPins());
  ASSERT_TRUE(Run(kTotalFrames));
  EXPECT_TRUE(errors_.empty()) << errors_.front();

  for (int c = 0; c < 2; ++c) {
    SCOPED_TRACE("channel " + std::to_string(c));
    EXPECT_EQ(scope_->StartRates(c), std::vector<double>{static_cast<double>(kRate)});
    const std::vector<double> got = scope_->Samples(c);
    ASSERT_EQ(got.size(), kTotalFrames);  // every frame, none lost or doubled
    const std::vector<double> want = DcBlocked(c, got.size());
    double worst = 0.0, sum = 0.0, peak = 0.0;
    for (std::size_t n = kSettled; n < got.size(); ++n) {
      worst = std::max(worst, std::abs(got[n] - want[n]));
      sum += got[n];
      peak = std::max(peak, std::abs(got[n]));
    }
    EXPECT_LE(worst, 3.0);  // sample for sample, up to rounding
    const double mean = sum / static_cast<double>(got.size() - kSettled);
    EXPECT_NEAR(mean, 0.0, 20.0);  // the offset of 2000 on channel 1 is gone
    EXPECT_NEAR(peak, kAmplitude[c], 0.02 * kAmplitude[c]);
  }

  // The meter's levels: on the main thread, full scale 32767, settling on
  // the tone's amplitude (the meter blocks DC itself).
  ASSERT_FALSE(readings_.empty());
  for (int c = 0; c < 2; ++c) {
    SCOPED_TRACE("meter channel " + std::to_string(c));
    std::vector<Reading> mine;
    std::copy_if(readings_.begin(), readings_.end(), std::back_inserter(mine),
                 [c](const Reading& r) { return r.channel == c; });
    ASSERT_GE(mine.size(), 3u);
    for (const Reading& r : mine) {
      EXPECT_TRUE(r.onMainThread);
      EXPECT_EQ(r.max, 32767.0);
    }
    EXPECT_NEAR(mine.back().value, kAmplitude[c], 0.03 * kAmplitude[c]);
  }
  EXPECT_EQ(std::count_if(readings_.begin(), readings_.end(),
                          [](const Reading& r) { return r.channel > 1; }),
            0);
}

TEST_F(AudioGraphTest, AfterTheModeSwitchTheSpectrumPeaksInTheTonesBins) {
  LinkScopeTo(graph_.toReal->GetOutputPins());
  ASSERT_TRUE(Run(kTotalFrames));

  // The switch: capture stopped, the scope moved to the spectrum component,
  // capture started again; the converter's outputs are now unlinked.
  scope_->Clear();
  LinkScopeTo(graph_.spectrum->GetOutputPins());
  const std::size_t windows = kTotalFrames / kWindow;
  ASSERT_TRUE(Run(windows * (kWindow / 2)));
  EXPECT_TRUE(errors_.empty()) << errors_.front();

  for (int c = 0; c < 2; ++c) {
    SCOPED_TRACE("channel " + std::to_string(c));
    const auto spectra = scope_->Buffers(c);
    ASSERT_EQ(spectra.size(), windows);
    for (std::size_t w = kSettled / kWindow; w < spectra.size(); ++w) {
      ASSERT_EQ(spectra[w].size(), static_cast<std::size_t>(kWindow / 2));
      const auto peak = std::max_element(spectra[w].begin(), spectra[w].end());
      EXPECT_EQ(peak - spectra[w].begin(), kBin[c]) << "window " << w;
      EXPECT_EQ(spectra[w][0], 0.0);
    }
  }
}

}  // namespace
