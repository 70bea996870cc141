#include "scope/TrelScopeChannel.h"

#include <algorithm>
#include <cmath>

#include "Vek/VekPinList.h"
#include "platform/classes/Streaming.h"
#include "platform/classes/TypInfo.h"
#include "platform/rtl/ScopeExit.h"
#include "scope/TrelScope.h"
#include "scope/TrelScopePalette.h"
#include "scope/TrelScopeRoutines.h"
#include "signal/primitives/TrelScopeDispatcher.h"

namespace {

constexpr double kGapMarker = 1.7e308;

std::int32_t Add32(std::int64_t a, std::int64_t b) {
  return ClampToInt32(a + b);
}

}  // namespace

// ---------------------------------------------------------------------------
// Points

TTrelScopePoints::TTrelScopePoints(TTrelScope* owner)
    : owner_(owner), brush_(Create<TBrush>()), pen_(Create<TPen>()) {
  brush_->SetColor(clRed);
  pen_->SetColor(clRed);
  brush_->OnChange = TNotifyEvent(this, &TTrelScopePoints::PartChanged);
  pen_->OnChange = TNotifyEvent(this, &TTrelScopePoints::PartChanged);
}

TTrelScopePoints::~TTrelScopePoints() {
  FreeAndNil(brush_);
  FreeAndNil(pen_);
}

void TTrelScopePoints::Repaint() {
  if (owner_ != nullptr)
    owner_->Invalidate();
}

void TTrelScopePoints::Assign(TPersistent* source) {
  auto* s = dynamic_cast<TTrelScopePoints*>(source);
  if (s == nullptr)
    RaiseAssignError(source, this);
  visible_ = s->visible_;
  shape_ = s->shape_;
  size_ = s->size_;
  use_channel_color_ = s->use_channel_color_;
  brush_->Assign(s->brush_);
  pen_->Assign(s->pen_);
  Repaint();
}

void TTrelScopePoints::DefineProperties(TFiler* filer) {
  filer->DefineProperty("Color", TMethod<void(TReader*)>(this, &TTrelScopePoints::ReadColor), {},
                        false);
}

void TTrelScopePoints::ReadColor(TReader* reader) {
  reader->ReadListBegin();
  pen_->SetColor(static_cast<TColor>(reader->ReadInteger()));
  brush_->SetColor(static_cast<TColor>(reader->ReadInteger()));
  reader->ReadListEnd();
}

void TTrelScopePoints::SetVisible(bool v) {
  if (v != visible_) {
    visible_ = v;
    Repaint();
  }
}
void TTrelScopePoints::SetShape(TTrelScopePointsShape v) {
  if (v != shape_) {
    shape_ = v;
    Repaint();
  }
}
void TTrelScopePoints::SetSize(std::uint32_t v) {
  v = v == 0 ? 1 : v;
  if (v != size_) {
    size_ = v;
    Repaint();
  }
}
void TTrelScopePoints::SetUseChannelColor(bool v) {
  if (v != use_channel_color_) {
    use_channel_color_ = v;
    Repaint();
  }
}

// ---------------------------------------------------------------------------
// Display channel

TTrelDisplayChannel::TTrelDisplayChannel(TCollection* collection)
    : TTrelOptionalDisplayCollectionItem(collection) {}

void TTrelDisplayChannel::SetColor(TColor v) {
  if (v == color_)
    return;
  color_ = v;
  if (auto* d = Display())
    d->RedrawAll();
}

void TTrelDisplayChannel::SetWidth(int v) {
  v = std::clamp(v, 1, 2000);
  if (v == width_)
    return;
  width_ = v;
  if (auto* d = Display())
    d->RedrawAll();
}

bool TTrelDisplayChannel::IsLegendHighlighted() {
  auto* chart = dynamic_cast<TTrelDataChart*>(Display());
  return chart != nullptr && chart->GetDataView()->HighlightedItem() == this &&
         chart->GetHighlighting()->GetChannels()->GetHiglightLegendButton();
}

void TTrelDisplayChannel::SetLegendHighlight(bool on) {
  auto* chart = dynamic_cast<TTrelDataChart*>(Display());
  if (chart == nullptr)
    return;
  TTrelScopeDataView* view = chart->GetDataView();
  view->ShowLegendHighlight(this, on,
                            chart->GetHighlighting()->GetChannels()->GetHiglightFromLegend());
}

void TTrelDisplayChannel::BeforeDestruction() {
  while (!links_.empty()) {
    TTrelDisplayChannelLink* link = links_.back();
    links_.pop_back();
    link->channel_ = nullptr;
    link->Free();
  }
  inherited::BeforeDestruction();
}

