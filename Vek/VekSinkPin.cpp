// The sink pin: its one link upstream, its handler, its lock chain, its
// stored link, and the sink side of the type walks.
#include "Vek/VekSinkPin.h"

#include <algorithm>
#include <exception>

#include "Vek/VekPins.h"
#include "Vek/VekStdTypes.h"
#include "platform/classes/Streaming.h"
#include "platform/rtl/SysUtils.h"

namespace {

TVekSourcePin* AsSource(TVekBasicPin* pin) {
  return dynamic_cast<TVekSourcePin*>(pin);
}

void EraseFirst(std::vector<TVekSourcePin*>& list, TVekSourcePin* pin) {
  auto it = std::find(list.begin(), list.end(), pin);
  if (it != list.end())
    list.erase(it);
}

// Holds read levels on the pins of a lock chain; releases them, first to
// last, on every exit.
class ChainReadLocks {
 public:
  explicit ChainReadLocks(TVekObjectList* chain) : chain_(chain) {
    for (; locked_ < chain_->Count(); ++locked_)
      chain_->Item(locked_)->BeginRead();
  }
  ~ChainReadLocks() {
    for (int i = 0; i < locked_; ++i)
      chain_->Item(i)->EndRead();
  }
  ChainReadLocks(const ChainReadLocks&) = delete;
  ChainReadLocks& operator=(const ChainReadLocks&) = delete;

 private:
  TVekObjectList* chain_;
  int locked_ = 0;
};

}  // namespace

TVekSinkPin::TVekSinkPin(TComponent* owner)
    : TVekStreamPin(owner), lock_chain_(Create<TVekObjectList>()) {}

TVekSinkPin::~TVekSinkPin() = default;

void TVekSinkPin::DefineProperties(TFiler* filer) {
  inherited::DefineProperties(filer);
  filer->DefineProperty("SourcePin", TMethod<void(TReader*)>(this, &TVekSinkPin::ReadLinks),
                        TMethod<void(TWriter*)>(this, &TVekSinkPin::WriteSourcePin),
                        IsSourceStored());
}

void TVekSinkPin::Assign(TPersistent* source) {
  if (source == nullptr) {
    Connect(nullptr);
    return;
  }
  auto* other = dynamic_cast<TVekSinkPin*>(source);
  if (other == nullptr)
    kestrune::RaiseInvalidCast();
  Connect(other->GetSourcePin());
}

// ---------------------------------------------------------------------------
// Queries

TVekBasicPin* TVekSinkPin::GetSourcePin() {
  TVekReadLockSection own(this);
  return source_pin_;
}

bool TVekSinkPin::IsSourceStored() {
  return GetSourcePin() != nullptr;
}

bool TVekSinkPin::HasAnyLink() {
  return TVekBasicPin::HasAnyLink() || IsSourceStored();
}

int TVekSinkPin::GetLinkCount() {
  TVekGlobalReadLockSection global;
  TVekReadLockSection own(this);
  return source_pin_ != nullptr ? 1 : 0;
}

TVekBasicPin* TVekSinkPin::GetLink(int index) {
  (void)index;
  TVekGlobalReadLockSection global;
  TVekReadLockSection own(this);
  return source_pin_;
}

bool TVekSinkPin::IsConnected() {
  {
    TVekGlobalReadLockSection global;
    TVekReadLockSection own(this);
    if (source_pin_ != nullptr)
      return true;
  }
  return TVekBasicPin::IsConnected();
}

bool TVekSinkPin::IsConnectedTo(TVekBasicPin* pin) {
  {
    TVekGlobalReadLockSection global;
    TVekReadLockSection own(this);
    if (pin != nullptr && pin == source_pin_)
      return true;
  }
  return TVekBasicPin::IsConnectedTo(pin);
}

TGUID TVekSinkPin::GetLinkType(TVekBasicPin* pin) {
  (void)pin;
  TVekGlobalReadLockSection global;
  TVekReadLockSection own(this);
  return link_type_;
}

TGUID TVekSinkPin::GetConnectedType() {
  {
    TVekGlobalReadLockSection global;
    TVekReadLockSection own(this);
    if (!link_type_.IsNull())
      return link_type_;
  }
  return TVekPin::GetConnectedType();
}

TVekBasicPin* TVekSinkPin::GetLinkDependency(TVekBasicPin* pin) {
  TVekBasicPin* source = GetSourcePin();
  if (pin != nullptr && pin == source) {
    if (TVekSourcePin* s = AsSource(source))
      return s->GetLinkDependency(this);
    return nullptr;
  }
  return TVekBasicPin::GetLinkDependency(pin);
}

