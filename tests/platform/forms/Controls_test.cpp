// Painted controls on a shown form: drawing outside the paint cycle, faked
// transparency, input reaching the right control, and handler exceptions
// reaching the central handler.
#include "platform/forms/Controls.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "FormsTestSupport.h"
#include "platform/classes/MainLoop.h"
#include "platform/forms/ControlWidgetsPrivate.h"
#include "platform/forms/ExtCtrls.h"

using forms_test::FormsFixture;
using kestrune::testing::MouseAction;
using kestrune::testing::RenderForm;
using kestrune::testing::SendMouse;

namespace {

std::string ShiftText(TShiftState s) {
  std::string t;
  const std::pair<TShiftStateFlag, const char*> names[] = {
      {ssShift, "S"}, {ssAlt, "A"},    {ssCtrl, "C"},  {ssLeft, "L"},
      {ssRight, "R"}, {ssMiddle, "M"}, {ssDouble, "D"}};
  for (auto [flag, name] : names) {
    if (s.Contains(flag))
      t += name;
  }
  return t.empty() ? "-" : t;
}

const char* ButtonText(TMouseButton b) {
  return b == mbLeft ? "left" : b == mbRight ? "right" : "middle";
}

// Logs every input it receives as "<name> <event> ...".
template <class Base>
class TLogging : public Base {
 public:
  explicit TLogging(TComponent* owner) : Base(owner) {}
  std::vector<std::string>* log = nullptr;
  std::string tag;
  TColor fill = clWhite;
  // Raised from Paint when set.
  bool raiseInPaint = false;

  // Draws now, outside the paint cycle (as a level meter does on a new
  // value).
  void DrawNow(TColor color) {
    fill = color;
    this->Paint();
  }

 protected:
  void Note(const std::string& text) {
    if (log != nullptr)
      log->push_back(tag + " " + text);
  }
  void Paint() override {
    if (raiseInPaint)
      throw EInvalidOperation("Peinture impossible");
    this->Canvas()->Brush()->SetColor(fill);
    this->Canvas()->FillRect(this->ClientRect());
  }
  void MouseDown(TMouseButton b, TShiftState s, int x, int y) override {
    Note(Format("down %s %d,%d ", {ButtonText(b), x, y}) + ShiftText(s));
    Base::MouseDown(b, s, x, y);
  }
  void MouseMove(TShiftState s, int x, int y) override {
    Note(Format("move %d,%d ", {x, y}) + ShiftText(s));
    Base::MouseMove(s, x, y);
  }
  void MouseUp(TMouseButton b, TShiftState s, int x, int y) override {
    Note(Format("up %s %d,%d ", {ButtonText(b), x, y}) + ShiftText(s));
    Base::MouseUp(b, s, x, y);
  }
  void Click() override {
    Note("click");
    Base::Click();
  }
  void DblClick() override {
    Note("dblclick");
    Base::DblClick();
  }
  bool DoMouseWheelDown(TShiftState s, TPoint p) override {
    const TPoint c = this->ScreenToClient(p);
    Note(Format("wheel down %d,%d ", {c.X, c.Y}) + ShiftText(s));
    return Base::DoMouseWheelDown(s, p);
  }
  bool DoMouseWheelUp(TShiftState s, TPoint p) override {
    const TPoint c = this->ScreenToClient(p);
    Note(Format("wheel up %d,%d ", {c.X, c.Y}) + ShiftText(s));
    return Base::DoMouseWheelUp(s, p);
  }
  void CMMouseEnter(TControl* c) override {
    Note("enter");
    Base::CMMouseEnter(c);
  }
  void CMMouseLeave(TControl* c) override {
    Note("leave");
    Base::CMMouseLeave(c);
  }
};

class TCustomProbe : public TLogging<TCustomControl> {
  KESTRUNE_CLASS(TCustomProbe, TCustomControl)
  using TLogging::TLogging;
  // Key input, after the handlers (which may swallow the key).
  void KeyDown(uint16_t& key, TShiftState s) override {
    TCustomControl::KeyDown(key, s);
    Note(Format("keydown %d ", {key}) + ShiftText(s));
  }
  void KeyPress(char& key) override {
    TCustomControl::KeyPress(key);
    Note(Format("keypress %d", {static_cast<int>(key)}));
  }
};

class TGraphicProbe : public TLogging<TGraphicControl> {
  KESTRUNE_CLASS(TGraphicProbe, TGraphicControl)
  using TLogging::TLogging;
};

// A windowed control that fakes transparency: its parent's background and
// the non-windowed siblings below it, then a small red square in its middle.
class TTransparentProbe : public TCustomControl {
  KESTRUNE_CLASS(TTransparentProbe, TCustomControl)
  using TCustomControl::TCustomControl;

