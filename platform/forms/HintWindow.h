// The hint-window base: a small borderless window at a screen position that
// paints into its back buffer like every painted control.
//
// THintWindow keeps its bounds in screen coordinates (it has no parent
// control) and its caption as the text it shows. Its paint cycle is the
// painted control's (EraseBackground, Paint) and runs at Repaint; a window of
// its own on the screen needs the window system's popup, which the widget
// backend does not make yet: the window is then plain state with its image.
//
// Threads: main thread only.
#pragma once

#include <string>

#include "platform/forms/Controls.h"

class THintWindow : public TCustomControl {
  KESTRUNE_CLASS(THintWindow, TCustomControl)
  explicit THintWindow(TComponent* owner);

  // Places the window at `rect` (screen coordinates), takes `text` as its
  // caption and shows it.
  virtual void ActivateHint(const TRect& rect, const std::string& text);
  // Whether the border style bit is part of the creation parameters
  // (a descendant removes it).
  bool Bordered = true;
};
