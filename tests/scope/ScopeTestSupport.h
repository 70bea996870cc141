// Shared pieces of the scope's tests: the units, Qt's application object
// (text needs it), a form owning a scope and a producer component whose
// real-buffer outputs feed the scope's channels.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/classes/ClassesUnit.h"
#include "platform/classes/Streaming.h"
#include "platform/forms/Forms.h"
#include "scope/TrelScope.h"
#include "scope/TrelScopeUnit.h"
#include "signal/core/TrelStreamTypes.h"
#include "tests/harness/StartOnce.h"
#include "tests/signal/core/StreamPinFixtures.h"

namespace scopetest {

inline void StartUnits() {
  kestrune::test_support::StartOnce([] {
    streamtest::StartStreamFramework();
    ClassesUnit.Initialize();
    FormsUnit.Initialize();
    Application->Initialize();
    GraphicsUnit.Initialize();
    TrelScopeUnit.Initialize();
  });
}

// A component with real-buffer outputs, standing for a producer.
class TProducer : public TComponent {
  KESTRUNE_CLASS(TProducer, TComponent)
  explicit TProducer(TComponent* owner, int outputs = 2) : TComponent(owner) {
    for (int i = 0; i < outputs; ++i)
      pins_.push_back(Create<TTrelVekRealSourcePin>(this));
  }
  ~TProducer() override {
    for (auto*& pin : pins_)
      FreeAndNil(pin);
  }
  TTrelVekRealSourcePin* Output(int i) const { return pins_[static_cast<std::size_t>(i)]; }
  void Start(int i, IPtr<IVekNotifyOperation> start) { Output(i)->Notify(start.get()); }
  void Send(int i, const std::vector<double>& values) {
    IPtr<ITrelRealBuffer> b =
        TTrelRealBuffer::CreateFromData(values.data(), static_cast<int>(values.size()));
    Output(i)->SendData(b.get());
  }

 private:
  std::vector<TTrelVekRealSourcePin*> pins_;
};

// A form with a scope of `channels` channels linked to a producer's
// outputs, every view hidden unless asked otherwise.
class ScopeFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    StartUnits();
    form_ = Create<vektest::TTestForm>(nullptr);
    form_->SetName("fmMain");
    producer_ = Create<TProducer>(form_, 2);
    producer_->SetName("Producer");
    scope_ = Create<TTrelScope>(form_);
    scope_->SetName("TrelScope1");
    scope_->GetChannels()->Add();
    for (int c = 0; c < 2; ++c)
      ASSERT_TRUE(Channel(c)->GetInputPin()->Connect(producer_->Output(c)));
  }
  void TearDown() override { FreeAndNil(form_); }

  TTrelScopeChannel* Channel(int i) const { return scope_->GetChannels()->GetItem(i); }
  // Hides title, legend and axes: the plot area fills the control.
  void HideViews() {
    scope_->GetTitle()->SetVisible(false);
    scope_->GetLegend()->SetVisible(false);
    scope_->GetXAxis()->SetVisible(false);
    scope_->GetYAxis()->SetVisible(false);
  }
  // A fixed linear scale: X 0..xMax, Y yMin..yMax, no auto-scaling.
  void FixScales(double xMax, double yMin, double yMax) {
    TTrelScopeXAxis* x = scope_->GetXAxis();
    x->GetMaxSample()->SetAutosize(false);
    x->GetMax()->SetAutoScale(false);
    x->GetMin()->SetAutoScale(false);
    x->GetMaxSample()->SetValue(static_cast<std::uint32_t>(xMax));
    x->GetMin()->SetValue(0.0);
    x->GetMax()->SetValue(xMax);
    scope_->GetYAxis()->GetAutoScaling()->SetEnabled(false);
    scope_->GetYAxis()->SetMax(yMax);
    scope_->GetYAxis()->SetMin(yMin);
  }
  // Only the traces on a width x height control: no views, fixed scales
  // (see FixScales) and a black grid.
  void BarePlot(int width, int height, double xMax, double yMin, double yMax) {
    HideViews();
    FixScales(xMax, yMin, yMax);
    scope_->SetBounds(0, 0, width, height);
    scope_->GetDataView()->SetGridColor(clBlack);
    scope_->GetDataView()->SetZeroGridColor(clBlack);
  }
  TColor PixelAt(int x, int y) { return scope_->Picture()->Canvas()->Pixel(x, y); }
  void Refresh() {
    scope_->UpdateAndRepaint();
    scope_->PaintTo();
  }

  vektest::TTestForm* form_ = nullptr;
  TProducer* producer_ = nullptr;
  TTrelScope* scope_ = nullptr;
};

// A scope named "Scope" with one channel on a form of its own, which a test
// writes to text and reads back (`ReadBack` replaces the form).
class StoredScopeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    scopetest::StartUnits();
    form_ = Create<vektest::TTestForm>(nullptr);
    form_->SetName("fmStore");
    TTrelScope* scope = Create<TTrelScope>(form_);
    scope->SetName("Scope");
    scope->GetChannels()->Add();
  }
  void TearDown() override { FreeAndNil(form_); }
  TTrelScope* Scope() const { return static_cast<TTrelScope*>(form_->FindComponent("Scope")); }
  void ReadBack(const std::string& text) {
    FreeAndNil(form_);
    form_ = static_cast<vektest::TTestForm*>(CreateComponentFromText(text, nullptr));
  }
  vektest::TTestForm* form_ = nullptr;
};

}  // namespace scopetest
