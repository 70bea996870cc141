#include "controls/StyMenus.h"

#include "controls/GdipObjects.h"
#include "controls/StyMenuUtil.h"
#include "platform/classes/ClassesUnit.h"
#include "platform/forms/Forms.h"
#include "platform/forms/MenuWindows.h"
#include "platform/forms/Menus.h"
#include "platform/graphics/Gdi.h"
#include "platform/graphics/GraphicsResources.h"

// ---------------------------------------------------------------------------
// The unit

namespace {

// Publishes the settings of a styled menu class.
template <class T>
void RegisterStyledMenu(TClassRegistration<T> r) {
  r.Component("MenuStyler", &T::MenuStyler, &T::SetMenuStyler)
      .Bool("OwnerDraw", &TMenu::OwnerDraw, &TMenu::SetOwnerDraw, true)
      .Bool("ShowNotes", &T::ShowNotes, &T::SetShowNotes, true)
      .Bool("IntlKeybShortCuts", &T::IntlKeybShortCuts, &T::SetIntlKeybShortCuts, false)
      .Component("DisabledImages", &T::DisabledImages, &T::SetDisabledImages)
      .String("Version", &T::Version, &T::SetVersion, "2.5.2.0");
}

void InitStyMenus() {
  ClassesUnit.Initialize();
  GraphicsUnit.Initialize();
  LookUpLayeredWindowCalls();
  RegisterMenuClasses();
  RegisterStyMenuStylerClasses();
  RegisterStyledMenu(RegisterClass<TStyMainMenu>());
  RegisterStyledMenu(RegisterClass<TStyPopupMenu>());
}

void FinalizeStyMenus() {
  GraphicsUnit.Finalize();
  ClassesUnit.Finalize();
}

}  // namespace

TUnit StyMenusUnit("StyMenus", &InitStyMenus, &FinalizeStyMenus);

// ---------------------------------------------------------------------------
// Texts and measuring of the styled menus

namespace {

// The two-character sequence that starts a notes line in a caption.
constexpr std::string_view kNotesBreak = "\\n";

std::vector<std::string> SplitNotes(const std::string& caption) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (size_t at; (at = caption.find(kNotesBreak, start)) != std::string::npos;
       start = at + kNotesBreak.size())
    parts.push_back(caption.substr(start, at - start));
  parts.push_back(caption.substr(start));
  return parts;
}

bool IsStyRootItem(TMenuItem* item) {
  TMenu* menu = item->GetParentMenu();
  return menu != nullptr && !menu->IsPopup() && item->Parent() == menu->Items();
}

// Whether the side bar shows beside `item` (its visibility rule).
bool SideBarShows(TCustomStyMenuStyler* styler, TMenuItem* item) {
  TSideBar* bar = styler->SideBar();
  if (!bar->Visible() || IsStyRootItem(item))
    return false;
  TMenu* menu = item->GetParentMenu();
  switch (bar->VisibleIn()) {
    case viFirstVisible: {
      if (menu == nullptr || menu->IsPopup())
        return false;
      for (int i = 0; i < menu->Items()->Count(); ++i) {
        TMenuItem* root = menu->Items()->Items(i);
        if (root->Visible())
          return item->Parent() == root;
      }
      return false;
    }
    case viFirstLevel:
      return item->Parent() != nullptr &&
             (item->Parent() == menu->Items() || IsStyRootItem(item->Parent()));
    case viAnyLevel:
      return true;
  }
  return false;
}

}  // namespace

std::string StyShortCutText(uint16_t shortCut, bool intl) {
  if (!intl) {
    const std::string text = ShortCutToText(shortCut);
    return (shortCut & scWin) != 0 ? "Win+" + text : text;
  }
  std::string text = RecaseKeyName(KeyNameText(shortCut & 0xFF));
  if ((shortCut & scShift) != 0)
    text = RecaseKeyName(KeyNameText(VK_SHIFT)) + "+" + text;
  if ((shortCut & scCtrl) != 0)
    text = RecaseKeyName(KeyNameText(VK_CONTROL)) + "+" + text;
  if ((shortCut & scAlt) != 0)
    text = RecaseKeyName(KeyNameText(VK_MENU)) + "+" + text;
  return text;
}

void StyMeasureMenuItem(IStyMenu* menu, TMenuItem* item, TCanvas* canvas, int& width, int& height) {
  TCustomStyMenuStyler* styler = menu->MenuStylerInUse();
  if (item->IsLine()) {
    height = styler->Separator()->Width() + 2;
    width = -2;
    return;
  }
  TMenu* owner = item->GetParentMenu();
  TImageList* images = owner != nullptr ? owner->Images() : nullptr;
  const bool root = IsStyRootItem(item);
  if (root) {
    const TSize bar = MenuBarItemSize();
    width = bar.cx;
    height = bar.cy;
    if (images != nullptr && item->ImageIndex() >= 0)
      width = images->Width();
    else if (!item->Bitmap()->Empty())
      width = 16;
    else
      width = -7;
  } else {
    width = styler->IconBar()->Size();
    if (images != nullptr)
      height = IMax(height, images->Height());
    if (!item->Bitmap()->Empty())
      height = IMax(height, 16);
    else
      height -= 3;
    width += 15;
    height += 5;
  }

  const bool notes = menu->MenuShowNotes();
  const std::vector<std::string> parts =
      notes ? SplitNotes(item->Caption()) : std::vector<std::string>{item->Caption()};
  std::string text = StripHotkey(parts[0]);
  if (item->ShortCut() != 0)
    text += StyShortCutText(item->ShortCut(), menu->MenuIntlKeybShortCuts());
  TFont* saved = Create<TFont>();
  saved->Assign(canvas->Font());
  if (root) {
    if (!styler->RootItem()->UseSystemFont())
      canvas->Font()->Assign(styler->RootItem()->Font());
  } else if (!styler->UseSystemFont()) {
    canvas->Font()->Assign(styler->Font());
  } else if (!styler->SelectedItem()->UseSystemFont()) {
    canvas->Font()->Assign(styler->SelectedItem()->Font());
  }
  const TSize extent = canvas->TextExtent(text);
  width += extent.cx + 7;
  if (!styler->UseSystemFont())
    height = extent.cy + 6;

  if (!root) {
    if ((item->ShortCut() & scWin) != 0 && !menu->MenuIntlKeybShortCuts())
      width += canvas->TextWidth("Win+");
    if (!item->Break() && SideBarShows(styler, item))
      width += styler->SideBar()->Size() + styler->SideBar()->SplitterWidth();
    height += height & 1;
    width += 17;
    if (parts.size() > 1) {
      canvas->Font()->Assign(styler->NotesFont());
      const int line = canvas->TextHeight("gh");
      for (size_t i = 1; i < parts.size(); ++i) {
        height += line;
        if (i >= 2)
          width = IMax(width, canvas->TextWidth(parts[i - 1]));
      }
      width = IMax(width, canvas->TextWidth(parts.back()) + 17 + styler->IconBar()->Size() + 15);
    }
  }
  canvas->Font()->Assign(saved);
  saved->Free();
}

