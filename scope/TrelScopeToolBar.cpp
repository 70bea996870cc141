#include "scope/TrelScopeToolBar.h"

#include <exception>
#include <string>

#include "platform/classes/TypInfo.h"
#include "platform/forms/Dialogs.h"
#include "platform/forms/Forms.h"
#include "platform/rtl/ScopeExit.h"
#include "scope/TrelScope.h"
#include "scope/TrelScopeResources.h"

namespace {

// 0x00RRGGBB of a colour (system colours resolved).
std::uint32_t PixelOf(TColor color) {
  const COLORREF c = ColorToRGB(color);
  return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}

// The colour of a pixel value 0x00RRGGBB (its fourth byte kept).
TColor ColorOf(std::uint32_t pixel) {
  return static_cast<TColor>((pixel & 0xFF000000u) | ((pixel & 0xFF) << 16) | (pixel & 0xFF00) |
                             ((pixel >> 16) & 0xFF));
}

// Runs every step of a clean-up, keeping the first error in `failure`.
template <class F>
void CleanUpStep(std::exception_ptr& failure, F step) {
  try {
    step();
  } catch (...) {
    if (!failure)
      failure = std::current_exception();
  }
}

}  // namespace

TTrelToolBarPixels ToolBarPixels(TColor glyph, TColor button, TColor border, TColor display) {
  TTrelToolBarPixels p;
  p.Glyph = PixelOf(glyph);
  p.Border = PixelOf(border);
  p.Button = PixelOf(button);
  p.Mid = 0;
  for (int shift = 0; shift < 24; shift += 8)
    p.Mid |= ((((p.Glyph >> shift) & 0xFF) + ((p.Button >> shift) & 0xFF)) / 2) << shift;
  const std::uint32_t background = PixelOf(display);
  p.Transparent = 0xFFFFFE;
  while (p.Transparent == p.Glyph || p.Transparent == p.Border || p.Transparent == background ||
         p.Transparent == p.Mid || p.Transparent == p.Button)
    ++p.Transparent;
  return p;
}

// ---------------------------------------------------------------------------
// Base

TTrelDisplayToolBar::TTrelDisplayToolBar(TTrelDataDisplay* owner) : owner_(owner) {
  for (TImageList*& list : lists_)
    list = Create<TImageList>(nullptr);
  BuildImages();
}

TTrelDisplayToolBar::~TTrelDisplayToolBar() {
  for (TImageList*& list : lists_)
    FreeAndNil(list);
}

void TTrelDisplayToolBar::Assign(TPersistent* source) {
  auto* s = dynamic_cast<TTrelDisplayToolBar*>(source);
  if (s == nullptr)
    RaiseAssignError(source, this);
  visible_ = s->visible_;
  auto_hide_ = s->auto_hide_;
  cursor_ = s->cursor_;
  bool recolour = false;
  for (int i = 0; i < kColorCount; ++i) {
    recolour = recolour || colors_[i] != s->colors_[i];
    colors_[i] = s->colors_[i];
  }
  if (recolour)
    BuildImages();
  Changed();
}

void TTrelDisplayToolBar::SetColorAt(int which, TColor v) {
  if (colors_[which] == v)
    return;
  colors_[which] = v;
  BuildImages();
  Changed();
}

void TTrelDisplayToolBar::BuildImages() {
  {
    TBitmap* strip = Create<TBitmap>();
    kestrune::ScopeExit freeStrip([&] { FreeObject(strip); });
    strip->LoadFromResourceName(kTrelScopeButtonsResource);
    for (TImageList* list : lists_) {
      list->Clear();
      list->Add(strip, nullptr);
    }
  }
  Recolour(Images(TTrelToolBarLook::Normal), colors_[kGlyph], colors_[kButton], colors_[kBorder]);
  Recolour(Images(TTrelToolBarLook::MouseOver), colors_[kGlyph], colors_[kOverButton],
           colors_[kOverBorder]);
  Recolour(Images(TTrelToolBarLook::MouseDown), colors_[kGlyph], colors_[kDownButton],
           colors_[kDownBorder]);
  Recolour(Images(TTrelToolBarLook::Disabled), colors_[kDisabled], colors_[kButton],
           colors_[kDisabled]);
}

