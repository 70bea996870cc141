// The printer: one object for the process (Printer()), on Qt's print
// support.
//
// A job prints one page. BeginDoc asks the backend to start the job, which
// answers the page's printable size in device pixels and its resolution
// each way; the printer then gives a canvas on a white page of that size,
// answering that resolution to GetDeviceCaps. EndDoc hands the finished page
// to the backend, which sends it to the device and ends the job.
//
// The backend is Qt's print support unless a test plugs in its own
// (SetBackend). Qt's prints at the printer's own resolution (Qt's
// high-resolution mode) on the system's default printer, or on the printer
// or PDF file the print dialog chose (Dialogs.h), a PDF file at 300 pixels
// per inch. With neither a chosen nor a default printer BeginDoc raises
// EPrinter and no job exists.
//
// Errors are EPrinter. A backend may fail while the page is drawn (the
// canvas's drawing raises); the job stays open until EndDoc.
//
// Threads: main thread, with Qt's application object made.
#pragma once

#include <memory>
#include <string>

#include "platform/graphics/Canvas.h"
#include "platform/rtl/SysUtils.h"

class QImage;
class QPrinter;

KESTRUNE_EXCEPTION(EPrinter, Exception)

// What a printer device does for a job.
class TPrinterBackend {
 public:
  virtual ~TPrinterBackend() = default;
  struct TPage {
    int Width = 0;  // printable size, device pixels
    int Height = 0;
    int ResolutionX = 96;  // pixels per inch
    int ResolutionY = 96;
  };
  // Starts a job titled `title`; raises EPrinter when it cannot.
  virtual TPage BeginJob(const std::string& title) = 0;
  // Something was drawn on the page; raising fails the drawing.
  virtual void PageDrawn() {}
  // Sends the page and ends the job; called once for every begun job.
  virtual void EndJob(const QImage& page) = 0;
};

class TPrinter {
 public:
  TPrinter();
  ~TPrinter();
  TPrinter(const TPrinter&) = delete;
  TPrinter& operator=(const TPrinter&) = delete;

  const std::string& Title() const { return title_; }
  void SetTitle(const std::string& title) { title_ = title; }
  // Starts the job (EPrinter when one runs already or the backend fails).
  void BeginDoc();
  // Ends the job begun; the page goes to the device. The canvas goes with
  // it, also when the backend raises.
  void EndDoc();
  bool Printing() const { return printing_; }
  // The page's printable size in device pixels (0 outside a job).
  int PageWidth() const { return page_.Width; }
  int PageHeight() const { return page_.Height; }
  // The page's canvas; valid during a job (null outside one).
  TCanvas* Canvas() const { return canvas_; }

  // Qt's printer object, which the print dialog sets up.
  QPrinter& QtPrinter();
  // Replaces the backend (null: Qt's again); the caller keeps it alive while
  // it is set. Not during a job.
  void SetBackend(TPrinterBackend* backend);

 private:
  void PageChanged(TObject*);
  TPrinterBackend& Backend();

  std::string title_;
  bool printing_ = false;
  TPrinterBackend::TPage page_;
  std::unique_ptr<QImage> image_;  // the page, during a job
  TCanvas* canvas_ = nullptr;
  TPrinterBackend* backend_ = nullptr;
  std::unique_ptr<QPrinter> qt_printer_;
  std::unique_ptr<TPrinterBackend> qt_backend_;
};

// The printer of the process, made on first use and freed when Qt's
// application object goes.
TPrinter* Printer();
