// The capture component under stops and restarts with blocks in flight:
// every start is one clean stream (start-wave, buffers, one resume, end
// stop), no buffer follows a stop, no block is stranded with a closed
// device; components destroyed while capturing, also while the destroying
// thread holds the global write lock, close their device and end their wave
// thread; a start-wave sent upstream starts capture whole; a stop from the
// first push leaves no resume behind; switching from two threads leaves no
// device open. Also run under ThreadSanitizer and AddressSanitizer.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "Vek/VekLocks.h"
#include "audio/MoskAudioIn.h"
#include "platform/classes/MainLoop.h"
#include "tests/audio/MoskAudioInTestSupport.h"

namespace {

using namespace audiointest;

class MoskAudioInThreaded : public AudioInTest {
 public:
  // Starts `in` with the sink sending a stop upstream from inside the push
  // of buffer `n` (on the wave thread); returns once capture has stopped,
  // with the device closed and no block left with it.
  //
  // The wave thread carries the stop out after that push: it closes the
  // device, clears Enabled, sends the end stop, then passes the stop on.
  // The passed-on stop reaching the sink is what says the stop is done; a
  // closed device alone says nothing of Enabled or of the end stop.
  void StartAndStopFromPush(TMoskAudioIn* in, int n) {
    sink_.onBuffer = [this, in, n](IMoskAudioBuffer*) {
      if (++seen_ == n) {
        IPtr<IVekNotifyOperation> stop = NewOperation<TVekStopOperation>();
        in->GetOutputPin()->Receive(MoskAudioBufferType, stop.get(), 0);
      }
    };
    in->Loaded();
    ASSERT_TRUE(Eventually([&] {
      const std::vector<std::string> log = sink_.Log();
      return std::find(log.begin(), log.end(), "TVekStopOperation") != log.end();
    }));
    EXPECT_EQ(in->OpenDevice(), HWAVEIN{});
    EXPECT_FALSE(in->GetEnabled());
    EXPECT_EQ(in->QueuedBlockCount(), 0u);
    EXPECT_EQ(backend_->OpenStreams(), 0);
  }

