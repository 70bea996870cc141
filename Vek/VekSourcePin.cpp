// The source pin: links to sinks, the push path, sink ordering, stored links,
// and the source side of pin dependencies.
#include "Vek/VekSourcePin.h"

#include <algorithm>
#include <cstring>
#include <type_traits>

#include "Vek/VekFreeLists.h"
#include "Vek/VekPins.h"
#include "Vek/VekStdTypes.h"
#include "platform/classes/Streaming.h"

namespace {

constexpr int32_t kMaxPushDepth = 200;
constexpr int32_t kMaxDirectDepth = 10;
constexpr int32_t kCounterLimit = 10000;

static_assert(std::is_trivially_copyable_v<TVekSinkPinEntry>,
              "the push copies sink entries as plain memory");

// Restores a pin's dispatch depth on every exit from a delivery.
class DepthGuard {
 public:
  explicit DepthGuard(int32_t& depth) : depth_(depth) { ++depth_; }
  ~DepthGuard() { --depth_; }
  DepthGuard(const DepthGuard&) = delete;
  DepthGuard& operator=(const DepthGuard&) = delete;

 private:
  int32_t& depth_;
};

// Clears a walk or re-entry guard flag on every exit from the scope that set
// it.
class ClearOnExit {
 public:
  explicit ClearOnExit(bool& flag) : flag_(flag) {}
  ~ClearOnExit() { flag_ = false; }
  ClearOnExit(const ClearOnExit&) = delete;
  ClearOnExit& operator=(const ClearOnExit&) = delete;

 private:
  bool& flag_;
};

// The copy of the sink entries a push walks, so that handlers may link and
// unlink during the push. Up to eight entries live on the stack, more in a
// block of the push snapshots' free list.
class EntrySnapshot {
 public:
  explicit EntrySnapshot(const std::vector<TVekSinkPinEntry>& entries)
      : count_(static_cast<int>(entries.size())) {
    static_assert(std::is_trivially_copyable_v<TVekSinkPinEntry>);
    if (count_ <= kInline) {
      data_ = reinterpret_cast<TVekSinkPinEntry*>(inline_);
    } else {
      pooled_bytes_ = entries.size() * sizeof(TVekSinkPinEntry);
      data_ = static_cast<TVekSinkPinEntry*>(VekPushSnapshotLists().Allocate(pooled_bytes_));
    }
    if (count_ > 0)
      std::memcpy(static_cast<void*>(data_), entries.data(), count_ * sizeof(TVekSinkPinEntry));
  }
  ~EntrySnapshot() {
    if (pooled_bytes_ != 0)
      VekPushSnapshotLists().Deallocate(data_, pooled_bytes_);
  }
  EntrySnapshot(const EntrySnapshot&) = delete;
  EntrySnapshot& operator=(const EntrySnapshot&) = delete;
  int Count() const { return count_; }
  const TVekSinkPinEntry& operator[](int i) const { return data_[i]; }

 private:
  static constexpr int kInline = 8;
  alignas(TVekSinkPinEntry) unsigned char inline_[kInline * sizeof(TVekSinkPinEntry)];
  std::size_t pooled_bytes_ = 0;  // 0: the entries are inline
  TVekSinkPinEntry* data_;
  int count_;
};

bool IsLinkablePin(TVekBasicPin* pin) {
  return dynamic_cast<TVekSinkPin*>(pin) != nullptr ||
         dynamic_cast<TVekStatePin*>(pin) != nullptr ||
         dynamic_cast<TVekUnloadedPin*>(pin) != nullptr;
}

}  // namespace

// ---------------------------------------------------------------------------
// Dependency lists

int TVekSinkPinList::Count() {
  TVekReadLockSection own(owner_);
  return static_cast<int>(pins_.size());
}

TVekSinkPin* TVekSinkPinList::Items(int index) {
  TVekReadLockSection own(owner_);
  if (index < 0 || index >= static_cast<int>(pins_.size()))
    RaiseListIndexError(index);
  return pins_[index];
}

