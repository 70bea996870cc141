#include "controls/LuLabel.h"

#include <cmath>

#include "controls/LuUtils.h"
#include "platform/classes/TypInfo.h"

namespace {
constexpr double kDegreesToRadians = 0.017453292519943295;
int TruncInt(double v) {
  return static_cast<int>(std::trunc(v));
}
}  // namespace

TLuLabel::TLuLabel(TComponent* owner) : TLuGraphicImageControl(owner) {
  bitmap_ = Create<TBitmap>();
  bitmap_->OnChange = TNotifyEvent(this, &TLuLabel::BitmapChanged);
  SetColor(clBtnFace);
  Font()->SetName("Arial");
  Font()->SetSize(14);
  TLuGraphicImageControl::SetBounds(Left(), Top(), 100, 25);
}

TLuLabel::~TLuLabel() {
  FreeAndNil(bitmap_);
}

template <class V>
void TLuLabel::StoreAndRepaint(V& field, V value) {
  if (field == value)
    return;
  field = value;
  RepaintControl();
}

void TLuLabel::SetAlignment(TAlignment value) {
  StoreAndRepaint(alignment_, value);
}
void TLuLabel::SetLayout(TTextLayout value) {
  StoreAndRepaint(layout_, value);
}
void TLuLabel::SetColorHighlight(TColor value) {
  StoreAndRepaint(color_highlight_, value);
}
void TLuLabel::SetColorShadow(TColor value) {
  StoreAndRepaint(color_shadow_, value);
}
void TLuLabel::SetStyle(TLuLabelStyle value) {
  StoreAndRepaint(style_, value);
}
void TLuLabel::SetShadowDepth(int value) {
  StoreAndRepaint(shadow_depth_, value);
}

void TLuLabel::BitmapChanged(TObject* sender) {
  (void)sender;
  RepaintControl();
}

void TLuLabel::SetAngle(int value) {
  value = ((value % 360) + 360) % 360;
  if (value == angle_)
    return;
  angle_ = value;
  radians_ = angle_ * kDegreesToRadians;
  AdjustBounds();
}

void TLuLabel::SetAutoSize(bool value) {
  TLuGraphicImageControl::SetAutoSize(value);
  AdjustBounds();
}

void TLuLabel::CMFontChanged() {
  TLuGraphicImageControl::CMFontChanged();
  AdjustBounds();
}

void TLuLabel::CMTextChanged() {
  TLuGraphicImageControl::CMTextChanged();
  AdjustBounds();
}

void TLuLabel::MeasureCaption(TCanvas* canvas) {
  canvas->Font()->Assign(Font());
  canvas->Font()->SetEscapement(0);
  const TSize size = LuUtils::TextSize(canvas, Caption());
  text_width_ = size.cx;
  text_height_ = size.cy;
}

void TLuLabel::AdjustBounds() {
  if (AutoSize() && !Loading()) {
    MeasureCaption(Image()->Canvas());
    const double c = std::fabs(std::cos(radians_));
    const double s = std::fabs(std::sin(radians_));
    int width = Width();
    int height = Height();
    const TAlign align = Align();
    if (align == alNone || align == alLeft || align == alRight) {
      width = TruncInt(c * text_width_ + s * text_height_) + 4;
    }
    if (align == alNone || align == alTop || align == alBottom) {
      height = TruncInt(c * text_height_ + s * text_width_) + 4;
    }
    if (width != Width() || height != Height())
      SetBounds(Left(), Top(), width, height);
  }
  RepaintControl();
}

