// Conjugate extension and magnitude of a complex spectrum.
#include <complex>
#include <cstdint>

#include "signal/primitives/ArgumentChecks.h"
#include "signal/primitives/LibCDispatcher.h"
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
  // The squares and their sum in the extended format, rounded once to
  // double before the root. Both parts are read before dst[k] is written, so
  // dst may be src.
  const auto* parts = reinterpret_cast<const double*>(src);
  for (std::int64_t k = 0; k < len; ++k) {
    const long double re = parts[2 * k];
    const long double im = parts[2 * k + 1];
    const double sum = static_cast<double>(re * re + im * im);
    dst[k] = LibCSqrt(sum);
  }
  return StatusOk;
}
