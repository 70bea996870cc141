// The scope's picture leaving the screen: BMP and JPEG files (read back by
// Qt's image reader), the clipboard, and printing on a fake printer and
// through Qt's print support into a PDF file.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QByteArray>
#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "platform/classes/Streams.h"
#include "platform/forms/Dialogs.h"
#include "platform/forms/FormsTestingPrivate.h"
#include "platform/forms/Printers.h"
#include "scope/TrelScope.h"
#include "tests/platform/classes/SaveFileChecks.h"
#include "tests/scope/ScopeTestSupport.h"

namespace {

using kestrune::testing::RenderForm;

std::vector<double> Sine(int n, double amplitude) {
  std::vector<double> v(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i)
    v[static_cast<std::size_t>(i)] = amplitude * std::sin(i * 0.05);
  return v;
}

QImage ReadWithQt(const std::string& fileName, const char* format) {
  QImageReader reader(QString::fromStdString(fileName));
  EXPECT_EQ(reader.format().toStdString(), format) << fileName;
  return reader.read().convertToFormat(QImage::Format_RGB32);
}

std::string ReadBytes(const std::string& fileName) {
  QFile file(QString::fromStdString(fileName));
  if (!file.open(QIODevice::ReadOnly))
    return {};
  return file.readAll().toStdString();
}

std::uint32_t Le(const std::string& b, std::size_t at, int bytes) {
  std::uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i)
    v = (v << 8) | static_cast<unsigned char>(b[at + static_cast<std::size_t>(i)]);
  return v;
}

// A focused 377 x 329 scope with visible axes and a channel, on a shown
// form.
class TrelScopePictureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    scopetest::StartUnits();
    ASSERT_TRUE(dir_.isValid());
    form_ = Create<TForm>(Application);
    form_->SetBounds(40, 30, 420, 360);
    producer_ = Create<scopetest::TProducer>(form_, 1);
    scope_ = Create<TTrelScope>(form_);
    scope_->SetBounds(0, 0, 377, 329);
    scope_->SetParent(form_);
    ASSERT_TRUE(scope_->GetChannels()->GetItem(0)->GetInputPin()->Connect(producer_->Output(0)));
    scope_->GetYAxis()->GetAutoScaling()->SetEnabled(false);
    form_->Show();
    scope_->SetFocus();
    producer_->Send(0, Sine(1024, 600.0));
    scope_->UpdateData();
    kestrune::testing::SetPointer({0, 0});  // outside the control
  }
  void TearDown() override { FreeAndNil(form_); }

  QImage Window() {
    return RenderForm(form_).copy(0, 0, 377, 329).convertToFormat(QImage::Format_RGB32);
  }
  std::string File(const char* name) { return dir_.filePath(name).toStdString(); }
  TPoint PlotCentreOnScreen() {
    const TRect r = scope_->GetDataView()->Rect();
    return scope_->ClientToScreen({(r.Left + r.Right) / 2 + 3, (r.Top + r.Bottom) / 2 + 3});
  }
  // Pixels of the track colour on row `y` of the Y axis's strip and column
  // `x` of the X axis's.
  int TrackPixels(const QImage& image, int x, int y) {
    int n = 0;
    const TTrelScopeYAxis* ya = scope_->GetYAxis();
    const TTrelScopeXAxis* xa = scope_->GetXAxis();
    for (int i = ya->Left; i < ya->Right; ++i)
      n += (image.pixel(i, y) & 0xFFFFFF) == 0xFF0000;
    for (int j = xa->Top; j < xa->Bottom; ++j)
      n += (image.pixel(x, j) & 0xFFFFFF) == 0xFF0000;
    return n;
  }

  QTemporaryDir dir_;
  TForm* form_ = nullptr;
  scopetest::TProducer* producer_ = nullptr;
  TTrelScope* scope_ = nullptr;
};

