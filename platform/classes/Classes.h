// Persistent objects, components and collections.
//
// TPersistent: an object that can copy itself from another (Assign) and store
// extra, non-published data through DefineProperties.
// TComponent: a persistent object with an owner and a name. The owner frees
// its owned components when it is freed; components tell each other of
// insertion and removal through Notification. ComponentState carries the
// loading, reading, designing and destroying flags. Components are not
// counted: _AddRef/_Release have no effect on their lifetime.
// TCollection/TCollectionItem: an owned, ordered list of items of one class
// that tells its descendants of every added item (Notify) and every change
// (Update, through Changed).
//
// Threads: components and collections belong to the thread that builds them
// (the main thread in the program); nothing here locks.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/rtl/Lists.h"
#include "platform/rtl/SysUtils.h"
#include "platform/rtl/System.h"

class TFiler;
class TReader;
class TWriter;
class TComponent;

class TPersistent : public TObject {
  KESTRUNE_CLASS(TPersistent, TObject)
  // Copies `source` into this object: by default asks the source to AssignTo
  // this; a source that cannot raises EConvertError.
  virtual void Assign(TPersistent* source);
  // The path of this object below its root ("Owner.Prop"), for messages and
  // stored references.
  virtual std::string GetNamePath();
  // Declares the extra stored properties of this object (readers and writers
  // of their values) to a reader or writer.
  virtual void DefineProperties(TFiler* filer) { (void)filer; }
  // The object that owns this one in the stored tree (nullptr at the top).
  virtual TPersistent* GetOwner() { return nullptr; }

 protected:
  TPersistent() = default;
  // Copies this object into `dest`; the default raises the cannot-assign
  // error.
  virtual void AssignTo(TPersistent* dest);
};

// Raises EConvertError "Impossible d'affecter <source> à <dest>".
[[noreturn]] void RaiseAssignError(TPersistent* source, TPersistent* dest);

enum TComponentStateFlag : uint32_t {
  csLoading = 1u << 0,
  csReading = 1u << 1,
  csWriting = 1u << 2,
  csDestroying = 1u << 3,
  csDesigning = 1u << 4,
  csAncestor = 1u << 5,
  csUpdating = 1u << 6,
  csFixups = 1u << 7,
  csFreeNotification = 1u << 8,
  csInline = 1u << 9,
};

// A set of TComponentStateFlag values.
struct TComponentState {
  uint32_t bits = 0;
  bool Contains(TComponentStateFlag f) const { return (bits & f) != 0; }
  void Include(TComponentStateFlag f) { bits |= f; }
  void Exclude(TComponentStateFlag f) { bits &= ~static_cast<uint32_t>(f); }
};

enum TOperation { opInsert, opRemove };

class TComponent : public TPersistent, public virtual IInterface {
  KESTRUNE_CLASS(TComponent, TPersistent)
  // Inserts the new component into `owner`'s components (owner may be null).
  explicit TComponent(TComponent* owner);
  // Frees the owned components (last first) and leaves the owner.
  ~TComponent() override;
  void BeforeDestruction() override;

  TComponent* Owner() const { return owner_; }
  const std::string& Name() const { return name_; }
  // Renames the component. Raises EComponentError when the name is not an
  // identifier ("« X » n'est pas un nom de composant correct") or another
  // component of the same owner has it ("Un composant nommé X existe déjà").
  virtual void SetName(const std::string& name);
  int Tag = 0;

  int ComponentCount() const { return static_cast<int>(components_.size()); }
  TComponent* Components(int index) const;
  int ComponentIndex() const;
  // Case-insensitive search among the owned components; nullptr if absent.
  TComponent* FindComponent(std::string_view name) const;
  void InsertComponent(TComponent* component);
  void RemoveComponent(TComponent* component);
  // Frees every owned component, last first.
  void DestroyComponents();
  // Marks the component (and its owned components) as being destroyed.
  void Destroying();

  // `component` will be told (Notification opRemove) when this one goes.
  void FreeNotification(TComponent* component);
  void RemoveFreeNotification(TComponent* component);

  TComponentState ComponentState() const { return state_; }
  // Design mode, for tests of the paths that run only while designing; also
  // applied to the owned components.
  void SetDesigning(bool designing, bool setChildren = true);
  // Used by the stored-description reader: csLoading/csReading on and off.
  void SetLoadingState(bool loading);
  void SetReadingState(bool reading);

  // Called once the whole stored description has been read; clears csLoading.
  virtual void Loaded();
  // Another component was inserted into or removed from this one's owner, or
  // a component this one asked to be told of goes away.
  virtual void Notification(TComponent* component, TOperation operation);

  std::string GetNamePath() override { return name_; }
  TPersistent* GetOwner() override { return owner_; }

  // The component whose block encloses this one's in a stored description
  // (a control's parent); nullptr by default. The reader calls
  // SetParentComponent for a block nested in another component's block; the
  // writer nests the block under GetParentComponent.
  virtual TComponent* GetParentComponent() const { return nullptr; }
  virtual void SetParentComponent(TComponent* parent) { (void)parent; }

