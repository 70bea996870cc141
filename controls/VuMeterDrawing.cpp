#include "controls/VuMeterDrawing.h"

#include <algorithm>

namespace kestrune::controls {

int VuLedIndex(int last, int value) {
  // last x (100 - value) / 100 with the remainder kept, so that an exact
  // half is seen as one; floor division keeps it right for negative values.
  const int64_t scaled = static_cast<int64_t>(last) * (100 - value);
  int64_t quotient = scaled / 100;
  int64_t remainder = scaled % 100;
  if (remainder < 0) {
    remainder += 100;
    --quotient;
  }
  if (remainder > 50 || (remainder == 50 && (quotient & 1) != 0))
    ++quotient;
  return static_cast<int>(quotient);
}

}  // namespace kestrune::controls

using kestrune::controls::VuLedIndex;

void DrawVuMeter(TCanvas* canvas, int width, int height, const TVuMeterLook& look,
                 const TVuMeterLevels& levels, bool enabled) {
  TBrush* brush = canvas->Brush();
  brush->SetStyle(bsSolid);
  brush->SetColor(look.BackGroundColor);
  canvas->FillRect(TRect{0, 0, width, height});

  // A pitch below 1 would divide by zero (or count LEDs backwards): the
  // meter then shows its background only.
  const int pitch = look.LedLength + look.LedSpacing;
  if (pitch < 1)
    return;
  const bool vertical = look.Orientation == TOrientation::voVertical;
  const int along = vertical ? height : width;
  const int across = vertical ? width : height;
  const int last = (along - 2 * look.ExtremityMargin) / pitch;
  const int half = across / 2;

  // Zone colours, lit and unlit. An unlit LED with stDarkLevelColor is its
  // zone's colour at half intensity: the colour is resolved to RGB first
  // (a system colour's bytes halved would be no colour at all).
  const TColor zone_colors[3] = {look.Level1Color, look.Level2Color, look.Level3Color};
  TColor lit[3];
  TColor unlit[3];
  for (int zone = 0; zone < 3; ++zone) {
    lit[zone] = zone_colors[zone];
    if (look.ShaddowType == TShaddowType::stFixed) {
      unlit[zone] = look.ShaddowColor;
    } else {
      const COLORREF rgb = ColorToRGB(zone_colors[zone]);
      unlit[zone] = static_cast<TColor>((rgb >> 1) & 0x007F7F7Fu);
    }
  }
  const int z1 = VuLedIndex(last, look.Level1Limit);
  const int z2 = VuLedIndex(last, look.Level2Limit);

  auto draw_bar = [&](int from, int to, int value_index, int peak_index) {
    for (int i = 0; i <= last; ++i) {
      TColor color;
      if (!enabled) {
        color = look.LedDisabledColor;
      } else {
        const int zone = i <= z2 ? 2 : (i <= z1 ? 1 : 0);
        const bool on = look.GraphType == TGraphType::gtBar ? (i >= value_index || i == peak_index)
                                                            : (i == value_index || i == peak_index);
        color = on ? lit[zone] : unlit[zone];
      }
      const int pos =
          vertical ? pitch * i + look.ExtremityMargin : pitch * (last - i) + look.ExtremityMargin;
      brush->SetColor(color);
      canvas->FillRect(vertical ? TRect{from, pos, to, pos + look.LedLength}
                                : TRect{pos, from, pos + look.LedLength, to});
    }
  };

  const int margin = look.BorderMargin;
  switch (look.MeterType) {
    case TVuMeterType::vtStereo:
      draw_bar(margin, half - look.CenterMargin / 2, VuLedIndex(last, levels.Left),
               VuLedIndex(last, levels.LeftPeak));
      draw_bar(half + look.CenterMargin / 2, across - margin, VuLedIndex(last, levels.Right),
               VuLedIndex(last, levels.RightPeak));
      break;
    case TVuMeterType::vtMonoL:
      draw_bar(margin, across - margin, VuLedIndex(last, levels.Left),
               VuLedIndex(last, levels.LeftPeak));
      break;
    case TVuMeterType::vtMonoR:
      draw_bar(margin, across - margin, VuLedIndex(last, levels.Right),
               VuLedIndex(last, levels.RightPeak));
      break;
    case TVuMeterType::vtMonoLR:
      draw_bar(margin, across - margin, VuLedIndex(last, (levels.Left + levels.Right) / 2),
               VuLedIndex(last, std::max(levels.LeftPeak, levels.RightPeak)));
      break;
  }
}
