// Creation and release of a RealFftSpec.
//
// Layout of the blocks that hang off a spec (each from AlignedAlloc, every
// table starting on a 16-byte boundary):
// - bitReverse: the bit-reverse table of the M complex values;
// - twiddles: complex order m <= 9: the radix-4 table of order m; m >= 10: the
//   plan block, innermost first (see LargeFftPlanBuildLevel);
// - forwardRealTwiddles, inverseRealTwiddles: N/4 complex values each.
// Orders 0 to 3 have no tables: their transforms are fixed kernels.
#include <algorithm>
#include <cstddef>

#include "signal/primitives/LPMalloc.h"
#include "signal/primitives/LibCDispatcher.h"
#include "signal/transforms/MoskDispatcher.h"
#include "signal/transforms/TransformMemory.h"
#include "signal/transforms/fft/FftEngines.h"
#include "signal/transforms/fft/RealFftSpec.h"

namespace {

using Index = std::ptrdiff_t;

constexpr std::int32_t kRadix4MaxOrder = 9;
// Bytes reserved for the order-9 radix-4 table of an unsplit plan: 513 * 16.
constexpr std::int64_t kUnsplitRadix4Bytes = 8208;

// Outer-factor orders for complex orders 10..29.
constexpr std::int32_t kSplitOrders[20] = {0, 0, 4, 5, 6, 7, 7, 8, 9, 9,
                                           9, 8, 8, 9, 9, 9, 9, 9, 9, 9};

// Bytes of the radix-4 table block of complex order j: (2^j + 1) * 16.
constexpr std::int64_t Radix4BlockBytes(std::int32_t j) {
  return ((std::int64_t{1} << j) + 1) * 16;
}

template <typename T>
T* AdvanceBytes(T* p, std::int64_t bytes) {
  return reinterpret_cast<T*>(reinterpret_cast<unsigned char*>(p) + bytes);
}

void LargeFftPlanSizesLevel(std::int32_t m, LargeFftPlanBytes* sizes) {
  const std::int32_t a = LargeFftSplitOrder(m);
  const std::int64_t fullSize = std::int64_t{1} << m;
  if (a == 0) {
    sizes->plan = 16 * (fullSize / 4) + kUnsplitRadix4Bytes;
    return;
  }
  const std::int32_t i = m - a;
  const std::int64_t innerSize = std::int64_t{1} << i;
  const std::int64_t outerSize = std::int64_t{1} << a;
  if (i <= kRadix4MaxOrder) {
    sizes->plan = Radix4BlockBytes(i);
  } else if (LargeFftSplitOrder(i) == 0) {
    sizes->plan = 16 * (innerSize / 4) + kUnsplitRadix4Bytes;
  } else {
    LargeFftPlanSizesLevel(i, sizes);
  }
  sizes->plan += 16 * fullSize + 16 * (outerSize + 1);
  // The level's bit-reverse table and four rows of A complex values.
  sizes->scratch += ((outerSize + 19) & ~std::int64_t{15}) + 64 * outerSize;
  sizes->work = std::max(sizes->work, 64 * outerSize);
}

// Lays out one split level of the plan at `plan`: the inner part first, then
// this level's radix-4 table of the outer order and its block twiddles.
// Returns the end of what it placed.
double* LargeFftPlanBuildLevel(RealFftSpec* spec, std::int32_t m, const double* s,
                               std::int32_t order, std::int32_t level, double* plan,
                               unsigned char* scratch) {
  const std::int32_t a = LargeFftSplitOrder(m);
  const std::int32_t i = m - a;
  const Index outer = Index{1} << a;
  const Index inner = Index{1} << i;
  const Index full = Index{1} << m;

  double* p;
  if (i <= kRadix4MaxOrder) {
    spec->twiddles = plan;
    p = BuildRadix4Twiddles(i, s, order, plan);
    spec->workBytes = 0;
  } else if (LargeFftSplitOrder(i) == 0) {
    spec->twiddles = plan;
    spec->quarterTwiddles = BuildRadix4Twiddles(kRadix4MaxOrder, s, order, plan);
    p = BuildQuarterTwiddles(i, s, order, spec->quarterTwiddles);
    spec->workBytes = 0;
  } else {
    p = LargeFftPlanBuildLevel(spec, i, s, order, level + 1, plan, scratch);
  }

  spec->levelRadix4Twiddles[level] = p;
  double* out = BuildRadix4Twiddles(a, s, order, p);
  spec->levelBlockTwiddles[level] = out;

  // Block twiddles: for each group of four columns j0..j0+3 and each t, the
  // four values W_M^(rev(t)(j0 + r)), in the order the combine reads them.
  // Each row is filled in natural order of t and put into bit-reversed order
  // by the same in-place reversal the engine uses.
  double* rows = reinterpret_cast<double*>(scratch);
  auto* rowReverse = reinterpret_cast<std::int32_t*>(scratch + 64 * outer);
  BuildBitReverseTable(a, rowReverse);
  for (Index j0 = 0; j0 < inner; j0 += 4) {
    for (Index r = 0; r < 4; ++r) {
      double* row = rows + 2 * r * outer;
      for (Index t = 0; t < outer; ++t) {
        QuarterWaveLookup(s, order, full, t * (j0 + r), &row[2 * t], &row[2 * t + 1]);
      }
      FftBitReverseInPlace(row, static_cast<std::int32_t>(outer), rowReverse);
    }
    for (Index t = 0; t < outer; ++t) {
      for (Index r = 0; r < 4; ++r) {
        const double* value = rows + 2 * (r * outer + t);
        *out++ = value[0];
        *out++ = value[1];
      }
    }
  }
  spec->workBytes = std::max(spec->workBytes, static_cast<std::int32_t>(64 * outer));
  return out;
}

void LargeFftPlanInit(RealFftSpec* spec, std::int32_t m, const double* s, std::int32_t order,
                      double* plan, unsigned char* scratch) {
  if (LargeFftSplitOrder(m) == 0) {
    spec->twiddles = plan;
    spec->quarterTwiddles = BuildRadix4Twiddles(kRadix4MaxOrder, s, order, plan);
    BuildQuarterTwiddles(m, s, order, spec->quarterTwiddles);
    spec->workBytes = 0;
  } else {
    LargeFftPlanBuildLevel(spec, m, s, order, 0, plan, scratch);
  }
}

// Allocates and fills bitReverse and twiddles (or the plan) and sets
// workBytes. Returns 0 or StatusNoMemory; blocks already hung on the spec are
// released by the caller's release step.
PrimitiveStatus ComplexFftSpecInit(RealFftSpec* spec, std::int32_t m, const double* s,
                                   std::int32_t order) {
  const std::int64_t count = std::int64_t{1} << m;
  spec->bitReverse = static_cast<std::int32_t*>(AlignedAllocBytes(RoundUpTo16(count + 4)));
  if (spec->bitReverse == nullptr) {
    return StatusNoMemory;
  }
  BuildBitReverseTable(m, spec->bitReverse);
  if (m <= kRadix4MaxOrder) {
    spec->twiddles = static_cast<double*>(AlignedAllocBytes(Radix4BlockBytes(m)));
    if (spec->twiddles == nullptr) {
      return StatusNoMemory;
    }
    BuildRadix4Twiddles(m, s, order, spec->twiddles);
    spec->workBytes = 0;
    return StatusOk;
  }
  const LargeFftPlanBytes sizes = LargeFftPlanSizes(m);
  auto* plan = static_cast<double*>(AlignedAllocBytes(sizes.plan));
  if (plan == nullptr) {
    return StatusNoMemory;
  }
  unsigned char* scratch = nullptr;
  if (sizes.scratch > 0) {
    scratch = static_cast<unsigned char*>(AlignedAllocBytes(sizes.scratch));
    if (scratch == nullptr) {
      AlignedFree(plan);
      return StatusNoMemory;
    }
  }
  LargeFftPlanInit(spec, m, s, order, plan, scratch);
  AlignedFree(scratch);
  return StatusOk;
}

// Clears the id and, when the spec owns its memory, frees its blocks and the
// spec itself. Serves both the failure paths of creation and the free entry.
void RealFftSpecRelease(RealFftSpec* spec) {
  spec->id = 0;
  if (spec->ownsMemory != 1) {
    return;
  }
  AlignedFree(spec->bitReverse);
  AlignedFree(spec->twiddles);
  AlignedFree(spec->forwardRealTwiddles);
  AlignedFree(spec->inverseRealTwiddles);
  AlignedFree(spec);
}

// True when every block that creating a spec of `order` (4 or more) asks for
// fits the 31-bit limit. Checked before the first table is allocated, so an
// order whose plan cannot exist fails at once instead of after filling
// hundreds of megabytes of sine and bit-reverse tables.
bool TableSizesFit(std::int32_t order) {
  const std::int64_t n = std::int64_t{1} << order;
  const std::int32_t m = order - 1;
  std::int64_t sizes[5] = {RoundUpTo16((n / 4 + 1) * 8), RoundUpTo16(n / 2 + 4), 0, 0, n / 4 * 16};
  if (m <= kRadix4MaxOrder) {
    sizes[2] = Radix4BlockBytes(m);
  } else {
    const LargeFftPlanBytes plan = LargeFftPlanSizes(m);
    sizes[2] = plan.plan;
    sizes[3] = plan.scratch;
  }
  return std::all_of(std::begin(sizes), std::end(sizes),
                     [](std::int64_t bytes) { return bytes <= kMaxTransformBlockBytes; });
}

}  // namespace