bool TVekSinkPin::IsDirectlyDependentOn(TVekBasicPin* pin) {
  TVekSourcePin* s = AsSource(GetSourcePin());
  return s != nullptr && s->IsDirectlyDependentOn(pin);
}

bool TVekSinkPin::IsDependentOn(TVekBasicPin* pin) {
  TVekGlobalWriteLockSection global;
  TVekBasicPin* source = GetSourcePin();
  if (source == nullptr)
    return false;
  if (pin == source)
    return true;
  TVekSourcePin* s = AsSource(source);
  return s != nullptr && s->IsDependentOn(pin);
}

// ---------------------------------------------------------------------------
// Link tests

bool TVekSinkPin::CanLinkTo(TVekBasicPin* pin) {
  TVekGlobalWriteLockSection global;
  if (pin == nullptr)
    return false;
  if (IsDesigning() != pin->IsDesigning())
    return false;
  TVekReadLockSection own(this);
  if (TVekPin::CanLinkTo(pin))
    return true;
  if (pin == this || !HasCommonType(pin))
    return false;
  TVekSourcePin* s = AsSource(pin);
  // No link may close a cycle.
  return s == nullptr || !s->IsDependentOn(this);
}

bool TVekSinkPin::HasCommonType(TVekBasicPin* pin) {
  TVekGlobalWriteLockSection global;
  if (pin == nullptr)
    return true;
  if (TVekSourcePin* s = AsSource(pin))
    return s->HasCommonTypeWith(this) && CanConnectToSource(s);
  if (auto* state = dynamic_cast<TVekStatePin*>(pin))
    return !state->FindCommonType(this).IsNull();
  return false;
}

bool TVekSinkPin::CanConnectToSource(TVekBasicPin* source) {
  TVekGlobalWriteLockSection global;
  TVekReadLockSection own(this);
  if (StreamTypes().GetCount() == 0)
    return true;
  TVekSourcePin* s = AsSource(source);
  if (s == nullptr)
    return false;
  return !ResolvedLinkType(s, s->NegotiateStreamType(this)).IsNull();
}

bool TVekSinkPin::CanConnect(TVekBasicPin* pin, TVekBasicPin* dependsOn) {
  if (pin == nullptr)
    return true;
  TVekGlobalWriteLockSection global;
  // A sink asked by a sink: no.
  if (dynamic_cast<TVekSinkPin*>(pin) != nullptr)
    return false;
  return pin->CanConnect(this, dependsOn);
}

bool TVekSinkPin::CanJoinDispatcher(TVekStateDispatcher* dispatcher) {
  TVekGlobalWriteLockSection global;
  if (dispatcher == nullptr)
    return false;
  if (dispatcher == dispatcher_)
    return true;
  const int n = dispatcher->GetPinCount();
  for (int i = 0; i < n; ++i) {
    TVekBasicPin* pin = dispatcher->GetPin(i);
    if (dynamic_cast<TVekSinkPin*>(pin) != nullptr)
      continue;
    if (!CanLinkTo(pin))
      return false;
  }
  return true;
}

TGUID TVekSinkPin::ResolvedLinkType(TVekBasicPin* source, const TGUID& preferred) {
  TVekGlobalWriteLockSection global;
  TVekReadLockSection own(this);
  TVekSourcePin* s = AsSource(source);
  if (s == nullptr)
    return {};
  TVekPinTypeRestricted list;
  s->CollectStreamTypesRestricted(list, this);
  TGUID first;
  for (int i = list.GetCount() - 1; i >= 0; --i) {
    const TGUID& type = list.GetType(i);
    if (s->QueryPinInterface(type) != S_OK)
      continue;
    if (type == preferred)
      return type;
    if (first.IsNull())
      first = type;
  }
  return first;
}

HRESULT TVekSinkPin::QueryPinInterface(const TGUID& iid) {
  HRESULT r;
  {
    TVekReadLockSection own(this);
    void* obj = nullptr;
    r = DoQueryInterface(iid, &obj);
  }
  // The dependents are asked without our section (they lock their own
  // groups; a state peer's delivery asks this on the push path).
  return r == S_OK ? QueryTypeInterfaceIn(iid) : r;
}

// ---------------------------------------------------------------------------
// Linking

