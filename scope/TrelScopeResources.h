// The scope toolbar's glyph strip, drawn by us and compiled in:
// "TREL_SCOPE_BUTTONS1G", a 4-bit BMP of 176 x 16 pixels holding eleven
// 16 x 16 glyphs (run, hold, zoom in, zoom out, zoom reset, print, save,
// copy, properties, zoom back, zoom forward).
//
// Every glyph uses four colours as roles, which the toolbar replaces by
// its own colours: white the symbol, dark grey ($808080) the rounded
// border, light grey ($C0C0C0) the symbol's anti-aliasing, black the
// button face. The four corner pixels of each glyph are fuchsia, a fifth
// colour that the toolbar makes transparent.
#pragma once

// The resource's name.
inline constexpr const char* kTrelScopeButtonsResource = "TREL_SCOPE_BUTTONS1G";

// Registers the strip (the scope unit's start-up; again replaces it).
void RegisterTrelScopeResources();
