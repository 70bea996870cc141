#include "controls/StyGlassButton.h"

#include <algorithm>
#include <cmath>

#include "controls/StyGroupBox.h"
#include "platform/classes/TypInfo.h"
#include "platform/forms/Forms.h"
#include "platform/graphics/Gdi.h"
#include "platform/rtl/SysUtils.h"

namespace {

constexpr ARGB kGreyArgb = 0xFF808080;

int RoundInt(double v) {
  return static_cast<int>(Round(v));
}

// The stored bytes of a colour at the given alpha (no system colour is
// resolved).
ARGB StoredBytes(TColor color, int alpha) {
  const uint32_t c = static_cast<uint32_t>(color);
  return MakeColor(alpha, static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF),
                   static_cast<int>((c >> 16) & 0xFF));
}

ARGB Resolved(TColor color, int alpha) {
  return (ColorToARGB(color) & 0x00FFFFFFu) | (static_cast<ARGB>(alpha & 0xFF) << 24);
}

void RoundedRect(TGPGraphicsPath& p, REAL x, REAL y, REAL w, REAL h, REAL r) {
  const REAL d = 2 * r;
  p.AddArc(x, y, d, d, 180, 90);
  p.AddLine(x + r, y, x + w - r, y);
  p.AddArc(x + w - d, y, d, d, 270, 90);
  p.AddLine(x + w, y + r, x + w, y + h - r);
  p.AddArc(x + w - d, y + h - d, d, d, 0, 90);
  p.AddLine(x + w - r, y + h, x + r, y + h);
  p.AddArc(x, y + h - d, d, d, 90, 90);
  p.AddLine(x, y + h - r, x, y + r);
  p.CloseFigure();
}

void RoundedTop(TGPGraphicsPath& p, REAL x, REAL y, REAL w, REAL h, REAL r) {
  const REAL d = 2 * r;
  p.AddArc(x, y, d, d, 180, 90);
  p.AddLine(x + r, y, x + w - r, y);
  p.AddArc(x + w - d, y, d, d, 270, 90);
  p.AddLine(x + w, y + r, x + w, y + h);
  p.AddLine(x + w, y + h, x, y + h);
  p.AddLine(x, y + h, x, y + r);
  p.CloseFigure();
}

void Curved(TGPGraphicsPath& p, int x, int y, int w, int h, TButtonDirection direction) {
  if (direction == TButtonDirection::bdRight) {
    const GpPointI pts[5] = {{x, y},
                             {x + h / 6, y + h / 4},
                             {RoundInt(x + h / 4.85), y + h / 2},
                             {x + h / 6, y + 3 * h / 4},
                             {x, y + h}};
    p.AddCurve(pts, 5);
    p.AddLine(x, y + h, x + w - h, y + h);
    p.AddArc(x + w - h, y, h, h, 90, -180);
    p.AddLine(x + w - h / 2.0f, y, x, y);
  } else {
    p.AddArc(x, y, h, h, 90, 180);
    p.AddLine(x + h, y, x + w, y);
    const GpPointI pts[5] = {{x + w, y},
                             {x + w - h / 6, y + h / 4},
                             {RoundInt(x + w - h / 4.7), y + h / 2},
                             {x + w - h / 6, y + 3 * h / 4},
                             {x + w, y + h}};
    p.AddCurve(pts, 5);
    p.AddLine(x + w, y + h, x + h, y + h);
  }
  p.CloseFigure();
}

void CurvedTop(TGPGraphicsPath& p, int x, int y, int w, int h, TButtonDirection direction) {
  if (direction == TButtonDirection::bdRight) {
    const GpPointI pts[3] = {{x, y}, {x + h / 3, y + h / 2}, {RoundInt(x + h / 2.35), y + h}};
    p.AddCurve(pts, 3);
    p.AddLine(RoundInt(x + h / 2.35), y + h, x + w - h, y + h);
    if (h > 0)
      p.AddArc(x + w - 2 * h, y, 2 * h, 2 * h, 0, -90);
  } else {
    if (h > 0)
      p.AddArc(x, y, 2 * h, 2 * h, 180, 90);
    p.AddLine(x + h, y, x + w, y);
    const GpPointI pts[3] = {
        {x + w, y}, {x + w - h / 3, y + h / 2}, {RoundInt(x + w - h / 2.35), y + h}};
    p.AddCurve(pts, 3);
  }
  p.CloseFigure();
}

}  // namespace

TStyCustomGlassButton::TStyCustomGlassButton(TComponent* owner) : TCustomControl(owner) {
  SetBounds(Left(), Top(), 100, 32);
  Font()->SetName("Tahoma");
  ShowHint = false;
  SetTabStop(false);
  ControlStyle.Include(csClickEvents);
  hover_timer_ = Create<TTimer>(this);
  hover_timer_->SetInterval(1);
  hover_timer_->SetEnabled(false);
  hover_timer_->SetOnTimer(TNotifyEvent(this, &TStyCustomGlassButton::HoverTick));
  picture_ = Create<TGDIPPicture>();
  picture_down_ = Create<TGDIPPicture>();
  picture_disabled_ = Create<TGDIPPicture>();
  picture_->OnChange = TNotifyEvent(this, &TStyCustomGlassButton::PictureChanged);
  picture_disabled_->OnChange = TNotifyEvent(this, &TStyCustomGlassButton::PictureChanged);
  office_hint_ = Create<TStyHintInfo>();
}

