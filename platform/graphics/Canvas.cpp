// The canvas's drawing: its state and clip, lines, boxes, ellipses and
// polygons through our own rasteriser (CanvasRaster.cpp, so that pixels
// follow GDI's rules exactly), QPainter for text.
#include "platform/graphics/Canvas.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QTransform>
#include <algorithm>
#include <climits>
#include <cmath>

#include "platform/forms/QtTextPrivate.h"
#include "platform/graphics/Bitmap.h"
#include "platform/graphics/CanvasRasterPrivate.h"

// ---------------------------------------------------------------------------
// Saved state

struct TCanvas::State {
  bool hasClip = false;
  QRegion clip;
  TPoint origin;
  COLORREF text = 0;
  COLORREF bk = 0xFFFFFF;
  TFont* font = nullptr;
  TPen* pen = nullptr;
  TBrush* brush = nullptr;

  State() = default;
  State(State&& o) noexcept
      : hasClip(o.hasClip),
        clip(std::move(o.clip)),
        origin(o.origin),
        text(o.text),
        bk(o.bk),
        font(std::exchange(o.font, nullptr)),
        pen(std::exchange(o.pen, nullptr)),
        brush(std::exchange(o.brush, nullptr)) {}
  State& operator=(State&&) = delete;
  ~State() {
    FreeObject(font);
    FreeObject(pen);
    FreeObject(brush);
  }
};

using raster::BrushPaint;
using raster::ClipBounds;
using raster::Device;
using raster::DeviceOf;
using raster::DrawBox;
using raster::ForEachFrameRun;
using raster::i64;
using raster::Inside;
using raster::Paint;
using raster::Span;
using raster::StrokeChain;

// ---------------------------------------------------------------------------
// Life cycle and state

TCanvas::TCanvas()
    : font_(Create<TFont>()),
      pen_(Create<TPen>()),
      brush_(Create<TBrush>()),
      clip_(std::make_unique<QRegion>()) {}

TCanvas::TCanvas(QImage* target) : TCanvas() {
  target_ = target;
}

TCanvas::~TCanvas() {
  saved_.clear();
  font_->Free();
  pen_->Free();
  brush_->Free();
}

void TCanvas::SetTarget(QImage* target) {
  target_ = target;
  has_clip_ = false;
  *clip_ = QRegion();
  origin_ = TPoint{};
  saved_.clear();
}

int TCanvas::Width() const {
  return target_ == nullptr ? 0 : target_->width();
}
int TCanvas::Height() const {
  return target_ == nullptr ? 0 : target_->height();
}

void TCanvas::SetFont(TFont* font) {
  font_->Assign(font);
}
void TCanvas::SetPen(TPen* pen) {
  pen_->Assign(pen);
}
void TCanvas::SetBrush(TBrush* brush) {
  brush_->Assign(brush);
}

void TCanvas::Changed() {
  if (OnChange.Assigned())
    OnChange(this);
}

int TCanvas::SaveState() {
  State s;
  s.hasClip = has_clip_;
  s.clip = *clip_;
  s.origin = origin_;
  s.text = text_color_;
  s.bk = bk_color_;
  s.font = Create<TFont>();
  s.font->Assign(font_);
  s.pen = Create<TPen>();
  s.pen->Assign(pen_);
  s.brush = Create<TBrush>();
  s.brush->Assign(brush_);
  saved_.push_back(std::move(s));
  return static_cast<int>(saved_.size());
}

bool TCanvas::RestoreState(int level) {
  const int size = static_cast<int>(saved_.size());
  const int n = level < 0 ? size + 1 + level : level;
  if (n < 1 || n > size)
    return false;
  State& s = saved_[static_cast<size_t>(n - 1)];
  has_clip_ = s.hasClip;
  *clip_ = s.clip;
  origin_ = s.origin;
  text_color_ = s.text;
  bk_color_ = s.bk;
  font_->Assign(s.font);
  pen_->Assign(s.pen);
  brush_->Assign(s.brush);
  while (static_cast<int>(saved_.size()) >= n)
    saved_.pop_back();
  return true;
}

// ---------------------------------------------------------------------------
// Clip

