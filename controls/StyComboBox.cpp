#include "controls/StyComboBox.h"

#include "controls/StyGroupBox.h"
#include "controls/acxpvs.h"
#include "platform/classes/TypInfo.h"
#include "platform/forms/Forms.h"
#include "platform/graphics/Gdi.h"

namespace {

// Halves a difference that may be negative (a label larger than the box is
// centred on it).
int SignedHalf(int difference) {
  return difference / 2;
}

}  // namespace

TStyCustomCombo::TStyCustomCombo(TComponent* owner) : TCustomComboBox(owner) {
  button_width_ = GetSystemMetrics(SM_CXVSCROLL) + 2;
  label_font_ = Create<TFont>();
  label_font_->OnChange = TNotifyEvent(this, &TStyCustomCombo::LabelFontChanged);
  int major = 0, minor = 0;
  styles_possible_ = GetSystemVersion(major, minor) && (major >= 6 || (major == 5 && minor != 0));
  common_controls6_ = GetFileMajorVersion("COMCTL32.DLL") > 5;
}

TStyCustomCombo::~TStyCustomCombo() {
  FreeAndNil(label_);
  FreeAndNil(label_font_);
}

std::string TStyCustomCombo::Version() const {
  return PackedVersionText(GetVersionNr());
}

void TStyCustomCombo::SetBoxColor(TColor value) {
  if (ComponentState().Contains(csLoading))
    normal_color_ = value;
  SetColor(value);
}

void TStyCustomCombo::SetButtonWidth(int value) {
  if (value < 14 || value > 32 || value == button_width_)
    return;
  button_width_ = value;
  Invalidate();
}

void TStyCustomCombo::SetDropWidth(int value) {
  drop_width_ = value;
  if (value > 0)
    SetDroppedWidth(value);
}

void TStyCustomCombo::SetEtched(bool value) {
  if (value == etched_)
    return;
  etched_ = value;
  Invalidate();
}

void TStyCustomCombo::SetFlat(bool value) {
  if (value == flat_)
    return;
  flat_ = value;
  Ctl3D = !flat_;
  if (flat_parent_color_ && flat_ && Parent() != nullptr) {
    SetColor(Parent()->Color());
  } else {
    SetColor(normal_color_);
  }
  Invalidate();
}

void TStyCustomCombo::SetFlatLineColor(TColor value) {
  if (value == flat_line_color_)
    return;
  flat_line_color_ = value;
  Invalidate();
}

void TStyCustomCombo::SetFlatParentColor(bool value) {
  if (value == flat_parent_color_)
    return;
  flat_parent_color_ = value;
  Invalidate();
}

std::string TStyCustomCombo::LabelCaption() const {
  return label_ != nullptr ? label_->Caption() : std::string();
}

void TStyCustomCombo::SetLabelCaption(const std::string& value) {
  if (label_ == nullptr) {
    label_ = Create<TLabel>(nullptr);
    label_->SetAutoSize(true);
    label_->SetParent(Parent());
    label_->SetFocusControl(this);
    label_->Font()->Assign(label_font_);
    label_->SetParentFont(ParentFont());
  }
  label_->SetCaption(value);
  PlaceLabel();
}

void TStyCustomCombo::SetLabelPosition(TLabelPosition value) {
  label_position_ = value;
  if (label_ != nullptr)
    PlaceLabel();
}

void TStyCustomCombo::SetLabelMargin(int value) {
  label_margin_ = value;
  if (label_ != nullptr)
    PlaceLabel();
}

void TStyCustomCombo::SetLabelTransparent(bool value) {
  label_transparent_ = value;
  if (label_ != nullptr)
    PlaceLabel();
}

void TStyCustomCombo::SetLabelAlwaysEnabled(bool value) {
  label_always_enabled_ = value;
  if (label_ != nullptr)
    PlaceLabel();
}

void TStyCustomCombo::LabelFontChanged(TObject* sender) {
  (void)sender;
  if (label_ != nullptr)
    PlaceLabel();
}

