// Variants B and C of the double add, subtract and multiply (two doubles
// per instruction; the same in both sets), of the complex add and subtract,
// which check the count and then run the letter's double variant on
// 2 * len doubles, of the scaled int32 add, subtract and multiply (four
// lanes), and of the divisions and the complex multiply (the SSE2 kernels).
#include <emmintrin.h>

#include <cstdint>

#include "signal/primitives/ArgumentChecks.h"
#include "signal/primitives/TrelBasicVariantFrontEnds.h"
#include "signal/primitives/TrelBasicVariants.h"
#include "signal/primitives/UnalignedAccess.h"
#include "signal/primitives/kernels/VariantKernels.h"

namespace {

enum class DoubleOp { Add, Sub, Mul };

template <DoubleOp kOp>
inline __m128d Apply(__m128d d, __m128d s) {
  if constexpr (kOp == DoubleOp::Add) {
    return _mm_add_pd(d, s);
  } else if constexpr (kOp == DoubleOp::Sub) {
    return _mm_sub_pd(d, s);
  } else {
    return _mm_mul_pd(d, s);
  }
}

// srcDst[i] = srcDst[i] op src[i], each rounded once to double; blocks of
// eight (then four) are read before they are written.
template <DoubleOp kOp>
void DoubleRun(const double* src, double* srcDst, std::int64_t n) {
  std::int64_t i = 0;
  for (; i + 8 <= n; i += 8) {
    const __m128d a = Apply<kOp>(_mm_loadu_pd(srcDst + i), _mm_loadu_pd(src + i));
    const __m128d b = Apply<kOp>(_mm_loadu_pd(srcDst + i + 2), _mm_loadu_pd(src + i + 2));
    const __m128d c = Apply<kOp>(_mm_loadu_pd(srcDst + i + 4), _mm_loadu_pd(src + i + 4));
    const __m128d d = Apply<kOp>(_mm_loadu_pd(srcDst + i + 6), _mm_loadu_pd(src + i + 6));
    _mm_storeu_pd(srcDst + i, a);
    _mm_storeu_pd(srcDst + i + 2, b);
    _mm_storeu_pd(srcDst + i + 4, c);
    _mm_storeu_pd(srcDst + i + 6, d);
  }
  for (; i + 4 <= n; i += 4) {
    const __m128d a = Apply<kOp>(_mm_loadu_pd(srcDst + i), _mm_loadu_pd(src + i));
    const __m128d b = Apply<kOp>(_mm_loadu_pd(srcDst + i + 2), _mm_loadu_pd(src + i + 2));
    _mm_storeu_pd(srcDst + i, a);
    _mm_storeu_pd(srcDst + i + 2, b);
  }
  for (; i < n; ++i) {
    unaligned::StoreSd(srcDst + i,
                       Apply<kOp>(unaligned::LoadSd(srcDst + i), unaligned::LoadSd(src + i)));
  }
}

template <DoubleOp kOp>
PrimitiveStatus DoubleBC(const double* src, double* srcDst, std::int32_t len) {
  if (const PrimitiveStatus status = primitives_detail::CheckVectorArguments({src, srcDst}, len);
      status != StatusOk) {
    return status;
  }
  DoubleRun<kOp>(src, srcDst, len);
  return StatusOk;
}

// The count first, then the double variant's pointer checks.
template <DoubleOp kOp>
PrimitiveStatus ComplexBC(const std::complex<double>* src, std::complex<double>* srcDst,
                          std::int32_t len) {
  if (len < 1) {
    return StatusBadLength;
  }
  if (src == nullptr || srcDst == nullptr) {
    return StatusNullPointer;
  }
  DoubleRun<kOp>(reinterpret_cast<const double*>(src), reinterpret_cast<double*>(srcDst),
                 std::int64_t{len} * 2);
  return StatusOk;
}

// The scaled int32 add and subtract: the lane kernel for -30 <= sf <= 32;
// past 32 every rounded result is 0 (the set's zero fill), below -30 every
// non-zero t saturates by its sign.
PrimitiveStatus AddSubInt32BC(const std::int32_t* src, std::int32_t* srcDst, std::int32_t len,
                              std::int32_t sf, bool sub) {
  if (const PrimitiveStatus status = primitives_detail::CheckVectorArguments({src, srcDst}, len);
      status != StatusOk) {
    return status;
  }
  if (sf > 32) {
    ZeroBytesKernelSse2(srcDst, std::int64_t{len} * 4);
  } else if (sf >= -30) {
    AddSubInt32KernelSse2(src, srcDst, len, sf, sub);
  } else {
    for (std::int32_t i = 0; i < len; ++i) {
      const std::int64_t b = unaligned::Load(srcDst + i);
      const std::int64_t a = unaligned::Load(src + i);
      const std::int64_t t = sub ? b - a : b + a;
      unaligned::Store(srcDst + i, t > 0 ? INT32_MAX : (t < 0 ? INT32_MIN : 0));
    }
  }
  return StatusOk;
}

// The int32 division: the kernel for -62 <= sf <= 32; beyond, every
// quotient with a non-zero divisor is 0 (sf > 32: |a| * 2^-33 < 1/2) or
// saturates by the signs (sf < -62), as in the portable variant.
PrimitiveStatus DivInt32BC(const std::int32_t* src, std::int32_t* srcDst, std::int32_t len,
                           std::int32_t sf) {
  if (const PrimitiveStatus status = primitives_detail::CheckVectorArguments({src, srcDst}, len);
      status != StatusOk) {
    return status;
  }
  if (sf >= -62 && sf <= 32) {
    return DivInt32ScaledKernelSse2(src, srcDst, srcDst, len, sf) != 0 ? StatusZeroDivisor
                                                                       : StatusOk;
  }
  PrimitiveStatus status = StatusOk;
  for (std::int32_t i = 0; i < len; ++i) {
    const std::int32_t b = unaligned::Load(src + i);
    const std::int32_t a = unaligned::Load(srcDst + i);
    std::int32_t q;
    if (b == 0) {
      q = a > 0 ? INT32_MAX : (a < 0 ? INT32_MIN : 0);
      status = StatusZeroDivisor;
    } else if (sf > 32 || a == 0) {
      q = 0;
    } else {
      q = (a < 0) == (b < 0) ? INT32_MAX : INT32_MIN;
    }
    unaligned::Store(srcDst + i, q);
  }
  return status;
}

// The int32 multiply: the saturating kernel for sf = 0, the scaled one for
// -31 <= sf <= 62; past 62 every rounded result is 0 (the set's zero fill),
// below -31 every non-zero product saturates by its sign.
PrimitiveStatus MulInt32BC(const std::int32_t* src, std::int32_t* srcDst, std::int32_t len,
                           std::int32_t sf) {
  if (const PrimitiveStatus status = primitives_detail::CheckVectorArguments({src, srcDst}, len);
      status != StatusOk) {
    return status;
  }
  if (sf == 0) {
    MulInt32SatKernelSse2(src, srcDst, len);
  } else if (sf > 62) {
    ZeroBytesKernelSse2(srcDst, std::int64_t{len} * 4);
  } else if (sf >= -31) {
    MulInt32ScaledKernelSse2(src, srcDst, len, sf);
  } else {
    for (std::int32_t i = 0; i < len; ++i) {
      const std::int64_t p =
          std::int64_t{unaligned::Load(srcDst + i)} * std::int64_t{unaligned::Load(src + i)};
      unaligned::Store(srcDst + i, p > 0 ? INT32_MAX : (p < 0 ? INT32_MIN : 0));
    }
  }
  return StatusOk;
}

PrimitiveStatus DivDoubleBC(const double* src, double* srcDst, std::int32_t len) {
  if (const PrimitiveStatus status = primitives_detail::CheckVectorArguments({src, srcDst}, len);
      status != StatusOk) {
    return status;
  }
  return DivDoubleKernelSse2(src, srcDst, srcDst, len) != 0 ? StatusZeroDivisor : StatusOk;
}

PrimitiveStatus DivComplexBC(const std::complex<double>* src, std::complex<double>* srcDst,
                             std::int32_t len) {
  if (const PrimitiveStatus status = primitives_detail::CheckVectorArguments({src, srcDst}, len);
      status != StatusOk) {
    return status;
  }
  auto* d = reinterpret_cast<double*>(srcDst);
  return DivComplexKernelSse2(reinterpret_cast<const double*>(src), d, d, len) != 0
             ? StatusZeroDivisor
             : StatusOk;
}

template <typename Kernel>
PrimitiveStatus MulComplexBC(const std::complex<double>* src, std::complex<double>* srcDst,
                             std::int32_t len, Kernel kernel) {
  if (const PrimitiveStatus status = primitives_detail::CheckVectorArguments({src, srcDst}, len);
      status != StatusOk) {
    return status;
  }
  kernel(reinterpret_cast<const double*>(src), reinterpret_cast<double*>(srcDst), len);
  return StatusOk;
}

}  // namespace

