#include "controls/LuResources.h"

#include <string>
#include <vector>

#include "platform/graphics/GraphicsResources.h"

namespace {

// Our pictures as rows of letters: '.' the transparent key (fuchsia),
// 'K' black, 'D' dark grey, 'G' button face, 'W' white.
const std::vector<TLetterColor> kPalette = {
    {'K', 0x000000}, {'D', 0x808080}, {'G', 0xC8D0D4}, {'W', 0xFFFFFF}};
constexpr TColor kKey = 0xFF00FF;

// The horizontal thumb: 11 x 19, a raised button face ending in a point
// downwards; its bottom-left pixel is the key, so the corners beside the
// point stay transparent.
const std::vector<std::string> kThumbHorizontal = {
    "WWWWWWWWWWK", "WGGGGGGGGDK", "WGGGGGGGGDK", "WGGGGGGGGDK", "WGGGGGGGGDK",
    "WGGGGGGGGDK", "WGGGGGGGGDK", "WGGGGGGGGDK", "WGGGGGGGGDK", "WGGGGGGGGDK",
    "WGGGGGGGGDK", "WGGGGGGGGDK", "WGGGGGGGGDK", "WGGGGGGGGDK", ".WGGGGGGDK.",
    "..WGGGGDK..", "...WGGDK...", "....WDK....", ".....K.....",
};

// The hand cursor: 32 x 32, a pointing hand (black outline, white inside),
// hot spot at the finger tip (6, 0).
const std::vector<std::string> kHandCursor = {
    ".....KK.........................", "....KWWK........................",
    "....KWWK........................", "....KWWK........................",
    "....KWWK........................", "....KWWKKK......................",
    "....KWWKWWKKK...................", "....KWWKWWKWWKK.................",
    "KKK.KWWKWWKWWKWK................", "KWWKKWWWWWWWWKWK................",
    "KWWWKWWWWWWWWWWK................", ".KWWWWWWWWWWWWWK................",
    "..KWWWWWWWWWWWWK................", "..KWWWWWWWWWWWWK................",
    "...KWWWWWWWWWWWK................", "...KWWWWWWWWWWK.................",
    "....KWWWWWWWWWK.................", "....KWWWWWWWWWK.................",
    ".....KWWWWWWWK..................", ".....KWWWWWWWK..................",
    ".....KKKKKKKKK..................", "................................",
    "................................", "................................",
    "................................", "................................",
    "................................", "................................",
    "................................", "................................",
    "................................", "................................",
};

}  // namespace

void RegisterLuResources() {
  // The vertical thumb is the horizontal one turned to point left (its
  // bottom-left pixel is again beside the point): its pixel (x, y) is the
  // horizontal one's (y, 18 - x).
  const size_t long_side = kThumbHorizontal.size();
  const size_t short_side = kThumbHorizontal.front().size();
  std::vector<std::string> vertical(short_side, std::string(long_side, '.'));
  for (size_t y = 0; y < short_side; ++y) {
    for (size_t x = 0; x < long_side; ++x)
      vertical[y][x] = kThumbHorizontal[long_side - 1 - x][y];
  }
  RegisterLetterBitmap(TResourceKind::Bitmap, "LUTB_HORI", kThumbHorizontal, kPalette, kKey);
  RegisterLetterBitmap(TResourceKind::Bitmap, "LUTB_VERT", vertical, kPalette, kKey);
  RegisterLetterBitmap(TResourceKind::Cursor, "LUCURSORHANDPOINT", kHandCursor, kPalette, kKey,
                       TPoint{6, 0});
}
