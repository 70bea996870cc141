// Level meters on the capture thread's push: the common meter and the
// peak-programme meter.
//
// A meter queues the audio buffers it receives, cuts the stream into periods
// of `Period` milliseconds and turns each period into one level per channel.
// Levels are in sample units of the stream's container width; each one goes
// with the full-scale value 2^(container bits - 1) - 1 (MoskFullScaleOf; 0
// for a width the sample conversions do not take). They are delivered on
// per-channel real-value output pins and through OnValueChange, either at
// once on the capturing thread (stNone) or on the main thread (stSingleBuffer:
// the last level of each buffer; stQueue: every level) through the shared
// main-thread notifier and per-channel queues.
//
// Threads: the input handler runs on the pushing thread under the
// component's lock group; setters and the main-thread delivery take the same
// lock, so a delivery never interleaves with a period being processed. A
// setter that changes what the pushing thread writes (Period with the channel
// blocks it sizes, CountChannels with the level queues) changes it whole
// inside one write section; the output pins CountChannels adds or removes
// change under the global write lock, which waits for a push in progress.
// Every write into a channel block is bounded by that block's own size.
// Nothing on the processing path waits for the main thread: it only posts.
// A period whose block would exceed the block store's limit refuses metering
// (incoming buffers are dropped) and the error is raised on the main thread
// by the next delivery.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "Vek/VekPinList.h"
#include "Vek/VekValuePins.h"
#include "audio/MoskAudioBuffer.h"
#include "audio/MoskFilters.h"
#include "platform/classes/Classes.h"
#include "signal/core/MoskStreamTypes.h"
#include "signal/core/TrelMainThreadNotify.h"
#include "signal/core/TrelRealQueue.h"
#include "signal/core/TrelTypedBuffers.h"

struct IirState;

enum TTrelSynchronizeType : std::uint8_t { stNone, stSingleBuffer, stQueue };

using TMoskMeterValueChangeEvent =
    TMethod<void(TObject* sender, std::int32_t channel, double value, double max)>;

// Audio buffers not yet fully consumed, with their total frame count. The
// buffers sit in a ring that only grows (doubling), so once it has room for
// the deepest backlog seen, queueing takes nothing from the heap.
class TMoskMeterBufferQueue : public TObject {
  KESTRUNE_CLASS(TMoskMeterBufferQueue, TObject)
  TMoskMeterBufferQueue() = default;

  void Push(IMoskAudioBuffer* buffer);
  void RemoveFirst();
  // The buffer at `index`, or null past the end.
  IMoskAudioBuffer* GetItem(std::int32_t index) const;
  void Clear();
  std::int64_t TotalFrames() const { return total_frames_; }
  std::int32_t Count() const { return static_cast<std::int32_t>(count_); }

 private:
  std::vector<IPtr<IMoskAudioBuffer>> ring_;
  std::size_t head_ = 0;   // the first buffer's slot
  std::size_t count_ = 0;  // buffers in the ring
  std::int64_t total_frames_ = 0;
};

inline constexpr std::int32_t kMoskMeterMaxChannels = 32;
using TMoskMeterLevels = std::array<double, kMoskMeterMaxChannels>;

class TMoskCommonMeter : public TComponent {
  KESTRUNE_CLASS(TMoskCommonMeter, TComponent)
  explicit TMoskCommonMeter(TComponent* owner);
  ~TMoskCommonMeter() override;
  // Unlinks the input and runs the stop hook before the parts go.
  void BeforeDestruction() override;
  // Completes the output pins' links read from a description.
  void Loaded() override;

  TMoskVekAudioSinkPin* GetInputPin() const { return input_pin_; }
  TVekPinList* GetOutputPins() const { return output_pins_; }
  std::int32_t GetCountChannels() const { return count_channels_; }
  void SetCountChannels(std::int32_t value);
  TTrelSynchronizeType GetSynchronizeType() const { return synchronize_type_; }
  void SetSynchronizeType(TTrelSynchronizeType value);
  std::uint32_t GetPeriod() const { return period_; }
  void SetPeriod(std::uint32_t value) { SetPeriodValue(value); }
  TMoskMeterValueChangeEvent GetOnValueChange() const { return on_value_change_; }
  void SetOnValueChange(TMoskMeterValueChangeEvent value);

  // Samples per period per channel: sample rate x Period / 1000, at least 1.
  virtual std::int64_t GetPeriodSamples();
  // The main-thread notifier's callback: delivers the queued levels, then
  // raises a refusal of metering that is waiting to be reported.
  void MainThreadDeliver(TObject* sender);
  // True while metering is refused (tests).
  bool Refused();

