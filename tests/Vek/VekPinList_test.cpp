// Pin lists: stored and restored links, pending placeholders, removal and
// exchange while linked, and the pin paths and placeholders that reach into
// pin lists.
#include "Vek/VekPinList.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/classes/Streaming.h"
#include "tests/Vek/VekPinListFixtures.h"

namespace {

using namespace vektest;

bool IsLivePin(TVekBasicPin* pin) {
  kestrune::CriticalSectionGuard guard(*GlobalPinCriticalSection());
  return AllPins()->IndexOf(pin) >= 0;
}

// Records the pin-list events as text; a removed pin is checked to be whole.
class ListEvents : public TInterfacedObject, public IVekPinEvents {
  KESTRUNE_CLASS(ListEvents, TInterfacedObject)
  ListEvents() = default;
  HRESULT QueryInterface(const TGUID& iid, void** obj) override {
    HRESULT r = QueryInterfaceTable<IVekPinEvents>(this, iid, obj);
    return r == S_OK ? r : TInterfacedObject::QueryInterface(iid, obj);
  }
  void BroadcastPinCreated(TVekBasicPin*) override {}
  void BroadcastPinDestroying(TVekBasicPin*, bool) override {}
  void BroadcastPinLinksChanged(TVekBasicPin*) override {}
  void BroadcastPinJoinedDispatcher(TVekBasicPin*, TObject*) override {}
  void BroadcastPinUnlinking(TVekBasicPin*, TObject*) override {}
  void BroadcastPinListCreated(TObject*) override { events.push_back("created"); }
  void BroadcastPinListDestroying(TObject*) override { events.push_back("destroying"); }
  void BroadcastPinListChanged(TObject*) override { events.push_back("changed"); }
  void BroadcastPinListPinAdded(TObject*, TVekBasicPin*, int index) override {
    events.push_back("added " + std::to_string(index));
  }
  void BroadcastPinListPinRemoved(TObject*, TVekBasicPin* pin, int index) override {
    events.push_back("removed " + std::to_string(index) + (IsLivePin(pin) ? " live" : " freed"));
  }
  void BroadcastPinListExchanged(TObject*, TVekBasicPin*, int index1, int index2,
                                 TVekBasicPin*) override {
    events.push_back("exchanged " + std::to_string(index1) + " " + std::to_string(index2));
  }
  void BroadcastDispatcherCreated(TVekStateDispatcher*) override {}
  void BroadcastDispatcherDestroying(TVekStateDispatcher*, bool) override {}
  void BroadcastDispatcherChanged(TVekStateDispatcher*) override {}
  std::vector<std::string> events;
};

class VekPinListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    StartFramework();
    RegisterPinListFixtures();
    form_ = Create<TTestForm>(nullptr);
    form_->SetName("fmMain");
  }
  void TearDown() override {
    StopListening();
    TPinListComponent::BeforeOutputCount = nullptr;
    TPinListComponent::BeforeCompletion = nullptr;
    FreeAndNil(form_);
    EXPECT_EQ(UnloadedPins()->Count(), 0) << "a placeholder outlived its form";
  }
  TPinListComponent* ListComponent(const std::string& name) {
    auto* c = Create<TPinListComponent>(form_);
    c->SetName(name);
    return c;
  }
  TTestComponent* Component(const std::string& name) {
    auto* c = Create<TTestComponent>(form_);
    c->SetName(name);
    return c;
  }
  void Listen() {
    events_ = IPtr<ListEvents>(Create<ListEvents>());
    PinEventListeners()->Add(IPtr<IInterface>(static_cast<IVekPinEvents*>(events_.get())));
  }
  void StopListening() {
    if (events_)
      PinEventListeners()->Clear();
    events_ = nullptr;
  }
  std::vector<std::string>& Events() { return events_->events; }
  static bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
  }

  TTestForm* form_ = nullptr;
  IPtr<ListEvents> events_;
};

// ---------------------------------------------------------------------------
// Stored form

struct RoundTripRow {
  const char* name;
  bool producerFirst;  // the list of sources is stored before its sinks
  int pins;            // linked pins per list (beyond 2, made after "Pins" is read)
  const char* rootName;
};

class VekPinListRoundTripTest : public VekPinListTest,
                                public ::testing::WithParamInterface<RoundTripRow> {};

