// The canvas's drawing: our own rasteriser for lines, boxes, ellipses and
// polygons (so that pixels follow GDI's rules exactly), QPainter for text.
#include "platform/graphics/Canvas.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QTransform>
#include <algorithm>
#include <climits>
#include <cmath>

#include "platform/forms/QtText.h"
#include "platform/graphics/Bitmap.h"
#include "platform/graphics/CanvasRaster.h"

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

namespace {

// Coordinates in device space are 64-bit: logical 32-bit values minus the
// origin never overflow there.
using i64 = int64_t;

struct Device {
  uint32_t* bits = nullptr;
  i64 stride = 0;  // in pixels
  std::vector<QRect> clips;
  bool mono = false;
};

Device DeviceOf(TCanvas& c) {
  Device d;
  QImage* img = c.Target();
  if (img == nullptr || img->isNull())
    return d;
  d.bits = reinterpret_cast<uint32_t*>(img->bits());
  d.stride = img->bytesPerLine() / 4;
  d.clips = CanvasAccess::ClipRects(c);
  d.mono = c.Monochrome();
  return d;
}

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

inline void Put(uint32_t* p, uint32_t color, TPenMode mode) {
  if (mode == pmCopy)
    *p = color;
  else
    *p = 0xFF000000u | ApplyPenMode(mode, color & 0xFFFFFF, *p & 0xFFFFFF);
}

// Paints device pixels [x0, x1) of row y, cut by the clip.
void Span(const Device& d, i64 y, i64 x0, i64 x1, const Paint& paint) {
  if (x1 <= x0 || paint.kind == Paint::None)
    return;
  for (const QRect& r : d.clips) {
    if (y < r.top() || y > r.bottom())
      continue;
    const i64 a = std::max<i64>(x0, r.left());
    const i64 b = std::min<i64>(x1, i64{r.right()} + 1);
    if (a >= b)
      continue;
    uint32_t* row = d.bits + y * d.stride;
    if (paint.kind == Paint::Solid && paint.mode == pmCopy) {
      std::fill(row + a, row + b, paint.color);
      continue;
    }
    for (i64 x = a; x < b; ++x) {
      if (paint.Covers(x, y))
        Put(row + x, paint.ColorAt(x, y), paint.mode);
    }
  }
}

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

// On/off pattern of a pen style; empty for solid.
struct Dashes {
  const uint8_t* runs = nullptr;
  int count = 0;
  int period = 0;
  bool On(i64 i) const {
    if (count == 0)
      return true;
    i64 k = i % period;
    for (int j = 0; j < count; ++j) {
      if (k < runs[j])
        return j % 2 == 0;
      k -= runs[j];
    }
    return true;
  }
};

Dashes DashesOf(TPenStyle style) {
  static constexpr uint8_t kDash[] = {6, 2};
  static constexpr uint8_t kDot[] = {1, 1};
  static constexpr uint8_t kDashDot[] = {6, 2, 1, 2};
  static constexpr uint8_t kDashDotDot[] = {6, 2, 1, 2, 1, 2};
  switch (style) {
    case psDash:
      return {kDash, 2, 8};
    case psDot:
      return {kDot, 2, 2};
    case psDashDot:
      return {kDashDot, 4, 11};
    case psDashDotDot:
      return {kDashDotDot, 6, 14};
    default:
      return {};
  }
}

// A set of device pixels collected before painting, so that a wide pen's
// overlapping stamps paint each pixel once.
class Mask {
 public:
  Mask(const QRect& bounds) : bounds_(bounds) {
    if (!bounds.isEmpty())
      bits_.assign(static_cast<size_t>(bounds.width()) * bounds.height(), 0);
  }
  void SetSpan(i64 y, i64 x0, i64 x1) {
    if (y < bounds_.top() || y > bounds_.bottom())
      return;
    x0 = std::max<i64>(x0, bounds_.left());
    x1 = std::min<i64>(x1, i64{bounds_.right()} + 1);
    if (x0 >= x1)
      return;
    uint8_t* row = bits_.data() + (y - bounds_.top()) * bounds_.width() - bounds_.left();
    std::fill(row + x0, row + x1, uint8_t{1});
  }
  void Paint(const Device& d, const ::Paint& paint) const {
    for (i64 y = bounds_.top(); y <= bounds_.bottom(); ++y) {
      const uint8_t* row = bits_.data() + (y - bounds_.top()) * bounds_.width();
      i64 x = 0;
      const i64 w = bounds_.width();
      while (x < w) {
        while (x < w && row[x] == 0)
          ++x;
        i64 e = x;
        while (e < w && row[e] != 0)
          ++e;
        if (e > x)
          Span(d, y, bounds_.left() + x, bounds_.left() + e, paint);
        x = e;
      }
    }
  }
  const QRect& Bounds() const { return bounds_; }

