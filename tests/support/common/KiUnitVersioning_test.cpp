// The unit version registry shared by two modules of one process: this test
// program and a module loaded at run time with its own copy of the unit.
#include "support/common/KiUnitVersioning.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/personality.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <ostream>
#include <string>
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

// The main thread's stack beside the registry's page. The kernel lets the
// stack grow down to its top less RLIMIT_STACK, and only while 256 pages
// below it stay unmapped; a page placed there stops the growth for good.
// With address randomisation off the stack's top is always the highest user
// address, the same on every run.

constexpr uintptr_t kMiB = uintptr_t{1} << 20;
constexpr size_t kFrameBytes = 16 * 1024;
constexpr uintptr_t kDiveBytes = 4 * kMiB;

// The top of the main thread's stack, from its "[stack]" line in
// /proc/self/maps; 0 without one.
uintptr_t MainStackTop() {
  FILE* maps = std::fopen("/proc/self/maps", "r");
  if (maps == nullptr)
    return 0;
  uintptr_t top = 0;
  char line[512];
  while (top == 0 && std::fgets(line, sizeof line, maps) != nullptr) {
    uintptr_t start = 0;
    uintptr_t end = 0;
    if (std::strstr(line, "[stack]") != nullptr &&
        std::sscanf(line, "%" SCNxPTR "-%" SCNxPTR, &start, &end) == 2)
      top = end;
  }
  std::fclose(maps);
  return top;
}

// Uses `frames` frames of kFrameBytes on the stack, each writing every byte
// of its block and reading it back after the deeper call returns, so that
// the compiler keeps every frame. Not instrumented, so that the blocks lie
// on the thread's own stack. Returns the deepest block's address, 0 when a
// block lost its contents.
__attribute__((noinline, no_sanitize_address)) uintptr_t Dive(int frames) {
  volatile char block[kFrameBytes];
  for (size_t i = kFrameBytes; i-- > 0;)
    block[i] = static_cast<char>(frames);
  uintptr_t deepest = reinterpret_cast<uintptr_t>(&block[0]);
  if (frames > 1)
    deepest = Dive(frames - 1);
  for (size_t i = 0; i < kFrameBytes; ++i) {
    if (block[i] != static_cast<char>(frames))
      return 0;
  }
  return deepest;
}

// Whether the page at `address` overlaps the stack's reach [lowest, top).
bool InStackReach(uintptr_t address, uintptr_t lowest, uintptr_t top) {
  return address < top && address + PageSize() > lowest;
}

// The child's work: starts the registry through `entry`, checks the page and
// every candidate against the stack's reach, then uses kDiveBytes of stack.
// Exits 0 when all of it held; else prints what failed, at once, and exits
// 1 (a stack that cannot grow ends it by SIGSEGV).
[[noreturn]] void StartThenUseDeepStack(void (*entry)()) {
  bool held = true;
  auto fail = [&held](const char* text) {
    std::fputs(text, stderr);
    std::fflush(stderr);
    held = false;
  };
  if ((personality(0xffffffff) & ADDR_NO_RANDOMIZE) == 0)
    fail("address randomisation is on\n");
  entry();
  const uintptr_t page = kestrune::detail::UnitVersioningPageAddress();
  if (page == 0)
    fail("no shared page was found or made\n");
  const uintptr_t top = MainStackTop();
  rlimit limit{};
  if (top == 0 || getrlimit(RLIMIT_STACK, &limit) != 0) {
    fail("the main stack's top or limit is unknown\n");
  } else if (limit.rlim_cur != RLIM_INFINITY) {
    const uintptr_t reach = static_cast<uintptr_t>(limit.rlim_cur) + 256 * PageSize();
    const uintptr_t lowest = top > reach ? top - reach : 0;
    std::vector<uintptr_t> pages{page};
    for (int i = 0; i < kestrune::detail::kUnitVersioningCandidates; ++i)
      pages.push_back(kestrune::detail::UnitVersioningCandidate(i));
    for (size_t i = 0; i < pages.size(); ++i) {
      if (pages[i] != 0 && InStackReach(pages[i], lowest, top)) {
        char text[160];
        std::snprintf(text, sizeof text,
                      "%s %#" PRIxPTR " lies in the stack's reach %#" PRIxPTR "-%#" PRIxPTR "\n",
                      i == 0 ? "the page" : "a candidate", pages[i], lowest, top);
        fail(text);
      }
    }
  }
  const uintptr_t deepest = Dive(static_cast<int>(kDiveBytes / kFrameBytes));
  if (deepest == 0 || top - deepest < kDiveBytes)
    fail("the dive did not use 4 MiB of the main stack\n");
  StopUnitVersioning();
  _exit(held ? 0 : 1);
}

struct StackCase {
  const char* name;
  void (*entry)();  // the first call into the registry
  rlim_t stackLimit;
};

void PrintTo(const StackCase& c, std::ostream* out) {
  *out << c.name;
}

// Puts the stack's limit and the persona back when the test ends.
struct ProcessSettings {
  rlimit stackLimit{};
  int persona = -1;
  ~ProcessSettings() {
    if (persona != -1)
      personality(static_cast<unsigned long>(persona));
    setrlimit(RLIMIT_STACK, &stackLimit);
  }
};

class UnitVersioningMainStackTest : public ::testing::TestWithParam<StackCase> {};

// Every entry that finds the page first, under limits small, large and
// unlimited, in a child re-run with randomisation off and the case's limit.
TEST_P(UnitVersioningMainStackTest, TheMainStackStillGrowsFourMiBAfterTheRegistryStarts) {
  const StackCase& c = GetParam();
  rlimit limit{};
  ASSERT_EQ(getrlimit(RLIMIT_STACK, &limit), 0);
  if (limit.rlim_max != RLIM_INFINITY &&
      (c.stackLimit == RLIM_INFINITY || limit.rlim_max < c.stackLimit))
    GTEST_SKIP() << "the stack's hard limit is below this case's";
  ProcessSettings saved{limit, personality(0xffffffff)};
  ASSERT_NE(saved.persona, -1) << std::strerror(errno);
  limit.rlim_cur = c.stackLimit;
  ASSERT_EQ(setrlimit(RLIMIT_STACK, &limit), 0) << std::strerror(errno);
  ASSERT_NE(personality(static_cast<unsigned long>(saved.persona) | ADDR_NO_RANDOMIZE), -1)
      << std::strerror(errno);
  // The child is a fresh run of this program (the persona and the limit
  // hold from its exec on), not a copy of this one's address space.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(StartThenUseDeepStack(c.entry), ::testing::ExitedWithCode(0), "");
}

void RegisterFirst() {
  RegisterVersionRecord(KiModuleInstance(), &kTestVersion);
}
void GetFirst() {
  GetUnitVersioning();
}
void UnregisterFirst() {
  UnregisterModuleVersions(KiModuleInstance());
}

INSTANTIATE_TEST_SUITE_P(
    Entries, UnitVersioningMainStackTest,
    ::testing::Values(StackCase{"Start16MiB", &StartUnitVersioning, 16 * kMiB},
                      StackCase{"Start1GiB", &StartUnitVersioning, 1024 * kMiB},
                      StackCase{"StartUnlimited", &StartUnitVersioning, RLIM_INFINITY},
                      StackCase{"Register16MiB", &RegisterFirst, 16 * kMiB},
                      StackCase{"Get16MiB", &GetFirst, 16 * kMiB},
                      StackCase{"Unregister16MiB", &UnregisterFirst, 16 * kMiB}),
    [](const ::testing::TestParamInfo<StackCase>& info) { return std::string(info.param.name); });

}  // namespace
