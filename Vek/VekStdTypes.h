// Notify operations and the standard stream types.
//
// Everything that travels over a link is a notify operation: a small counted
// object, held as IVekNotifyOperation, that a source pin pushes with Notify.
// Receivers tell operations apart by class (GetObject()->Is<...>(), where
// descendants count): control events (start, stop, end of stream, clock,
// pump request) and data (a supplied value or buffer). A supplied operation
// is a kind of clock operation.
//
// Every operation takes the next value of a process-wide counter as its
// serial number (the first one gets 1); the count wraps round the signed
// 32-bit range (2147483647 is followed by -2147483648). Operations are made
// on any thread; their memory is recycled through free lists.
//
// Stream types: each standard type's GUID is also the identifier of its typed
// receive interface (IVekStreamReceive; the clock type: IVekClockReceive).
// VekStdTypesUnit registers their display names and the generic type's
// function in the stream-type registry.
#pragma once

#include <cstddef>
#include <cstdint>

#include "Vek/VekPins.h"

// The standard stream types.
inline constexpr TGUID VekIntegerSingleType =
    TGUID::Parse("{92F6B47E-B46E-49BB-9A8E-676D3C2F2E66}");
inline constexpr TGUID VekFloatSingleType = TGUID::Parse("{67F6997B-7EB4-4E2F-8320-4A512B5F2BC7}");
inline constexpr TGUID VekRealSingleType = TGUID::Parse("{208F9564-3C20-4C97-BB77-2FC5AE6E4194}");
inline constexpr TGUID VekRealComplexSingleType =
    TGUID::Parse("{4CC4ADE6-E5AE-4E27-A9E7-42C14E062F41}");
inline constexpr TGUID VekBooleanSingleType =
    TGUID::Parse("{7AA677AE-F983-4714-8E64-EC6F3D17695B}");
inline constexpr TGUID VekCharacterSingleType =
    TGUID::Parse("{3241B885-95E1-495F-ACEC-4A1C98872B63}");
inline constexpr TGUID VekStringType = TGUID::Parse("{25C048B4-89D4-4277-AA98-A835EB29F5C1}");
inline constexpr TGUID VekGenericType = TGUID::Parse("{CFDF94D7-5134-49D9-AC65-902BBC1CD140}");
// Carried by clock sources and signal sources; no name, no function.
inline constexpr TGUID VekClockType = TGUID::Parse("{48CDAF9F-00C7-4B45-999D-4EE25353A952}");

class TVekNotifyOperation : public TInterfacedObject, public IVekNotifyOperation {
  KESTRUNE_CLASS(TVekNotifyOperation, TInterfacedObject)
  TVekNotifyOperation();
  HRESULT QueryInterface(const TGUID& iid, void** obj) override;
  TObject* GetObject() override { return this; }
  int32_t SerialNumber() const { return serial_number_; }

  // Operations of every class come from the operations' free lists (one per
  // instance size, see platform/rtl/FreeLists.h): once warm, making one takes
  // nothing from the general heap. VekStdTypesUnit's shutdown gives the pooled
  // memory back.
  static void* operator new(std::size_t size);
  static void operator delete(void* block, std::size_t size) noexcept;

 private:
  int32_t serial_number_;
};

// Sets the serial number of the last operation made, so that the next one
// gets the number after it (for tests of the wrap; any thread).
void SetLastOperationSerialNumber(int32_t serial);

// Makes an operation and returns it held.
template <class T, class... Args>
IPtr<IVekNotifyOperation> NewOperation(Args&&... args) {
  return IPtr<IVekNotifyOperation>(Create<T>(std::forward<Args>(args)...));
}

// The operation class of an operation reference, or nullptr when it is not
// of class T.
template <class T>
T* OperationAs(IVekNotifyOperation* operation) {
  if (operation == nullptr)
    return nullptr;
  TObject* object = operation->GetObject();
  return object != nullptr && object->Is<T>() ? static_cast<T*>(object) : nullptr;
}

