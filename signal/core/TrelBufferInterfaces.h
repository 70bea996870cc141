// The interfaces of the data buffers and of their access objects.
//
// Components hold buffers and access objects through these interfaces, in
// IPtr<> smart pointers. Each typed interface extends its untyped parent:
//
//   ITrelDataBuffer        <- ITrelRealBuffer, ITrelIntegerBuffer,
//                             ITrelComplexBuffer, ITrelBlockBuffer
//   ITrelDataBufferAccess  <- ITrelRealDataBufferAccess, ...Integer...,
//                             ...Complex..., ITrelBlockDataBufferAccess
//
// The three data pointers:
//   GetData       the samples, for reading (and writing where the caller
//                 knows the block is its own); takes no lock, copies nothing.
//   GetReadData   for an operation that will OVERWRITE EVERY ELEMENT: a block
//                 shared with another writer is replaced by a private block
//                 WITHOUT copying, so the contents are undefined afterwards.
//                 Never read through it.
//   GetWriteData  for changing some elements: a shared block is first copied
//                 into a private one, contents kept.
// Each typed interface returns them typed (double*, std::int32_t*,
// std::complex<double>*, std::uint8_t*); the untyped ones return void*.
// Those three, and CreateAccess, are plain members that reach the buffer
// object (GetBufferObject / GetAccessObject), because a C++ class cannot give
// one virtual function two return types.
//
// Threads: one buffer object (and its access objects) is used by one thread at
// a time; interface references may be passed between threads (the count is
// atomic). Different buffer objects sharing one block may be used on different
// threads at once: copy on write keeps each writer's changes to itself.
#pragma once

#include <complex>
#include <cstdint>

#include "platform/rtl/System.h"

class TTrelGenericBuffer;
class TTrelSequenceStamp;
class TTrelDataBufferAccess;
struct ITrelDataBufferAccess;
struct ITrelRealDataBufferAccess;
struct ITrelIntegerDataBufferAccess;
struct ITrelComplexDataBufferAccess;
struct ITrelBlockDataBufferAccess;

// A reference-counted view (data pointer and byte size) onto a smart block.
struct ITrelDataBuffer : public virtual IInterface {
  static constexpr TGUID IID = TGUID::Parse("{CA519E69-AECD-43D8-89CF-3B55E15541ED}");

  // Makes this buffer a view of `source`'s block (a further writer of it) and
  // takes its byte size. Raises EInvalidPointer for nullptr, and EInvalidCast
  // when this buffer cannot view that kind of block.
  virtual void ShareFrom(ITrelDataBuffer* source) = 0;
  // The object behind the interface (not counted).
  virtual TTrelGenericBuffer* GetBufferObject() = 0;
  void* GetData();
  void* GetReadData();
  void* GetWriteData();
  virtual std::int32_t GetByteSize() = 0;
  // The number of elements (bytes for the untyped buffers).
  virtual std::int32_t GetCount() = 0;
  // The buffer's identity stamp; lives as long as the buffer.
  virtual TTrelSequenceStamp* GetSequenceStamp() = 0;
  // Copies `count` units of THIS buffer, from `offset`, INTO `dest` at
  // `destOffset`, writing through dest's GetWriteData. Units are bytes, or
  // elements between two real or two integer buffers. A count below 1 copies
  // nothing. Raises EInvalidPointer for a nullptr dest and ERangeError,
  // copying nothing, when either range leaves its buffer.
  virtual void CopyTo(std::int32_t offset, ITrelDataBuffer* dest, std::int32_t destOffset,
                      std::int32_t count) = 0;
  // Resizes to `newCount` elements. 0 and the current count change nothing;
  // shrinking keeps the block; growing stays in an exclusive block while its
  // capacity allows and otherwise takes a new block, copying the old
  // contents when `keepData`. Grown elements are not cleared. Raises
  // ERangeError for a negative count or more than 2^30 bytes and EOutOfMemory
  // when memory runs out, changing nothing in both cases.
  virtual void SetCount(std::int32_t newCount, bool keepData) = 0;
  // Makes the block private when it is shared with another writer (copying
  // the contents when `keepData`); true when a private block was made.
  virtual bool Lock(bool keepData) = 0;
  // A new buffer of the same class sharing this buffer's block.
  virtual IPtr<ITrelDataBuffer> Clone() = 0;
  // A new access object on this buffer (typed for the typed buffers).
  IPtr<ITrelDataBufferAccess> CreateAccess();

