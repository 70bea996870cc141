#include "signal/primitives/PrimitiveDispatch.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "signal/primitives/MoskBasicDispatcher.h"
#include "signal/primitives/TrelBasicDispatcher.h"
#include "signal/primitives/TrelScopeDispatcher.h"

namespace {

using V = PrimitiveVariant;
using F = VariantFamily;

struct SelectionRow {
  const char* name;
  std::int32_t code;
  V fourVariants;
  V variantsCA;
  V variantsBA;
};

class SelectVariantTest : public ::testing::TestWithParam<SelectionRow> {};

TEST_P(SelectVariantTest, FollowsTheDispatchTable) {
  const SelectionRow& row = GetParam();
  EXPECT_EQ(SelectVariant(row.code, F::FourVariants), row.fourVariants);
  EXPECT_EQ(SelectVariant(row.code, F::VariantsCA), row.variantsCA);
  EXPECT_EQ(SelectVariant(row.code, F::VariantsBA), row.variantsBA);
}

INSTANTIATE_TEST_SUITE_P(
    Codes, SelectVariantTest,
    ::testing::Values(
        SelectionRow{"zero_is_portable", 0, V::Portable, V::Portable, V::Portable},
        SelectionRow{"negative_is_portable", -5, V::Portable, V::Portable, V::Portable},
        SelectionRow{"four_is_portable", 4, V::Portable, V::Portable, V::Portable},
        SelectionRow{"five_is_a", 5, V::A, V::A, V::A},
        SelectionRow{"six_is_b_for_the_block_fill", 6, V::B, V::Portable, V::B},
        SelectionRow{"seven_is_b_only_for_four", 7, V::B, V::Portable, V::Portable},
        SelectionRow{"nine_is_b_only_for_four", 9, V::B, V::Portable, V::Portable},
        SelectionRow{"ten_is_portable", 10, V::Portable, V::Portable, V::Portable},
        SelectionRow{"sixteen_is_c", 16, V::C, V::C, V::Portable},
        SelectionRow{"seventeen_is_c", 17, V::C, V::C, V::Portable},
        SelectionRow{"eighteen_is_portable", 18, V::Portable, V::Portable, V::Portable}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CpuTypeCodeTest, StartsAtZero) {
  EXPECT_EQ(GetCpuTypeCode(), 0);
}

// Restores the processor-type code and the pointer variables a test touched,
// with the real variants back in the slots the fakes took.
class PointerBindingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const V letter : {V::A, V::B, V::C}) {
      addDouble_[static_cast<int>(letter)] = VectorAddDoubleInPlace.Variant(letter);
      setInt32_[static_cast<int>(letter)] = RoiSetInt32.Variant(letter);
      mulConstant_[static_cast<int>(letter)] = VectorMulConstantDouble.Variant(letter);
    }
  }
  void TearDown() override {
    SetCpuTypeCodeForTesting(0);
    ResetCpuSupportForTesting();
    for (const V letter : {V::A, V::B, V::C}) {
      VectorAddDoubleInPlace.SetVariant(letter, addDouble_[static_cast<int>(letter)]);
      RoiSetInt32.SetVariant(letter, setInt32_[static_cast<int>(letter)]);
      VectorMulConstantDouble.SetVariant(letter, mulConstant_[static_cast<int>(letter)]);
    }
    VectorAddDoubleInPlace.ResetToStubForTesting();
    RoiSetInt32.ResetToStubForTesting();
    VectorMulConstantDouble.ResetToStubForTesting();
  }

  decltype(VectorAddDoubleInPlace)::Function* addDouble_[4] = {};
  decltype(RoiSetInt32)::Function* setInt32_[4] = {};
  decltype(VectorMulConstantDouble)::Function* mulConstant_[4] = {};

  static inline int fakeCalls = 0;
  static PrimitiveStatus FakeAddDouble(const double*, double* srcDst, std::int32_t len) {
    ++fakeCalls;
    srcDst[0] = -1.0;
    return len;
  }
  static PrimitiveStatus FakeSetInt32(std::int32_t, std::int32_t*, std::int32_t, std::int32_t,
                                      std::int32_t) {
    ++fakeCalls;
    return 42;
  }
};

