// Fonts and text on the canvas: GDI's height sign rule, text height as
// ascent + descent, whole-pixel advances, rotated text, opaque and
// transparent output, DrawText.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <utility>
#include <vector>

#include "platform/graphics/GraphicsTestSupport.h"

namespace {

class TextTest : public testing::Test {
 protected:
  void SetUp() override {
    EnsureGuiApplication();
    bitmap = Create<TBitmap>();
    bitmap->SetSize(80, 80);
    Clear();
  }
  void TearDown() override { bitmap->Free(); }
  void Clear() {
    TCanvas* c = bitmap->Canvas();
    c->Brush()->SetStyle(bsSolid);
    c->Brush()->SetColor(clWhite);
    c->FillRect(Rect(0, 0, 80, 80));
  }
  TCanvas* C() { return bitmap->Canvas(); }
  TBitmap* bitmap = nullptr;
};

// The substituted face has Arial's metrics (ascent 1854 and descent 434 of
// 2048 units): a cell of 1.117 em.
constexpr double kCellPerEm = (1854.0 + 434.0) / 2048.0;

TEST_F(TextTest, HeightSignRule) {
  struct Case {
    const char* face;
    int height;
    int cell;  // expected ascent + descent, within a pixel
  };
  const Case cases[] = {
      {"MS Sans Serif", -11, static_cast<int>(std::lround(11 * kCellPerEm))},
      {"Arial", -9, static_cast<int>(std::lround(9 * kCellPerEm))},
      {"Tahoma", -11, static_cast<int>(std::lround(11 * kCellPerEm))},
      {"MS Sans Serif", 13, 13},  // a positive height is the cell
      {"Arial", 20, 20},
  };
  for (const Case& k : cases) {
    C()->Font()->SetName(k.face);
    C()->Font()->SetHeight(k.height);
    const int h = C()->TextHeight("Xg");
    EXPECT_NEAR(h, k.cell, 1) << k.face << " " << k.height;
    RecordProperty(std::string(k.face) + " " + std::to_string(k.height), h);
  }
}

TEST_F(TextTest, SizeAndHeightFollowNinetySixDpi) {
  TFont* f = C()->Font();
  EXPECT_EQ(f->Name(), "MS Sans Serif");
  EXPECT_EQ(f->Height(), -11);
  EXPECT_EQ(f->Size(), 8);
  f->SetSize(14);
  EXPECT_EQ(f->Height(), -19);  // 14 * 96 / 72 = 18.67
  f->SetHeight(-9);
  EXPECT_EQ(f->Size(), 7);  // 9 * 72 / 96 = 6.75
}

// The glyphs of "Xg" lie inside the cell (x, y) .. (x + width, y + height):
// the X reaches near the top, the g's descender near the bottom.
TEST_F(TextTest, GlyphsStayInTheirCell) {
  C()->Font()->SetName("Arial");
  C()->Font()->SetHeight(-20);
  C()->Font()->SetColor(clBlack);
  C()->Brush()->SetStyle(bsClear);
  const TSize ext = C()->TextExtent("Xg");
  C()->TextOut(10, 10, "Xg");
  const TRect ink = PaintedBounds(*bitmap, clWhite);
  EXPECT_GE(ink.Left, 10);
  EXPECT_GE(ink.Top, 10);
  EXPECT_LE(ink.Right, 10 + ext.cx + 1);
  EXPECT_LE(ink.Bottom, 10 + ext.cy);
  EXPECT_LE(ink.Top, 10 + ext.cy / 4);         // the cap is near the top
  EXPECT_GE(ink.Bottom, 10 + ext.cy * 3 / 4);  // the descender near the bottom
}

TEST_F(TextTest, OpaqueTextFillsExactlyItsCell) {
  C()->Font()->SetColor(clBlack);
  C()->Brush()->SetColor(clYellow);
  C()->TextOut(7, 9, "Abc");
  const TSize ext = C()->TextExtent("Abc");
  TRect box{80, 80, -1, -1};
  for (int y = 0; y < 80; ++y) {
    for (int x = 0; x < 80; ++x) {
      if (PixelOf(*bitmap, x, y) != clWhite) {
        box.Left = std::min(box.Left, x);
        box.Top = std::min(box.Top, y);
        box.Right = std::max(box.Right, x + 1);
        box.Bottom = std::max(box.Bottom, y + 1);
      }
    }
  }
  EXPECT_EQ(box, Bounds(7, 9, ext.cx, ext.cy));
  EXPECT_EQ(PixelOf(*bitmap, 7, 9), clYellow);
}

// Escapement 900: the text runs upwards from (x, y) and covers
// (x, y - width) .. (x + height, y).
TEST_F(TextTest, RotatedTextTurnsAboutTopLeft) {
  C()->Font()->SetName("Arial");
  C()->Font()->SetHeight(-12);
  C()->Font()->SetColor(clBlack);
  C()->Brush()->SetColor(clAqua);
  const TSize ext = C()->TextExtent("WWWW");
  C()->Font()->SetEscapement(900);
  C()->TextOut(20, 70, "WWWW");
  const TRect ink = PaintedBounds(*bitmap, clWhite);
  EXPECT_NEAR(ink.Left, 20, 1);
  EXPECT_NEAR(ink.Right, 20 + ext.cy, 1);
  EXPECT_NEAR(ink.Top, 70 - ext.cx, 1);
  EXPECT_NEAR(ink.Bottom, 70, 1);
}

TEST_F(TextTest, DrawTextCalcRectAndAlignment) {
  C()->Font()->SetColor(clBlack);
  C()->Brush()->SetStyle(bsClear);
  TRect r = Rect(5, 5, 1000, 100);
  const int h = DrawText(C(), "Base de temps", &r, DT_SINGLELINE | DT_CALCRECT);
  EXPECT_EQ(h, C()->TextHeight("Base de temps"));
  EXPECT_EQ(r, Rect(5, 5, 5 + C()->TextWidth("Base de temps"), 5 + h));
  EXPECT_EQ(PaintedBounds(*bitmap, clWhite), TRect{});  // calculate only

  // Two lines, and "&&" is one ampersand.
  TRect two = Rect(0, 0, 1000, 100);
  EXPECT_EQ(DrawText(C(), "a&&b\r\nc", &two, DT_CALCRECT), 2 * C()->TextHeight("a"));
  EXPECT_EQ(two.Right, C()->TextWidth("a&b"));

  // Centred both ways on one line: the ink sits in the middle.
  TRect box = Rect(0, 0, 80, 80);
  DrawText(C(), "ooo", &box, DT_SINGLELINE | DT_CENTER | DT_VCENTER);
  const TRect ink = PaintedBounds(*bitmap, clWhite);
  EXPECT_NEAR((ink.Left + ink.Right) / 2.0, 40.0, 1.5);
  EXPECT_NEAR((ink.Top + ink.Bottom) / 2.0, 40.0 + 1.5, 3.0);  // x-height sits low in the cell
}

// The runs of columns of `b` inside `area` that hold a pixel other than
// `background`, as [first, last + 1) pairs.
std::vector<std::pair<int, int>> InkColumnRuns(TBitmap& b, const TRect& area, TColor background) {
  std::vector<std::pair<int, int>> runs;
  for (int x = area.Left; x < area.Right; ++x) {
    bool ink = false;
    for (int y = area.Top; y < area.Bottom && !ink; ++y)
      ink = PixelOf(b, x, y) != background;
    if (!ink)
      continue;
    if (!runs.empty() && runs.back().second == x)
      runs.back().second = x + 1;
    else
      runs.emplace_back(x, x + 1);
  }
  return runs;
}

bool SamePixels(TBitmap& a, TBitmap& b) {
  for (int y = 0; y < a.Height(); ++y) {
    for (int x = 0; x < a.Width(); ++x) {
      if (PixelOf(a, x, y) != PixelOf(b, x, y))
        return false;
    }
  }
  return true;
}

// Text drawn without anti-aliasing is laid out as the system's own text:
// hinted glyphs on whole-pixel advances, no kerning. A text drawn at once is
// its letters drawn one by one, each at the width of what comes before it;
// its width is the sum of theirs; and the gaps between the glyphs of each of
// its words differ by a pixel at most (letters placed a pixel early or late
// one by one show "Lisez-m oi", "Base de tem ps"). The texts are ASCII, so
// a byte is a letter.
TEST_F(TextTest, SmallTextLiesOnWholePixelAdvances) {
  struct Case {
    const char* face;
    int height;
    const char* text;
  };
  const Case cases[] = {
      {"Tahoma", -11, "Lisez-moi"},
      {"Tahoma", -11, "Index de l'aide"},
      {"Tahoma", -11, "Base de temps"},
      {"Tahoma", -11, "Oscilloscope"},
      {"MS Sans Serif", -11, "Amplitude Voie 2"},
      {"Arial", -9, "Balayage"},
      {"Tahoma", -13, "Analyseur spectre"},
      {"Arial", -12, "AVoTe"},  // pairs a kerning font would pull together
  };
  constexpr int kX = 4, kY = 10;
  TBitmap* pieces = Create<TBitmap>();
  for (const Case& k : cases) {
    SCOPED_TRACE(std::string(k.face) + " " + std::to_string(k.height) + " " + k.text);
    const std::string text = k.text;
    for (TBitmap* b : {bitmap, pieces}) {
      b->SetSize(160, 40);
      TCanvas* c = b->Canvas();
      c->Brush()->SetStyle(bsSolid);
      c->Brush()->SetColor(clWhite);
      c->FillRect(Rect(0, 0, 160, 40));
      c->Font()->SetName(k.face);
      c->Font()->SetHeight(k.height);
      c->Font()->SetColor(clBlack);
      c->Brush()->SetStyle(bsClear);
    }
    C()->TextOut(kX, kY, text);
    auto at = [&](size_t i) { return kX + C()->TextWidth(text.substr(0, i)); };
    int sum = 0;
    for (size_t i = 0; i < text.size(); ++i) {
      pieces->Canvas()->TextOut(at(i), kY, text.substr(i, 1));
      sum += C()->TextWidth(text.substr(i, 1));
    }
    EXPECT_EQ(C()->TextWidth(text), sum);
    EXPECT_TRUE(SamePixels(*bitmap, *pieces));
    const TRect ink = PaintedBounds(*bitmap, clWhite);
    EXPECT_GE(ink.Left, kX);
    EXPECT_LE(ink.Right, at(text.size()) + 1);

    for (size_t begin = 0; begin < text.size();) {
      size_t end = text.find(' ', begin);
      if (end == std::string::npos)
        end = text.size();
      if (end - begin >= 2) {
        SCOPED_TRACE(text.substr(begin, end - begin));
        const std::vector<std::pair<int, int>> runs =
            InkColumnRuns(*bitmap, Rect(at(begin), 0, at(end), 40), clWhite);
        ASSERT_GE(runs.size(), 2u);
        int narrowest = INT_MAX, widest = INT_MIN;
        for (size_t i = 1; i < runs.size(); ++i) {
          const int gap = runs[i].first - runs[i - 1].second;
          narrowest = std::min(narrowest, gap);
          widest = std::max(widest, gap);
        }
        EXPECT_LE(widest - narrowest, 1);
      }
      begin = end + 1;
    }
  }
  pieces->Free();
}

TEST_F(TextTest, TextFarAwayIsDroppedWithoutHarm) {
  C()->Font()->SetColor(clBlack);
  C()->TextOut(INT_MIN, INT_MIN, "far");
  C()->TextOut(INT_MAX - 5, 40, "far");
  C()->Font()->SetEscapement(450);
  C()->TextOut(INT_MIN, INT_MAX, "far");
  TRect edge = Rect(INT_MAX - 5, INT_MAX - 5, INT_MAX, INT_MAX);
  DrawText(C(), "a\nb\nc", &edge, DT_CENTER);
  DrawText(C(), "a\nb\nc", &edge, DT_CALCRECT);
  EXPECT_EQ(edge.Right, INT_MAX);
  EXPECT_EQ(edge.Bottom, INT_MAX);
  TRect whole = Rect(INT_MIN, INT_MIN, INT_MAX, INT_MAX);
  DrawText(C(), "far", &whole, DT_SINGLELINE | DT_BOTTOM | DT_RIGHT);
  EXPECT_EQ(PaintedBounds(*bitmap, clWhite), TRect{});
}

TEST_F(TextTest, TextRectClipsToItsRectangle) {
  C()->Font()->SetHeight(-20);
  C()->Font()->SetColor(clBlack);
  C()->Brush()->SetColor(clLime);
  C()->TextRect(Rect(10, 10, 20, 18), 5, 5, "WWWWWW");
  EXPECT_EQ(PaintedBounds(*bitmap, clWhite), Rect(10, 10, 20, 18));
}

}  // namespace

namespace {

TEST(ScreenFonts, HoldInstalledFamiliesAndSubstitutedFaces) {
  EnsureGuiApplication();
  const std::vector<std::string> names = ScreenFontNames();
  for (const char* face : {"Tahoma", "MS Sans Serif", "Arial", "Liberation Sans"}) {
    EXPECT_NE(std::find(names.begin(), names.end(), face), names.end()) << face;
    EXPECT_TRUE(IsOutlineFont(face)) << face;
    EXPECT_FALSE(IsDeviceFont(face)) << face;
  }
  EXPECT_FALSE(IsOutlineFont("No Such Face At All"));
}

}  // namespace
