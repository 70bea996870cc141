// The Qt side of windowed controls (ControlWidgetsPrivate.h): the back buffers,
// ControlDispatch (paint cycle and input for the Qt events), WinWidget and
// HostWidget, the Qt backend the forms unit installs, and the conversions
// from Qt's keys, modifiers and buttons.
#include "platform/forms/ControlWidgetsPrivate.h"

#include <QApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <algorithm>
#include <climits>

#include "platform/classes/CustomForm.h"
#include "platform/forms/Forms.h"
#include "platform/forms/QtEntry.h"
#include "platform/forms/QtTextPrivate.h"
#include "platform/rtl/ScopeExit.h"

namespace kestrune {

namespace {

// The control that received the last left press and may get its Click.
TControl* g_clicked = nullptr;

void FillWithColor(TCanvas& canvas, TColor color, const TRect& rect) {
  canvas.Brush()->SetStyle(bsSolid);
  canvas.Brush()->SetColor(color);
  canvas.FillRect(rect);
}

// Gives the canvas the control's font and colour, as a paint starts.
void PrepareCanvas(TCanvas& canvas, TControl& control) {
  canvas.Font()->Assign(control.Font());
  canvas.Brush()->SetStyle(bsSolid);
  canvas.Brush()->SetColor(control.Color());
}

}  // namespace

BackBuffer::BackBuffer() : canvas(&image) {}

BackBuffer* ControlDispatch::ExistingBuffer(TWinControl& control) {
  return static_cast<BackBuffer*>(control.surface_.get());
}

namespace {

// The largest top-level window the window system shows: its window sizes
// and positions are 16-bit.
constexpr int64_t kMaxWindow = 32767;

// The part of `control`'s client area that can show on the screen, in its
// client coordinates: what of it the toolkit draws (a widget is at most
// QWIDGETSIZE_MAX a side, a top-level window at most kMaxWindow), inside
// every ancestor's visible part.
TRect VisiblePart(const TWinControl& control) {
  const int64_t largest = control.Parent() != nullptr ? QWIDGETSIZE_MAX : kMaxWindow;
  int64_t left = 0, top = 0;
  int64_t right = std::min<int64_t>(std::max(control.ClientWidth(), 0), largest);
  int64_t bottom = std::min<int64_t>(std::max(control.ClientHeight(), 0), largest);
  if (const TWinControl* parent = control.Parent()) {
    // The parent's visible part, moved to this control's client origin.
    const TRect outer = VisiblePart(*parent);
    left = std::max<int64_t>(left, outer.Left - int64_t{control.Left()});
    top = std::max<int64_t>(top, outer.Top - int64_t{control.Top()});
    right = std::min<int64_t>(right, outer.Right - int64_t{control.Left()});
    bottom = std::min<int64_t>(bottom, outer.Bottom - int64_t{control.Top()});
  }
  if (right <= left || bottom <= top)
    return TRect{};
  return Rect(static_cast<int32_t>(left), static_cast<int32_t>(top), static_cast<int32_t>(right),
              static_cast<int32_t>(bottom));
}

}  // namespace

BackBuffer& ControlDispatch::Buffer(TWinControl& control) {
  if (control.surface_ == nullptr)
    control.surface_ = std::make_unique<BackBuffer>();
  auto& buffer = static_cast<BackBuffer&>(*control.surface_);
  const TRect part = VisiblePart(control);
  const int w = part.Width();
  const int h = part.Height();
  if (buffer.image.width() != w || buffer.image.height() != h || buffer.origin != part.TopLeft()) {
    QImage fresh(w, h, QImage::Format_RGB32);
    fresh.fill(QColor::fromRgb(ColorToRGB(control.Color()) & 0xFF,
                               (ColorToRGB(control.Color()) >> 8) & 0xFF,
                               (ColorToRGB(control.Color()) >> 16) & 0xFF));
    buffer.image = std::move(fresh);
    buffer.origin = part.TopLeft();
    ++buffer.generation;
    buffer.canvas.SetTarget(&buffer.image);
    buffer.canvas.SetWindowOrg(buffer.origin);
    buffer.valid = false;
  }
  return buffer;
}

void ControlDispatch::PaintCycle(TWinControl& control) {
  BackBuffer& buffer = Buffer(control);
  if (buffer.valid)
    return;
  // Valid first: a paint that invalidates again asks for another cycle.
  buffer.valid = true;
  const int level = buffer.canvas.SaveState();
  kestrune::ScopeExit restore([&] { buffer.canvas.RestoreState(level); });
  PaintWindow(control, buffer.canvas, nullptr);
}

void ControlDispatch::PaintWindow(TWinControl& control, TCanvas& canvas, const TControl* stopAt) {
  if (auto* custom = dynamic_cast<TCustomControl*>(&control)) {
    TCanvas* saved = custom->painting_;
    custom->painting_ = &canvas;
    kestrune::ScopeExit restore([&] { custom->painting_ = saved; });
    PrepareCanvas(canvas, control);
    custom->EraseBackground(&canvas);
    PrepareCanvas(canvas, control);
    custom->Paint();
  } else {
    FillWithColor(canvas, control.Color(), control.ClientRect());
  }
  for (int i = 0; i < control.ControlCount(); ++i) {
    TControl* child = control.Controls(i);
    if (child == stopAt)
      break;
    auto* graphic = dynamic_cast<TGraphicControl*>(child);
    if (graphic == nullptr || !graphic->Visible() || graphic->Width() <= 0 ||
        graphic->Height() <= 0)
      continue;
    const int level = canvas.SaveState();
    const TPoint origin = canvas.WindowOrg();
    canvas.IntersectClipRect(graphic->BoundsRect());
    canvas.SetWindowOrg(OffsetPoint(origin, -int64_t{graphic->Left()}, -int64_t{graphic->Top()}));
    kestrune::ScopeExit restore([&] { canvas.RestoreState(level); });
    PaintGraphic(*graphic, canvas);
  }
}

void ControlDispatch::PaintGraphic(TGraphicControl& control, TCanvas& canvas) {
  TCanvas* saved = control.painting_;
  control.painting_ = &canvas;
  kestrune::ScopeExit restore([&] { control.painting_ = saved; });
  PrepareCanvas(canvas, control);
  control.Paint();
}

TControl* ControlDispatch::Target(TWinControl& control, TPoint pos, TPoint& local) {
  TControl* target = &control;
  if (TControl* child = control.ControlAtPos(pos, false))
    target = child;
  local = pos;
  if (target != &control)
    local = OffsetPoint(pos, -int64_t{target->Left()}, -int64_t{target->Top()});
  return target;
}

namespace {

// Client coordinates of `target` for a point given in `control`'s client
// coordinates (both on screen).
TPoint LocalTo(TControl& target, TWinControl& control, TPoint pos) {
  if (&target == &control)
    return pos;
  return target.ScreenToClient(control.ClientToScreen(pos));
}

}  // namespace

TControl* ControlDispatch::PointerTarget(TWinControl& control, TPoint pos, TPoint& local) {
  if (TControl* captured = CaptureControl()) {
    local = LocalTo(*captured, control, pos);
    return captured;
  }
  return Target(control, pos, local);
}

void ControlDispatch::MousePress(TWinControl& control, TMouseButton button, TShiftState shift,
                                 TPoint pos, bool doubleClick) {
  TPoint local;
  TControl* target = PointerTarget(control, pos, local);
  if (!target->Enabled())
    return;
  if (target->ControlStyle.Contains(csCaptureMouse))
    target->SetMouseCapture(true);
  if (button == mbLeft)
    g_clicked = target->ControlStyle.Contains(csClickEvents) ? target : nullptr;
  if (doubleClick && target->ControlStyle.Contains(csDoubleClicks)) {
    shift.Include(ssDouble);
    target->MouseDown(button, shift, local.X, local.Y);
    if (button == mbLeft)
      target->DblClick();
    return;
  }
  target->MouseDown(button, shift, local.X, local.Y);
}

void ControlDispatch::MouseRelease(TWinControl& control, TMouseButton button, TShiftState shift,
                                   TPoint pos, bool buttonsLeft) {
  TPoint local;
  TControl* target = PointerTarget(control, pos, local);
  if (!buttonsLeft && CaptureControl() != nullptr)
    CaptureControl()->SetMouseCapture(false);
  if (!target->Enabled())
    return;
  // The control sees its release before the click, so that a handler of
  // the click sees what the release changed.
  TControl* clicked = button == mbLeft ? g_clicked : nullptr;
  if (button == mbLeft)
    g_clicked = nullptr;
  target->MouseUp(button, shift, local.X, local.Y);
  if (clicked == target && PtInRect(target->ClientRect(), local))
    target->Click();
}

void ControlDispatch::MouseMoveAt(TWinControl& control, TShiftState shift, TPoint pos) {
  const TPoint screen = control.ClientToScreen(pos);
  PointerAt(&screen);
  TPoint local;
  TControl* target = PointerTarget(control, pos, local);
  if (auto* widget = WinWidget::Of(&control)) {
    const TCursor screenCursor = Screen != nullptr ? Screen->Cursor() : crDefault;
    const TCursor cursor = screenCursor != crDefault ? screenCursor : target->Cursor();
    widget->setCursor(CursorFor(cursor));
  }
  if (!target->Enabled())
    return;
  target->MouseMove(shift, local.X, local.Y);
}

void ControlDispatch::Wheel(TWinControl& control, TShiftState shift, int delta, TPoint screenPos) {
  for (TWinControl* c = &control; c != nullptr; c = c->Parent()) {
    if (c->Enabled() && c->DoMouseWheel(shift, delta, screenPos))
      return;
  }
}

namespace {

// Enter and Esc that the control's own key handlers left go to the
// outermost form holding it (a page form's keys to its dialog): true when
// the form used the key.
bool FormTookDialogKey(TWinControl& control, uint16_t key, TShiftState shift) {
  if (key != VK_RETURN && key != VK_ESCAPE)
    return false;
  TForm* outer = nullptr;
  for (TWinControl* c = &control; c != nullptr; c = c->Parent()) {
    if (auto* form = dynamic_cast<TForm*>(c))
      outer = form;
  }
  return outer != nullptr && outer->DialogKey(key, shift, &control);
}

}  // namespace

void ControlDispatch::KeyPressed(TWinControl& control, uint16_t key, TShiftState shift,
                                 const std::string& text) {
  TWinControl* target = &control;
  if (TCustomForm* form = control.ParentForm(); form != nullptr && form->ActiveControl() != nullptr)
    target = form->ActiveControl();
  if (!target->Enabled())
    return;
  if (key != 0)
    target->KeyDown(key, shift);
  if (key != 0 && FormTookDialogKey(*target, key, shift))
    return;
  if (text.size() == 1) {
    char c = text[0];
    target->KeyPress(c);
  }
}

bool ControlDispatch::HostedKey(TWinControl& control, uint16_t key, TShiftState shift,
                                const std::string& text) {
  if (!control.Enabled())
    return false;
  if (key != 0) {
    control.KeyDown(key, shift);
    if (key == 0 || FormTookDialogKey(control, key, shift))
      return true;
  }
  if (text.size() == 1) {
    char c = text[0];
    control.KeyPress(c);
    return c == 0;
  }
  return false;
}

void ControlDispatch::KeyReleased(TWinControl& control, uint16_t key, TShiftState shift) {
  TWinControl* target = &control;
  if (TCustomForm* form = control.ParentForm(); form != nullptr && form->ActiveControl() != nullptr)
    target = form->ActiveControl();
  if (target->Enabled() && key != 0)
    target->KeyUp(key, shift);
}

void ControlDispatch::PointerAt(const TPoint* screenPos) {
  TControl* now = screenPos != nullptr ? FindDragTarget(*screenPos, true) : nullptr;
  TControl* before = ControlUnderPointer();
  if (now == before)
    return;
  SetControlUnderPointer(now);
  if (before != nullptr)
    before->CMMouseLeave(nullptr);
  // A leave handler may have freed or moved things: tell the control that
  // is under the pointer now, if it still is.
  if (now != nullptr && ControlUnderPointer() == now)
    now->CMMouseEnter(nullptr);
}

void ControlDispatch::WindowMoved(TWinControl& control, int left, int top, int width, int height) {
  const bool resized = control.Width() != width || control.Height() != height;
  control.TControl::SetBounds(left, top, width, height);
  if (resized)
    control.Realign();
}

// ---------------------------------------------------------------------------
// WinWidget

namespace {
QColor QColorOf(TColor color) {
  const COLORREF rgb = ColorToRGB(color);
  return QColor(rgb & 0xFF, (rgb >> 8) & 0xFF, (rgb >> 16) & 0xFF);
}

// A child widget's rectangle in its parent for the control's bounds. Qt
// keeps a widget at most QWIDGETSIZE_MAX a side and holds its rectangle in
// int, working out the far edge as (left + size) - 1: a control whose far
// edge would not fit gets a widget moved back just inside the range, still
// beyond any screen. The control's own bounds stay as they are (its
// coordinates come from them); only Qt's copy is held in range.
QRect ChildGeometry(const TControl& control) {
  const int width = std::min(control.Width(), QWIDGETSIZE_MAX);
  const int height = std::min(control.Height(), QWIDGETSIZE_MAX);
  const int left = std::clamp(control.Left(), INT_MIN + 1, INT_MAX - width);
  const int top = std::clamp(control.Top(), INT_MIN + 1, INT_MAX - height);
  return QRect(left, top, width, height);
}

}  // namespace

WinWidget::WinWidget(TWinControl& control, QWidget* parent, Qt::WindowFlags flags)
    : QWidget(parent, flags), control_(control) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAttribute(Qt::WA_NoSystemBackground);
  setMouseTracking(true);
  setFocusPolicy(Qt::NoFocus);
  if (parent != nullptr) {
    setGeometry(ChildGeometry(control));
  } else {
    move(control.Left(), control.Top());
    resize(control.Width(), control.Height());
  }
  setEnabled(control.Enabled());
  setCursor(CursorFor(control.Cursor()));
}

