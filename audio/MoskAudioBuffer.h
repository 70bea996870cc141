// The audio buffer: the unit of audio that travels through the pin graph.
//
// One pooled block holds a complete 40-byte extensible wave-format header
// (the layout of MoskAudioFormat.h) followed by interleaved PCM frames, so a
// buffer describes itself and a receiver needs nothing but the buffer:
//
//   block:  [ header, 40 bytes ][ frame 0 ][ frame 1 ] ...
//   frame f, channel c lies at GetData() + f x block align
//                                        + c x (container bits / 8)
//
// The classes, from the bottom:
//   TMLSmartMediaBuffer    a smart memory block with a flag byte and a
//                          16-byte stamp record, both carried into clones
//   TMoskSmartAudioBuffer  the audio block; a clone made without the data
//                          still copies the header
//   TMLMediaBuffer         a memory buffer that owns a TMLTimeStamp
//   TMoskAudioBuffer       the audio buffer, served through IMoskAudioBuffer
//
// Life cycle: TMoskAudioBuffer::Create makes a buffer on a fresh block;
// receivers take their own view of a buffer that reaches them with
// CreateShared (no copy: the block is shared, and copied only when a holder
// writes while another writer holds it, see signal/core/TrelGenericBuffer.h).
// The last reference's release gives the block, and the block's header
// object, back to the smart block store, so once the store is warm making and
// dropping buffers at the capture rate takes no new memory for samples or
// block objects. The buffer object itself comes from the buffer objects' free
// lists, like every data buffer's (TrelGenericBuffer.h). The store must be
// running (TrelSimpleDataBufferUnit).
//
// Counts: GetCount is the number of frames, GetByteSize the number of sample
// bytes (the header not included). Between two audio buffers CopyTo counts
// frames; into any other kind of buffer it copies sample bytes.
//
// Threads: as for every data buffer (signal/core/TrelBufferInterfaces.h): one
// buffer object is used by one thread at a time, and holders of one block on
// different threads are kept apart by copy on write. On the capture path all
// receivers of a buffer run on the capture thread, one after another.
#pragma once

#include <array>
#include <cstdint>

#include "platform/win/WaveIn.h"
#include "signal/core/TrelGenericBuffer.h"

// The size of the header at the start of every audio block.
inline constexpr std::int32_t MoskAudioHeaderSize = 40;

// The media stamp a block carries. The audio path only copies it along.
using TMLStampRecord = std::array<std::uint8_t, 16>;

class TMLMediaBuffer;

// A smart memory block with the media fields. Its instances come from the
// smart block store, like every memory block's.
class TMLSmartMediaBuffer : public TTrelSmartMemoryBuffer {
  KESTRUNE_CLASS(TMLSmartMediaBuffer, TTrelSmartMemoryBuffer)
  // As TTrelSmartMemoryBuffer(size); flags and stamp start at 0.
  explicit TMLSmartMediaBuffer(std::uint32_t size);
  // A block of `source`'s capacity with its flags and stamp; with
  // `copyData`, source's whole capacity is copied too.
  TMLSmartMediaBuffer(TMLSmartMediaBuffer* source, bool copyData);

  TTrelSmartBuffer* Clone(bool copyData) override;

  std::uint8_t Flags() const { return flags_; }
  void SetFlags(std::uint8_t flags) { flags_ = flags; }
  const TMLStampRecord& Stamp() const { return stamp_; }
  void SetStamp(const TMLStampRecord& stamp) { stamp_ = stamp; }

 private:
  std::uint8_t flags_ = 0;
  TMLStampRecord stamp_{};
};

// The block of an audio buffer: the header, then the frames.
class TMoskSmartAudioBuffer : public TMLSmartMediaBuffer {
  KESTRUNE_CLASS(TMoskSmartAudioBuffer, TMLSmartMediaBuffer)
  // A block of RoundUpPowerOfTwo(size) bytes (at least the header's 40),
  // contents undefined. Raises ERangeError above 2^30 bytes and EOutOfMemory.
  explicit TMoskSmartAudioBuffer(std::uint32_t size);
  // A block of `source`'s capacity, flags and stamp; with `copyData` the
  // whole capacity is copied, without it only the header, so a buffer that
  // moves to the new block still knows its format.
  TMoskSmartAudioBuffer(TMoskSmartAudioBuffer* source, bool copyData);

  TTrelSmartBuffer* Clone(bool copyData) override;

  WAVEFORMATEXTENSIBLE* Header() const { return static_cast<WAVEFORMATEXTENSIBLE*>(GetData()); }
};

// The stamp object of one media buffer: a member of its buffer, living exactly
// as long as the buffer.
class TMLTimeStamp : public TObject {
  KESTRUNE_CLASS(TMLTimeStamp, TObject)
  explicit TMLTimeStamp(TMLMediaBuffer* buffer) : buffer_(buffer) {}
  // The buffer that owns the stamp (not counted).
  TMLMediaBuffer* Buffer() const { return buffer_; }

 private:
  TMLMediaBuffer* const buffer_;
};

