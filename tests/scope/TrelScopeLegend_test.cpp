// The legend: its width, the entries it lists, the hover that highlights
// items in the plot and the clicks that open the property dialog.
#include "scope/TrelScopeLegend.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "tests/scope/ScopeTestSupport.h"

namespace {

// A scope that records what the property dialog is asked to show.
class TRecordingScope : public TTrelScope {
  KESTRUNE_CLASS(TRecordingScope, TTrelScope)
  explicit TRecordingScope(TComponent* owner) : TTrelScope(owner) {}
  void ShowProperties(int pageIndex, int itemIndex) override {
    shown.emplace_back(pageIndex, itemIndex);
  }
  std::vector<std::pair<int, int>> shown;
};

class TrelScopeLegendTest : public ::testing::Test {
 protected:
  void SetUp() override {
    scopetest::StartUnits();
    form_ = Create<vektest::TTestForm>(nullptr);
    scope_ = Create<TRecordingScope>(form_);
    scope_->GetChannels()->Add();  // two channels
    scope_->GetTitle()->SetVisible(false);
    scope_->GetXAxis()->SetVisible(false);
    scope_->GetYAxis()->SetVisible(false);
    // Without the title the legend's first entries lie under the toolbar,
    // which would take their presses.
    scope_->GetToolBar()->SetVisible(false);
    scope_->SetBounds(0, 0, 400, 300);
    scope_->PaintTo();
  }
  void TearDown() override { FreeAndNil(form_); }
  TTrelScopeLegendView* Legend() { return scope_->GetLegend(); }
  int Width() {
    int w = 0, h = 0;
    Legend()->CalcSize(w, h);
    return w;
  }
  int TextWidth(TFont* font, const std::string& text) {
    TCanvas* canvas = scope_->MeasureCanvas();
    canvas->SetFont(font);
    return canvas->TextWidth(text);
  }
  int TextHeight(TFont* font) {
    TCanvas* canvas = scope_->MeasureCanvas();
    canvas->SetFont(font);
    return canvas->TextHeight("Xg");
  }
  // The y of the colour bar of the n-th shown entry of the shown groups,
  // where `groups` gives each shown group's number of shown entries: the
  // first bar lies half a text height and 2 pixels below the top, each
  // caption takes its height + 1 minus 6, each entry its height, each group
  // one more.
  int EntryY(const std::vector<int>& groups, int group, int entry) {
    const int th = TextHeight(Legend()->GetFont());
    const int h = std::max(th + 1, 6);
    const int ch = TextHeight(Legend()->GetChannels()->GetCaption()->GetFont());
    int y = Legend()->Top + th / 2 + 2;
    for (int g = 0; g <= group; ++g) {
      y += std::max(ch + 1, 6) - 6;
      if (g == group)
        return y + entry * h;
      y += (groups[static_cast<std::size_t>(g)] + 1) * h;
    }
    return y;
  }
  void MoveTo(int x, int y) { scope_->MouseMove(0, x, y); }
  void Click(int x, int y) {
    MoveTo(x, y);
    scope_->MouseDown(mbLeft, 0, x, y);
    scope_->MouseUp(mbLeft, 0, x, y);
  }
  int CountIn(TColor colour) {
    int n = 0;
    const TRect r = Legend()->Rect();
    for (int y = r.Top; y < r.Bottom; ++y)
      for (int x = r.Left; x < r.Right; ++x)
        n += scope_->Picture()->Canvas()->Pixel(x, y) == colour;
    return n;
  }

