// The window of an owner-drawn system control (a static text window of the
// owner-drawn style): a widget whose paint hands the control's back buffer
// and its client rectangle to the owner's draw-item routine, instead of the
// erase and Paint of a custom-drawn control.
//
// Threads: main thread.
#pragma once

#include <functional>
#include <memory>

#include "platform/classes/Controls.h"
#include "platform/graphics/Canvas.h"

// What the owner draws: the canvas on the back buffer and the client
// rectangle (the item's rectangle).
struct TDrawItemStruct {
  TCanvas* hDC = nullptr;
  TRect rcItem;
};

// The widget for `control` (whose parent has one; null otherwise): each
// paint of an invalid buffer calls `drawItem`. An exception from it goes
// to the central handler.
std::unique_ptr<kestrune::ControlWidget> CreateOwnerDrawWidget(
    TWinControl& control, std::function<void(const TDrawItemStruct&)> drawItem);

// The canvas on `control`'s back buffer (made, sized to the client area, on
// first use). What is drawn shows with the next paint of the window, which
// this call does not ask for; a paint cycle of an invalid buffer draws over
// it.
TCanvas* BackBufferCanvas(TWinControl& control);
