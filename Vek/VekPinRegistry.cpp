// The pin framework's process-wide state (Vek/VekPinRegistry.h): the
// registries and their start-up and shutdown, the pin-event broadcasts and
// the stream-type registry.
#include "Vek/VekPinRegistry.h"

#include <memory>

#include "Vek/VekPinList.h"
#include "Vek/VekPins.h"

// ---------------------------------------------------------------------------
// Framework globals

namespace {

std::unique_ptr<TCriticalSection> g_pin_critical_section;
TInterfaceList* g_listeners = nullptr;
TList* g_dispatcher_lists[2] = {nullptr, nullptr};
TList* g_all_pins = nullptr;
TObjectList* g_unloaded_pins = nullptr;
bool g_initialised = false;
std::vector<TVekStreamTypeRecord> g_stream_types;

void InitVekPins() {
  GlobalLock = Create<TVekGlobalLockObject>();
  g_pin_critical_section = std::make_unique<TCriticalSection>();
  g_initialised = true;
  g_listeners = Create<TInterfaceList>();
  g_dispatcher_lists[0] = Create<TList>();
  g_dispatcher_lists[1] = Create<TList>();
  g_all_pins = Create<TList>();
  g_unloaded_pins = Create<TObjectList>(/*ownsObjects=*/true);
  RegisterVekPinListClass();
}

void FinalizeVekPins() {
  if (g_initialised) {
    FreeAndNil(g_dispatcher_lists[0]);
    FreeAndNil(g_dispatcher_lists[1]);
    // Placeholders left unadopted are discarded one by one while the
    // registries and the global lock still run: the pins still linked to
    // them forget them, and none is freed twice.
    for (;;) {
      TVekUnloadedPin* placeholder = nullptr;
      {
        kestrune::CriticalSectionGuard guard(*g_pin_critical_section);
        if (g_unloaded_pins->Count() > 0)
          placeholder = static_cast<TVekUnloadedPin*>(g_unloaded_pins->Last());
      }
      if (placeholder == nullptr)
        break;
      TVekUnloadedPin::Discard(placeholder);
    }
    FreeAndNil(g_unloaded_pins);
    FreeAndNil(g_all_pins);
    FreeAndNil(g_listeners);
    g_initialised = false;
    g_pin_critical_section.reset();
    TVekGlobalLockObject* lock = GlobalLock;
    GlobalLock = nullptr;
    lock->Free();
  }
  g_stream_types.clear();
}

}  // namespace

TUnit VekPinsUnit("VekPins", &InitVekPins, &FinalizeVekPins);

TList* AllPins() {
  return g_all_pins;
}
TObjectList* UnloadedPins() {
  return g_unloaded_pins;
}
TCriticalSection* GlobalPinCriticalSection() {
  return g_pin_critical_section.get();
}
TList* GetDispatcherList(bool designRegistry) {
  return g_dispatcher_lists[designRegistry ? 0 : 1];
}
TInterfaceList* PinEventListeners() {
  return g_listeners;
}

TCriticalSection& PinSection() {
  KESTRUNE_USAGE_CHECK(g_pin_critical_section != nullptr,
                       "the pin framework is not started (VekPinsUnit)");
  return *g_pin_critical_section;
}

std::vector<TVekBasicPin*> SnapshotAllPins() {
  kestrune::CriticalSectionGuard guard(PinSection());
  std::vector<TVekBasicPin*> pins;
  if (g_all_pins == nullptr)
    return pins;
  for (void* p : g_all_pins->List())
    pins.push_back(static_cast<TVekBasicPin*>(p));
  return pins;
}

bool IsRegisteredPin(TVekBasicPin* pin) {
  kestrune::CriticalSectionGuard guard(PinSection());
  return g_all_pins != nullptr && g_all_pins->IndexOf(pin) >= 0;
}

// ---------------------------------------------------------------------------
// Pin events

namespace {

template <class Call>
void Broadcast(Call call) {
  TInterfaceList* listeners = g_listeners;
  if (listeners == nullptr)
    return;
  const int count = listeners->Count();
  for (int i = 0; i < count; ++i) {
    try {
      IPtr<IVekPinEvents> listener = Supports<IVekPinEvents>(listeners->Get(i));
      if (listener)
        call(listener.get());
    } catch (...) {
      // A listener never stops the pin operation or the other listeners.
    }
  }
}

}  // namespace

