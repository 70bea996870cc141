// The flat anti-aliased drawing API (paths, gradients, text, images) on
// QPainter.
//
// Objects are opaque handles made and freed by the calls below; every call
// returns a GpStatus (Ok = 0) and never raises. A graphics object made on a
// canvas (GdipCreateFromHDC) draws into the canvas's target image through the
// canvas's window origin and clip region as they are when it is made, plus a
// clip of its own (GdipSetClipRegion).
//
// How we draw, and where our pixels knowingly differ from the original's:
//  - Coordinates are floats with pixel centres on whole numbers (a line at
//    y = 2 lights row 2); smoothing mode 4 (and 2) anti-aliases, any other
//    mode draws aliased.
//  - Arcs take degrees clockwise from the x axis; on circles (the only arcs
//    our controls draw) the angles are exact, on other ellipses they are
//    taken on the ellipse's parameter.
//  - A curve through n points is a cardinal spline of tension 0.5: each
//    span from p[i] to p[i+1] is the cubic Bezier with control points
//    p[i] + (p[i+1] - p[i-1]) / 6 and p[i+1] - (p[i+2] - p[i]) / 6, the end
//    points repeated at the ends.
//  - The arrow-anchor end cap (20) is drawn by hand: a filled triangle whose
//    tip is the line's end point, 2 pen widths long and 2 pen widths wide at
//    its base; the line stops at the base.
//  - Linear gradients repeat (tile) past their rectangle. A path gradient
//    fills its path with an elliptical radial gradient over the path's
//    bounding box, from the centre colour at the box's centre to the first
//    surround colour on the box's inscribed ellipse (exact for ellipses;
//    other shapes get the ellipse's falloff).
//  - Text: fonts in points (unit 3, at 96 dpi) or pixels (unit 2), sizes
//    rounded to whole pixels; text-rendering hints 3 to 5 give grey-scale
//    anti-aliased glyphs, others aliased ones. Glyph shapes are Qt's.
//  - Images decode BMP (the bitmap reader), JPEG (libjpeg) and PNG (Qt);
//    anything else fails with UnknownImageFormat. Images are drawn with
//    bilinear filtering.
//
// Threads: one thread per object at a time; text needs Qt's application
// object (main thread).
#pragma once

#include <cstddef>
#include <cstdint>

class TCanvas;
class TStream;

enum GpStatus : int32_t {
  Ok = 0,
  GenericError = 1,
  InvalidParameter = 2,
  OutOfMemory = 3,
  ObjectBusy = 4,
  InsufficientBuffer = 5,
  NotImplemented = 6,
  Win32Error = 7,
  WrongState = 8,
  Aborted = 9,
  FileNotFound = 10,
  ValueOverflow = 11,
  AccessDenied = 12,
  UnknownImageFormat = 13,
  FontFamilyNotFound = 14,
  FontStyleNotFound = 15,
  NotTrueTypeFont = 16,
  UnsupportedGdiplusVersion = 17,
  GdiplusNotInitialized = 18,
};

using ARGB = uint32_t;
using REAL = float;
using WCHAR = char16_t;
using INT = int32_t;

struct GpPointI {
  INT X = 0;
  INT Y = 0;
};
struct GpRectF {
  REAL X = 0, Y = 0, Width = 0, Height = 0;
};

// Opaque handles.
struct GpGraphics;
struct GpPath;
struct GpPen;
struct GpBrush;
struct GpRegion;
struct GpStringFormat;
struct GpFontFamily;
struct GpFont;
struct GpImage;
using GpSolidFill = GpBrush;
using GpLineGradient = GpBrush;
using GpPathGradient = GpBrush;

// An image's raw format: our own identifiers, one per format we can name.
struct GpImageFormatId {
  uint32_t Value = 0;
  bool operator==(const GpImageFormatId&) const = default;
};
inline constexpr GpImageFormatId ImageFormatUndefined{0};
inline constexpr GpImageFormatId ImageFormatMemoryBMP{1};
inline constexpr GpImageFormatId ImageFormatBMP{2};
inline constexpr GpImageFormatId ImageFormatEMF{3};
inline constexpr GpImageFormatId ImageFormatWMF{4};
inline constexpr GpImageFormatId ImageFormatJPEG{5};
inline constexpr GpImageFormatId ImageFormatPNG{6};
inline constexpr GpImageFormatId ImageFormatGIF{7};
inline constexpr GpImageFormatId ImageFormatTIFF{8};
inline constexpr GpImageFormatId ImageFormatEXIF{9};
inline constexpr GpImageFormatId ImageFormatIcon{10};

