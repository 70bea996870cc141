// A capture thread streams (start-wave, resume, buffers, end stop, again)
// while the main thread links and unlinks sinks: every sink hears a
// well-formed stream, whenever it was linked. Run under ThreadSanitizer too.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "tests/signal/core/StreamPinFixtures.h"

namespace {

using namespace streamtest;

// One sink's log. Written by the pushing thread under the sink's group lock;
// read by the main thread after the sink was unlinked (the unlink took the
// global write lock, so every push that reached the sink has ended).
struct TSinkLog {
  bool Handle(IVekBasicPin*, const TGUID&, uint8_t, IVekNotifyOperation* op) {
    Heard.push_back(op->GetObject()->ClassName());
    return false;
  }
  std::vector<std::string> Heard;
};

// True when `heard` is a stream a receiver can follow: no resume or buffer
// outside a started stream, and the unlink's stop last.
::testing::AssertionResult WellFormed(const std::vector<std::string>& heard) {
  bool started = false;
  for (size_t i = 0; i < heard.size(); ++i) {
    const std::string& op = heard[i];
    if (op == "TVekStartWaveOperation") {
      started = true;
    } else if (op == "TVekEndStopOperation") {
      started = false;
    } else if (op == "TVekStopOperation") {
      if (i + 1 != heard.size())
        return ::testing::AssertionFailure() << "heard something after the unlink's stop";
    } else if (!started) {
      return ::testing::AssertionFailure() << op << " at " << i << " outside a started stream";
    }
  }
  if (heard.empty() || heard.back() != "TVekStopOperation")
    return ::testing::AssertionFailure() << "the unlink's stop is missing";
  return ::testing::AssertionSuccess();
}

TEST_F(StreamPinTest, SinksLinkedWhileAStreamRunsHearAWellFormedStream) {
  auto* source = Pin<TMoskVekAudioSourcePin>("source");
  std::atomic<bool> done{false};
  std::thread capture([&] {
    const WAVEFORMATEXTENSIBLE format = TVekStartWaveOperation::DefaultFormat();
    while (!done.load()) {
      Push<TVekStartWaveOperation>(source, &format, 11025.0f);
      Push<TVekTrelResumeOperation>(source);
      for (int i = 0; i < 20; ++i)
        source->SendData(TTrelBlockBuffer::CreateSize(64).get());
      source->SendStop();
    }
  });

  int buffersHeard = 0;
  for (int round = 0; round < 200; ++round) {
    TSinkLog log;
    auto* sink = Create<TMoskVekAudioSinkPin>(owner_, TVekNotifyHandler(&log, &TSinkLog::Handle));
    ASSERT_TRUE(round % 2 == 0 ? sink->Connect(source) : source->Connect(sink));
    std::this_thread::sleep_for(std::chrono::microseconds(50));
    sink->Connect(nullptr);
    EXPECT_TRUE(WellFormed(log.Heard)) << "round " << round;
    for (const std::string& op : log.Heard)
      buffersHeard += op == "TVekSuppliedBufferOperation";
    sink->Free();
  }
  done.store(true);
  capture.join();
  EXPECT_GT(buffersHeard, 0) << "no link overlapped the stream";
}

}  // namespace
