// The typed buffers' operations against plain reference loops, on exclusive
// and on shared blocks; the range operations; index errors; the named
// constructors and their refusals.
#include "signal/core/TrelTypedBuffers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <functional>
#include <limits>
#include <numbers>
#include <string>
#include <vector>

#include "BufferUnitEnvironment.h"
#include "platform/rtl/SysUtils.h"
#include "signal/core/TrelSimpleDataBuffer.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr std::int32_t kMaxInt = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kMinInt = std::numeric_limits<std::int32_t>::min();

template <class Element>
std::vector<Element> Contents(Element* data, std::int32_t count) {
  return std::vector<Element>(data, data + count);
}

std::vector<double> Contents(ITrelRealBuffer* buffer) {
  return Contents(buffer->GetData(), buffer->GetCount());
}

IPtr<ITrelRealBuffer> RealFrom(const std::vector<double>& values) {
  return TTrelRealBuffer::CreateFromData(values.data(), static_cast<std::int32_t>(values.size()));
}

IPtr<ITrelIntegerBuffer> IntegerFrom(const std::vector<std::int32_t>& values) {
  IPtr<ITrelIntegerBuffer> buffer =
      TTrelIntegerBuffer::CreateCount(static_cast<std::int32_t>(values.size()));
  std::copy(values.begin(), values.end(), buffer->GetData());
  return buffer;
}

IPtr<ITrelComplexBuffer> ComplexFrom(const std::vector<std::complex<double>>& values) {
  IPtr<ITrelComplexBuffer> buffer =
      TTrelComplexBuffer::CreateCount(static_cast<std::int32_t>(values.size()));
  std::copy(values.begin(), values.end(), buffer->GetData());
  return buffer;
}

IPtr<ITrelBlockBuffer> BlockFrom(const std::vector<std::uint8_t>& values) {
  IPtr<ITrelBlockBuffer> buffer =
      TTrelBlockBuffer::CreateSize(static_cast<std::int32_t>(values.size()));
  std::copy(values.begin(), values.end(), buffer->GetData());
  return buffer;
}

// Equal, or both NaN.
bool Same(double a, double b) {
  return a == b || (std::isnan(a) && std::isnan(b));
}

void ExpectSame(const std::vector<double>& actual, const std::vector<double>& expected,
                const std::string& what) {
  ASSERT_EQ(actual.size(), expected.size()) << what;
  for (std::size_t i = 0; i < actual.size(); ++i) {
    EXPECT_TRUE(Same(actual[i], expected[i]))
        << what << " element " << i << ": " << actual[i] << " != " << expected[i];
  }
}

enum class Op { Add, Subtract, Multiply, Divide };

// ---------------------------------------------------------------------------
// Real two-operand operations

std::vector<double> RealReference(Op op, std::vector<double> a, const std::vector<double>& b) {
  const std::size_t n = std::min(a.size(), b.size());
  bool zeroDivisor = false;
  for (std::size_t i = 0; i < n; ++i) {
    switch (op) {
      case Op::Add:
        a[i] += b[i];
        break;
      case Op::Subtract:
        a[i] -= b[i];
        break;
      case Op::Multiply:
        a[i] *= b[i];
        break;
      case Op::Divide:
        // A zero divisor of either sign gives the dividend's infinity.
        zeroDivisor = zeroDivisor || b[i] == 0.0;
        a[i] = b[i] == 0.0 && a[i] != 0.0 ? std::copysign(kInf, a[i]) : a[i] / b[i];
        break;
    }
  }
  for (std::size_t i = 0; zeroDivisor && i < n; ++i) {
    if (b[i] == 0.0 || std::isnan(b[i])) {
      a[i] = a[i] > 0.0 ? 1.0e15 : -1.0e14;
    }
  }
  return a;
}

// target op= operand through the buffer's own operation.
template <class Buffer>
void Apply(Op op, Buffer* target, Buffer* operand) {
  switch (op) {
    case Op::Add:
      target->Add(operand);
      break;
    case Op::Subtract:
      target->Subtract(operand);
      break;
    case Op::Multiply:
      target->Multiply(operand);
      break;
    case Op::Divide:
      target->Divide(operand);
      break;
  }
}

