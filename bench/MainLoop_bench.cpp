// Latency of a post to the main thread: a worker posts a window message, the
// main thread (blocked in its backend's wait) wakes up, dispatches it, and the
// handler notes the time. Measured: post call to handler start.
//
// The benchmark thread plays the main thread, as it must for Qt's loop: it
// creates the loop and serves; a worker posts one message per iteration.
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "platform/classes/MainLoop.h"
#include "platform/classes/SyncObjs.h"
#include "platform/win/Messages.h"

namespace {

using Clock = std::chrono::steady_clock;

template <class MakeBackend>
void PostLatency(benchmark::State& state, MakeBackend makeBackend) {
  kestrune::MainLoop loop(makeBackend());
  Clock::time_point posted{};  // written by the worker before its post
  Clock::time_point handled{};
  bool done = false;
  HWND window = kestrune::CreateMessageWindow([&](TMessage&) {
    handled = Clock::now();
    done = true;
  });

  TEvent go(/*manualReset=*/false, /*initialState=*/false);
  std::atomic<bool> stop{false};
  std::thread worker([&] {
    while (go.WaitFor(INFINITE) == kestrune::WaitResult::Signaled && !stop.load()) {
      posted = Clock::now();
      PostMessage(window, WM_USER, 0, 0);
    }
  });

  for (auto _ : state) {
    done = false;
    go.SetEvent();
    while (!done) {
      loop.Backend().WaitForWakeUp(INFINITE);
      loop.ProcessMessages();
    }
    // The queue's lock orders the worker's write of `posted` before this read.
    state.SetIterationTime(std::chrono::duration<double>(handled - posted).count());
  }

  stop = true;
  go.SetEvent();
  worker.join();
  kestrune::DestroyMessageWindow(window);
}

void BM_PostLatency_PlainLoop(benchmark::State& state) {
  PostLatency(state, [] { return std::make_unique<kestrune::PlainLoopBackend>(); });
}
BENCHMARK(BM_PostLatency_PlainLoop)->UseManualTime()->Unit(benchmark::kMicrosecond);

// Qt backend: once platform/forms provides it, register the same measurement
// with its factory here (the Qt application object must exist first), e.g.
//   void BM_PostLatency_QtLoop(benchmark::State& state) {
//     PostLatency(state, [] { return <make the Qt backend>; });
//   }
//   BENCHMARK(BM_PostLatency_QtLoop)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace
