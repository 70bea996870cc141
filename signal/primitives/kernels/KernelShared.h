// Pieces shared by the kernel sets: unaligned element access and the
// ascending copy that serves a destination lying a few bytes below an
// overlapping source. Internal to the kernels.
#pragma once

#include <cstdint>
#include <cstring>

namespace kernels_detail {

inline std::uintptr_t Address(const void* p) {
  return reinterpret_cast<std::uintptr_t>(p);
}

// Distance of an overlapping source above its destination, 0 when the
// ranges do not overlap that way.
inline std::int64_t DistanceBelowSource(const void* src, const void* dst, std::int64_t nBytes) {
  const std::int64_t d = static_cast<std::int64_t>(Address(src) - Address(dst));
  return d > 0 && d < nBytes ? d : 0;
}

// Ascending copy in steps no wider than the distance d between an
// overlapping source and its destination (d >= 1), so that no source byte is
// overwritten before it is read.
inline void CopyUpwardNear(const std::uint8_t* src, std::uint8_t* dst, std::int64_t nBytes,
                           std::int64_t d) {
  std::int64_t i = 0;
  if (d >= 8) {
    for (; i + 8 <= nBytes; i += 8) {
      std::uint64_t word;
      std::memcpy(&word, src + i, 8);
      std::memcpy(dst + i, &word, 8);
    }
  }
  for (; i < nBytes; ++i) {
    dst[i] = src[i];
  }
}

// The tail of the copies: 8-byte pieces, then 4, 2 and 1 bytes, ascending.
inline void CopyTail(const std::uint8_t* src, std::uint8_t* dst, std::int64_t nBytes) {
  for (; nBytes >= 8; src += 8, dst += 8, nBytes -= 8) {
    std::uint64_t word;
    std::memcpy(&word, src, 8);
    std::memcpy(dst, &word, 8);
  }
  if (nBytes & 4) {
    std::uint32_t word;
    std::memcpy(&word, src, 4);
    std::memcpy(dst, &word, 4);
    src += 4;
    dst += 4;
  }
  if (nBytes & 2) {
    std::uint16_t word;
    std::memcpy(&word, src, 2);
    std::memcpy(dst, &word, 2);
    src += 2;
    dst += 2;
  }
  if (nBytes & 1) {
    *dst = *src;
  }
}

// The 16-byte pattern of an element of 1, 2, 4, 8 or 16 bytes, twice over:
// the fills read the bytes due at offset o from their start at o mod 16.
struct Doubled {
  alignas(16) std::uint8_t bytes[32];
  Doubled(const void* value, int size) {
    for (int k = 0; k < 32; k += size) {
      std::memcpy(bytes + k, value, static_cast<std::size_t>(size));
    }
  }
};

}  // namespace kernels_detail
