// Main-thread notification: posts from other threads reach the main thread
// once each, also under load; nothing reaches a freed notifier, nor a new
// one at its address; a raising callback leaves no lock held and reaches the
// central handler; the shared window's life; the unit's shutdown and its
// outstanding notifications.
#include "signal/core/TrelMainThreadNotify.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "Vek/VekLocks.h"
#include "Vek/VekPins.h"
#include "platform/classes/MainLoop.h"

namespace {

using kestrune::MainLoop;

// Receives a notifier's callbacks. Touched only on the main thread.
struct Recorder {
  void OnNotify(TObject* sender) {
    senders.push_back(sender);
    onMainThread = onMainThread && MainLoop::Current()->IsMainThread();
    readDepths.push_back(GlobalLock->ReadDepth());
    if (action)
      action(sender);
  }
  TNotifyEvent Event() { return TNotifyEvent(this, &Recorder::OnNotify); }
  int Calls() const { return static_cast<int>(senders.size()); }

  std::vector<TObject*> senders;
  std::vector<uint32_t> readDepths;
  bool onMainThread = true;
  std::function<void(TObject*)> action;
};

// What the central handler saw of an exception and of the global lock.
struct CentralRecord {
  std::string text;
  uint32_t readDepth;
  bool writer;
  int32_t sentinel;
};

class MainThreadNotifyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    VekPinsUnit.Initialize();
    TrelMainThreadNotifyUnit.Initialize();
    loop.SetExceptionHandler([this](std::exception_ptr e) {
      central.push_back({kestrune::ExceptionText(e), GlobalLock->ReadDepth(),
                         GlobalLock->IsWriter(), GlobalLock->SentinelValue()});
    });
  }
  void TearDown() override {
    EXPECT_EQ(NotifierCount(), 0) << "a test left a notifier alive";
    TrelMainThreadNotifyUnit.Finalize();
    VekPinsUnit.Finalize();
  }

  static TTrelMainThreadNotify* MakeNotifier(Recorder& recorder) {
    return Create<TTrelMainThreadNotify>(recorder.Event());
  }
  // Posts `times` times from a thread of its own, and waits for that thread.
  static void PostFromAnotherThread(TTrelMainThreadNotify* notifier, int times = 1) {
    std::thread poster([notifier, times] {
      for (int i = 0; i < times; ++i)
        notifier->Post();
    });
    poster.join();
  }

  MainLoop loop;
  std::vector<CentralRecord> central;
};

TEST_F(MainThreadNotifyTest, APostFromAnotherThreadRunsTheCallbackOnceOnTheMainThread) {
  Recorder recorder;
  TTrelMainThreadNotify* notifier = MakeNotifier(recorder);
  {
    // A post never waits, not even while the main thread changes the graph.
    TVekGlobalWriteLockSection relinking;
    PostFromAnotherThread(notifier);
  }
  PostFromAnotherThread(notifier);
  EXPECT_EQ(recorder.Calls(), 0) << "nothing runs before the main loop serves";
  EXPECT_EQ(OutstandingNotifications(), 2);

  loop.ProcessMessages();
  EXPECT_EQ(recorder.senders, (std::vector<TObject*>{notifier, notifier}));
  EXPECT_TRUE(recorder.onMainThread);
  for (uint32_t depth : recorder.readDepths)
    EXPECT_GE(depth, 1u) << "the callback runs inside the global read section";
  EXPECT_EQ(GlobalLock->ReadDepth(), 0u);
  EXPECT_EQ(OutstandingNotifications(), 0);

  loop.ProcessMessages();
  EXPECT_EQ(recorder.Calls(), 2) << "each post is delivered once";
  FreeAndNil(notifier);
}

