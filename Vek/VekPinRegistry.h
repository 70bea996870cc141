// The pin framework's process-wide state: the registries (AllPins,
// UnloadedPins, the dispatcher lists, the pin-event listeners, all guarded by
// GlobalPinCriticalSection) and their start-up and shutdown (VekPinsUnit),
// the pin-event broadcasts, and the stream-type registry. Callers include
// Vek/VekPins.h (through Vek/VekBasicPin.h). Implemented in
// Vek/VekPinRegistry.cpp.
#pragma once

#include <string>
#include <vector>

#include "platform/classes/Classes.h"
#include "platform/classes/SyncObjs.h"
#include "platform/classes/Units.h"
#include "platform/rtl/Lists.h"

class TVekBasicPin;
class TVekStateDispatcher;
struct IVekBasicPin;
struct IVekNotifyOperation;

// ---------------------------------------------------------------------------
// Registries and start-up

// Every live pin, in creation order, and every placeholder not yet adopted or
// released (which the list owns). Guarded by GlobalPinCriticalSection.
TList* AllPins();
TObjectList* UnloadedPins();
TCriticalSection* GlobalPinCriticalSection();

// The framework's start-up and shutdown: GlobalLock, GlobalPinCriticalSection,
// the listener list, the dispatcher lists, AllPins and UnloadedPins; the
// shutdown also empties the stream-type registry.
extern TUnit VekPinsUnit;

// For the pin layers (Vek/VekBasicPin.cpp):
// GlobalPinCriticalSection; a usage error when the framework is not started.
TCriticalSection& PinSection();
// A copy of AllPins, for walks that call into pins (which may take group
// locks: GlobalPinCriticalSection is not held across such calls; lock order:
// Vek/VekLocks.h). Takes GlobalPinCriticalSection.
std::vector<TVekBasicPin*> SnapshotAllPins();
// Whether `pin` is still in AllPins. Takes GlobalPinCriticalSection.
bool IsRegisteredPin(TVekBasicPin* pin);

// ---------------------------------------------------------------------------
// Pin events (structural changes of the graph, for tools that show it)

struct IVekPinEvents : public virtual IInterface {
  static constexpr TGUID IID = TGUID::Parse("{3E9B8C21-74D5-4A0F-8B62-C1D7E4F05A93}");
  virtual void BroadcastPinCreated(TVekBasicPin* pin) = 0;
  virtual void BroadcastPinDestroying(TVekBasicPin* pin, bool designingOwnerDestroying) = 0;
  virtual void BroadcastPinLinksChanged(TVekBasicPin* pin) = 0;
  virtual void BroadcastPinJoinedDispatcher(TVekBasicPin* pin, TObject* dispatcher) = 0;
  virtual void BroadcastPinUnlinking(TVekBasicPin* pin, TObject* other) = 0;
  virtual void BroadcastPinListCreated(TObject* pinList) = 0;
  virtual void BroadcastPinListDestroying(TObject* pinList) = 0;
  virtual void BroadcastPinListChanged(TObject* pinList) = 0;
  virtual void BroadcastPinListPinAdded(TObject* pinList, TVekBasicPin* pin, int index) = 0;
  virtual void BroadcastPinListPinRemoved(TObject* pinList, TVekBasicPin* pin, int index) = 0;
  virtual void BroadcastPinListExchanged(TObject* pinList, TVekBasicPin* pin1, int index1,
                                         int index2, TVekBasicPin* pin2) = 0;
  virtual void BroadcastDispatcherCreated(TVekStateDispatcher* dispatcher) = 0;
  virtual void BroadcastDispatcherDestroying(TVekStateDispatcher* dispatcher, bool flag) = 0;
  virtual void BroadcastDispatcherChanged(TVekStateDispatcher* dispatcher) = 0;
};

// The registered listeners (thread-safe); nullptr outside the framework's
// start-up and shutdown. Add IVekPinEvents implementations to it.
TInterfaceList* PinEventListeners();

// Each calls the method of the same name on every listener, in list order;
// a listener's exception is dropped and the next listener is called.
void BroadcastPinCreated(TVekBasicPin* pin);
void BroadcastPinDestroying(TVekBasicPin* pin, bool designingOwnerDestroying);
void BroadcastPinLinksChanged(TVekBasicPin* pin);
void BroadcastPinJoinedDispatcher(TVekBasicPin* pin, TObject* dispatcher);
void BroadcastPinUnlinking(TVekBasicPin* pin, TObject* other);
void BroadcastPinListCreated(TObject* pinList);
void BroadcastPinListDestroying(TObject* pinList);
void BroadcastPinListChanged(TObject* pinList);
void BroadcastPinListPinAdded(TObject* pinList, TVekBasicPin* pin, int index);
void BroadcastPinListPinRemoved(TObject* pinList, TVekBasicPin* pin, int index);
void BroadcastPinListExchanged(TObject* pinList, TVekBasicPin* pin1, int index1, int index2,
                               TVekBasicPin* pin2);
void BroadcastDispatcherCreated(TVekStateDispatcher* dispatcher);
void BroadcastDispatcherDestroying(TVekStateDispatcher* dispatcher, bool flag);
void BroadcastDispatcherChanged(TVekStateDispatcher* dispatcher);

// ---------------------------------------------------------------------------
// The stream-type registry: GUID -> display name and type function.
//
// Written only by unit start-ups (before other threads run) and emptied at
// shutdown; read without a lock in between.

// A type function: the notify handler used for links of its type whose pin
// registered the type without a handler (`pin` is that pin).
using TVekStreamTypeFunction = bool (*)(TVekBasicPin* pin, IVekBasicPin* target,
                                        const TGUID& streamType, uint8_t flags,
                                        IVekNotifyOperation* operation);

struct TVekStreamTypeRecord {
  TGUID Guid;
  std::string Name;
  TVekStreamTypeFunction Function = nullptr;
};

// The index of the GUID's record; a new GUID gets an empty record appended
// (its index is the former record count).
int FindStreamType(const TGUID& guid);
void RegisterStreamTypeName(const TGUID& guid, const std::string& name);
void RegisterStreamTypeConverter(const TGUID& guid, TVekStreamTypeFunction function);
// The record of a GUID without adding one; nullptr when there is none.
const TVekStreamTypeRecord* LookupStreamType(const TGUID& guid);
// The records in registration order.
const std::vector<TVekStreamTypeRecord>& StreamTypeRegistry();
