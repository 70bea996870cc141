#include "platform/classes/Classes.h"
#include "platform/rtl/ScopeExit.h"

#include <algorithm>
#include <cctype>
#include <mutex>
#include <unordered_map>

// ---------------------------------------------------------------------------
// TPersistent

void TPersistent::Assign(TPersistent* source) {
  if (source != nullptr) {
    source->AssignTo(this);
  } else {
    AssignTo(this);  // nothing can be assigned from nil
  }
}

void TPersistent::AssignTo(TPersistent* dest) {
  RaiseAssignError(this, dest);
}

void RaiseAssignError(TPersistent* source, TPersistent* dest) {
  std::string from = source != nullptr && source != dest ? source->ClassName() : "nil";
  throw EConvertError("Impossible d'affecter " + from + " à " + dest->ClassName());
}

std::string TPersistent::GetNamePath() {
  return ClassName();
}

// ---------------------------------------------------------------------------
// TComponent

bool IsValidIdent(std::string_view name) {
  if (name.empty())
    return false;
  auto alpha = [](char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; };
  if (!alpha(name[0]))
    return false;
  return std::all_of(name.begin() + 1, name.end(), [&](char c) {
    return alpha(c) || std::isdigit(static_cast<unsigned char>(c));
  });
}

TComponent::TComponent(TComponent* owner) {
  if (owner != nullptr)
    owner->InsertComponent(this);
}

TComponent::~TComponent() {
  Destroying();
  // Tell everyone who asked that we go, then forget them.
  while (!free_notifies_.empty()) {
    TComponent* other = free_notifies_.back();
    free_notifies_.pop_back();
    auto& back = other->free_notifies_;
    back.erase(std::remove(back.begin(), back.end(), this), back.end());
    other->Notification(this, opRemove);
  }
  DestroyComponents();
  if (owner_ != nullptr)
    owner_->RemoveComponent(this);
}

void TComponent::BeforeDestruction() {
  if (!state_.Contains(csDestroying))
    Destroying();
}

void TComponent::Destroying() {
  if (state_.Contains(csDestroying))
    return;
  state_.Include(csDestroying);
  for (TComponent* c : components_)
    c->Destroying();
}

TComponent* TComponent::Components(int index) const {
  if (index < 0 || index >= ComponentCount())
    RaiseListIndexError(index);
  return components_[static_cast<size_t>(index)];
}

int TComponent::ComponentIndex() const {
  if (owner_ == nullptr)
    return -1;
  auto& list = owner_->components_;
  auto it = std::find(list.begin(), list.end(), this);
  return it == list.end() ? -1 : static_cast<int>(it - list.begin());
}

TComponent* TComponent::FindComponent(std::string_view name) const {
  if (name.empty())
    return nullptr;
  for (TComponent* c : components_) {
    if (SameText(c->name_, name))
      return c;
  }
  return nullptr;
}

void TComponent::ValidateRename(TComponent* component, const std::string& curName,
                                const std::string& newName) {
  (void)curName;
  if (newName.empty())
    return;
  TComponent* existing = FindComponent(newName);
  if (existing != nullptr && existing != component)
    throw EComponentError("Un composant nommé " + newName + " existe déjà");
}

void TComponent::SetName(const std::string& name) {
  if (name == name_)
    return;
  if (!name.empty() && !IsValidIdent(name))
    throw EComponentError("« " + name + " » n'est pas un nom de composant correct");
  if (owner_ != nullptr)
    owner_->ValidateRename(this, name_, name);
  name_ = name;
}

void TComponent::InsertComponent(TComponent* component) {
  if (component == nullptr)
    return;
  KESTRUNE_USAGE_CHECK(component->owner_ == nullptr, "component already has an owner");
  ValidateRename(component, "", component->name_);
  components_.push_back(component);
  component->owner_ = this;
  if (state_.Contains(csDesigning))
    component->SetDesigning(true);
  Notification(component, opInsert);
}

void TComponent::RemoveComponent(TComponent* component) {
  if (component == nullptr || component->owner_ != this)
    return;
  Notification(component, opRemove);
  components_.erase(std::remove(components_.begin(), components_.end(), component),
                    components_.end());
  component->owner_ = nullptr;
}

void TComponent::DestroyComponents() {
  while (!components_.empty()) {
    TComponent* c = components_.back();
    // Leaves the list first so that its destruction does not look for it.
    components_.pop_back();
    c->owner_ = nullptr;
    Notification(c, opRemove);
    c->Free();
  }
}