namespace {
// A logical rectangle in device pixels, clamped to what QRect holds.
QRect DeviceRect(const TRect& r, TPoint origin) {
  constexpr i64 kMax = i64{1} << 29;  // widths up to 2^30 fit a QRect
  const i64 l = std::clamp<i64>(i64{r.Left} - origin.X, -kMax, kMax);
  const i64 t = std::clamp<i64>(i64{r.Top} - origin.Y, -kMax, kMax);
  const i64 rr = std::clamp<i64>(i64{r.Right} - origin.X, -kMax, kMax);
  const i64 b = std::clamp<i64>(i64{r.Bottom} - origin.Y, -kMax, kMax);
  if (rr <= l || b <= t)
    return QRect();
  return QRect(static_cast<int>(l), static_cast<int>(t), static_cast<int>(rr - l),
               static_cast<int>(b - t));
}
}  // namespace

void TCanvas::SelectClipRegion(const TRegion* region) {
  if (region == nullptr) {
    has_clip_ = false;
    *clip_ = QRegion();
    return;
  }
  has_clip_ = true;
  *clip_ = region->Qt();
}

void TCanvas::ExcludeClipRect(const TRect& r) {
  if (!has_clip_) {
    has_clip_ = true;
    *clip_ = QRegion(0, 0, Width(), Height());
  }
  *clip_ = clip_->subtracted(QRegion(DeviceRect(r, origin_)));
}

void TCanvas::IntersectClipRect(const TRect& r) {
  if (!has_clip_) {
    has_clip_ = true;
    *clip_ = QRegion(0, 0, Width(), Height());
  }
  *clip_ = clip_->intersected(QRegion(DeviceRect(r, origin_)));
}

TRegion TCanvas::ClipRegion() const {
  QRegion r;
  for (const QRect& q : CanvasAccess::ClipRects(*this))
    r = r.united(q);
  return TRegion(r);
}

TRect TCanvas::ClipRect() const {
  TRect b = ClipRegion().BoundsRect();
  if (b.IsEmpty())
    return TRect{};
  return OffsetRect(b, origin_.X, origin_.Y);
}

bool TCanvas::RectVisible(const TRect& r) const {
  const QRect q = DeviceRect(r, origin_);
  if (q.isEmpty())
    return false;
  for (const QRect& c : CanvasAccess::ClipRects(*this)) {
    if (c.intersects(q))
      return true;
  }
  return false;
}

// ---------------------------------------------------------------------------
// Lines

void TCanvas::MoveTo(int x, int y) {
  pen_pos_ = {x, y};
}

void TCanvas::LineTo(int x, int y) {
  StrokeChain(*this,
              {{i64{pen_pos_.X} - origin_.X, i64{pen_pos_.Y} - origin_.Y},
               {i64{x} - origin_.X, i64{y} - origin_.Y}},
              false);
  pen_pos_ = {x, y};
}

void TCanvas::Polyline(const TPoint* points, int count) {
  if (points == nullptr || count < 2)
    return;
  std::vector<std::pair<i64, i64>> pts;
  pts.reserve(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i)
    pts.emplace_back(i64{points[i].X} - origin_.X, i64{points[i].Y} - origin_.Y);
  StrokeChain(*this, pts, false);
}

// ---------------------------------------------------------------------------
// Boxes

void TCanvas::Rectangle(int x1, int y1, int x2, int y2) {
  DrawBox(*this, i64{x1} - origin_.X, i64{y1} - origin_.Y, i64{x2} - origin_.X, i64{y2} - origin_.Y,
          0, 0);
}

void TCanvas::Ellipse(int x1, int y1, int x2, int y2) {
  const i64 w = std::abs(i64{x2} - x1), h = std::abs(i64{y2} - y1);
  DrawBox(*this, i64{x1} - origin_.X, i64{y1} - origin_.Y, i64{x2} - origin_.X, i64{y2} - origin_.Y,
          w, h);
}

void TCanvas::RoundRect(int x1, int y1, int x2, int y2, int cornerWidth, int cornerHeight) {
  DrawBox(*this, i64{x1} - origin_.X, i64{y1} - origin_.Y, i64{x2} - origin_.X, i64{y2} - origin_.Y,
          std::abs(cornerWidth), std::abs(cornerHeight));
}

