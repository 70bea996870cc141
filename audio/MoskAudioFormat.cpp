#include "audio/MoskAudioFormat.h"

#include <algorithm>
#include <bit>

#include "platform/classes/TypInfo.h"

// The header is handed to the device and copied into buffers byte for byte;
// its fields are the host's integers, which must then be little-endian.
static_assert(std::endian::native == std::endian::little,
              "the wave-format header is little-endian");

namespace {

constexpr uint32_t MinChannels = 1;
constexpr uint32_t MaxChannels = 32;
constexpr uint32_t MinBits = 8;
constexpr uint32_t MaxBits = 32;
constexpr WORD ExtensibleExtraSize = 22;

}  // namespace

// ---------------------------------------------------------------------------
// TMoskAudioFormatBasic

TMoskAudioFormatBasic::TMoskAudioFormatBasic(TPersistent* owner, TMoskFormatLockOwner* lockOwner,
                                             TNotifyEvent onChange)
    : on_change_(onChange), lock_owner_(lockOwner), owner_(owner) {
  // Nobody else can see the object yet, so the defaults go in directly: no
  // lock, and no call into an owner that is still being constructed.
  StoreChannelsLocked(2);
  StoreBitsLocked(16);
  wave_format_.Format.nSamplesPerSec = 11025;
  wave_format_.dwChannelMask = SpeakerSet(spFrontLeft) | SpeakerSet(spFrontRight);
  UpdateWaveFormatLocked();
}

void TMoskAudioFormatBasic::Change(const std::function<bool()>& store) {
  auto body = [&] {
    if (!store())
      return;
    UpdateWaveFormatLocked();
    if (on_change_.Assigned())
      on_change_(this);
  };
  if (lock_owner_ != nullptr) {
    lock_owner_->RunInWriteSection(body);
  } else {
    body();
  }
}

void TMoskAudioFormatBasic::StoreChannelsLocked(uint32_t value) {
  wave_format_.Format.nChannels = static_cast<WORD>(value);
}

void TMoskAudioFormatBasic::StoreBitsLocked(uint32_t value) {
  wave_format_.wValidBitsPerSample = static_cast<WORD>(value);
}

void TMoskAudioFormatBasic::SetChannels(uint32_t value) {
  const uint32_t channels = std::clamp(value, MinChannels, MaxChannels);
  Change([&] {
    if (channels == GetChannels())
      return false;
    StoreChannelsLocked(channels);
    return true;
  });
}

void TMoskAudioFormatBasic::SetBits(uint32_t value) {
  const uint32_t bits = std::clamp(value, MinBits, MaxBits);
  Change([&] {
    if (bits == GetBits())
      return false;
    StoreBitsLocked(bits);
    return true;
  });
}

void TMoskAudioFormatBasic::SetSampleRate(uint32_t value) {
  Change([&] {
    wave_format_.Format.nSamplesPerSec = value;
    return true;
  });
}

void TMoskAudioFormatBasic::SetChannelMask(TMoskSpeakers value) {
  Change([&] {
    wave_format_.dwChannelMask = value;
    return true;
  });
}

void TMoskAudioFormatBasic::UpdateWaveFormatLocked() {
  WAVEFORMATEX& f = wave_format_.Format;
  f.wFormatTag = WAVE_FORMAT_EXTENSIBLE;
  const uint32_t validBits = wave_format_.wValidBitsPerSample;
  const uint32_t containerBits = (validBits + 7) / 8 * 8;  // 12 -> 16, 20 -> 24
  f.wBitsPerSample = static_cast<WORD>(containerBits);
  // At most 4 bytes x 32 channels: always fits the 16-bit field.
  f.nBlockAlign = static_cast<WORD>(containerBits / 8 * f.nChannels);
  // A 32-bit field; rates beyond 2^32 / 128 wrap, as the field is defined.
  f.nAvgBytesPerSec = static_cast<DWORD>(f.nBlockAlign) * f.nSamplesPerSec;
  f.cbSize = ExtensibleExtraSize;
  wave_format_.SubFormat = WAVE_SUBFORMAT_PCM;
}

// ---------------------------------------------------------------------------
// TMoskAudioFormat

TMoskAudioFormat::TMoskAudioFormat(TPersistent* owner, TMoskFormatLockOwner* lockOwner,
                                   TNotifyEvent onChange)
    : TMoskAudioFormatBasic(owner, lockOwner, onChange) {}

void TMoskAudioFormat::SetBufferSize(uint32_t value) {
  const uint32_t frames = std::max<uint32_t>(value, 1);
  Change([&] {
    if (frames == buffer_size_)
      return false;
    buffer_size_ = frames;
    return true;
  });
}

// ---------------------------------------------------------------------------

void RegisterMoskAudioFormatClasses() {
  using Basic = TMoskAudioFormatBasic;
  RegisterClass<Basic>()
      .Integer("Channels", &Basic::GetChannels, &Basic::SetChannels, 2u)
      .Integer("Bits", &Basic::GetBits, &Basic::SetBits, 16u)
      .Integer("SampleRate", &Basic::GetSampleRate, &Basic::SetSampleRate, 11025u)
      .Set("ChannelMask", &Basic::GetChannelMask, &Basic::SetChannelMask,
           {"spFrontLeft", "spFrontRight", "spFrontCenter", "spSubwoofer", "spBackLeft",
            "spBackRight", "spFrontLeftOfCenter", "spFrontRightOfCenter", "spBackCenter",
            "spSideLeft", "spSideRight", "spTopCenter", "spTopFrontLeft", "spTopFrontCenter",
            "spTopFrontRight", "spTopBackLeft", "spTopBackCenter", "spTopBackRight"},
           SpeakerSet(spFrontLeft) | SpeakerSet(spFrontRight));
  RegisterClass<TMoskAudioFormat>().Integer("BufferSize", &TMoskAudioFormat::GetBufferSize,
                                            &TMoskAudioFormat::SetBufferSize, 1024u);
}