void TComponent::FreeNotification(TComponent* component) {
  if (component == nullptr || component == this)
    return;
  if (std::find(free_notifies_.begin(), free_notifies_.end(), component) == free_notifies_.end()) {
    free_notifies_.push_back(component);
    component->free_notifies_.push_back(this);
  }
  state_.Include(csFreeNotification);
}

void TComponent::RemoveFreeNotification(TComponent* component) {
  if (component == nullptr)
    return;
  free_notifies_.erase(std::remove(free_notifies_.begin(), free_notifies_.end(), component),
                       free_notifies_.end());
  auto& back = component->free_notifies_;
  back.erase(std::remove(back.begin(), back.end(), this), back.end());
}

void TComponent::SetDesigning(bool designing, bool setChildren) {
  if (designing) {
    state_.Include(csDesigning);
  } else {
    state_.Exclude(csDesigning);
  }
  if (setChildren) {
    for (TComponent* c : components_)
      c->SetDesigning(designing, true);
  }
}

void TComponent::SetLoadingState(bool loading) {
  if (loading) {
    state_.Include(csLoading);
  } else {
    state_.Exclude(csLoading);
  }
}

void TComponent::SetReadingState(bool reading) {
  if (reading) {
    state_.Include(csReading);
  } else {
    state_.Exclude(csReading);
  }
}

void TComponent::Loaded() {
  state_.Exclude(csLoading);
}

void TComponent::Notification(TComponent* component, TOperation operation) {
  if (operation == opRemove && component != nullptr)
    RemoveFreeNotification(component);
  // Pass the news on to the owned components, as the runtime does.
  for (size_t i = components_.size(); i-- > 0;) {
    if (i < components_.size() && components_[i] != component)
      components_[i]->Notification(component, operation);
  }
}

HRESULT TComponent::QueryInterface(const TGUID& iid, void** obj) {
  if (iid == IInterface::IID) {
    *obj = static_cast<IInterface*>(this);
    return S_OK;
  }
  *obj = nullptr;
  return E_NOINTERFACE;
}

// ---------------------------------------------------------------------------
// Collections

TCollectionItem::TCollectionItem(TCollection* collection) {
  if (collection != nullptr)
    collection->InsertItem(this);
}

TCollectionItem::~TCollectionItem() {
  if (collection_ != nullptr)
    collection_->RemoveItem(this);
}

void TCollectionItem::AfterConstruction() {
  inherited::AfterConstruction();
  if (collection_ != nullptr)
    collection_->ItemAdded(this);
}

void TCollectionItem::SetCollection(TCollection* collection) {
  if (collection == collection_)
    return;
  if (collection_ != nullptr)
    collection_->RemoveItem(this);
  if (collection != nullptr) {
    collection->InsertItem(this);
    collection->ItemAdded(this);
  }
}

int TCollectionItem::Index() const {
  return collection_ == nullptr ? -1 : collection_->IndexOfItem(this);
}

void TCollectionItem::SetIndex(int index) {
  int cur = Index();
  if (cur < 0 || index == cur)
    return;
  auto& items = collection_->items_;
  if (index < 0)
    index = 0;
  if (index >= static_cast<int>(items.size()))
    index = static_cast<int>(items.size()) - 1;
  items.erase(items.begin() + cur);
  items.insert(items.begin() + index, this);
  Changed(true);
}

std::string TCollectionItem::GetNamePath() {
  if (collection_ == nullptr)
    return ClassName();
  return collection_->GetNamePath() + "[" + std::to_string(Index()) + "]";
}

TPersistent* TCollectionItem::GetOwner() {
  return collection_;
}

void TCollectionItem::Changed(bool allItems) {
  if (collection_ != nullptr && collection_->update_count_ == 0)
    collection_->Update(allItems ? nullptr : this);
}

TCollection::TCollection(TClass itemClass) : item_class_(itemClass) {
  KESTRUNE_USAGE_CHECK(
      itemClass != nullptr && itemClass->InheritsFrom(TCollectionItem::StaticClass()),
      "collection item class must derive from TCollectionItem");
}

TCollection::~TCollection() {
  // Normally empty already (BeforeDestruction); a collection destroyed without
  // Free still frees its items.
  DeleteAllItems();
}

