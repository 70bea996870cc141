#include "audio/MoskAudioIn.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <exception>
#include <thread>
#include <utility>

#include "Vek/VekLocks.h"
#include "Vek/VekStdTypes.h"
#include "platform/classes/MainLoop.h"
#include "platform/classes/TypInfo.h"
#include "signal/core/TrelSmartBufferManager.h"

namespace {

constexpr UINT kHeaderSize = sizeof(WAVEHDR);
// The mode byte of the component's pump request.
constexpr uint8_t kPumpRequestMode = 3;

// The capability name of device `index` of the latest listing; empty when
// the device has no record.
std::string CaptureDeviceName(UINT index) {
  WAVEINCAPSA caps{};
  if (waveInGetDevCapsA(index, &caps, sizeof(caps)) != MMSYSERR_NOERROR) {
    return {};
  }
  return std::string(caps.szPname, strnlen(caps.szPname, sizeof(caps.szPname)));
}

// The first entry of `names` equal to `name` (case counts), or -1.
int IndexOfName(const std::vector<std::string>& names, const std::string& name) {
  const auto it = std::find(names.begin(), names.end(), name);
  return it == names.end() ? -1 : static_cast<int>(it - names.begin());
}

bool IsDefaultName(const std::string& name) {
  return SameText(name, MoskDefaultCaptureDeviceName);
}

}  // namespace

std::vector<std::string> ListCaptureDeviceNames() {
  std::vector<std::string> names;
  const UINT count = waveInGetNumDevs();
  names.reserve(count);
  for (UINT i = 0; i < count; ++i) {
    names.push_back(CaptureDeviceName(i));
  }
  return names;
}

// ---------------------------------------------------------------------------
// Device selection

void TMoskAudioCaptureDeviceItems::ItemAdded(TVekExtCollectionItem* item) {
  auto* added = static_cast<TMoskAudioCaptureDeviceItem*>(item);
  const std::vector<std::string> names = ListCaptureDeviceNames();
  std::string chosen = MoskDefaultCaptureDeviceName;
  int fewest = 22000;
  for (const std::string& name : names) {
    int uses = 0;
    for (int i = 0; i < Count(); ++i) {
      const auto* other = Item(i);
      uses += other != added && other->GetDeviceName() == name;
    }
    if (uses < fewest) {
      fewest = uses;
      chosen = name;
    }
  }
  added->SetDeviceName(chosen);
}

TMoskAudioCaptureDevice::TMoskAudioCaptureDevice(TPersistent* owner)
    : owner_(owner), alternatives_(Create<TMoskAudioCaptureDeviceItems>(this)) {
  alternatives_->PropName = "AlternativeDevices";
}

TMoskAudioCaptureDevice::~TMoskAudioCaptureDevice() {
  FreeAndNil(alternatives_);
}

int TMoskAudioCaptureDevice::GetDeviceIndex() const {
  if (IsDefaultName(device_name_)) {
    return -1;
  }
  const std::vector<std::string> names = ListCaptureDeviceNames();
  const int index = IndexOfName(names, device_name_);
  if (index >= 0) {
    return index;
  }
  for (int i = 0; i < alternatives_->Count(); ++i) {
    const std::string& alternative = alternatives_->Item(i)->GetDeviceName();
    if (IsDefaultName(alternative)) {
      return -1;
    }
    const int found = IndexOfName(names, alternative);
    if (found >= 0) {
      return found;
    }
  }
  return -1;
}

// ---------------------------------------------------------------------------
// The wave thread's handler object

// Takes the global read lock for the whole message (it comes before every
// other lock of the data path), then finds the component under the
// capture-state lock. The component clears `owner` when it goes, so a
// message that waited for the global lock while the component was destroyed
// finds nobody.
struct TMoskAudioIn::WaveLink {
  IPtr<TMoskAudioParams> params;
  TMoskAudioIn* owner = nullptr;  // guarded by params' lock

  void Handle(UINT message, HWAVEIN device, DWORD_PTR parameter) {
    // Open and close messages need nothing.
    if (message != WIM_DATA) {
      return;
    }
    auto globalRead = EnterGlobalReadSection();
    TMoskAudioIn* component;
    {
      TMoskAudioParamsGuard guard(*params);
      component = owner;
    }
    if (component != nullptr) {
      component->HandleWaveData(device, reinterpret_cast<const WAVEHDR*>(parameter));
    }
  }
};

// ---------------------------------------------------------------------------
// TMoskAudioIn

