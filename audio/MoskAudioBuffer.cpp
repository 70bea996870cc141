#include "audio/MoskAudioBuffer.h"

#include <algorithm>
#include <cstring>

#include "audio/MoskAudioFormat.h"
#include "audio/MoskSampleConversion.h"
#include "platform/rtl/ScopeExit.h"
#include "platform/rtl/SysUtils.h"

namespace {

constexpr std::uint32_t kMaxChannels = 32;
constexpr std::uint32_t kMaxBits = 32;
constexpr WORD kExtensibleExtraSize = 22;
// The header's fixed part: format tag .. extra size.
constexpr std::uint32_t kBasicHeaderSize = sizeof(WAVEFORMATEX);

TMoskAudioBuffer* AudioObjectOf(ITrelDataBuffer* buffer, const char* missing) {
  if (buffer == nullptr) {
    throw EInvalidPointer(missing);
  }
  TTrelGenericBuffer* object = buffer->GetBufferObject();
  if (!object->Is<TMoskAudioBuffer>()) {
    throw EInvalidCast("An audio buffer is needed, not a " + object->ClassName());
  }
  return static_cast<TMoskAudioBuffer*>(object);
}

// Channel c of an interleaved buffer starts c x (container bytes) into each
// frame.
std::uint32_t SampleBytes(std::uint32_t containerBits) {
  return containerBits / 8;
}

// The channels two buffers share by speaker position: for each of the 18
// positions (mask bits 0..17, in order) present in both masks, the channel
// that carries it on either side. A buffer's channel index advances with
// every bit of its own mask; a position whose index reaches that buffer's
// channel count has no channel there (a mask may name more speakers than the
// buffer has channels) and is skipped.
struct ChannelPairs {
  struct Pair {
    std::uint32_t self;
    std::uint32_t other;
  };
  std::array<Pair, kMaxChannels> pairs{};  // at most one pair per channel
  std::uint32_t count = 0;
};

ChannelPairs PairBySpeaker(std::uint32_t selfMask, std::uint32_t selfChannels,
                           std::uint32_t otherMask, std::uint32_t otherChannels) {
  ChannelPairs result;
  std::uint32_t self = 0;
  std::uint32_t other = 0;
  for (std::uint32_t position = 0; position < MoskSpeakerCount; ++position) {
    const std::uint32_t bit = 1u << position;
    const bool inSelf = (selfMask & bit) != 0;
    const bool inOther = (otherMask & bit) != 0;
    if (inSelf && inOther && self < selfChannels && other < otherChannels) {
      result.pairs[result.count++] = {self, other};
    }
    self += inSelf ? 1 : 0;
    other += inOther ? 1 : 0;
  }
  return result;
}

// Every channel of this buffer with channel 0 of a one-channel operand.
ChannelPairs EveryChannelWithTheFirst(std::uint32_t selfChannels) {
  ChannelPairs result;
  for (std::uint32_t c = 0; c < selfChannels; ++c) {
    result.pairs[result.count++] = {c, 0};  // channels <= kMaxChannels
  }
  return result;
}

}  // namespace

// ---------------------------------------------------------------------------
// Blocks

TMLSmartMediaBuffer::TMLSmartMediaBuffer(std::uint32_t size) : TTrelSmartMemoryBuffer(size) {}

TMLSmartMediaBuffer::TMLSmartMediaBuffer(TMLSmartMediaBuffer* source, bool copyData)
    : TTrelSmartMemoryBuffer(source, copyData), flags_(source->flags_), stamp_(source->stamp_) {}

TTrelSmartBuffer* TMLSmartMediaBuffer::Clone(bool copyData) {
  return Create<TMLSmartMediaBuffer>(this, copyData);
}

TMoskSmartAudioBuffer::TMoskSmartAudioBuffer(std::uint32_t size)
    : TMLSmartMediaBuffer(std::max<std::uint32_t>(size, MoskAudioHeaderSize)) {}

