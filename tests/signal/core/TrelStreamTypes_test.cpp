// Signal stream pins: which links they make, what a sink linked mid-stream
// or unlinked hears, how pushes carry buffers and single values, and what
// happens to a receiver's exception. Plus the buffer stream types and the
// sample-rate start operation.
#include "signal/core/TrelStreamTypes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <iterator>
#include <limits>
#include <ostream>
#include <string>
#include <vector>

#include "Vek/VekValuePins.h"
#include "tests/signal/core/StreamPinFixtures.h"

namespace {

using namespace streamtest;
using Lines = std::vector<std::string>;

// A sink that counts clock ticks.
class TClockSink : public vektest::TTestSinkPin {
  KESTRUNE_CLASS(TClockSink, vektest::TTestSinkPin)
  explicit TClockSink(TComponent* owner) : TTestSinkPin(owner, {VekClockType}) {}
  void ClockTick() override { ++Ticks; }
  int Ticks = 0;
};

// A sink accepting "Float single" only, logging through the recorder.
class TFloatSink : public vektest::TTestSinkPin {
  KESTRUNE_CLASS(TFloatSink, vektest::TTestSinkPin)
  TFloatSink(TComponent* owner, TVekNotifyHandler handler)
      : TTestSinkPin(owner, {VekFloatSingleType}) {
    OnReceive = [handler](TTestSinkPin* self, const TGUID& type, IVekNotifyOperation* op,
                          uint8_t flags) { return handler(self, type, flags, op); };
  }
};

// A source of integer buffers (no pin class of the system makes them).
class TIntegerSource : public vektest::TTestSourcePin {
  KESTRUNE_CLASS(TIntegerSource, vektest::TTestSourcePin)
  explicit TIntegerSource(TComponent* owner) : TTestSourcePin(owner, {TrelIntegerBufferType}) {}
};

IPtr<ITrelRealBuffer> RealSamples(std::vector<double> values) {
  return TTrelRealBuffer::CreateFromData(values.data(), static_cast<std::int32_t>(values.size()));
}

// ---------------------------------------------------------------------------
// The buffer stream types

TEST(TrelBufferTypes, StartUpRegistersEachTypeFunctionAndBufferType) {
  StartStreamFramework();
  struct Row {
    const char* name;
    TGUID type;
    std::int32_t elementSize;
  };
  const Row rows[] = {{"block", TrelBlockBufferType, 1},
                      {"block2", TrelBlockBufferType2, 1},
                      {"real", TrelRealBufferType, 8},
                      {"integer", TrelIntegerBufferType, 4},
                      {"complex", TrelComplexBufferType, 16}};
  ASSERT_EQ(BufferTypeTable().size(), std::size(rows));
  for (size_t i = 0; i < std::size(rows); ++i) {
    const Row& row = rows[i];
    SCOPED_TRACE(row.name);
    const TVekStreamTypeRecord* registered = LookupStreamType(row.type);
    ASSERT_NE(registered, nullptr);
    EXPECT_EQ(registered->Function, &BufferTypeFunction);
    EXPECT_TRUE(registered->Name.empty());
    const TTrelBufferTypeRecord& record = BufferTypeTable()[i];
    EXPECT_EQ(record.StreamType, row.type) << "registration order";
    EXPECT_EQ(record.ElementSize, row.elementSize);
    EXPECT_EQ(record.StartHandler, &BufferStartHandler);
    IPtr<ITrelDataBuffer> made = record.Factory(3);
    EXPECT_EQ(made->GetByteSize(), 3 * row.elementSize);
  }
  EXPECT_EQ(LookupStreamType(TrelSignalLinkType), nullptr) << "the link type delivers nothing";
}

IPtr<ITrelDataBuffer> NoBuffer(std::int32_t) {
  return {};
}
void NoStart(ITrelDataBuffer*, IVekNotifyOperation*) {}

TEST(TrelBufferTypes, RegisteringAKnownTypeAgainKeepsItsElementSize) {
  StartStreamFramework();
  const TTrelBufferTypeRecord saved = *FindBufferType(TrelRealBufferType);
  const size_t count = BufferTypeTable().size();
  RegisterBufferType(TrelRealBufferType, 99, &NoBuffer, &NoStart);
  const TTrelBufferTypeRecord* record = FindBufferType(TrelRealBufferType);
  EXPECT_EQ(record->ElementSize, 8);
  EXPECT_EQ(record->Factory, &NoBuffer);
  EXPECT_EQ(record->StartHandler, &NoStart);
  EXPECT_EQ(BufferTypeTable().size(), count);
  RegisterBufferType(TrelRealBufferType, 8, saved.Factory, saved.StartHandler);
}

TEST(TrelBufferTypes, BufferStartHandlerSetsTheCountOfSampleRateStartsOnly) {
  StartStreamFramework();
  struct Row {
    const char* name;
    std::function<IPtr<IVekNotifyOperation>()> make;
    std::int32_t expectedCount;
  };
  const Row rows[] = {
      {"SampleRateStart", [] { return NewOperation<TVekStartSampleRateOperation>(44100.0, 1024); },
       1024},
      {"SpectrumStart", [] { return NewOperation<TVekStartSpectrumOperation>(8000.0, 16); }, 16},
      {"PlainRateStart", [] { return NewOperation<TVekStartRateOperation>(5.0f); }, 10},
      {"CountZeroChangesNothing",
       [] { return NewOperation<TVekStartSampleRateOperation>(44100.0, 0); }, 10},
      {"SuppliedBuffer",
       [] { return NewOperation<TVekSuppliedBufferOperation>(IPtr<IInterface>()); }, 10},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    IPtr<ITrelRealBuffer> buffer = RealSamples({0, 1, 2, 3, 4, 5, 6, 7, 8, 9});
    IPtr<IVekNotifyOperation> op = row.make();
    BufferStartHandler(buffer.get(), op.get());
    ASSERT_EQ(buffer->GetCount(), row.expectedCount);
    for (int i = 0; i < 10 && i < row.expectedCount; ++i)
      EXPECT_EQ(buffer->GetValue(i), i) << "the samples are kept";
  }
}

TEST(TrelStartSampleRate, RateIsTheSampleRatePerBlockInSinglePrecision) {
  struct Row {
    const char* name;
    double sampleRate;
    std::int32_t count;
    float rate;
  };
  const float inf = std::numeric_limits<float>::infinity();
  const Row rows[] = {{"PerBlock", 44100.0, 1024, 43.06640625f},
                      {"CountZeroGivesTheSampleRate", 44100.0, 0, 44100.0f},
                      {"NegativeCountGivesTheSampleRate", 44100.0, -3, 44100.0f},
                      {"BeyondSingleRangeIsInfinite", 1e300, 1, inf},
                      {"NegativeBeyondSingleRangeIsMinusInfinite", -1e300, 0, -inf}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    IPtr<TVekStartSampleRateOperation> op =
        CreateCounted<TVekStartSampleRateOperation>(row.sampleRate, row.count);
    EXPECT_EQ(op->Rate, row.rate);
    EXPECT_EQ(op->Count, row.count);
    EXPECT_EQ(op->SampleRate, row.sampleRate);
  }
}

// ---------------------------------------------------------------------------
// Links

class TrelStreamPinsTest : public StreamPinTest {};

TEST_F(TrelStreamPinsTest, LinkTypeIsTheLastSourceTypeTheSinkAccepts) {
  using Make = std::function<TVekBasicPin*(TrelStreamPinsTest*)>;
  auto make = []<class T>(const char* name) -> Make {
    return [name](TrelStreamPinsTest* t) -> TVekBasicPin* { return t->Pin<T>(name); };
  };
  struct Row {
    const char* name;
    Make source;
    Make sink;
    bool links;
    TGUID type;
  };
  const Row rows[] = {
      {"RealToReal", make.operator()<TTrelVekRealSourcePin>("source"),
       make.operator()<TTrelVekRealSinkPin>("sink"), true, TrelRealBufferType},
      {"RealToCombo", make.operator()<TTrelVekRealSourcePin>("source"),
       make.operator()<TTrelVekComboRealSinkPin>("sink"), true, TrelRealBufferType},
      {"RealToComboInt", make.operator()<TTrelVekRealSourcePin>("source"),
       make.operator()<TTrelVekComboRealIntSinkPin>("sink"), true, TrelRealBufferType},
      {"RealToFloatOnlySink", make.operator()<TTrelVekRealSourcePin>("source"),
       make.operator()<TFloatSink>("sink"), true, VekFloatSingleType},
      {"SignalSourceToClockSink", make.operator()<TTrelVekSourcePin>("source"),
       make.operator()<TClockSink>("sink"), true, VekClockType},
      {"IntegerToComboInt", make.operator()<TIntegerSource>("source"),
       make.operator()<TTrelVekComboRealIntSinkPin>("sink"), true, TrelIntegerBufferType},
      {"IntegerToComboRefused",
       make.operator()<TIntegerSource>("source"),
       make.operator()<TTrelVekComboRealSinkPin>("sink"),
       false,
       {}},
      {"RealToPlainSignalSinkRefused",
       make.operator()<TTrelVekRealSourcePin>("source"),
       make.operator()<TTrelVekSinkPin>("sink"),
       false,
       {}},
      {"SignalSourceToRealSinkRefused",
       make.operator()<TTrelVekSourcePin>("source"),
       make.operator()<TTrelVekRealSinkPin>("sink"),
       false,
       {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    auto* source = static_cast<TVekSourcePin*>(row.source(this));
    TVekBasicPin* sink = row.sink(this);
    EXPECT_EQ(sink->Connect(source), row.links);
    EXPECT_EQ(source->IsConnectedTo(sink), row.links);
    if (row.links) {
      EXPECT_EQ(source->GetLinkType(sink), row.type);
    }
    EXPECT_TRUE(recorder_.Log.empty()) << "a link delivers nothing";
  }
}

TEST_F(TrelStreamPinsTest, BufferReachesEverySinkAsTheSameObject) {
  auto* source = Pin<TTrelVekRealSourcePin>("source");
  auto* real = Pin<TTrelVekRealSinkPin>("real");
  auto* combo = Pin<TTrelVekComboRealIntSinkPin>("combo");
  ASSERT_TRUE(real->Connect(source));
  ASSERT_TRUE(combo->Connect(source));
  IPtr<ITrelRealBuffer> samples = RealSamples({0.5, -0.25});

  source->SendData(samples.get());

  EXPECT_EQ(recorder_.Log,
            (Lines{"real TVekSuppliedBufferOperation", "combo TVekSuppliedBufferOperation"}));
  EXPECT_EQ(recorder_.Flags, (std::vector<uint8_t>{0, VekNotifyLast}));
  for (size_t i = 0; i < recorder_.Operations.size(); ++i) {
    EXPECT_EQ(recorder_.Types[i], TrelRealBufferType);
    auto* supplied = OperationAs<TVekSuppliedBufferOperation>(recorder_.Operations[i].get());
    ASSERT_NE(supplied, nullptr);
    EXPECT_EQ(Supports<ITrelRealBuffer>(supplied->Buffer).get(), samples.get());
  }
  recorder_.Clear();
  EXPECT_EQ(samples->GetBufferObject()->RefCount(), 1) << "the push keeps no reference";
}

TEST_F(TrelStreamPinsTest, SourceFedSinksSendOperationsUpstreamToOnUpstream) {
  auto* source = Pin<TTrelVekRealSourcePin>("source");
  auto* sink = Pin<TTrelVekRealSinkPin>("sink");
  ASSERT_TRUE(sink->Connect(source));
  recorder_.Handled = true;
  IPtr<IVekNotifyOperation> pump = NewOperation<TVekMasterPumpOperation>();
  for (const TGUID& type : {TrelRealBufferType, TrelSignalReceiveType}) {
    IPtr<IVekStreamReceive> upstream = QueryStreamReceive(source, type);
    ASSERT_TRUE(upstream);
    EXPECT_TRUE(upstream->Receive(sink->GetLinkType(source), pump.get(), 0));
  }
  EXPECT_EQ(recorder_.Log,
            (Lines{"source TVekMasterPumpOperation", "source TVekMasterPumpOperation"}));
  EXPECT_EQ(recorder_.Types, (std::vector<TGUID>{TrelRealBufferType, TrelRealBufferType}));

  source->OnUpstream = {};
  auto* plain = Pin<TTrelVekSourcePin>("plain");
  for (TVekBasicPin* pin : std::initializer_list<TVekBasicPin*>{source, plain})
    EXPECT_FALSE(QueryStreamReceive(pin, TrelSignalReceiveType)->Receive({}, pump.get(), 0));
}

// ---------------------------------------------------------------------------
// A sink linked mid-stream, and one unlinked

enum class Step { Start, SampleRateStart, Buffer, Stop, SendStop };

struct ReplayRow {
  const char* name;
  std::vector<Step> pushed;
  bool linkFromSource;  // source->Connect (through ConnectTo) instead of sink->Connect
  Lines heard;          // by the sink linked afterwards
};
void PrintTo(const ReplayRow& row, std::ostream* os) {
  *os << row.name;
}

class TrelReplayTest : public StreamPinTest, public ::testing::WithParamInterface<ReplayRow> {};

TEST_P(TrelReplayTest, NewSinkHearsTheLastStartAloneAndNoBuffer) {
  const ReplayRow& row = GetParam();
  auto* source = Pin<TTrelVekRealSourcePin>("source");
  auto* early = Pin<TTrelVekRealSinkPin>("early");
  ASSERT_TRUE(early->Connect(source));
  IPtr<IVekNotifyOperation> lastNotified;
  for (Step step : row.pushed) {
    IPtr<IVekNotifyOperation> op;
    switch (step) {
      case Step::Start:
        op = NewOperation<TVekStartOperation>();
        break;
      case Step::SampleRateStart:
        op = NewOperation<TVekStartSampleRateOperation>(44100.0, 1024);
        break;
      case Step::Buffer:
        source->SendData(RealSamples({1.0}).get());
        continue;
      case Step::Stop:
        op = NewOperation<TVekStopOperation>();
        break;
      case Step::SendStop:
        source->SendStop();
        continue;
    }
    source->Notify(op.get());
    lastNotified = op;
  }
  const Lines earlyHeard = recorder_.Of(early);

  auto* late = Pin<TTrelVekRealSinkPin>("late");
  ASSERT_TRUE(row.linkFromSource ? source->Connect(late) : late->Connect(source));

  EXPECT_EQ(recorder_.Of(late), row.heard);
  EXPECT_EQ(recorder_.Of(early), earlyHeard) << "the replay goes to the new sink alone";
  if (!row.heard.empty()) {
    EXPECT_EQ(recorder_.Operations.back().get(), lastNotified.get())
        << "the start pushed, replayed";
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, TrelReplayTest,
    ::testing::Values(
        ReplayRow{"NeverStarted", {}, false, {}},
        ReplayRow{"StartThenBuffers",
                  {Step::Start, Step::Buffer, Step::Buffer},
                  false,
                  {"TVekStartOperation"}},
        ReplayRow{"SampleRateStartIsReplayedAsItself",
                  {Step::SampleRateStart, Step::Buffer},
                  false,
                  {"TVekStartSampleRateOperation"}},
        ReplayRow{"LaterStartReplacesTheEarlier",
                  {Step::Start, Step::Buffer, Step::SampleRateStart},
                  false,
                  {"TVekStartSampleRateOperation"}},
        ReplayRow{"LinkThroughTheSourceHearsItTwice",
                  {Step::Start, Step::Buffer, Step::Buffer},
                  true,
                  {"TVekStartOperation", "TVekStartOperation"}},
        ReplayRow{"AfterSendStopNothing", {Step::Start, Step::Buffer, Step::SendStop}, false, {}},
        ReplayRow{"AfterAPlainStopNothing", {Step::Start, Step::Stop}, false, {}},
        ReplayRow{"RestartAfterStopReplaysTheNewStart",
                  {Step::Start, Step::Stop, Step::SampleRateStart},
                  false,
                  {"TVekStartSampleRateOperation"}}),
    [](const ::testing::TestParamInfo<ReplayRow>& info) { return info.param.name; });

struct UnlinkRow {
  const char* name;
  std::function<void(StreamPinTest*, TVekSourcePin* source, TVekSinkPin* sink)> unlink;
  Lines otherHeard;  // by a second sink of the same source
};
void PrintTo(const UnlinkRow& row, std::ostream* os) {
  *os << row.name;
}

class TrelUnlinkTest : public StreamPinTest, public ::testing::WithParamInterface<UnlinkRow> {};

TEST_P(TrelUnlinkTest, UnlinkedSinkHearsAStopFirstEvenWhenNeverStarted) {
  auto* source = Pin<TTrelVekRealSourcePin>("source");
  auto* sink = Pin<TTrelVekRealSinkPin>("sink");
  auto* other = Pin<TTrelVekRealSinkPin>("other");
  ASSERT_TRUE(sink->Connect(source));
  ASSERT_TRUE(other->Connect(source));

  GetParam().unlink(this, source, sink);

  EXPECT_EQ(recorder_.Of(sink), Lines{"TVekStopOperation"});
  EXPECT_EQ(recorder_.Of(other), GetParam().otherHeard);
  EXPECT_EQ(source->GetSinkCount(), GetParam().otherHeard.empty() ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, TrelUnlinkTest,
    ::testing::Values(
        UnlinkRow{"SinkConnectsToNothing",
                  [](StreamPinTest*, TVekSourcePin*, TVekSinkPin* sink) { sink->Connect(nullptr); },
                  {}},
        UnlinkRow{"SinkDisconnectsAll",
                  [](StreamPinTest*, TVekSourcePin*, TVekSinkPin* sink) { sink->DisconnectAll(); },
                  {}},
        UnlinkRow{"SinkMovesToAnotherSource",
                  [](StreamPinTest* t, TVekSourcePin*, TVekSinkPin* sink) {
                    auto* next = t->Pin<TTrelVekRealSourcePin>("n");
                    ASSERT_TRUE(sink->Connect(next));
                  },
                  {}},
        UnlinkRow{"SinkIsFreed",
                  [](StreamPinTest* t, TVekSourcePin*, TVekSinkPin* sink) { t->FreePin(sink); },
                  {}},
        UnlinkRow{
            "SourceDisconnectsAll",
            [](StreamPinTest*, TVekSourcePin* source, TVekSinkPin*) { source->DisconnectAll(); },
            {"TVekStopOperation"}}),
    [](const ::testing::TestParamInfo<UnlinkRow>& info) { return info.param.name; });

TEST_F(TrelStreamPinsTest, UnlinkingOneSinkLeavesTheStreamStartedForTheOthers) {
  auto* source = Pin<TTrelVekRealSourcePin>("source");
  auto* first = Pin<TTrelVekRealSinkPin>("first");
  ASSERT_TRUE(first->Connect(source));
  Push<TVekStartOperation>(source);
  first->Connect(nullptr);
  auto* second = Pin<TTrelVekRealSinkPin>("second");
  ASSERT_TRUE(second->Connect(source));
  EXPECT_EQ(recorder_.Of(first), (Lines{"TVekStartOperation", "TVekStopOperation"}));
  EXPECT_EQ(recorder_.Of(second), Lines{"TVekStartOperation"});
}

// ---------------------------------------------------------------------------
// Receivers that raise

TEST_F(TrelStreamPinsTest, SendDataDropsAReceiversExceptionAndServesNoLaterSink) {
  auto* source = Pin<TTrelVekRealSourcePin>("source");
  auto* failing = Pin<TTrelVekRealSinkPin>("failing");
  auto* later = Pin<TTrelVekRealSinkPin>("later");
  ASSERT_TRUE(failing->Connect(source));
  ASSERT_TRUE(later->Connect(source));
  recorder_.ThrowOn = "TVekSuppliedBufferOperation";

  EXPECT_FALSE(source->SendData(RealSamples({1.0}).get()));
  EXPECT_EQ(recorder_.Log, Lines{"failing TVekSuppliedBufferOperation"});

  recorder_.ThrowOn.clear();
  recorder_.Clear();
  source->SendData(RealSamples({2.0}).get());
  EXPECT_EQ(recorder_.Log.size(), 2u) << "the pin pushes normally afterwards";
  EXPECT_EQ(source->DispatchDepth(), 0);

  recorder_.ThrowOn = "TVekEndStopOperation";
  EXPECT_THROW(source->SendStop(), Exception) << "SendStop lets it pass";
  recorder_.ThrowOn.clear();
  recorder_.Clear();
  EXPECT_FALSE(source->SendData(nullptr));
  EXPECT_TRUE(recorder_.Log.empty()) << "no buffer, nothing sent";
}

TEST_F(TrelStreamPinsTest, AStartWhosePushRaisedIsStillReplayed) {
  auto* source = Pin<TTrelVekRealSourcePin>("source");
  auto* failing = Pin<TTrelVekRealSinkPin>("failing");
  ASSERT_TRUE(failing->Connect(source));
  recorder_.ThrowOn = "TVekStartOperation";
  EXPECT_THROW(Push<TVekStartOperation>(source), Exception);
  recorder_.ThrowOn.clear();
  auto* late = Pin<TTrelVekRealSinkPin>("late");
  ASSERT_TRUE(late->Connect(source));
  EXPECT_EQ(recorder_.Of(late), Lines{"TVekStartOperation"});
}

TEST_F(TrelStreamPinsTest, LinkAndUnlinkCompleteWhenTheReceiverRaises) {
  auto* source = Pin<TTrelVekRealSourcePin>("source");
  Push<TVekStartOperation>(source);
  auto* sink = Pin<TTrelVekRealSinkPin>("sink");
  recorder_.ThrowOn = "TVekStartOperation";
  ASSERT_TRUE(sink->Connect(source)) << "the replayed start raised";
  EXPECT_EQ(sink->GetSourcePin(), source);
  EXPECT_EQ(sink->GetLinkType(source), TrelRealBufferType);
  EXPECT_EQ(recorder_.Of(sink), Lines{"TVekStartOperation"});

  recorder_.ThrowOn = "TVekStopOperation";
  source->DisconnectAll();
  EXPECT_EQ(sink->GetSourcePin(), nullptr);
  EXPECT_EQ(source->GetSinkCount(), 0);
  EXPECT_EQ(recorder_.Of(sink), (Lines{"TVekStartOperation", "TVekStopOperation"}));
}

// ---------------------------------------------------------------------------
// Single values and clock ticks from a signal source

TEST_F(TrelStreamPinsTest, FloatOnlySinkHearsTheFirstSampleOfEachBuffer) {
  auto* source = Pin<TTrelVekRealSourcePin>("source");
  auto* sink = Pin<TFloatSink>("sink");
  ASSERT_TRUE(sink->Connect(source));
  source->SendData(RealSamples({2.5, 7.0}).get());
  source->SendData(RealSamples({-1.0}).get());
  Push<TVekStartOperation>(source);
  EXPECT_EQ(recorder_.Log, (Lines{"sink single 2.500000", "sink single -1.000000"}));
  EXPECT_EQ(recorder_.Types, (std::vector<TGUID>{VekFloatSingleType, VekFloatSingleType}));
}

TEST_F(TrelStreamPinsTest, DispatchRealRefusesBuffersWithoutAFirstRealSample) {
  auto* source = Pin<TTrelVekRealSourcePin>("source");
  auto* sink = Pin<TFloatSink>("sink");
  struct Row {
    const char* name;
    IPtr<ITrelDataBuffer> buffer;
    const char* message;
  };
  const Row rows[] = {
      {"EmptyRealBuffer", TTrelRealBuffer::CreateEmpty(), "Index out of rabge = 0"},
      {"IntegerBuffer", TTrelIntegerBuffer::CreateCount(2), "Interface non supportée"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    IPtr<IVekNotifyOperation> op = NewOperation<TVekSuppliedBufferOperation>(
        IPtr<IInterface>(static_cast<IInterface*>(row.buffer.get())));
    try {
      source->DispatchReal(sink, VekFloatSingleType, VekNotifyLast, op.get());
      ADD_FAILURE() << "no exception";
    } catch (const Exception& e) {
      EXPECT_EQ(e.Message(), row.message);
    }
    ASSERT_TRUE(sink->Connect(source));
    EXPECT_FALSE(source->SendData(row.buffer.get())) << "SendData drops it";
    sink->Connect(nullptr);
  }
  EXPECT_TRUE(recorder_.Log.empty());
}

TEST_F(TrelStreamPinsTest, ClockSinkTicksOncePerClockOperationPushed) {
  auto* source = Pin<TTrelVekSourcePin>("source");
  auto* clock = Pin<TClockSink>("clock");
  ASSERT_TRUE(clock->Connect(source));
  EXPECT_EQ(clock->Ticks, 0) << "not on the link";
  Push<TVekStartOperation>(source);
  source->SendData(RealSamples({1.0}).get());
  Push<TVekClockOperation>(source);
  EXPECT_EQ(clock->Ticks, 2);
}

}  // namespace
