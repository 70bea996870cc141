#include "controls/StyMenuUtil.h"

#include "platform/graphics/Bitmap.h"
#include "platform/win/Libraries.h"

namespace {
FARPROC update_layered_window = nullptr;
FARPROC set_layered_window_attributes = nullptr;
}  // namespace

TFont* CreateRotatedFont(TFont* font, int angle) {
  TFont* rotated = Create<TFont>();
  rotated->Assign(font);
  rotated->SetEscapement(angle * 10);
  return rotated;
}

int RectWidth(const TRect& rect) {
  return rect.Width();
}

int RectHeight(const TRect& rect) {
  return rect.Height();
}

TRect CenterRect(const TRect& rect, int width, int height) {
  TRect r;
  r.Right = (rect.Left + rect.Right + width) / 2;
  r.Bottom = (rect.Top + rect.Bottom + height) / 2;
  r.Left = r.Right - width;
  r.Top = r.Bottom - height;
  return r;
}

TRect GraphicRect(TGraphic* graphic) {
  if (graphic == nullptr)
    return {};
  return {0, 0, graphic->Width(), graphic->Height()};
}

void SplitColor(TColor color, uint8_t& red, uint8_t& green, uint8_t& blue) {
  const COLORREF rgb = ColorToRGB(color);
  red = GetRValue(rgb);
  green = GetGValue(rgb);
  blue = GetBValue(rgb);
}

uint32_t PackColor(uint8_t red, uint8_t green, uint8_t blue, uint8_t alpha) {
  return static_cast<uint32_t>(red) | (static_cast<uint32_t>(green) << 8) |
         (static_cast<uint32_t>(blue) << 16) | (static_cast<uint32_t>(alpha) << 24);
}

int IMin(int a, int b) {
  return a < b ? a : b;
}

int IMax(int a, int b) {
  return a > b ? a : b;
}

void LookUpLayeredWindowCalls() {
  const HMODULE user = LoadLibrary("user32.dll");
  update_layered_window = GetProcAddress(user, "UpdateLayeredWindow");
  set_layered_window_attributes = GetProcAddress(user, "SetLayeredWindowAttributes");
}

bool LayeredWindowAttributesAvailable() {
  return set_layered_window_attributes != nullptr;
}
