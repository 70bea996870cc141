#include "signal/transforms/fft/FftEngines.h"

#include <emmintrin.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <limits>

#include "signal/transforms/fft/PostPassLanes.h"
#include "signal/transforms/fft/RealFftSpec.h"

// Arithmetic: every butterfly computes in double and stores doubles. The
// stages of the radix-4 engine hold one complex value per two-lane vector
// (GCC's vector extension: SSE2 on x86-64, the same two-lane operations
// elsewhere), so a complex sum is one vector addition. Every lane operation
// is the IEEE operation of the scalar formula written beside it, and
// signal/ is built without contraction (-ffp-contract=off), so the results
// are those of the scalar formulas whatever instructions carry them.
// Sign changes are XORs of the sign bit: x - y and x + (-y) round alike.

namespace {

using Index = std::ptrdiff_t;

// One complex value: lane 0 the real part, lane 1 the imaginary part.
using Complex2 = double __attribute__((vector_size(16)));
using Complex2Bits = std::int64_t __attribute__((vector_size(16)));

constexpr Complex2Bits kSignOfRe = {std::numeric_limits<std::int64_t>::min(), 0};
constexpr Complex2Bits kSignOfIm = {0, std::numeric_limits<std::int64_t>::min()};

// Loads and stores of value k, at any alignment of the buffer.
inline Complex2 LoadValue(const double* buf, Index k) {
  Complex2 v;
  std::memcpy(&v, buf + 2 * k, sizeof v);
  return v;
}

inline void StoreValue(double* buf, Index k, Complex2 v) {
  std::memcpy(buf + 2 * k, &v, sizeof v);
}

inline Complex2 FlipSigns(Complex2 v, Complex2Bits signs) {
  return reinterpret_cast<Complex2>(reinterpret_cast<Complex2Bits>(v) ^ signs);
}

// (re, im) -> (im, re).
inline Complex2 SwapParts(Complex2 v) {
  return __builtin_shufflevector(v, v, 1, 0);
}

// -i x = (xi, -xr).
inline Complex2 MulMinusI(Complex2 x) {
  return FlipSigns(SwapParts(x), kSignOfIm);
}

// A twiddle w = (wr, wi) prepared for products: wr in both lanes, and wi in
// both lanes for the swapped operand.
struct Twiddle {
  Complex2 re;
  Complex2 im;
};

inline Twiddle PrepareTwiddle(const double* w) {
  return {Complex2{w[0], w[0]}, Complex2{w[1], w[1]}};
}

// x w = (xr wr - xi wi, xi wr + xr wi): lane 0 adds the negated product
// xi wi, lane 1 is the usual sum with its terms in the other order.
inline Complex2 ComplexMul(Complex2 x, const Twiddle& w) {
  return x * w.re + FlipSigns(SwapParts(x) * w.im, kSignOfRe);
}

// Products by the eighth roots that need no full complex product, with
// c = sqrt(1/2) and cn = -sqrt(1/2) as read from the table (in both lanes):
// x W_8 = c (xr + xi, xi - xr); x W_8^3 = cn (xr - xi, xr + xi).
inline Complex2 MulW8(Complex2 x, Complex2 c) {
  return (x + MulMinusI(x)) * c;
}

inline Complex2 MulW8Cubed(Complex2 x, Complex2 cn) {
  return (x + FlipSigns(SwapParts(x), kSignOfRe)) * cn;
}

// The 4-point DFT of x0..x3: with s01 = x0 + x1, d01 = x0 - x1 and the same
// for x2, x3: y0 = s01 + s23, y2 = s01 - s23, y1 = d01 - i d23 and
// y3 = d01 + i d23.
inline void FirstStage(Complex2* x) {
  const Complex2 s01 = x[0] + x[1];
  const Complex2 d01 = x[0] - x[1];
  const Complex2 s23 = x[2] + x[3];
  const Complex2 md23 = MulMinusI(x[2] - x[3]);
  x[0] = s01 + s23;
  x[2] = s01 - s23;
  x[1] = d01 + md23;
  x[3] = d01 - md23;
}

// The radix-4 combination of one butterfly, given T0 and the twiddled
// T1, T2, T3 (see Radix4Stage): with s = T0 + T2, d = T0 - T2, u = T1 + T3,
// v = T1 - T3, o0 = s + u, o2 = s - u, o1 = d - i v and o3 = d + i v.
struct Radix4Out {
  Complex2 o0, o1, o2, o3;
};

inline Radix4Out Radix4Combine(Complex2 t0, Complex2 t1, Complex2 t2, Complex2 t3) {
  const Complex2 s = t0 + t2;
  const Complex2 d = t0 - t2;
  const Complex2 u = t1 + t3;
  const Complex2 mv = MulMinusI(t1 - t3);
  return {s + u, d + mv, s - u, d - mv};
}

// Reads the groups of G consecutive values (G = 8 or 16) that the opening
// stages work on, one group after another. Without FromSource, group g is
// values gG..gG+G-1 of x, already in bit-reversed order. With FromSource the
// buffer has not been reversed: position gG + r of the reversed order holds
// value rev(gG + r) = rev_G(r) n/G + rev(g) of src (the reversal of the low
// bits r becomes the high part, that of the group number the low part), so
// the group is gathered from src with the group number's reversal kept by
// a reversed increment.
template <int G, bool FromSource>
class GroupLoader {
 public:
  GroupLoader(const double* src, const double* x, Index n) : src_(src), x_(x), groups_(n / G) {
    for (int r = 0; r < G; ++r) {
      offsets_[r] = ReverseLowBits(r) * (n / G);
    }
  }

