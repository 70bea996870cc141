#include "platform/graphics/GdiPlus.h"

#include <QFont>
#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>
#include <QTransform>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>

#include "platform/forms/QtTextPrivate.h"
#include "platform/graphics/GdiPlusPrivate.h"

namespace {

QColor FromArgb(ARGB c) {
  return QColor(static_cast<int>((c >> 16) & 0xFF), static_cast<int>((c >> 8) & 0xFF),
                static_cast<int>(c & 0xFF), static_cast<int>(c >> 24));
}

// Makes an object, or reports OutOfMemory.
template <class T, class H>
GpStatus Make(H** out, T*& made) {
  if (out == nullptr)
    return InvalidParameter;
  made = new (std::nothrow) T();
  if (made == nullptr)
    return OutOfMemory;
  *out = made;
  return Ok;
}

// A painter on the graphics object's target with its origin, clips and
// smoothing; pixel centres sit on whole coordinates.
class GraphicsPainter {
 public:
  explicit GraphicsPainter(GpGraphics* g) : painter_(g->target) {
    if (g->hasDeviceClip)
      painter_.setClipRegion(g->deviceClip);
    painter_.translate(-g->origin.x() + 0.5, -g->origin.y() + 0.5);
    if (g->hasClip) {
      painter_.setClipPath(g->clip, g->hasDeviceClip ? Qt::IntersectClip : Qt::ReplaceClip);
    }
    const bool smooth =
        g->smoothing == SmoothingModeAntiAlias || g->smoothing == SmoothingModeHighQuality;
    painter_.setRenderHint(QPainter::Antialiasing, smooth);
    painter_.setRenderHint(QPainter::SmoothPixmapTransform, true);
  }
  QPainter* operator->() { return &painter_; }
  QPainter& get() { return painter_; }

