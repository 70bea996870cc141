// Private to the graphics layer: the pixel machinery the canvas, the block
// transfers and the bitmaps share. Not for other modules.
#pragma once

#include <QImage>
#include <QRect>
#include <QRegion>
#include <cstdint>
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
