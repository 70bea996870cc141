// Kernels of the processor-specific variants that the primitive harness
// cannot reach through every path: the cache-size decoding, the byte copies
// with a destination below an overlapping source, and the division's stated
// difference in set A.
#include <gtest/gtest.h>

#include <cstring>
#include <tuple>
#include <utility>
#include <vector>

#include "signal/primitives/MoskBasicDispatcher.h"
#include "signal/primitives/MoskBasicVariants.h"
#include "signal/primitives/PortableKernels.h"
#include "signal/primitives/kernels/VariantKernels.h"
#include "tests/signal/primitives/PrimitiveReference.h"

namespace {

constexpr std::int64_t kKiB = 1024;
constexpr std::int64_t kMiB = 1024 * kKiB;

struct CacheRow {
  const char* name;
  CpuidCacheWords words;
  bool perCore;
  std::int64_t expected;
};

CpuidCacheWords Words(bool vendor, std::uint32_t maxLeaf, std::uint32_t a, std::uint32_t b,
                      std::uint32_t c, std::uint32_t d, std::uint32_t leaf4 = 0) {
  CpuidCacheWords w;
  w.vendorMatches = vendor;
  w.maxLeaf = maxLeaf;
  w.leaf2[0] = a;
  w.leaf2[1] = b;
  w.leaf2[2] = c;
  w.leaf2[3] = d;
  w.leaf4Eax = leaf4;
  return w;
}

class DecodeCacheSizeTest : public ::testing::TestWithParam<CacheRow> {};

TEST_P(DecodeCacheSizeTest, FindsTheLargestListedDescriptor) {
  const CacheRow& row = GetParam();
  EXPECT_EQ(DecodeCacheSize(row.words, row.perCore), row.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Words, DecodeCacheSizeTest,
    ::testing::Values(
        CacheRow{"another_vendor", Words(false, 4, 0x00470001, 0, 0, 0), false, 0},
        CacheRow{"two_rounds", Words(true, 4, 0x00470002, 0, 0, 0), false, 0},
        CacheRow{"none_listed", Words(true, 4, 0x01020301, 0x04050607, 0, 0), false, 0},
        // The low byte of a word other than the first is a descriptor.
        CacheRow{"low_byte_of_another_word", Words(true, 2, 0x00000001, 0x00000042, 0, 0), false,
                 256 * kKiB},
        CacheRow{"first_table_row_wins", Words(true, 2, 0x42470001, 0x00000023, 0, 0), false,
                 8 * kMiB},
        CacheRow{"order_of_the_table", Words(true, 2, 0x00000001, 0x22440000, 0x7A, 0), false,
                 1 * kMiB},
        CacheRow{"bit_31_word_skipped", Words(true, 2, 0x00000001, 0x80000047, 0x0000003C, 0),
                 false, 256 * kKiB},
        CacheRow{"last_word_counts", Words(true, 2, 0x00000001, 0, 0, 0x00490000), false, 4 * kMiB},
        CacheRow{"per_core_divides", Words(true, 4, 0x00250001, 0, 0, 0, 3u << 26), true,
                 2 * kMiB / 4},
        CacheRow{"per_core_without_leaf_4", Words(true, 3, 0x00250001, 0, 0, 0, 3u << 26), true,
                 2 * kMiB},
        CacheRow{"not_per_core_keeps_the_size", Words(true, 4, 0x00250001, 0, 0, 0, 3u << 26),
                 false, 2 * kMiB}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CacheQueryTest, ForcedSizeIsAnsweredUntilReset) {
  ForceCacheSizeForTesting(12345);
  EXPECT_EQ(QueryCacheSize(true), 12345);
  EXPECT_EQ(QueryCacheSize(false), 12345);
  ForceCacheSizeForTesting(-1);
  EXPECT_GE(QueryCacheSize(false), 0);
}

// A destination below an overlapping source gets the source as it was, as
// an ascending byte-by-byte copy gives: every kernel, shifts from 1 byte to
// beyond a block, on each side of the size switches.
TEST(CopyKernelsTest, DestinationBelowAnOverlappingSource) {
  using Copy = void* (*)(const void*, void*, std::int64_t);
  struct Kernel {
    const char* name;
    Copy copy;
  };
  ForceCacheSizeForTesting(64 * kKiB);  // B and C stream their long copies
  for (const Kernel kernel :
       {Kernel{"A", &CopyBytesKernelA}, Kernel{"AMedium", &CopyBytesKernelAMedium},
        Kernel{"ALarge", &CopyBytesKernelALarge}, Kernel{"B", &CopyBytesKernelB},
        Kernel{"C", &CopyBytesKernelC}}) {
    for (const std::int64_t n : {std::int64_t{7}, std::int64_t{100}, std::int64_t{3000},
                                 std::int64_t{24000}, 600 * kKiB}) {
      for (const std::int64_t shift : {1, 3, 8, 15, 16, 17, 24, 64, 200}) {
        for (const int offset : {0, 5}) {
          std::vector<std::uint8_t> buffer(static_cast<std::size_t>(n + shift + 32));
          for (std::size_t i = 0; i < buffer.size(); ++i) {
            buffer[i] = static_cast<std::uint8_t>(i * 131 + (i >> 8));
          }
          std::vector<std::uint8_t> expected = buffer;
          std::uint8_t* dst = expected.data() + offset;
          for (std::int64_t i = 0; i < n; ++i) {
            dst[i] = dst[i + shift];
          }
          kernel.copy(buffer.data() + offset + shift, buffer.data() + offset, n);
          ASSERT_EQ(buffer, expected) << kernel.name << " n " << n << " shift " << shift;
        }
      }
    }
  }
  ForceCacheSizeForTesting(-1);
}

// Set A rounds q + 32768 to single precision: 16384 / 32767 (exact quotient
// 0.500015...) becomes 0.5 and rounds to even, 0; the portable division
// gives 1. A zero dividend with a scale beyond the single range gives 0.
TEST(DivisionSetATest, StatedDifferenceAndZeroDividend) {
  struct Case {
    std::int16_t n, d;
    std::int32_t sf;
    std::int16_t setA, portable;
  };
  for (const Case c :
       {Case{16384, 32767, 0, 0, 1}, Case{0, 7, -128, 0, 0}, Case{0, -7, -300, 0, 0},
        Case{3, 7, -200, 32767, 32767}, Case{7, 2, 0, 4, 4}, Case{5, 0, 3, 32767, 32767}}) {
    const std::int16_t divisor = c.d;
    std::int16_t a = c.n, p = c.n;
    const PrimitiveStatus statusA = RoiDivInt16ScaledA(&divisor, 2, &a, 2, &a, 2, 1, 1, c.sf);
    const PrimitiveStatus statusP = RoiDivInt16Scaled(&divisor, 2, &p, 2, &p, 2, 1, 1, c.sf);
    EXPECT_EQ(a, c.setA) << c.n << "/" << c.d << " sf " << c.sf;
    EXPECT_EQ(p, c.portable) << c.n << "/" << c.d << " sf " << c.sf;
    EXPECT_EQ(statusA, statusP);
  }
}

// Sets B and C divide int32 in double precision: with sf = -30, a quotient
// that lies just below an odd integer plus one half rounds to that tie in
// double and then to the even integer above, where the exact rounding gives
// the integer below. The dividends are solved for: 2^31 * a = -g (mod b)
// puts a * 2^30 / b at g / (2 b) below a tie for odd g.
TEST(DivisionSetsBCTest, DoubleRoundingTurnsANearTieIntoATie) {
  using primitives_test::Int128;
  const std::int64_t b = 1999999973;
  const std::int32_t sf = -30;
  // The inverse of 2^31 modulo the odd b, by the extended Euclid steps.
  std::int64_t r0 = b, r1 = (std::int64_t{1} << 31) % b, t0 = 0, t1 = 1;
  while (r1 != 0) {
    const std::int64_t q = r0 / r1;
    std::tie(r0, r1) = std::pair{r1, r0 - q * r1};
    std::tie(t0, t1) = std::pair{t1, t0 - q * t1};
  }
  const std::int64_t inverse = ((t0 % b) + b) % b;
  int checked = 0;
  for (std::int64_t g = 1; g <= 200 && checked < 3; g += 2) {
    const auto a64 = static_cast<std::int64_t>((Int128{b - g} * inverse) % b);
    if (a64 > INT32_MAX) {
      continue;
    }
    const auto a = static_cast<std::int32_t>(a64);
    const Int128 floor = primitives_test::FloorDiv(Int128{a} << 30, b);
    if (floor % 2 == 0) {
      continue;
    }
    const auto divisor = static_cast<std::int32_t>(b);
    std::int32_t exact = 0;
    std::int32_t variant = 0;
    ASSERT_EQ(DivInt32ScaledKernel(&divisor, &a, &exact, 1, sf), StatusOk);
    ASSERT_EQ(DivInt32ScaledKernelSse2(&divisor, &a, &variant, 1, sf), 0);
    EXPECT_EQ(exact, static_cast<std::int32_t>(floor)) << a;
    EXPECT_EQ(variant, static_cast<std::int32_t>(floor) + 1) << a;
    ++checked;
  }
  EXPECT_EQ(checked, 3);
}

}  // namespace
