#include "support/windows/KiExControls.h"

#include "platform/classes/TypInfo.h"
#include "platform/forms/Forms.h"
#include "platform/forms/OwnerDraw.h"

namespace {

constexpr TColor kHighlightOuter = 0x808080;
constexpr TColor kHighlightActive = 0x733800;

struct DlgCodeFlag {
  TKiDlgCode code;
  LRESULT flag;
};
constexpr DlgCodeFlag kDlgCodeFlags[] = {
    {dcWantAllKeys, DLGC_WANTALLKEYS}, {dcWantArrows, DLGC_WANTARROWS},
    {dcWantChars, DLGC_WANTCHARS},     {dcButton, DLGC_BUTTON},
    {dcHasSetSel, DLGC_HASSETSEL},     {dcWantTab, DLGC_WANTTAB},
};

uint16_t LowWord(uintptr_t value) {
  return static_cast<uint16_t>(value & 0xFFFF);
}

}  // namespace

TKiDlgCodes DlgCodesFromResult(LRESULT result) {
  TKiDlgCodes codes = 0;
  for (const DlgCodeFlag& entry : kDlgCodeFlags) {
    if ((result & entry.flag) != 0)
      codes |= DlgCodeBit(entry.code);
  }
  return codes;
}

LRESULT DlgCodesToResult(TKiDlgCodes codes) {
  LRESULT result = 0;
  for (const DlgCodeFlag& entry : kDlgCodeFlags) {
    if ((codes & DlgCodeBit(entry.code)) != 0)
      result |= entry.flag;
  }
  return result;
}

TShiftState KeyDataToShift(LPARAM keyData) {
  TShiftState shift;
  if ((keyData & kKeyDataAlt) != 0)
    shift.Include(ssAlt);
  if ((keyData & kKeyDataCtrl) != 0)
    shift.Include(ssCtrl);
  if ((keyData & kKeyDataShift) != 0)
    shift.Include(ssShift);
  return shift;
}

LPARAM ShiftToKeyData(TShiftState shift) {
  LPARAM keyData = 0;
  if (shift.Contains(ssAlt))
    keyData |= kKeyDataAlt;
  if (shift.Contains(ssCtrl))
    keyData |= kKeyDataCtrl;
  if (shift.Contains(ssShift))
    keyData |= kKeyDataShift;
  return keyData;
}

template <class Base>
HRESULT TKiExControlBase<Base>::QueryInterface(const TGUID& iid, void** obj) {
  if (QueryInterfaceTable<IKiExControl>(this, iid, obj) == S_OK)
    return S_OK;
  return Base::QueryInterface(iid, obj);
}

template <class Base>
void TKiExControlBase<Base>::SetAutoSize(bool value) {
  if (Supports<IKiExControl>(this))
    this->Perform(KM_SETAUTOSIZE, value ? 1 : 0, 0);
  else
    Base::SetAutoSize(value);
}

template <class Base>
void TKiExControlBase<Base>::DoSetAutoSize(bool Value) {
  Base::SetAutoSize(Value);
}

template <class Base>
bool TKiExControlBase<Base>::DialogChar(uint16_t Key, TShiftState Shift, const std::string&) {
  return PassOn(CM_DIALOGCHAR, Key, ShiftToKeyData(Shift)) != 0;
}

template <class Base>
bool TKiExControlBase<Base>::HitTest(int X, int Y) {
  const LPARAM point = static_cast<LPARAM>((static_cast<uint32_t>(Y & 0xFFFF) << 16) |
                                           static_cast<uint32_t>(X & 0xFFFF));
  return PassOn(CM_HITTEST, 0, point) != 0;
}

template <class Base>
bool TKiExControlBase<Base>::EraseBackground(TCanvas* Canvas, LPARAM Param) {
  return PassOn(WM_ERASEBKGND, reinterpret_cast<WPARAM>(Canvas), Param) != 0;
}

template <class Base>
void TKiExControlBase<Base>::ParentColorChanged() {
  Base::CMParentColorChanged();
  if (OnParentColorChange)
    OnParentColorChange(this);
}

