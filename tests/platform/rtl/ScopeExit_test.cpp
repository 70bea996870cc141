#include "platform/rtl/ScopeExit.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

using kestrune::ScopeExit;

namespace {

// The cleanup runs on each way out of its scope, guards in reverse order.
TEST(ScopeExit, RunsOnReturnAndOnThrowInReverseOrder) {
  std::string trace;
  auto body = [&](bool fail) {
    ScopeExit first([&] { trace += "1"; });
    ScopeExit second([&] { trace += "2"; });
    if (fail)
      throw std::runtime_error("work");
    trace += "w";
  };
  body(false);
  EXPECT_EQ(trace, "w21");
  trace.clear();
  EXPECT_THROW(body(true), std::runtime_error);
  EXPECT_EQ(trace, "21");
}

// On a normal exit the cleanup's failure reaches the caller; while another
// exception unwinds the scope, that one is reported and the cleanup's dropped.
TEST(ScopeExit, CleanupFailurePassesOnUnlessAnotherIsInFlight) {
  auto cleanupFails = [](bool workFails) {
    ScopeExit cleanup([] { throw std::logic_error("cleanup"); });
    if (workFails)
      throw std::runtime_error("work");
  };
  EXPECT_THROW(cleanupFails(false), std::logic_error);
  EXPECT_THROW(cleanupFails(true), std::runtime_error);
}

// A guard made inside a handler, where an exception is already caught but
// not in flight, still passes its cleanup's failure on.
TEST(ScopeExit, InsideAHandlerItCountsOnlyExceptionsInFlight) {
  bool ran = false;
  try {
    throw std::runtime_error("handled");
  } catch (const std::runtime_error&) {
    {
      ScopeExit cleanup([&] { ran = true; });
    }
    EXPECT_TRUE(ran);
    auto cleanupFails = [] { ScopeExit cleanup([] { throw std::logic_error("cleanup"); }); };
    EXPECT_THROW(cleanupFails(), std::logic_error);
  }
}

}  // namespace