TPoint TLuLabel::TextOrigin() {
  MeasureCaption(Image()->Canvas());
  const double w = text_width_;
  const double h = text_height_;
  const double cs = std::cos(radians_);
  const double sn = std::sin(radians_);
  const double c = std::fabs(cs);
  const double s = std::fabs(sn);
  const int width = ClientWidth();
  const int height = ClientHeight();

  // The text turns about its start: these terms move the start so that the
  // turned box stays right of x0 and below y0.
  const int x_quadrant =
      (angle_ >= 91 && angle_ < 270 ? TruncInt(c * w) : 0) + (angle_ > 180 ? TruncInt(s * h) : 0);
  const int y_quadrant =
      (angle_ < 180 ? TruncInt(s * w) : 0) + (angle_ >= 91 && angle_ < 270 ? TruncInt(c * h) : 0);
  const int x0 = 2 + x_quadrant;
  int x = x0;
  switch (alignment_) {
    case taLeftJustify:
      x = x0;
      break;
    case taRightJustify:
      x = width - (TruncInt(c * w + s * h) + 2) + x_quadrant;
      break;
    case taCenter:
      x = TruncInt(width / 2.0 - cs * w / 2 - sn * h / 2);
      break;
  }
  x = std::max(x0, x);
  int y = 2;
  switch (layout_) {
    case tlTop:
      y = 2 + y_quadrant;
      break;
    case tlCenter:
      y = TruncInt(height / 2.0 - cs * h / 2 + sn * w / 2);
      break;
    case tlBottom:
      y = height - (TruncInt(c * h + s * w) + 2) + y_quadrant;
      break;
  }
  return TPoint{x, y};
}

void TLuLabel::DrawImage(TCanvas* canvas) {
  const TPoint origin = TextOrigin();  // measures with the label's font
  const int x = origin.X;
  const int y = origin.Y;
  canvas->Font()->Assign(Font());
  LuUtils::SetCanvasTextAngle(canvas, angle_);
  const std::string& text = Caption();
  switch (style_) {
    case TLuLabelStyle::lsNone:
      if (Transparent()) {
        canvas->Brush()->SetStyle(bsClear);
      } else {
        canvas->Brush()->SetStyle(bsSolid);
        canvas->Brush()->SetColor(Color());
      }
      canvas->TextOut(x, y, text);
      break;
    case TLuLabelStyle::lsRaised:
      LuUtils::DrawRaisedText(canvas, x, y, text, color_shadow_, color_highlight_);
      break;
    case TLuLabelStyle::lsLowered:
      LuUtils::DrawRaisedText(canvas, x, y, text, color_highlight_, color_shadow_);
      break;
    case TLuLabelStyle::lsShadow:
      LuUtils::DrawShadowText(canvas, x, y, shadow_depth_, shadow_depth_, text, color_shadow_);
      break;
  }
  if (!bitmap_->Empty()) {
    LuUtils::DrawBitmapText(canvas, TRect{0, 0, ClientWidth(), ClientHeight()}, x, y, angle_,
                            bitmap_, text);
  }
}

void RegisterLuLabelClass() {
  RegisterClass<TLuLabel>()
      .String("Version", &TLuLabel::Version, &TLuLabel::Version, "1.3")
      .Enum("Alignment", &TLuLabel::Alignment, &TLuLabel::SetAlignment,
            {"taLeftJustify", "taRightJustify", "taCenter"}, taCenter)
      .Enum("Layout", &TLuLabel::Layout, &TLuLabel::SetLayout, {"tlTop", "tlCenter", "tlBottom"},
            tlCenter)
      .MappedInteger("ColorHighlight", &TLuLabel::ColorHighlight, &TLuLabel::SetColorHighlight,
                     kColorIdents, clWhite)
      .MappedInteger("ColorShadow", &TLuLabel::ColorShadow, &TLuLabel::SetColorShadow, kColorIdents,
                     clGray)
      .Enum("Style", &TLuLabel::Style, &TLuLabel::SetStyle,
            {"lsNone", "lsRaised", "lsLowered", "lsShadow"}, TLuLabelStyle::lsRaised)
      .Integer("ShadowDepth", &TLuLabel::ShadowDepth, &TLuLabel::SetShadowDepth, 2)
      .Integer("Angle", &TLuLabel::Angle, &TLuLabel::SetAngle, 0)
      .Bool("Transparent", &TLuLabel::GetTransparent, &TLuLabel::SetTransparent, false);
}
