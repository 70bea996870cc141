#include "signal/transforms/fft/FftEngines.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "signal/transforms/fft/RealFftSpec.h"

// Arithmetic: every butterfly computes in double and stores doubles. The code
// is plain scalar C++ laid out for the compiler's vectoriser (unit-stride
// loops, locals, restrict-qualified quarters); a vectorised operation rounds
// exactly as its scalar form, since signal/ is built without contraction
// (-ffp-contract=off), so the results do not depend on what gets vectorised.

namespace {

using Index = std::ptrdiff_t;

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

// A complex product (xr + i xi)(wr + i wi).
inline void ComplexMul(double xr, double xi, double wr, double wi, double* pr, double* pi) {
  *pr = xr * wr - xi * wi;
  *pi = xr * wi + xi * wr;
}

// Products by the eighth roots that need no full complex product, with
// c = sqrt(1/2) and cn = -sqrt(1/2) as read from the table:
// x W_8 = c (xr + xi, xi - xr); x W_8^3 = cn (xr - xi, xr + xi); x W_4 = -i x.
inline void MulW8(double xr, double xi, double c, double* pr, double* pi) {
  *pr = c * (xr + xi);
  *pi = c * (xi - xr);
}

inline void MulW8Cubed(double xr, double xi, double cn, double* pr, double* pi) {
  *pr = cn * (xr - xi);
  *pi = cn * (xr + xi);
}

// First stage on a group of four values: out receives the 4-point DFT of
// in (out may be in: every input is read before anything is written).
inline void FirstStageInto(const double* in, double* out) {
  const double s01r = in[0] + in[2];
  const double s01i = in[1] + in[3];
  const double d01r = in[0] - in[2];
  const double d01i = in[1] - in[3];
  const double s23r = in[4] + in[6];
  const double s23i = in[5] + in[7];
  const double d23r = in[4] - in[6];
  const double d23i = in[5] - in[7];
  out[0] = s01r + s23r;
  out[1] = s01i + s23i;
  out[4] = s01r - s23r;
  out[5] = s01i - s23i;
  // y1 = d01 - i*d23, y3 = d01 + i*d23.
  out[2] = d01r + d23i;
  out[3] = d01i - d23r;
  out[6] = d01r - d23i;
  out[7] = d01i + d23r;
}

// Radix-2 stage of span 4 on a group of eight values: with A = values 0..3
// and B = values 4..7 of y, value k of out becomes A_k + t_k and value k + 4
// A_k - t_k, where t_k = W_8^k B_k (out may be y).
inline void Radix2Span4Into(const double* y, double* out, double c, double cn) {
  double t[8];
  t[0] = y[8];
  t[1] = y[9];
  MulW8(y[10], y[11], c, &t[2], &t[3]);
  t[4] = y[13];
  t[5] = -y[12];
  MulW8Cubed(y[14], y[15], cn, &t[6], &t[7]);
  for (int k = 0; k < 8; ++k) {
    const double a = y[k];
    out[k] = a + t[k];
    out[8 + k] = a - t[k];
  }
}

// Odd complex orders: the first stage and the radix-2 stage of span 4 on each
// group of eight values, written out with the group held in locals (the
// first stage's results in y, the radix-2 stage writing the group back). The
// twiddles sqrt(1/2) and -sqrt(1/2) of the radix-2 stage come from entry n/8.
//
// This and the other stage functions below are kept out of line: inlined
// into one engine body, GCC's register allocation of the vector loops gets
// markedly worse.
[[gnu::noinline]] void OddOpeningStages(double* __restrict x, Index n, const double* twiddles) {
  const double* w8 = twiddles + 6 * (n / 8);
  const double c = w8[0];
  const double cn = w8[1];
  for (Index g = 0; g < n; g += 8) {
    double* v = x + 2 * g;
    double in[16];
    std::memcpy(in, v, sizeof in);
    double y[16];
    FirstStageInto(in, y);
    FirstStageInto(in + 8, y + 8);
    Radix2Span4Into(y, v, c, cn);
  }
}

// The radix-4 combination of one butterfly j, given T0 = x[j] and the
// twiddled T1 = W1 x[j+2L], T2 = W2 x[j+L], T3 = W3 x[j+3L] (distance L holds
// the residue-2 and distance 2L the residue-1 sub-transform: the input was
// bit-reversed): with s = T0 + T2, d = T0 - T2, u = T1 + T3, v = T1 - T3,
// x[j] = s + u, x[j+2L] = s - u, x[j+L] = d - i v and x[j+3L] = d + i v, to
// o0..o3 in that order of j, j+L, j+2L, j+3L.
inline void Radix4CombineInto(double t0r, double t0i, double t1r, double t1i, double t2r,
                              double t2i, double t3r, double t3i, double* o0, double* o1,
                              double* o2, double* o3) {
  const double sr = t0r + t2r;
  const double si = t0i + t2i;
  const double dr = t0r - t2r;
  const double di = t0i - t2i;
  const double ur = t1r + t3r;
  const double ui = t1i + t3i;
  const double vr = t1r - t3r;
  const double vi = t1i - t3i;
  o0[0] = sr + ur;
  o0[1] = si + ui;
  o2[0] = sr - ur;
  o2[1] = si - ui;
  o1[0] = dr + vi;
  o1[1] = di - vr;
  o3[0] = dr - vi;
  o3[1] = di + vr;
}

// Butterfly j = 0 in place, where every twiddle is 1 and nothing is
// multiplied (so infinities do not turn into NaN through 0 * inf).
inline void Radix4ButterflyUnit(double* p0, double* p1, double* p2, double* p3) {
  Radix4CombineInto(p0[0], p0[1], p2[0], p2[1], p1[0], p1[1], p3[0], p3[1], p0, p1, p2, p3);
}

// Even complex orders: the first stage and the radix-4 stage of span 4 to 16,
// written out per group of 16 values held in locals (the first stage's
// results in y, the radix-4 stage writing the group back). The twiddles
// W_16^k come from table entries n/16 (W_16, W_8, W_16^3) and 3n/16 (W_16^3,
// W_8^3, W_16^9); products by W_8 powers use the constant forms.
[[gnu::noinline]] void EvenOpeningStages(double* __restrict x, Index n, const double* twiddles) {
  const double* w8 = twiddles + 6 * (n / 8);
  const double c = w8[0];
  const double cn = w8[1];
  double w1[6];
  double w3[6];
  std::memcpy(w1, twiddles + 6 * (n / 16), sizeof w1);
  std::memcpy(w3, twiddles + 6 * (3 * n / 16), sizeof w3);
  for (Index g = 0; g < n; g += 16) {
    double* v = x + 2 * g;
    double in[32];
    std::memcpy(in, v, sizeof in);
    double y[32];
    for (int h = 0; h < 32; h += 8) {
      FirstStageInto(in + h, y + h);
    }
    // j = 0: every twiddle is 1.
    Radix4CombineInto(y[0], y[1], y[16], y[17], y[8], y[9], y[24], y[25], v, v + 8, v + 16, v + 24);
    // j = 1: W1 = W_16, W2 = W_8, W3 = W_16^3.
    double t1r, t1i, t2r, t2i, t3r, t3i;
    MulW8(y[10], y[11], c, &t2r, &t2i);
    ComplexMul(y[18], y[19], w1[0], w1[1], &t1r, &t1i);
    ComplexMul(y[26], y[27], w1[4], w1[5], &t3r, &t3i);
    Radix4CombineInto(y[2], y[3], t1r, t1i, t2r, t2i, t3r, t3i, v + 2, v + 10, v + 18, v + 26);
    // j = 2: W1 = W_8, W2 = -i, W3 = W_8^3.
    MulW8(y[20], y[21], c, &t1r, &t1i);
    MulW8Cubed(y[28], y[29], cn, &t3r, &t3i);
    Radix4CombineInto(y[4], y[5], t1r, t1i, y[13], -y[12], t3r, t3i, v + 4, v + 12, v + 20, v + 28);
    // j = 3: W1 = W_16^3, W2 = W_8^3, W3 = W_16^9.
    MulW8Cubed(y[14], y[15], cn, &t2r, &t2i);
    ComplexMul(y[22], y[23], w3[0], w3[1], &t1r, &t1i);
    ComplexMul(y[30], y[31], w3[4], w3[5], &t3r, &t3i);
    Radix4CombineInto(y[6], y[7], t1r, t1i, t2r, t2i, t3r, t3i, v + 6, v + 14, v + 22, v + 30);
  }
}

// The twiddles of one radix-4 stage, copied out of the table into six arrays
// (real and imaginary parts of W1, W2 and W3, each indexed by j), so that the
// butterfly loop reads every operand at unit stride and the compiler can run
// two butterflies per step in vector registers. Table entry k = j * n / (4L)
// holds (W_n^k, W_n^2k, W_n^3k) = (W_4L^j, W_4L^2j, W_4L^3j).
void GatherStageTwiddles(const double* __restrict twiddles, Index entryStride, Index L,
                         double* __restrict split) {
  // Two entries per step (L is even), so that each pair of stores to an
  // array can go out as one vector store.
  for (Index j = 0; j < L; j += 2) {
    const double* entry = twiddles + j * entryStride;
    const double* next = entry + entryStride;
    for (Index part = 0; part < 6; ++part) {
      split[part * L + j] = entry[part];
      split[part * L + j + 1] = next[part];
    }
  }
}

// Butterflies j = 1..L-1 of one block, with the gathered twiddles:
// T2 = W2 x[j+L], T1 = W1 x[j+2L], T3 = W3 x[j+3L] by full complex products,
// then the combination of Radix4CombineInto. Written over plain indices with the
// four quarters of the block declared distinct, so that the compiler runs
// two butterflies per step.
template <Index FixedSpan>
void Radix4BlockSplit(double* __restrict p0, double* __restrict p1, double* __restrict p2,
                      double* __restrict p3, Index span, const double* __restrict split) {
  const Index L = FixedSpan > 0 ? FixedSpan : span;
  const double* __restrict w1r = split;
  const double* __restrict w1i = split + L;
  const double* __restrict w2r = split + 2 * L;
  const double* __restrict w2i = split + 3 * L;
  const double* __restrict w3r = split + 4 * L;
  const double* __restrict w3i = split + 5 * L;
  for (Index j = 1; j < L; ++j) {
    const double x1r = p1[2 * j];
    const double x1i = p1[2 * j + 1];
    const double x2r = p2[2 * j];
    const double x2i = p2[2 * j + 1];
    const double x3r = p3[2 * j];
    const double x3i = p3[2 * j + 1];
    const double t2r = x1r * w2r[j] - x1i * w2i[j];
    const double t2i = x1r * w2i[j] + x1i * w2r[j];
    const double t1r = x2r * w1r[j] - x2i * w1i[j];
    const double t1i = x2r * w1i[j] + x2i * w1r[j];
    const double t3r = x3r * w3r[j] - x3i * w3i[j];
    const double t3i = x3r * w3i[j] + x3i * w3r[j];
    const double sr = p0[2 * j] + t2r;
    const double si = p0[2 * j + 1] + t2i;
    const double dr = p0[2 * j] - t2r;
    const double di = p0[2 * j + 1] - t2i;
    const double ur = t1r + t3r;
    const double ui = t1i + t3i;
    const double vr = t1r - t3r;
    const double vi = t1i - t3i;
    p0[2 * j] = sr + ur;
    p0[2 * j + 1] = si + ui;
    p2[2 * j] = sr - ur;
    p2[2 * j + 1] = si - ui;
    p1[2 * j] = dr + vi;
    p1[2 * j + 1] = di - vr;
    p3[2 * j] = dr - vi;
    p3[2 * j + 1] = di + vr;
  }
}

// One radix-4 stage growing sub-transforms of L values to 4L, with the
// stage's gathered twiddles. FixedSpan > 0 compiles the stage for that span,
// so the short butterfly loops of span 8 are laid out in full.
template <Index FixedSpan>
[[gnu::noinline]] void Radix4Stage(double* x, Index n, Index span, const double* split) {
  const Index L = FixedSpan > 0 ? FixedSpan : span;
  for (Index base = 0; base < n; base += 4 * L) {
    double* p0 = x + 2 * base;
    double* p1 = p0 + 2 * L;
    double* p2 = p0 + 4 * L;
    double* p3 = p0 + 6 * L;
    Radix4ButterflyUnit(p0, p1, p2, p3);
    Radix4BlockSplit<FixedSpan>(p0, p1, p2, p3, L, split);
  }
}

// Room for the gathered twiddles of every stage of a 1024-value engine
// (spans 16, 64 and 256: 336 entries of six doubles).
constexpr Index kMaxGatheredDoubles = 6 * 336;

// The radix-4 engine of one size, with the twiddles of all its stages
// gathered once: callers that run many transforms of one size (the
// sub-transforms and rows of the large-order path) gather only once. Lives
// on the caller's stack (16 KiB).
class Radix4Engine {
 public:
  Radix4Engine(Index n, const double* twiddles) : n_(n), twiddles_(twiddles) {
    Index offset = 0;
    for (Index L = FirstSpan(); 4 * L <= n_; L *= 4) {
      GatherStageTwiddles(twiddles_, 6 * (n_ / (4 * L)), L, split_ + offset);
      offset += 6 * L;
    }
  }

