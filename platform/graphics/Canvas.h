// The canvas: GDI's drawing rules on a QImage.
//
// A TCanvas draws into a target image (QImage, Format_RGB32) that it does not
// own: a bitmap's pixels (TBitmap::Canvas) or a control's back buffer. It
// draws as GDI does wherever pixels matter:
//  - a line covers its start point and leaves its end point out; a polyline
//    is a chain of such lines, so each joint is drawn once;
//  - Rectangle, FillRect, Ellipse, RoundRect and a polygon's fill cover their
//    box without its right and bottom edges: Rectangle(0, 0, 4, 3) touches
//    columns 0..3 and rows 0..2;
//  - polygons fill by the alternate (even-odd) rule, a pixel being inside
//    when its centre is;
//  - drawing is aliased; a pen of width w > 1 is centred on the width-1
//    figure (the box grows by w / 2, rounded down, on each side), with round
//    ends and joins, and covers a line's end point too; psInsideFrame keeps
//    a wide outline inside the box; wide pens draw solid whatever their
//    style;
//  - pen modes are raster operations on the 24 RGB bits (ApplyPenMode);
//  - psDot draws alternate pixels along each line, starting "on";
//  - DrawFocusRect inverts (XOR) alternate pixels of the frame, so drawing it
//    twice restores what was there.
// Ellipses and round rectangles have no documented exact outline: ours are
// symmetric about the box's centre and touch each side of the box.
// Coordinates are 32-bit and any value is accepted: figures are clipped in
// double (or 128-bit integers) before anything reaches Qt.
//
// Text: the font's face through the installed substitutes, aliased, measured
// with the face's ascent + descent as its height, laid out as the system's
// own text: hinted glyphs on the hinted font's whole-pixel advances, without
// kerning, so a text is as wide as the sum of its letters' TextWidth and is
// drawn exactly that wide. TextOut(x, y) places the top-left of the text's
// cell at (x, y); with a solid brush the cell is first filled with the brush
// colour (opaque), with bsClear only the glyphs are drawn. A font escapement
// turns the text counter-clockwise about (x, y).
//
// Device state as GDI keeps it: a clip region (device pixels), a window
// origin (logical (org.x, org.y) is device (0, 0)), the text and background
// colours used when a monochrome bitmap meets a colour one, a stack of saved
// states. 96 pixels per inch.
//
// Without a target (no image, or an image of size 0) drawing does nothing;
// measuring text still works. Text measuring and drawing need Qt's
// application object (QGuiApplication).
//
// Threads: a canvas is used by one thread at a time; text needs the thread
// of Qt's application object (the main thread).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/classes/Classes.h"
#include "platform/classes/Types.h"
#include "platform/gdiobj/GraphicsObjects.h"

class QImage;
class QRegion;
class TGraphic;
class TBitmap;

using DWORD = uint32_t;
using UINT = uint32_t;

// Raster operations of block transfers (source S, destination D).
inline constexpr DWORD SRCCOPY = 0x00CC0020;    // S
inline constexpr DWORD SRCINVERT = 0x00660046;  // S ^ D
inline constexpr DWORD SRCAND = 0x008800C6;     // S & D
inline constexpr DWORD SRCPAINT = 0x00EE0086;   // S | D

// A canvas's copy mode: the raster operation of CopyRect and Draw.
using TCopyMode = DWORD;
inline constexpr TCopyMode cmSrcCopy = SRCCOPY;
inline constexpr TCopyMode cmSrcInvert = SRCINVERT;
inline constexpr TCopyMode cmSrcAnd = SRCAND;
inline constexpr TCopyMode cmSrcPaint = SRCPAINT;

// A set of pixels made of rectangles: clip regions and paint regions. A
// value type; the empty region has no pixel.
class TRegion {
 public:
  TRegion();
  explicit TRegion(const TRect& rect);
  TRegion(const TRegion& other);
  TRegion& operator=(const TRegion& other);
  ~TRegion();

