#include "signal/core/TrelTypedBuffers.h"

#include <algorithm>
#include <cmath>

#include "platform/rtl/SysUtils.h"
#include "signal/core/TrelBufferAccess.h"
#include "signal/primitives/TrelBasicDispatcher.h"

namespace {

// Gap markers of the scope's sample history, skipped by ValidRangeMin/Max.
constexpr double kGapLow = -1.7e308;
constexpr double kGapHigh = 1.7e308;

// What the real Divide stores where the divisor was zero.
constexpr double kPositiveOverZero = 1.0e15;
constexpr double kOtherOverZero = -1.0e14;

TTrelGenericBuffer* SourceObject(ITrelDataBuffer* source) {
  if (source == nullptr) {
    throw EInvalidPointer("No source buffer given");
  }
  return source->GetBufferObject();
}

void CheckIndex(std::int32_t index, std::int32_t count) {
  if (index < 0 || index >= count) {
    throw ERangeError(Format("Index out of rabge = %u", {index}));
  }
}

// The number of elements a two-operand operation works on: the common
// length, so that a shorter operand is never read past its end.
std::int32_t CommonCount(ITrelDataBuffer* self, ITrelDataBuffer* operand) {
  if (operand == nullptr) {
    throw EInvalidPointer("No operand buffer given");
  }
  return std::min(self->GetCount(), operand->GetCount());
}

// this[i] = this[i] op operand[i] over the common length, through one
// in-place primitive (extra arguments: the scale factor of the integer ones).
// The primitive's status is not needed: it refuses only lengths below 1,
// which are not passed.
template <class Self, class Operand, class Primitive, class... Extra>
void ApplyInPlace(Self* self, Operand* operand, const Primitive& primitive, Extra... extra) {
  const std::int32_t count = CommonCount(self, operand);
  if (count < 1) {
    return;
  }
  auto* destination = self->GetWriteData();  // before the operand: it may be this buffer
  primitive(operand->GetData(), destination, count, extra...);
}

// Element `index`, read without a lock after the index check.
template <class Self>
auto ElementAt(Self* self, std::int32_t index) {
  CheckIndex(index, self->GetCount());
  return self->GetData()[index];
}

// Stores `value` at element `index`. The block is made private (contents
// kept) before the index is checked, so a refused index still leaves this
// buffer on a private copy.
template <class Self, class Value>
void StoreAt(Self* self, std::int32_t index, Value value) {
  auto* data = self->GetWriteData();
  CheckIndex(index, self->GetCount());
  data[index] = value;
}

// Runs overwrite(data, count) over every element. It writes them all, so
// the block is taken through GetReadData: a shared block is replaced without
// a copy. Nothing for an empty buffer.
template <class Self, class Overwrite>
void OverwriteAll(Self* self, const Overwrite& overwrite) {
  const std::int32_t count = self->GetCount();
  if (count > 0) {
    // Cannot fail: count >= 1 on the buffer's block (Chirp checks its magnitude first).
    overwrite(self->GetReadData(), count);
  }
}

// Clamps from..to (to exclusive) to a buffer of `count` elements: both to at
// least 0, to to at most count, from to at most count - 1. False when no
// element is left (empty buffer, empty or inverted range).
bool ClampRange(std::int32_t count, std::int32_t& from, std::int32_t& to) {
  from = std::max(from, 0);
  to = std::max(to, 0);
  if (to > count) {
    to = count;
  }
  if (from >= count) {
    from = count - 1;
  }
  return from >= 0 && to > from;
}

// The smallest or largest element of the clamped range through `extreme`
// (VectorMinDouble or VectorMaxDouble); 0.0 when no element is left.
template <class Self, class Extreme>
double RangeExtreme(Self* self, std::int32_t from, std::int32_t to, const Extreme& extreme) {
  if (!ClampRange(self->GetCount(), from, to)) {
    return 0.0;
  }
  double result = 0.0;
  extreme(self->GetData() + from, to - from, &result);
  return result;
}

bool IsGapOrNaN(double value) {
  return value == kGapLow || value == kGapHigh || std::isnan(value);
}

}  // namespace