bool TVekSinkPinList::Contains(TVekBasicPin* pin) {
  TVekReadLockSection own(owner_);
  return std::find(pins_.begin(), pins_.end(), pin) != pins_.end();
}

void TVekSinkPinList::AddToList(TVekSinkPin* pin) {
  if (pin == nullptr)
    return;
  TVekWriteLockSection own(owner_);
  pins_.push_back(pin);
}

void TVekSinkPinList::Add(TVekSinkPin* pin, bool joinLocks) {
  if (pin == nullptr)
    return;
  TVekGlobalWriteLockSection global;
  AddToList(pin);
  if (joinLocks)
    owner_->AddLockLink(pin);
  {
    TVekWriteLockSection own(owner_);
    AddBackReference(pin);
  }
  owner_->RefreshSinkUpstream();
}

void TVekSinkPinList::Remove(TVekSinkPin* pin) {
  TVekGlobalWriteLockSection global;
  {
    TVekWriteLockSection own(owner_);
    auto it = std::find(pins_.begin(), pins_.end(), pin);
    if (it == pins_.end())
      return;
    pins_.erase(it);
    RemoveBackReference(pin);
  }
  owner_->RefreshSinkUpstream();
}

void TVekFunctionSinkPinList::Remove(TVekSinkPin* pin) {
  TVekSinkPinList::Remove(pin);
}
void TVekFunctionSinkPinList::AddBackReference(TVekSinkPin* pin) {
  pin->AddFunctionDependent(owner_);
}
void TVekFunctionSinkPinList::RemoveBackReference(TVekSinkPin* pin) {
  pin->RemoveFunctionDependent(owner_);
}

void TVekDataTypeSinkPinList::Remove(TVekSinkPin* pin) {
  TVekSinkPinList::Remove(pin);
}
void TVekDataTypeSinkPinList::AddBackReference(TVekSinkPin* pin) {
  pin->AddDataTypeDependent(owner_);
}
void TVekDataTypeSinkPinList::RemoveBackReference(TVekSinkPin* pin) {
  pin->RemoveDataTypeDependent(owner_);
}

// ---------------------------------------------------------------------------
// Construction

TVekSourcePin::TVekSourcePin(TComponent* owner)
    : TVekStreamPin(owner),
      function_dependencies_(Create<TVekFunctionSinkPinList>(this)),
      data_type_dependencies_(Create<TVekDataTypeSinkPinList>(this)) {}

TVekSourcePin::~TVekSourcePin() {
  // Links and dependents were dropped by BeforeDestruction. Each list is
  // cleared before it is freed (reset), so its destruction no longer sees it.
  function_dependencies_.reset();
  data_type_dependencies_.reset();
}

void TVekSourcePin::DefineProperties(TFiler* filer) {
  inherited::DefineProperties(filer);
  filer->DefineProperty("SinkPins", TMethod<void(TReader*)>(this, &TVekSourcePin::ReadSinkPins),
                        TMethod<void(TWriter*)>(this, &TVekSourcePin::WriteSinkPins), HasSinks());
}

// ---------------------------------------------------------------------------
// Queries

int TVekSourcePin::GetSinkCount() {
  TVekReadLockSection own(this);
  return sink_entries_.Count();
}

TVekBasicPin* TVekSourcePin::GetSink(int index) {
  TVekReadLockSection own(this);
  if (index < 0 || index >= sink_entries_.Count())
    return nullptr;
  return sink_entries_.GetEntry(index).Sink;
}

bool TVekSourcePin::HasSinks() {
  TVekReadLockSection own(this);
  return sink_entries_.Count() > 0;
}

bool TVekSourcePin::HasAnyLink() {
  return DispatcherAssigned() || HasSinks();
}

bool TVekSourcePin::IsConnected() {
  TVekGlobalReadLockSection global;
  TVekReadLockSection own(this);
  return sink_entries_.Count() > 0 || dispatcher_ != nullptr;
}

