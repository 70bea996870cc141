#include "platform/graphics/Gdi.h"

#include <QFontMetricsF>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "platform/forms/QtTextPrivate.h"
#include "platform/graphics/Bitmap.h"
#include "platform/graphics/CanvasRasterPrivate.h"

namespace {

using i64 = int64_t;

bool KnownRop(DWORD rop) {
  return rop == SRCCOPY || rop == SRCINVERT || rop == SRCAND || rop == SRCPAINT;
}

inline uint32_t ApplyRop(DWORD rop, uint32_t s, uint32_t d) {
  switch (rop) {
    case SRCINVERT:
      return 0xFF000000u | ((s ^ d) & 0xFFFFFF);
    case SRCAND:
      return 0xFF000000u | (s & d & 0xFFFFFF);
    case SRCPAINT:
      return 0xFF000000u | ((s | d) & 0xFFFFFF);
    default:
      return s | 0xFF000000u;
  }
}

// Nearest source index of destination step i of n over a source run of m
// (mirrored when the signs differ).
inline i64 SourceIndex(i64 i, i64 n, i64 m) {
  // centre of destination pixel i maps to (i + 0.5) * m / n.
  return static_cast<i64>(
      std::floor((static_cast<double>(i) + 0.5) * static_cast<double>(m) / static_cast<double>(n)));
}

bool Transfer(TCanvas* dst, int x, int y, int w, int h, const QImage& src, TPoint srcOrigin, int sx,
              int sy, int sw, int sh, DWORD rop, const uint32_t* key, bool srcMono,
              COLORREF srcBk) {
  if (dst == nullptr || !KnownRop(rop))
    return false;
  QImage* target = dst->Target();
  if (target == nullptr || target->isNull() || src.isNull() || w == 0 || h == 0 || sw == 0 ||
      sh == 0)
    return true;
  const TPoint o = dst->WindowOrg();
  // Destination block in device pixels, normalised; mirroring folds into
  // the source direction.
  i64 dx0 = i64{x} - o.X, dy0 = i64{y} - o.Y;
  i64 dw = w, dh = h;
  i64 sxs = i64{sx} - srcOrigin.X, sys = i64{sy} - srcOrigin.Y;
  i64 sws = sw, shs = sh;
  if (dw < 0) {
    dx0 += dw;
    dw = -dw;
    sxs += sws;
    sws = -sws;
  }
  if (dh < 0) {
    dy0 += dh;
    dh = -dh;
    sys += shs;
    shs = -shs;
  }
  // Read the source block first, so that a copy within one image works.
  const bool stretch = std::llabs(sws) != dw || std::llabs(shs) != dh || sws < 0 || shs < 0;
  const std::vector<QRect> clips = CanvasAccess::ClipRects(*dst);
  const bool dstMono = dst->Monochrome();
  const uint32_t text = RgbToDevice(dst->TextColor());
  const uint32_t bk = RgbToDevice(dst->BkColor());
  const uint32_t srcBkDevice = RgbToDevice(srcBk);
  const QImage source = (&src == target) ? src.copy() : src;
  const i64 srcW = source.width(), srcH = source.height();
  for (const QRect& clip : clips) {
    const i64 left = std::max<i64>(dx0, clip.left());
    const i64 right = std::min<i64>(dx0 + dw, i64{clip.right()} + 1);
    const i64 top = std::max<i64>(dy0, clip.top());
    const i64 bottom = std::min<i64>(dy0 + dh, i64{clip.bottom()} + 1);
    for (i64 py = top; py < bottom; ++py) {
      const i64 j = py - dy0;
      const i64 syy = sys + (stretch ? SourceIndex(j, dh, shs) : j);
      if (syy < 0 || syy >= srcH)
        continue;
      const auto* srow =
          reinterpret_cast<const uint32_t*>(source.constScanLine(static_cast<int>(syy)));
      auto* drow = reinterpret_cast<uint32_t*>(target->scanLine(static_cast<int>(py)));
      for (i64 px = left; px < right; ++px) {
        const i64 i = px - dx0;
        const i64 sxx = sxs + (stretch ? SourceIndex(i, dw, sws) : i);
        if (sxx < 0 || sxx >= srcW)
          continue;
        uint32_t s = srow[sxx] | 0xFF000000u;
        if (key != nullptr && (s & 0xFFFFFF) == (*key & 0xFFFFFF))
          continue;
        if (srcMono && !dstMono)
          s = (s & 0xFFFFFF) == 0xFFFFFF ? bk : text;
        else if (!srcMono && dstMono)
          s = (s & 0xFFFFFF) == (srcBkDevice & 0xFFFFFF) ? 0xFFFFFFFFu : 0xFF000000u;
        drow[px] = ApplyRop(rop, s, drow[px]);
      }
    }
  }
  CanvasAccess::Changed(*dst);
  return true;
}

}  // namespace

