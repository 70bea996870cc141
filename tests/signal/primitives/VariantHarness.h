// Shared pieces of the processor-specific variant tests: guarded buffers at
// any byte offset, the floating-point control state around a call, the
// layouts (lengths and offsets) every row runs over, and pools of values.
#pragma once

#include <gtest/gtest.h>
#include <xmmintrin.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "signal/primitives/PrimitiveDispatch.h"

namespace variants_test {

// Elements of T at a chosen byte offset from a 16-byte boundary, with guard
// bytes before and after them.
template <typename T>
class Guarded {
 public:
  static constexpr int kGuard = 32;
  static constexpr unsigned char kFill = 0xA5;

  Guarded(std::int64_t count, int offset)
      : count_(count),
        offset_(offset),
        raw_(static_cast<std::size_t>(count * sizeof(T) + 2 * kGuard + 32), kFill) {
    const auto base = reinterpret_cast<std::uintptr_t>(raw_.data());
    start_ = static_cast<std::size_t>(((base + kGuard + 15) & ~std::uintptr_t{15}) - base) + offset;
  }
  // A copy holds the same elements at the same offset from a 16-byte
  // boundary, with fresh guards.
  Guarded(const Guarded& other) : Guarded(other.count_, other.offset_) {
    std::memcpy(raw_.data() + start_, other.raw_.data() + other.start_, count_ * sizeof(T));
  }
  Guarded& operator=(const Guarded&) = delete;
  T* data() { return reinterpret_cast<T*>(raw_.data() + start_); }
  std::int64_t size() const { return count_; }
  T Get(std::int64_t i) const {
    T v;
    std::memcpy(&v, raw_.data() + start_ + i * sizeof(T), sizeof(T));
    return v;
  }
  void Set(std::int64_t i, T v) {
    std::memcpy(raw_.data() + start_ + i * sizeof(T), &v, sizeof(T));
  }
  // True when every byte outside the elements still holds the fill.
  bool GuardsIntact() const {
    for (std::size_t i = 0; i < raw_.size(); ++i) {
      const bool inside = i >= start_ && i < start_ + count_ * sizeof(T);
      if (!inside && raw_[i] != kFill) {
        return false;
      }
    }
    return true;
  }

 private:
  std::int64_t count_;
  int offset_;
  std::vector<unsigned char> raw_;
  std::size_t start_ = 0;
};

inline std::uint16_t X87ControlWord() {
  std::uint16_t cw;
  asm volatile("fnstcw %0" : "=m"(cw));
  return cw;
}

// True when every x87 register is tagged empty (no MMX state left behind).
inline bool X87TagWordEmpty() {
  std::uint32_t env[7];
  // fnstenv masks the exceptions; fldenv puts the stored state back.
  asm volatile("fnstenv %0\n\tfldenv %0" : "=m"(env));
  return (env[2] & 0xFFFF) == 0xFFFF;
}

constexpr std::uint32_t kMxcsrControlFields = 0xFFC0;  // bits 6-15
constexpr std::uint32_t kMxcsrDenormalsAreZero = 0x0040;

// Runs `call` and checks that the x87 control word and MXCSR's control
// fields come back as they were, and after a variant-A call that the x87
// tag word is empty. `denormalsAreZero` sets that bit beforehand (and
// clears it again afterwards).
template <typename Call>
void CallCheckingFpState(PrimitiveVariant letter, bool denormalsAreZero, Call call) {
  const std::uint32_t original = _mm_getcsr();
  if (denormalsAreZero) {
    _mm_setcsr(original | kMxcsrDenormalsAreZero);
  }
  const std::uint16_t cw = X87ControlWord();
  const std::uint32_t mxcsr = _mm_getcsr();
  call();
  EXPECT_EQ(X87ControlWord(), cw);
  EXPECT_EQ(_mm_getcsr() & kMxcsrControlFields, mxcsr & kMxcsrControlFields);
  if (letter == PrimitiveVariant::A) {
    EXPECT_TRUE(X87TagWordEmpty());
  }
  _mm_setcsr(original);
}

struct Layout {
  std::int32_t len;
  int srcOffset;
  int dstOffset;
};

// Every length 0 to 80 and the extra lengths, each with the destination at
// every byte offset 0 to 15 (and the source at another offset); the extra
// lengths, which are long, at three offsets only.
inline std::vector<Layout> Layouts(std::vector<std::int32_t> extra) {
  std::vector<Layout> layouts;
  for (std::int32_t len = 0; len <= 80; ++len) {
    for (int d = 0; d < 16; ++d) {
      layouts.push_back({len, (d * 7 + len) % 16, d});
    }
  }
  for (const std::int32_t len : extra) {
    for (const int d : {0, 4, 9}) {
      layouts.push_back({len, (d + 8) % 16, d});
    }
  }
  return layouts;
}

inline std::vector<double> DoublePool(std::uint32_t seed) {
  constexpr double kInf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  std::vector<double> v = {0.0,
                           -0.0,
                           1.0,
                           -1.0,
                           0.5,
                           -0.5,
                           1.5,
                           2.5,
                           -2.5,
                           3.5,
                           -3.5,
                           2.4999999999999996,
                           2147483646.5,
                           2147483647.0,
                           2147483647.5,
                           2147483648.0,
                           -2147483647.5,
                           -2147483648.0,
                           -2147483648.5,
                           -2147483649.0,
                           std::numeric_limits<double>::denorm_min(),
                           -std::numeric_limits<double>::denorm_min(),
                           2.2250738585072009e-308,
                           kInf,
                           -kInf,
                           nan,
                           -nan,
                           std::numeric_limits<double>::max(),
                           -std::numeric_limits<double>::max(),
                           3.4028234663852886e+38,
                           3.4028235677973366e+38,
                           -3.4028235677973366e+38,
                           1e300,
                           0.1};
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> wide(-3e9, 3e9);
  std::uniform_real_distribution<double> narrow(-100.0, 100.0);
  for (int i = 0; i < 40; ++i) {
    v.push_back(wide(rng));
    v.push_back(narrow(rng));
  }
  return v;
}

inline std::vector<float> FloatPool(std::uint32_t seed) {
  const float inf = std::numeric_limits<float>::infinity();
  const float nan = std::numeric_limits<float>::quiet_NaN();
  std::vector<float> v = {0.0f,
                          -0.0f,
                          1.0f,
                          -1.0f,
                          0.5f,
                          2.5f,
                          -2.5f,
                          3.5f,
                          -3.5f,
                          1.5f,
                          2147483520.0f,
                          2147483648.0f,
                          -2147483648.0f,
                          -2147483904.0f,
                          8388608.5f,
                          std::numeric_limits<float>::denorm_min(),
                          -std::numeric_limits<float>::denorm_min(),
                          std::numeric_limits<float>::min(),
                          inf,
                          -inf,
                          nan,
                          -nan,
                          std::numeric_limits<float>::max(),
                          -std::numeric_limits<float>::max()};
  std::mt19937 rng(seed);
  std::uniform_real_distribution<float> wide(-3e9f, 3e9f);
  std::uniform_real_distribution<float> narrow(-100.0f, 100.0f);
  for (int i = 0; i < 40; ++i) {
    v.push_back(wide(rng));
    v.push_back(narrow(rng));
  }
  return v;
}

// The bytes of a value, for bit-for-bit comparisons.
template <typename T>
std::array<std::uint8_t, sizeof(T)> Bits(T v) {
  std::array<std::uint8_t, sizeof(T)> b;
  std::memcpy(b.data(), &v, sizeof(T));
  return b;
}

}  // namespace variants_test
