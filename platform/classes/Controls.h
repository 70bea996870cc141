// Controls: the state of every visual control, free of any window system.
// (Colours, font, pen and brush are plain state of the graphics layer,
// built into this Qt-free library too.)
//
// TControl is a component with a parent (a windowed control), bounds, a
// caption, visibility, enabled state, colour and font (each with its "take
// the parent's" flag), cursor, alignment, auto-size, an action and the
// input handlers the window system calls. TWinControl adds children, focus,
// tab stops, alignment of its children, a message window (Handle) and the
// place where a window system widget hangs: the widget is made behind the
// ControlBackend interface, which the forms library (platform/forms)
// installs at its start-up, as the main loop's backends are. Without a
// backend (tests of the lower modules, hidden forms) a control is plain
// state: nothing is shown, painted or sized by a window system, and every
// operation below still keeps its state.
//
// The chain (forms library classes marked *):
//   TComponent <- TControl <- TGraphicControl* <- TLabel*, ...
//                          <- TWinControl <- TCustomControl* <- ...
//                                         <- TCustomForm <- TForm*
//                                         <- hosted standard controls*
//
// Life cycle: a control is made with an owner (which frees it) and shown
// inside its parent once SetParent (or SetParentComponent, which stored
// descriptions call) gives it one. Freeing a windowed control frees its
// widget and takes its children out of it (they stay owned by their owner);
// a child freed first leaves its parent.
//
// Change notifications (CMxxx): virtual operations that run after the state
// changed, in the order the window system of the original sends its
// component messages; descendants override them to repaint or re-measure.
//
// Threads: main thread only, except Invalidate, which may be called from any
// thread (off the main thread it posts the request to the main loop, and a
// request for a control freed meanwhile is dropped).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/classes/Classes.h"
#include "platform/classes/Messages.h"
#include "platform/classes/Types.h"
#include "platform/gdiobj/Colors.h"
#include "platform/gdiobj/GraphicsObjects.h"

class TControl;
class TWinControl;
class TCustomForm;
class TBasicAction;

// The modifier keys and mouse buttons held during an input event.
enum TShiftStateFlag : uint8_t {
  ssShift = 1u << 0,
  ssAlt = 1u << 1,
  ssCtrl = 1u << 2,
  ssLeft = 1u << 3,
  ssRight = 1u << 4,
  ssMiddle = 1u << 5,
  ssDouble = 1u << 6,
};
struct TShiftState {
  uint8_t bits = 0;
  TShiftState() = default;
  constexpr TShiftState(uint8_t b) : bits(b) {}  // NOLINT: a set from its flags
  bool Contains(TShiftStateFlag f) const { return (bits & f) != 0; }
  void Include(TShiftStateFlag f) { bits |= f; }
  void Exclude(TShiftStateFlag f) { bits &= static_cast<uint8_t>(~f); }
  bool Empty() const { return bits == 0; }
  friend bool operator==(TShiftState a, TShiftState b) { return a.bits == b.bits; }
};

enum TMouseButton { mbLeft, mbRight, mbMiddle };

enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };

// ControlStyle flags: what the control is and does.
enum TControlStyleFlag : uint32_t {
  csAcceptsControls = 1u << 0,  // may be the parent of other controls
  csCaptureMouse = 1u << 1,     // a press captures the mouse until release
  csClickEvents = 1u << 2,      // a press and release inside is a Click
  csSetCaption = 1u << 3,       // the caption follows the name until set
  csOpaque = 1u << 4,           // covers its whole rectangle when it paints
  csDoubleClicks = 1u << 5,     // a double click is a DblClick
};
struct TControlStyle {
  uint32_t bits = 0;
  bool Contains(TControlStyleFlag f) const { return (bits & f) != 0; }
  void Include(TControlStyleFlag f) { bits |= f; }
  void Exclude(TControlStyleFlag f) { bits &= ~static_cast<uint32_t>(f); }
};

