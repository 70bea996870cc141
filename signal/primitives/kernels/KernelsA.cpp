// Set A: MMX with the integer extensions of SSE (non-temporal 8-byte stores,
// non-temporal prefetch, store fence) and 16-byte SSE moves in the copies.
#include <mmintrin.h>
#include <xmmintrin.h>

#include <cmath>
#include <cstring>

#include "signal/primitives/UnalignedAccess.h"
#include "signal/primitives/kernels/Int16RowTemplate.h"
#include "signal/primitives/kernels/KernelShared.h"
#include "signal/primitives/kernels/UInt8Template.h"
#include "signal/primitives/kernels/VariantKernels.h"

namespace {

using namespace kernels_detail;

template <bool kStream>
inline void Store8(std::uint8_t* p, __m64 v) {
  if constexpr (kStream) {
    _mm_stream_pi(reinterpret_cast<__m64*>(p), v);
  } else {
    *reinterpret_cast<__m64*>(p) = v;
  }
}

// Writes n bytes of a repeating 16-byte pattern from p on; `doubled` holds
// it twice, so that the 8 bytes due at byte offset o from p are doubled +
// o mod 16, whatever the alignment. The cached form aligns p to 8 bytes (by
// one unaligned store) from 64 bytes on, the streaming form from 8 bytes on,
// and then stores 8 bytes at a time; every store of 8 bytes or more after
// the alignment store is non-temporal in the streaming form.
template <bool kStream>
void FillRun8(std::uint8_t* p, std::int64_t n, const std::uint8_t* doubled) {
  std::int64_t o = 0;  // offset of p from the start
  auto pattern8 = [&](std::int64_t at) {
    __m64 v;
    std::memcpy(&v, doubled + (at & 15), 8);
    return v;
  };
  if (n >= (kStream ? 8 : 64)) {
    const std::int64_t mis = static_cast<std::int64_t>(Address(p) & 7);
    if (mis != 0) {
      std::memcpy(p, doubled, 8);
      o = 8 - mis;
    }
    for (; n - o >= 64; o += 64) {
      for (int k = 0; k < 64; k += 8) {
        Store8<kStream>(p + o + k, pattern8(o + k));
      }
    }
  }
  // At most 63 bytes remain (fewer than 64 in the cached short form).
  for (int piece = 32; piece >= 8; piece /= 2) {
    if (((n - o) & piece) != 0) {
      for (int k = 0; k < piece; k += 8) {
        if (kStream && (Address(p + o) & 7) == 0) {
          Store8<true>(p + o + k, pattern8(o + k));
        } else {
          std::memcpy(p + o + k, doubled + ((o + k) & 15), 8);
        }
      }
      o += piece;
    }
  }
  for (; o < n; ++o) {
    p[o] = doubled[o & 15];
  }
  if constexpr (kStream) {
    _mm_sfence();
  }
  _mm_empty();
}

constexpr std::uint8_t kZeros[32] = {};

template <bool kStream>
std::int16_t* FillInt16A(std::int16_t value, std::int16_t* dst, std::int64_t len) {
  // The pattern's byte phase follows dst, so an odd address needs no
  // special case.
  const Doubled pattern(&value, 2);
  FillRun8<kStream>(reinterpret_cast<std::uint8_t*>(dst), 2 * len, pattern.bytes);
  return dst;
}

// Copies the first 16 bytes with one unaligned move and advances all three
// so that d lies on a 16-byte boundary (nothing when it already does).
inline void AlignDestination16(const std::uint8_t*& s, std::uint8_t*& d, std::int64_t& n) {
  if ((Address(d) & 15) != 0) {
    _mm_storeu_ps(reinterpret_cast<float*>(d), _mm_loadu_ps(reinterpret_cast<const float*>(s)));
    const std::int64_t advance = 16 - static_cast<std::int64_t>(Address(d) & 15);
    s += advance;
    d += advance;
    n -= advance;
  }
}

// The cached and streaming copy bodies of set A. Sources and destinations
// at least 16 bytes apart (or not overlapping).
void CopyCachedA(const std::uint8_t* s, std::uint8_t* d, std::int64_t n) {
  if (n >= 64) {
    AlignDestination16(s, d, n);
    for (; n >= 64; s += 64, d += 64, n -= 64) {
      const auto* sf = reinterpret_cast<const float*>(s);
      const __m128 a = _mm_loadu_ps(sf);
      const __m128 b = _mm_loadu_ps(sf + 4);
      const __m128 c = _mm_loadu_ps(sf + 8);
      const __m128 e = _mm_loadu_ps(sf + 12);
      auto* df = reinterpret_cast<float*>(d);
      _mm_store_ps(df, a);
      _mm_store_ps(df + 4, b);
      _mm_store_ps(df + 8, c);
      _mm_store_ps(df + 12, e);
    }
  }
  CopyTail(s, d, n);
}

void CopyStreamA(const std::uint8_t* s, std::uint8_t* d, std::int64_t n) {
  if (n >= 64) {
    AlignDestination16(s, d, n);
    for (; n >= 64; s += 64, d += 64, n -= 64) {
      __m64 w[8];
      std::memcpy(w, s, 64);
      for (int k = 0; k < 8; ++k) {
        _mm_stream_pi(reinterpret_cast<__m64*>(d + 8 * k), w[k]);
      }
    }
  }
  CopyTail(s, d, n);
  _mm_sfence();
  _mm_empty();
}

}  // namespace

