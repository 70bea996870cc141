// Lock objects, lock groups and lock sections of the pin framework.
// Callers include Vek/VekPins.h.
//
// Every framework object (TVekObject: pins, state dispatchers, pin lists, the
// lock holders of components) is locked through a shared lock object. Objects
// joined with AddLockLink form a lock group sharing one TVekLockObject (a
// re-entrant critical section), so holding any member's lock holds the whole
// group. Above every group lock stands GlobalLock, the one
// TVekGlobalLockObject (the lock of VekMultiReadLock.h).
//
// Locks are taken through sections: scope guards that take their lock when
// made and release it when destroyed or Release()d, also when an exception
// passes. An object's read or write section takes GlobalLock for reading and
// then the object's group lock; the global write lock is reserved for changes
// of the graph.
//
// LOCK ORDER (the one place it is written down; other files point here):
//
//   GlobalLock  ->  group lock of the object  ->  group lock of a peer
//               ->  lock of a state dispatcher (a leaf under the read level)
//               ->  a pin list's own section (a leaf for readers)
//               ->  GlobalPinCriticalSection (registries of pins, placeholders
//                   and dispatchers)
//               ->  TVekObject::critical_section_ (internal, held briefly;
//                   nothing is locked while either of the last two is held)
//
// "A peer" is a pin the object's push reaches: a linked sink (its handler
// runs under its group lock) or a state peer (its group is locked only while
// its type is asked for; its handler runs without it).
//
// The components' own locks stand in the same order:
// - The capture component's device section (audio/MoskAudioIn.h): after
//   GlobalLock, before any group lock. No device-section operation starts
//   while the thread holds a group lock of a component downstream.
// - Its capture-state lock (TMoskAudioParams, audio/MoskAudioParams.h): after
//   the capture component's own group lock and before the group locks of the
//   pins downstream. HandleWaveData takes GlobalLock (read), the group lock,
//   then the capture-state lock, and pushes the block under both; a stop
//   takes the capture-state lock alone.
// - Leaf locks, under which nothing of the above is taken; each file writes
//   the order of its own leaves: the scope channel's IntakeLock and
//   DisplayLock (scope/TrelChannelData.h), the wave-input layer's registry,
//   device and header-book locks (platform/win/WaveIn.cpp), the main loop's
//   queue lock (platform/classes/MainLoop.h).
//
// - A group lock is never taken without GlobalLock: the sections take
//   GlobalLock first, and TVekObject::BeginRead/BeginWrite stop the process
//   with a usage error when the calling thread holds GlobalLock neither for
//   reading nor for writing. Hence while one thread holds GlobalLock for
//   writing, no other thread holds or waits for any group lock, and group
//   locks may then be taken in any order (linking takes the sink's group,
//   then the source's; the lock-group join takes every member's). The same
//   holds for the capture component's device section, which is taken only
//   after GlobalLock: a state dispatcher's synchronisation, under the write
//   level, holds the dispatcher's group when it switches a capture
//   component. Under the write level these locks are taken without waiting
//   (EnterUnderGlobalLock), so ThreadSanitizer checks the orders above only
//   where they matter, under the read level.
// - Under the read level two group locks are nested only in the push order
//   above: a push holds its source's group and takes each sink's in turn
//   (and a state peer's, briefly, while asking its type).
//   Nothing else holds one group while it waits for another: the queries
//   that walk several pins (CanLinkTo, HasCommonType, HasCommonTypeWith,
//   IsDependentOn, IsDirectlyDependentOn, NegotiateStreamType, CanConnect,
//   CanConnectToSource, CanJoinDispatcher, the link-type resolution and
//   IsDesigning of the far pin inside them) take the global write section
//   first; FindCommonType and a sink's QueryPinInterface, which a state peer's
//   delivery reaches on the push path, release their own section before they
//   ask another pin. (The type walks through data-type dependencies nest
//   groups; they are reached under the write section, or from a state-peer
//   delivery only when a peer has data-type dependents, which nothing here
//   builds.)
// - Every public entry that links takes the global write section BEFORE any
//   group lock and before any link check: Connect/ConnectEx, ConnectTo and
//   ConnectState/ConnectStateEx of every pin kind, Disconnect, DisconnectAll,
//   SetDispatcher/SetDispatcherEx, JoinNamedDispatcher, the retyping
//   (Renegotiate, RenegotiateLink, PropagateRetype, RetypeAllSinks,
//   RetypeSinkEntry, NotifySink, NotifySinkEntry), AddSinkEntry,
//   RemoveReference/ReplaceReference, SetDependencyName, the stored-link
//   readers (ReadLinks, ReadState), the dependency lists (Add, Remove), lock
//   chains (RebuildLockChain, RefreshSinkUpstream), AddLockLink,
//   RemoveLockLink, the dispatchers' AddPin/AddPinEx/RemovePin/SyncFrom, the
//   placeholders' TransferLinks and Discard, every change of a pin list, and
//   the destruction of every framework object. Taking the write lock while
//   holding a group lock (an upgrade from the read level that the group
//   section holds) would deadlock against a push on another thread: the
//   pusher holds GlobalLock for reading and waits for that group lock.
// - Upgrades. Code that runs inside a global read section it did not take
//   and then links upgrades the global lock: a push handler, and a
//   main-thread notification callback (delivered inside the global read
//   section) that relinks. The upgrade waits until every other thread has
//   left its reads, so it is safe only while this thread holds no group lock
//   and no other thread upgrades at the same time (two upgraders wait for
//   each other). A main-thread callback holds no group lock and the capture
//   thread never upgrades, so relinking there is safe; a push handler holds
//   its group locks, and no component of ours relinks from one.
// - A pin list's own section (Vek/VekPinList.h) is a leaf for readers: a
//   query takes it after whatever group locks its caller holds (a push reads
//   its component's list, a path query its pin's) and calls no pin while
//   holding it. Changes of a list take it under the global write section and
//   may then free or link pins.
#pragma once

