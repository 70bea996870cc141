// Points, sizes and rectangles in integer pixels.
//
// A rectangle holds Left, Top, Right, Bottom; Right and Bottom lie just
// outside it (the width is Right - Left), as every drawing call that takes a
// rectangle expects. Any 32-bit coordinates are allowed: sizes and offsets
// saturate at the 32-bit range instead of overflowing. Plain values: no
// thread rules.
#pragma once

#include <algorithm>
#include <climits>
#include <cstdint>

// a + b, saturated to the 32-bit range.
constexpr int32_t SaturatingAdd(int64_t a, int64_t b) {
  return static_cast<int32_t>(std::clamp<int64_t>(a + b, INT32_MIN, INT32_MAX));
}

struct TPoint {
  int32_t X = 0;
  int32_t Y = 0;
  constexpr bool operator==(const TPoint&) const = default;
};

struct TSize {
  int32_t cx = 0;
  int32_t cy = 0;
  constexpr bool operator==(const TSize&) const = default;
};

struct TRect {
  int32_t Left = 0;
  int32_t Top = 0;
  int32_t Right = 0;
  int32_t Bottom = 0;

  constexpr int32_t Width() const { return SaturatingAdd(Right, -int64_t{Left}); }
  constexpr int32_t Height() const { return SaturatingAdd(Bottom, -int64_t{Top}); }
  constexpr TPoint TopLeft() const { return {Left, Top}; }
  constexpr TPoint BottomRight() const { return {Right, Bottom}; }
  // True when the rectangle covers no pixel (Right <= Left or Bottom <= Top).
  constexpr bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
  constexpr bool Contains(TPoint p) const {
    return p.X >= Left && p.X < Right && p.Y >= Top && p.Y < Bottom;
  }
  constexpr bool operator==(const TRect&) const = default;
};

constexpr TPoint Point(int32_t x, int32_t y) {
  return {x, y};
}
constexpr TRect Rect(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  return {left, top, right, bottom};
}
// The rectangle of the given width and height at (left, top).
constexpr TRect Bounds(int32_t left, int32_t top, int32_t width, int32_t height) {
  return {left, top, SaturatingAdd(left, width), SaturatingAdd(top, height)};
}

// The common part of a and b; the empty rectangle (0, 0, 0, 0) when they do
// not meet. Returns whether they meet.
constexpr bool IntersectRect(TRect& result, const TRect& a, const TRect& b) {
  TRect r{std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right),
          std::min(a.Bottom, b.Bottom)};
  if (r.IsEmpty()) {
    result = TRect{};
    return false;
  }
  result = r;
  return true;
}

constexpr bool PtInRect(const TRect& r, TPoint p) {
  return r.Contains(p);
}

// `p` moved by (dx, dy), saturated to the 32-bit range: the conversions
// between coordinate spaces (client, parent, screen, a window's own) all go
// through it, so that no position overflows whatever the stored bounds.
constexpr TPoint OffsetPoint(TPoint p, int64_t dx, int64_t dy) {
  return {SaturatingAdd(p.X, dx), SaturatingAdd(p.Y, dy)};
}

constexpr TRect OffsetRect(TRect r, int32_t dx, int32_t dy) {
  return {SaturatingAdd(r.Left, dx), SaturatingAdd(r.Top, dy), SaturatingAdd(r.Right, dx),
          SaturatingAdd(r.Bottom, dy)};
}

// Grows the rectangle by dx on the left and right and dy above and below
// (negative values shrink it).
constexpr TRect InflateRect(TRect r, int32_t dx, int32_t dy) {
  return {SaturatingAdd(r.Left, -int64_t{dx}), SaturatingAdd(r.Top, -int64_t{dy}),
          SaturatingAdd(r.Right, dx), SaturatingAdd(r.Bottom, dy)};
}