  // IInterface without lifetime effect.
  HRESULT QueryInterface(const TGUID& iid, void** obj) override;
  int32_t _AddRef() override { return -1; }
  int32_t _Release() override { return -1; }

 protected:
  // Renames without the checks (the reader's fix-ups use it).
  void ChangeName(const std::string& name) { name_ = name; }
  virtual void ValidateRename(TComponent* component, const std::string& curName,
                              const std::string& newName);

 private:
  TComponent* owner_ = nullptr;
  std::string name_;
  std::vector<TComponent*> components_;
  std::vector<TComponent*> free_notifies_;
  TComponentState state_;
};

// Is `name` a valid component name (a letter or '_' then letters, digits or
// '_')?
bool IsValidIdent(std::string_view name);

// ---------------------------------------------------------------------------
// Collections

class TCollection;

enum TCollectionNotification { cnAdded, cnExtracting, cnDeleting };

class TCollectionItem : public TPersistent {
  KESTRUNE_CLASS(TCollectionItem, TPersistent)
  // Joins `collection` (may be null); the collection is told of the new item
  // once construction has finished.
  explicit TCollectionItem(TCollection* collection);
  ~TCollectionItem() override;
  void AfterConstruction() override;

  TCollection* Collection() const { return collection_; }
  // Moves the item to another collection (or out of any with nullptr).
  void SetCollection(TCollection* collection);
  int Index() const;
  // Moves the item to `index` (kept within the collection), the items between
  // closing up.
  virtual void SetIndex(int index);
  int ID() const { return id_; }
  std::string DisplayName() { return GetDisplayName(); }
  virtual std::string GetDisplayName() { return ClassName(); }
  std::string GetNamePath() override;
  TPersistent* GetOwner() override;

 protected:
  // Tells the collection that this item (or, with allItems, every item)
  // changed, unless the collection is inside BeginUpdate/EndUpdate.
  void Changed(bool allItems);

 private:
  friend class TCollection;
  TCollection* collection_ = nullptr;
  int id_ = 0;
};

class TCollection : public TPersistent {
  KESTRUNE_CLASS(TCollection, TPersistent)
  // `itemClass` must be a registered class derived from TCollectionItem.
  explicit TCollection(TClass itemClass);
  ~TCollection() override;
  // Frees the items while the most derived class still runs, so that its
  // Notify hears of every deletion.
  void BeforeDestruction() override;

  TClass ItemClass() const { return item_class_; }
  int Count() const { return static_cast<int>(items_.size()); }
  TCollectionItem* Items(int index) const;
  TCollectionItem* Add();
  TCollectionItem* Insert(int index);
  void Delete(int index);
  void Clear();
  TCollectionItem* FindItemID(int id) const;
  int IndexOfItem(const TCollectionItem* item) const;

  void BeginUpdate() { ++update_count_; }
  void EndUpdate();
  int UpdateCount() const { return update_count_; }
  // Copies every item of another collection through the items' Assign.
  void Assign(TPersistent* source) override;
  std::string GetNamePath() override;
  // The property name under which the owner stores this collection.
  std::string PropName;

 protected:
  // An item changed (nullptr: several or all); the base does nothing.
  virtual void Update(TCollectionItem* item) { (void)item; }
  // An item was added, is being extracted or deleted.
  virtual void Notify(TCollectionItem* item, TCollectionNotification action) {
    (void)item;
    (void)action;
  }
  // Calls Update unless inside BeginUpdate/EndUpdate.
  void Changed();

 private:
  friend class TCollectionItem;
  void DeleteAllItems();
  void InsertItem(TCollectionItem* item);
  void RemoveItem(TCollectionItem* item);
  void ItemAdded(TCollectionItem* item);

  TClass item_class_;
  std::vector<TCollectionItem*> items_;
  int update_count_ = 0;
  int next_id_ = 0;
};

// A collection with an owner (the object that stores it as a property).
class TOwnedCollection : public TCollection {
  KESTRUNE_CLASS(TOwnedCollection, TCollection)
  TOwnedCollection(TPersistent* owner, TClass itemClass) : TCollection(itemClass), owner_(owner) {}
  TPersistent* GetOwner() override { return owner_; }

 private:
  TPersistent* owner_;
};

// ---------------------------------------------------------------------------
// Creating objects by class: the class registry keeps one creator per class
// that stored descriptions and collections can instantiate.

// Creates an instance with the given owner: a TComponent's owner component,
// or a TCollectionItem's collection (the creator casts as it needs).
using TPersistentCreator = TPersistent* (*)(TPersistent* owner);

template <class T>
TPersistent* CreatePersistentInstance(TPersistent* owner) {
  if constexpr (std::is_base_of_v<TComponent, T>) {
    return Create<T>(dynamic_cast<TComponent*>(owner));
  } else if constexpr (std::is_base_of_v<TCollectionItem, T>) {
    return Create<T>(dynamic_cast<TCollection*>(owner));
  } else {
    (void)owner;
    return Create<T>();
  }
}

void RegisterCreator(TClass cls, TPersistentCreator creator);
// nullptr when the class has no creator.
TPersistentCreator FindCreator(TClass cls);
// Finds a class with a creator by its name (case-insensitive); nullptr if none.
TClass FindClassByName(std::string_view name);