 private:
  QPainter painter_;
};

bool Drawable(const GpGraphics* g) {
  return g->target != nullptr && !g->target->isNull() && g->target->width() > 0 &&
         g->target->height() > 0;
}

QBrush ToQBrush(const GpBrush* b) {
  switch (b->kind) {
    case GpBrushKind::Solid:
      return QBrush(b->color);
    case GpBrushKind::Linear: {
      const GpRectF& r = b->rect;
      QPointF from(r.X, r.Y);
      QPointF to;
      switch (b->mode) {
        case LinearGradientModeVertical:
          to = QPointF(r.X, r.Y + r.Height);
          break;
        case LinearGradientModeForwardDiagonal:
          to = QPointF(r.X + r.Width, r.Y + r.Height);
          break;
        case LinearGradientModeBackwardDiagonal:
          from = QPointF(r.X + r.Width, r.Y);
          to = QPointF(r.X, r.Y + r.Height);
          break;
        default:
          to = QPointF(r.X + r.Width, r.Y);
          break;
      }
      QLinearGradient gradient(from, to);
      gradient.setSpread(QGradient::RepeatSpread);
      gradient.setColorAt(0, b->color1);
      gradient.setColorAt(1, b->color2);
      return QBrush(gradient);
    }
    case GpBrushKind::PathGradient: {
      // A unit circle's radial gradient stretched over the bounding box.
      const QRectF box = b->path.boundingRect();
      QRadialGradient gradient(QPointF(0, 0), 1.0);
      gradient.setColorAt(0, b->centerColor);
      gradient.setColorAt(1, b->surroundColors.empty() ? b->centerColor : b->surroundColors[0]);
      gradient.setSpread(QGradient::PadSpread);
      QBrush brush(gradient);
      QTransform t;
      t.translate(box.center().x(), box.center().y());
      t.scale(std::max(box.width() / 2, 1e-6), std::max(box.height() / 2, 1e-6));
      brush.setTransform(t);
      return brush;
    }
  }
  return QBrush();
}

// Appends a point to the open figure (a line from its last point), or
// starts a figure there.
void ConnectTo(GpPath* p, const QPointF& point) {
  if (p->figureOpen) {
    p->path.lineTo(point);
  } else {
    p->path.moveTo(point);
    p->figureOpen = true;
  }
}

QFont ToQFont(const GpFont* font, GpTextRenderingHint hint) {
  QFont f(font->family);
  const double pixels = font->unit == UnitPixel ? font->emSize : font->emSize * 96.0 / 72.0;
  f.setPixelSize(std::max(1, static_cast<int>(std::lround(pixels))));
  f.setBold((font->style & FontStyleBold) != 0);
  f.setItalic((font->style & FontStyleItalic) != 0);
  f.setUnderline((font->style & FontStyleUnderline) != 0);
  f.setStrikeOut((font->style & FontStyleStrikeout) != 0);
  const bool smooth = hint >= TextRenderingHintAntiAliasGridFit;
  f.setStyleStrategy(smooth
                         ? QFont::StyleStrategy(QFont::PreferAntialias | QFont::NoSubpixelAntialias)
                         : QFont::NoAntialias);
  return f;
}

int TextFlags(const GpStringFormat* format, QString& text) {
  int flags = 0;
  const GpStringAlignment align = format ? format->align : StringAlignmentNear;
  const GpStringAlignment line = format ? format->lineAlign : StringAlignmentNear;
  flags |= align == StringAlignmentCenter ? Qt::AlignHCenter
           : align == StringAlignmentFar  ? Qt::AlignRight
                                          : Qt::AlignLeft;
  flags |= line == StringAlignmentCenter ? Qt::AlignVCenter
           : line == StringAlignmentFar  ? Qt::AlignBottom
                                         : Qt::AlignTop;
  if (format == nullptr || (format->flags & StringFormatFlagsNoWrap) == 0)
    flags |= Qt::TextWordWrap;
  const INT prefix = format ? format->hotkeyPrefix : HotkeyPrefixNone;
  if (prefix == HotkeyPrefixShow) {
    flags |= Qt::TextShowMnemonic;
  } else if (prefix == HotkeyPrefixHide) {
    flags |= Qt::TextHideMnemonic;
  } else {
    // No prefix handling: an ampersand is an ordinary character.
    text.replace(QLatin1Char('&'), QLatin1String("&&"));
    flags |= Qt::TextShowMnemonic;
  }
  return flags;
}

// The layout rectangle; an empty one lays the text out from its corner
// without wrapping.
QRectF LayoutRect(const GpRectF* r, int& flags) {
  if (r == nullptr || (r->Width <= 0 && r->Height <= 0)) {
    flags &= ~Qt::TextWordWrap;
    const qreal x = r ? r->X : 0, y = r ? r->Y : 0;
    return QRectF(x, y, 1e6, 1e6);
  }
  return QRectF(r->X, r->Y, r->Width, r->Height);
}

// The arrow-anchor cap: a triangle at the end of the last segment.
void DrawArrowCaps(QPainter& painter, const QPainterPath& path, const GpPen* pen) {
  for (int i = 0; i + 1 < path.elementCount(); ++i) {
    const QPainterPath::Element& e1 = path.elementAt(i + 1);
    if (i + 2 < path.elementCount() && !path.elementAt(i + 2).isMoveTo())
      continue;
    const QPainterPath::Element& e0 = path.elementAt(i);
    if (e1.isMoveTo())
      continue;
    const QPointF tip(e1.x, e1.y);
    QPointF dir = tip - QPointF(e0.x, e0.y);
    const double len = std::hypot(dir.x(), dir.y());
    if (len <= 0)
      continue;
    dir /= len;
    const QPointF normal(-dir.y(), dir.x());
    const double w = pen->width;
    const QPointF base = tip - dir * (2 * w);
    QPolygonF triangle;
    triangle << tip << base + normal * w << base - normal * w;
    painter.setPen(Qt::NoPen);
    painter.setBrush(pen->color);
    painter.drawPolygon(triangle);
  }
}

// The path with each figure's last segment stopped at the arrow's base.
QPainterPath ShortenedForArrows(const QPainterPath& path, double by) {
  QPainterPath out;
  for (int i = 0; i < path.elementCount(); ++i) {
    QPainterPath::Element e = path.elementAt(i);
    const bool last = i + 1 == path.elementCount() || path.elementAt(i + 1).isMoveTo();
    if (e.isMoveTo()) {
      out.moveTo(e.x, e.y);
    } else if (e.isLineTo() && last && i > 0) {
      const QPainterPath::Element& p = path.elementAt(i - 1);
      QPointF dir(e.x - p.x, e.y - p.y);
      const double len = std::hypot(dir.x(), dir.y());
      const QPointF end = len > by ? QPointF(e.x, e.y) - dir / len * by : QPointF(p.x, p.y);
      out.lineTo(end);
    } else if (e.isLineTo()) {
      out.lineTo(e.x, e.y);
    } else if (e.type == QPainterPath::CurveToElement && i + 2 < path.elementCount()) {
      const QPainterPath::Element& c2 = path.elementAt(i + 1);
      const QPainterPath::Element& to = path.elementAt(i + 2);
      out.cubicTo(e.x, e.y, c2.x, c2.y, to.x, to.y);
      i += 2;
    }
  }
  return out;
}

}  // namespace

