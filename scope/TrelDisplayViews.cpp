#include "scope/TrelDisplayViews.h"

#include <algorithm>
#include <cmath>

#include "platform/classes/TypInfo.h"
#include "platform/forms/Forms.h"
#include "scope/TrelScope.h"
#include "scope/TrelScopeRoutines.h"

// ---------------------------------------------------------------------------
// View base

void TTrelDisplayView::Invalidate() {
  display_->Invalidate();
}

void TTrelDisplayView::RedrawChart() {
  display_->RedrawAll();
}

void TTrelDisplayView::RepaintChart() {
  display_->Invalidate();
}

void TTrelDisplayView::MouseMove(TShiftState, int x, int y) {
  const bool inside = Rect().Contains({x, y});
  if (inside && !mouse_inside_) {
    mouse_inside_ = true;
    MouseEnterView();
  } else if (!inside && mouse_inside_) {
    mouse_inside_ = false;
    MouseLeaveView();
  }
}

void TTrelDisplayView::MouseLeave() {
  if (mouse_inside_) {
    mouse_inside_ = false;
    MouseLeaveView();
  }
}

TRect TTrelDisplayView::GetRect() {
  return IsShowing() ? Rect() : TRect{};
}

TTrelCustomSizeDisplayView::TTrelCustomSizeDisplayView(TTrelDataDisplay* display)
    : TTrelDisplayView(display), view_size_(Create<TTrelDisplayViewSize>()) {
  view_size_->OnChange = TNotifyEvent(this, &TTrelCustomSizeDisplayView::SettingChanged);
}

TTrelCustomSizeDisplayView::~TTrelCustomSizeDisplayView() {
  FreeAndNil(view_size_);
}

void TTrelOptionalView::SetVisible(bool v) {
  if (v == visible_)
    return;
  visible_ = v;
  RedrawChart();
}

// ---------------------------------------------------------------------------
// Title and legend

TTrelDisplayTitle::TTrelDisplayTitle(TTrelDataDisplay* display)
    : TTrelOptionalView(display), font_(Create<TFont>()) {
  SetScopeFont(font_, clWhite, kScopeDefaultFontSize + 8, true);
  font_->OnChange = TNotifyEvent(this, &TTrelDisplayTitle::SettingChanged);
}

TTrelDisplayTitle::~TTrelDisplayTitle() {
  FreeAndNil(font_);
}

void TTrelDisplayTitle::SetText(const std::string& v) {
  if (v == text_)
    return;
  text_ = v;
  RedrawChart();
}

void TTrelDisplayTitle::CalcSize(int& width, int& height) {
  width = -1;
  if (view_size_->GetAutoSize()) {
    TCanvas* canvas = display_->MeasureCanvas();
    canvas->SetFont(font_);
    height = canvas->TextHeight("Xg") + 16;
  } else {
    height = static_cast<int>(view_size_->GetSize());
  }
}

void TTrelDisplayTitle::Paint(const TTrelPaintContext& context) {
  TCanvas* canvas = context.Canvas;
  canvas->SetFont(font_);
  canvas->Brush()->SetStyle(bsClear);
  canvas->TextOut(display_->GetDrawWidth() / 2 - canvas->TextWidth(text_) / 2, 4, text_);
  canvas->Brush()->SetStyle(bsSolid);
}

// ---------------------------------------------------------------------------
// Plot area

TTrelScopeDataView::TTrelScopeDataView(TTrelDataChart* chart)
    : TTrelDisplayView(chart), chart_(chart) {}

TTrelScope* TTrelScopeDataView::Scope() const {
  return dynamic_cast<TTrelScope*>(chart_);
}

void TTrelScopeDataView::SetGridColor(TColor v) {
  if (v != grid_color_) {
    grid_color_ = v;
    Invalidate();
  }
}

void TTrelScopeDataView::SetZeroGridColor(TColor v) {
  if (v != zero_grid_color_) {
    zero_grid_color_ = v;
    Invalidate();
  }
}