std::string StyMenusVersion() {
  constexpr uint32_t kVersion = 0x02050200;
  return Format("%d.%d.%d.%d", {int(kVersion >> 24), int((kVersion >> 16) & 0xFF),
                                int((kVersion >> 8) & 0xFF), int(kVersion & 0xFF)});
}

// ---------------------------------------------------------------------------
// The state both styled menus share

namespace kestrune {

StyMenuState::StyMenuState(TMenu* menu, IStyMenu* self, bool mainMenu)
    : menu_(menu), self_(self), main_menu_(mainMenu) {
  MakePrivate();
}

StyMenuState::~StyMenuState() {
  if (TCustomStyMenuStyler* styler = InUse())
    styler->UnregisterMenu(self_);
  if (assigned_ != nullptr)
    assigned_->RemoveFreeNotification(menu_);
  FreePrivate();
}

void StyMenuState::MakePrivate() {
  if (private_ != nullptr)
    return;
  private_ = main_menu_ ? Create<TStyMenuStyler>(menu_) : Create<TCustomStyMenuStyler>(menu_);
  private_->SetName("InternalMenuStyler");
  private_->RegisterMenu(self_);
}

void StyMenuState::FreePrivate() {
  if (private_ == nullptr)
    return;
  private_->UnregisterMenu(self_);
  FreeAndNil(private_);
}

void StyMenuState::SetMenuStyler(TCustomStyMenuStyler* value) {
  if (assigned_ == value)
    return;
  if (assigned_ != nullptr) {
    assigned_->UnregisterMenu(self_);
    assigned_->RemoveFreeNotification(menu_);
  }
  assigned_ = value;
  if (value != nullptr) {
    if (!menu_->ComponentState().Contains(csDestroying))
      FreePrivate();
    value->FreeNotification(menu_);
  } else {
    MakePrivate();
  }
  InUse()->RegisterMenu(self_);
}

void StyMenuState::StylerRemoved() {
  assigned_ = nullptr;
  if (!menu_->ComponentState().Contains(csDestroying)) {
    MakePrivate();
    private_->RegisterMenu(self_);
  }
}

void StyMenuState::Loaded() {
  if (assigned_ != nullptr)
    FreePrivate();
}

void StyMenuState::InstallHandlers() {
  if (menu_->ComponentState().Contains(csLoading))
    return;
  std::function<void(TMenuItem*)> install = [&](TMenuItem* parent) {
    for (int i = 0; i < parent->Count(); ++i) {
      TMenuItem* item = parent->Items(i);
      if (auto* main = dynamic_cast<TStyMainMenu*>(menu_)) {
        if (!item->OnMeasureItem.Assigned())
          item->OnMeasureItem = TMenuMeasureItemEvent(main, &TStyMainMenu::MeasureItemHandler);
        if (!item->OnDrawItem.Assigned() && !item->OnAdvancedDrawItem.Assigned())
          item->OnAdvancedDrawItem =
              TAdvancedMenuDrawItemEvent(main, &TStyMainMenu::AdvancedDrawItemHandler);
      } else if (auto* popup = dynamic_cast<TStyPopupMenu*>(menu_)) {
        if (!item->OnMeasureItem.Assigned())
          item->OnMeasureItem = TMenuMeasureItemEvent(popup, &TStyPopupMenu::MeasureItemHandler);
        if (!item->OnDrawItem.Assigned() && !item->OnAdvancedDrawItem.Assigned())
          item->OnAdvancedDrawItem =
              TAdvancedMenuDrawItemEvent(popup, &TStyPopupMenu::AdvancedDrawItemHandler);
      }
      install(item);
    }
  };
  install(menu_->Items());
}

}  // namespace kestrune

// ---------------------------------------------------------------------------
// The styled menus