// ---------------------------------------------------------------------------

GpStatus GdiplusStartup(uintptr_t* token, const GdiplusStartupInput* input,
                        GdiplusStartupOutput* output) {
  if (token == nullptr || input == nullptr)
    return InvalidParameter;
  if (input->GdiplusVersion != 1)
    return UnsupportedGdiplusVersion;
  *token = 1;
  if (output != nullptr)
    *output = GdiplusStartupOutput{};
  return Ok;
}

void GdiplusShutdown(uintptr_t token) {
  (void)token;
}

void* GdipAlloc(size_t size) {
  return std::malloc(size);
}
void GdipFree(void* ptr) {
  std::free(ptr);
}

GpStatus GdipDeleteGraphics(GpGraphics* graphics) {
  if (graphics == nullptr)
    return InvalidParameter;
  delete graphics;
  return Ok;
}

GpStatus GdipSetSmoothingMode(GpGraphics* graphics, GpSmoothingMode mode) {
  if (graphics == nullptr)
    return InvalidParameter;
  graphics->smoothing = mode;
  return Ok;
}

GpStatus GdipSetTextRenderingHint(GpGraphics* graphics, GpTextRenderingHint hint) {
  if (graphics == nullptr)
    return InvalidParameter;
  graphics->textHint = hint;
  return Ok;
}

GpStatus GdipDrawPath(GpGraphics* graphics, GpPen* pen, GpPath* path) {
  if (graphics == nullptr || pen == nullptr || path == nullptr)
    return InvalidParameter;
  if (!Drawable(graphics))
    return Ok;
  GraphicsPainter painter(graphics);
  QPen qpen(pen->color);
  qpen.setWidthF(pen->width);
  qpen.setCapStyle(Qt::FlatCap);
  qpen.setJoinStyle(Qt::MiterJoin);
  painter->setBrush(Qt::NoBrush);
  painter->setPen(qpen);
  if (pen->endCap == LineCapArrowAnchor) {
    painter->drawPath(ShortenedForArrows(path->path, 2 * pen->width));
    DrawArrowCaps(painter.get(), path->path, pen);
  } else {
    painter->drawPath(path->path);
  }
  return Ok;
}

GpStatus GdipFillPath(GpGraphics* graphics, GpBrush* brush, GpPath* path) {
  if (graphics == nullptr || brush == nullptr || path == nullptr)
    return InvalidParameter;
  if (!Drawable(graphics))
    return Ok;
  GraphicsPainter painter(graphics);
  painter->fillPath(path->path, ToQBrush(brush));
  return Ok;
}

GpStatus GdipFillRectangle(GpGraphics* graphics, GpBrush* brush, REAL x, REAL y, REAL width,
                           REAL height) {
  if (graphics == nullptr || brush == nullptr)
    return InvalidParameter;
  if (!Drawable(graphics))
    return Ok;
  GraphicsPainter painter(graphics);
  // Whole pixels from x to x + width (their centres are whole numbers).
  painter->fillRect(QRectF(x - 0.5, y - 0.5, width, height), ToQBrush(brush));
  return Ok;
}

