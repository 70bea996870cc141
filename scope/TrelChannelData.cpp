#include "scope/TrelChannelData.h"

#include <algorithm>
#include <cstring>

#include "Vek/VekStdTypes.h"
#include "signal/core/TrelStreamTypes.h"

using kestrune::CriticalSectionGuard;

namespace {

// The count of a buffer, 0 for none.
std::uint32_t CountOf(ITrelDataBuffer* buffer) {
  return buffer == nullptr ? 0u : static_cast<std::uint32_t>(buffer->GetCount());
}

// `count` values converted to doubles at `out`.
void CopySamples(const double* in, double* out, std::uint32_t count) {
  if (count > 0)
    std::memmove(out, in, count * sizeof(double));
}
void CopySamples(const std::int32_t* in, double* out, std::uint32_t count) {
  for (std::uint32_t i = 0; i < count; ++i)
    out[i] = static_cast<double>(in[i]);
}

IPtr<ITrelRealBuffer> NewFrom(const double* data, std::uint32_t count) {
  return TTrelRealBuffer::CreateFromData(data, static_cast<std::int32_t>(count));
}
IPtr<ITrelRealBuffer> NewFrom(const std::int32_t* data, std::uint32_t count) {
  return TTrelRealBuffer::CreateConverted(data, static_cast<std::int32_t>(count));
}

}  // namespace

TTrelChannelData::TTrelChannelData(const std::atomic<std::uint32_t>& sizeLimit,
                                   std::atomic<bool>& fullRedraw)
    : size_limit_(sizeLimit),
      full_redraw_(fullRedraw),
      incoming_x_(TTrelRealBuffer::CreateEmpty()),
      incoming_y_(TTrelRealBuffer::CreateEmpty()),
      displayed_x_(TTrelRealBuffer::CreateEmpty()),
      displayed_y_(TTrelRealBuffer::CreateEmpty()),
      committed_y_(TTrelRealBuffer::CreateEmpty()) {}

void TTrelChannelData::MarkChanged() {
  changed_.store(true, std::memory_order_release);
  full_redraw_.store(true, std::memory_order_release);
}

void TTrelChannelData::ProcessOperation(const TGUID& streamType, IVekNotifyOperation* operation) {
  if (auto* start = OperationAs<TVekStartOperation>(operation)) {
    CriticalSectionGuard intake(IntakeLock);
    pending_.Started = true;
    if (auto* sampleRate = OperationAs<TVekStartSampleRateOperation>(operation))
      pending_.SampleRate = sampleRate->SampleRate;
    else if (auto* rate = OperationAs<TVekStartRateOperation>(operation))
      pending_.SampleRate = rate->Rate;
    else
      pending_.SampleRate = 10000.0;
    pending_.IsSpectrum = start->Is<TVekStartSpectrumOperation>();
    pending_.IsIntensity = start->Is<TVekStartIntensityOperation>();
    incoming_y_ = TTrelRealBuffer::CreateEmpty();
    incoming_x_ = TTrelRealBuffer::CreateEmpty();
    incoming_x_is_ramp_ = true;
    MarkChanged();
    return;
  }
  if (OperationAs<TVekStopOperation>(operation) != nullptr) {
    CriticalSectionGuard intake(IntakeLock);
    pending_.Stopped = true;
    return;
  }
  if (auto* supplied = OperationAs<TVekSuppliedBufferOperation>(operation)) {
    IPtr<ITrelRealBuffer> real;
    IPtr<ITrelIntegerBuffer> integer;
    if (streamType == TrelRealBufferType) {
      real = Supports<ITrelRealBuffer>(supplied->Buffer);
    } else if (streamType == TrelIntegerBufferType) {
      integer = Supports<ITrelIntegerBuffer>(supplied->Buffer);
    } else {
      // Another stream type: an integer buffer keeps its integers, any other
      // memory buffer is read as doubles.
      integer = Supports<ITrelIntegerBuffer>(supplied->Buffer);
      if (!integer) {
        IPtr<ITrelDataBuffer> data = Supports<ITrelDataBuffer>(supplied->Buffer);
        if (data && data->GetBufferObject()->Is<TTrelMemoryBuffer>())
          real = TTrelRealBuffer::CreateShared(data.get());
      }
    }
    CriticalSectionGuard intake(IntakeLock);
    if (real)
      StoreRealBuffer(real);
    else if (integer)
      StoreIntegerBuffer(integer);
    RebuildXIndices();
    MarkChanged();
    return;
  }
  if (auto* single = OperationAs<TVekSuppliedSingleOperation>(operation)) {
    AppendValue(single->Value);
  } else if (auto* value = OperationAs<TVekSuppliedRealOperation>(operation)) {
    AppendValue(value->Value);
  } else if (auto* integerValue = OperationAs<TVekSuppliedIntegerOperation>(operation)) {
    AppendValue(integerValue->Value);
  }
}