enum GpSmoothingMode : int32_t {
  SmoothingModeDefault = 0,
  SmoothingModeHighSpeed = 1,
  SmoothingModeHighQuality = 2,
  SmoothingModeNone = 3,
  SmoothingModeAntiAlias = 4,
};
enum GpTextRenderingHint : int32_t {
  TextRenderingHintSystemDefault = 0,
  TextRenderingHintSingleBitPerPixelGridFit = 1,
  TextRenderingHintSingleBitPerPixel = 2,
  TextRenderingHintAntiAliasGridFit = 3,
  TextRenderingHintAntiAlias = 4,
  TextRenderingHintClearTypeGridFit = 5,
};
enum GpFillMode : int32_t { FillModeAlternate = 0, FillModeWinding = 1 };
enum GpUnit : int32_t { UnitWorld = 0, UnitDisplay = 1, UnitPixel = 2, UnitPoint = 3 };
enum GpLineCap : int32_t {
  LineCapFlat = 0,
  LineCapSquare = 1,
  LineCapRound = 2,
  LineCapTriangle = 3,
  LineCapArrowAnchor = 20,
};
enum GpLinearGradientMode : int32_t {
  LinearGradientModeHorizontal = 0,
  LinearGradientModeVertical = 1,
  LinearGradientModeForwardDiagonal = 2,
  LinearGradientModeBackwardDiagonal = 3,
};
enum GpWrapMode : int32_t { WrapModeTile = 0 };
enum GpCombineMode : int32_t {
  CombineModeReplace = 0,
  CombineModeIntersect = 1,
  CombineModeUnion = 2,
  CombineModeXor = 3,
  CombineModeExclude = 4,
  CombineModeComplement = 5,
};
enum GpStringAlignment : int32_t {
  StringAlignmentNear = 0,
  StringAlignmentCenter = 1,
  StringAlignmentFar = 2,
};
enum GpStringTrimming : int32_t { StringTrimmingNone = 0, StringTrimmingCharacter = 1 };
enum GpHotkeyPrefix : int32_t { HotkeyPrefixNone = 0, HotkeyPrefixShow = 1, HotkeyPrefixHide = 2 };
inline constexpr int32_t StringFormatFlagsNoWrap = 0x00001000;
enum GpFontStyle : int32_t {
  FontStyleRegular = 0,
  FontStyleBold = 1,
  FontStyleItalic = 2,
  FontStyleUnderline = 4,
  FontStyleStrikeout = 8,
};

struct GdiplusStartupInput {
  uint32_t GdiplusVersion = 1;
  void* DebugEventCallback = nullptr;
  int32_t SuppressBackgroundThread = 0;
  int32_t SuppressExternalCodecs = 0;
};
struct GdiplusStartupOutput {
  void* NotificationHook = nullptr;
  void* NotificationUnhook = nullptr;
};

// Start-up always succeeds (version 1); the token is for the shutdown.
GpStatus GdiplusStartup(uintptr_t* token, const GdiplusStartupInput* input,
                        GdiplusStartupOutput* output);
void GdiplusShutdown(uintptr_t token);
// The ordinary heap.
void* GdipAlloc(size_t size);
void GdipFree(void* ptr);

// Graphics on a canvas (a null canvas: InvalidParameter).
GpStatus GdipCreateFromHDC(TCanvas* dc, GpGraphics** graphics);
GpStatus GdipDeleteGraphics(GpGraphics* graphics);
GpStatus GdipSetSmoothingMode(GpGraphics* graphics, GpSmoothingMode mode);
GpStatus GdipSetTextRenderingHint(GpGraphics* graphics, GpTextRenderingHint hint);
GpStatus GdipDrawPath(GpGraphics* graphics, GpPen* pen, GpPath* path);
GpStatus GdipFillPath(GpGraphics* graphics, GpBrush* brush, GpPath* path);
GpStatus GdipFillRectangle(GpGraphics* graphics, GpBrush* brush, REAL x, REAL y, REAL width,
                           REAL height);
// `length` -1: up to the terminating zero.
GpStatus GdipDrawString(GpGraphics* graphics, const WCHAR* text, INT length, const GpFont* font,
                        const GpRectF* layoutRect, const GpStringFormat* format,
                        const GpBrush* brush);
GpStatus GdipMeasureString(GpGraphics* graphics, const WCHAR* text, INT length, const GpFont* font,
                           const GpRectF* layoutRect, const GpStringFormat* format,
                           GpRectF* boundingBox, INT* codepointsFitted, INT* linesFilled);
