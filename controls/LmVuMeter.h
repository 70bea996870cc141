// The LED level meter: one or two levels of 0..100 shown as columns of LEDs
// in three colour zones, with a peak LED per channel.
//
// TlmVuMeter is a non-windowed control. Every repaint draws all LEDs into an
// off-screen bitmap of the control's size and copies that bitmap once to the
// parent's back buffer at the control's place, so the meter never flickers.
// The value setters repaint at once (not through an invalidation): callers
// set a value only when it changes. Without a parent, or with an empty size,
// a repaint draws nothing.
//
// The control knows nothing of audio: values and peaks are set from outside
// (the main window's level feed). LeftPeak, RightPeak and the two reset
// counters are plain fields for the caller's peak ageing; writing them
// repaints nothing.
//
// Threads: main thread only.
#pragma once

#include <cstdint>

#include "controls/VuMeterDrawing.h"
#include "platform/forms/Controls.h"
#include "platform/graphics/Bitmap.h"

class TlmVuMeter : public TGraphicControl {
  KESTRUNE_CLASS(TlmVuMeter, TGraphicControl)
  explicit TlmVuMeter(TComponent* owner);
  ~TlmVuMeter() override;

  // Sets the bounds, then replaces the off-screen bitmap by one of the new
  // size.
  void SetBounds(int left, int top, int width, int height) override;

  TVuMeterType MeterType() const { return look_.MeterType; }
  void SetMeterType(TVuMeterType value);
  TOrientation Orientation() const { return look_.Orientation; }
  // While designing (not while the description is read) width and height
  // are swapped.
  void SetOrientation(TOrientation value);
  TShaddowType ShaddowType() const { return look_.ShaddowType; }
  void SetShaddowType(TShaddowType value);
  TGraphType GraphType() const { return look_.GraphType; }
  void SetGraphType(TGraphType value);

  int LeftValue() const { return left_value_; }
  int RightValue() const { return right_value_; }
  // A value different from the stored one is clamped to 0..100 and stored;
  // with PeakShow a value above that side's peak raises the peak; then the
  // meter repaints at once.
  void SetLeftValue(int value);
  void SetRightValue(int value);

  TColor LedDisabledColor() const { return look_.LedDisabledColor; }
  TColor BackGroundColor() const { return look_.BackGroundColor; }
  TColor ShaddowColor() const { return look_.ShaddowColor; }
  TColor Level1Color() const { return look_.Level1Color; }
  TColor Level2Color() const { return look_.Level2Color; }
  TColor Level3Color() const { return look_.Level3Color; }
  // Colour setters store and repaint on every assignment.
  void SetLedDisabledColor(TColor value);
  void SetBackGroundColor(TColor value);
  void SetShaddowColor(TColor value);
  void SetLevel1Color(TColor value);
  void SetLevel2Color(TColor value);
  void SetLevel3Color(TColor value);

  int Level1Limit() const { return look_.Level1Limit; }
  int Level2Limit() const { return look_.Level2Limit; }
  // Clamped to 0..100, then kept at or below Level2Limit; repaints always.
  void SetLevel1Limit(int value);
  // Clamped to 0..100, then kept at or above Level1Limit; repaints always.
  void SetLevel2Limit(int value);

  int BorderMargin() const { return look_.BorderMargin; }
  int CenterMargin() const { return look_.CenterMargin; }
  int ExtremityMargin() const { return look_.ExtremityMargin; }
  int LedLength() const { return look_.LedLength; }
  int LedWidth() const { return led_width_; }
  int LedSpacing() const { return look_.LedSpacing; }
  void SetBorderMargin(int value);
  void SetCenterMargin(int value);
  void SetExtremityMargin(int value);
  void SetLedLength(int value);
  void SetLedWidth(int value);
  void SetLedSpacing(int value);

  // With AutoSize every repaint first sizes the control to hold NumLeds
  // LEDs and the margins (not while the description is read).
  bool AutoSize() const { return auto_size_; }
  void SetAutoSize(bool value);
  int NumLeds() const { return num_leds_; }
  // Clamped to 1..1000.
  void SetNumLeds(int value);
  bool PeakShow() const { return peak_show_; }
  // Stores the flag without repainting.
  void SetPeakShow(bool value) { peak_show_ = value; }

  // LeftPeak := LeftValue and its reset count := 0; no repaint.
  void ResetLeftPeak();
  void ResetRightPeak();

  int LeftPeak = 0;
  int RightPeak = 0;
  int LeftPeakResetCount = 0;
  int RightPeakResetCount = 0;

  // The off-screen bitmap (the control's size once bounds were set), owned
  // by the meter. Every SetBounds (also AutoSize's) replaces the object: a
  // pointer taken before is left dangling.
  TBitmap* Bitmap() const { return bitmap_; }

 protected:
  // Draws the meter into the off-screen bitmap, then copies it to 0,0.
  void Paint() override;

 private:
  void DrawMeter();
  // Repaints at once, when the control has a parent and a size.
  void RepaintNow();
  template <class V>
  void StoreAndRepaint(V& field, V value);
  void StoreAlways(TColor& field, TColor value);

  TBitmap* bitmap_ = nullptr;
  TVuMeterLook look_;
  int left_value_ = 1;
  int right_value_ = 1;
  int led_width_ = 5;
  bool auto_size_ = false;
  int num_leds_ = 16;
  bool peak_show_ = true;
};

// Registers TlmVuMeter's published properties (called by the controls unit).
void RegisterVuMeterClass();