struct RealRow {
  const char* name;
  Op op;
  std::vector<double> a, b;
};

class RealArithmeticTest : public ::testing::TestWithParam<RealRow> {};

// Each row runs twice: on an exclusive block, and on a block shared with a
// clone that must keep the old samples (the operation copies first).
TEST_P(RealArithmeticTest, MatchesThePlainLoop) {
  const RealRow& row = GetParam();
  const std::vector<double> expected = RealReference(row.op, row.a, row.b);
  for (const bool shared : {false, true}) {
    IPtr<ITrelRealBuffer> target = RealFrom(row.a);
    IPtr<ITrelRealBuffer> operand = RealFrom(row.b);
    IPtr<ITrelDataBuffer> clone = shared ? target->Clone() : nullptr;
    Apply(row.op, target.get(), operand.get());
    ExpectSame(Contents(target.get()), expected, shared ? "shared" : "exclusive");
    ExpectSame(Contents(operand.get()), row.b, "operand unchanged");
    if (clone) {
      ExpectSame(Contents(Supports<ITrelRealBuffer>(clone).get()), row.a, "other holder");
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, RealArithmeticTest,
    ::testing::Values(RealRow{"Add", Op::Add, {1, 2, 3}, {10, 20, 30}},
                      RealRow{"SubtractIsThisMinusOperand", Op::Subtract, {10, 20, 30}, {1, 2, 3}},
                      RealRow{"Multiply", Op::Multiply, {1.5, -2, 0}, {2, 4, 8}},
                      RealRow{"DivideIsThisOverOperand", Op::Divide, {10, 9, 1}, {2, 3, 4}},
                      RealRow{"ZeroDivisorsGiveLargeValues", Op::Divide, {1, -1, 4}, {0, 0, 2}},
                      RealRow{"NegativeZeroDivisorCounts", Op::Divide, {2}, {-0.0}},
                      RealRow{"ZeroOverZeroIsNegative", Op::Divide, {0, 5}, {0, 5}},
                      RealRow{"NaNDivisorBesideZeroIsFixed", Op::Divide, {3, 3}, {kNaN, 0}},
                      RealRow{"NaNDivisorAloneStaysNaN", Op::Divide, {3, 3}, {kNaN, 1}},
                      RealRow{"ShorterOperandWorksOnCommonLength", Op::Add, {1, 2, 3, 4}, {10, 20}},
                      RealRow{"ShorterDivisorWithZero", Op::Divide, {1, 2, 3}, {0}},
                      RealRow{"LongerOperand", Op::Subtract, {1, 2}, {10, 20, 30}},
                      RealRow{"EmptyOperandChangesNothing", Op::Multiply, {1, 2}, {}},
                      RealRow{"EmptyTarget", Op::Add, {}, {1, 2}}),
    [](const ::testing::TestParamInfo<RealRow>& info) { return std::string(info.param.name); });

TEST(RealBufferTest, OperandMayBeTheTargetItself) {
  IPtr<ITrelRealBuffer> x = RealFrom({1, -2, 3});
  x->Add(x.get());
  EXPECT_EQ(Contents(x.get()), (std::vector<double>{2, -4, 6}));

  // The zero fix-up looks at the divisors as they were: an infinity divided
  // by itself stays NaN, a zero becomes -1e14.
  IPtr<ITrelRealBuffer> y = RealFrom({0, 2, kInf});
  y->Divide(y.get());
  ExpectSame(Contents(y.get()), {-1.0e14, 1, kNaN}, "self-divide");

  // A holder that no longer writes sees the same block: it keeps its data.
  IPtr<ITrelRealBuffer> z = RealFrom({0, 4, kInf});
  IPtr<ITrelRealBuffer> viewer = TTrelRealBuffer::CreateShared(z.get());
  viewer->GetBufferObject()->ReleaseWriteLock();
  z->Divide(viewer.get());
  ExpectSame(Contents(z.get()), {-1.0e14, 1, kNaN}, "divide by a viewer");
  ExpectSame(Contents(viewer.get()), {0, 4, kInf}, "viewer");
}

TEST(RealBufferTest, NullOperandsAreRefused) {
  IPtr<ITrelRealBuffer> x = RealFrom({1});
  EXPECT_THROW(x->Add(nullptr), EInvalidPointer);
  EXPECT_THROW(x->Divide(nullptr), EInvalidPointer);
  EXPECT_EQ(Contents(x.get()), std::vector<double>{1});
}

TEST(RealBufferTest, OverwritingOperationsLeaveOtherHoldersAlone) {
  const std::vector<double> original{1, 2, 3, 4, 5, 6, 7, 8};
  IPtr<ITrelRealBuffer> x = RealFrom(original);
  IPtr<ITrelRealBuffer> other = Supports<ITrelRealBuffer>(x->Clone());

  x->Fill(2.5);
  EXPECT_EQ(Contents(x.get()), std::vector<double>(8, 2.5));
  x->Zero();
  for (double v : Contents(x.get())) {
    EXPECT_EQ(v, 0.0);
    EXPECT_FALSE(std::signbit(v));
  }
  x->Chirp(2.0);
  const std::vector<double> chirp = Contents(x.get());
  for (int n = 0; n < 8; ++n) {
    const double reference = 2.0 * std::sin(std::numbers::pi * n * n / (2.0 * 8));
    EXPECT_NEAR(chirp[static_cast<std::size_t>(n)], reference, 1e-15) << n;
  }
  EXPECT_EQ(Contents(other.get()), original);
}

TEST(RealBufferTest, RefusedChirpKeepsTheSamples) {
  IPtr<ITrelRealBuffer> x = RealFrom({1, 2, 3});
  IPtr<ITrelDataBuffer> other = x->Clone();
  const double* before = x->GetData();
  EXPECT_THROW(x->Chirp(-1.0), ERangeError);
  EXPECT_EQ(x->GetData(), before) << "the block was not replaced";
  EXPECT_EQ(Contents(x.get()), (std::vector<double>{1, 2, 3}));
}

// ---------------------------------------------------------------------------
// Minimum, maximum and the range operations

enum class Extreme { Min, Max, RangeMin, RangeMax, ValidRangeMin, ValidRangeMax };

struct ExtremeRow {
  const char* name;
  Extreme extreme;
  std::vector<double> data;
  std::int32_t from, to;
  double expected;
};

double Evaluate(ITrelRealBuffer* buffer, const ExtremeRow& row) {
  switch (row.extreme) {
    case Extreme::Min:
      return buffer->Min();
    case Extreme::Max:
      return buffer->Max();
    case Extreme::RangeMin:
      return buffer->RangeMin(row.from, row.to);
    case Extreme::RangeMax:
      return buffer->RangeMax(row.from, row.to);
    case Extreme::ValidRangeMin:
      return buffer->ValidRangeMin(row.from, row.to);
    case Extreme::ValidRangeMax:
      return buffer->ValidRangeMax(row.from, row.to);
  }
  return kNaN;
}

class RealExtremeTest : public ::testing::TestWithParam<ExtremeRow> {};

TEST_P(RealExtremeTest, GivesTheExpectedValue) {
  const ExtremeRow& row = GetParam();
  IPtr<ITrelRealBuffer> buffer = RealFrom(row.data);
  const double result = Evaluate(buffer.get(), row);
  EXPECT_TRUE(Same(result, row.expected)) << result << " != " << row.expected;
}

const std::vector<double> kTen{-9, -8, 3, 1, 4, 1, 5, 9, 2, 6};
const std::vector<double> kMarked{1.7e308, 3, 9, -1.7e308};
const std::vector<double> kGappy{kNaN, -2, 1.7e308, -1.7e308, 5};

INSTANTIATE_TEST_SUITE_P(
    Rows, RealExtremeTest,
    ::testing::Values(
        ExtremeRow{"MinOfAll", Extreme::Min, kTen, 0, 0, -9},
        ExtremeRow{"MaxOfAll", Extreme::Max, kTen, 0, 0, 9},
        ExtremeRow{"MinOfEmptyIsZero", Extreme::Min, {}, 0, 0, 0.0},
        ExtremeRow{"MaxOfEmptyIsZero", Extreme::Max, {}, 0, 0, 0.0},
        ExtremeRow{"MinSkipsNaN", Extreme::Min, {kNaN, 3, 1}, 0, 0, 1},
        ExtremeRow{"ToClampedToCount", Extreme::RangeMin, kTen, 2, 100, 1},
        ExtremeRow{"FromPastEndTakesLastElement", Extreme::RangeMin, kTen, 12, 100, 6},
        ExtremeRow{"NegativeFromStartsAtZero", Extreme::RangeMax, kTen, -5, 2, -8},
        ExtremeRow{"EqualBoundsGiveZero", Extreme::RangeMin, kTen, 4, 4, 0.0},
        ExtremeRow{"InvertedRangeGivesZero", Extreme::RangeMin, kTen, 5, 3, 0.0},
        ExtremeRow{"InvertedAfterClampingGivesZero", Extreme::RangeMax, kTen, 12, 5, 0.0},
        ExtremeRow{"NegativeRangeGivesZero", Extreme::RangeMin, kTen, -5, -1, 0.0},
        ExtremeRow{"RangeOnEmptyGivesZero", Extreme::RangeMin, {}, 0, 5, 0.0},
        ExtremeRow{"ValidRangeOnEmptyGivesZero", Extreme::ValidRangeMax, {}, -1, 1, 0.0},
        ExtremeRow{"ValidMaxSkipsMarkers", Extreme::ValidRangeMax, kMarked, 0, 4, 9},
        ExtremeRow{"ValidMinStartsFromZeroAtMarker", Extreme::ValidRangeMin, kMarked, 0, 4, 0.0},
        ExtremeRow{"ValidMinSkipsNaNAndMarkers", Extreme::ValidRangeMin, kGappy, 0, 5, -2},
        ExtremeRow{"ValidMaxSkipsNaNAndMarkers", Extreme::ValidRangeMax, kGappy, 0, 5, 5},
        ExtremeRow{"ValidMinInsideRange", Extreme::ValidRangeMin, kGappy, 2, 5, 0.0},
        ExtremeRow{
            "ValidMinBelowLowMarkerStartsFromZero", Extreme::ValidRangeMin, {-kInf, 4}, 0, 2, 0.0},
        ExtremeRow{"ValidMaxKeepsMinusInfinityStart", Extreme::ValidRangeMax, {-kInf, 4}, 0, 2, 4},
        ExtremeRow{
            "ValidMinTakesLaterMinusInfinity", Extreme::ValidRangeMin, {2, -kInf}, 0, 2, -kInf},
        ExtremeRow{"ValidInvertedGivesZero", Extreme::ValidRangeMin, kTen, 6, 2, 0.0}),
    [](const ::testing::TestParamInfo<ExtremeRow>& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------
// Index errors

TEST(TypedBufferIndexTest, OutOfRangeIndexesRaiseWithTheUnsignedIndex) {
  IPtr<ITrelRealBuffer> real = RealFrom({1, 2, 3, 4, 5});
  IPtr<ITrelIntegerBuffer> integer = IntegerFrom({1, 2});
  IPtr<ITrelComplexBuffer> complex = ComplexFrom({{1, 2}, {3, 4}});
  struct Row {
    const char* name;
    std::function<void()> call;
    const char* message;
  };
  const Row rows[] = {
      {"RealGetPastEnd", [&] { real->GetValue(5); }, "Index out of rabge = 5"},
      {"RealGetNegative", [&] { real->GetValue(-1); }, "Index out of rabge = 4294967295"},
      {"RealSetPastEnd", [&] { real->SetValue(5, 0); }, "Index out of rabge = 5"},
      {"IntegerGetNegative", [&] { integer->GetValue(-2); }, "Index out of rabge = 4294967294"},
      {"IntegerSetPastEnd", [&] { integer->SetValue(2, 0); }, "Index out of rabge = 2"},
      {"ComplexGetPastEnd", [&] { complex->GetValue(2); }, "Index out of rabge = 2"},
      {"ComplexSetNegative", [&] { complex->SetValue(-1, 0); }, "Index out of rabge = 4294967295"},
  };
  for (const Row& row : rows) {
    try {
      row.call();
      ADD_FAILURE() << row.name << ": no exception";
    } catch (const ERangeError& e) {
      EXPECT_EQ(e.Message(), row.message) << row.name;
    }
  }
  EXPECT_EQ(Contents(real.get()), (std::vector<double>{1, 2, 3, 4, 5}));
  EXPECT_EQ(real->GetValue(4), 5);
}

TEST(TypedBufferIndexTest, SetValueMakesTheBlockPrivateBeforeTheCheck) {
  IPtr<ITrelRealBuffer> real = RealFrom({1, 2, 3});
  IPtr<ITrelRealBuffer> other = Supports<ITrelRealBuffer>(real->Clone());
  const double* shared = real->GetData();
  EXPECT_THROW(real->SetValue(3, 9), ERangeError);
  EXPECT_NE(real->GetData(), shared);
  EXPECT_EQ(Contents(real.get()), (std::vector<double>{1, 2, 3}));
  real->SetValue(0, 9);
  EXPECT_EQ(Contents(other.get()), (std::vector<double>{1, 2, 3}));
}

// ---------------------------------------------------------------------------
// Integer buffers

std::int32_t Saturate(std::int64_t v) {
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, kMinInt, kMaxInt));
}

// a / b rounded to nearest, ties to even, saturated; a zero divisor gives
// the extreme of the dividend's sign (0 for 0).
std::int32_t RoundedQuotient(std::int64_t a, std::int64_t b) {
  if (b == 0) {
    return a > 0 ? kMaxInt : (a < 0 ? kMinInt : 0);
  }
  std::int64_t q = a / b;
  const std::int64_t r = a % b;
  const std::int64_t twice = 2 * (r < 0 ? -r : r);
  const std::int64_t divisor = b < 0 ? -b : b;
  const bool negative = (a < 0) != (b < 0);
  if (twice > divisor || (twice == divisor && q % 2 != 0)) {
    q += negative ? -1 : 1;
  }
  return Saturate(q);
}

std::vector<std::int32_t> IntegerReference(Op op, std::vector<std::int32_t> a,
                                           const std::vector<std::int32_t>& b) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const std::int64_t x = a[i];
    const std::int64_t y = b[i];
    switch (op) {
      case Op::Add:
        a[i] = Saturate(x + y);
        break;
      case Op::Subtract:
        a[i] = Saturate(x - y);
        break;
      case Op::Multiply:
        a[i] = Saturate(x * y);
        break;
      case Op::Divide:
        a[i] = RoundedQuotient(x, y);
        break;
    }
  }
  return a;
}