TEST_F(TrelScopePictureTest, FilesAndClipboardHoldTheWindowsPicture) {
  ASSERT_TRUE(scope_->Focused());
  const QImage window = Window();
  const TRect layout = scope_->GetDataView()->Rect();
  ASSERT_FALSE(scope_->FullRedrawPending());

  const std::string bmp = File("scope.bmp"), jpg = File("scope.jpg");
  scope_->SaveToBitmapFile(bmp);
  scope_->SaveToJpegFile(jpg);
  EXPECT_EQ(scope_->GetDataView()->Rect(), layout);
  EXPECT_FALSE(scope_->FullRedrawPending());

  // BMP: 14 + 40 byte headers, 24 bits, uncompressed, bottom-up, rows
  // padded to 4 bytes, exact size and offset.
  const std::string b = ReadBytes(bmp);
  const std::uint32_t stride = (377 * 3 + 3) / 4 * 4;
  ASSERT_GE(b.size(), 54u);
  EXPECT_EQ(b.substr(0, 2), "BM");
  EXPECT_EQ(Le(b, 2, 4), b.size());
  EXPECT_EQ(Le(b, 10, 4), 54u);
  EXPECT_EQ(Le(b, 14, 4), 40u);
  EXPECT_EQ(static_cast<std::int32_t>(Le(b, 18, 4)), 377);
  EXPECT_EQ(static_cast<std::int32_t>(Le(b, 22, 4)), 329);  // positive: bottom-up
  EXPECT_EQ(Le(b, 26, 2), 1u);
  EXPECT_EQ(Le(b, 28, 2), 24u);
  EXPECT_EQ(Le(b, 30, 4), 0u);
  EXPECT_EQ(b.size(), 54u + stride * 329u);

  const QImage fromBmp = ReadWithQt(bmp, "bmp");
  ASSERT_EQ(fromBmp.size(), QSize(377, 329));
  EXPECT_EQ(fromBmp, window) << "pixel for pixel, focus frame included";
  ASSERT_EQ((window.pixel(0, 0) & 0xFFFFFF) != 0, true) << "the focus frame is in the window";

  // JPEG: baseline JFIF with libjpeg's quality 75 tables (the luminance
  // table's first entry 16 scaled by 50%: 8), within a stated error.
  const std::string j = ReadBytes(jpg);
  ASSERT_GT(j.size(), 20u);
  EXPECT_EQ(j.substr(0, 4), std::string("\xFF\xD8\xFF\xE0", 4));
  EXPECT_EQ(j.substr(6, 5), std::string("JFIF\0", 5));
  EXPECT_NE(j.find(std::string("\xFF\xC0", 2)), std::string::npos) << "baseline frame";
  const std::size_t dqt = j.find(std::string("\xFF\xDB", 2));
  ASSERT_NE(dqt, std::string::npos);
  EXPECT_EQ(static_cast<unsigned char>(j[dqt + 5]), 8u);
  const QImage fromJpeg = ReadWithQt(jpg, "jpeg");
  ASSERT_EQ(fromJpeg.size(), QSize(377, 329));
  double error = 0.0;
  for (int y = 0; y < 329; ++y)
    for (int x = 0; x < 377; ++x) {
      const QRgb p = fromJpeg.pixel(x, y), q = window.pixel(x, y);
      error += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) +
               std::abs(qBlue(p) - qBlue(q));
    }
  EXPECT_LT(error / (377.0 * 329.0 * 3.0), 6.0) << "mean error per channel";
  // Qt's own JPEG writer at quality 75, from the window's picture, gives
  // the same pixels.
  QByteArray reference;
  QBuffer buffer(&reference);
  ASSERT_TRUE(buffer.open(QIODevice::WriteOnly));
  QImageWriter writer(&buffer, "jpeg");
  writer.setQuality(75);
  ASSERT_TRUE(writer.write(window));
  EXPECT_EQ(QImage::fromData(reference, "JPEG").convertToFormat(QImage::Format_RGB32), fromJpeg);

  // The clipboard's image, read back in the process.
  scope_->CopyToClipboard();
  EXPECT_EQ(QGuiApplication::clipboard()->image().convertToFormat(QImage::Format_RGB32), fromBmp);

  // A pending full redraw stays pending for the screen.
  scope_->RedrawAll();
  scope_->SaveToBitmapFile(bmp);
  EXPECT_TRUE(scope_->FullRedrawPending());
}

TEST_F(TrelScopePictureTest, ThePointersTrackMarksStayInTheWindow) {
  Window();  // lays the views out
  const TPoint screen = PlotCentreOnScreen();
  kestrune::testing::SendMouse(kestrune::testing::MouseAction::Move, screen);
  const TPoint p = scope_->ScreenToClient(screen);
  ASSERT_TRUE(scope_->MouseInsideControl());
  EXPECT_GT(TrackPixels(Window(), p.X, p.Y), 4);
  const std::string bmp = File("inside.bmp");
  scope_->SaveToBitmapFile(bmp);
  EXPECT_EQ(TrackPixels(ReadWithQt(bmp, "bmp"), p.X, p.Y), 0);
}

