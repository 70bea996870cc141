// The rotated label: where the text starts for the four right angles,
// alignments and layouts, and its automatic size when turned.
#include "controls/LuLabel.h"

#include <gtest/gtest.h>

#include "controls/LuUtils.h"
#include "platform/graphics/Bitmap.h"
#include "tests/controls/ControlsTestSupport.h"

namespace {

using kestrune::test::ControlsTest;

class LuLabelTest : public ControlsTest {};

TEST_F(LuLabelTest, TextOriginForRightAngles) {
  TLuLabel* label = Create<TLuLabel>(Form());
  label->SetParent(Form());
  label->SetCaption("10u");
  label->Font()->SetName("Arial");
  label->Font()->SetHeight(-9);
  label->SetBounds(0, 0, 100, 100);
  // The caption's unturned size, measured with the same font.
  TBitmap* measure = Create<TBitmap>();
  measure->Canvas()->Font()->Assign(label->Font());
  const TSize size = LuUtils::TextSize(measure->Canvas(), "10u");
  measure->Free();
  const int w = size.cx, h = size.cy;
  ASSERT_GT(w, 0);
  ASSERT_GT(h, 0);
  const int W = 100, H = 100;
  // From the placement rules: the start moves so the turned box stays
  // inside (2, 2) .. (W - 2, H - 2).
  const struct {
    int angle;
    TAlignment alignment;
    TTextLayout layout;
    int x, y;
  } cases[] = {
      {0, taLeftJustify, tlTop, 2, 2},
      {0, taRightJustify, tlBottom, W - (w + 2), H - (h + 2)},
      {0, taCenter, tlCenter, 0, 0},  // checked below
      {90, taLeftJustify, tlTop, 2, 2 + w},
      {90, taRightJustify, tlBottom, W - (h + 2), H - 2},
      {180, taLeftJustify, tlTop, 2 + w, 2 + h},
      {180, taRightJustify, tlBottom, W - 2, H - 2},
      {270, taLeftJustify, tlTop, 2 + h, 2},
      {270, taRightJustify, tlBottom, W - 2, H - (w + 2)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message()
                 << "angle " << c.angle << " alignment " << c.alignment << " layout " << c.layout);
    label->SetAngle(c.angle);
    label->SetAlignment(c.alignment);
    label->SetLayout(c.layout);
    const TPoint origin = label->TextOrigin();
    if (c.layout == tlCenter) {
      // Centred at angle 0: trunc(W / 2 - w / 2) and trunc(H / 2 - h / 2).
      EXPECT_EQ(origin.X, static_cast<int>(W / 2.0 - w / 2.0));
      EXPECT_EQ(origin.Y, static_cast<int>(H / 2.0 - h / 2.0));
    } else {
      EXPECT_EQ(origin.X, c.x);
      EXPECT_EQ(origin.Y, c.y);
    }
  }
  label->Free();
}

TEST_F(LuLabelTest, AutoSizeAtNinetyDegreesSwapsTheTextBox) {
  TLuLabel* label = Create<TLuLabel>(Form());
  label->SetParent(Form());
  label->SetCaption("500m");
  TBitmap* measure = Create<TBitmap>();
  measure->Canvas()->Font()->Assign(label->Font());
  const TSize size = LuUtils::TextSize(measure->Canvas(), "500m");
  measure->Free();
  label->SetAutoSize(true);
  EXPECT_EQ(label->Width(), size.cx + 4);
  EXPECT_EQ(label->Height(), size.cy + 4);
  label->SetAngle(90);
  EXPECT_EQ(label->Width(), size.cy + 4);
  EXPECT_EQ(label->Height(), size.cx + 4);
  label->Free();
}

TEST_F(LuLabelTest, TransparentLabelShowsWhatLiesUnderIt) {
  Form()->SetColor(clRed);
  TLuLabel* label = Create<TLuLabel>(Form());
  label->SetParent(Form());
  label->SetBounds(10, 10, 60, 30);
  label->SetCaption("1m");
  label->SetStyle(TLuLabelStyle::lsNone);
  label->SetTransparent(true);
  QImage image = Render(Form());
  EXPECT_EQ(image.pixel(11, 11) & 0xFFFFFF, 0xFF0000u);
  // A change the label asks for itself reuses the captured background.
  label->SetColorShadow(clBlue);
  label->SetAngle(90);
  image = Render(Form());
  EXPECT_EQ(image.pixel(11, 11) & 0xFFFFFF, 0xFF0000u);
  label->SetTransparent(false);
  image = Render(Form());
  EXPECT_EQ(image.pixel(11, 11) & 0xFFFFFF, 0xD4D0C8u);  // its own colour: button face
  label->Free();
}

}  // namespace
