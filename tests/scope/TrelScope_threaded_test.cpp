// A producer thread pushes blocks (and now and then a start) into the
// scope's channels while the main thread commits, changes the size limit
// and paints; when the producer stops, one more refresh shows its last
// block.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "tests/scope/ScopeTestSupport.h"

namespace {

using scopetest::ScopeFixture;

class TrelScopeThreadedTest : public ScopeFixture {};

TEST_F(TrelScopeThreadedTest, TheLastBlockIsAlwaysShown) {
  HideViews();
  FixScales(256, -1000, 1000);
  scope_->SetBounds(0, 0, 200, 120);
  constexpr int kBlocks = 3000;
  std::atomic<bool> done{false};
  std::thread producer([&] {
    for (int k = 0; k < kBlocks; ++k) {
      if (k % 97 == 0)
        producer_->Start(0, NewOperation<TVekStartSampleRateOperation>(44100.0, 0));
      const int n = 64 + (k % 4) * 64;  // blocks of 64 .. 256 samples
      producer_->Send(0, std::vector<double>(static_cast<std::size_t>(n), k));
      producer_->Send(1, std::vector<double>(static_cast<std::size_t>(n), -k));
    }
    done = true;
  });
  int refreshes = 0;
  while (!done) {
    if (refreshes % 10 == 5)
      scope_->SetSizeLimit(scope_->GetSizeLimit() == 0 ? 512 : 0);
    Refresh();
    ++refreshes;
  }
  producer.join();
  Refresh();
  const double last = kBlocks - 1;
  for (int c = 0; c < 2; ++c) {
    SCOPED_TRACE(c);
    ITrelRealBuffer* y = Channel(c)->DisplayedY();
    ASSERT_GT(y->GetCount(), 0);
    EXPECT_EQ(y->GetValue(y->GetCount() - 1), c == 0 ? last : -last);
    EXPECT_FALSE(Channel(c)->HasChangedData());
  }
  EXPECT_EQ(Channel(0)->SampleRate(), 44100.0);
}

}  // namespace
