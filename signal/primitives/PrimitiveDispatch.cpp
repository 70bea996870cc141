#include "signal/primitives/PrimitiveDispatch.h"

namespace {

// Nothing in the program writes it; only tests do, through
// SetCpuTypeCodeForTesting.
std::atomic<std::int32_t> cpuTypeCode{0};

}  // namespace

std::int32_t GetCpuTypeCode() {
  return cpuTypeCode.load(std::memory_order_relaxed);
}

void SetCpuTypeCodeForTesting(std::int32_t code) {
  cpuTypeCode.store(code, std::memory_order_relaxed);
}
