// The image track bar: a slider drawn entirely into an off-screen bitmap.
//
// TLuTrackBar draws a background (colour or a picture of its bitmap list), a
// gutter framed by a TLuBevel, tick marks on one or both sides, a focus frame
// and a thumb taken from a strip of one to four frames (normal, disabled,
// dragging, hot). The user drags the thumb, clicks the track, or uses the
// arrow, Home and End keys; every change of Position fires OnChange.
//
// Position and pixels: PositionToPixel gives the thumb's leading edge for a
// value, PixelToPosition the value for a leading edge; on a track at least as
// long as the range the two are inverse. A zero range (or MinValue above
// MaxValue) maps every value to the pixel of MinValue and every pixel to
// MinValue; a track of no length maps every pixel to MinValue. A Frequency
// below 1 counts as 1 for ticks and snapping.
//
// While dragging, the positions received are clamped to the client area
// (the pointer itself cannot be confined here).
//
// Threads: main thread only.
#pragma once

#include <cstdint>

#include "controls/LuControlBases.h"

enum class TLuOrientation { voVertical, voHorizontal };
enum class TLuProgressStyle { psBottomLeft, psTopRight };
enum class TLuTickMarks { tmNone, tmBoth, tmBottomRight, tmTopLeft };

enum TLuTrackBarOption : uint32_t {
  toActiveClick = 1u << 0,
  toMouseClip = 1u << 1,
  toHandPoint = 1u << 2,
  toFixedPoints = 1u << 3,
  toThumbOpaque = 1u << 4,
};
using TLuTrackBarOptions = uint32_t;

// The screen cursor slot of the hand cursor the controls unit loads.
inline constexpr int kLuHandPointCursor = 99;

class TLuTrackBar : public TLuCustomImageControl {
  KESTRUNE_CLASS(TLuTrackBar, TLuCustomImageControl)
  explicit TLuTrackBar(TComponent* owner);
  ~TLuTrackBar() override;

  int MinValue() const { return min_value_; }
  int MaxValue() const { return max_value_; }
  int Position() const { return position_; }
  // A new minimum above Position moves Position to it (with OnChange).
  void SetMinValue(int value);
  // A new maximum below Position moves Position to it (with OnChange).
  void SetMaxValue(int value);
  // Clamped to MinValue..MaxValue; a changed result repaints and fires
  // OnChange (also when set from code).
  void SetPosition(int value);

  TLuOrientation Orientation() const { return orientation_; }
  // Unless loading, width and height are swapped; the thumb is reloaded.
  void SetOrientation(TLuOrientation value);
  TLuProgressStyle Style() const { return style_; }
  void SetStyle(TLuProgressStyle value);
  TLuTrackBarOptions Options() const { return options_; }
  void SetOptions(TLuTrackBarOptions value);
  int Frequency() const { return frequency_; }
  void SetFrequency(int value);
  int BorderWidth() const { return border_width_; }
  void SetBorderWidth(int value);
  // Owned by the bar.
  TLuBevel* GutterBevel() const { return gutter_bevel_; }
  // Copies the assigned bevel.
  void SetGutterBevel(TLuBevel* value) { gutter_bevel_->Assign(value); }
  int GutterWidth() const { return gutter_width_; }
  void SetGutterWidth(int value);
  TColor GutterColor() const { return gutter_color_; }
  void SetGutterColor(TColor value);
  TLuTickMarks TickMarks() const { return tick_marks_; }
  void SetTickMarks(TLuTickMarks value);
  TColor TickColor() const { return tick_color_; }
  void SetTickColor(TColor value);
  int ScaleOffset() const { return scale_offset_; }
  void SetScaleOffset(int value);
  TColor FocusColor() const { return focus_color_; }
  void SetFocusColor(TColor value);
  int FocusOffset() const { return focus_offset_; }
  void SetFocusOffset(int value);
  int ThumbStates() const { return thumb_states_; }
  // 1..4; reloads the thumb (not while loading).
  void SetThumbStates(int value);
  int BackImageIndex() const { return back_image_index_; }
  void SetBackImageIndex(int value);
  int ThumbImageIndex() const { return thumb_image_index_; }
  void SetThumbImageIndex(int value);
  // Borrowed: the bar listens to the list through a change link it owns and
  // forgets the list when it is freed. The thumb is the list's bitmap at
  // ThumbImageIndex, or the built-in strip when there is none.
  TLuBitmapList* BitmapList() const { return bitmap_list_; }
  void SetBitmapList(TLuBitmapList* value);

  TNotifyEvent OnChange;

  // The thumb's leading edge (left or top) for value `value`.
  int PositionToPixel(int value) const;
  // The value for a thumb whose leading edge is at `pixel` (before the
  // psTopRight mirror that SetPositionFromPixel applies).
  int PixelToPosition(int pixel) const;
  // Clamps `pixel` to the track, snaps it with toFixedPoints, and sets
  // Position from it.
  void SetPositionFromPixel(int pixel);
  // The distance between ticks, from Frequency and the track length.
  int TickStep() const;
  // The track's first pixel and its length (the thumb's travel).
  int TrackStart() const;
  int TrackLength() const;
  int ThumbWidth() const { return thumb_width_; }
  int ThumbHeight() const { return thumb_height_; }
  TRect ThumbRect() const { return thumb_rect_; }
  bool Dragging() const { return dragging_; }
  bool Hot() const { return hot_; }

  void SetBounds(int left, int top, int width, int height) override;
  void Notification(TComponent* component, TOperation operation) override;
  void Loaded() override;

 protected:
  void DrawImage(TCanvas* canvas) override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  void KeyDown(uint16_t& key, TShiftState shift) override;
  void DoEnter() override;
  void DoExit() override;
  void CMEnabledChanged() override;

 private:
  void LoadThumb();
  void CenterThumb();
  void Changed();
  void BevelChanged(TObject* sender);
  void ListChanged(TObject* sender);
  bool Vertical() const { return orientation_ == TLuOrientation::voVertical; }
  // The track rectangle: the client rectangle inset by the border width.
  TRect TrackRect() const;
  // The frame of the thumb strip for the current state.
  int ThumbFrame() const;
  void DrawTicks(TCanvas* canvas, const TRect& gutter);
  template <class V>
  void StoreAndRepaint(V& field, V value);

  int min_value_ = 0;
  int max_value_ = 100;
  int position_ = 0;
  TLuOrientation orientation_ = TLuOrientation::voHorizontal;
  TLuProgressStyle style_ = TLuProgressStyle::psBottomLeft;
  TLuTrackBarOptions options_ = toActiveClick | toMouseClip | toHandPoint | toThumbOpaque;
  int frequency_ = 10;
  int border_width_ = 10;
  TLuBevel* gutter_bevel_ = nullptr;
  int gutter_width_ = 9;
  TColor gutter_color_ = clBlack;
  TLuTickMarks tick_marks_ = TLuTickMarks::tmBoth;
  TColor tick_color_ = clBlack;
  int scale_offset_ = 5;
  TColor focus_color_ = clBlack;
  int focus_offset_ = 0;
  int thumb_states_ = 1;
  int back_image_index_ = -1;
  int thumb_image_index_ = -1;
  TLuBitmapList* bitmap_list_ = nullptr;
  TLuChangeLink* list_link_ = nullptr;

  TBitmap* thumb_ = nullptr;
  TRect thumb_rect_{0, 0, 0, 0};
  int thumb_width_ = 0;
  int thumb_height_ = 0;
  bool dragging_ = false;
  bool hot_ = false;
  bool focused_ = false;
  int grab_offset_ = 0;
};

void RegisterTrackBarClass();
