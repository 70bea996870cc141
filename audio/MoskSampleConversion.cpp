#include "audio/MoskSampleConversion.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "platform/rtl/SysUtils.h"
#include "signal/primitives/MoskBasicDispatcher.h"
#include "signal/primitives/TrelBasicDispatcher.h"
#include "signal/primitives/kernels/AudioSampleKernels.h"
#include "signal/transforms/MoskDispatcher.h"

namespace {

// One codec per width: how a sample is read as a signed value (8 bits: about
// the zero level), its range and full scale, and how a value is stored
// modulo the width. Callers that must not wrap saturate before storing.
struct UInt8Codec {
  static constexpr int32_t Bytes = 1;
  static constexpr int64_t Min = -MoskUInt8ZeroLevel;       // byte 0
  static constexpr int64_t Max = 255 - MoskUInt8ZeroLevel;  // byte 255
  static constexpr int64_t FullScale = MoskFullScale8;
  static int64_t Load(const uint8_t* p) { return int64_t{*p} - MoskUInt8ZeroLevel; }
  static void Store(uint8_t* p, int64_t value) {
    *p = static_cast<uint8_t>(value + MoskUInt8ZeroLevel);  // modulo 256
  }
};

struct Int16Codec {
  static constexpr int32_t Bytes = 2;
  static constexpr int64_t Min = -32768;
  static constexpr int64_t Max = 32767;
  static constexpr int64_t FullScale = MoskFullScale16;
  static int64_t Load(const uint8_t* p) {
    int16_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
  }
  static void Store(uint8_t* p, int64_t value) {
    const auto v = static_cast<int16_t>(value);  // modulo 2^16
    std::memcpy(p, &v, sizeof v);
  }
};

// Sign-extends the low 24 bits: the value modulo 2^24 in -2^23 .. 2^23 - 1.
constexpr int64_t Wrap24(int64_t value) {
  return ((value & 0xFFFFFF) ^ 0x800000) - 0x800000;
}

struct Int24Codec {
  static constexpr int32_t Bytes = 3;
  static constexpr int64_t Min = -8388608;
  static constexpr int64_t Max = 8388607;
  static constexpr int64_t FullScale = MoskFullScale24;
  static int64_t Load(const uint8_t* p) { return ReadInt24Sample(p); }
  static void Store(uint8_t* p, int64_t value) {
    WriteInt24Sample(static_cast<int32_t>(Wrap24(value)), p);
  }
};

struct Int32Codec {
  static constexpr int32_t Bytes = 4;
  static constexpr int64_t Min = -2147483648LL;
  static constexpr int64_t Max = 2147483647;
  static constexpr int64_t FullScale = MoskFullScale32;
  static int64_t Load(const uint8_t* p) {
    int32_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
  }
  static void Store(uint8_t* p, int64_t value) {
    const auto v = static_cast<int32_t>(value);  // modulo 2^32
    std::memcpy(p, &v, sizeof v);
  }
};

// Calls f with the codec of `bits`; false (f not called) for other widths.
template <class F>
bool WithCodec(uint32_t bits, F&& f) {
  switch (bits) {
    case 8:
      f(UInt8Codec{});
      return true;
    case 16:
      f(Int16Codec{});
      return true;
    case 24:
      f(Int24Codec{});
      return true;
    case 32:
      f(Int32Codec{});
      return true;
    default:
      return false;
  }
}

// Sample i of a strided run; the offset is formed in 64 bits.
template <class Byte>
Byte* At(Byte* base, uint32_t index, int32_t step) {
  return base + static_cast<int64_t>(index) * step;
}

// The one rounding of this file.
int64_t RoundSaturate(double v, int64_t lo, int64_t hi) {
  return RoundHalfEvenSaturate(v, lo, hi);
}

// t / s for a zero divisor: the range's end on the dividend's side, 0 for 0.
template <class C>
constexpr int64_t ZeroDivisorResult(int64_t t) {
  return t > 0 ? C::Max : (t < 0 ? C::Min : 0);
}

// t / s truncated toward zero and saturated (only the minimum divided by -1
// leaves the range).
template <class C>
int64_t DivideTruncated(int64_t t, int64_t s) {
  if (s == 0)
    return ZeroDivisorResult<C>(t);
  return std::clamp(t / s, C::Min, C::Max);
}

// Runs a one-column strided block primitive (copy, conversion or in-place
// arithmetic: source first) over `count` samples. Some primitives refuse
// steps below 1, and none takes a height beyond the 32-bit range, which this
// layer accepts: such runs go sample by sample (each a 1 x 1 block, for which
// the step is never used).
template <class From, class To, class Primitive>
void ColumnByPrimitive(const uint8_t* src, int32_t srcStep, uint32_t count, int32_t dstStep,
                       uint8_t* dst, Primitive primitive) {
  if (count == 0)
    return;
  if (srcStep >= 1 && dstStep >= 1 && count <= static_cast<uint32_t>(INT32_MAX)) {
    // Cannot fail: count and steps >= 1, the runs exist; a zero-divisor warning needs nothing.
    primitive(reinterpret_cast<const From*>(src), srcStep, reinterpret_cast<To*>(dst), dstStep, 1,
              static_cast<int32_t>(count));
    return;
  }
  for (uint32_t i = 0; i < count; ++i) {
    primitive(reinterpret_cast<const From*>(At(src, i, srcStep)),
              static_cast<int32_t>(sizeof(From)), reinterpret_cast<To*>(At(dst, i, dstStep)),
              static_cast<int32_t>(sizeof(To)), 1, 1);
  }
}

// Copies `count` samples of one width with the strided copy primitives; a
// 24-bit sample moves as its low two bytes and then its third byte.
template <class C>
void CopyRun(const uint8_t* src, int32_t srcStep, uint32_t count, int32_t dstStep, uint8_t* dst) {
  const auto copy8 = [](auto... a) { RoiCopyUInt8(a...); };
  const auto copy16 = [](auto... a) { RoiCopyInt16(a...); };
  if constexpr (C::Bytes == 1) {
    ColumnByPrimitive<uint8_t, uint8_t>(src, srcStep, count, dstStep, dst, copy8);
  } else if constexpr (C::Bytes == 2) {
    ColumnByPrimitive<int16_t, int16_t>(src, srcStep, count, dstStep, dst, copy16);
  } else if constexpr (C::Bytes == 3) {
    ColumnByPrimitive<int16_t, int16_t>(src, srcStep, count, dstStep, dst, copy16);
    ColumnByPrimitive<uint8_t, uint8_t>(src + 2, srcStep, count, dstStep, dst + 2, copy8);
  } else {
    ColumnByPrimitive<int32_t, int32_t>(src, srcStep, count, dstStep, dst,
                                        [](auto... a) { RoiCopyInt32(a...); });
  }
}

template <class From, class To>
void ConvertRun(const uint8_t* src, int32_t srcStep, uint32_t count, int32_t dstStep,
                uint8_t* dst) {
  if constexpr (std::is_same_v<From, To>) {
    CopyRun<From>(src, srcStep, count, dstStep, dst);
  } else {
    for (uint32_t i = 0; i < count; ++i) {
      // |x| <= 2^31 and F < 2^31: the product fits 64 bits.
      const int64_t y = From::Load(At(src, i, srcStep)) * To::FullScale / From::FullScale;
      To::Store(At(dst, i, dstStep), std::clamp(y, To::Min, To::Max));
    }
  }
}

// srcDst[i] := op(srcDst[i], src[i]) on signed values; the op's result is
// stored modulo the width (ops that saturate have done so).
template <class C, class Op>
void CombineRun(const uint8_t* src, int32_t srcStep, uint8_t* srcDst, int32_t srcDstStep,
                uint32_t count, Op op) {
  for (uint32_t i = 0; i < count; ++i) {
    uint8_t* d = At(srcDst, i, srcDstStep);
    C::Store(d, op(C::Load(d), C::Load(At(src, i, srcStep))));
  }
}

enum class Arithmetic { Add, Subtract, Multiply, Divide };

// The 8-, 24- and 32-bit arithmetic (16 bits has its primitives); results
// are stored modulo the width. Every product of two samples fits 64 bits (at
// most 2^62).
template <Arithmetic A, class C>
int64_t Apply(int64_t t, int64_t s) {
  if constexpr (A == Arithmetic::Add) {
    return t + s;
  } else if constexpr (A == Arithmetic::Subtract) {
    return t - s;
  } else if constexpr (A == Arithmetic::Multiply) {
    return t * s;
  } else if constexpr (std::is_same_v<C, UInt8Codec>) {
    // A divisor at the zero level gives the zero level; (-127) / (-1) =
    // 127 and 128 / (-1) = -128 are stored modulo 256 like every 8-bit result.
    return s == 0 ? 0 : t / s;
  } else {
    return DivideTruncated<C>(t, s);
  }
}

template <Arithmetic A>
bool Combine(uint32_t bits, const void* src, int32_t srcStep, void* srcDst, int32_t srcDstStep,
             uint32_t count) {
  KESTRUNE_USAGE_CHECK(count == 0 || (src != nullptr && srcDst != nullptr),
                       "sample arithmetic on a null run");
  return WithCodec(bits, [&](auto codec) {
    using C = decltype(codec);
    const auto* from = static_cast<const uint8_t*>(src);
    auto* to = static_cast<uint8_t*>(srcDst);
    if constexpr (std::is_same_v<C, Int16Codec>) {
      // The 16-bit block primitives, scale factor 0: saturated, the division
      // rounded to nearest with ties to even.
      constexpr int32_t sf = 0;
      using Sample = int16_t;
      if constexpr (A == Arithmetic::Add) {
        ColumnByPrimitive<Sample, Sample>(from, srcStep, count, srcDstStep, to,
                                          [](auto... a) { RoiAddInt16InPlaceScaled(a..., sf); });
      } else if constexpr (A == Arithmetic::Subtract) {
        ColumnByPrimitive<Sample, Sample>(from, srcStep, count, srcDstStep, to,
                                          [](auto... a) { RoiSubInt16InPlaceScaled(a..., sf); });
      } else if constexpr (A == Arithmetic::Multiply) {
        ColumnByPrimitive<Sample, Sample>(from, srcStep, count, srcDstStep, to,
                                          [](auto... a) { RoiMulInt16InPlaceScaled(a..., sf); });
      } else {
        ColumnByPrimitive<Sample, Sample>(from, srcStep, count, srcDstStep, to,
                                          [](auto... a) { RoiDivInt16InPlaceScaled(a..., sf); });
      }
    } else {
      CombineRun<C>(from, srcStep, to, srcDstStep, count, &Apply<A, C>);
    }
  });
}

}  // namespace

