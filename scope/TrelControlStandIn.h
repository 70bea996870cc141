// What the scope needs of a windowed control until the forms layer's
// custom control is in place: bounds, colour, visibility, focus, cursor and
// repaint requests, and the input types of its handlers. Plain state: no
// window is made; a repaint request is counted.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/classes/Classes.h"
#include "platform/classes/Types.h"
#include "platform/graphics/Colors.h"

enum TShiftStateFlag : uint8_t {
  ssShift = 1u << 0,
  ssAlt = 1u << 1,
  ssCtrl = 1u << 2,
  ssLeft = 1u << 3,
  ssRight = 1u << 4,
  ssMiddle = 1u << 5,
  ssDouble = 1u << 6,
};
struct TShiftState {
  uint8_t bits = 0;
  TShiftState() = default;
  constexpr TShiftState(uint8_t b) : bits(b) {}  // NOLINT: a set from its flags
  bool Contains(TShiftStateFlag f) const { return (bits & f) != 0; }
};
enum TMouseButton { mbLeft, mbRight, mbMiddle };

class TTrelControlStandIn : public TComponent {
  KESTRUNE_CLASS(TTrelControlStandIn, TComponent)
  explicit TTrelControlStandIn(TComponent* owner) : TComponent(owner) {}

  int Left() const { return left_; }
  int Top() const { return top_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  void SetWidth(int w) { SetBounds(left_, top_, w, height_); }
  void SetHeight(int h) { SetBounds(left_, top_, width_, h); }
  virtual void SetBounds(int left, int top, int width, int height) {
    left_ = left;
    top_ = top;
    width_ = width < 0 ? 0 : width;
    height_ = height < 0 ? 0 : height;
  }
  TRect ClientRect() const { return {0, 0, width_, height_}; }
  TColor Color() const { return color_; }
  void SetColor(TColor c) {
    if (c != color_) {
      color_ = c;
      Invalidate();
    }
  }
  bool Visible() const { return visible_; }
  void SetVisible(bool v) { visible_ = v; }
  bool TabStop() const { return tab_stop_; }
  void SetTabStop(bool v) { tab_stop_ = v; }
  bool Focused() const { return focused_; }
  void SetFocusedForTesting(bool f) { focused_ = f; }
  TCursor Cursor() const { return cursor_; }
  void SetCursor(TCursor c) { cursor_ = c; }
  virtual void Invalidate() { invalidations_.fetch_add(1, std::memory_order_relaxed); }
  int InvalidationCount() const { return invalidations_.load(std::memory_order_relaxed); }

 private:
  int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  TColor color_ = 0;
  bool visible_ = true;
  bool tab_stop_ = false;
  bool focused_ = false;
  TCursor cursor_ = crDefault;
  std::atomic<int> invalidations_{0};
};
