#include "platform/win/AlsaWaveIn.h"

#include <alsa/asoundlib.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <string>
#include <utility>

namespace kestrune {

namespace {

// How long a read waits in one poll before it looks at the device's state: a
// device that left the running states without a word is noticed this late at
// most.
constexpr int kPollTimeoutMs = 1000;
// Consecutive error wake-ups without data before we give the device up.
constexpr int kMaxErrorPolls = 100;
// Resume attempts after a suspend (10 ms apart) before we prepare afresh.
constexpr int kMaxResumeAttempts = 100;
// Device buffer and period we ask for: a large buffer rides out scheduling
// delays; the period bounds how stale the newest input can be.
constexpr unsigned kBufferTimeUs = 500000;
constexpr unsigned kPeriodTimeUs = 25000;

void IgnoreAlsaError(const char* /*file*/, int /*line*/, const char* /*function*/, int /*err*/,
                     const char* /*fmt*/, ...) {}

struct FreeCString {
  void operator()(char* text) const { std::free(text); }
};
using CString = std::unique_ptr<char, FreeCString>;

std::string TextOf(const CString& text) {
  return text ? std::string(text.get()) : std::string();
}

struct HintsDeleter {
  void operator()(void** hints) const { snd_device_name_free_hint(hints); }
};
struct CtlCloser {
  void operator()(snd_ctl_t* ctl) const { snd_ctl_close(ctl); }
};
struct CardInfoDeleter {
  void operator()(snd_ctl_card_info_t* info) const { snd_ctl_card_info_free(info); }
};
struct PcmInfoDeleter {
  void operator()(snd_pcm_info_t* info) const { snd_pcm_info_free(info); }
};
struct PcmCloser {
  void operator()(snd_pcm_t* pcm) const { snd_pcm_close(pcm); }
};
struct HwParamsDeleter {
  void operator()(snd_pcm_hw_params_t* params) const { snd_pcm_hw_params_free(params); }
};

std::vector<AlsaPcmHint> ReadPcmHints() {
  std::vector<AlsaPcmHint> hints;
  void** raw = nullptr;
  if (snd_device_name_hint(-1, "pcm", &raw) < 0 || raw == nullptr)
    return hints;
  std::unique_ptr<void*, HintsDeleter> owner(raw);
  for (void** hint = raw; *hint != nullptr; ++hint) {
    CString name(snd_device_name_get_hint(*hint, "NAME"));
    CString description(snd_device_name_get_hint(*hint, "DESC"));
    CString direction(snd_device_name_get_hint(*hint, "IOID"));
    if (!name)
      continue;
    AlsaPcmHint entry;
    entry.name = TextOf(name);
    entry.description = TextOf(description);
    entry.capture = !direction || std::strcmp(direction.get(), "Input") == 0;
    hints.push_back(std::move(entry));
  }
  return hints;
}

// The card's capture devices; a card whose control device does not open
// (no permission, no definition in the configuration) is left out.
bool ReadCard(int index, AlsaCard& card) {
  snd_ctl_t* rawCtl = nullptr;
  const std::string ctlName = "hw:" + std::to_string(index);
  if (snd_ctl_open(&rawCtl, ctlName.c_str(), 0) < 0)
    return false;
  std::unique_ptr<snd_ctl_t, CtlCloser> ctl(rawCtl);

  snd_ctl_card_info_t* rawCardInfo = nullptr;
  snd_pcm_info_t* rawPcmInfo = nullptr;
  if (snd_ctl_card_info_malloc(&rawCardInfo) < 0)
    return false;
  std::unique_ptr<snd_ctl_card_info_t, CardInfoDeleter> cardInfo(rawCardInfo);
  if (snd_pcm_info_malloc(&rawPcmInfo) < 0)
    return false;
  std::unique_ptr<snd_pcm_info_t, PcmInfoDeleter> pcmInfo(rawPcmInfo);

  if (snd_ctl_card_info(ctl.get(), cardInfo.get()) < 0)
    return false;
  card.index = index;
  card.id = snd_ctl_card_info_get_id(cardInfo.get());
  card.name = snd_ctl_card_info_get_name(cardInfo.get());

  int device = -1;
  while (snd_ctl_pcm_next_device(ctl.get(), &device) >= 0 && device >= 0) {
    snd_pcm_info_set_device(pcmInfo.get(), static_cast<unsigned>(device));
    snd_pcm_info_set_subdevice(pcmInfo.get(), 0);
    snd_pcm_info_set_stream(pcmInfo.get(), SND_PCM_STREAM_CAPTURE);
    if (snd_ctl_pcm_info(ctl.get(), pcmInfo.get()) < 0)
      continue;  // no capture stream on this device
    card.captureDevices.push_back({device, snd_pcm_info_get_name(pcmInfo.get())});
  }
  return true;
}

std::vector<AlsaCard> ReadCards() {
  std::vector<AlsaCard> cards;
  int index = -1;
  while (snd_card_next(&index) >= 0 && index >= 0) {
    AlsaCard card;
    if (ReadCard(index, card))
      cards.push_back(std::move(card));
  }
  return cards;
}

bool ServerAnswers(const std::string& pcmName) {
  snd_pcm_t* pcm = nullptr;
  if (snd_pcm_open(&pcm, pcmName.c_str(), SND_PCM_STREAM_CAPTURE, SND_PCM_NONBLOCK) < 0)
    return false;
  snd_pcm_close(pcm);
  return true;
}

snd_pcm_format_t AlsaFormatOf(WaveSampleFormat format) {
  switch (format) {
    case WaveSampleFormat::Unsigned8:
      return SND_PCM_FORMAT_U8;
    case WaveSampleFormat::Signed16:
      return SND_PCM_FORMAT_S16_LE;
    case WaveSampleFormat::Signed24Packed:
      return SND_PCM_FORMAT_S24_3LE;
    case WaveSampleFormat::Signed32:
      return SND_PCM_FORMAT_S32_LE;
  }
  return SND_PCM_FORMAT_UNKNOWN;
}

// The result of a failed open or setup.
MMRESULT ResultOfOpenError(int err) {
  switch (err) {
    case -EBUSY:
    case -EAGAIN:
      return MMSYSERR_ALLOCATED;
    case -ENOMEM:
      return MMSYSERR_NOMEM;
    default:
      return MMSYSERR_NODRIVER;
  }
}

// Asks the device for the exact format; WAVERR_BADFORMAT when it refuses.
// The buffer and period sizes are wishes: ALSA picks the nearest it can.
MMRESULT SetUp(snd_pcm_t* pcm, const WaveInFormat& format, bool mayConvert) {
  snd_pcm_hw_params_t* raw = nullptr;
  if (snd_pcm_hw_params_malloc(&raw) < 0)
    return MMSYSERR_NOMEM;
  std::unique_ptr<snd_pcm_hw_params_t, HwParamsDeleter> params(raw);
  if (int err = snd_pcm_hw_params_any(pcm, raw); err < 0)
    return ResultOfOpenError(err);
  if (snd_pcm_hw_params_set_access(pcm, raw, SND_PCM_ACCESS_RW_INTERLEAVED) < 0 ||
      snd_pcm_hw_params_set_format(pcm, raw, AlsaFormatOf(format.sampleFormat)) < 0 ||
      snd_pcm_hw_params_set_channels(pcm, raw, format.channels) < 0)
    return WAVERR_BADFORMAT;
  if (!mayConvert)
    (void)snd_pcm_hw_params_set_rate_resample(pcm, raw, 0);
  if (snd_pcm_hw_params_set_rate(pcm, raw, format.sampleRate, 0) < 0)
    return WAVERR_BADFORMAT;
  unsigned bufferTime = kBufferTimeUs;
  unsigned periodTime = kPeriodTimeUs;
  (void)snd_pcm_hw_params_set_buffer_time_near(pcm, raw, &bufferTime, nullptr);
  (void)snd_pcm_hw_params_set_period_time_near(pcm, raw, &periodTime, nullptr);
  if (int err = snd_pcm_hw_params(pcm, raw); err < 0)
    return err == -EINVAL ? WAVERR_BADFORMAT : ResultOfOpenError(err);
  return MMSYSERR_NOERROR;
}

// An open ALSA capture PCM in non-blocking mode, plus the eventfd that wakes
// a read. Start, Stop and Read are called one at a time (see WaveInStream);
// Wake only writes the eventfd, which is safe from any thread.
class AlsaWaveInStream final : public WaveInStream {
 public:
  AlsaWaveInStream(snd_pcm_t* pcm, int wakeFd) : pcm_(pcm), wakeFd_(wakeFd) {
    const int count = snd_pcm_poll_descriptors_count(pcm_);
    fds_.resize(static_cast<size_t>(count > 0 ? count : 0) + 1);
  }
  ~AlsaWaveInStream() override {
    snd_pcm_close(pcm_);
    close(wakeFd_);
  }

