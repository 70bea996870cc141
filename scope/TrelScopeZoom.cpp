// Zoom: the chart's operations on its axes' zoom windows and the undo and
// redo history (TrelScope.h).
//
// A zoom whose formula would divide by zero (a plot area without extent
// along an axis, a logarithmic range whose ends have the same signed
// logarithm) does nothing: no history, no notification, no bound that is
// not finite handed to an axis.
#include <cmath>
#include <cstdlib>

#include "scope/TrelScope.h"
#include "scope/TrelScopeRoutines.h"

namespace {

bool Finite(double a, double b) {
  return std::isfinite(a) && std::isfinite(b);
}

// An axis's extent on screen: from S to E along the axis's direction.
struct TScreenSpan {
  int Start;
  int End;
};

}  // namespace

void TTrelDataDisplay::ZoomReset() {
  PushZoomHistory(false);
  Unzoom();
  DoZoomChanged(zoReset);
}

void TTrelDataChart::SetZoomRange(double xMin, double xMax, double yMin, double yMax) {
  x_axis_->SetZoomWindowDirect(xMin, xMax);
  y_axis_->SetZoomWindowDirect(yMin, yMax);
  zoomed_ = true;
  Invalidate();
}

void TTrelDataChart::Unzoom() {
  zoomed_ = false;
  Invalidate();
  for (TTrelDisplayAxis* axis :
       {static_cast<TTrelDisplayAxis*>(x_axis_), static_cast<TTrelDisplayAxis*>(y_axis_)}) {
    axis->InvalidateStep();
    axis->ClearCache();
  }
}

void TTrelDataChart::PushZoomHistory(bool fromWheel) {
  if (fromWheel && history_push_guard_)
    return;
  history_push_guard_ = fromWheel;
  undo_.Push(GetViewXMin(), GetViewXMax(), GetViewYMin(), GetViewYMax(), zoomed_);
  redo_.Clear();
}

void TTrelDataChart::ClearZoomHistory() {
  inherited::ClearZoomHistory();
  history_push_guard_ = false;
}

void TTrelDataChart::ZoomByFactors(bool storeHistory, double factorX, double factorY) {
  if (storeHistory)
    PushZoomHistory(false);
  y_axis_->ZoomByFactor(factorY);
  x_axis_->ZoomByFactor(factorX);
  zoomed_ = true;
  Invalidate();
  DoZoomChanged(zoZoom);
}

void TTrelDataChart::ZoomAtPoint(TPoint point, double factorX, double factorY) {
  if (!zooming_->MouseWheelEnabled)
    return;
  const TRect plot = data_view_->PlotRect();
  const bool vertical = IsVertical();
  const TScreenSpan alongX = {plot.Left, plot.Right};
  const TScreenSpan alongY = {plot.Top, plot.Bottom};
  // The new window of one axis; false when it cannot be computed. `sign` is
  // +1 where the axis's values grow along its screen direction, -1 where
  // they grow against it.
  auto scaled = [](const TScreenSpan& span, double p, double lo, double hi, double factor,
                   double sign, double& newLo, double& newHi) {
    // In doubles, which hold any difference of two 32-bit coordinates
    // exactly: the pointer may lie anywhere.
    const double start = span.Start, end = span.End;
    const double half = (end - start) / 2.0;
    const double t = ((p - start) - half) / half;
    const double range = hi - lo;
    const double d = (range * factor - range) / 2.0;
    const double s = sign * (range * t / 2.0 - range * t * factor / 2.0);
    newLo = lo - d + s;
    newHi = hi + d + s;
    return half != 0.0 && Finite(newLo, newHi);
  };
  double xLo = 0.0, xHi = 0.0, yLo = 0.0, yHi = 0.0;
  // Pixel y grows downward while values grow upward, and a turned Y axis
  // runs its values leftward; a reversed one runs them the other way.
  const double ySign = y_axis_->GetReversed() ? 1.0 : -1.0;
  const bool ok = scaled(vertical ? alongY : alongX, vertical ? point.Y : point.X, GetViewXMin(),
                         GetViewXMax(), factorX, 1.0, xLo, xHi) &&
                  scaled(vertical ? alongX : alongY, vertical ? point.X : point.Y, GetViewYMin(),
                         GetViewYMax(), factorY, ySign, yLo, yHi);
  if (!ok)
    return;
  PushZoomHistory(true);
  x_axis_->SetZoomWindowDirect(xLo, xHi);
  y_axis_->SetZoomWindowDirect(yLo, yHi);
  zoomed_ = true;
  Invalidate();
  DoZoomChanged(zoWheel);
}

void TTrelDataChart::ZoomToRangeEx(bool storeHistory, double xMin, double xMax, double yMin,
                                   double yMax) {
  if (storeHistory)
    PushZoomHistory(false);
  if (zooming_->HoldOnZoom)
    SetHold(true);
  SetZoomRange(xMin, xMax, yMin, yMax);
  DoZoomChanged(zoZoom);
}

