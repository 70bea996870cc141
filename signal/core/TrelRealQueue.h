// A first-in first-out queue of double values with read access by index.
//
// The meters append their readings on the capture thread and read and remove
// them on the main thread when their main-thread notification arrives.
// Values come out exactly as they went in, oldest first; there is no limit
// other than memory. The values sit in a ring that only grows (doubling), so
// once it has held as many values as are ever waiting at once, appending
// takes nothing from the heap.
//
// Threads: the queue has no lock of its own. Its user serialises every
// access (the meters hold their own write section around each use).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/rtl/System.h"

class TTrelRealQueue : public TObject {
  KESTRUNE_CLASS(TTrelRealQueue, TObject)
  TTrelRealQueue() = default;
  ~TTrelRealQueue() override = default;

  // Appends `value` (the newest). Raises std::bad_alloc when memory runs
  // out, and EListError "Indice de liste hors limites (2147483647)" when the
  // queue already holds 2^31 - 1 values; neither changes the queue.
  void Add(double value);
  // The number of queued values.
  int32_t GetCount() const { return static_cast<int32_t>(count_); }
  // The value at `index`, 0 being the oldest. Raises EListError "Indice de
  // liste hors limites (<index>)" when `index` is outside 0 .. count - 1.
  double GetItem(int32_t index) const;
  // Drops the oldest value. On an empty queue raises EListError "Indice de
  // liste hors limites (0)".
  void RemoveFirst();
  // Drops every value; nothing on an empty queue.
  void Clear() {
    head_ = 0;
    count_ = 0;
  }

 private:
  std::vector<double> slots_;  // the ring; its size is the capacity
  std::size_t head_ = 0;       // the slot of the oldest value
  std::size_t count_ = 0;
};
