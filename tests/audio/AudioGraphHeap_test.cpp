// The main window's processing graph (the shared fixture's) takes nothing
// from the general heap at steady state: audio buffers made per block and
// pushed, under the global read lock as the capture thread does, through
//   source -> PPM meter (levels delivered on the pushing thread)
//   source -> DC remover -> amplifier -> spectrum component -> two real sinks
//                                     -> audio-to-real converter -> two sinks
// cost no operator new once the free lists are warm; neither does the
// capture component fed by a scripted device (device reading thread, wave
// thread hand-over, the graph, the meter's main-thread delivery through the
// main loop). Its test program links the counting operator new of
// tests/harness/CountingHeap.cpp.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "Vek/VekFreeLists.h"
#include "audio/MoskAudioBuffer.h"
#include "audio/MoskAudioParams.h"
#include "audio/MoskAudioUnit.h"
#include "platform/classes/ClassesUnit.h"
#include "platform/classes/MainLoop.h"
#include "platform/win/ScriptedWaveIn.h"
#include "signal/core/TrelMainThreadNotify.h"
#include "signal/core/TrelSmartBufferManager.h"
#include "tests/fixtures/MainWindowGraph.h"
#include "tests/harness/CountingHeap.h"
#include "tests/signal/core/StreamPinFixtures.h"

using kestrune::test_support::HeapAllocationCount;

