#include "platform/com/CaptureMixer.h"

#include <mutex>
#include <utility>

#include "platform/com/AlsaMixer.h"

namespace kestrune {

namespace {

struct MixerRegistry {
  std::mutex mutex;
  std::shared_ptr<MixerBackend> installed;  // null: ALSA
  std::shared_ptr<MixerBackend> alsa;       // made on first use
};

// Never destroyed: a control may still be in use while statics are torn down.
MixerRegistry& TheMixerRegistry() {
  static auto* registry = new MixerRegistry;
  return *registry;
}

}  // namespace

std::shared_ptr<MixerBackend> SetMixerBackend(std::shared_ptr<MixerBackend> backend) {
  MixerRegistry& registry = TheMixerRegistry();
  std::lock_guard lock(registry.mutex);
  return std::exchange(registry.installed, std::move(backend));
}

std::shared_ptr<MixerBackend> CurrentMixerBackend() {
  MixerRegistry& registry = TheMixerRegistry();
  std::lock_guard lock(registry.mutex);
  if (registry.installed)
    return registry.installed;
  if (!registry.alsa)
    registry.alsa = std::make_shared<AlsaMixerBackend>();
  return registry.alsa;
}

CaptureLines::CaptureLines(std::unique_ptr<CaptureMixer> mixer) : mixer_(std::move(mixer)) {
  if (!mixer_)
    return;
  const std::vector<MixerElementInfo> elements = mixer_->Elements();
  for (size_t i = 0; i < elements.size(); ++i) {
    if (elements[i].isCaptureSource) {
      sourceElement_ = i;
      names_ = elements[i].items;
      return;
    }
  }
  for (size_t i = 0; i < elements.size(); ++i) {
    if (elements[i].hasCaptureSwitch) {
      switchElements_.push_back(i);
      names_.push_back(elements[i].name);
    }
  }
}

void CaptureLines::Select(int index) {
  if (index < 0 || static_cast<size_t>(index) >= names_.size())
    return;
  if (sourceElement_)
    mixer_->SelectItem(*sourceElement_, static_cast<unsigned>(index));
  else
    mixer_->SetCaptureSwitch(switchElements_[static_cast<size_t>(index)], true);
}

}  // namespace kestrune
