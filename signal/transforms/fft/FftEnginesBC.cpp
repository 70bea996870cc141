// Forward real FFT of variants B and C: SSE2 stages on two doubles per
// register, on the spec tables that RealFftCreateSpecB and C build
// (fft/FftVariants.h gives their layouts).
//
// Complex orders m up to the set's combined limit run one radix-4 transform:
// its opening stages read src in bit-reversed order (through the plain-list
// table) and write the two-lane layout into the work space, the radix-4
// passes run there, and the last pass writes the two-lane layout into dst
// (src may be dst), where the real post-pass reads it and leaves interleaved
// values. Larger orders are bit-reversed in place or as the copy into
// dst, then split into levels: the inner blocks are transformed in place (the
// innermost by the same radix-4 engine, left in the two-lane layout), then
// the outer stages of a level run on groups of columns gathered into the
// work space and scattered back, into the interleaved layout at level 0.
//
// Every operation rounds to a double, so the results differ from the
// portable variant's in the last bits. Nothing here touches MXCSR or the x87
// unit.
#include <emmintrin.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "signal/primitives/LPMalloc.h"
#include "signal/transforms/MoskDispatcher.h"
#include "signal/transforms/TransformMemory.h"
#include "signal/transforms/fft/FftVariants.h"
#include "signal/transforms/fft/PostPassLanes.h"
#include "signal/transforms/fft/RealFftSpec.h"

