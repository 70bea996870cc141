#include "app/Delay.h"

#include "platform/classes/MainLoop.h"
#include "platform/rtl/SysUtils.h"

#include <utility>

namespace kestrune::detail {

namespace {
std::function<void(uint32_t)>& DelayObserver() {
  static std::function<void(uint32_t)> observer;
  return observer;
}
}  // namespace

std::function<void(uint32_t)> SetDelayObserver(std::function<void(uint32_t)> observer) {
  std::swap(observer, DelayObserver());
  return observer;
}

void DelayWith(uint32_t ms, const std::function<uint32_t()>& tickCount,
               const std::function<void()>& processMessages,
               const std::function<void(uint32_t)>& waitForMessages) noexcept {
  try {
    const uint32_t t0 = tickCount();
    for (;;) {
      processMessages();
      const uint32_t elapsed = tickCount() - t0;
      if (elapsed >= ms)
        return;
      waitForMessages(ms - elapsed);
    }
  } catch (...) {
    // A wait never fails its caller.
  }
}

}  // namespace kestrune::detail

void Delay(uint32_t ms) {
  if (const auto& observer = kestrune::detail::DelayObserver(); observer) {
    try {
      observer(ms);
    } catch (...) {
      // A wait never fails its caller.
    }
  }
  kestrune::MainLoop* loop = kestrune::MainLoop::Current();
  if (loop == nullptr)
    return;
  kestrune::detail::DelayWith(
      ms, [] { return GetTickCount(); }, [loop] { loop->ProcessMessages(); },
      [loop](uint32_t remaining) { loop->WaitForMessages(remaining); });
}
