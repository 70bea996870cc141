// The rasteriser behind the canvas's figures (declared in CanvasRasterPrivate.h):
// lines and wide pens, boxes with elliptic corners, spans under the clip,
// written straight into the target's RGB32 bits. The canvas (Canvas.cpp)
// turns logical coordinates into device ones and calls in here.
#include "platform/graphics/CanvasRasterPrivate.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "platform/graphics/Bitmap.h"

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

namespace raster {

namespace {

inline void Put(uint32_t* p, uint32_t color, TPenMode mode) {
  if (mode == pmCopy)
    *p = color;
  else
    *p = 0xFF000000u | ApplyPenMode(mode, color & 0xFFFFFF, *p & 0xFFFFFF);
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
  void Paint(const Device& d, const raster::Paint& paint) const {
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

QRect ClipBounds(const Device& d) {
  QRect b;
  for (const QRect& r : d.clips)
    b = b.united(r);
  return b;
}

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

}  // namespace raster
