// The typed buffers: real (double), integer (int32), complex (two doubles)
// and block (byte) sample containers on pooled memory blocks.
//
// Each is a TTrelMemoryBuffer with its element size, named constructors
// returning the typed interface, element access and whole-buffer operations
// that call the vector primitives in place (this buffer is always the
// destination). Operations that overwrite every element (Fill, Zero, Chirp)
// take the block through GetReadData, so a shared block is replaced without
// a copy; operations that read and change elements (Add ... Divide, SetValue)
// take it through GetWriteData, so a shared block is copied first; reads
// (GetValue, Min, Max, the range operations, the operand of a two-operand
// operation) use GetData and take no lock.
//
// Making a buffer takes its block (and the block's header) from the smart
// block store and the buffer object itself from the buffer objects' free
// lists (TrelGenericBuffer.h), so a warm program makes buffers without the
// general heap;
// the named constructors raise ERangeError for a negative count or more than
// 2^30 bytes, EInvalidPointer for a nullptr source with a count above 0, and
// EOutOfMemory, keeping nothing in every case.
//
// Threads: see TrelBufferInterfaces.h. The operand of a two-operand
// operation is read without a lock: no other thread may change it meanwhile.
#pragma once

#include <complex>
#include <cstdint>

#include "signal/core/TrelGenericBuffer.h"

class TTrelRealBuffer : public TTrelMemoryBuffer, public virtual ITrelRealBuffer {
  KESTRUNE_CLASS(TTrelRealBuffer, TTrelMemoryBuffer)
  using TTrelMemoryBuffer::TTrelMemoryBuffer;

  // No samples (a block of the smallest class, 4 bytes).
  static IPtr<ITrelRealBuffer> CreateEmpty();
  // `count` doubles, contents undefined.
  static IPtr<ITrelRealBuffer> CreateCount(std::int32_t count);
  // A copy of `count` doubles from `data`.
  static IPtr<ITrelRealBuffer> CreateFromData(const double* data, std::int32_t count);
  // `count` doubles converted exactly from `count` int32 values at `source`.
  static IPtr<ITrelRealBuffer> CreateConverted(const std::int32_t* source, std::int32_t count);
  // A real buffer on `source`'s block with source's byte size (a further
  // writer of that block: copy on write). EInvalidPointer for nullptr,
  // EInvalidCast when source's block is not a memory block.
  static IPtr<ITrelRealBuffer> CreateShared(ITrelDataBuffer* source);
  // The same as CreateShared.
  static IPtr<ITrelRealBuffer> CreateSharedData(ITrelDataBuffer* source);

  HRESULT QueryInterface(const TGUID& iid, void** obj) override;
  IPtr<ITrelDataBuffer> Clone() override;
  std::int32_t GetElementSize() override { return 8; }
  // In elements when dest is a real buffer, else the byte copy.
  void CopyTo(std::int32_t offset, ITrelDataBuffer* dest, std::int32_t destOffset,
              std::int32_t count) override;

  using ITrelRealBuffer::CreateAccess;
  using ITrelRealBuffer::GetData;
  using ITrelRealBuffer::GetReadData;
  using ITrelRealBuffer::GetWriteData;
  double GetValue(std::int32_t index) override;
  void SetValue(std::int32_t index, double value) override;
  void Chirp(double magnitude) override;
  void Add(ITrelRealBuffer* operand) override;
  void Subtract(ITrelRealBuffer* operand) override;
  void Multiply(ITrelRealBuffer* operand) override;
  void Divide(ITrelRealBuffer* operand) override;
  void Fill(double value) override;
  void Zero() override;
  double Min() override;
  double Max() override;
  double RangeMin(std::int32_t from, std::int32_t to) override;
  double RangeMax(std::int32_t from, std::int32_t to) override;
  double ValidRangeMin(std::int32_t from, std::int32_t to) override;
  double ValidRangeMax(std::int32_t from, std::int32_t to) override;

 protected:
  TTrelDataBufferAccess* NewAccess() override;
};