namespace {

using Index = std::ptrdiff_t;

// Two complex values in two-lane form.
struct Pair {
  __m128d re;
  __m128d im;
};

inline __m128d Load(const double* p) {
  return _mm_loadu_pd(p);
}

inline void Store(double* p, __m128d v) {
  _mm_storeu_pd(p, v);
}

inline Pair operator+(Pair a, Pair b) {
  return {_mm_add_pd(a.re, b.re), _mm_add_pd(a.im, b.im)};
}

inline Pair operator-(Pair a, Pair b) {
  return {_mm_sub_pd(a.re, b.re), _mm_sub_pd(a.im, b.im)};
}

// a - i b = (a.re + b.im, a.im - b.re).
inline Pair SubTimesI(Pair a, Pair b) {
  return {_mm_add_pd(a.re, b.im), _mm_sub_pd(a.im, b.re)};
}

// a + i b = (a.re - b.im, a.im + b.re).
inline Pair AddTimesI(Pair a, Pair b) {
  return {_mm_sub_pd(a.re, b.im), _mm_add_pd(a.im, b.re)};
}

// x w with w in two-lane form at `w` (Re w0, Re w1, Im w0, Im w1):
// (xr wr - xi wi, xr wi + xi wr).
inline Pair Mul(Pair x, const double* w) {
  const __m128d wr = _mm_load_pd(w);
  const __m128d wi = _mm_load_pd(w + 2);
  return {_mm_sub_pd(_mm_mul_pd(x.re, wr), _mm_mul_pd(x.im, wi)),
          _mm_add_pd(_mm_mul_pd(x.re, wi), _mm_mul_pd(x.im, wr))};
}

inline Pair Scale(Pair x, __m128d c) {
  return {_mm_mul_pd(x.re, c), _mm_mul_pd(x.im, c)};
}

// Values k, k + 1 (k even) of a two-lane buffer.
inline Pair LoadPair(const double* p, Index k) {
  return {Load(p + 2 * k), Load(p + 2 * k + 2)};
}

inline void StorePair(double* p, Index k, Pair v) {
  Store(p + 2 * k, v.re);
  Store(p + 2 * k + 2, v.im);
}

// Values k, k + 1 into an interleaved buffer.
inline void StorePairInterleaved(double* p, Index k, Pair v) {
  Store(p + 2 * k, _mm_unpacklo_pd(v.re, v.im));
  Store(p + 2 * k + 2, _mm_unpackhi_pd(v.re, v.im));
}

// Interleaved values ia and ib as the two lanes of a pair.
inline Pair LoadLanes(const double* p, Index ia, Index ib) {
  const __m128d a = Load(p + 2 * ia);
  const __m128d b = Load(p + 2 * ib);
  return {_mm_unpacklo_pd(a, b), _mm_unpackhi_pd(a, b)};
}

constexpr double kSqrtHalf = 0.70710678118654752440;

// The 4-point DFT of y[0..3] in each lane: s01 = y0 + y1, d01 = y0 - y1 and
// the same for y2, y3; y0 = s01 + s23, y2 = s01 - s23, y1 = d01 - i d23,
// y3 = d01 + i d23.
inline void FirstStage(Pair* y) {
  const Pair s01 = y[0] + y[1];
  const Pair d01 = y[0] - y[1];
  const Pair s23 = y[2] + y[3];
  const Pair d23 = y[2] - y[3];
  y[0] = s01 + s23;
  y[2] = s01 - s23;
  y[1] = SubTimesI(d01, d23);
  y[3] = AddTimesI(d01, d23);
}

// The log2(G)-bit reversals of 0..G-1.
template <int G>
struct LowReversal {
  Index value[G];
  constexpr LowReversal() : value() {
    for (int r = 0; r < G; ++r) {
      for (int bit = 1, top = G / 2; bit < G; bit *= 2, top /= 2) {
        if ((r & bit) != 0) {
          value[r] |= top;
        }
      }
    }
  }
};

template <int G>
inline constexpr LowReversal<G> kLowReversal{};

// The opening stages on groups of G consecutive positions of the
// bit-reversed order, two groups at a time (one per lane; with Single, the
// only group in both): G = 4, the first stage; G = 8, the first stage and
// the radix-2 stage of span 4 with t_k = W_8^k y[4+k]. FromTable: src is in
// natural order and position gG + r is read from value rev_G(r) n/G + rev(g)
// (rev(g) = table[g G/4] / 2); otherwise src is already reversed and may be
// out itself. The result goes to out in the two-lane layout, or interleaved
// when Interleaved.
template <int G, bool FromTable, bool Interleaved, bool Single>
void OpeningStages(const double* src, const std::int32_t* table, double* out, Index n) {
  const Index groups = n / G;
  const Index spread = FromTable ? n / G : 1;
  const __m128d c = _mm_set1_pd(kSqrtHalf);
  const __m128d cn = _mm_set1_pd(-kSqrtHalf);
  for (Index g = 0; g < groups; g += 2) {
    Index baseA;
    Index baseB;
    if constexpr (FromTable) {
      baseA = table[g * G / 4] >> 1;
      baseB = Single ? baseA : table[(g + 1) * G / 4] >> 1;
    } else {
      baseA = g * G;
      baseB = Single ? baseA : baseA + G;
    }
    Pair y[G];
#pragma GCC unroll 16
    for (int r = 0; r < G; ++r) {
      const Index at = (FromTable ? kLowReversal<G>.value[r] : r) * spread;
      y[r] = LoadLanes(src, at + baseA, at + baseB);
    }
    FirstStage(y);
    if constexpr (G == 8) {
      FirstStage(y + 4);
      // t1 = c (B1r + B1i, B1i - B1r); t2 = -i B2; t3 = -c (B3r - B3i, B3r + B3i).
      const Pair t1 = Scale({_mm_add_pd(y[5].re, y[5].im), _mm_sub_pd(y[5].im, y[5].re)}, c);
      const Pair t3 = Scale({_mm_sub_pd(y[7].re, y[7].im), _mm_add_pd(y[7].re, y[7].im)}, cn);
      const Pair b0 = y[4];
      const Pair b2 = y[6];
      y[4] = y[0] - b0;
      y[0] = y[0] + b0;
      y[5] = y[1] - t1;
      y[1] = y[1] + t1;
      y[6] = AddTimesI(y[2], b2);
      y[2] = SubTimesI(y[2], b2);
      y[7] = y[3] - t3;
      y[3] = y[3] + t3;
    }
    double* outA = out + 2 * g * G;
    double* outB = outA + 2 * G;
    if constexpr (Interleaved) {
#pragma GCC unroll 16
      for (int k = 0; k < G; ++k) {
        Store(outA + 2 * k, _mm_unpacklo_pd(y[k].re, y[k].im));
        if constexpr (!Single) {
          Store(outB + 2 * k, _mm_unpackhi_pd(y[k].re, y[k].im));
        }
      }
    } else {
#pragma GCC unroll 16
      for (int k = 0; k < G; k += 2) {
        Store(outA + 2 * k, _mm_unpacklo_pd(y[k].re, y[k + 1].re));
        Store(outA + 2 * k + 2, _mm_unpacklo_pd(y[k].im, y[k + 1].im));
        if constexpr (!Single) {
          Store(outB + 2 * k, _mm_unpackhi_pd(y[k].re, y[k + 1].re));
          Store(outB + 2 * k + 2, _mm_unpackhi_pd(y[k].im, y[k + 1].im));
        }
      }
    }
  }
}

// One radix-4 pass on the two-lane layout (see FftColumnRadix4Pass), the
// results interleaved when Interleaved.
template <bool Interleaved>
void Radix4Pass(const double* src, double* dst, Index q, Index blocks, const double* twiddles) {
  for (Index b = 0; b < blocks; ++b) {
    const double* x = src + 8 * q * b;
    double* y = dst + 8 * q * b;
    const double* w = twiddles;
    for (Index j = 0; j < q; j += 2, w += 12) {
      const Pair x0 = LoadPair(x, j);
      const Pair t1 = Mul(LoadPair(x, j + q), w + 4);
      const Pair t2 = Mul(LoadPair(x, j + 2 * q), w);
      const Pair t3 = Mul(LoadPair(x, j + 3 * q), w + 8);
      const Pair a = x0 + t1;
      const Pair ad = x0 - t1;
      const Pair bs = t2 + t3;
      const Pair d = t2 - t3;
      if constexpr (Interleaved) {
        StorePairInterleaved(y, j, a + bs);
        StorePairInterleaved(y, j + q, SubTimesI(ad, d));
        StorePairInterleaved(y, j + 2 * q, a - bs);
        StorePairInterleaved(y, j + 3 * q, AddTimesI(ad, d));
      } else {
        StorePair(y, j, a + bs);
        StorePair(y, j + q, SubTimesI(ad, d));
        StorePair(y, j + 2 * q, a - bs);
        StorePair(y, j + 3 * q, AddTimesI(ad, d));
      }
    }
  }
}

// The radix-4 butterfly of one pass on four pairs in place (see
// FftColumnRadix4Pass): x1 takes wb, x2 wa and x3 wc from the pair's entry.
inline void Butterfly4(Pair& x0, Pair& x1, Pair& x2, Pair& x3, const double* w) {
  const Pair t1 = Mul(x1, w + 4);
  const Pair t2 = Mul(x2, w);
  const Pair t3 = Mul(x3, w + 8);
  const Pair a = x0 + t1;
  const Pair ad = x0 - t1;
  const Pair bs = t2 + t3;
  const Pair d = t2 - t3;
  x0 = a + bs;
  x1 = SubTimesI(ad, d);
  x2 = a - bs;
  x3 = AddTimesI(ad, d);
}

// Two radix-4 passes in one sweep, spans q and 4q (twiddle lists `first`
// and `second`), each butterfly computing exactly what its own pass would:
// for each j < q of a block of 16q values, the sixteen values j + kq are
// loaded once, the four butterflies of span q and then the four of span 4q
// run on them in registers, and they are stored once.
template <bool Interleaved>
void Radix4PassPair(const double* src, double* dst, Index q, Index blocks, const double* first,
                    const double* second) {
  for (Index b = 0; b < blocks; ++b) {
    const double* x = src + 32 * q * b;
    double* y = dst + 32 * q * b;
    for (Index j = 0; j < q; j += 2) {
      Pair v[16];
#pragma GCC unroll 16
      for (int k = 0; k < 16; ++k) {
        v[k] = LoadPair(x, j + k * q);
      }
      const double* w1 = first + 6 * j;
#pragma GCC unroll 4
      for (int s4 = 0; s4 < 16; s4 += 4) {
        Butterfly4(v[s4], v[s4 + 1], v[s4 + 2], v[s4 + 3], w1);
      }
#pragma GCC unroll 4
      for (int r = 0; r < 4; ++r) {
        Butterfly4(v[r], v[r + 4], v[r + 8], v[r + 12], second + 6 * (j + r * q));
      }
#pragma GCC unroll 16
      for (int k = 0; k < 16; ++k) {
        if constexpr (Interleaved) {
          StorePairInterleaved(y, j + k * q, v[k]);
        } else {
          StorePair(y, j + k * q, v[k]);
        }
      }
    }
  }
}

// The n-point DFT (n = 2^m, m >= 3) on the per-stage twiddles of order m.
// With `table`: src in natural interleaved order (read through the table),
// the stages run in `work` (n values) and the result goes to dst (src may be
// dst) in the two-lane layout, interleaved at n = 8. Without: src = work =
// dst is a block already in bit-reversed interleaved order, transformed in
// place into the two-lane layout.
void Radix4Engine(const double* src, const std::int32_t* table, double* work, double* dst, Index n,
                  const double* twiddles) {
  const bool interleaved = table != nullptr;
  const bool odd = (n & 0x5555555555555555LL) == 0;
  if (n == 8) {
    OpeningStages<8, true, true, true>(src, table, dst, n);
    return;
  }
  if (interleaved) {
    if (odd) {
      OpeningStages<8, true, false, false>(src, table, work, n);
    } else {
      OpeningStages<4, true, false, false>(src, table, work, n);
    }
  } else if (odd) {
    OpeningStages<8, false, false, false>(src, nullptr, work, n);
  } else {
    OpeningStages<4, false, false, false>(src, nullptr, work, n);
  }
  // Radix-4 stages of spans q, 4q, ... up to n/4, two per sweep.
  Index q = odd ? 8 : 4;
  const double* w = twiddles;
  for (; 16 * q <= n; q *= 16) {
    const double* next = w + 6 * q;
    if (16 * q < n) {
      Radix4PassPair<false>(work, work, q, n / (16 * q), w, next);
    } else {
      Radix4PassPair<false>(work, dst, q, 1, w, next);
    }
    w = next + 24 * q;
  }
  if (4 * q == n) {
    Radix4Pass<false>(work, dst, q, 1, w);
  }
}

// buf[i] *= factor for `count` doubles: B two products per instruction, C
// scalar products; four doubles per step.
void ScaleB(double factor, double* buf, Index count) {
  const __m128d f = _mm_set1_pd(factor);
  Index i = 0;
  for (; i + 4 <= count; i += 4) {
    Store(buf + i, _mm_mul_pd(Load(buf + i), f));
    Store(buf + i + 2, _mm_mul_pd(Load(buf + i + 2), f));
  }
  for (; i < count; ++i) {
    _mm_store_sd(buf + i, _mm_mul_sd(_mm_load_sd(buf + i), f));
  }
}

void ScaleC(double factor, double* buf, Index count) {
  const __m128d f = _mm_set_sd(factor);
  Index i = 0;
  for (; i + 4 <= count; i += 4) {
    for (int k = 0; k < 4; ++k) {
      _mm_store_sd(buf + i + k, _mm_mul_sd(_mm_load_sd(buf + i + k), f));
    }
  }
  for (; i < count; ++i) {
    _mm_store_sd(buf + i, _mm_mul_sd(_mm_load_sd(buf + i), f));
  }
}

void ScaleSet(FftSimdSet set, double factor, double* buf, Index count) {
  if (set == FftSimdSet::B) {
    ScaleB(factor, buf, count);
  } else {
    ScaleC(factor, buf, count);
  }
}

// The bit reversal through the plain list (word i = 2 rev(i), i < n/4): the
// four values 2i, 2i + 1, h + 2i, h + 2i + 1 (h = n/2) go to 2r, h + 2r,
// 2r + 1, h + 2r + 1 (2r = word i). 16-byte moves, so every bit pattern
// arrives unchanged. Words i and i + n/8 run together: their targets are
// the two halves of the same four consecutive values (2 rev(i + n/8) =
// 2 rev(i) + 2), so each run of four is written at once.
void BitReverseCopy(const double* src, double* dst, Index n, const std::int32_t* table) {
  const Index h = n / 2;
  const Index q = n / 4;
  auto move = [&](Index i) {
    const Index r = table[i];
    const Index a = 2 * i;
    Store(dst + 2 * r, Load(src + 2 * a));
    Store(dst + 2 * (r + 1), Load(src + 2 * (h + a)));
    Store(dst + 2 * (h + r), Load(src + 2 * (a + 1)));
    Store(dst + 2 * (h + r + 1), Load(src + 2 * (h + a + 1)));
  };
  for (Index i = 0; i < q / 2; ++i) {
    move(i);
    move(i + q / 2);
  }
}

inline void Swap(double* buf, Index a, Index b) {
  const __m128d va = Load(buf + 2 * a);
  const __m128d vb = Load(buf + 2 * b);
  Store(buf + 2 * a, vb);
  Store(buf + 2 * b, va);
}

// The same permutation by swaps (a group i < rev(i) trades places with the
// group rev(i); a group i = rev(i) swaps its two inner values), words i and
// i + n/8 together as in the copy.
void BitReverseInPlace(double* buf, Index n, const std::int32_t* table) {
  const Index h = n / 2;
  const Index q = n / 4;
  auto swap = [&](Index i) {
    const Index r = table[i];
    const Index a = 2 * i;
    if (a < r) {
      Swap(buf, a, r);
      Swap(buf, a + 1, h + r);
      Swap(buf, h + a, r + 1);
      Swap(buf, h + a + 1, h + r + 1);
    } else if (a == r) {
      Swap(buf, a + 1, h + a);
    }
  };
  for (Index i = 0; i < q / 2; ++i) {
    swap(i);
    swap(i + q / 2);
  }
}

// One split level: the inner blocks first (in place), then the outer stages
// column group by column group in the work space. The level's twiddle list
// holds, per group of G columns j0..j0+G-1 and in the order the passes read
// them, the radix-2 list (odd a) and the radix-4 lists of the stages of
// spans I, (2I), 4I ..., A I / 4 (see BuildLevelTwiddles).
void SplitLevel(FftSimdSet set, const RealFftSpec* spec, double* buf, std::int32_t m,
                std::int32_t level, double* work) {
  const std::int32_t a = FftSplitOrder(set, m);
  const std::int32_t i = m - a;
  const Index outer = Index{1} << a;
  const Index inner = Index{1} << i;
  if (i <= FftCombinedMaxOrder(set)) {
    for (Index t = 0; t < outer; ++t) {
      double* block = buf + 2 * t * inner;
      Radix4Engine(block, nullptr, block, block, inner, spec->twiddles);
      if (spec->scaleForward != 0) {
        ScaleSet(set, spec->scaleFactor, block, 2 * inner);
      }
    }
  } else {
    for (Index t = 0; t < outer; ++t) {
      SplitLevel(set, spec, buf + 2 * t * inner, i, level + 1, work);
    }
  }
  const Index group = std::min<Index>(FftColumnGroup(a), inner);
  const auto stride = static_cast<std::int32_t>(inner);
  const auto rows = static_cast<std::int32_t>(outer);
  const auto count = static_cast<std::int32_t>(group);
  const double* w = spec->levelBlockTwiddles[level];
  for (Index j0 = 0; j0 < inner; j0 += group) {
    FftColumnGather(buf + 2 * j0, work, stride, rows, count);
    Index span = 1;
    if ((a & 1) != 0) {
      FftColumnRadix2Pass(work, work, count, rows / 2, w);
      w += 2 * group;
      span = 2;
    }
    for (; span < outer; span *= 4) {
      FftColumnRadix4Pass(work, work, static_cast<std::int32_t>(span * group),
                          static_cast<std::int32_t>(outer / (4 * span)), w);
      w += 6 * span * group;
    }
    FftColumnScatter(buf + 2 * j0, work, stride, rows, count, level == 0 ? 1 : 0);
  }
}

// The real post-pass on two bin pairs per step, with the two-lane real
// twiddles (pair k, k + 1 for odd k at doubles 2(k - 1)): for a = Z[k],
// b = Z[n-k], (tr, ti) = T[k]: d = a.re - b.re, s = a.im + b.im,
// P = tr s + ti d, Q = ti s - tr d; Z[k] = (b.re + P, Q - b.im),
// Z[n-k] = (a.re - P, Q - a.im). The last k (n/2 - 1) runs alone; the
// middle value is conjugated by flipping its sign bit.
void PostProcess(double* buf, Index n, const double* twiddles) {
  const Index half = n / 2;
  auto step = [&](Index k, bool both) {
    const double* t = twiddles + 2 * (k - 1);
    const __m128d tr = _mm_load_pd(t);
    const __m128d ti = _mm_load_pd(t + 2);
    const __m128d a0 = Load(buf + 2 * k);
    const __m128d a1 = Load(buf + 2 * k + 2);
    const __m128d b0 = Load(buf + 2 * (n - k));      // value n - k
    const __m128d b1 = Load(buf + 2 * (n - k - 1));  // value n - k - 1
    const __m128d ar = _mm_unpacklo_pd(a0, a1);
    const __m128d ai = _mm_unpackhi_pd(a0, a1);
    const __m128d br = _mm_unpacklo_pd(b0, b1);
    const __m128d bi = _mm_unpackhi_pd(b0, b1);
    const PostPassLanes z = PostPassOnLanes(ar, ai, br, bi, tr, ti);
    Store(buf + 2 * k, _mm_unpacklo_pd(z.ar, z.ai));
    Store(buf + 2 * (n - k), _mm_unpacklo_pd(z.br, z.bi));
    if (both) {
      Store(buf + 2 * k + 2, _mm_unpackhi_pd(z.ar, z.ai));
      Store(buf + 2 * (n - k - 1), _mm_unpackhi_pd(z.br, z.bi));
    }
  };
  Index k = 1;
  for (; k + 1 < half; k += 2) {
    step(k, true);
  }
  step(k, false);
  const __m128d sign = _mm_set_sd(-0.0);
  _mm_store_sd(buf + n + 1, _mm_xor_pd(_mm_load_sd(buf + n + 1), sign));
}

// The same post-pass, with the fold of bin 0 and the conjugation of the
// middle value, on a buffer that holds the n values (n >= 16) in the two-lane
// layout; the results are written interleaved in place. Each step reads the
// pairs (k - 1, k) and (k + 1, k + 2), the first kept in registers from the
// step before, and the pair (n - k - 1, n - k) with its lanes swapped; every
// store lands on values that are already held in registers.
void PostProcessTwoLane(double* buf, Index n, const double* twiddles) {
  const Index half = n / 2;
  Pair prev = LoadPair(buf, 0);
  const double z0r = _mm_cvtsd_f64(prev.re);
  const double z0i = _mm_cvtsd_f64(prev.im);
  buf[0] = z0r + z0i;
  buf[1] = z0r - z0i;
  auto step = [&](Index k, Pair next, Pair mirror, bool both) {
    const double* t = twiddles + 2 * (k - 1);
    const __m128d tr = _mm_load_pd(t);
    const __m128d ti = _mm_load_pd(t + 2);
    const __m128d ar = _mm_shuffle_pd(prev.re, next.re, 1);
    const __m128d ai = _mm_shuffle_pd(prev.im, next.im, 1);
    const __m128d br = _mm_shuffle_pd(mirror.re, mirror.re, 1);
    const __m128d bi = _mm_shuffle_pd(mirror.im, mirror.im, 1);
    const PostPassLanes z = PostPassOnLanes(ar, ai, br, bi, tr, ti);
    Store(buf + 2 * k, _mm_unpacklo_pd(z.ar, z.ai));
    Store(buf + 2 * (n - k), _mm_unpacklo_pd(z.br, z.bi));
    if (both) {
      Store(buf + 2 * k + 2, _mm_unpackhi_pd(z.ar, z.ai));
      Store(buf + 2 * (n - k - 1), _mm_unpackhi_pd(z.br, z.bi));
    }
  };
  Index k = 1;
  for (; k + 1 < half; k += 2) {
    const Pair next = LoadPair(buf, k + 1);
    step(k, next, LoadPair(buf, n - k - 1), true);
    prev = next;
  }
  // k = half - 1 alone: its mirror value half + 1 and the middle value share
  // the pair (half, half + 1).
  const Pair middle = LoadPair(buf, half);
  step(k, middle, middle, false);
  buf[n] = _mm_cvtsd_f64(middle.re);
  const __m128d sign = _mm_set_sd(-0.0);
  _mm_store_sd(buf + n + 1, _mm_xor_pd(middle.im, sign));
}

constexpr std::int32_t kCombinedMaxOrderB = 13;
constexpr std::int32_t kCombinedMaxOrderC = 14;

// Outer-factor orders for complex orders 10..29 (0: not split).
constexpr std::int32_t kSplitOrdersB[20] = {0, 0, 0, 0, 4, 4, 4, 4, 5, 6,
                                            7, 8, 4, 5, 6, 7, 8, 8, 8, 8};
constexpr std::int32_t kSplitOrdersC[20] = {0, 0, 0, 0, 0, 6, 6, 4, 4, 6,
                                            6, 8, 8, 8, 8, 8, 8, 8, 8, 8};

PrimitiveStatus RealFftForwardSet(FftSimdSet set, const double* src, double* dst,
                                  const RealFftSpec* spec, std::uint8_t* workBuf) {
  RealFftForwardStart start;
  if (const PrimitiveStatus status = start.Begin(src, dst, spec, workBuf);
      status != StatusOk || start.Done()) {
    return status;
  }
  const std::int32_t order = spec->order;
  void* work = start.Work();

  const std::int32_t m = order - 1;
  const Index n = Index{1} << m;
  auto* rows = static_cast<double*>(work);
  if (m <= FftCombinedMaxOrder(set)) {
    Radix4Engine(src, spec->bitReverse, rows, dst, n, spec->twiddles);
    if (spec->scaleForward != 0) {
      ScaleSet(set, spec->scaleFactor, dst, 2 * n);
    }
    if (n > 8) {
      // dst holds the two-lane layout: the post-pass reads it directly.
      PostProcessTwoLane(dst, n, spec->forwardRealTwiddles);
      const Index count = Index{1} << order;
      dst[count] = dst[1];
      dst[count + 1] = 0.0;
      dst[1] = 0.0;
      return StatusOk;
    }
  } else {
    if (src == dst) {
      BitReverseInPlace(dst, n, spec->bitReverse);
    } else {
      BitReverseCopy(src, dst, n, spec->bitReverse);
    }
    SplitLevel(set, spec, dst, m, 0, rows);
  }

  const double z0r = dst[0];
  const double z0i = dst[1];
  dst[0] = z0r + z0i;
  dst[1] = z0r - z0i;
  PostProcess(dst, n, spec->forwardRealTwiddles);
  const Index count = Index{1} << order;
  dst[count] = dst[1];
  dst[count + 1] = 0.0;
  dst[1] = 0.0;

  return StatusOk;
}

}  // namespace