void TStyCustomCombo::PlaceLabel() {
  if (label_ == nullptr)
    return;
  label_->SetTransparent(label_transparent_);
  if (!ParentFont())
    label_->Font()->Assign(label_font_);
  if (label_->Parent() != Parent())
    label_->SetParent(Parent());
  const int l = Left(), t = Top(), w = Width(), h = Height();
  const int m = label_margin_;
  const int lh = label_->Height();
  const int lw = label_->Width();
  TBitmap* measure = Create<TBitmap>();
  measure->Canvas()->Font()->Assign(label_->Font());
  const int tw = measure->Canvas()->TextWidth(label_->Caption());
  measure->Free();
  int top = t, left = l;
  switch (label_position_) {
    case lpLeftTop:
      top = t;
      left = l - tw - m;
      break;
    case lpLeftCenter:
      top = t + SignedHalf(h - lh);
      left = l - tw - m;
      break;
    case lpLeftBottom:
      top = t + h - lh;
      left = l - tw - m;
      break;
    case lpTopLeft:
      top = t - lh - m;
      left = l;
      break;
    case lpBottomLeft:
      top = t + h + m;
      left = l;
      break;
    case lpLeftTopLeft:
      top = t;
      left = l - m;
      break;
    case lpLeftCenterLeft:
      top = t + SignedHalf(h - lh);
      left = l - m;
      break;
    case lpLeftBottomLeft:
      top = t + h - lh;
      left = l - m;
      break;
    case lpTopCenter:
      top = t - lh - m;
      left = l + SignedHalf(w - lw);
      break;
    case lpBottomCenter:
      top = t + h + m;
      left = l + SignedHalf(w - lw);
      break;
  }
  label_->SetBounds(left, top, lw, lh);
  label_->SetVisible(Visible());
}

void TStyCustomCombo::SetBounds(int left, int top, int width, int height) {
  TCustomComboBox::SetBounds(left, top, width, height);
  if (!ComponentState().Contains(csDestroying))
    PlaceLabel();
}

void TStyCustomCombo::SetEnabled(bool value) {
  const bool changed = value != Enabled();
  TCustomComboBox::SetEnabled(value);
  const TComponentState state = ComponentState();
  if (!changed || state.Contains(csLoading))
    return;
  if (flat_ && !state.Contains(csDesigning)) {
    if (!value) {
      saved_color_ = Color();
      saved_parent_color_ = ParentColor();
      SetParentColor(true);
    } else {
      SetColor(saved_color_);
      SetParentColor(saved_parent_color_);
    }
  }
  if (!state.Contains(csDesigning) && label_ != nullptr && !label_always_enabled_) {
    label_->SetEnabled(value);
    PlaceLabel();
  }
}

void TStyCustomCombo::SetVisible(bool value) {
  TCustomComboBox::SetVisible(value);
  if (label_ != nullptr)
    label_->SetVisible(value);
}

void TStyCustomCombo::Loaded() {
  TCustomComboBox::Loaded();
  PlaceLabel();
  if (drop_width_ > 0)
    SetDroppedWidth(drop_width_);
  saved_color_ = normal_color_;
  if (!flat_parent_color_ || flat_)
    SetColor(normal_color_);
  if (label_ != nullptr && !label_always_enabled_)
    label_->SetEnabled(Enabled());
  restore_color_ = Color();
}

void TStyCustomCombo::CMParentFontChanged() {
  TCustomComboBox::CMParentFontChanged();
  if (label_ != nullptr && ParentFont())
    label_->Font()->Assign(Font());
}

bool TStyCustomCombo::PaintsItself() const {
  const bool themed =
      common_controls6_ && acxpvs::IsThemeActive != nullptr && acxpvs::IsThemeActive() > 0;
  return flat_ || (FocusBorderColor != clNone && focused_) ||
         (!Enabled() && themed && !DisabledBorder);
}

void TStyCustomCombo::PaintOverlay(TCanvas* canvas) {
  if (!PaintsItself())
    return;
  // PaintBox fills the client area and then leaves everything left of the
  // button strip to the base's painting: on the layer that part stays
  // transparent, so the hosted box's text shows through.
  const int saved = SaveDC(canvas);
  IntersectClipRect(canvas, ClientWidth() - button_width_ - 4, 0, ClientWidth(), ClientHeight());
  PaintBox(canvas);
  RestoreDC(canvas, saved);
  DrawFrame(canvas);
}

