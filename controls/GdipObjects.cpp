#include "controls/GdipObjects.h"

#include <string>

#include "platform/rtl/Utf8.h"

namespace {

uintptr_t g_token = 0;
bool g_started = false;

// The text in UTF-16, cut after `length` code units (all of it when
// `length` is negative).
std::u16string Wide(const std::string& text, int length) {
  std::u16string wide = Utf8ToUtf16(text);
  if (length >= 0 && static_cast<size_t>(length) < wide.size())
    wide.resize(static_cast<size_t>(length));
  return wide;
}

}  // namespace

void StartGdiplus() {
  if (g_started)
    return;
  GdiplusStartupInput input;
  input.GdiplusVersion = 1;
  input.SuppressBackgroundThread = -1;  // all bits set
  input.SuppressExternalCodecs = 0;
  GdiplusStartupOutput output;
  g_started = GdiplusStartup(&g_token, &input, &output) == Ok;
}

void StopGdiplus() {
  if (!g_started)
    return;
  GdiplusShutdown(g_token);
  g_started = false;
}

ARGB ColorToARGB(TColor color) {
  const COLORREF rgb = ColorToRGB(color);
  return MakeColor(0xFF, GetRValue(rgb), GetGValue(rgb), GetBValue(rgb));
}

ARGB MakeColor(int a, int r, int g, int b) {
  return (static_cast<ARGB>(a & 0xFF) << 24) | (static_cast<ARGB>(r & 0xFF) << 16) |
         (static_cast<ARGB>(g & 0xFF) << 8) | static_cast<ARGB>(b & 0xFF);
}

// ---------------------------------------------------------------------------

TGPGraphics::TGPGraphics(HDC dc) {
  last_status_ = GdipCreateFromHDC(dc, &native_);
}
TGPGraphics::~TGPGraphics() {
  if (native_ != nullptr)
    GdipDeleteGraphics(native_);
}
GpStatus TGPGraphics::SetSmoothingMode(GpSmoothingMode mode) {
  return Track(GdipSetSmoothingMode(native_, mode));
}
GpStatus TGPGraphics::SetTextRenderingHint(GpTextRenderingHint hint) {
  return Track(GdipSetTextRenderingHint(native_, hint));
}
GpStatus TGPGraphics::DrawPath(TGPPen* pen, TGPGraphicsPath* path) {
  return Track(
      GdipDrawPath(native_, pen ? pen->Native() : nullptr, path ? path->Native() : nullptr));
}
GpStatus TGPGraphics::FillPath(TGPBrush* brush, TGPGraphicsPath* path) {
  return Track(
      GdipFillPath(native_, brush ? brush->Native() : nullptr, path ? path->Native() : nullptr));
}
GpStatus TGPGraphics::FillRectangle(TGPBrush* brush, REAL x, REAL y, REAL width, REAL height) {
  return Track(GdipFillRectangle(native_, brush ? brush->Native() : nullptr, x, y, width, height));
}
GpStatus TGPGraphics::DrawString(const std::string& text, int length, TGPFont* font,
                                 const GpRectF& layout, TGPStringFormat* format, TGPBrush* brush) {
  const std::u16string wide = Wide(text, length);
  return Track(GdipDrawString(
      native_, wide.c_str(), static_cast<INT>(wide.size()), font ? font->Native() : nullptr,
      &layout, format ? format->Native() : nullptr, brush ? brush->Native() : nullptr));
}
GpStatus TGPGraphics::MeasureString(const std::string& text, int length, TGPFont* font,
                                    const GpRectF& layout, TGPStringFormat* format,
                                    GpRectF& boundingBox, INT* codepointsFitted, INT* linesFilled) {
  const std::u16string wide = Wide(text, length);
  return Track(GdipMeasureString(
      native_, wide.c_str(), static_cast<INT>(wide.size()), font ? font->Native() : nullptr,
      &layout, format ? format->Native() : nullptr, &boundingBox, codepointsFitted, linesFilled));
}
GpStatus TGPGraphics::DrawImage(TGPImage* image, int x, int y, int width, int height) {
  return Track(GdipDrawImageRect(native_, image ? image->Native() : nullptr, static_cast<REAL>(x),
                                 static_cast<REAL>(y), static_cast<REAL>(width),
                                 static_cast<REAL>(height)));
}
GpStatus TGPGraphics::SetClip(TGPRegion* region, GpCombineMode mode) {
  return Track(GdipSetClipRegion(native_, region ? region->Native() : nullptr, mode));
}
GpStatus TGPGraphics::ResetClip() {
  return Track(GdipResetClip(native_));
}

TGPGraphicsPath::TGPGraphicsPath(GpFillMode fillMode) {
  last_status_ = GdipCreatePath(fillMode, &native_);
}
TGPGraphicsPath::~TGPGraphicsPath() {
  if (native_ != nullptr)
    GdipDeletePath(native_);
}
GpStatus TGPGraphicsPath::AddLine(REAL x1, REAL y1, REAL x2, REAL y2) {
  return Track(GdipAddPathLine(native_, x1, y1, x2, y2));
}
GpStatus TGPGraphicsPath::AddArc(REAL x, REAL y, REAL width, REAL height, REAL startAngle,
                                 REAL sweepAngle) {
  return Track(GdipAddPathArc(native_, x, y, width, height, startAngle, sweepAngle));
}
GpStatus TGPGraphicsPath::AddEllipse(REAL x, REAL y, REAL width, REAL height) {
  return Track(GdipAddPathEllipse(native_, x, y, width, height));
}
GpStatus TGPGraphicsPath::AddPolygon(const GpPointI* points, int count) {
  return Track(GdipAddPathPolygonI(native_, points, count));
}
GpStatus TGPGraphicsPath::AddCurve(const GpPointI* points, int count) {
  return Track(GdipAddPathCurveI(native_, points, count));
}
GpStatus TGPGraphicsPath::CloseFigure() {
  return Track(GdipClosePathFigure(native_));
}

