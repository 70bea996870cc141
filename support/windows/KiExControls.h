// The extended control bases: TKiExWinControl (on TWinControl) and
// TKiExCustomControl (on TCustomControl).
//
// Both turn the control's change notifications and component messages into
// overridable operations (TextChanged, FontChanged, MouseEnter, ...), each of
// whose defaults hands the notification on as the base control would; they
// add mouse-enter and mouse-leave events, a hint colour and a frame
// highlight. The notifications the stand-in's controls get as virtual calls
// (CMTextChanged, CMFontChanged, ...) reach the operations directly; the
// others arrive as messages through Perform and WndProc (CM_DIALOGCHAR,
// CM_HITTEST, CM_HINTSHOW, WM_GETDLGCODE, WM_ERASEBKGND, ...).
//
// AutoSize: both bases carry the extension marker interface
// (IKiExControl). The AutoSize setter (TControl::SetAutoSize, which the
// stored property calls) of a control that answers the marker sends it
// message KM_SETAUTOSIZE (0xB501) with wParam the new value, whose handler
// calls the operation DoSetAutoSize (default: store the flag, AdjustSize
// when it became true); every other control keeps the base setter.
//
// Hint colour (HintShow): clNone (0x1FFFFFFF) takes the application's hint
// colour, clDefault (0x20000000) the parent's answer to CM_HINTSHOW with a
// copy of the hint (unchanged without a parent), any other value itself.
//
// Frame highlight (DotNetHighlighting): after the focus changes and the
// mouse enters or leaves, outside design, the control's back buffer gets an
// outer one-pixel frame on its whole rectangle in 0x808080 (0x733800 when
// focused or hovered) and an inner one in 0x733800 when focused or hovered,
// else in the control's colour; leaving invalidates the two-pixel ring.
//
// Threads: main thread.
#pragma once

#include <cstdint>
#include <string>

#include "platform/classes/ControlMessages.h"
#include "platform/classes/Controls.h"
#include "platform/forms/Controls.h"
#include "platform/forms/Hints.h"

// The extension marker: the AutoSize routing recognises the controls by it.
struct IKiExControl : virtual IInterface {
  static constexpr TGUID IID = TGUID::Parse("{8E6579C3-D683-4562-AFAB-D23C8526E386}");
};
// A control whose class implements this interface answers 1 to
// KM_QUERYEXTENSION.
struct IKiExtensionQuery : virtual IInterface {
  static constexpr TGUID IID = TGUID::Parse("{76942BC0-2A6E-4DC4-BFC9-8E110DB7F601}");
};

inline constexpr UINT KM_SETAUTOSIZE = 0xB501;
inline constexpr UINT KM_QUERYEXTENSION = 0xB7D0;

// The key-data bits of the modifier keys (CM_DIALOGCHAR's lParam).
inline constexpr LPARAM kKeyDataAlt = 0x20000000;
inline constexpr LPARAM kKeyDataCtrl = 0x10000000;
inline constexpr LPARAM kKeyDataShift = 0x08000000;

// Colour values with a meaning of their own.
inline constexpr TColor kKiColorNone = static_cast<TColor>(0x1FFFFFFF);
inline constexpr TColor kKiColorDefault = static_cast<TColor>(0x20000000);

enum TKiAboutInfo { KiAbout };

// A control's dialog codes: a set, bit i for the i-th value.
enum TKiDlgCode : uint8_t {
  dcWantAllKeys,
  dcWantArrows,
  dcWantChars,
  dcButton,
  dcHasSetSel,
  dcWantTab,
  dcNative,
};
using TKiDlgCodes = uint8_t;
constexpr TKiDlgCodes DlgCodeBit(TKiDlgCode code) {
  return static_cast<TKiDlgCodes>(1u << code);
}
// The dialog-code set of a WM_GETDLGCODE answer, and back.
TKiDlgCodes DlgCodesFromResult(LRESULT result);
LRESULT DlgCodesToResult(TKiDlgCodes codes);

// Key data (CM_DIALOGCHAR's lParam) to a shift state and back.
TShiftState KeyDataToShift(LPARAM keyData);
LPARAM ShiftToKeyData(TShiftState shift);

// The members and operations both bases share, on either base control.
template <class Base>
class TKiExControlBase : public Base, public IKiExControl {
 public:
  explicit TKiExControlBase(TComponent* owner) : Base(owner) {}

  HRESULT QueryInterface(const TGUID& iid, void** obj) override;

  TKiAboutInfo AboutKi = KiAbout;
  TColor HintColor() const { return hint_color_; }
  void SetHintColor(TColor value) { hint_color_ = value; }
  // True between the mouse's entering and leaving.
  bool MouseOver() const { return mouse_over_; }
  // When set, given to every hint shown for the control.
  TClass HintWindowClass = nullptr;
  bool DotNetHighlighting() const { return dot_net_highlighting_; }
  void SetDotNetHighlighting(bool value) { dot_net_highlighting_ = value; }