bool TransferBlock(TCanvas* dst, int x, int y, int w, int h, const TCanvas* src, int sx, int sy,
                   int sw, int sh, DWORD rop, const uint32_t* key) {
  if (src == nullptr || dst == nullptr)
    return false;
  if (src->Target() == nullptr)
    return KnownRop(rop);
  return Transfer(dst, x, y, w, h, *src->Target(), src->WindowOrg(), sx, sy, sw, sh, rop, key,
                  src->Monochrome(), src->BkColor());
}

bool TransferImage(TCanvas* dst, int x, int y, int w, int h, const QImage& src, int sx, int sy,
                   int sw, int sh, DWORD rop, const uint32_t* key, bool srcMonochrome) {
  return Transfer(dst, x, y, w, h, src, TPoint{}, sx, sy, sw, sh, rop, key, srcMonochrome,
                  0xFFFFFF);
}

// ---------------------------------------------------------------------------
// Block transfers

BOOL BitBlt(HDC dst, int x, int y, int w, int h, HDC src, int sx, int sy, DWORD rop) {
  return TransferBlock(dst, x, y, w, h, src, sx, sy, w, h, rop, nullptr);
}

BOOL StretchBlt(HDC dst, int x, int y, int w, int h, HDC src, int sx, int sy, int sw, int sh,
                DWORD rop) {
  return TransferBlock(dst, x, y, w, h, src, sx, sy, sw, sh, rop, nullptr);
}

// ---------------------------------------------------------------------------
// Device state

int SaveDC(HDC dc) {
  return dc == nullptr ? 0 : dc->SaveState();
}

BOOL RestoreDC(HDC dc, int level) {
  return dc != nullptr && dc->RestoreState(level);
}

BOOL SetWindowOrgEx(HDC dc, int x, int y, TPoint* old) {
  if (dc == nullptr)
    return false;
  if (old != nullptr)
    *old = dc->WindowOrg();
  dc->SetWindowOrg({x, y});
  return true;
}

BOOL GetWindowOrgEx(HDC dc, TPoint* org) {
  if (dc == nullptr || org == nullptr)
    return false;
  *org = dc->WindowOrg();
  return true;
}

void MoveWindowOrg(HDC dc, int dx, int dy) {
  if (dc == nullptr)
    return;
  const TPoint o = dc->WindowOrg();
  dc->SetWindowOrg({o.X - dx, o.Y - dy});
}

COLORREF SetTextColor(HDC dc, COLORREF color) {
  if (dc == nullptr)
    return 0;
  const COLORREF old = dc->TextColor();
  dc->SetTextColor(color);
  return old;
}

COLORREF SetBkColor(HDC dc, COLORREF color) {
  if (dc == nullptr)
    return 0;
  const COLORREF old = dc->BkColor();
  dc->SetBkColor(color);
  return old;
}

int GetDeviceCaps(HDC dc, int index) {
  if (dc == nullptr)
    return 0;
  if (index == LOGPIXELSX)
    return dc->ResolutionX();
  if (index == LOGPIXELSY)
    return dc->ResolutionY();
  return 0;
}

// ---------------------------------------------------------------------------
// Regions

namespace {
int KindOf(const TRegion& r) {
  if (r.IsEmpty())
    return NULLREGION;
  return r.Rects().size() == 1 ? SIMPLEREGION : COMPLEXREGION;
}
}  // namespace

HRGN CreateRectRgn(int left, int top, int right, int bottom) {
  return new TRegion(Rect(left, top, right, bottom));
}

BOOL DeleteObject(HRGN region) {
  if (region == nullptr)
    return false;
  delete region;
  return true;
}

