#include "signal/core/TrelRealQueue.h"

#include <cstdint>

#include "platform/rtl/Lists.h"

void TTrelRealQueue::Add(double value) {
  // The count is a signed 32-bit number: a value that would have no index
  // is refused rather than queued behind a wrapped count.
  if (GetCount() == INT32_MAX)
    RaiseListIndexError(INT32_MAX);
  items_.push_back(value);
}

double TTrelRealQueue::GetItem(int32_t index) const {
  if (index < 0 || index >= GetCount())
    RaiseListIndexError(index);
  return items_[static_cast<size_t>(index)];
}

void TTrelRealQueue::RemoveFirst() {
  if (items_.empty())
    RaiseListIndexError(0);
  items_.pop_front();
}