 private:
  QRect bounds_;
  std::vector<uint8_t> bits_;
};

QRect ClipBounds(const Device& d) {
  QRect b;
  for (const QRect& r : d.clips)
    b = b.united(r);
  return b;
}

// A round pen's stamp: the pixels within width / 2 of its centre, as
// half-widths per row offset -r..r (r = width / 2 rounded down). Width 2 is
// a plus sign, width 3 a 3 x 3 square: symmetric, so figures stay symmetric.
int StampRadius(int width) {
  return width / 2;
}
std::vector<int> StampSpans(int width) {
  const int r = StampRadius(width);
  std::vector<int> half(static_cast<size_t>(2 * r + 1));
  const double limit = (width / 2.0) * (width / 2.0);
  for (int dy = -r; dy <= r; ++dy) {
    int h = 0;
    while (h + 1 <= r && (h + 1) * (h + 1) + dy * dy <= limit)
      ++h;
    half[static_cast<size_t>(dy + r)] = h;
  }
  return half;
}

// Marks the pixels whose centre lies within `r` of the segment a-b (pixel
// centres sit at integer coordinates, as the width-1 line's pixels do): a
// round-ended stroke. Used for pens wider than kWidestStamp, whose stamps
// would cost width-squared work per pixel; row by row it costs one interval
// per row of the mask.
constexpr int kWidestStamp = 16;

void StrokeCapsule(Mask& mask, double ax, double ay, double bx, double by, double r) {
  const QRect& bounds = mask.Bounds();
  const double top = std::min(ay, by) - r, bottom = std::max(ay, by) + r;
  const i64 y0 = std::max<i64>(bounds.top(), static_cast<i64>(std::ceil(std::max(top, -1e18))));
  const i64 y1 =
      std::min<i64>(bounds.bottom(), static_cast<i64>(std::floor(std::min(bottom, 1e18))));
  const double dx = bx - ax, dy = by - ay;
  const double len = std::sqrt(dx * dx + dy * dy);
  for (i64 y = y0; y <= y1; ++y) {
    const double yc = static_cast<double>(y);
    double lo = INFINITY, hi = -INFINITY;
    auto take = [&](double x) {
      lo = std::min(lo, x);
      hi = std::max(hi, x);
    };
    for (const auto& [px, py] : {std::pair{ax, ay}, std::pair{bx, by}}) {
      const double e = yc - py;
      if (std::abs(e) <= r) {
        const double h = std::sqrt(r * r - e * e);
        take(px - h);
        take(px + h);
      }
    }
    if (len > 0) {
      // The band: points a + t (b - a) + s n, t in [0, 1], s in [-r, r],
      // n the unit normal (-dy, dx) / len. On the row, Y = yc fixes a line
      // in (t, s); X is linear along it, so its extremes lie where that
      // line crosses the rectangle's edges.
      const double nx = -dy / len, ny = dx / len;
      const double k = yc - ay;  // t dy + s ny = k
      auto point = [&](double t, double sv) {
        if (t >= -1e-12 && t <= 1 + 1e-12 && sv >= -r - 1e-9 && sv <= r + 1e-9)
          take(ax + t * dx + sv * nx);
      };
      if (ny != 0) {
        point(0, k / ny);
        point(1, (k - dy) / ny);
      }
      if (dy != 0) {
        point((k + r * ny) / dy, -r);
        point((k - r * ny) / dy, r);
      }
    }
    if (lo <= hi) {
      const double l = std::max(lo, static_cast<double>(bounds.left()) - 1);
      const double h = std::min(hi, static_cast<double>(bounds.right()) + 1);
      mask.SetSpan(y, static_cast<i64>(std::ceil(l - 1e-9)),
                   static_cast<i64>(std::floor(h + 1e-9)) + 1);
    }
  }
}

// The pixel sink of the width-1 figures: paints directly, or stamps into a
// mask for a wide pen.
struct PenSink {
  const Device* d = nullptr;
  Paint paint;
  Mask* mask = nullptr;
  std::vector<int> stamp;
  int radius = 0;
  const QRect* last = nullptr;

