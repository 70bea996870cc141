// The unit version registry: every support unit registers a version record
// (its revision and date) at its start-up and unregisters its module's
// records at its shutdown. All modules of one process (the executable and
// any shared library holding its own copy of this unit) share one registry
// object, found through a small page of memory at a well-known address.
//
// The shared page: candidate addresses count down, in steps of 64 KiB, from
// 64 GiB and the kernel's 1 MiB guard gap below the top of the main thread's
// stack as the kernel set it at exec (21 candidates): beyond the reach of any
// stack limit in use, so that the page never stops the stack's growth, and
// the same addresses in every module at any time. At each, one
// page is mapped read-write without replacing any mapping; a page that lands
// elsewhere (a kernel that takes the address as a hint) is unmapped and the
// next candidate tried. An occupied candidate is taken when its mapping
// (read from /proc/self/maps before anything is read there) is read-write,
// holds the 280-byte header, and the header carries both magics, both check
// values for this process and the name "UnitVersioning"; its reference count
// is then raised. Without a page the module keeps a private registry.
//
// The header (280 bytes, aligned to 8): check value (process id XOR
// 0x23456789), magic 0xABCDEF01, the name as a length-prefixed string of up
// to 255 characters, the reference count, a second check value (process id
// XOR 0x10FEDCBA), the magic 0x98765432; the slot holding the registry's
// address follows it.
//
// Ownership: the module that stores a registry in the slot owns it. At its
// end (StopUnitVersioning) a module releases the page (the last one unmaps
// it); an owner clears the slot when other modules still hold the page, and
// frees its registry. A module whose next call finds the slot empty (its
// creator has ended) creates, stores and owns a new one.
//
// This unit stands on the C++ library and the system only, so that a shared
// library can hold a private copy of it (hidden symbols).
//
// Threads: main thread, during unit start-up and shutdown.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

// A module's instance: its load address.
using TKiModuleInstance = uintptr_t;

// One unit's version record (a constant of the unit).
struct TUnitVersionInfo {
  const char* RCSfile;   // "$URL: <repository location> $"
  const char* Revision;  // "$Revision: <n> $"
  const char* Date;      // "$Date: <date> $"
  const char* LogPath;   // the unit's library folder
  const char* Extra;
  void* Data;
};

// One registered record.
class TUnitVersion {
 public:
  explicit TUnitVersion(const TUnitVersionInfo* info) : info_(info) {}
  const TUnitVersionInfo* Info() const { return info_; }

 private:
  const TUnitVersionInfo* info_;
};

// The records of one module.
class TUnitVersioningModule {
 public:
  explicit TUnitVersioningModule(TKiModuleInstance instance) : instance_(instance) {}
  TKiModuleInstance Instance() const { return instance_; }
  int Count() const { return static_cast<int>(items_.size()); }
  const TUnitVersion& Items(int index) const { return *items_.at(static_cast<size_t>(index)); }
  // -1 when the record is not registered here.
  int IndexOfInfo(const TUnitVersionInfo* info) const;
  // Adds the record unless the same record is there already.
  void Add(const TUnitVersionInfo* info);

 private:
  TKiModuleInstance instance_;
  std::vector<std::unique_ptr<TUnitVersion>> items_;
};

// Told when a module's records are released. None is registered in this
// program.
class TCustomUnitVersioningProvider {
 public:
  virtual ~TCustomUnitVersioningProvider() = default;
  virtual void ReleaseModuleVersions(TKiModuleInstance instance) = 0;
};

class TUnitVersioning {
 public:
  TUnitVersioning();
  ~TUnitVersioning();
  TUnitVersioning(const TUnitVersioning&) = delete;
  TUnitVersioning& operator=(const TUnitVersioning&) = delete;

  int ModuleCount() const { return static_cast<int>(modules_.size()); }
  const TUnitVersioningModule& Modules(int index) const {
    return *modules_.at(static_cast<size_t>(index));
  }
  // The module with this instance, or null.
  const TUnitVersioningModule* FindModule(TKiModuleInstance instance) const;
  // Finds (or appends) the module and adds the record to it.
  void RegisterModule(TKiModuleInstance instance, const TUnitVersionInfo* info);
  // Removes and frees the module (the last match), then tells every provider.
  void UnregisterModule(TKiModuleInstance instance);
  // Takes ownership.
  void AddProvider(std::unique_ptr<TCustomUnitVersioningProvider> provider);

 private:
  std::vector<std::unique_ptr<TUnitVersioningModule>> modules_;
  std::vector<std::unique_ptr<TCustomUnitVersioningProvider>> providers_;
};

// The registry (finding the shared page on first use; see the file
// comment). Never null.
TUnitVersioning* GetUnitVersioning();
void RegisterVersionRecord(TKiModuleInstance Instance, const TUnitVersionInfo* Info);
void UnregisterModuleVersions(TKiModuleInstance Instance);

// This module's instance.
TKiModuleInstance KiModuleInstance();

// The registry unit's start-up (registers its own record first) and
// shutdown (unregisters this module's records, releases the page and, when
// owned, the registry). A later start-up begins afresh.
void StartUnitVersioning();
void StopUnitVersioning();

namespace kestrune::detail {
// For tests: the candidate address i (0 <= i < 21) of the shared page; 0
// when the main thread's stack cannot be placed (no shared page then).
uintptr_t UnitVersioningCandidate(int index);
inline constexpr int kUnitVersioningCandidates = 21;
// For tests: how many registries this module's copy has made and not yet
// freed; whether this module found or made a shared page.
int LiveUnitVersioningCount();
bool UnitVersioningHasSharedPage();
// For tests: the shared page's address (0 without one).
uintptr_t UnitVersioningPageAddress();
}  // namespace kestrune::detail
