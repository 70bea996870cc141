// A repaint asked for from another thread: served on the main thread, and
// dropped when the control is freed before it is served.
#include <gtest/gtest.h>

#include <thread>

#include "FormsTestSupport.h"
#include "platform/forms/Controls.h"

using forms_test::FormsFixture;

namespace {

class TFilled : public TCustomControl {
  KESTRUNE_CLASS(TFilled, TCustomControl)
  using TCustomControl::TCustomControl;
  TColor fill = clWhite;

 protected:
  void Paint() override {
    Canvas()->Brush()->SetColor(fill);
    Canvas()->FillRect(ClientRect());
  }
};

class ControlsThreadTest : public FormsFixture {};

TEST_F(ControlsThreadTest,
       InvalidateFromAnotherThreadRepaintsOnTheMainThreadAndIsDroppedOnceFreed) {
  auto* probe = Create<TFilled>(form);
  probe->SetBounds(20, 10, 60, 40);
  probe->SetParent(form);
  form->Show();
  using kestrune::testing::RenderForm;
  EXPECT_EQ(PixelAt(RenderForm(form), 30, 20), clWhite);
  probe->fill = clYellow;
  std::thread([probe] { probe->Invalidate(); }).join();
  Application->ProcessMessages();
  EXPECT_EQ(PixelAt(RenderForm(form), 30, 20), clYellow);

  std::thread([probe] { probe->Invalidate(); }).join();
  probe->Free();
  Application->ProcessMessages();  // the request for the freed control is dropped
  EXPECT_EQ(PixelAt(RenderForm(form), 30, 20), clBlue);
}

}  // namespace
