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
#include "signal/transforms/MoskDispatcher.h"

// ---------------------------------------------------------------------------
// TMoskMeterBufferQueue

void TMoskMeterBufferQueue::Push(IMoskAudioBuffer* buffer) {
  total_frames_ += buffer->GetCount();
  buffers_.emplace_back(buffer);
}

void TMoskMeterBufferQueue::RemoveFirst() {
  if (buffers_.empty())
    return;
  total_frames_ -= buffers_.front()->GetCount();
  buffers_.pop_front();
}

IMoskAudioBuffer* TMoskMeterBufferQueue::GetItem(std::int32_t index) const {
  if (index < 0 || index >= Count())
    return nullptr;
  return buffers_[static_cast<std::size_t>(index)].get();
}

void TMoskMeterBufferQueue::Clear() {
  buffers_.clear();
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
  {
    auto section = lock_->EnterWriteSection();
    period_ = value;
  }
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
  full_scale_ = std::ldexp(1.0, static_cast<int>(format_.Format.wBitsPerSample) - 1) - 1.0;
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
    const std::int32_t rows = static_cast<std::int32_t>(k);
    const std::uint8_t* frame = buffer->GetData() + read_offset_ * step;
    for (std::uint32_t c = 0; c < channels && c < buffer->GetChannels(); ++c) {
      float* dst = ChannelBlock(c);
      if (dst == nullptr)
        continue;
      dst += filled;
      const std::uint8_t* src = frame + c * (bits / 8);
      switch (bits) {
        case 8:
          RoiConvertUInt8ToFloat(src, step, dst, 4, 1, rows);
          break;
        case 16:
          RoiConvertInt16ToFloat(reinterpret_cast<const std::int16_t*>(src), step, dst, 4, 1, rows);
          break;
        case 24:
          ConvertInt24ToFloat(src, step, dst, 4, static_cast<std::uint32_t>(rows));
          break;
        case 32:
          ConvertInt32ToFloat(src, step, dst, 4, static_cast<std::uint32_t>(rows));
          break;
        default:
          break;
      }
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
  const std::int32_t samples = static_cast<std::int32_t>(GetPeriodSamples());
  const double hold = KeptFormat().Format.nSamplesPerSec * (half_life_ / 1000.0);
  const std::uint32_t channels =
      std::min<std::uint32_t>(MeasuredChannels(), static_cast<std::uint32_t>(states_.Size()));
  for (std::uint32_t c = 0; c < channels; ++c) {
    float* block = ChannelBlock(c);
    if (block == nullptr || states_[c] == nullptr)
      continue;
    IirFilterFloatInPlace(block, samples, states_[c]);
    double level = levels_[c];
    for (std::int32_t i = 0; i < samples; ++i) {
      const double x = std::fabs(block[i]);
      if (x > level)
        level = x;
      else if (level > 0.005)
        level = hold > 0.0 ? std::max(level - level / hold, x) : x;
      else
        level = 0.0;
    }
    levels_[c] = level;
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
