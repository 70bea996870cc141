#include "controls/LuTrackBar.h"

#include <algorithm>

#include "controls/LuUtils.h"
#include "platform/classes/TypInfo.h"
#include "platform/rtl/SysUtils.h"

namespace {
int Rounded(double value) {
  return static_cast<int>(Round(value));
}
}  // namespace

TLuTrackBar::TLuTrackBar(TComponent* owner) : TLuCustomImageControl(owner) {
  thumb_ = Create<TBitmap>();
  gutter_bevel_ = Create<TLuBevel>();
  gutter_bevel_->BeginUpdate();
  gutter_bevel_->SetOuterStyle(TLuBevelStyle::bsLowered);
  gutter_bevel_->SetInnerStyle(TLuBevelStyle::bsNone);
  gutter_bevel_->SetOuterOutline(TLuBevelOutlineStyle::osNone);
  gutter_bevel_->SetInnerOutline(TLuBevelOutlineStyle::osNone);
  gutter_bevel_->SetOuterSpace(0);
  gutter_bevel_->SetInnerSpace(0);
  gutter_bevel_->EndUpdate();
  gutter_bevel_->OnChange = TNotifyEvent(this, &TLuTrackBar::BevelChanged);
  list_link_ = Create<TLuChangeLink>();
  list_link_->OnChange = TNotifyEvent(this, &TLuTrackBar::ListChanged);
  SetTabStop(false);
  ControlStyle.Include(csOpaque);
  TLuCustomImageControl::SetBounds(Left(), Top(), 45, 175);
  LoadThumb();
}

TLuTrackBar::~TLuTrackBar() {
  FreeAndNil(list_link_);  // leaves the list it is linked to
  FreeAndNil(gutter_bevel_);
  FreeAndNil(thumb_);
}

template <class V>
void TLuTrackBar::StoreAndRepaint(V& field, V value) {
  if (field == value)
    return;
  field = value;
  RepaintControl();
}

void TLuTrackBar::Changed() {
  if (OnChange.Assigned())
    OnChange(this);
}

void TLuTrackBar::SetPosition(int value) {
  const int clamped = std::min(std::max(value, min_value_), max_value_);
  if (clamped == position_)
    return;
  position_ = clamped;
  RepaintControl();
  Changed();
}

void TLuTrackBar::SetMinValue(int value) {
  if (value == min_value_)
    return;
  min_value_ = value;
  if (min_value_ > position_) {
    SetPosition(min_value_);
  } else {
    RepaintControl();
  }
}

void TLuTrackBar::SetMaxValue(int value) {
  if (value == max_value_)
    return;
  max_value_ = value;
  if (max_value_ < position_) {
    SetPosition(max_value_);
  } else {
    RepaintControl();
  }
}

void TLuTrackBar::SetOrientation(TLuOrientation value) {
  if (value == orientation_)
    return;
  orientation_ = value;
  if (!Loading())
    TLuCustomImageControl::SetBounds(Left(), Top(), Height(), Width());
  LoadThumb();
  RepaintControl();
}

void TLuTrackBar::SetStyle(TLuProgressStyle value) {
  StoreAndRepaint(style_, value);
}
void TLuTrackBar::SetOptions(TLuTrackBarOptions value) {
  StoreAndRepaint(options_, value);
}
void TLuTrackBar::SetFrequency(int value) {
  StoreAndRepaint(frequency_, value);
}
void TLuTrackBar::SetBorderWidth(int value) {
  StoreAndRepaint(border_width_, value);
}
void TLuTrackBar::SetGutterWidth(int value) {
  StoreAndRepaint(gutter_width_, value);
}
void TLuTrackBar::SetGutterColor(TColor value) {
  StoreAndRepaint(gutter_color_, value);
}
void TLuTrackBar::SetTickMarks(TLuTickMarks value) {
  StoreAndRepaint(tick_marks_, value);
}
void TLuTrackBar::SetTickColor(TColor value) {
  StoreAndRepaint(tick_color_, value);
}
void TLuTrackBar::SetScaleOffset(int value) {
  StoreAndRepaint(scale_offset_, value);
}
void TLuTrackBar::SetFocusColor(TColor value) {
  StoreAndRepaint(focus_color_, value);
}
void TLuTrackBar::SetFocusOffset(int value) {
  StoreAndRepaint(focus_offset_, value);
}
void TLuTrackBar::SetBackImageIndex(int value) {
  StoreAndRepaint(back_image_index_, value);
}