struct IntegerRow {
  const char* name;
  Op op;
  std::vector<std::int32_t> a, b;
};

class IntegerArithmeticTest : public ::testing::TestWithParam<IntegerRow> {};

TEST_P(IntegerArithmeticTest, MatchesThePlainLoop) {
  const IntegerRow& row = GetParam();
  for (const bool shared : {false, true}) {
    IPtr<ITrelIntegerBuffer> target = IntegerFrom(row.a);
    IPtr<ITrelIntegerBuffer> operand = IntegerFrom(row.b);
    IPtr<ITrelDataBuffer> clone = shared ? target->Clone() : nullptr;
    Apply(row.op, target.get(), operand.get());
    EXPECT_EQ(Contents(target->GetData(), target->GetCount()),
              IntegerReference(row.op, row.a, row.b))
        << (shared ? "shared" : "exclusive");
    if (clone) {
      IPtr<ITrelIntegerBuffer> other = Supports<ITrelIntegerBuffer>(clone);
      EXPECT_EQ(Contents(other->GetData(), other->GetCount()), row.a);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, IntegerArithmeticTest,
    ::testing::Values(
        IntegerRow{"AddSaturates", Op::Add, {kMaxInt, -5, kMinInt}, {1, 3, -1}},
        IntegerRow{"SubtractIsThisMinusOperand", Op::Subtract, {kMinInt, 10}, {1, 20}},
        IntegerRow{"MultiplySaturates", Op::Multiply, {65536, -3, 7}, {65536, 4, -2}},
        IntegerRow{
            "DivideRoundsToNearestEven", Op::Divide, {7, 5, 8, -7, kMinInt}, {2, 2, 3, 2, -1}},
        IntegerRow{"DivideByZeroGivesExtremes", Op::Divide, {5, -5, 0}, {0, 0, 0}},
        IntegerRow{"ShorterOperand", Op::Add, {1, 2, 3}, {10}}),
    [](const ::testing::TestParamInfo<IntegerRow>& info) { return std::string(info.param.name); });

TEST(IntegerBufferTest, ZeroClearsExactlyTheElements) {
  IPtr<ITrelIntegerBuffer> x = IntegerFrom({-1, -1, -1, -1, -1});
  x->SetCount(3, true);  // same block, smaller view
  x->Zero();
  x->SetCount(5, true);  // grows back in place
  EXPECT_EQ(Contents(x->GetData(), 5), (std::vector<std::int32_t>{0, 0, 0, -1, -1}));
  x->Fill(kMinInt);
  EXPECT_EQ(Contents(x->GetData(), 5), std::vector<std::int32_t>(5, kMinInt));
}

TEST(IntegerBufferTest, MinAndMaxCompareSigned) {
  IPtr<ITrelIntegerBuffer> x = IntegerFrom({3, -7, kMaxInt, 0, kMinInt});
  EXPECT_EQ(x->Min(), kMinInt);
  EXPECT_EQ(x->Max(), kMaxInt);
  IPtr<ITrelIntegerBuffer> empty = TTrelIntegerBuffer::CreateEmpty();
  EXPECT_EQ(empty->Min(), 0);
  EXPECT_EQ(empty->Max(), 0);
}

// ---------------------------------------------------------------------------
// Complex buffers

TEST(ComplexBufferTest, OperationsMatchTheStandardArithmetic) {
  using C = std::complex<double>;
  const std::vector<C> a{{1, 2}, {-3, 0.5}, {4, -4}};
  const std::vector<C> b{{0.5, -1}, {2, 2}, {-1, 3}};
  for (const Op op : {Op::Add, Op::Subtract, Op::Multiply, Op::Divide}) {
    IPtr<ITrelComplexBuffer> target = ComplexFrom(a);
    IPtr<ITrelComplexBuffer> operand = ComplexFrom(b);
    IPtr<ITrelDataBuffer> clone = target->Clone();
    Apply(op, target.get(), operand.get());
    for (std::size_t i = 0; i < a.size(); ++i) {
      C expected = a[i];
      switch (op) {
        case Op::Add:
          expected += b[i];
          break;
        case Op::Subtract:
          expected -= b[i];
          break;
        case Op::Multiply:
          expected *= b[i];
          break;
        case Op::Divide:
          expected /= b[i];
          break;
      }
      const C actual = target->GetValue(static_cast<std::int32_t>(i));
      EXPECT_NEAR(actual.real(), expected.real(), 1e-15 * std::abs(expected)) << i;
      EXPECT_NEAR(actual.imag(), expected.imag(), 1e-15 * std::abs(expected)) << i;
    }
    IPtr<ITrelComplexBuffer> other = Supports<ITrelComplexBuffer>(clone);
    EXPECT_EQ(Contents(other->GetData(), other->GetCount()), a);
  }
}

TEST(ComplexBufferTest, ZeroDivisorAndOverwritingOperations) {
  IPtr<ITrelComplexBuffer> x = ComplexFrom({{1, 1}, {2, 2}});
  IPtr<ITrelComplexBuffer> divisor = ComplexFrom({{0, 0}});
  x->Divide(divisor.get());  // common length 1
  EXPECT_TRUE(std::isnan(x->GetValue(0).real()));
  EXPECT_TRUE(std::isnan(x->GetValue(0).imag()));
  EXPECT_EQ(x->GetValue(1), std::complex<double>(2, 2));
  x->Fill({1.5, -2});
  EXPECT_EQ(x->GetValue(0), std::complex<double>(1.5, -2));
  EXPECT_EQ(x->GetValue(1), std::complex<double>(1.5, -2));
  x->Zero();
  EXPECT_EQ(x->GetValue(1), std::complex<double>(0, 0));
}

// ---------------------------------------------------------------------------
// Block buffers

TEST(BlockBufferTest, ArithmeticSaturatesAndDivisionTruncates) {
  struct Row {
    const char* name;
    Op op;
    std::vector<std::uint8_t> a, b, expected;
  };
  const Row rows[] = {
      {"AddSaturatesAt255", Op::Add, {200, 1, 255}, {100, 2, 0}, {255, 3, 255}},
      {"SubtractStopsAtZero", Op::Subtract, {5, 200}, {10, 50}, {0, 150}},
      {"MultiplySaturates", Op::Multiply, {16, 3}, {16, 5}, {255, 15}},
      {"DivideTruncates", Op::Divide, {100, 7, 255}, {10, 2, 16}, {10, 3, 15}},
      {"ShorterOperand", Op::Add, {1, 2, 3}, {1}, {2, 2, 3}},
  };
  for (const Row& row : rows) {
    IPtr<ITrelBlockBuffer> target = BlockFrom(row.a);
    IPtr<ITrelBlockBuffer> operand = BlockFrom(row.b);
    IPtr<ITrelDataBuffer> clone = target->Clone();
    Apply(row.op, target.get(), operand.get());
    EXPECT_EQ(Contents(target->GetData(), target->GetCount()), row.expected) << row.name;
    IPtr<ITrelBlockBuffer> other = Supports<ITrelBlockBuffer>(clone);
    EXPECT_EQ(Contents(other->GetData(), other->GetCount()), row.a) << row.name;
  }
}

TEST(BlockBufferTest, ZeroDivisorRaisesAtItsElement) {
  IPtr<ITrelBlockBuffer> x = BlockFrom({100, 50, 9, 9});
  IPtr<ITrelBlockBuffer> divisor = BlockFrom({10, 0, 3, 3});
  try {
    x->Divide(divisor.get());
    ADD_FAILURE() << "no exception";
  } catch (const EDivByZero& e) {
    EXPECT_EQ(e.Message(), "Division par zéro");
  }
  EXPECT_EQ(Contents(x->GetData(), 4), (std::vector<std::uint8_t>{10, 50, 9, 9}));
  x->Fill(7);
  EXPECT_EQ(Contents(x->GetData(), 4), std::vector<std::uint8_t>(4, 7));
  x->Zero();
  EXPECT_EQ(Contents(x->GetData(), 4), std::vector<std::uint8_t>(4, 0));
}

// ---------------------------------------------------------------------------
// Named constructors

TEST(TypedBufferConstructionTest, ConstructorsFillAsTheySay) {
  IPtr<ITrelRealBuffer> empty = TTrelRealBuffer::CreateEmpty();
  EXPECT_EQ(empty->GetCount(), 0);
  EXPECT_EQ(static_cast<TTrelMemoryBuffer*>(empty->GetBufferObject())->MemoryBlock()->Capacity(),
            4u);

  const std::int32_t ints[] = {-2, 0, kMaxInt, kMinInt};
  IPtr<ITrelRealBuffer> converted = TTrelRealBuffer::CreateConverted(ints, 4);
  EXPECT_EQ(Contents(converted.get()), (std::vector<double>{-2, 0, kMaxInt, kMinInt}));

  std::vector<double> source{1, 2, 3};
  IPtr<ITrelRealBuffer> copied = RealFrom(source);
  source[0] = 99;
  EXPECT_EQ(Contents(copied.get()), (std::vector<double>{1, 2, 3}));
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(copied->GetData()) % 32, 0u);

  IPtr<ITrelRealBuffer> shared = TTrelRealBuffer::CreateShared(copied.get());
  IPtr<ITrelRealBuffer> sharedData = TTrelRealBuffer::CreateSharedData(copied.get());
  EXPECT_EQ(shared->GetData(), copied->GetData());
  EXPECT_EQ(sharedData->GetData(), copied->GetData());
  IPtr<ITrelIntegerBuffer> sharedInts = TTrelIntegerBuffer::CreateShared(copied.get());
  EXPECT_EQ(sharedInts->GetCount(), 6);

  EXPECT_EQ(TTrelComplexBuffer::CreateCount(3)->GetByteSize(), 48);
  EXPECT_EQ(TTrelBlockBuffer::CreateSize(5)->GetCount(), 5);
  EXPECT_EQ(TTrelIntegerBuffer::CreateCount(5)->GetByteSize(), 20);
}

TEST(TypedBufferConstructionTest, ImpossibleSizesAndMissingDataAreRefused) {
  const std::uint64_t heapBefore = SmartBufferManager()->HeapAllocationCount();
  struct Row {
    const char* name;
    std::function<void()> make;
  };
  const Row sizes[] = {
      {"NegativeCount", [] { TTrelRealBuffer::CreateCount(-1); }},
      {"RealAboveLimit", [] { TTrelRealBuffer::CreateCount((1 << 27) + 1); }},
      {"RealProductOverflows", [] { TTrelRealBuffer::CreateCount(kMaxInt); }},
      {"IntegerAboveLimit", [] { TTrelIntegerBuffer::CreateCount((1 << 28) + 1); }},
      {"ComplexAboveLimit", [] { TTrelComplexBuffer::CreateCount((1 << 26) + 1); }},
      {"BlockAboveLimit", [] { TTrelBlockBuffer::CreateSize((1 << 30) + 1); }},
  };
  for (const Row& row : sizes) {
    EXPECT_THROW(row.make(), ERangeError) << row.name;
  }
  EXPECT_THROW(TTrelRealBuffer::CreateFromData(nullptr, 2), EInvalidPointer);
  EXPECT_THROW(TTrelRealBuffer::CreateConverted(nullptr, 2), EInvalidPointer);
  EXPECT_THROW(TTrelRealBuffer::CreateShared(nullptr), EInvalidPointer);
  EXPECT_EQ(SmartBufferManager()->HeapAllocationCount(), heapBefore);
  EXPECT_EQ(TTrelRealBuffer::CreateFromData(nullptr, 0)->GetCount(), 0);
}

template <class Interface>
bool Answers(ITrelDataBuffer* buffer) {
  return static_cast<bool>(Supports<Interface>(buffer));
}

TEST(TypedBufferConstructionTest, EachKindAnswersItsOwnInterface) {
  IPtr<ITrelDataBuffer> buffers[] = {
      TTrelRealBuffer::CreateCount(1), TTrelIntegerBuffer::CreateCount(1),
      TTrelComplexBuffer::CreateCount(1), TTrelBlockBuffer::CreateSize(1)};
  bool (*const asks[])(ITrelDataBuffer*) = {Answers<ITrelRealBuffer>, Answers<ITrelIntegerBuffer>,
                                            Answers<ITrelComplexBuffer>, Answers<ITrelBlockBuffer>};
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) {
      EXPECT_EQ(asks[j](buffers[i].get()), i == j) << i << " asked for " << j;
    }
    EXPECT_TRUE(Answers<ITrelDataBuffer>(buffers[i].get())) << i;
    EXPECT_TRUE(Answers<IInterface>(buffers[i].get())) << i;
  }
}

}  // namespace