void TTrelDisplayChannel::AddLink(TTrelDisplayChannelLink* link) {
  if (std::find(links_.begin(), links_.end(), link) == links_.end())
    links_.push_back(link);
}

void TTrelDisplayChannel::RemoveLink(TTrelDisplayChannelLink* link) {
  links_.erase(std::remove(links_.begin(), links_.end(), link), links_.end());
}

// ---------------------------------------------------------------------------
// Scope channel: life cycle

TTrelScopeChannel::TTrelScopeChannel(TCollection* collection)
    : TTrelDisplayChannel(collection),
      scaled_x_(TTrelRealBuffer::CreateEmpty()),
      x_work_(TTrelRealBuffer::CreateEmpty()),
      pixel_x_(TTrelIntegerBuffer::CreateEmpty()),
      pixel_y_(TTrelIntegerBuffer::CreateEmpty()) {
  auto* channels = dynamic_cast<TTrelScopeChannels*>(collection);
  scope_ = channels != nullptr ? channels->Scope() : nullptr;
  KESTRUNE_USAGE_CHECK(scope_ != nullptr, "a scope channel belongs to a scope's channels");
  data_ = Create<TTrelChannelData>(scope_->SizeLimitCell(), scope_->FullRedrawCell());
  points_ = Create<TTrelScopePoints>(scope_);
  markers_ = Create<TTrelScopeChannelMarkers>(scope_, this);
}

void TTrelScopeChannel::AfterConstruction() {
  inherited::AfterConstruction();
  input_pin_ = Create<TTrelVekComboRealIntSinkPin>(
      scope_, TVekNotifyHandler(this, &TTrelScopeChannel::ProcessPinData));
  TVekPinList* pins = scope_->GetInputPins();
  const std::string name = "Channel" + std::to_string(pins->GetCount());
  SetName(name);
  pins->AddNamedPin(input_pin_, name);
}

void TTrelScopeChannel::BeforeDestruction() {
  if (input_pin_ != nullptr) {
    input_pin_->DisconnectAll();
    TVekPinList* pins = scope_->GetInputPins();
    if (pins != nullptr && pins->IndexOfPin(input_pin_) >= 0)
      pins->RemovePin(input_pin_);  // the list owns and frees it
    else
      input_pin_->Free();
    input_pin_ = nullptr;
  }
  scope_->GetDataView()->ForgetItem(this);
  scope_->SetFullRedraw();
  inherited::BeforeDestruction();
}

TTrelScopeChannel::~TTrelScopeChannel() {
  FreeAndNil(markers_);
  FreeAndNil(points_);
  FreeAndNil(data_);
}

void TTrelScopeChannel::Assign(TPersistent* source) {
  if (auto* s = dynamic_cast<TTrelScopeChannel*>(source)) {
    data_->ShareFrom(*s->data_);
    scope_->AxesDataChanged();
    scaled_x_ = TTrelRealBuffer::CreateShared(s->scaled_x_.get());
    SetColor(s->color_);
    return;
  }
  inherited::Assign(source);
}

void TTrelScopeChannel::Changed() {
  if (input_pin_ != nullptr) {
    TVekPinList* pins = scope_->GetInputPins();
    const int index = Index();
    if (index >= 0 && index < pins->GetCount() && pins->GetPinName(index) != GetName())
      pins->SetPinName(index, GetName());
  }
  scope_->RedrawAll();
}

void TTrelScopeChannel::SetIndex(int index) {
  const int from = Index();
  if (from >= 0 && input_pin_ != nullptr) {
    const int to = std::clamp(index, 0, Collection()->Count() - 1);
    TVekPinList* pins = scope_->GetInputPins();
    // Neighbour by neighbour: the pins between shift by one place, as the
    // channels between do.
    if (to != from && pins->IndexOfPin(input_pin_) == from && to < pins->GetCount()) {
      const int step = to > from ? 1 : -1;
      for (int i = from; i != to; i += step)
        pins->ExchangePins(i, i + step);
    }
  }
  inherited::SetIndex(index);
}

void TTrelScopeChannel::SetChannelMode(TTrelScopeChannelMode v) {
  if (v != mode_) {
    mode_ = v;
    scope_->Invalidate();
  }
}

void TTrelScopeChannel::SetShadeMode(TTrelChannelShadeMode v) {
  if (v != shade_) {
    shade_ = v;
    scope_->Invalidate();
  }
}

void TTrelScopeChannel::SetPoints(TTrelScopePoints* v) {
  points_->Assign(v);
}

TTrelScopeChannels* TTrelScopeChannel::Channels() const {
  return static_cast<TTrelScopeChannels*>(Collection());
}

// ---------------------------------------------------------------------------
// Intake and commit

