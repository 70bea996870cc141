// The hosted check box and combo box: which changes fire their events, and
// how often; a raising handler of a hosted widget reaches the central
// handler.
#include "platform/forms/StdCtrls.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <set>
#include <string>
#include <vector>

#include "FormsTestSupport.h"
#include "platform/classes/Streaming.h"

using forms_test::FormsFixture;

namespace {

class Recorder : public TObject {
 public:
  std::vector<std::string> log;
  bool raise = false;
  void Clicked(TObject* sender) {
    auto* box = dynamic_cast<TCheckBox*>(sender);
    log.push_back(std::string("click ") + (box != nullptr && box->Checked() ? "on" : "off"));
    if (raise)
      throw EInvalidOperation("Case en échec");
  }
  void Changed(TObject* sender) {
    log.push_back("change " + std::to_string(static_cast<TCustomComboBox*>(sender)->ItemIndex()));
  }
  void Dropped(TObject*) { log.push_back("dropdown"); }
  void Closed(TObject*) { log.push_back("closeup"); }
};

class StdCtrlsTest : public FormsFixture {
 protected:
  TCheckBox* MakeCheckBox() {
    auto* box = Create<TCheckBox>(form);
    box->SetBounds(10, 10, 80, 20);
    box->SetCaption("Auto");
    box->OnClick = TNotifyEvent(&recorder, &Recorder::Clicked);
    box->SetParent(form);
    return box;
  }
  Recorder recorder;
};

TEST_F(StdCtrlsTest, CheckBoxClickAndCodeChangesFireOneClickEachAndRepeatsFireNothing) {
  TCheckBox* box = MakeCheckBox();
  form->Show();
  ASSERT_NE(kestrune::testing::HostedWidget(box), nullptr);
  ASSERT_TRUE(kestrune::testing::Click(At(box, 8, 10)));
  EXPECT_TRUE(box->Checked());
  box->SetChecked(false);  // from code, a new state
  box->SetChecked(false);  // the same state again
  ASSERT_TRUE(kestrune::testing::Click(At(box, 8, 10)));
  EXPECT_EQ(recorder.log, (std::vector<std::string>{"click on", "click off", "click on"}));
  EXPECT_TRUE(static_cast<QCheckBox*>(kestrune::testing::HostedWidget(box))->isChecked());
}

TEST_F(StdCtrlsTest, CheckBoxLoadedCheckedFiresNothing) {
  TCheckBox* box = MakeCheckBox();
  box->SetLoadingState(true);
  box->SetChecked(true);
  box->SetLoadingState(false);
  EXPECT_TRUE(box->Checked());
  EXPECT_TRUE(recorder.log.empty());
}

TEST_F(StdCtrlsTest, CheckBoxStateSetBeforeItsWidgetExistsShows) {
  const struct {
    TCheckBoxState state;
    Qt::CheckState shown;
  } rows[] = {
      {cbUnchecked, Qt::Unchecked},
      {cbChecked, Qt::Checked},
      {cbGrayed, Qt::PartiallyChecked},
  };
  std::vector<TCheckBox*> boxes;
  for (const auto& row : rows) {
    TCheckBox* box = MakeCheckBox();
    box->SetState(row.state);
    boxes.push_back(box);
  }
  form->Show();
  for (size_t i = 0; i < boxes.size(); ++i) {
    auto* shown = static_cast<QCheckBox*>(kestrune::testing::HostedWidget(boxes[i]));
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->checkState(), rows[i].shown) << i;
  }
}

TEST_F(StdCtrlsTest, CheckBoxHandlerExceptionReachesTheCentralHandler) {
  TCheckBox* box = MakeCheckBox();
  form->Show();
  recorder.raise = true;
  testing::internal::CaptureStderr();
  ASSERT_TRUE(kestrune::testing::Click(At(box, 8, 10)));
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("Case en échec"), std::string::npos) << err;
  EXPECT_TRUE(box->Checked());
}

