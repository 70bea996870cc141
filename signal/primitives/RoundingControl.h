// Rounding-mode brackets for the floating-point unit.
//
// The SIMD variants of the rounded narrowing conversions set the rounding
// field for the duration of a conversion and restore it afterwards:
//
//     const std::uint32_t saved = SseSetRoundingBits(kSseRoundTowardZero);
//     ... convert ...
//     if ((saved & kSseRoundingMask) != kSseRoundTowardZero) SseRestoreControlWord(saved);
//
// Only the rounding field changes; exception masks, precision control,
// flush-to-zero and denormals-are-zero are left as they are. The control
// registers belong to the calling thread, so the routines affect only it. The
// caller owns the bracket and must close it on every return path
// (NearestRoundingScope below does that). The portable conversions that
// round to nearest (double and float to int32, the 16-bit division) hold a
// NearestRoundingScope for one call and leave the caller's state as they found
// it.
#pragma once

#include <cstdint>

// x87 control word: rounding field and its values.
inline constexpr std::uint32_t kFpuRoundingMask = 0x0C00;
inline constexpr std::uint32_t kFpuRoundNearest = 0x0000;
inline constexpr std::uint32_t kFpuRoundTowardZero = 0x0C00;

// MXCSR: rounding field and its values.
inline constexpr std::uint32_t kSseRoundingMask = 0x6000;
inline constexpr std::uint32_t kSseRoundNearest = 0x0000;
inline constexpr std::uint32_t kSseRoundDown = 0x2000;
inline constexpr std::uint32_t kSseRoundUp = 0x4000;
inline constexpr std::uint32_t kSseRoundTowardZero = 0x6000;

// Reads the x87 control word; when (word & mask) differs from value, loads
// (word & ~mask) | value. Only the low 16 bits of value and mask reach the
// control word; value must lie inside mask. Returns the previous control word
// (low 16 bits).
std::uint32_t FpuSetControlBits(std::uint32_t value, std::uint32_t mask);

// Loads the low 16 bits of `saved` as the x87 control word.
void FpuRestoreControlWord(std::uint32_t saved);

// Reads MXCSR; when (MXCSR & kSseRoundingMask) differs from value, loads
// (MXCSR & ~kSseRoundingMask) | value. value is one of the kSseRound*
// constants. Returns the previous MXCSR.
std::uint32_t SseSetRoundingBits(std::uint32_t value);

// Loads `saved` as MXCSR.
void SseRestoreControlWord(std::uint32_t saved);

// Sets the MXCSR rounding field to round to nearest for its lifetime (when
// `active`) and puts the caller's setting back afterwards, so conversions
// round the same way whatever the caller's mode. Only the rounding field
// changes. Lives on one thread, like MXCSR itself.
//
// An out-of-line call alone does not fence arithmetic: without
// -frounding-math the compiler may evaluate floating-point operations under
// the default rounding at compile time, or move them across the set and
// restore calls. Every unit that makes a scope is therefore built with
// -frounding-math (see signal/primitives/CMakeLists.txt); GCC announces the
// flag with __ROUNDING_MATH__, and a unit built without it gets a compile
// error where it makes a scope.
#if defined(__GNUC__) && !defined(__clang__) && !defined(__ROUNDING_MATH__)
#define KESTRUNE_NEEDS_ROUNDING_MATH \
  [[deprecated("build the unit that makes a NearestRoundingScope with -frounding-math")]]
#else
#define KESTRUNE_NEEDS_ROUNDING_MATH
#endif
class KESTRUNE_NEEDS_ROUNDING_MATH NearestRoundingScope {
 public:
  explicit NearestRoundingScope(bool active)
      : active_(active), saved_(active ? SseSetRoundingBits(kSseRoundNearest) : 0) {}
  ~NearestRoundingScope() {
    if (active_ && (saved_ & kSseRoundingMask) != kSseRoundNearest) {
      SseRestoreControlWord(saved_);
    }
  }
  NearestRoundingScope(const NearestRoundingScope&) = delete;
  NearestRoundingScope& operator=(const NearestRoundingScope&) = delete;

 private:
  bool active_;
  std::uint32_t saved_;
};
