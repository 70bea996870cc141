#include "scope/TrelScopeSettings.h"

#include "platform/classes/Streaming.h"
#include "platform/classes/TypInfo.h"

namespace {

// `source` as a T, or the assignment error.
template <class T>
T* Source(TPersistent* source, TPersistent* dest) {
  T* s = dynamic_cast<T*>(source);
  if (s == nullptr)
    RaiseAssignError(source, dest);
  return s;
}

}  // namespace

void SetScopeFont(TFont* font, TColor color, int points, bool bold) {
  font->SetName("Arial");
  font->SetColor(color);
  font->SetSize(points);
  font->SetStyle(bold ? FontStyleBit(fsBold) : TFontStyles{0});
}

void TTrelDisplayViewSize::Assign(TPersistent* source) {
  auto* s = Source<TTrelDisplayViewSize>(source, this);
  auto_size_ = s->auto_size_;
  size_ = s->size_;
  Changed();
}

TTrelBasicOptionalLabel::TTrelBasicOptionalLabel() : font_(Create<TFont>()) {
  SetScopeFont(font_, clWhite, kScopeDefaultFontSize + 2, false);
  font_->OnChange = TNotifyEvent(this, &TTrelBasicOptionalLabel::FontChanged);
}

TTrelBasicOptionalLabel::~TTrelBasicOptionalLabel() {
  FreeAndNil(font_);
}

void TTrelBasicOptionalLabel::Assign(TPersistent* source) {
  auto* s = Source<TTrelBasicOptionalLabel>(source, this);
  visible_ = s->visible_;
  font_->Assign(s->font_);  // fires Changed
}

void TTrelOptionalLabel::Assign(TPersistent* source) {
  if (auto* s = dynamic_cast<TTrelOptionalLabel*>(source))
    SetText(s->text_);
  inherited::Assign(source);
}

TTrelDisplayLabel::TTrelDisplayLabel() {
  font_->SetStyle(FontStyleBit(fsBold));
}

TTrelMeasurementLabel::TTrelMeasurementLabel() {
  font_->SetSize(kScopeDefaultFontSize);
}

void TTrelMajorTicksParam::Assign(TPersistent* source) {
  mode_ = Source<TTrelMajorTicksParam>(source, this)->mode_;
  Changed();
}

void TTrelTicksStart::Assign(TPersistent* source) {
  if (auto* s = dynamic_cast<TTrelTicksStart*>(source))
    start_from_ = s->start_from_;
  inherited::Assign(source);
}

TTrelMajorTicks::TTrelMajorTicks() : start_from_(Create<TTrelTicksStart>()) {
  start_from_->OnChange = TNotifyEvent(this, &TTrelMajorTicks::StartChanged);
}

TTrelMajorTicks::~TTrelMajorTicks() {
  FreeAndNil(start_from_);
}

void TTrelMajorTicks::Assign(TPersistent* source) {
  if (auto* s = dynamic_cast<TTrelMajorTicks*>(source)) {
    step_ = s->step_;
    start_from_->Assign(s->start_from_);
  }
  inherited::Assign(source);
}

void TTrelMinorTicks::Assign(TPersistent* source) {
  count_ = Source<TTrelMinorTicks>(source, this)->count_;
  Changed();
}

void TTrelScopeAutoScalingSpace::Assign(TPersistent* source) {
  auto* s = Source<TTrelScopeAutoScalingSpace>(source, this);
  space_ = s->space_;
  threshold_ = s->threshold_;
  Changed();
}

TTrelScopeAutoScaling::TTrelScopeAutoScaling()
    : above_(Create<TTrelScopeAutoScalingSpace>()),
      below_(Create<TTrelScopeAutoScalingSpace>()),
      maxima_(TTrelRealBuffer::CreateCount(20)),
      minima_(TTrelRealBuffer::CreateCount(20)) {
  above_->OnChange = TNotifyEvent(this, &TTrelScopeAutoScaling::SpaceChanged);
  below_->OnChange = TNotifyEvent(this, &TTrelScopeAutoScaling::SpaceChanged);
  maxima_->Zero();
  minima_->Zero();
}

TTrelScopeAutoScaling::~TTrelScopeAutoScaling() {
  FreeAndNil(above_);
  FreeAndNil(below_);
}

void TTrelScopeAutoScaling::Assign(TPersistent* source) {
  auto* s = Source<TTrelScopeAutoScaling>(source, this);
  enabled_ = s->enabled_;
  above_->Assign(s->above_);
  below_->Assign(s->below_);
  SetMaxHistory(s->max_history_);
  Changed();
}