bool TTrelScopeChannel::ProcessPinData(IVekBasicPin*, const TGUID& streamType, std::uint8_t,
                                       IVekNotifyOperation* operation) {
  data_->ProcessOperation(streamType, operation);
  return false;
}

TTrelChannelData::TPendingStream TTrelScopeChannel::ApplyPendingStream() {
  TTrelChannelData::TPendingStream pending = data_->TakePendingStream();
  if (pending.Started) {
    sample_rate_ = pending.SampleRate;
    is_spectrum_ = pending.IsSpectrum;
    is_intensity_ = pending.IsIntensity;
    cache_.Valid = false;
  }
  return pending;
}

void TTrelScopeChannel::CommitData() {
  data_->Commit();
  if (DisplayedY()->GetCount() == 0) {
    pixel_x_ = TTrelIntegerBuffer::CreateEmpty();
    pixel_y_ = TTrelIntegerBuffer::CreateEmpty();
    cache_.Valid = false;
  }
  was_changed_ = true;
}

// ---------------------------------------------------------------------------
// Drawing

TPoint TTrelScopeChannel::ScreenPoint(std::int32_t px, std::int32_t py) const {
  return scope_->IsVertical() ? TPoint{py, px} : TPoint{px, py};
}

std::int32_t TTrelScopeChannel::ZeroLine(const TRect& plot, std::int32_t offset) const {
  return scope_->IsVertical() ? Add32(static_cast<std::int64_t>(plot.Right) - 1, -offset)
                              : Add32(plot.Bottom, -static_cast<std::int64_t>(offset));
}

void TTrelScopeChannel::DrawChannel(TCanvas* canvas, const TRect& plot, double scale,
                                    std::int32_t offset, bool logarithmic, double xMin,
                                    double xMax) {
  if (!GetVisible())
    return;
  // Shared references: a commit from inside a handler leaves these valid.
  IPtr<ITrelRealBuffer> displayedY(DisplayedY());
  IPtr<ITrelRealBuffer> displayedX(DisplayedX());
  IPtr<ITrelRealBuffer> work(data_->CommittedY());
  const std::int32_t n = displayedY->GetCount();
  if (n == 0)
    return;
  const bool vertical = scope_->IsVertical();
  const std::int32_t span = vertical ? plot.Bottom - plot.Top : plot.Right - plot.Left;
  const std::int32_t edge = vertical ? plot.Top : plot.Left;
  if (OnChannelDraw)
    CallChannelDraw(displayedY.get(), n);
  MapX(displayedX.get(), n, span, edge, xMin, xMax);
  MapY(displayedY.get(), work.get(), n, plot, scale, offset, logarithmic);
  RecordDrawnExtents(plot, offset, n);

  const TDrawnBuffers drawn{displayedX, displayedY, pixel_x_, pixel_y_};
  TTrelScopeDataView* view = scope_->GetDataView();
  TTrelChannelItemHighlighting* hl = scope_->GetHighlighting()->GetChannels();
  if ((view->LegendHighlightedItem() == this && hl->GetHiglightFromLegend()) ||
      (view->HighlightedItem() == this && hl->GetHiglightFromMouse()))
    DrawTrace(canvas, true, plot, offset, drawn);
  DrawTrace(canvas, false, plot, offset, drawn);
  // The markers read the buffers this drawing holds, whatever a handler committed meanwhile.
  markers_->Draw(canvas, drawn.PixelX->GetData(), drawn.PixelY->GetData(), drawn.Y->GetData(), n);
  canvas->Pen()->SetWidth(1);
}

void TTrelScopeChannel::CallChannelDraw(ITrelRealBuffer* displayedY, std::int32_t n) {
  // Cleared before the call: a commit from inside the handler marks the
  // next drawing's data as changed.
  const bool changed = was_changed_;
  was_changed_ = false;
  scope_->SetChannelDrawFlag(true);
  kestrune::ScopeExit clearFlag([&] { scope_->SetChannelDrawFlag(false); });
  OnChannelDraw(scope_, Index(), displayedY->GetData(), n, changed);
}