std::int32_t LargeFftSplitOrder(std::int32_t m) {
  return (m >= 10 && m <= 29) ? kSplitOrders[m - 10] : 0;
}

LargeFftPlanBytes LargeFftPlanSizes(std::int32_t m) {
  LargeFftPlanBytes sizes;
  LargeFftPlanSizesLevel(m, &sizes);
  return sizes;
}

void QuarterWaveLookup(const double* s, std::int32_t order, std::int64_t L, std::int64_t e,
                       double* re, double* im) {
  const std::int64_t st = (std::int64_t{1} << order) / L;
  const std::int64_t quarter = L / 4;
  if (e <= quarter) {
    *re = s[st * (quarter - e)];
    *im = -s[st * e];
  } else if (e <= 2 * quarter) {
    *re = -s[st * (e - quarter)];
    *im = -s[st * (2 * quarter - e)];
  } else if (e <= 3 * quarter) {
    *re = -s[st * (3 * quarter - e)];
    *im = s[st * (e - 2 * quarter)];
  } else {
    *re = s[st * (e - 3 * quarter)];
    *im = s[st * (L - e)];
  }
}

void BuildQuarterSineTable(std::int32_t order, double* s) {
  const std::int64_t n = std::int64_t{1} << order;
  // Each half of the quarter wave comes from the function that is flat
  // there: sine up to pi/4, cosine of the complement above.
  const double step = 6.283185307179586 / static_cast<double>(n);
  for (std::int64_t k = 0; k <= n / 8; ++k) {
    s[k] = LibCSin(static_cast<double>(k) * step);
  }
  for (std::int64_t k = n / 8 + 1; k <= n / 4; ++k) {
    s[k] = LibCCos(static_cast<double>(n / 4 - k) * step);
  }
}

