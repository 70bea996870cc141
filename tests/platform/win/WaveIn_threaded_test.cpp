// Waveform-audio input under contention: buffers added from several threads
// while the reading thread fills them, resets racing the reader, calls
// racing a close, and a device that disappears and is opened again on the
// reading thread. Also run under ThreadSanitizer.
#include "platform/win/WaveIn.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

#include "platform/win/ScriptedWaveIn.h"
#include "platform/win/WaveInBackend.h"
#include "tests/platform/win/WaveInTestSupport.h"

namespace {

using kestrune::ScriptedDeviceScript;
using kestrune::ScriptedWaveInBackend;
using kestrune::WaveInFormat;
using wavein_test::HoldsCountingSignal;
using wavein_test::MakeBuffers;
using wavein_test::PcmFormat;
using wavein_test::RawSample;
using wavein_test::Recorder;
using wavein_test::TestBuffer;

constexpr UINT kHeaderSize = sizeof(WAVEHDR);

// 32-bit mono: every sample is its own frame number, so positions never wrap.
const WAVEFORMATEX kFormat = PcmFormat(1, 44100, 32);

class WaveInThreadedTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(kestrune::ParseWaveFormat(kFormat, format_));
    ScriptedDeviceScript script;
    script.signal = kestrune::CountingSignal();
    script.framesPerRead = 37;  // reads end inside buffers
    backend_ = std::make_shared<ScriptedWaveInBackend>(std::vector<ScriptedDeviceScript>{script});
    kestrune::SetWaveInBackend(backend_);
  }
  void TearDown() override { kestrune::SetWaveInBackend(nullptr); }

  WaveInFormat format_;
  std::shared_ptr<ScriptedWaveInBackend> backend_;
};

TEST_F(WaveInThreadedTest, BuffersAddedFromTwoThreadsAtOnce) {
  constexpr int kThreads = 2;
  constexpr int kBuffersPerThread = 4;
  constexpr int kRounds = 150;

  // Each thread owns its buffers and hands them back as they return.
  struct Owner {
    std::vector<std::unique_ptr<TestBuffer>> buffers;
    std::atomic<int> returned{0};
  };
  Owner owners[kThreads];
  std::map<const WAVEHDR*, int> ownerOf;
  for (int t = 0; t < kThreads; ++t) {
    owners[t].buffers = MakeBuffers(kBuffersPerThread, 4 * 100);
    for (auto& buffer : owners[t].buffers)
      ownerOf[&buffer->header] = t;
  }
  // Checked as each buffer returns (the reading thread only; read after the
  // reset): each holds one unbroken stretch of input, and the stretches
  // follow the order in which the buffers returned.
  std::vector<uint32_t> firstFrames;
  int broken = 0;
  Recorder recorder;
  recorder.onData = [&](WAVEHDR* header) {
    const uint32_t first = RawSample(format_, header->lpData, 0);
    if (!HoldsCountingSignal(format_, header->lpData, header->dwBytesRecorded, first))
      ++broken;
    firstFrames.push_back(first);
    ++owners[ownerOf.at(header)].returned;  // last: the owner may re-add it now
  };

  HWAVEIN handle{};
  ASSERT_EQ(waveInOpen(&handle, WAVE_MAPPER, &kFormat, &Recorder::Callback, recorder.Instance(),
                       CALLBACK_FUNCTION),
            MMSYSERR_NOERROR);
  for (auto& owner : owners) {
    for (auto& buffer : owner.buffers)
      ASSERT_EQ(waveInPrepareHeader(handle, &buffer->header, kHeaderSize), MMSYSERR_NOERROR);
  }
  ASSERT_EQ(waveInStart(handle), MMSYSERR_NOERROR);

  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      Owner& owner = owners[t];
      for (int round = 0; round < kRounds; ++round) {
        for (auto& buffer : owner.buffers)
          EXPECT_EQ(waveInAddBuffer(handle, &buffer->header, kHeaderSize), MMSYSERR_NOERROR);
        const int target = (round + 1) * kBuffersPerThread;
        while (owner.returned.load() < target)
          std::this_thread::yield();
      }
    });
  }
  for (auto& thread : threads)
    thread.join();

  const auto returned = recorder.Returned();
  ASSERT_EQ(returned.size(), size_t{kThreads * kBuffersPerThread * kRounds});
  ASSERT_EQ(waveInReset(handle), MMSYSERR_NOERROR);
  EXPECT_EQ(recorder.DataCount(), returned.size()) << "nothing was left queued";
  EXPECT_EQ(broken, 0);
  const DWORD frames = returned[0].header->dwBufferLength / 4;
  for (size_t i = 1; i < firstFrames.size(); ++i)
    EXPECT_GE(firstFrames[i], firstFrames[i - 1] + frames) << "stretches overlap at " << i;
  for (const auto& r : returned) {
    EXPECT_EQ(r.bytesRecorded, frames * 4);
    EXPECT_EQ(r.flags & (WHDR_DONE | WHDR_INQUEUE), WHDR_DONE);
  }
  for (auto& owner : owners) {
    for (auto& buffer : owner.buffers)
      EXPECT_EQ(waveInUnprepareHeader(handle, &buffer->header, kHeaderSize), MMSYSERR_NOERROR);
  }
  EXPECT_EQ(waveInClose(handle), MMSYSERR_NOERROR);
}

