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
//   heap_news     allocations from the general heap: 0, the buffer object
//                 and the supplied-buffer operation come from their free
//                 lists (the push's snapshot of the sink entries stays on the
//                 stack for up to 8 sinks)
// The ..._PushOnly variants send one buffer made before the loop: the
// push's own share.
//
// The count comes from the counting operator new of tests/harness/CountingHeap.cpp,
// linked into the whole benchmark program.
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

// The receiving component: reads the first sample of every buffer.
class TReceiver : public bench_support::TRealReceiver {
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
};

// A fresh audio block: the wave header, then the samples (the first one 1).
IPtr<ITrelBlockBuffer> MakeAudioBlock() {
  IPtr<ITrelBlockBuffer> block = TTrelBlockBuffer::CreateSize(kAudioBytes);
  std::uint8_t* bytes = block->GetReadData();
  const WAVEFORMATEXTENSIBLE format = TVekStartWaveOperation::DefaultFormat();
  std::memcpy(bytes, &format, kHeaderBytes);
  bytes[kHeaderBytes] = 1;
  return block;
}

// A fresh real buffer whose first sample is 1.
IPtr<ITrelRealBuffer> MakeRealBuffer() {
  IPtr<ITrelRealBuffer> samples = TTrelRealBuffer::CreateCount(kFrames);
  samples->GetReadData()[0] = 1.0;
  return samples;
}

enum class BufferUse {
  FreshPerPush,  // make, fill, send and release a buffer per push (after one warm-up)
  Reused,        // send one buffer made before the loop: the push's own cost
};

// Pushes through one link from a `Source` pin to a `Sink` pin whose handler is
// `handler`; `makeBuffer` makes each buffer sent.
template <class Source, class Sink, class MakeBuffer>
void PushThroughLink(benchmark::State& state,
                     bool (TReceiver::*handler)(IVekBasicPin*, const TGUID&, std::uint8_t,
                                                IVekNotifyOperation*),
                     MakeBuffer makeBuffer, BufferUse use) {
  bench_support::StartStreamUnits();
  StoreSession store;
  TReceiver receiver;
  auto* root = Create<TComponent>(nullptr);
  auto* source = Create<Source>(root);
  auto* sink = Create<Sink>(root, TVekNotifyHandler(&receiver, handler));
  sink->Connect(source);
  auto send = [source](auto* buffer) {
    TVekGlobalReadLockSection capture;
    source->SendData(buffer);
  };
  {
    decltype(makeBuffer()) reused;   // held only when reused: a second live buffer
    if (use == BufferUse::Reused) {  // would cost the fresh pushes a block
      reused = makeBuffer();
      std::memset(reused->GetReadData(), 0, static_cast<std::size_t>(reused->GetByteSize()));
    }
    // The first push is the warm-up: the free lists get their blocks back.
    bench_support::MeterWarmCycle(state, [&] {
      if (use == BufferUse::Reused) {
        send(reused.get());
      } else {
        send(makeBuffer().get());
      }
    });
  }
  const std::int64_t expected = 1 + static_cast<std::int64_t>(state.iterations());
  if (receiver.Received != expected)
    state.SkipWithError("the sink lost buffers");
  state.SetItemsProcessed(state.iterations());
  sink->Free();
  source->Free();
  root->Free();
}

void BM_StreamPins_AudioPush(benchmark::State& state) {
  PushThroughLink<TMoskVekAudioSourcePin, TMoskVekAudioSinkPin>(
      state, &TReceiver::OnAudio, MakeAudioBlock, BufferUse::FreshPerPush);
}
BENCHMARK(BM_StreamPins_AudioPush);

void BM_StreamPins_RealPush(benchmark::State& state) {
  PushThroughLink<TTrelVekRealSourcePin, TTrelVekRealSinkPin>(
      state, &TReceiver::OnReal, MakeRealBuffer, BufferUse::FreshPerPush);
}
BENCHMARK(BM_StreamPins_RealPush);

void BM_StreamPins_AudioPushOnly(benchmark::State& state) {
  PushThroughLink<TMoskVekAudioSourcePin, TMoskVekAudioSinkPin>(state, &TReceiver::OnAudio,
                                                                MakeAudioBlock, BufferUse::Reused);
}
BENCHMARK(BM_StreamPins_AudioPushOnly);

void BM_StreamPins_RealPushOnly(benchmark::State& state) {
  PushThroughLink<TTrelVekRealSourcePin, TTrelVekRealSinkPin>(state, &TReceiver::OnReal,
                                                              MakeRealBuffer, BufferUse::Reused);
}
BENCHMARK(BM_StreamPins_RealPushOnly);

}  // namespace