GpStatus GdipDrawString(GpGraphics* graphics, const WCHAR* text, INT length, const GpFont* font,
                        const GpRectF* layoutRect, const GpStringFormat* format,
                        const GpBrush* brush) {
  if (graphics == nullptr || text == nullptr || font == nullptr || brush == nullptr) {
    return InvalidParameter;
  }
  if (!Drawable(graphics))
    return Ok;
  QString s = ToQString(text, length);
  int flags = TextFlags(format, s);
  const QRectF rect = LayoutRect(layoutRect, flags);
  GraphicsPainter painter(graphics);
  painter->setRenderHint(QPainter::TextAntialiasing,
                         graphics->textHint >= TextRenderingHintAntiAliasGridFit);
  painter->setFont(ToQFont(font, graphics->textHint));
  painter->setPen(QPen(ToQBrush(brush), 1));
  // Text cells start at the pixel edge, not its centre.
  painter->translate(-0.5, -0.5);
  painter->drawText(rect, flags, s);
  return Ok;
}

GpStatus GdipMeasureString(GpGraphics* graphics, const WCHAR* text, INT length, const GpFont* font,
                           const GpRectF* layoutRect, const GpStringFormat* format,
                           GpRectF* boundingBox, INT* codepointsFitted, INT* linesFilled) {
  if (graphics == nullptr || text == nullptr || font == nullptr || boundingBox == nullptr) {
    return InvalidParameter;
  }
  QString s = ToQString(text, length);
  int flags = TextFlags(format, s);
  const QRectF rect = LayoutRect(layoutRect, flags);
  const QFontMetricsF metrics(ToQFont(font, graphics->textHint));
  QRectF box = metrics.boundingRect(rect, flags, s);
  if (layoutRect != nullptr && (layoutRect->Width > 0 || layoutRect->Height > 0)) {
    box = box.intersected(rect);
  }
  *boundingBox = GpRectF{static_cast<REAL>(box.x()), static_cast<REAL>(box.y()),
                         static_cast<REAL>(box.width()), static_cast<REAL>(box.height())};
  if (codepointsFitted != nullptr)
    *codepointsFitted = static_cast<INT>(s.size());
  if (linesFilled != nullptr) {
    *linesFilled = metrics.height() > 0
                       ? std::max(1, static_cast<INT>(std::lround(box.height() / metrics.height())))
                       : 0;
  }
  return Ok;
}

GpStatus GdipDrawImageRect(GpGraphics* graphics, GpImage* image, REAL x, REAL y, REAL width,
                           REAL height) {
  if (graphics == nullptr || image == nullptr)
    return InvalidParameter;
  if (!Drawable(graphics) || image->image.isNull())
    return Ok;
  GraphicsPainter painter(graphics);
  painter->drawImage(QRectF(x - 0.5, y - 0.5, width, height), image->image);
  return Ok;
}

GpStatus GdipSetClipRegion(GpGraphics* graphics, GpRegion* region, GpCombineMode mode) {
  if (graphics == nullptr || region == nullptr)
    return InvalidParameter;
  QPainterPath everything;
  everything.addRect(QRectF(-1e7, -1e7, 2e7, 2e7));
  const QPainterPath current = graphics->hasClip ? graphics->clip : everything;
  QPainterPath next;
  switch (mode) {
    case CombineModeReplace:
      next = region->path;
      break;
    case CombineModeIntersect:
      next = current.intersected(region->path);
      break;
    case CombineModeUnion:
      next = current.united(region->path);
      break;
    case CombineModeXor:
      next = current.united(region->path).subtracted(current.intersected(region->path));
      break;
    case CombineModeExclude:
      next = current.subtracted(region->path);
      break;
    case CombineModeComplement:
      next = region->path.subtracted(current);
      break;
    default:
      return InvalidParameter;
  }
  graphics->clip = next;
  graphics->hasClip = true;
  return Ok;
}