TEST_F(WaveInThreadedTest, ResetRacesTheReader) {
  std::mt19937 random(20240611);
  for (int round = 0; round < 200; ++round) {
    SCOPED_TRACE(round);
    // Each buffer, when it returns, records where its data started, then the
    // sentinel goes in; a later write by the layer would show.
    Recorder recorder;
    std::atomic<int> returnedCount{0};
    std::vector<std::pair<uint32_t, DWORD>> seen;  // first sample, bytes; reader thread only
    recorder.onData = [&](WAVEHDR* header) {
      seen.emplace_back(header->dwBytesRecorded ? RawSample(format_, header->lpData, 0) : 0,
                        header->dwBytesRecorded);
      ASSERT_TRUE(HoldsCountingSignal(format_, header->lpData, header->dwBytesRecorded,
                                      RawSample(format_, header->lpData, 0)));
      std::fill(header->lpData, header->lpData + header->dwBufferLength, '\x5A');
      ++returnedCount;
    };
    HWAVEIN handle{};
    ASSERT_EQ(waveInOpen(&handle, WAVE_MAPPER, &kFormat, &Recorder::Callback, recorder.Instance(),
                         CALLBACK_FUNCTION),
              MMSYSERR_NOERROR);
    // Six buffers queued before the start, six more added by another thread
    // while the reset runs: each of those is returned by this reset or stays
    // queued for the next one.
    auto buffers = MakeBuffers(12, 4 * 256);
    for (auto& buffer : buffers)
      ASSERT_EQ(waveInPrepareHeader(handle, &buffer->header, kHeaderSize), MMSYSERR_NOERROR);
    for (size_t i = 0; i < 6; ++i)
      ASSERT_EQ(waveInAddBuffer(handle, &buffers[i]->header, kHeaderSize), MMSYSERR_NOERROR);
    ASSERT_EQ(waveInStart(handle), MMSYSERR_NOERROR);
    std::thread adder([&] {
      for (size_t i = 6; i < buffers.size(); ++i)
        EXPECT_EQ(waveInAddBuffer(handle, &buffers[i]->header, kHeaderSize), MMSYSERR_NOERROR);
    });
    std::this_thread::sleep_for(std::chrono::microseconds(random() % 300));
    ASSERT_EQ(waveInReset(handle), MMSYSERR_NOERROR);
    adder.join();
    ASSERT_EQ(waveInReset(handle), MMSYSERR_NOERROR);

    // Both resets have returned: every buffer came back once, nothing is
    // queued, nothing is being written.
    const int returned = returnedCount.load();
    EXPECT_EQ(returned, static_cast<int>(buffers.size()));
    for (auto& buffer : buffers) {
      EXPECT_TRUE(std::all_of(buffer->data.begin(), buffer->data.end(),
                              [](char c) { return c == '\x5A'; }));
      EXPECT_EQ(buffer->header.dwFlags & (WHDR_DONE | WHDR_INQUEUE), WHDR_DONE);
    }
    // Stretches follow one another.
    uint32_t last = 0;
    for (const auto& [first, bytes] : seen) {
      if (bytes == 0)
        continue;
      EXPECT_GE(first, last);
      last = first + bytes / 4;
    }
    for (auto& buffer : buffers)
      EXPECT_EQ(waveInUnprepareHeader(handle, &buffer->header, kHeaderSize), MMSYSERR_NOERROR);
    ASSERT_EQ(waveInClose(handle), MMSYSERR_NOERROR);
    EXPECT_EQ(recorder.DataCount(), static_cast<size_t>(returned));
    EXPECT_EQ(recorder.Messages().back(), WIM_CLOSE);
  }
}

