#include "signal/core/TrelGenericBuffer.h"

#include "platform/rtl/FreeLists.h"
#include "platform/rtl/SysUtils.h"
#include "signal/core/TrelBufferAccess.h"
#include "signal/primitives/TrelBasicDispatcher.h"

namespace {

// Raises unless `block` is a memory block; returns it unchanged. Used before
// a memory buffer takes a reference, so a refused block is never held.
TTrelSmartBuffer* RequireMemoryBlock(TTrelSmartBuffer* block) {
  if (block == nullptr || !block->Is<TTrelSmartMemoryBuffer>()) {
    throw EInvalidCast("A memory buffer needs a smart memory block");
  }
  return block;
}

TTrelGenericBuffer* BufferObjectOf(ITrelDataBuffer* buffer) {
  if (buffer == nullptr) {
    throw EInvalidPointer("No source buffer given");
  }
  return buffer->GetBufferObject();
}

}  // namespace

std::int32_t TrelCheckedByteSize(std::int64_t count, std::int32_t elementSize) {
  const std::int64_t bytes = count * static_cast<std::int64_t>(elementSize);
  if (count < 0 || elementSize < 1 || bytes > static_cast<std::int64_t>(kTrelLargestBlockSize)) {
    throw ERangeError(Format(
        "Buffer size out of range: %d elements of %d bytes (at most %d bytes)",
        {static_cast<long long>(count), elementSize, static_cast<int>(kTrelLargestBlockSize)}));
  }
  return static_cast<std::int32_t>(bytes);
}

// ---------------------------------------------------------------------------
// TTrelGenericBuffer

void* TTrelGenericBuffer::operator new(std::size_t size) {
  return TrelBufferObjectLists().Allocate(size);
}

void TTrelGenericBuffer::operator delete(void* block, std::size_t size) noexcept {
  TrelBufferObjectLists().Deallocate(block, size);
}

TTrelGenericBuffer::TTrelGenericBuffer(TTrelSmartBuffer* smartBlock, std::int32_t byteSize)
    : byte_size_(byteSize), smart_block_(smartBlock) {
  // Last, so that nothing after it can fail with the block held.
  if (smart_block_ != nullptr) {
    smart_block_->AddRef(true);
  }
}

TTrelGenericBuffer::TTrelGenericBuffer(TTrelGenericBuffer* source)
    : TTrelGenericBuffer(source->smart_block_, source->byte_size_) {
  data_ = source->data_;
}

TTrelGenericBuffer::~TTrelGenericBuffer() {
  // Each access object removes itself from the list as it detaches.
  while (!accesses_.empty()) {
    accesses_.back()->Detach();
  }
  if (smart_block_ != nullptr) {
    TTrelSmartBuffer* block = smart_block_;
    smart_block_ = nullptr;
    block->Release(holds_write_);
  }
}

void TTrelGenericBuffer::AfterConstruction() {
  inherited::AfterConstruction();
  SetSmartBuffer(smart_block_);
}

HRESULT TTrelGenericBuffer::QueryInterface(const TGUID& iid, void** obj) {
  const HRESULT result = QueryInterfaceTable<ITrelDataBuffer>(this, iid, obj);
  return result == S_OK ? result : inherited::QueryInterface(iid, obj);
}

IPtr<ITrelDataBuffer> TTrelGenericBuffer::CreateShared(ITrelDataBuffer* source) {
  return IPtr<ITrelDataBuffer>(Create<TTrelGenericBuffer>(BufferObjectOf(source)));
}

void TTrelGenericBuffer::CopyTo(std::int32_t offset, ITrelDataBuffer* dest, std::int32_t destOffset,
                                std::int32_t count) {
  CopyBytesTo(offset, dest, destOffset, count);
}

void TTrelGenericBuffer::CheckCopyRange(std::int32_t offset, std::int32_t count, std::int32_t size,
                                        std::int32_t destOffset, std::int32_t destSize) {
  const std::int64_t end = std::int64_t{offset} + count;
  const std::int64_t destEnd = std::int64_t{destOffset} + count;
  if (offset < 0 || destOffset < 0 || end > size || destEnd > destSize) {
    throw ERangeError(Format("Copy out of range: %d from offset %d of %d into offset %d of %d",
                             {count, offset, size, destOffset, destSize}));
  }
}

void TTrelGenericBuffer::CopyBytesTo(std::int32_t offset, ITrelDataBuffer* dest,
                                     std::int32_t destOffset, std::int32_t count) {
  if (dest == nullptr) {
    throw EInvalidPointer("No destination buffer given");
  }
  if (count < 1) {
    return;
  }
  CheckCopyRange(offset, count, GetByteSize(), destOffset, dest->GetByteSize());
  // The destination first: when it is this very buffer on a shared block,
  // the source pointer is then taken from the private copy.
  auto* to = static_cast<std::uint8_t*>(dest->GetWriteData()) + destOffset;
  const auto* from = static_cast<const std::uint8_t*>(GetData()) + offset;
  // Cannot fail: count >= 1 and both blocks hold the range (checked above).
  VectorCopyUInt8(from, to, count);
}

IPtr<ITrelDataBuffer> TTrelGenericBuffer::Clone() {
  return IPtr<ITrelDataBuffer>(Create<TTrelGenericBuffer>(this));
}

void TTrelGenericBuffer::ShareFrom(ITrelDataBuffer* source) {
  TTrelGenericBuffer* other = BufferObjectOf(source);
  if (other != this && other->smart_block_ != smart_block_) {
    TTrelSmartBuffer* old = smart_block_;
    smart_block_ = other->smart_block_;
    if (smart_block_ != nullptr) {
      smart_block_->AddRef(holds_write_);
    }
    SetSmartBuffer(smart_block_);
    if (old != nullptr) {
      old->Release(holds_write_);
    }
    RefreshData();
  }
  byte_size_ = other->byte_size_;
  data_ = other->data_;
}

