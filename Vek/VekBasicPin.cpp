// The receive-interface queries, stream-type lists, pin paths and the three
// abstract pin layers (TVekBasicPin, TVekPin, TVekStreamPin). The registries
// and pin events they use: Vek/VekPinRegistry.cpp.
#include "Vek/VekBasicPin.h"

#include <algorithm>

#include "Vek/VekPathText.h"
#include "Vek/VekPinList.h"
#include "Vek/VekPins.h"
#include "Vek/VekStdTypes.h"
#include "platform/classes/Streaming.h"
#include "platform/classes/TypInfo.h"

// ---------------------------------------------------------------------------
// Receive interfaces

IPtr<IVekStreamReceive> QueryStreamReceive(IVekBasicPin* target, const TGUID& streamType) {
  if (target == nullptr || streamType == VekClockType)
    return {};
  void* out = nullptr;
  if (target->QueryInterface(streamType, &out) != S_OK || out == nullptr)
    return {};
  return IPtr<IVekStreamReceive>::Adopt(static_cast<IVekStreamReceive*>(out));
}

IPtr<IVekClockReceive> QueryClockReceive(IVekBasicPin* target, const TGUID& clockType) {
  if (target == nullptr || clockType != VekClockType)
    return {};
  void* out = nullptr;
  if (target->QueryInterface(clockType, &out) != S_OK || out == nullptr)
    return {};
  return IPtr<IVekClockReceive>::Adopt(static_cast<IVekClockReceive*>(out));
}

// ---------------------------------------------------------------------------
// TVekPinStreamType

int TVekPinStreamType::IndexOf(const TGUID& guid) const {
  for (size_t i = 0; i < entries_.size(); ++i) {
    if (entries_[i].Guid == guid)
      return static_cast<int>(i);
  }
  return -1;
}

void TVekPinStreamType::Add(const TGUID& guid, const TVekNotifyHandler& handler) {
  const int i = IndexOf(guid);
  if (i >= 0) {
    entries_[i].Handler = handler;
  } else {
    entries_.push_back({guid, handler});
  }
}

void TVekPinStreamType::Remove(const TGUID& guid) {
  const int i = IndexOf(guid);
  if (i >= 0)
    Delete(i);
}

void TVekPinStreamType::Delete(int i) {
  entries_.erase(entries_.begin() + i);
}

void TVekPinStreamType::Exchange(int i, int j) {
  std::swap(entries_.at(i), entries_.at(j));
}

void TVekPinStreamType::Move(int from, int to) {
  TVekPinStreamTypeEntry e = entries_.at(from);
  entries_.erase(entries_.begin() + from);
  entries_.insert(entries_.begin() + to, e);
}

// ---------------------------------------------------------------------------
// Pin paths

bool InheritsFromClassName(const TObject* object, const std::string& className) {
  if (object == nullptr)
    return false;
  for (TClass c = object->ClassType(); c != nullptr; c = c->Parent) {
    if (className == c->Name)
      return true;
  }
  return false;
}

namespace {

bool FindPropertyPath(const std::string& prefix, TObject* object, const std::string& className,
                      std::string& path, std::vector<TObject*>& visited, TObject* target) {
  if (auto* component = dynamic_cast<TComponent*>(object)) {
    if (component->ComponentState().Contains(csDestroying))
      return false;
  }
  for (const TPropInfo* prop : GetPropList(object)) {
    if (!prop->IsObjectKind())
      continue;
    TPersistent* value = GetObjectProp(object, prop);
    if (value == nullptr)
      continue;
    if (value == target) {
      path = prefix + prop->Name();
      return true;
    }
    if (auto* list = dynamic_cast<TVekPinListAccess*>(value)) {
      const int n = list->PinEntryCount();
      for (int i = 0; i < n; ++i) {
        TVekBasicPin* pin = list->PinEntry(i);
        if (InheritsFromClassName(pin, className) && pin == target) {
          path = prefix + prop->Name() + "." + list->GetPinName(i);
          return true;
        }
      }
    }
    if (dynamic_cast<TComponent*>(value) == nullptr &&
        std::find(visited.begin(), visited.end(), value) == visited.end()) {
      visited.push_back(value);
      if (FindPropertyPath(prefix + prop->Name() + ".", value, className, path, visited, target)) {
        return true;
      }
    }
  }
  return false;
}

}  // namespace

