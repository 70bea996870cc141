// Creation of the specs of variants B and C (layouts in fft/FftVariants.h).
//
// The entry, its checks, the scaling fields, the sine table and the release
// are those of the portable variant; the tables differ:
// - bitReverse: the plain list of M/4 + 1 words;
// - twiddles, complex order m up to the set's combined limit: the per-stage
//   radix-4 tables of order m in a block of (M + 1) * 16 bytes, and
//   workBytes = 16 M (the combined transform's M values);
// - twiddles, larger m: the split plan, innermost first: the per-stage
//   tables of the innermost order i (a block of (2^i + 1) * 16 bytes), then
//   each level's twiddle list from the innermost level out, at
//   levelBlockTwiddles[level] (16 (2^m - 2^i) bytes for a level of order m
//   and inner order i); levelRadix4Twiddles and quarterTwiddles stay null.
//   workBytes = the largest gathered block, 16 G A bytes;
// - forwardRealTwiddles and inverseRealTwiddles: k = 1..N/4 in two-lane pairs
//   (Re k, Re k+1, Im k, Im k+1), N/4 * 16 bytes each.
#include <algorithm>
#include <cstddef>

#include "signal/primitives/LPMalloc.h"
#include "signal/primitives/LibCDispatcher.h"
#include "signal/transforms/MoskDispatcher.h"
#include "signal/transforms/TransformMemory.h"
#include "signal/transforms/fft/FftVariants.h"
#include "signal/transforms/fft/RealFftSpec.h"

