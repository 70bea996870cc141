#include "audio/MoskSpectrum.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "platform/classes/TypInfo.h"
#include "signal/transforms/MoskDispatcher.h"

namespace {

constexpr int kMinOrder = 8;
constexpr int kMaxOrder = 30;

// A window of 2^order samples needs a complex buffer of 2^order values (16
// bytes each) from the block store, whose largest block is 2^30 bytes.
bool OrderFitsBlockStore(int order) {
  return (std::uint64_t{16} << order) <= kTrelLargestBlockSize;
}

std::int32_t ScalingFlag(TTrelFourierNormalization normalization) {
  switch (normalization) {
    case fnNone:
      return kFftNoScale;
    case fnNormalizeSqrt:
      return kFftScaleBySqrtN;
    case fnNormalize:
    default:
      return kFftScaleForwardByN;
  }
}

}  // namespace

void RegisterMoskSpectrumClasses() {
  RegisterClass<TMoskSpectrum>()
      .Integer("Order", &TMoskSpectrum::GetOrder, &TMoskSpectrum::SetOrder, 8)
      .Integer("SamplingWindowStep", &TMoskSpectrum::GetSamplingWindowStep,
               &TMoskSpectrum::SetSamplingWindowStep, 0)
      .Event("OnFrequencyResult", &TMoskSpectrum::GetOnFrequencyResult,
             &TMoskSpectrum::SetOnFrequencyResult)
      .Enum("Normalization", &TMoskSpectrum::GetNormalization, &TMoskSpectrum::SetNormalization,
            {"fnNone", "fnNormalize", "fnNormalizeSqrt"}, fnNormalize)
      .Object("FrequencyOutputPins", &TMoskSpectrum::GetFrequencyOutputPins);
}

// ---------------------------------------------------------------------------
// Life cycle

TMoskSpectrum::TMoskSpectrum(TComponent* owner) : TMoskCommonSplitter(owner) {
  frequency_pins_ = Create<TVekPinList>(this, true);
  if (!ComponentState().Contains(csDesigning)) {
    form_ = Create<TCustomForm>(nullptr);
    delivery_window_ = form_->Handle();
    previous_window_proc_ = form_->WindowProc;
    form_->WindowProc = TWndMethod(this, &TMoskSpectrum::FormWindowProc);
  }
}

TMoskSpectrum::~TMoskSpectrum() {
  FreeAndNil(frequency_pins_);
  if (form_ != nullptr) {
    form_->WindowProc = previous_window_proc_;
    FreeAndNil(form_);
  }
  ReleaseFftSpecLocked();  // no push can run any more
}

void TMoskSpectrum::Loaded() {
  inherited::Loaded();
  frequency_pins_->CompletePendingPlaceholders();
}

// ---------------------------------------------------------------------------
// Properties

int TMoskSpectrum::GetOrder() {
  TVekReadLockSection own(lock_);
  return order_;
}

void TMoskSpectrum::SetOrder(int order) {
  order = std::clamp(order, kMinOrder, kMaxOrder);
  TVekWriteLockSection own(lock_);
  order_ = order;
}

std::uint32_t TMoskSpectrum::GetSamplingWindowStep() {
  TVekReadLockSection own(lock_);
  return step_;
}

void TMoskSpectrum::SetSamplingWindowStep(std::uint32_t step) {
  TVekWriteLockSection own(lock_);
  step_ = step;
}

TTrelFourierNormalization TMoskSpectrum::GetNormalization() {
  TVekReadLockSection own(lock_);
  return normalization_;
}

void TMoskSpectrum::SetNormalization(TTrelFourierNormalization normalization) {
  TVekWriteLockSection own(lock_);
  if (normalization == normalization_)
    return;
  normalization_ = normalization;
  // The running windows keep their size: the set-up is rebuilt for the
  // order they were made with, not for an Order set since.
  if (spec_ != nullptr)
    RebuildFftSpecLocked(active_order_);
}

TMoskFrequencyEvent TMoskSpectrum::GetOnFrequencyResult() {
  TVekReadLockSection own(lock_);
  return on_frequency_result_;
}

void TMoskSpectrum::SetOnFrequencyResult(TMoskFrequencyEvent event) {
  TVekWriteLockSection own(lock_);
  on_frequency_result_ = event;
}

// ---------------------------------------------------------------------------
// Pins and channels

