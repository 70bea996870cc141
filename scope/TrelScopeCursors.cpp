#include "scope/TrelScopeCursors.h"

#include <algorithm>
#include <cmath>

#include "platform/classes/Streaming.h"
#include "platform/classes/TypInfo.h"
#include "scope/TrelAxisRules.h"
#include "scope/TrelScope.h"
#include "scope/TrelScopePalette.h"
#include "scope/TrelScopeRoutines.h"

namespace {

std::int32_t Add32(std::int64_t a, std::int64_t b) {
  return ClampToInt32(a + b);
}

// Cursor values and pixels in the plot's own directions: "x" runs along the
// X axis (the plot's width, or its height from the top in a vertical scope)
// and "y" along the Y axis. Lines are given in these directions and
// exchanged on the way to the canvas.
class TPlotMap {
 public:
  TPlotMap(TTrelScope* scope, const TTrelPlotFrame& frame)
      : scope_(scope), frame_(frame), vertical_(scope->IsVertical()) {
    const TRect& p = frame.Plot;
    own_ = vertical_ ? TRect{p.Top, p.Left, p.Bottom, p.Right} : p;
    range_ = frame.XMax - frame.XMin;
    if (range_ == 0.0)
      range_ = 1e-05;
    mapping_ = scope->YValueToPixelParams(frame.YMax, frame.YMin);
    far_edge_ = vertical_ ? p.Right : Add32(p.Bottom, 1);
    logarithmic_ = scope->GetYAxis()->GetLogarithmic();
  }

  // The plot rectangle in the plot's directions.
  const TRect& Own() const { return own_; }
  bool Vertical() const { return vertical_; }
  std::int32_t XPixel(double x) const {
    return Add32(own_.Left,
                 RoundSaturated((x - frame_.XMin) *
                                (static_cast<double>(own_.Right) - own_.Left - 1) / range_));
  }
  std::int32_t YPixel(double y) const { return PlaceValue(y, mapping_, far_edge_, logarithmic_); }
  // The X value at pixel `x`; false over a plot without extent along X.
  bool XAt(std::int32_t x, double& value) const {
    const double n = static_cast<double>(own_.Right) - own_.Left - 1;
    if (n <= 0.0)
      return false;
    value = frame_.XMin + (static_cast<double>(x) - own_.Left) * range_ / n;
    return std::isfinite(value);
  }
  bool YAt(std::int32_t y, double& value) const {
    if (static_cast<double>(own_.Bottom) - own_.Top - 1 <= 0.0)
      return false;
    value = scope_->PixelToValue(y, frame_.Plot, frame_.YMax, frame_.YMin);
    return std::isfinite(value);
  }
  // A screen point in the plot's directions, and back.
  TPoint Own(TPoint screen) const { return vertical_ ? TPoint{screen.Y, screen.X} : screen; }
  TPoint Screen(std::int32_t x, std::int32_t y) const {
    return vertical_ ? TPoint{y, x} : TPoint{x, y};
  }
  bool Inside(TPoint own) const {
    return own.X >= own_.Left && own.X <= own_.Right && own.Y >= own_.Top && own.Y <= own_.Bottom;
  }
  void Line(TCanvas* canvas, std::int32_t x1, std::int32_t y1, std::int32_t x2,
            std::int32_t y2) const {
    const TPoint a = Screen(x1, y1), b = Screen(x2, y2);
    canvas->MoveTo(a.X, a.Y);
    canvas->LineTo(b.X, b.Y);
  }
  double XMin() const { return frame_.XMin; }
  double XMax() const { return frame_.XMax; }

 private:
  TTrelScope* scope_;
  TTrelPlotFrame frame_;
  bool vertical_;
  TRect own_;
  double range_;
  TTrelAxisMapping mapping_;
  std::int32_t far_edge_;
  bool logarithmic_;
};

// A pixel limited to lo .. hi (hi wins when they cross: a plot without
// extent).
std::int32_t ClampPixel(std::int32_t v, std::int32_t lo, std::int32_t hi) {
  return std::min(std::max(v, lo), hi);
}

// `v` limited to lo .. hi (hi wins when they cross).
double Limit(double v, double lo, double hi) {
  if (v < lo)
    v = lo;
  if (v > hi)
    v = hi;
  return v;
}

void SetTrailPen(TCanvas* canvas, TTrelScope* scope) {
  canvas->Pen()->SetColor(scope->GetTrails()->GetColor());
  canvas->Pen()->SetStyle(psDot);
  canvas->Pen()->SetWidth(1);
  canvas->Pen()->SetMode(pmCopy);
}

void SetSolidPen(TCanvas* canvas, TColor colour, int width) {
  canvas->Pen()->SetColor(colour);
  canvas->Pen()->SetStyle(psSolid);
  canvas->Pen()->SetWidth(width);
  canvas->Pen()->SetMode(pmCopy);
}

}  // namespace

double SnapCursorValue(TTrelScope* scope, bool xAxis, double value) {
  if (scope == nullptr)
    return value;
  TTrelDisplayAxis* axis = xAxis ? static_cast<TTrelDisplayAxis*>(scope->GetXAxis())
                                 : static_cast<TTrelDisplayAxis*>(scope->GetYAxis());
  if (!axis->GetCursorSettings()->GetSnapToSample())
    return value;
  double result = value;
  TTrelScopeChannels* channels = scope->GetChannels();
  for (int c = 0; c < channels->Count(); ++c) {
    TTrelScopeChannel* channel = channels->GetItem(c);
    ITrelRealBuffer* samples = xAxis ? channel->ScaledX() : channel->DisplayedY();
    const std::int32_t n = xAxis ? std::min(samples->GetCount(), channel->DisplayedY()->GetCount())
                                 : samples->GetCount();
    if (n <= 1)
      continue;
    const double* s = samples->GetData();
    double nearest = s[0], low = s[0], high = s[0];
    for (std::int32_t i = 1; i < n; ++i) {
      if (std::abs(s[i] - value) < std::abs(nearest - value))
        nearest = s[i];
      low = std::min(low, s[i]);
      high = std::max(high, s[i]);
    }
    if (value > low && value < high)
      result = nearest;
  }
  return result;
}

// ---------------------------------------------------------------------------
// Channel links