WinWidget::~WinWidget() = default;

WinWidget* WinWidget::Of(TWinControl* control) {
  return control != nullptr ? dynamic_cast<WinWidget*>(control->Widget()) : nullptr;
}

QWidget* WinWidget::ParentWidgetOf(TWinControl& control) {
  return Of(control.Parent());
}

void WinWidget::BoundsChanged() {
  if (isWindow()) {
    move(control_.Left(), control_.Top());
    resize(control_.Width(), control_.Height());
  } else {
    setGeometry(ChildGeometry(control_));
  }
}

void WinWidget::ShowingChanged() {
  if (control_.Visible()) {
    show();
    if (isWindow())
      raise();
  } else {
    hide();
  }
}

void WinWidget::EnabledChanged() {
  setEnabled(control_.Enabled());
}

void WinWidget::AppearanceChanged() {
  setCursor(CursorFor(control_.Cursor()));
  if (isWindow())
    setWindowTitle(ToQString(control_.Caption()));
  Invalidate(nullptr);
}

void WinWidget::Invalidate(const TRect* rect) {
  if (BackBuffer* buffer = ControlDispatch::ExistingBuffer(control_))
    buffer->valid = false;
  if (rect == nullptr) {
    update();
    return;
  }
  // Only the widget's own rectangle is ever painted.
  TRect shown;
  if (IntersectRect(shown, *rect, Rect(0, 0, width(), height())))
    update(QRect(shown.Left, shown.Top, shown.Width(), shown.Height()));
}