  void Pixel(i64 x, i64 y) {
    if (mask != nullptr) {
      for (int dy = -radius; dy <= radius; ++dy) {
        const int h = stamp[static_cast<size_t>(dy + radius)];
        mask->SetSpan(y + dy, x - h, x + h + 1);
      }
      return;
    }
    if (Inside(*d, x, y, last))
      Put(d->bits + y * d->stride + x, paint.color, paint.mode);
  }
  // A horizontal run of the width-1 figure.
  void Run(i64 y, i64 x0, i64 x1) {
    if (mask != nullptr) {
      for (int dy = -radius; dy <= radius; ++dy) {
        const int h = stamp[static_cast<size_t>(dy + radius)];
        mask->SetSpan(y + dy, x0 - h, x1 + h);
      }
      return;
    }
    Span(*d, y, x0, x1, paint);
  }
};

// The device pixels of the line from (x0, y0) to (x1, y1), end point
// excluded, within `area` (a rectangle that bounds what can be painted,
// grown by the pen's radius). Along the major axis every step is one pixel;
// the minor coordinate is the ideal one rounded half away from the start.
// `phase` counts pixels for the dash pattern and is advanced.
template <class F>
void WalkLine(i64 x0, i64 y0, i64 x1, i64 y1, const QRect& area, F&& pixel) {
  const i64 dx = x1 - x0, dy = y1 - y0;
  const i64 adx = dx < 0 ? -dx : dx, ady = dy < 0 ? -dy : dy;
  if (adx == 0 && ady == 0)
    return;
  const bool xMajor = adx >= ady;
  const i64 n = xMajor ? adx : ady;  // pixels: 0 .. n-1
  const i64 m = xMajor ? ady : adx;  // minor extent
  const i64 sMaj = (xMajor ? dx : dy) < 0 ? -1 : 1;
  const i64 sMin = (xMajor ? dy : dx) < 0 ? -1 : 1;
  const i64 maj0 = xMajor ? x0 : y0, min0 = xMajor ? y0 : x0;
  // Step range whose major coordinate lies in the area.
  const i64 lo = xMajor ? area.left() : area.top();
  const i64 hi = xMajor ? i64{area.right()} : i64{area.bottom()};
  i64 first = 0, last = n - 1;
  if (sMaj > 0) {
    first = std::max<i64>(first, lo - maj0);
    last = std::min<i64>(last, hi - maj0);
  } else {
    first = std::max<i64>(first, maj0 - hi);
    last = std::min<i64>(last, maj0 - lo);
  }
  if (first > last)
    return;
  // minor offset at step i: floor((2 i m + n) / (2 n)).
  const __int128 num0 = static_cast<__int128>(2) * first * m + n;
  const i64 twoN = 2 * n;
  i64 off = static_cast<i64>(num0 / twoN);
  i64 rem = static_cast<i64>(num0 % twoN);
  const i64 minLo = xMajor ? area.top() : area.left();
  const i64 minHi = xMajor ? i64{area.bottom()} : i64{area.right()};
  for (i64 i = first; i <= last; ++i) {
    const i64 maj = maj0 + sMaj * i;
    const i64 mn = min0 + sMin * off;
    if (mn >= minLo && mn <= minHi) {
      if (xMajor)
        pixel(i, maj, mn);
      else
        pixel(i, mn, maj);
    } else if ((sMin > 0 && mn > minHi) || (sMin < 0 && mn < minLo)) {
      break;  // left the area for good
    }
    rem += 2 * m;
    if (rem >= twoN) {
      rem -= twoN;
      ++off;
    }
  }
}

// The distance from the box's left edge to the first pixel of row dr (0 at
// the top or bottom edge, counted toward the middle) of a box w wide with
// elliptic corners of ew x eh (each at most the box's size). The corner
// ellipse is inscribed in the pixel edges of its ew x eh corner box; a pixel
// belongs to the figure when its centre lies inside. Computed per row, so
// that huge boxes cost only their visible rows.
i64 CornerOffset(i64 w, i64 h, i64 ew, i64 eh, i64 dr) {
  ew = std::min(ew, w);
  eh = std::min(eh, h);
  if (ew < 2 || eh < 2)
    return 0;
  const double rx = static_cast<double>(ew) / 2.0, ry = static_cast<double>(eh) / 2.0;
  const double dy = ry - (static_cast<double>(dr) + 0.5);
  if (dy <= 0)
    return 0;
  const double t = dy / ry;
  const double ext = rx * std::sqrt(std::max(0.0, 1.0 - t * t));
  const i64 off = static_cast<i64>(std::ceil(rx - ext - 0.5 - 1e-9));
  // A row keeps at least its middle pixel (two for an even width).
  return std::clamp<i64>(off, 0, (w - 1) / 2);
}

}  // namespace