TTrelDisplayChannelLink::TTrelDisplayChannelLink(TCollection* collection)
    : TTrelDisplayCollectionItem(collection),
      label_(Create<TTrelDisplayLabel>()),
      pen_(Create<TPen>()),
      brush_(Create<TBrush>()) {
  SetScopeFont(label_->GetFont(), clWhite, kScopeDefaultFontSize, false);
  pen_->SetColor(clRed);
  brush_->SetStyle(bsClear);
  label_->OnChange = TNotifyEvent(this, &TTrelDisplayChannelLink::PartChanged);
  pen_->OnChange = TNotifyEvent(this, &TTrelDisplayChannelLink::PartChanged);
  brush_->OnChange = TNotifyEvent(this, &TTrelDisplayChannelLink::PartChanged);
}

TTrelDisplayChannelLink::~TTrelDisplayChannelLink() {
  FreeAndNil(label_);
  FreeAndNil(pen_);
  FreeAndNil(brush_);
}

void TTrelDisplayChannelLink::BeforeDestruction() {
  if (channel_ != nullptr) {
    channel_->RemoveLink(this);
    channel_ = nullptr;
  }
  if (auto* d = Display())
    d->Invalidate();
  inherited::BeforeDestruction();
}

TTrelScope* TTrelDisplayChannelLink::Scope() const {
  return dynamic_cast<TTrelScope*>(Display());
}

void TTrelDisplayChannelLink::Repaint() {
  if (auto* d = Display())
    d->Invalidate();
}

std::string TTrelDisplayChannelLink::GetDisplayName() {
  return channel_ != nullptr ? channel_->GetName() : inherited::GetDisplayName();
}

void TTrelDisplayChannelLink::SetChannel(TTrelDisplayChannel* channel) {
  if (channel == channel_)
    return;
  if (channel_ != nullptr)
    channel_->RemoveLink(this);
  channel_ = channel;
  if (channel_ != nullptr)
    channel_->AddLink(this);
  Repaint();
}

void TTrelDisplayChannelLink::SetUseChannelColor(bool v) {
  if (v != use_channel_color_) {
    use_channel_color_ = v;
    Repaint();
  }
}

void TTrelDisplayChannelLink::SetSize(std::uint32_t v) {
  if (v != size_) {
    size_ = v;
    Repaint();
  }
}

void TTrelDisplayChannelLink::SetShape(TTrelDisplayMarkerShape v) {
  if (v != shape_) {
    shape_ = v;
    Repaint();
  }
}

void TTrelDisplayChannelLink::DefineProperties(TFiler* filer) {
  inherited::DefineProperties(filer);
  filer->DefineProperty(
      "ChannelIndex", TMethod<void(TReader*)>(this, &TTrelDisplayChannelLink::ReadChannelIndex),
      TMethod<void(TWriter*)>(this, &TTrelDisplayChannelLink::WriteChannelIndex), true);
  filer->DefineProperty(
      "Channel", TMethod<void(TReader*)>(this, &TTrelDisplayChannelLink::SkipChannel), {}, false);
}

void TTrelDisplayChannelLink::ReadChannelIndex(TReader* reader) {
  TakeChannelIndex(reader->ReadInteger());
}

void TTrelDisplayChannelLink::WriteChannelIndex(TWriter* writer) {
  writer->WriteInteger(channel_ != nullptr ? channel_->Index() : -1);
}

void TTrelDisplayChannelLink::TakeChannelIndex(std::int64_t index) {
  TTrelScope* scope = Scope();
  TTrelScopeChannels* channels = scope != nullptr ? scope->GetChannels() : nullptr;
  if (channels == nullptr || index < 0 || index >= channels->Count())
    SetChannel(nullptr);
  else
    SetChannel(channels->GetItem(static_cast<int>(index)));
}

void TTrelDisplayChannelLink::Draw(TCanvas* canvas, bool trail, const std::string& defaultFormat,
                                   int x, int y, double valueX, double valueY) {
  if (trail) {
    canvas->Brush()->SetStyle(bsClear);
  } else {
    canvas->SetPen(pen_);
    canvas->SetBrush(brush_);
    if (use_channel_color_ && channel_ != nullptr) {
      canvas->Pen()->SetColor(channel_->GetColor());
      canvas->Brush()->SetColor(channel_->GetColor());
    }
  }
  DrawMarkerShape(canvas, shape_, x, y, size_, 0, false, false);
  if (!label_->GetVisible())
    return;
  TTrelScope* scope = Scope();
  if (scope == nullptr)
    return;
  canvas->Brush()->SetStyle(bsClear);
  canvas->SetFont(label_->GetFont());
  const std::string text = scope->FormatLabel(label_->GetText(), defaultFormat, valueX, valueY);
  canvas->TextOut(Add32(x, 4), Add32(y, -canvas->TextHeight("Xg")), text);
}

TTrelDisplayChannelLinks::TTrelDisplayChannelLinks(TTrelDataDisplay* display, TPersistent* owner)
    : TTrelDisplayCollection(display, TTrelDisplayChannelLink::StaticClass()), owner_(owner) {}

TTrelDisplayChannelLink* TTrelDisplayChannelLinks::GetItem(int index) const {
  return static_cast<TTrelDisplayChannelLink*>(Items(index));
}

void TTrelDisplayChannelLinks::Update(TCollectionItem*) {
  if (auto* d = Display())
    d->Invalidate();
}

void TTrelDisplayChannelLinks::ItemAdded(TVekExtCollectionItem* item) {
  auto* link = static_cast<TTrelDisplayChannelLink*>(item);
  auto* scope = dynamic_cast<TTrelScope*>(Display());
  if (scope == nullptr)
    return;
  TTrelScopeChannels* channels = scope->GetChannels();
  TTrelDisplayChannel* best = nullptr;
  int bestUses = -1;
  for (int c = 0; c < channels->Count(); ++c) {
    TTrelDisplayChannel* channel = channels->GetItem(c);
    int uses = 0;
    for (int i = 0; i < Count(); ++i)
      uses += GetItem(i) != link && GetItem(i)->GetChannel() == channel;
    if (bestUses < 0 || uses < bestUses) {
      best = channel;
      bestUses = uses;
    }
  }
  link->SetChannel(best);
  scope->RedrawAll();
}

TTrelDisplayChannelLink* TTrelDisplayChannelLinks::AddNew() {
  auto* scope = dynamic_cast<TTrelScope*>(Display());
  if (scope == nullptr || scope->GetChannels()->Count() == 0)
    return nullptr;
  return Add();
}

void TTrelDisplayChannelLinks::EnsureLink(TTrelDisplayChannel* channel) {
  for (int i = 0; i < Count(); ++i)
    if (GetItem(i)->GetChannel() == channel)
      return;
  Add()->SetChannel(channel);
}