TEST_F(WaveInThreadedTest, CallsRacingACloseSeeTheHandleLiveOrDead) {
  for (int round = 0; round < 100; ++round) {
    SCOPED_TRACE(round);
    HWAVEIN handle{};
    ASSERT_EQ(waveInOpen(&handle, WAVE_MAPPER, &kFormat, nullptr, 0, CALLBACK_NULL),
              MMSYSERR_NOERROR);
    TestBuffer buffer(4 * 64);
    std::atomic<bool> closed{false};
    std::thread caller([&] {
      bool sawDead = false;
      while (!sawDead) {
        const bool closedBefore = closed.load();
        const MMRESULT prepared = waveInPrepareHeader(handle, &buffer.header, kHeaderSize);
        const MMRESULT added = waveInAddBuffer(handle, &buffer.header, kHeaderSize);
        const MMRESULT started = waveInStart(handle);
        kestrune::WaveInStatistics statistics;
        const MMRESULT read = kestrune::GetWaveInStatistics(handle, statistics);
        for (MMRESULT result : {prepared, added, started, read}) {
          EXPECT_TRUE(result == MMSYSERR_NOERROR || result == MMSYSERR_INVALHANDLE ||
                      result == WAVERR_STILLPLAYING)
              << result;
        }
        if (closedBefore) {
          EXPECT_EQ(read, MMSYSERR_INVALHANDLE);
        }
        sawDead = read == MMSYSERR_INVALHANDLE;
      }
    });
    // Close refuses while the caller's buffer is queued; reset and try again.
    for (;;) {
      const MMRESULT result = waveInClose(handle);
      if (result == MMSYSERR_NOERROR)
        break;
      ASSERT_EQ(result, WAVERR_STILLPLAYING);
      ASSERT_EQ(waveInReset(handle), MMSYSERR_NOERROR);
    }
    closed = true;
    caller.join();
    EXPECT_EQ(waveInReset(handle), MMSYSERR_INVALHANDLE);
  }
  EXPECT_EQ(backend_->OpenStreams(), 0);
}

// The handle value the next open will return: handles are handed out in
// order, and this test binary opens devices one at a time.
HWAVEIN NextHandle() {
  HWAVEIN probe{};
  EXPECT_EQ(waveInOpen(&probe, WAVE_MAPPER, &kFormat, nullptr, 0, CALLBACK_NULL), MMSYSERR_NOERROR);
  EXPECT_EQ(waveInClose(probe), MMSYSERR_NOERROR);
  return HWAVEIN{static_cast<uint64_t>(probe) + 1};
}