void* CopyBytesKernelA(const void* src, void* dst, std::int64_t nBytes) {
  const auto* s = static_cast<const std::uint8_t*>(src);
  auto* d = static_cast<std::uint8_t*>(dst);
  if (const std::int64_t near = DistanceBelowSource(src, dst, nBytes); near > 0 && near < 16) {
    CopyUpwardNear(s, d, nBytes, near);
  } else {
    CopyCachedA(s, d, nBytes);
  }
  return dst;
}

void* CopyBytesKernelAMedium(const void* src, void* dst, std::int64_t nBytes) {
  const auto* s = static_cast<const std::uint8_t*>(src);
  auto* d = static_cast<std::uint8_t*>(dst);
  if (const std::int64_t near = DistanceBelowSource(src, dst, nBytes); near > 0 && near < 16) {
    CopyUpwardNear(s, d, nBytes, near);
  } else {
    CopyStreamA(s, d, nBytes);
  }
  return dst;
}

void PrefetchBlockA(const void* p, std::int64_t nBytes) {
  const auto* b = static_cast<const std::uint8_t*>(p);
  while (nBytes > 0) {
    const std::int64_t piece = nBytes < 4096 ? nBytes : 4096;
    // Touching the first and last byte brings the page's translation in.
    (void)*static_cast<const volatile std::uint8_t*>(b);
    (void)*static_cast<const volatile std::uint8_t*>(b + piece - 1);
    for (std::int64_t k = 0; k < piece; k += 32) {
      _mm_prefetch(reinterpret_cast<const char*>(b + k), _MM_HINT_NTA);
    }
    b += piece;
    nBytes -= piece;
  }
}

void* CopyBytesKernelALarge(const void* src, void* dst, std::int64_t nBytes) {
  const auto* s = static_cast<const std::uint8_t*>(src);
  auto* d = static_cast<std::uint8_t*>(dst);
  if (const std::int64_t near = DistanceBelowSource(src, dst, nBytes); near > 0 && near < 16) {
    CopyUpwardNear(s, d, nBytes, near);
    return dst;
  }
  for (; nBytes > 0 && (Address(d) & 7) != 0; --nBytes) {
    *d++ = *s++;
  }
  if (nBytes < 20480) {
    CopyBytesKernelAMedium(s, d, nBytes);
    return dst;
  }
  // Bring the source to its page boundary (within 8 bytes), then copy page
  // by page, each page prefetched first.
  const std::int64_t offset = static_cast<std::int64_t>(Address(s) & 4095) & ~std::int64_t{7};
  if (offset != 0) {
    const std::int64_t head = 4096 - offset;
    CopyStreamA(s, d, head);
    s += head;
    d += head;
    nBytes -= head;
  }
  for (; nBytes >= 4096; s += 4096, d += 4096, nBytes -= 4096) {
    PrefetchBlockA(s, 4096);
    CopyStreamA(s, d, 4096);
  }
  CopyStreamA(s, d, nBytes);
  return dst;
}

