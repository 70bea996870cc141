// Transform and filter primitives: forward real FFT, conjugate extension and
// magnitude of a spectrum, IIR filtering and strided sample conversions.
//
// Eleven primitives, each reached through its pointer variable (see
// signal/primitives/PrimitiveDispatch.h): the first call binds the variant that
// the processor-type code selects and later calls go straight to it. The code
// stays 0, so the portable variants declared here are the ones that run.
//
// Who calls them: the spectrum component (create, forward transform,
// conjugate extension, magnitude, free), the meters and the DC remover (the
// conversions, IIR create, filter, free), all on the thread that pushes the
// audio buffer. Every primitive is re-entrant and returns a status; none
// throws. A check that fails returns before anything is written.
//
// Objects that outlive a call belong to the caller:
// - a `RealFftSpec` comes from `RealFftCreateSpec` and goes back through
//   `RealFftFreeSpec`; it is only read by transforms, so several threads may
//   transform with one spec at once (each with its own work buffer);
// - an `IirState` comes from `IirCreateState` and goes back through
//   `IirFreeState`; filtering advances its delay line, so one state serves
//   one thread at a time.
// Nothing else allocates except the forward transform's per-call work block
// when the caller gives no work buffer.
#pragma once

#include <complex>
#include <cstdint>

#include "signal/primitives/PrimitiveDispatch.h"

// This unit's primitives answer StatusOk, StatusBadLength, StatusNullPointer,
// StatusBadStep and the transform codes, all in signal/primitives/PrimitiveDispatch.h.

// Tables of a forward real FFT of one order (fft/RealFftSpec.h).
struct RealFftSpec;
// Normalised taps and delay line of one IIR filter (iir/IirState.h).
struct IirState;

// Scaling flags of `RealFftCreateSpec`.
inline constexpr std::int32_t kFftScaleForwardByN = 1;
inline constexpr std::int32_t kFftScaleInverseByN = 2;
inline constexpr std::int32_t kFftScaleBySqrtN = 4;
inline constexpr std::int32_t kFftNoScale = 8;

// Makes the tables of a forward real FFT of N = 2^order doubles (order 0..30)
// and stores the new spec in *ppSpec. flag: 1 scales the forward result by
// 1/N, 2 an inverse result by 1/N, 4 both by 1/sqrt N, 8 nothing. hint is
// stored and not interpreted.
// Results, checked in this order: ppSpec null -8; order outside 0..30 -15;
// no memory -9; bad flag -16; no memory for a table -9 (a table whose size
// does not fit 31 bits counts as no memory: orders 28 to 30 always give -9).
// On failure *ppSpec is not written and nothing stays allocated. On success
// the caller owns the spec until it passes it to `RealFftFreeSpec`. The call
// computes every table once and may take a while at large orders: keep the
// spec and reuse it.
PrimitiveStatus RealFftCreateSpecPortable(RealFftSpec** ppSpec, std::int32_t order,
                                          std::int32_t flag, std::int32_t hint);
KESTRUNE_DECLARE_PRIMITIVE(RealFftCreateSpec);

// Releases a spec made by `RealFftCreateSpec`: null -8; an object whose first
// word is not the spec id -17 (nothing freed); else 0, and the pointer is dead.
PrimitiveStatus RealFftFreeSpecPortable(RealFftSpec* spec);
KESTRUNE_DECLARE_PRIMITIVE(RealFftFreeSpec);

// Forward real FFT of the N = 2^order doubles at src (order taken from spec)
// into the packed half spectrum at dst: N + 2 doubles Re X0, Im X0, ...,
// Re X(N/2), Im X(N/2), with both imaginary parts written as 0.0 (for order 0
// exactly two doubles). Scaled by the spec's factor when its flag says so.
// src and dst are the same array or do not overlap; src is only read when
// they differ. workBuf: null, or work space of the spec's `workBytes` bytes
// from its first 16-byte boundary on (up to 15 bytes more); with null the
// call allocates and frees the work space itself when the order needs any
// (orders 13 and up). The size of workBuf is not checked. The stages read
// their twiddles in place from the spec's tables, so beyond the work space
// the call needs only a few hundred bytes of stack, whatever the order.
// Results, checked in this order: spec null -8; spec id wrong -17; src null
// -8; dst null -8; work block not allocated -9 (dst untouched); else 0.
PrimitiveStatus RealFftForwardPortable(const double* src, double* dst, const RealFftSpec* spec,
                                       std::uint8_t* workBuf);
KESTRUNE_DECLARE_PRIMITIVE(RealFftForward);

