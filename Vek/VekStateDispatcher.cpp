// State pins and state dispatchers.
#include "Vek/VekStateDispatcher.h"

#include <algorithm>

#include "Vek/VekPins.h"
#include "Vek/VekStdTypes.h"

// ---------------------------------------------------------------------------
// TVekStatePin

int TVekStatePin::GetStateLinkCount() {
  TVekGlobalReadLockSection global;
  TVekReadLockSection own(this);
  return dispatcher_ != nullptr ? dispatcher_->GetPinCount() : 0;
}

TVekBasicPin* TVekStatePin::GetStateLink(int index) {
  TVekGlobalReadLockSection global;
  TVekReadLockSection own(this);
  return dispatcher_ != nullptr ? dispatcher_->GetPin(index) : nullptr;
}

TGUID TVekStatePin::GetLinkType(TVekBasicPin* pin) {
  // Each step takes its own sections; none is held while the far pin is
  // asked for the common type.
  TVekGlobalReadLockSection global;
  return IsConnectedTo(pin) ? GetPinLinkType(pin) : TGUID{};
}

bool TVekStatePin::CanLinkTo(TVekBasicPin* pin) {
  TVekGlobalWriteLockSection global;
  TVekReadLockSection own(this);
  if (pin == nullptr || IsDesigning() != pin->IsDesigning())
    return false;
  if (dynamic_cast<TVekSourcePin*>(pin) != nullptr)
    return !pin->FindCommonType(this).IsNull();
  return !FindCommonType(pin).IsNull();
}

bool TVekStatePin::HasCommonType(TVekBasicPin* pin) {
  TVekGlobalWriteLockSection global;
  if (pin == nullptr)
    return true;
  TVekReadLockSection own(this);
  if (dynamic_cast<TVekStatePin*>(pin) != nullptr) {
    return !FindCommonType(pin).IsNull() && !pin->FindCommonType(this).IsNull();
  }
  if (dynamic_cast<TVekSinkPin*>(pin) != nullptr)
    return !FindCommonType(pin).IsNull();
  if (dynamic_cast<TVekSourcePin*>(pin) != nullptr)
    return !pin->FindCommonType(this).IsNull();
  return false;
}

void TVekStatePin::SyncStatePeers() {
  TVekGlobalWriteLockSection global;
  TVekWriteLockSection own(this);
  if (dispatcher_ != nullptr)
    dispatcher_->SyncFrom(this);
}

// ---------------------------------------------------------------------------
// Names and registries

std::string UniqueDispatcherName(TComponent* owner) {
  TVekGlobalReadLockSection global;
  kestrune::CriticalSectionGuard guard(*GlobalPinCriticalSection());
  const bool designing = owner != nullptr && owner->ComponentState().Contains(csDesigning);
  const std::string base = owner != nullptr ? owner->Name() : std::string();
  TList* registry = GetDispatcherList(designing);
  for (int n = 1;; ++n) {
    const std::string name = base + "Link" + std::to_string(n);
    bool taken = false;
    for (void* p : registry->List()) {
      if (static_cast<TVekStateDispatcher*>(p)->Name() == name) {
        taken = true;
        break;
      }
    }
    if (!taken)
      return name;
  }
}

TVekStateDispatcher* FindOrCreateNamedDispatcher(TVekBasicPin* pin, const std::string& name,
                                                 bool designRegistry) {
  TVekGlobalReadLockSection global;
  {
    kestrune::CriticalSectionGuard guard(*GlobalPinCriticalSection());
    for (void* p : GetDispatcherList(designRegistry)->List()) {
      auto* d = static_cast<TVekStateDispatcher*>(p);
      if (d->Name() == name)
        return d;
    }
  }
  return pin->CreateNamedDispatcher(name, designRegistry);
}

// ---------------------------------------------------------------------------
// TVekStateDispatcher

TVekStateDispatcher::TVekStateDispatcher(const std::string& name, bool designRegistry)
    : name_(name), design_registry_(designRegistry) {
  kestrune::CriticalSectionGuard guard(*GlobalPinCriticalSection());
  GetDispatcherList(designRegistry)->Add(this);
}

TVekStateDispatcher* TVekStateDispatcher::CreateForOwner(TComponent* owner) {
  const bool designing = owner != nullptr && owner->ComponentState().Contains(csDesigning);
  return Create<TVekStateDispatcher>(UniqueDispatcherName(owner), designing);
}

void TVekStateDispatcher::BeforeDestruction() {
  BroadcastDispatcherDestroying(this, false);
  inherited::BeforeDestruction();
}

TVekStateDispatcher::~TVekStateDispatcher() {
  TVekGlobalWriteLockSection global;
  TVekWriteLockSection own(this);
  kestrune::CriticalSectionGuard guard(*GlobalPinCriticalSection());
  if (TList* l = GetDispatcherList(true))
    l->Remove(this);
  if (TList* l = GetDispatcherList(false))
    l->Remove(this);
}

int TVekStateDispatcher::IndexOfPinLocked(TVekBasicPin* pin) const {
  for (size_t i = 0; i < records_.size(); ++i) {
    if (records_[i].Pin == pin)
      return static_cast<int>(i);
  }
  return -1;
}

int TVekStateDispatcher::GetPinCount() {
  TVekGlobalReadLockSection global;
  TVekReadLockSection own(this);
  return static_cast<int>(records_.size());
}

TVekBasicPin* TVekStateDispatcher::GetPin(int index) {
  TVekGlobalReadLockSection global;
  TVekReadLockSection own(this);
  if (index < 0 || index >= static_cast<int>(records_.size()))
    return nullptr;
  return records_[index].Pin;
}

