// The wave thread between a capture device's callback thread and the
// component's handler: messages arrive in order on the wave thread, a stop
// drops what is queued, no number of waiting messages is refused, a failing
// handler does not end the thread; and the capture state that recognises data
// messages of a closed device after a restart, alone and under repeated stops
// and restarts with blocks in flight (scripted device). Also run under
// ThreadSanitizer.
#include "audio/MoskWaveThread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "audio/MoskAudioParams.h"
#include "platform/classes/MainLoop.h"
#include "platform/rtl/SysUtils.h"
#include "platform/win/ScriptedWaveIn.h"
#include "platform/win/WaveInBackend.h"
#include "tests/platform/win/WaveInTestSupport.h"
#include "tests/signal/core/BufferUnitEnvironment.h"

namespace {

using namespace std::chrono_literals;

constexpr UINT kHeaderSize = sizeof(WAVEHDR);
constexpr std::uint32_t kFrames = 64;

// What the handler saw of one message.
struct Seen {
  UINT message;
  HWAVEIN device;
  DWORD_PTR parameter;
  std::uint32_t threadId;
};

// A handler that records every message; optionally holds the first one until
// the test opens the gate, and runs `onMessage` (on the wave thread) after
// recording.
class RecordingHandler {
 public:
  void Handle(UINT message, HWAVEIN device, DWORD_PTR parameter) {
    {
      std::unique_lock lock(mutex_);
      seen_.push_back({message, device, parameter, GetCurrentThreadId()});
      changed_.notify_all();
      if (holdFirst && seen_.size() == 1) {
        changed_.wait(lock, [&] { return gateOpen_; });
      }
    }
    if (onMessage) {
      onMessage(message, device, parameter);
    }
  }
  TMoskWaveMessageHandler Method() {
    return TMoskWaveMessageHandler(this, &RecordingHandler::Handle);
  }

  // Waits (10 s at most) until `count` messages were seen.
  bool WaitForCount(std::size_t count) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, 10s, [&] { return seen_.size() >= count; });
  }
  void OpenGate() {
    std::lock_guard lock(mutex_);
    gateOpen_ = true;
    changed_.notify_all();
  }
  std::vector<Seen> SeenSoFar() {
    std::lock_guard lock(mutex_);
    return seen_;
  }

  bool holdFirst = false;  // set before the thread is made
  std::function<void(UINT, HWAVEIN, DWORD_PTR)> onMessage;

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Seen> seen_;
  bool gateOpen_ = false;
};

struct ThreadDeleter {
  void operator()(TMoskWaveThread* thread) const { FreeObject(thread); }
};
using ThreadPtr = std::unique_ptr<TMoskWaveThread, ThreadDeleter>;

ThreadPtr MakeThread(RecordingHandler& handler) {
  return ThreadPtr(Create<TMoskWaveThread>(handler.Method()));
}

// Polls `done` for up to 10 s.
bool Eventually(const std::function<bool()>& done) {
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) {
      return false;
    }
    std::this_thread::sleep_for(1ms);
  }
  return true;
}

HWAVEIN FakeDevice(std::uint64_t n) {
  return static_cast<HWAVEIN>(n);
}

// ---------------------------------------------------------------------------
// The thread alone

TEST(MoskWaveThread, AsksForTheSecondHighestPriority) {
  RecordingHandler handler;
  ThreadPtr thread = MakeThread(handler);
  EXPECT_EQ(thread->Priority(), kestrune::ThreadPriority::Highest);
}

