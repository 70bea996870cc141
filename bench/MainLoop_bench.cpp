// Latency of a post to the main thread: a worker posts a window message, the
// main thread (blocked in its backend's wait) wakes up, dispatches it, and the
// handler notes the time. Measured: post call to handler start.
//
// The benchmark thread plays the main thread, as it must for Qt's loop: it
// creates the loop and serves; a worker posts one message per iteration.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "platform/classes/MainLoop.h"
#include "platform/classes/Messages.h"
#include "platform/classes/SyncObjs.h"
#include "platform/forms/QtLoopBackend.h"

namespace {

using Clock = std::chrono::steady_clock;

// `waitAndServe(loop)` blocks the main thread until work arrives and serves
// it, the way the backend's loop does.
template <class MakeBackend, class WaitAndServe>
void PostLatency(benchmark::State& state, MakeBackend makeBackend, WaitAndServe waitAndServe) {
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
    while (!done)
      waitAndServe(loop);
    // The queue's lock orders the worker's write of `posted` before this read.
    state.SetIterationTime(std::chrono::duration<double>(handled - posted).count());
  }

  stop = true;
  go.SetEvent();
  worker.join();
  kestrune::DestroyMessageWindow(window);
}

void BM_PostLatency_PlainLoop(benchmark::State& state) {
  PostLatency(
      state, [] { return std::make_unique<kestrune::PlainLoopBackend>(); },
      [](kestrune::MainLoop& loop) {
        loop.Backend().WaitForWakeUp(INFINITE);
        loop.ProcessMessages();
      });
}
BENCHMARK(BM_PostLatency_PlainLoop)->UseManualTime()->Unit(benchmark::kMicrosecond);

// Qt's loop as the program runs it: the main thread blocks in Qt's event
// dispatcher (as inside QApplication::exec), the post wakes it through the
// event the backend posts, and Qt's delivery of that event serves the queue.
void BM_PostLatency_QtLoop(benchmark::State& state) {
  int argc = 1;
  char arg0[] = "kestrune_bench";
  char* argv[] = {arg0, nullptr};
  QCoreApplication app(argc, argv);  // the backend's events need Qt's application object
  PostLatency(
      state, [] { return std::make_unique<kestrune::QtLoopBackend>(); },
      [](kestrune::MainLoop&) { QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents); });
}
BENCHMARK(BM_PostLatency_QtLoop)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace
