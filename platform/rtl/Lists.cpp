#include "platform/rtl/Lists.h"

#include <algorithm>

void RaiseListIndexError(int index) {
  throw EListError(Format("Indice de liste hors limites (%d)", {index}));
}

TList::~TList() = default;

void TList::BeforeDestruction() {
  Clear();
  inherited::BeforeDestruction();
}

void TList::SetCount(int count) {
  if (count < 0)
    RaiseListIndexError(count);
  while (Count() > count)
    Delete(Count() - 1);
  items_.resize(static_cast<size_t>(count), nullptr);
}

void TList::SetCapacity(int capacity) {
  if (capacity < Count())
    RaiseListIndexError(capacity);
  items_.reserve(static_cast<size_t>(capacity));
}

void* TList::Get(int index) const {
  if (index < 0 || index >= Count())
    RaiseListIndexError(index);
  return items_[static_cast<size_t>(index)];
}

void TList::Put(int index, void* item) {
  if (index < 0 || index >= Count())
    RaiseListIndexError(index);
  void* old = items_[static_cast<size_t>(index)];
  if (old == item)
    return;
  items_[static_cast<size_t>(index)] = item;
  if (old != nullptr)
    Notify(old, lnDeleted);
  if (item != nullptr)
    Notify(item, lnAdded);
}

int TList::Add(void* item) {
  items_.push_back(item);
  if (item != nullptr)
    Notify(item, lnAdded);
  return Count() - 1;
}

void TList::Insert(int index, void* item) {
  if (index < 0 || index > Count())
    RaiseListIndexError(index);
  items_.insert(items_.begin() + index, item);
  if (item != nullptr)
    Notify(item, lnAdded);
}

void TList::Delete(int index) {
  if (index < 0 || index >= Count())
    RaiseListIndexError(index);
  void* item = items_[static_cast<size_t>(index)];
  items_.erase(items_.begin() + index);
  if (item != nullptr)
    Notify(item, lnDeleted);
}

int TList::Remove(void* item) {
  int index = IndexOf(item);
  if (index >= 0)
    Delete(index);
  return index;
}

void* TList::Extract(void* item) {
  int index = IndexOf(item);
  if (index < 0)
    return nullptr;
  void* found = items_[static_cast<size_t>(index)];
  items_.erase(items_.begin() + index);
  Notify(found, lnExtracted);
  return found;
}

int TList::IndexOf(const void* item) const {
  auto it = std::find(items_.begin(), items_.end(), item);
  return it == items_.end() ? -1 : static_cast<int>(it - items_.begin());
}

void TList::Exchange(int index1, int index2) {
  if (index1 < 0 || index1 >= Count())
    RaiseListIndexError(index1);
  if (index2 < 0 || index2 >= Count())
    RaiseListIndexError(index2);
  std::swap(items_[static_cast<size_t>(index1)], items_[static_cast<size_t>(index2)]);
}

void TList::Move(int curIndex, int newIndex) {
  if (curIndex == newIndex)
    return;
  if (newIndex < 0 || newIndex >= Count())
    RaiseListIndexError(newIndex);
  void* item = Get(curIndex);
  items_.erase(items_.begin() + curIndex);
  items_.insert(items_.begin() + newIndex, item);
}

void TList::Clear() {
  while (!items_.empty())
    Delete(Count() - 1);
  items_.shrink_to_fit();
}

void TList::Pack() {
  items_.erase(std::remove(items_.begin(), items_.end(), nullptr), items_.end());
}

void TList::Sort(TListSortCompare compare) {
  std::sort(items_.begin(), items_.end(),
            [compare](void* a, void* b) { return compare(a, b) < 0; });
}

void TList::Notify(void*, TListNotification) {}

void TObjectList::Notify(void* item, TListNotification action) {
  if (owns_objects_ && action == lnDeleted)
    static_cast<TObject*>(item)->Free();
  TList::Notify(item, action);
}

TThreadList::TThreadList() : list_(Create<TList>()) {}
TThreadList::~TThreadList() {
  list_->Free();
}

TList* TThreadList::LockList() {
  lock_.lock();
  return list_;
}

void TThreadList::UnlockList() {
  lock_.unlock();
}

void TThreadList::Add(void* item) {
  std::lock_guard guard(lock_);
  if (Duplicates == dupAccept || list_->IndexOf(item) < 0) {
    list_->Add(item);
  } else if (Duplicates == dupError) {
    throw EListError("Liste ne permet pas les doublons");
  }
}

