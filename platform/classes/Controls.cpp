#include "platform/classes/Controls.h"

#include <algorithm>

#include "platform/classes/ActnList.h"
#include "platform/classes/CustomForm.h"
#include "platform/classes/MainLoop.h"
#include "platform/rtl/ScopeExit.h"

namespace kestrune {

namespace {
ControlBackend* g_backend = nullptr;
// The control that captures the mouse (main thread).
TControl* g_capture = nullptr;
TControl* g_under_pointer = nullptr;
}  // namespace

TControl* CaptureControl() {
  return g_capture;
}

TControl* ControlUnderPointer() {
  return g_under_pointer;
}

void SetControlUnderPointer(TControl* control) {
  g_under_pointer = control;
}

void SetControlBackend(ControlBackend* backend) {
  g_backend = backend;
}

ControlBackend* CurrentControlBackend() {
  return g_backend;
}

}  // namespace kestrune

int GetSystemMetrics(int index) {
  switch (index) {
    case SM_CXVSCROLL:
    case SM_CYHSCROLL:
      return 17;
    case SM_CXBORDER:
    case SM_CYBORDER:
      return 1;
    default:
      return 0;
  }
}

// ---------------------------------------------------------------------------
// TControl

TControl::TControl(TComponent* owner)
    : TComponent(owner), alive_(std::make_shared<TControl*>(this)) {
  WindowProc = TWndMethod(this, &TControl::WndProc);
  ControlStyle.Include(csCaptureMouse);
  ControlStyle.Include(csClickEvents);
  ControlStyle.Include(csSetCaption);
  ControlStyle.Include(csDoubleClicks);
  font_ = Create<TFont>();
  font_->OnChange = TNotifyEvent(this, &TControl::FontChanged);
}

TControl::~TControl() {
  *alive_ = nullptr;
  if (font_ != nullptr)
    font_->Free();
}

void TControl::BeforeDestruction() {
  if (kestrune::g_capture == this)
    kestrune::g_capture = nullptr;
  if (kestrune::g_under_pointer == this)
    kestrune::g_under_pointer = nullptr;
  SetAction(nullptr);
  if (parent_ != nullptr)
    parent_->RemoveControl(this);
  inherited::BeforeDestruction();
}

void TControl::SetParent(TWinControl* parent) {
  if (parent == parent_)
    return;
  for (const TControl* p = parent; p != nullptr; p = p->parent_) {
    if (p == this)
      throw EInvalidOperation("Un contrôle ne peut pas être son propre parent");
  }
  if (parent_ != nullptr)
    parent_->RemoveControl(this);
  if (parent != nullptr)
    parent->InsertControl(this);
}

TComponent* TControl::GetParentComponent() const {
  return parent_;
}

void TControl::SetParentComponent(TComponent* parent) {
  if (auto* win = dynamic_cast<TWinControl*>(parent))
    SetParent(win);
}

TCustomForm* TControl::ParentForm() const {
  const TControl* c = this;
  while (c->parent_ != nullptr)
    c = c->parent_;
  return const_cast<TCustomForm*>(dynamic_cast<const TCustomForm*>(c));
}

void TControl::SetBounds(int left, int top, int width, int height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  if (left == left_ && top == top_ && width == width_ && height == height_)
    return;
  const bool resized = width != width_ || height != height_;
  const TRect old = BoundsRect();
  left_ = left;
  top_ = top;
  width_ = width;
  height_ = height;
  if (parent_ != nullptr && !dynamic_cast<TWinControl*>(this)) {
    parent_->InvalidateRect(old);
    parent_->InvalidateRect(BoundsRect());
  }
  if (parent_ != nullptr)
    parent_->AlignIfNeeded(this);
  if (resized)
    Resize();
}

TRect TControl::GetClientRect() const {
  return Rect(0, 0, width_, height_);
}

void TControl::SetClientSize(int width, int height) {
  const TRect client = GetClientRect();
  SetBounds(left_, top_, width_ - client.Width() + width, height_ - client.Height() + height);
}