void* ZeroBytesKernelA(void* dst, std::int64_t nBytes) {
  FillRun8<false>(static_cast<std::uint8_t*>(dst), nBytes, kZeros);
  return dst;
}

void* ZeroBytesKernelALarge(void* dst, std::int64_t nBytes) {
  FillRun8<true>(static_cast<std::uint8_t*>(dst), nBytes, kZeros);
  return dst;
}

PrimitiveStatus ZeroInt32CheckedA(std::int32_t* dst, std::int32_t len) {
  if (dst == nullptr) {
    return StatusNullPointer;
  }
  if (len < 1) {
    return StatusBadLength;
  }
  const std::int64_t nBytes = std::int64_t{len} * 4;
  len < 5120 ? ZeroBytesKernelA(dst, nBytes) : ZeroBytesKernelALarge(dst, nBytes);
  return StatusOk;
}

std::int16_t* FillInt16KernelA(std::int16_t value, std::int16_t* dst, std::int64_t len) {
  return FillInt16A<false>(value, dst, len);
}

std::int16_t* FillInt16StreamKernelA(std::int16_t value, std::int16_t* dst, std::int64_t len) {
  return FillInt16A<true>(value, dst, len);
}

void FillInt16StreamRowA(std::int16_t value, std::int16_t* dst, std::int64_t len) {
  FillInt16A<true>(value, dst, len);
}

void CopyRowKernelA(const void* src, void* dst, std::int64_t nBytes) {
  CopyBytesKernelAMedium(src, dst, nBytes);
}

namespace {

// Four 16-bit lanes of MMX; 8-byte accesses need no alignment. The MMX
// state is emptied after the block loop.
struct MmxLanes {
  using V = __m64;
  static constexpr int kLanes = 4;
  static constexpr std::uintptr_t kBytes = 8;
  template <Int16Op kOp, Int16Kind kKind>
  static constexpr std::int64_t Threshold() {
    if (kKind == Int16Kind::Half || kKind == Int16Kind::ShiftDown) {
      return 7;
    }
    if (kOp != Int16Op::Mul && kKind == Int16Kind::Sat) {
      return 19;
    }
    return 11;
  }
  static V Load(const std::int16_t* p) {
    V v;
    std::memcpy(&v, p, 8);
    return v;
  }
  static void Store(std::int16_t* p, V v) { std::memcpy(p, &v, 8); }
  static void End() { _mm_empty(); }
  static V AddSat16(V a, V b) { return _mm_adds_pi16(a, b); }
  static V SubSat16(V a, V b) { return _mm_subs_pi16(a, b); }
  static V Sub16(V a, V b) { return _mm_sub_pi16(a, b); }
  static V UnpackLo16(V a, V b) { return _mm_unpacklo_pi16(a, b); }
  static V UnpackHi16(V a, V b) { return _mm_unpackhi_pi16(a, b); }
  static V MulAdd(V a, V b) { return _mm_madd_pi16(a, b); }
  static V Add32(V a, V b) { return _mm_add_pi32(a, b); }
  static V Srl32(V a, int n) { return _mm_srli_pi32(a, n); }
  static V Sra32(V a, int n) { return _mm_srai_pi32(a, n); }
  static V Sll32(V a, int n) { return _mm_slli_pi32(a, n); }
  static V Sra16(V a, int n) { return _mm_srai_pi16(a, n); }
  static V Pack32(V a, V b) { return _mm_packs_pi32(a, b); }
  static V And(V a, V b) { return _mm_and_si64(a, b); }
  static V Or(V a, V b) { return _mm_or_si64(a, b); }
  static V Xor(V a, V b) { return _mm_xor_si64(a, b); }
  static V AndNot(V a, V b) { return _mm_andnot_si64(a, b); }
  static V CmpEq16(V a, V b) { return _mm_cmpeq_pi16(a, b); }
  static V Zero() { return _mm_setzero_si64(); }
  static V Set32(std::int32_t v) { return _mm_set1_pi32(v); }
  static V Set16(std::int16_t v) { return _mm_set1_pi16(v); }
  static V LoadBytes(const std::uint8_t* p) {
    V v;
    std::memcpy(&v, p, 8);
    return v;
  }
  static void StoreBytes(std::uint8_t* p, V v) { std::memcpy(p, &v, 8); }
  static V SubSatU8(V a, V b) { return _mm_subs_pu8(a, b); }
  static V AddSatU8(V a, V b) { return _mm_adds_pu8(a, b); }
  static V Srl16(V a, int n) { return _mm_srli_pi16(a, n); }
  static V Sll16(V a, int n) { return _mm_slli_pi16(a, n); }
  static V Min16(V a, V b) { return _mm_min_pi16(a, b); }
  static V CmpEq8(V a, V b) { return _mm_cmpeq_pi8(a, b); }
  static V UnpackLo8(V a, V b) { return _mm_unpacklo_pi8(a, b); }
  static V UnpackHi8(V a, V b) { return _mm_unpackhi_pi8(a, b); }
  static V Add16(V a, V b) { return _mm_add_pi16(a, b); }
  static V MulLo16(V a, V b) { return _mm_mullo_pi16(a, b); }
  static V Srl32Logical(V a, int n) { return _mm_srli_pi32(a, n); }
  static V CmpEq32(V a, V b) { return _mm_cmpeq_pi32(a, b); }
  static V PackUs16(V a, V b) { return _mm_packs_pu16(a, b); }
};

}  // namespace

