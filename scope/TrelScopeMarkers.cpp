#include "scope/TrelScopeMarkers.h"

#include <algorithm>

#include "platform/classes/Streaming.h"
#include "platform/classes/TypInfo.h"
#include "scope/TrelScope.h"
#include "scope/TrelScopePalette.h"
#include "scope/TrelScopeRoutines.h"

namespace {

std::int32_t Add32(std::int64_t a, std::int64_t b) {
  return ClampToInt32(a + b);
}

}  // namespace

const TNameTable& MarkerShapeNames() {
  static const TNameTable names = {
      "msPoint",         "msCircle", "msSquare",     "msDiamond",      "msPlus",
      "msCross",         "msStar",   "msTriangleUp", "msTriangleDown", "msTriangleLeft",
      "msTriangleRight", "msHLine",  "msVLine"};
  return names;
}

void DrawMarkerShape(TCanvas* canvas, TTrelDisplayMarkerShape shape, std::int32_t px,
                     std::int32_t py, std::int64_t size, std::int64_t grow, bool vertical,
                     bool lines) {
  const std::int32_t x = vertical ? py : px;
  const std::int32_t y = vertical ? px : py;
  const std::int64_t s = size + grow;
  const std::int64_t d = 2 * s;
  const std::int64_t g = grow;
  const TRect box{Add32(x, -s), Add32(y, -s), Add32(x, s + 1), Add32(y, s + 1)};
  auto line = [&](std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2) {
    canvas->MoveTo(x1, y1);
    canvas->LineTo(x2, y2);
  };
  auto polygon = [&](TPoint a, TPoint b, TPoint c) {
    const TPoint points[3] = {a, b, c};
    canvas->Polygon(points, 3);
  };
  auto vline = [&] { line(x, box.Top, x, Add32(box.Bottom, -g)); };
  auto hline = [&] { line(box.Left, y, Add32(box.Right, -g), y); };
  auto plus = [&] {
    vline();
    hline();
  };
  auto cross = [&] {
    line(box.Left, box.Top, Add32(box.Right, -g), Add32(box.Bottom, -g));
    line(Add32(box.Right, -1), box.Top, Add32(box.Left, -1 + g), Add32(box.Bottom, -g));
  };
  // The four triangles, by the direction their tip points to.
  auto up = [&] {
    polygon({x, Add32(y, -g)}, {Add32(x, -s), Add32(y, d - g)}, {Add32(x, s), Add32(y, d - g)});
  };
  auto down = [&] {
    polygon({x, Add32(y, g)}, {Add32(x, -s), Add32(y, -d + g)}, {Add32(x, s), Add32(y, -d + g)});
  };
  auto left = [&] {
    polygon({Add32(x, -g), y}, {Add32(x, d - g), Add32(y, -s)}, {Add32(x, d - g), Add32(y, s)});
  };
  auto right = [&] {
    polygon({Add32(x, g), y}, {Add32(x, -d + g), Add32(y, -s)}, {Add32(x, -d + g), Add32(y, s)});
  };
  switch (shape) {
    case msPoint:
      canvas->SetPixel(x, y, canvas->Pen()->Color());
      break;
    case msCircle:
      canvas->Ellipse(box);
      break;
    case msSquare:
      canvas->Rectangle(box);
      break;
    case msDiamond: {
      const TPoint points[4] = {
          {x, box.Top}, {box.Left, y}, {x, Add32(box.Bottom, -1)}, {Add32(box.Right, -1), y}};
      canvas->Polygon(points, 4);
      break;
    }
    case msPlus:
      plus();
      break;
    case msCross:
      cross();
      break;
    case msStar:
      plus();
      cross();
      break;
    case msTriangleUp:
      vertical ? left() : up();
      break;
    case msTriangleDown:
      vertical ? right() : down();
      break;
    case msTriangleLeft:
      vertical ? up() : left();
      break;
    case msTriangleRight:
      vertical ? down() : right();
      break;
    case msHLine:
      if (lines)
        vertical ? vline() : hline();
      break;
    case msVLine:
      if (lines)
        vertical ? hline() : vline();
      break;
  }
}

// ---------------------------------------------------------------------------
// Groups

TTrelDisplayMarkerGroup::TTrelDisplayMarkerGroup(TCollection* collection)
    : TTrelOptionalDisplayCollectionItem(collection),
      brush_(Create<TBrush>()),
      pen_(Create<TPen>()),
      labels_(Create<TTrelMeasurementLabel>()) {
  brush_->OnChange = TNotifyEvent(this, &TTrelDisplayMarkerGroup::PartChanged);
  pen_->OnChange = TNotifyEvent(this, &TTrelDisplayMarkerGroup::PartChanged);
  labels_->OnChange = TNotifyEvent(this, &TTrelDisplayMarkerGroup::PartChanged);
  const int count = collection != nullptr ? collection->Count() : 1;
  SetName("MarkerGroup" + std::to_string(count));
}