bool TTrelScopeDataView::IsSelecting() const {
  return selecting_ && chart_->GetZooming()->MouseZoom;
}

void TTrelScopeDataView::DrawHorizontalGridLine(TCanvas* canvas, bool isZero, int y, bool skip) {
  if (skip)
    return;
  canvas->Pen()->SetColor(isZero ? zero_grid_color_ : grid_color_);
  canvas->MoveTo(Left, y);
  canvas->LineTo(Right - 1, y);
}

void TTrelScopeDataView::DrawVerticalGridLine(TCanvas* canvas, bool isZero, int x, bool skip) {
  if (skip)
    return;
  canvas->Pen()->SetColor(isZero ? zero_grid_color_ : grid_color_);
  canvas->MoveTo(x, Top);
  canvas->LineTo(x, Bottom - 1);
}

void TTrelScopeDataView::Paint(const TTrelPaintContext& context) {
  TCanvas* canvas = context.Canvas;
  canvas->Brush()->SetColor(chart_->Color());
  canvas->Brush()->SetStyle(bsClear);
  canvas->Pen()->SetColor(grid_color_);
  canvas->Pen()->SetWidth(1);
  canvas->Pen()->SetStyle(psSolid);
  canvas->Rectangle(PlotRect());
  canvas->Brush()->SetStyle(bsSolid);
  const bool vertical = chart_->IsVertical();
  auto grid = [&](bool horizontalLines) {
    return [this, horizontalLines](TCanvas* c, const TTrelTick& t) {
      if (t.IsMinor)
        return;
      if (horizontalLines)
        DrawHorizontalGridLine(c, t.IsZero, t.Pixel, false);
      else
        DrawVerticalGridLine(c, t.IsZero, t.Pixel, false);
    };
  };
  TTrelScopeYAxis* y = chart_->GetYAxis();
  canvas->SetFont(y->GetAxisFont());
  y->WalkTicks(canvas, context.YMapping, grid(!vertical));
  canvas->Pen()->SetColor(grid_color_);
  TTrelScopeXAxis* x = chart_->GetXAxis();
  x->WalkTicks(canvas, x->GetMapping(x->LabelMax(), x->LabelMin()), grid(vertical));
}

void TTrelScopeDataView::PaintOverlay(TCanvas* canvas) {
  if (!IsSelecting())
    return;
  canvas->Pen()->SetColor(chart_->GetZooming()->SelectionColor);
  canvas->Pen()->SetStyle(psSolid);
  canvas->Brush()->SetStyle(bsClear);
  canvas->Rectangle(std::min(anchor_.X, last_mouse_.X), std::min(anchor_.Y, last_mouse_.Y),
                    std::max(anchor_.X, last_mouse_.X) + 1, std::max(anchor_.Y, last_mouse_.Y) + 1);
  canvas->Brush()->SetStyle(bsSolid);
}

void TTrelScopeDataView::MouseEnter() {
  TPoint screen;
  if (GetCursorPos(&screen))
    last_mouse_ = chart_->ScreenToClient(screen);
}

void TTrelScopeDataView::MouseMove(TShiftState shift, int x, int y) {
  inherited::MouseMove(shift, x, y);
  const bool vertical = chart_->IsVertical();
  TTrelDisplayAxis* horizontal =
      vertical ? static_cast<TTrelDisplayAxis*>(chart_->GetYAxis()) : chart_->GetXAxis();
  TTrelDisplayAxis* other =
      vertical ? static_cast<TTrelDisplayAxis*>(chart_->GetXAxis()) : chart_->GetYAxis();
  if (x != last_mouse_.X && horizontal->GetTrackCursor())
    horizontal->Invalidate();
  if (y != last_mouse_.Y && other->GetTrackCursor())
    other->Invalidate();
  last_mouse_ = {x, y};
  if (selecting_ || dragging_)
    chart_->Invalidate();
  UpdateHover();
}