template <class Base>
bool TKiExControlBase<Base>::HintShow(THintInfo& HintInfo) {
  if (hint_color_ == kKiColorNone) {
    if (Application != nullptr)
      HintInfo.HintColor = Application->HintColor;
  } else if (hint_color_ == kKiColorDefault) {
    if (TWinControl* parent = this->Parent()) {
      THintInfo copy = HintInfo;
      parent->Perform(CM_HINTSHOW, 0, reinterpret_cast<LPARAM>(&copy));
      HintInfo.HintColor = copy.HintColor;
    }
  } else {
    HintInfo.HintColor = hint_color_;
  }
  if (HintWindowClass != nullptr)
    HintInfo.HintWindowClass = HintWindowClass;
  return PassOn(CM_HINTSHOW, 0, reinterpret_cast<LPARAM>(&HintInfo)) != 0;
}

template <class Base>
void TKiExControlBase<Base>::MouseEnter(TControl* Control) {
  mouse_over_ = true;
  if (OnMouseEnter)
    OnMouseEnter(this);
  Base::CMMouseEnter(Control);
}

template <class Base>
void TKiExControlBase<Base>::MouseLeave(TControl* Control) {
  mouse_over_ = false;
  Base::CMMouseLeave(Control);
  if (OnMouseLeave)
    OnMouseLeave(this);
}

template <class Base>
void TKiExControlBase<Base>::ControlListChanging(TControl* Control, bool Inserting) {
  PassOn(Inserting ? CM_CONTROLLISTCHANGE : CM_CONTROLCHANGE, reinterpret_cast<WPARAM>(Control),
         Inserting ? 1 : 0);
}

template <class Base>
void TKiExControlBase<Base>::ControlListChanged(TControl* Control, bool Inserting) {
  PassOn(Inserting ? CM_CONTROLCHANGE : CM_CONTROLLISTCHANGE, reinterpret_cast<WPARAM>(Control),
         Inserting ? 1 : 0);
}

template <class Base>
void TKiExControlBase<Base>::CMMouseEnter(TControl* control) {
  MouseEnter(control);
  DrawHighlight();
}

template <class Base>
void TKiExControlBase<Base>::CMMouseLeave(TControl* control) {
  MouseLeave(control);
  DrawHighlight();
  if (dot_net_highlighting_ && !this->ComponentState().Contains(csDesigning)) {
    // The two-pixel ring, without erasing.
    const int w = this->Width();
    const int h = this->Height();
    this->InvalidateRect(Rect(0, 0, w, 2));
    this->InvalidateRect(Rect(0, h - 2, w, h));
    this->InvalidateRect(Rect(0, 2, 2, h - 2));
    this->InvalidateRect(Rect(w - 2, 2, w, h - 2));
  }
}

template <class Base>
void TKiExControlBase<Base>::WMSetFocus() {
  GotFocus(nullptr);
  DrawHighlight();
}

template <class Base>
void TKiExControlBase<Base>::WMKillFocus() {
  LostFocus(nullptr);
  DrawHighlight();
}

template <class Base>
void TKiExControlBase<Base>::DrawHighlight() {
  if (!dot_net_highlighting_ || this->ComponentState().Contains(csDesigning))
    return;
  TCanvas* canvas = BackBufferCanvas(*this);
  const bool active = this->Focused() || mouse_over_;
  const TRect whole = Rect(0, 0, this->Width(), this->Height());
  const int level = canvas->SaveState();
  canvas->SetWindowOrg(Point(0, 0));
  canvas->Brush()->SetStyle(bsSolid);
  canvas->Brush()->SetColor(active ? kHighlightActive : kHighlightOuter);
  canvas->FrameRect(whole);
  canvas->Brush()->SetColor(active ? kHighlightActive : this->Color());
  canvas->FrameRect(Rect(1, 1, whole.Right - 1, whole.Bottom - 1));
  canvas->RestoreState(level);
  if (kestrune::ControlWidget* widget = this->Widget())
    widget->Invalidate(nullptr);
}

