#include "scope/TrelScopeResources.h"

#include <cstdint>
#include <string>

#include "platform/graphics/GraphicsResources.h"

namespace {

constexpr int kGlyphs = 11;
constexpr int kSide = 16;

// Each glyph's inside (14 x 14, within the border) as rows of letters:
// 'W' the symbol, 'L' its anti-aliasing, anything else the face.
using TInside = const char* const[14];

constexpr TInside kInsides[kGlyphs] = {
    // 0: run, a play triangle
    {"..............", "..............", "....L.........", "....WWL.......", "....WWWWL.....",
     "....WWWWWWL...", "....WWWWWWWW..", "....WWWWWWWW..", "....WWWWWWL...", "....WWWWL.....",
     "....WWL.......", "....L.........", "..............", ".............."},
    // 1: hold, two bars
    {"..............", "..............", "...WWW..WWW...", "...WWW..WWW...", "...WWW..WWW...",
     "...WWW..WWW...", "...WWW..WWW...", "...WWW..WWW...", "...WWW..WWW...", "...WWW..WWW...",
     "...WWW..WWW...", "...WWW..WWW...", "..............", ".............."},
    // 2: zoom in, a magnifier with a plus
    {"..............", "...LWWWWL.....", "..WL....LW....", ".WL..WW..LW...", ".W...WW...W...",
     ".W.WWWWWW.W...", ".W.WWWWWW.W...", ".W...WW...W...", ".WL..WW..LW...", "..WL....LWL...",
     "...LWWWWLWWW..", "..........WWW.", "...........WW.", ".............."},
    // 3: zoom out, a magnifier with a minus
    {"..............", "...LWWWWL.....", "..WL....LW....", ".WL......LW...", ".W........W...",
     ".W.WWWWWW.W...", ".W.WWWWWW.W...", ".W........W...", ".WL......LW...", "..WL....LWL...",
     "...LWWWWLWWW..", "..........WWW.", "...........WW.", ".............."},
    // 4: zoom reset, a magnifier with a cross
    {"..............", "...LWWWWL.....", "..WL....LW....", ".WLW....WLW...", ".W..W..W..W...",
     ".W...WW...W...", ".W...WW...W...", ".W..W..W..W...", ".WLW....WLW...", "..WL....LWL...",
     "...LWWWWLWWW..", "..........WWW.", "...........WW.", ".............."},
    // 5: print, a printer with its sheet
    {"..............", "...WWWWWWWW...", "...W......W...", "...W......W...", ".WWWWWWWWWWWW.",
     ".W..........W.", ".W.......LL.W.", ".W..........W.", ".W..........W.", ".WWWWWWWWWWWW.",
     "...W......W...", "...W.WWWW.W...", "...W......W...", "...WWWWWWWW..."},
    // 6: save, a diskette
    {"..............", ".WWWWWWWWWWL..", ".W..W....W.WL.", ".W..W....W..W.", ".W..WWWWWW..W.",
     ".W..........W.", ".W..........W.", ".W.WWWWWWWW.W.", ".W.W......W.W.", ".W.W.LLLL.W.W.",
     ".W.W......W.W.", ".W.W.LLLL.W.W.", ".WWWWWWWWWWWW.", ".............."},
    // 7: copy, two sheets
    {"..............", ".WWWWWWL......", ".W.....WL.....", ".W..LLLWWWWWL.", ".W.....W....WL",
     ".W..LL.W.LL..W", ".W.....W.....W", ".W..LLLW.LLL.W", ".W.....W.....W", ".WWWWWWW.LL..W",
     ".......W.....W", ".......W.LLL.W", ".......WWWWWWW", ".............."},
    // 8: properties, a wrench
    {"..............", "........LWL...", ".......WWL..W.", ".......WW..WW.", ".......WWWWWW.",
     "......WWWWWL..", ".....WWWL.....", "....WWWL......", "...WWWL.......", "..WWWL........",
     ".WWWL.........", ".WWL..........", "..L...........", ".............."},
    // 9: zoom back, a magnifier with a left arrow
    {"..............", "...LWWWWL.....", "..WL....LW....", ".WL..W...LW...", ".W..WW....W...",
     ".W.WWWWWW.W...", ".W.WWWWWW.W...", ".W..WW....W...", ".WL..W...LW...", "..WL....LWL...",
     "...LWWWWLWWW..", "..........WWW.", "...........WW.", ".............."},
    // 10: zoom forward, a magnifier with a right arrow
    {"..............", "...LWWWWL.....", "..WL....LW....", ".WL...W..LW...", ".W....WW..W...",
     ".W.WWWWWW.W...", ".W.WWWWWW.W...", ".W....WW..W...", ".WL...W..LW...", "..WL....LWL...",
     "...LWWWWLWWW..", "..........WWW.", "...........WW.", ".............."},
};

// Palette indices of the 16-colour palette below.
enum : std::uint8_t { kBlack = 0, kLight = 7, kDark = 8, kCorner = 13, kWhite = 15 };

// The standard 16-colour palette as 0xRRGGBB.
constexpr std::uint32_t kPalette[16] = {
    0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
    0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF,
};

// The palette index of pixel (x, y) of glyph `g`.
std::uint8_t GlyphPixel(int g, int x, int y) {
  const bool edgeX = x == 0 || x == kSide - 1;
  const bool edgeY = y == 0 || y == kSide - 1;
  if (edgeX && edgeY)
    return kCorner;
  if (edgeX || edgeY)
    return kDark;
  switch (kInsides[g][y - 1][x - 1]) {
    case 'W':
      return kWhite;
    case 'L':
      return kLight;
    default:
      return kBlack;
  }
}

void Put16(std::string& s, std::uint32_t v) {
  s += static_cast<char>(v & 0xFF);
  s += static_cast<char>((v >> 8) & 0xFF);
}

void Put32(std::string& s, std::uint32_t v) {
  Put16(s, v & 0xFFFF);
  Put16(s, v >> 16);
}

// The strip as a 4-bit bottom-up BMP file.
std::string StripBmp() {
  constexpr std::uint32_t width = kGlyphs * kSide;
  constexpr std::uint32_t stride = ((width * 4 + 31) / 32) * 4;
  constexpr std::uint32_t offset = 14 + 40 + 16 * 4;
  constexpr std::uint32_t total = offset + stride * kSide;
  std::string s;
  s.reserve(total);
  s += "BM";
  Put32(s, total);
  Put32(s, 0);
  Put32(s, offset);
  Put32(s, 40);
  Put32(s, width);
  Put32(s, kSide);
  Put16(s, 1);
  Put16(s, 4);
  Put32(s, 0);  // no compression
  Put32(s, stride * kSide);
  Put32(s, 3780);  // 96 pixels per inch, as pixels per metre
  Put32(s, 3780);
  Put32(s, 16);
  Put32(s, 0);
  for (const std::uint32_t c : kPalette)
    Put32(s, c);  // blue, green, red, 0 in file order
  for (int y = kSide - 1; y >= 0; --y) {
    std::string row(stride, '\0');
    for (int x = 0; x < static_cast<int>(width); ++x) {
      const std::uint8_t index = GlyphPixel(x / kSide, x % kSide, y);
      row[static_cast<std::size_t>(x / 2)] |= static_cast<char>(x % 2 == 0 ? index << 4 : index);
    }
    s += row;
  }
  return s;
}

}  // namespace

void RegisterTrelScopeResources() {
  RegisterResource(TResourceKind::Bitmap, kTrelScopeButtonsResource, StripBmp());
}
