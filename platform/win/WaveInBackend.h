// The device side of waveform-audio input, and the capture device list.
//
// platform/win/WaveIn.h keeps the handles, the buffer queues and a reading
// thread per open device; everything that touches a real device goes through
// a WaveInBackend: it lists the devices and opens a WaveInStream, which the
// reading thread reads. The program runs on the ALSA backend
// (platform/win/AlsaWaveIn.h); tests plug in a scripted one
// (platform/win/ScriptedWaveIn.h) with SetWaveInBackend.
//
// ListCaptureDevices is the one rule that turns what ALSA reports (PCM name
// hints, cards and their capture devices, whether a sound server answers) into
// the ordered, uniquely named device list. The waveform-audio calls and the
// recording-control stand-in both list devices through it, so their indices
// and names agree.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/win/WaveIn.h"

namespace kestrune {

// ---------------------------------------------------------------------------
// The device list.

// The longest capability name, in bytes (the record's field holds a 0 after it).
inline constexpr size_t kMaxCaptureDeviceNameBytes = 31;

// One PCM name hint as ALSA lists it.
struct AlsaPcmHint {
  std::string name;         // the PCM name ("pulse", "sysdefault:CARD=PCH", ...)
  std::string description;  // its description; lines separated by '\n'
  bool capture = true;      // the hint allows capture (no direction, or "Input")
};

// One capture-capable PCM device of a card.
struct AlsaCardDevice {
  int device = 0;    // the device number on the card
  std::string name;  // the device's own name ("ALC892 Analog"); may be empty
};

// One sound card.
struct AlsaCard {
  int index = 0;                               // the card number
  std::string id;                              // its id ("PCH"); may be empty
  std::string name;                            // its short name ("HDA Intel PCH")
  std::vector<AlsaCardDevice> captureDevices;  // devices that can capture
};

// One entry of the device list.
struct CaptureDeviceEntry {
  std::string name;           // unique (ignoring ASCII case), 1..31 bytes of UTF-8
  std::string pcmName;        // the ALSA PCM opened when the format may be converted
  std::string directPcmName;  // the ALSA PCM opened when it may not
  bool soundServer = false;   // the sound server's device (the first entry)
  int cardIndex = -1;         // the card, -1 for the sound server
  std::string cardId;
  int device = -1;  // the device on the card, -1 for the sound server
};

// Answers whether the sound server behind the ALSA PCM `pcmName` runs.
using SoundServerProbe = std::function<bool(const std::string& pcmName)>;

// The device list:
// 1. The sound server's capture device, when one answers: the PCM names
//    "pipewire", then "pulse", each only when a capture-capable hint lists it,
//    are given to `serverAnswers` in that order; the first that answers makes
//    the entry (named after the first line of its hint description). At most
//    one server entry.
// 2. One entry per capture-capable device of every card, cards by index,
//    devices by number (duplicates dropped), named "<card name>: <device
//    name>" (just the card name when the device has none; the card id, or
//    "Card <index>", when the card has no name). The other hints (aliases of
//    the same cards) make no entries.
// Names: control characters become spaces, outer spaces go, the text is cut
// to 31 bytes on a UTF-8 character boundary; a name already taken (ignoring
// ASCII case; "Default" counts as taken, as it stands for the wave mapper)
// gets " (2)", " (3)", ... with the text before it cut to fit.
// Pure: it calls nothing but `serverAnswers`.
std::vector<CaptureDeviceEntry> ListCaptureDevices(const std::vector<AlsaPcmHint>& hints,
                                                   const std::vector<AlsaCard>& cards,
                                                   const SoundServerProbe& serverAnswers);

// ---------------------------------------------------------------------------
// Backends.

// The sample container of a capture format.
enum class WaveSampleFormat {
  Unsigned8,       // 8-bit unsigned, silence at 128
  Signed16,        // 16-bit signed little-endian
  Signed24Packed,  // 24-bit signed little-endian in 3 bytes
  Signed32,        // 32-bit signed little-endian
};

// A validated capture format.
struct WaveInFormat {
  WaveSampleFormat sampleFormat = WaveSampleFormat::Signed16;
  uint32_t channels = 2;        // 1..32
  uint32_t sampleRate = 11025;  // frames per second, > 0
  uint32_t validBits = 16;      // bits that carry signal, 1..container bits (top-aligned)