// A memory buffer that owns a time stamp.
class TMLMediaBuffer : public TTrelMemoryBuffer {
  KESTRUNE_CLASS(TMLMediaBuffer, TTrelMemoryBuffer)
  // As TTrelMemoryBuffer (the block must be a memory block).
  TMLMediaBuffer(TTrelSmartBuffer* smartBlock, std::int32_t byteSize);

  TMLTimeStamp* GetTimeStamp() { return &time_stamp_; }

 private:
  TMLTimeStamp time_stamp_{this};
};

// The audio buffer's operations, after the data buffer's.
//
// Channels and frames are counted from 0. A frame or channel index is read as
// unsigned, so a negative one is out of range like any other.
struct IMoskAudioBuffer : public virtual ITrelDataBuffer {
  static constexpr TGUID IID = TGUID::Parse("{311B352E-1556-43A7-8133-F2C0F9F1B97B}");

  virtual TMLTimeStamp* GetTimeStamp() = 0;
  // The format, as the header carries it.
  virtual std::uint32_t GetChannels() = 0;
  // Valid bits per sample.
  virtual std::uint32_t GetBits() = 0;
  virtual std::uint32_t GetSampleRate() = 0;
  // Bytes per frame.
  virtual std::uint32_t GetBlockAlign() = 0;
  virtual std::uint32_t GetChannelMask() = 0;
  // Bits per stored sample: the valid bits rounded up to whole bytes.
  virtual std::uint32_t GetContainerBits() = 0;
  // Bytes before the first frame (40).
  virtual std::uint32_t GetHeaderSize() = 0;

  // The first frame; the three pointers of TrelBufferInterfaces.h.
  std::uint8_t* GetData();
  std::uint8_t* GetReadData();
  std::uint8_t* GetWriteData();

  // One sample, read by its width's codec (MoskSampleConversion.h): 8-bit
  // containers give the stored byte (0 .. 255), 16-bit the signed value,
  // 24-bit the signed value (bit 23 extended), 32-bit the value. Raises
  // ERangeError "Channel out of range = %u" for a channel at or beyond the
  // channel count, else "Index out of range = %u" for a frame at or beyond
  // the frame count, else "Sample width out of range = %u" for a header
  // whose container width is none of the four. Takes no lock.
  virtual std::int32_t GetSample(std::uint32_t frame, std::uint32_t channel) = 0;
  // Makes the block private (GetWriteData), then stores the low byte, the low
  // 16 bits, the low three bytes or the whole value, by container width. The
  // same checks as GetSample, with the texts "Channel out of rabge = %u" and
  // "Index out of rabge = %u"; nothing is stored then.
  virtual void SetSample(std::uint32_t frame, std::uint32_t channel, std::int32_t value) = 0;

  // this := this op operand, sample by sample, over the smaller of the two
  // frame counts (MoskSampleConversion.h gives each width's arithmetic).
  // An operand with one channel is combined into every channel of this
  // buffer; otherwise channels are paired by speaker position, as in CopyTo,
  // and channels without a partner are left alone. Raises EInvalidPointer
  // for a nullptr operand and EConvertError when the two container widths
  // differ; nothing is changed then.
  virtual void Add(IMoskAudioBuffer* operand) = 0;
  virtual void Subtract(IMoskAudioBuffer* operand) = 0;
  virtual void Multiply(IMoskAudioBuffer* operand) = 0;
  virtual void Divide(IMoskAudioBuffer* operand) = 0;
  // Every sample := value (8 bits: (value + 127) mod 256; otherwise the
  // value's low bytes).
  virtual void Fill(std::int32_t value) = 0;
  // Every sample := the width's zero (8 bits: 127).
  virtual void Zero() = 0;
  // Every sample multiplied by `factor`, rounded to nearest with ties to
  // even and saturated to the width (8 bits: about the zero level 127). A
  // factor of exactly 1 changes no sample and writes nothing: the block is
  // not made private.
  virtual void Scale(double factor) = 0;

 protected:
  ~IMoskAudioBuffer() = default;
};

class TMoskAudioBuffer : public TMLMediaBuffer, public virtual IMoskAudioBuffer {
  KESTRUNE_CLASS(TMoskAudioBuffer, TMLMediaBuffer)
  // Used by Create and Clone: a buffer on `smartBlock` (an audio block whose
  // header is written) with `byteSize` bytes in use, header included.
  TMoskAudioBuffer(TTrelSmartBuffer* smartBlock, std::int32_t byteSize);
  // On `source`'s block, with source's byte size (a further writer).
  explicit TMoskAudioBuffer(TMoskAudioBuffer* source);

  // `frames` frames of `channels` channels of `validBits` bits at
  // `sampleRate`, speakers `channelMask`, on a fresh block whose header is
  // written (container bits = valid bits rounded up to whole bytes, block
  // align = container bytes x channels); sample contents undefined. 0
  // channels or 0 bits give a buffer of no frames. Raises ERangeError for a
  // negative frame count, more than 32 channels or bits, or more than 2^30
  // bytes, and EOutOfMemory; nothing is kept then.
  static IPtr<IMoskAudioBuffer> Create(std::uint32_t sampleRate, std::uint32_t channelMask,
                                       std::int32_t frames, std::uint32_t channels,
                                       std::uint32_t validBits);
  // A buffer on `source`'s block (shared, copy on write) with the same
  // format and frames. Raises EInvalidPointer for nullptr and EInvalidCast
  // when `source` is not an audio buffer.
  static IPtr<IMoskAudioBuffer> CreateShared(ITrelDataBuffer* source);