void TTrelScopeChannel::MapX(ITrelRealBuffer* displayedX, std::int32_t n, std::int32_t span,
                             std::int32_t edge, double xMin, double xMax) {
  const std::int32_t xCount = std::min(n, displayedX->GetCount());
  const double dataXMin = xCount > 0 ? displayedX->Min() : 0.0;
  const double dataXMax = xCount > 0 ? displayedX->Max() : 0.0;
  TTrelScopeXAxis* xAxis = scope_->GetXAxis();
  double ratio = 1.0;
  const double sampleStart = scope_->GetSampleStart();
  const double sampleEnd = scope_->GetSampleEnd();
  if (sampleEnd != sampleStart) {
    ratio = (xAxis->TraceMax() - xAxis->TraceMin()) / (sampleEnd - sampleStart);
    if (!std::isfinite(ratio))
      ratio = 1.0;
  }
  if (!cache_.Valid || cache_.Count != n || cache_.Span != span || cache_.Edge != edge ||
      cache_.XMin != dataXMin || cache_.XMax != dataXMax || cache_.ViewMin != xMin ||
      cache_.ViewMax != xMax || cache_.Ratio != ratio || pixel_x_->GetCount() != n) {
    double minimum = xMin, maximum = xMax;
    if (maximum == minimum) {
      maximum += 1.0;
      minimum -= 1.0;
    }
    double range = maximum - minimum;
    if (range == 0.0 || !std::isfinite(range))
      range = 1.0;
    const double factor = (static_cast<double>(span) - 1.0) / range;
    const std::int32_t shift = RoundSaturated(factor * minimum);
    if (scaled_x_->GetCount() != n)
      scaled_x_ = TTrelRealBuffer::CreateCount(n);
    if (x_work_->GetCount() != n)
      x_work_ = TTrelRealBuffer::CreateCount(n);
    if (pixel_x_->GetCount() != n)
      pixel_x_ = TTrelIntegerBuffer::CreateCount(n);
    double* scaled = scaled_x_->GetWriteData();
    double* tmp = x_work_->GetWriteData();
    std::int32_t* px = pixel_x_->GetWriteData();
    // The primitives below cannot fail: n >= 1 and every block holds n values.
    if (xCount < n) {
      // Fewer X values than samples: the missing ones continue the indices.
      std::copy(displayedX->GetData(), displayedX->GetData() + xCount, tmp);
      for (std::int32_t i = xCount; i < n; ++i)
        tmp[i] = static_cast<double>(i);
      VectorMulConstantDouble(tmp, ratio, scaled, n);
    } else {
      VectorMulConstantDouble(displayedX->GetData(), ratio, scaled, n);
    }
    VectorMulConstantDouble(scaled, factor, tmp, n);
    VectorConvertDoubleToInt32Scaled(tmp, px, n, 1, 0);
    VectorAddConstantInt32InPlaceScaled(Add32(edge, -static_cast<std::int64_t>(shift)), px, n, 0);
    cache_ =
        TDrawCache{true, n, span, edge, dataXMin, dataXMax, xMin, xMax, ratio, 0, 0, 0, 0, {}, 0};
  }
}

void TTrelScopeChannel::MapY(ITrelRealBuffer* displayedY, ITrelRealBuffer* work, std::int32_t n,
                             const TRect& plot, double scale, std::int32_t offset,
                             bool logarithmic) {
  if (pixel_y_->GetCount() != n)
    pixel_y_ = TTrelIntegerBuffer::CreateCount(n);
  if (work->GetCount() != n)
    work->SetCount(n, false);
  // The primitives below cannot fail: n >= 1 and every block holds n values.
  const double* y = displayedY->GetData();
  double* v = work->GetReadData();  // every element is written below
  if (logarithmic) {
    for (std::int32_t i = 0; i < n; ++i)
      v[i] = SignedLog10(y[i]) * scale;
  } else if (scale > 1.0) {
    for (std::int32_t i = 0; i < n; ++i)
      v[i] = (y[i] == kGapMarker || y[i] == -kGapMarker) ? y[i] : y[i] * scale;
  } else {
    VectorMulConstantDouble(y, scale, v, n);
  }
  auto* asFloat = reinterpret_cast<float*>(v);
  std::int32_t* py = pixel_y_->GetWriteData();
  VectorConvertDoubleToFloat(v, asFloat, n);
  VectorConvertFloatToInt32Scaled(asFloat, py, n, 1, 0);
  VectorSubFromConstantInt32InPlaceScaled(ZeroLine(plot, offset), py, n, 0);
  VectorClampAboveInt32InPlace(py, n, 10000000);
}

void TTrelScopeChannel::RecordDrawnExtents(const TRect& plot, std::int32_t offset, std::int32_t n) {
  const std::int32_t* px = pixel_x_->GetData();
  const std::int32_t* py = pixel_y_->GetData();
  const auto [pxMin, pxMax] = std::minmax_element(px, px + n);
  const auto [pyMin, pyMax] = std::minmax_element(py, py + n);
  cache_.PixelXMin = *pxMin;
  cache_.PixelXMax = *pxMax;
  cache_.PixelYMin = *pyMin;
  cache_.PixelYMax = *pyMax;
  cache_.Plot = plot;
  cache_.Offset = offset;
}