  std::atomic<int> seen_{0};
};

// Splits a sink's log into streams, each from a start-wave to its end stop.
std::vector<std::vector<std::string>> Streams(const std::vector<std::string>& log) {
  std::vector<std::vector<std::string>> streams;
  for (const std::string& line : log) {
    if (line == "TVekPumpRequestOperation") {
      continue;
    }
    if (line == "TVekStartWaveOperation") {
      streams.emplace_back();
    }
    EXPECT_FALSE(streams.empty()) << line << " before any start";
    if (!streams.empty()) {
      streams.back().push_back(line);
    }
  }
  return streams;
}

TEST_F(MoskAudioInThreaded, StopAndRestartWithBuffersInFlightManyTimes) {
  kestrune::ScriptedDeviceScript script;
  script.name = "Counting";
  script.signal = kestrune::CountingSignal();
  script.framesPerRead = 16;
  Install({script});
  TMoskAudioIn* in = Make(16);
  in->GetDevice()->SetDeviceName("Counting");
  // A sink that reads every buffer it gets, as a receiver does.
  std::atomic<int64_t> checksum{0};
  sink_.onBuffer = [&](IMoskAudioBuffer* b) {
    int64_t sum = 0;
    for (int32_t f = 0; f < b->GetCount(); ++f) {
      sum += b->GetSample(f, 0) + b->GetSample(f, 1);
    }
    checksum += sum;
  };
  in->SetEnabled(false);

  constexpr int kCycles = 60;
  for (int cycle = 0; cycle < kCycles; ++cycle) {
    const std::size_t before = sink_.BufferCount();
    in->SetEnabled(true);
    ASSERT_NE(in->OpenDevice(), HWAVEIN{}) << "cycle " << cycle;
    // Stop at once, after one buffer, or after several.
    if (cycle % 3 != 0) {
      ASSERT_TRUE(sink_.WaitForBuffers(before + 1 + cycle % 5)) << "cycle " << cycle;
    }
    in->SetEnabled(false);
    ASSERT_EQ(in->OpenDevice(), HWAVEIN{});
    ASSERT_EQ(in->QueuedBlockCount(), 0u) << "cycle " << cycle;
    ASSERT_EQ(backend_->OpenStreams(), 0) << "cycle " << cycle;
  }
  EXPECT_EQ(backend_->SuccessfulOpens(), kCycles);

  const std::vector<std::vector<std::string>> streams = Streams(sink_.Log());
  ASSERT_EQ(streams.size(), static_cast<std::size_t>(kCycles));
  for (std::size_t i = 0; i < streams.size(); ++i) {
    const std::vector<std::string>& s = streams[i];
    SCOPED_TRACE("stream " + std::to_string(i));
    ASSERT_GE(s.size(), 2u);
    EXPECT_EQ(s.back(), "TVekEndStopOperation");
    const long resumes = std::count(s.begin(), s.end(), "TVekTrelResumeOperation");
    const long buffers = std::count(s.begin(), s.end(), "TVekSuppliedBufferOperation");
    EXPECT_EQ(resumes, buffers > 0 ? 1 : 0);
    if (buffers > 0) {
      EXPECT_EQ(s[1], "TVekSuppliedBufferOperation");
      EXPECT_EQ(s[2], "TVekTrelResumeOperation");
    }
    EXPECT_EQ(static_cast<long>(s.size()), 2 + resumes + buffers);
  }
  for (const IPtr<IMoskAudioBuffer>& b : sink_.Buffers()) {
    ASSERT_EQ(b->GetCount(), 16);
  }
}

TEST_F(MoskAudioInThreaded, DestroyingWhileCapturingClosesTheDevice) {
  Install({ConstantDevice("Dev", 3)});
  for (int cycle = 0; cycle < 20; ++cycle) {
    TMoskAudioIn* in = Make(16);
    in->Loaded();
    if (cycle % 2 != 0) {
      ASSERT_TRUE(sink_.WaitForBuffers(1));
    }
    FreeAndNil(form_);
    ASSERT_EQ(backend_->OpenStreams(), 0) << "cycle " << cycle;
    FreeAndNil(sink_pin_);
    FreeAndNil(sink_owner_);
    sink_.Clear();
  }
  EXPECT_EQ(backend_->SuccessfulOpens(), 20);
}

}  // namespace

namespace {

TEST_F(MoskAudioInThreaded, AStopSentUpstreamDuringAPushStopsCaptureAndAllowsARestart) {
  Install({ConstantDevice("Dev", 4)});
  TMoskAudioIn* in = Make(16);
  StartAndStopFromPush(in, 3);
  const std::size_t buffers = sink_.BufferCount();
  EXPECT_EQ(buffers, 3u) << "nothing is pushed after the stop";

  in->SetEnabled(true);
  ASSERT_TRUE(sink_.WaitForBuffers(buffers + 5));
  in->SetEnabled(false);
  EXPECT_EQ(backend_->OpenStreams(), 0);
}

}  // namespace