namespace {

// The device of a canvas and a logical rectangle in device pixels; false
// when there is nothing to draw on or the rectangle is empty.
bool DeviceAndRect(TCanvas& c, const TRect& r, Device& d, QRect& q) {
  d = DeviceOf(c);
  if (d.bits == nullptr)
    return false;
  q = DeviceRect(r, c.WindowOrg());
  return !q.isEmpty();
}

}  // namespace

void TCanvas::FillRect(const TRect& r) {
  Device d;
  QRect q;
  if (!DeviceAndRect(*this, r, d, q))
    return;
  const Paint fill = BrushPaint(*this, pmCopy);
  const QRect area = ClipBounds(d).intersected(q);
  for (i64 y = area.top(); y <= area.bottom(); ++y)
    Span(d, y, q.left(), i64{q.right()} + 1, fill);
  Changed();
}

void TCanvas::FrameRect(const TRect& r) {
  Device d;
  QRect q;
  if (!DeviceAndRect(*this, r, d, q))
    return;
  Paint p;
  p.color = CanvasAccess::DeviceColor(*this, brush_->Color());
  ForEachFrameRun(q, ClipBounds(d), [&](i64 y, i64 x0, i64 x1) { Span(d, y, x0, x1, p); });
  Changed();
}

void TCanvas::DrawFocusRect(const TRect& r) {
  Device d;
  QRect q;
  if (!DeviceAndRect(*this, r, d, q))
    return;
  const QRect area = ClipBounds(d);
  const QRect* last = nullptr;
  ForEachFrameRun(q, area, [&](i64 y, i64 x0, i64 x1) {
    for (i64 x = std::max<i64>(x0, area.left()); x < std::min<i64>(x1, i64{area.right()} + 1);
         ++x) {
      if (((x + y) & 1) == 0 && Inside(d, x, y, last))
        d.bits[y * d.stride + x] ^= 0x00FFFFFFu;
    }
  });
  Changed();
}

// ---------------------------------------------------------------------------
// Polygons

void TCanvas::Polygon(const TPoint* points, int count) {
  if (points == nullptr || count < 2)
    return;
  std::vector<std::pair<i64, i64>> pts;
  pts.reserve(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i)
    pts.emplace_back(i64{points[i].X} - origin_.X, i64{points[i].Y} - origin_.Y);
  Device d = DeviceOf(*this);
  if (d.bits == nullptr || d.clips.empty())
    return;
  const Paint fill = BrushPaint(*this, pen_->Mode());
  if (fill.kind != Paint::None && count >= 3) {
    const QRect area = ClipBounds(d);
    i64 top = pts[0].second, bottom = pts[0].second;
    for (const auto& p : pts) {
      top = std::min(top, p.second);
      bottom = std::max(bottom, p.second);
    }
    const i64 y0 = std::max<i64>(top, area.top());
    const i64 y1 = std::min<i64>(bottom - 1, area.bottom());
    std::vector<double> xs;
    for (i64 y = y0; y <= y1; ++y) {
      const double yc = static_cast<double>(y) + 0.5;
      xs.clear();
      for (size_t i = 0; i < pts.size(); ++i) {
        const auto& a = pts[i];
        const auto& b = pts[(i + 1) % pts.size()];
        if (a.second == b.second)
          continue;
        const double ya = static_cast<double>(a.second), yb = static_cast<double>(b.second);
        if (yc < std::min(ya, yb) || yc >= std::max(ya, yb))
          continue;
        const double xa = static_cast<double>(a.first), xb = static_cast<double>(b.first);
        xs.push_back(xa + (yc - ya) * (xb - xa) / (yb - ya));
      }
      std::sort(xs.begin(), xs.end());
      for (size_t i = 0; i + 1 < xs.size(); i += 2) {
        // Pixels whose centre lies in [xs[i], xs[i+1]), clamped to the clip.
        const double lo = std::max(xs[i], static_cast<double>(area.left()) - 1.0);
        const double hi = std::min(xs[i + 1], static_cast<double>(area.right()) + 2.0);
        const i64 a = static_cast<i64>(std::ceil(lo - 0.5));
        const i64 b = static_cast<i64>(std::ceil(hi - 0.5));
        Span(d, y, a, b, fill);
      }
    }
  }
  StrokeChain(*this, pts, true);
  Changed();
}

