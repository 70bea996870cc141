#include "app/AudioCtl_TLB.h"

#include "platform/rtl/SysUtils.h"

TCAudioRecord::~TCAudioRecord() = default;

void TCAudioRecord::Connect() {
  if (intf_)
    return;
  IPtr<IAudioRecord> control;
  if (Succeeded(kestrune::CreateAudioRecord(control)))
    intf_ = std::move(control);
}

void TCAudioRecord::Disconnect() {
  intf_.reset();
}

IAudioRecord* TCAudioRecord::GetDefaultInterface() {
  if (!intf_)
    Connect();
  if (!intf_)
    throw EAssertionFailed(
        "DefaultInterface is NULL. Component is not connected to Server. You must call "
        "'Connect' or 'ConnectTo' before this operation");
  return intf_.get();
}

int32_t TCAudioRecord::GetDeviceCount() {
  int32_t count = 0;
  OleCheck(GetDefaultInterface()->GetDeviceCount(count));
  return count;
}

std::string TCAudioRecord::GetDeviceName(int32_t index) {
  std::string name;
  OleCheck(GetDefaultInterface()->GetDeviceName(index, name));
  return name;
}

void TCAudioRecord::SelectDevice(int32_t index) {
  OleCheck(GetDefaultInterface()->SelectDevice(index));
}

void TCAudioRecord::SetFileName(const std::string& fileName) {
  OleCheck(GetDefaultInterface()->SetFileName(fileName));
}

int32_t TCAudioRecord::GetLineCount() {
  int32_t count = 0;
  OleCheck(GetDefaultInterface()->GetLineCount(count));
  return count;
}

void TCAudioRecord::SelectLine(int32_t index) {
  OleCheck(GetDefaultInterface()->SelectLine(index));
}

std::string TCAudioRecord::GetLineName(int32_t index) {
  std::string name;
  OleCheck(GetDefaultInterface()->GetLineName(index, name));
  return name;
}

void TCAudioRecord::SetControlValue(int32_t value) {
  OleCheck(GetDefaultInterface()->SetControlValue(value));
}