// ---------------------------------------------------------------------------
// TTrelRealBuffer

IPtr<ITrelRealBuffer> TTrelRealBuffer::CreateEmpty() {
  return IPtr<ITrelRealBuffer>(NewOnFreshBlock<TTrelRealBuffer>(0, 8));
}

IPtr<ITrelRealBuffer> TTrelRealBuffer::CreateCount(std::int32_t count) {
  return IPtr<ITrelRealBuffer>(NewOnFreshBlock<TTrelRealBuffer>(count, 8));
}

IPtr<ITrelRealBuffer> TTrelRealBuffer::CreateFromData(const double* data, std::int32_t count) {
  if (data == nullptr && count > 0) {
    throw EInvalidPointer("No sample data given");
  }
  return IPtr<ITrelRealBuffer>(NewOnFreshBlock<TTrelRealBuffer>(count, 8, data));
}

IPtr<ITrelRealBuffer> TTrelRealBuffer::CreateConverted(const std::int32_t* source,
                                                       std::int32_t count) {
  if (source == nullptr && count > 0) {
    throw EInvalidPointer("No sample data given");
  }
  IPtr<ITrelRealBuffer> buffer(NewOnFreshBlock<TTrelRealBuffer>(count, 8));
  if (count > 0) {
    // Cannot fail: count >= 1, the source and the fresh block exist.
    VectorConvertInt32ToDouble(source, buffer->GetReadData(), count);
  }
  return buffer;
}

IPtr<ITrelRealBuffer> TTrelRealBuffer::CreateShared(ITrelDataBuffer* source) {
  return IPtr<ITrelRealBuffer>(Create<TTrelRealBuffer>(SourceObject(source)));
}

IPtr<ITrelRealBuffer> TTrelRealBuffer::CreateSharedData(ITrelDataBuffer* source) {
  return CreateShared(source);
}

HRESULT TTrelRealBuffer::QueryInterface(const TGUID& iid, void** obj) {
  const HRESULT result = QueryInterfaceTable<ITrelRealBuffer>(this, iid, obj);
  return result == S_OK ? result : inherited::QueryInterface(iid, obj);
}

IPtr<ITrelDataBuffer> TTrelRealBuffer::Clone() {
  return IPtr<ITrelDataBuffer>(Create<TTrelRealBuffer>(this));
}

void TTrelRealBuffer::CopyTo(std::int32_t offset, ITrelDataBuffer* dest, std::int32_t destOffset,
                             std::int32_t count) {
  if (dest == nullptr || !dest->GetBufferObject()->Is<TTrelRealBuffer>()) {
    CopyBytesTo(offset, dest, destOffset, count);
    return;
  }
  if (count < 1) {
    return;
  }
  CheckCopyRange(offset, count, GetCount(), destOffset, dest->GetCount());
  double* to = static_cast<double*>(dest->GetWriteData()) + destOffset;
  const double* from = GetData() + offset;
  // Cannot fail: count >= 1 and both blocks hold the range (checked above).
  VectorCopyDouble(from, to, count);
}

double TTrelRealBuffer::GetValue(std::int32_t index) {
  return ElementAt(this, index);
}

void TTrelRealBuffer::SetValue(std::int32_t index, double value) {
  StoreAt(this, index, value);
}

void TTrelRealBuffer::Chirp(double magnitude) {
  // Checked before the block is taken: a refused chirp must not leave this
  // buffer on a fresh, uncopied block.
  if (magnitude < 0.0) {
    throw ERangeError(Format("Chirp magnitude out of range: %g", {magnitude}));
  }
  OverwriteAll(this, [magnitude](double* data, std::int32_t count) {
    VectorChirpDouble(data, count, magnitude);
  });
}

void TTrelRealBuffer::Add(ITrelRealBuffer* operand) {
  ApplyInPlace(this, operand, VectorAddDoubleInPlace);
}

void TTrelRealBuffer::Subtract(ITrelRealBuffer* operand) {
  ApplyInPlace(this, operand, VectorSubDoubleInPlace);
}