namespace {

// The component's format at another sample rate.
WAVEFORMATEXTENSIBLE FormatAtRate(TMoskAudioIn* in, uint32_t rate) {
  WAVEFORMATEXTENSIBLE format = *in->GetAudioFormat()->GetWaveFormat();
  format.Format.nSamplesPerSec = rate;
  format.Format.nAvgBytesPerSec = rate * format.Format.nBlockAlign;
  return format;
}

// A start-wave sent upstream starts capture whole, from stopped or while
// running: blocks of the carried format flow, Enabled is True, and a later
// stop closes the device.
TEST_F(MoskAudioInThreaded, AStartWaveSentUpstreamStartsCapture) {
  for (const bool running : {false, true}) {
    SCOPED_TRACE(running ? "while running" : "from stopped");
    sink_.Clear();
    Install({ConstantDevice("Dev", 6)});
    TMoskAudioIn* in = Make(16);
    if (running) {
      in->Loaded();
      ASSERT_TRUE(sink_.WaitForBuffers(1));
    } else {
      in->SetEnabled(false);
    }
    const WAVEFORMATEXTENSIBLE format = FormatAtRate(in, 8000);
    IPtr<IVekNotifyOperation> start = NewOperation<TVekStartWaveOperation>(&format, 1.0f);
    in->GetOutputPin()->Receive(MoskAudioBufferType, start.get(), 0);
    // A running stream has ended by now: every later buffer is of the new one.
    const std::size_t before = sink_.BufferCount();
    EXPECT_TRUE(in->GetEnabled());
    EXPECT_NE(in->OpenDevice(), HWAVEIN{});
    ASSERT_TRUE(sink_.WaitForBuffers(before + 5));
    const std::vector<IPtr<IMoskAudioBuffer>> buffers = sink_.Buffers();
    for (std::size_t i = before; i < buffers.size(); ++i) {
      ASSERT_EQ(buffers[i]->GetSampleRate(), 8000u) << "buffer " << i;
    }
    EXPECT_EQ(backend_->OpenStreams(), 1);

    in->SetEnabled(false);
    EXPECT_FALSE(in->GetEnabled());
    EXPECT_EQ(in->OpenDevice(), HWAVEIN{});
    EXPECT_EQ(in->QueuedBlockCount(), 0u);
    EXPECT_EQ(backend_->OpenStreams(), 0);
    const std::vector<std::vector<std::string>> streams = Streams(sink_.Log());
    ASSERT_EQ(streams.size(), running ? 2u : 1u);
    for (const std::vector<std::string>& s : streams) {
      EXPECT_EQ(s.back(), "TVekEndStopOperation");
    }
    EXPECT_EQ(std::count(streams.back().begin(), streams.back().end(), "TVekTrelResumeOperation"),
              1);
    TearDown();
  }
}

// A stop sent upstream from the first push of a start ends the stream with
// its end stop: no resume follows, and a sink linked afterwards is told of
// none.
TEST_F(MoskAudioInThreaded, AStopFromTheFirstPushLeavesNoResumeBehind) {
  Install({ConstantDevice("Dev", 7)});
  TMoskAudioIn* in = Make(16);
  StartAndStopFromPush(in, 1);
  const std::vector<std::string> log = sink_.Log();
  EXPECT_EQ(std::count(log.begin(), log.end(), "TVekTrelResumeOperation"), 0);
  const auto endStop = std::find(log.begin(), log.end(), "TVekEndStopOperation");
  ASSERT_NE(endStop, log.end());
  EXPECT_EQ(std::count(log.begin(), endStop, "TVekSuppliedBufferOperation"), 1);
  for (auto it = endStop; it != log.end(); ++it) {
    EXPECT_TRUE(*it == "TVekEndStopOperation" || *it == "TVekStopOperation") << *it;
  }

  TCaptureSink late;
  auto* latePin = Create<TMoskVekAudioSinkPin>(sink_owner_, late.Handler());
  ASSERT_TRUE(latePin->Connect(in->GetOutputPin()));
  const std::vector<std::string> lateLog = late.Log();
  EXPECT_EQ(std::count(lateLog.begin(), lateLog.end(), "TVekTrelResumeOperation"), 0);
  latePin->Free();
}

// One thread switches capture with SetEnabled, another through a state pin
// linked to EnablePin, while blocks flow: every stop and open are whole, and
// in the end no device is left open and no block left with a device.
TEST_F(MoskAudioInThreaded, StartAndStopFromTwoThreadsLeaveNoDeviceOpen) {
  kestrune::ScriptedDeviceScript script = ConstantDevice("Dev", 8);
  script.framesPerRead = 16;
  Install({script});
  TMoskAudioIn* in = Make(16);
  in->SetEnabled(false);
  auto* peer = Create<TVekBoolStatePin>(sink_owner_);
  ASSERT_TRUE(peer->ConnectState(in->GetEnablePin()));

  constexpr int kCycles = 150;
  std::thread second([&] {
    for (int i = 0; i < kCycles; ++i) {
      peer->SetValue(i % 2 == 0);
    }
    peer->SetValue(false);
  });
  for (int i = 0; i < kCycles; ++i) {
    in->SetEnabled(i % 2 != 0);
  }
  second.join();
  in->SetEnabled(false);
  EXPECT_FALSE(in->GetEnabled());
  EXPECT_EQ(in->OpenDevice(), HWAVEIN{});
  EXPECT_EQ(in->QueuedBlockCount(), 0u);
  EXPECT_EQ(backend_->OpenStreams(), 0);
  for (const std::vector<std::string>& s : Streams(sink_.Log())) {
    EXPECT_EQ(s.back(), "TVekEndStopOperation");
    EXPECT_LE(std::count(s.begin(), s.end(), "TVekTrelResumeOperation"), 1);
  }
  peer->Free();
}

// The device disappears 40 frames into the sixth block, refuses three
// reopens and opens again: capture goes on by itself in the same stream (no
// second start-wave, no second resume, no end stop until the stop), every
// pushed buffer is whole input of one stream, and the sixth holds the
// reopened stream's input from its start.
TEST_F(MoskAudioInThreaded, CaptureGoesOnAfterTheDeviceComesBack) {
  constexpr int32_t kFrames = 64;
  kestrune::ScriptedDeviceScript script;
  script.name = "Counting";
  script.signal = kestrune::CountingSignal();
  script.framesPerRead = 16;
  script.endAfterFrames = 5 * kFrames + 40;
  script.disappearAtEnd = true;
  script.openResults = {MMSYSERR_NOERROR, MMSYSERR_NODRIVER, MMSYSERR_NODRIVER, MMSYSERR_NODRIVER};
  Install({script});
  backend_->SetReopenInterval(std::chrono::milliseconds(20));
  TMoskAudioIn* in = Make(kFrames);
  in->GetDevice()->SetDeviceName("Counting");
  in->Loaded();
  ASSERT_TRUE(sink_.WaitForBuffers(12));
  in->SetEnabled(false);
  EXPECT_EQ(backend_->OpenAttempts(), 5);

  // Frame f, left channel, carries 2 f. The first twelve buffers: the
  // device keeps 40 blocks, so their input has no gap but the loss.
  std::vector<IPtr<IMoskAudioBuffer>> buffers = sink_.Buffers();
  buffers.resize(12);
  std::vector<int32_t> firstFrames;
  for (const IPtr<IMoskAudioBuffer>& b : buffers) {
    ASSERT_EQ(b->GetCount(), kFrames);
    const int32_t first = b->GetSample(0, 0) / 2;
    for (int32_t f = 0; f < kFrames; ++f) {
      ASSERT_EQ(b->GetSample(f, 0), 2 * (first + f)) << "an unbroken stretch";
      ASSERT_EQ(b->GetSample(f, 1), 2 * (first + f) + 1);
    }
    firstFrames.push_back(first);
  }
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(firstFrames[i], i * kFrames);
  }
  EXPECT_EQ(firstFrames[5], 0) << "the reopened stream from its start";
  for (std::size_t i = 6; i < firstFrames.size(); ++i) {
    EXPECT_EQ(firstFrames[i], firstFrames[i - 1] + kFrames);
  }
  const std::vector<std::vector<std::string>> streams = Streams(sink_.Log());
  ASSERT_EQ(streams.size(), 1u);
  EXPECT_EQ(std::count(streams[0].begin(), streams[0].end(), "TVekTrelResumeOperation"), 1);
  EXPECT_EQ(std::count(streams[0].begin(), streams[0].end(), "TVekEndStopOperation"), 1);
  EXPECT_EQ(streams[0].back(), "TVekEndStopOperation");
  EXPECT_EQ(backend_->OpenStreams(), 0);
}

