#include "signal/core/TrelMainThreadNotify.h"

#include <algorithm>
#include <atomic>
#include <vector>

#include "Vek/VekLocks.h"
#include "platform/classes/MainLoop.h"
#include "platform/classes/SyncObjs.h"
#include "platform/rtl/SysUtils.h"

// The shared notification window: a hidden form whose message handler this
// node replaces, and the list of live notifiers. Made with the first
// notifier and freed with the last, both inside the global write section.
class TTrelMainWindowNode : public TObject {
  KESTRUNE_CLASS(TTrelMainWindowNode, TObject)
  // Caller holds the global write section.
  TTrelMainWindowNode();
  // Caller holds the global write section.
  ~TTrelMainWindowNode() override;

  HWND Handle() const { return handle_; }

  // Live notifiers, in order of creation (not owned). Changed under the
  // global write section, searched under the read section.
  std::vector<TTrelMainThreadNotify*> Notifiers;

  // Posts accepted for this window and not yet dispatched (any thread).
  void PostAccepted();
  void PostRefused();

 private:
  // Main thread: every message of the window.
  void WindowProc(TMessage& message);
  // Main thread: a notification message arrived; it no longer counts as
  // outstanding.
  void Dispatched();
  // Caller holds the global read section: the live notifier with `serial`,
  // or nullptr.
  TTrelMainThreadNotify* FindLocked(uint64_t serial) const;

  TCustomForm* window_ = nullptr;
  TWndMethod saved_window_proc_;
  HWND handle_{};
  std::atomic<int32_t> pending_{0};
};

namespace {

std::atomic<uint64_t> g_last_serial{0};
std::atomic<int32_t> g_notifier_count{0};
std::atomic<int32_t> g_outstanding{0};
// Written under the global write section, read under the read section.
TTrelMainWindowNode* g_main_window_node = nullptr;

// Main thread: joins the notifier to the shared window (made for the first
// one) inside the global write section, and returns the window's node.
TTrelMainWindowNode* AddNotifier(TTrelMainThreadNotify* notifier) {
  kestrune::MainLoop* loop = kestrune::MainLoop::Current();
  KESTRUNE_USAGE_CHECK(loop == nullptr || loop->IsMainThread(),
                       "main-thread notifiers are created and freed on the main thread");
  TVekGlobalWriteLockSection section;
  const bool first = g_main_window_node == nullptr;
  if (first)
    g_main_window_node = Create<TTrelMainWindowNode>();
  try {
    g_main_window_node->Notifiers.push_back(notifier);
  } catch (...) {
    if (first)
      FreeAndNil(g_main_window_node);
    throw;
  }
  g_notifier_count.fetch_add(1);
  return g_main_window_node;
}

// Main thread: the reverse of AddNotifier; the last notifier takes the window
// with it.
void RemoveNotifier(TTrelMainThreadNotify* notifier) {
  kestrune::MainLoop* loop = kestrune::MainLoop::Current();
  KESTRUNE_USAGE_CHECK(loop == nullptr || loop->IsMainThread(),
                       "main-thread notifiers are created and freed on the main thread");
  TVekGlobalWriteLockSection section;
  auto& list = g_main_window_node->Notifiers;
  list.erase(std::find(list.begin(), list.end(), notifier));
  g_notifier_count.fetch_sub(1);
  if (list.empty())
    FreeAndNil(g_main_window_node);
}

// Shutdown: waits until no post is outstanding. On the main thread the
// posts can only arrive if we serve the loop ourselves.
void WaitForOutstandingNotifications() {
  while (g_outstanding.load() >= 1) {
    kestrune::MainLoop* loop = kestrune::MainLoop::Current();
    if (loop == nullptr)
      return;  // the queue went with the loop: nothing more can arrive
    if (loop->IsMainThread())
      loop->ProcessMessages();
    if (g_outstanding.load() >= 1)
      Sleep(1);
  }
}

void FinalizeMainThreadNotify() {
  WaitForOutstandingNotifications();
  FreeAndNil(ClockGenList);
}

void InitMainThreadNotify() {
  ClockGenList = Create<TTrelClockGenList>();
}

}  // namespace