KESTRUNE_INT16_PLAIN_ROW(AddInt16SatRowA, MmxLanes, Add, Sat)
KESTRUNE_INT16_PLAIN_ROW(AddInt16HalfRowA, MmxLanes, Add, Half)
KESTRUNE_INT16_SHIFT_ROW(AddInt16ShiftDownRowA, MmxLanes, Add, ShiftDown)
KESTRUNE_INT16_SHIFT_ROW(AddInt16ShiftUpRowA, MmxLanes, Add, ShiftUp)
KESTRUNE_INT16_PLAIN_ROW(AddInt16SignRowA, MmxLanes, Add, Sign)
KESTRUNE_INT16_PLAIN_ROW(SubInt16SatRowA, MmxLanes, Sub, Sat)
KESTRUNE_INT16_PLAIN_ROW(SubInt16HalfRowA, MmxLanes, Sub, Half)
KESTRUNE_INT16_SHIFT_ROW(SubInt16ShiftDownRowA, MmxLanes, Sub, ShiftDown)
KESTRUNE_INT16_SHIFT_ROW(SubInt16ShiftUpRowA, MmxLanes, Sub, ShiftUp)
KESTRUNE_INT16_PLAIN_ROW(SubInt16SignRowA, MmxLanes, Sub, Sign)
KESTRUNE_INT16_PLAIN_ROW(MulInt16SatRowA, MmxLanes, Mul, Sat)
KESTRUNE_INT16_PLAIN_ROW(MulInt16HalfRowA, MmxLanes, Mul, Half)
KESTRUNE_INT16_SHIFT_ROW(MulInt16ShiftDownRowA, MmxLanes, Mul, ShiftDown)
KESTRUNE_INT16_SHIFT_ROW(MulInt16ShiftUpRowA, MmxLanes, Mul, ShiftUp)
KESTRUNE_INT16_PLAIN_ROW(MulInt16SignRowA, MmxLanes, Mul, Sign)

PrimitiveStatus DivInt16ScaledRowA(const std::int16_t* src, const std::int16_t* src2,
                                   std::int16_t* dst, std::int32_t len, std::int32_t sf) {
  if (src == nullptr || src2 == nullptr || dst == nullptr) {
    return StatusNullPointer;
  }
  if (len < 1) {
    return StatusBadLength;
  }
  // 2^-sf in single precision: 0 beyond 2^-149, infinite beyond 2^127.
  const float scale =
      sf > 149 ? 0.0f
               : (sf < -127 ? __builtin_inff() : _mm_cvtss_f32(_mm_set_ss(std::ldexp(1.0f, -sf))));
  PrimitiveStatus status = StatusOk;
  for (std::int32_t i = 0; i < len; ++i) {
    const std::int32_t d = unaligned::Load(src + i);
    const std::int32_t n = unaligned::Load(src2 + i);
    if (d == 0) {
      unaligned::Store(dst + i, static_cast<std::int16_t>(n > 0 ? 32767 : (n < 0 ? -32768 : 0)));
      status = StatusZeroDivisor;
      continue;
    }
    if (n == 0) {
      // 0 whatever the scale (an infinite scale would make 0 * scale a NaN).
      unaligned::Store(dst + i, std::int16_t{0});
      continue;
    }
    const float q = static_cast<float>(n) * scale / static_cast<float>(d);
    if (sf <= 0 && q < -32768.0f) {
      unaligned::Store(dst + i, std::int16_t{-32768});
    } else if (sf <= 0 && q > 32767.0f) {
      unaligned::Store(dst + i, std::int16_t{32767});
    } else {
      const float y = (q + 32768.0f) + 0.5f;
      std::int32_t t = _mm_cvttss_si32(_mm_set_ss(y));
      if ((t & 1) != 0 && static_cast<float>(t) == y) {
        --t;
      }
      unaligned::Store(dst + i, static_cast<std::int16_t>(t - 32768));
    }
  }
  return status;
}