void WinWidget::Update() {
  if (isVisible())
    repaint();
  else
    CallFromQt([this] { ControlDispatch::PaintCycle(control_); });
}

void WinWidget::SetFocus() {
  setFocus(Qt::OtherFocusReason);
}

TPoint WinWidget::ClientOrigin() const {
  const QPoint p = mapToGlobal(QPoint(0, 0));
  return Point(p.x(), p.y());
}

void WinWidget::paintEvent(QPaintEvent* event) {
  (void)event;
  if (!paints_buffer)
    return;
  CallFromQt([this] { ControlDispatch::PaintCycle(control_); });
  QPainter painter(this);
  if (BackBuffer* buffer = ControlDispatch::ExistingBuffer(control_))
    painter.drawImage(buffer->origin.X, buffer->origin.Y, buffer->image);
}

namespace {

bool IsOurButton(Qt::MouseButton button) {
  return button == Qt::LeftButton || button == Qt::RightButton || button == Qt::MiddleButton;
}

}  // namespace

namespace {

enum class ButtonEvent { Press, DoubleClick, Release };

// A press, double click or release of one of our buttons: to the dispatch,
// with the buttons held after the event (so a release's shift state holds
// the buttons still down).
void DispatchButton(TWinControl& control, QMouseEvent* event, ButtonEvent kind) {
  if (!IsOurButton(event->button()))
    return;
  NoteMouseButtons(event->buttons());
  const QPoint q = event->position().toPoint();
  const TPoint p = Point(q.x(), q.y());
  const TShiftState shift = ShiftFrom(event->modifiers(), event->buttons());
  const TMouseButton button = ButtonFrom(event->button());
  const bool buttonsLeft =
      (event->buttons() & (Qt::LeftButton | Qt::RightButton | Qt::MiddleButton)) != Qt::NoButton;
  CallFromQt([&] {
    if (kind == ButtonEvent::Release)
      ControlDispatch::MouseRelease(control, button, shift, p, buttonsLeft);
    else
      ControlDispatch::MousePress(control, button, shift, p, kind == ButtonEvent::DoubleClick);
  });
}

}  // namespace

