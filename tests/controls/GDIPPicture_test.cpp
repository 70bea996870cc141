// The glass button's picture: its events, how BMP and other formats draw, an
// undecodable picture, and the banded gradient of the hint window.
#include "controls/GDIPPicture.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QGuiApplication>
#include <QImage>
#include <cstdio>
#include <string>
#include <vector>

#include "controls/GdipObjects.h"
#include "platform/graphics/BitmapPrivate.h"
#include "tests/platform/classes/SaveFileChecks.h"

namespace {

class Recorder : public TObject {
 public:
  std::vector<std::string> events;
  void Change(TObject*) { events.push_back("change"); }
  void Clear(TObject*) { events.push_back("clear"); }
};

class PictureTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (QGuiApplication::instance() == nullptr) {
      static int argc = 1;
      static char name[] = "test";
      static char* argv[] = {name, nullptr};
      new QGuiApplication(argc, argv);
    }
    StartGdiplus();
  }
  void SetUp() override {
    picture_ = Create<TGDIPPicture>();
    canvas_bitmap_ = Create<TBitmap>();
    canvas_bitmap_->SetSize(12, 12);
    Fill(clBlack);
  }
  void TearDown() override {
    picture_->Free();
    canvas_bitmap_->Free();
  }
  void Fill(TColor c) {
    canvas_bitmap_->Canvas()->Brush()->SetColor(c);
    canvas_bitmap_->Canvas()->FillRect(TRect{0, 0, 12, 12});
  }
  QRgb At(int x, int y) const { return canvas_bitmap_->Image().pixel(x, y) & 0xFFFFFF; }
  void LoadBytes(const std::string& bytes) {
    TMemoryStream* s = Create<TMemoryStream>();
    s->Write(bytes.data(), static_cast<int64_t>(bytes.size()));
    picture_->LoadFromStream(s);
    s->Free();
  }

  TGDIPPicture* picture_ = nullptr;
  TBitmap* canvas_bitmap_ = nullptr;
};

std::string Png(int w, int h, QRgb color) {
  QImage image(w, h, QImage::Format_RGB32);
  image.fill(color);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return bytes.toStdString();
}

TEST_F(PictureTest, ClearingFiresChangeBeforeClearAndLoadingAFileTheReverse) {
  Recorder recorder;
  picture_->OnChange = TNotifyEvent(&recorder, &Recorder::Change);
  picture_->OnClear = TNotifyEvent(&recorder, &Recorder::Clear);
  picture_->Assign(nullptr);
  EXPECT_EQ(recorder.events, (std::vector<std::string>{"change", "clear"}));
  EXPECT_TRUE(picture_->Empty());

  const std::string path = ::testing::TempDir() + "picture_test.png";
  {
    const std::string png = Png(5, 4, qRgb(255, 0, 0));
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(png.data(), 1, png.size(), f);
    std::fclose(f);
  }
  recorder.events.clear();
  picture_->LoadFromFile(path);
  EXPECT_EQ(recorder.events, (std::vector<std::string>{"clear", "change"}));
  EXPECT_EQ(picture_->Width(), 5);
  EXPECT_EQ(picture_->Height(), 4);
  std::remove(path.c_str());

  // A missing file changes nothing and reports nothing.
  recorder.events.clear();
  picture_->LoadFromFile(path);
  EXPECT_TRUE(recorder.events.empty());
  EXPECT_EQ(picture_->Width(), 5);
}

TEST_F(PictureTest, BmpDrawsAtItsSizeWithItsBottomLeftColourLeftOut) {
  QImage image(3, 2, QImage::Format_RGB32);
  image.fill(qRgb(0, 0, 255));
  image.setPixel(0, 1, qRgb(255, 0, 255));  // bottom-left: the transparent key
  LoadBytes(EncodeBmp(image, pf24bit));
  picture_->Draw(canvas_bitmap_->Canvas(), TRect{1, 1, 11, 11});
  EXPECT_EQ(At(1, 1), 0x0000FFu);
  EXPECT_EQ(At(3, 2), 0x0000FFu);
  EXPECT_EQ(At(1, 2), 0u);  // the key colour shows what was beneath
  EXPECT_EQ(At(4, 1), 0u);  // not stretched
  EXPECT_EQ(At(6, 6), 0u);
}

TEST_F(PictureTest, OtherFormatsStretchOverTheRectangle) {
  LoadBytes(Png(3, 2, qRgb(255, 0, 0)));
  EXPECT_EQ(picture_->Width(), 3);
  picture_->Draw(canvas_bitmap_->Canvas(), TRect{0, 0, 12, 8});
  EXPECT_EQ(At(1, 1), 0xFF0000u);
  EXPECT_EQ(At(10, 6), 0xFF0000u);
  EXPECT_EQ(At(6, 10), 0u);
}

TEST_F(PictureTest, APictureAssignedToItselfKeepsItsImageAndFiresNothing) {
  LoadBytes(Png(3, 2, qRgb(255, 0, 0)));
  Recorder recorder;
  picture_->OnChange = TNotifyEvent(&recorder, &Recorder::Change);
  picture_->OnClear = TNotifyEvent(&recorder, &Recorder::Clear);
  picture_->Assign(picture_);
  EXPECT_TRUE(recorder.events.empty());
  EXPECT_FALSE(picture_->Empty());
  EXPECT_EQ(picture_->Width(), 3);
  picture_->Draw(canvas_bitmap_->Canvas(), TRect{0, 0, 12, 8});
  EXPECT_EQ(At(6, 4), 0xFF0000u);
}

TEST_F(PictureTest, AnUndecodablePictureDrawsNothing) {
  LoadBytes("this is no image at all");
  EXPECT_FALSE(picture_->Empty());
  EXPECT_EQ(picture_->Width(), 0);
  EXPECT_EQ(picture_->Height(), 0);
  picture_->Draw(canvas_bitmap_->Canvas(), TRect{0, 0, 12, 12});
  for (int y = 0; y < 12; ++y) {
    for (int x = 0; x < 12; ++x)
      ASSERT_EQ(At(x, y), 0u) << x << "," << y;
  }
}

TEST_F(PictureTest, SixteenBandsOverTenPixelsLeaveNoGap) {
  Fill(clFuchsia);
  GradientFill(canvas_bitmap_->Canvas(), clBlack, clWhite, TFillDirection::gdHorizontal,
               TRect{0, 0, 10, 4}, 16);
  int previous = -1;
  for (int x = 0; x < 10; ++x) {
    const QRgb c = At(x, 2);
    ASSERT_EQ(qRed(c), qGreen(c)) << x;  // grey, never the fuchsia beneath
    ASSERT_EQ(qRed(c), qBlue(c)) << x;
    EXPECT_GE(qRed(c), previous) << x;
    previous = qRed(c);
  }
  EXPECT_EQ(At(0, 0), 0u);  // band 0 is the start colour
  // Rows outside the rectangle keep the background.
  EXPECT_EQ(At(3, 4), 0xFF00FFu);
}

// The picture's SaveToFile (the graphics' own) replaces the file whole or
// not at all, with the bytes it holds.
TEST_F(PictureTest, SavingToAFileIsWholeOrNotAtAll) {
  const std::string png = Png(20, 20, 0x336699);
  LoadBytes(png);
  savetest::ExpectSavedWholeOrNotAtAll(
      {"GDIPPicture", ".png", [&](const std::string& f) { picture_->SaveToFile(f); },
       [&](const std::string& f) { EXPECT_EQ(savetest::ReadFile(f), png); }});
}

}  // namespace