void TStyCustomCombo::PaintBox(TCanvas* canvas) {
  if (Style() == csSimple)
    return;
  const int width = ClientWidth();
  const int height = ClientHeight();
  canvas->Brush()->SetStyle(bsSolid);
  canvas->Brush()->SetColor(Color());
  canvas->FillRect(TRect{0, 0, width, height});
  TRect button{width - button_width_, 0, Width(), Height()};
  button = InflateRect(button, -1, -1);
  DrawFrameControl(canvas, &button, DFC_SCROLL,
                   DFCS_SCROLLCOMBOBOX | (Enabled() ? DFCS_FLAT : DFCS_INACTIVE));
  canvas->ExcludeClipRect(TRect{width - button_width_ - 4, 0, width + 2, height});
}

void TStyCustomCombo::DrawFrame(TCanvas* canvas) {
  if (Enabled() && !flat_ && FocusBorderColor == clNone)
    return;
  const int width = Width();
  const int height = Height();
  TRect r{0, 0, width, height};
  auto frame = [&](const TRect& rect, TColor color) {
    canvas->Brush()->SetColor(color);
    canvas->FrameRect(rect);
  };
  if (!Enabled() && common_controls6_ && !DisabledBorder) {
    frame(r, static_cast<TColor>(RGB(0x7F, 0x9D, 0xB9)));
    return;
  }
  if (FocusBorderColor == clNone) {
    const bool hot =
        !ComponentState().Contains(csDesigning) &&
        (mouse_in_control_ || (Screen != nullptr && Screen->ActiveControl() == this)) &&
        FocusBorder;
    const TColor a = hot ? clBtnFace : (Parent() != nullptr ? Parent()->Color() : clBtnFace);
    const TColor b = Color();
    if (hot) {
      DrawEdge(canvas, &r, BDR_SUNKENOUTER, BF_RECT | BF_ADJUST);
      frame(r, a);
      r = InflateRect(r, -1, -1);
      frame(r, b);
    } else {
      frame(r, a);
      r = InflateRect(r, -1, -1);
      frame(r, a);
      r = InflateRect(r, -1, -1);
      frame(r, b);
    }
    if (flat_ && flat_line_color_ != clNone) {
      canvas->Pen()->SetColor(flat_line_color_);
      canvas->MoveTo(0, height - 1);
      canvas->LineTo(width - 20, height - 1);
    }
  } else if (focused_) {
    frame(r, FocusBorderColor);
  }
  if (Style() != csSimple && !(styles_possible_ && common_controls6_)) {
    const int cw = ClientWidth();
    const int ch = ClientHeight();
    canvas->ExcludeClipRect(TRect{cw - button_width_ + 4, 4, cw - 4, ch - 4});
    TRect button = InflateRect(TRect{cw - button_width_ - 2, 0, width, height}, -2, -2);
    const bool hot =
        ComponentState().Contains(csDesigning) ? Enabled() : (mouse_in_control_ || focused_);
    if (hot) {
      UINT flags = BF_RECT;
      if (DroppedDown())
        flags |= BF_FLAT;
      DrawEdge(canvas, &button, etched_ ? EDGE_ETCHED : EDGE_RAISED, flags);
    } else {
      button.Top += 1;
      button.Bottom -= 1;
      button.Right -= 1;
      canvas->Brush()->SetColor(clBtnFace);
      canvas->FillRect(button);
    }
    canvas->ExcludeClipRect(button);
  }
}

void TStyCustomCombo::DoEnter() {
  TCustomComboBox::DoEnter();
  focused_ = true;
  Invalidate();
  if (FocusColor != clNone) {
    restore_color_ = Color();
    SetColor(FocusColor);
  }
}

void TStyCustomCombo::DoExit() {
  TCustomComboBox::DoExit();
  focused_ = false;
  Invalidate();
  if (FocusColor != clNone && restore_color_ != clNone)
    SetColor(restore_color_);
}

