// Set A: MMX with the integer extensions of SSE (non-temporal 8-byte stores,
// non-temporal prefetch, store fence) and 16-byte SSE moves in the copies.
#include <mmintrin.h>
#include <xmmintrin.h>

#include <cmath>
#include <cstring>

#include "signal/primitives/kernels/Int16RowTemplate.h"
#include "signal/primitives/kernels/KernelShared.h"
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

// Writes n bytes of an 8-byte pattern from p on. The pattern's period must
// divide every advance the alignment step can make (1 byte for byte fills,
// 2 for 16-bit fills at an even address). The cached form aligns p to 8
// bytes (by one unaligned store) from 64 bytes on, the streaming form from 8
// bytes on, and then stores 8 bytes at a time; every store of 8 bytes or
// more after the alignment store is non-temporal in the streaming form.
template <bool kStream>
void FillRun8(std::uint8_t* p, std::int64_t n, std::uint64_t pattern) {
  const __m64 v = _mm_cvtsi64_m64(static_cast<long long>(pattern));
  if (n >= (kStream ? 8 : 64)) {
    const std::int64_t mis = static_cast<std::int64_t>(Address(p) & 7);
    if (mis != 0) {
      std::memcpy(p, &pattern, 8);
      p += 8 - mis;
      n -= 8 - mis;
    }
    for (; n >= 64; p += 64, n -= 64) {
      for (int k = 0; k < 64; k += 8) {
        Store8<kStream>(p + k, v);
      }
    }
  }
  // At most 63 bytes remain; p is 8-byte aligned whenever a streaming
  // store follows.
  for (int piece = 32; piece >= 8; piece /= 2) {
    if (n & piece) {
      for (int k = 0; k < piece; k += 8) {
        if (kStream && (Address(p) & 7) == 0) {
          Store8<true>(p + k, v);
        } else {
          std::memcpy(p + k, &pattern, 8);
        }
      }
      p += piece;
    }
  }
  if (n & 4) {
    std::memcpy(p, &pattern, 4);
    p += 4;
  }
  if (n & 2) {
    std::memcpy(p, &pattern, 2);
    p += 2;
  }
  if (n & 1) {
    *p = static_cast<std::uint8_t>(pattern);
  }
  if constexpr (kStream) {
    _mm_sfence();
  }
  _mm_empty();
}

inline std::uint64_t Int16Pattern(std::uint16_t v) {
  return std::uint64_t{v} * 0x0001000100010001ull;
}

template <bool kStream>
std::int16_t* FillInt16A(std::int16_t value, std::int16_t* dst, std::int64_t len) {
  auto* p = reinterpret_cast<std::uint8_t*>(dst);
  auto bits = static_cast<std::uint16_t>(value);
  std::int64_t n = 2 * len;
  if ((Address(p) & 1) != 0) {
    // An odd destination: the low byte first, the high byte last, and the
    // bytes between hold the byte-swapped pattern from the next (even)
    // address on.
    p[0] = static_cast<std::uint8_t>(bits);
    p[n - 1] = static_cast<std::uint8_t>(bits >> 8);
    bits = static_cast<std::uint16_t>((bits >> 8) | (bits << 8));
    ++p;
    n -= 2;
  }
  FillRun8<kStream>(p, n, Int16Pattern(bits));
  return dst;
}

// The cached and streaming copy bodies of set A. Sources and destinations
// at least 16 bytes apart (or not overlapping).
void CopyCachedA(const std::uint8_t* s, std::uint8_t* d, std::int64_t n) {
  if (n >= 64) {
    if ((Address(d) & 15) != 0) {
      _mm_storeu_ps(reinterpret_cast<float*>(d), _mm_loadu_ps(reinterpret_cast<const float*>(s)));
      const std::int64_t advance = 16 - static_cast<std::int64_t>(Address(d) & 15);
      s += advance;
      d += advance;
      n -= advance;
    }
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
    if ((Address(d) & 15) != 0) {
      _mm_storeu_ps(reinterpret_cast<float*>(d), _mm_loadu_ps(reinterpret_cast<const float*>(s)));
      const std::int64_t advance = 16 - static_cast<std::int64_t>(Address(d) & 15);
      s += advance;
      d += advance;
      n -= advance;
    }
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
  FillRun8<false>(static_cast<std::uint8_t*>(dst), nBytes, 0);
  return dst;
}

void* ZeroBytesKernelALarge(void* dst, std::int64_t nBytes) {
  FillRun8<true>(static_cast<std::uint8_t*>(dst), nBytes, 0);
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
};

}  // namespace

Int16RowKernel Int16RowKernelA(Int16Op op, Int16Kind kind) {
  return Int16RowFor<MmxLanes>(op, kind);
}

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
    const std::int32_t d = src[i];
    const std::int32_t n = src2[i];
    if (d == 0) {
      dst[i] = static_cast<std::int16_t>(n > 0 ? 32767 : (n < 0 ? -32768 : 0));
      status = StatusZeroDivisor;
      continue;
    }
    if (n == 0) {
      // 0 whatever the scale (an infinite scale would make 0 * scale a NaN).
      dst[i] = 0;
      continue;
    }
    const float q = static_cast<float>(n) * scale / static_cast<float>(d);
    if (sf <= 0 && q < -32768.0f) {
      dst[i] = -32768;
    } else if (sf <= 0 && q > 32767.0f) {
      dst[i] = 32767;
    } else {
      const float y = (q + 32768.0f) + 0.5f;
      std::int32_t t = _mm_cvttss_si32(_mm_set_ss(y));
      if ((t & 1) != 0 && static_cast<float>(t) == y) {
        --t;
      }
      dst[i] = static_cast<std::int16_t>(t - 32768);
    }
  }
  return status;
}
