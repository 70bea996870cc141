// The small settings objects of the scope display: view sizes, labels, tick
// settings, auto-scaling, the X axis's values, sample count and unit scale,
// cursor snapping, zoom settings, highlighting and trails, and the zoom
// history lists (the toolbars are TrelScopeToolBar.h).
//
// Each is a persistent object owned by the scope or one of its parts and
// published as a sub-object. Setters store a value only when it differs and
// then fire OnChange, which the owner wires to its repaint or redraw
// request. Assign copies the settings in and fires OnChange once for the
// setting's own values and once more for each part it copies into (a font,
// a label, a space, a tick part; for the auto-scaling also a changed
// MaxHistory), except that TTrelChannelMouseHitPoint,
// TTrelDisplayHighlighting and TTrelDisplayTrails fire only through their
// parts and TTrelDisplayZoom fires nothing. Assign takes a source of the
// same class or of one of its bases below TTrelScopeSetting (copying the
// values that class has); any other source raises EConvertError before
// anything is copied. The parts the getters return are owned by their
// setting and freed with it; the part-valued setters copy the given part in
// (Assign) and keep no pointer to it. Main thread only; building one is
// cheap (labels and trails make a font).
#pragma once

#include <cstdint>
#include <vector>

#include "platform/classes/Classes.h"
#include "platform/gdiobj/GraphicsObjects.h"
#include "platform/graphics/Canvas.h"
#include "signal/core/TrelTypedBuffers.h"

// The base: OnChange and the store-if-different helper.
class TTrelScopeSetting : public TPersistent {
  KESTRUNE_CLASS(TTrelScopeSetting, TPersistent)
  TNotifyEvent OnChange;

 protected:
  TTrelScopeSetting() = default;
  void Changed() {
    if (OnChange)
      OnChange(this);
  }
  template <class T>
  void Store(T& field, const T& value) {
    if (field == value)
      return;
    field = value;
    Changed();
  }
};

// A view's size: automatic, or `Size` pixels across.
class TTrelDisplayViewSize : public TTrelScopeSetting {
  KESTRUNE_CLASS(TTrelDisplayViewSize, TTrelScopeSetting)
  TTrelDisplayViewSize() = default;
  void Assign(TPersistent* source) override;
  bool GetAutoSize() const { return auto_size_; }
  void SetAutoSize(bool v) { Store(auto_size_, v); }
  std::uint32_t GetSize() const { return size_; }
  void SetSize(std::uint32_t v) { Store(size_, v); }

 private:
  bool auto_size_ = true;
  std::uint32_t size_ = 100;
};

// A label: font (Arial, white, 10 points) and visibility; the optional label
// adds its text. The display label is bold; the measurement label is 8
// points.
class TTrelBasicOptionalLabel : public TTrelScopeSetting {
  KESTRUNE_CLASS(TTrelBasicOptionalLabel, TTrelScopeSetting)
  TTrelBasicOptionalLabel();
  ~TTrelBasicOptionalLabel() override;
  void Assign(TPersistent* source) override;
  TFont* GetFont() const { return font_; }
  void SetFont(TFont* font) { font_->Assign(font); }
  bool GetVisible() const { return visible_; }
  void SetVisible(bool v) { Store(visible_, v); }

 protected:
  void FontChanged(TObject*) { Changed(); }
  TFont* font_;

 private:
  bool visible_ = true;
};

class TTrelOptionalLabel : public TTrelBasicOptionalLabel {
  KESTRUNE_CLASS(TTrelOptionalLabel, TTrelBasicOptionalLabel)
  TTrelOptionalLabel() = default;
  void Assign(TPersistent* source) override;
  const std::string& GetText() const { return text_; }
  void SetText(const std::string& v) { Store(text_, v); }

 private:
  std::string text_;
};

class TTrelDisplayLabel : public TTrelOptionalLabel {
  KESTRUNE_CLASS(TTrelDisplayLabel, TTrelOptionalLabel)
  TTrelDisplayLabel();
};

class TTrelMeasurementLabel : public TTrelOptionalLabel {
  KESTRUNE_CLASS(TTrelMeasurementLabel, TTrelOptionalLabel)
  TTrelMeasurementLabel();
};

// ---------------------------------------------------------------------------
// Ticks

enum TTrelMajorTicksMode : std::uint8_t { mtmAuto, mtmCustom, mtmOverride };

