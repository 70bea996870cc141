// The scope's axes: one vertical (TTrelScopeYAxis, the values) and one
// horizontal (TTrelScopeXAxis, samples, time or frequency), each a view of
// the chart that draws its strip beside the plot area and supplies what the
// other drawing needs: the displayed range, the value-to-pixel mapping
// (TrelAxisRules.h), label texts and the tick positions.
//
// Ranges are cached: ten quantities per axis (DataMin/Max, RangeMin/Max,
// TickMin/Max, TraceMin/Max, LabelMin/Max), each computed on first use after
// ClearCache. The chart clears both caches on every update that brought
// data or a start; setters clear them and ask for a full redraw. Clearing
// the X axis's cache clears the Y axis's too: the Y extent is taken over
// the X axis's sample window. The Y axis also keeps the vertical
// auto-scaling: the extent of the visible channels remembered over the last
// MaxHistory updates, widened by margins and held by a hysteresis threshold.
//
// When the scope's Vertical is set the chart turns by a quarter: the X axis
// runs vertically, the Y axis horizontally.
//
// Main thread only. Made by the chart's constructor, freed with its views.
// Every part a getter returns (font, title label, tick settings, toolbar,
// cursor settings, auto-scaling, the X axis's values) is owned by its axis
// and freed with it; the part-valued setters copy the given part in.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "scope/TrelDisplayViews.h"
#include "scope/TrelScopeToolBar.h"

using TTrelCustomStepEvent =
    TMethod<void(TObject* Sender, double SampleValue, double& Step, bool& Draw)>;
using TTrelCustomAxisLabelEvent =
    TMethod<void(TObject* Sender, double SampleValue, std::string& AxisLabel)>;

enum TTrelDisplayAxisTicksMode : std::uint8_t {
  atmAuto,
  atmBufferSamples,
  atmFrequency,
  atmIntensity,
  atmTime,
  atmManual
};

class TTrelOptionalAxis : public TTrelOptionalView {
  KESTRUNE_CLASS(TTrelOptionalAxis, TTrelOptionalView)
  explicit TTrelOptionalAxis(TTrelDataChart* chart);

  virtual bool IsLogarithmic() { return false; }
  virtual int GetPixelLength() = 0;
  virtual double GetRange(bool logarithmic) = 0;
  // The text height of "Xg" in the axis font.
  virtual int GetLabelExtent();
  virtual int GetMinTickSpacing() = 0;
  virtual void SetZoomWindow(bool pushHistory, double a, double b) {
    (void)pushHistory, (void)a, (void)b;
  }
  virtual void GetZoomWindow(double& min, double& max) { (void)min, (void)max; }
  virtual TFont* GetFont() = 0;

  // Forces the next tick pass to compute the automatic step again.
  void InvalidateStep() { step_valid_ = false; }
  TTrelDataChart* Chart() const { return chart_; }

 protected:
  // A canvas for measuring text, holding the axis font.
  TCanvas* MeasureCanvas();

  TTrelDataChart* chart_;
  // The automatic-step cache.
  double step_range_ = 0.0;
  int step_length_ = 0;
  bool step_log_ = false;
  double step_ = 1.0;
  bool step_valid_ = false;
};

class TTrelTrackingOptionalAxis : public TTrelOptionalAxis {
  KESTRUNE_CLASS(TTrelTrackingOptionalAxis, TTrelOptionalAxis)
  explicit TTrelTrackingOptionalAxis(TTrelDataChart* chart);
  ~TTrelTrackingOptionalAxis() override;

  virtual double GetMajorStep() = 0;
  // The tick settings or the font changed: step invalid, full redraw.
  virtual void TicksChanged();
  virtual bool RunsVertically() = 0;
  virtual bool GetReversed() { return false; }

  bool GetTrackCursor() const { return track_cursor_; }
  void SetTrackCursor(bool v);
  TColor GetTrackColor() const { return track_color_; }
  void SetTrackColor(TColor v);
  TTrelMajorTicks* GetMajorTicks() const { return major_ticks_; }
  TTrelMinorTicks* GetMinorTicks() const { return minor_ticks_; }
  void SetMajorTicks(TTrelMajorTicks* v) { major_ticks_->Assign(v); }
  void SetMinorTicks(TTrelMinorTicks* v) { minor_ticks_->Assign(v); }
  TTrelCustomStepEvent OnCustomStep;

