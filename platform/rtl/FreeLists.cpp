#include "platform/rtl/FreeLists.h"

#include <new>

#include "platform/rtl/AsanPoison.h"

TFreeLists::TList* TFreeLists::FindLocked(std::size_t size) {
  for (TList& list : lists_) {
    if (list.size == size)
      return &list;
    if (list.size == 0)
      return nullptr;  // the lists are filled in order: no later one is used
  }
  return nullptr;
}

void* TFreeLists::Allocate(std::size_t size) {
  {
    std::lock_guard<std::mutex> guard(lock_);
    released_ = false;
    if (TList* list = FindLocked(size); list != nullptr && list->head != nullptr) {
      TNode* node = list->head;
      // Only the link is read while the block sits in the list.
      ASAN_UNPOISON_MEMORY_REGION(node, sizeof(TNode));
      list->head = node->next;
      --list->count;
      ASAN_UNPOISON_MEMORY_REGION(node, size);
      return node;
    }
  }
  return ::operator new(size);
}

void TFreeLists::Deallocate(void* block, std::size_t size) noexcept {
  if (block == nullptr)
    return;
  if (size >= sizeof(TNode)) {
    std::lock_guard<std::mutex> guard(lock_);
    TList* list = released_ ? nullptr : FindLocked(size);
    if (list == nullptr && !released_) {
      for (TList& candidate : lists_) {
        if (candidate.size == 0) {
          candidate.size = size;
          list = &candidate;
          break;
        }
      }
    }
    if (list != nullptr) {
      auto* node = static_cast<TNode*>(block);
      node->next = list->head;
      list->head = node;
      ++list->count;
      ASAN_POISON_MEMORY_REGION(block, size);
      return;
    }
  }
  ::operator delete(block, size);
}

void TFreeLists::Release() noexcept {
  std::array<TList, kSizeCount> taken;
  {
    std::lock_guard<std::mutex> guard(lock_);
    taken = lists_;
    lists_ = {};
    released_ = true;
  }
  // The heap is called outside the lock.
  for (const TList& list : taken) {
    TNode* node = list.head;
    while (node != nullptr) {
      ASAN_UNPOISON_MEMORY_REGION(node, list.size);
      TNode* next = node->next;
      ::operator delete(node, list.size);
      node = next;
    }
  }
}

std::size_t TFreeLists::PooledCount() {
  std::lock_guard<std::mutex> guard(lock_);
  std::size_t count = 0;
  for (const TList& list : lists_)
    count += list.count;
  return count;
}