void* FillElementsKernelA(void* dst, const void* value, int size, std::int64_t nBytes) {
  const Doubled pattern(value, size);
  FillRun8<false>(static_cast<std::uint8_t*>(dst), nBytes, pattern.bytes);
  return dst;
}

void* FillElementsKernelALarge(void* dst, const void* value, int size, std::int64_t nBytes) {
  const Doubled pattern(value, size);
  FillRun8<true>(static_cast<std::uint8_t*>(dst), nBytes, pattern.bytes);
  return dst;
}

namespace {

// The sign-magnitude order of bit patterns as an unsigned key.
inline std::uint64_t OrderKey(double x) {
  std::uint64_t bits;
  std::memcpy(&bits, &x, 8);
  return (bits >> 63) != 0 ? ~bits : bits | (std::uint64_t{1} << 63);
}

template <bool kMaximum>
void ExtremeByPattern(const double* src, std::int64_t len, double* result) {
  std::int64_t best = 0;
  std::uint64_t bestKey = OrderKey(unaligned::Load(src));
  for (std::int64_t i = 1; i < len; ++i) {
    const std::uint64_t key = OrderKey(unaligned::Load(src + i));
    const bool better = kMaximum ? key > bestKey : key < bestKey;
    best = better ? i : best;
    bestKey = better ? key : bestKey;
  }
  std::memcpy(result, src + best, 8);
}

}  // namespace

void MaxDoubleKernelA(const double* src, std::int64_t len, double* result) {
  ExtremeByPattern<true>(src, len, result);
}

void MinDoubleKernelA(const double* src, std::int64_t len, double* result) {
  ExtremeByPattern<false>(src, len, result);
}

void UInt8ScaledKernelA(UInt8Op op, const std::uint8_t* src, std::uint8_t* srcDst, std::int64_t len,
                        std::int32_t sf) {
  UInt8ScaledRow<MmxLanes>(op, src, srcDst, len, sf);
}