std::int32_t FftCombinedMaxOrder(FftSimdSet set) {
  return set == FftSimdSet::B ? kCombinedMaxOrderB : kCombinedMaxOrderC;
}

std::int32_t FftSplitOrder(FftSimdSet set, std::int32_t m) {
  if (m < 10 || m > 29) {
    return 0;
  }
  return set == FftSimdSet::B ? kSplitOrdersB[m - 10] : kSplitOrdersC[m - 10];
}

std::int32_t FftColumnGroup(std::int32_t a) {
  return std::max<std::int32_t>(4, 2048 >> a);
}

void FftColumnGather(const double* src, double* dst, std::int32_t stride, std::int32_t rows,
                     std::int32_t count) {
  const bool aligned = (reinterpret_cast<std::uintptr_t>(src) & 15) == 0;
  for (Index r = 0; r < rows; ++r) {
    const double* s = src + 2 * r * stride;
    double* d = dst + 2 * r * count;
    if (aligned) {
      for (Index c = 0; c < 2 * Index{count}; c += 8) {
        _mm_store_pd(d + c, _mm_load_pd(s + c));
        _mm_store_pd(d + c + 2, _mm_load_pd(s + c + 2));
        _mm_store_pd(d + c + 4, _mm_load_pd(s + c + 4));
        _mm_store_pd(d + c + 6, _mm_load_pd(s + c + 6));
      }
    } else {
      for (Index c = 0; c < 2 * Index{count}; c += 8) {
        _mm_store_pd(d + c, _mm_loadu_pd(s + c));
        _mm_store_pd(d + c + 2, _mm_loadu_pd(s + c + 2));
        _mm_store_pd(d + c + 4, _mm_loadu_pd(s + c + 4));
        _mm_store_pd(d + c + 6, _mm_loadu_pd(s + c + 6));
      }
    }
  }
}

