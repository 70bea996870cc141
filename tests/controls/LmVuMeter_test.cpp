// The LED level meter: which colour each LED shows for a geometry, values,
// peaks and the meter, graph and shadow types, read from the meter's image;
// and which setters repaint.
#include "controls/LmVuMeter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/graphics/Bitmap.h"
#include "tests/controls/ControlsTestSupport.h"

namespace {

using kestrune::test::ControlsTest;

class VuMeterTest : public ControlsTest {};

TEST_F(VuMeterTest, PaintCopiesTheMeterIntoTheParentAtItsPlace) {
  TlmVuMeter* meter = Create<TlmVuMeter>(Form());
  meter->SetParent(Form());
  meter->SetOrientation(TOrientation::voHorizontal);
  meter->SetBounds(480, 8, 169, 21);
  meter->SetLedLength(2);
  meter->SetLedSpacing(1);
  meter->SetLeftValue(100);
  // The setter painted at once: the leftmost LED of the upper bar (LED 54,
  // lower zone, lit) is in the form's back buffer at the meter's place.
  const QImage& form = Image();
  EXPECT_EQ(form.pixel(480 + 3, 8 + 5) & 0xFFFFFF, qRgb(0, 255, 0) & 0xFFFFFF);
  EXPECT_EQ(form.pixel(480 + 1, 8 + 1) & 0xFFFFFF, 0u);  // the black background
  meter->Free();
}

class CountingMeter : public TlmVuMeter {
 public:
  using TlmVuMeter::TlmVuMeter;
  int paints = 0;

 protected:
  void Paint() override {
    ++paints;
    TlmVuMeter::Paint();
  }
};

TEST_F(VuMeterTest, SettersRepaintAsTheyShould) {
  CountingMeter* meter = Create<CountingMeter>(Form());
  meter->SetParent(Form());
  const struct {
    const char* name;
    void (*action)(TlmVuMeter*);
    int paints;
    int left, level1, level2, leftPeak;
  } steps[] = {
      {"150 is stored as 100", [](TlmVuMeter* m) { m->SetLeftValue(150); }, 1, 100, 75, 92, 100},
      {"the same value again paints nothing", [](TlmVuMeter* m) { m->SetLeftValue(100); }, 0, 100,
       75, 92, 100},
      {"-5 is stored as 0, the peak stays", [](TlmVuMeter* m) { m->SetLeftValue(-5); }, 1, 0, 75,
       92, 100},
      {"Level1Limit 95 above Level2Limit 92 stores 92",
       [](TlmVuMeter* m) { m->SetLevel1Limit(95); }, 1, 0, 92, 92, 100},
      {"a limit setter paints even unchanged", [](TlmVuMeter* m) { m->SetLevel2Limit(92); }, 1, 0,
       92, 92, 100},
      {"colour setters paint on every assignment",
       [](TlmVuMeter* m) { m->SetBackGroundColor(m->BackGroundColor()); }, 1, 0, 92, 92, 100},
      {"PeakShow stores without painting", [](TlmVuMeter* m) { m->SetPeakShow(false); }, 0, 0, 92,
       92, 100},
      {"without PeakShow a value leaves the peak", [](TlmVuMeter* m) { m->SetLeftValue(40); }, 1,
       40, 92, 92, 100},
      {"ResetLeftPeak takes the value and paints nothing",
       [](TlmVuMeter* m) {
         m->LeftPeakResetCount = 7;
         m->ResetLeftPeak();
       },
       0, 40, 92, 92, 40},
      {"an unchanged LED size paints nothing", [](TlmVuMeter* m) { m->SetLedLength(10); }, 0, 40,
       92, 92, 40},
  };
  for (const auto& s : steps) {
    SCOPED_TRACE(s.name);
    meter->paints = 0;
    s.action(meter);
    EXPECT_EQ(meter->paints, s.paints);
    EXPECT_EQ(meter->LeftValue(), s.left);
    EXPECT_EQ(meter->Level1Limit(), s.level1);
    EXPECT_EQ(meter->Level2Limit(), s.level2);
    EXPECT_EQ(meter->LeftPeak, s.leftPeak);
  }
  EXPECT_EQ(meter->LeftPeakResetCount, 0);
  meter->Free();
}

TEST_F(VuMeterTest, WithoutAParentNothingIsPainted) {
  CountingMeter* meter = Create<CountingMeter>(nullptr);
  meter->SetLeftValue(50);
  EXPECT_EQ(meter->paints, 0);
  EXPECT_EQ(meter->LeftValue(), 50);
  meter->Free();
}

TEST_F(VuMeterTest, AutoSizeGivesTheDefaultSize) {
  TlmVuMeter* meter = Create<TlmVuMeter>(Form());
  meter->SetParent(Form());
  meter->SetBounds(0, 0, 50, 50);
  meter->SetAutoSize(true);
  // t = (3 + 5) x 2 + 4 = 20; length = 16 x 10 + 2 x 3 + 15 x 2 = 196.
  EXPECT_EQ(meter->Width(), 20);
  EXPECT_EQ(meter->Height(), 196);
  meter->Free();
}

}  // namespace
