#include "audio/MoskChannelSplitter.h"

#include <algorithm>
#include <cstring>

#include "audio/MoskAudioBuffer.h"
#include "audio/MoskSampleConversion.h"
#include "platform/classes/TypInfo.h"

namespace {

constexpr int kMinChannels = 1;
constexpr int kMaxChannels = 32;

}  // namespace

void RegisterMoskChannelSplitterClasses() {
  RegisterClass<TMoskCommonSplitter>()
      .Object("InputPin", &TMoskCommonSplitter::GetInputPin)
      .Object("OutputPins", &TMoskCommonSplitter::GetOutputPins)
      .Integer("CountChannels", &TMoskCommonSplitter::GetCountChannels,
               &TMoskCommonSplitter::SetCountChannels, 2);
  RegisterClass<TMoskAudioToReal>();
}

// ---------------------------------------------------------------------------
// Life cycle

TMoskCommonSplitter::TMoskCommonSplitter(TComponent* owner) : TComponent(owner) {
  lock_ = Create<TVekObject>();
  input_pin_ = Create<TMoskVekAudioSinkPin>(
      this, TVekNotifyHandler(this, &TMoskCommonSplitter::InputPinNotify));
  output_pins_ = Create<TVekPinList>(this, true);
  lock_->AddLockLink(input_pin_);
}

TMoskCommonSplitter::~TMoskCommonSplitter() {
  FreeAndNil(output_pins_);
  FreeAndNil(input_pin_);
  FreeAndNil(lock_);
}

void TMoskCommonSplitter::AfterConstruction() {
  inherited::AfterConstruction();
  ChannelCountChanged(2);
}

void TMoskCommonSplitter::BeforeDestruction() {
  input_pin_->DisconnectAll();
  SendStop();
  inherited::BeforeDestruction();
}

void TMoskCommonSplitter::Loaded() {
  inherited::Loaded();
  output_pins_->CompletePendingPlaceholders();
}

int TMoskCommonSplitter::GetCountChannels() {
  return output_pins_->GetCount();
}

void TMoskCommonSplitter::SetCountChannels(int count) {
  ChannelCountChanged(count);
}

void TMoskCommonSplitter::ChannelCountChanged(int count) {
  count = std::clamp(count, kMinChannels, kMaxChannels);
  // The global write section: no push runs while the pins change (every push
  // holds the global read section), and no group lock is held here.
  TVekGlobalWriteLockSection global;
  while (output_pins_->GetCount() > count)
    output_pins_->Delete(output_pins_->GetCount() - 1);
  while (output_pins_->GetCount() < count) {
    TVekSourcePin* pin = CreateOutputPin();
    output_pins_->Add(pin);
    pin->FunctionDependencies()->Add(input_pin_, /*joinLocks=*/true);
  }
}

// ---------------------------------------------------------------------------
// Operations

bool TMoskCommonSplitter::InputPinNotify(IVekBasicPin* target, const TGUID& streamType,
                                         std::uint8_t flags, IVekNotifyOperation* operation) {
  (void)target;
  (void)streamType;
  (void)flags;
  if (auto* start = OperationAs<TVekStartWaveOperation>(operation)) {
    StartFormat(&start->Format);
  } else if (OperationAs<TVekStopOperation>(operation) != nullptr) {
    SendStop();
  } else if (OperationAs<TVekTrelResumeOperation>(operation) != nullptr) {
    SendResume();
  } else if (auto* supplied = OperationAs<TVekSuppliedBufferOperation>(operation)) {
    // Only read: the buffer itself serves, no view of our own is needed.
    if (IPtr<IMoskAudioBuffer> audio = Supports<IMoskAudioBuffer>(supplied->Buffer))
      ProcessBuffer(audio.get());
  }
  return false;
}

bool TMoskCommonSplitter::OutputPinNotify(IVekBasicPin* target, const TGUID& streamType,
                                          std::uint8_t flags, IVekNotifyOperation* operation) {
  if (input_pin_->IsConnected())
    return input_pin_->Notify(operation);
  return InputPinNotify(target, streamType, flags, operation);
}

void TMoskCommonSplitter::SendStop() {
  IPtr<IVekNotifyOperation> stop = NewOperation<TVekStopOperation>();
  NotifyOutputs(stop.get());
}

void TMoskCommonSplitter::SendResume() {
  IPtr<IVekNotifyOperation> resume = NewOperation<TVekTrelResumeOperation>();
  NotifyOutputs(resume.get());
}

