#include "signal/primitives/LibCDispatcher.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numeric>

namespace {

TEST(LibCMathTest, SineAndCosine) {
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(LibCSin(0.0), 0.0);
  EXPECT_EQ(LibCCos(0.0), 1.0);
  EXPECT_EQ(LibCSin(1.0e19), 0.0);  // beyond 2^63
  EXPECT_EQ(LibCCos(-1.0e19), 0.0);
  EXPECT_EQ(LibCSin(9223372036854775808.0), 0.0);  // exactly 2^63
  EXPECT_NE(LibCSin(9223372036854774784.0), 0.0);  // the double just below 2^63
  EXPECT_TRUE(std::isnan(LibCSin(inf)));
  EXPECT_TRUE(std::isnan(LibCCos(std::numeric_limits<double>::quiet_NaN())));
  for (const double x : {0.5, 1.0, 2.0, 3.0, 100.0, -7.25}) {
    EXPECT_NEAR(LibCSin(x), std::sin(x), 1e-16 * 4) << x;
    EXPECT_NEAR(LibCCos(x), std::cos(x), 1e-16 * 4) << x;
  }
}

TEST(LibCMathTest, SquareRootIsCorrectlyRounded) {
  EXPECT_EQ(LibCSqrt(4.0), 2.0);
  EXPECT_EQ(LibCSqrt(2.0), std::sqrt(2.0));
  EXPECT_TRUE(std::isnan(LibCSqrt(-1.0)));
}

class ByteKernelTest : public ::testing::Test {
 protected:
  static constexpr std::uint8_t kGuard = 0xEE;
  void SetUp() override { buffer_.fill(kGuard); }
  std::array<std::uint8_t, 256> buffer_{};
};

TEST_F(ByteKernelTest, ZeroWritesExactlyTheBytesAskedForAtAnyAlignment) {
  alignas(32) static std::uint8_t area[128];
  for (const int offset : {0, 1, 2, 3}) {
    std::fill(std::begin(area), std::end(area), kGuard);
    std::uint8_t* dst = area + 4 + offset;  // an address of the form 4k + offset
    EXPECT_EQ(ZeroBytesKernel(dst, 70), dst);
    for (int i = 0; i < 128; ++i) {
      const bool inside = i >= 4 + offset && i < 4 + offset + 70;
      EXPECT_EQ(area[i], inside ? 0 : kGuard) << "offset " << offset << " byte " << i;
    }
  }
  for (const std::int64_t n : {0, -1}) {
    ZeroBytesKernel(buffer_.data(), n);
    EXPECT_EQ(buffer_[0], kGuard);
  }
}

TEST_F(ByteKernelTest, CopyHandlesDestinationBelowAnOverlappingSource) {
  std::iota(buffer_.begin(), buffer_.end(), 0);
  // Shift left by 4 bytes inside one buffer, 100 bytes: 32-byte blocks plus a tail.
  EXPECT_EQ(CopyBytesKernel(buffer_.data() + 4, buffer_.data(), 100), buffer_.data());
  for (int i = 0; i < 100; ++i) {
    EXPECT_EQ(buffer_[i], i + 4) << i;
  }
  EXPECT_EQ(buffer_[100], 100);
  // Nothing for a count below 1.
  CopyBytesKernel(buffer_.data() + 10, buffer_.data(), 0);
  EXPECT_EQ(buffer_[0], 4);
}

TEST_F(ByteKernelTest, CopyOfOddLengthToOddAddressCopiesExactly) {
  std::array<std::uint8_t, 37> src{};
  std::iota(src.begin(), src.end(), 1);
  CopyBytesKernel(src.data(), buffer_.data() + 3, 37);
  EXPECT_EQ(buffer_[2], kGuard);
  for (int i = 0; i < 37; ++i) {
    EXPECT_EQ(buffer_[3 + i], i + 1);
  }
  EXPECT_EQ(buffer_[40], kGuard);
}

struct CheckedRow {
  const char* name;
  bool nullSrc;
  bool nullDst;
  std::int32_t count;
  PrimitiveStatus copy;
  PrimitiveStatus zeroInt32;
  PrimitiveStatus zeroBytes;
};

class CheckedWrapperTest : public ::testing::TestWithParam<CheckedRow> {};

TEST_P(CheckedWrapperTest, ChecksPointersThenCountAndWritesNothingOnError) {
  const CheckedRow& row = GetParam();
  std::int32_t src[4] = {1, 2, 3, 4};
  std::int32_t dst[5] = {9, 9, 9, 9, 9};
  const std::int32_t* s = row.nullSrc ? nullptr : src;
  std::int32_t* d = row.nullDst ? nullptr : dst;
  EXPECT_EQ(CopyInt32Checked(s, d, row.count), row.copy);
  if (row.copy != StatusOk) {
    EXPECT_EQ(dst[0], 9);
  }
  EXPECT_EQ(ZeroInt32Checked(d, row.count), row.zeroInt32);
  EXPECT_EQ(ZeroBytesChecked(d, row.count), row.zeroBytes);
  EXPECT_EQ(dst[4], 9);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, CheckedWrapperTest,
    ::testing::Values(CheckedRow{"all_valid", false, false, 4, StatusOk, StatusOk, StatusOk},
                      CheckedRow{"null_src_before_count", true, false, 0, StatusNullPointer,
                                 StatusBadLength, StatusBadLength},
                      CheckedRow{"null_dst_before_count", false, true, -1, StatusNullPointer,
                                 StatusNullPointer, StatusNullPointer},
                      CheckedRow{"zero_count", false, false, 0, StatusBadLength, StatusBadLength,
                                 StatusBadLength}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
