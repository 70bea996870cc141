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
// Figures, per pushed buffer at steady state (after the warm-up pushes):
//   x_realtime    seconds of 44.1 kHz stereo audio processed per second
//                 (the target is 1000)
//   heap_news     allocations from the general heap (the target is 0)
//   store_blocks  blocks the smart block store had to take from the heap
// The count comes from the counting operator new of tests/harness/CountingHeap.cpp,
// linked into the whole benchmark program.
//
// The ScriptedDevice benchmarks run the same graph behind the capture
// component itself, fed by a scripted device that delivers as fast as it is
// read: device reading thread, wave thread hand-over and the graph on the
// wave thread. A device with no queued block loses input, so what is
// measured is how fast the capture thread takes blocks and pushes them
// through; x_realtime counts the audio that reached the sinks, timed from
// the first block that arrived to the last. x_realtime_cpu counts the same
// audio per second of the wave thread's own CPU time (wave_cpu_us per
// block), which the load of a shared machine changes much less; heap_news
// counts the allocations of every thread between the two arrivals.
#include <benchmark/benchmark.h>

#include "bench/BenchSupport.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <ctime>
#include <memory>
#include <thread>
#include <vector>

#include "audio/MoskAudioBuffer.h"
#include "audio/MoskAudioIn.h"
#include "audio/MoskAudioUnit.h"
#include "audio/MoskChannelSplitter.h"
#include "platform/classes/ClassesUnit.h"
#include "platform/classes/MainLoop.h"
#include "platform/win/ScriptedWaveIn.h"
#include "signal/core/TrelMainThreadNotify.h"
#include "signal/core/TrelSimpleDataBuffer.h"
#include "signal/core/TrelSmartBufferManager.h"
#include "tests/fixtures/MainWindowGraph.h"
#include "tests/fixtures/TwoTones.h"

