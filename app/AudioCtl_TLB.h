// The wrapper component of the external audio-recording control.
//
// TCAudioRecord is what the main window creates (named "AC1", owned by the
// window): it connects to the control on first use, through
// kestrune::CreateAudioRecord (platform/com/AudioRecord.h, whose factory tests
// replace), and turns each call's result code into an exception. When the
// control cannot be made, every call raises EAssertionFailed with the
// not-connected text.
//
// Threads: main thread.
#pragma once

#include <cstdint>
#include <string>

#include "platform/classes/CustomForm.h"
#include "platform/com/AudioRecord.h"
#include "platform/com/OleServer.h"

class TCAudioRecord : public TOleServer {
  KESTRUNE_CLASS(TCAudioRecord, TOleServer)
  explicit TCAudioRecord(TComponent* owner) : TOleServer(owner) {}
  ~TCAudioRecord() override;

  void Connect() override;
  void Disconnect() override;
  // The control, connecting first when needed. Raises EAssertionFailed
  // "DefaultInterface is NULL. Component is not connected to Server. You
  // must call 'Connect' or 'ConnectTo' before this operation" when it stays
  // unconnected.
  IAudioRecord* GetDefaultInterface();

  // The control's calls; a failure code raises EOleSysError.
  int32_t GetDeviceCount();
  std::string GetDeviceName(int32_t index);
  void SelectDevice(int32_t index);
  void SetFileName(const std::string& fileName);
  int32_t GetLineCount();
  void SelectLine(int32_t index);
  std::string GetLineName(int32_t index);
  void SetControlValue(int32_t value);

  // The control's event 1. The control here raises no events, so it never
  // runs; it is kept for the stored description.
  TNotifyEvent OnPCMWaveData;

 private:
  IPtr<IAudioRecord> intf_;
};
