// The framework's re-entrant reader/writer lock.
//
// TVekMultiReadExclusiveWriteSynchronizer lets any number of threads hold it
// for reading at once and one thread hold it for writing. A thread may take it
// again while it holds it (reads nest, writes nest, a read inside the writer's
// own write costs nothing), and a thread that holds read locks may take the
// write lock (upgrade). The pin framework keeps one instance as its global lock
// (TVekGlobalLockObject, VekPins.h): read for every push and query of the pin
// graph, write for every change of it.
//
// How it works: `Sentinel` starts at 65535. Each thread that enters for
// reading subtracts 1 (once, however deeply it nests); a writer that wins
// subtracts 65535, so 0 means "a writer holds it and no reader is inside".
// New readers wait on the manual-reset `ReadSignal` while a writer is pending
// or holds the lock; writers wait one at a time on the auto-reset
// `WriteSignal`. The per-thread read depth lives in a small lock-free table
// (TVekThreadLocalCounter), so a nested read is a table look-up and an
// increment.
//
// Writer priority and its limit: once a writer is pending, threads taking
// their first read lock wait, but a thread that already holds a read lock
// nests at once, so nested readers never deadlock behind a pending writer.
// Two threads that both hold read locks and both upgrade deadlock: upgrade
// only where no other thread can be upgrading at the same time.
//
// Usage rules (checked): a thread releases in the reverse order of taking.
// Releasing a read lock taken before the write lock while still the writer,
// or ending the last write level while reads taken inside it are still held,
// would corrupt `Sentinel`; both stop the process with a usage error.
// `EndWrite` by a thread that is not the writer raises EAssertionFailed and
// changes nothing.
//
// Threads: every member may be called from any thread. Building one costs two
// events and a small table; keep it for the life of the program.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "platform/classes/SyncObjs.h"
#include "platform/rtl/System.h"

// One thread's record in the table: claimed while `Active` is 0x7FFFFFFF.
// Records are never freed before the table; a free record is recycled by the
// next thread of its bucket that needs one.
struct TVekThreadInfo {
  // Next record of the same bucket (nullptr at the end). A new record points
  // at itself until it is linked in; a walker that meets the self-link reads
  // it again until the link is set.
  std::atomic<TVekThreadInfo*> Next{nullptr};
  // The owning thread's id; 0 when the record is free.
  std::atomic<uint32_t> ThreadID{0};
  // 0x7FFFFFFF while the record belongs to a thread, 0 when free.
  std::atomic<int32_t> Active{0};
  // Read locks the owning thread holds. Only the owning thread touches it.
  uint32_t RecursionCount = 0;
};

// The lock-free table of per-thread records: 16 buckets of chains.
class TVekThreadLocalCounter : public TObject {
  KESTRUNE_CLASS(TVekThreadLocalCounter, TObject)
  static constexpr int BucketCount = 16;

  TVekThreadLocalCounter() = default;
  // Frees every record of every bucket. No thread may use the table any more.
  ~TVekThreadLocalCounter() override;

  // The calling thread's record, found, recycled or newly made.
  TVekThreadInfo* Open() { return Open(GetCurrentThreadId()); }
  // The same, given the calling thread's id.
  TVekThreadInfo* Open(uint32_t threadId);
  // The thread's claimed record, or nullptr; claims nothing.
  TVekThreadInfo* Find(uint32_t threadId);
  // Marks the record free (ThreadID 0, Active 0); it stays in its chain.
  void Delete(TVekThreadInfo* info);

  // The bucket of a thread id: the low byte XOR the second byte, low 4 bits.
  static int HashIndex(uint32_t threadId) {
    return static_cast<int>(((threadId & 0xFFu) ^ ((threadId >> 8) & 0xFFu)) & 0x0Fu);
  }
  // Records in one bucket's chain, claimed or free (for diagnostics and
  // tests).
  int ChainLength(int bucket) const;

 private:
  TVekThreadInfo* Recycle(TVekThreadInfo* head, uint32_t threadId);

  std::atomic<TVekThreadInfo*> buckets_[BucketCount] = {};
};

class TVekMultiReadExclusiveWriteSynchronizer : public TInterfacedObject {
  KESTRUNE_CLASS(TVekMultiReadExclusiveWriteSynchronizer, TInterfacedObject)
  static constexpr int32_t SentinelFree = 0xFFFF;

  TVekMultiReadExclusiveWriteSynchronizer();
  // Takes the write lock (waits until no other thread holds the lock), then
  // frees the events and the table. The write lock is never released.
  ~TVekMultiReadExclusiveWriteSynchronizer() override;

  void BeginRead();
  void EndRead();
  void BeginWrite();
  // Raises EAssertionFailed, changing nothing, when the caller is not the
  // writer.
  void EndWrite();

  // The current value of `Sentinel` (diagnostics and tests).
  int32_t SentinelValue() const { return sentinel_.load(); }
  // True when the calling thread holds the write lock.
  bool IsWriter() const {
    return writer_id_.load(std::memory_order_relaxed) == GetCurrentThreadId();
  }
  // Read locks the calling thread holds (0 when none). Claims no record: a
  // thread that only asks leaves the table as it was.
  uint32_t ReadDepth();
  // The records in the per-thread table, claimed or free (diagnostics and
  // tests).
  int ThreadRecordCount() const;
  // True when the calling thread holds the lock for reading or writing. Claims
  // no record (cheap enough for the usage checks of the lock's users).
  bool HeldByCurrentThread();

 private:
  void BlockReaders() { read_signal_.ResetEvent(); }
  void UnblockReaders() { read_signal_.SetEvent(); }
  void UnblockOneWriter() { write_signal_.SetEvent(); }
  void WaitForReadSignal() { read_signal_.WaitFor(wait_timeout_); }
  void WaitForWriteSignal() { write_signal_.WaitFor(wait_timeout_); }

  std::atomic<int32_t> sentinel_{SentinelFree};
  TEvent read_signal_{/*manualReset=*/true, /*initialState=*/true};
  TEvent write_signal_{/*manualReset=*/false, /*initialState=*/false};
  uint32_t wait_timeout_ = INFINITE;
  // Touched only by the writer.
  uint32_t write_recursion_count_ = 0;
  // The writer's read depth when it won the write lock: the reads below it
  // count in `Sentinel`, the reads above it do not. Touched only by the
  // writer.
  uint32_t writer_read_base_ = 0;
  // Freed after the destructor has taken the write lock and seen the last
  // release end.
  std::unique_ptr<TVekThreadLocalCounter> thread_counter_;
  // Written only by the writer; read by every thread to learn whether it is
  // the writer (a thread sees its own id only if it wrote it).
  std::atomic<uint32_t> writer_id_{0};
  // Threads between releasing Sentinel and signalling the events; the
  // destructor waits for them before the events go.
  std::atomic<int32_t> releasing_{0};
};