// The WIM_OPEN callback has another thread close the handle while the open
// waits for that callback: the close is refused, the open returns a live
// handle, and that handle closes normally afterwards.
TEST_F(WaveInThreadedTest, CloseIsRefusedWhileTheOpenHasNotReturned) {
  struct Closer {
    std::mutex mutex;
    std::condition_variable changed;
    HWAVEIN asked{};
    bool answered = false;
    MMRESULT result = MMSYSERR_ERROR;
    std::thread thread;
  } closer;
  closer.thread = std::thread([&] {
    std::unique_lock lock(closer.mutex);
    closer.changed.wait(lock, [&] { return closer.asked != HWAVEIN{}; });
    const HWAVEIN asked = closer.asked;
    lock.unlock();
    const MMRESULT result = waveInClose(asked);
    lock.lock();
    closer.result = result;
    closer.answered = true;
    closer.changed.notify_all();
  });
  auto onMessage = [](HWAVEIN device, UINT msg, DWORD_PTR instance, DWORD_PTR, DWORD_PTR) {
    auto& c = *reinterpret_cast<Closer*>(instance);
    if (msg != WIM_OPEN)
      return;
    std::unique_lock lock(c.mutex);
    c.asked = device;
    c.changed.notify_all();
    // Bounded, so that a close that waits for this thread shows as a
    // failure rather than a hang.
    c.changed.wait_for(lock, std::chrono::seconds(10), [&] { return c.answered; });
  };

  HWAVEIN handle{};
  ASSERT_EQ(waveInOpen(&handle, WAVE_MAPPER, &kFormat, onMessage,
                       reinterpret_cast<DWORD_PTR>(&closer), CALLBACK_FUNCTION),
            MMSYSERR_NOERROR);
  closer.thread.join();
  EXPECT_TRUE(closer.answered);
  EXPECT_EQ(closer.result, MMSYSERR_INVALHANDLE);
  EXPECT_EQ(closer.asked, handle);
  kestrune::WaveInStatistics statistics;
  EXPECT_EQ(kestrune::GetWaveInStatistics(handle, statistics), MMSYSERR_NOERROR);
  EXPECT_EQ(waveInClose(handle), MMSYSERR_NOERROR);
  EXPECT_EQ(backend_->OpenStreams(), 0);
}

// Another thread closes the handle value the next open will return, over and
// over from before the open begins: it succeeds only on a handle the open has
// returned, exactly once, and the device's messages are one WIM_OPEN, then
// one WIM_CLOSE.
TEST_F(WaveInThreadedTest, ClosingTheHandleAnOpenIsAboutToReturn) {
  for (int round = 0; round < 200; ++round) {
    SCOPED_TRACE(round);
    const HWAVEIN next = NextHandle();
    Recorder recorder;
    std::atomic<bool> stop{false};
    std::atomic<bool> closedThere{false};
    std::thread closer([&] {
      while (!stop.load()) {
        const MMRESULT result = waveInClose(next);
        if (result == MMSYSERR_NOERROR) {
          closedThere = true;
          return;
        }
        EXPECT_EQ(result, MMSYSERR_INVALHANDLE);
      }
    });
    HWAVEIN handle{};
    ASSERT_EQ(waveInOpen(&handle, WAVE_MAPPER, &kFormat, &Recorder::Callback, recorder.Instance(),
                         CALLBACK_FUNCTION),
              MMSYSERR_NOERROR);
    EXPECT_EQ(handle, next);
    if (round % 2 == 0)
      std::this_thread::yield();  // now and then leave the closer a moment
    stop = true;
    closer.join();
    EXPECT_EQ(waveInClose(handle), closedThere ? MMSYSERR_INVALHANDLE : MMSYSERR_NOERROR);
    EXPECT_EQ(recorder.Messages(), (std::vector<UINT>{WIM_OPEN, WIM_CLOSE}));
  }
  EXPECT_EQ(backend_->OpenStreams(), 0);
}

// ---------------------------------------------------------------------------
// A device that disappears while capture runs.