 protected:
  void EraseBackground(TCanvas* canvas) override { (void)canvas; }
  void Paint() override {
    PaintParentBackground(this, Canvas());
    Canvas()->Brush()->SetColor(clRed);
    Canvas()->FillRect(Rect(18, 8, 22, 12));
  }
};

class ControlsTest : public FormsFixture {
 public:
  template <class T>
  T* Add(TWinControl* parent, const char* tag, int left, int top, int width, int height) {
    T* c = Create<T>(form);
    c->tag = tag;
    c->log = &log;
    c->SetBounds(left, top, width, height);
    c->SetParent(parent);
    return c;
  }
  std::vector<std::string> log;
};

TEST_F(ControlsTest, DrawingOutsideThePaintCycleShowsInTheFormsImage) {
  auto* meter = Add<TGraphicProbe>(form, "meter", 10, 10, 30, 20);
  auto* scope = Add<TCustomProbe>(form, "scope", 60, 10, 40, 30);
  form->Show();
  QImage before = RenderForm(form);
  ASSERT_FALSE(before.isNull());
  EXPECT_EQ(PixelAt(before, 15, 15), clWhite);
  EXPECT_EQ(PixelAt(before, 70, 20), clWhite);
  EXPECT_EQ(PixelAt(before, 5, 5), clBlue);

  meter->DrawNow(clLime);
  scope->DrawNow(clYellow);
  const QImage after = RenderForm(form);
  // Inside both controls, to their last pixel, and nothing beyond.
  EXPECT_EQ(PixelAt(after, 10, 10), clLime);
  EXPECT_EQ(PixelAt(after, 39, 29), clLime);
  EXPECT_EQ(PixelAt(after, 40, 29), clBlue);
  EXPECT_EQ(PixelAt(after, 60, 10), clYellow);
  EXPECT_EQ(PixelAt(after, 99, 39), clYellow);
  EXPECT_EQ(PixelAt(after, 100, 39), clBlue);
}

TEST_F(ControlsTest, TransparentChildShowsItsParentsBackgroundAndEveryNonWindowedSibling) {
  // Non-windowed siblings overlapping the child's left half and its bottom
  // right corner, one made before the child and one after it: on the
  // screen both lie below it.
  auto* before = Add<TGraphicProbe>(form, "before", 0, 0, 70, 80);
  before->fill = clLime;
  auto* child = Create<TTransparentProbe>(form);
  child->SetBounds(50, 40, 40, 20);
  child->SetParent(form);
  auto* after = Add<TGraphicProbe>(form, "after", 80, 55, 30, 30);
  after->fill = clYellow;
  form->Show();
  const QImage image = RenderForm(form);
  EXPECT_EQ(PixelAt(image, 55, 45), clLime);  // the first sibling through the child
  EXPECT_EQ(PixelAt(image, 85, 45), clBlue);  // the form's background
  EXPECT_EQ(PixelAt(image, 70, 50), clRed);   // the child's own drawing
  EXPECT_EQ(PixelAt(image, 67, 50), clLime);
  EXPECT_EQ(PixelAt(image, 72, 50), clBlue);
  EXPECT_EQ(PixelAt(image, 69, 45), clLime);  // the first sibling's last column
  EXPECT_EQ(PixelAt(image, 70, 45), clBlue);
  EXPECT_EQ(PixelAt(image, 80, 55), clYellow);  // the later sibling through the child
  EXPECT_EQ(PixelAt(image, 89, 59), clYellow);
  EXPECT_EQ(PixelAt(image, 79, 55), clBlue);
  EXPECT_EQ(PixelAt(image, 80, 54), clBlue);
}

// A non-windowed control that fakes transparency (as a transparent caption
// may): its parent's background and the non-windowed siblings before it,
// then a small red square in its middle.
class TTransparentGraphic : public TGraphicControl {
  KESTRUNE_CLASS(TTransparentGraphic, TGraphicControl)
  using TGraphicControl::TGraphicControl;

