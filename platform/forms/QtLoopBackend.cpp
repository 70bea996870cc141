#include "platform/forms/QtLoopBackend.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QThread>
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

  // Qt delivered our event (main thread).
  void ServeWakeUp() {
    // Clear the flag before serving: a post that comes in while we serve then
    // posts a new event instead of being left for nobody.
    event_in_flight.store(false, std::memory_order_seq_cst);
    {
      std::lock_guard lock(mutex);
      pending = false;
    }
    if (own_events_level == QThread::currentThread()->loopLevel())
      return;
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

void QtLoopBackend::ProcessOwnEvents() {
  struct LevelRestore {
    int& level;
    int saved;
    ~LevelRestore() { level = saved; }
  } restore{impl_->own_events_level, impl_->own_events_level};
  impl_->own_events_level = QThread::currentThread()->loopLevel();
  QCoreApplication::processEvents(QEventLoop::AllEvents);
}

}  // namespace kestrune
