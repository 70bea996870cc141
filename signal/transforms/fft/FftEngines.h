// Stages of the forward real FFT (internal to the transform unit).
//
// The forward transform reads its N real samples as n = N/2 complex values
// (sample 2j the real part, 2j + 1 the imaginary part of value j) and runs, in
// this order: one bit reversal (in place or as the copy from src to dst), a
// complex FFT of n values (the radix-4 engine up to 512 values, the
// large-order engine above), scaling, and the real post-pass that turns the
// complex result into the half spectrum. Up to 512 values the reversal copy,
// the engine and the scaling can run as one call (FftBitReverseRadix4Engine),
// with the same results. All stages work in place on double pairs, read only
// the spec's tables, allocate nothing and check nothing:
// their callers have validated every argument. A "value" below is one
// complex number, two doubles.
#pragma once

#include <cstdint>

struct RealFftSpec;

// Writes value p of src to value rev(p) of dst for every p < n (rev: the
// log2(n)-bit reversal), moving raw 64-bit patterns. src and dst must not
// overlap. `table` is the bit-reverse table built for n (unread for n < 8).
void FftBitReverseCopy(const double* src, double* dst, std::int32_t n, const std::int32_t* table);

// The same permutation within buf, by swaps.
void FftBitReverseInPlace(double* buf, std::int32_t n, const std::int32_t* table);

// n-point forward complex DFT of the bit-reversed values in buf, result in
// natural order, unscaled; n a power of two from 4 to 1024 and `twiddles` the
// radix-4 table built for exactly n.
void FftRadix4Engine(double* buf, std::int32_t n, const double* twiddles);

// FftRadix4Engine followed by FftScaleDouble(factor, buf, 2n), with the same
// results: the products are taken as the last stage stores its values.
void FftRadix4EngineScaled(double* buf, std::int32_t n, const double* twiddles, double factor);

// FftBitReverseCopy(src, dst, n) followed by FftRadix4Engine(dst, n,
// twiddles) and, when scale is not null, FftScaleDouble(*scale, dst, 2n),
// with the same results: the opening stages read src in bit-reversed order,
// so no separate reversal pass runs. n from 8 to 1024; src and dst must not
// overlap.
void FftBitReverseRadix4Engine(const double* src, double* dst, std::int32_t n,
                               const double* twiddles, const double* scale);

// buf[i] *= factor for the first `count` doubles.
void FftScaleDouble(double factor, double* buf, std::int64_t count);

// As FftRadix4Engine for complex orders m = 10..29 on the spec's plan, scaled
// by the spec's factor when it scales forward. `work` is the spec's
// `workBytes` of 16-byte aligned work space (null when workBytes is 0).
void FftLargeOrderEngine(const RealFftSpec* spec, double* buf, std::int32_t m, void* work);

// One split level of the large-order engine (level 0 is the outermost).
void FftSplitLevel(const RealFftSpec* spec, double* buf, std::int32_t m, std::int32_t level,
                   void* work);

// The transform of n = 1024 or 2048 values: 512-value sub-transforms joined
// by radix-2 stages.
void FftUnsplitEngine(const RealFftSpec* spec, double* buf, std::int32_t n);

// Radix-2 stages that grow sorted sub-transforms of `span` values into one
// of n values; `quarter` holds W_n^k for k < n/4.
void FftRadix2Stages(double* buf, std::int32_t n, std::int32_t span, const double* quarter);

// Forward real post-pass over n = N/2 values (direction 1, the only one): given
// the real FFT's bin 0 and bin N/2 already folded into value 0 and the
// complex DFT Z1..Z(n-1) in values 1..n-1, writes bins 1..N/2-1 into values
// 1..n-1. `realTwiddles` is the spec's forward real twiddle table.
void RealFftPostProcess(double* buf, std::int32_t n, std::int32_t direction,
                        const double* realTwiddles);
