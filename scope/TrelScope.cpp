#include "scope/TrelScope.h"

#include <algorithm>
#include <cmath>

#include "platform/classes/TypInfo.h"
#include "platform/forms/Forms.h"
#include "scope/TrelScopeRoutines.h"

using kestrune::CriticalSectionGuard;

// ---------------------------------------------------------------------------
// Display

TTrelDataDisplay::TTrelDataDisplay(TComponent* owner)
    : TCustomControl(owner), zooming_(Create<TTrelDisplayZoom>()), bitmap_(Create<TBitmap>()) {
  SetTabStop(true);
  leave_timer_ = Create<TTimer>(this);
  leave_timer_->SetEnabled(false);
  leave_timer_->SetInterval(100);
  leave_timer_->SetOnTimer(TNotifyEvent(this, &TTrelDataDisplay::LeaveTimer));
  SetBounds(0, 0, 450, 280);
  SetColor(clBlack);
  bitmap_->SetSize(10, 10);
}

TTrelDataDisplay::~TTrelDataDisplay() {
  for (auto it = views_.rbegin(); it != views_.rend(); ++it)
    (*it)->Free();
  views_.clear();
  FreeAndNil(zooming_);
  FreeAndNil(tool_bar_);
  FreeAndNil(bitmap_);
}

void TTrelDataDisplay::Loaded() {
  SetFullRedraw();
  inherited::Loaded();
}

void TTrelDataDisplay::SetBounds(int left, int top, int width, int height) {
  if (width != Width() || height != Height())
    RedrawAll();
  inherited::SetBounds(left, top, width, height);
}

void TTrelDataDisplay::RedrawAll() {
  SetFullRedraw();
  Invalidate();
}

void TTrelDataDisplay::UpdateAndRepaint() {
  if (UpdateData())
    Invalidate();
}

void TTrelDataDisplay::SetHold(bool value) {
  if (value == hold_)
    return;
  hold_ = value;
  UpdateData();
  Invalidate();
}

bool TTrelDataDisplay::IsUpdateSuspended() {
  if (hold_)
    return true;
  TTrelScopeDataView* view = GetDataView();
  return view != nullptr && view->IsSelecting() && zooming_->MouseZoom;
}

void TTrelDataDisplay::ClearZoomHistory() {
  undo_.Clear();
  redo_.Clear();
}

void TTrelDataDisplay::DoZoomChanged(TTrelZoomOperation operation) {
  RedrawAll();
  if (!OnZoomChanged)
    return;
  TTrelRealRanges ranges;
  ranges.Min = {GetViewXMin(), GetViewYMin()};
  ranges.Max = {GetViewXMax(), GetViewYMax()};
  OnZoomChanged(this, operation, ranges);
}

void TTrelDataDisplay::RepaintToolBarIfShown() {
  if (tool_bar_ != nullptr && tool_bar_->GetVisible() && tool_bar_->GetAutoHide())
    Invalidate();
}

void TTrelDataDisplay::Paint() {
  PaintTo();
  const TRect whole{0, 0, Width(), Height()};
  Canvas()->CopyRect(whole, bitmap_->Canvas(), whole);
}

void TTrelDataDisplay::WMSetFocus() {
  inherited::WMSetFocus();
  Invalidate();
}

void TTrelDataDisplay::WMKillFocus() {
  inherited::WMKillFocus();
  Invalidate();
}

void TTrelDataDisplay::CMMouseLeave(TControl* control) {
  if (control == nullptr && mouse_inside_)
    MouseLeave();
  inherited::CMMouseLeave(control);
}

void TTrelDataDisplay::LeaveTimer(TObject*) {
  TPoint screen;
  if (!GetCursorPos(&screen))
    return;
  if (ClientRect().Contains(ScreenToClient(screen)))
    return;
  leave_timer_->SetEnabled(false);
  if (mouse_inside_)
    MouseLeave();
}