TEST_F(StdCtrlsTest, ComboChoiceFromCodeIsSilentAndTheUsersChoiceFiresOnce) {
  auto* combo = Create<TCustomComboBox>(form);
  combo->SetBounds(10, 40, 120, 21);
  combo->SetStyle(csDropDownList);
  combo->OnChange = TNotifyEvent(&recorder, &Recorder::Changed);
  combo->OnDropDown = TNotifyEvent(&recorder, &Recorder::Dropped);
  combo->OnCloseUp = TNotifyEvent(&recorder, &Recorder::Closed);
  combo->SetParent(form);
  for (const char* name : {"Default", "Micro", "Ligne"})
    combo->Items()->Add(name);
  combo->SetItemIndex(0);
  combo->SetItemIndex(7);  // out of range: nothing chosen
  EXPECT_EQ(combo->ItemIndex(), -1);
  combo->SetItemIndex(1);
  form->Show();
  auto* box = static_cast<QComboBox*>(kestrune::testing::HostedWidget(combo));
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(box->currentIndex(), 1);
  EXPECT_EQ(combo->Text(), "Micro");

  // A key handler that swallows the key keeps it from the hosted list.
  struct Swallow {
    void KeyDown(TObject*, uint16_t& key, TShiftState) { key = 0; }
  } swallow;
  combo->OnKeyDown = TKeyEvent(&swallow, &Swallow::KeyDown);
  QKeyEvent down(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
  QCoreApplication::sendEvent(box, &down);
  EXPECT_EQ(combo->ItemIndex(), 1);
  // The user steps to the next item with the keyboard.
  combo->OnKeyDown = nullptr;
  QCoreApplication::sendEvent(box, &down);
  EXPECT_EQ(combo->ItemIndex(), 2);
  EXPECT_EQ(combo->Text(), "Ligne");

  combo->SetDroppedWidth(300);
  combo->SetDroppedDown(true);
  combo->SetDroppedDown(false);
  EXPECT_EQ(recorder.log, (std::vector<std::string>{"change 2", "dropdown", "closeup"}));
}

TEST_F(StdCtrlsTest, AnEditableComboMadeEditableAgainFiresOnceForAUserEdit) {
  auto* combo = Create<TCustomComboBox>(form);
  combo->SetBounds(10, 40, 120, 21);
  combo->SetStyle(csDropDown);
  combo->OnChange = TNotifyEvent(&recorder, &Recorder::Changed);
  combo->SetParent(form);
  combo->Items()->Add("Micro");
  form->Show();
  combo->SetStyle(csSimple);  // editable again: the same edit line
  combo->SetStyle(csDropDown);
  auto* box = static_cast<QComboBox*>(kestrune::testing::HostedWidget(combo));
  ASSERT_NE(box, nullptr);
  ASSERT_NE(box->lineEdit(), nullptr);
  QKeyEvent key(QEvent::KeyPress, Qt::Key_M, Qt::NoModifier, "M");
  QCoreApplication::sendEvent(box->lineEdit(), &key);
  EXPECT_EQ(combo->Text(), "M");
  EXPECT_EQ(recorder.log, (std::vector<std::string>{"change -1"}));
}

// A combo box that frames itself, as a flat look does.
class TFramedCombo : public TCustomComboBox {
  KESTRUNE_CLASS(TFramedCombo, TCustomComboBox)
  using TCustomComboBox::TCustomComboBox;
  TColor frame = clRed;

 protected:
  void PaintOverlay(TCanvas* canvas) override {
    canvas->Brush()->SetColor(frame);
    canvas->FrameRect(ClientRect());
  }
};

TEST_F(StdCtrlsTest, ComboDrawingLandsOnTopOfTheHostedBox) {
  auto* combo = Create<TFramedCombo>(form);
  combo->SetBounds(10, 40, 120, 21);
  combo->SetParent(form);
  form->Show();
  QImage image = kestrune::testing::RenderForm(form);
  EXPECT_EQ(PixelAt(image, 10, 40), clRed);
  EXPECT_EQ(PixelAt(image, 129, 60), clRed);
  EXPECT_EQ(PixelAt(image, 70, 40), clRed);
  EXPECT_EQ(PixelAt(image, 9, 40), clBlue);  // the form around it
  EXPECT_NE(PixelAt(image, 70, 50), clRed);  // the box's own painting inside
  combo->frame = clLime;
  combo->Invalidate();
  image = kestrune::testing::RenderForm(form);
  EXPECT_EQ(PixelAt(image, 70, 40), clLime);
}

// A disabled check box shows in the standard scheme's disabled colours:
// its caption in the grey text colour instead of the window text, its box
// on the button face instead of the window colour, its mark not in the
// window text. Both boxes are checked; the main window's "Auto" of the
// second channel is disabled so.
TEST_F(StdCtrlsTest, DisabledCheckBoxShowsInTheDisabledColours) {
  form->SetColor(clBtnFace);
  auto make = [&](int top, bool enabled) {
    TCheckBox* box = MakeCheckBox();
    box->SetTop(top);
    box->SetChecked(true);
    box->SetEnabled(enabled);
    return box;
  };
  TCheckBox* enabled = make(10, true);
  TCheckBox* disabled = make(40, false);
  form->Show();
  const QImage image = kestrune::testing::RenderForm(form);
  const TColor window = static_cast<TColor>(GetSysColor(5));
  const TColor windowText = static_cast<TColor>(GetSysColor(8));
  const TColor face = static_cast<TColor>(GetSysColor(15));
  const TColor grayText = static_cast<TColor>(GetSysColor(17));
  // The colours of a part of the box's client area.
  auto colours = [&](TCheckBox* box, TRect part) {
    std::set<TColor> seen;
    for (int y = part.Top; y < part.Bottom; ++y) {
      for (int x = part.Left; x < part.Right; ++x)
        seen.insert(PixelAt(image, box->Left() + x, box->Top() + y));
    }
    return seen;
  };
  const TRect caption{20, 0, 80, 20};
  const TRect square{0, 0, 16, 20};
  EXPECT_TRUE(colours(enabled, caption).count(windowText));
  EXPECT_TRUE(colours(enabled, square).count(windowText));  // the mark
  EXPECT_TRUE(colours(enabled, square).count(window));
  const std::set<TColor> text = colours(disabled, caption);
  EXPECT_TRUE(text.count(grayText));
  EXPECT_FALSE(text.count(windowText));
  const std::set<TColor> box = colours(disabled, square);
  EXPECT_FALSE(box.count(windowText));
  EXPECT_FALSE(box.count(window));
  EXPECT_TRUE(box.count(face));
}

}  // namespace