void TTrelDisplayChannelLinks::RemoveChannel(TTrelDisplayChannel* channel) {
  for (int i = Count() - 1; i >= 0; --i)
    if (GetItem(i)->GetChannel() == channel)
      Delete(i);
}

void TTrelDisplayChannelLinks::DrawCrossings(TCanvas* canvas, bool trail, bool level,
                                             double value) {
  for (int i = 0; i < Count(); ++i) {
    TTrelDisplayChannelLink* link = GetItem(i);
    auto* channel = dynamic_cast<TTrelScopeChannel*>(link->GetChannel());
    if (channel == nullptr || !channel->GetVisible())
      continue;
    if (level) {
      channel->ForEachLevelCrossing(
          value,
          [&](void*, int x, double at, double crossing, int y) {
            link->Draw(canvas, trail, "%X", x, y, crossing, at);
          },
          nullptr);
    } else {
      channel->ForEachPositionCrossing(
          value,
          [&](void*, int x, double at, double crossing, int y) {
            link->Draw(canvas, trail, "%Y", x, y, at, crossing);
          },
          nullptr);
    }
  }
}

// ---------------------------------------------------------------------------
// Cursors

void TTrelDisplayCursorPosition::Assign(TPersistent* source) {
  auto* s = dynamic_cast<TTrelDisplayCursorPosition*>(source);
  if (s == nullptr)
    RaiseAssignError(source, this);
  SetX(s->x_);
  SetY(s->y_);
}

double TTrelDisplayCursorPosition::GetX() {
  TTrelScope* scope = owner_ != nullptr ? owner_->scope_ : nullptr;
  if (scope == nullptr)
    return x_;
  return Limit(x_, scope->GetXAxis()->RangeMin(), scope->GetXAxis()->RangeMax());
}

void TTrelDisplayCursorPosition::SetX(double v) {
  if (!std::isfinite(v))
    return;
  TTrelScope* scope = owner_ != nullptr ? owner_->scope_ : nullptr;
  if (scope != nullptr)
    v = std::min(v, scope->GetXAxis()->RangeMax());
  v = std::max(v, 0.0);
  v = SnapCursorValue(scope, true, v);
  if (v == x_ || !std::isfinite(v))
    return;
  x_ = v;
  if (scope != nullptr)
    scope->Invalidate();
}

void TTrelDisplayCursorPosition::SetY(double v) {
  if (!std::isfinite(v))
    return;
  TTrelScope* scope = owner_ != nullptr ? owner_->scope_ : nullptr;
  v = SnapCursorValue(scope, false, v);
  if (v == y_ || !std::isfinite(v))
    return;
  y_ = v;
  if (scope != nullptr)
    scope->Invalidate();
}

TTrelDisplayCursor::TTrelDisplayCursor(TCollection* collection)
    : TTrelOptionalDisplayCollectionItem(collection),
      scope_(dynamic_cast<TTrelScope*>(Display())),
      position_(Create<TTrelDisplayCursorPosition>(this)),
      channels_(Create<TTrelDisplayChannelLinks>(Display(), this)) {
  KESTRUNE_USAGE_CHECK(scope_ != nullptr, "a cursor belongs to a scope's cursors");
  channels_->PropName = "Channels";
  const int count = collection != nullptr ? collection->Count() : 1;
  SetName("Cursor" + std::to_string(count));
}

TTrelDisplayCursor::~TTrelDisplayCursor() {
  FreeAndNil(channels_);
  FreeAndNil(position_);
}

void TTrelDisplayCursor::BeforeDestruction() {
  // CursorRemoved shrinks the list: walk a copy.
  const std::vector<TTrelDisplayCursorLink*> links = links_;
  for (TTrelDisplayCursorLink* link : links)
    link->CursorRemoved(this);
  scope_->GetDataView()->ForgetItem(this);
  scope_->SetFullRedraw();
  scope_->Invalidate();
  inherited::BeforeDestruction();
}

void TTrelDisplayCursor::Changed() {
  scope_->RedrawAll();
}

void TTrelDisplayCursor::SetColor(TColor v) {
  if (v != color_) {
    color_ = v;
    scope_->Invalidate();
  }
}

void TTrelDisplayCursor::SetKind(TTrelDisplayCursorKind v) {
  if (v != kind_) {
    kind_ = v;
    scope_->Invalidate();
  }
}

bool TTrelDisplayCursor::IsLegendHighlighted() {
  TTrelScopeDataView* view = scope_->GetDataView();
  return (view->HighlightedItem() == this || view->DraggedCursor() == this) &&
         scope_->GetHighlighting()->GetCursors()->GetHiglightLegendButton();
}

void TTrelDisplayCursor::SetLegendHighlight(bool on) {
  TTrelScopeDataView* view = scope_->GetDataView();
  view->ShowLegendHighlight(this, on,
                            scope_->GetHighlighting()->GetCursors()->GetHiglightFromLegend());
}

bool TTrelDisplayCursor::IsUnderMouse() {
  return scope_->GetDataView()->DraggedCursor() == this;
}

void TTrelDisplayCursor::AddLink(TTrelDisplayCursorLink* link) {
  if (std::find(links_.begin(), links_.end(), link) == links_.end())
    links_.push_back(link);
}

void TTrelDisplayCursor::RemoveLink(TTrelDisplayCursorLink* link) {
  links_.erase(std::remove(links_.begin(), links_.end(), link), links_.end());
}