void TTrelDataDisplay::MouseMove(TShiftState shift, int x, int y) {
  inherited::MouseMove(shift, x, y);
  if (IsDesigning())
    return;
  if (!mouse_inside_) {
    leave_timer_->SetEnabled(true);
    MouseEnter();
  }
  for (TTrelDisplayView* view : views_)
    if (view->IsShowing())
      view->MouseMove(shift, x, y);
  if (tool_bar_ != nullptr && tool_bar_->GetVisible()) {
    const TRect bounds = tool_bar_->GetBounds();
    if (bounds.Contains({x, y})) {
      if (!over_tool_bar_) {
        over_tool_bar_ = true;
        SetControlCursor(tool_bar_->GetCursor());
      }
      InvalidateRect(bounds);
    } else {
      if (tool_bar_->IsButtonHighlighted())
        InvalidateRect(bounds);
      if (over_tool_bar_) {
        over_tool_bar_ = false;
        RestoreControlCursor();
      }
    }
  }
}

void TTrelDataDisplay::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (IsDesigning()) {
    inherited::MouseDown(button, shift, x, y);
    return;
  }
  if (CanFocus())
    SetFocus();
  if (button == mbLeft && tool_bar_ != nullptr && tool_bar_->GetVisible() &&
      tool_bar_->MouseDown(x, y))
    return;
  inherited::MouseDown(button, shift, x, y);
  for (TTrelDisplayView* view : views_)
    if (view->IsShowing())
      view->MouseDown(button, shift, view->Rect().Contains({x, y}), x, y);
}

void TTrelDataDisplay::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  inherited::MouseUp(button, shift, x, y);
  if (IsDesigning())
    return;
  for (TTrelDisplayView* view : views_)
    view->MouseUp(button, shift, view->Rect().Contains({x, y}), x, y);
  if (button == mbLeft && tool_bar_ != nullptr)
    tool_bar_->ReleaseButtons();
}

void TTrelDataDisplay::MouseEnter() {
  mouse_inside_ = true;
  for (TTrelDisplayView* view : views_)
    view->MouseEnter();
  RepaintToolBarIfShown();
}

void TTrelDataDisplay::MouseLeave() {
  mouse_inside_ = false;
  for (TTrelDisplayView* view : views_)
    view->MouseLeave();
  if (tool_bar_ != nullptr && tool_bar_->GetVisible() &&
      (tool_bar_->GetAutoHide() || tool_bar_->IsButtonHighlighted()))
    Invalidate();
}

void TTrelDataDisplay::WheelAt(TShiftState shift, TPoint clientPos, bool down) {
  // A view that is not showing has no rectangle to take the step.
  for (TTrelDisplayView* view : views_) {
    if (!view->GetRect().Contains(clientPos))
      continue;
    if (down)
      view->MouseWheelDown(shift, clientPos);
    else
      view->MouseWheelUp(shift, clientPos);
  }
  TTrelScopeDataView* data = GetDataView();
  if (data != nullptr && data->GetRect().Contains(clientPos) && zooming_->MouseWheelEnabled)
    ZoomAtPoint(clientPos, down ? 1.1 : 0.9, down ? 1.1 : 0.9);
}

bool TTrelDataDisplay::DoMouseWheelDown(TShiftState shift, TPoint mousePos) {
  const bool taken = inherited::DoMouseWheelDown(shift, mousePos);
  if (!IsDesigning())
    WheelAt(shift, ScreenToClient(mousePos), true);
  return taken;
}

bool TTrelDataDisplay::DoMouseWheelUp(TShiftState shift, TPoint mousePos) {
  const bool taken = inherited::DoMouseWheelUp(shift, mousePos);
  if (!IsDesigning())
    WheelAt(shift, ScreenToClient(mousePos), false);
  return taken;
}

void TTrelDataDisplay::KeyPress(char& key) {
  inherited::KeyPress(key);
  if (!zooming_->KeyboardZoom)
    return;
  if (key == '+')
    ZoomBy(0.5);
  else if (key == '-')
    ZoomBy(2.0);
}

// ---------------------------------------------------------------------------
// Chart