void FftColumnScatter(double* dst, const double* src, std::int32_t stride, std::int32_t rows,
                      std::int32_t count, std::int32_t mode) {
  const bool aligned = (reinterpret_cast<std::uintptr_t>(dst) & 15) == 0;
  auto put = [aligned](double* p, __m128d v) {
    if (aligned) {
      _mm_store_pd(p, v);
    } else {
      _mm_storel_pd(p, v);
      _mm_storeh_pd(p + 1, v);
    }
  };
  for (Index r = 0; r < rows; ++r) {
    const double* s = src + 2 * r * count;
    double* d = dst + 2 * r * stride;
    for (Index c = 0; c < 2 * Index{count}; c += 8) {
      for (Index g = c; g < c + 8; g += 4) {
        const __m128d lo = _mm_load_pd(s + g);
        const __m128d hi = _mm_load_pd(s + g + 2);
        if (mode == 1) {
          put(d + g, _mm_unpacklo_pd(lo, hi));
          put(d + g + 2, _mm_unpackhi_pd(lo, hi));
        } else {
          put(d + g, lo);
          put(d + g + 2, hi);
        }
      }
    }
  }
}

void FftColumnRadix4Pass(const double* src, double* dst, std::int32_t quarter, std::int32_t blocks,
                         const double* twiddles) {
  Radix4Pass<false>(src, dst, quarter, blocks, twiddles);
}

void FftColumnRadix2Pass(const double* src, double* dst, std::int32_t half, std::int32_t blocks,
                         const double* twiddles) {
  const Index h = half;
  for (Index b = 0; b < blocks; ++b) {
    const double* x = src + 4 * h * b;
    double* y = dst + 4 * h * b;
    const double* w = twiddles;
    for (Index j = 0; j < h; j += 2, w += 4) {
      const Pair x0 = LoadPair(x, j);
      const Pair t = Mul(LoadPair(x, j + h), w);
      StorePair(y, j, x0 + t);
      StorePair(y, j + h, x0 - t);
    }
  }
}

PrimitiveStatus RealFftForwardB(const double* src, double* dst, const RealFftSpec* spec,
                                std::uint8_t* workBuf) {
  return RealFftForwardSet(FftSimdSet::B, src, dst, spec, workBuf);
}

PrimitiveStatus RealFftForwardC(const double* src, double* dst, const RealFftSpec* spec,
                                std::uint8_t* workBuf) {
  return RealFftForwardSet(FftSimdSet::C, src, dst, spec, workBuf);
}