  // The AutoSize setter: a control answering the marker gets
  // KM_SETAUTOSIZE; any other keeps the base setter.
  void SetAutoSize(bool value) override;

  TNotifyEvent OnMouseEnter;
  TNotifyEvent OnMouseLeave;
  TNotifyEvent OnParentColorChange;

 protected:
  // --- Operations (each default hands the notification on)
  virtual void TextChanged() { Base::CMTextChanged(); }
  // Key is the character's code, KeyText the character.
  virtual bool DialogChar(uint16_t Key, TShiftState Shift, const std::string& KeyText);
  virtual bool HitTest(int X, int Y);
  // Stores the flag; when it became true, AdjustSize.
  virtual void DoSetAutoSize(bool Value);
  virtual void Resized() {}
  virtual void GetDlgCode(TKiDlgCodes& Codes) { (void)Codes; }
  virtual void GotFocus(TWinControl* PreviousControl) {
    (void)PreviousControl;
    Base::WMSetFocus();
  }
  virtual void LostFocus(TWinControl* NextControl) {
    (void)NextControl;
    Base::WMKillFocus();
  }
  virtual bool EraseBackground(TCanvas* Canvas, LPARAM Param);
  virtual void FocusChanged(TWinControl* Control) { Base::CMFocusChanged(Control); }
  virtual void VisibleChanged() { Base::CMVisibleChanged(); }
  virtual void EnabledChanged() { Base::CMEnabledChanged(); }
  virtual void ColorChanged() { Base::CMColorChanged(); }
  virtual void FontChanged() { Base::CMFontChanged(); }
  virtual void ParentFontChanged() { Base::CMParentFontChanged(); }
  // Then raises OnParentColorChange.
  virtual void ParentColorChanged();
  virtual void ParentShowHintChanged() { PassOn(CM_PARENTSHOWHINTCHANGED, 0, 0); }
  // The hint colour rule and the hint window class, then the base's handling.
  virtual bool HintShow(THintInfo& HintInfo);
  virtual void MouseEnter(TControl* Control);
  virtual void MouseLeave(TControl* Control);
  virtual void CursorChanged() { Base::CMCursorChanged(); }
  virtual void ShowingChanged() { Base::CMShowingChanged(); }
  virtual void ShowHintChanged() { PassOn(CM_SHOWHINTCHANGED, 0, 0); }
  virtual void ControlListChanging(TControl* Control, bool Inserting);
  virtual void ControlListChanged(TControl* Control, bool Inserting);

  // The base control's message handling, which the defaults of the
  // message-borne operations hand their message to.
  virtual void InheritedWndProc(TMessage& message) { Base::WndProc(message); }

  void WndProc(TMessage& message) override;

  // --- The base's notifications, routed to the operations
  void CMTextChanged() override { TextChanged(); }
  void CMVisibleChanged() override { VisibleChanged(); }
  void CMEnabledChanged() override { EnabledChanged(); }
  void CMColorChanged() override { ColorChanged(); }
  void CMFontChanged() override { FontChanged(); }
  void CMCursorChanged() override { CursorChanged(); }
  void CMParentColorChanged() override { ParentColorChanged(); }
  void CMParentFontChanged() override { ParentFontChanged(); }
  void CMMouseEnter(TControl* control) override;
  void CMMouseLeave(TControl* control) override;
  void CMFocusChanged(TWinControl* focused) override { FocusChanged(focused); }
  void CMShowingChanged() override { ShowingChanged(); }
  void WMSetFocus() override;
  void WMKillFocus() override;
  void Resize() override {
    Base::Resize();
    Resized();
  }

  // The frame highlight (see the file comment).
  void DrawHighlight();

 private:
  LRESULT PassOn(UINT msg, WPARAM wParam, LPARAM lParam) {
    TMessage message{msg, wParam, lParam, 0};
    InheritedWndProc(message);
    return message.Result;
  }

  TColor hint_color_ = kKiColorDefault;
  bool mouse_over_ = false;
  bool dot_net_highlighting_ = false;
};

class TKiExWinControl : public TKiExControlBase<TWinControl> {
  KESTRUNE_CLASS(TKiExWinControl, TKiExControlBase<TWinControl>)
  explicit TKiExWinControl(TComponent* owner) : TKiExControlBase<TWinControl>(owner) {}
};

class TKiExCustomControl : public TKiExControlBase<TCustomControl> {
  KESTRUNE_CLASS(TKiExCustomControl, TKiExControlBase<TCustomControl>)
  explicit TKiExCustomControl(TComponent* owner) : TKiExControlBase<TCustomControl>(owner) {}

 protected:
  // The paint cycle's erase reaches EraseBackground(Canvas, 0).
  void EraseBackground(TCanvas* canvas) override { (void)EraseBackground(canvas, 0); }
  bool EraseBackground(TCanvas* Canvas, LPARAM Param) override;
};

// Registers the bases' published properties (AboutKi, DotNetHighlighting).
void RegisterKiExControlClasses();
