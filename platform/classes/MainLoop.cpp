#include "platform/classes/MainLoop.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <utility>
#include <vector>

#include "platform/classes/SyncObjs.h"
#include "platform/rtl/SysUtils.h"

namespace kestrune {

// ---------------------------------------------------------------------------
// PlainLoopBackend

struct PlainLoopBackend::State {
  std::mutex mutex;
  std::condition_variable woken;
  bool pending = false;  // guarded by mutex
  bool quit = false;     // main thread only
};

PlainLoopBackend::PlainLoopBackend() : state_(std::make_unique<State>()) {}
PlainLoopBackend::~PlainLoopBackend() = default;

void PlainLoopBackend::WakeUp() {
  {
    std::lock_guard lock(state_->mutex);
    state_->pending = true;
  }
  state_->woken.notify_one();
}

bool PlainLoopBackend::WaitForWakeUp(uint32_t timeoutMs) {
  std::unique_lock lock(state_->mutex);
  auto pending = [&] { return state_->pending; };
  if (timeoutMs == INFINITE) {
    state_->woken.wait(lock, pending);
  } else if (!state_->woken.wait_for(lock, std::chrono::milliseconds(timeoutMs), pending)) {
    return false;
  }
  state_->pending = false;
  return true;
}

void PlainLoopBackend::Run(MainLoop& loop) {
  state_->quit = false;
  for (;;) {
    loop.ServePending();
    if (state_->quit)
      return;
    WaitForWakeUp(INFINITE);
  }
}

void PlainLoopBackend::Quit() {
  state_->quit = true;
}

// ---------------------------------------------------------------------------
// ExceptionText

std::string ExceptionText(const std::exception_ptr& error) {
  try {
    std::rethrow_exception(error);
  } catch (const std::exception& e) {  // Exception included: what() is its message
    return e.what();
  } catch (...) {
    return "Unknown exception";
  }
}

// ---------------------------------------------------------------------------
// MainLoop
//
// Two queues share one sequence counter: `posts` (Post) and `thread_calls`
// (Queue, Synchronize). Normal serving takes whichever head is older, so all
// work runs in hand-over order; ServeThreadCallsUntil takes only from
// `thread_calls`, leaving posts in their order for later.

namespace {

std::atomic<MainLoop*> g_current_loop{nullptr};

// A Synchronize call in flight; lives on the synchronizing thread's stack
// until `done` is set.
struct SyncRequest {
  TEvent done{/*manualReset=*/true, /*initialState=*/false};
  std::exception_ptr error;
};

struct QueuedCall {
  uint64_t sequence = 0;
  LoopCall call;
  const void* owner = nullptr;  // thread calls: the handing thread, or null
  SyncRequest* sync = nullptr;  // Synchronize: the waiting request
};

// A first-in first-out queue of calls in a ring of slots that only grows
// (doubling): a slot freed by the front is used again by a later append, so
// a queue that has held as many calls as are pending at once allocates
// nothing more.
class CallQueue {
 public:
  bool empty() const { return count_ == 0; }
  QueuedCall& front() { return slots_[head_]; }
  const QueuedCall& front() const { return slots_[head_]; }
  // Raises std::bad_alloc, changing nothing, when the ring cannot grow.
  void push_back(QueuedCall item) {
    if (count_ == slots_.size())
      Grow();
    slots_[(head_ + count_) % slots_.size()] = std::move(item);
    ++count_;
  }
  void pop_front() {
    slots_[head_] = QueuedCall{};
    head_ = (head_ + 1) % slots_.size();
    --count_;
  }
  // Moves the calls for which `match` is true, in order, to `out`, keeping
  // the others in their order. Raises std::bad_alloc, changing nothing, when
  // `out` cannot take them.
  template <class Match>
  void MoveOutIf(Match match, std::vector<QueuedCall>& out) {
    std::size_t matching = 0;
    for (std::size_t i = 0; i < count_; ++i)
      matching += match(slots_[(head_ + i) % slots_.size()]) ? 1 : 0;
    if (matching == 0)
      return;
    out.reserve(out.size() + matching);
    std::size_t kept = 0;
    for (std::size_t i = 0; i < count_; ++i) {
      QueuedCall& item = slots_[(head_ + i) % slots_.size()];
      if (match(item)) {
        out.push_back(std::move(item));
      } else {
        if (kept != i)
          slots_[(head_ + kept) % slots_.size()] = std::move(item);
        ++kept;
      }
    }
    for (std::size_t i = kept; i < count_; ++i)
      slots_[(head_ + i) % slots_.size()] = QueuedCall{};
    count_ = kept;
  }
  // Every call, in order (for the loop's end).
  template <class Visit>
  void ForEach(Visit visit) {
    for (std::size_t i = 0; i < count_; ++i)
      visit(slots_[(head_ + i) % slots_.size()]);
  }

 private:
  void Grow() {
    std::vector<QueuedCall> grown(slots_.empty() ? 16 : 2 * slots_.size());
    for (std::size_t i = 0; i < count_; ++i)
      grown[i] = std::move(slots_[(head_ + i) % slots_.size()]);
    slots_.swap(grown);
    head_ = 0;
  }