TStyCustomGlassButton::~TStyCustomGlassButton() {
  FreeAndNil(hint_window_);
  FreeAndNil(office_hint_);
  FreeAndNil(picture_disabled_);
  FreeAndNil(picture_down_);
  FreeAndNil(picture_);
}

std::string TStyCustomGlassButton::Version() const {
  return PackedVersionText(GetVersionNr());
}

void TStyCustomGlassButton::PictureChanged(TObject* sender) {
  (void)sender;
  Invalidate();
}

void TStyCustomGlassButton::SetAllowAllUp(bool value) {
  if (value == allow_all_up_)
    return;
  allow_all_up_ = value;
  AnnounceToGroup();
}

void TStyCustomGlassButton::SetGroupIndex(int value) {
  if (value == group_index_)
    return;
  group_index_ = value;
  AnnounceToGroup();
}

void TStyCustomGlassButton::SetCornerRadius(int value) {
  if (value < 0 || value == corner_radius_)
    return;
  if (ComponentState().Contains(csDesigning))
    value = std::min(value, Height() / 2);
  corner_radius_ = value;
  Invalidate();
}

// ---------------------------------------------------------------------------
// Group logic

void TStyCustomGlassButton::AnnounceToGroup() {
  if (group_index_ == 0 || Parent() == nullptr)
    return;
  TWinControl* parent = Parent();
  for (int i = 0; i < parent->ControlCount(); ++i) {
    if (auto* partner = dynamic_cast<TStyCustomGlassButton*>(parent->Controls(i))) {
      partner->ButtonPressed(group_index_, this);
    }
  }
}

void TStyCustomGlassButton::ButtonPressed(int groupIndex, TStyCustomGlassButton* sender) {
  if (groupIndex != group_index_ || sender == this)
    return;
  if (sender->Down() && down_) {
    down_ = false;
    state_ = TGlassButtonState::bsUp;
    Invalidate();
  }
  allow_all_up_ = sender->AllowAllUp();
}

void TStyCustomGlassButton::SetDown(bool value) {
  if (ComponentState().Contains(csLoading))
    loaded_down_ = value;
  if (group_index_ == 0 && style_ == TStyToolButtonStyle::tasButton)
    value = false;
  if (style_ == TStyToolButtonStyle::tasCheck) {
    down_ = value;
    state_ = value ? TGlassButtonState::bsPressed : TGlassButtonState::bsUp;
    Repaint();
    return;
  }
  if (value == down_)
    return;
  if (down_ && !allow_all_up_)
    return;  // a down button stays down
  down_ = value;
  if (value) {
    if (state_ == TGlassButtonState::bsUp)
      Invalidate();
    state_ = TGlassButtonState::bsLatched;
    AnnounceToGroup();
  } else {
    state_ = TGlassButtonState::bsUp;
    Repaint();
  }
}

void TStyCustomGlassButton::Loaded() {
  TCustomControl::Loaded();
  if (loaded_down_ != down_)
    SetDown(loaded_down_);
}

void TStyCustomGlassButton::ShowShortCutHint(bool show) {
  if (!show) {
    FreeAndNil(hint_window_);
    return;
  }
  if (hint_window_ == nullptr)
    hint_window_ = Create<TShortCutHintWindow>(nullptr);
  hint_window_->SetCaption(ShortCutHint);
  // Its size first (the window keeps a minimum width), then its place.
  hint_window_->SetBounds(hint_window_->Left(), hint_window_->Top(), hint_window_->Width(),
                          hint_window_->Height());
  const TPoint p = ClientToScreen(TPoint{0, 0});
  const int hw = hint_window_->Width();
  const int hh = hint_window_->Height();
  int left = hint_window_->Left();
  int top = hint_window_->Top();
  switch (ShortCutHintPos) {
    case TShortCutHintPos::shpLeft:
      left = p.X - hw / 2;
      top = p.Y + (Height() - hh) / 2;
      break;
    case TShortCutHintPos::shpTop:
      left = p.X + (Width() - hw) / 2;
      top = p.Y - hh / 2;
      break;
    case TShortCutHintPos::shpRight:
      left = p.X + Width() - hw / 2;
      top = p.Y + (Height() - hh) / 2;
      break;
    case TShortCutHintPos::shpBottom:
      left = p.X + (Width() - hw) / 2;
      top = p.Y + Height() - hh / 2;
      break;
    case TShortCutHintPos::shpCenter:
      break;
  }
  hint_window_->SetVisible(true);
  hint_window_->SetBounds(left, top, hw, hh);
}