 protected:
  ~ITrelDataBuffer() = default;
};

// Doubles.
struct ITrelRealBuffer : public virtual ITrelDataBuffer {
  static constexpr TGUID IID = TGUID::Parse("{032C61EC-364E-4739-A2FE-E7DA0BA64939}");

  double* GetData();
  double* GetReadData();
  double* GetWriteData();
  IPtr<ITrelRealDataBufferAccess> CreateAccess();

  // Element access. An index outside 0..GetCount()-1 raises ERangeError
  // "Index out of rabge = %u" (the index read as unsigned); SetValue makes
  // the block private (keeping its contents) before that check.
  virtual double GetValue(std::int32_t index) = 0;
  virtual void SetValue(std::int32_t index, double value) = 0;

  // Whole-buffer operations; this buffer is the destination. Two-operand
  // operations work on the common length of the two buffers and raise
  // EInvalidPointer for a nullptr operand.
  // A sweep from 0 to half the sample rate; raises ERangeError for a
  // negative magnitude, changing nothing.
  virtual void Chirp(double magnitude) = 0;
  virtual void Add(ITrelRealBuffer* operand) = 0;
  // this - operand.
  virtual void Subtract(ITrelRealBuffer* operand) = 0;
  virtual void Multiply(ITrelRealBuffer* operand) = 0;
  // this / operand. A zero divisor (either sign) gives 1.0e15 for a positive
  // dividend and -1.0e14 otherwise; when some divisor is zero, NaN divisors
  // give -1.0e14 too. Other results are IEEE quotients.
  virtual void Divide(ITrelRealBuffer* operand) = 0;
  virtual void Fill(double value) = 0;
  virtual void Zero() = 0;
  // Smallest and largest element (NaN skipped); 0.0 for an empty buffer.
  virtual double Min() = 0;
  virtual double Max() = 0;
  // The same over elements from..to-1 after clamping: from and to to at
  // least 0, to to at most the count, from to at most count-1. 0.0 when the
  // clamped range is empty or inverted (and for an empty buffer).
  virtual double RangeMin(std::int32_t from, std::int32_t to) = 0;
  virtual double RangeMax(std::int32_t from, std::int32_t to) = 0;
  // As RangeMin/RangeMax, skipping the gap markers -1.7e308 and 1.7e308 and
  // NaN. The search starts from element `from`, taken as 0.0 when it is a
  // marker or NaN (for the minimum also when it is below -1.7e308).
  virtual double ValidRangeMin(std::int32_t from, std::int32_t to) = 0;
  virtual double ValidRangeMax(std::int32_t from, std::int32_t to) = 0;

 protected:
  ~ITrelRealBuffer() = default;
};

// Signed 32-bit integers. Arithmetic saturates (scale factor 0); a zero
// divisor gives INT32_MAX, INT32_MIN or 0 by the dividend's sign.
struct ITrelIntegerBuffer : public virtual ITrelDataBuffer {
  static constexpr TGUID IID = TGUID::Parse("{51D45274-AF18-4746-BBF1-94C82F07139B}");

  std::int32_t* GetData();
  std::int32_t* GetReadData();
  std::int32_t* GetWriteData();
  IPtr<ITrelIntegerDataBufferAccess> CreateAccess();

  // Index errors as for ITrelRealBuffer.
  virtual std::int32_t GetValue(std::int32_t index) = 0;
  virtual void SetValue(std::int32_t index, std::int32_t value) = 0;
  // Two-operand operations work on the common length; nullptr operands raise
  // EInvalidPointer.
  virtual void Add(ITrelIntegerBuffer* operand) = 0;
  virtual void Subtract(ITrelIntegerBuffer* operand) = 0;
  virtual void Multiply(ITrelIntegerBuffer* operand) = 0;
  virtual void Divide(ITrelIntegerBuffer* operand) = 0;
  virtual void Fill(std::int32_t value) = 0;
  virtual void Zero() = 0;
  // 0 for an empty buffer.
  virtual std::int32_t Min() = 0;
  virtual std::int32_t Max() = 0;

