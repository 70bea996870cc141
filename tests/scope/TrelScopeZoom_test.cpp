// Zoom on a test scope whose axes show fixed ranges: by factor, about the
// pointer, by a selection in the plot area, the undo and redo history, the
// zoom-changed event and holding.
//
// The values under a pixel come from the axes' mapping rules: the X axis
// puts RangeMin at the plot's left column and RangeMax at its right - 1;
// the Y axis RangeMax at top + 1 and RangeMin at bottom - 1 (swapped when
// reversed); a turned chart runs X down from the top and Y leftward from
// the right.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <functional>
#include <utility>
#include <vector>

#include "scope/TrelScope.h"
#include "scope/TrelScopeRoutines.h"
#include "tests/scope/ScopeTestSupport.h"

namespace {

struct View {
  double XMin, XMax, YMin, YMax;
};

struct Event {
  TTrelZoomOperation Operation;
  View Ranges;
};

class TrelScopeZoomTest : public scopetest::ScopeFixture {
 protected:
  void SetUp() override {
    ScopeFixture::SetUp();
    FixScales(100, 0, 100);
    HideViews();
    scope_->SetBounds(0, 0, 400, 300);
    scope_->OnZoomChanged = TTrelZoomChangedEvent(this, &TrelScopeZoomTest::ZoomChanged);
    scope_->PaintTo();  // lays the views out
  }
  void ZoomChanged(TObject*, TTrelZoomOperation operation, TTrelRealRanges ranges) {
    events_.push_back({operation, {ranges.Min.X, ranges.Max.X, ranges.Min.Y, ranges.Max.Y}});
  }
  View Current() {
    return {scope_->GetViewXMin(), scope_->GetViewXMax(), scope_->GetViewYMin(),
            scope_->GetViewYMax()};
  }
  static void ExpectView(const View& got, const View& want, const std::string& what) {
    EXPECT_NEAR(got.XMin, want.XMin, 1e-9) << what;
    EXPECT_NEAR(got.XMax, want.XMax, 1e-9) << what;
    EXPECT_NEAR(got.YMin, want.YMin, 1e-9) << what;
    EXPECT_NEAR(got.YMax, want.YMax, 1e-9) << what;
  }
  // The axes' zoom windows (the X axis shows only their part inside the
  // data).
  View Windows() {
    View v{};
    scope_->GetXAxis()->GetZoomWindow(v.XMin, v.XMax);
    scope_->GetYAxis()->GetZoomWindow(v.YMin, v.YMax);
    return v;
  }
  TRect Plot() { return scope_->GetDataView()->Rect(); }
  TPoint PlotCentre() {
    const TRect r = Plot();
    return {(r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2};
  }
  void Wheel(TPoint p, bool down) { scope_->WheelAt(0, p, down); }
  void Select(TPoint from, TPoint to) {
    scope_->MouseMove(0, from.X, from.Y);
    scope_->MouseDown(mbLeft, 0, from.X, from.Y);
    scope_->MouseMove(0, to.X, to.Y);
    scope_->MouseUp(mbLeft, 0, to.X, to.Y);
  }

  // The X value under the screen coordinate `p` along the X axis.
  double XValueAt(int p) {
    const TRect r = Plot();
    const View v = Current();
    const bool turned = scope_->GetVertical();
    const int start = turned ? r.Top : r.Left;
    const int length = turned ? r.Bottom - r.Top - 1 : r.Right - r.Left - 1;
    return v.XMin + (static_cast<double>(p) - start) * (v.XMax - v.XMin) / length;
  }
  // The Y value (its signed logarithm on a logarithmic axis) under `p`
  // along the Y axis.
  double YPositionValueAt(int p) {
    const TRect r = Plot();
    const View v = Current();
    const bool turned = scope_->GetVertical();
    const bool log = scope_->GetYAxis()->GetLogarithmic();
    const double lo = log ? SignedLog10(v.YMin) : v.YMin;
    const double hi = log ? SignedLog10(v.YMax) : v.YMax;
    const int first = (turned ? r.Left : r.Top) + 1;
    const int span = turned ? r.Right - r.Left - 3 : r.Bottom - r.Top - 3;
    const double along = (static_cast<double>(p) - first) * (hi - lo) / span;
    return scope_->GetYAxis()->GetReversed() ? lo + along : hi - along;
  }
  double XPixelWorth() {
    const TRect r = Plot();
    const View v = Current();
    const int length = scope_->GetVertical() ? r.Bottom - r.Top - 1 : r.Right - r.Left - 1;
    return (v.XMax - v.XMin) / length;
  }
  double YPixelWorth() {
    const TRect r = Plot();
    const View v = Current();
    const bool log = scope_->GetYAxis()->GetLogarithmic();
    const double range = log ? SignedLog10(v.YMax) - SignedLog10(v.YMin) : v.YMax - v.YMin;
    return range / (scope_->GetVertical() ? r.Right - r.Left - 3 : r.Bottom - r.Top - 3);
  }
  // The pointer's coordinates along the X and the Y axis.
  int AlongX(TPoint p) { return scope_->GetVertical() ? p.Y : p.X; }
  int AlongY(TPoint p) { return scope_->GetVertical() ? p.X : p.Y; }

  std::vector<Event> events_;
};

// One history, step by step.
TEST_F(TrelScopeZoomTest, HistoryScenario) {
  struct Step {
    const char* what;
    std::function<void()> act;
    View view;
    bool zoomed;
    bool canBack;
    bool canForward;
    std::vector<TTrelZoomOperation> events;
  };
  const View start{0, 100, 0, 100};
  const View half{25, 75, 25, 75};
  const View wide{0, 100, -50, 150};  // X clips to its data
  const std::vector<Step> steps = {
      {"ZoomBy(0.5)", [&] { scope_->ZoomBy(0.5); }, half, true, true, false, {zoZoom}},
      {"ZoomReset", [&] { scope_->ZoomReset(); }, start, false, true, false, {zoReset}},
      {"ZoomBy(2.0)", [&] { scope_->ZoomBy(2.0); }, wide, true, true, false, {zoZoom}},
      {"ZoomBack", [&] { scope_->ZoomBack(); }, start, false, true, true, {zoBack}},
      {"ZoomBack again", [&] { scope_->ZoomBack(); }, half, true, true, true, {zoBack}},
      {"ZoomForward", [&] { scope_->ZoomForward(); }, start, false, true, true, {zoForward}},
      {"a new zoom empties the redo list",
       [&] { scope_->ZoomByXY(0.5, 1.0); },
       {25, 75, 0, 100},
       true,
       true,
       false,
       {zoZoom}},
  };
  for (const Step& step : steps) {
    events_.clear();
    step.act();
    ExpectView(Current(), step.view, step.what);
    EXPECT_EQ(scope_->IsZoomed(), step.zoomed) << step.what;
    EXPECT_EQ(scope_->CanZoomBack(), step.canBack) << step.what;
    EXPECT_EQ(scope_->CanZoomForward(), step.canForward) << step.what;
    ASSERT_EQ(events_.size(), step.events.size()) << step.what;
    for (std::size_t i = 0; i < events_.size(); ++i) {
      EXPECT_EQ(events_[i].Operation, step.events[i]) << step.what;
      ExpectView(events_[i].Ranges, step.view, step.what);
    }
    EXPECT_FALSE(scope_->IsHeld()) << step.what << ": ZoomBy never holds";
  }
}

TEST_F(TrelScopeZoomTest, WheelRunsUndoAsOneStep) {
  for (int i = 0; i < 10; ++i)
    Wheel({PlotCentre().X + 7 * i, PlotCentre().Y - 5 * i}, i % 3 == 2);
  ASSERT_TRUE(scope_->IsZoomed());
  ASSERT_EQ(events_.size(), 10u);
  EXPECT_EQ(events_.back().Operation, zoWheel);
  scope_->ZoomBack();
  ExpectView(Current(), {0, 100, 0, 100}, "one ZoomBack after ten wheel steps");
  EXPECT_FALSE(scope_->IsZoomed());
  EXPECT_FALSE(scope_->CanZoomBack());

  // Clearing the history ends the run: the next wheel step is stored.
  Wheel(PlotCentre(), false);
  scope_->ClearZoomHistory();
  Wheel(PlotCentre(), false);
  EXPECT_TRUE(scope_->CanZoomBack());
  scope_->Unzoom();

  // Switched off, the wheel changes nothing and stores nothing.
  scope_->GetZooming()->MouseWheelEnabled = false;
  scope_->ClearZoomHistory();
  events_.clear();
  Wheel(PlotCentre(), false);
  ExpectView(Current(), {0, 100, 0, 100}, "wheel off");
  EXPECT_FALSE(scope_->CanZoomBack());
  EXPECT_TRUE(events_.empty());
}

TEST_F(TrelScopeZoomTest, ListEdges) {
  // ZoomBack on an empty undo list fires nothing but puts the view on the
  // redo list; ZoomForward brings that same view back.
  scope_->ZoomBack();
  EXPECT_TRUE(events_.empty());
  ASSERT_TRUE(scope_->CanZoomForward());
  scope_->ZoomForward();
  ASSERT_EQ(events_.size(), 1u);
  EXPECT_EQ(events_[0].Operation, zoForward);
  ExpectView(Current(), {0, 100, 0, 100}, "forward after an empty back");

  // An identical push is dropped: two resets of one view store one entry.
  scope_->ClearZoomHistory();
  scope_->ZoomReset();
  scope_->ZoomReset();
  scope_->ZoomBack();
  EXPECT_FALSE(scope_->CanZoomBack());

  // After 101 distinct zooms, 100 can be undone.
  scope_->ClearZoomHistory();
  for (int i = 0; i < 101; ++i)
    scope_->ZoomBy(0.9);
  events_.clear();
  int undone = 0;
  while (scope_->CanZoomBack()) {
    scope_->ZoomBack();
    ++undone;
  }
  EXPECT_EQ(undone, 100);
  EXPECT_EQ(events_.size(), 100u);
  const double r = 100.0 * std::pow(0.9, 1);  // the state after the first zoom
  EXPECT_NEAR(Current().YMax - Current().YMin, r, 1e-6);
}

TEST_F(TrelScopeZoomTest, AnXAxisLabelledWithItsOwnTickValuesZoomsItsWindow) {
  FixScales(2048, 0, 100);
  TTrelScopeXAxis* x = scope_->GetXAxis();
  x->SetTicksMode(atmManual);
  x->GetMin()->GetTick()->SetValue(0.0);
  x->GetMax()->GetTick()->SetValue(1.0);
  ASSERT_DOUBLE_EQ(x->LabelMax(), 1.0);
  scope_->ZoomBy(0.5);
  EXPECT_DOUBLE_EQ(scope_->GetViewXMin(), 512.0);
  EXPECT_DOUBLE_EQ(scope_->GetViewXMax(), 1536.0);
}

TEST_F(TrelScopeZoomTest, AxesZoomOnlyTheirOwnRangeAndADragReportsAZoom) {
  scope_->GetYAxis()->SetVisible(true);
  scope_->GetXAxis()->SetVisible(true);
  scope_->PaintTo();
  TTrelScopeYAxis* y = scope_->GetYAxis();
  const TPoint overY{(y->Left + y->Right) / 2, (y->Top + y->Bottom) / 2 + 20};
  Wheel(overY, false);
  View v = Current();
  ExpectView({v.XMin, v.XMax, 0, 0}, {0, 100, 0, 0}, "wheel over the Y axis: X stays");
  EXPECT_LT(v.YMax - v.YMin, 100.0 - 1e-6);
  EXPECT_NEAR(v.YMax - v.YMin, 90.0, 1e-9);
  y->ZoomIn();
  v = Current();
  EXPECT_DOUBLE_EQ(v.XMin, 0.0);
  EXPECT_DOUBLE_EQ(v.XMax, 100.0);
  EXPECT_NEAR(v.YMax - v.YMin, 45.0, 1e-9);

  events_.clear();
  const int cx = (y->Left + y->Right) / 2, cy = (y->Top + y->Bottom) / 2;
  scope_->MouseMove(0, cx, cy);
  scope_->MouseDown(mbLeft, 0, cx, cy);
  scope_->MouseMove(0, cx, cy + 10);
  scope_->MouseUp(mbLeft, 0, cx, cy + 10);
  ASSERT_FALSE(events_.empty());
  EXPECT_EQ(events_.back().Operation, zoZoom);
}

// Linear, reversed, turned, turned and reversed; the pointer at the centre
// and near each edge: the values under the pointer stay within a pixel.
TEST_F(TrelScopeZoomTest, TheWheelKeepsTheValuesUnderThePointer) {
  struct Case {
    const char* what;
    bool vertical;
    bool reversed;
  };
  const Case cases[] = {{"linear", false, false},
                        {"reversed", false, true},
                        {"vertical", true, false},
                        {"vertical reversed", true, true}};
  for (const Case& c : cases) {
    scope_->SetVertical(c.vertical);
    scope_->GetYAxis()->SetReversed(c.reversed);
    scope_->PaintTo();
    const TRect r = Plot();
    const TPoint points[] = {PlotCentre(),
                             {r.Left + 3, PlotCentre().Y},
                             {r.Right - 4, PlotCentre().Y},
                             {PlotCentre().X, r.Top + 3},
                             {PlotCentre().X, r.Bottom - 4}};
    for (const TPoint p : points) {
      for (const bool fromMiddleHalf : {false, true}) {
        scope_->Unzoom();
        if (fromMiddleHalf)
          scope_->SetZoomRange(25, 75, 25, 75);
        const double x0 = XValueAt(AlongX(p)), y0 = YPositionValueAt(AlongY(p));
        Wheel(p, fromMiddleHalf);  // in from the start, out from the half
        const std::string what = std::string(c.what) + (fromMiddleHalf ? " out" : " in") + " at " +
                                 std::to_string(p.X) + "," + std::to_string(p.Y);
        EXPECT_LT(std::abs(XValueAt(AlongX(p)) - x0), XPixelWorth()) << what;
        EXPECT_LT(std::abs(YPositionValueAt(AlongY(p)) - y0), YPixelWorth()) << what;
        const double factor = fromMiddleHalf ? 1.1 : 0.9;
        const double before = fromMiddleHalf ? 50.0 : 100.0;
        EXPECT_NEAR(Current().YMax - Current().YMin, before * factor, 1e-9) << what;
      }
    }
  }
}

// The selection's edges become the view's ends.
TEST_F(TrelScopeZoomTest, ASelectionBecomesTheView) {
  struct Case {
    const char* what;
    bool vertical;
    bool reversed;
    bool log;
    double yMin, yMax;
  };
  const Case cases[] = {{"linear", false, false, false, 0, 100},
                        {"reversed", false, true, false, 0, 100},
                        {"logarithmic", false, false, true, -1000, 1000},
                        {"vertical", true, false, false, 0, 100}};
  for (const Case& c : cases) {
    scope_->SetVertical(c.vertical);
    scope_->GetYAxis()->SetReversed(c.reversed);
    scope_->GetYAxis()->SetLogarithmic(c.log);
    scope_->GetYAxis()->SetMin(c.yMin);
    scope_->GetYAxis()->SetMax(c.yMax);
    scope_->Unzoom();
    scope_->SetHold(false);
    scope_->ClearZoomHistory();
    scope_->PaintTo();
    const TRect r = Plot();
    const TPoint a{r.Left + (r.Right - r.Left) / 5, r.Top + (r.Bottom - r.Top) / 3};
    const TPoint b{r.Left + (r.Right - r.Left) * 3 / 4, r.Top + (r.Bottom - r.Top) * 4 / 5};
    // Expected ends: the values under the edges before the zoom.
    const double x1 = XValueAt(AlongX(a)), x2 = XValueAt(AlongX(b));
    const double y1 = YPositionValueAt(AlongY(a)), y2 = YPositionValueAt(AlongY(b));
    const double xWorth = XPixelWorth(), yWorth = YPixelWorth();
    events_.clear();
    Select(a, b);
    ASSERT_EQ(events_.size(), 1u) << c.what;
    EXPECT_EQ(events_[0].Operation, zoZoom) << c.what;
    const View v = Current();
    const double yLo = c.log ? SignedLog10(v.YMin) : v.YMin;
    const double yHi = c.log ? SignedLog10(v.YMax) : v.YMax;
    EXPECT_NEAR(v.XMin, std::min(x1, x2), 2 * xWorth) << c.what;
    EXPECT_NEAR(v.XMax, std::max(x1, x2), 2 * xWorth) << c.what;
    EXPECT_NEAR(yLo, std::min(y1, y2), 2 * yWorth) << c.what;
    EXPECT_NEAR(yHi, std::max(y1, y2), 2 * yWorth) << c.what;
    EXPECT_TRUE(scope_->CanZoomBack()) << c.what;
    EXPECT_TRUE(scope_->IsHeld()) << c.what << ": HoldOnZoom";
  }
}

TEST_F(TrelScopeZoomTest, SelectionsThatAreNoZoom) {
  struct Case {
    const char* what;
    bool log;
    double yMin, yMax;
    TPoint to;  // from the plot's centre
  };
  const Case cases[] = {
      {"under 5 pixels both ways", false, 0, 100, {4, -4}},
      {"the logarithmic zero on the bottom edge", true, 0, 1000, {40, 30}},
      {"a logarithmic range with equal ends", true, 5, 5, {40, 30}},
  };
  for (const Case& c : cases) {
    scope_->GetYAxis()->SetLogarithmic(c.log);
    scope_->GetYAxis()->SetMin(c.yMin);
    scope_->GetYAxis()->SetMax(c.yMax);
    scope_->PaintTo();
    const View before = Current();
    events_.clear();
    const TPoint from = PlotCentre();
    Select(from, {from.X + c.to.X, from.Y + c.to.Y});
    ExpectView(Current(), before, c.what);
    EXPECT_FALSE(scope_->IsZoomed()) << c.what;
    EXPECT_FALSE(scope_->CanZoomBack()) << c.what;
    EXPECT_TRUE(events_.empty()) << c.what;
    EXPECT_FALSE(scope_->IsHeld()) << c.what;
    for (const double bound : {Current().YMin, Current().YMax})
      EXPECT_TRUE(std::isfinite(bound)) << c.what;
  }
}

TEST_F(TrelScopeZoomTest, AWheelStepOnAPlotWithoutExtentDoesNothing) {
  // The axes hand their wheel steps on whatever the plot area's size.
  scope_->SetBounds(0, 0, 400, 1);
  scope_->PaintTo();
  ASSERT_EQ(scope_->GetDataView()->PlotRect().Bottom, scope_->GetDataView()->PlotRect().Top);
  scope_->ZoomAtPoint({100, 0}, 1.0, 0.9);
  EXPECT_FALSE(scope_->IsZoomed());
  EXPECT_FALSE(scope_->CanZoomBack());
  EXPECT_TRUE(events_.empty());
  for (const double bound : {Current().XMin, Current().XMax, Current().YMin, Current().YMax})
    EXPECT_TRUE(std::isfinite(bound));
}

// A wheel step at a pointer anywhere in the 32-bit range, far outside the
// plot too: the value under the pointer stays and the range takes the
// factor. Along a span [S, E] the pointer p lies at u = (p - S) / (E - S)
// of the span; where the values grow along the screen direction the new
// window is [lo + range (1 - f) u, hi - range (1 - f) (1 - u)], against it
// u becomes 1 - u. For instance with the plot's columns from 53 to 400,
// X 0..100 and f = 0.9, p = INT_MIN gives u = -2147483701 / 347 and the
// window [-61887138.4, -61887048.4].
TEST_F(TrelScopeZoomTest, AWheelStepAtAnExtremePointerKeepsTheValueUnderIt) {
  constexpr int kMin = INT32_MIN;
  constexpr int kMax = INT32_MAX;
  struct Case {
    const char* what;
    bool vertical;
    bool reversed;
    TPoint point;
    double factor;
  };
  const Case cases[] = {
      {"both at the lowest", false, false, {kMin, kMin}, 0.9},
      {"both at the highest", false, false, {kMax, kMax}, 1.1},
      {"x lowest, y highest", false, false, {kMin, kMax}, 0.9},
      {"x next to the highest, y next to the lowest", false, false, {kMax - 1, kMin + 1}, 1.1},
      {"reversed", false, true, {kMin, kMin}, 0.9},
      {"vertical", true, false, {kMin, kMax}, 0.9},
      {"vertical reversed", true, true, {kMax, kMin}, 1.1},
  };
  // The plot no longer starts at 0 on either side.
  scope_->GetYAxis()->SetVisible(true);
  scope_->GetTitle()->SetVisible(true);
  for (const Case& c : cases) {
    scope_->SetVertical(c.vertical);
    scope_->GetYAxis()->SetReversed(c.reversed);
    scope_->Unzoom();
    scope_->PaintTo();
    const TRect plot = scope_->GetDataView()->PlotRect();
    ASSERT_GT(plot.Left, 0) << c.what;
    ASSERT_GT(plot.Top, 0) << c.what;
    const View before = Current();
    // The fraction of the span along which the values grow.
    auto along = [](double p, double start, double end, bool growing) {
      const double u = (p - start) / (end - start);
      return growing ? u : 1.0 - u;
    };
    const double ux = c.vertical ? along(c.point.Y, plot.Top, plot.Bottom, true)
                                 : along(c.point.X, plot.Left, plot.Right, true);
    // Pixel y grows downward and a turned Y axis runs its values leftward:
    // values grow against the screen direction unless reversed.
    const double uy = c.vertical ? along(c.point.X, plot.Left, plot.Right, c.reversed)
                                 : along(c.point.Y, plot.Top, plot.Bottom, c.reversed);
    const double xRange = before.XMax - before.XMin, yRange = before.YMax - before.YMin;
    const View want = {before.XMin + xRange * (1 - c.factor) * ux,
                       before.XMax - xRange * (1 - c.factor) * (1 - ux),
                       before.YMin + yRange * (1 - c.factor) * uy,
                       before.YMax - yRange * (1 - c.factor) * (1 - uy)};
    events_.clear();
    scope_->ZoomAtPoint(c.point, c.factor, c.factor);
    const View got = Windows();
    for (const auto& [g, w] : {std::pair{got.XMin, want.XMin}, std::pair{got.XMax, want.XMax},
                               std::pair{got.YMin, want.YMin}, std::pair{got.YMax, want.YMax}})
      EXPECT_NEAR(g, w, 1e-9 * std::max(1.0, std::abs(w))) << c.what;
    EXPECT_NEAR(got.XMax - got.XMin, xRange * c.factor, 1e-6) << c.what;
    EXPECT_NEAR(got.YMax - got.YMin, yRange * c.factor, 1e-6) << c.what;
    ASSERT_EQ(events_.size(), 1u) << c.what;
    EXPECT_EQ(events_[0].Operation, zoWheel) << c.what;
  }
}

// The wheel over a scope whose origin lies at the ends of the range: the
// screen point becomes the client point it is, saturated where it does not
// fit (and then outside the plot, so nothing zooms).
TEST_F(TrelScopeZoomTest, TheWheelOverAScopeAtAnExtremeOriginZoomsOnlyInsideThePlot) {
  constexpr int kMin = INT32_MIN;
  constexpr int kMax = INT32_MAX;
  struct Case {
    const char* what;
    TPoint origin, screen;
    bool zooms;
    TPoint client;  // where it zooms
  };
  const Case cases[] = {
      {"the centre, origin at the lowest",
       {kMin, kMin},
       {kMin + 200, kMin + 150},
       true,
       {200, 150}},
      {"the centre, origin near the highest",
       {kMax - 400, kMax - 300},
       {kMax - 200, kMax - 150},
       true,
       {200, 150}},
      // 100 - kMin and -100 - kMax do not fit: saturated, far outside.
      {"far right and above", {kMin, kMax}, {100, -100}, false, {}},
      {"far left and below", {kMax, kMin}, {kMin, kMax}, false, {}},
  };
  for (const Case& c : cases) {
    scope_->SetBounds(c.origin.X, c.origin.Y, 400, 300);
    scope_->Unzoom();
    scope_->PaintTo();
    const View before = Current();
    events_.clear();
    scope_->DoMouseWheelDown(0, c.screen);
    if (!c.zooms) {
      ExpectView(Current(), before, c.what);
      EXPECT_TRUE(events_.empty()) << c.what;
      continue;
    }
    const View wheeled = Current();
    scope_->Unzoom();
    scope_->ZoomAtPoint(c.client, 1.1, 1.1);
    ExpectView(wheeled, Current(), c.what);
  }
}

// A selection dragged to the ends of the range becomes the window of the
// values under its edges: the anchor's end within two pixels, the far end
// within 1 % (the two ends of a selection count a pixel's worth apart from
// the axes' own placement, which over 2^31 pixels adds up).
TEST_F(TrelScopeZoomTest, ASelectionToAnExtremePointBecomesTheView) {
  constexpr int kMin = INT32_MIN;
  constexpr int kMax = INT32_MAX;
  const TPoint ends[] = {{kMin, kMin}, {kMax, kMax}, {kMin, kMax}, {kMax, kMin}};
  for (const TPoint to : ends) {
    scope_->Unzoom();
    scope_->SetHold(false);
    scope_->PaintTo();
    const TPoint from = PlotCentre();
    const double x1 = XValueAt(from.X), x2 = XValueAt(to.X);
    const double y1 = YPositionValueAt(from.Y), y2 = YPositionValueAt(to.Y);
    const double xWorth = XPixelWorth(), yWorth = YPixelWorth();
    const std::string what = std::to_string(to.X) + "," + std::to_string(to.Y);
    events_.clear();
    Select(from, to);
    ASSERT_EQ(events_.size(), 1u) << what;
    const View v = Windows();
    const bool xUp = x2 > x1, yUp = y2 > y1;
    EXPECT_NEAR(xUp ? v.XMin : v.XMax, x1, 2 * xWorth) << what;
    EXPECT_NEAR(xUp ? v.XMax : v.XMin, x2, 0.01 * std::abs(x2)) << what;
    EXPECT_NEAR(yUp ? v.YMin : v.YMax, y1, 2 * yWorth) << what;
    EXPECT_NEAR(yUp ? v.YMax : v.YMin, y2, 0.01 * std::abs(y2)) << what;
  }
}

TEST_F(TrelScopeZoomTest, HoldOnZoomDecidesWhetherLiveDataKeepsFlowing) {
  const TPoint from = PlotCentre();
  producer_->Send(0, std::vector<double>(100, 10.0));
  scope_->UpdateData();
  ASSERT_EQ(Channel(0)->DisplayedY()->GetData()[0], 10.0);

  Select(from, {from.X + 60, from.Y + 40});
  EXPECT_TRUE(scope_->IsHeld());
  producer_->Send(0, std::vector<double>(100, 20.0));
  scope_->UpdateData();
  EXPECT_EQ(Channel(0)->DisplayedY()->GetData()[0], 10.0) << "held";

  scope_->SetHold(false);
  scope_->ZoomReset();
  scope_->GetZooming()->HoldOnZoom = false;
  Select(from, {from.X + 60, from.Y + 40});
  EXPECT_TRUE(scope_->IsZoomed());
  EXPECT_FALSE(scope_->IsHeld());
  producer_->Send(0, std::vector<double>(100, 30.0));
  scope_->UpdateData();
  EXPECT_EQ(Channel(0)->DisplayedY()->GetData()[0], 30.0) << "live in the zoomed view";
}

}  // namespace
