// Cursors, their channel links, and cursor links: colours and pairs,
// positions with their limits and snapping, drawing, dragging with its
// trails and events, the measurement line and the selection, the stored
// references and what happens when cursors and channels go away.
#include "scope/TrelScopeCursors.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "platform/classes/Streaming.h"
#include "tests/scope/ScopeTestSupport.h"

namespace {

using scopetest::ScopeFixture;

// A plot of 401 x 202 pixels: X 0..400 on columns 0..400, Y -100..100 on
// rows 201..1 (row = 101 - value). Channel 1 is hidden.
class TrelScopeCursorTest : public ScopeFixture {
 protected:
  void SetUp() override {
    ScopeFixture::SetUp();
    BarePlot(401, 202, 400, -100, 100);
    scope_->GetHighlighting()->GetMouseHitPoint()->SetEnabled(false);
    Channel(1)->SetVisible(false);
  }
  TTrelDisplayCursors* Cursors() { return scope_->GetCursors(); }
  TTrelDisplayCursorLinks* Links() { return scope_->GetCursorLinks(); }
  TTrelDisplayCursor* AddCursor(TTrelDisplayCursorKind kind, double x, double y) {
    TTrelDisplayCursor* c = Cursors()->Add();
    c->SetKind(kind);
    c->GetPosition()->SetX(x);
    c->GetPosition()->SetY(y);
    return c;
  }
  // 401 samples of the given values: their X values are their indices.
  void SendRamp(double from, double step) {
    std::vector<double> v(401);
    for (int i = 0; i < 401; ++i)
      v[static_cast<std::size_t>(i)] = from + i * step;
    producer_->Send(0, v);
    Refresh();
  }
  int CountIn(TColor colour, int left, int top, int right, int bottom) {
    int n = 0;
    for (int y = top; y < bottom; ++y)
      for (int x = left; x < right; ++x)
        n += PixelAt(x, y) == colour;
    return n;
  }
  std::vector<TColor> Picture() {
    std::vector<TColor> p;
    for (int y = 0; y < 202; ++y)
      for (int x = 0; x < 401; ++x)
        p.push_back(PixelAt(x, y));
    return p;
  }
  void Press(int x, int y) {
    scope_->MouseMove(0, x, y);
    scope_->MouseDown(mbLeft, 0, x, y);
  }
  void Release(int x, int y) {
    scope_->MouseMove(0, x, y);
    scope_->MouseUp(mbLeft, 0, x, y);
  }
};

// --------------------------------------------------------------------------
// Cursors

TEST_F(TrelScopeCursorTest, NewCursorsTakeTheLeastUsedPaletteColour) {
  const TColor palette[] = {clRed,   clLime,   clBlue,   clYellow,  clAqua, clCream, clOlive,
                            clWhite, clSilver, clPurple, clFuchsia, clTeal, clNavy};
  for (TColor colour : palette)
    EXPECT_EQ(Cursors()->Add()->GetColor(), colour);
  EXPECT_EQ(Cursors()->GetItem(0)->GetName(), "Cursor1");
  EXPECT_EQ(Cursors()->GetItem(12)->GetName(), "Cursor13");
  EXPECT_EQ(Cursors()->Add()->GetColor(), clRed);  // the fourteenth
  Cursors()->Delete(13);
  Cursors()->Delete(2);  // the only blue one
  EXPECT_EQ(Cursors()->Add()->GetColor(), clBlue);
}

TEST_F(TrelScopeCursorTest, PositionsAreLimitedOnWritingAndOnReading) {
  TTrelDisplayCursor* c = Cursors()->Add();
  TTrelDisplayCursorPosition* p = c->GetPosition();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  struct Case {
    double written, stored;
  };
  for (const Case& k : {Case{-5.0, 0.0}, Case{123.5, 123.5}, Case{450.0, 400.0}, Case{nan, 400.0},
                        Case{inf, 400.0}, Case{-inf, 400.0}}) {
    SCOPED_TRACE(k.written);
    p->SetX(k.written);
    EXPECT_EQ(p->StoredX(), k.stored);
  }
  p->SetY(-250.0);  // Y is not limited to the range
  EXPECT_EQ(p->GetY(), -250.0);
  p->SetY(nan);
  EXPECT_EQ(p->GetY(), -250.0);
  // Reading limits the stored X to the current range.
  p->SetX(50.0);
  scope_->GetXAxis()->GetMin()->SetValue(100.0);
  EXPECT_EQ(p->StoredX(), 50.0);
  EXPECT_EQ(p->GetX(), 100.0);
}

TEST_F(TrelScopeCursorTest, SnapToSampleMovesCursorsOntoSamples) {
  SendRamp(-50.0, 0.25);  // sample i: X i, Y -50 + i / 4
  TTrelDisplayCursor* c = AddCursor(ckBoth, 100.4, 10.1);
  EXPECT_EQ(c->GetPosition()->GetX(), 100.4);
  scope_->GetXAxis()->GetCursorSettings()->SetSnapToSample(true);
  EXPECT_EQ(c->GetPosition()->GetX(), 100.0);
  EXPECT_EQ(c->GetPosition()->GetY(), 10.1);
  scope_->GetYAxis()->GetCursorSettings()->SetSnapToSample(true);
  EXPECT_EQ(c->GetPosition()->GetY(), 10.0);
  // A value outside the samples stays as it is.
  c->GetPosition()->SetY(80.0);
  EXPECT_EQ(c->GetPosition()->GetY(), 80.0);
}

TEST_F(TrelScopeCursorTest, LinesAtTheirPixelsAndAtTheLeftEdgeOverAZeroRange) {
  TTrelDisplayCursor* v = AddCursor(ckVertical, 100.0, 0.0);
  TTrelDisplayCursor* h = AddCursor(ckHorizontal, 0.0, 30.0);
  Refresh();
  EXPECT_EQ(PixelAt(100, 50), v->GetColor());
  EXPECT_EQ(PixelAt(100, 200), v->GetColor());
  EXPECT_EQ(PixelAt(250, 71), h->GetColor());
  EXPECT_NE(PixelAt(101, 50), v->GetColor());
  // An invisible cursor is neither drawn nor hit.
  v->SetVisible(false);
  Refresh();
  EXPECT_NE(PixelAt(100, 50), v->GetColor());
  bool onX = false, onY = false;
  EXPECT_FALSE(v->HitTest(scope_->GetDataView()->CurrentFrame(), 100, 50, onX, onY));
  // X minimum equal to the maximum: the line still stands, at the left.
  v->SetVisible(true);
  scope_->GetXAxis()->GetMin()->SetValue(100.0);
  scope_->GetXAxis()->GetMax()->SetValue(100.0);
  ASSERT_EQ(scope_->GetXAxis()->RangeMin(), scope_->GetXAxis()->RangeMax());
  Refresh();
  EXPECT_EQ(PixelAt(0, 50), v->GetColor());
}

TEST_F(TrelScopeCursorTest, APressStartsTheDragAndTheReleaseMovesTheCursor) {
  TTrelDisplayCursor* c = AddCursor(ckBoth, 100.0, 0.0);
  Refresh();
  std::vector<std::string> events;
  struct Recorder : TObject {
    std::vector<std::string>* events;
    TTrelRealPoint last;
    void Down(TObject*, TMouseButton, TShiftState, int, int) { events->push_back("down"); }
    void Up(TObject*, TMouseButton, TShiftState, int, int) { events->push_back("up"); }
    void Click(TObject*) { events->push_back("click"); }
    void Moved(TObject*, int index, TTrelRealPoint, TTrelRealPoint now) {
      events->push_back("move " + std::to_string(index));
      last = now;
    }
  } recorder;
  recorder.events = &events;
  c->OnMouseDown = TMouseEvent(&recorder, &Recorder::Down);
  c->OnMouseUp = TMouseEvent(&recorder, &Recorder::Up);
  c->OnClick = TNotifyEvent(&recorder, &Recorder::Click);
  Cursors()->OnPositionChange = TTrelPositionChangeEvent(&recorder, &Recorder::Moved);

  struct Case {
    const char* name;
    TPoint press, release;
    TTrelRealPoint expected;
    std::vector<std::string> events;
  };
  const Case cases[] = {
      // On the horizontal line only: moves only in Y, to the value under the
      // mouse: 100 - 51 * 200 / (201 - 1).
      {"horizontal line", {300, 102}, {250, 51}, {100.0, 49.0}, {"down", "click", "move 0", "up"}},
      // Released where it lies: no position change, but the release.
      {"no move", {102, 30}, {100, 30}, {100.0, 49.0}, {"down", "click", "up"}},
      // On the vertical line, released right of the plot: the event has the
      // mouse's value, the position the limited one.
      {"past the edge", {99, 150}, {420, 150}, {400.0, 49.0}, {"down", "click", "move 0", "up"}},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    events.clear();
    Press(k.press.X, k.press.Y);
    EXPECT_EQ(scope_->GetDataView()->DraggedCursor(), c);
    EXPECT_FALSE(scope_->GetDataView()->IsSelecting());  // no zoom selection
    Release(k.release.X, k.release.Y);
    EXPECT_EQ(scope_->GetDataView()->DraggedCursor(), nullptr);
    EXPECT_EQ(c->GetPosition()->GetX(), k.expected.X);
    EXPECT_EQ(c->GetPosition()->GetY(), k.expected.Y);
    EXPECT_EQ(events, k.events);
  }
  EXPECT_EQ(recorder.last.X, 420.0);  // before limiting
  // A press beside every cursor starts a zoom selection instead.
  Press(200, 150);
  EXPECT_TRUE(scope_->GetDataView()->IsSelecting());
  Release(200, 150);
}

TEST_F(TrelScopeCursorTest, APlotWithoutExtentMovesNothing) {
  TTrelDisplayCursor* c = AddCursor(ckBoth, 100.0, 20.0);
  int moves = 0;
  struct Counter : TObject {
    int* n;
    void Moved(TObject*, int, TTrelRealPoint, TTrelRealPoint) { ++*n; }
  } counter;
  counter.n = &moves;
  Cursors()->OnPositionChange = TTrelPositionChangeEvent(&counter, &Counter::Moved);
  TTrelPlotFrame frame = scope_->GetDataView()->CurrentFrame();
  frame.Plot = {10, 10, 11, 11};  // one pixel each way
  c->MoveToMouse(true, true, frame, 10, 10);
  EXPECT_EQ(c->GetPosition()->StoredX(), 100.0);
  EXPECT_EQ(c->GetPosition()->GetY(), 20.0);
  EXPECT_EQ(moves, 0);
  // The same for a measurement line.
  AddCursor(ckBoth, 200.0, -20.0);
  TTrelDisplayCursorLink* link = Links()->Add();
  link->GetMeasurementLine()->SetX(10.0);
  link->MoveToMouse(true, true, frame, 10, 10);
  EXPECT_EQ(link->GetMeasurementLine()->GetX(), 10.0);
  EXPECT_EQ(link->GetMeasurementLine()->GetY(), 0.0);
}

TEST_F(TrelScopeCursorTest, DragTrailsShowTheNewPlaceAndTheDifference) {
  struct Case {
    const char* name;
    bool vertical;
    TPoint press, mouse;
    // The trail line: a row (vertical scope) or a column.
    int trail;
    // The joining line: from..to along a row or a column at `at`.
    int from, to, at;
    // Where the difference text lies.
    TRect text;
  };
  TCanvas* canvas = scope_->Picture()->Canvas();
  canvas->SetFont(scope_->GetTrails()->GetFont());
  const std::string diff = scope_->GetXAxis()->FormatLabel(50.0);
  const int tw = canvas->TextWidth(diff), th = canvas->TextHeight(diff);
  const int hXg = canvas->TextHeight("Xg");
  const Case cases[] = {
      // The cursor at column 100 dragged to x 150: trail at column 150, the
      // joining line along row 80, the text centred above it.
      {"horizontal scope",
       false,
       {100, 50},
       {150, 80},
       150,
       101,
       149,
       80,
       TRect{125 - tw / 2, 80 - th, 125 - tw / 2 + tw, 80}},
      // Vertical scope: X runs down the height (X 100 on row 50); dragged to
      // row 75 (X 150); joining line along column 80; text 5 pixels right of
      // the mouse, centred between the rows.
      {"vertical scope",
       true,
       {200, 50},
       {80, 75},
       75,
       51,
       74,
       80,
       TRect{85, 62 - hXg / 2, 85 + tw, 62 - hXg / 2 + th}},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    scope_->SetVertical(k.vertical);
    TTrelDisplayCursor* c = AddCursor(ckVertical, 100.0, 0.0);
    c->SetColor(clRed);
    Refresh();
    Press(k.press.X, k.press.Y);
    ASSERT_EQ(scope_->GetDataView()->DraggedCursor(), c);
    scope_->MouseMove(0, k.mouse.X, k.mouse.Y);
    scope_->PaintTo();
    const TColor trail = scope_->GetTrails()->GetColor();
    // The trail is dotted: some of its pixels, not all.
    const int length = k.vertical ? 380 : 180;
    const int lit = k.vertical ? CountIn(trail, 10, k.trail, 10 + length, k.trail + 1)
                               : CountIn(trail, k.trail, 10, k.trail + 1, 10 + length);
    EXPECT_GT(lit, length / 5);
    EXPECT_LT(lit, length * 4 / 5);
    // The joining line is solid.
    const int joined = k.vertical ? CountIn(trail, k.at, k.from, k.at + 1, k.to + 1)
                                  : CountIn(trail, k.from, k.at, k.to + 1, k.at + 1);
    EXPECT_EQ(joined, k.to - k.from + 1);
    EXPECT_GT(CountIn(scope_->GetTrails()->GetFont()->Color(), k.text.Left, k.text.Top,
                      k.text.Right, k.text.Bottom),
              0);
    Release(k.mouse.X, k.mouse.Y);
    EXPECT_EQ(c->GetPosition()->GetX(), 150.0);
    Cursors()->Clear();
  }
}

// --------------------------------------------------------------------------
// Cursor links

TEST_F(TrelScopeCursorTest, NewLinksJoinTheLeastLinkedPair) {
  EXPECT_EQ(Links()->Add()->GetBeginCursorIndex(), -1);  // fewer than two cursors
  Links()->Clear();
  for (int i = 0; i < 3; ++i)
    Cursors()->Add();
  struct Pair {
    int begin, end;
  };
  for (const Pair& p : {Pair{0, 1}, Pair{0, 2}, Pair{1, 2}, Pair{0, 1}}) {
    TTrelDisplayCursorLink* link = Links()->Add();
    EXPECT_EQ(link->GetBeginCursorIndex(), p.begin);
    EXPECT_EQ(link->GetEndCursorIndex(), p.end);
  }
  EXPECT_EQ(Links()->GetItem(3)->GetName(), "Link4");
}

TEST_F(TrelScopeCursorTest, ARemovedCursorMovesOrEmptiesTheEndsOfItsLinks) {
  struct Case {
    const char* name;
    int cursors;
    int begin, end;
    int removed;
    // The cursors' indices before the removal; -1 empty.
    int newBegin, newEnd;
  };
  const Case cases[] = {
      {"begin moves to the cursor after it", 3, 0, 1, 0, 2, 1},
      {"with two cursors the begin empties", 2, 0, 1, 0, -1, 1},
      {"the end avoids the begin", 3, 1, 0, 0, 1, 2},
      {"the end takes one before it", 3, 1, 2, 2, 1, 0},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    Links()->Clear();
    Cursors()->Clear();
    std::vector<TTrelDisplayCursor*> before;
    for (int i = 0; i < k.cursors; ++i)
      before.push_back(AddCursor(ckVertical, 50.0 * (i + 1), 0.0));
    TTrelDisplayCursorLink* link = Links()->Add();
    link->SetBeginCursorIndex(k.begin);
    link->SetEndCursorIndex(k.end);
    Cursors()->Delete(k.removed);
    auto expected = [&](int i) { return i < 0 ? nullptr : before[static_cast<std::size_t>(i)]; };
    EXPECT_EQ(link->BeginCursor(), expected(k.newBegin));
    EXPECT_EQ(link->EndCursor(), expected(k.newEnd));
    EXPECT_EQ(link->GetVisible(), k.newBegin >= 0 && k.newEnd >= 0);
  }
}

TEST_F(TrelScopeCursorTest, StoredIndicesReadOneByOneWaitForTheirCursors) {
  Cursors()->Add();
  TTrelDisplayCursorLink* a = Links()->Add();
  a->TakeStoredCursorIndices(0, 2);  // cursor 2 does not exist yet
  EXPECT_EQ(a->GetBeginCursorIndex(), 0);
  EXPECT_EQ(a->GetEndCursorIndex(), -1);
  Cursors()->Add();
  Cursors()->Add();
  EXPECT_EQ(a->GetEndCursorIndex(), -1);  // adding the cursor resolves nothing
  TTrelDisplayCursorLink* b = Links()->Add();
  b->TakeStoredCursorIndices(0, 1);  // takes cursor 0, which a holds
  EXPECT_EQ(a->GetEndCursorIndex(), 2);
  EXPECT_EQ(b->GetBeginCursorIndex(), 0);
  EXPECT_EQ(b->GetEndCursorIndex(), 1);
  TTrelDisplayCursorLink* c = Links()->Add();
  c->TakeStoredCursorIndices(-1, 1);
  EXPECT_EQ(c->GetBeginCursorIndex(), -1);
  EXPECT_EQ(c->GetEndCursorIndex(), 1);
  // Writing an index outside the cursors is ignored.
  c->SetBeginCursorIndex(7);
  EXPECT_EQ(c->GetBeginCursorIndex(), -1);
}

TEST_F(TrelScopeCursorTest, TheMeasurementLineIsLimitedAndItsLabelTakesTheValue) {
  TTrelScopeMeasurementLine* line = Links()->Add()->GetMeasurementLine();
  struct Place {
    double written, stored;
  };
  for (const Place& p : {Place{150.0, 100.0}, Place{-150.0, -100.0}, Place{42.0, 42.0},
                         Place{std::numeric_limits<double>::quiet_NaN(), 42.0}}) {
    line->SetX(p.written);
    line->SetY(p.written);
    EXPECT_EQ(line->GetX(), p.stored);
    EXPECT_EQ(line->GetY(), p.stored);
  }
  struct Label {
    const char* text;
    const char* shown;
  };
  for (const Label& l : {Label{"", "12.5"}, Label{"%v", "12.5"}, Label{"dt=%V s", "dt=12.5 s"},
                         Label{"%%", "%"}, Label{"%Q", ""}, Label{"50%", "50"}}) {
    SCOPED_TRACE(l.text);
    EXPECT_EQ(scope_->FormatValueLabel(l.text, "%V", "12.5"), l.shown);
  }
}

TEST_F(TrelScopeCursorTest, AVerticalAndAHorizontalCursorHaveNothingToMeasure) {
  AddCursor(ckVertical, 100.0, 0.0);
  AddCursor(ckHorizontal, 0.0, 30.0);
  Refresh();
  const std::vector<TColor> without = Picture();
  TTrelDisplayCursorLink* link = Links()->Add();
  link->GetSelection()->SetVisible(true);
  Refresh();
  EXPECT_EQ(Picture(), without);
}

TEST_F(TrelScopeCursorTest, TheSelectionLiesUnderTheTracesAndTheMeasurementLineOverTheCursors) {
  SendRamp(0.0, 0.0);  // a trace along row 101
  TTrelDisplayCursor* begin = AddCursor(ckVertical, 100.0, 0.0);
  AddCursor(ckVertical, 300.0, 0.0);
  TTrelDisplayCursorLink* link = Links()->Add();
  link->GetSelection()->SetVisible(true);
  TTrelScopeMeasurementLine* line = link->GetMeasurementLine();
  line->SetStyle(psSolid);
  line->SetY(50.0);  // row 50
  Refresh();
  // (Grid lines stand at every 50 units.)
  EXPECT_EQ(PixelAt(210, 101), clRed);    // the trace over the selection
  EXPECT_EQ(PixelAt(210, 140), clGray);   // the selection
  EXPECT_EQ(PixelAt(50, 150), clBlack);   // outside it
  EXPECT_EQ(PixelAt(100, 50), clYellow);  // the measurement line over the cursor
  EXPECT_EQ(PixelAt(100, 150), begin->GetColor());
  EXPECT_EQ(PixelAt(350, 50), clBlack);  // the line ends at the cursors
  // The line's mode works on what lies under it.
  line->SetMode(pmNot);
  Refresh();
  EXPECT_EQ(PixelAt(160, 50), static_cast<TColor>(~clGray & 0xFFFFFF));
  // The measurement line is dragged up and down: 100 - 151 * 200 / (201 - 1).
  Press(250, 51);
  ASSERT_EQ(scope_->GetDataView()->DraggedLink(), link);
  Release(250, 151);
  EXPECT_EQ(line->GetY(), -51.0);
}

TEST_F(TrelScopeCursorTest, MeasurementLabelsCentreOnLinesAcrossAndStandBesideLinesDown) {
  AddCursor(ckVertical, 100.0, 0.0);
  AddCursor(ckVertical, 300.0, 0.0);
  TTrelScopeMeasurementLine* line = Links()->Add()->GetMeasurementLine();
  line->SetStyle(psSolid);
  TTrelMeasurementLabel* label = line->GetMeasurementLabel();
  TCanvas* canvas = scope_->Picture()->Canvas();
  canvas->SetFont(label->GetFont());
  const std::string text = scope_->GetXAxis()->FormatLabel(200.0);
  const int tw = canvas->TextWidth(text), th = canvas->TextHeight(text);
  const TColor ink = label->GetFont()->Color();
  struct Case {
    const char* name;
    bool vertical;
    TPoint onLine;
    TRect labelBox, besideBox;
  };
  const Case cases[] = {
      // Across the screen at row 100 (Y 0): centred at column 200, its
      // bottom on the line.
      {"horizontal scope",
       false,
       {150, 100},
       TRect{200 - tw / 2, 100 - th, 200 - tw / 2 + tw, 100},
       TRect{100, 101, 300, 101 + th}},
      // Down the screen at column 200 (Y 0 across a width of 401), between
      // rows 50 and 150 (X runs down at half a pixel per unit): 5 pixels to
      // its right, centred by its height.
      {"vertical scope",
       true,
       {200, 75},
       TRect{205, 100 - th / 2, 205 + tw, 100 - th / 2 + th},
       TRect{200 - tw - 5, 50, 199, 150}},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    scope_->SetVertical(k.vertical);
    Refresh();
    EXPECT_EQ(PixelAt(k.onLine.X, k.onLine.Y), clYellow);
    EXPECT_GT(CountIn(ink, k.labelBox.Left, k.labelBox.Top, k.labelBox.Right, k.labelBox.Bottom),
              0);
    EXPECT_EQ(
        CountIn(ink, k.besideBox.Left, k.besideBox.Top, k.besideBox.Right, k.besideBox.Bottom), 0);
  }
}

// --------------------------------------------------------------------------
// Channel links

TEST_F(TrelScopeCursorTest, NewChannelLinksTakeTheLeastLinkedChannel) {
  TTrelDisplayChannelLinks* links = Cursors()->Add()->GetChannels();
  for (int expected : {0, 1, 0})
    EXPECT_EQ(links->Add()->GetChannel(), Channel(expected));
  EXPECT_EQ(links->GetItem(1)->GetDisplayName(), Channel(1)->GetName());
}

TEST_F(TrelScopeCursorTest, ChannelLinksLabelTheCrossingsOfTheirChannels) {
  SendRamp(-50.0, 0.25);
  TTrelDisplayCursor* c = AddCursor(ckVertical, 200.0, 20.0);  // meets the trace at (200, 101)
  TTrelDisplayChannelLink* link = c->GetChannels()->Add();
  ASSERT_EQ(link->GetChannel(), Channel(0));
  link->SetUseChannelColor(false);
  link->GetPen()->SetColor(clYellow);
  Refresh();
  auto withText = [&](const char* text) {
    link->GetChannelLabel()->SetText(text);
    Refresh();
    return Picture();
  };
  struct Case {
    TTrelDisplayCursorKind kind;
    const char* same;
    const char* other;
  };
  // An empty label shows "%Y" on a vertical cursor, "%X" on a horizontal
  // one.
  for (const Case& k : {Case{ckVertical, "%Y", "%X"}, Case{ckHorizontal, "%X", "%Y"}}) {
    SCOPED_TRACE(k.same);
    c->SetKind(k.kind);
    const std::vector<TColor> empty = withText("");
    EXPECT_EQ(withText(k.same), empty);
    EXPECT_NE(withText(k.other), empty);
  }
  c->SetKind(ckVertical);
  link->GetChannelLabel()->SetText("");
  const TColor ink = link->GetChannelLabel()->GetFont()->Color();
  // msCircle marks the point in the pen's colour; msHLine only labels it.
  Refresh();
  EXPECT_GT(CountIn(clYellow, 196, 97, 205, 106), 0);
  EXPECT_GT(CountIn(ink, 204, 80, 260, 101), 0);
  link->SetShape(msHLine);
  Refresh();
  EXPECT_EQ(CountIn(clYellow, 0, 0, 401, 202), 0);
  EXPECT_GT(CountIn(ink, 204, 80, 260, 101), 0);
  // A hidden channel's link draws nothing.
  Channel(0)->SetVisible(false);
  Refresh();
  const std::vector<TColor> hidden = Picture();
  c->GetChannels()->Clear();
  Refresh();
  EXPECT_EQ(Picture(), hidden);
}

TEST_F(TrelScopeCursorTest, AFreedChannelFreesItsLinks) {
  TTrelDisplayCursor* a = Cursors()->Add();
  TTrelDisplayCursor* b = Cursors()->Add();
  a->GetChannels()->Add();  // channel 0
  a->GetChannels()->Add();  // channel 1
  b->GetChannels()->EnsureLink(Channel(0));
  b->GetChannels()->EnsureLink(Channel(0));
  ASSERT_EQ(b->GetChannels()->Count(), 1);
  TTrelScopeChannel* second = Channel(1);
  scope_->GetChannels()->Delete(0);
  ASSERT_EQ(a->GetChannels()->Count(), 1);
  EXPECT_EQ(a->GetChannels()->GetItem(0)->GetChannel(), second);
  EXPECT_EQ(b->GetChannels()->Count(), 0);
  a->GetChannels()->RemoveChannel(second);
  EXPECT_EQ(a->GetChannels()->Count(), 0);
  EXPECT_TRUE(second->Links().empty());
}

// --------------------------------------------------------------------------
// Stored references

class TrelScopeCursorStoreTest : public scopetest::StoredScopeTest {
 protected:
  static std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    const std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos)
      text.replace(at, from.size(), to);
    return text;
  }
};

