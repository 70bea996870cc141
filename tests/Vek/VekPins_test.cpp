// Pins, links, pushes, state dispatchers, placeholders and stored links.
#include "Vek/VekPins.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "Vek/VekStdTypes.h"
#include "platform/classes/Streaming.h"
#include "tests/Vek/VekTestFixtures.h"

namespace {

using namespace vektest;

class VekPinsTest : public ::testing::Test {
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
  // A sink that logs "<name>:<flags>" and answers `handled`.
  TTestSinkPin* LoggingSink(const std::string& name, bool handled = false) {
    TTestSinkPin* sink = Component(name)->InputPin;
    sink->OnReceive = [this, name, handled](TTestSinkPin*, const TGUID&, IVekNotifyOperation*,
                                            uint8_t flags) {
      log_.push_back(name + ":" + std::to_string(flags));
      return handled;
    };
    return sink;
  }
  bool Push(TVekSourcePin* source) {
    log_.clear();
    IPtr<IVekNotifyOperation> op = NewOperation<TVekNotifyOperation>();
    return source->Notify(op.get());
  }

  TTestForm* form_ = nullptr;
  std::vector<std::string> log_;
};

// ---------------------------------------------------------------------------
// Registry, operations, events

TEST_F(VekPinsTest, RegistryAppendsNewTypesAndKeepsTheStandardNames) {
  const TGUID fresh = TGUID::Parse("{C0000000-0000-4000-8000-0000000000C1}");
  const int count = static_cast<int>(StreamTypeRegistry().size());
  EXPECT_EQ(FindStreamType(fresh), count);
  EXPECT_EQ(FindStreamType(fresh), count) << "a known GUID got a second record";
  RegisterStreamTypeName(fresh, "Fresh");
  EXPECT_EQ(LookupStreamType(fresh)->Name, "Fresh");
  EXPECT_EQ(LookupStreamType(fresh)->Function, nullptr);
  EXPECT_EQ(LookupStreamType(VekStringType)->Name, "Sting");
  EXPECT_EQ(LookupStreamType(VekGenericType)->Function, &GenericTypeFunction);
  EXPECT_EQ(LookupStreamType(VekClockType), nullptr);
}

TEST_F(VekPinsTest, TypeRegisteredWithoutFunctionDeliversNothing) {
  const TGUID named = TGUID::Parse("{C0000000-0000-4000-8000-0000000000C2}");
  RegisterStreamTypeName(named, "Named only");
  TTestComponent* c = Component("C1");
  TTestSinkPin* sink = LoggingSink("K", true);
  sink->AcceptStreamType(named);
  IPtr<IVekNotifyOperation> op = NewOperation<TVekNotifyOperation>();
  EXPECT_FALSE(c->OutputPin->DefaultTypeHandler(sink, named, 0, op.get()));
  EXPECT_TRUE(c->OutputPin->DefaultTypeHandler(sink, TypeA, 0, op.get()));
  EXPECT_EQ(log_.size(), 1u);
}

TEST_F(VekPinsTest, OperationsNumberThemselvesAndTellTheirKind) {
  IPtr<IVekNotifyOperation> a = NewOperation<TVekNotifyOperation>();
  IPtr<IVekNotifyOperation> b = NewOperation<TVekSuppliedRealOperation>(2.5);
  EXPECT_EQ(OperationAs<TVekNotifyOperation>(b.get())->SerialNumber(),
            OperationAs<TVekNotifyOperation>(a.get())->SerialNumber() + 1);
  EXPECT_NE(OperationAs<TVekClockOperation>(b.get()), nullptr) << "a supplied value is a clock";
  EXPECT_EQ(OperationAs<TVekStartOperation>(b.get()), nullptr);
  IPtr<IVekNotifyOperation> end = NewOperation<TVekEndStopOperation>();
  EXPECT_NE(OperationAs<TVekStopOperation>(end.get()), nullptr);
}

class RecordingListener : public TInterfacedObject, public IVekPinEvents {
  KESTRUNE_CLASS(RecordingListener, TInterfacedObject)
  explicit RecordingListener(bool raise) : raise_(raise) {}
  HRESULT QueryInterface(const TGUID& iid, void** obj) override {
    HRESULT r = QueryInterfaceTable<IVekPinEvents>(this, iid, obj);
    return r == S_OK ? r : TInterfacedObject::QueryInterface(iid, obj);
  }
  void Hit(const std::string& what) {
    events.push_back(what);
    if (raise_)
      throw Exception("listener failed");
  }
  void BroadcastPinCreated(TVekBasicPin*) override { Hit("created"); }
  void BroadcastPinDestroying(TVekBasicPin*, bool) override { Hit("destroying"); }
  void BroadcastPinLinksChanged(TVekBasicPin*) override { Hit("links"); }
  void BroadcastPinJoinedDispatcher(TVekBasicPin*, TObject*) override { Hit("joined"); }
  void BroadcastPinUnlinking(TVekBasicPin*, TObject*) override { Hit("unlinking"); }
  void BroadcastPinListCreated(TObject*) override {}
  void BroadcastPinListDestroying(TObject*) override {}
  void BroadcastPinListChanged(TObject*) override {}
  void BroadcastPinListPinAdded(TObject*, TVekBasicPin*, int) override {}
  void BroadcastPinListPinRemoved(TObject*, TVekBasicPin*, int) override {}
  void BroadcastPinListExchanged(TObject*, TVekBasicPin*, int, int, TVekBasicPin*) override {}
  void BroadcastDispatcherCreated(TVekStateDispatcher*) override { Hit("dispatcher"); }
  void BroadcastDispatcherDestroying(TVekStateDispatcher*, bool) override {}
  void BroadcastDispatcherChanged(TVekStateDispatcher*) override {}
  std::vector<std::string> events;

