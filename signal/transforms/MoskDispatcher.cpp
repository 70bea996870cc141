// Pointer variables of the transform unit. Each starts at its dispatch stub;
// the first call binds the variant that the processor-type code selects (the
// portable one: the code stays 0). `IirFilterFloatInPlace` has no variant B,
// so codes 6 to 9 bind its portable variant.
#include "signal/transforms/MoskDispatcher.h"

KESTRUNE_DEFINE_PRIMITIVE(VectorConjugateExtendComplexInPlace, VariantFamily::FourVariants);
KESTRUNE_DEFINE_PRIMITIVE(RealFftForward, VariantFamily::FourVariants);
KESTRUNE_DEFINE_PRIMITIVE(RealFftCreateSpec, VariantFamily::FourVariants);
KESTRUNE_DEFINE_PRIMITIVE(RealFftFreeSpec, VariantFamily::FourVariants);
KESTRUNE_DEFINE_PRIMITIVE(VectorMagnitudeComplex, VariantFamily::FourVariants);
KESTRUNE_DEFINE_PRIMITIVE(RoiConvertInt16ToFloat, VariantFamily::FourVariants);
KESTRUNE_DEFINE_PRIMITIVE(RoiConvertFloatToInt16, VariantFamily::FourVariants);
KESTRUNE_DEFINE_PRIMITIVE(RoiConvertFloatToInt8, VariantFamily::FourVariants);
KESTRUNE_DEFINE_PRIMITIVE(IirFreeState, VariantFamily::FourVariants);
KESTRUNE_DEFINE_PRIMITIVE(IirCreateState, VariantFamily::FourVariants);
KESTRUNE_DEFINE_PRIMITIVE(IirFilterFloatInPlace, VariantFamily::VariantsCA);