void TTrelScopeDataView::MouseDown(TMouseButton button, TShiftState shift, bool inRect, int x,
                                   int y) {
  if (button != mbLeft || !inRect)
    return;
  anchor_ = {x, y};
  last_mouse_ = {x, y};
  if (BeginItemDrag(button, shift, x, y))
    return;
  TTrelScope* scope = Scope();
  if (scope != nullptr && scope->GetChannels()->OnClick) {
    int channel = 0, begin = 0, end = 0;
    TPoint hit;
    double fraction = 0.0;
    if (scope->GetChannels()->HitTest(x, y, channel, hit, fraction, begin, end)) {
      TTrelScopeChannel* c = scope->GetChannels()->GetItem(channel);
      ITrelRealBuffer* sx = c->ScaledX();
      ITrelRealBuffer* sy = c->DisplayedY();
      TTrelRealPoint value;
      if (begin < sx->GetCount() && end < sx->GetCount() && end < sy->GetCount()) {
        value.X = sx->GetData()[begin] + (sx->GetData()[end] - sx->GetData()[begin]) * fraction;
        value.Y = sy->GetData()[begin] + (sy->GetData()[end] - sy->GetData()[begin]) * fraction;
      }
      bool handled = false;
      scope->GetChannels()->OnClick(scope->GetChannels(), channel, begin, end, value, handled);
      if (handled)
        return;
    }
  }
  selecting_ = true;
}

void TTrelScopeDataView::MouseUp(TMouseButton button, TShiftState shift, bool, int x, int y) {
  if (button != mbLeft)
    return;
  if (EndItemDrag(button, shift, x, y))
    return;
  if (selecting_) {
    selecting_ = false;
    last_mouse_ = {x, y};
    if (chart_->GetZooming()->MouseZoom)
      chart_->ZoomToSelection(anchor_, {x, y});
  }
}

void TTrelScopeDataView::MouseLeave() {
  inherited::MouseLeave();
  TTrelDisplayCollectionItem* before = highlighted_;
  highlighted_ = nullptr;
  highlighted_marker_ = nullptr;
  hit_point_ = {};
  hit_x_ = hit_y_ = 0.0;
  last_mouse_.X = -1000;
  if (before != nullptr) {
    if (dynamic_cast<TTrelScopeChannel*>(before) != nullptr && chart_->OnLeaveChannel)
      chart_->OnLeaveChannel(chart_);
    chart_->Invalidate();
  }
}

void TTrelScopeDataView::ForgetItem(TTrelDisplayCollectionItem* item) {
  if (highlighted_ == item)
    highlighted_ = nullptr;
  if (legend_highlighted_ == item)
    legend_highlighted_ = nullptr;
  if (highlighted_marker_ == item)
    highlighted_marker_ = nullptr;
  if (legend_marker_group_ == item)
    legend_marker_group_ = nullptr;
  if (dragged_cursor_ == item) {
    dragged_cursor_ = nullptr;
    dragging_ = false;
  }
  if (dragged_link_ == item) {
    dragged_link_ = nullptr;
    dragging_ = false;
  }
}

void TTrelScopeDataView::UpdateHover() {
  TTrelDisplayCollectionItem* before = highlighted_;
  TTrelDisplayCollectionItem* markerBefore = highlighted_marker_;
  const TTrelHitDetail detailBefore = hit_detail_;
  DetectHover();
  if (highlighted_ != before || highlighted_marker_ != markerBefore ||
      !(hit_detail_ == detailBefore))
    chart_->Invalidate();
}

