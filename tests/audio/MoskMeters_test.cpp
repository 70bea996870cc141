// The peak-programme meter pushed through audio pins: a known two-channel
// signal gives the right peak per period and channel at each width, levels
// reach OnValueChange on the main thread through the notifier (rounded to
// single precision), a HalfLife of 0 holds nothing, a restart measures the
// new stream from its first frame, a Period too long for the block store
// refuses metering with the error raised on the main thread, and a filter
// that cannot be made leaves its channel unmeasured. The peak follower's
// block path gives the per-sample rule's levels and cut-offs.
#include "audio/MoskMeters.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <numbers>
#include <random>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/classes/MainLoop.h"
#include "tests/audio/AudioPushFixtures.h"

namespace {

using namespace audiotest;

constexpr std::uint32_t kRate = 44100;
constexpr std::int32_t kFrames = 1024;

struct Reading {
  std::int32_t channel;
  double value;
  double max;
  bool onMainThread;
};

class TReadings {
 public:
  void OnValue(TObject*, std::int32_t channel, double value, double max) {
    List.push_back({channel, value, max, kestrune::MainLoop::Current()->IsMainThread()});
  }
  TMoskMeterValueChangeEvent Event() {
    return TMoskMeterValueChangeEvent(this, &TReadings::OnValue);
  }
  std::vector<Reading> Of(std::int32_t channel) const {
    std::vector<Reading> r;
    for (const Reading& reading : List) {
      if (reading.channel == channel)
        r.push_back(reading);
    }
    return r;
  }
  std::vector<Reading> List;
};

// A sine of `amplitude[c]` stored units at 1 kHz on a DC offset.
auto Sine(const double (&amplitude)[2], const double (&offset)[2]) {
  return [&amplitude, &offset](std::int64_t n, int c) {
    const double s = std::sin(2.0 * std::numbers::pi * 1000.0 * n / kRate);
    return static_cast<std::int32_t>(std::lround(offset[c] + amplitude[c] * s));
  };
}

class MoskMeterTest : public AudioPushTest {
 public:
  void SetUp() override {
    AudioPushTest::SetUp();
    TrelMainThreadNotifyUnit.Initialize();
    loop_.SetExceptionHandler(
        [this](std::exception_ptr e) { errors_.push_back(kestrune::ExceptionText(e)); });
  }
  TMoskPPMMeter* Make(TTrelSynchronizeType type) {
    auto* meter = Create<TMoskPPMMeter>(form_);
    meter->SetSynchronizeType(type);
    meter->SetOnValueChange(readings_.Event());
    EXPECT_TRUE(meter->GetInputPin()->Connect(source_));
    return meter;
  }
  // Pushes `count` buffers of the signal, continuing from frame `first`.
  template <class F>
  void Feed(std::uint32_t bits, std::int32_t count, std::int64_t& first, F value,
            std::int32_t frames = kFrames) {
    for (std::int32_t i = 0; i < count; ++i) {
      IPtr<IMoskAudioBuffer> b = Signal(2, bits, kRate, frames, first, value);
      first += frames;
      source_->SendData(b.get());
    }
  }

