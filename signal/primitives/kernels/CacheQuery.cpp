// The cache-size query of the set-B and set-C copy, zero and fill kernels.
#include <cpuid.h>

#include <atomic>

#include "signal/primitives/kernels/VariantKernels.h"

namespace {

// The leaf-2 descriptors the query knows, largest cache first, with their
// sizes in bytes.
struct Descriptor {
  std::uint8_t code;
  std::int64_t bytes;
};
constexpr std::int64_t kKiB = 1024;
constexpr std::int64_t kMiB = 1024 * kKiB;
constexpr Descriptor kDescriptors[] = {
    {0x47, 8 * kMiB},   {0x49, 4 * kMiB},   {0x29, 4 * kMiB},   {0x46, 4 * kMiB},
    {0x25, 2 * kMiB},   {0x7D, 2 * kMiB},   {0x85, 2 * kMiB},   {0x45, 2 * kMiB},
    {0x23, 1 * kMiB},   {0x87, 1 * kMiB},   {0x7C, 1 * kMiB},   {0x78, 1 * kMiB},
    {0x84, 1 * kMiB},   {0x44, 1 * kMiB},   {0x22, 512 * kKiB}, {0x7B, 512 * kKiB},
    {0x86, 512 * kKiB}, {0x7F, 512 * kKiB}, {0x83, 512 * kKiB}, {0x43, 512 * kKiB},
    {0x7A, 256 * kKiB}, {0x82, 256 * kKiB}, {0x3C, 256 * kKiB}, {0x42, 256 * kKiB},
};

// The vendor identification (leaf 0: the second, fourth and third words) the
// descriptor table is written for. Left empty: no processor matches, so the
// kernels never stream unless a test forces a size. Which vendor's leaf-2
// codes to trust is a build decision.
constexpr char kExpectedVendor[13] = "";

std::atomic<std::int64_t> forcedSize{-1};

}  // namespace

std::int64_t DecodeCacheSize(const CpuidCacheWords& words, bool perCore) {
  if (!words.vendorMatches || (words.leaf2[0] & 0xFF) != 1) {
    return 0;
  }
  bool present[256] = {};
  for (int w = 0; w < 4; ++w) {
    const std::uint32_t word = words.leaf2[w];
    if ((word & 0x80000000u) != 0 || word == 0) {
      continue;
    }
    // The first word's lowest byte is the round count, not a descriptor.
    for (int b = (w == 0 ? 1 : 0); b < 4; ++b) {
      present[(word >> (8 * b)) & 0xFF] = true;
    }
  }
  for (const Descriptor& row : kDescriptors) {
    if (present[row.code]) {
      const std::int64_t cores = perCore && words.maxLeaf >= 4 ? 1 + (words.leaf4Eax >> 26) : 1;
      return row.bytes / cores;
    }
  }
  return 0;
}

std::int64_t QueryCacheSize(bool perCore) {
  if (const std::int64_t forced = forcedSize.load(std::memory_order_relaxed); forced >= 0) {
    return forced;
  }
  CpuidCacheWords words;
  unsigned a = 0, b = 0, c = 0, d = 0;
  if (__get_cpuid(0, &a, &b, &c, &d) == 0) {
    return 0;
  }
  char vendor[13] = {};
  __builtin_memcpy(vendor, &b, 4);
  __builtin_memcpy(vendor + 4, &d, 4);
  __builtin_memcpy(vendor + 8, &c, 4);
  words.vendorMatches =
      kExpectedVendor[0] != '\0' && __builtin_strcmp(vendor, kExpectedVendor) == 0;
  words.maxLeaf = a;
  if (!words.vendorMatches || a < 2) {
    return 0;
  }
  __cpuid(2, words.leaf2[0], words.leaf2[1], words.leaf2[2], words.leaf2[3]);
  if (a >= 4) {
    __cpuid_count(4, 0, words.leaf4Eax, b, c, d);
  }
  return DecodeCacheSize(words, perCore);
}

void ForceCacheSizeForTesting(std::int64_t bytes) {
  forcedSize.store(bytes < 0 ? -1 : bytes, std::memory_order_relaxed);
}
