// A counting replacement of the global operator new and delete, for tests and
// benchmarks that show a path takes nothing from the general heap.
//
// Linking the object library kestrune_counting_heap into a program replaces
// the operators of the whole program (every thread, every library); new takes
// its memory from malloc, delete gives it back with free. Read the count
// before and after the work and compare.
#pragma once

#include <cstdint>

namespace kestrune::test_support {

// Allocations made through operator new (every form) since the program
// started, on every thread. Any thread may call it; the count is relaxed, so
// read it after the work's threads have handed their results over.
std::uint64_t HeapAllocationCount();

}  // namespace kestrune::test_support