GpStatus GdipDrawImageRect(GpGraphics* graphics, GpImage* image, REAL x, REAL y, REAL width,
                           REAL height);
GpStatus GdipSetClipRegion(GpGraphics* graphics, GpRegion* region, GpCombineMode mode);
GpStatus GdipResetClip(GpGraphics* graphics);

// Paths.
GpStatus GdipCreatePath(GpFillMode fillMode, GpPath** path);
GpStatus GdipDeletePath(GpPath* path);
GpStatus GdipAddPathLine(GpPath* path, REAL x1, REAL y1, REAL x2, REAL y2);
GpStatus GdipAddPathArc(GpPath* path, REAL x, REAL y, REAL width, REAL height, REAL startAngle,
                        REAL sweepAngle);
GpStatus GdipAddPathEllipse(GpPath* path, REAL x, REAL y, REAL width, REAL height);
GpStatus GdipAddPathPolygonI(GpPath* path, const GpPointI* points, INT count);
GpStatus GdipAddPathCurveI(GpPath* path, const GpPointI* points, INT count);
GpStatus GdipClosePathFigure(GpPath* path);
GpStatus GdipGetPointCount(GpPath* path, INT* count);

// Pens and brushes.
GpStatus GdipCreatePen1(ARGB color, REAL width, GpUnit unit, GpPen** pen);
GpStatus GdipDeletePen(GpPen* pen);
GpStatus GdipSetPenEndCap(GpPen* pen, GpLineCap cap);
GpStatus GdipCreateSolidFill(ARGB color, GpSolidFill** brush);
GpStatus GdipCreateLineBrushFromRect(const GpRectF* rect, ARGB color1, ARGB color2,
                                     GpLinearGradientMode mode, GpWrapMode wrapMode,
                                     GpLineGradient** brush);
GpStatus GdipCreatePathGradientFromPath(const GpPath* path, GpPathGradient** brush);
GpStatus GdipDeleteBrush(GpBrush* brush);
GpStatus GdipSetPathGradientCenterColor(GpPathGradient* brush, ARGB color);
GpStatus GdipGetPathGradientPointCount(GpPathGradient* brush, INT* count);
// More colours than the brush has points: InvalidParameter, nothing set.
GpStatus GdipSetPathGradientSurroundColorsWithCount(GpPathGradient* brush, const ARGB* colors,
                                                    INT* count);

// Regions.
GpStatus GdipCreateRegionPath(GpPath* path, GpRegion** region);
GpStatus GdipDeleteRegion(GpRegion* region);

// Text.
GpStatus GdipCreateStringFormat(INT formatFlags, uint16_t language, GpStringFormat** format);
GpStatus GdipDeleteStringFormat(GpStringFormat* format);
GpStatus GdipSetStringFormatAlign(GpStringFormat* format, GpStringAlignment align);
GpStatus GdipSetStringFormatLineAlign(GpStringFormat* format, GpStringAlignment align);
GpStatus GdipSetStringFormatTrimming(GpStringFormat* format, GpStringTrimming trimming);
GpStatus GdipSetStringFormatHotkeyPrefix(GpStringFormat* format, INT hotkeyPrefix);
// Any family name is accepted (the font substitutes supply a face); an
// empty name: FontFamilyNotFound. The collection must be null.
GpStatus GdipCreateFontFamilyFromName(const WCHAR* name, void* fontCollection,
                                      GpFontFamily** family);
GpStatus GdipDeleteFontFamily(GpFontFamily* family);
// A null family takes the default sans-serif face.
GpStatus GdipCreateFont(const GpFontFamily* family, REAL emSize, INT style, GpUnit unit,
                        GpFont** font);
GpStatus GdipDeleteFont(GpFont* font);

// Images: the whole stream from its current position is the file.
GpStatus GdipLoadImageFromStream(TStream* stream, GpImage** image);
GpStatus GdipLoadImageFromStreamICM(TStream* stream, GpImage** image);
// The same from bytes in memory.
GpStatus GdipLoadImageFromBytes(const uint8_t* data, size_t size, GpImage** image);
GpStatus GdipDisposeImage(GpImage* image);
GpStatus GdipGetImageWidth(GpImage* image, uint32_t* width);
GpStatus GdipGetImageHeight(GpImage* image, uint32_t* height);
GpStatus GdipGetImageRawFormat(GpImage* image, GpImageFormatId* format);
