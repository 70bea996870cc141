// The system drawing calls that code makes directly, on our canvas.
//
// A device context is a canvas: HDC = TCanvas* (a bitmap's Canvas(), or a
// control's canvas on its back buffer). A region handle is a TRegion made by
// CreateRectRgn, owned by the caller and freed by DeleteObject. Every call
// given a null HDC does nothing and reports failure (0 / false).
//
// Threads: as the canvas's.
#pragma once

#include <cstdint>
#include <string>

#include "platform/classes/Types.h"
#include "platform/graphics/Canvas.h"

using HDC = TCanvas*;
using HRGN = TRegion*;
using BOOL = bool;

// ---------------------------------------------------------------------------
// Text

inline constexpr UINT DT_LEFT = 0x0000;
inline constexpr UINT DT_TOP = 0x0000;
inline constexpr UINT DT_CENTER = 0x0001;
inline constexpr UINT DT_RIGHT = 0x0002;
inline constexpr UINT DT_VCENTER = 0x0004;  // single line only
inline constexpr UINT DT_BOTTOM = 0x0008;   // single line only
inline constexpr UINT DT_WORDBREAK = 0x0010;
inline constexpr UINT DT_SINGLELINE = 0x0020;
inline constexpr UINT DT_EXPANDTABS = 0x0040;
inline constexpr UINT DT_NOCLIP = 0x0100;
inline constexpr UINT DT_CALCRECT = 0x0400;
inline constexpr UINT DT_NOPREFIX = 0x0800;

// Draws `text` in the canvas font inside `rect` (clipped to it unless
// DT_NOCLIP), opaque or transparent as the canvas brush says. Lines break at
// line feeds (a carriage return before one is dropped) unless
// DT_SINGLELINE, and at spaces to fit the width with DT_WORDBREAK; an
// ampersand underlines the next character and "&&" draws one ampersand,
// unless DT_NOPREFIX. DT_CALCRECT draws nothing and sets rect's right and
// bottom to the text's extent (left and top stay). Returns the height of the
// text block; 0 on failure.
int DrawText(HDC dc, const std::string& text, TRect* rect, UINT format);

// ---------------------------------------------------------------------------
// Edges and frame controls

inline constexpr UINT BDR_RAISEDOUTER = 0x0001;
inline constexpr UINT BDR_SUNKENOUTER = 0x0002;
inline constexpr UINT BDR_RAISEDINNER = 0x0004;
inline constexpr UINT BDR_SUNKENINNER = 0x0008;
inline constexpr UINT EDGE_RAISED = BDR_RAISEDOUTER | BDR_RAISEDINNER;
inline constexpr UINT EDGE_SUNKEN = BDR_SUNKENOUTER | BDR_SUNKENINNER;
inline constexpr UINT EDGE_ETCHED = BDR_SUNKENOUTER | BDR_RAISEDINNER;
inline constexpr UINT EDGE_BUMP = BDR_RAISEDOUTER | BDR_SUNKENINNER;

inline constexpr UINT BF_LEFT = 0x0001;
inline constexpr UINT BF_TOP = 0x0002;
inline constexpr UINT BF_RIGHT = 0x0004;
inline constexpr UINT BF_BOTTOM = 0x0008;
inline constexpr UINT BF_RECT = BF_LEFT | BF_TOP | BF_RIGHT | BF_BOTTOM;
inline constexpr UINT BF_MIDDLE = 0x0800;  // fill the inside with button face
inline constexpr UINT BF_ADJUST = 0x2000;  // shrink rect by what was drawn
inline constexpr UINT BF_FLAT = 0x4000;
inline constexpr UINT BF_MONO = 0x8000;

// Draws a two-pixel 3-D edge (one pixel per outer/inner part given) on the
// chosen sides of `rect`. Colours, top-left / bottom-right: raised outer
// 3-D light / 3-D dark shadow, raised inner button highlight / button
// shadow, sunken outer button shadow / button highlight, sunken inner 3-D
// dark shadow / 3-D light. BF_FLAT draws each part as a frame in button
// shadow (outer) and button face (inner); BF_MONO in window frame colour
// (outer) and window (inner). Returns false for a null dc.
BOOL DrawEdge(HDC dc, TRect* rect, UINT edge, UINT flags);