bool TVekSourcePin::IsConnectedTo(TVekBasicPin* pin) {
  {
    TVekReadLockSection own(this);
    if (pin != nullptr && sink_entries_.IndexOfSink(pin) >= 0)
      return true;
  }
  return IsJoinedWith(pin);
}

TGUID TVekSourcePin::GetLinkType(TVekBasicPin* pin) {
  {
    TVekReadLockSection own(this);
    if (const TVekSinkPinEntry* e = sink_entries_.FindBySink(pin))
      return e->StreamType;
  }
  return TVekPin::GetLinkType(pin);
}

TGUID TVekSourcePin::GetConnectedType() {
  {
    TVekReadLockSection own(this);
    if (sink_entries_.Count() > 0)
      return sink_entries_.GetEntry(0).StreamType;
  }
  return TVekPin::GetConnectedType();
}

TVekBasicPin* TVekSourcePin::GetLinkDependency(TVekBasicPin* pin) {
  TVekReadLockSection own(this);
  const TVekSinkPinEntry* e = sink_entries_.FindBySink(pin);
  return e != nullptr ? e->DependsOn : nullptr;
}

std::string TVekSourcePin::GetDependencyName(TVekBasicPin* pin) {
  TVekReadLockSection own(this);
  const TVekSinkPinEntry* e = sink_entries_.FindBySink(pin);
  if (e == nullptr || e->DependsOn == nullptr)
    return {};
  const bool otherRoot = e->DependsOn->GetOwnerComponent() != GetOwnerComponent();
  return e->DependsOn->GetFullPath(otherRoot);
}

void TVekSourcePin::SetDependencyName(TVekBasicPin* pin, const std::string& name) {
  TVekGlobalWriteLockSection global;
  TVekWriteLockSection own(this);
  TVekBasicPin* found = nullptr;
  for (const TVekSinkPinEntry& e : sink_entries_.Entries()) {
    if (e.Sink->GetFullPath(false) == name) {
      found = e.Sink;
      break;
    }
  }
  if (found == nullptr) {
    for (const TVekSinkPinEntry& e : sink_entries_.Entries()) {
      if (e.Sink->GetFullPath(true) == name) {
        found = e.Sink;
        break;
      }
    }
  }
  if (found == nullptr)
    return;
  if (TVekSinkPinEntry* e = sink_entries_.FindBySink(pin))
    e->DependsOn = found;
}

bool TVekSourcePin::HasCommonType(TVekBasicPin* pin) {
  TVekGlobalWriteLockSection global;
  if (auto* sink = dynamic_cast<TVekSinkPin*>(pin))
    return sink->HasCommonType(this);
  if (dynamic_cast<TVekStatePin*>(pin) != nullptr)
    return !FindCommonType(pin).IsNull();
  return false;
}

bool TVekSourcePin::HasCommonTypeWith(TVekBasicPin* pin) {
  return !NegotiateStreamType(pin).IsNull();
}

bool TVekSourcePin::CanLinkTo(TVekBasicPin* pin) {
  TVekGlobalWriteLockSection global;
  TVekReadLockSection own(this);
  if (pin == nullptr)
    return false;
  if (IsDesigning() != pin->IsDesigning())
    return false;
  if (TVekPin::CanLinkTo(pin))
    return true;
  auto* sink = dynamic_cast<TVekSinkPin*>(pin);
  return sink != nullptr && pin != this && sink->CanLinkTo(this);
}

HRESULT TVekSourcePin::QueryPinInterface(const TGUID& iid) {
  void* obj = nullptr;
  const HRESULT r = DoQueryInterface(iid, &obj);
  return r == S_OK ? QueryTypeInterfaceOut(iid) : r;
}

// ---------------------------------------------------------------------------
// Dependencies