class TTrelMajorTicksParam : public TTrelScopeSetting {
  KESTRUNE_CLASS(TTrelMajorTicksParam, TTrelScopeSetting)
  TTrelMajorTicksParam() = default;
  void Assign(TPersistent* source) override;
  TTrelMajorTicksMode GetMode() const { return mode_; }
  void SetMode(TTrelMajorTicksMode v) { Store(mode_, v); }

 private:
  TTrelMajorTicksMode mode_ = mtmAuto;
};

// Stored and notified; no drawing rule reads it.
class TTrelTicksStart : public TTrelMajorTicksParam {
  KESTRUNE_CLASS(TTrelTicksStart, TTrelMajorTicksParam)
  TTrelTicksStart() = default;
  void Assign(TPersistent* source) override;
  double GetStartFrom() const { return start_from_; }
  void SetStartFrom(double v) { Store(start_from_, v); }

 private:
  double start_from_ = 0.0;
};

class TTrelMajorTicks : public TTrelMajorTicksParam {
  KESTRUNE_CLASS(TTrelMajorTicks, TTrelMajorTicksParam)
  TTrelMajorTicks();
  ~TTrelMajorTicks() override;
  void Assign(TPersistent* source) override;
  double GetStep() const { return step_; }
  // A step of 0.0 or below is stored as 1.0.
  void SetStep(double v) { Store(step_, v > 0.0 ? v : 1.0); }
  TTrelTicksStart* GetStartFrom() const { return start_from_; }

 private:
  void StartChanged(TObject*) { Changed(); }
  double step_ = 10.0;
  TTrelTicksStart* start_from_;
};

class TTrelMinorTicks : public TTrelScopeSetting {
  KESTRUNE_CLASS(TTrelMinorTicks, TTrelScopeSetting)
  TTrelMinorTicks() = default;
  void Assign(TPersistent* source) override;
  std::uint32_t GetCount() const { return count_; }
  void SetCount(std::uint32_t v) { Store(count_, v); }

 private:
  std::uint32_t count_ = 0;
};

// ---------------------------------------------------------------------------
// Vertical auto-scaling

class TTrelScopeAutoScalingSpace : public TTrelScopeSetting {
  KESTRUNE_CLASS(TTrelScopeAutoScalingSpace, TTrelScopeSetting)
  TTrelScopeAutoScalingSpace() = default;
  void Assign(TPersistent* source) override;
  std::uint32_t GetSpace() const { return space_; }
  void SetSpace(std::uint32_t v) { Store(space_, v); }
  std::uint32_t GetThreshold() const { return threshold_; }
  void SetThreshold(std::uint32_t v) { Store(threshold_, v); }

 private:
  std::uint32_t space_ = 20;
  std::uint32_t threshold_ = 10;
};

// Enabled, the two spaces and the history rings. OnChange fires on every
// change (the spaces' too); OnHistoryChanged when MaxHistory changed.
class TTrelScopeAutoScaling : public TTrelScopeSetting {
  KESTRUNE_CLASS(TTrelScopeAutoScaling, TTrelScopeSetting)
  TTrelScopeAutoScaling();
  ~TTrelScopeAutoScaling() override;
  void Assign(TPersistent* source) override;
  bool GetEnabled() const { return enabled_; }
  void SetEnabled(bool v) { Store(enabled_, v); }
  TTrelScopeAutoScalingSpace* GetSpaceAbove() const { return above_; }
  TTrelScopeAutoScalingSpace* GetSpaceBelow() const { return below_; }
  // Copied in; OnChange also when equal.
  void SetSpaceAbove(TTrelScopeAutoScalingSpace* v);
  void SetSpaceBelow(TTrelScopeAutoScalingSpace* v);
  std::uint32_t GetMaxHistory() const { return max_history_; }
  // New rings of the new size; OnHistoryChanged, then OnChange.
  void SetMaxHistory(std::uint32_t v);

  ITrelRealBuffer* Maxima() const { return maxima_.get(); }
  ITrelRealBuffer* Minima() const { return minima_.get(); }
  TNotifyEvent OnHistoryChanged;

 private:
  void SpaceChanged(TObject*) { Changed(); }
  bool enabled_ = true;
  TTrelScopeAutoScalingSpace* above_;
  TTrelScopeAutoScalingSpace* below_;
  std::uint32_t max_history_ = 20;
  IPtr<ITrelRealBuffer> maxima_;
  IPtr<ITrelRealBuffer> minima_;
};

// ---------------------------------------------------------------------------
// X axis values