void TMoskSpectrum::ChannelCountChanged(int count) {
  inherited::ChannelCountChanged(count);
  // As in the splitter: the global write section keeps every push out.
  TVekGlobalWriteLockSection global;
  const int channels = output_pins_->GetCount();
  while (frequency_pins_->GetCount() > channels)
    frequency_pins_->Delete(frequency_pins_->GetCount() - 1);
  while (frequency_pins_->GetCount() < channels) {
    auto* pin = Create<TVekRealSourcePin>(this);
    frequency_pins_->Add(pin);
    pin->FunctionDependencies()->Add(input_pin_, /*joinLocks=*/true);
  }
  frequencies_.resize(static_cast<std::size_t>(channels), 0.0);
  const std::size_t before = windows_.size();
  windows_.resize(static_cast<std::size_t>(channels));
  if (spec_ != nullptr) {
    const std::int32_t n = std::int32_t{1} << active_order_;
    for (std::size_t i = before; i < windows_.size(); ++i)
      windows_[i].Window = TTrelRealBuffer::CreateCount(n);
  }
}

TVekSourcePin* TMoskSpectrum::CreateOutputPin() {
  return Create<TTrelVekRealSourcePin>(
      this, TVekNotifyHandler(this, &TMoskCommonSplitter::OutputPinNotify));
}

// ---------------------------------------------------------------------------
// The stream

void TMoskSpectrum::StartFormat(const WAVEFORMATEXTENSIBLE* format) {
  if (format == nullptr)
    return;
  TVekWriteLockSection own(lock_);  // held already by the push; re-entrant
  format_ = *format;
  sample_rate_ = format_.Format.nSamplesPerSec;
  const int order = order_;
  const int count = output_pins_->GetCount();
  for (int i = 0; i < count; ++i) {
    IPtr<IVekNotifyOperation> start = NewOperation<TVekStartSpectrumOperation>(
        sample_rate_, static_cast<std::int32_t>((std::int64_t{1} << order) / 2));
    output_pins_->GetPin(i)->Notify(start.get());
  }
  windows_.assign(static_cast<std::size_t>(count), ChannelWindow{});
  RebuildFftSpecLocked(OrderFitsBlockStore(order) ? order : 0);
  try {
    ResetWindowsLocked();
  } catch (const Exception&) {
    // No memory for the windows: the stream is refused like a too large
    // order, and nothing is thrown back at the capture thread.
    ReleaseFftSpecLocked();
    windows_.assign(windows_.size(), ChannelWindow{});
    spectrum_.reset();
  }
}

void TMoskSpectrum::SendStop() {
  inherited::SendStop();
  TVekWriteLockSection own(lock_);
  ReleaseFftSpecLocked();
}

void TMoskSpectrum::ReleaseFftSpecLocked() {
  if (RealFftSpec* old = std::exchange(spec_, nullptr))
    // Cannot fail: the set-up is not null.
    RealFftFreeSpec(old);
  active_order_ = 0;
  spare_magnitudes_.reset();
}

void TMoskSpectrum::RebuildFftSpecLocked(int order) {
  ReleaseFftSpecLocked();
  if (order <= 0)
    return;
  RealFftSpec* created = nullptr;
  if (RealFftCreateSpec(&created, order, ScalingFlag(normalization_), 2) == StatusOk &&
      created != nullptr) {
    spec_ = created;
    active_order_ = order;
  }
}

void TMoskSpectrum::ResetWindowsLocked() {
  if (spec_ == nullptr)
    return;
  const std::int32_t n = std::int32_t{1} << active_order_;
  for (ChannelWindow& w : windows_) {
    w = ChannelWindow{};
    w.Window = TTrelRealBuffer::CreateCount(n);
  }
  spectrum_ = TTrelComplexBuffer::CreateCount(n);
}

int TMoskSpectrum::EmitChannel(int channel, ITrelRealBuffer* samples) {
  const std::size_t index = static_cast<std::size_t>(channel);
  if (spec_ == nullptr || channel < 0 || index >= windows_.size() || !windows_[index].Window)
    return 0;
  const std::uint32_t n = std::uint32_t{1} << active_order_;
  const std::uint32_t step = step_ == 0 ? n : step_;
  const double* input = samples->GetData();
  const std::uint32_t length = static_cast<std::uint32_t>(std::max(samples->GetCount(), 0));
  // Held here: a receiver of a spectrum may restart or stop the stream.
  const IPtr<ITrelRealBuffer> held = windows_[index].Window;
  // Every copy below stays inside the window's own block: a window not made
  // for the running order is not written.
  if (held->GetCount() < static_cast<std::int32_t>(n))
    return 0;
  // The window is this component's own block: written in place.
  double* window = held->GetData();

  // Window k starts at sample k x step of the stream. Each input sample is
  // either passed over (between windows) or copied once into the window.
  std::uint32_t at = 0;
  while (at < length) {
    ChannelWindow& state = windows_[index];
    if (state.Skip > 0) {
      const std::uint32_t passed = std::min(state.Skip, length - at);
      state.Skip -= passed;
      at += passed;
      continue;
    }
    const std::uint32_t taken = std::min(n - state.Fill, length - at);
    std::memcpy(window + state.Fill, input + at, taken * sizeof(double));
    state.Fill += taken;
    at += taken;
    if (state.Fill < n)
      break;
    AnalyseWindowLocked(channel, window);
    // A receiver stopped or restarted the stream meanwhile: this window
    // belongs to it no more.
    if (spec_ == nullptr || index >= windows_.size() || windows_[index].Window != held)
      return 0;
    ChannelWindow& after = windows_[index];
    if (step < n) {
      // The next window shares its first n - step samples with this one.
      std::memmove(window, window + step, (n - step) * sizeof(double));
      after.Fill = n - step;
    } else {
      after.Fill = 0;
      after.Skip = step - n;
    }
  }
  return 0;
}

