// How the LED level meter draws: the settings a repaint reads and the
// drawing of all LEDs into a canvas (TlmVuMeter, LmVuMeter.h, is the control).
//
// LEDs are numbered 0 .. last along the column, LED 0 being the top one
// (vertical) or the rightmost one (horizontal), i.e. the highest level;
// last = (length - 2 x ExtremityMargin) div (LedLength + LedSpacing). A level
// v lights from LED idx(v) = last / 100 x (100 - v), rounded half to even,
// to the last (bar) or that LED only (spot), and the peak's LED always. A
// pitch LedLength + LedSpacing below 1 draws the background and no LED.
//
// Threads: any thread may draw into a canvas it owns (no text is drawn).
#pragma once

#include <cstdint>

#include "platform/gdiobj/Colors.h"
#include "platform/graphics/Canvas.h"

enum class TVuMeterType { vtStereo, vtMonoL, vtMonoR, vtMonoLR };
enum class TOrientation { voVertical, voHorizontal };
enum class TShaddowType { stFixed, stDarkLevelColor };
enum class TGraphType { gtBar, gtSpot };

// The settings a repaint reads, with the control's defaults.
struct TVuMeterLook {
  TVuMeterType MeterType = TVuMeterType::vtStereo;
  TOrientation Orientation = TOrientation::voVertical;
  TShaddowType ShaddowType = TShaddowType::stDarkLevelColor;
  TGraphType GraphType = TGraphType::gtBar;
  TColor LedDisabledColor = clSilver;
  TColor BackGroundColor = clBlack;
  TColor ShaddowColor = clGray;
  TColor Level1Color = clLime;
  TColor Level2Color = clYellow;
  TColor Level3Color = clRed;
  int Level1Limit = 75;
  int Level2Limit = 92;
  int BorderMargin = 3;
  int CenterMargin = 4;
  int ExtremityMargin = 3;
  int LedLength = 10;
  int LedSpacing = 2;
};

// The values a repaint shows.
struct TVuMeterLevels {
  int Left = 1;
  int Right = 1;
  int LeftPeak = 0;
  int RightPeak = 0;
};

namespace kestrune::controls {
// The LED index of level `value` on a column whose last LED is `last`:
// last / 100 x (100 - value), rounded half to even. Computed exactly in
// integers, so the ties (last 15 at level 30 is 10.5) round as the rule says
// whatever the floating-point error of last / 100 would be.
int VuLedIndex(int last, int value);
}  // namespace kestrune::controls

// Fills (0, 0, width, height) of `canvas` with the background, then draws
// every LED as a filled rectangle in its colour.
void DrawVuMeter(TCanvas* canvas, int width, int height, const TVuMeterLook& look,
                 const TVuMeterLevels& levels, bool enabled);
