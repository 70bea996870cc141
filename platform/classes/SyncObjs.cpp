#include "platform/classes/SyncObjs.h"

#include <algorithm>
#include <chrono>
#include <deque>
#include <string>
#include <thread>
#include <unordered_set>
#include <utility>

#include "platform/rtl/SysUtils.h"

namespace {

using Clock = std::chrono::steady_clock;

Clock::time_point DeadlineAfter(uint32_t timeoutMs) {
  return Clock::now() + std::chrono::milliseconds(timeoutMs);
}

}  // namespace

// ---------------------------------------------------------------------------
// TCriticalSection

void TCriticalSection::Enter() {
  const uint32_t self = GetCurrentThreadId();
  if (owner_.load(std::memory_order_relaxed) == self) {
    ++depth_;
    return;
  }
  mutex_.lock();
  owner_.store(self, std::memory_order_relaxed);
  depth_ = 1;
}

bool TCriticalSection::TryEnter() {
  const uint32_t self = GetCurrentThreadId();
  if (owner_.load(std::memory_order_relaxed) == self) {
    ++depth_;
    return true;
  }
  if (!mutex_.try_lock())
    return false;
  owner_.store(self, std::memory_order_relaxed);
  depth_ = 1;
  return true;
}

void TCriticalSection::Leave() {
  KESTRUNE_USAGE_CHECK(HeldByCurrentThread(),
                       "TCriticalSection::Leave by a thread that does not hold it");
  if (--depth_ > 0)
    return;
  owner_.store(0, std::memory_order_relaxed);
  mutex_.unlock();
}

bool TCriticalSection::HeldByCurrentThread() const {
  return owner_.load(std::memory_order_relaxed) == GetCurrentThreadId();
}

// ---------------------------------------------------------------------------
// TEvent
//
// Auto-reset events hand a SetEvent to a thread that is already waiting
// (`grants_`), rather than setting the state and letting the first thread to
// run take it: two SetEvent calls with two threads waiting release both, even
// when neither has run in between. Only a SetEvent that finds nobody waiting
// leaves the event signalled.

TEvent::TEvent(bool manualReset, bool initialState)
    : manual_reset_(manualReset), signaled_(initialState) {}

void TEvent::SetEvent() {
  std::lock_guard lock(mutex_);
  if (manual_reset_) {
    signaled_ = true;
    ++set_generation_;
    changed_.notify_all();
    return;
  }
  if (waiting_ > grants_) {
    ++grants_;
    changed_.notify_one();
  } else {
    signaled_ = true;
  }
}

void TEvent::ResetEvent() {
  std::lock_guard lock(mutex_);
  signaled_ = false;
}

kestrune::WaitResult TEvent::WaitFor(uint32_t timeoutMs) {
  using kestrune::WaitResult;
  std::unique_lock lock(mutex_);
  const auto deadline = DeadlineAfter(timeoutMs == INFINITE ? 0 : timeoutMs);
  auto wait = [&](auto ready) {
    if (timeoutMs == INFINITE) {
      changed_.wait(lock, ready);
      return true;
    }
    return changed_.wait_until(lock, deadline, ready);
  };

  if (manual_reset_) {
    if (signaled_)
      return WaitResult::Signaled;
    const uint64_t generation = set_generation_;
    ++waiting_;
    const bool set = wait([&] { return signaled_ || set_generation_ != generation; });
    --waiting_;
    return set ? WaitResult::Signaled : WaitResult::Timeout;
  }

  if (signaled_) {
    signaled_ = false;
    return WaitResult::Signaled;
  }
  if (timeoutMs == 0)
    return WaitResult::Timeout;
  ++waiting_;
  const bool granted = wait([&] { return grants_ > 0; });
  --waiting_;
  if (!granted)
    return WaitResult::Timeout;
  --grants_;
  return WaitResult::Signaled;
}

uint32_t TEvent::BlockedWaiterCountForTesting() {
  std::lock_guard lock(mutex_);
  return waiting_;
}

// ---------------------------------------------------------------------------
// TSemaphore

TSemaphore::TSemaphore(int32_t initialCount, int32_t maximumCount)
    : maximum_(maximumCount), count_(initialCount) {
  if (maximumCount < 1 || initialCount < 0 || initialCount > maximumCount) {
    throw EInvalidOperation(
        Format("Invalid semaphore counts (initial %d, maximum %d)", {initialCount, maximumCount}));
  }
}

