#include "signal/core/TrelBufferAccess.h"

#include "platform/rtl/SysUtils.h"
#include "signal/core/TrelTypedBuffers.h"

namespace {

[[noreturn]] void RaiseDetached() {
  throw EInvalidOperation("The buffer of this access object no longer exists");
}

// The buffer behind an operand access object, as the typed buffer interface
// the operation needs. Raises EInvalidPointer for nullptr, EInvalidOperation
// when the operand is detached and EIntfCastError "Interface non supportée"
// when its buffer is of another kind.
template <class BufferInterface>
IPtr<BufferInterface> OperandBuffer(ITrelDataBufferAccess* operand) {
  if (operand == nullptr) {
    throw EInvalidPointer("No operand access object given");
  }
  TTrelGenericBuffer* buffer = operand->GetAccessObject()->Buffer();
  if (buffer == nullptr) {
    RaiseDetached();
  }
  IPtr<BufferInterface> typed = Supports<BufferInterface>(static_cast<ITrelDataBuffer*>(buffer));
  if (!typed) {
    kestrune::RaiseIntfCastError();
  }
  return typed;
}

}  // namespace

// ---------------------------------------------------------------------------
// TTrelDataBufferAccess

TTrelDataBufferAccess::~TTrelDataBufferAccess() {
  Detach();
}

HRESULT TTrelDataBufferAccess::QueryInterface(const TGUID& iid, void** obj) {
  const HRESULT result = QueryInterfaceTable<ITrelDataBufferAccess>(this, iid, obj);
  return result == S_OK ? result : inherited::QueryInterface(iid, obj);
}

void TTrelDataBufferAccess::Detach() {
  if (buffer_ != nullptr) {
    TTrelGenericBuffer* buffer = buffer_;
    buffer_ = nullptr;
    buffer->RemoveAccess(this);
  }
}

TTrelGenericBuffer* TTrelDataBufferAccess::RequireBuffer() const {
  if (buffer_ == nullptr) {
    RaiseDetached();
  }
  return buffer_;
}

void* TTrelDataBufferAccess::GetData() {
  return RequireBuffer()->GetData();
}

void* TTrelDataBufferAccess::GetReadData() {
  return RequireBuffer()->GetReadData();
}

void* TTrelDataBufferAccess::GetWriteData() {
  return RequireBuffer()->GetWriteData();
}

std::int32_t TTrelDataBufferAccess::GetCount() {
  return RequireBuffer()->GetCount();
}

void TTrelDataBufferAccess::SetCount(std::int32_t newCount, bool keepData) {
  if (newCount != GetCount()) {
    RequireBuffer()->SetCount(newCount, keepData);
  }
}

bool TTrelDataBufferAccess::Lock(bool keepData) {
  return RequireBuffer()->Lock(keepData);
}

std::int32_t TTrelDataBufferAccess::GetByteSize() {
  return RequireBuffer()->GetByteSize();
}

IPtr<ITrelDataBuffer> TTrelDataBufferAccess::GetBuffer() {
  return IPtr<ITrelDataBuffer>(buffer_);
}

TTrelSequenceStamp* TTrelDataBufferAccess::GetSequenceStamp() {
  return RequireBuffer()->GetSequenceStamp();
}

void TTrelDataBufferAccess::CopyTo(std::int32_t offset, ITrelDataBufferAccess* dest,
                                   std::int32_t destOffset, std::int32_t count) {
  TTrelGenericBuffer* source = RequireBuffer();
  if (dest == nullptr) {
    throw EInvalidPointer("No destination access object given");
  }
  IPtr<ITrelDataBuffer> target = dest->GetBuffer();
  if (!target) {
    RaiseDetached();
  }
  source->CopyTo(offset, target.get(), destOffset, count);
}

IPtr<ITrelDataBuffer> TTrelDataBufferAccess::Clone() {
  return RequireBuffer()->Clone();
}

// ---------------------------------------------------------------------------
// TTrelRealDataBufferAccess

