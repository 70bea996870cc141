// A push that reads a pin list on one thread while another thread relinks
// the list's pins and changes its count. Run under ThreadSanitizer too.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "Vek/VekPinList.h"
#include "tests/Vek/VekTestFixtures.h"

namespace {

using namespace vektest;

// One input, a list of outputs that depend on it (one lock group with it);
// every operation arriving is pushed through each linked output, as a
// channel splitter does: the count is read inside the push.
class TSplitter : public TComponent {
  KESTRUNE_CLASS(TSplitter, TComponent)
  explicit TSplitter(TComponent* owner) : TComponent(owner) {
    InputPin = Create<TTestSinkPin>(this);
    OutputPins = Create<TVekPinList>(this, true);
    InputPin->OnReceive = [this](TTestSinkPin*, const TGUID&, IVekNotifyOperation* op,
                                 uint8_t flags) {
      if (flags & VekNotifySync)
        return false;
      const int n = OutputPins->GetCount();
      for (int i = 0; i < n; ++i) {
        TVekBasicPin* pin = OutputPins->GetPin(i);
        if (OutputPins->IndexOfPin(pin) != i || OutputPins->GetPinName(i).empty())
          ++Inconsistent;
        if (pin->IsConnected())
          pin->Notify(op);
      }
      ++Pushes;
      return true;
    };
  }
  ~TSplitter() override {
    FreeAndNil(OutputPins);
    FreeAndNil(InputPin);
  }
  // Main thread only.
  void AddOutput() {
    auto* pin = Create<TTestSourcePin>(this);
    pin->FunctionDependencies()->Add(InputPin, /*joinLocks=*/true);
    OutputPins->Add(pin);
  }

  TTestSinkPin* InputPin;
  TVekPinList* OutputPins;
  std::atomic<int> Pushes{0};
  std::atomic<int> Inconsistent{0};
};

TEST(VekPinListThreadedTest, PushReadsTheCountWhileAnotherThreadRelinksAndResizes) {
  StartFramework();
  auto* form = Create<TTestForm>(nullptr);
  form->SetName("fmThreads");
  auto* source = Create<TTestComponent>(form);
  source->SetName("Src");
  auto* split = Create<TSplitter>(form);
  split->SetName("Split");
  for (int i = 0; i < 2; ++i)
    split->AddOutput();
  ASSERT_TRUE(split->InputPin->Connect(source->OutputPin));
  constexpr int kSinks = 4;
  TTestComponent* sinks[kSinks];
  std::atomic<int> received{0};
  for (int i = 0; i < kSinks; ++i) {
    sinks[i] = Create<TTestComponent>(form);
    sinks[i]->SetName("Dst" + std::to_string(i));
    CountArrivals(sinks[i]->InputPin, received);
  }

  std::atomic<bool> stop{false};
  TTestPusher pusher(source->OutputPin);
  // A second reader, as a display reading the list between pushes.
  std::atomic<int> queries{0};
  std::thread reader([&] {
    while (!stop) {
      TVekGlobalReadLockSection view;
      TVekPinList* list = split->OutputPins;
      if (list->HasConnectedPins() && list->GetCount() > 0 &&
          list->IndexOfPin(list->GetPin(0)) == 0) {
        ++queries;
      }
      std::this_thread::yield();
    }
  });

  // Relink, grow and shrink at least 300 times, and until the pusher has got
  // through often enough (a loaded machine may starve it at first).
  int failedLinks = 0;
  for (int i = 0; i < 300 || (split->Pushes.load() < 200 && i < 200000); ++i) {
    TVekPinList* list = split->OutputPins;
    TTestComponent* sink = sinks[i % kSinks];
    if (i % 5 == 4) {
      sink->InputPin->Connect(nullptr);
    } else if (!sink->InputPin->Connect(list->GetPin(i % list->GetCount()))) {
      ++failedLinks;
    }
    if (i % 7 == 0 && list->GetCount() < 6)
      split->AddOutput();
    if (i % 11 == 0 && list->GetCount() > 1)
      list->Delete(list->GetCount() - 1);
    if (i % 13 == 0)
      list->CompletePendingPlaceholders();
    std::this_thread::yield();
  }
  stop = true;
  pusher.Stop();
  reader.join();

  EXPECT_EQ(failedLinks, 0);
  EXPECT_EQ(split->Inconsistent.load(), 0);
  EXPECT_GT(split->Pushes.load(), 0);
  EXPECT_GT(received.load(), 0);
  form->Free();
}

}  // namespace