void TTrelDisplayCursor::Draw(TCanvas* canvas, const TTrelPlotFrame& frame) {
  if (!GetVisible())
    return;
  TTrelScopeDataView* view = scope_->GetDataView();
  if (auto* legend = dynamic_cast<TTrelDisplayCursor*>(view->LegendHighlightedItem())) {
    view->SetHighlightedItem(legend);
    view->HitDetail().CursorX = view->HitDetail().CursorY = true;
  }
  const TPlotMap map(scope_, frame);
  const TRect& own = map.Own();
  const bool dragged = view->DraggedCursor() == this;
  const bool flagX = view->HitDetail().CursorX;
  const bool flagY = view->HitDetail().CursorY;
  const std::int32_t px = map.XPixel(position_->GetX());
  const std::int32_t py = map.YPixel(position_->GetY());
  auto vline = [&](std::int32_t p) { map.Line(canvas, p, Add32(own.Top, 1), p, own.Bottom); };
  auto hline = [&](std::int32_t p) {
    map.Line(canvas, Add32(own.Left, 1), p, Add32(own.Right, -1), p);
  };
  if (view->HighlightedItem() == this || dragged) {
    const TColor flagged = scope_->GetHighlighting()->GetCursors()->GetColor();
    const TColor plain = dragged ? clOlive : clGreen;
    auto highlightV = [&] {
      if (HasVerticalLine()) {
        SetSolidPen(canvas, flagX ? flagged : plain, 3);
        vline(px);
      }
    };
    auto highlightH = [&] {
      if (HasHorizontalLine()) {
        SetSolidPen(canvas, flagY ? flagged : plain, 3);
        hline(py);
      }
    };
    // The flagged line lies on top; without a flag the horizontal one.
    if (flagX && !flagY) {
      highlightH();
      highlightV();
    } else {
      highlightV();
      highlightH();
    }
  }
  const TPoint mouse = view->LastMouse();
  const TPoint ownMouse = map.Own(mouse);
  TTrelDisplayTrails* trails = scope_->GetTrails();
  // The difference of a drag trail, in the trails' font on the display's
  // colour.
  auto differenceFont = [&] {
    canvas->SetFont(trails->GetFont());
    canvas->Brush()->SetColor(scope_->Color());
    canvas->Brush()->SetStyle(bsSolid);
  };
  if (HasVerticalLine()) {
    SetSolidPen(canvas, color_, 1);
    vline(px);
    channels_->DrawCrossings(canvas, false, false, position_->GetX());
    double value = 0.0;
    if (dragged && flagX && map.XAt(ownMouse.X, value)) {
      value = SnapCursorValue(scope_, true, Limit(value, frame.XMin, frame.XMax));
      const std::int32_t tp = map.XPixel(value);
      SetTrailPen(canvas, scope_);
      vline(tp);
      channels_->DrawCrossings(canvas, true, false, value);
      if (value != position_->GetX()) {
        if (!(flagX && flagY)) {
          SetSolidPen(canvas, trails->GetColor(), 1);
          map.Line(canvas, px, ownMouse.Y, tp, ownMouse.Y);
        }
        differenceFont();
        const std::string text = scope_->GetXAxis()->FormatLabel(value - position_->GetX());
        const std::int64_t middle = (static_cast<std::int64_t>(px) + tp) / 2;
        if (!map.Vertical())
          canvas->TextOut(Add32(middle, -canvas->TextWidth(text) / 2),
                          Add32(mouse.Y, -canvas->TextHeight(text)), text);
        else
          canvas->TextOut(Add32(mouse.X, 5), Add32(middle, -canvas->TextHeight("Xg") / 2), text);
      }
    }
  }
  if (HasHorizontalLine()) {
    SetSolidPen(canvas, color_, 1);
    hline(py);
    channels_->DrawCrossings(canvas, false, true, position_->GetY());
    double value = 0.0;
    if (dragged && flagY && map.YAt(ownMouse.Y, value)) {
      value = SnapCursorValue(scope_, false, value);
      const std::int32_t tp = map.YPixel(value);
      SetTrailPen(canvas, scope_);
      hline(tp);
      channels_->DrawCrossings(canvas, true, true, value);
      if (value != position_->GetY()) {
        if (!(flagX && flagY)) {
          SetSolidPen(canvas, trails->GetColor(), 1);
          map.Line(canvas, ownMouse.X, py, ownMouse.X, tp);
        }
        differenceFont();
        const std::string text = scope_->GetYAxis()->FormatLabel(value - position_->GetY());
        const std::int64_t middle = (static_cast<std::int64_t>(py) + tp) / 2;
        if (!map.Vertical())
          canvas->TextOut(Add32(mouse.X, 5), Add32(middle, -canvas->TextHeight("Xg") / 2), text);
        else
          canvas->TextOut(Add32(middle, -canvas->TextWidth(text) / 2),
                          Add32(mouse.Y, -canvas->TextHeight(text)), text);
      }
    }
  }
  SetSolidPen(canvas, canvas->Pen()->Color(), 1);
  canvas->Brush()->SetStyle(bsSolid);
}

bool TTrelDisplayCursor::HitTest(const TTrelPlotFrame& frame, int mouseX, int mouseY, bool& onX,
                                 bool& onY) {
  onX = onY = false;
  if (!GetVisible())
    return false;
  const TPlotMap map(scope_, frame);
  const TPoint m = map.Own({mouseX, mouseY});
  if (!map.Inside(m))
    return false;
  if (HasVerticalLine()) {
    const std::int64_t p = map.XPixel(position_->GetX());
    onX = p - 3 < m.X && m.X < p + 3;
  }
  if (HasHorizontalLine()) {
    const std::int64_t p = map.YPixel(position_->GetY());
    onY = p - 3 < m.Y && m.Y < p + 3;
  }
  return onX || onY;
}

void TTrelDisplayCursor::DoMouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (OnMouseDown)
    OnMouseDown(this, button, shift, x, y);
  if (OnClick)
    OnClick(this);
}

void TTrelDisplayCursor::MoveToMouse(bool moveX, bool moveY, const TTrelPlotFrame& frame,
                                     int mouseX, int mouseY) {
  const TPlotMap map(scope_, frame);
  const TPoint m = map.Own({mouseX, mouseY});
  const TTrelRealPoint old{position_->GetX(), position_->GetY()};
  TTrelRealPoint target = old;
  double value = 0.0;
  if (moveX && map.XAt(m.X, value))
    target.X = value;
  if (moveY && map.YAt(m.Y, value))
    target.Y = value;
  if (target.X == old.X && target.Y == old.Y)
    return;
  position_->SetX(target.X);
  position_->SetY(target.Y);
  auto* cursors = static_cast<TTrelDisplayCursors*>(Collection());
  if (cursors != nullptr && cursors->OnPositionChange)
    cursors->OnPositionChange(scope_, Index(), old, target);
}

TTrelDisplayCursors::TTrelDisplayCursors(TTrelDataDisplay* display)
    : TTrelDisplayCollection(display, TTrelDisplayCursor::StaticClass()) {}

TTrelDisplayCursor* TTrelDisplayCursors::GetItem(int index) const {
  return static_cast<TTrelDisplayCursor*>(Items(index));
}

void TTrelDisplayCursors::Update(TCollectionItem*) {
  if (auto* d = Display())
    d->Invalidate();
}

void TTrelDisplayCursors::ItemAdded(TVekExtCollectionItem* item) {
  auto* cursor = static_cast<TTrelDisplayCursor*>(item);
  cursor->SetColor(LeastUsedPaletteColor([this](TColor candidate) {
    int uses = 0;
    for (int i = 0; i < Count(); ++i)
      uses += GetItem(i)->GetStoredColor() == candidate;
    return uses;
  }));
  if (auto* d = Display())
    d->RedrawAll();
}