bool TVekSourcePin::IsDirectlyDependentOn(TVekBasicPin* pin) {
  TVekGlobalWriteLockSection global;
  TVekReadLockSection own(this);
  if (dependency_walk_guard_)
    return false;
  dependency_walk_guard_ = true;
  const auto& deps = function_dependencies_->Pins();
  const bool result = std::find(deps.begin(), deps.end(), pin) != deps.end();
  dependency_walk_guard_ = false;
  return result;
}

bool TVekSourcePin::IsDependentOn(TVekBasicPin* pin) {
  TVekGlobalWriteLockSection global;
  TVekReadLockSection own(this);
  if (dependency_walk_guard_ || pin == nullptr)
    return false;
  dependency_walk_guard_ = true;
  const ClearOnExit clear(dependency_walk_guard_);
  const auto& deps = function_dependencies_->Pins();
  if (std::find(deps.begin(), deps.end(), pin) != deps.end())
    return true;
  for (TVekSinkPin* dep : deps) {
    if (dep->IsDependentOn(pin))
      return true;
  }
  return false;
}

void TVekSourcePin::CollectUpstreamChains(TVekObjectListList& chains, TVekObjectList* chain) {
  chain->Add(this);
  std::vector<TVekSinkPin*> deps;
  {
    TVekReadLockSection own(this);
    deps = function_dependencies_->Pins();
  }
  for (size_t k = 0; k < deps.size(); ++k) {
    TVekObjectList* continued = k == 0 ? chain : chains.AddChain();
    deps[k]->CollectUpstreamChains(chains, continued);
  }
}

void TVekSourcePin::RefreshSinkUpstream() {
  TVekGlobalWriteLockSection global;
  std::vector<TVekSinkPin*> sinks;
  {
    TVekReadLockSection own(this);
    for (const TVekSinkPinEntry& e : sink_entries_.Entries()) {
      if (auto* sink = dynamic_cast<TVekSinkPin*>(e.Sink))
        sinks.push_back(sink);
    }
  }
  for (TVekSinkPin* sink : sinks)
    sink->RebuildLockChain();
}

// ---------------------------------------------------------------------------
// Type collection and acceptance through data-type dependencies.
//
// An output whose type follows its inputs (data-type dependencies) offers
// what those inputs can be given: the walk goes from the output to each such
// input, from the input to its source, and so on upstream, narrowing the
// list at each pin. A guard per source pin ends a walk that comes round a
// cycle.

std::vector<TVekSinkPin*> TVekSourcePin::DataTypeDependencyPins() {
  TVekReadLockSection own(this);
  return data_type_dependencies_->Pins();
}

void TVekSourcePin::CollectStreamTypes(TVekPinStreamType& list, TVekBasicPin* origin) {
  TVekStreamPin::CollectStreamTypes(list, origin);
  for (TVekSinkPin* dep : DataTypeDependencyPins())
    dep->CollectTypesFromSource(list, origin, false);
}

void TVekSourcePin::CollectStreamTypesRestricted(TVekPinStreamType& list, TVekBasicPin* origin) {
  TVekStreamPin::CollectStreamTypesRestricted(list, origin);
  for (TVekSinkPin* dep : DataTypeDependencyPins())
    dep->CollectTypesFromSource(list, origin, true);
}

void TVekSourcePin::NarrowTypes(TVekPinStreamType& list, TVekBasicPin* origin, bool restricted) {
  TVekWriteLockSection own(this);
  if (type_walk_guard_ || origin == this)
    return;
  type_walk_guard_ = true;
  const ClearOnExit clear(type_walk_guard_);
  const std::vector<TVekSinkPin*> deps = data_type_dependencies_->Pins();
  if (!deps.empty()) {
    for (TVekSinkPin* dep : deps)
      dep->CollectTypesFromSource(list, origin, restricted);
    return;
  }
  if (auto* r = dynamic_cast<TVekPinTypeRestricted*>(&list))
    OrderTypesLike(*r);
  for (int i = list.GetCount() - 1; i >= 0; --i) {
    void* obj = nullptr;
    const bool keep = restricted ? DoQueryInterface(list.GetType(i), &obj) == S_OK
                                 : StreamTypes().Contains(list.GetType(i));
    if (!keep)
      list.Delete(i);
  }
}