 protected:
  ~ITrelIntegerBuffer() = default;
};

// Complex doubles (real part first). CopyTo counts bytes.
struct ITrelComplexBuffer : public virtual ITrelDataBuffer {
  static constexpr TGUID IID = TGUID::Parse("{FA61019A-FF10-4472-9F8C-89DC48D5C792}");

  std::complex<double>* GetData();
  std::complex<double>* GetReadData();
  std::complex<double>* GetWriteData();
  IPtr<ITrelComplexDataBufferAccess> CreateAccess();

  // Index errors as for ITrelRealBuffer.
  virtual std::complex<double> GetValue(std::int32_t index) = 0;
  virtual void SetValue(std::int32_t index, std::complex<double> value) = 0;
  // Two-operand operations work on the common length; a divisor (0, 0) gives
  // (NaN, NaN).
  virtual void Add(ITrelComplexBuffer* operand) = 0;
  virtual void Subtract(ITrelComplexBuffer* operand) = 0;
  virtual void Multiply(ITrelComplexBuffer* operand) = 0;
  virtual void Divide(ITrelComplexBuffer* operand) = 0;
  virtual void Fill(std::complex<double> value) = 0;
  virtual void Zero() = 0;

 protected:
  ~ITrelComplexBuffer() = default;
};

// Unsigned bytes. Add saturates at 255, Subtract at 0.
struct ITrelBlockBuffer : public virtual ITrelDataBuffer {
  static constexpr TGUID IID = TGUID::Parse("{1D7F6725-9466-43E9-9B6C-164FAB691FEA}");

  std::uint8_t* GetData();
  std::uint8_t* GetReadData();
  std::uint8_t* GetWriteData();
  IPtr<ITrelBlockDataBufferAccess> CreateAccess();

  virtual void Add(ITrelBlockBuffer* operand) = 0;
  virtual void Subtract(ITrelBlockBuffer* operand) = 0;
  virtual void Multiply(ITrelBlockBuffer* operand) = 0;
  // Truncating byte division over the common length. A zero divisor byte
  // raises EDivByZero "Division par zéro" at that element: the elements
  // before it are divided, the rest unchanged.
  virtual void Divide(ITrelBlockBuffer* operand) = 0;
  virtual void Fill(std::uint8_t value) = 0;
  virtual void Zero() = 0;

 protected:
  ~ITrelBlockBuffer() = default;
};

// ---------------------------------------------------------------------------
// Access objects: small counted objects made by a buffer's CreateAccess that
// forward to the buffer without keeping it alive. When the buffer goes first
// the access object is detached: GetBuffer returns nullptr, release works,
// and every other call raises EInvalidOperation.

struct ITrelDataBufferAccess : public virtual IInterface {
  static constexpr TGUID IID = TGUID::Parse("{79AC1B68-805F-465B-AC3F-2E48EA951B98}");

  // The object behind the interface (not counted).
  virtual TTrelDataBufferAccess* GetAccessObject() = 0;
  void* GetData();
  void* GetReadData();
  void* GetWriteData();
  virtual std::int32_t GetByteSize() = 0;
  virtual std::int32_t GetCount() = 0;
  // The buffer, or nullptr once detached.
  virtual IPtr<ITrelDataBuffer> GetBuffer() = 0;
  virtual TTrelSequenceStamp* GetSequenceStamp() = 0;
  // The buffer's CopyTo into dest's buffer: from THIS object's buffer INTO
  // dest's.
  virtual void CopyTo(std::int32_t offset, ITrelDataBufferAccess* dest, std::int32_t destOffset,
                      std::int32_t count) = 0;
  // Nothing when newCount is the current count; else the buffer's SetCount.
  virtual void SetCount(std::int32_t newCount, bool keepData) = 0;
  virtual bool Lock(bool keepData) = 0;
  // The buffer's Clone.
  virtual IPtr<ITrelDataBuffer> Clone() = 0;

 protected:
  ~ITrelDataBufferAccess() = default;
};

