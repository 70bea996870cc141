// IIR states and filtering: normalisation, the argument checks of create,
// filter and free, and the filter against the plain difference equation.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "signal/transforms/MoskDispatcher.h"
#include "signal/transforms/iir/IirState.h"

namespace {

// Owns a state made by IirCreateState.
class StateHolder {
 public:
  StateHolder(const std::vector<float>& taps, std::int32_t order, const float* delay = nullptr) {
    status_ = IirCreateState(&state_, taps.data(), order, delay);
  }
  ~StateHolder() {
    if (state_ != nullptr) {
      IirFreeState(state_);
    }
  }
  StateHolder(const StateHolder&) = delete;
  StateHolder& operator=(const StateHolder&) = delete;
  PrimitiveStatus status() const { return status_; }
  IirState* get() const { return state_; }

 private:
  IirState* state_ = nullptr;
  PrimitiveStatus status_ = StatusOk;
};

std::uint32_t Bits(float value) {
  std::uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

// A stable filter of the given order: random b, a0 = 2 and feedback taps
// whose magnitudes sum to less than a0 / 2, which keeps every pole inside
// the unit circle.
std::vector<float> StableTaps(std::int32_t order, std::uint32_t seed) {
  std::mt19937 generator(seed);
  std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
  std::vector<float> taps(static_cast<std::size_t>(2 * (order + 1)));
  for (std::int32_t k = 0; k <= order; ++k) {
    taps[k] = unit(generator);
  }
  taps[order + 1] = 2.0f;
  for (std::int32_t k = 1; k <= order; ++k) {
    taps[order + 1 + k] = unit(generator) * 0.9f / static_cast<float>(order);
  }
  return taps;
}

// y[n] = (sum of b_k x[n-k] - sum over k >= 1 of a_k y[n-k]) / a0, in long
// double, starting from rest.
std::vector<long double> DifferenceEquation(const std::vector<float>& taps, std::int32_t order,
                                            const std::vector<float>& x) {
  const long double a0 = taps[order + 1];
  std::vector<long double> y(x.size());
  for (std::size_t n = 0; n < x.size(); ++n) {
    long double sum = 0;
    for (std::int32_t k = 0; k <= order && static_cast<std::size_t>(k) <= n; ++k) {
      sum += static_cast<long double>(taps[k]) * x[n - k];
      if (k >= 1) {
        sum -= static_cast<long double>(taps[order + 1 + k]) * y[n - k];
      }
    }
    y[n] = sum / a0;
  }
  return y;
}

TEST(IirFilterTest, MatchesTheDifferenceEquation) {
  for (std::int32_t order = 0; order <= 6; ++order) {
    for (const std::int32_t len : {1, 2, 3, 8, 63, 256}) {
      SCOPED_TRACE(::testing::Message() << "order " << order << " len " << len);
      const std::vector<float> taps = StableTaps(order, 100u + static_cast<std::uint32_t>(order));
      std::mt19937 generator(static_cast<std::uint32_t>(len));
      std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
      std::vector<float> x(static_cast<std::size_t>(len));
      for (float& v : x) {
        v = unit(generator);
      }
      const std::vector<long double> expected = DifferenceEquation(taps, order, x);
      StateHolder state(taps, order);
      ASSERT_EQ(state.status(), StatusOk);
      std::vector<float> y = x;
      ASSERT_EQ(IirFilterFloatInPlace(y.data(), len, state.get()), StatusOk);
      // Taps and delay values are single precision: a few float ulps of the
      // signal's size.
      long double scale = 1;
      for (const long double v : expected) {
        scale = std::max(scale, std::fabs(v));
      }
      for (std::int32_t n = 0; n < len; ++n) {
        ASSERT_NEAR(y[n], static_cast<double>(expected[n]), 2e-6 * static_cast<double>(scale))
            << "sample " << n;
      }
    }
  }
}

// Calls carry the delay line: 8 samples in one call or in calls of 3 and 5
// agree to single-precision rounding (pairs restart at each call's start).
TEST(IirFilterTest, ConsecutiveCallsFilterOneSignal) {
  for (const std::int32_t order : {1, 2, 5}) {
    SCOPED_TRACE(order);
    const std::vector<float> taps = StableTaps(order, 7u);
    const std::vector<float> x = {0.5f, -1.0f, 0.25f, 0.75f, -0.5f, 1.0f, 0.125f, -0.25f};
    StateHolder whole(taps, order);
    StateHolder split(taps, order);
    std::vector<float> a = x;
    std::vector<float> b = x;
    ASSERT_EQ(IirFilterFloatInPlace(a.data(), 8, whole.get()), StatusOk);
    ASSERT_EQ(IirFilterFloatInPlace(b.data(), 3, split.get()), StatusOk);
    ASSERT_EQ(IirFilterFloatInPlace(b.data() + 3, 5, split.get()), StatusOk);
    for (std::size_t n = 0; n < x.size(); ++n) {
      EXPECT_NEAR(a[n], b[n], 1e-6) << "sample " << n;
    }
  }
}

// The DC remover's filter: b = (0, -1, 1), a = (-1, R, 0), R = 1 - 40 pi/fs.
// Normalised by a0 = -1 the stored taps are -0, 1, -1, -R, -0 (a zero tap
// times a negative reciprocal is a negative zero); a constant c comes out as
// 0, c, R c, R^2 c, ...
TEST(IirFilterTest, DcBlocker) {
  const float r = static_cast<float>(1.0L - 40.0L * 3.14159265358979323846L / 44100.0L);
  const std::vector<float> taps = {0.0f, -1.0f, 1.0f, -1.0f, r, 0.0f};
  StateHolder state(taps, 2);
  ASSERT_EQ(state.status(), StatusOk);
  const float* stored = state.get()->taps;
  EXPECT_EQ(Bits(stored[0]), Bits(-0.0f));
  EXPECT_EQ(stored[1], 1.0f);
  EXPECT_EQ(stored[2], -1.0f);
  EXPECT_EQ(stored[3], -r);
  EXPECT_EQ(Bits(stored[4]), Bits(-0.0f));
  for (std::int32_t k = 0; k <= 2; ++k) {
    EXPECT_EQ(Bits(state.get()->delayLine[k]), 0u);
  }

  const float c = 1000.0f;
  std::vector<float> block(9, c);
  ASSERT_EQ(IirFilterFloatInPlace(block.data(), 9, state.get()), StatusOk);
  EXPECT_EQ(block[0], 0.0f);
  long double expected = c;
  for (std::size_t n = 1; n < block.size(); ++n) {
    EXPECT_NEAR(block[n], static_cast<double>(expected), 1e-3) << "sample " << n;
    expected *= r;
  }
}

// The DC blocker over captured-like samples (integers with an offset) cut
// into calls of every length the order-2 path treats differently: a single
// sample, the two opening samples, blocks of four with and without a tail.
// Each call must hand over the delay line, and the inputs it still needs
// after overwriting them, so that the calls filter one signal.
TEST(IirFilterTest, DcBlockerCarriesItsStateAcrossCallsOfEveryLength) {
  const float r = static_cast<float>(1.0L - 40.0L * 3.14159265358979323846L / 44100.0L);
  const std::vector<float> taps = {0.0f, -1.0f, 1.0f, -1.0f, r, 0.0f};
  std::mt19937 generator(11);
  std::uniform_int_distribution<int> sample(-30000, 30000);
  std::vector<float> x(2000);
  for (float& v : x) {
    v = static_cast<float>(2000 + sample(generator) / 2);
  }
  const std::vector<long double> expected = DifferenceEquation(taps, 2, x);
  long double scale = 1;
  for (const long double v : expected) {
    scale = std::max(scale, std::fabs(v));
  }
  const std::int32_t lengths[] = {1, 2, 3, 4, 5, 6, 7, 9, 13, 64, 1, 1, 2, 1027};
  StateHolder state(taps, 2);
  ASSERT_EQ(state.status(), StatusOk);
  std::vector<float> y = x;
  std::size_t at = 0;
  for (std::size_t k = 0; at < y.size(); ++k) {
    const auto len = static_cast<std::int32_t>(std::min<std::size_t>(
        static_cast<std::size_t>(lengths[k % std::size(lengths)]), y.size() - at));
    ASSERT_EQ(IirFilterFloatInPlace(y.data() + at, len, state.get()), StatusOk);
    at += static_cast<std::size_t>(len);
  }
  double worst = 0;
  for (std::size_t n = 0; n < y.size(); ++n) {
    worst = std::max(worst, std::fabs(y[n] - static_cast<double>(expected[n])));
  }
  // Within a few single-precision steps of the exact filter: the delay line
  // is rounded to single only where a call ends.
  EXPECT_LE(worst, 4e-7 * static_cast<double>(scale));
}

TEST(IirFilterTest, OrderZeroScalesAndLeavesTheDelayLineAlone) {
  StateHolder state({3.0f, 2.0f}, 0);
  ASSERT_EQ(state.status(), StatusOk);
  EXPECT_EQ(state.get()->taps[0], 1.5f);
  std::vector<float> x = {1.0f, -2.0f, 0.5f};
  ASSERT_EQ(IirFilterFloatInPlace(x.data(), 3, state.get()), StatusOk);
  EXPECT_EQ(x, (std::vector<float>{1.5f, -3.0f, 0.75f}));
}

// Each tap is the caller's tap times 1/a0 kept in the extended format,
// rounded once: with a0 = 3 the stored tap is the float nearest to b / 3.
TEST(IirStateTest, NormalisesByTheReciprocalOfA0) {
  StateHolder state({1.0f, 2.0f, 3.0f, 0.75f}, 1);
  ASSERT_EQ(state.status(), StatusOk);
  EXPECT_EQ(state.get()->taps[0], static_cast<float>(1.0L / 3.0L));
  EXPECT_EQ(state.get()->taps[1], static_cast<float>(2.0L / 3.0L));
  EXPECT_EQ(state.get()->taps[2], 0.25f);
  EXPECT_EQ(state.get()->order, 1);
  EXPECT_EQ(state.get()->id, kIirDirectFormId);
  EXPECT_EQ(state.get()->ownsMemory, 1);
}

// A caller's delay line is copied bit for bit (NaN payloads and negative
// zeros too); only N values are read; d[N] starts at 0.
TEST(IirStateTest, CopiesTheCallersDelayLine) {
  float delay[4];
  const std::uint32_t nanBits = 0x7FC01234u;
  std::memcpy(&delay[0], &nanBits, sizeof nanBits);
  delay[1] = -0.0f;
  delay[2] = 2.5f;
  delay[3] = 99.0f;  // beyond the order: not read
  StateHolder state({1, 0, 0, 0, 1, 0, 0, 0}, 3, delay);
  ASSERT_EQ(state.status(), StatusOk);
  const float* d = state.get()->delayLine;
  EXPECT_EQ(Bits(d[0]), nanBits);
  EXPECT_EQ(Bits(d[1]), Bits(-0.0f));
  EXPECT_EQ(d[2], 2.5f);
  EXPECT_EQ(Bits(d[3]), 0u);
}

// Every area starts on a 16-byte boundary and ends inside the block.
TEST(IirStateTest, AreasAreAlignedAndInsideTheBlock) {
  for (std::int32_t order = 0; order <= 9; ++order) {
    SCOPED_TRACE(order);
    StateHolder state(StableTaps(order, 3u), order);
    ASSERT_EQ(state.status(), StatusOk);
    const auto base = reinterpret_cast<std::uintptr_t>(state.get());
    const auto taps = reinterpret_cast<std::uintptr_t>(state.get()->taps);
    const auto delay = reinterpret_cast<std::uintptr_t>(state.get()->delayLine);
    EXPECT_EQ(base % 16, 0u);
    EXPECT_EQ(taps % 16, 0u);
    EXPECT_EQ(delay % 16, 0u);
    EXPECT_GE(taps, base + sizeof(IirState));
    EXPECT_GE(delay, taps + (2 * order + 1) * sizeof(float));
    EXPECT_LE(delay + (order + 1) * sizeof(float),
              base + static_cast<std::uintptr_t>(IirStateSize(order)));
  }
}

TEST(IirStateTest, CreateChecksInOrderAndLeavesThePointerOnFailure) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const std::vector<float> good = {1, 1, 1, 1, 0.5f, 0.25f};
  struct Row {
    const char* name;
    bool nullTarget;
    bool nullTaps;
    std::vector<float> taps;
    std::int32_t order;
    PrimitiveStatus expected;
  };
  const std::vector<Row> rows = {
      {"NullTapsAndTarget", true, true, good, 2, StatusNullPointer},
      {"NullTaps", false, true, good, 2, StatusNullPointer},
      {"NullTarget", true, false, good, 2, StatusNullPointer},
      {"NegativeOrder", false, false, good, -1, StatusNegativeIirOrder},
      {"NullTapsBeforeNegativeOrder", false, true, good, -1, StatusNullPointer},
      // 12 N bytes and more do not fit the 31-bit block limit.
      {"StateTooLarge", false, false, good, 200000000, StatusNoMemory},
      {"ZeroA0", false, false, {1, 1, 1, 0.0f, 0.5f, 0.25f}, 2, StatusZeroFeedbackTap},
      {"NegativeZeroA0", false, false, {1, 1, 1, -0.0f, 0.5f, 0.25f}, 2, StatusZeroFeedbackTap},
      {"NaNA0", false, false, {1, 1, 1, nan, 0.5f, 0.25f}, 2, StatusZeroFeedbackTap},
  };
  for (const Row& row : rows) {
    auto* const sentinel = reinterpret_cast<IirState*>(std::uintptr_t{0x4321});
    IirState* state = sentinel;
    EXPECT_EQ(IirCreateState(row.nullTarget ? nullptr : &state,
                             row.nullTaps ? nullptr : row.taps.data(), row.order, nullptr),
              row.expected)
        << row.name;
    EXPECT_EQ(state, sentinel) << row.name;
  }
}

TEST(IirFilterTest, ArgumentChecksInOrder) {
  StateHolder state({1, 0, 0, 1, 0, 0}, 2);
  ASSERT_EQ(state.status(), StatusOk);
  IirState foreign = *state.get();
  foreign.id = 0x12345678;
  float samples[2] = {4.0f, 5.0f};
  struct Row {
    const char* name;
    float* data;
    std::int32_t len;
    IirState* state;
    PrimitiveStatus expected;
  };
  const Row rows[] = {
      {"NullStateBeforeLength", samples, 0, nullptr, StatusNullPointer},
      {"NullData", nullptr, 2, state.get(), StatusNullPointer},
      {"LengthBeforeId", samples, 0, &foreign, StatusBadLength},
      {"NegativeLength", samples, -1, state.get(), StatusBadLength},
      {"WrongId", samples, 2, &foreign, StatusBadObjectId},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(IirFilterFloatInPlace(row.data, row.len, row.state), row.expected) << row.name;
  }
  EXPECT_EQ(samples[0], 4.0f);
  EXPECT_EQ(samples[1], 5.0f);
}

TEST(IirStateTest, FreeChecksTheObject) {
  EXPECT_EQ(IirFreeState(nullptr), StatusNullPointer);
  IirState foreign{};
  foreign.id = 9;
  foreign.ownsMemory = 1;
  EXPECT_EQ(IirFreeState(&foreign), StatusBadObjectId);
  // A cascade state that does not own its block: accepted, nothing freed.
  IirState borrowed{};
  borrowed.id = kIirBiquadCascadeId;
  borrowed.ownsMemory = 0;
  EXPECT_EQ(IirFreeState(&borrowed), StatusOk);
}

// A cascade state of two sections (order 4) runs each sample through both
// second-order sections; with order 0 it has none and outputs zeros.
TEST(IirFilterTest, BiquadCascade) {
  // Section taps b0, b1, b2, a1, a2 (already normalised).
  float taps[10] = {0.5f, 0.25f, -0.125f, -0.5f, 0.25f, 1.0f, -1.0f, 0.5f, 0.25f, -0.125f};
  float delay[5] = {};
  IirState cascade{};
  cascade.id = kIirBiquadCascadeId;
  cascade.taps = taps;
  cascade.delayLine = delay;
  cascade.order = 4;
  const std::vector<float> x = {1.0f, 0.0f, -0.5f, 2.0f, 0.25f, 0.0f, 0.0f};
  std::vector<float> y = x;
  ASSERT_EQ(IirFilterFloatInPlace(y.data(), static_cast<std::int32_t>(y.size()), &cascade),
            StatusOk);

  // Reference: each section's difference equation, one after the other.
  std::vector<long double> v(x.begin(), x.end());
  for (int s = 0; s < 2; ++s) {
    const float* t = taps + 5 * s;
    std::vector<long double> out(v.size());
    for (std::size_t n = 0; n < v.size(); ++n) {
      long double sum = t[0] * v[n];
      if (n >= 1) {
        sum += t[1] * v[n - 1] - t[3] * out[n - 1];
      }
      if (n >= 2) {
        sum += t[2] * v[n - 2] - t[4] * out[n - 2];
      }
      out[n] = sum;
    }
    v = out;
  }
  for (std::size_t n = 0; n < y.size(); ++n) {
    EXPECT_NEAR(y[n], static_cast<double>(v[n]), 1e-6) << "sample " << n;
  }

  cascade.order = 0;
  std::vector<float> z = x;
  ASSERT_EQ(IirFilterFloatInPlace(z.data(), static_cast<std::int32_t>(z.size()), &cascade),
            StatusOk);
  for (const float value : z) {
    EXPECT_EQ(value, 0.0f);
  }
}

}  // namespace
