#include "scope/TrelScopeAxes.h"

#include <algorithm>
#include <cmath>

#include "platform/classes/Streaming.h"
#include "platform/classes/TypInfo.h"
#include "scope/TrelScope.h"
#include "scope/TrelScopeRoutines.h"

// ---------------------------------------------------------------------------
// Optional and tracking axes

TTrelOptionalAxis::TTrelOptionalAxis(TTrelDataChart* chart)
    : TTrelOptionalView(chart), chart_(chart) {}

TCanvas* TTrelOptionalAxis::MeasureCanvas() {
  TCanvas* canvas = chart_->MeasureCanvas();
  canvas->SetFont(GetFont());
  return canvas;
}

int TTrelOptionalAxis::GetLabelExtent() {
  return MeasureCanvas()->TextHeight("Xg");
}

TTrelTrackingOptionalAxis::TTrelTrackingOptionalAxis(TTrelDataChart* chart)
    : TTrelOptionalAxis(chart),
      major_ticks_(Create<TTrelMajorTicks>()),
      minor_ticks_(Create<TTrelMinorTicks>()) {
  major_ticks_->OnChange = TNotifyEvent(this, &TTrelTrackingOptionalAxis::TickSettingChanged);
  minor_ticks_->OnChange = TNotifyEvent(this, &TTrelTrackingOptionalAxis::TickSettingChanged);
}

TTrelTrackingOptionalAxis::~TTrelTrackingOptionalAxis() {
  FreeAndNil(major_ticks_);
  FreeAndNil(minor_ticks_);
}

void TTrelTrackingOptionalAxis::TicksChanged() {
  InvalidateStep();
  RedrawChart();
}

void TTrelTrackingOptionalAxis::SetTrackCursor(bool v) {
  if (v != track_cursor_) {
    track_cursor_ = v;
    RedrawChart();
  }
}

void TTrelTrackingOptionalAxis::SetTrackColor(TColor v) {
  if (v != track_color_) {
    track_color_ = v;
    RedrawChart();
  }
}

// ---------------------------------------------------------------------------
// Display axis

TTrelDisplayAxis::TTrelDisplayAxis(TTrelDataChart* chart)
    : TTrelTrackingOptionalAxis(chart),
      font_(Create<TFont>()),
      tool_bar_(Create<TTrelAxisToolBar>(this)),
      axis_label_(Create<TTrelDisplayLabel>()),
      cursor_settings_(Create<TTrelDisplayAxisCursorSettings>()) {
  SetScopeFont(font_, clWhite, kScopeDefaultFontSize, false);
  font_->OnChange = TNotifyEvent(this, &TTrelDisplayAxis::FontChanged);
  axis_label_->OnChange = TNotifyEvent(this, &TTrelDisplayAxis::LabelChanged);
  tool_bar_->OnChange = TNotifyEvent(this, &TTrelDisplayAxis::SettingChanged);
  cursor_settings_->OnChange = TNotifyEvent(this, &TTrelDisplayAxis::CursorSettingsChanged);
}

TTrelDisplayAxis::~TTrelDisplayAxis() {
  FreeAndNil(font_);
  FreeAndNil(tool_bar_);
  FreeAndNil(axis_label_);
  FreeAndNil(cursor_settings_);
}

void TTrelDisplayAxis::LabelChanged(TObject*) {
  ClearCache();
  RedrawChart();
}

void TTrelDisplayAxis::ClearCache() {
  for (auto& c : cache_)
    c.reset();
}

void TTrelDisplayAxis::SettingsChanged() {
  InvalidateStep();
  RedrawChart();
}

double TTrelDisplayAxis::Cached(TTrelAxisQuantity q) {
  std::optional<double>& slot = cache_[static_cast<int>(q)];
  if (!slot)
    slot = Compute(q);
  return *slot;
}

double TTrelDisplayAxis::ComputeLabel(bool max) {
  const double dataMin = DataMin();
  const double dataMax = DataMax();
  const double range = max ? RangeMax() : RangeMin();
  if (dataMin == dataMax)
    return max ? range + 1.0 : range - 1.0;
  return range * (TickMax() - TickMin()) / (dataMax - dataMin);
}

bool TTrelDisplayAxis::IsYAxis() {
  return Is<TTrelScopeYAxis>();
}

bool TTrelDisplayAxis::PaintedOnLeft() {
  return IsYAxis() != chart_->IsVertical();
}

int TTrelDisplayAxis::FarEdge() {
  TTrelScopeDataView* view = chart_->GetDataView();
  // The Y axis places from the bottom (the right when turned), the X axis
  // from the right (the bottom when turned).
  const bool fromBottom = IsYAxis() != chart_->IsVertical();
  return fromBottom ? view->Bottom : view->Right;
}

TTrelAxisMapping TTrelDisplayAxis::GetMapping(double max, double min) {
  return AxisMapping(max, min, GetPixelLength(), !IsYAxis(), GetReversed(), IsLogarithmic());
}

void TTrelDisplayAxis::SetZoomWindowDirect(double a, double b) {
  zoom_min_ = std::min(a, b);
  zoom_max_ = std::max(a, b);
  if (zoom_max_ < zoom_min_ + 0.0001)
    zoom_max_ = zoom_min_ + 0.0001;
  InvalidateStep();
  ClearCache();
}

void TTrelDisplayAxis::SetZoomWindow(bool pushHistory, double a, double b) {
  if (pushHistory)
    chart_->PushZoomHistory(false);
  SetZoomWindowDirect(a, b);
  chart_->SetZoomedFlag(true);
  chart_->Invalidate();
  chart_->DoZoomChanged(zoZoom);
}

