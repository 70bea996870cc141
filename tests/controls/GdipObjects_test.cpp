// The object layer over the anti-aliased drawing API and the API's stand-in:
// colour helpers, the surround-colour rule, image formats, and what paths,
// path gradients and clips leave in a small image.
#include "controls/GdipObjects.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QGuiApplication>
#include <QImage>
#include <memory>
#include <string>

#include "platform/classes/Streams.h"
#include "platform/gdiobj/Colors.h"
#include "platform/graphics/Bitmap.h"
#include "platform/graphics/BitmapPrivate.h"
#include "platform/graphics/Canvas.h"
#include "platform/graphics/Gdi.h"
#include "platform/graphics/JpegPicture.h"
#include "platform/graphics/JpegPicturePrivate.h"

namespace {

class GdipTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (QGuiApplication::instance() == nullptr) {
      static int argc = 1;
      static char name[] = "test";
      static char* argv[] = {name, nullptr};
      app_ = new QGuiApplication(argc, argv);
    }
    StartGdiplus();
  }
  static void TearDownTestSuite() { StopGdiplus(); }

  // A black bitmap of the given size.
  static std::unique_ptr<TBitmap, void (*)(TBitmap*)> Black(int width, int height) {
    std::unique_ptr<TBitmap, void (*)(TBitmap*)> b(Create<TBitmap>(),
                                                   [](TBitmap* p) { p->Free(); });
    b->SetSize(width, height);
    b->Canvas()->Brush()->SetColor(clBlack);
    b->Canvas()->FillRect(TRect{0, 0, width, height});
    return b;
  }
  static int Red(TBitmap* b, int x, int y) { return qRed(b->Image().pixel(x, y)); }

  static QGuiApplication* app_;
};
QGuiApplication* GdipTest::app_ = nullptr;

TEST_F(GdipTest, ColorToARGBSwapsRedAndBlueAndResolvesSystemColours) {
  EXPECT_EQ(ColorToARGB(0x000000FF), 0xFFFF0000u);
  EXPECT_EQ(ColorToARGB(0x00123456), 0xFF563412u);
  // Button face of the fixed table is D4D0C8 as red, green, blue.
  EXPECT_EQ(ColorToARGB(clBtnFace), 0xFFD4D0C8u);
}

TEST_F(GdipTest, MakeColorKeepsOneByteOfEachArgument) {
  EXPECT_EQ(MakeColor(127, 0x1FF, 0x102, -1), 0x7FFF02FFu);
  EXPECT_EQ(MakeColor(0, 0, 0, 0), 0u);
}

TEST_F(GdipTest, SurroundColoursBeyondThePointCountAreRefused) {
  TGPGraphicsPath path;
  path.AddEllipse(0, 0, 20, 20);
  TGPPathGradientBrush brush(&path);
  // An ellipse is four Bezier spans: 13 points.
  ASSERT_EQ(brush.GetPointCount(), 13);
  const ARGB colors[14] = {};
  int count = 14;
  EXPECT_EQ(brush.SetSurroundColors(colors, count), InvalidParameter);
  EXPECT_EQ(brush.LastStatus(), InvalidParameter);
  EXPECT_EQ(count, 14);

  TGPPathGradientBrush fresh(&path);
  count = 1;
  EXPECT_EQ(fresh.SetSurroundColors(colors, count), Ok);
  EXPECT_EQ(count, 1);
  EXPECT_EQ(fresh.LastStatus(), Ok);
  int none = 1;
  EXPECT_EQ(fresh.SetSurroundColors(nullptr, none), InvalidParameter);
  // An Ok result afterwards does not clear the stored failure.
  EXPECT_EQ(fresh.SetCenterColor(0xFFFFFFFF), InvalidParameter);
}

std::string PngBytes() {
  QImage image(3, 2, QImage::Format_RGB32);
  image.fill(Qt::red);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return bytes.toStdString();
}

std::string BmpBytes() {
  QImage image(3, 2, QImage::Format_RGB32);
  image.fill(Qt::blue);
  return EncodeBmp(image, pf24bit);
}

