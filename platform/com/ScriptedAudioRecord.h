// A scripted recording control for tests of the main window: fixed device
// and line lists, a failure on any chosen call, and a log of every call.
//
// Install it with SetAudioRecordFactory (AudioRecord.h), for instance through
// InstallScriptedAudioRecord. The log holds one entry per call, in order:
// "GetDeviceCount", "GetDeviceName 0", "SelectDevice 0", "SetFileName <name>",
// "GetLineCount", "GetLineName 1", "SelectLine 0", "SetControlValue 0". A call
// named in `failing` (by its method name) is logged and answers E_FAIL.
//
// Threads: one thread at a time, like the program's control.
#pragma once

#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/com/AudioRecord.h"

namespace kestrune {

struct ScriptedAudioRecordDevice {
  std::string name;
  std::vector<std::string> lines;
};

struct ScriptedAudioRecordScript {
  std::vector<ScriptedAudioRecordDevice> devices;
  std::set<std::string> failing;  // method names that answer E_FAIL
  // Told of every log entry as it is made, so a test can put the calls in
  // one journal with other events (may be empty).
  std::function<void(const std::string& entry)> onCall = {};
};

class TScriptedAudioRecord : public TInterfacedObject, public IAudioRecord {
  KESTRUNE_CLASS(TScriptedAudioRecord, TInterfacedObject)
  explicit TScriptedAudioRecord(ScriptedAudioRecordScript script);

  HRESULT QueryInterface(const TGUID& iid, void** obj) override;
  HRESULT GetDeviceCount(int32_t& count) override;
  HRESULT GetDeviceName(int32_t index, std::string& name) override;
  HRESULT SelectDevice(int32_t index) override;
  HRESULT SetFileName(const std::string& fileName) override;
  HRESULT GetLineCount(int32_t& count) override;
  HRESULT SelectLine(int32_t index) override;
  HRESULT GetLineName(int32_t index, std::string& name) override;
  HRESULT SetControlValue(int32_t value) override;

  const std::vector<std::string>& Log() const { return log_; }
  int CurrentDevice() const { return current_; }
  int CurrentLine() const { return line_; }

 private:
  // Logs the call; true when it is to fail.
  bool Enter(const std::string& method, const std::string& argument = {});

  ScriptedAudioRecordScript script_;
  std::vector<std::string> log_;
  int current_ = -1;
  int line_ = -1;
};

// Installs a factory that makes one TScriptedAudioRecord from `script` (or
// fails with `createResult` when that is a failure code) and keeps it in
// `*made` so the test can read its log. Returns the previous factory.
AudioRecordFactory InstallScriptedAudioRecord(ScriptedAudioRecordScript script,
                                              IPtr<TScriptedAudioRecord>* made,
                                              HRESULT createResult = S_OK);

}  // namespace kestrune
