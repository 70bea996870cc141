#include "signal/core/TrelSmartBufferManager.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstring>
#include <new>

#include "platform/rtl/AsanPoison.h"
#include "platform/rtl/SysUtils.h"
#include "signal/primitives/LPMalloc.h"

namespace {

// Published by the unit's start-up and withdrawn by its shutdown; both run on
// the main thread while no other thread uses buffers, so the atomic only has
// to carry the pointer to threads started later.
std::atomic<TTrelSmartBufferManager*> g_manager{nullptr};

constinit TFreeLists g_buffer_object_lists;

[[noreturn]] void RaiseOutOfMemory() {
  kestrune::RaiseOutOfMemory();
}

void CheckBlockSize(std::uint32_t size) {
  if (size > kTrelLargestBlockSize) {
    throw ERangeError(Format("Block size out of range: %u bytes (at most 1073741824)", {size}));
  }
}

void StartStore() {
  g_manager.store(Create<TTrelSmartBufferManager>(), std::memory_order_release);
}

void StopStore() {
  TTrelSmartBufferManager* manager = g_manager.exchange(nullptr, std::memory_order_acq_rel);
  FreeObject(manager);
  g_buffer_object_lists.Release();
}

}  // namespace

TFreeLists& TrelBufferObjectLists() {
  return g_buffer_object_lists;
}

constinit TUnit TrelSimpleDataBufferUnit{"TrelSimpleDataBuffer", &StartStore, &StopStore};

std::uint32_t RoundUpPowerOfTwo(std::uint32_t size) {
  if (size <= 4) {
    return 4;
  }
  if (size >= kTrelLargestBlockSize) {
    return kTrelLargestBlockSize;
  }
  return std::bit_ceil(size);
}

// ---------------------------------------------------------------------------
// Free lists

TTrelSmartBufferList::TTrelSmartBufferList(std::uint32_t blockSize) : block_size_(blockSize) {}

TTrelSmartBufferList::~TTrelSmartBufferList() {
  for (void* block : blocks_) {
    ASAN_UNPOISON_MEMORY_REGION(block, block_size_);
    AlignedFree(block);
  }
}

void* TTrelSmartBufferList::GetBlock() {
  if (!blocks_.empty()) {
    void* block = blocks_.back();
    blocks_.pop_back();
    ++outstanding_;
    ASAN_UNPOISON_MEMORY_REGION(block, block_size_);
    return block;
  }
  // Room for this block's return first, so that PutBlock never allocates.
  try {
    blocks_.reserve(outstanding_ + 1);
  } catch (const std::bad_alloc&) {
    RaiseOutOfMemory();
  }
  void* block = AlignedAlloc(static_cast<std::int32_t>(block_size_));
  if (block == nullptr) {
    RaiseOutOfMemory();
  }
  ++outstanding_;
  return block;
}

void TTrelSmartBufferList::PutBlock(void* block) noexcept {
  if (outstanding_ > 0) {
    --outstanding_;
  }
  // A pooled block stays poisoned until it is handed out again.
  ASAN_POISON_MEMORY_REGION(block, block_size_);
  if (blocks_.size() < blocks_.capacity()) {
    blocks_.push_back(block);
    return;
  }
  // A block this list did not hand out (the lists were cleared while it was
  // held): keep it if there is memory for the entry, else free it.
  try {
    blocks_.push_back(block);
  } catch (...) {
    ASAN_UNPOISON_MEMORY_REGION(block, block_size_);
    AlignedFree(block);
  }
}

// ---------------------------------------------------------------------------
// The store

TTrelSmartBufferManager::~TTrelSmartBufferManager() {
  Clear();
}

TTrelSmartBufferList* TTrelSmartBufferManager::FindListLocked(std::uint32_t size) const {
  for (TTrelSmartBufferList* list : lists_) {
    if (list->BlockSize() == size) {
      return list;
    }
  }
  return nullptr;
}

void* TTrelSmartBufferManager::GetPooledBlock(std::uint32_t size) {
  if (size == 0) {
    return nullptr;
  }
  CheckBlockSize(size);
  kestrune::CriticalSectionGuard guard(lock_);
  TTrelSmartBufferList* list = FindListLocked(size);
  if (list == nullptr) {
    try {
      lists_.reserve(lists_.size() + 1);
    } catch (const std::bad_alloc&) {
      RaiseOutOfMemory();
    }
    list = Create<TTrelSmartBufferList>(size);
    lists_.push_back(list);  // cannot allocate: room was reserved
  }
  const bool miss = list->PooledCount() == 0;
  void* block = list->GetBlock();
  if (miss) {
    ++heap_allocations_;
  }
  return block;
}

void TTrelSmartBufferManager::ReleasePooledBlock(void* block, std::uint32_t size) noexcept {
  if (block == nullptr) {
    return;
  }
  kestrune::CriticalSectionGuard guard(lock_);
  if (TTrelSmartBufferList* list = FindListLocked(size)) {
    list->PutBlock(block);
  } else {
    AlignedFree(block);
  }
}