void TLuTrackBar::SetThumbStates(int value) {
  value = std::clamp(value, 1, 4);
  if (value == thumb_states_)
    return;
  thumb_states_ = value;
  if (!Loading())
    LoadThumb();
  RepaintControl();
}

void TLuTrackBar::SetThumbImageIndex(int value) {
  if (value == thumb_image_index_)
    return;
  thumb_image_index_ = value;
  LoadThumb();
  RepaintControl();
}

void TLuTrackBar::SetBitmapList(TLuBitmapList* value) {
  if (value == bitmap_list_)
    return;
  if (bitmap_list_ != nullptr) {
    bitmap_list_->RemoveLink(list_link_);
    bitmap_list_->RemoveFreeNotification(this);
  }
  bitmap_list_ = value;
  if (bitmap_list_ != nullptr) {
    bitmap_list_->InsertLink(list_link_);
    bitmap_list_->FreeNotification(this);
  }
  LoadThumb();
  RepaintControl();
}

void TLuTrackBar::Notification(TComponent* component, TOperation operation) {
  TLuCustomImageControl::Notification(component, operation);
  if (operation == opRemove && component == bitmap_list_ && bitmap_list_ != nullptr) {
    bitmap_list_ = nullptr;
    LoadThumb();
    RepaintControl();
  }
}

void TLuTrackBar::Loaded() {
  TLuCustomImageControl::Loaded();
  LoadThumb();
}

void TLuTrackBar::BevelChanged(TObject* sender) {
  (void)sender;
  RepaintControl();
}

void TLuTrackBar::ListChanged(TObject* sender) {
  (void)sender;
  LoadThumb();
  RepaintControl();
}

void TLuTrackBar::LoadThumb() {
  TBitmap* source = nullptr;
  if (bitmap_list_ != nullptr)
    source = bitmap_list_->Bitmaps()->Items(thumb_image_index_);
  if (source != nullptr && !source->Empty()) {
    thumb_->Assign(source);
  } else {
    thumb_->LoadFromResourceName(Vertical() ? "LUTB_VERT" : "LUTB_HORI");
  }
  thumb_height_ = thumb_->Height();
  thumb_width_ = thumb_->Width() / thumb_states_;
  CenterThumb();
}

void TLuTrackBar::CenterThumb() {
  if (Vertical()) {
    thumb_rect_.Left = (Width() - thumb_width_) / 2;
  } else {
    thumb_rect_.Top = (Height() - thumb_height_) / 2;
  }
  thumb_rect_.Right = thumb_rect_.Left + thumb_width_;
  thumb_rect_.Bottom = thumb_rect_.Top + thumb_height_;
}

void TLuTrackBar::SetBounds(int left, int top, int width, int height) {
  TLuCustomImageControl::SetBounds(left, top, width, height);
  if (thumb_ != nullptr) {
    CenterThumb();
    RepaintControl();
  }
}

// ---------------------------------------------------------------------------
// Track geometry

TRect TLuTrackBar::TrackRect() const {
  return TRect(border_width_, border_width_, ClientWidth() - border_width_,
               ClientHeight() - border_width_);
}

int TLuTrackBar::TrackStart() const {
  const TRect track = TrackRect();
  return std::max(0, Vertical() ? track.Top : track.Left);
}

int TLuTrackBar::TrackLength() const {
  const TRect track = TrackRect();
  return Vertical() ? (track.Bottom - track.Top) - thumb_height_
                    : (track.Right - track.Left) - thumb_width_;
}

int TLuTrackBar::PositionToPixel(int value) const {
  const int range = max_value_ - min_value_;
  const int length = TrackLength();
  // A zero or inverted range has no scale: every value sits where
  // MinValue does.
  const int offset =
      range <= 0 ? 0 : Rounded(static_cast<double>(length) * (value - min_value_) / range);
  const int start = TrackStart();
  const TRect track = TrackRect();
  if (Vertical() && style_ == TLuProgressStyle::psBottomLeft) {
    return (track.Top + track.Bottom) - (start + offset) - thumb_height_;
  }
  if (!Vertical() && style_ == TLuProgressStyle::psTopRight) {
    return (track.Left + track.Right) - (start + offset) - thumb_width_;
  }
  return start + offset;
}

