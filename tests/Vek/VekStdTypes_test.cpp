// Operation serial numbers across the ends of the signed 32-bit range.
#include "Vek/VekStdTypes.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "tests/Vek/VekTestFixtures.h"

namespace {

struct SerialCase {
  const char* name;
  int32_t last;   // the serial of the last operation made
  int32_t next;   // the serial the next one gets
  int32_t after;  // and the one after it
};

class VekSerialNumberTest : public ::testing::TestWithParam<SerialCase> {
 protected:
  void SetUp() override { vektest::StartFramework(); }
  static int32_t SerialOfANewOperation() {
    IPtr<IVekNotifyOperation> op = NewOperation<TVekNotifyOperation>();
    return OperationAs<TVekNotifyOperation>(op.get())->SerialNumber();
  }
};

// The counter is a 32-bit two's complement count: it wraps, it never
// overflows (under UndefinedBehaviorSanitizer an overflow stops the test).
TEST_P(VekSerialNumberTest, TheNextSerialFollowsTheLastOne) {
  const int32_t resume = SerialOfANewOperation();
  SetLastOperationSerialNumber(GetParam().last);
  EXPECT_EQ(SerialOfANewOperation(), GetParam().next);
  EXPECT_EQ(SerialOfANewOperation(), GetParam().after);
  SetLastOperationSerialNumber(resume);
}

constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
constexpr int32_t kMin = std::numeric_limits<int32_t>::min();

INSTANTIATE_TEST_SUITE_P(Ends, VekSerialNumberTest,
                         ::testing::Values(SerialCase{"FirstAfterStartUp", 0, 1, 2},
                                           SerialCase{"PastTheLargest", kMax, kMin, kMin + 1},
                                           SerialCase{"OneBeforeTheLargest", kMax - 1, kMax, kMin},
                                           SerialCase{"MinusOneToZero", -1, 0, 1}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