void WinWidget::mousePressEvent(QMouseEvent* event) {
  DispatchButton(control_, event, ButtonEvent::Press);
}

void WinWidget::mouseDoubleClickEvent(QMouseEvent* event) {
  DispatchButton(control_, event, ButtonEvent::DoubleClick);
}

void WinWidget::mouseReleaseEvent(QMouseEvent* event) {
  DispatchButton(control_, event, ButtonEvent::Release);
}

void WinWidget::mouseMoveEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  const TShiftState shift = ShiftFrom(event->modifiers(), event->buttons());
  CallFromQt([&] { ControlDispatch::MouseMoveAt(control_, shift, Point(p.x(), p.y())); });
}

void WinWidget::wheelEvent(QWheelEvent* event) {
  const int delta = event->angleDelta().y();
  if (delta == 0)
    return;
  const QPoint g = event->globalPosition().toPoint();
  const TShiftState shift = ShiftFrom(event->modifiers(), event->buttons());
  CallFromQt([&] { ControlDispatch::Wheel(control_, shift, delta, Point(g.x(), g.y())); });
}

void WinWidget::keyPressEvent(QKeyEvent* event) {
  const uint16_t key = VirtualKeyFrom(event->key());
  const TShiftState shift = ShiftFrom(event->modifiers(), Qt::NoButton);
  const QByteArray text = event->text().toLatin1();
  CallFromQt([&] {
    ControlDispatch::KeyPressed(control_, key, shift, std::string(text.constData(), text.size()));
  });
}

