#include "signal/primitives/RoundingControl.h"

#if defined(__x86_64__) || defined(__i386__)
#include <xmmintrin.h>
#else
#error "the rounding-control routines need an x86 processor"
#endif

namespace {

std::uint16_t ReadFpuControlWord() {
  std::uint16_t word = 0;
  asm volatile("fnstcw %0" : "=m"(word));
  return word;
}

void LoadFpuControlWord(std::uint16_t word) {
  asm volatile("fldcw %0" : : "m"(word));
}

}  // namespace

std::uint32_t FpuSetControlBits(std::uint32_t value, std::uint32_t mask) {
  const std::uint16_t word = ReadFpuControlWord();
  const auto mask16 = static_cast<std::uint16_t>(mask);
  const auto value16 = static_cast<std::uint16_t>(value);
  if ((word & mask16) != value16) {
    LoadFpuControlWord(static_cast<std::uint16_t>((word & ~mask16) | value16));
  }
  return word;
}

void FpuRestoreControlWord(std::uint32_t saved) {
  LoadFpuControlWord(static_cast<std::uint16_t>(saved));
}

std::uint32_t SseSetRoundingBits(std::uint32_t value) {
  const std::uint32_t csr = _mm_getcsr();
  if ((csr & kSseRoundingMask) != value) {
    _mm_setcsr((csr & ~kSseRoundingMask) | value);
  }
  return csr;
}

void SseRestoreControlWord(std::uint32_t saved) {
  _mm_setcsr(saved);
}
