// The timer component.
//
// TTimer fires OnTimer every Interval milliseconds on the main thread, on a
// precise Qt timer (1 ms is kept as 1 ms). It runs while Enabled, Interval
// is above 0 and OnTimer is set, once its stored description has been read;
// changing any of them restarts the count. Ticks need Qt's application
// object and its event loop; before they exist the timer waits and starts
// with the first change after. An exception that escapes OnTimer reaches the
// central handler and the timer goes on.
//
// Threads: main thread.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/classes/Classes.h"
#include "platform/classes/Controls.h"

class TTimer : public TComponent {
  KESTRUNE_CLASS(TTimer, TComponent)
  explicit TTimer(TComponent* owner);
  ~TTimer() override;

  bool Enabled() const { return enabled_; }
  void SetEnabled(bool value);
  // Milliseconds; default 1000.
  uint32_t Interval() const { return interval_; }
  void SetInterval(uint32_t value);
  TNotifyEvent OnTimer() const { return on_timer_; }
  void SetOnTimer(TNotifyEvent handler);

  void Loaded() override;

 protected:
  // Fires OnTimer.
  virtual void Timer();

 private:
  struct Impl;
  void UpdateTimer();

  bool enabled_ = true;
  uint32_t interval_ = 1000;
  TNotifyEvent on_timer_;
  std::unique_ptr<Impl> impl_;
};