  void LoadNext(Complex2* y) {
    if constexpr (FromSource) {
#pragma GCC unroll 16
      for (int r = 0; r < G; ++r) {
        y[r] = LoadValue(src_, offsets_[r] + reversed_);
      }
      // reversed_ becomes the reversal of the next group number.
      Index bit = groups_ / 2;
      while ((reversed_ & bit) != 0) {
        reversed_ ^= bit;
        bit /= 2;
      }
      reversed_ |= bit;
    } else {
#pragma GCC unroll 16
      for (int r = 0; r < G; ++r) {
        y[r] = LoadValue(x_, next_ + r);
      }
      next_ += G;
    }
  }

 private:
  // The log2(G)-bit reversal of r.
  static constexpr Index ReverseLowBits(int r) {
    Index reversed = 0;
    for (int bit = 1, top = G / 2; bit < G; bit *= 2, top /= 2) {
      if ((r & bit) != 0) {
        reversed |= top;
      }
    }
    return reversed;
  }

  const double* src_;
  const double* x_;
  Index groups_;
  Index offsets_[G];  // rev_G(r) n/G
  Index reversed_ = 0;
  Index next_ = 0;
};

// Odd complex orders: the first stage and the radix-2 stage of span 4 on each
// group of eight values, held in registers. With A = values 0..3 and B =
// values 4..7 after the first stage, value k becomes A_k + t_k and value
// k + 4 A_k - t_k, where t_k = W_8^k B_k. The twiddles sqrt(1/2) and
// -sqrt(1/2) come from entry n/8.
//
// When FromSource, the group's values are read from src in bit-reversed
// order instead of from x (see GroupLoader), so the bit reversal is done by
// these loads and x is written without being read.
//
// This and the other stage functions below are kept out of line: inlined
// into one engine body, GCC's register allocation of the loops gets worse.
template <bool FromSource>
[[gnu::noinline]] void OddOpeningStages(const double* src, double* x, Index n,
                                        const double* twiddles) {
  const double* w8 = twiddles + 6 * (n / 8);
  const Complex2 c = {w8[0], w8[0]};
  const Complex2 cn = {w8[1], w8[1]};
  GroupLoader<8, FromSource> loader(src, x, n);
  for (Index g = 0; g < n; g += 8) {
    double* v = x + 2 * g;
    Complex2 y[8];
    loader.LoadNext(y);
    FirstStage(y);
    FirstStage(y + 4);
    const Complex2 t[4] = {y[4], MulW8(y[5], c), MulMinusI(y[6]), MulW8Cubed(y[7], cn)};
    for (int k = 0; k < 4; ++k) {
      StoreValue(v, k, y[k] + t[k]);
      StoreValue(v, k + 4, y[k] - t[k]);
    }
  }
}

// Even complex orders: the first stage and the radix-4 stage of span 4 to 16
// per group of 16 values held in registers. The twiddles W_16^k come from
// table entries n/16 (W_16, W_8, W_16^3) and 3n/16 (W_16^3, W_8^3, W_16^9);
// products by W_8 powers use the constant forms.
template <bool FromSource>
[[gnu::noinline]] void EvenOpeningStages(const double* src, double* x, Index n,
                                         const double* twiddles) {
  const double* w8 = twiddles + 6 * (n / 8);
  const Complex2 c = {w8[0], w8[0]};
  const Complex2 cn = {w8[1], w8[1]};
  const double* e1 = twiddles + 6 * (n / 16);
  const double* e3 = twiddles + 6 * (3 * n / 16);
  const Twiddle w16 = PrepareTwiddle(e1);
  const Twiddle w16Cubed = PrepareTwiddle(e1 + 4);
  const Twiddle w16Third = PrepareTwiddle(e3);
  const Twiddle w16Ninth = PrepareTwiddle(e3 + 4);
  GroupLoader<16, FromSource> loader(src, x, n);
  for (Index g = 0; g < n; g += 16) {
    double* v = x + 2 * g;
    Complex2 y[16];
    loader.LoadNext(y);
    for (int h = 0; h < 16; h += 4) {
      FirstStage(y + h);
    }
    // Butterfly j takes T0 = y[j], T2 = y[j+4], T1 = y[j+8], T3 = y[j+12].
    Radix4Out o[4];
    o[0] = Radix4Combine(y[0], y[8], y[4], y[12]);
    // j = 1: W1 = W_16, W2 = W_8, W3 = W_16^3.
    o[1] = Radix4Combine(y[1], ComplexMul(y[9], w16), MulW8(y[5], c), ComplexMul(y[13], w16Cubed));
    // j = 2: W1 = W_8, W2 = -i, W3 = W_8^3.
    o[2] = Radix4Combine(y[2], MulW8(y[10], c), MulMinusI(y[6]), MulW8Cubed(y[14], cn));
    // j = 3: W1 = W_16^3, W2 = W_8^3, W3 = W_16^9.
    o[3] = Radix4Combine(y[3], ComplexMul(y[11], w16Third), MulW8Cubed(y[7], cn),
                         ComplexMul(y[15], w16Ninth));
    for (int j = 0; j < 4; ++j) {
      StoreValue(v, j, o[j].o0);
      StoreValue(v, j + 4, o[j].o1);
      StoreValue(v, j + 8, o[j].o2);
      StoreValue(v, j + 12, o[j].o3);
    }
  }
}

// Writes one butterfly's results at j, j + L, j + 2L and j + 3L of the block
// at p, each times `scale` when Scaled (the scaling pass folded into the
// last stage: the sum is rounded, then the product, as in a separate pass).
template <bool Scaled>
inline void StoreButterfly(double* p, Index j, Index L, const Radix4Out& o, Complex2 scale) {
  if constexpr (Scaled) {
    StoreValue(p, j, o.o0 * scale);
    StoreValue(p, j + L, o.o1 * scale);
    StoreValue(p, j + 2 * L, o.o2 * scale);
    StoreValue(p, j + 3 * L, o.o3 * scale);
  } else {
    StoreValue(p, j, o.o0);
    StoreValue(p, j + L, o.o1);
    StoreValue(p, j + 2 * L, o.o2);
    StoreValue(p, j + 3 * L, o.o3);
  }
}

// One radix-4 stage growing sub-transforms of L values to 4L. In each block
// of 4L values and for each j < L, with the table entry k = j n / (4L)
// holding (W1, W2, W3) = (W_4L^j, W_4L^2j, W_4L^3j): T0 = x[j],
// T2 = W2 x[j+L], T1 = W1 x[j+2L], T3 = W3 x[j+3L] (distance L holds the
// residue-2 and distance 2L the residue-1 sub-transform: the input was
// bit-reversed), combined by Radix4Combine. The twiddles are read straight
// from the table, each prepared once for every block that uses it. For
// j = 0 every twiddle is 1 and nothing is multiplied (so infinities do not
// turn into NaN through 0 * inf).
template <bool Scaled>
[[gnu::noinline]] void Radix4Stage(double* x, Index n, Index L, const double* twiddles,
                                   double factor) {
  const Complex2 scale = {factor, factor};
  const Index entryStride = 6 * (n / (4 * L));
  for (Index base = 0; base < n; base += 4 * L) {
    double* p = x + 2 * base;
    StoreButterfly<Scaled>(
        p, 0, L,
        Radix4Combine(LoadValue(p, 0), LoadValue(p, 2 * L), LoadValue(p, L), LoadValue(p, 3 * L)),
        scale);
  }
  auto butterfly = [&](double* p, Index j, const double* entry) {
    const Complex2 t2 = ComplexMul(LoadValue(p, j + L), PrepareTwiddle(entry + 2));
    const Complex2 t1 = ComplexMul(LoadValue(p, j + 2 * L), PrepareTwiddle(entry));
    const Complex2 t3 = ComplexMul(LoadValue(p, j + 3 * L), PrepareTwiddle(entry + 4));
    StoreButterfly<Scaled>(p, j, L, Radix4Combine(LoadValue(p, j), t1, t2, t3), scale);
  };
  if (4 * L == n) {
    // The last stage: one block, each twiddle used once.
    for (Index j = 1; j < L; ++j) {
      butterfly(x, j, twiddles + 6 * j);
    }
    return;
  }
  for (Index j = 1; j < L; ++j) {
    const double* entry = twiddles + j * entryStride;
    for (Index base = 0; base < n; base += 4 * L) {
      butterfly(x + 2 * base, j, entry);
    }
  }
}

// The radix-4 engine of one size: the opening stages (odd complex orders,
// 8, 32, 128 and 512 values: the first stage and the radix-2 stage of span
// 4; even orders: the first stage and the radix-4 stage of span 4), then
// the radix-4 stages from span 8 or 16 up to n. When `scale` is given, the
// result is multiplied by *scale: in the last radix-4 stage, or by a
// separate pass when the opening stages are the last.
//
// With src given, buf is not read: the opening stages take their values from
// src in bit-reversed order (n >= 8).
void RunRadix4Engine(const double* src, double* buf, Index n, const double* twiddles,
                     const double* scale) {
  const bool oddOrder = (n & 0x55555555) == 0;
  if (n == 4) {
    Complex2 y[4];
    for (int k = 0; k < 4; ++k) {
      y[k] = LoadValue(buf, k);
    }
    FirstStage(y);
    for (int k = 0; k < 4; ++k) {
      StoreValue(buf, k, y[k]);
    }
  } else if (oddOrder) {
    if (src != nullptr) {
      OddOpeningStages<true>(src, buf, n, twiddles);
    } else {
      OddOpeningStages<false>(nullptr, buf, n, twiddles);
    }
  } else {
    if (src != nullptr) {
      EvenOpeningStages<true>(src, buf, n, twiddles);
    } else {
      EvenOpeningStages<false>(nullptr, buf, n, twiddles);
    }
  }
  const Index firstSpan = oddOrder ? 8 : 16;
  if (4 * firstSpan > n) {
    if (scale != nullptr) {
      FftScaleDouble(*scale, buf, 2 * n);
    }
    return;
  }
  Index L = firstSpan;
  for (; 16 * L <= n; L *= 4) {
    Radix4Stage<false>(buf, n, L, twiddles, 1.0);
  }
  if (scale != nullptr) {
    Radix4Stage<true>(buf, n, L, twiddles, *scale);
  } else {
    Radix4Stage<false>(buf, n, L, twiddles, 1.0);
  }
}

// Scalar complex product for the split levels' row gathering.
inline void ComplexMul(double xr, double xi, double wr, double wi, double* pr, double* pi) {
  *pr = xr * wr - xi * wi;
  *pi = xr * wi + xi * wr;
}

// Bit-reversal moves: raw 16-byte patterns, so NaN payloads arrive unchanged.
inline void MoveValue(const double* src, Index from, double* dst, Index to) {
  std::memcpy(dst + 2 * to, src + 2 * from, 2 * sizeof(double));
}

inline void SwapValues(double* buf, Index a, Index b) {
  double held[2];
  std::memcpy(held, buf + 2 * a, sizeof held);
  std::memcpy(buf + 2 * a, buf + 2 * b, sizeof held);
  std::memcpy(buf + 2 * b, held, sizeof held);
}

// A table word 4i stands for the even value index 2i.
inline Index WordToIndex(std::int32_t word) {
  return static_cast<Index>(word >> 1);
}

// Largest order of the radix-4 engine's inner sub-transforms.
constexpr std::int32_t kRadix4MaxOrder = 9;
constexpr Index kUnsplitSubBlock = 512;
// Butterflies per chunk of the radix-2 stages: their twiddles stay cached
// while the chunk is applied to every block pair.
constexpr Index kRadix2Chunk = 64;

// One pair of the real post-pass: a = Z[k], b = Z[n-k], t = T[k]. With
// E = (a + conj b)/2 and O = (a - conj b)/(2i), bin k is E + W_N^k O and bin
// n - k is conj(E - W_N^k O); with the twiddle T[k] = (cos/2, 1/2 - sin/2)
// both share the products P and Q below.
inline void PostProcessPair(double ar, double ai, double br, double bi, double tr, double ti,
                            double* newA, double* newB) {
  const double d = ar - br;
  const double s = ai + bi;
  const double p = tr * s + ti * d;
  const double q = ti * s - tr * d;
  newA[0] = br + p;
  newA[1] = q - bi;
  newB[0] = ar - p;
  newB[1] = q - ai;
}

// The pairs k = 1..pairs of the real post-pass, value k at lower + 2k and
// value n - k at upper - 2k (the two ranges never meet). Two pairs per step,
// one in each lane: values k and k + 1 are neighbours, and so are n - k - 1
// and n - k. Each lane does PostProcessPair's operations, operand for
// operand (PostPassOnLanes).
void PostProcessPairs(double* __restrict lower, double* __restrict upper, Index pairs,
                      const double* __restrict twiddles) {
  Index k = 1;
  for (; k + 1 <= pairs; k += 2) {
    double* a = lower + 2 * k;        // values k, k + 1
    double* b = upper - 2 * (k + 1);  // values n - k - 1, n - k
    const double* t = twiddles + 2 * k;
    const __m128d a0 = _mm_loadu_pd(a);      // value k
    const __m128d a1 = _mm_loadu_pd(a + 2);  // value k + 1
    const __m128d b0 = _mm_loadu_pd(b + 2);  // value n - k
    const __m128d b1 = _mm_loadu_pd(b);      // value n - k - 1
    const __m128d t0 = _mm_loadu_pd(t);
    const __m128d t1 = _mm_loadu_pd(t + 2);
    const __m128d ar = _mm_unpacklo_pd(a0, a1);
    const __m128d ai = _mm_unpackhi_pd(a0, a1);
    const __m128d br = _mm_unpacklo_pd(b0, b1);
    const __m128d bi = _mm_unpackhi_pd(b0, b1);
    const __m128d tr = _mm_unpacklo_pd(t0, t1);
    const __m128d ti = _mm_unpackhi_pd(t0, t1);
    const PostPassLanes z = PostPassOnLanes(ar, ai, br, bi, tr, ti);
    _mm_storeu_pd(a, _mm_unpacklo_pd(z.ar, z.ai));
    _mm_storeu_pd(a + 2, _mm_unpackhi_pd(z.ar, z.ai));
    _mm_storeu_pd(b + 2, _mm_unpacklo_pd(z.br, z.bi));
    _mm_storeu_pd(b, _mm_unpackhi_pd(z.br, z.bi));
  }
  if (k <= pairs) {
    double* a = lower + 2 * k;
    double* b = upper - 2 * k;
    const double* t = twiddles + 2 * k;
    PostProcessPair(a[0], a[1], b[0], b[1], t[0], t[1], a, b);
  }
}

// Radix-2 butterflies of one chunk: with p = w y[j], x[j] = a + p and
// y[j] = a - p (a = x[j]). The chunk's twiddles are held in wr and wi.
void Radix2ChunkButterflies(double* __restrict x, double* __restrict y, Index width,
                            const double* __restrict wr, const double* __restrict wi) {
  for (Index j = 0; j < width; ++j) {
    double pr;
    double pi;
    ComplexMul(y[2 * j], y[2 * j + 1], wr[j], wi[j], &pr, &pi);
    const double ar = x[2 * j];
    const double ai = x[2 * j + 1];
    x[2 * j] = ar + pr;
    x[2 * j + 1] = ai + pi;
    y[2 * j] = ar - pr;
    y[2 * j + 1] = ai - pi;
  }
}

// The same for the second half of a block pair, where the twiddle is the
// chunk's value times -i: x[j] = a + (p.im, -p.re), y[j] = a - (p.im, -p.re).
void Radix2ChunkButterfliesRotated(double* __restrict x, double* __restrict y, Index width,
                                   const double* __restrict wr, const double* __restrict wi) {
  for (Index j = 0; j < width; ++j) {
    double pr;
    double pi;
    ComplexMul(y[2 * j], y[2 * j + 1], wr[j], wi[j], &pr, &pi);
    const double ar = x[2 * j];
    const double ai = x[2 * j + 1];
    x[2 * j] = ar + pi;
    x[2 * j + 1] = ai - pr;
    y[2 * j] = ar - pi;
    y[2 * j + 1] = ai + pr;
  }
}

}  // namespace

