#include "platform/rtl/FreeLists.h"

#include <cstdlib>
#include <new>

#include "platform/rtl/AsanPoison.h"

TFreeLists::TList* TFreeLists::FindLocked(std::size_t size) {
  for (TList& list : lists_) {
    if (list.size == size)
      return &list;
  }
  return nullptr;
}

void* TFreeLists::Allocate(std::size_t size) {
  {
    std::lock_guard<std::mutex> guard(lock_);
    released_ = false;
    if (TList* list = FindLocked(size); list != nullptr && list->count > 0) {
      void* block = list->blocks[--list->count];
      ASAN_UNPOISON_MEMORY_REGION(block, size);
      return block;
    }
  }
  return ::operator new(size);
}

void TFreeLists::Deallocate(void* block, std::size_t size) noexcept {
  if (block == nullptr)
    return;
  {
    std::lock_guard<std::mutex> guard(lock_);
    TList* list = released_ ? nullptr : FindLocked(size);
    if (list == nullptr && !released_) {
      // A new size takes an unused list, else one that holds no block now
      // (its stack is kept for the new size): sizes seen once, at a start,
      // do not keep the sizes made per buffer out.
      // An unused list is taken before one of another size that is only
      // empty for the moment (its blocks may be in use on another thread).
      for (TList& candidate : lists_) {
        if (candidate.size == 0) {
          list = &candidate;
          break;
        }
      }
      for (TList& candidate : lists_) {
        if (list != nullptr)
          break;
        if (candidate.count == 0)
          list = &candidate;
      }
      if (list != nullptr)
        list->size = size;
    }
    if (list != nullptr && list->count == list->capacity) {
      // A deeper stack than ever before: double it (malloc, so that the
      // general heap's operator new is not involved).
      const std::size_t grown = list->capacity == 0 ? 16 : 2 * list->capacity;
      auto* blocks = static_cast<void**>(std::realloc(list->blocks, grown * sizeof(void*)));
      if (blocks != nullptr) {
        list->blocks = blocks;
        list->capacity = grown;
      }
    }
    if (list != nullptr && list->count < list->capacity) {
      list->blocks[list->count++] = block;
      ASAN_POISON_MEMORY_REGION(block, size);
      return;
    }
  }
  ::operator delete(block, size);
}

std::array<TFreeLists::TList, TFreeLists::kSizeCount> TFreeLists::TakeAllLocked() {
  std::array<TList, kSizeCount> taken = lists_;
  lists_ = {};
  released_ = true;
  return taken;
}

void TFreeLists::FreeTaken(const std::array<TList, kSizeCount>& taken) noexcept {
  for (const TList& list : taken) {
    for (std::size_t i = 0; i < list.count; ++i) {
      ASAN_UNPOISON_MEMORY_REGION(list.blocks[i], list.size);
      ::operator delete(list.blocks[i], list.size);
    }
    std::free(list.blocks);
  }
}

void TFreeLists::Release() noexcept {
  std::array<TList, kSizeCount> taken;
  {
    std::lock_guard<std::mutex> guard(lock_);
    taken = TakeAllLocked();
  }
  FreeTaken(taken);  // the heap is called outside the lock
}

void TFreeLists::AddUser() noexcept {
  std::lock_guard<std::mutex> guard(lock_);
  ++users_;
}

void TFreeLists::RemoveUser() noexcept {
  std::array<TList, kSizeCount> taken{};
  {
    std::lock_guard<std::mutex> guard(lock_);
    if (users_ == 0 || --users_ > 0)
      return;
    taken = TakeAllLocked();
  }
  FreeTaken(taken);
}

std::size_t TFreeLists::PooledCount() {
  std::lock_guard<std::mutex> guard(lock_);
  std::size_t count = 0;
  for (const TList& list : lists_)
    count += list.count;
  return count;
}

std::size_t TFreeLists::UserCount() {
  std::lock_guard<std::mutex> guard(lock_);
  return users_;
}
