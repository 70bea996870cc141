// The plot area's part in cursors, cursor links and marker groups: their
// hover, the press that starts a cursor's or a link's drag and the release
// that ends it.
#include "scope/TrelDisplayViews.h"
#include "scope/TrelScope.h"

TTrelPlotFrame TTrelScopeDataView::CurrentFrame() const {
  TTrelPlotFrame frame;
  frame.Plot = PlotRect();
  frame.XMin = chart_->GetXAxis()->RangeMin();
  frame.XMax = chart_->GetXAxis()->RangeMax();
  frame.YMin = chart_->GetYAxis()->RangeMin();
  frame.YMax = chart_->GetYAxis()->RangeMax();
  return frame;
}

bool TTrelScopeDataView::BeginItemDrag(TMouseButton button, TShiftState shift, int x, int y) {
  TTrelScope* scope = Scope();
  if (scope == nullptr)
    return false;
  const TTrelPlotFrame frame = CurrentFrame();
  TTrelDisplayCursors* cursors = scope->GetCursors();
  for (int i = cursors->Count() - 1; i >= 0; --i) {
    TTrelDisplayCursor* cursor = cursors->GetItem(i);
    bool onX = false, onY = false;
    if (!cursor->HitTest(frame, x, y, onX, onY))
      continue;
    dragged_cursor_ = cursor;
    hit_detail_ = {onX, onY, false, false};
    cursor->DoMouseDown(button, shift, x, y);
    chart_->Invalidate();
    dragging_ = dragged_cursor_ != nullptr;  // a handler may have freed it
    return true;
  }
  TTrelDisplayCursorLinks* links = scope->GetCursorLinks();
  for (int i = links->Count() - 1; i >= 0; --i) {
    TTrelDisplayCursorLink* link = links->GetItem(i);
    bool onVertical = false, onHorizontal = false;
    if (!link->HitTest(frame, x, y, onVertical, onHorizontal))
      continue;
    dragged_link_ = link;
    hit_detail_ = {false, false, onVertical, onHorizontal};
    chart_->Invalidate();
    dragging_ = true;
    return true;
  }
  return false;
}

bool TTrelScopeDataView::EndItemDrag(TMouseButton button, TShiftState shift, int x, int y) {
  if (dragging_) {
    chart_->Invalidate();
    dragging_ = false;
  }
  const TTrelHitDetail flags = hit_detail_;
  const TTrelPlotFrame frame = CurrentFrame();
  if (TTrelDisplayCursor* cursor = dragged_cursor_) {
    cursor->MoveToMouse(flags.CursorX, flags.CursorY, frame, x, y);
    // An OnPositionChange handler may have freed the cursor.
    const bool alive = dragged_cursor_ == cursor;
    dragged_cursor_ = nullptr;
    hit_detail_ = {};
    chart_->Invalidate();
    if (alive && cursor->OnMouseUp)
      cursor->OnMouseUp(cursor, button, shift, x, y);
    return true;
  }
  if (TTrelDisplayCursorLink* link = dragged_link_) {
    link->MoveToMouse(flags.LinkVertical, flags.LinkHorizontal, frame, x, y);
    dragged_link_ = nullptr;
    hit_detail_ = {};
    chart_->Invalidate();
    return true;
  }
  return false;
}

bool TTrelScopeDataView::DetectItemHover() {
  TTrelScope* scope = Scope();
  if (scope == nullptr)
    return false;
  TTrelDisplayHighlighting* hl = chart_->GetHighlighting();
  const TTrelPlotFrame frame = CurrentFrame();
  const int x = last_mouse_.X, y = last_mouse_.Y;
  if (hl->GetCursors()->TakesPartInHover()) {
    TTrelDisplayCursors* cursors = scope->GetCursors();
    for (int i = cursors->Count() - 1; i >= 0; --i) {
      bool onX = false, onY = false;
      if (cursors->GetItem(i)->HitTest(frame, x, y, onX, onY)) {
        highlighted_ = cursors->GetItem(i);
        hit_detail_ = {onX, onY, false, false};
        return true;
      }
    }
  }
  if (hl->GetCursorLinks()->TakesPartInHover()) {
    TTrelDisplayCursorLinks* links = scope->GetCursorLinks();
    for (int i = links->Count() - 1; i >= 0; --i) {
      bool onVertical = false, onHorizontal = false;
      if (links->GetItem(i)->HitTest(frame, x, y, onVertical, onHorizontal)) {
        highlighted_ = links->GetItem(i);
        hit_detail_ = {false, false, onVertical, onHorizontal};
        return true;
      }
    }
  }
  if (hl->GetMarkers()->TakesPartInHover()) {
    TTrelScopeMarkerGroups* groups = scope->GetMarkerGroups();
    for (int i = groups->Count() - 1; i >= 0; --i) {
      TTrelScopeChannelMarker* marker = nullptr;
      if (groups->GetItem(i)->HitTest(x, y, marker)) {
        highlighted_ = groups->GetItem(i);
        if (hl->GetMarkers()->GetHiglightFromMouse())
          highlighted_marker_ = marker;
        return true;
      }
    }
  }
  return false;
}

void TTrelScopeDataView::ShowLegendHighlight(TTrelDisplayCollectionItem* item, bool on,
                                             bool fromLegend) {
  if (on) {
    if (fromLegend && legend_highlighted_ != item) {
      legend_highlighted_ = item;
      Invalidate();
    }
  } else if (legend_highlighted_ != nullptr) {
    legend_highlighted_ = nullptr;
    Invalidate();
  }
}