HRESULT TVekSourcePin::QueryOwnType(const TGUID& iid, TVekBasicPin* origin, bool out) {
  TVekWriteLockSection own(this);
  if (type_walk_guard_ || origin == this)
    return S_OK;
  type_walk_guard_ = true;
  const ClearOnExit clear(type_walk_guard_);
  const std::vector<TVekSinkPin*> deps = data_type_dependencies_->Pins();
  if (!deps.empty()) {
    for (TVekSinkPin* dep : deps) {
      const HRESULT r = dep->QueryTypeFromSource(iid, origin, out);
      if (r != S_OK)
        return r;
    }
    return S_OK;
  }
  if (out) {
    void* obj = nullptr;
    return DoQueryInterface(iid, &obj);
  }
  return StreamTypes().Contains(iid) ? S_OK : E_NOINTERFACE;
}

HRESULT TVekSourcePin::AskDataTypeDependencies(const TGUID& iid, bool out) {
  for (TVekSinkPin* dep : DataTypeDependencyPins()) {
    const HRESULT r = dep->QueryTypeFromSource(iid, this, out);
    if (r != S_OK)
      return r;
  }
  return S_OK;
}

HRESULT TVekSourcePin::QueryTypeInterfaceIn(const TGUID& iid) {
  return AskDataTypeDependencies(iid, false);
}

HRESULT TVekSourcePin::QueryTypeInterfaceOut(const TGUID& iid) {
  return AskDataTypeDependencies(iid, true);
}

// ---------------------------------------------------------------------------
// Retyping

void TVekSourcePin::PropagateRetype(const TGUID& preferred, const TGUID& type) {
  TVekGlobalWriteLockSection global;
  const std::vector<TVekSinkPin*> deps = DataTypeDependencyPins();
  if (deps.empty()) {
    RetypeAllSinks(preferred, type);
    return;
  }
  for (TVekSinkPin* dep : deps)
    dep->Renegotiate(preferred, type);
}

void TVekSourcePin::RetypeAllSinks(const TGUID& preferred, const TGUID& type) {
  TVekGlobalWriteLockSection global;
  for (int i = 0;; ++i) {
    TVekBasicPin* sink;
    {
      TVekReadLockSection own(this);
      if (i >= sink_entries_.Count())
        return;
      sink = sink_entries_.GetEntry(i).Sink;
    }
    RetypeSinkEntry(i, type);
    if (auto* sinkPin = dynamic_cast<TVekSinkPin*>(sink))
      sinkPin->RenegotiateLink(preferred, type);
  }
}

void TVekSourcePin::RetypeSinkEntry(int index, const TGUID& type) {
  TVekGlobalWriteLockSection global;
  TVekWriteLockSection own(this);
  if (index < 0 || index >= sink_entries_.Count())
    return;
  TVekSinkPinEntry& e = sink_entries_.GetEntry(index);
  if (e.StreamType == type)
    return;
  TVekBasicPin* sink = e.Sink;
  const TGUID negotiated = NegotiateStreamType(sink);
  const TVekNotifyHandler handler = FindTypeHandler(negotiated);
  // Negotiation may have changed the entries; find ours again.
  if (TVekSinkPinEntry* again = sink_entries_.FindBySink(sink)) {
    again->StreamType = negotiated;
    again->Handler = handler;
  }
  NotifySinkEntry(sink, handler);
}

// ---------------------------------------------------------------------------
// Linking