  std::vector<QueuedCall> slots_;
  std::size_t head_ = 0;
  std::size_t count_ = 0;
};

}  // namespace

struct MainLoop::Impl {
  uint32_t main_thread_id = 0;
  std::atomic<bool> terminated{false};
  // The last sequence handed over before Terminate: Run returns once
  // everything up to it has been served. Guarded by `mutex`.
  uint64_t quit_after_sequence = 0;
  bool running = false;  // main thread only

  // Guards the queues and `backend` (the pointer, not the backend's state):
  // WakeUp is always called under it, so SetBackend and the destructor never
  // pull a backend out from under a waking thread.
  std::mutex mutex;
  CallQueue posts;
  CallQueue thread_calls;
  uint64_t next_sequence = 1;
  std::unique_ptr<MainLoopBackend> backend;

  ExceptionHandler exception_handler;  // main thread only

  // Caller holds `mutex`.
  void EnqueueLocked(CallQueue& queue, QueuedCall item) {
    item.sequence = next_sequence++;
    queue.push_back(std::move(item));
    backend->WakeUp();
  }

  // Takes the oldest call with a sequence up to `limit`, from the thread
  // calls only or from both queues. Returns false when there is none.
  bool TakeNext(uint64_t limit, bool threadCallsOnly, QueuedCall& out) {
    std::lock_guard lock(mutex);
    CallQueue* from = nullptr;
    if (!thread_calls.empty())
      from = &thread_calls;
    if (!threadCallsOnly && !posts.empty() &&
        (from == nullptr || posts.front().sequence < from->front().sequence)) {
      from = &posts;
    }
    if (from == nullptr || from->front().sequence > limit)
      return false;
    out = std::move(from->front());
    from->pop_front();
    return true;
  }

  uint64_t LastSequence() {
    std::lock_guard lock(mutex);
    return next_sequence - 1;
  }

