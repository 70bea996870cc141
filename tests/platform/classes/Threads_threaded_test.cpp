// TThread: start rules, calls handed to the main thread, waiting for the end,
// exceptions, ids, priority and self-freeing threads.
#include "platform/classes/Threads.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "platform/classes/MainLoop.h"
#include "platform/classes/Messages.h"
#include "platform/rtl/SysUtils.h"

namespace {

using kestrune::MainLoop;
using kestrune::ThreadPriority;
using kestrune::WaitResult;

// A thread running a lambda; `onDestroy` (may be null) is set by the
// destructor.
class LambdaThread : public TThread {
  KESTRUNE_CLASS(LambdaThread, TThread)
  LambdaThread(bool createSuspended, std::function<void(LambdaThread&)> body,
               TEvent* onDestroy = nullptr)
      : TThread(createSuspended), body_(std::move(body)), on_destroy_(onDestroy) {}
  ~LambdaThread() override {
    if (on_destroy_ != nullptr)
      on_destroy_->SetEvent();
  }
  using TThread::Queue;
  using TThread::Synchronize;

 protected:
  void Execute() override { body_(*this); }

 private:
  std::function<void(LambdaThread&)> body_;
  TEvent* on_destroy_;
};

class ThreadTest : public ::testing::Test {
 protected:
  ThreadTest() {
    loop_.SetExceptionHandler(
        [this](std::exception_ptr e) { central_.push_back(kestrune::ExceptionText(e)); });
  }
  MainLoop loop_;
  std::vector<std::string> central_;  // texts that reached the central handler
};

TEST_F(ThreadTest, MainThreadWaitingForTheEndServesTheThreadsCalls) {
  // The worker queues and synchronizes while the main thread sits in WaitFor;
  // a Synchronize left unserved would block the worker, and WaitFor with it,
  // for ever. Window messages it posts wait for the loop proper.
  std::vector<int> order;
  bool allOnMainThread = true;
  int windowCalls = 0;
  HWND window = kestrune::CreateMessageWindow([&](TMessage&) { ++windowCalls; });
  auto* thread = Create<LambdaThread>(true, [&](LambdaThread& self) {
    for (int i = 0; i < 50; ++i) {
      if (i % 10 == 0)
        PostMessage(window, WM_USER, 0, 0);
      self.Queue([&, i] {
        allOnMainThread = allOnMainThread && loop_.IsMainThread();
        order.push_back(2 * i);
      });
      self.Synchronize([&, i] {
        allOnMainThread = allOnMainThread && loop_.IsMainThread();
        order.push_back(2 * i + 1);
      });
    }
  });
  thread->Start();
  thread->WaitFor();

  std::vector<int> expected;
  for (int i = 0; i < 100; ++i)
    expected.push_back(i);
  EXPECT_EQ(order, expected);
  EXPECT_TRUE(allOnMainThread);
  EXPECT_TRUE(thread->Finished());
  EXPECT_EQ(windowCalls, 0) << "window code ran nested inside WaitFor";
  loop_.ProcessMessages();
  EXPECT_EQ(windowCalls, 5);
  thread->Free();
  kestrune::DestroyMessageWindow(window);
}

TEST_F(ThreadTest, FreeStopsAThreadThatKeepsSynchronizing) {
  TEvent running(true, false);
  int served = 0;
  auto* thread = Create<LambdaThread>(false, [&](LambdaThread& self) {
    running.SetEvent();
    while (!self.Terminated())
      self.Synchronize([&] { ++served; });
  });
  ASSERT_EQ(running.WaitFor(INFINITE), WaitResult::Signaled);
  thread->Free();  // Terminate, then wait while serving its Synchronize calls
  SUCCEED() << served << " calls served";
}

TEST_F(ThreadTest, ExceptionEscapingExecuteIsKept) {
  auto* failing =
      Create<LambdaThread>(false, [](LambdaThread&) { throw EConvertError("bad input"); });
  auto* clean = Create<LambdaThread>(false, [](LambdaThread&) {});
  failing->WaitFor();
  clean->WaitFor();
  ASSERT_TRUE(failing->FatalException());
  EXPECT_EQ(kestrune::ExceptionText(failing->FatalException()), "bad input");
  EXPECT_THROW(std::rethrow_exception(failing->FatalException()), EConvertError);
  EXPECT_FALSE(clean->FatalException());
  EXPECT_TRUE(central_.empty());
  failing->Free();
  clean->Free();
}

TEST_F(ThreadTest, SynchronizedCallRaisesInTheCallingThread) {
  std::string caught;
  auto* thread = Create<LambdaThread>(false, [&](LambdaThread& self) {
    try {
      self.Synchronize([] { throw EListError("Indice de liste hors limites (3)"); });
    } catch (const EListError& e) {
      caught = e.Message();
    }
  });
  thread->WaitFor();
  EXPECT_EQ(caught, "Indice de liste hors limites (3)");
  EXPECT_TRUE(central_.empty()) << "the central handler saw a Synchronize exception";
  thread->Free();
}

TEST_F(ThreadTest, StartRules) {
  std::atomic<int> runs{0};
  auto body = [&](LambdaThread&) { ++runs; };

  // Not suspended: runs once construction is complete.
  auto* automatic = Create<LambdaThread>(false, body);
  automatic->WaitFor();
  EXPECT_EQ(runs.load(), 1);
  EXPECT_THROW(automatic->Start(), EThread);
  automatic->Free();

  // Suspended: nothing runs until Start; a second Start is refused, Resume
  // after the start does nothing.
  auto* suspended = Create<LambdaThread>(true, body);
  suspended->WaitFor();  // never started: returns at once
  EXPECT_FALSE(suspended->Finished());
  suspended->Start();
  EXPECT_THROW(suspended->Start(), EThread);
  EXPECT_NO_THROW(suspended->Resume());
  suspended->WaitFor();
  EXPECT_EQ(runs.load(), 2);
  suspended->Free();

  // Resume starts a suspended thread.
  auto* resumed = Create<LambdaThread>(true, body);
  resumed->Resume();
  resumed->WaitFor();
  EXPECT_EQ(runs.load(), 3);
  resumed->Free();

  // Terminated before it starts: Execute does not run.
  auto* cancelled = Create<LambdaThread>(true, body);
  cancelled->Terminate();
  cancelled->Start();
  cancelled->WaitFor();
  EXPECT_TRUE(cancelled->Finished());
  cancelled->Free();

  // Freed without ever starting.
  Create<LambdaThread>(true, body)->Free();
  EXPECT_EQ(runs.load(), 3);
}

TEST_F(ThreadTest, ThreadIdIsKnownBeforeStartAndSeenInside) {
  const uint32_t forced = 0x5C00A1A5u;
  kestrune::ForceNextThreadIds({forced});
  uint32_t inside = 0;
  auto* thread = Create<LambdaThread>(true, [&](LambdaThread&) { inside = GetCurrentThreadId(); });
  EXPECT_EQ(thread->ThreadID(), forced);
  thread->Start();
  thread->WaitFor();
  EXPECT_EQ(inside, forced);

  auto* other = Create<LambdaThread>(true, [&](LambdaThread&) { inside = GetCurrentThreadId(); });
  EXPECT_NE(other->ThreadID(), 0u);
  EXPECT_NE(other->ThreadID(), forced);
  other->Start();
  other->WaitFor();
  EXPECT_EQ(inside, other->ThreadID());
  thread->Free();
  other->Free();
}

TEST_F(ThreadTest, PriorityIsBestEffortAndNeverFails) {
  const ThreadPriority levels[] = {ThreadPriority::TimeCritical, ThreadPriority::Idle,
                                   ThreadPriority::Highest,      ThreadPriority::Lowest,
                                   ThreadPriority::Higher,       ThreadPriority::Lower,
                                   ThreadPriority::Normal};
  TEvent release(true, false);
  auto* thread = Create<LambdaThread>(true, [&](LambdaThread&) { release.WaitFor(INFINITE); });
  EXPECT_EQ(thread->Priority(), ThreadPriority::Normal);
  thread->SetPriority(ThreadPriority::Highest);  // before the start: applied at the start
  EXPECT_EQ(thread->Priority(), ThreadPriority::Highest);
  thread->Start();
  for (ThreadPriority level : levels) {
    EXPECT_NO_THROW(thread->SetPriority(level));
    EXPECT_EQ(thread->Priority(), level);
  }
  release.SetEvent();
  thread->WaitFor();
  EXPECT_NO_THROW(thread->SetPriority(ThreadPriority::Higher));  // after the end
  thread->Free();
}

TEST_F(ThreadTest, FreeOnTerminateFreesItselfAndDropsItsQueuedCalls) {
  TEvent destroyed(true, false);
  bool ownCallRan = false;
  bool unownedCallRan = false;
  auto* thread = Create<LambdaThread>(
      true,
      [&](LambdaThread& self) {
        self.Queue([&] { ownCallRan = true; });
        TThread::Queue(nullptr, [&] { unownedCallRan = true; });
      },
      &destroyed);
  thread->SetFreeOnTerminate(true);
  EXPECT_THROW(thread->WaitFor(), EThread);
  thread->Start();
  ASSERT_EQ(destroyed.WaitFor(INFINITE), WaitResult::Signaled);
  loop_.ProcessMessages();
  EXPECT_FALSE(ownCallRan) << "a call of a freed thread ran";
  EXPECT_TRUE(unownedCallRan);
}

TEST(ThreadWithoutLoopTest, CallsToTheMainThreadNeedALoop) {
  ASSERT_EQ(MainLoop::Current(), nullptr);
  EXPECT_THROW(TThread::Synchronize(nullptr, [] {}), EThread);
  EXPECT_THROW(TThread::Queue(nullptr, [] {}), EThread);
  // Waiting for a thread works without a loop.
  bool ran = false;
  auto* thread = Create<LambdaThread>(false, [&](LambdaThread&) { ran = true; });
  thread->WaitFor();
  EXPECT_TRUE(ran);
  thread->Free();
}

}  // namespace