std::string GetPropertyPath(TObject* root, const std::string& className, TObject* target) {
  if (root == nullptr)
    return {};
  std::string path;
  std::vector<TObject*> visited;
  FindPropertyPath("", root, className, path, visited, target);
  return path;
}

std::string GetPinPath(TVekBasicPin* pin, bool withRoot, bool identifierForm) {
  if (pin == nullptr)
    return {};
  TComponent* owner = pin->GetPinOwner();
  if (owner == nullptr)
    return "(No owner)";
  std::string path;
  if (TVekPinListAccess* list = pin->PinList) {
    path = owner->Name() + "." + GetPropertyPath(owner, "TVekPinList", list->PinListObject());
    const int index = list->IndexOfPin(pin);
    if (identifierForm) {
      path += "._Pin" + std::to_string(index);
    } else {
      path += "." + list->GetPinName(index);
    }
  } else {
    path = owner->Name() + "." + GetPropertyPath(owner, "TVekPin", pin);
  }
  if (withRoot)
    path = pin->GetOwnerName() + "." + path;
  return path;
}

namespace {

using vek_detail::AfterFirstDot;
using vek_detail::BeforeFirstDot;

}  // namespace

// ---------------------------------------------------------------------------
// TVekBasicPin

TVekBasicPin::TVekBasicPin() = default;

TVekBasicPin::~TVekBasicPin() {
  TCriticalSection* section = GlobalPinCriticalSection();
  if (section == nullptr)
    return;
  kestrune::CriticalSectionGuard guard(*section);
  if (TList* pins = AllPins())
    pins->Remove(this);
}

void TVekBasicPin::AfterConstruction() {
  inherited::AfterConstruction();
  // The pin becomes visible to other threads' look-ups only when it is whole.
  {
    kestrune::CriticalSectionGuard guard(PinSection());
    if (AllPins()->IndexOf(this) < 0)
      AllPins()->Add(this);
  }
  TVekWriteLockSection own(this);
  BroadcastPinCreated(this);
}

void TVekBasicPin::BeforeDestruction() {
  {
    TVekGlobalWriteLockSection global;
    TVekWriteLockSection own(this);
    DisconnectAll();
    BroadcastPinDestroying(this, IsDesigning() && IsOwnerDestroying());
    // Each pin forgets this one. A pin freed by one of these calls (a
    // placeholder that lost its last link) is skipped when its turn comes.
    for (TVekBasicPin* pin : SnapshotAllPins()) {
      if (pin != this && IsRegisteredPin(pin))
        pin->RemoveReference(this);
    }
    // A pin list that holds this pin (and is not the one freeing it) drops
    // its entry, so that it never hands out a freed pin.
    if (TVekPinListAccess* list = std::exchange(PinList, nullptr))
      list->PinDestroying(this);
  }
  inherited::BeforeDestruction();
}

bool TVekBasicPin::Receive(const TGUID& streamType, IVekNotifyOperation* operation, uint8_t flags) {
  (void)streamType;
  (void)operation;
  (void)flags;
  return false;
}

void TVekBasicPin::AcceptStreamType(const TGUID& streamType) {
  if (!AcceptsStreamType(streamType))
    accepted_types_.push_back(streamType);
}

bool TVekBasicPin::AcceptsStreamType(const TGUID& streamType) const {
  for (const TGUID& g : accepted_types_) {
    if (g == streamType)
      return true;
  }
  return false;
}

