// Extended collections: each item announced once (hook, then listeners),
// listeners that raise or remove themselves, the owner's naming, and
// reference cells cleared however an item goes.
#include "Vek/VekExtCollection.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

class TTestItem : public TVekExtCollectionItem {
  KESTRUNE_CLASS(TTestItem, TVekExtCollectionItem)
  explicit TTestItem(TCollection* collection) : TVekExtCollectionItem(collection) {}
};

// Records the events of the collection in one log: "hook:<index>" for the
// collection's own hook.
class TTestCollection : public TVekExtCollection {
  KESTRUNE_CLASS(TTestCollection, TVekExtCollection)
  TTestCollection(TPersistent* owner, std::vector<std::string>* log)
      : TVekExtCollection(owner, TTestItem::StaticClass()), log_(log) {}

 protected:
  void ItemAdded(TVekExtCollectionItem* item) override {
    EXPECT_TRUE(item->Added());
    log_->push_back("hook:" + std::to_string(item->Index()));
  }

 private:
  std::vector<std::string>* log_;
};

// A component that stores a collection as "Items" and listens to it, as an
// owner does; logs "owner:<index>".
class TTestOwner : public TComponent, public IVekExtCollectionListener {
  KESTRUNE_CLASS(TTestOwner, TComponent)
  explicit TTestOwner(TComponent* owner) : TComponent(owner) {
    Items = Create<TTestCollection>(this, &Log);
    Items->PropName = "Items";
    Items->AddListener(this);
  }
  ~TTestOwner() override { FreeAndNil(Items); }

  HRESULT QueryInterface(const TGUID& iid, void** obj) override {
    HRESULT r = QueryInterfaceTable<IVekExtCollectionListener>(this, iid, obj);
    return r == S_OK ? r : TComponent::QueryInterface(iid, obj);
  }
  int32_t _AddRef() override { return -1; }
  int32_t _Release() override { return -1; }
  void CollectionItemAdded(TVekExtCollection* collection, TVekExtCollectionItem* item) override {
    EXPECT_EQ(collection, Items);
    Log.push_back("owner:" + std::to_string(item->Index()));
  }

  std::vector<std::string> Log;
  TTestCollection* Items = nullptr;
};

// A counted listener that runs an action when told.
class TTestListener : public TInterfacedObject, public IVekExtCollectionListener {
  KESTRUNE_CLASS(TTestListener, TInterfacedObject)
  TTestListener(std::string name, std::vector<std::string>* log)
      : name_(std::move(name)), log_(log) {}
  HRESULT QueryInterface(const TGUID& iid, void** obj) override {
    HRESULT r = QueryInterfaceTable<IVekExtCollectionListener>(this, iid, obj);
    return r == S_OK ? r : TInterfacedObject::QueryInterface(iid, obj);
  }
  int32_t _AddRef() override { return TInterfacedObject::_AddRef(); }
  int32_t _Release() override { return TInterfacedObject::_Release(); }
  void CollectionItemAdded(TVekExtCollection*, TVekExtCollectionItem* item) override {
    log_->push_back(name_ + ":" + std::to_string(item->Index()));
    if (Action)
      Action();
  }
  std::function<void()> Action;

 private:
  std::string name_;
  std::vector<std::string>* log_;
};

class VekExtCollectionTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    RegisterCreator(TTestItem::StaticClass(), &CreatePersistentInstance<TTestItem>);
  }
  void SetUp() override {
    owner = Create<TTestOwner>(nullptr);
    owner->SetName("Comp1");
  }
  void TearDown() override { FreeAndNil(owner); }

  TTestOwner* owner = nullptr;
};

using Log = std::vector<std::string>;

TEST_F(VekExtCollectionTest, EveryWayOfAddingAnnouncesTheItemOnceHookFirstThenOwner) {
  TTestCollection* items = owner->Items;
  items->Add();
  Create<TTestItem>(items);
  items->Insert(0);  // announced while last, then moved to the front
  ASSERT_EQ(items->Count(), 3);
  EXPECT_EQ(owner->Log, (Log{"hook:0", "owner:0", "hook:1", "owner:1", "hook:2", "owner:2"}));
  for (int i = 0; i < items->Count(); ++i)
    EXPECT_TRUE(static_cast<TVekExtCollectionItem*>(items->Items(i))->Added());
}

TEST_F(VekExtCollectionTest, AnItemThatLeavesAndJoinsAgainIsNotAnnouncedAgain) {
  Log otherLog;
  TTestCollection other(nullptr, &otherLog);
  auto* item = static_cast<TTestItem*>(owner->Items->Add());
  owner->Log.clear();

  item->SetCollection(nullptr);
  item->SetCollection(owner->Items);  // back into the same collection
  item->SetCollection(&other);        // into another extended collection
  EXPECT_EQ(other.Count(), 1);
  EXPECT_TRUE(owner->Log.empty());
  EXPECT_TRUE(otherLog.empty());
}

