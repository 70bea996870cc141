// The smart block store: size classes, last-in-first-out reuse, headers from
// their own free list, the header counts, refused sizes, memory exhaustion
// and releases after the store is gone.
#include "signal/core/TrelSmartBufferManager.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/rtl/SysUtils.h"
#include "signal/core/TrelTypedBuffers.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#endif

namespace {

// Every test runs on a fresh store.
class SmartBlockStoreTest : public ::testing::Test {
 protected:
  void SetUp() override { TrelSimpleDataBufferUnit.Initialize(); }
  void TearDown() override { TrelSimpleDataBufferUnit.Finalize(); }

  static TTrelSmartBufferManager& Store() { return *SmartBufferManager(); }
};

TEST(RoundUpPowerOfTwoTest, GivesTheSizeClass) {
  struct Row {
    const char* name;
    std::uint32_t size;
    std::uint32_t expected;
  };
  const Row rows[] = {
      {"ZeroIsSmallestClass", 0, 4},
      {"OneIsSmallestClass", 1, 4},
      {"FourIsExact", 4, 4},
      {"FiveRoundsUp", 5, 8},
      {"PowerStaysPut", 1024, 1024},
      {"OnePastPowerDoubles", 1025, 2048},
      {"LargestClass", 1u << 30, 1u << 30},
      {"AboveLargestStaysLargest", (1u << 30) + 1, 1u << 30},
      {"TopOfRangeStaysLargest", 0xFFFFFFFFu, 1u << 30},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(RoundUpPowerOfTwo(row.size), row.expected) << row.name;
  }
}

TEST_F(SmartBlockStoreTest, ZeroSizeGivesNoBlock) {
  EXPECT_EQ(AllocSmartBlock(0), nullptr);
  EXPECT_EQ(Store().HeapAllocationCount(), 0u);
}

TEST_F(SmartBlockStoreTest, BlocksAreAlignedAndReusedLastInFirstOut) {
  void* a = AllocSmartBlock(777);
  void* b = AllocSmartBlock(777);
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(a) % 32, 0u);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(b) % 32, 0u);
  FreeSmartBlock(a, 777);
  FreeSmartBlock(b, 777);
  EXPECT_EQ(AllocSmartBlock(777), b);
  EXPECT_EQ(AllocSmartBlock(777), a);
  EXPECT_EQ(Store().HeapAllocationCount(), 2u);
  FreeSmartBlock(a, 777);
  FreeSmartBlock(b, 777);
}

TEST_F(SmartBlockStoreTest, SmartMemoryBlocksHaveTheirSizeClass) {
  struct Row {
    const char* name;
    std::uint32_t size;
    std::uint32_t capacity;
  };
  const Row rows[] = {
      {"EmptyGetsFourBytes", 0, 4},
      {"FiveGetsEight", 5, 8},
      {"OddSamplesRoundUp", 8 * 1000, 8192},
  };
  for (const Row& row : rows) {
    TTrelSmartMemoryBuffer* block = Create<TTrelSmartMemoryBuffer>(row.size);
    EXPECT_EQ(block->Capacity(), row.capacity) << row.name;
    EXPECT_NE(block->GetData(), nullptr) << row.name;
    block->Free();
  }
}

TEST_F(SmartBlockStoreTest, SameSizeClassRecyclesWithoutNewMemory) {
  // Warm up: one block of each class and one header.
  for (std::uint32_t size : {5u, 100u, 4096u * 8}) {
    Create<TTrelSmartMemoryBuffer>(size)->Free();
  }
  const std::uint64_t warm = Store().HeapAllocationCount();
  void* recycled = nullptr;
  for (int round = 0; round < 100; ++round) {
    for (std::uint32_t size : {6u, 7u, 8u, 65u, 128u, 30000u, 32768u}) {
      TTrelSmartMemoryBuffer* block = Create<TTrelSmartMemoryBuffer>(size);
      if (size == 32768u) {
        if (recycled == nullptr) {
          recycled = block->GetData();
        }
        EXPECT_EQ(block->GetData(), recycled);
      }
      block->Free();
    }
  }
  EXPECT_EQ(Store().HeapAllocationCount(), warm);
}

// A header 8 bytes larger than the plain one (32 bytes, itself a size class),
// so that its instance size lies between two size classes.
class TPaddedSmartMemoryBuffer : public TTrelSmartMemoryBuffer {
  KESTRUNE_CLASS(TPaddedSmartMemoryBuffer, TTrelSmartMemoryBuffer)
  using TTrelSmartMemoryBuffer::TTrelSmartMemoryBuffer;

 private:
  [[maybe_unused]] char padding_[8] = {};
};

