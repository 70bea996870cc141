// TThread: a thread of execution owned by an object.
//
// Life cycle: derive, override Execute, and make it with Create<T>(...)
// (platform/rtl/System.h). A thread created suspended waits for Start (or
// Resume); otherwise AfterConstruction starts it once the whole constructor
// chain has run, so Execute never sees a half-built object. Execute should
// return soon after Terminate; Terminate only sets the flag that Execute polls
// through Terminated(). Free() terminates a running thread and waits for its
// end (BeforeDestruction) before any destructor runs. A thread with
// FreeOnTerminate frees itself when Execute returns; nobody may then touch
// it, free it or wait for it.
//
// An exception that escapes Execute ends the thread and is kept in
// FatalException; it is not raised anywhere else.
//
// Calls to the main thread: Synchronize runs a call on the main thread and
// waits for it; Queue queues one and returns. Both go through the current
// MainLoop (platform/classes/MainLoop.h). WaitFor on the main thread keeps
// serving the calls threads hand to the main thread, so a thread that
// synchronizes while the main thread waits for its end still finishes.
//
// Threads: Start, Resume, Terminate, WaitFor, Priority and the read-only
// queries may be called from any thread. FreeOnTerminate is set before the
// thread starts. Free from any thread but the thread itself.
#pragma once

#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>

#include "platform/classes/SyncObjs.h"
#include "platform/rtl/System.h"

namespace kestrune {

// Scheduling priority of a thread, lowest to highest.
enum class ThreadPriority { Idle, Lowest, Lower, Normal, Higher, Highest, TimeCritical };

}  // namespace kestrune

class TThread : public TObject {
  KESTRUNE_CLASS(TThread, TObject)

  // Starts the thread unless it was created suspended.
  void AfterConstruction() override;
  // Terminates a started thread and waits for its end (on the main thread,
  // serving thread calls meanwhile). Freeing a thread from inside its own
  // Execute is a usage error.
  void BeforeDestruction() override;
  ~TThread() override;

  // Starts a thread created suspended. Raises EThread when it was started
  // before.
  void Start();
  // Starts the thread when it has not run yet; otherwise does nothing.
  void Resume();

  // Asks Execute to end: sets Terminated. Any thread; does not wait.
  void Terminate();
  bool Terminated() const { return terminated_.load(std::memory_order_acquire); }

  // Waits until Execute has returned (at once when the thread never
  // started, or has ended). On the main thread, calls that threads hand to
  // the main thread (Synchronize, Queue) keep being served meanwhile; other
  // main-loop work waits. Raises EThread when called by the thread itself or
  // on a FreeOnTerminate thread.
  void WaitFor();
  // True once Execute has returned.
  bool Finished() const { return finished_.load(std::memory_order_acquire); }

  // The priority last asked for (Normal at first). Setting it is best effort:
  // the request is kept and applied when the system allows it (raising a
  // priority needs privileges an ordinary user lacks); it never fails. A
  // priority set before Start is applied when the thread starts.
  kestrune::ThreadPriority Priority() const;
  void SetPriority(kestrune::ThreadPriority priority);

  bool FreeOnTerminate() const { return free_on_terminate_; }
  // Set before the thread starts.
  void SetFreeOnTerminate(bool value);

  // The id GetCurrentThreadId returns inside this thread, known from creation
  // on. Never 0.
  uint32_t ThreadID() const { return thread_id_; }

  // The exception that escaped Execute, or null. Read it once the thread
  // has finished (after WaitFor, or once Finished() is true).
  std::exception_ptr FatalException() const { return fatal_exception_; }

  // Runs `call` on the main thread and waits until it has run; on the main
  // thread it runs at once. An exception from `call` is raised again here.
  // `thread` names the handing thread (may be null). Raises EThread when no
  // MainLoop exists.
  static void Synchronize(TThread* thread, std::function<void()> call);
  // Queues `call` for the main thread and returns at once (also on the main
  // thread). Calls still queued when `thread` is freed are dropped. An
  // exception from `call` goes to the central handler. Raises EThread when
  // no MainLoop exists.
  static void Queue(TThread* thread, std::function<void()> call);

 protected:
  explicit TThread(bool createSuspended);

  // The thread's work. Runs on the new thread; polls Terminated().
  virtual void Execute() = 0;

  void Synchronize(std::function<void()> call) { Synchronize(this, std::move(call)); }
  void Queue(std::function<void()> call) { Queue(this, std::move(call)); }

 private:
  struct Impl;

  void StartUnchecked();
  void ThreadMain();

  std::unique_ptr<Impl> impl_;
  const bool create_suspended_;
  bool free_on_terminate_ = false;
  uint32_t thread_id_;
  std::atomic<bool> started_{false};
  std::atomic<bool> terminated_{false};
  std::atomic<bool> finished_{false};
  std::exception_ptr fatal_exception_;  // written by the thread before finished_
};
