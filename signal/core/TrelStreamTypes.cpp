// The signal stream pins, the buffer stream types and the start operations.
#include "signal/core/TrelStreamTypes.h"

#include <cmath>
#include <limits>

#include "Vek/VekValuePins.h"
#include "platform/rtl/ScopeExit.h"
#include "platform/rtl/SysUtils.h"
#include "signal/core/TrelTypedBuffers.h"

namespace {

bool IsSync(std::uint8_t flags) {
  return (flags & VekNotifySync) != 0;
}

// Narrows to single precision; values beyond the single range become
// infinities of their sign (NaN stays NaN).
float NarrowToSingle(double value) {
  constexpr double kMax = std::numeric_limits<float>::max();
  if (value > kMax)
    return std::numeric_limits<float>::infinity();
  if (value < -kMax)
    return -std::numeric_limits<float>::infinity();
  return static_cast<float>(value);
}

std::vector<TTrelBufferTypeRecord> g_buffer_types;

IPtr<ITrelDataBuffer> NewBlockBuffer(std::int32_t count) {
  return TTrelBlockBuffer::CreateSize(count);
}
IPtr<ITrelDataBuffer> NewRealBuffer(std::int32_t count) {
  return TTrelRealBuffer::CreateCount(count);
}
IPtr<ITrelDataBuffer> NewIntegerBuffer(std::int32_t count) {
  return TTrelIntegerBuffer::CreateCount(count);
}
IPtr<ITrelDataBuffer> NewComplexBuffer(std::int32_t count) {
  return TTrelComplexBuffer::CreateCount(count);
}

void InitTrelStreamTypes() {
  for (const TGUID& type : {TrelBlockBufferType2, TrelRealBufferType, TrelIntegerBufferType,
                            TrelComplexBufferType, TrelBlockBufferType}) {
    RegisterStreamTypeConverter(type, &BufferTypeFunction);
  }
  RegisterBufferType(TrelBlockBufferType, 1, &NewBlockBuffer, &BufferStartHandler);
  RegisterBufferType(TrelBlockBufferType2, 1, &NewBlockBuffer, &BufferStartHandler);
  RegisterBufferType(TrelRealBufferType, 8, &NewRealBuffer, &BufferStartHandler);
  RegisterBufferType(TrelIntegerBufferType, 4, &NewIntegerBuffer, &BufferStartHandler);
  RegisterBufferType(TrelComplexBufferType, 16, &NewComplexBuffer, &BufferStartHandler);
}

// The registry's records go with the framework's shutdown.
void FinalizeTrelStreamTypes() {
  g_buffer_types.clear();
}

}  // namespace

TUnit TrelStreamTypesUnit("TrelStreamTypes", &InitTrelStreamTypes, &FinalizeTrelStreamTypes);

// ---------------------------------------------------------------------------
// Operations

TVekStartSampleRateOperation::TVekStartSampleRateOperation(double sampleRate, std::int32_t count)
    : TVekStartRateOperation(NarrowToSingle(count > 0 ? sampleRate / count : sampleRate)),
      Count(count),
      SampleRate(sampleRate) {}

// ---------------------------------------------------------------------------
// Buffer types

bool BufferTypeFunction(TVekBasicPin* pin, IVekBasicPin* target, const TGUID& streamType,
                        std::uint8_t flags, IVekNotifyOperation* operation) {
  (void)pin;
  if (IsSync(flags))
    return false;
  IPtr<IVekStreamReceive> receiver = QueryStreamReceive(target, TrelSignalReceiveType);
  if (!receiver)
    return false;
  return receiver->Receive(streamType, operation, flags);
}

void BufferStartHandler(ITrelDataBuffer* buffer, IVekNotifyOperation* operation) {
  if (buffer == nullptr)
    return;
  if (auto* start = OperationAs<TVekStartSampleRateOperation>(operation))
    buffer->SetCount(start->Count, /*keepData=*/true);
}

void RegisterBufferType(const TGUID& streamType, std::int32_t elementSize,
                        TTrelBufferFactory factory, TTrelBufferStartHandler startHandler) {
  for (TTrelBufferTypeRecord& record : g_buffer_types) {
    if (record.StreamType == streamType) {
      record.Factory = factory;
      record.StartHandler = startHandler;
      return;
    }
  }
  g_buffer_types.push_back({streamType, elementSize, factory, startHandler});
}