TEST_F(VekExtCollectionTest, ARaisingListenerStopsNeitherTheOthersNorTheAdd) {
  auto first = CreateCounted<TTestListener>("first", &owner->Log);
  auto last = CreateCounted<TTestListener>("last", &owner->Log);
  first->Action = [] { throw EListError("échec d'un auditeur"); };
  owner->Items->AddListener(first.get());
  owner->Items->AddListener(last.get());

  TCollectionItem* item = nullptr;
  EXPECT_NO_THROW(item = owner->Items->Add());
  EXPECT_NE(item, nullptr);
  EXPECT_EQ(owner->Items->Count(), 1);
  EXPECT_EQ(owner->Log, (Log{"hook:0", "owner:0", "first:0", "last:0"}));
}

TEST_F(VekExtCollectionTest, ListenersRemovedWhileOthersAreToldAreNotToldAnyMore) {
  auto self = CreateCounted<TTestListener>("self", &owner->Log);
  auto later = CreateCounted<TTestListener>("later", &owner->Log);
  TVekExtCollection* items = owner->Items;
  // `self` removes itself and `later`, which comes after it: `later` is not
  // told, and the next item reaches the owner alone.
  self->Action = [&] {
    items->RemoveListener(self.get());
    items->RemoveListener(later.get());
  };
  items->AddListener(self.get());
  items->AddListener(later.get());
  items->Add();
  EXPECT_EQ(owner->Log, (Log{"hook:0", "owner:0", "self:0"}));
  EXPECT_EQ(items->ListenerCount(), 1);
  EXPECT_EQ(self->RefCount(), 1);  // the collection no longer holds it

  owner->Log.clear();
  items->Add();
  EXPECT_EQ(owner->Log, (Log{"hook:1", "owner:1"}));
}

// An uncounted listener (a component) that leaves the collection when it is
// freed, as listeners that go first must.
class TTestComponentListener : public TComponent, public IVekExtCollectionListener {
  KESTRUNE_CLASS(TTestComponentListener, TComponent)
  TTestComponentListener(TVekExtCollection* items, std::vector<std::string>* log)
      : TComponent(nullptr), items_(items), log_(log) {
    items_->AddListener(this);
  }
  ~TTestComponentListener() override { items_->RemoveListener(this); }
  HRESULT QueryInterface(const TGUID& iid, void** obj) override {
    HRESULT r = QueryInterfaceTable<IVekExtCollectionListener>(this, iid, obj);
    return r == S_OK ? r : TComponent::QueryInterface(iid, obj);
  }
  int32_t _AddRef() override { return -1; }
  int32_t _Release() override { return -1; }
  void CollectionItemAdded(TVekExtCollection*, TVekExtCollectionItem* item) override {
    log_->push_back("component:" + std::to_string(item->Index()));
  }

 private:
  TVekExtCollection* items_;
  std::vector<std::string>* log_;
};

// One listener frees another, uncounted one that comes after it: the freed
// one is not told and nothing touches it afterwards (under AddressSanitizer
// a reference kept across the walk is a use after free); the next item
// reaches the listeners that are left.
TEST_F(VekExtCollectionTest, AListenerFreedByAnotherDuringTheWalkIsNeverTouchedAgain) {
  TVekExtCollection* items = owner->Items;
  auto killer = CreateCounted<TTestListener>("killer", &owner->Log);
  items->AddListener(killer.get());
  auto* victim = Create<TTestComponentListener>(items, &owner->Log);
  killer->Action = [&] { FreeAndNil(victim); };
  items->Add();
  EXPECT_EQ(owner->Log, (Log{"hook:0", "owner:0", "killer:0"}));
  EXPECT_EQ(victim, nullptr);
  EXPECT_EQ(items->ListenerCount(), 2);

  owner->Log.clear();
  killer->Action = nullptr;
  items->Add();
  EXPECT_EQ(owner->Log, (Log{"hook:1", "owner:1", "killer:1"}));
}

TEST_F(VekExtCollectionTest, TheOwnerNamesTheCollectionAndItsItems) {
  owner->Items->Add();
  EXPECT_EQ(owner->Items->GetOwner(), owner);
  EXPECT_EQ(owner->Items->GetNamePath(), "Comp1.Items");
  EXPECT_EQ(owner->Items->Items(0)->GetNamePath(), "Comp1.Items[0]");
}

TEST_F(VekExtCollectionTest, AReferenceCellIsClearedHoweverTheItemGoes) {
  struct Row {
    const char* name;
    std::function<void(TTestOwner*&, TTestItem*)> destroy;
  };
  const Row rows[] = {
      {"deleted by index", [](TTestOwner*& o, TTestItem*) { o->Items->Delete(0); }},
      {"freed itself", [](TTestOwner*&, TTestItem* item) { item->Free(); }},
      {"collection cleared", [](TTestOwner*& o, TTestItem*) { o->Items->Clear(); }},
      {"owner freed with its collection", [](TTestOwner*& o, TTestItem*) { FreeAndNil(o); }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    if (owner == nullptr)
      owner = Create<TTestOwner>(nullptr);
    owner->Items->Clear();
    auto* item = static_cast<TTestItem*>(owner->Items->Add());
    TTestItem* current = item;
    item->SetReferenceCell(&current);
    row.destroy(owner, item);
    EXPECT_EQ(current, nullptr);
  }
}

}  // namespace