// Virtual key codes the input handlers receive (KeyDown/KeyUp).
inline constexpr uint16_t VK_LBUTTON = 0x01;
inline constexpr uint16_t VK_RBUTTON = 0x02;
inline constexpr uint16_t VK_MBUTTON = 0x04;
inline constexpr uint16_t VK_BACK = 0x08;
inline constexpr uint16_t VK_TAB = 0x09;
inline constexpr uint16_t VK_RETURN = 0x0D;
inline constexpr uint16_t VK_SHIFT = 0x10;
inline constexpr uint16_t VK_CONTROL = 0x11;
inline constexpr uint16_t VK_MENU = 0x12;
inline constexpr uint16_t VK_ESCAPE = 0x1B;
inline constexpr uint16_t VK_SPACE = 0x20;
inline constexpr uint16_t VK_PRIOR = 0x21;
inline constexpr uint16_t VK_NEXT = 0x22;
inline constexpr uint16_t VK_END = 0x23;
inline constexpr uint16_t VK_HOME = 0x24;
inline constexpr uint16_t VK_LEFT = 0x25;
inline constexpr uint16_t VK_UP = 0x26;
inline constexpr uint16_t VK_RIGHT = 0x27;
inline constexpr uint16_t VK_DOWN = 0x28;
inline constexpr uint16_t VK_DELETE = 0x2E;

using TNotifyEvent = TMethod<void(TObject*)>;
using TWndMethod = TMethod<void(TMessage&)>;
using TMouseEvent =
    TMethod<void(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y)>;
using TMouseMoveEvent = TMethod<void(TObject* Sender, TShiftState Shift, int X, int Y)>;
using TMouseWheelEvent = TMethod<void(TObject* Sender, TShiftState Shift, int WheelDelta,
                                      TPoint MousePos, bool& Handled)>;
using TMouseWheelUpDownEvent =
    TMethod<void(TObject* Sender, TShiftState Shift, TPoint MousePos, bool& Handled)>;
using TKeyEvent = TMethod<void(TObject* Sender, uint16_t& Key, TShiftState Shift)>;
using TKeyPressEvent = TMethod<void(TObject* Sender, char& Key)>;

// One notch of a mouse wheel.
inline constexpr int WHEEL_DELTA = 120;

namespace kestrune {

class ControlDispatch;  // the forms library's input and paint entry

// The window-system side of one windowed control. The control tells it of
// every change of what the window shows; the widget reads the control's
// state. Main thread only.
class ControlWidget {
 public:
  virtual ~ControlWidget() = default;
  // Bounds (in the parent's client coordinates) changed.
  virtual void BoundsChanged() = 0;
  // Whether the control is showing (visible with every parent) changed.
  virtual void ShowingChanged() = 0;
  virtual void EnabledChanged() = 0;
  // Caption, colour, font or cursor changed.
  virtual void AppearanceChanged() = 0;
  // The area (client coordinates; whole client when null) must be painted
  // again before it is next shown.
  virtual void Invalidate(const TRect* rect) = 0;
  // Paints what is invalid now, before returning.
  virtual void Update() = 0;
  // Gives the window the keyboard focus of its top-level window.
  virtual void SetFocus() = 0;
  // The screen position of the client area's top-left corner.
  virtual TPoint ClientOrigin() const = 0;
};

// What the forms library keeps per windowed control (its back buffer).
class ControlSurface {
 public:
  virtual ~ControlSurface() = default;
};

// Makes widgets for windowed controls. Installed once by the forms library;
// main thread only.
class ControlBackend {
 public:
  virtual ~ControlBackend() = default;
  // The widget for `control`, whose parent already has one (a control
  // without parent gets a top-level window); null when widgets cannot be
  // made yet (no window system).
  virtual std::unique_ptr<ControlWidget> CreateWidget(TWinControl& control) = 0;
};

// Installs the backend (nullptr removes it). While none is installed no
// control gets a widget.
void SetControlBackend(ControlBackend* backend);
ControlBackend* CurrentControlBackend();

// The control that captures the mouse, or null (TControl::SetMouseCapture).
TControl* CaptureControl();
// The control the pointer is over (the last one told CMMouseEnter), or
// null; cleared when that control is freed. Kept by the forms library's
// input dispatch.
TControl* ControlUnderPointer();
void SetControlUnderPointer(TControl* control);

}  // namespace kestrune

class TControl : public TComponent {
  KESTRUNE_CLASS(TControl, TComponent)
  explicit TControl(TComponent* owner);
  ~TControl() override;
  // Leaves the parent and drops the mouse capture and hover state.
  void BeforeDestruction() override;

  // --- Parent
  TWinControl* Parent() const { return parent_; }
  // Moves the control into `parent`'s children (nullptr: out of any).
  // Raises EInvalidOperation when `parent` is this control or one of its
  // children.
  virtual void SetParent(TWinControl* parent);
  TComponent* GetParentComponent() const override;
  // A stored description nests a control in a windowed control's block.
  void SetParentComponent(TComponent* parent) override;
  // The form (TCustomForm) this control stands on, or null.
  TCustomForm* ParentForm() const;

