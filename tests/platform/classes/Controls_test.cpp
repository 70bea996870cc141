// The Qt-free control state: parents, alignment, the parent's colour and
// font, focus notifications, actions, and a control freed before or after
// its parent.
#include "platform/classes/Controls.h"

#include <gtest/gtest.h>

#include <climits>
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

// The client origin is the sum of the bounds up the parents; points go to
// the screen and back exactly where the result fits in 32 bits and saturate
// where it does not, on each axis on its own, however the parents' sum
// overflows on the way.
TEST_F(ControlsStateTest, ScreenConversionsAtExtremeOriginsSaturateOnlyWhatDoesNotFit) {
  constexpr int kMin = INT32_MIN;  // -2147483648
  constexpr int kMax = INT32_MAX;  // 2147483647
  struct Case {
    const char* what;
    std::vector<TPoint> chain;  // Left and Top, from the form down
    TPoint point;
    TPoint origin, toScreen, toClient;
  };
  const Case cases[] = {
      {"ordinary nesting", {{10, 20}, {3, 4}}, {5, 6}, {13, 24}, {18, 30}, {-8, -18}},
      // 10 - kMin and -10 - kMax do not fit; kMin + 10 and kMax - 10 do.
      {"form at the ends",
       {{kMin, kMax}},
       {10, -10},
       {kMin, kMax},
       {kMin + 10, kMax - 10},
       {kMax, kMin}},
      {"the ends at the ends", {{kMin, kMax}}, {kMin, kMax}, {kMin, kMax}, {kMin, kMax}, {0, 0}},
      // -1 - (kMin + 1) = 2147483646, 1 - (kMax - 1) = -2147483645.
      {"next to the ends",
       {{kMin + 1, kMax - 1}},
       {-1, 1},
       {kMin + 1, kMax - 1},
       {kMin, kMax},
       {2147483646, -2147483645}},
      // X: kMax + kMax + kMin = 2147483646 fits; Y: kMin + kMin + kMax =
      // -2147483649 saturates, yet 1 + (-2147483649) = kMin fits and
      // 1 - (-2147483649) = 2147483650 does not.
      {"parents whose sum passes the ends",
       {{kMax, kMin}, {kMax, kMin}, {kMin, kMax}},
       {1, 1},
       {2147483646, kMin},
       {kMax, kMin},
       {-2147483645, kMax}},
      // X: 2 * kMax + 5 = 4294967299, Y: 2 * kMax - 5 = 4294967289; adding
      // kMin gives 2147483651 (saturates) and 2147483641 (fits).
      {"parents beyond the end",
       {{kMax, kMax}, {kMax, kMax}, {5, -5}},
       {kMin, kMin},
       {kMax, kMax},
       {kMax, 2147483641},
       {kMin, kMin}},
      // X: -1 + kMin + 1 = kMin, Y: 1 + kMax - 1 = kMax.
      {"nested back onto the ends",
       {{-1, 1}, {kMin, kMax}, {1, -1}},
       {-1, 1},
       {kMin, kMax},
       {kMin, kMax},
       {kMax, -2147483646}},
  };
  for (const Case& c : cases) {
    // A form, windowed controls under it, a non-windowed control last.
    auto* top = Create<TCustomForm>(nullptr);
    TControl* control = top;
    TWinControl* parent = top;
    for (size_t i = 0; i < c.chain.size(); ++i) {
      if (i > 0) {
        control = i + 1 < c.chain.size() ? Create<TLoggedControl>(top) : Create<TControl>(top);
        control->SetParent(parent);
      }
      control->SetBounds(c.chain[i].X, c.chain[i].Y, 10, 10);
      if (auto* win = dynamic_cast<TWinControl*>(control))
        parent = win;
    }
    EXPECT_EQ(control->ClientOrigin(), c.origin) << c.what;
    EXPECT_EQ(control->ClientToScreen(c.point), c.toScreen) << c.what;
    EXPECT_EQ(control->ScreenToClient(c.point), c.toClient) << c.what;
    top->Free();
  }
}

// Aligned children larger than the parent push the edges that are left to
// the 32-bit range instead of overflowing.
TEST_F(ControlsStateTest, AlignedChildrenOfExtremeSizesPushTheEdgesToTheEnds) {
  constexpr int kMin = INT32_MIN;
  constexpr int kMax = INT32_MAX;
  struct Case {
    TAlign align;
    int width, height;
    TRect expected;
  };
  // Added in this order into the 200 x 100 form. Two children of the
  // largest height from the top: the second starts at kMax. From the
  // bottom: 100 - kMax = -2147483547, then kMin. Sideways alike from 200.
  // The client child gets what is left: nothing.
  const Case cases[] = {
      {alTop, 5, kMax, Rect(0, 0, 200, kMax)},
      {alTop, 5, kMax, Rect(0, kMax, 200, kMax)},
      {alBottom, 5, kMax, Rect(0, -2147483547, 200, 100)},
      {alBottom, 5, kMax, Rect(0, kMin, 200, -1)},
      {alLeft, kMax, 5, Rect(0, kMax, kMax, kMax)},
      {alLeft, kMax, 5, Rect(kMax, kMax, kMax, kMax)},
      {alRight, kMax, 5, Rect(-2147483447, kMax, 200, kMax)},
      {alRight, kMax, 5, Rect(kMin, kMax, -1, kMax)},
      {alClient, 5, 5, Rect(kMax, kMax, kMax, kMax)},
  };
  std::vector<TControl*> children;
  for (const Case& c : cases) {
    auto* child = Create<TControl>(form);
    child->SetBounds(0, 0, c.width, c.height);
    child->SetAlign(c.align);
    child->SetParent(form);
    children.push_back(child);
  }
  for (size_t i = 0; i < children.size(); ++i)
    EXPECT_EQ(children[i]->BoundsRect(), cases[i].expected) << i;
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