TTrelDataChart::TTrelDataChart(TComponent* owner) : TTrelDataDisplay(owner) {
  tool_bar_ = Create<TTrelScopeToolBar>(this);
  tool_bar_->OnChange = TNotifyEvent(this, &TTrelDataChart::SettingRepaint);
  trails_ = Create<TTrelDisplayTrails>();
  trails_->OnChange = TNotifyEvent(this, &TTrelDataChart::SettingRepaint);
  title_ = Create<TTrelDisplayTitle>(this);
  title_->SetText("Scope");
  AddView(title_);
  legend_ = Create<TTrelScopeLegendView>(this);
  AddView(legend_);
  x_axis_ = Create<TTrelScopeXAxis>(this);
  AddView(x_axis_);
  y_axis_ = Create<TTrelScopeYAxis>(this);
  AddView(y_axis_);
  data_view_ = Create<TTrelScopeDataView>(this);
  AddView(data_view_);
  highlighting_ = Create<TTrelDisplayHighlighting>();
  highlighting_->OnChange = TNotifyEvent(this, &TTrelDataChart::HighlightingChanged);
  input_pins_ = Create<TVekPinList>(this, true);
  refresh_timer_ = Create<TTimer>(this);
  refresh_timer_->SetInterval(100);
  refresh_timer_->SetOnTimer(TNotifyEvent(this, &TTrelDataChart::RefreshTimer));
  refresh_timer_->SetEnabled(!IsDesigning());
}

void TTrelDataChart::BeforeDestruction() {
  for (int i = 0; i < input_pins_->GetCount(); ++i)
    input_pins_->GetPin(i)->DisconnectAll();
  inherited::BeforeDestruction();
}

TTrelDataChart::~TTrelDataChart() {
  FreeAndNil(input_pins_);
  FreeAndNil(trails_);
  FreeAndNil(highlighting_);
}

void TTrelDataChart::Loaded() {
  inherited::Loaded();
  if (!IsDesigning())
    input_pins_->CompletePendingPlaceholders();
}

TTrelAxisMapping TTrelDataChart::YValueToPixelParams(double max, double min) {
  return y_axis_->GetMapping(max, min);
}

double TTrelDataChart::GetFrequencyEnd() {
  if (!frequency_valid_) {
    const double rate = GetSampleRate();
    TTrelScopeXAxisUnitScale* unit = x_axis_->GetUnitScale();
    const int e = unit->GetAutoScale() ? FrequencyUnitExponent(rate) : unit->GetExponent();
    frequency_end_ = (rate / 2.0) / std::pow(10.0, e);
    if (!std::isfinite(frequency_end_))
      frequency_end_ = 0.0;
    frequency_valid_ = true;
  }
  return frequency_end_;
}

double TTrelDataChart::GetTimeEnd() {
  if (!time_valid_) {
    const double rate = GetSampleRate();
    const double count = x_axis_->SampleCount();
    TTrelScopeXAxisUnitScale* unit = x_axis_->GetUnitScale();
    const int e = unit->GetAutoScale() ? TimeUnitExponent(rate, count) : unit->GetExponent();
    time_end_ = rate == 0.0 ? 0.0 : ((count - 1.0) / rate) * std::pow(10.0, e);
    if (!std::isfinite(time_end_))
      time_end_ = 0.0;
    time_valid_ = true;
  }
  return time_end_;
}

std::string TTrelDataChart::FormatLabel(const std::string& text, const std::string& defaultText,
                                        double x, double y) {
  return ExpandLabelMacros(text, defaultText, [&](char c) -> std::optional<std::string> {
    if (c == 'X')
      return x_axis_->FormatLabel(x);
    if (c == 'Y')
      return y_axis_->FormatLabel(y);
    return std::nullopt;
  });
}

std::string TTrelDataChart::FormatValueLabel(const std::string& label,
                                             const std::string& defaultText,
                                             const std::string& valueText) {
  return ExpandLabelMacros(
      label, defaultText,
      [&](char c) -> std::optional<std::string> {
        if (c == 'V')
          return valueText;
        return std::nullopt;
      },
      false);
}

std::string TTrelDataChart::FormatHitPointLabel() {
  return FormatLabel(highlighting_->GetMouseHitPoint()->GetPointLabel()->GetText(), "%X : %Y",
                     data_view_->HitX(), data_view_->HitY());
}

double TTrelDataChart::PixelToValue(int position, const TRect& rect, double max, double min) {
  TTrelValueAxisSpan span;
  span.Start = IsVertical() ? rect.Left : rect.Top;
  span.End = IsVertical() ? rect.Right : rect.Bottom;
  span.Reversed = y_axis_->GetReversed();
  span.Logarithmic = y_axis_->GetLogarithmic();
  return PixelToValueOnSpan(position, span, max, min);
}

double TTrelDataChart::GetMouseValue(const TRect& rect, double max, double min) {
  const TPoint p = data_view_->LastMouse();
  return PixelToValue(IsVertical() ? p.X : p.Y, rect, max, min);
}