bool TTrelGenericBuffer::Lock(bool keepData) {
  return DoLock(keepData);
}

bool TTrelGenericBuffer::DoLock(bool keepData) {
  TTrelSmartBuffer* old = smart_block_;
  if (old == nullptr) {
    return false;
  }
  const bool exclusive = old->IsExclusive();
  if (exclusive) {
    return false;  // at most one writer: write in place
  }
  // Shared with another writer. The other writer may find the same and
  // clone too: each then ends on its own copy.
  TTrelSmartBuffer* fresh = old->Clone(keepData);
  smart_block_ = fresh;
  fresh->AddRef(holds_write_);
  SetSmartBuffer(fresh);
  old->Release(holds_write_);
  RefreshData();
  return true;
}

void TTrelGenericBuffer::SetCount(std::int32_t /*newCount*/, bool /*keepData*/) {}

std::int32_t TTrelGenericBuffer::GetByteSize() {
  return byte_size_;
}

std::int32_t TTrelGenericBuffer::GetCount() {
  return byte_size_;
}

void TTrelGenericBuffer::RefreshData() {}

void* TTrelGenericBuffer::GetData() {
  return data_;
}

void* TTrelGenericBuffer::GetReadData() {
  Lock(false);
  return data_;
}

void* TTrelGenericBuffer::GetWriteData() {
  Lock(true);
  return data_;
}

void TTrelGenericBuffer::SetSmartBuffer(TTrelSmartBuffer* smartBlock) {
  smart_block_ = smartBlock;
}

void TTrelGenericBuffer::ReleaseWriteLock() {
  if (holds_write_) {
    if (smart_block_ != nullptr) {
      smart_block_->ReleaseWrite();
    }
    holds_write_ = false;
  }
}

TTrelDataBufferAccess* TTrelGenericBuffer::NewAccess() {
  return Create<TTrelDataBufferAccess>(this);
}

IPtr<ITrelDataBufferAccess> TTrelGenericBuffer::CreateAccess() {
  accesses_.reserve(accesses_.size() + 1);  // the append below cannot fail
  TTrelDataBufferAccess* access = NewAccess();
  IPtr<ITrelDataBufferAccess> held(access);
  accesses_.push_back(access);
  return held;
}

void TTrelGenericBuffer::RemoveAccess(TTrelDataBufferAccess* access) {
  for (auto it = accesses_.begin(); it != accesses_.end(); ++it) {
    if (*it == access) {
      accesses_.erase(it);
      return;
    }
  }
}

// ---------------------------------------------------------------------------
// TTrelMemoryBuffer

TTrelMemoryBuffer::TTrelMemoryBuffer(TTrelSmartBuffer* smartBlock, std::int32_t byteSize)
    : TTrelGenericBuffer(RequireMemoryBlock(smartBlock), byteSize) {
  data_ = MemoryBlock()->GetData();
}

TTrelMemoryBuffer::TTrelMemoryBuffer(TTrelGenericBuffer* source)
    : TTrelMemoryBuffer(source->GetSmartBuffer(), source->GetByteSize()) {}

IPtr<ITrelDataBuffer> TTrelMemoryBuffer::CreateShared(ITrelDataBuffer* source) {
  return IPtr<ITrelDataBuffer>(Create<TTrelMemoryBuffer>(BufferObjectOf(source)));
}

IPtr<ITrelDataBuffer> TTrelMemoryBuffer::Clone() {
  return IPtr<ITrelDataBuffer>(Create<TTrelMemoryBuffer>(this));
}

void TTrelMemoryBuffer::ShareFrom(ITrelDataBuffer* source) {
  RequireMemoryBlock(BufferObjectOf(source)->GetSmartBuffer());
  inherited::ShareFrom(source);
}

void TTrelMemoryBuffer::SetCount(std::int32_t newCount, bool keepData) {
  // Counts compare unsigned: a negative count reads as a huge one and is
  // refused by the size check below.
  const auto wanted = static_cast<std::uint32_t>(newCount);
  const auto current = static_cast<std::uint32_t>(GetCount());
  if (wanted == 0 || wanted == current) {
    return;
  }
  const std::int32_t elementSize = GetElementSize();
  if (wanted < current) {
    byte_size_ = elementSize * newCount;  // same block, shared or not
    RefreshData();
    return;
  }
  const std::int32_t newByteSize = TrelCheckedByteSize(newCount, elementSize);
  TTrelSmartMemoryBuffer* old = MemoryBlock();
  const bool exclusive = old->IsExclusive();
  if (exclusive && wanted <= old->Capacity() / static_cast<std::uint32_t>(elementSize)) {
    byte_size_ = newByteSize;  // grows inside its own block
    RefreshData();
    return;
  }
  TTrelSmartMemoryBuffer* fresh = CreateSmartBlock(newCount);
  SetSmartBuffer(fresh);
  if (keepData) {
    fresh->CopyDataFrom(old);
  }
  old->Release(holds_write_);
  fresh->AddRef(holds_write_);
  byte_size_ = newByteSize;
  RefreshData();
}

std::int32_t TTrelMemoryBuffer::GetCount() {
  return byte_size_ / GetElementSize();
}

void TTrelMemoryBuffer::RefreshData() {
  data_ = MemoryBlock()->GetData();
}

TTrelSmartMemoryBuffer* TTrelMemoryBuffer::CreateSmartBlock(std::int32_t count) {
  const std::int32_t byteSize = TrelCheckedByteSize(count, GetElementSize());
  return Create<TTrelSmartMemoryBuffer>(static_cast<std::uint32_t>(byteSize));
}
