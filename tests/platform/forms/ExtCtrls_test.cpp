// The timer: it ticks while enabled with a handler, stops when disabled,
// keeps a 1 ms interval, and waits for its description to be read.
#include "platform/forms/ExtCtrls.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "FormsTestSupport.h"

using forms_test::FormsFixture;

namespace {

class TimerTest : public FormsFixture {
 public:
  int ticks = 0;
  void Tick(TObject*) { ++ticks; }

  // Serves the loop until `wanted` ticks came, or a generous bound passed.
  void ServeUntil(int wanted) {
    for (int i = 0; i < 2000 && ticks < wanted; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      Application->ProcessMessages();
    }
  }
  void ServeFor(int rounds) {
    for (int i = 0; i < rounds; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      Application->ProcessMessages();
    }
  }
};

TEST_F(TimerTest, TicksWhileEnabledWithAHandlerAndStopsWhenDisabled) {
  TTimer* timer = Create<TTimer>(form);
  EXPECT_EQ(timer->Interval(), 1000u);
  timer->SetInterval(1);
  EXPECT_EQ(timer->Interval(), 1u);
  ServeFor(5);
  EXPECT_EQ(ticks, 0);  // no handler yet
  timer->SetOnTimer(TNotifyEvent(this, &TimerTest::Tick));
  ServeUntil(3);
  EXPECT_GE(ticks, 3);
  timer->SetEnabled(false);
  const int stopped = ticks;
  ServeFor(20);
  EXPECT_EQ(ticks, stopped);
}

TEST_F(TimerTest, ATimerBeingReadWaitsForLoaded) {
  TTimer* timer = Create<TTimer>(form);
  timer->SetLoadingState(true);
  timer->SetInterval(1);
  timer->SetOnTimer(TNotifyEvent(this, &TimerTest::Tick));
  ServeFor(20);
  EXPECT_EQ(ticks, 0);
  timer->Loaded();
  ServeUntil(1);
  EXPECT_GE(ticks, 1);
}

}  // namespace
