// Scaffolding shared by the benchmarks of the pins, buffers and audio
// components.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>

#include "Vek/VekPins.h"
#include "Vek/VekStdTypes.h"
#include "signal/core/MoskStreamTypes.h"
#include "signal/core/TrelSimpleDataBuffer.h"
#include "signal/core/TrelSmartBufferManager.h"
#include "signal/core/TrelStreamTypes.h"

// Every allocation through operator new since the program started (counted by
// the replacement in Buffers_bench.cpp).
std::uint64_t BenchHeapAllocationCount();

namespace bench_support {

// Starts the units the stream pins need, once for the whole program.
inline void StartStreamUnits() {
  static bool started = false;
  if (started)
    return;
  started = true;
  VekPinsUnit.Initialize();
  VekStdTypesUnit.Initialize();
  TrelStreamTypesUnit.Initialize();
  MoskStreamTypesUnit.Initialize();
}

// The block store for the length of one benchmark.
class StoreSession {
 public:
  StoreSession() { TrelSimpleDataBufferUnit.Initialize(); }
  ~StoreSession() { TrelSimpleDataBufferUnit.Finalize(); }
  StoreSession(const StoreSession&) = delete;
  StoreSession& operator=(const StoreSession&) = delete;
};

// Counts, from its construction to Report, the general-heap allocations and
// the blocks the store took from the heap, per iteration.
class AllocationMeter {
 public:
  AllocationMeter()
      : news_(BenchHeapAllocationCount()), blocks_(SmartBufferManager()->HeapAllocationCount()) {}
  void Report(benchmark::State& state) const {
    const double iterations = static_cast<double>(state.iterations());
    state.counters["heap_news"] =
        static_cast<double>(BenchHeapAllocationCount() - news_) / iterations;
    state.counters["store_blocks"] =
        static_cast<double>(SmartBufferManager()->HeapAllocationCount() - blocks_) / iterations;
  }

 private:
  std::uint64_t news_;
  std::uint64_t blocks_;
};

}  // namespace bench_support
