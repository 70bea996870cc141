// The program's icon: a small screen with two traces, drawn once.
#include <cmath>

#include "platform/forms/Forms.h"
#include "platform/graphics/Bitmap.h"

namespace {

constexpr int kIconSize = 32;

void DrawIcon(TCanvas* canvas) {
  canvas->Brush()->SetStyle(bsSolid);
  canvas->Brush()->SetColor(clNavy);
  canvas->FillRect(Rect(0, 0, kIconSize, kIconSize));
  canvas->Brush()->SetColor(clSilver);
  canvas->FrameRect(Rect(0, 0, kIconSize, kIconSize));
  canvas->Pen()->SetColor(clTeal);
  canvas->MoveTo(2, kIconSize / 2);
  canvas->LineTo(kIconSize - 2, kIconSize / 2);
  // Two traces: a sine in lime and one of twice its frequency in red.
  const TColor colors[2] = {clLime, clRed};
  for (int trace = 0; trace < 2; ++trace) {
    canvas->Pen()->SetColor(colors[trace]);
    for (int x = 2; x < kIconSize - 2; ++x) {
      const double phase = (x - 2) * (trace + 1) * 2 * M_PI / (kIconSize - 4);
      const int y =
          kIconSize / 2 - static_cast<int>(std::lround(std::sin(phase) * (10 - trace * 4)));
      if (x == 2)
        canvas->MoveTo(x, y);
      else
        canvas->LineTo(x, y);
    }
  }
}

}  // namespace

TGraphic* TApplication::Icon() {
  if (icon_ == nullptr) {
    TBitmap* bitmap = Create<TBitmap>();
    icon_.reset(bitmap, [](TGraphic* graphic) { graphic->Free(); });
    bitmap->SetSize(kIconSize, kIconSize);
    DrawIcon(bitmap->Canvas());
  }
  return icon_.get();
}
