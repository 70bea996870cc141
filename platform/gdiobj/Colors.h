// Colours and cursor identifiers.
//
// A TColor is 0x00BBGGRR (red in the low byte), or a system colour:
// 0x80000000 plus an index in the low byte, which resolves through one fixed
// table (the classic standard scheme, never the desktop's palette), so that
// pixels are the same everywhere. clNone (0x1FFFFFFF) means "draw nothing"
// and clDefault (0x20000000) "the control's default"; both are left to the
// caller to interpret.
//
// Stored descriptions write colours and cursors by name where one exists
// (`Color = clRed`, `Cursor = crHandPoint`) and accept a name or an integer:
// register such a property with MappedInteger(..., kColorIdents, ...) or
// kCursorIdents. RegisterGraphicsIdents installs both maps (the graphics
// unit's start-up calls it).
//
// No Qt: this part of the graphics layer is plain state. Threads: any; the
// tables are constant.
#pragma once

#include <cstdint>

using TColor = int32_t;
// A colour as the system takes it: 0x00BBGGRR, no system colours.
using COLORREF = uint32_t;

// The sixteen basic colours and the named extras the descriptions use.
inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clMaroon = 0x000080;
inline constexpr TColor clGreen = 0x008000;
inline constexpr TColor clOlive = 0x008080;
inline constexpr TColor clNavy = 0x800000;
inline constexpr TColor clPurple = 0x800080;
inline constexpr TColor clTeal = 0x808000;
inline constexpr TColor clGray = 0x808080;
inline constexpr TColor clSilver = 0xC0C0C0;
inline constexpr TColor clRed = 0x0000FF;
inline constexpr TColor clLime = 0x00FF00;
inline constexpr TColor clYellow = 0x00FFFF;
inline constexpr TColor clBlue = 0xFF0000;
inline constexpr TColor clFuchsia = 0xFF00FF;
inline constexpr TColor clAqua = 0xFFFF00;
inline constexpr TColor clWhite = 0xFFFFFF;
inline constexpr TColor clCream = 0xF0FBFF;
inline constexpr TColor clNone = 0x1FFFFFFF;
inline constexpr TColor clDefault = 0x20000000;

// The system colour of table index `index` (0..255).
constexpr TColor SystemColor(int index) {
  return static_cast<TColor>(0x80000000u | static_cast<uint32_t>(index & 0xFF));
}
constexpr bool IsSystemColor(TColor color) {
  return color < 0;
}

inline constexpr TColor clScrollBar = SystemColor(0);
inline constexpr TColor clBackground = SystemColor(1);
inline constexpr TColor clActiveCaption = SystemColor(2);
inline constexpr TColor clInactiveCaption = SystemColor(3);
inline constexpr TColor clMenu = SystemColor(4);
inline constexpr TColor clWindow = SystemColor(5);
inline constexpr TColor clWindowFrame = SystemColor(6);
inline constexpr TColor clMenuText = SystemColor(7);
inline constexpr TColor clWindowText = SystemColor(8);
inline constexpr TColor clCaptionText = SystemColor(9);
inline constexpr TColor clActiveBorder = SystemColor(10);
inline constexpr TColor clInactiveBorder = SystemColor(11);
inline constexpr TColor clAppWorkSpace = SystemColor(12);
inline constexpr TColor clHighlight = SystemColor(13);
inline constexpr TColor clHighlightText = SystemColor(14);
inline constexpr TColor clBtnFace = SystemColor(15);
inline constexpr TColor clBtnShadow = SystemColor(16);
inline constexpr TColor clGrayText = SystemColor(17);
inline constexpr TColor clBtnText = SystemColor(18);
inline constexpr TColor clInactiveCaptionText = SystemColor(19);
inline constexpr TColor clBtnHighlight = SystemColor(20);
inline constexpr TColor cl3DDkShadow = SystemColor(21);
inline constexpr TColor cl3DLight = SystemColor(22);
inline constexpr TColor clInfoText = SystemColor(23);
inline constexpr TColor clInfoBk = SystemColor(24);
inline constexpr TColor clHotLight = SystemColor(26);
inline constexpr TColor clGradientActiveCaption = SystemColor(27);
inline constexpr TColor clGradientInactiveCaption = SystemColor(28);
inline constexpr TColor clMenuHighlight = SystemColor(29);
inline constexpr TColor clMenuBar = SystemColor(30);

// The system colour of table index `index` as 0x00BBGGRR; black for an
// index outside the table (0..30).
COLORREF GetSysColor(int index);

// A colour as 0x00BBGGRR: a system colour through the table, any other value
// unchanged (clNone and clDefault included: callers test for them first).
COLORREF ColorToRGB(TColor color);

constexpr uint8_t GetRValue(COLORREF c) {
  return static_cast<uint8_t>(c & 0xFF);
}
constexpr uint8_t GetGValue(COLORREF c) {
  return static_cast<uint8_t>((c >> 8) & 0xFF);
}
constexpr uint8_t GetBValue(COLORREF c) {
  return static_cast<uint8_t>((c >> 16) & 0xFF);
}
constexpr COLORREF RGB(uint8_t r, uint8_t g, uint8_t b) {
  return static_cast<COLORREF>(r) | (static_cast<COLORREF>(g) << 8) |
         (static_cast<COLORREF>(b) << 16);
}

// Mouse cursor identifiers: 0 the control's default, negative the standard
// shapes, positive the program's own slots in the screen's cursor table.
using TCursor = int16_t;
inline constexpr TCursor crDefault = 0;
inline constexpr TCursor crNone = -1;
inline constexpr TCursor crArrow = -2;
inline constexpr TCursor crCross = -3;
inline constexpr TCursor crIBeam = -4;
inline constexpr TCursor crSizeNS = -7;
inline constexpr TCursor crSizeWE = -9;
inline constexpr TCursor crHourGlass = -11;
inline constexpr TCursor crHandPoint = -21;

// The identifier-map type names of colour and cursor properties.
inline constexpr const char* kColorIdents = "TColor";
inline constexpr const char* kCursorIdents = "TCursor";

// Registers the colour and cursor name maps. Idempotent; call from a unit's
// start-up.
void RegisterGraphicsIdents();

// The name of a colour ("clRed", "clBtnFace") when it has one.
bool ColorToIdent(TColor color, const char*& ident);
// The colour named `ident` (case ignored) when there is one.
bool IdentToColor(const char* ident, TColor& color);