// The real buffer's operations; the operand is another real access object.
struct ITrelRealDataBufferAccess : public virtual ITrelDataBufferAccess {
  static constexpr TGUID IID = TGUID::Parse("{3B5B1CBF-5F2E-4760-B239-A31BDE189969}");

  double* GetData();
  double* GetReadData();
  double* GetWriteData();
  virtual double GetValue(std::int32_t index) = 0;
  virtual void SetValue(std::int32_t index, double value) = 0;
  virtual void Chirp(double magnitude) = 0;
  virtual void Add(ITrelRealDataBufferAccess* operand) = 0;
  virtual void Subtract(ITrelRealDataBufferAccess* operand) = 0;
  virtual void Multiply(ITrelRealDataBufferAccess* operand) = 0;
  virtual void Divide(ITrelRealDataBufferAccess* operand) = 0;
  virtual void Fill(double value) = 0;
  virtual void Zero() = 0;
  virtual double Min() = 0;
  virtual double Max() = 0;
  virtual double RangeMin(std::int32_t from, std::int32_t to) = 0;
  virtual double RangeMax(std::int32_t from, std::int32_t to) = 0;

 protected:
  ~ITrelRealDataBufferAccess() = default;
};

// The integer buffer's operations; the operand is another integer access.
struct ITrelIntegerDataBufferAccess : public virtual ITrelDataBufferAccess {
  static constexpr TGUID IID = TGUID::Parse("{03BE72D8-E718-4562-81C0-50C48E25BC79}");

  std::int32_t* GetData();
  std::int32_t* GetReadData();
  std::int32_t* GetWriteData();
  virtual std::int32_t GetValue(std::int32_t index) = 0;
  virtual void SetValue(std::int32_t index, std::int32_t value) = 0;
  virtual void Add(ITrelIntegerDataBufferAccess* operand) = 0;
  virtual void Subtract(ITrelIntegerDataBufferAccess* operand) = 0;
  virtual void Multiply(ITrelIntegerDataBufferAccess* operand) = 0;
  virtual void Divide(ITrelIntegerDataBufferAccess* operand) = 0;
  virtual void Fill(std::int32_t value) = 0;
  virtual void Zero() = 0;

 protected:
  ~ITrelIntegerDataBufferAccess() = default;
};

// The complex buffer's operations; the operand is another complex access.
struct ITrelComplexDataBufferAccess : public virtual ITrelDataBufferAccess {
  static constexpr TGUID IID = TGUID::Parse("{83AFB22D-18D0-42C0-AA85-9D7F119443BA}");

  std::complex<double>* GetData();
  std::complex<double>* GetReadData();
  std::complex<double>* GetWriteData();
  virtual std::complex<double> GetValue(std::int32_t index) = 0;
  virtual void SetValue(std::int32_t index, std::complex<double> value) = 0;
  virtual void Add(ITrelComplexDataBufferAccess* operand) = 0;
  virtual void Subtract(ITrelComplexDataBufferAccess* operand) = 0;
  virtual void Multiply(ITrelComplexDataBufferAccess* operand) = 0;
  virtual void Divide(ITrelComplexDataBufferAccess* operand) = 0;
  virtual void Fill(std::complex<double> value) = 0;
  virtual void Zero() = 0;

 protected:
  ~ITrelComplexDataBufferAccess() = default;
};

// The block buffer's operations. The operand may be any access object; one
// whose buffer is not a block buffer raises EInvalidCast "Interface not
// supported" and changes nothing.
struct ITrelBlockDataBufferAccess : public virtual ITrelDataBufferAccess {
  static constexpr TGUID IID = TGUID::Parse("{5BB9C1E5-B0A1-44DF-AD2E-1A16297471F7}");

  std::uint8_t* GetData();
  std::uint8_t* GetReadData();
  std::uint8_t* GetWriteData();
  virtual void Add(ITrelDataBufferAccess* operand) = 0;
  virtual void Subtract(ITrelDataBufferAccess* operand) = 0;
  virtual void Multiply(ITrelDataBufferAccess* operand) = 0;
  virtual void Divide(ITrelDataBufferAccess* operand) = 0;
  virtual void Fill(std::uint8_t value) = 0;
  virtual void Zero() = 0;

 protected:
  ~ITrelBlockDataBufferAccess() = default;
};