void TTrelDataChart::DataViewChanged() {
  data_view_->UpdateHover();
  Invalidate();
}

void TTrelDataChart::LayoutViews() {
  if (!FullRedrawPending())
    return;
  const int drawWidth = GetDrawWidth();
  const int drawHeight = GetDrawHeight();
  TRect r{0, 0, drawWidth, drawHeight};
  int leftMargin = 0, rightMargin = 0, topMargin = 0, bottomMargin = 0;
  for (TTrelDisplayView* view : views_) {
    view->SetRect(r);
    if (!view->IsEnabled())
      continue;
    int w = 0, h = 0;
    switch (view->GetAlignment()) {
      case 1:
        view->CalcSize(w, h);
        view->Bottom = r.Top + h;
        view->CalcSize(w, h);
        r.Top += h;
        leftMargin = std::max(leftMargin, view->GetStartMargin());
        rightMargin = std::max(rightMargin, view->GetEndMargin());
        break;
      case 2:
        view->CalcSize(w, h);
        view->Top = r.Bottom - h;
        view->CalcSize(w, h);
        r.Bottom -= h;
        leftMargin = std::max(leftMargin, view->GetStartMargin());
        rightMargin = std::max(rightMargin, view->GetEndMargin());
        break;
      case 3:
        view->CalcSize(w, h);
        view->Right = r.Left + w;
        view->CalcSize(w, h);
        r.Left += w;
        topMargin = std::max(topMargin, view->GetStartMargin());
        bottomMargin = std::max(bottomMargin, view->GetEndMargin());
        break;
      case 4:
        view->CalcSize(w, h);
        view->Left = r.Right - w;
        view->CalcSize(w, h);
        r.Right -= w;
        topMargin = std::max(topMargin, view->GetStartMargin());
        bottomMargin = std::max(bottomMargin, view->GetEndMargin());
        break;
      case 5:
        view->Left = std::max(view->Left, leftMargin);
        view->Top = std::max(view->Top, topMargin);
        view->Bottom = std::min(view->Bottom, drawHeight - bottomMargin);
        view->Right = std::min(view->Right, drawWidth - rightMargin);
        break;
      default:
        break;
    }
  }
}

void TTrelDataChart::DrawScene(TCanvas* canvas, bool picture, const TRegion& region) {
  LayoutViews();
  const bool wasFull = full_redraw_.exchange(false, std::memory_order_acq_rel);
  const int drawWidth = GetDrawWidth();
  const int drawHeight = GetDrawHeight();
  canvas->Brush()->SetStyle(bsSolid);
  canvas->Brush()->SetColor(Color());
  canvas->Pen()->SetStyle(psSolid);
  canvas->Pen()->SetWidth(1);
  canvas->SelectClipRegion(&region);
  canvas->FillRect({0, 0, drawWidth, drawHeight});
  if (Focused())
    canvas->DrawFocusRect({0, 0, drawWidth, drawHeight});

  TTrelPaintContext context;
  context.Canvas = canvas;
  context.Picture = picture;
  context.Vertical = IsVertical();
  context.XMin = x_axis_->RangeMin();
  context.XMax = x_axis_->RangeMax();
  if (context.XMin == context.XMax) {
    context.XMin -= 1.0;
    context.XMax += 1.0;
  }
  const double yMax = y_axis_->RangeMax();
  const double yMin = y_axis_->RangeMin();
  context.YMapping = YValueToPixelParams(yMax, yMin);
  const TRect plot = data_view_->PlotRect();
  DrawCursorLinks(canvas, 0);

  for (TTrelDisplayView* view : views_) {
    if (!view->IsShowing())
      continue;
    const TRect r = view->Rect();
    if (!r.IsEmpty() && region.Meets(r))
      view->Paint(context);
    else
      view->PaintSkipped(context);
  }
  const TRect dv = data_view_->Rect();
  canvas->ExcludeClipRect({0, 0, dv.Left, drawHeight});
  canvas->ExcludeClipRect({dv.Right, 0, std::max(dv.Right, drawWidth), drawHeight});
  canvas->ExcludeClipRect({0, 0, drawWidth, dv.Top});
  canvas->ExcludeClipRect({0, dv.Bottom, drawWidth, std::max(dv.Bottom, drawHeight)});
  TTrelScopeChannels* channels = GetChannelCollection();
  if (!dv.IsEmpty() && region.Meets(dv) && channels != nullptr) {
    for (int i = 0; i < channels->Count(); ++i)
      channels->GetItem(i)->DrawChannel(canvas, plot, context.YMapping.Scale,
                                        context.YMapping.Offset, y_axis_->GetLogarithmic(),
                                        context.XMin, context.XMax);
  }
  if (wasFull)
    data_view_->UpdateHover();
  for (TTrelDisplayView* view : views_) {
    const TRect r = view->Rect();
    if (view->IsShowing() && !r.IsEmpty() && region.Meets(r))
      view->PaintOverlay(canvas);
  }
  DrawCursors(canvas);
  DrawCursorLinks(canvas, 1);
  if (data_view_->HighlightedItem() != nullptr && channels != nullptr) {
    for (int i = 0; i < channels->Count(); ++i)
      if (channels->GetItem(i)->GetVisible())
        channels->GetItem(i)->DrawMouseHitPoint(canvas);
  }
  if (!picture && tool_bar_->GetVisible() &&
      (!tool_bar_->GetAutoHide() || mouse_inside_ || IsDesigning())) {
    canvas->SelectClipRegion(nullptr);
    tool_bar_->Paint(canvas);
  }
  canvas->SelectClipRegion(nullptr);
}