TEST_F(GdipTest, ImageFormatsAndSizesFromTheBytes) {
  QImage small(4, 5, QImage::Format_RGB32);
  small.fill(Qt::green);
  const struct {
    const char* name;
    std::string bytes;
    int format;
    uint32_t width, height;
  } cases[] = {
      {"bmp", BmpBytes(), 2, 3, 2},
      {"png", PngBytes(), 6, 3, 2},
      {"jpeg", CompressJpeg(small), 5, 4, 5},
      {"gif is not decoded", std::string("GIF89a\x01\x00\x01\x00\x00\x00\x00", 13), 0, 0, 0},
      {"garbage", std::string("not an image"), 0, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TMemoryStream* stream = Create<TMemoryStream>();
    stream->Write(c.bytes.data(), static_cast<int64_t>(c.bytes.size()));
    stream->SetPosition(0);
    TGPImage image(stream);
    EXPECT_EQ(image.GetImageFormat(), c.format);
    EXPECT_EQ(image.GetWidth(), c.width);
    EXPECT_EQ(image.GetHeight(), c.height);
    if (c.format == 0) {
      EXPECT_NE(image.LastStatus(), Ok);
    }
    stream->Free();
  }
}

TEST_F(GdipTest, CurvePassesThroughItsPoints) {
  auto bitmap = Black(21, 13);
  TGPGraphics graphics(bitmap->Canvas());
  graphics.SetSmoothingMode(SmoothingModeAntiAlias);
  TGPPen pen(0xFFFFFFFF, 1);
  TGPGraphicsPath path;
  const GpPointI points[4] = {{2, 10}, {7, 3}, {13, 3}, {18, 10}};
  path.AddCurve(points, 4);
  ASSERT_EQ(graphics.DrawPath(&pen, &path), Ok);
  // Through the inner points (the flat-capped ends stop on their point's
  // pixel edge).
  EXPECT_GT(Red(bitmap.get(), 7, 3), 150);
  EXPECT_GT(Red(bitmap.get(), 13, 3), 150);
  // Between them the spline rises above their chord (y 2.125 at x 10,
  // from the Bezier control points), where a polyline would stay on row 3.
  // Anti-aliased: row 2 takes most of the 1-pixel stroke, row 3 little.
  EXPECT_GT(Red(bitmap.get(), 10, 2), 150);
  EXPECT_LT(Red(bitmap.get(), 10, 3), 80);
  // Nothing on the chord below the apex.
  EXPECT_EQ(Red(bitmap.get(), 10, 10), 0);
}

TEST_F(GdipTest, PathGradientRunsFromCentreToEdgeAlpha) {
  auto bitmap = Black(21, 21);
  TGPGraphics graphics(bitmap->Canvas());
  graphics.SetSmoothingMode(SmoothingModeAntiAlias);
  TGPGraphicsPath path;
  path.AddEllipse(0, 0, 20, 20);
  TGPPathGradientBrush brush(&path);
  brush.SetCenterColor(MakeColor(173, 255, 255, 255));
  const ARGB surround = MakeColor(0, 255, 255, 255);
  int count = 1;
  brush.SetSurroundColors(&surround, count);
  ASSERT_EQ(graphics.FillPath(&brush, &path), Ok);
  // White at alpha 173 over black at the centre; almost nothing at the rim.
  EXPECT_NEAR(Red(bitmap.get(), 10, 10), 173, 4);
  EXPECT_LT(Red(bitmap.get(), 10, 1), 30);
  EXPECT_EQ(Red(bitmap.get(), 0, 0), 0);
  // Halfway out, about half the alpha.
  EXPECT_NEAR(Red(bitmap.get(), 15, 10), 86, 12);
}

TEST_F(GdipTest, RegionClipKeepsThePixelsOutside) {
  auto bitmap = Black(20, 20);
  TGPGraphics graphics(bitmap->Canvas());
  TGPGraphicsPath path;
  path.AddEllipse(0, 0, 19, 19);
  TGPRegion region(&path);
  graphics.SetClip(&region);
  TGPSolidBrush brush(0xFFFF0000);
  graphics.FillRectangle(&brush, 0, 0, 20, 20);
  EXPECT_EQ(Red(bitmap.get(), 0, 0), 0);
  EXPECT_EQ(Red(bitmap.get(), 19, 19), 0);
  EXPECT_EQ(Red(bitmap.get(), 10, 10), 255);
  graphics.ResetClip();
  graphics.FillRectangle(&brush, 0, 0, 20, 20);
  EXPECT_EQ(Red(bitmap.get(), 0, 0), 255);
}

}  // namespace
