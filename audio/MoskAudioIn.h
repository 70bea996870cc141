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
// Starting from upstream: a start-wave sent upstream to OutputPin restarts
// capture in the format it carries: the running capture is stopped (its end
// stop sent), the device opened in the new format, the start-wave passed on
// downstream, the blocks handed to the device and the device started;
// Enabled is then True, and a later stop closes the device. A stop sent
// upstream stops capture and is passed on. The end stop is the last word of
// a stream: nothing of that stream (no buffer, no resume) follows it.
//
// Threads: the main thread starts, stops and configures; the device's
// reading thread only posts to the wave thread (audio/MoskWaveThread.h); the
// wave thread runs HandleWaveMessage, and with it every downstream
// component. SetEnabled, Start, EnablePin and the operations sent upstream
// may come from any thread: every change of the device's life cycle (open,
// start, stop, close) runs inside one section, the device section, so a stop
// and an open never interleave. A stop or start-wave sent upstream from
// inside a push (on the wave thread, from a receiver of a buffer) stops the
// stream at once (nothing more of it is pushed) and is carried out right
// after that push, when the wave thread holds no lock of this component.
// Locks: the device section, the component's lock group (which holds
// OutputPin) and the capture-state lock (TMoskAudioParams) stand in the lock
// order written in Vek/VekLocks.h ("LOCK ORDER"). A stop takes the
// capture-state lock alone (never the group lock under it), resets and
// closes the device, and sends its end stop after releasing it. A
// block is made, listed, prepared and added under the capture-state lock and
// only while capture is active on the device open now; a data message of a
// closed device, or naming a block that is not listed, is ignored. Operations
// of the device section must not be started while the calling thread holds
// a group lock of a downstream component.
//
// Teardown: the destructor stops capture and ends (joins) the wave thread.
// Only when the destroying thread holds the global lock (for writing, or for
// reading, where a waiting writer could hold the wave thread back) while the
// wave thread waits for that lock (it was about to push a block) can the
// thread not be joined there: it is told to end, finds no component when the lock
// is released, and is joined by the next capture component made or freed, or
// at the latest by MoskEndPendingWaveThreads (the audio unit's shutdown).
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "Vek/VekExtCollection.h"
#include "Vek/VekPins.h"
#include "Vek/VekValuePins.h"
#include "audio/MoskAudioFormat.h"
#include "audio/MoskAudioParams.h"
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

// Joins every wave thread that a capture component destroyed under the
// global write lock had to leave running (see TMoskAudioIn's teardown). Call
// it while holding no global lock; the audio unit's shutdown does. Waits
// only for threads that have been told to end.
void MoskEndPendingWaveThreads();
// The number of such threads not joined yet (tests and diagnostics).
std::size_t MoskPendingWaveThreadCount();

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
  // next start. Any thread: the name is read and written under the name
  // lock, so a start on another thread reads the old name or the new one.
  std::string GetDeviceName() const;
  void SetDeviceName(const std::string& value);
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
  // Guards device_name_ alone; taken for a copy or a store, never while
  // another lock is taken.
  mutable std::mutex name_mutex_;
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
  // refused. Any thread: the whole change, EnablePin's included, runs in the
  // device section (EnablePin's peers are told without their group locks).
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
  // Runs `change` inside the lock object's write section (takes it).
  void RunInWriteSection(const std::function<void()>& change) override;

  // The device section: the global read lock, then the device's life-cycle
  // lock (re-entrant; free for the global writer, EnterUnderGlobalLock).
  // Released on every exit.
  struct DeviceSection;
  DeviceSection EnterDeviceSection();

  // The pump request (always won: this component is the pump master), then
  // StartCapture; Enabled := True unless a receiver stopped the new stream.
  // Raises EMoskAudioIn when refused.
  void RequestPumpAndStart();
  // A stream in the format of AudioFormat (StartStream).
  void StartCapture();
  // A whole start, inside the device section: the open (after a stop when
  // capture runs), `startWave` sent downstream, then, while the stream opened
  // here still stands, the blocks (as pump master), the device's start,
  // Enabled := True. Returns the start-wave's delivery result. Raises
  // EMoskAudioIn, changing nothing, when a block would be too large; a
  // receiver's exception passes on after the device is closed again.
  bool StartStream(const WAVEFORMATEXTENSIBLE& format, uint32_t frames,
                   IVekNotifyOperation* startWave);
  // Opens the device in `format` with `frames` frames per block (after a
  // stop when capture is active) and returns it (HWAVEIN{} when the open
  // failed). Caller holds the device section. Raises EMoskAudioIn, opening
  // nothing, when a block would be too large.
  HWAVEIN OpenWaveIn(const WAVEFORMATEXTENSIBLE& format, uint32_t frames);
  // Stops capture and closes the open device; sends the end stop and clears
  // Enabled when capture was active or a device open. Takes the device
  // section.
  void StopCapture();
  // The operations sent upstream from inside a push, carried out after it on
  // the wave thread; caller holds no lock of this component but the global
  // read lock.
  void RunDeferredOperations();
  // A start-wave or stop sent upstream, carried out now.
  bool StartFromUpstream(TVekStartWaveOperation* startWave);
  bool StopFromUpstream(IVekNotifyOperation* stop);
  // Caller holds the capture-state lock. A fresh block, made, listed,
  // prepared and added to `device` only while capture is active on it.
  // Never raises; false when no block was added.
  bool QueueCaptureBufferLocked(HWAVEIN device);

  // The wave thread's handler object, owning the thread (shared with the
  // pending ends when the thread has to be joined after the component).
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

  // The device's life-cycle lock (see the file comment).
  std::recursive_mutex device_mutex_;
  // Start-waves and stops sent upstream from inside a push; guarded by the
  // capture-state lock.
  std::vector<IPtr<IVekNotifyOperation>> deferred_;
  // Set by the destructor's last device section: no start runs after it;
  // guarded by the capture-state lock.
  bool closing_ = false;

  IPtr<TMoskAudioParams> params_;
  TVekObject* lock_object_ = nullptr;
  std::shared_ptr<WaveLink> wave_link_;
  // The link's thread (owned by the link); null in design mode.
  TMoskWaveThread* wave_thread_ = nullptr;
  TMoskAudioFormat* audio_format_ = nullptr;
  TMoskAudioCaptureDevice* device_ = nullptr;
  TMoskVekAudioSourcePin* output_pin_ = nullptr;
  TVekBoolStatePin* enable_pin_ = nullptr;
};

// The published properties of the capture component and its device classes,
// for the audio unit's start-up.
void RegisterMoskAudioInClasses();