void BroadcastPinCreated(TVekBasicPin* pin) {
  Broadcast([&](IVekPinEvents* l) { l->BroadcastPinCreated(pin); });
}
void BroadcastPinDestroying(TVekBasicPin* pin, bool flag) {
  Broadcast([&](IVekPinEvents* l) { l->BroadcastPinDestroying(pin, flag); });
}
void BroadcastPinLinksChanged(TVekBasicPin* pin) {
  Broadcast([&](IVekPinEvents* l) { l->BroadcastPinLinksChanged(pin); });
}
void BroadcastPinJoinedDispatcher(TVekBasicPin* pin, TObject* dispatcher) {
  Broadcast([&](IVekPinEvents* l) { l->BroadcastPinJoinedDispatcher(pin, dispatcher); });
}
void BroadcastPinUnlinking(TVekBasicPin* pin, TObject* other) {
  Broadcast([&](IVekPinEvents* l) { l->BroadcastPinUnlinking(pin, other); });
}
void BroadcastPinListCreated(TObject* list) {
  Broadcast([&](IVekPinEvents* l) { l->BroadcastPinListCreated(list); });
}
void BroadcastPinListDestroying(TObject* list) {
  Broadcast([&](IVekPinEvents* l) { l->BroadcastPinListDestroying(list); });
}
void BroadcastPinListChanged(TObject* list) {
  Broadcast([&](IVekPinEvents* l) { l->BroadcastPinListChanged(list); });
}
void BroadcastPinListPinAdded(TObject* list, TVekBasicPin* pin, int index) {
  Broadcast([&](IVekPinEvents* l) { l->BroadcastPinListPinAdded(list, pin, index); });
}
void BroadcastPinListPinRemoved(TObject* list, TVekBasicPin* pin, int index) {
  Broadcast([&](IVekPinEvents* l) { l->BroadcastPinListPinRemoved(list, pin, index); });
}
void BroadcastPinListExchanged(TObject* list, TVekBasicPin* pin1, int index1, int index2,
                               TVekBasicPin* pin2) {
  Broadcast(
      [&](IVekPinEvents* l) { l->BroadcastPinListExchanged(list, pin1, index1, index2, pin2); });
}
void BroadcastDispatcherCreated(TVekStateDispatcher* d) {
  Broadcast([&](IVekPinEvents* l) { l->BroadcastDispatcherCreated(d); });
}
void BroadcastDispatcherDestroying(TVekStateDispatcher* d, bool flag) {
  Broadcast([&](IVekPinEvents* l) { l->BroadcastDispatcherDestroying(d, flag); });
}
void BroadcastDispatcherChanged(TVekStateDispatcher* d) {
  Broadcast([&](IVekPinEvents* l) { l->BroadcastDispatcherChanged(d); });
}

// ---------------------------------------------------------------------------
// Stream-type registry

int FindStreamType(const TGUID& guid) {
  for (size_t i = 0; i < g_stream_types.size(); ++i) {
    if (g_stream_types[i].Guid == guid)
      return static_cast<int>(i);
  }
  g_stream_types.push_back(TVekStreamTypeRecord{guid, {}, nullptr});
  return static_cast<int>(g_stream_types.size()) - 1;
}

void RegisterStreamTypeName(const TGUID& guid, const std::string& name) {
  g_stream_types[FindStreamType(guid)].Name = name;
}

void RegisterStreamTypeConverter(const TGUID& guid, TVekStreamTypeFunction function) {
  g_stream_types[FindStreamType(guid)].Function = function;
}

const TVekStreamTypeRecord* LookupStreamType(const TGUID& guid) {
  for (const TVekStreamTypeRecord& r : g_stream_types) {
    if (r.Guid == guid)
      return &r;
  }
  return nullptr;
}

const std::vector<TVekStreamTypeRecord>& StreamTypeRegistry() {
  return g_stream_types;
}
