// The styled combo box: the accepted button widths and the attached label's
// ten places, a label larger than the box centred on it.
#include "controls/StyComboBox.h"

#include <gtest/gtest.h>

#include "platform/forms/FormsTestingPrivate.h"
#include "platform/gdiobj/Colors.h"
#include "platform/graphics/Bitmap.h"
#include "tests/controls/ControlsTestSupport.h"

namespace {

using kestrune::test::ControlsTest;

class ComboBoxTest : public ControlsTest {};

TEST_F(ComboBoxTest, ButtonWidthTakesFourteenToThirtyTwo) {
  TStyComboBox* box = Create<TStyComboBox>(Form());
  EXPECT_EQ(box->ButtonWidth(), 19);  // scroll bar 17 + 2
  const struct { int value, stored; } cases[] = {{13, 19}, {14, 14}, {32, 32}, {33, 32}};
  for (const auto& c : cases) {
    box->SetButtonWidth(c.value);
    EXPECT_EQ(box->ButtonWidth(), c.stored) << c.value;
  }
  box->Free();
}

TEST_F(ComboBoxTest, LabelPlaces) {
  TStyComboBox* box = Create<TStyComboBox>(Form());
  box->SetParent(Form());
  box->SetBounds(200, 100, 120, 21);
  box->SetLabelCaption("Entrée");
  TLabel* label = box->Label();
  ASSERT_NE(label, nullptr);
  TBitmap* measure = Create<TBitmap>();
  measure->Canvas()->Font()->Assign(label->Font());
  const int tw = measure->Canvas()->TextWidth("Entrée");
  measure->Free();
  const int lw = label->Width(), lh = label->Height();
  const int L = 200, T = 100, W = 120, H = 21, m = 4;
  const struct {
    TLabelPosition position;
    int left, top;
  } cases[] = {
      {lpLeftTop, L - tw - m, T},
      {lpLeftCenter, L - tw - m, T + (H - lh) / 2},
      {lpLeftBottom, L - tw - m, T + H - lh},
      {lpTopLeft, L, T - lh - m},
      {lpBottomLeft, L, T + H + m},
      {lpLeftTopLeft, L - m, T},
      {lpLeftCenterLeft, L - m, T + (H - lh) / 2},
      {lpLeftBottomLeft, L - m, T + H - lh},
      {lpTopCenter, L + (W - lw) / 2, T - lh - m},
      {lpBottomCenter, L + (W - lw) / 2, T + H + m},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.position);
    box->SetLabelPosition(c.position);
    EXPECT_EQ(label->Left(), c.left);
    EXPECT_EQ(label->Top(), c.top);
  }
  // The label follows the box.
  box->SetLabelPosition(lpTopLeft);
  box->SetBounds(250, 120, 120, 21);
  EXPECT_EQ(label->Left(), 250);
  box->Free();
}

TEST_F(ComboBoxTest, OversizedLabelIsCentredOnTheBox) {
  TStyComboBox* box = Create<TStyComboBox>(Form());
  box->SetParent(Form());
  box->SetBounds(200, 100, 40, 21);
  box->SetParentFont(false);  // the label then takes LabelFont
  box->LabelFont()->SetHeight(-40);
  box->SetLabelCaption("Périphérique d'entrée");
  TLabel* label = box->Label();
  const int lh = label->Height(), lw = label->Width();
  ASSERT_GT(lh, 21);
  ASSERT_GT(lw, 40);
  box->SetLabelPosition(lpLeftCenter);
  EXPECT_NEAR(label->Top() + lh / 2, 100 + 21 / 2, 1);
  box->SetLabelPosition(lpTopCenter);
  EXPECT_NEAR(label->Left() + lw / 2, 200 + 20, 1);
  box->Free();
}

}  // namespace

namespace {

// A flat box paints its own frame on the layer above the hosted box: two
// rings of the parent's colour, then one of its own colour (while the pointer
// is elsewhere); a box that does not paint itself leaves the hosted box's
// pixels alone.
TEST_F(ComboBoxTest, FlatBoxDrawsItsFrameOverTheHostedBox) {
  auto* form = static_cast<TForm*>(Form()->Parent());
  TStyComboBox* box = Create<TStyComboBox>(Form());
  box->SetParent(Form());
  box->SetBounds(40, 30, 120, 21);
  form->Show();
  const COLORREF rgb = ColorToRGB(Form()->Color());  // 0x00BBGGRR
  const QRgb parent = qRgb(rgb & 0xFF, (rgb >> 8) & 0xFF, (rgb >> 16) & 0xFF);
  box->SetFlat(true);
  box->SetColor(clYellow);  // after SetFlat, which restores the normal colour
  const QImage flat = kestrune::testing::RenderForm(form);
  // The box's top-left corner in the form's client area: (40, 30).
  EXPECT_EQ(flat.pixel(40 + 60, 30 + 0), parent);
  EXPECT_EQ(flat.pixel(40 + 60, 30 + 1), parent);
  EXPECT_EQ(flat.pixel(40 + 60, 30 + 2), qRgb(255, 255, 0));
  EXPECT_EQ(flat.pixel(40 + 0, 30 + 10), parent);
  box->Free();
}

}  // namespace
