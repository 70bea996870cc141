// The smart block store and the smart blocks that hold buffer samples.
//
// Every data buffer keeps its samples in a smart block: a header that counts
// its holders (TTrelSmartBuffer) and, for the memory blocks, one pooled
// 32-byte aligned block of memory (TTrelSmartMemoryBuffer). Many buffers may
// hold one block; the header's two counts (holders and, among them, writers)
// tell a buffer when it must copy a shared block before writing into it.
//
// The store (TTrelSmartBufferManager) keeps one free list per exact block
// size. A block given back is reused first for the next request of that size
// (last in, first out), and the memory goes back to the heap only when the
// store is freed. Sample blocks have power-of-two sizes from 4 bytes to 2^30
// (RoundUpPowerOfTwo); the headers of the memory blocks take their own memory
// from the store too, through a free list of their exact instance size. Once
// the lists are warm, making and dropping buffers takes no new memory for
// samples or headers.
//
// Life cycle: TrelSimpleDataBufferUnit's start-up creates the one store and
// its shutdown frees it with every pooled block. Blocks still held then are
// not touched; when they are released later their memory goes straight back
// to the heap, so a late release is harmless. Asking for a block while no
// store exists raises EInvalidOperation.
//
// Threads: the store's functions may be called from any thread; one lock
// guards the free lists for the whole search and the taking or putting of a
// block. A smart block's counts are atomic and take no lock, so the store's
// lock is the only one on this path.
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "platform/classes/SyncObjs.h"
#include "platform/classes/Units.h"
#include "platform/rtl/FreeLists.h"
#include "platform/rtl/System.h"

// The largest block the store hands out: 2^30 bytes.
inline constexpr std::uint32_t kTrelLargestBlockSize = 1u << 30;

// The size class of a request: 2^k for the first k in 2..30 with
// size <= 2^k; 4 for sizes 0 to 4, and 2^30 for anything above 2^30 (such a
// request is refused where blocks are made, see TTrelSmartMemoryBuffer).
std::uint32_t RoundUpPowerOfTwo(std::uint32_t size);

// The free blocks of one exact size, used as a stack. Touched only under the
// store's lock.
class TTrelSmartBufferList : public TObject {
  KESTRUNE_CLASS(TTrelSmartBufferList, TObject)
  explicit TTrelSmartBufferList(std::uint32_t blockSize);
  // Frees every block still in the list.
  ~TTrelSmartBufferList() override;

  std::uint32_t BlockSize() const { return block_size_; }
  int PooledCount() const { return static_cast<int>(blocks_.size()); }

  // The block given back last, or a new block from the heap when the list is
  // empty. Raises EOutOfMemory, changing nothing, when the heap refuses.
  void* GetBlock();
  // Takes a block of this size back. Never raises: the list keeps room for
  // every block it handed out, so a block it made goes back without memory.
  void PutBlock(void* block) noexcept;

 private:
  std::uint32_t block_size_;
  std::vector<void*> blocks_;
  // Blocks handed out by GetBlock and not yet given back.
  std::size_t outstanding_ = 0;
};

// The process-wide store of pooled blocks. One instance exists between the
// start-up and shutdown of TrelSimpleDataBufferUnit; use AllocSmartBlock and
// FreeSmartBlock rather than the instance.
class TTrelSmartBufferManager : public TObject {
  KESTRUNE_CLASS(TTrelSmartBufferManager, TObject)
  TTrelSmartBufferManager() = default;
  // Clear, then the list of free lists.
  ~TTrelSmartBufferManager() override;

  // A block of exactly `size` bytes from the free list of that size (made on
  // the first request), 32-byte aligned, contents undefined; nullptr for size
  // 0 (nothing is locked then). Raises ERangeError for a size above 2^30 and
  // EOutOfMemory when the heap refuses; the store is unchanged in both cases
  // but for an empty free list made for the size.
  void* GetPooledBlock(std::uint32_t size);
  // Gives back a block that GetPooledBlock handed out for `size`. A block
  // whose size has no free list (the lists were cleared meanwhile) goes back
  // to the heap. nullptr does nothing.
  void ReleasePooledBlock(void* block, std::uint32_t size) noexcept;
  // Frees every free list and its pooled blocks. Blocks handed out stay valid.
  void Clear();

  // Diagnostics for tests and benchmarks: how many blocks the store has taken
  // from the heap since it was made, and how many free blocks it holds now.
  std::uint64_t HeapAllocationCount();
  int PooledBlockCount();

 private:
  // Caller holds lock_. The first list of that size, or nullptr.
  TTrelSmartBufferList* FindListLocked(std::uint32_t size) const;

