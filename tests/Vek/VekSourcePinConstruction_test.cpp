// A source pin whose construction runs out of memory frees what it had made
// so far: its two dependency lists are owned by handles, so the first list
// goes when the second cannot be made. This file replaces the global
// operator new of its test program with one that fails on demand and counts
// the blocks alive.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <new>

#include "Vek/VekPins.h"
#include "tests/Vek/VekTestFixtures.h"

// Our operator new takes its memory from malloc, so free is the matching
// release; the compiler cannot see that pairing where it inlines the two.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

namespace {
// Single-threaded program: plain counters.
std::int64_t g_news = 0;
std::int64_t g_live = 0;
// The allocation (1-based, counted from the arming) that fails; 0: none.
std::int64_t g_fail_at = 0;
std::int64_t g_since_armed = 0;

void* Allocate(std::size_t size) {
  if (g_fail_at != 0 && ++g_since_armed == g_fail_at)
    return nullptr;
  void* block = std::malloc(size == 0 ? 1 : size);
  if (block != nullptr) {
    ++g_news;
    ++g_live;
  }
  return block;
}

void Release(void* block) {
  if (block == nullptr)
    return;
  --g_live;
  std::free(block);
}

void FailAllocation(std::int64_t index) {
  g_since_armed = 0;
  g_fail_at = index;
}
}  // namespace

void* operator new(std::size_t size) {
  if (void* block = Allocate(size))
    return block;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
  if (void* block = Allocate(size))
    return block;
  throw std::bad_alloc();
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return Allocate(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return Allocate(size);
}
void operator delete(void* block) noexcept {
  Release(block);
}
void operator delete[](void* block) noexcept {
  Release(block);
}
void operator delete(void* block, std::size_t) noexcept {
  Release(block);
}
void operator delete[](void* block, std::size_t) noexcept {
  Release(block);
}
void operator delete(void* block, const std::nothrow_t&) noexcept {
  Release(block);
}
void operator delete[](void* block, const std::nothrow_t&) noexcept {
  Release(block);
}

namespace {

using namespace vektest;

// Every allocation of a whole construction is made to fail in turn: the
// construction either raises or succeeds (then the pin is freed), and in
// both cases exactly the blocks alive before remain.
TEST(VekSourcePinConstructionTest, RunningOutOfMemoryAnywhereLeaksNothing) {
  StartFramework();
  Create<TTestSourcePin>(nullptr)->Free();  // the registries take their room once

  const std::int64_t before = g_news;
  Create<TTestSourcePin>(nullptr)->Free();
  const std::int64_t made = g_news - before;
  ASSERT_GE(made, 3) << "the pin and its two dependency lists";

  int raised = 0;
  for (std::int64_t k = 1; k <= made; ++k) {
    const std::int64_t live = g_live;
    TTestSourcePin* pin = nullptr;
    FailAllocation(k);
    try {
      pin = Create<TTestSourcePin>(nullptr);
    } catch (...) {
      ++raised;
    }
    FailAllocation(0);
    if (pin != nullptr)
      pin->Free();
    EXPECT_EQ(g_live, live) << "allocation " << k << " of " << made << " failed";
  }
  EXPECT_GT(raised, 0);
}

}  // namespace