namespace {

constexpr std::int32_t kFrames = 1024;
// Blocks pushed before counting: enough for every list to reach the depth
// the graph needs.
constexpr std::int32_t kWarmUp = 64;

// Counts the real buffers that reach it.
class TRealCounter {
 public:
  bool OnReal(IVekBasicPin*, const TGUID&, std::uint8_t, IVekNotifyOperation* op) {
    if (OperationAs<TVekSuppliedBufferOperation>(op) != nullptr)
      ++Received;
    return true;
  }
  std::int64_t Received = 0;
};

// A stereo 16-bit block of `frames` frames with a busy pattern that moves
// with `seed`.
IPtr<IMoskAudioBuffer> Block(std::int32_t seed) {
  IPtr<IMoskAudioBuffer> buffer = TMoskAudioBuffer::Create(44100, 3, kFrames, 2, 16);
  auto* samples = reinterpret_cast<std::int16_t*>(buffer->GetWriteData());
  for (std::int32_t i = 0; i < kFrames * 2; ++i)
    samples[i] = static_cast<std::int16_t>(((i + seed) * 7919) % 20000 - 10000);
  return buffer;
}

TEST(AudioGraphHeap, WarmGraphPushesBlocksWithoutTheGeneralHeap) {
  streamtest::StartStreamFramework();
  TRealCounter spectra;
  TRealCounter channels;
  auto* root = Create<TComponent>(nullptr);
  auto* source = Create<TMoskVekAudioSourcePin>(root);
  const fixtures::MainWindowGraph graph = fixtures::BuildMainWindowGraph(root, source);
  ASSERT_TRUE(graph.linked);
  graph.ppm->SetSynchronizeType(stNone);
  graph.amplifier->SetCoefficient(0.5);
  TTrelVekRealSinkPin* sinks[4];
  for (int c = 0; c < 2; ++c) {
    sinks[c] =
        Create<TTrelVekRealSinkPin>(root, TVekNotifyHandler(&spectra, &TRealCounter::OnReal));
    sinks[c]->Connect(graph.spectrum->GetOutputPins()->GetPin(c));
    sinks[2 + c] =
        Create<TTrelVekRealSinkPin>(root, TVekNotifyHandler(&channels, &TRealCounter::OnReal));
    sinks[2 + c]->Connect(graph.toReal->GetOutputPins()->GetPin(c));
  }

  IPtr<IMoskAudioBuffer> first = Block(0);
  const WAVEFORMATEXTENSIBLE format =
      *static_cast<TMoskAudioBuffer*>(first->GetBufferObject())->AudioBlock()->Header();
  auto push = [&](std::int32_t seed) {
    IPtr<IMoskAudioBuffer> block = Block(seed);
    TVekGlobalReadLockSection capture;
    source->SendData(block.get());
  };
  {
    IPtr<IVekNotifyOperation> start = NewOperation<TVekStartWaveOperation>(&format, 44100.0f);
    TVekGlobalReadLockSection capture;
    source->Notify(start.get());
  }
  first.reset();
  // Warm-up: the free lists, the block store and the meter's queue get what
  // they need.
  for (std::int32_t i = 0; i < kWarmUp; ++i)
    push(i);

  constexpr std::int32_t kBlocks = 300;
  const std::int64_t spectraBefore = spectra.Received;
  const std::int64_t channelsBefore = channels.Received;
  const std::uint64_t newsBefore = HeapAllocationCount();
  for (std::int32_t i = 0; i < kBlocks; ++i)
    push(kWarmUp + i);
  const std::uint64_t news = HeapAllocationCount() - newsBefore;

  // 1024 frames make four spectra of 256 per channel; one buffer per channel
  // from the converter.
  EXPECT_EQ(spectra.Received - spectraBefore, 2 * 4 * kBlocks);
  EXPECT_EQ(channels.Received - channelsBefore, 2 * kBlocks);
  EXPECT_EQ(news, 0u);
  EXPECT_GT(TrelBufferObjectLists().PooledCount(), 0u);
  EXPECT_GT(VekOperationLists().PooledCount(), 0u);

  // The graph's pins were the lists' last users: the pooled memory goes back.
  for (TTrelVekRealSinkPin* pin : sinks)
    pin->Free();
  source->Free();
  root->Free();
  EXPECT_EQ(TrelBufferObjectLists().UserCount(), 0u);
  EXPECT_EQ(TrelBufferObjectLists().PooledCount(), 0u);
  EXPECT_EQ(VekOperationLists().PooledCount(), 0u);
  EXPECT_EQ(VekPushSnapshotLists().PooledCount(), 0u);
}

// A push to more sinks than a push keeps on its stack copies the sink
// entries into a pooled block.
TEST(AudioGraphHeap, APushToTwelveSinksTakesNothingFromTheHeapOnceWarm) {
  streamtest::StartStreamFramework();
  TRealCounter counter;
  auto* root = Create<TComponent>(nullptr);
  auto* source = Create<TTrelVekRealSourcePin>(root);
  constexpr int kSinks = 12;
  std::vector<TTrelVekRealSinkPin*> sinks;
  for (int i = 0; i < kSinks; ++i) {
    sinks.push_back(
        Create<TTrelVekRealSinkPin>(root, TVekNotifyHandler(&counter, &TRealCounter::OnReal)));
    sinks.back()->Connect(source);
  }
  auto push = [&] {
    IPtr<ITrelRealBuffer> buffer = TTrelRealBuffer::CreateCount(256);
    TVekGlobalReadLockSection capture;
    source->SendData(buffer.get());
  };
  for (int i = 0; i < kWarmUp; ++i)
    push();
  const std::uint64_t newsBefore = HeapAllocationCount();
  for (int i = 0; i < 300; ++i)
    push();
  EXPECT_EQ(HeapAllocationCount() - newsBefore, 0u);
  EXPECT_EQ(counter.Received, std::int64_t{kSinks} * (kWarmUp + 300));
  for (TTrelVekRealSinkPin* pin : sinks)
    pin->Free();
  source->Free();
  root->Free();
}

// Counts the real buffers that reach it from the wave thread, two per
// block. Once the block numbered by the hold has reached it, the wave
// thread waits in it until the hold moves on: the test then knows exactly
// how many blocks went through the graph since it last looked.
class TAtomicRealCounter {
 public:
  bool OnReal(IVekBasicPin*, const TGUID&, std::uint8_t, IVekNotifyOperation* op) {
    if (OperationAs<TVekSuppliedBufferOperation>(op) == nullptr)
      return true;
    const std::int64_t received = Received.fetch_add(1) + 1;
    if (received % 2 == 0) {
      std::unique_lock lock(mutex_);
      changed_.notify_all();
      changed_.wait_for(lock, std::chrono::seconds(20), [&] { return received / 2 < hold_; });
    }
    return true;
  }
  std::int64_t Blocks() const { return Received.load() / 2; }
  // The wave thread goes on until `block` blocks have reached the counter
  // (none: it does not wait), then waits there.
  void HoldAt(std::int64_t block) {
    std::lock_guard lock(mutex_);
    hold_ = block;
    changed_.notify_all();
  }
  // Moves the hold to `block` and waits until that block has come (20 s at
  // most); the block count reached.
  std::int64_t RunTo(std::int64_t block) {
    HoldAt(block);
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, std::chrono::seconds(20), [&] { return Blocks() >= block; });
    return Blocks();
  }
  std::atomic<std::int64_t> Received{0};

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::int64_t hold_ = INT64_MAX;  // guarded by mutex_
};

// Counts the levels the meter delivers on the main thread.
class TLevelCounter {
 public:
  void OnChange(TObject*, std::int32_t, double, double) { ++Changes; }
  std::int64_t Changes = 0;
};

