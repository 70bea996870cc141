// The spectrum component: the spectrum of a sine peaks in the right bin, in
// each scaling; the peak frequency pushed from another thread is delivered on
// the main thread through the hidden form (event and frequency pin); windows
// start every SamplingWindowStep samples in every mode, whatever the buffer
// lengths; Order takes effect at the next start and is refused beyond the
// block store's limit; the frequency pins follow the channel count.
#include "audio/MoskSpectrum.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdint>
#include <memory>
#include <numbers>
#include <string>
#include <thread>
#include <vector>

#include "platform/classes/MainLoop.h"
#include "signal/transforms/MoskDispatcher.h"
#include "tests/audio/MoskSplitterTestSupport.h"

namespace {

using namespace splittertest;
using Values = std::vector<double>;

constexpr std::uint32_t kRate = 44100;

// 16-bit stereo frames from two channel signals of equal length.
std::vector<std::uint8_t> Interleave16(const std::vector<std::int16_t>& left,
                                       const std::vector<std::int16_t>& right) {
  std::vector<std::uint8_t> bytes;
  for (std::size_t i = 0; i < left.size(); ++i) {
    for (std::int16_t v : {left[i], right[i]}) {
      const auto u = static_cast<std::uint16_t>(v);
      bytes.push_back(static_cast<std::uint8_t>(u & 0xFF));
      bytes.push_back(static_cast<std::uint8_t>(u >> 8));
    }
  }
  return bytes;
}

std::vector<std::int16_t> Sine(std::size_t length, double bin, double n, double amplitude) {
  std::vector<std::int16_t> s(length);
  for (std::size_t i = 0; i < length; ++i)
    s[i] = static_cast<std::int16_t>(std::lround(
        amplitude * std::sin(2.0 * std::numbers::pi * bin * static_cast<double>(i) / n)));
  return s;
}

// A fixed pseudo-random signal: every window position gives its own spectrum.
std::vector<std::int16_t> Noise(std::size_t length) {
  std::vector<std::int16_t> s(length);
  std::uint32_t x = 12345;
  for (auto& v : s) {
    x = x * 1664525u + 1013904223u;
    v = static_cast<std::int16_t>(static_cast<std::int32_t>(x >> 16) - 32768);
  }
  return s;
}

// The magnitudes of bins 0 .. n/2 - 1 of samples[start .. start + n), by the
// direct sum, divided by n; bin 0 reported as 0.
Values ReferenceSpectrum(const std::vector<std::int16_t>& samples, std::size_t start,
                         std::size_t n) {
  Values m(n / 2, 0.0);
  for (std::size_t k = 1; k < n / 2; ++k) {
    std::complex<double> sum = 0.0;
    for (std::size_t j = 0; j < n; ++j)
      sum += static_cast<double>(samples[start + j]) *
             std::polar(1.0, -2.0 * std::numbers::pi * static_cast<double>(k * j % n) /
                                 static_cast<double>(n));
    m[k] = std::abs(sum) / static_cast<double>(n);
  }
  return m;
}

class SpectrumTest : public SplitterTest {
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
  TVekBasicPin* Output(int i) { return spectrum_->GetOutputPins()->GetPin(i); }
  TVekBasicPin* FrequencyPin(int i) { return spectrum_->GetFrequencyOutputPins()->GetPin(i); }
  // Starts a stereo 16-bit stream and pushes one buffer per entry of
  // `lengths`, cut in order from the two signals.
  void Stream(const std::vector<std::int16_t>& left, const std::vector<std::int16_t>& right,
              const std::vector<std::size_t>& lengths) {
    StartWave(AudioBuffer(kRate, 2, 16, 1, {}).get());
    std::size_t at = 0;
    for (std::size_t length : lengths) {
      std::vector<std::int16_t> l(left.begin() + at, left.begin() + at + length);
      std::vector<std::int16_t> r(right.begin() + at, right.begin() + at + length);
      at += length;
      IPtr<IMoskAudioBuffer> buffer =
          AudioBuffer(kRate, 2, 16, static_cast<std::int32_t>(length), Interleave16(l, r));
      source_->SendData(buffer.get());
    }
  }
  void OnFrequency(TObject* sender, int channel, double frequency) {
    EXPECT_EQ(sender, spectrum_);
    events_.push_back({channel, frequency, GetCurrentThreadId()});
  }