namespace {

// A screen position in 64 bits: the sum of the bounds up a chain of parents
// (any depth a program builds stays far inside 64 bits), saturated only
// where a 32-bit point is handed out.
struct WideOrigin {
  int64_t X = 0;
  int64_t Y = 0;
};

// Inside a parent a control lies at its Left and Top (a child widget is
// placed there too); the outermost control lies where the window system put
// its window, or at its own Left and Top while it has none.
WideOrigin ScreenOriginOf(const TControl& control) {
  WideOrigin origin;
  const TControl* c = &control;
  for (; c->Parent() != nullptr; c = c->Parent()) {
    origin.X += c->Left();
    origin.Y += c->Top();
  }
  const auto* win = dynamic_cast<const TWinControl*>(c);
  const TPoint placed = win != nullptr && win->Widget() != nullptr ? win->Widget()->ClientOrigin()
                                                                   : Point(c->Left(), c->Top());
  return {origin.X + placed.X, origin.Y + placed.Y};
}

}  // namespace

TPoint TControl::ClientOrigin() const {
  const WideOrigin o = ScreenOriginOf(*this);
  return OffsetPoint(TPoint{}, o.X, o.Y);
}

TPoint TControl::ClientToScreen(const TPoint& p) const {
  const WideOrigin o = ScreenOriginOf(*this);
  return OffsetPoint(p, o.X, o.Y);
}

TPoint TControl::ScreenToClient(const TPoint& p) const {
  const WideOrigin o = ScreenOriginOf(*this);
  return OffsetPoint(p, -o.X, -o.Y);
}

void TControl::SetAlign(TAlign value) {
  if (value == align_)
    return;
  align_ = value;
  if (parent_ != nullptr)
    parent_->Realign();
}

void TControl::SetAutoSize(bool value) {
  if (value == auto_size_)
    return;
  auto_size_ = value;
  if (value)
    AdjustSize();
}

void TControl::AdjustSize() {}

void TControl::Resize() {
  if (OnResize.Assigned())
    OnResize(this);
}

void TControl::SetVisible(bool value) {
  if (value == visible_)
    return;
  visible_ = value;
  CMVisibleChanged();
  if (parent_ != nullptr) {
    parent_->InvalidateRect(BoundsRect());
    parent_->AlignIfNeeded(this);
  }
}

void TControl::SetEnabled(bool value) {
  if (value == enabled_)
    return;
  enabled_ = value;
  CMEnabledChanged();
}

void TControl::SetColor(TColor value) {
  parent_color_ = false;
  if (value == color_)
    return;
  color_ = value;
  CMColorChanged();
}

void TControl::SetParentColor(bool value) {
  if (value == parent_color_)
    return;
  parent_color_ = value;
  if (value)
    CMParentColorChanged();
}

void TControl::SetFont(TFont* value) {
  if (value != nullptr && value != font_)
    font_->Assign(value);
}

void TControl::FontChanged(TObject* sender) {
  (void)sender;
  if (!copying_parent_font_)
    parent_font_ = false;
  CMFontChanged();
}

void TControl::SetParentFont(bool value) {
  if (value == parent_font_)
    return;
  parent_font_ = value;
  if (value)
    CMParentFontChanged();
}

void TControl::SetCaption(const std::string& value) {
  if (value == caption_)
    return;
  caption_ = value;
  ControlStyle.Exclude(csSetCaption);
  CMTextChanged();
}

void TControl::SetCursor(TCursor value) {
  if (value == cursor_)
    return;
  cursor_ = value;
  CMCursorChanged();
}

void TControl::SetAction(TBasicAction* action) {
  if (action == action_)
    return;
  if (action_ != nullptr) {
    action_->UnRegisterClient(this);
    action_->RemoveFreeNotification(this);
  }
  action_ = action;
  if (action_ != nullptr) {
    action_->RegisterClient(this);
    action_->FreeNotification(this);
    ActionChange(action_);
  }
}

