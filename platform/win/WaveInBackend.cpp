#include "platform/win/WaveInBackend.h"

#include <cstddef>
#include <cstring>
#include <map>
#include <set>
#include <utility>

namespace kestrune {

namespace {

// Server PCMs in the order we prefer them: PipeWire's own device first, as a
// PipeWire system usually answers on the pulse name too.
constexpr const char* kSoundServerPcms[] = {"pipewire", "pulse"};

// Cuts `text` to at most `maxBytes` bytes without splitting a UTF-8 sequence.
std::string CutUtf8(const std::string& text, size_t maxBytes) {
  if (text.size() <= maxBytes)
    return text;
  size_t end = maxBytes;
  // Step back over continuation bytes (10xxxxxx) to the start of the
  // character that would be split.
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
    --end;
  return text.substr(0, end);
}

// Control characters become spaces; outer spaces go.
std::string CleanName(const std::string& text) {
  std::string out = text;
  for (char& c : out) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
      c = ' ';
  }
  const size_t first = out.find_first_not_of(' ');
  if (first == std::string::npos)
    return {};
  const size_t last = out.find_last_not_of(' ');
  return out.substr(first, last - first + 1);
}

std::string AsciiLower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z')
      c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

// Hands out names that are unique ignoring ASCII case and fit the capability
// record.
class NameBook {
 public:
  NameBook() { taken_.insert("default"); }

  std::string Take(const std::string& wanted) {
    std::string base = CleanName(CutUtf8(CleanName(wanted), kMaxCaptureDeviceNameBytes));
    if (base.empty())
      base = "Device";
    std::string name = base;
    for (int n = 2; taken_.count(AsciiLower(name)) != 0; ++n) {
      const std::string suffix = " (" + std::to_string(n) + ")";
      name = CleanName(CutUtf8(base, kMaxCaptureDeviceNameBytes - suffix.size())) + suffix;
    }
    taken_.insert(AsciiLower(name));
    return name;
  }

 private:
  std::set<std::string> taken_;
};

std::string FirstLine(const std::string& text) {
  return text.substr(0, text.find('\n'));
}

const AlsaPcmHint* FindCaptureHint(const std::vector<AlsaPcmHint>& hints, const char* name) {
  for (const AlsaPcmHint& hint : hints) {
    if (hint.capture && hint.name == name)
      return &hint;
  }
  return nullptr;
}

std::string CardLabel(const AlsaCard& card) {
  std::string label = CleanName(card.name);
  if (label.empty())
    label = CleanName(card.id);
  if (label.empty())
    label = "Card " + std::to_string(card.index);
  return label;
}

// The card as ALSA PCM names address it: by id, which survives a change of
// card numbers, when it has one.
std::string CardAddress(const AlsaCard& card, int device) {
  const std::string cardPart = card.id.empty() ? std::to_string(card.index) : "CARD=" + card.id;
  const std::string devicePart =
      card.id.empty() ? std::to_string(device) : "DEV=" + std::to_string(device);
  return cardPart + "," + devicePart;
}

}  // namespace

std::vector<CaptureDeviceEntry> ListCaptureDevices(const std::vector<AlsaPcmHint>& hints,
                                                   const std::vector<AlsaCard>& cards,
                                                   const SoundServerProbe& serverAnswers) {
  std::vector<CaptureDeviceEntry> entries;
  NameBook names;

  for (const char* pcm : kSoundServerPcms) {
    const AlsaPcmHint* hint = FindCaptureHint(hints, pcm);
    if (hint == nullptr || !serverAnswers || !serverAnswers(pcm))
      continue;
    CaptureDeviceEntry entry;
    const std::string label = CleanName(FirstLine(hint->description));
    entry.name = names.Take(label.empty() ? pcm : label);
    entry.pcmName = pcm;
    entry.directPcmName = pcm;
    entry.soundServer = true;
    entries.push_back(std::move(entry));
    break;
  }

  // Cards by index, devices by number; the input order does not matter.
  std::map<int, const AlsaCard*> byIndex;
  for (const AlsaCard& card : cards)
    byIndex.emplace(card.index, &card);
  for (const auto& [index, card] : byIndex) {
    std::map<int, const AlsaCardDevice*> devices;
    for (const AlsaCardDevice& device : card->captureDevices)
      devices.emplace(device.device, &device);
    const std::string cardLabel = CardLabel(*card);
    for (const auto& [number, device] : devices) {
      const std::string deviceLabel = CleanName(device->name);
      CaptureDeviceEntry entry;
      entry.name = names.Take(deviceLabel.empty() ? cardLabel : cardLabel + ": " + deviceLabel);
      entry.pcmName = "plughw:" + CardAddress(*card, number);
      entry.directPcmName = "hw:" + CardAddress(*card, number);
      entry.cardIndex = index;
      entry.cardId = card->id;
      entry.device = number;
      entries.push_back(std::move(entry));
    }
  }
  return entries;
}

uint32_t WaveInFormat::BytesPerSample() const {
  switch (sampleFormat) {
    case WaveSampleFormat::Unsigned8:
      return 1;
    case WaveSampleFormat::Signed16:
      return 2;
    case WaveSampleFormat::Signed24Packed:
      return 3;
    case WaveSampleFormat::Signed32:
      return 4;
  }
  return 0;
}

bool ParseWaveFormat(const WAVEFORMATEX& header, WaveInFormat& out) {
  WaveInFormat format;
  const uint32_t containerBits = header.wBitsPerSample;
  switch (containerBits) {
    case 8:
      format.sampleFormat = WaveSampleFormat::Unsigned8;
      break;
    case 16:
      format.sampleFormat = WaveSampleFormat::Signed16;
      break;
    case 24:
      format.sampleFormat = WaveSampleFormat::Signed24Packed;
      break;
    case 32:
      format.sampleFormat = WaveSampleFormat::Signed32;
      break;
    default:
      return false;
  }
  format.channels = header.nChannels;
  format.sampleRate = header.nSamplesPerSec;
  format.validBits = containerBits;
  if (format.channels < 1 || format.channels > 32 || format.sampleRate == 0)
    return false;
  if (header.nBlockAlign != format.BytesPerFrame())
    return false;

  if (header.wFormatTag == WAVE_FORMAT_EXTENSIBLE) {
    if (header.cbSize < sizeof(WAVEFORMATEXTENSIBLE) - sizeof(WAVEFORMATEX))
      return false;
    // The extra fields follow the basic header (the caller passed the
    // extensible form, as cbSize says). Copied out: the header need not be
    // aligned.
    const auto* bytes = reinterpret_cast<const char*>(&header);
    WORD validBits = 0;
    TGUID subFormat;
    std::memcpy(&validBits, bytes + offsetof(WAVEFORMATEXTENSIBLE, wValidBitsPerSample),
                sizeof(validBits));
    std::memcpy(&subFormat, bytes + offsetof(WAVEFORMATEXTENSIBLE, SubFormat), sizeof(subFormat));
    if (!(subFormat == WAVE_SUBFORMAT_PCM))
      return false;
    if (validBits < 1 || validBits > containerBits)
      return false;
    format.validBits = validBits;
  } else if (header.wFormatTag != WAVE_FORMAT_PCM) {
    return false;
  }
  out = format;
  return true;
}

}  // namespace kestrune
