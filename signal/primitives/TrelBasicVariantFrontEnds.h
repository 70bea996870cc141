// The front-ends of the basic primitives' processor-specific variants,
// written once over a kernel set (copy, fill, zero fill, conversion): the
// portable checks, then the set's kernel. Each variant file defines its
// letter's functions from these. Internal to the primitives module.
#pragma once

#include <complex>
#include <cstdint>

#include "signal/primitives/ArgumentChecks.h"
#include "signal/primitives/kernels/VariantKernels.h"

namespace primitives_detail {

// Kernels: Copy(src, dst, nBytes), Fill(dst, &value, size, nBytes),
// Zero(dst, nBytes).
template <typename Kernels>
struct BasicFrontEnds {
  template <typename T>
  static PrimitiveStatus Copy(const T* src, T* dst, std::int32_t len) {
    if (const PrimitiveStatus status = CheckVectorArguments({src, dst}, len); status != StatusOk) {
      return status;
    }
    Kernels::Copy(src, dst, std::int64_t{len} * static_cast<std::int64_t>(sizeof(T)));
    return StatusOk;
  }
  template <typename T>
  static PrimitiveStatus Set(const T& value, T* dst, std::int32_t len) {
    if (const PrimitiveStatus status = CheckVectorArguments({dst}, len); status != StatusOk) {
      return status;
    }
    Kernels::Fill(dst, &value, static_cast<int>(sizeof(T)),
                  std::int64_t{len} * static_cast<std::int64_t>(sizeof(T)));
    return StatusOk;
  }
  template <typename T>
  static PrimitiveStatus Zero(T* dst, std::int32_t len) {
    if (const PrimitiveStatus status = CheckVectorArguments({dst}, len); status != StatusOk) {
      return status;
    }
    Kernels::Zero(dst, std::int64_t{len} * static_cast<std::int64_t>(sizeof(T)));
    return StatusOk;
  }
};

// The byte add, subtract and multiply of a set: the portable checks, the
// set's zero fill past the operation's bound (9, 8, 16), else its kernel.
template <typename ZeroFill, typename Kernel>
PrimitiveStatus UInt8FrontEnd(UInt8Op op, const std::uint8_t* src, std::uint8_t* srcDst,
                              std::int32_t len, std::int32_t sf, ZeroFill zeroFill, Kernel kernel) {
  if (const PrimitiveStatus status = CheckVectorArguments({src, srcDst}, len); status != StatusOk) {
    return status;
  }
  const std::int32_t bound = op == UInt8Op::Add ? 9 : (op == UInt8Op::Sub ? 8 : 16);
  if (sf > bound) {
    zeroFill(srcDst, std::int64_t{len});
  } else {
    kernel(op, src, srcDst, len, sf);
  }
  return StatusOk;
}

}  // namespace primitives_detail

// Defines letter L's byte add, subtract and multiply from UInt8FrontEnd.
#define KESTRUNE_DEFINE_UINT8_VARIANTS(L, zeroFill, kernel)                                        \
  PrimitiveStatus VectorAddUInt8InPlaceScaled##L(const std::uint8_t* src, std::uint8_t* srcDst,    \
                                                 std::int32_t len, std::int32_t sf) {              \
    return primitives_detail::UInt8FrontEnd(UInt8Op::Add, src, srcDst, len, sf, zeroFill, kernel); \
  }                                                                                                \
  PrimitiveStatus VectorSubUInt8InPlaceScaled##L(const std::uint8_t* src, std::uint8_t* srcDst,    \
                                                 std::int32_t len, std::int32_t sf) {              \
    return primitives_detail::UInt8FrontEnd(UInt8Op::Sub, src, srcDst, len, sf, zeroFill, kernel); \
  }                                                                                                \
  PrimitiveStatus VectorMulUInt8InPlaceScaled##L(const std::uint8_t* src, std::uint8_t* srcDst,    \
                                                 std::int32_t len, std::int32_t sf) {              \
    return primitives_detail::UInt8FrontEnd(UInt8Op::Mul, src, srcDst, len, sf, zeroFill, kernel); \
  }

// Defines letter L's copies, fills and zero fills from BasicFrontEnds<K>.
#define KESTRUNE_DEFINE_BASIC_DATA_MOVEMENT(L, K)                                              \
  PrimitiveStatus VectorCopyDouble##L(const double* src, double* dst, std::int32_t len) {      \
    return primitives_detail::BasicFrontEnds<K>::Copy(src, dst, len);                          \
  }                                                                                            \
  PrimitiveStatus VectorCopyUInt8##L(const std::uint8_t* src, std::uint8_t* dst,               \
                                     std::int32_t len) {                                       \
    return primitives_detail::BasicFrontEnds<K>::Copy(src, dst, len);                          \
  }                                                                                            \
  PrimitiveStatus VectorSetInt32##L(std::int32_t value, std::int32_t* dst, std::int32_t len) { \
    return primitives_detail::BasicFrontEnds<K>::Set(value, dst, len);                         \
  }                                                                                            \
  PrimitiveStatus VectorSetDouble##L(double value, double* dst, std::int32_t len) {            \
    return primitives_detail::BasicFrontEnds<K>::Set(value, dst, len);                         \
  }                                                                                            \
  PrimitiveStatus VectorSetComplex##L(double re, double im, std::complex<double>* dst,         \
                                      std::int32_t len) {                                      \
    return primitives_detail::BasicFrontEnds<K>::Set(std::complex<double>(re, im), dst, len);  \
  }                                                                                            \
  PrimitiveStatus VectorSetUInt8##L(std::uint8_t value, std::uint8_t* dst, std::int32_t len) { \
    return primitives_detail::BasicFrontEnds<K>::Set(value, dst, len);                         \
  }                                                                                            \
  PrimitiveStatus VectorZeroInt16##L(std::int16_t* dst, std::int32_t len) {                    \
    return primitives_detail::BasicFrontEnds<K>::Zero(dst, len);                               \
  }                                                                                            \
  PrimitiveStatus VectorZeroInt32##L(std::int32_t* dst, std::int32_t len) {                    \
    return primitives_detail::BasicFrontEnds<K>::Zero(dst, len);                               \
  }                                                                                            \
  PrimitiveStatus VectorZeroDouble##L(double* dst, std::int32_t len) {                         \
    return primitives_detail::BasicFrontEnds<K>::Zero(dst, len);                               \
  }                                                                                            \
  PrimitiveStatus VectorZeroComplex##L(std::complex<double>* dst, std::int32_t len) {          \
    return primitives_detail::BasicFrontEnds<K>::Zero(dst, len);                               \
  }                                                                                            \
  PrimitiveStatus VectorZeroUInt8##L(std::uint8_t* dst, std::int32_t len) {                    \
    return primitives_detail::BasicFrontEnds<K>::Zero(dst, len);                               \
  }
