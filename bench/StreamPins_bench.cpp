// A full push of one block through the stream pins, the way the capture
// thread sends every captured buffer: a 1024-frame stereo audio block
// (16-bit samples behind the 40-byte wave header, carried as a plain block
// buffer) from an audio source pin to an audio sink pin, and a 1024-sample
// real buffer from a real source pin to a real sink pin. Each iteration takes
// a fresh buffer from the block store, writes into it, sends it (the sink's
// handler reads it back), and releases it; the pusher holds the global read
// lock around the push as the capture thread does.
//
// Memory figures, per buffer at steady state (after one warm-up push):
//   store_blocks  blocks (sample memory and block headers) the smart block
//                 store had to take from the heap; the target is 0
//   heap_news     allocations from the general heap: the buffer object and
//                 the supplied-buffer operation (the push's snapshot of the
//                 sink entries stays on the stack for up to 8 sinks)
// The ..._PushOnly variants send one buffer made before the loop, so their
// heap_news is the push's own share (the operation).
//
// The count comes from the counting operator new that Buffers_bench.cpp
// installs for the whole benchmark program.
#include <benchmark/benchmark.h>

#include "bench/BenchSupport.h"

#include <cstdint>
#include <cstring>

#include "signal/core/MoskStreamTypes.h"
#include "signal/core/TrelSimpleDataBuffer.h"
#include "signal/core/TrelStreamTypes.h"

namespace {

constexpr std::int32_t kFrames = 1024;
constexpr std::int32_t kChannels = 2;
constexpr std::int32_t kHeaderBytes = 40;
constexpr std::int32_t kAudioBytes = kHeaderBytes + kFrames * kChannels * 2;

using bench_support::StoreSession;

using bench_support::AllocationMeter;

// The receiving component: reads the first sample of every buffer.
class TReceiver {
 public:
  bool OnAudio(IVekBasicPin*, const TGUID&, std::uint8_t, IVekNotifyOperation* op) {
    if (auto* supplied = OperationAs<TVekSuppliedBufferOperation>(op)) {
      IPtr<ITrelDataBuffer> block = Supports<ITrelDataBuffer>(supplied->Buffer);
      std::int16_t first;
      std::memcpy(&first, static_cast<std::uint8_t*>(block->GetData()) + kHeaderBytes,
                  sizeof(first));
      Sum += first;
      ++Received;
    }
    return true;
  }
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

void SendAudioBlock(TMoskVekAudioSourcePin* source) {
  IPtr<ITrelBlockBuffer> block = TTrelBlockBuffer::CreateSize(kAudioBytes);
  std::uint8_t* bytes = block->GetReadData();
  const WAVEFORMATEXTENSIBLE format = TVekStartWaveOperation::DefaultFormat();
  std::memcpy(bytes, &format, kHeaderBytes);
  bytes[kHeaderBytes] = 1;
  TVekGlobalReadLockSection capture;
  source->SendData(block.get());
}

void SendRealBuffer(TTrelVekRealSourcePin* source) {
  IPtr<ITrelRealBuffer> samples = TTrelRealBuffer::CreateCount(kFrames);
  samples->GetReadData()[0] = 1.0;
  TVekGlobalReadLockSection capture;
  source->SendData(samples.get());
}

void Finish(benchmark::State& state, const TReceiver& receiver, std::int64_t expected) {
  if (receiver.Received != expected)
    state.SkipWithError("the sink lost buffers");
  state.SetItemsProcessed(state.iterations());
}

void BM_StreamPins_AudioPush(benchmark::State& state) {
  bench_support::StartStreamUnits();
  StoreSession store;
  TReceiver receiver;
  auto* root = Create<TComponent>(nullptr);
  auto* source = Create<TMoskVekAudioSourcePin>(root);
  auto* sink =
      Create<TMoskVekAudioSinkPin>(root, TVekNotifyHandler(&receiver, &TReceiver::OnAudio));
  sink->Connect(source);
  SendAudioBlock(source);  // warm-up: the free lists get their blocks
  AllocationMeter meter;
  for (auto _ : state)
    SendAudioBlock(source);
  meter.Report(state);
  Finish(state, receiver, static_cast<std::int64_t>(state.iterations()) + 1);
  sink->Free();
  source->Free();
  root->Free();
}
BENCHMARK(BM_StreamPins_AudioPush);

void BM_StreamPins_RealPush(benchmark::State& state) {
  bench_support::StartStreamUnits();
  StoreSession store;
  TReceiver receiver;
  auto* root = Create<TComponent>(nullptr);
  auto* source = Create<TTrelVekRealSourcePin>(root);
  auto* sink = Create<TTrelVekRealSinkPin>(root, TVekNotifyHandler(&receiver, &TReceiver::OnReal));
  sink->Connect(source);
  SendRealBuffer(source);
  AllocationMeter meter;
  for (auto _ : state)
    SendRealBuffer(source);
  meter.Report(state);
  Finish(state, receiver, static_cast<std::int64_t>(state.iterations()) + 1);
  sink->Free();
  source->Free();
  root->Free();
}
BENCHMARK(BM_StreamPins_RealPush);

void BM_StreamPins_AudioPushOnly(benchmark::State& state) {
  bench_support::StartStreamUnits();
  StoreSession store;
  TReceiver receiver;
  auto* root = Create<TComponent>(nullptr);
  auto* source = Create<TMoskVekAudioSourcePin>(root);
  auto* sink =
      Create<TMoskVekAudioSinkPin>(root, TVekNotifyHandler(&receiver, &TReceiver::OnAudio));
  sink->Connect(source);
  {
    IPtr<ITrelBlockBuffer> block = TTrelBlockBuffer::CreateSize(kAudioBytes);
    block->Zero();
    AllocationMeter meter;
    for (auto _ : state) {
      TVekGlobalReadLockSection capture;
      source->SendData(block.get());
    }
    meter.Report(state);
  }
  Finish(state, receiver, static_cast<std::int64_t>(state.iterations()));
  sink->Free();
  source->Free();
  root->Free();
}
BENCHMARK(BM_StreamPins_AudioPushOnly);

void BM_StreamPins_RealPushOnly(benchmark::State& state) {
  bench_support::StartStreamUnits();
  StoreSession store;
  TReceiver receiver;
  auto* root = Create<TComponent>(nullptr);
  auto* source = Create<TTrelVekRealSourcePin>(root);
  auto* sink = Create<TTrelVekRealSinkPin>(root, TVekNotifyHandler(&receiver, &TReceiver::OnReal));
  sink->Connect(source);
  {
    IPtr<ITrelRealBuffer> samples = TTrelRealBuffer::CreateCount(kFrames);
    samples->Zero();
    AllocationMeter meter;
    for (auto _ : state) {
      TVekGlobalReadLockSection capture;
      source->SendData(samples.get());
    }
    meter.Report(state);
  }
  Finish(state, receiver, static_cast<std::int64_t>(state.iterations()));
  sink->Free();
  source->Free();
  root->Free();
}
BENCHMARK(BM_StreamPins_RealPushOnly);

}  // namespace
