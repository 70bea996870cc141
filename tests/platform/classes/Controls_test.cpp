// The Qt-free control state: parents, alignment, the parent's colour and
// font, focus notifications, actions, and a control freed before or after
// its parent.
#include "platform/classes/Controls.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/classes/ActnList.h"
#include "platform/classes/CustomForm.h"

namespace {

class TLoggedControl : public TWinControl {
  KESTRUNE_CLASS(TLoggedControl, TWinControl)
  using TWinControl::TWinControl;
  std::vector<std::string>* log = nullptr;
  int adjusts = 0;

 protected:
  void Note(const std::string& s) {
    if (log != nullptr)
      log->push_back(Name() + " " + s);
  }
  void DoEnter() override { Note("enter"); }
  void DoExit() override { Note("exit"); }
  void WMSetFocus() override { Note("setfocus"); }
  void WMKillFocus() override { Note("killfocus"); }
  void CMFocusChanged(TWinControl* focused) override {
    Note("focuschanged " + (focused != nullptr ? focused->Name() : std::string("nil")));
  }
  void AdjustSize() override { ++adjusts; }
};

class ControlsStateTest : public testing::Test {
 protected:
  void SetUp() override {
    form = Create<TCustomForm>(nullptr);
    form->SetBounds(0, 0, 200, 100);
  }
  void TearDown() override { form->Free(); }
  TLoggedControl* Add(const char* name, TWinControl* parent) {
    auto* c = Create<TLoggedControl>(form);
    c->SetName(name);
    c->log = &log;
    c->SetParent(parent);
    return c;
  }
  TCustomForm* form = nullptr;
  std::vector<std::string> log;
};

TEST_F(ControlsStateTest, AlignedChildrenShareTheClientAreaTopBottomLeftRightThenClient) {
  struct Case {
    TAlign align;
    int width, height;
    TRect expected;
  };
  // Added in this order; aligned top, bottom, left, right, client.
  const Case cases[] = {
      {alClient, 5, 5, Rect(30, 20, 160, 90)},  {alRight, 40, 5, Rect(160, 20, 200, 90)},
      {alTop, 5, 20, Rect(0, 0, 200, 20)},      {alLeft, 30, 5, Rect(0, 20, 30, 90)},
      {alBottom, 5, 10, Rect(0, 90, 200, 100)}, {alNone, 7, 8, Rect(3, 4, 10, 12)},
  };
  std::vector<TControl*> children;
  for (const Case& c : cases) {
    auto* child = Create<TControl>(form);
    child->SetBounds(c.align == alNone ? 3 : 0, c.align == alNone ? 4 : 0, c.width, c.height);
    child->SetAlign(c.align);
    child->SetParent(form);
    children.push_back(child);
  }
  for (size_t i = 0; i < children.size(); ++i)
    EXPECT_EQ(children[i]->BoundsRect(), cases[i].expected) << i;
  // A resized parent aligns its children again.
  form->SetBounds(0, 0, 100, 50);
  EXPECT_EQ(children[0]->BoundsRect(), Rect(30, 20, 60, 40));
  EXPECT_EQ(children[1]->BoundsRect(), Rect(60, 20, 100, 40));
}

TEST_F(ControlsStateTest, ParentColourAndFontFollowTheParentUntilSetOnTheControl) {
  TLoggedControl* group = Add("group", form);
  auto* label = Create<TControl>(form);
  label->SetParentColor(true);
  label->SetParent(group);
  group->SetColor(clNavy);
  group->Font()->SetName("Tahoma");
  EXPECT_EQ(label->Color(), clNavy);
  EXPECT_EQ(label->Font()->Name(), "Tahoma");
  EXPECT_TRUE(label->ParentFont());

  label->SetColor(clRed);
  label->Font()->SetHeight(-9);  // the control's own change ends ParentFont
  EXPECT_FALSE(label->ParentColor());
  EXPECT_FALSE(label->ParentFont());
  group->SetColor(clLime);
  group->Font()->SetName("Arial");
  EXPECT_EQ(label->Color(), clRed);
  EXPECT_EQ(label->Font()->Name(), "Tahoma");
  EXPECT_EQ(label->Font()->Height(), -9);

  label->SetParentFont(true);  // takes the parent's again
  EXPECT_EQ(label->Font()->Name(), "Arial");
  EXPECT_EQ(label->Font()->Height(), -11);
}

TEST_F(ControlsStateTest, FocusMovesWithItsNotificationsInOrderAndOnlyToControlsThatCanTakeIt) {
  TLoggedControl* a = Add("a", form);
  TLoggedControl* b = Add("b", form);
  a->SetFocus();
  log.clear();
  b->SetFocus();
  EXPECT_EQ(log, (std::vector<std::string>{"a killfocus", "a exit", "a focuschanged b",
                                           "b focuschanged b", "b enter", "b setfocus"}));
  EXPECT_TRUE(b->Focused());
  EXPECT_FALSE(a->Focused());
  log.clear();
  b->SetFocus();  // already there
  EXPECT_TRUE(log.empty());

  a->SetEnabled(false);
  EXPECT_THROW(a->SetFocus(), EInvalidOperation);
  EXPECT_TRUE(b->Focused());
  // The focused control leaving its form leaves no dangling active control.
  b->SetParent(nullptr);
  EXPECT_EQ(form->ActiveControl(), nullptr);
}

TEST_F(ControlsStateTest, ParentsAndChildrenMayBeFreedInEitherOrder) {
  TLoggedControl* outer = Add("outer", form);
  TLoggedControl* inner = Add("inner", outer);
  EXPECT_THROW(outer->SetParent(inner), EInvalidOperation);
  EXPECT_EQ(outer->Parent(), form);
  inner->Free();
  EXPECT_EQ(outer->ControlCount(), 0);

  TLoggedControl* orphan = Add("orphan", outer);
  outer->Free();
  EXPECT_EQ(orphan->Parent(), nullptr);
  EXPECT_EQ(form->ControlCount(), 0);
}

TEST_F(ControlsStateTest, AutoSizeAdjustsWhenItBecomesTrueOnly) {
  TLoggedControl* c = Add("c", form);
  c->SetAutoSize(true);
  c->SetAutoSize(true);
  c->SetAutoSize(false);
  EXPECT_EQ(c->adjusts, 1);
}

TEST_F(ControlsStateTest, ControlFollowsItsActionAndClickExecutesIt) {
  struct Handler {
    int runs = 0;
    void Execute(TObject*) { ++runs; }
  } handler;
  auto* list = Create<TActionList>(form);
  auto* action = Create<TAction>(form);
  action->SetActionList(list);
  action->SetCaption("Quitter");
  action->OnExecute = TNotifyEvent(&handler, &Handler::Execute);
  TLoggedControl* c = Add("c", form);
  c->SetAction(action);
  EXPECT_EQ(c->Caption(), "Quitter");
  action->SetEnabled(false);
  EXPECT_FALSE(c->Enabled());
  c->Perform(WM_USER, 0, 0);
  // Click is protected: reach it as the input dispatch would, through a
  // subclass.
  struct TClicker : TLoggedControl {
    static void ClickOn(TControl* control) { static_cast<TClicker*>(control)->Click(); }
  };
  TClicker::ClickOn(c);
  EXPECT_EQ(handler.runs, 1);
  action->Free();
  EXPECT_EQ(c->Action(), nullptr);
  EXPECT_EQ(list->ActionCount(), 0);
}

}  // namespace
