// Linking from the source side while another thread pushes through joined
// lock groups.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <random>
#include <thread>

#include "Vek/VekPins.h"
#include "tests/Vek/VekTestFixtures.h"

namespace {

using namespace std::chrono_literals;
using namespace vektest;

// Ends the program when the scope has not been left long after it should
// have been: threads caught in a deadlock wait for ever, and joining them
// would hang the test run instead of failing it.
class HangGuard {
 public:
  explicit HangGuard(const char* what)
      : thread_([this, what] {
          std::unique_lock<std::mutex> lock(mutex_);
          if (!done_signal_.wait_for(lock, 60s, [this] { return done_; })) {
            std::fprintf(stderr, "deadlock: %s never finished\n", what);
            std::_Exit(EXIT_FAILURE);
          }
        }) {}
  ~HangGuard() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      done_ = true;
    }
    done_signal_.notify_all();
    thread_.join();
  }
  HangGuard(const HangGuard&) = delete;
  HangGuard& operator=(const HangGuard&) = delete;

 private:
  std::mutex mutex_;
  std::condition_variable done_signal_;
  bool done_ = false;
  std::thread thread_;
};

// A → B → sinks, A and B pass-throughs whose pins share one lock group per
// component, A's state pin in A's group too. One thread pushes into A the
// whole time, as the capture thread does; the test thread relinks B's
// output: links to a sink, state links to A's state pin, a sink chosen at
// random dropped and linked again. The link checks walk upstream into A's
// group while the pusher holds A's group and waits for B's.
TEST(VekSourcePinThreadedTest, LinkingFromTheSourceSideWhileAPushHoldsTheUpstreamGroup) {
  StartFramework();
  auto* form = Create<TTestForm>(nullptr);
  form->SetName("fmRelink");
  auto* a = Create<TTestComponent>(form);
  a->SetName("A");
  a->MakePassThrough();
  a->StatePin->AddLockLink(a->InputPin);
  auto* b = Create<TTestComponent>(form);
  b->SetName("B");
  b->MakePassThrough();
  ASSERT_TRUE(b->InputPin->Connect(a->OutputPin));
  constexpr int kSinks = 4;
  TTestComponent* sinks[kSinks];
  std::atomic<int> received{0};
  for (int i = 0; i < kSinks; ++i) {
    sinks[i] = Create<TTestComponent>(form);
    sinks[i]->SetName("S" + std::to_string(i));
    CountArrivals(sinks[i]->InputPin, received);
  }
  TTestPusher pusher(a->OutputPin);

  int refused = 0;
  {
    HangGuard guard("relinking from the source side");
    std::mt19937 random(12);
    // At least 400 changes, and on until the pusher has got through often
    // and reached a sink (a loaded machine may starve it at first).
    auto pushedEnough = [&] { return pusher.Pushes() >= 400 && received.load() > 0; };
    for (int i = 0; i < 400 || (!pushedEnough() && i < 200000); ++i) {
      TTestComponent* sink = sinks[random() % kSinks];
      switch (random() % 4) {
        case 0:
          refused += !b->OutputPin->Connect(sink->InputPin);
          break;
        case 1:
          sink->InputPin->Connect(nullptr);
          refused += !b->OutputPin->Connect(sink->InputPin);
          break;
        case 2:
          b->OutputPin->ConnectState(a->StatePin);
          refused += !b->OutputPin->IsJoinedWith(a->StatePin);
          break;
        default:
          a->StatePin->DisconnectAll();
          break;
      }
      if (i % 64 == 63)
        b->OutputPin->DisconnectAll();
    }
  }
  pusher.Stop();
  EXPECT_EQ(refused, 0) << "a link the graph allows was refused";
  EXPECT_GT(received.load(), 0) << "no push reached a sink";
  EXPECT_EQ(GlobalLock->SentinelValue(), TVekGlobalLockObject::SentinelFree);
  form->Free();
}

}  // namespace
