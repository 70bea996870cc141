// The main loop's backend on Qt's event loop (the program's backend).
//
// Our MainLoop (platform/classes/MainLoop.h) keeps every posted payload in its
// own locked queue; Qt carries only the wake-up. WakeUp posts one event to a
// receiver object living on the main thread, and only when none is already on
// its way (a latched flag), so a burst of posts costs Qt one event; when Qt
// delivers it, the receiver serves the current loop's queue (ServePending).
// Run is Qt's own QApplication::exec, so window events, timers and our queue
// are served by one loop, in the order Qt delivers them.
//
// WaitForWakeUp (used while the main thread waits for a thread's end) cannot
// use Qt, which would dispatch window events meanwhile: it waits on a
// condition variable of ours that WakeUp also signals. WaitForEvents (the
// waits that keep the window alive, such as the main window's Delay) is the
// opposite: it sleeps in Qt's event wait.
//
// Life cycle: create on the main thread once Qt's application object exists,
// hand it to MainLoop::SetBackend, and take it out again (SetBackend with
// another backend, or destroy the loop) before Qt's application object is
// destroyed: its receiver is a Qt object.
//
// Threads: WakeUp from any thread (it takes the backend's own mutex, then
// Qt's event-queue lock; it is called under the loop's queue lock, so the
// order is: loop queue lock, backend mutex, Qt's post lock). Everything else
// on the main thread.
#pragma once

#include <memory>

#include "platform/classes/MainLoop.h"

namespace kestrune {

class QtLoopBackend final : public MainLoopBackend {
 public:
  // Main thread; Qt's application object must exist (else EInvalidOperation).
  QtLoopBackend();
  ~QtLoopBackend() override;

  void WakeUp() override;
  bool WaitForWakeUp(uint32_t timeoutMs) override;
  // Serves what is already queued, then runs QApplication::exec until Quit.
  // Returns at once when the first pass already asked to quit.
  void Run(MainLoop& loop) override;
  // Leaves Run's exec (and any nested Qt loop running inside it, such as a
  // message box's) once the current event has been handled.
  void Quit() override;
  // Dispatches Qt's pending events once, without waiting (window events,
  // timers). Our own queue is left to the ServePending that
  // MainLoop::ProcessMessages runs right after, so it is served once per
  // ProcessMessages.
  void ProcessOwnEvents() override;
  // Sleeps in Qt's own event wait until an event comes (a window event, a
  // timer, our wake-up) or `timeoutMs` passes, dispatching the window events
  // that come meanwhile, so a wait keeps the window alive without spinning.
  // Our own queue is not served here: a wake-up that comes is consumed and
  // reported (true), and the caller's next ProcessMessages serves the queue.
  // False only when the time ran out with nothing come.
  bool WaitForEvents(uint32_t timeoutMs) override;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace kestrune
