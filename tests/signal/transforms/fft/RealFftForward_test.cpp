// Forward real FFT of every variant (portable, A, B, C) against long-double
// references, the CCS layout, the work buffer and the argument checks. Each
// case binds one letter's create, forward transform and free; every call of
// a letter runs with the floating-point control state checked around it.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cmath>
#include <complex>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "signal/transforms/MoskDispatcher.h"
#include "signal/transforms/fft/RealFftSpec.h"
#include "tests/signal/transforms/fft/FftVariantHarness.h"

namespace {

using fft_test::CheckedCall;
using fft_test::FftLetterBinding;
using fft_test::Letter;
using fft_test::LetterName;

using LongComplex = std::complex<long double>;

constexpr long double kTwoPi = 6.283185307179586476925286766559L;
constexpr double kEpsilon = std::numeric_limits<double>::epsilon();

// Owns a spec for the length of a test.
// Create and free run through the bound letter, with the floating-point
// state checked around them.
class SpecHolder {
 public:
  SpecHolder(std::int32_t order, std::int32_t flag, Letter letter = Letter::Portable)
      : letter_(letter) {
    CheckedCall(letter_, [&] { status_ = RealFftCreateSpec(&spec_, order, flag, 2); });
  }
  ~SpecHolder() {
    if (spec_ != nullptr) {
      CheckedCall(letter_, [&] { EXPECT_EQ(RealFftFreeSpec(spec_), StatusOk); });
    }
  }
  SpecHolder(const SpecHolder&) = delete;
  SpecHolder& operator=(const SpecHolder&) = delete;
  PrimitiveStatus status() const { return status_; }
  RealFftSpec* get() const { return spec_; }

 private:
  Letter letter_;
  RealFftSpec* spec_ = nullptr;
  PrimitiveStatus status_ = StatusOk;
};

// The bound letter's forward transform, the floating-point state checked.
PrimitiveStatus Forward(Letter letter, const double* src, double* dst, const RealFftSpec* spec,
                        std::uint8_t* work) {
  PrimitiveStatus status = StatusOk;
  CheckedCall(letter, [&] { status = RealFftForward(src, dst, spec, work); });
  return status;
}

// A test fixture over the letters: binds the letter's three entries for the
// test and skips a letter the processor lacks.
class LetterTest : public ::testing::TestWithParam<Letter> {
 protected:
  void SetUp() override {
    FFT_SKIP_UNLESS_SUPPORTED(GetParam());
    binding_ = std::make_unique<FftLetterBinding>(GetParam());
  }
  void TearDown() override { binding_.reset(); }
  Letter letter() const { return GetParam(); }