namespace {

// [lo, hi] widened (factor above 1) or narrowed about its middle.
void ScaleAboutMiddle(double& lo, double& hi, double factor) {
  const double range = hi - lo;
  const double d = (range * factor - range) / 2.0;
  lo -= d;
  hi += d;
}

}  // namespace

void TTrelDisplayAxis::ZoomByFactor(double factor) {
  double lo = LabelMin(), hi = LabelMax();
  ScaleAboutMiddle(lo, hi, factor);
  SetZoomWindowDirect(lo, hi);
}

void TTrelDisplayAxis::GetZoomWindow(double& min, double& max) {
  min = zoom_min_;
  max = zoom_max_;
}

void TTrelDisplayAxis::ZoomIn() {
  if (IsYAxis())
    chart_->ZoomByFactors(true, 1.0, 0.5);
  else
    chart_->ZoomByFactors(true, 0.5, 1.0);
}

void TTrelDisplayAxis::ZoomOut() {
  if (IsYAxis())
    chart_->ZoomByFactors(true, 1.0, 2.0);
  else
    chart_->ZoomByFactors(true, 2.0, 1.0);
}

void TTrelDisplayAxis::SetColor(TColor v) {
  if (v != color_) {
    color_ = v;
    RedrawChart();
  }
}

void TTrelDisplayAxis::SetPrecision(int v) {
  v = std::clamp(v, 0, 18);
  if (v != precision_) {
    precision_ = v;
    RedrawChart();
  }
}

void TTrelDisplayAxis::SetFixedPrecision(bool v) {
  if (v != fixed_precision_) {
    fixed_precision_ = v;
    RedrawChart();
  }
}

void TTrelDisplayAxis::SetReversed(bool v) {
  if (v != reversed_) {
    reversed_ = v;
    RedrawChart();
  }
}

void TTrelDisplayAxis::CursorSettingsChanged(TObject*) {
  chart_->RefreshCursorPositions();
}

std::string TTrelDisplayAxis::FormatLabel(double value) {
  const int digits = AxisLabelDigits(precision_, fixed_precision_, WalkHigh(), WalkLow());
  std::string text = AxisLabelText(value, digits, fixed_precision_, precision_);
  if (OnCustomLabel)
    OnCustomLabel(this, value, text);
  return text;
}

double TTrelDisplayAxis::GetRange(bool logarithmic) {
  if (logarithmic)
    return SignedLog10(RangeMax()) - SignedLog10(RangeMin());
  return RangeMax() - RangeMin();
}

int TTrelDisplayAxis::GetLabelExtent() {
  if (RunsVertically())
    return MeasureCanvas()->TextHeight("Xg");
  TCanvas* canvas = MeasureCanvas();
  return std::max(canvas->TextWidth(FormatLabel(LabelMax())),
                  canvas->TextWidth(FormatLabel(LabelMin())));
}

int TTrelDisplayAxis::GetMinTickSpacing() {
  TCanvas* canvas = MeasureCanvas();
  const int spacing = RunsVertically() ? canvas->TextHeight("Xg") + 4
                                       : canvas->TextWidth(FormatLabel(RangeMax())) + 8;
  return std::max(spacing, 20);
}

double TTrelDisplayAxis::GetMajorStep() {
  if (major_ticks_->GetMode() != mtmAuto) {
    const double gap = major_ticks_->GetMode() == mtmOverride ? 1.0 : GetLabelExtent() + 2.0;
    return CustomMajorStep(major_ticks_->GetStep(), gap, GetPixelLength(),
                           GetRange(IsLogarithmic()));
  }
  const double range = GetRange(false);
  const int length = GetPixelLength();
  const bool log = IsLogarithmic();
  if (step_valid_ && step_range_ == range && step_length_ == length && step_log_ == log)
    return step_;
  TTrelAutoStepInput in;
  // The rectangle the layout gave the strip counts, also for a hidden
  // axis: its grid still needs a normal step.
  in.StripWidth = Right - Left;
  in.Range = range;
  in.OwnRange = GetRange(log);
  in.PixelLength = length;
  in.MinTickSpacing = GetMinTickSpacing();
  in.LabelExtent = GetLabelExtent();
  in.Logarithmic = log;
  step_ = AutomaticMajorStep(in);
  step_range_ = range;
  step_length_ = length;
  step_log_ = log;
  step_valid_ = true;
  return step_;
}

void TTrelDisplayAxis::WalkTicks(TCanvas* canvas, const TTrelAxisMapping& mapping,
                                 const TTrelTickPainter& painter) {
  TTrelScopeDataView* view = chart_->GetDataView();
  const bool alongY = RunsVertically();
  const bool log = IsLogarithmic();
  const int far = FarEdge();
  TTrelTickWalk w;
  w.Step = GetMajorStep();
  w.High = WalkHigh();
  w.Low = WalkLow();
  w.Lo = alongY ? view->Top : view->Left;
  w.Hi = alongY ? view->Bottom : view->Right;
  w.LabelExtent = GetLabelExtent();
  w.Gap = major_ticks_->GetMode() == mtmOverride ? 1.0 : w.LabelExtent;
  w.PixelFallsWithValue = IsYAxis() && !GetReversed();
  w.Logarithmic = log;
  w.MinorCount = minor_ticks_->GetCount();
  w.Pixel = [&](double v) { return PlaceValue(v, mapping, far, log); };
  if (OnCustomStep) {
    w.CustomStep = [this](double v, double& step, bool& draw) {
      OnCustomStep(this, v, step, draw);
    };
    const double gap = major_ticks_->GetMode() == mtmOverride ? 1.0 : GetLabelExtent() + 2.0;
    const int length = GetPixelLength();
    const double range = GetRange(log);
    w.CustomStepRule = [=](double s) { return CustomMajorStep(s, gap, length, range); };
  }
  w.Paint = [&](const TTrelTick& t) { painter(canvas, t); };
  ::WalkTicks(w);
}

