#include "signal/primitives/LibCDispatcher.h"

#include <cmath>
#include <cstring>

#include "signal/primitives/ArgumentChecks.h"

namespace {

// The range of the processor's own sine and cosine: arguments of magnitude
// 2^63 or more are reported out of range, and the shims answer 0.0 for them.
constexpr double kTrigRangeLimit = 9223372036854775808.0;  // 2^63

}  // namespace

double LibCSin(double x) {
  if (std::isfinite(x) && std::fabs(x) >= kTrigRangeLimit) {
    return 0.0;
  }
  return static_cast<double>(std::sin(static_cast<long double>(x)));
}

double LibCCos(double x) {
  if (std::isfinite(x) && std::fabs(x) >= kTrigRangeLimit) {
    return 0.0;
  }
  return static_cast<double>(std::cos(static_cast<long double>(x)));
}

// The square root of a double rounded through the extended format equals the
// correctly rounded double square root, so the double operation is used.
double LibCSqrt(double x) {
  return std::sqrt(x);
}

// memmove moves in whichever direction the overlap needs, which covers the
// ascending-copy contract (dst below src) and is the fastest copy available.
void* CopyBytesKernel(const void* src, void* dst, std::int64_t nBytes) {
  if (nBytes >= 1) {
    std::memmove(dst, src, static_cast<std::size_t>(nBytes));
  }
  return dst;
}

void* ZeroBytesKernel(void* dst, std::int64_t nBytes) {
  if (nBytes >= 1) {
    std::memset(dst, 0, static_cast<std::size_t>(nBytes));
  }
  return dst;
}

PrimitiveStatus CopyInt32Checked(const std::int32_t* src, std::int32_t* dst, std::int32_t len) {
  if (const PrimitiveStatus status = primitives_detail::CheckVectorArguments({src, dst}, len);
      status != StatusOk) {
    return status;
  }
  CopyBytesKernel(src, dst, std::int64_t{len} * 4);
  return StatusOk;
}

PrimitiveStatus ZeroInt32Checked(std::int32_t* dst, std::int32_t len) {
  if (const PrimitiveStatus status = primitives_detail::CheckVectorArguments({dst}, len);
      status != StatusOk) {
    return status;
  }
  ZeroBytesKernel(dst, std::int64_t{len} * 4);
  return StatusOk;
}

PrimitiveStatus ZeroBytesChecked(void* dst, std::int32_t n) {
  if (const PrimitiveStatus status = primitives_detail::CheckVectorArguments({dst}, n);
      status != StatusOk) {
    return status;
  }
  ZeroBytesKernel(dst, n);
  return StatusOk;
}
