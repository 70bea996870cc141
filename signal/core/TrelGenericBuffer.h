// The generic and memory buffers: the sharing, locking and copy-on-write
// rules of every data buffer, and their binding to pooled memory blocks.
//
// A buffer holds one reference on a smart block (TrelSmartBufferManager.h),
// counted as a write reference from construction. Clones, buffers made with
// a shared constructor and ShareFrom add holders to the same block and cost
// no copy; the first holder that writes while another writer shares the
// block moves to a private block (Lock / DoLock), so no holder ever sees
// another's writes. A holder that calls ReleaseWriteLock stops counting as a
// writer: the remaining writer then writes in place and every holder sees it.
//
// Life cycle: buffers are counted interface objects, made by the typed
// buffers' Create... functions (or Create<T> with a smart block) and held in
// IPtr<>. The release of the last reference destroys the buffer, which
// detaches its access objects and releases its block.
//
// Threads: see TrelBufferInterfaces.h. A buffer object's fields (data pointer,
// byte size, block, access list) are unguarded: one thread at a time, which
// the pin framework's locks ensure while a buffer travels through the graph.
// The block's counts are guarded by the block; DoLock holds the block's
// section only for the exclusivity test, so two holders that lock at the same
// moment may both take a private copy, and neither writes into the other's.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/rtl/ScopeExit.h"
#include "platform/rtl/System.h"
#include "signal/core/TrelBufferInterfaces.h"
#include "signal/core/TrelSmartBufferManager.h"

// The checked byte size of `count` elements of `elementSize` bytes. Raises
// ERangeError for a negative count or a product above 2^30 (computed without
// overflow).
std::int32_t TrelCheckedByteSize(std::int64_t count, std::int32_t elementSize);

// The identity stamp of one buffer. It is a member of its buffer: it lives
// exactly as long as the buffer and is never freed on its own.
class TTrelSequenceStamp : public TObject {
  KESTRUNE_CLASS(TTrelSequenceStamp, TObject)
  explicit TTrelSequenceStamp(TTrelGenericBuffer* buffer) : buffer_(buffer) {}
  // The buffer that owns the stamp (not counted).
  TTrelGenericBuffer* Buffer() const { return buffer_; }

 private:
  TTrelGenericBuffer* const buffer_;
};

// The base of every data buffer: a view (data pointer, byte size) onto one
// smart block of any kind. Descendants set the data pointer (RefreshData).
class TTrelGenericBuffer : public TInterfacedObject, public virtual ITrelDataBuffer {
  KESTRUNE_CLASS(TTrelGenericBuffer, TInterfacedObject)
  // Holds `smartBlock` (may be nullptr) as a write reference, with
  // `byteSize` bytes in use. The data pointer is left to descendants.
  TTrelGenericBuffer(TTrelSmartBuffer* smartBlock, std::int32_t byteSize);
  // Shares `source`'s block (a further writer), byte size and data pointer.
  explicit TTrelGenericBuffer(TTrelGenericBuffer* source);
  // Detaches the access objects and releases the block.
  ~TTrelGenericBuffer() override;
  void AfterConstruction() override;
  HRESULT QueryInterface(const TGUID& iid, void** obj) override;

  // A generic buffer sharing `source`'s block.
  static IPtr<ITrelDataBuffer> CreateShared(ITrelDataBuffer* source);

  // Virtual operations, in the order descendants override them.
  void CopyTo(std::int32_t offset, ITrelDataBuffer* dest, std::int32_t destOffset,
              std::int32_t count) override;
  IPtr<ITrelDataBuffer> Clone() override;
  void ShareFrom(ITrelDataBuffer* source) override;
  bool Lock(bool keepData) override;
  // The copy-on-write step: when another writer shares the block, move to a
  // clone of it (contents copied when `keepData`) and return true. Raises
  // EOutOfMemory, changing nothing, when the clone cannot be made.
  virtual bool DoLock(bool keepData);
  // Base: nothing.
  void SetCount(std::int32_t newCount, bool keepData) override;
  std::int32_t GetByteSize() override;
  std::int32_t GetCount() override;
  // Base: nothing; descendants re-read the data pointer from the block.
  virtual void RefreshData();
  // The data pointers of TrelBufferInterfaces.h.
  virtual void* GetData();
  virtual void* GetReadData();
  virtual void* GetWriteData();
  // Stores the block pointer (no counting).
  virtual void SetSmartBuffer(TTrelSmartBuffer* smartBlock);
  // Stops counting this buffer among the block's writers (once).
  virtual void ReleaseWriteLock();

