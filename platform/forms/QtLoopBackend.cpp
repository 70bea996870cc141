#include "platform/forms/QtLoopBackend.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QThread>
#include <QTimerEvent>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "platform/classes/SyncObjs.h"
#include "platform/forms/QtEntry.h"
#include "platform/rtl/SysUtils.h"

namespace kestrune {

namespace {

QEvent::Type WakeUpEventType() {
  static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
  return type;
}

}  // namespace

struct QtLoopBackend::Impl {
  // Lives on the main thread, so Qt delivers the wake-up events there.
  class Receiver final : public QObject {
   public:
    explicit Receiver(Impl& owner) : owner_(owner) {}
    bool event(QEvent* event) override {
      if (event->type() == QEvent::Timer &&
          static_cast<QTimerEvent*>(event)->timerId() == owner_.wait_timer) {
        owner_.wait_timed_out = true;
        return true;
      }
      if (event->type() != WakeUpEventType())
        return QObject::event(event);
      owner_.ServeWakeUp();
      return true;
    }

   private:
    Impl& owner_;
  };

  Receiver receiver{*this};

  // True from the post of a wake-up event until Qt delivers it: further
  // wake-ups meanwhile are already covered by that event, because it serves
  // the queue as it stands when it is delivered, not as it stood when posted.
  std::atomic<bool> event_in_flight{false};

  // WaitForWakeUp's latch.
  std::mutex mutex;
  std::condition_variable woken;
  bool pending = false;  // guarded by mutex

  bool quit = false;     // main thread only
  bool in_exec = false;  // main thread only
  // The Qt loop level at which ProcessOwnEvents runs, or -1 (main thread
  // only). A wake-up delivered right there is left to the ServePending that
  // MainLoop::ProcessMessages runs next, so that one ProcessMessages serves
  // the queue once, as on every backend. A wake-up inside a nested Qt loop
  // started meanwhile (a message box) is served as usual.
  int own_events_level = -1;

  // WaitForEvents' deadline timer (0: none) and what ended the wait (main
  // thread only).
  int wait_timer = 0;
  bool wait_timed_out = false;
  bool woken_in_own_events = false;

  // Qt delivered our event (main thread).
  void ServeWakeUp() {
    // Clear the flag before serving: a post that comes in while we serve then
    // posts a new event instead of being left for nobody.
    event_in_flight.store(false, std::memory_order_seq_cst);
    {
      std::lock_guard lock(mutex);
      pending = false;
    }
    if (own_events_level == QThread::currentThread()->loopLevel()) {
      woken_in_own_events = true;
      return;
    }
    CallFromQt([] {
      if (MainLoop* loop = MainLoop::Current())
        loop->ServePending();
    });
  }
};

QtLoopBackend::QtLoopBackend() {
  QCoreApplication* app = QCoreApplication::instance();
  if (app == nullptr)
    throw EInvalidOperation("The Qt main-loop backend needs Qt's application object");
  KESTRUNE_USAGE_CHECK(QThread::currentThread() == app->thread(),
                       "QtLoopBackend created off the main thread");
  impl_ = std::make_unique<Impl>();
}

QtLoopBackend::~QtLoopBackend() {
  KESTRUNE_USAGE_CHECK(QCoreApplication::instance() != nullptr,
                       "QtLoopBackend outlived Qt's application object");
}

void QtLoopBackend::WakeUp() {
  {
    std::lock_guard lock(impl_->mutex);
    impl_->pending = true;
  }
  impl_->woken.notify_one();
  if (!impl_->event_in_flight.exchange(true, std::memory_order_seq_cst))
    QCoreApplication::postEvent(&impl_->receiver, new QEvent(WakeUpEventType()));
}

bool QtLoopBackend::WaitForWakeUp(uint32_t timeoutMs) {
  std::unique_lock lock(impl_->mutex);
  auto pending = [this] { return impl_->pending; };
  if (timeoutMs == INFINITE) {
    impl_->woken.wait(lock, pending);
  } else if (!impl_->woken.wait_for(lock, std::chrono::milliseconds(timeoutMs), pending)) {
    return false;
  }
  impl_->pending = false;
  return true;
}

void QtLoopBackend::Run(MainLoop& loop) {
  impl_->quit = false;
  loop.ServePending();
  if (impl_->quit)
    return;
  impl_->in_exec = true;
  QCoreApplication::exec();
  impl_->in_exec = false;
}

void QtLoopBackend::Quit() {
  impl_->quit = true;
  if (impl_->in_exec)
    QCoreApplication::exit(0);
}

namespace {

// Marks the current Qt loop level as ours for the time of a dispatch (see
// Impl::own_events_level) and restores the previous mark on every exit.
struct OwnEventsLevel {
  explicit OwnEventsLevel(int& level) : level_(level), saved_(level) {
    level_ = QThread::currentThread()->loopLevel();
  }
  ~OwnEventsLevel() { level_ = saved_; }
  OwnEventsLevel(const OwnEventsLevel&) = delete;
  OwnEventsLevel& operator=(const OwnEventsLevel&) = delete;

 private:
  int& level_;
  int saved_;
};

}  // namespace

void QtLoopBackend::ProcessOwnEvents() {
  OwnEventsLevel own(impl_->own_events_level);
  QCoreApplication::processEvents(QEventLoop::AllEvents);
}

bool QtLoopBackend::WaitForEvents(uint32_t timeoutMs) {
  QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
  if (dispatcher == nullptr)
    return WaitForWakeUp(timeoutMs);
  OwnEventsLevel own(impl_->own_events_level);
  impl_->woken_in_own_events = false;
  impl_->wait_timed_out = false;
  if (timeoutMs == 0) {
    dispatcher->processEvents(QEventLoop::AllEvents);
    return impl_->woken_in_own_events;
  }
  // A timer of ours ends the wait at the deadline; any event before it ends
  // it sooner. A wait nested in a handler that runs inside this one has its
  // own timer: the outer one is put back afterwards.
  struct TimerScope {
    Impl& impl;
    int saved;
    ~TimerScope() {
      if (impl.wait_timer != 0)
        impl.receiver.killTimer(impl.wait_timer);
      impl.wait_timer = saved;
    }
  } timer{*impl_, impl_->wait_timer};
  impl_->wait_timer = 0;
  if (timeoutMs != INFINITE) {
    const int ms =
        timeoutMs > static_cast<uint32_t>(INT32_MAX) ? INT32_MAX : static_cast<int>(timeoutMs);
    impl_->wait_timer = impl_->receiver.startTimer(ms, Qt::PreciseTimer);
  }
  dispatcher->processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
  return impl_->woken_in_own_events || !impl_->wait_timed_out;
}

}  // namespace kestrune
