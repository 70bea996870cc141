// Starts the buffers' unit (the smart block store) for a whole test program.
// Include it in a test file whose tests share one store.
#pragma once

#include <gtest/gtest.h>

#include "signal/core/TrelSmartBufferManager.h"

class BufferUnitEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { TrelSimpleDataBufferUnit.Initialize(); }
  void TearDown() override { TrelSimpleDataBufferUnit.Finalize(); }
};

inline ::testing::Environment* const kBufferUnitEnvironment =
    ::testing::AddGlobalTestEnvironment(new BufferUnitEnvironment);