bool TVekSourcePin::CanConnect(TVekBasicPin* pin, TVekBasicPin* dependsOn) {
  TVekGlobalWriteLockSection global;
  const bool basic = TVekBasicPin::CanConnect(pin, dependsOn);
  if (basic || pin == dependsOn)
    return basic;
  // Follow the chain of declared dependencies; a chain that comes round in
  // a circle (more steps than links) is refused.
  TVekReadLockSection own(this);
  for (int steps = 0; steps <= sink_entries_.Count(); ++steps) {
    const TVekSinkPinEntry* e = sink_entries_.FindBySink(dependsOn);
    if (e == nullptr)
      return false;
    if (e->DependsOn == nullptr)
      return true;
    dependsOn = e->DependsOn;
    if (pin == dependsOn)
      return TVekBasicPin::CanConnect(pin, dependsOn);
  }
  return false;
}

bool TVekSourcePin::ConnectEx(TVekBasicPin* pin, TVekBasicPin* dependsOn) {
  // The write section comes before the link check: the check walks into the
  // groups upstream, which a push on another thread may hold while it waits
  // for ours (see the lock order in Vek/VekLocks.h).
  TVekGlobalWriteLockSection global;
  if (pin == nullptr || !CanConnect(pin, dependsOn))
    return false;
  return ConnectTo(pin, dependsOn);
}

bool TVekSourcePin::ConnectTo(TVekBasicPin* pin, TVekBasicPin* dependsOn) {
  TVekGlobalWriteLockSection global;
  TVekWriteLockSection own(this);
  if (pin == nullptr || !IsLinkablePin(pin))
    return false;
  return pin->ConnectEx(this, dependsOn);
}

void TVekSourcePin::AddSinkEntry(TVekBasicPin* sink, TVekBasicPin* dependsOn) {
  TVekGlobalWriteLockSection global;
  TVekWriteLockSection own(this);
  const TGUID type = NegotiateStreamType(sink);
  TVekSinkPinEntry& e = sink_entries_.Add();
  e.Sink = sink;
  e.DependsOn = dependsOn;
  e.StreamType = type;
  e.Handler = FindTypeHandler(type);
  e.Counter = 0;
}

void TVekSourcePin::Disconnect(TVekBasicPin* pin, bool keepPlaceholder) {
  if (disconnecting_)
    return;
  TVekGlobalWriteLockSection global;
  TVekWriteLockSection own(this);
  disconnecting_ = true;
  {
    const ClearOnExit clear(disconnecting_);
    if (keepPlaceholder && !IsOwnerDestroying()) {
      auto* placeholder =
          Create<TVekUnloadedPin>(GetOwnerComponent(), pin->GetPinKind(), pin->GetFullPathEx(true),
                                  pin->GetFullPath(true), GetFullPath(true));
      Connect(placeholder);
    }
  }
  const int i = sink_entries_.IndexOfSink(pin);
  if (i < 0)
    return;
  sink_entries_.Delete(i);
  own.Release();
  BroadcastPinLinksChanged(this);
  pin->ReleaseIfUnused();
}

void TVekSourcePin::DisconnectAll() {
  TVekGlobalWriteLockSection global;
  TVekWriteLockSection own(this);
  TVekBasicPin::DisconnectAll();
  const bool keep = IsDesigning() && IsOwnerDestroying();
  // Releasing a placeholder sink can remove entries under us: re-clamp.
  for (int i = sink_entries_.Count() - 1; i >= 0; i = std::min(i - 1, sink_entries_.Count() - 1)) {
    TVekBasicPin* sink = sink_entries_.GetEntry(i).Sink;
    BroadcastPinUnlinking(this, sink);
    {
      const bool was = std::exchange(disconnecting_, true);
      struct Restore {
        bool& flag;
        bool value;
        ~Restore() { flag = value; }
      } restore{disconnecting_, was};
      Disconnect(sink, keep);
    }
    sink->Disconnect(this, keep);
    if (auto* sinkPin = dynamic_cast<TVekSinkPin*>(sink))
      sinkPin->RebuildLockChain();
    sink->ReleaseIfUnused();
  }
  sink_entries_.Clear();
}

