#include "signal/core/TrelRealQueue.h"

#include <cstdint>

#include "platform/rtl/Lists.h"

void TTrelRealQueue::Add(double value) {
  // The count is a signed 32-bit number: a value that would have no index
  // is refused rather than queued behind a wrapped count.
  if (GetCount() == INT32_MAX)
    RaiseListIndexError(INT32_MAX);
  if (count_ == slots_.size()) {
    // A deeper ring: the values move over in order, and a failed allocation
    // leaves the queue as it was.
    std::vector<double> grown(slots_.empty() ? 64 : 2 * slots_.size());
    for (std::size_t i = 0; i < count_; ++i)
      grown[i] = slots_[(head_ + i) % slots_.size()];
    slots_.swap(grown);
    head_ = 0;
  }
  slots_[(head_ + count_) % slots_.size()] = value;
  ++count_;
}

double TTrelRealQueue::GetItem(int32_t index) const {
  if (index < 0 || index >= GetCount())
    RaiseListIndexError(index);
  return slots_[(head_ + static_cast<size_t>(index)) % slots_.size()];
}

void TTrelRealQueue::RemoveFirst() {
  if (count_ == 0)
    RaiseListIndexError(0);
  head_ = (head_ + 1) % slots_.size();
  --count_;
}