  bool IsEmpty() const;
  // The smallest rectangle holding every pixel (empty rectangle when empty).
  TRect BoundsRect() const;
  bool Contains(TPoint p) const;
  // Does the rectangle share a pixel with the region?
  bool Meets(const TRect& rect) const;
  void Unite(const TRect& rect);
  void Unite(const TRegion& other);
  void Intersect(const TRect& rect);
  void Intersect(const TRegion& other);
  void Exclude(const TRect& rect);
  void Offset(int dx, int dy);
  // Disjoint rectangles covering the region, top to bottom.
  std::vector<TRect> Rects() const;
  bool operator==(const TRegion& other) const;

  // For the graphics and forms layers.
  const QRegion& Qt() const;
  explicit TRegion(const QRegion& region);

 private:
  std::unique_ptr<QRegion> region_;
};

class TCanvas : public TPersistent {
  KESTRUNE_CLASS(TCanvas, TPersistent)
  TCanvas();
  // Draws into `target` (not owned; RGB32 or ARGB32_Premultiplied).
  explicit TCanvas(QImage* target);
  ~TCanvas() override;

  // Points the canvas at another image (or none). The clip, the window
  // origin and the saved states are reset; pen, brush and font stay.
  void SetTarget(QImage* target);
  QImage* Target() const { return target_; }
  // The target's size in device pixels (0 x 0 without one).
  int Width() const;
  int Height() const;

  TFont* Font() const { return font_; }
  TPen* Pen() const { return pen_; }
  TBrush* Brush() const { return brush_; }
  // Copy the attributes in (Assign); the canvas keeps its own objects.
  void SetFont(TFont* font);
  void SetPen(TPen* pen);
  void SetBrush(TBrush* brush);

  TPoint PenPos() const { return pen_pos_; }
  void SetPenPos(TPoint p) { pen_pos_ = p; }
  TCopyMode CopyMode() const { return copy_mode_; }
  void SetCopyMode(TCopyMode mode) { copy_mode_ = mode; }

  // Lines with the pen. LineTo draws from the pen position to (x, y), end
  // point excluded, and moves the pen position there.
  void MoveTo(int x, int y);
  void LineTo(int x, int y);
  // Lines through the points in order (the first point is the start, the
  // last one excluded); the pen position is left alone.
  void Polyline(const TPoint* points, int count);
  void Polyline(const std::vector<TPoint>& points) {
    Polyline(points.data(), static_cast<int>(points.size()));
  }
  // The closed polygon: filled with the brush (alternate rule), outlined
  // with the pen (every vertex drawn).
  void Polygon(const TPoint* points, int count);
  void Polygon(const std::vector<TPoint>& points) {
    Polygon(points.data(), static_cast<int>(points.size()));
  }

  // Filled with the brush and outlined with the pen, in the box
  // (x1, y1)-(x2, y2), right and bottom edges excluded. Corners may come in
  // any order.
  void Rectangle(int x1, int y1, int x2, int y2);
  void Rectangle(const TRect& r) { Rectangle(r.Left, r.Top, r.Right, r.Bottom); }
  void Ellipse(int x1, int y1, int x2, int y2);
  void Ellipse(const TRect& r) { Ellipse(r.Left, r.Top, r.Right, r.Bottom); }
  // Corners are quarters of an ellipse of cornerWidth x cornerHeight.
  void RoundRect(int x1, int y1, int x2, int y2, int cornerWidth, int cornerHeight);
  // The brush over the rectangle (no pen); an empty rectangle fills nothing.
  void FillRect(const TRect& r);
  // A one-pixel frame in the brush colour on the rectangle's inner edge.
  void FrameRect(const TRect& r);
  // The dotted XOR frame of a focused control (see the file comment).
  void DrawFocusRect(const TRect& r);

  // A pixel as TColor (0x00BBGGRR); -1 outside the target. Setting one
  // outside the target or the clip does nothing.
  TColor Pixel(int x, int y) const;
  void SetPixel(int x, int y, TColor color);

  // Text in the font (see the file comment).
  void TextOut(int x, int y, const std::string& text);
  // Text at (x, y) clipped to `rect`; with a solid brush `rect` is filled
  // first.
  void TextRect(const TRect& rect, int x, int y, const std::string& text);
  // Unrotated extent of one line of text: advance width, ascent + descent.
  TSize TextExtent(const std::string& text) const;
  int TextWidth(const std::string& text) const { return TextExtent(text).cx; }
  int TextHeight(const std::string& text) const { return TextExtent(text).cy; }

