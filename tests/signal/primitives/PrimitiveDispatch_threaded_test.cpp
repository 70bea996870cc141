// First calls of one primitive on several threads at once: every thread runs
// the stub, all store the same variant, and every call computes its result.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "signal/primitives/TrelBasicDispatcher.h"

namespace {

TEST(DispatchThreadedTest, ConcurrentFirstCallsBindOnceAndComputeCorrectly) {
  constexpr int kThreads = 8;
  constexpr int kRounds = 50;
  for (int round = 0; round < kRounds; ++round) {
    VectorMulDoubleInPlace.ResetToStubForTesting();
    std::atomic<int> ready{0};
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
      threads.emplace_back([&, t] {
        const double src[3] = {2.0, 3.0, 4.0};
        double dst[3] = {1.0 * t, 2.0, 3.0};
        ready.fetch_add(1);
        while (ready.load() < kThreads) {
          std::this_thread::yield();
        }
        if (VectorMulDoubleInPlace(src, dst, 3) != StatusOk || dst[0] != 2.0 * t || dst[1] != 6.0 ||
            dst[2] != 12.0) {
          failures.fetch_add(1);
        }
      });
    }
    for (std::thread& thread : threads) {
      thread.join();
    }
    ASSERT_EQ(failures.load(), 0) << "round " << round;
    ASSERT_EQ(VectorMulDoubleInPlace.Target(), &VectorMulDoubleInPlacePortable);
  }
}

}  // namespace
