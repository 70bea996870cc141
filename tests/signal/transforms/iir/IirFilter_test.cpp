// IIR states and filtering for the create and filter pair that each
// processor-type code binds: 0 (portable and portable), 5 (A and A), 7 (B's
// create and the portable filter: the filter has no B) and 16 (C and C).
// Normalisation, the argument checks of create, filter and free, the
// layout of the states, and the filter against the plain difference
// equation in long double within a written bound.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "signal/transforms/MoskDispatcher.h"
#include "signal/transforms/iir/IirState.h"
#include "tests/signal/primitives/VariantHarness.h"
#include "tests/signal/transforms/TransformLetters.h"

namespace {

using transform_letters::Letter;
using transform_letters::LetterName;
using variants_test::Guarded;

// The letters of the create (and free) and of the filter a code binds.
struct Pairing {
  std::int32_t code;
  Letter create;
  Letter filter;
};

std::string PairingName(const ::testing::TestParamInfo<Pairing>& info) {
  return "Code" + std::to_string(info.param.code);
}

class IirTest : public ::testing::TestWithParam<Pairing> {
 protected:
  Letter createLetter() const { return GetParam().create; }
  Letter filterLetter() const { return GetParam().filter; }
  bool simdCreate() const { return createLetter() != Letter::Portable; }
  bool simdFilter() const { return filterLetter() != Letter::Portable; }

  void SetUp() override {
    if (!CpuSupportsVariant(createLetter())) {
      GTEST_SKIP() << "the processor lacks what variant " << LetterName(createLetter()) << " needs";
    }
    IirCreateState.BindVariantForTesting(createLetter());
    IirFreeState.BindVariantForTesting(createLetter());
    IirFilterFloatInPlace.BindVariantForTesting(filterLetter());
  }
  void TearDown() override {
    IirCreateState.ResetToStubForTesting();
    IirFreeState.ResetToStubForTesting();
    IirFilterFloatInPlace.ResetToStubForTesting();
  }