// What both menus do alike, written once for either class.
#define STY_MENU_COMMON_IMPL(Self, Base)                                                      \
  void Self::SetDisabledImages(TImageList* value) {                                           \
    if (state_.disabled_images != nullptr)                                                    \
      state_.disabled_images->RemoveFreeNotification(this);                                   \
    state_.disabled_images = value;                                                           \
    if (value != nullptr)                                                                     \
      value->FreeNotification(this);                                                          \
  }                                                                                           \
  void Self::Notification(TComponent* component, TOperation operation) {                      \
    Base::Notification(component, operation);                                                 \
    if (operation != opRemove)                                                                \
      return;                                                                                 \
    if (component == state_.Assigned())                                                       \
      state_.StylerRemoved();                                                                 \
    if (component == state_.disabled_images)                                                  \
      state_.disabled_images = nullptr;                                                       \
  }                                                                                           \
  void Self::MeasureItemHandler(TObject* Sender, TCanvas* ACanvas, int& Width, int& Height) { \
    if (auto* item = dynamic_cast<TMenuItem*>(Sender))                                        \
      StyMeasureMenuItem(this, item, ACanvas, Width, Height);                                 \
  }                                                                                           \
  void Self::AdvancedDrawItemHandler(TObject* Sender, TCanvas* ACanvas, TRect ARect,          \
                                     TOwnerDrawState State) {                                 \
    if (auto* item = dynamic_cast<TMenuItem*>(Sender))                                        \
      StyDrawMenuItem(this, item, ACanvas, ARect, State);                                     \
  }

