// Components (ownership, names, notifications) and collections.
#include "platform/classes/Classes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> g_events;

class TProbe : public TComponent {
  KESTRUNE_CLASS(TProbe, TComponent)
  explicit TProbe(TComponent* owner) : TComponent(owner) {}
  ~TProbe() override { g_events.push_back("free " + Name()); }
  void Notification(TComponent* c, TOperation op) override {
    inherited::Notification(c, op);
    g_events.push_back(Name() + (op == opInsert ? " +" : " -") + c->Name());
  }
};

TEST(Components, OwnerFreesOwnedComponentsAndNotifies) {
  g_events.clear();
  TProbe* root = Create<TProbe>(nullptr);
  root->SetName("root");
  TProbe* a = Create<TProbe>(root);
  a->SetName("a");
  TProbe* b = Create<TProbe>(root);
  b->SetName("b");
  EXPECT_EQ(root->ComponentCount(), 2);
  EXPECT_EQ(root->FindComponent("B"), b);
  EXPECT_EQ(b->ComponentIndex(), 1);

  // b asks to be told when a goes (a component that is not its owner).
  a->FreeNotification(b);
  g_events.clear();
  a->Free();
  EXPECT_EQ(root->ComponentCount(), 1);
  EXPECT_NE(std::find(g_events.begin(), g_events.end(), "b -a"), g_events.end());
  EXPECT_NE(std::find(g_events.begin(), g_events.end(), "root -a"), g_events.end());

  g_events.clear();
  root->Free();
  EXPECT_NE(std::find(g_events.begin(), g_events.end(), "free root"), g_events.end());
  EXPECT_NE(std::find(g_events.begin(), g_events.end(), "free b"), g_events.end());
}

TEST(Components, NamesAreCheckedAndUniquePerOwner) {
  TComponent* root = Create<TComponent>(nullptr);
  TComponent* a = Create<TComponent>(root);
  a->SetName("MoskAudioIn1");
  TComponent* b = Create<TComponent>(root);
  EXPECT_THROW(b->SetName("moskaudioin1"), EComponentError);
  EXPECT_THROW(b->SetName("1abc"), EComponentError);
  EXPECT_EQ(b->Name(), "");
  b->SetName("MoskAudioIn2");
  EXPECT_EQ(b->Name(), "MoskAudioIn2");
  root->Free();
}

TEST(Components, DesigningAndDestroyingStateReachOwnedComponents) {
  struct TWatch : TComponent {
    using TComponent::TComponent;
    bool* destroying_seen = nullptr;
    ~TWatch() override { *destroying_seen = ComponentState().Contains(csDestroying); }
  };
  bool seen = false;
  TComponent* root = Create<TComponent>(nullptr);
  TWatch* child = Create<TWatch>(root);
  child->destroying_seen = &seen;
  root->SetDesigning(true);
  EXPECT_TRUE(child->ComponentState().Contains(csDesigning));
  TComponent* late = Create<TComponent>(root);
  EXPECT_TRUE(late->ComponentState().Contains(csDesigning));
  root->Free();
  EXPECT_TRUE(seen);
}

class TProbeItem : public TCollectionItem {
  KESTRUNE_CLASS(TProbeItem, TCollectionItem)
  using TCollectionItem::TCollectionItem;
  std::string GetDisplayName() override { return "Item " + std::to_string(Index()); }
  void Touch() { Changed(false); }
};

class TProbeCollection : public TCollection {
  KESTRUNE_CLASS(TProbeCollection, TCollection)
  TProbeCollection() : TCollection(TProbeItem::StaticClass()) {}
  std::vector<std::string> log;

 protected:
  void Update(TCollectionItem* item) override {
    log.push_back(item ? "update " + item->GetDisplayName() : "update all");
  }
  void Notify(TCollectionItem* item, TCollectionNotification action) override {
    log.push_back((action == cnAdded      ? "added "
                   : action == cnDeleting ? "deleting "
                                          : "extract ") +
                  std::to_string(item->ID()));
  }
};

TEST(Collections, TellTheirOwnerOfEveryChange) {
  RegisterCreator(TProbeItem::StaticClass(), &CreatePersistentInstance<TProbeItem>);
  TProbeCollection* c = Create<TProbeCollection>();
  auto* first = static_cast<TProbeItem*>(c->Add());
  c->Add();
  EXPECT_EQ(c->log, (std::vector<std::string>{"added 0", "update all", "added 1", "update all"}));
  c->log.clear();
  first->Touch();
  EXPECT_EQ(c->log, (std::vector<std::string>{"update Item 0"}));
  c->log.clear();
  c->BeginUpdate();
  first->Touch();
  c->Delete(0);
  EXPECT_EQ(c->log, (std::vector<std::string>{"deleting 0"}));
  c->EndUpdate();
  EXPECT_EQ(c->log.back(), "update all");
  EXPECT_EQ(c->Count(), 1);
  EXPECT_EQ(c->Items(0)->ID(), 1);
  EXPECT_THROW(c->Items(5), EListError);
  c->log.clear();
  std::vector<std::string>* log = new std::vector<std::string>;
  // Freeing the collection tells its most derived class of every deletion.
  struct TKeepLog : TProbeCollection {
    std::vector<std::string>* out;
    ~TKeepLog() override { *out = log; }
  };
  c->Free();
  TKeepLog* kept = Create<TKeepLog>();
  kept->out = log;
  kept->Add();
  kept->log.clear();
  kept->Free();
  EXPECT_EQ(*log, (std::vector<std::string>{"deleting 0"}));
  delete log;
}

TEST(Persistent, DefaultAssignRefusesWithTheCannotAssignError) {
  TComponent* a = Create<TComponent>(nullptr);
  TComponent* b = Create<TComponent>(nullptr);
  try {
    a->Assign(b);
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "Impossible d'affecter TComponent à TComponent");
  }
  a->Free();
  b->Free();
}

}  // namespace

#include "platform/classes/Units.h"

namespace {

std::vector<std::string> g_unit_log;

TEST(Units, StartInOrderStopInReverseOnceEach) {
  g_unit_log.clear();
  static TUnit a(
      "a", [] { g_unit_log.push_back("init a"); }, [] { g_unit_log.push_back("fini a"); });
  static TUnit b(
      "b", [] { g_unit_log.push_back("init b"); }, [] { g_unit_log.push_back("fini b"); });
  a.Initialize();  // an early user: the program's start-up only counts it
  InitializeUnits({&a, &b});
  FinalizeUnits();
  EXPECT_EQ(g_unit_log, (std::vector<std::string>{"init a", "init b", "fini b"}));
  a.Finalize();
  EXPECT_EQ(g_unit_log.back(), "fini a");
}

TEST(Units, FailedStartUpStopsTheUnitsAlreadyStarted) {
  g_unit_log.clear();
  static TUnit ok(
      "ok", [] { g_unit_log.push_back("init ok"); }, [] { g_unit_log.push_back("fini ok"); });
  static TUnit bad(
      "bad", [] { throw Exception("no"); }, [] { g_unit_log.push_back("fini bad"); });
  EXPECT_THROW(InitializeUnits({&ok, &bad}), Exception);
  EXPECT_EQ(g_unit_log, (std::vector<std::string>{"init ok", "fini ok"}));
  EXPECT_FALSE(bad.Initialized());
}

}  // namespace
