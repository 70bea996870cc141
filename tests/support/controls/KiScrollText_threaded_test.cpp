// The scrolling text's drawing thread against the main thread: its steps run
// on the main thread, and freeing an active control whose thread waits in
// Synchronize returns without running another step. No window system: the
// plain main loop serves the thread's calls.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/classes/MainLoop.h"
#include "support/controls/KiScrollText.h"

namespace {

// Counts the draw calls and where they ran.
struct DrawCounter {
  int calls = 0;
  int off_main_thread = 0;
  void Draw(TObject*) {
    ++calls;
    if (!kestrune::MainLoop::Current()->IsMainThread())
      ++off_main_thread;
  }
};

class KiScrollTextThreadTest : public ::testing::Test {
 protected:
  kestrune::MainLoop loop_;
};

TEST_F(KiScrollTextThreadTest, StepsRunOnTheMainThreadWhileActive) {
  auto* scroll = Create<TKiScrollText>(nullptr);
  scroll->SetDelay(1);
  scroll->SetScrollDirection(drFromLeft);
  scroll->Text()->SetWidth(100000);
  scroll->SetActive(true);
  const int start = scroll->Position();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  loop_.ServeThreadCallsUntil([&] {
    return scroll->Position() <= start - 5 || std::chrono::steady_clock::now() > deadline;
  });
  EXPECT_LE(scroll->Position(), start - 5) << "the thread's steps moved the text";
  // Inactive: the thread waits between steps and runs none, not even one
  // it handed over just before.
  scroll->SetActive(false);
  const int stopped = scroll->Position();
  for (int i = 0; i < 5; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    loop_.ProcessMessages();
  }
  EXPECT_EQ(scroll->Position(), stopped);
  scroll->Free();
}

TEST_F(KiScrollTextThreadTest, FreeingAnActiveControlWhoseThreadWaitsInSynchronizeReturns) {
  auto* scroll = Create<TKiScrollText>(nullptr);
  DrawCounter counter;
  scroll->SetDelay(1);
  scroll->SetActive(true);
  scroll->DrawThread()->OnDraw = TNotifyEvent(&counter, &DrawCounter::Draw);
  // The main thread serves nothing meanwhile: the thread sleeps 1 ms and
  // then waits in Synchronize for the main thread.
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  scroll->Free();  // the wait for the thread serves its call, which runs no step
  EXPECT_EQ(counter.calls, 0);
  EXPECT_EQ(counter.off_main_thread, 0);
}

TEST_F(KiScrollTextThreadTest, FreeingAControlThatNeverRanReturns) {
  auto* scroll = Create<TKiScrollText>(nullptr);
  scroll->SetDelay(1);
  scroll->Free();
  auto* paused = Create<TKiScrollText>(nullptr);
  paused->SetActive(true);
  paused->SetActive(false);
  paused->Free();
}

}  // namespace
