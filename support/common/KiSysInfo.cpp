#include "support/common/KiSysInfo.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/win/Libraries.h"

namespace {

TKiSystemInfo info;

}  // namespace

const TKiSystemInfo& KiSystemInfo() {
  return info;
}

uint32_t KiProcessorFamily(const char* cpuinfo) {
  const char* line = std::strstr(cpuinfo, "cpu family");
  if (line == nullptr)
    return 0;
  const char* colon = std::strchr(line, ':');
  if (colon == nullptr)
    return 0;
  return static_cast<uint32_t>(std::strtoul(colon + 1, nullptr, 10));
}

void StartKiSysInfo() {
  info = TKiSystemInfo{};
  const long page_size = sysconf(_SC_PAGESIZE);
  info.PageSize = page_size > 0 ? static_cast<uint32_t>(page_size) : 0;
  // Address-space reservations are made in steps of 64 KiB, as the shared
  // page's search expects.
  info.AllocationGranularity = 65536;
  std::ifstream cpuinfo("/proc/cpuinfo");
  std::stringstream text;
  text << cpuinfo.rdbuf();
  info.ProcessorLevel = KiProcessorFamily(text.str().c_str());
  int major = 0;
  int minor = 0;
  if (GetSystemVersion(major, minor)) {
    // A recognised platform would set IsWinNT and one version flag here;
    // the query never succeeds on this system.
  }
}
