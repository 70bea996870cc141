// The Qt side of windowed controls (private to the forms library; implemented
// in ControlWidgets.cpp).
//
// WinWidget is the QWidget of one TWinControl: no Qt layout, geometry from
// the control's bounds, its paint event copies the control's back buffer
// (running the paint cycle first when the buffer is invalid), and its input
// events go to the control under the pointer through ControlDispatch, each
// through CallFromQt. Hosted standard controls put their Qt widget inside a
// WinWidget that paints nothing itself.
//
// ControlDispatch is the one friend of the control classes that the Qt
// events use: paint cycle, mouse, wheel, keys, enter and leave.
//
// Threads: main thread.
#pragma once

#include <QFont>
#include <QImage>
#include <QWidget>
#include <functional>
#include <memory>

#include "platform/classes/Controls.h"
#include "platform/forms/Controls.h"

namespace kestrune {

// A windowed control's back buffer and the canvas on it. The buffer holds
// the part of the client area that can show on the screen (inside every
// ancestor's client area, at most the largest window a side): `origin` is
// that part's top-left in client coordinates, and the canvas's window
// origin, so that the control draws in its client coordinates.
class BackBuffer final : public ControlSurface {
 public:
  BackBuffer();
  QImage image;
  TPoint origin;
  TCanvas canvas;
  bool valid = false;
  // Counts the images made (a new size makes a new one).
  int64_t generation = 0;
};

class ControlDispatch {
 public:
  // The control's back buffer, sized to the visible part of its client
  // area (a new size or place invalidates it).
  static BackBuffer& Buffer(TWinControl& control);
  // The buffer when it exists, or null.
  static BackBuffer* ExistingBuffer(TWinControl& control);
  // Runs the paint cycle into the buffer when it is invalid.
  static void PaintCycle(TWinControl& control);
  // Erase, Paint and the non-windowed children into `canvas` (origin at
  // the control's client origin); the children from the first one up to
  // (not including) `stopAt`.
  static void PaintWindow(TWinControl& control, TCanvas& canvas, const TControl* stopAt);
  static void PaintGraphic(TGraphicControl& control, TCanvas& canvas);

  // Mouse input at `pos` (client coordinates of `control`'s widget).
  static void MousePress(TWinControl& control, TMouseButton button, TShiftState shift, TPoint pos,
                         bool doubleClick);
  static void MouseRelease(TWinControl& control, TMouseButton button, TShiftState shift, TPoint pos,
                           bool buttonsLeft);
  static void MouseMoveAt(TWinControl& control, TShiftState shift, TPoint pos);
  static void Wheel(TWinControl& control, TShiftState shift, int delta, TPoint screenPos);
  // Keys go to the form's active control (or the form).
  static void KeyPressed(TWinControl& control, uint16_t key, TShiftState shift,
                         const std::string& text);
  static void KeyReleased(TWinControl& control, uint16_t key, TShiftState shift);
  // A key pressed in a hosted widget: the control's KeyDown and KeyPress
  // first; true when a handler swallowed it (set it to 0), and the hosted
  // widget must not see it.
  static bool HostedKey(TWinControl& control, uint16_t key, TShiftState shift,
                        const std::string& text);
  // The pointer is at `screenPos` (or outside every form): tells the
  // controls it leaves and enters.
  static void PointerAt(const TPoint* screenPos);
  // The bounds the window system gave a top-level window.
  static void WindowMoved(TWinControl& control, int left, int top, int width, int height);

 private:
  static TControl* Target(TWinControl& control, TPoint pos, TPoint& local);
  // The control a pointer event at `pos` (in `control`'s client
  // coordinates) goes to: the one holding the mouse capture, else the one
  // under the pointer; `local` is the point in its client coordinates.
  static TControl* PointerTarget(TWinControl& control, TPoint pos, TPoint& local);
};

// The widget of a windowed control.
class WinWidget : public QWidget, public ControlWidget {
 public:
  // A child widget inside `parent` (null: a top-level window).
  WinWidget(TWinControl& control, QWidget* parent, Qt::WindowFlags flags = {});
  ~WinWidget() override;

  TWinControl& Control() const { return control_; }
  // The widget of `control`, when it is a WinWidget.
  static WinWidget* Of(TWinControl* control);
  static QWidget* ParentWidgetOf(TWinControl& control);

  void BoundsChanged() override;
  void ShowingChanged() override;
  void EnabledChanged() override;
  void AppearanceChanged() override;
  void Invalidate(const TRect* rect) override;
  void Update() override;
  void SetFocus() override;
  TPoint ClientOrigin() const override;

  // Paints its buffer; hosted controls paint nothing (their widget does).
  bool paints_buffer = true;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  TWinControl& control_;
};

// The widget of a hosted standard control: our control's widget with the
// Qt widget inside it, filling it; the Qt widget paints, we paint nothing.
// The hosted widget takes the control's colour, font and enabled state.
class HostWidget : public WinWidget {
 public:
  HostWidget(TWinControl& control, QWidget* parent);
  // Takes `hosted` (a child of this widget) as the widget to fill and style.
  void Host(QWidget* hosted);
  QWidget* Hosted() const { return hosted_; }

  void AppearanceChanged() override;
  // Also repaints the overlay.
  void Invalidate(const TRect* rect) override;

  // Gives the hosted control a layer on top of the hosted widget: `paint`
  // draws on a canvas of the client size, cleared to transparent at each
  // paint, whose pixels cover the widget's (mouse input passes through).
  void SetOverlay(std::function<void(TCanvas&)> paint);

 protected:
  void resizeEvent(QResizeEvent* event) override;
  // A key the hosted widget left: our handlers had it already (the filter
  // below), so it goes no further.
  void keyPressEvent(QKeyEvent* event) override;
  // The hosted widget got the keyboard focus: it becomes its form's active
  // control.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  class Overlay;
  QWidget* hosted_ = nullptr;
  Overlay* overlay_ = nullptr;  // a child widget, owned by Qt
};

// Qt's font for a TFont (the graphics layer's mapping).
QFont QtFontFor(const TFont& font);
QColor QtColorFor(TColor color);

// The backend the forms unit installs.
ControlBackend& QtControlBackend();

// Qt's cursor for a TCursor (the screen's table for the program's slots).
QCursor CursorFor(TCursor cursor);
// Shift state from Qt's modifiers and buttons.
TShiftState ShiftFrom(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons);
// Our button for a Qt button (any other button counts as the left one).
TMouseButton ButtonFrom(Qt::MouseButton button);
// From now on GetCursorPos answers `screenPos` instead of the window
// system's pointer (the test hooks place the pointer this way).
void OverridePointer(TPoint screenPos);
// Remembers the mouse buttons of the last mouse event (GetAsyncKeyState).
void NoteMouseButtons(Qt::MouseButtons buttons);
// Virtual key code of a Qt key; 0 when none.
uint16_t VirtualKeyFrom(int qtKey);

}  // namespace kestrune