// The device name changes on one thread while another starts and stops
// capture, as the window renames while a start arrives through EnablePin or
// from upstream: each start opens the device named before it or after it,
// and a name stored while capture runs is the one the next start opens.
TEST_F(MoskAudioInThreaded, RenamingWhileAnotherThreadStartsOpensANamedDevice) {
  Install({ConstantDevice("Left", 11), ConstantDevice("Right", 22)});
  TMoskAudioIn* in = Make(16);
  in->SetEnabled(false);
  // Every buffer holds the constant of one named device only.
  std::atomic<int> foreign{0};
  sink_.onBuffer = [&](IMoskAudioBuffer* b) {
    const int32_t value = b->GetSample(0, 0);
    if (value != 11 && value != 22) {
      ++foreign;
    }
  };

  constexpr int kCycles = 200;
  std::atomic<bool> switching{true};
  std::thread starter([&] {
    for (int i = 0; i < kCycles; ++i) {
      in->SetEnabled(true);
      in->SetEnabled(false);
    }
    switching = false;
  });
  for (int i = 0; switching; ++i) {
    in->GetDevice()->SetDeviceName(i % 2 == 0 ? "Left" : "Right");
    EXPECT_FALSE(in->GetDevice()->GetDeviceName().empty());
  }
  starter.join();
  EXPECT_EQ(foreign.load(), 0);
  EXPECT_EQ(in->OpenDevice(), HWAVEIN{});

  // Renamed while running: the running capture stays, the next start opens
  // the new name.
  in->GetDevice()->SetDeviceName("Left");
  sink_.Clear();
  in->SetEnabled(true);
  in->GetDevice()->SetDeviceName("Right");
  ASSERT_TRUE(sink_.WaitForBuffers(3));
  in->SetEnabled(false);
  for (const IPtr<IMoskAudioBuffer>& b : sink_.Buffers()) {
    EXPECT_EQ(b->GetSample(0, 0), 11);
  }
  sink_.Clear();
  in->SetEnabled(true);
  ASSERT_TRUE(sink_.WaitForBuffers(1));
  EXPECT_EQ(sink_.Buffers().front()->GetSample(0, 0), 22);
  in->SetEnabled(false);
}