bool TSemaphore::Release(int32_t releaseCount, int32_t* previousCount) {
  std::lock_guard lock(mutex_);
  if (releaseCount < 1 || releaseCount > maximum_ - count_)
    return false;
  if (previousCount != nullptr)
    *previousCount = count_;
  count_ += releaseCount;
  if (releaseCount == 1) {
    available_.notify_one();
  } else {
    available_.notify_all();
  }
  return true;
}

kestrune::WaitResult TSemaphore::WaitFor(uint32_t timeoutMs) {
  std::unique_lock lock(mutex_);
  auto ready = [&] { return count_ > 0; };
  if (timeoutMs == INFINITE) {
    available_.wait(lock, ready);
  } else if (!available_.wait_until(lock, DeadlineAfter(timeoutMs), ready)) {
    return kestrune::WaitResult::Timeout;
  }
  --count_;
  return kestrune::WaitResult::Signaled;
}

// ---------------------------------------------------------------------------
// Thread ids
//
// Ids come from a counter that skips 0, ids still live and ids reserved by the
// test hook. The set of live ids is what keeps them unique when the hook hands
// out chosen values. A thread's id is kept in a trivially destructible
// thread-local variable for the fast path; a second thread-local object gives
// the id back when the thread ends.

namespace {

struct ThreadIdRegistry {
  std::mutex mutex;
  std::unordered_set<uint32_t> live;
  std::deque<uint32_t> forced;
  uint32_t next = 1;

  // Caller holds `mutex`.
  uint32_t TakeLocked() {
    if (!forced.empty()) {
      const uint32_t id = forced.front();
      forced.pop_front();
      live.insert(id);
      return id;
    }
    for (;;) {
      const uint32_t id = next++;
      if (id == 0 || live.contains(id) ||
          std::find(forced.begin(), forced.end(), id) != forced.end()) {
        continue;
      }
      live.insert(id);
      return id;
    }
  }

  uint32_t Take() {
    std::lock_guard lock(mutex);
    return TakeLocked();
  }

  void Give(uint32_t id) {
    std::lock_guard lock(mutex);
    live.erase(id);
  }
};

// Never destroyed: threads may end (and give their ids back) during static
// destruction.
ThreadIdRegistry& Registry() {
  static auto* registry = new ThreadIdRegistry;
  return *registry;
}

struct ThreadIdReturner {
  uint32_t id = 0;
  ~ThreadIdReturner() {
    if (id != 0)
      Registry().Give(id);
  }
};

thread_local ThreadIdReturner tls_thread_id_returner;

void AdoptId(uint32_t id) {
  kestrune::detail::tls_thread_id = id;
  tls_thread_id_returner.id = id;
}

}  // namespace

namespace kestrune::detail {

constinit thread_local uint32_t tls_thread_id = 0;

uint32_t AssignThreadId() {
  AdoptId(Registry().Take());
  return tls_thread_id;
}

}  // namespace kestrune::detail

void Sleep(uint32_t ms) {
  if (ms == 0) {
    std::this_thread::yield();
    return;
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

namespace kestrune {

void ForceNextThreadIds(const std::vector<uint32_t>& ids) {
  ThreadIdRegistry& registry = Registry();
  std::lock_guard lock(registry.mutex);
  std::unordered_set<uint32_t> seen;
  for (uint32_t id : ids) {
    const char* fault = nullptr;
    if (id == 0) {
      fault = "is 0";
    } else if (!seen.insert(id).second) {
      fault = "appears twice";
    } else if (registry.live.contains(id)) {
      fault = "belongs to a live thread";
    } else if (std::find(registry.forced.begin(), registry.forced.end(), id) !=
               registry.forced.end()) {
      fault = "is already forced";
    }
    if (fault != nullptr) {
      throw EThread(Format("Thread id %u %s", {id, fault}));
    }
  }
  registry.forced.insert(registry.forced.end(), ids.begin(), ids.end());
}

namespace detail {

ThreadIdReservation::ThreadIdReservation() : id_(Registry().Take()) {}

ThreadIdReservation::~ThreadIdReservation() {
  if (id_ != 0)
    Registry().Give(id_);
}

ThreadIdReservation::ThreadIdReservation(ThreadIdReservation&& other) noexcept
    : id_(std::exchange(other.id_, 0)) {}

void ThreadIdReservation::AdoptOnCurrentThread() {
  KESTRUNE_USAGE_CHECK(kestrune::detail::tls_thread_id == 0,
                       "thread id adopted by a thread that already has one");
  AdoptId(std::exchange(id_, 0));
}

}  // namespace detail
}  // namespace kestrune