class TTrelBasicScopeAxisValue : public TTrelScopeSetting {
  KESTRUNE_CLASS(TTrelBasicScopeAxisValue, TTrelScopeSetting)
  TTrelBasicScopeAxisValue() = default;
  void Assign(TPersistent* source) override;
  // "Value", always written.
  void DefineProperties(TFiler* filer) override;
  bool GetAutoScale() const { return auto_scale_; }
  void SetAutoScale(bool v) { Store(auto_scale_, v); }
  double GetValue() const { return value_; }
  void SetValue(double v) { Store(value_, v); }

 private:
  void ReadValue(TReader* reader);
  void WriteValue(TWriter* writer);
  bool auto_scale_ = true;
  double value_ = 0.0;
};

class TTrelScopeAxisValue : public TTrelBasicScopeAxisValue {
  KESTRUNE_CLASS(TTrelScopeAxisValue, TTrelBasicScopeAxisValue)
  TTrelScopeAxisValue();
  ~TTrelScopeAxisValue() override;
  void Assign(TPersistent* source) override;
  TTrelBasicScopeAxisValue* GetTick() const { return tick_; }
  void SetTick(TTrelBasicScopeAxisValue* v);

 private:
  void TickChanged(TObject*) { Changed(); }
  TTrelBasicScopeAxisValue* tick_;
};

enum TTrelMaxAxisMode : std::uint8_t { mamValue, mamOffset };

class TTrelMaxScopeAxisValue : public TTrelScopeAxisValue {
  KESTRUNE_CLASS(TTrelMaxScopeAxisValue, TTrelScopeAxisValue)
  TTrelMaxScopeAxisValue() = default;
  void Assign(TPersistent* source) override;
  TTrelMaxAxisMode GetMode() const { return mode_; }
  void SetMode(TTrelMaxAxisMode v) { Store(mode_, v); }

 private:
  TTrelMaxAxisMode mode_ = mamValue;
};

class TTrelScopeMaxSample : public TTrelScopeSetting {
  KESTRUNE_CLASS(TTrelScopeMaxSample, TTrelScopeSetting)
  TTrelScopeMaxSample() = default;
  void Assign(TPersistent* source) override;
  bool GetAutosize() const { return autosize_; }
  void SetAutosize(bool v) { Store(autosize_, v); }
  std::uint32_t GetValue() const { return value_; }
  void SetValue(std::uint32_t v) { Store(value_, v); }

 private:
  bool autosize_ = true;
  std::uint32_t value_ = 1024;
};

class TTrelScopeXAxisUnitScale : public TTrelScopeSetting {
  KESTRUNE_CLASS(TTrelScopeXAxisUnitScale, TTrelScopeSetting)
  TTrelScopeXAxisUnitScale() = default;
  void Assign(TPersistent* source) override;
  bool GetAutoScale() const { return auto_scale_; }
  void SetAutoScale(bool v) { Store(auto_scale_, v); }
  int GetExponent() const { return exponent_; }
  void SetExponent(int v) { Store(exponent_, v); }

 private:
  bool auto_scale_ = true;
  int exponent_ = 0;
};

class TTrelDisplayAxisCursorSettings : public TTrelScopeSetting {
  KESTRUNE_CLASS(TTrelDisplayAxisCursorSettings, TTrelScopeSetting)
  TTrelDisplayAxisCursorSettings() = default;
  void Assign(TPersistent* source) override;
  bool GetSnapToSample() const { return snap_; }
  void SetSnapToSample(bool v) { Store(snap_, v); }

 private:
  bool snap_ = false;
};

// ---------------------------------------------------------------------------
// Zoom settings and history

class TTrelDisplayZoom : public TTrelScopeSetting {
  KESTRUNE_CLASS(TTrelDisplayZoom, TTrelScopeSetting)
  TTrelDisplayZoom() = default;
  void Assign(TPersistent* source) override;
  bool MouseZoom = true;
  bool KeyboardZoom = true;
  TColor SelectionColor = clWhite;
  bool MouseWheelEnabled = true;
  bool HoldOnZoom = true;
};

// The undo or redo list of zoom states: newest last, at most 100.
class TTrelDisplayZoomList {
 public:
  struct TItem {
    double XMin, XMax, YMin, YMax;
    bool Zoomed;
    bool operator==(const TItem&) const = default;
  };
  // Drops a push equal to the last entry; drops the oldest past 100.
  void Push(double xMin, double xMax, double yMin, double yMax, bool zoomed);
  // The last entry, removed; false (all outputs 0) when empty.
  bool Pop(double& xMin, double& xMax, double& yMin, double& yMax, bool& zoomed);
  void Clear() { items_.clear(); }
  bool HasItems() const { return !items_.empty(); }
  int Count() const { return static_cast<int>(items_.size()); }