  // A filter call with the control state checked around it.
  PrimitiveStatus Filter(float* samples, std::int32_t len, IirState* state) {
    PrimitiveStatus status = -1;
    variants_test::CallCheckingFpState(
        filterLetter(), false, [&] { status = IirFilterFloatInPlace(samples, len, state); });
    return status;
  }
};

// Owns a state made by IirCreateState.
class StateHolder {
 public:
  StateHolder(const std::vector<float>& taps, std::int32_t order, const float* delay = nullptr) {
    variants_test::CallCheckingFpState(PrimitiveVariant::A, false, [&] {
      status_ = IirCreateState(&state_, taps.data(), order, delay);
    });
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

float FromBits(std::uint32_t bits) {
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
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

// The bound on |filtered - exact| for a filter with taps b, a (raw, a0
// included) over inputs up to xMax and exact outputs up to yMax: every
// product and sum of a step rounded to single precision (the portable
// filter rounds only the stored values) injects at most
// (2N + 4) * 2^-24 * (sum |b| xMax + sum |a| yMax) / |a0| per sample, and
// the recursion passes each injected error on with its noise gain, the sum
// of |h| over the impulse response h of 1 / A.
double ErrorBound(const std::vector<float>& taps, std::int32_t order, double xMax, double yMax) {
  const long double a0 = taps[order + 1];
  long double sumB = 0;
  long double sumA = 0;
  for (std::int32_t k = 0; k <= order; ++k) {
    sumB += std::fabs(static_cast<long double>(taps[k]));
    sumA += std::fabs(static_cast<long double>(taps[order + 1 + k]));
  }
  std::vector<long double> h(40000, 0.0L);
  long double gain = 0;
  for (std::size_t n = 0; n < h.size(); ++n) {
    long double v = n == 0 ? 1.0L : 0.0L;
    for (std::int32_t k = 1; k <= order && static_cast<std::size_t>(k) <= n; ++k) {
      v -= static_cast<long double>(taps[order + 1 + k]) / a0 * h[n - k];
    }
    h[n] = v;
    gain += std::fabs(v);
  }
  const long double perSample =
      (2 * order + 4) * std::ldexp(1.0L, -24) * (sumB * xMax + sumA * yMax) / std::fabs(a0);
  return static_cast<double>(perSample * gain);
}

double MaxAbs(const std::vector<long double>& v) {
  long double m = 0;
  for (const long double x : v) {
    m = std::max(m, std::fabs(x));
  }
  return static_cast<double>(m);
}

double MaxAbs(const std::vector<float>& v) {
  float m = 0;
  for (const float x : v) {
    m = std::max(m, std::fabs(x));
  }
  return m;
}

void Report(const char* what, const Pairing& pairing, double fraction) {
  std::printf("[ code %d ] %s: largest error %.3g of the bound\n", pairing.code, what, fraction);
}

// Orders 0 to 6, blocks shorter and longer than 4N and than 1024 samples,
// samples 0, 4, 8 and 12 bytes past a 16-byte boundary.
TEST_P(IirTest, MatchesTheDifferenceEquation) {
  double worst = 0;
  for (std::int32_t order = 0; order <= 6; ++order) {
    std::vector<std::int32_t> lengths = {1,  2,    3,    4 * order, 4 * order + 1,
                                         63, 1023, 1024, 1025,      3001};
    for (const std::int32_t len : lengths) {
      if (len < 1) {
        continue;
      }
      for (const int offset : {0, 4, 8, 12}) {
        SCOPED_TRACE(::testing::Message()
                     << "order " << order << " len " << len << " offset " << offset);
        const std::vector<float> taps = StableTaps(order, 100u + static_cast<std::uint32_t>(order));
        std::mt19937 generator(static_cast<std::uint32_t>(len));
        std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
        std::vector<float> x(static_cast<std::size_t>(len));
        for (float& v : x) {
          v = unit(generator);
        }
        const std::vector<long double> expected = DifferenceEquation(taps, order, x);
        const double bound = ErrorBound(taps, order, MaxAbs(x), MaxAbs(expected));
        StateHolder state(taps, order);
        ASSERT_EQ(state.status(), StatusOk);
        Guarded<float> y(len, offset);
        for (std::int32_t n = 0; n < len; ++n) {
          y.Set(n, x[n]);
        }
        ASSERT_EQ(Filter(y.data(), len, state.get()), StatusOk);
        ASSERT_TRUE(y.GuardsIntact());
        for (std::int32_t n = 0; n < len; ++n) {
          const double error = std::fabs(y.Get(n) - static_cast<double>(expected[n]));
          worst = std::max(worst, error / bound);
          ASSERT_LE(error, bound) << "sample " << n;
        }
      }
    }
  }
  Report("orders 0 to 6", GetParam(), worst);
}

// Calls carry the delay line: one signal filtered in calls of every length
// from 1 to 13 and of 64, 1023, 1024 and 1025 samples matches the
// difference equation over the whole signal.
TEST_P(IirTest, ConsecutiveCallsFilterOneSignal) {
  double worst = 0;
  for (const std::int32_t order : {1, 2, 4, 5}) {
    const std::vector<float> taps = StableTaps(order, 7u);
    std::mt19937 generator(3);
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    std::vector<float> x(2600);
    for (float& v : x) {
      v = unit(generator);
    }
    const std::vector<long double> expected = DifferenceEquation(taps, order, x);
    const double bound = ErrorBound(taps, order, MaxAbs(x), MaxAbs(expected));
    std::vector<std::int32_t> callLengths;
    for (std::int32_t len = 1; len <= 13; ++len) {
      callLengths.push_back(len);
    }
    callLengths.insert(callLengths.end(), {64, 1023, 1024, 1025});
    for (const std::int32_t callLength : callLengths) {
      SCOPED_TRACE(::testing::Message() << "order " << order << " calls of " << callLength);
      StateHolder state(taps, order);
      ASSERT_EQ(state.status(), StatusOk);
      std::vector<float> y = x;
      for (std::size_t at = 0; at < y.size(); at += static_cast<std::size_t>(callLength)) {
        const auto len = static_cast<std::int32_t>(
            std::min<std::size_t>(static_cast<std::size_t>(callLength), y.size() - at));
        ASSERT_EQ(Filter(y.data() + at, len, state.get()), StatusOk);
      }
      for (std::size_t n = 0; n < y.size(); ++n) {
        const double error = std::fabs(y[n] - static_cast<double>(expected[n]));
        worst = std::max(worst, error / bound);
        ASSERT_LE(error, bound) << "sample " << n;
      }
    }
  }
  Report("split calls", GetParam(), worst);
}

// The DC remover's filter: b = (0, -1, 1), a = (-1, R, 0), R = 1 - 40 pi/fs.
// Normalised by a0 = -1 the stored taps are -0, 1, -1, -R, -0 (a zero tap
// times a negative reciprocal is a negative zero); a constant c comes out as
// 0, c, R c, R^2 c, ...
TEST_P(IirTest, DcBlocker) {
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
  std::vector<float> block(40, c);
  ASSERT_EQ(Filter(block.data(), 40, state.get()), StatusOk);
  EXPECT_EQ(block[0], 0.0f);
  long double expected = c;
  for (std::size_t n = 1; n < block.size(); ++n) {
    EXPECT_NEAR(block[n], static_cast<double>(expected), 1e-3) << "sample " << n;
    expected *= r;
  }
}

// The DC blocker over captured-like samples (integers with an offset) cut
// into calls of every length the filters treat differently: a single
// sample, the two opening samples, blocks of four with and without a tail,
// blocks beyond 4N and beyond 1024. Each call must hand over the delay
// line so that the calls filter one signal.
TEST_P(IirTest, DcBlockerCarriesItsStateAcrossCallsOfEveryLength) {
  const float r = static_cast<float>(1.0L - 40.0L * 3.14159265358979323846L / 44100.0L);
  const std::vector<float> taps = {0.0f, -1.0f, 1.0f, -1.0f, r, 0.0f};
  std::mt19937 generator(11);
  std::uniform_int_distribution<int> sample(-30000, 30000);
  std::vector<float> x(4000);
  for (float& v : x) {
    v = static_cast<float>(2000 + sample(generator) / 2);
  }
  const std::vector<long double> expected = DifferenceEquation(taps, 2, x);
  const double scale = MaxAbs(expected);
  const std::int32_t lengths[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 13, 64, 1, 1, 2, 1027, 1024, 1};
  StateHolder state(taps, 2);
  ASSERT_EQ(state.status(), StatusOk);
  std::vector<float> y = x;
  std::size_t at = 0;
  for (std::size_t k = 0; at < y.size(); ++k) {
    const auto len = static_cast<std::int32_t>(std::min<std::size_t>(
        static_cast<std::size_t>(lengths[k % std::size(lengths)]), y.size() - at));
    ASSERT_EQ(Filter(y.data() + at, len, state.get()), StatusOk);
    at += static_cast<std::size_t>(len);
  }
  double worst = 0;
  for (std::size_t n = 0; n < y.size(); ++n) {
    worst = std::max(worst, std::fabs(y[n] - static_cast<double>(expected[n])));
  }
  // The portable filter: within a few single-precision steps of the exact
  // filter (the delay line is rounded to single only where a call ends).
  // Single-precision filters: the written bound.
  const double bound = simdFilter() ? ErrorBound(taps, 2, MaxAbs(x), scale) : 4e-7 * scale;
  EXPECT_LE(worst, bound);
  Report("DC blocker in calls", GetParam(), worst / bound);
}

// An infinity or NaN among the DC blocker's samples: from that sample on no
// output is finite (the recursion carries it), and the outputs before it
// are untouched by it. At the opening samples, the starts of the
// four-sample steps and between them, and in the tail.
TEST_P(IirTest, DcBlockerCarriesANonFiniteSampleOn) {
  if (simdFilter()) {
    GTEST_SKIP() << "the processor-specific filters round differently around zero taps";
  }
  const float r = static_cast<float>(1.0L - 40.0L * 3.14159265358979323846L / 44100.0L);
  const std::vector<float> taps = {0.0f, -1.0f, 1.0f, -1.0f, r, 0.0f};
  for (const std::int32_t at : {0, 1, 2, 5, 12, 38, 39}) {
    for (const float bad :
         {std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity(),
          std::numeric_limits<float>::quiet_NaN()}) {
      SCOPED_TRACE(::testing::Message() << "sample " << at << " is " << bad);
      StateHolder state(taps, 2);
      ASSERT_EQ(state.status(), StatusOk);
      std::vector<float> block(40, 1000.0f);
      block[static_cast<std::size_t>(at)] = bad;
      ASSERT_EQ(Filter(block.data(), 40, state.get()), StatusOk);
      for (std::int32_t n = 0; n < 40; ++n) {
        EXPECT_EQ(std::isfinite(block[static_cast<std::size_t>(n)]), n < at) << "output " << n;
      }
    }
  }
}

// Order 0: every sample times the stored tap, the delay line untouched. The
// processor-specific filters copy the samples for a NaN tap and write +0.0
// for a zero tap of either sign; the portable one multiplies.
TEST_P(IirTest, OrderZero) {
  {
    StateHolder state({3.0f, 2.0f}, 0);
    ASSERT_EQ(state.status(), StatusOk);
    EXPECT_EQ(state.get()->taps[0], 1.5f);
    std::vector<float> x = {1.0f, -2.0f, 0.5f, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13};
    ASSERT_EQ(Filter(x.data(), 13, state.get()), StatusOk);
    EXPECT_EQ(x, (std::vector<float>{1.5f, -3.0f, 0.75f, 6, 7.5f, 9, 10.5f, 12, 13.5f, 15, 16.5f,
                                     18, 19.5f}));
  }
  // Every sample times the tap (one rounding, as the product of two floats
  // is exact before it), at lengths through the scalar and the eight-wide
  // steps and past the streaming bound of the processor-specific multiply
  // (more than 131072 samples), at each offset from a 16-byte boundary.
  const float nan = std::numeric_limits<float>::quiet_NaN();
  for (const float b0 : {1.5f, nan, 0.0f, -0.0f}) {
    SCOPED_TRACE(b0);
    StateHolder state({b0, 1.0f}, 0);
    ASSERT_EQ(state.status(), StatusOk);
    std::vector<float> x(140001);
    for (std::size_t i = 0; i < x.size(); ++i) {
      x[i] = i % 3 == 0 ? FromBits(0x7FC01234u)
                        : (i % 3 == 1 ? -1.25f * static_cast<float>(i % 1000) : 0.5f * (i % 999));
    }
    for (const std::int32_t len : {1, 10, 11, 12, 13, 5000, 140001}) {
      for (const int offset : {0, 4, 8, 12}) {
        Guarded<float> y(len, offset);
        for (std::int32_t i = 0; i < len; ++i) {
          y.Set(i, x[i]);
        }
        ASSERT_EQ(Filter(y.data(), len, state.get()), StatusOk);
        ASSERT_TRUE(y.GuardsIntact());
        for (std::int32_t i = 0; i < len; ++i) {
          const float product = b0 * x[i];
          if (simdFilter() && std::isnan(b0)) {
            ASSERT_EQ(Bits(y.Get(i)), Bits(x[i])) << "sample " << i << " copied";
          } else if (simdFilter() && b0 == 0.0f) {
            ASSERT_EQ(Bits(y.Get(i)), 0u) << "sample " << i << " +0.0";
          } else {
            ASSERT_TRUE(Bits(y.Get(i)) == Bits(product) ||
                        (std::isnan(product) && std::isnan(y.Get(i))))
                << "sample " << i;
          }
        }
      }
    }
  }
}

// Each tap is the caller's tap times 1/a0: the portable create keeps the
// reciprocal in the extended format and rounds each product once, the
// processor-specific ones round the reciprocal to single first.
TEST_P(IirTest, NormalisesByTheReciprocalOfA0) {
  const std::vector<float> taps = {1.0f, 2.0f, 0.1f, 3.0f, 0.75f, 5.0f};
  StateHolder state(taps, 2);
  ASSERT_EQ(state.status(), StatusOk);
  const float r = static_cast<float>(1.0L / 3.0L);
  auto expected = [&](float tap) {
    return simdCreate() ? tap * r : static_cast<float>(tap / 3.0L);
  };
  const float* stored = state.get()->taps;
  EXPECT_EQ(stored[0], expected(1.0f));
  EXPECT_EQ(stored[1], expected(2.0f));
  EXPECT_EQ(stored[2], expected(0.1f));
  EXPECT_EQ(stored[3], expected(0.75f));
  EXPECT_EQ(stored[4], expected(5.0f));
  EXPECT_EQ(state.get()->order, 2);
  EXPECT_EQ(state.get()->id, kIirDirectFormId);
  EXPECT_EQ(state.get()->ownsMemory, 1);
  EXPECT_EQ(state.get()->sectionCount, 0);
}

// A caller's delay line is copied bit for bit (NaN payloads and negative
// zeros too); only N values are read; d[N] starts at 0.
TEST_P(IirTest, CopiesTheCallersDelayLine) {
  for (const std::int32_t order : {1, 3, 9, 2100, 5000}) {
    SCOPED_TRACE(order);
    std::vector<float> delay(static_cast<std::size_t>(order) + 1);
    for (std::int32_t k = 0; k < order; ++k) {
      delay[k] = k % 3 == 0 ? FromBits(0x7FC01234u + static_cast<std::uint32_t>(k))
                            : (k % 3 == 1 ? -0.0f : 2.5f * k);
    }
    delay[order] = 99.0f;  // beyond the order: not read
    std::vector<float> taps(2 * static_cast<std::size_t>(order + 1), 0.0f);
    taps[0] = 1.0f;
    taps[order + 1] = 1.0f;
    StateHolder state(taps, order, delay.data());
    ASSERT_EQ(state.status(), StatusOk);
    const float* d = state.get()->delayLine;
    for (std::int32_t k = 0; k < order; ++k) {
      ASSERT_EQ(Bits(d[k]), Bits(delay[k])) << k;
    }
    EXPECT_EQ(Bits(d[order]), 0u);
  }
}

// Every area starts on a 16-byte boundary and ends inside the block; the
// processor-specific states also hold four copies of each b tap and one
// work area.
TEST_P(IirTest, AreasAreAlignedAndInsideTheBlock) {
  for (std::int32_t order = 0; order <= 9; ++order) {
    SCOPED_TRACE(order);
    StateHolder state(StableTaps(order, 3u), order);
    ASSERT_EQ(state.status(), StatusOk);
    const IirState* s = state.get();
    const auto base = reinterpret_cast<std::uintptr_t>(s);
    const auto taps = reinterpret_cast<std::uintptr_t>(s->taps);
    const auto delay = reinterpret_cast<std::uintptr_t>(s->delayLine);
    EXPECT_EQ(base % 16, 0u);
    EXPECT_EQ(taps % 16, 0u);
    EXPECT_EQ(delay % 16, 0u);
    EXPECT_GE(taps, base + sizeof(IirState));
    EXPECT_GE(delay, taps + (2 * order + 1) * sizeof(float));
    if (!simdCreate()) {
      EXPECT_LE(delay + (order + 1) * sizeof(float),
                base + static_cast<std::uintptr_t>(IirStateSize(order)));
      continue;
    }
    const auto broadcast = reinterpret_cast<std::uintptr_t>(s->broadcastTaps);
    const auto coefs = reinterpret_cast<std::uintptr_t>(s->blockCoefs);
    const auto work = reinterpret_cast<std::uintptr_t>(s->workArea);
    EXPECT_EQ(broadcast % 16, 0u);
    EXPECT_EQ(coefs % 16, 0u);
    EXPECT_EQ(work % 16, 0u);
    EXPECT_GE(broadcast, delay + (order + 1) * sizeof(float));
    EXPECT_GE(coefs, broadcast + (4 * order + 4) * sizeof(float));
    EXPECT_GE(work, coefs + (4 * order + 12) * sizeof(float));
    EXPECT_LE(work + 1024 * sizeof(float),
              base + static_cast<std::uintptr_t>(IirSimdStateSize(order, kIirDirectFormId)));
    EXPECT_EQ(s->workArea2, nullptr);
    EXPECT_EQ(s->sectionCoefs, nullptr);
    for (std::int32_t k = 0; k <= order; ++k) {
      for (int lane = 0; lane < 4; ++lane) {
        ASSERT_EQ(Bits(s->broadcastTaps[4 * k + lane]), Bits(s->taps[k])) << k;
      }
    }
  }
}

TEST_P(IirTest, CreateChecksInOrderAndLeavesThePointerOnFailure) {
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
      // 12 N bytes and more do not fit the 31-bit block limit (44 N in the
      // processor-specific layout).
      {"StateTooLarge", false, false, good, 200000000, StatusNoMemory},
      {"StateFarTooLarge", false, false, good, 0x7FFFFFFF, StatusNoMemory},
      {"ZeroA0", false, false, {1, 1, 1, 0.0f, 0.5f, 0.25f}, 2, StatusZeroFeedbackTap},
      {"NegativeZeroA0", false, false, {1, 1, 1, -0.0f, 0.5f, 0.25f}, 2, StatusZeroFeedbackTap},
      {"NaNA0", false, false, {1, 1, 1, nan, 0.5f, 0.25f}, 2, StatusZeroFeedbackTap},
      {"ZeroA0OrderZero", false, false, {1, 0.0f}, 0, StatusZeroFeedbackTap},
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

TEST_P(IirTest, FilterArgumentChecksInOrder) {
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
    EXPECT_EQ(Filter(row.data, row.len, row.state), row.expected) << row.name;
  }
  EXPECT_EQ(samples[0], 4.0f);
  EXPECT_EQ(samples[1], 5.0f);
}

TEST_P(IirTest, FreeChecksTheObject) {
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

// A hand-built cascade ("20II") of two sections with every table the
// filters read (see IirState.h), derived here from the section taps.
class CascadeState {
 public:
  // Section taps b0, b1, b2, a1, a2 (already normalised).
  explicit CascadeState(const std::vector<float>& taps) : taps_(taps) {
    const std::size_t sections = taps.size() / 5;
    delay_.assign(2 * sections + 1, 0.0f);
    sectionCoefs_.assign(8 * sections, 0.0f);
    broadcast_.assign(12 * sections, 0.0f);
    blockCoefs_.assign(20 * sections, 0.0f);
    work_.assign(2048, 0.0f);
    for (std::size_t s = 0; s < sections; ++s) {
      const float* t = taps.data() + 5 * s;
      std::copy(t, t + 5, sectionCoefs_.begin() + static_cast<std::ptrdiff_t>(8 * s));
      for (int k = 0; k < 3; ++k) {
        std::fill_n(broadcast_.begin() + static_cast<std::ptrdiff_t>(12 * s + 4 * k), 4, t[k]);
      }
      // The two-pole recursion y[m] = w[m] - a1 y[m-1] - a2 y[m-2] over
      // outputs m = 0..3: with w[i] = 1 alone (lanes of H(i+1)), and with
      // y[-1] = 1 or y[-2] = 1 alone (lanes of G1, G2).
      auto run = [&](int unitW, int unitY, float* lanes) {
        double y[6] = {};  // y[-2], y[-1], y[0..3]
        if (unitY >= 0) {
          y[unitY] = 1.0;
        }
        for (int m = 0; m < 4; ++m) {
          y[m + 2] = (m == unitW ? 1.0 : 0.0) - t[3] * y[m + 1] - t[4] * y[m];
          lanes[m] = static_cast<float>(y[m + 2]);
        }
      };
      float* coefs = blockCoefs_.data() + 20 * s;
      for (int i = 0; i < 3; ++i) {
        run(i, -1, coefs + 4 * i);
        for (int j = 0; j <= i; ++j) {
          coefs[4 * i + j] = 0.0f;  // only the later outputs: w[i] itself is added apart
        }
      }
      run(-1, 1, coefs + 12);
      run(-1, 0, coefs + 16);
    }
    state_.id = kIirBiquadCascadeId;
    state_.taps = taps_.data();
    state_.delayLine = delay_.data();
    state_.order = static_cast<std::int32_t>(2 * sections);
    state_.sectionCount = static_cast<std::int32_t>(sections);
    state_.sectionCoefs = sectionCoefs_.data();
    state_.broadcastTaps = broadcast_.data();
    state_.blockCoefs = blockCoefs_.data();
    state_.workArea = work_.data();
    state_.workArea2 = work_.data() + 1024;
    state_.ownsMemory = 0;
  }
  IirState* get() { return &state_; }

 private:
  std::vector<float> taps_;
  std::vector<float> delay_;
  std::vector<float> sectionCoefs_;
  std::vector<float> broadcast_;
  std::vector<float> blockCoefs_;
  std::vector<float> work_;
  IirState state_{};
};

// Each section's difference equation in long double, one after the other.
std::vector<long double> CascadeReference(const float* taps, int sections,
                                          const std::vector<float>& x) {
  std::vector<long double> v(x.begin(), x.end());
  for (int s = 0; s < sections; ++s) {
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
  return v;
}

// A cascade of two sections (order 4) runs each sample through both
// sections: short calls sample by sample, long ones section by section,
// one signal in calls of several lengths, within the bound of the two
// sections (each section's bound on its own input and output, the first
// passed on through the second's gain).
TEST_P(IirTest, BiquadCascade) {
  const std::vector<float> taps = {0.5f, 0.25f, -0.125f, -0.5f, 0.25f,
                                   1.0f, -1.0f, 0.5f,    0.25f, -0.125f};
  std::mt19937 generator(21);
  std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
  std::vector<float> x(3000);
  for (float& v : x) {
    v = unit(generator);
  }
  const std::vector<long double> expected = CascadeReference(taps.data(), 2, x);
  const std::vector<long double> middle = CascadeReference(taps.data(), 1, x);
  const std::vector<float> first = {taps[0], taps[1], taps[2], 1.0f, taps[3], taps[4]};
  const std::vector<float> second = {taps[5], taps[6], taps[7], 1.0f, taps[8], taps[9]};
  const double firstBound = ErrorBound(first, 2, MaxAbs(x), MaxAbs(middle));
  std::vector<float> unitImpulse(2000, 0.0f);
  unitImpulse[0] = 1.0f;
  long double secondGain = 0;
  for (const long double v : CascadeReference(taps.data() + 5, 1, unitImpulse)) {
    secondGain += std::fabs(v);
  }
  const double bound = firstBound * static_cast<double>(secondGain) +
                       ErrorBound(second, 2, MaxAbs(middle), MaxAbs(expected));
  double worst = 0;
  for (const std::int32_t callLength : {1, 3, 7, 8, 9, 64, 1024, 1030, 3000}) {
    SCOPED_TRACE(::testing::Message() << "calls of " << callLength);
    CascadeState cascade(taps);
    std::vector<float> y = x;
    for (std::size_t at = 0; at < y.size(); at += static_cast<std::size_t>(callLength)) {
      const auto len = static_cast<std::int32_t>(
          std::min<std::size_t>(static_cast<std::size_t>(callLength), y.size() - at));
      ASSERT_EQ(Filter(y.data() + at, len, cascade.get()), StatusOk);
    }
    for (std::size_t n = 0; n < y.size(); ++n) {
      const double error = std::fabs(y[n] - static_cast<double>(expected[n]));
      worst = std::max(worst, error / bound);
      ASSERT_LE(error, bound) << "sample " << n;
    }
  }
  Report("two-section cascade", GetParam(), worst);

  // Without sections: the portable filter (order 0) writes zeros; the
  // processor-specific ones read sectionCount 0 and leave the samples.
  CascadeState none(taps);
  none.get()->sectionCount = 0;
  none.get()->order = simdFilter() ? 4 : 0;
  for (const std::int32_t len : {1, 9, 2000}) {
    std::vector<float> z(x.begin(), x.begin() + len);
    ASSERT_EQ(Filter(z.data(), len, none.get()), StatusOk);
    for (std::int32_t n = 0; n < len; ++n) {
      ASSERT_EQ(Bits(z[n]), simdFilter() ? Bits(x[n]) : 0u) << "sample " << n;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Codes, IirTest,
                         ::testing::Values(Pairing{0, Letter::Portable, Letter::Portable},
                                           Pairing{5, Letter::A, Letter::A},
                                           Pairing{7, Letter::B, Letter::Portable},
                                           Pairing{16, Letter::C, Letter::C}),
                         PairingName);

}  // namespace