void TControl::ActionChange(TBasicAction* action) {
  auto* a = dynamic_cast<TAction*>(action);
  if (a == nullptr || a != action_)
    return;
  SetCaption(a->Caption());
  SetHint(a->Hint());
  SetEnabled(a->Enabled());
  SetVisible(a->Visible());
}

void TControl::Notification(TComponent* component, TOperation operation) {
  inherited::Notification(component, operation);
  if (operation == opRemove && component == action_)
    action_ = nullptr;
}

void TControl::Loaded() {
  inherited::Loaded();
  // A control stored directly in its form's block has the form as parent.
  if (parent_ == nullptr) {
    if (auto* owner = dynamic_cast<TWinControl*>(Owner());
        owner != nullptr && owner->ComponentState().Contains(csLoading))
      SetParent(owner);
  }
  if (auto_size_)
    AdjustSize();
}

void TControl::Invalidate() {
  kestrune::MainLoop* loop = kestrune::MainLoop::Current();
  if (loop != nullptr && !loop->IsMainThread()) {
    std::weak_ptr<TControl*> alive = alive_;
    loop->Post([alive] {
      if (auto p = alive.lock(); p != nullptr && *p != nullptr)
        (*p)->Invalidate();
    });
    return;
  }
  if (parent_ != nullptr && visible_)
    parent_->InvalidateRect(BoundsRect());
}

void TControl::Update() {
  if (parent_ != nullptr)
    parent_->Update();
}

void TControl::Repaint() {
  Invalidate();
  Update();
}

LRESULT TControl::Perform(UINT msg, WPARAM wParam, LPARAM lParam) {
  TMessage message;
  message.Msg = msg;
  message.WParam = wParam;
  message.LParam = lParam;
  WindowProc(message);
  return message.Result;
}

void TControl::WndProc(TMessage& message) {
  (void)message;
}

bool TControl::MouseCapture() const {
  return kestrune::g_capture == this;
}

void TControl::SetMouseCapture(bool value) {
  if (value)
    kestrune::g_capture = this;
  else if (kestrune::g_capture == this)
    kestrune::g_capture = nullptr;
}

void TControl::Click() {
  if (OnClick.Assigned() &&
      (action_ == nullptr || !(OnClick == action_->OnExecute) || !action_->OnExecute.Assigned())) {
    OnClick(this);
  } else if (action_ != nullptr) {
    action_->Execute();
  }
}

void TControl::DblClick() {
  if (OnDblClick.Assigned())
    OnDblClick(this);
}

void TControl::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (OnMouseDown.Assigned())
    OnMouseDown(this, Button, Shift, X, Y);
}

void TControl::MouseMove(TShiftState Shift, int X, int Y) {
  if (OnMouseMove.Assigned())
    OnMouseMove(this, Shift, X, Y);
}

void TControl::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (OnMouseUp.Assigned())
    OnMouseUp(this, Button, Shift, X, Y);
}

bool TControl::DoMouseWheel(TShiftState Shift, int WheelDelta, TPoint MousePos) {
  bool handled = false;
  if (OnMouseWheel.Assigned())
    OnMouseWheel(this, Shift, WheelDelta, MousePos, handled);
  if (handled)
    return true;
  if (WheelDelta < 0)
    return DoMouseWheelDown(Shift, MousePos);
  if (WheelDelta > 0)
    return DoMouseWheelUp(Shift, MousePos);
  return false;
}

bool TControl::DoMouseWheelDown(TShiftState Shift, TPoint MousePos) {
  bool handled = false;
  if (OnMouseWheelDown.Assigned())
    OnMouseWheelDown(this, Shift, MousePos, handled);
  return handled;
}

bool TControl::DoMouseWheelUp(TShiftState Shift, TPoint MousePos) {
  bool handled = false;
  if (OnMouseWheelUp.Assigned())
    OnMouseWheelUp(this, Shift, MousePos, handled);
  return handled;
}

void TControl::Changed() {
  Invalidate();
}

void TControl::CMEnabledChanged() {
  Invalidate();
}

