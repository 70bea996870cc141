// The data pointers and CreateAccess of the buffer and access interfaces:
// each reaches the object behind the interface, whose virtual operations do
// the work, and types the result.
#include "signal/core/TrelBufferInterfaces.h"

#include "platform/rtl/SysUtils.h"
#include "signal/core/TrelBufferAccess.h"
#include "signal/core/TrelGenericBuffer.h"

namespace {

template <class TypedAccess>
IPtr<TypedAccess> Typed(const IPtr<ITrelDataBufferAccess>& access) {
  IPtr<TypedAccess> typed = Supports<TypedAccess>(access);
  if (!typed) {
    kestrune::RaiseIntfCastError();
  }
  return typed;
}

}  // namespace

void* ITrelDataBuffer::GetData() {
  return GetBufferObject()->GetData();
}
void* ITrelDataBuffer::GetReadData() {
  return GetBufferObject()->GetReadData();
}
void* ITrelDataBuffer::GetWriteData() {
  return GetBufferObject()->GetWriteData();
}
IPtr<ITrelDataBufferAccess> ITrelDataBuffer::CreateAccess() {
  return GetBufferObject()->CreateAccess();
}

double* ITrelRealBuffer::GetData() {
  return static_cast<double*>(ITrelDataBuffer::GetData());
}
double* ITrelRealBuffer::GetReadData() {
  return static_cast<double*>(ITrelDataBuffer::GetReadData());
}
double* ITrelRealBuffer::GetWriteData() {
  return static_cast<double*>(ITrelDataBuffer::GetWriteData());
}
IPtr<ITrelRealDataBufferAccess> ITrelRealBuffer::CreateAccess() {
  return Typed<ITrelRealDataBufferAccess>(ITrelDataBuffer::CreateAccess());
}

std::int32_t* ITrelIntegerBuffer::GetData() {
  return static_cast<std::int32_t*>(ITrelDataBuffer::GetData());
}
std::int32_t* ITrelIntegerBuffer::GetReadData() {
  return static_cast<std::int32_t*>(ITrelDataBuffer::GetReadData());
}
std::int32_t* ITrelIntegerBuffer::GetWriteData() {
  return static_cast<std::int32_t*>(ITrelDataBuffer::GetWriteData());
}
IPtr<ITrelIntegerDataBufferAccess> ITrelIntegerBuffer::CreateAccess() {
  return Typed<ITrelIntegerDataBufferAccess>(ITrelDataBuffer::CreateAccess());
}

std::complex<double>* ITrelComplexBuffer::GetData() {
  return static_cast<std::complex<double>*>(ITrelDataBuffer::GetData());
}
std::complex<double>* ITrelComplexBuffer::GetReadData() {
  return static_cast<std::complex<double>*>(ITrelDataBuffer::GetReadData());
}
std::complex<double>* ITrelComplexBuffer::GetWriteData() {
  return static_cast<std::complex<double>*>(ITrelDataBuffer::GetWriteData());
}
IPtr<ITrelComplexDataBufferAccess> ITrelComplexBuffer::CreateAccess() {
  return Typed<ITrelComplexDataBufferAccess>(ITrelDataBuffer::CreateAccess());
}

std::uint8_t* ITrelBlockBuffer::GetData() {
  return static_cast<std::uint8_t*>(ITrelDataBuffer::GetData());
}
std::uint8_t* ITrelBlockBuffer::GetReadData() {
  return static_cast<std::uint8_t*>(ITrelDataBuffer::GetReadData());
}
std::uint8_t* ITrelBlockBuffer::GetWriteData() {
  return static_cast<std::uint8_t*>(ITrelDataBuffer::GetWriteData());
}
IPtr<ITrelBlockDataBufferAccess> ITrelBlockBuffer::CreateAccess() {
  return Typed<ITrelBlockDataBufferAccess>(ITrelDataBuffer::CreateAccess());
}

void* ITrelDataBufferAccess::GetData() {
  return GetAccessObject()->GetData();
}
void* ITrelDataBufferAccess::GetReadData() {
  return GetAccessObject()->GetReadData();
}
void* ITrelDataBufferAccess::GetWriteData() {
  return GetAccessObject()->GetWriteData();
}

double* ITrelRealDataBufferAccess::GetData() {
  return static_cast<double*>(ITrelDataBufferAccess::GetData());
}
double* ITrelRealDataBufferAccess::GetReadData() {
  return static_cast<double*>(ITrelDataBufferAccess::GetReadData());
}
double* ITrelRealDataBufferAccess::GetWriteData() {
  return static_cast<double*>(ITrelDataBufferAccess::GetWriteData());
}

std::int32_t* ITrelIntegerDataBufferAccess::GetData() {
  return static_cast<std::int32_t*>(ITrelDataBufferAccess::GetData());
}
std::int32_t* ITrelIntegerDataBufferAccess::GetReadData() {
  return static_cast<std::int32_t*>(ITrelDataBufferAccess::GetReadData());
}
std::int32_t* ITrelIntegerDataBufferAccess::GetWriteData() {
  return static_cast<std::int32_t*>(ITrelDataBufferAccess::GetWriteData());
}

std::complex<double>* ITrelComplexDataBufferAccess::GetData() {
  return static_cast<std::complex<double>*>(ITrelDataBufferAccess::GetData());
}
std::complex<double>* ITrelComplexDataBufferAccess::GetReadData() {
  return static_cast<std::complex<double>*>(ITrelDataBufferAccess::GetReadData());
}
std::complex<double>* ITrelComplexDataBufferAccess::GetWriteData() {
  return static_cast<std::complex<double>*>(ITrelDataBufferAccess::GetWriteData());
}

std::uint8_t* ITrelBlockDataBufferAccess::GetData() {
  return static_cast<std::uint8_t*>(ITrelDataBufferAccess::GetData());
}
std::uint8_t* ITrelBlockDataBufferAccess::GetReadData() {
  return static_cast<std::uint8_t*>(ITrelDataBufferAccess::GetReadData());
}
std::uint8_t* ITrelBlockDataBufferAccess::GetWriteData() {
  return static_cast<std::uint8_t*>(ITrelDataBufferAccess::GetWriteData());
}
