// The letters the transform unit's tests run over: a parameterised fixture
// binds the primitives a test names to the letter under test (skipping the
// letter where the processor lacks it) and unbinds them afterwards.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "signal/primitives/PrimitiveDispatch.h"
#include "tests/signal/primitives/VariantHarness.h"

namespace transform_letters {

using Letter = PrimitiveVariant;

inline const char* LetterName(Letter letter) {
  switch (letter) {
    case Letter::A:
      return "A";
    case Letter::B:
      return "B";
    case Letter::C:
      return "C";
    case Letter::Portable:
      break;
  }
  return "Portable";
}

inline std::string LetterParamName(const ::testing::TestParamInfo<Letter>& info) {
  return LetterName(info.param);
}

inline const auto kAllLetters =
    ::testing::Values(Letter::Portable, Letter::A, Letter::B, Letter::C);

// Skips the test when the processor lacks the letter; binds and unbinds.
class LetterTest : public ::testing::TestWithParam<Letter> {
 protected:
  Letter letter() const { return GetParam(); }
  bool simd() const { return letter() != Letter::Portable; }

  void SetUp() override {
    if (!CpuSupportsVariant(letter())) {
      GTEST_SKIP() << "the processor lacks what variant " << LetterName(letter()) << " needs";
    }
  }
  void TearDown() override {
    for (const auto& reset : resets_) {
      reset();
    }
  }

  // Binds `pointer` to `as` (the letter under test by default); the
  // function bound is the letter's slot, or the portable variant where
  // that slot is empty.
  template <typename P>
  void Bind(P& pointer) {
    Bind(pointer, letter());
  }
  template <typename P>
  void Bind(P& pointer, Letter as) {
    pointer.BindVariantForTesting(as);
    resets_.push_back([&pointer] { pointer.ResetToStubForTesting(); });
  }

  // Runs `call` and checks the floating-point control state around it.
  template <typename Call>
  void Checked(Call call) {
    variants_test::CallCheckingFpState(letter(), false, call);
  }

 private:
  std::vector<std::function<void()>> resets_;
};

}  // namespace transform_letters
