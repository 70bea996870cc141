// Forward real FFT of variant A: the portable plan on the portable spec
// (variant A's create is the portable one), computed on the x87 unit.
//
// Every butterfly loads its doubles into the extended format, keeps its
// intermediate values there and rounds each result to a double when it
// stores it, so the results agree with the portable variant's to rounding.
// The bit reversal moves every double through the x87 stack (a load and a
// store), not as a raw pattern. The split levels and the radix-2 stages of
// the large orders prefetch ahead of their loads without polluting the
// caches (non-temporal hint). The control word is never changed; every x87
// register is free again when a routine returns.
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "signal/primitives/LPMalloc.h"
#include "signal/transforms/MoskDispatcher.h"
#include "signal/transforms/TransformMemory.h"
#include "signal/transforms/fft/FftVariants.h"
#include "signal/transforms/fft/RealFftSpec.h"

namespace {

using Index = std::ptrdiff_t;
using Ext = long double;

struct Value {
  Ext re;
  Ext im;
};

inline Value Load(const double* buf, Index k) {
  return {buf[2 * k], buf[2 * k + 1]};
}

inline void Store(double* buf, Index k, Value v) {
  buf[2 * k] = static_cast<double>(v.re);
  buf[2 * k + 1] = static_cast<double>(v.im);
}

inline Value operator+(Value a, Value b) {
  return {a.re + b.re, a.im + b.im};
}

inline Value operator-(Value a, Value b) {
  return {a.re - b.re, a.im - b.im};
}

// (xr wr - xi wi, xr wi + xi wr), w as two doubles.
inline Value Mul(Value x, const double* w) {
  const Ext wr = w[0];
  const Ext wi = w[1];
  return {x.re * wr - x.im * wi, x.re * wi + x.im * wr};
}

// One double through the x87 stack.
inline void MoveThroughX87(const double* from, double* to) {
  asm volatile("fldl %1\n\tfstpl %0" : "=m"(*to) : "m"(*from));
}

inline void MoveValue(const double* src, Index from, double* dst, Index to) {
  MoveThroughX87(src + 2 * from, dst + 2 * to);
  MoveThroughX87(src + 2 * from + 1, dst + 2 * to + 1);
}

inline void SwapThroughX87(double* x, double* y) {
  asm volatile("fldl %0\n\tfldl %1\n\tfstpl %0\n\tfstpl %1" : "+m"(*x), "+m"(*y));
}

inline void SwapValues(double* buf, Index a, Index b) {
  SwapThroughX87(buf + 2 * a, buf + 2 * b);
  SwapThroughX87(buf + 2 * a + 1, buf + 2 * b + 1);
}

inline Index WordToIndex(std::int32_t word) {
  return static_cast<Index>(word >> 1);
}

// The portable bit reversals' groups from the portable table.
void BitReverseCopy(const double* src, double* dst, Index n, const std::int32_t* table) {
  const Index h = n / 2;
  const std::int32_t* word = table;
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

void BitReverseInPlace(double* buf, Index n, const std::int32_t* table) {
  const Index h = n / 2;
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

// The 4-point DFT of bit-reversed x0..x3 (see the portable engine).
inline void FirstStage(Value* x) {
  const Value s01 = x[0] + x[1];
  const Value d01 = x[0] - x[1];
  const Value s23 = x[2] + x[3];
  const Value d23 = x[2] - x[3];
  x[0] = s01 + s23;
  x[2] = s01 - s23;
  x[1] = {d01.re + d23.im, d01.im - d23.re};
  x[3] = {d01.re - d23.im, d01.im + d23.re};
}

// n-point DFT of the bit-reversed values in buf (n = 4..1024) on the
// portable radix-4 table: the first stage, the radix-2 stage of span 4 for
// odd orders (twiddles sqrt(1/2), -sqrt(1/2) from entry n/8), then radix-4
// stages of spans 4 or 8 times powers of 4, twiddle entry j n / (4L).
void Radix4Engine(double* buf, Index n, const double* twiddles) {
  const bool odd = (n & 0x5555555555555555LL) == 0;
  const Ext c = twiddles[6 * (n / 8)];
  const Ext cn = twiddles[6 * (n / 8) + 1];
  for (Index g = 0; g < n; g += odd ? 8 : 4) {
    Value x[8];
    const int count = odd ? 8 : 4;
    for (int k = 0; k < count; ++k) {
      x[k] = Load(buf, g + k);
    }
    FirstStage(x);
    if (odd) {
      FirstStage(x + 4);
      const Value b1 = x[5];
      const Value b2 = x[6];
      const Value b3 = x[7];
      const Value t[4] = {x[4],
                          {c * (b1.re + b1.im), c * (b1.im - b1.re)},
                          {b2.im, -b2.re},
                          {cn * (b3.re - b3.im), cn * (b3.re + b3.im)}};
      for (int k = 0; k < 4; ++k) {
        const Value a = x[k];
        x[k] = a + t[k];
        x[k + 4] = a - t[k];
      }
    }
    for (int k = 0; k < count; ++k) {
      Store(buf, g + k, x[k]);
    }
  }
  for (Index L = odd ? 8 : 4; 4 * L <= n; L *= 4) {
    const Index stride = n / (4 * L);
    for (Index base = 0; base < n; base += 4 * L) {
      for (Index j = 0; j < L; ++j) {
        const Value t0 = Load(buf, base + j);
        Value t1 = Load(buf, base + j + 2 * L);
        Value t2 = Load(buf, base + j + L);
        Value t3 = Load(buf, base + j + 3 * L);
        if (j != 0) {
          const double* entry = twiddles + 6 * j * stride;
          t1 = Mul(t1, entry);
          t2 = Mul(t2, entry + 2);
          t3 = Mul(t3, entry + 4);
        }
        const Value s = t0 + t2;
        const Value d = t0 - t2;
        const Value u = t1 + t3;
        const Value v = t1 - t3;
        Store(buf, base + j, s + u);
        Store(buf, base + j + 2 * L, s - u);
        Store(buf, base + j + L, {d.re + v.im, d.im - v.re});
        Store(buf, base + j + 3 * L, {d.re - v.im, d.im + v.re});
      }
    }
  }
}

void ScaleDouble(double factor, double* buf, Index count) {
  const Ext f = factor;
  for (Index i = 0; i < count; ++i) {
    buf[i] = static_cast<double>(buf[i] * f);
  }
}

inline void PrefetchAhead(const double* p) {
  __builtin_prefetch(p, 0, 0);
}

constexpr Index kUnsplitSubBlock = 512;
constexpr Index kRadix2Chunk = 64;
constexpr std::int32_t kRadix4MaxOrder = 9;

// Radix-2 stages from sorted blocks of `span` values to n, in chunks of 64
// butterflies across all block pairs (see the portable FftRadix2Stages).
void Radix2Stages(double* buf, Index n, Index span, const double* quarter) {
  for (Index L = span; L <= n / 2; L *= 2) {
    const Index stride = n / (2 * L);
    const Index half = L / 2;
    for (Index c0 = 0; c0 < half; c0 += kRadix2Chunk) {
      const Index width = std::min(kRadix2Chunk, half - c0);
      for (Index base = 0; base < n; base += 2 * L) {
        const Index next = base + 2 * L < n ? base + 2 * L + c0 : c0;
        PrefetchAhead(buf + 2 * next);
        PrefetchAhead(buf + 2 * (next + L));
        for (Index j = c0; j < c0 + width; ++j) {
          const double* w = quarter + 2 * j * stride;
          const Value a = Load(buf, base + j);
          const Value y = Mul(Load(buf, base + j + L), w);
          Store(buf, base + j, a + y);
          Store(buf, base + j + L, a - y);
          const Value a2 = Load(buf, base + j + half);
          const Value p = Mul(Load(buf, base + j + half + L), w);
          Store(buf, base + j + half, {a2.re + p.im, a2.im - p.re});
          Store(buf, base + j + half + L, {a2.re - p.im, a2.im + p.re});
        }
      }
    }
  }
}

void UnsplitEngine(const RealFftSpec* spec, double* buf, Index n) {
  for (Index start = n - kUnsplitSubBlock; start >= 0; start -= kUnsplitSubBlock) {
    Radix4Engine(buf + 2 * start, kUnsplitSubBlock, spec->twiddles);
    if (spec->scaleForward != 0) {
      ScaleDouble(spec->scaleFactor, buf + 2 * start, 2 * kUnsplitSubBlock);
    }
  }
  Radix2Stages(buf, n, kUnsplitSubBlock, spec->quarterTwiddles);
}

void SplitLevel(const RealFftSpec* spec, double* buf, std::int32_t m, std::int32_t level,
                double* rows) {
  const std::int32_t a = LargeFftSplitOrder(m);
  const std::int32_t i = m - a;
  const Index outer = Index{1} << a;
  const Index inner = Index{1} << i;
  for (Index t = 0; t < outer; ++t) {
    double* block = buf + 2 * t * inner;
    if (i <= kRadix4MaxOrder) {
      Radix4Engine(block, inner, spec->twiddles);
      if (spec->scaleForward != 0) {
        ScaleDouble(spec->scaleFactor, block, 2 * inner);
      }
    } else if (LargeFftSplitOrder(i) == 0) {
      UnsplitEngine(spec, block, inner);
    } else {
      SplitLevel(spec, block, i, level + 1, rows);
    }
  }
  const double* blockTwiddle = spec->levelBlockTwiddles[level];
  for (Index j0 = 0; j0 < inner; j0 += 4) {
    for (Index t = 0; t < outer; ++t) {
      const double* v = buf + 2 * (t * inner + j0);
      if (t + 2 < outer) {
        PrefetchAhead(v + 4 * inner);
      }
      for (Index r = 0; r < 4; ++r, blockTwiddle += 2) {
        Store(rows, r * outer + t, Mul(Load(v, r), blockTwiddle));
      }
    }
    for (Index r = 0; r < 4; ++r) {
      Radix4Engine(rows + 2 * r * outer, outer, spec->levelRadix4Twiddles[level]);
    }
    for (Index t = 0; t < outer; ++t) {
      double* v = buf + 2 * (t * inner + j0);
      for (Index r = 0; r < 4; ++r) {
        MoveThroughX87(rows + 2 * (r * outer + t), v + 2 * r);
        MoveThroughX87(rows + 2 * (r * outer + t) + 1, v + 2 * r + 1);
      }
    }
  }
}

// The portable real post-pass in the extended format.
void PostProcess(double* buf, Index n, const double* twiddles) {
  for (Index k = 1; 2 * k < n; ++k) {
    const Index j = n - k;
    const Value a = Load(buf, k);
    const Value b = Load(buf, j);
    const Ext tr = twiddles[2 * k];
    const Ext ti = twiddles[2 * k + 1];
    const Ext d = a.re - b.re;
    const Ext s = a.im + b.im;
    const Ext p = tr * s + ti * d;
    const Ext q = ti * s - tr * d;
    Store(buf, k, {b.re + p, q - b.im});
    Store(buf, j, {a.re - p, q - a.im});
  }
  buf[n + 1] = -buf[n + 1];
}

}  // namespace

PrimitiveStatus RealFftForwardA(const double* src, double* dst, const RealFftSpec* spec,
                                std::uint8_t* workBuf) {
  RealFftForwardStart start;
  if (const PrimitiveStatus status = start.Begin(src, dst, spec, workBuf);
      status != StatusOk || start.Done()) {
    return status;
  }
  const std::int32_t order = spec->order;
  void* work = start.Work();

  const std::int32_t m = order - 1;
  const Index n = Index{1} << m;
  if (src == dst) {
    BitReverseInPlace(dst, n, spec->bitReverse);
  } else {
    BitReverseCopy(src, dst, n, spec->bitReverse);
  }
  if (m > kRadix4MaxOrder) {
    if (LargeFftSplitOrder(m) == 0) {
      UnsplitEngine(spec, dst, n);
    } else {
      SplitLevel(spec, dst, m, 0, static_cast<double*>(work));
    }
  } else {
    Radix4Engine(dst, n, spec->twiddles);
    if (spec->scaleForward != 0) {
      ScaleDouble(spec->scaleFactor, dst, 2 * n);
    }
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
