// Conjugate extension and magnitude of a complex spectrum.
#include <emmintrin.h>

#include <complex>
#include <cstdint>

#include "signal/primitives/ArgumentChecks.h"
#include "signal/transforms/MoskDispatcher.h"

namespace {

// Element h + 1 + j receives conj(element count - j), j ascending: the
// destination range h+1..len-1 and the source range 1..count never overlap.
void ConjugateExtendKernel(double* srcDst, std::int64_t h, std::int64_t count) {
  for (std::int64_t j = 0; j < count; ++j) {
    const double* from = srcDst + 2 * (count - j);
    double* to = srcDst + 2 * (h + 1 + j);
    to[0] = from[0];
    to[1] = -from[1];
  }
}

// re^2 + im^2 of the value at `parts`, the squares and their sum in the
// extended format, rounded once to double.
double SumOfSquares(const double* parts) {
  const long double re = parts[0];
  const long double im = parts[1];
  return static_cast<double>(re * re + im * im);
}

}  // namespace

PrimitiveStatus VectorConjugateExtendComplexInPlacePortable(std::complex<double>* srcDst,
                                                            std::int32_t len) {
  if (const PrimitiveStatus status = primitives_detail::CheckVectorArguments({srcDst}, len);
      status != StatusOk) {
    return status;
  }
  const std::int64_t h = len / 2;
  const std::int64_t count = (std::int64_t{len} - 1) / 2;
  ConjugateExtendKernel(reinterpret_cast<double*>(srcDst), h, count);
  return StatusOk;
}

PrimitiveStatus VectorMagnitudeComplexPortable(const std::complex<double>* src, double* dst,
                                               std::int32_t len) {
  if (const PrimitiveStatus status = primitives_detail::CheckVectorArguments({src, dst}, len);
      status != StatusOk) {
    return status;
  }
  // Two roots at a time: elements k and k + 1 are read before dst[k] and
  // dst[k + 1] are written, and those two doubles lie within elements up to
  // k of src, so dst may be src. The root is the processor's square root
  // instruction, correctly rounded like the library's; the library call
  // would only add errno handling for negative arguments, and a sum of
  // squares is never negative (NaN parts give NaN either way).
  const auto* parts = reinterpret_cast<const double*>(src);
  std::int64_t k = 0;
  for (; k + 2 <= len; k += 2) {
    const double sum0 = SumOfSquares(parts + 2 * k);
    const double sum1 = SumOfSquares(parts + 2 * k + 2);
    _mm_storeu_pd(dst + k, _mm_sqrt_pd(_mm_set_pd(sum1, sum0)));
  }
  if (k < len) {
    dst[k] = _mm_cvtsd_f64(_mm_sqrt_sd(_mm_setzero_pd(), _mm_set_sd(SumOfSquares(parts + 2 * k))));
  }
  return StatusOk;
}
