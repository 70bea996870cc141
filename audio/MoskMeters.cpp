#include "audio/MoskMeters.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "audio/MoskFilters.h"
#include "audio/MoskSampleConversion.h"
#include "platform/classes/TypInfo.h"
#include "platform/rtl/SysUtils.h"
#include "signal/core/TrelSmartBufferManager.h"
#include "signal/primitives/MoskBasicDispatcher.h"
#include "signal/primitives/kernels/AudioSampleKernels.h"
#include "signal/transforms/MoskDispatcher.h"

// ---------------------------------------------------------------------------
// The peak follower

namespace {

// A level at or below this drops to 0.
constexpr double kPeakCutOff = 0.005;
// The block path runs only while every level in the block is known to stay
// above this: the cut-off plus a margin of 2^-40 (relative), far above the
// rounding of a block's powers of keep (some 2^-48), so no level the
// per-sample rule would see at or below the cut-off is skipped over. The
// float is the next float above it, for the comparison of raw samples.
constexpr double kPeakBlockFloor = kPeakCutOff * (1.0 + 0x1p-40);
constexpr float kPeakBlockFloorFloat = 0.0050000004f;
static_assert(static_cast<double>(kPeakBlockFloorFloat) > kPeakBlockFloor);
// Samples per block: the block kernel's 16.
constexpr std::int32_t kPeakBlock = 16;

double FollowOneSample(double level, double x, double keep) {
  if (x > level)
    return x;
  if (level > kPeakCutOff)
    return std::max(level * keep, x);
  return 0.0;
}

double FollowSampleBySample(const float* samples, std::int32_t count, double level, double keep) {
  for (std::int32_t i = 0; i < count; ++i)
    level = FollowOneSample(level, std::fabs(samples[i]), keep);
  return level;
}

}  // namespace

double MoskPeakKeepFactor(std::uint32_t sampleRate, std::int32_t halfLife) {
  const double hold = sampleRate * (halfLife / 1000.0);
  // level - level / hold = level x (1 - 1 / hold). Below one sample of hold
  // that is negative, and max(negative, x) = x = max(0 x level, x) for x >= 0.
  if (!(hold >= 1.0))
    return 0.0;
  return 1.0 - 1.0 / hold;
}

// While the cut-off does not fire, the rule is L' = max(keep L, x): an attack
// x > L gives x either way, as keep <= 1 makes keep L <= L < x. Unrolled over
// a block of B samples x_0 .. x_(B-1) entered with level L:
//   L_B = max(keep^B L, max_i keep^(B-1-i) x_i).
// The inner maximum does not depend on L, so its products run side by side
// in vector lanes; only one multiply and one max per block stay on the chain
// from block to block, instead of one per sample.
//
// The cut-off cannot fire inside the block when every sample meets a level
// above 0.005 or is an attack. Every level entering a sample of the block is
// at least keep^B L (the decay alone), and every level after a sample is at
// least that sample. So it suffices that keep^B L is above the floor, or that
// every x of the block is: then the first sample is an attack unless L is
// above x, and each later one meets a level at least the sample before it.
// Otherwise the block is taken sample by sample.
double MoskFollowPeak(const float* samples, std::int32_t count, double level, double keep) {
  if (count < 1)
    return level;
  alignas(16) double weight[kPeakBlock];  // keep^(B-1-i)
  double power = 1.0;
  for (std::int32_t i = kPeakBlock - 1; i >= 0; --i) {
    weight[i] = power;
    power *= keep;
  }
  const double keepBlock = power;  // keep^B
  std::int32_t i = 0;
  for (; i + kPeakBlock <= count; i += kPeakBlock) {
    const float* block = samples + i;
    const TWeightedPeak peak = WeightedPeakOf16Kernel(block, weight, kPeakBlockFloorFloat);
    const double decayed = level * keepBlock;
    if (decayed > kPeakBlockFloor || peak.allAbove) {
      level = std::max(decayed, peak.peak);
    } else {
      level = FollowSampleBySample(block, kPeakBlock, level, keep);
    }
  }
  return FollowSampleBySample(samples + i, count - i, level, keep);
}

