// Drawing helpers of the static text: the hot-track font rule, a font's text
// height, the text-drawing routine, and four screen cursors kept in slots.
//
// Threads: main thread. The cursor slots are filled at the unit's start-up,
// which needs the screen (after Application->Initialize).
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "platform/forms/Forms.h"
#include "platform/gdiobj/GraphicsObjects.h"
#include "platform/graphics/Canvas.h"
#include "platform/graphics/Gdi.h"

// How the hot-track font follows the control's font: a set, bit i for the
// i-th value.
enum TKiTrackFontOption : uint8_t {
  hoFollowFont,
  hoPreserveCharSet,
  hoPreserveColor,
  hoPreserveHeight,
  hoPreserveName,
  hoPreservePitch,
  hoPreserveStyle,
};
using TKiTrackFontOptions = uint8_t;
constexpr TKiTrackFontOptions TrackFontOptionBit(TKiTrackFontOption option) {
  return static_cast<TKiTrackFontOptions>(1u << option);
}

// With hoFollowFont in `options`, `hotTrackFont` takes from `font` every
// attribute whose preserve option is absent: colour, height, name, pitch and
// style (the fonts here have no character set, so hoPreserveCharSet changes
// nothing). Without hoFollowFont nothing changes.
void KiHandleHotTrackFont(TFont* hotTrackFont, const TFont* font, TKiTrackFontOptions options);

// The height of a line of text in `font` (ascent + descent).
int KiFontHeight(const TFont* font);

// DrawText with the flag 0x10000 cleared.
int KiDrawText(HDC dc, const std::string& text, TRect* rect, UINT format);

// The four cursor slots: the screen's hand, arrow, and east-west and
// north-south sizing cursors (null handles before the unit's start-up or
// without a screen).
const std::array<HCURSOR, 4>& KiCursorSlots();

void StartKiGraphUtils();
void StopKiGraphUtils();
