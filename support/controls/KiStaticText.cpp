#include "support/controls/KiStaticText.h"

#include <cctype>

#include "platform/classes/TypInfo.h"

namespace {

inline constexpr UINT kDrawTextFlagCleared = 0x10000;
inline constexpr UINT kBfSoft = 0x1000;

}  // namespace

void TKiTextMargins::SetX(uint16_t value) {
  if (value == x_)
    return;
  x_ = value;
  if (OnChange)
    OnChange(this);
}

void TKiTextMargins::SetY(uint16_t value) {
  if (value == y_)
    return;
  y_ = value;
  if (OnChange)
    OnChange(this);
}

void TKiTextMargins::Assign(TPersistent* source) {
  if (auto* other = dynamic_cast<TKiTextMargins*>(source)) {
    x_ = other->x_;
    y_ = other->y_;
    if (OnChange)
      OnChange(this);
    return;
  }
  TPersistent::Assign(source);
}

char AcceleratorOf(const std::string& caption) {
  for (size_t i = 0; i + 1 < caption.size(); ++i) {
    if (caption[i] != '&')
      continue;
    if (caption[i + 1] == '&') {
      ++i;  // "&&" is a literal "&"
      continue;
    }
    return caption[i + 1];
  }
  return 0;
}

TKiCustomStaticText::TKiCustomStaticText(TComponent* owner) : TKiExWinControl(owner) {
  SetBounds(0, 0, 65, 17);
  ControlStyle.Include(csClickEvents);
  ControlStyle.Include(csDoubleClicks);
  ControlStyle.Include(csCaptureMouse);
  ControlStyle.Include(csSetCaption);
  ControlStyle.Include(csOpaque);
  SetTabStop(false);
  hot_track_font_ = Create<TFont>();
  saved_font_ = Create<TFont>();
  saved_font_->Assign(Font());
  text_margins_ = Create<TKiTextMargins>();
  text_margins_->OnChange = TNotifyEvent(this, &TKiCustomStaticText::MarginsChanged);
  TControl::SetAutoSize(true);
  KiHandleHotTrackFont(hot_track_font_, Font(), hot_track_font_options_);
}

TKiCustomStaticText::~TKiCustomStaticText() {
  FreeObject(text_margins_);
  FreeObject(saved_font_);
  FreeObject(hot_track_font_);
}

void TKiCustomStaticText::SetAlignment(TAlignment value) {
  if (value == alignment_)
    return;
  alignment_ = value;
  Invalidate();
}

void TKiCustomStaticText::SetBorderStyle(TStaticBorderStyle value) {
  if (value == border_style_)
    return;
  border_style_ = value;
  Invalidate();
}

void TKiCustomStaticText::SetBiDiMode(TBiDiMode value) {
  if (value == bidi_mode_)
    return;
  bidi_mode_ = value;
  Invalidate();
}

void TKiCustomStaticText::SetFocusControl(TWinControl* value) {
  if (focus_control_ != nullptr)
    focus_control_->RemoveFreeNotification(this);
  focus_control_ = value;
  if (value != nullptr)
    value->FreeNotification(this);
}

void TKiCustomStaticText::SetHotTrackFontOptions(TKiTrackFontOptions value) {
  if (value == hot_track_font_options_)
    return;
  hot_track_font_options_ = value;
  KiHandleHotTrackFont(hot_track_font_, Font(), hot_track_font_options_);
}

void TKiCustomStaticText::SetLayout(TTextLayout value) {
  if (value == layout_)
    return;
  layout_ = value;
  Invalidate();
}

void TKiCustomStaticText::SetShowAccelChar(bool value) {
  if (value == show_accel_char_)
    return;
  show_accel_char_ = value;
  Invalidate();
}

void TKiCustomStaticText::SetWordWrap(bool value) {
  if (value == word_wrap_)
    return;
  word_wrap_ = value;
  AdjustBounds();
  Invalidate();
}

void TKiCustomStaticText::MarginsChanged(TObject*) {
  Invalidate();
}

