// The tables of a forward real FFT (internal to the transform unit).
//
// `RealFftCreateSpec` (MoskDispatcher.h) fills one `RealFftSpec` per order:
// N = 2^order real points, M = N/2 complex points, m = order - 1 the complex
// order, W_L = exp(-2 pi i / L). All trigonometric values come from one
// temporary quarter-wave sine table s[k] = sin(2 pi k / N), k = 0..N/4; a
// table for a transform of L points reads it at stride N/L. The spec is
// written only while it is created and released; in between it is read-only
// and may serve any number of threads.
//
// Complex orders up to 9 run one radix-4 engine on `twiddles`; larger ones
// run the large-order engine on a plan block (at `twiddles`) that splits the
// transform into at most two levels of A outer columns by I inner values,
// with unsplit transforms of 1024 or 2048 values as a special case
// (fft/FftEngines.h).
#pragma once

#include <cstdint>

#include "signal/transforms/MoskDispatcher.h"

// Id of a valid spec; a released spec has id 0.
inline constexpr std::int32_t kRealFftSpecId = 9;

// Largest order, and the number of split levels a plan can have.
inline constexpr std::int32_t kRealFftMaxOrder = 30;
inline constexpr int kFftMaxSplitLevels = 3;

struct RealFftSpec {
  std::int32_t id;            // kRealFftSpecId while valid, 0 once released
  std::int32_t order;         // 0..30
  std::int32_t scaleForward;  // 1: the forward result is multiplied by scaleFactor
  std::int32_t scaleInverse;  // 1: an inverse result would be (not used here)
  double scaleFactor;         // 1/N, 1/sqrt N, or 0.0 without scaling
  std::int32_t hint;          // the caller's hint, not interpreted
  std::int32_t workBytes;     // work space the forward transform needs; 0 for none
  std::int32_t ownsMemory;    // 1: the blocks are released with the spec
  std::int32_t* bitReverse;   // order 4 and up
  // Radix-4 table (complex order 9 or less) or the plan block.
  double* twiddles;
  // Inside the plan: quarter twiddles of the unsplit transform, else null.
  double* quarterTwiddles;
  std::int32_t reserved0;
  double* forwardRealTwiddles;  // N/4 complex values, order 4 and up
  double* inverseRealTwiddles;  // N/4 complex values, order 4 and up
  // Per split level (0 = outermost), inside the plan block. Slot 2 stays null.
  double* levelRadix4Twiddles[kFftMaxSplitLevels];
  double* levelBlockTwiddles[kFftMaxSplitLevels];
  std::int32_t reserved1;
};

// Outer-factor order a of each complex order m = 10..29 (0: not split).
// A split order m has the inner order i = m - a.
std::int32_t LargeFftSplitOrder(std::int32_t m);

// Byte counts of a large-order plan (complex order m = 10..29): the plan
// block, the scratch block used while building it, and the work space of a
// transform. 64-bit, so that counts beyond the 31-bit limit can be refused.
struct LargeFftPlanBytes {
  std::int64_t plan = 0;
  std::int64_t scratch = 0;
  std::int64_t work = 0;
};
LargeFftPlanBytes LargeFftPlanSizes(std::int32_t m);

// The header every create starts from: the arguments checked, the spec block
// made and zeroed, its identity, order, hint and scaling set. On an error
// nothing stays allocated and *spec is untouched.
PrimitiveStatus RealFftNewSpecHeader(RealFftSpec** ppSpec, std::int32_t order, std::int32_t flag,
                                     std::int32_t hint, RealFftSpec** spec);

// Table builders. `s` is the quarter-wave sine table of `order` (N = 2^order);
// a table for L = 2^j points reads it at stride N/L. The three that return a
// pointer return where the next table may start, past what they wrote; the
// three that return nothing fill a table of N/4 + 1 sines or N/4 complex
// values.
// - BuildQuarterSineTable: s[k] = sin(2 pi k / N) for k = 0..N/4.
// - BuildBitReverseTable: with q = 2^(j-2) and r the (j-2)-bit reversal of
//   each i = 1..q-1: the pairs 4i, 4r for i < r from [0] on, then a 0; 4i for
//   i = r from [q - 1] down; and a 0 at [q]. Returns the first 16-byte
//   boundary after those q + 1 values; for j < 2 it writes nothing and
//   returns `table`.
// - BuildRadix4Twiddles: W_L^k, W_L^2k and W_L^3k for k = 0..L/4, each as
//   (re, im). Returns the end of what it wrote.
// - BuildQuarterTwiddles: W_L^k as (re, im) for k = 0..L/4 - 1. Returns the
//   end of what it wrote.
// - BuildForwardRealTwiddles: (cos(2 pi k / N) / 2, (1 - sin(2 pi k / N)) / 2)
//   for k = 0..N/4 - 1.
// - BuildInverseRealTwiddles: W_N^k as (re, im) for k = 0..N/4 - 1.
// The twiddle tables hold pairs of doubles, so their ends are 16-byte
// boundaries when `table` is one.
void BuildQuarterSineTable(std::int32_t order, double* s);
std::int32_t* BuildBitReverseTable(std::int32_t j, std::int32_t* table);
double* BuildRadix4Twiddles(std::int32_t j, const double* s, std::int32_t order, double* table);
double* BuildQuarterTwiddles(std::int32_t j, const double* s, std::int32_t order, double* table);
void BuildForwardRealTwiddles(std::int32_t order, const double* s, double* table);
void BuildInverseRealTwiddles(std::int32_t order, const double* s, double* table);

// W_L^e = (cos(2 pi e / L), -sin(2 pi e / L)) for 0 <= e <= L from the sine
// table of `order` (L <= N), by quadrant, so every value is a table entry or
// its negation.
void QuarterWaveLookup(const double* s, std::int32_t order, std::int64_t L, std::int64_t e,
                       double* re, double* im);
