// A scope channel's intake: the size-limit rule for blocks and single
// values, integer conversion, the start and stop records, the commit and a
// later size limit.
#include "scope/TrelChannelData.h"

#include <gtest/gtest.h>

#include <numeric>
#include <string>
#include <variant>
#include <vector>

#include "signal/core/TrelStreamTypes.h"
#include "tests/signal/core/StreamPinFixtures.h"

namespace {

std::vector<double> Ramp(int from, int count) {
  std::vector<double> v(static_cast<std::size_t>(count));
  std::iota(v.begin(), v.end(), static_cast<double>(from));
  return v;
}

struct RealBlock {
  std::vector<double> values;
};
struct IntegerBlock {
  std::vector<std::int32_t> values;
};
struct Single {
  double value;
};
using Step = std::variant<RealBlock, IntegerBlock, Single>;

IPtr<IVekNotifyOperation> Supplied(IPtr<IInterface> buffer) {
  return NewOperation<TVekSuppliedBufferOperation>(std::move(buffer));
}

class TrelChannelDataTest : public ::testing::Test {
 protected:
  void SetUp() override { streamtest::StartStreamFramework(); }

  void Feed(TTrelChannelData& data, const Step& step) {
    if (auto* r = std::get_if<RealBlock>(&step)) {
      IPtr<ITrelRealBuffer> b =
          TTrelRealBuffer::CreateFromData(r->values.data(), static_cast<int>(r->values.size()));
      data.ProcessOperation(TrelRealBufferType, Supplied(IPtr<IInterface>(b.get())).get());
    } else if (auto* i = std::get_if<IntegerBlock>(&step)) {
      IPtr<ITrelIntegerBuffer> b =
          TTrelIntegerBuffer::CreateCount(static_cast<int>(i->values.size()));
      std::copy(i->values.begin(), i->values.end(), b->GetData());
      data.ProcessOperation(TrelIntegerBufferType, Supplied(IPtr<IInterface>(b.get())).get());
    } else {
      data.ProcessOperation(
          VekRealSingleType,
          NewOperation<TVekSuppliedRealOperation>(std::get<Single>(step).value).get());
    }
  }

