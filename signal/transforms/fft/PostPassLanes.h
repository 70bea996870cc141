// The arithmetic of the real FFT's post-pass on two bin pairs at once, one
// pair in each lane (internal to the transform unit).
#pragma once

#include <emmintrin.h>

// The new values of one step, by lane.
struct PostPassLanes {
  __m128d ar;  // new Z[k].re
  __m128d ai;  // new Z[k].im
  __m128d br;  // new Z[n-k].re
  __m128d bi;  // new Z[n-k].im
};

// For a = Z[k], b = Z[n-k] and the twiddle (tr, ti) = T[k] in each lane:
// d = a.re - b.re, s = a.im + b.im, P = tr s + ti d, Q = ti s - tr d;
// Z[k] = (b.re + P, Q - b.im), Z[n-k] = (a.re - P, Q - a.im).
[[gnu::always_inline]] inline PostPassLanes PostPassOnLanes(__m128d ar, __m128d ai, __m128d br,
                                                            __m128d bi, __m128d tr, __m128d ti) {
  const __m128d d = _mm_sub_pd(ar, br);
  const __m128d s = _mm_add_pd(ai, bi);
  const __m128d p = _mm_add_pd(_mm_mul_pd(tr, s), _mm_mul_pd(ti, d));
  const __m128d q = _mm_sub_pd(_mm_mul_pd(ti, s), _mm_mul_pd(tr, d));
  return {_mm_add_pd(br, p), _mm_sub_pd(q, bi), _mm_sub_pd(ar, p), _mm_sub_pd(q, ai)};
}
