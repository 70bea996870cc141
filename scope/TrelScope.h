// The scope control: live sample data drawn as traces.
//
// Three layers. TTrelDataDisplay is the generic display: the views list and
// the full-redraw flag, the off-screen picture, focus and mouse input, the
// zoom settings, flag and history lists, the in-control toolbar. TTrelDataChart
// adds the input pins, the X and Y axes, the legend, the title, the plot
// area, the refresh cycle and the range queries. TTrelScope adds the channel,
// cursor, cursor-link and marker-group collections, Vertical and SizeLimit.
//
// Life cycle. Made with Create<TTrelScope>(owner) (or by a stored
// description) on the main thread; a new scope has one channel. Loaded
// completes the input pins' pending placeholders. Freed by its owner:
// every input pin is unlinked first.
//
// The update cycle (main thread): the refresh timer calls UpdateAndRepaint
// every RefreshInterval ms: UpdateData applies the channels' recorded starts
// and stops (also while held), then, unless held, commits every channel whose
// data changed, hands the largest sample count to the X axis and lets both
// axes recompute their ranges (auto-scaling included); a repaint follows
// when a full redraw is pending. Painting draws the scene into the
// off-screen bitmap (DrawScene) and copies it out.
//
// Threads. Producers reach the scope only through the channels' input pins
// (TrelScopeChannel.h, TrelChannelData.h); they read SizeLimit and set the
// full-redraw flag, both atomic, and request no repaint. Everything else is
// main thread only.
//
// Ownership. The parts the getters return (views, toolbar, settings, axes,
// legend, title, the input pin list, collections, the off-screen bitmap)
// are made by the constructors, owned by the control and freed with it: the
// pointers are borrowed and stay valid for the control's life.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "Vek/VekPinList.h"
#include "platform/forms/Controls.h"
#include "platform/forms/ExtCtrls.h"
#include "platform/graphics/Bitmap.h"
#include "scope/TrelDisplayCollections.h"
#include "scope/TrelDisplayViews.h"
#include "scope/TrelScopeAxes.h"
#include "scope/TrelScopeChannel.h"
#include "scope/TrelScopeCursors.h"
#include "scope/TrelScopeLegend.h"
#include "scope/TrelScopeMarkers.h"
#include "scope/TrelScopeSettings.h"
#include "scope/TrelScopeToolBar.h"

enum TTrelZoomOperation : std::uint8_t { zoBack, zoForward, zoWheel, zoZoom, zoReset };
struct TTrelRealRanges {
  TTrelRealPoint Min;
  TTrelRealPoint Max;
};
using TTrelZoomChangedEvent =
    TMethod<void(TObject* Sender, TTrelZoomOperation ZoomOperation, TTrelRealRanges ZoomValues)>;
using TTrelOverChannelEvent = TMethod<void(TObject* Sender, int ChannelIndex, int BeginSampleIndex,
                                           int EndSampleIndex, double X, double Y)>;

class TTrelDataDisplay : public TCustomControl {
  KESTRUNE_CLASS(TTrelDataDisplay, TCustomControl)
  explicit TTrelDataDisplay(TComponent* owner);
  ~TTrelDataDisplay() override;
  void Loaded() override;

  // On a change of width or height, RedrawAll first.
  void SetBounds(int left, int top, int width, int height) override;
  virtual void Redraw() { Invalidate(); }
  // Sets the full-redraw flag and repaints.
  virtual void RedrawAll();
  void SetFullRedraw() { full_redraw_.store(true, std::memory_order_release); }
  bool FullRedrawPending() const { return full_redraw_.load(std::memory_order_acquire); }
  std::atomic<bool>& FullRedrawCell() { return full_redraw_; }

  // One commit pass; returns the full-redraw flag.
  virtual bool UpdateData() = 0;
  // UpdateData, then Invalidate when it returned true.
  void UpdateAndRepaint();
  // A change runs one UpdateData (which, held, applies starts and stops
  // only) and repaints.
  void SetHold(bool value);
  bool IsHeld() const { return hold_; }
  virtual bool IsUpdateSuspended();
  bool IsZoomed() const { return zoomed_; }
  void SetZoomedFlag(bool v) { zoomed_ = v; }
  bool CanZoomBack() const { return undo_.HasItems(); }
  bool CanZoomForward() const { return redo_.HasItems(); }
  int GetDrawWidth() const { return printing_ ? print_width_ : Width(); }
  int GetDrawHeight() const { return printing_ ? print_height_ : Height(); }
  virtual bool IsVertical() { return false; }
  virtual bool IsVerticalReversed() { return false; }
  bool IsDesigning() const { return ComponentState().Contains(csDesigning); }