TEST(MoskWaveThread, StopWhileMessagesAreQueuedEndsAfterTheMessageInHand) {
  RecordingHandler handler;
  handler.holdFirst = true;
  ThreadPtr thread = MakeThread(handler);
  for (DWORD_PTR i = 0; i < 10; ++i) {
    ASSERT_TRUE(PostWaveMessage(thread.get(), WIM_DATA, FakeDevice(1), i));
  }
  ASSERT_TRUE(handler.WaitForCount(1));  // the first is in hand, nine wait

  std::thread stopper([&] { StopWaveThread(thread.get()); });
  ASSERT_TRUE(Eventually([&] { return thread->Terminated(); }));
  handler.OpenGate();
  stopper.join();

  EXPECT_TRUE(thread->Finished());
  ASSERT_EQ(handler.SeenSoFar().size(), 1u) << "queued messages are dropped unhandled";
  EXPECT_EQ(thread->QueuedCount(), 0u) << "and their records freed";
  EXPECT_FALSE(PostWaveMessage(thread.get(), WIM_DATA, FakeDevice(1), 99));
  EXPECT_EQ(thread->QueuedCount(), 0u) << "a post after the stop queues nothing";
}

TEST(MoskWaveThread, NoNumberOfWaitingMessagesIsRefused) {
  // Four posting threads while the handler holds the first message: far more
  // messages wait than a bounded queue would take, and every one arrives, in
  // each poster's order.
  constexpr int kPosters = 4;
  constexpr DWORD_PTR kPerPoster = 1500;
  RecordingHandler handler;
  handler.holdFirst = true;
  ThreadPtr thread = MakeThread(handler);
  ASSERT_TRUE(PostWaveMessage(thread.get(), WIM_OPEN, FakeDevice(9), 0));
  ASSERT_TRUE(handler.WaitForCount(1));

  std::atomic<int> refused{0};
  std::vector<std::thread> posters;
  for (int p = 0; p < kPosters; ++p) {
    posters.emplace_back([&, p] {
      for (DWORD_PTR i = 0; i < kPerPoster; ++i) {
        if (!PostWaveMessage(thread.get(), WIM_DATA, FakeDevice(p + 1), i)) {
          ++refused;
        }
      }
    });
  }
  for (std::thread& poster : posters) {
    poster.join();
  }
  EXPECT_EQ(refused.load(), 0);
  EXPECT_EQ(thread->QueuedCount(), kPosters * kPerPoster);

  handler.OpenGate();
  ASSERT_TRUE(handler.WaitForCount(1 + kPosters * kPerPoster));
  std::vector<DWORD_PTR> next(kPosters, 0);
  for (const Seen& seen : handler.SeenSoFar()) {
    EXPECT_EQ(seen.threadId, thread->ThreadID());
    if (seen.message != WIM_DATA) {
      continue;
    }
    const auto poster = static_cast<std::size_t>(seen.device) - 1;
    EXPECT_EQ(seen.parameter, next[poster]++) << "poster " << poster;
  }
  // Freed without Stop: the thread still ends.
}

TEST(MoskWaveThread, AFailingHandlerReachesTheCentralHandlerAndTheThreadGoesOn) {
  kestrune::MainLoop loop;
  std::vector<std::string> reported;
  loop.SetExceptionHandler(
      [&](std::exception_ptr error) { reported.push_back(kestrune::ExceptionText(error)); });
  RecordingHandler handler;
  handler.onMessage = [](UINT, HWAVEIN, DWORD_PTR parameter) {
    if (parameter == 1) {
      throw EConvertError("refused block 1");
    }
  };
  ThreadPtr thread = MakeThread(handler);
  for (DWORD_PTR i = 0; i < 3; ++i) {
    PostWaveMessage(thread.get(), WIM_DATA, FakeDevice(1), i);
  }
  ASSERT_TRUE(handler.WaitForCount(3)) << "the message after the failing one is handled";

  ASSERT_TRUE(Eventually([&] {
    loop.ProcessMessages();
    return !reported.empty();
  }));
  EXPECT_EQ(reported, std::vector<std::string>{"refused block 1"});
  StopWaveThread(thread.get());
}

// ---------------------------------------------------------------------------
// With a capture device

