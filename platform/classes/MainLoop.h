// The main loop: the one place where calls handed to the main thread run.
//
// One MainLoop exists at a time; the thread that creates it is the main
// thread. Other threads hand it work in three ways, all of which return at
// once (Synchronize excepted) and never wait for the main thread to be idle:
//  - Post(call): a plain queued call (window messages travel this way);
//  - Queue(owner, call) and Synchronize(owner, call): calls a thread hands to
//    the main thread (TThread::Queue and TThread::Synchronize); Synchronize
//    waits until the call has run. Only these are served while the main
//    thread waits for a thread's end (ServeThreadCallsUntil), so a thread
//    that synchronizes while the main thread waits for it cannot deadlock,
//    and window code never runs nested inside such a wait.
// Everything handed over is served on the main thread in the order it was
// handed over (one order across all threads), by Run, ProcessMessages, or a
// backend's own dispatch.
//
// The payloads travel in the loop's own locked queue. A backend only carries
// the wake-up and runs the blocking part of the loop: PlainLoopBackend (a
// condition variable; the default, used by every test that needs no windows)
// or Qt's event loop (installed by the program through SetBackend).
//
// Exceptions: every call the loop serves (Synchronize excepted: its exception
// goes back to the synchronizing thread) catches what escapes and hands it to
// the central exception handler; the loop goes on with the next call. The
// default handler writes the exception's text to stderr.
//
// Lock order: the loop's queue lock, then the backend's own lock (WakeUp runs
// under the queue lock). No call the loop serves runs under either lock.
//
// Memory: a call of up to LoopCall::kInlineBytes bytes (a lambda with a few
// captured words, a std::function) travels inside its queue entry, and the
// queues keep their slots when they are emptied, so once a queue has held as
// many calls as are ever pending at once, handing over a call takes nothing
// from the general heap.
//
// Life cycle: create the loop on the main thread before any thread hands it
// work; destroy it after every thread that may hand it work has ended (a
// TThread is freed, or its WaitFor has returned). Calls still queued when the
// loop is destroyed are dropped; a thread still waiting in Synchronize then
// gets EThread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <new>
#include <string>
#include <type_traits>
#include <utility>

namespace kestrune {

class MainLoop;

// A call handed to the main loop: any callable with a nothrow move. One of up
// to kInlineBytes bytes is kept inside the object; a larger one, or one whose
// move may throw, is moved to the heap. Move-only; calling an empty one
// raises std::bad_function_call, as an empty std::function does.
class LoopCall {
 public:
  static constexpr std::size_t kInlineBytes = 48;

  LoopCall() noexcept = default;
  template <class F, class = std::enable_if_t<!std::is_same_v<std::decay_t<F>, LoopCall>>>
  LoopCall(F&& call) {  // NOLINT(google-explicit-constructor): lambdas convert
    using Held = std::decay_t<F>;
    if constexpr (sizeof(Held) <= kInlineBytes && alignof(Held) <= alignof(std::max_align_t) &&
                  std::is_nothrow_move_constructible_v<Held>) {
      ::new (static_cast<void*>(storage_)) Held(std::forward<F>(call));
      ops_ = &InlineOps<Held>;
    } else {
      ::new (static_cast<void*>(storage_)) Held*(new Held(std::forward<F>(call)));
      ops_ = &HeapOps<Held>;
    }
  }
  LoopCall(LoopCall&& other) noexcept { TakeFrom(other); }
  LoopCall& operator=(LoopCall&& other) noexcept {
    if (this != &other) {
      Reset();
      TakeFrom(other);
    }
    return *this;
  }
  LoopCall(const LoopCall&) = delete;
  LoopCall& operator=(const LoopCall&) = delete;
  ~LoopCall() { Reset(); }

  explicit operator bool() const noexcept { return ops_ != nullptr; }
  void operator()() {
    if (ops_ == nullptr)
      throw std::bad_function_call();
    ops_->invoke(storage_);
  }

 private:
  struct Ops {
    void (*invoke)(void* storage);
    void (*move)(void* from, void* to) noexcept;  // leaves `from` destroyed
    void (*destroy)(void* storage) noexcept;
  };
  template <class Held>
  static constexpr Ops InlineOps{[](void* s) { (*static_cast<Held*>(s))(); },
                                 [](void* from, void* to) noexcept {
                                   ::new (to) Held(std::move(*static_cast<Held*>(from)));
                                   static_cast<Held*>(from)->~Held();
                                 },
                                 [](void* s) noexcept { static_cast<Held*>(s)->~Held(); }};
  template <class Held>
  static constexpr Ops HeapOps{
      [](void* s) { (**static_cast<Held**>(s))(); },
      [](void* from, void* to) noexcept { ::new (to) Held*(*static_cast<Held**>(from)); },
      [](void* s) noexcept { delete *static_cast<Held**>(s); }};

  void TakeFrom(LoopCall& other) noexcept {
    if (other.ops_ != nullptr) {
      other.ops_->move(other.storage_, storage_);
      ops_ = std::exchange(other.ops_, nullptr);
    }
  }
  void Reset() noexcept {
    if (const Ops* ops = std::exchange(ops_, nullptr))
      ops->destroy(storage_);
  }

  alignas(std::max_align_t) unsigned char storage_[kInlineBytes];
  const Ops* ops_ = nullptr;
};

// The blocking part of a main loop. Threads: WakeUp from any thread; all else
// on the main thread only.
class MainLoopBackend {
 public:
  virtual ~MainLoopBackend() = default;

