// The push of one audio buffer through the spectrum component (Order 8,
// windows back to back) to two real sinks (the converter's push is in
// AudioGraph_bench.cpp): a 1024-frame stereo 16-bit buffer at 44.1 kHz,
// made before the loop and pushed by an audio source pin under the global
// read lock, as the capture thread does.
//
// Figures, per pushed buffer at steady state (after the warm-up pushes):
//   x_realtime     seconds of 44.1 kHz stereo audio processed per second
//   heap_news      allocations from the general heap (operations and
//                  buffer objects)
//   store_blocks   blocks the smart block store had to take from the heap;
//                  the target is 0
// The count comes from the counting operator new of tests/harness/CountingHeap.cpp,
// linked into the whole benchmark program.
#include <benchmark/benchmark.h>

#include "bench/BenchSupport.h"

#include <cstdint>
#include <cstring>

#include "audio/MoskAudioBuffer.h"
#include "audio/MoskChannelSplitter.h"
#include "audio/MoskSpectrum.h"
#include "signal/core/TrelSimpleDataBuffer.h"

namespace {

constexpr std::int32_t kFrames = 1024;
constexpr double kRate = 44100.0;

using bench_support::StoreSession;

// Two real sinks that read the first value of every buffer.
using TSinks = bench_support::TRealReceiver;

template <class Component>
void PushThrough(benchmark::State& state) {
  bench_support::StartStreamUnits();
  StoreSession store;
  TSinks sinks;
  auto* root = Create<TComponent>(nullptr);
  auto* source = Create<TMoskVekAudioSourcePin>(root);
  auto* component = Create<Component>(root);
  TTrelVekRealSinkPin* pins[2];
  for (int c = 0; c < 2; ++c) {
    pins[c] = Create<TTrelVekRealSinkPin>(root, TVekNotifyHandler(&sinks, &TSinks::OnReal));
    pins[c]->Connect(component->GetOutputPins()->GetPin(c));
  }
  component->GetInputPin()->Connect(source);

  IPtr<IMoskAudioBuffer> buffer = bench_support::MakeStereoTestBuffer(kFrames);
  bench_support::PushAudioBuffers(state, source, buffer.get(), kRate);
  if (sinks.Received == 0)
    state.SkipWithError("the sinks got nothing");
  // The pins first, while their owner lives; the component goes with it.
  for (TTrelVekRealSinkPin* pin : pins)
    pin->Free();
  source->Free();
  root->Free();
}

void BM_MoskSpectrum_Order8PushToTwoSinks(benchmark::State& state) {
  PushThrough<TMoskSpectrum>(state);
}
BENCHMARK(BM_MoskSpectrum_Order8PushToTwoSinks);

}  // namespace