 protected:
  void TickSettingChanged(TObject*) { TicksChanged(); }
  bool track_cursor_ = true;
  TColor track_color_ = clRed;
  TTrelMajorTicks* major_ticks_;
  TTrelMinorTicks* minor_ticks_;
  bool mouse_over_chart_ = false;
};

// The cached range quantities, by index.
enum class TTrelAxisQuantity {
  DataMin,
  DataMax,
  RangeMin,
  RangeMax,
  TickMin,
  TickMax,
  TraceMin,
  TraceMax,
  LabelMin,
  LabelMax,
  Count
};

// A tick painter: (canvas, tick).
using TTrelTickPainter = std::function<void(TCanvas*, const TTrelTick&)>;

class TTrelDisplayAxis : public TTrelTrackingOptionalAxis {
  KESTRUNE_CLASS(TTrelDisplayAxis, TTrelTrackingOptionalAxis)
  explicit TTrelDisplayAxis(TTrelDataChart* chart);
  ~TTrelDisplayAxis() override;

  // The mapping (offset, scale) of max..min on this axis (TrelAxisRules.h).
  virtual TTrelAxisMapping GetMapping(double max, double min);
  // The axis toolbar's buttons: the chart zooms this axis by 0.5 or 2.0.
  virtual void ZoomIn();
  virtual void ZoomOut();
  // The window (min(a, b), max(a, b), at least 0.0001 wide), with a history
  // entry when asked; sets the chart's zoomed flag and notifies.
  void SetZoomWindow(bool pushHistory, double a, double b) override;
  void GetZoomWindow(double& min, double& max) override;
  // The chart's own zoom operations: the window without history or flag.
  void SetZoomWindowDirect(double a, double b);
  // Scales the shown range by `factor` about its middle into the window
  // (the Y axis's LabelMin..LabelMax, the X axis's RangeMin..RangeMax: the
  // units of its window).
  virtual void ZoomByFactor(double factor);
  virtual void TickMinShifted(double delta) { (void)delta; }
  virtual void TickMaxShifted(double delta) { (void)delta; }
  virtual std::string GetTitle() { return axis_label_->GetText(); }
  // Marks all ten quantities invalid.
  virtual void ClearCache();
  // The label text of a value.
  virtual std::string FormatLabel(double value);
  // Step invalid, full redraw.
  virtual void SettingsChanged();

  double DataMin() { return Cached(TTrelAxisQuantity::DataMin); }
  double DataMax() { return Cached(TTrelAxisQuantity::DataMax); }
  double RangeMin() { return Cached(TTrelAxisQuantity::RangeMin); }
  double RangeMax() { return Cached(TTrelAxisQuantity::RangeMax); }
  double TickMin() { return Cached(TTrelAxisQuantity::TickMin); }
  double TickMax() { return Cached(TTrelAxisQuantity::TickMax); }
  double TraceMin() { return Cached(TTrelAxisQuantity::TraceMin); }
  double TraceMax() { return Cached(TTrelAxisQuantity::TraceMax); }
  double LabelMin() { return Cached(TTrelAxisQuantity::LabelMin); }
  double LabelMax() { return Cached(TTrelAxisQuantity::LabelMax); }

  TColor GetColor() const { return color_; }
  void SetColor(TColor v);
  TFont* GetFont() override { return font_; }
  TFont* GetAxisFont() const { return font_; }
  void SetFont(TFont* f) { font_->Assign(f); }
  TTrelAxisToolBar* GetToolBar() const { return tool_bar_; }
  TTrelDisplayLabel* GetAxisLabel() const { return axis_label_; }
  int GetPrecision() const { return precision_; }
  // Clamped to 0..18.
  void SetPrecision(int v);
  bool GetFixedPrecision() const { return fixed_precision_; }
  void SetFixedPrecision(bool v);
  bool GetReversed() override { return reversed_; }
  virtual void SetReversed(bool v);
  TTrelDisplayAxisCursorSettings* GetCursorSettings() const { return cursor_settings_; }
  TTrelCustomAxisLabelEvent OnCustomLabel;

