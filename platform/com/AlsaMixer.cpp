#include "platform/com/AlsaMixer.h"

#include <alsa/asoundlib.h>

#include <vector>

#include "platform/rtl/SysUtils.h"

namespace kestrune {

namespace {

class AlsaCaptureMixer final : public CaptureMixer {
 public:
  explicit AlsaCaptureMixer(snd_mixer_t* mixer) : mixer_(mixer) {
    for (snd_mixer_elem_t* elem = snd_mixer_first_elem(mixer_); elem != nullptr;
         elem = snd_mixer_elem_next(elem)) {
      if (snd_mixer_selem_is_active(elem))
        elements_.push_back(elem);
    }
  }
  ~AlsaCaptureMixer() override { snd_mixer_close(mixer_); }
  AlsaCaptureMixer(const AlsaCaptureMixer&) = delete;
  AlsaCaptureMixer& operator=(const AlsaCaptureMixer&) = delete;

  std::vector<MixerElementInfo> Elements() override {
    std::vector<MixerElementInfo> infos;
    for (snd_mixer_elem_t* elem : elements_) {
      MixerElementInfo info;
      info.name = snd_mixer_selem_get_name(elem);
      if (const unsigned index = snd_mixer_selem_get_index(elem); index != 0)
        info.name += " " + std::to_string(index);
      info.hasCaptureSwitch = snd_mixer_selem_has_capture_switch(elem) != 0;
      if (snd_mixer_selem_is_enumerated(elem) && snd_mixer_selem_is_enum_capture(elem)) {
        info.isCaptureSource = true;
        const int count = snd_mixer_selem_get_enum_items(elem);
        for (int i = 0; i < count; ++i) {
          char name[64] = {};
          if (snd_mixer_selem_get_enum_item_name(elem, static_cast<unsigned>(i), sizeof name - 1,
                                                 name) < 0)
            break;
          info.items.emplace_back(name);
        }
      }
      infos.push_back(std::move(info));
    }
    return infos;
  }

  void SetCaptureSwitch(size_t element, bool on) override {
    Check(snd_mixer_selem_set_capture_switch_all(At(element), on ? 1 : 0));
  }

  void SelectItem(size_t element, unsigned item) override {
    snd_mixer_elem_t* elem = At(element);
    // Every channel the control has; the first must take the item.
    Check(snd_mixer_selem_set_enum_item(elem, SND_MIXER_SCHN_MONO, item));
    for (int channel = 1; channel <= SND_MIXER_SCHN_LAST; ++channel) {
      const auto id = static_cast<snd_mixer_selem_channel_id_t>(channel);
      unsigned current = 0;
      if (snd_mixer_selem_get_enum_item(elem, id, &current) < 0)
        break;
      Check(snd_mixer_selem_set_enum_item(elem, id, item));
    }
  }

 private:
  snd_mixer_elem_t* At(size_t element) const {
    if (element >= elements_.size())
      throw EOSError("Élément de mixage inconnu");
    return elements_[element];
  }
  static void Check(int result) {
    if (result < 0)
      throw EOSError(std::string("Écriture du mixage refusée : ") + snd_strerror(result));
  }

  snd_mixer_t* mixer_;
  std::vector<snd_mixer_elem_t*> elements_;
};

// The control of the sound server's pulse plugin.
constexpr const char* kPulseControl = "pulse";

// The simple-element mixer on ALSA control `control`; null when ALSA cannot
// open, attach or load it.
snd_mixer_t* OpenMixer(const std::string& control) {
  snd_mixer_t* mixer = nullptr;
  if (snd_mixer_open(&mixer, 0) < 0)
    return nullptr;
  if (snd_mixer_attach(mixer, control.c_str()) < 0 ||
      snd_mixer_selem_register(mixer, nullptr, nullptr) < 0 || snd_mixer_load(mixer) < 0) {
    snd_mixer_close(mixer);
    return nullptr;
  }
  return mixer;
}

}  // namespace

std::string AlsaMixerControlName(const CaptureDeviceEntry& device,
                                 const std::function<bool(const std::string&)>& answers) {
  std::vector<std::string> candidates;
  if (device.soundServer) {
    candidates.emplace_back(kPulseControl);
    if (device.pcmName != kPulseControl)
      candidates.push_back(device.pcmName);
  } else if (device.cardIndex >= 0) {
    candidates.push_back("hw:" + std::to_string(device.cardIndex));
  }
  for (const std::string& control : candidates) {
    if (answers(control))
      return control;
  }
  return {};
}

std::unique_ptr<CaptureMixer> AlsaMixerBackend::Open(const CaptureDeviceEntry& device) {
  snd_mixer_t* opened = nullptr;
  AlsaMixerControlName(device, [&opened](const std::string& control) {
    opened = OpenMixer(control);
    return opened != nullptr;
  });
  if (opened == nullptr)
    return nullptr;
  return std::make_unique<AlsaCaptureMixer>(opened);
}

}  // namespace kestrune