GpStatus GdipResetClip(GpGraphics* graphics) {
  if (graphics == nullptr)
    return InvalidParameter;
  graphics->hasClip = false;
  graphics->clip = QPainterPath();
  return Ok;
}

// ---------------------------------------------------------------------------
// Paths

GpStatus GdipCreatePath(GpFillMode fillMode, GpPath** path) {
  GpPath* made = nullptr;
  const GpStatus status = Make(path, made);
  if (status == Ok) {
    made->path.setFillRule(fillMode == FillModeWinding ? Qt::WindingFill : Qt::OddEvenFill);
  }
  return status;
}

GpStatus GdipDeletePath(GpPath* path) {
  if (path == nullptr)
    return InvalidParameter;
  delete path;
  return Ok;
}

GpStatus GdipAddPathLine(GpPath* path, REAL x1, REAL y1, REAL x2, REAL y2) {
  if (path == nullptr)
    return InvalidParameter;
  ConnectTo(path, QPointF(x1, y1));
  path->path.lineTo(x2, y2);
  return Ok;
}

GpStatus GdipAddPathArc(GpPath* path, REAL x, REAL y, REAL width, REAL height, REAL startAngle,
                        REAL sweepAngle) {
  if (path == nullptr || width <= 0 || height <= 0)
    return InvalidParameter;
  // Clockwise on screen is a negative angle for Qt.
  const QRectF box(x, y, width, height);
  QPainterPath probe;
  probe.arcMoveTo(box, -startAngle);
  ConnectTo(path, probe.currentPosition());
  path->path.arcTo(box, -startAngle, -sweepAngle);
  return Ok;
}

GpStatus GdipAddPathEllipse(GpPath* path, REAL x, REAL y, REAL width, REAL height) {
  if (path == nullptr)
    return InvalidParameter;
  path->path.addEllipse(QRectF(x, y, width, height));
  path->figureOpen = false;
  return Ok;
}

GpStatus GdipAddPathPolygonI(GpPath* path, const GpPointI* points, INT count) {
  if (path == nullptr || points == nullptr || count < 3)
    return InvalidParameter;
  path->path.moveTo(points[0].X, points[0].Y);
  for (INT i = 1; i < count; ++i)
    path->path.lineTo(points[i].X, points[i].Y);
  path->path.closeSubpath();
  path->figureOpen = false;
  return Ok;
}

GpStatus GdipAddPathCurveI(GpPath* path, const GpPointI* points, INT count) {
  if (path == nullptr || points == nullptr || count < 2)
    return InvalidParameter;
  auto at = [&](INT i) {
    i = std::clamp(i, 0, count - 1);
    return QPointF(points[i].X, points[i].Y);
  };
  constexpr double kTension = 0.5;
  ConnectTo(path, at(0));
  for (INT i = 0; i + 1 < count; ++i) {
    const QPointF c1 = at(i) + (at(i + 1) - at(i - 1)) * (kTension / 3);
    const QPointF c2 = at(i + 1) - (at(i + 2) - at(i)) * (kTension / 3);
    path->path.cubicTo(c1, c2, at(i + 1));
  }
  return Ok;
}

GpStatus GdipClosePathFigure(GpPath* path) {
  if (path == nullptr)
    return InvalidParameter;
  path->path.closeSubpath();
  path->figureOpen = false;
  return Ok;
}

GpStatus GdipGetPointCount(GpPath* path, INT* count) {
  if (path == nullptr || count == nullptr)
    return InvalidParameter;
  *count = static_cast<INT>(path->path.elementCount());
  return Ok;
}

// ---------------------------------------------------------------------------
// Pens and brushes

GpStatus GdipCreatePen1(ARGB color, REAL width, GpUnit unit, GpPen** pen) {
  (void)unit;
  GpPen* made = nullptr;
  const GpStatus status = Make(pen, made);
  if (status == Ok) {
    made->color = FromArgb(color);
    made->width = width;
  }
  return status;
}

GpStatus GdipDeletePen(GpPen* pen) {
  if (pen == nullptr)
    return InvalidParameter;
  delete pen;
  return Ok;
}