  // Zoom (the chart holds the ranges). ZoomReset, the ZoomBy and ZoomToRange
  // family and ZoomAtPoint store the state before them on the undo list and
  // empty the redo list (with storeHistory false they store nothing), then
  // end with DoZoomChanged. ZoomBack and ZoomForward move the state between
  // the two lists and end with DoZoomChanged. SetZoomRange and Unzoom only
  // set the view: no history, no notification.
  virtual double GetViewXMin() = 0;
  virtual double GetViewXMax() = 0;
  virtual double GetViewYMin() = 0;
  virtual double GetViewYMax() = 0;
  virtual void SetZoomRange(double xMin, double xMax, double yMin, double yMax) = 0;
  virtual void Unzoom() = 0;
  virtual void PushZoomHistory(bool fromWheel) = 0;
  virtual void ZoomByFactors(bool storeHistory, double factorX, double factorY) = 0;
  virtual void ZoomAtPoint(TPoint point, double factorX, double factorY) = 0;
  virtual void ZoomToRangeEx(bool storeHistory, double xMin, double xMax, double yMin,
                             double yMax) = 0;
  virtual void ZoomBack() = 0;
  virtual void ZoomForward() = 0;
  virtual void ZoomReset();
  void ZoomBy(double factor) { ZoomByFactor(true, factor); }
  void ZoomByFactor(bool storeHistory, double factor) {
    ZoomByFactors(storeHistory, factor, factor);
  }
  void ZoomByXY(double factorX, double factorY) { ZoomByFactors(true, factorX, factorY); }
  void ZoomToRange(double xMin, double xMax, double yMin, double yMax) {
    ZoomToRangeEx(true, xMin, xMax, yMin, yMax);
  }
  virtual void ClearZoomHistory();
  // RedrawAll, then OnZoomChanged with the operation and the view's ranges.
  void DoZoomChanged(TTrelZoomOperation operation);

  // Picture output: the scene without the toolbar, drawn for the printer,
  // the clipboard or a file. Errors of the printer, the clipboard and the
  // file system pass to the caller; nothing is left behind.
  virtual std::string GetDocumentTitle() { return "Unknown"; }
  // The scene onto `canvas`, GetDrawWidth x GetDrawHeight.
  virtual void DrawToCanvas(TCanvas* canvas) { (void)canvas; }
  // One page on the printer, laid out for the page's physical size at
  // screen resolution and stretched over the printable page. Raises
  // EPrinter when the printer's resolution is unknown; the print job is
  // ended and the screen layout restored on every exit.
  virtual void Print();
  // Width x Height with the layout of the last screen paint.
  void CopyToClipboard();
  void SaveToBitmapFile(const std::string& fileName);
  void SaveToJpegFile(const std::string& fileName);
  bool IsPrinting() const { return printing_; }

  std::vector<TTrelDisplayView*>& Views() { return views_; }
  TTrelDisplayToolBar* GetToolBar() const { return tool_bar_; }
  TTrelDisplayZoom* GetZooming() const { return zooming_; }
  TTrelZoomChangedEvent OnZoomChanged;

  // Draws the scene into the off-screen bitmap (Picture), first sized to
  // the control; while printing it draws nothing. Paint calls it, then
  // copies the bitmap to the control's canvas.
  virtual void PaintTo() = 0;
  // Owned by the display and freed with it.
  TBitmap* Picture() const { return bitmap_; }
  // A canvas for measuring text (the off-screen bitmap's).
  TCanvas* MeasureCanvas() { return bitmap_->Canvas(); }

