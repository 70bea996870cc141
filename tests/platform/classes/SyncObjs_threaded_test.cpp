// Events, semaphores, critical sections and thread ids.
#include "platform/classes/SyncObjs.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <ostream>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/rtl/SysUtils.h"

namespace {

using kestrune::WaitResult;

// ---------------------------------------------------------------------------
// Events on one thread: a script of operations per row.
//   S = SetEvent, R = ResetEvent, W+ = WaitFor(0) must signal, W- = must time out.

struct EventScript {
  const char* name;
  bool manualReset;
  bool initialState;
  const char* script;
};

void PrintTo(const EventScript& row, std::ostream* os) {
  *os << row.name;
}

class EventScriptTest : public ::testing::TestWithParam<EventScript> {};

TEST_P(EventScriptTest, FollowsScript) {
  const EventScript& row = GetParam();
  TEvent event(row.manualReset, row.initialState);
  std::istringstream ops(row.script);
  std::string op;
  int step = 0;
  while (ops >> op) {
    ++step;
    if (op == "S") {
      event.SetEvent();
    } else if (op == "R") {
      event.ResetEvent();
    } else {
      const WaitResult expected = op == "W+" ? WaitResult::Signaled : WaitResult::Timeout;
      EXPECT_EQ(event.WaitFor(0), expected) << "step " << step << " (" << op << ")";
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Latched, EventScriptTest,
    ::testing::Values(EventScript{"auto_set_before_wait_is_kept_for_one_wait", false, false,
                                  "S W+ W-"},
                      EventScript{"auto_sets_without_wait_count_once", false, false, "S S S W+ W-"},
                      EventScript{"auto_created_signalled", false, true, "W+ W-"},
                      EventScript{"auto_reset_drops_pending_set", false, false, "S R W-"},
                      EventScript{"manual_set_stays_for_every_wait", true, false, "S W+ W+ W+"},
                      EventScript{"manual_reset_clears", true, true, "W+ R W- S W+"},
                      EventScript{"manual_created_clear", true, false, "W-"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(EventTest, TimedWaitOnClearEventTimesOutNoEarlier) {
  for (bool manual : {false, true}) {
    TEvent event(manual, false);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(event.WaitFor(30), WaitResult::Timeout);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(30));
  }
}

// Events across threads: the script runs once every waiter is blocked; a set
// belongs to the threads blocked at that moment, whatever follows it. Then the
// main thread's own WaitFor(0) must give `afterwards`.
struct HandOff {
  const char* name;
  bool manualReset;
  int waiters;
  const char* script;  // S = SetEvent, R = ResetEvent
  WaitResult afterwards;
};

void PrintTo(const HandOff& row, std::ostream* os) {
  *os << row.name;
}

class EventHandOffTest : public ::testing::TestWithParam<HandOff> {};

TEST_P(EventHandOffTest, SetBelongsToTheThreadsAlreadyBlocked) {
  const HandOff& row = GetParam();
  TEvent event(row.manualReset, false);
  std::atomic<int> signaled{0};
  std::vector<std::thread> waiters;
  for (int i = 0; i < row.waiters; ++i) {
    // Bounded, so that a lost set fails the test instead of hanging it.
    waiters.emplace_back([&] {
      if (event.WaitFor(10000) == WaitResult::Signaled)
        ++signaled;
    });
  }
  while (event.BlockedWaiterCountForTesting() < static_cast<uint32_t>(row.waiters)) {
    std::this_thread::yield();
  }
  for (const char* op = row.script; *op != 0; ++op) {
    if (*op == 'S')
      event.SetEvent();
    if (*op == 'R')
      event.ResetEvent();
  }
  EXPECT_EQ(event.WaitFor(0), row.afterwards);
  for (auto& t : waiters)
    t.join();
  EXPECT_EQ(signaled.load(), row.waiters);
}

INSTANTIATE_TEST_SUITE_P(
    Blocked, EventHandOffTest,
    ::testing::Values(
        HandOff{"manual_set_then_reset_still_releases_all", true, 3, "SR", WaitResult::Timeout},
        HandOff{"auto_two_sets_release_two_waiters", false, 2, "SS", WaitResult::Timeout},
        HandOff{"auto_set_is_not_taken_by_a_later_wait", false, 1, "S", WaitResult::Timeout},
        HandOff{"auto_reset_cannot_take_back_a_handed_set", false, 1, "SR", WaitResult::Timeout},
        HandOff{"auto_set_beyond_the_waiters_is_latched", false, 2, "SSS", WaitResult::Signaled}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(EventTest, AutoSetReleasesExactlyOneWaiter) {
  TEvent event(false, false);
  std::atomic<int> released{0};
  std::vector<std::thread> waiters;
  for (int i = 0; i < 3; ++i) {
    waiters.emplace_back([&] {
      event.WaitFor(INFINITE);
      ++released;
    });
  }
  for (int set = 1; set <= 3; ++set) {
    event.SetEvent();
    while (released.load() < set)
      std::this_thread::yield();
    // No second waiter may leave on the same set.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(released.load(), set);
  }
  for (auto& t : waiters)
    t.join();
}

// ---------------------------------------------------------------------------
// Semaphores

TEST(SemaphoreTest, ReleaseBeyondMaximumFailsAndChangesNothing) {
  TSemaphore semaphore(0, 2);
  int32_t previous = -1;
  EXPECT_TRUE(semaphore.Release(1, &previous));
  EXPECT_EQ(previous, 0);
  EXPECT_FALSE(semaphore.Release(2));  // 1 + 2 > 2
  EXPECT_TRUE(semaphore.Release(1, &previous));
  EXPECT_EQ(previous, 1);
  EXPECT_FALSE(semaphore.Release(1));
  EXPECT_FALSE(semaphore.Release(0));
  EXPECT_FALSE(semaphore.Release(-1));
  // Exactly the two accepted units are there.
  EXPECT_EQ(semaphore.WaitFor(0), WaitResult::Signaled);
  EXPECT_EQ(semaphore.WaitFor(0), WaitResult::Signaled);
  EXPECT_EQ(semaphore.WaitFor(0), WaitResult::Timeout);
}

TEST(SemaphoreTest, BadCountsAreRefused) {
  struct Row {
    int32_t initial, maximum;
  };
  for (Row row : {Row{-1, 1}, Row{3, 2}, Row{0, 0}}) {
    EXPECT_THROW(TSemaphore(row.initial, row.maximum), EInvalidOperation)
        << row.initial << "/" << row.maximum;
  }
}

TEST(SemaphoreTest, EveryReleasedUnitIsTakenExactlyOnce) {
  // Two producers (single and triple releases) feed three consumers that each
  // take a fixed share: a lost unit hangs a consumer, a duplicated one is
  // left over at the end.
  TSemaphore semaphore(0, 1000000);
  std::vector<std::thread> threads;
  for (int c = 0; c < 3; ++c) {
    threads.emplace_back([&] {
      for (int i = 0; i < 1000; ++i)
        EXPECT_EQ(semaphore.WaitFor(INFINITE), WaitResult::Signaled);
    });
  }
  threads.emplace_back([&] {
    for (int i = 0; i < 1500; ++i)
      EXPECT_TRUE(semaphore.Release(1));
  });
  threads.emplace_back([&] {
    for (int i = 0; i < 500; ++i)
      EXPECT_TRUE(semaphore.Release(3));
  });
  for (auto& t : threads)
    t.join();
  EXPECT_EQ(semaphore.WaitFor(0), WaitResult::Timeout);
}

// ---------------------------------------------------------------------------
// Critical sections

TEST(CriticalSectionTest, ReentrantForTheHolderExclusiveForOthers) {
  TCriticalSection section;
  section.Enter();
  EXPECT_TRUE(section.TryEnter());  // the holder enters again
  auto tryFromOtherThread = [&] {
    bool entered = true;
    std::thread([&] {
      entered = section.TryEnter();
      if (entered)
        section.Leave();
    }).join();
    return entered;
  };
  EXPECT_FALSE(tryFromOtherThread());
  section.Leave();
  EXPECT_FALSE(tryFromOtherThread()) << "released after one Leave of two";
  section.Leave();
  EXPECT_TRUE(tryFromOtherThread());
}

TEST(CriticalSectionTest, GuardsACounterUnderContention) {
  TCriticalSection section;
  int64_t counter = 0;  // plain: only the section protects it
  std::vector<std::thread> threads;
  for (int t = 0; t < 6; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 5000; ++i) {
        kestrune::CriticalSectionGuard outer(section);
        kestrune::CriticalSectionGuard inner(section);
        ++counter;
      }
    });
  }
  for (auto& t : threads)
    t.join();
  EXPECT_EQ(counter, 6 * 5000);
}

// ---------------------------------------------------------------------------
// Thread ids

uint32_t Bucket(uint32_t id) {
  return ((id & 0xFF) ^ ((id >> 8) & 0xFF)) & 0xF;
}

// Runs `count` threads that all stay alive until each has read its id.
std::vector<uint32_t> IdsOfLiveThreads(int count) {
  std::vector<uint32_t> ids(static_cast<size_t>(count));
  std::atomic<int> ready{0};
  std::vector<std::thread> threads;
  for (int i = 0; i < count; ++i) {
    threads.emplace_back([&, i] {
      ids[static_cast<size_t>(i)] = GetCurrentThreadId();
      ++ready;
      while (ready.load() < count)
        std::this_thread::yield();
    });
  }
  for (auto& t : threads)
    t.join();
  return ids;
}

TEST(ThreadIdTest, NeverZeroAndDistinctAmongLiveThreads) {
  std::vector<uint32_t> ids = IdsOfLiveThreads(32);
  ids.push_back(GetCurrentThreadId());
  std::set<uint32_t> distinct(ids.begin(), ids.end());
  EXPECT_EQ(distinct.size(), ids.size());
  EXPECT_FALSE(distinct.contains(0u));
  EXPECT_EQ(GetCurrentThreadId(), ids.back()) << "stable on one thread";
}

TEST(ThreadIdTest, ForcedIdsPutSixteenThreadsInOneBucket) {
  std::vector<uint32_t> forced;
  for (uint32_t i = 0; i < 16; ++i)
    forced.push_back(0x7A000000u | (i << 8) | (i ^ 5u));
  kestrune::ForceNextThreadIds(forced);
  std::vector<uint32_t> ids = IdsOfLiveThreads(16);
  EXPECT_EQ(std::set<uint32_t>(ids.begin(), ids.end()),
            std::set<uint32_t>(forced.begin(), forced.end()));
  for (uint32_t id : ids)
    EXPECT_EQ(Bucket(id), 5u) << std::hex << id;
  // Ended threads gave their ids back: they may be forced again.
  EXPECT_NO_THROW(kestrune::ForceNextThreadIds({forced[0]}));
  EXPECT_EQ(IdsOfLiveThreads(1)[0], forced[0]);
}

TEST(ThreadIdTest, HookRefusesIdsThatCannotBeUnique) {
  const uint32_t mine = GetCurrentThreadId();
  const uint32_t fresh = 0x6B000001u;
  struct Row {
    const char* name;
    std::vector<uint32_t> ids;
  };
  for (const Row& row :
       {Row{"zero", {fresh, 0}}, Row{"twice", {fresh, fresh}}, Row{"live", {fresh, mine}}}) {
    EXPECT_THROW(kestrune::ForceNextThreadIds(row.ids), EThread) << row.name;
  }
  // Nothing of a refused list was kept.
  EXPECT_NE(IdsOfLiveThreads(1)[0], fresh);
  kestrune::ForceNextThreadIds({fresh});
  EXPECT_THROW(kestrune::ForceNextThreadIds({fresh}), EThread) << "already forced";
  EXPECT_EQ(IdsOfLiveThreads(1)[0], fresh);
}

// ---------------------------------------------------------------------------
// Interlocked operations

TEST(InterlockedTest, ResultsAndWrapAround) {
  int32_t value = 0x7FFFFFFF;
  EXPECT_EQ(InterlockedIncrement(value), static_cast<int32_t>(0x80000000u));
  EXPECT_EQ(InterlockedDecrement(value), 0x7FFFFFFF);
  EXPECT_EQ(InterlockedExchangeAdd(value, -65535), 0x7FFFFFFF);
  EXPECT_EQ(value, 0x7FFFFFFF - 65535);
  EXPECT_EQ(InterlockedCompareExchange(value, 5, 1), 0x7FFFFFFF - 65535) << "no match: kept";
  EXPECT_EQ(InterlockedCompareExchange(value, 5, 0x7FFFFFFF - 65535), 0x7FFFFFFF - 65535);
  EXPECT_EQ(InterlockedExchange(value, 9), 5);
  EXPECT_EQ(value, 9);

  int32_t shared = 0;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 10000; ++i) {
        InterlockedIncrement(shared);
        InterlockedExchangeAdd(shared, 2);
        InterlockedDecrement(shared);
      }
    });
  }
  for (auto& t : threads)
    t.join();
  EXPECT_EQ(shared, 4 * 10000 * 2);
}

}  // namespace