void TTrelRealBuffer::Multiply(ITrelRealBuffer* operand) {
  ApplyInPlace(this, operand, VectorMulDoubleInPlace);
}

void TTrelRealBuffer::Divide(ITrelRealBuffer* operand) {
  const std::int32_t count = CommonCount(this, operand);
  if (count < 1) {
    return;
  }
  // The fix-up below needs the divisors as they were. When the operand is
  // this very block (this buffer, or a holder that no longer writes), a clone
  // keeps the old block alive and makes GetWriteData move us to a copy.
  const double* divisor = operand->GetData();
  IPtr<ITrelDataBuffer> divisorKeeper;
  if (divisor == GetData()) {
    divisorKeeper = Clone();
  }
  double* quotient = GetWriteData();
  if (VectorDivDoubleInPlace(divisor, quotient, count) != StatusZeroDivisor) {
    return;
  }
  // Some divisor was zero: replace those quotients (±inf, or NaN for 0/0) by
  // large finite values. A NaN divisor is treated like a zero here.
  for (std::int32_t i = 0; i < count; ++i) {
    if (divisor[i] == 0.0 || std::isnan(divisor[i])) {
      quotient[i] = quotient[i] > 0.0 ? kPositiveOverZero : kOtherOverZero;
    }
  }
}

void TTrelRealBuffer::Fill(double value) {
  OverwriteAll(this,
               [value](double* data, std::int32_t count) { VectorSetDouble(value, data, count); });
}

void TTrelRealBuffer::Zero() {
  OverwriteAll(this, [](double* data, std::int32_t count) { VectorZeroDouble(data, count); });
}

double TTrelRealBuffer::Min() {
  return RangeMin(0, GetCount());
}

double TTrelRealBuffer::Max() {
  return RangeMax(0, GetCount());
}

double TTrelRealBuffer::RangeMin(std::int32_t from, std::int32_t to) {
  return RangeExtreme(this, from, to, VectorMinDouble);
}

double TTrelRealBuffer::RangeMax(std::int32_t from, std::int32_t to) {
  return RangeExtreme(this, from, to, VectorMaxDouble);
}

double TTrelRealBuffer::ValidRangeMin(std::int32_t from, std::int32_t to) {
  if (!ClampRange(GetCount(), from, to)) {
    return 0.0;
  }
  const double* data = GetData();
  double result = data[from];
  // The first element starts the search unless it is a marker, NaN or below
  // the low marker; then the search starts from 0.0.
  if (result <= kGapLow || result == kGapHigh || std::isnan(result)) {
    result = 0.0;
  }
  for (std::int32_t i = from + 1; i < to; ++i) {
    if (!IsGapOrNaN(data[i]) && data[i] < result) {
      result = data[i];
    }
  }
  return result;
}

double TTrelRealBuffer::ValidRangeMax(std::int32_t from, std::int32_t to) {
  if (!ClampRange(GetCount(), from, to)) {
    return 0.0;
  }
  const double* data = GetData();
  double result = data[from];
  if (IsGapOrNaN(result)) {
    result = 0.0;
  }
  for (std::int32_t i = from + 1; i < to; ++i) {
    if (!IsGapOrNaN(data[i]) && data[i] > result) {
      result = data[i];
    }
  }
  return result;
}

TTrelDataBufferAccess* TTrelRealBuffer::NewAccess() {
  return Create<TTrelRealDataBufferAccess>(this);
}

// ---------------------------------------------------------------------------
// TTrelIntegerBuffer

IPtr<ITrelIntegerBuffer> TTrelIntegerBuffer::CreateEmpty() {
  return IPtr<ITrelIntegerBuffer>(NewOnFreshBlock<TTrelIntegerBuffer>(0, 4));
}

IPtr<ITrelIntegerBuffer> TTrelIntegerBuffer::CreateCount(std::int32_t count) {
  return IPtr<ITrelIntegerBuffer>(NewOnFreshBlock<TTrelIntegerBuffer>(count, 4));
}

IPtr<ITrelIntegerBuffer> TTrelIntegerBuffer::CreateShared(ITrelDataBuffer* source) {
  return IPtr<ITrelIntegerBuffer>(Create<TTrelIntegerBuffer>(SourceObject(source)));
}