 protected:
  void Paint() override {
    PaintParentBackground(this, Canvas());
    Canvas()->Brush()->SetColor(clRed);
    Canvas()->FillRect(Rect(18, 8, 22, 12));
  }
};

TEST_F(ControlsTest, TransparentNonWindowedChildShowsOnlyTheSiblingsBeforeIt) {
  auto* before = Add<TGraphicProbe>(form, "before", 0, 0, 70, 80);
  before->fill = clLime;
  auto* child = Create<TTransparentGraphic>(form);
  child->SetBounds(50, 40, 40, 20);
  child->SetParent(form);
  // Above the child: it paints over it.
  auto* after = Add<TGraphicProbe>(form, "after", 80, 55, 30, 30);
  after->fill = clYellow;
  form->Show();
  const QImage image = RenderForm(form);
  EXPECT_EQ(PixelAt(image, 55, 45), clLime);
  EXPECT_EQ(PixelAt(image, 85, 45), clBlue);
  EXPECT_EQ(PixelAt(image, 70, 50), clRed);
  EXPECT_EQ(PixelAt(image, 80, 55), clYellow);
}

TEST_F(ControlsTest, NonWindowedControlsAtTheMostNegativePlaceDrawNothingAndHarmNothing) {
  const struct { int left, top; } places[] = {{INT_MIN, 10}, {10, INT_MIN}, {INT_MIN, INT_MIN}};
  auto* near = Add<TGraphicProbe>(form, "near", 100, 60, 20, 20);
  near->fill = clLime;
  std::vector<TGraphicProbe*> far;
  for (const auto& p : places) {
    far.push_back(Add<TGraphicProbe>(form, "far", p.left, p.top, 30, 30));
    far.back()->fill = clRed;
  }
  form->Show();
  QImage image = RenderForm(form);
  // Drawn later, outside the paint cycle, too.
  for (TGraphicProbe* probe : far)
    probe->DrawNow(clYellow);
  near->DrawNow(clLime);
  image = RenderForm(form);
  EXPECT_EQ(PixelAt(image, 0, 0), clBlue);
  EXPECT_EQ(PixelAt(image, 10, 10), clBlue);
  EXPECT_EQ(PixelAt(image, 199, 119), clBlue);
  EXPECT_EQ(PixelAt(image, 110, 70), clLime);
}

// Controls at the ends of the range on a shown form: points go to the
// screen and back from the form's window's place plus the controls' bounds,
// exact where the result fits and saturated where it does not; the
// windowed ones get their widgets and keep their bounds, and nothing of
// them shows on the form.
TEST_F(ControlsTest, ControlsAtTheEndsOfTheRangeConvertPointsSaturatedAndShowNothing) {
  constexpr int kMin = INT32_MIN;
  constexpr int kMax = INT32_MAX;
  auto* right = Add<TCustomProbe>(form, "right", kMax - 10, kMin, 40, 30);
  auto* empty = Add<TCustomProbe>(form, "empty", kMin, kMin, 0, 0);
  auto* corner = Add<TGraphicProbe>(form, "corner", kMin, kMax, 30, 30);
  auto* inner = Add<TGraphicProbe>(right, "inner", 20, 5, 10, 10);
  form->Show();
  // Where the window system put the form's client area.
  const QPoint q = kestrune::WinWidget::Of(form)->mapToGlobal(QPoint(0, 0));
  const int64_t ox = q.x(), oy = q.y();
  auto fit = [](int64_t v) { return static_cast<int>(std::clamp<int64_t>(v, kMin, kMax)); };
  struct Case {
    const char* what;
    TControl* control;
    int64_t left, top;  // the sum of the bounds below the form
    TPoint point;
  };
  const Case cases[] = {
      {"windowed far right", right, int64_t{kMax} - 10, kMin, {5, 5}},
      {"windowed far right, back from the far end", right, int64_t{kMax} - 10, kMin, {kMax, kMin}},
      {"empty at the lowest", empty, kMin, kMin, {kMin, kMax}},
      {"non-windowed in the corner", corner, kMin, kMax, {-1, 1}},
      {"non-windowed inside the far right",
       inner,
       int64_t{kMax} + 10,
       int64_t{kMin} + 5,
       {kMin, kMax}},
  };
  for (const Case& c : cases) {
    const int64_t x = ox + c.left, y = oy + c.top;
    EXPECT_EQ(c.control->ClientOrigin(), Point(fit(x), fit(y))) << c.what;
    EXPECT_EQ(c.control->ClientToScreen(c.point), Point(fit(c.point.X + x), fit(c.point.Y + y)))
        << c.what;
    EXPECT_EQ(c.control->ScreenToClient(c.point), Point(fit(c.point.X - x), fit(c.point.Y - y)))
        << c.what;
  }
  EXPECT_NE(right->Widget(), nullptr);
  EXPECT_NE(empty->Widget(), nullptr);
  EXPECT_EQ(right->BoundsRect(), Rect(kMax - 10, kMin, kMax, kMin + 30));
  EXPECT_EQ(empty->BoundsRect(), Rect(kMin, kMin, kMin, kMin));
  const QImage image = RenderForm(form);
  for (const auto& [x, y] : {std::pair{0, 0}, std::pair{199, 0}, std::pair{0, 119},
                             std::pair{199, 119}, std::pair{100, 60}})
    EXPECT_EQ(PixelAt(image, x, y), clBlue) << x << "," << y;
}

// Fills its client area with lime and draws a red mark at `mark` (client
// coordinates).
class TMarkedProbe : public TCustomControl {
  KESTRUNE_CLASS(TMarkedProbe, TCustomControl)
  using TCustomControl::TCustomControl;
  TRect mark;

