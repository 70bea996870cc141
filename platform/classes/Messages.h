// Window handles and messages for windows that are never shown.
//
// A message window is a handle with a message handler: code that must run on
// the main thread (a component's delivery, a notification) gets a handle,
// other threads PostMessage to it, and the main loop calls the handler on the
// main thread, in the order the messages were posted (across all threads).
//
// - Handles are opaque numbers that are never reused: a message posted to a
//   window that is destroyed before the message is dispatched is dropped, and
//   a stale handle can never reach a newer window.
// - The handler is replaceable (a form keeps the previous one and passes on
//   what it does not handle).
//
// Threads: PostMessage from any thread. Create, destroy, replace the handler
// and SendMessage on the main thread; handlers run on the main thread only.
// An exception that escapes a handler reaches the main loop's central handler
// (PostMessage) or the caller (SendMessage).
//
// Locks: one registry lock, held only to look a handle up or change the
// table, never while a handler runs; PostMessage takes it, releases it, then
// takes the main loop's queue lock.
#pragma once

#include <cstdint>
#include <functional>

// A window handle; HWND{} (0) is no window.
enum class HWND : uint64_t {};

using UINT = uint32_t;
using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = intptr_t;

// The first message number free for a program's own messages.
inline constexpr UINT WM_USER = 0x0400;

// A message as its handler sees it. The handler writes `Result` (0 at first),
// which SendMessage returns.
struct TMessage {
  UINT Msg = 0;
  WPARAM WParam = 0;
  LPARAM LParam = 0;
  LRESULT Result = 0;
};

namespace kestrune {

using MessageHandler = std::function<void(TMessage&)>;

// Creates a message window whose messages go to `handler` (may be empty:
// messages are then dropped). Returns a handle never used before.
HWND CreateMessageWindow(MessageHandler handler);
// Destroys the window: messages still queued for it are dropped. Returns false
// when `window` is not a live window.
bool DestroyMessageWindow(HWND window);
// Replaces the window's handler and returns the previous one (through
// `previous`, when given). Returns false, changing nothing, when `window` is
// not a live window. A handler running at the moment finishes unchanged.
bool SetMessageHandler(HWND window, MessageHandler handler, MessageHandler* previous = nullptr);
// True while `window` is a live message window.
bool IsMessageWindow(HWND window);

}  // namespace kestrune

// Queues a message for `window` and returns at once, from any thread; never
// waits for the main thread. Returns false (queueing nothing) when `window` is
// not a live window or no main loop exists.
bool PostMessage(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);

// Main thread: calls the window's handler at once and returns its Result; 0
// when `window` is not a live window. Calling it from another thread is a
// usage error.
LRESULT SendMessage(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);