  struct Event {
    int channel;
    double frequency;
    std::uint32_t thread;
  };
  std::unique_ptr<kestrune::MainLoop> loop_;
  TMoskSpectrum* spectrum_ = nullptr;
  std::vector<Event> events_;
};

// ---------------------------------------------------------------------------
// A sine

struct ScalingRow {
  const char* name;
  TTrelFourierNormalization normalization;
  double factor;  // |X[10]| of a sine of amplitude A on bin 10 is A / 2 x factor
};

class SpectrumScalingTest : public SpectrumTest,
                            public ::testing::WithParamInterface<ScalingRow> {};

TEST_P(SpectrumScalingTest, SineOnBinTenPeaksThereAndItsFrequencyReachesTheMainThread) {
  const ScalingRow& row = GetParam();
  spectrum_->SetNormalization(row.normalization);
  ASSERT_TRUE(scope_->Channel(0)->Connect(Output(0)));
  ASSERT_TRUE(scope_->Channel(1)->Connect(Output(1)));
  ASSERT_TRUE(scope_->ValuePin->Connect(FrequencyPin(0)));
  spectrum_->SetOnFrequencyResult(TMoskFrequencyEvent(this, &SpectrumTest::OnFrequency));
  scope_->Got[3] = {};  // drop the value handed over by the link

  const double amplitude = 10000.0;
  const std::vector<std::int16_t> sine = Sine(1024, 10, 256, amplitude);
  const std::vector<std::int16_t> silence(1024, 0);
  // Pushed by another thread, as the capture thread does.
  std::thread capture([&] { Stream(sine, silence, {1024}); });
  capture.join();
  EXPECT_TRUE(events_.empty()) << "delivered before the main thread ran";

  // 1024 frames, Order 8: four spectra per linked channel, 128 bins each.
  ASSERT_EQ(scope_->Got[0].Buffers.size(), 4u);
  ASSERT_EQ(scope_->Got[1].Buffers.size(), 4u);
  EXPECT_EQ(scope_->Got[0].StartCounts, std::vector<std::int32_t>{128});
  EXPECT_EQ(scope_->Got[0].StartRates, Values{44100.0});
  for (const Values& m : scope_->Got[0].Buffers) {
    ASSERT_EQ(m.size(), 128u);
    EXPECT_EQ(m[0], 0.0);
    EXPECT_EQ(std::max_element(m.begin(), m.end()) - m.begin(), 10);
    EXPECT_NEAR(m[10], amplitude / 2 * row.factor, amplitude / 2 * row.factor * 1e-3);
  }
  for (const Values& m : scope_->Got[1].Buffers)
    EXPECT_EQ(m, Values(128, 0.0));

  loop_->ProcessMessages();
  // One delivery per analysed window (four per channel); each gives the
  // latest frequency of both channels.
  ASSERT_EQ(events_.size(), 16u);
  for (std::size_t i = 0; i < events_.size(); ++i) {
    EXPECT_EQ(events_[i].channel, static_cast<int>(i % 2));
    EXPECT_EQ(events_[i].frequency, i % 2 == 0 ? 1722.65625 : 0.0);
    EXPECT_EQ(events_[i].thread, loop_->MainThreadId());
  }
  // The frequency pin sends a changed value only.
  EXPECT_EQ(scope_->Got[3].Values, Values{1722.65625});
  ASSERT_EQ(scope_->Got[3].ValueThreads.size(), 1u);
  EXPECT_EQ(scope_->Got[3].ValueThreads[0], loop_->MainThreadId());
}

INSTANTIATE_TEST_SUITE_P(Scalings, SpectrumScalingTest,
                         ::testing::Values(ScalingRow{"Normalize", fnNormalize, 1.0},
                                           ScalingRow{"None", fnNone, 256.0},
                                           ScalingRow{"NormalizeSqrt", fnNormalizeSqrt, 16.0}),
                         [](const ::testing::TestParamInfo<ScalingRow>& info) {
                           return info.param.name;
                         });

TEST_F(SpectrumTest, NormalizationChangedWhileRunningScalesTheNextSpectrum) {
  ASSERT_TRUE(scope_->Channel(0)->Connect(Output(0)));
  const std::vector<std::int16_t> sine = Sine(512, 10, 256, 8000.0);
  Stream(sine, sine, {256});
  spectrum_->SetNormalization(fnNone);
  IPtr<IMoskAudioBuffer> next =
      AudioBuffer(kRate, 2, 16, 256,
                  Interleave16({sine.begin() + 256, sine.end()}, {sine.begin() + 256, sine.end()}));
  source_->SendData(next.get());
  ASSERT_EQ(scope_->Got[0].Buffers.size(), 2u);
  EXPECT_NEAR(scope_->Got[0].Buffers[1][10], scope_->Got[0].Buffers[0][10] * 256.0, 1e-6);
}

TEST_F(SpectrumTest, NothingIsPostedWhenNoPeakIsWanted) {
  ASSERT_TRUE(scope_->Channel(0)->Connect(Output(0)));
  const std::vector<std::int16_t> sine = Sine(256, 10, 256, 8000.0);
  Stream(sine, sine, {256});
  ASSERT_EQ(scope_->Got[0].Buffers.size(), 1u);
  // Assigned only now: a message posted for the window would reach it.
  spectrum_->SetOnFrequencyResult(TMoskFrequencyEvent(this, &SpectrumTest::OnFrequency));
  loop_->ProcessMessages();
  EXPECT_TRUE(events_.empty());
}

// While alive, every forward transform fails as if its work block could not
// be had.
class FailingForwardTransform {
 public:
  FailingForwardTransform() : saved_(RealFftForward.Variant(PrimitiveVariant::C)) {
    RealFftForward.SetVariant(PrimitiveVariant::C, &Fail);
    RealFftForward.BindVariantForTesting(PrimitiveVariant::C);
  }
  ~FailingForwardTransform() {
    RealFftForward.SetVariant(PrimitiveVariant::C, saved_);
    RealFftForward.ResetToStubForTesting();
  }
  FailingForwardTransform(const FailingForwardTransform&) = delete;
  FailingForwardTransform& operator=(const FailingForwardTransform&) = delete;

