// Free lists of fixed-size blocks: reuse by exact size, the limit on sizes,
// release at shutdown and when the last user goes, the object life cycle of a class that takes its
// memory from them, and (under AddressSanitizer) a use after free of a
// pooled object still reported.
#include "platform/rtl/FreeLists.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "platform/rtl/System.h"

namespace {

constinit TFreeLists g_lists;
std::vector<std::string> g_log;

// A counted class of two sizes that takes its memory from g_lists.
class TPooled : public TInterfacedObject {
  KESTRUNE_CLASS(TPooled, TInterfacedObject)
  explicit TPooled(bool fail = false) {
    if (fail)
      throw std::runtime_error("constructor failed");
    g_log.push_back("constructor");
  }
  ~TPooled() override { g_log.push_back("destructor"); }
  void AfterConstruction() override { g_log.push_back("after"); }
  void BeforeDestruction() override {
    g_log.push_back("before");
    inherited::BeforeDestruction();
  }
  static void* operator new(std::size_t size) { return g_lists.Allocate(size); }
  static void operator delete(void* block, std::size_t size) noexcept {
    g_lists.Deallocate(block, size);
  }
  int Value = 7;
};

class TPooledWide : public TPooled {
  KESTRUNE_CLASS(TPooledWide, TPooled)
  TPooledWide() = default;
  char Payload[200] = {};
};

class FreeListsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_lists.Release();
    g_log.clear();
  }
  void TearDown() override { g_lists.Release(); }
};

TEST_F(FreeListsTest, ABlockGivenBackServesTheNextRequestOfItsSizeOnly) {
  struct Case {
    std::size_t size;
    std::size_t other;
  };
  for (const Case& c : {Case{8, 16}, Case{40, 48}, Case{144, 96}, Case{4096, 4104}}) {
    SCOPED_TRACE(c.size);
    void* first = g_lists.Allocate(c.size);
    void* second = g_lists.Allocate(c.size);
    g_lists.Deallocate(first, c.size);
    g_lists.Deallocate(second, c.size);
    EXPECT_EQ(g_lists.PooledCount(), 2u);
    void* other = g_lists.Allocate(c.other);  // another size: not from these
    EXPECT_NE(other, first);
    EXPECT_NE(other, second);
    EXPECT_EQ(g_lists.Allocate(c.size), second);  // the last given back first
    EXPECT_EQ(g_lists.Allocate(c.size), first);
    EXPECT_EQ(g_lists.PooledCount(), 0u);
    g_lists.Deallocate(first, c.size);
    g_lists.Deallocate(second, c.size);
    g_lists.Deallocate(other, c.other);
    g_lists.Release();
  }
}

TEST_F(FreeListsTest, SizesBeyondTheListsGoBackToTheHeapUntilAListEmpties) {
  const auto sizeOf = [](int i) { return 64 + 8 * static_cast<std::size_t>(i); };
  std::vector<void*> blocks;
  for (int i = 0; i <= TFreeLists::kSizeCount; ++i)
    blocks.push_back(g_lists.Allocate(sizeOf(i)));
  for (int i = 0; i <= TFreeLists::kSizeCount; ++i)
    g_lists.Deallocate(blocks[i], sizeOf(i));
  EXPECT_EQ(g_lists.PooledCount(), static_cast<std::size_t>(TFreeLists::kSizeCount));
  // Size 0's list empties: the size that found no list gets it.
  void* first = g_lists.Allocate(sizeOf(0));
  void* late = g_lists.Allocate(sizeOf(TFreeLists::kSizeCount));
  g_lists.Deallocate(late, sizeOf(TFreeLists::kSizeCount));
  EXPECT_EQ(g_lists.Allocate(sizeOf(TFreeLists::kSizeCount)), late);
  g_lists.Deallocate(late, sizeOf(TFreeLists::kSizeCount));
  g_lists.Deallocate(first, sizeOf(0));  // no list is free now: to the heap
  EXPECT_EQ(g_lists.PooledCount(), static_cast<std::size_t>(TFreeLists::kSizeCount));
}

TEST_F(FreeListsTest, ReleaseEmptiesTheListsAndKeepsLateReturnsOutUntilTheNextRequest) {
  void* held = g_lists.Allocate(32);
  void* pooled = g_lists.Allocate(32);
  g_lists.Deallocate(pooled, 32);
  g_lists.Release();
  EXPECT_EQ(g_lists.PooledCount(), 0u);
  g_lists.Deallocate(held, 32);  // after the shutdown: straight to the heap
  EXPECT_EQ(g_lists.PooledCount(), 0u);
  void* next = g_lists.Allocate(32);  // opens the lists again
  g_lists.Deallocate(next, 32);
  EXPECT_EQ(g_lists.PooledCount(), 1u);
}

TEST_F(FreeListsTest, TheLastUserGoingGivesThePooledMemoryBack) {
  void* held = nullptr;
  {
    TFreeListsUser first(g_lists);
    {
      TFreeListsUser second(g_lists);
      EXPECT_EQ(g_lists.UserCount(), 2u);
      void* a = g_lists.Allocate(48);
      void* b = g_lists.Allocate(48);
      held = g_lists.Allocate(48);
      g_lists.Deallocate(a, 48);
      g_lists.Deallocate(b, 48);
    }
    // A user is left: the blocks stay pooled.
    EXPECT_EQ(g_lists.UserCount(), 1u);
    EXPECT_EQ(g_lists.PooledCount(), 2u);
  }
  EXPECT_EQ(g_lists.UserCount(), 0u);
  EXPECT_EQ(g_lists.PooledCount(), 0u);
  g_lists.Deallocate(held, 48);  // an object outliving its users: to the heap
  EXPECT_EQ(g_lists.PooledCount(), 0u);
  // A new user and new requests pool again.
  TFreeListsUser again(g_lists);
  void* next = g_lists.Allocate(48);
  g_lists.Deallocate(next, 48);
  EXPECT_EQ(g_lists.PooledCount(), 1u);
}

TEST_F(FreeListsTest, APooledClassKeepsItsLifeCycleAndReusesItsMemory) {
  const std::vector<std::string> cycle = {"constructor", "after", "before", "destructor"};
  void* address = nullptr;
  for (int round = 0; round < 3; ++round) {
    g_log.clear();
    {
      IPtr<TPooled> object = CreateCounted<TPooled>();
      EXPECT_EQ(object->RefCount(), 1);
      EXPECT_EQ(object->Value, 7);
      if (round == 0)
        address = object.get();
      else
        EXPECT_EQ(object.get(), address);
    }
    EXPECT_EQ(g_log, cycle);
  }
  // A descendant of another size has its own list.
  {
    IPtr<TPooled> wide = CreateCounted<TPooledWide>();
    EXPECT_NE(wide.get(), address);
  }
  EXPECT_EQ(g_lists.PooledCount(), 2u);
}

TEST_F(FreeListsTest, AFailingConstructorGivesItsBlockBack) {
  EXPECT_THROW(Create<TPooled>(true), std::runtime_error);
  EXPECT_EQ(g_lists.PooledCount(), 1u);
  EXPECT_TRUE(g_log.empty());
}

#if defined(__SANITIZE_ADDRESS__)
TEST_F(FreeListsTest, AUseAfterFreeOfAPooledObjectIsStillReported) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(
      {
        TPooled* object = Create<TPooled>();
        object->Free();
        volatile int value = object->Value;  // the block sits in the list
        (void)value;
      },
      "use-after-poison");
}
#endif

}  // namespace