// Completes an N-point spectrum whose elements 0..len/2 hold the lower half:
// element len - k receives conj(element k) for k = 1..(len-1)/2. Elements
// 0..len/2 are not touched. srcDst null -8, len < 1 -6, else 0.
PrimitiveStatus VectorConjugateExtendComplexInPlacePortable(std::complex<double>* srcDst,
                                                            std::int32_t len);
KESTRUNE_DECLARE_PRIMITIVE(VectorConjugateExtendComplexInPlace);

// dst[k] = sqrt(re^2 + im^2) of the len complex values at src, the sum of
// squares rounded once to double before the root. dst may be src's memory
// itself (element k is written after element k has been read). src or dst null -8 (src tested
// first), len < 1 -6, else 0.
PrimitiveStatus VectorMagnitudeComplexPortable(const std::complex<double>* src, double* dst,
                                               std::int32_t len);
KESTRUNE_DECLARE_PRIMITIVE(VectorMagnitudeComplex);

// Strided 2-D conversions. A block is a base pointer, a row step in bytes, a
// width in elements and a height in rows; row r starts at base + r * step.
// Checks, in this order: src or dst null -8; width or height below 1 -6;
// srcStep or dstStep below 1 -14. Nothing is allocated; the control state of
// the floating-point unit is not touched.
//
// 16-bit samples to floats, exactly.
PrimitiveStatus RoiConvertInt16ToFloatPortable(const std::int16_t* src, std::int32_t srcStep,
                                               float* dst, std::int32_t dstStep, std::int32_t width,
                                               std::int32_t height);
KESTRUNE_DECLARE_PRIMITIVE(RoiConvertInt16ToFloat);

// Floats to 16-bit samples: x >= 32767 gives 32767, x <= -32768 and NaN give
// -32768; otherwise rndMode 1 rounds to nearest with ties to even, any other
// rndMode truncates toward zero. A block one element wide with a dstStep of
// 4 bytes (one channel of 16-bit stereo frames) may be written in groups
// that read and write back unchanged the bytes between its elements: no other
// thread may write those bytes meanwhile.
PrimitiveStatus RoiConvertFloatToInt16Portable(const float* src, std::int32_t srcStep,
                                               std::int16_t* dst, std::int32_t dstStep,
                                               std::int32_t width, std::int32_t height,
                                               std::int32_t rndMode);
KESTRUNE_DECLARE_PRIMITIVE(RoiConvertFloatToInt16);

// Floats to signed bytes, as `RoiConvertFloatToInt16` with the bounds 127 and
// -128.
PrimitiveStatus RoiConvertFloatToInt8Portable(const float* src, std::int32_t srcStep,
                                              std::int8_t* dst, std::int32_t dstStep,
                                              std::int32_t width, std::int32_t height,
                                              std::int32_t rndMode);
KESTRUNE_DECLARE_PRIMITIVE(RoiConvertFloatToInt8);

// IIR filter of order N from 2 * (N + 1) taps b0..bN, a0..aN (each divided by
// a0 when stored) and an optional delay line of N values (null: zeros):
// y[n] = (sum of bk x[n-k] - sum over k >= 1 of ak y[n-k]) / a0.
// Results, checked in this order: taps null -8; ppState null -8; order < 0
// -25; no memory (or a state size that does not fit 31 bits) -9; a0 equal to
// 0.0 or NaN -10. On every failure *ppState keeps its old value and nothing
// stays allocated. On success the caller owns the state until it passes it
// to `IirFreeState`.
PrimitiveStatus IirCreateStatePortable(IirState** ppState, const float* taps, std::int32_t order,
                                       const float* delayLine);
KESTRUNE_DECLARE_PRIMITIVE(IirCreateState);

// Releases a state made by `IirCreateState`: null -8; an object whose first
// word is neither IIR id -17 (nothing freed); else 0, and the state is dead.
PrimitiveStatus IirFreeStatePortable(IirState* state);
KESTRUNE_DECLARE_PRIMITIVE(IirFreeState);

// Filters len floats in place through the state, carrying its delay line
// over to the next call. Results, checked in this order: state null -8;
// srcDst null -8; len < 1 -6; id neither IIR id -17; else 0. Order 2 runs
// in double, other orders in extended precision; outputs and delay values
// are rounded to single precision when stored, so a signal split
// differently into calls may differ in the last bits.
PrimitiveStatus IirFilterFloatInPlacePortable(float* srcDst, std::int32_t len, IirState* state);
KESTRUNE_DECLARE_PRIMITIVE(IirFilterFloatInPlace);