void TTrelDisplayAxis::CalcSize(int& width, int& height) {
  if (!view_size_->GetAutoSize()) {
    width = height = static_cast<int>(view_size_->GetSize());
    return;
  }
  TCanvas* canvas = MeasureCanvas();
  const int textHeight = canvas->TextHeight("Xg");
  const bool vertical = chart_->IsVertical();
  int labelExtra = 0;
  if (axis_label_->GetVisible()) {
    canvas->SetFont(axis_label_->GetFont());
    labelExtra = canvas->TextHeight(GetTitle()) + 4;
    canvas->SetFont(font_);
  }
  if (IsYAxis()) {
    width = std::max(canvas->TextWidth(FormatLabel(RangeMax())),
                     canvas->TextWidth(FormatLabel(RangeMin()))) +
            16 + labelExtra;
    height = textHeight + 16 + labelExtra;
    strip_size_ = (vertical ? height : width) - 1;
  } else {
    step_ = 16.0;  // the automatic step before measuring
    height = textHeight + 16 + labelExtra;
    width = std::max(canvas->TextWidth(FormatLabel(LabelMax())),
                     canvas->TextWidth(FormatLabel(LabelMin()))) +
            16 + labelExtra;
    strip_size_ = (vertical ? width : height) - 1;
  }
}

void TTrelDisplayAxis::PaintTicks(const TTrelPaintContext& context, bool withLine) {
  TCanvas* canvas = context.Canvas;
  TTrelScopeDataView* view = chart_->GetDataView();
  canvas->Pen()->SetColor(color_);
  canvas->Pen()->SetWidth(1);
  canvas->SetFont(font_);
  canvas->Brush()->SetStyle(bsClear);
  const bool left = PaintedOnLeft();
  if (withLine) {
    if (left) {
      canvas->MoveTo(Right - 5, view->Top);
      canvas->LineTo(Right - 5, view->Bottom);
    } else {
      canvas->MoveTo(view->Left, Top + 5);
      canvas->LineTo(view->Right, Top + 5);
    }
  }
  const TTrelAxisMapping mapping = IsYAxis() ? chart_->YValueToPixelParams(RangeMax(), RangeMin())
                                             : GetMapping(LabelMax(), LabelMin());
  WalkTicks(canvas, mapping, [&](TCanvas* c, const TTrelTick& t) {
    if (left) {
      if (!t.IsMinor) {
        const std::string text = FormatLabel(t.Value);
        c->TextOut(Right - c->TextWidth(text) - 14, t.Pixel - t.HalfLabelExtent, text);
        c->MoveTo(Right - 11, t.Pixel);
      } else {
        c->MoveTo(Right - 9, t.Pixel);
      }
      c->LineTo(Right - 5, t.Pixel);
    } else {
      if (!t.IsMinor) {
        const std::string text = FormatLabel(t.Value);
        c->TextOut(t.Pixel - c->TextWidth(text) / 2, Top + 14, text);
        c->MoveTo(t.Pixel, Top + 5);
        c->LineTo(t.Pixel, Top + 12);
      } else {
        c->MoveTo(t.Pixel, Top + 5);
        c->LineTo(t.Pixel, Top + 10);
      }
    }
  });
  canvas->Brush()->SetStyle(bsSolid);
}

void TTrelDisplayAxis::Paint(const TTrelPaintContext& context) {
  TCanvas* canvas = context.Canvas;
  TTrelScopeDataView* view = chart_->GetDataView();
  const bool left = PaintedOnLeft();
  // Track cursor.
  if (track_cursor_ && !chart_->IsDesigning() && !context.Picture && mouse_over_chart_ &&
      view->Rect().Contains(last_mouse_)) {
    canvas->Pen()->SetColor(track_color_);
    if (left) {
      canvas->MoveTo(Right - strip_size_, last_mouse_.Y);
      canvas->LineTo(Right - 4, last_mouse_.Y);
    } else {
      canvas->MoveTo(last_mouse_.X, Top + 5);
      canvas->LineTo(last_mouse_.X, Top + strip_size_);
    }
  }
  PaintTicks(context, true);
  if (axis_label_->GetVisible()) {
    const std::string title = GetTitle();
    canvas->SetFont(axis_label_->GetFont());
    canvas->Brush()->SetStyle(bsClear);
    if (left) {
      canvas->Font()->SetEscapement(900);
      const int width = canvas->TextWidth(title);
      canvas->TextOut(Left + 2, Top + (Bottom - Top + width) / 2, title);
      canvas->Font()->SetEscapement(0);
    } else {
      canvas->SetFont(font_);
      const int axisTextHeight = canvas->TextHeight("Xg");
      canvas->SetFont(axis_label_->GetFont());
      canvas->TextOut(chart_->GetDrawWidth() / 2 - canvas->TextWidth(title) / 2,
                      Top + 14 + axisTextHeight + 2, title);
    }
    canvas->Brush()->SetStyle(bsSolid);
  }
  if (tool_bar_->GetVisible() && !context.Picture &&
      (!tool_bar_->GetAutoHide() || MouseInside() || chart_->IsDesigning()))
    tool_bar_->Paint(canvas);
}

void TTrelDisplayAxis::PaintSkipped(const TTrelPaintContext& context) {
  (void)context;
}