 protected:
  void Paint() override {
    Canvas()->Brush()->SetColor(clLime);
    Canvas()->FillRect(ClientRect());
    Canvas()->Brush()->SetColor(clRed);
    Canvas()->FillRect(mark);
  }
};

TEST_F(ControlsTest, ControlsLargerThanTheLargestWindowPaintTheirVisiblePart) {
  // As high as a control may be, from the top of the form down.
  auto* tall = Create<TMarkedProbe>(form);
  tall->SetBounds(10, 0, 40, INT_MAX);
  tall->mark = Rect(5, 100, 15, 110);
  tall->SetParent(form);
  // Wide and high, its top-left far above and left of the form: its
  // visible part lies at its bottom right, with a non-windowed child in it.
  auto* wide = Create<TMarkedProbe>(form);
  constexpr int kFar = 1 << 23;
  wide->SetBounds(-kFar, -kFar + 20, kFar + 200, kFar + 20);
  wide->mark = Rect(kFar + 60, kFar + 5, kFar + 70, kFar + 15);
  wide->SetParent(form);
  auto* inner = Add<TGraphicProbe>(wide, "inner", kFar + 80, kFar + 5, 10, 10);
  inner->fill = clYellow;
  form->Show();
  const QImage image = RenderForm(form);
  EXPECT_EQ(PixelAt(image, 10, 40), clLime);
  EXPECT_EQ(PixelAt(image, 49, 119), clLime);
  EXPECT_EQ(PixelAt(image, 15, 100), clRed);
  EXPECT_EQ(PixelAt(image, 24, 109), clRed);
  EXPECT_EQ(PixelAt(image, 25, 109), clLime);
  EXPECT_EQ(PixelAt(image, 50, 60), clBlue);
  // The wide control covers the form's top 40 rows.
  EXPECT_EQ(PixelAt(image, 199, 0), clLime);
  EXPECT_EQ(PixelAt(image, 199, 39), clLime);
  EXPECT_EQ(PixelAt(image, 199, 40), clBlue);
  EXPECT_EQ(PixelAt(image, 60, 25), clRed);
  EXPECT_EQ(PixelAt(image, 69, 34), clRed);
  EXPECT_EQ(PixelAt(image, 80, 25), clYellow);
  EXPECT_EQ(PixelAt(image, 89, 34), clYellow);
  EXPECT_EQ(PixelAt(image, 90, 34), clLime);
  // Drawn outside the paint cycle, the visible part shows as well.
  inner->DrawNow(clFuchsia);
  EXPECT_EQ(PixelAt(RenderForm(form), 85, 30), clFuchsia);
}

struct InputCase {
  const char* name;
  std::vector<std::pair<MouseAction, TPoint>> steps;  // points in the form's client area
  TShiftState modifiers;
  std::vector<std::string> expected;
};

class ControlsInputTest : public ControlsTest, public testing::WithParamInterface<InputCase> {};

// The form holds a custom control at (20, 10) 60 x 40 with a graphic
// control at (10, 5) 20 x 10 inside it, and a graphic control on the form
// at (100, 10) 30 x 30.
TEST_P(ControlsInputTest, ReachesTheRightControlWithItsCoordinatesShiftAndOrder) {
  const InputCase& c = GetParam();
  auto* scope = Add<TCustomProbe>(form, "scope", 20, 10, 60, 40);
  Add<TGraphicProbe>(scope, "inner", 10, 5, 20, 10);
  Add<TGraphicProbe>(form, "meter", 100, 10, 30, 30);
  form->Show();
  kestrune::testing::SetPointer(At(form, 190, 110));
  log.clear();
  for (const auto& [action, p] : c.steps)
    ASSERT_TRUE(SendMouse(action, At(form, p.X, p.Y), mbLeft, c.modifiers));
  EXPECT_EQ(log, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ControlsInputTest,
    testing::Values(
        InputCase{"PressAndReleaseInsideClicksAfterTheRelease",
                  {{MouseAction::Press, {25, 15}}, {MouseAction::Release, {26, 16}}},
                  {},
                  {"scope enter", "scope down left 5,5 L", "scope up left 6,6 -", "scope click"}},
        InputCase{"ReleaseOutsideMovesCapturedAndDoesNotClick",
                  {{MouseAction::Press, {25, 15}},
                   {MouseAction::Move, {150, 100}},
                   {MouseAction::Release, {150, 100}}},
                  TShiftState(ssShift | ssCtrl),
                  {"scope enter", "scope down left 5,5 SCL", "scope leave", "scope move 130,90 SCL",
                   "scope up left 130,90 SC"}},
        InputCase{"NonWindowedChildGetsItsOwnCoordinates",
                  {{MouseAction::Press, {31, 16}}, {MouseAction::Release, {31, 16}}},
                  {},
                  {"inner enter", "inner down left 1,1 L", "inner up left 1,1 -", "inner click"}},
        InputCase{
            "DoubleClickIsAPressWithDoubleThenDblClick",
            {{MouseAction::Press, {105, 15}},
             {MouseAction::Release, {105, 15}},
             {MouseAction::DoubleClick, {105, 15}},
             {MouseAction::Release, {105, 15}}},
            {},
            {"meter enter", "meter down left 5,5 L", "meter up left 5,5 -", "meter click",
             "meter down left 5,5 LD", "meter dblclick", "meter up left 5,5 -", "meter click"}},
        InputCase{
            "MovingAcrossControlsLeavesThenEnters",
            {{MouseAction::Move, {25, 15}}, {MouseAction::Move, {105, 15}}},
            {},
            {"scope enter", "scope move 5,5 -", "scope leave", "meter enter", "meter move 5,5 -"}}),
    [](const testing::TestParamInfo<InputCase>& info) { return info.param.name; });

TEST_F(ControlsTest, WheelAndKeysReachTheControlWithTheirStateAndHandlersMaySwallowKeys) {
  auto* scope = Add<TCustomProbe>(form, "scope", 20, 10, 60, 40);
  form->Show();
  kestrune::testing::SetPointer(At(form, 190, 110));
  log.clear();
  ASSERT_TRUE(kestrune::testing::SendWheel(At(scope, 7, 8), -WHEEL_DELTA, ssCtrl));
  ASSERT_TRUE(kestrune::testing::SendWheel(At(scope, 7, 8), WHEEL_DELTA, {}));
  scope->SetFocus();
  kestrune::testing::SendKey(form, Qt::Key_Plus, "+", ssShift);
  struct Swallow {
    void KeyPress(TObject*, char& key) { key = 0; }
  } swallow;
  scope->OnKeyPress = TKeyPressEvent(&swallow, &Swallow::KeyPress);
  kestrune::testing::SendKey(form, Qt::Key_Minus, "-", {});
  EXPECT_EQ(log, (std::vector<std::string>{"scope enter", "scope wheel down 7,8 C",
                                           "scope wheel up 7,8 -", "scope keydown 187 S",
                                           "scope keypress 43", "scope keydown 189 -",
                                           "scope keypress 0"}));
}

// Each case makes a handler raise; the exception must reach the central
// handler (written to stderr on the offscreen platform) and nothing else
// breaks.
struct RaiseCase {
  const char* name;
  void (*trigger)(ControlsTest& test, TCustomProbe* probe);
};

class ControlsRaiseTest : public ControlsTest, public testing::WithParamInterface<RaiseCase> {
 public:
  void Raise(TObject*) { throw EInvalidOperation("Gestionnaire en échec"); }
  void RaiseMouse(TObject*, TMouseButton, TShiftState, int, int) {
    throw EInvalidOperation("Gestionnaire en échec");
  }
};

TEST_P(ControlsRaiseTest, HandlerExceptionReachesTheCentralHandler) {
  auto* probe = Add<TCustomProbe>(form, "probe", 20, 10, 60, 40);
  form->Show();
  (void)RenderForm(form);
  testing::internal::CaptureStderr();
  GetParam().trigger(*this, probe);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find(GetParam().name[0] == 'P' ? "Peinture impossible" : "Gestionnaire en échec"),
            std::string::npos)
      << err;
  // The form still paints and takes input afterwards.
  probe->raiseInPaint = false;
  probe->OnMouseDown = nullptr;
  probe->Invalidate();
  EXPECT_EQ(PixelAt(RenderForm(form), 30, 20), clWhite);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ControlsRaiseTest,
    testing::Values(RaiseCase{"Paint",
                              [](ControlsTest& t, TCustomProbe* p) {
                                p->raiseInPaint = true;
                                p->Invalidate();
                                (void)RenderForm(t.form);
                              }},
                    RaiseCase{"Input",
                              [](ControlsTest& t, TCustomProbe* p) {
                                p->OnMouseDown = TMouseEvent(static_cast<ControlsRaiseTest*>(&t),
                                                             &ControlsRaiseTest::RaiseMouse);
                                SendMouse(MouseAction::Press, t.At(p, 3, 3));
                                SendMouse(MouseAction::Release, t.At(p, 3, 3));
                              }},
                    RaiseCase{"Timer",
                              [](ControlsTest& t, TCustomProbe*) {
                                TTimer* timer = Create<TTimer>(t.form);
                                timer->SetInterval(1);
                                timer->SetOnTimer(TNotifyEvent(static_cast<ControlsRaiseTest*>(&t),
                                                               &ControlsRaiseTest::Raise));
                                for (int i = 0; i < 200 && timer->Enabled(); ++i) {
                                  std::this_thread::sleep_for(std::chrono::milliseconds(2));
                                  Application->ProcessMessages();
                                  if (i == 50)
                                    timer->SetEnabled(false);
                                }
                                timer->Free();
                              }}),
    [](const testing::TestParamInfo<RaiseCase>& info) { return info.param.name; });

}  // namespace