HRESULT TTrelIntegerBuffer::QueryInterface(const TGUID& iid, void** obj) {
  const HRESULT result = QueryInterfaceTable<ITrelIntegerBuffer>(this, iid, obj);
  return result == S_OK ? result : inherited::QueryInterface(iid, obj);
}

IPtr<ITrelDataBuffer> TTrelIntegerBuffer::Clone() {
  return IPtr<ITrelDataBuffer>(Create<TTrelIntegerBuffer>(this));
}

void TTrelIntegerBuffer::CopyTo(std::int32_t offset, ITrelDataBuffer* dest, std::int32_t destOffset,
                                std::int32_t count) {
  if (dest == nullptr || !dest->GetBufferObject()->Is<TTrelIntegerBuffer>()) {
    CopyBytesTo(offset, dest, destOffset, count);
    return;
  }
  if (count < 1) {
    return;
  }
  CheckCopyRange(offset, count, GetCount(), destOffset, dest->GetCount());
  auto* to = static_cast<std::uint8_t*>(dest->GetWriteData()) + std::int64_t{destOffset} * 4;
  const auto* from = reinterpret_cast<const std::uint8_t*>(GetData() + offset);
  VectorCopyUInt8(from, to, count * 4);  // at most 2^30 bytes: checked above
}

std::int32_t TTrelIntegerBuffer::GetValue(std::int32_t index) {
  return ElementAt(this, index);
}

void TTrelIntegerBuffer::SetValue(std::int32_t index, std::int32_t value) {
  StoreAt(this, index, value);
}

void TTrelIntegerBuffer::Add(ITrelIntegerBuffer* operand) {
  ApplyInPlace(this, operand, VectorAddInt32InPlaceScaled, 0);
}

void TTrelIntegerBuffer::Subtract(ITrelIntegerBuffer* operand) {
  ApplyInPlace(this, operand, VectorSubInt32InPlaceScaled, 0);
}

void TTrelIntegerBuffer::Multiply(ITrelIntegerBuffer* operand) {
  ApplyInPlace(this, operand, VectorMulInt32InPlaceScaled, 0);
}

void TTrelIntegerBuffer::Divide(ITrelIntegerBuffer* operand) {
  ApplyInPlace(this, operand, VectorDivInt32InPlaceScaled, 0);
}

void TTrelIntegerBuffer::Fill(std::int32_t value) {
  OverwriteAll(this, [value](std::int32_t* data, std::int32_t count) {
    VectorSetInt32(value, data, count);
  });
}

void TTrelIntegerBuffer::Zero() {
  OverwriteAll(this, [](std::int32_t* data, std::int32_t count) {
    // The same bytes as count int32 elements.
    VectorZeroInt16(reinterpret_cast<std::int16_t*>(data), 2 * count);
  });
}

std::int32_t TTrelIntegerBuffer::Min() {
  const std::int32_t count = GetCount();
  if (count < 1) {
    return 0;
  }
  const std::int32_t* data = GetData();
  return *std::min_element(data, data + count);
}

std::int32_t TTrelIntegerBuffer::Max() {
  const std::int32_t count = GetCount();
  if (count < 1) {
    return 0;
  }
  const std::int32_t* data = GetData();
  return *std::max_element(data, data + count);
}

TTrelDataBufferAccess* TTrelIntegerBuffer::NewAccess() {
  return Create<TTrelIntegerDataBufferAccess>(this);
}

// ---------------------------------------------------------------------------
// TTrelComplexBuffer

IPtr<ITrelComplexBuffer> TTrelComplexBuffer::CreateCount(std::int32_t count) {
  return IPtr<ITrelComplexBuffer>(NewOnFreshBlock<TTrelComplexBuffer>(count, 16));
}

HRESULT TTrelComplexBuffer::QueryInterface(const TGUID& iid, void** obj) {
  const HRESULT result = QueryInterfaceTable<ITrelComplexBuffer>(this, iid, obj);
  return result == S_OK ? result : inherited::QueryInterface(iid, obj);
}