HRESULT TVekBasicPin::DoQueryInterface(const TGUID& iid, void** obj) {
  if (iid == IInterface::IID) {
    *obj = static_cast<IInterface*>(static_cast<IVekBasicPin*>(this));
    return S_OK;
  }
  if (iid == IVekBasicPin::IID) {
    *obj = static_cast<IVekBasicPin*>(this);
    return S_OK;
  }
  if (AcceptsStreamType(iid)) {
    if (iid == VekClockType) {
      *obj = static_cast<IVekClockReceive*>(this);
    } else {
      *obj = static_cast<IVekStreamReceive*>(this);
    }
    return S_OK;
  }
  *obj = nullptr;
  return E_NOINTERFACE;
}

HRESULT TVekBasicPin::QueryPinInterface(const TGUID& iid) {
  void* obj = nullptr;
  return DoQueryInterface(iid, &obj);
}

TVekBasicPin* TVekBasicPin::GetLinkDependency(TVekBasicPin* pin) {
  return dispatcher_ != nullptr ? dispatcher_->GetPinDependency(pin) : nullptr;
}

std::string TVekBasicPin::GetOwnerName() {
  return BeforeFirstDot(GetFullPathEx(true));
}

TComponent* TVekBasicPin::GetOwnerComponent() {
  return GetRootOwner(GetPinOwner());
}

std::string TVekBasicPin::GetOwnerPath() {
  std::string path = AfterFirstDot(GetFullPathEx(true));
  const size_t dot = path.rfind('.');
  return dot == std::string::npos ? path : path.substr(0, dot);
}

TComponent* TVekBasicPin::GetRootOwner(TComponent* component) {
  for (TComponent* c = component; c != nullptr; c = c->Owner()) {
    TComponent* owner = c->Owner();
    if (owner == nullptr || InheritsFromClassName(owner, "TApplication") ||
        InheritsFromClassName(c, "TCustomForm") || InheritsFromClassName(c, "TDataModule") ||
        InheritsFromClassName(c, "TCustomFrame")) {
      return c;
    }
  }
  return nullptr;
}

bool TVekBasicPin::HasDispatcher() {
  TVekGlobalReadLockSection global;
  TVekReadLockSection own(this);
  return dispatcher_ != nullptr;
}

bool TVekBasicPin::HasDispatcherInOwnSection() {
  TVekReadLockSection own(this);
  return dispatcher_ != nullptr;
}

bool TVekBasicPin::IsDispatcher(TObject* object) {
  TVekGlobalReadLockSection global;
  TVekReadLockSection own(this);
  return dispatcher_ != nullptr && object == dispatcher_;
}

bool TVekBasicPin::IsJoinedWith(TVekBasicPin* pin) {
  TVekGlobalReadLockSection global;
  TVekReadLockSection own(this);
  return dispatcher_ != nullptr && pin != nullptr && dispatcher_->Contains(pin);
}

bool TVekBasicPin::CanConnect(TVekBasicPin* pin, TVekBasicPin* dependsOn) {
  TVekGlobalWriteLockSection global;
  if (dependsOn == nullptr)
    return CanLinkTo(pin);
  if (dispatcher_ != nullptr)
    return dispatcher_->IsDependencyFree(pin, dependsOn);
  return false;
}

bool TVekBasicPin::ConnectStateEx(TVekBasicPin* pin, TVekBasicPin* dependsOn) {
  // The write section comes before the link check: the check locks the far
  // pin's group, which a push on another thread may hold while it waits for
  // ours (see the lock order in Vek/VekLocks.h).
  TVekGlobalWriteLockSection global;
  if (pin == nullptr || !CanLinkTo(pin))
    return false;
  TVekWriteLockSection own(this);
  bool result;
  if (dispatcher_ != nullptr) {
    result = pin->SetDispatcherEx(dispatcher_, dependsOn);
    SyncStatePeers();
  } else if (!pin->DispatcherAssigned()) {
    // A sink pin is never linked to a source and joined at once: both
    // pins drop such a link before the new dispatcher takes them.
    LeaveSourceForDispatcher();
    pin->LeaveSourceForDispatcher();
    TVekStateDispatcher* d = CreateDispatcher(GetRootOwner(GetPinOwner()));
    dispatcher_ = d;
    pin->dispatcher_ = d;
    d->AddPin(this);
    d->AddPinEx(pin, dependsOn);
    BroadcastDispatcherCreated(d);
    SyncStatePeers();
    BroadcastPinJoinedDispatcher(pin, d);
    BroadcastPinJoinedDispatcher(this, d);
    BroadcastPinLinksChanged(pin);
    BroadcastPinLinksChanged(this);
    return true;
  } else {
    result = SetDispatcherEx(pin->GetDispatcher(), dependsOn);
    SyncStatePeers();
  }
  BroadcastPinLinksChanged(this);
  return result;
}

