// Pointer variables of the transform unit. Each starts at its dispatch stub;
// the first call binds the variant that the processor-type code selects (the
// portable one: the code stays 0). `IirFilterFloatInPlace` has no variant B,
// so codes 6 to 9 bind its portable variant.
#include "signal/transforms/MoskDispatcher.h"

#include "signal/transforms/fft/FftVariants.h"

KESTRUNE_DEFINE_PRIMITIVE(VectorConjugateExtendComplexInPlace, VariantFamily::FourVariants);
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
KESTRUNE_DEFINE_PRIMITIVE(VectorMagnitudeComplex, VariantFamily::FourVariants);
KESTRUNE_DEFINE_PRIMITIVE(RoiConvertInt16ToFloat, VariantFamily::FourVariants);
KESTRUNE_DEFINE_PRIMITIVE(RoiConvertFloatToInt16, VariantFamily::FourVariants);
KESTRUNE_DEFINE_PRIMITIVE(RoiConvertFloatToInt8, VariantFamily::FourVariants);
KESTRUNE_DEFINE_PRIMITIVE(IirFreeState, VariantFamily::FourVariants);
KESTRUNE_DEFINE_PRIMITIVE(IirCreateState, VariantFamily::FourVariants);
KESTRUNE_DEFINE_PRIMITIVE(IirFilterFloatInPlace, VariantFamily::VariantsCA);
