// Conjugate extension and magnitude of a complex spectrum, for every
// letter: the conjugate extension bit for bit like the portable variant,
// the magnitude within each letter's bound of the correctly rounded root.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <limits>
#include <random>
#include <vector>

#include "signal/transforms/MoskDispatcher.h"
#include "tests/signal/primitives/VariantHarness.h"
#include "tests/signal/transforms/TransformLetters.h"

namespace {

using namespace transform_letters;
using Complex = std::complex<double>;
using variants_test::Guarded;

constexpr double kInf = std::numeric_limits<double>::infinity();

// Element k holds (k + 1, -(k + 1) / 2) so every element is distinct.
std::vector<Complex> Numbered(std::int32_t len) {
  std::vector<Complex> values(static_cast<std::size_t>(len));
  for (std::int32_t k = 0; k < len; ++k) {
    values[k] = Complex(k + 1.0, -(k + 1.0) / 2);
  }
  return values;
}

std::uint64_t BitsOf(double x) {
  std::uint64_t bits;
  std::memcpy(&bits, &x, sizeof bits);
  return bits;
}

double FromBits(std::uint64_t bits) {
  double x;
  std::memcpy(&x, &bits, sizeof x);
  return x;
}

// Bound on |magnitude - exact|, exact being the correctly rounded root of
// the sum of squares rounded once to double (the portable result).
// B rounds each square to double before the sum: the sum is off by at most
// 1.5 units in its last place, which moves the root by 0.75 of its own,
// plus one unit between the two roundings of the roots: 2^-51 relative;
// where a square is subnormal the sum is off by up to 1.5 * 2^-1074
// absolute instead, which moves the root by that over 2 exact. A and C
// refine an estimate of the reciprocal root (about 2^-12 relative) by
// Newton-Raphson steps: twice in double (C), once in single and once in
// the extended format (A); what is left is below 2^-43 in either.
double MagnitudeBound(Letter letter, double exact) {
  switch (letter) {
    case Letter::B:
      return std::ldexp(exact, -51) + std::ldexp(1.0, -1074) / exact;
    case Letter::A:
    case Letter::C:
      return std::ldexp(exact, -43);
    case Letter::Portable:
      break;
  }
  return 0.0;
}

class ConjugateExtendTest : public LetterTest {
 protected:
  void SetUp() override {
    LetterTest::SetUp();
    Bind(VectorConjugateExtendComplexInPlace);
  }
};

TEST_P(ConjugateExtendTest, FillsTheUpperHalfWithMirroredConjugates) {
  for (const std::int32_t len : {1, 2, 3, 4, 5, 8, 9, 256}) {
    SCOPED_TRACE(len);
    const std::vector<Complex> original = Numbered(len);
    std::vector<Complex> values = original;
    ASSERT_EQ(VectorConjugateExtendComplexInPlace(values.data(), len), StatusOk);
    for (std::int32_t k = 0; k <= len / 2; ++k) {
      EXPECT_EQ(values[k], original[k]) << "element " << k << " must stay";
    }
    for (std::int32_t k = len / 2 + 1; k < len; ++k) {
      EXPECT_EQ(values[k], std::conj(original[len - k])) << "element " << k;
    }
  }
}

// Only the sign of the imaginary part changes: zeros, infinities and NaN
// payloads arrive bit for bit otherwise.
TEST_P(ConjugateExtendTest, CopiesSpecialValuesExactly) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  std::vector<Complex> values = {{1, 1}, {2.5, 0.0}, {kInf, -kInf}, {nan, nan},
                                 {7, 7}, {0, 0},     {0, 0},        {0, 0}};
  ASSERT_EQ(VectorConjugateExtendComplexInPlace(values.data(), 8), StatusOk);
  EXPECT_EQ(values[4], Complex(7, 7));  // the middle element is not touched
  EXPECT_TRUE(std::isnan(values[5].real()));
  EXPECT_TRUE(std::isnan(values[5].imag()));
  EXPECT_TRUE(std::signbit(values[5].imag()));
  EXPECT_EQ(values[6], Complex(kInf, kInf));
  EXPECT_EQ(values[7].real(), 2.5);
  EXPECT_EQ(values[7].imag(), 0.0);
  EXPECT_TRUE(std::signbit(values[7].imag()));
}