void TTrelScopeAutoScaling::SetSpaceAbove(TTrelScopeAutoScalingSpace* v) {
  above_->Assign(v);
  Changed();
}

void TTrelScopeAutoScaling::SetSpaceBelow(TTrelScopeAutoScalingSpace* v) {
  below_->Assign(v);
  Changed();
}

void TTrelScopeAutoScaling::SetMaxHistory(std::uint32_t v) {
  if (v == max_history_)
    return;
  max_history_ = v;
  // An empty ring is an empty buffer: SetCount(0) keeps a count.
  const auto count = static_cast<std::int32_t>(v);
  maxima_ = count == 0 ? TTrelRealBuffer::CreateEmpty() : TTrelRealBuffer::CreateCount(count);
  minima_ = count == 0 ? TTrelRealBuffer::CreateEmpty() : TTrelRealBuffer::CreateCount(count);
  if (count > 0) {
    maxima_->Zero();
    minima_->Zero();
  }
  if (OnHistoryChanged)
    OnHistoryChanged(this);
  Changed();
}

void TTrelBasicScopeAxisValue::Assign(TPersistent* source) {
  auto* s = Source<TTrelBasicScopeAxisValue>(source, this);
  auto_scale_ = s->auto_scale_;
  value_ = s->value_;
  Changed();
}

void TTrelBasicScopeAxisValue::DefineProperties(TFiler* filer) {
  filer->DefineProperty("Value",
                        TMethod<void(TReader*)>(this, &TTrelBasicScopeAxisValue::ReadValue),
                        TMethod<void(TWriter*)>(this, &TTrelBasicScopeAxisValue::WriteValue), true);
}

void TTrelBasicScopeAxisValue::ReadValue(TReader* reader) {
  SetValue(reader->ReadFloat());
}

void TTrelBasicScopeAxisValue::WriteValue(TWriter* writer) {
  writer->WriteFloat(value_);
}

TTrelScopeAxisValue::TTrelScopeAxisValue() : tick_(Create<TTrelBasicScopeAxisValue>()) {
  tick_->OnChange = TNotifyEvent(this, &TTrelScopeAxisValue::TickChanged);
}

TTrelScopeAxisValue::~TTrelScopeAxisValue() {
  FreeAndNil(tick_);
}

void TTrelScopeAxisValue::Assign(TPersistent* source) {
  if (auto* s = dynamic_cast<TTrelScopeAxisValue*>(source))
    tick_->Assign(s->tick_);
  inherited::Assign(source);
}

void TTrelScopeAxisValue::SetTick(TTrelBasicScopeAxisValue* v) {
  tick_->Assign(v);
}

void TTrelMaxScopeAxisValue::Assign(TPersistent* source) {
  if (auto* s = dynamic_cast<TTrelMaxScopeAxisValue*>(source))
    mode_ = s->mode_;
  inherited::Assign(source);
}

void TTrelScopeMaxSample::Assign(TPersistent* source) {
  auto* s = Source<TTrelScopeMaxSample>(source, this);
  autosize_ = s->autosize_;
  value_ = s->value_;
  Changed();
}

void TTrelScopeXAxisUnitScale::Assign(TPersistent* source) {
  auto* s = Source<TTrelScopeXAxisUnitScale>(source, this);
  auto_scale_ = s->auto_scale_;
  exponent_ = s->exponent_;
  Changed();
}

void TTrelDisplayAxisCursorSettings::Assign(TPersistent* source) {
  snap_ = Source<TTrelDisplayAxisCursorSettings>(source, this)->snap_;
  Changed();
}

void TTrelDisplayZoom::Assign(TPersistent* source) {
  auto* s = Source<TTrelDisplayZoom>(source, this);
  MouseZoom = s->MouseZoom;
  KeyboardZoom = s->KeyboardZoom;
  SelectionColor = s->SelectionColor;
  MouseWheelEnabled = s->MouseWheelEnabled;
  HoldOnZoom = s->HoldOnZoom;
}

void TTrelDisplayZoomList::Push(double xMin, double xMax, double yMin, double yMax, bool zoomed) {
  const TItem item{xMin, xMax, yMin, yMax, zoomed};
  if (!items_.empty() && items_.back() == item)
    return;
  items_.push_back(item);
  if (items_.size() > 100)
    items_.erase(items_.begin());
}

bool TTrelDisplayZoomList::Pop(double& xMin, double& xMax, double& yMin, double& yMax,
                               bool& zoomed) {
  if (items_.empty()) {
    xMin = xMax = yMin = yMax = 0.0;
    zoomed = false;
    return false;
  }
  const TItem item = items_.back();
  items_.pop_back();
  xMin = item.XMin;
  xMax = item.XMax;
  yMin = item.YMin;
  yMax = item.YMax;
  zoomed = item.Zoomed;
  return true;
}

