// Extended collections: collections that know their owner and announce each
// item once.
//
// TVekExtCollection is the base of the collections that components publish as
// properties (the capture component's alternative devices, the scope's
// display collections). It is made with its owner, the component that stores
// it, so the class library can name it ("Owner.PropName") and store it inside
// that component, and with its item class, which must derive from
// TVekExtCollectionItem.
//
// Announcing an item: the first time an item is added to an extended
// collection (Add, Insert, or an item made with the collection), the
// collection marks the item as added, runs its own ItemAdded hook (empty
// here, for descendants) and then tells its listeners, in the order they were
// registered. An item that leaves and joins again, here or in another
// extended collection, is not announced again. A listener that raises does
// not stop the others and does not reach the code that added the item; an
// exception from the ItemAdded hook does.
//
// Listeners: objects implementing IVekExtCollectionListener, registered with
// AddListener (typically the owning component, which is not counted). The
// collection holds a reference to each; a listener that goes away first must
// RemoveListener itself. While the listeners are told, each is called only if
// it is still registered at its turn, so one listener may remove or free
// another; the walk holds no reference of its own, so a counted listener that
// removes itself from inside its call must keep itself alive until it
// returns.
//
// TVekExtCollectionItem can clear an outside pointer to itself when it is
// destroyed (SetReferenceCell), so that a component's "current item" field
// never dangles.
//
// Threads: like every collection, used on the thread that owns the owning
// component (the main thread in the program); nothing here locks.
#pragma once

#include <type_traits>
#include <vector>

#include "platform/classes/Classes.h"
#include "platform/rtl/System.h"

class TVekExtCollection;
class TVekExtCollectionItem;

// Told of every item announced by an extended collection it listens to.
struct IVekExtCollectionListener : public virtual IInterface {
  static constexpr TGUID IID = TGUID::Parse("{FB0D0664-79CD-4F83-A283-8F3467308810}");
  // Main thread, after the collection's own ItemAdded hook. An exception
  // raised here is dropped by the collection.
  virtual void CollectionItemAdded(TVekExtCollection* collection, TVekExtCollectionItem* item) = 0;
};

class TVekExtCollectionItem : public TCollectionItem {
  KESTRUNE_CLASS(TVekExtCollectionItem, TCollectionItem)
  explicit TVekExtCollectionItem(TCollection* collection) : TCollectionItem(collection) {}
  // Leaves the collection, then sets the reference cell's variable (when one
  // is set) to nullptr.
  ~TVekExtCollectionItem() override;

  // True once an extended collection has announced this item.
  bool Added() const { return added_; }

  // `cell` is an outside variable that points at this item; it is set to
  // nullptr when the item is destroyed. The caller keeps the variable alive
  // as long as the item (or clears the cell first). nullptr clears the cell.
  template <class T>
  void SetReferenceCell(T** cell) {
    static_assert(std::is_base_of_v<TVekExtCollectionItem, T>,
                  "a reference cell points at an item");
    reference_cell_ = cell;
    if (cell == nullptr)
      clear_cell_ = nullptr;
    else
      clear_cell_ = [](void* c) { *static_cast<T**>(c) = nullptr; };
  }
  void ClearReferenceCell() {
    reference_cell_ = nullptr;
    clear_cell_ = nullptr;
  }
  bool HasReferenceCell() const { return reference_cell_ != nullptr; }

 private:
  friend class TVekExtCollection;
  bool added_ = false;
  void* reference_cell_ = nullptr;
  void (*clear_cell_)(void* cell) = nullptr;
};

class TVekExtCollection : public TCollection {
  KESTRUNE_CLASS(TVekExtCollection, TCollection)
  // `owner` stores the collection (may be nullptr); `itemClass` must derive
  // from TVekExtCollectionItem (checked: a usage error otherwise).
  TVekExtCollection(TPersistent* owner, TClass itemClass);
  // Drops the listeners, then frees the items (their removal is not
  // announced).
  ~TVekExtCollection() override;

  TPersistent* GetOwner() override { return owner_; }

  // Adds a listener at the end of the list (nullptr, or one already
  // registered: nothing). The collection holds a reference to it.
  void AddListener(IVekExtCollectionListener* listener);
  // Removes a listener (one not registered: nothing). Safe from inside any
  // listener's call: a listener removed while others are told is not told.
  void RemoveListener(IVekExtCollectionListener* listener);
  int ListenerCount() const { return static_cast<int>(listeners_.size()); }

 protected:
  // Runs once per item, the first time it is announced, before the
  // listeners; empty here. An exception raised here reaches the code that
  // added the item.
  virtual void ItemAdded(TVekExtCollectionItem* item) { (void)item; }
  void Notify(TCollectionItem* item, TCollectionNotification action) override;

 private:
  void NotifyItemAdded(TVekExtCollectionItem* item);
  void TellListeners(TVekExtCollectionItem* item);

  TPersistent* owner_;
  std::vector<IPtr<IVekExtCollectionListener>> listeners_;
};