// Every length to 40 and a few long ones, at both offsets a double allows,
// over zeros, subnormals, infinities and NaNs with payloads: the portable
// variant's bytes, guards untouched, the control state unchanged.
TEST_P(ConjugateExtendTest, MatchesThePortableVariantBitForBit) {
  std::mt19937_64 generator(5);
  const std::uint64_t specials[] = {0,
                                    0x8000000000000000u,
                                    1,
                                    0x800FFFFFFFFFFFFFu,
                                    BitsOf(kInf),
                                    BitsOf(-kInf),
                                    0x7FF8000000001234u,
                                    0xFFF800000000ABCDu,
                                    BitsOf(1.5)};
  std::vector<std::int32_t> lengths;
  for (std::int32_t len = 1; len <= 40; ++len) {
    lengths.push_back(len);
  }
  lengths.insert(lengths.end(), {1000, 1001, 4097});
  for (const std::int32_t len : lengths) {
    for (const int offset : {0, 8}) {
      SCOPED_TRACE(::testing::Message() << "len " << len << " offset " << offset);
      Guarded<double> values(2 * std::int64_t{len}, offset);
      for (std::int64_t i = 0; i < 2 * std::int64_t{len}; ++i) {
        const std::uint64_t r = generator();
        values.Set(i, FromBits(r % 4 == 0 ? specials[r / 4 % std::size(specials)] : r));
      }
      Guarded<double> expected = values;
      ASSERT_EQ(VectorConjugateExtendComplexInPlacePortable(
                    reinterpret_cast<Complex*>(expected.data()), len),
                StatusOk);
      PrimitiveStatus status = -1;
      Checked([&] {
        status =
            VectorConjugateExtendComplexInPlace(reinterpret_cast<Complex*>(values.data()), len);
      });
      ASSERT_EQ(status, StatusOk);
      ASSERT_EQ(std::memcmp(values.data(), expected.data(), 16 * static_cast<std::size_t>(len)), 0);
      ASSERT_TRUE(values.GuardsIntact());
    }
  }
}

TEST_P(ConjugateExtendTest, ArgumentChecks) {
  Complex value(1, 2);
  EXPECT_EQ(VectorConjugateExtendComplexInPlace(nullptr, 0), StatusNullPointer);
  EXPECT_EQ(VectorConjugateExtendComplexInPlace(&value, 0), StatusBadLength);
  EXPECT_EQ(VectorConjugateExtendComplexInPlace(&value, -4), StatusBadLength);
  EXPECT_EQ(value, Complex(1, 2));
}

INSTANTIATE_TEST_SUITE_P(Letters, ConjugateExtendTest, kAllLetters, LetterParamName);

class MagnitudeTest : public LetterTest {
 protected:
  void SetUp() override {
    LetterTest::SetUp();
    Bind(VectorMagnitudeComplex);
  }
  // |got - exact| within the letter's bound; infinities and zeros exact.
  void ExpectNear(double got, double exact, const char* what) {
    if (std::isinf(exact) || exact == 0.0) {
      EXPECT_EQ(got, exact) << what;
    } else {
      EXPECT_LE(std::fabs(got - exact), MagnitudeBound(letter(), exact)) << what;
    }
    EXPECT_FALSE(std::signbit(got)) << what;
  }
};

TEST_P(MagnitudeTest, Values) {
  struct Row {
    const char* name;
    Complex value;
    double expected;
  };
  const Row rows[] = {
      {"ThreeFour", {3, 4}, 5.0},
      {"NegativeZero", {-0.0, 0.0}, 0.0},
      {"Negative", {-6, -8}, 10.0},
      // The sum of squares is rounded to double before the root.
      {"OverflowsToInfinity", {1e200, 0}, kInf},
      {"UnderflowsToZero", {1e-170, 0}, 0.0},
      {"SumRoundedOnce", {1.0, 1e-8}, std::sqrt(1.0 + 1e-16)},
  };
  for (const Row& row : rows) {
    double out = -1.0;
    ASSERT_EQ(VectorMagnitudeComplex(&row.value, &out, 1), StatusOk);
    ExpectNear(out, row.expected, row.name);
  }
  const Complex nanValue(std::nan(""), 1.0);
  double out = 0.0;
  ASSERT_EQ(VectorMagnitudeComplex(&nanValue, &out, 1), StatusOk);
  EXPECT_TRUE(std::isnan(out));

  // The same values in one run, taken two and four at a time with the
  // last ones alone.
  std::vector<Complex> all;
  for (const Row& row : rows)
    all.push_back(row.value);
  all.push_back(nanValue);
  std::vector<double> magnitudes(all.size(), -1.0);
  ASSERT_EQ(
      VectorMagnitudeComplex(all.data(), magnitudes.data(), static_cast<std::int32_t>(all.size())),
      StatusOk);
  for (std::size_t i = 0; i < std::size(rows); ++i)
    ExpectNear(magnitudes[i], rows[i].expected, rows[i].name);
  EXPECT_TRUE(std::isnan(magnitudes.back()));
}

// len counts complex elements; dst may overlay src (each element is read
// before its magnitude is written over the first half of it).
TEST_P(MagnitudeTest, WritesLenDoublesAndWorksOverItsSource) {
  std::vector<Complex> src = {{3, 4}, {5, 12}, {8, 15}, {-7, 24}, {20, 21}};
  const double exact[] = {5, 13, 17, 25, 29};
  std::vector<double> dst(7, -1.0);
  ASSERT_EQ(VectorMagnitudeComplex(src.data(), dst.data(), 5), StatusOk);
  for (int k = 0; k < 5; ++k) {
    ExpectNear(dst[k], exact[k], "separate");
  }
  EXPECT_EQ(dst[5], -1.0);
  EXPECT_EQ(dst[6], -1.0);

  double* overlay = reinterpret_cast<double*>(src.data());
  ASSERT_EQ(VectorMagnitudeComplex(src.data(), overlay, 5), StatusOk);
  for (int k = 0; k < 5; ++k) {
    ExpectNear(overlay[k], exact[k], "in place");
  }
}