void WinWidget::keyReleaseEvent(QKeyEvent* event) {
  const uint16_t key = VirtualKeyFrom(event->key());
  const TShiftState shift = ShiftFrom(event->modifiers(), Qt::NoButton);
  CallFromQt([&] { ControlDispatch::KeyReleased(control_, key, shift); });
}

void WinWidget::leaveEvent(QEvent* event) {
  (void)event;
  if (!isWindow())
    return;
  CallFromQt([] {
    TPoint p;
    GetCursorPos(&p);
    ControlDispatch::PointerAt(&p);
  });
}

void WinWidget::moveEvent(QMoveEvent* event) {
  (void)event;
  if (!isWindow())
    return;
  CallFromQt([this] {
    ControlDispatch::WindowMoved(control_, x(), y(), control_.Width(), control_.Height());
  });
}

void WinWidget::resizeEvent(QResizeEvent* event) {
  (void)event;
  if (!isWindow())
    return;
  CallFromQt([this] {
    ControlDispatch::WindowMoved(control_, control_.Left(), control_.Top(), width(), height());
  });
}

// ---------------------------------------------------------------------------
// Helpers

TShiftState ShiftFrom(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons) {
  TShiftState s;
  if (modifiers & Qt::ShiftModifier)
    s.Include(ssShift);
  if (modifiers & Qt::AltModifier)
    s.Include(ssAlt);
  if (modifiers & Qt::ControlModifier)
    s.Include(ssCtrl);
  if (buttons & Qt::LeftButton)
    s.Include(ssLeft);
  if (buttons & Qt::RightButton)
    s.Include(ssRight);
  if (buttons & Qt::MiddleButton)
    s.Include(ssMiddle);
  return s;
}