TEST_F(PointerBindingTest, FirstCallBindsThePortableVariantAndPassesArgumentsThrough) {
  VectorAddDoubleInPlace.ResetToStubForTesting();
  ASSERT_EQ(VectorAddDoubleInPlace.Target(), VectorAddDoubleInPlace.Stub());
  const double src[2] = {1.0, 2.0};
  double dst[2] = {10.0, 20.0};
  EXPECT_EQ(VectorAddDoubleInPlace(src, dst, 2), StatusOk);
  EXPECT_EQ(VectorAddDoubleInPlace.Target(), &VectorAddDoubleInPlacePortable);
  EXPECT_EQ(dst[0], 11.0);
  EXPECT_EQ(dst[1], 22.0);
  // Later calls reach the variant directly, with the same results.
  EXPECT_EQ(VectorAddDoubleInPlace(src, dst, 2), StatusOk);
  EXPECT_EQ(dst[1], 24.0);
  // An error status of the variant comes back through the stub unchanged.
  VectorAddDoubleInPlace.ResetToStubForTesting();
  EXPECT_EQ(VectorAddDoubleInPlace(nullptr, dst, 0), StatusNullPointer);
  EXPECT_EQ(VectorAddDoubleInPlace.Target(), &VectorAddDoubleInPlacePortable);
}

TEST_F(PointerBindingTest, ForcedCodeBindsAnInstalledVariantAndEmptySlotsFallBack) {
  VectorAddDoubleInPlace.SetVariant(V::A, &FakeAddDouble);
  VectorAddDoubleInPlace.SetVariant(V::C, nullptr);
  const double src[1] = {1.0};
  double dst[1] = {5.0};

  SetCpuTypeCodeForTesting(16);  // selects C, whose slot is empty
  VectorAddDoubleInPlace.ResetToStubForTesting();
  EXPECT_EQ(VectorAddDoubleInPlace(src, dst, 1), StatusOk);
  EXPECT_EQ(VectorAddDoubleInPlace.Target(), &VectorAddDoubleInPlacePortable);

  SetCpuTypeCodeForTesting(5);
  VectorAddDoubleInPlace.ResetToStubForTesting();
  fakeCalls = 0;
  EXPECT_EQ(VectorAddDoubleInPlace(src, dst, 7), 7);
  EXPECT_EQ(fakeCalls, 1);
  EXPECT_EQ(VectorAddDoubleInPlace.Target(), &FakeAddDouble);
  // A bound variable keeps its variant when the code changes again.
  SetCpuTypeCodeForTesting(0);
  EXPECT_EQ(VectorAddDoubleInPlace(src, dst, 3), 3);
  EXPECT_EQ(fakeCalls, 2);
}

// A forced code binds the letter's real variant, or the portable one when
// the processor check for that letter says no.
TEST_F(PointerBindingTest, ForcedCodeBindsTheRealVariantOnlyWhenTheCpuCheckPasses) {
  const double src[2] = {1.5, -2.0};
  double dst[2] = {0.0, 0.0};
  struct Case {
    std::int32_t code;
    V letter;
  };
  for (const Case c : {Case{5, V::A}, Case{7, V::B}, Case{16, V::C}}) {
    SetCpuTypeCodeForTesting(c.code);
    SetCpuSupportForTesting(c.letter, true);
    VectorMulConstantDouble.ResetToStubForTesting();
    EXPECT_EQ(VectorMulConstantDouble(src, 2.0, dst, 2), StatusOk);
    EXPECT_EQ(VectorMulConstantDouble.Target(), VectorMulConstantDouble.Variant(c.letter))
        << c.code;
    EXPECT_NE(VectorMulConstantDouble.Target(), &VectorMulConstantDoublePortable) << c.code;
    EXPECT_EQ(dst[1], -4.0);

    SetCpuSupportForTesting(c.letter, false);
    VectorMulConstantDouble.ResetToStubForTesting();
    EXPECT_EQ(VectorMulConstantDouble(src, 2.0, dst, 2), StatusOk);
    EXPECT_EQ(VectorMulConstantDouble.Target(), &VectorMulConstantDoublePortable) << c.code;
  }
}

