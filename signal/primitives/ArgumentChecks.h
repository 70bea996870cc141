// The argument checks that open the portable variants of the primitives and
// transforms. Each reports the first failing group, in this order: a null
// pointer (StatusNullPointer), then a count, width or height below 1
// (StatusBadLength), then a row step below 1 (StatusBadStep) where the
// primitive checks steps. Within a group every failure gives the same code,
// so the order of the pointers or steps passed does not matter.
//
// The primitive that checks its arguments in another order (the complex add
// and subtract check the count before the pointers) does not use these.
// Internal to the primitives and transforms modules.
#pragma once

#include <cstdint>
#include <initializer_list>

#include "signal/primitives/PrimitiveDispatch.h"

namespace primitives_detail {

inline bool AnyNull(std::initializer_list<const void*> pointers) {
  for (const void* pointer : pointers) {
    if (pointer == nullptr) {
      return true;
    }
  }
  return false;
}

// StatusNullPointer when a pointer is null, else StatusBadLength when
// len < 1, else StatusOk.
inline PrimitiveStatus CheckVectorArguments(std::initializer_list<const void*> pointers,
                                            std::int32_t len) {
  if (AnyNull(pointers)) {
    return StatusNullPointer;
  }
  return len < 1 ? StatusBadLength : StatusOk;
}

// StatusNullPointer when a pointer is null, else StatusBadLength when the
// width or the height is below 1, else StatusBadStep when a step is below 1,
// else StatusOk. A primitive that does not check its steps passes none.
inline PrimitiveStatus CheckBlockArguments(std::initializer_list<const void*> pointers,
                                           std::int32_t width, std::int32_t height,
                                           std::initializer_list<std::int32_t> steps = {}) {
  if (AnyNull(pointers)) {
    return StatusNullPointer;
  }
  if (width < 1 || height < 1) {
    return StatusBadLength;
  }
  for (const std::int32_t step : steps) {
    if (step < 1) {
      return StatusBadStep;
    }
  }
  return StatusOk;
}

}  // namespace primitives_detail