TMoskSmartAudioBuffer::TMoskSmartAudioBuffer(TMoskSmartAudioBuffer* source, bool copyData)
    : TMLSmartMediaBuffer(source, copyData) {
  if (!copyData) {
    std::memcpy(GetData(), source->GetData(), MoskAudioHeaderSize);
  }
}

TTrelSmartBuffer* TMoskSmartAudioBuffer::Clone(bool copyData) {
  return Create<TMoskSmartAudioBuffer>(this, copyData);
}

TMLMediaBuffer::TMLMediaBuffer(TTrelSmartBuffer* smartBlock, std::int32_t byteSize)
    : TTrelMemoryBuffer(smartBlock, byteSize) {}

// ---------------------------------------------------------------------------
// The typed pointers of the interface

std::uint8_t* IMoskAudioBuffer::GetData() {
  return static_cast<std::uint8_t*>(ITrelDataBuffer::GetData());
}
std::uint8_t* IMoskAudioBuffer::GetReadData() {
  return static_cast<std::uint8_t*>(ITrelDataBuffer::GetReadData());
}
std::uint8_t* IMoskAudioBuffer::GetWriteData() {
  return static_cast<std::uint8_t*>(ITrelDataBuffer::GetWriteData());
}

// ---------------------------------------------------------------------------
// TMoskAudioBuffer: construction

TMoskAudioBuffer::TMoskAudioBuffer(TTrelSmartBuffer* smartBlock, std::int32_t byteSize)
    : TMLMediaBuffer(smartBlock, byteSize) {
  // The base refused anything but a memory block; an audio buffer needs the
  // header an audio block carries.
  if (!smartBlock->Is<TMoskSmartAudioBuffer>()) {
    throw EInvalidCast("An audio buffer needs an audio block");
  }
  RefreshData();
}

TMoskAudioBuffer::TMoskAudioBuffer(TMoskAudioBuffer* source)
    : TMoskAudioBuffer(source->smart_block_, source->byte_size_) {}

IPtr<IMoskAudioBuffer> TMoskAudioBuffer::Create(std::uint32_t sampleRate, std::uint32_t channelMask,
                                                std::int32_t frames, std::uint32_t channels,
                                                std::uint32_t validBits) {
  if (frames < 0 || channels > kMaxChannels || validBits > kMaxBits) {
    throw ERangeError(Format("Audio buffer format out of range: %d frames, %u channels, %u bits",
                             {frames, channels, validBits}));
  }
  const std::uint32_t containerBits = (validBits + 7) / 8 * 8;  // 12 -> 16, 20 -> 24
  const std::uint32_t blockAlign = SampleBytes(containerBits) * channels;
  const std::int64_t blockBytes = MoskAudioHeaderSize + std::int64_t{frames} * blockAlign;
  if (blockBytes > static_cast<std::int64_t>(kTrelLargestBlockSize)) {
    throw ERangeError(
        Format("Audio buffer size out of range: %d frames of %u bytes", {frames, blockAlign}));
  }
  auto* block = ::Create<TMoskSmartAudioBuffer>(static_cast<std::uint32_t>(blockBytes));
  // A reading reference of our own while the buffer is made: if making it
  // fails, dropping this reference frees the block.
  block->AddRef(false);
  kestrune::ScopeExit release([&] { block->Release(false); });
  WAVEFORMATEXTENSIBLE& header = *block->Header();
  header = WAVEFORMATEXTENSIBLE{};
  header.Format.wFormatTag = WAVE_FORMAT_EXTENSIBLE;
  header.Format.nChannels = static_cast<WORD>(channels);
  header.Format.nSamplesPerSec = sampleRate;
  header.Format.nAvgBytesPerSec = blockAlign * sampleRate;    // a 32-bit field: wraps
  header.Format.nBlockAlign = static_cast<WORD>(blockAlign);  // at most 4 x 32
  header.Format.wBitsPerSample = static_cast<WORD>(containerBits);
  header.Format.cbSize = kExtensibleExtraSize;
  header.wValidBitsPerSample = static_cast<WORD>(validBits);
  header.dwChannelMask = channelMask;
  header.SubFormat = WAVE_SUBFORMAT_PCM;
  return IPtr<IMoskAudioBuffer>(
      ::Create<TMoskAudioBuffer>(block, static_cast<std::int32_t>(blockBytes)));
}

