// The real-value queue on one thread: order, removal, clearing, and the
// list-index error that leaves the queue as it was.
#include "signal/core/TrelRealQueue.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <deque>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "platform/rtl/SysUtils.h"

namespace {

class TrelRealQueueTest : public ::testing::Test {
 protected:
  void SetUp() override { queue = Create<TTrelRealQueue>(); }
  void TearDown() override { FreeAndNil(queue); }

  std::vector<double> Contents() const {
    std::vector<double> values;
    for (int32_t i = 0; i < queue->GetCount(); ++i)
      values.push_back(queue->GetItem(i));
    return values;
  }

  TTrelRealQueue* queue = nullptr;
};

TEST_F(TrelRealQueueTest, RemoveFirstDropsTheOldestValue) {
  queue->Add(1.5);
  queue->Add(2.5);
  queue->Add(3.5);
  EXPECT_EQ(queue->GetItem(0), 1.5);
  queue->RemoveFirst();
  EXPECT_EQ(queue->GetCount(), 2);
  EXPECT_EQ(Contents(), (std::vector<double>{2.5, 3.5}));
}

TEST_F(TrelRealQueueTest, ValuesComeOutOldestFirstAcrossInterleavedAddsAndRemovals) {
  // The meter's pattern: bursts appended, then drained in part, many times.
  std::deque<double> expected;
  double next = 0.25;
  for (int round = 0; round < 200; ++round) {
    for (int k = 0; k < round % 7 + 1; ++k) {
      queue->Add(next);
      expected.push_back(next);
      next += 1.0;
    }
    for (int k = 0; k < round % 5 && !expected.empty(); ++k) {
      ASSERT_EQ(queue->GetItem(0), expected.front());
      queue->RemoveFirst();
      expected.pop_front();
    }
    ASSERT_EQ(queue->GetCount(), static_cast<int32_t>(expected.size()));
  }
  EXPECT_EQ(Contents(), std::vector<double>(expected.begin(), expected.end()));
}

TEST_F(TrelRealQueueTest, ValuesAreKeptBitForBit) {
  const double values[] = {-0.0, std::numeric_limits<double>::denorm_min(),
                           std::numeric_limits<double>::infinity(), -1.7e308,
                           std::numeric_limits<double>::quiet_NaN()};
  for (double v : values)
    queue->Add(v);
  for (int32_t i = 0; i < queue->GetCount(); ++i) {
    const double got = queue->GetItem(i);
    EXPECT_EQ(std::memcmp(&got, &values[i], sizeof got), 0) << "index " << i;
  }
}

TEST_F(TrelRealQueueTest, ClearEmptiesTheQueueAndIsHarmlessWhenEmpty) {
  queue->Clear();
  EXPECT_EQ(queue->GetCount(), 0);
  queue->Add(4.0);
  queue->Add(5.0);
  queue->Clear();
  EXPECT_EQ(queue->GetCount(), 0);
  queue->Add(6.0);  // the queue is usable again and 6 is the oldest
  EXPECT_EQ(Contents(), (std::vector<double>{6.0}));
}

TEST_F(TrelRealQueueTest, OutOfRangeAccessRaisesTheListIndexErrorAndChangesNothing) {
  struct Row {
    const char* name;
    std::vector<double> start;
    std::function<void(TTrelRealQueue*)> operation;
    const char* message;
    std::vector<double> after;  // the queue once the error was raised
  };
  const Row rows[] = {
      {"remove from an empty queue",
       {},
       [](TTrelRealQueue* q) { q->RemoveFirst(); },
       "Indice de liste hors limites (0)",
       {}},
      {"read from an empty queue",
       {},
       [](TTrelRealQueue* q) { q->GetItem(0); },
       "Indice de liste hors limites (0)",
       {}},
      {"read one past the newest",
       {1.0, 2.0},
       [](TTrelRealQueue* q) { q->GetItem(2); },
       "Indice de liste hors limites (2)",
       {1.0, 2.0}},
      {"read a negative index",
       {1.0, 2.0},
       [](TTrelRealQueue* q) { q->GetItem(-1); },
       "Indice de liste hors limites (-1)",
       {1.0, 2.0}},
      {"remove once too often (the first removal stands)",
       {1.0, 2.0},
       [](TTrelRealQueue* q) {
         q->RemoveFirst();
         q->RemoveFirst();
         q->RemoveFirst();
       },
       "Indice de liste hors limites (0)",
       {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    queue->Clear();
    for (double v : row.start)
      queue->Add(v);
    try {
      row.operation(queue);
      ADD_FAILURE() << "no exception";
    } catch (const EListError& e) {
      EXPECT_EQ(e.Message(), row.message);
    }
    EXPECT_EQ(Contents(), row.after);
    queue->Add(9.0);  // still usable: the new value is the newest
    EXPECT_EQ(queue->GetItem(queue->GetCount() - 1), 9.0);
  }
}

}  // namespace
