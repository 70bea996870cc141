// Process-wide system facts, filled at the unit's start-up: the allocation
// granularity and page size, the processor's family, and which system
// version runs. Here no system version of the original platform is ever
// recognised: the platform's version query answers "not available", so
// every version flag stays false and the platform is not of the NT family.
//
// Threads: filled on the main thread at start-up; read from any thread
// afterwards.
#pragma once

#include <array>
#include <cstdint>

// The system versions the facts can tell apart.
enum TKiSystemVersion {
  kiWin95,
  kiWin95OSR2,
  kiWin98,
  kiWin98SE,
  kiWinME,
  kiWinNT3,
  kiWinNT4,
  kiWin2000,
  kiWinXP,
  kiWin2003,
  kiWinXP64,
  kiWin2003R2,
  kiWinVista,
  kiWinServer2008,
  kiWin7,
  kiWinServer2008R2,
};
inline constexpr int kKiSystemVersionCount = 16;

struct TKiSystemInfo {
  uint32_t AllocationGranularity = 0;
  uint32_t PageSize = 0;
  // The processor's family (0 when unknown).
  uint32_t ProcessorLevel = 0;
  bool IsWinNT = false;
  // The file version of the system's kernel library on the other family
  // (0: not read).
  uint32_t KernelFileVersionMS = 0;
  uint32_t KernelFileVersionLS = 0;
  std::array<bool, kKiSystemVersionCount> Versions{};
};

// The facts (all zero before the unit's start-up).
const TKiSystemInfo& KiSystemInfo();

// The processor family from the text of /proc/cpuinfo ("cpu family : n");
// 0 when absent.
uint32_t KiProcessorFamily(const char* cpuinfo);

void StartKiSysInfo();
