// One spec serving several threads at once, and the first call of the
// pointer variable made by several threads together.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

#include "signal/transforms/MoskDispatcher.h"
#include "signal/transforms/fft/RealFftSpec.h"

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

// Each letter's spec shared by four threads, each with work space of its own
// (a caller's buffer, or none so that every call allocates its own), at an
// order of the radix-4 transform and one of the split levels of every
// letter; every result equals the one-thread result bit for bit.
TEST(RealFftForwardThreadedTest, EveryLetterSharesOneSpec) {
  constexpr int kThreads = 4;
  constexpr int kRounds = 8;
  for (const PrimitiveVariant letter : {PrimitiveVariant::Portable, PrimitiveVariant::A,
                                        PrimitiveVariant::B, PrimitiveVariant::C}) {
    if (!CpuSupportsVariant(letter)) {
      continue;  // the processor lacks the letter
    }
    auto* const create = RealFftCreateSpec.Variant(letter);
    auto* const forward = RealFftForward.Variant(letter);
    auto* const release = RealFftFreeSpec.Variant(letter);
    for (const std::int32_t order : {9, 16}) {
      SCOPED_TRACE(order);
      const std::int64_t n = std::int64_t{1} << order;
      RealFftSpec* spec = nullptr;
      ASSERT_EQ(create(&spec, order, kFftScaleBySqrtN, 2), StatusOk);
      std::vector<double> input(static_cast<std::size_t>(n));
      std::mt19937 generator(9);
      std::uniform_real_distribution<double> value(-1.0, 1.0);
      for (double& v : input) {
        v = value(generator);
      }
      std::vector<double> expected(static_cast<std::size_t>(n + 2));
      ASSERT_EQ(forward(input.data(), expected.data(), spec, nullptr), StatusOk);
      const std::size_t workBytes = static_cast<std::size_t>(spec->workBytes) + 16;
      std::vector<int> mismatches(kThreads, 0);
      std::vector<std::thread> threads;
      for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
          std::vector<std::uint8_t> work(workBytes);
          std::vector<double> out(static_cast<std::size_t>(n + 2));
          for (int round = 0; round < kRounds; ++round) {
            std::uint8_t* buffer = (t % 2 == 0) ? work.data() : nullptr;
            if (forward(input.data(), out.data(), spec, buffer) != StatusOk ||
                std::memcmp(out.data(), expected.data(), out.size() * sizeof(double)) != 0) {
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
      EXPECT_EQ(release(spec), StatusOk);
    }
  }
}

}  // namespace