namespace {

TRect Intersect(const TRect& a, const TRect& b) {
  return {IMax(a.Left, b.Left), IMax(a.Top, b.Top), IMin(a.Right, b.Right),
          IMin(a.Bottom, b.Bottom)};
}

void Fill(TCanvas* canvas, const TRect& rect, TColor color) {
  if (color == clNone || rect.IsEmpty())
    return;
  canvas->Brush()->SetStyle(bsSolid);
  canvas->Brush()->SetColor(color);
  canvas->FillRect(rect);
}

void Frame(TCanvas* canvas, const TRect& rect, TColor color) {
  if (color == clNone || rect.IsEmpty())
    return;
  canvas->Brush()->SetStyle(bsSolid);
  canvas->Brush()->SetColor(color);
  canvas->FrameRect(rect);
}

// A linear gradient from `from` to `to` over `full` (one colour per row
// when vertical, per column when horizontal), painted only inside `clip`;
// `to` none paints `from` solid. Each channel is start + (end - start) *
// offset / extent, in integers.
void GradientFill(TCanvas* canvas, const TRect& full, const TRect& clip, TColor from, TColor to,
                  TGradientDirection direction) {
  const TRect area = Intersect(full, clip);
  if (from == clNone || area.IsEmpty())
    return;
  if (to == clNone || to == from) {
    Fill(canvas, area, from);
    return;
  }
  uint8_t r1, g1, b1, r2, g2, b2;
  SplitColor(from, r1, g1, b1);
  SplitColor(to, r2, g2, b2);
  const bool vertical = direction == gdVertical;
  const int extent = vertical ? full.Height() : full.Width();
  const int first = vertical ? area.Top : area.Left;
  const int last = vertical ? area.Bottom : area.Right;
  for (int at = first; at < last; ++at) {
    const int offset = at - (vertical ? full.Top : full.Left);
    auto channel = [&](int s, int e) {
      return static_cast<uint8_t>(s + (e - s) * offset / extent);
    };
    const TColor c = static_cast<TColor>(RGB(channel(r1, r2), channel(g1, g2), channel(b1, b2)));
    Fill(canvas,
         vertical ? TRect{area.Left, at, area.Right, at + 1}
                  : TRect{at, area.Top, at + 1, area.Bottom},
         c);
  }
}

// The box variant: filled unless `from` is none, framed unless `border` is
// none; with `mirror` set, the lower half (from the middle row) runs from
// `mirror` to `mirrorTo`.
void GradientBox(TCanvas* canvas, const TRect& rect, TColor from, TColor to, TColor mirror,
                 TColor mirrorTo, TColor border, TGradientDirection direction) {
  if (mirror == clNone) {
    GradientFill(canvas, rect, rect, from, to, direction);
  } else {
    const int mid = rect.Top + rect.Height() / 2;
    const TRect upper{rect.Left, rect.Top, rect.Right, mid};
    const TRect lower{rect.Left, mid, rect.Right, rect.Bottom};
    GradientFill(canvas, upper, upper, from, to, direction);
    GradientFill(canvas, lower, lower, mirror, mirrorTo, direction);
  }
  Frame(canvas, rect, border);
}

// A horizontal gradient line, shortened by `margin` at both ends, whose
// ends fade over the gradient width by `type`.
void GradientLine(TCanvas* canvas, TRect line, TColor color, TColor colorTo, int margin, int gw,
                  TGradientType type) {
  line.Left += margin;
  line.Right -= margin;
  if (line.IsEmpty())
    return;
  const TColor c2 = colorTo == clNone ? color : colorTo;
  const int length = line.Width();
  auto span = [&](int left, int right) { return TRect{left, line.Top, right, line.Bottom}; };
  if (gw < length) {
    switch (type) {
      case gtLeft:
        Fill(canvas, span(line.Left + gw, line.Right), c2);
        break;
      case gtRight:
        Fill(canvas, span(line.Left, line.Right - gw), c2);
        break;
      case gtBoth:
        Fill(canvas, span(line.Left + gw / 2, line.Right - gw / 2), color);
        break;
    }
  }
  if (gw > 0) {
    auto fade = [&](const TRect& r, TColor a, TColor b) {
      GradientFill(canvas, r, r, a, b, gdHorizontal);
    };
    switch (type) {
      case gtLeft:
        fade(span(line.Left, line.Left + gw), color, c2);
        break;
      case gtRight:
        fade(span(line.Right - gw, line.Right), c2, color);
        break;
      case gtBoth:
        fade(span(line.Left, line.Left + gw / 2), c2, color);
        fade(span(line.Right - gw / 2, line.Right), color, c2);
        break;
    }
  }
}

int DrawLevel(TMenuItem* item) {
  TMenu* owner = item->GetParentMenu();
  return item->Level() - 1 + (owner != nullptr && owner->IsPopup() ? 1 : 0);
}

// Reshapes, moves and frames the drop-down window an item was drawn on.
void HookMenuWindow(IStyMenu* menu, TMenuItem* item, TCanvas* canvas) {
  TMenuDropDown* window = MenuWindowOfCanvas(canvas);
  if (window == nullptr)
    return;
  TCustomStyMenuStyler* styler = menu->MenuStylerInUse();
  const int level = DrawLevel(item);
  if (level < 1)
    return;
  const int w = window->BoundsRect().Width();
  const int h = window->BoundsRect().Height();
  const TRect region{1, 1, w - 1 - 17, h - 1};
  if (!window->Prepared()) {
    window->SetRegion(region);
    if (level == 1)
      window->MoveBy(-1, -2);
    else  // 17 towards the parent, then 3 right
      window->MoveBy((window->OpensLeft() ? 17 : -17) + 3, 0);
    window->SetPrepared(true);
  }
  TCanvas* whole = window->Canvas();
  Frame(whole, region, styler->MenuBorderColor());
  const TColor background = styler->Background()->Color();
  if (level == 1 && !window->OwnerRect().IsEmpty()) {
    const int left = window->OwnerRect().Left - window->BoundsRect().Left;
    const int right = window->OwnerRect().Right - window->BoundsRect().Left;
    Fill(whole, {left + 1, region.Top, right - 1, region.Top + 1}, background);
  }
  Frame(whole, {region.Left + 1, region.Top + 1, region.Right - 1, region.Bottom - 1}, background);
}

// Draws `text` ("&" marks a mnemonic) vertically centred in `rect` from its
// left edge (horizontally centred with `centre`): with the styler's
// AntiAlias, through the GDI+ layer in a point-size font of the same family
// with hot-key prefixes shown; otherwise aliased on the canvas.
void DrawItemText(TCustomStyMenuStyler* styler, TCanvas* canvas, const TRect& rect,
                  const std::string& text, TColor color, bool centre = false) {
  canvas->Brush()->SetStyle(bsClear);
  canvas->Font()->SetColor(color);
  if (styler->AntiAlias() == TAntiAlias::aaNone) {
    const std::string plain = StripHotkey(text);
    const int x = centre ? (rect.Left + rect.Right - canvas->TextWidth(plain)) / 2 : rect.Left;
    canvas->TextOut(x, (rect.Top + rect.Bottom - canvas->TextHeight(plain)) / 2, plain);
    return;
  }
  TFont* font = canvas->Font();
  auto* graphics = Create<TGPGraphics>(canvas);
  graphics->SetTextRenderingHint(styler->AntiAlias() == TAntiAlias::aaClearType
                                     ? TextRenderingHintClearTypeGridFit
                                     : TextRenderingHintAntiAliasGridFit);
  auto* family = Create<TGPFontFamily>(font->Name());
  INT style = 0;
  if (font->HasStyle(fsBold))
    style |= FontStyleBold;
  if (font->HasStyle(fsItalic))
    style |= FontStyleItalic;
  auto* gpFont = Create<TGPFont>(family, static_cast<REAL>(font->Size()), style, UnitPoint);
  auto* format = Create<TGPStringFormat>(StringFormatFlagsNoWrap);
  format->SetHotkeyPrefix(HotkeyPrefixShow);
  format->SetLineAlignment(StringAlignmentCenter);
  if (centre)
    format->SetAlignment(StringAlignmentCenter);
  auto* brush = Create<TGPSolidBrush>(ColorToARGB(color));
  const GpRectF layout{static_cast<REAL>(rect.Left), static_cast<REAL>(rect.Top),
                       static_cast<REAL>(rect.Width()), static_cast<REAL>(rect.Height())};
  graphics->DrawString(text, -1, gpFont, layout, format, brush);
  brush->Free();
  format->Free();
  gpFont->Free();
  family->Free();
  graphics->Free();
}

TImageList* ItemImages(IStyMenu* menu, TMenuItem* item, TOwnerDrawState state);

void DrawRootItem(IStyMenu* menu, TMenuItem* item, TCanvas* canvas, const TRect& rect,
                  TOwnerDrawState state) {
  TCustomStyMenuStyler* styler = menu->MenuStylerInUse();
  TRootItem* root = styler->RootItem();
  TColor textColor = root->Font()->Color();
  if ((state & odSelected) != 0) {
    GradientBox(canvas, rect, root->SelectedColor(), root->SelectedColorTo(),
                root->SelectedColorMirror(), root->SelectedColorMirrorTo(),
                root->SelectedBorderColor(), root->SelectedGradientDirection());
    if (item->Count() > 0)
      Fill(canvas, {rect.Left, rect.Bottom - 1, rect.Right, rect.Bottom},
           styler->Background()->Color());
    textColor = root->SelectedTextColor();
  } else if ((state & odHotLight) != 0) {
    GradientBox(canvas, rect, root->HoverColor(), root->HoverColorTo(), root->HoverColorMirror(),
                root->HoverColorMirrorTo(), root->HoverBorderColor(),
                root->HoverGradientDirection());
    textColor = root->HoverTextColor();
  } else {
    // The slice of a bar-wide gradient behind the item.
    const TRect bar = MenuBarOfCanvas(canvas);
    GradientFill(canvas, bar.IsEmpty() ? rect : bar, rect, root->Color(), root->ColorTo(),
                 root->GradientDirection());
  }
  // An image (or the item's bitmap) 6 pixels from the left, vertically
  // centred; the caption is centred in what remains right of it.
  TRect textRect = rect;
  TMenu* owner = item->GetParentMenu();
  TImageList* images = ItemImages(menu, item, state);
  if (images != nullptr && item->ImageIndex() >= 0 && item->ImageIndex() < images->Count()) {
    const int top = (rect.Top + rect.Bottom - images->Height()) / 2;
    const bool own = owner != nullptr && images == owner->Images();
    images->Draw(canvas, rect.Left + 6, top, item->ImageIndex(), !own || (state & odDisabled) == 0);
    textRect.Left = rect.Left + 6 + images->Width();
  } else if (!item->Bitmap()->Empty()) {
    const int top = (rect.Top + rect.Bottom - 16) / 2;
    canvas->StretchDraw({rect.Left + 6, top, rect.Left + 22, top + 16}, item->Bitmap());
    textRect.Left = rect.Left + 22;
  }
  if (!root->UseSystemFont())
    canvas->Font()->Assign(root->Font());
  if ((state & odDisabled) != 0)
    textColor = clBtnShadow;
  DrawItemText(styler, canvas, textRect, item->Caption(), textColor, /*centre=*/true);
}

}  // namespace