void TMoskCommonSplitter::NotifyOutputs(IVekNotifyOperation* operation) {
  const int count = output_pins_->GetCount();
  for (int i = 0; i < count; ++i)
    output_pins_->GetPin(i)->Notify(operation);
}

// ---------------------------------------------------------------------------
// Conversion

void TMoskCommonSplitter::ProcessBuffer(IMoskAudioBuffer* buffer) {
  void (TMoskCommonSplitter::*convert)(int, IMoskAudioBuffer*);
  switch (format_.Format.wBitsPerSample) {
    case 8:
      convert = &TMoskCommonSplitter::ConvertChannel8;
      break;
    case 16:
      convert = &TMoskCommonSplitter::ConvertChannel16;
      break;
    case 24:
      convert = &TMoskCommonSplitter::ConvertChannel24;
      break;
    case 32:
      convert = &TMoskCommonSplitter::ConvertChannel32;
      break;
    default:
      return;  // no start-wave yet, or a width we do not read
  }
  const int channels =
      std::min(static_cast<int>(format_.Format.nChannels), output_pins_->GetCount());
  for (int channel = 0; channel < channels; ++channel) {
    if (output_pins_->GetPin(channel)->IsConnected())
      (this->*convert)(channel, buffer);
  }
}

void TMoskCommonSplitter::ConvertWith(int channel, IMoskAudioBuffer* buffer, std::uint32_t bits) {
  const std::uint32_t blockAlign = format_.Format.nBlockAlign;
  const std::uint32_t sampleBytes = format_.Format.wBitsPerSample / 8u;
  const std::uint32_t offset = static_cast<std::uint32_t>(channel) * sampleBytes;
  // A format whose frames are too short for this channel's sample (a
  // malformed start-wave) would read past the buffer's end: nothing then.
  if (blockAlign == 0 || offset + sampleBytes > blockAlign)
    return;
  const std::int32_t byteSize = buffer->GetByteSize();
  if (byteSize <= 0)
    return;
  const std::uint32_t frames = static_cast<std::uint32_t>(byteSize) / blockAlign;
  // The block store's largest block bounds the doubles one buffer can hold.
  if (static_cast<std::uint64_t>(frames) * sizeof(double) > kTrelLargestBlockSize)
    return;
  IPtr<ITrelRealBuffer> samples = TTrelRealBuffer::CreateCount(static_cast<std::int32_t>(frames));
  ConvertColumnToDouble(bits, buffer->GetData() + offset, static_cast<std::int32_t>(blockAlign),
                        samples->GetReadData(), frames);
  EmitChannel(channel, samples.get());
}

// The four members differ only in the width they read (8 bits: the byte -
// 127; wider widths the signed value).
void TMoskCommonSplitter::ConvertChannel8(int channel, IMoskAudioBuffer* buffer) {
  ConvertWith(channel, buffer, 8);
}

void TMoskCommonSplitter::ConvertChannel16(int channel, IMoskAudioBuffer* buffer) {
  ConvertWith(channel, buffer, 16);
}

void TMoskCommonSplitter::ConvertChannel24(int channel, IMoskAudioBuffer* buffer) {
  ConvertWith(channel, buffer, 24);
}

void TMoskCommonSplitter::ConvertChannel32(int channel, IMoskAudioBuffer* buffer) {
  ConvertWith(channel, buffer, 32);
}

int TMoskCommonSplitter::EmitChannel(int channel, ITrelRealBuffer* samples) {
  (void)channel;
  (void)samples;
  return 0;
}

// ---------------------------------------------------------------------------
// The converter

TVekSourcePin* TMoskAudioToReal::CreateOutputPin() {
  return Create<TTrelVekRealSourcePin>(
      this, TVekNotifyHandler(this, &TMoskCommonSplitter::OutputPinNotify));
}

void TMoskAudioToReal::StartFormat(const WAVEFORMATEXTENSIBLE* format) {
  if (format == nullptr)
    return;
  format_ = *format;
  const double sampleRate = format_.Format.nSamplesPerSec;
  const int count = output_pins_->GetCount();
  for (int i = 0; i < count; ++i) {
    IPtr<IVekNotifyOperation> start = NewOperation<TVekStartSampleRateOperation>(sampleRate, 0);
    output_pins_->GetPin(i)->Notify(start.get());
  }
}

int TMoskAudioToReal::EmitChannel(int channel, ITrelRealBuffer* samples) {
  if (auto* pin = dynamic_cast<TTrelVekSourcePin*>(output_pins_->GetPin(channel)))
    pin->SendData(samples);
  return 0;
}