TEST_F(MainThreadNotifyTest, PostsFromSeveralThreadsUnderLoadAreEachDeliveredOnce) {
  constexpr int kNotifiers = 3;
  constexpr int kPosters = 4;
  constexpr int kPostsPerThread = 600;
  Recorder recorders[kNotifiers];
  TTrelMainThreadNotify* notifiers[kNotifiers];
  std::map<TObject*, int> expected;
  for (int n = 0; n < kNotifiers; ++n)
    notifiers[n] = MakeNotifier(recorders[n]);
  for (int t = 0; t < kPosters; ++t) {
    for (int i = 0; i < kPostsPerThread; ++i)
      ++expected[notifiers[(t + i) % kNotifiers]];
  }
  // Now and then a delivery makes and frees another notifier: the notifier
  // list changes under the write section while pushes hold read sections.
  int deliveries = 0;
  Recorder spareRecorder;
  for (Recorder& r : recorders) {
    r.action = [&](TObject*) {
      if (++deliveries % 97 == 0)
        MakeNotifier(spareRecorder)->Free();
    };
  }

  std::atomic<bool> pushing{true};
  std::thread pusher([&] {
    while (pushing.load())
      TVekGlobalReadLockSection push;  // a push's hold on the graph
  });
  std::vector<std::thread> posters;
  for (int t = 0; t < kPosters; ++t) {
    posters.emplace_back([&, t] {
      for (int i = 0; i < kPostsPerThread; ++i)
        notifiers[(t + i) % kNotifiers]->Post();
    });
  }
  std::thread coordinator([&] {
    for (auto& p : posters)
      p.join();
    pushing.store(false);
    pusher.join();
    loop.Terminate();  // Run serves every post made before this
  });
  loop.Run();
  coordinator.join();

  for (int n = 0; n < kNotifiers; ++n) {
    SCOPED_TRACE(n);
    EXPECT_EQ(recorders[n].Calls(), expected[notifiers[n]]);
    EXPECT_TRUE(recorders[n].onMainThread);
    for (TObject* sender : recorders[n].senders)
      ASSERT_EQ(sender, notifiers[n]) << "delivered to the wrong notifier";
  }
  EXPECT_EQ(spareRecorder.Calls(), 0);
  EXPECT_EQ(OutstandingNotifications(), 0);
  for (TTrelMainThreadNotify*& n : notifiers)
    FreeAndNil(n);
}

