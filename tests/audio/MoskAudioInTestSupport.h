// Shared pieces of the capture component's tests: the units, a thread-safe
// sink that keeps what the component pushes, and a scripted-backend fixture
// owning a form with the component on it.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "audio/MoskAudioIn.h"
#include "audio/MoskAudioUnit.h"
#include "platform/classes/ClassesUnit.h"
#include "platform/win/ScriptedWaveIn.h"
#include "platform/win/WaveInBackend.h"
#include "tests/signal/core/StreamPinFixtures.h"

namespace audiointest {

using namespace std::chrono_literals;

// The stream framework and the audio units; the units count their starts, so
// every test may call this.
inline void StartUnits() {
  streamtest::StartStreamFramework();
  ClassesUnit.Initialize();
  MoskAudioUnit.Initialize();
}

// Polls `done` for up to 10 s.
inline bool Eventually(const std::function<bool()>& done) {
  const auto end = std::chrono::steady_clock::now() + 10s;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) {
      return false;
    }
    std::this_thread::sleep_for(1ms);
  }
  return true;
}

// Keeps every operation that reaches a downstream audio sink, from any
// thread: the class names in order, the buffers and the start formats.
class TCaptureSink {
 public:
  bool Handle(IVekBasicPin*, const TGUID&, uint8_t flags, IVekNotifyOperation* op) {
    if ((flags & VekNotifySync) != 0 && OperationAs<TVekStartOperation>(op) == nullptr) {
      return false;
    }
    IPtr<IMoskAudioBuffer> buffer;
    if (auto* supplied = OperationAs<TVekSuppliedBufferOperation>(op)) {
      buffer = Supports<IMoskAudioBuffer>(supplied->Buffer);
    }
    if (onBuffer && buffer) {
      onBuffer(buffer.get());
    }
    std::lock_guard lock(mutex_);
    log_.push_back(op->GetObject()->ClassName());
    if (buffer) {
      buffers_.push_back(buffer);
    }
    if (auto* start = OperationAs<TVekStartWaveOperation>(op)) {
      formats_.push_back(start->Format);
    }
    return true;
  }
  TVekNotifyHandler Handler() { return TVekNotifyHandler(this, &TCaptureSink::Handle); }

  std::vector<std::string> Log() {
    std::lock_guard lock(mutex_);
    return log_;
  }
  std::vector<IPtr<IMoskAudioBuffer>> Buffers() {
    std::lock_guard lock(mutex_);
    return buffers_;
  }
  std::vector<WAVEFORMATEXTENSIBLE> Formats() {
    std::lock_guard lock(mutex_);
    return formats_;
  }
  std::size_t BufferCount() {
    std::lock_guard lock(mutex_);
    return buffers_.size();
  }
  void Clear() {
    std::lock_guard lock(mutex_);
    log_.clear();
    buffers_.clear();
    formats_.clear();
  }
  bool WaitForBuffers(std::size_t count) {
    return Eventually([&] { return BufferCount() >= count; });
  }

  // Runs on the pushing thread for every buffer, before it is kept.
  std::function<void(IMoskAudioBuffer*)> onBuffer;

 private:
  std::mutex mutex_;
  std::vector<std::string> log_;
  std::vector<IPtr<IMoskAudioBuffer>> buffers_;
  std::vector<WAVEFORMATEXTENSIBLE> formats_;
};

// A scripted device that fills every sample with `value`.
inline kestrune::ScriptedDeviceScript ConstantDevice(const std::string& name, int16_t value) {
  kestrune::ScriptedDeviceScript script;
  script.name = name;
  script.signal = [value](const kestrune::WaveInFormat& format, uint64_t, uint32_t numFrames,
                          uint8_t* dest) {
    auto* samples = reinterpret_cast<int16_t*>(dest);
    for (uint32_t i = 0; i < numFrames * format.channels; ++i) {
      samples[i] = value;
    }
  };
  return script;
}

// A form with a capture component (Enabled stored, nothing started) and a
// sink linked to its output, over a scripted backend.
class AudioInTest : public ::testing::Test {
 public:
  void SetUp() override { StartUnits(); }
  void TearDown() override {
    FreeAndNil(form_);  // the component first: it closes its device
    FreeAndNil(sink_pin_);
    FreeAndNil(sink_owner_);
    kestrune::SetWaveInBackend(nullptr);
  }

  void Install(std::vector<kestrune::ScriptedDeviceScript> devices,
               std::optional<kestrune::ScriptedDeviceScript> mapper = std::nullopt) {
    backend_ =
        std::make_shared<kestrune::ScriptedWaveInBackend>(std::move(devices), std::move(mapper));
    kestrune::SetWaveInBackend(backend_);
  }
  // The component and a linked sink; BufferSize `frames`.
  TMoskAudioIn* Make(uint32_t frames = 64) {
    form_ = Create<vektest::TTestForm>(nullptr);
    form_->SetName("fmMain");
    audio_in_ = Create<TMoskAudioIn>(form_);
    audio_in_->SetName("MoskAudioIn1");
    audio_in_->GetAudioFormat()->SetBufferSize(frames);
    sink_owner_ = Create<vektest::TTestComponent>(nullptr);
    sink_pin_ = Create<TMoskVekAudioSinkPin>(sink_owner_, sink_.Handler());
    EXPECT_TRUE(sink_pin_->Connect(audio_in_->GetOutputPin()));
    return audio_in_;
  }

  std::shared_ptr<kestrune::ScriptedWaveInBackend> backend_;
  vektest::TTestForm* form_ = nullptr;
  TMoskAudioIn* audio_in_ = nullptr;
  vektest::TTestComponent* sink_owner_ = nullptr;
  TMoskVekAudioSinkPin* sink_pin_ = nullptr;
  TCaptureSink sink_;
};

}  // namespace audiointest
