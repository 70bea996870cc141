#include "platform/com/ScriptedAudioRecord.h"

#include <utility>

namespace kestrune {

namespace {

bool InRange(int32_t index, size_t size) {
  return index >= 0 && static_cast<size_t>(index) < size;
}

}  // namespace

TScriptedAudioRecord::TScriptedAudioRecord(ScriptedAudioRecordScript script)
    : script_(std::move(script)) {}

HRESULT TScriptedAudioRecord::QueryInterface(const TGUID& iid, void** obj) {
  if (QueryInterfaceTable<IAudioRecord>(this, iid, obj) == S_OK)
    return S_OK;
  return TInterfacedObject::QueryInterface(iid, obj);
}

bool TScriptedAudioRecord::Enter(const std::string& method, const std::string& argument) {
  log_.push_back(argument.empty() ? method : method + " " + argument);
  if (script_.onCall)
    script_.onCall(log_.back());
  return script_.failing.count(method) != 0;
}

HRESULT TScriptedAudioRecord::GetDeviceCount(int32_t& count) {
  if (Enter("GetDeviceCount"))
    return E_FAIL;
  count = static_cast<int32_t>(script_.devices.size());
  return S_OK;
}

HRESULT TScriptedAudioRecord::GetDeviceName(int32_t index, std::string& name) {
  if (Enter("GetDeviceName", std::to_string(index)))
    return E_FAIL;
  if (!InRange(index, script_.devices.size()))
    return E_INVALIDARG;
  name = script_.devices[static_cast<size_t>(index)].name;
  return S_OK;
}

HRESULT TScriptedAudioRecord::SelectDevice(int32_t index) {
  if (Enter("SelectDevice", std::to_string(index)))
    return E_FAIL;
  if (!InRange(index, script_.devices.size()))
    return E_INVALIDARG;
  current_ = index;
  line_ = -1;
  return S_OK;
}

HRESULT TScriptedAudioRecord::SetFileName(const std::string& fileName) {
  return Enter("SetFileName", fileName) ? E_FAIL : S_OK;
}

HRESULT TScriptedAudioRecord::GetLineCount(int32_t& count) {
  if (Enter("GetLineCount"))
    return E_FAIL;
  count = current_ < 0
              ? 0
              : static_cast<int32_t>(script_.devices[static_cast<size_t>(current_)].lines.size());
  return S_OK;
}

HRESULT TScriptedAudioRecord::SelectLine(int32_t index) {
  if (Enter("SelectLine", std::to_string(index)))
    return E_FAIL;
  if (current_ >= 0 && InRange(index, script_.devices[static_cast<size_t>(current_)].lines.size()))
    line_ = index;
  return S_OK;
}

HRESULT TScriptedAudioRecord::GetLineName(int32_t index, std::string& name) {
  if (Enter("GetLineName", std::to_string(index)))
    return E_FAIL;
  if (current_ < 0)
    return E_INVALIDARG;
  const auto& lines = script_.devices[static_cast<size_t>(current_)].lines;
  if (!InRange(index, lines.size()))
    return E_INVALIDARG;
  name = lines[static_cast<size_t>(index)];
  return S_OK;
}

HRESULT TScriptedAudioRecord::SetControlValue(int32_t value) {
  return Enter("SetControlValue", std::to_string(value)) ? E_FAIL : S_OK;
}

AudioRecordFactory InstallScriptedAudioRecord(ScriptedAudioRecordScript script,
                                              IPtr<TScriptedAudioRecord>* made,
                                              HRESULT createResult) {
  return SetAudioRecordFactory(
      [script = std::move(script), made, createResult](IPtr<IAudioRecord>& control) -> HRESULT {
        if (Failed(createResult))
          return createResult;
        IPtr<TScriptedAudioRecord> object(Create<TScriptedAudioRecord>(script));
        if (made != nullptr)
          *made = object;
        control = IPtr<IAudioRecord>(object.get());
        return S_OK;
      });
}

}  // namespace kestrune