 private:
  static PrimitiveStatus Fail(const double*, double*, const RealFftSpec*, std::uint8_t*) {
    return StatusNoMemory;
  }
  decltype(RealFftForward.Variant(PrimitiveVariant::C)) saved_;
};

TEST_F(SpectrumTest, AWindowWhoseTransformFailsIsNotReported) {
  ASSERT_TRUE(scope_->Channel(0)->Connect(Output(0)));
  const std::vector<std::int16_t> noise = Noise(512);
  {
    FailingForwardTransform failing;
    Stream(noise, noise, {256});
  }
  EXPECT_TRUE(scope_->Got[0].Buffers.empty());
  // The next window is analysed again, from its own samples alone.
  IPtr<IMoskAudioBuffer> next = AudioBuffer(
      kRate, 2, 16, 256,
      Interleave16({noise.begin() + 256, noise.end()}, {noise.begin() + 256, noise.end()}));
  source_->SendData(next.get());
  ASSERT_EQ(scope_->Got[0].Buffers.size(), 1u);
  const Values expected = ReferenceSpectrum(noise, 256, 256);
  const Values& got = scope_->Got[0].Buffers[0];
  ASSERT_EQ(got.size(), expected.size());
  for (std::size_t k = 0; k < expected.size(); ++k)
    ASSERT_NEAR(got[k], expected[k], 1e-6) << "bin " << k;
}

// ---------------------------------------------------------------------------
// Windowing

struct WindowRow {
  const char* name;
  std::uint32_t step;
  std::vector<std::size_t> lengths;  // buffer lengths in frames
  std::vector<std::size_t> starts;   // expected window starts
};

class SpectrumWindowTest : public SpectrumTest, public ::testing::WithParamInterface<WindowRow> {};

TEST_P(SpectrumWindowTest, AWindowStartsEveryStepSamples) {
  const WindowRow& row = GetParam();
  spectrum_->SetSamplingWindowStep(row.step);
  ASSERT_TRUE(scope_->Channel(0)->Connect(Output(0)));
  ASSERT_TRUE(scope_->Channel(1)->Connect(Output(1)));
  std::size_t total = 0;
  for (std::size_t length : row.lengths)
    total += length;
  const std::vector<std::int16_t> left = Noise(total);
  std::vector<std::int16_t> right(left.rbegin(), left.rend());
  Stream(left, right, row.lengths);

  for (int channel = 0; channel < 2; ++channel) {
    const std::vector<std::int16_t>& signal = channel == 0 ? left : right;
    const std::vector<Values>& got = scope_->Got[channel].Buffers;
    ASSERT_EQ(got.size(), row.starts.size()) << channel;
    for (std::size_t w = 0; w < got.size(); ++w) {
      const Values expected = ReferenceSpectrum(signal, row.starts[w], 256);
      ASSERT_EQ(got[w].size(), expected.size());
      for (std::size_t k = 0; k < expected.size(); ++k)
        ASSERT_NEAR(got[w][k], expected[k], 1e-6)
            << "channel " << channel << " window " << w << " bin " << k;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Modes, SpectrumWindowTest,
    ::testing::Values(
        WindowRow{"BackToBack", 0, {1024}, {0, 256, 512, 768}},
        // 300 frames: one window, 44 samples kept for the next.
        WindowRow{"BackToBackAcrossBuffers", 0, {300, 300}, {0, 256}},
        WindowRow{"StepOfOneWindowIsBackToBack", 256, {700}, {0, 256}},
        WindowRow{"Sliding",
                  128,
                  {1024, 1024},
                  {0, 128, 256, 384, 512, 640, 768, 896, 1024, 1152, 1280, 1408, 1536, 1664, 1792}},
        // Buffers shorter than the step: nothing is read past an input.
        WindowRow{"SlidingShortBuffers", 200, {100, 50, 300, 10, 7, 300}, {0, 200, 400}},
        WindowRow{"SlidingAfterAPartialFirstBuffer", 128, {300, 300}, {0, 128, 256}},
        WindowRow{"Skipping", 1000, {1024, 1024, 1024}, {0, 1000, 2000}},
        WindowRow{
            "SkippingSmallBuffers", 300, std::vector<std::size_t>(20, 64), {0, 300, 600, 900}},
        WindowRow{"SkippingAcrossAWholeBuffer", 2000, {1024, 1024, 1024, 1024}, {0, 2000}}),
    [](const ::testing::TestParamInfo<WindowRow>& info) { return info.param.name; });

// A receiver that keeps some spectra: every third the buffer itself, every
// third but one a second buffer on the same block; the values each had when
// it arrived.
class TKeepingSink {
 public:
  bool OnReal(IVekBasicPin*, const TGUID&, std::uint8_t, IVekNotifyOperation* op) {
    auto* supplied = OperationAs<TVekSuppliedBufferOperation>(op);
    if (supplied == nullptr)
      return true;
    IPtr<ITrelRealBuffer> buffer = Supports<ITrelRealBuffer>(supplied->Buffer);
    const double* data = buffer->GetData();
    const Values values(data, data + buffer->GetCount());
    const std::size_t n = Arrived.size();
    Arrived.push_back(values);
    if (n % 3 == 0)
      Kept.push_back({n, buffer});
    else if (n % 3 == 1)
      Kept.push_back({n, TTrelRealBuffer::CreateShared(buffer.get())});
    return true;
  }
  std::vector<Values> Arrived;
  std::vector<std::pair<std::size_t, IPtr<ITrelRealBuffer>>> Kept;
};

TEST_F(SpectrumTest, ASpectrumAReceiverKeepsIsNeverWrittenAgain) {
  TKeepingSink sink;
  auto* pin = Create<TTrelVekRealSinkPin>(form_, TVekNotifyHandler(&sink, &TKeepingSink::OnReal));
  ASSERT_TRUE(pin->Connect(Output(0)));
  const std::vector<std::int16_t> left = Noise(4096);
  Stream(left, left, {1024, 1024, 1024, 1024});
  ASSERT_EQ(sink.Arrived.size(), 16u);
  for (std::size_t w = 0; w < sink.Arrived.size(); ++w) {
    const Values expected = ReferenceSpectrum(left, 256 * w, 256);
    for (std::size_t k = 0; k < expected.size(); ++k)
      ASSERT_NEAR(sink.Arrived[w][k], expected[k], 1e-6) << "window " << w << " bin " << k;
  }
  for (const auto& [w, buffer] : sink.Kept) {
    const double* data = buffer->GetData();
    EXPECT_EQ(Values(data, data + buffer->GetCount()), sink.Arrived[w]) << "window " << w;
  }
  pin->Free();
}

// ---------------------------------------------------------------------------
// Order

TEST_F(SpectrumTest, OrderIsClampedAndTakesEffectAtTheNextStart) {
  spectrum_->SetOrder(7);
  EXPECT_EQ(spectrum_->GetOrder(), 8);
  spectrum_->SetOrder(31);
  EXPECT_EQ(spectrum_->GetOrder(), 30);
  spectrum_->SetOrder(8);

  ASSERT_TRUE(scope_->Channel(0)->Connect(Output(0)));
  const std::vector<std::int16_t> noise = Noise(2048);
  Stream(noise, noise, {512});
  spectrum_->SetOrder(9);
  IPtr<IMoskAudioBuffer> more = AudioBuffer(kRate, 2, 16, 512, Interleave16(noise, noise));
  source_->SendData(more.get());
  Stream(noise, noise, {512});
  const std::vector<Values>& got = scope_->Got[0].Buffers;
  ASSERT_EQ(got.size(), 5u);
  for (int i = 0; i < 4; ++i)
    EXPECT_EQ(got[i].size(), 128u) << i;
  EXPECT_EQ(got[4].size(), 256u);
  EXPECT_EQ(scope_->Got[0].StartCounts, (std::vector<std::int32_t>{128, 256}));
}

TEST_F(SpectrumTest, OrdersBeyondTheBlockStoreAreRefusedAndStopEndsTheStream) {
  ASSERT_TRUE(scope_->Channel(0)->Connect(Output(0)));
  const std::vector<std::int16_t> noise = Noise(1024);
  for (int order : {27, 30}) {
    spectrum_->SetOrder(order);
    Stream(noise, noise, {1024});
    EXPECT_TRUE(scope_->Got[0].Buffers.empty()) << order;
  }
  spectrum_->SetOrder(8);
  Stream(noise, noise, {256});
  EXPECT_EQ(scope_->Got[0].Buffers.size(), 1u);
  // After a stop, buffers are ignored until the next start.
  Push<TVekStopOperation>();
  IPtr<IMoskAudioBuffer> late = AudioBuffer(kRate, 2, 16, 256, Interleave16(noise, noise));
  source_->SendData(late.get());
  EXPECT_EQ(scope_->Got[0].Buffers.size(), 1u);
}

// ---------------------------------------------------------------------------
// Pin lists

TEST_F(SpectrumTest, FrequencyPinsFollowTheChannelCount) {
  EXPECT_EQ(spectrum_->GetFrequencyOutputPins()->GetCount(), 2);
  spectrum_->SetCountChannels(3);
  EXPECT_EQ(spectrum_->GetOutputPins()->GetCount(), 3);
  EXPECT_EQ(spectrum_->GetFrequencyOutputPins()->GetCount(), 3);
  TVekBasicPin* first = FrequencyPin(0);
  spectrum_->SetCountChannels(1);
  EXPECT_EQ(spectrum_->GetFrequencyOutputPins()->GetCount(), 1);
  EXPECT_EQ(FrequencyPin(0), first);
}

}  // namespace