TRect TTrelScopeChannel::BarRect(std::int32_t x, std::int32_t y, int width, bool highlighted,
                                 const TRect& plot, std::int32_t offset) const {
  const bool vertical = scope_->IsVertical();
  const bool reversed = scope_->GetYAxis()->GetReversed();
  const int half = width / 2;
  const int lift = highlighted ? 1 : 0;
  const std::int32_t low = Add32(x, -half);
  const std::int32_t high = Add32(x, static_cast<std::int64_t>(width) - half);
  std::int32_t a, b;  // along the value direction
  if (shade_ == csmZero) {
    const std::int32_t z = ZeroLine(plot, offset);
    if (z <= y) {
      a = z;
      b = Add32(y, 1 + lift);
    } else {
      a = Add32(z, 1);
      b = Add32(y, -lift);
    }
  } else {
    std::int32_t base;
    if (!vertical)
      base = (shade_ == csmTop) != reversed ? plot.Top : Add32(plot.Bottom, 1);
    else
      base = (shade_ == csmTop) != reversed ? plot.Left : plot.Right;
    a = base;
    b = Add32(y, -lift);
  }
  return vertical ? TRect{a, low, b, high} : TRect{low, a, high, b};
}

void TTrelScopeChannel::DrawTrace(TCanvas* canvas, bool highlighted, const TRect& plot,
                                  std::int32_t offset, const TDrawnBuffers& drawn) {
  const std::int32_t n = drawn.PixelY->GetCount();
  const std::int32_t* px = drawn.PixelX->GetData();
  const std::int32_t* py = drawn.PixelY->GetData();
  const TColor colour = highlighted ? scope_->GetHighlighting()->GetChannels()->GetColor() : color_;
  const int penWidth = highlighted ? width_ + 2 : width_;
  canvas->Pen()->SetColor(colour);
  canvas->Brush()->SetColor(colour);
  canvas->Pen()->SetWidth(penWidth);
  switch (mode_) {
    case cmLine: {
      points_buffer_.resize(static_cast<std::size_t>(n));
      for (std::int32_t i = 0; i < n; ++i)
        points_buffer_[static_cast<std::size_t>(i)] = ScreenPoint(px[i], py[i]);
      if (n > 1)
        canvas->Polyline(points_buffer_.data(), n);
      const TPoint last = points_buffer_.back();
      canvas->SetPixel(last.X, last.Y, color_);
      break;
    }
    case cmPoint:
      if (points_->GetVisible())
        break;
      if (!highlighted) {
        for (std::int32_t i = 0; i < n; ++i) {
          const TPoint p = ScreenPoint(px[i], py[i]);
          canvas->SetPixel(p.X, p.Y, color_);
        }
      } else {
        canvas->Pen()->SetWidth(1);
        for (std::int32_t i = 0; i < n; ++i) {
          const TPoint p = ScreenPoint(px[i], py[i]);
          canvas->Rectangle(Add32(p.X, -1), Add32(p.Y, -1), Add32(p.X, 2), Add32(p.Y, 2));
        }
      }
      break;
    case cmBar: {
      canvas->Pen()->SetWidth(1);
      const int w = highlighted ? width_ + 2 : width_;
      const double* xs = drawn.X->GetData();
      const double* ys = drawn.Y->GetData();
      const std::int32_t xCount = drawn.X->GetCount();
      for (std::int32_t i = 0; i < n; ++i) {
        if (OnSampleDraw) {
          bool defaultDraw = true;
          OnSampleDraw(this, i < xCount ? xs[i] : i, ys[i], canvas, highlighted, defaultDraw);
          if (!defaultDraw)
            continue;
        }
        canvas->Rectangle(BarRect(px[i], py[i], w, highlighted, plot, offset));
      }
      break;
    }
  }
  if (points_->GetVisible())
    DrawPointMarkers(canvas, highlighted, px, py, n);
}

