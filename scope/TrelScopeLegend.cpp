#include "scope/TrelScopeLegend.h"

#include <algorithm>

#include "platform/classes/TypInfo.h"
#include "scope/TrelScope.h"

// ---------------------------------------------------------------------------
// Groups

TTrelLegendGroup::TTrelLegendGroup(TTrelLegendView* legend, std::string defaultTitle)
    : legend_(legend),
      caption_(Create<TTrelDisplayLabel>()),
      default_title_(std::move(defaultTitle)) {
  caption_->OnChange = TNotifyEvent(this, &TTrelLegendGroup::CaptionChanged);
}

TTrelLegendGroup::~TTrelLegendGroup() {
  FreeAndNil(caption_);
}

void TTrelLegendGroup::Assign(TPersistent* source) {
  auto* s = dynamic_cast<TTrelLegendGroup*>(source);
  if (s == nullptr)
    RaiseAssignError(source, this);
  caption_->Assign(s->caption_);
  visible_ = s->visible_;
  cursor_ = s->cursor_;
  CaptionChanged(nullptr);
}

void TTrelLegendGroup::CaptionChanged(TObject*) {
  if (legend_ != nullptr)
    legend_->Invalidate();
}

void TTrelLegendGroup::SetVisible(bool v) {
  if (v == visible_)
    return;
  visible_ = v;
  CaptionChanged(nullptr);
}

std::string TTrelLegendGroup::Title() const {
  return caption_->GetText().empty() ? default_title_ : caption_->GetText();
}

TTrelDisplayCollectionItem* TTrelLegendGroup::Item(int index) const {
  return static_cast<TTrelDisplayCollectionItem*>(collection_->Items(index));
}

bool TTrelLegendGroup::IsShown() const {
  if (!visible_ || collection_ == nullptr)
    return false;
  for (int i = 0; i < collection_->Count(); ++i)
    if (Item(i)->GetVisible())
      return true;
  return false;
}

// ---------------------------------------------------------------------------
// Legend view

TTrelLegendView::TTrelLegendView(TTrelDataDisplay* display)
    : TTrelOptionalView(display), font_(Create<TFont>()) {
  SetScopeFont(font_, clWhite, kScopeDefaultFontSize, false);
  font_->OnChange = TNotifyEvent(this, &TTrelLegendView::FontChanged);
}

TTrelLegendView::~TTrelLegendView() {
  FreeAndNil(font_);
}

void TTrelLegendView::StoreColor(TColor& field, TColor v) {
  if (v != field) {
    field = v;
    RepaintChart();
  }
}

void TTrelLegendView::SetButtonsEnabled(bool v) {
  buttons_enabled_ = v;
  RepaintChart();
}

void TTrelLegendView::CalcSize(int& width, int& height) {
  height = -1;
  if (!view_size_->GetAutoSize()) {
    width = static_cast<int>(view_size_->GetSize());
    return;
  }
  TCanvas* canvas = display_->MeasureCanvas();
  width = 0;
  for (TTrelLegendGroup* group : groups_) {
    if (!group->IsShown())
      continue;
    if (group->caption_->GetVisible()) {
      canvas->SetFont(group->caption_->GetFont());
      width = std::max(width, canvas->TextWidth(group->Title()) + 23);
    }
    canvas->SetFont(font_);
    TTrelDisplayCollection* items = group->Collection();
    for (int i = 0; i < items->Count(); ++i)
      if (group->Item(i)->GetVisible())
        width = std::max(width, canvas->TextWidth(group->Item(i)->GetDisplayName()) + 30);
  }
}

void TTrelLegendView::Walk(TCanvas* canvas,
                           const std::function<void(TTrelLegendGroup*, int x, int y)>& caption,
                           const std::function<void(TTrelLegendGroup*, int index, int y)>& entry) {
  canvas->SetFont(font_);
  const int th = canvas->TextHeight("Xg");
  const int h = std::max(th + 1, 6);
  int y = Top + th / 2 + 2;
  for (TTrelLegendGroup* group : groups_) {
    if (!group->IsShown())
      continue;
    if (group->caption_->GetVisible()) {
      canvas->SetFont(group->caption_->GetFont());
      const int ch = canvas->TextHeight("Xg");
      y -= 6;
      if (caption)
        caption(group, Left + 4, y - ch / 2);
      y += std::max(ch + 1, 6);
      canvas->SetFont(font_);
    }
    TTrelDisplayCollection* items = group->Collection();
    for (int i = 0; i < items->Count(); ++i) {
      if (!group->Item(i)->GetVisible())
        continue;
      entry(group, i, y);
      canvas->SetFont(font_);
      y += h;
    }
    y += h;
  }
}