void TVekSourcePin::RemoveReference(TObject* object) {
  TVekGlobalWriteLockSection global;
  TVekWriteLockSection own(this);
  if (auto* sink = dynamic_cast<TVekSinkPin*>(object)) {
    function_dependencies_->Remove(sink);
    data_type_dependencies_->Remove(sink);
  }
  for (int i = sink_entries_.Count() - 1; i >= 0; i = std::min(i - 1, sink_entries_.Count() - 1)) {
    if (sink_entries_.GetEntry(i).Sink == object) {
      Disconnect(sink_entries_.GetEntry(i).Sink, false);
    }
  }
  for (TVekSinkPinEntry& e : sink_entries_.Entries()) {
    if (e.DependsOn == object)
      e.DependsOn = nullptr;
  }
}

void TVekSourcePin::ReplaceReference(TObject* oldObject, TObject* newObject) {
  TVekGlobalWriteLockSection global;
  TVekWriteLockSection own(this);
  for (TVekSinkPinEntry& e : sink_entries_.Entries()) {
    if (e.DependsOn == oldObject)
      e.DependsOn = dynamic_cast<TVekBasicPin*>(newObject);
  }
}

void TVekSourcePin::SyncStatePeers() {
  if (!DispatcherAssigned())
    return;
  IPtr<IVekNotifyOperation> op = NewOperation<TVekNotifyOperation>();
  NotifyStatePeers(op.get(), VekNotifySync, nullptr);
}

// ---------------------------------------------------------------------------
// The push

bool TVekSourcePin::Notify(IVekNotifyOperation* operation) {
  return DispatchNotify(nullptr, operation);
}

bool TVekSourcePin::DispatchNotify(TVekBasicPin* target, IVekNotifyOperation* operation) {
  TVekGlobalReadLockSection global;
  TVekWriteLockSection own(this);
  const EntrySnapshot snapshot(sink_entries_.Entries());
  if (dispatch_depth_ > kMaxPushDepth)
    throw EVekException(SVekPinDependsOnItself);
  DepthGuard depth(dispatch_depth_);

  // State peers first. Reading dispatcher_ here is safe: it changes only
  // under the global write lock, and we hold the global lock for reading. A
  // push with a target serves that target only: a peer when it is one, no
  // peer otherwise (the replays and stops a typed source sends to one sink
  // must not reach every peer again).
  bool result = false;
  if (dispatcher_ != nullptr) {
    result =
        target == nullptr ? TVekPin::Notify(operation) : NotifyStatePeers(operation, 0, target);
  }
  const int n = snapshot.Count();
  for (int i = 0; i < n; ++i) {
    const TVekSinkPinEntry& e = snapshot[i];
    if (target != nullptr && e.Sink != target)
      continue;
    if (!e.Handler.Assigned())
      continue;
    const uint8_t flags = i == n - 1 ? VekNotifyLast : 0;
    bool handled;
    {
      TVekWriteLockSection sinkSection(e.Sink);
      handled = e.Handler(e.Sink, e.StreamType, flags, operation);
    }
    if (handled) {
      TVekSinkPinEntry* live = sink_entries_.FindBySink(e.Sink);
      if (live != nullptr && live->Counter < kCounterLimit)
        live->Counter += 4;
    }
  }
  if (!disconnecting_)
    ReorderSinkEntries();
  return result;
}

void TVekSourcePin::ReorderSinkEntries() {
  std::vector<TVekSinkPinEntry>& entries = sink_entries_.Entries();
  for (TVekSinkPinEntry& e : entries) {
    if (e.Counter > 0)
      --e.Counter;
  }
  auto byCounter = [](const TVekSinkPinEntry& a, const TVekSinkPinEntry& b) {
    return a.Counter < b.Counter;
  };
  if (!std::is_sorted(entries.begin(), entries.end(), byCounter)) {
    std::stable_sort(entries.begin(), entries.end(), byCounter);
  }
  // A sink declared as depending on another is served right after it.
  const int n = static_cast<int>(entries.size());
  for (int i = 0; i < n; ++i) {
    TVekBasicPin* dependsOn = entries[i].DependsOn;
    if (dependsOn == nullptr)
      continue;
    for (int j = i + 1; j < n; ++j) {
      if (entries[j].Sink == dependsOn) {
        TVekSinkPinEntry moved = entries[i];
        entries.erase(entries.begin() + i);
        entries.insert(entries.begin() + j, moved);
        break;
      }
    }
  }
}

