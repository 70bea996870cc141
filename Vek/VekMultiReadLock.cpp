#include "Vek/VekMultiReadLock.h"

#include "platform/rtl/SysUtils.h"

namespace {
constexpr int32_t kClaimed = 0x7FFFFFFF;

// The first record of a chain, from `head` on, that `match` accepts; nullptr
// when none does.
template <class Match>
TVekThreadInfo* FirstInChain(TVekThreadInfo* head, Match match) {
  for (TVekThreadInfo* p = head; p != nullptr;) {
    if (match(p))
      return p;
    TVekThreadInfo* next = p->Next.load(std::memory_order_acquire);
    // A record being linked in points at itself until its link is set.
    if (next == p)
      continue;
    p = next;
  }
  return nullptr;
}
}  // namespace

// ---------------------------------------------------------------------------
// TVekThreadLocalCounter

TVekThreadLocalCounter::~TVekThreadLocalCounter() {
  for (auto& bucket : buckets_) {
    TVekThreadInfo* p = bucket.load();
    while (p != nullptr) {
      TVekThreadInfo* next = p->Next.load();
      delete p;
      p = next;
    }
  }
}

TVekThreadInfo* TVekThreadLocalCounter::Open(uint32_t self) {
  if (TVekThreadInfo* own = Find(self))
    return own;
  TVekThreadInfo* head = buckets_[HashIndex(self)].load(std::memory_order_acquire);
  if (TVekThreadInfo* recycled = Recycle(head, self))
    return recycled;

  auto* info = new TVekThreadInfo;
  info->ThreadID.store(self, std::memory_order_relaxed);
  info->Active.store(kClaimed, std::memory_order_relaxed);
  info->Next.store(info, std::memory_order_relaxed);
  TVekThreadInfo* previous = buckets_[HashIndex(self)].exchange(info, std::memory_order_acq_rel);
  info->Next.store(previous, std::memory_order_release);
  return info;
}

TVekThreadInfo* TVekThreadLocalCounter::Find(uint32_t threadId) {
  return FirstInChain(buckets_[HashIndex(threadId)].load(std::memory_order_acquire),
                      [threadId](TVekThreadInfo* p) {
                        return p->ThreadID.load(std::memory_order_relaxed) == threadId;
                      });
}

TVekThreadInfo* TVekThreadLocalCounter::Recycle(TVekThreadInfo* head, uint32_t threadId) {
  return FirstInChain(head, [threadId](TVekThreadInfo* p) {
    // The exchange hands the record over: whatever the last owner wrote before
    // freeing it is visible to the thread that claims it.
    if (p->Active.exchange(kClaimed, std::memory_order_acq_rel) == kClaimed)
      return false;
    p->ThreadID.store(threadId, std::memory_order_relaxed);
    return true;
  });
}

void TVekThreadLocalCounter::Delete(TVekThreadInfo* info) {
  info->ThreadID.store(0, std::memory_order_relaxed);
  info->Active.store(0, std::memory_order_release);
}

int TVekThreadLocalCounter::ChainLength(int bucket) const {
  int n = 0;
  for (TVekThreadInfo* p = buckets_[bucket].load(); p != nullptr; p = p->Next.load()) {
    if (p->Next.load() == p)
      continue;
    ++n;
  }
  return n;
}

// ---------------------------------------------------------------------------
// TVekMultiReadExclusiveWriteSynchronizer

TVekMultiReadExclusiveWriteSynchronizer::TVekMultiReadExclusiveWriteSynchronizer()
    : thread_counter_(std::make_unique<TVekThreadLocalCounter>()) {}

TVekMultiReadExclusiveWriteSynchronizer::~TVekMultiReadExclusiveWriteSynchronizer() {
  BeginWrite();
  while (releasing_.load() != 0)
    Sleep(0);
}

uint32_t TVekMultiReadExclusiveWriteSynchronizer::ReadDepth() {
  const TVekThreadInfo* info = thread_counter_->Find(GetCurrentThreadId());
  return info != nullptr ? info->RecursionCount : 0;
}

int TVekMultiReadExclusiveWriteSynchronizer::ThreadRecordCount() const {
  int n = 0;
  for (int bucket = 0; bucket < TVekThreadLocalCounter::BucketCount; ++bucket)
    n += thread_counter_->ChainLength(bucket);
  return n;
}

