// The millisecond wait: at least one pass, the unsigned tick difference, and
// messages served while it waits.
#include "app/Delay.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "platform/classes/MainLoop.h"

namespace {

using kestrune::detail::DelayWith;

// A clock that moves only when the wait sleeps.
struct FakeClock {
  uint32_t now;
  int passes = 0;
  std::vector<uint32_t> waits;
  void Run(uint32_t ms) {
    DelayWith(
        ms, [this] { return now; }, [this] { ++passes; },
        [this](uint32_t remaining) {
          waits.push_back(remaining);
          now += remaining;  // sleeps its whole remaining time
        });
  }
};

TEST(DelayTest, WaitsItsWholeTimeAcrossTheTickWrap) {
  FakeClock clock{0xFFFFFFF0u, 0, {}};
  clock.Run(100);
  EXPECT_EQ(clock.now, 0xFFFFFFF0u + 100u);  // wrapped past 0
  EXPECT_EQ(clock.waits, (std::vector<uint32_t>{100}));
  EXPECT_EQ(clock.passes, 2);  // before the sleep and after it
}

TEST(DelayTest, ZeroProcessesOnceAndDoesNotSleep) {
  FakeClock clock{12345, 0, {}};
  clock.Run(0);
  EXPECT_EQ(clock.passes, 1);
  EXPECT_TRUE(clock.waits.empty());
}

TEST(DelayTest, AnEarlyWakeUpSleepsAgainForTheRest) {
  uint32_t now = 1000;
  std::vector<uint32_t> waits;
  DelayWith(
      50, [&] { return now; }, [] {},
      [&](uint32_t remaining) {
        waits.push_back(remaining);
        now += 20;  // woken after 20 ms by a message
      });
  EXPECT_EQ(waits, (std::vector<uint32_t>{50, 30, 10}));
}

TEST(DelayTest, ExceptionsAreDropped) {
  int passes = 0;
  EXPECT_NO_THROW(DelayWith(
      10, [] { return 0u; },
      [&] {
        ++passes;
        throw std::runtime_error("handler failed");
      },
      [](uint32_t) {}));
  EXPECT_EQ(passes, 1);
}

TEST(DelayTest, ServesPostedCallsWhileItWaits) {
  kestrune::MainLoop loop;
  int served = 0;
  loop.Post([&] { ++served; });
  Delay(0);
  EXPECT_EQ(served, 1);
  loop.Post([&] { ++served; });
  Delay(5);
  EXPECT_EQ(served, 2);
}

}  // namespace