  vektest::TTestForm* form_ = nullptr;
  TRecordingScope* scope_ = nullptr;
};

TEST_F(TrelScopeLegendTest, TheWidestGroupSetsTheWidth) {
  TFont* caption = Legend()->GetChannels()->GetCaption()->GetFont();
  TFont* names = Legend()->GetFont();
  const int channels =
      std::max(TextWidth(caption, "Channels") + 23,
               TextWidth(names, scope_->GetChannels()->GetItem(0)->GetName()) + 30);
  EXPECT_EQ(Width(), channels);  // "Marker Groups", "Cursors", "Links" take no room
  // A link without cursors is not listed.
  scope_->GetCursorLinks()->Add();
  EXPECT_FALSE(scope_->GetCursorLinks()->GetItem(0)->GetVisible());
  EXPECT_EQ(Width(), channels);
  // A group's longest name.
  TTrelScopeMarkerGroup* group = scope_->GetMarkerGroups()->Add();
  group->SetName("A marker group with a long name");
  EXPECT_EQ(Width(), TextWidth(names, group->GetName()) + 30);
  // Hidden groups and hidden items take no room.
  Legend()->GetMarkerGroups()->SetVisible(false);
  EXPECT_EQ(Width(), channels);
  Legend()->GetChannels()->SetVisible(false);
  EXPECT_EQ(Width(), 0);
  // Without AutoSize: ViewSize.Size.
  Legend()->GetViewSize()->SetAutoSize(false);
  EXPECT_EQ(Width(), 100);
}

TEST_F(TrelScopeLegendTest, HoveringAnEntryHighlightsItsItemAndChangesTheCursor) {
  scope_->GetCursors()->Add();
  scope_->GetCursors()->Add();
  scope_->SetCursor(crCross);
  scope_->PaintTo();
  const int x = Legend()->Left + 10;
  const std::vector<int> shown = {2, 2};  // channels, cursors
  TTrelScopeDataView* view = scope_->GetDataView();
  // A channel's entry, with cursors present after it.
  MoveTo(x, EntryY(shown, 0, 1));
  EXPECT_EQ(Legend()->GetChannels()->HotIndex(), 1);
  EXPECT_EQ(view->LegendHighlightedItem(), scope_->GetChannels()->GetItem(1));
  EXPECT_EQ(scope_->Cursor(), crHandPoint);
  EXPECT_EQ(scope_->GetCursor(), crCross);
  // From a cursor's entry to a channel's: the channel keeps the highlight
  // and the hand stays.
  MoveTo(x, EntryY(shown, 1, 0));
  EXPECT_EQ(view->LegendHighlightedItem(), scope_->GetCursors()->GetItem(0));
  MoveTo(x, EntryY(shown, 0, 0));
  EXPECT_EQ(view->LegendHighlightedItem(), scope_->GetChannels()->GetItem(0));
  EXPECT_EQ(scope_->Cursor(), crHandPoint);
  // Off the entries: no highlight, the display's own cursor.
  MoveTo(x, Legend()->Bottom - 2);
  EXPECT_EQ(view->LegendHighlightedItem(), nullptr);
  EXPECT_EQ(scope_->Cursor(), crCross);
  MoveTo(x, EntryY(shown, 1, 1));
  EXPECT_EQ(Legend()->GetCursors()->HotIndex(), 1);
  scope_->MouseLeave();
  EXPECT_EQ(Legend()->GetCursors()->HotIndex(), -1);
  EXPECT_EQ(scope_->Cursor(), crCross);
}

TEST_F(TrelScopeLegendTest, HoveringWithEmptyCollectionsIsHarmless) {
  // Marker groups, cursors and links are empty: their groups are not shown
  // and have no first item to unhighlight.
  const std::vector<int> shown = {2};
  for (int y = Legend()->Top; y < Legend()->Bottom; y += 3)
    MoveTo(Legend()->Left + 10, y);
  MoveTo(Legend()->Left + 10, EntryY(shown, 0, 0));
  EXPECT_EQ(scope_->GetDataView()->LegendHighlightedItem(), scope_->GetChannels()->GetItem(0));
  MoveTo(10, 10);  // the plot area
  EXPECT_EQ(scope_->GetDataView()->LegendHighlightedItem(), nullptr);
}

TEST_F(TrelScopeLegendTest, AClickOpensTheDialogOnTheItemUnlessItIsHandled) {
  for (int i = 0; i < 3; ++i)
    scope_->GetCursors()->Add();
  scope_->GetCursors()->GetItem(0)->SetVisible(false);  // not listed
  scope_->PaintTo();
  const std::vector<int> shown = {2, 2};
  const int x = Legend()->Left + 10;
  // The first cursor listed is cursor 1: page 2, item 1.
  Click(x, EntryY(shown, 1, 0));
  Click(x, EntryY(shown, 1, 1));
  Click(x, EntryY(shown, 0, 1));
  EXPECT_EQ(scope_->shown, (std::vector<std::pair<int, int>>{{2, 1}, {2, 2}, {0, 1}}));
  // OnItemClick sees the index; setting Handled keeps the dialog closed.
  struct Handler : TObject {
    std::vector<int> clicks;
    void Clicked(TObject*, int index, bool& handled) {
      clicks.push_back(index);
      handled = true;
    }
  } handler;
  Legend()->GetCursors()->OnItemClick = TTrelChartItemClickEvent(&handler, &Handler::Clicked);
  scope_->shown.clear();
  Click(x, EntryY(shown, 1, 1));
  EXPECT_EQ(handler.clicks, std::vector<int>{2});
  EXPECT_TRUE(scope_->shown.empty());
  // Without buttons nothing is hot and clicks do nothing.
  Legend()->SetButtonsEnabled(false);
  MoveTo(x + 1, EntryY(shown, 0, 0));
  Click(x, EntryY(shown, 0, 0));
  EXPECT_EQ(Legend()->GetChannels()->HotIndex(), -1);
  EXPECT_TRUE(scope_->shown.empty());
  EXPECT_EQ(handler.clicks.size(), 1u);
  // OpenProperties asks for the first page and item.
  scope_->OpenProperties();
  EXPECT_EQ(scope_->shown, (std::vector<std::pair<int, int>>{{0, 0}}));
}

TEST_F(TrelScopeLegendTest, APictureShowsNoButtons) {
  const std::vector<int> shown = {2};
  MoveTo(Legend()->Left + 10, EntryY(shown, 0, 0));
  scope_->PaintTo();
  EXPECT_GT(CountIn(Legend()->GetMouseOverButtonColor()), 0);
  const TRegion whole(TRect{0, 0, 400, 300});
  scope_->DrawScene(scope_->Picture()->Canvas(), true, whole);
  EXPECT_EQ(CountIn(Legend()->GetMouseOverButtonColor()), 0);
  // The colour bars and names are there all the same.
  EXPECT_GT(CountIn(scope_->GetChannels()->GetItem(0)->GetColor()), 0);
  EXPECT_GT(CountIn(Legend()->GetFont()->Color()), 0);
}

}  // namespace