  kestrune::MainLoop loop_;
  std::vector<std::string> errors_;
  TReadings readings_;
};

TEST_F(MoskMeterTest, KnownTwoChannelSignalGivesThePeakPerPeriod) {
  struct Row {
    const char* name;
    std::uint32_t bits;
    std::int32_t countChannels;
    double amplitude[2];
    double offset[2];
    double max;
  };
  const Row rows[] = {
      {"Int16", 16, 2, {10000.0, 20000.0}, {3000.0, -5000.0}, 32767.0},
      {"UInt8", 8, 2, {40.0, 90.0}, {127.0, 150.0}, 127.0},
      {"Int24", 24, 2, {1.0e6, 3.0e6}, {2.0e5, -4.0e5}, 8388607.0},
      {"Int32", 32, 2, {1.0e9, 3.0e8}, {2.0e8, -4.0e8}, 2147483647.0},
      {"OneChannelOfAStereoStream", 16, 1, {10000.0, 20000.0}, {0.0, 0.0}, 32767.0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    readings_.List.clear();
    auto* meter = Make(stNone);
    meter->SetCountChannels(row.countChannels);
    meter->SetHalfLife(100);  // the DC step at the start is forgotten soon
    Start(PcmFormat(2, row.bits, kRate));
    std::int64_t first = 0;
    Feed(row.bits, 4, first, Sine(row.amplitude, row.offset));
    EXPECT_TRUE(readings_.List.empty()) << "4096 frames: no 4410-frame period yet";
    Feed(row.bits, 56, first, Sine(row.amplitude, row.offset));
    for (int c = 0; c < 2; ++c) {
      SCOPED_TRACE(c);
      const std::vector<Reading> r = readings_.Of(c);
      if (c >= row.countChannels) {
        EXPECT_TRUE(r.empty()) << "a channel beyond CountChannels is not delivered";
        continue;
      }
      // 61440 frames hold 13 whole periods of 4410 (a 14th needs 61740);
      // a period of exactly 100 sine cycles repeats the level of the one
      // before, which gives no event.
      ASSERT_GE(r.size(), 1u);
      EXPECT_LE(r.size(), 13u);
      EXPECT_NEAR(r.back().value, row.amplitude[c], row.amplitude[c] * 0.02);
      EXPECT_EQ(r.back().max, row.max);
    }
    meter->Free();
  }
}

TEST_F(MoskMeterTest, QueuedLevelsReachTheEventOnTheMainThread) {
  auto* meter = Make(stSingleBuffer);
  Start(PcmFormat(2, 16, kRate));
  const double amplitude[2] = {12345.0, 23456.0};
  const double offset[2] = {0.0, 0.0};
  std::int64_t first = 0;
  // Push from a thread of its own, as the capture thread does; it never
  // waits for the main thread.
  std::thread capture([&] { Feed(16, 30, first, Sine(amplitude, offset)); });
  capture.join();
  EXPECT_TRUE(readings_.List.empty()) << "nothing is delivered before the main loop serves";
  loop_.ProcessMessages();
  ASSERT_FALSE(readings_.List.empty());
  for (const Reading& r : readings_.List) {
    EXPECT_TRUE(r.onMainThread);
    EXPECT_EQ(r.value, static_cast<double>(static_cast<float>(r.value)))
        << "queued levels are rounded to single precision";
  }
  for (int c = 0; c < 2; ++c) {
    const std::vector<Reading> r = readings_.Of(c);
    ASSERT_FALSE(r.empty());
    EXPECT_NEAR(r.back().value, amplitude[c], amplitude[c] * 0.02);
    auto* pin = static_cast<TVekRealSourcePin*>(meter->GetOutputPins()->GetPin(c));
    EXPECT_EQ(pin->Value(), r.back().value) << "the output pin carries the last level";
  }
  // Later posts find the queues empty and call nothing.
  const std::size_t delivered = readings_.List.size();
  meter->SetSynchronizeType(stQueue);
  source_->SendData(Signal(2, 16, kRate, 16, first, Sine(amplitude, offset)).get());
  loop_.ProcessMessages();
  EXPECT_EQ(readings_.List.size(), delivered);
  EXPECT_TRUE(errors_.empty());
}

TEST_F(MoskMeterTest, HalfLifeZeroHoldsNothing) {
  struct Row {
    const char* name;
    std::int32_t halfLife;
    double loudAtLeast;  // the reading at the end of the sine
    double lowest;       // and after a period of silence
    double highest;
  };
  // One second of a 10000 sine, then silence for longer than a period: the
  // last reading is what the level keeps of the sine. Without hold the level
  // is the rectified last sample of each period.
  const Row rows[] = {
      {"NoHold", 0, 1000.0, 0.0, 1.0},
      {"OneSecond", 1000, 9800.0, 8000.0, 9500.0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    readings_.List.clear();
    auto* meter = Make(stNone);
    meter->SetHalfLife(row.halfLife);
    Start(PcmFormat(2, 16, kRate));
    const double amplitude[2] = {10000.0, 10000.0};
    const double offset[2] = {0.0, 0.0};
    std::int64_t first = 0;
    Feed(16, 43, first, Sine(amplitude, offset));
    const std::size_t loud = readings_.Of(0).size();
    ASSERT_GE(loud, 1u);
    EXPECT_GE(readings_.Of(0).back().value, row.loudAtLeast);
    EXPECT_LE(readings_.Of(0).back().value, 10200.0);
    // The silence starts at a period boundary (43 x 1024 = 44032, read up to
    // 9 x 4410 = 39690): the next period holds 4342 sine frames, the one
    // after only silence.
    Feed(16, 10, first, [](std::int64_t, int) { return 0; });
    const std::vector<Reading> r = readings_.Of(0);
    ASSERT_GT(r.size(), loud);
    EXPECT_TRUE(std::isfinite(r.back().value));
    EXPECT_GE(r.back().value, row.lowest);
    EXPECT_LE(r.back().value, row.highest);
    meter->Free();
  }
}

TEST_F(MoskMeterTest, ARestartMeasuresTheNewStreamFromItsFirstFrame) {
  Make(stNone);
  Start(PcmFormat(2, 16, kRate));
  std::int64_t first = 0;
  // Silence leaves the read offset 314 frames into the fifth buffer.
  Feed(16, 5, first, [](std::int64_t, int) { return 0; });
  EXPECT_TRUE(readings_.List.empty());
  // The new stream's only sound is a click in its first 100 frames.
  Start(PcmFormat(2, 16, kRate));
  first = 0;
  Feed(16, 5, first, [](std::int64_t n, int) { return n < 100 ? 20000 : 0; });
  const std::vector<Reading> r = readings_.Of(0);
  ASSERT_EQ(r.size(), 1u) << "one period of the new stream";
  EXPECT_GT(r[0].value, 10000.0) << "the click at frames 0..99 was measured";
}

TEST_F(MoskMeterTest, APeriodTooLongForTheBlockStoreRefusesMetering) {
  auto* meter = Make(stNone);
  Start(PcmFormat(2, 16, kRate));
  meter->SetPeriod(0xFFFFFFFFu);  // about 1.9e11 samples a period
  EXPECT_TRUE(meter->Refused());
  std::int64_t first = 0;
  const double amplitude[2] = {10000.0, 10000.0};
  const double offset[2] = {0.0, 0.0};
  Feed(16, 10, first, Sine(amplitude, offset));
  EXPECT_TRUE(readings_.List.empty());
  EXPECT_TRUE(errors_.empty()) << "reported on the main thread, not on the push";
  loop_.ProcessMessages();
  ASSERT_EQ(errors_.size(), 1u);
  EXPECT_NE(errors_[0].find("more than the largest block"), std::string::npos) << errors_[0];

  // A sound Period meters again.
  meter->SetPeriod(100);
  EXPECT_FALSE(meter->Refused());
  Feed(16, 10, first, Sine(amplitude, offset));
  EXPECT_FALSE(readings_.List.empty());
}

// A meter that runs `beforeResize` once when its channel blocks are about to
// be made again: the place where a buffer pushed by the capture thread could
// land while the Period changes.
class TResizeHookMeter : public TMoskPPMMeter {
  KESTRUNE_CLASS(TResizeHookMeter, TMoskPPMMeter)
  explicit TResizeHookMeter(TComponent* owner) : TMoskPPMMeter(owner) {}
  std::function<void()> beforeResize;

 protected:
  void AllocateChannelBuffers() override {
    if (auto hook = std::exchange(beforeResize, nullptr))
      hook();
    inherited::AllocateChannelBuffers();
  }
};

// 100 -> 1000 ms with a second of audio already queued: a buffer measured at
// the new period before the blocks grow stays inside the old blocks (under
// AddressSanitizer an overrun of the 4410-float blocks is reported), and the
// next periods are whole ones of the new length.
TEST_F(MoskMeterTest, ABufferArrivingWhilePeriodGrowsStaysInsideTheBlocks) {
  auto* meter = Create<TResizeHookMeter>(form_);
  meter->SetSynchronizeType(stNone);
  meter->SetHalfLife(100);
  meter->SetOnValueChange(readings_.Event());
  ASSERT_TRUE(meter->GetInputPin()->Connect(source_));
  Start(PcmFormat(2, 16, kRate));
  const double amplitude[2] = {10000.0, 20000.0};
  const double offset[2] = {0.0, 0.0};
  std::int64_t first = 0;
  Feed(16, 1, first, Sine(amplitude, offset), 2000);
  meter->beforeResize = [&] { Feed(16, 1, first, Sine(amplitude, offset), 2 * kRate); };
  meter->SetPeriod(1000);
  EXPECT_FALSE(meter->beforeResize) << "the hook ran";
  EXPECT_FALSE(meter->Refused());
  Feed(16, 3, first, Sine(amplitude, offset), kRate);
  for (int c = 0; c < 2; ++c) {
    SCOPED_TRACE(c);
    ASSERT_FALSE(readings_.Of(c).empty());
    EXPECT_NEAR(readings_.Of(c).back().value, amplitude[c], amplitude[c] * 0.02);
  }
}

TEST_F(MoskMeterTest, AChannelWhoseFilterCouldNotBeMadeIsNotMeasured) {
  auto* meter = Make(stNone);
  Start(PcmFormat(2, 16, kRate));
  ASSERT_EQ(meter->FilterCount(), 2);
  const double amplitude[2] = {10000.0, 10000.0};
  const double offset[2] = {0.0, 0.0};
  std::int64_t first = 0;
  {
    FailingIirCreate failing;
    Start(PcmFormat(2, 16, kRate));
  }
  EXPECT_EQ(meter->FilterCount(), 0) << "the old states are gone, none replaces them";
  Feed(16, 10, first, Sine(amplitude, offset));
  EXPECT_TRUE(readings_.List.empty());
  Start(PcmFormat(2, 16, kRate));
  EXPECT_EQ(meter->FilterCount(), 2);
  Feed(16, 10, first, Sine(amplitude, offset));
  EXPECT_FALSE(readings_.List.empty());
}

// ---------------------------------------------------------------------------
// The peak follower

TEST(MoskPeakKeepFactor, ReleasesByOneHoldPerSampleOrHoldsNothing) {
  const struct {
    const char* name;
    std::uint32_t rate;
    std::int32_t halfLife;
    double keep;
  } rows[] = {
      {"OneSecond", 44100, 1000, 1.0 - 1.0 / 44100.0},
      {"TenSamples", 1000, 10, 0.9},
      {"ZeroIsNoHold", 44100, 0, 0.0},
      {"NegativeIsNoHold", 44100, -20, 0.0},
      {"HoldOfOneSampleKeepsNothing", 1000, 1, 0.0},
      {"HoldBelowOneSampleKeepsNothing", 500, 1, 0.0},
  };
  for (const auto& row : rows)
    EXPECT_DOUBLE_EQ(MoskPeakKeepFactor(row.rate, row.halfLife), row.keep) << row.name;
}

// The meter's rule taken one sample at a time: the reference for the block
// path.
double FollowByTheRule(const float* samples, std::int32_t count, double level, double keep) {
  for (std::int32_t i = 0; i < count; ++i) {
    const double x = std::fabs(samples[i]);
    if (x > level)
      level = x;
    else if (level > 0.005)
      level = std::max(level * keep, x);
    else
      level = 0.0;
  }
  return level;
}

// The queue keeps buffers in arrival order with their frame total while it
// wraps around and grows: pushes and removals interleaved so the first
// buffer sits anywhere in the ring when it has to grow.
TEST(MoskMeterBufferQueue, KeepsOrderAndFramesAcrossWrapAndGrowth) {
  streamtest::StartStreamFramework();
  struct Step {
    int push;    // buffers pushed, of 1, 2, 3 ... frames in arrival order
    int remove;  // then removed from the front
  };
  const Step steps[] = {{3, 2}, {6, 1}, {2, 5}, {9, 0}, {1, 13}};
  TMoskMeterBufferQueue queue;
  std::vector<std::int32_t> expected;  // frame counts, front first
  std::int32_t next = 1;
  for (const Step& step : steps) {
    for (int i = 0; i < step.push; ++i, ++next) {
      queue.Push(TMoskAudioBuffer::Create(44100, 3, next, 1, 16).get());
      expected.push_back(next);
    }
    for (int i = 0; i < step.remove; ++i) {
      queue.RemoveFirst();
      expected.erase(expected.begin());
    }
    ASSERT_EQ(queue.Count(), static_cast<std::int32_t>(expected.size()));
    std::int64_t total = 0;
    for (std::size_t i = 0; i < expected.size(); ++i) {
      ASSERT_EQ(queue.GetItem(static_cast<std::int32_t>(i))->GetCount(), expected[i]) << i;
      total += expected[i];
    }
    EXPECT_EQ(queue.TotalFrames(), total);
    EXPECT_EQ(queue.GetItem(queue.Count()), nullptr);
  }
  queue.RemoveFirst();  // empty: nothing happens
  EXPECT_EQ(queue.Count(), 0);
  queue.Push(TMoskAudioBuffer::Create(44100, 3, 4, 1, 16).get());
  queue.Clear();
  EXPECT_EQ(queue.Count(), 0);
  EXPECT_EQ(queue.TotalFrames(), 0);
}

// Every prefix of each signal, entered at several levels and with the block
// boundaries moved by starting at several offsets, against the rule: levels
// agree to rounding in the last bits, and the level is 0 after exactly the
// same samples.
TEST(MoskFollowPeak, MatchesTheRuleSampleBySample) {
  std::mt19937 random(8);
  std::uniform_real_distribution<float> unit(0.0f, 1.0f);
  const auto make = [&](std::int32_t n, auto value) {
    std::vector<float> x(static_cast<std::size_t>(n));
    for (std::int32_t i = 0; i < n; ++i)
      x[static_cast<std::size_t>(i)] = value(i);
    return x;
  };
  const struct {
    const char* name;
    double keep;
    std::vector<float> samples;
  } rows[] = {
      // One click, then the release crosses 0.005 after about 50 samples,
      // in the middle of a block.
      {"DecayToTheCutOff", 0.9, make(160, [](std::int32_t i) { return i == 3 ? 1.0f : 0.0f; })},
      // Clicks of either sign during a release, back to back too, and one
      // right after the cut-off.
      {"AttacksDuringTheRelease", 0.9,
       make(200,
            [](std::int32_t i) {
              switch (i) {
                case 5:
                  return 2.0f;
                case 17:
                  return -0.5f;
                case 40:
                  return 0.3f;
                case 41:
                  return -0.7f;
                case 99:
                  return 0.02f;
                case 150:
                  return 0.004f;
                default:
                  return 0.0f;
              }
            })},
      // Noise of the cut-off's own size: levels just above and below it.
      {"NoiseAroundTheCutOff", 0.99,
       make(200, [&](std::int32_t) { return (unit(random) - 0.5f) * 0.02f; })},
      // Without hold the level is the rectified sample, but 0 after a sample
      // at or below 0.005 that does not rise.
      {"NoHoldThroughZeroCrossings", 0.0,
       make(200, [](std::int32_t i) { return static_cast<float>(0.03 * std::sin(0.3 * i)); })},
      // A loud tone under a one-second hold: blocks all the way.
      {"LoudToneLongHold", 1.0 - 1.0 / 44100.0,
       make(200, [](std::int32_t i) { return static_cast<float>(20000.0 * std::sin(0.142 * i)); })},
      // Silence: exact zeros enter and leave the level at 0.
      {"Silence", 0.9, make(64, [](std::int32_t) { return 0.0f; })},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const auto total = static_cast<std::int32_t>(row.samples.size());
    for (const std::int32_t offset : {0, 1, 7, 15}) {
      for (const double start : {0.0, 0.004, 0.0051, 3.0}) {
        for (std::int32_t n = 0; n <= total - offset; ++n) {
          const float* x = row.samples.data() + offset;
          const double expected = FollowByTheRule(x, n, start, row.keep);
          const double level = MoskFollowPeak(x, n, start, row.keep);
          if (expected == 0.0) {
            ASSERT_EQ(level, 0.0) << "offset " << offset << " start " << start << " n " << n;
          } else {
            ASSERT_NEAR(level, expected, expected * 1e-12)
                << "offset " << offset << " start " << start << " n " << n;
          }
        }
      }
    }
  }
}

}  // namespace
