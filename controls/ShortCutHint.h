// The shortcut hint window: a small borderless window with a vertical
// gradient background that shows a button's keyboard shortcut beside it.
//
// Threads: main thread only.
#pragma once

#include "platform/forms/HintWindow.h"

class TShortCutHintWindow : public THintWindow {
  KESTRUNE_CLASS(TShortCutHintWindow, THintWindow)
  // No border; Color and ColorTo start black (nothing sets them).
  explicit TShortCutHintWindow(TComponent* owner);

  TColor ColorTo = clBlack;
  // At least as wide as the letter "O" plus 8 pixels.
  void SetBounds(int left, int top, int width, int height) override;

 protected:
  // The gradient in 16 steps from Color to ColorTo along y, the caption
  // centred on one line, a grey round-cornered outline.
  void Paint() override;
  // The background is never erased separately.
  void EraseBackground(TCanvas* canvas) override;
};