  std::atomic<std::uint32_t> limit_{0};
  std::atomic<bool> full_redraw_{false};
};

TEST_F(TrelChannelDataTest, SizeLimitRule) {
  struct Case {
    const char* name;
    std::uint32_t limit;
    std::vector<Step> steps;
    std::vector<double> y, x;
  };
  std::vector<double> newest2048 = Ramp(1024, 1024);
  std::vector<double> second = Ramp(2048, 1024);
  newest2048.insert(newest2048.end(), second.begin(), second.end());
  const Case cases[] = {
      {"no limit keeps the block", 0, {RealBlock{Ramp(0, 1024)}}, Ramp(0, 1024), Ramp(0, 1024)},
      {"no limit: the last block only",
       0,
       {RealBlock{Ramp(0, 8)}, RealBlock{Ramp(100, 4)}},
       Ramp(100, 4),
       Ramp(0, 4)},
      {"first block below the limit",
       2048,
       {RealBlock{Ramp(0, 1024)}},
       Ramp(0, 1024),
       Ramp(0, 1024)},
      {"rolling at the limit",
       2048,
       {RealBlock{Ramp(0, 1024)}, RealBlock{Ramp(1024, 1024)}, RealBlock{Ramp(2048, 1024)}},
       newest2048,
       Ramp(0, 2048)},
      {"a block above the limit is cut to its end",
       100,
       {RealBlock{Ramp(0, 1024)}},
       Ramp(924, 100),
       Ramp(0, 100)},
      {"a block of exactly the limit",
       4,
       {RealBlock{Ramp(0, 2)}, RealBlock{Ramp(10, 4)}},
       Ramp(10, 4),
       Ramp(0, 4)},
      {"single values count on",
       3,
       {Single{5}, Single{6}, Single{7}, Single{8}},
       {6, 7, 8},
       {1, 2, 3}},
      {"single values without a limit", 0, {Single{1.5}, Single{-2}}, {1.5, -2}, {0, 1}},
      {"integer block converted", 0, {IntegerBlock{{1, -2, 3}}}, {1.0, -2.0, 3.0}, {0, 1, 2}},
      {"integer blocks rolled",
       4,
       {IntegerBlock{{1, 2, 3}}, IntegerBlock{{4, 5}}},
       {2, 3, 4, 5},
       {0, 1, 2, 3}},
      {"integer block cut", 2, {IntegerBlock{{7, 8, 9}}}, {8, 9}, {0, 1}},
      {"a block after single values restarts the indices",
       5,
       {Single{1}, RealBlock{{2, 3}}},
       {1, 2, 3},
       {0, 1, 2}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    limit_ = c.limit;
    TTrelChannelData data(limit_, full_redraw_);
    for (const Step& s : c.steps)
      Feed(data, s);
    EXPECT_EQ(data.IncomingYValues(), c.y);
    EXPECT_EQ(data.IncomingXValues(), c.x);
    EXPECT_TRUE(data.Changed());
    EXPECT_TRUE(full_redraw_.exchange(false));
  }
}

TEST_F(TrelChannelDataTest, StartsRecordTheirRateAndKindAndEmptyTheIncomingBuffers) {
  struct Case {
    const char* name;
    IPtr<IVekNotifyOperation> start;
    double rate;
    bool spectrum, intensity;
  };
  const Case cases[] = {
      {"sample-rate start gives its sample rate",
       NewOperation<TVekStartSampleRateOperation>(44100.0, 128), 44100.0, false, false},
      {"spectrum start", NewOperation<TVekStartSpectrumOperation>(44100.0, 128), 44100.0, true,
       false},
      {"intensity start", NewOperation<TVekStartIntensityOperation>(8000.0, 0), 8000.0, false,
       true},
      {"plain start-rate gives its rate", NewOperation<TVekStartRateOperation>(44100.0f), 44100.0,
       false, false},
      {"bare start", NewOperation<TVekStartOperation>(), 10000.0, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TTrelChannelData data(limit_, full_redraw_);
    Feed(data, RealBlock{{1, 2, 3}});
    data.Commit();
    data.ProcessOperation(TrelRealBufferType, c.start.get());
    EXPECT_TRUE(data.IncomingYValues().empty());
    EXPECT_TRUE(data.IncomingXValues().empty());
    // The display keeps its samples until the main thread takes the start.
    EXPECT_EQ(data.DisplayedY()->GetCount(), 3);
    const TTrelChannelData::TPendingStream taken = data.TakePendingStream();
    EXPECT_TRUE(taken.Started);
    EXPECT_FALSE(taken.Stopped);
    EXPECT_EQ(taken.SampleRate, c.rate);
    EXPECT_EQ(taken.IsSpectrum, c.spectrum);
    EXPECT_EQ(taken.IsIntensity, c.intensity);
    EXPECT_EQ(data.DisplayedY()->GetCount(), 0);
    EXPECT_FALSE(data.TakePendingStream().Started);
  }
  TTrelChannelData data(limit_, full_redraw_);
  data.ProcessOperation(TrelRealBufferType, NewOperation<TVekEndStopOperation>().get());
  EXPECT_TRUE(data.TakePendingStream().Stopped);
  // Other operations are ignored.
  data.ProcessOperation(VekBooleanSingleType, NewOperation<TVekSuppliedBoolOperation>(true).get());
  EXPECT_TRUE(data.IncomingYValues().empty());
  EXPECT_FALSE(data.Changed());
}

TEST_F(TrelChannelDataTest, AStartTakenAfterItsSamplesWereCommittedLetsTheNextCommitShowThem) {
  // The producer's start and block land between the main thread's look for
  // starts and its commit: the commit shows the block, the start is taken
  // at the next update.
  TTrelChannelData data(limit_, full_redraw_);
  data.ProcessOperation(TrelRealBufferType,
                        NewOperation<TVekStartSampleRateOperation>(44100.0, 0).get());
  Feed(data, RealBlock{{7, 8, 9}});
  data.Commit();
  ASSERT_EQ(data.DisplayedY()->GetCount(), 3);
  full_redraw_ = false;
  EXPECT_TRUE(data.TakePendingStream().Started);
  EXPECT_EQ(data.DisplayedY()->GetCount(), 0);
  EXPECT_TRUE(data.Changed());
  EXPECT_TRUE(full_redraw_.load());
  data.Commit();
  ASSERT_EQ(data.DisplayedY()->GetCount(), 3);
  EXPECT_EQ(data.DisplayedY()->GetValue(2), 9.0);
  EXPECT_EQ(data.DisplayedX()->GetValue(2), 2.0);
}

TEST_F(TrelChannelDataTest, CommitSharesWithoutCopyingAndLaterBlocksWaitForTheNextCommit) {
  TTrelChannelData data(limit_, full_redraw_);
  Feed(data, RealBlock{Ramp(0, 16)});
  data.Commit();
  EXPECT_FALSE(data.Changed());
  ASSERT_EQ(data.DisplayedY()->GetCount(), 16);
  EXPECT_EQ(data.DisplayedY()->GetValue(15), 15.0);
  EXPECT_EQ(data.DisplayedX()->GetValue(15), 15.0);
  EXPECT_EQ(data.CommittedY()->GetData(), data.DisplayedY()->GetData());
  Feed(data, RealBlock{Ramp(100, 16)});
  EXPECT_TRUE(data.Changed());
  EXPECT_EQ(data.DisplayedY()->GetValue(0), 0.0);  // the display is unchanged
  data.Commit();
  EXPECT_EQ(data.DisplayedY()->GetValue(0), 100.0);

  // Rolling in place after a commit leaves the displayed samples alone.
  limit_ = 4;
  TTrelChannelData rolled(limit_, full_redraw_);
  Feed(rolled, RealBlock{{1, 2}});
  Feed(rolled, RealBlock{{3, 4}});
  rolled.Commit();
  Feed(rolled, RealBlock{{5, 6}});
  EXPECT_EQ(rolled.IncomingYValues(), (std::vector<double>{3, 4, 5, 6}));
  EXPECT_EQ(rolled.DisplayedY()->GetValue(0), 1.0);
}

TEST_F(TrelChannelDataTest, ALowerSizeLimitKeepsTheNewestSamples) {
  TTrelChannelData data(limit_, full_redraw_);
  Feed(data, RealBlock{Ramp(0, 10)});
  limit_ = 4;
  data.ApplySizeLimit(4);
  EXPECT_EQ(data.IncomingYValues(), Ramp(6, 4));
  EXPECT_EQ(data.IncomingXValues(), Ramp(0, 4));
  data.ApplySizeLimit(0);  // no limit: nothing to cut
  EXPECT_EQ(data.IncomingYValues(), Ramp(6, 4));
}

}  // namespace