  // Input, as the window system hands it (client coordinates; the wheel's
  // position in screen coordinates). Public so that tests can drive them.
  void MouseMove(TShiftState shift, int x, int y) override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  virtual void MouseEnter();
  virtual void MouseLeave();
  bool DoMouseWheelDown(TShiftState shift, TPoint mousePos) override;
  bool DoMouseWheelUp(TShiftState shift, TPoint mousePos) override;
  // The wheel at a client position: the views under it, then the zoom.
  void WheelAt(TShiftState shift, TPoint clientPos, bool down);
  void KeyPress(char& key) override;
  bool MouseInsideControl() const { return mouse_inside_; }
  // The published Cursor: the control's cursor, remembered as the
  // display's own.
  TCursor GetCursor() const { return saved_cursor_; }
  void SetCursor(TCursor cursor) {
    saved_cursor_ = cursor;
    TControl::SetCursor(cursor);
  }
  // The control's cursor, leaving the display's own as it is.
  void SetControlCursor(TCursor cursor) { TControl::SetCursor(cursor); }
  // The display's own cursor back on the control.
  void RestoreControlCursor() { TControl::SetCursor(saved_cursor_); }

  // The property dialog at a page (0 channels, 1 marker groups, 2 cursors,
  // 3 cursor links) and an item of it; nothing here.
  virtual void ShowProperties(int pageIndex, int itemIndex) { (void)pageIndex, (void)itemIndex; }
  void OpenProperties() { ShowProperties(0, 0); }

  virtual TTrelScopeDataView* GetDataView() = 0;

 protected:
  // The paint cycle: the scene into the off-screen picture, copied to the
  // back buffer. The background is never erased first.
  void Paint() override;
  void EraseBackground(TCanvas* canvas) override { (void)canvas; }
  void WMSetFocus() override;
  void WMKillFocus() override;
  void CMMouseLeave(TControl* control) override;
  // Catches a pointer that left without a leave notification.
  void LeaveTimer(TObject*);
  TTimer* leave_timer_ = nullptr;
  // The views in paint order, owned.
  std::vector<TTrelDisplayView*> views_;
  void AddView(TTrelDisplayView* view) { views_.push_back(view); }
  void RepaintToolBarIfShown();

  std::atomic<bool> full_redraw_{true};
  bool printing_ = false;
  int print_width_ = 0;
  int print_height_ = 0;
  bool mouse_inside_ = false;
  bool over_tool_bar_ = false;
  bool hold_ = false;
  bool zoomed_ = false;
  TCursor saved_cursor_ = crDefault;
  TTrelDisplayToolBar* tool_bar_ = nullptr;
  TTrelDisplayZoom* zooming_ = nullptr;
  TTrelDisplayZoomList undo_;
  TTrelDisplayZoomList redo_;
  TBitmap* bitmap_ = nullptr;
};

class TTrelScopeChannels;

class TTrelDataChart : public TTrelDataDisplay {
  KESTRUNE_CLASS(TTrelDataChart, TTrelDataDisplay)
  explicit TTrelDataChart(TComponent* owner);
  ~TTrelDataChart() override;
  void BeforeDestruction() override;
  void Loaded() override;

  TVekPinList* GetInputPins() const { return input_pins_; }
  TTrelScopeXAxis* GetXAxis() const { return x_axis_; }
  TTrelScopeYAxis* GetYAxis() const { return y_axis_; }
  TTrelScopeLegendView* GetLegend() const { return legend_; }
  TTrelDisplayTitle* GetTitle() const { return title_; }
  TTrelScopeDataView* GetDataView() override { return data_view_; }
  TTrelDisplayTrails* GetTrails() const { return trails_; }
  TTrelDisplayHighlighting* GetHighlighting() const { return highlighting_; }
  std::uint32_t GetRefreshInterval() const { return refresh_timer_->Interval(); }
  void SetRefreshInterval(std::uint32_t ms) { refresh_timer_->SetInterval(ms); }
  TTrelOverChannelEvent OnOverChannel;
  TNotifyEvent OnLeaveChannel;

  // The Y mapping (offset, scale) of max..min.
  TTrelAxisMapping YValueToPixelParams(double max, double min);