bool TVekBasicPin::SetDispatcherEx(TVekStateDispatcher* dispatcher, TVekBasicPin* dependsOn) {
  TVekGlobalWriteLockSection global;
  TVekWriteLockSection own(this);
  if (dispatcher == dispatcher_)
    return false;
  if (dispatcher_ != nullptr)
    DisconnectAll();
  if (dispatcher == nullptr || !CanJoinDispatcher(dispatcher))
    return false;
  dispatcher->AddPinEx(this, dependsOn);
  dispatcher_ = dispatcher;
  SyncStatePeers();
  BroadcastPinJoinedDispatcher(this, dispatcher);
  return true;
}

void TVekBasicPin::DisconnectAll() {
  TVekGlobalWriteLockSection global;
  TVekWriteLockSection own(this);
  BroadcastPinUnlinking(this, dispatcher_);
  if (TVekStateDispatcher* d = std::exchange(dispatcher_, nullptr))
    d->RemovePin(this);
  own.Release();
  BroadcastPinLinksChanged(this);
}

void TVekBasicPin::JoinNamedDispatcher(const std::string& name) {
  TVekGlobalWriteLockSection global;
  TVekWriteLockSection own(this);
  TVekStateDispatcher* d = FindOrCreateNamedDispatcher(this, name, IsDesigning());
  // A pin belongs to one dispatcher: leave another one first.
  if (dispatcher_ != nullptr && dispatcher_ != d) {
    if (TVekStateDispatcher* old = std::exchange(dispatcher_, nullptr))
      old->RemovePin(this);
  }
  dispatcher_ = d;
  d->AddPin(this);
  SyncStatePeers();
}

bool TVekBasicPin::CanJoinDispatcher(TVekStateDispatcher* dispatcher) {
  TVekGlobalWriteLockSection global;
  TVekReadLockSection own(this);
  if (dispatcher == nullptr)
    return false;
  if (dispatcher == dispatcher_)
    return true;
  const int n = dispatcher->GetPinCount();
  for (int i = 0; i < n; ++i) {
    if (!CanLinkTo(dispatcher->GetPin(i)))
      return false;
  }
  return true;
}

TVekStateDispatcher* TVekBasicPin::CreateDispatcher(TComponent* root) {
  return TVekStateDispatcher::CreateForOwner(root);
}

TVekStateDispatcher* TVekBasicPin::CreateNamedDispatcher(const std::string& name, bool designing) {
  return Create<TVekStateDispatcher>(name, designing);
}

void TVekBasicPin::ReadState(TReader* reader) {
  TVekGlobalWriteLockSection global;
  TVekWriteLockSection own(this);
  AdoptPlaceholders();
  if (reader->NextValue() != TValueKind::List) {
    JoinNamedDispatcher(reader->ReadString());
    return;
  }
  reader->ReadListBegin();
  JoinNamedDispatcher(reader->ReadString());
  // The peers listed here join the same dispatcher when their own "State"
  // is read.
  while (!reader->EndOfList())
    reader->SkipValue();
  reader->ReadListEnd();
}

