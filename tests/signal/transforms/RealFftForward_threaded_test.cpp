// One spec serving several threads at once, and the first call of the
// pointer variable made by several threads together.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

#include "signal/transforms/MoskDispatcher.h"

namespace {

TEST(RealFftForwardThreadedTest, ThreadsShareOneSpec) {
  constexpr int kThreads = 4;
  constexpr int kRounds = 20;
  for (const std::int32_t order : {8, 13}) {
    SCOPED_TRACE(order);
    const std::int64_t n = std::int64_t{1} << order;
    RealFftSpec* spec = nullptr;
    ASSERT_EQ(RealFftCreateSpec(&spec, order, kFftScaleForwardByN, 2), StatusOk);
    std::vector<std::vector<double>> inputs(kThreads);
    std::vector<std::vector<double>> expected(kThreads);
    std::mt19937 generator(5);
    std::uniform_real_distribution<double> value(-1.0, 1.0);
    for (int t = 0; t < kThreads; ++t) {
      inputs[t].resize(static_cast<std::size_t>(n));
      for (double& v : inputs[t]) {
        v = value(generator);
      }
      expected[t].resize(static_cast<std::size_t>(n + 2));
      ASSERT_EQ(RealFftForward(inputs[t].data(), expected[t].data(), spec, nullptr), StatusOk);
    }

    // Start every thread's first call at once through an unbound variable.
    RealFftForward.ResetToStubForTesting();
    std::vector<int> mismatches(kThreads, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
      threads.emplace_back([&, t] {
        std::vector<double> out(static_cast<std::size_t>(n + 2));
        for (int round = 0; round < kRounds; ++round) {
          if (RealFftForward(inputs[t].data(), out.data(), spec, nullptr) != StatusOk ||
              std::memcmp(out.data(), expected[t].data(), out.size() * sizeof(double)) != 0) {
            ++mismatches[t];
          }
        }
      });
    }
    for (std::thread& thread : threads) {
      thread.join();
    }
    for (int t = 0; t < kThreads; ++t) {
      EXPECT_EQ(mismatches[t], 0) << "thread " << t;
    }
    EXPECT_EQ(RealFftForward.Target(), &RealFftForwardPortable);
    EXPECT_EQ(RealFftFreeSpec(spec), StatusOk);
  }
}

}  // namespace