void TTrelChannelData::StoreRealBuffer(const IPtr<ITrelRealBuffer>& block) {
  const std::uint32_t limit = size_limit_.load(std::memory_order_acquire);
  const std::uint32_t n = CountOf(block.get());
  if (limit == 0 || n == limit) {
    incoming_y_ = TTrelRealBuffer::CreateShared(block.get());
  } else if (n > limit) {
    incoming_y_ = NewFrom(block->GetData() + (n - limit), limit);
  } else {
    AppendRealBlock(block->GetData(), n);
  }
}

void TTrelChannelData::StoreIntegerBuffer(const IPtr<ITrelIntegerBuffer>& block) {
  const std::uint32_t limit = size_limit_.load(std::memory_order_acquire);
  const std::uint32_t n = CountOf(block.get());
  if (limit == 0 || n == limit) {
    incoming_y_ = NewFrom(block->GetData(), n);
  } else if (n > limit) {
    incoming_y_ = NewFrom(block->GetData() + (n - limit), limit);
  } else {
    AppendIntegerBlock(block->GetData(), n);
  }
}

template <class T>
void TTrelChannelData::AppendBlock(const T* data, std::uint32_t n) {
  const std::uint32_t limit = size_limit_.load(std::memory_order_acquire);
  const std::uint32_t old = CountOf(incoming_y_.get());
  if (limit == 0) {
    incoming_y_ = NewFrom(data, n);
  } else {
    if (n > limit) {
      data += n - limit;
      n = limit;
    }
    if (n == limit) {
      incoming_y_ = NewFrom(data, n);
    } else if (n > 0) {
      const std::uint32_t count = std::min<std::uint64_t>(limit, std::uint64_t{old} + n);
      const std::uint32_t kept = count - n;  // the newest old samples that stay
      if (count == old) {
        // Same size: roll in place (a block shared with the display is
        // copied first).
        double* out = incoming_y_->GetWriteData();
        std::memmove(out, out + (old - kept), kept * sizeof(double));
        CopySamples(data, out + kept, n);
      } else {
        IPtr<ITrelRealBuffer> next = TTrelRealBuffer::CreateCount(static_cast<std::int32_t>(count));
        double* out = next->GetData();
        if (kept > 0)
          std::memcpy(out, incoming_y_->GetData() + (old - kept), kept * sizeof(double));
        CopySamples(data, out + kept, n);
        incoming_y_ = next;
      }
    }
  }
  ExtendXValues(n);
  MarkChanged();
}

void TTrelChannelData::AppendRealBlock(const double* data, std::uint32_t count) {
  CriticalSectionGuard intake(IntakeLock);
  AppendBlock(data, count);
}

void TTrelChannelData::AppendIntegerBlock(const std::int32_t* data, std::uint32_t count) {
  CriticalSectionGuard intake(IntakeLock);
  AppendBlock(data, count);
}

void TTrelChannelData::ExtendXValues(std::uint32_t n) {
  // X follows Y: it ends with as many values as incoming Y holds, the oldest
  // dropping out in front, so the two never fall out of step.
  const std::uint32_t target = CountOf(incoming_y_.get());
  const std::uint32_t old = CountOf(incoming_x_.get());
  if (n >= target || old == 0) {
    RebuildXIndices();
    return;
  }
  const std::uint32_t kept = std::min(old, target - n);
  const double last = old > 0 ? incoming_x_->GetData()[old - 1] : -1.0;
  IPtr<ITrelRealBuffer> next;
  double* out;
  if (target == old) {
    out = incoming_x_->GetWriteData();
    next = incoming_x_;
  } else {
    next = TTrelRealBuffer::CreateCount(static_cast<std::int32_t>(target));
    out = next->GetData();
  }
  std::memmove(out, incoming_x_->GetData() + (old - kept), kept * sizeof(double));
  double x = last;
  for (std::uint32_t i = kept; i < target; ++i)
    out[i] = (x += 1.0);
  incoming_x_ = next;
  incoming_x_is_ramp_ = false;
}

void TTrelChannelData::RebuildXIndices() {
  const std::uint32_t count = CountOf(incoming_y_.get());
  if (incoming_x_is_ramp_ && CountOf(incoming_x_.get()) == count)
    return;  // already 0 .. count - 1
  IPtr<ITrelRealBuffer> x = count == 0
                                ? TTrelRealBuffer::CreateEmpty()
                                : TTrelRealBuffer::CreateCount(static_cast<std::int32_t>(count));
  double* out = x->GetData();
  for (std::uint32_t i = 0; i < count; ++i)
    out[i] = static_cast<double>(i);
  incoming_x_ = x;
  incoming_x_is_ramp_ = true;
}

