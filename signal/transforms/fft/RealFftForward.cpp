// Forward real FFT: checks, the fixed kernels of orders 0 to 3, the stage
// sequence of larger orders, and the packing into the CCS layout.
#include <cstdint>

#include "signal/primitives/LPMalloc.h"
#include "signal/transforms/MoskDispatcher.h"
#include "signal/transforms/TransformMemory.h"
#include "signal/transforms/fft/FftEngines.h"
#include "signal/transforms/fft/FftVariants.h"
#include "signal/transforms/fft/RealFftSpec.h"

namespace {

// Every kernel reads all inputs before it writes, so src and dst may be the
// same array. Each leaves dst[0] = X0, dst[1] = X(N/2) and bins 1..N/2-1 in
// the pairs after them; the caller packs.

void RealFftKernelOrder0(const double* src, double* dst) {
  dst[0] = src[0];
}

void RealFftKernelOrder1(const double* src, double* dst) {
  const double x0 = src[0];
  const double x1 = src[1];
  dst[0] = x0 + x1;
  dst[1] = x0 - x1;
}

void RealFftKernelOrder2(const double* src, double* dst) {
  const double s02 = src[0] + src[2];
  const double s13 = src[1] + src[3];
  const double d02 = src[0] - src[2];
  const double d31 = src[3] - src[1];
  dst[0] = s02 + s13;
  dst[1] = s02 - s13;
  dst[2] = d02;
  dst[3] = d31;
}

// sqrt(1/2): W_8 = (1 - i) sqrt(1/2).
constexpr double kSqrtHalf = 0.7071067811865476;

// The order-3 combination of the first-stage sums and differences
// a = x0 + x4, b = x0 - x4, c = x2 + x6, d = x2 - x6, e = x1 + x5,
// f = x1 - x5, g = x3 + x7, h = x3 - x7.
void CombineOrder3(double a, double b, double c, double d, double e, double f, double g, double h,
                   double* dst) {
  const double r = kSqrtHalf;
  const double ac = a + c;
  const double eg = e + g;
  const double rfh = r * (f - h);
  const double rfh2 = r * (f + h);
  dst[0] = ac + eg;
  dst[1] = ac - eg;
  dst[2] = b + rfh;
  dst[3] = -rfh2 - d;
  dst[4] = a - c;
  dst[5] = g - e;
  dst[6] = b - rfh;
  dst[7] = d - rfh2;
}

void RealFftKernelOrder3(const double* src, double* dst) {
  CombineOrder3(src[0] + src[4], src[0] - src[4], src[2] + src[6], src[2] - src[6], src[1] + src[5],
                src[1] - src[5], src[3] + src[7], src[3] - src[7], dst);
}

// Scaled kernels: every first-stage sum and difference is multiplied by the
// factor, then combined as in the plain kernel.

void RealFftKernelOrder0Scaled(const double* src, double* dst, double factor) {
  dst[0] = src[0] * factor;
}

void RealFftKernelOrder1Scaled(const double* src, double* dst, double factor) {
  const double x0 = src[0];
  const double x1 = src[1];
  dst[0] = (x0 + x1) * factor;
  dst[1] = (x0 - x1) * factor;
}

void RealFftKernelOrder2Scaled(const double* src, double* dst, double factor) {
  const double s02 = (src[0] + src[2]) * factor;
  const double s13 = (src[1] + src[3]) * factor;
  const double d02 = (src[0] - src[2]) * factor;
  const double d31 = (src[3] - src[1]) * factor;
  dst[0] = s02 + s13;
  dst[1] = s02 - s13;
  dst[2] = d02;
  dst[3] = d31;
}

void RealFftKernelOrder3Scaled(const double* src, double* dst, double factor) {
  CombineOrder3((src[0] + src[4]) * factor, (src[0] - src[4]) * factor, (src[2] + src[6]) * factor,
                (src[2] - src[6]) * factor, (src[1] + src[5]) * factor, (src[1] - src[5]) * factor,
                (src[3] + src[7]) * factor, (src[3] - src[7]) * factor, dst);
}

using PlainKernel = void (*)(const double*, double*);
using ScaledKernel = void (*)(const double*, double*, double);

constexpr PlainKernel kPlainKernels[4] = {RealFftKernelOrder0, RealFftKernelOrder1,
                                          RealFftKernelOrder2, RealFftKernelOrder3};
constexpr ScaledKernel kScaledKernels[4] = {RealFftKernelOrder0Scaled, RealFftKernelOrder1Scaled,
                                            RealFftKernelOrder2Scaled, RealFftKernelOrder3Scaled};

constexpr std::int32_t kRadix4MaxOrder = 9;

// Moves X(N/2) from dst[1] to dst[N] and writes both zero imaginary parts.
void PackCcs(double* dst, std::int64_t n) {
  dst[n] = dst[1];
  dst[n + 1] = 0.0;
  dst[1] = 0.0;
}

}  // namespace

