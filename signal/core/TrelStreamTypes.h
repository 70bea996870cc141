// Typed signal stream pins: the pins that carry sample buffers and their
// stream control (start, stop) between components, the buffer stream types
// and the start operations that carry a sample rate.
//
// The pins:
//   TTrelVekSourcePin            a component's signal output. SendData wraps a
//                                buffer in a TVekSuppliedBufferOperation and
//                                pushes it to every sink; SendStop pushes an
//                                end stop. It remembers the last start it
//                                pushed (any TVekStartOperation) until the
//                                next stop, and starts a sink linked later
//                                with it; a sink being unlinked first gets a
//                                TVekStopOperation of its own. Clock sinks
//                                linked to it tick once per clock operation
//                                pushed (supplied buffers are clock
//                                operations; starts and stops are not).
//   TTrelVekRealSourcePin        a real-buffer output, with OnUpstream for
//                                the operations its sinks send back to it. A
//                                sink that accepts only "Float single" gets
//                                the first sample of each buffer as a
//                                supplied single.
//   TTrelVekSinkPin              a signal input that ignores what it gets.
//   TTrelVekRealSinkPin          a real-buffer input: every operation that
//                                reaches it goes to OnReceive.
//   TTrelVekComboRealSinkPin     also accepts "Real single" and "Float
//                                single" links (single values).
//   TTrelVekComboRealIntSinkPin  also accepts integer buffers and "Integer
//                                single" links (the scope's channel input).
//
// A link's stream type is the last of the source's types the sink accepts:
// a real-buffer source linked to a real or combined sink carries
// TrelRealBufferType. Buffer links deliver through the registry's type
// function BufferTypeFunction, which hands each operation to the sink's
// Receive (OnReceive) and delivers nothing on the synchronisation delivery
// made when a link is set up.
//
// Handlers (OnReceive, OnUpstream) have the notify-handler signature: they
// get this pin as target, the link's stream type, the notify flags
// (VekNotifyLast on the last delivery of a push) and the operation, which
// they must not keep beyond the call unless they take a reference. Their
// result only orders the source's sinks (true: "handled", served later).
// Receivers tell operations apart by class:
//   if (auto* supplied = OperationAs<TVekSuppliedBufferOperation>(op)) {
//     IPtr<ITrelRealBuffer> samples = Supports<ITrelRealBuffer>(supplied->Buffer);
//     ...
//   } else if (auto* start = OperationAs<TVekStartSampleRateOperation>(op)) ...
//
// Life cycle: a component creates its pins (Create<TTrelVekRealSourcePin>(
// this, handler)) and frees them first thing in its destructor: unlinking
// sends a stop through the sink's handler, which must still find its
// component whole. Links are made and stored as for every pin
// (Vek/VekPins.h).
//
// Threads and locks: pushes (SendData, SendStop, Notify) run synchronously
// on the caller's thread (the capture thread in the program) under the
// global read lock and the source pin's group lock, which also guards the
// remembered start; each sink's handler runs holding that sink's group lock.
// Linking and unlinking take the global write lock; the replayed start and
// the stop of an unlinked sink are delivered inside it. Those deliveries the
// pins make on their own never raise: a receiver's exception there is
// dropped, so that a link or unlink always completes.
//
// Start-up: TrelStreamTypesUnit registers the buffer stream types (needs
// VekPinsUnit).
#pragma once

#include <cstdint>
#include <vector>

#include "Vek/VekFreeLists.h"
#include "Vek/VekPins.h"
#include "Vek/VekStdTypes.h"
#include "platform/classes/Units.h"
#include "platform/rtl/FreeLists.h"
#include "signal/core/TrelBufferInterfaces.h"
#include "signal/core/TrelSmartBufferManager.h"

// ---------------------------------------------------------------------------
// Stream types

// Block buffers (bytes). The two identifiers are registered alike.
inline constexpr TGUID TrelBlockBufferType = TGUID::Parse("{DB6DD866-611D-4DC4-B46F-459CF8F02ECD}");
inline constexpr TGUID TrelBlockBufferType2 =
    TGUID::Parse("{BD807B57-05AE-44E0-A99F-3D9BAD83395E}");
// Real buffers (doubles).
inline constexpr TGUID TrelRealBufferType = TGUID::Parse("{58041272-EF20-4696-87E6-9EE46ABFBD89}");
// Integer buffers (signed 32-bit).
inline constexpr TGUID TrelIntegerBufferType =
    TGUID::Parse("{473B965F-AB43-4493-B9E3-BEE9CF0803D4}");
// Complex buffers (two doubles per element).
inline constexpr TGUID TrelComplexBufferType =
    TGUID::Parse("{BD797143-D7C6-4033-B686-9ABA658346CF}");
// Listed by every signal pin. It has no registry record, so a link that
// ends up with this type delivers nothing.
inline constexpr TGUID TrelSignalLinkType = TGUID::Parse("{949B7FD0-421F-4F1B-B8D2-87969D3E66E0}");
// The signal receive interface: every signal pin answers it (sinks with
// Receive, sources with DispatchTyped); BufferTypeFunction delivers through
// it.
inline constexpr TGUID TrelSignalReceiveType =
    TGUID::Parse("{20ACBC6D-DA0D-4359-8C78-CE0067D009A0}");