// ---------------------------------------------------------------------------
// Pixels

TColor TCanvas::Pixel(int x, int y) const {
  const i64 dx = i64{x} - origin_.X, dy = i64{y} - origin_.Y;
  if (target_ == nullptr || dx < 0 || dy < 0 || dx >= target_->width() || dy >= target_->height())
    return -1;
  const auto* row = reinterpret_cast<const uint32_t*>(target_->constScanLine(static_cast<int>(dy)));
  return static_cast<TColor>(DeviceToRgb(row[dx]));
}

void TCanvas::SetPixel(int x, int y, TColor color) {
  Device d = DeviceOf(*this);
  if (d.bits == nullptr)
    return;
  const i64 dx = i64{x} - origin_.X, dy = i64{y} - origin_.Y;
  const QRect* last = nullptr;
  if (!Inside(d, dx, dy, last))
    return;
  d.bits[dy * d.stride + dx] = CanvasAccess::DeviceColor(*this, color);
  Changed();
}

// ---------------------------------------------------------------------------
// Text

QFont QtFontOf(const TFont& font);

QFont QtFontOf(const TFont& font) {
  QFont f(ToQString(font.Name()));
  f.setStyleStrategy(QFont::NoAntialias);
  // Aliased glyphs on fractional advances land a pixel early or late one by
  // one ("Lisez-m oi"): the fully hinted font has whole-pixel advances, and
  // without kerning a text's width is the sum of its letters' (as measured).
  f.setHintingPreference(QFont::PreferFullHinting);
  f.setKerning(false);
  f.setBold(font.HasStyle(fsBold));
  f.setItalic(font.HasStyle(fsItalic));
  f.setUnderline(font.HasStyle(fsUnderline));
  f.setStrikeOut(font.HasStyle(fsStrikeOut));
  if (font.Pitch() == fpFixed)
    f.setFixedPitch(true);
  int height = font.Height();
  if (height == 0)
    height = -11;
  if (height < 0) {
    // Bounded before the negation: the most negative height has no
    // positive counterpart.
    f.setPixelSize(-std::max(height, -(1 << 14)));
  } else {
    // A cell height: the em that gives ascent + descent closest to it.
    QFont probe = f;
    probe.setPixelSize(1000);
    const QFontMetricsF m(probe);
    const double ratio = (m.ascent() + m.descent()) / 1000.0;
    const double em = ratio > 0 ? height / ratio : height;
    f.setPixelSize(std::clamp(static_cast<int>(std::lround(em)), 1, 1 << 14));
  }
  return f;
}

TSize TCanvas::TextExtent(const std::string& text) const {
  const QFontMetricsF m(QtFontOf(*font_));
  const double w = m.horizontalAdvance(ToQString(text));
  return TSize{static_cast<int32_t>(std::lround(w)),
               static_cast<int32_t>(std::lround(m.ascent() + m.descent()))};
}

namespace {

// Draws one line of text with its cell's top-left at device (x, y), turned
// by the font's escapement; `clip` (device) limits it further when given.
void DrawTextLine(TCanvas& c, double x, double y, const QString& text, const QRect* clip,
                  int underlineIndex) {
  QImage* img = c.Target();
  if (img == nullptr || img->isNull())
    return;
  const std::vector<QRect> rects = CanvasAccess::ClipRects(c);
  QRegion region;
  for (const QRect& r : rects)
    region = region.united(r);
  if (clip != nullptr)
    region = region.intersected(*clip);
  if (region.isEmpty())
    return;
  // Text entirely away from the target is dropped before Qt sees its
  // coordinates.
  const QFont font = QtFontOf(*c.Font());
  const QFontMetricsF m(font);
  const double reach = m.horizontalAdvance(text) + m.height() + 4;
  const QRect b = region.boundingRect();
  if (x > b.right() + reach || x < b.left() - reach || y > b.bottom() + reach ||
      y < b.top() - reach)
    return;
  QPainter p(img);
  p.setRenderHint(QPainter::Antialiasing, false);
  p.setRenderHint(QPainter::TextAntialiasing, false);
  p.setClipRegion(region);
  p.setFont(font);
  p.translate(x, y);
  const int esc = c.Font()->Escapement() % 3600;
  if (esc != 0)
    p.rotate(-esc / 10.0);
  const double width = m.horizontalAdvance(text);
  const double cell = m.ascent() + m.descent();
  if (c.Brush()->Style() != bsClear) {
    const uint32_t bg = CanvasAccess::DeviceColor(c, c.Brush()->Color());
    p.fillRect(QRectF(0, 0, std::round(width), std::round(cell)), QColor::fromRgb(bg));
  }
  const uint32_t fg = CanvasAccess::DeviceColor(c, c.Font()->Color());
  p.setPen(QColor::fromRgb(fg));
  p.drawText(QPointF(0, std::round(m.ascent())), text);
  if (underlineIndex >= 0 && underlineIndex < text.size()) {
    const double ux = m.horizontalAdvance(text.left(underlineIndex));
    const double uw = m.horizontalAdvance(text.mid(underlineIndex, 1));
    const double uy = std::round(m.ascent()) + 1;
    p.fillRect(QRectF(std::round(ux), uy, std::max(1.0, std::round(uw)), 1), QColor::fromRgb(fg));
  }
}

}  // namespace