TTrelDisplayMarkerGroup::~TTrelDisplayMarkerGroup() {
  FreeAndNil(labels_);
  FreeAndNil(brush_);
  FreeAndNil(pen_);
}

void TTrelDisplayMarkerGroup::Changed() {
  if (auto* d = Display())
    d->RedrawAll();
}

void TTrelDisplayMarkerGroup::Repaint() {
  if (auto* d = Display())
    d->Invalidate();
}

void TTrelDisplayMarkerGroup::SetShape(TTrelDisplayMarkerShape v) {
  if (v != shape_) {
    shape_ = v;
    Repaint();
  }
}

void TTrelDisplayMarkerGroup::SetSize(std::uint32_t v) {
  if (v != size_) {
    size_ = v;
    Repaint();
  }
}

TTrelScopeMarkerGroup::TTrelScopeMarkerGroup(TCollection* collection)
    : TTrelDisplayMarkerGroup(collection) {
  scope_ = dynamic_cast<TTrelScope*>(Display());
  KESTRUNE_USAGE_CHECK(scope_ != nullptr, "a marker group belongs to a scope's marker groups");
}

void TTrelScopeMarkerGroup::BeforeDestruction() {
  scope_->SetFullRedraw();
  scope_->GetDataView()->ForgetItem(this);
  while (!markers_.empty()) {
    TTrelScopeChannelMarker* marker = markers_.back();
    markers_.pop_back();
    marker->group_ = nullptr;
    marker->Free();
  }
  inherited::BeforeDestruction();
}

bool TTrelScopeMarkerGroup::IsLegendHighlighted() {
  TTrelScopeDataView* view = scope_->GetDataView();
  return (view->HighlightedItem() == this || view->LegendMarkerGroup() == this) &&
         scope_->GetHighlighting()->GetMarkers()->GetHiglightLegendButton();
}

void TTrelScopeMarkerGroup::SetLegendHighlight(bool on) {
  TTrelScopeDataView* view = scope_->GetDataView();
  TTrelScopeMarkerGroup* group = this;
  if (on && !scope_->GetHighlighting()->GetMarkers()->GetHiglightFromLegend())
    return;
  if (!on)
    group = nullptr;
  if (view->LegendMarkerGroup() == group)
    return;  // the legend calls this at every move: repaint on changes only
  view->SetLegendMarkerGroup(group);
  view->Invalidate();
}

bool TTrelScopeMarkerGroup::HitTest(int x, int y, TTrelScopeChannelMarker*& marker) {
  if (!GetVisible())
    return false;
  for (TTrelScopeChannelMarker* m : markers_) {
    if (m->HitTest(x, y)) {
      marker = m;
      return true;
    }
  }
  return false;
}

TTrelScopeMarkerGroups::TTrelScopeMarkerGroups(TTrelScope* scope)
    : TTrelDisplayCollection(scope, TTrelScopeMarkerGroup::StaticClass()), scope_(scope) {}

TTrelScopeMarkerGroup* TTrelScopeMarkerGroups::GetItem(int index) const {
  return static_cast<TTrelScopeMarkerGroup*>(Items(index));
}

void TTrelScopeMarkerGroups::Update(TCollectionItem*) {
  scope_->Invalidate();
}

void TTrelScopeMarkerGroups::ItemAdded(TVekExtCollectionItem* item) {
  auto* group = static_cast<TTrelScopeMarkerGroup*>(item);
  const TColor colour = LeastUsedPaletteColor([this](TColor candidate) {
    int uses = 0;
    for (int i = 0; i < Count(); ++i)
      uses += GetItem(i)->GetBrush()->Color() == candidate;
    return uses;
  });
  group->GetPen()->SetColor(colour);
  group->GetBrush()->SetColor(colour);
  scope_->RedrawAll();
}

// ---------------------------------------------------------------------------
// Markers

TTrelDisplayMarker::TTrelDisplayMarker(TCollection* collection)
    : TTrelDisplayCollectionItem(collection) {}

void TTrelDisplayMarker::Changed() {
  if (auto* d = Display())
    d->RedrawAll();
}

TTrelScopeChannelMarker::TTrelScopeChannelMarker(TCollection* collection)
    : TTrelDisplayMarker(collection) {
  scope_ = dynamic_cast<TTrelScope*>(Display());
  KESTRUNE_USAGE_CHECK(scope_ != nullptr, "a marker belongs to a scope channel's markers");
  const int count = collection != nullptr ? collection->Count() : 1;
  SetName("Marker" + std::to_string(count));
  if (!scope_->ComponentState().Contains(csLoading))
    SetMarkerGroup(scope_->GetLastMarkerGroup());
}

