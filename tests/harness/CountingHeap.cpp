#include "tests/harness/CountingHeap.h"

#include <atomic>
#include <cstdlib>
#include <new>

// Our operator new takes its memory from malloc, so free is the matching
// release; the compiler cannot see that pairing where it inlines the two.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

namespace {
std::atomic<std::uint64_t> g_heap_news{0};

void* CountedAllocation(std::size_t size) noexcept {
  g_heap_news.fetch_add(1, std::memory_order_relaxed);
  return std::malloc(size == 0 ? 1 : size);
}
}  // namespace

std::uint64_t kestrune::test_support::HeapAllocationCount() {
  return g_heap_news.load(std::memory_order_relaxed);
}

void* operator new(std::size_t size) {
  if (void* block = CountedAllocation(size))
    return block;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
  if (void* block = CountedAllocation(size))
    return block;
  throw std::bad_alloc();
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return CountedAllocation(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return CountedAllocation(size);
}
void operator delete(void* block) noexcept {
  std::free(block);
}
void operator delete[](void* block) noexcept {
  std::free(block);
}
void operator delete(void* block, std::size_t) noexcept {
  std::free(block);
}
void operator delete[](void* block, std::size_t) noexcept {
  std::free(block);
}
void operator delete(void* block, const std::nothrow_t&) noexcept {
  std::free(block);
}
void operator delete[](void* block, const std::nothrow_t&) noexcept {
  std::free(block);
}
