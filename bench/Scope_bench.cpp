// One refresh of the main window's scope: two channels of 1024 samples on a
// 377 x 329 control, line traces over the grid, both axes hidden. Each
// iteration stores a new block per channel (untimed, as the capture thread
// would), then times the refresh: commit, ranges, the scene into the
// off-screen picture and its copy to the window's surface.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <numbers>
#include <vector>

#include "bench/BenchSupport.h"
#include "platform/classes/ClassesUnit.h"
#include "platform/forms/Forms.h"
#include "platform/gdiobj/GraphicsObjects.h"
#include "scope/TrelScope.h"
#include "scope/TrelScopeUnit.h"
#include "tests/harness/StartOnce.h"

namespace {

void StartScopeUnits() {
  kestrune::test_support::StartOnce([] {
    bench_support::StartStreamUnits();
    ClassesUnit.Initialize();
    setenv("QT_QPA_PLATFORM", "offscreen", /*overwrite=*/0);  // headless unless asked
    FormsUnit.Initialize();
    Application->Initialize();
    GraphicsUnit.Initialize();
    TrelScopeUnit.Initialize();
  });
}

class TBenchProducer : public TComponent {
  KESTRUNE_CLASS(TBenchProducer, TComponent)
  explicit TBenchProducer(TComponent* owner) : TComponent(owner) {
    for (auto*& pin : pins_)
      pin = Create<TTrelVekRealSourcePin>(this);
  }
  ~TBenchProducer() override {
    for (auto*& pin : pins_)
      FreeAndNil(pin);
  }
  TTrelVekRealSourcePin* pins_[2] = {};
};

void BM_ScopeRefresh(benchmark::State& state) {
  StartScopeUnits();
  bench_support::StoreSession store;
  auto* owner = Create<TComponent>(nullptr);
  auto* producer = Create<TBenchProducer>(owner);
  auto* scope = Create<TTrelScope>(owner);
  scope->GetChannels()->Add();
  scope->SetBounds(16, 40, 377, 329);
  scope->GetTitle()->SetVisible(false);
  scope->GetLegend()->SetVisible(false);
  scope->GetXAxis()->SetVisible(false);
  scope->GetYAxis()->SetVisible(false);
  scope->GetToolBar()->SetVisible(false);
  TTrelScopeXAxis* x = scope->GetXAxis();
  x->GetMaxSample()->SetAutosize(false);
  x->GetMax()->SetAutoScale(false);
  x->GetMin()->SetAutoScale(false);
  x->GetMaxSample()->SetValue(1024);
  x->GetMax()->SetValue(1024.0);
  scope->GetYAxis()->GetAutoScaling()->SetEnabled(false);
  scope->GetYAxis()->SetMax(10000.0);
  scope->GetYAxis()->SetMin(-10000.0);
  for (int c = 0; c < 2; ++c)
    scope->GetChannels()->GetItem(c)->GetInputPin()->Connect(producer->pins_[c]);

  // Two phases of a sine per channel, alternated so that every refresh
  // commits and draws new samples.
  IPtr<ITrelRealBuffer> blocks[2][2];
  for (int c = 0; c < 2; ++c)
    for (int phase = 0; phase < 2; ++phase) {
      blocks[c][phase] = TTrelRealBuffer::CreateCount(1024);
      for (int i = 0; i < 1024; ++i)
        blocks[c][phase]->GetData()[i] =
            (8000.0 - 2000.0 * c) * std::sin(2.0 * std::numbers::pi * (i + 37 * phase) / 97.0);
    }
  TBitmap* window = Create<TBitmap>();
  window->SetSize(377, 329);
  const TRect whole{0, 0, 377, 329};
  // Heap allocations per part of the refresh, summed over the iterations.
  std::uint64_t partNews[3] = {};
  auto refresh = [&] {
    std::uint64_t before = kestrune::test_support::HeapAllocationCount();
    scope->UpdateAndRepaint();
    std::uint64_t after = kestrune::test_support::HeapAllocationCount();
    partNews[0] += after - before;
    scope->PaintTo();
    before = kestrune::test_support::HeapAllocationCount();
    partNews[1] += before - after;
    window->Canvas()->CopyRect(whole, scope->Picture()->Canvas(), whole);
    partNews[2] += kestrune::test_support::HeapAllocationCount() - before;
  };
  // Warm-up: the first refreshes lay the views out and size the buffers.
  for (int k = 0; k < 4; ++k) {
    for (int c = 0; c < 2; ++c)
      producer->pins_[c]->SendData(blocks[c][k & 1].get());
    refresh();
  }
  for (std::uint64_t& n : partNews)
    n = 0;
  std::uint64_t news = 0, storeBlocks = 0;
  int phase = 0;
  for (auto _ : state) {
    state.PauseTiming();
    phase ^= 1;
    for (int c = 0; c < 2; ++c)
      producer->pins_[c]->SendData(blocks[c][phase].get());
    const std::uint64_t newsBefore = kestrune::test_support::HeapAllocationCount();
    const std::uint64_t blocksBefore = SmartBufferManager()->HeapAllocationCount();
    state.ResumeTiming();
    refresh();
    state.PauseTiming();
    news += kestrune::test_support::HeapAllocationCount() - newsBefore;
    storeBlocks += SmartBufferManager()->HeapAllocationCount() - blocksBefore;
    state.ResumeTiming();
  }
  const double iterations = static_cast<double>(state.iterations());
  state.counters["heap_news"] = static_cast<double>(news) / iterations;
  state.counters["store_blocks"] = static_cast<double>(storeBlocks) / iterations;
  state.counters["news_update"] = static_cast<double>(partNews[0]) / iterations;
  state.counters["news_scene"] = static_cast<double>(partNews[1]) / iterations;
  state.counters["news_copy"] = static_cast<double>(partNews[2]) / iterations;
  window->Free();
  owner->Free();
}
BENCHMARK(BM_ScopeRefresh)->Unit(benchmark::kMicrosecond)->MinTime(1.0);

}  // namespace