TEST_F(PointerBindingTest, BlockFillBindsVariantBOnlyForCodeSix) {
  RoiSetInt32.SetVariant(V::B, &FakeSetInt32);
  std::int32_t block[1] = {0};
  for (const std::int32_t code : {7, 16}) {
    SetCpuTypeCodeForTesting(code);
    RoiSetInt32.ResetToStubForTesting();
    EXPECT_EQ(RoiSetInt32(3, block, 4, 1, 1), StatusOk) << code;
    EXPECT_EQ(RoiSetInt32.Target(), &RoiSetInt32Portable) << code;
  }
  SetCpuTypeCodeForTesting(6);
  RoiSetInt32.ResetToStubForTesting();
  EXPECT_EQ(RoiSetInt32(3, block, 4, 1, 1), 42);
  EXPECT_EQ(RoiSetInt32.Target(), &FakeSetInt32);
}

TEST_F(PointerBindingTest, BindVariantForTestingBindsTheNamedSlot) {
  VectorAddDoubleInPlace.SetVariant(V::C, &FakeAddDouble);
  VectorAddDoubleInPlace.BindVariantForTesting(V::C);
  EXPECT_EQ(VectorAddDoubleInPlace.Target(), &FakeAddDouble);
  VectorAddDoubleInPlace.SetVariant(V::B, nullptr);
  VectorAddDoubleInPlace.BindVariantForTesting(V::B);  // empty: portable
  EXPECT_EQ(VectorAddDoubleInPlace.Target(), &VectorAddDoubleInPlacePortable);
  VectorAddDoubleInPlace.SetVariant(V::Portable, &FakeAddDouble);  // refused
  EXPECT_EQ(VectorAddDoubleInPlace.Variant(V::Portable), &VectorAddDoubleInPlacePortable);
}

TEST(OverlappingCopyTest, StaysOnTheStubAndCopiesLikeVectorCopyDouble) {
  double buffer[5] = {0, 1, 2, 3, 4};
  ASSERT_EQ(VectorCopyDoubleOverlapping.Target(), VectorCopyDouble.Stub());
  EXPECT_EQ(VectorCopyDoubleOverlapping(buffer + 1, buffer, 4), StatusOk);
  EXPECT_EQ(VectorCopyDoubleOverlapping.Target(), VectorCopyDouble.Stub());
  EXPECT_EQ(VectorCopyDouble.Target(), &VectorCopyDoublePortable);
  const double expected[5] = {1, 2, 3, 4, 4};
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(buffer[i], expected[i]) << i;
  }
}

// Every pointer variable: its family (which decides the dispatch table),
// that code 0 selects its portable variant, which processor-specific slots
// hold a variant (every slot named for it, and no other), and that a forced
// code selects the letter's own function when the processor check for the
// letter passes and the portable variant when it says no.
struct PointerRow {
  const char* name;
  VariantFamily family;
  VariantFamily expected;
  bool selectsPortable;
  std::string filled;
  std::string expectedFilled;
  std::string forcedMismatches;
};