  HRESULT QueryInterface(const TGUID& iid, void** obj) override;

  // Between two audio buffers: copies `count` frames of this buffer, from
  // frame `offset`, into `dest` from frame `destOffset` (written through
  // dest's GetWriteData), channel by channel where both speaker masks have
  // the position (mask bits 0..17 in order; each buffer's channel index
  // advances with its own mask's bits, and positions beyond a buffer's
  // channel count are skipped). Samples are converted between container
  // widths (MoskSampleConversion.h, saturated); dest's other channels keep
  // their samples. Into any other buffer: the byte copy of the sample bytes,
  // counted in bytes. A count below 1 copies nothing. Raises EInvalidPointer
  // for a nullptr dest and ERangeError, copying nothing, when either range
  // leaves its buffer. Source and destination may be the same buffer or
  // block, ranges overlapping.
  void CopyTo(std::int32_t offset, ITrelDataBuffer* dest, std::int32_t destOffset,
              std::int32_t count) override;
  IPtr<ITrelDataBuffer> Clone() override;
  // Also refuses (EInvalidCast, nothing changed) a source that is not an
  // audio buffer.
  void ShareFrom(ITrelDataBuffer* source) override;
  // Frames: 0 changes nothing; fewer frames shrink the byte size on the same
  // block; more frames grow in place when this buffer is the block's only
  // writer and the capacity allows, otherwise move to a new block that gets
  // the header (and, with `keepData`, the old contents). Grown frames are not
  // cleared. Raises ERangeError beyond 2^30 bytes and EOutOfMemory, changing
  // nothing.
  void SetCount(std::int32_t newCount, bool keepData) override;
  // The sample bytes.
  std::int32_t GetByteSize() override;
  // Frames: sample bytes / block align, 0 when either is 0.
  std::int32_t GetCount() override;
  // Re-reads the format fields from the block's header and points the data
  // at the first frame.
  void RefreshData() override;
  // A new audio block for `count` frames of this buffer's format plus the
  // header, with no holder and no header written yet.
  TMoskSmartAudioBuffer* CreateSmartBlock(std::int32_t count) override;
  // Bytes per frame: the element GetCount counts.
  std::int32_t GetElementSize() override { return static_cast<std::int32_t>(block_align_); }

  using IMoskAudioBuffer::GetData;
  using IMoskAudioBuffer::GetReadData;
  using IMoskAudioBuffer::GetWriteData;
  TMLTimeStamp* GetTimeStamp() override { return TMLMediaBuffer::GetTimeStamp(); }
  std::uint32_t GetChannels() override { return channels_; }
  std::uint32_t GetBits() override { return valid_bits_; }
  std::uint32_t GetSampleRate() override;
  std::uint32_t GetBlockAlign() override { return block_align_; }
  std::uint32_t GetChannelMask() override { return channel_mask_; }
  std::uint32_t GetContainerBits() override { return container_bits_; }
  std::uint32_t GetHeaderSize() override { return header_size_; }
  std::int32_t GetSample(std::uint32_t frame, std::uint32_t channel) override;
  void SetSample(std::uint32_t frame, std::uint32_t channel, std::int32_t value) override;
  void Add(IMoskAudioBuffer* operand) override;
  void Subtract(IMoskAudioBuffer* operand) override;
  void Multiply(IMoskAudioBuffer* operand) override;
  void Divide(IMoskAudioBuffer* operand) override;
  void Fill(std::int32_t value) override;
  void Zero() override;
  void Scale(double factor) override;

  TMoskSmartAudioBuffer* AudioBlock() const {
    return static_cast<TMoskSmartAudioBuffer*>(smart_block_);
  }

 private:
  // The routine of MoskSampleConversion.h behind Add ... Divide.
  using CombineRoutine = bool (*)(std::uint32_t bits, const void* src, std::int32_t srcStep,
                                  void* srcDst, std::int32_t srcDstStep, std::uint32_t count);
  void Combine(IMoskAudioBuffer* operand, CombineRoutine routine);
  // The bytes a block needs for `frames` frames of this buffer's format, the
  // header included. Raises ERangeError for a negative count or more than
  // 2^30 bytes.
  std::int32_t BlockBytesFor(std::int64_t frames) const;

  // Read from the header by RefreshData.
  std::uint32_t channels_ = 0;
  std::uint32_t valid_bits_ = 0;
  std::uint32_t channel_mask_ = 0;
  std::uint32_t container_bits_ = 0;
  std::uint32_t block_align_ = 0;
  std::uint32_t header_size_ = MoskAudioHeaderSize;
  WAVEFORMATEXTENSIBLE* header_ = nullptr;
};
