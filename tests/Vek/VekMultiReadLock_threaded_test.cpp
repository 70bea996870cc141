// The re-entrant reader/writer lock: readers together, writers alone,
// re-entrance, upgrade, writer priority without deadlock for nested readers,
// the per-thread table under bucket collisions, and destruction.
#include "Vek/VekMultiReadLock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "platform/classes/SyncObjs.h"
#include "platform/rtl/SysUtils.h"

namespace {

using namespace std::chrono_literals;
using Lock = TVekMultiReadExclusiveWriteSynchronizer;

class VekMultiReadLockTest : public ::testing::Test {
 protected:
  void SetUp() override { lock_ = Create<Lock>(); }
  void TearDown() override {
    if (lock_ != nullptr)
      lock_->Free();
  }
  Lock* lock_ = nullptr;
};

// Waits (briefly, polling) until `cond` holds; false if it never does.
template <class Cond>
bool Eventually(Cond cond) {
  for (int i = 0; i < 2000; ++i) {
    if (cond())
      return true;
    std::this_thread::sleep_for(1ms);
  }
  return false;
}

TEST_F(VekMultiReadLockTest, ReadersHoldTheLockTogether) {
  constexpr int kReaders = 4;
  std::atomic<int> inside{0};
  std::atomic<bool> release{false};
  std::vector<std::thread> threads;
  for (int i = 0; i < kReaders; ++i) {
    threads.emplace_back([&] {
      lock_->BeginRead();
      ++inside;
      while (!release)
        std::this_thread::sleep_for(1ms);
      lock_->EndRead();
    });
  }
  EXPECT_TRUE(Eventually([&] { return inside == kReaders; }));
  EXPECT_EQ(lock_->SentinelValue(), Lock::SentinelFree - kReaders);
  release = true;
  for (auto& t : threads)
    t.join();
  EXPECT_EQ(lock_->SentinelValue(), Lock::SentinelFree);
}

TEST_F(VekMultiReadLockTest, WriterExcludesReadersUntilItsLastLevelEnds) {
  lock_->BeginWrite();
  lock_->BeginWrite();  // nested write level
  std::atomic<bool> readerIn{false};
  std::thread reader([&] {
    lock_->BeginRead();
    readerIn = true;
    lock_->EndRead();
  });
  std::this_thread::sleep_for(30ms);
  EXPECT_FALSE(readerIn);
  lock_->EndWrite();
  std::this_thread::sleep_for(30ms);
  EXPECT_FALSE(readerIn) << "the reader got in while a write level was still held";
  lock_->EndWrite();
  reader.join();
  EXPECT_TRUE(readerIn);
  EXPECT_EQ(lock_->SentinelValue(), Lock::SentinelFree);
}

TEST_F(VekMultiReadLockTest, WritersExcludeEachOther) {
  std::atomic<int> writers{0};
  std::atomic<int> overlaps{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 200; ++i) {
        lock_->BeginWrite();
        if (++writers != 1)
          ++overlaps;
        --writers;
        lock_->EndWrite();
        lock_->BeginRead();
        if (writers != 0)
          ++overlaps;
        lock_->EndRead();
      }
    });
  }
  for (auto& t : threads)
    t.join();
  EXPECT_EQ(overlaps, 0);
  EXPECT_EQ(lock_->SentinelValue(), Lock::SentinelFree);
}

TEST_F(VekMultiReadLockTest, ReadsInsideTheWritersOwnWriteLeaveTheSentinelAlone) {
  lock_->BeginWrite();
  const int32_t held = lock_->SentinelValue();
  EXPECT_EQ(held, 0);
  lock_->BeginRead();
  lock_->BeginRead();
  EXPECT_EQ(lock_->SentinelValue(), held);
  lock_->EndRead();
  lock_->EndRead();
  EXPECT_EQ(lock_->SentinelValue(), held);
  lock_->EndWrite();
  EXPECT_EQ(lock_->SentinelValue(), Lock::SentinelFree);
}

TEST_F(VekMultiReadLockTest, ReaderUpgradesAtOnceAndKeepsItsReadLock) {
  lock_->BeginRead();
  lock_->BeginRead();
  lock_->BeginWrite();
  EXPECT_TRUE(lock_->IsWriter());
  EXPECT_EQ(lock_->SentinelValue(), -1);
  lock_->EndWrite();
  EXPECT_EQ(lock_->SentinelValue(), Lock::SentinelFree - 1);
  EXPECT_EQ(lock_->ReadDepth(), 2u);
  lock_->EndRead();
  lock_->EndRead();
  EXPECT_EQ(lock_->SentinelValue(), Lock::SentinelFree);
}

TEST_F(VekMultiReadLockTest, UpgradeWaitsForTheOtherReaders) {
  std::atomic<bool> otherIn{false};
  std::atomic<bool> otherRelease{false};
  std::thread other([&] {
    lock_->BeginRead();
    otherIn = true;
    while (!otherRelease)
      std::this_thread::sleep_for(1ms);
    lock_->EndRead();
  });
  ASSERT_TRUE(Eventually([&] { return otherIn.load(); }));
  lock_->BeginRead();
  std::atomic<bool> upgraded{false};
  std::thread releaseLater([&] {
    std::this_thread::sleep_for(30ms);
    EXPECT_FALSE(upgraded);
    otherRelease = true;
  });
  lock_->BeginWrite();
  upgraded = true;
  lock_->EndWrite();
  lock_->EndRead();
  releaseLater.join();
  other.join();
  EXPECT_EQ(lock_->SentinelValue(), Lock::SentinelFree);
}

