// Lock groups across threads, and a push on one thread while another
// relinks.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "Vek/VekPins.h"
#include "tests/Vek/VekTestFixtures.h"

namespace {

using namespace std::chrono_literals;
using namespace vektest;

class VekLockGroupsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    StartFramework();
    for (auto*& o : objects_)
      o = Create<TVekObject>();
  }
  void TearDown() override {
    for (TVekObject* o : objects_)
      FreeObject(o);
  }
  IVekLockObject* LockOf(TVekObject* o) { return o->LockObject().get(); }
  bool SameGroup(TVekObject* a, TVekObject* b) {
    return a->LockObject()->GetObject() == b->LockObject()->GetObject();
  }
  // Another thread takes a read section on `o` and leaves it. The thread is
  // always joined: one left running past the test would enter a freed object
  // (a held lock shows as a hang, which the test run's timeout reports).
  bool EnterableByAnotherThread(TVekObject* o) {
    bool got = false;
    std::thread t([&] {
      TVekReadLockSection s(o);
      got = true;
    });
    t.join();
    return got;
  }
  TVekObject* objects_[3] = {};
};

TEST_F(VekLockGroupsTest, LinkedObjectsShareOneLockAndSplitApart) {
  auto [a, b, c] = objects_;
  a->AddLockLink(b);
  b->AddLockLink(c);
  EXPECT_TRUE(SameGroup(a, b));
  EXPECT_TRUE(SameGroup(a, c));
  IVekLockObject* before = LockOf(a);
  a->AddLockLink(b);  // again: nothing
  EXPECT_EQ(LockOf(a), before);
  b->RemoveLockLink(c);
  EXPECT_TRUE(SameGroup(a, b));
  EXPECT_FALSE(SameGroup(b, c));
  a->AddLockLink(c);
  FreeObject(objects_[0]);  // a goes: b and c are no longer joined
  objects_[0] = nullptr;
  EXPECT_FALSE(SameGroup(b, c));
  EXPECT_TRUE(b->LockLinks().empty() && c->LockLinkedBy().empty());
}

TEST_F(VekLockGroupsTest, WriteSectionOnOneMemberBlocksTheGroupAcrossThreads) {
  auto [a, b, c] = objects_;
  a->AddLockLink(b);
  std::atomic<bool> release{false};
  std::atomic<bool> holding{false};
  std::thread holder([&] {
    TVekWriteLockSection s(a);
    holding = true;
    while (!release)
      std::this_thread::sleep_for(1ms);
  });
  while (!holding)
    std::this_thread::sleep_for(1ms);
  std::atomic<bool> got{false};
  std::thread reader([&] {
    TVekReadLockSection s(b);
    got = true;
  });
  std::this_thread::sleep_for(30ms);
  EXPECT_FALSE(got) << "a member of the group was entered while another was held";
  {
    TVekReadLockSection free(c);  // not in the group: not blocked
  }
  release = true;
  holder.join();
  reader.join();
  EXPECT_TRUE(got);
}

// The thread that holds the global lock for writing takes group locks
// without waiting, since no other thread can hold one then. A lock object
// taken directly, without the global lock, breaks that rule: the writer still
// waits for it instead of entering a held lock.
TEST_F(VekLockGroupsTest, TheGlobalWriterWaitsForAGroupLockHeldWithoutTheGlobalLock) {
  IPtr<IVekLockObject> lock = objects_[0]->LockObject();
  std::atomic<bool> release{false};
  std::atomic<bool> holding{false};
  std::thread holder([&] {
    lock->BeginWrite();
    holding = true;
    while (!release)
      std::this_thread::sleep_for(1ms);
    lock->EndWrite();
  });
  while (!holding)
    std::this_thread::sleep_for(1ms);
  std::atomic<bool> got{false};
  std::thread writer([&] {
    TVekGlobalWriteLockSection global;
    lock->BeginWrite();
    got = true;
    lock->EndWrite();
  });
  std::this_thread::sleep_for(30ms);
  EXPECT_FALSE(got) << "the global writer entered a group lock another thread held";
  release = true;
  holder.join();
  writer.join();
  EXPECT_TRUE(got);
}

TEST_F(VekLockGroupsTest, LevelsHeldWhileLinkingMoveToTheNewLock) {
  auto [a, b, c] = objects_;
  {
    TVekWriteLockSection held(a);
    a->AddLockLink(b);
    EXPECT_TRUE(static_cast<TVekLockObject*>(LockOf(b)->GetObject())->HeldByCurrentThread());
  }
  EXPECT_FALSE(static_cast<TVekLockObject*>(LockOf(a)->GetObject())->HeldByCurrentThread());
  EXPECT_TRUE(EnterableByAnotherThread(b));
  (void)c;
}

// An object that frees itself from inside one of its own sections goes only
// when the section is released.
class SelfFreeing : public TVekObject {
  KESTRUNE_CLASS(SelfFreeing, TVekObject)
  explicit SelfFreeing(bool* freed) : freed_(freed) {}
  ~SelfFreeing() override { *freed_ = true; }
  void Dissolve() {
    TVekWriteLockSection own(this);
    FreeWhenUnlocked();
    EXPECT_FALSE(*freed_);
  }

 private:
  bool* freed_;
};

TEST_F(VekLockGroupsTest, SelfFreeingObjectWaitsForItsSections) {
  bool freed = false;
  auto* o = Create<SelfFreeing>(&freed);
  {
    TVekReadLockSection outer(o);
    o->Dissolve();
    EXPECT_FALSE(freed);
  }
  EXPECT_TRUE(freed);
}

// One thread pushes through a chain of pass-through components while
// another keeps relinking the chain's tail. Run under ThreadSanitizer.
TEST(VekPushStressTest, PushWhileAnotherThreadRelinks) {
  StartFramework();
  auto* form = Create<TTestForm>(nullptr);
  form->SetName("fmStress");
  TTestComponent* chain[4];
  for (int i = 0; i < 4; ++i) {
    chain[i] = Create<TTestComponent>(form);
    chain[i]->SetName("C" + std::to_string(i));
    chain[i]->MakePassThrough();
    if (i > 0) {
      ASSERT_TRUE(chain[i]->InputPin->Connect(chain[i - 1]->OutputPin));
    }
  }
  auto* tailA = Create<TTestComponent>(form);
  auto* tailB = Create<TTestComponent>(form);
  std::atomic<int> received{0};
  for (TTestComponent* t : {tailA, tailB})
    CountArrivals(t->InputPin, received);
  TTestPusher pusher(chain[0]->OutputPin);
  // Relink at least 300 times, and until the pusher has got through often
  // enough to have met both tails (a loaded machine may starve it at first).
  // Pushes are counted from the second relink on: from then on one tail at
  // least is always linked (a push made before it reaches no tail).
  int failed_links = 0;
  int pushes_linked = 0;
  for (int i = 0; i < 300 || (pusher.Pushes() - pushes_linked < 200 && i < 200000); ++i) {
    TTestComponent* tail = i % 2 ? tailA : tailB;
    if (!tail->InputPin->Connect(chain[3]->OutputPin))
      ++failed_links;
    if (i % 3 == 0)
      tail->InputPin->Connect(nullptr);
    if (i == 1)
      pushes_linked = pusher.Pushes();
    std::this_thread::yield();
  }
  pusher.Stop();
  EXPECT_EQ(failed_links, 0);
  EXPECT_GT(received.load(), 0);
  EXPECT_EQ(GlobalLock->SentinelValue(), TVekGlobalLockObject::SentinelFree);
  form->Free();
}

}  // namespace
