// Binding of the transform unit's pointer variables: the dispatch rule by
// processor-type code, the slots every processor-specific variant fills, and
// the portable variants the program binds.
#include "signal/transforms/MoskDispatcher.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "signal/transforms/VectorIirVariants.h"

namespace {

using V = PrimitiveVariant;

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

// The slots of one pointer variable, saved when the fixture starts and put
// back when it ends, with the variable unbound.
template <typename P>
class SavedSlots {
 public:
  explicit SavedSlots(P& pointer) : pointer_(pointer) {
    for (const V letter : {V::A, V::B, V::C}) {
      saved_.push_back(pointer.Variant(letter));
    }
  }
  ~SavedSlots() {
    int i = 0;
    for (const V letter : {V::A, V::B, V::C}) {
      pointer_.SetVariant(letter, saved_[i++]);
    }
    pointer_.ResetToStubForTesting();
  }
  SavedSlots(const SavedSlots&) = delete;
  SavedSlots& operator=(const SavedSlots&) = delete;

 private:
  P& pointer_;
  std::vector<typename P::Function*> saved_;
};

// Restores code 0, the real slots and unbound variables after each test.
class DispatchTest : public ::testing::Test {
 protected:
  void TearDown() override { SetCpuTypeCodeForTesting(0); }

  SavedSlots<decltype(RealFftForward)> forward_{RealFftForward};
  SavedSlots<decltype(IirFilterFloatInPlace)> filter_{IirFilterFloatInPlace};
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
  RealFftForward.SetVariant(V::A, &FakeForward<kMarkerA>);
  RealFftForward.SetVariant(V::B, &FakeForward<kMarkerB>);
  RealFftForward.SetVariant(V::C, &FakeForward<kMarkerC>);
  IirFilterFloatInPlace.SetVariant(V::A, &FakeFilter<kMarkerA>);
  IirFilterFloatInPlace.SetVariant(V::B, &FakeFilter<kMarkerB>);
  IirFilterFloatInPlace.SetVariant(V::C, &FakeFilter<kMarkerC>);
  const bool hasC = CpuSupportsVariant(V::C);
  const PrimitiveStatus markerC = hasC ? kMarkerC : StatusNullPointer;
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
      {16, markerC, markerC},
      {17, markerC, markerC},
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

// The slots of the conjugate extension, magnitude, conversions and IIR
// primitives: every letter filled, with the letter's own function where
// the letter has code of its own and the portable function where its
// variant is the portable code (A's conjugate extension, every free); the
// filter has no B.
TEST_F(DispatchTest, EverySlotIsFilled) {
  EXPECT_EQ(VectorConjugateExtendComplexInPlace.Variant(V::A),
            &VectorConjugateExtendComplexInPlacePortable);
  EXPECT_EQ(VectorConjugateExtendComplexInPlace.Variant(V::B),
            &VectorConjugateExtendComplexInPlaceB);
  EXPECT_EQ(VectorConjugateExtendComplexInPlace.Variant(V::C),
            &VectorConjugateExtendComplexInPlaceC);
  EXPECT_EQ(VectorMagnitudeComplex.Variant(V::A), &VectorMagnitudeComplexA);
  EXPECT_EQ(VectorMagnitudeComplex.Variant(V::B), &VectorMagnitudeComplexB);
  EXPECT_EQ(VectorMagnitudeComplex.Variant(V::C), &VectorMagnitudeComplexC);
  EXPECT_EQ(RoiConvertInt16ToFloat.Variant(V::A), &RoiConvertInt16ToFloatA);
  EXPECT_EQ(RoiConvertInt16ToFloat.Variant(V::B), &RoiConvertInt16ToFloatB);
  EXPECT_EQ(RoiConvertInt16ToFloat.Variant(V::C), &RoiConvertInt16ToFloatC);
  EXPECT_EQ(RoiConvertFloatToInt16.Variant(V::A), &RoiConvertFloatToInt16A);
  EXPECT_EQ(RoiConvertFloatToInt16.Variant(V::B), &RoiConvertFloatToInt16B);
  EXPECT_EQ(RoiConvertFloatToInt16.Variant(V::C), &RoiConvertFloatToInt16C);
  EXPECT_EQ(RoiConvertFloatToInt8.Variant(V::A), &RoiConvertFloatToInt8A);
  EXPECT_EQ(RoiConvertFloatToInt8.Variant(V::B), &RoiConvertFloatToInt8B);
  EXPECT_EQ(RoiConvertFloatToInt8.Variant(V::C), &RoiConvertFloatToInt8C);
  EXPECT_EQ(IirCreateState.Variant(V::A), &IirCreateStateA);
  EXPECT_EQ(IirCreateState.Variant(V::B), &IirCreateStateB);
  EXPECT_EQ(IirCreateState.Variant(V::C), &IirCreateStateC);
  for (const V letter : {V::A, V::B, V::C}) {
    EXPECT_EQ(IirFreeState.Variant(letter), &IirFreeStatePortable);
  }
  EXPECT_EQ(IirFilterFloatInPlace.Variant(V::A), &IirFilterFloatInPlaceA);
  EXPECT_EQ(IirFilterFloatInPlace.Variant(V::B), nullptr);
  EXPECT_EQ(IirFilterFloatInPlace.Variant(V::C), &IirFilterFloatInPlaceC);
}

// With the real slots, code 7 binds B's create and the portable filter,
// which filter correctly together (the portable filter reads only the
// header words every create fills); code 5 binds A for both, 16 C for both
// (where the processor has C), and 15 or 18 the portable variants.
TEST_F(DispatchTest, CodesBindTheRealCreateAndFilter) {
  struct Row {
    std::int32_t code;
    decltype(IirCreateState)::Function* create;
    decltype(IirFilterFloatInPlace)::Function* filter;
  };
  const bool hasC = CpuSupportsVariant(V::C);
  const Row rows[] = {
      {5, &IirCreateStateA, &IirFilterFloatInPlaceA},
      {7, &IirCreateStateB, &IirFilterFloatInPlacePortable},
      {16, hasC ? &IirCreateStateC : &IirCreateStatePortable,
       hasC ? &IirFilterFloatInPlaceC : &IirFilterFloatInPlacePortable},
      {15, &IirCreateStatePortable, &IirFilterFloatInPlacePortable},
      {18, &IirCreateStatePortable, &IirFilterFloatInPlacePortable},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.code);
    SetCpuTypeCodeForTesting(row.code);
    IirCreateState.ResetToStubForTesting();
    IirFreeState.ResetToStubForTesting();
    IirFilterFloatInPlace.ResetToStubForTesting();
    // The DC blocker at 44100 Hz over a step of 1000: 0, then 1000 R^n.
    const float r = static_cast<float>(1.0L - 40.0L * 3.14159265358979323846L / 44100.0L);
    const float taps[6] = {0.0f, -1.0f, 1.0f, -1.0f, r, 0.0f};
    IirState* state = nullptr;
    ASSERT_EQ(IirCreateState(&state, taps, 2, nullptr), StatusOk);
    EXPECT_EQ(IirCreateState.Target(), row.create);
    std::vector<float> block(64, 1000.0f);
    ASSERT_EQ(IirFilterFloatInPlace(block.data(), 64, state), StatusOk);
    EXPECT_EQ(IirFilterFloatInPlace.Target(), row.filter);
    EXPECT_EQ(block[0], 0.0f);
    long double expected = 1000.0L;
    for (std::size_t n = 1; n < block.size(); ++n) {
      EXPECT_NEAR(block[n], static_cast<double>(expected), 1e-3) << "sample " << n;
      expected *= r;
    }
    EXPECT_EQ(IirFreeState(state), StatusOk);
    EXPECT_EQ(IirFreeState.Target(), &IirFreeStatePortable);
  }
  SetCpuTypeCodeForTesting(0);
  IirCreateState.ResetToStubForTesting();
  IirFreeState.ResetToStubForTesting();
  IirFilterFloatInPlace.ResetToStubForTesting();
}

}  // namespace
