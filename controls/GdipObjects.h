// A thin object layer over the flat drawing API (platform/graphics/GdiPlus.h)
// for the glass button and the GDI+ picture.
//
// Each wrapper owns one native handle (null until made) and remembers its
// last failure: every flat call's result is returned to the caller and, when
// it is not Ok, also stored as LastStatus; an Ok result never clears a stored
// failure; a constructor stores its creation call's result. No call raises.
// Wrappers live on the ordinary heap; the drawing API is started by the
// controls unit before any wrapper is made and shut down after.
//
// Threads: one thread per object; text and images need the main thread.
#pragma once

#include <cstdint>
#include <string>

#include "platform/gdiobj/Colors.h"
#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Canvas.h"
#include "platform/graphics/Gdi.h"
#include "platform/graphics/GdiPlus.h"
#include "platform/rtl/System.h"

enum class TAntiAlias { aaNone, aaClearType, aaAntiAlias };

class TGdiplusBase : public TObject {
  KESTRUNE_CLASS(TGdiplusBase, TObject)
  GpStatus LastStatus() const { return last_status_; }

 protected:
  TGdiplusBase() = default;
  // Returns `status`, remembering it when it is a failure.
  GpStatus Track(GpStatus status) {
    if (status != Ok)
      last_status_ = status;
    return status;
  }
  GpStatus last_status_ = Ok;
};

class TGPGraphicsPath;
class TGPPen;
class TGPBrush;
class TGPRegion;
class TGPStringFormat;
class TGPFont;
class TGPImage;

class TGPGraphics : public TGdiplusBase {
  KESTRUNE_CLASS(TGPGraphics, TGdiplusBase)
  // Draws into the canvas's image (origin and clip as they are now).
  explicit TGPGraphics(HDC dc);
  ~TGPGraphics() override;
  GpGraphics* Native() const { return native_; }

  GpStatus SetSmoothingMode(GpSmoothingMode mode);
  GpStatus SetTextRenderingHint(GpTextRenderingHint hint);
  GpStatus DrawPath(TGPPen* pen, TGPGraphicsPath* path);
  GpStatus FillPath(TGPBrush* brush, TGPGraphicsPath* path);
  GpStatus FillRectangle(TGPBrush* brush, REAL x, REAL y, REAL width, REAL height);
  // `text` is a narrow (UTF-8) string; `length` counts the UTF-16 code
  // units of it to draw (negative: all).
  GpStatus DrawString(const std::string& text, int length, TGPFont* font, const GpRectF& layout,
                      TGPStringFormat* format, TGPBrush* brush);
  GpStatus MeasureString(const std::string& text, int length, TGPFont* font, const GpRectF& layout,
                         TGPStringFormat* format, GpRectF& boundingBox,
                         INT* codepointsFitted = nullptr, INT* linesFilled = nullptr);
  GpStatus DrawImage(TGPImage* image, int x, int y, int width, int height);
  GpStatus SetClip(TGPRegion* region, GpCombineMode mode = CombineModeReplace);
  GpStatus ResetClip();

 private:
  GpGraphics* native_ = nullptr;
};

class TGPGraphicsPath : public TGdiplusBase {
  KESTRUNE_CLASS(TGPGraphicsPath, TGdiplusBase)
  explicit TGPGraphicsPath(GpFillMode fillMode = FillModeAlternate);
  ~TGPGraphicsPath() override;
  GpPath* Native() const { return native_; }
  GpStatus AddLine(REAL x1, REAL y1, REAL x2, REAL y2);
  GpStatus AddArc(REAL x, REAL y, REAL width, REAL height, REAL startAngle, REAL sweepAngle);
  GpStatus AddEllipse(REAL x, REAL y, REAL width, REAL height);
  GpStatus AddEllipse(const GpRectF& rect) {
    return AddEllipse(rect.X, rect.Y, rect.Width, rect.Height);
  }
  GpStatus AddPolygon(const GpPointI* points, int count);
  GpStatus AddCurve(const GpPointI* points, int count);
  GpStatus CloseFigure();

 private:
  GpPath* native_ = nullptr;
};

class TGPPen : public TGdiplusBase {
  KESTRUNE_CLASS(TGPPen, TGdiplusBase)
  explicit TGPPen(ARGB color, REAL width = 1);
  ~TGPPen() override;
  GpPen* Native() const { return native_; }
  GpStatus SetEndCap(GpLineCap cap);