 private:
  std::vector<TItem> items_;
};

// ---------------------------------------------------------------------------
// Highlighting and trails

class TTrelDisplayItemHighlighting : public TTrelScopeSetting {
  KESTRUNE_CLASS(TTrelDisplayItemHighlighting, TTrelScopeSetting)
  TTrelDisplayItemHighlighting() = default;
  void Assign(TPersistent* source) override;
  bool GetHiglightLegendButton() const { return legend_button_; }
  void SetHiglightLegendButton(bool v) { Store(legend_button_, v); }
  bool GetHiglightFromLegend() const { return from_legend_; }
  void SetHiglightFromLegend(bool v) { Store(from_legend_, v); }
  bool GetHiglightFromMouse() const { return from_mouse_; }
  void SetHiglightFromMouse(bool v) { Store(from_mouse_, v); }
  TColor GetColor() const { return color_; }
  void SetColor(TColor v) { Store(color_, v); }
  // The kind takes part in hover detection.
  bool TakesPartInHover() const { return legend_button_ || from_mouse_; }

 protected:
  bool legend_button_ = true;
  bool from_legend_ = true;
  bool from_mouse_ = true;
  TColor color_ = clLime;
};

class TTrelChannelItemHighlighting : public TTrelDisplayItemHighlighting {
  KESTRUNE_CLASS(TTrelChannelItemHighlighting, TTrelDisplayItemHighlighting)
  TTrelChannelItemHighlighting() { from_mouse_ = false; }
};

class TTrelChannelMouseHitPoint : public TTrelScopeSetting {
  KESTRUNE_CLASS(TTrelChannelMouseHitPoint, TTrelScopeSetting)
  TTrelChannelMouseHitPoint();
  ~TTrelChannelMouseHitPoint() override;
  void Assign(TPersistent* source) override;
  bool GetEnabled() const { return enabled_; }
  void SetEnabled(bool v) { Store(enabled_, v); }
  TColor GetColor() const { return color_; }
  void SetColor(TColor v) { Store(color_, v); }
  bool GetUseChannelColor() const { return use_channel_color_; }
  void SetUseChannelColor(bool v) { Store(use_channel_color_, v); }
  TTrelMeasurementLabel* GetPointLabel() const { return label_; }

 private:
  void LabelChanged(TObject*) { Changed(); }
  bool enabled_ = true;
  TColor color_ = clRed;
  bool use_channel_color_ = true;
  TTrelMeasurementLabel* label_;
};

class TTrelDisplayHighlighting : public TTrelScopeSetting {
  KESTRUNE_CLASS(TTrelDisplayHighlighting, TTrelScopeSetting)
  TTrelDisplayHighlighting();
  ~TTrelDisplayHighlighting() override;
  void Assign(TPersistent* source) override;
  TTrelChannelItemHighlighting* GetChannels() const { return channels_; }
  TTrelDisplayItemHighlighting* GetMarkers() const { return markers_; }
  TTrelDisplayItemHighlighting* GetCursors() const { return cursors_; }
  TTrelDisplayItemHighlighting* GetCursorLinks() const { return cursor_links_; }
  TTrelChannelMouseHitPoint* GetMouseHitPoint() const { return hit_point_; }

 private:
  void PartChanged(TObject*) { Changed(); }
  TTrelChannelItemHighlighting* channels_;
  TTrelDisplayItemHighlighting* markers_;
  TTrelDisplayItemHighlighting* cursors_;
  TTrelDisplayItemHighlighting* cursor_links_;
  TTrelChannelMouseHitPoint* hit_point_;
};

class TTrelDisplayTrails : public TTrelScopeSetting {
  KESTRUNE_CLASS(TTrelDisplayTrails, TTrelScopeSetting)
  TTrelDisplayTrails();
  ~TTrelDisplayTrails() override;
  void Assign(TPersistent* source) override;
  TColor GetColor() const { return color_; }
  void SetColor(TColor v) { Store(color_, v); }
  TFont* GetFont() const { return font_; }
  void SetFont(TFont* f) { font_->Assign(f); }

 private:
  void FontChanged(TObject*) { Changed(); }
  TColor color_ = clWhite;
  TFont* font_;
};

// An Arial font in `color`, `points` points, optionally bold.
void SetScopeFont(TFont* font, TColor color, int points, bool bold);
// The default font size of the scope's texts, in points.
inline constexpr int kScopeDefaultFontSize = 8;

// Registers the published properties of these classes.
void RegisterTrelScopeSettingsClasses();
