// The main window's whole processing graph on one core: pre-made audio
// buffers of 1024 stereo 16-bit frames at 44.1 kHz pushed by an audio source
// pin (standing in for MoskAudioIn1's output) under the global read lock, as
// the capture thread does, into
//   source -> PPM meter (stNone: levels delivered on the pushing thread)
//   source -> DC remover -> amplifier (Coefficient 1) -> spectrum component
//                                                     -> audio-to-real converter
// with two real sinks (the scope's channels) linked to the converter's
// outputs (oscilloscope mode) or to the spectrum component's (spectrum mode,
// Order 8, windows back to back). The device read and the wave thread's
// hand-over are left out: they copy each block once and do no processing.
//
// Figures, per pushed buffer at steady state (after one warm-up push):
//   x_realtime    seconds of 44.1 kHz stereo audio processed per second
//                 (the target is 1000)
//   heap_news     allocations from the general heap
//   store_blocks  blocks the smart block store had to take from the heap
// The count comes from the counting operator new that Buffers_bench.cpp
// installs for the whole benchmark program.
#include <benchmark/benchmark.h>

#include "bench/BenchSupport.h"

#include <cmath>
#include <cstdint>
#include <numbers>

#include "audio/MoskAudioBuffer.h"
#include "audio/MoskChannelSplitter.h"
#include "audio/MoskFilters.h"
#include "audio/MoskMeters.h"
#include "audio/MoskSpectrum.h"
#include "signal/core/TrelSimpleDataBuffer.h"
#include "signal/core/TrelSmartBufferManager.h"

namespace {

constexpr std::int32_t kFrames = 1024;
constexpr double kRate = 44100.0;

using bench_support::StoreSession;

// Two real sinks that read the first value of every buffer.
using TSinks = bench_support::TRealReceiver;

// A 1 kHz tone on channel 0, a 3 kHz tone on a DC offset on channel 1.
IPtr<IMoskAudioBuffer> TwoTones() {
  IPtr<IMoskAudioBuffer> buffer = TMoskAudioBuffer::Create(44100, 3, kFrames, 2, 16);
  auto* samples = reinterpret_cast<std::int16_t*>(buffer->GetReadData());
  for (std::int32_t f = 0; f < kFrames; ++f) {
    const double t = 2.0 * std::numbers::pi * f / kRate;
    samples[2 * f] = static_cast<std::int16_t>(std::lround(8000.0 * std::sin(1000.0 * t)));
    samples[2 * f + 1] =
        static_cast<std::int16_t>(std::lround(2000.0 + 6000.0 * std::sin(3000.0 * t)));
  }
  return buffer;
}

enum class Scope { Converter, Spectrum, ConverterAlone };

void PushThrough(benchmark::State& state, Scope scope) {
  bench_support::StartStreamUnits();
  StoreSession store;
  TSinks sinks;
  auto* root = Create<TComponent>(nullptr);
  auto* source = Create<TMoskVekAudioSourcePin>(root);
  auto* to_real = Create<TMoskAudioToReal>(root);
  TMoskCommonSplitter* linked = to_real;
  if (scope == Scope::ConverterAlone) {
    to_real->GetInputPin()->Connect(source);
  } else {
    auto* meter = Create<TMoskPPMMeter>(root);
    meter->SetSynchronizeType(stNone);
    auto* remove_dc = Create<TMoskRemoveDC>(root);
    auto* amplifier = Create<TMoskAmplifier>(root);
    amplifier->SetCoefficient(1.0);
    auto* spectrum = Create<TMoskSpectrum>(root);
    meter->GetInputPin()->Connect(source);
    remove_dc->GetInputPin()->Connect(source);
    amplifier->GetInputPin()->Connect(remove_dc->GetOutputPin());
    spectrum->GetInputPin()->Connect(amplifier->GetOutputPin());
    to_real->GetInputPin()->Connect(amplifier->GetOutputPin());
    if (scope == Scope::Spectrum)
      linked = spectrum;
  }
  TTrelVekRealSinkPin* pins[2];
  for (int c = 0; c < 2; ++c) {
    pins[c] = Create<TTrelVekRealSinkPin>(root, TVekNotifyHandler(&sinks, &TSinks::OnReal));
    pins[c]->Connect(linked->GetOutputPins()->GetPin(c));
  }

  IPtr<IMoskAudioBuffer> buffer = TwoTones();
  bench_support::PushAudioBuffers(state, source, buffer.get(), kRate);
  if (sinks.Received == 0)
    state.SkipWithError("the sinks got nothing");
  // The pins first, while their owner lives; the components go with it.
  for (TTrelVekRealSinkPin* pin : pins)
    pin->Free();
  source->Free();
  root->Free();
}

void BM_AudioGraph_OscilloscopeMode(benchmark::State& state) {
  PushThrough(state, Scope::Converter);
}
BENCHMARK(BM_AudioGraph_OscilloscopeMode);

void BM_AudioGraph_SpectrumMode(benchmark::State& state) {
  PushThrough(state, Scope::Spectrum);
}
BENCHMARK(BM_AudioGraph_SpectrumMode);

void BM_AudioGraph_ConverterPushToTwoSinks(benchmark::State& state) {
  PushThrough(state, Scope::ConverterAlone);
}
BENCHMARK(BM_AudioGraph_ConverterPushToTwoSinks);

}  // namespace