  // --- Bounds (parent's client coordinates)
  int Left() const { return left_; }
  int Top() const { return top_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  void SetLeft(int value) { SetBounds(value, top_, width_, height_); }
  void SetTop(int value) { SetBounds(left_, value, width_, height_); }
  void SetWidth(int value) { SetBounds(left_, top_, value, height_); }
  void SetHeight(int value) { SetBounds(left_, top_, width_, value); }
  // Moves and sizes the control; a negative width or height becomes 0. The
  // parent re-aligns its children when this one is aligned.
  virtual void SetBounds(int left, int top, int width, int height);
  TRect BoundsRect() const { return Bounds(left_, top_, width_, height_); }
  void SetBoundsRect(const TRect& r) { SetBounds(r.Left, r.Top, r.Width(), r.Height()); }
  // The client area: (0, 0, Width, Height) unless a descendant has borders.
  virtual TRect GetClientRect() const;
  TRect ClientRect() const { return GetClientRect(); }
  int ClientWidth() const { return GetClientRect().Width(); }
  int ClientHeight() const { return GetClientRect().Height(); }
  void SetClientWidth(int value) { SetClientSize(value, ClientHeight()); }
  void SetClientHeight(int value) { SetClientSize(ClientWidth(), value); }
  // Sizes the control so that its client area is width x height.
  virtual void SetClientSize(int width, int height);
  // The screen position of the client area's top-left corner: the Left and
  // Top of this control and of its parents, the outermost one's replaced by
  // where the window system placed its window when it has a widget.
  // Saturated at the 32-bit range.
  TPoint ClientOrigin() const;
  // A point of the client area on the screen, and back. Worked out in 64
  // bits from the unsaturated origin: exact wherever the result fits,
  // saturated at the 32-bit range where it does not.
  TPoint ClientToScreen(const TPoint& p) const;
  TPoint ScreenToClient(const TPoint& p) const;

  TAlign Align() const { return align_; }
  void SetAlign(TAlign value);
  bool AutoSize() const { return auto_size_; }
  // Stores the flag; when it becomes true, AdjustSize.
  virtual void SetAutoSize(bool value);

  // --- Appearance
  bool Visible() const { return visible_; }
  virtual void SetVisible(bool value);
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  bool Enabled() const { return enabled_; }
  virtual void SetEnabled(bool value);
  TColor Color() const { return color_; }
  // Stores the colour and clears ParentColor.
  void SetColor(TColor value);
  bool ParentColor() const { return parent_color_; }
  void SetParentColor(bool value);
  // The control's font, owned by the control.
  TFont* Font() const { return font_; }
  // Copies `value` into the font; clears ParentFont.
  void SetFont(TFont* value);
  bool ParentFont() const { return parent_font_; }
  void SetParentFont(bool value);
  const std::string& Caption() const { return caption_; }
  virtual void SetCaption(const std::string& value);
  const std::string& Text() const { return caption_; }
  void SetText(const std::string& value) { SetCaption(value); }
  TCursor Cursor() const { return cursor_; }
  void SetCursor(TCursor value);
  const std::string& Hint() const { return hint_; }
  void SetHint(const std::string& value) { hint_ = value; }
  bool ShowHint = false;
  bool ParentShowHint = true;

  TControlStyle ControlStyle;

  // --- Action: the control's caption, enabled state, hint and visibility
  // follow the action's, and Click executes it.
  TBasicAction* Action() const { return action_; }
  void SetAction(TBasicAction* action);
  // The action changed (TBasicAction calls this on every client).
  virtual void ActionChange(TBasicAction* action);

  // --- Painting requests
  // Asks for a repaint of the control's area. Any thread (see the file
  // comment).
  virtual void Invalidate();
  // Paints what is invalid now.
  virtual void Update();
  // Invalidate, then Update: the control is painted before this returns.
  virtual void Repaint();
  void Refresh() { Repaint(); }

  // --- Messages
  // Hands `message` to WindowProc and returns its result.
  LRESULT Perform(UINT msg, WPARAM wParam, LPARAM lParam);
  // Receives every message of the control; by default WndProc. Replace it
  // to intercept messages, and pass the others to the previous value.
  TWndMethod WindowProc;

  // --- Input state
  // True while the control captures the mouse (every move and release goes
  // to it until the buttons are up).
  bool MouseCapture() const;
  void SetMouseCapture(bool value);

  void Loaded() override;
  void Notification(TComponent* component, TOperation operation) override;

  TNotifyEvent OnClick;
  TNotifyEvent OnDblClick;
  TMouseEvent OnMouseDown;
  TMouseMoveEvent OnMouseMove;
  TMouseEvent OnMouseUp;
  TMouseWheelEvent OnMouseWheel;
  TMouseWheelUpDownEvent OnMouseWheelDown;
  TMouseWheelUpDownEvent OnMouseWheelUp;
  TNotifyEvent OnResize;

 protected:
  friend class TWinControl;
  friend class kestrune::ControlDispatch;

  // The default message handling: nothing.
  virtual void WndProc(TMessage& message);

  // Fires the action or OnClick (OnClick when it is set and is not the
  // action's own execute handler).
  virtual void Click();
  virtual void DblClick();
  // Fire OnMouseDown, OnMouseMove, OnMouseUp. X and Y are client
  // coordinates.
  virtual void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y);
  virtual void MouseMove(TShiftState Shift, int X, int Y);
  virtual void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y);
  // The wheel turned by WheelDelta (a multiple of WHEEL_DELTA, positive away
  // from the user) with the pointer at MousePos (screen coordinates): fires
  // OnMouseWheel, then, when no handler took it, DoMouseWheelDown (negative
  // delta) or DoMouseWheelUp. Returns whether a handler took the event.
  virtual bool DoMouseWheel(TShiftState Shift, int WheelDelta, TPoint MousePos);
  virtual bool DoMouseWheelDown(TShiftState Shift, TPoint MousePos);
  virtual bool DoMouseWheelUp(TShiftState Shift, TPoint MousePos);

  // Sizes the control to its content (AutoSize); the base does nothing.
  virtual void AdjustSize();
  // Runs after the bounds changed: fires OnResize.
  virtual void Resize();

  // Change notifications (see the file comment).
  virtual void CMEnabledChanged();
  virtual void CMVisibleChanged();
  virtual void CMColorChanged();
  virtual void CMFontChanged();
  virtual void CMTextChanged();
  virtual void CMCursorChanged();
  // The parent's colour or font changed, or the control got a new parent:
  // the default copies it when ParentColor (ParentFont) is set.
  virtual void CMParentColorChanged();
  virtual void CMParentFontChanged();
  // The pointer entered or left the control (`control` is null when the
  // notification is about this control itself).
  virtual void CMMouseEnter(TControl* control);
  virtual void CMMouseLeave(TControl* control);

  // Called from any setter that changes what the control shows.
  void Changed();

 private:
  void FontChanged(TObject* sender);
  void ApplyActionLink();

  TWinControl* parent_ = nullptr;
  int left_ = 0;
  int top_ = 0;
  int width_ = 0;
  int height_ = 0;
  TAlign align_ = alNone;
  bool auto_size_ = false;
  bool visible_ = true;
  bool enabled_ = true;
  TColor color_ = clWindow;
  bool parent_color_ = false;
  TFont* font_ = nullptr;
  bool parent_font_ = true;
  bool copying_parent_font_ = false;
  std::string caption_;
  TCursor cursor_ = crDefault;
  std::string hint_;
  TBasicAction* action_ = nullptr;
  // Reset on destruction, so that posted repaint requests of a freed
  // control are dropped.
  std::shared_ptr<TControl*> alive_;
};