void DrawCanvasText(TCanvas& c, int x, int y, const std::string& text, const TRect* clip,
                    int underlineIndex);

void DrawCanvasText(TCanvas& c, int x, int y, const std::string& text, const TRect* clip,
                    int underlineIndex) {
  const TPoint o = c.WindowOrg();
  QRect q;
  if (clip != nullptr) {
    q = DeviceRect(*clip, o);
    if (q.isEmpty())
      return;
  }
  DrawTextLine(c, static_cast<double>(i64{x} - o.X), static_cast<double>(i64{y} - o.Y),
               ToQString(text), clip != nullptr ? &q : nullptr, underlineIndex);
  CanvasAccess::Changed(c);
}

void TCanvas::TextOut(int x, int y, const std::string& text) {
  DrawCanvasText(*this, x, y, text, nullptr, -1);
  // The pen moves past the text, saturating at the coordinate range.
  pen_pos_ = {static_cast<int32_t>(std::clamp<i64>(i64{x} + TextWidth(text), INT32_MIN, INT32_MAX)),
              y};
}

void TCanvas::TextRect(const TRect& rect, int x, int y, const std::string& text) {
  if (brush_->Style() != bsClear)
    FillRect(rect);
  // The cell is already filled: draw the glyphs only.
  const TBrushStyle style = brush_->Style();
  const TNotifyEvent saved = brush_->OnChange;
  brush_->OnChange = TNotifyEvent();
  brush_->SetStyle(bsClear);
  DrawCanvasText(*this, x, y, text, &rect, -1);
  brush_->SetStyle(style);
  brush_->OnChange = saved;
}

// ---------------------------------------------------------------------------
// Pictures and copies

void TCanvas::Draw(int x, int y, TGraphic* graphic) {
  if (graphic == nullptr || graphic->Empty())
    return;
  graphic->Draw(this, Bounds(x, y, graphic->Width(), graphic->Height()));
}

void TCanvas::StretchDraw(const TRect& rect, TGraphic* graphic) {
  if (graphic == nullptr || graphic->Empty())
    return;
  graphic->Draw(this, rect);
}

void TCanvas::CopyRect(const TRect& dest, TCanvas* canvas, const TRect& source) {
  if (canvas == nullptr)
    return;
  TransferBlock(this, dest.Left, dest.Top, dest.Width(), dest.Height(), canvas, source.Left,
                source.Top, source.Width(), source.Height(), copy_mode_, nullptr);
}

void TCanvas::BrushCopy(const TRect& dest, TBitmap* bitmap, const TRect& source,
                        TColor transparentColor) {
  if (bitmap == nullptr || bitmap->Empty())
    return;
  const uint32_t key = RgbToDevice(ColorToRGB(transparentColor) & 0xFFFFFF);
  TransferImage(this, dest.Left, dest.Top, dest.Width(), dest.Height(), bitmap->Image(),
                source.Left, source.Top, source.Width(), source.Height(), SRCCOPY, &key,
                bitmap->Monochrome());
}
