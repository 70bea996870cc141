#include "controls/ShortCutHint.h"

#include <algorithm>

#include "controls/GDIPPicture.h"
#include "platform/graphics/Gdi.h"

TShortCutHintWindow::TShortCutHintWindow(TComponent* owner) : THintWindow(owner) {
  Bordered = false;
  SetColor(clBlack);
}

void TShortCutHintWindow::SetBounds(int left, int top, int width, int height) {
  TBitmap* measure = Create<TBitmap>();
  measure->Canvas()->Font()->Assign(Font());
  const int minimum = measure->Canvas()->TextWidth("O") + 8;
  measure->Free();
  THintWindow::SetBounds(left, top, std::max(width, minimum), height);
}

void TShortCutHintWindow::EraseBackground(TCanvas* canvas) {
  (void)canvas;
}

void TShortCutHintWindow::Paint() {
  TCanvas* canvas = Canvas();
  const TRect client = ClientRect();
  GradientFill(canvas, Color(), ColorTo, TFillDirection::gdVertical, client, 16);
  canvas->Brush()->SetStyle(bsClear);
  canvas->Font()->Assign(Font());
  TRect text = client;
  DrawText(canvas, Caption(), &text, DT_SINGLELINE | DT_CENTER | DT_VCENTER);
  canvas->Pen()->SetColor(static_cast<TColor>(0x808080));
  canvas->RoundRect(client.Left, client.Top, client.Right, client.Bottom, 3, 3);
}
