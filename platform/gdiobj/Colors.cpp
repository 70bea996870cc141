#include "platform/gdiobj/Colors.h"

#include <string>
#include <vector>

#include "platform/classes/TypInfo.h"

namespace {

// The standard scheme as 0xRRGGBB, by system colour index.
constexpr uint32_t kSystemScheme[] = {
    0xD4D0C8,  //  0 scroll bar
    0x3A6EA5,  //  1 desktop
    0x0A246A,  //  2 active caption
    0x808080,  //  3 inactive caption
    0xD4D0C8,  //  4 menu
    0xFFFFFF,  //  5 window
    0x000000,  //  6 window frame
    0x000000,  //  7 menu text
    0x000000,  //  8 window text
    0xFFFFFF,  //  9 caption text
    0xD4D0C8,  // 10 active border
    0xD4D0C8,  // 11 inactive border
    0x808080,  // 12 application workspace
    0x0A246A,  // 13 highlight
    0xFFFFFF,  // 14 highlight text
    0xD4D0C8,  // 15 button face
    0x808080,  // 16 button shadow
    0x808080,  // 17 grey text
    0x000000,  // 18 button text
    0xD4D0C8,  // 19 inactive caption text
    0xFFFFFF,  // 20 button highlight
    0x404040,  // 21 3-D dark shadow
    0xD4D0C8,  // 22 3-D light
    0x000000,  // 23 info text
    0xFFFFE1,  // 24 info background
    0xB5B5B5,  // 25 alternate button face
    0x000080,  // 26 hot-tracking
    0xA6CAF0,  // 27 active caption gradient
    0xC0C0C0,  // 28 inactive caption gradient
    0x0A246A,  // 29 menu highlight
    0xD4D0C8,  // 30 menu bar
};
constexpr int kSystemColorCount =
    static_cast<int>(sizeof(kSystemScheme) / sizeof(kSystemScheme[0]));

struct NamedColor {
  TColor color;
  const char* name;
};

constexpr NamedColor kColorNames[] = {
    {clBlack, "clBlack"},
    {clMaroon, "clMaroon"},
    {clGreen, "clGreen"},
    {clOlive, "clOlive"},
    {clNavy, "clNavy"},
    {clPurple, "clPurple"},
    {clTeal, "clTeal"},
    {clGray, "clGray"},
    {clSilver, "clSilver"},
    {clRed, "clRed"},
    {clLime, "clLime"},
    {clYellow, "clYellow"},
    {clBlue, "clBlue"},
    {clFuchsia, "clFuchsia"},
    {clAqua, "clAqua"},
    {clWhite, "clWhite"},
    {clCream, "clCream"},
    {clNone, "clNone"},
    {clDefault, "clDefault"},
    {clScrollBar, "clScrollBar"},
    {clBackground, "clBackground"},
    {clActiveCaption, "clActiveCaption"},
    {clInactiveCaption, "clInactiveCaption"},
    {clMenu, "clMenu"},
    {clWindow, "clWindow"},
    {clWindowFrame, "clWindowFrame"},
    {clMenuText, "clMenuText"},
    {clWindowText, "clWindowText"},
    {clCaptionText, "clCaptionText"},
    {clActiveBorder, "clActiveBorder"},
    {clInactiveBorder, "clInactiveBorder"},
    {clAppWorkSpace, "clAppWorkSpace"},
    {clHighlight, "clHighlight"},
    {clHighlightText, "clHighlightText"},
    {clBtnFace, "clBtnFace"},
    {clBtnShadow, "clBtnShadow"},
    {clGrayText, "clGrayText"},
    {clBtnText, "clBtnText"},
    {clInactiveCaptionText, "clInactiveCaptionText"},
    {clBtnHighlight, "clBtnHighlight"},
    {cl3DDkShadow, "cl3DDkShadow"},
    {cl3DLight, "cl3DLight"},
    {clInfoText, "clInfoText"},
    {clInfoBk, "clInfoBk"},
    {clHotLight, "clHotLight"},
    {clGradientActiveCaption, "clGradientActiveCaption"},
    {clGradientInactiveCaption, "clGradientInactiveCaption"},
    {clMenuHighlight, "clMenuHighlight"},
    {clMenuBar, "clMenuBar"},
};

struct NamedCursor {
  TCursor cursor;
  const char* name;
};

constexpr NamedCursor kCursorNames[] = {
    {crDefault, "crDefault"}, {crNone, "crNone"},           {crArrow, "crArrow"},
    {crCross, "crCross"},     {crIBeam, "crIBeam"},         {crSizeNS, "crSizeNS"},
    {crSizeWE, "crSizeWE"},   {crHourGlass, "crHourGlass"}, {crHandPoint, "crHandPoint"},
};

}  // namespace

COLORREF GetSysColor(int index) {
  if (index < 0 || index >= kSystemColorCount)
    return 0;
  const uint32_t rgb = kSystemScheme[index];
  return RGB(static_cast<uint8_t>(rgb >> 16), static_cast<uint8_t>(rgb >> 8),
             static_cast<uint8_t>(rgb));
}

COLORREF ColorToRGB(TColor color) {
  if (IsSystemColor(color))
    return GetSysColor(static_cast<int>(static_cast<uint32_t>(color) & 0xFF));
  return static_cast<COLORREF>(color);
}

void RegisterGraphicsIdents() {
  std::vector<TIdentMapEntry> colors;
  for (const NamedColor& c : kColorNames)
    colors.push_back({c.color, c.name});
  RegisterIdentMap(kColorIdents, std::move(colors));
  std::vector<TIdentMapEntry> cursors;
  for (const NamedCursor& c : kCursorNames)
    cursors.push_back({c.cursor, c.name});
  RegisterIdentMap(kCursorIdents, std::move(cursors));
}

bool ColorToIdent(TColor color, const char*& ident) {
  for (const NamedColor& c : kColorNames) {
    if (c.color == color) {
      ident = c.name;
      return true;
    }
  }
  return false;
}

bool IdentToColor(const char* ident, TColor& color) {
  for (const NamedColor& c : kColorNames) {
    if (SameText(c.name, ident)) {
      color = c.color;
      return true;
    }
  }
  return false;
}
