// Free lists for the objects made and dropped at the capture rate.
//
// A class that is made once per buffer (the buffer objects, the notify
// operations) gives itself an operator new and a sized operator delete that
// call one TFreeLists object. The object keeps, for each exact block size it
// holds blocks of (up to TFreeLists::kSizeCount sizes), a stack of the blocks
// given back, and hands the last one given back to the next request of that
// size, so once the lists are warm making and dropping such objects takes
// nothing from the general heap. A size beyond the lists, or a request while
// a list is empty, takes its block from the general heap (operator new); a
// burst larger than the lists have seen allocates once.
//
// The lists only recycle memory: constructors, AfterConstruction,
// BeforeDestruction, destructors and reference counts run exactly as for an
// object of the general heap.
//
// Life cycle: a TFreeLists is a constant-initialised global (constexpr
// constructor, no destructor), so it is usable from any static constructor or
// destructor. Release gives every pooled block back to the heap; the unit that
// owns the classes calls it at its shutdown. The objects that make instances
// of the classes (the pins that push buffers, the capture state) register as
// users for their lifetime (TFreeListsUser): when the last user goes, the
// lists are released the same way. Blocks given back after Release
// go straight to the heap until the next Allocate opens the lists again. The
// stack of a size grows (doubling) when it is full, so a burst larger than
// any before costs one more allocation then; if that fails, the block goes
// back to the heap.
//
// Threads: every function may be called from any thread; one mutex guards all
// lists of one object for the push or pop of one block. A block made on one
// thread may be given back on another.
//
// Under AddressSanitizer a pooled block is poisoned from the moment it is
// given back until it is handed out again, so a use after free of a pooled
// object is still reported (as a use after poison).
#pragma once

#include <array>
#include <cstddef>
#include <mutex>

class TFreeLists {
 public:
  // The number of distinct block sizes one object pools.
  // Enough for every class made per buffer in one list object (the notify
  // operations come in a dozen sizes), so that sizes seen at a start do not
  // take the lists of the sizes made per buffer.
  static constexpr int kSizeCount = 16;

  constexpr TFreeLists() = default;
  TFreeLists(const TFreeLists&) = delete;
  TFreeLists& operator=(const TFreeLists&) = delete;

  // A block of `size` bytes, aligned as operator new aligns: the block given
  // back last for that size, else a new one from the general heap. Raises
  // std::bad_alloc when the heap refuses.
  void* Allocate(std::size_t size);
  // Takes back a block that Allocate handed out for `size`. A size without a
  // list takes an unused one, else one that is empty now; a block for which
  // no list is free (all kSizeCount lists hold blocks of other sizes), or
  // any block while the lists are released, goes back to the heap. nullptr
  // does nothing.
  void Deallocate(void* block, std::size_t size) noexcept;
  // Gives every pooled block back to the heap and keeps later returns out of
  // the lists until the next Allocate.
  void Release() noexcept;

  // A user of the lists comes and goes; when the last one goes (the count
  // falls to 0), the lists are released as by Release. Use TFreeListsUser.
  void AddUser() noexcept;
  void RemoveUser() noexcept;

  // Diagnostics for tests: the blocks pooled now, over all sizes, and the
  // users registered now.
  std::size_t PooledCount();
  std::size_t UserCount();

 private:
  // The pooled blocks of one size, as a stack of addresses kept outside the
  // blocks: a pooled block is poisoned whole, and the leak checker still
  // sees every address.
  struct TList {
    std::size_t size = 0;  // 0: unused
    void** blocks = nullptr;
    std::size_t count = 0;
    std::size_t capacity = 0;
  };

  // Caller holds lock_. The list of exactly `size`, or nullptr.
  TList* FindLocked(std::size_t size);
  // Caller holds lock_. Empties the lists and closes them; the pooled blocks
  // are the caller's, to free outside the lock (FreeTaken).
  std::array<TList, kSizeCount> TakeAllLocked();
  static void FreeTaken(const std::array<TList, kSizeCount>& taken) noexcept;

  std::mutex lock_;
  std::array<TList, kSizeCount> lists_{};
  bool released_ = false;  // guarded by lock_
  std::size_t users_ = 0;  // guarded by lock_
};

// Registers a user of `lists` for its own lifetime.
class TFreeListsUser {
 public:
  explicit TFreeListsUser(TFreeLists& lists) noexcept : lists_(lists) { lists_.AddUser(); }
  ~TFreeListsUser() { lists_.RemoveUser(); }
  TFreeListsUser(const TFreeListsUser&) = delete;
  TFreeListsUser& operator=(const TFreeListsUser&) = delete;

 private:
  TFreeLists& lists_;
};