void TTrelDisplayAxis::MouseMove(TShiftState shift, int x, int y) {
  inherited::MouseMove(shift, x, y);
  mouse_over_chart_ = true;
  TTrelScopeDataView* view = chart_->GetDataView();
  const TRect r = view->Rect();
  const bool alongY = RunsVertically();
  const bool wasIn = r.Contains(last_mouse_);
  const bool isIn = r.Contains({x, y});
  const bool same = alongY ? y == last_mouse_.Y : x == last_mouse_.X;
  if (same) {
    if (wasIn != isIn)
      Invalidate();
  } else if (GetVisible() && track_cursor_ && (wasIn || isIn)) {
    Invalidate();
  }
  last_mouse_ = {x, y};
  if (tool_bar_->GetVisible()) {
    const TRect bounds = tool_bar_->GetBounds();
    if (bounds.Contains({x, y}) || tool_bar_->IsButtonHighlighted())
      display_->InvalidateRect(bounds);
  }
  if (dragging_ && chart_->IsZoomed())
    DragTo(x, y);
}

void TTrelDisplayAxis::MouseDown(TMouseButton button, TShiftState, bool inRect, int x, int y) {
  if (button != mbLeft || !inRect)
    return;
  if (tool_bar_->GetVisible() && tool_bar_->MouseDown(x, y))
    return;
  dragging_ = true;
  drag_start_ = {x, y};
  drag_min_ = RangeMin();
  drag_max_ = RangeMax();
}

void TTrelDisplayAxis::MouseUp(TMouseButton button, TShiftState, bool, int, int) {
  if (button != mbLeft)
    return;
  dragging_ = false;
  tool_bar_->ReleaseButtons();
}

void TTrelDisplayAxis::MouseEnterView() {
  if (tool_bar_->GetVisible() && tool_bar_->GetAutoHide())
    Invalidate();
}

void TTrelDisplayAxis::MouseLeaveView() {
  MouseEnterView();
}

void TTrelDisplayAxis::MouseEnter() {
  mouse_over_chart_ = true;
  Invalidate();
}

void TTrelDisplayAxis::MouseLeave() {
  inherited::MouseLeave();
  mouse_over_chart_ = false;
  Invalidate();
}

void TTrelDisplayAxis::Invalidate() {
  inherited::Invalidate();
  if (!IsYAxis())
    chart_->GetYAxis()->TTrelDisplayView::Invalidate();
}

// ---------------------------------------------------------------------------
// Y axis

TTrelScopeYAxis::TTrelScopeYAxis(TTrelDataChart* chart)
    : TTrelDisplayAxis(chart), auto_scaling_(Create<TTrelScopeAutoScaling>()) {
  axis_label_->SetText("Y Axis");
  auto_scaling_->OnChange = TNotifyEvent(this, &TTrelScopeYAxis::PartChanged);
  auto_scaling_->OnHistoryChanged = TNotifyEvent(this, &TTrelScopeYAxis::HistoryChanged);
}

TTrelScopeYAxis::~TTrelScopeYAxis() {
  FreeAndNil(auto_scaling_);
}

void TTrelScopeYAxis::DefineProperties(TFiler* filer) {
  filer->DefineProperty("MinMax", TMethod<void(TReader*)>(this, &TTrelScopeYAxis::ReadMinMax),
                        TMethod<void(TWriter*)>(this, &TTrelScopeYAxis::WriteMinMax), true);
  filer->DefineProperty("AutoScale", TMethod<void(TReader*)>(this, &TTrelScopeYAxis::ReadAutoScale),
                        {}, false);
}

void TTrelScopeYAxis::ReadMinMax(TReader* reader) {
  reader->ReadListBegin();
  min_ = reader->ReadFloat();
  max_ = reader->ReadFloat();
  reader->ReadListEnd();
  ClearCache();
}

void TTrelScopeYAxis::WriteMinMax(TWriter* writer) {
  writer->WriteListBegin();
  writer->WriteFloat(min_);
  writer->WriteFloat(max_);
  writer->WriteListEnd();
}

void TTrelScopeYAxis::ReadAutoScale(TReader* reader) {
  auto_scaling_->SetEnabled(reader->ReadBoolean());
}

int TTrelScopeYAxis::GetAlignment() {
  return chart_->IsVertical() ? 2 : 3;
}

int TTrelScopeYAxis::GetStartMargin() {
  return MeasureCanvas()->TextHeight("Xg") / 2 + 4;
}

bool TTrelScopeYAxis::RunsVertically() {
  return !chart_->IsVertical();
}

int TTrelScopeYAxis::GetPixelLength() {
  TTrelScopeDataView* view = chart_->GetDataView();
  return chart_->IsVertical() ? view->GetWidth() : view->GetHeight();
}

void TTrelScopeYAxis::StoreBound(double& bound, double v) {
  if (v == bound)
    return;
  bound = v;
  InvalidateStep();
  RedrawChart();
  ClearCache();
}

void TTrelScopeYAxis::SetMin(double v) {
  StoreBound(min_, v);
}

void TTrelScopeYAxis::SetMax(double v) {
  StoreBound(max_, v);
}

void TTrelScopeYAxis::SetLogarithmic(bool v) {
  if (v == logarithmic_)
    return;
  logarithmic_ = v;
  InvalidateStep();
  RedrawChart();
}

void TTrelScopeYAxis::DragTo(int x, int y) {
  TTrelScopeDataView* view = chart_->GetDataView();
  const bool vertical = chart_->IsVertical();
  const double length = vertical ? view->GetWidth() : view->GetHeight();
  if (length == 0.0)
    return;
  double d = vertical ? drag_start_.X - x : drag_start_.Y - y;
  if (GetReversed())
    d = -d;
  const double delta = (LabelMax() - LabelMin()) * d / length;
  if (!std::isfinite(delta))
    return;
  zoom_min_ = drag_min_ - delta;
  zoom_max_ = drag_max_ - delta;
  ClearCache();
  chart_->DoZoomChanged(zoZoom);
}

