// The main loop: running and terminating, serving pending work once, the
// central exception handler, and installing a backend.
#include "platform/classes/MainLoop.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/classes/SyncObjs.h"
#include "platform/rtl/SysUtils.h"

namespace {

using kestrune::MainLoop;

TEST(MainLoopTest, RunServesEverythingHandedOverBeforeTerminateFromAnotherThread) {
  MainLoop loop;
  EXPECT_TRUE(loop.IsMainThread());
  EXPECT_EQ(MainLoop::Current(), &loop);
  std::vector<int> served;
  bool allOnMainThread = true;
  std::thread worker([&] {
    EXPECT_FALSE(loop.IsMainThread());
    for (int i = 0; i < 300; ++i) {
      loop.Post([&, i] {
        allOnMainThread = allOnMainThread && loop.IsMainThread();
        served.push_back(i);
      });
    }
    loop.Terminate();
  });
  loop.Run();
  worker.join();
  ASSERT_EQ(served.size(), 300u);
  for (int i = 0; i < 300; ++i)
    ASSERT_EQ(served[static_cast<size_t>(i)], i);
  EXPECT_TRUE(allOnMainThread);
  EXPECT_TRUE(loop.Terminated());
  loop.Run();  // terminated before, nothing pending: returns at once
}

// Calls carry their captures inside the queue or, when large, on the heap;
// either way each runs once, in hand-over order, and what it holds is
// released when it has run or has been dropped.
TEST(MainLoopTest, CallsOfEverySizeRunOnceInOrderAndReleaseWhatTheyHold) {
  MainLoop loop;
  auto token = std::make_shared<int>(0);
  std::vector<int> served;
  const int owners[2] = {0, 1};
  for (int i = 0; i < 70; ++i) {
    if (i % 3 == 0) {
      std::array<char, 200> large{};
      large[199] = static_cast<char>(i);
      loop.Queue(&owners[i % 2], [&served, token, large] { served.push_back(large[199]); });
    } else {
      loop.Post([&served, token, i] { served.push_back(i); });
    }
  }
  EXPECT_EQ(token.use_count(), 71);
  loop.RemoveQueuedCalls(&owners[1]);  // the large calls of odd i
  std::vector<int> expected;
  for (int i = 0; i < 70; ++i) {
    if (i % 3 != 0 || i % 2 == 0)
      expected.push_back(i);
  }
  EXPECT_EQ(token.use_count(), static_cast<long>(expected.size()) + 1);
  loop.ProcessMessages();
  EXPECT_EQ(served, expected);
  EXPECT_EQ(token.use_count(), 1);
}

TEST(MainLoopTest, ProcessMessagesServesWhatWasPendingOnce) {
  MainLoop loop;
  int runs = 0;
  std::function<void()> reposting = [&] {
    ++runs;
    loop.Post(reposting);  // must wait for the next pass
  };
  loop.ProcessMessages();  // nothing pending
  loop.Post(reposting);
  loop.ProcessMessages();
  EXPECT_EQ(runs, 1);
  loop.ProcessMessages();
  EXPECT_EQ(runs, 2);
}

TEST(MainLoopTest, RaisingCallsReachTheCentralHandlerAndTheLoopGoesOn) {
  MainLoop loop;
  std::vector<std::string> texts;
  bool laterRan = false;
  auto raise = [] { throw EConvertError("'x' is not a valid integer value"); };

  // Default handler: the text goes to stderr.
  loop.Post(raise);
  loop.Post([&] { laterRan = true; });
  testing::internal::CaptureStderr();
  loop.ProcessMessages();
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("'x' is not a valid integer value"), std::string::npos) << err;
  EXPECT_TRUE(laterRan);