void TVekSourcePin::NotifySinkEntry(TVekBasicPin* sink, const TVekNotifyHandler& handler) {
  if (!handler.Assigned())
    return;
  TVekGlobalWriteLockSection global;
  TVekWriteLockSection own(this);
  if (dispatch_depth_ > kMaxDirectDepth)
    throw EVekException(SVekPinDependsOnItself);
  DepthGuard depth(dispatch_depth_);
  const TGUID type = NegotiateStreamType(sink);
  IPtr<IVekNotifyOperation> op = NewOperation<TVekNotifyOperation>();
  handler(sink, type, VekNotifyDirect, op.get());
  BroadcastPinLinksChanged(this);
}

void TVekSourcePin::NotifySink(TVekBasicPin* sink) {
  TVekGlobalWriteLockSection global;
  TVekWriteLockSection own(this);
  const TVekSinkPinEntry* e = sink_entries_.FindBySink(sink);
  if (e == nullptr)
    return;
  const TVekNotifyHandler handler = e->Handler;
  NotifySinkEntry(sink, handler);
}

// ---------------------------------------------------------------------------
// Stored links ("SinkPins")

void TVekSourcePin::WriteSinkPins(TWriter* writer) {
  TVekReadLockSection own(this);
  writer->WriteListBegin();
  for (const TVekSinkPinEntry& e : sink_entries_.Entries()) {
    const std::string ident = e.Sink->GetFullPathEx(true);
    const std::string display = e.Sink->GetFullPath(true);
    if (ident != display) {
      writer->WriteListBegin();
      writer->WriteIdent(ident);
      if (e.DependsOn != nullptr)
        writer->WriteIdent(e.DependsOn->GetFullPathEx(true));
      writer->WriteString(display);
      writer->WriteListEnd();
    } else if (e.DependsOn != nullptr) {
      writer->WriteListBegin();
      writer->WriteIdent(ident);
      writer->WriteIdent(e.DependsOn->GetFullPathEx(true));
      writer->WriteListEnd();
    } else {
      writer->WriteIdent(ident);
    }
  }
  writer->WriteListEnd();
}

void TVekSourcePin::ReadSinkPins(TReader* reader) {
  ReadLinks(reader);
}

void TVekSourcePin::ReadLinks(TReader* reader) {
  TVekGlobalWriteLockSection global;
  TVekWriteLockSection own(this);
  AdoptPlaceholders();
  TComponent* owner = GetOwnerComponent();
  const std::string self = GetFullPath(true);
  reader->ReadListBegin();
  while (!reader->EndOfList()) {
    std::string ident;
    std::string display;
    TVekBasicPin* dependsOn = nullptr;
    if (reader->NextValue() == TValueKind::List) {
      reader->ReadListBegin();
      ident = FixStoredPath(reader->ReadIdent());
      display = ident;
      if (reader->NextValue() == TValueKind::Ident) {
        const std::string dep = FixStoredPath(reader->ReadIdent());
        dependsOn = ResolvePinByPath(AllPins(), owner, vpkSink, dep, dep, self);
      }
      if (reader->NextValue() == TValueKind::String)
        display = FixStoredPath(reader->ReadString());
      reader->ReadListEnd();
    } else {
      ident = FixStoredPath(reader->ReadIdent());
      display = ident;
    }
    TVekBasicPin* sink = ResolvePinByPath(AllPins(), owner, vpkSink, ident, display, self);
    if (sink != nullptr)
      ConnectTo(sink, dependsOn);
  }
  reader->ReadListEnd();
}
