// Placeholder pins and the resolution of stored links by name.
#include "Vek/VekPlaceholderPin.h"

#include <algorithm>

#include "Vek/VekPathText.h"
#include "Vek/VekPins.h"

namespace {

using vek_detail::AfterFirstDot;
using vek_detail::BeforeFirstDot;

// A copy of a registry list. The walks below call into pins, which may take
// group locks; GlobalPinCriticalSection is not held across such calls (lock
// order: Vek/VekLocks.h). The caller holds the global read section, so no
// pin of the copy is freed meanwhile (freeing takes the write lock).
std::vector<TVekBasicPin*> Snapshot(TList* list) {
  std::vector<TVekBasicPin*> pins;
  if (list == nullptr)
    return pins;
  kestrune::CriticalSectionGuard guard(*GlobalPinCriticalSection());
  for (void* p : list->List())
    pins.push_back(static_cast<TVekBasicPin*>(p));
  return pins;
}

}  // namespace

// ---------------------------------------------------------------------------
// Resolution

TVekBasicPin* FindPinByFullPath(TList* list, TComponent* owner, const std::string& path) {
  TVekGlobalReadLockSection global;
  const std::string withoutRoot = AfterFirstDot(path);
  for (TVekBasicPin* pin : Snapshot(list)) {
    TComponent* o = pin->GetOwnerComponent();
    const std::string full = pin->GetFullPathEx(true);
    if (o == nullptr || owner == nullptr || o == owner) {
      if ((owner == nullptr || pin->GetOwnerName() == owner->Name()) &&
          pin->GetFullPathEx(false) == path) {
        return pin;
      }
      if (full == path || full == withoutRoot)
        return pin;
    } else if (pin->GetOwnerName() != owner->Name() && full == path) {
      return pin;
    }
  }
  return nullptr;
}

TVekBasicPin* FindPinByPath(TList* list, TComponent* owner, const std::string& path) {
  TVekGlobalReadLockSection global;
  for (TVekBasicPin* pin : Snapshot(list)) {
    TComponent* o = pin->GetOwnerComponent();
    if (o != nullptr && owner != nullptr && o != owner)
      continue;
    if (pin->GetFullPath(false) == path || pin->GetFullPath(true) == path)
      return pin;
  }
  return nullptr;
}

TVekBasicPin* ResolvePinByPath(TList* list, TComponent* owner, TVekPinKind kind,
                               const std::string& identifierPath, const std::string& displayPath,
                               const std::string& requesterPath) {
  if (identifierPath.empty())
    return nullptr;
  if (TVekBasicPin* pin = FindPinByFullPath(list, owner, identifierPath))
    return pin;
  if (TVekBasicPin* pin = FindPinByPath(list, owner, displayPath))
    return pin;
  return Create<TVekUnloadedPin>(owner, kind, identifierPath, displayPath, requesterPath);
}

// ---------------------------------------------------------------------------
// TVekUnloadedPin

TVekUnloadedPin::TVekUnloadedPin(TComponent* rootOwner, TVekPinKind kind,
                                 const std::string& identifierPath, const std::string& displayPath,
                                 const std::string& requesterPath)
    : display_path_(displayPath),
      identifier_path_(identifierPath),
      kind_(kind),
      requester_path_(requesterPath) {
  if (rootOwner != nullptr) {
    designing_ = rootOwner->ComponentState().Contains(csDesigning);
    if (rootOwner->Name() == BeforeFirstDot(identifierPath))
      owner_component_ = rootOwner;
  }
}

void TVekUnloadedPin::AfterConstruction() {
  inherited::AfterConstruction();
  kestrune::CriticalSectionGuard guard(*GlobalPinCriticalSection());
  if (UnloadedPins()->IndexOf(this) < 0)
    UnloadedPins()->Add(this);
}

std::string TVekUnloadedPin::GetRelativePath() {
  const size_t dot = display_path_.rfind('.');
  return dot == std::string::npos ? display_path_ : display_path_.substr(dot + 1);
}

std::string TVekUnloadedPin::GetFullPath(bool withRoot) {
  return withRoot ? display_path_ : AfterFirstDot(identifier_path_);
}

std::string TVekUnloadedPin::GetFullPathEx(bool withRoot) {
  return withRoot ? identifier_path_ : AfterFirstDot(identifier_path_);
}

void TVekUnloadedPin::RemoveReference(TObject* object) {
  TVekGlobalWriteLockSection global;
  for (int i = links_.Count() - 1; i >= 0; --i) {
    if (links_.GetEntry(i).Sink == object)
      links_.Delete(i);
  }
  for (TVekSinkPinEntry& e : links_.Entries()) {
    if (e.DependsOn == object)
      e.DependsOn = nullptr;
  }
}

