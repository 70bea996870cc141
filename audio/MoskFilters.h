// One-in, one-out audio filters on the capture thread's push: the common
// filter base, the amplifier and the DC remover.
//
// A filter passes start, stop and every other operation straight through;
// each audio buffer is processed into a copy that is sent on. While disabled,
// or while its output is not linked, a filter does no work and the incoming
// samples travel on unchanged (an unlinked output sends nothing at all).
//
// Threads: the pins' handlers run on the pushing thread under the component's
// lock group (the input pin's); `Enabled` and `Coefficient` are written under
// the same lock from any thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "Vek/VekValuePins.h"
#include "audio/MoskAudioBuffer.h"
#include "platform/classes/Classes.h"
#include "signal/core/MoskStreamTypes.h"
#include "signal/core/TrelTypedBuffers.h"

struct IirState;

// DC-blocker taps (b0, b1, b2, a0, a1, a2) for a sample rate; false for a
// rate of 0 (no filter).
bool MoskDcBlockerTaps(double sampleRate, float (&taps)[6]);

// One DC-blocking IIR state per channel, as the DC remover and the meter keep
// them. Threads: the owner's lock guards it.
class TMoskDcBlockerStates {
 public:
  TMoskDcBlockerStates() = default;
  ~TMoskDcBlockerStates() { Release(); }
  TMoskDcBlockerStates(const TMoskDcBlockerStates&) = delete;
  TMoskDcBlockerStates& operator=(const TMoskDcBlockerStates&) = delete;

  // Frees every state, then makes one per channel for the sample rate. Every
  // old state goes first, so a state that cannot be made again leaves an
  // empty slot (nullptr), never a freed one; a rate of 0 makes none.
  void Rebuild(double sampleRate, std::uint32_t channels);
  void Release();
  // The states actually made.
  std::int32_t FilterCount() const;
  std::size_t Size() const { return states_.size(); }
  // The channel's state, nullptr when it could not be made.
  IirState* operator[](std::size_t channel) const { return states_[channel]; }

 private:
  std::vector<IirState*> states_;
};

class TMoskCommonFilter : public TComponent {
  KESTRUNE_CLASS(TMoskCommonFilter, TComponent)
  explicit TMoskCommonFilter(TComponent* owner);
  ~TMoskCommonFilter() override;
  // Unlinks the input before the parts go.
  void BeforeDestruction() override;

  TMoskVekAudioSinkPin* GetInputPin() const { return input_pin_; }
  TMoskVekAudioSourcePin* GetOutputPin() const { return output_pin_; }
  TVekBoolSinkPin* GetEnablePin() const { return enable_pin_; }
  bool GetEnabled() const { return enabled_.load(std::memory_order_relaxed); }
  void SetEnabled(bool value) { SetEnabledValue(value); }

 protected:
  virtual void SetEnabledValue(bool value);
  virtual bool InputPinNotify(IVekBasicPin* target, const TGUID& streamType, std::uint8_t flags,
                              IVekNotifyOperation* operation);
  virtual bool OutputPinNotify(IVekBasicPin* target, const TGUID& streamType, std::uint8_t flags,
                               IVekNotifyOperation* operation);
  // Runs ProcessData only when the output is linked.
  virtual void ProcessBuffer(IMoskAudioBuffer* input, IMoskAudioBuffer* output, bool& pass,
                             bool linked);
  // Writes the processed samples into `output` (which starts out sharing
  // the input's); clearing `pass` keeps the buffer from being sent.
  virtual std::int32_t ProcessData(IMoskAudioBuffer* input, IMoskAudioBuffer* output, bool& pass);
  // Keeps the carried format and forwards the operation.
  virtual void StartFormat(TVekStartWaveOperation* operation);
  virtual bool PassUpstream(IVekNotifyOperation* operation);
  virtual void Stopped() {}

  const WAVEFORMATEXTENSIBLE& KeptFormat() const { return format_; }
  TVekObject* Lock() const { return lock_; }

 private:
  void EnablePinChanged(TVekBasicPin* pin, bool value);

  TMoskVekAudioSinkPin* input_pin_ = nullptr;
  TMoskVekAudioSourcePin* output_pin_ = nullptr;
  TVekBoolSinkPin* enable_pin_ = nullptr;
  TVekObject* lock_ = nullptr;
  std::atomic<bool> enabled_{true};
  WAVEFORMATEXTENSIBLE format_{};
};

// Multiplies every sample by `Coefficient` (negative values are stored as 0),
// saturating to the sample width. At 1 the input's block passes on uncopied.
class TMoskAmplifier : public TMoskCommonFilter {
  KESTRUNE_CLASS(TMoskAmplifier, TMoskCommonFilter)
  explicit TMoskAmplifier(TComponent* owner);

  double GetCoefficient() const { return coefficient_.load(std::memory_order_relaxed); }
  void SetCoefficient(double value);

 protected:
  std::int32_t ProcessData(IMoskAudioBuffer* input, IMoskAudioBuffer* output, bool& pass) override;

 private:
  std::atomic<double> coefficient_{1.0};
};

// Removes the DC component of every channel with a first-order DC blocker,
// y[n] = x[n-1] - x[n-2] + R y[n-1] with R = 1 - 40 pi / sample rate (a
// corner near 20 Hz). The filter state carries over from buffer to buffer and
// restarts from zero at every start-wave. 8-bit streams are read as unsigned
// bytes and written back unsigned around the zero level 127, saturated to
// 0..255. A start-wave with a sample rate of 0 makes no filters, and a
// channel whose filter could not be made passes unchanged.
class TMoskRemoveDC : public TMoskCommonFilter {
  KESTRUNE_CLASS(TMoskRemoveDC, TMoskCommonFilter)
  explicit TMoskRemoveDC(TComponent* owner);
  ~TMoskRemoveDC() override;

  // The number of channels with a filter (tests).
  std::int32_t FilterCount() const;

 protected:
  std::int32_t ProcessData(IMoskAudioBuffer* input, IMoskAudioBuffer* output, bool& pass) override;
  void StartFormat(TVekStartWaveOperation* operation) override;

 private:
  TMoskDcBlockerStates states_;
  IPtr<ITrelBlockBuffer> work_;
};

void RegisterMoskFilterClasses();
