// The shared copy and zero wrappers and the aligned allocation of each
// letter: the portable wrappers' statuses and bytes, whatever the length,
// alignment and size threshold.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "signal/primitives/LPMalloc.h"
#include "signal/primitives/LibCDispatcher.h"
#include "signal/primitives/kernels/VariantKernels.h"
#include "signal/transforms/TransformMemory.h"
#include "tests/signal/primitives/VariantHarness.h"
#include "tests/signal/transforms/TransformLetters.h"

namespace {

using namespace transform_letters;
using variants_test::Guarded;

struct Wrappers {
  PrimitiveStatus (*copy)(const std::int32_t*, std::int32_t*, std::int32_t);
  PrimitiveStatus (*zero)(std::int32_t*, std::int32_t);
  PrimitiveStatus (*zeroBytes)(void*, std::int32_t);
};

Wrappers WrappersOf(Letter letter) {
  using namespace transforms_detail;
  switch (letter) {
    case Letter::A:
      return {&CopyInt32CheckedA, &transforms_detail::ZeroInt32CheckedA, &ZeroBytesCheckedA};
    case Letter::B:
      return {&CopyInt32CheckedB, &ZeroInt32CheckedB, &ZeroBytesCheckedB};
    case Letter::C:
      return {&CopyInt32CheckedC, &ZeroInt32CheckedC, &ZeroBytesCheckedC};
    case Letter::Portable:
      break;
  }
  return {&CopyInt32Checked, &ZeroInt32Checked, &ZeroBytesChecked};
}

class TransformMemoryTest : public LetterTest {
 protected:
  void TearDown() override {
    ForceCacheSizeForTesting(-1);
    LetterTest::TearDown();
  }
};

TEST_P(TransformMemoryTest, ChecksPointersThenCountAndWritesNothing) {
  const Wrappers w = WrappersOf(letter());
  std::int32_t src[2] = {5, 6};
  std::int32_t dst[2] = {7, 8};
  EXPECT_EQ(w.copy(nullptr, dst, 0), StatusNullPointer);
  EXPECT_EQ(w.copy(src, nullptr, 2), StatusNullPointer);
  EXPECT_EQ(w.copy(src, dst, 0), StatusBadLength);
  EXPECT_EQ(w.copy(src, dst, -3), StatusBadLength);
  EXPECT_EQ(w.zero(nullptr, 0), StatusNullPointer);
  EXPECT_EQ(w.zero(dst, 0), StatusBadLength);
  EXPECT_EQ(w.zeroBytes(nullptr, -1), StatusNullPointer);
  EXPECT_EQ(w.zeroBytes(dst, 0), StatusBadLength);
  EXPECT_EQ(dst[0], 7);
  EXPECT_EQ(dst[1], 8);
}

// Lengths through every short case and past each letter's size bounds
// (set A: 2048 and 4096 elements for the copy, 20 KiB for the zero fills;
// sets B and C: 128 KiB and 512 KiB, streaming because the cache size is
// forced small), at every byte offset from a 16-byte boundary that the
// element type allows (any for ZeroBytesChecked); guard bytes around the
// destination stay untouched.
TEST_P(TransformMemoryTest, GivesThePortableBytesAtEveryLengthAndOffset) {
  ForceCacheSizeForTesting(64 * 1024);
  const Wrappers w = WrappersOf(letter());
  std::vector<std::int32_t> lengths;
  for (std::int32_t len = 1; len <= 80; ++len) {
    lengths.push_back(len);
  }
  for (const std::int32_t len :
       {2047, 2048, 4095, 4096, 5119, 5120, 5121, 32768, 32769, 131072, 131075, 200000}) {
    lengths.push_back(len);
  }
  for (const std::int32_t len : lengths) {
    const std::vector<int> offsets =
        len <= 80 ? std::vector<int>{0, 4, 8, 12} : std::vector<int>{0, 4, 12};
    for (const int dstOffset : offsets) {
      SCOPED_TRACE(::testing::Message() << "len " << len << " dst offset " << dstOffset);
      Guarded<std::int32_t> src(len, (dstOffset + 8) % 16);
      for (std::int32_t i = 0; i < len; ++i) {
        src.Set(i, static_cast<std::int32_t>(0x9E3779B9u * static_cast<std::uint32_t>(i + 1)));
      }
      Guarded<std::int32_t> dst(len, dstOffset);
      PrimitiveStatus status = -1;
      variants_test::CallCheckingFpState(letter(), false,
                                         [&] { status = w.copy(src.data(), dst.data(), len); });
      ASSERT_EQ(status, StatusOk);
      ASSERT_EQ(std::memcmp(src.data(), dst.data(), static_cast<std::size_t>(len) * 4), 0);
      ASSERT_TRUE(dst.GuardsIntact());

      variants_test::CallCheckingFpState(letter(), false,
                                         [&] { status = w.zero(dst.data(), len); });
      ASSERT_EQ(status, StatusOk);
      for (std::int32_t i = 0; i < len; ++i) {
        ASSERT_EQ(dst.Get(i), 0) << "element " << i;
      }
      ASSERT_TRUE(dst.GuardsIntact());
    }
    // Bytes: n = 4 len + 1 at offsets 0..15.
    const std::int32_t n = 4 * len + 1;
    for (int offset = 0; offset < (len <= 80 ? 16 : 3); ++offset) {
      SCOPED_TRACE(::testing::Message() << "bytes " << n << " offset " << offset);
      Guarded<std::uint8_t> bytes(n, offset);
      for (std::int32_t i = 0; i < n; ++i) {
        bytes.Set(i, static_cast<std::uint8_t>(i % 251 + 1));
      }
      PrimitiveStatus status = -1;
      variants_test::CallCheckingFpState(letter(), false,
                                         [&] { status = w.zeroBytes(bytes.data(), n); });
      ASSERT_EQ(status, StatusOk);
      for (std::int32_t i = 0; i < n; ++i) {
        ASSERT_EQ(bytes.Get(i), 0) << "byte " << i;
      }
      ASSERT_TRUE(bytes.GuardsIntact());
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Letters, TransformMemoryTest, kAllLetters, LetterParamName);

// Set C's allocation: 32-byte aligned blocks of the asked size that
// AlignedFree releases; nothing below 1 byte or beyond the 31-bit limit.
TEST(AlignedAllocBytesCTest, AlignedBlocksWithinTheLimit) {
  if (!CpuSupportsVariant(PrimitiveVariant::C)) {
    GTEST_SKIP() << "the processor lacks what variant C needs";
  }
  EXPECT_EQ(transforms_detail::AlignedAllocBytesC(0), nullptr);
  EXPECT_EQ(transforms_detail::AlignedAllocBytesC(-5), nullptr);
  EXPECT_EQ(transforms_detail::AlignedAllocBytesC(kMaxTransformBlockBytes + 1), nullptr);
  EXPECT_EQ(transforms_detail::AlignedAllocBytesC(std::int64_t{1} << 40), nullptr);
  for (const std::int64_t bytes : {1, 100, 128, 129, 4096, 100000}) {
    auto* block = static_cast<unsigned char*>(transforms_detail::AlignedAllocBytesC(bytes));
    ASSERT_NE(block, nullptr) << bytes;
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(block) % 32, 0u) << bytes;
    std::memset(block, 0x5C, static_cast<std::size_t>(bytes));  // every byte is ours
    AlignedFree(block);
  }
}

}  // namespace