// ---------------------------------------------------------------------------
// Scope

TTrelScope::TTrelScope(TComponent* owner) : TTrelDataChart(owner) {
  channels_ = Create<TTrelScopeChannels>(this);
  channels_->PropName = "Channels";
  cursors_ = Create<TTrelDisplayCursors>(this);
  cursor_links_ = Create<TTrelDisplayCursorLinks>(this);
  marker_groups_ = Create<TTrelScopeMarkerGroups>(this);
  legend_->SetCollections(channels_, marker_groups_, cursors_, cursor_links_);
}

void TTrelScope::AfterConstruction() {
  inherited::AfterConstruction();
  // A scope made by a stored description gets its channels from there: a
  // default channel's pin would take the first place among the input pins
  // and shift the stored links by one.
  TComponent* owner = Owner();
  const bool ownerReading = owner != nullptr && (owner->ComponentState().Contains(csReading) ||
                                                 owner->ComponentState().Contains(csLoading));
  if (!ownerReading)
    channels_->Add();
}

void TTrelScope::BeforeDestruction() {
  inherited::BeforeDestruction();
}

TTrelScope::~TTrelScope() {
  FreeAndNil(channels_);
  // The links before the cursors they join.
  FreeAndNil(cursor_links_);
  FreeAndNil(cursors_);
  FreeAndNil(marker_groups_);
}

void TTrelScope::Loaded() {
  if (channels_->Count() == 0)
    channels_->Add();  // a description without channels: the one a new scope has
  inherited::Loaded();
  if (y_axis_->GetMin() == y_axis_->GetMax())
    y_axis_->SetMin(-y_axis_->GetMax());
  // The marker groups are read after the channels: the markers take their
  // groups now.
  for (int c = 0; c < channels_->Count(); ++c) {
    TTrelScopeChannelMarkers* markers = channels_->GetItem(c)->GetMarkers();
    for (int i = 0; i < markers->Count(); ++i)
      markers->GetItem(i)->ApplyPendingGroup();
  }
}

void TTrelScope::Invalidate() {
  if (channel_draw_)
    return;
  inherited::Invalidate();
}

void TTrelScope::RedrawAll() {
  if (channel_draw_)
    return;
  inherited::RedrawAll();
}

namespace {

// Computes the ranges that this update draws with while the auto-scaling
// history still lacks this update's step, and keeps them in the axes' caches
// for the painting that follows. Computing the Y range also makes it the
// auto-scaling's previous range, which its threshold hold compares the next
// range with.
void CacheDrawnRangesBeforeHistoryStep(TTrelScopeXAxis* xAxis, TTrelScopeYAxis* yAxis) {
  xAxis->RangeMin();
  xAxis->RangeMax();
  yAxis->RangeMin();
  yAxis->RangeMax();
}

}  // namespace

