// The 13-colour palette of the scope's new items (channels, marker groups,
// cursors) and its least-used rule. Pure functions, any thread.
#pragma once

#include <functional>

#include "platform/gdiobj/Colors.h"

// clRed, clLime, clBlue, clYellow, clAqua, clCream, clOlive, clWhite,
// clSilver, clPurple, clFuchsia, clTeal, clNavy.
inline constexpr TColor kTrelPalette[] = {0x0000FF, 0x00FF00, 0xFF0000, 0x00FFFF, 0xFFFF00,
                                          0xF0FBFF, 0x008080, 0xFFFFFF, 0xC0C0C0, 0x800080,
                                          0xFF00FF, 0x808000, 0x800000};

// The first palette colour that `uses` counts least often (ties go to the
// earlier colour).
TColor LeastUsedPaletteColor(const std::function<int(TColor)>& uses);
