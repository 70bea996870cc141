// The external audio-recording control: the capture devices and the input
// lines of the chosen one.
//
// IAudioRecord is the control's interface; CreateAudioRecord makes one
// through a factory that tests replace (SetAudioRecordFactory). The program's
// control, TAudioRecordControl, lists the devices exactly as the wave-input
// layer does (CurrentWaveInDevices: the sound server's device first, then the
// card devices), so each name is a capability name the capture component can
// open, and reads the lines of the chosen device from its mixer
// (CaptureMixer.h). It keeps the file name and the control value it is given
// and does nothing else with them: it records nothing.
//
// Every call returns S_OK or a failure code (E_INVALIDARG for an index
// outside the list, E_FAIL for a failed mixer write); outputs are written
// only on success.
//
// Threads: a control is used from one thread at a time (the main thread in
// the program); the factory calls from any thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/com/CaptureMixer.h"
#include "platform/com/ComObj.h"
#include "platform/rtl/System.h"

// The control's class and event interface identifiers.
inline constexpr TGUID CLASS_AudioRecord = TGUID::Parse("{3387A365-D5A3-4BEE-8095-C5CFD9ABE517}");
inline constexpr TGUID DIID_IAudioRecordEvents =
    TGUID::Parse("{57983C84-ECB2-4E96-BD1D-8360551E6A23}");

struct IAudioRecord : public virtual IInterface {
  static constexpr TGUID IID = TGUID::Parse("{2E75CA94-2F09-4998-B668-48A83F6E9D92}");
  // The number of capture devices (the list is read anew).
  virtual HRESULT GetDeviceCount(int32_t& count) = 0;
  // The name of device `index` of the last list read.
  virtual HRESULT GetDeviceName(int32_t index, std::string& name) = 0;
  // Makes device `index` the current one and reads its lines.
  virtual HRESULT SelectDevice(int32_t index) = 0;
  virtual HRESULT SetFileName(const std::string& fileName) = 0;
  // The number of input lines of the current device (0 before SelectDevice).
  virtual HRESULT GetLineCount(int32_t& count) = 0;
  // Makes line `index` the current device's capture source; an index outside
  // its lines does nothing and succeeds.
  virtual HRESULT SelectLine(int32_t index) = 0;
  virtual HRESULT GetLineName(int32_t index, std::string& name) = 0;
  virtual HRESULT SetControlValue(int32_t value) = 0;
};

namespace kestrune {

// Makes a control, or answers a failure code and leaves `control` empty.
using AudioRecordFactory = std::function<HRESULT(IPtr<IAudioRecord>& control)>;

// Installs the factory CreateAudioRecord uses from now on (empty: the
// program's TAudioRecordControl). Returns the previous one.
AudioRecordFactory SetAudioRecordFactory(AudioRecordFactory factory);

// Makes a control through the installed factory.
HRESULT CreateAudioRecord(IPtr<IAudioRecord>& control);

// The program's control (see the file comment).
class TAudioRecordControl : public TInterfacedObject, public IAudioRecord {
  KESTRUNE_CLASS(TAudioRecordControl, TInterfacedObject)
  TAudioRecordControl() = default;

  HRESULT QueryInterface(const TGUID& iid, void** obj) override;

  HRESULT GetDeviceCount(int32_t& count) override;
  HRESULT GetDeviceName(int32_t index, std::string& name) override;
  HRESULT SelectDevice(int32_t index) override;
  HRESULT SetFileName(const std::string& fileName) override;
  HRESULT GetLineCount(int32_t& count) override;
  HRESULT SelectLine(int32_t index) override;
  HRESULT GetLineName(int32_t index, std::string& name) override;
  HRESULT SetControlValue(int32_t value) override;

  const std::string& FileName() const { return fileName_; }
  int32_t ControlValue() const { return controlValue_; }

 private:
  std::shared_ptr<const std::vector<CaptureDeviceEntry>> Devices();

  std::shared_ptr<const std::vector<CaptureDeviceEntry>> devices_;
  std::unique_ptr<CaptureLines> lines_;  // the current device's; null before SelectDevice
  std::string fileName_;
  int32_t controlValue_ = 0;
};

}  // namespace kestrune
