// Shared pieces of the splitter tests (converter and spectrum): the units
// they need, an audio source on a stand-in capture component, real-buffer
// sinks that record what reaches them, and audio buffers of known samples.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "audio/MoskAudioBuffer.h"
#include "audio/MoskAudioUnit.h"
#include "platform/classes/ClassesUnit.h"
#include "platform/classes/SyncObjs.h"
#include "platform/classes/TypInfo.h"
#include "tests/harness/StartOnce.h"
#include "tests/signal/core/StreamPinFixtures.h"

namespace splittertest {

// What one real sink received, in order.
struct Received {
  std::vector<std::string> Kinds;            // class names of the operations
  std::vector<std::vector<double>> Buffers;  // the samples of each buffer
  std::vector<double> StartRates;            // SampleRate of each start
  std::vector<std::int32_t> StartCounts;     // Count of each start
  std::vector<double> Values;                // supplied real values
  std::vector<std::uint32_t> ValueThreads;   // the thread of each value
};

// A component publishing three real-buffer inputs, "Channel0" .. "Channel2",
// and one input of real values, "Value", each recording into its own
// Received (Got[0] .. Got[2], Got[3]).
class TRealSinks : public TComponent {
  KESTRUNE_CLASS(TRealSinks, TComponent)
  explicit TRealSinks(TComponent* owner) : TComponent(owner) {
    for (int i = 0; i < 3; ++i)
      Pins[i] = Create<TTrelVekRealSinkPin>(this, TVekNotifyHandler(this, &TRealSinks::Receive));
    ValuePin = Create<vektest::TTestSinkPin>(this, std::vector<TGUID>{VekRealSingleType});
    ValuePin->OnReceive = [this](vektest::TTestSinkPin*, const TGUID&, IVekNotifyOperation* op,
                                 std::uint8_t) { return Record(Got[3], op); };
  }
  ~TRealSinks() override {
    FreeAndNil(ValuePin);
    for (auto*& pin : Pins)
      FreeAndNil(pin);
  }
  bool Receive(IVekBasicPin* target, const TGUID&, std::uint8_t, IVekNotifyOperation* op) {
    int index = 0;
    while (index < 3 && Pins[index] != target->GetPin())
      ++index;
    return Record(Got[index], op);
  }
  bool Record(Received& r, IVekNotifyOperation* op) {
    r.Kinds.push_back(op->GetObject()->ClassName());
    if (auto* supplied = OperationAs<TVekSuppliedBufferOperation>(op)) {
      IPtr<ITrelRealBuffer> real = Supports<ITrelRealBuffer>(supplied->Buffer);
      std::vector<double> values;
      if (real)
        values.assign(real->GetData(), real->GetData() + real->GetCount());
      r.Buffers.push_back(values);
    } else if (auto* start = OperationAs<TVekStartSampleRateOperation>(op)) {
      r.StartRates.push_back(start->SampleRate);
      r.StartCounts.push_back(start->Count);
    } else if (auto* value = OperationAs<TVekSuppliedRealOperation>(op)) {
      r.Values.push_back(value->Value);
      r.ValueThreads.push_back(GetCurrentThreadId());
    }
    return false;
  }
  TTrelVekRealSinkPin* Channel(int i) { return Pins[i]; }

  TTrelVekRealSinkPin* Pins[3] = {};
  vektest::TTestSinkPin* ValuePin = nullptr;
  Received Got[4];
};

inline void StartUnits() {
  kestrune::test_support::StartOnce([] {
    streamtest::StartStreamFramework();
    ClassesUnit.Initialize();
    MoskAudioUnit.Initialize();
    RegisterClass<TRealSinks>()
        .Object("Channel0", [](TRealSinks* s) { return s->Pins[0]; })
        .Object("Channel1", [](TRealSinks* s) { return s->Pins[1]; })
        .Object("Channel2", [](TRealSinks* s) { return s->Pins[2]; })
        .Object("Value", [](TRealSinks* s) { return s->ValuePin; });
  });
}

// An audio buffer of `frames` frames whose sample bytes are `bytes` (repeated
// or cut to fit).
inline IPtr<IMoskAudioBuffer> AudioBuffer(std::uint32_t sampleRate, std::uint32_t channels,
                                          std::uint32_t bits, std::int32_t frames,
                                          const std::vector<std::uint8_t>& bytes) {
  IPtr<IMoskAudioBuffer> buffer =
      TMoskAudioBuffer::Create(sampleRate, channels == 1 ? 1u : 3u, frames, channels, bits);
  std::uint8_t* data = buffer->GetReadData();
  const std::int32_t size = buffer->GetByteSize();
  for (std::int32_t i = 0; i < size; ++i)
    data[i] = bytes.empty() ? 0 : bytes[static_cast<std::size_t>(i) % bytes.size()];
  return buffer;
}

// The wave format a buffer carries in its header.
inline WAVEFORMATEXTENSIBLE FormatOf(IMoskAudioBuffer* buffer) {
  auto* object = static_cast<TMoskAudioBuffer*>(buffer->GetBufferObject());
  return *object->AudioBlock()->Header();
}

// A stand-in for the capture component: a form "fmMain" holding a component
// "Capture" with an audio source pin, and a TRealSinks "Scope".
class SplitterTest : public ::testing::Test {
 public:
  void SetUp() override {
    StartUnits();
    form_ = Create<vektest::TTestForm>(nullptr);
    form_->SetName("fmMain");
    capture_ = Create<vektest::TTestComponent>(form_);
    capture_->SetName("Capture");
    source_ =
        Create<TMoskVekAudioSourcePin>(capture_, TVekNotifyHandler(this, &SplitterTest::Upstream));
    scope_ = Create<TRealSinks>(form_);
    scope_->SetName("Scope");
  }
  void TearDown() override {
    FreeAndNil(source_);
    FreeAndNil(form_);
  }
  bool Upstream(IVekBasicPin*, const TGUID&, std::uint8_t, IVekNotifyOperation* op) {
    upstream_.push_back(op->GetObject()->ClassName());
    return false;
  }
  // Announces the buffer's format, as the capture component does at start.
  void StartWave(IMoskAudioBuffer* buffer) {
    WAVEFORMATEXTENSIBLE format = FormatOf(buffer);
    StartWave(format);
  }
  void StartWave(const WAVEFORMATEXTENSIBLE& format) {
    IPtr<IVekNotifyOperation> op = NewOperation<TVekStartWaveOperation>(
        &format, static_cast<float>(format.Format.nSamplesPerSec));
    source_->Notify(op.get());
  }
  template <class T>
  void Push() {
    IPtr<IVekNotifyOperation> op = NewOperation<T>();
    source_->Notify(op.get());
  }

  vektest::TTestForm* form_ = nullptr;
  vektest::TTestComponent* capture_ = nullptr;
  TMoskVekAudioSourcePin* source_ = nullptr;
  TRealSinks* scope_ = nullptr;
  std::vector<std::string> upstream_;
};

}  // namespace splittertest