// ---------------------------------------------------------------------------
// Measurement line and selection

TTrelScopeMeasurementLine::TTrelScopeMeasurementLine() : label_(Create<TTrelMeasurementLabel>()) {
  label_->OnChange = TNotifyEvent(this, &TTrelScopeMeasurementLine::LabelChanged);
}

TTrelScopeMeasurementLine::~TTrelScopeMeasurementLine() {
  FreeAndNil(label_);
}

void TTrelScopeMeasurementLine::Assign(TPersistent* source) {
  auto* s = dynamic_cast<TTrelScopeMeasurementLine*>(source);
  if (s == nullptr)
    RaiseAssignError(source, this);
  x_ = s->x_;
  y_ = s->y_;
  color_ = s->color_;
  style_ = s->style_;
  mode_ = s->mode_;
  visible_ = s->visible_;
  label_->Assign(s->label_);
  Changed();
}

void TTrelScopeMeasurementLine::SetX(double v) {
  if (std::isfinite(v))
    Store(x_, std::clamp(v, -100.0, 100.0));
}

void TTrelScopeMeasurementLine::SetY(double v) {
  if (std::isfinite(v))
    Store(y_, std::clamp(v, -100.0, 100.0));
}

TTrelScopeSelection::TTrelScopeSelection() : brush_(Create<TBrush>()) {
  brush_->SetColor(clGray);
  brush_->OnChange = TNotifyEvent(this, &TTrelScopeSelection::BrushChanged);
}

TTrelScopeSelection::~TTrelScopeSelection() {
  FreeAndNil(brush_);
}

void TTrelScopeSelection::Assign(TPersistent* source) {
  auto* s = dynamic_cast<TTrelScopeSelection*>(source);
  if (s == nullptr)
    RaiseAssignError(source, this);
  visible_ = s->visible_;
  brush_->Assign(s->brush_);
  Changed();
}

// ---------------------------------------------------------------------------
// Cursor links

TTrelDisplayCursorLink::TTrelDisplayCursorLink(TCollection* collection)
    : TTrelDisplayCollectionItem(collection),
      scope_(dynamic_cast<TTrelScope*>(Display())),
      line_(Create<TTrelScopeMeasurementLine>()),
      selection_(Create<TTrelScopeSelection>()) {
  KESTRUNE_USAGE_CHECK(scope_ != nullptr, "a cursor link belongs to a scope's cursor links");
  line_->OnChange = TNotifyEvent(this, &TTrelDisplayCursorLink::PartChanged);
  selection_->OnChange = TNotifyEvent(this, &TTrelDisplayCursorLink::PartChanged);
  const int count = collection != nullptr ? collection->Count() : 1;
  SetName("Link" + std::to_string(count));
}

TTrelDisplayCursorLink::~TTrelDisplayCursorLink() {
  FreeAndNil(line_);
  FreeAndNil(selection_);
}

void TTrelDisplayCursorLink::BeforeDestruction() {
  TakeBegin(nullptr);
  TakeEnd(nullptr);
  scope_->GetDataView()->ForgetItem(this);
  scope_->SetFullRedraw();
  scope_->Invalidate();
  inherited::BeforeDestruction();
}

void TTrelDisplayCursorLink::PartChanged(TObject*) {
  scope_->Invalidate();
}

void TTrelDisplayCursorLink::Changed() {
  scope_->RedrawAll();
}

TColor TTrelDisplayCursorLink::GetColor() {
  return line_->GetVisible() ? line_->GetColor() : GetDrawColor();
}

TColor TTrelDisplayCursorLink::GetDrawColor() {
  return selection_->GetVisible() ? selection_->GetBrush()->Color() : line_->GetColor();
}

bool TTrelDisplayCursorLink::GetVisible() {
  return begin_ != nullptr && end_ != nullptr && begin_->GetVisible() && end_->GetVisible() &&
         (line_->GetVisible() || selection_->GetVisible());
}

bool TTrelDisplayCursorLink::IsLegendHighlighted() {
  TTrelScopeDataView* view = scope_->GetDataView();
  return (view->HighlightedItem() == this || view->DraggedLink() == this) &&
         scope_->GetHighlighting()->GetCursorLinks()->GetHiglightLegendButton();
}

void TTrelDisplayCursorLink::SetLegendHighlight(bool on) {
  TTrelScopeDataView* view = scope_->GetDataView();
  view->ShowLegendHighlight(this, on,
                            scope_->GetHighlighting()->GetCursorLinks()->GetHiglightFromLegend());
}

bool TTrelDisplayCursorLink::IsUnderMouse() {
  return scope_->GetDataView()->DraggedLink() == this;
}

int TTrelDisplayCursorLink::GetBeginCursorIndex() const {
  return begin_ != nullptr ? begin_->Index() : -1;
}

int TTrelDisplayCursorLink::GetEndCursorIndex() const {
  return end_ != nullptr ? end_->Index() : -1;
}

void TTrelDisplayCursorLink::SetBeginCursorIndex(int index) {
  TTrelDisplayCursors* cursors = scope_->GetCursors();
  if (index >= 0 && index < cursors->Count())
    TakeBegin(cursors->GetItem(index));
}

void TTrelDisplayCursorLink::SetEndCursorIndex(int index) {
  TTrelDisplayCursors* cursors = scope_->GetCursors();
  if (index >= 0 && index < cursors->Count())
    TakeEnd(cursors->GetItem(index));
}

void TTrelDisplayCursorLink::Take(TTrelDisplayCursor*& end, TTrelDisplayCursor* cursor) {
  if (cursor == end)
    return;
  TTrelDisplayCursor* old = end;
  end = cursor;
  // The other end may hold the same cursor: it keeps the registration.
  if (old != nullptr && old != begin_ && old != end_)
    old->RemoveLink(this);
  if (cursor != nullptr)
    cursor->AddLink(this);
  scope_->Invalidate();
}

void TTrelDisplayCursorLink::TakeBegin(TTrelDisplayCursor* cursor) {
  Take(begin_, cursor);
}

void TTrelDisplayCursorLink::TakeEnd(TTrelDisplayCursor* cursor) {
  Take(end_, cursor);
}

void TTrelDisplayCursorLink::TakePending() {
  TTrelDisplayCursors* cursors = scope_->GetCursors();
  if (pending_begin_ >= 0 && pending_begin_ < cursors->Count()) {
    const int index = static_cast<int>(pending_begin_);
    pending_begin_ = -1;
    TakeBegin(cursors->GetItem(index));
  }
  if (pending_end_ >= 0 && pending_end_ < cursors->Count()) {
    const int index = static_cast<int>(pending_end_);
    pending_end_ = -1;
    TakeEnd(cursors->GetItem(index));
  }
}