bool IsSupportedSampleWidth(uint32_t bits) {
  return bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

int32_t MoskFullScaleOf(uint32_t bits) {
  int32_t fullScale = 0;
  WithCodec(bits,
            [&](auto codec) { fullScale = static_cast<int32_t>(decltype(codec)::FullScale); });
  return fullScale;
}

bool ReadStoredSample(uint32_t bits, const void* address, int32_t& value) {
  return WithCodec(bits, [&](auto codec) {
    using C = decltype(codec);
    // The codec reads a byte about the zero level; the stored byte is back
    // above it.
    constexpr int64_t bias = std::is_same_v<C, UInt8Codec> ? MoskUInt8ZeroLevel : 0;
    value = static_cast<int32_t>(C::Load(static_cast<const uint8_t*>(address)) + bias);
  });
}

// ---------------------------------------------------------------------------
// 24-bit access

int32_t ReadInt24Sample(const void* address) {
  const auto* p = static_cast<const uint8_t*>(address);
  const int32_t raw = p[0] | (p[1] << 8) | (p[2] << 16);
  return (raw ^ 0x800000) - 0x800000;
}

void WriteInt24Sample(int32_t value, void* address) {
  auto* p = static_cast<uint8_t*>(address);
  const auto bits = static_cast<uint32_t>(value);
  p[0] = static_cast<uint8_t>(bits);
  p[1] = static_cast<uint8_t>(bits >> 8);
  p[2] = static_cast<uint8_t>((bits >> 16) | (value < 0 ? 0x80u : 0u));
}

// ---------------------------------------------------------------------------
// Width conversion

namespace {

// The narrowing primitives' mode that takes the shift mapping.
constexpr int32_t kShiftMapping = 1;

// The four legs between 8 bits and 16 or 32 bits go through the block
// primitives: widening spreads the byte over the whole range (x x 257 -
// 32768, x x 0x01010101 + 2^31) and narrowing takes the shift mapping back
// (mode 1), so a byte widened and narrowed again is the byte it was. True
// when the pair is one of them (and has been converted).
bool ConvertEightBitLeg(const uint8_t* src, uint32_t srcBits, int32_t srcStep, uint32_t count,
                        int32_t dstStep, uint32_t dstBits, uint8_t* dst) {
  if (srcBits == 8 && dstBits == 16) {
    ColumnByPrimitive<uint8_t, int16_t>(src, srcStep, count, dstStep, dst,
                                        [](auto... a) { RoiConvertUInt8ToInt16(a...); });
  } else if (srcBits == 8 && dstBits == 32) {
    ColumnByPrimitive<uint8_t, int32_t>(src, srcStep, count, dstStep, dst,
                                        [](auto... a) { RoiConvertUInt8ToInt32(a...); });
  } else if (srcBits == 16 && dstBits == 8) {
    ColumnByPrimitive<int16_t, uint8_t>(src, srcStep, count, dstStep, dst, [](auto... a) {
      RoiConvertInt16ToUInt8(a..., kShiftMapping);
    });
  } else if (srcBits == 32 && dstBits == 8) {
    ColumnByPrimitive<int32_t, uint8_t>(src, srcStep, count, dstStep, dst, [](auto... a) {
      RoiConvertInt32ToUInt8(a..., kShiftMapping);
    });
  } else {
    return false;
  }
  return true;
}

}  // namespace

bool ConvertSampleWidth(const void* src, uint32_t srcBits, int32_t srcStep, uint32_t count,
                        int32_t dstStep, uint32_t dstBits, void* dst) {
  if (!IsSupportedSampleWidth(srcBits) || !IsSupportedSampleWidth(dstBits))
    return false;
  KESTRUNE_USAGE_CHECK(count == 0 || (src != nullptr && dst != nullptr),
                       "sample conversion on a null run");
  const auto* from = static_cast<const uint8_t*>(src);
  auto* to = static_cast<uint8_t*>(dst);
  if (ConvertEightBitLeg(from, srcBits, srcStep, count, dstStep, dstBits, to))
    return true;
  WithCodec(srcBits, [&](auto source) {
    WithCodec(dstBits, [&](auto target) {
      ConvertRun<decltype(source), decltype(target)>(from, srcStep, count, dstStep, to);
    });
  });
  return true;
}

// ---------------------------------------------------------------------------
// Element-wise arithmetic

bool AddSamples(uint32_t bits, const void* src, int32_t srcStep, void* srcDst, int32_t srcDstStep,
                uint32_t count) {
  return Combine<Arithmetic::Add>(bits, src, srcStep, srcDst, srcDstStep, count);
}

bool SubtractSamples(uint32_t bits, const void* src, int32_t srcStep, void* srcDst,
                     int32_t srcDstStep, uint32_t count) {
  return Combine<Arithmetic::Subtract>(bits, src, srcStep, srcDst, srcDstStep, count);
}

bool MultiplySamples(uint32_t bits, const void* src, int32_t srcStep, void* srcDst,
                     int32_t srcDstStep, uint32_t count) {
  return Combine<Arithmetic::Multiply>(bits, src, srcStep, srcDst, srcDstStep, count);
}

bool DivideSamples(uint32_t bits, const void* src, int32_t srcStep, void* srcDst,
                   int32_t srcDstStep, uint32_t count) {
  return Combine<Arithmetic::Divide>(bits, src, srcStep, srcDst, srcDstStep, count);
}

// ---------------------------------------------------------------------------
// Whole runs

namespace {

// Runs a vector fill primitive (value, destination, length) over `count`
// elements of type T at `dst`: in pieces of at most 2^31 - 1 elements, and
// only where dst is aligned for T (true), else nothing (false).
template <class T, class Primitive>
bool FillByPrimitive(T value, void* dst, uint32_t count, Primitive primitive) {
  if (reinterpret_cast<std::uintptr_t>(dst) % alignof(T) != 0)
    return false;
  auto* d = static_cast<T*>(dst);
  while (count > 0) {
    const uint32_t piece = std::min<uint32_t>(count, INT32_MAX);
    // Cannot fail: piece >= 1 and the aligned run exists.
    primitive(value, d, static_cast<int32_t>(piece));
    d += piece;
    count -= piece;
  }
  return true;
}

// Every sample := the pattern of width C, written byte by byte.
template <class C>
void FillPattern(const uint8_t* pattern, void* dst, uint32_t count) {
  auto* d = static_cast<uint8_t*>(dst);
  for (uint32_t i = 0; i < count; ++i)
    std::memcpy(d + static_cast<size_t>(i) * C::Bytes, pattern, C::Bytes);
}

}  // namespace

bool FillSamples(uint32_t bits, int32_t value, void* dst, uint32_t count) {
  KESTRUNE_USAGE_CHECK(count == 0 || dst != nullptr, "sample fill of a null run");
  return WithCodec(bits, [&](auto codec) {
    using C = decltype(codec);
    uint8_t pattern[C::Bytes];
    C::Store(pattern, value);
    bool filled = false;
    if constexpr (C::Bytes == 1) {
      filled =
          FillByPrimitive<uint8_t>(pattern[0], dst, count, [](auto... a) { VectorSetUInt8(a...); });
    } else if constexpr (C::Bytes == 2) {
      // The 16-bit fill takes any address.
      std::int16_t v;
      std::memcpy(&v, pattern, sizeof v);
      for (uint32_t done = 0; done < count;) {
        const uint32_t piece = std::min<uint32_t>(count - done, INT32_MAX);
        // Cannot fail: piece >= 1 and the run exists (checked above).
        VectorSetInt16(v, reinterpret_cast<std::int16_t*>(static_cast<uint8_t*>(dst) + 2 * done),
                       static_cast<int32_t>(piece));
        done += piece;
      }
      filled = true;
    } else if constexpr (C::Bytes == 4) {
      filled =
          FillByPrimitive<std::int32_t>(value, dst, count, [](auto... a) { VectorSetInt32(a...); });
    }
    if (!filled)
      FillPattern<C>(pattern, dst, count);
  });
}

bool ZeroSamples(uint32_t bits, void* dst, uint32_t count) {
  if (!IsSupportedSampleWidth(bits))
    return false;
  KESTRUNE_USAGE_CHECK(count == 0 || dst != nullptr, "sample zero of a null run");
  if (count == 0)
    return true;
  // 8 bits: every byte at the zero level, as a fill with 0 gives.
  bool zeroed = bits == 8 && FillSamples(8, 0, dst, count);
  if (bits == 16)
    zeroed = FillByPrimitive<std::int16_t>(0, dst, count,
                                           [](std::int16_t, auto... a) { VectorZeroInt16(a...); });
  if (bits == 32)
    zeroed = FillByPrimitive<std::int32_t>(0, dst, count,
                                           [](std::int32_t, auto... a) { VectorZeroInt32(a...); });
  if (!zeroed)
    std::memset(dst, 0, static_cast<size_t>(count) * (bits / 8));
  return true;
}

bool ScaleSamples(uint32_t bits, double factor, void* srcDst, uint32_t count) {
  KESTRUNE_USAGE_CHECK(count == 0 || srcDst != nullptr, "sample scaling of a null run");
  return WithCodec(bits, [&](auto codec) {
    using C = decltype(codec);
    auto* d = static_cast<uint8_t*>(srcDst);
    if constexpr (std::is_same_v<C, Int16Codec>) {
      ScaleInt16RoundedKernel(factor, d, count);
    } else {
      for (uint32_t i = 0; i < count; ++i) {
        uint8_t* p = d + static_cast<size_t>(i) * C::Bytes;
        C::Store(p, RoundSaturate(static_cast<double>(C::Load(p)) * factor, C::Min, C::Max));
      }
    }
  });
}

// ---------------------------------------------------------------------------
// Float conversions

void ConvertInt24ToFloat(const void* src, int32_t srcStep, float* dst, int32_t dstStep,
                         uint32_t count) {
  KESTRUNE_USAGE_CHECK(count == 0 || (src != nullptr && dst != nullptr),
                       "float conversion on a null run");
  const auto* s = static_cast<const uint8_t*>(src);
  auto* d = reinterpret_cast<uint8_t*>(dst);
  for (uint32_t i = 0; i < count; ++i) {
    const auto v = static_cast<float>(ReadInt24Sample(At(s, i, srcStep)));  // exact: 24 bits
    std::memcpy(At(d, i, dstStep), &v, sizeof v);
  }
}

void ConvertInt32ToFloat(const void* src, int32_t srcStep, float* dst, int32_t dstStep,
                         uint32_t count) {
  KESTRUNE_USAGE_CHECK(count == 0 || (src != nullptr && dst != nullptr),
                       "float conversion on a null run");
  const auto* s = static_cast<const uint8_t*>(src);
  auto* d = reinterpret_cast<uint8_t*>(dst);
  for (uint32_t i = 0; i < count; ++i) {
    // int32 -> double is exact, so the one rounding is double -> float.
    const auto v = static_cast<float>(static_cast<double>(Int32Codec::Load(At(s, i, srcStep))));
    std::memcpy(At(d, i, dstStep), &v, sizeof v);
  }
}

namespace {

template <class C>
void ConvertFloatRun(const float* src, int32_t srcStep, void* dst, int32_t dstStep,
                     uint32_t count) {
  KESTRUNE_USAGE_CHECK(count == 0 || (src != nullptr && dst != nullptr),
                       "float conversion on a null run");
  const auto* s = reinterpret_cast<const uint8_t*>(src);
  auto* d = static_cast<uint8_t*>(dst);
  for (uint32_t i = 0; i < count; ++i) {
    float v;
    std::memcpy(&v, At(s, i, srcStep), sizeof v);
    C::Store(At(d, i, dstStep), RoundSaturate(v, C::Min, C::Max));
  }
}

}  // namespace

void ConvertFloatToInt24(const float* src, int32_t srcStep, void* dst, int32_t dstStep,
                         uint32_t count) {
  ConvertFloatRun<Int24Codec>(src, srcStep, dst, dstStep, count);
}

void ConvertFloatToInt32(const float* src, int32_t srcStep, void* dst, int32_t dstStep,
                         uint32_t count) {
  ConvertFloatRun<Int32Codec>(src, srcStep, dst, dstStep, count);
}

// ---------------------------------------------------------------------------
// Channel columns

bool ConvertColumnToDouble(uint32_t bits, const void* src, int32_t srcStep, double* dst,
                           uint32_t count) {
  KESTRUNE_USAGE_CHECK(count == 0 || (src != nullptr && dst != nullptr),
                       "column conversion on a null run");
  const auto* from = static_cast<const uint8_t*>(src);
  if (bits == 16) {
    ConvertInt16ColumnToDoubleKernel(from, srcStep, dst, count);
    return true;
  }
  return WithCodec(bits, [&](auto codec) {
    using C = decltype(codec);
    for (uint32_t i = 0; i < count; ++i)
      dst[i] = static_cast<double>(C::Load(At(from, i, srcStep)));
  });
}

bool ConvertColumnToFloat(uint32_t bits, const void* src, int32_t srcStep, float* dst,
                          uint32_t count) {
  if (!IsSupportedSampleWidth(bits))
    return false;
  KESTRUNE_USAGE_CHECK(count == 0 || (src != nullptr && dst != nullptr),
                       "column conversion on a null run");
  const auto* from = static_cast<const uint8_t*>(src);
  auto* to = reinterpret_cast<uint8_t*>(dst);
  constexpr int32_t kFloatStep = sizeof(float);
  switch (bits) {
    case 8:
      ColumnByPrimitive<uint8_t, float>(from, srcStep, count, kFloatStep, to,
                                        [](auto... a) { RoiConvertUInt8ToFloat(a...); });
      break;
    case 16:
      ColumnByPrimitive<int16_t, float>(from, srcStep, count, kFloatStep, to,
                                        [](auto... a) { RoiConvertInt16ToFloat(a...); });
      break;
    case 24:
      ConvertInt24ToFloat(src, srcStep, dst, kFloatStep, count);
      break;
    default:
      ConvertInt32ToFloat(src, srcStep, dst, kFloatStep, count);
      break;
  }
  return true;
}

bool ConvertFloatToColumn(uint32_t bits, const float* src, void* dst, int32_t dstStep,
                          uint32_t count) {
  if (!IsSupportedSampleWidth(bits))
    return false;
  KESTRUNE_USAGE_CHECK(count == 0 || (src != nullptr && dst != nullptr),
                       "column conversion on a null run");
  auto* to = static_cast<uint8_t*>(dst);
  constexpr int32_t kFloatStep = sizeof(float);
  switch (bits) {
    case 8:
      for (uint32_t i = 0; i < count; ++i) {
        UInt8Codec::Store(At(to, i, dstStep),
                          RoundSaturate(src[i], UInt8Codec::Min, UInt8Codec::Max));
      }
      break;
    case 16:
      // Mode 1: rounded to nearest, ties to even.
      ColumnByPrimitive<float, int16_t>(reinterpret_cast<const uint8_t*>(src), kFloatStep, count,
                                        dstStep, to,
                                        [](auto... a) { RoiConvertFloatToInt16(a..., 1); });
      break;
    case 24:
      ConvertFloatToInt24(src, kFloatStep, dst, dstStep, count);
      break;
    default:
      ConvertFloatToInt32(src, kFloatStep, dst, dstStep, count);
      break;
  }
  return true;
}