void DrawStyBackground(TCanvas* canvas, const TRect& rect, TBackground* background, bool fill) {
  const TRect r{rect.Left + background->MarginX(), rect.Top + background->MarginY(),
                rect.Right - background->MarginX(), rect.Bottom - background->MarginY()};
  TGraphic* image = background->Image()->Graphic();
  const bool hasImage = image != nullptr && !image->Empty();
  const TBackgroundPosition position = background->Position();
  const bool covers =
      hasImage && !image->Transparent() && (position == bpTiled || position == bpStretched);
  if (fill && !covers)
    GradientFill(canvas, r, r, background->Color(), background->ColorTo(),
                 background->GradientDirection());
  if (!hasImage)
    return;
  const int iw = image->Width();
  const int ih = image->Height();
  if (position == bpTiled) {
    // The last row and column of tiles stop at the rectangle.
    const int saved = SaveDC(canvas);
    canvas->IntersectClipRect(r);
    for (int y = r.Top; y < r.Bottom; y += ih) {
      for (int x = r.Left; x < r.Right; x += iw)
        canvas->Draw(x, y, image);
    }
    RestoreDC(canvas, saved);
    return;
  }
  if (position == bpStretched) {
    canvas->StretchDraw(r, image);
    return;
  }
  if (position == bpXY) {
    canvas->Draw(background->OffsetX(), background->OffsetY(), image);
    return;
  }
  int x = r.Left + (r.Width() - iw) / 2 + background->OffsetX();
  if (position == bpTopLeft || position == bpBottomLeft)
    x = r.Left + background->OffsetX();
  else if (position == bpTopRight || position == bpBottomRight)
    x = r.Left + r.Width() + background->OffsetX() - iw;
  int y = r.Top + (r.Height() - ih) / 2 + background->OffsetY();
  if (position == bpTopLeft || position == bpTopRight || position == bpTopCenter)
    y = r.Top + background->OffsetY();
  else if (position == bpBottomLeft || position == bpBottomRight || position == bpBottomCenter)
    y = r.Top + r.Height() + background->OffsetY() - ih;
  canvas->Draw(x, y, image);
}

