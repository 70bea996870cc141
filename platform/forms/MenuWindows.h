// Menu windows: the drop-down windows that show a menu's items (under a
// root item of the bar, beside a parent item, or for a popup menu), and the
// layout and painting of a main menu's bar. Every toolkit use of the menus
// lives in MenuWindows.cpp: the drop-downs' screen windows, and the watcher
// that closes an open popup menu on a press elsewhere or Esc (with the popup
// menu's window members, TPopupMenu in Menus.h).
//
// Threads: main thread.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "platform/classes/Classes.h"
#include "platform/classes/Types.h"
#include "platform/forms/Menus.h"
#include "platform/graphics/Canvas.h"

class QImage;
class QWidget;

// What the pointer does over a drop-down window.
enum class TMenuInput { Press, Move, Release };

// A drop-down window: the visible sub-items of `parent` in a column, drawn
// into a back buffer. Its size is the widest measured item and the sum of
// the measured heights, inside a border of MenuBorderWidth pixels on every
// side (an item with a column break starts a new column to the right, at
// the top: each column as wide as its widest item, the window as high as
// its highest column); it holds its screen rectangle, an optional window region (what of
// the window shows; empty: all of it) and its level (1 under a root item or
// for a popup menu's items, one more per sub-menu). Paint draws every item
// through its menu's DrawItem at its place, the selected one with
// odSelected; the canvas an item is drawn on leads back to the window
// (MenuWindowOfCanvas) for drawing code that frames or reshapes it. The
// region goes when the window hides or is destroyed.
//
// On the screen (once Qt's widget application exists) the drop-down is a
// frameless top-level window of ours that stays above the others, takes no
// focus and does not animate: it shows the back buffer as it is (nothing is
// erased first), only the region's part of it, at BoundsRect. Its mouse
// input goes to OnInput in screen coordinates.
//
// Threads: main thread.
class TMenuDropDown : public TObject {
  KESTRUNE_CLASS(TMenuDropDown, TObject)
  static constexpr int MenuBorderWidth = 3;
  // `parent` must stay alive while the window exists.
  TMenuDropDown(TMenuItem* parent, int level);
  ~TMenuDropDown() override;

  TMenuItem* ParentItem() const { return parent_; }
  int Level() const { return level_; }
  // The screen rectangle; the window's client rectangle is {0, 0, width,
  // height}.
  const TRect& BoundsRect() const { return bounds_; }
  void MoveTo(int left, int top);
  void MoveBy(int dx, int dy) {
    MoveTo(SaturatingAdd(bounds_.Left, dx), SaturatingAdd(bounds_.Top, dy));
  }
  // The region in window coordinates; empty when the whole window shows.
  const TRect& Region() const { return region_; }
  void SetRegion(const TRect& region);
  bool Visible() const { return visible_; }
  void Show();
  // Hides: the region goes.
  void Hide();
  // The screen rectangle of the item the window opened from (a root item
  // in the bar, or the parent item); empty when unknown.
  const TRect& OwnerRect() const { return owner_rect_; }
  void SetOwnerRect(const TRect& rect) { owner_rect_ = rect; }
  // Whether the window opened on the left of its parent item (sub-menus
  // where the screen ends).
  bool OpensLeft() const { return opens_left_; }
  void SetOpensLeft(bool value) { opens_left_ = value; }
  // Whether drawing code has set the window up already (for work done once).
  bool Prepared() const { return prepared_; }
  void SetPrepared(bool value) { prepared_ = value; }

  // The visible items in order, and the rectangle of each (window
  // coordinates). Null parent: none.
  const std::vector<TMenuItem*>& VisibleItems() const { return items_; }
  TRect ItemRect(int index) const;
  // Lays the items out again from their measured sizes (call after the
  // menu rebuilt).
  void Layout();
  // Draws every item; `selected` is the index of the selected one or -1.
  // A window whose parent item was freed draws its empty frame only.
  void Paint(int selected);
  // An item is being freed: a window that shows it lays its items out
  // again; a window of its sub-items is left empty (ParentItem null).
  static void ItemGone(TMenuItem* item);
  // The back buffer (RGB32, the window's size) and a canvas on all of it.
  const QImage& Image() const { return *image_; }
  TCanvas* Canvas() const { return canvas_; }

  // The window on the screen; null before Show, or without Qt's widget
  // application.
  QWidget* ScreenWindow() const;
  std::function<void(TMenuInput, TPoint)> OnInput;

 private:
  class Window;
  // Ends the screen window: at once, or after its own event when the
  // window is inside one.
  struct WindowRelease {
    void operator()(Window* window) const;
  };
  void Layout(TMenuItem* leaving);
  // Gives the screen window the bounds, region and back buffer.
  void SyncWindow();
  TMenuItem* parent_;
  int level_;
  TRect bounds_;
  TRect region_;
  TRect owner_rect_;
  bool opens_left_ = false;
  bool visible_ = false;
  bool prepared_ = false;
  std::vector<TMenuItem*> items_;
  std::vector<int> tops_;
  std::vector<int> columns_;       // the column of each item
  std::vector<int> column_lefts_;  // each column's left edge, then the last's right
  std::unique_ptr<QImage> image_;  // never null
  TCanvas* canvas_ = nullptr;
  std::unique_ptr<Window, WindowRelease> window_;  // null before Show
};

// The drop-down window whose canvas (or the canvas of an item it is
// drawing) is `canvas`; null for any other canvas.
TMenuDropDown* MenuWindowOfCanvas(TCanvas* canvas);
// The visible drop-down window that shows at the screen point (inside its
// region when it has one), the last opened first; null when none.
TMenuDropDown* MenuWindowAt(TPoint screen);

// Paints a main menu's bar into `canvas` over {0, 0, width, BarHeight}: the
// visible root items side by side from the left, each in its slot
// (MenuBarSlotWidth), each through the menu's
// DrawItem (`selected` with odSelected, `hot` with odHotLight; -1 for
// none), and right of the last one the menu colour of the system-colour
// table. While the items are drawn, MenuBarOfCanvas(canvas) answers the
// bar's rectangle. Returns the bar's height (the tallest root item's).
int PaintMenuBar(TMainMenu* menu, TCanvas* canvas, int width, int selected, int hot);
// The bar being painted on `canvas`, or an empty rectangle.
TRect MenuBarOfCanvas(TCanvas* canvas);

// The room a root item takes in the bar: its measured width and
// MenuBarItemPad more, so that captions do not touch.
inline constexpr int MenuBarItemPad = 8;
int MenuBarSlotWidth(const TMenuItem* root);
