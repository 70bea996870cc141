#include "platform/win/ScriptedWaveIn.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <map>
#include <mutex>
#include <set>
#include <utility>

namespace kestrune {

struct detail::ScriptedBackendState {
  std::vector<ScriptedDeviceScript> devices;
  std::optional<ScriptedDeviceScript> mapper;
  std::atomic<int64_t> reopenIntervalMs{kWaveInReopenInterval.count()};

  std::mutex mutex;
  // --- guarded by mutex, keyed by the script
  std::map<const ScriptedDeviceScript*, size_t> opensAsked;
  // Disappeared or broke: the next stream comes back whole.
  std::set<const ScriptedDeviceScript*> disappeared;
  std::vector<std::chrono::steady_clock::time_point> attemptTimes;

  std::atomic<int> successfulOpens{0};
  std::atomic<int> openStreams{0};
  std::atomic<uint64_t> framesRead{0};
  std::atomic<uint64_t> overrunsReported{0};
  std::atomic<bool> lastOpenMayConvert{false};
};

namespace {

class ScriptedStream final : public WaveInStream {
 public:
  // `origin` is the script in the backend's state (the key of what it keeps
  // per device); `cameBack`: the device disappeared or broke before, this
  // stream runs without end and without overruns.
  ScriptedStream(const ScriptedDeviceScript* origin, bool cameBack, const WaveInFormat& format,
                 std::shared_ptr<detail::ScriptedBackendState> state)
      : script_(Continued(*origin, cameBack)),
        origin_(origin),
        format_(format),
        state_(std::move(state)) {
    ++state_->openStreams;
  }
  ~ScriptedStream() override { --state_->openStreams; }

  MMRESULT Start() override {
    std::lock_guard lock(mutex_);
    return lost_ ? MMSYSERR_NODRIVER : MMSYSERR_NOERROR;
  }

  void Stop() override {}

  WaveReadResult Read(uint8_t* dest, uint32_t maxFrames) override {
    std::unique_lock lock(mutex_);
    if (std::exchange(woken_, false))
      return {WaveReadStatus::Woken, 0};
    if (lost_)
      return {WaveReadStatus::Gone, 0};
    if (nextOverrun_ < script_.overrunsAt.size() && position_ >= script_.overrunsAt[nextOverrun_]) {
      ++nextOverrun_;
      position_ += script_.framesPerRead;  // the input that was lost
      ++state_->overrunsReported;
      return {WaveReadStatus::Overrun, 0};
    }
    if (position_ >= script_.endAfterFrames) {
      if (script_.overrunsAtEnd) {
        // Broken: an overrun at once, every read, until the stream is closed.
        if (!broken_) {
          broken_ = true;
          std::lock_guard stateLock(state_->mutex);
          state_->disappeared.insert(origin_);
        }
        ++state_->overrunsReported;
        return {WaveReadStatus::Overrun, 0};
      }
      if (script_.disappearAtEnd) {
        lost_ = true;
        std::lock_guard stateLock(state_->mutex);
        state_->disappeared.insert(origin_);
        return {WaveReadStatus::Gone, 0};
      }
      wake_.wait(lock, [&] { return woken_; });
      woken_ = false;
      return {WaveReadStatus::Woken, 0};
    }
    uint64_t frames = std::min<uint64_t>(
        {maxFrames, std::max(script_.framesPerRead, 1u), script_.endAfterFrames - position_});
    if (nextOverrun_ < script_.overrunsAt.size())
      frames = std::min(frames, script_.overrunsAt[nextOverrun_] - position_);
    const auto count = static_cast<uint32_t>(frames);
    if (script_.signal) {
      script_.signal(format_, position_, count, dest);
    } else {
      std::memset(dest, 0, static_cast<size_t>(count) * format_.BytesPerFrame());
    }
    position_ += count;
    state_->framesRead += count;
    return {WaveReadStatus::Data, count};
  }

  void Wake() override {
    std::lock_guard lock(mutex_);
    woken_ = true;
    wake_.notify_all();
  }

  bool Paced() const override { return script_.paced; }

 private:
  static ScriptedDeviceScript Continued(const ScriptedDeviceScript& script, bool cameBack) {
    ScriptedDeviceScript copy = script;
    if (cameBack) {
      copy.endAfterFrames = UINT64_MAX;
      copy.disappearAtEnd = false;
      copy.overrunsAtEnd = false;
      copy.overrunsAt.clear();
    }
    return copy;
  }

  const ScriptedDeviceScript script_;
  const ScriptedDeviceScript* const origin_;
  const WaveInFormat format_;
  const std::shared_ptr<detail::ScriptedBackendState> state_;