void FftBitReverseCopy(const double* src, double* dst, std::int32_t n, const std::int32_t* table) {
  const Index count = n;
  if (count < 8) {
    MoveValue(src, 0, dst, 0);
    MoveValue(src, count - 1, dst, count - 1);
    if (count > 2) {
      MoveValue(src, 2, dst, 1);
      MoveValue(src, 1, dst, 2);
    }
    return;
  }
  const Index h = count / 2;
  const std::int32_t* word = table;
  // Pairs (2i, 2r) with i < r: the eight values of both groups swap places.
  for (;;) {
    const Index a = WordToIndex(word[0]);
    if (a <= 0) {
      break;
    }
    const Index b = WordToIndex(word[1]);
    word += 2;
    MoveValue(src, a, dst, b);
    MoveValue(src, h + a, dst, b + 1);
    MoveValue(src, b, dst, a);
    MoveValue(src, h + b, dst, a + 1);
    MoveValue(src, a + 1, dst, h + b);
    MoveValue(src, h + a + 1, dst, h + b + 1);
    MoveValue(src, b + 1, dst, h + a);
    MoveValue(src, h + b + 1, dst, h + a + 1);
  }
  // The word that ended the pairs (index 0) and the singles map onto their
  // own group; only the inner two values trade places.
  Index a = 0;
  for (;;) {
    MoveValue(src, a, dst, a);
    MoveValue(src, h + a, dst, a + 1);
    MoveValue(src, a + 1, dst, h + a);
    MoveValue(src, h + a + 1, dst, h + a + 1);
    ++word;
    a = WordToIndex(*word);
    if (a <= 0) {
      break;
    }
  }
}