TMoskAudioIn::TMoskAudioIn(TComponent* owner)
    : TComponent(owner), params_(CreateCounted<TMoskAudioParams>()) {
  lock_object_ = Create<TVekObject>();
  if (!ComponentState().Contains(csDesigning)) {
    wave_link_ = new WaveLink;
    wave_link_->params = params_;
    wave_link_->owner = this;
    wave_thread_ = Create<TMoskWaveThread>(TMoskWaveMessageHandler(wave_link_, &WaveLink::Handle));
  }
  audio_format_ =
      Create<TMoskAudioFormat>(this, static_cast<TMoskFormatLockOwner*>(this), TNotifyEvent());
  device_ = Create<TMoskAudioCaptureDevice>(this);
  output_pin_ =
      Create<TMoskVekAudioSourcePin>(this, TVekNotifyHandler(this, &TMoskAudioIn::OutputPinNotify));
  lock_object_->AddLockLink(output_pin_);
  enable_pin_ =
      Create<TVekBoolStatePin>(this, TVekBoolChangeHandler(this, &TMoskAudioIn::EnablePinChanged));
  enable_pin_->SetValue(enabled_);
}

TMoskAudioIn::~TMoskAudioIn() {
  try {
    StopCapture();
  } catch (...) {
    // A receiver failed on the end stop; the device is closed all the same.
    ReportOnMainThread(std::current_exception());
  }
  if (wave_thread_ != nullptr) {
    {
      TMoskAudioParamsGuard guard(*params_);
      wave_link_->owner = nullptr;
    }
    TMoskWaveThread* thread = std::exchange(wave_thread_, nullptr);
    WaveLink* link = std::exchange(wave_link_, nullptr);
    auto end = [thread, link] {
      thread->Stop();
      thread->Free();
      delete link;
    };
    if (GlobalLock == nullptr || !GlobalLock->IsWriter()) {
      end();
    } else if (kestrune::MainLoop* loop = kestrune::MainLoop::Current()) {
      // The thread may be waiting for the global lock this thread holds:
      // it is ended once the lock is released. It finds no component.
      loop->Post(end);
    } else {
      std::thread(end).detach();
    }
  }
  FreeAndNil(enable_pin_);
  FreeAndNil(output_pin_);
  FreeAndNil(device_);
  FreeAndNil(audio_format_);
  FreeAndNil(lock_object_);
}

void TMoskAudioIn::WriteLocked(const std::function<void()>& change) {
  auto section = lock_object_->EnterWriteSection();
  change();
}

void TMoskAudioIn::Loaded() {
  inherited::Loaded();
  if (!ComponentState().Contains(csDesigning) && enabled_) {
    try {
      RequestPumpAndStart();
    } catch (...) {
      enabled_ = false;
      enable_pin_->SetValue(false);
      ReportOnMainThread(std::current_exception());
    }
  }
}

void TMoskAudioIn::SetEnabled(bool value) {
  if (value == enabled_) {
    return;
  }
  const TComponentState state = ComponentState();
  if (value) {
    if (!state.Contains(csDesigning) && !state.Contains(csLoading)) {
      RequestPumpAndStart();  // raises when refused; Enabled stays False
    }
    enabled_ = true;
    enable_pin_->SetValue(true);
    return;
  }
  // Stopped even when a receiver fails on the end stop (its exception passes
  // on): the device is closed by then.
  try {
    StopCapture();
  } catch (...) {
    enabled_ = false;
    enable_pin_->SetValue(false);
    throw;
  }
  enabled_ = false;
  enable_pin_->SetValue(false);
}

void TMoskAudioIn::Start() {
  if (!enabled_) {
    RequestPumpAndStart();
  }
}

HWAVEIN TMoskAudioIn::OpenDevice() const {
  TMoskAudioParamsGuard guard(*params_);
  return params_->DeviceLocked();
}

std::size_t TMoskAudioIn::QueuedBlockCount() const {
  TMoskAudioParamsGuard guard(*params_);
  return params_->BlockCountLocked();
}

void TMoskAudioIn::RequestPumpAndStart() {
  // The request decides nothing between components: this component's request
  // always wins, so it is the pump master and keeps blocks with the device.
  IPtr<IVekNotifyOperation> request =
      NewOperation<TVekPumpRequestOperation>(this, kPumpRequestMode, pump_priority_, 1.0f);
  output_pin_->Notify(request.get());
  pump_rate_ = OperationAs<TVekPumpRequestOperation>(request.get())->Rate;
  {
    TMoskAudioParamsGuard guard(*params_);
    params_->SetPumpMasterLocked(true);
  }
  StartCapture();
  enabled_ = true;
}