TMouseButton ButtonFrom(Qt::MouseButton button) {
  switch (button) {
    case Qt::RightButton:
      return mbRight;
    case Qt::MiddleButton:
      return mbMiddle;
    default:
      return mbLeft;
  }
}

uint16_t VirtualKeyFrom(int qtKey) {
  if ((qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) || (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9))
    return static_cast<uint16_t>(qtKey);
  if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24)
    return static_cast<uint16_t>(0x70 + (qtKey - Qt::Key_F1));
  switch (qtKey) {
    case Qt::Key_Backspace:
      return VK_BACK;
    case Qt::Key_Tab:
      return VK_TAB;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return VK_RETURN;
    case Qt::Key_Shift:
      return VK_SHIFT;
    case Qt::Key_Control:
      return VK_CONTROL;
    case Qt::Key_Alt:
      return VK_MENU;
    case Qt::Key_Escape:
      return VK_ESCAPE;
    case Qt::Key_Space:
      return VK_SPACE;
    case Qt::Key_PageUp:
      return VK_PRIOR;
    case Qt::Key_PageDown:
      return VK_NEXT;
    case Qt::Key_End:
      return VK_END;
    case Qt::Key_Home:
      return VK_HOME;
    case Qt::Key_Left:
      return VK_LEFT;
    case Qt::Key_Up:
      return VK_UP;
    case Qt::Key_Right:
      return VK_RIGHT;
    case Qt::Key_Down:
      return VK_DOWN;
    case Qt::Key_Delete:
      return VK_DELETE;
    case Qt::Key_Plus:
      return 0xBB;  // the "+" key of the main keyboard
    case Qt::Key_Minus:
      return 0xBD;
    default:
      return 0;
  }
}

namespace {

class Backend final : public ControlBackend {
 public:
  std::unique_ptr<ControlWidget> CreateWidget(TWinControl& control) override {
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr)
      return nullptr;
    QWidget* parent = WinWidget::ParentWidgetOf(control);
    if (control.Parent() != nullptr && parent == nullptr)
      return nullptr;
    Qt::WindowFlags flags = Qt::Widget;
    if (parent == nullptr)
      flags = control.IsPopupWindow()
                  ? Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus
                  : Qt::Window;
    auto widget = std::make_unique<WinWidget>(control, parent, flags);
    if (control.Visible() && (parent == nullptr || control.Parent()->Showing()))
      widget->show();
    return widget;
  }
};

}  // namespace

ControlBackend& QtControlBackend() {
  static Backend backend;
  return backend;
}

}  // namespace kestrune

// ---------------------------------------------------------------------------
// Hosted widgets

QFont QtFontOf(const TFont& font);  // platform/graphics/Canvas.cpp

