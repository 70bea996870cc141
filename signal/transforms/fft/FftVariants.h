// Processor-specific variants of the forward real FFT (internal to the
// transform unit).
//
// Variant A (x87) reads the portable spec: its create and free entries are
// the portable ones, and its forward transform runs the portable plan with
// engines that compute in the extended format and round each value to a
// double when they store it.
//
// Variants B and C (SSE2, two doubles per register) build specs of their own
// whose tables only their own forward transform reads, so a spec made by one
// letter's create serves that letter's forward transform only:
// - bitReverse: a plain list, word i = 2 rev(i) over the middle m - 2 bits of
//   the complex index (i = 0..M/4 - 1), then a 0;
// - complex orders m up to 13 (B) or 14 (C) run as one bit-reversing radix-4
//   transform from src into dst through M complex values of work space
//   (workBytes = 16 M); `twiddles` holds one table per radix-4 stage;
// - larger orders are split into levels of A outer rows by I inner columns
//   (at most two levels), worked four to 128 columns at a time in a gathered
//   block (see FftColumnGroup);
// - forwardRealTwiddles and inverseRealTwiddles in two-lane form.
//
// The two-lane ("split") layout: each 32-byte group holds the real parts of
// two consecutive complex values followed by their imaginary parts, so value
// k (k even) has its real part at double 2k and its imaginary part at 2k + 2,
// the same bytes the interleaved layout gives the pair.
//
// Per-stage twiddle table of a radix-4 stage of order s (L = 2^s values out,
// span q = L/4): for each pair k, k + 1 (k = 0, 2, ..., q - 2) and r = 1, 2, 3
// the four doubles Re W_L^(rk), Re W_L^(r(k+1)), Im W_L^(rk), Im W_L^(r(k+1)),
// 6q doubles per stage. The stages of a complex order m > 3 are those of order
// 4 (m even) or 5 (m odd) and every second order after it up to m, stored one
// after another.
#pragma once

#include <cstdint>

#include "signal/transforms/MoskDispatcher.h"

struct RealFftSpec;

PrimitiveStatus RealFftCreateSpecB(RealFftSpec** ppSpec, std::int32_t order, std::int32_t flag,
                                   std::int32_t hint);
PrimitiveStatus RealFftCreateSpecC(RealFftSpec** ppSpec, std::int32_t order, std::int32_t flag,
                                   std::int32_t hint);

PrimitiveStatus RealFftForwardA(const double* src, double* dst, const RealFftSpec* spec,
                                std::uint8_t* workBuf);
PrimitiveStatus RealFftForwardB(const double* src, double* dst, const RealFftSpec* spec,
                                std::uint8_t* workBuf);
PrimitiveStatus RealFftForwardC(const double* src, double* dst, const RealFftSpec* spec,
                                std::uint8_t* workBuf);

// The fixed kernels of orders 0 to 3 and the CCS packing, shared by every
// variant (the same formulas in each): dst gets the N + 2 doubles (2 at
// order 0) of the spec's order. spec->order must be 0..3.
void RealFftForwardSmallOrder(const double* src, double* dst, const RealFftSpec* spec);

// The start every forward transform shares. Begin checks the arguments,
// transforms orders 0 to 3 at once (Done() is then true) and provides the
// work area: the caller's buffer from its first 16-byte boundary on, or a
// block of our own for this call, freed with this object.
class RealFftForwardStart {
 public:
  RealFftForwardStart() = default;
  ~RealFftForwardStart();
  RealFftForwardStart(const RealFftForwardStart&) = delete;
  RealFftForwardStart& operator=(const RealFftForwardStart&) = delete;

  PrimitiveStatus Begin(const double* src, double* dst, const RealFftSpec* spec,
                        std::uint8_t* workBuf);
  bool Done() const { return done_; }
  void* Work() const { return work_; }

 private:
  void* work_ = nullptr;
  void* own_ = nullptr;
  bool done_ = false;
};

// The two SSE2 sets.
enum class FftSimdSet : std::uint8_t { B, C };

// Largest complex order a set runs as one radix-4 transform: 13 (B), 14 (C).
std::int32_t FftCombinedMaxOrder(FftSimdSet set);

// Outer-factor order a of a split complex order m of the set (0 for the
// orders the set does not split), inner order m - a:
// B: m 14 to 17: 4; 18: 5; 19: 6; 20: 7; 21: 8; 22: 4; 23: 5; 24: 6; 25: 7;
//    26 to 29: 8.
// C: m 15, 16: 6; 17, 18: 4; 19, 20: 6; 21 to 29: 8.
std::int32_t FftSplitOrder(FftSimdSet set, std::int32_t m);

// Columns gathered at a time by a split level of outer order a (A = 2^a
// rows): 2048 / A complex values, at least 4, so that one gathered block is
// 32 KiB and stays in the first-level cache. Split levels never have fewer
// inner columns than that.
std::int32_t FftColumnGroup(std::int32_t a);

// Column routines of the split levels (one copy serves B and C). Every
// count of complex values is a multiple of 4; "value" is a complex value.
//
// Copies `count` values from each of `rows` rows, row r starting at value
// r * stride of src, into the contiguous dst (16-byte aligned). The bytes
// are copied as they are (either layout).
void FftColumnGather(const double* src, double* dst, std::int32_t stride, std::int32_t rows,
                     std::int32_t count);
// The reverse: the contiguous src back into the rows of dst. mode 1 also
// turns each two-lane group into two interleaved values; mode 0 copies.
void FftColumnScatter(double* dst, const double* src, std::int32_t stride, std::int32_t rows,
                      std::int32_t count, std::int32_t mode);
// One radix-4 pass on the two-lane layout: in each block of 4q values (q =
// quarter, even), for each j < q, with wa, wb, wc the twiddles of j in the
// per-stage form (the list restarts with each block): A = x[j] + wb x[j+q],
// A' = x[j] - wb x[j+q], B = wa x[j+2q] + wc x[j+3q], D = wa x[j+2q] -
// wc x[j+3q]; out[j] = A + B, out[j+2q] = A - B, out[j+q] = A' - iD,
// out[j+3q] = A' + iD. src may be dst.
void FftColumnRadix4Pass(const double* src, double* dst, std::int32_t quarter, std::int32_t blocks,
                         const double* twiddles);
// One radix-2 pass on the two-lane layout: in each block of 2h values (h =
// half, even), out[j] = x[j] + w x[j+h], out[j+h] = x[j] - w x[j+h], one
// twiddle w per j as pairs (Re w_j, Re w_j+1, Im w_j, Im w_j+1), restarting
// with each block. src may be dst.
void FftColumnRadix2Pass(const double* src, double* dst, std::int32_t half, std::int32_t blocks,
                         const double* twiddles);