void TMoskSpectrum::KeepSpareMagnitudesLocked(IPtr<ITrelRealBuffer> magnitudes) {
  // Only this reference left, and no other buffer on its block: nobody can
  // see the buffer any more, so writing into it again changes nothing seen.
  TTrelGenericBuffer* object = magnitudes->GetBufferObject();
  TTrelSmartBuffer* block = object->GetSmartBuffer();
  if (object->RefCount() == 1 && block != nullptr && block->RefCount() == 1)
    spare_magnitudes_ = std::move(magnitudes);
}

void TMoskSpectrum::AnalyseWindowLocked(int channel, const double* window) {
  const std::int32_t n = std::int32_t{1} << active_order_;
  const std::int32_t bins = n / 2;
  std::complex<double>* packed = spectrum_->GetReadData();
  // The set-up is live and both arrays hold N values, so the transform fails
  // only when the work block its large orders (13 and up) take for the call
  // cannot be had; the spectrum would then be the previous window's, so this
  // window is not reported.
  if (RealFftForward(window, reinterpret_cast<double*>(packed), spec_, nullptr) != StatusOk)
    return;
  // Neither can fail: n >= 2 values in a live block, so bins >= 1.
  VectorConjugateExtendComplexInPlace(packed, n);
  IPtr<ITrelRealBuffer> magnitudes = std::move(spare_magnitudes_);
  if (!magnitudes || magnitudes->GetCount() != bins)
    magnitudes = TTrelRealBuffer::CreateCount(bins);
  double* m = magnitudes->GetReadData();
  VectorMagnitudeComplex(packed, m, bins);
  m[0] = 0.0;  // the DC bin is always reported as 0

  if (auto* pin = dynamic_cast<TTrelVekSourcePin*>(output_pins_->GetPin(channel)))
    pin->SendData(magnitudes.get());
  KeepSpareMagnitudesLocked(std::move(magnitudes));

  const std::size_t index = static_cast<std::size_t>(channel);
  if (index >= frequencies_.size())
    return;
  const bool wanted =
      on_frequency_result_.Assigned() ||
      (channel < frequency_pins_->GetCount() && frequency_pins_->GetPin(channel)->IsConnected());
  if (!wanted) {
    frequencies_[index] = 0.0;
    return;
  }
  if (form_ == nullptr)
    return;
  // The strongest bin; the lowest of equal maxima, bin 0 for silence.
  double best = m[0];
  std::int32_t peak = 0;
  for (std::int32_t i = 1; i < bins; ++i) {
    if (m[i] > best) {
      best = m[i];
      peak = i;
    }
  }
  frequencies_[index] = peak * sample_rate_ / n;
  PostMessage(delivery_window_, MoskSpectrumDeliveryMessage, 0, 0);
}

// ---------------------------------------------------------------------------
// Delivery on the main thread

void TMoskSpectrum::FormWindowProc(TMessage& message) {
  if (message.Msg == MoskSpectrumDeliveryMessage) {
    DeliverFrequencies();
  } else if (previous_window_proc_.Assigned()) {
    previous_window_proc_(message);
  }
}

void TMoskSpectrum::DeliverFrequencies() {
  std::vector<double> frequencies;
  TMoskFrequencyEvent event;
  {
    TVekReadLockSection own(lock_);
    frequencies = frequencies_;
    event = on_frequency_result_;
  }
  const int channels = std::min(output_pins_->GetCount(), static_cast<int>(frequencies.size()));
  for (int channel = 0; channel < channels; ++channel) {
    const double frequency = frequencies[static_cast<std::size_t>(channel)];
    if (event.Assigned())
      event(this, channel, frequency);
    if (channel < frequency_pins_->GetCount()) {
      if (auto* pin = dynamic_cast<TVekRealSourcePin*>(frequency_pins_->GetPin(channel)))
        pin->SetValue(frequency);
    }
  }
}