TEST_F(SmartBlockStoreTest, HeadersComeFromTheListOfTheirExactSize) {
  TTrelSmartMemoryBuffer* block = Create<TPaddedSmartMemoryBuffer>(64u);
  void* header = block;
  block->Free();
  // The header went back under its instance size, not a power of two.
  const std::uint32_t headerSize = sizeof(TPaddedSmartMemoryBuffer);
  ASSERT_NE(RoundUpPowerOfTwo(headerSize), headerSize);
  void* again = AllocSmartBlock(headerSize);
  EXPECT_EQ(again, header);
  FreeSmartBlock(again, headerSize);
}

TEST_F(SmartBlockStoreTest, ContentsAreCopiedWhereAsked) {
  const char text[] = "samples";
  TTrelSmartMemoryBuffer* source = Create<TTrelSmartMemoryBuffer>(text, sizeof(text));
  EXPECT_EQ(std::memcmp(source->GetData(), text, sizeof(text)), 0);
  auto* copy = static_cast<TTrelSmartMemoryBuffer*>(source->Clone(true));
  EXPECT_EQ(copy->Capacity(), source->Capacity());
  EXPECT_NE(copy->GetData(), source->GetData());
  EXPECT_EQ(std::memcmp(copy->GetData(), text, sizeof(text)), 0);
  EXPECT_EQ(copy->RefCount(), 0);  // a new header has no holder yet

  TTrelSmartMemoryBuffer* larger = Create<TTrelSmartMemoryBuffer>(64u);
  std::memset(larger->GetData(), 'x', 64);
  larger->CopyDataFrom(source);  // min of the two capacities: 8 bytes
  EXPECT_EQ(std::memcmp(larger->GetData(), text, sizeof(text)), 0);
  EXPECT_EQ(static_cast<char*>(larger->GetData())[8], 'x');
  larger->Free();
  copy->Free();
  source->Free();
}

TEST_F(SmartBlockStoreTest, PlainHeaderClonesToPlainHeader) {
  TTrelSmartBuffer* plain = Create<TTrelSmartBuffer>();
  TTrelSmartBuffer* clone = plain->Clone(true);
  EXPECT_EQ(clone->ClassType(), TTrelSmartBuffer::StaticClass());
  clone->Free();
  plain->Free();
}

TEST_F(SmartBlockStoreTest, HeaderCountsFollowTheirRules) {
  TTrelSmartBuffer* header = Create<TTrelSmartBuffer>();
  header->AddRef(true);  // the holder that keeps it alive through the test

  EXPECT_TRUE(header->IsExclusive()) << "one writer";
  header->AddRef(false);
  header->Release(false);
  EXPECT_EQ(header->WriterCount(), 1) << "a reading release leaves the writer";

  header->AddRef(true);
  EXPECT_FALSE(header->IsExclusive()) << "two writers";
  header->ReleaseWrite();
  EXPECT_TRUE(header->IsExclusive()) << "writer gave up writing";
  EXPECT_EQ(header->RefCount(), 2);
  header->Release(false);

  header->ReleaseWrite();
  EXPECT_EQ(header->WriterCount(), 0);
  header->ReleaseWrite();
  EXPECT_EQ(header->WriterCount(), 0) << "never below zero";
  EXPECT_TRUE(header->IsExclusive()) << "no writer";
  header->AddRef(false);
  header->Release(true);
  EXPECT_EQ(header->WriterCount(), 0) << "a writing release at zero writers";
  EXPECT_EQ(header->RefCount(), 1);
  header->Release(false);  // the last: frees the header (leak checkers see it)
}

TEST_F(SmartBlockStoreTest, LastReleaseGivesTheMemoryBack) {
  TTrelSmartMemoryBuffer* block = Create<TTrelSmartMemoryBuffer>(256u);
  block->AddRef(true);
  block->AddRef(false);
  const int pooledBefore = Store().PooledBlockCount();
  block->Release(false);
  EXPECT_EQ(Store().PooledBlockCount(), pooledBefore);
  block->Release(true);
  EXPECT_EQ(Store().PooledBlockCount(), pooledBefore + 2) << "data block and header";
}

TEST_F(SmartBlockStoreTest, SizesAboveTheLargestClassAreRefused) {
  Create<TTrelSmartMemoryBuffer>(8u)->Free();  // the header list exists
  const std::uint64_t heapBefore = Store().HeapAllocationCount();
  const int pooledBefore = Store().PooledBlockCount();
  EXPECT_THROW(AllocSmartBlock((1u << 30) + 1), ERangeError);
  EXPECT_THROW(Create<TTrelSmartMemoryBuffer>((1u << 30) + 1), ERangeError);
  EXPECT_THROW(Create<TTrelSmartMemoryBuffer>(0xFFFFFFFFu), ERangeError);
  EXPECT_EQ(Store().HeapAllocationCount(), heapBefore);
  EXPECT_EQ(Store().PooledBlockCount(), pooledBefore) << "the refused block's header came back";
}

