#include "platform/classes/Messages.h"

#include <memory>
#include <mutex>
#include <unordered_map>
#include <utility>

#include "platform/classes/MainLoop.h"
#include "platform/rtl/SysUtils.h"

namespace {

// Handlers are held through shared pointers so that one can be replaced or
// its window destroyed while it runs: the running call keeps its own
// reference.
using SharedHandler = std::shared_ptr<const kestrune::MessageHandler>;

struct WindowRegistry {
  std::mutex mutex;
  std::unordered_map<uint64_t, SharedHandler> windows;
  uint64_t next_handle = 1;

  // The handler of a live window, or null.
  SharedHandler Find(HWND window) {
    std::lock_guard lock(mutex);
    auto it = windows.find(static_cast<uint64_t>(window));
    return it == windows.end() ? nullptr : it->second;
  }
};

// Never destroyed: messages may be posted during static destruction.
WindowRegistry& Registry() {
  static auto* registry = new WindowRegistry;
  return *registry;
}

SharedHandler Share(kestrune::MessageHandler handler) {
  return std::make_shared<const kestrune::MessageHandler>(std::move(handler));
}

// Runs on the main thread, from the main loop's queue.
void DispatchPosted(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
  SharedHandler handler = Registry().Find(window);
  if (handler == nullptr || !*handler)
    return;  // destroyed since the post
  TMessage message{msg, wParam, lParam, 0};
  (*handler)(message);
}

}  // namespace

namespace kestrune {

HWND CreateMessageWindow(MessageHandler handler) {
  SharedHandler shared = Share(std::move(handler));
  WindowRegistry& registry = Registry();
  std::lock_guard lock(registry.mutex);
  const uint64_t handle = registry.next_handle++;
  registry.windows.emplace(handle, std::move(shared));
  return static_cast<HWND>(handle);
}

bool DestroyMessageWindow(HWND window) {
  SharedHandler dropped;  // released outside the lock
  WindowRegistry& registry = Registry();
  std::lock_guard lock(registry.mutex);
  auto it = registry.windows.find(static_cast<uint64_t>(window));
  if (it == registry.windows.end())
    return false;
  dropped = std::move(it->second);
  registry.windows.erase(it);
  return true;
}

bool SetMessageHandler(HWND window, MessageHandler handler, MessageHandler* previous) {
  SharedHandler replacement = Share(std::move(handler));
  WindowRegistry& registry = Registry();
  std::unique_lock lock(registry.mutex);
  auto it = registry.windows.find(static_cast<uint64_t>(window));
  if (it == registry.windows.end())
    return false;
  SharedHandler old = std::exchange(it->second, std::move(replacement));
  lock.unlock();
  if (previous != nullptr)
    *previous = *old;
  return true;
}

bool IsMessageWindow(HWND window) {
  return Registry().Find(window) != nullptr;
}

}  // namespace kestrune

bool PostMessage(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (!kestrune::IsMessageWindow(window))
    return false;
  kestrune::MainLoop* loop = kestrune::MainLoop::Current();
  if (loop == nullptr)
    return false;
  loop->Post([window, msg, wParam, lParam] { DispatchPosted(window, msg, wParam, lParam); });
  return true;
}

LRESULT SendMessage(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
  kestrune::MainLoop* loop = kestrune::MainLoop::Current();
  KESTRUNE_USAGE_CHECK(loop == nullptr || loop->IsMainThread(),
                       "SendMessage called off the main thread");
  SharedHandler handler = Registry().Find(window);
  if (handler == nullptr || !*handler)
    return 0;
  TMessage message{msg, wParam, lParam, 0};
  (*handler)(message);
  return message.Result;
}
