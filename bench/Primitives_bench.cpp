// Vector primitives against the plain C++ loop that computes the same result.
//
// Every benchmark runs one primitive (through its pointer variable) and its
// plain loop alternately on equal copies of the same data, in batches of at
// least 32768 elements, and reports:
//   primitive_elem_per_ns  elements per nanosecond of the primitive
//   loop_elem_per_ns       elements per nanosecond of the plain loop
//   ratio                  primitive speed / loop speed (>= 1: the primitive
//                          is at least as fast)
// The reported iteration time is the primitive's. Sizes: 1024 and 65536
// elements (block primitives: one packed row of that many elements).
//
// PrimitiveVariants/<primitive>_<letter> runs one processor-specific variant
// and the portable variant alternately in the same way and reports
//   ratio  variant speed / portable speed (>= 1: the variant is at least as
//          fast)
// A letter whose instructions the processor lacks is reported as skipped.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <complex>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "signal/primitives/MoskBasicDispatcher.h"
#include "signal/primitives/PrimitiveDispatch.h"
#include "signal/primitives/TrelBasicDispatcher.h"
#include "signal/primitives/TrelScopeDispatcher.h"

namespace {

using Clock = std::chrono::steady_clock;
using C = std::complex<double>;
constexpr std::int64_t kMin32 = std::numeric_limits<std::int32_t>::min();
constexpr std::int64_t kMax32 = std::numeric_limits<std::int32_t>::max();

// Two identical data sets: `a` for the primitive, `b` for the plain loop.
template <typename S, typename D>
struct Pair {
  std::vector<S> srcA, srcB;
  std::vector<D> dstA, dstB;
  std::int32_t n = 0;
};

template <typename S, typename D, typename MakeSrc, typename MakeDst>
Pair<S, D> MakePair(std::int32_t n, MakeSrc makeSrc, MakeDst makeDst) {
  Pair<S, D> p;
  p.n = n;
  std::mt19937 rng(1234);
  for (std::int32_t i = 0; i < n; ++i) {
    p.srcA.push_back(makeSrc(rng, i));
    p.dstA.push_back(makeDst(rng, i));
  }
  p.srcB = p.srcA;
  p.dstB = p.dstA;
  return p;
}

template <typename Prepare, typename Primitive, typename Plain>
void Register(const char* name, Prepare prepare, Primitive primitive, Plain plain) {
  const std::string fullName = std::string("Primitives/") + name;
  benchmark::RegisterBenchmark(fullName.c_str(),
                               [=](benchmark::State& state) {
                                 const auto n = static_cast<std::int32_t>(state.range(0));
                                 auto data = prepare(n);
                                 const int reps = std::max(1, 32768 / n);
                                 double primitiveNs = 0;
                                 double loopNs = 0;
                                 for (auto _ : state) {
                                   const auto t0 = Clock::now();
                                   for (int r = 0; r < reps; ++r) {
                                     primitive(data);
                                     benchmark::ClobberMemory();
                                   }
                                   const auto t1 = Clock::now();
                                   for (int r = 0; r < reps; ++r) {
                                     plain(data);
                                     benchmark::ClobberMemory();
                                   }
                                   const auto t2 = Clock::now();
                                   const std::chrono::duration<double, std::nano> p = t1 - t0;
                                   const std::chrono::duration<double, std::nano> l = t2 - t1;
                                   primitiveNs += p.count();
                                   loopNs += l.count();
                                   state.SetIterationTime(p.count() * 1e-9);
                                 }
                                 benchmark::DoNotOptimize(data);
                                 const double elements =
                                     static_cast<double>(n) * reps * state.iterations();
                                 state.counters["primitive_elem_per_ns"] = elements / primitiveNs;
                                 state.counters["loop_elem_per_ns"] = elements / loopNs;
                                 state.counters["ratio"] = loopNs / primitiveNs;
                               })
      ->Arg(1024)
      ->Arg(65536)
      ->UseManualTime();
}

// Random generators.
auto AnyInt32 = [](std::mt19937& rng, std::int32_t) { return static_cast<std::int32_t>(rng()); };
auto SmallInt32 = [](std::mt19937& rng, std::int32_t) {
  return static_cast<std::int32_t>(rng() % 2001) - 1000;
};
auto NonZeroInt32 = [](std::mt19937& rng, std::int32_t) {
  const auto v = static_cast<std::int32_t>(rng() % 20001) - 10000;
  return v == 0 ? 1 : v;
};
auto NearOne = [](std::mt19937& rng, std::int32_t) {
  return 1.0 + (static_cast<double>(rng() % 1000) - 500.0) * 1e-9;
};
auto Wide = [](std::mt19937& rng, std::int32_t) {
  return (static_cast<double>(rng() % 2000001) - 1000000.0) * 1e-2;
};
auto NearOneComplex = [](std::mt19937& rng, std::int32_t i) {
  return C(NearOne(rng, i), (static_cast<double>(rng() % 1000) - 500.0) * 1e-9);
};
auto AnyByte = [](std::mt19937& rng, std::int32_t) { return static_cast<std::uint8_t>(rng()); };
auto AnyInt16 = [](std::mt19937& rng, std::int32_t) { return static_cast<std::int16_t>(rng()); };
auto NonZeroInt16 = [](std::mt19937& rng, std::int32_t) {
  const auto v = static_cast<std::int16_t>(rng() % 2001 - 1000);
  return v == 0 ? std::int16_t{1} : v;
};

template <typename T>
T Saturate(std::int64_t v, std::int64_t lo, std::int64_t hi) {
  return static_cast<T>(std::clamp(v, lo, hi));
}

// The plain loops several primitives share: an element copy (with the
// destination type's conversion) and a fill with one value.
auto PlainCopy = [](auto& d) {
  for (std::int32_t i = 0; i < d.n; ++i) {
    d.dstB[i] = d.srcB[i];
  }
};

template <typename T>
auto PlainFill(T value) {
  return [value](auto& d) {
    for (std::int32_t i = 0; i < d.n; ++i) {
      d.dstB[i] = value;
    }
  };
}

// y saturated to int32 (NaN giving INT32_MIN), else rounded by `round`.
template <typename T, typename Round>
std::int32_t PlainToInt32(T y, Round round) {
  return y >= static_cast<T>(2147483647.0)
             ? std::numeric_limits<std::int32_t>::max()
             : (!(y > static_cast<T>(-2147483648.0)) ? std::numeric_limits<std::int32_t>::min()
                                                     : static_cast<std::int32_t>(round(y)));
}

void RegisterVectorArithmetic() {
  Register(
      "VectorAddInt32InPlaceScaled_sf0",
      [](std::int32_t n) { return MakePair<std::int32_t, std::int32_t>(n, AnyInt32, AnyInt32); },
      [](auto& d) { VectorAddInt32InPlaceScaled(d.srcA.data(), d.dstA.data(), d.n, 0); },
      [](auto& d) {
        for (std::int32_t i = 0; i < d.n; ++i) {
          d.dstB[i] = Saturate<std::int32_t>(std::int64_t{d.dstB[i]} + d.srcB[i], kMin32, kMax32);
        }
      });
  Register(
      "VectorMulInt32InPlaceScaled_sf1",
      [](std::int32_t n) { return MakePair<std::int32_t, std::int32_t>(n, AnyInt32, AnyInt32); },
      [](auto& d) { VectorMulInt32InPlaceScaled(d.srcA.data(), d.dstA.data(), d.n, 1); },
      [](auto& d) {
        for (std::int32_t i = 0; i < d.n; ++i) {
          const std::int64_t t = std::int64_t{d.dstB[i]} * d.srcB[i];
          d.dstB[i] = Saturate<std::int32_t>((t + ((t >> 1) & 1)) >> 1, kMin32, kMax32);
        }
      });
  Register(
      "VectorDivInt32InPlaceScaled_sf0",
      [](std::int32_t n) {
        return MakePair<std::int32_t, std::int32_t>(n, NonZeroInt32, AnyInt32);
      },
      [](auto& d) {
        std::copy(d.srcA.begin(), d.srcA.end(), d.dstA.begin());  // keep quotients non-trivial
        VectorDivInt32InPlaceScaled(d.srcA.data(), d.dstA.data(), d.n, 0);
      },
      [](auto& d) {
        std::copy(d.srcB.begin(), d.srcB.end(), d.dstB.begin());
        for (std::int32_t i = 0; i < d.n; ++i) {
          const std::int64_t a = d.dstB[i];
          const std::int64_t b = d.srcB[i];
          if (b == 0) {
            d.dstB[i] = a > 0 ? kMax32 : (a < 0 ? kMin32 : 0);
            continue;
          }
          std::int64_t q = a / b;
          const std::int64_t r = a % b;
          const std::int64_t twiceR = 2 * (r < 0 ? -r : r);
          const std::int64_t absB = b < 0 ? -b : b;
          if (twiceR > absB || (twiceR == absB && (q & 1) != 0)) {
            q += ((a < 0) == (b < 0)) ? 1 : -1;
          }
          d.dstB[i] = Saturate<std::int32_t>(q, kMin32, kMax32);
        }
      });
  Register(
      "VectorAddDoubleInPlace",
      [](std::int32_t n) { return MakePair<double, double>(n, Wide, Wide); },
      [](auto& d) { VectorAddDoubleInPlace(d.srcA.data(), d.dstA.data(), d.n); },
      [](auto& d) {
        for (std::int32_t i = 0; i < d.n; ++i) {
          d.dstB[i] += d.srcB[i];
        }
      });
  Register(
      "VectorMulDoubleInPlace",
      [](std::int32_t n) { return MakePair<double, double>(n, NearOne, NearOne); },
      [](auto& d) { VectorMulDoubleInPlace(d.srcA.data(), d.dstA.data(), d.n); },
      [](auto& d) {
        for (std::int32_t i = 0; i < d.n; ++i) {
          d.dstB[i] *= d.srcB[i];
        }
      });
  Register(
      "VectorDivDoubleInPlace",
      [](std::int32_t n) { return MakePair<double, double>(n, NearOne, NearOne); },
      [](auto& d) { VectorDivDoubleInPlace(d.srcA.data(), d.dstA.data(), d.n); },
      [](auto& d) {
        for (std::int32_t i = 0; i < d.n; ++i) {
          const double b = d.srcB[i];
          const double a = d.dstB[i];
          d.dstB[i] = b == 0.0 ? (a > 0 ? HUGE_VAL : (a < 0 ? -HUGE_VAL : std::nan(""))) : a / b;
        }
      });
  Register(
      "VectorAddComplexInPlace",
      [](std::int32_t n) { return MakePair<C, C>(n, NearOneComplex, NearOneComplex); },
      [](auto& d) { VectorAddComplexInPlace(d.srcA.data(), d.dstA.data(), d.n); },
      [](auto& d) {
        for (std::int32_t i = 0; i < d.n; ++i) {
          d.dstB[i] = C(d.dstB[i].real() + d.srcB[i].real(), d.dstB[i].imag() + d.srcB[i].imag());
        }
      });
  Register(
      "VectorMulComplexInPlace",
      [](std::int32_t n) { return MakePair<C, C>(n, NearOneComplex, NearOneComplex); },
      [](auto& d) { VectorMulComplexInPlace(d.srcA.data(), d.dstA.data(), d.n); },
      [](auto& d) {
        for (std::int32_t i = 0; i < d.n; ++i) {
          const long double ar = d.dstB[i].real(), ai = d.dstB[i].imag();
          const long double br = d.srcB[i].real(), bi = d.srcB[i].imag();
          d.dstB[i] =
              C(static_cast<double>(ar * br - ai * bi), static_cast<double>(ar * bi + ai * br));
        }
      });
  Register(
      "VectorDivComplexInPlace",
      [](std::int32_t n) { return MakePair<C, C>(n, NearOneComplex, NearOneComplex); },
      [](auto& d) { VectorDivComplexInPlace(d.srcA.data(), d.dstA.data(), d.n); },
      [](auto& d) {
        for (std::int32_t i = 0; i < d.n; ++i) {
          const long double br = d.srcB[i].real(), bi = d.srcB[i].imag();
          const long double ar = d.dstB[i].real(), ai = d.dstB[i].imag();
          const long double m = bi * bi + br * br;
          if (m == 0.0L) {
            d.dstB[i] = C(std::nan(""), std::nan(""));
            continue;
          }
          const long double r = 1.0L / m;
          d.dstB[i] = C(static_cast<double>((br * ar + bi * ai) * r),
                        static_cast<double>((br * ai - bi * ar) * r));
        }
      });
  Register(
      "VectorAddUInt8InPlaceScaled_sf0",
      [](std::int32_t n) { return MakePair<std::uint8_t, std::uint8_t>(n, AnyByte, AnyByte); },
      [](auto& d) { VectorAddUInt8InPlaceScaled(d.srcA.data(), d.dstA.data(), d.n, 0); },
      [](auto& d) {
        for (std::int32_t i = 0; i < d.n; ++i) {
          d.dstB[i] = static_cast<std::uint8_t>(std::min(d.dstB[i] + d.srcB[i], 255));
        }
      });
  Register(
      "VectorMulUInt8InPlaceScaled_sf1",
      [](std::int32_t n) { return MakePair<std::uint8_t, std::uint8_t>(n, AnyByte, AnyByte); },
      [](auto& d) { VectorMulUInt8InPlaceScaled(d.srcA.data(), d.dstA.data(), d.n, 1); },
      [](auto& d) {
        for (std::int32_t i = 0; i < d.n; ++i) {
          const int t = d.dstB[i] * d.srcB[i];
          d.dstB[i] = static_cast<std::uint8_t>(std::min((t + ((t >> 1) & 1)) >> 1, 255));
        }
      });
}

void RegisterDataMovement() {
  Register(
      "VectorCopyDouble", [](std::int32_t n) { return MakePair<double, double>(n, Wide, Wide); },
      [](auto& d) { VectorCopyDouble(d.srcA.data(), d.dstA.data(), d.n); }, PlainCopy);
  Register(
      "VectorCopyDoubleOverlapping_shift_left",
      [](std::int32_t n) { return MakePair<double, double>(n + 1, Wide, Wide); },
      [](auto& d) { VectorCopyDoubleOverlapping(d.dstA.data() + 1, d.dstA.data(), d.n - 1); },
      [](auto& d) {
        for (std::int32_t i = 0; i + 1 < d.n; ++i) {
          d.dstB[i] = d.dstB[i + 1];
        }
      });
  Register(
      "VectorCopyUInt8",
      [](std::int32_t n) { return MakePair<std::uint8_t, std::uint8_t>(n, AnyByte, AnyByte); },
      [](auto& d) { VectorCopyUInt8(d.srcA.data(), d.dstA.data(), d.n); }, PlainCopy);
  Register(
      "VectorSetInt32",
      [](std::int32_t n) { return MakePair<std::int32_t, std::int32_t>(n, AnyInt32, AnyInt32); },
      [](auto& d) { VectorSetInt32(7, d.dstA.data(), d.n); },
      [](auto& d) { std::fill(d.dstB.begin(), d.dstB.end(), 7); });
  Register(
      "VectorSetDouble", [](std::int32_t n) { return MakePair<double, double>(n, Wide, Wide); },
      [](auto& d) { VectorSetDouble(0.5, d.dstA.data(), d.n); }, PlainFill(0.5));
  Register(
      "VectorSetComplex",
      [](std::int32_t n) { return MakePair<C, C>(n, NearOneComplex, NearOneComplex); },
      [](auto& d) { VectorSetComplex(0.5, -0.5, d.dstA.data(), d.n); }, PlainFill(C(0.5, -0.5)));
  Register(
      "VectorSetUInt8",
      [](std::int32_t n) { return MakePair<std::uint8_t, std::uint8_t>(n, AnyByte, AnyByte); },
      [](auto& d) { VectorSetUInt8(0x5A, d.dstA.data(), d.n); }, PlainFill(std::uint8_t{0x5A}));
  Register(
      "VectorSetInt16",
      [](std::int32_t n) { return MakePair<std::int16_t, std::int16_t>(n, AnyInt16, AnyInt16); },
      [](auto& d) { VectorSetInt16(-3, d.dstA.data(), d.n); }, PlainFill(std::int16_t{-3}));
  Register(
      "VectorZeroDouble", [](std::int32_t n) { return MakePair<double, double>(n, Wide, Wide); },
      [](auto& d) { VectorZeroDouble(d.dstA.data(), d.n); }, PlainFill(0.0));
  Register(
      "VectorZeroInt16",
      [](std::int32_t n) { return MakePair<std::int16_t, std::int16_t>(n, AnyInt16, AnyInt16); },
      [](auto& d) { VectorZeroInt16(d.dstA.data(), d.n); }, PlainFill(std::int16_t{0}));
}

// The plain extreme-value loop: skip NaNs, keep the first of equal values.
template <typename Better>
double PlainExtreme(const std::vector<double>& v, Better better) {
  bool found = false;
  double m = v[0];
  for (const double x : v) {
    if (std::isnan(x)) {
      continue;
    }
    if (!found || better(x, m)) {
      m = x;
      found = true;
    }
  }
  return m;
}

void RegisterExtremesChirpConversion() {
  Register(
      "VectorMaxDouble", [](std::int32_t n) { return MakePair<double, double>(n, Wide, Wide); },
      [](auto& d) { VectorMaxDouble(d.srcA.data(), d.n, d.dstA.data()); },
      [](auto& d) { d.dstB[0] = PlainExtreme(d.srcB, [](double x, double m) { return x > m; }); });
  Register(
      "VectorMinDouble", [](std::int32_t n) { return MakePair<double, double>(n, Wide, Wide); },
      [](auto& d) { VectorMinDouble(d.srcA.data(), d.n, d.dstA.data()); },
      [](auto& d) { d.dstB[0] = PlainExtreme(d.srcB, [](double x, double m) { return x < m; }); });
  Register(
      "VectorChirpDouble", [](std::int32_t n) { return MakePair<double, double>(n, Wide, Wide); },
      [](auto& d) { VectorChirpDouble(d.dstA.data(), d.n, 0.75); },
      [](auto& d) {
        const double step = 1.5707963267948966 / d.n;
        for (std::int32_t i = 0; i < d.n; ++i) {
          const long double k = i;
          const auto phase = static_cast<double>(static_cast<long double>(step) * k * k);
          d.dstB[i] = static_cast<double>(static_cast<long double>(static_cast<double>(
                                              std::sin(static_cast<long double>(phase)))) *
                                          0.75);
        }
      });
  Register(
      "VectorConvertInt32ToDouble",
      [](std::int32_t n) { return MakePair<std::int32_t, double>(n, AnyInt32, Wide); },
      [](auto& d) { VectorConvertInt32ToDouble(d.srcA.data(), d.dstA.data(), d.n); }, PlainCopy);
}

void RegisterScope() {
  Register(
      "VectorMulConstantDouble",
      [](std::int32_t n) { return MakePair<double, double>(n, Wide, Wide); },
      [](auto& d) { VectorMulConstantDouble(d.srcA.data(), 0.37, d.dstA.data(), d.n); },
      [](auto& d) {
        for (std::int32_t i = 0; i < d.n; ++i) {
          d.dstB[i] = d.srcB[i] * 0.37;
        }
      });
  Register(
      "VectorConvertDoubleToFloat",
      [](std::int32_t n) {
        return MakePair<double, float>(n, Wide, [](auto&, auto) { return 0.f; });
      },
      [](auto& d) { VectorConvertDoubleToFloat(d.srcA.data(), d.dstA.data(), d.n); },
      [](auto& d) {
        constexpr double kLimit = std::numeric_limits<float>::max();
        for (std::int32_t i = 0; i < d.n; ++i) {
          const double x = d.srcB[i];
          d.dstB[i] = !(x > -kLimit)
                          ? -static_cast<float>(kLimit)
                          : (x >= kLimit ? static_cast<float>(kLimit) : static_cast<float>(x));
        }
      });
  Register(
      "VectorConvertFloatToInt32Scaled_nearest",
      [](std::int32_t n) {
        return MakePair<float, std::int32_t>(
            n, [](std::mt19937& rng, std::int32_t i) { return static_cast<float>(Wide(rng, i)); },
            AnyInt32);
      },
      [](auto& d) { VectorConvertFloatToInt32Scaled(d.srcA.data(), d.dstA.data(), d.n, 1, 0); },
      [](auto& d) {
        for (std::int32_t i = 0; i < d.n; ++i) {
          d.dstB[i] = PlainToInt32(d.srcB[i], [](float y) { return std::lrint(y); });
        }
      });
  Register(
      "VectorConvertDoubleToInt32Scaled_nearest",
      [](std::int32_t n) { return MakePair<double, std::int32_t>(n, Wide, AnyInt32); },
      [](auto& d) { VectorConvertDoubleToInt32Scaled(d.srcA.data(), d.dstA.data(), d.n, 1, 0); },
      [](auto& d) {
        for (std::int32_t i = 0; i < d.n; ++i) {
          d.dstB[i] = PlainToInt32(d.srcB[i], [](double y) { return std::lrint(y); });
        }
      });
  Register(
      "VectorConvertDoubleToInt32Scaled_truncate",
      [](std::int32_t n) { return MakePair<double, std::int32_t>(n, Wide, AnyInt32); },
      [](auto& d) { VectorConvertDoubleToInt32Scaled(d.srcA.data(), d.dstA.data(), d.n, 0, 0); },
      [](auto& d) {
        for (std::int32_t i = 0; i < d.n; ++i) {
          d.dstB[i] = PlainToInt32(d.srcB[i], [](double y) { return y; });
        }
      });
  Register(
      "VectorAddConstantInt32InPlaceScaled_sf0",
      [](std::int32_t n) { return MakePair<std::int32_t, std::int32_t>(n, AnyInt32, SmallInt32); },
      [](auto& d) { VectorAddConstantInt32InPlaceScaled(3, d.dstA.data(), d.n, 0); },
      [](auto& d) {
        for (std::int32_t i = 0; i < d.n; ++i) {
          d.dstB[i] = Saturate<std::int32_t>(std::int64_t{d.dstB[i]} + 3, kMin32, kMax32);
        }
      });
  Register(
      "VectorSubFromConstantInt32InPlaceScaled_sf0",
      [](std::int32_t n) { return MakePair<std::int32_t, std::int32_t>(n, AnyInt32, SmallInt32); },
      [](auto& d) { VectorSubFromConstantInt32InPlaceScaled(300, d.dstA.data(), d.n, 0); },
      [](auto& d) {
        for (std::int32_t i = 0; i < d.n; ++i) {
          d.dstB[i] = Saturate<std::int32_t>(300 - std::int64_t{d.dstB[i]}, kMin32, kMax32);
        }
      });
  Register(
      "VectorClampAboveInt32InPlace",
      [](std::int32_t n) { return MakePair<std::int32_t, std::int32_t>(n, AnyInt32, SmallInt32); },
      [](auto& d) { VectorClampAboveInt32InPlace(d.dstA.data(), d.n, 500); },
      [](auto& d) {
        for (std::int32_t i = 0; i < d.n; ++i) {
          d.dstB[i] = std::min(d.dstB[i], 500);
        }
      });
}

void RegisterBlocks() {
  Register(
      "RoiAddInt16InPlaceScaled_sf0",
      [](std::int32_t n) { return MakePair<std::int16_t, std::int16_t>(n, AnyInt16, AnyInt16); },
      [](auto& d) {
        RoiAddInt16InPlaceScaled(d.srcA.data(), 2 * d.n, d.dstA.data(), 2 * d.n, d.n, 1, 0);
      },
      [](auto& d) {
        for (std::int32_t i = 0; i < d.n; ++i) {
          d.dstB[i] = Saturate<std::int16_t>(d.dstB[i] + d.srcB[i], -32768, 32767);
        }
      });
  Register(
      "RoiMulInt16InPlaceScaled_sf0",
      [](std::int32_t n) { return MakePair<std::int16_t, std::int16_t>(n, AnyInt16, AnyInt16); },
      [](auto& d) {
        RoiMulInt16InPlaceScaled(d.srcA.data(), 2 * d.n, d.dstA.data(), 2 * d.n, d.n, 1, 0);
      },
      [](auto& d) {
        for (std::int32_t i = 0; i < d.n; ++i) {
          d.dstB[i] = Saturate<std::int16_t>(d.dstB[i] * d.srcB[i], -32768, 32767);
        }
      });
  Register(
      "RoiDivInt16InPlaceScaled_sf0",
      [](std::int32_t n) {
        return MakePair<std::int16_t, std::int16_t>(n, NonZeroInt16, AnyInt16);
      },
      [](auto& d) {
        std::copy(d.srcA.begin(), d.srcA.end(), d.dstA.begin());
        RoiDivInt16InPlaceScaled(d.srcA.data(), 2 * d.n, d.dstA.data(), 2 * d.n, d.n, 1, 0);
      },
      [](auto& d) {
        std::copy(d.srcB.begin(), d.srcB.end(), d.dstB.begin());
        for (std::int32_t i = 0; i < d.n; ++i) {
          const int v = d.srcB[i];
          const int n = d.dstB[i];
          if (v == 0) {
            d.dstB[i] = static_cast<std::int16_t>(n > 0 ? 32767 : (n < 0 ? -32768 : 0));
          } else {
            d.dstB[i] =
                Saturate<std::int16_t>(std::lrint(static_cast<double>(n) / v), -32768, 32767);
          }
        }
      });
  Register(
      "RoiSetInt32",
      [](std::int32_t n) { return MakePair<std::int32_t, std::int32_t>(n, AnyInt32, AnyInt32); },
      [](auto& d) { RoiSetInt32(9, d.dstA.data(), 4 * d.n, d.n, 1); }, PlainFill(std::int32_t{9}));
  Register(
      "RoiCopyInt16",
      [](std::int32_t n) { return MakePair<std::int16_t, std::int16_t>(n, AnyInt16, AnyInt16); },
      [](auto& d) { RoiCopyInt16(d.srcA.data(), 2 * d.n, d.dstA.data(), 2 * d.n, d.n, 1); },
      PlainCopy);
  Register(
      "RoiConvertUInt8ToFloat",
      [](std::int32_t n) {
        return MakePair<std::uint8_t, float>(n, AnyByte, [](auto&, auto) { return 0.f; });
      },
      [](auto& d) { RoiConvertUInt8ToFloat(d.srcA.data(), d.n, d.dstA.data(), 4 * d.n, d.n, 1); },
      PlainCopy);
  Register(
      "RoiConvertUInt8ToInt16",
      [](std::int32_t n) { return MakePair<std::uint8_t, std::int16_t>(n, AnyByte, AnyInt16); },
      [](auto& d) { RoiConvertUInt8ToInt16(d.srcA.data(), d.n, d.dstA.data(), 2 * d.n, d.n, 1); },
      [](auto& d) {
        for (std::int32_t i = 0; i < d.n; ++i) {
          d.dstB[i] = static_cast<std::int16_t>(d.srcB[i] * 257 - 32768);
        }
      });
  Register(
      "RoiConvertUInt8ToInt32",
      [](std::int32_t n) { return MakePair<std::uint8_t, std::int32_t>(n, AnyByte, AnyInt32); },
      [](auto& d) { RoiConvertUInt8ToInt32(d.srcA.data(), d.n, d.dstA.data(), 4 * d.n, d.n, 1); },
      [](auto& d) {
        for (std::int32_t i = 0; i < d.n; ++i) {
          d.dstB[i] = static_cast<std::int32_t>(d.srcB[i] * 0x01010101u + 0x80000000u);
        }
      });
  Register(
      "RoiConvertInt16ToUInt8_shift",
      [](std::int32_t n) { return MakePair<std::int16_t, std::uint8_t>(n, AnyInt16, AnyByte); },
      [](auto& d) {
        RoiConvertInt16ToUInt8(d.srcA.data(), 2 * d.n, d.dstA.data(), d.n, d.n, 1, 1);
      },
      [](auto& d) {
        for (std::int32_t i = 0; i < d.n; ++i) {
          const int x = d.srcB[i];
          d.dstB[i] = static_cast<std::uint8_t>(((x - (x >> 8)) >> 8) + 128);
        }
      });
  Register(
      "RoiConvertInt16ToUInt8_rounded",
      [](std::int32_t n) { return MakePair<std::int16_t, std::uint8_t>(n, AnyInt16, AnyByte); },
      [](auto& d) {
        RoiConvertInt16ToUInt8(d.srcA.data(), 2 * d.n, d.dstA.data(), d.n, d.n, 1, 2);
      },
      [](auto& d) {
        for (std::int32_t i = 0; i < d.n; ++i) {
          d.dstB[i] = static_cast<std::uint8_t>(std::lrint((d.srcB[i] + 32768) / 257.0));
        }
      });
  Register(
      "RoiConvertInt32ToUInt8_rounded",
      [](std::int32_t n) { return MakePair<std::int32_t, std::uint8_t>(n, AnyInt32, AnyByte); },
      [](auto& d) {
        RoiConvertInt32ToUInt8(d.srcA.data(), 4 * d.n, d.dstA.data(), d.n, d.n, 1, 2);
      },
      [](auto& d) {
        for (std::int32_t i = 0; i < d.n; ++i) {
          d.dstB[i] = static_cast<std::uint8_t>(
              std::lrint((static_cast<double>(d.srcB[i]) + 2147483648.0) / 16843009.0));
        }
      });
}

// ---- Processor-specific variants against the portable variant ----------------------

const char* LetterName(PrimitiveVariant letter) {
  return letter == PrimitiveVariant::A ? "A" : (letter == PrimitiveVariant::B ? "B" : "C");
}

// `call(function, src, dst, n)` runs one variant on one data set.
template <typename P, typename Prepare, typename Call>
void RegisterVariant(const char* family, const P& pointer, PrimitiveVariant letter, Prepare prepare,
                     Call call) {
  const std::string fullName =
      std::string("PrimitiveVariants/") + family + "_" + LetterName(letter);
  benchmark::RegisterBenchmark(
      fullName.c_str(),
      [=, &pointer](benchmark::State& state) {
        if (!CpuSupportsVariant(letter)) {
          state.SkipWithError("skipped: this processor lacks the variant's instructions");
          return;
        }
        auto* variant = pointer.Variant(letter);
        auto* portable = pointer.Variant(PrimitiveVariant::Portable);
        const auto n = static_cast<std::int32_t>(state.range(0));
        auto d = prepare(n);
        const int reps = std::max(1, 32768 / n);
        double variantNs = 0;
        double portableNs = 0;
        for (auto _ : state) {
          const auto t0 = Clock::now();
          for (int r = 0; r < reps; ++r) {
            call(variant, d.srcA, d.dstA, n);
            benchmark::ClobberMemory();
          }
          const auto t1 = Clock::now();
          for (int r = 0; r < reps; ++r) {
            call(portable, d.srcB, d.dstB, n);
            benchmark::ClobberMemory();
          }
          const auto t2 = Clock::now();
          const std::chrono::duration<double, std::nano> v = t1 - t0;
          const std::chrono::duration<double, std::nano> p = t2 - t1;
          variantNs += v.count();
          portableNs += p.count();
          state.SetIterationTime(v.count() * 1e-9);
        }
        benchmark::DoNotOptimize(d);
        state.counters["ratio"] = portableNs / variantNs;
      })
      ->Arg(1024)
      ->Arg(65536)
      ->UseManualTime();
}

template <typename P, typename Prepare, typename Call>
void RegisterLetters(const char* family, const P& pointer,
                     std::initializer_list<PrimitiveVariant> letters, Prepare prepare, Call call) {
  for (const PrimitiveVariant letter : letters) {
    RegisterVariant(family, pointer, letter, prepare, call);
  }
}

void RegisterVariants() {
  using PV = PrimitiveVariant;
  const auto ints = [](std::int32_t n) {
    return MakePair<std::int32_t, std::int32_t>(n, SmallInt32, SmallInt32);
  };
  RegisterLetters("VectorAddConstantInt32InPlaceScaled", VectorAddConstantInt32InPlaceScaled,
                  {PV::A, PV::C}, ints,
                  [](auto* f, auto&, auto& dst, std::int32_t n) { f(3, dst.data(), n, 0); });
  RegisterLetters("VectorAddConstantInt32InPlaceScaled_sf1", VectorAddConstantInt32InPlaceScaled,
                  {PV::A, PV::C}, ints,
                  [](auto* f, auto&, auto& dst, std::int32_t n) { f(3, dst.data(), n, 1); });
  RegisterLetters("VectorSubFromConstantInt32InPlaceScaled",
                  VectorSubFromConstantInt32InPlaceScaled, {PV::A, PV::C}, ints,
                  [](auto* f, auto&, auto& dst, std::int32_t n) { f(400, dst.data(), n, 0); });
  RegisterLetters("VectorClampAboveInt32InPlace", VectorClampAboveInt32InPlace, {PV::A, PV::C},
                  ints, [](auto* f, auto&, auto& dst, std::int32_t n) { f(dst.data(), n, 500); });
  RegisterLetters(
      "VectorConvertFloatToInt32Scaled", VectorConvertFloatToInt32Scaled, {PV::A, PV::B, PV::C},
      [](std::int32_t n) {
        return MakePair<float, std::int32_t>(
            n, [](std::mt19937& rng, std::int32_t i) { return static_cast<float>(Wide(rng, i)); },
            AnyInt32);
      },
      [](auto* f, auto& src, auto& dst, std::int32_t n) { f(src.data(), dst.data(), n, 1, 0); });
  RegisterLetters(
      "VectorConvertDoubleToInt32Scaled", VectorConvertDoubleToInt32Scaled, {PV::A, PV::B, PV::C},
      [](std::int32_t n) { return MakePair<double, std::int32_t>(n, Wide, AnyInt32); },
      [](auto* f, auto& src, auto& dst, std::int32_t n) { f(src.data(), dst.data(), n, 1, 0); });
  RegisterLetters(
      "VectorConvertDoubleToFloat", VectorConvertDoubleToFloat, {PV::A, PV::C},
      [](std::int32_t n) {
        return MakePair<double, float>(n, Wide, [](auto&, auto) { return 0.f; });
      },
      [](auto* f, auto& src, auto& dst, std::int32_t n) { f(src.data(), dst.data(), n); });
  RegisterLetters(
      "VectorMulConstantDouble", VectorMulConstantDouble, {PV::A, PV::B, PV::C},
      [](std::int32_t n) { return MakePair<double, double>(n, Wide, Wide); },
      [](auto* f, auto& src, auto& dst, std::int32_t n) { f(src.data(), 0.37, dst.data(), n); });
  RegisterLetters(
      "VectorMulConstantDouble_copy", VectorMulConstantDouble, {PV::A, PV::B, PV::C},
      [](std::int32_t n) { return MakePair<double, double>(n, Wide, Wide); },
      [](auto* f, auto& src, auto& dst, std::int32_t n) { f(src.data(), 1.0, dst.data(), n); });
  RegisterLetters(
      "VectorSetInt16", VectorSetInt16, {PV::A, PV::B, PV::C},
      [](std::int32_t n) { return MakePair<std::int16_t, std::int16_t>(n, AnyInt16, AnyInt16); },
      [](auto* f, auto&, auto& dst, std::int32_t n) { f(1234, dst.data(), n); });
  const auto shorts = [](std::int32_t n) {
    return MakePair<std::int16_t, std::int16_t>(n, NonZeroInt16, AnyInt16);
  };
  for (const auto& [name, pointer] : {
           std::pair<const char*,
                     const PrimitivePointer<decltype(RoiAddInt16InPlaceScaledPortable)>*>{
               "RoiAddInt16InPlaceScaled", &RoiAddInt16InPlaceScaled},
           {"RoiSubInt16InPlaceScaled", &RoiSubInt16InPlaceScaled},
           {"RoiMulInt16InPlaceScaled", &RoiMulInt16InPlaceScaled},
       }) {
    RegisterLetters(name, *pointer, {PV::A, PV::B, PV::C}, shorts,
                    [](auto* f, auto& src, auto& dst, std::int32_t n) {
                      f(src.data(), 2 * n, dst.data(), 2 * n, n, 1, 0);
                    });
  }
  const auto doubles = [](std::int32_t n) { return MakePair<double, double>(n, Wide, NearOne); };
  RegisterLetters(
      "VectorCopyDouble", VectorCopyDouble, {PV::A, PV::B, PV::C}, doubles,
      [](auto* f, auto& src, auto& dst, std::int32_t n) { f(src.data(), dst.data(), n); });
  RegisterLetters("VectorSetDouble", VectorSetDouble, {PV::A, PV::B, PV::C}, doubles,
                  [](auto* f, auto&, auto& dst, std::int32_t n) { f(0.25, dst.data(), n); });
  RegisterLetters("VectorZeroDouble", VectorZeroDouble, {PV::A, PV::B, PV::C}, doubles,
                  [](auto* f, auto&, auto& dst, std::int32_t n) { f(dst.data(), n); });
  RegisterLetters(
      "VectorAddDoubleInPlace", VectorAddDoubleInPlace, {PV::A, PV::B, PV::C}, doubles,
      [](auto* f, auto& src, auto& dst, std::int32_t n) { f(src.data(), dst.data(), n); });
  RegisterLetters(
      "VectorMulDoubleInPlace", VectorMulDoubleInPlace, {PV::A, PV::B, PV::C}, doubles,
      [](auto* f, auto& src, auto& dst, std::int32_t n) { f(src.data(), dst.data(), n); });
  RegisterLetters(
      "VectorMaxDouble", VectorMaxDouble, {PV::A, PV::B, PV::C}, doubles,
      [](auto* f, auto& src, auto& dst, std::int32_t n) { f(src.data(), n, dst.data()); });
  RegisterLetters(
      "VectorConvertInt32ToDouble", VectorConvertInt32ToDouble, {PV::A, PV::B, PV::C},
      [](std::int32_t n) { return MakePair<std::int32_t, double>(n, AnyInt32, Wide); },
      [](auto* f, auto& src, auto& dst, std::int32_t n) { f(src.data(), dst.data(), n); });
  RegisterLetters(
      "VectorAddInt32InPlaceScaled", VectorAddInt32InPlaceScaled, {PV::A, PV::B, PV::C}, ints,
      [](auto* f, auto& src, auto& dst, std::int32_t n) { f(src.data(), dst.data(), n, 0); });
  RegisterLetters(
      "VectorAddInt32InPlaceScaled_sf3", VectorAddInt32InPlaceScaled, {PV::A, PV::B, PV::C}, ints,
      [](auto* f, auto& src, auto& dst, std::int32_t n) { f(src.data(), dst.data(), n, 3); });
  RegisterLetters("RoiSetInt32", RoiSetInt32, {PV::A, PV::B}, ints,
                  [](auto* f, auto&, auto& dst, std::int32_t n) { f(7, dst.data(), 4 * n, n, 1); });
  RegisterLetters(
      "RoiCopyInt16", RoiCopyInt16, {PV::A, PV::B, PV::C},
      [](std::int32_t n) { return MakePair<std::int16_t, std::int16_t>(n, AnyInt16, AnyInt16); },
      [](auto* f, auto& src, auto& dst, std::int32_t n) {
        f(src.data(), 2 * n, dst.data(), 2 * n, n, 1);
      });
  RegisterLetters(
      "RoiConvertUInt8ToFloat", RoiConvertUInt8ToFloat, {PV::A, PV::B, PV::C},
      [](std::int32_t n) {
        return MakePair<std::uint8_t, float>(n, AnyByte, [](auto&, auto) { return 0.f; });
      },
      [](auto* f, auto& src, auto& dst, std::int32_t n) {
        f(src.data(), n, dst.data(), 4 * n, n, 1);
      });
  RegisterLetters(
      "RoiConvertInt16ToUInt8_rounded", RoiConvertInt16ToUInt8, {PV::A, PV::B, PV::C},
      [](std::int32_t n) { return MakePair<std::int16_t, std::uint8_t>(n, AnyInt16, AnyByte); },
      [](auto* f, auto& src, auto& dst, std::int32_t n) {
        f(src.data(), 2 * n, dst.data(), n, n, 1, 2);
      });
  RegisterLetters(
      "RoiConvertInt32ToUInt8_rounded", RoiConvertInt32ToUInt8, {PV::A, PV::B, PV::C},
      [](std::int32_t n) { return MakePair<std::int32_t, std::uint8_t>(n, AnyInt32, AnyByte); },
      [](auto* f, auto& src, auto& dst, std::int32_t n) {
        f(src.data(), 4 * n, dst.data(), n, n, 1, 2);
      });
  RegisterLetters(
      "RoiConvertInt16ToUInt8", RoiConvertInt16ToUInt8, {PV::A, PV::B, PV::C},
      [](std::int32_t n) { return MakePair<std::int16_t, std::uint8_t>(n, AnyInt16, AnyByte); },
      [](auto* f, auto& src, auto& dst, std::int32_t n) {
        f(src.data(), 2 * n, dst.data(), n, n, 1, 0);
      });
  RegisterLetters(
      "VectorMulUInt8InPlaceScaled_sf3", VectorMulUInt8InPlaceScaled, {PV::A, PV::B, PV::C},
      [](std::int32_t n) { return MakePair<std::uint8_t, std::uint8_t>(n, AnyByte, AnyByte); },
      [](auto* f, auto& src, auto& dst, std::int32_t n) { f(src.data(), dst.data(), n, 3); });
  RegisterLetters(
      "VectorAddUInt8InPlaceScaled", VectorAddUInt8InPlaceScaled, {PV::A, PV::B, PV::C},
      [](std::int32_t n) { return MakePair<std::uint8_t, std::uint8_t>(n, AnyByte, AnyByte); },
      [](auto* f, auto& src, auto& dst, std::int32_t n) { f(src.data(), dst.data(), n, 0); });
  RegisterLetters(
      "VectorDivInt32InPlaceScaled", VectorDivInt32InPlaceScaled, {PV::A, PV::B, PV::C},
      [](std::int32_t n) {
        return MakePair<std::int32_t, std::int32_t>(
            n, [](std::mt19937& rng, std::int32_t) { return rng() % 2 ? 1 : -1; }, AnyInt32);
      },
      [](auto* f, auto& src, auto& dst, std::int32_t n) { f(src.data(), dst.data(), n, 0); });
  RegisterLetters(
      "VectorAddInt32InPlaceScaled_sf40", VectorAddInt32InPlaceScaled, {PV::A}, ints,
      [](auto* f, auto& src, auto& dst, std::int32_t n) { f(src.data(), dst.data(), n, 40); });
  // Divisors of +-1 keep the quotients (the next call's dividends) as large
  // as the data they started from.
  RegisterLetters(
      "RoiDivInt16InPlaceScaled", RoiDivInt16InPlaceScaled, {PV::A, PV::B, PV::C},
      [](std::int32_t n) {
        return MakePair<std::int16_t, std::int16_t>(
            n, [](std::mt19937& rng, std::int32_t) { return std::int16_t(rng() % 2 ? 1 : -1); },
            AnyInt16);
      },
      [](auto* f, auto& src, auto& dst, std::int32_t n) {
        f(src.data(), 2 * n, dst.data(), 2 * n, n, 1, 0);
      });
  // The families not covered above, one registration each.
  const auto bytes = [](std::int32_t n) {
    return MakePair<std::uint8_t, std::uint8_t>(n, AnyByte, AnyByte);
  };
  const auto complexes = [](std::int32_t n) {
    return MakePair<C, C>(n, NearOneComplex, NearOneComplex);
  };
  const auto twoOperands = [](auto* f, auto& src, auto& dst, std::int32_t n) {
    f(src.data(), dst.data(), n);
  };
  RegisterLetters("VectorSubDoubleInPlace", VectorSubDoubleInPlace, {PV::A, PV::B, PV::C}, doubles,
                  twoOperands);
  RegisterLetters(
      "VectorDivDoubleInPlace", VectorDivDoubleInPlace, {PV::A, PV::B, PV::C},
      [](std::int32_t n) { return MakePair<double, double>(n, NearOne, Wide); }, twoOperands);
  RegisterLetters("VectorAddComplexInPlace", VectorAddComplexInPlace, {PV::A, PV::B, PV::C},
                  complexes, twoOperands);
  RegisterLetters("VectorSubComplexInPlace", VectorSubComplexInPlace, {PV::A, PV::B, PV::C},
                  complexes, twoOperands);
  RegisterLetters("VectorMulComplexInPlace", VectorMulComplexInPlace, {PV::A, PV::B, PV::C},
                  complexes, twoOperands);
  RegisterLetters("VectorDivComplexInPlace", VectorDivComplexInPlace, {PV::A, PV::B, PV::C},
                  complexes, twoOperands);
  RegisterLetters(
      "VectorSubInt32InPlaceScaled", VectorSubInt32InPlaceScaled, {PV::A, PV::B, PV::C}, ints,
      [](auto* f, auto& src, auto& dst, std::int32_t n) { f(src.data(), dst.data(), n, 0); });
  RegisterLetters(
      "VectorMulInt32InPlaceScaled", VectorMulInt32InPlaceScaled, {PV::A, PV::B, PV::C}, ints,
      [](auto* f, auto& src, auto& dst, std::int32_t n) { f(src.data(), dst.data(), n, 0); });
  RegisterLetters(
      "VectorMulInt32InPlaceScaled_sf3", VectorMulInt32InPlaceScaled, {PV::A, PV::B, PV::C}, ints,
      [](auto* f, auto& src, auto& dst, std::int32_t n) { f(src.data(), dst.data(), n, 3); });
  RegisterLetters(
      "VectorSubUInt8InPlaceScaled", VectorSubUInt8InPlaceScaled, {PV::A, PV::B, PV::C}, bytes,
      [](auto* f, auto& src, auto& dst, std::int32_t n) { f(src.data(), dst.data(), n, 1); });
  RegisterLetters("VectorCopyUInt8", VectorCopyUInt8, {PV::A, PV::B, PV::C}, bytes, twoOperands);
  RegisterLetters("VectorSetInt32", VectorSetInt32, {PV::A, PV::B, PV::C}, ints,
                  [](auto* f, auto&, auto& dst, std::int32_t n) { f(-5, dst.data(), n); });
  RegisterLetters("VectorSetComplex", VectorSetComplex, {PV::A, PV::B, PV::C}, complexes,
                  [](auto* f, auto&, auto& dst, std::int32_t n) { f(0.5, -2.0, dst.data(), n); });
  RegisterLetters("VectorSetUInt8", VectorSetUInt8, {PV::A, PV::B, PV::C}, bytes,
                  [](auto* f, auto&, auto& dst, std::int32_t n) { f(0x5A, dst.data(), n); });
  RegisterLetters(
      "VectorZeroInt16", VectorZeroInt16, {PV::A, PV::B, PV::C},
      [](std::int32_t n) { return MakePair<std::int16_t, std::int16_t>(n, AnyInt16, AnyInt16); },
      [](auto* f, auto&, auto& dst, std::int32_t n) { f(dst.data(), n); });
  RegisterLetters("VectorZeroInt32", VectorZeroInt32, {PV::A, PV::B, PV::C}, ints,
                  [](auto* f, auto&, auto& dst, std::int32_t n) { f(dst.data(), n); });
  RegisterLetters("VectorZeroComplex", VectorZeroComplex, {PV::A, PV::B, PV::C}, complexes,
                  [](auto* f, auto&, auto& dst, std::int32_t n) { f(dst.data(), n); });
  RegisterLetters("VectorZeroUInt8", VectorZeroUInt8, {PV::A, PV::B, PV::C}, bytes,
                  [](auto* f, auto&, auto& dst, std::int32_t n) { f(dst.data(), n); });
  RegisterLetters(
      "VectorMinDouble", VectorMinDouble, {PV::A, PV::B, PV::C}, doubles,
      [](auto* f, auto& src, auto& dst, std::int32_t n) { f(src.data(), n, dst.data()); });
  RegisterLetters("VectorChirpDouble", VectorChirpDouble, {PV::A, PV::B, PV::C}, doubles,
                  [](auto* f, auto&, auto& dst, std::int32_t n) { f(dst.data(), n, 1.0); });
  RegisterLetters(
      "RoiCopyUInt8", RoiCopyUInt8, {PV::A, PV::B, PV::C}, bytes,
      [](auto* f, auto& src, auto& dst, std::int32_t n) { f(src.data(), n, dst.data(), n, n, 1); });
  RegisterLetters("RoiCopyInt32", RoiCopyInt32, {PV::A, PV::B, PV::C}, ints,
                  [](auto* f, auto& src, auto& dst, std::int32_t n) {
                    f(src.data(), 4 * n, dst.data(), 4 * n, n, 1);
                  });
  RegisterLetters(
      "RoiConvertUInt8ToInt16", RoiConvertUInt8ToInt16, {PV::A, PV::B, PV::C},
      [](std::int32_t n) { return MakePair<std::uint8_t, std::int16_t>(n, AnyByte, AnyInt16); },
      [](auto* f, auto& src, auto& dst, std::int32_t n) {
        f(src.data(), n, dst.data(), 2 * n, n, 1);
      });
  RegisterLetters(
      "RoiConvertUInt8ToInt32", RoiConvertUInt8ToInt32, {PV::A, PV::B, PV::C},
      [](std::int32_t n) { return MakePair<std::uint8_t, std::int32_t>(n, AnyByte, AnyInt32); },
      [](auto* f, auto& src, auto& dst, std::int32_t n) {
        f(src.data(), n, dst.data(), 4 * n, n, 1);
      });
  RegisterLetters(
      "RoiConvertInt32ToUInt8", RoiConvertInt32ToUInt8, {PV::A, PV::B, PV::C},
      [](std::int32_t n) { return MakePair<std::int32_t, std::uint8_t>(n, AnyInt32, AnyByte); },
      [](auto* f, auto& src, auto& dst, std::int32_t n) {
        f(src.data(), 4 * n, dst.data(), n, n, 1, 1);
      });
  RegisterLetters("RoiAddInt16InPlaceScaled_sf3", RoiAddInt16InPlaceScaled, {PV::A, PV::B, PV::C},
                  shorts, [](auto* f, auto& src, auto& dst, std::int32_t n) {
                    f(src.data(), 2 * n, dst.data(), 2 * n, n, 1, 3);
                  });
  RegisterLetters("RoiMulInt16InPlaceScaled_sf3", RoiMulInt16InPlaceScaled, {PV::A, PV::B, PV::C},
                  shorts, [](auto* f, auto& src, auto& dst, std::int32_t n) {
                    f(src.data(), 2 * n, dst.data(), 2 * n, n, 1, 3);
                  });
}

const bool registered = [] {
  RegisterVectorArithmetic();
  RegisterDataMovement();
  RegisterExtremesChirpConversion();
  RegisterScope();
  RegisterBlocks();
  RegisterVariants();
  return true;
}();

}  // namespace
