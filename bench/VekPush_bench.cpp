// Push throughput of the pin framework, against GStreamer as the peer.
//
// Shapes: a source pushing one operation per iteration through a chain of
// 10 pass-through components (each a sink pin feeding a functionally
// dependent source pin, their locks joined) into a last sink: 11 pin hops;
// and one source fanning out to 1..8 sinks. The push takes the whole
// path: global read lock, the source's group lock, the snapshot of its sink
// entries, the state-peer delivery, each sink's group lock, the registry's
// type function and the sink's typed receive interface. Like the capture
// thread, the pusher holds the global read lock around each push and makes
// a fresh operation for it. Both sides are timed by the wall clock.
//
// Peer: fakesrc -> 10 x identity -> fakesink with 4096-byte buffers, all on
// the source's streaming thread: 11 element hops per buffer. The counter
// ns_per_hop is comparable between the two.
#include <benchmark/benchmark.h>

#include <chrono>
#include <string>
#include <vector>

#include "Vek/VekPins.h"
#include "Vek/VekStdTypes.h"
#include "tests/harness/StartOnce.h"

#ifdef KESTRUNE_HAVE_GSTREAMER
#include <gst/gst.h>
#endif

namespace {

constexpr TGUID kBenchType = TGUID::Parse("{BE0C0000-0000-4000-8000-0000000000B1}");

bool DeliverToReceiver(TVekBasicPin*, IVekBasicPin* target, const TGUID& type, uint8_t flags,
                       IVekNotifyOperation* operation) {
  IPtr<IVekStreamReceive> r = QueryStreamReceive(target, type);
  return r && r->Receive(type, operation, flags);
}

class TBenchSourcePin : public TVekSourcePin {
  KESTRUNE_CLASS(TBenchSourcePin, TVekSourcePin)
  explicit TBenchSourcePin(TComponent* owner) : TVekSourcePin(owner) {
    AddStreamType(kBenchType);
    AcceptStreamType(kBenchType);
  }
};

class TBenchSinkPin : public TVekSinkPin {
  KESTRUNE_CLASS(TBenchSinkPin, TVekSinkPin)
  explicit TBenchSinkPin(TComponent* owner) : TVekSinkPin(owner) { AcceptStreamType(kBenchType); }
  bool Receive(const TGUID&, IVekNotifyOperation* op, uint8_t flags) override {
    if (flags & VekNotifySync)
      return false;
    ++Received;
    if (Forward != nullptr)
      Forward->Notify(op);
    return true;
  }
  TVekSourcePin* Forward = nullptr;
  int64_t Received = 0;
};

// A pass-through component: input -> output, the output depending on the
// input with joined locks.
class TBenchStage : public TComponent {
  KESTRUNE_CLASS(TBenchStage, TComponent)
  explicit TBenchStage(TComponent* owner) : TComponent(owner) {
    Input = Create<TBenchSinkPin>(this);
    Output = Create<TBenchSourcePin>(this);
    Output->FunctionDependencies()->Add(Input, /*joinLocks=*/true);
    Input->Forward = Output;
  }
  ~TBenchStage() override {
    Output->Free();
    Input->Free();
  }
  TBenchSinkPin* Input;
  TBenchSourcePin* Output;
};

void StartFramework() {
  kestrune::test_support::StartOnce([] {
    VekPinsUnit.Initialize();
    VekStdTypesUnit.Initialize();
    RegisterStreamTypeConverter(kBenchType, &DeliverToReceiver);
  });
}

void PushOnce(TVekSourcePin* source) {
  TVekGlobalReadLockSection capture;
  IPtr<IVekNotifyOperation> op = NewOperation<TVekSuppliedOperation>();
  source->Notify(op.get());
}

void BM_VekPushChain10(benchmark::State& state) {
  StartFramework();
  auto* root = Create<TComponent>(nullptr);
  auto* head = Create<TBenchStage>(root);
  std::vector<TBenchStage*> stages;
  TVekSourcePin* upstream = head->Output;
  for (int i = 0; i < 10; ++i) {
    stages.push_back(Create<TBenchStage>(root));
    stages.back()->Input->Connect(upstream);
    upstream = stages.back()->Output;
  }
  auto* tail = Create<TBenchStage>(root);
  tail->Input->Connect(upstream);
  constexpr int kHops = 11;
  for (auto _ : state)
    PushOnce(head->Output);
  if (tail->Input->Received != static_cast<int64_t>(state.iterations())) {
    state.SkipWithError("the chain lost operations");
  }
  state.SetItemsProcessed(state.iterations() * kHops);
  state.counters["ns_per_hop"] =
      benchmark::Counter(static_cast<double>(state.iterations() * kHops),
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  root->Free();
}
BENCHMARK(BM_VekPushChain10)->UseRealTime();

void BM_VekPushFanOut(benchmark::State& state) {
  StartFramework();
  const int sinks = static_cast<int>(state.range(0));
  auto* root = Create<TComponent>(nullptr);
  auto* head = Create<TBenchStage>(root);
  std::vector<TBenchSinkPin*> pins;
  for (int i = 0; i < sinks; ++i) {
    pins.push_back(Create<TBenchSinkPin>(root));
    pins.back()->Connect(head->Output);
  }
  for (auto _ : state)
    PushOnce(head->Output);
  state.SetItemsProcessed(state.iterations() * sinks);
  state.counters["ns_per_hop"] =
      benchmark::Counter(static_cast<double>(state.iterations() * sinks),
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  for (TBenchSinkPin* p : pins)
    p->Free();
  root->Free();
}
BENCHMARK(BM_VekPushFanOut)->DenseRange(1, 8)->UseRealTime();

#ifdef KESTRUNE_HAVE_GSTREAMER

// fakesrc -> 10 x identity -> fakesink, `buffers` buffers of 4096 bytes;
// returns the seconds from PLAYING to end of stream.
double RunGstChain(int buffers) {
  GstElement* pipeline = gst_pipeline_new("chain");
  GstElement* src = gst_element_factory_make("fakesrc", nullptr);
  g_object_set(src, "num-buffers", buffers, "sizetype", 2, "sizemax", 4096, "filltype", 1, "silent",
               TRUE, nullptr);
  GstElement* sink = gst_element_factory_make("fakesink", nullptr);
  g_object_set(sink, "sync", FALSE, "silent", TRUE, nullptr);
  gst_bin_add_many(GST_BIN(pipeline), src, sink, nullptr);
  GstElement* previous = src;
  for (int i = 0; i < 10; ++i) {
    GstElement* identity = gst_element_factory_make("identity", nullptr);
    g_object_set(identity, "silent", TRUE, nullptr);
    gst_bin_add(GST_BIN(pipeline), identity);
    gst_element_link(previous, identity);
    previous = identity;
  }
  gst_element_link(previous, sink);
  gst_element_set_state(pipeline, GST_STATE_PAUSED);
  gst_element_get_state(pipeline, nullptr, nullptr, GST_CLOCK_TIME_NONE);
  const auto start = std::chrono::steady_clock::now();
  gst_element_set_state(pipeline, GST_STATE_PLAYING);
  GstBus* bus = gst_element_get_bus(pipeline);
  GstMessage* msg = gst_bus_timed_pop_filtered(
      bus, GST_CLOCK_TIME_NONE, static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
  const auto end = std::chrono::steady_clock::now();
  if (msg != nullptr)
    gst_message_unref(msg);
  gst_object_unref(bus);
  gst_element_set_state(pipeline, GST_STATE_NULL);
  gst_object_unref(pipeline);
  return std::chrono::duration<double>(end - start).count();
}

void BM_GstIdentityChain10(benchmark::State& state) {
  static bool initialised = false;
  if (!initialised) {
    gst_init(nullptr, nullptr);
    initialised = true;
  }
  constexpr int kBuffers = 200000;
  constexpr int kHops = 11;
  for (auto _ : state)
    state.SetIterationTime(RunGstChain(kBuffers));
  state.SetItemsProcessed(state.iterations() * kBuffers * kHops);
  state.counters["ns_per_hop"] =
      benchmark::Counter(static_cast<double>(state.iterations() * kBuffers * kHops),
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_GstIdentityChain10)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

#endif

}  // namespace