class TWinControl : public TControl {
  KESTRUNE_CLASS(TWinControl, TControl)
  explicit TWinControl(TComponent* owner);
  // Frees the message window.
  ~TWinControl() override;
  // The children leave (they stay with their owner), then the widget goes.
  void BeforeDestruction() override;

  // --- Children, in paint order (the last is on top)
  int ControlCount() const { return static_cast<int>(controls_.size()); }
  TControl* Controls(int index) const;
  // Sends `message` to every child's Perform, in order.
  void Broadcast(TMessage& message);
  // The topmost visible child whose rectangle holds `pos` (client
  // coordinates), enabled unless allowDisabled, non-windowed only unless
  // allowWinControls; null when none.
  TControl* ControlAtPos(const TPoint& pos, bool allowDisabled,
                         bool allowWinControls = false) const;
  // Lets the children be aligned again (after a change of the client area).
  void Realign();
  void DisableAlign() { ++align_disabled_; }
  void EnableAlign();
  // Moves the child `control` to the top of the paint order.
  void BringToFront(TControl* control);

  // --- Focus
  bool TabStop() const { return tab_stop_; }
  void SetTabStop(bool value) { tab_stop_ = value; }
  int TabOrder = -1;
  bool Ctl3D = true;
  bool ParentCtl3D = true;
  // True when this control is its form's active control.
  bool Focused() const;
  // Visible and enabled, with every parent.
  virtual bool CanFocus() const;
  // Makes this control its form's active control (see TCustomForm's
  // SetActiveControl for the notifications). Raises EInvalidOperation when
  // it cannot take the focus.
  virtual void SetFocus();