void TThreadList::Remove(void* item) {
  std::lock_guard guard(lock_);
  list_->Remove(item);
}

void TThreadList::Clear() {
  std::lock_guard guard(lock_);
  list_->Clear();
}

int TInterfaceList::Count() const {
  std::lock_guard guard(lock_);
  return static_cast<int>(items_.size());
}

IPtr<IInterface> TInterfaceList::Get(int index) const {
  std::lock_guard guard(lock_);
  if (index < 0 || index >= static_cast<int>(items_.size()))
    RaiseListIndexError(index);
  return items_[static_cast<size_t>(index)];
}

void TInterfaceList::Put(int index, const IPtr<IInterface>& item) {
  std::lock_guard guard(lock_);
  if (index < 0 || index >= static_cast<int>(items_.size()))
    RaiseListIndexError(index);
  items_[static_cast<size_t>(index)] = item;
}

int TInterfaceList::Add(const IPtr<IInterface>& item) {
  std::lock_guard guard(lock_);
  items_.push_back(item);
  return static_cast<int>(items_.size()) - 1;
}

void TInterfaceList::Insert(int index, const IPtr<IInterface>& item) {
  std::lock_guard guard(lock_);
  if (index < 0 || index > static_cast<int>(items_.size()))
    RaiseListIndexError(index);
  items_.insert(items_.begin() + index, item);
}

void TInterfaceList::Delete(int index) {
  IPtr<IInterface> released;  // released after the lock is dropped
  std::lock_guard guard(lock_);
  if (index < 0 || index >= static_cast<int>(items_.size()))
    RaiseListIndexError(index);
  released = std::move(items_[static_cast<size_t>(index)]);
  items_.erase(items_.begin() + index);
}

int TInterfaceList::Remove(IInterface* item) {
  std::lock_guard guard(lock_);
  int index = IndexOf(item);
  if (index >= 0)
    Delete(index);
  return index;
}

int TInterfaceList::IndexOf(const IInterface* item) const {
  std::lock_guard guard(lock_);
  for (size_t i = 0; i < items_.size(); ++i) {
    if (items_[i].get() == item)
      return static_cast<int>(i);
  }
  return -1;
}

void TInterfaceList::Clear() {
  std::vector<IPtr<IInterface>> released;
  {
    std::lock_guard guard(lock_);
    released.swap(items_);
  }
}

TStringList::~TStringList() {
  Clear();
}

void TStringList::CheckIndex(int index) const {
  if (index < 0 || index >= Count())
    RaiseListIndexError(index);
}

const std::string& TStringList::Strings(int index) const {
  CheckIndex(index);
  return items_[static_cast<size_t>(index)].text;
}

void TStringList::SetString(int index, std::string s) {
  CheckIndex(index);
  items_[static_cast<size_t>(index)].text = std::move(s);
}

TObject* TStringList::Objects(int index) const {
  CheckIndex(index);
  return items_[static_cast<size_t>(index)].object;
}

void TStringList::SetObject(int index, TObject* obj) {
  CheckIndex(index);
  items_[static_cast<size_t>(index)].object = obj;
}

int TStringList::AddObject(std::string s, TObject* obj) {
  items_.push_back({std::move(s), obj});
  return Count() - 1;
}

void TStringList::Insert(int index, std::string s, TObject* obj) {
  if (index < 0 || index > Count())
    RaiseListIndexError(index);
  items_.insert(items_.begin() + index, Item{std::move(s), obj});
}

void TStringList::Delete(int index) {
  CheckIndex(index);
  TObject* obj = items_[static_cast<size_t>(index)].object;
  items_.erase(items_.begin() + index);
  if (OwnsObjects)
    FreeObject(obj);
}

void TStringList::Clear() {
  while (!items_.empty())
    Delete(Count() - 1);
}

int TStringList::IndexOf(std::string_view s) const {
  for (size_t i = 0; i < items_.size(); ++i) {
    if (SameText(items_[i].text, s))
      return static_cast<int>(i);
  }
  return -1;
}

int TStringList::IndexOfObject(const TObject* obj) const {
  for (size_t i = 0; i < items_.size(); ++i) {
    if (items_[i].object == obj)
      return static_cast<int>(i);
  }
  return -1;
}