// ---------------------------------------------------------------------------
// Operations

// A start carrying a sample rate and a block count. `Rate` (the base's) is
// SampleRate / Count when Count > 0, else SampleRate, in single precision (a
// quotient beyond the single range becomes an infinity).
class TVekStartSampleRateOperation : public TVekStartRateOperation {
  KESTRUNE_CLASS(TVekStartSampleRateOperation, TVekStartRateOperation)
  TVekStartSampleRateOperation(double sampleRate, std::int32_t count);
  std::int32_t Count;
  double SampleRate;
};

// The start of a spectrum stream.
class TVekStartSpectrumOperation : public TVekStartSampleRateOperation {
  KESTRUNE_CLASS(TVekStartSpectrumOperation, TVekStartSampleRateOperation)
  using TVekStartSampleRateOperation::TVekStartSampleRateOperation;
};

// The start of an intensity stream.
class TVekStartIntensityOperation : public TVekStartSampleRateOperation {
  KESTRUNE_CLASS(TVekStartIntensityOperation, TVekStartSampleRateOperation)
  using TVekStartSampleRateOperation::TVekStartSampleRateOperation;
};

// A stream resumes.
class TVekTrelResumeOperation : public TVekNotifyOperation {
  KESTRUNE_CLASS(TVekTrelResumeOperation, TVekNotifyOperation)
  TVekTrelResumeOperation() = default;
};

// ---------------------------------------------------------------------------
// The buffer types and their type function

// A new buffer of `count` elements (contents undefined); raises as the typed
// buffers' constructors do.
using TTrelBufferFactory = IPtr<ITrelDataBuffer> (*)(std::int32_t count);
// Prepares `buffer` for the stream that `operation` starts.
using TTrelBufferStartHandler = void (*)(ITrelDataBuffer* buffer, IVekNotifyOperation* operation);

struct TTrelBufferTypeRecord {
  TGUID StreamType;
  std::int32_t ElementSize;
  TTrelBufferFactory Factory;
  TTrelBufferStartHandler StartHandler;
};

// The type function of the buffer types (and of the audio type): nothing on
// a synchronisation delivery (false); otherwise the target's signal receive
// interface gets the operation and its Receive result is the result; false
// when the target lacks that interface.
bool BufferTypeFunction(TVekBasicPin* pin, IVekBasicPin* target, const TGUID& streamType,
                        std::uint8_t flags, IVekNotifyOperation* operation);

// A start that carries a block count (TVekStartSampleRateOperation and its
// descendants) sets the buffer's count to it (SetCount, keeping the data);
// other operations do nothing. Raises as SetCount does for a negative count.
void BufferStartHandler(ITrelDataBuffer* buffer, IVekNotifyOperation* operation);

// Records a buffer type: an existing record of that stream type gets the new
// factory and start handler (its element size stays); otherwise a record is
// appended. Start-up only (no lock).
void RegisterBufferType(const TGUID& streamType, std::int32_t elementSize,
                        TTrelBufferFactory factory, TTrelBufferStartHandler startHandler);
// The records in registration order; empty outside the unit's life.
const std::vector<TTrelBufferTypeRecord>& BufferTypeTable();
// The record of a stream type; nullptr when there is none.
const TTrelBufferTypeRecord* FindBufferType(const TGUID& streamType);

// ---------------------------------------------------------------------------
// Pins

// A signal output.
class TTrelVekSourcePin : public TVekSourcePin {
  KESTRUNE_CLASS(TTrelVekSourcePin, TVekSourcePin)
  explicit TTrelVekSourcePin(TComponent* owner);

  // Delivers a TVekStopOperation to `pin` alone (a receiver's exception is
  // dropped), then removes the link.
  void Disconnect(TVekBasicPin* pin, bool keepPlaceholder) override;
  // Adds the link, then starts the new sink with the remembered start (to
  // that sink alone).
  void AddSinkEntry(TVekBasicPin* sink, TVekBasicPin* dependsOn) override;
  // The push, holding this pin's group lock throughout. Afterwards a start
  // (any TVekStartOperation) is remembered and a stop (end stops included)
  // forgets it; this also happens when a receiver raises, whose exception
  // then passes to the caller.
  bool Notify(IVekNotifyOperation* operation) override;
  // Links `pin`; then the remembered start is delivered to `pin` once more
  // (it got it first when its entry was added). The result is the link's.
  bool ConnectTo(TVekBasicPin* pin, TVekBasicPin* dependsOn) override;

  // The signal receive interface (operations a sink sends upstream):
  // DispatchTyped.
  bool Receive(const TGUID& streamType, IVekNotifyOperation* operation, std::uint8_t flags) final;
  // The handler of the clock type: DeliverClockTick.
  virtual bool DispatchClock(IVekBasicPin* target, const TGUID& streamType, std::uint8_t flags,
                             IVekNotifyOperation* operation);
  // Operations sent upstream to this pin; false here.
  virtual bool DispatchTyped(const TGUID& streamType, IVekNotifyOperation* operation,
                             std::uint8_t flags);