std::int32_t* BuildBitReverseTable(std::int32_t j, std::int32_t* table) {
  if (j < 2) {
    return table;
  }
  const std::int32_t q = std::int32_t{1} << (j - 2);
  std::int32_t pairAt = 0;
  std::int32_t singleAt = q - 1;
  std::int32_t r = 0;
  for (std::int32_t i = 1; i < q; ++i) {
    // r becomes the (j-2)-bit reversal of i: a reversed increment.
    std::int32_t h = q / 2;
    while (h <= r) {
      r -= h;
      h /= 2;
    }
    r += h;
    if (i < r) {
      table[pairAt] = 4 * i;
      table[pairAt + 1] = 4 * r;
      pairAt += 2;
    } else if (i == r) {
      table[singleAt] = 4 * i;
      --singleAt;
    }
  }
  table[pairAt] = 0;
  table[q] = 0;
  return AdvanceBytes(table, RoundUpTo16((std::int64_t{q} + 1) * 4));
}

double* BuildRadix4Twiddles(std::int32_t j, const double* s, std::int32_t order, double* table) {
  const std::int64_t L = std::int64_t{1} << j;
  double* out = table;
  for (std::int64_t k = 0; k <= L / 4; ++k) {
    for (std::int64_t power = 1; power <= 3; ++power) {
      QuarterWaveLookup(s, order, L, power * k, &out[0], &out[1]);
      out += 2;
    }
  }
  return out;
}

double* BuildQuarterTwiddles(std::int32_t j, const double* s, std::int32_t order, double* table) {
  const std::int64_t L = std::int64_t{1} << j;
  const std::int64_t st = (std::int64_t{1} << order) / L;
  double* out = table;
  for (std::int64_t k = 0; k < L / 4; ++k) {
    *out++ = s[st * (L / 4 - k)];
    *out++ = -s[st * k];
  }
  return out;
}