// ---------------------------------------------------------------------------
// TMoskMeterBufferQueue

void TMoskMeterBufferQueue::Push(IMoskAudioBuffer* buffer) {
  if (count_ == ring_.size()) {
    // Full: a ring twice the size, the buffers moved over in order.
    std::vector<IPtr<IMoskAudioBuffer>> grown(std::max<std::size_t>(4, 2 * ring_.size()));
    for (std::size_t i = 0; i < count_; ++i)
      grown[i] = std::move(ring_[(head_ + i) % ring_.size()]);
    ring_.swap(grown);
    head_ = 0;
  }
  ring_[(head_ + count_) % ring_.size()] = IPtr<IMoskAudioBuffer>(buffer);
  ++count_;
  total_frames_ += buffer->GetCount();
}

void TMoskMeterBufferQueue::RemoveFirst() {
  if (count_ == 0)
    return;
  total_frames_ -= ring_[head_]->GetCount();
  ring_[head_].reset();
  head_ = (head_ + 1) % ring_.size();
  --count_;
}

IMoskAudioBuffer* TMoskMeterBufferQueue::GetItem(std::int32_t index) const {
  if (index < 0 || index >= Count())
    return nullptr;
  return ring_[(head_ + static_cast<std::size_t>(index)) % ring_.size()].get();
}

void TMoskMeterBufferQueue::Clear() {
  for (IPtr<IMoskAudioBuffer>& slot : ring_)
    slot.reset();
  head_ = 0;
  count_ = 0;
  total_frames_ = 0;
}

// ---------------------------------------------------------------------------
// TMoskCommonMeter

TMoskCommonMeter::TMoskCommonMeter(TComponent* owner) : TComponent(owner) {
  if (!ComponentState().Contains(csDesigning)) {
    notifier_ =
        ::Create<TTrelMainThreadNotify>(TNotifyEvent(this, &TMoskCommonMeter::MainThreadDeliver));
  }
  lock_ = ::Create<TVekObject>();
  input_pin_ = ::Create<TMoskVekAudioSinkPin>(
      this, TVekNotifyHandler(this, &TMoskCommonMeter::InputPinNotify));
  output_pins_ = ::Create<TVekPinList>(this, true);
  SetCountChannels(2);
  lock_->AddLockLink(input_pin_);
}

TMoskCommonMeter::~TMoskCommonMeter() {
  FreeAndNil(output_pins_);
  FreeAndNil(input_pin_);
  buffer_queue_.Clear();
  FreeAndNil(notifier_);
  for (TTrelRealQueue*& queue : queues_)
    FreeAndNil(queue);
  FreeAndNil(lock_);
}

void TMoskCommonMeter::BeforeDestruction() {
  if (input_pin_ != nullptr)
    input_pin_->DisconnectAll();
  Stopped();
  inherited::BeforeDestruction();
}

void TMoskCommonMeter::Loaded() {
  inherited::Loaded();
  output_pins_->CompletePendingPlaceholders();
}

void TMoskCommonMeter::SetCountChannels(std::int32_t value) {
  value = std::clamp(value, 1, kMoskMeterMaxChannels);
  {
    auto section = lock_->EnterWriteSection();
    for (TTrelRealQueue*& queue : queues_)
      FreeAndNil(queue);
    queues_.clear();
    for (std::int32_t i = 0; i < value; ++i)
      queues_.push_back(::Create<TTrelRealQueue>());
    count_channels_ = value;
  }
  // Pin changes take the global write lock themselves: never under the
  // component's lock.
  while (output_pins_->GetCount() > value)
    output_pins_->Delete(output_pins_->GetCount() - 1);
  while (output_pins_->GetCount() < value) {
    auto* pin = ::Create<TVekRealSourcePin>(this);
    output_pins_->Add(pin);
    pin->FunctionDependencies()->Add(input_pin_, true);
  }
}

void TMoskCommonMeter::SetSynchronizeType(TTrelSynchronizeType value) {
  auto section = lock_->EnterWriteSection();
  synchronize_type_ = value;
}