namespace {

// A vertical gradient line (the side bar's splitter): the horizontal rule
// turned, except that with gtBoth the gradient width counts twice.
void GradientColumn(TCanvas* canvas, TRect line, TColor color, TColor colorTo, int margin, int gw,
                    TGradientType type) {
  line.Top += margin;
  line.Bottom -= margin;
  if (line.IsEmpty())
    return;
  const TColor c2 = colorTo == clNone ? color : colorTo;
  if (type == gtBoth)
    gw *= 2;
  auto span = [&](int top, int bottom) { return TRect{line.Left, top, line.Right, bottom}; };
  auto fade = [&](const TRect& r, TColor a, TColor b) {
    GradientFill(canvas, r, r, a, b, gdVertical);
  };
  if (gw < line.Height()) {
    if (type == gtLeft)
      Fill(canvas, span(line.Top + gw, line.Bottom), c2);
    else if (type == gtRight)
      Fill(canvas, span(line.Top, line.Bottom - gw), c2);
    else
      Fill(canvas, span(line.Top + gw / 2, line.Bottom - gw / 2), color);
  }
  if (gw > 0) {
    if (type == gtLeft) {
      fade(span(line.Top, line.Top + gw), color, c2);
    } else if (type == gtRight) {
      fade(span(line.Bottom - gw, line.Bottom), c2, color);
    } else {
      fade(span(line.Top, line.Top + gw / 2), c2, color);
      fade(span(line.Bottom - gw / 2, line.Bottom), color, c2);
    }
  }
}

// The side bar over the whole window height: its background, its turned
// caption, its border and its splitter on the inner edge.
void DrawSideBar(TCustomStyMenuStyler* styler, TCanvas* canvas, const TRect& area) {
  TSideBar* bar = styler->SideBar();
  const TRect box{area.Left, area.Top, area.Right - bar->SplitterWidth(), area.Bottom};
  DrawStyBackground(canvas, box, bar->Background());
  if (TGraphic* image = bar->Image()->Image()->Graphic(); image != nullptr && !image->Empty())
    DrawStyBackground(canvas, box, bar->Image(), /*fill=*/false);
  if (!bar->Caption().empty()) {
    const int angle = bar->Direction() == dDownToUp ? 90 : -90;
    TFont* font = CreateRotatedFont(bar->Font(), angle);
    TFont* plain = Create<TFont>();
    plain->Assign(bar->Font());
    canvas->Font()->Assign(plain);
    const TSize extent = canvas->TextExtent(bar->Caption());
    plain->Free();
    const int height = box.Height();
    int x = static_cast<int>(Round((bar->Size() - extent.cy) / 2.0 - 0.5));
    int y;
    if (bar->Alignment() == taCenter)
      y = static_cast<int>(Round((height + extent.cx) / 2.0 - 0.5));
    else if ((bar->Alignment() == taRightJustify) == (bar->Direction() == dDownToUp))
      y = bar->Offset() + extent.cx;
    else
      y = height - bar->Offset();
    if (bar->Direction() == dUpToDown) {
      y -= extent.cx;
      x += extent.cy + 1;
    }
    canvas->Font()->Assign(font);
    canvas->Brush()->SetStyle(bsClear);
    auto draw = [&](int dx, int dy, TColor color) {
      canvas->Font()->SetColor(color);
      canvas->TextOut(box.Left + x + dx, box.Top + y + dy, bar->Caption());
    };
    if (bar->HighlightColor() != clNone)
      draw(-bar->Depth(), bar->Depth(), bar->HighlightColor());
    if (bar->ShadowColor() != clNone)
      draw(bar->Depth(), -bar->Depth(), bar->ShadowColor());
    draw(0, 0, bar->Font()->Color());
    font->Free();
  }
  Frame(canvas, box, bar->BorderColor());
  GradientColumn(canvas, {box.Right, area.Top, area.Right, area.Bottom}, bar->SplitterColor(),
                 bar->SplitterColorTo(), bar->SplitterMargin(), bar->SplitterGradientWidth(),
                 bar->SplitterGradientType());
}

// Where an item's image comes from: the disabled images for a disabled item
// when the menu has them, else the menu's images.
TImageList* ItemImages(IStyMenu* menu, TMenuItem* item, TOwnerDrawState state) {
  TMenu* owner = item->GetParentMenu();
  if ((state & odDisabled) != 0) {
    if (auto* main = dynamic_cast<TStyMainMenu*>(menu->MenuComponent());
        main != nullptr && main->DisabledImages() != nullptr)
      return main->DisabledImages();
    if (auto* popup = dynamic_cast<TStyPopupMenu*>(menu->MenuComponent());
        popup != nullptr && popup->DisabledImages() != nullptr)
      return popup->DisabledImages();
  }
  return owner != nullptr ? owner->Images() : nullptr;
}

// Where a drop-down item's parts lie: `rect` is the item without the
// submenu arrow's 17-pixel column, `left` its left edge past the side bar,
// `size` the icon bar's width; `window` is the drop-down the canvas draws
// (null when it draws none) and `windowRect` its client area without the
// arrow column (the item's rect without a window).
struct TItemPlace {
  TRect rect;
  int left = 0;
  int size = 0;
  TMenuDropDown* window = nullptr;
  TRect windowRect;
};

TItemPlace PlaceItem(TCustomStyMenuStyler* styler, TMenuItem* item, TCanvas* canvas,
                     const TRect& itemRect) {
  TRect rect = itemRect;
  rect.Right -= 17;
  int left = rect.Left;
  if (SideBarShows(styler, item))
    left += styler->SideBar()->Size() + styler->SideBar()->SplitterWidth();
  TMenuDropDown* window = MenuWindowOfCanvas(canvas);
  const TRect windowRect = window != nullptr ? TRect{0, 0, window->BoundsRect().Width() - 17,
                                                     window->BoundsRect().Height()}
                                             : rect;
  return TItemPlace{rect, left, styler->IconBar()->Size(), window, windowRect};
}

// What lies behind the item: the side bar (with the first visible item),
// the icon bar and the background, in the item's rectangle.
void DrawItemBackground(TCustomStyMenuStyler* styler, TMenuItem* item, TCanvas* canvas,
                        const TItemPlace& at) {
  const TRect& rect = at.rect;
  const TRect& windowRect = at.windowRect;
  const int left = at.left;
  const int size = at.size;
  TMenuDropDown* window = at.window;
  if (left != rect.Left && window != nullptr && !window->VisibleItems().empty() &&
      window->VisibleItems().front() == item)
    DrawSideBar(styler, canvas, {rect.Left, windowRect.Top, left, windowRect.Bottom});
  TIconBar* icons = styler->IconBar();
  const TRect iconBar{left, windowRect.Top, left + size, windowRect.Bottom};
  GradientFill(canvas, iconBar, rect, icons->Color(), icons->ColorTo(), icons->GradientDirection());
  if (icons->SeparatorColor() != clNone)
    Fill(canvas, Intersect({left + size - 1, windowRect.Top, left + size, windowRect.Bottom}, rect),
         icons->SeparatorColor());
  TBackground* background = styler->Background();
  TRect back{left + size, windowRect.Top, windowRect.Right, windowRect.Bottom};
  if (background->MarginX() >= 1 || background->MarginY() >= 1) {
    Fill(canvas, Intersect(back, rect), background->Color());
    back = {back.Left + background->MarginX(), back.Top + background->MarginY(),
            back.Right - background->MarginX(), back.Bottom - background->MarginY()};
  }
  GradientFill(canvas, back, rect, background->Color(), background->ColorTo(),
               background->GradientDirection());
  if (TGraphic* picture = background->Image()->Graphic();
      picture != nullptr && !picture->Empty() && window != nullptr) {
    // The picture is drawn once per window size into the styler's cache and
    // copied from there behind each item.
    TBitmap* cache = styler->BackgroundCache();
    const int w = windowRect.Width();
    const int h = windowRect.Height();
    if (cache->Width() != w || cache->Height() != h) {
      cache->SetSize(w, h);
      DrawStyBackground(cache->Canvas(), {0, 0, w, h}, background);
    }
    const TRect part = Intersect({left + size, rect.Top, windowRect.Right, rect.Bottom}, rect);
    if (!part.IsEmpty())
      canvas->CopyRect(part, cache->Canvas(), part);
  }
}

// A separator item's line, right of the icon bar.
void DrawSeparatorItem(TCustomStyMenuStyler* styler, TCanvas* canvas, const TItemPlace& at) {
  const TRect& rect = at.rect;
  const int left = at.left;
  const int size = at.size;
  TSeparator* separator = styler->Separator();
  const int mid = rect.Top + rect.Height() / 2;
  const TRect line{left + size, mid - separator->Width() / 2, rect.Right,
                   mid + (separator->Width() + 1) / 2};
  GradientLine(canvas, line, separator->Color(), separator->ColorTo(), separator->Margin(),
               separator->GradientWidth(), separator->GradientType());
}

// The item's image on the icon bar: the check or radio mark, the image of
// the menu's (or the disabled) list, or the item's own bitmap.
void DrawItemImage(IStyMenu* menu, TCustomStyMenuStyler* styler, TMenuItem* item, TCanvas* canvas,
                   const TItemPlace& at, TOwnerDrawState state) {
  const TRect& rect = at.rect;
  const int left = at.left;
  const int size = at.size;
  const bool selected = (state & odSelected) != 0;
  TSelectedItem* sel = styler->SelectedItem();
  TIconBar* icons = styler->IconBar();
  // The image square: the icon bar's width, one pixel in, made square.
  const TRect square = CenterRect({left, rect.Top + 1, left + size, rect.Bottom - 1},
                                  IMin(size, rect.Height() - 2), IMin(size, rect.Height() - 2));
  if (item->Checked() && item->Bitmap()->Empty() && item->ImageIndex() < 0) {
    const bool radio = item->RadioItem();
    const kestrune::StyMarkColors& marks = selected ? sel->Marks() : icons->Marks();
    const TColor fill = radio ? marks.RadioColor : marks.CheckColor;
    const TColor fillTo = radio ? marks.RadioColorTo : marks.CheckColorTo;
    const TColor border = radio ? marks.RadioBorder : marks.CheckBorder;
    const TGradientDirection direction =
        radio ? marks.RadioGradientDirection : marks.CheckGradientDirection;
    const bool disabled = (state & odDisabled) != 0;
    GradientBox(canvas, square, disabled ? clNone : fill, fillTo, clNone, clNone, border,
                direction);
    if (selected)
      Frame(canvas, square, sel->BorderColor());
    TBitmap* glyph = radio ? styler->Glyphs()->Radio() : styler->Glyphs()->Check();
    canvas->Draw((square.Left + square.Right - glyph->Width()) / 2,
                 (square.Top + square.Bottom - glyph->Height()) / 2, glyph);
  } else if (TImageList* images = ItemImages(menu, item, state);
             images != nullptr && item->ImageIndex() >= 0 && item->ImageIndex() < images->Count()) {
    if (item->Checked())
      GradientBox(canvas, square, selected ? sel->CheckColor() : icons->CheckColor(),
                  selected ? sel->CheckColorTo() : icons->CheckColorTo(), clNone, clNone,
                  selected ? sel->CheckBorder() : icons->CheckBorder(), gdVertical);
    const TRect box = CenterRect(square, images->Width(), images->Height());
    // Disabled images are drawn as they are; the menu's own are greyed.
    const bool own = images == item->GetParentMenu()->Images();
    images->Draw(canvas, box.Left, box.Top, item->ImageIndex(), !own || (state & odDisabled) == 0);
  } else if (!item->Bitmap()->Empty()) {
    const TRect box = CenterRect(square, 16, 16);
    canvas->StretchDraw(box, item->Bitmap());
  }
}

// The item's texts in the styler's font: the caption (with its notes lines
// when the menu shows notes) and the shortcut.
void DrawItemTexts(IStyMenu* menu, TCustomStyMenuStyler* styler, TMenuItem* item, TCanvas* canvas,
                   const TItemPlace& at, TOwnerDrawState state) {
  const TRect& rect = at.rect;
  const int left = at.left;
  const int size = at.size;
  const bool selected = (state & odSelected) != 0;
  TSelectedItem* sel = styler->SelectedItem();
  if (!styler->UseSystemFont())
    canvas->Font()->Assign(styler->Font());
  else if (selected && !sel->UseSystemFont())
    canvas->Font()->Assign(sel->Font());
  TFontStyles style = canvas->Font()->Style();
  if (item->Default())
    style |= FontStyleBit(fsBold);
  canvas->Font()->SetStyle(style);
  TColor textColor = canvas->Font()->Color();
  if ((state & odDisabled) != 0)
    textColor = selected && ColorToRGB(clHighlight) == ColorToRGB(clBtnShadow) ? clBtnHighlight
                                                                               : clBtnShadow;
  const std::vector<std::string> parts = menu->MenuShowNotes()
                                             ? SplitNotes(item->Caption())
                                             : std::vector<std::string>{item->Caption()};
  const std::string& text = parts[0];
  const int textLeft = left + size + 8;
  if (parts.size() == 1) {
    DrawItemText(styler, canvas, {textLeft, rect.Top, rect.Right, rect.Bottom}, text, textColor);
  } else {
    // The caption line, then each notes line one "gh" height lower, the
    // block centred in the item.
    TFont* notesFont = selected ? sel->NotesFont() : styler->NotesFont();
    const int captionHeight = canvas->TextHeight(StripHotkey(text));
    TFont* captionFont = Create<TFont>();
    captionFont->Assign(canvas->Font());
    canvas->Font()->Assign(notesFont);
    const int line = canvas->TextHeight("gh");
    int y =
        (rect.Top + rect.Bottom - captionHeight - line * static_cast<int>(parts.size() - 1)) / 2;
    canvas->Font()->Assign(captionFont);
    captionFont->Free();
    DrawItemText(styler, canvas, {textLeft, y, rect.Right, y + captionHeight}, text, textColor);
    y += captionHeight;
    canvas->Font()->Assign(notesFont);
    for (size_t i = 1; i < parts.size(); ++i, y += line)
      DrawItemText(styler, canvas, {textLeft, y, rect.Right, y + line}, parts[i],
                   notesFont->Color());
  }
  if (item->ShortCut() != 0) {
    const std::string shortcut = StyShortCutText(item->ShortCut(), menu->MenuIntlKeybShortCuts());
    DrawItemText(styler, canvas,
                 {rect.Right - 10 - canvas->TextWidth(shortcut), rect.Top, rect.Right, rect.Bottom},
                 shortcut, textColor);
  }
}

void StyDrawMenuItem(IStyMenu* menu, TMenuItem* item, TCanvas* canvas, const TRect& itemRect,
                     TOwnerDrawState state) {
  if (IsStyRootItem(item)) {
    DrawRootItem(menu, item, canvas, itemRect, state);
    return;
  }
  TCustomStyMenuStyler* styler = menu->MenuStylerInUse();
  const TItemPlace at = PlaceItem(styler, item, canvas, itemRect);
  DrawItemBackground(styler, item, canvas, at);
  if (item->IsLine()) {
    DrawSeparatorItem(styler, canvas, at);
    HookMenuWindow(menu, item, canvas);
    return;
  }
  const TRect& rect = at.rect;
  if ((state & odSelected) != 0) {
    TSelectedItem* sel = styler->SelectedItem();
    GradientBox(canvas, {at.left, rect.Top, rect.Right, rect.Bottom}, sel->Color(), sel->ColorTo(),
                sel->ColorMirror(), sel->ColorMirrorTo(), sel->BorderColor(),
                sel->GradientDirection());
  }
  DrawItemImage(menu, styler, item, canvas, at, state);
  DrawItemTexts(menu, styler, item, canvas, at, state);
  if (item->Count() > 0) {
    TBitmap* arrow = styler->Glyphs()->SubMenu();
    const int y = (rect.Top + rect.Bottom - 5) / 2;
    canvas->Draw(rect.Right - 8 + (3 - arrow->Width()) / 2, y + (6 - arrow->Height()) / 2, arrow);
  }
  HookMenuWindow(menu, item, canvas);
}

}  // namespace