  // The opening stages (odd complex orders, 8, 32, 128 and 512 values: the
  // first stage and the radix-2 stage of span 4; even orders: the first
  // stage and the radix-4 stage of span 4), then the radix-4 stages from span
  // 8 or 16 up to n.
  void Run(double* buf) const {
    if (n_ == 4) {
      FirstStageInto(buf, buf);
      return;
    }
    if (OddOrder()) {
      OddOpeningStages(buf, n_, twiddles_);
    } else {
      EvenOpeningStages(buf, n_, twiddles_);
    }
    Index offset = 0;
    for (Index L = FirstSpan(); 4 * L <= n_; L *= 4) {
      if (L == 8) {
        Radix4Stage<8>(buf, n_, L, split_ + offset);
      } else {
        Radix4Stage<0>(buf, n_, L, split_ + offset);
      }
      offset += 6 * L;
    }
  }

 private:
  bool OddOrder() const { return (n_ & 0x55555555) == 0; }
  // Span of the first radix-4 stage after the opening ones.
  Index FirstSpan() const { return OddOrder() ? 8 : 16; }

  Index n_;
  const double* twiddles_;
  double split_[kMaxGatheredDoubles];
};

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
// value n - k at upper - 2k (the two ranges never meet). Two pairs per step:
// values k and k + 1 are neighbours, and so are n - k - 1 and n - k, so the
// compiler can run both pairs in the two lanes of vector registers.
void PostProcessPairs(double* __restrict lower, double* __restrict upper, Index pairs,
                      const double* __restrict twiddles) {
  Index k = 1;
  for (; k + 1 <= pairs; k += 2) {
    double* a = lower + 2 * k;        // values k, k + 1
    double* b = upper - 2 * (k + 1);  // values n - k - 1, n - k
    const double* t = twiddles + 2 * k;
    const double ar[2] = {a[0], a[2]};
    const double ai[2] = {a[1], a[3]};
    const double br[2] = {b[2], b[0]};
    const double bi[2] = {b[3], b[1]};
    const double tr[2] = {t[0], t[2]};
    const double ti[2] = {t[1], t[3]};
    double newA[2][2];
    double newB[2][2];
    for (int lane = 0; lane < 2; ++lane) {
      PostProcessPair(ar[lane], ai[lane], br[lane], bi[lane], tr[lane], ti[lane], newA[lane],
                      newB[lane]);
    }
    a[0] = newA[0][0];
    a[1] = newA[0][1];
    a[2] = newA[1][0];
    a[3] = newA[1][1];
    b[2] = newB[0][0];
    b[3] = newB[0][1];
    b[0] = newB[1][0];
    b[1] = newB[1][1];
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
  Radix4Engine(n, twiddles).Run(buf);
}

void FftScaleDouble(double factor, double* buf, std::int64_t count) {
  for (std::int64_t i = 0; i < count; ++i) {
    buf[i] *= factor;
  }
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
    const Radix4Engine innerEngine(inner, spec->twiddles);
    for (Index t = 0; t < outer; ++t) {
      double* block = buf + 2 * t * inner;
      innerEngine.Run(block);
      if (spec->scaleForward != 0) {
        FftScaleDouble(spec->scaleFactor, block, 2 * inner);
      }
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
  const Radix4Engine outerEngine(outer, spec->levelRadix4Twiddles[level]);
  for (Index j0 = 0; j0 < inner; j0 += 4) {
    for (Index t = 0; t < outer; ++t) {
      const double* v = buf + 2 * (t * inner + j0);
      for (Index r = 0; r < 4; ++r, blockTwiddle += 2) {
        double* dst = rows + 2 * (r * outer + t);
        ComplexMul(v[2 * r], v[2 * r + 1], blockTwiddle[0], blockTwiddle[1], &dst[0], &dst[1]);
      }
    }
    for (Index r = 0; r < 4; ++r) {
      outerEngine.Run(rows + 2 * r * outer);
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
  const Radix4Engine engine(kUnsplitSubBlock, spec->twiddles);
  for (Index start = n - kUnsplitSubBlock; start >= 0; start -= kUnsplitSubBlock) {
    double* block = buf + 2 * start;
    engine.Run(block);
    if (spec->scaleForward != 0) {
      FftScaleDouble(spec->scaleFactor, block, 2 * kUnsplitSubBlock);
    }
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