void TTrelScopeYAxis::MouseWheelDown(TShiftState, TPoint point) {
  chart_->ZoomAtPoint(point, 1.0, 1.1);
}

void TTrelScopeYAxis::MouseWheelUp(TShiftState, TPoint point) {
  chart_->ZoomAtPoint(point, 1.0, 0.9);
}

bool TTrelScopeYAxis::HasScalingChannel(int minSamples) {
  auto* scope = dynamic_cast<TTrelScope*>(chart_);
  if (scope == nullptr)
    return false;
  TTrelScopeChannels* channels = scope->GetChannels();
  for (int i = 0; i < channels->Count(); ++i) {
    TTrelScopeChannel* c = channels->GetItem(i);
    if (c->GetVisible() && c->DisplayedY()->GetCount() > minSamples)
      return true;
  }
  return false;
}

namespace {

// The extent of the visible channels with more than one sample over the
// sample window; false when there is none.
bool ChannelExtent(TTrelScope* scope, double& lo, double& hi) {
  TTrelScopeChannels* channels = scope->GetChannels();
  const int first = scope->GetXAxis()->GetFirstSample();
  const int last = scope->GetXAxis()->GetLastSample();
  bool any = false;
  for (int i = 0; i < channels->Count(); ++i) {
    TTrelScopeChannel* c = channels->GetItem(i);
    ITrelRealBuffer* y = c->DisplayedY();
    if (!c->GetVisible() || y->GetCount() <= 1)
      continue;
    const double cl = y->ValidRangeMin(first, last);
    const double ch = y->ValidRangeMax(first, last);
    if (!any) {
      lo = cl;
      hi = ch;
      any = true;
    } else {
      lo = std::min(lo, cl);
      hi = std::max(hi, ch);
    }
  }
  return any;
}

}  // namespace

double TTrelScopeYAxis::GetDataMin() {
  double lo = 0.0, hi = 0.0;
  auto* scope = dynamic_cast<TTrelScope*>(chart_);
  if (scope == nullptr || !ChannelExtent(scope, lo, hi))
    lo = min_;  // hi stays 0.0
  if (!std::isfinite(lo) || !std::isfinite(hi))
    return -0.5;
  return lo == hi ? lo - 0.5 : lo;
}

double TTrelScopeYAxis::GetDataMax() {
  double lo = 0.0, hi = 0.0;
  auto* scope = dynamic_cast<TTrelScope*>(chart_);
  if (scope == nullptr || !ChannelExtent(scope, lo, hi))
    hi = max_;  // lo stays 0.0
  if (!std::isfinite(lo) || !std::isfinite(hi))
    return 0.5;
  return lo == hi ? hi + 0.5 : hi;
}

void TTrelScopeYAxis::PushAutoScaleHistory() {
  const std::uint32_t size = auto_scaling_->GetMaxHistory();
  if (size == 0 || !HasScalingChannel(0))
    return;
  if (position_ >= static_cast<int>(size))
    position_ = 0;
  auto_scaling_->Minima()->GetWriteData()[position_] = GetDataMin();
  auto_scaling_->Maxima()->GetWriteData()[position_] = GetDataMax();
  ++position_;
  if (filled_ < static_cast<int>(size))
    ++filled_;
}

void TTrelScopeYAxis::ResetHistory() {
  position_ = 0;
  filled_ = 0;
  previous_min_ = 0.0;
  previous_max_ = 0.0;
}

double TTrelScopeYAxis::ScaledMin() {
  const double dataMin = DataMin();
  const double dataMax = DataMax();
  double v = dataMin;
  if (auto_scaling_->GetEnabled() && HasScalingChannel(1)) {
    if (auto_scaling_->GetMaxHistory() > 0 && filled_ > 0)
      v = auto_scaling_->Minima()->ValidRangeMin(0, filled_);
    const double space = auto_scaling_->GetSpaceBelow()->GetSpace();
    if (space > 0) {
      v = v - space * (dataMax - v) / 2.0 / 100.0;
      if (!std::isfinite(v))
        v = 0.0;
    }
    const double threshold = auto_scaling_->GetSpaceBelow()->GetThreshold();
    if (threshold > 0 && previous_min_ < v &&
        previous_min_ + threshold * (dataMax - v) / 2.0 / 100.0 > v)
      v = previous_min_;
  }
  previous_min_ = v;
  return v;
}

double TTrelScopeYAxis::ScaledMax() {
  const double dataMin = DataMin();
  const double dataMax = DataMax();
  double v = dataMax;
  if (auto_scaling_->GetEnabled() && HasScalingChannel(1)) {
    if (auto_scaling_->GetMaxHistory() > 0 && filled_ > 0)
      v = auto_scaling_->Maxima()->ValidRangeMax(0, filled_);
    const double space = auto_scaling_->GetSpaceAbove()->GetSpace();
    if (space > 0) {
      v = v + space * (v - dataMin) / 2.0 / 100.0;
      if (!std::isfinite(v))
        v = 0.0;
    }
    const double threshold = auto_scaling_->GetSpaceAbove()->GetThreshold();
    if (threshold > 0 && v < previous_max_ &&
        previous_max_ - threshold * (v - dataMin) / 2.0 / 100.0 < v)
      v = previous_max_;
  }
  previous_max_ = v;
  return v;
}