  // The axis's range as the tick walk and the label digits see it.
  virtual double WalkHigh() = 0;
  virtual double WalkLow() = 0;
  // Walks the ticks of WalkLow..WalkHigh with `mapping`, handing each to
  // `painter` (the grid's or the strip's).
  void WalkTicks(TCanvas* canvas, const TTrelAxisMapping& mapping, const TTrelTickPainter& painter);
  double GetMajorStep() override;
  int GetMinTickSpacing() override;
  int GetLabelExtent() override;
  double GetRange(bool logarithmic) override;

  void CalcSize(int& width, int& height) override;
  void Paint(const TTrelPaintContext& context) override;
  void PaintSkipped(const TTrelPaintContext& context) override;
  // Also repaints the toolbar while the pointer is over it or leaves a
  // highlighted button.
  void MouseMove(TShiftState shift, int x, int y) override;
  // A left press inside the strip goes to the visible toolbar first; one it
  // does not take starts a drag of the zoomed range.
  void MouseDown(TMouseButton button, TShiftState shift, bool inRect, int x, int y) override;
  // A left release ends the drag and releases the toolbar's buttons.
  void MouseUp(TMouseButton button, TShiftState shift, bool inRect, int x, int y) override;
  void MouseEnter() override;
  void MouseLeave() override;
  // The pointer entered or left the strip: a toolbar that hides itself
  // shows or goes.
  void MouseEnterView() override;
  void MouseLeaveView() override;
  void Invalidate() override;

 protected:
  virtual double Compute(TTrelAxisQuantity q) = 0;
  double Cached(TTrelAxisQuantity q);
  // The label-units quantities every axis shares.
  double ComputeLabel(bool max);
  // Is this axis painted on the left of the data (else below)?
  bool PaintedOnLeft();
  // The far edge of the data view along this axis (bottom or right).
  int FarEdge();
  void PaintTicks(const TTrelPaintContext& context, bool withLine);
  bool IsYAxis();
  void PartChanged(TObject*) { SettingsChanged(); }
  void LabelChanged(TObject*);
  void FontChanged(TObject*) { TicksChanged(); }
  // The cursors re-apply their snapping.
  void CursorSettingsChanged(TObject*);
  // Moves the zoom window by a drag from the start position to (x, y);
  // called only while the chart is zoomed.
  virtual void DragTo(int x, int y) = 0;
  bool dragging_ = false;
  TPoint drag_start_{};
  double drag_min_ = 0.0;
  double drag_max_ = 0.0;

  TColor color_ = clWhite;
  TFont* font_;
  TTrelAxisToolBar* tool_bar_;
  TTrelDisplayLabel* axis_label_;
  TTrelDisplayAxisCursorSettings* cursor_settings_;
  int precision_ = 3;
  bool fixed_precision_ = false;
  bool reversed_ = false;
  std::optional<double> cache_[static_cast<int>(TTrelAxisQuantity::Count)];
  TPoint last_mouse_{-1000, -1000};
  int strip_size_ = 0;
  double zoom_min_ = -1.0;
  double zoom_max_ = 1.0;
};

class TTrelScopeYAxis : public TTrelDisplayAxis {
  KESTRUNE_CLASS(TTrelScopeYAxis, TTrelDisplayAxis)
  explicit TTrelScopeYAxis(TTrelDataChart* chart);
  ~TTrelScopeYAxis() override;
  // "MinMax" (always written) and "AutoScale" (read only).
  void DefineProperties(TFiler* filer) override;

  int GetAlignment() override;
  int GetStartMargin() override;
  int GetEndMargin() override { return GetStartMargin(); }
  bool RunsVertically() override;
  int GetPixelLength() override;
  bool IsLogarithmic() override { return logarithmic_; }
  double WalkHigh() override { return RangeMax(); }
  double WalkLow() override { return RangeMin(); }
  void MouseWheelDown(TShiftState shift, TPoint point) override;
  void MouseWheelUp(TShiftState shift, TPoint point) override;

  double GetMin() const { return min_; }
  void SetMin(double v);
  double GetMax() const { return max_; }
  void SetMax(double v);
  bool GetLogarithmic() const { return logarithmic_; }
  void SetLogarithmic(bool v);
  TTrelScopeAutoScaling* GetAutoScaling() const { return auto_scaling_; }
  void SetAutoScaling(TTrelScopeAutoScaling* v) { auto_scaling_->Assign(v); }

