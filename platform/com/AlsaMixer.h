// The mixers of ALSA capture devices (see CaptureMixer.h for the line rule).
//
// A card device's mixer is ALSA's control "hw:<card>". The sound server's
// device takes its mixer from the "pulse" control wherever that answers (a
// PulseAudio server, or PipeWire's pulse server), and from the control named
// like its PCM ("pipewire") only where it does not: PipeWire's own control
// follows the default source's node, and where that source is an output's
// monitor the node is the output itself, so switching its capture would
// switch the user's speakers. Other entries (none in the ALSA device list)
// have no mixer.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/com/CaptureMixer.h"

namespace kestrune {

// The ALSA control of `device`'s mixer: the first of its candidate controls
// for which `answers` says true, in the order above; empty when it has none
// or none answers. `answers` may keep what it opened.
std::string AlsaMixerControlName(const CaptureDeviceEntry& device,
                                 const std::function<bool(const std::string&)>& answers);

class AlsaMixerBackend final : public MixerBackend {
 public:
  // Opens the simple-element mixer on AlsaMixerControlName(device), a
  // control answering when ALSA can open, attach and load it; null when none
  // does.
  std::unique_ptr<CaptureMixer> Open(const CaptureDeviceEntry& device) override;
};

}  // namespace kestrune
