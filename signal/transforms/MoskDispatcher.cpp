// Pointer variables of the transform unit. Each starts at its dispatch stub;
// the first call binds the variant that the processor-type code selects (the
// portable one: the code stays 0). `IirFilterFloatInPlace` has no variant B,
// so codes 6 to 9 bind its portable variant. Where a letter's variant is the
// portable code itself (A's conjugate extension, every IirFreeState), its
// slot holds the portable function.
#include "signal/transforms/MoskDispatcher.h"

#include "signal/transforms/VectorIirVariants.h"
#include "signal/transforms/fft/FftVariants.h"

KESTRUNE_DEFINE_PRIMITIVE_WITH_VARIANTS(VectorConjugateExtendComplexInPlace,
                                        VariantFamily::FourVariants,
                                        &VectorConjugateExtendComplexInPlacePortable,
                                        &VectorConjugateExtendComplexInPlaceB,
                                        &VectorConjugateExtendComplexInPlaceC);
// Variant A reads the portable spec; every letter frees with the portable
// release.
KESTRUNE_DEFINE_PRIMITIVE_WITH_VARIANTS(RealFftForward, VariantFamily::FourVariants,
                                        &RealFftForwardA, &RealFftForwardB, &RealFftForwardC);
KESTRUNE_DEFINE_PRIMITIVE_WITH_VARIANTS(RealFftCreateSpec, VariantFamily::FourVariants,
                                        &RealFftCreateSpecPortable, &RealFftCreateSpecB,
                                        &RealFftCreateSpecC);
KESTRUNE_DEFINE_PRIMITIVE_WITH_VARIANTS(RealFftFreeSpec, VariantFamily::FourVariants,
                                        &RealFftFreeSpecPortable, &RealFftFreeSpecPortable,
                                        &RealFftFreeSpecPortable);
KESTRUNE_DEFINE_PRIMITIVE_WITH_VARIANTS(VectorMagnitudeComplex, VariantFamily::FourVariants,
                                        &VectorMagnitudeComplexA, &VectorMagnitudeComplexB,
                                        &VectorMagnitudeComplexC);
KESTRUNE_DEFINE_PRIMITIVE_WITH_VARIANTS(RoiConvertInt16ToFloat, VariantFamily::FourVariants,
                                        &RoiConvertInt16ToFloatA, &RoiConvertInt16ToFloatB,
                                        &RoiConvertInt16ToFloatC);
KESTRUNE_DEFINE_PRIMITIVE_WITH_VARIANTS(RoiConvertFloatToInt16, VariantFamily::FourVariants,
                                        &RoiConvertFloatToInt16A, &RoiConvertFloatToInt16B,
                                        &RoiConvertFloatToInt16C);
KESTRUNE_DEFINE_PRIMITIVE_WITH_VARIANTS(RoiConvertFloatToInt8, VariantFamily::FourVariants,
                                        &RoiConvertFloatToInt8A, &RoiConvertFloatToInt8B,
                                        &RoiConvertFloatToInt8C);
KESTRUNE_DEFINE_PRIMITIVE_WITH_VARIANTS(IirFreeState, VariantFamily::FourVariants,
                                        &IirFreeStatePortable, &IirFreeStatePortable,
                                        &IirFreeStatePortable);
KESTRUNE_DEFINE_PRIMITIVE_WITH_VARIANTS(IirCreateState, VariantFamily::FourVariants,
                                        &IirCreateStateA, &IirCreateStateB, &IirCreateStateC);
KESTRUNE_DEFINE_PRIMITIVE_WITH_VARIANTS(IirFilterFloatInPlace, VariantFamily::VariantsCA,
                                        &IirFilterFloatInPlaceA, nullptr, &IirFilterFloatInPlaceC);
