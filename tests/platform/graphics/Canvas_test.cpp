// The canvas's pixels, checked against GDI's rules on a 12 x 12 bitmap.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <functional>
#include <set>

#include "platform/graphics/GraphicsTestSupport.h"

namespace {

constexpr TColor kBack = clWhite;
constexpr TColor kPenColor = clBlack;
constexpr TColor kBrushColor = 0x00336699;

// A 12 x 12 white bitmap, black pen, brush kBrushColor.
struct Fixture {
  TBitmap* bitmap = Create<TBitmap>();
  Fixture() {
    bitmap->SetSize(12, 12);
    TCanvas* c = bitmap->Canvas();
    c->Brush()->SetColor(kBack);
    c->FillRect(Rect(0, 0, 12, 12));
    c->Brush()->SetColor(kBrushColor);
    c->Pen()->SetColor(kPenColor);
  }
  ~Fixture() { bitmap->Free(); }
  TCanvas* C() { return bitmap->Canvas(); }
  // '.' background, '#' pen, 'o' brush, '?' anything else.
  std::vector<std::string> Grid() {
    std::vector<std::string> rows;
    for (int y = 0; y < 12; ++y) {
      std::string row;
      for (int x = 0; x < 12; ++x) {
        const TColor p = PixelOf(*bitmap, x, y);
        row += p == kBack ? '.' : p == kPenColor ? '#' : p == kBrushColor ? 'o' : '?';
      }
      rows.push_back(row);
    }
    return rows;
  }
};

struct PixelCase {
  const char* name;
  std::function<void(TCanvas*)> draw;
  std::vector<std::string> expected;
};

std::string Show(const std::vector<std::string>& g) {
  std::string s;
  for (const auto& r : g)
    s += r + "\n";
  return s;
}

const std::vector<PixelCase>& PixelCases() {
  static const std::vector<PixelCase> cases = {
      {"HorizontalLineLeavesEndPointOut",
       [](TCanvas* c) {
         c->MoveTo(1, 2);
         c->LineTo(9, 2);
       },
       {"............", "............", ".########...", "............", "............",
        "............", "............", "............", "............", "............",
        "............", "............"}},
      {"VerticalLineUpwardsLeavesEndPointOut",
       [](TCanvas* c) {
         c->MoveTo(5, 10);
         c->LineTo(5, 3);
       },
       {"............", "............", "............", "............", ".....#......",
        ".....#......", ".....#......", ".....#......", ".....#......", ".....#......",
        ".....#......", "............"}},
      {"ShallowLineTakesNearestRow",
       [](TCanvas* c) {
         c->MoveTo(1, 1);
         c->LineTo(8, 4);  // 3 rows over 7 columns: 0, .43, .86, 1.29, 1.71, 2.14, 2.57
       },
       {"............", ".##.........", "...##.......", ".....##.....", ".......#....",
        "............", "............", "............", "............", "............",
        "............", "............"}},
      {"PolylineDrawsEachJointOnce",
       [](TCanvas* c) {
         c->Pen()->SetMode(pmXor);
         c->Pen()->SetColor(clWhite);  // XOR with white turns white to black
         const TPoint pts[] = {{1, 1}, {6, 1}, {6, 6}, {1, 6}};
         c->Polyline(pts, 4);
       },
       {"............", ".######.....", "......#.....", "......#.....", "......#.....",
        "......#.....", "..#####.....", "............", "............", "............",
        "............", "............"}},
      {"LineFromMinus2To31IsClipped",
       [](TCanvas* c) {
         c->MoveTo(INT_MIN, 5);
         c->LineTo(6, 5);
         c->MoveTo(INT_MIN + 1, INT_MIN + 1);  // a diagonal from far away
         c->LineTo(4, 4);
       },
       {"#...........", ".#..........", "..#.........", "...#........", "............",
        "######......", "............", "............", "............", "............",
        "............", "............"}},
      {"DottedPenDrawsAlternatePixels",
       [](TCanvas* c) {
         c->Pen()->SetStyle(psDot);
         c->MoveTo(0, 3);
         c->LineTo(11, 3);
       },
       {"............", "............", "............", "#.#.#.#.#.#.", "............",
        "............", "............", "............", "............", "............",
        "............", "............"}},
      {"RectangleCoversBoxWithoutRightAndBottomEdges",
       [](TCanvas* c) { c->Rectangle(2, 3, 9, 8); },
       {"............", "............", "............", "..#######...", "..#ooooo#...",
        "..#ooooo#...", "..#ooooo#...", "..#######...", "............", "............",
        "............", "............"}},
      {"RectangleCornersInAnyOrder",
       [](TCanvas* c) { c->Rectangle(9, 8, 2, 3); },
       {"............", "............", "............", "..#######...", "..#ooooo#...",
        "..#ooooo#...", "..#ooooo#...", "..#######...", "............", "............",
        "............", "............"}},
      {"RectangleWithClearPenFillsWholeBox",
       [](TCanvas* c) {
         c->Pen()->SetStyle(psClear);
         c->Rectangle(2, 3, 5, 5);
       },
       {"............", "............", "............", "..ooo.......", "..ooo.......",
        "............", "............", "............", "............", "............",
        "............", "............"}},
      {"FillRectCoversBoxOnly",
       [](TCanvas* c) { c->FillRect(Rect(1, 1, 4, 3)); },
       {"............", ".ooo........", ".ooo........", "............", "............",
        "............", "............", "............", "............", "............",
        "............", "............"}},
      {"EmptyFillRectPaintsNothing",
       [](TCanvas* c) {
         c->FillRect(Rect(4, 4, 4, 9));
         c->FillRect(Rect(6, 6, 2, 9));
       },
       {"............", "............", "............", "............", "............",
        "............", "............", "............", "............", "............",
        "............", "............"}},
      {"CrossHatchEveryEighthRowAndColumnOverBackground",
       [](TCanvas* c) {
         c->Brush()->SetStyle(bsCross);
         c->FillRect(Rect(0, 0, 12, 12));
       },
       {"oooooooooooo", "o.......o...", "o.......o...", "o.......o...", "o.......o...",
        "o.......o...", "o.......o...", "o.......o...", "oooooooooooo", "o.......o...",
        "o.......o...", "o.......o..."}},
      {"PatternBrushTilesItsBitmap",
       [](TCanvas* c) {
         static TBitmap* pattern = [] {
           TBitmap* b = Create<TBitmap>();
           b->SetSize(3, 1);
           b->Canvas()->SetPixel(0, 0, kBrushColor);
           b->Canvas()->SetPixel(1, 0, kBack);
           b->Canvas()->SetPixel(2, 0, kBack);
           return b;
         }();
         c->Brush()->SetBitmap(pattern);
         c->FillRect(Rect(1, 2, 8, 3));
         c->Brush()->SetBitmap(nullptr);
       },
       {"............", "............", "...o..o.....", "............", "............",
        "............", "............", "............", "............", "............",
        "............", "............"}},
      {"FrameRectInBrushColour",
       [](TCanvas* c) { c->FrameRect(Rect(2, 2, 6, 5)); },
       {"............", "............", "..oooo......", "..o..o......", "..oooo......",
        "............", "............", "............", "............", "............",
        "............", "............"}},
      {"PolygonFillWithoutRightAndBottomEdges",
       [](TCanvas* c) {
         c->Pen()->SetStyle(psClear);
         const TPoint pts[] = {{2, 2}, {9, 2}, {9, 9}, {2, 9}};
         c->Polygon(pts, 4);
       },
       {"............", "............", "..ooooooo...", "..ooooooo...", "..ooooooo...",
        "..ooooooo...", "..ooooooo...", "..ooooooo...", "..ooooooo...", "............",
        "............", "............"}},
      {"PolygonOutlineDrawsEveryVertex",
       [](TCanvas* c) {
         const TPoint pts[] = {{2, 2}, {9, 2}, {9, 9}, {2, 9}};
         c->Polygon(pts, 4);
       },
       {"............", "............", "..########..", "..#oooooo#..", "..#oooooo#..",
        "..#oooooo#..", "..#oooooo#..", "..#oooooo#..", "..#oooooo#..", "..########..",
        "............", "............"}},
      {"PolygonFillsByAlternateRule",
       [](TCanvas* c) {
         c->Pen()->SetStyle(psClear);
         // An outer square and an inner one joined by a bridge: the inner
         // square is a hole.
         const TPoint pts[] = {{1, 1}, {11, 1}, {11, 11}, {1, 11}, {1, 1},
                               {4, 4}, {8, 4},  {8, 8},   {4, 8},  {4, 4}};
         c->Polygon(pts, 10);
       },
       {"............", ".oooooooooo.", ".oooooooooo.", ".oooooooooo.", ".ooo....ooo.",
        ".ooo....ooo.", ".ooo....ooo.", ".ooo....ooo.", ".oooooooooo.", ".oooooooooo.",
        ".oooooooooo.", "............"}},
      {"PixelsInsideSetOutsideIgnored",
       [](TCanvas* c) {
         c->SetPixel(0, 0, kPenColor);
         c->SetPixel(11, 11, kBrushColor);
         c->SetPixel(12, 0, kPenColor);
         c->SetPixel(-1, 5, kPenColor);
         c->SetPixel(INT_MAX, INT_MIN, kPenColor);
       },
       {"#...........", "............", "............", "............", "............",
        "............", "............", "............", "............", "............",
        "............", "...........o"}},
      {"FocusRectInvertsAlternatePixels",
       [](TCanvas* c) { c->DrawFocusRect(Rect(1, 1, 7, 5)); },
       {"............", ".#.#.#......", "......#.....", ".#..........", "..#.#.#.....",
        "............", "............", "............", "............", "............",
        "............", "............"}},
      {"FocusRectTwiceLeavesNothing",
       [](TCanvas* c) {
         c->DrawFocusRect(Rect(1, 1, 7, 5));
         c->DrawFocusRect(Rect(1, 1, 7, 5));
       },
       {"............", "............", "............", "............", "............",
        "............", "............", "............", "............", "............",
        "............", "............"}},
      {"ClipExcludesRectangle",
       [](TCanvas* c) {
         c->ExcludeClipRect(Rect(3, 0, 6, 12));
         c->FillRect(Rect(0, 1, 9, 2));
       },
       {"............", "ooo...ooo...", "............", "............", "............",
        "............", "............", "............", "............", "............",
        "............", "............"}},
      {"WindowOriginMovesDrawing",
       [](TCanvas* c) {
         c->SetWindowOrg({-2, 1});
         c->FillRect(Rect(0, 1, 3, 2));  // lands at device (2, 0)
       },
       {"..ooo.......", "............", "............", "............", "............",
        "............", "............", "............", "............", "............",
        "............", "............"}},
  };
  return cases;
}

class CanvasPixels : public testing::TestWithParam<size_t> {};

TEST_P(CanvasPixels, MatchesRule) {
  const PixelCase& pc = PixelCases()[GetParam()];
  Fixture f;
  pc.draw(f.C());
  EXPECT_EQ(Show(f.Grid()), Show(pc.expected)) << pc.name;
}

INSTANTIATE_TEST_SUITE_P(Table, CanvasPixels, testing::Range<size_t>(0, PixelCases().size()),
                         [](const testing::TestParamInfo<size_t>& info) {
                           return std::string(PixelCases()[info.param].name);
                         });

// Lines in all eight octants from the centre, against the rule: one pixel per
// step of the major axis, the minor coordinate the nearest to the ideal line
// (odd major lengths, so no ties), the end point left out.
TEST(CanvasLines, AllOctantsTakeNearestPixels) {
  const TPoint ends[] = {{11, 8}, {8, 11}, {4, 11}, {1, 8}, {1, 4}, {4, 1}, {8, 1}, {11, 4}};
  for (const TPoint e : ends) {
    Fixture f;
    f.C()->MoveTo(6, 6);
    f.C()->LineTo(e.X, e.Y);
    std::set<std::pair<int, int>> want;
    const int dx = e.X - 6, dy = e.Y - 6;
    const int n = std::max(std::abs(dx), std::abs(dy));
    for (int i = 0; i < n; ++i) {
      const double t = static_cast<double>(i) / n;
      want.insert(
          {static_cast<int>(std::lround(6 + dx * t)), static_cast<int>(std::lround(6 + dy * t))});
    }
    std::set<std::pair<int, int>> got;
    for (int y = 0; y < 12; ++y) {
      for (int x = 0; x < 12; ++x) {
        if (f.C()->Pixel(x, y) == kPenColor)
          got.insert({x, y});
      }
    }
    EXPECT_EQ(got, want) << "to " << e.X << "," << e.Y;
  }
}

// Every pen mode on a known background, against its boolean function.
TEST(CanvasPenModes, SixteenRasterOperations) {
  constexpr uint32_t P = 0x30C0AA, D = 0xF0A050;
  const std::pair<TPenMode, uint32_t> modes[] = {{pmBlack, 0},
                                                 {pmWhite, 0xFFFFFF},
                                                 {pmNop, D},
                                                 {pmNot, ~D},
                                                 {pmCopy, P},
                                                 {pmNotCopy, ~P},
                                                 {pmMergePenNot, P | ~D},
                                                 {pmMaskPenNot, P & ~D},
                                                 {pmMergeNotPen, ~P | D},
                                                 {pmMaskNotPen, ~P & D},
                                                 {pmMerge, P | D},
                                                 {pmNotMerge, ~(P | D)},
                                                 {pmMask, P & D},
                                                 {pmNotMask, ~(P & D)},
                                                 {pmXor, P ^ D},
                                                 {pmNotXor, ~(P ^ D)}};
  for (const auto& [mode, want] : modes) {
    Fixture f;
    f.C()->Brush()->SetColor(static_cast<TColor>(D));
    f.C()->FillRect(Rect(0, 0, 12, 12));
    f.C()->Pen()->SetColor(static_cast<TColor>(P));
    f.C()->Pen()->SetMode(mode);
    f.C()->MoveTo(2, 2);
    f.C()->LineTo(5, 2);
    EXPECT_EQ(static_cast<uint32_t>(f.C()->Pixel(3, 2)), want & 0xFFFFFF) << PenModeNames()[mode];
    EXPECT_EQ(static_cast<uint32_t>(f.C()->Pixel(5, 2)), D)
        << "end point, " << PenModeNames()[mode];
  }
}

// Ellipses, round rectangles and wide pens: GDI gives no exact outline, so
// the box rule and the symmetry must hold.
struct ShapeCase {
  const char* name;
  std::function<void(TCanvas*)> draw;
  TRect box;  // exactly the painted bounds
};

TEST(CanvasShapes, BoxRuleAndSymmetry) {
  const ShapeCase cases[] = {
      {"Ellipse", [](TCanvas* c) { c->Ellipse(1, 2, 10, 9); }, Rect(1, 2, 10, 9)},
      {"EvenEllipse", [](TCanvas* c) { c->Ellipse(2, 2, 10, 10); }, Rect(2, 2, 10, 10)},
      {"EllipseClearPen",
       [](TCanvas* c) {
         c->Pen()->SetStyle(psClear);
         c->Ellipse(0, 1, 11, 8);
       },
       Rect(0, 1, 11, 8)},
      {"RoundRect", [](TCanvas* c) { c->RoundRect(1, 1, 11, 9, 5, 5); }, Rect(1, 1, 11, 9)},
      {"RoundRectHugeCorners", [](TCanvas* c) { c->RoundRect(1, 1, 11, 9, 40, 40); },
       Rect(1, 1, 11, 9)},
      {"Width3Line",
       [](TCanvas* c) {
         c->Pen()->SetWidth(3);
         c->MoveTo(3, 6);
         c->LineTo(9, 6);  // 3..9 (a wide line keeps its end), grown by 1
       },
       Rect(2, 5, 11, 8)},
      {"Width3Rectangle",
       [](TCanvas* c) {
         c->Pen()->SetWidth(3);
         c->Rectangle(3, 3, 9, 9);
       },
       Rect(2, 2, 10, 10)},
      {"Width2LineIsAPlusStamp",
       [](TCanvas* c) {
         c->Pen()->SetWidth(2);
         c->MoveTo(4, 4);
         c->LineTo(4, 9);  // rows 4..9, grown by 1
       },
       Rect(3, 3, 6, 11)},
      {"Width3InsideFrameStaysInBox",
       [](TCanvas* c) {
         c->Pen()->SetWidth(3);
         c->Pen()->SetStyle(psInsideFrame);
         c->Rectangle(2, 2, 10, 10);
       },
       Rect(2, 2, 10, 10)},
      {"Width3Ellipse",
       [](TCanvas* c) {
         c->Pen()->SetWidth(3);
         c->Ellipse(2, 2, 10, 10);
       },
       Rect(1, 1, 11, 11)},
  };
  for (const ShapeCase& sc : cases) {
    Fixture f;
    sc.draw(f.C());
    EXPECT_EQ(PaintedBounds(*f.bitmap, kBack), sc.box) << sc.name;
    const TRect b = sc.box;
    for (int y = b.Top; y < b.Bottom; ++y) {
      for (int x = b.Left; x < b.Right; ++x) {
        const TColor p = f.C()->Pixel(x, y);
        const int mx = b.Left + b.Right - 1 - x, my = b.Top + b.Bottom - 1 - y;
        EXPECT_EQ(p, f.C()->Pixel(mx, y)) << sc.name << " left-right at " << x << "," << y;
        EXPECT_EQ(p, f.C()->Pixel(x, my)) << sc.name << " top-bottom at " << x << "," << y;
      }
    }
  }
}

// Pens of any width: the stroke covers the pixels within width / 2 of the
// line, end point included, symmetric about the line's middle (both the
// stamped narrow pens and the very wide ones).
TEST(CanvasShapes, WidePenCoversHalfItsWidthAroundTheLine) {
  const std::pair<int, TRect> cases[] = {
      {16, Rect(12, 22, 49, 39)}, {18, Rect(11, 21, 50, 40)}, {40, Rect(0, 10, 60, 51)}};
  for (const auto& [width, box] : cases) {
    TBitmap* b = Create<TBitmap>();
    b->SetSize(60, 60);
    b->Canvas()->FillRect(Rect(0, 0, 60, 60));
    b->Canvas()->Pen()->SetWidth(width);
    b->Canvas()->MoveTo(20, 30);
    b->Canvas()->LineTo(40, 30);
    EXPECT_EQ(PaintedBounds(*b, clWhite), box) << width;
    for (int y = 0; y < 60; ++y) {
      for (int x = 0; x < 60; ++x) {
        if (60 - x > 59 || 60 - y > 59)
          continue;
        ASSERT_EQ(PixelOf(*b, x, y), PixelOf(*b, 60 - x, y)) << width << " at " << x << "," << y;
        ASSERT_EQ(PixelOf(*b, x, y), PixelOf(*b, x, 60 - y)) << width << " at " << x << "," << y;
      }
    }
    b->Free();
  }
}

// Huge figures are clipped before anything is rasterised: they finish and
// paint what lies in the canvas.
TEST(CanvasShapes, HugeCoordinatesAreClipped) {
  Fixture f;
  f.C()->Pen()->SetStyle(psClear);
  f.C()->Ellipse(INT_MIN, INT_MIN, INT_MAX, INT_MAX);
  EXPECT_EQ(f.C()->Pixel(6, 6), kBrushColor);
  Fixture g;
  g.C()->Pen()->SetWidth(2002);
  g.C()->MoveTo(INT_MIN, 6);
  g.C()->LineTo(INT_MAX, 6);
  EXPECT_EQ(PaintedBounds(*g.bitmap, kBack), Rect(0, 0, 12, 12));
  Fixture h;
  const TPoint pts[] = {{INT_MIN, INT_MIN}, {INT_MAX, INT_MIN}, {INT_MAX, INT_MAX}};
  h.C()->Polygon(pts, 3);
  EXPECT_EQ(h.C()->Pixel(11, 0), kBrushColor);
  EXPECT_EQ(h.C()->Pixel(0, 11), kBack);
}

TEST(CanvasState, RestoreBringsBackClipOriginAndPen) {
  Fixture f;
  TCanvas* c = f.C();
  const int level = c->SaveState();
  c->IntersectClipRect(Rect(0, 0, 2, 2));
  c->SetWindowOrg({5, 5});
  c->Pen()->SetColor(clRed);
  EXPECT_TRUE(c->RestoreState(level));
  EXPECT_FALSE(c->HasClipRegion());
  EXPECT_EQ(c->WindowOrg(), TPoint{});
  EXPECT_EQ(c->Pen()->Color(), kPenColor);
  EXPECT_FALSE(c->RestoreState(level));  // popped
  EXPECT_FALSE(c->RectVisible(Rect(12, 0, 20, 5)));
  EXPECT_TRUE(c->RectVisible(Rect(11, 0, 20, 5)));
}

TEST(CanvasText, FontHeightsBeyondTheLargestFontAreBounded) {
  // Character heights (negative) of any size are accepted, the most
  // negative one too: beyond the largest font the canvas draws, all
  // measure alike, and no smaller than a large font.
  EnsureGuiApplication();
  Fixture f;
  auto extent = [&](int height) {
    f.C()->Font()->SetHeight(height);
    return f.C()->TextExtent("Wg");
  };
  const TSize large = extent(-1000);
  const TSize most = extent(INT_MIN);
  EXPECT_EQ(most, extent(INT_MIN + 1));
  EXPECT_GT(most.cx, large.cx);
  EXPECT_GT(most.cy, large.cy);
  f.C()->TextOut(0, 0, "W");
}

}  // namespace
