#include "signal/primitives/PrimitiveDispatch.h"

const char* PrimitiveStatusName(PrimitiveStatus status) {
  switch (status) {
    case StatusOk:
      return "StatusOk";
    case StatusNullPointer:
      return "StatusNullPointer";
    case StatusBadLength:
      return "StatusBadLength";
    case StatusBadStep:
      return "StatusBadStep";
    case StatusNegativeMagnitude:
      return "StatusNegativeMagnitude";
    case StatusZeroDivisor:
      return "StatusZeroDivisor";
    case StatusNoMemory:
      return "StatusNoMemory";
    case StatusZeroFeedbackTap:
      return "StatusZeroFeedbackTap";
    case StatusBadFftOrder:
      return "StatusBadFftOrder";
    case StatusBadFftFlag:
      return "StatusBadFftFlag";
    case StatusBadObjectId:
      return "StatusBadObjectId";
    case StatusNegativeIirOrder:
      return "StatusNegativeIirOrder";
  }
  return "unknown status";
}

namespace {

// Nothing in the program writes it; only tests do, through
// SetCpuTypeCodeForTesting.
std::atomic<std::int32_t> cpuTypeCode{0};

// What the processor offers, asked once. The variants are x86-64 code: on
// another architecture no letter is supported and every primitive runs its
// portable variant.
bool ProcessorHas(PrimitiveVariant variant) {
#if defined(__x86_64__)
  // x87, MMX, SSE and SSE2 belong to every x86-64 processor.
  static const bool hasSse3 = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("sse3") != 0;
  }();
  switch (variant) {
    case PrimitiveVariant::Portable:
    case PrimitiveVariant::A:
    case PrimitiveVariant::B:
      return true;
    case PrimitiveVariant::C:
      return hasSse3;
  }
  return false;
#else
  return variant == PrimitiveVariant::Portable;
#endif
}

// Test overrides, one per letter: 0 asks the processor, 1 says yes, 2 says no.
std::atomic<std::uint8_t> supportOverride[4] = {0, 0, 0, 0};

}  // namespace

std::int32_t GetCpuTypeCode() {
  return cpuTypeCode.load(std::memory_order_relaxed);
}

void SetCpuTypeCodeForTesting(std::int32_t code) {
  cpuTypeCode.store(code, std::memory_order_relaxed);
}

bool CpuSupportsVariant(PrimitiveVariant variant) {
  switch (supportOverride[static_cast<int>(variant)].load(std::memory_order_relaxed)) {
    case 1:
      return true;
    case 2:
      return false;
    default:
      return ProcessorHas(variant);
  }
}

void SetCpuSupportForTesting(PrimitiveVariant variant, bool supported) {
  if (variant != PrimitiveVariant::Portable) {
    supportOverride[static_cast<int>(variant)].store(supported ? 1 : 2, std::memory_order_relaxed);
  }
}

void ResetCpuSupportForTesting() {
  for (auto& entry : supportOverride) {
    entry.store(0, std::memory_order_relaxed);
  }
}