void TMoskCommonMeter::SetOnValueChange(TMoskMeterValueChangeEvent value) {
  auto section = lock_->EnterWriteSection();
  on_value_change_ = value;
}

void TMoskCommonMeter::SetPeriodValue(std::uint32_t value) {
  // One section for both: a buffer pushed between the store and the resize
  // would be cut at the new period into blocks of the old one.
  auto section = lock_->EnterWriteSection();
  period_ = value;
  AllocateChannelBuffers();
}

std::int64_t TMoskCommonMeter::GetPeriodSamples() {
  const std::int64_t samples =
      std::int64_t{format_.Format.nSamplesPerSec} * std::int64_t{period_} / 1000;
  return std::max<std::int64_t>(samples, 1);
}

bool TMoskCommonMeter::Refused() {
  auto section = lock_->EnterReadSection();
  return refused_;
}

std::uint32_t TMoskCommonMeter::MeasuredChannels() const {
  return std::min<std::uint32_t>({static_cast<std::uint32_t>(count_channels_),
                                  format_.Format.nChannels,
                                  static_cast<std::uint32_t>(channel_blocks_.size())});
}

float* TMoskCommonMeter::ChannelBlock(std::uint32_t channel) {
  if (channel >= channel_blocks_.size() || !channel_blocks_[channel])
    return nullptr;
  return reinterpret_cast<float*>(channel_blocks_[channel]->GetWriteData());
}

std::int64_t TMoskCommonMeter::ChannelBlockSamples(std::uint32_t channel) {
  if (channel >= channel_blocks_.size() || !channel_blocks_[channel])
    return 0;
  return channel_blocks_[channel]->GetByteSize() / static_cast<std::int32_t>(sizeof(float));
}

void TMoskCommonMeter::ReportLater(std::string message) {
  pending_error_ = std::move(message);
  if (notifier_ != nullptr)
    notifier_->Post();
}

void TMoskCommonMeter::AllocateChannelBuffers() {
  auto section = lock_->EnterWriteSection();
  channel_blocks_.clear();
  const std::int64_t samples = GetPeriodSamples();
  const std::int64_t bytes = samples * 4;
  if (bytes > static_cast<std::int64_t>(kTrelLargestBlockSize)) {
    refused_ = true;
    ReportLater(
        Format("A period of %u ms at %u samples per second needs %d bytes per channel, "
               "more than the largest block of %u bytes: the meter is stopped",
               {period_, format_.Format.nSamplesPerSec, bytes, kTrelLargestBlockSize}));
    return;
  }
  try {
    for (std::uint32_t c = 0; c < format_.Format.nChannels; ++c)
      channel_blocks_.push_back(TTrelBlockBuffer::CreateSize(static_cast<std::int32_t>(bytes)));
    refused_ = false;
  } catch (const std::exception& error) {
    channel_blocks_.clear();
    refused_ = true;
    ReportLater(std::string("The meter is stopped: ") + error.what());
  }
}

void TMoskCommonMeter::StartFormat(const WAVEFORMATEXTENSIBLE* format) {
  if (format == nullptr)
    return;
  auto section = lock_->EnterWriteSection();
  format_ = *format;
  full_scale_ = MoskFullScaleOf(format_.Format.wBitsPerSample);
  buffer_queue_.Clear();
  read_offset_ = 0;
  const std::int32_t n =
      std::min<std::int32_t>(output_pins_->GetCount(), static_cast<std::int32_t>(queues_.size()));
  for (std::int32_t i = 0; i < n; ++i)
    queues_[static_cast<std::size_t>(i)]->Clear();
}

bool TMoskCommonMeter::InputPinNotify(IVekBasicPin* target, const TGUID& streamType,
                                      std::uint8_t flags, IVekNotifyOperation* operation) {
  (void)target;
  (void)streamType;
  (void)flags;
  if (auto* start = OperationAs<TVekStartWaveOperation>(operation)) {
    StartFormat(&start->Format);
  } else if (OperationAs<TVekStopOperation>(operation) != nullptr) {
    Stopped();
  } else if (auto* supplied = OperationAs<TVekSuppliedBufferOperation>(operation)) {
    IPtr<ITrelDataBuffer> data = Supports<ITrelDataBuffer>(supplied->Buffer);
    if (!data || !data->GetBufferObject()->Is<TMoskAudioBuffer>())
      return true;
    auto section = lock_->EnterWriteSection();
    if (refused_)
      return true;
    IPtr<IMoskAudioBuffer> buffer = TMoskAudioBuffer::CreateShared(data.get());
    buffer_queue_.Push(buffer.get());
    EmitValues();
  }
  return true;
}

