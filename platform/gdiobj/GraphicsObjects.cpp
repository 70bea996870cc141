#include "platform/gdiobj/GraphicsObjects.h"

#include <cmath>

void TGraphicsObject::Changed() {
  if (OnChange.Assigned())
    OnChange(this);
}

// ---------------------------------------------------------------------------
// TFont

void TFont::Assign(TPersistent* source) {
  auto* other = dynamic_cast<TFont*>(source);
  if (other == nullptr) {
    inherited::Assign(source);
    return;
  }
  name_ = other->name_;
  height_ = other->height_;
  style_ = other->style_;
  color_ = other->color_;
  pitch_ = other->pitch_;
  escapement_ = other->escapement_;
  Changed();
}

void TFont::SetName(const std::string& name) {
  if (name.empty() || name == name_)
    return;  // an empty face name is refused: the face stays
  name_ = name;
  Changed();
}

void TFont::SetHeight(int height) {
  if (height == height_)
    return;
  height_ = height;
  Changed();
}

int TFont::Size() const {
  // -Height * 72 / 96, rounded half away from zero as an integer MulDiv.
  const int64_t n = -static_cast<int64_t>(height_) * 72;
  const int64_t q = (std::llabs(n) * 2 + PixelsPerInch) / (2 * PixelsPerInch);
  return static_cast<int>(n < 0 ? -q : q);
}

void TFont::SetSize(int points) {
  const int64_t n = static_cast<int64_t>(points) * PixelsPerInch;
  const int64_t q = (std::llabs(n) * 2 + 72) / (2 * 72);
  SetHeight(static_cast<int>(n < 0 ? q : -q));
}

void TFont::SetStyle(TFontStyles style) {
  style &= 0x0F;
  if (style == style_)
    return;
  style_ = style;
  Changed();
}

void TFont::SetColor(TColor color) {
  if (color == color_)
    return;
  color_ = color;
  Changed();
}

void TFont::SetPitch(TFontPitch pitch) {
  if (pitch == pitch_)
    return;
  pitch_ = pitch;
  Changed();
}

void TFont::SetEscapement(int tenths) {
  if (tenths == escapement_)
    return;
  escapement_ = tenths;
  Changed();
}

void TFont::RegisterProperties() {
  RegisterClass<TFont>()
      .MappedInteger("Color", &TFont::Color, &TFont::SetColor, kColorIdents)
      .Integer("Height", &TFont::Height, &TFont::SetHeight)
      .String("Name", &TFont::Name, &TFont::SetName)
      .Enum("Pitch", &TFont::Pitch, &TFont::SetPitch, FontPitchNames(), fpDefault)
      .Set("Style", &TFont::Style, &TFont::SetStyle, FontStyleNames(), 0);
}

// ---------------------------------------------------------------------------
// TPen

uint32_t ApplyPenMode(TPenMode mode, uint32_t p, uint32_t d) {
  uint32_t r = 0;
  switch (mode) {
    case pmBlack:
      r = 0;
      break;
    case pmWhite:
      r = ~0u;
      break;
    case pmNop:
      r = d;
      break;
    case pmNot:
      r = ~d;
      break;
    case pmCopy:
      r = p;
      break;
    case pmNotCopy:
      r = ~p;
      break;
    case pmMergePenNot:
      r = p | ~d;
      break;
    case pmMaskPenNot:
      r = p & ~d;
      break;
    case pmMergeNotPen:
      r = ~p | d;
      break;
    case pmMaskNotPen:
      r = ~p & d;
      break;
    case pmMerge:
      r = p | d;
      break;
    case pmNotMerge:
      r = ~(p | d);
      break;
    case pmMask:
      r = p & d;
      break;
    case pmNotMask:
      r = ~(p & d);
      break;
    case pmXor:
      r = p ^ d;
      break;
    case pmNotXor:
      r = ~(p ^ d);
      break;
  }
  return r & 0x00FFFFFFu;
}

