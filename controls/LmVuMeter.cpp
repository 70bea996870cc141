#include "controls/LmVuMeter.h"

#include <algorithm>

#include "platform/classes/TypInfo.h"

TlmVuMeter::TlmVuMeter(TComponent* owner) : TGraphicControl(owner) {
  bitmap_ = Create<TBitmap>();
  TGraphicControl::SetBounds(Left(), Top(), 20, 196);
  bitmap_->SetSize(20, 196);
}

TlmVuMeter::~TlmVuMeter() {
  FreeAndNil(bitmap_);
}

void TlmVuMeter::SetBounds(int left, int top, int width, int height) {
  TGraphicControl::SetBounds(left, top, width, height);
  if (bitmap_ != nullptr) {
    // A fresh bitmap of the new size replaces the old one.
    TBitmap* fresh = Create<TBitmap>();
    fresh->SetSize(Width(), Height());
    TBitmap* old = bitmap_;
    bitmap_ = fresh;
    old->Free();
  }
}

void TlmVuMeter::RepaintNow() {
  if (Parent() == nullptr || Width() <= 0 || Height() <= 0)
    return;
  Paint();
}

template <class V>
void TlmVuMeter::StoreAndRepaint(V& field, V value) {
  if (field == value)
    return;
  field = value;
  RepaintNow();
}

void TlmVuMeter::SetMeterType(TVuMeterType value) {
  StoreAndRepaint(look_.MeterType, value);
}
void TlmVuMeter::SetShaddowType(TShaddowType value) {
  StoreAndRepaint(look_.ShaddowType, value);
}
void TlmVuMeter::SetGraphType(TGraphType value) {
  StoreAndRepaint(look_.GraphType, value);
}

void TlmVuMeter::SetOrientation(TOrientation value) {
  if (look_.Orientation == value)
    return;
  look_.Orientation = value;
  const TComponentState state = ComponentState();
  if (state.Contains(csDesigning) && !state.Contains(csReading) && !state.Contains(csLoading)) {
    SetBounds(Left(), Top(), Height(), Width());
  }
  RepaintNow();
}

void TlmVuMeter::SetLeftValue(int value) {
  if (value == left_value_)
    return;
  left_value_ = std::clamp(value, 0, 100);
  if (peak_show_ && left_value_ > LeftPeak)
    LeftPeak = left_value_;
  RepaintNow();
}

void TlmVuMeter::SetRightValue(int value) {
  if (value == right_value_)
    return;
  right_value_ = std::clamp(value, 0, 100);
  if (peak_show_ && right_value_ > RightPeak)
    RightPeak = right_value_;
  RepaintNow();
}

// Colour setters store and repaint on every assignment.
void TlmVuMeter::SetLedDisabledColor(TColor value) {
  StoreAlways(look_.LedDisabledColor, value);
}
void TlmVuMeter::SetBackGroundColor(TColor value) {
  StoreAlways(look_.BackGroundColor, value);
}
void TlmVuMeter::SetShaddowColor(TColor value) {
  StoreAlways(look_.ShaddowColor, value);
}
void TlmVuMeter::SetLevel1Color(TColor value) {
  StoreAlways(look_.Level1Color, value);
}
void TlmVuMeter::SetLevel2Color(TColor value) {
  StoreAlways(look_.Level2Color, value);
}
void TlmVuMeter::SetLevel3Color(TColor value) {
  StoreAlways(look_.Level3Color, value);
}

void TlmVuMeter::StoreAlways(TColor& field, TColor value) {
  field = value;
  RepaintNow();
}

void TlmVuMeter::SetLevel1Limit(int value) {
  look_.Level1Limit = std::min(std::clamp(value, 0, 100), look_.Level2Limit);
  RepaintNow();
}

void TlmVuMeter::SetLevel2Limit(int value) {
  look_.Level2Limit = std::max(std::clamp(value, 0, 100), look_.Level1Limit);
  RepaintNow();
}

void TlmVuMeter::SetBorderMargin(int value) {
  StoreAndRepaint(look_.BorderMargin, value);
}
void TlmVuMeter::SetCenterMargin(int value) {
  StoreAndRepaint(look_.CenterMargin, value);
}
void TlmVuMeter::SetExtremityMargin(int value) {
  StoreAndRepaint(look_.ExtremityMargin, value);
}
void TlmVuMeter::SetLedLength(int value) {
  StoreAndRepaint(look_.LedLength, value);
}
void TlmVuMeter::SetLedWidth(int value) {
  StoreAndRepaint(led_width_, value);
}
void TlmVuMeter::SetLedSpacing(int value) {
  StoreAndRepaint(look_.LedSpacing, value);
}
void TlmVuMeter::SetAutoSize(bool value) {
  StoreAndRepaint(auto_size_, value);
}

void TlmVuMeter::SetNumLeds(int value) {
  if (value == num_leds_)
    return;
  num_leds_ = std::clamp(value, 1, 1000);
  RepaintNow();
}