 private:
  GpPen* native_ = nullptr;
};

class TGPBrush : public TGdiplusBase {
  KESTRUNE_CLASS(TGPBrush, TGdiplusBase)
  ~TGPBrush() override;
  GpBrush* Native() const { return native_; }

 protected:
  TGPBrush() = default;
  GpBrush* native_ = nullptr;
};

class TGPSolidBrush : public TGPBrush {
  KESTRUNE_CLASS(TGPSolidBrush, TGPBrush)
  explicit TGPSolidBrush(ARGB color);
};

class TGPLinearGradientBrush : public TGPBrush {
  KESTRUNE_CLASS(TGPLinearGradientBrush, TGPBrush)
  TGPLinearGradientBrush(const GpRectF& rect, ARGB color1, ARGB color2, GpLinearGradientMode mode);
};

class TGPPathGradientBrush : public TGPBrush {
  KESTRUNE_CLASS(TGPPathGradientBrush, TGPBrush)
  explicit TGPPathGradientBrush(TGPGraphicsPath* path);
  // Returns the last status after the call.
  GpStatus SetCenterColor(ARGB color);
  // 0 when the call fails.
  int GetPointCount();
  // Only with colours, a count of at most the point count and a point count
  // above 0 is the call made (and the count written back on success); else
  // the last status becomes InvalidParameter and nothing is set.
  GpStatus SetSurroundColors(const ARGB* colors, int& count);
};

class TGPRegion : public TGdiplusBase {
  KESTRUNE_CLASS(TGPRegion, TGdiplusBase)
  explicit TGPRegion(TGPGraphicsPath* path);
  ~TGPRegion() override;
  GpRegion* Native() const { return native_; }

 private:
  GpRegion* native_ = nullptr;
};

class TGPStringFormat : public TGdiplusBase {
  KESTRUNE_CLASS(TGPStringFormat, TGdiplusBase)
  explicit TGPStringFormat(INT formatFlags = 0, uint16_t language = 0);
  ~TGPStringFormat() override;
  GpStringFormat* Native() const { return native_; }
  GpStatus SetAlignment(GpStringAlignment align);
  GpStatus SetLineAlignment(GpStringAlignment align);
  GpStatus SetTrimming(GpStringTrimming trimming);
  GpStatus SetHotkeyPrefix(GpHotkeyPrefix prefix);

 private:
  GpStringFormat* native_ = nullptr;
};

class TGPFontFamily : public TGdiplusBase {
  KESTRUNE_CLASS(TGPFontFamily, TGdiplusBase)
  explicit TGPFontFamily(const std::string& name);
  ~TGPFontFamily() override;
  GpFontFamily* Native() const { return native_; }

 private:
  GpFontFamily* native_ = nullptr;
};

class TGPFont : public TGdiplusBase {
  KESTRUNE_CLASS(TGPFont, TGdiplusBase)
  TGPFont(TGPFontFamily* family, REAL emSize, INT style = FontStyleRegular,
          GpUnit unit = UnitPoint);
  ~TGPFont() override;
  GpFont* Native() const { return native_; }

 private:
  GpFont* native_ = nullptr;
};

class TGPImage : public TGdiplusBase {
  KESTRUNE_CLASS(TGPImage, TGdiplusBase)
  // Decodes the stream from its current position to its end, read at once
  // and not kept (the colour-management flag picks the flat call; both
  // decode alike here). Borrowed: the caller frees the stream.
  explicit TGPImage(TStream* stream, bool useEmbeddedColorManagement = false);
  ~TGPImage() override;
  GpImage* Native() const { return native_; }
  // 0 when the call fails (an image that did not decode).
  uint32_t GetWidth();
  uint32_t GetHeight();
  // 1 memory bitmap, 2 BMP, 3 EMF, 4 WMF, 5 JPEG, 6 PNG, 7 GIF, 8 TIFF,
  // 9 EXIF, 10 icon; 0 for anything else (or no image).
  int GetImageFormat();

 private:
  GpImage* native_ = nullptr;
};

// A class-library colour (system colours resolved) as opaque ARGB.
ARGB ColorToARGB(TColor color);
// a << 24 | r << 16 | g << 8 | b, each argument taken as one byte.
ARGB MakeColor(int a, int r, int g, int b);

// Starts and stops the flat drawing API (the controls unit runs them).
void StartGdiplus();
void StopGdiplus();
