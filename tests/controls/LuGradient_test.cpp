// The gradient: its direction table, the exchanged colours and the band
// width that ignores values below 1.
#include "controls/LuGradient.h"

#include <gtest/gtest.h>

#include "ControlsTestSupport.h"
#include "controls/LuUtils.h"

namespace {

class GradientProbe : public TLuGradient {
  KESTRUNE_CLASS(GradientProbe, TLuGradient)
  explicit GradientProbe(TComponent* owner) : TLuGradient(owner) {}
  using TLuGradient::DrawImage;
};

class LuGradientTest : public kestrune::test::ControlsTest {
 protected:
  // The probe's drawing on a bitmap of its size.
  static QImage Drawn(GradientProbe* gradient) {
    TBitmap* bitmap = Create<TBitmap>();
    bitmap->SetSize(gradient->Width(), gradient->Height());
    gradient->DrawImage(bitmap->Canvas());
    QImage image = bitmap->Image().copy();
    bitmap->Free();
    return image;
  }
  // The gradient routine's own drawing.
  static QImage Reference(int width, int height, TColor start, int band, int style, TColor end) {
    TBitmap* bitmap = Create<TBitmap>();
    bitmap->SetSize(width, height);
    LuUtils::DrawGradient(bitmap->Canvas(), Rect(0, 0, width, height), start, band, style, end);
    QImage image = bitmap->Image().copy();
    bitmap->Free();
    return image;
  }
};

TEST_F(LuGradientTest, EachDirectionDrawsItsStyle) {
  struct DirectionCase {
    TLuGradDirection direction;
    int style;
  };
  const DirectionCase cases[] = {{gdUpDown, 1},        {gdUpDownHalf, 5}, {gdLeftRight, 2},
                                 {gdLeftRightHalf, 6}, {gdChord1, 3},     {gdChord2, 4}};
  auto* gradient = Create<GradientProbe>(Form());
  gradient->SetBounds(0, 0, 40, 30);
  gradient->SetStartColor(clAqua);
  gradient->SetEndColor(clBlue);
  for (const DirectionCase& c : cases) {
    SCOPED_TRACE(c.direction);
    EXPECT_EQ(GradientStyleOf(c.direction), c.style);
    gradient->SetDirection(c.direction);
    EXPECT_EQ(Drawn(gradient), Reference(40, 30, clAqua, 1, c.style, clBlue));
  }
}

TEST_F(LuGradientTest, SwapColorsExchangesStartAndEnd) {
  auto* gradient = Create<GradientProbe>(Form());
  gradient->SetBounds(0, 0, 40, 30);
  gradient->SetStartColor(clRed);
  gradient->SetEndColor(clYellow);
  gradient->SetSwapColors(true);
  EXPECT_EQ(Drawn(gradient), Reference(40, 30, clYellow, 1, 1, clRed));
  EXPECT_NE(Drawn(gradient), Reference(40, 30, clRed, 1, 1, clYellow));
}

TEST_F(LuGradientTest, ColorWidthBelowOneKeepsTheOldWidth) {
  auto* gradient = Create<GradientProbe>(Form());
  EXPECT_EQ(gradient->ColorWidth(), 1);
  gradient->SetColorWidth(4);
  gradient->SetColorWidth(0);
  EXPECT_EQ(gradient->ColorWidth(), 4);
  gradient->SetColorWidth(-2);
  EXPECT_EQ(gradient->ColorWidth(), 4);
  gradient->SetBounds(0, 0, 40, 30);
  EXPECT_EQ(Drawn(gradient), Reference(40, 30, clLime, 4, 1, clBlack));
  EXPECT_EQ(gradient->Width(), 40);
  auto* fresh = Create<TLuGradient>(Form());
  EXPECT_EQ(fresh->Width(), 150);
  EXPECT_EQ(fresh->Height(), 150);
}

}  // namespace