  // Zoom on the axes' windows (every operation through the axes'
  // SetZoomWindowDirect, so the 0.0001 floor holds on both).
  double GetViewXMin() override { return x_axis_->RangeMin(); }
  double GetViewXMax() override { return x_axis_->RangeMax(); }
  double GetViewYMin() override { return y_axis_->RangeMin(); }
  double GetViewYMax() override { return y_axis_->RangeMax(); }
  void SetZoomRange(double xMin, double xMax, double yMin, double yMax) override;
  void Unzoom() override;
  // A wheel push is dropped while the last push came from the wheel too.
  void PushZoomHistory(bool fromWheel) override;
  void ClearZoomHistory() override;
  void ZoomByFactors(bool storeHistory, double factorX, double factorY) override;
  // Keeps the values under `point` in place; acts only with
  // Zooming.MouseWheelEnabled.
  void ZoomAtPoint(TPoint point, double factorX, double factorY) override;
  // With Zooming.HoldOnZoom the display is held first.
  void ZoomToRangeEx(bool storeHistory, double xMin, double xMax, double yMin,
                     double yMax) override;
  void ZoomBack() override;
  void ZoomForward() override;
  // The plot area's selection from `anchor` to `release` becomes the view
  // (a zoom to range); one under 5 pixels both ways, or one whose range
  // cannot be computed, only redraws.
  void ZoomToSelection(TPoint anchor, TPoint release);

  // The scene into `canvas` (picture: no toolbar), clipped to `region`.
  void DrawScene(TCanvas* canvas, bool picture, const TRegion& region);
  // Computes every view's rectangle when a full redraw is pending.
  void LayoutViews();
  // The largest displayed sample count of the visible channels, to the X
  // axis.
  virtual void UpdateXSampleCount() {}
  // The scene's passes over the cursor links (0: their selections, before
  // the views; 1: their measurement lines, after the cursors) and the
  // cursors.
  virtual void DrawCursorLinks(TCanvas* canvas, int pass) { (void)canvas, (void)pass; }
  virtual void DrawCursors(TCanvas* canvas) { (void)canvas; }
  // Every cursor re-applies its limits and snapping.
  virtual void RefreshCursorPositions() {}

  virtual bool HasSpectrumChannel() = 0;
  virtual bool HasIntensityChannel() = 0;
  virtual double GetSampleRate() = 0;
  double GetFrequencyStart() { return 0.0; }
  double GetFrequencyEnd();
  double GetTimeStart() { return 0.0; }
  double GetTimeEnd();
  virtual double GetSampleStart() { return 0.0; }
  virtual double GetSampleEnd() { return x_axis_->SampleCount() - 1.0; }
  void ResetTimeRangeCache() { time_valid_ = false; }
  // The time and frequency ends (the X axis clears them with its cache).
  void ResetDataCachesOfRanges() {
    time_valid_ = false;
    frequency_valid_ = false;
  }
  virtual void ResetDataCaches() { ResetDataCachesOfRanges(); }
  // The data the axes range over changed: both axes' caches are cleared.
  // The update cycle does this once after its commits and starts; a channel
  // whose data is replaced outside it (Assign) calls it.
  void AxesDataChanged() {
    x_axis_->ClearCache();
    y_axis_->ClearCache();
  }
  virtual void ResetHistory() { Invalidate(); }

  // The hit-point label of the plot area's hit values.
  virtual std::string FormatHitPointLabel();
  // Label macros: %X and %Y by the axes' formatters, %D the default.
  virtual std::string FormatLabel(const std::string& text, const std::string& defaultText, double x,
                                  double y);
  std::string FormatValueLabel(const std::string& label, const std::string& defaultText,
                               const std::string& valueText);
  // The inverse of the Y mapping at `position` inside `rect`.
  double PixelToValue(int position, const TRect& rect, double max, double min);
  double GetMouseValue(const TRect& rect, double max, double min);
  // The plot area's hover state changed: refresh it, repaint.
  void DataViewChanged();
  virtual TTrelScopeChannels* GetChannelCollection() = 0;

 protected:
  void SettingRepaint(TObject*) { Invalidate(); }
  void RefreshTimer(TObject*) { UpdateAndRepaint(); }
  TTimer* refresh_timer_ = nullptr;
  void HighlightingChanged(TObject*) { DataViewChanged(); }