// ---------------------------------------------------------------------------
// CanvasAccess

std::vector<QRect> CanvasAccess::ClipRects(const TCanvas& c) {
  std::vector<QRect> rects;
  if (c.target_ == nullptr || c.target_->isNull())
    return rects;
  const QRect bounds(0, 0, c.target_->width(), c.target_->height());
  if (!c.has_clip_) {
    rects.push_back(bounds);
    return rects;
  }
  const QRegion r = c.clip_->intersected(bounds);
  for (const QRect& q : r)
    rects.push_back(q);
  return rects;
}

uint32_t CanvasAccess::DeviceColor(const TCanvas& c, TColor color) {
  const uint32_t d = RgbToDevice(ColorToRGB(color) & 0xFFFFFF);
  return c.monochrome_ ? ToMonochrome(d) : d;
}

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

namespace {

// Draws the chain of lines through `pts` (device coordinates) with the pen:
// each line leaves its end point out; `closed` adds the closing line.
void StrokeChain(TCanvas& c, const std::vector<std::pair<i64, i64>>& pts, bool closed) {
  TPen* pen = c.Pen();
  if (pen->Style() == psClear || pts.size() < 2)
    return;
  Device d = DeviceOf(c);
  if (d.bits == nullptr || d.clips.empty())
    return;
  PenSink sink;
  sink.d = &d;
  sink.paint.color = CanvasAccess::DeviceColor(c, pen->Color());
  sink.paint.mode = pen->Mode();
  const int width = pen->Width();
  std::unique_ptr<Mask> mask;
  QRect area = ClipBounds(d);
  if (width > 1) {
    sink.radius = StampRadius(width);
    sink.stamp = StampSpans(width);
    mask = std::make_unique<Mask>(area);
    sink.mask = mask.get();
    area = area.adjusted(-sink.radius, -sink.radius, sink.radius, sink.radius);
  }
  const Dashes dashes = width > 1 ? Dashes{} : DashesOf(pen->Style());
  i64 phase = 0;
  const bool direct = mask == nullptr && dashes.count == 0 && d.clips.size() == 1;
  const size_t segments = closed ? pts.size() : pts.size() - 1;
  for (size_t s = 0; s < segments; ++s) {
    const auto& a = pts[s];
    const auto& b = pts[(s + 1) % pts.size()];
    if (width > kWidestStamp) {
      StrokeCapsule(*mask, static_cast<double>(a.first), static_cast<double>(a.second),
                    static_cast<double>(b.first), static_cast<double>(b.second), width / 2.0);
      continue;
    }
    const i64 length = std::max(std::abs(b.first - a.first), std::abs(b.second - a.second));
    if (direct) {
      // One clip rectangle, which WalkLine already keeps to: write at once.
      WalkLine(a.first, a.second, b.first, b.second, area, [&](i64, i64 x, i64 y) {
        Put(d.bits + y * d.stride + x, sink.paint.color, sink.paint.mode);
      });
    } else {
      WalkLine(a.first, a.second, b.first, b.second, area, [&](i64 i, i64 x, i64 y) {
        if (dashes.On(phase + i))
          sink.Pixel(x, y);
      });
    }
    phase += length;
  }
  if (mask) {
    // A wide line covers its end point too: the stroke is symmetric about
    // its middle.
    if (!closed && width <= kWidestStamp)
      sink.Pixel(pts.back().first, pts.back().second);
    mask->Paint(d, sink.paint);
  }
  CanvasAccess::Changed(c);
}

}  // namespace

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