bool TVekMultiReadExclusiveWriteSynchronizer::HeldByCurrentThread() {
  if (IsWriter())
    return true;
  const TVekThreadInfo* info = thread_counter_->Find(GetCurrentThreadId());
  return info != nullptr && info->RecursionCount > 0;
}

void TVekMultiReadExclusiveWriteSynchronizer::BeginRead() {
  const uint32_t self = GetCurrentThreadId();
  TVekThreadInfo* info = thread_counter_->Open(self);
  ++info->RecursionCount;
  // A nested read, or a read inside the caller's own write lock: nothing more.
  if (info->RecursionCount > 1 || writer_id_.load(std::memory_order_relaxed) == self)
    return;

  WaitForReadSignal();
  for (;;) {
    if (sentinel_.fetch_sub(1) - 1 > 0)
      return;
    // A writer holds the lock or is taking it: back out, wake the writer if we
    // were the last one in its way, and wait for the readers' turn.
    if (sentinel_.fetch_add(1) + 1 == SentinelFree)
      UnblockOneWriter();
    Sleep(0);
    WaitForReadSignal();
  }
}

void TVekMultiReadExclusiveWriteSynchronizer::EndRead() {
  const uint32_t self = GetCurrentThreadId();
  TVekThreadInfo* info = thread_counter_->Open(self);
  KESTRUNE_USAGE_CHECK(info->RecursionCount > 0, "EndRead without a matching BeginRead");
  const bool writer = writer_id_.load(std::memory_order_relaxed) == self;
  // The reads held when the write lock was won count in Sentinel; releasing
  // one of them while still the writer would leave that count behind.
  KESTRUNE_USAGE_CHECK(!writer || info->RecursionCount > writer_read_base_,
                       "a read lock taken before the write lock released before EndWrite");
  --info->RecursionCount;
  if (info->RecursionCount > 0)
    return;

  thread_counter_->Delete(info);
  if (writer)
    return;  // the writer's own reads never touched Sentinel

  // A writer may win the moment Sentinel changes, and that writer may be the
  // destructor: it waits until we are done with the events.
  releasing_.fetch_add(1);
  const int32_t t = sentinel_.fetch_add(1) + 1;
  if (t == SentinelFree) {
    UnblockOneWriter();
  } else if (t <= 0 && t % SentinelFree == 0) {
    UnblockOneWriter();
  }
  releasing_.fetch_sub(1);
}

void TVekMultiReadExclusiveWriteSynchronizer::BeginWrite() {
  if (!IsWriter()) {
    BlockReaders();
    TVekThreadInfo* info = thread_counter_->Open();
    const bool hasReadLock = info->RecursionCount > 0;
    // Our own reads stop counting against us while we wait.
    if (hasReadLock)
      sentinel_.fetch_add(1);
    for (;;) {
      if (sentinel_.fetch_sub(SentinelFree) == SentinelFree)
        break;
      if (sentinel_.fetch_add(SentinelFree) != 0)
        WaitForWriteSignal();
    }
    BlockReaders();
    if (hasReadLock)
      sentinel_.fetch_sub(1);
    writer_read_base_ = info->RecursionCount;
    writer_id_.store(GetCurrentThreadId(), std::memory_order_relaxed);
  }
  ++write_recursion_count_;
}

void TVekMultiReadExclusiveWriteSynchronizer::EndWrite() {
  KESTRUNE_ASSERT(IsWriter(), "EndWrite by a thread that does not hold the write lock");
  TVekThreadInfo* info = thread_counter_->Open();
  if (write_recursion_count_ == 1) {
    // Reads taken inside the write lock never entered Sentinel; ending the
    // write under them would make their release count twice.
    KESTRUNE_USAGE_CHECK(info->RecursionCount == writer_read_base_,
                         "EndWrite while read locks taken inside the write lock are held");
  }
  --write_recursion_count_;
  if (write_recursion_count_ == 0) {
    writer_id_.store(0, std::memory_order_relaxed);
    releasing_.fetch_add(1);
    sentinel_.fetch_add(SentinelFree);
    UnblockOneWriter();
    UnblockReaders();
    releasing_.fetch_sub(1);
  }
  if (info->RecursionCount == 0)
    thread_counter_->Delete(info);
}
