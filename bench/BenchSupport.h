// Scaffolding shared by the benchmarks of the pins, buffers and audio
// components.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>

#include "Vek/VekPins.h"
#include "Vek/VekStdTypes.h"
#include "audio/MoskAudioBuffer.h"
#include "signal/core/MoskStreamTypes.h"
#include "signal/core/TrelSimpleDataBuffer.h"
#include "signal/core/TrelSmartBufferManager.h"
#include "signal/core/TrelStreamTypes.h"

#include "tests/harness/CountingHeap.h"

namespace bench_support {

// Starts the units the stream pins need; the units count their starts, so
// every benchmark may call this.
inline void StartStreamUnits() {
  VekPinsUnit.Initialize();
  VekStdTypesUnit.Initialize();
  TrelStreamTypesUnit.Initialize();
  MoskStreamTypesUnit.Initialize();
}

// The block store for the length of one benchmark.
class StoreSession {
 public:
  StoreSession() { TrelSimpleDataBufferUnit.Initialize(); }
  ~StoreSession() { TrelSimpleDataBufferUnit.Finalize(); }
  StoreSession(const StoreSession&) = delete;
  StoreSession& operator=(const StoreSession&) = delete;
};

// Counts, from its construction to Report, the general-heap allocations and
// (while the store runs) the blocks the store took from the heap, per
// iteration.
class AllocationMeter {
 public:
  AllocationMeter()
      : news_(kestrune::test_support::HeapAllocationCount()),
        blocks_(SmartBufferManager() ? SmartBufferManager()->HeapAllocationCount() : 0) {}
  void Report(benchmark::State& state) const {
    const double iterations = static_cast<double>(state.iterations());
    state.counters["heap_news"] =
        static_cast<double>(kestrune::test_support::HeapAllocationCount() - news_) / iterations;
    if (SmartBufferManager() != nullptr) {
      state.counters["store_blocks"] =
          static_cast<double>(SmartBufferManager()->HeapAllocationCount() - blocks_) / iterations;
    }
  }

 private:
  std::uint64_t news_;
  std::uint64_t blocks_;
};

// Runs `cycle` `warmUps` times to give the free lists their blocks, then
// once per iteration, and reports what the iterations allocated.
template <typename Cycle>
void MeterWarmCycle(benchmark::State& state, Cycle cycle, int warmUps = 1) {
  for (int i = 0; i < warmUps; ++i)
    cycle();
  AllocationMeter meter;
  for (auto _ : state) {
    cycle();
  }
  meter.Report(state);
}

// Reads the first value of every real buffer that arrives, so the push is not
// optimised away and a lost buffer shows.
class TRealReceiver {
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

// A 44.1 kHz stereo 16-bit buffer of `frames` frames filled with a fixed,
// busy pattern.
inline IPtr<IMoskAudioBuffer> MakeStereoTestBuffer(std::int32_t frames) {
  IPtr<IMoskAudioBuffer> buffer = TMoskAudioBuffer::Create(44100, 3, frames, 2, 16);
  auto* samples = reinterpret_cast<std::int16_t*>(buffer->GetReadData());
  for (std::int32_t i = 0; i < frames * 2; ++i)
    samples[i] = static_cast<std::int16_t>((i * 7919) % 20000 - 10000);
  return buffer;
}

// Announces the buffer's own wave format through `source`, pushes the buffer
// kWarmUpPushes times to warm the free lists and the meters' queues up, then
// pushes it once per iteration under the global read lock, as the capture
// thread does. Reports the allocations per push and "x_realtime", the seconds
// of audio at `sampleRate` processed per second.
inline constexpr int kWarmUpPushes = 64;

inline void PushAudioBuffers(benchmark::State& state, TMoskVekAudioSourcePin* source,
                             IMoskAudioBuffer* buffer, double sampleRate) {
  const WAVEFORMATEXTENSIBLE format =
      *static_cast<TMoskAudioBuffer*>(buffer->GetBufferObject())->AudioBlock()->Header();
  {
    IPtr<IVekNotifyOperation> start =
        NewOperation<TVekStartWaveOperation>(&format, static_cast<float>(sampleRate));
    TVekGlobalReadLockSection capture;
    source->Notify(start.get());
  }
  MeterWarmCycle(
      state,
      [source, buffer] {
        TVekGlobalReadLockSection capture;
        source->SendData(buffer);
      },
      kWarmUpPushes);
  const double frames = static_cast<double>(state.iterations()) * buffer->GetCount();
  state.counters["x_realtime"] =
      benchmark::Counter(frames / sampleRate, benchmark::Counter::kIsRate);
  state.SetItemsProcessed(state.iterations());
}

}  // namespace bench_support