HRESULT TTrelRealDataBufferAccess::QueryInterface(const TGUID& iid, void** obj) {
  const HRESULT result = QueryInterfaceTable<ITrelRealDataBufferAccess>(this, iid, obj);
  return result == S_OK ? result : inherited::QueryInterface(iid, obj);
}

TTrelRealBuffer* TTrelRealDataBufferAccess::Target() const {
  return static_cast<TTrelRealBuffer*>(RequireBuffer());
}

double TTrelRealDataBufferAccess::GetValue(std::int32_t index) {
  return Target()->GetValue(index);
}

void TTrelRealDataBufferAccess::SetValue(std::int32_t index, double value) {
  Target()->SetValue(index, value);
}

void TTrelRealDataBufferAccess::Chirp(double magnitude) {
  Target()->Chirp(magnitude);
}

void TTrelRealDataBufferAccess::Add(ITrelRealDataBufferAccess* operand) {
  TTrelRealBuffer* target = Target();
  target->Add(OperandBuffer<ITrelRealBuffer>(operand).get());
}

void TTrelRealDataBufferAccess::Subtract(ITrelRealDataBufferAccess* operand) {
  TTrelRealBuffer* target = Target();
  target->Subtract(OperandBuffer<ITrelRealBuffer>(operand).get());
}

void TTrelRealDataBufferAccess::Multiply(ITrelRealDataBufferAccess* operand) {
  TTrelRealBuffer* target = Target();
  target->Multiply(OperandBuffer<ITrelRealBuffer>(operand).get());
}

void TTrelRealDataBufferAccess::Divide(ITrelRealDataBufferAccess* operand) {
  TTrelRealBuffer* target = Target();
  target->Divide(OperandBuffer<ITrelRealBuffer>(operand).get());
}

void TTrelRealDataBufferAccess::Fill(double value) {
  Target()->Fill(value);
}

void TTrelRealDataBufferAccess::Zero() {
  Target()->Zero();
}

double TTrelRealDataBufferAccess::Min() {
  return Target()->Min();
}

double TTrelRealDataBufferAccess::Max() {
  return Target()->Max();
}

double TTrelRealDataBufferAccess::RangeMin(std::int32_t from, std::int32_t to) {
  return Target()->RangeMin(from, to);
}

double TTrelRealDataBufferAccess::RangeMax(std::int32_t from, std::int32_t to) {
  return Target()->RangeMax(from, to);
}

// ---------------------------------------------------------------------------
// TTrelIntegerDataBufferAccess

HRESULT TTrelIntegerDataBufferAccess::QueryInterface(const TGUID& iid, void** obj) {
  const HRESULT result = QueryInterfaceTable<ITrelIntegerDataBufferAccess>(this, iid, obj);
  return result == S_OK ? result : inherited::QueryInterface(iid, obj);
}

TTrelIntegerBuffer* TTrelIntegerDataBufferAccess::Target() const {
  return static_cast<TTrelIntegerBuffer*>(RequireBuffer());
}

std::int32_t TTrelIntegerDataBufferAccess::GetValue(std::int32_t index) {
  return Target()->GetValue(index);
}

void TTrelIntegerDataBufferAccess::SetValue(std::int32_t index, std::int32_t value) {
  Target()->SetValue(index, value);
}

void TTrelIntegerDataBufferAccess::Add(ITrelIntegerDataBufferAccess* operand) {
  TTrelIntegerBuffer* target = Target();
  target->Add(OperandBuffer<ITrelIntegerBuffer>(operand).get());
}

void TTrelIntegerDataBufferAccess::Subtract(ITrelIntegerDataBufferAccess* operand) {
  TTrelIntegerBuffer* target = Target();
  target->Subtract(OperandBuffer<ITrelIntegerBuffer>(operand).get());
}

void TTrelIntegerDataBufferAccess::Multiply(ITrelIntegerDataBufferAccess* operand) {
  TTrelIntegerBuffer* target = Target();
  target->Multiply(OperandBuffer<ITrelIntegerBuffer>(operand).get());
}

void TTrelIntegerDataBufferAccess::Divide(ITrelIntegerDataBufferAccess* operand) {
  TTrelIntegerBuffer* target = Target();
  target->Divide(OperandBuffer<ITrelIntegerBuffer>(operand).get());
}

