#include "audio/MoskAudioIn.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <exception>
#include <functional>
#include <iterator>
#include <memory>
#include <mutex>
#include <utility>

#include "Vek/VekLocks.h"
#include "Vek/VekStdTypes.h"
#include "platform/classes/MainLoop.h"
#include "platform/classes/TypInfo.h"
#include "platform/rtl/ScopeExit.h"
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

std::string TMoskAudioCaptureDevice::GetDeviceName() const {
  std::lock_guard lock(name_mutex_);
  return device_name_;
}

void TMoskAudioCaptureDevice::SetDeviceName(const std::string& value) {
  std::lock_guard lock(name_mutex_);
  device_name_ = value;
}

int TMoskAudioCaptureDevice::GetDeviceIndex() const {
  // One copy: a rename meanwhile takes effect at the next start.
  const std::string deviceName = GetDeviceName();
  if (IsDefaultName(deviceName)) {
    return -1;
  }
  const std::vector<std::string> names = ListCaptureDeviceNames();
  const int index = IndexOfName(names, deviceName);
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

// Owns the wave thread: freeing the link joins the thread, so the handler
// object always outlives it.
//
// Takes the global read lock for the whole message, then finds the
// component under the capture-state lock, released before HandleWaveData
// takes the component's group lock (lock order: Vek/VekLocks.h). The
// component clears `owner` when it goes, so a
// message that waited for the global lock while the component was destroyed
// finds nobody. `gate` tells the destroying thread whether the wave thread
// may be waiting for the global lock: once `stopping` is set, the thread
// starts no further wait for it.
struct TMoskAudioIn::WaveLink {
  IPtr<TMoskAudioParams> params;
  TMoskAudioIn* owner = nullptr;  // guarded by params' lock
  TMoskWaveThread* thread = nullptr;
  std::mutex gate;
  bool stopping = false;          // guarded by gate
  bool waitingForGlobal = false;  // guarded by gate

  WaveLink() = default;
  WaveLink(const WaveLink&) = delete;
  WaveLink& operator=(const WaveLink&) = delete;
  ~WaveLink() {
    if (thread != nullptr) {
      thread->Stop();
      thread->Free();
    }
  }

  // True when the thread will not wait for the global lock any more, so
  // joining it cannot wait for a global lock the caller holds.
  bool StopWaitingForGlobal() {
    std::lock_guard lock(gate);
    stopping = true;
    return !waitingForGlobal;
  }

  void Handle(UINT message, HWAVEIN device, DWORD_PTR parameter) {
    // Open and close messages need nothing.
    if (message != WIM_DATA) {
      return;
    }
    {
      std::lock_guard lock(gate);
      if (stopping) {
        return;
      }
      waitingForGlobal = true;
    }
    auto globalRead = EnterGlobalReadSection();
    {
      std::lock_guard lock(gate);
      waitingForGlobal = false;
    }
    TMoskAudioIn* component;
    {
      TMoskAudioParamsGuard guard(*params);
      component = owner;
    }
    if (component != nullptr) {
      component->HandleWaveData(device, reinterpret_cast<const WAVEHDR*>(parameter));
      component->RunDeferredOperations();
    }
  }
};

namespace {

// The links whose thread a destruction under the global write lock had to
// leave running. Each such thread has been told to end and ends by itself
// once the lock is released; freeing the link joins it.
class PendingWaveThreadEnds {
 public:
  ~PendingWaveThreadEnds() { EndAll(); }

  // `link` owns a thread that has been told to end; `finished` tells
  // whether it has.
  void Add(std::shared_ptr<void> link, std::function<bool()> finished) {
    std::lock_guard lock(mutex_);
    entries_.push_back({std::move(link), std::move(finished)});
  }
  // Joins the threads that have ended already (never waits).
  void EndFinished() {
    std::vector<Entry> finished;
    {
      std::lock_guard lock(mutex_);
      const auto running = std::stable_partition(entries_.begin(), entries_.end(),
                                                 [](const Entry& e) { return !e.finished(); });
      finished.assign(std::make_move_iterator(running), std::make_move_iterator(entries_.end()));
      entries_.erase(running, entries_.end());
    }
    // `finished` goes here, outside the mutex: freeing a link joins.
  }
  // Joins every thread, waiting for those still running.
  void EndAll() {
    std::vector<Entry> all;
    {
      std::lock_guard lock(mutex_);
      all.swap(entries_);
    }
  }
  std::size_t Count() {
    std::lock_guard lock(mutex_);
    return entries_.size();
  }

 private:
  struct Entry {
    std::shared_ptr<void> link;
    std::function<bool()> finished;
  };
  std::mutex mutex_;
  std::vector<Entry> entries_;
};

PendingWaveThreadEnds& PendingEnds() {
  static PendingWaveThreadEnds ends;
  return ends;
}

}  // namespace

void MoskEndPendingWaveThreads() {
  PendingEnds().EndAll();
}

std::size_t MoskPendingWaveThreadCount() {
  return PendingEnds().Count();
}

// ---------------------------------------------------------------------------
// TMoskAudioIn

struct TMoskAudioIn::DeviceSection {
  TVekGlobalReadLockSection global;
  std::unique_lock<std::recursive_mutex> device;
};

TMoskAudioIn::DeviceSection TMoskAudioIn::EnterDeviceSection() {
  DeviceSection section;  // the global read lock first
  section.device = std::unique_lock(device_mutex_, std::defer_lock);
  EnterUnderGlobalLock([&] { return section.device.try_lock(); }, [&] { section.device.lock(); });
  return section;
}

namespace {

// Joins the pending threads that have ended by now.
void EndFinishedWaveThreads() {
  PendingEnds().EndFinished();
}

}  // namespace

TMoskAudioIn::TMoskAudioIn(TComponent* owner)
    : TComponent(owner), params_(CreateCounted<TMoskAudioParams>()) {
  EndFinishedWaveThreads();
  lock_object_ = Create<TVekObject>();
  if (!ComponentState().Contains(csDesigning)) {
    wave_link_ = std::make_shared<WaveLink>();
    wave_link_->params = params_;
    wave_link_->owner = this;
    wave_link_->thread =
        Create<TMoskWaveThread>(TMoskWaveMessageHandler(wave_link_.get(), &WaveLink::Handle));
    // A record for every block the device may return before the thread
    // takes one, and for the open and close messages.
    wave_link_->thread->ReserveRecords(CaptureBlockCount + 2);
    wave_thread_ = wave_link_->thread;
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
  {
    // The last change of the device's life cycle: once this section ends, no
    // start runs any more, also not one the wave thread carries out after a
    // push.
    auto section = EnterDeviceSection();
    try {
      StopCapture();
    } catch (...) {
      // A receiver failed on the end stop; the device is closed all the same.
      ReportOnMainThread(std::current_exception());
    }
    TMoskAudioParamsGuard guard(*params_);
    closing_ = true;
    deferred_.clear();
    if (wave_link_ != nullptr) {
      wave_link_->owner = nullptr;
    }
  }
  if (wave_link_ != nullptr) {
    wave_thread_ = nullptr;
    std::shared_ptr<WaveLink> link = std::move(wave_link_);
    // Joining is safe unless the thread may wait for a global lock this
    // thread holds: for writing, or for reading with a writer waiting.
    const bool holdsGlobal =
        GlobalLock != nullptr && (GlobalLock->IsWriter() || GlobalLock->ReadDepth() > 0);
    if (link->StopWaitingForGlobal() || !holdsGlobal) {
      link.reset();  // joins the thread now
    } else {
      // The thread waits for the global lock this thread holds: it is told
      // to end, ends when the lock is released (it finds no component), and
      // is joined later.
      link->thread->RequestStop();
      WaveLink* raw = link.get();
      PendingEnds().Add(std::move(link), [raw] { return raw->thread->Finished(); });
    }
  }
  EndFinishedWaveThreads();
  FreeAndNil(enable_pin_);
  FreeAndNil(output_pin_);
  FreeAndNil(device_);
  FreeAndNil(audio_format_);
  FreeAndNil(lock_object_);
}

void TMoskAudioIn::RunInWriteSection(const std::function<void()>& change) {
  auto section = lock_object_->EnterWriteSection();
  change();
}

void TMoskAudioIn::Loaded() {
  inherited::Loaded();
  if (!ComponentState().Contains(csDesigning) && enabled_) {
    auto section = EnterDeviceSection();
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
  // The comparison, the start or stop and the pin's value in one section: a
  // second thread switching at the same time comes before or after.
  auto section = EnterDeviceSection();
  if (value == enabled_) {
    return;
  }
  const TComponentState state = ComponentState();
  if (value) {
    if (!state.Contains(csDesigning) && !state.Contains(csLoading)) {
      RequestPumpAndStart();  // raises when refused; Enabled stays False
    } else {
      enabled_ = true;
    }
    enable_pin_->SetValue(enabled_);
    return;
  }
  // Stopped even when a receiver fails on the end stop (its exception passes
  // on): the device is closed by then.
  kestrune::ScopeExit disable([&] {
    enabled_ = false;
    enable_pin_->SetValue(false);
  });
  StopCapture();
}

void TMoskAudioIn::Start() {
  auto section = EnterDeviceSection();
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
  auto section = EnterDeviceSection();
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
}

void TMoskAudioIn::StartCapture() {
  const WAVEFORMATEXTENSIBLE format = *audio_format_->GetWaveFormat();
  IPtr<IVekNotifyOperation> start =
      NewOperation<TVekStartWaveOperation>(&format, static_cast<float>(pump_rate_));
  StartStream(format, audio_format_->GetBufferSize(), start.get());
}

bool TMoskAudioIn::StartStream(const WAVEFORMATEXTENSIBLE& format, uint32_t frames,
                               IVekNotifyOperation* startWave) {
  auto section = EnterDeviceSection();
  {
    TMoskAudioParamsGuard guard(*params_);
    if (closing_) {
      return false;  // the component is being destroyed
    }
  }
  const HWAVEIN opened = OpenWaveIn(format, frames);  // raises before anything is sent
  // The start-wave follows the open: an open that first stops a running
  // capture sends that capture's end stop before the new stream starts.
  bool delivered;
  try {
    delivered = output_pin_->Notify(startWave);
  } catch (...) {
    StopCapture();  // no device stays open for a start that failed
    throw;
  }
  TMoskAudioParamsGuard guard(*params_);
  // A receiver of the start-wave may have stopped this stream or started
  // another one: then nothing more is done for this one.
  if (!params_->ActiveLocked() || params_->DeviceLocked() != opened) {
    return delivered;
  }
  enabled_ = true;
  if (opened == HWAVEIN{}) {
    return delivered;  // the open failed: capture delivers nothing
  }
  first_block_sent_ = false;
  // Blocks first: the device fills them from its start on.
  if (params_->PumpMasterLocked()) {
    for (int i = 0; i < CaptureBlockCount; ++i) {
      QueueCaptureBufferLocked(opened);
    }
  }
  waveInStart(opened);
  return delivered;
}

HWAVEIN TMoskAudioIn::OpenWaveIn(const WAVEFORMATEXTENSIBLE& format, uint32_t frames) {
  const uint64_t blockBytes = uint64_t{40} + uint64_t{format.Format.nBlockAlign} * uint64_t{frames};
  if (blockBytes > kTrelLargestBlockSize) {
    throw EMoskAudioIn("A capture block of " + std::to_string(frames) + " frames of " +
                       std::to_string(format.Format.nBlockAlign) +
                       " bytes exceeds the largest block of " +
                       std::to_string(kTrelLargestBlockSize) +
                       " bytes; capture is not started. Choose a smaller BufferSize.");
  }
  StopCapture();  // nothing when nothing runs
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
  return device;
}

void TMoskAudioIn::StopCapture() {
  auto section = EnterDeviceSection();
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
  enabled_ = false;
  output_pin_->SendStop();
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
  // A receiver may have stopped the stream from inside the push: its end
  // stop is the stream's last word, so no resume follows.
  const bool stillRunning = params_->ActiveLocked() && params_->DeviceLocked() == device;
  if (!first_block_sent_ && stillRunning) {
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
  auto* startWave = OperationAs<TVekStartWaveOperation>(operation);
  const bool stop = OperationAs<TVekStopOperation>(operation) != nullptr;
  if ((startWave != nullptr || stop) && params_->HeldByCurrentThread()) {
    // Sent from inside this component's push (only a push holds the
    // capture-state lock while calling out): the stream ends now, so the
    // push sends nothing more of it, and the device is stopped or reopened
    // right after the push, outside the locks it holds.
    TMoskAudioParamsGuard guard(*params_);
    params_->SetActiveLocked(false);
    deferred_.emplace_back(operation);
    return true;
  }
  if (startWave != nullptr) {
    return StartFromUpstream(startWave);
  }
  if (stop) {
    return StopFromUpstream(operation);
  }
  if (OperationAs<TVekMasterPumpOperation>(operation) != nullptr) {
    return false;
  }
  return output_pin_->Notify(operation);
}

bool TMoskAudioIn::StartFromUpstream(TVekStartWaveOperation* startWave) {
  {
    // This component's pump request always wins (RequestPumpAndStart): a
    // start from upstream keeps blocks with the device as well.
    TMoskAudioParamsGuard guard(*params_);
    params_->SetPumpMasterLocked(true);
  }
  try {
    return StartStream(startWave->Format, audio_format_->GetBufferSize(), startWave);
  } catch (const EMoskAudioIn&) {
    // Refused before anything changed: reported, not raised at the sender.
    ReportOnMainThread(std::current_exception());
    return false;
  }
}

bool TMoskAudioIn::StopFromUpstream(IVekNotifyOperation* stop) {
  StopCapture();
  return output_pin_->Notify(stop);
}

void TMoskAudioIn::RunDeferredOperations() {
  {
    TMoskAudioParamsGuard guard(*params_);
    if (deferred_.empty()) {
      return;  // the common case: no device section for it
    }
  }
  // The destructor empties the list inside its last device section: taken
  // here after the section, the list is that of a component still alive.
  auto section = EnterDeviceSection();
  std::vector<IPtr<IVekNotifyOperation>> operations;
  {
    TMoskAudioParamsGuard guard(*params_);
    operations.swap(deferred_);
  }
  for (const IPtr<IVekNotifyOperation>& operation : operations) {
    // On the wave thread: a receiver's failure is reported and the next
    // operation still runs.
    try {
      if (auto* startWave = OperationAs<TVekStartWaveOperation>(operation.get())) {
        StartFromUpstream(startWave);
      } else {
        StopFromUpstream(operation.get());
      }
    } catch (...) {
      ReportOnMainThread(std::current_exception());
    }
  }
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
