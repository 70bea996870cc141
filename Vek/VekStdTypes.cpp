#include "Vek/VekStdTypes.h"

#include <atomic>

#include "Vek/VekFreeLists.h"

namespace {

// Kept unsigned so that the count wraps (after 2^32 operations) instead of
// overflowing; each serial is the count read as signed 32-bit, so after
// 2147483647 comes -2147483648, and after -1 comes 0.
std::atomic<uint32_t> g_serial_number{0};

void InitVekStdTypes() {
  g_serial_number.store(0);
  RegisterStreamTypeName(VekIntegerSingleType, "Integer single");
  RegisterStreamTypeName(VekFloatSingleType, "Float single");
  RegisterStreamTypeName(VekRealSingleType, "Real single");
  RegisterStreamTypeName(VekRealComplexSingleType, "Real Complex single");
  RegisterStreamTypeName(VekBooleanSingleType, "Boolean single");
  RegisterStreamTypeName(VekCharacterSingleType, "Character single");
  RegisterStreamTypeName(VekStringType, "Sting");
  RegisterStreamTypeConverter(VekGenericType, &GenericTypeFunction);
}

// The registry goes with the framework's shutdown; the framework's pooled
// memory goes back to the heap.
void FinalizeVekStdTypes() {
  ReleaseVekFreeLists();
}

}  // namespace

TUnit VekStdTypesUnit("VekStdTypes", &InitVekStdTypes, &FinalizeVekStdTypes);

TVekNotifyOperation::TVekNotifyOperation()
    : serial_number_(static_cast<int32_t>(g_serial_number.fetch_add(1) + 1u)) {}

void SetLastOperationSerialNumber(int32_t serial) {
  g_serial_number.store(static_cast<uint32_t>(serial));
}

void* TVekNotifyOperation::operator new(std::size_t size) {
  return VekOperationLists().Allocate(size);
}

void TVekNotifyOperation::operator delete(void* block, std::size_t size) noexcept {
  VekOperationLists().Deallocate(block, size);
}

HRESULT TVekNotifyOperation::QueryInterface(const TGUID& iid, void** obj) {
  HRESULT r = QueryInterfaceTable<IVekNotifyOperation>(this, iid, obj);
  return r == S_OK ? r : TInterfacedObject::QueryInterface(iid, obj);
}

bool GenericTypeFunction(TVekBasicPin* pin, IVekBasicPin* target, const TGUID& streamType,
                         uint8_t flags, IVekNotifyOperation* operation) {
  (void)pin;
  IPtr<IVekStreamReceive> receiver = QueryStreamReceive(target, VekGenericType);
  if (!receiver)
    return false;
  return receiver->Receive(streamType, operation, flags);
}
