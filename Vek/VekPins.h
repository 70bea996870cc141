// The pin framework: pins, links, pushes, state dispatchers, placeholders.
//
// Life cycle. A component creates its pins (Create<TSomePin>(owner)) as
// published sub-objects and frees them with itself; pins are not counted.
// Every pin registers in AllPins once it is whole (AfterConstruction, after
// the last constructor) and leaves it when freed. Pins are
// linked by Connect: a source pin (TVekSourcePin) has any number of sinks, a
// sink pin (TVekSinkPin) one source; state pins (TVekStatePin), and source
// and sink pins too, may join a state dispatcher (TVekStateDispatcher) whose
// members stay in step. Each link carries a stream type negotiated from the
// two pins' types: a GUID that is also the identifier of the typed receive
// interface a pin answers (IVekStreamReceive for every GUID in its accepted
// set, IVekClockReceive for the clock type).
//
// Pushes. A component calls Notify(operation) on its source pin; the push
// runs synchronously on the caller's thread: it takes the global read lock
// and the source's group lock, copies the list of sink entries, serves the
// state peers, then calls each entry's handler under the sink's group lock,
// the last one with the flag VekNotifyLast. A component's input handler
// pushes its own result from inside, so one push runs the graph depth first.
// Pushes nest at most 200 deep in one pin ("The pin depends on itself...").
//
// Stored links. Pins store their links in the owning window's stored
// description ("Form", "State", "SinkPins", "SourcePin") and restore them by
// name while the window loads; a link to a pin not loaded yet is held by a
// placeholder (TVekUnloadedPin) that hands it over when that pin appears.
//
// Threads and locks: the lock order is written in Vek/VekLocks.h ("LOCK
// ORDER"). Queries of one pin take the global read section and the pin's
// read section; the link checks that walk several pins and every link,
// dispatcher and lock-group change take the global write section first, so
// they never run beside a push. The registries (AllPins, UnloadedPins,
// dispatcher lists) are guarded by GlobalPinCriticalSection.
//
// What handlers may rely on:
// - A sink's handler runs on the pushing thread inside the push's global
//   read section, holding the source's group lock and the sink's.
// - A state peer's handler (NotifyStatePeers, also the peers served first by
//   a push) runs holding the sending pin's group lock only, not the peer's:
//   a peer whose handler touches its component's state takes that
//   component's section itself.
// - Linking from inside a handler, or from a main-thread notification
//   callback (which runs inside the global read section), upgrades the
//   global lock; see "Upgrades" in Vek/VekLocks.h.
// - Pin-event listeners run inside the operation's locks, often the global
//   write section.
//
// Start-up: VekPinsUnit (GlobalLock, the registries, the pin-event
// listeners, the published Count of pin lists); VekStdTypesUnit registers the
// standard stream types. Value pins: Vek/VekValuePins.h; pin lists:
// Vek/VekPinList.h.
//
// This header is the unit's face: it includes the framework's headers:
// - Vek/VekBasicPin.h: the interfaces, stream-type lists, pin paths, the
//   abstract pins (TVekBasicPin, TVekPin, TVekStreamPin), link records, lock
//   chains; it includes Vek/VekPinRegistry.h: the registries, pin events, the
//   stream-type registry, VekPinsUnit.
// - Vek/VekSourcePin.h: TVekSourcePin and its dependency lists.
// - Vek/VekSinkPin.h: TVekSinkPin.
// - Vek/VekStateDispatcher.h: TVekStatePin and TVekStateDispatcher.
// - Vek/VekPlaceholderPin.h: TVekUnloadedPin and resolution by name.
#pragma once

#include "Vek/VekBasicPin.h"
#include "Vek/VekPlaceholderPin.h"
#include "Vek/VekSinkPin.h"
#include "Vek/VekSourcePin.h"
#include "Vek/VekStateDispatcher.h"
