// Sink pins leaving their source other than by Connect, and links whose
// first delivery raises.
#include "Vek/VekPins.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "Vek/VekStdTypes.h"
#include "tests/Vek/VekTestFixtures.h"

namespace {

using namespace vektest;

class VekSinkPinTest : public ::testing::Test {
 protected:
  void SetUp() override {
    StartFramework();
    form_ = Create<TTestForm>(nullptr);
    form_->SetName("fmMain");
  }
  void TearDown() override { FreeAndNil(form_); }

  TTestComponent* Component(const std::string& name) {
    auto* c = Create<TTestComponent>(form_);
    c->SetName(name);
    return c;
  }
  static bool ChainHolds(TVekSinkPin* sink, const void* pin) {
    IPtr<TVekObjectList> chain = sink->LockChain();
    for (int i = 0; i < chain->Count(); ++i) {
      if (static_cast<const void*>(chain->Item(i)) == pin)
        return true;
    }
    return false;
  }

  TTestForm* form_ = nullptr;
};

// How a sink pin leaves its source without Connect(nullptr).
struct LeavingCase {
  const char* name;
  // (the sink's component, its source's component, two joined state pins)
  void (*leave)(TTestComponent* sink, TTestComponent* source, TTestComponent* peer);
};

class VekSinkPinLeavingTest : public VekSinkPinTest,
                              public ::testing::WithParamInterface<LeavingCase> {};

// The sink drops its source, the source is freed, then the sink is asked to
// deliver: nothing of the old source may be locked or called (under
// AddressSanitizer a stale lock chain or handler is a use after free), and
// the sink below the pass-through no longer locks the old source either.
TEST_P(VekSinkPinLeavingTest, TheOldSourceIsForgottenWholeBeforeItGoes) {
  TTestComponent* source = Component("Src");
  TTestComponent* through = Component("Through");
  TTestComponent* below = Component("Below");
  TTestComponent* peer = Component("Peer");
  TTestComponent* other = Component("Other");
  through->MakePassThrough();
  // The sink carries the type itself, so that its link gets a handler.
  through->InputPin->AddStreamType(TypeA);
  ASSERT_TRUE(through->InputPin->Connect(source->OutputPin));
  ASSERT_TRUE(below->InputPin->Connect(through->OutputPin));
  ASSERT_TRUE(peer->StatePin->ConnectState(other->StatePin));
  ASSERT_TRUE(ChainHolds(through->InputPin, source->OutputPin));
  ASSERT_TRUE(ChainHolds(below->InputPin, source->OutputPin));

  GetParam().leave(through, source, peer);
  EXPECT_EQ(through->InputPin->GetSourcePin(), nullptr);
  EXPECT_EQ(source->OutputPin->GetSinkCount(), 0);
  const void* gone = source->OutputPin;
  source->Free();

  EXPECT_EQ(through->InputPin->GetSourcePin(), nullptr);
  EXPECT_FALSE(ChainHolds(through->InputPin, gone));
  EXPECT_FALSE(ChainHolds(below->InputPin, gone));
  int received = 0;
  below->InputPin->OnReceive = [&](TTestSinkPin*, const TGUID&, IVekNotifyOperation*, uint8_t) {
    ++received;
    return true;
  };
  EXPECT_FALSE(through->InputPin->Notify(NewOperation<TVekNotifyOperation>().get()));
  EXPECT_FALSE(below->InputPin->Notify(NewOperation<TVekNotifyOperation>().get()));
  EXPECT_EQ(received, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Ways, VekSinkPinLeavingTest,
    ::testing::Values(
        LeavingCase{"JoiningAStatePinsDispatcher",
                    [](TTestComponent* sink, TTestComponent*, TTestComponent* peer) {
                      ASSERT_TRUE(peer->StatePin->ConnectState(sink->InputPin));
                    }},
        LeavingCase{"JoiningAFreshDispatcher",
                    [](TTestComponent* sink, TTestComponent* source, TTestComponent*) {
                      ASSERT_TRUE(source->StatePin->ConnectState(sink->InputPin));
                    }},
        LeavingCase{"SetDispatcher",
                    [](TTestComponent* sink, TTestComponent*, TTestComponent* peer) {
                      ASSERT_TRUE(sink->InputPin->SetDispatcher(peer->StatePin->GetDispatcher()));
                    }},
        LeavingCase{"DisconnectOnBothSidesWithoutPlaceholder",
                    [](TTestComponent* sink, TTestComponent* source, TTestComponent*) {
                      sink->InputPin->Disconnect(source->OutputPin, false);
                      source->OutputPin->Disconnect(sink->InputPin, false);
                    }}),
    [](const auto& info) { return std::string(info.param.name); });

// A receiver that raises on the delivery that brings a new sink up to date:
// the exception reaches the caller, and the link is whole all the same (both
// sides, the lock chains down the graph), so the next push arrives below.
TEST_F(VekSinkPinTest, LinkWhoseFirstDeliveryRaisesIsFinishedAndTheExceptionPasses) {
  TTestComponent* source = Component("Src");
  TTestComponent* through = Component("Through");
  TTestComponent* below = Component("Below");
  through->MakePassThrough();
  ASSERT_TRUE(below->InputPin->Connect(through->OutputPin));
  auto passOn = through->InputPin->OnReceive;
  through->InputPin->OnReceive = [passOn](TTestSinkPin* pin, const TGUID& type,
                                          IVekNotifyOperation* op, uint8_t flags) -> bool {
    if (flags == VekNotifyDirect)
      throw Exception("receiver failed");
    return passOn(pin, type, op, flags);
  };
  int arrived = 0;
  below->InputPin->OnReceive = [&](TTestSinkPin*, const TGUID&, IVekNotifyOperation*,
                                   uint8_t flags) {
    if (!(flags & VekNotifySync))
      ++arrived;
    return true;
  };

  EXPECT_THROW(through->InputPin->Connect(source->OutputPin), Exception);

  EXPECT_EQ(through->InputPin->GetSourcePin(), source->OutputPin);
  EXPECT_EQ(source->OutputPin->GetSinkCount(), 1);
  EXPECT_EQ(through->InputPin->LinkType(), TypeA);
  EXPECT_TRUE(ChainHolds(through->InputPin, source->OutputPin));
  EXPECT_TRUE(ChainHolds(below->InputPin, source->OutputPin));
  EXPECT_EQ(GlobalLock->SentinelValue(), TVekGlobalLockObject::SentinelFree);
  EXPECT_EQ(source->OutputPin->DispatchDepth(), 0);
  IPtr<IVekNotifyOperation> op = NewOperation<TVekNotifyOperation>();
  source->OutputPin->Notify(op.get());
  EXPECT_EQ(arrived, 1);
}

}  // namespace