#include <atomic>
#include <cstdint>
#include <utility>
#include <vector>

#include "Vek/VekMultiReadLock.h"
#include "platform/classes/Classes.h"
#include "platform/classes/SyncObjs.h"

class TVekObject;
struct IVekLockObject;

// A held lock: releases it when destroyed or on Release(); an empty or
// moved-from section releases nothing. Sections are cheap stack objects.
class TVekSection {
 public:
  TVekSection() = default;
  TVekSection(TVekSection&& other) noexcept
      : release_(std::exchange(other.release_, nullptr)), target_(other.target_) {}
  TVekSection& operator=(TVekSection&& other) noexcept {
    if (this != &other) {
      Release();
      release_ = std::exchange(other.release_, nullptr);
      target_ = other.target_;
    }
    return *this;
  }
  TVekSection(const TVekSection&) = delete;
  TVekSection& operator=(const TVekSection&) = delete;
  ~TVekSection() { Release(); }

  // Releases the lock now (nothing when already released).
  void Release() {
    if (ReleaseFunction fn = std::exchange(release_, nullptr))
      fn(target_);
  }
  bool Held() const { return release_ != nullptr; }

 protected:
  using ReleaseFunction = void (*)(void* target);
  TVekSection(ReleaseFunction release, void* target) : release_(release), target_(target) {}

 private:
  ReleaseFunction release_ = nullptr;
  void* target_ = nullptr;
};

// GlobalLock for reading.
class TVekGlobalReadLockSection : public TVekSection {
 public:
  TVekGlobalReadLockSection();
};

// GlobalLock for writing.
class TVekGlobalWriteLockSection : public TVekSection {
 public:
  TVekGlobalWriteLockSection();
};

// GlobalLock for reading, then the object's read level.
class TVekReadLockSection : public TVekSection {
 public:
  explicit TVekReadLockSection(TVekObject* object);
};

// GlobalLock for reading, then the object's write level.
class TVekWriteLockSection : public TVekSection {
 public:
  explicit TVekWriteLockSection(TVekObject* object);
};

// GlobalLock for reading, then the lock object's read level; the section
// keeps the lock object alive.
class TVekStreamReadLockSection : public TVekSection {
 public:
  explicit TVekStreamReadLockSection(IVekLockObject* lock);
};

// GlobalLock for reading, then the lock object's write level.
class TVekStreamWriteLockSection : public TVekSection {
 public:
  explicit TVekStreamWriteLockSection(IVekLockObject* lock);
};