double TTrelScopeYAxis::Compute(TTrelAxisQuantity q) {
  switch (q) {
    case TTrelAxisQuantity::DataMin:
    case TTrelAxisQuantity::TickMin:
    case TTrelAxisQuantity::TraceMin:
      return auto_scaling_->GetEnabled() ? GetDataMin() : min_;
    case TTrelAxisQuantity::DataMax:
    case TTrelAxisQuantity::TickMax:
    case TTrelAxisQuantity::TraceMax:
      return auto_scaling_->GetEnabled() ? GetDataMax() : max_;
    case TTrelAxisQuantity::RangeMin:
      return chart_->IsZoomed() ? zoom_min_ : ScaledMin();
    case TTrelAxisQuantity::RangeMax:
      return chart_->IsZoomed() ? zoom_max_ : ScaledMax();
    case TTrelAxisQuantity::LabelMin:
      return ComputeLabel(false);
    case TTrelAxisQuantity::LabelMax:
      return ComputeLabel(true);
    case TTrelAxisQuantity::Count:
      break;
  }
  return 0.0;
}

// ---------------------------------------------------------------------------
// X axis

TTrelScopeXAxis::TTrelScopeXAxis(TTrelDataChart* chart)
    : TTrelDisplayAxis(chart),
      min_(Create<TTrelScopeAxisValue>()),
      max_(Create<TTrelMaxScopeAxisValue>()),
      max_sample_(Create<TTrelScopeMaxSample>()),
      unit_scale_(Create<TTrelScopeXAxisUnitScale>()) {
  max_->SetValue(1024.0);
  max_->GetTick()->SetValue(1024.0);
  min_->OnChange = TNotifyEvent(this, &TTrelScopeXAxis::ValueChanged);
  max_->OnChange = TNotifyEvent(this, &TTrelScopeXAxis::ValueChanged);
  max_sample_->OnChange = TNotifyEvent(this, &TTrelScopeXAxis::MaxSampleChanged);
  unit_scale_->OnChange = TNotifyEvent(this, &TTrelScopeXAxis::UnitScaleChanged);
}

TTrelScopeXAxis::~TTrelScopeXAxis() {
  FreeAndNil(min_);
  FreeAndNil(max_);
  FreeAndNil(max_sample_);
  FreeAndNil(unit_scale_);
}

void TTrelScopeXAxis::ValueChanged(TObject*) {
  InvalidateStep();
  RedrawChart();
  ClearCache();
}

void TTrelScopeXAxis::UnitScaleChanged(TObject*) {
  RedrawChart();
  ClearCache();
}

void TTrelScopeXAxis::DefineProperties(TFiler* filer) {
  filer->DefineProperty("MinMax", TMethod<void(TReader*)>(this, &TTrelScopeXAxis::ReadMinMax), {},
                        false);
  filer->DefineProperty(
      "MinMaxScale", TMethod<void(TReader*)>(this, &TTrelScopeXAxis::ReadMinMaxScale), {}, false);
  filer->DefineProperty("AutoScale", TMethod<void(TReader*)>(this, &TTrelScopeXAxis::ReadAutoScale),
                        {}, false);
}

void TTrelScopeXAxis::ReadMinMax(TReader* reader) {
  reader->ReadListBegin();
  min_->GetTick()->SetValue(reader->ReadFloat());
  max_->GetTick()->SetValue(reader->ReadFloat());
  reader->ReadListEnd();
}

void TTrelScopeXAxis::ReadMinMaxScale(TReader* reader) {
  reader->ReadListBegin();
  min_->SetValue(reader->ReadFloat());
  max_->SetValue(reader->ReadFloat());
  reader->ReadListEnd();
}

void TTrelScopeXAxis::ReadAutoScale(TReader* reader) {
  const bool v = reader->ReadBoolean();
  min_->SetAutoScale(v);
  max_->SetAutoScale(v);
}

int TTrelScopeXAxis::GetAlignment() {
  return chart_->IsVertical() ? 3 : 2;
}

int TTrelScopeXAxis::GetStartMargin() {
  return MeasureCanvas()->TextWidth(FormatLabel(LabelMin())) / 2 + 4;
}

int TTrelScopeXAxis::GetEndMargin() {
  return MeasureCanvas()->TextWidth(FormatLabel(LabelMax())) / 2 + 4;
}

bool TTrelScopeXAxis::RunsVertically() {
  return chart_->IsVertical();
}

int TTrelScopeXAxis::GetPixelLength() {
  TTrelScopeDataView* view = chart_->GetDataView();
  return chart_->IsVertical() ? view->GetHeight() : view->GetWidth();
}

double TTrelScopeXAxis::GetMajorStep() {
  step_valid_ = false;  // computed on every call
  return inherited::GetMajorStep();
}

void TTrelScopeXAxis::SetTicksMode(TTrelDisplayAxisTicksMode v) {
  if (v == ticks_mode_)
    return;
  ticks_mode_ = v;
  InvalidateStep();
  RedrawChart();
}

TTrelScopeXAxis::TShows TTrelScopeXAxis::Shows() {
  auto* scope = dynamic_cast<TTrelScope*>(chart_);
  switch (ticks_mode_) {
    case atmTime:
      return TShows::Time;
    case atmFrequency:
      return TShows::Frequency;
    case atmIntensity:
      return TShows::Intensity;
    case atmAuto:
      if (scope != nullptr && scope->HasSpectrumChannel())
        return TShows::Frequency;
      if (scope != nullptr && scope->HasIntensityChannel())
        return TShows::Intensity;
      return TShows::Samples;
    default:
      return TShows::Samples;
  }
}

double TTrelScopeXAxis::MaxValueRule(double dataMin) {
  (void)dataMin;
  if (max_->GetValue() > min_->GetValue())
    return max_->GetValue();
  return sample_count_ + min_->GetValue() - 1.0;
}

