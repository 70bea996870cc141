// The unit version registry shared by two modules of one process: this test
// program and a module loaded at run time with its own copy of the unit.
#include "support/common/KiUnitVersioning.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace {

const TUnitVersionInfo kTestVersion = {"$URL: tests/support/common/KiUnitVersioning_test.cpp $",
                                       "$Revision: 1900 $",
                                       "$Date: 2026-10-25 09:00:00 +0200 $",
                                       "tests/support/common",
                                       "",
                                       nullptr};

size_t PageSize() {
  return static_cast<size_t>(sysconf(_SC_PAGESIZE));
}

bool IsMapped(uintptr_t address) {
  return msync(reinterpret_cast<void*>(address), PageSize(), MS_ASYNC) == 0 || errno != ENOMEM;
}

// The second module, loaded for one test.
class Module {
 public:
  Module() {
    handle_ = dlopen(KESTRUNE_VERSIONING_MODULE, RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr)
      ADD_FAILURE() << dlerror();
  }
  ~Module() {
    if (handle_ != nullptr)
      dlclose(handle_);
  }
  template <class F>
  F* Entry(const char* name) {
    return reinterpret_cast<F*>(dlsym(handle_, name));
  }
  void Start() { Entry<void()>("module_start")(); }
  void Stop() { Entry<void()>("module_stop")(); }
  void RegisterAgain() { Entry<void()>("module_register_again")(); }
  void* Registry() { return Entry<void*()>("module_registry")(); }
  uintptr_t Instance() { return Entry<uintptr_t()>("module_instance")(); }
  int LiveRegistries() { return Entry<int()>("module_live_registries")(); }
  bool Loaded() const { return handle_ != nullptr; }

 private:
  void* handle_ = nullptr;
};

class UnitVersioningTest : public ::testing::Test {
 protected:
  void TearDown() override {
    for (uintptr_t address : occupied_)
      munmap(reinterpret_cast<void*>(address), PageSize());
  }
  // Maps a read-only page without a header at every candidate address.
  void OccupyEveryCandidate() {
    for (int i = 0; i < kestrune::detail::kUnitVersioningCandidates; ++i) {
      const uintptr_t candidate = kestrune::detail::UnitVersioningCandidate(i);
      void* mapped = mmap(reinterpret_cast<void*>(candidate), PageSize(), PROT_READ,
                          MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED_NOREPLACE, -1, 0);
      if (mapped == reinterpret_cast<void*>(candidate))
        occupied_.push_back(candidate);
      else if (mapped != MAP_FAILED)
        munmap(mapped, PageSize());
    }
  }
  std::vector<uintptr_t> occupied_;
};

TEST_F(UnitVersioningTest, TwoModulesShareOneRegistryWhichItsCreatorFreesLast) {
  StartUnitVersioning();
  ASSERT_TRUE(kestrune::detail::UnitVersioningHasSharedPage());
  const uintptr_t page = kestrune::detail::UnitVersioningPageAddress();
  // Which candidate the page took on this machine (0: the top one was free).
  for (int i = 0; i < kestrune::detail::kUnitVersioningCandidates; ++i) {
    if (kestrune::detail::UnitVersioningCandidate(i) == page)
      RecordProperty("candidate", i);
  }
  const TUnitVersioning* registry = GetUnitVersioning();
  {
    Module module;
    ASSERT_TRUE(module.Loaded());
    module.Start();
    EXPECT_EQ(module.Registry(), registry);
    EXPECT_EQ(module.LiveRegistries(), 0) << "the second module made no registry of its own";
    const TUnitVersioningModule* entry = registry->FindModule(module.Instance());
    ASSERT_NE(entry, nullptr) << "the second module's records are in the shared registry";
    EXPECT_EQ(entry->Count(), 2);  // its registry unit's record and its own
    EXPECT_NE(module.Instance(), KiModuleInstance());
    module.Stop();
    EXPECT_EQ(registry->FindModule(module.Instance()), nullptr);
  }
  EXPECT_TRUE(IsMapped(page)) << "the creator still holds the page";
  EXPECT_EQ(kestrune::detail::LiveUnitVersioningCount(), 1);
  StopUnitVersioning();
  EXPECT_EQ(kestrune::detail::LiveUnitVersioningCount(), 0) << "the creator freed the registry";
  EXPECT_FALSE(IsMapped(page)) << "the last holder unmapped the page";
}

TEST_F(UnitVersioningTest, WhenTheCreatorEndsFirstTheSurvivorMakesItsOwnAndEndsCleanly) {
  StartUnitVersioning();
  const uintptr_t page = kestrune::detail::UnitVersioningPageAddress();
  ASSERT_NE(page, 0u);
  Module module;
  ASSERT_TRUE(module.Loaded());
  module.Start();
  void* shared = module.Registry();
  EXPECT_EQ(shared, GetUnitVersioning());
  StopUnitVersioning();
  EXPECT_EQ(kestrune::detail::LiveUnitVersioningCount(), 0);
  EXPECT_TRUE(IsMapped(page)) << "the survivor still holds the page";
  // The slot was cleared: the survivor's next registration makes, stores and
  // owns a new registry.
  module.RegisterAgain();
  EXPECT_EQ(module.LiveRegistries(), 1);
  EXPECT_NE(module.Registry(), nullptr);
  module.Stop();
  EXPECT_EQ(module.LiveRegistries(), 0);
  EXPECT_FALSE(IsMapped(page));
}

TEST_F(UnitVersioningTest, ARecordRegisteredTwiceForOneModuleIsKeptOnce) {
  StartUnitVersioning();
  RegisterVersionRecord(KiModuleInstance(), &kTestVersion);
  RegisterVersionRecord(KiModuleInstance(), &kTestVersion);
  const TUnitVersioningModule* entry = GetUnitVersioning()->FindModule(KiModuleInstance());
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(entry->Count(), 2);  // the registry unit's own record and this one
  EXPECT_GE(entry->IndexOfInfo(&kTestVersion), 0);
  UnregisterModuleVersions(KiModuleInstance());
  EXPECT_EQ(GetUnitVersioning()->FindModule(KiModuleInstance()), nullptr);
  StopUnitVersioning();
}

TEST_F(UnitVersioningTest, WithEveryCandidateOccupiedEachModuleKeepsAPrivateRegistry) {
  OccupyEveryCandidate();
  StartUnitVersioning();
  EXPECT_FALSE(kestrune::detail::UnitVersioningHasSharedPage());
  Module module;
  ASSERT_TRUE(module.Loaded());
  module.Start();
  EXPECT_NE(module.Registry(), GetUnitVersioning());
  EXPECT_EQ(module.LiveRegistries(), 1);
  EXPECT_EQ(GetUnitVersioning()->FindModule(module.Instance()), nullptr);
  module.Stop();
  EXPECT_EQ(module.LiveRegistries(), 0);
  StopUnitVersioning();
  EXPECT_EQ(kestrune::detail::LiveUnitVersioningCount(), 0);
}

}  // namespace