void TTrelLegendView::Paint(const TTrelPaintContext& context) {
  TCanvas* canvas = context.Canvas;
  canvas->SetFont(font_);
  const int th = canvas->TextHeight("Xg");
  const int half = th / 2;
  const int h = std::max(th + 1, 6);
  Walk(
      canvas,
      [&](TTrelLegendGroup* group, int x, int y) {
        canvas->Brush()->SetStyle(bsClear);
        canvas->TextOut(x, y, group->Title());
        canvas->Brush()->SetStyle(bsSolid);
      },
      [&](TTrelLegendGroup* group, int index, int y) {
        TTrelDisplayCollectionItem* item = group->Item(index);
        if (!context.Picture && (group->hot_ == index || item->IsLegendHighlighted())) {
          const bool down = group->pressed_ == index || item->IsUnderMouse();
          const TColor border = down ? down_border_ : over_border_;
          const TColor button = down ? down_button_ : over_button_;
          const int top = y - 1 - half;
          const int bottom = top + h;
          canvas->Brush()->SetStyle(bsSolid);
          canvas->Brush()->SetColor(button);
          canvas->FillRect({Left + 5, top, Right - 5, bottom});
          canvas->Pen()->SetColor(border);
          canvas->Pen()->SetStyle(psSolid);
          canvas->Pen()->SetWidth(1);
          canvas->MoveTo(Left + 5, top);
          canvas->LineTo(Right - 5, top);
          canvas->MoveTo(Left + 5, bottom - 1);
          canvas->LineTo(Right - 5, bottom - 1);
          canvas->MoveTo(Left + 4, top + 1);
          canvas->LineTo(Left + 4, bottom - 1);
          canvas->MoveTo(Right - 5, top + 1);
          canvas->LineTo(Right - 5, bottom - 1);
          for (const TPoint corner : {TPoint{Left + 5, top + 1}, TPoint{Right - 6, top + 1},
                                      TPoint{Left + 5, bottom - 2}, TPoint{Right - 6, bottom - 2}})
            canvas->SetPixel(corner.X, corner.Y, border);
        }
        canvas->Pen()->SetColor(item->GetColor());
        canvas->Pen()->SetStyle(psSolid);
        canvas->Brush()->SetStyle(bsSolid);
        canvas->Brush()->SetColor(item->GetFillColor());
        canvas->Rectangle(Left + 6, y, Left + 20, y + 3);
        canvas->Brush()->SetStyle(bsClear);
        canvas->TextOut(Left + 23, y - half, item->GetDisplayName());
        canvas->Brush()->SetStyle(bsSolid);
      });
}

void TTrelLegendView::TrackHot(int x, int y) {
  TCanvas* canvas = display_->MeasureCanvas();
  canvas->SetFont(font_);
  const int th = canvas->TextHeight("Xg");
  const int h = std::max(th + 1, 6);
  TTrelLegendGroup* hotGroup = nullptr;
  int hotIndex = -1;
  Walk(canvas, nullptr, [&](TTrelLegendGroup* group, int index, int top) {
    const TRect r{Left + 4, top - th / 2, Right - 2, top - th / 2 + h};
    if (hotGroup == nullptr && r.Contains({x, y})) {
      hotGroup = group;
      hotIndex = index;
    }
  });
  // The groups without a hot entry act first, so that the one with it has
  // the last word on the plot's highlight and the cursor.
  for (TTrelLegendGroup* group : groups_) {
    if (group == hotGroup)
      continue;
    if (group->hot_ != -1) {
      group->hot_ = -1;
      Invalidate();
      display_->RestoreControlCursor();
    }
    if (group->Collection() != nullptr && group->Collection()->Count() > 0)
      group->Item(0)->SetLegendHighlight(false);
  }
  if (hotGroup != nullptr) {
    const int before = hotGroup->hot_;
    hotGroup->hot_ = hotIndex;
    if (before != hotIndex)
      Invalidate();
    if (before == -1)
      display_->SetControlCursor(hotGroup->cursor_);
    hotGroup->Item(hotIndex)->SetLegendHighlight(true);
  }
}

