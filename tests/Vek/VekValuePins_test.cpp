// Value pins: the current value reaches every newly linked pin, pushes carry
// the type each receiver accepts, unchanged values send nothing, and clock
// sources tick only on clock operations.
#include "Vek/VekValuePins.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <map>
#include <string>
#include <vector>

#include "tests/Vek/VekTestFixtures.h"

namespace {

using namespace vektest;

// A sink that counts clock ticks.
class TClockSink : public TTestSinkPin {
  KESTRUNE_CLASS(TClockSink, TTestSinkPin)
  explicit TClockSink(TComponent* owner) : TTestSinkPin(owner, {VekClockType}) {}
  void ClockTick() override { ++ticks; }
  int ticks = 0;
};

class VekValuePinsTest : public ::testing::Test {
 public:
  // Logs "<pin name> <value>" for a Boolean change handler.
  void BoolChanged(TVekBasicPin* pin, bool value) {
    log_.push_back(names_[pin] + (value ? " true" : " false"));
  }

 protected:
  void SetUp() override {
    StartFramework();
    form_ = Create<TTestForm>(nullptr);
    form_->SetName("fmMain");
    owner_ = Create<TTestComponent>(form_);
    owner_->SetName("Owner");
  }
  void TearDown() override {
    for (auto it = pins_.rbegin(); it != pins_.rend(); ++it)
      (*it)->Free();
    FreeAndNil(form_);
  }
  template <class T, class... Args>
  T* Pin(Args&&... args) {
    T* pin = Create<T>(owner_, std::forward<Args>(args)...);
    pins_.push_back(pin);
    return pin;
  }
  // A sink accepting `types` that logs each delivery as "<class> <value>".
  TTestSinkPin* LoggingSink(std::vector<TGUID> types) {
    TTestSinkPin* sink = Pin<TTestSinkPin>(std::move(types));
    sink->OnReceive = [this](TTestSinkPin*, const TGUID&, IVekNotifyOperation* op, uint8_t) {
      log_.push_back(Describe(op));
      return false;
    };
    return sink;
  }
  static std::string Describe(IVekNotifyOperation* op) {
    if (auto* r = OperationAs<TVekSuppliedRealOperation>(op))
      return "real " + std::to_string(r->Value);
    if (auto* s = OperationAs<TVekSuppliedSingleOperation>(op))
      return "single " + std::to_string(s->Value);
    if (auto* b = OperationAs<TVekSuppliedBoolOperation>(op))
      return std::string("bool ") + (b->Value ? "true" : "false");
    return op->GetObject()->ClassName();
  }
  TTestForm* form_ = nullptr;
  TTestComponent* owner_ = nullptr;
  std::vector<TVekBasicPin*> pins_;
  std::vector<std::string> log_;
  std::map<TVekBasicPin*, std::string> names_;
};

// ---------------------------------------------------------------------------
// A new link gets the current value

struct LinkRow {
  const char* name;
  std::vector<TGUID> accepted;
  const char* expected;  // what every delivery after the second link carries
};

class VekRealLinkTest : public VekValuePinsTest, public ::testing::WithParamInterface<LinkRow> {};

// The source held 1.0 when the first sink was linked, then 2.5. The second
// sink, linked later, hears 2.5 at once, in its own type. (The value pins
// answer none of their types, so a link's type stays open and every sink of
// the source is brought up to date again: whatever any sink hears then is the
// current value, never an old one.)
TEST_P(VekRealLinkTest, EachNewLinkHearsTheCurrentValueInItsOwnType) {
  const LinkRow& row = GetParam();
  auto* source = Pin<TVekRealSourcePin>();
  source->SetValue(1.0);
  TTestSinkPin* early = LoggingSink(row.accepted);
  ASSERT_TRUE(early->Connect(source));
  source->SetValue(2.5);
  std::vector<std::string> earlyLog;
  std::vector<std::string> lateLog;
  early->OnReceive = [&](TTestSinkPin*, const TGUID&, IVekNotifyOperation* op, uint8_t) {
    earlyLog.push_back(Describe(op));
    return false;
  };
  TTestSinkPin* late = LoggingSink(row.accepted);
  late->OnReceive = [&](TTestSinkPin*, const TGUID&, IVekNotifyOperation* op, uint8_t) {
    lateLog.push_back(Describe(op));
    return false;
  };
  ASSERT_TRUE(late->Connect(source));
  ASSERT_FALSE(lateLog.empty()) << "the new link heard nothing";
  for (const std::string& heard : lateLog)
    EXPECT_EQ(heard, row.expected);
  for (const std::string& heard : earlyLog)
    EXPECT_EQ(heard, row.expected);
  EXPECT_EQ(source->GetSinkCount(), 2);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, VekRealLinkTest,
    ::testing::Values(
        LinkRow{"RealSinkGetsASuppliedReal", {VekRealSingleType}, "real 2.500000"},
        LinkRow{"FloatOnlySinkGetsASuppliedSingle", {VekFloatSingleType}, "single 2.500000"},
        LinkRow{"SinkOfBothTypesGetsTheReal",
                {VekFloatSingleType, VekRealSingleType},
                "real 2.500000"}),
    [](const ::testing::TestParamInfo<LinkRow>& info) { return info.param.name; });

TEST_F(VekValuePinsTest, BooleanValueReachesANewSinkAndANewStatePeer) {
  auto* enable = Pin<TVekBoolStatePin>(TVekBoolChangeHandler(this, &VekValuePinsTest::BoolChanged));
  names_[enable] = "enable";
  enable->SetValue(true);
  auto* sink = Pin<TVekBoolSinkPin>(TVekBoolChangeHandler(this, &VekValuePinsTest::BoolChanged));
  names_[sink] = "sink";
  ASSERT_TRUE(sink->Connect(enable));
  EXPECT_TRUE(sink->Value());
  EXPECT_EQ(log_, (std::vector<std::string>{"sink true"}));

  // A state peer joining later takes the value too, and its own (false)
  // does not overwrite the value held.
  log_.clear();
  auto* peer = Pin<TVekBoolStatePin>(TVekBoolChangeHandler(this, &VekValuePinsTest::BoolChanged));
  names_[peer] = "peer";
  ASSERT_TRUE(enable->ConnectState(peer));
  EXPECT_TRUE(peer->Value());
  EXPECT_TRUE(enable->Value());
  ASSERT_FALSE(log_.empty());
  EXPECT_EQ(log_.front(), "peer true");
  for (const std::string& entry : log_)
    EXPECT_NE(entry, "enable false") << "the joining peer overwrote the value";
}

// ---------------------------------------------------------------------------
// Pushes

struct SetRow {
  const char* name;
  double held;    // the value before
  double set;     // the value given to SetValue
  bool delivers;  // a push reaches the sink
};

class VekRealSetTest : public VekValuePinsTest, public ::testing::WithParamInterface<SetRow> {};

TEST_P(VekRealSetTest, OnlyAChangedValueIsPushed) {
  const SetRow& row = GetParam();
  auto* source = Pin<TVekRealSourcePin>();
  source->SetValue(row.held);
  TTestSinkPin* sink = LoggingSink({VekRealSingleType});
  ASSERT_TRUE(sink->Connect(source));
  log_.clear();
  source->SetValue(row.set);
  EXPECT_EQ(log_.size(), row.delivers ? 1u : 0u);
  if (row.delivers) {
    EXPECT_EQ(log_[0], "real " + std::to_string(row.set));
    EXPECT_EQ(source->Value(), row.set);
  } else {
    EXPECT_EQ(source->Value(), row.held) << "an unsent value was stored";
  }
}

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

INSTANTIATE_TEST_SUITE_P(Rows, VekRealSetTest,
                         ::testing::Values(SetRow{"ZeroOnANewPinSendsNothing", 0.0, 0.0, false},
                                           SetRow{"SameValueSendsNothing", 1.25, 1.25, false},
                                           SetRow{"NaNCountsAsEqual", 1.25, kNaN, false},
                                           SetRow{"NegativeZeroEqualsZero", 0.0, -0.0, false},
                                           SetRow{"ChangedValueIsPushed", 1.25, -4.0, true}),
                         [](const ::testing::TestParamInfo<SetRow>& info) {
                           return info.param.name;
                         });

TEST_F(VekValuePinsTest, APushReachesASinglePrecisionSinkAsASingle) {
  auto* source = Pin<TVekRealSourcePin>();
  TTestSinkPin* single = LoggingSink({VekFloatSingleType});
  TTestSinkPin* real = LoggingSink({VekRealSingleType});
  ASSERT_TRUE(single->Connect(source));
  ASSERT_TRUE(real->Connect(source));
  log_.clear();
  source->SetValue(1.25);
  std::sort(log_.begin(), log_.end());
  EXPECT_EQ(log_, (std::vector<std::string>{"real 1.250000", "single 1.250000"}));

  // Beyond the single range the single-precision sink gets an infinity.
  log_.clear();
  source->SetValue(1e300);
  std::sort(log_.begin(), log_.end());
  ASSERT_EQ(log_.size(), 2u);
  EXPECT_EQ(log_[1], "single inf");
}

TEST_F(VekValuePinsTest, StatePinTellsItsPeersNotItself) {
  const TVekBoolChangeHandler logged(this, &VekValuePinsTest::BoolChanged);
  auto* a = Pin<TVekBoolStatePin>(logged);
  auto* b = Pin<TVekBoolStatePin>(logged);
  auto* sink = Pin<TVekBoolSinkPin>(logged);
  names_[a] = "a";
  names_[b] = "b";
  names_[sink] = "sink";
  ASSERT_TRUE(a->ConnectState(b));
  ASSERT_TRUE(sink->Connect(a));
  log_.clear();
  a->SetValue(true);
  std::sort(log_.begin(), log_.end());
  EXPECT_EQ(log_, (std::vector<std::string>{"b true", "sink true"}));
  EXPECT_TRUE(b->Value());
  EXPECT_TRUE(sink->Value());
  log_.clear();
  a->SetValue(true);
  EXPECT_TRUE(log_.empty()) << "an unchanged value was sent";
  // A change from a peer comes back to the first pin's handler.
  b->SetValue(false);
  std::sort(log_.begin(), log_.end());
  EXPECT_EQ(log_, (std::vector<std::string>{"a false", "sink false"}));
  EXPECT_FALSE(a->Value());
}

TEST_F(VekValuePinsTest, BoolSinkIgnoresOtherOperations) {
  auto* sink = Pin<TVekBoolSinkPin>(TVekBoolChangeHandler(this, &VekValuePinsTest::BoolChanged));
  names_[sink] = "sink";
  IPtr<IVekNotifyOperation> real = NewOperation<TVekSuppliedRealOperation>(1.0);
  IPtr<IVekNotifyOperation> start = NewOperation<TVekStartOperation>();
  EXPECT_FALSE(sink->Receive(VekBooleanSingleType, real.get(), 0));
  EXPECT_FALSE(sink->Receive(VekBooleanSingleType, start.get(), 0));
  EXPECT_TRUE(log_.empty());
  EXPECT_FALSE(sink->Value());
}

// ---------------------------------------------------------------------------
// Clock

TEST_F(VekValuePinsTest, ClockTicksForClockOperationsOnlyAndNeverOnALink) {
  auto* clock = Pin<TVekClockSourcePin>();
  auto* sink = Pin<TClockSink>();
  ASSERT_TRUE(sink->Connect(clock));
  EXPECT_EQ(sink->ticks, 0) << "the link's synchronisation ticked";
  struct {
    IPtr<IVekNotifyOperation> op;
    int ticks;
  } rows[] = {
      {NewOperation<TVekClockOperation>(), 1},
      {NewOperation<TVekSuppliedRealOperation>(2.0), 1},
      {NewOperation<TVekSuppliedBufferOperation>(IPtr<IInterface>()), 1},
      {NewOperation<TVekNotifyOperation>(), 0},
      {NewOperation<TVekStartOperation>(), 0},
  };
  for (auto& row : rows) {
    sink->ticks = 0;
    clock->Notify(row.op.get());
    EXPECT_EQ(sink->ticks, row.ticks) << row.op->GetObject()->ClassName();
  }
  // A real-value source is a clock source too.
  auto* real = Pin<TVekRealSourcePin>();
  auto* other = Pin<TClockSink>();
  ASSERT_TRUE(other->Connect(real));
  real->SetValue(3.0);
  EXPECT_EQ(other->ticks, 1);
}

}  // namespace