  MMRESULT Start() override {
    errorPolls_ = 0;
    if (snd_pcm_state(pcm_) != SND_PCM_STATE_PREPARED && snd_pcm_prepare(pcm_) < 0)
      return MMSYSERR_NODRIVER;
    if (snd_pcm_start(pcm_) < 0)
      return MMSYSERR_NODRIVER;
    return MMSYSERR_NOERROR;
  }

  void Stop() override { (void)snd_pcm_drop(pcm_); }

  WaveReadResult Read(uint8_t* dest, uint32_t maxFrames) override {
    for (;;) {
      const snd_pcm_sframes_t got = snd_pcm_readi(pcm_, dest, maxFrames);
      if (got > 0) {
        errorPolls_ = 0;
        return {WaveReadStatus::Data, static_cast<uint32_t>(got)};
      }
      if (got < 0 && got != -EAGAIN && got != -EINTR)
        return Recover(static_cast<int>(got));
      std::optional<WaveReadResult> outcome;
      switch (WaitForInput()) {
        case Wait::Ready:
          break;
        case Wait::Woken:
          return {WaveReadStatus::Woken, 0};
        case Wait::Silent:
          outcome = LookAtState(/*afterError=*/false);
          break;
        case Wait::Error:
          outcome = LookAtState(/*afterError=*/true);
          break;
      }
      if (outcome)
        return *outcome;
    }
  }

