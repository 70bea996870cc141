// Forward real FFT against FFTW's real-to-complex transform, and the IIR
// filter's throughput on one block of the DC blocker.
//
// RealFftForward/<order>: time per transform of our portable code (out of
// place, with a caller-supplied work buffer, as a caller that keeps one would
// run it). Counters: fftw_ns, FFTW's time per transform on the same data in
// the same run (planned with FFTW_MEASURE), and ratio = ours / FFTW.
// RealFftForwardScaledBySqrtN/<order>: the same with the spectrum's scaling.
// IirFilterOrder2/1024: samples filtered per nanosecond.
// The processor-specific variants of the other primitives: see their block
// below.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <complex>
#include <cstdint>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "signal/primitives/PrimitiveDispatch.h"
#include "signal/transforms/MoskDispatcher.h"
#include "signal/transforms/fft/RealFftSpec.h"
#include "signal/transforms/iir/IirState.h"

#if defined(KESTRUNE_HAVE_FFTW3)
#include <fftw3.h>
#endif

namespace {

std::vector<double> RandomSamples(std::int64_t n) {
  std::mt19937 generator(42);
  std::uniform_real_distribution<double> value(-1.0, 1.0);
  std::vector<double> x(static_cast<std::size_t>(n));
  for (double& v : x) {
    v = value(generator);
  }
  return x;
}

using Clock = std::chrono::steady_clock;

// Nanoseconds taken by `reps` calls of `run`.
template <typename Run>
double TimeBatch(Run& run, std::int64_t reps) {
  const auto start = Clock::now();
  for (std::int64_t i = 0; i < reps; ++i) {
    run();
  }
  return std::chrono::duration<double, std::nano>(Clock::now() - start).count();
}

// Calls per batch of about 2 ms.
template <typename Run>
std::int64_t RepsPerBatch(Run& run) {
  std::int64_t reps = 1;
  while (TimeBatch(run, reps) < 2e6) {
    reps *= 2;
  }
  return reps;
}

// Nanoseconds per call of `first` and of `second`, measured in alternating
// short batches, each one's best batch taken, so that load from other
// processes on the machine affects both alike and mostly drops out of the
// ratio.
template <typename First, typename Second>
std::pair<double, double> NanosecondsPerCall(First first, Second second) {
  const std::int64_t firstReps = RepsPerBatch(first);
  const std::int64_t secondReps = RepsPerBatch(second);
  double firstBest = 1e300;
  double secondBest = 1e300;
  for (int batch = 0; batch < 40; ++batch) {
    firstBest = std::min(firstBest, TimeBatch(first, firstReps) / static_cast<double>(firstReps));
    secondBest =
        std::min(secondBest, TimeBatch(second, secondReps) / static_cast<double>(secondReps));
  }
  return {firstBest, secondBest};
}

// Nanoseconds per call of `run`: its best batch.
template <typename Run>
double NanosecondsPerCall(Run run) {
  const std::int64_t reps = RepsPerBatch(run);
  double best = 1e300;
  for (int batch = 0; batch < 40; ++batch) {
    best = std::min(best, TimeBatch(run, reps) / static_cast<double>(reps));
  }
  return best;
}

// Our forward transform of one order and scaling on fixed random samples,
// with a caller-supplied work buffer; Made() is false when the spec could
// not be created, and Failure() then says why.
class ForwardTransform {
 public:
  ForwardTransform(std::int32_t order, std::int32_t scaling)
      : x_(RandomSamples(std::int64_t{1} << order)), out_(x_.size() + 2) {
    if (const PrimitiveStatus status = RealFftCreateSpec(&spec_, order, scaling, 2);
        status != StatusOk) {
      spec_ = nullptr;
      failure_ = std::string("RealFftCreateSpec failed: ") + PrimitiveStatusName(status);
      return;
    }
    work_.resize(static_cast<std::size_t>(spec_->workBytes) + 16);
  }
  ~ForwardTransform() {
    if (spec_ != nullptr) {
      RealFftFreeSpec(spec_);
    }
  }
  ForwardTransform(const ForwardTransform&) = delete;
  ForwardTransform& operator=(const ForwardTransform&) = delete;

  bool Made() const { return spec_ != nullptr; }
  const std::string& Failure() const { return failure_; }
  const std::vector<double>& Input() const { return x_; }
  void operator()() {
    RealFftForward(x_.data(), out_.data(), spec_, work_.data());
    benchmark::DoNotOptimize(out_.data());
    benchmark::ClobberMemory();
  }