void TTrelDisplayToolBar::Recolour(TImageList* list, TColor glyph, TColor button, TColor border) {
  const TTrelToolBarPixels p = ToolBarPixels(glyph, button, border, owner_->Color());
  TBitmap* bitmap = Create<TBitmap>();
  bitmap->SetPixelFormat(pf32bit);
  for (int i = 0; i < list->Count(); ++i) {
    bitmap->SetSize(0, 0);
    bitmap->SetSize(list->Width(), list->Height());  // cleared to black
    list->Draw(bitmap->Canvas(), 0, 0, i);
    for (int y = 0; y < bitmap->Height(); ++y) {
      auto* row = static_cast<std::uint32_t*>(bitmap->ScanLine(y));
      for (int x = 0; x < bitmap->Width(); ++x) {
        std::uint32_t v = p.Transparent;
        switch (row[x] & 0xFFFFFF) {
          case 0xFFFFFF:
            v = p.Glyph;
            break;
          case 0x808080:
            v = p.Border;
            break;
          case 0xC0C0C0:
            v = p.Mid;
            break;
          case 0x000000:
            v = p.Button;
            break;
          default:
            break;
        }
        row[x] = 0xFF000000u | (v & 0xFFFFFF);
      }
    }
    list->ReplaceMasked(i, bitmap, ColorOf(p.Transparent));
  }
  FreeObject(bitmap);
}

TTrelDisplayToolBarButton* TTrelDisplayToolBar::AddButton(int imageIndex, TNotifyEvent onClick) {
  buttons_.push_back(std::make_unique<TTrelDisplayToolBarButton>(imageIndex, onClick));
  return buttons_.back().get();
}

int TTrelDisplayToolBar::GetLeft() {
  int run = 0;
  for (const auto& b : buttons_)
    if (b->Visible)
      run += lists_[0]->Width() + 1;
  return owner_->GetDrawWidth() - 2 - run / 2;
}

std::vector<TTrelDisplayToolBar::TPlaced> TTrelDisplayToolBar::Layout() {
  const int w = lists_[0]->Width(), h = lists_[0]->Height();
  const int left = GetLeft();
  const bool twoRows = IsTwoRows();
  const int wrapAt = static_cast<int>(buttons_.size()) / 2;
  std::vector<TPlaced> placed;
  int x = left, y = GetTop(), count = 0;
  for (const auto& b : buttons_) {
    if (!b->Visible)
      continue;
    placed.push_back({b.get(), TRect{x, y, x + w, y + h}});
    x += w + 1;
    if (twoRows && ++count == wrapAt) {
      x = left;
      y += h + 1;
    }
  }
  return placed;
}

TRect TTrelDisplayToolBar::GetBounds() {
  const std::vector<TPlaced> placed = Layout();
  if (placed.empty())
    return {};
  TRect r = placed.front().Rect;
  for (const TPlaced& p : placed) {
    r.Right = std::max(r.Right, p.Rect.Right + 1);
    r.Bottom = std::max(r.Bottom, p.Rect.Bottom);
  }
  return r;
}

void TTrelDisplayToolBar::InvalidateButton(const TRect& rect) {
  owner_->InvalidateRect(rect);
}

void TTrelDisplayToolBar::Paint(TCanvas* canvas) {
  TPoint mouse{-1, -1};
  if (GetCursorPos(&mouse))
    mouse = owner_->ScreenToClient(mouse);
  highlighted_ = false;
  canvas->Brush()->SetColor(owner_->Color());
  canvas->Brush()->SetStyle(bsSolid);
  canvas->Pen()->SetColor(owner_->Color());
  canvas->Pen()->SetStyle(psSolid);
  for (const TPlaced& p : Layout()) {
    canvas->FillRect(p.Rect);
    TTrelToolBarLook look = TTrelToolBarLook::Normal;
    if (!p.Button->Enabled) {
      look = TTrelToolBarLook::Disabled;
    } else if (p.Rect.Contains(mouse)) {
      look = p.Button->Down ? TTrelToolBarLook::MouseDown : TTrelToolBarLook::MouseOver;
      highlighted_ = true;
    }
    Images(look)->Draw(canvas, p.Rect.Left, p.Rect.Top, p.Button->ImageIndex);
  }
}