STY_MENU_COMMON_IMPL(TStyMainMenu, TMainMenu)
STY_MENU_COMMON_IMPL(TStyPopupMenu, TPopupMenu)
#undef STY_MENU_COMMON_IMPL

TStyMainMenu::TStyMainMenu(TComponent* owner)
    : TMainMenu(owner), state_(this, this, /*mainMenu=*/true) {
  SetOwnerDraw(true);
}

TStyMainMenu::~TStyMainMenu() = default;

void TStyMainMenu::Loaded() {
  TMainMenu::Loaded();
  SetOwnerDraw(true);
  state_.InstallHandlers();
  state_.Loaded();
  // Hiding and showing the first item makes the bar measure again.
  if (Items()->Count() > 0 && Items()->Items(0)->Visible()) {
    Items()->Items(0)->SetVisible(false);
    Items()->Items(0)->SetVisible(true);
  }
}

void TStyMainMenu::MenuChanged(TObject* sender, TMenuItem* source, bool rebuild) {
  // Outside an update the handlers stay as Loaded and EndUpdate put them.
  if (update_count_ > 0)
    state_.InstallHandlers();
  TMainMenu::MenuChanged(sender, source, rebuild);
}

void TStyMainMenu::Update(bool rebuild, bool remeasure) {
  if (rebuild || remeasure)
    Rebuild();
}