  void Wake() override {
    const uint64_t one = 1;
    // A full counter (never reached) would still leave the fd readable.
    (void)!write(wakeFd_, &one, sizeof(one));
  }

 private:
  enum class Wait {
    Ready,   // input (or an error code) is waiting for readi
    Woken,   // Wake was called
    Silent,  // nothing for kPollTimeoutMs
    Error,   // the descriptors report an error or a hang-up
  };

  Wait WaitForInput() {
    const int count =
        snd_pcm_poll_descriptors(pcm_, fds_.data(), static_cast<unsigned>(fds_.size() - 1));
    if (count < 0)
      return Wait::Error;
    fds_[static_cast<size_t>(count)] = {wakeFd_, POLLIN, 0};
    const int ready = poll(fds_.data(), static_cast<nfds_t>(count + 1), kPollTimeoutMs);
    if (ready < 0)
      return errno == EINTR ? Wait::Ready : Wait::Error;
    if ((fds_[static_cast<size_t>(count)].revents & POLLIN) != 0) {
      uint64_t value;
      (void)!read(wakeFd_, &value, sizeof(value));
      return Wait::Woken;
    }
    if (ready == 0)
      return Wait::Silent;
    unsigned short revents = 0;
    if (snd_pcm_poll_descriptors_revents(pcm_, fds_.data(), static_cast<unsigned>(count),
                                         &revents) < 0)
      return Wait::Error;
    if ((revents & (POLLERR | POLLHUP | POLLNVAL)) != 0)
      return Wait::Error;
    return Wait::Ready;
  }