// Every length to 40 and long ones, both offsets of src and dst, separate
// and in place, over random values of every size, zeros, subnormals,
// infinities and NaNs: within the bound of the correctly rounded root of
// the portable sum (A's special values as that variant states them), the
// guards untouched, the control state unchanged.
TEST_P(MagnitudeTest, MatchesTheCorrectlyRoundedRootWithinTheBound) {
  std::mt19937_64 generator(9);
  std::uniform_real_distribution<double> exponent(-700.0, 700.0);
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  // 1e-160 and 3e-156 square to subnormal sums below and above 2^-1042.
  const double specials[] = {0.0,  -0.0,  5e-324, -2e-310, 1e-160,       3e-156,       1e-170,
                             kInf, -kInf, 1e200,  1e-300,  std::nan(""), -std::nan("")};
  std::vector<std::int32_t> lengths;
  for (std::int32_t len = 1; len <= 40; ++len) {
    lengths.push_back(len);
  }
  lengths.insert(lengths.end(), {1023, 4096, 4099});
  double worst = 0.0;  // the largest error as a fraction of the bound
  for (const std::int32_t len : lengths) {
    for (const int srcOffset : {0, 8}) {
      for (const int dstOffset : {-1, 0, 8}) {  // -1: in place
        SCOPED_TRACE(::testing::Message()
                     << "len " << len << " src " << srcOffset << " dst " << dstOffset);
        Guarded<double> src(2 * std::int64_t{len}, srcOffset);
        for (std::int64_t i = 0; i < 2 * std::int64_t{len}; ++i) {
          const std::uint64_t r = generator();
          src.Set(i, r % 5 == 0 ? specials[r / 5 % std::size(specials)]
                                : unit(generator) * std::pow(10.0, exponent(generator) / 4.4));
        }
        std::vector<double> sums(static_cast<std::size_t>(len));
        for (std::int32_t k = 0; k < len; ++k) {
          const long double re = src.Get(2 * k);
          const long double im = src.Get(2 * k + 1);
          sums[k] = static_cast<double>(re * re + im * im);
        }
        Guarded<double> dst(len, dstOffset < 0 ? 0 : dstOffset);
        double* out = dstOffset < 0 ? src.data() : dst.data();
        const auto* in = reinterpret_cast<const Complex*>(src.data());
        PrimitiveStatus status = -1;
        Checked([&] { status = VectorMagnitudeComplex(in, out, len); });
        ASSERT_EQ(status, StatusOk);
        ASSERT_TRUE(src.GuardsIntact());
        ASSERT_TRUE(dst.GuardsIntact());
        for (std::int32_t k = 0; k < len; ++k) {
          const double got = dstOffset < 0 ? src.Get(k) : dst.Get(k);
          const double s = sums[k];
          const double exact = std::sqrt(s);
          // A's groups of four (not the last one to three elements, which
          // take the x87 root) have their own special values.
          const bool groupA = letter() == Letter::A && k < len - len % 4;
          if (groupA && (BitsOf(s) >> 32) == 0) {
            ASSERT_EQ(BitsOf(got), 0u) << "element " << k << ": a sum below 2^-1042 gives +0";
          } else if (std::isnan(s)) {
            ASSERT_TRUE(std::isnan(got)) << "element " << k;
            if (groupA) {
              // A NaN with a clear sign passes unchanged, one with the sign
              // set gives the positive quiet NaN.
              ASSERT_EQ(BitsOf(got), std::signbit(s) ? 0x7FF8000000000000u : BitsOf(s))
                  << "element " << k;
            }
          } else if (std::isinf(exact) || exact == 0.0) {
            ASSERT_EQ(got, exact) << "element " << k;
          } else {
            const double error = std::fabs(got - exact);
            worst = std::max(worst, error / MagnitudeBound(letter(), exact));
            ASSERT_LE(error, MagnitudeBound(letter(), exact)) << "element " << k << " sum " << s;
          }
        }
      }
    }
  }
  if (simd()) {
    std::printf("[ variant %s ] largest magnitude error: %.3g of the bound\n", LetterName(letter()),
                worst);
  }
}

TEST_P(MagnitudeTest, ArgumentChecks) {
  Complex value(3, 4);
  double out = -1.0;
  EXPECT_EQ(VectorMagnitudeComplex(nullptr, nullptr, 1), StatusNullPointer);
  EXPECT_EQ(VectorMagnitudeComplex(&value, nullptr, 1), StatusNullPointer);
  EXPECT_EQ(VectorMagnitudeComplex(nullptr, &out, 0), StatusNullPointer);
  EXPECT_EQ(VectorMagnitudeComplex(&value, &out, 0), StatusBadLength);
  EXPECT_EQ(VectorMagnitudeComplex(&value, &out, -1), StatusBadLength);
  EXPECT_EQ(out, -1.0);
}

INSTANTIATE_TEST_SUITE_P(Letters, MagnitudeTest, kAllLetters, LetterParamName);

}  // namespace