 private:
  RealFftSpec* spec_ = nullptr;
  std::vector<double> x_;
  std::vector<double> out_;
  std::vector<std::uint8_t> work_;
  std::string failure_;
};

void BM_RealFftForward(benchmark::State& state) {
  const auto order = static_cast<std::int32_t>(state.range(0));
  const std::int64_t n = std::int64_t{1} << order;
  ForwardTransform ours(order, kFftNoScale);
  if (!ours.Made()) {
    state.SkipWithError(ours.Failure().c_str());
    return;
  }

#if defined(KESTRUNE_HAVE_FFTW3)
  double* fftwIn = fftw_alloc_real(static_cast<std::size_t>(n));
  fftw_complex* fftwOut = fftw_alloc_complex(static_cast<std::size_t>(n / 2 + 1));
  fftw_plan plan = fftw_plan_dft_r2c_1d(static_cast<int>(n), fftwIn, fftwOut, FFTW_MEASURE);
  std::copy(ours.Input().begin(), ours.Input().end(), fftwIn);  // planning overwrote the input
  auto fftw = [&] {
    fftw_execute(plan);
    benchmark::DoNotOptimize(fftwOut);
    benchmark::ClobberMemory();
  };
  const auto [oursNs, fftwNs] = NanosecondsPerCall([&] { ours(); }, fftw);
  state.counters["fftw_ns"] = fftwNs;
  state.counters["ours_ns"] = oursNs;
  state.counters["ratio"] = oursNs / fftwNs;
  fftw_destroy_plan(plan);
  fftw_free(fftwOut);
  fftw_free(fftwIn);
#endif

  for (auto _ : state) {
    ours();
  }
}
BENCHMARK(BM_RealFftForward)->DenseRange(6, 16)->Unit(benchmark::kNanosecond);

// The spectrum's case: the same transform with the spec scaling its result
// by 1/sqrt(N), for the orders the spectrum runs most (counter ours_ns as
// above; the peer has no scaled transform to compare with).
void BM_RealFftForwardScaledBySqrtN(benchmark::State& state) {
  ForwardTransform ours(static_cast<std::int32_t>(state.range(0)), kFftScaleBySqrtN);
  if (!ours.Made()) {
    state.SkipWithError(ours.Failure().c_str());
    return;
  }
  state.counters["ours_ns"] = NanosecondsPerCall([&] { ours(); });
  for (auto _ : state) {
    ours();
  }
}
BENCHMARK(BM_RealFftForwardScaledBySqrtN)->DenseRange(8, 12)->Unit(benchmark::kNanosecond);

#if defined(KESTRUNE_HAVE_FFTW3)
void BM_FftwRealToComplex(benchmark::State& state) {
  const auto order = static_cast<std::int32_t>(state.range(0));
  const std::int64_t n = std::int64_t{1} << order;
  double* in = fftw_alloc_real(static_cast<std::size_t>(n));
  fftw_complex* out = fftw_alloc_complex(static_cast<std::size_t>(n / 2 + 1));
  fftw_plan plan = fftw_plan_dft_r2c_1d(static_cast<int>(n), in, out, FFTW_MEASURE);
  const std::vector<double> x = RandomSamples(n);
  std::copy(x.begin(), x.end(), in);
  for (auto _ : state) {
    fftw_execute(plan);
    benchmark::DoNotOptimize(out);
    benchmark::ClobberMemory();
  }
  fftw_destroy_plan(plan);
  fftw_free(out);
  fftw_free(in);
}
BENCHMARK(BM_FftwRealToComplex)->DenseRange(6, 16)->Unit(benchmark::kNanosecond);
#endif

// The DC blocker of the DC remover and the meter: order 2, one block of
// 1024 frames per call, the state carried from call to call.
void BM_IirFilterOrder2(benchmark::State& state) {
  const auto frames = static_cast<std::int32_t>(state.range(0));
  const float r = static_cast<float>(1.0L - 40.0L * 3.14159265358979323846L / 44100.0L);
  const float taps[6] = {0.0f, -1.0f, 1.0f, -1.0f, r, 0.0f};
  IirState* iir = nullptr;
  if (const PrimitiveStatus status = IirCreateState(&iir, taps, 2, nullptr); status != StatusOk) {
    state.SkipWithError(
        (std::string("IirCreateState failed: ") + PrimitiveStatusName(status)).c_str());
    return;
  }
  std::vector<float> block(static_cast<std::size_t>(frames));
  std::mt19937 generator(7);
  std::uniform_real_distribution<float> value(-30000.0f, 30000.0f);
  for (float& v : block) {
    v = value(generator);
  }
  // Each pass starts from the same samples: filtering the block again and
  // again would grow it without bound near the Nyquist frequency, where the
  // gain is 2 / (1 + R), just above 1. The 4 KiB copy is a few percent of the
  // time.
  const std::vector<float> input = block;
  auto filter = [&] {
    std::copy(input.begin(), input.end(), block.begin());
    IirFilterFloatInPlace(block.data(), frames, iir);
    benchmark::DoNotOptimize(block.data());
    benchmark::ClobberMemory();
  };
  state.counters["samples_per_ns"] = static_cast<double>(frames) / NanosecondsPerCall(filter);
  for (auto _ : state) {
    filter();
  }
  IirFreeState(iir);
}
BENCHMARK(BM_IirFilterOrder2)->Arg(1024);

// ---- Processor-specific variants of the conjugate extension, magnitude,
// conversions and IIR filter, each letter against the portable variant.
//
// <Primitive>Variant/letter:L/n:N, L = 1 (A), 2 (B), 3 (C), on N elements
// (complex elements, samples): counters portable_ns and variant_ns, the
// time per call of each in the same run (alternating batches), and ratio =
// variant / portable (below 1: the variant is faster). A letter the
// processor lacks is reported as skipped. The conversions run one packed
// row; the IIR filters a block of N samples per call from the same input
// (the copy is in both times), the state made by the letter's create.
// Targets at 65536: ratio at most 1; at most 0.5 for B and C of the
// conversions and C and A of the IIR at order 4.

PrimitiveVariant LetterOf(benchmark::State& state) {
  return static_cast<PrimitiveVariant>(state.range(0));
}

// False (and the benchmark skipped) when the processor lacks the letter.
bool LetterAvailable(benchmark::State& state) {
  if (!CpuSupportsVariant(LetterOf(state))) {
    state.SkipWithError("skipped: the processor lacks what this variant needs");
    return false;
  }
  return true;
}

// Times `portable` and `variant` (each a callable running one call) and
// reports both and their ratio; the iterations run the variant.
template <typename Portable, typename Variant>
void CompareToPortable(benchmark::State& state, Portable portable, Variant variant) {
  const auto [portableNs, variantNs] = NanosecondsPerCall(portable, variant);
  state.counters["portable_ns"] = portableNs;
  state.counters["variant_ns"] = variantNs;
  state.counters["ratio"] = variantNs / portableNs;
  for (auto _ : state) {
    variant();
  }
}

std::vector<double> RandomParts(std::int64_t n, double scale) {
  std::vector<double> x = RandomSamples(n);
  for (double& v : x) {
    v *= scale;
  }
  return x;
}

void BM_MagnitudeVariant(benchmark::State& state) {
  if (!LetterAvailable(state)) {
    return;
  }
  const auto n = static_cast<std::int32_t>(state.range(1));
  const std::vector<double> parts = RandomParts(2 * std::int64_t{n}, 1000.0);
  const auto* src = reinterpret_cast<const std::complex<double>*>(parts.data());
  std::vector<double> dst(static_cast<std::size_t>(n));
  auto* fn = VectorMagnitudeComplex.Variant(LetterOf(state));
  CompareToPortable(
      state,
      [&] {
        VectorMagnitudeComplexPortable(src, dst.data(), n);
        benchmark::ClobberMemory();
      },
      [&] {
        fn(src, dst.data(), n);
        benchmark::ClobberMemory();
      });
}
BENCHMARK(BM_MagnitudeVariant)->ArgsProduct({{1, 2, 3}, {1024, 65536}})->ArgNames({"letter", "n"});

void BM_ConjugateExtendVariant(benchmark::State& state) {
  if (!LetterAvailable(state)) {
    return;
  }
  const auto n = static_cast<std::int32_t>(state.range(1));
  std::vector<double> parts = RandomParts(2 * std::int64_t{n}, 1.0);
  auto* spectrum = reinterpret_cast<std::complex<double>*>(parts.data());
  auto* fn = VectorConjugateExtendComplexInPlace.Variant(LetterOf(state));
  CompareToPortable(
      state,
      [&] {
        VectorConjugateExtendComplexInPlacePortable(spectrum, n);
        benchmark::ClobberMemory();
      },
      [&] {
        fn(spectrum, n);
        benchmark::ClobberMemory();
      });
}
BENCHMARK(BM_ConjugateExtendVariant)
    ->ArgsProduct({{1, 2, 3}, {1024, 65536}})
    ->ArgNames({"letter", "n"});

std::vector<float> RandomFloats(std::int64_t n, float scale) {
  std::mt19937 generator(5);
  std::uniform_real_distribution<float> value(-scale, scale);
  std::vector<float> x(static_cast<std::size_t>(n));
  for (float& v : x) {
    v = value(generator);
  }
  return x;
}

void BM_ConvertInt16ToFloatVariant(benchmark::State& state) {
  if (!LetterAvailable(state)) {
    return;
  }
  const auto n = static_cast<std::int32_t>(state.range(1));
  std::vector<std::int16_t> src(static_cast<std::size_t>(n));
  std::mt19937 generator(3);
  for (std::int16_t& v : src) {
    v = static_cast<std::int16_t>(generator());
  }
  std::vector<float> dst(static_cast<std::size_t>(n));
  auto* fn = RoiConvertInt16ToFloat.Variant(LetterOf(state));
  CompareToPortable(
      state,
      [&] {
        RoiConvertInt16ToFloatPortable(src.data(), 2 * n, dst.data(), 4 * n, n, 1);
        benchmark::ClobberMemory();
      },
      [&] {
        fn(src.data(), 2 * n, dst.data(), 4 * n, n, 1);
        benchmark::ClobberMemory();
      });
}
BENCHMARK(BM_ConvertInt16ToFloatVariant)
    ->ArgsProduct({{1, 2, 3}, {1024, 65536}})
    ->ArgNames({"letter", "n"});

void BM_ConvertFloatToInt16Variant(benchmark::State& state) {
  if (!LetterAvailable(state)) {
    return;
  }
  const auto n = static_cast<std::int32_t>(state.range(1));
  const std::vector<float> src = RandomFloats(n, 40000.0f);
  std::vector<std::int16_t> dst(static_cast<std::size_t>(n));
  auto* fn = RoiConvertFloatToInt16.Variant(LetterOf(state));
  CompareToPortable(
      state,
      [&] {
        RoiConvertFloatToInt16Portable(src.data(), 4 * n, dst.data(), 2 * n, n, 1, 1);
        benchmark::ClobberMemory();
      },
      [&] {
        fn(src.data(), 4 * n, dst.data(), 2 * n, n, 1, 1);
        benchmark::ClobberMemory();
      });
}
BENCHMARK(BM_ConvertFloatToInt16Variant)
    ->ArgsProduct({{1, 2, 3}, {1024, 65536}})
    ->ArgNames({"letter", "n"});

void BM_ConvertFloatToInt8Variant(benchmark::State& state) {
  if (!LetterAvailable(state)) {
    return;
  }
  const auto n = static_cast<std::int32_t>(state.range(1));
  const std::vector<float> src = RandomFloats(n, 200.0f);
  std::vector<std::int8_t> dst(static_cast<std::size_t>(n));
  auto* fn = RoiConvertFloatToInt8.Variant(LetterOf(state));
  CompareToPortable(
      state,
      [&] {
        RoiConvertFloatToInt8Portable(src.data(), 4 * n, dst.data(), n, n, 1, 1);
        benchmark::ClobberMemory();
      },
      [&] {
        fn(src.data(), 4 * n, dst.data(), n, n, 1, 1);
        benchmark::ClobberMemory();
      });
}
BENCHMARK(BM_ConvertFloatToInt8Variant)
    ->ArgsProduct({{1, 2, 3}, {1024, 65536}})
    ->ArgNames({"letter", "n"});

// A stable filter of the order: b random, a0 = 2, feedback taps summing to
// less than 1 in magnitude.
std::vector<float> BenchIirTaps(std::int32_t order) {
  std::mt19937 generator(17);
  std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
  std::vector<float> taps(static_cast<std::size_t>(2 * (order + 1)));
  for (std::int32_t k = 0; k <= order; ++k) {
    taps[k] = unit(generator);
  }
  taps[order + 1] = 2.0f;
  for (std::int32_t k = 1; k <= order; ++k) {
    taps[order + 1 + k] = unit(generator) * 0.9f / static_cast<float>(order);
  }
  return taps;
}

// IirFilterVariant/letter/order/n: the letter's create and filter (B: B's
// create and the portable filter, which that code binds) against the
// portable pair.
void BM_IirFilterVariant(benchmark::State& state) {
  if (!LetterAvailable(state)) {
    return;
  }
  const PrimitiveVariant letter = LetterOf(state);
  const auto order = static_cast<std::int32_t>(state.range(1));
  const auto n = static_cast<std::int32_t>(state.range(2));
  const std::vector<float> taps = BenchIirTaps(order);
  auto* create = IirCreateState.Variant(letter);
  auto* filter = IirFilterFloatInPlace.Variant(letter);
  if (filter == nullptr) {
    filter = &IirFilterFloatInPlacePortable;
  }
  IirState* portableState = nullptr;
  IirState* variantState = nullptr;
  PrimitiveStatus status = IirCreateStatePortable(&portableState, taps.data(), order, nullptr);
  if (status == StatusOk)
    status = create(&variantState, taps.data(), order, nullptr);
  if (status != StatusOk) {
    state.SkipWithError(
        (std::string("IirCreateState failed: ") + PrimitiveStatusName(status)).c_str());
    return;
  }
  const std::vector<float> input = RandomFloats(n, 30000.0f);
  std::vector<float> block(input.size());
  auto run = [&](auto* fn, IirState* iir) {
    std::copy(input.begin(), input.end(), block.begin());
    fn(block.data(), n, iir);
    benchmark::ClobberMemory();
  };
  CompareToPortable(
      state, [&] { run(&IirFilterFloatInPlacePortable, portableState); },
      [&] { run(filter, variantState); });
  IirFreeStatePortable(portableState);
  IirFreeStatePortable(variantState);
}
BENCHMARK(BM_IirFilterVariant)
    ->ArgsProduct({{1, 2, 3}, {2, 4}, {1024, 65536}})
    ->ArgNames({"letter", "order", "n"});

// ---- Forward real FFT of every variant ----
//
// RealFftForwardVariants/<order>: the forward transform of each letter
// (portable, A, B, C; each with its own create, out of place, with a
// caller-supplied work buffer) and FFTW's real-to-complex transform
// (FFTW_MEASURE), all timed in the same run in alternating batches.
// Counters: <letter>_ns per transform, <letter>_vs_portable (time / the
// portable variant's) and <letter>_vs_fftw (time / FFTW's). Targets: B and C
// at most 1.5 times FFTW's time at orders 8 to 12 and no slower than the
// portable variant at order 16; A (x87 arithmetic) has none. A letter the
// processor lacks is named in the label as skipped. For the reading of a
// miss: fftw_nosimd_ns is FFTW's time without its SIMD codelets
// (FFTW_MEASURE | FFTW_NO_SIMD), the closest peer of two-lane SSE2 code,
// with <letter>_vs_fftw_nosimd beside it.

// One letter's transform of one order, through the letter's own slots.
class LetterTransform {
 public:
  LetterTransform(PrimitiveVariant letter, std::int32_t order, const std::vector<double>& x)
      : x_(x), out_(x.size() + 2) {
    auto* create = RealFftCreateSpec.Variant(letter);
    forward_ = RealFftForward.Variant(letter);
    free_ = RealFftFreeSpec.Variant(letter);
    if (create == nullptr || forward_ == nullptr || free_ == nullptr) {
      failure_ = "RealFftCreateSpec failed: the letter has no transform";
      return;
    }
    if (const PrimitiveStatus status = create(&spec_, order, kFftNoScale, 2); status != StatusOk) {
      spec_ = nullptr;
      failure_ = std::string("RealFftCreateSpec failed: ") + PrimitiveStatusName(status);
      return;
    }
    work_.resize(static_cast<std::size_t>(spec_->workBytes) + 16);
  }
  ~LetterTransform() {
    if (spec_ != nullptr) {
      free_(spec_);
    }
  }
  LetterTransform(const LetterTransform&) = delete;
  LetterTransform& operator=(const LetterTransform&) = delete;