bool TTrelDisplayToolBar::MouseDown(int x, int y) {
  bool taken = false;
  for (const TPlaced& p : Layout()) {
    TTrelDisplayToolBarButton* b = p.Button;
    if (!b->Enabled)
      continue;
    if (p.Rect.Contains({x, y})) {
      taken = true;
      b->Down = true;
      if (b->OnClick)
        b->OnClick(this);
      InvalidateButton(p.Rect);
    } else if (b->Down) {
      b->Down = false;
      InvalidateButton(p.Rect);
    }
  }
  return taken;
}

void TTrelDisplayToolBar::ReleaseButtons() {
  for (const TPlaced& p : Layout())
    if (p.Button->Down)
      InvalidateButton(p.Rect);
  // A hidden button loses its Down too: the hold button, hidden by its own
  // click, would otherwise come back drawn down after the next run click.
  ClearDownStates();
}

void TTrelDisplayToolBar::ClearDownStates() {
  for (const auto& b : buttons_)
    b->Down = false;
}

// ---------------------------------------------------------------------------
// The chart's toolbar

TTrelScopeToolBar::TTrelScopeToolBar(TTrelDataDisplay* scope) : TTrelDisplayToolBar(scope) {
  using T = TTrelScopeToolBar;
  run_ = AddButton(0, TNotifyEvent(this, &T::RunClick));
  run_->Visible = false;
  hold_ = AddButton(1, TNotifyEvent(this, &T::HoldClick));
  AddButton(7, TNotifyEvent(this, &T::CopyClick));
  AddButton(5, TNotifyEvent(this, &T::PrintClick));
  AddButton(6, TNotifyEvent(this, &T::SaveClick));
  properties_ = AddButton(8, TNotifyEvent(this, &T::PropertiesClick));
  AddButton(2, TNotifyEvent(this, &T::ZoomInClick));
  AddButton(3, TNotifyEvent(this, &T::ZoomOutClick));
  zoom_reset_ = AddButton(4, TNotifyEvent(this, &T::ZoomResetClick));
  zoom_back_ = AddButton(9, TNotifyEvent(this, &T::ZoomBackClick));
  zoom_forward_ = AddButton(10, TNotifyEvent(this, &T::ZoomForwardClick));
}

void TTrelScopeToolBar::Paint(TCanvas* canvas) {
  const bool held = owner_->IsHeld();
  run_->Visible = held;
  hold_->Visible = !held;
  zoom_reset_->Enabled = owner_->IsZoomed();
  zoom_back_->Enabled = owner_->CanZoomBack();
  zoom_forward_->Enabled = owner_->CanZoomForward();
  inherited::Paint(canvas);
}

void TTrelScopeToolBar::RunClick(TObject*) {
  owner_->SetHold(false);
}

void TTrelScopeToolBar::HoldClick(TObject*) {
  owner_->SetHold(true);
  run_->Down = true;
  hold_->Down = true;
}

void TTrelScopeToolBar::CopyClick(TObject*) {
  owner_->CopyToClipboard();
}

namespace {

// The display held while `dialog` runs and, when confirmed, `output` sends
// the picture out; then, whatever failed, the hold state from before is
// back, the dialog freed and the toolbar's buttons released, and the first
// error passes on.
template <class TDialog, class Setup, class Output>
void HeldDialogRoundTrip(TTrelDataDisplay* display, TTrelDisplayToolBar* toolBar, Setup setup,
                         Output output) {
  const bool held = display->IsHeld();
  TDialog* dialog = nullptr;
  std::exception_ptr failure;
  try {
    display->SetHold(true);
    dialog = Create<TDialog>(display);
    setup(dialog);
    if (dialog->Execute())
      output(dialog);
  } catch (...) {
    failure = std::current_exception();
  }
  CleanUpStep(failure, [&] { display->SetHold(held); });
  CleanUpStep(failure, [&] { FreeAndNil(dialog); });
  CleanUpStep(failure, [&] { toolBar->ReleaseButtons(); });
  if (failure)
    std::rethrow_exception(failure);
}

}  // namespace

void TTrelScopeToolBar::PrintClick(TObject*) {
  HeldDialogRoundTrip<TPrintDialog>(
      owner_, this, [](TPrintDialog*) {}, [&](TPrintDialog*) { owner_->Print(); });
}