void TTrelDisplayItemHighlighting::Assign(TPersistent* source) {
  auto* s = Source<TTrelDisplayItemHighlighting>(source, this);
  legend_button_ = s->legend_button_;
  from_legend_ = s->from_legend_;
  from_mouse_ = s->from_mouse_;
  color_ = s->color_;
  Changed();
}

TTrelChannelMouseHitPoint::TTrelChannelMouseHitPoint() : label_(Create<TTrelMeasurementLabel>()) {
  label_->OnChange = TNotifyEvent(this, &TTrelChannelMouseHitPoint::LabelChanged);
}

TTrelChannelMouseHitPoint::~TTrelChannelMouseHitPoint() {
  FreeAndNil(label_);
}

void TTrelChannelMouseHitPoint::Assign(TPersistent* source) {
  auto* s = Source<TTrelChannelMouseHitPoint>(source, this);
  enabled_ = s->enabled_;
  color_ = s->color_;
  use_channel_color_ = s->use_channel_color_;
  label_->Assign(s->label_);
}

TTrelDisplayHighlighting::TTrelDisplayHighlighting()
    : channels_(Create<TTrelChannelItemHighlighting>()),
      markers_(Create<TTrelDisplayItemHighlighting>()),
      cursors_(Create<TTrelDisplayItemHighlighting>()),
      cursor_links_(Create<TTrelDisplayItemHighlighting>()),
      hit_point_(Create<TTrelChannelMouseHitPoint>()) {
  for (TTrelScopeSetting* part :
       {static_cast<TTrelScopeSetting*>(channels_), static_cast<TTrelScopeSetting*>(markers_),
        static_cast<TTrelScopeSetting*>(cursors_), static_cast<TTrelScopeSetting*>(cursor_links_),
        static_cast<TTrelScopeSetting*>(hit_point_)})
    part->OnChange = TNotifyEvent(this, &TTrelDisplayHighlighting::PartChanged);
}

TTrelDisplayHighlighting::~TTrelDisplayHighlighting() {
  FreeAndNil(channels_);
  FreeAndNil(markers_);
  FreeAndNil(cursors_);
  FreeAndNil(cursor_links_);
  FreeAndNil(hit_point_);
}

void TTrelDisplayHighlighting::Assign(TPersistent* source) {
  auto* s = Source<TTrelDisplayHighlighting>(source, this);
  channels_->Assign(s->channels_);
  markers_->Assign(s->markers_);
  cursors_->Assign(s->cursors_);
  cursor_links_->Assign(s->cursor_links_);
  hit_point_->Assign(s->hit_point_);
}

TTrelDisplayTrails::TTrelDisplayTrails() : font_(Create<TFont>()) {
  SetScopeFont(font_, clWhite, kScopeDefaultFontSize, false);
  font_->OnChange = TNotifyEvent(this, &TTrelDisplayTrails::FontChanged);
}

TTrelDisplayTrails::~TTrelDisplayTrails() {
  FreeAndNil(font_);
}

void TTrelDisplayTrails::Assign(TPersistent* source) {
  auto* s = Source<TTrelDisplayTrails>(source, this);
  color_ = s->color_;
  font_->Assign(s->font_);
}

