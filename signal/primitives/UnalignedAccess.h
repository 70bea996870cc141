// Element access at any byte address. Callers may hand the primitives rows
// of int16, int32, float or double that do not lie on their element's
// natural boundary (interleaved sample blocks, byte buffers); reading or
// writing such an element through a typed pointer is undefined behaviour,
// so every scalar access of the variants goes through memcpy, which the
// compiler turns into one plain (unaligned) load or store.
#pragma once

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace unaligned {

template <typename T>
inline T Load(const T* p) {
  T value;
  std::memcpy(&value, p, sizeof value);
  return value;
}

template <typename T>
inline void Store(T* p, T value) {
  std::memcpy(p, &value, sizeof value);
}

#if defined(__SSE2__)
// The scalar SSE loads and stores (movsd, movss) at any address.
inline __m128d LoadSd(const double* p) {
  return _mm_set_sd(Load(p));
}
inline void StoreSd(double* p, __m128d v) {
  Store(p, _mm_cvtsd_f64(v));
}
inline __m128 LoadSs(const float* p) {
  return _mm_set_ss(Load(p));
}
inline void StoreSs(float* p, __m128 v) {
  Store(p, _mm_cvtss_f32(v));
}
#endif

}  // namespace unaligned