PrimitiveStatus VectorMulInt32InPlaceScaledB(const std::int32_t* src, std::int32_t* srcDst,
                                             std::int32_t len, std::int32_t sf) {
  return MulInt32BC(src, srcDst, len, sf);
}

PrimitiveStatus VectorMulInt32InPlaceScaledC(const std::int32_t* src, std::int32_t* srcDst,
                                             std::int32_t len, std::int32_t sf) {
  return MulInt32BC(src, srcDst, len, sf);
}

PrimitiveStatus VectorDivDoubleInPlaceB(const double* src, double* srcDst, std::int32_t len) {
  return DivDoubleBC(src, srcDst, len);
}

PrimitiveStatus VectorDivDoubleInPlaceC(const double* src, double* srcDst, std::int32_t len) {
  return DivDoubleBC(src, srcDst, len);
}

PrimitiveStatus VectorDivComplexInPlaceB(const std::complex<double>* src,
                                         std::complex<double>* srcDst, std::int32_t len) {
  return DivComplexBC(src, srcDst, len);
}

PrimitiveStatus VectorDivComplexInPlaceC(const std::complex<double>* src,
                                         std::complex<double>* srcDst, std::int32_t len) {
  return DivComplexBC(src, srcDst, len);
}

PrimitiveStatus VectorMulComplexInPlaceB(const std::complex<double>* src,
                                         std::complex<double>* srcDst, std::int32_t len) {
  return MulComplexBC(src, srcDst, len, &MulComplexKernelB);
}

