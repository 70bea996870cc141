// Synchronisation objects and the thread primitives under them.
//
// - TCriticalSection: a re-entrant mutual-exclusion lock (the owning thread may
//   enter again; it must leave as often as it entered). Scope guard:
//   kestrune::CriticalSectionGuard.
// - TEvent: a manual- or auto-reset event with latched semantics: a SetEvent
//   given while nobody waits is kept until a wait consumes it (auto-reset) or
//   until ResetEvent (manual-reset).
// - TSemaphore: a counting semaphore with a maximum count.
// - GetCurrentThreadId, Sleep and the Interlocked* operations.
//
// Threads: every member of these classes may be called from any thread, unless
// its comment says otherwise. Destroying an object while another thread waits
// on it, or holds it, is a usage error. None of these classes takes another
// lock while holding its own, so they add no edge to any lock order.
//
// Building one costs a mutex and a condition variable; no thread, no system
// handle. They are meant to be kept and reused.
#pragma once

#include <atomic>
#include <concepts>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

inline constexpr uint32_t INFINITE = 0xFFFFFFFFu;

namespace kestrune {

// The outcome of a wait.
enum class WaitResult {
  Signaled,  // the object was signalled (and, where it counts, consumed)
  Timeout,   // the time-out passed first
};

}  // namespace kestrune

// ---------------------------------------------------------------------------
// A re-entrant critical section.
//
// Enter blocks until the section is free or already held by the caller; each
// Enter (and each successful TryEnter) is matched by one Leave on the same
// thread. Leave from a thread that does not hold the section is a usage error
// (the process stops with a message). Prefer kestrune::CriticalSectionGuard to
// bare Enter/Leave, so that every exit releases it.
class TCriticalSection {
 public:
  TCriticalSection() = default;
  TCriticalSection(const TCriticalSection&) = delete;
  TCriticalSection& operator=(const TCriticalSection&) = delete;

  void Enter();
  void Leave();
  // Enters without waiting: true when the caller now holds the section.
  bool TryEnter();

  // True when the calling thread holds the section (for assertions).
  bool HeldByCurrentThread() const;

 private:
  std::mutex mutex_;
  // The holder's thread id, 0 when free. Written only by the holder (under
  // mutex_), read by anyone: a thread reading it sees its own id only when it
  // wrote that id itself, which is all Enter and Leave ask of it.
  std::atomic<uint32_t> owner_{0};
  uint32_t depth_ = 0;  // touched only by the holder
};

namespace kestrune {

// Holds a critical section for its own lifetime.
class CriticalSectionGuard {
 public:
  explicit CriticalSectionGuard(TCriticalSection& section) : section_(section) { section_.Enter(); }
  ~CriticalSectionGuard() { section_.Leave(); }
  CriticalSectionGuard(const CriticalSectionGuard&) = delete;
  CriticalSectionGuard& operator=(const CriticalSectionGuard&) = delete;

 private:
  TCriticalSection& section_;
};

}  // namespace kestrune

// ---------------------------------------------------------------------------
// An event.
//
// Manual-reset: SetEvent releases every thread waiting at that moment and the
// event stays signalled (later waits return at once) until ResetEvent. Every
// thread that was waiting when SetEvent ran is released, even if ResetEvent
// follows before it gets to run.
//
// Auto-reset: SetEvent releases exactly one waiting thread; when none waits,
// the event stays signalled and the next wait consumes the signal and returns
// at once. Several SetEvent calls without a wait in between count once.
class TEvent {
 public:
  TEvent(bool manualReset, bool initialState);
  TEvent(const TEvent&) = delete;
  TEvent& operator=(const TEvent&) = delete;

  void SetEvent();
  void ResetEvent();
  // Waits until the event is signalled or `timeoutMs` milliseconds pass
  // (INFINITE: no limit; 0: only looks). An auto-reset event is reset by the
  // wait that returns Signaled.
  kestrune::WaitResult WaitFor(uint32_t timeoutMs = INFINITE);

  bool ManualReset() const { return manual_reset_; }

  // Test hook: the number of threads blocked in WaitFor right now, so that a
  // test can act once its waiters are really waiting.
  uint32_t BlockedWaiterCountForTesting();

 private:
  const bool manual_reset_;
  std::mutex mutex_;
  std::condition_variable changed_;
  bool signaled_;
  // Manual reset: counts SetEvent calls, so that a waiter sees a set that was
  // already undone by ResetEvent when it got to run.
  uint64_t set_generation_ = 0;
  // Threads blocked in WaitFor (for an auto-reset event: those that hold no
  // grant yet), and, auto reset only, SetEvent calls handed to such threads
  // but not yet taken (grants_ <= waiting_).
  uint32_t waiting_ = 0;
  uint32_t grants_ = 0;
};