 protected:
  virtual void StartFormat(const WAVEFORMATEXTENSIBLE* format);
  virtual void Stopped() {}
  virtual void EmitValues();
  virtual void AllocateChannelBuffers();
  virtual void ProcessBlock();
  virtual void ProcessChannel(TMoskMeterLevels& levels) = 0;
  virtual void SetPeriodValue(std::uint32_t value);

  bool InputPinNotify(IVekBasicPin* target, const TGUID& streamType, std::uint8_t flags,
                      IVekNotifyOperation* operation);

  TVekObject* Lock() const { return lock_; }
  const WAVEFORMATEXTENSIBLE& KeptFormat() const { return format_; }
  // The channels a period is cut for: min(CountChannels, format channels).
  std::uint32_t MeasuredChannels() const;
  // One period of one channel as floats (null when no block exists). Caller
  // holds the component's lock.
  float* ChannelBlock(std::uint32_t channel);
  // The number of floats that channel's block holds (0 when none): every
  // write into ChannelBlock stays below it. Caller holds the component's lock.
  std::int64_t ChannelBlockSamples(std::uint32_t channel);

 private:
  bool PeriodReady();
  void ProcessPeriod(TMoskMeterLevels& levels);
  std::int32_t DeliveredChannels();
  void ReportLater(std::string message);

  TMoskVekAudioSinkPin* input_pin_ = nullptr;
  TVekPinList* output_pins_ = nullptr;
  TVekObject* lock_ = nullptr;
  TTrelMainThreadNotify* notifier_ = nullptr;
  std::vector<TTrelRealQueue*> queues_;
  TMoskMeterBufferQueue buffer_queue_;
  std::vector<IPtr<ITrelBlockBuffer>> channel_blocks_;
  WAVEFORMATEXTENSIBLE format_{};
  TTrelSynchronizeType synchronize_type_ = stSingleBuffer;
  std::uint32_t period_ = 100;
  std::int32_t count_channels_ = 0;
  double full_scale_ = 0.0;
  std::int64_t read_offset_ = 0;
  bool refused_ = false;
  std::string pending_error_;
  TMoskMeterValueChangeEvent on_value_change_;
};

// The factor a decaying peak level is multiplied by per sample:
// keep = 1 - 1 / hold with hold = sampleRate x halfLife / 1000 samples, which
// releases the level by level / hold per sample. No hold (halfLife <= 0, or a
// hold shorter than one sample, where level - level / hold would be negative)
// gives 0: the level then follows the rectified signal.
double MoskPeakKeepFactor(std::uint32_t sampleRate, std::int32_t halfLife);

// The peak level after `count` samples, starting from `level` (>= 0), with
// `keep` in [0, 1] from MoskPeakKeepFactor. Per sample, with x = |sample|:
//   x > level           level = x                      (instant attack)
//   else level > 0.005  level = max(level x keep, x)   (release)
//   else                level = 0                      (cut-off)
// Runs of samples where the cut-off cannot fire are taken as blocks, whose
// result equals the per-sample rule's up to rounding in the last bits; where
// it can fire, the samples are taken one by one, so the level drops to 0 at
// the same sample as under the rule. Takes no lock; `samples` may be
// unaligned. A count below 1 returns `level`.
double MoskFollowPeak(const float* samples, std::int32_t count, double level, double keep);

// Peak-programme meter: blocks DC, takes the absolute peak with instant
// attack and releases it by level / (rate x HalfLife / 1000) per sample; a
// level at or below 0.005 drops to 0 (MoskFollowPeak). A HalfLife of 0 or
// less means no hold: the level follows the rectified signal.
class TMoskPPMMeter : public TMoskCommonMeter {
  KESTRUNE_CLASS(TMoskPPMMeter, TMoskCommonMeter)
  explicit TMoskPPMMeter(TComponent* owner);
  ~TMoskPPMMeter() override;

  std::int32_t GetHalfLife() const { return half_life_; }
  void SetHalfLife(std::int32_t value);
  // The number of channels with a DC filter (tests).
  std::int32_t FilterCount() const;

 protected:
  void StartFormat(const WAVEFORMATEXTENSIBLE* format) override;
  void ProcessChannel(TMoskMeterLevels& levels) override;

 private:
  std::int32_t half_life_ = 1000;
  TMoskMeterLevels levels_{};
  TMoskDcBlockerStates states_;
};

void RegisterMoskMeterClasses();