PrimitiveStatus VectorMulComplexInPlaceC(const std::complex<double>* src,
                                         std::complex<double>* srcDst, std::int32_t len) {
  return MulComplexBC(src, srcDst, len, &MulComplexKernelC);
}

PrimitiveStatus VectorDivInt32InPlaceScaledB(const std::int32_t* src, std::int32_t* srcDst,
                                             std::int32_t len, std::int32_t sf) {
  return DivInt32BC(src, srcDst, len, sf);
}

PrimitiveStatus VectorDivInt32InPlaceScaledC(const std::int32_t* src, std::int32_t* srcDst,
                                             std::int32_t len, std::int32_t sf) {
  return DivInt32BC(src, srcDst, len, sf);
}

KESTRUNE_DEFINE_UINT8_VARIANTS(B, &ZeroBytesKernelSse2, &UInt8ScaledKernelSse2)
KESTRUNE_DEFINE_UINT8_VARIANTS(C, &ZeroBytesKernelSse2, &UInt8ScaledKernelSse2)

#define KESTRUNE_DEFINE_ARITHMETIC_BC(L)                                                           \
  PrimitiveStatus VectorAddDoubleInPlace##L(const double* src, double* srcDst, std::int32_t len) { \
    return DoubleBC<DoubleOp::Add>(src, srcDst, len);                                              \
  }                                                                                                \
  PrimitiveStatus VectorSubDoubleInPlace##L(const double* src, double* srcDst, std::int32_t len) { \
    return DoubleBC<DoubleOp::Sub>(src, srcDst, len);                                              \
  }                                                                                                \
  PrimitiveStatus VectorMulDoubleInPlace##L(const double* src, double* srcDst, std::int32_t len) { \
    return DoubleBC<DoubleOp::Mul>(src, srcDst, len);                                              \
  }                                                                                                \
  PrimitiveStatus VectorAddComplexInPlace##L(const std::complex<double>* src,                      \
                                             std::complex<double>* srcDst, std::int32_t len) {     \
    return ComplexBC<DoubleOp::Add>(src, srcDst, len);                                             \
  }                                                                                                \
  PrimitiveStatus VectorSubComplexInPlace##L(const std::complex<double>* src,                      \
                                             std::complex<double>* srcDst, std::int32_t len) {     \
    return ComplexBC<DoubleOp::Sub>(src, srcDst, len);                                             \
  }
KESTRUNE_DEFINE_ARITHMETIC_BC(B)
KESTRUNE_DEFINE_ARITHMETIC_BC(C)

PrimitiveStatus VectorAddInt32InPlaceScaledB(const std::int32_t* src, std::int32_t* srcDst,
                                             std::int32_t len, std::int32_t sf) {
  return AddSubInt32BC(src, srcDst, len, sf, false);
}

PrimitiveStatus VectorAddInt32InPlaceScaledC(const std::int32_t* src, std::int32_t* srcDst,
                                             std::int32_t len, std::int32_t sf) {
  return AddSubInt32BC(src, srcDst, len, sf, false);
}

PrimitiveStatus VectorSubInt32InPlaceScaledB(const std::int32_t* src, std::int32_t* srcDst,
                                             std::int32_t len, std::int32_t sf) {
  return AddSubInt32BC(src, srcDst, len, sf, true);
}

PrimitiveStatus VectorSubInt32InPlaceScaledC(const std::int32_t* src, std::int32_t* srcDst,
                                             std::int32_t len, std::int32_t sf) {
  return AddSubInt32BC(src, srcDst, len, sf, true);
}
#undef KESTRUNE_DEFINE_ARITHMETIC_BC