struct IVekLock : public virtual IInterface {
  static constexpr TGUID IID = TGUID::Parse("{581C5EAF-32C2-49FB-9FA4-BED8AEC22B87}");
  virtual void BeginRead() = 0;
  virtual void BeginWrite() = 0;
  virtual void EndRead() = 0;
  virtual void EndWrite() = 0;
  virtual TVekSection ReadSection() = 0;
  virtual TVekSection WriteSection() = 0;
};

struct IVekLockObject : public virtual IInterface {
  static constexpr TGUID IID = TGUID::Parse("{5DE54E3E-FA36-4275-BF54-62F1DC2926A3}");
  virtual void BeginRead() = 0;
  virtual void BeginWrite() = 0;
  virtual void EndRead() = 0;
  virtual void EndWrite() = 0;
  virtual TVekSection ReadSection() = 0;
  virtual TVekSection WriteSection() = 0;
  // The implementing object: two references are the same lock when these
  // are equal.
  virtual TObject* GetObject() = 0;
};

// The framework's global lock. Its reference count is not used for its
// lifetime: the framework's start-up creates it and its shutdown frees it.
class TVekGlobalLockObject : public TVekMultiReadExclusiveWriteSynchronizer, public IVekLock {
  KESTRUNE_CLASS(TVekGlobalLockObject, TVekMultiReadExclusiveWriteSynchronizer)
  TVekGlobalLockObject() = default;
  HRESULT QueryInterface(const TGUID& iid, void** obj) override;
  void BeginRead() override { TVekMultiReadExclusiveWriteSynchronizer::BeginRead(); }
  void BeginWrite() override { TVekMultiReadExclusiveWriteSynchronizer::BeginWrite(); }
  void EndRead() override { TVekMultiReadExclusiveWriteSynchronizer::EndRead(); }
  void EndWrite() override { TVekMultiReadExclusiveWriteSynchronizer::EndWrite(); }
  TVekSection ReadSection() override { return TVekGlobalReadLockSection(); }
  TVekSection WriteSection() override { return TVekGlobalWriteLockSection(); }
};

// The process-wide lock; set by the framework's start-up (VekPinsUnit),
// nullptr before and after.
extern TVekGlobalLockObject* GlobalLock;

// True when the calling thread holds GlobalLock for writing (false before
// the framework's start-up).
inline bool HoldsGlobalWriteLock() {
  return GlobalLock != nullptr && GlobalLock->IsWriter();
}

// Takes a lock that is held only together with GlobalLock: a group lock, the
// capture component's device section. While the calling thread holds
// GlobalLock for writing, no other thread holds or waits for such a lock (see
// the lock order), so it is free and `tryEnter` takes it. ThreadSanitizer
// cannot see GlobalLock (atomics and events), and its lock-order graph knows
// no lock that keeps two others apart; a lock taken by a try adds no order to
// that graph (a try never waits). So the locks that the global writer takes
// in any order are not reported as inversions of the orders taken under the
// read level, and every order taken under the read level still is. Where the
// try fails all the same (a caller that took the lock without GlobalLock),
// `enter` waits for it as any other thread does.
template <class TryEnter, class Enter>
void EnterUnderGlobalLock(TryEnter&& tryEnter, Enter&& enter) {
  if (!(HoldsGlobalWriteLock() && tryEnter()))
    enter();
}

[[nodiscard]] inline TVekGlobalReadLockSection EnterGlobalReadSection() {
  return {};
}
[[nodiscard]] inline TVekGlobalWriteLockSection EnterGlobalWriteSection() {
  return {};
}

// One group lock: a re-entrant critical section. Reading and writing are not
// told apart at this level; both are exclusive across threads. Counted; a
// lock object goes when its group no longer refers to it. Its critical
// section is taken through EnterUnderGlobalLock.
class TVekLockObject : public TInterfacedObject, public IVekLockObject {
  KESTRUNE_CLASS(TVekLockObject, TInterfacedObject)
  TVekLockObject() = default;
  // Waits for a current holder, then goes. Every holder keeps a reference
  // (a section) or holds the lock through a group member whose reference is
  // dropped only after its levels moved on (under the global write lock), so
  // the lock is free here: a try takes it, without an order for the
  // lock-order graph (see EnterUnderGlobalLock).
  ~TVekLockObject() override;
  HRESULT QueryInterface(const TGUID& iid, void** obj) override;