double TTrelScopeXAxis::Compute(TTrelAxisQuantity q) {
  const TShows shows = Shows();
  const bool manual = ticks_mode_ == atmManual;
  switch (q) {
    case TTrelAxisQuantity::DataMin:
      if (!min_->GetAutoScale())
        return min_->GetValue();
      if (shows == TShows::Time)
        return chart_->GetTimeStart();
      if (shows == TShows::Frequency)
        return chart_->GetFrequencyStart();
      if (sample_count_ < 2)
        return min_->GetValue();
      return chart_->GetSampleStart();
    case TTrelAxisQuantity::DataMax:
      if (!max_->GetAutoScale())
        return max_->GetMode() == mamValue ? max_->GetValue() : DataMin() + max_->GetValue();
      if (shows == TShows::Time)
        return chart_->GetTimeEnd();
      if (shows == TShows::Frequency)
        return chart_->GetFrequencyEnd();
      if (sample_count_ > 1)
        return chart_->GetSampleEnd();
      return MaxValueRule(DataMin());
    case TTrelAxisQuantity::RangeMin: {
      const double v = DataMin();
      return chart_->IsZoomed() && zoom_min_ > v ? zoom_min_ : v;
    }
    case TTrelAxisQuantity::RangeMax: {
      const double v = DataMax();
      return chart_->IsZoomed() && zoom_max_ < v ? zoom_max_ : v;
    }
    case TTrelAxisQuantity::TickMin:
      if (manual || !min_->GetTick()->GetAutoScale())
        return min_->GetTick()->GetValue();
      return min_->GetAutoScale() ? DataMin() : min_->GetValue();
    case TTrelAxisQuantity::TickMax:
      if (manual || !max_->GetTick()->GetAutoScale())
        return max_->GetTick()->GetValue();
      if (max_->GetAutoScale())
        return DataMax();
      return max_->GetMode() == mamValue ? max_->GetValue() : TickMin() + max_->GetValue();
    case TTrelAxisQuantity::TraceMin:
      if (manual || !min_->GetTick()->GetAutoScale())
        return min_->GetTick()->GetValue();
      if (shows == TShows::Time)
        return chart_->GetTimeStart();
      if (shows == TShows::Frequency)
        return chart_->GetFrequencyStart();
      if (sample_count_ < 2)
        return min_->GetValue();
      return chart_->GetSampleStart();
    case TTrelAxisQuantity::TraceMax:
      if (manual || !max_->GetTick()->GetAutoScale())
        return max_->GetTick()->GetValue();
      if (shows == TShows::Time)
        return chart_->GetTimeEnd();
      if (shows == TShows::Frequency)
        return chart_->GetFrequencyEnd();
      if (sample_count_ < 2)
        return max_->GetAutoScale() ? MaxValueRule(DataMin())
                                    : (max_->GetMode() == mamValue ? max_->GetValue()
                                                                   : DataMin() + max_->GetValue());
      return chart_->GetSampleEnd();
    case TTrelAxisQuantity::LabelMin:
      return ComputeLabel(false);
    case TTrelAxisQuantity::LabelMax:
      return ComputeLabel(true);
    case TTrelAxisQuantity::Count:
      break;
  }
  return 0.0;
}

void TTrelScopeXAxis::ClearCache() {
  // A moving tick origin drags a zoomed window along.
  const std::optional<double> oldTickMin = cache_[static_cast<int>(TTrelAxisQuantity::TickMin)];
  inherited::ClearCache();
  chart_->ResetDataCachesOfRanges();
  // The Y axis's auto-scaled extent is taken over this axis's sample
  // window: it is computed anew too.
  if (TTrelScopeYAxis* y = chart_->GetYAxis())
    y->ClearCache();
  if (oldTickMin) {
    const double now = TickMin();
    if (now != *oldTickMin && std::isfinite(now - *oldTickMin))
      TickMinShifted(now - *oldTickMin);
  }
}

void TTrelScopeXAxis::TickMinShifted(double delta) {
  zoom_min_ += delta;
  zoom_max_ += delta;
}

void TTrelScopeXAxis::ZoomByFactor(double factor) {
  // The window is in RangeMin..RangeMax units; LabelMin..LabelMax are tick
  // units, which differ when the axis labels with its own tick values.
  double lo = RangeMin(), hi = RangeMax();
  ScaleAboutMiddle(lo, hi, factor);
  SetZoomWindowDirect(lo, hi);
}

void TTrelScopeXAxis::DragTo(int x, int y) {
  TTrelScopeDataView* view = chart_->GetDataView();
  const bool vertical = chart_->IsVertical();
  const double length = vertical ? view->GetHeight() : view->GetWidth();
  if (length == 0.0)
    return;
  const double moved = vertical ? y - drag_start_.Y : x - drag_start_.X;
  double delta = (drag_max_ - drag_min_) * moved / length;
  if (!std::isfinite(delta))
    return;
  // Never past the data's ends.
  if (drag_min_ - delta < DataMin())
    delta = drag_min_ - DataMin();
  if (drag_max_ - delta > DataMax())
    delta = drag_max_ - DataMax();
  zoom_min_ = drag_min_ - delta;
  zoom_max_ = drag_max_ - delta;
  ClearCache();
  chart_->DoZoomChanged(zoZoom);
}

void TTrelScopeXAxis::MouseWheelDown(TShiftState, TPoint point) {
  chart_->ZoomAtPoint(point, 1.1, 1.0);
}

void TTrelScopeXAxis::MouseWheelUp(TShiftState, TPoint point) {
  chart_->ZoomAtPoint(point, 0.9, 1.0);
}