// Polls `done` for up to 10 s.
bool Eventually(const std::function<bool()>& done) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!done()) {
    if (std::chrono::steady_clock::now() > end)
      return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

kestrune::WaveInStatistics Statistics(HWAVEIN handle) {
  kestrune::WaveInStatistics statistics;
  EXPECT_EQ(kestrune::GetWaveInStatistics(handle, statistics), MMSYSERR_NOERROR);
  return statistics;
}

// How the first stream of a LostDeviceTest fails.
enum class Failure {
  Disappears,  // its reads answer Gone
  Overruns,    // every read answers an overrun at once, without end
};

class LostDeviceTest : public ::testing::Test {
 protected:
  // Buffers of 300 frames; the device fails as `failure` says 120 frames
  // into the third and answers its opens with `opens` (the first must
  // succeed), then with `later`. `paced`: the stream says it is paced.
  // `overrunsAt`: where its first stream overruns before it fails (each
  // overrun skips one read's worth of input, kRead frames).
  void Install(std::vector<MMRESULT> opens, MMRESULT later, Failure failure = Failure::Disappears,
               bool paced = false, std::vector<uint64_t> overrunsAt = {}) {
    ASSERT_TRUE(kestrune::ParseWaveFormat(kFormat, format_));
    ScriptedDeviceScript script;
    script.signal = kestrune::CountingSignal();
    script.framesPerRead = kRead;
    script.endAfterFrames = 2 * kFrames + 120 + kRead * overrunsAt.size();
    script.overrunsAt = std::move(overrunsAt);
    script.disappearAtEnd = failure == Failure::Disappears;
    script.overrunsAtEnd = failure == Failure::Overruns;
    script.paced = paced;
    script.openResults = std::move(opens);
    script.openResult = later;
    backend_ = std::make_shared<ScriptedWaveInBackend>(std::vector<ScriptedDeviceScript>{script});
    kestrune::SetWaveInBackend(backend_);
  }
  void TearDown() override { kestrune::SetWaveInBackend(nullptr); }

  // Opens the device, queues `count` buffers and starts.
  HWAVEIN OpenAndStart(size_t count) {
    HWAVEIN handle{};
    EXPECT_EQ(waveInOpen(&handle, 0, &kFormat, &Recorder::Callback, recorder_->Instance(),
                         CALLBACK_FUNCTION),
              MMSYSERR_NOERROR);
    buffers_ = MakeBuffers(count, 4 * kFrames);
    for (auto& buffer : buffers_) {
      EXPECT_EQ(waveInPrepareHeader(handle, &buffer->header, kHeaderSize), MMSYSERR_NOERROR);
      EXPECT_EQ(waveInAddBuffer(handle, &buffer->header, kHeaderSize), MMSYSERR_NOERROR);
    }
    EXPECT_EQ(waveInStart(handle), MMSYSERR_NOERROR);
    return handle;
  }

  void Finish(HWAVEIN handle) {
    EXPECT_EQ(waveInReset(handle), MMSYSERR_NOERROR);
    for (auto& buffer : buffers_)
      EXPECT_EQ(waveInUnprepareHeader(handle, &buffer->header, kHeaderSize), MMSYSERR_NOERROR);
    EXPECT_EQ(waveInClose(handle), MMSYSERR_NOERROR);
    EXPECT_EQ(backend_->OpenStreams(), 0);
  }

  // Runs `call` on another thread and answers whether it returned within
  // 10 s (it is joined either way).
  static bool ReturnsSoon(const std::function<void()>& call) {
    std::atomic<bool> returned{false};
    std::thread caller([&] {
      call();
      returned = true;
    });
    const bool soon = Eventually([&] { return returned.load(); });
    caller.join();
    return soon;
  }

  static constexpr uint32_t kFrames = 300;
  static constexpr uint32_t kRead = 50;
  WaveInFormat format_;
  std::shared_ptr<ScriptedWaveInBackend> backend_;
  std::unique_ptr<Recorder> recorder_ = std::make_unique<Recorder>();
  std::vector<std::unique_ptr<TestBuffer>> buffers_;
};

// The stream fails 120 frames into the third buffer; the device refuses
// three reopens, then opens: the four buffers come back full and in queue
// order, the first two with the first stream's input, the third and fourth
// with the reopened stream's from its start (none of the 120 frames before
// the gap), and the opens were tried one interval apart.
TEST_F(LostDeviceTest, ReopenedAfterThreeRefusalsAndBuffersResumeInOrder) {
  Install({MMSYSERR_NOERROR, MMSYSERR_NODRIVER, MMSYSERR_NODRIVER, MMSYSERR_NODRIVER},
          MMSYSERR_NOERROR);
  constexpr std::chrono::milliseconds kInterval{40};
  backend_->SetReopenInterval(kInterval);
  const HWAVEIN handle = OpenAndStart(4);
  ASSERT_TRUE(recorder_->WaitForData(4));

  const auto returned = recorder_->Returned();
  ASSERT_EQ(returned.size(), 4u);
  const uint64_t firstFrames[] = {0, kFrames, 0, kFrames};
  for (size_t i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(returned[i].header, &buffers_[i]->header);
    EXPECT_EQ(returned[i].bytesRecorded, 4 * kFrames);
    EXPECT_TRUE(
        HoldsCountingSignal(format_, buffers_[i]->data.data(), 4 * kFrames, firstFrames[i]));
  }
  const kestrune::WaveInStatistics statistics = Statistics(handle);
  EXPECT_FALSE(statistics.deviceLost);
  EXPECT_EQ(statistics.losses, 1u);
  EXPECT_EQ(statistics.reopens, 1u);
  EXPECT_EQ(backend_->OpenAttempts(), 5);
  EXPECT_EQ(backend_->SuccessfulOpens(), 2);
  const auto times = backend_->OpenAttemptTimes();
  ASSERT_EQ(times.size(), 5u);
  for (size_t i = 2; i < times.size(); ++i)
    EXPECT_GE(times[i] - times[i - 1], kInterval) << "attempt " << i;

  // Capture goes on into buffers added again: each holds one unbroken
  // stretch, later than the one before (input is dropped between the rounds).
  for (auto& buffer : buffers_)
    ASSERT_EQ(waveInAddBuffer(handle, &buffer->header, kHeaderSize), MMSYSERR_NOERROR);
  ASSERT_TRUE(recorder_->WaitForData(8));
  uint32_t previous = kFrames;
  for (auto& buffer : buffers_) {
    const uint32_t first = RawSample(format_, buffer->data.data(), 0);
    EXPECT_GE(first, previous + kFrames);
    EXPECT_TRUE(HoldsCountingSignal(format_, buffer->data.data(), 4 * kFrames, first));
    previous = first;
  }
  EXPECT_EQ(backend_->OpenStreams(), 1);
  Finish(handle);
}

// A reset or a close while the device is away ends the retries at once,
// also when the next one is an hour off: the reset returns the buffers
// (empty), no open is tried after it, and the device closes.
TEST_F(LostDeviceTest, ResetOrCloseDuringTheRetriesEndsThemAtOnce) {
  for (const bool closeOnly : {false, true}) {
    SCOPED_TRACE(closeOnly ? "close" : "reset");
    Install({MMSYSERR_NOERROR}, MMSYSERR_NODRIVER);
    backend_->SetReopenInterval(std::chrono::milliseconds(5));
    // Without buffers the input is dropped, and the device disappears all
    // the same.
    const HWAVEIN handle = OpenAndStart(closeOnly ? 0 : 4);
    ASSERT_TRUE(Eventually([&] { return backend_->OpenAttempts() >= 4; }));
    backend_->SetReopenInterval(std::chrono::hours(1));
    // One more refused reopen: the reader now waits for the next.
    const int seen = backend_->OpenAttempts();
    ASSERT_TRUE(Eventually([&] { return backend_->OpenAttempts() > seen; }));
    EXPECT_TRUE(Statistics(handle).deviceLost);

    if (closeOnly) {
      EXPECT_TRUE(ReturnsSoon([&] { EXPECT_EQ(waveInClose(handle), MMSYSERR_NOERROR); }));
      EXPECT_EQ(recorder_->Messages().back(), WIM_CLOSE);
    } else {
      EXPECT_TRUE(ReturnsSoon([&] { EXPECT_EQ(waveInReset(handle), MMSYSERR_NOERROR); }));
      const auto returned = recorder_->Returned();
      ASSERT_EQ(returned.size(), 4u);
      EXPECT_EQ(returned[2].bytesRecorded, 0u);
      EXPECT_EQ(returned[3].bytesRecorded, 0u);
      backend_->SetReopenInterval(std::chrono::milliseconds(5));
      const int after = backend_->OpenAttempts();
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      EXPECT_EQ(backend_->OpenAttempts(), after) << "no open after the reset";
      Finish(handle);
    }
    EXPECT_EQ(backend_->OpenStreams(), 0);
    recorder_ = std::make_unique<Recorder>();
  }
}

// A stream that breaks as PipeWire's does when its server restarts: from
// 120 frames into the third buffer on, every read answers at once with an
// overrun and brings nothing. Before that it overruns in two runs of one
// fewer than kWaveInOverrunsMeaningLost, with input between them, inside
// the first buffer: those are no loss. The broken stream's overruns are:
// after kWaveInOverrunsMeaningLost of them the stream is closed and the
// device opened again at the interval, as one that disappeared (the first
// reopen is refused, the second opens). So the broken stream is read those
// few times only, never in a loop, and capture resumes: with buffers queued
// they come back in order (the third and fourth from the reopened stream's
// start), and while the input is dropped (no buffer queued; a device that
// is not paced, and one that is, read in bursts) the device is opened again
// all the same.
TEST_F(LostDeviceTest, OverrunsInARowWithoutAFrameAreALoss) {
  constexpr uint64_t kRun = kestrune::kWaveInOverrunsMeaningLost - 1;
  // The first run at frame 100, the second one read (kRead frames) after
  // the first has skipped its input.
  constexpr uint64_t kSecondRunAt = 100 + kRun * kRead + kRead;
  std::vector<uint64_t> runs(kRun, 100);
  runs.insert(runs.end(), kRun, kSecondRunAt);
  constexpr uint64_t kSkipped = 2 * kRun * kRead;
  struct Case {
    size_t buffers;
    bool paced;
  };
  for (const Case c : {Case{4, false}, Case{0, false}, Case{0, true}}) {
    SCOPED_TRACE(testing::Message()
                 << c.buffers << " buffers, " << (c.paced ? "" : "not ") << "paced");
    Install({MMSYSERR_NOERROR, MMSYSERR_NODRIVER}, MMSYSERR_NOERROR, Failure::Overruns, c.paced,
            runs);
    constexpr std::chrono::milliseconds kInterval{40};
    backend_->SetReopenInterval(kInterval);
    const HWAVEIN handle = OpenAndStart(c.buffers);
    const bool reopened = c.buffers > 0
                              ? recorder_->WaitForData(c.buffers)
                              : Eventually([&] { return Statistics(handle).reopens > 0; });
    const kestrune::WaveInStatistics statistics = Statistics(handle);
    EXPECT_TRUE(reopened) << "the broken stream was read " << backend_->OverrunsReported()
                          << " times and the device opened " << backend_->OpenAttempts()
                          << " times";
    const uint64_t overruns = 2 * kRun + kestrune::kWaveInOverrunsMeaningLost;
    EXPECT_EQ(backend_->OverrunsReported(), overruns);
    EXPECT_EQ(statistics.overruns, overruns);
    EXPECT_EQ(statistics.losses, 1u);
    EXPECT_EQ(statistics.reopens, 1u);
    EXPECT_FALSE(statistics.deviceLost);
    EXPECT_EQ(backend_->OpenAttempts(), 3);
    EXPECT_EQ(backend_->SuccessfulOpens(), 2);
    const auto times = backend_->OpenAttemptTimes();
    if (times.size() == 3) {
      EXPECT_GE(times[2] - times[1], kInterval);
    }
    EXPECT_EQ(backend_->OpenStreams(), 1) << "the broken stream is closed";
    if (reopened && c.buffers > 0) {
      const auto returned = recorder_->Returned();
      ASSERT_EQ(returned.size(), 4u);
      for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(returned[i].header, &buffers_[i]->header) << i;
        EXPECT_EQ(returned[i].bytesRecorded, 4 * kFrames) << i;
      }
      // The first buffer: the input around the two runs' gaps.
      const char* first = buffers_[0]->data.data();
      EXPECT_TRUE(HoldsCountingSignal(format_, first, 4 * 100, 0));
      EXPECT_TRUE(HoldsCountingSignal(format_, first + 4 * 100, 4 * kRead, 100 + kRun * kRead));
      EXPECT_TRUE(HoldsCountingSignal(format_, first + 4 * (100 + kRead),
                                      4 * (kFrames - 100 - kRead), kSecondRunAt + kRun * kRead));
      // Then the rest of the first stream, and the reopened one from its start.
      const uint64_t firstFrames[] = {kFrames + kSkipped, 0, kFrames};
      for (size_t i = 1; i < 4; ++i) {
        EXPECT_TRUE(
            HoldsCountingSignal(format_, buffers_[i]->data.data(), 4 * kFrames, firstFrames[i - 1]))
            << i;
      }
    }
    // The reset and the close are served as ever.
    Finish(handle);
    recorder_ = std::make_unique<Recorder>();
  }
}

}  // namespace