  TTrelGenericBuffer* GetBufferObject() override { return this; }
  TTrelSequenceStamp* GetSequenceStamp() override { return &sequence_stamp_; }
  TTrelSmartBuffer* GetSmartBuffer() const { return smart_block_; }
  bool HoldsWrite() const { return holds_write_; }

  // A new access object on this buffer, recorded in the access list.
  IPtr<ITrelDataBufferAccess> CreateAccess();
  // Called by an access object that goes away or detaches.
  void RemoveAccess(TTrelDataBufferAccess* access);
  int AccessCount() const { return static_cast<int>(accesses_.size()); }

  // Buffer objects of every class come from the buffers' free lists (one
  // list per instance size, see platform/rtl/FreeLists.h), so a warm graph
  // makes and drops them without the general heap. TrelSimpleDataBufferUnit's
  // shutdown gives the pooled memory back.
  static void* operator new(std::size_t size);
  static void operator delete(void* block, std::size_t size) noexcept;

 protected:
  // The access object CreateAccess makes (typed in the typed buffers).
  virtual TTrelDataBufferAccess* NewAccess();
  // Raises ERangeError unless offset..offset+count lies in 0..size and
  // destOffset..destOffset+count in 0..destSize (any units).
  static void CheckCopyRange(std::int32_t offset, std::int32_t count, std::int32_t size,
                             std::int32_t destOffset, std::int32_t destSize);
  // The plain byte copy behind CopyTo.
  void CopyBytesTo(std::int32_t offset, ITrelDataBuffer* dest, std::int32_t destOffset,
                   std::int32_t count);

  void* data_ = nullptr;
  std::int32_t byte_size_ = 0;
  TTrelSmartBuffer* smart_block_ = nullptr;
  bool holds_write_ = true;

 private:
  std::vector<TTrelDataBufferAccess*> accesses_;  // not owned
  TTrelSequenceStamp sequence_stamp_{this};
};

// A buffer on a smart memory block, with resizing. Its element size is 1;
// the typed buffers derive from it with their own element sizes.
class TTrelMemoryBuffer : public TTrelGenericBuffer {
  KESTRUNE_CLASS(TTrelMemoryBuffer, TTrelGenericBuffer)
  // Raises EInvalidCast, holding nothing, unless `smartBlock` is a
  // TTrelSmartMemoryBuffer.
  TTrelMemoryBuffer(TTrelSmartBuffer* smartBlock, std::int32_t byteSize);
  // On `source`'s block with source's byte size (same rule for the block).
  explicit TTrelMemoryBuffer(TTrelGenericBuffer* source);

  // A memory buffer sharing `source`'s block.
  static IPtr<ITrelDataBuffer> CreateShared(ITrelDataBuffer* source);

  IPtr<ITrelDataBuffer> Clone() override;
  // Also refuses (EInvalidCast, nothing changed) a block that is not a memory
  // block.
  void ShareFrom(ITrelDataBuffer* source) override;
  void SetCount(std::int32_t newCount, bool keepData) override;
  std::int32_t GetCount() override;
  void RefreshData() override;
  // A new memory block for `count` elements, with no holder yet. Raises
  // ERangeError above 2^30 bytes and EOutOfMemory.
  virtual TTrelSmartMemoryBuffer* CreateSmartBlock(std::int32_t count);
  virtual std::int32_t GetElementSize() { return 1; }
  std::int32_t GetDataSize() { return byte_size_; }
  TTrelSmartMemoryBuffer* MemoryBlock() const {
    return static_cast<TTrelSmartMemoryBuffer*>(smart_block_);
  }

 protected:
  // Makes a buffer of class T on a fresh block of `count` elements of
  // `elementSize` bytes (T's own), optionally filled from `data`. Raises
  // ERangeError and EOutOfMemory; nothing is kept then.
  template <class T>
  static T* NewOnFreshBlock(std::int32_t count, std::int32_t elementSize,
                            const void* data = nullptr);
};

template <class T>
T* TTrelMemoryBuffer::NewOnFreshBlock(std::int32_t count, std::int32_t elementSize,
                                      const void* data) {
  const std::int32_t byteSize = TrelCheckedByteSize(count, elementSize);
  TTrelSmartMemoryBuffer* block =
      Create<TTrelSmartMemoryBuffer>(data, static_cast<std::uint32_t>(byteSize));
  // A reading reference of our own while the buffer is made: if making it
  // fails, dropping this reference frees the block whatever the buffer's
  // constructor had done with it.
  block->AddRef(false);
  kestrune::ScopeExit release([&] { block->Release(false); });
  return Create<T>(block, byteSize);
}
