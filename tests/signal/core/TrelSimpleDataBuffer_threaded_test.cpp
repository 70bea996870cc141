// Copy on write and the smart block store across threads (also run under
// ThreadSanitizer): a reader keeps its samples while a writer on a clone of
// the same block writes, and concurrent making and dropping of buffers loses
// no pooled block, nor frees a shared header more than once.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <latch>
#include <thread>
#include <vector>

#include "BufferUnitEnvironment.h"
#include "signal/core/TrelSimpleDataBuffer.h"
#include "signal/core/TrelSmartBufferManager.h"

namespace {

constexpr std::int32_t kSamples = 4096;

double Pattern(int round, std::int32_t i) {
  return round * 10000.0 + i;
}

TEST(BufferThreadsTest, AReaderKeepsItsSamplesWhileAWriterWritesAClone) {
  std::atomic<int> readerFaults{0};
  std::atomic<int> writerFaults{0};
  for (int round = 0; round < 200; ++round) {
    IPtr<ITrelRealBuffer> reading = TTrelRealBuffer::CreateCount(kSamples);
    double* fill = reading->GetReadData();
    for (std::int32_t i = 0; i < kSamples; ++i) {
      fill[i] = Pattern(round, i);
    }
    IPtr<ITrelRealBuffer> writing = Supports<ITrelRealBuffer>(reading->Clone());
    ASSERT_EQ(writing->GetData(), reading->GetData());

    std::latch start(2);
    // Each thread owns one buffer object and drops it itself: the last of the
    // two releases of the shared block may come from either thread.
    std::thread reader([&start, &readerFaults, round, mine = std::move(reading)]() mutable {
      start.arrive_and_wait();
      for (int pass = 0; pass < 4; ++pass) {
        const double* data = mine->GetData();
        for (std::int32_t i = 0; i < kSamples; ++i) {
          if (data[i] != Pattern(round, i)) {
            readerFaults.fetch_add(1);
            break;
          }
        }
      }
      mine.reset();
    });
    std::thread writer([&start, &writerFaults, round, mine = std::move(writing)]() mutable {
      start.arrive_and_wait();
      // Alternate the ways in: a kept copy, an overwrite, a resize.
      switch (round % 3) {
        case 0:
          mine->SetValue(0, -1.0);
          break;
        case 1:
          mine->Fill(-1.0);
          break;
        default:
          mine->SetCount(kSamples + 1, true);
          mine->SetValue(0, -1.0);
          break;
      }
      if (mine->GetValue(0) != -1.0 || (round % 3 != 1 && mine->GetValue(1) != Pattern(round, 1))) {
        writerFaults.fetch_add(1);
      }
      mine.reset();
    });
    reader.join();
    writer.join();
  }
  EXPECT_EQ(readerFaults.load(), 0);
  EXPECT_EQ(writerFaults.load(), 0);
}

TEST(BufferThreadsTest, ConcurrentBuffersLoseNoPooledBlock) {
  constexpr int kThreads = 4;
  std::latch start(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&start, t] {
      start.arrive_and_wait();
      for (int round = 0; round < 500; ++round) {
        const std::int32_t count = 64 << ((round + t) % 5);
        IPtr<ITrelRealBuffer> a = TTrelRealBuffer::CreateCount(count);
        a->Fill(t);
        IPtr<ITrelRealBuffer> b = Supports<ITrelRealBuffer>(a->Clone());
        b->SetValue(0, -t);  // copy on write
        IPtr<ITrelIntegerBuffer> c = TTrelIntegerBuffer::CreateCount(count / 2);
        c->Zero();
      }
    });
  }
  for (std::thread& thread : threads) {
    thread.join();
  }
  // Every block taken from the heap is back in a free list.
  TTrelSmartBufferManager* store = SmartBufferManager();
  EXPECT_EQ(static_cast<std::uint64_t>(store->PooledBlockCount()), store->HeapAllocationCount());
}

TEST(BufferThreadsTest, HoldersReleasingAtOnceFreeTheHeaderOnce) {
  constexpr int kThreads = 4;
  constexpr int kHoldsEach = 64;
  TTrelSmartBufferManager* store = SmartBufferManager();
  for (int round = 0; round < 200; ++round) {
    TTrelSmartMemoryBuffer* block = Create<TTrelSmartMemoryBuffer>(256u);
    // Every thread holds as a writer once and reads the rest of its holds.
    for (int t = 0; t < kThreads; ++t) {
      block->AddRef(true);
      for (int hold = 1; hold < kHoldsEach; ++hold) {
        block->AddRef(false);
      }
    }
    std::latch start(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
      threads.emplace_back([&start, block] {
        start.arrive_and_wait();
        block->Release(true);
        for (int hold = 1; hold < kHoldsEach; ++hold) {
          block->Release(false);
        }
      });
    }
    for (std::thread& thread : threads) {
      thread.join();
    }
  }
  // A header freed twice would sit twice in its free list; one never freed
  // would be missing from it.
  EXPECT_EQ(static_cast<std::uint64_t>(store->PooledBlockCount()), store->HeapAllocationCount());
}

}  // namespace
