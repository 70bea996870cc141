#include "platform/forms/FormsTestingPrivate.h"

#include <QApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointer>
#include <QWheelEvent>

#include "platform/forms/ControlWidgetsPrivate.h"
#include "platform/forms/Forms.h"
#include "platform/forms/MenuWindows.h"
#include "platform/forms/Menus.h"
#include "platform/forms/QtTextPrivate.h"

namespace kestrune::testing {

namespace {

Qt::MouseButtons g_held = Qt::NoButton;
// The widget that got the last press: it gets the release.
QPointer<QWidget> g_pressed;

Qt::MouseButton QtButton(TMouseButton button) {
  switch (button) {
    case mbRight:
      return Qt::RightButton;
    case mbMiddle:
      return Qt::MiddleButton;
    default:
      return Qt::LeftButton;
  }
}

Qt::KeyboardModifiers QtModifiers(TShiftState s) {
  Qt::KeyboardModifiers m = Qt::NoModifier;
  if (s.Contains(ssShift))
    m |= Qt::ShiftModifier;
  if (s.Contains(ssCtrl))
    m |= Qt::ControlModifier;
  if (s.Contains(ssAlt))
    m |= Qt::AltModifier;
  return m;
}

// The deepest widget of our forms under the screen point.
QWidget* WidgetAt(TPoint screenPos) {
  if (TMenuDropDown* menu = MenuWindowAt(screenPos); menu != nullptr && menu->ScreenWindow())
    return menu->ScreenWindow();
  const QPoint global(screenPos.X, screenPos.Y);
  for (QWidget* top : QApplication::topLevelWidgets()) {
    if (dynamic_cast<WinWidget*>(top) == nullptr || !top->isVisible())
      continue;
    const QPoint local = top->mapFromGlobal(global);
    if (!top->rect().contains(local))
      continue;
    QWidget* hit = top->childAt(local);
    return hit != nullptr ? hit : top;
  }
  return nullptr;
}

QWidget* CaptureWidget() {
  TControl* capture = CaptureControl();
  if (capture == nullptr)
    return nullptr;
  auto* win = dynamic_cast<TWinControl*>(capture);
  if (win == nullptr)
    win = capture->Parent();
  return WinWidget::Of(win);
}

}  // namespace

void SetPointer(TPoint screenPos) {
  OverridePointer(screenPos);
  ControlDispatch::PointerAt(&screenPos);
}

bool SendMouse(MouseAction action, TPoint screenPos, TMouseButton button, TShiftState modifiers) {
  SetPointer(screenPos);
  QWidget* target = g_held != Qt::NoButton ? CaptureWidget() : nullptr;
  if (target == nullptr && action == MouseAction::Release && g_held != Qt::NoButton)
    target = g_pressed.data();
  if (target == nullptr)
    target = WidgetAt(screenPos);
  if (target == nullptr)
    return false;
  const QPointF global(screenPos.X, screenPos.Y);
  const QPointF local = target->mapFromGlobal(global.toPoint());
  const Qt::MouseButton b = QtButton(button);
  QEvent::Type type = QEvent::MouseMove;
  Qt::MouseButton eventButton = Qt::NoButton;
  switch (action) {
    case MouseAction::Press:
      type = QEvent::MouseButtonPress;
      g_held |= b;
      eventButton = b;
      break;
    case MouseAction::DoubleClick:
      type = QEvent::MouseButtonDblClick;
      g_held |= b;
      eventButton = b;
      break;
    case MouseAction::Release:
      type = QEvent::MouseButtonRelease;
      g_held &= ~b;
      eventButton = b;
      break;
    case MouseAction::Move:
      break;
  }
  if (action == MouseAction::Press || action == MouseAction::DoubleClick)
    g_pressed = target;
  else if (action == MouseAction::Release && g_held == Qt::NoButton)
    g_pressed = nullptr;
  QMouseEvent event(type, local, global, eventButton, g_held, QtModifiers(modifiers));
  QCoreApplication::sendEvent(target, &event);
  return true;
}

bool Click(TPoint screenPos, TShiftState modifiers) {
  return SendMouse(MouseAction::Press, screenPos, mbLeft, modifiers) &&
         SendMouse(MouseAction::Release, screenPos, mbLeft, modifiers);
}

bool SendWheel(TPoint screenPos, int delta, TShiftState modifiers) {
  SetPointer(screenPos);
  QWidget* target = WidgetAt(screenPos);
  if (target == nullptr)
    return false;
  const QPointF global(screenPos.X, screenPos.Y);
  const QPointF local = target->mapFromGlobal(global.toPoint());
  QWheelEvent event(local, global, QPoint(), QPoint(0, delta), g_held, QtModifiers(modifiers),
                    Qt::NoScrollPhase, false);
  QCoreApplication::sendEvent(target, &event);
  return true;
}

void SendKey(TForm* form, int qtKey, const std::string& text, TShiftState modifiers) {
  QWidget* window = WinWidget::Of(form);
  if (window == nullptr)
    return;
  QKeyEvent press(QEvent::KeyPress, qtKey, QtModifiers(modifiers), ToQString(text));
  QCoreApplication::sendEvent(window, &press);
  QKeyEvent release(QEvent::KeyRelease, qtKey, QtModifiers(modifiers), ToQString(text));
  QCoreApplication::sendEvent(window, &release);
}

QImage RenderForm(TForm* form) {
  QWidget* window = WinWidget::Of(form);
  if (window == nullptr)
    return QImage();
  return window->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

QImage RenderWindow(TForm* form) {
  QWidget* window = WinWidget::Of(form);
  if (window == nullptr)
    return QImage();
  return window->window()->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

QWidget* HostedWidget(TWinControl* control) {
  auto* host = control != nullptr ? dynamic_cast<HostWidget*>(control->Widget()) : nullptr;
  return host != nullptr ? host->Hosted() : nullptr;
}

}  // namespace kestrune::testing