GpStatus GdipSetPenEndCap(GpPen* pen, GpLineCap cap) {
  if (pen == nullptr)
    return InvalidParameter;
  pen->endCap = cap;
  return Ok;
}

GpStatus GdipCreateSolidFill(ARGB color, GpSolidFill** brush) {
  GpBrush* made = nullptr;
  const GpStatus status = Make(brush, made);
  if (status == Ok)
    made->color = FromArgb(color);
  return status;
}

GpStatus GdipCreateLineBrushFromRect(const GpRectF* rect, ARGB color1, ARGB color2,
                                     GpLinearGradientMode mode, GpWrapMode wrapMode,
                                     GpLineGradient** brush) {
  (void)wrapMode;
  if (rect == nullptr || rect->Width <= 0 || rect->Height <= 0)
    return InvalidParameter;
  GpBrush* made = nullptr;
  const GpStatus status = Make(brush, made);
  if (status == Ok) {
    made->kind = GpBrushKind::Linear;
    made->rect = *rect;
    made->color1 = FromArgb(color1);
    made->color2 = FromArgb(color2);
    made->mode = mode;
  }
  return status;
}

GpStatus GdipCreatePathGradientFromPath(const GpPath* path, GpPathGradient** brush) {
  if (path == nullptr || path->path.elementCount() == 0)
    return InvalidParameter;
  GpBrush* made = nullptr;
  const GpStatus status = Make(brush, made);
  if (status == Ok) {
    made->kind = GpBrushKind::PathGradient;
    made->path = path->path;
    made->pointCount = static_cast<int>(path->path.elementCount());
  }
  return status;
}

GpStatus GdipDeleteBrush(GpBrush* brush) {
  if (brush == nullptr)
    return InvalidParameter;
  delete brush;
  return Ok;
}

GpStatus GdipSetPathGradientCenterColor(GpPathGradient* brush, ARGB color) {
  if (brush == nullptr || brush->kind != GpBrushKind::PathGradient)
    return InvalidParameter;
  brush->centerColor = FromArgb(color);
  return Ok;
}

GpStatus GdipGetPathGradientPointCount(GpPathGradient* brush, INT* count) {
  if (brush == nullptr || count == nullptr || brush->kind != GpBrushKind::PathGradient) {
    return InvalidParameter;
  }
  *count = brush->pointCount;
  return Ok;
}

GpStatus GdipSetPathGradientSurroundColorsWithCount(GpPathGradient* brush, const ARGB* colors,
                                                    INT* count) {
  if (brush == nullptr || colors == nullptr || count == nullptr ||
      brush->kind != GpBrushKind::PathGradient || *count < 1 || *count > brush->pointCount) {
    return InvalidParameter;
  }
  brush->surroundColors.clear();
  for (INT i = 0; i < *count; ++i)
    brush->surroundColors.push_back(FromArgb(colors[i]));
  return Ok;
}

GpStatus GdipCreateRegionPath(GpPath* path, GpRegion** region) {
  if (path == nullptr)
    return InvalidParameter;
  GpRegion* made = nullptr;
  const GpStatus status = Make(region, made);
  if (status == Ok)
    made->path = path->path;
  return status;
}

GpStatus GdipDeleteRegion(GpRegion* region) {
  if (region == nullptr)
    return InvalidParameter;
  delete region;
  return Ok;
}

// ---------------------------------------------------------------------------
// Text

GpStatus GdipCreateStringFormat(INT formatFlags, uint16_t language, GpStringFormat** format) {
  (void)language;
  GpStringFormat* made = nullptr;
  const GpStatus status = Make(format, made);
  if (status == Ok)
    made->flags = formatFlags;
  return status;
}

GpStatus GdipDeleteStringFormat(GpStringFormat* format) {
  if (format == nullptr)
    return InvalidParameter;
  delete format;
  return Ok;
}

GpStatus GdipSetStringFormatAlign(GpStringFormat* format, GpStringAlignment align) {
  if (format == nullptr || align < StringAlignmentNear || align > StringAlignmentFar) {
    return InvalidParameter;
  }
  format->align = align;
  return Ok;
}