TGPPen::TGPPen(ARGB color, REAL width) {
  last_status_ = GdipCreatePen1(color, width, UnitWorld, &native_);
}
TGPPen::~TGPPen() {
  if (native_ != nullptr)
    GdipDeletePen(native_);
}
GpStatus TGPPen::SetEndCap(GpLineCap cap) {
  return Track(GdipSetPenEndCap(native_, cap));
}

TGPBrush::~TGPBrush() {
  if (native_ != nullptr)
    GdipDeleteBrush(native_);
}

TGPSolidBrush::TGPSolidBrush(ARGB color) {
  last_status_ = GdipCreateSolidFill(color, &native_);
}

TGPLinearGradientBrush::TGPLinearGradientBrush(const GpRectF& rect, ARGB color1, ARGB color2,
                                               GpLinearGradientMode mode) {
  last_status_ = GdipCreateLineBrushFromRect(&rect, color1, color2, mode, WrapModeTile, &native_);
}

TGPPathGradientBrush::TGPPathGradientBrush(TGPGraphicsPath* path) {
  last_status_ = GdipCreatePathGradientFromPath(path ? path->Native() : nullptr, &native_);
}
GpStatus TGPPathGradientBrush::SetCenterColor(ARGB color) {
  Track(GdipSetPathGradientCenterColor(native_, color));
  return last_status_;
}
int TGPPathGradientBrush::GetPointCount() {
  INT count = 0;
  if (Track(GdipGetPathGradientPointCount(native_, &count)) != Ok)
    return 0;
  return count;
}
GpStatus TGPPathGradientBrush::SetSurroundColors(const ARGB* colors, int& count) {
  const int points = GetPointCount();
  if (colors == nullptr || count > points || points <= 0) {
    last_status_ = InvalidParameter;
    return last_status_;
  }
  INT requested = count;
  const GpStatus status =
      Track(GdipSetPathGradientSurroundColorsWithCount(native_, colors, &requested));
  if (status == Ok)
    count = requested;
  return status;
}

TGPRegion::TGPRegion(TGPGraphicsPath* path) {
  last_status_ = GdipCreateRegionPath(path ? path->Native() : nullptr, &native_);
}
TGPRegion::~TGPRegion() {
  if (native_ != nullptr)
    GdipDeleteRegion(native_);
}

TGPStringFormat::TGPStringFormat(INT formatFlags, uint16_t language) {
  last_status_ = GdipCreateStringFormat(formatFlags, language, &native_);
}
TGPStringFormat::~TGPStringFormat() {
  if (native_ != nullptr)
    GdipDeleteStringFormat(native_);
}
GpStatus TGPStringFormat::SetAlignment(GpStringAlignment align) {
  return Track(GdipSetStringFormatAlign(native_, align));
}
GpStatus TGPStringFormat::SetLineAlignment(GpStringAlignment align) {
  return Track(GdipSetStringFormatLineAlign(native_, align));
}
GpStatus TGPStringFormat::SetTrimming(GpStringTrimming trimming) {
  return Track(GdipSetStringFormatTrimming(native_, trimming));
}
GpStatus TGPStringFormat::SetHotkeyPrefix(GpHotkeyPrefix prefix) {
  return Track(GdipSetStringFormatHotkeyPrefix(native_, prefix));
}

TGPFontFamily::TGPFontFamily(const std::string& name) {
  const std::u16string wide = Wide(name, -1);
  last_status_ = GdipCreateFontFamilyFromName(wide.c_str(), nullptr, &native_);
}
TGPFontFamily::~TGPFontFamily() {
  if (native_ != nullptr)
    GdipDeleteFontFamily(native_);
}

TGPFont::TGPFont(TGPFontFamily* family, REAL emSize, INT style, GpUnit unit) {
  last_status_ = GdipCreateFont(family ? family->Native() : nullptr, emSize, style, unit, &native_);
}
TGPFont::~TGPFont() {
  if (native_ != nullptr)
    GdipDeleteFont(native_);
}

TGPImage::TGPImage(TStream* stream, bool useEmbeddedColorManagement) {
  last_status_ = useEmbeddedColorManagement ? GdipLoadImageFromStreamICM(stream, &native_)
                                            : GdipLoadImageFromStream(stream, &native_);
}
TGPImage::~TGPImage() {
  if (native_ != nullptr)
    GdipDisposeImage(native_);
}
uint32_t TGPImage::GetWidth() {
  uint32_t width = 0;
  if (Track(GdipGetImageWidth(native_, &width)) != Ok)
    return 0;
  return width;
}
uint32_t TGPImage::GetHeight() {
  uint32_t height = 0;
  if (Track(GdipGetImageHeight(native_, &height)) != Ok)
    return 0;
  return height;
}
int TGPImage::GetImageFormat() {
  GpImageFormatId format;
  if (Track(GdipGetImageRawFormat(native_, &format)) != Ok)
    return 0;
  static constexpr GpImageFormatId kKnown[] = {
      ImageFormatMemoryBMP, ImageFormatBMP, ImageFormatEMF,  ImageFormatWMF,  ImageFormatJPEG,
      ImageFormatPNG,       ImageFormatGIF, ImageFormatTIFF, ImageFormatEXIF, ImageFormatIcon};
  for (int i = 0; i < 10; ++i) {
    if (format == kKnown[i])
      return i + 1;
  }
  return 0;
}
