// Pooled copy-on-write buffers against plain allocation: acquire, share,
// copy on write and release of a 4096-sample real buffer, against new/delete
// of the same size and against std::vector.
//
// Memory figures, per iteration at steady state (after one warm-up cycle):
//   store_blocks  blocks (sample memory and block headers) the smart block
//                 store had to take from the heap; the target is 0
//   heap_news     allocations from the general heap (operator new); the
//                 buffer objects come from their free lists, so 0 too
//
// The count comes from the counting operator new of tests/harness/CountingHeap.cpp,
// linked into the whole benchmark program.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "bench/BenchSupport.h"
#include "signal/core/TrelSimpleDataBuffer.h"

namespace {

constexpr std::int32_t kSamples = 4096;

using bench_support::MeterWarmCycle;
using bench_support::StoreSession;

// ---- Pooled buffers -----------------------------------------------------

void AcquireRelease() {
  IPtr<ITrelRealBuffer> buffer = TTrelRealBuffer::CreateCount(kSamples);
  benchmark::DoNotOptimize(buffer->GetData());
}

void BM_Buffer_AcquireRelease(benchmark::State& state) {
  StoreSession store;
  MeterWarmCycle(state, [] { AcquireRelease(); });
}
BENCHMARK(BM_Buffer_AcquireRelease);

void BM_Buffer_Share(benchmark::State& state) {
  StoreSession store;
  IPtr<ITrelRealBuffer> source = TTrelRealBuffer::CreateCount(kSamples);
  MeterWarmCycle(state, [&] {
    IPtr<ITrelRealBuffer> view = TTrelRealBuffer::CreateShared(source.get());
    benchmark::DoNotOptimize(view->GetData());
  });
}
BENCHMARK(BM_Buffer_Share);

void CopyOnWrite(ITrelRealBuffer* source) {
  IPtr<ITrelRealBuffer> view = TTrelRealBuffer::CreateShared(source);
  double* samples = view->GetWriteData();  // copies the 32 KiB block
  samples[0] = 1.0;
  benchmark::DoNotOptimize(samples);
}

void BM_Buffer_CopyOnWrite(benchmark::State& state) {
  StoreSession store;
  IPtr<ITrelRealBuffer> source = TTrelRealBuffer::CreateCount(kSamples);
  source->Zero();
  MeterWarmCycle(state, [&] { CopyOnWrite(source.get()); });
}
BENCHMARK(BM_Buffer_CopyOnWrite);

// What one audio block costs a producer and one consumer that changes it:
// acquire, fill, share, write (copy), release both.
void FullCycle() {
  IPtr<ITrelRealBuffer> produced = TTrelRealBuffer::CreateCount(kSamples);
  produced->Fill(0.5);
  IPtr<ITrelRealBuffer> consumed = TTrelRealBuffer::CreateShared(produced.get());
  consumed->SetValue(0, 1.0);
  benchmark::DoNotOptimize(consumed->GetData());
}

void BM_Buffer_FullCycle(benchmark::State& state) {
  StoreSession store;
  MeterWarmCycle(state, [] { FullCycle(); });
}
BENCHMARK(BM_Buffer_FullCycle);

// ---- Peers --------------------------------------------------------------
// The same cycles on plain heap blocks, metered the same way.

void BM_NewDelete_AcquireRelease(benchmark::State& state) {
  MeterWarmCycle(state, [] {
    double* samples = new double[kSamples];
    benchmark::DoNotOptimize(samples);
    delete[] samples;
  });
}
BENCHMARK(BM_NewDelete_AcquireRelease);

void BM_NewDelete_Copy(benchmark::State& state) {
  const std::vector<double> source(kSamples, 0.0);
  MeterWarmCycle(state, [&] {
    double* copy = new double[kSamples];
    std::copy(source.begin(), source.end(), copy);
    copy[0] = 1.0;
    benchmark::DoNotOptimize(copy);
    delete[] copy;
  });
}
BENCHMARK(BM_NewDelete_Copy);

void BM_Vector_AcquireRelease(benchmark::State& state) {
  MeterWarmCycle(state, [] {
    std::vector<double> samples(kSamples);  // value-initialised, unlike the others
    benchmark::DoNotOptimize(samples.data());
  });
}
BENCHMARK(BM_Vector_AcquireRelease);

void BM_Vector_Copy(benchmark::State& state) {
  const std::vector<double> source(kSamples, 0.0);
  MeterWarmCycle(state, [&] {
    std::vector<double> copy = source;
    copy[0] = 1.0;
    benchmark::DoNotOptimize(copy.data());
  });
}
BENCHMARK(BM_Vector_Copy);

void BM_Vector_FullCycle(benchmark::State& state) {
  MeterWarmCycle(state, [] {
    std::vector<double> produced(kSamples, 0.5);
    std::vector<double> consumed = produced;
    consumed[0] = 1.0;
    benchmark::DoNotOptimize(consumed.data());
  });
}
BENCHMARK(BM_Vector_FullCycle);

}  // namespace
