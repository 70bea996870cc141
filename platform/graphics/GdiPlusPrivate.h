// The objects behind the flat drawing API's handles (GdiPlus.h); shared by
// its source files only.
#pragma once

#include <QColor>
#include <QImage>
#include <QPainterPath>
#include <QRegion>
#include <QString>
#include <vector>

#include "platform/graphics/GdiPlus.h"

struct GpGraphics {
  QImage* target = nullptr;
  // Logical (origin) is device (0, 0).
  QPoint origin;
  // The canvas's clip in device pixels, when it has one.
  bool hasDeviceClip = false;
  QRegion deviceClip;
  // Our own clip in logical coordinates, when set.
  bool hasClip = false;
  QPainterPath clip;
  GpSmoothingMode smoothing = SmoothingModeDefault;
  GpTextRenderingHint textHint = TextRenderingHintSystemDefault;
};

struct GpPath {
  QPainterPath path;
  bool figureOpen = false;
};

struct GpPen {
  QColor color;
  REAL width = 1;
  GpLineCap endCap = LineCapFlat;
};

enum class GpBrushKind { Solid, Linear, PathGradient };

struct GpBrush {
  GpBrushKind kind = GpBrushKind::Solid;
  QColor color;  // solid
  // Linear gradient.
  GpRectF rect;
  QColor color1, color2;
  GpLinearGradientMode mode = LinearGradientModeHorizontal;
  // Path gradient.
  QPainterPath path;
  int pointCount = 0;
  QColor centerColor{255, 255, 255, 255};
  std::vector<QColor> surroundColors{QColor(255, 255, 255, 255)};
};

struct GpRegion {
  QPainterPath path;
};

struct GpStringFormat {
  INT flags = 0;
  GpStringAlignment align = StringAlignmentNear;
  GpStringAlignment lineAlign = StringAlignmentNear;
  GpStringTrimming trimming = StringTrimmingCharacter;
  INT hotkeyPrefix = HotkeyPrefixNone;
};

struct GpFontFamily {
  QString name;
};

struct GpFont {
  QString family;
  REAL emSize = 0;
  INT style = 0;
  GpUnit unit = UnitPoint;
};

struct GpImage {
  QImage image;
  GpImageFormatId format;
};

namespace kestrune::gdiplus {
// Decodes BMP and JPEG with the graphics layer's readers; false when the
// bytes are neither or do not decode.
bool DecodeWithGraphicsReaders(const uint8_t* data, size_t size, QImage& image,
                               GpImageFormatId& format);
}  // namespace kestrune::gdiplus
