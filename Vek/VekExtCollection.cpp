#include "Vek/VekExtCollection.h"

#include <algorithm>

#include "platform/rtl/SysUtils.h"

TVekExtCollectionItem::~TVekExtCollectionItem() {
  // Leave the collection first, as the base destructor would, so that the
  // collection's change handling still sees the outside variable set; then
  // clear it.
  SetCollection(nullptr);
  if (clear_cell_ != nullptr)
    clear_cell_(reference_cell_);
}

TVekExtCollection::TVekExtCollection(TPersistent* owner, TClass itemClass)
    : TCollection(itemClass), owner_(owner) {
  KESTRUNE_USAGE_CHECK(itemClass->InheritsFrom(TVekExtCollectionItem::StaticClass()),
                       "an extended collection's item class must derive from "
                       "TVekExtCollectionItem");
}

TVekExtCollection::~TVekExtCollection() {
  listeners_.clear();
}

void TVekExtCollection::AddListener(IVekExtCollectionListener* listener) {
  if (listener == nullptr)
    return;
  auto same = [listener](const IPtr<IVekExtCollectionListener>& l) { return l.get() == listener; };
  if (std::none_of(listeners_.begin(), listeners_.end(), same))
    listeners_.emplace_back(listener);
}

void TVekExtCollection::RemoveListener(IVekExtCollectionListener* listener) {
  auto it = std::find_if(listeners_.begin(), listeners_.end(),
                         [listener](const auto& l) { return l.get() == listener; });
  if (it != listeners_.end())
    listeners_.erase(it);
}

void TVekExtCollection::Notify(TCollectionItem* item, TCollectionNotification action) {
  inherited::Notify(item, action);
  if (action != cnAdded)
    return;
  auto* extItem = dynamic_cast<TVekExtCollectionItem*>(item);
  KESTRUNE_USAGE_CHECK(extItem != nullptr,
                       "only TVekExtCollectionItem items may join an extended collection");
  NotifyItemAdded(extItem);
}

void TVekExtCollection::NotifyItemAdded(TVekExtCollectionItem* item) {
  if (item->added_)
    return;
  item->added_ = true;
  ItemAdded(item);
  TellListeners(item);
}

void TVekExtCollection::TellListeners(TVekExtCollectionItem* item) {
  // A copy of plain pointers: a listener may add or remove listeners while it
  // is told, and may free another one (an uncounted listener leaves the list
  // when it goes). The copy holds no references, so nothing touches a
  // listener after it left; each one is called only while it is still a
  // member, which also means still alive.
  std::vector<IVekExtCollectionListener*> listeners;
  listeners.reserve(listeners_.size());
  for (const auto& l : listeners_)
    listeners.push_back(l.get());
  for (IVekExtCollectionListener* listener : listeners) {
    auto member = [listener](const IPtr<IVekExtCollectionListener>& l) {
      return l.get() == listener;
    };
    if (std::none_of(listeners_.begin(), listeners_.end(), member))
      continue;
    try {
      listener->CollectionItemAdded(this, item);
    } catch (...) {
      // A listener's failure is its own: the item is added all the same and
      // the next listener is told.
    }
  }
}