 private:
  bool raise_;
};

TEST_F(VekPinsTest, RaisingListenerStopsNeitherThePinNorTheOtherListeners) {
  IPtr<RecordingListener> raising(Create<RecordingListener>(true));
  IPtr<RecordingListener> quiet(Create<RecordingListener>(false));
  PinEventListeners()->Add(IPtr<IInterface>(static_cast<IVekPinEvents*>(raising.get())));
  PinEventListeners()->Add(IPtr<IInterface>(static_cast<IVekPinEvents*>(quiet.get())));
  TTestComponent* c = Component("C1");
  TTestSinkPin* sink = LoggingSink("K");
  EXPECT_TRUE(sink->Connect(c->OutputPin));
  PinEventListeners()->Clear();
  ASSERT_GE(quiet->events.size(), 3u);
  EXPECT_EQ(quiet->events[0], "created");
  EXPECT_EQ(raising->events, quiet->events);
  EXPECT_EQ(sink->GetSourcePin(), c->OutputPin);
}

// ---------------------------------------------------------------------------
// Paths

// A stand-in for the pin list: numbered pins with optional names.
class TFakePinList : public TPersistent, public TVekPinListAccess {
  KESTRUNE_CLASS(TFakePinList, TPersistent)
  TObject* PinListObject() override { return this; }
  int PinEntryCount() override { return static_cast<int>(pins.size()); }
  TVekBasicPin* PinEntry(int i) override { return pins.at(i); }
  int IndexOfPin(TVekBasicPin* pin) override {
    for (size_t i = 0; i < pins.size(); ++i) {
      if (pins[i] == pin)
        return static_cast<int>(i);
    }
    return -1;
  }
  std::string GetPinName(int i) override {
    return names.at(i).empty() ? "Pin [" + std::to_string(i) + "]" : names.at(i);
  }
  std::vector<TVekBasicPin*> pins;
  std::vector<std::string> names;
};

class TListComponent : public TComponent {
  KESTRUNE_CLASS(TListComponent, TComponent)
  explicit TListComponent(TComponent* owner) : TComponent(owner) {
    list = Create<TFakePinList>();
    for (int i = 0; i < 2; ++i) {
      auto* pin = Create<TTestSinkPin>(this);
      pin->PinList = list;
      list->pins.push_back(pin);
      list->names.push_back(i == 1 ? "Channel1" : "");
    }
  }
  ~TListComponent() override {
    for (TVekBasicPin* p : list->pins)
      p->Free();
    list->Free();
  }
  TFakePinList* GetPins() { return list; }
  TFakePinList* list;
};

struct PathRow {
  const char* name;
  int pin;  // 0: published pin, 1: list pin 0, 2: list pin 1 (named), 3: no owner
  bool withRoot;
  bool identifierForm;
  const char* expected;
};

class VekPinPathTest : public VekPinsTest, public ::testing::WithParamInterface<PathRow> {};

TEST_P(VekPinPathTest, BuildsBothForms) {
  static bool registered = false;
  if (!registered) {
    RegisterClass<TListComponent>().Object("OutputPins", &TListComponent::GetPins);
    registered = true;
  }
  const PathRow& row = GetParam();
  TTestComponent* amp = Component("MoskAmplifier1");
  auto* lists = Create<TListComponent>(form_);
  lists->SetName("MoskAudioToReal1");
  std::unique_ptr<TTestSinkPin, void (*)(TTestSinkPin*)> orphan(Create<TTestSinkPin>(nullptr),
                                                                [](TTestSinkPin* p) { p->Free(); });
  TVekBasicPin* pins[] = {amp->OutputPin, lists->list->pins[0], lists->list->pins[1], orphan.get()};
  TVekBasicPin* pin = pins[row.pin];
  const std::string path =
      row.identifierForm ? pin->GetFullPathEx(row.withRoot) : pin->GetFullPath(row.withRoot);
  EXPECT_EQ(path, row.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, VekPinPathTest,
    ::testing::Values(
        PathRow{"PublishedDisplay", 0, false, false, "MoskAmplifier1.OutputPin"},
        PathRow{"PublishedIdentWithRoot", 0, true, true, "fmMain.MoskAmplifier1.OutputPin"},
        PathRow{"PublishedDisplayWithRoot", 0, true, false, "fmMain.MoskAmplifier1.OutputPin"},
        PathRow{"ListPinIdent", 1, true, true, "fmMain.MoskAudioToReal1.OutputPins._Pin0"},
        PathRow{"ListPinDisplayDefaultName", 1, true, false,
                "fmMain.MoskAudioToReal1.OutputPins.Pin [0]"},
        PathRow{"NamedListPinIdent", 2, false, true, "MoskAudioToReal1.OutputPins._Pin1"},
        PathRow{"NamedListPinDisplay", 2, false, false, "MoskAudioToReal1.OutputPins.Channel1"},
        PathRow{"NoOwnerDisplay", 3, true, false, "(No owner)"},
        PathRow{"NoOwnerIdent", 3, false, true, "(No owner)"}),
    [](const ::testing::TestParamInfo<PathRow>& info) { return info.param.name; });

TEST_F(VekPinsTest, OwnerNamesAndStoredRootNames) {
  TTestComponent* c = Component("MoskRemoveDC1");
  EXPECT_EQ(c->InputPin->GetOwnerName(), "fmMain");
  EXPECT_EQ(c->InputPin->GetOwnerPath(), "MoskRemoveDC1");
  EXPECT_EQ(c->InputPin->GetRelativePath(), "InputPin");
  c->InputPin->StoredFormName = "fmOld";
  struct Row {
    const char* stored;
    const char* fixed;
  } rows[] = {
      {"fmOld.MoskRemoveDC1.InputPin", "fmMain.MoskRemoveDC1.InputPin"},
      {"fmOldX.MoskRemoveDC1.InputPin", "fmOldX.MoskRemoveDC1.InputPin"},
      {"fmOld", "fmOld"},
  };
  for (const Row& r : rows)
    EXPECT_EQ(c->InputPin->FixStoredPath(r.stored), r.fixed) << r.stored;
  std::unique_ptr<TTestSinkPin, void (*)(TTestSinkPin*)> orphan(Create<TTestSinkPin>(nullptr),
                                                                [](TTestSinkPin* p) { p->Free(); });
  EXPECT_EQ(orphan->GetOwnerName(), "");
  EXPECT_EQ(orphan->GetOwnerPath(), "");
}

// ---------------------------------------------------------------------------
// Stream types

TEST_F(VekPinsTest, LastRegisteredCommonTypeWins) {
  TComponent* owner = Component("C1");
  auto* ab = Create<TTestStatePin>(owner);
  auto* ba = Create<TTestStatePin>(owner);
  ab->StreamTypes().Add(TypeB, {});
  ab->AcceptStreamType(TypeB);
  ba->StreamTypes().Remove(TypeA);
  ba->StreamTypes().Add(TypeB, {});
  ba->StreamTypes().Add(TypeA, {});
  ba->AcceptStreamType(TypeB);
  EXPECT_EQ(ab->FindCommonType(ba), TypeB);
  EXPECT_EQ(ba->FindCommonType(ab), TypeA);
  ab->Free();
  ba->Free();

  auto* source = Create<TTestSourcePin>(owner, std::vector<TGUID>{TypeA, TypeB});
  auto* both = Create<TTestSinkPin>(owner, std::vector<TGUID>{TypeA, TypeB});
  auto* onlyA = Create<TTestSinkPin>(owner, std::vector<TGUID>{TypeA});
  auto* neither = Create<TTestSinkPin>(owner, std::vector<TGUID>{});
  EXPECT_EQ(source->NegotiateStreamType(both), TypeB);
  EXPECT_EQ(source->NegotiateStreamType(onlyA), TypeA);
  EXPECT_TRUE(source->NegotiateStreamType(neither).IsNull());
  EXPECT_FALSE(neither->Connect(source)) << "linked without a common type";
  EXPECT_TRUE(both->Connect(source));
  EXPECT_EQ(source->GetLinkType(both), TypeB);
  for (TVekBasicPin* p : std::vector<TVekBasicPin*>{both, onlyA, neither, source})
    p->Free();
}

TEST_F(VekPinsTest, OutputWhoseTypeFollowsItsInputOffersWhatTheInputIsGiven) {
  TComponent* owner = Component("Filter");
  auto* upstream = Create<TTestSourcePin>(owner, std::vector<TGUID>{TypeB});
  auto* input = Create<TTestSinkPin>(owner, std::vector<TGUID>{TypeA, TypeB});
  auto* output = Create<TTestSourcePin>(owner, std::vector<TGUID>{TypeB, TypeA});
  auto* below = Create<TTestSinkPin>(owner, std::vector<TGUID>{TypeA, TypeB});
  EXPECT_EQ(output->QueryTypeInterfaceOut(TypeA), S_OK) << "no dependencies: no objection";
  EXPECT_EQ(output->QueryTypeInterfaceIn(TypeA), S_OK);
  EXPECT_EQ(output->NegotiateStreamType(below), TypeA);
  output->DataTypeDependencies()->Add(input, /*joinLocks=*/false);
  ASSERT_TRUE(input->Connect(upstream));
  EXPECT_EQ(output->QueryPinInterface(TypeA), E_NOINTERFACE) << "the input cannot be given A";
  EXPECT_EQ(output->QueryPinInterface(TypeB), S_OK);
  EXPECT_EQ(output->NegotiateStreamType(below), TypeB);
  output->DataTypeDependencies()->Remove(input);
  EXPECT_EQ(output->QueryPinInterface(TypeA), S_OK);
  for (TVekBasicPin* p : std::vector<TVekBasicPin*>{below, output, input, upstream})
    p->Free();
}

// ---------------------------------------------------------------------------
// Pushes

TEST_F(VekPinsTest, LastSinkGetsTheLastFlagAndATargetOnlyItsOwn) {
  TTestComponent* c = Component("Src");
  TTestSinkPin* sinks[] = {LoggingSink("A"), LoggingSink("B"), LoggingSink("C")};
  for (TTestSinkPin* s : sinks)
    ASSERT_TRUE(s->Connect(c->OutputPin));
  Push(c->OutputPin);
  EXPECT_EQ(log_, (std::vector<std::string>{"A:0", "B:0", "C:2"}));
  log_.clear();
  IPtr<IVekNotifyOperation> op = NewOperation<TVekNotifyOperation>();
  c->OutputPin->NotifyTarget(op.get(), sinks[1]);
  EXPECT_EQ(log_, (std::vector<std::string>{"B:0"}));
  log_.clear();
  c->OutputPin->NotifyTarget(op.get(), sinks[2]);
  EXPECT_EQ(log_, (std::vector<std::string>{"C:2"}));
}

// A push with a target reaches that target alone, also when the source has
// state peers: a sink target serves no peer, a peer target no sink and no
// other peer. A push without target serves the peers first, then the sinks.
TEST_F(VekPinsTest, ATargetedPushServesNoStatePeerButItsTarget) {
  TTestComponent* c = Component("Src");
  TTestSinkPin* sinks[] = {LoggingSink("A"), LoggingSink("B")};
  for (TTestSinkPin* s : sinks)
    ASSERT_TRUE(s->Connect(c->OutputPin));
  TTestStatePin* peers[] = {Component("P")->StatePin, Component("Q")->StatePin};
  for (TTestStatePin* peer : peers) {
    ASSERT_TRUE(c->OutputPin->ConnectState(peer));
    const std::string name = peer->Owner()->Name();
    peer->OnReceive = [this, name](TTestStatePin*, const TGUID&, IVekNotifyOperation*,
                                   uint8_t flags) {
      log_.push_back(name + ":" + std::to_string(flags));
      return false;
    };
  }
  IPtr<IVekNotifyOperation> op = NewOperation<TVekNotifyOperation>();
  log_.clear();
  c->OutputPin->NotifyTarget(op.get(), sinks[0]);
  EXPECT_EQ(log_, (std::vector<std::string>{"A:0"}));
  log_.clear();
  c->OutputPin->NotifyTarget(op.get(), peers[0]);
  EXPECT_EQ(log_, (std::vector<std::string>{"P:2"}));
  Push(c->OutputPin);
  EXPECT_EQ(log_, (std::vector<std::string>{"P:0", "Q:2", "A:0", "B:2"}));
}

TEST_F(VekPinsTest, HandlingSinksDriftBackAndDependentsFollowTheirDependency) {
  TTestComponent* c = Component("Src");
  TTestSinkPin* a = LoggingSink("A", /*handled=*/true);
  TTestSinkPin* b = LoggingSink("B", /*handled=*/false);
  ASSERT_TRUE(a->Connect(c->OutputPin));
  ASSERT_TRUE(b->Connect(c->OutputPin));
  Push(c->OutputPin);
  EXPECT_EQ(log_, (std::vector<std::string>{"A:0", "B:2"}));
  EXPECT_EQ(c->OutputPin->SinkEntries().FindBySink(a)->Counter, 3);
  Push(c->OutputPin);
  EXPECT_EQ(log_, (std::vector<std::string>{"B:0", "A:2"}));

  // D declared as depending on E, which sits behind it: D moves right
  // behind E at the end of the push.
  TTestComponent* s2 = Component("Src2");
  TTestSinkPin* d = LoggingSink("D");
  TTestSinkPin* e = LoggingSink("E");
  TTestSinkPin* f = LoggingSink("F");
  ASSERT_TRUE(e->Connect(s2->OutputPin));
  ASSERT_TRUE(f->Connect(s2->OutputPin));
  ASSERT_TRUE(s2->OutputPin->ConnectTo(d, e));
  s2->OutputPin->SinkEntries().Entries().insert(s2->OutputPin->SinkEntries().Entries().begin(),
                                                s2->OutputPin->SinkEntries().Entries().back());
  s2->OutputPin->SinkEntries().Entries().pop_back();
  Push(s2->OutputPin);
  EXPECT_EQ(log_, (std::vector<std::string>{"D:0", "E:0", "F:2"}));
  Push(s2->OutputPin);
  EXPECT_EQ(log_, (std::vector<std::string>{"E:0", "D:0", "F:2"}));
}

TEST_F(VekPinsTest, RecursionDepthLimitAndItsText) {
  TTestComponent* c = Component("Loop");
  TTestSinkPin* sink = Component("Sink")->InputPin;
  ASSERT_TRUE(sink->Connect(c->OutputPin));
  int active = 0;
  int deepest = 0;
  sink->OnReceive = [&](TTestSinkPin*, const TGUID&, IVekNotifyOperation* op, uint8_t) {
    ++active;
    deepest = std::max(deepest, active);
    struct Leave {
      int& n;
      ~Leave() { --n; }
    } leave{active};
    c->OutputPin->Notify(op);
    return false;
  };
  IPtr<IVekNotifyOperation> op = NewOperation<TVekNotifyOperation>();
  try {
    c->OutputPin->Notify(op.get());
    FAIL() << "no exception";
  } catch (const EVekException& e) {
    EXPECT_STREQ(e.what(), "The pin depends on itself. Please protect with functional dependency.");
  }
  EXPECT_EQ(deepest, 201) << "pushes active at once in one pin";
  EXPECT_EQ(c->OutputPin->DispatchDepth(), 0) << "the depth was not restored";
  EXPECT_EQ(GlobalLock->SentinelValue(), TVekGlobalLockObject::SentinelFree);
  auto lock = c->OutputPin->LockObject();
  EXPECT_FALSE(static_cast<TVekLockObject*>(lock->GetObject())->HeldByCurrentThread());
  // The stream goes on: a push that does not recurse is delivered.
  sink->OnReceive = nullptr;
  EXPECT_FALSE(c->OutputPin->Notify(op.get()));
}

TEST_F(VekPinsTest, RaisingHandlerLeavesNoLockAndTheStreamGoesOn) {
  TTestComponent* c = Component("Src");
  TTestComponent* down = Component("Down");
  down->MakePassThrough();
  TTestSinkPin* last = LoggingSink("Last");
  ASSERT_TRUE(down->InputPin->Connect(c->OutputPin));
  ASSERT_TRUE(last->Connect(down->OutputPin));
  bool raise = true;
  last->OnReceive = [&](TTestSinkPin*, const TGUID&, IVekNotifyOperation*, uint8_t flags) {
    if (flags & VekNotifySync)
      return false;
    if (raise)
      throw Exception("handler failed");
    log_.push_back("Last");
    return true;
  };
  for (int i = 0; i < 250; ++i)
    EXPECT_THROW(Push(c->OutputPin), Exception);
  EXPECT_EQ(c->OutputPin->DispatchDepth(), 0);
  EXPECT_EQ(down->OutputPin->DispatchDepth(), 0);
  EXPECT_EQ(GlobalLock->SentinelValue(), TVekGlobalLockObject::SentinelFree);
  EXPECT_EQ(GlobalLock->ReadDepth(), 0u);
  for (TVekObject* o : std::vector<TVekObject*>{c->OutputPin, down->InputPin, last}) {
    auto lock = o->LockObject();
    EXPECT_FALSE(static_cast<TVekLockObject*>(lock->GetObject())->HeldByCurrentThread());
  }
  raise = false;
  Push(c->OutputPin);
  EXPECT_EQ(log_, (std::vector<std::string>{"Last"}));
}

TEST_F(VekPinsTest, DirectNotificationRefusedBeyondTenActiveDeliveries) {
  TTestComponent* c = Component("Src");
  TTestSinkPin* sink = LoggingSink("K");
  ASSERT_TRUE(sink->Connect(c->OutputPin));
  int depth = 0;
  bool raised = false;
  sink->OnReceive = [&](TTestSinkPin*, const TGUID&, IVekNotifyOperation* op, uint8_t flags) {
    if (flags & VekNotifySync)
      return false;
    if (++depth == 11) {
      try {
        c->OutputPin->NotifySink(sink);
      } catch (const EVekException&) {
        raised = true;
      }
      return false;
    }
    c->OutputPin->Notify(op);
    return false;
  };
  Push(c->OutputPin);
  EXPECT_TRUE(raised);
  EXPECT_EQ(c->OutputPin->DispatchDepth(), 0);
}

// ---------------------------------------------------------------------------
// Links

TEST_F(VekPinsTest, RelinkingMovesTheSinkAndDisconnectAllEmptiesTheSource) {
  TTestComponent* a = Component("A");
  TTestComponent* b = Component("B");
  TTestSinkPin* k1 = LoggingSink("K1");
  TTestSinkPin* k2 = LoggingSink("K2");
  ASSERT_TRUE(k1->Connect(a->OutputPin));
  EXPECT_TRUE(k1->Connect(a->OutputPin)) << "relinking the same source";
  EXPECT_TRUE(k1->Connect(b->OutputPin));
  EXPECT_EQ(a->OutputPin->GetSinkCount(), 0);
  EXPECT_EQ(b->OutputPin->GetSink(0), k1);
  ASSERT_TRUE(k2->Connect(b->OutputPin));
  b->OutputPin->DisconnectAll();
  EXPECT_EQ(b->OutputPin->GetSinkCount(), 0);
  EXPECT_EQ(k1->GetSourcePin(), nullptr);
  EXPECT_EQ(k2->GetSourcePin(), nullptr);
  EXPECT_FALSE(k1->Notify(NewOperation<TVekNotifyOperation>().get()));
}

TEST_F(VekPinsTest, LinkClosingACycleIsRefused) {
  TTestComponent* a = Component("A");
  TTestComponent* b = Component("B");
  a->MakePassThrough();
  b->MakePassThrough();
  ASSERT_TRUE(b->InputPin->Connect(a->OutputPin));
  EXPECT_FALSE(a->InputPin->Connect(b->OutputPin));
  EXPECT_EQ(a->InputPin->GetSourcePin(), nullptr);
  EXPECT_TRUE(b->OutputPin->IsDependentOn(a->InputPin));
  EXPECT_FALSE(b->OutputPin->IsDependentOn(Component("X")->InputPin));
}

TEST_F(VekPinsTest, SinkNotifyDeliversUpstreamUnderItsLockChain) {
  TTestComponent* a = Component("A");
  TTestComponent* b = Component("B");
  TTestComponent* c2 = Component("C");
  b->MakePassThrough();
  c2->MakePassThrough();
  // B's output depends on two inputs: the lock chain of a sink below it has
  // two branches.
  auto* second = Create<TTestSinkPin>(b);
  b->OutputPin->FunctionDependencies()->Add(second, false);
  // The sink lists the type too, so that its own deliveries go upstream.
  c2->InputPin->AddStreamType(TypeA);
  ASSERT_TRUE(b->InputPin->Connect(a->OutputPin));
  ASSERT_TRUE(c2->InputPin->Connect(b->OutputPin));
  IPtr<TVekObjectList> chain = c2->InputPin->LockChain();
  ASSERT_EQ(chain->Count(), 5);
  EXPECT_EQ(chain->Item(chain->Count() - 1), c2->InputPin) << "the sink itself comes last";
  // Branches are emptied from their upstream ends, the last branch first.
  EXPECT_EQ(chain->Item(0), second);
  EXPECT_EQ(chain->Item(1), a->OutputPin);
  int upstream = 0;
  b->OutputPin->OnUpstream = [&](const TGUID&, IVekNotifyOperation*, uint8_t flags) {
    ++upstream;
    EXPECT_EQ(flags, VekNotifyLast);
    return true;
  };
  EXPECT_TRUE(c2->InputPin->Notify(NewOperation<TVekStopOperation>().get()));
  EXPECT_EQ(upstream, 1);
  // A raising handler leaves no pin of the chain locked.
  b->OutputPin->OnUpstream = [](const TGUID&, IVekNotifyOperation*, uint8_t) -> bool {
    throw Exception("upstream failed");
  };
  EXPECT_THROW(c2->InputPin->Notify(NewOperation<TVekStopOperation>().get()), Exception);
  for (int i = 0; i < chain->Count(); ++i) {
    auto lock = chain->Item(i)->LockObject();
    EXPECT_FALSE(static_cast<TVekLockObject*>(lock->GetObject())->HeldByCurrentThread()) << i;
  }
  EXPECT_EQ(GlobalLock->ReadDepth(), 0u);
  b->OutputPin->FunctionDependencies()->Remove(second);
  EXPECT_EQ(c2->InputPin->LockChain()->Count(), 4);
  second->Free();
}

// ---------------------------------------------------------------------------
// State pins

TEST_F(VekPinsTest, DispatchersAreNamedAfterTheRootAndDissolve) {
  TTestComponent* a = Component("A");
  TTestComponent* b = Component("B");
  TTestComponent* c = Component("C");
  ASSERT_TRUE(a->StatePin->ConnectState(b->StatePin));
  TVekStateDispatcher* first = a->StatePin->GetDispatcher();
  EXPECT_EQ(first->Name(), "fmMainLink1");
  TTestComponent* d = Component("D");
  ASSERT_TRUE(c->StatePin->ConnectState(d->StatePin));
  EXPECT_EQ(c->StatePin->GetDispatcher()->Name(), "fmMainLink2");
  EXPECT_EQ(a->StatePin->GetStateLinkCount(), 2);
  b->StatePin->DisconnectAll();
  EXPECT_EQ(a->StatePin->GetDispatcher(), nullptr) << "the last pin keeps a dispatcher";
  EXPECT_EQ(a->StatePin->GetStateLinkCount(), 0);
  ASSERT_TRUE(a->StatePin->ConnectState(b->StatePin));
  EXPECT_EQ(a->StatePin->GetDispatcher()->Name(), "fmMainLink1");
}

TEST_F(VekPinsTest, SynchronisationRules) {
  TTestComponent* p[3] = {Component("P1"), Component("P2"), Component("P3")};
  for (TTestComponent* c : p) {
    std::string name = c->Name();
    c->StatePin->OnReceive = [this, name](TTestStatePin*, const TGUID&, IVekNotifyOperation*,
                                          uint8_t) {
      log_.push_back(name);
      return false;
    };
  }
  ASSERT_TRUE(p[0]->StatePin->ConnectState(p[1]->StatePin));
  ASSERT_TRUE(p[0]->StatePin->ConnectState(p[2]->StatePin));
  TTestSinkPin* sink = LoggingSink("K");
  ASSERT_TRUE(sink->SetDispatcher(p[0]->StatePin->GetDispatcher()));
  log_.clear();
  p[1]->StatePin->SyncStatePeers();
  // P2 sends to P1, P3 and the sink; P1 and P3 each send to P2; the sink
  // sends nothing.
  std::sort(log_.begin(), log_.end());
  EXPECT_EQ(log_, (std::vector<std::string>{"K:3", "P1", "P2", "P2", "P3"}));

  // With a source pin joined only the source sends, to the changed pin.
  TTestComponent* s = Component("S");
  ASSERT_TRUE(s->OutputPin->SetDispatcher(p[0]->StatePin->GetDispatcher()));
  log_.clear();
  p[1]->StatePin->SyncStatePeers();
  EXPECT_EQ(log_, (std::vector<std::string>{"P2"}));
}

// ---------------------------------------------------------------------------
// Placeholders

TEST_F(VekPinsTest, PlaceholderHoldsALinkUntilItsPinAppears) {
  TTestComponent* a = Component("A");
  TVekBasicPin* p = ResolvePinByPath(AllPins(), form_, vpkSource, "fmMain.Late.OutputPin",
                                     "fmMain.Late.OutputPin", "fmMain.A.InputPin");
  auto* placeholder = dynamic_cast<TVekUnloadedPin*>(p);
  ASSERT_NE(placeholder, nullptr);
  EXPECT_EQ(placeholder->GetPinKind(), vpkSource);
  EXPECT_EQ(placeholder->GetFullPath(false), "Late.OutputPin");
  EXPECT_EQ(placeholder->GetOwnerComponent(), nullptr);
  EXPECT_EQ(ResolvePinByPath(AllPins(), form_, vpkSource, "fmMain.Late.OutputPin",
                             "fmMain.Late.OutputPin", ""),
            p)
      << "a second link made a second placeholder";
  ASSERT_TRUE(a->InputPin->Connect(p));
  EXPECT_EQ(a->InputPin->GetSourcePin(), p);
  TTestComponent* late = Component("Late");
  late->OutputPin->AdoptPlaceholders();
  EXPECT_EQ(a->InputPin->GetSourcePin(), late->OutputPin);
  EXPECT_EQ(late->OutputPin->GetSink(0), a->InputPin);
  EXPECT_EQ(UnloadedPins()->Count(), 0);

  TVekBasicPin* idle = ResolvePinByPath(AllPins(), form_, vpkSink, "fmMain.Never.InputPin",
                                        "fmMain.Never.InputPin", "");
  ASSERT_EQ(UnloadedPins()->Count(), 1);
  idle->SetHoldCount(0);
  EXPECT_EQ(UnloadedPins()->Count(), 0);
}

TEST_F(VekPinsTest, DesignTimeLinkToAFormBeingDestroyedSurvivesAsAPlaceholder) {
  form_->SetDesigning(true);
  TTestComponent* src = Component("Src");
  auto* other = Create<TTestForm>(nullptr);
  other->SetName("fmOther");
  other->SetDesigning(true);
  auto* far = Create<TTestComponent>(other);
  far->SetName("Far");
  ASSERT_TRUE(far->InputPin->Connect(src->OutputPin));
  ASSERT_TRUE(src->InputPin->ConnectEx(nullptr, nullptr));
  other->Free();
  ASSERT_EQ(src->OutputPin->GetSinkCount(), 1) << "the stored link was lost";
  auto* placeholder = dynamic_cast<TVekUnloadedPin*>(src->OutputPin->GetSink(0));
  ASSERT_NE(placeholder, nullptr);
  EXPECT_EQ(placeholder->GetPinKind(), vpkSink);
  EXPECT_TRUE(placeholder->Designing());
  src->OutputPin->DisconnectAll();
  EXPECT_EQ(UnloadedPins()->Count(), 0) << "an unlinked placeholder stayed";
}

// ---------------------------------------------------------------------------
// Stored links

TEST_F(VekPinsTest, LinksRoundTripThroughTheTextFormatInEitherLoadingOrder) {
  // "Early" is stored before the components it links to in both directions:
  // its input names a later source, its output a later sink.
  TTestComponent* early = Component("Early");
  TTestComponent* src = Component("Src");
  TTestComponent* dst = Component("Dst");
  ASSERT_TRUE(early->InputPin->Connect(src->OutputPin));
  ASSERT_TRUE(dst->InputPin->Connect(early->OutputPin));
  ASSERT_TRUE(src->StatePin->ConnectState(dst->StatePin));
  // Dst2 is served behind Dst: the dependency is stored and restored too.
  TTestComponent* dst2 = Component("Dst2");
  ASSERT_TRUE(early->OutputPin->ConnectTo(dst2->InputPin, dst->InputPin));
  const std::string text = WriteComponentToText(form_);
  EXPECT_NE(text.find("OutputPin.SinkPins = (fmMain.Early.InputPin)"), std::string::npos) << text;
  EXPECT_NE(text.find("OutputPin.SinkPins = (fmMain.Dst.InputPin, (fmMain.Dst2.InputPin, "
                      "fmMain.Dst.InputPin))"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("InputPin.SourcePin = fmMain.Src.OutputPin"), std::string::npos) << text;
  EXPECT_NE(text.find("StatePin.State = \"fmMainLink"), std::string::npos) << text;

  FreeAndNil(form_);
  form_ = static_cast<TTestForm*>(CreateComponentFromText(text, nullptr));
  auto* e = static_cast<TTestComponent*>(form_->FindComponent("Early"));
  auto* s = static_cast<TTestComponent*>(form_->FindComponent("Src"));
  auto* d = static_cast<TTestComponent*>(form_->FindComponent("Dst"));
  ASSERT_TRUE(e && s && d);
  EXPECT_EQ(e->InputPin->GetSourcePin(), s->OutputPin);
  EXPECT_EQ(s->OutputPin->GetSinkCount(), 1);
  EXPECT_EQ(d->InputPin->GetSourcePin(), e->OutputPin);
  EXPECT_EQ(e->OutputPin->GetSinkCount(), 2);
  EXPECT_TRUE(s->StatePin->IsJoinedWith(d->StatePin));
  auto* d2 = static_cast<TTestComponent*>(form_->FindComponent("Dst2"));
  ASSERT_NE(d2, nullptr);
  EXPECT_EQ(e->OutputPin->GetLinkDependency(d2->InputPin), d->InputPin);
  EXPECT_EQ(UnloadedPins()->Count(), 0) << "a placeholder was left behind";
  EXPECT_EQ(WriteComponentToText(form_), text);
}

}  // namespace
