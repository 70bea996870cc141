// Picture output: the printer, the clipboard and BMP and JPEG files
// (TrelScope.h). Each draws the scene onto a bitmap of its own without the
// toolbar; the bitmaps and the JPEG picture are freed on every path.
#include <exception>
#include <memory>

#include "platform/forms/Clipboard.h"
#include "platform/forms/Printers.h"
#include "platform/graphics/Gdi.h"
#include "platform/graphics/JpegPicture.h"
#include "platform/rtl/ScopeExit.h"
#include "scope/TrelScope.h"

namespace {

struct TFreeObject {
  void operator()(TObject* object) const { FreeObject(object); }
};
template <class T>
using TOwned = std::unique_ptr<T, TFreeObject>;

template <class T>
TOwned<T> CreateOwned() {
  return TOwned<T>(Create<T>());
}

}  // namespace

void StretchBitmap(TCanvas* canvas, int x, int y, TBitmap* bitmap, int h, int w) {
  StretchBlt(canvas, x, y, w, h, bitmap->Canvas(), 0, 0, bitmap->Width(), bitmap->Height(),
             SRCCOPY);
}

void TTrelDataDisplay::Print() {
  TOwned<TBitmap> bitmap = CreateOwned<TBitmap>();
  TPrinter* printer = Printer();
  printer->SetTitle(GetDocumentTitle());
  printer->BeginDoc();
  std::exception_ptr failure;
  try {
    printing_ = true;
    SetFullRedraw();
    // The page's physical size at the bitmap's (the screen's) resolution.
    TCanvas* page = printer->Canvas();
    const std::int64_t pageWidth = printer->PageWidth(), pageHeight = printer->PageHeight();
    const int printerX = GetDeviceCaps(page, LOGPIXELSX),
              printerY = GetDeviceCaps(page, LOGPIXELSY);
    const int screenX = GetDeviceCaps(bitmap->Canvas(), LOGPIXELSX);
    const int screenY = GetDeviceCaps(bitmap->Canvas(), LOGPIXELSY);
    if (printerX <= 0 || printerY <= 0)
      throw EPrinter("La résolution de l'imprimante est inconnue");
    print_width_ = static_cast<int>(pageWidth * screenX / printerX);
    print_height_ = static_cast<int>(pageHeight * screenY / printerY);
    bitmap->SetSize(print_width_, print_height_);
    DrawToCanvas(bitmap->Canvas());
    StretchBitmap(page, 0, 0, bitmap.get(), printer->PageHeight(), printer->PageWidth());
  } catch (...) {
    failure = std::current_exception();
  }
  // Whatever happened: the job ends and the screen layout comes back.
  try {
    printer->EndDoc();
  } catch (...) {
    if (!failure)
      failure = std::current_exception();
  }
  SetFullRedraw();
  printing_ = false;
  Invalidate();
  if (failure)
    std::rethrow_exception(failure);
}

namespace {

// The control's picture at its size with the layout of the last screen
// paint: a pending full redraw is left pending for the screen.
TOwned<TBitmap> DrawPicture(TTrelDataDisplay* display) {
  display->HandleNeeded();
  TOwned<TBitmap> bitmap = CreateOwned<TBitmap>();
  bitmap->SetSize(display->Width(), display->Height());
  const bool fullRedraw = display->FullRedrawPending();
  display->DrawToCanvas(bitmap->Canvas());
  if (fullRedraw)
    display->SetFullRedraw();
  return bitmap;
}

}  // namespace

void TTrelDataDisplay::CopyToClipboard() {
  TOwned<TBitmap> bitmap = DrawPicture(this);
  Clipboard()->Assign(bitmap.get());
}

void TTrelDataDisplay::SaveToBitmapFile(const std::string& fileName) {
  TOwned<TBitmap> bitmap = DrawPicture(this);
  // 24 bits per pixel: no fourth byte for a reader to take as alpha.
  bitmap->SetPixelFormat(pf24bit);
  bitmap->SaveToFile(fileName);
}

void TTrelDataDisplay::SaveToJpegFile(const std::string& fileName) {
  TOwned<TBitmap> bitmap = DrawPicture(this);
  TOwned<TJpegPicture> jpeg = CreateOwned<TJpegPicture>();
  jpeg->Assign(bitmap.get());
  jpeg->SaveToFile(fileName);
}

void TTrelScope::DrawToCanvas(TCanvas* canvas) {
  DrawScene(canvas, true, TRegion(TRect{0, 0, GetDrawWidth(), GetDrawHeight()}));
}

void TTrelScope::Print() {
  const bool held = IsHeld();
  SetHold(true);
  kestrune::ScopeExit restoreHold([&] { SetHold(held); });
  inherited::Print();
}