  TVekPinList* input_pins_ = nullptr;
  TTrelDisplayTitle* title_ = nullptr;
  TTrelScopeLegendView* legend_ = nullptr;
  TTrelScopeXAxis* x_axis_ = nullptr;
  TTrelScopeYAxis* y_axis_ = nullptr;
  TTrelScopeDataView* data_view_ = nullptr;
  TTrelDisplayTrails* trails_ = nullptr;
  TTrelDisplayHighlighting* highlighting_ = nullptr;
  bool frequency_valid_ = false;
  double frequency_end_ = 0.0;
  bool history_push_guard_ = false;
  bool time_valid_ = false;
  double time_end_ = 0.0;
};

class TTrelScope : public TTrelDataChart {
  KESTRUNE_CLASS(TTrelScope, TTrelDataChart)
  explicit TTrelScope(TComponent* owner);
  ~TTrelScope() override;
  void AfterConstruction() override;
  void BeforeDestruction() override;
  // A description without channels gets the one a new scope has; completes
  // the input pins' placeholders; a stored Y range with Min = Max becomes
  // -Max .. Max; the markers read take their stored groups.
  void Loaded() override;

  // Dropped while a channel's OnChannelDraw runs.
  void Invalidate() override;
  void RedrawAll() override;

  bool UpdateData() override;
  void PaintTo() override;
  void DrawToCanvas(TCanvas* canvas) override;
  // Holds the display while printing; the hold state before is back on
  // every exit.
  void Print() override;
  void UpdateXSampleCount() override;
  bool IsVertical() override { return vertical_; }
  bool IsVerticalReversed() override { return vertical_ && y_axis_->GetReversed(); }
  bool HasSpectrumChannel() override;
  bool HasIntensityChannel() override;
  double GetSampleRate() override;
  double GetSampleStart() override;
  double GetSampleEnd() override;
  void ResetDataCaches() override;
  void ResetHistory() override;
  TTrelScopeChannels* GetChannelCollection() override { return channels_; }

  TTrelScopeChannels* GetChannels() const { return channels_; }
  TTrelDisplayCursors* GetCursors() const { return cursors_; }
  TTrelDisplayCursorLinks* GetCursorLinks() const { return cursor_links_; }
  TTrelScopeMarkerGroups* GetMarkerGroups() const { return marker_groups_; }
  bool GetVertical() const { return vertical_; }
  void SetVertical(bool v);
  std::uint32_t GetSizeLimit() const { return size_limit_.load(std::memory_order_acquire); }
  // Stored; a new non-zero limit cuts every channel's waiting samples to the
  // newest SizeLimit under that channel's IntakeLock.
  void SetSizeLimit(std::uint32_t v);
  const std::atomic<std::uint32_t>& SizeLimitCell() const { return size_limit_; }
  void SetChannelDrawFlag(bool on) { channel_draw_ = on; }
  // The last marker group, made when there is none.
  TTrelScopeMarkerGroup* GetLastMarkerGroup();
  void RefreshCursorPositions() override;
  void DrawCursorLinks(TCanvas* canvas, int pass) override;
  void DrawCursors(TCanvas* canvas) override;
  // Leaves the mouse-over state, releases the toolbar's buttons and shows
  // the property dialog (TrelScopeProperties.h) modally, its right edge 20
  // pixels in from the scope's right edge and its top 20 pixels below the
  // scope's top; the dialog is freed on every exit. A dialog that cannot be
  // built raises (TrelScopeProperties.h) and shows nothing.
  void ShowProperties(int pageIndex, int itemIndex) override;

 private:
  TTrelScopeChannels* channels_ = nullptr;
  TTrelDisplayCursors* cursors_ = nullptr;
  TTrelDisplayCursorLinks* cursor_links_ = nullptr;
  TTrelScopeMarkerGroups* marker_groups_ = nullptr;
  bool kind_valid_ = false;
  bool kind_spectrum_ = false;
  bool kind_intensity_ = false;
  bool rate_valid_ = false;
  double rate_ = 0.0;
  bool channel_draw_ = false;
  bool vertical_ = false;
  std::atomic<std::uint32_t> size_limit_{0};
};

// Draws `bitmap` stretched (pixels replicated, no smoothing) to w x h at
// (x, y) of `canvas`.
void StretchBitmap(TCanvas* canvas, int x, int y, TBitmap* bitmap, int h, int w);

// Registers the published properties of the scope's classes.
void RegisterTrelScopeClasses();