void TControl::CMVisibleChanged() {}

void TControl::CMColorChanged() {
  Invalidate();
}

void TControl::CMFontChanged() {
  Invalidate();
}

void TControl::CMTextChanged() {
  Invalidate();
}

void TControl::CMCursorChanged() {}

void TControl::CMParentColorChanged() {
  if (!parent_color_ || parent_ == nullptr)
    return;
  if (parent_->color_ != color_) {
    color_ = parent_->color_;
    CMColorChanged();
  }
}

void TControl::CMParentFontChanged() {
  if (!parent_font_ || parent_ == nullptr)
    return;
  copying_parent_font_ = true;
  kestrune::ScopeExit reset([&] { copying_parent_font_ = false; });
  font_->Assign(parent_->font_);
}

void TControl::CMMouseEnter(TControl* control) {
  (void)control;
}

void TControl::CMMouseLeave(TControl* control) {
  (void)control;
}

// ---------------------------------------------------------------------------
// TWinControl

TWinControl::TWinControl(TComponent* owner) : TControl(owner) {}

TWinControl::~TWinControl() {
  DestroyWidget();
  if (handle_ != HWND{})
    kestrune::DestroyMessageWindow(handle_);
}

void TWinControl::BeforeDestruction() {
  // The children stay with their owner; they only leave this parent.
  while (!controls_.empty())
    controls_.back()->SetParent(nullptr);
  // The widget goes while the whole control still exists: the window
  // system may call back into it while its widget is taken down.
  DestroyWidget();
  inherited::BeforeDestruction();
}

TControl* TWinControl::Controls(int index) const {
  if (index < 0 || index >= ControlCount())
    throw EListError(Format("Indice de liste hors limites (%d)", {index}));
  return controls_[static_cast<size_t>(index)];
}

void TWinControl::InsertControl(TControl* control) {
  controls_.push_back(control);
  control->parent_ = this;
  control->CMParentColorChanged();
  control->CMParentFontChanged();
  if (auto* win = dynamic_cast<TWinControl*>(control)) {
    if (widget_ != nullptr && win->Visible())
      win->WidgetNeeded();
    if (win->widget_ != nullptr)
      win->ShowingChangedTree();
  } else if (control->Visible()) {
    InvalidateRect(control->BoundsRect());
  }
  AlignIfNeeded(control);
}

void TWinControl::RemoveControl(TControl* control) {
  auto it = std::find(controls_.begin(), controls_.end(), control);
  if (it == controls_.end())
    return;
  if (TCustomForm* form = ParentForm()) {
    for (TControl* c = form->ActiveControl(); c != nullptr; c = c->Parent()) {
      if (c == control) {
        form->active_control_ = nullptr;
        break;
      }
    }
  }
  controls_.erase(it);
  control->parent_ = nullptr;
  if (auto* win = dynamic_cast<TWinControl*>(control)) {
    // A widget belongs to its parent's widget: it goes with the parent link.
    win->DestroyWidget();
  } else if (control->Visible()) {
    InvalidateRect(control->BoundsRect());
  }
  AlignIfNeeded(control);
}

void TWinControl::Broadcast(TMessage& message) {
  const std::vector<TControl*> children = controls_;
  for (TControl* c : children) {
    c->WindowProc(message);
    if (message.Result != 0)
      return;
  }
}

TControl* TWinControl::ControlAtPos(const TPoint& pos, bool allowDisabled,
                                    bool allowWinControls) const {
  for (auto it = controls_.rbegin(); it != controls_.rend(); ++it) {
    TControl* c = *it;
    if (!allowWinControls && dynamic_cast<TWinControl*>(c) != nullptr)
      continue;
    if (c->Visible() && (allowDisabled || c->Enabled()) && PtInRect(c->BoundsRect(), pos))
      return c;
  }
  return nullptr;
}

void TWinControl::BringToFront(TControl* control) {
  auto it = std::find(controls_.begin(), controls_.end(), control);
  if (it == controls_.end())
    return;
  controls_.erase(it);
  controls_.push_back(control);
  Invalidate();
}