void TStyCustomCombo::CMMouseEnter(TControl* control) {
  TCustomComboBox::CMMouseEnter(control);
  if (mouse_in_control_ || !Enabled())
    return;
  mouse_in_control_ = true;
  Invalidate();
  if (AutoFocus && CanFocus())
    SetFocus();
}

void TStyCustomCombo::CMMouseLeave(TControl* control) {
  TCustomComboBox::CMMouseLeave(control);
  if (!mouse_in_control_ || !Enabled())
    return;
  mouse_in_control_ = false;
  button_hot_ = false;
  Invalidate();
}

void TStyCustomCombo::MouseMove(TShiftState shift, int x, int y) {
  TCustomComboBox::MouseMove(shift, x, y);
  const bool hot = Width() - button_width_ < x && x < Width();
  if (hot != button_hot_) {
    button_hot_ = hot;
    Invalidate();
  }
}

void TStyCustomCombo::DropDown() {
  TCustomComboBox::DropDown();
  Invalidate();
}

void TStyCustomCombo::CloseUp() {
  TCustomComboBox::CloseUp();
  Invalidate();
  if (OnDropUp.Assigned())
    OnDropUp(this);
}

void RegisterStyComboBoxClass() {
  RegisterClass<TStyComboBox>()
      .Bool("AutoFocus", &TStyComboBox::AutoFocus, &TStyComboBox::AutoFocus, false)
      .Integer("ButtonWidth", &TStyComboBox::ButtonWidth, &TStyComboBox::SetButtonWidth, 19)
      .Bool("DisabledBorder", &TStyComboBox::DisabledBorder, &TStyComboBox::DisabledBorder, true)
      .Integer("DropWidth", &TStyComboBox::DropWidth, &TStyComboBox::SetDropWidth, 0)
      .Bool("Etched", &TStyComboBox::Etched, &TStyComboBox::SetEtched, false)
      .Bool("Flat", &TStyComboBox::Flat, &TStyComboBox::SetFlat, false)
      .MappedInteger("FlatLineColor", &TStyComboBox::FlatLineColor, &TStyComboBox::SetFlatLineColor,
                     kColorIdents, clBlack)
      .Bool("FlatParentColor", &TStyComboBox::FlatParentColor, &TStyComboBox::SetFlatParentColor,
            true)
      .Bool("FocusBorder", &TStyComboBox::FocusBorder, &TStyComboBox::FocusBorder, false)
      .MappedInteger("FocusBorderColor", &TStyComboBox::FocusBorderColor,
                     &TStyComboBox::FocusBorderColor, kColorIdents, clNone)
      .MappedInteger("FocusColor", &TStyComboBox::FocusColor, &TStyComboBox::FocusColor,
                     kColorIdents, clNone)
      .String("LabelCaption", &TStyComboBox::LabelCaption, &TStyComboBox::SetLabelCaption, "")
      .Enum("LabelPosition", &TStyComboBox::LabelPosition, &TStyComboBox::SetLabelPosition,
            {"lpLeftTop", "lpLeftCenter", "lpLeftBottom", "lpTopLeft", "lpBottomLeft",
             "lpLeftTopLeft", "lpLeftCenterLeft", "lpLeftBottomLeft", "lpTopCenter",
             "lpBottomCenter"},
            lpLeftTop)
      .Integer("LabelMargin", &TStyComboBox::LabelMargin, &TStyComboBox::SetLabelMargin, 4)
      .Bool("LabelTransparent", &TStyComboBox::LabelTransparent, &TStyComboBox::SetLabelTransparent,
            false)
      .Bool("LabelAlwaysEnabled", &TStyComboBox::LabelAlwaysEnabled,
            &TStyComboBox::SetLabelAlwaysEnabled, false)
      .String("Version", &TStyComboBox::Version, &TStyComboBox::SetVersion, "1.2.4.1")
      .Event("OnDropUp", &TStyComboBox::OnDropUp, &TStyComboBox::OnDropUp);
}
