// A component with two pin lists, for the pin-list tests.
#pragma once

#include <functional>
#include <string>

#include "Vek/VekPinList.h"
#include "tests/Vek/VekTestFixtures.h"

namespace vektest {

// Publishes InputPins (sink pins named "Channel<i>") and OutputPins (source
// pins with default names), both owning their pins, and the counts of each
// (2 when made). The counts are published after the lists, so a stored
// description names the lists' links before the pins they need are made.
// Loaded completes the lists' pending placeholders.
class TPinListComponent : public TComponent {
  KESTRUNE_CLASS(TPinListComponent, TComponent)
  explicit TPinListComponent(TComponent* owner) : TComponent(owner) {
    InputPins = Create<TVekPinList>(this, true);
    OutputPins = Create<TVekPinList>(this, true);
    SetInputCount(2);
    SetOutputCount(2);
  }
  ~TPinListComponent() override {
    FreeAndNil(OutputPins);
    FreeAndNil(InputPins);
  }
  void Loaded() override {
    inherited::Loaded();
    if (BeforeCompletion)
      BeforeCompletion(this);
    InputPins->CompletePendingPlaceholders();
    OutputPins->CompletePendingPlaceholders();
  }

  TVekPinList* GetInputPins() { return InputPins; }
  TVekPinList* GetOutputPins() { return OutputPins; }
  int GetInputCount() { return InputPins->GetCount(); }
  int GetOutputCount() { return OutputPins->GetCount(); }
  void SetInputCount(int n) {
    while (InputPins->GetCount() > n)
      InputPins->Delete(InputPins->GetCount() - 1);
    while (InputPins->GetCount() < n) {
      const int index = InputPins->GetCount();
      InputPins->AddNamedPin(Create<TTestSinkPin>(this), "Channel" + std::to_string(index));
    }
  }
  void SetOutputCount(int n) {
    if (BeforeOutputCount)
      BeforeOutputCount(this);
    while (OutputPins->GetCount() > n)
      OutputPins->Delete(OutputPins->GetCount() - 1);
    while (OutputPins->GetCount() < n)
      OutputPins->Add(Create<TTestSourcePin>(this));
  }
  TTestSinkPin* Input(int i) { return static_cast<TTestSinkPin*>(InputPins->GetPin(i)); }
  TTestSourcePin* Output(int i) { return static_cast<TTestSourcePin*>(OutputPins->GetPin(i)); }

  TVekPinList* InputPins;
  TVekPinList* OutputPins;

  // Test probes: run when OutputCount is set, and in Loaded before the
  // placeholders are completed.
  static inline std::function<void(TPinListComponent*)> BeforeOutputCount;
  static inline std::function<void(TPinListComponent*)> BeforeCompletion;
};

inline void RegisterPinListFixtures() {
  static bool registered = false;
  if (registered)
    return;
  registered = true;
  RegisterClass<TPinListComponent>()
      .Object("InputPins", &TPinListComponent::GetInputPins)
      .Object("OutputPins", &TPinListComponent::GetOutputPins)
      .Integer("InputCount", &TPinListComponent::GetInputCount, &TPinListComponent::SetInputCount,
               2)
      .Integer("OutputCount", &TPinListComponent::GetOutputCount,
               &TPinListComponent::SetOutputCount, 2);
}

}  // namespace vektest
