// Binding of the transform unit's pointer variables.
#include "signal/transforms/MoskDispatcher.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

// Stand-ins for processor-specific variants: each returns its own marker.
constexpr PrimitiveStatus kMarkerA = 105;
constexpr PrimitiveStatus kMarkerB = 106;
constexpr PrimitiveStatus kMarkerC = 116;

template <PrimitiveStatus Marker>
PrimitiveStatus FakeForward(const double*, double*, const RealFftSpec*, std::uint8_t*) {
  return Marker;
}

template <PrimitiveStatus Marker>
PrimitiveStatus FakeFilter(float*, std::int32_t, IirState*) {
  return Marker;
}

// Restores code 0, empty slots and unbound variables after each test.
class DispatchTest : public ::testing::Test {
 protected:
  void TearDown() override {
    SetCpuTypeCodeForTesting(0);
    for (const PrimitiveVariant variant :
         {PrimitiveVariant::A, PrimitiveVariant::B, PrimitiveVariant::C}) {
      RealFftForward.SetVariant(variant, nullptr);
      IirFilterFloatInPlace.SetVariant(variant, nullptr);
    }
    RealFftForward.ResetToStubForTesting();
    IirFilterFloatInPlace.ResetToStubForTesting();
  }
};

// A first call binds the portable variant even when it fails a check, and
// returns what the variant returns.
TEST_F(DispatchTest, FirstCallBindsThePortableVariant) {
  RealFftForward.ResetToStubForTesting();
  IirFilterFloatInPlace.ResetToStubForTesting();
  ASSERT_EQ(RealFftForward.Target(), RealFftForward.Stub());
  EXPECT_EQ(RealFftForward(nullptr, nullptr, nullptr, nullptr), StatusNullPointer);
  EXPECT_EQ(RealFftForward.Target(), &RealFftForwardPortable);
  EXPECT_EQ(IirFilterFloatInPlace(nullptr, 0, nullptr), StatusNullPointer);
  EXPECT_EQ(IirFilterFloatInPlace.Target(), &IirFilterFloatInPlacePortable);

  // Every other primitive of the unit binds on its first call too.
  EXPECT_EQ(VectorConjugateExtendComplexInPlace(nullptr, 1), StatusNullPointer);
  EXPECT_EQ(VectorConjugateExtendComplexInPlace.Target(),
            &VectorConjugateExtendComplexInPlacePortable);
  EXPECT_EQ(VectorMagnitudeComplex(nullptr, nullptr, 1), StatusNullPointer);
  EXPECT_EQ(VectorMagnitudeComplex.Target(), &VectorMagnitudeComplexPortable);
  EXPECT_EQ(RealFftCreateSpec(nullptr, 31, 3, 0), StatusNullPointer);
  EXPECT_EQ(RealFftCreateSpec.Target(), &RealFftCreateSpecPortable);
  EXPECT_EQ(RealFftFreeSpec(nullptr), StatusNullPointer);
  EXPECT_EQ(RealFftFreeSpec.Target(), &RealFftFreeSpecPortable);
  EXPECT_EQ(RoiConvertInt16ToFloat(nullptr, 2, nullptr, 4, 1, 1), StatusNullPointer);
  EXPECT_EQ(RoiConvertInt16ToFloat.Target(), &RoiConvertInt16ToFloatPortable);
  EXPECT_EQ(RoiConvertFloatToInt16(nullptr, 4, nullptr, 2, 1, 1, 1), StatusNullPointer);
  EXPECT_EQ(RoiConvertFloatToInt16.Target(), &RoiConvertFloatToInt16Portable);
  EXPECT_EQ(RoiConvertFloatToInt8(nullptr, 4, nullptr, 1, 1, 1, 1), StatusNullPointer);
  EXPECT_EQ(RoiConvertFloatToInt8.Target(), &RoiConvertFloatToInt8Portable);
  EXPECT_EQ(IirCreateState(nullptr, nullptr, 0, nullptr), StatusNullPointer);
  EXPECT_EQ(IirCreateState.Target(), &IirCreateStatePortable);
  EXPECT_EQ(IirFreeState(nullptr), StatusNullPointer);
  EXPECT_EQ(IirFreeState.Target(), &IirFreeStatePortable);
}

// Which variant each processor-type code binds. The filter has no variant
// B, so codes 6 to 9 bind its portable variant.
TEST_F(DispatchTest, ProcessorCodeSelectsTheVariant) {
  RealFftForward.SetVariant(PrimitiveVariant::A, &FakeForward<kMarkerA>);
  RealFftForward.SetVariant(PrimitiveVariant::B, &FakeForward<kMarkerB>);
  RealFftForward.SetVariant(PrimitiveVariant::C, &FakeForward<kMarkerC>);
  IirFilterFloatInPlace.SetVariant(PrimitiveVariant::A, &FakeFilter<kMarkerA>);
  IirFilterFloatInPlace.SetVariant(PrimitiveVariant::B, &FakeFilter<kMarkerB>);
  IirFilterFloatInPlace.SetVariant(PrimitiveVariant::C, &FakeFilter<kMarkerC>);
  struct Row {
    std::int32_t code;
    PrimitiveStatus forward;
    PrimitiveStatus filter;
  };
  const Row rows[] = {
      {0, StatusNullPointer, StatusNullPointer},
      {-3, StatusNullPointer, StatusNullPointer},
      {4, StatusNullPointer, StatusNullPointer},
      {5, kMarkerA, kMarkerA},
      {6, kMarkerB, StatusNullPointer},
      {7, kMarkerB, StatusNullPointer},
      {9, kMarkerB, StatusNullPointer},
      {10, StatusNullPointer, StatusNullPointer},
      {15, StatusNullPointer, StatusNullPointer},
      {16, kMarkerC, kMarkerC},
      {17, kMarkerC, kMarkerC},
      {18, StatusNullPointer, StatusNullPointer},
  };
  for (const Row& row : rows) {
    SetCpuTypeCodeForTesting(row.code);
    RealFftForward.ResetToStubForTesting();
    IirFilterFloatInPlace.ResetToStubForTesting();
    EXPECT_EQ(RealFftForward(nullptr, nullptr, nullptr, nullptr), row.forward) << row.code;
    EXPECT_EQ(IirFilterFloatInPlace(nullptr, 0, nullptr), row.filter) << row.code;
    // Bound now: a changed code does not matter any more.
    SetCpuTypeCodeForTesting(0);
    EXPECT_EQ(RealFftForward(nullptr, nullptr, nullptr, nullptr), row.forward) << row.code;
  }
}

}  // namespace