bool TMoskCommonMeter::PeriodReady() {
  return read_offset_ + GetPeriodSamples() < buffer_queue_.TotalFrames();
}

std::int32_t TMoskCommonMeter::DeliveredChannels() {
  return std::min<std::int32_t>({output_pins_->GetCount(),
                                 static_cast<std::int32_t>(format_.Format.nChannels),
                                 static_cast<std::int32_t>(queues_.size())});
}

void TMoskCommonMeter::EmitValues() {
  auto section = lock_->EnterWriteSection();
  if (refused_)
    return;
  const std::int32_t n = DeliveredChannels();
  TMoskMeterLevels levels{};
  switch (synchronize_type_) {
    case stNone:
      while (PeriodReady()) {
        ProcessPeriod(levels);
        for (std::int32_t c = 0; c < n; ++c) {
          TVekBasicPin* pin = output_pins_->GetPin(c);
          if (pin == nullptr || !pin->Is<TVekRealSourcePin>())
            continue;
          auto* real = static_cast<TVekRealSourcePin*>(pin);
          if (real->Value() == levels[c])
            continue;
          real->SetValue(levels[c]);
          if (on_value_change_.Assigned())
            on_value_change_(this, c, levels[c], full_scale_);
        }
      }
      break;
    case stSingleBuffer:
      if (PeriodReady()) {
        while (PeriodReady())
          ProcessPeriod(levels);
        for (std::int32_t c = 0; c < n; ++c)
          queues_[static_cast<std::size_t>(c)]->Add(levels[c]);
        if (notifier_ != nullptr)
          notifier_->Post();
      }
      break;
    case stQueue:
      while (PeriodReady()) {
        ProcessPeriod(levels);
        for (std::int32_t c = 0; c < n; ++c)
          queues_[static_cast<std::size_t>(c)]->Add(levels[c]);
      }
      if (notifier_ != nullptr)
        notifier_->Post();
      break;
  }
}

void TMoskCommonMeter::ProcessPeriod(TMoskMeterLevels& levels) {
  ProcessBlock();
  ProcessChannel(levels);
}

void TMoskCommonMeter::ProcessBlock() {
  const std::int64_t samples = GetPeriodSamples();
  if (buffer_queue_.TotalFrames() < read_offset_ + samples)
    return;
  const std::uint32_t channels = MeasuredChannels();
  std::int64_t filled = 0;
  IMoskAudioBuffer* buffer = buffer_queue_.GetItem(0);
  while (filled < samples && buffer != nullptr) {
    const std::int64_t frames = buffer->GetCount();
    if (read_offset_ >= frames) {
      buffer_queue_.RemoveFirst();
      read_offset_ = 0;
      buffer = buffer_queue_.GetItem(0);
      continue;
    }
    const std::int64_t k = std::min(samples - filled, frames - read_offset_);
    const std::uint32_t bits = buffer->GetContainerBits();
    const std::int32_t step = static_cast<std::int32_t>(buffer->GetBlockAlign());
    const std::uint8_t* frame = buffer->GetData() + read_offset_ * step;
    for (std::uint32_t c = 0; c < channels && c < buffer->GetChannels(); ++c) {
      float* dst = ChannelBlock(c);
      // Bounded by the block's own size, whatever the period says.
      const std::int32_t rows =
          static_cast<std::int32_t>(std::min(k, ChannelBlockSamples(c) - filled));
      if (dst == nullptr || rows < 1)
        continue;
      dst += filled;
      const std::uint8_t* src = frame + c * (bits / 8);
      ConvertColumnToFloat(bits, src, step, dst, static_cast<std::uint32_t>(rows));
    }
    read_offset_ += k;
    filled += k;
  }
}