namespace {

// Re-applies a history entry.
void ApplyZoomEntry(TTrelDataChart* chart, double xMin, double xMax, double yMin, double yMax,
                    bool zoomed) {
  if (zoomed)
    chart->SetZoomRange(xMin, xMax, yMin, yMax);
  else
    chart->Unzoom();
}

}  // namespace

void TTrelDataChart::ZoomBack() {
  history_push_guard_ = false;
  redo_.Push(GetViewXMin(), GetViewXMax(), GetViewYMin(), GetViewYMax(), zoomed_);
  double xMin, xMax, yMin, yMax;
  bool zoomed;
  if (!undo_.Pop(xMin, xMax, yMin, yMax, zoomed))
    return;
  ApplyZoomEntry(this, xMin, xMax, yMin, yMax, zoomed);
  DoZoomChanged(zoBack);
}

void TTrelDataChart::ZoomForward() {
  undo_.Push(GetViewXMin(), GetViewXMax(), GetViewYMin(), GetViewYMax(), zoomed_);
  double xMin, xMax, yMin, yMax;
  bool zoomed;
  if (!redo_.Pop(xMin, xMax, yMin, yMax, zoomed))
    return;
  ApplyZoomEntry(this, xMin, xMax, yMin, yMax, zoomed);
  DoZoomChanged(zoForward);
}

void TTrelDataChart::ZoomToSelection(TPoint anchor, TPoint release) {
  // The drag's extent in 64 bits: the two ends may lie anywhere.
  if (std::abs(int64_t{release.X} - anchor.X) < 5 && std::abs(int64_t{release.Y} - anchor.Y) < 5) {
    RedrawAll();
    return;
  }
  const TRect plot = data_view_->PlotRect();
  const bool vertical = IsVertical();
  // The X axis runs along x (y when turned), the Y axis the other way.
  const int xLowEdge = vertical ? plot.Top : plot.Left;
  const int xHighEdge = vertical ? plot.Bottom : plot.Right;
  const int yLowEdge = vertical ? plot.Left : plot.Top;
  const int yHighEdge = vertical ? plot.Right : plot.Bottom;
  const int xa = vertical ? anchor.Y : anchor.X, xb = vertical ? release.Y : release.X;
  const int ya = vertical ? anchor.X : anchor.Y, yb = vertical ? release.X : release.Y;
  const double xSelLow = std::min(xa, xb), xSelHigh = std::max(xa, xb);
  const double ySelLow = std::min(ya, yb), ySelHigh = std::max(ya, yb);
  const double height = vertical ? data_view_->GetWidth() : data_view_->GetHeight();
  const double L = xLowEdge, Rt = xHighEdge, T = yLowEdge, B = yHighEdge;

  const double xMin = GetViewXMin(), xMax = GetViewXMax();
  const double yMin = GetViewYMin(), yMax = GetViewYMax();
  const double dX = (xMax - xMin) / (Rt - L);
  const double newXMin = xMin + (xSelLow - L) * dX;
  const double newXMax = xMax + (xSelHigh + 1 - Rt) * dX;
  double newYMin = 0.0, newYMax = 0.0;
  const bool reversed = y_axis_->GetReversed();
  bool ok = Rt != L;
  if (!y_axis_->GetLogarithmic()) {
    const double dY = (yMax - yMin) / (B - T);
    ok = ok && B != T;
    if (!reversed) {
      newYMax = yMax - (ySelLow - T) * dY;
      newYMin = yMin - ((ySelHigh + 1 - T) - height) * dY;
    } else {
      newYMax = yMax - (B - ySelLow) * dY;
      newYMin = yMin - (T - ySelHigh) * dY;
    }
  } else {
    const double l0 = SignedLog10(yMin), l1 = SignedLog10(yMax);
    ok = ok && l1 != l0;
    // The logarithmic zero's distance from the start edge.
    const double z = ok ? RoundSaturated(height * l1 / (l1 - l0)) : 0.0;
    ok = ok && z != 0.0 && height - z != 0.0;
    if (ok && !reversed) {
      newYMax = InverseSignedLog10((z - (ySelLow - T)) * l1 / z);
      newYMin = InverseSignedLog10(((ySelHigh + 1 - z) - T) * l0 / (height - z));
    } else if (ok) {
      newYMax = InverseSignedLog10((z - (B - ySelLow)) * l1 / z);
      newYMin = InverseSignedLog10(((1 - ySelHigh) - z + B) * l0 / (height - z));
    }
  }
  if (!ok || !Finite(newXMin, newXMax) || !Finite(newYMin, newYMax)) {
    RedrawAll();
    return;
  }
  ZoomToRange(newXMin, newXMax, newYMin, newYMax);
}
