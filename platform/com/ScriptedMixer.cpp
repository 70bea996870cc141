#include "platform/com/ScriptedMixer.h"

#include <utility>

#include "platform/rtl/SysUtils.h"

namespace kestrune {

ScriptedMixerBackend::ScriptedMixerBackend(std::map<std::string, ScriptedMixerScript> mixers)
    : mixers_(std::move(mixers)) {}

std::unique_ptr<CaptureMixer> ScriptedMixerBackend::Open(const CaptureDeviceEntry& device) {
  class Mixer final : public CaptureMixer {
   public:
    Mixer(ScriptedMixerScript script, std::shared_ptr<Shared> shared)
        : script_(std::move(script)), shared_(std::move(shared)) {}
    std::vector<MixerElementInfo> Elements() override { return script_.elements; }
    void SetCaptureSwitch(size_t element, bool on) override {
      Write("switch " + Name(element) + (on ? " on" : " off"));
    }
    void SelectItem(size_t element, unsigned item) override {
      Write("item " + Name(element) + " " + std::to_string(item));
    }

   private:
    std::string Name(size_t element) const {
      if (element >= script_.elements.size())
        throw EOSError("Élément de mixage inconnu");
      return script_.elements[element].name;
    }
    void Write(std::string what) {
      {
        std::lock_guard lock(shared_->mutex);
        shared_->writes.push_back(std::move(what));
      }
      if (script_.failWrites)
        throw EOSError("Écriture du mixage refusée");
    }
    ScriptedMixerScript script_;
    std::shared_ptr<Shared> shared_;
  };
  const auto found = mixers_.find(device.name);
  if (found == mixers_.end())
    return nullptr;
  return std::make_unique<Mixer>(found->second, shared_);
}

std::vector<std::string> ScriptedMixerBackend::Writes() const {
  std::lock_guard lock(shared_->mutex);
  return shared_->writes;
}

}  // namespace kestrune