bool TVekSinkPin::ConnectEx(TVekBasicPin* pin, TVekBasicPin* dependsOn) {
  TVekGlobalWriteLockSection global;
  TVekWriteLockSection own(this);
  if (pin == source_pin_)
    return true;

  if (pin == nullptr) {
    const bool keep = IsDesigning() && IsOwnerDestroying();
    TVekBasicPin* old = source_pin_;
    if (old != nullptr) {
      old->Disconnect(this, keep);
      BroadcastPinUnlinking(this, old);
    }
    DropSourceLocked();
    BroadcastPinLinksChanged(this);
    own.Release();
    global.Release();
    if (old != nullptr)
      old->ReleaseIfUnused();
    return true;
  }

  if (!CanLinkTo(pin))
    return false;
  if (DispatcherAssigned())
    DisconnectAll();
  if (TVekBasicPin* old = source_pin_) {
    old->Disconnect(this, IsDesigning() && IsOwnerDestroying());
    BroadcastPinUnlinking(this, old);
    DropSourceLocked();
    old->ReleaseIfUnused();
  }
  // The deliveries made while linking (the source bringing the new sink up
  // to date, the peers' synchronisation) run receivers' code and may raise,
  // the depth limit too. The link is finished all the same (lock chain,
  // renegotiation, announcements), and the first such exception then reaches
  // the caller: a half-made link would leave the sink pushed to without its
  // upstream locks.
  std::exception_ptr failure;
  auto keepFirstFailure = [&failure] {
    if (!failure)
      failure = std::current_exception();
  };
  bool result = false;
  if (TVekSourcePin* s = AsSource(pin)) {
    source_pin_ = s;
    s->AddSinkEntry(this, dependsOn);
    result = true;
    TGUID preferred = s->NegotiateStreamType(this);
    link_type_ = ResolvedLinkType(s, preferred);
    handler_ = FindTypeHandler(link_type_);
    try {
      s->NotifySink(this);
    } catch (...) {
      keepFirstFailure();
    }
    try {
      preferred = s->NegotiateStreamType(this);
      Renegotiate(preferred, link_type_);
    } catch (...) {
      keepFirstFailure();
    }
  } else {
    // A placeholder or a state pin makes the link from its side.
    try {
      result = pin->Connect(this);
    } catch (...) {
      keepFirstFailure();
      result = IsConnectedTo(pin);
    }
  }
  RebuildLockChain();
  BroadcastPinJoinedDispatcher(this, pin);
  BroadcastPinLinksChanged(this);
  if (failure)
    std::rethrow_exception(failure);
  return result;
}

void TVekSinkPin::Disconnect(TVekBasicPin* pin, bool keepPlaceholder) {
  (void)pin;
  TVekGlobalWriteLockSection global;
  TVekWriteLockSection own(this);
  TVekBasicPin* source = source_pin_;
  if (keepPlaceholder && source != nullptr && !IsOwnerDestroying()) {
    auto* placeholder = Create<TVekUnloadedPin>(GetOwnerComponent(), source->GetPinKind(),
                                                source->GetFullPathEx(true),
                                                source->GetFullPath(true), GetFullPath(true));
    source->ReleaseIfUnused();
    DropSourceLocked();
    placeholder->Connect(this);
    BroadcastPinLinksChanged(this);
    return;
  }
  DropSourceLocked();
}

void TVekSinkPin::DropSourceLocked() {
  source_pin_ = nullptr;
  handler_ = {};
  RebuildLockChain();
}

void TVekSinkPin::DisconnectAll() {
  TVekGlobalWriteLockSection global;
  TVekSection sourceSection;
  if (TVekBasicPin* source = source_pin_) {
    if (dynamic_cast<TVekUnloadedPin*>(source) == nullptr)
      sourceSection = TVekWriteLockSection(source);
  }
  TVekWriteLockSection own(this);
  TVekBasicPin::DisconnectAll();
  Connect(nullptr);
}

bool TVekSinkPin::SetDispatcherEx(TVekStateDispatcher* dispatcher, TVekBasicPin* dependsOn) {
  TVekGlobalWriteLockSection global;
  TVekWriteLockSection own(this);
  const bool result = TVekBasicPin::SetDispatcherEx(dispatcher, dependsOn);
  if (result)
    LeaveSourceForDispatcher();
  return result;
}

void TVekSinkPin::LeaveSourceForDispatcher() {
  TVekGlobalWriteLockSection global;
  TVekWriteLockSection own(this);
  TVekBasicPin* old = source_pin_;
  if (old == nullptr)
    return;
  old->Disconnect(this, false);
  BroadcastPinUnlinking(this, old);
  Disconnect(old, false);
  old->ReleaseIfUnused();
}

void TVekSinkPin::SyncStatePeers() {
  TVekGlobalWriteLockSection global;
  TVekWriteLockSection own(this);
  if (dispatcher_ != nullptr)
    dispatcher_->SyncFrom(this);
}

