// The channel splitter and the audio-to-real converter.
//
// TMoskCommonSplitter takes one interleaved audio stream on its input pin and
// works on it channel by channel: every audio buffer is split into one block
// of doubles per channel, and each block goes to the per-channel output
// operation EmitChannel. A channel is converted only while its output pin is
// linked, so a splitter whose outputs are all unlinked receives every buffer
// and does no work. TMoskAudioToReal sends each channel's block out on its own
// real-buffer output pin (the scope's inputs in oscilloscope mode); the
// spectrum component (MoskSpectrum.h) derives from the same base.
//
// Life cycle. Made with Create<T>(owner) on the main thread: the input pin,
// the output pin list (which owns its pins) and the lock object are made in
// the constructor, and AfterConstruction makes the two default output pins,
// so the pins exist before a stored description sets CountChannels or links
// them. Loaded drops the pin list's placeholders still pending (links stored
// for pins that were never made). Freed by its owner: BeforeDestruction
// unlinks the input and sends a stop on every output, the destructor frees
// the pins.
//
// The stream: a TVekStartWaveOperation gives the wave format (kept until the
// next one); audio buffers are then converted; a stop or resume is forwarded
// on every output. Buffers before the first start-wave, or of a container
// width other than 8, 16, 24 or 32 bits, give nothing. Samples are not scaled:
// 8-bit samples are centred on 127 (u - 127), wider ones keep their signed
// value.
//
// Threads and locks. The component's lock object, its input pin and its
// output pins form one lock group. Every push into the input (the capture
// thread's) runs under that group's lock, taken by the pin framework; the
// handlers take no further lock. CountChannels changes take the global write
// section, so they never overlap a push.
#pragma once

#include <cstdint>

#include "Vek/VekPinList.h"
#include "Vek/VekPins.h"
#include "platform/classes/Classes.h"
#include "platform/win/WaveIn.h"
#include "signal/core/MoskStreamTypes.h"
#include "signal/core/TrelSimpleDataBuffer.h"

struct IMoskAudioBuffer;

class TMoskCommonSplitter : public TComponent {
  KESTRUNE_CLASS(TMoskCommonSplitter, TComponent)
  // Main thread. The pins are made here; AfterConstruction adds the two
  // default output pins.
  explicit TMoskCommonSplitter(TComponent* owner);
  // Frees the output pins (with their list), the input pin and the lock.
  ~TMoskCommonSplitter() override;
  // Makes the two default output pins (ChannelCountChanged(2)).
  void AfterConstruction() override;
  // Unlinks the input, then sends a stop on every output.
  void BeforeDestruction() override;
  // Drops the output list's pending placeholders (main thread).
  void Loaded() override;

  TMoskVekAudioSinkPin* GetInputPin() const { return input_pin_; }
  TVekPinList* GetOutputPins() const { return output_pins_; }
  // The number of output pins.
  int GetCountChannels();
  // Clamped to 1..32 (ChannelCountChanged). Main thread.
  void SetCountChannels(int count);

  // The framework's lock object of the component (its group holds the pins).
  TVekObject* LockObject() const { return lock_; }

  // The receive handler of InputPin (any thread, inside the push).
  bool InputPinNotify(IVekBasicPin* target, const TGUID& streamType, std::uint8_t flags,
                      IVekNotifyOperation* operation);
  // The handler of the output pins for operations coming back from their
  // sinks: forwarded upstream through InputPin when it is linked, otherwise
  // handled as if it had arrived on the input.
  bool OutputPinNotify(IVekBasicPin* target, const TGUID& streamType, std::uint8_t flags,
                       IVekNotifyOperation* operation);

 protected:
  // Brings the output pins to `count` (clamped to 1..32): the last pins are
  // freed first; new pins come from CreateOutputPin and depend on InputPin
  // with joined locks. Caller: main thread, holding no framework lock; this
  // takes the global write section, so no push runs meanwhile.
  virtual void ChannelCountChanged(int count);
  // A new output pin, owned by the component, with OutputPinNotify as its
  // upstream handler.
  virtual TVekSourcePin* CreateOutputPin() = 0;
  // A start-wave carried `format` (nullptr: nothing). Inside the push.
  virtual void StartFormat(const WAVEFORMATEXTENSIBLE* format) = 0;
  // A stop on every output.
  virtual void SendStop();
  // A resume on every output.
  virtual void SendResume();
  // Converts the linked channels of `buffer` (Inside the push).
  virtual void ProcessBuffer(IMoskAudioBuffer* buffer);
  // Pushes `operation` on every output pin in index order.
  virtual void NotifyOutputs(IVekNotifyOperation* operation);
  // One channel of `buffer` as doubles, by container width; each calls
  // EmitChannel with the new block.
  virtual void ConvertChannel8(int channel, IMoskAudioBuffer* buffer);
  virtual void ConvertChannel16(int channel, IMoskAudioBuffer* buffer);
  virtual void ConvertChannel24(int channel, IMoskAudioBuffer* buffer);
  virtual void ConvertChannel32(int channel, IMoskAudioBuffer* buffer);
  // Hands one channel's block on; the base does nothing and returns 0.
  virtual int EmitChannel(int channel, ITrelRealBuffer* samples);

  // The format of the last start-wave (all zero before the first). Read and
  // written inside pushes, under the group lock.
  WAVEFORMATEXTENSIBLE format_{};

  TVekObject* lock_ = nullptr;
  TMoskVekAudioSinkPin* input_pin_ = nullptr;
  TVekPinList* output_pins_ = nullptr;

 private:
  // The common part of the ConvertChannel members: the channel's samples of
  // container width `bits` as a real buffer, handed to EmitChannel.
  void ConvertWith(int channel, IMoskAudioBuffer* buffer, std::uint32_t bits);
};

// Sends each channel as a real buffer on output pin number `channel`.
class TMoskAudioToReal : public TMoskCommonSplitter {
  KESTRUNE_CLASS(TMoskAudioToReal, TMoskCommonSplitter)
  explicit TMoskAudioToReal(TComponent* owner) : TMoskCommonSplitter(owner) {}

 protected:
  // A TTrelVekRealSourcePin.
  TVekSourcePin* CreateOutputPin() override;
  // Keeps the format, then sends every output pin, in index order, a
  // TVekStartSampleRateOperation with the sample rate and a block count of
  // 0. A nullptr format changes nothing.
  void StartFormat(const WAVEFORMATEXTENSIBLE* format) override;
  // SendData on the channel's pin; returns 0.
  int EmitChannel(int channel, ITrelRealBuffer* samples) override;
};

// The published properties of the splitter and the converter, for the audio
// unit's start-up.
void RegisterMoskChannelSplitterClasses();
