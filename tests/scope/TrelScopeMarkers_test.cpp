// Markers: their groups and colours, shapes, hit rectangles, drawing at
// their samples, labels and their stored groups.
#include "scope/TrelScopeMarkers.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/classes/Streaming.h"
#include "tests/scope/ScopeTestSupport.h"

namespace {

using scopetest::ScopeFixture;

// A plot of 401 x 202 pixels: X 0..400 on columns 0..400, Y -100..100 on
// rows 201..1 (row = 101 - value).
class TrelScopeMarkerTest : public ScopeFixture {
 protected:
  void SetUp() override {
    ScopeFixture::SetUp();
    BarePlot(401, 202, 400, -100, 100);
    scope_->GetHighlighting()->GetMouseHitPoint()->SetEnabled(false);
  }
  TTrelScopeMarkerGroups* Groups() { return scope_->GetMarkerGroups(); }
  int CountIn(TColor colour, int left, int top, int right, int bottom) {
    int n = 0;
    for (int y = top; y < bottom; ++y)
      for (int x = left; x < right; ++x)
        n += PixelAt(x, y) == colour;
    return n;
  }
};

TEST_F(TrelScopeMarkerTest, TheFirstMarkerMakesAGroupAndLaterGroupsTakeTheNextColours) {
  ASSERT_EQ(Groups()->Count(), 0);
  TTrelScopeChannelMarker* marker = Channel(0)->GetMarkers()->Add();
  ASSERT_EQ(Groups()->Count(), 1);
  EXPECT_EQ(marker->GetName(), "Marker1");
  EXPECT_EQ(marker->GetMarkerGroup(), Groups()->GetItem(0));
  struct Case {
    int index;
    const char* name;
    TColor colour;
  };
  Groups()->Add();
  Groups()->Add();
  for (const Case& c : {Case{0, "MarkerGroup1", clRed}, Case{1, "MarkerGroup2", clLime},
                        Case{2, "MarkerGroup3", clBlue}}) {
    SCOPED_TRACE(c.name);
    TTrelScopeMarkerGroup* g = Groups()->GetItem(c.index);
    EXPECT_EQ(g->GetName(), c.name);
    EXPECT_EQ(g->GetPen()->Color(), c.colour);
    EXPECT_EQ(g->GetBrush()->Color(), c.colour);
    EXPECT_EQ(g->GetColor(), c.colour);
    EXPECT_EQ(g->GetFillColor(), c.colour);
  }
  // A new marker joins the last group; freeing a group frees its markers.
  TTrelScopeChannelMarker* later = Channel(1)->GetMarkers()->Add();
  EXPECT_EQ(later->GetMarkerGroup(), Groups()->GetItem(2));
  EXPECT_EQ(Groups()->GetItem(2)->Markers().size(), 1u);
  Groups()->Delete(2);
  EXPECT_EQ(Channel(1)->GetMarkers()->Count(), 0);
  EXPECT_EQ(Channel(0)->GetMarkers()->Count(), 1);
}

TEST_F(TrelScopeMarkerTest, ATriangleUpOfSize3HasItsCornersBelowThePoint) {
  TCanvas* canvas = scope_->Picture()->Canvas();
  scope_->Picture()->SetSize(200, 100);
  canvas->Brush()->SetColor(clBlack);
  canvas->FillRect({0, 0, 200, 100});
  canvas->Pen()->SetColor(clRed);
  canvas->Brush()->SetColor(clRed);
  DrawMarkerShape(canvas, msTriangleUp, 100, 50, 3, 0, false, true);
  for (TPoint corner : {TPoint{100, 50}, TPoint{97, 56}, TPoint{103, 56}})
    EXPECT_EQ(canvas->Pixel(corner.X, corner.Y), clRed) << corner.X << "," << corner.Y;
  for (TPoint outside : {TPoint{100, 49}, TPoint{96, 56}, TPoint{104, 56}, TPoint{100, 57}})
    EXPECT_EQ(canvas->Pixel(outside.X, outside.Y), clBlack) << outside.X << "," << outside.Y;
}

TEST_F(TrelScopeMarkerTest, HitRectanglesByShape) {
  producer_->Send(0, std::vector<double>(401, 0.0));
  scope_->UpdateData();
  TTrelScopeChannelMarker* marker = Channel(0)->GetMarkers()->Add();
  TTrelScopeMarkerGroup* group = marker->GetMarkerGroup();
  struct Case {
    TTrelDisplayMarkerShape shape;
    std::uint32_t size;
    int x, y;
    bool hit;
  };
  // The marker's point is (100, 50).
  const Case cases[] = {
      // msPlus of size 10: only within 3 pixels of the point.
      {msPlus, 10, 103, 50, true},
      {msPlus, 10, 97, 53, true},
      {msPlus, 10, 104, 50, false},
      {msPlus, 10, 96, 50, false},
      {msPlus, 10, 100, 54, false},
      {msPlus, 10, 108, 50, false},
      // msPoint and msCross of size 1 are hit within 3 pixels too.
      {msPoint, 1, 103, 47, true},
      {msCross, 1, 100, 46, false},
      // The box shapes span the size each way.
      {msCircle, 5, 105, 55, true},
      {msCircle, 5, 106, 50, false},
      {msSquare, 2, 97, 47, true},  // at least 3
      {msStar, 5, 95, 45, true},
      {msStar, 5, 94, 50, false},
      // Triangles extend 2 sizes from the point towards their base.
      {msTriangleUp, 3, 100, 56, true},
      {msTriangleUp, 3, 100, 49, false},
      {msTriangleUp, 3, 100, 57, false},
      {msTriangleDown, 3, 100, 44, true},
      {msTriangleDown, 3, 100, 51, false},
      {msTriangleLeft, 3, 106, 50, true},
      {msTriangleLeft, 3, 99, 50, false},
      {msTriangleRight, 3, 94, 50, true},
      {msTriangleRight, 3, 101, 50, false},
      // Lines: their size along, 3 pixels across.
      {msHLine, 8, 108, 53, true},
      {msHLine, 8, 100, 54, false},
      {msVLine, 8, 103, 42, true},
      {msVLine, 8, 104, 50, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << "shape " << int(c.shape) << " size " << c.size << " at " << c.x << "," << c.y);
    group->SetShape(c.shape);
    group->SetSize(c.size);
    marker->Draw(scope_->Picture()->Canvas(), 100, 50, 0.0);
    EXPECT_EQ(marker->HitTest(c.x, c.y), c.hit);
    EXPECT_EQ(group->GetVisible(), true);
    TTrelScopeChannelMarker* found = nullptr;
    EXPECT_EQ(group->HitTest(c.x, c.y, found), c.hit);
    if (c.hit) {
      EXPECT_EQ(found, marker);
    }
  }
  // In a vertical scope the point's coordinates are exchanged.
  group->SetShape(msTriangleUp);
  group->SetSize(3);
  scope_->SetVertical(true);
  marker->Draw(scope_->Picture()->Canvas(), 100, 50, 0.0);  // sample x 100, y 50
  EXPECT_TRUE(marker->HitTest(56, 100));
  EXPECT_FALSE(marker->HitTest(100, 56));
  // A hidden group takes no hit.
  group->SetVisible(false);
  TTrelScopeChannelMarker* found = nullptr;
  EXPECT_FALSE(group->HitTest(56, 100, found));
}

TEST_F(TrelScopeMarkerTest, MarkersAtTheirSamplesAndNoneOutsideTheData) {
  std::vector<double> ramp(401);
  for (int i = 0; i < 401; ++i)
    ramp[static_cast<std::size_t>(i)] = (i - 200) / 4.0;
  producer_->Send(0, ramp);
  Channel(1)->SetVisible(false);
  TTrelScopeChannelMarker* inside = Channel(0)->GetMarkers()->Add();
  TTrelScopeChannelMarker* atCount = Channel(0)->GetMarkers()->Add();
  TTrelScopeChannelMarker* negative = Channel(0)->GetMarkers()->Add();
  TTrelScopeMarkerGroup* group = inside->GetMarkerGroup();
  group->SetShape(msSquare);
  group->SetSize(3);
  group->GetPen()->SetColor(clYellow);
  group->GetBrush()->SetColor(clYellow);
  inside->SetPosition(300);
  atCount->SetPosition(401);
  negative->SetPosition(-1);
  EXPECT_EQ(negative->GetPosition(), -1);  // stored as given
  Refresh();
  // Sample 300 has the value 25: row 76, column 300.
  EXPECT_EQ(inside->DrawnPoint(), (TPoint{300, 76}));
  EXPECT_EQ(PixelAt(297, 73), clYellow);
  EXPECT_EQ(PixelAt(303, 79), clYellow);
  EXPECT_TRUE(inside->HitTest(300, 76));
  for (TTrelScopeChannelMarker* m : {atCount, negative}) {
    EXPECT_EQ(m->DrawnPoint().X, -10000);
    EXPECT_FALSE(m->HitTest(0, 0));
    EXPECT_FALSE(m->HitTest(400, 1));
  }
  // Only the marker in the data is yellow: a square of 7 x 7 pixels.
  EXPECT_EQ(CountIn(clYellow, 0, 0, 401, 202), 49);
  // A marker of a hidden channel is not hit where it was drawn.
  Channel(0)->SetVisible(false);
  EXPECT_FALSE(inside->HitTest(300, 76));
  Channel(0)->SetVisible(true);

  // The hover finds the marker's group and the marker.
  scope_->MouseMove(0, 301, 77);
  EXPECT_EQ(scope_->GetDataView()->HighlightedItem(), group);
  EXPECT_EQ(scope_->GetDataView()->HighlightedMarker(), inside);
  Refresh();
  // Highlighted: a grown square in the highlight colour under the marker.
  EXPECT_EQ(PixelAt(296, 72), scope_->GetHighlighting()->GetMarkers()->GetColor());
}

TEST_F(TrelScopeMarkerTest, AValueLabelStandsRightOfTheMarkerAndOneTextHeightUp) {
  producer_->Send(0, std::vector<double>(401, 0.5));
  Channel(1)->SetVisible(false);
  TTrelScopeChannelMarker* marker = Channel(0)->GetMarkers()->Add();
  TTrelScopeMarkerGroup* group = marker->GetMarkerGroup();
  group->SetShape(msPoint);
  group->GetLabels()->SetText("%Y");
  marker->SetPosition(100);
  Refresh();
  const TPoint p = marker->DrawnPoint();
  const std::string text = scope_->GetYAxis()->FormatLabel(0.5);
  EXPECT_EQ(scope_->FormatLabel("%Y", "", 100.0, 0.5), text);
  TCanvas* canvas = scope_->Picture()->Canvas();
  canvas->SetFont(group->GetLabels()->GetFont());
  const int th = canvas->TextHeight("Xg");
  const int tw = canvas->TextWidth(text);
  const TColor ink = group->GetLabels()->GetFont()->Color();
  EXPECT_GT(CountIn(ink, p.X + 4, p.Y - th, p.X + 4 + tw, p.Y), 0);
  EXPECT_EQ(CountIn(ink, p.X + 4, p.Y + 1, p.X + 4 + tw, p.Y + th), 0);  // not below
  EXPECT_EQ(CountIn(ink, p.X - tw - 4, p.Y - th, p.X, p.Y), 0);          // not left
}

// A scope on a form of its own, written to text and read back.
using TrelScopeMarkerStoreTest = scopetest::StoredScopeTest;

TEST_F(TrelScopeMarkerStoreTest, MarkersKeepTheirGroupsAndPositionsThroughTheTextForm) {
  TTrelScope* scope = Scope();
  TTrelScopeMarkerGroups* groups = scope->GetMarkerGroups();
  groups->Add();
  groups->Add();
  struct Stored {
    int channel, group, position;
  };
  const Stored stored[] = {{0, 0, 3}, {0, 1, 9}, {1, 1, 7}, {1, 0, -2}};
  for (const Stored& s : stored) {
    TTrelScopeChannelMarker* m = scope->GetChannels()->GetItem(s.channel)->GetMarkers()->Add();
    m->SetMarkerGroup(groups->GetItem(s.group));
    m->SetPosition(s.position);
  }
  const std::string text = WriteComponentToText(form_);
  ReadBack(text);
  scope = Scope();
  ASSERT_NE(scope, nullptr);
  ASSERT_EQ(scope->GetMarkerGroups()->Count(), 2);
  int seen[2] = {0, 0};
  for (const Stored& s : stored) {
    SCOPED_TRACE(s.position);
    TTrelScopeChannelMarkers* markers = scope->GetChannels()->GetItem(s.channel)->GetMarkers();
    const int i = seen[s.channel]++;
    ASSERT_LT(i, markers->Count());
    EXPECT_EQ(markers->GetItem(i)->GetPosition(), s.position);
    EXPECT_EQ(markers->GetItem(i)->GetMarkerGroup(), scope->GetMarkerGroups()->GetItem(s.group));
  }
  EXPECT_EQ(scope->GetMarkerGroups()->GetItem(1)->Markers().size(), 2u);

  // A stored index beyond the groups takes the last group.
  std::string beyond = text;
  const std::string first = "MarkerGroupIndex = 0";
  const std::size_t at = beyond.find(first);
  ASSERT_NE(at, std::string::npos) << text;
  beyond.replace(at, first.size(), "MarkerGroupIndex = 5");
  ReadBack(beyond);
  scope = Scope();
  EXPECT_EQ(scope->GetChannels()->GetItem(0)->GetMarkers()->GetItem(0)->GetMarkerGroup(),
            scope->GetMarkerGroups()->GetItem(1));

  // Without groups a stored marker takes the last group, made for it.
  std::string none = text;
  const std::size_t g = none.find("MarkerGroups = <");
  ASSERT_NE(g, std::string::npos);
  none.erase(g, none.find(">", g) + 1 - g);
  ReadBack(none);
  scope = Scope();
  ASSERT_EQ(scope->GetMarkerGroups()->Count(), 1);
  EXPECT_EQ(scope->GetMarkerGroups()->GetItem(0)->Markers().size(), 4u);
}

}  // namespace
