// Free lists shared by threads: blocks made on one thread and given back on
// another are never handed to two holders at once. Also run under
// ThreadSanitizer.
#include "platform/rtl/FreeLists.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace {

constinit TFreeLists g_lists;

constexpr std::size_t kSizes[] = {40, 96, 144};

// Blocks in flight from the makers to the droppers.
class THandOver {
 public:
  void Put(std::uint64_t* block) {
    {
      std::lock_guard<std::mutex> guard(lock_);
      blocks_.push_back(block);
    }
    ready_.notify_one();
  }
  // nullptr once every maker is done and nothing is left.
  std::uint64_t* Take() {
    std::unique_lock<std::mutex> guard(lock_);
    ready_.wait(guard, [&] { return !blocks_.empty() || makers_ == 0; });
    if (blocks_.empty())
      return nullptr;
    std::uint64_t* block = blocks_.front();
    blocks_.pop_front();
    return block;
  }
  void MakerDone() {
    {
      std::lock_guard<std::mutex> guard(lock_);
      --makers_;
    }
    ready_.notify_all();
  }
  void SetMakers(int makers) { makers_ = makers; }

 private:
  std::mutex lock_;
  std::condition_variable ready_;
  std::deque<std::uint64_t*> blocks_;
  int makers_ = 0;
};

TEST(FreeListsThreaded, BlocksMadeOnOneThreadAndGivenBackOnAnotherStayPrivate) {
  constexpr int kMakers = 3;
  constexpr int kDroppers = 3;
  constexpr std::uint64_t kBlocksPerMaker = 4000;
  THandOver handOver;
  handOver.SetMakers(kMakers);
  std::vector<std::thread> threads;
  for (int m = 0; m < kMakers; ++m) {
    threads.emplace_back([&, m] {
      for (std::uint64_t i = 0; i < kBlocksPerMaker; ++i) {
        const std::size_t size = kSizes[i % 3];
        auto* block = static_cast<std::uint64_t*>(g_lists.Allocate(size));
        // The block's words carry its owner's stamp and its size.
        const std::uint64_t stamp = (static_cast<std::uint64_t>(m) << 32) | i;
        for (std::size_t w = 0; w < size / 8; ++w)
          block[w] = stamp;
        block[1] = size;
        handOver.Put(block);
      }
      handOver.MakerDone();
    });
  }
  std::atomic<int> torn{0};
  for (int d = 0; d < kDroppers; ++d) {
    threads.emplace_back([&] {
      while (std::uint64_t* block = handOver.Take()) {
        const std::size_t size = block[1];
        for (std::size_t w = 2; w < size / 8; ++w) {
          if (block[w] != block[0])
            torn.fetch_add(1);
        }
        g_lists.Deallocate(block, size);
      }
    });
  }
  for (std::thread& t : threads)
    t.join();
  EXPECT_EQ(torn.load(), 0);
  EXPECT_GT(g_lists.PooledCount(), 0u);
  g_lists.Release();
  EXPECT_EQ(g_lists.PooledCount(), 0u);
}

}  // namespace