  uint32_t BytesPerSample() const;
  uint32_t BytesPerFrame() const { return BytesPerSample() * channels; }
};

// Reads a format header (WAVEFORMATEX, or the extensible form when its tag
// says so). Returns false, leaving `out` alone, when it is not PCM of the
// widths above, has 0 or more than 32 channels, a rate of 0, a block align
// that is not (container bits / 8) x channels, or (extensible) a short extra
// size, valid bits outside 1..container, or another sub-format.
bool ParseWaveFormat(const WAVEFORMATEX& header, WaveInFormat& out);

// What one read brought.
enum class WaveReadStatus {
  Data,     // `frames` frames (at least 1) were written
  Woken,    // Wake was called; nothing was written
  Overrun,  // input was lost and the device recovered; nothing was written
            // (kWaveInOverrunsMeaningLost in a row without Data between them
            // are taken as Gone)
  Gone,     // the device disappeared; it will deliver nothing more
};

struct WaveReadResult {
  WaveReadStatus status = WaveReadStatus::Woken;
  uint32_t frames = 0;
};

// An open device. Start, Stop and Read are called one at a time (the layer
// orders them under its device lock or on the reading thread); Wake may be
// called from any thread at any time. The destructor closes the device; it
// runs when nothing else calls in any more.
class WaveInStream {
 public:
  virtual ~WaveInStream() = default;

  // Starts capture (again after Stop). MMSYSERR_NOERROR, or MMSYSERR_NODRIVER
  // when the device is gone.
  virtual MMRESULT Start() = 0;
  // Stops capture and discards what the device holds.
  virtual void Stop() = 0;
  // Reads at most `maxFrames` (>= 1) frames into `dest` while capture runs,
  // waiting until at least one frame is there, the device fails, or Wake is
  // called.
  virtual WaveReadResult Read(uint8_t* dest, uint32_t maxFrames) = 0;
  // Makes the Read in progress, or else the next one, return Woken soon.
  virtual void Wake() = 0;
  // True for a device that delivers at its own rate (a read waits for the
  // input); false for one that delivers as fast as it is read. While no
  // buffer is queued the layer reads an unpaced device only now and then
  // (its input is dropped either way), so that it does not keep a core busy.
  virtual bool Paced() const { return true; }
};

// A device provider. Its members may be called from any thread, also at once.
class WaveInBackend {
 public:
  virtual ~WaveInBackend() = default;

  // Lists the devices now.
  virtual std::vector<CaptureDeviceEntry> ListDevices() = 0;

  // Opens `entry` (a device of an earlier ListDevices), or the wave mapper
  // when `entry` is null, in `format`; `mayConvert` allows the device to
  // convert formats it lacks. On success `stream` holds the open, stopped
  // device. Failures: WAVERR_BADFORMAT, MMSYSERR_ALLOCATED, MMSYSERR_NODRIVER,
  // MMSYSERR_NOMEM; `stream` stays empty.
  virtual MMRESULT Open(const CaptureDeviceEntry* entry, const WaveInFormat& format,
                        bool mayConvert, std::unique_ptr<WaveInStream>& stream) = 0;

  // How long the layer waits between the opens of a device of this backend
  // that disappeared while capture runs (platform/win/WaveIn.h).
  virtual std::chrono::milliseconds ReopenInterval() const { return kWaveInReopenInterval; }
};

// Installs the backend the waveform-audio calls use from now on (null: back to
// ALSA) and drops the device snapshot. Devices already open stay on the
// backend that opened them. Returns the previous backend (null while it was
// the built-in ALSA one).
std::shared_ptr<WaveInBackend> SetWaveInBackend(std::shared_ptr<WaveInBackend> backend);

}  // namespace kestrune

namespace kestrune {

// The device list the waveform-audio calls answer from now (the one
// waveInGetNumDevs took last, or a fresh one when none was taken), so that
// index i here is wave-input device i. Never null. Any thread.
std::shared_ptr<const std::vector<CaptureDeviceEntry>> CurrentWaveInDevices();

}  // namespace kestrune