void TPen::Assign(TPersistent* source) {
  auto* other = dynamic_cast<TPen*>(source);
  if (other == nullptr) {
    inherited::Assign(source);
    return;
  }
  color_ = other->color_;
  width_ = other->width_;
  style_ = other->style_;
  mode_ = other->mode_;
  Changed();
}

void TPen::SetColor(TColor color) {
  if (color == color_)
    return;
  color_ = color;
  Changed();
}

void TPen::SetWidth(int width) {
  if (width < 1)
    width = 1;  // repaired: a pen is at least one pixel wide
  if (width == width_)
    return;
  width_ = width;
  Changed();
}

void TPen::SetStyle(TPenStyle style) {
  if (style == style_)
    return;
  style_ = style;
  Changed();
}

void TPen::SetMode(TPenMode mode) {
  if (mode == mode_)
    return;
  mode_ = mode;
  Changed();
}

void TPen::RegisterProperties() {
  RegisterClass<TPen>()
      .MappedInteger("Color", &TPen::Color, &TPen::SetColor, kColorIdents, clBlack)
      .Enum("Mode", &TPen::Mode, &TPen::SetMode, PenModeNames(), pmCopy)
      .Enum("Style", &TPen::Style, &TPen::SetStyle, PenStyleNames(), psSolid)
      .Integer("Width", &TPen::Width, &TPen::SetWidth, 1);
}

// ---------------------------------------------------------------------------
// TBrush

void TBrush::Assign(TPersistent* source) {
  auto* other = dynamic_cast<TBrush*>(source);
  if (other == nullptr) {
    inherited::Assign(source);
    return;
  }
  color_ = other->color_;
  style_ = other->style_;
  bitmap_ = other->bitmap_;
  Changed();
}

void TBrush::SetColor(TColor color) {
  if (color == color_)
    return;
  color_ = color;
  Changed();
}

void TBrush::SetStyle(TBrushStyle style) {
  if (style == style_)
    return;
  style_ = style;
  Changed();
}

void TBrush::SetBitmap(TBitmap* bitmap) {
  if (bitmap == bitmap_)
    return;
  bitmap_ = bitmap;
  if (bitmap_ != nullptr)
    style_ = bsSolid;
  Changed();
}

void TBrush::RegisterProperties() {
  RegisterClass<TBrush>()
      .MappedInteger("Color", &TBrush::Color, &TBrush::SetColor, kColorIdents, clWhite)
      .Enum("Style", &TBrush::Style, &TBrush::SetStyle, BrushStyleNames(), bsSolid);
}

// ---------------------------------------------------------------------------
// Name tables

const TNameTable& PenStyleNames() {
  static const TNameTable names{"psSolid",      "psDash",  "psDot",        "psDashDot",
                                "psDashDotDot", "psClear", "psInsideFrame"};
  return names;
}

const TNameTable& PenModeNames() {
  static const TNameTable names{"pmBlack",       "pmWhite",      "pmNop",         "pmNot",
                                "pmCopy",        "pmNotCopy",    "pmMergePenNot", "pmMaskPenNot",
                                "pmMergeNotPen", "pmMaskNotPen", "pmMerge",       "pmNotMerge",
                                "pmMask",        "pmNotMask",    "pmXor",         "pmNotXor"};
  return names;
}

const TNameTable& BrushStyleNames() {
  static const TNameTable names{"bsSolid",     "bsClear",     "bsHorizontal", "bsVertical",
                                "bsFDiagonal", "bsBDiagonal", "bsCross",      "bsDiagCross"};
  return names;
}

const TNameTable& FontStyleNames() {
  static const TNameTable names{"fsBold", "fsItalic", "fsUnderline", "fsStrikeOut"};
  return names;
}

const TNameTable& FontPitchNames() {
  static const TNameTable names{"fpDefault", "fpVariable", "fpFixed"};
  return names;
}

// ---------------------------------------------------------------------------
// The unit

TUnit GraphicsUnit(
    "Graphics",
    [] {
      RegisterGraphicsIdents();
      TFont::RegisterProperties();
      TPen::RegisterProperties();
      TBrush::RegisterProperties();
    },
    nullptr);