  TCriticalSection lock_;
  std::vector<TTrelSmartBufferList*> lists_;  // owned, in creation order
  std::uint64_t heap_allocations_ = 0;
};

// The store, or nullptr before the unit's start-up and after its shutdown.
TTrelSmartBufferManager* SmartBufferManager();

// GetPooledBlock of the store: nullptr for size 0; raises ERangeError above
// 2^30, EOutOfMemory when the heap refuses and EInvalidOperation when no
// store exists.
void* AllocSmartBlock(std::uint32_t size);
// ReleasePooledBlock of the store; with no store (after shutdown) the block
// goes straight back to the heap. Never raises.
void FreeSmartBlock(void* block, std::uint32_t size) noexcept;

// The free lists the buffer objects themselves come from (TTrelGenericBuffer
// and every descendant, by instance size).
TFreeLists& TrelBufferObjectLists();

// The buffers' unit: its start-up creates the store, its shutdown frees it
// with every pooled block and gives the buffer objects' free lists back to
// the heap. Initialise it before making any buffer.
extern TUnit TrelSimpleDataBufferUnit;

// A reference-counted header of a shared block.
//
// The reference count says how many holders there are, the writer count how
// many of them may write through the block. Both start at 0: the first holder
// takes the first reference. The Release that takes the reference count from
// 1 to 0 destroys the header, which gives a memory block's memory back to
// the store.
//
// Threads: AddRef, Release, ReleaseWrite and IsExclusive may be called from
// any thread by holders of the block. The counts are atomic, so none of them
// takes a lock: every captured block passes through them several times per
// receiver. IsExclusive is a snapshot; a holder that finds the block shared
// makes its own copy, so a decision on a stale answer costs at most a copy.
class TTrelSmartBuffer : public TObject {
  KESTRUNE_CLASS(TTrelSmartBuffer, TObject)
  TTrelSmartBuffer() = default;
  // The constructor Clone uses; the base header ignores both arguments.
  TTrelSmartBuffer(TTrelSmartBuffer* source, bool copyData);
  ~TTrelSmartBuffer() override = default;

  // One more holder; `write` counts it among the writers too.
  virtual void AddRef(bool write);
  // One holder less (and one writer less when `write` and the writer count is
  // at least 1). The release that makes the reference count 0 frees the
  // header; a release at 0 changes nothing else.
  virtual void Release(bool write);
  // One writer less, when there is one.
  virtual void ReleaseWrite();
  // True when at most one holder may write (writer count below 2).
  virtual bool IsExclusive();
  // A new header (counts 0) for a private copy of this block; the base class
  // makes a plain header whatever the receiver's class. Raises EOutOfMemory
  // when memory runs out.
  virtual TTrelSmartBuffer* Clone(bool copyData);

  // Snapshots of the counts (for tests and assertions).
  std::int32_t RefCount();
  std::int32_t WriterCount();

 private:
  std::atomic<std::int32_t> writer_count_{0};
  std::atomic<std::int32_t> reference_count_{0};
};

// A smart block that owns one pooled memory block of a power-of-two capacity
// (4 to 2^30 bytes). Its header's own memory also comes from the store (the
// class allocates its instances there).
class TTrelSmartMemoryBuffer : public TTrelSmartBuffer {
  KESTRUNE_CLASS(TTrelSmartMemoryBuffer, TTrelSmartBuffer)
  // A block of RoundUpPowerOfTwo(size) bytes, contents undefined. Raises
  // ERangeError for a size above 2^30 and EOutOfMemory when memory runs out;
  // nothing is kept then.
  explicit TTrelSmartMemoryBuffer(std::uint32_t size);
  // As above, then `size` bytes copied from `data` when it is not nullptr.
  TTrelSmartMemoryBuffer(const void* data, std::uint32_t size);
  // A block of `source`'s capacity; with `copyData`, source's whole capacity
  // is copied into it.
  TTrelSmartMemoryBuffer(TTrelSmartMemoryBuffer* source, bool copyData);
  // Gives the memory block back to the store.
  ~TTrelSmartMemoryBuffer() override;

  TTrelSmartBuffer* Clone(bool copyData) override;

  void* GetData() const { return data_; }
  std::uint32_t Capacity() const { return capacity_; }
  // Copies min(own capacity, other's capacity) bytes of other's block here.
  void CopyDataFrom(const TTrelSmartMemoryBuffer* other);

  // Instances live in the store, in the free list of their exact size.
  static void* operator new(std::size_t size);
  static void operator delete(void* header, std::size_t size) noexcept;

 private:
  void* data_ = nullptr;
  std::uint32_t capacity_ = 0;
};
