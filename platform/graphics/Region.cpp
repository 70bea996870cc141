// TRegion on QRegion.
#include <QRegion>

#include "platform/graphics/Canvas.h"

namespace {
QRect ToQRect(const TRect& r) {
  if (r.IsEmpty())
    return QRect();
  // QRect takes a width; compute it in 64 bits and clamp to what QRect
  // holds so that huge rectangles stay valid.
  const int64_t w = int64_t{r.Right} - r.Left;
  const int64_t h = int64_t{r.Bottom} - r.Top;
  constexpr int64_t kMax = int64_t{1} << 29;  // widths up to 2^30 fit a QRect
  const int64_t left = std::clamp<int64_t>(r.Left, -kMax, kMax);
  const int64_t top = std::clamp<int64_t>(r.Top, -kMax, kMax);
  const int64_t right = std::clamp<int64_t>(r.Left + w, -kMax, kMax);
  const int64_t bottom = std::clamp<int64_t>(r.Top + h, -kMax, kMax);
  if (right <= left || bottom <= top)
    return QRect();
  return QRect(static_cast<int>(left), static_cast<int>(top), static_cast<int>(right - left),
               static_cast<int>(bottom - top));
}

TRect FromQRect(const QRect& r) {
  if (r.isEmpty())
    return TRect{};
  return TRect{r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
}
}  // namespace

TRegion::TRegion() : region_(std::make_unique<QRegion>()) {}
TRegion::TRegion(const TRect& rect) : region_(std::make_unique<QRegion>(ToQRect(rect))) {}
TRegion::TRegion(const QRegion& region) : region_(std::make_unique<QRegion>(region)) {}
TRegion::TRegion(const TRegion& other) : region_(std::make_unique<QRegion>(*other.region_)) {}
TRegion& TRegion::operator=(const TRegion& other) {
  *region_ = *other.region_;
  return *this;
}
TRegion::~TRegion() = default;

bool TRegion::IsEmpty() const {
  return region_->isEmpty();
}
TRect TRegion::BoundsRect() const {
  return FromQRect(region_->boundingRect());
}
bool TRegion::Contains(TPoint p) const {
  return region_->contains(QPoint(p.X, p.Y));
}
bool TRegion::Meets(const TRect& rect) const {
  const QRect q = ToQRect(rect);
  return !q.isEmpty() && region_->intersects(q);
}
void TRegion::Unite(const TRect& rect) {
  *region_ = region_->united(ToQRect(rect));
}
void TRegion::Unite(const TRegion& other) {
  *region_ = region_->united(*other.region_);
}
void TRegion::Intersect(const TRect& rect) {
  *region_ = region_->intersected(ToQRect(rect));
}
void TRegion::Intersect(const TRegion& other) {
  *region_ = region_->intersected(*other.region_);
}
void TRegion::Exclude(const TRect& rect) {
  *region_ = region_->subtracted(QRegion(ToQRect(rect)));
}
void TRegion::Offset(int dx, int dy) {
  region_->translate(dx, dy);
}
std::vector<TRect> TRegion::Rects() const {
  std::vector<TRect> rects;
  for (const QRect& r : *region_)
    rects.push_back(FromQRect(r));
  return rects;
}
bool TRegion::operator==(const TRegion& other) const {
  return *region_ == *other.region_;
}
const QRegion& TRegion::Qt() const {
  return *region_;
}