  std::mutex mutex_;
  std::condition_variable wake_;
  // --- guarded by mutex_
  bool woken_ = false;
  bool lost_ = false;
  bool broken_ = false;  // the script ended in endless overruns
  uint64_t position_ = 0;
  size_t nextOverrun_ = 0;
};

void StoreSample(WaveSampleFormat format, uint32_t value, uint8_t* dest) {
  switch (format) {
    case WaveSampleFormat::Unsigned8:
      dest[0] = static_cast<uint8_t>(value);
      break;
    case WaveSampleFormat::Signed16:
      dest[0] = static_cast<uint8_t>(value);
      dest[1] = static_cast<uint8_t>(value >> 8);
      break;
    case WaveSampleFormat::Signed24Packed:
      dest[0] = static_cast<uint8_t>(value);
      dest[1] = static_cast<uint8_t>(value >> 8);
      dest[2] = static_cast<uint8_t>(value >> 16);
      break;
    case WaveSampleFormat::Signed32:
      dest[0] = static_cast<uint8_t>(value);
      dest[1] = static_cast<uint8_t>(value >> 8);
      dest[2] = static_cast<uint8_t>(value >> 16);
      dest[3] = static_cast<uint8_t>(value >> 24);
      break;
  }
}

}  // namespace

ScriptedWaveInBackend::ScriptedWaveInBackend(std::vector<ScriptedDeviceScript> devices,
                                             std::optional<ScriptedDeviceScript> mapper)
    : state_(std::make_shared<detail::ScriptedBackendState>()) {
  state_->devices = std::move(devices);
  state_->mapper = std::move(mapper);
}

ScriptedWaveInBackend::~ScriptedWaveInBackend() = default;

std::vector<CaptureDeviceEntry> ScriptedWaveInBackend::ListDevices() {
  std::vector<CaptureDeviceEntry> entries;
  for (size_t i = 0; i < state_->devices.size(); ++i) {
    CaptureDeviceEntry entry;
    entry.name = state_->devices[i].name;
    entry.pcmName = "scripted:" + std::to_string(i);
    entry.directPcmName = entry.pcmName;
    entry.device = static_cast<int>(i);
    entries.push_back(std::move(entry));
  }
  return entries;
}

MMRESULT ScriptedWaveInBackend::Open(const CaptureDeviceEntry* entry, const WaveInFormat& format,
                                     bool mayConvert, std::unique_ptr<WaveInStream>& stream) {
  const ScriptedDeviceScript* script = nullptr;
  if (entry == nullptr) {
    script = state_->mapper ? &*state_->mapper
                            : (state_->devices.empty() ? nullptr : &state_->devices.front());
  } else if (entry->device >= 0 && static_cast<size_t>(entry->device) < state_->devices.size()) {
    script = &state_->devices[static_cast<size_t>(entry->device)];
  }
  bool cameBack = false;
  {
    std::lock_guard lock(state_->mutex);
    state_->attemptTimes.push_back(std::chrono::steady_clock::now());
    if (script == nullptr)
      return MMSYSERR_NODRIVER;
    const size_t asked = state_->opensAsked[script]++;
    const MMRESULT result =
        asked < script->openResults.size() ? script->openResults[asked] : script->openResult;
    if (result != MMSYSERR_NOERROR)
      return result;
    cameBack = state_->disappeared.count(script) != 0;
  }
  stream = std::make_unique<ScriptedStream>(script, cameBack, format, state_);
  ++state_->successfulOpens;
  state_->lastOpenMayConvert = mayConvert;
  return MMSYSERR_NOERROR;
}

int ScriptedWaveInBackend::SuccessfulOpens() const {
  return state_->successfulOpens;
}
int ScriptedWaveInBackend::OpenAttempts() const {
  std::lock_guard lock(state_->mutex);
  return static_cast<int>(state_->attemptTimes.size());
}
std::vector<std::chrono::steady_clock::time_point> ScriptedWaveInBackend::OpenAttemptTimes() const {
  std::lock_guard lock(state_->mutex);
  return state_->attemptTimes;
}
std::chrono::milliseconds ScriptedWaveInBackend::ReopenInterval() const {
  return std::chrono::milliseconds(state_->reopenIntervalMs.load());
}
void ScriptedWaveInBackend::SetReopenInterval(std::chrono::milliseconds interval) {
  state_->reopenIntervalMs = interval.count();
}
int ScriptedWaveInBackend::OpenStreams() const {
  return state_->openStreams;
}
uint64_t ScriptedWaveInBackend::FramesRead() const {
  return state_->framesRead;
}
uint64_t ScriptedWaveInBackend::OverrunsReported() const {
  return state_->overrunsReported;
}
bool ScriptedWaveInBackend::LastOpenMayConvert() const {
  return state_->lastOpenMayConvert;
}

ScriptedSignal CountingSignal() {
  return [](const WaveInFormat& format, uint64_t firstFrame, uint32_t numFrames, uint8_t* dest) {
    const uint32_t sampleBytes = format.BytesPerSample();
    uint32_t value = static_cast<uint32_t>(firstFrame * format.channels);
    for (uint32_t i = 0; i < numFrames * format.channels; ++i) {
      StoreSample(format.sampleFormat, value++, dest);
      dest += sampleBytes;
    }
  };
}

ScriptedSignal LoopedFrames(std::vector<uint8_t> frames) {
  return [frames = std::move(frames)](const WaveInFormat& format, uint64_t firstFrame,
                                      uint32_t numFrames, uint8_t* dest) {
    const size_t frameBytes = format.BytesPerFrame();
    const size_t loopFrames = frames.size() / frameBytes;
    if (loopFrames == 0) {
      std::memset(dest, 0, numFrames * frameBytes);
      return;
    }
    size_t at = static_cast<size_t>(firstFrame % loopFrames);
    while (numFrames > 0) {
      const size_t run = std::min<size_t>(numFrames, loopFrames - at);
      std::memcpy(dest, frames.data() + at * frameBytes, run * frameBytes);
      dest += run * frameBytes;
      numFrames -= static_cast<uint32_t>(run);
      at = 0;
    }
  };
}

}  // namespace kestrune