TEST_P(VekPinListRoundTripTest, LinksComeBackWhateverTheOrderAndTheRootName) {
  const RoundTripRow& row = GetParam();
  TPinListComponent* first = ListComponent(row.producerFirst ? "Conv" : "Scope");
  TPinListComponent* second = ListComponent(row.producerFirst ? "Scope" : "Conv");
  TPinListComponent* conv = row.producerFirst ? first : second;
  TPinListComponent* scope = row.producerFirst ? second : first;
  conv->SetOutputCount(row.pins);
  scope->SetInputCount(row.pins);
  for (int i = 0; i < row.pins; ++i)
    ASSERT_TRUE(scope->Input(i)->Connect(conv->Output(i)));
  // One published pin linked to a list pin too.
  TTestComponent* amp = Component("Amp");
  ASSERT_TRUE(amp->InputPin->Connect(conv->Output(1)));

  std::string text = WriteComponentToText(form_);
  EXPECT_TRUE(Contains(text, "OutputPins.Count = " + std::to_string(row.pins) + "\n")) << text;
  EXPECT_TRUE(Contains(text, "OutputPins.Form = fmMain\n")) << text;
  EXPECT_TRUE(Contains(text,
                       "OutputPins.Pins = (Sinks, ((fmMain.Scope.InputPins._Pin0, "
                       "\"fmMain.Scope.InputPins.Channel0\")), Sinks, "
                       "((fmMain.Scope.InputPins._Pin1, "
                       "\"fmMain.Scope.InputPins.Channel1\"), fmMain.Amp.InputPin)"))
      << text;
  EXPECT_TRUE(Contains(text,
                       "InputPins.Pins = ((fmMain.Conv.OutputPins._Pin0, "
                       "\"fmMain.Conv.OutputPins.Pin [0]\"), "
                       "(fmMain.Conv.OutputPins._Pin1, \"fmMain.Conv.OutputPins.Pin [1]\")"))
      << text;
  EXPECT_TRUE(Contains(text,
                       "InputPin.SourcePin = (fmMain.Conv.OutputPins._Pin1, "
                       "\"fmMain.Conv.OutputPins.Pin [1]\")"))
      << text;

  const std::string root = row.rootName;
  if (root != "fmMain")
    text.replace(text.find("object fmMain:"), 14, "object " + root + ":");
  // While Conv is read its pins beyond the first two are placeholders,
  // replaced when OutputCount makes them.
  int pendingSeen = -1;
  int countSeen = -1;
  TPinListComponent::BeforeOutputCount = [&](TPinListComponent* c) {
    if (c->Name() == "Conv" && (c->ComponentState().Contains(csLoading))) {
      pendingSeen = c->OutputPins->PendingCount();
      countSeen = c->OutputPins->GetCount();
    }
  };
  FreeAndNil(form_);
  form_ = static_cast<TTestForm*>(CreateComponentFromText(text, nullptr));
  if (row.pins > 2) {
    EXPECT_EQ(pendingSeen, row.pins - 2);
    EXPECT_EQ(countSeen, 2) << "pending placeholders were counted";
  }
  conv = static_cast<TPinListComponent*>(form_->FindComponent("Conv"));
  scope = static_cast<TPinListComponent*>(form_->FindComponent("Scope"));
  amp = static_cast<TTestComponent*>(form_->FindComponent("Amp"));
  ASSERT_TRUE(conv && scope && amp);
  ASSERT_EQ(conv->OutputPins->GetCount(), row.pins);
  ASSERT_EQ(scope->InputPins->GetCount(), row.pins);
  for (int i = 0; i < row.pins; ++i) {
    EXPECT_EQ(scope->Input(i)->GetSourcePin(), conv->Output(i)) << i;
    EXPECT_EQ(conv->Output(i)->GetSinkCount(), i == 1 ? 2 : 1) << i;
    EXPECT_EQ(conv->Output(i)->PinList, conv->OutputPins);
  }
  EXPECT_EQ(amp->InputPin->GetSourcePin(), conv->Output(1));
  EXPECT_EQ(UnloadedPins()->Count(), 0) << "a placeholder was left behind";
  EXPECT_EQ(conv->OutputPins->PendingCount(), 0);

  std::string expected = text;
  if (root != "fmMain") {
    // Everything written again names the new root.
    for (size_t at = expected.find("fmMain"); at != std::string::npos;
         at = expected.find("fmMain", at + root.size())) {
      expected.replace(at, 6, root);
    }
  }
  EXPECT_EQ(WriteComponentToText(form_), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, VekPinListRoundTripTest,
    ::testing::Values(RoundTripRow{"SourcesStoredFirst", true, 2, "fmMain"},
                      RoundTripRow{"SinksStoredFirst", false, 2, "fmMain"},
                      RoundTripRow{"PinsMadeAfterTheirLinksAreRead", true, 4, "fmMain"},
                      RoundTripRow{"SinksFirstPinsMadeLater", false, 4, "fmMain"},
                      RoundTripRow{"RenamedRootRebasesTheLinks", true, 2, "fmRenamed"}),
    [](const ::testing::TestParamInfo<RoundTripRow>& info) { return info.param.name; });

TEST_F(VekPinListTest, UnlinkedOrEmptyListStoresCountAndFormOnly) {
  TPinListComponent* c = ListComponent("Lone");
  c->SetOutputCount(0);
  const std::string text = WriteComponentToText(form_);
  for (const char* line : {"    InputPins.Count = 2\n", "    InputPins.Form = fmMain\n",
                           "    OutputPins.Count = 0\n", "    OutputPins.Form = fmMain\n"}) {
    EXPECT_TRUE(Contains(text, line)) << line << text;
  }
  EXPECT_FALSE(Contains(text, "Pins.Pins")) << text;
  // A stored Count changes nothing, and a stored "PinsOwner" is accepted.
  std::string stored = text;
  stored.replace(stored.find("InputPins.Count = 2"), 19, "InputPins.Count = 7");
  stored.insert(stored.find("    InputPins.Form"), "    InputPins.PinsOwner = True\n");
  FreeAndNil(form_);
  form_ = static_cast<TTestForm*>(CreateComponentFromText(stored, nullptr));
  auto* lone = static_cast<TPinListComponent*>(form_->FindComponent("Lone"));
  ASSERT_NE(lone, nullptr);
  EXPECT_EQ(lone->InputPins->GetCount(), 2);
  SetPropValue(lone->InputPins, "Count", TPropValue(int64_t{5}));
  EXPECT_EQ(lone->InputPins->GetCount(), 2);
  EXPECT_EQ(WriteComponentToText(form_), text);
}

TEST_F(VekPinListTest, PlaceholdersLeftWhenLoadingEndsAreDroppedWithTheirLinks) {
  TPinListComponent* conv = ListComponent("Conv");
  TPinListComponent* scope = ListComponent("Scope");
  conv->SetOutputCount(3);
  scope->SetInputCount(3);
  for (int i = 0; i < 3; ++i)
    ASSERT_TRUE(scope->Input(i)->Connect(conv->Output(i)));
  std::string text = WriteComponentToText(form_);
  // Conv will make two pins only: its third stored link names no pin.
  const size_t at = text.find("    OutputCount = 3\n");
  ASSERT_NE(at, std::string::npos) << text;
  text.erase(at, 20);

  int countBefore = -1;
  int pendingBefore = -1;
  TPinListComponent::BeforeCompletion = [&](TPinListComponent* c) {
    if (c->Name() != "Conv")
      return;
    countBefore = c->OutputPins->GetCount();
    pendingBefore = c->OutputPins->PendingCount();
  };
  FreeAndNil(form_);
  form_ = static_cast<TTestForm*>(CreateComponentFromText(text, nullptr));
  EXPECT_EQ(countBefore, 2);
  EXPECT_EQ(pendingBefore, 1);
  conv = static_cast<TPinListComponent*>(form_->FindComponent("Conv"));
  scope = static_cast<TPinListComponent*>(form_->FindComponent("Scope"));
  ASSERT_TRUE(conv && scope);
  EXPECT_EQ(conv->OutputPins->GetCount(), 2);
  EXPECT_EQ(conv->OutputPins->PendingCount(), 0);
  EXPECT_EQ(conv->OutputPins->PinEntryCount(), 2);
  EXPECT_EQ(UnloadedPins()->Count(), 0);
  EXPECT_EQ(scope->Input(0)->GetSourcePin(), conv->Output(0));
  EXPECT_EQ(scope->Input(1)->GetSourcePin(), conv->Output(1));
  EXPECT_EQ(scope->Input(2)->GetSourcePin(), nullptr) << "a link to a pin never made survived";
}

// ---------------------------------------------------------------------------
// Changes while linked

struct RemovalRow {
  const char* name;
  bool ownsPins;
  bool byPin;  // RemovePin rather than Delete
};

class VekPinListRemovalTest : public VekPinListTest,
                              public ::testing::WithParamInterface<RemovalRow> {};

TEST_P(VekPinListRemovalTest, RemovalIsAnnouncedWhileThePinIsWholeAndOthersKeepTheirLinks) {
  const RemovalRow& row = GetParam();
  TTestComponent* owner = Component("Split");
  auto* list = Create<TVekPinList>(owner, row.ownsPins);
  std::vector<TTestSourcePin*> pins;
  std::vector<TTestComponent*> sinks;
  for (int i = 0; i < 3; ++i) {
    pins.push_back(Create<TTestSourcePin>(owner));
    list->Add(pins.back());
    sinks.push_back(Component("Sink" + std::to_string(i)));
    ASSERT_TRUE(sinks.back()->InputPin->Connect(pins.back()));
  }
  Listen();
  if (row.byPin) {
    list->RemovePin(pins[1]);
  } else {
    list->Delete(1);
  }
  EXPECT_EQ(Events(), (std::vector<std::string>{"removed 1 live", "changed"}));
  EXPECT_EQ(list->GetCount(), 2);
  EXPECT_EQ(list->GetPin(1), pins[2]);
  EXPECT_EQ(list->IndexOfPin(pins[1]), -1);
  EXPECT_EQ(IsLivePin(pins[1]), !row.ownsPins);
  if (row.ownsPins) {
    EXPECT_EQ(sinks[1]->InputPin->GetSourcePin(), nullptr);
  } else {
    EXPECT_EQ(pins[1]->PinList, nullptr);
    EXPECT_EQ(sinks[1]->InputPin->GetSourcePin(), pins[1]) << "a pin let go lost its link";
    pins[1]->Free();
  }
  EXPECT_EQ(sinks[0]->InputPin->GetSourcePin(), pins[0]);
  EXPECT_EQ(sinks[2]->InputPin->GetSourcePin(), pins[2]);
  StopListening();
  list->Free();
  if (!row.ownsPins) {
    EXPECT_EQ(pins[0]->PinList, nullptr);
    pins[0]->Free();
    pins[2]->Free();
  }
}

INSTANTIATE_TEST_SUITE_P(Rows, VekPinListRemovalTest,
                         ::testing::Values(RemovalRow{"OwnedDeleted", true, false},
                                           RemovalRow{"OwnedRemovedByPin", true, true},
                                           RemovalRow{"NotOwnedDeleted", false, false},
                                           RemovalRow{"NotOwnedRemovedByPin", false, true}),
                         [](const ::testing::TestParamInfo<RemovalRow>& info) {
                           return info.param.name;
                         });

TEST_F(VekPinListTest, ExchangeAndNamingMovePathsWithThePins) {
  TPinListComponent* scope = ListComponent("Scope");
  TTestSinkPin* a = scope->Input(0);
  TTestSinkPin* b = scope->Input(1);
  EXPECT_EQ(b->GetFullPath(true), "fmMain.Scope.InputPins.Channel1");
  EXPECT_EQ(b->GetFullPathEx(true), "fmMain.Scope.InputPins._Pin1");
  Listen();
  scope->InputPins->ExchangePins(0, 1);
  EXPECT_EQ(Events(), (std::vector<std::string>{"exchanged 0 1", "changed"}));
  EXPECT_EQ(scope->Input(0), b);
  EXPECT_EQ(b->GetFullPath(true), "fmMain.Scope.InputPins.Channel1") << "the name stays with it";
  EXPECT_EQ(b->GetFullPathEx(true), "fmMain.Scope.InputPins._Pin0");
  EXPECT_EQ(a->GetFullPathEx(false), "Scope.InputPins._Pin1");

  // The default name of an index is stored as no name.
  scope->InputPins->SetPinName(1, "Pin [1]");
  EXPECT_EQ(a->GetFullPath(false), "Scope.InputPins.Pin [1]");
  scope->InputPins->SetPinName(1, "Channel0");
  EXPECT_EQ(a->GetFullPath(false), "Scope.InputPins.Channel0");
  scope->InputPins->SetPinName(2, "Nowhere");
  scope->InputPins->SetPinName(-1, "Nowhere");
  EXPECT_EQ(scope->InputPins->GetPinName(2), "Pin [2]");

  struct {
    const char* name;
    std::function<void()> call;
  } bad[] = {
      {"GetPin", [&] { scope->InputPins->GetPin(2); }},
      {"GetPinNegative", [&] { scope->InputPins->GetPin(-1); }},
      {"Delete", [&] { scope->InputPins->Delete(2); }},
      {"Exchange", [&] { scope->InputPins->ExchangePins(0, 2); }},
  };
  for (auto& call : bad)
    EXPECT_THROW(call.call(), EListError) << call.name;
  EXPECT_EQ(scope->InputPins->GetCount(), 2);
}

TEST_F(VekPinListTest, APinFreedElsewhereLeavesTheList) {
  TTestComponent* owner = Component("Split");
  auto* list = Create<TVekPinList>(owner, false);
  auto* kept = Create<TTestSourcePin>(owner);
  auto* gone = Create<TTestSourcePin>(owner);
  list->Add(gone);
  list->Add(kept);
  Listen();
  gone->Free();
  EXPECT_EQ(Events(), (std::vector<std::string>{"removed 0 live", "changed"}));
  EXPECT_EQ(list->GetCount(), 1);
  EXPECT_EQ(list->GetPin(0), kept);
  StopListening();
  list->Free();
  kept->Free();
}

// ---------------------------------------------------------------------------
// Pin paths through pin lists

class TDisplay : public TPersistent {
  KESTRUNE_CLASS(TDisplay, TPersistent)
  TDisplay() = default;
  TVekPinList* GetInputPins() { return InputPins; }
  TVekPinList* InputPins = nullptr;
};

class TNestedListComponent : public TComponent {
  KESTRUNE_CLASS(TNestedListComponent, TComponent)
  explicit TNestedListComponent(TComponent* owner) : TComponent(owner) {
    Display = Create<TDisplay>();
    Display->InputPins = Create<TVekPinList>(this, true);
    Display->InputPins->Add(Create<TTestSinkPin>(this));
  }
  ~TNestedListComponent() override {
    Display->InputPins->Free();
    Display->Free();
  }
  TDisplay* GetDisplay() { return Display; }
  TDisplay* Display;
};

TNestedListComponent* NestedComponent(TComponent* owner, const std::string& name) {
  static bool registered = false;
  if (!registered) {
    registered = true;
    RegisterClass<TDisplay>().Object("InputPins", &TDisplay::GetInputPins);
    RegisterClass<TNestedListComponent>().Object("Display", &TNestedListComponent::GetDisplay);
  }
  auto* nested = Create<TNestedListComponent>(owner);
  nested->SetName(name);
  return nested;
}

struct PropertyPathRow {
  const char* name;
  int target;  // 0: Conv output 1, 1: Scope input 0, 2: Scope's list, 3: nested list, 4: nested pin
  const char* className;
  const char* expected;
};

class VekPinListPathTest : public VekPinListTest,
                           public ::testing::WithParamInterface<PropertyPathRow> {};

TEST_P(VekPinListPathTest, PropertySearchReachesPinsByIndex) {
  const PropertyPathRow& row = GetParam();
  TPinListComponent* conv = ListComponent("Conv");
  TPinListComponent* scope = ListComponent("Scope");
  TNestedListComponent* nested = NestedComponent(form_, "Chart");
  struct {
    TComponent* root;
    TObject* target;
  } targets[] = {{conv, conv->Output(1)},
                 {scope, scope->Input(0)},
                 {scope, scope->InputPins},
                 {nested, nested->Display->InputPins},
                 {nested, nested->Display->InputPins->GetPin(0)}};
  EXPECT_EQ(GetPropertyPath(targets[row.target].root, row.className, targets[row.target].target),
            row.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, VekPinListPathTest,
    ::testing::Values(PropertyPathRow{"ListPinByDefaultName", 0, "TVekPin", "OutputPins.Pin [1]"},
                      PropertyPathRow{"ListPinByOwnName", 1, "TVekPin", "InputPins.Channel0"},
                      PropertyPathRow{"ListPinOfAnotherClassIsNotFound", 1, "TVekSourcePin", ""},
                      PropertyPathRow{"TheListItself", 2, "TVekPinList", "InputPins"},
                      PropertyPathRow{"ListOfASubObject", 3, "TVekPinList", "Display.InputPins"},
                      PropertyPathRow{"PinOfASubObjectsList", 4, "TVekSinkPin",
                                      "Display.InputPins.Pin [0]"}),
    [](const ::testing::TestParamInfo<PropertyPathRow>& info) { return info.param.name; });

TEST_F(VekPinListTest, ListPinsAreFoundByEitherPathForm) {
  TPinListComponent* conv = ListComponent("Conv");
  TPinListComponent* scope = ListComponent("Scope");
  struct {
    const char* identifier;
    const char* display;
    TVekBasicPin* expected;
  } rows[] = {
      {"fmMain.Conv.OutputPins._Pin1", "-", conv->Output(1)},
      {"Conv.OutputPins._Pin0", "-", conv->Output(0)},
      {"fmMain.Scope.InputPins.Channel1", "fmMain.Scope.InputPins.Channel1", scope->Input(1)},
      {"fmMain.Conv.OutputPins.Pin_0", "fmMain.Conv.OutputPins.Pin [0]", conv->Output(0)},
  };
  for (auto& r : rows) {
    EXPECT_EQ(ResolvePinByPath(AllPins(), form_, vpkSource, r.identifier, r.display, ""),
              r.expected)
        << r.identifier;
  }
  EXPECT_EQ(UnloadedPins()->Count(), 0);
  TNestedListComponent* nested = NestedComponent(form_, "Chart");
  EXPECT_EQ(nested->Display->InputPins->GetPin(0)->GetFullPathEx(true),
            "fmMain.Chart.Display.InputPins._Pin0");
}

// ---------------------------------------------------------------------------
// Placeholders held by a pin list

TEST_F(VekPinListTest, PlaceholderHeldByAListWaitsForItsPin) {
  TPinListComponent* conv = ListComponent("Conv");
  TTestComponent* far = Component("Far");
  auto* waiting = dynamic_cast<TVekUnloadedPin*>(
      ResolvePinByPath(AllPins(), form_, vpkSource, "fmMain.Conv.OutputPins._Pin2",
                       "fmMain.Conv.OutputPins._Pin2", "fmMain.Conv.OutputPins._Pin2"));
  ASSERT_NE(waiting, nullptr);
  conv->OutputPins->Add(waiting);
  EXPECT_TRUE(waiting->HeldByPinList);
  EXPECT_EQ(conv->OutputPins->GetCount(), 2);
  EXPECT_EQ(conv->OutputPins->PendingCount(), 1);

  // Losing its links, or its holds, does not free a pending placeholder.
  ASSERT_TRUE(far->InputPin->Connect(waiting));
  ASSERT_TRUE(far->InputPin->ConnectEx(nullptr, nullptr));
  waiting->SetHoldCount(0);
  ASSERT_EQ(UnloadedPins()->Count(), 1) << "the list's pending placeholder was freed";
  EXPECT_EQ(conv->OutputPins->GetPin(2), waiting);

  // Completing waits while the owner loads; the next pin made takes the
  // placeholder's place and its links.
  ASSERT_TRUE(far->InputPin->Connect(waiting));
  conv->SetLoadingState(true);
  conv->OutputPins->CompletePendingPlaceholders();
  conv->SetLoadingState(false);
  EXPECT_EQ(conv->OutputPins->PendingCount(), 1);
  Listen();
  conv->SetOutputCount(3);
  EXPECT_EQ(Events(), (std::vector<std::string>{"changed", "added 2"}));
  EXPECT_EQ(UnloadedPins()->Count(), 0);
  EXPECT_EQ(conv->OutputPins->PendingCount(), 0);
  EXPECT_EQ(far->InputPin->GetSourcePin(), conv->Output(2));
  EXPECT_EQ(conv->Output(2)->GetSinkCount(), 1);
  EXPECT_EQ(conv->Output(2)->GetFullPathEx(true), "fmMain.Conv.OutputPins._Pin2");
}

TEST_F(VekPinListTest, PendingPlaceholderAdoptedElsewhereLeavesTheList) {
  TPinListComponent* conv = ListComponent("Conv");
  TTestComponent* far = Component("Far");
  TTestComponent* other = Component("Other");
  auto* waiting = dynamic_cast<TVekUnloadedPin*>(
      ResolvePinByPath(AllPins(), form_, vpkSource, "fmMain.Conv.OutputPins._Pin2",
                       "fmMain.Conv.OutputPins._Pin2", ""));
  ASSERT_NE(waiting, nullptr);
  conv->OutputPins->Add(waiting);
  ASSERT_TRUE(far->InputPin->Connect(waiting));
  TVekUnloadedPin::TransferLinks(waiting, other->OutputPin);
  EXPECT_EQ(conv->OutputPins->PinEntryCount(), 2) << "the list kept a freed placeholder";
  EXPECT_EQ(conv->OutputPins->PendingCount(), 0);
  EXPECT_EQ(far->InputPin->GetSourcePin(), other->OutputPin);
}

}  // namespace