namespace {

Paint BrushPaint(const TCanvas& c, TPenMode mode) {
  Paint p;
  TBrush* brush = c.Brush();
  p.mode = mode;
  if (brush->Bitmap() != nullptr && !brush->Bitmap()->Empty()) {
    p.kind = Paint::Pattern;
    p.pattern = &brush->Bitmap()->Image();
    p.patternMono = brush->Bitmap()->Monochrome();
    p.textColor = RgbToDevice(c.TextColor());
    p.bkColor = RgbToDevice(c.BkColor());
    return p;
  }
  if (brush->Style() == bsClear) {
    p.kind = Paint::None;
    return p;
  }
  p.color = CanvasAccess::DeviceColor(c, brush->Color());
  if (brush->Style() != bsSolid) {
    p.kind = Paint::Hatch;
    p.hatch = brush->Style();
  }
  return p;
}

// Rectangle, RoundRect and Ellipse: the box (device, normalised) with
// elliptic corners of ew x eh, filled with the brush and outlined with the
// pen.
void DrawBox(TCanvas& c, i64 x1, i64 y1, i64 x2, i64 y2, i64 ew, i64 eh) {
  if (x2 < x1)
    std::swap(x1, x2);
  if (y2 < y1)
    std::swap(y1, y2);
  TPen* pen = c.Pen();
  const bool outline = pen->Style() != psClear;
  const int width = outline ? pen->Width() : 1;
  const int radius = width > 1 ? StampRadius(width) : 0;
  if (pen->Style() == psInsideFrame && radius > 0) {
    // The wide outline is kept inside the box: the figure shrinks by what
    // the pen adds around it.
    x1 += radius;
    y1 += radius;
    x2 -= radius;
    y2 -= radius;
  }
  const i64 w = x2 - x1, h = y2 - y1;
  if (w <= 0 || h <= 0)
    return;
  Device d = DeviceOf(c);
  if (d.bits == nullptr || d.clips.empty())
    return;
  const QRect area = ClipBounds(d);
  // Rows that can reach the clip.
  const i64 rowFirst = std::max<i64>(0, i64{area.top()} - radius - y1);
  const i64 rowLast = std::min<i64>(h - 1, i64{area.bottom()} + radius - y1);
  if (rowFirst > rowLast)
    return;
  auto offAt = [&](i64 r) -> i64 { return CornerOffset(w, h, ew, eh, std::min(r, h - 1 - r)); };
  // The neighbour toward the edge: row r's outline reaches to where that
  // row starts, so the outline stays connected.
  auto outerOff = [&](i64 r) -> i64 {
    const i64 dr = std::min(r, h - 1 - r);
    if (dr == 0)
      return w;  // the top and bottom rows are outline from end to end
    return offAt(r < h - 1 - r ? r - 1 : r + 1);
  };
  const Paint fill = BrushPaint(c, pen->Mode());
  PenSink sink;
  sink.d = &d;
  std::unique_ptr<Mask> mask;
  if (outline) {
    sink.paint.color = CanvasAccess::DeviceColor(c, pen->Color());
    sink.paint.mode = pen->Mode();
    if (width > 1) {
      sink.radius = radius;
      sink.stamp = StampSpans(width);
      mask = std::make_unique<Mask>(area);
      sink.mask = mask.get();
    }
  }
  const i64 first = outline ? rowFirst : std::max<i64>(0, i64{area.top()} - y1);
  const i64 last = outline ? rowLast : std::min<i64>(h - 1, i64{area.bottom()} - y1);
  // Columns beyond the clip are never painted: clamp runs so that huge
  // boxes cost only the clipped area.
  const i64 colLo = i64{area.left()} - radius - 1, colHi = i64{area.right()} + radius + 2;
  auto clampX = [&](i64 x) { return std::clamp(x, colLo, colHi); };
  for (i64 r = first; r <= last; ++r) {
    const i64 y = y1 + r;
    const i64 off = offAt(r);
    const i64 left = x1 + off, right = x2 - off;  // [left, right)
    if (!outline) {
      Span(d, y, clampX(left), clampX(right), fill);
      continue;
    }
    const i64 outer = std::min(outerOff(r), w);
    // Left outline run [left, leftEnd), mirrored on the right.
    const i64 leftEnd = std::min(std::max(left + 1, x1 + outer), right);
    const i64 rightStart = std::max(std::min(right - 1, x2 - outer), leftEnd);
    sink.Run(y, clampX(left), clampX(leftEnd));
    if (rightStart < right)
      sink.Run(y, clampX(rightStart), clampX(right));
    if (rightStart > leftEnd)
      Span(d, y, clampX(leftEnd), clampX(rightStart), fill);
  }
  if (mask)
    mask->Paint(d, sink.paint);
  CanvasAccess::Changed(c);
}

}  // namespace

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
    f.setPixelSize(std::min(-height, 1 << 14));
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
