// The FFT tests run every case on each variant: the portable one and the
// processor-specific letters A, B and C. A letter's create, forward
// transform and free are bound together (a spec made by one letter's create
// is read only by that letter's forward transform), and a letter the
// processor lacks is skipped.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "signal/primitives/PrimitiveDispatch.h"
#include "signal/transforms/MoskDispatcher.h"
#include "tests/signal/primitives/VariantHarness.h"
#include "tests/signal/transforms/TransformLetters.h"

namespace fft_test {

using Letter = PrimitiveVariant;

inline const Letter kLetters[] = {Letter::Portable, Letter::A, Letter::B, Letter::C};

inline std::string LetterName(Letter letter) {
  return transform_letters::LetterName(letter);
}

// Binds the letter's create, forward and free for the life of the object and
// points the three variables back at their stubs afterwards.
class FftLetterBinding {
 public:
  explicit FftLetterBinding(Letter letter) {
    RealFftCreateSpec.BindVariantForTesting(letter);
    RealFftForward.BindVariantForTesting(letter);
    RealFftFreeSpec.BindVariantForTesting(letter);
  }
  ~FftLetterBinding() {
    RealFftCreateSpec.ResetToStubForTesting();
    RealFftForward.ResetToStubForTesting();
    RealFftFreeSpec.ResetToStubForTesting();
  }
  FftLetterBinding(const FftLetterBinding&) = delete;
  FftLetterBinding& operator=(const FftLetterBinding&) = delete;
};

// Runs `call`, checking that the x87 control word and MXCSR's control fields
// come back unchanged and, after variant A, that the x87 registers are free.
template <typename Call>
void CheckedCall(Letter letter, Call call) {
  variants_test::CallCheckingFpState(letter, false, call);
}

}  // namespace fft_test

// Skips the test when the processor lacks the letter.
#define FFT_SKIP_UNLESS_SUPPORTED(letter)                                               \
  if (!CpuSupportsVariant(letter)) {                                                    \
    GTEST_SKIP() << "the processor lacks what variant " << fft_test::LetterName(letter) \
                 << " needs";                                                           \
  }
