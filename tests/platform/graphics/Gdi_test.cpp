// The drawing calls on a canvas: block transfers and their raster
// operations, monochrome conversion, clip regions, saved states, edges.
#include <gtest/gtest.h>

#include <climits>

#include "platform/graphics/GraphicsTestSupport.h"

namespace {

TBitmap* Filled(int w, int h, TColor color) {
  TBitmap* b = Create<TBitmap>();
  b->SetSize(w, h);
  b->Canvas()->Brush()->SetColor(color);
  b->Canvas()->FillRect(Rect(0, 0, w, h));
  return b;
}

TEST(BitBlt, RasterOperations) {
  constexpr TColor S = 0x00C3A50F, D = 0x005A3CF0;
  const std::pair<DWORD, TColor> cases[] = {
      {SRCCOPY, S}, {SRCINVERT, S ^ D}, {SRCAND, S & D}, {SRCPAINT, S | D}};
  for (const auto& [rop, want] : cases) {
    TBitmap* src = Filled(4, 4, S);
    TBitmap* dst = Filled(6, 6, D);
    EXPECT_TRUE(BitBlt(dst->Canvas(), 1, 1, 2, 2, src->Canvas(), 0, 0, rop));
    EXPECT_EQ(PixelOf(*dst, 1, 1), want) << std::hex << rop;
    EXPECT_EQ(PixelOf(*dst, 2, 2), want) << std::hex << rop;
    EXPECT_EQ(PixelOf(*dst, 3, 3), D) << std::hex << rop;
    EXPECT_EQ(PixelOf(*dst, 0, 0), D) << std::hex << rop;
    src->Free();
    dst->Free();
  }
  TBitmap* a = Filled(2, 2, clRed);
  EXPECT_FALSE(BitBlt(a->Canvas(), 0, 0, 1, 1, a->Canvas(), 0, 0, 0x00BB0226));
  EXPECT_FALSE(BitBlt(nullptr, 0, 0, 1, 1, a->Canvas(), 0, 0, SRCCOPY));
  a->Free();
}

// A monochrome source paints black bits in the destination's text colour
// and white bits in its background colour; a colour source on a monochrome
// destination turns white where it equals the source's background colour.
TEST(BitBlt, MonochromeMeetsColour) {
  TBitmap* mask = Filled(2, 1, clWhite);
  mask->SetMonochrome(true);
  mask->Canvas()->SetPixel(0, 0, clBlack);
  TBitmap* dst = Filled(2, 1, clGray);
  SetTextColor(dst->Canvas(), 0x0000FF);
  SetBkColor(dst->Canvas(), 0x00FF00);
  BitBlt(dst->Canvas(), 0, 0, 2, 1, mask->Canvas(), 0, 0, SRCCOPY);
  EXPECT_EQ(PixelOf(*dst, 0, 0), 0x0000FF);
  EXPECT_EQ(PixelOf(*dst, 1, 0), 0x00FF00);

  TBitmap* colour = Filled(2, 1, clBlue);
  colour->Canvas()->SetPixel(1, 0, clYellow);
  SetBkColor(colour->Canvas(), ColorToRGB(clYellow));
  TBitmap* mono = Filled(2, 1, clBlack);
  mono->SetMonochrome(true);
  BitBlt(mono->Canvas(), 0, 0, 2, 1, colour->Canvas(), 0, 0, SRCCOPY);
  EXPECT_EQ(PixelOf(*mono, 0, 0), clBlack);
  EXPECT_EQ(PixelOf(*mono, 1, 0), clWhite);
  for (TBitmap* b : {mask, dst, colour, mono})
    b->Free();
}

// The texture trick of the textured text: invert, mask, invert leaves the
// texture where the mask is black and the destination elsewhere.
TEST(BitBlt, InvertMaskInvertShowsTextureThroughMask) {
  constexpr TColor kTexture = 0x0012AB34, kDest = 0x00777777;
  TBitmap* dst = Filled(2, 1, kDest);
  TBitmap* tex = Filled(2, 1, kTexture);
  TBitmap* mask = Filled(2, 1, clWhite);
  mask->SetMonochrome(true);
  mask->Canvas()->SetPixel(0, 0, clBlack);
  BitBlt(dst->Canvas(), 0, 0, 2, 1, tex->Canvas(), 0, 0, SRCINVERT);
  BitBlt(dst->Canvas(), 0, 0, 2, 1, mask->Canvas(), 0, 0, SRCAND);
  BitBlt(dst->Canvas(), 0, 0, 2, 1, tex->Canvas(), 0, 0, SRCINVERT);
  EXPECT_EQ(PixelOf(*dst, 0, 0), kTexture);
  EXPECT_EQ(PixelOf(*dst, 1, 0), kDest);
  for (TBitmap* b : {dst, tex, mask})
    b->Free();
}

TEST(StretchBlt, StretchesAndMirrors) {
  TBitmap* src = Filled(2, 1, clRed);
  src->Canvas()->SetPixel(1, 0, clBlue);
  TBitmap* dst = Filled(4, 2, clWhite);
  StretchBlt(dst->Canvas(), 0, 0, 4, 2, src->Canvas(), 0, 0, 2, 1, SRCCOPY);
  EXPECT_EQ(PixelOf(*dst, 1, 1), clRed);
  EXPECT_EQ(PixelOf(*dst, 2, 0), clBlue);
  // A negative width covers [x + w, x): here pixels 0..3, mirrored.
  StretchBlt(dst->Canvas(), 4, 0, -4, 1, src->Canvas(), 0, 0, 2, 1, SRCCOPY);
  EXPECT_EQ(PixelOf(*dst, 0, 0), clBlue);
  EXPECT_EQ(PixelOf(*dst, 3, 0), clRed);
  src->Free();
  dst->Free();
}

TEST(BitBlt, HugeCoordinatesCopyNothingAndDoNotOverflow) {
  TBitmap* src = Filled(4, 4, clRed);
  TBitmap* dst = Filled(4, 4, clWhite);
  EXPECT_TRUE(BitBlt(dst->Canvas(), INT_MAX - 1, INT_MAX - 1, 4, 4, src->Canvas(), 0, 0, SRCCOPY));
  EXPECT_TRUE(BitBlt(dst->Canvas(), 0, 0, 4, 4, src->Canvas(), INT_MIN, INT_MIN, SRCCOPY));
  dst->Canvas()->CopyRect(Rect(INT_MIN, INT_MIN, INT_MAX, INT_MAX), src->Canvas(),
                          Rect(0, 0, 4, 4));
  dst->Canvas()->Draw(INT_MAX, INT_MAX, src);
  EXPECT_EQ(PixelOf(*dst, 0, 0), clWhite);
  src->Free();
  dst->Free();
}

TEST(BitBlt, OverlappingCopyWithinOneCanvas) {
  TBitmap* b = Filled(4, 1, clWhite);
  b->Canvas()->SetPixel(0, 0, clRed);
  b->Canvas()->SetPixel(1, 0, clLime);
  BitBlt(b->Canvas(), 1, 0, 2, 1, b->Canvas(), 0, 0, SRCCOPY);
  EXPECT_EQ(PixelOf(*b, 1, 0), clRed);
  EXPECT_EQ(PixelOf(*b, 2, 0), clLime);
  b->Free();
}

TEST(ClipRegions, SelectExcludeIntersectAndQuery) {
  TBitmap* b = Filled(10, 10, clWhite);
  HDC dc = b->Canvas();
  HRGN r = CreateRectRgn(2, 2, 8, 8);
  EXPECT_EQ(SelectClipRgn(dc, r), SIMPLEREGION);
  DeleteObject(r);  // the canvas keeps its own copy
  EXPECT_EQ(ExcludeClipRect(dc, 4, 0, 6, 10), COMPLEXREGION);
  TRect box;
  EXPECT_EQ(GetClipBox(dc, &box), COMPLEXREGION);
  EXPECT_EQ(box, Rect(2, 2, 8, 8));
  TRect inGap = Rect(4, 3, 6, 5), inClip = Rect(0, 0, 3, 3);
  EXPECT_FALSE(RectVisible(dc, &inGap));
  EXPECT_TRUE(RectVisible(dc, &inClip));
  dc->Brush()->SetColor(clRed);
  dc->FillRect(Rect(0, 0, 10, 10));
  EXPECT_EQ(PaintedBounds(*b, clWhite), Rect(2, 2, 8, 8));
  EXPECT_EQ(PixelOf(*b, 4, 4), clWhite);
  EXPECT_EQ(PixelOf(*b, 3, 4), clRed);
  // SaveDC / RestoreDC around an origin move and a narrower clip.
  const int level = SaveDC(dc);
  MoveWindowOrg(dc, 3, 0);
  IntersectClipRect(dc, 0, 0, 1, 10);  // logical 0 is device 3
  dc->Brush()->SetColor(clBlue);
  dc->FillRect(Rect(-10, 0, 20, 10));
  EXPECT_EQ(PixelOf(*b, 3, 4), clBlue);
  EXPECT_EQ(PixelOf(*b, 2, 4), clRed);
  EXPECT_TRUE(RestoreDC(dc, level));
  TPoint org{9, 9};
  GetWindowOrgEx(dc, &org);
  EXPECT_EQ(org, TPoint{});
  EXPECT_EQ(dc->Brush()->Color(), clRed);
  HRGN got = CreateRectRgn(0, 0, 0, 0);
  EXPECT_EQ(GetClipRgn(dc, got), 1);
  EXPECT_FALSE(got->Contains({4, 4}));
  EXPECT_TRUE(got->Contains({2, 2}));
  SelectClipRgn(dc, nullptr);
  EXPECT_EQ(GetClipRgn(dc, got), 0);
  DeleteObject(got);
  b->Free();
}

TEST(DrawEdge, RaisedAndSunkenColoursAndAdjust) {
  struct Case {
    UINT edge;
    TColor outerTopLeft, outerBottomRight, innerTopLeft, innerBottomRight;
  };
  const Case cases[] = {
      {EDGE_RAISED, cl3DLight, cl3DDkShadow, clBtnHighlight, clBtnShadow},
      {EDGE_SUNKEN, clBtnShadow, clBtnHighlight, cl3DDkShadow, cl3DLight},
      {EDGE_ETCHED, clBtnShadow, clBtnHighlight, clBtnHighlight, clBtnShadow},
  };
  for (const Case& k : cases) {
    TBitmap* b = Filled(8, 8, clFuchsia);
    TRect r = Rect(0, 0, 8, 8);
    EXPECT_TRUE(DrawEdge(b->Canvas(), &r, k.edge, BF_RECT | BF_ADJUST));
    EXPECT_EQ(r, Rect(2, 2, 6, 6));
    auto rgb = [](TColor c) { return static_cast<TColor>(ColorToRGB(c)); };
    EXPECT_EQ(PixelOf(*b, 3, 0), rgb(k.outerTopLeft));
    EXPECT_EQ(PixelOf(*b, 7, 3), rgb(k.outerBottomRight));
    EXPECT_EQ(PixelOf(*b, 1, 3), rgb(k.innerTopLeft));
    EXPECT_EQ(PixelOf(*b, 3, 6), rgb(k.innerBottomRight));
    EXPECT_EQ(PixelOf(*b, 3, 3), clFuchsia);
    b->Free();
  }
}

}  // namespace