class TVekClockOperation : public TVekNotifyOperation {
  KESTRUNE_CLASS(TVekClockOperation, TVekNotifyOperation)
  TVekClockOperation() = default;
};

class TVekSuppliedOperation : public TVekClockOperation {
  KESTRUNE_CLASS(TVekSuppliedOperation, TVekClockOperation)
  TVekSuppliedOperation() = default;
};

class TVekSuppliedSingleOperation : public TVekSuppliedOperation {
  KESTRUNE_CLASS(TVekSuppliedSingleOperation, TVekSuppliedOperation)
  explicit TVekSuppliedSingleOperation(float value) : Value(value) {}
  float Value;
};

class TVekSuppliedBoolOperation : public TVekSuppliedOperation {
  KESTRUNE_CLASS(TVekSuppliedBoolOperation, TVekSuppliedOperation)
  explicit TVekSuppliedBoolOperation(bool value) : Value(value) {}
  bool Value;
};

class TVekSuppliedRealOperation : public TVekSuppliedOperation {
  KESTRUNE_CLASS(TVekSuppliedRealOperation, TVekSuppliedOperation)
  explicit TVekSuppliedRealOperation(double value) : Value(value) {}
  double Value;
};

class TVekSuppliedIntegerOperation : public TVekSuppliedOperation {
  KESTRUNE_CLASS(TVekSuppliedIntegerOperation, TVekSuppliedOperation)
  explicit TVekSuppliedIntegerOperation(int32_t value) : Value(value) {}
  int32_t Value;
};

// Carries one data buffer. The framework does not know the buffer classes
// (they live above it): the buffer is held as a counted IInterface, and
// receivers query it for the buffer interface they expect.
class TVekSuppliedBufferOperation : public TVekSuppliedOperation {
  KESTRUNE_CLASS(TVekSuppliedBufferOperation, TVekSuppliedOperation)
  explicit TVekSuppliedBufferOperation(IPtr<IInterface> buffer) : Buffer(std::move(buffer)) {}
  IPtr<IInterface> Buffer;
};

// A pump operation travelling upstream; its field is not used.
class TVekMasterPumpOperation : public TVekNotifyOperation {
  KESTRUNE_CLASS(TVekMasterPumpOperation, TVekNotifyOperation)
  TVekMasterPumpOperation() = default;
  int32_t Reserved = 0;
};

class TVekPumpRequestOperation : public TVekNotifyOperation {
  KESTRUNE_CLASS(TVekPumpRequestOperation, TVekNotifyOperation)
  TVekPumpRequestOperation(TObject* requester, uint8_t mode, int32_t priority, float rate)
      : Requester(requester), Mode(mode), Priority(priority), Rate(rate) {}
  TObject* Requester;
  uint8_t Mode;
  int32_t Priority;
  float Rate;
};

class TVekStartOperation : public TVekNotifyOperation {
  KESTRUNE_CLASS(TVekStartOperation, TVekNotifyOperation)
  TVekStartOperation() = default;
};

class TVekStartRateOperation : public TVekStartOperation {
  KESTRUNE_CLASS(TVekStartRateOperation, TVekStartOperation)
  explicit TVekStartRateOperation(float rate) : Rate(rate) {}
  float Rate;
};

class TVekStopOperation : public TVekNotifyOperation {
  KESTRUNE_CLASS(TVekStopOperation, TVekNotifyOperation)
  TVekStopOperation() = default;
};

class TVekEndStopOperation : public TVekStopOperation {
  KESTRUNE_CLASS(TVekEndStopOperation, TVekStopOperation)
  TVekEndStopOperation() = default;
};

// The type function of VekGenericType: delivers through the target's receive
// interface of that type; false when the target lacks it.
bool GenericTypeFunction(TVekBasicPin* pin, IVekBasicPin* target, const TGUID& streamType,
                         uint8_t flags, IVekNotifyOperation* operation);

// Registers the standard stream types (needs VekPinsUnit).
extern TUnit VekStdTypesUnit;