const std::vector<TTrelBufferTypeRecord>& BufferTypeTable() {
  return g_buffer_types;
}

const TTrelBufferTypeRecord* FindBufferType(const TGUID& streamType) {
  for (const TTrelBufferTypeRecord& record : g_buffer_types) {
    if (record.StreamType == streamType)
      return &record;
  }
  return nullptr;
}

// ---------------------------------------------------------------------------
// TTrelVekSourcePin

TTrelVekSourcePin::TTrelVekSourcePin(TComponent* owner) : TVekSourcePin(owner) {
  AddStreamTypeHandler(VekClockType, TVekNotifyHandler(this, &TTrelVekSourcePin::DispatchClock));
  AddStreamType(TrelSignalLinkType);
  AcceptStreamType(TrelSignalReceiveType);
}

IPtr<IVekNotifyOperation> TTrelVekSourcePin::LastStart() {
  TVekReadLockSection own(this);
  return last_start_;
}

void TTrelVekSourcePin::DeliverToSinkDroppingErrors(IVekNotifyOperation* operation,
                                                    TVekBasicPin* sink) {
  // The pins make these deliveries on their own, inside a link change: a
  // receiver that raises must not leave the link half made or half removed.
  try {
    NotifyTarget(operation, sink);
  } catch (...) {
  }
}

void TTrelVekSourcePin::Disconnect(TVekBasicPin* pin, bool keepPlaceholder) {
  TVekGlobalWriteLockSection global;
  if (pin != nullptr) {
    IPtr<IVekNotifyOperation> stop = NewOperation<TVekStopOperation>();
    DeliverToSinkDroppingErrors(stop.get(), pin);
  }
  TVekSourcePin::Disconnect(pin, keepPlaceholder);
}

void TTrelVekSourcePin::AddSinkEntry(TVekBasicPin* sink, TVekBasicPin* dependsOn) {
  TVekGlobalWriteLockSection global;
  TVekSourcePin::AddSinkEntry(sink, dependsOn);
  if (IPtr<IVekNotifyOperation> start = LastStart())
    DeliverToSinkDroppingErrors(start.get(), sink);
}

bool TTrelVekSourcePin::ConnectTo(TVekBasicPin* pin, TVekBasicPin* dependsOn) {
  TVekGlobalWriteLockSection global;
  const bool result = TVekSourcePin::ConnectTo(pin, dependsOn);
  if (IPtr<IVekNotifyOperation> start = LastStart())
    DeliverToSinkDroppingErrors(start.get(), pin);
  return result;
}

bool TTrelVekSourcePin::Notify(IVekNotifyOperation* operation) {
  TVekWriteLockSection own(this);
  // The sender did send it: the stream's state follows the sender, not
  // whether every receiver coped.
  kestrune::ScopeExit remember([&] { RememberStreamStateLocked(operation); });
  return TVekSourcePin::Notify(operation);
}

void TTrelVekSourcePin::RememberStreamStateLocked(IVekNotifyOperation* operation) {
  if (OperationAs<TVekStartOperation>(operation) != nullptr)
    last_start_ = operation;
  else if (OperationAs<TVekStopOperation>(operation) != nullptr)
    last_start_.reset();
}

bool TTrelVekSourcePin::Receive(const TGUID& streamType, IVekNotifyOperation* operation,
                                std::uint8_t flags) {
  return DispatchTyped(streamType, operation, flags);
}

bool TTrelVekSourcePin::DispatchClock(IVekBasicPin* target, const TGUID& streamType,
                                      std::uint8_t flags, IVekNotifyOperation* operation) {
  (void)streamType;
  return DeliverClockTick(target, flags, operation);
}

bool TTrelVekSourcePin::DispatchTyped(const TGUID& streamType, IVekNotifyOperation* operation,
                                      std::uint8_t flags) {
  (void)streamType;
  (void)operation;
  (void)flags;
  return false;
}

