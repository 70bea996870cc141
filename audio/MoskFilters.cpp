#include "audio/MoskFilters.h"

#include <algorithm>
#include <cmath>

#include "audio/MoskSampleConversion.h"
#include "platform/classes/TypInfo.h"
#include "signal/core/TrelSmartBufferManager.h"
#include "signal/primitives/MoskBasicDispatcher.h"
#include "signal/transforms/MoskDispatcher.h"

bool MoskDcBlockerTaps(double sampleRate, float (&taps)[6]) {
  if (!(sampleRate > 0.0))
    return false;
  const double r = 1.0 - 125.66370614359172 / sampleRate;
  const float values[6] = {0.0f, -1.0f, 1.0f, -1.0f, static_cast<float>(r), 0.0f};
  std::copy(std::begin(values), std::end(values), taps);
  return true;
}

// ---------------------------------------------------------------------------
// TMoskCommonFilter

TMoskCommonFilter::TMoskCommonFilter(TComponent* owner) : TComponent(owner) {
  lock_ = ::Create<TVekObject>();
  input_pin_ = ::Create<TMoskVekAudioSinkPin>(
      this, TVekNotifyHandler(this, &TMoskCommonFilter::InputPinNotify));
  output_pin_ = ::Create<TMoskVekAudioSourcePin>(
      this, TVekNotifyHandler(this, &TMoskCommonFilter::OutputPinNotify));
  enable_pin_ = ::Create<TVekBoolSinkPin>(
      this, TVekBoolChangeHandler(this, &TMoskCommonFilter::EnablePinChanged));
  output_pin_->FunctionDependencies()->Add(input_pin_, true);
  lock_->AddLockLink(input_pin_);
}

TMoskCommonFilter::~TMoskCommonFilter() {
  FreeAndNil(enable_pin_);
  FreeAndNil(input_pin_);
  FreeAndNil(output_pin_);
  FreeAndNil(lock_);
}

void TMoskCommonFilter::BeforeDestruction() {
  if (input_pin_ != nullptr)
    input_pin_->DisconnectAll();
  inherited::BeforeDestruction();
}

void TMoskCommonFilter::SetEnabledValue(bool value) {
  auto section = lock_->EnterWriteSection();
  enabled_.store(value, std::memory_order_relaxed);
}

void TMoskCommonFilter::EnablePinChanged(TVekBasicPin* pin, bool value) {
  (void)pin;
  SetEnabledValue(value);
}

bool TMoskCommonFilter::InputPinNotify(IVekBasicPin* target, const TGUID& streamType,
                                       std::uint8_t flags, IVekNotifyOperation* operation) {
  (void)target;
  (void)streamType;
  (void)flags;
  if (auto* start = OperationAs<TVekStartWaveOperation>(operation)) {
    StartFormat(start);
    return true;
  }
  if (OperationAs<TVekStopOperation>(operation) != nullptr) {
    Stopped();
    return output_pin_->Notify(operation);
  }
  if (auto* supplied = OperationAs<TVekSuppliedBufferOperation>(operation)) {
    IPtr<ITrelDataBuffer> data = Supports<ITrelDataBuffer>(supplied->Buffer);
    // Anything but an audio buffer travels on as it came.
    if (!data || !data->GetBufferObject()->Is<TMoskAudioBuffer>())
      return output_pin_->Notify(operation);
    IPtr<IMoskAudioBuffer> input = TMoskAudioBuffer::CreateShared(data.get());
    IPtr<IMoskAudioBuffer> output = TMoskAudioBuffer::CreateShared(input.get());
    bool pass = true;
    const bool linked = output_pin_->IsConnected();
    if (enabled_.load(std::memory_order_relaxed))
      ProcessBuffer(input.get(), output.get(), pass, linked);
    if (pass && linked)
      return output_pin_->SendData(output.get());
    return true;
  }
  return output_pin_->Notify(operation);
}

bool TMoskCommonFilter::OutputPinNotify(IVekBasicPin* target, const TGUID& streamType,
                                        std::uint8_t flags, IVekNotifyOperation* operation) {
  if (OperationAs<TVekMasterPumpOperation>(operation) != nullptr)
    return PassUpstream(operation);
  if (input_pin_->IsConnected())
    return input_pin_->Notify(operation);
  return InputPinNotify(target, streamType, flags, operation);
}

void TMoskCommonFilter::ProcessBuffer(IMoskAudioBuffer* input, IMoskAudioBuffer* output, bool& pass,
                                      bool linked) {
  if (linked)
    ProcessData(input, output, pass);
}

std::int32_t TMoskCommonFilter::ProcessData(IMoskAudioBuffer* input, IMoskAudioBuffer* output,
                                            bool& pass) {
  (void)input;
  (void)output;
  (void)pass;
  return 0;
}

void TMoskCommonFilter::StartFormat(TVekStartWaveOperation* operation) {
  format_ = operation->Format;
  output_pin_->Notify(operation);
}

bool TMoskCommonFilter::PassUpstream(IVekNotifyOperation* operation) {
  return input_pin_->Notify(operation);
}