void TTrelScopeChannelMarker::BeforeDestruction() {
  scope_->SetFullRedraw();
  scope_->GetDataView()->ForgetItem(this);
  SetMarkerGroup(nullptr);
  inherited::BeforeDestruction();
}

void TTrelScopeChannelMarker::DefineProperties(TFiler* filer) {
  inherited::DefineProperties(filer);
  filer->DefineProperty(
      "MarkerGroupIndex", TMethod<void(TReader*)>(this, &TTrelScopeChannelMarker::ReadGroupIndex),
      TMethod<void(TWriter*)>(this, &TTrelScopeChannelMarker::WriteGroupIndex), true);
  filer->DefineProperty(
      "MarkerGroup", TMethod<void(TReader*)>(this, &TTrelScopeChannelMarker::SkipGroup), {}, false);
}

void TTrelScopeChannelMarker::ReadGroupIndex(TReader* reader) {
  const std::int64_t index = reader->ReadInteger();
  if (scope_->ComponentState().Contains(csLoading)) {
    // The groups are read after the channels: Loaded applies it.
    has_pending_index_ = true;
    pending_index_ = index;
    return;
  }
  TakeGroupIndex(index);
}

void TTrelScopeChannelMarker::WriteGroupIndex(TWriter* writer) {
  writer->WriteInteger(group_ != nullptr ? scope_->GetMarkerGroups()->IndexOf(group_) : -1);
}

void TTrelScopeChannelMarker::TakeGroupIndex(std::int64_t index) {
  TTrelScopeMarkerGroups* groups = scope_->GetMarkerGroups();
  index = std::min<std::int64_t>(index, groups->Count() - 1);
  if (index >= 0)
    SetMarkerGroup(groups->GetItem(static_cast<int>(index)));
}

void TTrelScopeChannelMarker::ApplyPendingGroup() {
  if (has_pending_index_) {
    has_pending_index_ = false;
    TakeGroupIndex(pending_index_);
  }
  if (group_ == nullptr)
    SetMarkerGroup(scope_->GetLastMarkerGroup());
}

void TTrelScopeChannelMarker::SetMarkerGroup(TTrelScopeMarkerGroup* group) {
  if (group == group_)
    return;
  if (group_ != nullptr) {
    auto& list = group_->markers_;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
  }
  group_ = group;
  if (group_ != nullptr)
    group_->markers_.push_back(this);
  scope_->Invalidate();
}

void TTrelScopeChannelMarker::SetPosition(std::int32_t v) {
  position_ = v;
  scope_->Invalidate();
}

bool TTrelScopeChannelMarker::IsLegendHighlighted() {
  TTrelScopeDataView* view = scope_->GetDataView();
  return group_ != nullptr &&
         (view->LegendMarkerGroup() == group_ || view->HighlightedMarker() == this);
}

TColor TTrelScopeChannelMarker::GetHighlightColor() {
  return scope_->GetHighlighting()->GetMarkers()->GetColor();
}

void TTrelScopeChannelMarker::Draw(TCanvas* canvas, std::int32_t px, std::int32_t py,
                                   double value) {
  if (group_ == nullptr)
    return;
  const bool vertical = scope_->IsVertical();
  const TTrelDisplayMarkerShape shape = group_->GetShape();
  const std::int64_t size = group_->GetSize();
  if (IsLegendHighlighted()) {
    const TColor colour = GetHighlightColor();
    canvas->Brush()->SetColor(colour);
    canvas->Brush()->SetStyle(bsSolid);
    canvas->Pen()->SetColor(colour);
    canvas->Pen()->SetStyle(psSolid);
    const bool thin = shape == msPlus || shape == msCross || shape == msStar || shape == msHLine ||
                      shape == msVLine;
    canvas->Pen()->SetWidth(group_->GetPen()->Width() + (thin ? 2 : 0));
    DrawMarkerShape(canvas, shape, px, py, size, 1, vertical, true);
  }
  canvas->SetBrush(group_->GetBrush());
  canvas->SetPen(group_->GetPen());
  drawn_x_ = px;
  drawn_y_ = py;
  DrawMarkerShape(canvas, shape, px, py, size, 0, vertical, true);
  TTrelMeasurementLabel* labels = group_->GetLabels();
  if (!labels->GetVisible())
    return;
  canvas->SetFont(labels->GetFont());
  canvas->Brush()->SetStyle(bsClear);
  const std::string text =
      scope_->FormatLabel(labels->GetText(), "", static_cast<double>(position_), value);
  const std::int32_t x = vertical ? py : px;
  const std::int32_t y = vertical ? px : py;
  canvas->TextOut(Add32(x, 4), Add32(y, -canvas->TextHeight("Xg")), text);
}