void TTrelDisplayCursorLink::TakeStoredCursorIndices(std::int64_t beginIndex,
                                                     std::int64_t endIndex) {
  TTrelDisplayCursors* cursors = scope_->GetCursors();
  std::vector<TTrelDisplayCursor*> taken;
  auto read = [&](std::int64_t index, std::int64_t& pending, bool begin) {
    pending = -1;
    TTrelDisplayCursor* cursor = nullptr;
    if (index >= 0 && index < cursors->Count()) {
      cursor = cursors->GetItem(static_cast<int>(index));
      taken.push_back(cursor);
    } else if (index >= cursors->Count()) {
      pending = index;
    }
    begin ? TakeBegin(cursor) : TakeEnd(cursor);
  };
  read(beginIndex, pending_begin_, true);
  read(endIndex, pending_end_, false);
  for (TTrelDisplayCursor* cursor : taken) {
    const std::vector<TTrelDisplayCursorLink*> links = cursor->Links();
    for (TTrelDisplayCursorLink* link : links)
      link->TakePending();
  }
}

void TTrelDisplayCursorLink::DefineProperties(TFiler* filer) {
  inherited::DefineProperties(filer);
  filer->DefineProperty("CursorIndex_",
                        TMethod<void(TReader*)>(this, &TTrelDisplayCursorLink::ReadIndices),
                        TMethod<void(TWriter*)>(this, &TTrelDisplayCursorLink::WriteIndices), true);
}

void TTrelDisplayCursorLink::ReadIndices(TReader* reader) {
  reader->ReadListBegin();
  const std::int64_t b = reader->ReadInteger();
  const std::int64_t e = reader->ReadInteger();
  reader->ReadListEnd();
  TakeStoredCursorIndices(b, e);
}

void TTrelDisplayCursorLink::WriteIndices(TWriter* writer) {
  writer->WriteListBegin();
  writer->WriteInteger(GetBeginCursorIndex());
  writer->WriteInteger(GetEndCursorIndex());
  writer->WriteListEnd();
}

void TTrelDisplayCursorLink::CursorRemoved(TTrelDisplayCursor* cursor) {
  TTrelDisplayCursors* cursors = scope_->GetCursors();
  if (cursors == nullptr) {  // the scope is going away
    TakeBegin(begin_ == cursor ? nullptr : begin_);
    TakeEnd(end_ == cursor ? nullptr : end_);
    return;
  }
  auto replace = [&](bool begin) {
    TTrelDisplayCursor*& end = begin ? begin_ : end_;
    if (end != cursor)
      return;
    const int i = cursors->IndexOf(cursor);
    begin ? TakeBegin(nullptr) : TakeEnd(nullptr);
    TTrelDisplayCursor* avoid = begin ? end_ : begin_;
    auto usable = [&](int j) {
      TTrelDisplayCursor* c = cursors->GetItem(j);
      return c != cursor && c != avoid ? c : nullptr;
    };
    TTrelDisplayCursor* next = nullptr;
    for (int j = i + 1; j < cursors->Count() && next == nullptr; ++j)
      next = usable(j);
    for (int j = 0; j < i && next == nullptr; ++j)
      next = usable(j);
    begin ? TakeBegin(next) : TakeEnd(next);
  };
  replace(true);
  replace(false);
}

void TTrelDisplayCursorLink::Draw(int pass, TCanvas* canvas, const TTrelPlotFrame& frame) {
  if (begin_ == nullptr || end_ == nullptr || !begin_->GetVisible() || !end_->GetVisible())
    return;
  TTrelScopeDataView* view = scope_->GetDataView();
  if (auto* legend = dynamic_cast<TTrelDisplayCursorLink*>(view->LegendHighlightedItem())) {
    view->SetHighlightedItem(legend);
    view->HitDetail().LinkVertical = view->HitDetail().LinkHorizontal = true;
  }
  const bool alongX = begin_->HasVerticalLine() && end_->HasVerticalLine();
  const bool alongY = begin_->HasHorizontalLine() && end_->HasHorizontalLine();
  if (line_->GetVisible()) {
    if (alongX)
      DrawMeasurement(pass, canvas, frame, true, view->HitDetail().LinkHorizontal);
    if (alongY)
      DrawMeasurement(pass, canvas, frame, false, view->HitDetail().LinkVertical);
  }
  if (pass != 0 || !selection_->GetVisible())
    return;
  const TPlotMap map(scope_, frame);
  const TRect& own = map.Own();
  auto clampX = [&](double v) { return ClampPixel(map.XPixel(v), own.Left, own.Right); };
  auto clampY = [&](double v) { return ClampPixel(map.YPixel(v), own.Top, own.Bottom); };
  const double x1 = begin_->GetPosition()->GetX(), x2 = end_->GetPosition()->GetX();
  const double y1 = begin_->GetPosition()->GetY(), y2 = end_->GetPosition()->GetY();
  TRect area{};
  bool any = false;
  if (begin_->GetKind() == ckBoth && end_->GetKind() == ckBoth) {
    if (x1 != x2 && y1 != y2) {
      area = {clampX(x1), clampY(y1), clampX(x2), clampY(y2)};
      any = true;
    }
  } else if (alongY) {
    if (y1 != y2) {
      area = {own.Left, clampY(y1), own.Right, clampY(y2)};
      any = true;
    }
  } else if (alongX) {
    if (x1 != x2) {
      area = {clampX(x1), own.Top, clampX(x2), own.Bottom};
      any = true;
    }
  }
  if (!any)
    return;
  const TPoint a = map.Screen(area.Left, area.Top), b = map.Screen(area.Right, area.Bottom);
  canvas->SetBrush(selection_->GetBrush());
  canvas->FillRect(
      {std::min(a.X, b.X), std::min(a.Y, b.Y), std::max(a.X, b.X), std::max(a.Y, b.Y)});
  canvas->Brush()->SetBitmap(nullptr);
  canvas->Brush()->SetStyle(bsSolid);
}