  // True when nothing handed over before Terminate is still queued.
  bool ServedUpToTerminate() {
    std::lock_guard lock(mutex);
    for (const auto* queue : {&posts, &thread_calls}) {
      if (!queue->empty() && queue->front().sequence <= quit_after_sequence)
        return false;
    }
    return true;
  }
};

MainLoop::MainLoop(std::unique_ptr<MainLoopBackend> backend) : impl_(std::make_unique<Impl>()) {
  impl_->main_thread_id = GetCurrentThreadId();
  impl_->backend = backend ? std::move(backend) : std::make_unique<PlainLoopBackend>();
  MainLoop* expected = nullptr;
  KESTRUNE_USAGE_CHECK(g_current_loop.compare_exchange_strong(expected, this),
                       "a second MainLoop was created while one exists");
}

MainLoop::~MainLoop() {
  KESTRUNE_USAGE_CHECK(IsMainThread(), "MainLoop destroyed off the main thread");
  g_current_loop.store(nullptr);
  CallQueue posts, thread_calls;
  {
    std::lock_guard lock(impl_->mutex);
    std::swap(posts, impl_->posts);
    std::swap(thread_calls, impl_->thread_calls);
  }
  // A thread blocked in Synchronize would otherwise wait for ever.
  thread_calls.ForEach([](QueuedCall& item) {
    if (item.sync != nullptr) {
      item.sync->error =
          std::make_exception_ptr(EThread("The main loop ended before the call could run"));
      item.sync->done.SetEvent();
    }
  });
}

MainLoop* MainLoop::Current() {
  return g_current_loop.load();
}

uint32_t MainLoop::MainThreadId() const {
  return impl_->main_thread_id;
}

bool MainLoop::IsMainThread() const {
  return GetCurrentThreadId() == impl_->main_thread_id;
}

void MainLoop::SetBackend(std::unique_ptr<MainLoopBackend> backend) {
  KESTRUNE_USAGE_CHECK(IsMainThread() && !impl_->running,
                       "MainLoop::SetBackend off the main thread or while running");
  KESTRUNE_USAGE_CHECK(backend != nullptr, "MainLoop::SetBackend without a backend");
  std::unique_ptr<MainLoopBackend> old;
  {
    std::lock_guard lock(impl_->mutex);
    old = std::exchange(impl_->backend, std::move(backend));
    if (!impl_->posts.empty() || !impl_->thread_calls.empty())
      impl_->backend->WakeUp();
  }
}

MainLoopBackend& MainLoop::Backend() {
  return *impl_->backend;
}

void MainLoop::Run() {
  KESTRUNE_USAGE_CHECK(IsMainThread(), "MainLoop::Run off the main thread");
  KESTRUNE_USAGE_CHECK(!impl_->running, "MainLoop::Run called again while running");
  impl_->running = true;
  struct RunningReset {
    bool& running;
    ~RunningReset() { running = false; }
  } reset{impl_->running};
  impl_->backend->Run(*this);
}

void MainLoop::ProcessMessages() {
  KESTRUNE_USAGE_CHECK(IsMainThread(), "MainLoop::ProcessMessages off the main thread");
  impl_->backend->ProcessOwnEvents();
  ServePending();
}

bool MainLoop::WaitForMessages(uint32_t timeoutMs) {
  KESTRUNE_USAGE_CHECK(IsMainThread(), "MainLoop::WaitForMessages off the main thread");
  return impl_->backend->WaitForEvents(timeoutMs);
}

void MainLoop::Terminate() {
  std::lock_guard lock(impl_->mutex);
  if (!impl_->terminated.exchange(true))
    impl_->quit_after_sequence = impl_->next_sequence - 1;
  impl_->backend->WakeUp();
}

bool MainLoop::Terminated() const {
  return impl_->terminated.load();
}

void MainLoop::Post(LoopCall call) {
  std::lock_guard lock(impl_->mutex);
  impl_->EnqueueLocked(impl_->posts, QueuedCall{0, std::move(call), nullptr, nullptr});
}

void MainLoop::Queue(const void* owner, LoopCall call) {
  std::lock_guard lock(impl_->mutex);
  impl_->EnqueueLocked(impl_->thread_calls, QueuedCall{0, std::move(call), owner, nullptr});
}

void MainLoop::Synchronize(const void* owner, LoopCall call) {
  if (IsMainThread()) {
    call();
    return;
  }
  SyncRequest request;
  {
    std::lock_guard lock(impl_->mutex);
    impl_->EnqueueLocked(impl_->thread_calls, QueuedCall{0, std::move(call), owner, &request});
  }
  request.done.WaitFor(INFINITE);
  if (request.error)
    std::rethrow_exception(request.error);
}

void MainLoop::RemoveQueuedCalls(const void* owner) {
  if (owner == nullptr)
    return;
  std::vector<QueuedCall> dropped;  // destroyed outside the lock
  std::lock_guard lock(impl_->mutex);
  // A Synchronize request keeps its place: its thread is blocked waiting for
  // it and cannot be the one being freed.
  impl_->thread_calls.MoveOutIf(
      [owner](const QueuedCall& item) { return item.owner == owner && item.sync == nullptr; },
      dropped);
}

void MainLoop::WakeUp() {
  std::lock_guard lock(impl_->mutex);
  impl_->backend->WakeUp();
}

namespace {

// Runs one queued call on the main thread. Synchronize requests carry their
// exception back to the waiting thread; everything else goes to the central
// handler.
void Serve(MainLoop& loop, QueuedCall& item) {
  if (item.sync != nullptr) {
    try {
      item.call();
    } catch (...) {
      item.sync->error = std::current_exception();
    }
    // The request lives on the waiting thread's stack: touch nothing of it
    // after this.
    item.sync->done.SetEvent();
    return;
  }
  try {
    item.call();
  } catch (...) {
    loop.HandleException(std::current_exception());
  }
}

}  // namespace

void MainLoop::ServeThreadCallsUntil(const std::function<bool()>& done) {
  KESTRUNE_USAGE_CHECK(IsMainThread(), "MainLoop::ServeThreadCallsUntil off the main thread");
  for (;;) {
    const uint64_t limit = impl_->LastSequence();
    QueuedCall item;
    while (impl_->TakeNext(limit, /*threadCallsOnly=*/true, item)) {
      Serve(*this, item);
      item = QueuedCall{};
    }
    if (done())
      break;
    impl_->backend->WaitForWakeUp(INFINITE);
  }
  // The waits above may have consumed the wake-up of work that was posted
  // meanwhile and is still queued: give it back.
  std::lock_guard lock(impl_->mutex);
  if (!impl_->posts.empty() || !impl_->thread_calls.empty())
    impl_->backend->WakeUp();
}

void MainLoop::ServePending() {
  KESTRUNE_USAGE_CHECK(IsMainThread(), "MainLoop::ServePending off the main thread");
  const uint64_t limit = impl_->LastSequence();
  QueuedCall item;
  while (impl_->TakeNext(limit, /*threadCallsOnly=*/false, item)) {
    Serve(*this, item);
    item = QueuedCall{};
  }
  // Work handed over before Terminate that this pass did not reach (it came
  // after the pass began) keeps Run going: its wake-up is still pending.
  if (Terminated() && impl_->running && impl_->ServedUpToTerminate()) {
    impl_->backend->Quit();
  }
}

void MainLoop::SetExceptionHandler(ExceptionHandler handler) {
  KESTRUNE_USAGE_CHECK(IsMainThread(), "MainLoop::SetExceptionHandler off the main thread");
  impl_->exception_handler = std::move(handler);
}

void MainLoop::HandleException(std::exception_ptr error) {
  try {
    if (impl_->exception_handler) {
      impl_->exception_handler(error);
    } else {
      std::fprintf(stderr, "%s\n", ExceptionText(error).c_str());
    }
  } catch (...) {
    std::fprintf(stderr, "%s\n(raised by the exception handler while handling: %s)\n",
                 ExceptionText(std::current_exception()).c_str(), ExceptionText(error).c_str());
  }
}

}  // namespace kestrune
