// The styled controls: one value change of the main window's level meter
// (169 x 21, two bars of 55 LEDs: 110 LEDs drawn into the meter's bitmap,
// then the bitmap copied into the window's back buffer at the meter's
// place). Target: at most 50 us on one core.
#include <benchmark/benchmark.h>

#include "controls/VuMeterDrawing.h"
#include "platform/graphics/Bitmap.h"

namespace {

void BM_Controls_MainWindowMeterValueChange(benchmark::State& state) {
  TVuMeterLook look;
  look.Orientation = TOrientation::voHorizontal;
  look.LedLength = 2;
  look.LedSpacing = 1;
  TBitmap* meter = Create<TBitmap>();
  meter->SetSize(169, 21);
  TBitmap* window = Create<TBitmap>();  // the main window's client area
  window->SetSize(665, 385);
  const TRect place{480, 8, 480 + 169, 8 + 21};
  const TRect whole{0, 0, 169, 21};
  int value = 0;
  for (auto _ : state) {
    value = (value + 37) % 101;
    DrawVuMeter(meter->Canvas(), 169, 21, look, TVuMeterLevels{value, 100 - value, 90, 95}, true);
    window->Canvas()->CopyRect(place, meter->Canvas(), whole);
    benchmark::ClobberMemory();
  }
  meter->Free();
  window->Free();
}
BENCHMARK(BM_Controls_MainWindowMeterValueChange)->Unit(benchmark::kMicrosecond);

}  // namespace