inline constexpr UINT DFC_SCROLL = 3;
inline constexpr UINT DFCS_SCROLLCOMBOBOX = 0x0005;
inline constexpr UINT DFCS_INACTIVE = 0x0100;
inline constexpr UINT DFCS_PUSHED = 0x0200;
inline constexpr UINT DFCS_FLAT = 0x4000;

// The combo-box button (DFC_SCROLL with DFCS_SCROLLCOMBOBOX): the rectangle
// filled with button face, a raised edge (a one-pixel button-shadow frame
// with DFCS_FLAT, a sunken one with DFCS_PUSHED), and a downward triangle
// centred in it, in button text colour, or embossed grey with
// DFCS_INACTIVE. Other types do nothing and return false.
BOOL DrawFrameControl(HDC dc, TRect* rect, UINT type, UINT state);

BOOL DrawFocusRect(HDC dc, const TRect* rect);

// ---------------------------------------------------------------------------
// Block transfers

// Copies the w x h block at (sx, sy) of `src` onto (x, y) of `dst` with the
// raster operation (SRCCOPY, SRCINVERT, SRCAND, SRCPAINT; any other value
// fails). Coordinates are logical in each canvas; the destination clip
// applies. A monochrome source paints its black bits in the destination's
// text colour and its white bits in its background colour; a colour source
// copied onto a monochrome destination turns white where it equals the
// source's background colour and black elsewhere. `src` may be `dst` (the
// block is read before it is written).
BOOL BitBlt(HDC dst, int x, int y, int w, int h, HDC src, int sx, int sy, DWORD rop);
// The same, stretching the source block over the destination block by the
// nearest pixel; a negative width or height mirrors.
BOOL StretchBlt(HDC dst, int x, int y, int w, int h, HDC src, int sx, int sy, int sw, int sh,
                DWORD rop);

// ---------------------------------------------------------------------------
// Device state

// Returns the new save level (>= 1), 0 for a null dc.
int SaveDC(HDC dc);
// level > 0: the state saved at that level; level < 0: relative.
BOOL RestoreDC(HDC dc, int level);
BOOL SetWindowOrgEx(HDC dc, int x, int y, TPoint* old);
BOOL GetWindowOrgEx(HDC dc, TPoint* org);
// Moves what is drawn by (dx, dy) in device pixels: the window origin
// becomes origin - (dx, dy).
void MoveWindowOrg(HDC dc, int dx, int dy);
COLORREF SetTextColor(HDC dc, COLORREF color);  // returns the previous one
COLORREF SetBkColor(HDC dc, COLORREF color);

inline constexpr int LOGPIXELSX = 88;
inline constexpr int LOGPIXELSY = 90;
// The canvas's pixels per inch for LOGPIXELSX and LOGPIXELSY (96 but for a
// printer's page); 0 otherwise.
int GetDeviceCaps(HDC dc, int index);

// ---------------------------------------------------------------------------
// Regions and clipping

// Region kinds returned by the clip calls.
inline constexpr int RGN_ERROR = 0;
inline constexpr int NULLREGION = 1;
inline constexpr int SIMPLEREGION = 2;
inline constexpr int COMPLEXREGION = 3;

// A new region of one rectangle (device pixels); free it with DeleteObject.
HRGN CreateRectRgn(int left, int top, int right, int bottom);
BOOL DeleteObject(HRGN region);
// Combination modes of CombineRgn.
inline constexpr int RGN_AND = 1;
inline constexpr int RGN_OR = 2;
inline constexpr int RGN_XOR = 3;
inline constexpr int RGN_DIFF = 4;
inline constexpr int RGN_COPY = 5;
int CombineRgn(HRGN dest, HRGN a, HRGN b, int mode);

// Sets the clip to a copy of `region` (nullptr removes the clip). Returns
// the kind of the new clip.
int SelectClipRgn(HDC dc, HRGN region);
int ExcludeClipRect(HDC dc, int left, int top, int right, int bottom);
int IntersectClipRect(HDC dc, int left, int top, int right, int bottom);
// The bounds of the drawable area, logical. Returns its kind.
int GetClipBox(HDC dc, TRect* rect);
// Copies the clip into `region`: 1 when there is a clip, 0 when none (region
// unchanged), -1 on error.
int GetClipRgn(HDC dc, HRGN region);
BOOL RectVisible(HDC dc, const TRect* rect);