void TWinControl::EnableAlign() {
  if (align_disabled_ > 0 && --align_disabled_ == 0)
    Realign();
}

void TWinControl::AlignIfNeeded(TControl* control) {
  if (control->Align() != alNone)
    Realign();
}

void TWinControl::Realign() {
  if (align_disabled_ > 0 || aligning_ || ComponentState().Contains(csLoading))
    return;
  aligning_ = true;
  kestrune::ScopeExit reset([&] { aligning_ = false; });
  TRect rect = GetClientRect();
  AdjustClientRect(rect);
  AlignControls(nullptr, rect);
}

void TWinControl::AdjustClientRect(TRect& rect) {
  (void)rect;
}

void TWinControl::AlignControls(TControl* control, TRect& rect) {
  (void)control;
  for (TAlign align : {alTop, alBottom, alLeft, alRight, alClient}) {
    const std::vector<TControl*> children = controls_;
    for (TControl* c : children) {
      if (c->Align() != align || !c->Visible())
        continue;
      const int w = c->Width();
      const int h = c->Height();
      switch (align) {
        // The edges move by the children's sizes, saturated: children
        // larger than what is left push the edges to the 32-bit range.
        case alTop:
          c->SetBounds(rect.Left, rect.Top, rect.Width(), h);
          rect.Top = SaturatingAdd(rect.Top, h);
          break;
        case alBottom:
          rect.Bottom = SaturatingAdd(rect.Bottom, -int64_t{h});
          c->SetBounds(rect.Left, rect.Bottom, rect.Width(), h);
          break;
        case alLeft:
          c->SetBounds(rect.Left, rect.Top, w, rect.Height());
          rect.Left = SaturatingAdd(rect.Left, w);
          break;
        case alRight:
          rect.Right = SaturatingAdd(rect.Right, -int64_t{w});
          c->SetBounds(rect.Right, rect.Top, w, rect.Height());
          break;
        default:
          c->SetBounds(rect.Left, rect.Top, rect.Width(), rect.Height());
          break;
      }
    }
  }
}

bool TWinControl::Focused() const {
  const TCustomForm* form = ParentForm();
  return form != nullptr && form->ActiveControl() == this;
}

bool TWinControl::CanFocus() const {
  for (const TControl* c = this; c != nullptr; c = c->Parent()) {
    if (!c->Visible() || !c->Enabled())
      return false;
  }
  return true;
}

void TWinControl::SetFocus() {
  TCustomForm* form = ParentForm();
  if (form == nullptr || form == this) {
    if (widget_ != nullptr)
      widget_->SetFocus();
    return;
  }
  form->SetActiveControl(this);
}

bool TWinControl::Showing() const {
  for (const TControl* c = this; c != nullptr; c = c->Parent()) {
    if (!c->Visible())
      return false;
  }
  return true;
}

HWND TWinControl::Handle() {
  if (handle_ == HWND{}) {
    // The window's handler reads WindowProc at each message, so a replaced
    // WindowProc takes effect at once.
    handle_ = kestrune::CreateMessageWindow([this](TMessage& message) { WindowProc(message); });
  }
  return handle_;
}

std::unique_ptr<kestrune::ControlWidget> TWinControl::CreateWidget() {
  kestrune::ControlBackend* backend = kestrune::CurrentControlBackend();
  return backend != nullptr ? backend->CreateWidget(*this) : nullptr;
}

bool TWinControl::WidgetNeeded() {
  if (widget_ != nullptr)
    return true;
  if (Parent() != nullptr && !Parent()->WidgetNeeded())
    return false;
  widget_ = CreateWidget();
  if (widget_ == nullptr)
    return false;
  // The children that are visible get theirs inside this one.
  const std::vector<TControl*> children = controls_;
  for (TControl* c : children) {
    if (auto* win = dynamic_cast<TWinControl*>(c); win != nullptr && win->Visible())
      win->WidgetNeeded();
  }
  return true;
}