void TTrelScopeChannel::DrawPointMarkers(TCanvas* canvas, bool highlighted, const std::int32_t* px,
                                         const std::int32_t* py, std::int32_t n) {
  canvas->Pen()->SetWidth(1);
  const TColor savedPen = canvas->Pen()->Color();
  const TColor savedBrush = canvas->Brush()->Color();
  const TPenStyle savedStyle = canvas->Pen()->Style();
  const TBrushStyle savedBrushStyle = canvas->Brush()->Style();
  const TTrelScopePointsShape shape = points_->GetShape();
  int inset = 0;
  if (highlighted) {
    if (shape == psPlus || shape == psCross || shape == psStar)
      canvas->Pen()->SetWidth(3);
    inset = 1;
  } else if (points_->GetUseChannelColor()) {
    canvas->Pen()->SetColor(color_);
    canvas->Brush()->SetColor(color_);
  } else {
    canvas->SetPen(points_->GetPen());
    canvas->SetBrush(points_->GetBrush());
  }
  const std::int64_t r = points_->GetSize();
  for (std::int32_t i = 0; i < n; ++i) {
    const TPoint c = ScreenPoint(px[i], py[i]);
    const std::int64_t grow = highlighted ? 1 : 0;
    const TRect box{Add32(c.X, -r - grow), Add32(c.Y, -r - grow), Add32(c.X, r + 1 + grow),
                    Add32(c.Y, r + 1 + grow)};
    auto plus = [&] {
      canvas->MoveTo(c.X, box.Top);
      canvas->LineTo(c.X, Add32(box.Bottom, -inset));
      canvas->MoveTo(box.Left, c.Y);
      canvas->LineTo(Add32(box.Right, -inset), c.Y);
    };
    auto cross = [&] {
      canvas->MoveTo(box.Left, box.Top);
      canvas->LineTo(Add32(box.Right, -inset), Add32(box.Bottom, -inset));
      canvas->MoveTo(Add32(box.Right, -1), box.Top);
      canvas->LineTo(Add32(box.Left, -1 + inset), Add32(box.Bottom, -inset));
    };
    switch (shape) {
      case psCircle:
        canvas->Ellipse(box);
        break;
      case psSquare:
        canvas->Rectangle(box);
        break;
      case psDiamond: {
        const TPoint poly[4] = {{c.X, box.Top},
                                {box.Left, c.Y},
                                {c.X, Add32(box.Bottom, -1)},
                                {Add32(box.Right, -1), c.Y}};
        canvas->Polygon(poly, 4);
        break;
      }
      case psPlus:
        plus();
        break;
      case psCross:
        cross();
        break;
      case psStar:
        plus();
        cross();
        break;
    }
  }
  canvas->Pen()->SetColor(savedPen);
  canvas->Brush()->SetColor(savedBrush);
  canvas->Pen()->SetStyle(savedStyle);
  canvas->Brush()->SetStyle(savedBrushStyle);
}

void TTrelScopeChannel::DrawMouseHitPoint(TCanvas* canvas) {
  TTrelScopeDataView* view = scope_->GetDataView();
  TTrelChannelMouseHitPoint* hit = scope_->GetHighlighting()->GetMouseHitPoint();
  if (view->HighlightedItem() != this || !hit->GetEnabled())
    return;
  canvas->Brush()->SetColor(scope_->Color());
  canvas->Brush()->SetStyle(bsSolid);
  canvas->Pen()->SetColor(hit->GetUseChannelColor() ? color_ : hit->GetColor());
  canvas->Pen()->SetWidth(1);
  view->DrawHitPoint(canvas, view->HitPoint(), hit);
}

double TTrelScopeChannel::GetHitDistance(int x, int y, TPoint& hitPoint, double& fraction,
                                         int& beginIndex, int& endIndex) {
  double result = 10000.0;
  const std::int32_t n = std::min(pixel_x_->GetCount(), pixel_y_->GetCount());
  if (!GetVisible() || DisplayedY()->GetCount() == 0 || n == 0 || !cache_.Valid)
    return result;
  const bool vertical = scope_->IsVertical();
  const std::int32_t* px = pixel_x_->GetData();
  const std::int32_t* py = pixel_y_->GetData();
  // The pointer in (sample direction, value direction) coordinates.
  const std::int64_t sx = vertical ? y : x;
  const std::int64_t sy = vertical ? x : y;
  auto inExtent = [&](std::int64_t grow) {
    return sx >= cache_.PixelXMin - grow && sx <= cache_.PixelXMax + grow &&
           sy >= cache_.PixelYMin - grow && sy <= cache_.PixelYMax + grow;
  };
  if (mode_ == cmPoint || points_->GetVisible()) {
    const std::int64_t r =
        points_->GetVisible() ? std::max<std::int64_t>(2, points_->GetSize()) : 2;
    if (inExtent(r)) {
      for (std::int32_t i = 0; i < n; ++i) {
        if (sx >= px[i] - r && sx < px[i] + r && sy >= py[i] - r && sy < py[i] + r) {
          hitPoint = ScreenPoint(px[i], py[i]);
          fraction = 0.0;
          beginIndex = endIndex = i;
          return 0.0;
        }
      }
    }
  }
  if (mode_ == cmLine) {
    const std::int64_t half = (width_ + 1) / 2;
    if (n >= 2 && inExtent(3 + half)) {
      const TTrelIntPoint p{static_cast<std::int32_t>(sx), static_cast<std::int32_t>(sy)};
      double best = 10000.0;
      for (std::int32_t i = 0; i + 1 < n; ++i) {
        const std::int64_t ax = px[i], bx = px[i + 1], ay = py[i], by = py[i + 1];
        const std::int64_t reach = 3 + half;
        if ((sx > ax + reach && sx > bx + reach) || (sx < ax - reach && sx < bx - reach) ||
            (sy > ay + reach && sy > by + reach) || (sy < ay - reach && sy < by - reach))
          continue;
        TTrelIntPoint nearest;
        double t = 0.0;
        const double d = DistanceToSegment(p, {px[i], py[i]}, {px[i + 1], py[i + 1]}, nearest, t);
        // Wide pens are at least as easy to hit as thin ones: the tolerance
        // grows by half the pen width, and so does what is taken off.
        if (d < 3.0 + static_cast<double>(half) && d < best) {
          best = d;
          hitPoint = ScreenPoint(nearest.X, nearest.Y);
          fraction = t;
          beginIndex = i;
          endIndex = i + 1;
          result = std::max(0.0, d - static_cast<double>(half));
        }
      }
    }
    return result;
  }
  if (mode_ == cmBar) {
    const std::int32_t z = ZeroLine(cache_.Plot, cache_.Offset);
    for (std::int32_t i = 0; i < n; ++i) {
      TRect b = BarRect(px[i], py[i], width_, false, cache_.Plot, cache_.Offset);
      if (b.Left > b.Right)
        std::swap(b.Left, b.Right);
      if (b.Top > b.Bottom)
        std::swap(b.Top, b.Bottom);
      if (x >= b.Left && x < b.Right && y >= b.Top && y < b.Bottom) {
        beginIndex = endIndex = i;
        hitPoint = vertical ? TPoint{x, px[i]} : TPoint{px[i], y};
        const double along = vertical ? x : y;
        fraction = py[i] == z ? 0.0 : (py[i] - along) / (static_cast<double>(py[i]) - z);
        return 0.0;
      }
    }
  }
  return result;
}