void TTrelDisplayCursorLink::DrawMeasurement(int pass, TCanvas* canvas, const TTrelPlotFrame& frame,
                                             bool alongX, bool flagged) {
  TTrelScopeDataView* view = scope_->GetDataView();
  const TPlotMap map(scope_, frame);
  const TRect& own = map.Own();
  // "along" runs between the two cursors, "across" places the line.
  const std::int32_t lo = alongX ? own.Left : own.Top;
  const std::int32_t hi = alongX ? own.Right : own.Bottom;
  auto pixel = [&](double v) { return ClampPixel(alongX ? map.XPixel(v) : map.YPixel(v), lo, hi); };
  auto value = [&](TTrelDisplayCursor* c) {
    return alongX ? c->GetPosition()->GetX() : c->GetPosition()->GetY();
  };
  auto line = [&](std::int32_t p1, std::int32_t p2, std::int32_t across) {
    if (alongX)
      map.Line(canvas, p1, across, p2, across);
    else
      map.Line(canvas, across, p1, across, p2);
  };
  const double v1 = value(begin_), v2 = value(end_);
  const std::int32_t p1 = pixel(v1), p2 = pixel(v2);
  const std::int32_t across =
      alongX ? Add32(own.Top, RoundSaturated((100.0 - line_->GetY()) / 200.0 *
                                             (static_cast<double>(own.Bottom) - own.Top)))
             : Add32(own.Left, RoundSaturated((100.0 + line_->GetX()) / 200.0 *
                                              (static_cast<double>(own.Right) - own.Left)));
  const bool dragged = view->DraggedLink() == this;
  if ((view->HighlightedItem() == this || dragged) && flagged) {
    SetSolidPen(canvas, dragged ? clOlive : scope_->GetHighlighting()->GetCursorLinks()->GetColor(),
                3);
    line(p1, p2, across);
    SetSolidPen(canvas, canvas->Pen()->Color(), 1);
  }
  if (pass != 1)
    return;
  // A line running across the screen takes its label centred above it; one
  // running down the screen, 5 pixels to its right, centred by its height.
  const bool screenHorizontal = alongX != map.Vertical();
  TTrelDisplayAxis* axis = alongX ? static_cast<TTrelDisplayAxis*>(scope_->GetXAxis())
                                  : static_cast<TTrelDisplayAxis*>(scope_->GetYAxis());
  auto label = [&](const std::string& text, std::int32_t q1, std::int32_t q2, std::int32_t at) {
    const std::int64_t middle = (static_cast<std::int64_t>(q1) + q2) / 2;
    if (screenHorizontal)
      canvas->TextOut(Add32(middle, -canvas->TextWidth(text) / 2),
                      Add32(at, -canvas->TextHeight(text)), text);
    else
      canvas->TextOut(Add32(at, 5), Add32(middle, -canvas->TextHeight(text) / 2), text);
  };
  if (v1 != v2 && (p1 > lo || p2 > lo) && p1 < hi) {
    canvas->Pen()->SetColor(line_->GetColor());
    canvas->Pen()->SetStyle(line_->GetStyle());
    canvas->Pen()->SetMode(line_->GetMode());
    canvas->Pen()->SetWidth(1);
    canvas->Brush()->SetStyle(bsClear);
    line(p1, p2, across);
    SetSolidPen(canvas, canvas->Pen()->Color(), 1);
    TTrelMeasurementLabel* ml = line_->GetMeasurementLabel();
    canvas->SetFont(ml->GetFont());
    canvas->Brush()->SetColor(scope_->Color());
    canvas->Brush()->SetStyle(bsSolid);
    label(scope_->FormatValueLabel(ml->GetText(), "%V", axis->FormatLabel(std::abs(v2 - v1))), p1,
          p2, across);
  }
  const TPoint mouse = map.Own(view->LastMouse());
  if (dragged && flagged) {
    const std::int32_t at = alongX ? ClampPixel(mouse.Y, own.Top, Add32(own.Bottom, -1))
                                   : ClampPixel(mouse.X, own.Left, Add32(own.Right, -1));
    SetTrailPen(canvas, scope_);
    line(p1, p2, at);
  }
  TTrelDisplayCursor* moving = view->DraggedCursor();
  const bool flag = alongX ? view->HitDetail().CursorX : view->HitDetail().CursorY;
  if ((moving != begin_ && moving != end_) || !flag)
    return;
  double v = 0.0;
  if (!(alongX ? map.XAt(mouse.X, v) : map.YAt(mouse.Y, v)))
    return;
  if (alongX)
    v = Limit(v, frame.XMin, frame.XMax);
  v = SnapCursorValue(scope_, alongX, v);
  const double n1 = moving == begin_ ? v : v1;
  const double n2 = moving == end_ ? v : v2;
  if (n1 == n2)
    return;
  const std::int32_t q1 = pixel(n1), q2 = pixel(n2);
  const std::string text = axis->FormatLabel(std::abs(n2 - n1));
  canvas->SetFont(scope_->GetTrails()->GetFont());
  canvas->Font()->SetColor(scope_->GetTrails()->GetColor());
  const TRect& plot = frame.Plot;
  std::int32_t at;
  if (screenHorizontal) {
    // One label height and a pixel below, above near the bottom.
    const int th = canvas->TextHeight(text);
    at = Add32(across, th + 1);
    if (at >= (map.Vertical() ? plot.Right : plot.Bottom))
      at = Add32(across, -th - 1);
  } else {
    // The label's width and 5 pixels to the right, to the left near the
    // right edge.
    const int tw = canvas->TextWidth(text);
    at = Add32(across, tw + 5);
    if (Add32(at, tw + 5) >= (map.Vertical() ? plot.Bottom : plot.Right))
      at = Add32(across, -tw - 5);
  }
  SetTrailPen(canvas, scope_);
  line(q1, q2, at);
  SetSolidPen(canvas, canvas->Pen()->Color(), 1);
  canvas->Brush()->SetColor(scope_->Color());
  canvas->Brush()->SetStyle(bsSolid);
  label(text, q1, q2, at);
}