class TTrelIntegerBuffer : public TTrelMemoryBuffer, public virtual ITrelIntegerBuffer {
  KESTRUNE_CLASS(TTrelIntegerBuffer, TTrelMemoryBuffer)
  using TTrelMemoryBuffer::TTrelMemoryBuffer;

  static IPtr<ITrelIntegerBuffer> CreateEmpty();
  static IPtr<ITrelIntegerBuffer> CreateCount(std::int32_t count);
  static IPtr<ITrelIntegerBuffer> CreateShared(ITrelDataBuffer* source);

  HRESULT QueryInterface(const TGUID& iid, void** obj) override;
  IPtr<ITrelDataBuffer> Clone() override;
  std::int32_t GetElementSize() override { return 4; }
  // In elements when dest is an integer buffer, else the byte copy.
  void CopyTo(std::int32_t offset, ITrelDataBuffer* dest, std::int32_t destOffset,
              std::int32_t count) override;

  using ITrelIntegerBuffer::CreateAccess;
  using ITrelIntegerBuffer::GetData;
  using ITrelIntegerBuffer::GetReadData;
  using ITrelIntegerBuffer::GetWriteData;
  std::int32_t GetValue(std::int32_t index) override;
  void SetValue(std::int32_t index, std::int32_t value) override;
  void Add(ITrelIntegerBuffer* operand) override;
  void Subtract(ITrelIntegerBuffer* operand) override;
  void Multiply(ITrelIntegerBuffer* operand) override;
  void Divide(ITrelIntegerBuffer* operand) override;
  void Fill(std::int32_t value) override;
  void Zero() override;
  std::int32_t Min() override;
  std::int32_t Max() override;

 protected:
  TTrelDataBufferAccess* NewAccess() override;
};

class TTrelComplexBuffer : public TTrelMemoryBuffer, public virtual ITrelComplexBuffer {
  KESTRUNE_CLASS(TTrelComplexBuffer, TTrelMemoryBuffer)
  using TTrelMemoryBuffer::TTrelMemoryBuffer;

  static IPtr<ITrelComplexBuffer> CreateCount(std::int32_t count);

  HRESULT QueryInterface(const TGUID& iid, void** obj) override;
  IPtr<ITrelDataBuffer> Clone() override;
  std::int32_t GetElementSize() override { return 16; }

  using ITrelComplexBuffer::CreateAccess;
  using ITrelComplexBuffer::GetData;
  using ITrelComplexBuffer::GetReadData;
  using ITrelComplexBuffer::GetWriteData;
  std::complex<double> GetValue(std::int32_t index) override;
  void SetValue(std::int32_t index, std::complex<double> value) override;
  void Add(ITrelComplexBuffer* operand) override;
  void Subtract(ITrelComplexBuffer* operand) override;
  void Multiply(ITrelComplexBuffer* operand) override;
  void Divide(ITrelComplexBuffer* operand) override;
  void Fill(std::complex<double> value) override;
  void Zero() override;

 protected:
  TTrelDataBufferAccess* NewAccess() override;
};

class TTrelBlockBuffer : public TTrelMemoryBuffer, public virtual ITrelBlockBuffer {
  KESTRUNE_CLASS(TTrelBlockBuffer, TTrelMemoryBuffer)
  using TTrelMemoryBuffer::TTrelMemoryBuffer;

  // `byteCount` bytes, contents undefined.
  static IPtr<ITrelBlockBuffer> CreateSize(std::int32_t byteCount);

  HRESULT QueryInterface(const TGUID& iid, void** obj) override;
  IPtr<ITrelDataBuffer> Clone() override;
  std::int32_t GetElementSize() override { return 1; }

  using ITrelBlockBuffer::CreateAccess;
  using ITrelBlockBuffer::GetData;
  using ITrelBlockBuffer::GetReadData;
  using ITrelBlockBuffer::GetWriteData;
  void Add(ITrelBlockBuffer* operand) override;
  void Subtract(ITrelBlockBuffer* operand) override;
  void Multiply(ITrelBlockBuffer* operand) override;
  void Divide(ITrelBlockBuffer* operand) override;
  void Fill(std::uint8_t value) override;
  void Zero() override;

 protected:
  TTrelDataBufferAccess* NewAccess() override;
};
