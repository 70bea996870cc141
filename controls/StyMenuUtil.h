// Small helpers shared by the styled menus and their stylers: rotated fonts,
// rectangle arithmetic, colour splitting and packing, and the look-up of the
// layered-window calls (which find nothing here: no drop-down shadow or
// transparency is drawn, and nothing calls them).
//
// Threads: main thread (fonts); the rest is plain arithmetic.
#pragma once

#include <cstdint>

#include "platform/classes/Types.h"
#include "platform/gdiobj/GraphicsObjects.h"

class TGraphic;

// A new font like `font` (name, height, italic, underline, strike-out,
// pitch; bold when the font is bold), turned by `angle` degrees
// counter-clockwise. The caller frees it.
TFont* CreateRotatedFont(TFont* font, int angle);

int RectWidth(const TRect& rect);
int RectHeight(const TRect& rect);
// A width x height rectangle centred in `rect`: right := (left + right + w)
// div 2, bottom := (top + bottom + h) div 2, left := right - w, top :=
// bottom - h.
TRect CenterRect(const TRect& rect, int width, int height);
// {0, 0, width, height} of the graphic (empty for nullptr).
TRect GraphicRect(TGraphic* graphic);

// The red, green and blue bytes of `color` after system-colour resolution.
void SplitColor(TColor color, uint8_t& red, uint8_t& green, uint8_t& blue);
// r | g << 8 | b << 16 | a << 24.
uint32_t PackColor(uint8_t red, uint8_t green, uint8_t blue, uint8_t alpha);

int IMin(int a, int b);
int IMax(int a, int b);

// Whether the layered-window attribute call was found at start-up: never
// here (the system library does not exist).
bool LayeredWindowAttributesAvailable();
// Looks the layered-window calls up once (the menus unit's start-up).
void LookUpLayeredWindowCalls();