// Components destroyed under the global write lock while their wave thread
// may be waiting for that lock, with a main loop that never runs: the device
// is closed at once, and no wave thread is left behind once the pending ends
// are joined.
TEST_F(MoskAudioInThreaded, DestroyingUnderTheGlobalWriteLockEndsTheWaveThreadWithoutTheMainLoop) {
  kestrune::MainLoop loop;  // present, never run
  Install({ConstantDevice("Dev", 3)});
  for (int cycle = 0; cycle < 10; ++cycle) {
    TMoskAudioIn* in = Make(16);
    in->Loaded();
    ASSERT_TRUE(sink_.WaitForBuffers(1));
    {
      auto write = EnterGlobalWriteSection();
      // Let the device finish another block, which the wave thread then
      // waits to push.
      const uint64_t read = backend_->FramesRead();
      ASSERT_TRUE(Eventually([&] { return backend_->FramesRead() > read + 16; }));
      FreeAndNil(form_);
    }
    ASSERT_EQ(backend_->OpenStreams(), 0) << "cycle " << cycle;
    FreeAndNil(sink_pin_);
    FreeAndNil(sink_owner_);
    sink_.Clear();
  }
  // No component is left: the only wave threads still there are pending.
  EXPECT_EQ(static_cast<std::size_t>(TMoskWaveThread::LiveCount()), MoskPendingWaveThreadCount());
  MoskEndPendingWaveThreads();
  EXPECT_EQ(MoskPendingWaveThreadCount(), 0u);
  EXPECT_EQ(TMoskWaveThread::LiveCount(), 0);
}

}  // namespace