void TVekBasicPin::WriteState(TWriter* writer) {
  TVekStateDispatcher* d = dispatcher_;
  if (d == nullptr)
    return;
  const std::string ownerName = GetOwnerName();
  TComponent* root = GetOwnerComponent();
  if (d->WrittenCount() == 0)
    d->ResetWritten();
  bool wroteList = false;
  if (!d->IsWritten(root) && d->SpansOwners()) {
    writer->WriteListBegin();
    writer->WriteString(d->Name());
    const int n = d->GetPinCount();
    for (int i = 0; i < n; ++i) {
      TVekBasicPin* peer = d->GetPin(i);
      if (peer->GetOwnerName() == ownerName)
        continue;
      const std::string ident = peer->GetFullPathEx(true);
      const std::string display = peer->GetFullPath(true);
      if (ident == display) {
        writer->WriteIdent(ident);
      } else {
        writer->WriteListBegin();
        writer->WriteIdent(ident);
        writer->WriteString(display);
        writer->WriteListEnd();
      }
    }
    writer->WriteListEnd();
    wroteList = true;
  }
  if (d->GetPinCount() != d->WrittenCount()) {
    d->MarkWritten(root);
  } else {
    d->ResetWritten();
  }
  if (!wroteList)
    writer->WriteString(d->Name());
}

// ---------------------------------------------------------------------------
// TVekPin

TVekPin::TVekPin(TComponent* owner) : owner_(owner) {
  (void)GetOwnerName();
}

TVekPin::~TVekPin() = default;

void TVekPin::DefineProperties(TFiler* filer) {
  inherited::DefineProperties(filer);
  filer->DefineProperty("Form", TMethod<void(TReader*)>(this, &TVekPin::ReadForm),
                        TMethod<void(TWriter*)>(this, &TVekPin::WriteForm), HasAnyLink());
  filer->DefineProperty(
      "State", TMethod<void(TReader*)>(static_cast<TVekBasicPin*>(this), &TVekBasicPin::ReadState),
      TMethod<void(TWriter*)>(static_cast<TVekBasicPin*>(this), &TVekBasicPin::WriteState),
      HasDispatcherInOwnSection());
}

void TVekPin::ReadForm(TReader* reader) {
  StoredFormName = reader->ReadIdent();
}

void TVekPin::WriteForm(TWriter* writer) {
  TComponent* root = GetRootOwner(owner_);
  writer->WriteIdent(root != nullptr ? root->Name() : GetOwnerName());
}

bool TVekPin::IsOwnerDestroying() {
  TVekWriteLockSection own(this);
  TComponent* root = GetRootOwner(owner_);
  return root != nullptr && root->ComponentState().Contains(csDestroying);
}

bool TVekPin::IsDesigning() {
  TVekWriteLockSection own(this);
  return owner_ != nullptr && owner_->ComponentState().Contains(csDesigning);
}

std::string TVekPin::GetOwnerName() {
  if (owner_ == nullptr)
    return inherited::GetOwnerName();
  if (owner_->Owner() != nullptr) {
    if (TComponent* root = GetRootOwner(owner_))
      owner_name_cache_ = root->Name();
  }
  return owner_name_cache_;
}

std::string TVekPin::GetRelativePath() {
  return AfterFirstDot(GetFullPath(false));
}
std::string TVekPin::GetRelativePathEx() {
  return AfterFirstDot(GetFullPathEx(false));
}
std::string TVekPin::GetFullPath(bool withRoot) {
  return GetPinPath(this, withRoot, false);
}
std::string TVekPin::GetFullPathEx(bool withRoot) {
  return GetPinPath(this, withRoot, true);
}

std::string TVekPin::FixStoredPath(const std::string& path) {
  if (StoredFormName.empty())
    return path;
  const std::string prefix = StoredFormName + ".";
  if (path.compare(0, prefix.size(), prefix) != 0)
    return path;
  TComponent* root = GetRootOwner(owner_);
  const std::string current = root != nullptr ? root->Name() : GetOwnerName();
  return current + path.substr(StoredFormName.size());
}

void TVekPin::AddStreamType(const TGUID& guid) {
  TVekWriteLockSection own(this);
  stream_types_.Add(guid, TVekNotifyHandler(this, &TVekPin::DefaultTypeHandler));
}