void TTrelScopeChannel::ForEachLevelCrossing(double level, const TTrelCrossingCallback& callback,
                                             void* context) {
  // Own references: the callback may lead to a commit.
  const IPtr<ITrelRealBuffer> ys(DisplayedY());
  const IPtr<ITrelIntegerBuffer> pixelX(pixel_x_), pixelY(pixel_y_);
  const std::int32_t n = std::min(ys->GetCount(), pixelY->GetCount());
  if (n < 2 || pixelX->GetCount() < n)
    return;
  const bool log = scope_->GetYAxis()->GetLogarithmic();
  auto value = [&](std::int32_t i) {
    const double v = ys->GetData()[i];
    return log ? SignedLog10(v) : v;
  };
  const double target = log ? SignedLog10(level) : level;
  TTrelScopeXAxis* xAxis = scope_->GetXAxis();
  const std::int32_t* px = pixelX->GetData();
  const std::int32_t* py = pixelY->GetData();
  for (std::int32_t i = 0; i + 1 < n; ++i) {
    const double a = value(i), b = value(i + 1);
    const TPoint pa = ScreenPoint(px[i], py[i]), pb = ScreenPoint(px[i + 1], py[i + 1]);
    if (a < target && target < b) {
      const double t = (target - a) / (b - a);
      callback(context, Add32(pa.X, RoundSaturated((pb.X - static_cast<double>(pa.X)) * t)), target,
               xAxis->SamplesToAxis(i + t),
               Add32(Add32(pa.Y, RoundSaturated((pb.Y - static_cast<double>(pa.Y)) * t)), -1));
    } else if (a > target && target > b) {
      const double t = (target - b) / (a - b);
      callback(context, Add32(pb.X, RoundSaturated((pa.X - static_cast<double>(pb.X)) * t)), target,
               xAxis->SamplesToAxis(i + 1 - t),
               Add32(Add32(pb.Y, RoundSaturated((pa.Y - static_cast<double>(pb.Y)) * t)), -1));
    } else if (a == target) {
      callback(context, pa.X, target, xAxis->SamplesToAxis(i), pa.Y);
    }
  }
}

