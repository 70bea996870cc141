// Conjugate extension and magnitude of a complex spectrum.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <limits>
#include <vector>

#include "signal/transforms/MoskDispatcher.h"

namespace {

using Complex = std::complex<double>;

// Element k holds (k + 1, -(k + 1) / 2) so every element is distinct.
std::vector<Complex> Numbered(std::int32_t len) {
  std::vector<Complex> values(static_cast<std::size_t>(len));
  for (std::int32_t k = 0; k < len; ++k) {
    values[k] = Complex(k + 1.0, -(k + 1.0) / 2);
  }
  return values;
}

TEST(ConjugateExtendTest, FillsTheUpperHalfWithMirroredConjugates) {
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
TEST(ConjugateExtendTest, CopiesSpecialValuesExactly) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  std::vector<Complex> values = {{1, 1}, {2.5, 0.0}, {inf, -inf}, {nan, nan},
                                 {7, 7}, {0, 0},     {0, 0},      {0, 0}};
  ASSERT_EQ(VectorConjugateExtendComplexInPlace(values.data(), 8), StatusOk);
  EXPECT_EQ(values[4], Complex(7, 7));  // the middle element is not touched
  EXPECT_TRUE(std::isnan(values[5].real()));
  EXPECT_TRUE(std::isnan(values[5].imag()));
  EXPECT_TRUE(std::signbit(values[5].imag()));
  EXPECT_EQ(values[6], Complex(inf, inf));
  EXPECT_EQ(values[7].real(), 2.5);
  EXPECT_EQ(values[7].imag(), 0.0);
  EXPECT_TRUE(std::signbit(values[7].imag()));
}

TEST(ConjugateExtendTest, ArgumentChecks) {
  Complex value(1, 2);
  EXPECT_EQ(VectorConjugateExtendComplexInPlace(nullptr, 0), StatusNullPointer);
  EXPECT_EQ(VectorConjugateExtendComplexInPlace(&value, 0), StatusBadLength);
  EXPECT_EQ(VectorConjugateExtendComplexInPlace(&value, -4), StatusBadLength);
  EXPECT_EQ(value, Complex(1, 2));
}

TEST(MagnitudeTest, Values) {
  const double inf = std::numeric_limits<double>::infinity();
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
      {"OverflowsToInfinity", {1e200, 0}, inf},
      {"UnderflowsToZero", {1e-170, 0}, 0.0},
      {"SumRoundedOnce", {1.0, 1e-8}, std::sqrt(1.0 + 1e-16)},
  };
  for (const Row& row : rows) {
    double out = -1.0;
    ASSERT_EQ(VectorMagnitudeComplex(&row.value, &out, 1), StatusOk);
    EXPECT_EQ(out, row.expected) << row.name;
    EXPECT_FALSE(std::signbit(out)) << row.name;
  }
  const Complex nanValue(std::nan(""), 1.0);
  double out = 0.0;
  ASSERT_EQ(VectorMagnitudeComplex(&nanValue, &out, 1), StatusOk);
  EXPECT_TRUE(std::isnan(out));

  // The same values in one run, taken two at a time with an odd one last.
  std::vector<Complex> all;
  for (const Row& row : rows)
    all.push_back(row.value);
  all.push_back(nanValue);
  std::vector<double> magnitudes(all.size(), -1.0);
  ASSERT_EQ(
      VectorMagnitudeComplex(all.data(), magnitudes.data(), static_cast<std::int32_t>(all.size())),
      StatusOk);
  for (std::size_t i = 0; i < std::size(rows); ++i)
    EXPECT_EQ(magnitudes[i], rows[i].expected) << rows[i].name << " in a run";
  EXPECT_TRUE(std::isnan(magnitudes.back()));
}

// len counts complex elements; dst may overlay src (each element is read
// before its magnitude is written over the first half of it).
TEST(MagnitudeTest, WritesLenDoublesAndWorksOverItsSource) {
  std::vector<Complex> src = {{3, 4}, {5, 12}, {8, 15}, {-7, 24}};
  std::vector<double> dst(6, -1.0);
  ASSERT_EQ(VectorMagnitudeComplex(src.data(), dst.data(), 4), StatusOk);
  EXPECT_EQ(dst, (std::vector<double>{5, 13, 17, 25, -1, -1}));

  double* overlay = reinterpret_cast<double*>(src.data());
  ASSERT_EQ(VectorMagnitudeComplex(src.data(), overlay, 4), StatusOk);
  EXPECT_EQ(overlay[0], 5.0);
  EXPECT_EQ(overlay[1], 13.0);
  EXPECT_EQ(overlay[2], 17.0);
  EXPECT_EQ(overlay[3], 25.0);
}

TEST(MagnitudeTest, ArgumentChecks) {
  Complex value(3, 4);
  double out = -1.0;
  EXPECT_EQ(VectorMagnitudeComplex(nullptr, nullptr, 1), StatusNullPointer);
  EXPECT_EQ(VectorMagnitudeComplex(&value, nullptr, 1), StatusNullPointer);
  EXPECT_EQ(VectorMagnitudeComplex(nullptr, &out, 0), StatusNullPointer);
  EXPECT_EQ(VectorMagnitudeComplex(&value, &out, 0), StatusBadLength);
  EXPECT_EQ(VectorMagnitudeComplex(&value, &out, -1), StatusBadLength);
  EXPECT_EQ(out, -1.0);
}

}  // namespace