  // Looks at the state after a silent or failed wait: an overrun or suspend
  // is recovered, a device out of the running states is gone; otherwise
  // (nullopt) we read again. Error wake-ups that keep coming while the state
  // claims to run give the device up after kMaxErrorPolls.
  std::optional<WaveReadResult> LookAtState(bool afterError) {
    switch (snd_pcm_state(pcm_)) {
      case SND_PCM_STATE_XRUN:
        return Recover(-EPIPE);
      case SND_PCM_STATE_SUSPENDED:
        return Recover(-ESTRPIPE);
      case SND_PCM_STATE_RUNNING:
      case SND_PCM_STATE_PREPARED:
        if (afterError && ++errorPolls_ > kMaxErrorPolls)
          return WaveReadResult{WaveReadStatus::Gone, 0};
        return std::nullopt;
      default:  // disconnected, or dropped out of running by itself
        return WaveReadResult{WaveReadStatus::Gone, 0};
    }
  }

  // Handles -EPIPE (overrun) and -ESTRPIPE (suspend): capture restarts and
  // the gap is reported as Overrun. Every other code means the device is
  // gone.
  WaveReadResult Recover(int err) {
    if (err == -ESTRPIPE) {
      int resumed = -EAGAIN;
      for (int attempt = 0; attempt < kMaxResumeAttempts && resumed == -EAGAIN; ++attempt) {
        resumed = snd_pcm_resume(pcm_);
        if (resumed == -EAGAIN)
          usleep(10000);
      }
      if (resumed == 0 && snd_pcm_state(pcm_) == SND_PCM_STATE_RUNNING)
        return {WaveReadStatus::Overrun, 0};
      err = -EPIPE;  // not resumable: start afresh
    }
    if (err == -EPIPE) {
      if (snd_pcm_prepare(pcm_) < 0 || snd_pcm_start(pcm_) < 0)
        return {WaveReadStatus::Gone, 0};
      return {WaveReadStatus::Overrun, 0};
    }
    return {WaveReadStatus::Gone, 0};
  }

  snd_pcm_t* const pcm_;
  const int wakeFd_;
  std::vector<pollfd> fds_;  // the PCM's descriptors, then the wake fd
  int errorPolls_ = 0;
};

}  // namespace

void QuietAlsaErrorMessages() {
  static std::once_flag once;
  std::call_once(once, [] { snd_lib_error_set_handler(&IgnoreAlsaError); });
}

std::vector<CaptureDeviceEntry> ListAlsaCaptureDevices() {
  QuietAlsaErrorMessages();
  return ListCaptureDevices(ReadPcmHints(), ReadCards(), &ServerAnswers);
}

AlsaWaveInBackend::AlsaWaveInBackend() {
  QuietAlsaErrorMessages();
}

std::vector<CaptureDeviceEntry> AlsaWaveInBackend::ListDevices() {
  return ListAlsaCaptureDevices();
}

MMRESULT AlsaWaveInBackend::Open(const CaptureDeviceEntry* entry, const WaveInFormat& format,
                                 bool mayConvert, std::unique_ptr<WaveInStream>& stream) {
  const std::string name = entry == nullptr ? std::string("default")
                                            : (mayConvert ? entry->pcmName : entry->directPcmName);
  snd_pcm_t* raw = nullptr;
  if (int err = snd_pcm_open(&raw, name.c_str(), SND_PCM_STREAM_CAPTURE, SND_PCM_NONBLOCK); err < 0)
    return ResultOfOpenError(err);
  std::unique_ptr<snd_pcm_t, PcmCloser> pcm(raw);
  if (const MMRESULT result = SetUp(pcm.get(), format, mayConvert); result != MMSYSERR_NOERROR)
    return result;
  const int wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (wakeFd < 0)
    return MMSYSERR_NOMEM;
  try {
    stream = std::make_unique<AlsaWaveInStream>(pcm.get(), wakeFd);
  } catch (const std::bad_alloc&) {
    close(wakeFd);
    return MMSYSERR_NOMEM;
  }
  (void)pcm.release();  // the stream owns it now
  return MMSYSERR_NOERROR;
}

}  // namespace kestrune
