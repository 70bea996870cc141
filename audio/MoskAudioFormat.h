// The description of a PCM stream: channel count, sample width, sample rate,
// speaker mask and, for capture, the number of frames per block.
//
// Life cycle: the owning component creates its format in its constructor
// (Create<TMoskAudioFormat>(owner, lockOwner, onChange)), publishes it as a
// read-only sub-object (`AudioFormat`), and frees it in its destructor. Stored
// descriptions set its properties one by one ("AudioFormat.SampleRate =
// 44100"). A format has no Assign of its own: assigning a whole object to
// it raises the class library's cannot-assign EConvertError.
//
// The format keeps a complete 40-byte extensible wave-format header in step
// with its properties at all times, so the header can be handed unchanged to
// the capture device and to the start-wave operation that announces the
// stream downstream (GetWaveFormat).
//
// Threads: the setters run inside the lock owner's write section, so a
// setter on the main thread is serialised with the owner's own locked work
// on the capture thread; the change handler runs inside that section too.
// The getters and GetWaveFormat read without locking: call them on the
// thread that sets the properties, or inside the owner's lock.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/classes/Classes.h"
#include "platform/win/WaveIn.h"

// The same event type as the class library's (sender = the object).
using TNotifyEvent = TMethod<void(TObject*)>;

// The 18 speaker positions, in the order of the channel-mask bits 0..17.
enum TMoskSpeaker : uint32_t {
  spFrontLeft,
  spFrontRight,
  spFrontCenter,
  spSubwoofer,
  spBackLeft,
  spBackRight,
  spFrontLeftOfCenter,
  spFrontRightOfCenter,
  spBackCenter,
  spSideLeft,
  spSideRight,
  spTopCenter,
  spTopFrontLeft,
  spTopFrontCenter,
  spTopFrontRight,
  spTopBackLeft,
  spTopBackCenter,
  spTopBackRight,
};
inline constexpr uint32_t MoskSpeakerCount = 18;

// A set of speakers: bit i stands for the speaker of ordinal i. Bits above 17
// are carried as they are (the header's mask is a plain 32-bit field).
using TMoskSpeakers = uint32_t;

constexpr TMoskSpeakers SpeakerSet(TMoskSpeaker speaker) {
  return TMoskSpeakers{1} << speaker;
}

// The owner's lock, around every change of a format. The capture component
// implements it with its lock object's write section.
class TMoskFormatLockOwner {
 public:
  // Runs `change` inside the owner's write section and leaves the section on
  // every path, also when `change` raises (the exception passes on). The
  // section must be re-entrant for the calling thread: the change handler
  // may set further properties.
  virtual void RunInWriteSection(const std::function<void()>& change) = 0;

 protected:
  ~TMoskFormatLockOwner() = default;
};

// Channels, bits, sample rate and speaker mask, with the header that mirrors
// them.
class TMoskAudioFormatBasic : public TPersistent {
  KESTRUNE_CLASS(TMoskAudioFormatBasic, TPersistent)
  // `owner`: the object that publishes this format (GetOwner), may be null.
  // `lockOwner`: the lock every change runs under; null runs changes
  // unlocked (a format that only one thread uses). `onChange`: called after
  // every effective change, with the format as sender; may be unassigned.
  // Both are kept, not owned, and must outlive the format. The format starts
  // as 2 channels, 16 bits, 11025 samples/s, front left and right; setting
  // these defaults neither locks nor calls `onChange` (the owner is still
  // being built).
  TMoskAudioFormatBasic(TPersistent* owner, TMoskFormatLockOwner* lockOwner, TNotifyEvent onChange);

  uint32_t GetChannels() const { return wave_format_.Format.nChannels; }
  // Clamped to 1..32; a value that clamps to the current one changes nothing.
  void SetChannels(uint32_t value);

  // Valid bits per sample; the container is this rounded up to whole bytes.
  uint32_t GetBits() const { return wave_format_.wValidBitsPerSample; }
  // Clamped to 8..32; a value that clamps to the current one changes nothing.
  void SetBits(uint32_t value);

  uint32_t GetSampleRate() const { return wave_format_.Format.nSamplesPerSec; }
  // Any value, 0 included; every assignment counts as a change (the header
  // is rewritten and the change handler called), even of the same value.
  void SetSampleRate(uint32_t value);

  TMoskSpeakers GetChannelMask() const { return wave_format_.dwChannelMask; }
  // Any mask; every assignment counts as a change, like SetSampleRate.
  void SetChannelMask(TMoskSpeakers value);

  // The header, kept in step with the properties: tag 0xFFFE, channels,
  // sample rate, average bytes per second (block align x sample rate, modulo
  // 2^32), block align ((container bits / 8) x channels), container bits
  // (valid bits rounded up to a multiple of 8), extra size 22, valid bits,
  // channel mask, PCM sub-format. The address stays valid as long as the
  // format lives; read it under the owner's lock while another thread may
  // set properties.
  const WAVEFORMATEXTENSIBLE* GetWaveFormat() const { return &wave_format_; }
  uint32_t GetContainerBits() const { return wave_format_.Format.wBitsPerSample; }
  uint32_t GetBlockAlign() const { return wave_format_.Format.nBlockAlign; }

  TPersistent* GetOwner() override { return owner_; }

 protected:
  // Runs `store` under the lock owner's write section; when it returns true
  // (something changed), rewrites the header and calls the change handler,
  // still inside the section.
  void Change(const std::function<bool()>& store);

 private:
  // Caller holds the lock (or is the constructor).
  void StoreChannelsLocked(uint32_t value);
  void StoreBitsLocked(uint32_t value);
  void UpdateWaveFormatLocked();

  WAVEFORMATEXTENSIBLE wave_format_{};
  TNotifyEvent on_change_;
  TMoskFormatLockOwner* lock_owner_;
  TPersistent* owner_;
};

// The capture format: adds the number of frames per capture block.
class TMoskAudioFormat : public TMoskAudioFormatBasic {
  KESTRUNE_CLASS(TMoskAudioFormat, TMoskAudioFormatBasic)
  // As TMoskAudioFormatBasic; BufferSize starts at 1024.
  TMoskAudioFormat(TPersistent* owner, TMoskFormatLockOwner* lockOwner, TNotifyEvent onChange);

  uint32_t GetBufferSize() const { return buffer_size_; }
  // Frames per capture block; 0 is taken as 1; only a different value is a
  // change. The header does not carry it.
  void SetBufferSize(uint32_t value);

 private:
  uint32_t buffer_size_ = 1024;
};

// The published properties of the two classes, for the audio unit's
// start-up.
void RegisterMoskAudioFormatClasses();