void TlmVuMeter::ResetLeftPeak() {
  LeftPeak = left_value_;
  LeftPeakResetCount = 0;
}

void TlmVuMeter::ResetRightPeak() {
  RightPeak = right_value_;
  RightPeakResetCount = 0;
}

void TlmVuMeter::Paint() {
  if (Width() <= 0 || Height() <= 0)
    return;
  DrawMeter();
  Canvas()->Draw(0, 0, bitmap_);
}

void TlmVuMeter::DrawMeter() {
  const bool vertical = look_.Orientation == TOrientation::voVertical;
  const TComponentState state = ComponentState();
  if (auto_size_ && !state.Contains(csReading) && !state.Contains(csLoading)) {
    int thickness = (look_.BorderMargin + led_width_) * 2 + look_.CenterMargin;
    if (thickness % 2 != 0)
      ++thickness;
    const int length = num_leds_ * look_.LedLength + 2 * look_.ExtremityMargin +
                       (num_leds_ - 1) * look_.LedSpacing;
    const int width = vertical ? thickness : length;
    const int height = vertical ? length : thickness;
    if (width != Width() || height != Height())
      SetBounds(Left(), Top(), width, height);
  }
  DrawVuMeter(bitmap_->Canvas(), Width(), Height(), look_,
              TVuMeterLevels{left_value_, right_value_, LeftPeak, RightPeak}, Enabled());
}

void RegisterVuMeterClass() {
  RegisterClass<TlmVuMeter>()
      .Enum("MeterType", &TlmVuMeter::MeterType, &TlmVuMeter::SetMeterType,
            {"vtStereo", "vtMonoL", "vtMonoR", "vtMonoLR"}, TVuMeterType::vtStereo)
      .Enum("Orientation", &TlmVuMeter::Orientation, &TlmVuMeter::SetOrientation,
            {"voVertical", "voHorizontal"}, TOrientation::voVertical)
      .Enum("ShaddowType", &TlmVuMeter::ShaddowType, &TlmVuMeter::SetShaddowType,
            {"stFixed", "stDarkLevelColor"}, TShaddowType::stDarkLevelColor)
      .Enum("GraphType", &TlmVuMeter::GraphType, &TlmVuMeter::SetGraphType, {"gtBar", "gtSpot"},
            TGraphType::gtBar)
      .MappedInteger("LedDisabledColor", &TlmVuMeter::LedDisabledColor,
                     &TlmVuMeter::SetLedDisabledColor, kColorIdents, clSilver)
      .MappedInteger("BackGroundColor", &TlmVuMeter::BackGroundColor,
                     &TlmVuMeter::SetBackGroundColor, kColorIdents, clBlack)
      .MappedInteger("ShaddowColor", &TlmVuMeter::ShaddowColor, &TlmVuMeter::SetShaddowColor,
                     kColorIdents, clGray)
      .MappedInteger("Level1Color", &TlmVuMeter::Level1Color, &TlmVuMeter::SetLevel1Color,
                     kColorIdents, clLime)
      .MappedInteger("Level2Color", &TlmVuMeter::Level2Color, &TlmVuMeter::SetLevel2Color,
                     kColorIdents, clYellow)
      .MappedInteger("Level3Color", &TlmVuMeter::Level3Color, &TlmVuMeter::SetLevel3Color,
                     kColorIdents, clRed)
      .Integer("LeftValue", &TlmVuMeter::LeftValue, &TlmVuMeter::SetLeftValue, 1)
      .Integer("RightValue", &TlmVuMeter::RightValue, &TlmVuMeter::SetRightValue, 1)
      .Integer("Level1Limit", &TlmVuMeter::Level1Limit, &TlmVuMeter::SetLevel1Limit, 75)
      .Integer("Level2Limit", &TlmVuMeter::Level2Limit, &TlmVuMeter::SetLevel2Limit, 92)
      .Integer("BorderMargin", &TlmVuMeter::BorderMargin, &TlmVuMeter::SetBorderMargin, 3)
      .Integer("CenterMargin", &TlmVuMeter::CenterMargin, &TlmVuMeter::SetCenterMargin, 4)
      .Integer("ExtremityMargin", &TlmVuMeter::ExtremityMargin, &TlmVuMeter::SetExtremityMargin, 3)
      .Integer("LedLength", &TlmVuMeter::LedLength, &TlmVuMeter::SetLedLength, 10)
      .Integer("LedWidth", &TlmVuMeter::LedWidth, &TlmVuMeter::SetLedWidth, 5)
      .Integer("LedSpacing", &TlmVuMeter::LedSpacing, &TlmVuMeter::SetLedSpacing, 2)
      .Bool("AutoSize", &TlmVuMeter::AutoSize, &TlmVuMeter::SetAutoSize, false)
      .Integer("NumLeds", &TlmVuMeter::NumLeds, &TlmVuMeter::SetNumLeds, 16)
      .Bool("PeakShow", &TlmVuMeter::PeakShow, &TlmVuMeter::SetPeakShow, true);
}
