// The clock source, real-value source, Boolean sink and Boolean state pins.
#include "Vek/VekValuePins.h"

#include <cmath>

namespace {

bool IsSync(uint8_t flags) {
  return (flags & VekNotifySync) != 0;
}

// The receiving side of both Boolean pins: a supplied Boolean is stored in
// `value` and reported to `handler` (pin, value); any other operation is
// ignored.
void StoreSuppliedBool(IVekNotifyOperation* operation, std::atomic<bool>& value,
                       const TVekBoolChangeHandler& handler, TVekBasicPin* pin) {
  auto* supplied = OperationAs<TVekSuppliedBoolOperation>(operation);
  if (supplied == nullptr)
    return;
  value.store(supplied->Value, std::memory_order_relaxed);
  if (handler.Assigned())
    handler(pin, supplied->Value);
}

}  // namespace

bool DeliverClockTick(IVekBasicPin* target, uint8_t flags, IVekNotifyOperation* operation) {
  IPtr<IVekClockReceive> clock = QueryClockReceive(target, VekClockType);
  if (!clock || IsSync(flags))
    return false;
  if (OperationAs<TVekClockOperation>(operation) != nullptr)
    clock->ClockTick();
  return false;
}

// ---------------------------------------------------------------------------
// TVekClockSourcePin

TVekClockSourcePin::TVekClockSourcePin(TComponent* owner) : TVekSourcePin(owner) {
  AddStreamTypeHandler(VekClockType, TVekNotifyHandler(this, &TVekClockSourcePin::DispatchClock));
}

bool TVekClockSourcePin::DispatchClock(IVekBasicPin* target, const TGUID& streamType, uint8_t flags,
                                       IVekNotifyOperation* operation) {
  (void)streamType;
  return DeliverClockTick(target, flags, operation);
}

// ---------------------------------------------------------------------------
// TVekRealSourcePin

TVekRealSourcePin::TVekRealSourcePin(TComponent* owner) : TVekClockSourcePin(owner) {
  const TVekNotifyHandler typed(this, &TVekRealSourcePin::DispatchTyped);
  AddStreamTypeHandler(VekFloatSingleType, typed);
  AddStreamTypeHandler(VekRealSingleType, typed);
}

void TVekRealSourcePin::SetValue(double value) {
  const double held = Value();
  // Unordered (a NaN on either side) counts as equal: nothing is sent.
  if (std::isunordered(value, held) || value == held)
    return;
  value_.store(value, std::memory_order_relaxed);
  IPtr<IVekNotifyOperation> op = NewOperation<TVekSuppliedRealOperation>(value);
  Notify(op.get());
}

bool TVekRealSourcePin::DispatchTyped(IVekBasicPin* target, const TGUID& streamType, uint8_t flags,
                                      IVekNotifyOperation* operation) {
  if (IPtr<IVekStreamReceive> real = QueryStreamReceive(target, VekRealSingleType)) {
    if (DispatchHook.Assigned())
      return DispatchHook(target, streamType, flags, operation);
    if (IsSync(flags)) {
      IPtr<IVekNotifyOperation> current = NewOperation<TVekSuppliedRealOperation>(Value());
      real->Receive(streamType, current.get(), flags);
    } else {
      real->Receive(streamType, operation, flags);
    }
    return false;
  }
  if (IPtr<IVekStreamReceive> single = QueryStreamReceive(target, VekFloatSingleType)) {
    if (DispatchHook.Assigned())
      return DispatchHook(target, streamType, flags, operation);
    // Narrowing a double beyond the single range gives an infinity, which is
    // what a single-precision receiver can hold of it.
    IPtr<IVekNotifyOperation> delivered(operation);
    if (IsSync(flags)) {
      delivered = NewOperation<TVekSuppliedSingleOperation>(static_cast<float>(Value()));
    } else if (auto* supplied = OperationAs<TVekSuppliedRealOperation>(operation)) {
      delivered = NewOperation<TVekSuppliedSingleOperation>(static_cast<float>(supplied->Value));
    }
    single->Receive(streamType, delivered.get(), flags);
  }
  return false;
}

// ---------------------------------------------------------------------------
// TVekBoolSinkPin

TVekBoolSinkPin::TVekBoolSinkPin(TComponent* owner, TVekBoolChangeHandler onReceive)
    : TVekSinkPin(owner), OnReceive(onReceive) {
  AcceptStreamType(VekBooleanSingleType);
}

bool TVekBoolSinkPin::Receive(const TGUID& streamType, IVekNotifyOperation* operation,
                              uint8_t flags) {
  (void)streamType;
  (void)flags;
  StoreSuppliedBool(operation, value_, OnReceive, this);
  return false;
}

// ---------------------------------------------------------------------------
// TVekBoolStatePin

TVekBoolStatePin::TVekBoolStatePin(TComponent* owner, TVekBoolChangeHandler onChange)
    : TVekStatePin(owner), OnChange(onChange) {
  AcceptStreamType(VekBooleanSingleType);
  AddStreamTypeHandler(VekBooleanSingleType,
                       TVekNotifyHandler(this, &TVekBoolStatePin::ReceiveBool));
}

void TVekBoolStatePin::SetValue(bool value) {
  if (value == Value())
    return;
  value_.store(value, std::memory_order_relaxed);
  IPtr<IVekNotifyOperation> op = NewOperation<TVekSuppliedBoolOperation>(value);
  Notify(op.get());
}

bool TVekBoolStatePin::Receive(const TGUID& streamType, IVekNotifyOperation* operation,
                               uint8_t flags) {
  return DispatchState(streamType, operation, flags);
}

bool TVekBoolStatePin::ReceiveBool(IVekBasicPin* peer, const TGUID& streamType, uint8_t flags,
                                   IVekNotifyOperation* operation) {
  if (auto* supplied = OperationAs<TVekSuppliedBoolOperation>(operation))
    value_.store(supplied->Value, std::memory_order_relaxed);
  IPtr<IVekStreamReceive> receiver = QueryStreamReceive(peer, VekBooleanSingleType);
  if (!receiver)
    return false;
  if (DispatchHook.Assigned())
    return DispatchHook(peer, streamType, flags, operation);
  if (IsSync(flags)) {
    IPtr<IVekNotifyOperation> current = NewOperation<TVekSuppliedBoolOperation>(Value());
    receiver->Receive(streamType, current.get(), flags);
  } else {
    receiver->Receive(streamType, operation, flags);
  }
  return false;
}

bool TVekBoolStatePin::DispatchState(const TGUID& streamType, IVekNotifyOperation* operation,
                                     uint8_t flags) {
  (void)streamType;
  (void)flags;
  StoreSuppliedBool(operation, value_, OnChange, this);
  return false;
}
