// A second module for the version registry's test: its own copy of the
// registry unit (symbols hidden), and a few entries the test calls.
#include "support/common/KiUnitVersioning.h"

#define MODULE_ENTRY extern "C" __attribute__((visibility("default")))

namespace {

const TUnitVersionInfo kModuleVersion = {"$URL: tests/support/common/VersioningModule.cpp $",
                                         "$Revision: 1800 $",
                                         "$Date: 2026-10-20 12:00:00 +0200 $",
                                         "tests/support/common",
                                         "",
                                         nullptr};

}  // namespace

MODULE_ENTRY void module_start() {
  StartUnitVersioning();
  RegisterVersionRecord(KiModuleInstance(), &kModuleVersion);
}

MODULE_ENTRY void module_stop() {
  StopUnitVersioning();
}

MODULE_ENTRY void module_register_again() {
  RegisterVersionRecord(KiModuleInstance(), &kModuleVersion);
}

// The registry this module's copy uses now.
MODULE_ENTRY void* module_registry() {
  return GetUnitVersioning();
}

MODULE_ENTRY uintptr_t module_instance() {
  return KiModuleInstance();
}

MODULE_ENTRY int module_live_registries() {
  return kestrune::detail::LiveUnitVersioningCount();
}
