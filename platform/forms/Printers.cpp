#include "platform/forms/Printers.h"
#include "platform/forms/QtTextPrivate.h"

#include <QCoreApplication>
#include <QImage>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <algorithm>

namespace {

// Qt's print support: the page goes to the chosen printer or PDF file, or
// to the system's default printer.
class TQtPrinterBackend : public TPrinterBackend {
 public:
  explicit TQtPrinterBackend(QPrinter& printer) : printer_(printer) {}

  TPage BeginJob(const std::string& title) override {
    const bool toFile = printer_.outputFormat() == QPrinter::PdfFormat;
    if (toFile ? printer_.outputFileName().isEmpty() : printer_.printerName().isEmpty())
      throw EPrinter("Aucune imprimante n'est disponible pour l'impression");
    if (toFile)
      printer_.setResolution(300);
    printer_.setDocName(ToQString(title));
    if (!painter_.begin(&printer_))
      throw EPrinter("Impossible de commencer l'impression sur \"" +
                     (toFile ? printer_.outputFileName() : printer_.printerName()).toStdString() +
                     "\"");
    const QRect paint = printer_.pageLayout().paintRectPixels(printer_.resolution());
    TPage page;
    page.Width = paint.width();
    page.Height = paint.height();
    page.ResolutionX = printer_.logicalDpiX();
    page.ResolutionY = printer_.logicalDpiY();
    return page;
  }

  void EndJob(const QImage& page) override {
    painter_.drawImage(0, 0, page);
    const bool ended = painter_.end();
    if (!ended)
      throw EPrinter("L'impression n'a pas pu être terminée");
  }

 private:
  QPrinter& printer_;
  QPainter painter_;
};

std::unique_ptr<TPrinter>& ThePrinter() {
  static std::unique_ptr<TPrinter> printer;
  return printer;
}

void FreePrinter() {
  ThePrinter().reset();
}

}  // namespace

TPrinter::TPrinter() = default;

TPrinter::~TPrinter() {
  FreeAndNil(canvas_);
}

QPrinter& TPrinter::QtPrinter() {
  if (!qt_printer_) {
    qt_printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
    // Without a printer installed Qt falls back to PDF output; with no file
    // chosen that is no printer.
    if (qt_printer_->outputFormat() == QPrinter::NativeFormat &&
        QPrinterInfo::defaultPrinter().isNull())
      qt_printer_->setPrinterName(QString());
  }
  return *qt_printer_;
}

TPrinterBackend& TPrinter::Backend() {
  if (backend_ != nullptr)
    return *backend_;
  if (!qt_backend_)
    qt_backend_ = std::make_unique<TQtPrinterBackend>(QtPrinter());
  return *qt_backend_;
}

void TPrinter::SetBackend(TPrinterBackend* backend) {
  if (printing_)
    throw EPrinter("Le périphérique d'impression ne peut changer pendant l'impression");
  backend_ = backend;
}

void TPrinter::BeginDoc() {
  if (printing_)
    throw EPrinter("L'impression est déjà en cours");
  const TPrinterBackend::TPage page = Backend().BeginJob(title_);
  page_ = page;
  printing_ = true;
  image_ = std::make_unique<QImage>(std::max(page.Width, 0), std::max(page.Height, 0),
                                    QImage::Format_RGB32);
  image_->fill(Qt::white);
  canvas_ = Create<TCanvas>(image_.get());
  canvas_->SetResolution(page.ResolutionX, page.ResolutionY);
  canvas_->OnChange = TNotifyEvent(this, &TPrinter::PageChanged);
}

void TPrinter::PageChanged(TObject*) {
  Backend().PageDrawn();
}

void TPrinter::EndDoc() {
  if (!printing_)
    return;
  printing_ = false;
  FreeAndNil(canvas_);
  const std::unique_ptr<QImage> page = std::move(image_);
  page_ = {};
  Backend().EndJob(*page);
}

TPrinter* Printer() {
  std::unique_ptr<TPrinter>& printer = ThePrinter();
  if (!printer) {
    printer = std::make_unique<TPrinter>();
    qAddPostRoutine(&FreePrinter);
  }
  return printer.get();
}
