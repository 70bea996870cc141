#include "controls/LuResources.h"

#include <QImage>
#include <string>

#include "platform/graphics/Bitmap.h"
#include "platform/graphics/GraphicsResources.h"

namespace {

// Our pictures as rows of letters: '.' the transparent key (fuchsia),
// 'K' black, 'D' dark grey, 'G' button face, 'W' white.
QImage Picture(const char* const* rows, int width, int height) {
  QImage image(width, height, QImage::Format_RGB32);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      QRgb c = qRgb(255, 0, 255);
      switch (rows[y][x]) {
        case 'K':
          c = qRgb(0, 0, 0);
          break;
        case 'D':
          c = qRgb(128, 128, 128);
          break;
        case 'G':
          c = qRgb(212, 208, 200);
          break;
        case 'W':
          c = qRgb(255, 255, 255);
          break;
        default:
          break;
      }
      image.setPixel(x, y, c);
    }
  }
  return image;
}

// The horizontal thumb: 11 x 19, a raised button face ending in a point
// downwards; its bottom-left pixel is the key, so the corners beside the
// point stay transparent.
constexpr const char* kThumbHorizontal[19] = {
    "WWWWWWWWWWK", "WGGGGGGGGDK", "WGGGGGGGGDK", "WGGGGGGGGDK", "WGGGGGGGGDK",
    "WGGGGGGGGDK", "WGGGGGGGGDK", "WGGGGGGGGDK", "WGGGGGGGGDK", "WGGGGGGGGDK",
    "WGGGGGGGGDK", "WGGGGGGGGDK", "WGGGGGGGGDK", "WGGGGGGGGDK", ".WGGGGGGDK.",
    "..WGGGGDK..", "...WGGDK...", "....WDK....", ".....K.....",
};

// The hand cursor: 32 x 32, a pointing hand (black outline, white inside),
// hot spot at the finger tip (6, 0).
constexpr const char* kHandCursor[32] = {
    ".....KK.........................", "....KWWK........................",
    "....KWWK........................", "....KWWK........................",
    "....KWWK........................", "....KWWKKK......................",
    "....KWWKWWKKK...................", "....KWWKWWKWWKK.................",
    "KKK.KWWKWWKWWKWK................", "KWWKKWWWWWWWWKWK................",
    "KWWWKWWWWWWWWWWK................", ".KWWWWWWWWWWWWWK................",
    "..KWWWWWWWWWWWWK................", "..KWWWWWWWWWWWWK................",
    "...KWWWWWWWWWWWK................", "...KWWWWWWWWWWK.................",
    "....KWWWWWWWWWK.................", "....KWWWWWWWWWK.................",
    ".....KWWWWWWWK..................", ".....KWWWWWWWK..................",
    ".....KKKKKKKKK..................", "................................",
    "................................", "................................",
    "................................", "................................",
    "................................", "................................",
    "................................", "................................",
    "................................", "................................",
};

}  // namespace

void RegisterLuResources() {
  const QImage horizontal = Picture(kThumbHorizontal, 11, 19);
  // The vertical thumb is the horizontal one turned to point left (its
  // bottom-left pixel is again beside the point).
  QImage vertical(19, 11, QImage::Format_RGB32);
  for (int y = 0; y < 19; ++y) {
    for (int x = 0; x < 11; ++x)
      vertical.setPixel(18 - y, x, horizontal.pixel(x, y));
  }
  RegisterResource(TResourceKind::Bitmap, "LUTB_HORI", EncodeBmp(horizontal, pf24bit));
  RegisterResource(TResourceKind::Bitmap, "LUTB_VERT", EncodeBmp(vertical, pf24bit));
  RegisterResource(TResourceKind::Cursor, "LUCURSORHANDPOINT",
                   EncodeBmp(Picture(kHandCursor, 32, 32), pf24bit), TPoint{6, 0});
}