bool TTrelScope::UpdateData() {
  // What the producers' starts and stops mean for the display is applied
  // here, on the main thread, also while the display is held.
  bool started = false;
  for (int i = 0; i < channels_->Count(); ++i) {
    const TTrelChannelData::TPendingStream pending = channels_->GetItem(i)->ApplyPendingStream();
    if (pending.Started) {
      started = true;
      ResetHistory();
      ResetDataCaches();
      SetFullRedraw();
    } else if (pending.Stopped) {
      ResetHistory();
    }
  }
  if (IsUpdateSuspended()) {
    // A start changes the sample rate and kind the X axis ranges over.
    if (started)
      AxesDataChanged();
    return false;
  }
  bool committed = false;
  for (int i = 0; i < channels_->Count(); ++i) {
    TTrelScopeChannel* channel = channels_->GetItem(i);
    if (channel->HasChangedData()) {
      committed = true;
      RedrawAll();
      channel->CommitData();
    }
  }
  UpdateXSampleCount();
  if (committed || started)
    AxesDataChanged();
  if (committed) {
    CacheDrawnRangesBeforeHistoryStep(x_axis_, y_axis_);
    y_axis_->PushAutoScaleHistory();
  }
  return FullRedrawPending();
}

void TTrelScope::PaintTo() {
  if (printing_)
    return;
  if (bitmap_->Width() != Width() || bitmap_->Height() != Height())
    bitmap_->SetSize(Width(), Height());
  DrawScene(bitmap_->Canvas(), false, TRegion(TRect{0, 0, Width(), Height()}));
}

void TTrelScope::UpdateXSampleCount() {
  int largest = 0;
  for (int i = 0; i < channels_->Count(); ++i) {
    TTrelScopeChannel* c = channels_->GetItem(i);
    if (c->GetVisible())
      largest = std::max(largest, c->DisplayedY()->GetCount());
  }
  x_axis_->SetSampleCount(largest);
}

bool TTrelScope::HasSpectrumChannel() {
  if (!kind_valid_) {
    kind_spectrum_ = kind_intensity_ = false;
    for (int i = 0; i < channels_->Count(); ++i) {
      TTrelScopeChannel* c = channels_->GetItem(i);
      if (!c->GetVisible())
        continue;
      if (c->IsSpectrum()) {
        kind_spectrum_ = true;
        break;
      }
      if (c->IsIntensity()) {
        kind_intensity_ = true;
        break;
      }
    }
    kind_valid_ = true;
  }
  return kind_spectrum_;
}

bool TTrelScope::HasIntensityChannel() {
  HasSpectrumChannel();
  return kind_intensity_;
}

double TTrelScope::GetSampleRate() {
  if (!rate_valid_) {
    double largest = 0.0;
    for (int i = 0; i < channels_->Count(); ++i) {
      TTrelScopeChannel* c = channels_->GetItem(i);
      if (c->GetVisible() && c->SampleRate() > largest)
        largest = c->SampleRate();
    }
    rate_ = largest == 0.0 ? 10000.0 : largest;
    rate_valid_ = true;
  }
  return rate_;
}

namespace {

// The smallest (or largest) displayed X over the channels that hold
// samples; `base` when none does. Each channel is read under its
// DisplayLock.
double SampleBound(TTrelScopeChannels* channels, bool largest, double base) {
  bool any = false;
  double value = base;
  for (int i = 0; i < channels->Count(); ++i) {
    TTrelChannelData* data = channels->GetItem(i)->Data();
    CriticalSectionGuard display(data->DisplayLock);
    ITrelRealBuffer* x = data->DisplayedX();
    if (x->GetCount() == 0)
      continue;
    const double v = largest ? x->Max() : x->Min();
    if (!any || (largest ? v > value : v < value)) {
      value = v;
      any = true;
    }
  }
  return value;
}

}  // namespace

double TTrelScope::GetSampleStart() {
  return SampleBound(channels_, false, 0.0);
}

double TTrelScope::GetSampleEnd() {
  return SampleBound(channels_, true, x_axis_->SampleCount() - 1.0);
}

void TTrelScope::ResetDataCaches() {
  inherited::ResetDataCaches();
  kind_valid_ = false;
  rate_valid_ = false;
}

void TTrelScope::ResetHistory() {
  y_axis_->ResetHistory();
  inherited::ResetHistory();
}