void TStyMainMenu::EndUpdate() {
  if (update_count_ == 0)
    return;
  if (--update_count_ == 0) {
    state_.InstallHandlers();
    DrawMenuBar();
  }
}

TStyPopupMenu::TStyPopupMenu(TComponent* owner)
    : TPopupMenu(owner), state_(this, this, /*mainMenu=*/false) {
  SetOwnerDraw(true);
}

TStyPopupMenu::~TStyPopupMenu() = default;

void TStyPopupMenu::Loaded() {
  TPopupMenu::Loaded();
  SetOwnerDraw(true);
  state_.InstallHandlers();
  state_.Loaded();
}

void TStyPopupMenu::MenuChanged(TObject* sender, TMenuItem* source, bool rebuild) {
  state_.InstallHandlers();
  TPopupMenu::MenuChanged(sender, source, rebuild);
}

void TStyPopupMenu::Update(bool rebuild, bool remeasure) {
  if (rebuild || remeasure)
    Rebuild();
}

void TStyPopupMenu::Popup(int X, int Y) {
  // An empty menu has no first item to measure: nothing opens.
  if (Items()->Count() == 0)
    return;
  TCanvas* canvas = Create<TCanvas>();
  int width = 10;
  int height = 10;
  canvas->Font()->Assign(Screen->MenuFont());
  StyMeasureMenuItem(this, Items()->Items(0), canvas, width, height);
  canvas->Free();
  const int w = width + 17;
  const int screenWidth = Screen->Width();
  if ((Alignment() == paRight && X - 17 - w >= 0) ||
      (Alignment() == paLeft && screenWidth <= X + w + 34))
    X += 17;
  else if (Alignment() == paCenter)
    X += 8;
  X = IMin(X, screenWidth - 1);
  TPopupMenu::Popup(X, Y);
}
