// Buffer access objects: small counted objects that forward to one buffer.
//
// A buffer's CreateAccess makes one (a new object per call) and records it in
// the buffer's list. The access object refers to its buffer without keeping
// it alive: whoever uses it keeps a reference on the buffer meanwhile. When
// the access object goes first it removes itself from the buffer's list;
// when the buffer goes first its destructor detaches every access object in
// the list. A detached access object answers GetBuffer with nullptr and can
// be released; every other call raises EInvalidOperation instead of touching
// a buffer that is gone.
//
// Threads: an access object is used, made and dropped on the thread that uses
// its buffer (the buffer's access list is unguarded).
#pragma once

#include <complex>
#include <cstdint>

#include "platform/rtl/System.h"
#include "signal/core/TrelBufferInterfaces.h"

class TTrelRealBuffer;
class TTrelIntegerBuffer;
class TTrelComplexBuffer;
class TTrelBlockBuffer;

class TTrelDataBufferAccess : public TInterfacedObject, public virtual ITrelDataBufferAccess {
  KESTRUNE_CLASS(TTrelDataBufferAccess, TInterfacedObject)
  // Made by the buffer's CreateAccess only, which records it.
  explicit TTrelDataBufferAccess(TTrelGenericBuffer* buffer) : buffer_(buffer) {}
  ~TTrelDataBufferAccess() override;
  HRESULT QueryInterface(const TGUID& iid, void** obj) override;

  // Leaves the buffer's list and forgets the buffer (once).
  void Detach();
  // The buffer, nullptr once detached.
  TTrelGenericBuffer* Buffer() const { return buffer_; }

  // Virtual operations, in the order descendants could override them.
  virtual void* GetData();
  virtual void* GetReadData();
  virtual void* GetWriteData();
  std::int32_t GetCount() override;
  void SetCount(std::int32_t newCount, bool keepData) override;
  bool Lock(bool keepData) override;

  TTrelDataBufferAccess* GetAccessObject() override { return this; }
  std::int32_t GetByteSize() override;
  IPtr<ITrelDataBuffer> GetBuffer() override;
  TTrelSequenceStamp* GetSequenceStamp() override;
  void CopyTo(std::int32_t offset, ITrelDataBufferAccess* dest, std::int32_t destOffset,
              std::int32_t count) override;
  IPtr<ITrelDataBuffer> Clone() override;

 protected:
  // The buffer; raises EInvalidOperation when detached.
  TTrelGenericBuffer* RequireBuffer() const;

 private:
  TTrelGenericBuffer* buffer_;  // not counted
};

class TTrelRealDataBufferAccess : public TTrelDataBufferAccess,
                                  public virtual ITrelRealDataBufferAccess {
  KESTRUNE_CLASS(TTrelRealDataBufferAccess, TTrelDataBufferAccess)
  using TTrelDataBufferAccess::TTrelDataBufferAccess;
  HRESULT QueryInterface(const TGUID& iid, void** obj) override;

  using ITrelRealDataBufferAccess::GetData;
  using ITrelRealDataBufferAccess::GetReadData;
  using ITrelRealDataBufferAccess::GetWriteData;
  double GetValue(std::int32_t index) override;
  void SetValue(std::int32_t index, double value) override;
  void Chirp(double magnitude) override;
  void Add(ITrelRealDataBufferAccess* operand) override;
  void Subtract(ITrelRealDataBufferAccess* operand) override;
  void Multiply(ITrelRealDataBufferAccess* operand) override;
  void Divide(ITrelRealDataBufferAccess* operand) override;
  void Fill(double value) override;
  void Zero() override;
  double Min() override;
  double Max() override;
  double RangeMin(std::int32_t from, std::int32_t to) override;
  double RangeMax(std::int32_t from, std::int32_t to) override;

 private:
  TTrelRealBuffer* Target() const;
};

class TTrelIntegerDataBufferAccess : public TTrelDataBufferAccess,
                                     public virtual ITrelIntegerDataBufferAccess {
  KESTRUNE_CLASS(TTrelIntegerDataBufferAccess, TTrelDataBufferAccess)
  using TTrelDataBufferAccess::TTrelDataBufferAccess;
  HRESULT QueryInterface(const TGUID& iid, void** obj) override;

  using ITrelIntegerDataBufferAccess::GetData;
  using ITrelIntegerDataBufferAccess::GetReadData;
  using ITrelIntegerDataBufferAccess::GetWriteData;
  std::int32_t GetValue(std::int32_t index) override;
  void SetValue(std::int32_t index, std::int32_t value) override;
  void Add(ITrelIntegerDataBufferAccess* operand) override;
  void Subtract(ITrelIntegerDataBufferAccess* operand) override;
  void Multiply(ITrelIntegerDataBufferAccess* operand) override;
  void Divide(ITrelIntegerDataBufferAccess* operand) override;
  void Fill(std::int32_t value) override;
  void Zero() override;

 private:
  TTrelIntegerBuffer* Target() const;
};

class TTrelComplexDataBufferAccess : public TTrelDataBufferAccess,
                                     public virtual ITrelComplexDataBufferAccess {
  KESTRUNE_CLASS(TTrelComplexDataBufferAccess, TTrelDataBufferAccess)
  using TTrelDataBufferAccess::TTrelDataBufferAccess;
  HRESULT QueryInterface(const TGUID& iid, void** obj) override;

  using ITrelComplexDataBufferAccess::GetData;
  using ITrelComplexDataBufferAccess::GetReadData;
  using ITrelComplexDataBufferAccess::GetWriteData;
  std::complex<double> GetValue(std::int32_t index) override;
  void SetValue(std::int32_t index, std::complex<double> value) override;
  void Add(ITrelComplexDataBufferAccess* operand) override;
  void Subtract(ITrelComplexDataBufferAccess* operand) override;
  void Multiply(ITrelComplexDataBufferAccess* operand) override;
  void Divide(ITrelComplexDataBufferAccess* operand) override;
  void Fill(std::complex<double> value) override;
  void Zero() override;

 private:
  TTrelComplexBuffer* Target() const;
};

class TTrelBlockDataBufferAccess : public TTrelDataBufferAccess,
                                   public virtual ITrelBlockDataBufferAccess {
  KESTRUNE_CLASS(TTrelBlockDataBufferAccess, TTrelDataBufferAccess)
  using TTrelDataBufferAccess::TTrelDataBufferAccess;
  HRESULT QueryInterface(const TGUID& iid, void** obj) override;

  using ITrelBlockDataBufferAccess::GetData;
  using ITrelBlockDataBufferAccess::GetReadData;
  using ITrelBlockDataBufferAccess::GetWriteData;
  void Add(ITrelDataBufferAccess* operand) override;
  void Subtract(ITrelDataBufferAccess* operand) override;
  void Multiply(ITrelDataBufferAccess* operand) override;
  void Divide(ITrelDataBufferAccess* operand) override;
  void Fill(std::uint8_t value) override;
  void Zero() override;

 private:
  TTrelBlockBuffer* Target() const;
};
