#include "support/common/KiGraphUtils.h"

namespace {

std::array<HCURSOR, 4> cursor_slots{};

}  // namespace

void KiHandleHotTrackFont(TFont* hotTrackFont, const TFont* font, TKiTrackFontOptions options) {
  if ((options & TrackFontOptionBit(hoFollowFont)) == 0)
    return;
  auto keeps = [options](TKiTrackFontOption option) {
    return (options & TrackFontOptionBit(option)) != 0;
  };
  if (!keeps(hoPreserveColor))
    hotTrackFont->SetColor(font->Color());
  if (!keeps(hoPreserveHeight))
    hotTrackFont->SetHeight(font->Height());
  if (!keeps(hoPreserveName))
    hotTrackFont->SetName(font->Name());
  if (!keeps(hoPreservePitch))
    hotTrackFont->SetPitch(font->Pitch());
  if (!keeps(hoPreserveStyle))
    hotTrackFont->SetStyle(font->Style());
}

int KiFontHeight(const TFont* font) {
  TCanvas canvas;
  canvas.Font()->Assign(const_cast<TFont*>(font));
  return canvas.TextHeight("Wg");
}

int KiDrawText(HDC dc, const std::string& text, TRect* rect, UINT format) {
  return DrawText(dc, text, rect, format & ~UINT{0x10000});
}

const std::array<HCURSOR, 4>& KiCursorSlots() {
  return cursor_slots;
}

void StartKiGraphUtils() {
  if (Screen == nullptr)
    return;
  cursor_slots = {Screen->Cursors(crHandPoint), Screen->Cursors(crArrow), Screen->Cursors(crSizeWE),
                  Screen->Cursors(crSizeNS)};
}

void StopKiGraphUtils() {
  cursor_slots = {};
}