void BuildForwardRealTwiddles(std::int32_t order, const double* s, double* table) {
  const std::int64_t quarter = (std::int64_t{1} << order) / 4;
  for (std::int64_t k = 0; k < quarter; ++k) {
    const double half = s[k] * 0.5;
    table[2 * k] = s[quarter - k] * 0.5;
    table[2 * k + 1] = 0.5 - half;
  }
}

void BuildInverseRealTwiddles(std::int32_t order, const double* s, double* table) {
  const std::int64_t quarter = (std::int64_t{1} << order) / 4;
  for (std::int64_t k = 0; k < quarter; ++k) {
    table[2 * k] = s[quarter - k];
    table[2 * k + 1] = -s[k];
  }
}

PrimitiveStatus RealFftNewSpecHeader(RealFftSpec** ppSpec, std::int32_t order, std::int32_t flag,
                                     std::int32_t hint, RealFftSpec** result) {
  if (ppSpec == nullptr) {
    return StatusNullPointer;
  }
  if (order < 0 || order > kRealFftMaxOrder) {
    return StatusBadFftOrder;
  }
  auto* spec = static_cast<RealFftSpec*>(AlignedAllocBytes(sizeof(RealFftSpec)));
  if (spec == nullptr) {
    return StatusNoMemory;
  }
  ZeroBytesChecked(spec, sizeof(RealFftSpec));
  spec->id = kRealFftSpecId;
  spec->order = order;
  spec->hint = hint;
  spec->ownsMemory = 1;

  const double n = static_cast<double>(std::int64_t{1} << order);
  switch (flag) {
    case kFftNoScale:
      break;
    case kFftScaleBySqrtN:
      spec->scaleForward = 1;
      spec->scaleInverse = 1;
      spec->scaleFactor = 1.0 / LibCSqrt(n);
      break;
    case kFftScaleForwardByN:
      spec->scaleForward = 1;
      spec->scaleFactor = 1.0 / n;
      break;
    case kFftScaleInverseByN:
      spec->scaleInverse = 1;
      spec->scaleFactor = 1.0 / n;
      break;
    default:
      RealFftSpecRelease(spec);
      return StatusBadFftFlag;
  }
  *result = spec;
  return StatusOk;
}

PrimitiveStatus RealFftCreateSpecPortable(RealFftSpec** ppSpec, std::int32_t order,
                                          std::int32_t flag, std::int32_t hint) {
  RealFftSpec* spec = nullptr;
  if (const PrimitiveStatus status = RealFftNewSpecHeader(ppSpec, order, flag, hint, &spec);
      status != StatusOk) {
    return status;
  }

  if (order <= 3) {
    spec->workBytes = 0;
    *ppSpec = spec;
    return StatusOk;
  }
  if (!TableSizesFit(order)) {
    RealFftSpecRelease(spec);
    return StatusNoMemory;
  }

  const std::int64_t quarter = (std::int64_t{1} << order) / 4;
  auto* sine = static_cast<double*>(AlignedAllocBytes(RoundUpTo16((quarter + 1) * 8)));
  if (sine == nullptr) {
    RealFftSpecRelease(spec);
    return StatusNoMemory;
  }
  BuildQuarterSineTable(order, sine);

  PrimitiveStatus status = ComplexFftSpecInit(spec, order - 1, sine, order);
  if (status == StatusOk) {
    spec->forwardRealTwiddles = static_cast<double*>(AlignedAllocBytes(quarter * 16));
    if (spec->forwardRealTwiddles == nullptr) {
      status = StatusNoMemory;
    } else {
      BuildForwardRealTwiddles(order, sine, spec->forwardRealTwiddles);
    }
  }
  if (status == StatusOk) {
    spec->inverseRealTwiddles = static_cast<double*>(AlignedAllocBytes(quarter * 16));
    if (spec->inverseRealTwiddles == nullptr) {
      status = StatusNoMemory;
    } else {
      BuildInverseRealTwiddles(order, sine, spec->inverseRealTwiddles);
    }
  }
  AlignedFree(sine);
  if (status != StatusOk) {
    RealFftSpecRelease(spec);
    return status;
  }
  *ppSpec = spec;
  return StatusOk;
}

PrimitiveStatus RealFftFreeSpecPortable(RealFftSpec* spec) {
  if (spec == nullptr) {
    return StatusNullPointer;
  }
  if (spec->id != kRealFftSpecId) {
    return StatusBadObjectId;
  }
  RealFftSpecRelease(spec);
  return StatusOk;
}