class MoskWaveThreadDevice : public testing::Test {
 protected:
  void SetUp() override {
    kestrune::ScriptedDeviceScript script;
    script.signal = kestrune::CountingSignal();
    script.framesPerRead = 37;  // reads end inside blocks
    backend_ = std::make_shared<kestrune::ScriptedWaveInBackend>(
        std::vector<kestrune::ScriptedDeviceScript>{script});
    kestrune::SetWaveInBackend(backend_);
  }
  void TearDown() override { kestrune::SetWaveInBackend(nullptr); }

  HWAVEIN Open(TMoskWaveThread* thread) {
    HWAVEIN device{};
    EXPECT_EQ(waveInOpen(&device, WAVE_MAPPER, &format_.Format, &WaveInCallback,
                         reinterpret_cast<DWORD_PTR>(thread), CALLBACK_FUNCTION),
              MMSYSERR_NOERROR);
    return device;
  }

  static IPtr<IMoskAudioBuffer> NewBlockBuffer() {
    return TMoskAudioBuffer::Create(44100, 3, kFrames, 2, 16);
  }

  // Makes, lists, prepares and queues one block. Caller holds the params'
  // lock.
  static TMoskWaveBuffer* QueueBlockLocked(TMoskAudioParams& params, HWAVEIN device) {
    TMoskWaveBuffer* block = params.AddBlockLocked(device, NewBlockBuffer());
    EXPECT_EQ(waveInPrepareHeader(device, block->Header(), kHeaderSize), MMSYSERR_NOERROR);
    EXPECT_EQ(waveInAddBuffer(device, block->Header(), kHeaderSize), MMSYSERR_NOERROR);
    return block;
  }

  WAVEFORMATEXTENSIBLE format_ = wavein_test::ExtensibleFormat(2, 44100, 16, 16);
  std::shared_ptr<kestrune::ScriptedWaveInBackend> backend_;
};

TEST_F(MoskWaveThreadDevice, DriverMessagesReachTheHandlerInOrderOnTheWaveThread) {
  constexpr int kBlocks = 20;
  RecordingHandler handler;
  ThreadPtr thread = MakeThread(handler);
  IPtr<TMoskAudioParams> params = CreateCounted<TMoskAudioParams>();
  const HWAVEIN device = Open(thread.get());
  std::vector<WAVEHDR*> queued;
  {
    TMoskAudioParamsGuard guard(*params);
    params->SetDeviceLocked(device);
    for (int i = 0; i < kBlocks; ++i) {
      queued.push_back(QueueBlockLocked(*params, device)->Header());
    }
  }
  ASSERT_EQ(waveInStart(device), MMSYSERR_NOERROR);
  ASSERT_TRUE(handler.WaitForCount(1 + kBlocks));
  EXPECT_EQ(waveInReset(device), MMSYSERR_NOERROR);
  {
    TMoskAudioParamsGuard guard(*params);
    for (auto& block : params->TakeBlocksLocked()) {
      EXPECT_EQ(waveInUnprepareHeader(device, block->Header(), kHeaderSize), MMSYSERR_NOERROR);
    }
  }
  ASSERT_EQ(waveInClose(device), MMSYSERR_NOERROR);
  ASSERT_TRUE(handler.WaitForCount(2 + kBlocks));

  const std::vector<Seen> seen = handler.SeenSoFar();
  ASSERT_EQ(seen.size(), 2u + kBlocks);
  EXPECT_EQ(seen.front().message, WIM_OPEN);
  for (int i = 0; i < kBlocks; ++i) {
    EXPECT_EQ(seen[1 + i].message, WIM_DATA);
    EXPECT_EQ(seen[1 + i].parameter, reinterpret_cast<DWORD_PTR>(queued[i])) << "block " << i;
  }
  EXPECT_EQ(seen.back().message, WIM_CLOSE);
  for (const Seen& s : seen) {
    EXPECT_EQ(s.device, device);
    EXPECT_EQ(s.threadId, thread->ThreadID()) << "every message is handled on the wave thread";
  }
}

// The handler's part that the capture state exists for: a data message is
// taken only when it names a block listed for the device open now.
struct DataMessages {
  std::atomic<int> taken{0};
  std::atomic<int> ignored{0};
  std::atomic<int> wrongDevice{0};
};

