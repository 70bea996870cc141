// The main loop on Qt's backend, as the program runs it: posts from other
// threads reach the main thread through Qt's event loop, raising calls reach
// the central handler and the loop goes on, ProcessMessages serves once, and
// a wait for a thread's end serves that thread's calls and nothing else, and
// a wait that keeps the window alive sleeps in Qt's event wait.
#include "platform/forms/QtLoopBackend.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QObject>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/classes/MainLoop.h"
#include "platform/classes/SyncObjs.h"
#include "platform/classes/Threads.h"
#include "platform/forms/Forms.h"
#include "platform/rtl/SysUtils.h"

namespace {

using kestrune::MainLoop;

// The program's set-up: the application object on Qt, with its loop.
class QtLoopBackendTest : public testing::Test {
 protected:
  void SetUp() override {
    FormsUnit.Initialize();
    Application->Initialize();
    loop_ = MainLoop::Current();
    ASSERT_NE(loop_, nullptr);
    ASSERT_NE(dynamic_cast<kestrune::QtLoopBackend*>(&loop_->Backend()), nullptr);
  }
  void TearDown() override { FormsUnit.Finalize(); }

  // Ends Run after `ms` whatever happens, so a lost wake-up fails the test
  // instead of hanging it. It leaves Qt's loop directly: Terminate would
  // need the very wake-up that may be lost.
  void ArmWatchdog(int ms = 20000) {
    QTimer::singleShot(ms, qApp, [this] {
      watchdog_fired_ = true;
      QCoreApplication::exit(1);
    });
  }

  // True on the main thread inside Qt's running event loop.
  static bool InsideQtLoop() {
    return QThread::currentThread() == qApp->thread() && QThread::currentThread()->loopLevel() > 0;
  }

  MainLoop* loop_ = nullptr;
  bool watchdog_fired_ = false;
};

TEST_F(QtLoopBackendTest, PostsFromSeveralThreadsAreServedByQtsLoopEachOnceInOrder) {
  constexpr int kThreads = 4;
  constexpr int kPostsPerThread = 2000;
  std::vector<std::vector<int>> served(kThreads);  // main thread only
  int total = 0;
  bool allInsideQtLoop = true;

  // The workers start once Qt's loop runs, so every post lands while it
  // waits or dispatches.
  TEvent go(/*manualReset=*/true, /*initialState=*/false);
  std::vector<std::thread> workers;
  for (int t = 0; t < kThreads; ++t) {
    workers.emplace_back([&, t] {
      go.WaitFor(INFINITE);
      for (int i = 0; i < kPostsPerThread; ++i) {
        loop_->Post([&, t, i] {
          allInsideQtLoop = allInsideQtLoop && InsideQtLoop();
          served[static_cast<size_t>(t)].push_back(i);
          if (++total == kThreads * kPostsPerThread)
            Application->Terminate();
        });
      }
    });
  }
  QTimer::singleShot(0, qApp, [&] { go.SetEvent(); });
  ArmWatchdog();
  Application->Run();
  go.SetEvent();  // in case the loop never ran the timer
  for (auto& worker : workers)
    worker.join();

  EXPECT_FALSE(watchdog_fired_) << "posts were lost: " << total << " served";
  EXPECT_TRUE(allInsideQtLoop);
  for (int t = 0; t < kThreads; ++t) {
    const auto& got = served[static_cast<size_t>(t)];
    ASSERT_EQ(got.size(), static_cast<size_t>(kPostsPerThread)) << "thread " << t;
    for (int i = 0; i < kPostsPerThread; ++i)
      ASSERT_EQ(got[static_cast<size_t>(i)], i) << "thread " << t;
  }
}

TEST_F(QtLoopBackendTest, RaisingCallReachesTheCentralHandlerAndTheLoopGoesOn) {
  ASSERT_TRUE(Application->Headless());  // offscreen: the handler writes to stderr
  bool laterRan = false;
  std::thread worker([&] {
    loop_->Post([] { throw EConvertError("'douze' n'est pas une valeur entière correcte"); });
    loop_->Post([] { throw std::runtime_error("plain standard exception"); });
    loop_->Post([&] {
      laterRan = true;
      Application->Terminate();
    });
  });
  ArmWatchdog();
  testing::internal::CaptureStderr();
  Application->Run();
  const std::string err = testing::internal::GetCapturedStderr();
  worker.join();

  EXPECT_FALSE(watchdog_fired_);
  EXPECT_TRUE(laterRan);
  EXPECT_NE(err.find("'douze' n'est pas une valeur entière correcte\n"), std::string::npos) << err;
  EXPECT_NE(err.find("plain standard exception\n"), std::string::npos) << err;
}

TEST_F(QtLoopBackendTest, ProcessMessagesServesPendingWorkOnceWithoutWaiting) {
  int timerRuns = 0;
  int reposts = 0;
  std::function<void()> reposting = [&] {
    ++reposts;
    loop_->Post(reposting);  // waits for the next pass
  };

  Application->ProcessMessages();  // nothing pending: returns at once

  QTimer::singleShot(0, qApp, [&] { ++timerRuns; });  // a window-system event
  loop_->Post(reposting);
  Application->ProcessMessages();
  EXPECT_EQ(timerRuns, 1);
  EXPECT_EQ(reposts, 1);
  Application->ProcessMessages();
  EXPECT_EQ(reposts, 2);
}

// A thread that hands a call to the main thread and waits for it.
class TSynchronizingThread : public TThread {
  KESTRUNE_CLASS(TSynchronizingThread, TThread)
  TSynchronizingThread(std::function<void()> call)
      : TThread(/*createSuspended=*/false), call_(std::move(call)) {}