TEST_F(TrelScopePictureTest, AnUnwritableNameRaisesTheFileError) {
  const std::string name = File("no-such-folder/scope");
  EXPECT_THROW(scope_->SaveToBitmapFile(name + ".bmp"), EFCreateError);
  EXPECT_THROW(scope_->SaveToJpegFile(name + ".jpg"), EFCreateError);
}

// The picture files replace the file whole or not at all: a full disk or an
// unwritable folder leaves the old picture, and nothing else, behind.
struct ScopeSave {
  const char* name;
  const char* extension;
  void (*save)(TTrelDataDisplay* display, const std::string& fileName);
  const char* format;  // as Qt's image reader names it
};

std::ostream& operator<<(std::ostream& out, const ScopeSave& row) {
  return out << row.name;
}

class TrelScopeSaveTest : public TrelScopePictureTest,
                          public ::testing::WithParamInterface<ScopeSave> {};

TEST_P(TrelScopeSaveTest, SavesWholeOrNotAtAll) {
  const ScopeSave& row = GetParam();
  savetest::ExpectSavedWholeOrNotAtAll(
      {row.name, row.extension, [&](const std::string& f) { row.save(scope_, f); },
       [&](const std::string& f) {
         EXPECT_EQ(ReadWithQt(f, row.format).size(), QSize(377, 329));
       }});
}

INSTANTIATE_TEST_SUITE_P(
    Entries, TrelScopeSaveTest,
    ::testing::Values(ScopeSave{"SaveToBitmapFile", ".bmp",
                                [](TTrelDataDisplay* display, const std::string& f) {
                                  display->SaveToBitmapFile(f);
                                },
                                "bmp"},
                      ScopeSave{"SaveToJpegFile", ".jpg",
                                [](TTrelDataDisplay* display, const std::string& f) {
                                  display->SaveToJpegFile(f);
                                },
                                "jpeg"}),
    [](const auto& info) { return std::string(info.param.name); });

// --------------------------------------------------------------------------
// Printing

class FakePrinter : public TPrinterBackend {
 public:
  TPage BeginJob(const std::string& title) override {
    this->title = title;
    if (failAtBegin)
      throw EPrinter("the fake printer is off");
    ++begun;
    return page;
  }
  void PageDrawn() override {
    if (whileDrawing)
      whileDrawing();
    if (failWhileDrawing)
      throw EPrinter("the fake printer jammed");
  }
  void EndJob(const QImage& got) override {
    ++ended;
    this->got = got;
  }

  TPage page;
  bool failAtBegin = false;
  bool failWhileDrawing = false;
  std::function<void()> whileDrawing;
  std::string title;
  int begun = 0;
  int ended = 0;
  QImage got;
};

class TrelScopePrintTest : public scopetest::ScopeFixture {
 protected:
  void SetUp() override {
    ScopeFixture::SetUp();
    scope_->SetColor(clNavy);
    producer_->Send(0, Sine(1024, 600.0));
    scope_->UpdateData();
    scope_->PaintTo();
    Printer()->SetBackend(&fake_);
  }
  void TearDown() override {
    Printer()->SetBackend(nullptr);
    kestrune::testing::SetDialogAnswerer(nullptr);
    ScopeFixture::TearDown();
  }
  FakePrinter fake_;
};