  bool Made() const { return spec_ != nullptr; }
  const std::string& Failure() const { return failure_; }
  void operator()() {
    forward_(x_.data(), out_.data(), spec_, work_.data());
    benchmark::DoNotOptimize(out_.data());
    benchmark::ClobberMemory();
  }

 private:
  const std::vector<double>& x_;
  std::vector<double> out_;
  std::vector<std::uint8_t> work_;
  std::string failure_;
  RealFftSpec* spec_ = nullptr;
  decltype(&RealFftForwardPortable) forward_ = nullptr;
  decltype(&RealFftFreeSpecPortable) free_ = nullptr;
};

// Nanoseconds per call of each of `runs`, measured in alternating batches of
// about 2 ms, each one's best batch taken.
std::vector<double> NanosecondsPerCallOfEach(std::vector<std::function<void()>>& runs) {
  std::vector<std::int64_t> reps;
  for (auto& run : runs) {
    reps.push_back(RepsPerBatch(run));
  }
  std::vector<double> best(runs.size(), 1e300);
  for (int batch = 0; batch < 40; ++batch) {
    for (std::size_t i = 0; i < runs.size(); ++i) {
      best[i] = std::min(best[i], TimeBatch(runs[i], reps[i]) / static_cast<double>(reps[i]));
    }
  }
  return best;
}

void BM_RealFftForwardVariants(benchmark::State& state) {
  const auto order = static_cast<std::int32_t>(state.range(0));
  const std::int64_t n = std::int64_t{1} << order;
  const std::vector<double> x = RandomSamples(n);
  const std::pair<PrimitiveVariant, const char*> letters[] = {
      {PrimitiveVariant::Portable, "portable"},
      {PrimitiveVariant::A, "A"},
      {PrimitiveVariant::B, "B"},
      {PrimitiveVariant::C, "C"}};
  std::vector<std::unique_ptr<LetterTransform>> transforms;
  std::vector<std::string> names;
  std::vector<std::function<void()>> runs;
  std::string skipped;
  for (const auto& [letter, name] : letters) {
    if (!CpuSupportsVariant(letter)) {
      skipped += std::string(skipped.empty() ? "skipped:" : "") + " " + name;
      continue;
    }
    auto transform = std::make_unique<LetterTransform>(letter, order, x);
    if (!transform->Made()) {
      state.SkipWithError(transform->Failure().c_str());
      return;
    }
    LetterTransform* run = transform.get();
    runs.emplace_back([run] { (*run)(); });
    names.emplace_back(name);
    transforms.push_back(std::move(transform));
  }
  const std::size_t letterCount = runs.size();

#if defined(KESTRUNE_HAVE_FFTW3)
  double* fftwIn = fftw_alloc_real(static_cast<std::size_t>(n));
  fftw_complex* fftwOut = fftw_alloc_complex(static_cast<std::size_t>(n / 2 + 1));
  fftw_plan plan = fftw_plan_dft_r2c_1d(static_cast<int>(n), fftwIn, fftwOut, FFTW_MEASURE);
  std::copy(x.begin(), x.end(), fftwIn);  // planning overwrote the input
  runs.emplace_back([&] {
    fftw_execute(plan);
    benchmark::DoNotOptimize(fftwOut);
    benchmark::ClobberMemory();
  });
  double* plainIn = fftw_alloc_real(static_cast<std::size_t>(n));
  fftw_complex* plainOut = fftw_alloc_complex(static_cast<std::size_t>(n / 2 + 1));
  fftw_plan plainPlan =
      fftw_plan_dft_r2c_1d(static_cast<int>(n), plainIn, plainOut, FFTW_MEASURE | FFTW_NO_SIMD);
  std::copy(x.begin(), x.end(), plainIn);
  runs.emplace_back([&] {
    fftw_execute(plainPlan);
    benchmark::DoNotOptimize(plainOut);
    benchmark::ClobberMemory();
  });
#endif

  const std::vector<double> ns = NanosecondsPerCallOfEach(runs);
  for (std::size_t i = 0; i < letterCount; ++i) {
    state.counters[names[i] + "_ns"] = ns[i];
    if (i > 0) {
      state.counters[names[i] + "_vs_portable"] = ns[i] / ns[0];
    }
#if defined(KESTRUNE_HAVE_FFTW3)
    state.counters[names[i] + "_vs_fftw"] = ns[i] / ns[letterCount];
    state.counters[names[i] + "_vs_fftw_nosimd"] = ns[i] / ns[letterCount + 1];
#endif
  }
#if defined(KESTRUNE_HAVE_FFTW3)
  state.counters["fftw_ns"] = ns[letterCount];
  state.counters["fftw_nosimd_ns"] = ns[letterCount + 1];
  fftw_destroy_plan(plainPlan);
  fftw_free(plainOut);
  fftw_free(plainIn);
  fftw_destroy_plan(plan);
  fftw_free(fftwOut);
  fftw_free(fftwIn);
#endif
  if (!skipped.empty()) {
    state.SetLabel(skipped);
  }
  for (auto _ : state) {
    runs[letterCount - 1]();
  }
}
BENCHMARK(BM_RealFftForwardVariants)
    ->DenseRange(8, 12)
    ->Arg(16)
    ->Unit(benchmark::kNanosecond)
    ->Iterations(1);

}  // namespace
