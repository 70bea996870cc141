// The styled group box: client and frame rectangles for every frame kind,
// 3-D look and caption place, with a caption, an image or neither; and the
// frame line opened under the caption.
#include "controls/StyGroupBox.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/forms/StdCtrls.h"
#include "platform/graphics/Bitmap.h"
#include "tests/controls/ControlsTestSupport.h"

namespace {

using kestrune::test::ControlsTest;

class GroupBoxTest : public ControlsTest {};

TEST_F(GroupBoxTest, ClientAndFrameRectangles) {
  TStyGroupBox* box = Create<TStyGroupBox>(Form());
  box->SetParent(Form());
  box->SetBounds(10, 10, 200, 100);
  TImageList* images = Create<TImageList>(Form());  // 16 x 16 images
  TBitmap* image = Create<TBitmap>();
  image->SetSize(16, 16);
  images->Add(image, nullptr);
  image->Free();
  // The caption text's height in the box's font, single line.
  TBitmap* measure = Create<TBitmap>();
  measure->Canvas()->Font()->Assign(box->Font());
  const int text_height = measure->Canvas()->TextHeight("Base de temps (Horz)");
  measure->Free();

  const struct {
    TStyBorderStyle style;
    bool ctl3d;
    int border;
  } frames[] = {
      {TStyBorderStyle::bsNone, false, 1},  {TStyBorderStyle::bsSingle, false, 1},
      {TStyBorderStyle::bsSingle, true, 2}, {TStyBorderStyle::bsDouble, false, 2},
      {TStyBorderStyle::bsDouble, true, 4},
  };
  enum Content { kCaption, kImage, kNothing };
  for (const auto& f : frames) {
    for (int position = 0; position < 6; ++position) {
      for (Content content : {kCaption, kImage, kNothing}) {
        SCOPED_TRACE(::testing::Message()
                     << "style " << static_cast<int>(f.style) << " 3d " << f.ctl3d << " position "
                     << position << " content " << content);
        box->SetBorderStyle(f.style);
        box->SetCtl3D(f.ctl3d);
        box->SetCaptionPosition(static_cast<TCaptionPosition>(position));
        box->SetCaption(content == kCaption ? "Base de temps (Horz)" : "");
        box->SetImages(content == kImage ? images : nullptr);
        box->SetImageIndex(content == kImage ? 0 : -1);
        const int block = (content == kCaption ? text_height : content == kImage ? 16 : 0) + 2;
        const int offset = std::max(f.border, block);
        const int b = f.border;
        const bool top = position < 3;
        EXPECT_EQ(box->BorderWidth(), b);
        const TRect client = top ? TRect{b + 1, offset + 1, 200 - b - 1, 100 - b - 1}
                                 : TRect{b + 1, b + 1, 200 - b - 1, 100 - offset - 1};
        EXPECT_EQ(box->InnerClientRect(), client);
        TRect frame{0, 0, 200, 100};
        if (top) {
          frame.Top = offset / 2;
        } else if (content != kNothing) {
          frame.Bottom = 100 - offset / 2 + (f.style == TStyBorderStyle::bsDouble ? 1 : 0);
        }
        EXPECT_EQ(box->FrameRect(), frame);
      }
    }
  }
  box->Free();
  images->Free();
}

TEST_F(GroupBoxTest, FrameOpensUnderTheCaptionAndClosesWithout) {
  TStyGroupBox* box = Create<TStyGroupBox>(Form());
  box->SetParent(Form());
  box->SetBounds(0, 0, 200, 100);
  box->SetTransparent(false);
  box->SetCaption("Amplitude Voie 1");
  const TRect caption = box->CaptionRect();
  const int line = box->FrameRect().Top;
  QImage image = Render(box);
  const QRgb silver = qRgb(192, 192, 192) & 0xFFFFFF;
  // Under the caption the line is open; past it the frame is there.
  EXPECT_NE(image.pixel(caption.Left + 3, line) & 0xFFFFFF, silver);
  EXPECT_EQ(image.pixel(caption.Right + 10, line) & 0xFFFFFF, silver);

  box->SetCaption("");
  image = Render(box);
  EXPECT_EQ(box->FrameRect().Top, 1);  // block height 2, halved
  EXPECT_EQ(image.pixel(caption.Left + 3, 1) & 0xFFFFFF, silver);
  box->Free();
}

TEST_F(GroupBoxTest, TransparentBoxShowsEveryNonWindowedControlBeneathIt) {
  // Captions of the parent beneath the box, one made before the box and one
  // after it: on the screen both lie below the windowed box.
  auto caption = [&](int left, TColor color) {
    TLabel* label = Create<TLabel>(Form());
    label->SetAutoSize(false);
    label->SetCaption("");
    label->SetColor(color);
    label->SetBounds(left, 40, 20, 20);
    label->SetParent(Form());
    return label;
  };
  Form()->SetColor(clWhite);
  TLabel* before = caption(30, clLime);
  TStyGroupBox* box = Create<TStyGroupBox>(Form());
  box->SetParent(Form());
  box->SetBounds(10, 10, 200, 100);
  TLabel* after = caption(120, clYellow);
  const QImage image = Render(box);
  auto at = [&](int x, int y) { return image.pixel(x, y) & 0xFFFFFF; };
  const QRgb lime = qRgb(0, 255, 0) & 0xFFFFFF, yellow = qRgb(255, 255, 0) & 0xFFFFFF;
  // Box coordinates: the captions sit at (20, 30) and (110, 30).
  EXPECT_EQ(at(25, 35), lime);
  EXPECT_EQ(at(115, 35), yellow);
  EXPECT_EQ(at(129, 49), yellow);
  EXPECT_EQ(at(80, 35), qRgb(255, 255, 255) & 0xFFFFFF);  // the parent's own colour
  box->Free();
  before->Free();
  after->Free();
}

TEST_F(GroupBoxTest, RemovedImageListClearsImagesAndIndex) {
  TStyGroupBox* box = Create<TStyGroupBox>(Form());
  TImageList* images = Create<TImageList>(Form());
  box->SetImages(images);
  box->SetImageIndex(0);
  images->Free();
  EXPECT_EQ(box->Images(), nullptr);
  EXPECT_EQ(box->ImageIndex(), -1);
  EXPECT_EQ(box->Version(), "1.0.0.0");
  box->Free();
}

}  // namespace