int TLuTrackBar::PixelToPosition(int pixel) const {
  const int range = max_value_ - min_value_;
  const int length = TrackLength();
  if (range <= 0 || length <= 0)
    return min_value_;
  if (Vertical())
    pixel = Height() - pixel - thumb_height_;
  int value = Rounded(static_cast<double>(pixel - TrackStart()) * range / length);
  if ((options_ & toFixedPoints) != 0) {
    const int step = std::max(1, frequency_);
    value = Rounded(static_cast<double>(value) / step) * step;
  }
  return std::min(std::max(value, 0) + min_value_, max_value_);
}

void TLuTrackBar::SetPositionFromPixel(int pixel) {
  const int start = TrackStart();
  const int end = start + std::max(0, TrackLength());
  auto mirrored = [this](int p) {
    const int v = PixelToPosition(p);
    return style_ == TLuProgressStyle::psTopRight ? max_value_ - v + min_value_ : v;
  };
  pixel = std::clamp(pixel, start, end);
  if ((options_ & toFixedPoints) != 0) {
    pixel = std::clamp(PositionToPixel(mirrored(pixel)), start, end);
  }
  SetPosition(mirrored(pixel));
}

int TLuTrackBar::TickStep() const {
  const int range = max_value_ - min_value_;
  const int length = TrackLength();
  const int frequency = std::max(1, frequency_);
  if (range <= 0)
    return std::max(1, range);
  // Grow the step until the ticks stand at least 4 pixels apart. The
  // number of intervals falls to 0 once k x frequency exceeds twice the
  // range, so the search ends; at 0 the whole range is one interval.
  for (int k = 1;; ++k) {
    const int step = k * frequency;
    const int intervals = Rounded(static_cast<double>(range) / step);
    if (intervals <= 0)
      return range;
    if (length / intervals >= 4)
      return step;
  }
}

int TLuTrackBar::ThumbFrame() const {
  int frame;
  if (hot_ && !dragging_) {
    frame = 3;
  } else if (dragging_) {
    frame = 2;
  } else {
    frame = Enabled() ? 0 : 1;
  }
  return frame > thumb_states_ - 1 ? 0 : frame;
}

// ---------------------------------------------------------------------------
// Painting

void TLuTrackBar::DrawTicks(TCanvas* canvas, const TRect& gutter) {
  const bool first_side =
      tick_marks_ == TLuTickMarks::tmBoth || tick_marks_ == TLuTickMarks::tmTopLeft;
  const bool second_side =
      tick_marks_ == TLuTickMarks::tmBoth || tick_marks_ == TLuTickMarks::tmBottomRight;
  if (!first_side && !second_side)
    return;
  TPen* pen = canvas->Pen();
  pen->SetColor(tick_color_);
  pen->SetWidth(1);
  const int half_thumb = (Vertical() ? thumb_height_ : thumb_width_) / 2;
  auto tick = [&](int value, int size) {
    const int at = PositionToPixel(value) + half_thumb;
    if (Vertical()) {
      if (first_side) {
        canvas->MoveTo(gutter.Left - scale_offset_, at);
        canvas->LineTo(gutter.Left - scale_offset_ - size, at);
      }
      if (second_side) {
        canvas->MoveTo(gutter.Right - 1 + scale_offset_, at);
        canvas->LineTo(gutter.Right - 1 + scale_offset_ + size, at);
      }
    } else {
      if (first_side) {
        canvas->MoveTo(at, gutter.Top - scale_offset_);
        canvas->LineTo(at, gutter.Top - scale_offset_ - size);
      }
      if (second_side) {
        canvas->MoveTo(at, gutter.Bottom - 1 + scale_offset_);
        canvas->LineTo(at, gutter.Bottom - 1 + scale_offset_ + size);
      }
    }
  };
  const int step = TickStep();
  tick(min_value_, 4);
  for (int64_t v = int64_t{min_value_} + step; v < max_value_; v += step) {
    tick(static_cast<int>(v), 3);
  }
  if (max_value_ != min_value_)
    tick(max_value_, 4);
}