  // Draws a graphic at its own size with (x, y) its top-left; a transparent
  // bitmap leaves its transparent colour's pixels out.
  void Draw(int x, int y, TGraphic* graphic);
  // Draws a graphic stretched (nearest pixel) over `rect`.
  void StretchDraw(const TRect& rect, TGraphic* graphic);
  // Copies (stretching when the sizes differ) `source` of `canvas` onto
  // `dest` of this canvas with CopyMode.
  void CopyRect(const TRect& dest, TCanvas* canvas, const TRect& source);
  // Copies `source` of the bitmap onto `dest`, leaving out the pixels of
  // colour `transparentColor` (colour-key transparency).
  void BrushCopy(const TRect& dest, TBitmap* bitmap, const TRect& source, TColor transparentColor);

  // Clip. The region is in device pixels; rectangles given to Exclude and
  // Intersect are logical (the window origin applies). Without a clip
  // region the whole target is drawable.
  void SelectClipRegion(const TRegion* region);  // nullptr removes the clip
  void ExcludeClipRect(const TRect& r);
  void IntersectClipRect(const TRect& r);
  bool HasClipRegion() const { return has_clip_; }
  // The drawable area as a region in device pixels (the target when no clip
  // is set).
  TRegion ClipRegion() const;
  // The bounds of the drawable area in logical coordinates.
  TRect ClipRect() const;
  // Does the logical rectangle share a pixel with the drawable area?
  bool RectVisible(const TRect& r) const;

  // Window origin: logical (org.X, org.Y) is device (0, 0).
  TPoint WindowOrg() const { return origin_; }
  void SetWindowOrg(TPoint origin) { origin_ = origin; }

  // Colours a monochrome bitmap's black (text) and white (background) bits
  // take when copied onto a colour target, and the colour that becomes
  // white when a colour image is copied onto a monochrome target. Defaults
  // black and white.
  COLORREF TextColor() const { return text_color_; }
  void SetTextColor(COLORREF c) { text_color_ = c & 0xFFFFFF; }
  COLORREF BkColor() const { return bk_color_; }
  void SetBkColor(COLORREF c) { bk_color_ = c & 0xFFFFFF; }

  // Saves the clip, origin, pen, brush, font and colours; returns the new
  // depth (>= 1). RestoreState(n) goes back to the state saved by the call
  // that returned n (n < 0: that many levels up); false when there is no
  // such state.
  int SaveState();
  bool RestoreState(int level);

  static constexpr int PixelsPerInch = 96;
  // The device's pixels per inch each way, as GetDeviceCaps answers them:
  // PixelsPerInch unless the device says otherwise (a printer's page).
  int ResolutionX() const { return resolution_x_; }
  int ResolutionY() const { return resolution_y_; }
  void SetResolution(int x, int y) {
    resolution_x_ = x;
    resolution_y_ = y;
  }

  // True when the target holds monochrome pixels (a pf1bit bitmap's
  // canvas): every colour drawn becomes black or white.
  bool Monochrome() const { return monochrome_; }
  void SetMonochrome(bool mono) { monochrome_ = mono; }

  // Called by drawing calls after they changed the target; a bitmap uses it
  // to keep its monochrome pixels black and white.
  TNotifyEvent OnChange;

 private:
  struct State;
  friend struct CanvasAccess;

  void Changed();

  QImage* target_ = nullptr;
  TFont* font_;
  TPen* pen_;
  TBrush* brush_;
  TPoint pen_pos_;
  TCopyMode copy_mode_ = cmSrcCopy;
  bool has_clip_ = false;
  std::unique_ptr<QRegion> clip_;
  TPoint origin_;
  COLORREF text_color_ = 0x000000;
  COLORREF bk_color_ = 0xFFFFFF;
  bool monochrome_ = false;
  int resolution_x_ = PixelsPerInch;
  int resolution_y_ = PixelsPerInch;
  std::vector<State> saved_;
};