template <typename P, typename Fn>
PointerRow Row(const char* name, const P& pointer, Fn* portable, VariantFamily expected,
               const char* expectedFilled) {
  std::string filled;
  std::string mismatches;
  struct Forced {
    std::int32_t code;
    V letter;
    const char* text;
  };
  for (const Forced f : {Forced{5, V::A, "A"}, Forced{7, V::B, "B"}, Forced{16, V::C, "C"}}) {
    Fn* const own = pointer.Variant(f.letter);
    if (own == nullptr) {
      continue;
    }
    filled += f.text;
    // Code 7 selects B only for four-variant primitives, 16 C not for the
    // block fill (B, A and portable): those codes then select portable.
    const bool selectable = !(f.letter == V::B && pointer.Family() != F::FourVariants) &&
                            !(f.letter == V::C && pointer.Family() == F::VariantsBA);
    SetCpuTypeCodeForTesting(f.code);
    SetCpuSupportForTesting(f.letter, true);
    if (pointer.Select() != (selectable ? own : portable) || own == portable) {
      mismatches += f.text;
    }
    SetCpuSupportForTesting(f.letter, false);
    if (pointer.Select() != portable) {
      mismatches += f.text;
    }
    ResetCpuSupportForTesting();
    SetCpuTypeCodeForTesting(0);
  }
  return {name,   pointer.Family(), expected,  pointer.Select() == portable,
          filled, expectedFilled,   mismatches};
}

#define POINTER_ROW(name, expected, ...) Row(#name, name, &name##Portable, expected, "" __VA_ARGS__)