void TTrelChannelData::AppendValue(double value) {
  CriticalSectionGuard intake(IntakeLock);
  const std::uint32_t limit = size_limit_.load(std::memory_order_acquire);
  // Shift one place toward the front when full, else grow by one; the last
  // element is then written.
  auto shiftOrGrow = [limit](IPtr<ITrelRealBuffer>& buffer) -> double* {
    const std::uint32_t count = CountOf(buffer.get());
    if (limit > 0 && count >= limit) {
      double* out = buffer->GetWriteData();
      std::memmove(out, out + 1, (count - 1) * sizeof(double));
      return out + (count - 1);
    }
    if (count == 0) {
      buffer = TTrelRealBuffer::CreateCount(1);
      return buffer->GetData();
    }
    buffer->SetCount(static_cast<std::int32_t>(count + 1), true);
    return buffer->GetWriteData() + count;
  };
  const std::uint32_t xCount = CountOf(incoming_x_.get());
  const double previousX = xCount > 0 ? incoming_x_->GetData()[xCount - 1] : -1.0;
  double* lastX = shiftOrGrow(incoming_x_);
  *lastX = CountOf(incoming_x_.get()) == 1 ? 0.0 : previousX + 1.0;
  incoming_x_is_ramp_ = false;
  *shiftOrGrow(incoming_y_) = value;
  MarkChanged();
}

TTrelChannelData::TPendingStream TTrelChannelData::TakePendingStream() {
  CriticalSectionGuard intake(IntakeLock);
  TPendingStream taken = pending_;
  pending_.Started = false;
  pending_.Stopped = false;
  if (taken.Started) {
    {
      CriticalSectionGuard display(DisplayLock);
      displayed_y_ = TTrelRealBuffer::CreateEmpty();
    }
    // Samples stored after the start may already have been committed (the
    // start arrived after this update looked for starts but before it
    // committed); emptying the display just hid them, so the next commit
    // must show the incoming buffers again.
    MarkChanged();
  }
  return taken;
}

void TTrelChannelData::Commit() {
  CriticalSectionGuard intake(IntakeLock);
  {
    CriticalSectionGuard display(DisplayLock);
    // New buffer objects, not the old ones re-pointed: a drawing that holds
    // the old ones keeps reading their samples until it ends.
    displayed_x_ = TTrelRealBuffer::CreateShared(incoming_x_.get());
    displayed_y_ = TTrelRealBuffer::CreateShared(incoming_y_.get());
    committed_y_ = TTrelRealBuffer::CreateShared(displayed_y_.get());
  }
  changed_.store(false, std::memory_order_release);
}

void TTrelChannelData::ApplySizeLimit(std::uint32_t limit) {
  CriticalSectionGuard intake(IntakeLock);
  const std::uint32_t count = CountOf(incoming_y_.get());
  if (limit == 0 || count <= limit)
    return;
  incoming_y_ = NewFrom(incoming_y_->GetData() + (count - limit), limit);
  incoming_x_is_ramp_ = false;
  RebuildXIndices();
  MarkChanged();
}

void TTrelChannelData::ShareFrom(TTrelChannelData& source) {
  if (&source == this)
    return;
  CriticalSectionGuard intake(IntakeLock);
  CriticalSectionGuard display(DisplayLock);
  CriticalSectionGuard sourceIntake(source.IntakeLock);
  incoming_y_ = TTrelRealBuffer::CreateShared(source.incoming_y_.get());
  incoming_x_ = TTrelRealBuffer::CreateShared(source.incoming_x_.get());
  incoming_x_is_ramp_ = false;
  displayed_y_ = TTrelRealBuffer::CreateShared(source.displayed_y_.get());
  displayed_x_ = TTrelRealBuffer::CreateShared(source.displayed_x_.get());
  committed_y_ = TTrelRealBuffer::CreateShared(source.committed_y_.get());
}

std::vector<double> TTrelChannelData::IncomingYValues() {
  CriticalSectionGuard intake(IntakeLock);
  const double* d = incoming_y_->GetData();
  return std::vector<double>(d, d + CountOf(incoming_y_.get()));
}

std::vector<double> TTrelChannelData::IncomingXValues() {
  CriticalSectionGuard intake(IntakeLock);
  const double* d = incoming_x_->GetData();
  return std::vector<double>(d, d + CountOf(incoming_x_.get()));
}