  // Asks the main thread to serve the loop's queue. Never blocks for long and
  // never calls back into the loop (it runs under the loop's queue lock).
  // Latched: a wake-up given while the main thread is busy is kept, so the
  // next WaitForWakeUp returns at once and the next pass of Run serves.
  virtual void WakeUp() = 0;

  // Blocks until a wake-up is pending or `timeoutMs` passes (INFINITE: no
  // limit), dispatching nothing at all meanwhile, and consumes the pending
  // wake-up. Returns true when woken, false on time-out.
  virtual bool WaitForWakeUp(uint32_t timeoutMs) = 0;

  // Runs the loop until Quit: after every wake-up (and at the start) it calls
  // loop.ServePending(); a backend with events of its own dispatches them too.
  virtual void Run(MainLoop& loop) = 0;

  // Makes Run return once the current pass has finished. Called by the loop,
  // on the main thread, from inside Run.
  virtual void Quit() = 0;

  // Dispatches the backend's own pending events once, without blocking (for
  // MainLoop::ProcessMessages). The plain backend has none.
  virtual void ProcessOwnEvents() {}

  // Blocks until a wake-up is pending, one of the backend's own events is
  // there (a backend may dispatch it right away), or `timeoutMs` passes; for
  // waits that keep the window alive (MainLoop::WaitForMessages). Returns
  // true when something arrived. By default WaitForWakeUp, for a backend
  // without events of its own.
  virtual bool WaitForEvents(uint32_t timeoutMs) { return WaitForWakeUp(timeoutMs); }
};

// Our own backend: a latched flag and a condition variable.
class PlainLoopBackend final : public MainLoopBackend {
 public:
  PlainLoopBackend();
  ~PlainLoopBackend() override;

  void WakeUp() override;
  bool WaitForWakeUp(uint32_t timeoutMs) override;
  void Run(MainLoop& loop) override;
  void Quit() override;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// Receives every exception that escapes a call the loop serves (main thread).
using ExceptionHandler = std::function<void(std::exception_ptr)>;

// The text shown for an exception: an Exception's message, a standard
// exception's what(), or "Unknown exception".
std::string ExceptionText(const std::exception_ptr& error);

class MainLoop {
 public:
  // Makes the calling thread the main thread and this loop the current one.
  // `backend` defaults to a PlainLoopBackend. Creating a second loop while one
  // exists is a usage error.
  explicit MainLoop(std::unique_ptr<MainLoopBackend> backend = nullptr);
  // Main thread. See the life-cycle note above.
  ~MainLoop();
  MainLoop(const MainLoop&) = delete;
  MainLoop& operator=(const MainLoop&) = delete;

  // The current loop, or nullptr when none exists. Any thread.
  static MainLoop* Current();

  // Any thread.
  uint32_t MainThreadId() const;
  bool IsMainThread() const;

  // Replaces the backend (main thread, not while Run runs). Work already
  // queued wakes the new backend at once.
  void SetBackend(std::unique_ptr<MainLoopBackend> backend);
  MainLoopBackend& Backend();

  // Main thread: serves calls until Terminate has been requested and
  // everything handed over before it has been served (so a Run after
  // Terminate only serves what was handed over before it). Not re-entrant.
  void Run();
  // Main thread: dispatches the backend's own pending events, then serves
  // every call pending at entry, once. Calls handed over meanwhile wait for
  // the next pass. May be called from inside a served call.
  void ProcessMessages();
  // Main thread: sleeps until something is handed over, a window event
  // arrives, or `timeoutMs` passes, without serving our queue (call
  // ProcessMessages afterwards). Returns true when something arrived.
  bool WaitForMessages(uint32_t timeoutMs);
  // Any thread: asks Run to return once everything handed over before this
  // call has been served (later work stays queued). The request stays:
  // Terminated() remains true.
  void Terminate();
  bool Terminated() const;

  // Any thread: queues `call` for the main thread. Never blocks on the main
  // thread's work.
  void Post(LoopCall call);
  // Any thread: queues `call` as a call handed over by the thread `owner`
  // (may be null). Runs even on the main thread only through the queue.
  void Queue(const void* owner, LoopCall call);
  // Runs `call` on the main thread and waits until it has run. On the main
  // thread it runs at once. An exception that escapes `call` is raised again
  // in the calling thread (the central handler does not see it).
  void Synchronize(const void* owner, LoopCall call);
  // Any thread: drops the calls queued by `owner` that have not run yet
  // (a thread does this when it is freed).
  void RemoveQueuedCalls(const void* owner);
  // Any thread: wakes the main thread so that a wait of
  // ServeThreadCallsUntil looks at its condition again.
  void WakeUp();

  // Main thread: serves calls handed over by threads (Queue, Synchronize)
  // until `done` returns true; other posted work waits. `done` is checked
  // after every pass and after every wake-up; whoever makes it true must call
  // WakeUp afterwards.
  void ServeThreadCallsUntil(const std::function<bool()>& done);

  // Main thread, for backends: serves every call pending at entry, then quits
  // the backend's Run when Terminate was requested and everything handed over
  // before it has been served.
  void ServePending();

  // Main thread: replaces the central exception handler (nullptr restores
  // the default, which writes the text to stderr).
  void SetExceptionHandler(ExceptionHandler handler);
  // Main thread: hands `error` to the central handler. An exception raised by
  // the handler itself is written to stderr and dropped.
  void HandleException(std::exception_ptr error);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace kestrune