int CombineRgn(HRGN dest, HRGN a, HRGN b, int mode) {
  if (dest == nullptr || a == nullptr || (mode != RGN_COPY && b == nullptr))
    return RGN_ERROR;
  const QRegion& qa = a->Qt();
  QRegion result;
  switch (mode) {
    case RGN_AND:
      result = qa.intersected(b->Qt());
      break;
    case RGN_OR:
      result = qa.united(b->Qt());
      break;
    case RGN_XOR:
      result = qa.xored(b->Qt());
      break;
    case RGN_DIFF:
      result = qa.subtracted(b->Qt());
      break;
    case RGN_COPY:
      result = qa;
      break;
    default:
      return RGN_ERROR;
  }
  *dest = TRegion(result);
  return KindOf(*dest);
}

int SelectClipRgn(HDC dc, HRGN region) {
  if (dc == nullptr)
    return RGN_ERROR;
  dc->SelectClipRegion(region);
  return KindOf(dc->ClipRegion());
}

int ExcludeClipRect(HDC dc, int left, int top, int right, int bottom) {
  if (dc == nullptr)
    return RGN_ERROR;
  dc->ExcludeClipRect(Rect(left, top, right, bottom));
  return KindOf(dc->ClipRegion());
}

int IntersectClipRect(HDC dc, int left, int top, int right, int bottom) {
  if (dc == nullptr)
    return RGN_ERROR;
  dc->IntersectClipRect(Rect(left, top, right, bottom));
  return KindOf(dc->ClipRegion());
}

int GetClipBox(HDC dc, TRect* rect) {
  if (dc == nullptr || rect == nullptr)
    return RGN_ERROR;
  *rect = dc->ClipRect();
  return KindOf(dc->ClipRegion());
}

int GetClipRgn(HDC dc, HRGN region) {
  if (dc == nullptr || region == nullptr)
    return -1;
  if (!dc->HasClipRegion())
    return 0;
  *region = dc->ClipRegion();
  return 1;
}

BOOL RectVisible(HDC dc, const TRect* rect) {
  return dc != nullptr && rect != nullptr && dc->RectVisible(*rect);
}

// ---------------------------------------------------------------------------
// Text

void DrawCanvasText(TCanvas& c, int x, int y, const std::string& text, const TRect* clip,
                    int underlineIndex);
QFont QtFontOf(const TFont& font);

namespace {

struct TextLine {
  std::string text;    // UTF-8, prefixes removed
  int underline = -1;  // character index (in QString units) to underline
};

// Splits into lines and removes the accelerator prefixes.
std::vector<TextLine> LayoutLines(const std::string& text, UINT format, const QFontMetricsF& m,
                                  double width) {
  std::vector<std::string> raw;
  if ((format & DT_SINGLELINE) != 0) {
    std::string one;
    for (char ch : text) {
      if (ch != '\r' && ch != '\n')
        one += ch;
    }
    raw.push_back(one);
  } else {
    std::string cur;
    for (size_t i = 0; i < text.size(); ++i) {
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
        continue;
      if (text[i] == '\n' || text[i] == '\r') {
        raw.push_back(cur);
        cur.clear();
      } else {
        cur += text[i];
      }
    }
    raw.push_back(cur);
  }
  std::vector<TextLine> lines;
  for (const std::string& r : raw) {
    TextLine line;
    if ((format & DT_NOPREFIX) == 0) {
      std::string out;
      for (size_t i = 0; i < r.size(); ++i) {
        if (r[i] == '&' && i + 1 < r.size()) {
          ++i;
          if (r[i] != '&' && line.underline < 0)
            line.underline = ToQString(out).size();
        }
        out += r[i];
      }
      line.text = out;
    } else {
      line.text = r;
    }
    if ((format & DT_EXPANDTABS) != 0) {
      std::string expanded;
      for (char ch : line.text)
        expanded += ch == '\t' ? std::string(8, ' ') : std::string(1, ch);
      line.text = expanded;
    }
    if ((format & DT_WORDBREAK) != 0 && (format & DT_SINGLELINE) == 0 && width > 0) {
      // Break at spaces so that each piece fits (a word longer than the
      // width stays whole).
      std::string rest = line.text;
      int underline = line.underline;
      while (!rest.empty()) {
        const QString q = ToQString(rest);
        if (m.horizontalAdvance(q) <= width) {
          lines.push_back({rest, underline});
          break;
        }
        size_t cut = std::string::npos;
        for (size_t i = rest.size(); i-- > 0;) {
          if (rest[i] == ' ') {
            const std::string head = rest.substr(0, i);
            if (m.horizontalAdvance(ToQString(head)) <= width) {
              cut = i;
              break;
            }
          }
        }
        if (cut == std::string::npos) {
          cut = rest.find(' ');
          if (cut == std::string::npos) {
            lines.push_back({rest, underline});
            break;
          }
        }
        const std::string head = rest.substr(0, cut);
        const int headLen = ToQString(head).size();
        lines.push_back({head, underline < headLen ? underline : -1});
        underline = underline > headLen ? underline - headLen - 1 : -1;
        rest = rest.substr(cut + 1);
      }
      continue;
    }
    lines.push_back(line);
  }
  return lines;
}

}  // namespace