void TTrelLegendView::MouseMove(TShiftState shift, int x, int y) {
  inherited::MouseMove(shift, x, y);
  if (buttons_enabled_)
    TrackHot(x, y);
}

void TTrelLegendView::MouseDown(TMouseButton, TShiftState, bool inRect, int x, int y) {
  if (!buttons_enabled_ || !inRect)
    return;
  TrackHot(x, y);
  for (std::size_t g = 0; g < groups_.size(); ++g) {
    TTrelLegendGroup* group = groups_[g];
    if (group->hot_ < 0)
      continue;
    group->pressed_ = group->hot_;
    bool handled = false;
    if (group->OnItemClick)
      group->OnItemClick(group, group->pressed_, handled);
    if (!handled)
      display_->ShowProperties(static_cast<int>(g), group->pressed_);
    group->pressed_ = -1;
  }
}

void TTrelLegendView::MouseUp(TMouseButton, TShiftState, bool, int, int) {
  for (TTrelLegendGroup* group : groups_)
    group->pressed_ = -1;
}

void TTrelLegendView::ClearHot() {
  bool any = false;
  for (TTrelLegendGroup* group : groups_) {
    any = any || group->hot_ != -1;
    group->hot_ = -1;
  }
  if (any)
    display_->RestoreControlCursor();
  Invalidate();
}

void TTrelLegendView::MouseLeaveView() {
  ClearHot();
}

// ---------------------------------------------------------------------------
// The scope's legend

TTrelScopeLegendView::TTrelScopeLegendView(TTrelDataDisplay* display)
    : TTrelLegendView(display),
      channels_(Create<TTrelLegendGroup>(this, "Channels")),
      marker_groups_(Create<TTrelLegendGroup>(this, "Marker Groups")),
      cursors_(Create<TTrelLegendGroup>(this, "Cursors")),
      cursor_links_(Create<TTrelLegendGroup>(this, "Links")) {
  AddGroup(channels_);
  AddGroup(marker_groups_);
  AddGroup(cursors_);
  AddGroup(cursor_links_);
}

TTrelScopeLegendView::~TTrelScopeLegendView() {
  FreeAndNil(channels_);
  FreeAndNil(marker_groups_);
  FreeAndNil(cursors_);
  FreeAndNil(cursor_links_);
}

void TTrelScopeLegendView::SetCollections(TTrelDisplayCollection* channels,
                                          TTrelDisplayCollection* markerGroups,
                                          TTrelDisplayCollection* cursors,
                                          TTrelDisplayCollection* cursorLinks) {
  channels_->SetCollection(channels);
  marker_groups_->SetCollection(markerGroups);
  cursors_->SetCollection(cursors);
  cursor_links_->SetCollection(cursorLinks);
}

void RegisterTrelScopeLegendClasses() {
  using G = TTrelLegendGroup;
  RegisterClass<G>()
      .Object("Caption", &G::GetCaption)
      .Bool("Visible", &G::GetVisible, &G::SetVisible, true)
      .MappedInteger("Cursor", &G::GetCursor, &G::SetCursor, kCursorIdents, crHandPoint)
      .Event("OnItemClick", &G::OnItemClick, &G::OnItemClick);
  using L = TTrelLegendView;
  RegisterClass<L>()
      .Object("Font", &L::GetFont)
      .MappedInteger("MouseOverBorderColor", &L::GetMouseOverBorderColor,
                     &L::SetMouseOverBorderColor, kColorIdents, clLime)
      .MappedInteger("MouseOverButtonColor", &L::GetMouseOverButtonColor,
                     &L::SetMouseOverButtonColor, kColorIdents, clGreen)
      .MappedInteger("MouseDownBorderColor", &L::GetMouseDownBorderColor,
                     &L::SetMouseDownBorderColor, kColorIdents, clYellow)
      .MappedInteger("MouseDownButtonColor", &L::GetMouseDownButtonColor,
                     &L::SetMouseDownButtonColor, kColorIdents, clOlive)
      .Bool("ButtonsEnabled", &L::GetButtonsEnabled, &L::SetButtonsEnabled, true);
  using S = TTrelScopeLegendView;
  RegisterClass<S>()
      .Object("Channels", &S::GetChannels)
      .Object("MarkerGroups", &S::GetMarkerGroups)
      .Object("Cursors", &S::GetCursors)
      .Object("CursorLinks", &S::GetCursorLinks);
}