void TLuTrackBar::DrawImage(TCanvas* canvas) {
  const int width = ClientWidth();
  const int height = ClientHeight();
  // 1. Background.
  TBitmap* back =
      bitmap_list_ != nullptr ? bitmap_list_->Bitmaps()->Items(back_image_index_) : nullptr;
  if (back != nullptr && !back->Empty()) {
    canvas->StretchDraw(TRect(0, 0, width, height), back);
  } else {
    canvas->Brush()->SetStyle(bsSolid);
    canvas->Brush()->SetColor(Color());
    canvas->FillRect(TRect(0, 0, width, height));
  }
  // 2. Gutter.
  TRect gutter = Vertical()
                     ? TRect((width - gutter_width_) / 2, border_width_,
                             (width - gutter_width_) / 2 + gutter_width_, height - border_width_)
                     : TRect(border_width_, (height - gutter_width_) / 2, width - border_width_,
                             (height - gutter_width_) / 2 + gutter_width_);
  // 3. Ticks.
  DrawTicks(canvas, gutter);
  // 4. Bevel and fill.
  if (gutter_bevel_->Visible()) {
    gutter_bevel_->Paint(canvas, gutter);
    canvas->Brush()->SetStyle(bsSolid);
    canvas->Brush()->SetColor(gutter_color_);
    canvas->FillRect(gutter);
  }
  // 5. Focus frame.
  if (focused_ && focus_offset_ >= 0) {
    canvas->Brush()->SetColor(focus_color_);
    canvas->FrameRect(
        TRect(focus_offset_, focus_offset_, width - focus_offset_, height - focus_offset_));
  }
  // 6. Thumb.
  const int pixel = PositionToPixel(position_);
  if (Vertical()) {
    thumb_rect_.Top = pixel;
    thumb_rect_.Bottom = pixel + thumb_height_;
  } else {
    thumb_rect_.Left = pixel;
    thumb_rect_.Right = pixel + thumb_width_;
  }
  if (thumb_width_ <= 0 || thumb_height_ <= 0)
    return;
  const TRect source(ThumbFrame() * thumb_width_, 0, ThumbFrame() * thumb_width_ + thumb_width_,
                     thumb_height_);
  // The strip's transparent colour shows the control's colour with
  // toThumbOpaque, and what is drawn beneath (background, gutter) without.
  if ((options_ & toThumbOpaque) != 0) {
    canvas->Brush()->SetStyle(bsSolid);
    canvas->Brush()->SetColor(Color());
    canvas->FillRect(thumb_rect_);
  }
  canvas->BrushCopy(thumb_rect_, thumb_, source, thumb_->TransparentColor());
}

// ---------------------------------------------------------------------------
// Input

void TLuTrackBar::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  TLuCustomImageControl::MouseDown(button, shift, x, y);
  if (button != mbLeft)
    return;
  if (TabStop() && CanFocus())
    SetFocus();
  const int along = Vertical() ? y : x;
  if (thumb_rect_.Contains(TPoint{x, y})) {
    dragging_ = true;
    grab_offset_ = along - (Vertical() ? thumb_rect_.Top : thumb_rect_.Left);
    RepaintControl();
  } else if ((options_ & toActiveClick) != 0) {
    SetPositionFromPixel(along - (Vertical() ? thumb_height_ : thumb_width_) / 2);
  }
}

void TLuTrackBar::MouseMove(TShiftState shift, int x, int y) {
  TLuCustomImageControl::MouseMove(shift, x, y);
  if (dragging_) {
    if ((options_ & toMouseClip) != 0) {
      x = std::clamp(x, 0, std::max(0, ClientWidth() - 1));
      y = std::clamp(y, 0, std::max(0, ClientHeight() - 1));
    }
    SetPositionFromPixel((Vertical() ? y : x) - grab_offset_);
  } else {
    const bool over = thumb_rect_.Contains(TPoint{x, y});
    if (over != hot_) {
      hot_ = over;
      RepaintControl();
    }
  }
  const bool hand = (options_ & toHandPoint) != 0 && thumb_rect_.Contains(TPoint{x, y});
  SetCursor(hand ? kLuHandPointCursor : crDefault);
}

void TLuTrackBar::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  TLuCustomImageControl::MouseUp(button, shift, x, y);
  if (button != mbLeft || !dragging_)
    return;
  dragging_ = false;
  RepaintControl();
}

