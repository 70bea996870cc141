// Main-thread notification: code on any thread has a callback run on the main
// thread.
//
// Pushes run on the thread that produced the data (the capture thread), but
// window code must run on the main thread. A component makes a
// TTrelMainThreadNotify with its callback; Post, from any thread, queues one
// message, and when the main loop dispatches it the callback runs on the main
// thread with the notifier as its sender. Every post gives one call; posts
// are not merged.
//
// Life cycle. All notifiers share one hidden window: a form with no owner
// whose message handler the notification replaces. The first notifier
// creates it, the last one destroys it, and a later notifier creates a new
// one. Messages still queued for a destroyed window are dropped.
//
// Matching a message to its notifier. Every notifier gets a serial number
// that is never reused; a message carries the serial, not the notifier's
// address, and is delivered only while a notifier with that serial is alive.
// So a notifier freed with a post pending gets nothing, and neither does a
// new notifier that happens to get the freed one's address.
//
// Threads and locks.
// - Create and free notifiers on the main thread (the thread of the current
//   main loop; checked), with the pin framework started (VekPinsUnit).
//   Creation and destruction take the global write section; they change the
//   notifier list and create or destroy the window.
// - Post from any thread; it never waits: it takes no framework lock, only
//   the message queue's short internal locks. A notifier must not be freed
//   while another thread may still post through it.
// - Delivery runs on the main thread inside the global read section, so it
//   excludes notifier creation and destruction while it may overlap pushes.
//   An exception raised by a callback leaves the read section on its way
//   out and reaches the main loop's central handler; later posts are
//   delivered as usual.
//
// Outstanding notifications: the posts accepted for a live window and not
// yet dispatched. The unit's shutdown waits until none is outstanding (see
// TrelMainThreadNotifyUnit). A post whose window is destroyed first stops
// counting then. A notifier that outlives the main loop it posted through
// keeps its lost posts counted until it is freed.
#pragma once

#include <cstdint>

#include "platform/classes/CustomForm.h"
#include "platform/classes/Messages.h"
#include "platform/classes/Units.h"
#include "platform/rtl/Lists.h"

class TTrelMainWindowNode;

// The message number of a notification.
inline constexpr UINT NotifyMessageId = 0xA00;

class TTrelMainThreadNotify : public TObject {
  KESTRUNE_CLASS(TTrelMainThreadNotify, TObject)
  // Main thread. Joins the shared window (creating it for the first
  // notifier) under the global write section; `callback` may be unassigned
  // (posts are then delivered to nothing).
  explicit TTrelMainThreadNotify(TNotifyEvent callback);
  // Main thread. Leaves the shared window (destroying it with the last
  // notifier) under the global write section; posts still pending for this
  // notifier are never delivered.
  ~TTrelMainThreadNotify() override;

  // Any thread: queues one call of the callback on the main thread and
  // returns at once. Without a main loop the post is lost (nothing is
  // queued).
  void Post();
  // Main thread: calls the callback now, when it is assigned, with this
  // notifier as the sender. The notification window calls it inside the
  // global read section.
  void Deliver();

  // The notifier's serial number, unique for the life of the process.
  uint64_t Serial() const { return serial_; }

 private:
  TNotifyEvent callback_;
  uint64_t serial_ = 0;
  // The shared window's node and handle, fixed while this notifier lives
  // (the node lives as long as any notifier), so Post reads no shared state.
  TTrelMainWindowNode* node_ = nullptr;
  HWND window_{};
};

// Main thread: the shared window's handle, HWND{} while no notifier exists.
HWND GetNotifyWindow();
// Any thread: the number of live notifiers.
int32_t NotifierCount();
// Any thread: posts accepted for a live window and not yet dispatched.
int32_t OutstandingNotifications();

// The process-wide list of clock generators: one object list that does not
// own its items. Nothing in the program fills it yet. It exists between the
// unit's start-up and shutdown (nullptr otherwise); main thread.
class TTrelClockGenList : public TObject {
  KESTRUNE_CLASS(TTrelClockGenList, TObject)
  TTrelClockGenList();
  ~TTrelClockGenList() override;
  TObjectList* List() const { return list_; }

 private:
  TObjectList* list_;
};
extern TTrelClockGenList* ClockGenList;

// Start-up: creates ClockGenList (needs VekPinsUnit started before it). Shutdown: waits
// while OutstandingNotifications() is 1 or more, 1 ms between reads; on the
// main thread it serves the main loop meanwhile, so the pending posts are
// delivered rather than waited for in vain. Without a main loop nothing
// queued can arrive any more, and it does not wait. Then frees ClockGenList.
extern TUnit TrelMainThreadNotifyUnit;
