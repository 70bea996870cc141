#include "platform/classes/Threads.h"

#include <sys/resource.h>
#include <unistd.h>

#include <mutex>
#include <system_error>
#include <thread>

#include "platform/classes/MainLoop.h"
#include "platform/rtl/SysUtils.h"

using kestrune::MainLoop;
using kestrune::ThreadPriority;

namespace {

// Linux schedules ordinary threads by their nice value (per thread: the
// kernel's thread id is a valid target of setpriority). The levels are spread
// over the nice range; lowering always works, raising needs privileges.
int NiceValueOf(ThreadPriority priority) {
  switch (priority) {
    case ThreadPriority::Idle:
      return 19;
    case ThreadPriority::Lowest:
      return 10;
    case ThreadPriority::Lower:
      return 5;
    case ThreadPriority::Normal:
      return 0;
    case ThreadPriority::Higher:
      return -5;
    case ThreadPriority::Highest:
      return -10;
    case ThreadPriority::TimeCritical:
      return -20;
  }
  return 0;
}

// Best effort: a refusal (no privilege) leaves the thread as it was.
void ApplyPriority(pid_t kernelThreadId, ThreadPriority priority) {
  (void)setpriority(PRIO_PROCESS, static_cast<id_t>(kernelThreadId), NiceValueOf(priority));
}

MainLoop& RequireLoop() {
  MainLoop* loop = MainLoop::Current();
  if (loop == nullptr)
    throw EThread("No main loop exists to run the call on the main thread");
  return *loop;
}

}  // namespace

// Locks: join_mutex and priority_mutex are never held together, and nothing
// the thread runs is called under either.
struct TThread::Impl {
  kestrune::detail::ThreadIdReservation id_reservation;

  // Guards `thread` (assigned by the starter, joined by a waiter).
  std::mutex join_mutex;
  std::thread thread;

  TEvent finished_event{/*manualReset=*/true, /*initialState=*/false};

  // Guards `priority` and `kernel_thread_id`, so that a priority set while
  // the thread starts is applied exactly once, last value last.
  std::mutex priority_mutex;
  ThreadPriority priority = ThreadPriority::Normal;
  pid_t kernel_thread_id = 0;  // while Execute may run; 0 before and after
};

TThread::TThread(bool createSuspended)
    : impl_(std::make_unique<Impl>()),
      create_suspended_(createSuspended),
      thread_id_(impl_->id_reservation.Id()) {}

TThread::~TThread() {
  // Free has joined already (BeforeDestruction). This covers an ended
  // thread deleted without Free; deleting a running one that way is a usage
  // error the destructor cannot repair (the derived part is gone).
  std::lock_guard lock(impl_->join_mutex);
  if (impl_->thread.joinable())
    impl_->thread.join();
}

void TThread::AfterConstruction() {
  inherited::AfterConstruction();
  if (!create_suspended_ && !started_.exchange(true))
    StartUnchecked();
}

void TThread::BeforeDestruction() {
  const bool onItself = GetCurrentThreadId() == thread_id_;
  if (onItself) {
    KESTRUNE_USAGE_CHECK(free_on_terminate_ && Finished(),
                         "a thread freed itself from inside Execute");
  } else if (started_.load()) {
    KESTRUNE_USAGE_CHECK(!free_on_terminate_, "a started FreeOnTerminate thread was freed");
    Terminate();
    WaitFor();
  }
  if (MainLoop* loop = MainLoop::Current())
    loop->RemoveQueuedCalls(this);
  inherited::BeforeDestruction();
}

void TThread::Start() {
  if (started_.exchange(true))
    throw EThread("Cannot call Start on a running or finished thread");
  StartUnchecked();
}

void TThread::Resume() {
  if (!started_.exchange(true))
    StartUnchecked();
}

// Caller has just switched started_ from false to true.
void TThread::StartUnchecked() {
  // Read before the thread exists: a FreeOnTerminate thread may be gone by
  // the time std::thread's constructor returns.
  const bool freeOnTerminate = free_on_terminate_;
  std::lock_guard lock(impl_->join_mutex);
  try {
    std::thread thread([this] { ThreadMain(); });
    if (freeOnTerminate) {
      thread.detach();
    } else {
      impl_->thread = std::move(thread);
    }
  } catch (const std::system_error& e) {
    started_.store(false);
    throw EThread(Format("Thread creation error: %s", {e.what()}));
  }
}

void TThread::ThreadMain() {
  impl_->id_reservation.AdoptOnCurrentThread();
  {
    std::lock_guard lock(impl_->priority_mutex);
    impl_->kernel_thread_id = gettid();
    if (impl_->priority != ThreadPriority::Normal) {
      ApplyPriority(impl_->kernel_thread_id, impl_->priority);
    }
  }

  try {
    if (!Terminated())
      Execute();
  } catch (...) {
    fatal_exception_ = std::current_exception();
  }

  {
    std::lock_guard lock(impl_->priority_mutex);
    impl_->kernel_thread_id = 0;
  }
  const bool freeOnTerminate = free_on_terminate_;
  finished_.store(true, std::memory_order_release);
  if (freeOnTerminate) {
    Free();
    return;
  }
  // Whoever waits joins this thread before freeing it, so `this` stays valid
  // to the end of this function.
  impl_->finished_event.SetEvent();
  if (MainLoop* loop = MainLoop::Current())
    loop->WakeUp();
}

void TThread::Terminate() {
  terminated_.store(true, std::memory_order_release);
}

void TThread::WaitFor() {
  if (GetCurrentThreadId() == thread_id_)
    throw EThread("A thread cannot wait for its own end");
  if (free_on_terminate_)
    throw EThread("Cannot wait for a thread that frees itself");
  if (!started_.load())
    return;

  MainLoop* loop = MainLoop::Current();
  if (loop != nullptr && loop->IsMainThread()) {
    loop->ServeThreadCallsUntil([this] { return Finished(); });
  } else {
    impl_->finished_event.WaitFor(INFINITE);
  }
  std::lock_guard lock(impl_->join_mutex);
  if (impl_->thread.joinable())
    impl_->thread.join();
}

ThreadPriority TThread::Priority() const {
  std::lock_guard lock(impl_->priority_mutex);
  return impl_->priority;
}

void TThread::SetPriority(ThreadPriority priority) {
  std::lock_guard lock(impl_->priority_mutex);
  impl_->priority = priority;
  if (impl_->kernel_thread_id != 0)
    ApplyPriority(impl_->kernel_thread_id, priority);
}

void TThread::SetFreeOnTerminate(bool value) {
  KESTRUNE_USAGE_CHECK(!started_.load(), "FreeOnTerminate changed after the thread started");
  free_on_terminate_ = value;
}

void TThread::Synchronize(TThread* thread, std::function<void()> call) {
  RequireLoop().Synchronize(thread, std::move(call));
}

void TThread::Queue(TThread* thread, std::function<void()> call) {
  RequireLoop().Queue(thread, std::move(call));
}
