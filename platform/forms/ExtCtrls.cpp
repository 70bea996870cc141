#include "platform/forms/ExtCtrls.h"

#include <QCoreApplication>
#include <QTimer>

#include "platform/forms/QtEntry.h"

struct TTimer::Impl {
  QTimer timer;
};

TTimer::TTimer(TComponent* owner) : TComponent(owner) {}

TTimer::~TTimer() = default;

void TTimer::SetEnabled(bool value) {
  if (value == enabled_)
    return;
  enabled_ = value;
  UpdateTimer();
}

void TTimer::SetInterval(uint32_t value) {
  if (value == interval_)
    return;
  interval_ = value;
  UpdateTimer();
}

void TTimer::SetOnTimer(TNotifyEvent handler) {
  on_timer_ = handler;
  UpdateTimer();
}

void TTimer::Loaded() {
  inherited::Loaded();
  UpdateTimer();
}

void TTimer::Timer() {
  if (on_timer_.Assigned())
    on_timer_(this);
}

void TTimer::UpdateTimer() {
  if (impl_ != nullptr)
    impl_->timer.stop();
  const bool run = enabled_ && interval_ > 0 && on_timer_.Assigned() &&
                   !ComponentState().Contains(csLoading) && QCoreApplication::instance() != nullptr;
  if (!run)
    return;
  if (impl_ == nullptr) {
    impl_ = std::make_unique<Impl>();
    impl_->timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&impl_->timer, &QTimer::timeout,
                     [this] { kestrune::CallFromQt([this] { Timer(); }); });
  }
  // QTimer takes an int: longer intervals than it holds are kept at its
  // largest (about 24 days).
  const uint32_t limit = 0x7FFFFFFF;
  impl_->timer.start(static_cast<int>(std::min(interval_, limit)));
}
