// Private to the graphics layer: the pixel machinery the canvas, the block
// transfers and the bitmaps share. Not for other modules. CanvasAccess and
// the rasteriser live in CanvasRaster.cpp, the block transfers in Gdi.cpp.
#pragma once

#include <QImage>
#include <QRect>
#include <QRegion>
#include <cstdint>
#include <utility>
#include <vector>

#include "platform/graphics/Canvas.h"

// What the canvas's private state looks like to the graphics layer.
struct CanvasAccess {
  // The drawable device rectangles: the target's bounds, cut by the clip
  // region when one is set. Empty without a target.
  static std::vector<QRect> ClipRects(const TCanvas& canvas);
  static const QRegion* ClipRegion(const TCanvas& canvas) {
    return canvas.has_clip_ ? canvas.clip_.get() : nullptr;
  }
  // A TColor as the target's 0xFFRRGGBB, black or white on a monochrome
  // canvas.
  static uint32_t DeviceColor(const TCanvas& canvas, TColor color);
  static void Changed(TCanvas& canvas) { canvas.Changed(); }
};

// 0xFFRRGGBB from 0x00BBGGRR and back.
inline uint32_t RgbToDevice(COLORREF c) {
  return 0xFF000000u | ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}
inline COLORREF DeviceToRgb(uint32_t d) {
  return ((d >> 16) & 0xFF) | (d & 0xFF00) | ((d & 0xFF) << 16);
}
// White when the luminance is at least half, else black (0xFFRRGGBB).
inline uint32_t ToMonochrome(uint32_t d) {
  const uint32_t r = (d >> 16) & 0xFF, g = (d >> 8) & 0xFF, b = d & 0xFF;
  return (r * 299 + g * 587 + b * 114) >= 128 * 1000 ? 0xFFFFFFFFu : 0xFF000000u;
}

// Block transfer between canvases (see BitBlt and StretchBlt). `dst*` and
// `src*` are logical coordinates of each canvas. `key` (when not null) is a
// source colour (0xFFRRGGBB) whose pixels are left out. Returns false for an
// unknown raster operation.
bool TransferBlock(TCanvas* dst, int x, int y, int w, int h, const TCanvas* src, int sx, int sy,
                   int sw, int sh, DWORD rop, const uint32_t* key);
// The same from a bare image (no canvas state: not monochrome, no origin).
bool TransferImage(TCanvas* dst, int x, int y, int w, int h, const QImage& src, int sx, int sy,
                   int sw, int sh, DWORD rop, const uint32_t* key, bool srcMonochrome);

// ---------------------------------------------------------------------------
// The rasteriser (CanvasRaster.cpp): the canvas's figures painted pixel by
// pixel on the target's bits, in device coordinates (logical ones minus the
// window origin), so that they follow GDI's rules exactly. Main thread, as
// the canvas.

namespace raster {

// Coordinates in device space are 64-bit: logical 32-bit values minus the
// origin never overflow there.
using i64 = int64_t;

// The target's bits and the drawable rectangles; no bits without a target.
struct Device {
  uint32_t* bits = nullptr;
  i64 stride = 0;  // in pixels
  std::vector<QRect> clips;
  bool mono = false;
};

// The device of a canvas: its target's bits and ClipRects.
Device DeviceOf(TCanvas& c);

// How a run of pixels is painted.
struct Paint {
  enum Kind { Solid, Hatch, Pattern, None } kind = Solid;
  uint32_t color = 0xFF000000u;  // device colour
  TPenMode mode = pmCopy;
  TBrushStyle hatch = bsSolid;
  const QImage* pattern = nullptr;
  bool patternMono = false;
  uint32_t textColor = 0, bkColor = 0;  // for monochrome patterns

  bool Covers(i64 x, i64 y) const {
    if (kind != Hatch)
      return true;
    const i64 mx = ((x % 8) + 8) % 8, my = ((y % 8) + 8) % 8;
    switch (hatch) {
      case bsHorizontal:
        return my == 0;
      case bsVertical:
        return mx == 0;
      case bsFDiagonal:
        return mx + my == 7;
      case bsBDiagonal:
        return mx == my;
      case bsCross:
        return mx == 0 || my == 0;
      case bsDiagCross:
        return mx == my || mx + my == 7;
      default:
        return true;
    }
  }
  uint32_t ColorAt(i64 x, i64 y) const {
    if (kind != Pattern)
      return color;
    const i64 w = pattern->width(), h = pattern->height();
    const i64 px = ((x % w) + w) % w, py = ((y % h) + h) % h;
    uint32_t c = pattern->pixel(static_cast<int>(px), static_cast<int>(py)) | 0xFF000000u;
    if (patternMono)
      c = (c & 0xFFFFFF) == 0xFFFFFF ? bkColor : textColor;
    return c;
  }
};

// Paints device pixels [x0, x1) of row y, cut by the clip.
void Span(const Device& d, i64 y, i64 x0, i64 x1, const Paint& paint);

// Whether device pixel (x, y) lies in the clip; `last` holds the clip
// rectangle that held the previous pixel, tried first.
inline bool Inside(const Device& d, i64 x, i64 y, const QRect*& last) {
  if (last != nullptr && x >= last->left() && x <= last->right() && y >= last->top() &&
      y <= last->bottom())
    return true;
  for (const QRect& r : d.clips) {
    if (x >= r.left() && x <= r.right() && y >= r.top() && y <= r.bottom()) {
      last = &r;
      return true;
    }
  }
  return false;
}

// The bounding rectangle of the clip rectangles.
QRect ClipBounds(const Device& d);

// Draws the chain of lines through `pts` (device coordinates) with the pen:
// each line leaves its end point out; `closed` adds the closing line.
void StrokeChain(TCanvas& c, const std::vector<std::pair<i64, i64>>& pts, bool closed);

// The brush as a paint: its pattern bitmap, hatch, solid colour or nothing
// (bsClear), combined with the target through `mode`.
Paint BrushPaint(const TCanvas& c, TPenMode mode);

// Rectangle, RoundRect and Ellipse: the box (device, normalised) with
// elliptic corners of ew x eh, filled with the brush and outlined with the
// pen.
void DrawBox(TCanvas& c, i64 x1, i64 y1, i64 x2, i64 y2, i64 ew, i64 eh);

// The one-pixel frame of q as horizontal runs [x0, x1) of the rows that lie
// in `area`: the top and bottom rows whole, the others at their two ends.
template <class F>
void ForEachFrameRun(const QRect& q, const QRect& area, F&& run) {
  const QRect rows = area.intersected(q);
  for (i64 y = rows.top(); y <= rows.bottom(); ++y) {
    if (y == q.top() || y == q.bottom()) {
      run(y, i64{q.left()}, i64{q.right()} + 1);
    } else {
      run(y, i64{q.left()}, i64{q.left()} + 1);
      if (q.right() > q.left())
        run(y, i64{q.right()}, i64{q.right()} + 1);
    }
  }
}

}  // namespace raster