TEST_F(TrelScopePrintTest, APageGetsThePictureOfItsPhysicalSize) {
  struct Case {
    int width, height, dpiX, dpiY;
  };
  const Case cases[] = {{4958, 7016, 600, 600}, {2480, 3508, 300, 300}, {4958, 3508, 600, 300}};
  const TRect screenLayout = scope_->GetDataView()->Rect();
  for (const Case& c : cases) {
    for (const bool held : {false, true}) {
      const std::string what =
          std::to_string(c.width) + "x" + std::to_string(c.height) + (held ? " held" : " running");
      scope_->SetHold(held);
      fake_ = FakePrinter();
      fake_.page = {c.width, c.height, c.dpiX, c.dpiY};
      int drawWidth = 0, drawHeight = 0;
      bool printing = false, heldWhilePrinting = false;
      fake_.whileDrawing = [&] {
        drawWidth = scope_->GetDrawWidth();
        drawHeight = scope_->GetDrawHeight();
        printing = scope_->IsPrinting();
        heldWhilePrinting = scope_->IsHeld();
      };
      scope_->Print();
      EXPECT_EQ(fake_.title, "Unknown") << what;
      EXPECT_EQ(fake_.begun, 1) << what;
      EXPECT_EQ(fake_.ended, 1) << what;
      EXPECT_EQ(drawWidth, 793) << what;
      EXPECT_EQ(drawHeight, 1122) << what;
      EXPECT_TRUE(printing) << what;
      EXPECT_TRUE(heldWhilePrinting) << what;
      EXPECT_EQ(scope_->IsHeld(), held) << what;
      EXPECT_FALSE(scope_->IsPrinting()) << what;
      EXPECT_TRUE(scope_->FullRedrawPending()) << what;

      // Stretched over the whole page: its corners are the scope's colour,
      // not the paper's.
      const QImage& page = fake_.got;
      ASSERT_EQ(page.size(), QSize(c.width, c.height)) << what;
      for (const QPoint corner : {QPoint(0, 0), QPoint(c.width - 1, 0), QPoint(0, c.height - 1),
                                  QPoint(c.width - 1, c.height - 1)})
        EXPECT_EQ(page.pixel(corner) & 0xFFFFFF, 0x000080u) << what;
      // The title "Scope" is centred on the picture's 793 pixels.
      const double sx = c.width / 793.0, sy = c.height / 1122.0;
      int left = c.width, right = -1;
      for (int row = 4; row < 22; ++row) {
        const int y = static_cast<int>(row * sy);
        for (int x = 0; x < c.width; ++x)
          if ((page.pixel(x, y) & 0xFFFFFF) == 0xFFFFFF) {
            left = std::min(left, x);
            right = std::max(right, x);
          }
      }
      ASSERT_GT(right, left) << what;
      EXPECT_NEAR((left + right) / 2.0 / sx, 793 / 2.0, 3.0) << what;

      // The screen layout is back at the next paint.
      scope_->PaintTo();
      EXPECT_EQ(scope_->GetDataView()->Rect(), screenLayout) << what;
    }
  }
}

TEST_F(TrelScopePrintTest, AFailingPrinterLeavesTheDisplayAsItWas) {
  struct Case {
    const char* what;
    bool atBegin;
    int ended;
  };
  const Case cases[] = {{"at begin", true, 0}, {"while drawing", false, 1}};
  for (const Case& c : cases) {
    for (const bool held : {false, true}) {
      scope_->SetHold(held);
      fake_ = FakePrinter();
      fake_.page = {2480, 3508, 300, 300};
      fake_.failAtBegin = c.atBegin;
      fake_.failWhileDrawing = !c.atBegin;
      EXPECT_THROW(scope_->Print(), EPrinter) << c.what;
      EXPECT_EQ(scope_->IsHeld(), held) << c.what;
      EXPECT_FALSE(scope_->IsPrinting()) << c.what;
      EXPECT_FALSE(Printer()->Printing()) << c.what;
      EXPECT_EQ(fake_.ended, c.ended) << c.what;
    }
  }
}

TEST_F(TrelScopePrintTest, ThroughQtsPrintSupportIntoAPdfFile) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const std::string pdf = dir.filePath("scope.pdf").toStdString();
  kestrune::testing::SetDialogAnswerer([&](kestrune::testing::DialogKind kind, TCommonDialog*) {
    EXPECT_EQ(kind, kestrune::testing::DialogKind::Print);
    return kestrune::testing::DialogAnswer{true, pdf};
  });
  TPrintDialog* dialog = Create<TPrintDialog>(form_);
  ASSERT_TRUE(dialog->Execute());
  Printer()->SetBackend(nullptr);
  scope_->Print();
  const std::string bytes = ReadBytes(pdf);
  ASSERT_EQ(bytes.substr(0, 5), "%PDF-");
  const QString text = QString::fromLatin1(bytes.data(), static_cast<int>(bytes.size()));
  EXPECT_EQ(text.count(QRegularExpression("/Type\\s*/Page(?![s])")), 1);

  // Without a chosen file or a printer, beginning fails and the display is
  // as it was.
  if (!QPrinterInfo::defaultPrinter().isNull())
    GTEST_SKIP() << "a printer is installed: no job is sent to it";
  Printer()->QtPrinter().setOutputFileName(QString());
  EXPECT_THROW(scope_->Print(), EPrinter);
  EXPECT_FALSE(scope_->IsHeld());
  EXPECT_FALSE(scope_->IsPrinting());
}

}  // namespace
