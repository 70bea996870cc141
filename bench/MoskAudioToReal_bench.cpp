// The push of one audio buffer through the audio-to-real converter to two
// real sinks, and through the spectrum component (Order 8, windows back to
// back) to two real sinks: a 1024-frame stereo 16-bit buffer at 44.1 kHz,
// made before the loop and pushed by an audio source pin under the global
// read lock, as the capture thread does.
//
// Figures, per pushed buffer at steady state (after one warm-up push):
//   audio_s_per_s  seconds of 44.1 kHz stereo audio processed per second
//   heap_news      allocations from the general heap (operations and
//                  buffer objects)
//   store_blocks   blocks the smart block store had to take from the heap;
//                  the target is 0
// The count comes from the counting operator new that Buffers_bench.cpp
// installs for the whole benchmark program.
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
class TSinks {
 public:
  bool OnReal(IVekBasicPin*, const TGUID&, std::uint8_t, IVekNotifyOperation* op) {
    if (auto* supplied = OperationAs<TVekSuppliedBufferOperation>(op)) {
      IPtr<ITrelRealBuffer> samples = Supports<ITrelRealBuffer>(supplied->Buffer);
      Sum += samples->GetData()[0];
      ++Received;
    }
    return true;
  }
  double Sum = 0;
  std::int64_t Received = 0;
};

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

  IPtr<IMoskAudioBuffer> buffer = TMoskAudioBuffer::Create(44100, 3, kFrames, 2, 16);
  auto* samples = reinterpret_cast<std::int16_t*>(buffer->GetReadData());
  for (std::int32_t i = 0; i < kFrames * 2; ++i)
    samples[i] = static_cast<std::int16_t>((i * 7919) % 20000 - 10000);
  const WAVEFORMATEXTENSIBLE format =
      *static_cast<TMoskAudioBuffer*>(buffer->GetBufferObject())->AudioBlock()->Header();
  {
    IPtr<IVekNotifyOperation> start =
        NewOperation<TVekStartWaveOperation>(&format, static_cast<float>(kRate));
    TVekGlobalReadLockSection capture;
    source->Notify(start.get());
    source->SendData(buffer.get());  // warm-up: the free lists get their blocks
  }
  const bench_support::AllocationMeter meter;
  for (auto _ : state) {
    TVekGlobalReadLockSection capture;
    source->SendData(buffer.get());
  }
  const double pushes = static_cast<double>(state.iterations());
  meter.Report(state);
  state.counters["audio_s_per_s"] =
      benchmark::Counter(pushes * kFrames / kRate, benchmark::Counter::kIsRate);
  if (sinks.Received == 0)
    state.SkipWithError("the sinks got nothing");
  state.SetItemsProcessed(state.iterations());
  // The pins first, while their owner lives; the component goes with it.
  for (TTrelVekRealSinkPin* pin : pins)
    pin->Free();
  source->Free();
  root->Free();
}

void BM_MoskAudioToReal_PushToTwoSinks(benchmark::State& state) {
  PushThrough<TMoskAudioToReal>(state);
}
BENCHMARK(BM_MoskAudioToReal_PushToTwoSinks);

void BM_MoskSpectrum_Order8PushToTwoSinks(benchmark::State& state) {
  PushThrough<TMoskSpectrum>(state);
}
BENCHMARK(BM_MoskSpectrum_Order8PushToTwoSinks);

}  // namespace