TEST_F(TrelScopeCursorStoreTest, CursorIndicesRoundTripThroughTheTextForm) {
  TTrelScope* scope = Scope();
  for (int i = 0; i < 3; ++i)
    scope->GetCursors()->Add();
  struct Pair {
    int begin, end;
  };
  const Pair pairs[] = {{0, 2}, {2, 1}, {1, -1}};
  for (const Pair& p : pairs) {
    TTrelDisplayCursorLink* link = scope->GetCursorLinks()->Add();
    link->SetBeginCursorIndex(p.begin);
    link->SetEndCursorIndex(p.end);
  }
  // The third link's end is emptied by removing and re-adding cursors.
  scope->GetCursorLinks()->GetItem(2)->TakeStoredCursorIndices(1, -1);
  const std::string text = WriteComponentToText(form_);
  EXPECT_NE(text.find("CursorIndex_ = (2, 1)"), std::string::npos) << text;
  ReadBack(text);
  scope = Scope();
  ASSERT_EQ(scope->GetCursorLinks()->Count(), 3);
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(scope->GetCursorLinks()->GetItem(i)->GetBeginCursorIndex(), pairs[i].begin);
    EXPECT_EQ(scope->GetCursorLinks()->GetItem(i)->GetEndCursorIndex(), pairs[i].end);
  }
}