TTrelScopeMarkerGroup* TTrelScope::GetLastMarkerGroup() {
  if (marker_groups_->Count() == 0)
    return marker_groups_->Add();
  return marker_groups_->GetItem(marker_groups_->Count() - 1);
}

void TTrelScope::RefreshCursorPositions() {
  for (int i = 0; i < cursors_->Count(); ++i) {
    TTrelDisplayCursorPosition* p = cursors_->GetItem(i)->GetPosition();
    p->SetX(p->GetX());
    p->SetY(p->GetY());
  }
}

void TTrelScope::DrawCursorLinks(TCanvas* canvas, int pass) {
  const TTrelPlotFrame frame = data_view_->CurrentFrame();
  for (int i = 0; i < cursor_links_->Count(); ++i)
    cursor_links_->GetItem(i)->Draw(pass, canvas, frame);
}

void TTrelScope::DrawCursors(TCanvas* canvas) {
  const TTrelPlotFrame frame = data_view_->CurrentFrame();
  for (int i = 0; i < cursors_->Count(); ++i)
    cursors_->GetItem(i)->Draw(canvas, frame);
}

void TTrelScope::SetVertical(bool v) {
  if (v == vertical_)
    return;
  vertical_ = v;
  RedrawAll();
}

void TTrelScope::SetSizeLimit(std::uint32_t v) {
  if (v == size_limit_.load(std::memory_order_acquire))
    return;
  size_limit_.store(v, std::memory_order_release);
  if (v == 0)
    return;
  for (int i = 0; i < channels_->Count(); ++i)
    channels_->GetItem(i)->Data()->ApplySizeLimit(v);
}

void RegisterTrelScopeClasses() {
  RegisterTrelScopeSettingsClasses();
  RegisterTrelScopeToolBarClasses();
  RegisterTrelDisplayCollectionClasses();
  RegisterTrelScopeChannelClasses();
  RegisterTrelDisplayViewClasses();
  RegisterTrelScopeAxisClasses();
  RegisterTrelScopeMarkerClasses();
  RegisterTrelScopeCursorClasses();
  RegisterTrelScopeLegendClasses();
  using D = TTrelDataDisplay;
  RegisterClass<D>()
      .Integer("Left", &D::Left, &D::SetLeft)
      .Integer("Top", &D::Top, &D::SetTop)
      .Integer("Width", &D::Width, &D::SetWidth)
      .Integer("Height", &D::Height, &D::SetHeight)
      .Bool("TabStop", &D::TabStop, &D::SetTabStop, true)
      .Bool(
          "Visible", &D::Visible, [](D* d, bool v) { d->SetVisible(v); }, true)
      .MappedInteger("Color", &D::Color, &D::SetColor, kColorIdents, clBlack)
      .MappedInteger("Cursor", &D::GetCursor, &D::SetCursor, kCursorIdents, crDefault)
      .Object("ToolBar", &D::GetToolBar)
      .Object("Zooming", &D::GetZooming)
      .Event("OnZoomChanged", &D::OnZoomChanged, &D::OnZoomChanged);
  using C = TTrelDataChart;
  RegisterClass<C>()
      .Object("InputPins", &C::GetInputPins)
      .Object("XAxis", &C::GetXAxis)
      .Object("YAxis", &C::GetYAxis)
      .Object("Legend", &C::GetLegend)
      .Object("Title", &C::GetTitle)
      .Object("DataView", &C::GetDataView)
      .Object("Trails", &C::GetTrails)
      .Object("Highlighting", &C::GetHighlighting)
      .Integer("RefreshInterval", &C::GetRefreshInterval, &C::SetRefreshInterval, 100)
      .Event("OnOverChannel", &C::OnOverChannel, &C::OnOverChannel)
      .Event("OnLeaveChannel", &C::OnLeaveChannel, &C::OnLeaveChannel);
  using S = TTrelScope;
  RegisterClass<S>()
      .Collection("Channels", &S::GetChannels)
      .Collection("Cursors", &S::GetCursors)
      .Collection("CursorLinks", &S::GetCursorLinks)
      .Collection("MarkerGroups", &S::GetMarkerGroups)
      .Bool("Vertical", &S::GetVertical, &S::SetVertical, false)
      .Integer("SizeLimit", &S::GetSizeLimit, &S::SetSizeLimit, 0);
}