namespace kestrune {

QFont QtFontFor(const TFont& font) {
  return QtFontOf(font);
}

QColor QtColorFor(TColor color) {
  return QColorOf(color);
}

HostWidget::HostWidget(TWinControl& control, QWidget* parent) : WinWidget(control, parent) {
  paints_buffer = false;
  setAttribute(Qt::WA_OpaquePaintEvent, false);
  setAttribute(Qt::WA_NoSystemBackground, false);
}

void HostWidget::Host(QWidget* hosted) {
  hosted_ = hosted;
  hosted_->setGeometry(0, 0, width(), height());
  hosted_->setFocusPolicy(Qt::StrongFocus);
  hosted_->installEventFilter(this);
  AppearanceChanged();
}

void HostWidget::AppearanceChanged() {
  WinWidget::AppearanceChanged();
  if (hosted_ == nullptr)
    return;
  if (TFont* font = Control().Font())
    hosted_->setFont(QtFontFor(*font));
  QPalette palette = hosted_->palette();
  palette.setColor(QPalette::Base, QtColorFor(Control().Color()));
  palette.setColor(QPalette::Button, QtColorFor(Control().Color()));
  if (TFont* font = Control().Font()) {
    palette.setColor(QPalette::Text, QtColorFor(font->Color()));
    palette.setColor(QPalette::WindowText, QtColorFor(font->Color()));
    palette.setColor(QPalette::ButtonText, QtColorFor(font->Color()));
  }
  // A disabled control shows in the standard scheme's disabled colours, as
  // the custom-drawn ones do: grey text on the button face, the etch in the
  // button highlight.
  palette.setColor(QPalette::Disabled, QPalette::Base, QtColorFor(clBtnFace));
  palette.setColor(QPalette::Disabled, QPalette::Text, QtColorFor(clGrayText));
  palette.setColor(QPalette::Disabled, QPalette::WindowText, QtColorFor(clGrayText));
  palette.setColor(QPalette::Disabled, QPalette::ButtonText, QtColorFor(clGrayText));
  palette.setColor(QPalette::Disabled, QPalette::Light, QtColorFor(clBtnHighlight));
  hosted_->setPalette(palette);
}

// The layer a hosted control draws on top of its widget.
class HostWidget::Overlay final : public QWidget {
 public:
  Overlay(QWidget* parent, std::function<void(TCanvas&)> paint)
      : QWidget(parent), paint_(std::move(paint)) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setAttribute(Qt::WA_TranslucentBackground);
  }

 protected:
  void paintEvent(QPaintEvent* event) override {
    (void)event;
    if (image_.size() != size())
      image_ = QImage(size(), QImage::Format_ARGB32_Premultiplied);
    image_.fill(Qt::transparent);
    TCanvas canvas(&image_);
    CallFromQt([&] { paint_(canvas); });
    QPainter painter(this);
    painter.drawImage(0, 0, image_);
  }

 private:
  std::function<void(TCanvas&)> paint_;
  QImage image_;
};

void HostWidget::SetOverlay(std::function<void(TCanvas&)> paint) {
  overlay_ = new Overlay(this, std::move(paint));
  overlay_->setGeometry(0, 0, width(), height());
  overlay_->raise();
  overlay_->show();
}

void HostWidget::Invalidate(const TRect* rect) {
  WinWidget::Invalidate(rect);
  if (overlay_ != nullptr)
    overlay_->update();
}

void HostWidget::resizeEvent(QResizeEvent* event) {
  WinWidget::resizeEvent(event);
  if (hosted_ != nullptr)
    hosted_->setGeometry(0, 0, width(), height());
  if (overlay_ != nullptr)
    overlay_->setGeometry(0, 0, width(), height());
}

void HostWidget::keyPressEvent(QKeyEvent* event) {
  event->accept();
}

bool HostWidget::eventFilter(QObject* watched, QEvent* event) {
  if (watched != hosted_)
    return WinWidget::eventFilter(watched, event);
  switch (event->type()) {
    case QEvent::FocusIn:
      CallFromQt([this] {
        TCustomForm* form = Control().ParentForm();
        if (form != nullptr && form->ActiveControl() != &Control() && Control().CanFocus())
          form->SetActiveControl(&Control());
      });
      break;
    case QEvent::Enter:
    case QEvent::Leave:
    case QEvent::MouseMove:
      // The pointer over the hosted widget is over our control.
      CallFromQt([] {
        TPoint p;
        GetCursorPos(&p);
        ControlDispatch::PointerAt(&p);
      });
      break;
    case QEvent::KeyPress: {
      // Our key handlers run first and may swallow the key.
      auto* key = static_cast<QKeyEvent*>(event);
      const QByteArray text = key->text().toLatin1();
      bool swallowed = false;
      CallFromQt([&] {
        swallowed = ControlDispatch::HostedKey(Control(), VirtualKeyFrom(key->key()),
                                               ShiftFrom(key->modifiers(), Qt::NoButton),
                                               std::string(text.constData(), text.size()));
      });
      if (swallowed)
        return true;
      break;
    }
    default:
      break;
  }
  return WinWidget::eventFilter(watched, event);
}

}  // namespace kestrune