TEST_F(TrelScopeCursorStoreTest, AStoredChannelIndexNamesAChannelOrNone) {
  TTrelDisplayCursor* cursor = Scope()->GetCursors()->Add();
  cursor->GetChannels()->Add();
  cursor->GetChannels()->Add();
  const std::string text = WriteComponentToText(form_);
  struct Case {
    const char* stored;
    int channel;  // -1 none
  };
  for (const Case& k :
       {Case{"ChannelIndex = 1", 1}, Case{"ChannelIndex = 7", -1}, Case{"ChannelIndex = -1", -1},
        Case{"Channel = 12\n            ChannelIndex = 0", 0}}) {
    SCOPED_TRACE(k.stored);
    ReadBack(Replaced(text, "ChannelIndex = 1", k.stored));
    TTrelScope* scope = Scope();
    ASSERT_NE(scope, nullptr);
    TTrelDisplayChannelLinks* links = scope->GetCursors()->GetItem(0)->GetChannels();
    ASSERT_EQ(links->Count(), 2);
    EXPECT_EQ(links->GetItem(0)->GetChannel(), scope->GetChannels()->GetItem(0));
    EXPECT_EQ(links->GetItem(1)->GetChannel(),
              k.channel < 0 ? nullptr : scope->GetChannels()->GetItem(k.channel));
  }
}

}  // namespace