PrimitiveStatus RealFftForwardPortable(const double* src, double* dst, const RealFftSpec* spec,
                                       std::uint8_t* workBuf) {
  RealFftForwardStart start;
  if (const PrimitiveStatus status = start.Begin(src, dst, spec, workBuf);
      status != StatusOk || start.Done()) {
    return status;
  }
  const std::int32_t order = spec->order;
  const std::int64_t n = std::int64_t{1} << order;
  void* work = start.Work();

  const std::int32_t m = order - 1;
  const std::int32_t complexCount = std::int32_t{1} << m;
  // The scaling, when the spec asks for it, is taken by the engines as they
  // store their last stage; out of place, the radix-4 engine's opening
  // stages read src in bit-reversed order, which is the bit reversal.
  const double* scale = spec->scaleForward != 0 ? &spec->scaleFactor : nullptr;
  if (m > kRadix4MaxOrder) {
    if (src == dst) {
      FftBitReverseInPlace(dst, complexCount, spec->bitReverse);
    } else {
      FftBitReverseCopy(src, dst, complexCount, spec->bitReverse);
    }
    FftLargeOrderEngine(spec, dst, m, work);
  } else if (src == dst) {
    FftBitReverseInPlace(dst, complexCount, spec->bitReverse);
    if (scale != nullptr) {
      FftRadix4EngineScaled(dst, complexCount, spec->twiddles, *scale);
    } else {
      FftRadix4Engine(dst, complexCount, spec->twiddles);
    }
  } else {
    FftBitReverseRadix4Engine(src, dst, complexCount, spec->twiddles, scale);
  }

  // Bin 0 is Re Z0 + Im Z0 and bin N/2 is Re Z0 - Im Z0.
  const double z0r = dst[0];
  const double z0i = dst[1];
  dst[0] = z0r + z0i;
  dst[1] = z0r - z0i;
  RealFftPostProcess(dst, complexCount, 1, spec->forwardRealTwiddles);
  PackCcs(dst, n);

  return StatusOk;
}

RealFftForwardStart::~RealFftForwardStart() {
  AlignedFree(own_);
}

PrimitiveStatus RealFftForwardStart::Begin(const double* src, double* dst, const RealFftSpec* spec,
                                           std::uint8_t* workBuf) {
  if (spec == nullptr) {
    return StatusNullPointer;
  }
  if (spec->id != kRealFftSpecId) {
    return StatusBadObjectId;
  }
  if (src == nullptr || dst == nullptr) {
    return StatusNullPointer;
  }
  if (spec->order <= 3) {
    RealFftForwardSmallOrder(src, dst, spec);
    done_ = true;
    return StatusOk;
  }
  if (spec->workBytes > 0) {
    if (workBuf == nullptr) {
      own_ = AlignedAllocBytes(spec->workBytes);
      if (own_ == nullptr) {
        return StatusNoMemory;
      }
      work_ = own_;
    } else {
      const auto address = reinterpret_cast<std::uintptr_t>(workBuf);
      work_ = workBuf + ((16 - (address & 15)) & 15);
    }
  }
  return StatusOk;
}

void RealFftForwardSmallOrder(const double* src, double* dst, const RealFftSpec* spec) {
  const std::int32_t order = spec->order;
  if (spec->scaleForward != 0) {
    kScaledKernels[order](src, dst, spec->scaleFactor);
  } else {
    kPlainKernels[order](src, dst);
  }
  if (order == 0) {
    dst[1] = 0.0;
  } else {
    PackCcs(dst, std::int64_t{1} << order);
  }
}
