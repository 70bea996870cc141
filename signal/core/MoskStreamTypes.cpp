// The audio stream pins and the start-wave operation.
#include "signal/core/MoskStreamTypes.h"

namespace {

void InitMoskStreamTypes() {
  RegisterStreamTypeConverter(MoskAudioBufferType, &BufferTypeFunction);
}

// The registry's records go with the framework's shutdown.
void FinalizeMoskStreamTypes() {}

}  // namespace

TUnit MoskStreamTypesUnit("MoskStreamTypes", &InitMoskStreamTypes, &FinalizeMoskStreamTypes);

// ---------------------------------------------------------------------------
// TVekStartWaveOperation

WAVEFORMATEXTENSIBLE TVekStartWaveOperation::DefaultFormat() {
  WAVEFORMATEXTENSIBLE format{};
  format.Format.wFormatTag = WAVE_FORMAT_EXTENSIBLE;
  format.Format.nChannels = 2;
  format.Format.nSamplesPerSec = 11025;
  format.Format.wBitsPerSample = 16;
  format.Format.nBlockAlign = (16 / 8) * 2;
  format.Format.nAvgBytesPerSec = format.Format.nBlockAlign * format.Format.nSamplesPerSec;
  format.Format.cbSize = sizeof(WAVEFORMATEXTENSIBLE) - sizeof(WAVEFORMATEX);
  format.wValidBitsPerSample = 16;
  format.dwChannelMask = 3;
  format.SubFormat = WAVE_SUBFORMAT_PCM;
  return format;
}

TVekStartWaveOperation::TVekStartWaveOperation(const WAVEFORMATEXTENSIBLE* format, float rate)
    : TVekStartSampleRateOperation(rate, 0) {
  // The record is packed (no padding): a copy takes exactly its 40 bytes.
  if (format != nullptr)
    Format = *format;
  else
    Format = DefaultFormat();
}

// ---------------------------------------------------------------------------
// TMoskVekAudioSourcePin

TMoskVekAudioSourcePin::TMoskVekAudioSourcePin(TComponent* owner, TVekNotifyHandler onUpstream)
    : TTrelVekSourcePin(owner), OnUpstream(onUpstream) {
  AddStreamType(MoskAudioBufferType);
  AcceptStreamType(MoskAudioBufferType);
}

IPtr<IVekNotifyOperation> TMoskVekAudioSourcePin::LastResume() {
  TVekReadLockSection own(this);
  return last_resume_;
}

void TMoskVekAudioSourcePin::AddSinkEntry(TVekBasicPin* sink, TVekBasicPin* dependsOn) {
  TVekGlobalWriteLockSection global;
  TTrelVekSourcePin::AddSinkEntry(sink, dependsOn);
  if (IPtr<IVekNotifyOperation> resume = LastResume())
    DeliverToSinkDroppingErrors(resume.get(), sink);
}

void TMoskVekAudioSourcePin::RememberStreamStateLocked(IVekNotifyOperation* operation) {
  TTrelVekSourcePin::RememberStreamStateLocked(operation);
  if (OperationAs<TVekTrelResumeOperation>(operation) != nullptr)
    last_resume_ = operation;
  else if (OperationAs<TVekStopOperation>(operation) != nullptr)
    last_resume_.reset();
}

bool TMoskVekAudioSourcePin::DispatchTyped(const TGUID& streamType, IVekNotifyOperation* operation,
                                           std::uint8_t flags) {
  if (!OnUpstream.Assigned())
    return false;
  return OnUpstream(this, streamType, flags, operation);
}

// ---------------------------------------------------------------------------
// TMoskVekAudioSinkPin

TMoskVekAudioSinkPin::TMoskVekAudioSinkPin(TComponent* owner, TVekNotifyHandler onReceive)
    : TTrelVekSinkPin(owner), OnReceive(onReceive) {
  AddStreamType(MoskAudioBufferType);
  AcceptStreamType(MoskAudioBufferType);
}

bool TMoskVekAudioSinkPin::Receive(const TGUID& streamType, IVekNotifyOperation* operation,
                                   std::uint8_t flags) {
  if (!OnReceive.Assigned())
    return false;
  return OnReceive(this, streamType, flags, operation);
}