  void BeginRead() override { Enter(); }
  void BeginWrite() override { Enter(); }
  void EndRead() override { critical_section_.Leave(); }
  void EndWrite() override { critical_section_.Leave(); }
  TVekSection ReadSection() override { return TVekStreamReadLockSection(this); }
  TVekSection WriteSection() override { return TVekStreamWriteLockSection(this); }
  TObject* GetObject() override { return this; }

  // True when the calling thread holds this lock (assertions and tests).
  bool HeldByCurrentThread() const { return critical_section_.HeldByCurrentThread(); }

 private:
  void Enter() {
    EnterUnderGlobalLock([this] { return critical_section_.TryEnter(); },
                         [this] { critical_section_.Enter(); });
  }

  TCriticalSection critical_section_;
};

// The base of every framework object: a member of a lock group.
//
// Threads: BeginRead/BeginWrite/EndRead/EndWrite from any thread, always
// under GlobalLock (use the sections; BeginRead and BeginWrite check it and
// stop the process with a usage error otherwise). AddLockLink, RemoveLockLink and
// destruction take the global write section first (see the lock order).
class TVekObject : public TPersistent {
  KESTRUNE_CLASS(TVekObject, TPersistent)
  TVekObject();
  // Removes every lock link in both directions (the remaining members of a
  // group that falls apart get lock objects of their own).
  ~TVekObject() override;

  virtual void BeginRead();
  virtual void BeginWrite();
  virtual void EndRead();
  virtual void EndWrite();

  [[nodiscard]] TVekReadLockSection EnterReadSection() { return TVekReadLockSection(this); }
  [[nodiscard]] TVekWriteLockSection EnterWriteSection() { return TVekWriteLockSection(this); }

  // Joins the lock groups of this object and `other` (nullptr, or a link
  // that exists already: nothing). Levels held on either group move to the
  // joined group's new lock object. Takes the global write section first.
  void AddLockLink(TVekObject* other);
  // Undoes one link made by this object's AddLockLink (nullptr: nothing);
  // each part of a group that falls apart gets a lock object of its own.
  void RemoveLockLink(TVekObject* other);

  // The group's current lock object.
  IPtr<IVekLockObject> LockObject();
  const std::vector<TVekObject*>& LockLinks() const { return lock_links_; }
  const std::vector<TVekObject*>& LockLinkedBy() const { return lock_linked_by_; }

 protected:
  // Frees the object now, or, when read or write levels are held through it
  // (the caller runs inside one of the object's own sections), as soon as
  // the last of them is released. For objects that free themselves.
  void FreeWhenUnlocked();

 private:
  friend void CollectLockGroup(TVekObject* object, std::vector<TVekObject*>& list);
  friend void InstallLockObject(TVekObject* object);
  // Caller holds critical_section_: true (once) when the object must now be
  // freed.
  bool TakeFreeDueLocked() {
    if (!free_pending_.load() || read_lock_count_.load() != 0 || write_lock_count_.load() != 0) {
      return false;
    }
    free_pending_.store(false);
    return true;
  }
  bool TakeFreeDue();

  // The group's lock object. Changed only by InstallLockObject, under the
  // global write lock and critical_section_; `lock_raw_` mirrors it for the
  // lock-free fast path of BeginRead/BeginWrite/EndRead/EndWrite.
  IPtr<IVekLockObject> lock_object_;
  std::atomic<IVekLockObject*> lock_raw_{nullptr};
  std::vector<TVekObject*> lock_links_;
  std::vector<TVekObject*> lock_linked_by_;
  // Levels held (or being waited for) through this object, on any thread.
  std::atomic<int32_t> read_lock_count_{0};
  std::atomic<int32_t> write_lock_count_{0};
  std::atomic<bool> free_pending_{false};
  // Guards changes of lock_object_ and the free-when-unlocked decision (not
  // the data of the object). Never held while a group lock is taken.
  TCriticalSection critical_section_;
};
