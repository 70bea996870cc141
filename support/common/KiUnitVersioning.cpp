#include "support/common/KiUnitVersioning.h"

#include <dlfcn.h>
#include <sys/auxv.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>

namespace {

constexpr uint32_t kCheckXor1 = 0x23456789;
constexpr uint32_t kMagic1 = 0xABCDEF01;
constexpr uint32_t kCheckXor2 = 0x10FEDCBA;
constexpr uint32_t kMagic2 = 0x98765432;
constexpr char kPageName[] = "UnitVersioning";
constexpr uintptr_t kCandidateStep = 65536;
// How far below its top the main thread's stack can ever reach: far more
// than any stack limit in use (8 MiB by default). It is fixed rather than
// read from RLIMIT_STACK, because setrlimit can change that limit while the
// process runs and every module, whenever it starts, must compute the same
// candidates. Under a larger or unlimited limit the main thread keeps this
// much stack.
constexpr uintptr_t kStackReach = uintptr_t{64} << 30;
// The gap the kernel keeps free below a growing stack (256 pages of 4 KiB
// unless set at boot): any mapping inside it stops the stack's growth.
constexpr uintptr_t kStackGuardGap = uintptr_t{1} << 20;

struct alignas(8) SharedPageHeader {
  uint32_t check1;
  uint32_t magic1;
  uint8_t nameLength;
  char name[255];
  uint32_t referenceCount;
  uint32_t check2;
  uint32_t magic2;
};
static_assert(sizeof(SharedPageHeader) == 280, "the shared page's header is 280 bytes");

struct SharedPage {
  SharedPageHeader header;
  TUnitVersioning* slot;
};

const TUnitVersionInfo kUnitVersioningVersion = {"$URL: support/common/KiUnitVersioning.cpp $",
                                                 "$Revision: 1948 $",
                                                 "$Date: 2026-11-02 10:14:05 +0100 $",
                                                 "support/common",
                                                 "",
                                                 nullptr};

// This module's state. Main thread only.
SharedPage* page = nullptr;
bool page_searched = false;
TUnitVersioning* registry = nullptr;  // the one in use: owned, or another module's
std::unique_ptr<TUnitVersioning> owned_registry;
int live_registries = 0;

uint32_t ProcessId() {
  return static_cast<uint32_t>(getpid());
}

bool HeaderIsOurs(const SharedPageHeader& header) {
  return header.check1 == (ProcessId() ^ kCheckXor1) && header.magic1 == kMagic1 &&
         header.check2 == (ProcessId() ^ kCheckXor2) && header.magic2 == kMagic2 &&
         header.nameLength == sizeof kPageName - 1 &&
         std::memcmp(header.name, kPageName, sizeof kPageName - 1) == 0;
}

// Whether the mapping holding `address` (from /proc/self/maps) is readable
// and writable for at least `bytes` bytes from there.
bool MappingIsReadWrite(uintptr_t address, size_t bytes) {
  FILE* maps = std::fopen("/proc/self/maps", "r");
  if (maps == nullptr)
    return false;
  bool found = false;
  char line[512];
  while (!found && std::fgets(line, sizeof line, maps) != nullptr) {
    uintptr_t start = 0;
    uintptr_t end = 0;
    char perms[5] = {};
    if (std::sscanf(line, "%" SCNxPTR "-%" SCNxPTR " %4s", &start, &end, perms) != 3)
      continue;
    if (address < start || address >= end)
      continue;
    found = end - address >= bytes && perms[0] == 'r' && perms[1] == 'w';
    break;
  }
  std::fclose(maps);
  return found;
}

// The highest address the shared page may use: one below a 64 KiB boundary
// that lies the stack's reach and guard gap below the main thread's stack.
// The kernel copies the program's file name to the top of the new stack at
// exec and keeps its address in the auxiliary vector, so that address (just
// below the stack's top) is the same in every module for the whole life of
// the process. 0 when it is unknown, or the stack too low for 21 candidates.
uintptr_t HighestAddress() {
  const uintptr_t near_stack_top = getauxval(AT_EXECFN);
  const uintptr_t below_stack = kStackReach + kStackGuardGap;
  if (near_stack_top <
      below_stack + kCandidateStep * (kestrune::detail::kUnitVersioningCandidates + 1))
    return 0;
  return (near_stack_top - below_stack) / kCandidateStep * kCandidateStep - 1;
}

SharedPage* FindOrCreatePage() {
  const long page_size = sysconf(_SC_PAGESIZE);
  if (page_size <= 0 || HighestAddress() == 0)
    return nullptr;
  for (int i = 0; i < kestrune::detail::kUnitVersioningCandidates; ++i) {
    const uintptr_t candidate = kestrune::detail::UnitVersioningCandidate(i);
    void* mapped =
        mmap(reinterpret_cast<void*>(candidate), static_cast<size_t>(page_size),
             PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED_NOREPLACE, -1, 0);
    if (mapped == reinterpret_cast<void*>(candidate)) {
      auto* fresh = static_cast<SharedPage*>(mapped);
      SharedPageHeader& header = fresh->header;
      header.check1 = ProcessId() ^ kCheckXor1;
      header.magic1 = kMagic1;
      header.nameLength = sizeof kPageName - 1;
      std::memcpy(header.name, kPageName, sizeof kPageName - 1);
      header.referenceCount = 1;
      header.check2 = ProcessId() ^ kCheckXor2;
      header.magic2 = kMagic2;
      fresh->slot = nullptr;
      return fresh;
    }
    if (mapped != MAP_FAILED) {
      // Mapped elsewhere: the address was taken as a hint only.
      munmap(mapped, static_cast<size_t>(page_size));
      continue;
    }
    if (!MappingIsReadWrite(candidate, sizeof(SharedPage)))
      continue;
    auto* existing = reinterpret_cast<SharedPage*>(candidate);
    if (!HeaderIsOurs(existing->header))
      continue;
    ++existing->header.referenceCount;
    return existing;
  }
  return nullptr;
}

TUnitVersioning* MakeOwnedRegistry() {
  owned_registry = std::make_unique<TUnitVersioning>();
  registry = owned_registry.get();
  return registry;
}

}  // namespace

