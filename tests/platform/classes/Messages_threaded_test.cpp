// Message windows: posting from several threads, destroyed targets, raising
// handlers, handles, SendMessage and handler replacement.
#include "platform/classes/Messages.h"

#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/classes/MainLoop.h"
#include "platform/classes/SyncObjs.h"
#include "platform/rtl/SysUtils.h"

namespace {

using kestrune::MainLoop;

TEST(MessagesTest, PostsFromSeveralThreadsArriveOnceInOrderAndNeverAtADestroyedTarget) {
  constexpr int kThreads = 4;
  constexpr int kPerThread = 400;
  constexpr int kTotal = kThreads * kPerThread;
  constexpr UINT kMsg = WM_USER + 7;
  MainLoop loop;
  std::vector<std::string> central;
  loop.SetExceptionHandler(
      [&](std::exception_ptr e) { central.push_back(kestrune::ExceptionText(e)); });

  // Everything below is touched by handlers only, on the main thread.
  std::vector<std::vector<LPARAM>> received(kThreads);
  bool allOnMainThread = true;
  bool doomedDestroyed = false;
  int doomedCallsAfterDestroy = 0;
  int delivered = 0;

  HWND doomed = kestrune::CreateMessageWindow([&](TMessage&) {
    if (doomedDestroyed)
      ++doomedCallsAfterDestroy;
  });
  HWND target = kestrune::CreateMessageWindow([&](TMessage& m) {
    allOnMainThread = allOnMainThread && loop.IsMainThread();
    EXPECT_EQ(m.Msg, kMsg);
    received[m.WParam].push_back(m.LParam);
    if (++delivered == kTotal / 2) {
      kestrune::DestroyMessageWindow(doomed);
      doomedDestroyed = true;
    }
    if (delivered == kTotal)
      loop.Terminate();
    // Every 50th message raises after it was recorded: the loop must go on.
    if (m.LParam % 50 == 49)
      throw EListError(Format("Indice de liste hors limites (%d)", {m.LParam}));
  });

  std::atomic<int> postsRefused{0};
  std::vector<std::thread> posters;
  for (int t = 0; t < kThreads; ++t) {
    posters.emplace_back([&, t] {
      bool doomedRefused = false;
      for (int i = 0; i < kPerThread; ++i) {
        EXPECT_TRUE(PostMessage(target, kMsg, static_cast<WPARAM>(t), i));
        const bool accepted = PostMessage(doomed, kMsg, 0, 0);
        EXPECT_FALSE(doomedRefused && accepted) << "a destroyed window accepted a post";
        if (!accepted) {
          doomedRefused = true;
          ++postsRefused;
        }
      }
    });
  }
  loop.Run();
  for (auto& p : posters)
    p.join();
  loop.ProcessMessages();  // posts to `doomed` that came after the last target post

  EXPECT_TRUE(allOnMainThread);
  EXPECT_EQ(delivered, kTotal);
  for (int t = 0; t < kThreads; ++t) {
    ASSERT_EQ(received[t].size(), static_cast<size_t>(kPerThread)) << "thread " << t;
    for (int i = 0; i < kPerThread; ++i)
      ASSERT_EQ(received[t][i], i) << "thread " << t;
  }
  EXPECT_EQ(doomedCallsAfterDestroy, 0);
  EXPECT_FALSE(PostMessage(doomed, kMsg, 0, 0));
  EXPECT_EQ(central.size(), static_cast<size_t>(kTotal / 50));
  EXPECT_EQ(central.front(), "Indice de liste hors limites (49)");
  kestrune::DestroyMessageWindow(target);
}

TEST(MessagesTest, HandlesAreNeverReusedAndStaleHandlesReachNothing) {
  MainLoop loop;
  int calls = 0;
  std::set<HWND> seen;
  HWND stale{};
  for (int i = 0; i < 200; ++i) {
    HWND window = kestrune::CreateMessageWindow([&](TMessage&) { ++calls; });
    EXPECT_NE(window, HWND{});
    EXPECT_TRUE(seen.insert(window).second) << "handle reused";
    EXPECT_TRUE(kestrune::IsMessageWindow(window));
    EXPECT_TRUE(kestrune::DestroyMessageWindow(window));
    stale = window;
  }
  for (HWND window : {stale, HWND{}}) {
    EXPECT_FALSE(kestrune::IsMessageWindow(window));
    EXPECT_FALSE(PostMessage(window, WM_USER, 0, 0));
    EXPECT_EQ(SendMessage(window, WM_USER, 0, 0), 0);
    EXPECT_FALSE(kestrune::SetMessageHandler(window, [](TMessage&) {}));
    EXPECT_FALSE(kestrune::DestroyMessageWindow(window));
  }
  loop.ProcessMessages();
  EXPECT_EQ(calls, 0);
}

TEST(MessagesTest, ReplacedHandlerPassesOnWhatItDoesNotHandle) {
  // The pattern of a hidden form: keep the previous handler, take one message
  // number, hand the rest on.
  constexpr UINT kDeliver = 0xA00;
  MainLoop loop;
  std::vector<std::string> log;
  HWND window = kestrune::CreateMessageWindow([&](TMessage& m) {
    log.push_back("original " + std::to_string(m.Msg));
    m.Result = 11;
  });
  kestrune::MessageHandler saved;
  ASSERT_TRUE(kestrune::SetMessageHandler(
      window,
      [&](TMessage& m) {
        if (m.Msg != kDeliver) {
          saved(m);
          return;
        }
        log.push_back("deliver " + std::to_string(m.WParam));
        m.Result = 22;
      },
      &saved));

  EXPECT_EQ(SendMessage(window, kDeliver, 5, 0), 22);
  EXPECT_EQ(SendMessage(window, WM_USER, 0, 0), 11);
  EXPECT_TRUE(PostMessage(window, kDeliver, 6, 0));
  EXPECT_TRUE(PostMessage(window, WM_USER + 1, 0, 0));
  EXPECT_EQ(log.size(), 2u) << "a post ran before the loop served it";
  loop.ProcessMessages();
  EXPECT_EQ(log,
            (std::vector<std::string>{"deliver 5", "original 1024", "deliver 6", "original 1025"}));

  // SendMessage hands a handler's exception to its caller.
  ASSERT_TRUE(kestrune::SetMessageHandler(window, [](TMessage&) { throw EAbort("stop"); }));
  EXPECT_THROW(SendMessage(window, WM_USER, 0, 0), EAbort);
  kestrune::DestroyMessageWindow(window);
}

TEST(MessagesTest, WindowDestroyedByItsOwnHandlerGetsNoMoreMessages) {
  MainLoop loop;
  int calls = 0;
  HWND window{};
  window = kestrune::CreateMessageWindow([&](TMessage&) {
    ++calls;
    kestrune::DestroyMessageWindow(window);  // the running handler stays valid
    calls += 10;
  });
  for (int i = 0; i < 3; ++i)
    EXPECT_TRUE(PostMessage(window, WM_USER, 0, 0));
  loop.ProcessMessages();
  EXPECT_EQ(calls, 11);
}

TEST(MessagesWithoutLoopTest, PostNeedsALoop) {
  ASSERT_EQ(MainLoop::Current(), nullptr);
  HWND window = kestrune::CreateMessageWindow([](TMessage&) {});
  EXPECT_FALSE(PostMessage(window, WM_USER, 0, 0));
  kestrune::DestroyMessageWindow(window);
}

}  // namespace