void TTrelSmartBufferManager::Clear() {
  kestrune::CriticalSectionGuard guard(lock_);
  for (TTrelSmartBufferList* list : lists_) {
    list->Free();
  }
  lists_.clear();
}

std::uint64_t TTrelSmartBufferManager::HeapAllocationCount() {
  kestrune::CriticalSectionGuard guard(lock_);
  return heap_allocations_;
}

int TTrelSmartBufferManager::PooledBlockCount() {
  kestrune::CriticalSectionGuard guard(lock_);
  int count = 0;
  for (const TTrelSmartBufferList* list : lists_) {
    count += list->PooledCount();
  }
  return count;
}

TTrelSmartBufferManager* SmartBufferManager() {
  return g_manager.load(std::memory_order_acquire);
}

void* AllocSmartBlock(std::uint32_t size) {
  if (size == 0) {
    return nullptr;
  }
  TTrelSmartBufferManager* manager = SmartBufferManager();
  if (manager == nullptr) {
    throw EInvalidOperation("The smart block store is not initialised");
  }
  return manager->GetPooledBlock(size);
}

void FreeSmartBlock(void* block, std::uint32_t size) noexcept {
  if (TTrelSmartBufferManager* manager = SmartBufferManager()) {
    manager->ReleasePooledBlock(block, size);
  } else {
    AlignedFree(block);
  }
}

// ---------------------------------------------------------------------------
// Smart block headers

TTrelSmartBuffer::TTrelSmartBuffer(TTrelSmartBuffer* /*source*/, bool /*copyData*/) {}

namespace {

// Takes one from `count` unless it is 0: true when this call took it from 1
// to 0.
bool DecrementAboveZero(std::atomic<std::int32_t>& count) {
  std::int32_t seen = count.load(std::memory_order_relaxed);
  while (seen > 0) {
    if (count.compare_exchange_weak(seen, seen - 1, std::memory_order_acq_rel,
                                    std::memory_order_relaxed)) {
      return seen == 1;
    }
  }
  return false;
}

}  // namespace

void TTrelSmartBuffer::AddRef(bool write) {
  if (write) {
    writer_count_.fetch_add(1, std::memory_order_relaxed);
  }
  reference_count_.fetch_add(1, std::memory_order_relaxed);
}

void TTrelSmartBuffer::Release(bool write) {
  if (write) {
    DecrementAboveZero(writer_count_);
  }
  // Only the holder that takes the count from 1 to 0 frees the header: every
  // other holder has let go by then (acquire-release orders their last uses
  // before the free).
  if (DecrementAboveZero(reference_count_)) {
    Free();
  }
}

void TTrelSmartBuffer::ReleaseWrite() {
  DecrementAboveZero(writer_count_);
}

bool TTrelSmartBuffer::IsExclusive() {
  return writer_count_.load(std::memory_order_acquire) < 2;
}

TTrelSmartBuffer* TTrelSmartBuffer::Clone(bool copyData) {
  return Create<TTrelSmartBuffer>(this, copyData);
}

std::int32_t TTrelSmartBuffer::RefCount() {
  return reference_count_.load(std::memory_order_acquire);
}

std::int32_t TTrelSmartBuffer::WriterCount() {
  return writer_count_.load(std::memory_order_acquire);
}

// ---------------------------------------------------------------------------
// Smart memory blocks

TTrelSmartMemoryBuffer::TTrelSmartMemoryBuffer(std::uint32_t size) {
  CheckBlockSize(size);
  capacity_ = RoundUpPowerOfTwo(size);
  data_ = AllocSmartBlock(capacity_);
}

TTrelSmartMemoryBuffer::TTrelSmartMemoryBuffer(const void* data, std::uint32_t size)
    : TTrelSmartMemoryBuffer(size) {
  if (data != nullptr) {
    std::memcpy(data_, data, size);
  }
}

TTrelSmartMemoryBuffer::TTrelSmartMemoryBuffer(TTrelSmartMemoryBuffer* source, bool copyData)
    : TTrelSmartBuffer(source, copyData), capacity_(source->capacity_) {
  data_ = AllocSmartBlock(capacity_);
  if (copyData) {
    std::memcpy(data_, source->data_, capacity_);
  }
}

TTrelSmartMemoryBuffer::~TTrelSmartMemoryBuffer() {
  if (data_ != nullptr) {
    FreeSmartBlock(data_, capacity_);
    data_ = nullptr;
  }
}

TTrelSmartBuffer* TTrelSmartMemoryBuffer::Clone(bool copyData) {
  return Create<TTrelSmartMemoryBuffer>(this, copyData);
}

void TTrelSmartMemoryBuffer::CopyDataFrom(const TTrelSmartMemoryBuffer* other) {
  std::memcpy(data_, other->data_, std::min(capacity_, other->capacity_));
}

void* TTrelSmartMemoryBuffer::operator new(std::size_t size) {
  // Headers are small; the exact size keys their own free list.
  return AllocSmartBlock(static_cast<std::uint32_t>(size));
}

void TTrelSmartMemoryBuffer::operator delete(void* header, std::size_t size) noexcept {
  FreeSmartBlock(header, static_cast<std::uint32_t>(size));
}