int TUnitVersioningModule::IndexOfInfo(const TUnitVersionInfo* info) const {
  for (size_t i = 0; i < items_.size(); ++i) {
    if (items_[i]->Info() == info)
      return static_cast<int>(i);
  }
  return -1;
}

void TUnitVersioningModule::Add(const TUnitVersionInfo* info) {
  if (IndexOfInfo(info) < 0)
    items_.push_back(std::make_unique<TUnitVersion>(info));
}

TUnitVersioning::TUnitVersioning() {
  ++live_registries;
}

TUnitVersioning::~TUnitVersioning() {
  --live_registries;
}

const TUnitVersioningModule* TUnitVersioning::FindModule(TKiModuleInstance instance) const {
  for (const auto& module : modules_) {
    if (module->Instance() == instance)
      return module.get();
  }
  return nullptr;
}

void TUnitVersioning::RegisterModule(TKiModuleInstance instance, const TUnitVersionInfo* info) {
  auto found = std::find_if(modules_.begin(), modules_.end(),
                            [instance](const auto& m) { return m->Instance() == instance; });
  if (found == modules_.end()) {
    modules_.push_back(std::make_unique<TUnitVersioningModule>(instance));
    found = modules_.end() - 1;
  }
  (*found)->Add(info);
}

void TUnitVersioning::UnregisterModule(TKiModuleInstance instance) {
  for (size_t i = modules_.size(); i-- > 0;) {
    if (modules_[i]->Instance() == instance) {
      modules_.erase(modules_.begin() + static_cast<std::ptrdiff_t>(i));
      break;
    }
  }
  for (const auto& provider : providers_)
    provider->ReleaseModuleVersions(instance);
}

void TUnitVersioning::AddProvider(std::unique_ptr<TCustomUnitVersioningProvider> provider) {
  providers_.push_back(std::move(provider));
}

TUnitVersioning* GetUnitVersioning() {
  if (!page_searched) {
    page_searched = true;
    page = FindOrCreatePage();
    if (page == nullptr)
      return MakeOwnedRegistry();  // a private registry
    if (page->slot != nullptr && page->header.referenceCount != 1) {
      registry = page->slot;
    } else {
      page->slot = MakeOwnedRegistry();
    }
    return registry;
  }
  if (page != nullptr) {
    if (page->slot == nullptr)
      page->slot = MakeOwnedRegistry();  // the creator has ended
    else
      registry = page->slot;
  }
  return registry;
}

void RegisterVersionRecord(TKiModuleInstance Instance, const TUnitVersionInfo* Info) {
  GetUnitVersioning()->RegisterModule(Instance, Info);
}

void UnregisterModuleVersions(TKiModuleInstance Instance) {
  GetUnitVersioning()->UnregisterModule(Instance);
}

TKiModuleInstance KiModuleInstance() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&KiModuleInstance), &info) == 0)
    return 0;
  return reinterpret_cast<TKiModuleInstance>(info.dli_fbase);
}

void StartUnitVersioning() {
  RegisterVersionRecord(KiModuleInstance(), &kUnitVersioningVersion);
}

void StopUnitVersioning() {
  if (page_searched || registry != nullptr)
    UnregisterModuleVersions(KiModuleInstance());
  if (page != nullptr) {
    const uint32_t remaining = --page->header.referenceCount;
    if (owned_registry != nullptr && page->slot == owned_registry.get() && remaining > 0)
      page->slot = nullptr;
    if (remaining == 0)
      munmap(page, static_cast<size_t>(sysconf(_SC_PAGESIZE)));
    page = nullptr;
  }
  owned_registry.reset();
  registry = nullptr;
  page_searched = false;
}

namespace kestrune::detail {

uintptr_t UnitVersioningCandidate(int index) {
  const uintptr_t highest = HighestAddress();
  if (highest == 0)
    return 0;
  const uintptr_t page_size = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
  const uintptr_t address =
      (highest / kCandidateStep - static_cast<uintptr_t>(index)) * kCandidateStep;
  return address / page_size * page_size;
}

int LiveUnitVersioningCount() {
  return live_registries;
}

bool UnitVersioningHasSharedPage() {
  return page != nullptr;
}

uintptr_t UnitVersioningPageAddress() {
  return reinterpret_cast<uintptr_t>(page);
}

}  // namespace kestrune::detail