void TTrelScopeToolBar::SaveClick(TObject*) {
  HeldDialogRoundTrip<TSaveDialog>(
      owner_, this,
      [](TSaveDialog* dialog) {
        dialog->SetFilter("Bitmap (*.bmp)|*.bmp|JPEG File Interchange Format (*.jpg)|*.jpg");
        dialog->SetDefaultExt("bmp");
      },
      [&](TSaveDialog* dialog) {
        // The chosen filter is not consulted: the name's extension decides.
        const std::string name = dialog->FileName();
        const std::string ext = UpperCase(ExtractFileExt(name));
        if (ext == ".JPG" || ext == ".JPEG")
          owner_->SaveToJpegFile(name);
        else
          owner_->SaveToBitmapFile(name);
      });
}

void TTrelScopeToolBar::PropertiesClick(TObject*) {
  owner_->OpenProperties();
}

void TTrelScopeToolBar::ZoomInClick(TObject*) {
  owner_->ZoomBy(0.5);
}

void TTrelScopeToolBar::ZoomOutClick(TObject*) {
  owner_->ZoomBy(2.0);
}

void TTrelScopeToolBar::ZoomResetClick(TObject*) {
  owner_->ZoomReset();
}

void TTrelScopeToolBar::ZoomBackClick(TObject*) {
  owner_->ZoomBack();
}

void TTrelScopeToolBar::ZoomForwardClick(TObject*) {
  owner_->ZoomForward();
}

// ---------------------------------------------------------------------------
// An axis's toolbar

TTrelAxisToolBar::TTrelAxisToolBar(TTrelDisplayAxis* axis)
    : TTrelDisplayToolBar(axis->Chart()), axis_(axis) {
  AddButton(2, TNotifyEvent(this, &TTrelAxisToolBar::ZoomInClick));
  AddButton(3, TNotifyEvent(this, &TTrelAxisToolBar::ZoomOutClick));
}

int TTrelAxisToolBar::GetLeft() {
  return IsTwoRows() ? 3 : axis_->Chart()->GetDataView()->Left;
}

int TTrelAxisToolBar::GetTop() {
  if (IsTwoRows())
    return axis_->Chart()->GetDataView()->Top;
  return axis_->Bottom - 3 - Images(TTrelToolBarLook::Normal)->Height();
}

bool TTrelAxisToolBar::IsTwoRows() {
  return axis_->RunsVertically();
}

void TTrelAxisToolBar::ZoomInClick(TObject*) {
  axis_->ZoomIn();
}

void TTrelAxisToolBar::ZoomOutClick(TObject*) {
  axis_->ZoomOut();
}

// ---------------------------------------------------------------------------

void RegisterTrelScopeToolBarClasses() {
  RegisterTrelScopeResources();
  using T = TTrelDisplayToolBar;
  RegisterClass<T>()
      .Bool("Visible", &T::GetVisible, &T::SetVisible, true)
      .Bool("AutoHide", &T::GetAutoHide, &T::SetAutoHide, true)
      .MappedInteger("GlyphColor", &T::GetGlyphColor, &T::SetGlyphColor, kColorIdents, clYellow)
      .MappedInteger("BorderColor", &T::GetBorderColor, &T::SetBorderColor, kColorIdents, clGreen)
      .MappedInteger("ButtonColor", &T::GetButtonColor, &T::SetButtonColor, kColorIdents, clBlack)
      .MappedInteger("MouseOverBorderColor", &T::GetMouseOverBorderColor,
                     &T::SetMouseOverBorderColor, kColorIdents, clLime)
      .MappedInteger("MouseOverButtonColor", &T::GetMouseOverButtonColor,
                     &T::SetMouseOverButtonColor, kColorIdents, clGreen)
      .MappedInteger("MouseDownBorderColor", &T::GetMouseDownBorderColor,
                     &T::SetMouseDownBorderColor, kColorIdents, clYellow)
      .MappedInteger("MouseDownButtonColor", &T::GetMouseDownButtonColor,
                     &T::SetMouseDownButtonColor, kColorIdents, clOlive)
      .MappedInteger("DisabledColor", &T::GetDisabledColor, &T::SetDisabledColor, kColorIdents,
                     clGreen)
      .MappedInteger("Cursor", &T::GetCursor, &T::SetCursor, kCursorIdents, crHandPoint);
  RegisterClass<TTrelScopeToolBar>();
  RegisterClass<TTrelAxisToolBar>();
}
