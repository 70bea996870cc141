// Drawing helpers of the Lu controls: colour splitting, gradient fills, 3-D
// frames and rotated, raised, shadowed and textured text, all on a canvas.
//
// Threads: main thread (canvases are not shared).
#pragma once

#include <cstdint>
#include <string>

#include "platform/classes/Types.h"
#include "platform/gdiobj/Colors.h"
#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Canvas.h"
#include "platform/graphics/Gdi.h"

namespace LuUtils {

inline int Min(int a, int b) {
  return a < b ? a : b;
}
inline int Max(int a, int b) {
  return a > b ? a : b;
}
inline int RectWidth(const TRect& r) {
  return r.Right - r.Left;
}
inline int RectHeight(const TRect& r) {
  return r.Bottom - r.Top;
}
inline bool RectsEqual(const TRect& a, const TRect& b) {
  return a.Left == b.Left && a.Top == b.Top && a.Right == b.Right && a.Bottom == b.Bottom;
}

// A system colour becomes its RGB value from the fixed system-colour table;
// other colours pass unchanged.
TColor ColorToRGBValue(TColor color);
// The red, green and blue bytes of a colour (resolved first).
void SplitColor(TColor color, uint8_t& red, uint8_t& green, uint8_t& blue);

// Fills `rect` with bands of `bandWidth` pixels from `startColor` to
// `endColor`. Styles: 1 horizontal bands from the top down, 2 vertical bands
// from the left, 3 and 4 diagonal lines, 5 and 6 like 1 and 2 going to the end
// colour at the middle and back; 0 (or any other value) draws nothing. A band
// at offset k over a span T takes start + (end - start) x k div T per
// channel; a zero span (an empty rectangle, or styles 5 and 6 on one row or
// column) takes the start colour. A band width below 1 counts as 1.
void DrawGradient(TCanvas* canvas, const TRect& rect, TColor startColor, int bandWidth, int style,
                  TColor endColor);

// `width` times: the top and left edges in `topColor`, the bottom and right
// edges in `bottomColor`, shrinking `rect` by one pixel on every side each
// time. The top-right and bottom-left corner pixels take the bottom colour.
void Frame3D(TCanvas* canvas, TRect& rect, TColor topColor, TColor bottomColor, int width);

// Gives the canvas font an escapement of `angle` degrees (tenths stored).
void SetCanvasTextAngle(TCanvas* canvas, int angle);
// Width and height of `text` in the canvas font, as the calculate-only text
// pass measures it.
TSize TextSize(TCanvas* canvas, const std::string& text);
// With a clear brush: the text at (x+1, y+1) in `upperColor`, at (x-1, y-1)
// in `lowerColor`, then at (x, y) in the font's colour.
void DrawRaisedText(TCanvas* canvas, int x, int y, const std::string& text, TColor upperColor,
                    TColor lowerColor);
// With a clear brush: the text at (x+dx, y+dy) in `shadowColor`, then at
// (x, y) in the font's colour.
void DrawShadowText(TCanvas* canvas, int x, int y, int dx, int dy, const std::string& text,
                    TColor shadowColor);
// Draws `text` at (x, y), turned by `angle` degrees, filled with `texture`
// stretched over `rect`: the canvas keeps its pixels outside the glyphs.
void DrawBitmapText(TCanvas* canvas, const TRect& rect, int x, int y, int angle, TBitmap* texture,
                    const std::string& text);

}  // namespace LuUtils
