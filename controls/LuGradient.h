// The gradient: a non-windowed control of the Lu family that fills its
// area with a colour gradient (LuUtils::DrawGradient) and can drag its
// window.
//
// The gradient runs from StartColor to EndColor (exchanged with
// SwapColors) in bands of ColorWidth pixels, in one of six directions; each
// setter stores a changed value and repaints. With FormDrag a left-button
// press on the control moves its form's window with the pointer.
//
// Threads: main thread only.
#pragma once

#include "controls/LuControlBases.h"

enum TLuGradDirection {
  gdUpDown,
  gdUpDownHalf,
  gdLeftRight,
  gdLeftRightHalf,
  gdChord1,
  gdChord2,
};

// The gradient routine's style code of each direction.
int GradientStyleOf(TLuGradDirection direction);

class TLuCustomGradient : public TLuGraphicImageControl {
  KESTRUNE_CLASS(TLuCustomGradient, TLuGraphicImageControl)
  explicit TLuCustomGradient(TComponent* owner);

  TColor StartColor() const { return start_color_; }
  void SetStartColor(TColor value);
  TColor EndColor() const { return end_color_; }
  void SetEndColor(TColor value);
  int ColorWidth() const { return color_width_; }
  // Values below 1 are ignored.
  void SetColorWidth(int value);
  TLuGradDirection Direction() const { return direction_; }
  void SetDirection(TLuGradDirection value);
  bool SwapColors() const { return swap_colors_; }
  void SetSwapColors(bool value);
  bool FormDrag() const { return form_drag_; }
  void SetFormDrag(bool value) { form_drag_ = value; }

 protected:
  void DrawImage(TCanvas* canvas) override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;

 private:
  TColor start_color_ = clLime;
  TColor end_color_ = clBlack;
  int color_width_ = 1;
  TLuGradDirection direction_ = gdUpDown;
  bool swap_colors_ = false;
  bool form_drag_ = false;
};

class TLuGradient : public TLuCustomGradient {
  KESTRUNE_CLASS(TLuGradient, TLuCustomGradient)
  explicit TLuGradient(TComponent* owner) : TLuCustomGradient(owner) {}
};

void RegisterLuGradientClass();