TEST(AudioGraphHeap, ScriptedCaptureTakesNothingFromTheHeapOnceWarm) {
  streamtest::StartStreamFramework();
  static bool unitsStarted = false;
  if (!unitsStarted) {
    unitsStarted = true;
    ClassesUnit.Initialize();
    MoskAudioUnit.Initialize();
    TrelMainThreadNotifyUnit.Initialize();
  }
  kestrune::MainLoop loop;
  kestrune::ScriptedDeviceScript device;
  device.name = "Busy pattern";
  {
    IPtr<IMoskAudioBuffer> pattern = Block(0);
    std::vector<std::uint8_t> frames(kFrames * 4);
    std::memcpy(frames.data(), pattern->GetData(), frames.size());
    device.signal = kestrune::LoopedFrames(std::move(frames));
  }
  device.framesPerRead = kFrames;
  kestrune::SetWaveInBackend(std::make_shared<kestrune::ScriptedWaveInBackend>(
      std::vector<kestrune::ScriptedDeviceScript>{device}));

  TAtomicRealCounter spectra;
  TAtomicRealCounter channels;
  TLevelCounter levels;
  auto* root = Create<TComponent>(nullptr);
  auto* audioIn = fixtures::MakeMainWindowCapture(root, "Busy pattern", 44100, kFrames);
  const fixtures::MainWindowGraph graph =
      fixtures::BuildMainWindowGraph(root, audioIn->GetOutputPin());
  ASSERT_TRUE(graph.linked);
  // The meter delivers its levels on the main thread, through the loop.
  graph.ppm->SetOnValueChange(TMoskMeterValueChangeEvent(&levels, &TLevelCounter::OnChange));
  TTrelVekRealSinkPin* sinks[4];
  for (int c = 0; c < 2; ++c) {
    sinks[c] =
        Create<TTrelVekRealSinkPin>(root, TVekNotifyHandler(&spectra, &TAtomicRealCounter::OnReal));
    sinks[c]->Connect(graph.spectrum->GetOutputPins()->GetPin(c));
    sinks[2 + c] = Create<TTrelVekRealSinkPin>(
        root, TVekNotifyHandler(&channels, &TAtomicRealCounter::OnReal));
    sinks[2 + c]->Connect(graph.toReal->GetOutputPins()->GetPin(c));
  }

  // Serves the main loop until channel 0 of the converter has `blocks`
  // blocks (or 20 s have passed).
  auto serveUntil = [&](std::int64_t blocks) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (channels.Blocks() < blocks && std::chrono::steady_clock::now() < deadline) {
      loop.ProcessMessages();
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    loop.ProcessMessages();
  };
  constexpr std::int64_t kCounted = 300;
  audioIn->SetEnabled(true);
  // Warm-up: every block the device holds goes round more than once. Then,
  // with the wave thread held and the main thread's deliveries served, more
  // blocks than are counted pass with those deliveries waiting, so the
  // queues on their way (the main loop's, the meter's) have grown to hold
  // them. The hold keeps each stretch to its number of blocks however the
  // threads are scheduled: a stretch that ran on while this thread was kept
  // from the processor would leave a deeper backlog than the warm-up's.
  serveUntil(3 * TMoskAudioIn::CaptureBlockCount);
  std::int64_t held = channels.RunTo(channels.Blocks() + 1);
  loop.ProcessMessages();
  held = channels.RunTo(held + kCounted + 100);
  loop.ProcessMessages();
  // Counted apart, so that the count does not hang on how the two threads
  // happen to overlap (a burst of notify operations in use at once on both
  // may take one more block): first the capture and the graph, with the
  // main thread's deliveries waiting, then those deliveries alone, the wave
  // thread held meanwhile.
  const std::int64_t changesBefore = levels.Changes;
  const std::uint64_t captureBefore = HeapAllocationCount();
  const std::int64_t reached = channels.RunTo(held + kCounted);
  const std::uint64_t captureNews = HeapAllocationCount() - captureBefore;
  const std::uint64_t deliveryBefore = HeapAllocationCount();
  loop.ProcessMessages();
  const std::uint64_t deliveryNews = HeapAllocationCount() - deliveryBefore;
  channels.HoldAt(INT64_MAX);
  audioIn->SetEnabled(false);

  EXPECT_EQ(reached, held + kCounted);
  EXPECT_GT(spectra.Received.load(), 0);
  EXPECT_GT(levels.Changes, changesBefore);
  EXPECT_EQ(captureNews, 0u);
  EXPECT_EQ(deliveryNews, 0u);

  EXPECT_GT(MoskAudioBlockLists().PooledCount(), 0u);

  for (TTrelVekRealSinkPin* pin : sinks)
    pin->Free();
  root->Free();
  loop.ProcessMessages();
  kestrune::SetWaveInBackend(nullptr);
  // The capture state was the records' last user.
  EXPECT_EQ(MoskAudioBlockLists().PooledCount(), 0u);
  EXPECT_EQ(TrelBufferObjectLists().PooledCount(), 0u);
}

}  // namespace