 protected:
  void Execute() override { Synchronize(call_); }

 private:
  std::function<void()> call_;
};

TEST_F(QtLoopBackendTest, WaitingForAThreadServesItsCallsButNoWindowWork) {
  // Work already queued for the main thread, and a Qt event: neither may run
  // inside the wait (window code never runs nested in it).
  bool postRan = false;
  bool timerRan = false;
  loop_->Post([&] { postRan = true; });
  QTimer::singleShot(0, qApp, [&] { timerRan = true; });

  bool synchronizedOnMain = false;
  bool postRanBeforeSync = true;
  bool timerRanBeforeSync = true;
  TThread* thread = Create<TSynchronizingThread>([&] {
    synchronizedOnMain = loop_->IsMainThread();
    postRanBeforeSync = postRan;
    timerRanBeforeSync = timerRan;
  });
  thread->WaitFor();
  thread->Free();

  EXPECT_TRUE(synchronizedOnMain);
  EXPECT_FALSE(postRanBeforeSync);
  EXPECT_FALSE(timerRanBeforeSync);
  EXPECT_FALSE(postRan);
  EXPECT_FALSE(timerRan);

  // The wait must not have swallowed the post's wake-up.
  Application->ProcessMessages();
  EXPECT_TRUE(postRan);
  EXPECT_TRUE(timerRan);
}

// Milliseconds on a steady clock.
int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

TEST_F(QtLoopBackendTest, AWindowWaitSleepsInQtsWaitUntilAPostComesAndLeavesItQueued) {
  // A post from another thread ends the wait long before its deadline; the
  // posted call runs only in the ProcessMessages that follows.
  bool ran = false;
  std::thread poster([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    loop_->Post([&] { ran = true; });
  });
  const int64_t start = NowMs();
  bool woken = false;
  while (!woken && NowMs() - start < 20000)
    woken = loop_->WaitForMessages(20000);
  poster.join();
  EXPECT_TRUE(woken);
  EXPECT_LT(NowMs() - start, 20000);
  EXPECT_FALSE(ran);
  Application->ProcessMessages();
  EXPECT_TRUE(ran);
}

TEST_F(QtLoopBackendTest, AWindowWaitDispatchesWindowEventsAndEndsAtItsDeadline) {
  // A Qt timer (a window-system event) that comes during the wait runs in it.
  bool timerRan = false;
  QTimer::singleShot(20, qApp, [&] { timerRan = true; });
  const int64_t start = NowMs();
  while (!timerRan && NowMs() - start < 20000)
    loop_->WaitForMessages(20000);
  EXPECT_TRUE(timerRan);

  // With nothing coming, the wait sleeps to its deadline in a few waits (a
  // wait that returned at once would need thousands), then says so.
  const int64_t begin = NowMs();
  int waits = 0;
  bool lastWoken = true;
  while (NowMs() - begin < 200) {
    lastWoken = loop_->WaitForMessages(static_cast<uint32_t>(200 - (NowMs() - begin)));
    ++waits;
  }
  EXPECT_LE(waits, 3);
  EXPECT_FALSE(lastWoken);
}

TEST_F(QtLoopBackendTest, RunReturnsAtOnceWhenTerminatedBefore) {
  bool ran = false;
  loop_->Post([&] { ran = true; });
  Application->Terminate();
  bool enteredQtLoop = false;
  QTimer::singleShot(0, qApp, [&] { enteredQtLoop = true; });
  Application->Run();
  EXPECT_TRUE(ran);  // handed over before Terminate: still served
  EXPECT_FALSE(enteredQtLoop);
  EXPECT_TRUE(Application->Terminated());
}

}  // namespace