void TTrelScopeDataView::DetectHover() {
  TTrelDisplayCollectionItem* before = highlighted_;
  if (dragging_) {
    highlighted_ = nullptr;
    highlighted_marker_ = nullptr;
    return;
  }
  highlighted_ = nullptr;
  highlighted_marker_ = nullptr;
  TTrelScope* scope = Scope();
  const TRect plot = PlotRect();
  const bool outside = !plot.Contains(last_mouse_) || IsSelecting();
  TTrelDisplayHighlighting* hl = chart_->GetHighlighting();
  if (!outside && DetectItemHover())
    return;
  if (!outside && scope != nullptr &&
      (hl->GetChannels()->TakesPartInHover() || hl->GetMouseHitPoint()->GetEnabled())) {
    int channel = 0, begin = 0, end = 0;
    TPoint hit;
    double fraction = 0.0;
    TTrelScopeChannels* channels = scope->GetChannels();
    if (channels->HitTest(last_mouse_.X, last_mouse_.Y, channel, hit, fraction, begin, end)) {
      TTrelScopeChannel* c = channels->GetItem(channel);
      const double* sx = c->ScaledX()->GetData();
      const double* sy = c->DisplayedY()->GetData();
      const int n = std::min(c->ScaledX()->GetCount(), c->DisplayedY()->GetCount());
      if (begin >= 0 && end < n) {
        if (begin == end) {
          hit_x_ = sx[begin];
          hit_y_ = sy[begin] * (1.0 - fraction);
        } else {
          hit_x_ = sx[begin] + (sx[end] - sx[begin]) * fraction;
          hit_y_ = sy[begin] + (sy[end] - sy[begin]) * fraction;
        }
      }
      if (chart_->GetYAxis()->GetLogarithmic()) {
        TTrelScopeYAxis* y = chart_->GetYAxis();
        hit_y_ = chart_->PixelToValue(chart_->IsVertical() ? hit.X : hit.Y, plot, y->RangeMax(),
                                      y->RangeMin());
      }
      hit_point_ = hit;
      highlighted_ = c;
      if (before != nullptr && before != c && chart_->OnLeaveChannel)
        chart_->OnLeaveChannel(chart_);
      if (chart_->OnOverChannel)
        chart_->OnOverChannel(chart_, channel, begin, end, hit_x_, hit_y_);
      if (hl->GetMouseHitPoint()->GetEnabled())
        Invalidate();
      return;
    }
  }
  if (before != nullptr && dynamic_cast<TTrelScopeChannel*>(before) != nullptr &&
      chart_->OnLeaveChannel)
    chart_->OnLeaveChannel(chart_);
}

void TTrelScopeDataView::DrawHitPoint(TCanvas* canvas, TPoint point,
                                      TTrelChannelMouseHitPoint* settings) {
  const int x = point.X, y = point.Y;
  canvas->Rectangle(x - 2, y - 2, x + 3, y + 3);
  TTrelMeasurementLabel* label = settings->GetPointLabel();
  if (!label->GetVisible())
    return;
  canvas->SetFont(label->GetFont());
  const std::string text = chart_->FormatHitPointLabel();
  const int tw = canvas->TextWidth(text);
  const int th = canvas->TextHeight(text);
  int bx = x + 4;
  int by = y - th;
  const bool pastRight = Left + GetWidth() < x + tw + 3;
  const bool aboveTop = by < Top;
  if (aboveTop)
    by += th;
  if ((pastRight || aboveTop) && Left < x - tw - 11)
    bx = x - (tw + 11);
  canvas->Rectangle(bx, by, bx + tw + 4, by + th + 2);
  canvas->TextOut(bx + 2, by + 1, text);
}

void RegisterTrelDisplayViewClasses() {
  using C = TTrelCustomSizeDisplayView;
  RegisterClass<C>().Object("ViewSize", &C::GetViewSize);
  using T = TTrelDisplayTitle;
  RegisterClass<T>().String("Text", &T::GetText, &T::SetText).Object("Font", &T::GetFont);
  using D = TTrelScopeDataView;
  RegisterClass<D>()
      .MappedInteger("GridColor", &D::GetGridColor, &D::SetGridColor, kColorIdents, 32768)
      .MappedInteger("ZeroGridColor", &D::GetZeroGridColor, &D::SetZeroGridColor, kColorIdents,
                     16777215);
}
