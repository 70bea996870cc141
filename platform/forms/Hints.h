// What a control is asked when its hint is about to show (CM_HINTSHOW): the
// hint's text, colour, position and window class, which the control may
// change.
#pragma once

#include <string>

#include "platform/classes/Controls.h"

struct THintInfo {
  TControl* HintControl = nullptr;
  // The class of the hint window (null: the application's).
  TClass HintWindowClass = nullptr;
  TPoint HintPos;
  int HintMaxWidth = 0;
  TColor HintColor = clInfoBk;
  TPoint CursorPos;
  std::string HintStr;
  int ReshowTimeout = 0;
  int HideTimeout = 0;
};