TEST_F(VekMultiReadLockTest, NestedReaderDoesNotWaitBehindAPendingWriter) {
  lock_->BeginRead();
  std::atomic<bool> writerDone{false};
  std::thread writer([&] {
    lock_->BeginWrite();
    writerDone = true;
    lock_->EndWrite();
  });
  // Give the writer time to become pending (readers blocked).
  std::this_thread::sleep_for(30ms);
  EXPECT_FALSE(writerDone);
  lock_->BeginRead();  // nested: must not wait
  lock_->EndRead();
  EXPECT_FALSE(writerDone);
  lock_->EndRead();
  writer.join();
  EXPECT_TRUE(writerDone);
  EXPECT_EQ(lock_->SentinelValue(), Lock::SentinelFree);
}

TEST_F(VekMultiReadLockTest, SixteenThreadsInOneBucketGetRecordsOfTheirOwn) {
  constexpr int kThreads = 16;
  // Ids whose low byte equals their second byte fall into bucket 0.
  std::vector<uint32_t> ids;
  for (uint32_t k = 1; k <= kThreads; ++k)
    ids.push_back((0x7A00u + k) << 16 | 0x0505u);
  for (uint32_t id : ids)
    ASSERT_EQ(TVekThreadLocalCounter::HashIndex(id), 0);
  kestrune::ForceNextThreadIds(ids);
  std::atomic<int> inside{0};
  std::atomic<bool> release{false};
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i) {
    threads.emplace_back([&] {
      lock_->BeginRead();
      lock_->BeginRead();
      ++inside;
      while (!release)
        std::this_thread::sleep_for(1ms);
      lock_->EndRead();
      lock_->EndRead();
    });
  }
  ASSERT_TRUE(Eventually([&] { return inside == kThreads; }));
  EXPECT_EQ(lock_->SentinelValue(), Lock::SentinelFree - kThreads);
  release = true;
  for (auto& t : threads)
    t.join();
  EXPECT_EQ(lock_->SentinelValue(), Lock::SentinelFree);
}

// A thread that only asks its read depth holds nothing, so it must leave no
// claimed record behind: threads that ask and end would otherwise fill the
// table with records nobody frees.
TEST_F(VekMultiReadLockTest, AskingTheReadDepthClaimsNoRecord) {
  EXPECT_EQ(lock_->ReadDepth(), 0u);
  std::vector<std::thread> askers;
  for (int i = 0; i < 4; ++i)
    askers.emplace_back([this] { EXPECT_EQ(lock_->ReadDepth(), 0u); });
  for (auto& t : askers)
    t.join();
  EXPECT_EQ(lock_->ThreadRecordCount(), 0);

  lock_->BeginRead();
  EXPECT_EQ(lock_->ReadDepth(), 1u);
  EXPECT_EQ(lock_->ThreadRecordCount(), 1);
  lock_->EndRead();
  EXPECT_EQ(lock_->ReadDepth(), 0u);
  EXPECT_EQ(lock_->ThreadRecordCount(), 1);  // the freed record stays for reuse
}

TEST(VekThreadLocalCounterTest, RecordsAreRecycledWithinTheirBucket) {
  TVekThreadLocalCounter counter;
  std::vector<uint32_t> ids = {0x11110606u, 0x22220606u};
  kestrune::ForceNextThreadIds(ids);
  std::thread a([&] { counter.Delete(counter.Open()); });
  a.join();
  std::thread b([&] { counter.Open(); });
  b.join();
  EXPECT_EQ(counter.ChainLength(0), 1) << "the freed record was not reused";
}

TEST_F(VekMultiReadLockTest, EndWriteByAnotherThreadRaisesAndChangesNothing) {
  lock_->BeginWrite();
  std::thread other([&] { EXPECT_THROW(lock_->EndWrite(), EAssertionFailed); });
  other.join();
  EXPECT_TRUE(lock_->IsWriter());
  EXPECT_EQ(lock_->SentinelValue(), 0);
  lock_->EndWrite();
  EXPECT_EQ(lock_->SentinelValue(), Lock::SentinelFree);
}

TEST_F(VekMultiReadLockTest, DestroyingWaitsForTheHolder) {
  std::atomic<bool> holding{false};
  std::atomic<bool> released{false};
  Lock* lock = std::exchange(lock_, nullptr);
  std::thread holder([&] {
    lock->BeginRead();
    holding = true;
    std::this_thread::sleep_for(50ms);
    released = true;
    lock->EndRead();
  });
  ASSERT_TRUE(Eventually([&] { return holding.load(); }));
  lock->Free();
  EXPECT_TRUE(released);
  holder.join();
}

using VekMultiReadLockDeathTest = VekMultiReadLockTest;

TEST_F(VekMultiReadLockDeathTest, OutOfOrderReleaseIsAUsageError) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(
      {
        lock_->BeginRead();
        lock_->BeginWrite();
        lock_->EndRead();  // the read taken before the write, released first
      },
      "read lock taken before the write lock");
  EXPECT_DEATH(
      {
        lock_->BeginWrite();
        lock_->BeginRead();
        lock_->EndWrite();  // the write ended under a read taken inside it
      },
      "read locks taken inside the write lock");
}

}  // namespace