void TMoskAudioIn::StartCapture() {
  const WAVEFORMATEXTENSIBLE format = *audio_format_->GetWaveFormat();
  const uint32_t frames = audio_format_->GetBufferSize();
  OpenWaveIn(format, frames);  // raises before anything is sent when refused
  // The start-wave follows the open: an open that first stops a running
  // capture sends that capture's end stop before the new stream starts.
  try {
    IPtr<IVekNotifyOperation> start =
        NewOperation<TVekStartWaveOperation>(&format, static_cast<float>(pump_rate_));
    output_pin_->Notify(start.get());
  } catch (...) {
    StopCapture();  // no device stays open for a start that failed
    throw;
  }
  TMoskAudioParamsGuard guard(*params_);
  const HWAVEIN device = params_->DeviceLocked();
  if (device == HWAVEIN{}) {
    return;  // the open failed: capture delivers nothing
  }
  first_block_sent_ = false;
  // Blocks first: the device fills them from its start on.
  if (params_->PumpMasterLocked()) {
    for (int i = 0; i < CaptureBlockCount; ++i) {
      QueueCaptureBufferLocked(device);
    }
  }
  waveInStart(device);
}

void TMoskAudioIn::OpenWaveIn(const WAVEFORMATEXTENSIBLE& format, uint32_t frames) {
  const uint64_t blockBytes = uint64_t{40} + uint64_t{format.Format.nBlockAlign} * uint64_t{frames};
  if (blockBytes > kTrelLargestBlockSize) {
    throw EMoskAudioIn("A capture block of " + std::to_string(frames) + " frames of " +
                       std::to_string(format.Format.nBlockAlign) +
                       " bytes exceeds the largest block of " +
                       std::to_string(kTrelLargestBlockSize) +
                       " bytes; capture is not started. Choose a smaller BufferSize.");
  }
  bool active;
  HWAVEIN open;
  {
    TMoskAudioParamsGuard guard(*params_);
    active = params_->ActiveLocked();
    open = params_->DeviceLocked();
  }
  if (active || open != HWAVEIN{}) {
    StopCapture();
  }
  const int index = device_->GetDeviceIndex();
  const DWORD flags = CALLBACK_FUNCTION | WAVE_ALLOWSYNC | (index >= 0 ? WAVE_MAPPED : 0);
  const UINT id = index >= 0 ? static_cast<UINT>(index) : WAVE_MAPPER;
  HWAVEIN device{};
  // The open runs outside the capture-state lock: its open message goes to
  // the wave thread, which may be waiting for that lock.
  if (waveInOpen(&device, id, &format.Format, &WaveInCallback,
                 reinterpret_cast<DWORD_PTR>(wave_thread_), flags) != MMSYSERR_NOERROR) {
    device = HWAVEIN{};
  }
  TMoskAudioParamsGuard guard(*params_);
  params_->SetActiveLocked(true);
  params_->SetDeviceLocked(device);
  open_format_ = format;
  open_frames_ = frames;
}

void TMoskAudioIn::StopCapture() {
  bool wasActive;
  HWAVEIN device;
  {
    TMoskAudioParamsGuard guard(*params_);
    wasActive = params_->ActiveLocked();
    params_->SetActiveLocked(false);
    device = params_->DeviceLocked();
  }
  if (!wasActive && device == HWAVEIN{}) {
    return;
  }
  if (device != HWAVEIN{}) {
    // The device returns its blocks; their data messages find capture
    // inactive (or the device closed) and are ignored.
    waveInReset(device);
    TMoskAudioParamsGuard guard(*params_);
    for (auto& block : params_->TakeBlocksLocked()) {
      waveInUnprepareHeader(device, block->Header(), kHeaderSize);
    }
    waveInClose(device);
    params_->SetDeviceLocked(HWAVEIN{});
  }
  output_pin_->SendStop();
  enabled_ = false;
}

bool TMoskAudioIn::QueueCaptureBufferLocked(HWAVEIN device) {
  if (!params_->ActiveLocked() || device == HWAVEIN{} || params_->DeviceLocked() != device) {
    return false;
  }
  TMoskWaveBuffer* block = nullptr;
  try {
    block = params_->AddBlockLocked(
        device,
        TMoskAudioBuffer::Create(open_format_.Format.nSamplesPerSec, open_format_.dwChannelMask,
                                 static_cast<int32_t>(open_frames_), open_format_.Format.nChannels,
                                 open_format_.wValidBitsPerSample));
  } catch (...) {
    // Out of memory: one block fewer with the device; nothing is raised on
    // the wave thread.
    return false;
  }
  if (waveInPrepareHeader(device, block->Header(), kHeaderSize) != MMSYSERR_NOERROR ||
      waveInAddBuffer(device, block->Header(), kHeaderSize) != MMSYSERR_NOERROR) {
    waveInUnprepareHeader(device, block->Header(), kHeaderSize);
    params_->RemoveBlockLocked(block);
    return false;
  }
  return true;
}

