// The capture component: PCM audio from a waveform-audio input device, pushed
// block by block through an output pin into the component graph.
//
// TMoskAudioIn opens the device chosen by Device (a name, alternatives, and
// the wave mapper as the last resort) in the format of AudioFormat, hands it
// 40 capture blocks of AudioFormat.BufferSize frames, and pushes every block
// the device fills, as an audio buffer, through OutputPin; each pushed block
// is replaced by a fresh one. A stream starts with a start-wave operation
// carrying the format header, and the first pushed block of every start is
// followed by a resume operation; every stop sends an end stop.
//
// Life cycle:
//   audioIn = Create<TMoskAudioIn>(owner);  // Enabled is True, nothing runs
//   ... stored description read, links made ...
//   audioIn->Loaded();          // (done by the reader) starts when Enabled
//   audioIn->SetEnabled(false); // stops; the device is closed
//   audioIn->GetDevice()->SetDeviceName("USB Audio");  // used at next start
//   audioIn->SetEnabled(true);  // opens the named device and starts
//   audioIn->Free();            // stops, ends the wave thread
// A component made in code (not read from a description) starts with
// SetEnabled(false) then SetEnabled(true), or with Loaded().
//
// Failures: a device that cannot be opened delivers nothing and reports
// nothing; the component stays enabled and can be stopped and started again
// (on another device). A BufferSize whose block (40 header bytes plus the
// frames) would exceed the block store's largest block refuses to start:
// SetEnabled(true) and Start raise EMoskAudioIn and Enabled stays False; a
// start from Loaded, or from a start-wave sent upstream, hands the same
// error to the main loop's exception handler instead. Nothing is raised on
// the wave thread.
//
// Threads: the main thread starts, stops and configures; the device's
// reading thread only posts to the wave thread (audio/MoskWaveThread.h); the
// wave thread runs HandleWaveMessage, and with it every downstream
// component. Lock order on the capture path: the global read lock, the
// component's lock group (which holds OutputPin), the capture-state lock
// (TMoskAudioParams), then the downstream pins' locks. The main thread's stop
// takes the capture-state lock alone (never the group lock under it), resets
// and closes the device, and sends its end stop after releasing it. A block
// is made, listed, prepared and added under the capture-state lock and only
// while capture is active on the device open now; a data message of a closed
// device, or naming a block that is not listed, is ignored. The wave thread
// is ended (joined) only on destruction, and never while the destroying
// thread holds the global write lock: then the thread is detached from the
// component and ended later from the main loop.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "Vek/VekExtCollection.h"
#include "Vek/VekPins.h"
#include "Vek/VekValuePins.h"
#include "audio/MoskAudioFormat.h"
#include "audio/MoskWaveThread.h"
#include "platform/rtl/SysUtils.h"
#include "signal/core/MoskStreamTypes.h"

// A capture start refused (see the file comment).
KESTRUNE_EXCEPTION(EMoskAudioIn, Exception)

// The device name that selects the wave mapper (compared ignoring case).
inline constexpr const char* MoskDefaultCaptureDeviceName = "Default";

// The names of the waveform-audio input devices, in device order (a fresh
// device listing).
std::vector<std::string> ListCaptureDeviceNames();

// One alternative device name.
class TMoskAudioCaptureDeviceItem : public TVekExtCollectionItem {
  KESTRUNE_CLASS(TMoskAudioCaptureDeviceItem, TVekExtCollectionItem)
  explicit TMoskAudioCaptureDeviceItem(TCollection* collection)
      : TVekExtCollectionItem(collection) {}

  const std::string& GetDeviceName() const { return device_name_; }
  void SetDeviceName(const std::string& value) { device_name_ = value; }
  // The device name.
  std::string GetDisplayName() override { return device_name_; }

 private:
  std::string device_name_;
};

// The alternatives, tried in order when DeviceName names no device.
class TMoskAudioCaptureDeviceItems : public TVekExtCollection {
  KESTRUNE_CLASS(TMoskAudioCaptureDeviceItems, TVekExtCollection)
  explicit TMoskAudioCaptureDeviceItems(TPersistent* owner)
      : TVekExtCollection(owner, TMoskAudioCaptureDeviceItem::StaticClass()) {}

  TMoskAudioCaptureDeviceItem* Item(int index) const {
    return static_cast<TMoskAudioCaptureDeviceItem*>(Items(index));
  }

 protected:
  // A new alternative is named after the present input device that the other
  // alternatives use least (the first on a tie); "Default" without devices.
  void ItemAdded(TVekExtCollectionItem* item) override;
};

// The device selection of a capture component.
class TMoskAudioCaptureDevice : public TPersistent {
  KESTRUNE_CLASS(TMoskAudioCaptureDevice, TPersistent)
  // `owner`: the publishing component (GetOwner), may be null.
  explicit TMoskAudioCaptureDevice(TPersistent* owner);
  ~TMoskAudioCaptureDevice() override;

  // "Default" at first. Storing a name does nothing else: it is used at the
  // next start.
  const std::string& GetDeviceName() const { return device_name_; }
  void SetDeviceName(const std::string& value) { device_name_ = value; }
  TMoskAudioCaptureDeviceItems* GetAlternativeDevices() const { return alternatives_; }