void TTrelIntegerDataBufferAccess::Fill(std::int32_t value) {
  Target()->Fill(value);
}

void TTrelIntegerDataBufferAccess::Zero() {
  Target()->Zero();
}

// ---------------------------------------------------------------------------
// TTrelComplexDataBufferAccess

HRESULT TTrelComplexDataBufferAccess::QueryInterface(const TGUID& iid, void** obj) {
  const HRESULT result = QueryInterfaceTable<ITrelComplexDataBufferAccess>(this, iid, obj);
  return result == S_OK ? result : inherited::QueryInterface(iid, obj);
}

TTrelComplexBuffer* TTrelComplexDataBufferAccess::Target() const {
  return static_cast<TTrelComplexBuffer*>(RequireBuffer());
}

std::complex<double> TTrelComplexDataBufferAccess::GetValue(std::int32_t index) {
  return Target()->GetValue(index);
}

void TTrelComplexDataBufferAccess::SetValue(std::int32_t index, std::complex<double> value) {
  Target()->SetValue(index, value);
}

void TTrelComplexDataBufferAccess::Add(ITrelComplexDataBufferAccess* operand) {
  TTrelComplexBuffer* target = Target();
  target->Add(OperandBuffer<ITrelComplexBuffer>(operand).get());
}

void TTrelComplexDataBufferAccess::Subtract(ITrelComplexDataBufferAccess* operand) {
  TTrelComplexBuffer* target = Target();
  target->Subtract(OperandBuffer<ITrelComplexBuffer>(operand).get());
}

void TTrelComplexDataBufferAccess::Multiply(ITrelComplexDataBufferAccess* operand) {
  TTrelComplexBuffer* target = Target();
  target->Multiply(OperandBuffer<ITrelComplexBuffer>(operand).get());
}

void TTrelComplexDataBufferAccess::Divide(ITrelComplexDataBufferAccess* operand) {
  TTrelComplexBuffer* target = Target();
  target->Divide(OperandBuffer<ITrelComplexBuffer>(operand).get());
}

void TTrelComplexDataBufferAccess::Fill(std::complex<double> value) {
  Target()->Fill(value);
}

void TTrelComplexDataBufferAccess::Zero() {
  Target()->Zero();
}

// ---------------------------------------------------------------------------
// TTrelBlockDataBufferAccess

HRESULT TTrelBlockDataBufferAccess::QueryInterface(const TGUID& iid, void** obj) {
  const HRESULT result = QueryInterfaceTable<ITrelBlockDataBufferAccess>(this, iid, obj);
  return result == S_OK ? result : inherited::QueryInterface(iid, obj);
}

TTrelBlockBuffer* TTrelBlockDataBufferAccess::Target() const {
  return static_cast<TTrelBlockBuffer*>(RequireBuffer());
}

void TTrelBlockDataBufferAccess::Add(ITrelDataBufferAccess* operand) {
  TTrelBlockBuffer* target = Target();
  target->Add(OperandBuffer<ITrelBlockBuffer>(operand).get());
}

void TTrelBlockDataBufferAccess::Subtract(ITrelDataBufferAccess* operand) {
  TTrelBlockBuffer* target = Target();
  target->Subtract(OperandBuffer<ITrelBlockBuffer>(operand).get());
}

void TTrelBlockDataBufferAccess::Multiply(ITrelDataBufferAccess* operand) {
  TTrelBlockBuffer* target = Target();
  target->Multiply(OperandBuffer<ITrelBlockBuffer>(operand).get());
}

void TTrelBlockDataBufferAccess::Divide(ITrelDataBufferAccess* operand) {
  TTrelBlockBuffer* target = Target();
  target->Divide(OperandBuffer<ITrelBlockBuffer>(operand).get());
}

void TTrelBlockDataBufferAccess::Fill(std::uint8_t value) {
  Target()->Fill(value);
}

void TTrelBlockDataBufferAccess::Zero() {
  Target()->Zero();
}