  // An installed handler gets the exception itself; every kind of exception
  // gets a text.
  loop.SetExceptionHandler([&](std::exception_ptr e) {
    try {
      std::rethrow_exception(e);
    } catch (const EConvertError& ce) {
      texts.push_back("EConvertError: " + ce.Message());
    } catch (...) {
      texts.push_back(kestrune::ExceptionText(e));
    }
  });
  loop.Post(raise);
  loop.Post([] { throw std::runtime_error("standard"); });
  loop.Post([] { throw 42; });
  loop.Queue(nullptr, raise);
  loop.ProcessMessages();
  EXPECT_EQ(texts, (std::vector<std::string>{"EConvertError: 'x' is not a valid integer value",
                                             "standard", "Unknown exception",
                                             "EConvertError: 'x' is not a valid integer value"}));

  // A handler that raises itself: both texts reach stderr and the loop goes on.
  loop.SetExceptionHandler([](std::exception_ptr) { throw EAbort("handler failed"); });
  laterRan = false;
  loop.Post(raise);
  loop.Post([&] { laterRan = true; });
  testing::internal::CaptureStderr();
  loop.ProcessMessages();
  const std::string both = testing::internal::GetCapturedStderr();
  EXPECT_NE(both.find("handler failed"), std::string::npos) << both;
  EXPECT_NE(both.find("'x' is not a valid integer value"), std::string::npos) << both;
  EXPECT_TRUE(laterRan);
}

// Wraps the plain backend and counts what the loop asks of it.
class CountingBackend : public kestrune::MainLoopBackend {
 public:
  explicit CountingBackend(std::atomic<int>& wakeUps) : wake_ups_(wakeUps) {}
  void WakeUp() override {
    ++wake_ups_;
    inner_.WakeUp();
  }
  bool WaitForWakeUp(uint32_t timeoutMs) override { return inner_.WaitForWakeUp(timeoutMs); }
  void Run(MainLoop& loop) override { inner_.Run(loop); }
  void Quit() override { inner_.Quit(); }

 private:
  std::atomic<int>& wake_ups_;
  kestrune::PlainLoopBackend inner_;
};

TEST(MainLoopTest, InstalledBackendIsWokenForQueuedWorkAndRunsTheLoop) {
  MainLoop loop;
  int served = 0;
  loop.Post([&] { ++served; });
  std::atomic<int> wakeUps{0};
  loop.SetBackend(std::make_unique<CountingBackend>(wakeUps));
  EXPECT_EQ(wakeUps.load(), 1) << "work queued before the switch must wake the new backend";
  // The pending wake-up is latched: the wait returns at once.
  EXPECT_TRUE(loop.Backend().WaitForWakeUp(0));
  EXPECT_FALSE(loop.Backend().WaitForWakeUp(0));

  std::thread worker([&] {
    loop.Post([&] { ++served; });
    loop.Terminate();
  });
  loop.Run();
  worker.join();
  EXPECT_EQ(served, 2);
  EXPECT_GE(wakeUps.load(), 3);  // the switch, the post, the terminate
}

TEST(MainLoopTest, ThreadCallWaitServesOnlyThreadCallsAndKeepsOrder) {
  MainLoop loop;
  std::vector<std::string> order;
  std::atomic<bool> done{false};
  std::thread worker([&] {
    loop.Post([&] { order.push_back("post1"); });
    loop.Queue(nullptr, [&] { order.push_back("queued"); });
    loop.Synchronize(nullptr, [&] { order.push_back("synchronized"); });
    loop.Post([&] { order.push_back("post2"); });
    done = true;
    loop.WakeUp();
  });
  loop.ServeThreadCallsUntil([&] { return done.load(); });
  worker.join();
  EXPECT_EQ(order, (std::vector<std::string>{"queued", "synchronized"}));
  // The posts kept their order and their wake-up.
  EXPECT_TRUE(loop.Backend().WaitForWakeUp(0));
  loop.ProcessMessages();
  EXPECT_EQ(order, (std::vector<std::string>{"queued", "synchronized", "post1", "post2"}));
}

}  // namespace