void TWinControl::DestroyWidget() {
  for (TControl* c : controls_) {
    if (auto* win = dynamic_cast<TWinControl*>(c))
      win->DestroyWidget();
  }
  widget_.reset();
  surface_.reset();
}

void TWinControl::SetBounds(int left, int top, int width, int height) {
  const int oldWidth = Width();
  const int oldHeight = Height();
  const int oldLeft = Left();
  const int oldTop = Top();
  inherited::SetBounds(left, top, width, height);
  if (Left() == oldLeft && Top() == oldTop && Width() == oldWidth && Height() == oldHeight)
    return;
  if (widget_ != nullptr)
    widget_->BoundsChanged();
  if (Width() != oldWidth || Height() != oldHeight) {
    Realign();
    Invalidate();
  }
}

void TWinControl::Invalidate() {
  kestrune::MainLoop* loop = kestrune::MainLoop::Current();
  if (loop != nullptr && !loop->IsMainThread()) {
    inherited::Invalidate();  // posts
    return;
  }
  if (widget_ != nullptr)
    widget_->Invalidate(nullptr);
}

void TWinControl::InvalidateRect(const TRect& rect) {
  if (widget_ != nullptr)
    widget_->Invalidate(&rect);
}

void TWinControl::Update() {
  if (widget_ != nullptr)
    widget_->Update();
}

void TWinControl::SetVisible(bool value) {
  if (value == Visible())
    return;
  inherited::SetVisible(value);
  if (value && (Parent() == nullptr || Parent()->widget_ != nullptr))
    WidgetNeeded();
  ShowingChangedTree();
}

void TWinControl::ShowingChangedTree() {
  CMShowingChanged();
}

void TWinControl::CMShowingChanged() {
  if (widget_ != nullptr)
    widget_->ShowingChanged();
}

void TWinControl::SetEnabled(bool value) {
  if (value == Enabled())
    return;
  inherited::SetEnabled(value);
}

void TWinControl::KeyDown(uint16_t& Key, TShiftState Shift) {
  if (OnKeyDown.Assigned())
    OnKeyDown(this, Key, Shift);
}

void TWinControl::KeyPress(char& Key) {
  if (OnKeyPress.Assigned())
    OnKeyPress(this, Key);
}

void TWinControl::KeyUp(uint16_t& Key, TShiftState Shift) {
  if (OnKeyUp.Assigned())
    OnKeyUp(this, Key, Shift);
}

void TWinControl::DoEnter() {
  if (OnEnter.Assigned())
    OnEnter(this);
}

void TWinControl::DoExit() {
  if (OnExit.Assigned())
    OnExit(this);
}

void TWinControl::WMSetFocus() {}

void TWinControl::WMKillFocus() {}

void TWinControl::CMFocusChanged(TWinControl* focused) {
  (void)focused;
}

void TWinControl::CMColorChanged() {
  inherited::CMColorChanged();
  if (widget_ != nullptr)
    widget_->AppearanceChanged();
  const std::vector<TControl*> children = controls_;
  for (TControl* c : children)
    c->CMParentColorChanged();
}

void TWinControl::CMFontChanged() {
  inherited::CMFontChanged();
  if (widget_ != nullptr)
    widget_->AppearanceChanged();
  const std::vector<TControl*> children = controls_;
  for (TControl* c : children)
    c->CMParentFontChanged();
}

void TWinControl::CMEnabledChanged() {
  inherited::CMEnabledChanged();
  if (widget_ != nullptr)
    widget_->EnabledChanged();
}

void TWinControl::CMTextChanged() {
  inherited::CMTextChanged();
  if (widget_ != nullptr)
    widget_->AppearanceChanged();
}

void TWinControl::CMCursorChanged() {
  inherited::CMCursorChanged();
  if (widget_ != nullptr)
    widget_->AppearanceChanged();
}

void TWinControl::CMVisibleChanged() {
  inherited::CMVisibleChanged();
}
