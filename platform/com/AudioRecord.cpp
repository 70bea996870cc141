#include "platform/com/AudioRecord.h"

#include <mutex>
#include <utility>

namespace kestrune {

namespace {

struct FactoryRegistry {
  std::mutex mutex;
  AudioRecordFactory factory;  // empty: TAudioRecordControl
};

FactoryRegistry& TheFactoryRegistry() {
  static auto* registry = new FactoryRegistry;
  return *registry;
}

// Runs `body`, turning an exception into E_FAIL (E_OUTOFMEMORY for a failed
// allocation): no exception crosses the interface.
template <class Body>
HRESULT Guarded(Body&& body) noexcept {
  try {
    return std::forward<Body>(body)();
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_FAIL;
  }
}

bool InRange(int32_t index, size_t size) {
  return index >= 0 && static_cast<size_t>(index) < size;
}

}  // namespace

AudioRecordFactory SetAudioRecordFactory(AudioRecordFactory factory) {
  FactoryRegistry& registry = TheFactoryRegistry();
  std::lock_guard lock(registry.mutex);
  return std::exchange(registry.factory, std::move(factory));
}

HRESULT CreateAudioRecord(IPtr<IAudioRecord>& control) {
  AudioRecordFactory factory;
  {
    FactoryRegistry& registry = TheFactoryRegistry();
    std::lock_guard lock(registry.mutex);
    factory = registry.factory;
  }
  control.reset();
  if (factory) {
    const HRESULT result = Guarded([&] { return factory(control); });
    if (Failed(result))
      control.reset();
    return result;
  }
  return Guarded([&] {
    control = IPtr<IAudioRecord>(Create<TAudioRecordControl>());
    return S_OK;
  });
}

HRESULT TAudioRecordControl::QueryInterface(const TGUID& iid, void** obj) {
  if (QueryInterfaceTable<IAudioRecord>(this, iid, obj) == S_OK)
    return S_OK;
  return TInterfacedObject::QueryInterface(iid, obj);
}

std::shared_ptr<const std::vector<CaptureDeviceEntry>> TAudioRecordControl::Devices() {
  if (!devices_)
    devices_ = CurrentWaveInDevices();
  return devices_;
}

HRESULT TAudioRecordControl::GetDeviceCount(int32_t& count) {
  return Guarded([&] {
    devices_ = CurrentWaveInDevices();
    count = static_cast<int32_t>(devices_->size());
    return S_OK;
  });
}

HRESULT TAudioRecordControl::GetDeviceName(int32_t index, std::string& name) {
  return Guarded([&] {
    const auto devices = Devices();
    if (!InRange(index, devices->size()))
      return E_INVALIDARG;
    name = (*devices)[static_cast<size_t>(index)].name;
    return S_OK;
  });
}

HRESULT TAudioRecordControl::SelectDevice(int32_t index) {
  return Guarded([&] {
    const auto devices = Devices();
    if (!InRange(index, devices->size()))
      return E_INVALIDARG;
    auto mixer = CurrentMixerBackend()->Open((*devices)[static_cast<size_t>(index)]);
    lines_ = std::make_unique<CaptureLines>(std::move(mixer));
    return S_OK;
  });
}

HRESULT TAudioRecordControl::SetFileName(const std::string& fileName) {
  return Guarded([&] {
    fileName_ = fileName;
    return S_OK;
  });
}

HRESULT TAudioRecordControl::GetLineCount(int32_t& count) {
  count = lines_ ? static_cast<int32_t>(lines_->Names().size()) : 0;
  return S_OK;
}

HRESULT TAudioRecordControl::SelectLine(int32_t index) {
  return Guarded([&] {
    if (lines_)
      lines_->Select(index);
    return S_OK;
  });
}

HRESULT TAudioRecordControl::GetLineName(int32_t index, std::string& name) {
  return Guarded([&] {
    if (!lines_ || !InRange(index, lines_->Names().size()))
      return E_INVALIDARG;
    name = lines_->Names()[static_cast<size_t>(index)];
    return S_OK;
  });
}

HRESULT TAudioRecordControl::SetControlValue(int32_t value) {
  controlValue_ = value;
  return S_OK;
}

}  // namespace kestrune