UINT TKiCustomStaticText::GetTextFlags() const {
  static constexpr UINT kAlignments[2][3] = {
      {DT_LEFT, DT_RIGHT, DT_CENTER},  // left to right
      {DT_RIGHT, DT_LEFT, DT_CENTER},  // right to left
  };
  UINT flags = kAlignments[bidi_mode_ == bdRightToLeft ? 1 : 0][alignment_] | DT_EXPANDTABS;
  if (layout_ == tlCenter)
    flags |= DT_VCENTER;
  else if (layout_ == tlBottom)
    flags |= DT_BOTTOM;
  if (!show_accel_char_)
    flags |= DT_NOPREFIX;
  if (word_wrap_)
    flags |= DT_WORDBREAK;
  return flags;
}

void TKiCustomStaticText::DrawItem(const TDrawItemStruct& DrawItemStruct) {
  TCanvas* canvas = DrawItemStruct.hDC;
  TRect rect = DrawItemStruct.rcItem;
  canvas->Brush()->SetStyle(bsSolid);
  canvas->Brush()->SetColor(Color());
  canvas->FillRect(rect);
  if (border_style_ != sbsNone) {
    DrawEdge(canvas, &rect, BDR_SUNKENOUTER,
             BF_RECT | BF_ADJUST | (border_style_ == sbsSingle ? BF_MONO : kBfSoft));
  }
  canvas->Font()->Assign(Font());
  const UINT flags = GetTextFlags();
  TRect text = rect;
  KiDrawText(canvas, Caption(), &text, flags | DT_CALCRECT);
  const int text_width = text.Width();
  const int text_height = text.Height();
  const int client_width = ClientWidth();
  const int client_height = ClientHeight();
  int top = text_margins_->Y();
  if (layout_ == tlCenter)
    top = (client_height - text_height) / 2;
  else if (layout_ == tlBottom)
    top = client_height - text_height - text_margins_->Y();
  int left = text_margins_->X();
  if (alignment_ == taRightJustify)
    left = client_width - text_width - text_margins_->X();
  else if (alignment_ == taCenter)
    left = (client_width - text_width) / 2;
  text = Rect(left, top, left + text_width, top + text_height);
  canvas->Brush()->SetStyle(bsClear);
  KiDrawText(canvas, Caption(), &text, flags & ~kDrawTextFlagCleared);
}

std::unique_ptr<kestrune::ControlWidget> TKiCustomStaticText::CreateWidget() {
  if (Parent() != nullptr && Parent()->Widget() != nullptr) {
    // The window exists from now on: size to the caption before the window
    // takes the bounds.
    window_made_ = true;
    AdjustBounds();
  }
  return CreateOwnerDrawWidget(*this, [this](const TDrawItemStruct& item) {
    TDrawItemStruct copy = item;
    Perform(CN_DRAWITEM, 0, reinterpret_cast<LPARAM>(&copy));
  });
}

void TKiCustomStaticText::WndProc(TMessage& message) {
  if (message.Msg == CN_DRAWITEM) {
    DrawItem(*reinterpret_cast<const TDrawItemStruct*>(message.LParam));
    return;
  }
  inherited::WndProc(message);
}

void TKiCustomStaticText::AdjustBounds() {
  if (!AutoSize() || ComponentState().Contains(csLoading) || !window_made_)
    return;
  TCanvas canvas;  // a screen context: it measures only
  canvas.Font()->Assign(Font());
  int width = 0;
  int height = 0;
  if (word_wrap_) {
    TRect rect = ClientRect();
    KiDrawText(&canvas, Caption(), &rect, GetTextFlags() | DT_CALCRECT);
    width = rect.Width();
    height = rect.Height();
  } else {
    const TSize extent = canvas.TextExtent(Caption());
    width = extent.cx + 4 * GetSystemMetrics(SM_CXBORDER);
    height = extent.cy + 4 * GetSystemMetrics(SM_CYBORDER);
  }
  SetBounds(Left(), Top(), width, height);
}

void TKiCustomStaticText::Loaded() {
  inherited::Loaded();
  AdjustBounds();
}

void TKiCustomStaticText::Notification(TComponent* component, TOperation operation) {
  inherited::Notification(component, operation);
  if (operation == opRemove && component == focus_control_)
    focus_control_ = nullptr;
}

void TKiCustomStaticText::Resize() {
  inherited::Resize();
  Invalidate();
}

void TKiCustomStaticText::TextChanged() {
  inherited::TextChanged();
  AdjustBounds();
}