int DrawText(HDC dc, const std::string& text, TRect* rect, UINT format) {
  if (dc == nullptr || rect == nullptr)
    return 0;
  const QFontMetricsF m(QtFontOf(*dc->Font()));
  const int lineHeight = static_cast<int>(std::lround(m.ascent() + m.descent()));
  const std::vector<TextLine> lines = LayoutLines(text, format, m, rect->Width());
  int maxWidth = 0;
  std::vector<int> widths;
  for (const TextLine& l : lines) {
    const int w = static_cast<int>(std::lround(m.horizontalAdvance(ToQString(l.text))));
    widths.push_back(w);
    maxWidth = std::max(maxWidth, w);
  }
  // Positions are worked out in 64 bits and saturate at the 32-bit range.
  const int blockHeight =
      SaturatingAdd(int64_t{lineHeight} * static_cast<int64_t>(lines.size()), 0);
  if ((format & DT_CALCRECT) != 0) {
    rect->Right = SaturatingAdd(rect->Left, maxWidth);
    rect->Bottom = SaturatingAdd(rect->Top, blockHeight);
    return blockHeight;
  }
  int64_t y = rect->Top;
  if ((format & DT_SINGLELINE) != 0) {
    if ((format & DT_VCENTER) != 0)
      y = int64_t{rect->Top} + (int64_t{rect->Bottom} - rect->Top - lineHeight) / 2;
    else if ((format & DT_BOTTOM) != 0)
      y = int64_t{rect->Bottom} - lineHeight;
  }
  const TRect* clip = (format & DT_NOCLIP) != 0 ? nullptr : rect;
  for (size_t i = 0; i < lines.size() && y <= INT32_MAX; ++i) {
    int64_t x = rect->Left;
    if ((format & DT_CENTER) != 0)
      x = int64_t{rect->Left} + (int64_t{rect->Right} - rect->Left - widths[i]) / 2;
    else if ((format & DT_RIGHT) != 0)
      x = int64_t{rect->Right} - widths[i];
    if (y >= INT32_MIN && x >= INT32_MIN && x <= INT32_MAX)
      DrawCanvasText(*dc, static_cast<int>(x), static_cast<int>(y), lines[i].text, clip,
                     lines[i].underline);
    y += lineHeight;
  }
  return blockHeight;
}

// ---------------------------------------------------------------------------
// Edges

namespace {

// Restores a canvas brush's colour and style when it goes out of scope: the
// edge and frame drawings fill with the brush and leave it as they found it.
class BrushKeeper {
 public:
  explicit BrushKeeper(TBrush* brush)
      : brush_(brush), color_(brush->Color()), style_(brush->Style()) {
    brush_->SetStyle(bsSolid);
  }
  ~BrushKeeper() {
    brush_->SetColor(color_);
    brush_->SetStyle(style_);
  }
  BrushKeeper(const BrushKeeper&) = delete;
  BrushKeeper& operator=(const BrushKeeper&) = delete;