TTrelClockGenList* ClockGenList = nullptr;

TTrelClockGenList::TTrelClockGenList() : list_(Create<TObjectList>(/*ownsObjects=*/false)) {}

TTrelClockGenList::~TTrelClockGenList() {
  list_->Free();
}

TUnit TrelMainThreadNotifyUnit("TrelMainThreadNotify", &InitMainThreadNotify,
                               &FinalizeMainThreadNotify);

// ---------------------------------------------------------------------------
// The shared window

TTrelMainWindowNode::TTrelMainWindowNode() {
  window_ = Create<TCustomForm>(nullptr);
  handle_ = window_->Handle();
  saved_window_proc_ = window_->WindowProc;
  window_->WindowProc = TWndMethod(this, &TTrelMainWindowNode::WindowProc);
}

TTrelMainWindowNode::~TTrelMainWindowNode() {
  window_->WindowProc = saved_window_proc_;
  // The window's queued messages are dropped with it: they stop counting.
  g_outstanding.fetch_sub(pending_.exchange(0));
  FreeAndNil(window_);
}

void TTrelMainWindowNode::PostAccepted() {
  pending_.fetch_add(1);
  g_outstanding.fetch_add(1);
}

void TTrelMainWindowNode::PostRefused() {
  pending_.fetch_sub(1);
  g_outstanding.fetch_sub(1);
}

void TTrelMainWindowNode::Dispatched() {
  // Only posts counted here are uncounted: a notification message sent to
  // the window by other means must not drive the counts below zero.
  int32_t pending = pending_.load();
  while (pending > 0 && !pending_.compare_exchange_weak(pending, pending - 1)) {
  }
  if (pending > 0)
    g_outstanding.fetch_sub(1);
}

TTrelMainThreadNotify* TTrelMainWindowNode::FindLocked(uint64_t serial) const {
  for (TTrelMainThreadNotify* notifier : Notifiers) {
    if (notifier->Serial() == serial)
      return notifier;
  }
  return nullptr;
}

void TTrelMainWindowNode::WindowProc(TMessage& message) {
  if (message.Msg != NotifyMessageId) {
    if (saved_window_proc_.Assigned())
      saved_window_proc_(message);
    return;
  }
  // Counted down first: the callback may free the last notifier, and this
  // node with it.
  Dispatched();
  TVekGlobalReadLockSection section;
  if (TTrelMainThreadNotify* notifier = FindLocked(static_cast<uint64_t>(message.WParam)))
    notifier->Deliver();
  // An exception from the callback leaves the read section here, on its way
  // to the main loop's central handler.
}

// ---------------------------------------------------------------------------
// Notifiers

TTrelMainThreadNotify::TTrelMainThreadNotify(TNotifyEvent callback)
    : serial_(g_last_serial.fetch_add(1) + 1) {
  node_ = AddNotifier(this);
  window_ = node_->Handle();
  callback_ = callback;
}

TTrelMainThreadNotify::~TTrelMainThreadNotify() {
  callback_ = nullptr;
  RemoveNotifier(this);
}

void TTrelMainThreadNotify::Post() {
  // Counted before the message is queued, so that its delivery can never
  // count down first.
  node_->PostAccepted();
  if (!PostMessage(window_, NotifyMessageId, static_cast<WPARAM>(serial_), 0))
    node_->PostRefused();
}

void TTrelMainThreadNotify::Deliver() {
  if (callback_.Assigned())
    callback_(this);
}

HWND GetNotifyWindow() {
  TVekGlobalReadLockSection section;
  return g_main_window_node == nullptr ? HWND{} : g_main_window_node->Handle();
}

int32_t NotifierCount() {
  return g_notifier_count.load();
}

int32_t OutstandingNotifications() {
  return g_outstanding.load();
}