// ---------------------------------------------------------------------------
// A counting semaphore.
//
// The count starts at `initialCount` and never exceeds `maximumCount`. A wait
// takes one unit (waiting while the count is 0); Release gives units back.
class TSemaphore {
 public:
  // `initialCount` must lie in 0..maximumCount and `maximumCount` must be at
  // least 1; otherwise EInvalidOperation is raised.
  TSemaphore(int32_t initialCount, int32_t maximumCount);
  TSemaphore(const TSemaphore&) = delete;
  TSemaphore& operator=(const TSemaphore&) = delete;

  // Adds `releaseCount` (at least 1) units and wakes as many waiters. Returns
  // false and changes nothing when the count would pass the maximum, or when
  // `releaseCount` is below 1. `previousCount`, when given, receives the count
  // before the release (on success only).
  bool Release(int32_t releaseCount = 1, int32_t* previousCount = nullptr);
  // Takes one unit, waiting up to `timeoutMs` (INFINITE: no limit).
  kestrune::WaitResult WaitFor(uint32_t timeoutMs = INFINITE);

  int32_t MaximumCount() const { return maximum_; }

 private:
  const int32_t maximum_;
  std::mutex mutex_;
  std::condition_variable available_;
  int32_t count_;
};

// ---------------------------------------------------------------------------
// Thread identifiers and helpers.

// The calling thread's 32-bit identifier: never 0, and different from the id
// of every other live thread. Ids of ended threads may be handed out again
// only through the test hook below. After the first call on a thread it is
// one thread-local read: the locks ask for it on every entry.
namespace kestrune::detail {
// The calling thread's id, 0 until it has one. Constant-initialised, so it is
// read directly, without a thread-local initialisation check.
extern constinit thread_local uint32_t tls_thread_id;
// Gives the calling thread its id (the slow path of GetCurrentThreadId).
uint32_t AssignThreadId();
}  // namespace kestrune::detail

inline uint32_t GetCurrentThreadId() {
  const uint32_t id = kestrune::detail::tls_thread_id;
  return id != 0 ? id : kestrune::detail::AssignThreadId();
}

// Suspends the calling thread for `ms` milliseconds; Sleep(0) only yields the
// processor to another ready thread.
void Sleep(uint32_t ms);

namespace kestrune {

// Test hook: the next threads that need an id (a TThread when it is created,
// any other thread at its first GetCurrentThreadId) get these ids, in order.
// Raises EThread, changing nothing, when an id is 0, appears twice, is already
// forced, or belongs to a live thread. Ids handed out normally skip the forced
// ones.
void ForceNextThreadIds(const std::vector<uint32_t>& ids);

namespace detail {

// An id taken for a thread that does not run yet (TThread takes one when it
// is created, so that ThreadID is known before the thread starts). The id is
// live from here on; it is given back when the reservation is dropped unused,
// or at the end of the thread that adopted it.
class ThreadIdReservation {
 public:
  ThreadIdReservation();  // takes a fresh id
  ~ThreadIdReservation();
  ThreadIdReservation(ThreadIdReservation&& other) noexcept;
  ThreadIdReservation& operator=(ThreadIdReservation&&) = delete;
  ThreadIdReservation(const ThreadIdReservation&) = delete;

  uint32_t Id() const { return id_; }
  // Makes the id the calling thread's own. Call first thing on a new thread,
  // before anything asks for its id; the reservation is empty afterwards.
  void AdoptOnCurrentThread();

 private:
  uint32_t id_;
};

}  // namespace detail
}  // namespace kestrune

// ---------------------------------------------------------------------------
// Interlocked operations on 32-bit integers. Every thread that touches the
// variable concurrently must do so through these (or through std::atomic_ref);
// mixing them with plain reads and writes is a data race. Results wrap like
// the hardware's two's-complement arithmetic.

template <class T>
concept Interlocked32 = std::integral<T> && sizeof(T) == 4;

// Returns the new value.
template <Interlocked32 T>
T InterlockedIncrement(T& target) {
  return static_cast<T>(static_cast<uint32_t>(std::atomic_ref<T>(target).fetch_add(1)) + 1u);
}
// Returns the new value.
template <Interlocked32 T>
T InterlockedDecrement(T& target) {
  return static_cast<T>(static_cast<uint32_t>(std::atomic_ref<T>(target).fetch_sub(1)) - 1u);
}
// Adds `value`; returns the value before the addition.
template <Interlocked32 T>
T InterlockedExchangeAdd(T& target, T value) {
  return std::atomic_ref<T>(target).fetch_add(value);
}
// Stores `value`; returns the value before.
template <Interlocked32 T>
T InterlockedExchange(T& target, T value) {
  return std::atomic_ref<T>(target).exchange(value);
}
// Stores `exchange` when the value equals `comparand`; returns the value
// before in every case.
template <Interlocked32 T>
T InterlockedCompareExchange(T& target, T exchange, T comparand) {
  std::atomic_ref<T>(target).compare_exchange_strong(comparand, exchange);
  return comparand;
}
