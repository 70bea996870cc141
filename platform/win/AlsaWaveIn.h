// The ALSA side of waveform-audio input: the device list as ALSA reports it,
// and the backend the waveform-audio calls use unless a test installs another
// one (platform/win/WaveInBackend.h).
//
// Devices: the sound server's capture PCM when a server answers, then one
// entry per capture-capable card device (ListCaptureDevices gives the rules).
// An entry opens as "plughw:CARD=<id>,DEV=<n>" when the format may be
// converted (WAVE_MAPPED, the way the capture component opens devices) and as
// "hw:..." otherwise; the wave mapper opens ALSA's "default".
//
// A stream is opened non-blocking and read with poll() over the PCM's
// descriptors plus an eventfd that Wake writes, so a read in progress ends
// at once when the layer needs the reading thread. Overruns (and a suspend)
// are recovered by preparing and starting the PCM again and reported as
// WaveReadStatus::Overrun; errors that mean the device went away (no device,
// bad state, I/O error, a hung-up descriptor) are reported as Gone.
//
// ALSA's own error messages are silenced (QuietAlsaErrorMessages): expected
// failures, such as probing a sound server that does not run, would
// otherwise print to stderr; our callers get result codes instead.
#pragma once

#include <memory>
#include <vector>

#include "platform/win/WaveInBackend.h"

namespace kestrune {

// Turns ALSA's library error messages off for the whole process. Idempotent
// and thread-safe; call before other ALSA work starts on other threads (the
// backend calls it when it is made).
void QuietAlsaErrorMessages();

// Reads the PCM name hints and the cards (with their capture devices) from
// ALSA, probes the sound server's PCM by opening it for capture without
// blocking (a server that does not run refuses at once), and returns
// ListCaptureDevices of all that. Never fails: what cannot be read is left
// out (no card: no card entries). May take some milliseconds.
std::vector<CaptureDeviceEntry> ListAlsaCaptureDevices();

// The backend on ALSA. Thread-safe; holds no state of its own.
class AlsaWaveInBackend final : public WaveInBackend {
 public:
  AlsaWaveInBackend();

  std::vector<CaptureDeviceEntry> ListDevices() override;
  // Opens the PCM (see above) non-blocking for capture, interleaved, in the
  // exact format asked. MMSYSERR_ALLOCATED when it is busy, MMSYSERR_NOMEM,
  // WAVERR_BADFORMAT when the device refuses the format, MMSYSERR_NODRIVER
  // for every other failure (unknown PCM, server gone, no device).
  MMRESULT Open(const CaptureDeviceEntry* entry, const WaveInFormat& format, bool mayConvert,
                std::unique_ptr<WaveInStream>& stream) override;
};

}  // namespace kestrune