TEST(PointerTableTest, EveryPrimitiveHasItsFamilySlotsAndSelection) {
  const std::vector<PointerRow> rows = {
      POINTER_ROW(VectorAddInt32InPlaceScaled, F::FourVariants, "ABC"),
      POINTER_ROW(VectorSubInt32InPlaceScaled, F::FourVariants, "ABC"),
      POINTER_ROW(VectorMulInt32InPlaceScaled, F::FourVariants, "ABC"),
      POINTER_ROW(VectorDivInt32InPlaceScaled, F::FourVariants, "ABC"),
      POINTER_ROW(VectorAddDoubleInPlace, F::FourVariants, "ABC"),
      POINTER_ROW(VectorSubDoubleInPlace, F::FourVariants, "ABC"),
      POINTER_ROW(VectorMulDoubleInPlace, F::FourVariants, "ABC"),
      POINTER_ROW(VectorDivDoubleInPlace, F::FourVariants, "ABC"),
      POINTER_ROW(VectorAddComplexInPlace, F::FourVariants, "ABC"),
      POINTER_ROW(VectorSubComplexInPlace, F::FourVariants, "ABC"),
      POINTER_ROW(VectorMulComplexInPlace, F::FourVariants, "ABC"),
      POINTER_ROW(VectorDivComplexInPlace, F::FourVariants, "ABC"),
      POINTER_ROW(VectorAddUInt8InPlaceScaled, F::FourVariants, "ABC"),
      POINTER_ROW(VectorSubUInt8InPlaceScaled, F::FourVariants, "ABC"),
      POINTER_ROW(VectorMulUInt8InPlaceScaled, F::FourVariants, "ABC"),
      POINTER_ROW(VectorCopyDouble, F::FourVariants, "ABC"),
      POINTER_ROW(VectorCopyUInt8, F::FourVariants, "ABC"),
      POINTER_ROW(VectorSetInt32, F::FourVariants, "ABC"),
      POINTER_ROW(VectorSetDouble, F::FourVariants, "ABC"),
      POINTER_ROW(VectorSetComplex, F::FourVariants, "ABC"),
      POINTER_ROW(VectorSetUInt8, F::FourVariants, "ABC"),
      POINTER_ROW(VectorZeroInt16, F::FourVariants, "ABC"),
      POINTER_ROW(VectorZeroInt32, F::FourVariants, "ABC"),
      POINTER_ROW(VectorZeroDouble, F::FourVariants, "ABC"),
      POINTER_ROW(VectorZeroComplex, F::FourVariants, "ABC"),
      POINTER_ROW(VectorZeroUInt8, F::FourVariants, "ABC"),
      POINTER_ROW(VectorMaxDouble, F::FourVariants, "ABC"),
      POINTER_ROW(VectorMinDouble, F::FourVariants, "ABC"),
      POINTER_ROW(VectorChirpDouble, F::FourVariants, "ABC"),
      POINTER_ROW(VectorConvertInt32ToDouble, F::FourVariants, "ABC"),
      POINTER_ROW(VectorConvertFloatToInt32Scaled, F::FourVariants, "ABC"),
      POINTER_ROW(VectorConvertDoubleToInt32Scaled, F::FourVariants, "ABC"),
      POINTER_ROW(VectorMulConstantDouble, F::FourVariants, "ABC"),
      POINTER_ROW(VectorAddConstantInt32InPlaceScaled, F::VariantsCA, "AC"),
      POINTER_ROW(VectorSubFromConstantInt32InPlaceScaled, F::VariantsCA, "AC"),
      POINTER_ROW(VectorConvertDoubleToFloat, F::VariantsCA, "AC"),
      POINTER_ROW(VectorClampAboveInt32InPlace, F::VariantsCA, "AC"),
      POINTER_ROW(RoiAddInt16InPlaceScaled, F::FourVariants, "ABC"),
      POINTER_ROW(RoiSubInt16InPlaceScaled, F::FourVariants, "ABC"),
      POINTER_ROW(RoiMulInt16InPlaceScaled, F::FourVariants, "ABC"),
      POINTER_ROW(RoiDivInt16InPlaceScaled, F::FourVariants, "ABC"),
      POINTER_ROW(VectorSetInt16, F::FourVariants, "ABC"),
      POINTER_ROW(RoiCopyUInt8, F::FourVariants, "ABC"),
      POINTER_ROW(RoiCopyInt16, F::FourVariants, "ABC"),
      POINTER_ROW(RoiCopyInt32, F::FourVariants, "ABC"),
      POINTER_ROW(RoiConvertUInt8ToFloat, F::FourVariants, "ABC"),
      POINTER_ROW(RoiConvertUInt8ToInt16, F::FourVariants, "ABC"),
      POINTER_ROW(RoiConvertUInt8ToInt32, F::FourVariants, "ABC"),
      POINTER_ROW(RoiConvertInt16ToUInt8, F::FourVariants, "ABC"),
      POINTER_ROW(RoiConvertInt32ToUInt8, F::FourVariants, "ABC"),
      POINTER_ROW(RoiSetInt32, F::VariantsBA, "AB"),
  };
  for (const PointerRow& row : rows) {
    EXPECT_EQ(row.family, row.expected) << row.name;
    EXPECT_TRUE(row.selectsPortable) << row.name;
    EXPECT_EQ(row.filled, row.expectedFilled) << row.name;
    EXPECT_EQ(row.forcedMismatches, "") << row.name;
  }
}

#undef POINTER_ROW

}  // namespace

namespace {

// Every status a primitive answers has its own name in logs; any other value
// is said to be unknown rather than named after a neighbour.
TEST(PrimitiveStatusName, NamesEveryStatusAndNoOther) {
  const struct {
    PrimitiveStatus status;
    std::string name;
  } rows[] = {
      {0, "StatusOk"},           {-8, "StatusNullPointer"},        {-6, "StatusBadLength"},
      {-14, "StatusBadStep"},    {-38, "StatusNegativeMagnitude"}, {6, "StatusZeroDivisor"},
      {-9, "StatusNoMemory"},    {-10, "StatusZeroFeedbackTap"},   {-15, "StatusBadFftOrder"},
      {-16, "StatusBadFftFlag"}, {-17, "StatusBadObjectId"},       {-25, "StatusNegativeIirOrder"},
      {1, "unknown status"},     {-7, "unknown status"},
  };
  for (const auto& row : rows)
    EXPECT_EQ(PrimitiveStatusName(row.status), row.name) << row.status;
}

}  // namespace
