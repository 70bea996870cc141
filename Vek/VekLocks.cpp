#include "Vek/VekLocks.h"

#include <algorithm>

#include "platform/rtl/SysUtils.h"

TVekGlobalLockObject* GlobalLock = nullptr;

namespace {

TVekGlobalLockObject* Global() {
  KESTRUNE_USAGE_CHECK(GlobalLock != nullptr, "the pin framework is not started (VekPinsUnit)");
  return GlobalLock;
}

void ReleaseGlobalRead(void*) {
  GlobalLock->EndRead();
}
void ReleaseGlobalWrite(void*) {
  GlobalLock->EndWrite();
}

void ReleaseObjectRead(void* target) {
  static_cast<TVekObject*>(target)->EndRead();
  GlobalLock->EndRead();
}
void ReleaseObjectWrite(void* target) {
  static_cast<TVekObject*>(target)->EndWrite();
  GlobalLock->EndRead();
}
void ReleaseLockRead(void* target) {
  auto* lock = static_cast<IVekLockObject*>(target);
  lock->EndRead();
  lock->_Release();
  GlobalLock->EndRead();
}
void ReleaseLockWrite(void* target) {
  auto* lock = static_cast<IVekLockObject*>(target);
  lock->EndWrite();
  lock->_Release();
  GlobalLock->EndRead();
}

bool Contains(const std::vector<TVekObject*>& list, const TVekObject* object) {
  return std::find(list.begin(), list.end(), object) != list.end();
}

void EraseFirst(std::vector<TVekObject*>& list, const TVekObject* object) {
  auto it = std::find(list.begin(), list.end(), object);
  if (it != list.end())
    list.erase(it);
}

// Takes a level (Enter: BeginRead or BeginWrite) of the lock object that
// `lockRaw` points to. When the group got a new lock object while we waited,
// leaves the old one (Leave: the matching End) and takes the new one.
template <void (IVekLockObject::*Enter)(), void (IVekLockObject::*Leave)()>
void EnterCurrentLockObject(const std::atomic<IVekLockObject*>& lockRaw) {
  IVekLockObject* lock = lockRaw.load();
  for (;;) {
    (lock->*Enter)();
    IVekLockObject* current = lockRaw.load();
    if (current->GetObject() == lock->GetObject())
      return;
    (lock->*Leave)();
    lock = current;
  }
}

}  // namespace

// ---------------------------------------------------------------------------
// Sections

TVekGlobalReadLockSection::TVekGlobalReadLockSection() : TVekSection(&ReleaseGlobalRead, nullptr) {
  Global()->BeginRead();
}

TVekGlobalWriteLockSection::TVekGlobalWriteLockSection()
    : TVekSection(&ReleaseGlobalWrite, nullptr) {
  Global()->BeginWrite();
}

TVekReadLockSection::TVekReadLockSection(TVekObject* object)
    : TVekSection(&ReleaseObjectRead, object) {
  Global()->BeginRead();
  object->BeginRead();
}

TVekWriteLockSection::TVekWriteLockSection(TVekObject* object)
    : TVekSection(&ReleaseObjectWrite, object) {
  Global()->BeginRead();
  object->BeginWrite();
}

TVekStreamReadLockSection::TVekStreamReadLockSection(IVekLockObject* lock)
    : TVekSection(&ReleaseLockRead, lock) {
  Global()->BeginRead();
  lock->_AddRef();
  lock->BeginRead();
}

TVekStreamWriteLockSection::TVekStreamWriteLockSection(IVekLockObject* lock)
    : TVekSection(&ReleaseLockWrite, lock) {
  Global()->BeginRead();
  lock->_AddRef();
  lock->BeginWrite();
}

// ---------------------------------------------------------------------------
// Lock objects

HRESULT TVekGlobalLockObject::QueryInterface(const TGUID& iid, void** obj) {
  HRESULT r = QueryInterfaceTable<IVekLock>(this, iid, obj);
  return r == S_OK ? r : TInterfacedObject::QueryInterface(iid, obj);
}

TVekLockObject::~TVekLockObject() {
  if (!critical_section_.TryEnter())
    critical_section_.Enter();
  critical_section_.Leave();
}

HRESULT TVekLockObject::QueryInterface(const TGUID& iid, void** obj) {
  HRESULT r = QueryInterfaceTable<IVekLockObject>(this, iid, obj);
  return r == S_OK ? r : TInterfacedObject::QueryInterface(iid, obj);
}

// ---------------------------------------------------------------------------
// TVekObject

TVekObject::TVekObject() : lock_object_(Create<TVekLockObject>()) {
  lock_raw_.store(lock_object_.get());
}

IPtr<IVekLockObject> TVekObject::LockObject() {
  kestrune::CriticalSectionGuard guard(critical_section_);
  return lock_object_;
}

namespace {
// Group locks are taken only under GlobalLock (see the lock order): taking
// one without it could meet a lock-group change on another thread, and two
// group locks taken in either order would no longer be kept apart.
void RequireGlobalLockHeld() {
  KESTRUNE_USAGE_CHECK(Global()->HeldByCurrentThread(),
                       "a group lock taken without the global lock (use the sections)");
}
}  // namespace