template <class Base>
void TKiExControlBase<Base>::WndProc(TMessage& message) {
  switch (message.Msg) {
    case CM_DIALOGCHAR: {
      const uint16_t key = LowWord(message.WParam);
      message.Result =
          DialogChar(key, KeyDataToShift(message.LParam), std::string(1, static_cast<char>(key)))
              ? 1
              : 0;
      break;
    }
    case CM_HITTEST: {
      const auto x = static_cast<int16_t>(message.LParam & 0xFFFF);
      const auto y = static_cast<int16_t>((message.LParam >> 16) & 0xFFFF);
      message.Result = HitTest(x, y) ? 1 : 0;
      break;
    }
    case KM_SETAUTOSIZE:
      DoSetAutoSize(message.WParam != 0);
      break;
    case WM_GETDLGCODE: {
      InheritedWndProc(message);
      TKiDlgCodes codes = DlgCodesFromResult(message.Result) | DlgCodeBit(dcNative);
      GetDlgCode(codes);
      if ((codes & DlgCodeBit(dcNative)) == 0)
        message.Result = DlgCodesToResult(codes);
      break;
    }
    case WM_ERASEBKGND: {
      auto* canvas = reinterpret_cast<TCanvas*>(message.WParam);
      const int level = canvas != nullptr ? canvas->SaveState() : 0;
      const bool erased = EraseBackground(canvas, message.LParam);
      if (canvas != nullptr)
        canvas->RestoreState(level);
      message.Result = erased ? 1 : 0;
      break;
    }
    case WM_PRINT:
    case WM_PRINTCLIENT: {
      auto* canvas = reinterpret_cast<TCanvas*>(message.WParam);
      const int level = canvas != nullptr ? canvas->SaveState() : 0;
      InheritedWndProc(message);
      if (canvas != nullptr)
        canvas->RestoreState(level);
      break;
    }
    case CM_HINTSHOW:
      message.Result = HintShow(*reinterpret_cast<THintInfo*>(message.LParam)) ? 1 : 0;
      break;
    case CM_PARENTSHOWHINTCHANGED:
      ParentShowHintChanged();
      break;
    case CM_SHOWHINTCHANGED:
      ShowHintChanged();
      break;
    case CM_CONTROLLISTCHANGE:
    case CM_CONTROLCHANGE: {
      auto* control = reinterpret_cast<TControl*>(message.WParam);
      const bool flag = message.LParam != 0;
      // A list change with a flag and a control change without one come
      // before the change; the other two after it.
      const bool before = (message.Msg == CM_CONTROLLISTCHANGE) == flag;
      if (before)
        ControlListChanging(control, flag);
      else
        ControlListChanged(control, flag);
      break;
    }
    case KM_QUERYEXTENSION:
      message.Result = Supports<IKiExtensionQuery>(this) ? 1 : 0;
      break;
    default:
      InheritedWndProc(message);
      break;
  }
  switch (message.Msg) {
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_NCPAINT:
    case CM_MOUSEENTER:
    case CM_MOUSELEAVE:
      DrawHighlight();
      break;
    default:
      break;
  }
}

template class TKiExControlBase<TWinControl>;
template class TKiExControlBase<TCustomControl>;

bool TKiExCustomControl::EraseBackground(TCanvas* Canvas, LPARAM) {
  TCustomControl::EraseBackground(Canvas);
  return true;
}

void RegisterKiExControlClasses() {
  RegisterClass<TKiExWinControl>()
      .Enum("AboutKi", &TKiExWinControl::AboutKi, &TKiExWinControl::AboutKi, {"KiAbout"}, KiAbout)
      .Bool("DotNetHighlighting", &TKiExWinControl::DotNetHighlighting,
            &TKiExWinControl::SetDotNetHighlighting, false);
  RegisterClass<TKiExCustomControl>()
      .Enum("AboutKi", &TKiExCustomControl::AboutKi, &TKiExCustomControl::AboutKi, {"KiAbout"},
            KiAbout)
      .Bool("DotNetHighlighting", &TKiExCustomControl::DotNetHighlighting,
            &TKiExCustomControl::SetDotNetHighlighting, false);
}