// ---------------------------------------------------------------------------
// Mouse and keys

bool TStyCustomGlassButton::Inside(int x, int y) const {
  // One row below the client area still counts.
  return x >= 0 && x <= ClientWidth() - 1 && y >= 0 && y <= ClientHeight();
}

void TStyCustomGlassButton::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  TCustomControl::MouseDown(button, shift, x, y);
  if (button != mbLeft || ComponentState().Contains(csDesigning) || !Enabled())
    return;
  mouse_pressed_ = true;
  if (!down_) {
    state_ = TGlassButtonState::bsPressed;
    Invalidate();
  }
  if (style_ == TStyToolButtonStyle::tasCheck) {
    state_ = TGlassButtonState::bsPressed;
    Repaint();
  }
  if (TabStop() && CanFocus())
    SetFocus();
  tracking_ = true;
}

void TStyCustomGlassButton::MouseMove(TShiftState shift, int x, int y) {
  TCustomControl::MouseMove(shift, x, y);
  if (ComponentState().Contains(csDesigning))
    return;
  if (tracking_) {
    TGlassButtonState next = down_ ? TGlassButtonState::bsLatched : TGlassButtonState::bsUp;
    if (Inside(x, y))
      next = down_ ? TGlassButtonState::bsLatched : TGlassButtonState::bsPressed;
    if (style_ == TStyToolButtonStyle::tasCheck && down_)
      next = TGlassButtonState::bsPressed;
    if (next != state_) {
      state_ = next;
      Invalidate();
    }
  } else if (!mouse_in_control_) {
    UpdateTracking();
  }
}

void TStyCustomGlassButton::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  if (button != mbLeft || ComponentState().Contains(csDesigning)) {
    TCustomControl::MouseUp(button, shift, x, y);
    return;
  }
  mouse_pressed_ = false;
  Invalidate();
  if (tracking_) {
    tracking_ = false;
    const bool inside = Inside(x, y);
    if (group_index_ == 0) {
      state_ = TGlassButtonState::bsUp;
      mouse_in_control_ = false;
      if (style_ == TStyToolButtonStyle::tasCheck) {
        SetDown(!down_);
        state_ = TGlassButtonState::bsUp;
      }
      if (inside && state_ != TGlassButtonState::bsPressed &&
          state_ != TGlassButtonState::bsLatched) {
        Invalidate();
      }
    } else if (inside) {
      SetDown(!down_);
      if (down_)
        Repaint();
    } else if (down_) {
      state_ = TGlassButtonState::bsLatched;
      Repaint();
    }
    UpdateTracking();
  }
  TCustomControl::MouseUp(button, shift, x, y);
  Invalidate();
}

void TStyCustomGlassButton::UpdateTracking() {
  if (!Enabled())
    return;
  TPoint cursor;
  GetCursorPos(&cursor);
  if (FindDragTarget(cursor, true) != this) {
    MouseLeft();
  } else {
    MouseEntered();
  }
}

void TStyCustomGlassButton::MouseEntered() {
  mouse_in_control_ = true;
  hover_timer_->SetEnabled(true);
  if (OnMouseEnter.Assigned())
    OnMouseEnter(this);
}

void TStyCustomGlassButton::MouseLeft() {
  hover_timer_->SetEnabled(false);
  mouse_in_control_ = false;
  if (OnMouseLeave.Assigned())
    OnMouseLeave(this);
}

void TStyCustomGlassButton::CMMouseEnter(TControl* control) {
  TCustomControl::CMMouseEnter(control);
  if (control == this || control == nullptr)
    MouseEntered();
}

void TStyCustomGlassButton::CMMouseLeave(TControl* control) {
  TCustomControl::CMMouseLeave(control);
  if (control == this || control == nullptr)
    MouseLeft();
}

void TStyCustomGlassButton::HoverTick(TObject* sender) {
  (void)sender;
  TPoint cursor;
  GetCursorPos(&cursor);
  const TPoint p = ScreenToClient(cursor);
  if (!ClientRect().Contains(p)) {
    hover_timer_->SetEnabled(false);
    mouse_in_control_ = false;
    if (Enabled())
      Invalidate();
  }
}

void TStyCustomGlassButton::KeyDown(uint16_t& key, TShiftState shift) {
  TCustomControl::KeyDown(key, shift);
  if (key == VK_RETURN && active_ && !shift.Contains(ssShift))
    Click();
}

void TStyCustomGlassButton::KeyPress(char& key) {
  TCustomControl::KeyPress(key);
  if (key == ' ')
    Click();
}

void TStyCustomGlassButton::CMEnabledChanged() {
  TCustomControl::CMEnabledChanged();
  Invalidate();
}
void TStyCustomGlassButton::CMFontChanged() {
  TCustomControl::CMFontChanged();
  Invalidate();
}
void TStyCustomGlassButton::CMTextChanged() {
  TCustomControl::CMTextChanged();
  Invalidate();
}
void TStyCustomGlassButton::DoEnter() {
  TCustomControl::DoEnter();
  Invalidate();
}
void TStyCustomGlassButton::DoExit() {
  TCustomControl::DoExit();
  Invalidate();
}
void TStyCustomGlassButton::CMFocusChanged(TWinControl* focused) {
  TCustomControl::CMFocusChanged(focused);
  active_ = focused == this;
}