TVekBasicPin* TVekStateDispatcher::GetPinData(int index) {
  TVekGlobalReadLockSection global;
  TVekReadLockSection own(this);
  if (index < 0 || index >= static_cast<int>(records_.size()))
    return nullptr;
  return records_[index].DependsOn;
}

bool TVekStateDispatcher::Contains(TVekBasicPin* pin) {
  TVekGlobalReadLockSection global;
  TVekReadLockSection own(this);
  return IndexOfPinLocked(pin) >= 0;
}

TVekBasicPin* TVekStateDispatcher::GetPinDependency(TVekBasicPin* pin) {
  TVekGlobalReadLockSection global;
  const int i = IndexOfPinLocked(pin);
  return i >= 0 ? records_[i].DependsOn : nullptr;
}

void TVekStateDispatcher::AddPinEx(TVekBasicPin* pin, TVekBasicPin* dependsOn) {
  TVekGlobalWriteLockSection global;
  TVekWriteLockSection own(this);
  if (IndexOfPinLocked(pin) >= 0)
    return;
  records_.push_back({pin, dependsOn});
  BroadcastDispatcherChanged(this);
}

void TVekStateDispatcher::RemovePin(TVekBasicPin* pin) {
  TVekGlobalWriteLockSection global;
  TVekWriteLockSection own(this);
  const int i = IndexOfPinLocked(pin);
  if (i >= 0)
    records_.erase(records_.begin() + i);
  // No record may keep depending on a pin that left.
  for (TVekDispatcherPinStorage& r : records_) {
    if (r.DependsOn == pin)
      r.DependsOn = nullptr;
  }
  if (records_.size() == 1) {
    records_[0].Pin->dispatcher_ = nullptr;
    records_.clear();
  }
  BroadcastDispatcherChanged(this);
  // Freed once our own section (and the caller's, if any) is released.
  if (records_.empty())
    FreeWhenUnlocked();
}

void TVekStateDispatcher::RemoveReference(TObject* object) {
  TVekGlobalWriteLockSection global;
  for (TVekDispatcherPinStorage& r : records_) {
    if (r.DependsOn == object)
      r.DependsOn = nullptr;
  }
}

bool TVekStateDispatcher::IsDependencyFree(TVekBasicPin* pinA, TVekBasicPin* pinB) {
  if (pinB == nullptr)
    return true;
  TVekReadLockSection own(this);
  // Walk B's chain of dependencies; a chain longer than the records is a
  // cycle and is refused.
  for (size_t steps = 0; steps <= records_.size(); ++steps) {
    if (pinB == pinA)
      return false;
    const int i = IndexOfPinLocked(pinB);
    if (i < 0)
      return false;
    pinB = records_[i].DependsOn;
    if (pinB == nullptr)
      return true;
  }
  return false;
}

std::string TVekStateDispatcher::GetDependencyName(TVekBasicPin* pin) {
  return IndexOfPinLocked(pin) >= 0 ? pin->GetFullPath(true) : std::string();
}

void TVekStateDispatcher::SetDependencyName(TVekBasicPin* pin, const std::string& name) {
  TVekGlobalWriteLockSection global;
  TVekBasicPin* found = nullptr;
  for (const TVekDispatcherPinStorage& r : records_) {
    if (r.Pin->GetFullPath(false) == name || r.Pin->GetFullPath(true) == name) {
      found = r.Pin;
      break;
    }
  }
  if (found == nullptr)
    return;
  const int i = IndexOfPinLocked(pin);
  if (i >= 0)
    records_[i].DependsOn = found;
}

void TVekStateDispatcher::ResetWritten() {
  TVekWriteLockSection own(this);
  written_objects_.clear();
  written_count_ = 0;
}

void TVekStateDispatcher::MarkWritten(TObject* object) {
  TVekWriteLockSection own(this);
  if (std::find(written_objects_.begin(), written_objects_.end(), object) ==
      written_objects_.end()) {
    written_objects_.push_back(object);
  }
  ++written_count_;
}

bool TVekStateDispatcher::IsWritten(TObject* object) {
  TVekReadLockSection own(this);
  return std::find(written_objects_.begin(), written_objects_.end(), object) !=
         written_objects_.end();
}

int TVekStateDispatcher::WrittenCount() {
  TVekReadLockSection own(this);
  return written_count_;
}

bool TVekStateDispatcher::SpansOwners() {
  TVekReadLockSection own(this);
  if (records_.empty())
    return false;
  const std::string first = records_[0].Pin->GetOwnerName();
  for (const TVekDispatcherPinStorage& r : records_) {
    if (r.Pin->GetOwnerName() != first)
      return true;
  }
  return false;
}

void TVekStateDispatcher::SyncFrom(TVekBasicPin* changed) {
  TVekGlobalWriteLockSection global;
  TVekWriteLockSection own(this);
  std::vector<TVekDispatcherPinStorage> records = records_;
  for (const TVekDispatcherPinStorage& r : records) {
    if (dynamic_cast<TVekSourcePin*>(r.Pin) == nullptr)
      continue;
    // With a source pin joined, only the source pin sends.
    IPtr<IVekNotifyOperation> op = NewOperation<TVekNotifyOperation>();
    r.Pin->NotifyStatePeers(op.get(), VekNotifySync, r.Pin == changed ? nullptr : changed);
    return;
  }
  for (const TVekDispatcherPinStorage& r : records) {
    if (dynamic_cast<TVekSinkPin*>(r.Pin) != nullptr)
      continue;
    IPtr<IVekNotifyOperation> op = NewOperation<TVekNotifyOperation>();
    r.Pin->NotifyStatePeers(op.get(), VekNotifySync, r.Pin == changed ? nullptr : changed);
  }
}
