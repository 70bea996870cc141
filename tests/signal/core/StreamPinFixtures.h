// Shared pieces of the stream-pin tests: the units they need, an owner for
// the pins, and a recorder that logs every delivery a handler gets.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "signal/core/MoskStreamTypes.h"
#include "signal/core/TrelSimpleDataBuffer.h"
#include "signal/core/TrelStreamTypes.h"
#include "tests/Vek/VekTestFixtures.h"

namespace streamtest {

// The pin framework, the standard and buffer stream types and the block
// store. The framework starts once per test program and the units count
// their starts, so every test may call this.
inline void StartStreamFramework() {
  vektest::StartFramework();
  TrelStreamTypesUnit.Initialize();
  MoskStreamTypesUnit.Initialize();
  TrelSimpleDataBufferUnit.Initialize();
}

// "<class>", or "<class> <value>" for the supplied values.
inline std::string Describe(IVekNotifyOperation* op) {
  if (auto* s = OperationAs<TVekSuppliedSingleOperation>(op))
    return "single " + std::to_string(s->Value);
  if (auto* r = OperationAs<TVekSuppliedRealOperation>(op))
    return "real " + std::to_string(r->Value);
  return op->GetObject()->ClassName();
}

// A notify handler that logs "<target name> <operation>" and answers
// `Handled`. With `ThrowOn` set it raises when an operation of that class
// name arrives (after logging it).
class TRecorder {
 public:
  bool Handle(IVekBasicPin* target, const TGUID& type, uint8_t flags, IVekNotifyOperation* op) {
    Log.push_back(Names[target->GetPin()] + " " + Describe(op));
    Types.push_back(type);
    Flags.push_back(flags);
    Operations.emplace_back(op);
    if (!ThrowOn.empty() && op->GetObject()->ClassName() == ThrowOn)
      throw Exception("receiver failed");
    return Handled;
  }
  TVekNotifyHandler Handler() { return TVekNotifyHandler(this, &TRecorder::Handle); }
  void Clear() {
    Log.clear();
    Types.clear();
    Flags.clear();
    Operations.clear();
  }
  // The log lines of one pin, without its name.
  std::vector<std::string> Of(TVekBasicPin* pin) const {
    std::vector<std::string> lines;
    const std::string prefix = Names.at(pin) + " ";
    for (const std::string& line : Log) {
      if (line.compare(0, prefix.size(), prefix) == 0)
        lines.push_back(line.substr(prefix.size()));
    }
    return lines;
  }

  std::map<TVekBasicPin*, std::string> Names;
  std::vector<std::string> Log;
  std::vector<TGUID> Types;
  std::vector<uint8_t> Flags;
  std::vector<IPtr<IVekNotifyOperation>> Operations;
  std::string ThrowOn;
  bool Handled = false;
};

// Owns a form, a component on it and the pins the test makes (freed in
// reverse order of making).
class StreamPinTest : public ::testing::Test {
 public:
  void SetUp() override {
    StartStreamFramework();
    form_ = Create<vektest::TTestForm>(nullptr);
    form_->SetName("fmMain");
    owner_ = Create<vektest::TTestComponent>(form_);
    owner_->SetName("Owner");
  }
  void TearDown() override {
    for (auto it = pins_.rbegin(); it != pins_.rend(); ++it)
      (*it)->Free();
    pins_.clear();
    FreeAndNil(form_);
  }
  // A pin of class T named `name` in the recorder's log; pins whose
  // constructor takes a handler get the recorder's.
  template <class T>
  T* Pin(const std::string& name) {
    T* pin;
    if constexpr (std::is_constructible_v<T, TComponent*, TVekNotifyHandler>)
      pin = Create<T>(owner_, recorder_.Handler());
    else
      pin = Create<T>(owner_);
    pins_.push_back(pin);
    recorder_.Names[pin] = name;
    return pin;
  }
  // Frees a pin made by Pin before the end of the test.
  void FreePin(TVekBasicPin* pin) {
    pins_.erase(std::find(pins_.begin(), pins_.end(), pin));
    pin->Free();
  }
  template <class T, class... Args>
  bool Push(TVekSourcePin* source, Args&&... args) {
    IPtr<IVekNotifyOperation> op = NewOperation<T>(std::forward<Args>(args)...);
    return source->Notify(op.get());
  }

  vektest::TTestForm* form_ = nullptr;
  vektest::TTestComponent* owner_ = nullptr;
  std::vector<TVekBasicPin*> pins_;
  TRecorder recorder_;
};

}  // namespace streamtest
