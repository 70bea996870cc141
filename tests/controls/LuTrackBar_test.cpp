// The track bar: value and pixel mappings (round trips in the four
// orientation and style combinations, the main window's slider, snapping),
// tick steps, the guards of degenerate ranges and tracks, Position and its
// event, and the keyboard.
#include "controls/LuTrackBar.h"

#include <gtest/gtest.h>

#include "platform/graphics/Bitmap.h"
#include "tests/controls/ControlsTestSupport.h"

namespace {

using kestrune::test::ControlsTest;

class TestTrackBar : public TLuTrackBar {
 public:
  using TLuTrackBar::KeyDown;
  using TLuTrackBar::MouseDown;
  using TLuTrackBar::MouseMove;
  using TLuTrackBar::MouseUp;
  using TLuTrackBar::TLuTrackBar;
  int changes = 0;
  void Count(TObject*) { ++changes; }
};

class TrackBarTest : public ControlsTest {
 protected:
  TestTrackBar* Make(TLuOrientation orientation, int width, int height, int border = 10) {
    TestTrackBar* bar = Create<TestTrackBar>(Form());
    bar->SetParent(Form());
    bar->SetOrientation(orientation);
    bar->SetBounds(0, 0, width, height);
    bar->SetBorderWidth(border);
    bar->OnChange = TNotifyEvent(bar, &TestTrackBar::Count);
    return bar;
  }
};

TEST_F(TrackBarTest, PixelOfEveryValueLeadsBackToIt) {
  const struct {
    const char* name;
    TLuOrientation orientation;
    TLuProgressStyle style;
    int width, height, min, max;
  } cases[] = {
      {"horizontal, minimum left", TLuOrientation::voHorizontal, TLuProgressStyle::psBottomLeft,
       150, 40, 0, 100},
      {"horizontal, minimum right", TLuOrientation::voHorizontal, TLuProgressStyle::psTopRight, 150,
       40, 0, 100},
      {"vertical, minimum at the bottom", TLuOrientation::voVertical,
       TLuProgressStyle::psBottomLeft, 40, 150, 0, 100},
      {"vertical, minimum at the top", TLuOrientation::voVertical, TLuProgressStyle::psTopRight, 40,
       150, 0, 100},
      {"short range, minimum right", TLuOrientation::voHorizontal, TLuProgressStyle::psTopRight,
       145, 40, 1, 9},
      {"short range, vertical", TLuOrientation::voVertical, TLuProgressStyle::psBottomLeft, 40, 60,
       -3, 5},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TestTrackBar* bar = Make(c.orientation, c.width, c.height);
    bar->SetStyle(c.style);
    bar->SetMaxValue(c.max);
    bar->SetMinValue(c.min);
    ASSERT_GE(bar->TrackLength(), c.max - c.min);
    for (int v = c.min; v <= c.max; ++v) {
      bar->SetPositionFromPixel(bar->PositionToPixel(v));
      ASSERT_EQ(bar->Position(), v);
    }
    // The ends of the travel hold the extremes, on the side the style says.
    const int start = bar->TrackStart();
    const int end = start + bar->TrackLength();
    const bool min_first = (c.orientation == TLuOrientation::voHorizontal) ==
                           (c.style == TLuProgressStyle::psBottomLeft);
    EXPECT_EQ(bar->PositionToPixel(c.min), min_first ? start : end);
    bar->Free();
  }
}

TEST_F(TrackBarTest, MainWindowTimeBaseSlider) {
  TestTrackBar* bar = Make(TLuOrientation::voHorizontal, 145, 40, 4);
  bar->SetFrequency(1);
  bar->SetMinValue(1);
  bar->SetMaxValue(9);
  bar->SetPosition(7);
  // Track 137 wide less the 11-pixel thumb: 126 of travel; 6/8 of it is
  // 94.5, rounded half to even.
  EXPECT_EQ(bar->ThumbWidth(), 11);
  EXPECT_EQ(bar->TrackLength(), 126);
  EXPECT_EQ(bar->PositionToPixel(7) - bar->TrackStart(), 94);
  bar->Free();
}

TEST_F(TrackBarTest, FixedPointsSnapToTheFrequency) {
  TestTrackBar* bar = Make(TLuOrientation::voHorizontal, 150, 40);
  bar->SetOptions(bar->Options() | toFixedPoints);
  // 119 pixels of travel: the pixel of 47 maps back to 47, snapped to 50.
  bar->SetPositionFromPixel(bar->TrackStart() + 56);
  EXPECT_EQ(bar->Position(), 50);
  bar->SetFrequency(0);  // counts as 1: no snapping, no division by zero
  bar->SetPositionFromPixel(bar->TrackStart() + 56);
  EXPECT_EQ(bar->Position(), 47);
  bar->Free();
}

TEST_F(TrackBarTest, TickSteps) {
  const struct {
    const char* name;
    int width, min, max, frequency, step;
  } cases[] = {
      {"0..100 over 60 pixels: 10", 60 + 11 + 20, 0, 100, 10, 10},
      {"0..1000 over 100 pixels: 40", 100 + 11 + 20, 0, 1000, 10, 40},
      {"1..3 with the default frequency: one interval", 100, 1, 3, 10, 2},
      {"frequency 0 counts as 1", 100, 1, 3, 0, 1},
      {"zero range", 100, 5, 5, 10, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TestTrackBar* bar = Make(TLuOrientation::voHorizontal, c.width, 40);
    bar->SetMaxValue(c.max);
    bar->SetMinValue(c.min);
    bar->SetFrequency(c.frequency);
    EXPECT_EQ(bar->TickStep(), c.step);
    bar->Repaint();  // ticks are drawn without end
    bar->Free();
  }
}

TEST_F(TrackBarTest, DegenerateRangesAndTracksMapToTheMinimum) {
  TestTrackBar* bar = Make(TLuOrientation::voHorizontal, 150, 40);
  bar->SetMaxValue(5);
  bar->SetMinValue(5);
  EXPECT_EQ(bar->PositionToPixel(5), bar->TrackStart());
  EXPECT_EQ(bar->PixelToPosition(80), 5);
  bar->SetMinValue(10);
  bar->SetMaxValue(0);  // minimum above maximum
  EXPECT_EQ(bar->PositionToPixel(3), bar->TrackStart());
  EXPECT_EQ(bar->PixelToPosition(80), 10);
  bar->Repaint();
  bar->Free();

  TestTrackBar* narrow = Make(TLuOrientation::voHorizontal, 20, 40);  // no track at all
  ASSERT_LE(narrow->TrackLength(), 0);
  EXPECT_EQ(narrow->PixelToPosition(15), 0);
  narrow->SetPositionFromPixel(15);
  EXPECT_EQ(narrow->Position(), 0);
  narrow->Free();
}

TEST_F(TrackBarTest, PositionIsClampedAndFiresOnce) {
  TestTrackBar* bar = Make(TLuOrientation::voHorizontal, 150, 40);
  bar->SetPosition(200);
  EXPECT_EQ(bar->Position(), 100);
  EXPECT_EQ(bar->changes, 1);
  bar->SetPosition(100);
  EXPECT_EQ(bar->changes, 1);
  bar->SetPosition(20);
  bar->changes = 0;
  bar->SetMinValue(50);
  EXPECT_EQ(bar->Position(), 50);
  EXPECT_EQ(bar->changes, 1);
  bar->Free();
}

TEST_F(TrackBarTest, KeysStepByTheFrequencyMirroredByTheStyle) {
  const struct {
    const char* name;
    TLuOrientation orientation;
    TLuProgressStyle style;
    uint16_t key;
    int position;
  } cases[] = {
      {"right", TLuOrientation::voHorizontal, TLuProgressStyle::psBottomLeft, VK_RIGHT, 60},
      {"left", TLuOrientation::voHorizontal, TLuProgressStyle::psBottomLeft, VK_LEFT, 40},
      {"right, minimum right", TLuOrientation::voHorizontal, TLuProgressStyle::psTopRight, VK_RIGHT,
       40},
      {"up", TLuOrientation::voVertical, TLuProgressStyle::psBottomLeft, VK_UP, 60},
      {"up, minimum at the top", TLuOrientation::voVertical, TLuProgressStyle::psTopRight, VK_UP,
       40},
      {"down", TLuOrientation::voVertical, TLuProgressStyle::psBottomLeft, VK_DOWN, 40},
      {"up does nothing on a horizontal bar", TLuOrientation::voHorizontal,
       TLuProgressStyle::psBottomLeft, VK_UP, 50},
      {"home: maximum", TLuOrientation::voHorizontal, TLuProgressStyle::psBottomLeft, VK_HOME, 100},
      {"end: minimum", TLuOrientation::voVertical, TLuProgressStyle::psTopRight, VK_END, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TestTrackBar* bar = Make(c.orientation, 150, 150);
    bar->SetStyle(c.style);
    bar->SetPosition(50);
    uint16_t key = c.key;
    bar->KeyDown(key, TShiftState{});
    EXPECT_EQ(bar->Position(), c.position);
    uint16_t shifted = c.key;
    bar->KeyDown(shifted, TShiftState(ssShift));  // with a modifier: nothing
    EXPECT_EQ(bar->Position(), c.position);
    bar->Free();
  }
}

TEST_F(TrackBarTest, DraggingIsHeldInsideTheClientArea) {
  TestTrackBar* bar = Make(TLuOrientation::voHorizontal, 150, 40);
  bar->SetPosition(50);
  bar->Repaint();
  const TRect thumb = bar->ThumbRect();
  const int grab_x = thumb.Left + 3, grab_y = (thumb.Top + thumb.Bottom) / 2;
  bar->MouseDown(mbLeft, TShiftState{}, grab_x, grab_y);
  ASSERT_TRUE(bar->Dragging());
  bar->MouseMove(TShiftState{}, 5000, grab_y);  // far beyond the right edge
  EXPECT_EQ(bar->Position(), 100);
  bar->MouseMove(TShiftState{}, -5000, grab_y);
  EXPECT_EQ(bar->Position(), 0);
  bar->MouseUp(mbLeft, TShiftState{}, 0, grab_y);
  EXPECT_FALSE(bar->Dragging());
  // A click off the thumb centres the thumb on it.
  bar->MouseDown(mbLeft, TShiftState{}, bar->PositionToPixel(80) + bar->ThumbWidth() / 2, grab_y);
  EXPECT_EQ(bar->Position(), 80);
  bar->Free();
}

}  // namespace
