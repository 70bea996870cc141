// The glass button: the radio logic of a group, with its edge cases, and
// what the painting shows: the glow only while pressed, down or latched, no
// symbol in clNone.
#include "controls/StyGlassButton.h"

#include <gtest/gtest.h>

#include <climits>

#include "platform/graphics/Bitmap.h"
#include "tests/controls/ControlsTestSupport.h"

namespace {

using kestrune::test::ControlsTest;

class TestGlassButton : public TStyGlassButton {
 public:
  using TStyGlassButton::MouseDown;
  using TStyGlassButton::MouseUp;
  using TStyGlassButton::Paint;
  using TStyGlassButton::TStyGlassButton;
};

class GlassButtonTest : public ControlsTest {
 protected:
  TestGlassButton* Make(int group, int left) {
    TestGlassButton* b = Create<TestGlassButton>(Form());
    b->SetParent(Form());
    b->SetBounds(left, 10, 100, 32);
    b->SetGroupIndex(group);
    return b;
  }
  static void Press(TestGlassButton* b, int x, int y) {
    b->MouseDown(mbLeft, TShiftState{}, 5, 5);
    b->MouseUp(mbLeft, TShiftState{}, x, y);
  }
};

TEST_F(GlassButtonTest, GroupScenario) {
  TestGlassButton* scope = Make(10, 0);
  TestGlassButton* spectrum = Make(10, 120);
  TestGlassButton* lone = Make(0, 240);
  const struct {
    const char* name;
    void (*step)(TestGlassButton*, TestGlassButton*, TestGlassButton*);
    bool scopeDown, spectrumDown, loneDown;
  } steps[] = {
      {"Down set from code", [](auto* a, auto*, auto*) { a->SetDown(true); }, true, false, false},
      {"pressing the other releases the first", [](auto*, auto* b, auto*) { Press(b, 50, 16); },
       false, true, false},
      {"clicking the down button leaves it down", [](auto*, auto* b, auto*) { Press(b, 50, 16); },
       false, true, false},
      {"Down False without AllowAllUp does nothing",
       [](auto*, auto* b, auto*) { b->SetDown(false); }, false, true, false},
      {"a release one pixel below the client area is inside",
       [](auto* a, auto*, auto*) { Press(a, 50, 32); }, true, false, false},
      {"a release two pixels below is outside", [](auto*, auto* b, auto*) { Press(b, 50, 33); },
       true, false, false},
      {"a button without group and style button is never down",
       [](auto*, auto*, auto* c) { c->SetDown(true); }, true, false, false},
      {"AllowAllUp is shared by the group and lets the down button go up",
       [](auto* a, auto* b, auto*) {
         b->SetAllowAllUp(true);
         a->SetDown(false);
       },
       false, false, false},
  };
  for (const auto& s : steps) {
    SCOPED_TRACE(s.name);
    s.step(scope, spectrum, lone);
    EXPECT_EQ(scope->Down(), s.scopeDown);
    EXPECT_EQ(spectrum->Down(), s.spectrumDown);
    EXPECT_EQ(lone->Down(), s.loneDown);
  }
  EXPECT_TRUE(scope->AllowAllUp());
  scope->SetCornerRadius(-1);
  EXPECT_EQ(scope->CornerRadius(), 4);
  scope->SetCornerRadius(40);  // at run time above half the height is kept
  EXPECT_EQ(scope->CornerRadius(), 40);
  EXPECT_EQ(scope->Version(), "1.0.1.0");
  scope->SetVersion("9.9");
  EXPECT_EQ(scope->Version(), "1.0.1.0");
  scope->Free();
  spectrum->Free();
  lone->Free();
}

TEST_F(GlassButtonTest, StoredDownBeforeGroupIndexEndsDownAfterLoading) {
  TestGlassButton* button = Create<TestGlassButton>(Form());
  button->SetParent(Form());
  button->SetLoadingState(true);
  button->SetDown(true);  // read before GroupIndex: no group yet, so not down
  EXPECT_FALSE(button->Down());
  button->SetGroupIndex(10);
  button->Loaded();
  EXPECT_TRUE(button->Down());
  button->Free();
}

TEST_F(GlassButtonTest, GlowOnlyWhilePressedDownOrLatchedAndNoSymbolInClNone) {
  Form()->SetColor(clBlack);
  TestGlassButton* button = Make(10, 0);
  button->SetCaption("");
  auto blue_at = [&](int x, int y) { return qBlue(Render(button).pixel(x, y)); };
  // Bottom centre: the glow's centre.
  const int up = blue_at(50, 27);
  button->SetDown(true);
  const int down = blue_at(50, 27);
  EXPECT_GT(down, up + 60);
  button->SetAllowAllUp(true);
  button->SetDown(false);
  EXPECT_EQ(blue_at(50, 27), up);

  button->SetBackGroundSymbol(TBackGroundSymbol::bsStop);
  const int with_symbol = blue_at(50, 16);
  button->SetBackGroundSymbolColor(clNone);
  const int without = blue_at(50, 16);
  EXPECT_GT(with_symbol, without + 60);
  button->Free();
}

TEST_F(GlassButtonTest, ForcedTransparencyAtTheMostNegativePlacePaintsAsOneBeside) {
  // Two overlapping buttons that paint each other into their backgrounds,
  // at the most negative place and one pixel further: both show the same.
  TestGlassButton* button = Make(0, 0);
  TestGlassButton* sibling = Make(0, 0);
  button->SetForceTransparent(true);
  sibling->SetForceTransparent(true);
  auto renderAt = [&](int left, int top) {
    button->SetBounds(left, top, 100, 32);
    sibling->SetBounds(left + 50, top + 10, 100, 32);
    return Render(button);
  };
  EXPECT_EQ(renderAt(INT_MIN, INT_MIN), renderAt(INT_MIN + 1, INT_MIN + 1));
  button->Free();
  sibling->Free();
}

TEST_F(GlassButtonTest, ShortCutHintStandsBesideTheButton) {
  TestGlassButton* button = Make(0, 100);
  button->ShortCutHint = "Alt+O";
  const TPoint p = button->ClientToScreen(TPoint{0, 0});
  for (TShortCutHintPos pos : {TShortCutHintPos::shpLeft, TShortCutHintPos::shpTop,
                               TShortCutHintPos::shpRight, TShortCutHintPos::shpBottom}) {
    const struct { TShortCutHintPos pos; } c{pos};
    button->ShortCutHintPos = c.pos;
    button->ShowShortCutHint(true);
    TShortCutHintWindow* hint = button->ShortCutHintWindow();
    ASSERT_NE(hint, nullptr);
    EXPECT_EQ(hint->Caption(), "Alt+O");
    const int hw = hint->Width(), hh = hint->Height();
    const int left = c.pos == TShortCutHintPos::shpLeft    ? p.X - hw / 2
                     : c.pos == TShortCutHintPos::shpRight ? p.X + 100 - hw / 2
                                                           : p.X + (100 - hw) / 2;
    const int top = c.pos == TShortCutHintPos::shpTop      ? p.Y - hh / 2
                    : c.pos == TShortCutHintPos::shpBottom ? p.Y + 32 - hh / 2
                                                           : p.Y + (32 - hh) / 2;
    EXPECT_EQ(hint->Left(), left) << static_cast<int>(c.pos);
    EXPECT_EQ(hint->Top(), top) << static_cast<int>(c.pos);
  }
  button->ShowShortCutHint(false);
  EXPECT_EQ(button->ShortCutHintWindow(), nullptr);
  button->Free();
}

}  // namespace