  // The index of the device to open, or -1 for the wave mapper: -1 for a
  // DeviceName of "Default" in any case; else the first device whose name
  // equals DeviceName exactly; else, for each alternative in order, -1 for
  // "Default" in any case or the first device of exactly that name; else -1.
  // Takes a fresh device listing.
  int GetDeviceIndex() const;

  TPersistent* GetOwner() override { return owner_; }

 private:
  TPersistent* owner_;
  std::string device_name_ = MoskDefaultCaptureDeviceName;
  TMoskAudioCaptureDeviceItems* alternatives_;
};

class TMoskAudioIn : public TComponent, private TMoskFormatLockOwner {
  KESTRUNE_CLASS(TMoskAudioIn, TComponent)
  // Makes the capture state, the lock object, the wave thread (not in design
  // mode), AudioFormat, Device, OutputPin and EnablePin. Enabled is True;
  // nothing starts here.
  explicit TMoskAudioIn(TComponent* owner);
  // Stops capture, ends the wave thread, frees the pins and sub-objects.
  ~TMoskAudioIn() override;

  // Starts capture when Enabled, outside design mode. A refused start (see
  // the file comment) goes to the main loop's exception handler.
  void Loaded() override;

  // Capture wanted; also True while capture runs, cleared by every stop.
  bool GetEnabled() const { return enabled_.load(); }
  // Nothing for the current value. True (outside design mode and loading)
  // starts capture, False stops it; then the value is stored and EnablePin
  // follows. Raises EMoskAudioIn, leaving Enabled False, when the start is
  // refused.
  void SetEnabled(bool value);
  // Starts capture when Enabled is False; nothing otherwise.
  void Start();

  int32_t GetPumpPriority() const { return pump_priority_; }
  void SetPumpPriority(int32_t value) { pump_priority_ = value; }
  TMoskAudioCaptureDevice* GetDevice() const { return device_; }
  TMoskAudioFormat* GetAudioFormat() const { return audio_format_; }
  TMoskVekAudioSourcePin* GetOutputPin() const { return output_pin_; }
  TVekBoolStatePin* GetEnablePin() const { return enable_pin_; }

  // The device open now (HWAVEIN{} when none), for tests and diagnostics.
  HWAVEIN OpenDevice() const;
  // The capture blocks handed to the open device and not yet back.
  std::size_t QueuedBlockCount() const;

  // The number of blocks kept with the device while capturing.
  static constexpr int CaptureBlockCount = 40;

 private:
  // Runs inside the lock object's write section.
  void WriteLocked(const std::function<void()>& change) override;

  // The pump request (always won: this component is the pump master), then
  // StartCapture; Enabled := True. Raises EMoskAudioIn when refused.
  void RequestPumpAndStart();
  // The start-wave, the open and start of the device, then 40 blocks.
  void StartCapture();
  // Opens the device in `format` with `frames` frames per block (after a
  // stop when capture is active). Raises EMoskAudioIn, opening nothing, when
  // a block would be too large.
  void OpenWaveIn(const WAVEFORMATEXTENSIBLE& format, uint32_t frames);
  // Stops capture and closes the open device; sends the end stop and clears
  // Enabled when capture was active or a device open.
  void StopCapture();
  // Caller holds the capture-state lock. A fresh block, made, listed,
  // prepared and added to `device` only while capture is active on it.
  // Never raises; false when no block was added.
  bool QueueCaptureBufferLocked(HWAVEIN device);

  // The wave thread's handler object (it outlives the component when the
  // thread has to be ended later).
  struct WaveLink;
  // The data path: caller holds the global read lock.
  void HandleWaveData(HWAVEIN device, const WAVEHDR* header);

  bool OutputPinNotify(IVekBasicPin* target, const TGUID& streamType, uint8_t flags,
                       IVekNotifyOperation* operation);
  void EnablePinChanged(TVekBasicPin* pin, bool value);

  // Hands a refused start to the main loop's exception handler, on the main
  // thread (to stderr when there is no main loop).
  static void ReportOnMainThread(std::exception_ptr error);

  // Written by a stop, which a stop sent upstream runs on the pushing thread.
  std::atomic<bool> enabled_{true};
  int32_t pump_priority_ = 0;
  double pump_rate_ = 1.0;
  // The format and block size the open device was opened with; guarded by
  // the capture-state lock.
  WAVEFORMATEXTENSIBLE open_format_{};
  uint32_t open_frames_ = 0;
  // The first block of the current start was pushed; guarded by the
  // capture-state lock.
  bool first_block_sent_ = false;

  IPtr<TMoskAudioParams> params_;
  TVekObject* lock_object_ = nullptr;
  WaveLink* wave_link_ = nullptr;
  TMoskWaveThread* wave_thread_ = nullptr;
  TMoskAudioFormat* audio_format_ = nullptr;
  TMoskAudioCaptureDevice* device_ = nullptr;
  TMoskVekAudioSourcePin* output_pin_ = nullptr;
  TVekBoolStatePin* enable_pin_ = nullptr;
};

// The published properties of the capture component and its device classes,
// for the audio unit's start-up.
void RegisterMoskAudioInClasses();