void TVekUnloadedPin::ReplaceReference(TObject* oldObject, TObject* newObject) {
  TVekGlobalWriteLockSection global;
  auto* replacement = dynamic_cast<TVekBasicPin*>(newObject);
  for (TVekSinkPinEntry& e : links_.Entries()) {
    if (e.DependsOn == oldObject)
      e.DependsOn = replacement;
    if (e.Sink == oldObject)
      e.Sink = replacement;
  }
}

void TVekUnloadedPin::Disconnect(TVekBasicPin* pin, bool keepPlaceholder) {
  (void)keepPlaceholder;
  TVekGlobalWriteLockSection global;
  const int i = links_.IndexOfSink(pin);
  if (i >= 0)
    links_.Delete(i);
}

void TVekUnloadedPin::AddSinkEntry(TVekBasicPin* sink, TVekBasicPin* dependsOn) {
  if (sink == nullptr)
    return;
  TVekGlobalWriteLockSection global;
  TVekSinkPinEntry& e = links_.Add();
  e.Sink = sink;
  e.DependsOn = dependsOn;
}

bool TVekUnloadedPin::ConnectEx(TVekBasicPin* pin, TVekBasicPin* dependsOn) {
  if (pin == nullptr)
    return true;
  TVekGlobalWriteLockSection global;
  if (IsConnectedTo(pin))
    return true;
  AddSinkEntry(pin, dependsOn);
  if (auto* source = dynamic_cast<TVekSourcePin*>(pin)) {
    source->AddSinkEntry(this, dependsOn);
  } else if (auto* sink = dynamic_cast<TVekSinkPin*>(pin)) {
    sink->DisconnectAll();
    TVekWriteLockSection sinkSection(sink);
    sink->SetSourceLocked(this);
  }
  return true;
}

void TVekUnloadedPin::DisconnectAll() {
  TVekGlobalWriteLockSection global;
  links_.Clear();
}

void TVekUnloadedPin::SetHoldCount(int count) {
  hold_count_ = static_cast<uint8_t>(count);
  if (count == 0)
    ReleaseIfUnused();
}

void TVekUnloadedPin::ReleaseIfUnused() {
  if (releasing_)
    return;
  releasing_ = true;
  TObjectList* list = UnloadedPins();
  // Without the registry (the framework has stopped) nothing owns the
  // placeholder any more, and nothing here may free it.
  if (list != nullptr && hold_count_ == 0 && !HeldByPinList && links_.Count() == 0) {
    int index;
    {
      kestrune::CriticalSectionGuard guard(*GlobalPinCriticalSection());
      index = list->IndexOf(this);
      if (index >= 0)
        list->Extract(this);
    }
    // Freed outside the registry's section (freeing takes group locks).
    if (index >= 0)
      Free();
    return;
  }
  releasing_ = false;
}

void TVekUnloadedPin::TransferLinks(TVekUnloadedPin* placeholder, TVekBasicPin* pin) {
  TVekGlobalWriteLockSection global;
  // The placeholder stays alive until the transfer ends, however many of its
  // links the real pin takes over on the way (ReleaseIfUnused is held off).
  placeholder->releasing_ = true;
  const std::vector<TVekSinkPinEntry> links = placeholder->links_.Entries();
  for (auto it = links.rbegin(); it != links.rend(); ++it)
    pin->ConnectEx(it->Sink, it->DependsOn);
  std::vector<TVekBasicPin*> pins;
  {
    kestrune::CriticalSectionGuard guard(*GlobalPinCriticalSection());
    for (void* p : AllPins()->List())
      pins.push_back(static_cast<TVekBasicPin*>(p));
  }
  for (TVekBasicPin* p : pins)
    p->ReplaceReference(placeholder, pin);
  bool registered;
  {
    kestrune::CriticalSectionGuard guard(*GlobalPinCriticalSection());
    registered = UnloadedPins()->Extract(placeholder) != nullptr;
  }
  if (registered)
    placeholder->Free();
}

void TVekUnloadedPin::Discard(TVekUnloadedPin* placeholder) {
  if (placeholder == nullptr)
    return;
  TVekGlobalWriteLockSection global;
  placeholder->HeldByPinList = false;
  // Freeing makes the linked pins forget it (BeforeDestruction); they then
  // ask it to ReleaseIfUnused, which finds it out of the registry already.
  placeholder->releasing_ = true;
  bool registered;
  {
    kestrune::CriticalSectionGuard guard(*GlobalPinCriticalSection());
    registered = UnloadedPins()->Extract(placeholder) != nullptr;
  }
  if (registered)
    placeholder->Free();
}