GpStatus GdipSetStringFormatLineAlign(GpStringFormat* format, GpStringAlignment align) {
  if (format == nullptr || align < StringAlignmentNear || align > StringAlignmentFar) {
    return InvalidParameter;
  }
  format->lineAlign = align;
  return Ok;
}

GpStatus GdipSetStringFormatTrimming(GpStringFormat* format, GpStringTrimming trimming) {
  if (format == nullptr)
    return InvalidParameter;
  format->trimming = trimming;
  return Ok;
}

GpStatus GdipSetStringFormatHotkeyPrefix(GpStringFormat* format, INT hotkeyPrefix) {
  if (format == nullptr || hotkeyPrefix < HotkeyPrefixNone || hotkeyPrefix > HotkeyPrefixHide) {
    return InvalidParameter;
  }
  format->hotkeyPrefix = hotkeyPrefix;
  return Ok;
}

GpStatus GdipCreateFontFamilyFromName(const WCHAR* name, void* fontCollection,
                                      GpFontFamily** family) {
  if (name == nullptr || family == nullptr || fontCollection != nullptr)
    return InvalidParameter;
  const QString qname = ToQString(name, -1);
  if (qname.isEmpty())
    return FontFamilyNotFound;
  GpFontFamily* made = nullptr;
  const GpStatus status = Make(family, made);
  if (status == Ok)
    made->name = qname;
  return status;
}

GpStatus GdipDeleteFontFamily(GpFontFamily* family) {
  if (family == nullptr)
    return InvalidParameter;
  delete family;
  return Ok;
}

GpStatus GdipCreateFont(const GpFontFamily* family, REAL emSize, INT style, GpUnit unit,
                        GpFont** font) {
  if (emSize <= 0 || font == nullptr)
    return InvalidParameter;
  GpFont* made = nullptr;
  const GpStatus status = Make(font, made);
  if (status == Ok) {
    made->family = family != nullptr ? family->name : QStringLiteral("Sans Serif");
    made->emSize = emSize;
    made->style = style;
    made->unit = unit;
  }
  return status;
}

GpStatus GdipDeleteFont(GpFont* font) {
  if (font == nullptr)
    return InvalidParameter;
  delete font;
  return Ok;
}

// ---------------------------------------------------------------------------
// Images

GpStatus GdipLoadImageFromBytes(const uint8_t* data, size_t size, GpImage** image) {
  if (image == nullptr)
    return InvalidParameter;
  *image = nullptr;
  if (data == nullptr || size == 0)
    return InvalidParameter;
  QImage decoded;
  GpImageFormatId format;
  static constexpr uint8_t kPng[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  if (size >= 8 && std::memcmp(data, kPng, 8) == 0) {
    if (!decoded.loadFromData(data, static_cast<int>(std::min<size_t>(size, INT32_MAX)), "PNG")) {
      return UnknownImageFormat;
    }
    format = ImageFormatPNG;
  } else if (!kestrune::gdiplus::DecodeWithGraphicsReaders(data, size, decoded, format)) {
    return UnknownImageFormat;
  }
  GpImage* made = nullptr;
  const GpStatus status = Make(image, made);
  if (status == Ok) {
    made->image = decoded.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    made->format = format;
  }
  return status;
}

GpStatus GdipDisposeImage(GpImage* image) {
  if (image == nullptr)
    return InvalidParameter;
  delete image;
  return Ok;
}

GpStatus GdipGetImageWidth(GpImage* image, uint32_t* width) {
  if (image == nullptr || width == nullptr)
    return InvalidParameter;
  *width = static_cast<uint32_t>(image->image.width());
  return Ok;
}

GpStatus GdipGetImageHeight(GpImage* image, uint32_t* height) {
  if (image == nullptr || height == nullptr)
    return InvalidParameter;
  *height = static_cast<uint32_t>(image->image.height());
  return Ok;
}

GpStatus GdipGetImageRawFormat(GpImage* image, GpImageFormatId* format) {
  if (image == nullptr || format == nullptr)
    return InvalidParameter;
  *format = image->format;
  return Ok;
}