bool TTrelVekSourcePin::SendData(ITrelDataBuffer* buffer) {
  if (buffer == nullptr)
    return false;
  try {
    IPtr<IVekNotifyOperation> op =
        NewOperation<TVekSuppliedBufferOperation>(IPtr<IInterface>(buffer));
    return Notify(op.get());
  } catch (...) {
    return false;
  }
}

bool TTrelVekSourcePin::SendStop() {
  IPtr<IVekNotifyOperation> op = NewOperation<TVekEndStopOperation>();
  return Notify(op.get());
}

// ---------------------------------------------------------------------------
// TTrelVekRealSourcePin

TTrelVekRealSourcePin::TTrelVekRealSourcePin(TComponent* owner, TVekNotifyHandler onUpstream)
    : TTrelVekSourcePin(owner), OnUpstream(onUpstream) {
  AddStreamTypeHandler(VekFloatSingleType,
                       TVekNotifyHandler(this, &TTrelVekRealSourcePin::DispatchReal));
  AddStreamType(TrelRealBufferType);
  AcceptStreamType(TrelRealBufferType);
}

bool TTrelVekRealSourcePin::DispatchTyped(const TGUID& streamType, IVekNotifyOperation* operation,
                                          std::uint8_t flags) {
  if (!OnUpstream.Assigned())
    return false;
  return OnUpstream(this, streamType, flags, operation);
}

bool TTrelVekRealSourcePin::DispatchReal(IVekBasicPin* target, const TGUID& streamType,
                                         std::uint8_t flags, IVekNotifyOperation* operation) {
  if (IsSync(flags))
    return false;
  auto* supplied = OperationAs<TVekSuppliedBufferOperation>(operation);
  if (supplied == nullptr)
    return false;
  IPtr<IVekStreamReceive> receiver = QueryStreamReceive(target, VekFloatSingleType);
  if (!receiver)
    return false;
  IPtr<ITrelRealBuffer> samples = Supports<ITrelRealBuffer>(supplied->Buffer);
  if (!samples)
    kestrune::RaiseIntfCastError();
  IPtr<IVekNotifyOperation> first =
      NewOperation<TVekSuppliedSingleOperation>(NarrowToSingle(samples->GetValue(0)));
  receiver->Receive(streamType, first.get(), flags);
  return false;
}

// ---------------------------------------------------------------------------
// Sink pins

TTrelVekSinkPin::TTrelVekSinkPin(TComponent* owner) : TVekSinkPin(owner) {
  AddStreamType(TrelSignalLinkType);
  AcceptStreamType(TrelSignalReceiveType);
}

bool TTrelVekSinkPin::Receive(const TGUID& streamType, IVekNotifyOperation* operation,
                              std::uint8_t flags) {
  (void)streamType;
  (void)operation;
  (void)flags;
  return false;
}

TTrelVekRealSinkPin::TTrelVekRealSinkPin(TComponent* owner, TVekNotifyHandler onReceive)
    : TTrelVekSinkPin(owner), OnReceive(onReceive) {
  AddStreamType(TrelRealBufferType);
  AcceptStreamType(TrelRealBufferType);
}

bool TTrelVekRealSinkPin::Receive(const TGUID& streamType, IVekNotifyOperation* operation,
                                  std::uint8_t flags) {
  if (!OnReceive.Assigned())
    return false;
  return OnReceive(this, streamType, flags, operation);
}

TTrelVekComboRealSinkPin::TTrelVekComboRealSinkPin(TComponent* owner, TVekNotifyHandler onReceive)
    : TTrelVekRealSinkPin(owner, onReceive) {
  AddStreamType(VekFloatSingleType);
  AddStreamType(VekRealSingleType);
  AcceptStreamType(VekRealSingleType);
  AcceptStreamType(VekFloatSingleType);
}

TTrelVekComboRealIntSinkPin::TTrelVekComboRealIntSinkPin(TComponent* owner,
                                                         TVekNotifyHandler onReceive)
    : TTrelVekComboRealSinkPin(owner, onReceive) {
  AddStreamType(TrelIntegerBufferType);
  AddStreamType(VekIntegerSingleType);
  AcceptStreamType(VekIntegerSingleType);
  AcceptStreamType(TrelIntegerBufferType);
}