bool TTrelDisplayCursorLink::HitTest(const TTrelPlotFrame& frame, int mouseX, int mouseY,
                                     bool& onVertical, bool& onHorizontal) {
  onVertical = onHorizontal = false;
  if (begin_ == nullptr || end_ == nullptr || !begin_->GetVisible() || !end_->GetVisible() ||
      !line_->GetVisible())
    return false;
  const TPlotMap map(scope_, frame);
  const TRect& own = map.Own();
  const TPoint m = map.Own({mouseX, mouseY});
  if (!map.Inside(m))
    return false;
  auto between = [](std::int64_t v, std::int64_t a, std::int64_t b) {
    return std::min(a, b) < v && v < std::max(a, b);
  };
  if (begin_->HasVerticalLine() && end_->HasVerticalLine()) {
    const std::int64_t h =
        Add32(own.Top, RoundSaturated((100.0 - line_->GetY()) / 200.0 *
                                      (static_cast<double>(own.Bottom) - own.Top)));
    const std::int64_t p1 =
        ClampPixel(map.XPixel(begin_->GetPosition()->GetX()), own.Left, own.Right);
    const std::int64_t p2 =
        ClampPixel(map.XPixel(end_->GetPosition()->GetX()), own.Left, own.Right);
    onHorizontal = h - 3 < m.Y && m.Y < h + 3 && between(m.X, p1, p2);
  }
  if (begin_->HasHorizontalLine() && end_->HasHorizontalLine()) {
    const std::int64_t h =
        Add32(own.Left, RoundSaturated((100.0 + line_->GetX()) / 200.0 *
                                       (static_cast<double>(own.Right) - own.Left)));
    const std::int64_t p1 =
        ClampPixel(map.YPixel(begin_->GetPosition()->GetY()), own.Top, own.Bottom);
    const std::int64_t p2 =
        ClampPixel(map.YPixel(end_->GetPosition()->GetY()), own.Top, own.Bottom);
    onVertical = h - 3 < m.X && m.X < h + 3 && between(m.Y, p1, p2);
  }
  return onVertical || onHorizontal;
}

void TTrelDisplayCursorLink::MoveToMouse(bool moveX, bool moveY, const TTrelPlotFrame& frame,
                                         int mouseX, int mouseY) {
  const TPlotMap map(scope_, frame);
  const TRect& own = map.Own();
  const TPoint m = map.Own({mouseX, mouseY});
  const TTrelRealPoint old{line_->GetX(), line_->GetY()};
  TTrelRealPoint target = old;
  const double width = static_cast<double>(own.Right) - own.Left - 1;
  const double height = static_cast<double>(own.Bottom) - own.Top - 1;
  if (moveX && width > 0.0)
    target.X = (static_cast<double>(m.X) - own.Left) * 200.0 / width - 100.0;
  if (moveY && height > 0.0)
    target.Y = 100.0 - (static_cast<double>(m.Y) - own.Top) * 200.0 / height;
  if (target.X == old.X && target.Y == old.Y)
    return;
  line_->SetX(target.X);
  line_->SetY(target.Y);
  auto* links = static_cast<TTrelDisplayCursorLinks*>(Collection());
  if (links != nullptr && links->OnPositionChange)
    links->OnPositionChange(scope_, Index(), old, {line_->GetX(), line_->GetY()});
}

TTrelDisplayCursorLinks::TTrelDisplayCursorLinks(TTrelDataDisplay* display)
    : TTrelDisplayCollection(display, TTrelDisplayCursorLink::StaticClass()) {}

TTrelDisplayCursorLink* TTrelDisplayCursorLinks::GetItem(int index) const {
  return static_cast<TTrelDisplayCursorLink*>(Items(index));
}

void TTrelDisplayCursorLinks::Update(TCollectionItem*) {
  if (auto* d = Display())
    d->Invalidate();
}

void TTrelDisplayCursorLinks::ItemAdded(TVekExtCollectionItem* item) {
  auto* link = static_cast<TTrelDisplayCursorLink*>(item);
  auto* scope = dynamic_cast<TTrelScope*>(Display());
  if (scope == nullptr)
    return;
  const int n = scope->GetCursors()->Count();
  int bestI = -1, bestJ = -1, bestUses = -1;
  for (int i = 0; i < n; ++i) {
    for (int j = i + 1; j < n; ++j) {
      int uses = 0;
      for (int k = 0; k < Count(); ++k) {
        TTrelDisplayCursorLink* other = GetItem(k);
        if (other == link)
          continue;
        const int b = other->GetBeginCursorIndex(), e = other->GetEndCursorIndex();
        uses += (b == i && e == j) || (b == j && e == i);
      }
      if (bestUses < 0 || uses < bestUses) {
        bestI = i;
        bestJ = j;
        bestUses = uses;
      }
    }
  }
  if (bestI >= 0) {
    link->SetBeginCursorIndex(bestI);
    link->SetEndCursorIndex(bestJ);
  }
  scope->RedrawAll();
}

void RegisterTrelScopeCursorClasses() {
  using L = TTrelDisplayChannelLink;
  RegisterClass<L>()
      .Object("ChannelLabel", &L::GetChannelLabel)
      .Bool("UseChannelColor", &L::GetUseChannelColor, &L::SetUseChannelColor, true)
      .Object("Pen", &L::GetPen)
      .Integer("Size", &L::GetSize, &L::SetSize, 3)
      .Enum("Shape", &L::GetShape, &L::SetShape, MarkerShapeNames(), msCircle)
      .Object("Brush", &L::GetBrush);
  using P = TTrelDisplayCursorPosition;
  RegisterClass<P>().Double("X", &P::GetX, &P::SetX).Double("Y", &P::GetY, &P::SetY);
  using C = TTrelDisplayCursor;
  RegisterClass<C>()
      .Object("Position", &C::GetPosition)
      .MappedInteger("Color", &C::GetStoredColor, &C::SetColor, kColorIdents)
      .Collection("Channels", &C::GetChannels)
      .Enum("Kind", &C::GetKind, &C::SetKind, {"ckVertical", "ckHorizontal", "ckBoth"}, ckVertical)
      .Event("OnClick", &C::OnClick, &C::OnClick)
      .Event("OnMouseDown", &C::OnMouseDown, &C::OnMouseDown)
      .Event("OnMouseUp", &C::OnMouseUp, &C::OnMouseUp);
  using M = TTrelScopeMeasurementLine;
  RegisterClass<M>()
      .Double("X", &M::GetX, &M::SetX, 0.0)
      .Double("Y", &M::GetY, &M::SetY, 0.0)
      .MappedInteger("Color", &M::GetColor, &M::SetColor, kColorIdents, clYellow)
      .Enum("Style", &M::GetStyle, &M::SetStyle, PenStyleNames(), psDot)
      .Enum("Mode", &M::GetMode, &M::SetMode, PenModeNames(), pmCopy)
      .Object("MeasurementLabel", &M::GetMeasurementLabel)
      .Bool("Visible", &M::GetVisible, &M::SetVisible, true);
  using S = TTrelScopeSelection;
  RegisterClass<S>()
      .Bool("Visible", &S::GetVisible, &S::SetVisible, false)
      .Object("Brush", &S::GetBrush);
  using K = TTrelDisplayCursorLink;
  RegisterClass<K>()
      .Object("MeasurementLine", &K::GetMeasurementLine)
      .Object("Selection", &K::GetSelection);
}

void TTrelDisplayChannelLink::SkipChannel(TReader* reader) {
  reader->SkipValue();
}