namespace {

inline __m64 Load8(const std::uint8_t* p) {
  __m64 v;
  std::memcpy(&v, p, 8);
  return v;
}

inline void Put8(std::uint8_t* p, __m64 v) {
  std::memcpy(p, &v, 8);
}

// The x87 integer store under the rounding the control word sets (the
// caller sets it to nearest).
inline std::int32_t StoreIntegerX87(long double y) {
  std::int32_t out;
  asm("fistpl %0" : "=m"(out) : "t"(y) : "st");
  return out;
}

// The narrowing shift mapping t = (x - (x >> 8)) >> 8 on 16-bit lanes, and
// >> 24 on 32-bit lanes; the byte is t + 128 (the top bit inverted).
inline __m64 ShiftMap16(__m64 x) {
  return _mm_srai_pi16(_mm_sub_pi16(x, _mm_srai_pi16(x, 8)), 8);
}
inline __m64 ShiftMap32(__m64 x) {
  return _mm_srai_pi32(_mm_sub_pi32(x, _mm_srai_pi32(x, 8)), 24);
}

// One element by the portable mapping of the conversion.
void ConvertOneA(BlockConversion kind, const std::uint8_t* s, std::uint8_t* d) {
  switch (kind) {
    case BlockConversion::UInt8ToFloat:
      unaligned::Store(reinterpret_cast<float*>(d), static_cast<float>(*s));
      return;
    case BlockConversion::UInt8ToInt16:
      unaligned::Store(reinterpret_cast<std::int16_t*>(d),
                       static_cast<std::int16_t>((std::uint32_t{*s} * 0x0101u) ^ 0x8000u));
      return;
    case BlockConversion::UInt8ToInt32:
      unaligned::Store(reinterpret_cast<std::int32_t*>(d),
                       static_cast<std::int32_t>(std::uint32_t{*s} * 0x01010101u ^ 0x80000000u));
      return;
    case BlockConversion::Int16ToUInt8Shift: {
      const std::int32_t x = unaligned::Load(reinterpret_cast<const std::int16_t*>(s));
      *d = static_cast<std::uint8_t>(((x - (x >> 8)) >> 8) + 128);
      return;
    }
    case BlockConversion::Int32ToUInt8Shift: {
      const std::int32_t x = unaligned::Load(reinterpret_cast<const std::int32_t*>(s));
      *d = static_cast<std::uint8_t>(((x - (x >> 8)) >> 24) + 128);
      return;
    }
    case BlockConversion::Int16ToUInt8Rounded: {
      // x / 257 + 32768 / 257 (the single nearest) on the x87 stack.
      const long double x = unaligned::Load(reinterpret_cast<const std::int16_t*>(s));
      *d = static_cast<std::uint8_t>(
          StoreIntegerX87(x * 0.0038910505827516317L + 127.50194549560547L));
      return;
    }
    case BlockConversion::Int32ToUInt8Rounded: {
      // x / 16843009 + 2^31 / 16843009, the two doubles, on the x87 stack.
      const long double x = unaligned::Load(reinterpret_cast<const std::int32_t*>(s));
      const long double scale = 5.937181414556033e-08;
      const long double offset = 127.5000000296859;
      *d = static_cast<std::uint8_t>(StoreIntegerX87(x * scale + offset));
      return;
    }
  }
}

}  // namespace

