// Audio stream pins and the start-wave operation.
//
// Audio links carry interleaved multi-channel sample blocks (audio buffers)
// between the audio components: the capture component's output, the meter's,
// splitter's and filters' inputs, the filters' outputs. The pins are signal
// pins (signal/core/TrelStreamTypes.h) with their own stream type,
// MoskAudioBufferType, and an owner handler on both ends:
//
//   TMoskVekAudioSourcePin  SendData (buffer) pushes an audio buffer, SendStop
//                           an end stop; Notify pushes any operation (the
//                           start-wave, a resume). Besides the last start, it
//                           remembers the last TVekTrelResumeOperation until
//                           the next stop: a sink linked mid-stream gets the
//                           start (with its wave format), then the resume,
//                           before the next buffer. Operations its sinks send
//                           upstream reach OnUpstream.
//   TMoskVekAudioSinkPin    every operation that reaches it goes to OnReceive,
//                           whose result goes back to the pusher.
//
// The pins carry the buffer through its data interface (ITrelDataBuffer) and
// never look into it or into the wave format: both belong to the audio
// components. A stream starts with a TVekStartWaveOperation carrying the
// 40-byte extensible wave format of the blocks that follow; receivers copy
// the record out of it.
//
// Handlers, life cycle, threads and locks: as for the signal pins.
//
// Start-up: MoskStreamTypesUnit registers the audio type's function (needs
// VekPinsUnit).
#pragma once

#include <cstdint>

#include "platform/classes/Units.h"
#include "platform/win/WaveIn.h"
#include "signal/core/TrelStreamTypes.h"

// Audio buffers. No display name; delivered by BufferTypeFunction.
inline constexpr TGUID MoskAudioBufferType = TGUID::Parse("{1D5BD085-492E-4979-8F76-9C97D5C3C5B6}");

// The start of an audio stream: a sample rate (Rate and SampleRate, Count 0)
// and the wave format of the blocks that follow.
class TVekStartWaveOperation : public TVekStartSampleRateOperation {
  KESTRUNE_CLASS(TVekStartWaveOperation, TVekStartSampleRateOperation)
  // Copies the 40 bytes of `format`; without one, Format is the default
  // below, whatever `rate` is.
  TVekStartWaveOperation(const WAVEFORMATEXTENSIBLE* format, float rate);

  // The default format: extensible PCM, 2 channels, 11025 samples per
  // second, 16 bits (16 valid), 44100 bytes per second, block align 4,
  // channel mask 3, extra size 22.
  static WAVEFORMATEXTENSIBLE DefaultFormat();

  // Laid out byte for byte as the extensible wave-format record.
  WAVEFORMATEXTENSIBLE Format;
};

// An audio output.
class TMoskVekAudioSourcePin : public TTrelVekSourcePin {
  KESTRUNE_CLASS(TMoskVekAudioSourcePin, TTrelVekSourcePin)
  explicit TMoskVekAudioSourcePin(TComponent* owner, TVekNotifyHandler onUpstream = {});

  // The signal pins' replay of the last start to the new sink, then that of
  // the last resume (each to that sink alone; receivers' exceptions
  // dropped).
  void AddSinkEntry(TVekBasicPin* sink, TVekBasicPin* dependsOn) override;
  // OnUpstream (this pin, stream type, flags, operation) when assigned;
  // else false.
  bool DispatchTyped(const TGUID& streamType, IVekNotifyOperation* operation,
                     std::uint8_t flags) override;

  // The owner's handler of operations sent upstream. Set it before linking.
  TVekNotifyHandler OnUpstream;

 protected:
  // Also remembers a resume, and forgets it at a stop (end stops included).
  void RememberStreamStateLocked(IVekNotifyOperation* operation) override;

 private:
  IPtr<IVekNotifyOperation> LastResume();
  IPtr<IVekNotifyOperation> last_resume_;
};

// An audio input.
class TMoskVekAudioSinkPin : public TTrelVekSinkPin {
  KESTRUNE_CLASS(TMoskVekAudioSinkPin, TTrelVekSinkPin)
  explicit TMoskVekAudioSinkPin(TComponent* owner, TVekNotifyHandler onReceive = {});
  // OnReceive (this pin, stream type, flags, operation) when assigned; else
  // false.
  bool Receive(const TGUID& streamType, IVekNotifyOperation* operation,
               std::uint8_t flags) override;

  // The owner's handler. Set it before linking.
  TVekNotifyHandler OnReceive;
};

// Registers BufferTypeFunction for the audio type. Needs VekPinsUnit.
extern TUnit MoskStreamTypesUnit;