void FftBitReverseInPlace(double* buf, std::int32_t n, const std::int32_t* table) {
  const Index count = n;
  if (count < 4) {
    return;
  }
  const Index h = count / 2;
  const std::int32_t* word = table;
  for (;;) {
    const Index a = WordToIndex(word[0]);
    if (a <= 0) {
      break;
    }
    const Index b = WordToIndex(word[1]);
    word += 2;
    SwapValues(buf, a, b);
    SwapValues(buf, a + 1, h + b);
    SwapValues(buf, h + a, b + 1);
    SwapValues(buf, h + a + 1, h + b + 1);
  }
  Index a = 0;
  for (;;) {
    SwapValues(buf, a + 1, h + a);
    ++word;
    a = WordToIndex(*word);
    if (a <= 0) {
      break;
    }
  }
}

void FftRadix4Engine(double* buf, std::int32_t n, const double* twiddles) {
  RunRadix4Engine(nullptr, buf, n, twiddles, nullptr);
}

void FftRadix4EngineScaled(double* buf, std::int32_t n, const double* twiddles, double factor) {
  RunRadix4Engine(nullptr, buf, n, twiddles, &factor);
}

void FftScaleDouble(double factor, double* buf, std::int64_t count) {
  for (std::int64_t i = 0; i < count; ++i) {
    buf[i] *= factor;
  }
}

