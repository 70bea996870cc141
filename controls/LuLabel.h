// The rotated label: a non-windowed label that draws its caption at any
// angle from 0 to 359 degrees, plain, raised, lowered or with a drop shadow,
// optionally filled with a bitmap texture, on an opaque or transparent
// background (TLuGraphicImageControl does the transparency).
//
// The text runs from TextOrigin at the angle (counter-clockwise, as the
// canvas turns escaped text). With AutoSize, an angle, font or caption
// change resizes the control to the turned text's box plus 4 pixels.
//
// Threads: main thread only.
#pragma once

#include "controls/LuControlBases.h"
#include "platform/forms/StdCtrls.h"

enum class TLuLabelStyle { lsNone, lsRaised, lsLowered, lsShadow };

class TLuLabel : public TLuGraphicImageControl {
  KESTRUNE_CLASS(TLuLabel, TLuGraphicImageControl)
  explicit TLuLabel(TComponent* owner);
  ~TLuLabel() override;

  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment value);
  TTextLayout Layout() const { return layout_; }
  void SetLayout(TTextLayout value);
  TColor ColorHighlight() const { return color_highlight_; }
  void SetColorHighlight(TColor value);
  TColor ColorShadow() const { return color_shadow_; }
  void SetColorShadow(TColor value);
  TLuLabelStyle Style() const { return style_; }
  void SetStyle(TLuLabelStyle value);
  int ShadowDepth() const { return shadow_depth_; }
  void SetShadowDepth(int value);
  // The texture, owned by the label; a change to it repaints.
  TBitmap* Bitmap() const { return bitmap_; }
  // Copies the assigned bitmap.
  void SetBitmap(TBitmap* value) { bitmap_->Assign(value); }
  int Angle() const { return angle_; }
  // 0..359 (other values are brought into the range); a changed angle runs
  // the size adjustment, which repaints.
  void SetAngle(int value);
  bool GetTransparent() const { return Transparent(); }
  void SetAutoSize(bool value) override;

  // Where the text output starts, for the current caption, font, angle and
  // client size.
  TPoint TextOrigin();

 protected:
  void DrawImage(TCanvas* canvas) override;
  void CMFontChanged() override;
  void CMTextChanged() override;

 private:
  void AdjustBounds();
  void MeasureCaption(TCanvas* canvas);
  void BitmapChanged(TObject* sender);
  template <class V>
  void StoreAndRepaint(V& field, V value);

  TAlignment alignment_ = taCenter;
  TTextLayout layout_ = tlCenter;
  TColor color_highlight_ = clWhite;
  TColor color_shadow_ = clGray;
  TLuLabelStyle style_ = TLuLabelStyle::lsRaised;
  int shadow_depth_ = 2;
  TBitmap* bitmap_ = nullptr;
  int angle_ = 0;
  double radians_ = 0;
  int text_width_ = 0;
  int text_height_ = 0;
};

void RegisterLuLabelClass();