 private:
  std::unique_ptr<FftLetterBinding> binding_;
};

using RealFftForwardTest = LetterTest;

std::string LetterParamName(const ::testing::TestParamInfo<Letter>& info) {
  return LetterName(info.param);
}

std::vector<double> RandomSignal(std::int64_t n, std::uint32_t seed) {
  std::mt19937 generator(seed);
  std::uniform_real_distribution<double> value(-1.0, 1.0);
  std::vector<double> x(static_cast<std::size_t>(n));
  for (double& v : x) {
    v = value(generator);
  }
  return x;
}

// Bins 0..N/2 of the DFT, summed directly in long double.
std::vector<LongComplex> DirectDft(const std::vector<double>& x) {
  const std::int64_t n = static_cast<std::int64_t>(x.size());
  std::vector<LongComplex> roots(static_cast<std::size_t>(n));
  for (std::int64_t j = 0; j < n; ++j) {
    const long double angle = kTwoPi * static_cast<long double>(j) / static_cast<long double>(n);
    roots[j] = LongComplex(std::cos(angle), -std::sin(angle));
  }
  std::vector<LongComplex> bins(static_cast<std::size_t>(n / 2 + 1));
  for (std::int64_t k = 0; k <= n / 2; ++k) {
    LongComplex sum = 0;
    for (std::int64_t j = 0; j < n; ++j) {
      sum += static_cast<long double>(x[j]) * roots[(k * j) % n];
    }
    bins[k] = sum;
  }
  return bins;
}

// Plain recursive radix-2 FFT in long double: out[0..n) is the DFT of
// in[0], in[stride], ..., with roots[k * rootStride] = exp(-2 pi i k / n).
void RecursiveFft(const LongComplex* in, std::int64_t stride, LongComplex* out, std::int64_t n,
                  const std::vector<LongComplex>& roots, std::int64_t rootStride) {
  if (n == 1) {
    out[0] = in[0];
    return;
  }
  const std::int64_t half = n / 2;
  RecursiveFft(in, 2 * stride, out, half, roots, 2 * rootStride);
  RecursiveFft(in + stride, 2 * stride, out + half, half, roots, 2 * rootStride);
  for (std::int64_t k = 0; k < half; ++k) {
    const LongComplex even = out[k];
    const LongComplex odd = roots[k * rootStride] * out[k + half];
    out[k] = even + odd;
    out[k + half] = even - odd;
  }
}

std::vector<LongComplex> RecursiveReference(const std::vector<double>& x) {
  const std::int64_t n = static_cast<std::int64_t>(x.size());
  std::vector<LongComplex> roots(static_cast<std::size_t>(n / 2));
  for (std::int64_t j = 0; j < n / 2; ++j) {
    const long double angle = kTwoPi * static_cast<long double>(j) / static_cast<long double>(n);
    roots[j] = LongComplex(std::cos(angle), -std::sin(angle));
  }
  std::vector<LongComplex> in(x.begin(), x.end());
  std::vector<LongComplex> out(static_cast<std::size_t>(n));
  RecursiveFft(in.data(), 1, out.data(), n, roots, 1);
  out.resize(static_cast<std::size_t>(n / 2 + 1));
  return out;
}

std::vector<LongComplex> Reference(const std::vector<double>& x) {
  return x.size() <= 4096 ? DirectDft(x) : RecursiveReference(x);
}

// The reference of the accuracy signal of one order, computed once for all
// letters.
const std::vector<double>& AccuracySignal(std::int32_t order) {
  static std::map<std::int32_t, std::vector<double>> signals;
  auto [at, made] = signals.try_emplace(order);
  if (made) {
    at->second = RandomSignal(std::int64_t{1} << order, 1234u + static_cast<std::uint32_t>(order));
  }
  return at->second;
}

const std::vector<LongComplex>& AccuracyReference(std::int32_t order) {
  static std::map<std::int32_t, std::vector<LongComplex>> references;
  auto [at, made] = references.try_emplace(order);
  if (made) {
    at->second = Reference(AccuracySignal(order));
  }
  return at->second;
}

// An error in a short scientific form, for the test report.
std::string Scientific(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3e", value);
  return text;
}

// ||X - scale * R||_2 / ||scale * R||_2 over bins 0..N/2 of a CCS output.
double RelativeError(const std::vector<double>& ccs, const std::vector<LongComplex>& reference,
                     long double scale) {
  long double error = 0;
  long double norm = 0;
  for (std::size_t k = 0; k < reference.size(); ++k) {
    const LongComplex expected = reference[k] * scale;
    const LongComplex actual(ccs[2 * k], ccs[2 * k + 1]);
    error += std::norm(actual - expected);
    norm += std::norm(expected);
  }
  return static_cast<double>(std::sqrt(error / norm));
}

long double ScaleOf(std::int32_t flag, std::int32_t order) {
  const long double n = std::ldexp(1.0L, order);
  if (flag == kFftScaleForwardByN) {
    return 1.0L / n;
  }
  if (flag == kFftScaleBySqrtN) {
    return 1.0L / std::sqrt(n);
  }
  return 1.0L;
}

// One row per engine path: fixed kernels, radix-4 engine, unsplit 1024 and
// 2048 values, one split level (with radix-4 and unsplit inner parts), and
// two split levels; orders 14 to 16 hold the last combined and the first
// split orders of variants B and C.
struct AccuracyCase {
  const char* name;
  std::int32_t order;
};

// Rounding error of a radix-2/4 FFT grows with log2 N; 2 eps per level
// leaves room for the table and post-pass error.
double ErrorBound(std::int32_t order) {
  return 2.0 * kEpsilon * (order + 2);
}

class RealFftAccuracyTest : public ::testing::TestWithParam<std::tuple<Letter, AccuracyCase>> {};

TEST_P(RealFftAccuracyTest, MatchesLongDoubleReferenceForEveryScaling) {
  const Letter letter = std::get<0>(GetParam());
  FFT_SKIP_UNLESS_SUPPORTED(letter);
  const FftLetterBinding binding(letter);
  ASSERT_NE(RealFftForward.Variant(letter), nullptr);
  ASSERT_EQ(RealFftForward.Target(), RealFftForward.Variant(letter));
  const std::int32_t order = std::get<1>(GetParam()).order;
  const std::int64_t n = std::int64_t{1} << order;
  const std::vector<double>& x = AccuracySignal(order);
  const std::vector<LongComplex>& reference = AccuracyReference(order);
  const double bound = ErrorBound(order);
  for (const std::int32_t flag :
       {kFftScaleForwardByN, kFftScaleInverseByN, kFftScaleBySqrtN, kFftNoScale}) {
    SpecHolder spec(order, flag, letter);
    ASSERT_EQ(spec.status(), StatusOk);
    std::vector<double> out(static_cast<std::size_t>(n + 2), std::nan(""));
    ASSERT_EQ(Forward(letter, x.data(), out.data(), spec.get(), nullptr), StatusOk);
    const double error = RelativeError(out, reference, ScaleOf(flag, order));
    EXPECT_LE(error, bound) << "flag " << flag;
    RecordProperty("relative_error_flag_" + std::to_string(flag), Scientific(error));
    EXPECT_EQ(out[1], 0.0);
    if (order >= 1) {
      EXPECT_EQ(out[static_cast<std::size_t>(n + 1)], 0.0);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    EnginePaths, RealFftAccuracyTest,
    ::testing::Combine(
        ::testing::ValuesIn(fft_test::kLetters),
        ::testing::Values(AccuracyCase{"Order0Kernel", 0}, AccuracyCase{"Order1Kernel", 1},
                          AccuracyCase{"Order2Kernel", 2}, AccuracyCase{"Order3Kernel", 3},
                          AccuracyCase{"Radix4Odd8", 4}, AccuracyCase{"Radix4Even16", 5},
                          AccuracyCase{"Radix4Odd32", 6}, AccuracyCase{"Radix4Even64", 7},
                          AccuracyCase{"Radix4Odd128", 8}, AccuracyCase{"Radix4Even256", 9},
                          AccuracyCase{"Radix4Odd512", 10}, AccuracyCase{"Unsplit1024", 11},
                          AccuracyCase{"Unsplit2048", 12}, AccuracyCase{"SplitA16I256", 13},
                          AccuracyCase{"SplitA32I256", 14}, AccuracyCase{"SplitA64I256", 15},
                          AccuracyCase{"SplitA128I256", 16}, AccuracyCase{"SplitA128I512", 17},
                          AccuracyCase{"SplitOverUnsplit1024", 20},
                          AccuracyCase{"TwoSplitLevels", 22})),
    [](const ::testing::TestParamInfo<std::tuple<Letter, AccuracyCase>>& info) {
      return LetterName(std::get<0>(info.param)) + "_" + std::get<1>(info.param).name;
    });

// The output occupies exactly N + 2 doubles (2 at order 0) and the two
// imaginary parts that are zero by definition are written as exact zeros;
// src and dst may be the same array.
TEST_P(RealFftForwardTest, WritesExactlyTheCcsLayoutAndWorksInPlace) {
  constexpr std::size_t kGuard = 8;
  const double sentinel = -12345.678;
  for (std::int32_t order = 0; order <= 16; ++order) {
    SCOPED_TRACE(order);
    const std::int64_t n = std::int64_t{1} << order;
    const std::size_t written = order == 0 ? 2 : static_cast<std::size_t>(n + 2);
    SpecHolder spec(order, kFftNoScale, letter());
    ASSERT_EQ(spec.status(), StatusOk);
    const std::vector<double> x = RandomSignal(n, 99u);
    std::vector<double> out(written + kGuard, sentinel);
    ASSERT_EQ(Forward(letter(), x.data(), out.data(), spec.get(), nullptr), StatusOk);
    for (std::size_t i = written; i < out.size(); ++i) {
      ASSERT_EQ(out[i], sentinel) << "index " << i;
    }
    EXPECT_EQ(out[1], 0.0);
    EXPECT_FALSE(std::signbit(out[1]));
    if (order >= 1) {
      EXPECT_EQ(out[written - 1], 0.0);
    }

    std::vector<double> inPlace(written + kGuard, sentinel);
    std::copy(x.begin(), x.end(), inPlace.begin());
    ASSERT_EQ(Forward(letter(), inPlace.data(), inPlace.data(), spec.get(), nullptr), StatusOk);
    EXPECT_EQ(0, std::memcmp(inPlace.data(), out.data(), out.size() * sizeof(double)));
  }
}

TEST_P(RealFftForwardTest, SmallOrdersGiveTheExactBinsOfSimpleInputs) {
  struct Row {
    const char* name;
    std::int32_t order;
    std::int32_t flag;
    std::vector<double> input;
    std::vector<double> expected;
  };
  const double r = 0.7071067811865476;
  const std::vector<Row> rows = {
      {"Order0Plain", 0, kFftNoScale, {3.5}, {3.5, 0.0}},
      {"Order0Scaled", 0, kFftScaleBySqrtN, {3.5}, {3.5, 0.0}},
      {"Order1", 1, kFftNoScale, {2.0, 5.0}, {7.0, 0.0, -3.0, 0.0}},
      {"Order1ScaledByN", 1, kFftScaleForwardByN, {2.0, 5.0}, {3.5, 0.0, -1.5, 0.0}},
      {"Order2", 2, kFftNoScale, {1.0, 2.0, 3.0, 4.0}, {10.0, 0.0, -2.0, 2.0, -2.0, 0.0}},
      {"Order3ImpulseAt1",
       3,
       kFftNoScale,
       {0, 1, 0, 0, 0, 0, 0, 0},
       {1, 0, r, -r, 0, -1, -r, -r, -1, 0}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    SpecHolder spec(row.order, row.flag, letter());
    ASSERT_EQ(spec.status(), StatusOk);
    std::vector<double> out(row.expected.size(), std::nan(""));
    ASSERT_EQ(Forward(letter(), row.input.data(), out.data(), spec.get(), nullptr), StatusOk);
    for (std::size_t i = 0; i < out.size(); ++i) {
      EXPECT_DOUBLE_EQ(out[i], row.expected[i]) << "index " << i;
    }
  }
}

// An impulse at 0 has every bin 1 + 0i; a constant c has only X0 = N c, and
// the imaginary parts of X0 and X(N/2) are exact zeros.
TEST_P(RealFftForwardTest, ImpulseAndConstantInputs) {
  for (const std::int32_t order : {4, 8, 11, 13, 14, 15, 16, 20}) {
    SCOPED_TRACE(order);
    const std::int64_t n = std::int64_t{1} << order;
    SpecHolder spec(order, kFftNoScale, letter());
    ASSERT_EQ(spec.status(), StatusOk);
    std::vector<double> impulse(static_cast<std::size_t>(n), 0.0);
    impulse[0] = 1.0;
    std::vector<double> out(static_cast<std::size_t>(n + 2));
    ASSERT_EQ(Forward(letter(), impulse.data(), out.data(), spec.get(), nullptr), StatusOk);
    for (std::int64_t k = 0; k <= n / 2; ++k) {
      ASSERT_NEAR(out[2 * k], 1.0, 1e-15) << "bin " << k;
      ASSERT_NEAR(out[2 * k + 1], 0.0, 1e-15) << "bin " << k;
    }

    const double c = 0.375;
    std::vector<double> constant(static_cast<std::size_t>(n), c);
    ASSERT_EQ(Forward(letter(), constant.data(), out.data(), spec.get(), nullptr), StatusOk);
    EXPECT_DOUBLE_EQ(out[0], static_cast<double>(n) * c);
    EXPECT_EQ(out[1], 0.0);
    EXPECT_EQ(out[n + 1], 0.0);
    for (std::int64_t i = 2; i <= n; ++i) {
      ASSERT_NEAR(out[i], 0.0, 1e-12 * static_cast<double>(n)) << "index " << i;
    }
  }
}

// The first order each letter splits into levels.
std::int32_t FirstSplitOrder(Letter letter) {
  switch (letter) {
    case Letter::B:
      return 15;
    case Letter::C:
      return 16;
    case Letter::A:
    case Letter::Portable:
      break;
  }
  return 13;
}

// A caller's work buffer of the stated size plus 8 bytes that starts 8 bytes
// past a 16-byte boundary: the work space runs to its last byte and no
// further, and the result equals that of a call that allocates its own, out
// of place and in place. Orders 8 (B and C need work space from order 4 on),
// 13, 14 and the letter's first split order.
TEST_P(RealFftForwardTest, CallerWorkBufferIsUsedWithinItsBounds) {
  constexpr std::size_t kGuardBytes = 64;
  constexpr unsigned char kGuard = 0xA5;
  for (const std::int32_t order : {8, 13, 14, FirstSplitOrder(letter())}) {
    SCOPED_TRACE(order);
    SpecHolder spec(order, kFftScaleForwardByN, letter());
    ASSERT_EQ(spec.status(), StatusOk);
    const std::size_t workBytes = static_cast<std::size_t>(spec.get()->workBytes);
    if (workBytes == 0) {
      continue;  // the portable plan needs none below order 13
    }
    const std::int64_t n = std::int64_t{1} << order;
    const std::vector<double> x = RandomSignal(n, 7u);
    std::vector<double> expected(static_cast<std::size_t>(n + 2));
    ASSERT_EQ(Forward(letter(), x.data(), expected.data(), spec.get(), nullptr), StatusOk);

    std::vector<unsigned char> storage(workBytes + 8 + kGuardBytes + 32, 0);
    const auto address = reinterpret_cast<std::uintptr_t>(storage.data());
    unsigned char* work = storage.data() + ((16 - (address & 15)) & 15) + 8;
    unsigned char* guard = work + workBytes + 8;
    std::memset(guard, kGuard, kGuardBytes);
    std::vector<double> out(static_cast<std::size_t>(n + 2));
    ASSERT_EQ(Forward(letter(), x.data(), out.data(), spec.get(), work), StatusOk);
    EXPECT_EQ(0, std::memcmp(out.data(), expected.data(), out.size() * sizeof(double)));
    std::vector<double> inPlace(x.begin(), x.end());
    inPlace.resize(out.size());
    ASSERT_EQ(Forward(letter(), inPlace.data(), inPlace.data(), spec.get(), work), StatusOk);
    EXPECT_EQ(0, std::memcmp(inPlace.data(), expected.data(), out.size() * sizeof(double)));
    for (std::size_t i = 0; i < kGuardBytes; ++i) {
      ASSERT_EQ(guard[i], kGuard) << "guard byte " << i;
    }
  }
}

// An order that needs no work space leaves a given work buffer alone: the
// fixed kernels of order 3 in every letter, and order 12 where the letter's
// plan needs none (portable and A).
TEST_P(RealFftForwardTest, WorkBufferUntouchedWhenNoWorkSpaceIsNeeded) {
  for (const std::int32_t order : {3, 12}) {
    SCOPED_TRACE(order);
    SpecHolder spec(order, kFftNoScale, letter());
    ASSERT_EQ(spec.status(), StatusOk);
    if (spec.get()->workBytes != 0) {
      ASSERT_TRUE(letter() == Letter::B || letter() == Letter::C);
      continue;
    }
    const std::int64_t n = std::int64_t{1} << order;
    const std::vector<double> x = RandomSignal(n, 3u);
    std::vector<double> out(static_cast<std::size_t>(n + 2));
    std::vector<unsigned char> work(256, 0x5A);
    ASSERT_EQ(Forward(letter(), x.data(), out.data(), spec.get(), work.data()), StatusOk);
    for (const unsigned char byte : work) {
      ASSERT_EQ(byte, 0x5A);
    }
  }
}

TEST_P(RealFftForwardTest, ArgumentChecksInOrder) {
  SpecHolder spec(8, kFftNoScale, letter());
  ASSERT_EQ(spec.status(), StatusOk);
  std::vector<double> x(256, 1.0);
  std::vector<double> out(258, -1.0);
  RealFftSpec wrongId = *spec.get();
  wrongId.id = 3;

  struct Row {
    const char* name;
    const double* src;
    double* dst;
    const RealFftSpec* spec;
    PrimitiveStatus expected;
  };
  const Row rows[] = {
      {"NullSpec", x.data(), out.data(), nullptr, StatusNullPointer},
      {"NullSpecBeforeNullData", nullptr, nullptr, nullptr, StatusNullPointer},
      {"WrongIdBeforeNullSrc", nullptr, out.data(), &wrongId, StatusBadObjectId},
      {"WrongIdBeforeNullDst", x.data(), nullptr, &wrongId, StatusBadObjectId},
      {"NullSrc", nullptr, out.data(), spec.get(), StatusNullPointer},
      {"NullDst", x.data(), nullptr, spec.get(), StatusNullPointer},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(Forward(letter(), row.src, row.dst, row.spec, nullptr), row.expected) << row.name;
  }
  for (const double value : out) {
    ASSERT_EQ(value, -1.0);
  }
}

// Two-level splits: variant B at order 23 and C at order 24 (the orders
// where their plans first split twice) against the portable output, within
// twice the reference bound. One spec is alive at a time: about 0.7 GiB of
// memory at order 24 with the signal and both outputs, and some ten seconds:
// not part of the default run; run it with
//   --gtest_also_run_disabled_tests --gtest_filter='*TwoLevelSplits*'
TEST(RealFftLargeOrderTest, DISABLED_TwoLevelSplitsAgreeWithThePortableVariant) {
  struct Row {
    Letter letter;
    std::int32_t order;
  };
  for (const Row row : {Row{Letter::B, 23}, Row{Letter::C, 24}}) {
    SCOPED_TRACE(LetterName(row.letter));
    if (!CpuSupportsVariant(row.letter)) {
      std::printf("skipped: the processor lacks variant %s\n", LetterName(row.letter).c_str());
      continue;
    }
    const std::int64_t n = std::int64_t{1} << row.order;
    const std::vector<double> x = RandomSignal(n, 77u);
    std::vector<double> expected(static_cast<std::size_t>(n + 2));
    {
      const FftLetterBinding binding(Letter::Portable);
      SpecHolder spec(row.order, kFftScaleBySqrtN);
      ASSERT_EQ(spec.status(), StatusOk);
      ASSERT_EQ(Forward(Letter::Portable, x.data(), expected.data(), spec.get(), nullptr),
                StatusOk);
    }
    std::vector<double> out(static_cast<std::size_t>(n + 2));
    {
      const FftLetterBinding binding(row.letter);
      SpecHolder spec(row.order, kFftScaleBySqrtN, row.letter);
      ASSERT_EQ(spec.status(), StatusOk);
      ASSERT_EQ(spec.get()->levelBlockTwiddles[1] != nullptr, true);
      ASSERT_EQ(Forward(row.letter, x.data(), out.data(), spec.get(), nullptr), StatusOk);
    }
    long double difference = 0;
    long double norm = 0;
    for (std::size_t i = 0; i < out.size(); ++i) {
      const long double d = static_cast<long double>(out[i]) - expected[i];
      difference += d * d;
      norm += static_cast<long double>(expected[i]) * expected[i];
    }
    const double error = static_cast<double>(std::sqrt(difference / norm));
    EXPECT_LE(error, 2.0 * ErrorBound(row.order));
    RecordProperty("relative_difference_" + LetterName(row.letter), Scientific(error));
    EXPECT_EQ(out[1], 0.0);
    EXPECT_EQ(out[static_cast<std::size_t>(n + 1)], 0.0);
  }
}

#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
// The per-call work block cannot be allocated: -9 and dst untouched. The
// heap is made to refuse by a work size of 2 GiB under an address-space
// limit of 1 GiB (sanitizer builds reserve far more address space, so the
// case runs in the plain build only).
TEST_P(RealFftForwardTest, WorkBlockAllocationFailureReturnsNoMemory) {
  SpecHolder spec(13, kFftNoScale, letter());
  ASSERT_EQ(spec.status(), StatusOk);
  RealFftSpec hungry = *spec.get();
  hungry.workBytes = 0x7FFFFFFF;
  const std::vector<double> x = RandomSignal(8192, 5u);
  std::vector<double> out(8194, -2.0);

  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_AS, &saved), 0);
  rlimit limited = saved;
  limited.rlim_cur = rlim_t{1} << 30;
  ASSERT_EQ(setrlimit(RLIMIT_AS, &limited), 0);
  const PrimitiveStatus status = Forward(letter(), x.data(), out.data(), &hungry, nullptr);
  ASSERT_EQ(setrlimit(RLIMIT_AS, &saved), 0);

  EXPECT_EQ(status, StatusNoMemory);
  for (const double value : out) {
    ASSERT_EQ(value, -2.0);
  }
}
#endif

INSTANTIATE_TEST_SUITE_P(Letters, RealFftForwardTest, ::testing::ValuesIn(fft_test::kLetters),
                         LetterParamName);

}  // namespace