bool TTrelScopeChannelMarker::HitTest(int x, int y) {
  if (drawn_x_ < 0 || group_ == nullptr)
    return false;
  auto* markers = static_cast<TTrelScopeChannelMarkers*>(Collection());
  if (TTrelScopeChannel* channel = markers != nullptr ? markers->Channel() : nullptr) {
    // The drawing of a hidden or emptied channel stops before its markers.
    if (!channel->GetVisible() || position_ < 0 || position_ >= channel->DisplayedY()->GetCount())
      return false;
  }
  if (scope_->IsVertical())
    std::swap(x, y);
  const std::int64_t s = std::max<std::int64_t>(group_->GetSize(), 3);
  const std::int64_t d = 2 * s;
  const std::int64_t mx = drawn_x_, my = drawn_y_;
  std::int64_t l, t, r, b;
  switch (group_->GetShape()) {
    case msCircle:
    case msSquare:
    case msDiamond:
    case msStar:
      l = mx - s, t = my - s, r = mx + s, b = my + s;
      break;
    case msTriangleUp:
      l = mx - s, t = my, r = mx + s, b = my + d;
      break;
    case msTriangleDown:
      l = mx - s, t = my - d, r = mx + s, b = my;
      break;
    case msTriangleLeft:
      l = mx, t = my - s, r = mx + d, b = my + s;
      break;
    case msTriangleRight:
      l = mx - d, t = my - s, r = mx, b = my + s;
      break;
    case msHLine:
      l = mx - s, t = my - 3, r = mx + s, b = my + 3;
      break;
    case msVLine:
      l = mx - 3, t = my - s, r = mx + 3, b = my + s;
      break;
    default:  // msPoint, msPlus, msCross
      l = mx - 3, t = my - 3, r = mx + 3, b = my + 3;
      break;
  }
  return x >= l && x < r + 1 && y >= t && y < b + 1;
}

TTrelScopeChannelMarkers::TTrelScopeChannelMarkers(TTrelDataDisplay* display,
                                                   TTrelScopeChannel* channel)
    : TTrelDisplayCollection(display, TTrelScopeChannelMarker::StaticClass()), channel_(channel) {}

TPersistent* TTrelScopeChannelMarkers::GetOwner() {
  return channel_ != nullptr ? static_cast<TPersistent*>(channel_) : inherited::GetOwner();
}

TTrelScopeChannelMarker* TTrelScopeChannelMarkers::GetItem(int index) const {
  return static_cast<TTrelScopeChannelMarker*>(Items(index));
}

void TTrelScopeChannelMarkers::Update(TCollectionItem*) {
  if (auto* d = Display())
    d->Invalidate();
}

void TTrelScopeChannelMarkers::Draw(TCanvas* canvas, const std::int32_t* pixelX,
                                    const std::int32_t* pixelY, const double* values,
                                    std::int32_t count) {
  if (Count() == 0)
    return;
  TPen* savedPen = Create<TPen>();
  TBrush* savedBrush = Create<TBrush>();
  savedPen->Assign(canvas->Pen());
  savedBrush->Assign(canvas->Brush());
  for (int i = 0; i < Count(); ++i) {
    TTrelScopeChannelMarker* marker = GetItem(i);
    TTrelScopeMarkerGroup* group = marker->GetMarkerGroup();
    if (group == nullptr || !group->GetVisible())
      continue;
    const std::int32_t p = marker->GetPosition();
    if (p >= 0 && p < count)
      marker->Draw(canvas, pixelX[p], pixelY[p], values[p]);
    else
      marker->MarkNotDrawn();
  }
  canvas->SetPen(savedPen);
  canvas->SetBrush(savedBrush);
  savedPen->Free();
  savedBrush->Free();
}

void RegisterTrelScopeMarkerClasses() {
  using G = TTrelDisplayMarkerGroup;
  RegisterClass<G>()
      .Object("Brush", &G::GetBrush)
      .Object("Pen", &G::GetPen)
      .Enum("Shape", &G::GetShape, &G::SetShape, MarkerShapeNames(), msPlus)
      .Integer("Size", &G::GetSize, &G::SetSize, 3)
      .Object("Labels", &G::GetLabels);
  RegisterClass<TTrelScopeMarkerGroup>();
  using M = TTrelScopeChannelMarker;
  RegisterClass<M>().Integer("Position", &M::GetPosition, &M::SetPosition, 0);
}

void TTrelScopeChannelMarker::SkipGroup(TReader* reader) {
  reader->SkipValue();
}