// The fast path reads the lock object through `lock_raw_` and uses it without
// a reference: it is replaced only by InstallLockObject, which runs under the
// global write lock, and every caller here holds the global lock (the
// sections take it first; checked), so no other thread can replace and free it
// meanwhile. A thread that replaces it itself (linking while holding a
// section) moves its held levels along, and the re-check takes the new one.
// The counts include levels still being waited for, as InstallLockObject
// expects.
void TVekObject::BeginRead() {
  RequireGlobalLockHeld();
  read_lock_count_.fetch_add(1);
  EnterCurrentLockObject<&IVekLockObject::BeginRead, &IVekLockObject::EndRead>(lock_raw_);
}

void TVekObject::BeginWrite() {
  RequireGlobalLockHeld();
  write_lock_count_.fetch_add(1);
  EnterCurrentLockObject<&IVekLockObject::BeginWrite, &IVekLockObject::EndWrite>(lock_raw_);
}

bool TVekObject::TakeFreeDue() {
  if (!free_pending_.load())
    return false;
  kestrune::CriticalSectionGuard guard(critical_section_);
  return TakeFreeDueLocked();
}

void TVekObject::EndRead() {
  IVekLockObject* lock = lock_raw_.load();
  read_lock_count_.fetch_sub(1);
  const bool freeNow = TakeFreeDue();
  lock->EndRead();
  if (freeNow)
    Free();
}

void TVekObject::EndWrite() {
  IVekLockObject* lock = lock_raw_.load();
  write_lock_count_.fetch_sub(1);
  const bool freeNow = TakeFreeDue();
  lock->EndWrite();
  if (freeNow)
    Free();
}

void TVekObject::FreeWhenUnlocked() {
  {
    kestrune::CriticalSectionGuard guard(critical_section_);
    if (read_lock_count_.load() > 0 || write_lock_count_.load() > 0) {
      free_pending_.store(true);
      return;
    }
  }
  Free();
}

// The transitive lock group of `object`, depth first: the object, then what
// it linked to, then what linked to it.
void CollectLockGroup(TVekObject* object, std::vector<TVekObject*>& list) {
  list.push_back(object);
  for (TVekObject* other : object->lock_links_) {
    if (!Contains(list, other))
      CollectLockGroup(other, list);
  }
  for (TVekObject* other : object->lock_linked_by_) {
    if (!Contains(list, other))
      CollectLockGroup(other, list);
  }
}

// Gives the group of `object` one fresh lock object and moves every level
// held through its members onto it. Caller holds the global write section, so
// no other thread holds or waits for any member's group lock.
//
// No member's critical_section_ is held while a group lock is taken or a
// lock object is freed: the internal section stays last in the lock order.
void InstallLockObject(TVekObject* object) {
  std::vector<TVekObject*> group;
  CollectLockGroup(object, group);
  IPtr<IVekLockObject> fresh(Create<TVekLockObject>());
  for (TVekObject* member : group)
    member->BeginWrite();
  int32_t reads = 0;
  int32_t writes = 0;
  for (TVekObject* member : group) {
    reads += member->read_lock_count_.load();
    writes += member->write_lock_count_.load();
  }
  for (int32_t i = 0; i < reads; ++i)
    fresh->BeginRead();
  for (int32_t i = 0; i < writes; ++i)
    fresh->BeginWrite();
  for (TVekObject* member : group) {
    IPtr<IVekLockObject> old;
    int32_t memberReads;
    int32_t memberWrites;
    {
      kestrune::CriticalSectionGuard guard(member->critical_section_);
      old = std::exchange(member->lock_object_, fresh);
      member->lock_raw_.store(fresh.get());
      memberReads = member->read_lock_count_.load();
      memberWrites = member->write_lock_count_.load();
    }
    for (int32_t i = 0; i < memberWrites; ++i)
      old->EndWrite();
    for (int32_t i = 0; i < memberReads; ++i)
      old->EndRead();
  }
  for (TVekObject* member : group)
    member->EndWrite();
}

void TVekObject::AddLockLink(TVekObject* other) {
  if (other == nullptr)
    return;
  TVekGlobalWriteLockSection global;
  TVekWriteLockSection own(this);
  TVekWriteLockSection others(other);
  if (Contains(lock_links_, other))
    return;
  other->lock_linked_by_.push_back(this);
  lock_links_.push_back(other);
  // Both installs move the whole joined group; the second replaces the first.
  InstallLockObject(this);
  InstallLockObject(other);
}

void TVekObject::RemoveLockLink(TVekObject* other) {
  if (other == nullptr)
    return;
  TVekGlobalWriteLockSection global;
  TVekWriteLockSection own(this);
  TVekWriteLockSection others(other);
  std::vector<TVekObject*> group;
  CollectLockGroup(this, group);
  others.Release();
  own.Release();
  for (TVekObject* member : group)
    member->BeginWrite();
  EraseFirst(other->lock_linked_by_, this);
  EraseFirst(lock_links_, other);
  // If the group fell apart, each part gets a lock object of its own.
  InstallLockObject(this);
  InstallLockObject(other);
  for (TVekObject* member : group)
    member->EndWrite();
}

TVekObject::~TVekObject() {
  TVekGlobalWriteLockSection global;
  {
    TVekWriteLockSection own(this);
    while (!lock_links_.empty())
      RemoveLockLink(lock_links_.back());
    while (!lock_linked_by_.empty())
      lock_linked_by_.back()->RemoveLockLink(this);
  }
}