void TLuTrackBar::KeyDown(uint16_t& key, TShiftState shift) {
  TLuCustomImageControl::KeyDown(key, shift);
  if (!shift.Empty())
    return;
  const int sign = style_ == TLuProgressStyle::psTopRight ? -1 : 1;
  switch (key) {
    case VK_HOME:
      SetPosition(max_value_);
      break;
    case VK_END:
      SetPosition(min_value_);
      break;
    case VK_LEFT:
      if (!Vertical())
        SetPosition(position_ - sign * frequency_);
      break;
    case VK_RIGHT:
      if (!Vertical())
        SetPosition(position_ + sign * frequency_);
      break;
    case VK_UP:
      if (Vertical())
        SetPosition(position_ + sign * frequency_);
      break;
    case VK_DOWN:
      if (Vertical())
        SetPosition(position_ - sign * frequency_);
      break;
    default:
      break;
  }
}

void TLuTrackBar::DoEnter() {
  TLuCustomImageControl::DoEnter();
  focused_ = true;
  RepaintControl();
}

void TLuTrackBar::DoExit() {
  TLuCustomImageControl::DoExit();
  focused_ = false;
  RepaintControl();
}

void TLuTrackBar::CMEnabledChanged() {
  TLuCustomImageControl::CMEnabledChanged();
  RepaintControl();
}

void RegisterTrackBarClass() {
  RegisterClass<TLuTrackBar>()
      .String("Version", &TLuTrackBar::Version, &TLuTrackBar::Version, "1.3")
      .Integer("MinValue", &TLuTrackBar::MinValue, &TLuTrackBar::SetMinValue, 0)
      .Integer("MaxValue", &TLuTrackBar::MaxValue, &TLuTrackBar::SetMaxValue, 100)
      .Integer("Position", &TLuTrackBar::Position, &TLuTrackBar::SetPosition, 0)
      .Enum("Orientation", &TLuTrackBar::Orientation, &TLuTrackBar::SetOrientation,
            {"voVertical", "voHorizontal"}, TLuOrientation::voHorizontal)
      .Enum("Style", &TLuTrackBar::Style, &TLuTrackBar::SetStyle, {"psBottomLeft", "psTopRight"},
            TLuProgressStyle::psBottomLeft)
      .Set("Options", &TLuTrackBar::Options, &TLuTrackBar::SetOptions,
           {"toActiveClick", "toMouseClip", "toHandPoint", "toFixedPoints", "toThumbOpaque"},
           toActiveClick | toMouseClip | toHandPoint | toThumbOpaque)
      .Integer("Frequency", &TLuTrackBar::Frequency, &TLuTrackBar::SetFrequency, 10)
      .Integer("BorderWidth", &TLuTrackBar::BorderWidth, &TLuTrackBar::SetBorderWidth, 10)
      .Object("GutterBevel", &TLuTrackBar::GutterBevel)
      .Integer("GutterWidth", &TLuTrackBar::GutterWidth, &TLuTrackBar::SetGutterWidth, 9)
      .MappedInteger("GutterColor", &TLuTrackBar::GutterColor, &TLuTrackBar::SetGutterColor,
                     kColorIdents, clBlack)
      .MappedInteger("TickColor", &TLuTrackBar::TickColor, &TLuTrackBar::SetTickColor, kColorIdents,
                     clBlack)
      .MappedInteger("FocusColor", &TLuTrackBar::FocusColor, &TLuTrackBar::SetFocusColor,
                     kColorIdents, clBlack)
      .Enum("TickMarks", &TLuTrackBar::TickMarks, &TLuTrackBar::SetTickMarks,
            {"tmNone", "tmBoth", "tmBottomRight", "tmTopLeft"}, TLuTickMarks::tmBoth)
      .Integer("ScaleOffset", &TLuTrackBar::ScaleOffset, &TLuTrackBar::SetScaleOffset, 5)
      .Integer("FocusOffset", &TLuTrackBar::FocusOffset, &TLuTrackBar::SetFocusOffset, 0)
      .Integer("ThumbStates", &TLuTrackBar::ThumbStates, &TLuTrackBar::SetThumbStates, 1)
      .Integer("BackImageIndex", &TLuTrackBar::BackImageIndex, &TLuTrackBar::SetBackImageIndex, -1)
      .Integer("ThumbImageIndex", &TLuTrackBar::ThumbImageIndex, &TLuTrackBar::SetThumbImageIndex,
               -1)
      .Component("BitmapList", &TLuTrackBar::BitmapList, &TLuTrackBar::SetBitmapList)
      .Event("OnChange", &TLuTrackBar::OnChange, &TLuTrackBar::OnChange);
}