IPtr<ITrelDataBuffer> TTrelComplexBuffer::Clone() {
  return IPtr<ITrelDataBuffer>(Create<TTrelComplexBuffer>(this));
}

std::complex<double> TTrelComplexBuffer::GetValue(std::int32_t index) {
  return ElementAt(this, index);
}

void TTrelComplexBuffer::SetValue(std::int32_t index, std::complex<double> value) {
  StoreAt(this, index, value);
}

void TTrelComplexBuffer::Add(ITrelComplexBuffer* operand) {
  ApplyInPlace(this, operand, VectorAddComplexInPlace);
}

void TTrelComplexBuffer::Subtract(ITrelComplexBuffer* operand) {
  ApplyInPlace(this, operand, VectorSubComplexInPlace);
}

void TTrelComplexBuffer::Multiply(ITrelComplexBuffer* operand) {
  ApplyInPlace(this, operand, VectorMulComplexInPlace);
}

void TTrelComplexBuffer::Divide(ITrelComplexBuffer* operand) {
  ApplyInPlace(this, operand, VectorDivComplexInPlace);
}

void TTrelComplexBuffer::Fill(std::complex<double> value) {
  OverwriteAll(this, [value](std::complex<double>* data, std::int32_t count) {
    VectorSetComplex(value.real(), value.imag(), data, count);
  });
}

void TTrelComplexBuffer::Zero() {
  OverwriteAll(
      this, [](std::complex<double>* data, std::int32_t count) { VectorZeroComplex(data, count); });
}

TTrelDataBufferAccess* TTrelComplexBuffer::NewAccess() {
  return Create<TTrelComplexDataBufferAccess>(this);
}

// ---------------------------------------------------------------------------
// TTrelBlockBuffer

IPtr<ITrelBlockBuffer> TTrelBlockBuffer::CreateSize(std::int32_t byteCount) {
  return IPtr<ITrelBlockBuffer>(NewOnFreshBlock<TTrelBlockBuffer>(byteCount, 1));
}

HRESULT TTrelBlockBuffer::QueryInterface(const TGUID& iid, void** obj) {
  const HRESULT result = QueryInterfaceTable<ITrelBlockBuffer>(this, iid, obj);
  return result == S_OK ? result : inherited::QueryInterface(iid, obj);
}

IPtr<ITrelDataBuffer> TTrelBlockBuffer::Clone() {
  return IPtr<ITrelDataBuffer>(Create<TTrelBlockBuffer>(this));
}

void TTrelBlockBuffer::Add(ITrelBlockBuffer* operand) {
  ApplyInPlace(this, operand, VectorAddUInt8InPlaceScaled, 0);
}

void TTrelBlockBuffer::Subtract(ITrelBlockBuffer* operand) {
  ApplyInPlace(this, operand, VectorSubUInt8InPlaceScaled, 0);
}

void TTrelBlockBuffer::Multiply(ITrelBlockBuffer* operand) {
  ApplyInPlace(this, operand, VectorMulUInt8InPlaceScaled, 0);
}

void TTrelBlockBuffer::Divide(ITrelBlockBuffer* operand) {
  const std::int32_t count = CommonCount(this, operand);
  if (count < 1) {
    return;
  }
  std::uint8_t* dividend = GetWriteData();
  const std::uint8_t* divisor = operand->GetData();
  for (std::int32_t i = 0; i < count; ++i) {
    if (divisor[i] == 0) {
      kestrune::RaiseDivByZero();
    }
    dividend[i] = static_cast<std::uint8_t>(dividend[i] / divisor[i]);
  }
}

void TTrelBlockBuffer::Fill(std::uint8_t value) {
  OverwriteAll(this, [value](std::uint8_t* data, std::int32_t count) {
    VectorSetUInt8(value, data, count);
  });
}

void TTrelBlockBuffer::Zero() {
  OverwriteAll(this, [](std::uint8_t* data, std::int32_t count) { VectorZeroUInt8(data, count); });
}

TTrelDataBufferAccess* TTrelBlockBuffer::NewAccess() {
  return Create<TTrelBlockDataBufferAccess>(this);
}