// ---------------------------------------------------------------------------
// Painting

namespace {

// A part of `control`'s bounds (parent coordinates) in its client
// coordinates; the part lies inside the bounds, so nothing overflows
// wherever the control is.
TRect InClientOf(const TRect& part, const TControl& control) {
  return {part.Left - control.Left(), part.Top - control.Top(), part.Right - control.Left(),
          part.Bottom - control.Top()};
}

}  // namespace

void TStyCustomGlassButton::Paint() {
  if (!Enabled()) {
    state_ = TGlassButtonState::bsDisabled;
    tracking_ = false;
  } else if (state_ == TGlassButtonState::bsDisabled) {
    state_ = down_ && group_index_ != 0 ? TGlassButtonState::bsLatched : TGlassButtonState::bsUp;
  }
  if (style_ == TStyToolButtonStyle::tasCheck && down_)
    state_ = TGlassButtonState::bsPressed;

  TCanvas* canvas = Canvas();
  PaintParentBackground(this, canvas);
  if (force_transparent_ && Parent() != nullptr) {
    TWinControl* parent = Parent();
    for (int i = 0; i < parent->ControlCount(); ++i) {
      auto* sibling = dynamic_cast<TStyCustomGlassButton*>(parent->Controls(i));
      if (sibling == nullptr || sibling == this)
        continue;
      TRect common;
      if (!IntersectRect(common, BoundsRect(), sibling->BoundsRect()))
        continue;
      TBitmap* bitmap = Create<TBitmap>();
      bitmap->SetSize(sibling->Width(), sibling->Height());
      const TRect mine = InClientOf(common, *this);
      const TRect theirs = InClientOf(common, *sibling);
      bitmap->Canvas()->CopyRect(theirs, canvas, mine);
      sibling->DrawButton(bitmap->Canvas());
      canvas->CopyRect(mine, bitmap->Canvas(), theirs);
      bitmap->Free();
    }
  }
  DrawButton(canvas);
}

void TStyCustomGlassButton::DrawButton(TCanvas* canvas) {
  TGDIPPicture* picture = picture_;
  if (!Enabled() && !picture_disabled_->Empty()) {
    picture = picture_disabled_;
  } else if (mouse_pressed_ && mouse_in_control_ && !picture_down_->Empty()) {
    picture = picture_down_;
  }
  {
    TGPGraphics g(canvas);
    g.SetSmoothingMode(SmoothingModeAntiAlias);
    DrawGlassBackground(g);
  }
  const bool focused = Focused() && show_focus_rect_;
  TGPGraphics g(canvas);
  g.SetSmoothingMode(SmoothingModeAntiAlias);
  DrawGlassContent(canvas, g, picture, focused);
}

void TStyCustomGlassButton::DrawGlassBackground(TGPGraphics& g) {
  const int w = ClientWidth() - 1;
  const int h = ClientHeight() - 1;
  const REAL r = static_cast<REAL>(corner_radius_);
  auto shape = [&](TGPGraphicsPath& p, int x, int y, int sw, int sh) {
    if (shape_ == TButtonShape::btsRectangle) {
      RoundedRect(p, x, y, sw, sh, r);
    } else {
      Curved(p, x, y, sw, sh, direction_);
    }
  };
  {  // 1. Outer border.
    TGPGraphicsPath p;
    shape(p, 0, 0, w, h);
    TGPPen pen(ColorToARGB(outer_border_color_), 1);
    g.DrawPath(&pen, &p);
  }
  // 2. The inner rectangle.
  const int ix = 1, iy = 1, iw = w - 2, ih = h - 2;
  {  // 3. Body.
    TGPGraphicsPath p;
    shape(p, ix, iy, iw, ih);
    TGPSolidBrush brush(StoredBytes(back_color_, 127));
    g.FillPath(&brush, &p);
  }
  // 4. Glow.
  if (mouse_pressed_ || down_ || state_ == TGlassButtonState::bsPressed ||
      state_ == TGlassButtonState::bsLatched) {
    TGPGraphicsPath clip;
    shape(clip, ix, iy, iw, ih);
    TGPRegion region(&clip);
    g.SetClip(&region);
    TGPGraphicsPath ellipse;
    ellipse.AddEllipse(ix - 0.35f * iw, iy - 0.15f * ih, 1.7f * iw, 2.3f * ih);
    TGPPathGradientBrush glow(&ellipse);
    glow.SetCenterColor(Resolved(glow_color_, 173));
    const ARGB surround = Resolved(glow_color_, 0);
    int count = 1;
    glow.SetSurroundColors(&surround, count);
    g.FillPath(&glow, &ellipse);
    g.ResetClip();
  }
  // 5. Shine.
  const int half = ih >> 1;
  if (iw >= 1 && half >= 1) {
    TGPGraphicsPath p;
    if (shape_ == TButtonShape::btsRectangle) {
      RoundedTop(p, ix, iy, iw, half, r);
    } else {
      CurvedTop(p, ix, iy, iw, half, direction_);
    }
    TGPLinearGradientBrush shine(GpRectF{static_cast<REAL>(ix), static_cast<REAL>(iy),
                                         static_cast<REAL>(iw), static_cast<REAL>(half + 1)},
                                 Resolved(shine_color_, 153), Resolved(shine_color_, 51),
                                 LinearGradientModeVertical);
    g.FillPath(&shine, &p);
  }
  // 6. Symbol.
  if (symbol_color_ != clNone && symbol_ != TBackGroundSymbol::bsNone)
    DrawSymbol(g);
  {  // 7. Inner border.
    TGPGraphicsPath p;
    shape(p, ix, iy, iw, ih);
    TGPPen pen(ColorToARGB(inner_border_color_), 1);
    g.DrawPath(&pen, &p);
  }
}

