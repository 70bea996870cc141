// The mixers of ALSA capture devices (see CaptureMixer.h for the line rule).
//
// A card device's mixer is ALSA's control "hw:<card>"; the sound server's
// device has the control named like its PCM ("pulse", "pipewire"). Other
// entries (none in the ALSA device list) have no mixer.
#pragma once

#include <memory>
#include <string>

#include "platform/com/CaptureMixer.h"

namespace kestrune {

// The ALSA control name of `device`'s mixer; empty when it has none.
std::string AlsaMixerControlName(const CaptureDeviceEntry& device);

class AlsaMixerBackend final : public MixerBackend {
 public:
  // Opens the simple-element mixer on AlsaMixerControlName(device); null when
  // there is no name or ALSA cannot open, attach or load it.
  std::unique_ptr<CaptureMixer> Open(const CaptureDeviceEntry& device) override;
};

}  // namespace kestrune