void TVekPin::AddStreamTypeHandler(const TGUID& guid, const TVekNotifyHandler& handler) {
  TVekWriteLockSection own(this);
  stream_types_.Add(guid, handler);
}

TVekNotifyHandler TVekPin::FindTypeHandler(const TGUID& guid) {
  if (guid.IsNull())
    return {};
  const int i = stream_types_.IndexOf(guid);
  if (i < 0)
    return {};
  const TVekNotifyHandler& h = stream_types_.GetHandler(i);
  return h.Assigned() ? h : TVekNotifyHandler(this, &TVekPin::DefaultTypeHandler);
}

bool TVekPin::DefaultTypeHandler(IVekBasicPin* target, const TGUID& streamType, uint8_t flags,
                                 IVekNotifyOperation* operation) {
  const TVekStreamTypeRecord* record = LookupStreamType(streamType);
  if (record == nullptr || record->Function == nullptr)
    return false;
  return record->Function(this, target, streamType, flags, operation);
}

void TVekPin::CollectStreamTypes(TVekPinStreamType& list, TVekBasicPin* origin) {
  (void)origin;
  TVekReadLockSection own(this);
  for (int i = 0; i < stream_types_.GetCount(); ++i) {
    list.Add(stream_types_.GetType(i), stream_types_.GetHandler(i));
  }
  if (auto* restricted = dynamic_cast<TVekPinTypeRestricted*>(&list))
    restricted->Seeded = true;
}

TGUID TVekPin::NegotiateStreamType(TVekBasicPin* pin) {
  TVekGlobalWriteLockSection global;
  TVekReadLockSection own(this);
  if (pin == nullptr)
    return {};
  TVekPinTypeRestricted list;
  CollectStreamTypes(list, this);
  for (int i = list.GetCount() - 1; i >= 0; --i) {
    if (pin->QueryPinInterface(list.GetType(i)) == S_OK)
      return list.GetType(i);
  }
  return {};
}

TGUID TVekPin::FindCommonType(TVekBasicPin* pin) {
  if (pin == nullptr)
    return {};
  // The far pin is asked without our section: a state peer's delivery (on
  // the push path, where the global write section cannot be taken) finds
  // its type here, and holding our group while asking for the peer's would
  // nest two groups under the read level.
  std::vector<TGUID> types;
  {
    TVekReadLockSection own(this);
    for (int i = 0; i < stream_types_.GetCount(); ++i)
      types.push_back(stream_types_.GetType(i));
  }
  for (auto it = types.rbegin(); it != types.rend(); ++it) {
    if (pin->QueryPinInterface(*it) == S_OK)
      return *it;
  }
  return {};
}

bool TVekPin::CanLinkTo(TVekBasicPin* pin) {
  TVekGlobalWriteLockSection global;
  TVekReadLockSection own(this);
  if (pin == nullptr)
    return false;
  if (IsDesigning() != pin->IsDesigning())
    return false;
  if (dynamic_cast<TVekStatePin*>(pin) != nullptr)
    return !FindCommonType(pin).IsNull();
  if (auto* placeholder = dynamic_cast<TVekUnloadedPin*>(pin))
    return placeholder->CanLinkTo(this);
  return false;
}

bool TVekPin::HasCommonType(TVekBasicPin* pin) {
  TVekGlobalWriteLockSection global;
  auto* state = dynamic_cast<TVekStatePin*>(pin);
  return state != nullptr && !FindCommonType(state).IsNull() &&
         !state->FindCommonType(this).IsNull();
}

bool TVekPin::Notify(IVekNotifyOperation* operation) {
  return NotifyStatePeers(operation, 0, nullptr);
}

TGUID TVekPin::GetConnectedType() {
  if (!IsConnected() || dispatcher_ == nullptr || dispatcher_->GetPinCount() < 1)
    return {};
  return GetLinkType(dispatcher_->GetPin(0));
}