void TStyCustomGlassButton::DrawSymbol(TGPGraphics& g) {
  const int w = ClientWidth() - 1;
  const int h = ClientHeight() - 1;
  const double fw = w, fh = h;
  const ARGB color = StoredBytes(symbol_color_, 160);
  TGPSolidBrush brush(color);
  auto triangle = [&](GpPointI a, GpPointI b, GpPointI c) {
    TGPGraphicsPath p;
    const GpPointI pts[3] = {a, b, c};
    p.AddPolygon(pts, 3);
    g.FillPath(&brush, &p);
  };
  auto rect = [&](double x, double y, double rw, double rh) {
    g.FillRectangle(&brush, static_cast<REAL>(x), static_cast<REAL>(y), static_cast<REAL>(rw),
                    static_cast<REAL>(rh));
  };
  auto arrow = [&](double x1, double y1, double x2, double y2) {
    TGPPen pen(color, static_cast<REAL>(fh / 4));
    pen.SetEndCap(LineCapArrowAnchor);
    TGPGraphicsPath p;
    p.AddLine(static_cast<REAL>(x1), static_cast<REAL>(y1), static_cast<REAL>(x2),
              static_cast<REAL>(y2));
    g.DrawPath(&pen, &p);
  };
  auto speaker = [&](TGPPen& pen) {
    const GpPointI pts[6] = {
        {w / 2 - w / 6 - w / 15, h / 10 + h / 4}, {w / 2 - w / 15, h / 10 + h / 4},
        {w / 2 + w / 5 - w / 15, h / 4},          {w / 2 + w / 5 - w / 15, 3 * h / 4},
        {w / 2 - w / 15, 3 * h / 4 - h / 10},     {w / 2 - w / 6 - w / 15, 3 * h / 4 - h / 10}};
    TGPGraphicsPath outline;
    outline.AddPolygon(pts, 6);
    g.DrawPath(&pen, &outline);
    TGPGraphicsPath divider;
    divider.AddLine(
        static_cast<REAL>(fw / 2 - fw / 15), static_cast<REAL>(fh / 4 + fh / 10 + fw / 40),
        static_cast<REAL>(fw / 2 - fw / 15), static_cast<REAL>(fh - (fh / 4 + fh / 10 + fw / 40)));
    g.DrawPath(&pen, &divider);
  };
  switch (symbol_) {
    case TBackGroundSymbol::bsArrowLeft:
      arrow(fw - fw / 5, fh / 2, fw / 8, fh / 2);
      break;
    case TBackGroundSymbol::bsArrowRight:
      arrow(fw / 6, fh / 2, fw - fw / 8, fh / 2);
      break;
    case TBackGroundSymbol::bsArrowUp:
      arrow(fw / 2, fh - fh / 5, fw / 2, fh / 8);
      break;
    case TBackGroundSymbol::bsArrowDown:
      arrow(fw / 2, fh / 5, fw / 2, fh - fh / 8);
      break;
    case TBackGroundSymbol::bsPlay:
      triangle({w / 20 + w / 4, h / 4}, {w / 20 + w - w / 4, h / 2}, {w / 20 + w / 4, h - h / 4});
      break;
    case TBackGroundSymbol::bsPause:
      rect(fw / 4, fh / 4, (fw / 2 - fw / 10) / 2, fh / 2);
      rect(fw / 2 + fw / 20, fh / 4, (fw / 2 - fw / 10) / 2, fh / 2);
      break;
    case TBackGroundSymbol::bsStop:
      rect(fw / 4 + fw / 20, fh / 4 + fh / 20, fw / 2 - fw / 10, fh / 2 - fh / 10);
      break;
    case TBackGroundSymbol::bsFastForward:
    case TBackGroundSymbol::bsForward: {
      const int dx = symbol_ == TBackGroundSymbol::bsForward ? w / 12 : 0;
      triangle({w / 4 + dx, h / 4}, {w / 2 + dx, h / 2}, {w / 4 + dx, h - h / 4});
      triangle({w / 2 + dx, h / 4}, {3 * w / 4 + dx, h / 2}, {w / 2 + dx, h - h / 4});
      if (symbol_ == TBackGroundSymbol::bsFastForward)
        rect(3 * fw / 4, fh / 4, fw / 12, fh / 2);
      break;
    }
    case TBackGroundSymbol::bsBackward: {
      const int d = w / 12;
      triangle({w / 4 - d, h / 2}, {w / 2 - d, h / 4}, {w / 2 - d, h - h / 4});
      triangle({w / 2 - d, h / 2}, {3 * w / 4 - d, h / 4}, {3 * w / 4 - d, h - h / 4});
      break;
    }
    case TBackGroundSymbol::bsFastBackward:
      triangle({w / 4, h / 2}, {w / 2, h / 4}, {w / 2, h - h / 4});
      triangle({w / 2, h / 2}, {3 * w / 4, h / 4}, {3 * w / 4, h - h / 4});
      rect(fw / 4 - fw / 12, fh / 4, fw / 12, fh / 2);
      break;
    case TBackGroundSymbol::bsSpeaker:
    case TBackGroundSymbol::bsNoSpeaker: {
      TGPPen pen(color, static_cast<REAL>(fw / 20));
      speaker(pen);
      if (symbol_ == TBackGroundSymbol::bsNoSpeaker) {
        TGPGraphicsPath stroke;
        stroke.AddLine(static_cast<REAL>(RoundInt(fw / 2 - fw / 3.5 - fw / 15)),
                       static_cast<REAL>(3 * fh / 4 - fh / 10),
                       static_cast<REAL>(fw / 2 + fw / 3 - fw / 15),
                       static_cast<REAL>(fh / 4 + fh / 12 + fw / 40));
        g.DrawPath(&pen, &stroke);
      }
      break;
    }
    case TBackGroundSymbol::bsNone:
      break;
  }
}

