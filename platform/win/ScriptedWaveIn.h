// A scripted capture device for tests and benchmarks.
//
// Install it with SetWaveInBackend (platform/win/WaveInBackend.h); from then
// on the waveform-audio calls list the scripted devices and open them. A
// device follows its script: it delivers its signal as fast as it is read
// (it is not paced, unless the script says it is: while no buffer is
// queued, the layer reads and drops its input with short pauses in
// between), in reads of at most `framesPerRead` frames, reports overruns
// where the script says (skipping one read's worth of input), and at the
// end of its frames either goes quiet, disappears, or breaks: from there on
// every read reports an overrun at once and brings nothing (a stream whose
// sound server went away may do so). Opening can be made to fail, also
// open by open (a device that disappeared and refuses the first reopens).
// A device that disappeared or broke and is opened again has come back:
// its new stream counts from 0 and runs without end and without overruns.
//
// Threads: like every backend, any member from any thread. The counters are
// exact once the devices are closed.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/win/WaveInBackend.h"

namespace kestrune {

namespace detail {
struct ScriptedBackendState;
}

// Writes `numFrames` frames of a signal, from frame `firstFrame` on (counted
// from the stream's open, lost input included), in `format`, into `dest`.
// Runs on the device's reading thread.
using ScriptedSignal = std::function<void(const WaveInFormat& format, uint64_t firstFrame,
                                          uint32_t numFrames, uint8_t* dest)>;

struct ScriptedDeviceScript {
  std::string name = "Scripted capture";
  MMRESULT openResult = MMSYSERR_NOERROR;  // anything else: waveInOpen fails with it
  // The results of the device's first opens, one per open in order (the
  // opens after them answer openResult).
  std::vector<MMRESULT> openResults;
  ScriptedSignal signal;                 // empty: all bytes 0
  uint32_t framesPerRead = 256;          // the most frames one read delivers (>= 1)
  uint64_t endAfterFrames = UINT64_MAX;  // position at which the script ends
  bool disappearAtEnd = false;           // at the end the device disappears, else goes quiet
  // At the end the stream breaks instead: every read from there on reports an
  // overrun and nothing else, without end (it wins over disappearAtEnd).
  bool overrunsAtEnd = false;
  std::vector<uint64_t> overrunsAt;  // ascending positions where an overrun is reported
  // The stream says it is paced (WaveInStream::Paced), so that the layer's
  // paths for paced devices run; it still delivers as fast as it is read.
  bool paced = false;
};

class ScriptedWaveInBackend final : public WaveInBackend {
 public:
  // `devices` are listed in this order. The wave mapper opens `mapper`, or
  // devices[0] when no mapper is given; with neither it answers
  // MMSYSERR_NODRIVER.
  explicit ScriptedWaveInBackend(std::vector<ScriptedDeviceScript> devices,
                                 std::optional<ScriptedDeviceScript> mapper = std::nullopt);
  ~ScriptedWaveInBackend() override;

  // One entry per script, named as the script says (no renaming).
  std::vector<CaptureDeviceEntry> ListDevices() override;
  MMRESULT Open(const CaptureDeviceEntry* entry, const WaveInFormat& format, bool mayConvert,
                std::unique_ptr<WaveInStream>& stream) override;

  int SuccessfulOpens() const;        // opens that succeeded so far
  int OpenAttempts() const;           // opens asked for so far, failed ones included
  int OpenStreams() const;            // streams open now
  uint64_t FramesRead() const;        // frames all streams delivered so far
  uint64_t OverrunsReported() const;  // overruns all streams reported so far
  bool LastOpenMayConvert() const;    // the `mayConvert` of the last successful open
  // When each open was asked for, in order, failed ones included.
  std::vector<std::chrono::steady_clock::time_point> OpenAttemptTimes() const;

  // The wait between the opens of a lost device (kWaveInReopenInterval
  // unless set); a change holds from the next wait on.
  std::chrono::milliseconds ReopenInterval() const override;
  void SetReopenInterval(std::chrono::milliseconds interval);

 private:
  std::shared_ptr<detail::ScriptedBackendState> state_;
};

// Frame f, channel c carries the number f x channels + c, cut to the sample
// width (two's complement; the low byte for 8-bit), so that every sample
// tells where it came from.
ScriptedSignal CountingSignal();

// Plays `frames` (interleaved samples in the open format, a whole number of
// frames) round and round; the first byte is frame 0.
ScriptedSignal LoopedFrames(std::vector<uint8_t> frames);

}  // namespace kestrune