TEST_F(SmartBlockStoreTest, LargestClassIsServed) {
  TTrelSmartMemoryBuffer* block = Create<TTrelSmartMemoryBuffer>(1u << 30);
  EXPECT_EQ(block->Capacity(), 1u << 30);
  block->Free();
}

#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
// The heap refuses a 1 GiB block under a 1 GiB address-space limit
// (sanitizer builds reserve far more address space, so the case runs in the
// plain build only).
TEST_F(SmartBlockStoreTest, ExhaustedMemoryRaisesAndKeepsTheStoreConsistent) {
  Create<TTrelSmartMemoryBuffer>(64u)->Free();  // the header list exists
  const std::uint64_t heapBefore = Store().HeapAllocationCount();
  const int pooledBefore = Store().PooledBlockCount();

  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_AS, &saved), 0);
  rlimit limited = saved;
  limited.rlim_cur = rlim_t{1} << 30;
  ASSERT_EQ(setrlimit(RLIMIT_AS, &limited), 0);
  bool raised = false;
  try {
    Create<TTrelSmartMemoryBuffer>(1u << 30);
  } catch (const EOutOfMemory& e) {
    raised = true;
    EXPECT_EQ(e.Message(), "Mémoire insuffisante");
  }
  ASSERT_EQ(setrlimit(RLIMIT_AS, &saved), 0);

  EXPECT_TRUE(raised);
  EXPECT_EQ(Store().HeapAllocationCount(), heapBefore);
  EXPECT_EQ(Store().PooledBlockCount(), pooledBefore) << "header given back";
  TTrelSmartMemoryBuffer* block = Create<TTrelSmartMemoryBuffer>(64u);
  EXPECT_NE(block->GetData(), nullptr);
  block->Free();
}
#endif

TEST_F(SmartBlockStoreTest, ClearFreesPooledBlocksAndLaterReturnsAreHarmless) {
  void* held = AllocSmartBlock(512);
  void* pooled = AllocSmartBlock(512);
  FreeSmartBlock(pooled, 512);
  Store().Clear();
  EXPECT_EQ(Store().PooledBlockCount(), 0);
  // Its list is gone: the block goes back to the heap.
  FreeSmartBlock(held, 512);
  EXPECT_EQ(Store().PooledBlockCount(), 0);
}

#if defined(__SANITIZE_ADDRESS__)
// What sits in a free list is poisoned, so a use after free is still
// reported: sample blocks, block headers and the buffer objects themselves.
TEST_F(SmartBlockStoreTest, PooledMemoryIsPoisonedUntilHandedOutAgain) {
  void* block = AllocSmartBlock(777);
  EXPECT_FALSE(__asan_region_is_poisoned(block, 777));
  FreeSmartBlock(block, 777);
  EXPECT_TRUE(__asan_address_is_poisoned(block));
  // The last whole 8-byte granule (the sanitizer poisons by granules).
  EXPECT_TRUE(__asan_address_is_poisoned(static_cast<char*>(block) + 775));
  EXPECT_EQ(AllocSmartBlock(777), block);
  EXPECT_EQ(__asan_region_is_poisoned(block, 777), nullptr);
  FreeSmartBlock(block, 777);

  TTrelSmartMemoryBuffer* header = Create<TTrelSmartMemoryBuffer>(64u);
  header->AddRef(true);
  void* data = header->GetData();
  header->Release(true);  // the last holder: header and data go to their lists
  EXPECT_TRUE(__asan_address_is_poisoned(header));
  EXPECT_TRUE(__asan_address_is_poisoned(data));

  void* object = nullptr;
  {
    IPtr<ITrelRealBuffer> buffer = TTrelRealBuffer::CreateCount(16);
    object = buffer->GetBufferObject();
  }
  EXPECT_TRUE(__asan_address_is_poisoned(object));
}
#endif

TEST(SmartBlockStoreLifeTest, ReleasesAfterShutdownAreHarmless) {
  TrelSimpleDataBufferUnit.Initialize();
  TTrelSmartMemoryBuffer* block = Create<TTrelSmartMemoryBuffer>(1000u);
  block->AddRef(true);
  TrelSimpleDataBufferUnit.Finalize();
  ASSERT_EQ(SmartBufferManager(), nullptr);
  block->Release(true);  // data and header go straight back to the heap

  EXPECT_EQ(AllocSmartBlock(0), nullptr);
  EXPECT_THROW(AllocSmartBlock(16), EInvalidOperation);
  EXPECT_THROW(Create<TTrelSmartMemoryBuffer>(16u), EInvalidOperation);
}

}  // namespace
