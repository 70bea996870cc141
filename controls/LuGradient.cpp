#include "controls/LuGradient.h"

#include <utility>

#include "controls/LuUtils.h"
#include "platform/classes/TypInfo.h"
#include "platform/forms/Forms.h"

int GradientStyleOf(TLuGradDirection direction) {
  switch (direction) {
    case gdUpDown:
      return 1;
    case gdUpDownHalf:
      return 5;
    case gdLeftRight:
      return 2;
    case gdLeftRightHalf:
      return 6;
    case gdChord1:
      return 3;
    case gdChord2:
      return 4;
  }
  return 0;
}

TLuCustomGradient::TLuCustomGradient(TComponent* owner) : TLuGraphicImageControl(owner) {
  SetBounds(0, 0, 150, 150);
  ControlStyle.Include(csOpaque);
}

void TLuCustomGradient::SetStartColor(TColor value) {
  if (value == start_color_)
    return;
  start_color_ = value;
  RepaintControl();
}

void TLuCustomGradient::SetEndColor(TColor value) {
  if (value == end_color_)
    return;
  end_color_ = value;
  RepaintControl();
}

void TLuCustomGradient::SetColorWidth(int value) {
  if (value < 1 || value == color_width_)
    return;
  color_width_ = value;
  RepaintControl();
}

void TLuCustomGradient::SetDirection(TLuGradDirection value) {
  if (value == direction_)
    return;
  direction_ = value;
  RepaintControl();
}

void TLuCustomGradient::SetSwapColors(bool value) {
  if (value == swap_colors_)
    return;
  swap_colors_ = value;
  RepaintControl();
}

void TLuCustomGradient::DrawImage(TCanvas* canvas) {
  TColor first = start_color_;
  TColor last = end_color_;
  if (swap_colors_)
    std::swap(first, last);
  LuUtils::DrawGradient(canvas, ClientRect(), first, color_width_, GradientStyleOf(direction_),
                        last);
}

void TLuCustomGradient::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  inherited::MouseDown(Button, Shift, X, Y);
  if (Button != mbLeft || !form_drag_)
    return;
  SetMouseCapture(false);
  if (auto* form = dynamic_cast<TForm*>(ParentForm()))
    BeginFormDrag(form);
}

void RegisterLuGradientClass() {
  RegisterClass<TLuGradient>()
      .MappedInteger("StartColor", &TLuGradient::StartColor, &TLuGradient::SetStartColor,
                     kColorIdents, clLime)
      .MappedInteger("EndColor", &TLuGradient::EndColor, &TLuGradient::SetEndColor, kColorIdents,
                     clBlack)
      .Integer("ColorWidth", &TLuGradient::ColorWidth, &TLuGradient::SetColorWidth, 1)
      .Enum("Direction", &TLuGradient::Direction, &TLuGradient::SetDirection,
            {"gdUpDown", "gdUpDownHalf", "gdLeftRight", "gdLeftRightHalf", "gdChord1", "gdChord2"},
            gdUpDown)
      .Bool("SwapColors", &TLuGradient::SwapColors, &TLuGradient::SetSwapColors, false)
      .Bool("FormDrag", &TLuGradient::FormDrag, &TLuGradient::SetFormDrag, false);
}
