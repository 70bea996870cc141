// Small components and pins for the pin framework's tests and benchmark.
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "Vek/VekPins.h"
#include "Vek/VekStdTypes.h"
#include "platform/classes/CustomForm.h"
#include "platform/classes/TypInfo.h"
#include "tests/harness/StartOnce.h"

namespace vektest {

inline constexpr TGUID TypeA = TGUID::Parse("{A0000000-0000-4000-8000-00000000000A}");
inline constexpr TGUID TypeB = TGUID::Parse("{B0000000-0000-4000-8000-00000000000B}");

// Delivers through the target's receive interface of the link's type.
inline bool ReceiveTypeFunction(TVekBasicPin*, IVekBasicPin* target, const TGUID& type,
                                uint8_t flags, IVekNotifyOperation* operation) {
  IPtr<IVekStreamReceive> r = QueryStreamReceive(target, type);
  return r && r->Receive(type, operation, flags);
}

// A sink that hands what it receives to a function (by default: nothing,
// not handled).
class TTestSinkPin : public TVekSinkPin {
  KESTRUNE_CLASS(TTestSinkPin, TVekSinkPin)
  explicit TTestSinkPin(TComponent* owner, std::vector<TGUID> accepted = {TypeA})
      : TVekSinkPin(owner) {
    for (const TGUID& g : accepted)
      AcceptStreamType(g);
  }
  bool Receive(const TGUID& type, IVekNotifyOperation* op, uint8_t flags) override {
    return OnReceive ? OnReceive(this, type, op, flags) : false;
  }
  std::function<bool(TTestSinkPin*, const TGUID&, IVekNotifyOperation*, uint8_t)> OnReceive;
};

// A source carrying the given types (last added is preferred); it answers
// their receive interfaces too, for deliveries travelling upstream.
class TTestSourcePin : public TVekSourcePin {
  KESTRUNE_CLASS(TTestSourcePin, TVekSourcePin)
  explicit TTestSourcePin(TComponent* owner, std::vector<TGUID> types = {TypeA})
      : TVekSourcePin(owner) {
    for (const TGUID& g : types) {
      AddStreamType(g);
      AcceptStreamType(g);
    }
  }
  bool Receive(const TGUID& type, IVekNotifyOperation* op, uint8_t flags) override {
    return OnUpstream ? OnUpstream(type, op, flags) : false;
  }
  std::function<bool(const TGUID&, IVekNotifyOperation*, uint8_t)> OnUpstream;
};

class TTestStatePin : public TVekStatePin {
  KESTRUNE_CLASS(TTestStatePin, TVekStatePin)
  explicit TTestStatePin(TComponent* owner) : TVekStatePin(owner) {
    AddStreamType(TypeA);
    AcceptStreamType(TypeA);
  }
  bool Receive(const TGUID& type, IVekNotifyOperation* op, uint8_t flags) override {
    return OnReceive ? OnReceive(this, type, op, flags) : false;
  }
  std::function<bool(TTestStatePin*, const TGUID&, IVekNotifyOperation*, uint8_t)> OnReceive;
};

// A component with one input, one output and one state pin, published. The
// output depends on the input when made a pass-through (its lock group then
// joins the input's).
class TTestComponent : public TComponent {
  KESTRUNE_CLASS(TTestComponent, TComponent)
  explicit TTestComponent(TComponent* owner) : TComponent(owner) {
    InputPin = Create<TTestSinkPin>(this);
    OutputPin = Create<TTestSourcePin>(this);
    StatePin = Create<TTestStatePin>(this);
  }
  ~TTestComponent() override {
    FreeAndNil(StatePin);
    FreeAndNil(OutputPin);
    FreeAndNil(InputPin);
  }
  // Pushes everything that arrives at the input through the output.
  void MakePassThrough() {
    OutputPin->FunctionDependencies()->Add(InputPin, /*joinLocks=*/true);
    InputPin->OnReceive = [this](TTestSinkPin*, const TGUID&, IVekNotifyOperation* op,
                                 uint8_t flags) {
      if (flags & VekNotifySync)
        return false;
      OutputPin->Notify(op);
      return true;
    };
  }
  TTestSinkPin* GetInputPin() { return InputPin; }
  TTestSourcePin* GetOutputPin() { return OutputPin; }
  TTestStatePin* GetStatePin() { return StatePin; }

  TTestSinkPin* InputPin;
  TTestSourcePin* OutputPin;
  TTestStatePin* StatePin;
};

class TTestForm : public TCustomForm {
  KESTRUNE_CLASS(TTestForm, TCustomForm)
  explicit TTestForm(TComponent* owner) : TCustomForm(owner) {}
};

// Makes `sink` count the deliveries that reach it (not the synchronising
// ones) in `arrived`, answering handled.
inline void CountArrivals(TTestSinkPin* sink, std::atomic<int>& arrived) {
  sink->OnReceive = [&arrived](TTestSinkPin*, const TGUID&, IVekNotifyOperation*, uint8_t flags) {
    if (!(flags & VekNotifySync))
      ++arrived;
    return true;
  };
}

// Pushes one operation through a source pin over and over on a thread of its
// own, each push inside a global read section of its own as the capture
// thread does, until stopped (at the latest when destroyed).
class TTestPusher {
 public:
  explicit TTestPusher(TVekSourcePin* source)
      : thread_([this, source] {
          IPtr<IVekNotifyOperation> op = NewOperation<TVekNotifyOperation>();
          while (!stop_) {
            TVekGlobalReadLockSection capture;
            source->Notify(op.get());
            ++pushes_;
          }
        }) {}
  ~TTestPusher() { Stop(); }
  TTestPusher(const TTestPusher&) = delete;
  TTestPusher& operator=(const TTestPusher&) = delete;
  void Stop() {
    stop_ = true;
    if (thread_.joinable())
      thread_.join();
  }
  int Pushes() const { return pushes_.load(); }

 private:
  std::atomic<bool> stop_{false};
  std::atomic<int> pushes_{0};
  std::thread thread_;  // last: starts once the counters exist
};

// Starts the framework once per test program and registers the fixtures.
inline void StartFramework() {
  kestrune::test_support::StartOnce([] {
    VekPinsUnit.Initialize();
    VekStdTypesUnit.Initialize();
    RegisterStreamTypeName(TypeA, "Type A");
    RegisterStreamTypeConverter(TypeA, &ReceiveTypeFunction);
    RegisterStreamTypeConverter(TypeB, &ReceiveTypeFunction);
    RegisterClass<TTestForm>();
    RegisterClass<TTestComponent>()
        .Object("InputPin", &TTestComponent::GetInputPin)
        .Object("OutputPin", &TTestComponent::GetOutputPin)
        .Object("StatePin", &TTestComponent::GetStatePin);
  });
}

}  // namespace vektest
