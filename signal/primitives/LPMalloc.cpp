#include "signal/primitives/LPMalloc.h"

#include <cstdlib>
#include <cstring>

namespace {

constexpr std::uintptr_t kBlockAlignment = 32;
// Room for the raw pointer below the block plus the worst-case alignment gap:
// the block starts at most 8 + 31 bytes above raw.
constexpr std::int64_t kRawPointerBytes = sizeof(void*);
constexpr std::int64_t kOverhead = kRawPointerBytes + kBlockAlignment;

static_assert(sizeof(void*) == 8, "the aligned-block layout keeps a 64-bit raw pointer");

}  // namespace

void* ProcessHeapAlloc(std::int64_t size) {
  if (size < 0) {
    return nullptr;
  }
  // malloc(0) may return null; a zero-byte request still gets a block so that
  // null always means failure.
  return std::malloc(size == 0 ? 1 : static_cast<std::size_t>(size));
}

bool ProcessHeapFree(void* block) {
  std::free(block);
  return true;
}

void* AlignedAlloc(std::int32_t n) {
  if (n < 1) {
    return nullptr;
  }
  auto* raw = static_cast<unsigned char*>(ProcessHeapAlloc(std::int64_t{n} + kOverhead));
  if (raw == nullptr) {
    return nullptr;
  }
  const std::uintptr_t lowest = reinterpret_cast<std::uintptr_t>(raw) + kRawPointerBytes;
  const std::uintptr_t offset = ((lowest + kBlockAlignment - 1) & ~(kBlockAlignment - 1)) -
                                reinterpret_cast<std::uintptr_t>(raw);
  unsigned char* block = raw + offset;
  std::memcpy(block - kRawPointerBytes, &raw, sizeof raw);
  return block;
}

void AlignedFree(void* block) {
  if (block == nullptr) {
    return;
  }
  void* raw = nullptr;
  std::memcpy(&raw, static_cast<unsigned char*>(block) - kRawPointerBytes, sizeof raw);
  ProcessHeapFree(raw);
}