void TStyCustomGlassButton::DrawGlassContent(TCanvas* canvas, TGPGraphics& g, TGDIPPicture* picture,
                                             bool focused) {
  const int width = ClientWidth();
  const int height = ClientHeight();
  // 1. Focus outline.
  if (focused) {
    TGPGraphicsPath p;
    if (shape_ == TButtonShape::btsRectangle) {
      RoundedRect(p, 4, 4, width - 8, height - 8, static_cast<REAL>(corner_radius_ - 2));
    } else {
      Curved(p, 6, 5, width - 12, height - 10, direction_);
    }
    TGPPen pen(kGreyArgb, 1);
    g.DrawPath(&pen, &p);
  }
  // 2. The caption's "\n" pairs become line breaks.
  std::string caption = show_caption_ ? Caption() : std::string();
  for (size_t at = caption.find("\\n"); at != std::string::npos; at = caption.find("\\n", at)) {
    caption.replace(at, 2, "\n\r");
    at += 2;
  }
  // 3. The picture's size.
  const bool has_picture = picture != nullptr && !picture->Empty();
  const int q = has_picture ? picture->Height() : 0;
  int p = has_picture ? picture->Width() : 0;
  if (!caption.empty() && p >= 1)
    p += 2;

  // 4., 5. The caption through the anti-aliased layer.
  using L = TButtonLayout;
  double bx = 0, bw = 0, bh = 0;
  // The anti-aliased path needs an outline face the screen lists (the
  // substituted faces are listed too); otherwise plain text output.
  const bool listed_face = Screen != nullptr && Screen->Fonts()->IndexOf(Font()->Name()) >= 0;
  if (!caption.empty() && anti_alias_ != TAntiAlias::aaNone && listed_face) {
    TGPFontFamily family(Font()->Name());
    int style = 0;
    if (Font()->HasStyle(fsBold))
      style |= FontStyleBold;
    if (Font()->HasStyle(fsItalic))
      style |= FontStyleItalic;
    if (Font()->HasStyle(fsUnderline))
      style |= FontStyleUnderline;
    TGPFont font(&family, static_cast<REAL>(Font()->Size()), style, UnitPoint);
    TGPStringFormat format(0);
    format.SetAlignment(layout_ == L::blGlyphLeftAdjusted    ? StringAlignmentNear
                        : layout_ == L::blGlyphRightAdjusted ? StringAlignmentFar
                                                             : StringAlignmentCenter);
    format.SetLineAlignment(layout_ == L::blGlyphTopAdjusted      ? StringAlignmentNear
                            : layout_ == L::blGlyphBottomAdjusted ? StringAlignmentFar
                                                                  : StringAlignmentCenter);
    format.SetHotkeyPrefix(HotkeyPrefixShow);
    format.SetTrimming(StringTrimmingNone);
    g.SetTextRenderingHint(anti_alias_ == TAntiAlias::aaClearType
                               ? TextRenderingHintClearTypeGridFit
                               : TextRenderingHintAntiAlias);
    GpRectF box;
    g.MeasureString(caption, -1, &font,
                    GpRectF{0, 0, static_cast<REAL>(width), static_cast<REAL>(height)}, &format,
                    box);
    bx = box.X;
    bw = box.Width;
    bh = box.Height;
    GpRectF text;
    switch (layout_) {
      case L::blGlyphLeft:
      case L::blGlyphLeftAdjusted:
        text = GpRectF{static_cast<REAL>(2 + p), 0, static_cast<REAL>(width - 2 - p),
                       static_cast<REAL>(height)};
        break;
      case L::blGlyphTop:
      case L::blGlyphTopAdjusted:
        text = GpRectF{0, static_cast<REAL>(q), static_cast<REAL>(width),
                       static_cast<REAL>(height - 2 - q)};
        break;
      case L::blGlyphRight:
      case L::blGlyphRightAdjusted:
        text = GpRectF{2, 0, static_cast<REAL>(width - 4 - p), static_cast<REAL>(height)};
        break;
      case L::blGlyphBottom:
      case L::blGlyphBottomAdjusted:
        text = GpRectF{0, 2, static_cast<REAL>(width), static_cast<REAL>(height - 2 - q)};
        break;
    }
    TGPSolidBrush brush(Enabled() ? ColorToARGB(Font()->Color()) : kGreyArgb);
    g.DrawString(caption, -1, &font, text, &format, &brush);
  } else if (!caption.empty()) {
    // 6. Plain text output with a transparent brush.
    canvas->Brush()->SetStyle(bsClear);
    canvas->Font()->Assign(Font());
    TRect measure{0, 0, width, height};
    DrawText(canvas, caption, &measure, DT_CALCRECT | DT_CENTER);
    bw = measure.Width();
    bh = measure.Height();
    bx = (width - bw - p) / 2;
    UINT flags = DT_VCENTER | DT_SINGLELINE;
    switch (layout_) {
      case L::blGlyphTop:
      case L::blGlyphRight:
      case L::blGlyphBottom:
        flags = DT_CENTER | DT_VCENTER | DT_SINGLELINE;
        break;
      case L::blGlyphRightAdjusted:
        flags = DT_RIGHT | DT_VCENTER | DT_SINGLELINE;
        break;
      case L::blGlyphTopAdjusted:
        flags = DT_CENTER;
        break;
      case L::blGlyphBottomAdjusted:
        flags = DT_CENTER | DT_BOTTOM | DT_SINGLELINE;
        break;
      default:
        break;
    }
    TRect text{p + static_cast<int>(bx), 0, width - 2, height};
    if (layout_ == L::blGlyphLeftAdjusted)
      text = TRect{2 + p + 2, 0, width, height};
    canvas->Font()->SetColor(Enabled() ? Font()->Color() : clGray);
    DrawText(canvas, caption, &text, flags);
  }

  // 7. The picture on top, unstretched.
  if (!has_picture)
    return;
  int left = 0, top = 0;
  if (caption.empty()) {
    left = std::max(0, (width - p) / 2);
    top = std::max(0, (height - q) / 2);
  } else {
    const bool gdiplus = anti_alias_ != TAntiAlias::aaNone && listed_face;
    switch (layout_) {
      case L::blGlyphLeft:
        left = std::max(2, gdiplus ? RoundInt(bx - p / 2) : RoundInt(bx));
        top = std::max(0, (height - q) / 2);
        break;
      case L::blGlyphTop:
        left = std::max(0, (width - p) / 2);
        top = std::max(2, std::max(0, RoundInt(height - 2 - q - bh) / 2) - (gdiplus ? 0 : 4));
        break;
      case L::blGlyphRight: {
        left = std::max(0, RoundInt(width - 4 - p - bw) / 2) + RoundInt(bw) + 4;
        if (left > width - p)
          left = width - p - 2;
        top = std::max(0, (height - q) / 2);
        break;
      }
      case L::blGlyphBottom:
        left = std::max(0, (width - p) / 2);
        top = std::max(0, RoundInt(height - 2 - q - bh) / 2) +
              (gdiplus ? RoundInt(bh + 2) : RoundInt(bh + 5));
        if (top > height - q)
          top = height - q - 2;
        break;
      case L::blGlyphLeftAdjusted:
        left = std::max(2, RoundInt(bx - p / 2));
        top = std::max(0, (height - q) / 2);
        break;
      case L::blGlyphRightAdjusted:
        left = width - p - 2;
        top = std::max(0, (height - q) / 2);
        break;
      case L::blGlyphTopAdjusted:
        left = std::max(0, (width - p) / 2);
        top = 2;
        break;
      case L::blGlyphBottomAdjusted:
        left = std::max(0, (width - p) / 2);
        if (gdiplus) {
          top = height / 2 + RoundInt(bh + 2);
          if (top > height - q)
            top = height - q - 2;
        } else {
          top = height - q - 2;
        }
        break;
    }
  }
  picture->Draw(canvas, Bounds(left, top, picture->Width(), picture->Height()));
}