void TMoskCommonMeter::MainThreadDeliver(TObject* sender) {
  (void)sender;
  std::string error;
  {
    auto section = lock_->EnterWriteSection();
    error.swap(pending_error_);
    const std::int32_t n = DeliveredChannels();
    bool delivered = true;
    while (delivered) {
      delivered = false;
      for (std::int32_t c = 0; c < n; ++c) {
        TTrelRealQueue* queue = queues_[static_cast<std::size_t>(c)];
        if (queue->GetCount() == 0)
          continue;
        delivered = true;
        const double v = static_cast<float>(queue->GetItem(0));
        queue->RemoveFirst();
        TVekBasicPin* pin = output_pins_->GetPin(c);
        if (pin == nullptr || !pin->Is<TVekRealSourcePin>())
          continue;
        auto* real = static_cast<TVekRealSourcePin*>(pin);
        if (real->Value() == v)
          continue;
        real->SetValue(v);
        if (on_value_change_.Assigned())
          on_value_change_(this, c, v, full_scale_);
      }
    }
  }
  if (!error.empty())
    throw ERangeError(error);
}

// ---------------------------------------------------------------------------
// TMoskPPMMeter

TMoskPPMMeter::TMoskPPMMeter(TComponent* owner) : TMoskCommonMeter(owner) {}

TMoskPPMMeter::~TMoskPPMMeter() {
  states_.Release();
}

std::int32_t TMoskPPMMeter::FilterCount() const {
  return states_.FilterCount();
}

void TMoskPPMMeter::SetHalfLife(std::int32_t value) {
  auto section = Lock()->EnterWriteSection();
  half_life_ = value;
}

void TMoskPPMMeter::StartFormat(const WAVEFORMATEXTENSIBLE* format) {
  if (format == nullptr)
    return;
  auto section = Lock()->EnterWriteSection();
  inherited::StartFormat(format);
  AllocateChannelBuffers();
  // Every old state goes first, so a state that cannot be made again leaves
  // an empty slot (that channel is not measured), never a freed one.
  states_.Rebuild(KeptFormat().Format.nSamplesPerSec, KeptFormat().Format.nChannels);
}

void TMoskPPMMeter::ProcessChannel(TMoskMeterLevels& levels) {
  const std::int64_t periodSamples = GetPeriodSamples();
  const double keep = MoskPeakKeepFactor(KeptFormat().Format.nSamplesPerSec, half_life_);
  const std::uint32_t channels =
      std::min<std::uint32_t>(MeasuredChannels(), static_cast<std::uint32_t>(states_.Size()));
  for (std::uint32_t c = 0; c < channels; ++c) {
    float* block = ChannelBlock(c);
    const auto samples = static_cast<std::int32_t>(std::min(periodSamples, ChannelBlockSamples(c)));
    if (block == nullptr || samples < 1 || states_[c] == nullptr)
      continue;
    // Cannot fail: the block, samples >= 1 and the state are checked above.
    IirFilterFloatInPlace(block, samples, states_[c]);
    levels_[c] = MoskFollowPeak(block, samples, levels_[c], keep);
  }
  levels = levels_;
}

// ---------------------------------------------------------------------------

void RegisterMoskMeterClasses() {
  using Meter = TMoskCommonMeter;
  RegisterClass<Meter>()
      .Object("InputPin", &Meter::GetInputPin)
      .Object("OutputPins", &Meter::GetOutputPins)
      .Integer("CountChannels", &Meter::GetCountChannels, &Meter::SetCountChannels, 2)
      .Enum("SynchronizeType", &Meter::GetSynchronizeType, &Meter::SetSynchronizeType,
            {"stNone", "stSingleBuffer", "stQueue"}, stSingleBuffer)
      .Integer("Period", &Meter::GetPeriod, &Meter::SetPeriod, 100u)
      .Event("OnValueChange", &Meter::GetOnValueChange, &Meter::SetOnValueChange);
  RegisterClass<TMoskPPMMeter>().Integer("HalfLife", &TMoskPPMMeter::GetHalfLife,
                                         &TMoskPPMMeter::SetHalfLife, 1000);
}