IPtr<IMoskAudioBuffer> TMoskAudioBuffer::CreateShared(ITrelDataBuffer* source) {
  TMoskAudioBuffer* other = AudioObjectOf(source, "No source buffer given");
  return IPtr<IMoskAudioBuffer>(::Create<TMoskAudioBuffer>(other));
}

HRESULT TMoskAudioBuffer::QueryInterface(const TGUID& iid, void** obj) {
  const HRESULT result = QueryInterfaceTable<IMoskAudioBuffer>(this, iid, obj);
  return result == S_OK ? result : inherited::QueryInterface(iid, obj);
}

IPtr<ITrelDataBuffer> TMoskAudioBuffer::Clone() {
  return IPtr<ITrelDataBuffer>(::Create<TMoskAudioBuffer>(this));
}

void TMoskAudioBuffer::ShareFrom(ITrelDataBuffer* source) {
  AudioObjectOf(source, "No source buffer given");
  inherited::ShareFrom(source);
  RefreshData();
}

// ---------------------------------------------------------------------------
// Sizes and the header

std::int32_t TMoskAudioBuffer::BlockBytesFor(std::int64_t frames) const {
  const std::int64_t bytes = header_size_ + frames * block_align_;
  if (frames < 0 || bytes > static_cast<std::int64_t>(kTrelLargestBlockSize)) {
    throw ERangeError(Format("Audio buffer size out of range: %d frames of %u bytes",
                             {static_cast<long long>(frames), block_align_}));
  }
  return static_cast<std::int32_t>(bytes);
}

void TMoskAudioBuffer::RefreshData() {
  header_ = AudioBlock()->Header();
  channels_ = header_->Format.nChannels;
  valid_bits_ = header_->wValidBitsPerSample;
  channel_mask_ = header_->dwChannelMask;
  container_bits_ = header_->Format.wBitsPerSample;
  block_align_ = header_->Format.nBlockAlign;
  header_size_ = header_->Format.cbSize + kBasicHeaderSize;
  data_ = reinterpret_cast<std::uint8_t*>(header_) + header_size_;
}

std::uint32_t TMoskAudioBuffer::GetSampleRate() {
  return header_->Format.nSamplesPerSec;
}

std::int32_t TMoskAudioBuffer::GetByteSize() {
  return byte_size_ - static_cast<std::int32_t>(header_size_);
}

std::int32_t TMoskAudioBuffer::GetCount() {
  const std::int32_t sampleBytes = GetByteSize();
  if (block_align_ == 0 || sampleBytes <= 0) {
    return 0;
  }
  return sampleBytes / static_cast<std::int32_t>(block_align_);
}

TMoskSmartAudioBuffer* TMoskAudioBuffer::CreateSmartBlock(std::int32_t count) {
  return ::Create<TMoskSmartAudioBuffer>(static_cast<std::uint32_t>(BlockBytesFor(count)));
}

void TMoskAudioBuffer::SetCount(std::int32_t newCount, bool keepData) {
  // Counts compare unsigned: a negative count reads as a huge one and is
  // refused by the size check.
  const auto wanted = static_cast<std::uint32_t>(newCount);
  if (wanted == 0) {
    return;
  }
  if (wanted <= static_cast<std::uint32_t>(GetCount())) {
    byte_size_ = BlockBytesFor(newCount);  // same block, shared or not
    return;
  }
  const std::int32_t newByteSize = BlockBytesFor(newCount);
  TTrelSmartMemoryBuffer* old = MemoryBlock();
  const bool exclusive = old->IsExclusive();
  if (exclusive && static_cast<std::uint32_t>(newByteSize) <= old->Capacity()) {
    byte_size_ = newByteSize;  // grows inside its own block
    return;
  }
  TMoskSmartAudioBuffer* fresh = CreateSmartBlock(newCount);
  if (keepData) {
    fresh->CopyDataFrom(old);  // the header comes with the contents
  } else {
    std::memcpy(fresh->GetData(), old->GetData(), header_size_);
  }
  SetSmartBuffer(fresh);
  old->Release(holds_write_);
  fresh->AddRef(holds_write_);
  byte_size_ = newByteSize;
  RefreshData();
}