void FftBitReverseRadix4Engine(const double* src, double* dst, std::int32_t n,
                               const double* twiddles, const double* scale) {
  RunRadix4Engine(src, dst, n, twiddles, scale);
}

void FftLargeOrderEngine(const RealFftSpec* spec, double* buf, std::int32_t m, void* work) {
  if (LargeFftSplitOrder(m) == 0) {
    FftUnsplitEngine(spec, buf, std::int32_t{1} << m);
  } else {
    FftSplitLevel(spec, buf, m, 0, work);
  }
}

void FftSplitLevel(const RealFftSpec* spec, double* buf, std::int32_t m, std::int32_t level,
                   void* work) {
  const std::int32_t a = LargeFftSplitOrder(m);
  const std::int32_t i = m - a;
  const Index outer = Index{1} << a;
  const Index inner = Index{1} << i;

  // Block t holds, in bit-reversed order, the values whose index is
  // congruent to rev_a(t) modulo A: transform each block on its own.
  if (i <= kRadix4MaxOrder) {
    const double* scale = spec->scaleForward != 0 ? &spec->scaleFactor : nullptr;
    for (Index t = 0; t < outer; ++t) {
      RunRadix4Engine(nullptr, buf + 2 * t * inner, inner, spec->twiddles, scale);
    }
  } else {
    for (Index t = 0; t < outer; ++t) {
      double* block = buf + 2 * t * inner;
      if (LargeFftSplitOrder(i) == 0) {
        FftUnsplitEngine(spec, block, static_cast<std::int32_t>(inner));
      } else {
        FftSplitLevel(spec, block, i, level + 1, work);
      }
    }
  }

  // Combine four columns at a time: row r position t = value t*I + j0 + r
  // times W_n^(rev(t)(j0 + r)). The rows are in bit-reversed order of the
  // residue, so an A-point radix-4 transform of each row yields bins
  // j0 + r + I*k in natural order of k.
  double* rows = static_cast<double*>(work);
  const double* blockTwiddle = spec->levelBlockTwiddles[level];
  for (Index j0 = 0; j0 < inner; j0 += 4) {
    for (Index t = 0; t < outer; ++t) {
      const double* v = buf + 2 * (t * inner + j0);
      for (Index r = 0; r < 4; ++r, blockTwiddle += 2) {
        double* dst = rows + 2 * (r * outer + t);
        ComplexMul(v[2 * r], v[2 * r + 1], blockTwiddle[0], blockTwiddle[1], &dst[0], &dst[1]);
      }
    }
    for (Index r = 0; r < 4; ++r) {
      RunRadix4Engine(nullptr, rows + 2 * r * outer, outer, spec->levelRadix4Twiddles[level],
                      nullptr);
    }
    for (Index t = 0; t < outer; ++t) {
      double* v = buf + 2 * (t * inner + j0);
      for (Index r = 0; r < 4; ++r) {
        const double* src = rows + 2 * (r * outer + t);
        v[2 * r] = src[0];
        v[2 * r + 1] = src[1];
      }
    }
  }
}