namespace {

using Index = std::ptrdiff_t;

Index ReverseBits(Index value, std::int32_t bits) {
  Index reversed = 0;
  for (std::int32_t b = 0; b < bits; ++b) {
    reversed = (reversed << 1) | ((value >> b) & 1);
  }
  return reversed;
}

// Word i = 2 rev(i) over j - 2 bits for i = 0..2^(j-2) - 1, then a 0.
void BuildPlainBitReverseTable(std::int32_t j, std::int32_t* table) {
  const Index q = Index{1} << (j - 2);
  for (Index i = 0; i < q; ++i) {
    table[i] = static_cast<std::int32_t>(2 * ReverseBits(i, j - 2));
  }
  table[q] = 0;
}

// The per-stage radix-4 tables of complex order m (none below 4).
double* BuildStageTwiddles(std::int32_t m, const double* s, std::int32_t order, double* out) {
  if (m < 4) {
    return out;
  }
  for (std::int32_t stage = (m % 2 == 0) ? 4 : 5; stage <= m; stage += 2) {
    const Index size = Index{1} << stage;
    const Index quarter = size / 4;
    for (Index k = 0; k < quarter; k += 2) {
      for (Index r = 1; r <= 3; ++r) {
        QuarterWaveLookup(s, order, size, r * k, &out[0], &out[2]);
        QuarterWaveLookup(s, order, size, r * (k + 1), &out[1], &out[3]);
        out += 4;
      }
    }
  }
  return out;
}

// The twiddle list of one split level of complex order m (A = 2^a rows of
// I = 2^i columns, G columns per group): per group j0, when a is odd the
// radix-2 stage of span I (one twiddle W_2I^(j0+c) per column c), then each
// radix-4 stage of span L = sI (s = 1 or 2, then times 4 up to A/4): for
// each gathered position jf = u G + c below sG (u the row offset within the
// block) the three twiddles W_4L^(r (u I + j0 + c)), r = 1, 2, 3; all in
// two-lane pairs of neighbouring positions.
double* BuildLevelTwiddles(FftSimdSet set, std::int32_t m, const double* s, std::int32_t order,
                           double* out) {
  const std::int32_t a = FftSplitOrder(set, m);
  const Index full = Index{1} << m;
  const Index outer = Index{1} << a;
  const Index inner = full / outer;
  const Index group = std::min<Index>(FftColumnGroup(a), inner);
  for (Index j0 = 0; j0 < inner; j0 += group) {
    Index span = 1;
    if ((a & 1) != 0) {
      for (Index c = 0; c < group; c += 2) {
        const Index step = full / (2 * inner);
        QuarterWaveLookup(s, order, full, (j0 + c) * step, &out[0], &out[2]);
        QuarterWaveLookup(s, order, full, (j0 + c + 1) * step, &out[1], &out[3]);
        out += 4;
      }
      span = 2;
    }
    for (; span < outer; span *= 4) {
      const Index step = full / (4 * span * inner);
      for (Index jf = 0; jf < span * group; jf += 2) {
        for (Index r = 1; r <= 3; ++r) {
          for (Index lane = 0; lane < 2; ++lane) {
            const Index u = (jf + lane) / group;
            const Index c = (jf + lane) % group;
            const Index j = u * inner + j0 + c;
            QuarterWaveLookup(s, order, full, r * j * step, &out[lane], &out[2 + lane]);
          }
          out += 4;
        }
      }
    }
  }
  return out;
}

// Byte counts of a split plan of complex order m: the plan block and the
// work space.
struct SplitPlanBytes {
  std::int64_t plan = 0;
  std::int64_t work = 0;
};

SplitPlanBytes SplitPlanSizes(FftSimdSet set, std::int32_t m) {
  SplitPlanBytes sizes;
  std::int32_t level = m;
  for (;;) {
    const std::int32_t a = FftSplitOrder(set, level);
    const std::int32_t i = level - a;
    const std::int64_t inner = std::int64_t{1} << i;
    sizes.plan += 16 * ((std::int64_t{1} << level) - inner);
    sizes.work = std::max(
        sizes.work, 16 * std::min<std::int64_t>(FftColumnGroup(a), inner) * (std::int64_t{1} << a));
    if (i <= FftCombinedMaxOrder(set)) {
      sizes.plan += (inner + 1) * 16;
      return sizes;
    }
    level = i;
  }
}

// Lays out the split plan of complex order m at `plan` (see the file
// comment) and sets workBytes.
void BuildSplitPlan(FftSimdSet set, RealFftSpec* spec, std::int32_t m, const double* s,
                    std::int32_t order, double* plan) {
  std::int32_t levelOrders[kFftMaxSplitLevels] = {};
  std::int32_t levels = 0;
  std::int32_t inner = m;
  while (inner > FftCombinedMaxOrder(set)) {
    levelOrders[levels++] = inner;
    inner -= FftSplitOrder(set, inner);
  }
  spec->twiddles = plan;
  BuildStageTwiddles(inner, s, order, plan);
  double* p = plan + 2 * ((Index{1} << inner) + 1);
  for (std::int32_t level = levels - 1; level >= 0; --level) {
    spec->levelBlockTwiddles[level] = p;
    p = BuildLevelTwiddles(set, levelOrders[level], s, order, p);
  }
  spec->workBytes = static_cast<std::int32_t>(SplitPlanSizes(set, m).work);
}

// Two-lane real twiddles, k = 1..N/4: forward (0.5 cos, 0.5 - 0.5 sin),
// inverse (cos, -sin), each value taken from the sine table as in the
// portable tables.
void BuildRealTwiddlePairs(std::int32_t order, const double* s, double* forward, double* inverse) {
  const Index quarter = (Index{1} << order) / 4;
  for (Index k = 1; k <= quarter; k += 2) {
    double* f = forward + 2 * (k - 1);
    double* v = inverse + 2 * (k - 1);
    for (Index lane = 0; lane < 2; ++lane) {
      const Index e = k + lane;
      const double half = s[e] * 0.5;
      f[lane] = s[quarter - e] * 0.5;
      f[2 + lane] = 0.5 - half;
      v[lane] = s[quarter - e];
      v[2 + lane] = -s[e];
    }
  }
}

PrimitiveStatus RealFftCreateSpecSet(FftSimdSet set, RealFftSpec** ppSpec, std::int32_t order,
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

  // Every block must fit the 31-bit limit; checked before the first table
  // is allocated.
  const std::int32_t m = order - 1;
  const std::int64_t count = std::int64_t{1} << m;
  const std::int64_t quarter = count / 2;
  const bool combined = m <= FftCombinedMaxOrder(set);
  const std::int64_t twiddleBytes = combined ? (count + 1) * 16 : SplitPlanSizes(set, m).plan;
  const std::int64_t sizes[4] = {RoundUpTo16((quarter + 1) * 8), RoundUpTo16(count + 4),
                                 twiddleBytes, quarter * 16};
  if (!std::all_of(std::begin(sizes), std::end(sizes),
                   [](std::int64_t bytes) { return bytes <= kMaxTransformBlockBytes; })) {
    RealFftFreeSpecPortable(spec);
    return StatusNoMemory;
  }

  auto* sine = static_cast<double*>(AlignedAllocBytes(sizes[0]));
  if (sine == nullptr) {
    RealFftFreeSpecPortable(spec);
    return StatusNoMemory;
  }
  BuildQuarterSineTable(order, sine);

  PrimitiveStatus status = StatusNoMemory;
  spec->bitReverse = static_cast<std::int32_t*>(AlignedAllocBytes(sizes[1]));
  auto* twiddles =
      spec->bitReverse != nullptr ? static_cast<double*>(AlignedAllocBytes(sizes[2])) : nullptr;
  if (twiddles != nullptr) {
    BuildPlainBitReverseTable(m, spec->bitReverse);
    if (combined) {
      spec->twiddles = twiddles;
      BuildStageTwiddles(m, sine, order, twiddles);
      spec->workBytes = static_cast<std::int32_t>(16 * count);
    } else {
      BuildSplitPlan(set, spec, m, sine, order, twiddles);
    }
    spec->forwardRealTwiddles = static_cast<double*>(AlignedAllocBytes(sizes[3]));
    spec->inverseRealTwiddles = static_cast<double*>(AlignedAllocBytes(sizes[3]));
    if (spec->forwardRealTwiddles != nullptr && spec->inverseRealTwiddles != nullptr) {
      BuildRealTwiddlePairs(order, sine, spec->forwardRealTwiddles, spec->inverseRealTwiddles);
      status = StatusOk;
    }
  }
  AlignedFree(sine);
  if (status != StatusOk) {
    RealFftFreeSpecPortable(spec);
    return status;
  }
  *ppSpec = spec;
  return StatusOk;
}

}  // namespace

PrimitiveStatus RealFftCreateSpecB(RealFftSpec** ppSpec, std::int32_t order, std::int32_t flag,
                                   std::int32_t hint) {
  return RealFftCreateSpecSet(FftSimdSet::B, ppSpec, order, flag, hint);
}

PrimitiveStatus RealFftCreateSpecC(RealFftSpec** ppSpec, std::int32_t order, std::int32_t flag,
                                   std::int32_t hint) {
  return RealFftCreateSpecSet(FftSimdSet::C, ppSpec, order, flag, hint);
}
