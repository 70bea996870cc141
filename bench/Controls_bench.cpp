// The styled controls: one value change of the main window's level meter
// (169 x 21, two bars of 55 LEDs: 110 LEDs drawn into the meter's bitmap,
// then the bitmap copied into the window's back buffer at the meter's
// place). Target: at most 50 us on one core. Reported without a target: a
// full paint of a glass button and of a slider.
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "controls/ControlsUnit.h"
#include "controls/LmVuMeter.h"
#include "controls/LuTrackBar.h"
#include "controls/StyGlassButton.h"
#include "controls/VuMeterDrawing.h"
#include "platform/forms/Controls.h"
#include "platform/forms/Forms.h"
#include "platform/graphics/Bitmap.h"

namespace {

// A form with a painted panel of the main window's client size, on Qt's
// offscreen platform; made once for the whole program.
TCustomControl* MainWindowPanel() {
  static TCustomControl* panel = [] {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    FormsUnit.Initialize();
    Application->Initialize();
    ControlsUnit.Initialize();
    TForm* form = Create<TForm>(Application);
    form->SetBounds(0, 0, 665, 385);
    TCustomControl* p = Create<TCustomControl>(form);
    p->SetParent(form);
    p->SetBounds(0, 0, 665, 385);
    return p;
  }();
  return panel;
}

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

// The same through the control: the value setter paints at once into the
// window's back buffer.
void BM_Controls_MainWindowMeterSetValue(benchmark::State& state) {
  TlmVuMeter* meter = Create<TlmVuMeter>(nullptr);
  meter->SetParent(MainWindowPanel());
  meter->SetOrientation(TOrientation::voHorizontal);
  meter->SetBounds(480, 8, 169, 21);
  meter->SetLedLength(2);
  meter->SetLedSpacing(1);
  int value = 0;
  for (auto _ : state) {
    value = (value + 37) % 101;
    meter->SetLeftValue(value);
    benchmark::ClobberMemory();
  }
  meter->Free();
}
BENCHMARK(BM_Controls_MainWindowMeterSetValue)->Unit(benchmark::kMicrosecond);

void BM_Controls_GlassButtonFullPaint(benchmark::State& state) {
  TStyGlassButton* button = Create<TStyGlassButton>(nullptr);
  button->SetParent(MainWindowPanel());
  button->SetBounds(16, 340, 120, 32);
  button->SetCaption("Oscilloscope");
  button->SetGroupIndex(10);
  button->SetDown(true);
  TBitmap* target = Create<TBitmap>();
  target->SetSize(120, 32);
  for (auto _ : state) {
    PaintControlTo(button, target->Canvas());
    benchmark::ClobberMemory();
  }
  target->Free();
  button->Free();
}
BENCHMARK(BM_Controls_GlassButtonFullPaint)->Unit(benchmark::kMicrosecond);

void BM_Controls_SliderFullPaint(benchmark::State& state) {
  TLuTrackBar* slider = Create<TLuTrackBar>(nullptr);
  slider->SetParent(MainWindowPanel());
  slider->SetBounds(8, 20, 145, 40);
  slider->SetBorderWidth(4);
  slider->SetFrequency(1);
  slider->SetMinValue(1);
  slider->SetMaxValue(9);
  slider->SetPosition(7);
  TBitmap* target = Create<TBitmap>();
  target->SetSize(145, 40);
  for (auto _ : state) {
    PaintControlTo(slider, target->Canvas());
    benchmark::ClobberMemory();
  }
  target->Free();
  slider->Free();
}
BENCHMARK(BM_Controls_SliderFullPaint)->Unit(benchmark::kMicrosecond);

}  // namespace
