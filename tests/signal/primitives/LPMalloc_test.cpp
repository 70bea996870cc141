#include "signal/primitives/LPMalloc.h"

#include <gtest/gtest.h>
#include <malloc.h>

#include <cstdint>
#include <cstring>
#include <limits>

namespace {

void* RawPointerOf(void* block) {
  void* raw = nullptr;
  std::memcpy(&raw, static_cast<unsigned char*>(block) - 8, sizeof raw);
  return raw;
}

TEST(AlignedAllocTest, RefusesSizesBelowOne) {
  EXPECT_EQ(AlignedAlloc(0), nullptr);
  EXPECT_EQ(AlignedAlloc(-5), nullptr);
  EXPECT_EQ(AlignedAlloc(std::numeric_limits<std::int32_t>::min()), nullptr);
  AlignedFree(nullptr);  // does nothing
}

// For every size: 32-byte aligned, the raw heap pointer kept just below the
// block, 8 to 39 bytes above it, and the whole block writable inside the heap
// block (the sanitizer build catches any overrun).
TEST(AlignedAllocTest, PlacesAlignedBlocksInsideTheHeapBlock) {
  for (std::int32_t n = 1; n <= 300; ++n) {
    auto* block = static_cast<unsigned char*>(AlignedAlloc(n));
    ASSERT_NE(block, nullptr) << n;
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(block) % 32, 0u) << n;
    auto* raw = static_cast<unsigned char*>(RawPointerOf(block));
    EXPECT_GE(block - raw, 8) << n;
    EXPECT_LE(block - raw, 39) << n;
    EXPECT_GE(malloc_usable_size(raw), static_cast<std::size_t>(block - raw) + n) << n;
    std::memset(block, 0xA5, static_cast<std::size_t>(n));
    AlignedFree(block);
  }
}

TEST(AlignedAllocTest, LargestSizeDoesNotWrap) {
  const std::int32_t n = std::numeric_limits<std::int32_t>::max();
  auto* block = static_cast<unsigned char*>(AlignedAlloc(n));
  if (block == nullptr) {
    GTEST_SKIP() << "the heap cannot reserve 2 GiB here";
  }
  auto* raw = static_cast<unsigned char*>(RawPointerOf(block));
  EXPECT_GE(malloc_usable_size(raw), static_cast<std::size_t>(block - raw) + n);
  block[n - 1] = 1;
  AlignedFree(block);
}

TEST(ProcessHeapTest, NegativeSizeIsRefusedAndZeroGivesABlock) {
  EXPECT_EQ(ProcessHeapAlloc(-1), nullptr);
  void* block = ProcessHeapAlloc(0);
  EXPECT_NE(block, nullptr);
  EXPECT_TRUE(ProcessHeapFree(block));
}

}  // namespace