int TTrelScopeXAxis::GetFirstSample() {
  const double count = sample_count_;
  if (chart_->IsZoomed()) {
    const double range = DataMax() - DataMin();
    return range == 0.0 ? 0 : RoundSaturated(count * zoom_min_ / range);
  }
  if (min_->GetAutoScale())
    return 0;
  const double lo = RangeMin(), hi = RangeMax();
  const double m = std::clamp(min_->GetValue(), std::min(lo, hi), std::max(lo, hi));
  return hi == lo ? 0 : RoundSaturated(count * m / (hi - lo));
}

int TTrelScopeXAxis::GetLastSample() {
  const double count = sample_count_;
  if (chart_->IsZoomed()) {
    const double range = DataMax() - DataMin();
    return range == 0.0 ? 0 : RoundSaturated(count * zoom_max_ / range);
  }
  if (max_->GetAutoScale())
    return sample_count_;
  const double lo = RangeMin(), hi = RangeMax();
  const double m = std::clamp(max_->GetValue(), std::min(lo, hi), std::max(lo, hi));
  return hi == lo ? 0 : RoundSaturated(count * m / (hi - lo));
}

void TTrelScopeXAxis::SetSampleCount(int count) {
  if (max_sample_->GetAutosize()) {
    const int next = count == 0 ? 1024 : count;
    if (next != sample_count_) {
      sample_count_ = next;
      InvalidateStep();
      ClearCache();
      RedrawChart();
      chart_->ResetTimeRangeCache();
    }
  } else {
    const int next = static_cast<int>(std::min<std::uint32_t>(max_sample_->GetValue(), 0x7FFFFFFF));
    if (next != sample_count_) {
      sample_count_ = next;
      chart_->ResetTimeRangeCache();
    }
  }
}

double TTrelScopeXAxis::SamplesToAxis(double samples) {
  const double span = chart_->GetSampleEnd() - chart_->GetSampleStart();
  if (span == 0.0)
    return 0.0;
  const double v = samples * (DataMax() - DataMin()) / span;
  return std::isfinite(v) ? v : 0.0;
}

double TTrelScopeXAxis::AxisToSamples(double value) {
  const double range = DataMax() - DataMin();
  if (range == 0.0)
    return 0.0;
  const double v = sample_count_ * value / range;
  return std::isfinite(v) ? v : 0.0;
}

std::string TTrelScopeXAxis::GetTitle() {
  if (!axis_label_->GetText().empty())
    return axis_label_->GetText();
  if (ticks_mode_ == atmManual || (ticks_mode_ == atmAuto && chart_->IsDesigning()))
    return "X Axis";
  auto* scope = dynamic_cast<TTrelScope*>(chart_);
  const double rate = scope != nullptr ? scope->GetSampleRate() : 10000.0;
  switch (Shows()) {
    case TShows::Time:
      return TimeUnitCaption(unit_scale_->GetAutoScale() ? TimeUnitExponent(rate, sample_count_)
                                                         : unit_scale_->GetExponent());
    case TShows::Frequency:
      return FrequencyUnitCaption(unit_scale_->GetAutoScale() ? FrequencyUnitExponent(rate)
                                                              : unit_scale_->GetExponent());
    case TShows::Intensity:
      return "Intensity";
    case TShows::Samples:
      break;
  }
  return "Samples";
}

void RegisterTrelScopeAxisClasses() {
  using O = TTrelOptionalView;
  RegisterClass<O>().Bool("Visible", &O::GetVisible, &O::SetVisible, true);
  RegisterClass<TTrelOptionalAxis>();
  using T = TTrelTrackingOptionalAxis;
  RegisterClass<T>()
      .Bool("TrackCursor", &T::GetTrackCursor, &T::SetTrackCursor, true)
      .MappedInteger("TrackColor", &T::GetTrackColor, &T::SetTrackColor, kColorIdents, clRed)
      .Object("MajorTicks", &T::GetMajorTicks)
      .Object("MinorTicks", &T::GetMinorTicks)
      .Event("OnCustomStep", &T::OnCustomStep, &T::OnCustomStep);
  using D = TTrelDisplayAxis;
  RegisterClass<D>()
      .MappedInteger("Color", &D::GetColor, &D::SetColor, kColorIdents, clWhite)
      .Object("Font", &D::GetAxisFont)
      .Object("ToolBar", &D::GetToolBar)
      .Object("AxisLabel", &D::GetAxisLabel)
      .Integer("Precision", &D::GetPrecision, &D::SetPrecision, 3)
      .Bool("FixedPrecision", &D::GetFixedPrecision, &D::SetFixedPrecision, false)
      .Object("CursorSettings", &D::GetCursorSettings)
      .Event("OnCustomLabel", &D::OnCustomLabel, &D::OnCustomLabel);
  using Y = TTrelScopeYAxis;
  RegisterClass<Y>()
      .Bool("Logarithmic", &Y::GetLogarithmic, &Y::SetLogarithmic, false)
      .Object("AutoScaling", &Y::GetAutoScaling)
      .Bool(
          "Reversed", [](Y* y) { return y->GetReversed(); },
          [](Y* y, bool v) { y->SetReversed(v); }, false);
  using X = TTrelScopeXAxis;
  RegisterClass<X>()
      .Object("Min", &X::GetMin)
      .Object("Max", &X::GetMax)
      .Object("MaxSample", &X::GetMaxSample)
      .Enum("TicksMode", &X::GetTicksMode, &X::SetTicksMode,
            {"atmAuto", "atmBufferSamples", "atmFrequency", "atmIntensity", "atmTime", "atmManual"},
            atmAuto)
      .Object("UnitScale", &X::GetUnitScale);
}
