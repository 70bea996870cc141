// Font, pen and brush: the drawing attributes a canvas draws with.
//
// Each is plain state (no Qt) with an OnChange event fired after every
// change of value; setters given the value they hold do nothing. Assign
// copies every attribute from another object of the same class (and fires
// OnChange once); OnChange itself is not copied. A canvas owns one of each and
// reads them at every drawing call. Made with Create<T>() and released with
// Free() like every persistent object.
//
// Threads: one thread at a time (the main thread for anything on screen).
#pragma once

#include <cstdint>
#include <string>

#include "platform/classes/Classes.h"
#include "platform/classes/TypInfo.h"
#include "platform/classes/Units.h"
#include "platform/gdiobj/Colors.h"

using TNotifyEvent = TMethod<void(TObject*)>;

class TBitmap;

// The base of font, pen and brush: the change event.
class TGraphicsObject : public TPersistent {
  KESTRUNE_CLASS(TGraphicsObject, TPersistent)
  TNotifyEvent OnChange;

 protected:
  TGraphicsObject() = default;
  // Fires OnChange.
  virtual void Changed();
};

// Font styles: a bit mask of these.
enum TFontStyle : uint8_t { fsBold, fsItalic, fsUnderline, fsStrikeOut };
using TFontStyles = uint8_t;  // bit (1 << fsBold) etc.
constexpr TFontStyles FontStyleBit(TFontStyle s) {
  return static_cast<TFontStyles>(1u << s);
}

enum TFontPitch : uint8_t { fpDefault, fpVariable, fpFixed };

// A text face. Its size is kept as GDI keeps it, as a height in pixels at 96
// pixels per inch: a negative height is the em height (the character height
// without internal leading), a positive one the cell height (ascent +
// descent); Size in points is -Height * 72 / 96 rounded, and setting Size
// sets Height = -round(Size * 96 / 72). The escapement, in tenths of a
// degree, turns the text counter-clockwise about the top-left of its cell.
// Defaults: "MS Sans Serif", height -11 (8 points), no style, window text
// colour (black), default pitch, no escapement.
class TFont : public TGraphicsObject {
  KESTRUNE_CLASS(TFont, TGraphicsObject)
  TFont() = default;
  void Assign(TPersistent* source) override;

  const std::string& Name() const { return name_; }
  void SetName(const std::string& name);
  int Height() const { return height_; }
  void SetHeight(int height);
  int Size() const;
  void SetSize(int points);
  TFontStyles Style() const { return style_; }
  void SetStyle(TFontStyles style);
  bool HasStyle(TFontStyle s) const { return (style_ & FontStyleBit(s)) != 0; }
  TColor Color() const { return color_; }
  void SetColor(TColor color);
  TFontPitch Pitch() const { return pitch_; }
  void SetPitch(TFontPitch pitch);
  // Tenths of a degree, counter-clockwise; any value (taken modulo 3600
  // when drawing).
  int Escapement() const { return escapement_; }
  void SetEscapement(int tenths);
  // Pixels per inch the height refers to: always 96 here.
  static constexpr int PixelsPerInch = 96;

  // Registers the published properties (Name, Height, Size is derived and
  // not stored, Style, Color, Pitch) for stored descriptions.
  static void RegisterProperties();

 private:
  std::string name_ = "MS Sans Serif";
  int height_ = -11;
  TFontStyles style_ = 0;
  TColor color_ = clWindowText;
  TFontPitch pitch_ = fpDefault;
  int escapement_ = 0;
};

// The seven pen styles. psDot draws alternate pixels (on, off, on...) along
// a line, counted from its start; the dash styles draw our own dash
// patterns; psClear draws nothing; psInsideFrame draws as psSolid but keeps
// a wide pen's rectangles and ellipses inside their box.
enum TPenStyle : uint8_t {
  psSolid,
  psDash,
  psDot,
  psDashDot,
  psDashDotDot,
  psClear,
  psInsideFrame
};

// The sixteen pen modes: every boolean function of the pen colour P and the
// destination pixel D, applied bit by bit to the RGB value (never to alpha).
enum TPenMode : uint8_t {
  pmBlack,        // 0
  pmWhite,        // 1
  pmNop,          // D
  pmNot,          // ~D
  pmCopy,         // P
  pmNotCopy,      // ~P
  pmMergePenNot,  // P | ~D
  pmMaskPenNot,   // P & ~D
  pmMergeNotPen,  // ~P | D
  pmMaskNotPen,   // ~P & D
  pmMerge,        // P | D
  pmNotMerge,     // ~(P | D)
  pmMask,         // P & D
  pmNotMask,      // ~(P & D)
  pmXor,          // P ^ D
  pmNotXor        // ~(P ^ D)
};

// Applies a pen mode to a pen colour and a destination, both 0x00RRGGBB (or
// 0x00BBGGRR: the operation is bitwise); the result keeps 24 bits.
uint32_t ApplyPenMode(TPenMode mode, uint32_t pen, uint32_t dest);

// A pen. Width is in pixels (values below 1 are repaired to 1); a width
// above 1 is a geometric pen: round ends and joins, centred on the width-1
// figure, drawn solid.
// Defaults: black, width 1, psSolid, pmCopy.
class TPen : public TGraphicsObject {
  KESTRUNE_CLASS(TPen, TGraphicsObject)
  TPen() = default;
  void Assign(TPersistent* source) override;

  TColor Color() const { return color_; }
  void SetColor(TColor color);
  int Width() const { return width_; }
  void SetWidth(int width);
  TPenStyle Style() const { return style_; }
  void SetStyle(TPenStyle style);
  TPenMode Mode() const { return mode_; }
  void SetMode(TPenMode mode);

  static void RegisterProperties();

 private:
  TColor color_ = clBlack;
  int width_ = 1;
  TPenStyle style_ = psSolid;
  TPenMode mode_ = pmCopy;
};

// Brush styles: solid, clear (fills nothing) and six hatches drawn in the
// brush colour over the background (the hatch lines are 8 pixels apart,
// aligned to the canvas origin).
enum TBrushStyle : uint8_t {
  bsSolid,
  bsClear,
  bsHorizontal,
  bsVertical,
  bsFDiagonal,
  bsBDiagonal,
  bsCross,
  bsDiagCross
};

// A brush. With a pattern bitmap set, fills tile the bitmap (aligned to the
// canvas origin) and Style is bsSolid. The bitmap is not owned: the caller
// keeps it alive while the brush uses it. Defaults: white, bsSolid, no bitmap.
class TBrush : public TGraphicsObject {
  KESTRUNE_CLASS(TBrush, TGraphicsObject)
  TBrush() = default;
  void Assign(TPersistent* source) override;

  TColor Color() const { return color_; }
  void SetColor(TColor color);
  TBrushStyle Style() const { return style_; }
  void SetStyle(TBrushStyle style);
  TBitmap* Bitmap() const { return bitmap_; }
  void SetBitmap(TBitmap* bitmap);

  static void RegisterProperties();

 private:
  TColor color_ = clWhite;
  TBrushStyle style_ = bsSolid;
  TBitmap* bitmap_ = nullptr;
};

// Our own name tables of the enumerations, in ordinal order.
const TNameTable& PenStyleNames();
const TNameTable& PenModeNames();
const TNameTable& BrushStyleNames();
const TNameTable& FontStyleNames();
const TNameTable& FontPitchNames();

// Start-up registers the colour and cursor name maps and the published
// properties of TFont, TPen and TBrush.
extern TUnit GraphicsUnit;
