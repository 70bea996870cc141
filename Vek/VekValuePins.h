// Value pins: pins that carry one value over links of the standard single
// stream types (Vek/VekStdTypes.h) and hand their current value to every pin
// newly linked to them.
//
//   TVekClockSourcePin  a source of clock ticks: a sink that answers the clock
//                       interface gets ClockTick for every clock operation
//                       pushed (supplied values and buffers are clock
//                       operations too); a new link gets nothing.
//   TVekRealSourcePin   a clock source holding one double. SetValue pushes a
//                       changed value; a sink accepting "Real single" gets it
//                       as a supplied real, one accepting only "Float single"
//                       as a supplied single. A newly linked sink gets the
//                       current value at once (the link's synchronisation
//                       delivery).
//   TVekBoolSinkPin     a Boolean input: a supplied Boolean that reaches it
//                       sets Value and calls OnReceive.
//   TVekBoolStatePin    a Boolean state pin (a component's enable switch):
//                       SetValue sends a changed value to the state peers,
//                       whose OnChange runs (never the sender's own). Joining
//                       peers hands the value across (state synchronisation).
//
// Life cycle: components create value pins as published sub-objects
// (Create<TVekRealSourcePin>(owner)) and free them with themselves, like any
// pin; links are made and stored as for every pin (Vek/VekPins.h).
//
// Threads: SetValue runs on the caller's thread and pushes synchronously under
// the locks of the push. Value is an atomic, so a value set on one thread
// while another links the pin (and reads the value for the new link) is no
// data race; the value a new link gets is the one set last before the link's
// delivery. OnReceive and OnChange run on the delivering thread, holding the
// receiving pin's group lock.
#pragma once

#include <atomic>
#include <cstdint>

#include "Vek/VekPins.h"
#include "Vek/VekStdTypes.h"

// A change handler: (the pin whose value changed, the new value).
using TVekBoolChangeHandler = TMethod<void(TVekBasicPin* pin, bool value)>;

// The clock delivery of clock sources, for every source pin that carries the
// clock type: when `target` answers the clock interface and `flags` is not a
// synchronisation delivery, a TVekClockOperation (or descendant) becomes the
// target's ClockTick. Other operations and targets get nothing. Always false.
bool DeliverClockTick(IVekBasicPin* target, uint8_t flags, IVekNotifyOperation* operation);

// A source pin that carries the clock type.
class TVekClockSourcePin : public TVekSourcePin {
  KESTRUNE_CLASS(TVekClockSourcePin, TVekSourcePin)
  explicit TVekClockSourcePin(TComponent* owner);
  // The handler of the clock type: DeliverClockTick.
  virtual bool DispatchClock(IVekBasicPin* target, const TGUID& streamType, uint8_t flags,
                             IVekNotifyOperation* operation);
};

// A source pin holding one double (0.0 when made), carried as "Real single"
// or "Float single".
class TVekRealSourcePin : public TVekClockSourcePin {
  KESTRUNE_CLASS(TVekRealSourcePin, TVekClockSourcePin)
  explicit TVekRealSourcePin(TComponent* owner);

  double Value() const { return value_.load(std::memory_order_relaxed); }
  // Stores `value` and pushes it (a TVekSuppliedRealOperation) to every
  // sink, synchronously on the caller's thread. A value equal to the one
  // held sends nothing; a NaN on either side counts as equal. Exceptions of
  // the receivers pass to the caller (the value stays stored).
  void SetValue(double value);

  // The handler of both value types: delivers to the target's "Real single"
  // interface, else to its "Float single" one (the value narrowed to single
  // precision). A synchronisation delivery (a new link) carries the current
  // value; a push carries its own operation, a supplied real becoming a
  // supplied single for a single-precision target. With DispatchHook
  // assigned the hook delivers instead and its result is returned; otherwise
  // false.
  virtual bool DispatchTyped(IVekBasicPin* target, const TGUID& streamType, uint8_t flags,
                             IVekNotifyOperation* operation);

  // Replaces the delivery to a target that accepts a value type. Unassigned
  // when made; nothing in the program assigns it.
  TVekNotifyHandler DispatchHook;

 private:
  std::atomic<double> value_{0.0};
};

// A Boolean input pin.
class TVekBoolSinkPin : public TVekSinkPin {
  KESTRUNE_CLASS(TVekBoolSinkPin, TVekSinkPin)
  TVekBoolSinkPin(TComponent* owner, TVekBoolChangeHandler onReceive = {});

  bool Value() const { return value_.load(std::memory_order_relaxed); }

  // The "Boolean single" receive interface: a TVekSuppliedBoolOperation sets
  // Value and calls OnReceive (this pin, Value); any other operation is
  // ignored. Always false.
  bool Receive(const TGUID& streamType, IVekNotifyOperation* operation, uint8_t flags) override;

  TVekBoolChangeHandler OnReceive;

 private:
  std::atomic<bool> value_{false};
};

// A Boolean state pin.
class TVekBoolStatePin : public TVekStatePin {
  KESTRUNE_CLASS(TVekBoolStatePin, TVekStatePin)
  TVekBoolStatePin(TComponent* owner, TVekBoolChangeHandler onChange = {});

  bool Value() const { return value_.load(std::memory_order_relaxed); }
  // Stores `value` and sends it (a TVekSuppliedBoolOperation) to every state
  // peer, whose change handlers run; this pin's own OnChange does not. An
  // unchanged value sends nothing.
  void SetValue(bool value);

  // The "Boolean single" receive interface (a peer delivers to this pin):
  // DispatchState.
  bool Receive(const TGUID& streamType, IVekNotifyOperation* operation, uint8_t flags) override;

  // The handler of "Boolean single", used when this pin delivers to a peer:
  // a supplied Boolean first sets this pin's Value; a peer without the
  // Boolean interface gets nothing. A synchronisation delivery carries this
  // pin's Value; any other delivery its own operation. With DispatchHook
  // assigned the hook delivers instead and its result is returned;
  // otherwise false.
  virtual bool ReceiveBool(IVekBasicPin* peer, const TGUID& streamType, uint8_t flags,
                           IVekNotifyOperation* operation);
  // A peer's delivery: a TVekSuppliedBoolOperation sets Value and calls
  // OnChange (this pin, Value); any other operation is ignored. Always false.
  virtual bool DispatchState(const TGUID& streamType, IVekNotifyOperation* operation,
                             uint8_t flags);

  TVekNotifyHandler DispatchHook;
  TVekBoolChangeHandler OnChange;

 private:
  std::atomic<bool> value_{false};
};