void RegisterTrelScopeSettingsClasses() {
  using V = TTrelDisplayViewSize;
  RegisterClass<V>()
      .Bool("AutoSize", &V::GetAutoSize, &V::SetAutoSize, true)
      .Integer("Size", &V::GetSize, &V::SetSize, 100);
  using L = TTrelBasicOptionalLabel;
  RegisterClass<L>()
      .Object("Font", &L::GetFont)
      .Bool("Visible", &L::GetVisible, &L::SetVisible, true);
  RegisterClass<TTrelOptionalLabel>().String("Text", &TTrelOptionalLabel::GetText,
                                             &TTrelOptionalLabel::SetText);
  RegisterClass<TTrelDisplayLabel>();
  RegisterClass<TTrelMeasurementLabel>();
  const TNameTable tickModes = {"mtmAuto", "mtmCustom", "mtmOverride"};
  RegisterClass<TTrelMajorTicksParam>().Enum("Mode", &TTrelMajorTicksParam::GetMode,
                                             &TTrelMajorTicksParam::SetMode, tickModes, mtmAuto);
  RegisterClass<TTrelTicksStart>().Double("StartFrom", &TTrelTicksStart::GetStartFrom,
                                          &TTrelTicksStart::SetStartFrom, 0.0);
  RegisterClass<TTrelMajorTicks>()
      .Double("Step", &TTrelMajorTicks::GetStep, &TTrelMajorTicks::SetStep, 10.0)
      .Object("StartFrom", &TTrelMajorTicks::GetStartFrom);
  RegisterClass<TTrelMinorTicks>().Integer("Count", &TTrelMinorTicks::GetCount,
                                           &TTrelMinorTicks::SetCount, 0);
  using S = TTrelScopeAutoScalingSpace;
  RegisterClass<S>()
      .Integer("Space", &S::GetSpace, &S::SetSpace, 20)
      .Integer("Threshold", &S::GetThreshold, &S::SetThreshold, 10);
  using A = TTrelScopeAutoScaling;
  RegisterClass<A>()
      .Bool("Enabled", &A::GetEnabled, &A::SetEnabled, true)
      .Object("SpaceAbove", &A::GetSpaceAbove)
      .Object("SpaceBelow", &A::GetSpaceBelow)
      .Integer("MaxHistory", &A::GetMaxHistory, &A::SetMaxHistory, 20);
  using B = TTrelBasicScopeAxisValue;
  RegisterClass<B>().Bool("AutoScale", &B::GetAutoScale, &B::SetAutoScale, true);
  RegisterClass<TTrelScopeAxisValue>().Object("Tick", &TTrelScopeAxisValue::GetTick);
  RegisterClass<TTrelMaxScopeAxisValue>().Enum("Mode", &TTrelMaxScopeAxisValue::GetMode,
                                               &TTrelMaxScopeAxisValue::SetMode,
                                               {"mamValue", "mamOffset"}, mamValue);
  using M = TTrelScopeMaxSample;
  RegisterClass<M>()
      .Bool("Autosize", &M::GetAutosize, &M::SetAutosize, true)
      .Integer("Value", &M::GetValue, &M::SetValue, 1024);
  using U = TTrelScopeXAxisUnitScale;
  RegisterClass<U>()
      .Bool("AutoScale", &U::GetAutoScale, &U::SetAutoScale, true)
      .Integer("Exponent", &U::GetExponent, &U::SetExponent, 0);
  using C = TTrelDisplayAxisCursorSettings;
  RegisterClass<C>().Bool("SnapToSample", &C::GetSnapToSample, &C::SetSnapToSample, false);
  using Z = TTrelDisplayZoom;
  RegisterClass<Z>()
      .Bool("MouseZoom", &Z::MouseZoom, &Z::MouseZoom, true)
      .Bool("KeyboardZoom", &Z::KeyboardZoom, &Z::KeyboardZoom, true)
      .MappedInteger("SelectionColor", &Z::SelectionColor, &Z::SelectionColor, kColorIdents,
                     clWhite)
      .Bool("MouseWheelEnabled", &Z::MouseWheelEnabled, &Z::MouseWheelEnabled, true)
      .Bool("HoldOnZoom", &Z::HoldOnZoom, &Z::HoldOnZoom, true);
  using H = TTrelDisplayItemHighlighting;
  RegisterClass<H>()
      .Bool("HiglightLegendButton", &H::GetHiglightLegendButton, &H::SetHiglightLegendButton, true)
      .Bool("HiglightFromLegend", &H::GetHiglightFromLegend, &H::SetHiglightFromLegend, true)
      .Bool("HiglightFromMouse", &H::GetHiglightFromMouse, &H::SetHiglightFromMouse, true)
      .MappedInteger("Color", &H::GetColor, &H::SetColor, kColorIdents, clLime);
  RegisterClass<TTrelChannelItemHighlighting>().Bool("HiglightFromMouse", &H::GetHiglightFromMouse,
                                                     &H::SetHiglightFromMouse, false);
  using P = TTrelChannelMouseHitPoint;
  RegisterClass<P>()
      .Bool("Enabled", &P::GetEnabled, &P::SetEnabled, true)
      .MappedInteger("Color", &P::GetColor, &P::SetColor, kColorIdents, clRed)
      .Bool("UseChannelColor", &P::GetUseChannelColor, &P::SetUseChannelColor, true)
      .Object("PointLabel", &P::GetPointLabel);
  using D = TTrelDisplayHighlighting;
  RegisterClass<D>()
      .Object("Channels", &D::GetChannels)
      .Object("Markers", &D::GetMarkers)
      .Object("Cursors", &D::GetCursors)
      .Object("CursorLinks", &D::GetCursorLinks)
      .Object("MouseHitPoint", &D::GetMouseHitPoint);
  using R = TTrelDisplayTrails;
  RegisterClass<R>()
      .MappedInteger("Color", &R::GetColor, &R::SetColor, kColorIdents, clWhite)
      .Object("Font", &R::GetFont);
}