TEST_F(MoskWaveThreadDevice, DataMessagesOfAClosedDeviceAreIgnoredAfterARestart) {
  constexpr int kBlocks = 4;
  IPtr<TMoskAudioParams> params = CreateCounted<TMoskAudioParams>();
  DataMessages data;
  RecordingHandler handler;
  handler.holdFirst = true;  // everything of the first device waits behind its open
  handler.onMessage = [&](UINT message, HWAVEIN device, DWORD_PTR parameter) {
    if (message != WIM_DATA) {
      return;
    }
    TMoskAudioParamsGuard guard(*params);
    TMoskWaveBuffer* block =
        params->FindBlockLocked(device, reinterpret_cast<const WAVEHDR*>(parameter));
    if (block == nullptr || !params->ActiveLocked()) {
      ++data.ignored;
      return;
    }
    data.wrongDevice += block->Device() != device;
    ++data.taken;
    waveInUnprepareHeader(device, block->Header(), kHeaderSize);
    params->RemoveBlockLocked(block);  // the record goes; its buffer with it
  };
  ThreadPtr thread = MakeThread(handler);

  auto start = [&] {
    const HWAVEIN device = Open(thread.get());
    TMoskAudioParamsGuard guard(*params);
    params->SetActiveLocked(true);
    params->SetDeviceLocked(device);
    for (int i = 0; i < kBlocks; ++i) {
      QueueBlockLocked(*params, device);
    }
    EXPECT_EQ(waveInStart(device), MMSYSERR_NOERROR);
    return device;
  };
  auto stop = [&](HWAVEIN device) {
    {
      TMoskAudioParamsGuard guard(*params);
      params->SetActiveLocked(false);
    }
    EXPECT_EQ(waveInReset(device), MMSYSERR_NOERROR);
    TMoskAudioParamsGuard guard(*params);
    for (auto& block : params->TakeBlocksLocked()) {
      waveInUnprepareHeader(device, block->Header(), kHeaderSize);
    }  // the records are freed here, while their data messages still wait
    EXPECT_EQ(waveInClose(device), MMSYSERR_NOERROR);
    params->SetDeviceLocked(HWAVEIN{});
  };

  const HWAVEIN first = start();
  ASSERT_TRUE(handler.WaitForCount(1));
  stop(first);
  const HWAVEIN second = start();  // new records, possibly at the old addresses
  ASSERT_NE(second, first);
  handler.OpenGate();

  ASSERT_TRUE(Eventually([&] { return data.taken.load() == kBlocks; }));
  EXPECT_EQ(data.ignored.load(), kBlocks) << "each of the first device's blocks came back once";
  EXPECT_EQ(data.wrongDevice.load(), 0);
  stop(second);
  StopWaveThread(thread.get());
}