  // Visible, and its parent showing (a top-level control: visible).
  bool Showing() const;

  // --- Message window: created on first use; messages posted to it reach
  // WindowProc on the main thread.
  HWND Handle();
  void HandleNeeded() { (void)Handle(); }
  bool HandleAllocated() const { return handle_ != HWND{}; }

  // --- Widget
  kestrune::ControlWidget* Widget() const { return widget_.get(); }
  // Makes the widget (and its parents' first) when the backend can; true
  // when it exists afterwards.
  bool WidgetNeeded();

  // Asks for a repaint of `rect` (client coordinates); the paint cycle
  // redraws the whole back buffer, the window system copies out `rect`.
  void InvalidateRect(const TRect& rect);
  // Painting always goes through the back buffer; the flag is kept for the
  // controls that read it.
  bool DoubleBuffered = false;

  void SetBounds(int left, int top, int width, int height) override;
  void Invalidate() override;
  void Update() override;
  void SetVisible(bool value) override;
  void SetEnabled(bool value) override;

  TNotifyEvent OnEnter;
  TNotifyEvent OnExit;
  TKeyEvent OnKeyDown;
  TKeyPressEvent OnKeyPress;
  TKeyEvent OnKeyUp;

 protected:
  friend class TControl;
  friend class TCustomForm;
  friend class kestrune::ControlDispatch;

  // Makes the widget; by default the backend's. A hosted standard control
  // makes its own.
  virtual std::unique_ptr<kestrune::ControlWidget> CreateWidget();

 public:
  // A control without a parent shows as a borderless popup that takes no
  // focus (a hint window) rather than as a framed window. False by default.
  virtual bool IsPopupWindow() const { return false; }

 protected:
  // Shrinks the rectangle in which the children are aligned (the client
  // rectangle by default).
  virtual void AdjustClientRect(TRect& rect);
  // Aligns the children with Align set, inside `rect`: top, bottom, left,
  // right, then client, each in child order.
  virtual void AlignControls(TControl* control, TRect& rect);

  // Key input: fire OnKeyDown, OnKeyPress, OnKeyUp. A handler swallows a
  // key by setting it to 0.
  virtual void KeyDown(uint16_t& Key, TShiftState Shift);
  virtual void KeyPress(char& Key);
  virtual void KeyUp(uint16_t& Key, TShiftState Shift);
  // Fire OnEnter and OnExit (the form's active control moves in or out).
  virtual void DoEnter();
  virtual void DoExit();
  // The window gained or lost the keyboard focus.
  virtual void WMSetFocus();
  virtual void WMKillFocus();
  // The form's active control changed to `focused` (sent to every control
  // of the form).
  virtual void CMFocusChanged(TWinControl* focused);
  // Showing changed (visible chain): tells the widget.
  virtual void CMShowingChanged();

  void CMColorChanged() override;
  void CMFontChanged() override;
  void CMEnabledChanged() override;
  void CMTextChanged() override;
  void CMCursorChanged() override;
  void CMVisibleChanged() override;

 private:
  void InsertControl(TControl* control);
  void RemoveControl(TControl* control);
  void AlignIfNeeded(TControl* control);
  void ShowingChangedTree();
  void DestroyWidget();

  std::vector<TControl*> controls_;
  std::unique_ptr<kestrune::ControlWidget> widget_;
  std::unique_ptr<kestrune::ControlSurface> surface_;
  HWND handle_{};
  bool tab_stop_ = false;
  int align_disabled_ = 0;
  bool aligning_ = false;
};

// Win32's system metrics that the controls ask for.
inline constexpr int SM_CXVSCROLL = 2;
inline constexpr int SM_CYHSCROLL = 3;
inline constexpr int SM_CXBORDER = 5;
inline constexpr int SM_CYBORDER = 6;
// The classic metrics: scroll bars 17 pixels, borders 1; 0 for any other.
int GetSystemMetrics(int index);