  // The data extent of the visible channels over the X axis's visible
  // window (the auto-scaling's current extent).
  double GetDataMin();
  double GetDataMax();
  // One auto-scaling history step (once per update with data).
  void PushAutoScaleHistory();
  // Restarts the history: position and filled count 0, previous extremes
  // 0.0.
  void ResetHistory();
  int HistoryFilled() const { return filled_; }

 protected:
  double Compute(TTrelAxisQuantity q) override;

 private:
  void DragTo(int x, int y) override;
  // Min or Max: stored when different, step invalid, full redraw, cache
  // cleared.
  void StoreBound(double& bound, double v);
  void ReadMinMax(TReader* reader);
  void WriteMinMax(TWriter* writer);
  void ReadAutoScale(TReader* reader);
  void HistoryChanged(TObject*) { ResetHistory(); }
  // The channels that take part in auto-scaling (visible, more than
  // `minSamples` displayed samples).
  bool HasScalingChannel(int minSamples);
  double ScaledMin();
  double ScaledMax();

  double min_ = -1000.0;
  double max_ = 1000.0;
  bool logarithmic_ = false;
  TTrelScopeAutoScaling* auto_scaling_;
  int position_ = 0;
  int filled_ = 0;
  double previous_min_ = 0.0;
  double previous_max_ = 0.0;
};

class TTrelScopeXAxis : public TTrelDisplayAxis {
  KESTRUNE_CLASS(TTrelScopeXAxis, TTrelDisplayAxis)
  explicit TTrelScopeXAxis(TTrelDataChart* chart);
  ~TTrelScopeXAxis() override;
  // Reads the older "MinMax", "MinMaxScale" and "AutoScale".
  void DefineProperties(TFiler* filer) override;

  int GetAlignment() override;
  int GetStartMargin() override;
  int GetEndMargin() override;
  bool RunsVertically() override;
  int GetPixelLength() override;
  void ClearCache() override;
  void TickMinShifted(double delta) override;
  void ZoomByFactor(double factor) override;
  std::string GetTitle() override;
  double GetMajorStep() override;
  double WalkHigh() override { return LabelMax(); }
  double WalkLow() override { return LabelMin(); }
  void MouseWheelDown(TShiftState shift, TPoint point) override;
  void MouseWheelUp(TShiftState shift, TPoint point) override;

  // The visible sample window.
  int GetFirstSample();
  int GetLastSample();
  // The largest displayed sample count of the visible channels (update
  // pass).
  void SetSampleCount(int count);
  int SampleCount() const { return sample_count_; }
  // Sample distance to axis units and back; 0 for an empty range.
  double SamplesToAxis(double samples);
  double AxisToSamples(double value);

  TTrelScopeAxisValue* GetMin() const { return min_; }
  TTrelMaxScopeAxisValue* GetMax() const { return max_; }
  TTrelScopeMaxSample* GetMaxSample() const { return max_sample_; }
  void SetMin(TTrelScopeAxisValue* v) { min_->Assign(v); }
  void SetMax(TTrelMaxScopeAxisValue* v) { max_->Assign(v); }
  void SetMaxSample(TTrelScopeMaxSample* v) { max_sample_->Assign(v); }
  TTrelDisplayAxisTicksMode GetTicksMode() const { return ticks_mode_; }
  void SetTicksMode(TTrelDisplayAxisTicksMode v);
  TTrelScopeXAxisUnitScale* GetUnitScale() const { return unit_scale_; }

  enum class TShows { Samples, Time, Frequency, Intensity };
  TShows Shows();

 protected:
  double Compute(TTrelAxisQuantity q) override;

 private:
  void DragTo(int x, int y) override;
  void ValueChanged(TObject*);
  void MaxSampleChanged(TObject*) { RedrawChart(); }
  void UnitScaleChanged(TObject*);
  void ReadMinMax(TReader* reader);
  void ReadMinMaxScale(TReader* reader);
  void ReadAutoScale(TReader* reader);
  double MaxValueRule(double dataMin);

  TTrelScopeAxisValue* min_;
  TTrelMaxScopeAxisValue* max_;
  TTrelScopeMaxSample* max_sample_;
  TTrelDisplayAxisTicksMode ticks_mode_ = atmAuto;
  TTrelScopeXAxisUnitScale* unit_scale_;
  int sample_count_ = 1024;
};

void RegisterTrelScopeAxisClasses();