void FftUnsplitEngine(const RealFftSpec* spec, double* buf, std::int32_t n) {
  const double* scale = spec->scaleForward != 0 ? &spec->scaleFactor : nullptr;
  for (Index start = n - kUnsplitSubBlock; start >= 0; start -= kUnsplitSubBlock) {
    RunRadix4Engine(nullptr, buf + 2 * start, kUnsplitSubBlock, spec->twiddles, scale);
  }
  FftRadix2Stages(buf, n, static_cast<std::int32_t>(kUnsplitSubBlock), spec->quarterTwiddles);
}

void FftRadix2Stages(double* buf, std::int32_t n, std::int32_t span, const double* quarter) {
  const Index count = n;
  double wr[kRadix2Chunk];
  double wi[kRadix2Chunk];
  for (Index L = span; L <= count / 2; L *= 2) {
    // w = W_2L^j = quarter[j * n / (2L)] for j < L/2; for j >= L/2 the
    // twiddle is W_2L^(j - L/2) times -i.
    const Index stride = 2 * (count / (2 * L));
    const Index half = L / 2;
    for (Index c0 = 0; c0 < half; c0 += kRadix2Chunk) {
      const Index width = std::min(kRadix2Chunk, half - c0);
      for (Index j = 0; j < width; ++j) {
        wr[j] = quarter[(c0 + j) * stride];
        wi[j] = quarter[(c0 + j) * stride + 1];
      }
      for (Index base = 0; base < count; base += 2 * L) {
        double* x = buf + 2 * (base + c0);
        Radix2ChunkButterflies(x, x + 2 * L, width, wr, wi);
        Radix2ChunkButterfliesRotated(x + 2 * half, x + 2 * (L + half), width, wr, wi);
      }
    }
  }
}

void RealFftPostProcess(double* buf, std::int32_t n, std::int32_t /*direction*/,
                        const double* realTwiddles) {
  const Index count = n;
  if (count < 2) {
    return;
  }
  PostProcessPairs(buf, buf + 2 * count, (count - 1) / 2, realTwiddles);
  // Bin N/4 is the conjugate of the middle value.
  buf[count + 1] = -buf[count + 1];
}
