// Group locks refuse a caller that does not hold the global lock.
#include "Vek/VekLocks.h"

#include <gtest/gtest.h>

#include "tests/Vek/VekTestFixtures.h"

namespace {

class VekLocksDeathTest : public ::testing::Test {
 protected:
  void SetUp() override {
    vektest::StartFramework();
    object_ = Create<TVekObject>();
  }
  void TearDown() override { FreeObject(object_); }
  TVekObject* object_ = nullptr;
};

// Taking a group lock bare (not through a section) would escape the lock
// order that keeps pushes and link changes apart: a usage error, at once.
TEST_F(VekLocksDeathTest, AGroupLockTakenWithoutTheGlobalLockIsAUsageError) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(object_->BeginRead(), "a group lock taken without the global lock");
  EXPECT_DEATH(object_->BeginWrite(), "a group lock taken without the global lock");
  // Either level of the global lock is enough.
  {
    TVekGlobalReadLockSection global;
    object_->BeginRead();
    object_->EndRead();
  }
  {
    TVekGlobalWriteLockSection global;
    object_->BeginWrite();
    object_->EndWrite();
  }
}

}  // namespace
