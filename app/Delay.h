// The main window's millisecond wait.
//
// Delay(ms) keeps the program alive while it waits: it processes every
// pending message at least once (also for 0 ms), then sleeps in the main
// loop's event wait until its deadline or the next message, processes again,
// and so on until GetTickCount - t0 >= ms, the difference taken as unsigned
// 32-bit so that the wrap of the tick counter is harmless. Other handlers of
// the main window may run meanwhile. Any exception raised inside is dropped.
//
// Threads: main thread; does nothing when no main loop exists.
#pragma once

#include <cstdint>
#include <functional>

void Delay(uint32_t ms);

namespace kestrune::detail {
// Delay on a given clock and wait, for tests: `processMessages` runs each
// pass, `waitForMessages(remainingMs)` sleeps between passes.
void DelayWith(uint32_t ms, const std::function<uint32_t()>& tickCount,
               const std::function<void()>& processMessages,
               const std::function<void(uint32_t)>& waitForMessages) noexcept;

// For tests: `observer` is told of every Delay(ms) as it begins (empty: no
// one). Returns the previous observer.
std::function<void(uint32_t)> SetDelayObserver(std::function<void(uint32_t)> observer);
}  // namespace kestrune::detail