void RegisterGlassButtonClass() {
  RegisterClass<TStyGlassButton>()
      .Bool("AllowAllUp", &TStyGlassButton::AllowAllUp, &TStyGlassButton::SetAllowAllUp, false)
      .Enum("AntiAlias", &TStyGlassButton::AntiAlias, &TStyGlassButton::SetAntiAlias,
            {"aaNone", "aaClearType", "aaAntiAlias"}, TAntiAlias::aaClearType)
      .MappedInteger("BackColor", &TStyGlassButton::BackColor, &TStyGlassButton::SetBackColor,
                     kColorIdents, clBlack)
      .Enum("BackGroundSymbol", &TStyGlassButton::BackGroundSymbol,
            &TStyGlassButton::SetBackGroundSymbol,
            {"bsArrowLeft", "bsArrowRight", "bsArrowUp", "bsArrowDown", "bsPlay", "bsPause",
             "bsStop", "bsFastForward", "bsForward", "bsBackward", "bsFastBackward", "bsSpeaker",
             "bsNoSpeaker", "bsNone"},
            TBackGroundSymbol::bsNone)
      .MappedInteger("BackGroundSymbolColor", &TStyGlassButton::BackGroundSymbolColor,
                     &TStyGlassButton::SetBackGroundSymbolColor, kColorIdents, clWhite)
      .MappedInteger("ForeColor", &TStyGlassButton::ForeColor, &TStyGlassButton::SetForeColor,
                     kColorIdents, clWhite)
      .MappedInteger("GlowColor", &TStyGlassButton::GlowColor, &TStyGlassButton::SetGlowColor,
                     kColorIdents, static_cast<TColor>(0xFFBD8D))
      .MappedInteger("InnerBorderColor", &TStyGlassButton::InnerBorderColor,
                     &TStyGlassButton::SetInnerBorderColor, kColorIdents, clBlack)
      .MappedInteger("OuterBorderColor", &TStyGlassButton::OuterBorderColor,
                     &TStyGlassButton::SetOuterBorderColor, kColorIdents, clWhite)
      .MappedInteger("ShineColor", &TStyGlassButton::ShineColor, &TStyGlassButton::SetShineColor,
                     kColorIdents, clWhite)
      .Bool("ForceTransparent", &TStyGlassButton::ForceTransparent,
            &TStyGlassButton::SetForceTransparent, false)
      .String("ShortCutHint", &TStyGlassButton::ShortCutHint, &TStyGlassButton::ShortCutHint, "")
      .Object("Picture", &TStyGlassButton::Picture)
      .Object("PictureDown", &TStyGlassButton::PictureDown)
      .Object("PictureDisabled", &TStyGlassButton::PictureDisabled)
      .Object("OfficeHint", &TStyGlassButton::OfficeHint)
      .Enum("ButtonDirection", &TStyGlassButton::ButtonDirection,
            &TStyGlassButton::SetButtonDirection, {"bdLeft", "bdRight"}, TButtonDirection::bdRight)
      .Enum("ButtonShape", &TStyGlassButton::ButtonShape, &TStyGlassButton::SetButtonShape,
            {"btsRectangle", "btsCurvedRectangle"}, TButtonShape::btsRectangle)
      .Integer("CornerRadius", &TStyGlassButton::CornerRadius, &TStyGlassButton::SetCornerRadius, 4)
      .Bool("Down", &TStyGlassButton::Down, &TStyGlassButton::SetDown, false)
      .Integer("GroupIndex", &TStyGlassButton::GroupIndex, &TStyGlassButton::SetGroupIndex, 0)
      .Enum("Layout", &TStyGlassButton::Layout, &TStyGlassButton::SetLayout,
            {"blGlyphLeft", "blGlyphTop", "blGlyphRight", "blGlyphBottom", "blGlyphLeftAdjusted",
             "blGlyphRightAdjusted", "blGlyphTopAdjusted", "blGlyphBottomAdjusted"},
            TButtonLayout::blGlyphLeft)
      .Bool("ShowCaption", &TStyGlassButton::ShowCaption, &TStyGlassButton::SetShowCaption, true)
      .Bool("ShowFocusRect", &TStyGlassButton::ShowFocusRect, &TStyGlassButton::SetShowFocusRect,
            false)
      .Enum("Style", &TStyGlassButton::Style, &TStyGlassButton::SetStyle, {"tasButton", "tasCheck"},
            TStyToolButtonStyle::tasButton)
      .String("Version", &TStyGlassButton::Version, &TStyGlassButton::SetVersion, "1.0.1.0")
      .Event("OnMouseEnter", &TStyGlassButton::OnMouseEnter, &TStyGlassButton::OnMouseEnter)
      .Event("OnMouseLeave", &TStyGlassButton::OnMouseLeave, &TStyGlassButton::OnMouseLeave);
}