// ---------------------------------------------------------------------------
// TMoskAmplifier

TMoskAmplifier::TMoskAmplifier(TComponent* owner) : TMoskCommonFilter(owner) {}

void TMoskAmplifier::SetCoefficient(double value) {
  if (value < 0.0)
    value = 0.0;
  auto section = Lock()->EnterWriteSection();
  if (value != coefficient_.load(std::memory_order_relaxed))
    coefficient_.store(value, std::memory_order_relaxed);
}

std::int32_t TMoskAmplifier::ProcessData(IMoskAudioBuffer* input, IMoskAudioBuffer* output,
                                         bool& pass) {
  (void)pass;
  output->ShareFrom(input);
  output->Scale(coefficient_.load(std::memory_order_relaxed));
  return 0;
}

// ---------------------------------------------------------------------------
// TMoskDcBlockerStates

void TMoskDcBlockerStates::Release() {
  for (IirState*& state : states_) {
    if (state != nullptr)
      // Cannot fail: the state is not null.
      IirFreeState(state);
    state = nullptr;
  }
  states_.clear();
}

void TMoskDcBlockerStates::Rebuild(double sampleRate, std::uint32_t channels) {
  Release();
  float taps[6];
  if (!MoskDcBlockerTaps(sampleRate, taps))
    return;
  states_.assign(channels, nullptr);
  for (IirState*& state : states_) {
    IirState* made = nullptr;
    if (IirCreateState(&made, taps, 2, nullptr) == StatusOk)
      state = made;
  }
}

std::int32_t TMoskDcBlockerStates::FilterCount() const {
  return static_cast<std::int32_t>(
      std::count_if(states_.begin(), states_.end(), [](IirState* s) { return s != nullptr; }));
}

// ---------------------------------------------------------------------------
// TMoskRemoveDC

TMoskRemoveDC::TMoskRemoveDC(TComponent* owner) : TMoskCommonFilter(owner) {}

TMoskRemoveDC::~TMoskRemoveDC() {
  states_.Release();
}

std::int32_t TMoskRemoveDC::FilterCount() const {
  return states_.FilterCount();
}

void TMoskRemoveDC::StartFormat(TVekStartWaveOperation* operation) {
  inherited::StartFormat(operation);
  work_ = TTrelBlockBuffer::CreateSize(0);
  // Every old state goes first, so a state that cannot be made again leaves
  // an empty slot (that channel passes unchanged), never a freed one.
  states_.Rebuild(KeptFormat().Format.nSamplesPerSec, KeptFormat().Format.nChannels);
}

std::int32_t TMoskRemoveDC::ProcessData(IMoskAudioBuffer* input, IMoskAudioBuffer* output,
                                        bool& pass) {
  (void)pass;
  const std::int32_t frames = input->GetCount();
  const std::uint32_t bits = input->GetContainerBits();
  const std::uint32_t channels =
      std::min<std::uint32_t>(input->GetChannels(), static_cast<std::uint32_t>(states_.Size()));
  // The work block holds one float per frame; a buffer longer than the
  // block store allows passes unchanged.
  if (frames < 1 || channels == 0 || !IsSupportedSampleWidth(bits) || !work_ ||
      std::int64_t{frames} * 4 > static_cast<std::int64_t>(kTrelLargestBlockSize))
    return 0;
  const std::int32_t step = static_cast<std::int32_t>(input->GetBlockAlign());
  const std::uint32_t sampleBytes = bits / 8;
  work_->SetCount(frames * 4, false);
  // Every write below stays inside the work block.
  if (work_->GetByteSize() < frames * 4)
    return 0;
  float* work = reinterpret_cast<float*>(work_->GetWriteData());
  const std::uint8_t* source = input->GetData();
  std::uint8_t* target = output->GetWriteData();
  for (std::uint32_t channel = 0; channel < channels; ++channel) {
    IirState* state = states_[channel];
    if (state == nullptr)
      continue;
    const std::uint8_t* src = source + channel * sampleBytes;
    std::uint8_t* dst = target + channel * sampleBytes;
    const auto count = static_cast<std::uint32_t>(frames);
    ConvertColumnToFloat(bits, src, step, work, count);
    // Cannot fail: frames >= 1, the work block holds them and the state exists.
    IirFilterFloatInPlace(work, frames, state);
    ConvertFloatToColumn(bits, work, dst, step, count);
  }
  return 0;
}

// ---------------------------------------------------------------------------

void RegisterMoskFilterClasses() {
  using Filter = TMoskCommonFilter;
  RegisterClass<Filter>()
      .Bool("Enabled", &Filter::GetEnabled, &Filter::SetEnabled, true)
      .Object("InputPin", &Filter::GetInputPin)
      .Object("OutputPin", &Filter::GetOutputPin)
      .Object("EnablePin", &Filter::GetEnablePin);
  RegisterClass<TMoskAmplifier>().Double("Coefficient", &TMoskAmplifier::GetCoefficient,
                                         &TMoskAmplifier::SetCoefficient);
  RegisterClass<TMoskRemoveDC>();
}