// ---------------------------------------------------------------------------
// Samples

std::int32_t TMoskAudioBuffer::GetSample(std::uint32_t frame, std::uint32_t channel) {
  if (channel >= channels_) {
    throw ERangeError(Format("Channel out of range = %u", {channel}));
  }
  if (frame >= static_cast<std::uint32_t>(GetCount())) {
    throw ERangeError(Format("Index out of range = %u", {frame}));
  }
  const std::uint8_t* p = static_cast<const std::uint8_t*>(data_) +
                          std::size_t{frame} * block_align_ +
                          std::size_t{channel} * SampleBytes(container_bits_);
  std::int32_t value = 0;
  if (!ReadStoredSample(container_bits_, p, value)) {
    // Only a header edited by hand names another width.
    throw ERangeError(Format("Sample width out of range = %u", {container_bits_}));
  }
  return value;
}

void TMoskAudioBuffer::SetSample(std::uint32_t frame, std::uint32_t channel, std::int32_t value) {
  auto* data = static_cast<std::uint8_t*>(TTrelGenericBuffer::GetWriteData());
  if (channel >= channels_) {
    throw ERangeError(Format("Channel out of rabge = %u", {channel}));
  }
  if (frame >= static_cast<std::uint32_t>(GetCount())) {
    throw ERangeError(Format("Index out of rabge = %u", {frame}));
  }
  const std::uint32_t bytes = SampleBytes(container_bits_);
  // The low bytes of the value, little-endian like the samples.
  std::memcpy(data + std::size_t{frame} * block_align_ + std::size_t{channel} * bytes, &value,
              bytes);
}

// ---------------------------------------------------------------------------
// Copy

void TMoskAudioBuffer::CopyTo(std::int32_t offset, ITrelDataBuffer* dest, std::int32_t destOffset,
                              std::int32_t count) {
  if (dest == nullptr || !dest->GetBufferObject()->Is<TMoskAudioBuffer>()) {
    CopyBytesTo(offset, dest, destOffset, count);
    return;
  }
  auto* target = static_cast<TMoskAudioBuffer*>(dest->GetBufferObject());
  if (count < 1) {
    return;
  }
  CheckCopyRange(offset, count, GetCount(), destOffset, target->GetCount());
  const ChannelPairs matched =
      PairBySpeaker(channel_mask_, channels_, target->channel_mask_, target->channels_);
  // When the target is on this block (this very buffer, or another holder of
  // it), a clone keeps the block as it is and makes the target's write lock
  // move the target to a copy: the source is read from the untouched block,
  // so overlapping ranges copy right.
  IPtr<ITrelDataBuffer> sourceKeeper;
  const std::uint8_t* source = static_cast<const std::uint8_t*>(data_);
  if (target->smart_block_ == smart_block_) {
    sourceKeeper = Clone();
    source = static_cast<const std::uint8_t*>(sourceKeeper->GetData());
  }
  auto* destination = static_cast<std::uint8_t*>(target->TTrelGenericBuffer::GetWriteData());
  const std::uint32_t sourceBytes = SampleBytes(container_bits_);
  const std::uint32_t targetBytes = SampleBytes(target->container_bits_);
  source += std::size_t(offset) * block_align_;
  destination += std::size_t(destOffset) * target->block_align_;
  for (std::uint32_t i = 0; i < matched.count; ++i) {
    const ChannelPairs::Pair& pair = matched.pairs[i];
    // Widths other than 8, 16, 24 and 32 bits copy nothing.
    ConvertSampleWidth(source + pair.self * sourceBytes, container_bits_,
                       static_cast<std::int32_t>(block_align_), static_cast<std::uint32_t>(count),
                       static_cast<std::int32_t>(target->block_align_), target->container_bits_,
                       destination + pair.other * targetBytes);
  }
}

