// The static text: a windowed text label drawn by its owner (an owner-drawn
// static window), with text margins, vertical layout, word wrap,
// accelerator characters, a border, automatic sizing, a focus control for
// its accelerator and a hot-track font shown while the mouse is over it.
//
// TKiCustomStaticText holds the behaviour; TKiStaticText publishes it. A new
// control is 65 x 17; with AutoSize (the default) it sizes itself to its
// caption once its window exists, and again after a change of the text,
// the font or WordWrap, and after loading. The window's paint hands the
// client rectangle to DrawItem (through CN_DRAWITEM).
//
// Threads: main thread.
#pragma once

#include <cstdint>

#include "platform/forms/OwnerDraw.h"
#include "platform/forms/StdCtrls.h"
#include "support/common/KiGraphUtils.h"
#include "support/windows/KiExControls.h"

enum TStaticBorderStyle { sbsNone, sbsSingle, sbsSunken };
// The reading direction.
enum TBiDiMode { bdLeftToRight, bdRightToLeft };

// The text's offset from the control's edges.
class TKiTextMargins : public TPersistent {
  KESTRUNE_CLASS(TKiTextMargins, TPersistent)
  uint16_t X() const { return x_; }
  void SetX(uint16_t value);
  uint16_t Y() const { return y_; }
  void SetY(uint16_t value);
  void Assign(TPersistent* source) override;
  TNotifyEvent OnChange;

 private:
  uint16_t x_ = 0;
  uint16_t y_ = 0;
};

inline constexpr TKiTrackFontOptions kDefaultHotTrackFontOptions =
    TrackFontOptionBit(hoFollowFont) | TrackFontOptionBit(hoPreserveColor) |
    TrackFontOptionBit(hoPreservePitch);

class TKiCustomStaticText : public TKiExWinControl {
  KESTRUNE_CLASS(TKiCustomStaticText, TKiExWinControl)
  explicit TKiCustomStaticText(TComponent* owner);
  ~TKiCustomStaticText() override;

  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment value);
  TStaticBorderStyle BorderStyle() const { return border_style_; }
  void SetBorderStyle(TStaticBorderStyle value);
  TBiDiMode BiDiMode() const { return bidi_mode_; }
  void SetBiDiMode(TBiDiMode value);
  TWinControl* FocusControl() const { return focus_control_; }
  void SetFocusControl(TWinControl* value);
  bool HotTrack() const { return hot_track_; }
  void SetHotTrack(bool value) { hot_track_ = value; }
  // Owned; assigning copies.
  TFont* HotTrackFont() const { return hot_track_font_; }
  void SetHotTrackFont(TFont* value) { hot_track_font_->Assign(value); }
  TKiTrackFontOptions HotTrackFontOptions() const { return hot_track_font_options_; }
  // Stores a changed value and applies the hot-track font rule.
  void SetHotTrackFontOptions(TKiTrackFontOptions value);
  TTextLayout Layout() const { return layout_; }
  void SetLayout(TTextLayout value);
  bool ShowAccelChar() const { return show_accel_char_; }
  void SetShowAccelChar(bool value);
  // Owned; a change repaints.
  TKiTextMargins* TextMargins() const { return text_margins_; }
  bool WordWrap() const { return word_wrap_; }
  void SetWordWrap(bool value);

  // The text format flags of the caption (alignment by reading direction,
  // tabs expanded, layout, no prefix without ShowAccelChar, word break with
  // WordWrap).
  UINT GetTextFlags() const;
  // Draws the caption into the item's rectangle (see the file comment).
  virtual void DrawItem(const TDrawItemStruct& DrawItemStruct);

  void Loaded() override;
  void Notification(TComponent* component, TOperation operation) override;

 protected:
  std::unique_ptr<kestrune::ControlWidget> CreateWidget() override;
  void WndProc(TMessage& message) override;
  void AdjustSize() override { AdjustBounds(); }
  void Resize() override;
  void TextChanged() override;
  void FontChanged() override;
  bool DialogChar(uint16_t Key, TShiftState Shift, const std::string& KeyText) override;
  void MouseEnter(TControl* Control) override;
  void MouseLeave(TControl* Control) override;

  // Sizes the control to its caption (AutoSize on, not loading, window
  // made).
  void AdjustBounds();

 private:
  void MarginsChanged(TObject* sender);

  TAlignment alignment_ = taLeftJustify;
  TStaticBorderStyle border_style_ = sbsNone;
  TBiDiMode bidi_mode_ = bdLeftToRight;
  TWinControl* focus_control_ = nullptr;
  bool hot_track_ = false;
  TFont* hot_track_font_ = nullptr;
  TFont* saved_font_ = nullptr;
  TKiTrackFontOptions hot_track_font_options_ = kDefaultHotTrackFontOptions;
  TTextLayout layout_ = tlTop;
  bool show_accel_char_ = true;
  TKiTextMargins* text_margins_ = nullptr;
  bool word_wrap_ = false;
  bool window_made_ = false;
};

class TKiStaticText : public TKiCustomStaticText {
  KESTRUNE_CLASS(TKiStaticText, TKiCustomStaticText)
  explicit TKiStaticText(TComponent* owner) : TKiCustomStaticText(owner) {}
};

// The accelerator character of a caption ("&x" marks x; "&&" is an "&"), or
// 0 when it has none.
char AcceleratorOf(const std::string& caption);

void RegisterKiStaticTextClasses();