bool TVekPin::NotifyStatePeers(IVekNotifyOperation* operation, uint8_t flags,
                               TVekBasicPin* target) {
  TVekGlobalReadLockSection global;
  TVekWriteLockSection own(this);
  TVekStateDispatcher* d = dispatcher_;
  if (d == nullptr)
    return false;
  const int n = d->GetPinCount();
  for (int i = 0; i < n; ++i) {
    TVekBasicPin* peer = d->GetPin(i);
    if (target != nullptr) {
      if (peer != target)
        continue;
      flags |= VekNotifyLast;
    } else if (i == n - 1 || (i == n - 2 && d->GetPin(n - 1) == this)) {
      flags |= VekNotifyLast;
    }
    if (peer == this)
      continue;
    const TGUID type = GetPinLinkType(peer);
    TVekNotifyHandler handler = FindTypeHandler(type);
    if (handler.Assigned())
      handler(peer, type, flags, operation);
  }
  return false;
}

void TVekPin::AdoptPlaceholders() {
  try {
    for (;;) {
      TComponent* owner = GetOwnerComponent();
      TVekBasicPin* found = FindPinByFullPath(UnloadedPins(), owner, GetFullPath(true));
      if (found == nullptr)
        found = FindPinByFullPath(UnloadedPins(), owner, GetFullPath(false));
      auto* placeholder = dynamic_cast<TVekUnloadedPin*>(found);
      if (placeholder == nullptr)
        return;
      TVekUnloadedPin::TransferLinks(placeholder, this);
    }
  } catch (...) {
    // A failed adoption leaves the remaining placeholders waiting.
  }
}

// ---------------------------------------------------------------------------
// TVekStreamPin

void TVekStreamPin::OrderTypesLike(TVekPinTypeRestricted& list) {
  if (list.Seeded)
    return;
  TVekReadLockSection own(this);
  TVekPinStreamType& own_types = StreamTypes();
  int front = 0;
  for (int t = 0; t < own_types.GetCount(); ++t) {
    for (int i = front; i < list.GetCount(); ++i) {
      if (list.GetType(i) == own_types.GetType(t))
        list.Move(i, front++);
    }
  }
  list.Seeded = true;
}

void TVekStreamPin::CollectStreamTypes(TVekPinStreamType& list, TVekBasicPin* origin) {
  TVekPin::CollectStreamTypes(list, origin);
}

void TVekStreamPin::CollectStreamTypesRestricted(TVekPinStreamType& list, TVekBasicPin* origin) {
  TVekPin::CollectStreamTypes(list, origin);
}

void TVekStreamPin::CollectUpstreamChains(TVekObjectListList& chains, TVekObjectList* chain) {
  (void)chains;
  chain->Add(this);
}

// ---------------------------------------------------------------------------
// Helper lists

void TVekSinkPinEntryList::Remove(const TVekSinkPinEntry* entry) {
  for (size_t i = 0; i < entries_.size(); ++i) {
    if (&entries_[i] == entry) {
      entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(i));
      return;
    }
  }
}

void TVekSinkPinEntryList::CopyFrom(const TVekSinkPinEntryList& other) {
  for (const TVekSinkPinEntry& e : other.entries_) {
    TVekSinkPinEntry& copy = Add();
    copy.Sink = e.Sink;
    copy.StreamType = e.StreamType;
    copy.Handler = e.Handler;
    copy.Counter = e.Counter;
  }
}

TVekSinkPinEntry* TVekSinkPinEntryList::FindBySink(const TVekBasicPin* pin) {
  const int i = IndexOfSink(pin);
  return i >= 0 ? &entries_[i] : nullptr;
}

int TVekSinkPinEntryList::IndexOfSink(const TVekBasicPin* pin) const {
  for (size_t i = 0; i < entries_.size(); ++i) {
    if (entries_[i].Sink == pin)
      return static_cast<int>(i);
  }
  return -1;
}

TVekObjectList* TVekObjectListList::AddChain() {
  chains_.push_back(IPtr<TVekObjectList>(Create<TVekObjectList>()));
  return chains_.back().get();
}
