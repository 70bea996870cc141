// Shared helpers of the processing-component tests: an upstream audio source
// pin, a downstream audio sink that keeps what arrives, known signals in
// audio buffers and the start-wave format for them.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "audio/MoskAudioBuffer.h"
#include "signal/core/MoskStreamTypes.h"
#include "signal/transforms/MoskDispatcher.h"
#include "tests/signal/core/StreamPinFixtures.h"

namespace audiotest {

// The extensible PCM format of `channels` channels of `bits` bits.
inline WAVEFORMATEXTENSIBLE PcmFormat(std::uint32_t channels, std::uint32_t bits,
                                      std::uint32_t rate) {
  WAVEFORMATEXTENSIBLE f = TVekStartWaveOperation::DefaultFormat();
  f.Format.nChannels = static_cast<std::uint16_t>(channels);
  f.Format.nSamplesPerSec = rate;
  f.Format.wBitsPerSample = static_cast<std::uint16_t>(bits);
  f.Format.nBlockAlign = static_cast<std::uint16_t>(channels * bits / 8);
  f.Format.nAvgBytesPerSec = rate * f.Format.nBlockAlign;
  f.wValidBitsPerSample = static_cast<std::uint16_t>(bits);
  return f;
}

// A buffer of `frames` frames whose stored sample (8 bits: the unsigned
// byte) at (frame, channel) is value(first + frame, channel).
inline IPtr<IMoskAudioBuffer> Signal(std::uint32_t channels, std::uint32_t bits, std::uint32_t rate,
                                     std::int32_t frames, std::int64_t first,
                                     const std::function<std::int32_t(std::int64_t, int)>& value) {
  IPtr<IMoskAudioBuffer> b = TMoskAudioBuffer::Create(rate, 3, frames, channels, bits);
  for (std::int32_t f = 0; f < frames; ++f) {
    for (std::uint32_t c = 0; c < channels; ++c)
      b->SetSample(f, c, value(first + f, static_cast<int>(c)));
  }
  return b;
}

// The stored samples of one channel.
inline std::vector<std::int32_t> Channel(IMoskAudioBuffer* b, std::uint32_t channel) {
  std::vector<std::int32_t> v;
  for (std::int32_t f = 0; f < b->GetCount(); ++f)
    v.push_back(b->GetSample(f, channel));
  return v;
}

// While alive, every IIR state creation fails as if memory had run out.
class FailingIirCreate {
 public:
  FailingIirCreate() {
    IirCreateState.SetVariant(PrimitiveVariant::C, &Fail);
    IirCreateState.BindVariantForTesting(PrimitiveVariant::C);
  }
  ~FailingIirCreate() {
    IirCreateState.SetVariant(PrimitiveVariant::C, nullptr);
    IirCreateState.ResetToStubForTesting();
  }
  FailingIirCreate(const FailingIirCreate&) = delete;
  FailingIirCreate& operator=(const FailingIirCreate&) = delete;

 private:
  static PrimitiveStatus Fail(IirState**, const float*, std::int32_t, const float*) {
    return StatusNoMemory;
  }
};

// Keeps every operation that reaches a downstream audio sink.
class TAudioCatcher {
 public:
  bool Handle(IVekBasicPin*, const TGUID&, uint8_t, IVekNotifyOperation* op) {
    Log.push_back(op->GetObject()->ClassName());
    if (auto* s = OperationAs<TVekSuppliedBufferOperation>(op)) {
      IPtr<IMoskAudioBuffer> b = Supports<IMoskAudioBuffer>(s->Buffer);
      if (b)
        Buffers.push_back(b);
    }
    return true;
  }
  TVekNotifyHandler Handler() { return TVekNotifyHandler(this, &TAudioCatcher::Handle); }

  std::vector<std::string> Log;
  std::vector<IPtr<IMoskAudioBuffer>> Buffers;
};

// A form owning the component under test, an upstream audio source (whose
// upstream operations are logged) and, on demand, a downstream sink.
class AudioPushTest : public ::testing::Test {
 public:
  void SetUp() override {
    streamtest::StartStreamFramework();
    form_ = Create<vektest::TTestForm>(nullptr);
    form_->SetName("fmMain");
    pins_owner_ = Create<vektest::TTestComponent>(form_);
    pins_owner_->SetName("Upstream");
    source_ = Create<TMoskVekAudioSourcePin>(pins_owner_, upstream_.Handler());
  }
  void TearDown() override {
    FreeAndNil(sink_);
    FreeAndNil(source_);
    FreeAndNil(form_);
  }
  TMoskVekAudioSinkPin* Sink() {
    if (sink_ == nullptr)
      sink_ = Create<TMoskVekAudioSinkPin>(pins_owner_, caught_.Handler());
    return sink_;
  }
  void Start(const WAVEFORMATEXTENSIBLE& f) {
    IPtr<IVekNotifyOperation> op =
        NewOperation<TVekStartWaveOperation>(&f, static_cast<float>(f.Format.nSamplesPerSec));
    source_->Notify(op.get());
  }
  template <class T, class... Args>
  void Push(Args&&... args) {
    IPtr<IVekNotifyOperation> op = NewOperation<T>(std::forward<Args>(args)...);
    source_->Notify(op.get());
  }

  vektest::TTestForm* form_ = nullptr;
  vektest::TTestComponent* pins_owner_ = nullptr;
  TMoskVekAudioSourcePin* source_ = nullptr;
  TMoskVekAudioSinkPin* sink_ = nullptr;
  TAudioCatcher caught_;
  TAudioCatcher upstream_;
};

}  // namespace audiotest