 private:
  TBrush* brush_;
  TColor color_;
  TBrushStyle style_;
};

// One pixel of edge: top and left in `tl`, bottom and right in `br`, on the
// chosen sides; shrinks the rectangle on those sides.
void EdgeRing(TCanvas& c, TRect& r, TColor tl, TColor br, UINT sides) {
  if (r.IsEmpty())
    return;
  TBrush* brush = c.Brush();
  const BrushKeeper keep(brush);
  auto fill = [&](const TRect& a, TColor col) {
    brush->SetColor(col);
    c.FillRect(a);
  };
  if (sides & BF_TOP)
    fill(Rect(r.Left, r.Top, r.Right, r.Top + 1), tl);
  if (sides & BF_LEFT)
    fill(Rect(r.Left, r.Top, r.Left + 1, r.Bottom), tl);
  if (sides & BF_BOTTOM)
    fill(Rect(r.Left, r.Bottom - 1, r.Right, r.Bottom), br);
  if (sides & BF_RIGHT)
    fill(Rect(r.Right - 1, r.Top, r.Right, r.Bottom), br);
  if (sides & BF_TOP)
    ++r.Top;
  if (sides & BF_LEFT)
    ++r.Left;
  if (sides & BF_BOTTOM)
    --r.Bottom;
  if (sides & BF_RIGHT)
    --r.Right;
}

}  // namespace

BOOL DrawEdge(HDC dc, TRect* rect, UINT edge, UINT flags) {
  if (dc == nullptr || rect == nullptr)
    return false;
  TRect r = *rect;
  const UINT sides = flags & BF_RECT;
  const bool flat = (flags & BF_FLAT) != 0, mono = (flags & BF_MONO) != 0;
  if (edge & (BDR_RAISEDOUTER | BDR_SUNKENOUTER)) {
    TColor tl = (edge & BDR_RAISEDOUTER) ? cl3DLight : clBtnShadow;
    TColor br = (edge & BDR_RAISEDOUTER) ? cl3DDkShadow : clBtnHighlight;
    if (flat)
      tl = br = clBtnShadow;
    if (mono)
      tl = br = clWindowFrame;
    EdgeRing(*dc, r, tl, br, sides);
  }
  if (edge & (BDR_RAISEDINNER | BDR_SUNKENINNER)) {
    TColor tl = (edge & BDR_RAISEDINNER) ? clBtnHighlight : cl3DDkShadow;
    TColor br = (edge & BDR_RAISEDINNER) ? clBtnShadow : cl3DLight;
    if (flat)
      tl = br = clBtnFace;
    if (mono)
      tl = br = clWindow;
    EdgeRing(*dc, r, tl, br, sides);
  }
  if (flags & BF_MIDDLE) {
    const BrushKeeper keep(dc->Brush());
    dc->Brush()->SetColor(mono ? clWindow : clBtnFace);
    dc->FillRect(r);
  }
  if (flags & BF_ADJUST)
    *rect = r;
  return true;
}

BOOL DrawFrameControl(HDC dc, TRect* rect, UINT type, UINT state) {
  if (dc == nullptr || rect == nullptr || type != DFC_SCROLL ||
      (state & 0xFF) != DFCS_SCROLLCOMBOBOX)
    return false;
  TRect r = *rect;
  TBrush* brush = dc->Brush();
  const BrushKeeper keep(brush);
  brush->SetColor(clBtnFace);
  dc->FillRect(r);
  TRect e = r;
  if (state & DFCS_FLAT) {
    brush->SetColor(clBtnShadow);
    dc->FrameRect(e);
    e = InflateRect(e, -1, -1);
  } else {
    DrawEdge(dc, &e, (state & DFCS_PUSHED) ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT | BF_ADJUST);
  }
  // A downward triangle: rows of width 7, 5, 3, 1 centred in the button.
  const int cx = e.Left + (e.Width() - 1) / 2 + ((state & DFCS_PUSHED) ? 1 : 0);
  const int cy = e.Top + (e.Height() - 4) / 2 + ((state & DFCS_PUSHED) ? 1 : 0);
  auto triangle = [&](int ox, int oy, TColor color) {
    brush->SetColor(color);
    for (int row = 0; row < 4; ++row)
      dc->FillRect(Rect(cx - 3 + row + ox, cy + row + oy, cx + 4 - row + ox, cy + row + oy + 1));
  };
  if (state & DFCS_INACTIVE) {
    triangle(1, 1, clBtnHighlight);
    triangle(0, 0, clBtnShadow);
  } else {
    triangle(0, 0, clBtnText);
  }
  return true;
}

BOOL DrawFocusRect(HDC dc, const TRect* rect) {
  if (dc == nullptr || rect == nullptr)
    return false;
  dc->DrawFocusRect(*rect);
  return true;
}