void TKiCustomStaticText::FontChanged() {
  inherited::FontChanged();
  KiHandleHotTrackFont(hot_track_font_, Font(), hot_track_font_options_);
  AdjustBounds();
}

bool TKiCustomStaticText::DialogChar(uint16_t Key, TShiftState Shift, const std::string& KeyText) {
  const char accel = AcceleratorOf(Caption());
  const bool is_accel = accel != 0 && std::toupper(static_cast<unsigned char>(accel)) ==
                                          std::toupper(static_cast<unsigned char>(Key & 0xFF));
  if (focus_control_ != nullptr && Enabled() && show_accel_char_ && is_accel &&
      Shift.Contains(ssAlt)) {
    if (focus_control_->CanFocus())
      focus_control_->SetFocus();
    return true;
  }
  return inherited::DialogChar(Key, Shift, KeyText);
}

void TKiCustomStaticText::MouseEnter(TControl* Control) {
  if (!ComponentState().Contains(csDesigning) && hot_track_) {
    saved_font_->Assign(Font());
    Font()->Assign(hot_track_font_);
  }
  inherited::MouseEnter(Control);
}

void TKiCustomStaticText::MouseLeave(TControl* Control) {
  if (!ComponentState().Contains(csDesigning) && hot_track_)
    Font()->Assign(saved_font_);
  inherited::MouseLeave(Control);
}

void RegisterKiStaticTextClasses() {
  RegisterClass<TKiTextMargins>()
      .Integer("X", &TKiTextMargins::X, &TKiTextMargins::SetX, 0)
      .Integer("Y", &TKiTextMargins::Y, &TKiTextMargins::SetY, 0);
  RegisterClass<TKiCustomStaticText>();
  RegisterClass<TKiStaticText>()
      .Enum("Alignment", &TKiStaticText::Alignment, &TKiStaticText::SetAlignment,
            {"taLeftJustify", "taRightJustify", "taCenter"}, taLeftJustify)
      .Bool("AutoSize", &TKiStaticText::AutoSize, &TKiStaticText::SetAutoSize, true)
      .Enum("BiDiMode", &TKiStaticText::BiDiMode, &TKiStaticText::SetBiDiMode,
            {"bdLeftToRight", "bdRightToLeft"}, bdLeftToRight)
      .Enum("BorderStyle", &TKiStaticText::BorderStyle, &TKiStaticText::SetBorderStyle,
            {"sbsNone", "sbsSingle", "sbsSunken"}, sbsNone)
      .Component("FocusControl", &TKiStaticText::FocusControl, &TKiStaticText::SetFocusControl)
      .MappedInteger("HintColor", &TKiStaticText::HintColor, &TKiStaticText::SetHintColor,
                     kColorIdents, kKiColorDefault)
      .Bool("HotTrack", &TKiStaticText::HotTrack, &TKiStaticText::SetHotTrack, false)
      .Object("HotTrackFont", &TKiStaticText::HotTrackFont)
      .Set("HotTrackFontOptions", &TKiStaticText::HotTrackFontOptions,
           &TKiStaticText::SetHotTrackFontOptions,
           {"hoFollowFont", "hoPreserveCharSet", "hoPreserveColor", "hoPreserveHeight",
            "hoPreserveName", "hoPreservePitch", "hoPreserveStyle"},
           kDefaultHotTrackFontOptions)
      .Enum("Layout", &TKiStaticText::Layout, &TKiStaticText::SetLayout,
            {"tlTop", "tlCenter", "tlBottom"}, tlTop)
      .Bool("ShowAccelChar", &TKiStaticText::ShowAccelChar, &TKiStaticText::SetShowAccelChar, true)
      .Bool("TabStop", &TKiStaticText::TabStop, &TKiStaticText::SetTabStop, false)
      .Object("TextMargins", &TKiStaticText::TextMargins)
      .Bool("WordWrap", &TKiStaticText::WordWrap, &TKiStaticText::SetWordWrap, false)
      .Event("OnMouseEnter", &TKiStaticText::OnMouseEnter, &TKiStaticText::OnMouseEnter)
      .Event("OnMouseLeave", &TKiStaticText::OnMouseLeave, &TKiStaticText::OnMouseLeave)
      .Event("OnParentColorChange", &TKiStaticText::OnParentColorChange,
             &TKiStaticText::OnParentColorChange);
}