  // Pushes `buffer` (held by the operation, not copied) to every sink,
  // which have all processed it when SendData returns. Never raises: an
  // exception anywhere in the push ends it (later sinks are not served). A
  // nullptr buffer sends nothing. The result is the push's (Notify's), which
  // reports the state peers' delivery and is false: it says nothing about
  // the sinks, and an error is never reported as true.
  bool SendData(ITrelDataBuffer* buffer);
  // Pushes a TVekEndStopOperation; exceptions pass to the caller. The result
  // as for SendData.
  bool SendStop();

 protected:
  // Updates what is replayed to new sinks after `operation` was pushed.
  // Caller holds this pin's group lock.
  virtual void RememberStreamStateLocked(IVekNotifyOperation* operation);
  // Delivers `operation` to `sink` alone, dropping a receiver's exception.
  void DeliverToSinkDroppingErrors(IVekNotifyOperation* operation, TVekBasicPin* sink);
  // The remembered start, taken under this pin's group lock.
  IPtr<IVekNotifyOperation> LastStart();

 private:
  // The pin pushes buffers with notify operations, copying sink entries for
  // large fan-outs: it uses those classes' free lists, which give their
  // memory back when the last such pin goes. Declared first, so the
  // remembered start below goes to its list before.
  TFreeListsUser buffer_lists_user_{TrelBufferObjectLists()};
  TFreeListsUser operation_lists_user_{VekOperationLists()};
  TFreeListsUser snapshot_lists_user_{VekPushSnapshotLists()};
  IPtr<IVekNotifyOperation> last_start_;
};

// A real-buffer output.
class TTrelVekRealSourcePin : public TTrelVekSourcePin {
  KESTRUNE_CLASS(TTrelVekRealSourcePin, TTrelVekSourcePin)
  explicit TTrelVekRealSourcePin(TComponent* owner, TVekNotifyHandler onUpstream = {});

  // OnUpstream (this pin, stream type, flags, operation) when assigned;
  // else false.
  bool DispatchTyped(const TGUID& streamType, IVekNotifyOperation* operation,
                     std::uint8_t flags) override;
  // The handler of "Float single" links: nothing on a synchronisation
  // delivery; a supplied buffer reaches a target that answers "Float single"
  // as a TVekSuppliedSingleOperation of its element 0. Other operations are
  // not delivered. Raises EIntfCastError "Interface non supportée" for a
  // buffer that is not a real buffer and ERangeError for an empty one.
  // Always false.
  virtual bool DispatchReal(IVekBasicPin* target, const TGUID& streamType, std::uint8_t flags,
                            IVekNotifyOperation* operation);

  // The owner's handler of operations sent upstream. Set it before linking.
  TVekNotifyHandler OnUpstream;
};

// A signal input; ignores everything.
class TTrelVekSinkPin : public TVekSinkPin {
  KESTRUNE_CLASS(TTrelVekSinkPin, TVekSinkPin)
  explicit TTrelVekSinkPin(TComponent* owner);
  // The signal receive interface; false here.
  bool Receive(const TGUID& streamType, IVekNotifyOperation* operation,
               std::uint8_t flags) override;
};

// A real-buffer input.
class TTrelVekRealSinkPin : public TTrelVekSinkPin {
  KESTRUNE_CLASS(TTrelVekRealSinkPin, TTrelVekSinkPin)
  explicit TTrelVekRealSinkPin(TComponent* owner, TVekNotifyHandler onReceive = {});
  // Every receive interface the pin answers: OnReceive (this pin, stream
  // type, flags, operation) when assigned; else false.
  bool Receive(const TGUID& streamType, IVekNotifyOperation* operation,
               std::uint8_t flags) override;

  // The owner's handler. Set it before linking.
  TVekNotifyHandler OnReceive;
};

// A real-buffer input that also takes "Real single" and "Float single" links.
class TTrelVekComboRealSinkPin : public TTrelVekRealSinkPin {
  KESTRUNE_CLASS(TTrelVekComboRealSinkPin, TTrelVekRealSinkPin)
  explicit TTrelVekComboRealSinkPin(TComponent* owner, TVekNotifyHandler onReceive = {});
};

// A combined input that also takes integer buffers and "Integer single".
// Like every sink pin it enters dependency walks and type negotiation beyond
// its own link only when a source pin lists it among its dependencies; a
// component without outputs (the scope) has nothing to switch off.
class TTrelVekComboRealIntSinkPin : public TTrelVekComboRealSinkPin {
  KESTRUNE_CLASS(TTrelVekComboRealIntSinkPin, TTrelVekComboRealSinkPin)
  explicit TTrelVekComboRealIntSinkPin(TComponent* owner, TVekNotifyHandler onReceive = {});
};

// Registers the type function of the five buffer types and fills the buffer
// type table; the shutdown empties the table. Needs VekPinsUnit.
extern TUnit TrelStreamTypesUnit;
