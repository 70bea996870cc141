// The views of the scope's client area: rectangles that each draw one part
// of the picture and receive the mouse events that fall on them. The chart
// makes five, in this order: the title, the legend, the X axis, the Y axis
// and the plot area (TTrelScopeDataView), which fills what the others leave
// and shows the grid, the traces and the hover decoration.
//
// Views are persistent objects owned by the display's views list; main
// thread only. A view refers to its display (borrowed) and owns its parts
// (view size, title font), which the part-valued setters copy into.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/classes/Controls.h"
#include "platform/classes/Types.h"
#include "platform/graphics/Canvas.h"
#include "scope/TrelAxisRules.h"
#include "scope/TrelScopeSettings.h"

class TTrelDataDisplay;
class TTrelDataChart;
class TTrelScope;
class TTrelDisplayCollectionItem;
class TTrelScopeChannel;
class TTrelDisplayCursor;
class TTrelDisplayCursorLink;
class TTrelScopeMarkerGroup;
class TTrelScopeChannelMarker;
struct TTrelPlotFrame;

// What the cursor and link hit tests found: which line of the cursor (its
// vertical line at X, its horizontal line at Y) and which measurement line
// of the link (the vertical one between horizontal cursors, the horizontal
// one between vertical cursors). Set by the hover and the press; a legend
// highlight sets both of its kind.
struct TTrelHitDetail {
  bool CursorX = false;
  bool CursorY = false;
  bool LinkVertical = false;
  bool LinkHorizontal = false;
  bool operator==(const TTrelHitDetail&) const = default;
};

// What the scene hands every view's Paint.
struct TTrelPaintContext {
  TCanvas* Canvas = nullptr;
  bool Picture = false;  // drawing for a copy, a file or a printer
  bool Vertical = false;
  TTrelAxisMapping YMapping;
  double XMin = 0.0;
  double XMax = 0.0;
};

class TTrelDisplayView : public TPersistent {
  KESTRUNE_CLASS(TTrelDisplayView, TPersistent)
  explicit TTrelDisplayView(TTrelDataDisplay* display) : display_(display) {}

  // The size the view needs (-1: all that is left).
  virtual void CalcSize(int& width, int& height) = 0;
  virtual int GetStartMargin() { return 0; }
  virtual int GetEndMargin() { return 0; }
  // 1 top, 2 bottom, 3 left, 4 right, 5 fill.
  virtual int GetAlignment() = 0;
  virtual int GetLeft() { return Left; }
  virtual int GetTop() { return Top; }
  // Right - Left - 1 and Bottom - Top - 1, never below 0.
  virtual int GetWidth() { return std::max(0, Right - Left - 1); }
  virtual int GetHeight() { return std::max(0, Bottom - Top - 1); }
  // Invalidates the view rectangle of the control.
  virtual void Invalidate();
  virtual void MouseMove(TShiftState shift, int x, int y);
  virtual void MouseDown(TMouseButton button, TShiftState shift, bool inRect, int x, int y) {
    (void)button, (void)shift, (void)inRect, (void)x, (void)y;
  }
  virtual void MouseUp(TMouseButton button, TShiftState shift, bool inRect, int x, int y) {
    (void)button, (void)shift, (void)inRect, (void)x, (void)y;
  }
  virtual void MouseLeave();
  virtual void MouseEnter() {}
  virtual void MouseLeaveView() {}
  virtual void MouseEnterView() {}
  virtual void MouseWheelDown(TShiftState shift, TPoint point) { (void)shift, (void)point; }
  virtual void MouseWheelUp(TShiftState shift, TPoint point) { (void)shift, (void)point; }
  virtual bool IsShowing() { return GetHeight() >= 1 && GetWidth() > 0; }
  virtual bool IsEnabled() { return true; }
  virtual void Paint(const TTrelPaintContext& context) { (void)context; }
  virtual void PaintSkipped(const TTrelPaintContext& context) { (void)context; }
  virtual void PaintOverlay(TCanvas* canvas) { (void)canvas; }

  // The rectangle when showing, else (0, 0, 0, 0).
  TRect GetRect();
  TRect Rect() const { return {Left, Top, Right, Bottom}; }
  void SetRect(const TRect& r) {
    Left = r.Left;
    Top = r.Top;
    Right = r.Right;
    Bottom = r.Bottom;
  }
  TTrelDataDisplay* Display() const { return display_; }
  bool MouseInside() const { return mouse_inside_; }

  int Left = 0, Top = 0, Right = 0, Bottom = 0;

 protected:
  // The owner's RedrawAll and Invalidate.
  void RedrawChart();
  void RepaintChart();
  void SettingChanged(TObject*) { RedrawChart(); }

  TTrelDataDisplay* display_;
  bool mouse_inside_ = false;
};

class TTrelCustomSizeDisplayView : public TTrelDisplayView {
  KESTRUNE_CLASS(TTrelCustomSizeDisplayView, TTrelDisplayView)
  explicit TTrelCustomSizeDisplayView(TTrelDataDisplay* display);
  ~TTrelCustomSizeDisplayView() override;
  TTrelDisplayViewSize* GetViewSize() const { return view_size_; }

 protected:
  TTrelDisplayViewSize* view_size_;
};

class TTrelOptionalView : public TTrelCustomSizeDisplayView {
  KESTRUNE_CLASS(TTrelOptionalView, TTrelCustomSizeDisplayView)
  using TTrelCustomSizeDisplayView::TTrelCustomSizeDisplayView;
  bool GetVisible() const { return visible_; }
  virtual void SetVisible(bool v);
  bool IsShowing() override { return visible_ && !TRect{Left, Top, Right, Bottom}.IsEmpty(); }
  bool IsEnabled() override { return visible_; }

