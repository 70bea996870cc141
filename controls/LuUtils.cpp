#include "controls/LuUtils.h"

#include <algorithm>

namespace LuUtils {

TColor ColorToRGBValue(TColor color) {
  if (static_cast<int32_t>(color) < 0)
    return ColorToRGB(color);
  return color;
}

void SplitColor(TColor color, uint8_t& red, uint8_t& green, uint8_t& blue) {
  const uint32_t rgb = static_cast<uint32_t>(ColorToRGBValue(color));
  red = static_cast<uint8_t>(rgb & 0xFF);
  green = static_cast<uint8_t>((rgb >> 8) & 0xFF);
  blue = static_cast<uint8_t>((rgb >> 16) & 0xFF);
}

namespace {

struct Rgb {
  int r, g, b;
};

Rgb ToRgb(TColor color) {
  uint8_t r, g, b;
  SplitColor(color, r, g, b);
  return {r, g, b};
}

// The colour at offset k of span t; a zero span gives the start colour.
TColor Blend(const Rgb& from, const Rgb& to, int k, int t) {
  if (t == 0)
    return static_cast<TColor>(from.r | (from.g << 8) | (from.b << 16));
  const int r = from.r + (to.r - from.r) * k / t;
  const int g = from.g + (to.g - from.g) * k / t;
  const int b = from.b + (to.b - from.b) * k / t;
  return static_cast<TColor>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}

}  // namespace

void DrawGradient(TCanvas* canvas, const TRect& rect, TColor startColor, int bandWidth, int style,
                  TColor endColor) {
  const Rgb from = ToRgb(startColor);
  const Rgb to = ToRgb(endColor);
  const int band = std::max(1, bandWidth);
  const int width = RectWidth(rect);
  const int height = RectHeight(rect);
  if (width <= 0 || height <= 0)
    return;  // nothing to cover
  TBrush* brush = canvas->Brush();
  brush->SetStyle(bsSolid);
  auto row_band = [&](int y, TColor c) {
    brush->SetColor(c);
    canvas->FillRect(
        TRect(rect.Left, rect.Top + y, rect.Right, std::min(rect.Bottom, rect.Top + y + band)));
  };
  auto column_band = [&](int x, TColor c) {
    brush->SetColor(c);
    canvas->FillRect(
        TRect(rect.Left + x, rect.Top, std::min(rect.Right, rect.Left + x + band), rect.Bottom));
  };
  switch (style) {
    case 1:
      for (int y = 0; y < height; y += band)
        row_band(y, Blend(from, to, y, height));
      break;
    case 2:
      for (int x = 0; x <= width; x += band)
        column_band(x, Blend(from, to, x, width));
      break;
    case 3:
    case 4: {
      // Diagonal lines of pen width `band`, clipped to the rectangle.
      const int span = width + height;
      const int saved = canvas->SaveState();
      canvas->IntersectClipRect(rect);
      TPen* pen = canvas->Pen();
      const int old_width = pen->Width();
      pen->SetWidth(band);
      for (int i = 0; i <= span; i += band) {
        pen->SetColor(Blend(from, to, i, span));
        if (style == 3) {
          canvas->MoveTo(rect.Left + i, rect.Top);
          canvas->LineTo(rect.Left - 1, rect.Top + i);
        } else {
          canvas->MoveTo(rect.Left, rect.Top + height - i);
          canvas->LineTo(rect.Left + i, rect.Top + height);
        }
      }
      pen->SetWidth(old_width);
      canvas->RestoreState(saved);
      break;
    }
    case 5: {
      const int half = height / 2;
      for (int y = 0; y < half; y += band)
        row_band(y, Blend(from, to, y, half));
      // Back from the end colour to the start colour; the offset from the
      // bottom is capped at the span so an odd height does not overshoot.
      for (int y = half; y < height; y += band) {
        row_band(y, Blend(from, to, std::min(half, height - y), half));
      }
      break;
    }
    case 6: {
      const int half = width / 2;
      for (int x = 0; x < half; x += band)
        column_band(x, Blend(from, to, x, half));
      for (int x = half; x < width; x += band) {
        column_band(x, Blend(from, to, std::min(half, width - x), half));
      }
      break;
    }
    default:
      break;
  }
}

void Frame3D(TCanvas* canvas, TRect& rect, TColor topColor, TColor bottomColor, int width) {
  TPen* pen = canvas->Pen();
  const int old_width = pen->Width();
  pen->SetWidth(1);
  for (int i = 0; i < width; ++i) {
    if (rect.Right - rect.Left <= 0 || rect.Bottom - rect.Top <= 0)
      break;
    const int l = rect.Left, t = rect.Top, r = rect.Right - 1, b = rect.Bottom - 1;
    // Lines leave their end point out: the top-right and bottom-left
    // corners go to the bottom colour.
    pen->SetColor(topColor);
    canvas->MoveTo(l, b);
    canvas->LineTo(l, t);
    canvas->LineTo(r, t);
    pen->SetColor(bottomColor);
    canvas->MoveTo(r, t);
    canvas->LineTo(r, b);
    canvas->LineTo(l - 1, b);
    rect.Left += 1;
    rect.Top += 1;
    rect.Right -= 1;
    rect.Bottom -= 1;
  }
  pen->SetWidth(old_width);
}

void SetCanvasTextAngle(TCanvas* canvas, int angle) {
  canvas->Font()->SetEscapement(angle * 10);
}

TSize TextSize(TCanvas* canvas, const std::string& text) {
  TRect r(0, 0, 0, 0);
  DrawText(canvas, text, &r, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
  return TSize{r.Right - r.Left, r.Bottom - r.Top};
}

namespace {
void TextInColor(TCanvas* canvas, int x, int y, const std::string& text, TColor color) {
  TFont* font = canvas->Font();
  const TColor saved = font->Color();
  font->SetColor(color);
  canvas->TextOut(x, y, text);
  font->SetColor(saved);
}
}  // namespace

void DrawRaisedText(TCanvas* canvas, int x, int y, const std::string& text, TColor upperColor,
                    TColor lowerColor) {
  canvas->Brush()->SetStyle(bsClear);
  TextInColor(canvas, x + 1, y + 1, text, upperColor);
  TextInColor(canvas, x - 1, y - 1, text, lowerColor);
  canvas->TextOut(x, y, text);
}

void DrawShadowText(TCanvas* canvas, int x, int y, int dx, int dy, const std::string& text,
                    TColor shadowColor) {
  canvas->Brush()->SetStyle(bsClear);
  TextInColor(canvas, x + dx, y + dy, text, shadowColor);
  canvas->TextOut(x, y, text);
}

void DrawBitmapText(TCanvas* canvas, const TRect& rect, int x, int y, int angle, TBitmap* texture,
                    const std::string& text) {
  const int width = RectWidth(rect);
  const int height = RectHeight(rect);
  if (width <= 0 || height <= 0 || texture == nullptr || texture->Empty())
    return;
  // The mask: white glyphs on black, in the canvas font at the angle.
  TBitmap* mask = Create<TBitmap>();
  TBitmap* work = Create<TBitmap>();
  TBitmap* stretched = Create<TBitmap>();
  mask->SetSize(width, height);
  work->SetSize(width, height);
  stretched->SetSize(width, height);
  TCanvas* m = mask->Canvas();
  m->Brush()->SetColor(clBlack);
  m->FillRect(TRect(0, 0, width, height));
  m->Font()->Assign(canvas->Font());
  m->Font()->SetColor(clWhite);
  m->Font()->SetEscapement(angle * 10);
  m->Brush()->SetStyle(bsClear);
  m->TextOut(x - rect.Left, y - rect.Top, text);
  // work = canvas area; stretched = texture over the area.
  work->Canvas()->CopyRect(TRect(0, 0, width, height), canvas, rect);
  stretched->Canvas()->StretchDraw(TRect(0, 0, width, height), texture);
  // Keeps the canvas outside the glyphs and the texture inside them:
  //   work ^ ((work ^ texture) & mask)
  TCanvas* s = stretched->Canvas();
  BitBlt(s, 0, 0, width, height, work->Canvas(), 0, 0, SRCINVERT);  // t ^ w
  BitBlt(s, 0, 0, width, height, m, 0, 0, SRCAND);                  // (t ^ w) & mask
  BitBlt(s, 0, 0, width, height, work->Canvas(), 0, 0, SRCINVERT);  // ... ^ w
  canvas->CopyRect(rect, s, TRect(0, 0, width, height));
  stretched->Free();
  work->Free();
  mask->Free();
}

}  // namespace LuUtils