void TCollection::BeforeDestruction() {
  DeleteAllItems();
  inherited::BeforeDestruction();
}

void TCollection::DeleteAllItems() {
  update_count_ = 1;  // no Update calls while the items go
  while (!items_.empty()) {
    TCollectionItem* item = items_.back();
    Notify(item, cnDeleting);
    item->Free();  // RemoveItem takes it out of the list
  }
}

TCollectionItem* TCollection::Items(int index) const {
  if (index < 0 || index >= Count())
    RaiseListIndexError(index);
  return items_[static_cast<size_t>(index)];
}

TCollectionItem* TCollection::Add() {
  TPersistentCreator creator = FindCreator(item_class_);
  if (creator == nullptr)
    throw EClassNotFound(std::string("Classe ") + item_class_->Name + " non trouvée");
  TPersistent* made = creator(this);
  auto* item = dynamic_cast<TCollectionItem*>(made);
  KESTRUNE_USAGE_CHECK(item != nullptr, "collection creator made no item");
  return item;
}

TCollectionItem* TCollection::Insert(int index) {
  TCollectionItem* item = Add();
  item->SetIndex(index);
  return item;
}

void TCollection::Delete(int index) {
  TCollectionItem* item = Items(index);
  Notify(item, cnDeleting);
  item->Free();
}

void TCollection::Clear() {
  if (items_.empty())
    return;
  BeginUpdate();
  while (!items_.empty()) {
    TCollectionItem* item = items_.back();
    Notify(item, cnDeleting);
    item->Free();
  }
  EndUpdate();
}

TCollectionItem* TCollection::FindItemID(int id) const {
  for (TCollectionItem* item : items_) {
    if (item->id_ == id)
      return item;
  }
  return nullptr;
}

int TCollection::IndexOfItem(const TCollectionItem* item) const {
  auto it = std::find(items_.begin(), items_.end(), item);
  return it == items_.end() ? -1 : static_cast<int>(it - items_.begin());
}

void TCollection::EndUpdate() {
  KESTRUNE_USAGE_CHECK(update_count_ > 0, "EndUpdate without BeginUpdate");
  --update_count_;
  Changed();
}

void TCollection::Changed() {
  if (update_count_ == 0)
    Update(nullptr);
}

void TCollection::Assign(TPersistent* source) {
  auto* other = dynamic_cast<TCollection*>(source);
  if (other == nullptr) {
    inherited::Assign(source);
    return;
  }
  BeginUpdate();
  kestrune::ScopeExit endUpdate([&] { EndUpdate(); });
  Clear();
  for (TCollectionItem* item : other->items_)
    Add()->Assign(item);
}

std::string TCollection::GetNamePath() {
  TPersistent* owner = GetOwner();
  if (owner == nullptr || PropName.empty())
    return ClassName();
  std::string path = owner->GetNamePath();
  return path.empty() ? PropName : path + "." + PropName;
}

void TCollection::InsertItem(TCollectionItem* item) {
  items_.push_back(item);
  item->collection_ = this;
  item->id_ = next_id_++;
}

void TCollection::RemoveItem(TCollectionItem* item) {
  items_.erase(std::remove(items_.begin(), items_.end(), item), items_.end());
  item->collection_ = nullptr;
  Changed();
}

void TCollection::ItemAdded(TCollectionItem* item) {
  Notify(item, cnAdded);
  Changed();
}

// ---------------------------------------------------------------------------
// Creators

namespace {
struct CreatorRegistry {
  std::mutex lock;
  std::unordered_map<TClass, TPersistentCreator> by_class;
  std::vector<TClass> order;
};
CreatorRegistry& Creators() {
  static CreatorRegistry registry;
  return registry;
}
}  // namespace

void RegisterCreator(TClass cls, TPersistentCreator creator) {
  auto& r = Creators();
  std::lock_guard guard(r.lock);
  if (r.by_class.emplace(cls, creator).second)
    r.order.push_back(cls);
}

TPersistentCreator FindCreator(TClass cls) {
  auto& r = Creators();
  std::lock_guard guard(r.lock);
  auto it = r.by_class.find(cls);
  return it == r.by_class.end() ? nullptr : it->second;
}

TClass FindClassByName(std::string_view name) {
  auto& r = Creators();
  std::lock_guard guard(r.lock);
  for (TClass c : r.order) {
    if (SameText(c->Name, name))
      return c;
  }
  return nullptr;
}
