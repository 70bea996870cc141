// How the LED level meter draws: which colour each LED shows for a geometry,
// values, peaks and the meter, graph and shadow types, read from the image at
// each LED's centre.
#include "controls/VuMeterDrawing.h"

#include <gtest/gtest.h>

#include <QImage>

#include <string>
#include <vector>

#include "platform/graphics/Bitmap.h"

namespace {

// LED colours by letter: upper case lit, lower case unlit (the zone colour
// at half intensity), S the fixed shadow grey, D the disabled silver.
QRgb Expected(char c) {
  switch (c) {
    case 'L':
      return qRgb(0, 255, 0);
    case 'l':
      return qRgb(0, 127, 0);
    case 'Y':
      return qRgb(255, 255, 0);
    case 'y':
      return qRgb(127, 127, 0);
    case 'R':
      return qRgb(255, 0, 0);
    case 'r':
      return qRgb(127, 0, 0);
    case 'S':
      return qRgb(128, 128, 128);
    case 'D':
      return qRgb(192, 192, 192);
  }
  return qRgb(1, 2, 3);
}

std::string Run(char c, int n) {
  return std::string(static_cast<size_t>(n), c);
}

struct MeterCase {
  const char* name;
  TOrientation orientation;
  int width, height, ledLength, ledSpacing;
  TVuMeterType type;
  TGraphType graph;
  TShaddowType shadow;
  int left, right;
  int leftPeak, rightPeak;
  bool enabled;
  // LED 0 first (the top, or the rightmost); empty: the bar is not drawn.
  std::string bar1, bar2;
};

// Geometry of the main window's meter: 169 x 21, LEDs 2 long, 1 apart, so
// last = (169 - 6) div 3 = 54; zones idx(75) = 13.5 -> 14 and idx(92) = 4.
// The default 20 x 196: last = (196 - 6) div 12 = 15; zones idx(75) = 3.75 -> 4
// and idx(92) = 1.2 -> 1.
const std::string kMainZones1 = Run('r', 5) + Run('y', 10);
const std::string kDefaultTop = "rr" + Run('y', 3);

const MeterCase kMeterCases[] = {
    {"main window: level 50 lights LEDs 27..54", TOrientation::voHorizontal, 169, 21, 2, 1,
     TVuMeterType::vtStereo, TGraphType::gtBar, TShaddowType::stDarkLevelColor, 50, 100, -1, -1,
     true, kMainZones1 + Run('l', 12) + Run('L', 28), "RRRRR" + Run('Y', 10) + Run('L', 40)},
    {"main window: tie 40.5 at level 25 rounds to 40", TOrientation::voHorizontal, 169, 21, 2, 1,
     TVuMeterType::vtStereo, TGraphType::gtBar, TShaddowType::stDarkLevelColor, 25, 100, -1, -1,
     true, kMainZones1 + Run('l', 25) + Run('L', 15), "RRRRR" + Run('Y', 10) + Run('L', 40)},
    {"default: 100 lights all, 0 only the bottom LED", TOrientation::voVertical, 20, 196, 10, 2,
     TVuMeterType::vtStereo, TGraphType::gtBar, TShaddowType::stDarkLevelColor, 100, 0, -1, -1,
     true, "RRYYY" + Run('L', 11), kDefaultTop + Run('l', 10) + "L"},
    {"ties 10.5 and 4.5 round to 10 and 4", TOrientation::voVertical, 20, 196, 10, 2,
     TVuMeterType::vtStereo, TGraphType::gtBar, TShaddowType::stDarkLevelColor, 30, 70, -1, -1,
     true, kDefaultTop + Run('l', 5) + Run('L', 6), "rryyY" + Run('L', 11)},
    {"spot: the value's LED and the peak's", TOrientation::voVertical, 20, 196, 10, 2,
     TVuMeterType::vtStereo, TGraphType::gtSpot, TShaddowType::stDarkLevelColor, 50, 1, 100, 0,
     true, "Rryyylll" + std::string("L") + Run('l', 7), kDefaultTop + Run('l', 10) + "L"},
    {"fixed shadow colour for unlit LEDs", TOrientation::voVertical, 20, 196, 10, 2,
     TVuMeterType::vtStereo, TGraphType::gtBar, TShaddowType::stFixed, 50, 100, -1, -1, true,
     Run('S', 8) + Run('L', 8), "RRYYY" + Run('L', 11)},
    {"mono LR: mean value 30, larger peak 90 -> LED 2", TOrientation::voVertical, 20, 196, 10, 2,
     TVuMeterType::vtMonoLR, TGraphType::gtBar, TShaddowType::stDarkLevelColor, 20, 40, 20, 90,
     true, "rrYyy" + Run('l', 5) + Run('L', 6), ""},
    {"mono L, horizontal", TOrientation::voHorizontal, 169, 21, 2, 1, TVuMeterType::vtMonoL,
     TGraphType::gtBar, TShaddowType::stDarkLevelColor, 50, 0, -1, -1, true,
     kMainZones1 + Run('l', 12) + Run('L', 28), ""},
    {"disabled: every LED silver", TOrientation::voVertical, 20, 196, 10, 2, TVuMeterType::vtStereo,
     TGraphType::gtBar, TShaddowType::stDarkLevelColor, 50, 100, -1, -1, false, Run('D', 16),
     Run('D', 16)},
};

// Peaks as the control's value setters leave them (PeakShow on, from 0).
int PeakOf(int given, int value) {
  return given >= 0 ? given : value;
}

TEST(VuMeterDrawing, EachLedShowsItsColourAtItsCentre) {
  for (const MeterCase& c : kMeterCases) {
    SCOPED_TRACE(c.name);
    TVuMeterLook look;
    look.Orientation = c.orientation;
    look.LedLength = c.ledLength;
    look.LedSpacing = c.ledSpacing;
    look.MeterType = c.type;
    look.GraphType = c.graph;
    look.ShaddowType = c.shadow;
    TVuMeterLevels levels{c.left, c.right, PeakOf(c.leftPeak, c.left),
                          PeakOf(c.rightPeak, c.right)};
    TBitmap* bitmap = Create<TBitmap>();
    bitmap->SetSize(c.width, c.height);
    DrawVuMeter(bitmap->Canvas(), c.width, c.height, look, levels, c.enabled);
    const QImage& image = bitmap->Image();
    const bool vertical = c.orientation == TOrientation::voVertical;
    const int across = vertical ? c.width : c.height;
    const int half = across / 2;
    const int pitch = c.ledLength + c.ledSpacing;
    const int last = ((vertical ? c.height : c.width) - 6) / pitch;
    const bool stereo = c.type == TVuMeterType::vtStereo;
    // Bars across the column: stereo 3 .. half - 2 and half + 2 .. across - 3;
    // mono 3 .. across - 3.
    const int centres[2] = {stereo ? (3 + half - 2) / 2 : across / 2, (half + 2 + across - 3) / 2};
    const std::string* bars[2] = {&c.bar1, &c.bar2};
    for (int bar = 0; bar < 2; ++bar) {
      const std::string& leds = *bars[bar];
      if (leds.empty())
        continue;
      ASSERT_EQ(static_cast<int>(leds.size()), last + 1);
      for (int i = 0; i <= last; ++i) {
        const int along = vertical ? pitch * i + 3 : pitch * (last - i) + 3;
        const int x = vertical ? centres[bar] : along + c.ledLength / 2;
        const int y = vertical ? along + c.ledLength / 2 : centres[bar];
        EXPECT_EQ(image.pixel(x, y) & 0xFFFFFF, Expected(leds[static_cast<size_t>(i)]) & 0xFFFFFF)
            << "bar " << bar + 1 << " LED " << i;
      }
    }
    bitmap->Free();
  }
}

TEST(VuMeterDrawing, ZeroLedPitchDrawsTheBackgroundOnly) {
  TVuMeterLook look;
  look.BackGroundColor = clNavy;
  look.LedLength = 0;
  look.LedSpacing = 0;
  TBitmap* bitmap = Create<TBitmap>();
  bitmap->SetSize(20, 196);
  DrawVuMeter(bitmap->Canvas(), 20, 196, look, TVuMeterLevels{100, 100, 100, 100}, true);
  const QImage& image = bitmap->Image();
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      ASSERT_EQ(image.pixel(x, y) & 0xFFFFFF, qRgb(0, 0, 128) & 0xFFFFFF) << x << "," << y;
    }
  }
  bitmap->Free();
}

TEST(VuMeterDrawing, DarkShadeOfASystemColourIsItsResolvedColourHalved) {
  TVuMeterLook look;
  look.Level1Color = clBtnFace;  // D4D0C8 -> 6A6864
  TBitmap* bitmap = Create<TBitmap>();
  bitmap->SetSize(20, 196);
  DrawVuMeter(bitmap->Canvas(), 20, 196, look, TVuMeterLevels{0, 0, 0, 0}, true);
  // LED 14 (lower zone) is unlit at level 0.
  EXPECT_EQ(bitmap->Image().pixel(5, 12 * 14 + 3 + 5) & 0xFFFFFF,
            qRgb(0x6A, 0x68, 0x64) & 0xFFFFFF);
  bitmap->Free();
}

}  // namespace
