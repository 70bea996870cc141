// The audio filters pushed through audio pins: the DC remover takes the
// offset off a known signal at every sample width (8-bit streams stay
// unsigned around their zero level), the amplifier scales and saturates,
// operations travel through unchanged in both directions, and buffers are
// processed only while the filter is enabled and its output linked.
#include "audio/MoskFilters.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <string>
#include <vector>

#include "tests/audio/AudioPushFixtures.h"

namespace {

using namespace audiotest;
using Lines = std::vector<std::string>;

constexpr std::uint32_t kRate = 44100;
constexpr std::int32_t kFrames = 1024;

// A filter that counts the buffers it is asked to process.
class TCountingFilter : public TMoskCommonFilter {
  KESTRUNE_CLASS(TCountingFilter, TMoskCommonFilter)
  using TMoskCommonFilter::TMoskCommonFilter;
  int Processed = 0;

 protected:
  std::int32_t ProcessData(IMoskAudioBuffer*, IMoskAudioBuffer*, bool&) override {
    ++Processed;
    return 0;
  }
};

class MoskFilterTest : public AudioPushTest {
 public:
  template <class T>
  T* Make() {
    T* filter = Create<T>(form_);
    EXPECT_TRUE(filter->GetInputPin()->Connect(source_));
    return filter;
  }
  void LinkOutput(TMoskCommonFilter* filter) {
    ASSERT_TRUE(Sink()->Connect(filter->GetOutputPin()));
  }
};

// ---------------------------------------------------------------------------
// DC remover

struct DcRow {
  const char* name;
  std::uint32_t bits;
  double amplitude;   // of the 1 kHz sine, in stored units
  double offsets[2];  // added per channel
  double zero;        // the zero level of the stored samples
};

TEST_F(MoskFilterTest, RemoveDCTakesTheOffsetOffEveryWidth) {
  const DcRow rows[] = {
      {"Int16", 16, 8000.0, {5000.0, -12000.0}, 0.0},
      {"UInt8AroundItsZeroLevel", 8, 40.0, {40.0, -60.0}, 127.0},
      {"Int24", 24, 2.0e6, {1.5e6, -3.0e6}, 0.0},
      {"Int32", 32, 5.0e8, {4.0e8, -9.0e8}, 0.0},
  };
  for (const DcRow& row : rows) {
    SCOPED_TRACE(row.name);
    caught_.Buffers.clear();
    auto* dc = Make<TMoskRemoveDC>();
    LinkOutput(dc);
    Start(PcmFormat(2, row.bits, kRate));
    EXPECT_EQ(dc->FilterCount(), 2);
    auto value = [&](std::int64_t n, int c) {
      const double s = row.amplitude * std::sin(2.0 * std::numbers::pi * 1000.0 * n / kRate);
      return static_cast<std::int32_t>(std::lround(row.zero + row.offsets[c] + s));
    };
    std::vector<IPtr<IMoskAudioBuffer>> sent;
    for (int i = 0; i < 60; ++i) {  // about 1.4 s: many time constants of the 20 Hz corner
      sent.push_back(Signal(2, row.bits, kRate, kFrames, std::int64_t{i} * kFrames, value));
      source_->SendData(sent.back().get());
    }
    ASSERT_EQ(caught_.Buffers.size(), sent.size());
    for (std::uint32_t c = 0; c < 2; ++c) {
      SCOPED_TRACE(c);
      const std::vector<std::int32_t> out = Channel(caught_.Buffers.back().get(), c);
      double mean = 0.0;
      for (std::int32_t v : out)
        mean += v;
      mean /= static_cast<double>(out.size());
      EXPECT_NEAR(mean, row.zero, row.amplitude * 0.02) << "offset removed";
      const auto [lo, hi] = std::minmax_element(out.begin(), out.end());
      EXPECT_NEAR((*hi - static_cast<double>(*lo)) / 2.0, row.amplitude, row.amplitude * 0.03)
          << "the sine passes with its amplitude";
      // The pushed buffer keeps its own samples.
      EXPECT_EQ(Channel(sent.back().get(), c)[0], value(59 * kFrames, static_cast<int>(c)));
    }
    dc->Free();
  }
}

TEST_F(MoskFilterTest, RemoveDCSaturatesUnsignedBytesAtTheirBounds) {
  auto* dc = Make<TMoskRemoveDC>();
  LinkOutput(dc);
  Start(PcmFormat(1, 8, kRate));
  // A jump from silence (0 after the zeroed delay line) to 255: the first
  // output lags by one sample (zero level), the jump itself overshoots.
  IPtr<IMoskAudioBuffer> full = Signal(1, 8, kRate, 8820, 0, [](std::int64_t, int) { return 255; });
  source_->SendData(full.get());
  ASSERT_EQ(caught_.Buffers.size(), 1u);
  const std::vector<std::int32_t> up = Channel(caught_.Buffers[0].get(), 0);
  EXPECT_EQ(up[0], 127);
  EXPECT_EQ(up[1], 255);
  EXPECT_EQ(up.back(), 127) << "settled back to the zero level";
  // Then a fall to 0: the undershoot stops at 0.
  IPtr<IMoskAudioBuffer> empty = Signal(1, 8, kRate, 64, 0, [](std::int64_t, int) { return 0; });
  source_->SendData(empty.get());
  const std::vector<std::int32_t> down = Channel(caught_.Buffers[1].get(), 0);
  EXPECT_EQ(down[1], 0);
  for (std::int32_t v : down)
    EXPECT_GE(v, 0);
}

TEST_F(MoskFilterTest, RemoveDCRestartsFromZeroAndMakesNoFilterAtRateZero) {
  auto* dc = Make<TMoskRemoveDC>();
  LinkOutput(dc);
  auto constant = [](std::int64_t, int c) { return c == 0 ? 10000 : -10000; };
  IPtr<IMoskAudioBuffer> input = Signal(2, 16, kRate, 256, 0, constant);

  // Before any start-wave, and after one at rate 0, the samples pass as
  // they came.
  source_->SendData(input.get());
  Start(PcmFormat(2, 16, 0));
  EXPECT_EQ(dc->FilterCount(), 0);
  source_->SendData(input.get());
  ASSERT_EQ(caught_.Buffers.size(), 2u);
  for (auto& b : caught_.Buffers) {
    EXPECT_EQ(Channel(b.get(), 0), Channel(input.get(), 0));
    EXPECT_EQ(Channel(b.get(), 1), Channel(input.get(), 1));
  }

  // Each start-wave at a real rate restarts the filters: the same input
  // gives the same output.
  Start(PcmFormat(2, 16, kRate));
  source_->SendData(input.get());
  source_->SendData(input.get());
  Start(PcmFormat(2, 16, kRate));
  source_->SendData(input.get());
  ASSERT_EQ(caught_.Buffers.size(), 5u);
  EXPECT_EQ(Channel(caught_.Buffers[2].get(), 0), Channel(caught_.Buffers[4].get(), 0));
  EXPECT_NE(Channel(caught_.Buffers[2].get(), 0), Channel(caught_.Buffers[3].get(), 0))
      << "the state carries over between buffers";
  EXPECT_EQ(Channel(caught_.Buffers[2].get(), 0)[0], 0) << "the output lags by one sample";
  EXPECT_EQ(Channel(caught_.Buffers[2].get(), 1)[1], -10000);
}

TEST_F(MoskFilterTest, RemoveDCPassesChannelsWhoseFilterCouldNotBeMade) {
  auto* dc = Make<TMoskRemoveDC>();
  LinkOutput(dc);
  Start(PcmFormat(2, 16, kRate));
  ASSERT_EQ(dc->FilterCount(), 2);
  IPtr<IMoskAudioBuffer> input =
      Signal(2, 16, kRate, 256, 0, [](std::int64_t n, int) { return static_cast<int>(n * 7); });
  {
    FailingIirCreate failing;
    Start(PcmFormat(2, 16, kRate));
    EXPECT_EQ(dc->FilterCount(), 0) << "the old states are gone, none replaces them";
    source_->SendData(input.get());
  }
  ASSERT_EQ(caught_.Buffers.size(), 1u);
  EXPECT_EQ(Channel(caught_.Buffers[0].get(), 0), Channel(input.get(), 0));
  Start(PcmFormat(2, 16, kRate));
  EXPECT_EQ(dc->FilterCount(), 2) << "the next start-wave makes them again";
}

// ---------------------------------------------------------------------------
// Amplifier

TEST_F(MoskFilterTest, AmplifierScalesAndSaturates) {
  struct Row {
    const char* name;
    std::uint32_t bits;
    double coefficient;
    std::int32_t in[3];
    std::int32_t out[3];
  };
  const Row rows[] = {
      {"Unity", 16, 1.0, {1234, -32768, 32767}, {1234, -32768, 32767}},
      {"DoubleSaturates16", 16, 2.0, {20000, -15000, -20000}, {32767, -30000, -32768}},
      {"Half16", 16, 0.5, {1000, -1000, 3}, {500, -500, 2}},
      {"NegativeIsStoredAsZero", 16, -2.0, {1000, -1000, 32767}, {0, 0, 0}},
      {"DoubleSaturates24", 24, 2.0, {5000000, -5000000, 100}, {8388607, -8388608, 200}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    caught_.Buffers.clear();
    auto* amp = Make<TMoskAmplifier>();
    EXPECT_EQ(amp->GetCoefficient(), 1.0);
    LinkOutput(amp);
    amp->SetCoefficient(row.coefficient);
    EXPECT_EQ(amp->GetCoefficient(), std::max(row.coefficient, 0.0));
    Start(PcmFormat(1, row.bits, kRate));
    IPtr<IMoskAudioBuffer> input =
        Signal(1, row.bits, kRate, 3, 0, [&](std::int64_t n, int) { return row.in[n]; });
    source_->SendData(input.get());
    ASSERT_EQ(caught_.Buffers.size(), 1u);
    EXPECT_EQ(Channel(caught_.Buffers[0].get(), 0),
              std::vector<std::int32_t>(std::begin(row.out), std::end(row.out)));
    EXPECT_EQ(Channel(input.get(), 0),
              std::vector<std::int32_t>(std::begin(row.in), std::end(row.in)))
        << "the input keeps its samples";
    EXPECT_EQ(caught_.Buffers[0]->GetData() == input->GetData(), row.coefficient == 1.0)
        << "only a coefficient of 1 passes the input's block on, uncopied";
    amp->Free();
  }
}

// ---------------------------------------------------------------------------
// The common filter

TEST_F(MoskFilterTest, OperationsPassThroughInBothDirections) {
  auto* filter = Make<TCountingFilter>();
  LinkOutput(filter);
  Start(PcmFormat(2, 16, kRate));
  Push<TVekTrelResumeOperation>();
  IPtr<IMoskAudioBuffer> input = Signal(2, 16, kRate, 8, 0, [](std::int64_t n, int c) {
    return static_cast<std::int32_t>(n * 10 + c);
  });
  source_->SendData(input.get());
  Push<TVekStopOperation>();
  EXPECT_EQ(caught_.Log, (Lines{"TVekStartWaveOperation", "TVekTrelResumeOperation",
                                "TVekSuppliedBufferOperation", "TVekStopOperation"}));
  EXPECT_EQ(filter->Processed, 1);

  // Upstream: a pump and any other operation reach the source's handler.
  IPtr<IVekNotifyOperation> pump = NewOperation<TVekMasterPumpOperation>();
  Sink()->Notify(pump.get());
  IPtr<IVekNotifyOperation> resume = NewOperation<TVekTrelResumeOperation>();
  Sink()->Notify(resume.get());
  EXPECT_EQ(upstream_.Log, (Lines{"TVekMasterPumpOperation", "TVekTrelResumeOperation"}));
}

TEST_F(MoskFilterTest, ProcessesOnlyWhileEnabledAndLinked) {
  auto* dc = Make<TMoskRemoveDC>();
  auto* counting = Make<TCountingFilter>();
  Start(PcmFormat(2, 16, kRate));
  IPtr<IMoskAudioBuffer> input =
      Signal(2, 16, kRate, 64, 0, [](std::int64_t, int c) { return c == 0 ? 9000 : -9000; });

  // Unlinked: no work, nothing sent.
  source_->SendData(input.get());
  EXPECT_EQ(counting->Processed, 0);

  // Linked but disabled: the same samples leave.
  LinkOutput(dc);
  dc->SetEnabled(false);
  counting->SetEnabled(false);
  source_->SendData(input.get());
  ASSERT_EQ(caught_.Buffers.size(), 1u);
  EXPECT_EQ(Channel(caught_.Buffers[0].get(), 0), Channel(input.get(), 0));
  EXPECT_EQ(Channel(caught_.Buffers[0].get(), 1), Channel(input.get(), 1));

  // Enabled again through the enable pin: processed.
  auto* enable = Create<TVekBoolStatePin>(pins_owner_);
  ASSERT_TRUE(dc->GetEnablePin()->Connect(enable));
  enable->SetValue(true);
  EXPECT_TRUE(dc->GetEnabled());
  source_->SendData(input.get());
  ASSERT_EQ(caught_.Buffers.size(), 2u);
  EXPECT_NE(Channel(caught_.Buffers[1].get(), 0), Channel(input.get(), 0));
  EXPECT_EQ(counting->Processed, 0) << "the counting filter is still unlinked and disabled";
  enable->SetValue(false);
  EXPECT_FALSE(dc->GetEnabled());
  enable->Free();
}

}  // namespace
