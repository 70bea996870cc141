#include "signal/primitives/RoundingControl.h"

#include <gtest/gtest.h>
#include <xmmintrin.h>

namespace {

// Saves and restores both control registers around each test.
class RoundingControlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    savedFpu_ = FpuSetControlBits(0, 0);
    savedSse_ = _mm_getcsr();
  }
  void TearDown() override {
    FpuRestoreControlWord(savedFpu_);
    SseRestoreControlWord(savedSse_);
  }
  std::uint32_t savedFpu_ = 0;
  std::uint32_t savedSse_ = 0;
};

TEST_F(RoundingControlTest, FpuBracketChangesOnlyTheRoundingField) {
  const std::uint32_t start = FpuSetControlBits(kFpuRoundTowardZero, kFpuRoundingMask);
  const std::uint32_t truncating = FpuSetControlBits(kFpuRoundNearest, kFpuRoundingMask);
  EXPECT_EQ(truncating & kFpuRoundingMask, kFpuRoundTowardZero);
  EXPECT_EQ(truncating & ~kFpuRoundingMask & 0xFFFF, start & ~kFpuRoundingMask & 0xFFFF);
  const std::uint32_t nearest = FpuSetControlBits(0, 0);
  EXPECT_EQ(nearest & kFpuRoundingMask, kFpuRoundNearest);
  FpuRestoreControlWord(truncating);
  EXPECT_EQ(FpuSetControlBits(0, 0), truncating);
}

TEST_F(RoundingControlTest, SseBracketLeavesAMatchingModeAlone) {
  const std::uint32_t before = SseSetRoundingBits(kSseRoundNearest);
  const std::uint32_t unchanged = SseSetRoundingBits(kSseRoundNearest);
  EXPECT_EQ(unchanged & kSseRoundingMask, kSseRoundNearest);
  const std::uint32_t previous = SseSetRoundingBits(kSseRoundTowardZero);
  EXPECT_EQ(previous, unchanged);
  // Conversions now truncate.
  volatile float x = 2.75f;
  EXPECT_EQ(_mm_cvtss_si32(_mm_set_ss(x)), 2);
  SseRestoreControlWord(previous);
  EXPECT_EQ(_mm_cvtss_si32(_mm_set_ss(x)), 3);
  // Everything but the rounding field and the sticky exception flags (the
  // conversions above raise the inexact flag) is as before.
  constexpr std::uint32_t kFlags = 0x3F;
  EXPECT_EQ(SseSetRoundingBits(kSseRoundNearest) & ~(kSseRoundingMask | kFlags),
            before & ~(kSseRoundingMask | kFlags));
}

}  // namespace
