// Shared by the graphics tests: Qt's application object (text needs it) and
// a bitmap rendered as a grid of characters.
#pragma once

#include <QGuiApplication>
#include <QImage>
#include <string>
#include <vector>

#include "platform/forms/FontAliases.h"
#include "platform/graphics/Graphics.h"

// Makes Qt's application object once for the test executable.
inline void EnsureGuiApplication() {
  if (QGuiApplication::instance() == nullptr) {
    static int argc = 1;
    static char name[] = "graphics_test";
    static char* argv[] = {name, nullptr};
    static QGuiApplication app(argc, argv);
    kestrune::InstallFontAliases();
  }
}

// A bitmap's device pixel as 0x00BBGGRR, whatever its canvas's origin.
inline TColor PixelOf(TBitmap& b, int x, int y) {
  const QRgb p = b.Image().pixel(x, y);
  return static_cast<TColor>((qRed(p)) | (qGreen(p) << 8) | (qBlue(p) << 16));
}

// The smallest rectangle holding every pixel that differs from `background`
// (empty when none).
inline TRect PaintedBounds(TBitmap& b, TColor background) {
  TRect r{b.Width(), b.Height(), -1, -1};
  for (int y = 0; y < b.Height(); ++y) {
    for (int x = 0; x < b.Width(); ++x) {
      if (PixelOf(b, x, y) != background) {
        r.Left = std::min(r.Left, x);
        r.Top = std::min(r.Top, y);
        r.Right = std::max(r.Right, x + 1);
        r.Bottom = std::max(r.Bottom, y + 1);
      }
    }
  }
  return r.Right < 0 ? TRect{} : r;
}
