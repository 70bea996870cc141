// The push of one audio buffer through the DC remover, the amplifier and the
// peak-programme meter, each alone and chained as on the main window (DC
// remover, then amplifier, then a downstream audio sink; the meter straight
// on the source, delivering on the pushing thread): a 1024-frame stereo
// 16-bit buffer at 44.1 kHz, made before the loop and pushed by an audio
// source pin under the global read lock, as the capture thread does.
//
// Figures, per pushed buffer at steady state (after the warm-up pushes):
//   x_realtime     seconds of 44.1 kHz stereo audio processed per second
//   heap_news      allocations from the general heap
//   store_blocks   blocks the smart block store had to take from the heap
// The count comes from the counting operator new of tests/harness/CountingHeap.cpp,
// linked into the whole benchmark program.
#include <benchmark/benchmark.h>

#include "bench/BenchSupport.h"

#include <cstdint>

#include "audio/MoskAudioBuffer.h"
#include "audio/MoskFilters.h"
#include "audio/MoskMeters.h"
#include "signal/core/TrelSimpleDataBuffer.h"
#include "signal/core/TrelSmartBufferManager.h"

namespace {

constexpr std::int32_t kFrames = 1024;
constexpr double kRate = 44100.0;

using bench_support::StoreSession;

// Reads one sample of every buffer that arrives.
class TSink {
 public:
  bool OnAudio(IVekBasicPin*, const TGUID&, std::uint8_t, IVekNotifyOperation* op) {
    if (auto* supplied = OperationAs<TVekSuppliedBufferOperation>(op)) {
      IPtr<IMoskAudioBuffer> b = Supports<IMoskAudioBuffer>(supplied->Buffer);
      Sum += b->GetSample(0, 0);
      ++Received;
    }
    return true;
  }
  std::int64_t Sum = 0;
  std::int64_t Received = 0;
};

enum class Graph { RemoveDC, Amplifier, RemoveDCThenAmplifier, PPMMeter };

void PushThrough(benchmark::State& state, Graph graph) {
  bench_support::StartStreamUnits();
  StoreSession store;
  TSink sink;
  auto* root = Create<TComponent>(nullptr);
  auto* source = Create<TMoskVekAudioSourcePin>(root);
  auto* downstream = Create<TMoskVekAudioSinkPin>(root, TVekNotifyHandler(&sink, &TSink::OnAudio));
  TMoskPPMMeter* meter = nullptr;
  if (graph == Graph::PPMMeter) {
    meter = Create<TMoskPPMMeter>(root);
    meter->SetSynchronizeType(stNone);
    meter->GetInputPin()->Connect(source);
  } else {
    TMoskCommonFilter* first = nullptr;
    TMoskCommonFilter* last = nullptr;
    if (graph != Graph::Amplifier)
      first = last = Create<TMoskRemoveDC>(root);
    if (graph != Graph::RemoveDC) {
      auto* amp = Create<TMoskAmplifier>(root);
      amp->SetCoefficient(1.5);
      if (last != nullptr)
        amp->GetInputPin()->Connect(last->GetOutputPin());
      else
        first = amp;
      last = amp;
    }
    first->GetInputPin()->Connect(source);
    downstream->Connect(last->GetOutputPin());
  }

  IPtr<IMoskAudioBuffer> buffer = bench_support::MakeStereoTestBuffer(kFrames);
  bench_support::PushAudioBuffers(state, source, buffer.get(), kRate);
  if (meter == nullptr && sink.Received == 0)
    state.SkipWithError("the sink got nothing");
  downstream->Free();
  source->Free();
  root->Free();
}

void BM_MoskRemoveDC_Push(benchmark::State& state) {
  PushThrough(state, Graph::RemoveDC);
}
BENCHMARK(BM_MoskRemoveDC_Push);

void BM_MoskAmplifier_Push(benchmark::State& state) {
  PushThrough(state, Graph::Amplifier);
}
BENCHMARK(BM_MoskAmplifier_Push);

void BM_MoskRemoveDCThenAmplifier_Push(benchmark::State& state) {
  PushThrough(state, Graph::RemoveDCThenAmplifier);
}
BENCHMARK(BM_MoskRemoveDCThenAmplifier_Push);

void BM_MoskPPMMeter_Push(benchmark::State& state) {
  PushThrough(state, Graph::PPMMeter);
}
BENCHMARK(BM_MoskPPMMeter_Push);

}  // namespace