TEST_F(MoskWaveThreadDevice, StopAndRestartWithBlocksInFlightStrandsNothing) {
  // The capture loop of a component: each block that comes back on the
  // device open now is taken and replaced by a fresh one, under the capture
  // state's lock and only while capture is active on that device; stops and
  // restarts come from this thread meanwhile. Every close must find no block
  // still queued on the device.
  constexpr int kCycles = 40;
  constexpr int kBlocks = 8;
  IPtr<TMoskAudioParams> params = CreateCounted<TMoskAudioParams>();
  DataMessages data;
  RecordingHandler handler;
  handler.onMessage = [&](UINT message, HWAVEIN device, DWORD_PTR parameter) {
    if (message != WIM_DATA) {
      return;
    }
    TMoskAudioParamsGuard guard(*params);
    TMoskWaveBuffer* block =
        params->FindBlockLocked(device, reinterpret_cast<const WAVEHDR*>(parameter));
    if (block == nullptr || !params->ActiveLocked()) {
      ++data.ignored;
      return;
    }
    data.wrongDevice += block->Device() != device;
    ++data.taken;
    // What a receiver would read: the first sample of the block.
    (void)block->Buffer()->GetSample(0, 0);
    waveInUnprepareHeader(device, block->Header(), kHeaderSize);
    params->RemoveBlockLocked(block);
    QueueBlockLocked(*params, device);
  };
  ThreadPtr thread = MakeThread(handler);

  for (int cycle = 0; cycle < kCycles; ++cycle) {
    const HWAVEIN device = Open(thread.get());
    {
      TMoskAudioParamsGuard guard(*params);
      params->SetActiveLocked(true);
      params->SetDeviceLocked(device);
      for (int i = 0; i < kBlocks; ++i) {
        QueueBlockLocked(*params, device);
      }
    }
    ASSERT_EQ(waveInStart(device), MMSYSERR_NOERROR);
    const int takenBefore = data.taken.load();
    ASSERT_TRUE(Eventually([&] { return data.taken.load() > takenBefore + cycle % 3; }));
    {
      TMoskAudioParamsGuard guard(*params);
      params->SetActiveLocked(false);
    }
    ASSERT_EQ(waveInReset(device), MMSYSERR_NOERROR);
    {
      TMoskAudioParamsGuard guard(*params);
      for (auto& block : params->TakeBlocksLocked()) {
        EXPECT_EQ(waveInUnprepareHeader(device, block->Header(), kHeaderSize), MMSYSERR_NOERROR);
      }
      ASSERT_EQ(waveInClose(device), MMSYSERR_NOERROR) << "no block left queued, cycle " << cycle;
      params->SetDeviceLocked(HWAVEIN{});
    }
  }
  StopWaveThread(thread.get());
  EXPECT_EQ(data.wrongDevice.load(), 0);
  EXPECT_GE(data.taken.load(), kCycles);
  TMoskAudioParamsGuard guard(*params);
  EXPECT_EQ(params->BlockCountLocked(), 0u);
}

// ---------------------------------------------------------------------------
// The capture state alone

TEST(MoskAudioParams, FindsOnlyBlocksListedForTheOpenDevice) {
  IPtr<TMoskAudioParams> params = CreateCounted<TMoskAudioParams>();
  TMoskAudioParamsGuard guard(*params);
  const HWAVEIN first = FakeDevice(11);
  const HWAVEIN second = FakeDevice(12);
  params->SetDeviceLocked(first);
  TMoskWaveBuffer* block =
      params->AddBlockLocked(first, TMoskAudioBuffer::Create(44100, 3, kFrames, 2, 16));

  // The header describes the buffer's sample area and names its record.
  EXPECT_EQ(reinterpret_cast<std::uint8_t*>(block->Header()->lpData), block->Buffer()->GetData());
  EXPECT_EQ(block->Header()->dwBufferLength, kFrames * 4);
  EXPECT_EQ(block->Header()->dwUser, reinterpret_cast<DWORD_PTR>(block));
  EXPECT_EQ(block->Params(), params.get());

  const WAVEHDR unknown{};
  const struct {
    const char* name;
    HWAVEIN device;
    const WAVEHDR* header;
    bool found;
  } rows[] = {
      {"the block of the open device", first, block->Header(), true},
      {"a header that is not listed", first, &unknown, false},
      {"the right header from another device", second, block->Header(), false},
      {"no device", HWAVEIN{}, block->Header(), false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(params->FindBlockLocked(row.device, row.header) != nullptr, row.found);
  }
  // After a restart on another device, the old device's message finds
  // nothing even for a block that is still listed.
  params->SetDeviceLocked(second);
  EXPECT_EQ(params->FindBlockLocked(first, block->Header()), nullptr);

  std::unique_ptr<TMoskWaveBuffer> removed = params->RemoveBlockLocked(block);
  EXPECT_EQ(removed.get(), block);
  EXPECT_EQ(params->RemoveBlockLocked(block), nullptr);
  EXPECT_EQ(params->BlockCountLocked(), 0u);
}

}  // namespace