void TMoskAudioIn::HandleWaveData(HWAVEIN device, const WAVEHDR* header) {
  // The group lock before the capture-state lock: an operation sent upstream
  // to OutputPin holds the group lock when it stops capture.
  auto groupSection = lock_object_->EnterWriteSection();
  TMoskAudioParamsGuard guard(*params_);
  TMoskWaveBuffer* block = params_->FindBlockLocked(device, header);
  if (block == nullptr || !params_->ActiveLocked()) {
    return;  // a block of a closed device, or capture stopped
  }
  // The device is done with the block: it goes now, whatever the push does;
  // its buffer lives on where receivers keep it.
  waveInUnprepareHeader(device, block->Header(), kHeaderSize);
  std::unique_ptr<TMoskWaveBuffer> taken = params_->RemoveBlockLocked(block);
  output_pin_->SendData(taken->Buffer().get());
  if (!first_block_sent_) {
    first_block_sent_ = true;
    try {
      IPtr<IVekNotifyOperation> resume = NewOperation<TVekTrelResumeOperation>();
      output_pin_->Notify(resume.get());
    } catch (...) {
      // A receiver's failure ends only this push.
    }
  }
  taken.reset();
  QueueCaptureBufferLocked(device);
}

bool TMoskAudioIn::OutputPinNotify(IVekBasicPin* target, const TGUID& streamType, uint8_t flags,
                                   IVekNotifyOperation* operation) {
  (void)target;
  (void)streamType;
  (void)flags;
  if (auto* startWave = OperationAs<TVekStartWaveOperation>(operation)) {
    try {
      OpenWaveIn(startWave->Format, audio_format_->GetBufferSize());
    } catch (...) {
      ReportOnMainThread(std::current_exception());
      return false;
    }
    return output_pin_->Notify(operation);
  }
  if (OperationAs<TVekStopOperation>(operation) != nullptr) {
    StopCapture();
    return output_pin_->Notify(operation);
  }
  if (OperationAs<TVekMasterPumpOperation>(operation) != nullptr) {
    return false;
  }
  return output_pin_->Notify(operation);
}

void TMoskAudioIn::EnablePinChanged(TVekBasicPin* pin, bool value) {
  (void)pin;
  // A refused start must not fail the peer's push: it is reported instead.
  try {
    SetEnabled(value);
  } catch (...) {
    ReportOnMainThread(std::current_exception());
  }
}

void TMoskAudioIn::ReportOnMainThread(std::exception_ptr error) {
  if (kestrune::MainLoop* loop = kestrune::MainLoop::Current()) {
    loop->Post([loop, error] { loop->HandleException(error); });
  } else {
    std::fprintf(stderr, "%s\n", kestrune::ExceptionText(error).c_str());
  }
}

// ---------------------------------------------------------------------------
// Published properties

void RegisterMoskAudioInClasses() {
  using Item = TMoskAudioCaptureDeviceItem;
  RegisterClass<Item>().String("DeviceName", &Item::GetDeviceName, &Item::SetDeviceName);
  RegisterClass<TMoskAudioCaptureDeviceItems>();
  using Device = TMoskAudioCaptureDevice;
  RegisterClass<Device>()
      .String("DeviceName", &Device::GetDeviceName, &Device::SetDeviceName,
              MoskDefaultCaptureDeviceName)
      .Collection("AlternativeDevices", &Device::GetAlternativeDevices);
  RegisterClass<TMoskAudioIn>()
      .Bool("Enabled", &TMoskAudioIn::GetEnabled, &TMoskAudioIn::SetEnabled, true)
      .Integer("PumpPriority", &TMoskAudioIn::GetPumpPriority, &TMoskAudioIn::SetPumpPriority)
      .Object("Device", &TMoskAudioIn::GetDevice)
      .Object("AudioFormat", &TMoskAudioIn::GetAudioFormat)
      .Object("OutputPin", &TMoskAudioIn::GetOutputPin)
      .Object("EnablePin", &TMoskAudioIn::GetEnablePin);
}