void ConvertRowA(BlockConversion kind, const void* src, void* dst, std::int64_t len) {
  const auto* s = static_cast<const std::uint8_t*>(src);
  auto* d = static_cast<std::uint8_t*>(dst);
  std::int64_t i = 0;
  switch (kind) {
    case BlockConversion::UInt8ToFloat: {
      // Single elements until dst lies on a 16-byte boundary (never for a
      // dst off the 4-byte grid), then 8 per step, streamed.
      for (; i < len && (Address(d + 4 * i) & 15) != 0; ++i) {
        ConvertOneA(kind, s + i, d + 4 * i);
      }
      for (; i + 8 <= len; i += 8) {
        _mm_prefetch(reinterpret_cast<const char*>(s + i) + 64, _MM_HINT_NTA);
        const __m64 x = Load8(s + i);
        auto* f = reinterpret_cast<float*>(d + 4 * i);
        _mm_stream_ps(f, _mm_cvtpu8_ps(x));
        _mm_stream_ps(f + 4, _mm_cvtpu8_ps(_mm_srli_si64(x, 32)));
      }
      _mm_sfence();
      break;
    }
    case BlockConversion::UInt8ToInt16: {
      // The byte in both halves of a lane, the top bit inverted; from the
      // first 8-byte boundary of dst, 16 per step, streamed.
      for (; i < len && (Address(d + 2 * i) & 7) != 0; ++i) {
        ConvertOneA(kind, s + i, d + 2 * i);
      }
      const __m64 top = _mm_set1_pi16(static_cast<short>(0x8000));
      for (; i + 16 <= len; i += 16) {
        _mm_prefetch(reinterpret_cast<const char*>(s + i) + 32, _MM_HINT_NTA);
        auto* w = reinterpret_cast<__m64*>(d + 2 * i);
        for (int h = 0; h < 2; ++h) {
          const __m64 x = Load8(s + i + 8 * h);
          _mm_stream_pi(w + 2 * h, _mm_xor_si64(_mm_unpacklo_pi8(x, x), top));
          _mm_stream_pi(w + 2 * h + 1, _mm_xor_si64(_mm_unpackhi_pi8(x, x), top));
        }
      }
      _mm_sfence();
      break;
    }
    case BlockConversion::UInt8ToInt32: {
      for (; i < len && (Address(d + 4 * i) & 7) != 0; ++i) {
        ConvertOneA(kind, s + i, d + 4 * i);
      }
      const __m64 top = _mm_set1_pi32(static_cast<int>(0x80000000u));
      for (; i + 8 <= len; i += 8) {
        _mm_prefetch(reinterpret_cast<const char*>(s + i) + 32, _MM_HINT_NTA);
        const __m64 x = Load8(s + i);
        const __m64 lo = _mm_unpacklo_pi8(x, x);
        const __m64 hi = _mm_unpackhi_pi8(x, x);
        auto* w = reinterpret_cast<__m64*>(d + 4 * i);
        _mm_stream_pi(w, _mm_xor_si64(_mm_unpacklo_pi16(lo, lo), top));
        _mm_stream_pi(w + 1, _mm_xor_si64(_mm_unpackhi_pi16(lo, lo), top));
        _mm_stream_pi(w + 2, _mm_xor_si64(_mm_unpacklo_pi16(hi, hi), top));
        _mm_stream_pi(w + 3, _mm_xor_si64(_mm_unpackhi_pi16(hi, hi), top));
      }
      _mm_sfence();
      break;
    }
    case BlockConversion::Int16ToUInt8Shift: {
      // From the first 8-byte boundary of src, 8 per step, cached.
      for (; i < len && (Address(s + 2 * i) & 7) != 0; ++i) {
        ConvertOneA(kind, s + 2 * i, d + i);
      }
      const __m64 top = _mm_set1_pi8(static_cast<char>(0x80));
      for (; i + 8 <= len; i += 8) {
        _mm_prefetch(reinterpret_cast<const char*>(s + 2 * i) + 128, _MM_HINT_NTA);
        const __m64 a = ShiftMap16(Load8(s + 2 * i));
        const __m64 b = ShiftMap16(Load8(s + 2 * i + 8));
        Put8(d + i, _mm_xor_si64(_mm_packs_pi16(a, b), top));
      }
      break;
    }
    case BlockConversion::Int32ToUInt8Shift: {
      for (; i < len && (Address(s + 4 * i) & 7) != 0; ++i) {
        ConvertOneA(kind, s + 4 * i, d + i);
      }
      const __m64 top = _mm_set1_pi8(static_cast<char>(0x80));
      for (; i + 8 <= len; i += 8) {
        _mm_prefetch(reinterpret_cast<const char*>(s + 4 * i) + 64, _MM_HINT_NTA);
        const __m64 w0 =
            _mm_packs_pi32(ShiftMap32(Load8(s + 4 * i)), ShiftMap32(Load8(s + 4 * i + 8)));
        const __m64 w1 =
            _mm_packs_pi32(ShiftMap32(Load8(s + 4 * i + 16)), ShiftMap32(Load8(s + 4 * i + 24)));
        Put8(d + i, _mm_xor_si64(_mm_packs_pi16(w0, w1), top));
      }
      break;
    }
    case BlockConversion::Int16ToUInt8Rounded:
    case BlockConversion::Int32ToUInt8Rounded: {
      // On the x87 stack, 4 per step; the last elements as one more step
      // ending at the row's end (it rewrites the same bytes).
      const std::int64_t from = kind == BlockConversion::Int16ToUInt8Rounded ? 2 : 4;
      auto four = [&](std::int64_t at) {
        _mm_prefetch(reinterpret_cast<const char*>(s + from * at) + 64, _MM_HINT_NTA);
        for (int k = 0; k < 4; ++k) {
          ConvertOneA(kind, s + from * (at + k), d + at + k);
        }
      };
      for (; i + 4 <= len; i += 4) {
        four(i);
      }
      if (i < len && len >= 4) {
        four(len - 4);
        i = len;
      }
      for (; i < len; ++i) {
        ConvertOneA(kind, s + from * i, d + i);
      }
      return;
    }
  }
  _mm_empty();
  const std::int64_t fromSize = kind == BlockConversion::Int16ToUInt8Shift
                                    ? 2
                                    : (kind == BlockConversion::Int32ToUInt8Shift ? 4 : 1);
  const std::int64_t toSize =
      kind == BlockConversion::UInt8ToInt16
          ? 2
          : (kind == BlockConversion::UInt8ToFloat || kind == BlockConversion::UInt8ToInt32 ? 4
                                                                                            : 1);
  for (; i < len; ++i) {
    ConvertOneA(kind, s + fromSize * i, d + toSize * i);
  }
}