namespace {

// The combo-box button: face fill, a one-pixel shadow frame when flat, and
// a downward triangle of rows 7, 5, 3, 1 wide centred in the button.
TEST(DrawFrameControl, ComboGlyphIsCentredTriangle) {
  TBitmap* b = Filled(17, 20, clWhite);
  TRect r = Rect(0, 0, 17, 20);
  ASSERT_TRUE(DrawFrameControl(b->Canvas(), &r, DFC_SCROLL, DFCS_SCROLLCOMBOBOX | DFCS_FLAT));
  EXPECT_EQ(PixelOf(*b, 0, 0), static_cast<TColor>(ColorToRGB(clBtnShadow)));
  EXPECT_EQ(PixelOf(*b, 16, 19), static_cast<TColor>(ColorToRGB(clBtnShadow)));
  EXPECT_EQ(PixelOf(*b, 2, 2), static_cast<TColor>(ColorToRGB(clBtnFace)));
  TRect ink{17, 20, -1, -1};
  for (int y = 0; y < 20; ++y) {
    int count = 0;
    for (int x = 0; x < 17; ++x) {
      if (PixelOf(*b, x, y) == clBlack) {
        ++count;
        ink.Left = std::min(ink.Left, x);
        ink.Right = std::max(ink.Right, x + 1);
        ink.Top = std::min(ink.Top, y);
        ink.Bottom = std::max(ink.Bottom, y + 1);
        EXPECT_EQ(PixelOf(*b, 16 - x, y), clBlack) << "symmetric at " << x << "," << y;
      }
    }
    if (y >= ink.Top && y < ink.Top + 4) {
      EXPECT_EQ(count, 7 - 2 * (y - ink.Top)) << "row " << y;
    }
  }
  EXPECT_EQ(ink.Width(), 7);
  EXPECT_EQ(ink.Height(), 4);
  EXPECT_NEAR((ink.Top + ink.Bottom) / 2.0, 10.0, 1.0);
  TRect other = r;
  EXPECT_FALSE(DrawFrameControl(b->Canvas(), &other, 1, 0));
  b->Free();
}

}  // namespace