TEST_F(MainThreadNotifyTest, NothingIsDeliveredAfterItsNotifierIsFreed) {
  struct Row {
    const char* name;
    bool keepWindow;      // another notifier keeps the shared window alive
    bool reuseAddress;    // a new notifier is made at the freed one's address
    bool freeInCallback;  // the first delivery frees the notifier
  };
  const Row rows[] = {
      {"freed with posts pending, the window kept by another", true, false, false},
      {"freed with posts pending, a new notifier at its address", true, true, false},
      {"the last notifier freed with posts pending: its window goes", false, false, false},
      {"freed by its own callback with more posts queued", true, false, true},
      {"the last notifier freed by its own callback", false, false, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Recorder keeperRecorder, doomedRecorder, newcomerRecorder;
    TTrelMainThreadNotify* keeper = row.keepWindow ? MakeNotifier(keeperRecorder) : nullptr;
    TTrelMainThreadNotify* doomed = MakeNotifier(doomedRecorder);
    const void* doomedAddress = doomed;
    const HWND window = GetNotifyWindow();
    PostFromAnotherThread(doomed, 3);

    if (row.freeInCallback)
      doomedRecorder.action = [&](TObject*) { FreeAndNil(doomed); };
    else
      FreeAndNil(doomed);
    TTrelMainThreadNotify* newcomer = nullptr;
    if (row.reuseAddress) {
      // The allocator usually hands the freed block straight back; try a few
      // times, keeping the misses until one lands there.
      std::vector<TTrelMainThreadNotify*> misses;
      for (int i = 0; i < 64 && newcomer == nullptr; ++i) {
        TTrelMainThreadNotify* candidate = MakeNotifier(newcomerRecorder);
        if (candidate == doomedAddress)
          newcomer = candidate;
        else
          misses.push_back(candidate);
      }
      for (TTrelMainThreadNotify* miss : misses)
        miss->Free();
      if (newcomer == nullptr) {
        std::printf("note: no notifier was made at the freed address\n");
        newcomer = MakeNotifier(newcomerRecorder);
      }
    }

    loop.ProcessMessages();
    EXPECT_EQ(doomedRecorder.Calls(), row.freeInCallback ? 1 : 0);
    EXPECT_EQ(doomed, nullptr);
    EXPECT_EQ(newcomerRecorder.Calls(), 0);
    EXPECT_EQ(keeperRecorder.Calls(), 0);
    EXPECT_EQ(OutstandingNotifications(), 0);
    EXPECT_EQ(kestrune::IsMessageWindow(window), keeper != nullptr || newcomer != nullptr);
    if (newcomer != nullptr) {
      PostFromAnotherThread(newcomer);
      loop.ProcessMessages();
      EXPECT_EQ(newcomerRecorder.Calls(), 1) << "the newcomer gets its own posts";
    }
    FreeAndNil(newcomer);
    FreeAndNil(keeper);
  }
}

TEST_F(MainThreadNotifyTest, NotifiersShareOneWindowThatGoesWithTheLast) {
  Recorder ra, rb, rc;
  EXPECT_EQ(GetNotifyWindow(), HWND{});
  TTrelMainThreadNotify* a = MakeNotifier(ra);
  TTrelMainThreadNotify* b = MakeNotifier(rb);
  const HWND shared = GetNotifyWindow();
  ASSERT_NE(shared, HWND{});
  EXPECT_TRUE(kestrune::IsMessageWindow(shared));
  EXPECT_EQ(NotifierCount(), 2);
  EXPECT_NE(a->Serial(), b->Serial());

  FreeAndNil(a);
  EXPECT_EQ(GetNotifyWindow(), shared);
  EXPECT_TRUE(kestrune::IsMessageWindow(shared));
  FreeAndNil(b);
  EXPECT_EQ(GetNotifyWindow(), HWND{});
  EXPECT_FALSE(kestrune::IsMessageWindow(shared));

  TTrelMainThreadNotify* c = MakeNotifier(rc);
  EXPECT_NE(GetNotifyWindow(), HWND{});
  EXPECT_NE(GetNotifyWindow(), shared);
  PostFromAnotherThread(c);
  loop.ProcessMessages();
  EXPECT_EQ(rc.Calls(), 1);
  FreeAndNil(c);
}

TEST_F(MainThreadNotifyTest, OnlyTheNotificationMessageDeliversOthersGoToTheFormsHandler) {
  Recorder recorder;
  TTrelMainThreadNotify* notifier = MakeNotifier(recorder);
  const WPARAM serial = static_cast<WPARAM>(notifier->Serial());
  SendMessage(GetNotifyWindow(), WM_USER + 1, serial, 0);
  SendMessage(GetNotifyWindow(), NotifyMessageId - 1, serial, 0);
  EXPECT_EQ(recorder.Calls(), 0);
  // A notification sent by other means delivers but was never counted.
  SendMessage(GetNotifyWindow(), NotifyMessageId, serial, 0);
  EXPECT_EQ(recorder.Calls(), 1);
  EXPECT_EQ(OutstandingNotifications(), 0);
  FreeAndNil(notifier);
}

TEST_F(MainThreadNotifyTest, ARaisingCallbackReachesTheCentralHandlerWithNoLockHeld) {
  Recorder recorder;
  recorder.action = [&](TObject*) {
    if (recorder.Calls() == 1)
      throw EListError("Indice de liste hors limites (7)");
  };
  TTrelMainThreadNotify* notifier = MakeNotifier(recorder);
  PostFromAnotherThread(notifier, 2);
  loop.ProcessMessages();

  ASSERT_EQ(central.size(), 1u);
  EXPECT_EQ(central[0].text, "Indice de liste hors limites (7)");
  ASSERT_EQ(central[0].readDepth, 0u) << "the read section was still held";
  EXPECT_FALSE(central[0].writer);
  EXPECT_EQ(central[0].sentinel, TVekMultiReadExclusiveWriteSynchronizer::SentinelFree);
  EXPECT_EQ(recorder.Calls(), 2) << "the next post is delivered as usual";
  // Another thread can change the graph at once (it would wait forever for
  // a read section left behind).
  std::thread([] { TVekGlobalWriteLockSection relink; }).join();
  FreeAndNil(notifier);
}

TEST_F(MainThreadNotifyTest, ShutdownWaitsUntilNoNotificationIsOutstanding) {
  struct Row {
    const char* name;
    bool freeFirst;
    int expectedCalls;
  };
  const Row rows[] = {
      {"a live notifier's pending posts are delivered before shutdown ends", false, 3},
      {"posts dropped with the window are not waited for", true, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Recorder recorder;
    TTrelMainThreadNotify* notifier = MakeNotifier(recorder);
    PostFromAnotherThread(notifier, 3);
    if (row.freeFirst)
      FreeAndNil(notifier);
    ASSERT_EQ(OutstandingNotifications(), row.freeFirst ? 0 : 3);

    TrelMainThreadNotifyUnit.Finalize();  // returns only once nothing is outstanding
    EXPECT_EQ(OutstandingNotifications(), 0);
    EXPECT_EQ(recorder.Calls(), row.expectedCalls);
    EXPECT_EQ(ClockGenList, nullptr);  // the unit's list goes with the unit
    TrelMainThreadNotifyUnit.Initialize();
    ASSERT_NE(ClockGenList, nullptr);
    EXPECT_EQ(ClockGenList->List()->Count(), 0);
    EXPECT_FALSE(ClockGenList->List()->OwnsObjects());
    FreeAndNil(notifier);
  }
}

}  // namespace