void TTrelScopeChannel::ForEachPositionCrossing(double position,
                                                const TTrelCrossingCallback& callback,
                                                void* context) {
  // Own references: the callback may lead to a commit.
  const IPtr<ITrelRealBuffer> scaledX(scaled_x_), displayedY(DisplayedY());
  const IPtr<ITrelIntegerBuffer> pixelX(pixel_x_), pixelY(pixel_y_);
  const std::int32_t n = std::min(
      {scaledX->GetCount(), displayedY->GetCount(), pixelY->GetCount(), pixelX->GetCount()});
  if (n < 2)
    return;
  const double* xs = scaledX->GetData();
  const double* ys = displayedY->GetData();
  const std::int32_t* px = pixelX->GetData();
  const std::int32_t* py = pixelY->GetData();
  TTrelScopeYAxis* yAxis = scope_->GetYAxis();
  const bool log = yAxis->GetLogarithmic();
  for (std::int32_t i = 0; i + 1 < n; ++i) {
    const TPoint pa = ScreenPoint(px[i], py[i]), pb = ScreenPoint(px[i + 1], py[i + 1]);
    double t;
    if (xs[i] < position && position < xs[i + 1])
      t = (position - xs[i]) / (xs[i + 1] - xs[i]);
    else if (xs[i] > position && position > xs[i + 1])
      t = (xs[i] - position) / (xs[i] - xs[i + 1]);
    else if (xs[i] == position) {
      callback(context, pa.X, position, ys[i], pa.Y);
      continue;
    } else {
      continue;
    }
    const TPoint p{Add32(pa.X, RoundSaturated((pb.X - static_cast<double>(pa.X)) * t)),
                   Add32(pa.Y, RoundSaturated((pb.Y - static_cast<double>(pa.Y)) * t))};
    double v = ys[i] + (ys[i + 1] - ys[i]) * t;
    if (log)
      v = scope_->PixelToValue(scope_->IsVertical() ? p.X : p.Y, scope_->GetDataView()->Rect(),
                               yAxis->RangeMax(), yAxis->RangeMin());
    callback(context, p.X, position, v, p.Y);
  }
}

// ---------------------------------------------------------------------------
// Collection

TTrelScopeChannels::TTrelScopeChannels(TTrelScope* scope)
    : TTrelDisplayCollection(scope, TTrelScopeChannel::StaticClass()), scope_(scope) {}

TTrelScopeChannel* TTrelScopeChannels::GetItem(int index) const {
  return static_cast<TTrelScopeChannel*>(Items(index));
}

void TTrelScopeChannels::Update(TCollectionItem*) {
  scope_->Invalidate();
}

void TTrelScopeChannels::ItemAdded(TVekExtCollectionItem* item) {
  auto* channel = static_cast<TTrelScopeChannel*>(item);
  channel->SetColor(LeastUsedPaletteColor([this](TColor candidate) {
    int uses = 0;
    for (int i = 0; i < Count(); ++i)
      uses += GetItem(i)->GetStoredColor() == candidate;
    return uses;
  }));
  scope_->RedrawAll();
}

bool TTrelScopeChannels::HitTest(int x, int y, int& channelIndex, TPoint& hitPoint,
                                 double& fraction, int& beginSampleIndex, int& endSampleIndex) {
  double best = 10000.0;
  channelIndex = 0;
  const int count = Count();
  if (count > 0) {
    best = GetItem(count - 1)->GetHitDistance(x, y, hitPoint, fraction, beginSampleIndex,
                                              endSampleIndex);
    channelIndex = count - 1;
  }
  for (int i = count - 2; i >= 0 && best != 0.0; --i) {
    TPoint p;
    double f = 0.0;
    int b = 0, e = 0;
    const double d = GetItem(i)->GetHitDistance(x, y, p, f, b, e);
    if (d < best) {
      best = d;
      hitPoint = p;
      fraction = f;
      beginSampleIndex = b;
      endSampleIndex = e;
      channelIndex = i;
    }
  }
  return best < 3.0;
}

void RegisterTrelScopeChannelClasses() {
  using P = TTrelScopePoints;
  RegisterClass<P>()
      .Bool("Visible", &P::GetVisible, &P::SetVisible, false)
      .Enum("Shape", &P::GetShape, &P::SetShape,
            {"psCircle", "psSquare", "psDiamond", "psPlus", "psCross", "psStar"}, psCircle)
      .Integer("Size", &P::GetSize, &P::SetSize, 3)
      .Bool("UseChannelColor", &P::GetUseChannelColor, &P::SetUseChannelColor, true)
      .Object("Brush", &P::GetBrush)
      .Object("Pen", &P::GetPen);
  using D = TTrelDisplayChannel;
  RegisterClass<D>()
      .MappedInteger("Color", &D::GetStoredColor, &D::SetColor, kColorIdents)
      .Integer("Width", &D::GetWidth, &D::SetWidth, 1);
  using C = TTrelScopeChannel;
  RegisterClass<C>()
      .Object("InputPin", &C::GetInputPin)
      .Enum("ChannelMode", &C::GetChannelMode, &C::SetChannelMode, {"cmLine", "cmBar", "cmPoint"},
            cmLine)
      .Enum("ShadeMode", &C::GetShadeMode, &C::SetShadeMode, {"csmZero", "csmTop", "csmBottom"},
            csmZero)
      .Object("Points", &C::GetPoints)
      .Collection("Markers", &C::GetMarkers)
      .Event("OnSampleDraw", &C::OnSampleDraw, &C::OnSampleDraw)
      .Event("OnChannelDraw", &C::OnChannelDraw, &C::OnChannelDraw);
}