namespace {

constexpr std::int32_t kFrames = 1024;
constexpr double kRate = 44100.0;

using bench_support::StoreSession;

// Two real sinks that read the first value of every buffer.
using TSinks = bench_support::TRealReceiver;

// A 1 kHz tone on channel 0, a 3 kHz tone on a DC offset on channel 1.
const fixtures::TwoTones kTones{{1000.0, 3000.0}, kRate};

// One block of the tones, from frame 0.
IPtr<IMoskAudioBuffer> TwoTones() {
  IPtr<IMoskAudioBuffer> buffer = TMoskAudioBuffer::Create(44100, 3, kFrames, 2, 16);
  kTones.Fill(0, kFrames, 2, reinterpret_cast<std::int16_t*>(buffer->GetReadData()));
  return buffer;
}

enum class Scope { Converter, Spectrum, ConverterAlone };

void PushThrough(benchmark::State& state, Scope scope) {
  bench_support::StartStreamUnits();
  StoreSession store;
  TSinks sinks;
  auto* root = Create<TComponent>(nullptr);
  auto* source = Create<TMoskVekAudioSourcePin>(root);
  TMoskCommonSplitter* linked = nullptr;
  if (scope == Scope::ConverterAlone) {
    auto* to_real = Create<TMoskAudioToReal>(root);
    to_real->GetInputPin()->Connect(source);
    linked = to_real;
  } else {
    const fixtures::MainWindowGraph graph = fixtures::BuildMainWindowGraph(root, source);
    graph.ppm->SetSynchronizeType(stNone);
    linked = scope == Scope::Spectrum ? static_cast<TMoskCommonSplitter*>(graph.spectrum)
                                      : static_cast<TMoskCommonSplitter*>(graph.toReal);
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

// The CPU time the calling thread has used, in seconds.
double ThreadCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

// Counts the real buffers reaching channel 0 of the scope stand-in, from the
// capture thread, and notes when the first and the last counted one came,
// with the wave thread's CPU time and the heap allocations of the whole
// program at both.
class TArrivalClock {
 public:
  using Clock = std::chrono::steady_clock;
  bool OnReal(IVekBasicPin* target, const TGUID&, std::uint8_t, IVekNotifyOperation* op) {
    if (target->GetPin() != first_pin_ || OperationAs<TVekSuppliedBufferOperation>(op) == nullptr)
      return true;
    const std::int64_t n = received_.load(std::memory_order_relaxed) + 1;
    if (n == 1 || n == last_counted_) {
      Mark& mark = n == 1 ? first_ : last_;
      mark.news = kestrune::test_support::HeapAllocationCount();
      mark.cpu = ThreadCpuSeconds();
      mark.at = Clock::now();
    }
    received_.store(n, std::memory_order_release);
    return true;
  }
  void Watch(IVekBasicPin* pin) { first_pin_ = pin->GetPin(); }
  // Counts anew; the last mark is taken at the `lastCounted`th arrival.
  void Reset(std::int64_t lastCounted) {
    last_counted_ = lastCounted;
    received_.store(0, std::memory_order_relaxed);
  }
  std::int64_t Received() const { return received_.load(std::memory_order_acquire); }
  double Seconds() const { return std::chrono::duration<double>(last_.at - first_.at).count(); }
  double CpuSeconds() const { return last_.cpu - first_.cpu; }
  std::uint64_t News() const { return last_.news - first_.news; }

 private:
  struct Mark {
    Clock::time_point at;
    double cpu = 0;
    std::uint64_t news = 0;
  };
  TVekBasicPin* first_pin_ = nullptr;
  std::int64_t last_counted_ = 0;
  std::atomic<std::int64_t> received_{0};
  Mark first_;
  Mark last_;
};

// One iteration captures until the scope stand-in has `kBlocks` blocks of
// 1024 frames per channel (about 24 s of audio), serving the main loop,
// after one untimed run that fills the block store.
void CaptureThrough(benchmark::State& state, Scope scope) {
  constexpr std::int64_t kBlocks = 1024;
  bench_support::StartStreamUnits();
  ClassesUnit.Initialize();
  MoskAudioUnit.Initialize();
  TrelMainThreadNotifyUnit.Initialize();
  kestrune::MainLoop loop;
  StoreSession store;
  const kestrune::ScriptedDeviceScript device = fixtures::TwoTonesDevice(
      kTones, {.paced = false, .loopedFrames = kFrames, .framesPerRead = kFrames});
  auto backend = std::make_shared<kestrune::ScriptedWaveInBackend>(
      std::vector<kestrune::ScriptedDeviceScript>{device});
  kestrune::SetWaveInBackend(backend);

  TArrivalClock clock;
  auto* root = Create<TComponent>(nullptr);
  auto* audio_in = fixtures::MakeMainWindowCapture(root, "Two tones",
                                                   static_cast<std::uint32_t>(kRate), kFrames);
  const fixtures::MainWindowGraph graph =
      fixtures::BuildMainWindowGraph(root, audio_in->GetOutputPin());
  graph.ppm->SetSynchronizeType(stNone);
  TMoskCommonSplitter* linked = scope == Scope::Spectrum
                                    ? static_cast<TMoskCommonSplitter*>(graph.spectrum)
                                    : static_cast<TMoskCommonSplitter*>(graph.toReal);
  // A spectrum block of 1024 frames makes four windows of 256.
  const std::int64_t perBlock = scope == Scope::Spectrum ? 4 : 1;
  TTrelVekRealSinkPin* pins[2];
  for (int c = 0; c < 2; ++c) {
    pins[c] = Create<TTrelVekRealSinkPin>(root, TVekNotifyHandler(&clock, &TArrivalClock::OnReal));
    pins[c]->Connect(linked->GetOutputPins()->GetPin(c));
  }
  clock.Watch(pins[0]);

  // Captures until `blocks` blocks have arrived (or a minute has passed);
  // the number of spectra or converted blocks that arrived.
  auto capture = [&](std::int64_t blocks) {
    clock.Reset(blocks * perBlock);
    audio_in->SetEnabled(true);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (clock.Received() < blocks * perBlock && std::chrono::steady_clock::now() < deadline) {
      loop.ProcessMessages();
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    audio_in->SetEnabled(false);
    loop.ProcessMessages();
    return clock.Received();
  };
  // Untimed: the block store and the free lists get their blocks.
  capture(kBlocks / 4);

  double seconds = 0;
  double cpu = 0;
  double audio = 0;
  double blocks = 0;
  double news = 0;
  for (auto _ : state) {
    const std::int64_t got = capture(kBlocks);
    if (got < kBlocks * perBlock) {
      state.SkipWithError("the scope stand-in did not get every block in time");
      break;
    }
    state.SetIterationTime(clock.Seconds());
    seconds += clock.Seconds();
    cpu += clock.CpuSeconds();
    // From the first counted arrival to the last: kBlocks - 1 blocks.
    blocks += static_cast<double>(kBlocks - 1);
    audio += static_cast<double>(kBlocks - 1) * kFrames / kRate;
    news += static_cast<double>(clock.News());
  }
  if (seconds > 0 && blocks > 0) {
    state.counters["x_realtime"] = audio / seconds;
    // The wave thread's own CPU time per block of audio: what the machine's
    // load does not change much.
    state.counters["x_realtime_cpu"] = audio / cpu;
    state.counters["wave_cpu_us"] = 1e6 * cpu / blocks;
    state.counters["heap_news"] = news / blocks;
  }
  for (TTrelVekRealSinkPin* pin : pins)
    pin->Free();
  root->Free();
  loop.ProcessMessages();
  kestrune::SetWaveInBackend(nullptr);
}

void BM_AudioGraph_ScriptedDeviceOscilloscopeMode(benchmark::State& state) {
  CaptureThrough(state, Scope::Converter);
}
BENCHMARK(BM_AudioGraph_ScriptedDeviceOscilloscopeMode)
    ->UseManualTime()
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);

void BM_AudioGraph_ScriptedDeviceSpectrumMode(benchmark::State& state) {
  CaptureThrough(state, Scope::Spectrum);
}
BENCHMARK(BM_AudioGraph_ScriptedDeviceSpectrumMode)
    ->UseManualTime()
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);

}  // namespace