void TVekSinkPin::RemoveReference(TObject* object) {
  TVekGlobalWriteLockSection global;
  TVekWriteLockSection own(this);
  TVekBasicPin::RemoveReference(object);
  if (auto* pin = dynamic_cast<TVekSourcePin*>(object)) {
    EraseFirst(function_dependents_, pin);
    EraseFirst(data_type_dependents_, pin);
  }
  if (object != nullptr && object == static_cast<TObject*>(source_pin_))
    DisconnectAll();
}

// ---------------------------------------------------------------------------
// Delivery

bool TVekSinkPin::Notify(IVekNotifyOperation* operation) {
  IPtr<IVekNotifyOperation> hold(operation);
  TVekGlobalReadLockSection global;
  IPtr<TVekObjectList> chain = lock_chain_;
  ChainReadLocks locks(chain.get());
  TVekBasicPin* source = GetSourcePin();
  if (source == nullptr || !handler_.Assigned())
    return false;
  return handler_(source, link_type_, VekNotifyLast, operation);
}

// ---------------------------------------------------------------------------
// Dependents and the lock chain

void TVekSinkPin::AddFunctionDependent(TVekSourcePin* pin) {
  TVekWriteLockSection own(this);
  function_dependents_.push_back(pin);
}
void TVekSinkPin::RemoveFunctionDependent(TVekSourcePin* pin) {
  TVekWriteLockSection own(this);
  EraseFirst(function_dependents_, pin);
}
void TVekSinkPin::AddDataTypeDependent(TVekSourcePin* pin) {
  TVekWriteLockSection own(this);
  data_type_dependents_.push_back(pin);
}
void TVekSinkPin::RemoveDataTypeDependent(TVekSourcePin* pin) {
  TVekWriteLockSection own(this);
  EraseFirst(data_type_dependents_, pin);
}

void TVekSinkPin::CollectUpstreamChains(TVekObjectListList& chains, TVekObjectList* chain) {
  chain->Add(this);
  if (TVekSourcePin* s = AsSource(GetSourcePin()))
    s->CollectUpstreamChains(chains, chain);
}

void TVekSinkPin::RebuildLockChain() {
  TVekGlobalWriteLockSection global;
  // Function dependencies make a cycle only through a component's mistake;
  // the guard keeps the rebuild from running round it.
  static thread_local std::vector<TVekSinkPin*> rebuilding;
  if (std::find(rebuilding.begin(), rebuilding.end(), this) != rebuilding.end())
    return;
  rebuilding.push_back(this);
  struct Pop {
    ~Pop() { rebuilding.pop_back(); }
  } pop;

  lock_chain_ = IPtr<TVekObjectList>(Create<TVekObjectList>());
  for (TVekSourcePin* dependent : std::vector<TVekSourcePin*>(function_dependents_)) {
    dependent->RefreshSinkUpstream();
  }
  if (source_pin_ == nullptr)
    return;
  TVekObjectListList branches;
  TVekObjectList* first = branches.AddChain();
  first->Add(this);
  if (TVekSourcePin* s = AsSource(source_pin_))
    s->CollectUpstreamChains(branches, first);
  // Pins furthest upstream first, this pin last.
  IPtr<TVekObjectList> chain(Create<TVekObjectList>());
  while (branches.Count() > 0) {
    for (int b = branches.Count() - 1; b >= 0; --b) {
      TVekObjectList* branch = branches.Chain(b);
      chain->Add(branch->Item(branch->Count() - 1));
      branch->Delete(branch->Count() - 1);
      if (branch->Count() == 0)
        branches.Delete(b);
    }
  }
  lock_chain_ = chain;
}

// ---------------------------------------------------------------------------
// Type walks

void TVekSinkPin::CollectStreamTypes(TVekPinStreamType& list, TVekBasicPin* origin) {
  TVekStreamPin::CollectStreamTypes(list, origin);
  std::vector<TVekSourcePin*> dependents;
  {
    TVekReadLockSection own(this);
    dependents = data_type_dependents_;
  }
  for (TVekSourcePin* d : dependents)
    d->TVekStreamPin::CollectStreamTypes(list, origin);
}

void TVekSinkPin::CollectStreamTypesRestricted(TVekPinStreamType& list, TVekBasicPin* origin) {
  TVekStreamPin::CollectStreamTypesRestricted(list, origin);
  if (StreamTypes().GetCount() == 0)
    return;
  std::vector<TVekSourcePin*> dependents;
  {
    TVekReadLockSection own(this);
    dependents = data_type_dependents_;
  }
  for (TVekSourcePin* d : dependents)
    d->TVekStreamPin::CollectStreamTypesRestricted(list, origin);
}