// ---------------------------------------------------------------------------
// Whole-buffer operations

void TMoskAudioBuffer::Combine(IMoskAudioBuffer* operand, CombineRoutine routine) {
  TMoskAudioBuffer* other = AudioObjectOf(operand, "No operand buffer given");
  if (other->container_bits_ != container_bits_) {
    throw EConvertError(Format("Sample widths differ: %u bits and %u bits",
                               {container_bits_, other->container_bits_}));
  }
  const std::int32_t count = std::min(GetCount(), other->GetCount());
  if (count < 1) {
    return;
  }
  const ChannelPairs matched =
      other->channels_ == 1
          ? EveryChannelWithTheFirst(channels_)
          : PairBySpeaker(channel_mask_, channels_, other->channel_mask_, other->channels_);
  // The target first: when the operand is this very buffer, its pointer is
  // then taken from the private copy. An operand on the same block has the
  // same header, so it pairs each channel with itself and runs in place.
  auto* target = static_cast<std::uint8_t*>(TTrelGenericBuffer::GetWriteData());
  const auto* source = static_cast<const std::uint8_t*>(other->TTrelGenericBuffer::GetData());
  const std::uint32_t bytes = SampleBytes(container_bits_);
  for (std::uint32_t i = 0; i < matched.count; ++i) {
    const ChannelPairs::Pair& pair = matched.pairs[i];
    routine(container_bits_, source + pair.other * bytes,
            static_cast<std::int32_t>(other->block_align_), target + pair.self * bytes,
            static_cast<std::int32_t>(block_align_), static_cast<std::uint32_t>(count));
  }
}

void TMoskAudioBuffer::Add(IMoskAudioBuffer* operand) {
  Combine(operand, &AddSamples);
}

void TMoskAudioBuffer::Subtract(IMoskAudioBuffer* operand) {
  Combine(operand, &SubtractSamples);
}

void TMoskAudioBuffer::Multiply(IMoskAudioBuffer* operand) {
  Combine(operand, &MultiplySamples);
}

void TMoskAudioBuffer::Divide(IMoskAudioBuffer* operand) {
  Combine(operand, &DivideSamples);
}

void TMoskAudioBuffer::Fill(std::int32_t value) {
  const std::uint32_t bytes = SampleBytes(container_bits_);
  const std::int32_t sampleBytes = GetByteSize();
  if (bytes == 0 || sampleBytes < 1) {
    return;
  }
  // Every sample is overwritten: a shared block is replaced without a copy.
  FillSamples(container_bits_, value, TTrelGenericBuffer::GetReadData(),
              static_cast<std::uint32_t>(sampleBytes) / bytes);
}

void TMoskAudioBuffer::Zero() {
  const std::uint32_t bytes = SampleBytes(container_bits_);
  const std::int32_t sampleBytes = GetByteSize();
  if (bytes == 0 || sampleBytes < 1) {
    return;
  }
  ZeroSamples(container_bits_, TTrelGenericBuffer::GetReadData(),
              static_cast<std::uint32_t>(sampleBytes) / bytes);
}

void TMoskAudioBuffer::Scale(double factor) {
  const std::uint32_t bytes = SampleBytes(container_bits_);
  const std::int32_t sampleBytes = GetByteSize();
  // Every sample times 1 is itself at every width (exact in double, already
  // in range): nothing to write, so a shared block stays shared.
  if (bytes == 0 || sampleBytes < 1 || factor == 1.0) {
    return;
  }
  ScaleSamples(container_bits_, factor, TTrelGenericBuffer::GetWriteData(),
               static_cast<std::uint32_t>(sampleBytes) / bytes);
}
