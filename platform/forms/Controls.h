// Painted controls: the custom-drawn windowed control and the non-windowed
// control, on the Qt-free control state (platform/classes/Controls.h).
//
// Every windowed control of the forms library has a back buffer (a QImage,
// RGB32) with a canvas on it. The buffer holds the part of the client area
// that can show: inside every ancestor's, and no larger than the toolkit
// draws a widget or a top-level window, so a huge control costs only what
// shows of it; the canvas draws in client coordinates all the same (what
// falls outside the part is dropped). Its paint cycle runs when
// the buffer is invalid and the widget is shown or rendered: erase
// (EraseBackground: fill with Color), the control's own Paint, then Paint of
// each visible non-windowed child, in order, on the same buffer with the
// canvas's window origin at the child's place and the clip on its
// rectangle. The widget's paint event then copies the buffer out. Invalidate
// marks the buffer invalid and asks the window system for a paint;
// Repaint runs the cycle at once.
//
// Drawing outside the paint cycle: TCustomControl::Canvas and
// TGraphicControl::Canvas may be drawn on at any time (a Paint called
// directly, a control that draws as data arrives); what is drawn lands in
// the back buffer and is copied out with the next paint event, which the
// canvas asks for. A TGraphicControl's canvas draws into its parent's back
// buffer at the control's place, and reads what lies there.
//
// Faked transparency: PaintParentBackground lets a control's parent erase
// and paint itself and its non-windowed children that lie below the control
// into a canvas, offset to the control's origin. On the screen every
// non-windowed control lies below every windowed one, so a windowed control
// sees all of them; a non-windowed one sees those before it in the parent's
// list.
//
// Threads: main thread, but Invalidate (see TControl).
#pragma once

#include <memory>

#include "platform/classes/Controls.h"
#include "platform/graphics/Canvas.h"

class TGraphicControl : public TControl {
  KESTRUNE_CLASS(TGraphicControl, TControl)
  explicit TGraphicControl(TComponent* owner);
  ~TGraphicControl() override;

  // A canvas on the parent's back buffer, its window origin at the
  // control's top-left and its clip on the control's rectangle. Without a
  // parent it draws nowhere (but measures text). It keeps what the control
  // sets on it (font, pen, brush, clip, origin) until the control moves or
  // the parent's buffer is made anew. Drawing on it shows with the
  // parent's next paint event, which this call asks for.
  TCanvas* Canvas();

 protected:
  friend class kestrune::ControlDispatch;
  // Draws the control; the base does nothing.
  virtual void Paint();

 private:
  std::unique_ptr<TCanvas> canvas_;
  TRect canvas_bounds_;           // where canvas_ was set up
  int64_t canvas_image_key_ = 0;  // on which buffer image
  TCanvas* painting_ = nullptr;   // the canvas of the paint under way
};

class TCustomControl : public TWinControl {
  KESTRUNE_CLASS(TCustomControl, TWinControl)
  explicit TCustomControl(TComponent* owner);
  ~TCustomControl() override;

  // The canvas on the control's own back buffer (during a paint that
  // another control asked for, the canvas of that paint). Drawing on it
  // shows with the next paint event, which this call asks for.
  TCanvas* Canvas();

 protected:
  friend class kestrune::ControlDispatch;
  // Draws the control; the base does nothing.
  virtual void Paint();
  // Prepares the buffer before Paint: fills the client rectangle with Color.
  virtual void EraseBackground(TCanvas* canvas);

 private:
  TCanvas* painting_ = nullptr;
};

// Paints `control`'s client area into `canvas` as its paint cycle does
// (erase, Paint, non-windowed children), with the canvas's origin at the
// control's client origin. The canvas state is restored afterwards.
void PaintControlTo(TWinControl* control, TCanvas* canvas);

// Faked transparency: paints what lies under `control` in its parent (the
// parent erased and painted, and the parent's non-windowed children that lie
// below `control`: all of them under a windowed control, those before it
// under a non-windowed one) into `canvas`, whose origin is the control's
// top-left. Does nothing without a parent.
void PaintParentBackground(TControl* control, TCanvas* canvas);