void TVekSinkPin::CollectTypesFromSource(TVekPinStreamType& list, TVekBasicPin* origin,
                                         bool restricted) {
  if (origin == this)
    return;
  if (restricted && StreamTypes().GetCount() == 0)
    return;
  if (TVekSourcePin* s = AsSource(GetSourcePin())) {
    s->NarrowTypes(list, origin, restricted);
    return;
  }
  TVekReadLockSection own(this);
  if (restricted) {
    for (int i = list.GetCount() - 1; i >= 0; --i) {
      if (!StreamTypes().Contains(list.GetType(i)))
        list.Delete(i);
    }
    return;
  }
  auto* seeded = dynamic_cast<TVekPinTypeRestricted*>(&list);
  if (seeded != nullptr && !seeded->Seeded)
    TVekStreamPin::CollectStreamTypes(list, this);
  for (int i = list.GetCount() - 1; i >= 0; --i) {
    void* obj = nullptr;
    if (DoQueryInterface(list.GetType(i), &obj) != S_OK)
      list.Delete(i);
  }
}

HRESULT TVekSinkPin::QueryTypeFromSource(const TGUID& iid, TVekBasicPin* origin, bool out) {
  if (origin == this)
    return S_OK;
  if (TVekSourcePin* s = AsSource(GetSourcePin()))
    return s->QueryOwnType(iid, origin, out);
  if (out)
    return StreamTypes().Contains(iid) ? S_OK : E_NOINTERFACE;
  void* obj = nullptr;
  return DoQueryInterface(iid, &obj);
}

HRESULT TVekSinkPin::AskDataTypeDependents(const TGUID& iid, bool out) {
  std::vector<TVekSourcePin*> dependents;
  {
    TVekReadLockSection own(this);
    dependents = data_type_dependents_;
  }
  for (TVekSourcePin* d : dependents) {
    const HRESULT r = out ? d->QueryTypeInterfaceOut(iid) : d->QueryTypeInterfaceIn(iid);
    if (r != S_OK)
      return r;
  }
  return S_OK;
}

HRESULT TVekSinkPin::QueryTypeInterfaceIn(const TGUID& iid) {
  return AskDataTypeDependents(iid, false);
}

HRESULT TVekSinkPin::QueryTypeInterfaceOut(const TGUID& iid) {
  return AskDataTypeDependents(iid, true);
}

void TVekSinkPin::Renegotiate(const TGUID& preferred, const TGUID& type) {
  TVekGlobalWriteLockSection global;
  TVekWriteLockSection own(this);
  if (TVekSourcePin* s = AsSource(source_pin_)) {
    s->PropagateRetype(preferred, type);
  } else {
    RenegotiateLink(preferred, type);
  }
}

void TVekSinkPin::RenegotiateLink(const TGUID& preferred, const TGUID& type) {
  TVekGlobalWriteLockSection global;
  std::vector<TVekSourcePin*> dependents;
  {
    TVekWriteLockSection own(this);
    if (TVekSourcePin* s = AsSource(source_pin_)) {
      const TGUID linkPreferred = s->GetLinkType(this);
      link_type_ = ResolvedLinkType(s, linkPreferred);
      handler_ = FindTypeHandler(link_type_);
    }
    dependents = data_type_dependents_;
  }
  for (TVekSourcePin* d : dependents)
    d->RetypeAllSinks(preferred, type);
}

// ---------------------------------------------------------------------------
// Stored link ("SourcePin")

void TVekSinkPin::WriteSourcePin(TWriter* writer) {
  TVekReadLockSection own(this);
  const std::string ident = source_pin_->GetFullPathEx(true);
  const std::string display = source_pin_->GetFullPath(true);
  if (ident == display) {
    writer->WriteIdent(ident);
    return;
  }
  writer->WriteListBegin();
  writer->WriteIdent(ident);
  writer->WriteString(display);
  writer->WriteListEnd();
}

void TVekSinkPin::ReadLinks(TReader* reader) {
  TVekGlobalWriteLockSection global;
  TVekWriteLockSection own(this);
  AdoptPlaceholders();
  std::string ident;
  std::string display;
  if (reader->NextValue() == TValueKind::List) {
    reader->ReadListBegin();
    ident = reader->ReadIdent();
    display = reader->ReadString();
    reader->ReadListEnd();
  } else {
    ident = reader->ReadIdent();
    display = ident;
  }
  ident = FixStoredPath(ident);
  display = FixStoredPath(display);
  TVekBasicPin* pin = ResolvePinByPath(AllPins(), GetOwnerComponent(), vpkSource, ident, display,
                                       GetFullPath(true));
  if (pin != nullptr)
    Connect(pin);
}