 private:
  bool visible_ = true;
};

// The chart's title, centred on the control.
class TTrelDisplayTitle : public TTrelOptionalView {
  KESTRUNE_CLASS(TTrelDisplayTitle, TTrelOptionalView)
  explicit TTrelDisplayTitle(TTrelDataDisplay* display);
  ~TTrelDisplayTitle() override;
  void CalcSize(int& width, int& height) override;
  int GetAlignment() override { return 1; }
  void Paint(const TTrelPaintContext& context) override;
  const std::string& GetText() const { return text_; }
  void SetText(const std::string& v);
  TFont* GetFont() const { return font_; }
  void SetFont(TFont* f) { font_->Assign(f); }

 private:
  std::string text_;
  TFont* font_;
};

// The plot area.
class TTrelScopeDataView : public TTrelDisplayView {
  KESTRUNE_CLASS(TTrelScopeDataView, TTrelDisplayView)
  explicit TTrelScopeDataView(TTrelDataChart* chart);
  void CalcSize(int& width, int& height) override {
    width = -1;
    height = -1;
  }
  int GetAlignment() override { return 5; }
  void Paint(const TTrelPaintContext& context) override;
  void PaintOverlay(TCanvas* canvas) override;
  void MouseEnter() override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void MouseDown(TMouseButton button, TShiftState shift, bool inRect, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, bool inRect, int x, int y) override;
  void MouseLeave() override;

  TColor GetGridColor() const { return grid_color_; }
  void SetGridColor(TColor v);
  TColor GetZeroGridColor() const { return zero_grid_color_; }
  void SetZeroGridColor(TColor v);

  // Hover detection at the last mouse position; repaints when the item or
  // marker under the mouse changed.
  void UpdateHover();
  // The hit-point mark and its label at `point`.
  void DrawHitPoint(TCanvas* canvas, TPoint point, TTrelChannelMouseHitPoint* settings);
  bool IsSelecting() const;
  void DrawHorizontalGridLine(TCanvas* canvas, bool isZero, int y, bool skip);
  void DrawVerticalGridLine(TCanvas* canvas, bool isZero, int x, bool skip);

  TTrelDisplayCollectionItem* HighlightedItem() const { return highlighted_; }
  TTrelDisplayCollectionItem* LegendHighlightedItem() const { return legend_highlighted_; }
  void SetLegendHighlightedItem(TTrelDisplayCollectionItem* item) { legend_highlighted_ = item; }
  // A legend entry's hover: on, `item` becomes the legend-highlighted item
  // when `fromLegend` allows it; off, the highlight goes. Repaints on a change.
  void ShowLegendHighlight(TTrelDisplayCollectionItem* item, bool on, bool fromLegend);
  TTrelDisplayCollectionItem* HighlightedMarker() const { return highlighted_marker_; }
  TPoint HitPoint() const { return hit_point_; }
  double HitX() const { return hit_x_; }
  double HitY() const { return hit_y_; }
  TPoint LastMouse() const { return last_mouse_; }
  // The plot rectangle: the view's rectangle with Bottom reduced by 1.
  TRect PlotRect() const { return {Left, Top, Right, Bottom - 1}; }
  // An item going away is forgotten. The item pointers the view keeps
  // (highlighted, legend, dragged) are borrowed: every scope item (channel,
  // cursor, link, marker group, marker) calls this before it is freed.
  void ForgetItem(TTrelDisplayCollectionItem* item);

  // Cursors, cursor links and marker groups.
  void SetHighlightedItem(TTrelDisplayCollectionItem* item) { highlighted_ = item; }
  TTrelScopeMarkerGroup* LegendMarkerGroup() const { return legend_marker_group_; }
  void SetLegendMarkerGroup(TTrelScopeMarkerGroup* group) { legend_marker_group_ = group; }
  TTrelDisplayCursor* DraggedCursor() const { return dragged_cursor_; }
  TTrelDisplayCursorLink* DraggedLink() const { return dragged_link_; }
  TTrelHitDetail& HitDetail() { return hit_detail_; }
  // The plot rectangle with the axes' current ranges.
  TTrelPlotFrame CurrentFrame() const;

 private:
  void DetectHover();
  // A press on a cursor or a cursor link starts its drag: true when one
  // took it.
  bool BeginItemDrag(TMouseButton button, TShiftState shift, int x, int y);
  // The release ends a cursor's or a link's drag: true when one was
  // dragged.
  bool EndItemDrag(TMouseButton button, TShiftState shift, int x, int y);
  // The hover over cursors, links and marker groups: true when one is
  // under the mouse.
  bool DetectItemHover();
  TTrelScope* Scope() const;

  TTrelDataChart* chart_;
  TColor grid_color_ = 32768;
  TColor zero_grid_color_ = 16777215;
  bool selecting_ = false;
  bool dragging_ = false;
  TPoint anchor_{};
  TPoint last_mouse_{-1000, 0};
  TTrelDisplayCollectionItem* highlighted_ = nullptr;
  TTrelDisplayCollectionItem* legend_highlighted_ = nullptr;
  TTrelDisplayCollectionItem* highlighted_marker_ = nullptr;
  TPoint hit_point_{};
  double hit_x_ = 0.0;
  double hit_y_ = 0.0;
  TTrelScopeMarkerGroup* legend_marker_group_ = nullptr;
  TTrelDisplayCursor* dragged_cursor_ = nullptr;
  TTrelDisplayCursorLink* dragged_link_ = nullptr;
  TTrelHitDetail hit_detail_;
};

void RegisterTrelDisplayViewClasses();
